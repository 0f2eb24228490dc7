// Font families: the QuickDraw family numbers the 'font' attribute holds and
// the faces they are drawn with, in one table.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "WASTE.h"
#include "WEFonts.h"

namespace {

struct Family {
  FMFontFamily id;
  std::string name;
  bool mono;
};

constexpr FMFontFamily kFirstDynamicFamily = 1024;

std::vector<Family>& Table() {
  static std::vector<Family> table = {
      {0, "Chicago", false},         {1, "Geneva", false},          {2, "New York", false},
      {3, "Geneva", false},          {4, "Monaco", true},           {5, "Venice", false},
      {6, "London", false},          {7, "Athens", false},          {8, "San Francisco", false},
      {9, "Toronto", false},         {11, "Cairo", false},          {12, "Los Angeles", false},
      {16, "Palatino", false},       {20, "Times", false},          {21, "Helvetica", false},
      {22, "Courier", true},         {23, "Symbol", false},         {24, "Taliesin", false},
      {150, "Andale Mono", true},    {151, "Menlo", true},          {152, "Courier New", true},
      {153, "Lucida Grande", false}, {154, "DejaVu Sans Mono", true}, {155, "DejaVu Sans", false},
      {156, "Monospace", true},      {157, "Lucida Console", true}, {158, "Consolas", true},
      {159, "Inconsolata", true},    {160, "Liberation Mono", true}, {161, "Verdana", false},
      {162, "Arial", false},         {163, "Lucida Sans Typewriter", true},
  };
  return table;
}

std::mutex& TableLock() {
  static std::mutex m;
  return m;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(UInt8(x)) == std::tolower(UInt8(y)); });
}

bool LooksMonospaced(const std::string& name) {
  std::string lower(name);
  for (char& c : lower) c = char(std::tolower(UInt8(c)));
  return lower.find("mono") != std::string::npos || lower.find("courier") != std::string::npos ||
         lower.find("console") != std::string::npos || lower.find("typewriter") != std::string::npos;
}

}  // namespace

FMFontFamily FMGetFontFamilyFromName(ConstStr255Param inName) {
  if (inName == nullptr || inName[0] == 0) return kInvalidFontFamily;
  const std::string name(reinterpret_cast<const char*>(inName + 1), inName[0]);
  std::lock_guard<std::mutex> lock(TableLock());
  auto& table = Table();
  for (const Family& f : table)
    if (SameName(f.name, name)) return f.id;
  // A name of its own: numbered in order of first use.
  FMFontFamily next = kFirstDynamicFamily;
  for (const Family& f : table) next = std::max<FMFontFamily>(next, FMFontFamily(f.id + 1));
  if (next == INT16_MAX) return kInvalidFontFamily;
  table.push_back({next, name, LooksMonospaced(name)});
  return next;
}

Boolean FMGetFontFamilyName(FMFontFamily inFamily, StringPtr outName) {
  std::lock_guard<std::mutex> lock(TableLock());
  for (const Family& f : Table()) {
    if (f.id != inFamily) continue;
    if (outName) {
      const size_t n = std::min<size_t>(f.name.size(), 255);
      outName[0] = UInt8(n);
      std::memcpy(outName + 1, f.name.data(), n);
    }
    return true;
  }
  return false;
}

const char* WEFontFace(FMFontFamily inFamily) {
  std::lock_guard<std::mutex> lock(TableLock());
  for (const Family& f : Table())
    if (f.id == inFamily) return f.mono ? "DejaVu Sans Mono" : "DejaVu Sans";
  return "DejaVu Sans Mono";  // unknown numbers: the engine's default face
}
