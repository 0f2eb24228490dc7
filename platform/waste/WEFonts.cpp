// Font families: the QuickDraw family numbers the 'font' attribute holds and
// the faces they are drawn with, in one table.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "WASTE.h"
#include "WEFonts.h"

namespace {

struct Family {
  std::string name;
  bool mono;
};

constexpr FMFontFamily kFirstDynamicFamily = 1024;
constexpr FMFontFamily kLastDynamicFamily = INT16_MAX - 1;
constexpr FMFontFamily kDefaultFamily = 4;  // Monaco: the engine's own default

// Names compare without regard to ASCII case.
std::string Folded(const std::string& name) {
  std::string key(name);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return key;
}

// Both directions are hashed: a document naming thousands of families must
// not cost a walk of the table per name.
struct Table {
  std::unordered_map<FMFontFamily, Family> byNumber;
  std::unordered_map<std::string, FMFontFamily> byName;
  FMFontFamily next = kFirstDynamicFamily;

  Table() {
    static const struct {
      FMFontFamily id;
      const char* name;
      bool mono;
    } kFixed[] = {
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
    for (const auto& f : kFixed) {
      byNumber.emplace(f.id, Family{f.name, f.mono});
      byName.emplace(Folded(f.name), f.id);  // the first number of a name wins (Geneva is 1)
    }
  }

  const Family* Find(FMFontFamily id) const {
    auto it = byNumber.find(id);
    return it == byNumber.end() ? nullptr : &it->second;
  }
};

Table& TheTable() {
  static auto* table = new Table;
  return *table;
}

std::mutex& TableLock() {
  static std::mutex m;
  return m;
}

bool LooksMonospaced(const std::string& name) {
  const std::string lower = Folded(name);
  return lower.find("mono") != std::string::npos || lower.find("courier") != std::string::npos ||
         lower.find("console") != std::string::npos || lower.find("typewriter") != std::string::npos;
}

}  // namespace

FMFontFamily FMGetFontFamilyFromName(ConstStr255Param inName) {
  if (inName == nullptr || inName[0] == 0) return kInvalidFontFamily;
  const std::string name(reinterpret_cast<const char*>(inName + 1), inName[0]);
  std::string key = Folded(name);
  std::lock_guard<std::mutex> lock(TableLock());
  Table& table = TheTable();
  if (auto it = table.byName.find(key); it != table.byName.end()) return it->second;
  // A name of its own: numbered in order of first use. Numbers are 16-bit;
  // names past the last one are drawn in the default family and take no
  // place in the table.
  if (table.next > kLastDynamicFamily) return kDefaultFamily;
  const FMFontFamily id = table.next++;
  table.byNumber.emplace(id, Family{name, LooksMonospaced(name)});
  table.byName.emplace(std::move(key), id);
  return id;
}

Boolean FMGetFontFamilyName(FMFontFamily inFamily, StringPtr outName) {
  std::lock_guard<std::mutex> lock(TableLock());
  const Family* f = TheTable().Find(inFamily);
  if (f == nullptr) return false;
  if (outName) {
    const size_t n = std::min<size_t>(f->name.size(), 255);
    outName[0] = UInt8(n);
    std::memcpy(outName + 1, f->name.data(), n);
  }
  return true;
}

const char* WEFontFace(FMFontFamily inFamily) {
  std::lock_guard<std::mutex> lock(TableLock());
  const Family* f = TheTable().Find(inFamily);
  if (f == nullptr) return "DejaVu Sans Mono";  // unknown numbers: the engine's default face
  return f->mono ? "DejaVu Sans Mono" : "DejaVu Sans";
}
