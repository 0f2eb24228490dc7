// Font families: the QuickDraw family numbers the 'font' attribute holds and
// the faces they are drawn with, in one table.
//
// A number is stored (in preferences, in styled documents) and must name the
// same family in the next run. Names outside the fixed table take the number
// their case-folded name hashes to, or the next free one after it when
// another name holds it, and every number given is kept in
// $XDG_DATA_HOME/Quorvel/font-families (one "number<TAB>name" line each),
// read when the table is first used: a number keeps its name whatever order
// the names are asked in later, and a stored number finds its name before
// anyone asks for the name again.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "CFStringInternal.h"
#include "WASTE.h"
#include "WEFonts.h"

namespace {

struct Family {
  std::string name;
  bool mono;
  std::string face;  // families named at run time: drawn with their own face first
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

bool LooksMonospaced(const std::string& name);

// A family named at run time (the font panel's pick, a document's font) is
// drawn with its own face where the system has it, else as before with the
// engine's face of its kind: a face list, in UTF-8 (names are Mac Roman
// short strings unless they are UTF-8 already).
std::string FaceList(const std::string& name, bool mono) {
  std::string face;
  __CFUniChars units;
  if (__CFDecodeUTF8(reinterpret_cast<const UInt8*>(name.data()), name.size(), units)) {
    face = name;
  } else {
    for (unsigned char c : name) {
      const UniChar unit = __CFMacRomanToUnicode(c);
      __CFAppendUTF8(face, &unit, 1);
    }
  }
  face.erase(std::remove(face.begin(), face.end(), ','), face.end());
  return face + (mono ? ",DejaVu Sans Mono" : ",DejaVu Sans");
}

// The folded name's hash (FNV-1a), placed in the numbers names may take.
FMFontFamily HashedNumber(const std::string& key) {
  UInt32 h = 2166136261u;
  for (unsigned char c : key) h = (h ^ c) * 16777619u;
  constexpr UInt32 span = UInt32(kLastDynamicFamily - kFirstDynamicFamily + 1);
  return FMFontFamily(kFirstDynamicFamily + FMFontFamily(h % span));
}

std::string TablePath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return std::string();
  }
  return base + "/Quorvel/font-families";
}

// Both directions are hashed: a document naming thousands of families must
// not cost a walk of the table per name.
struct Table {
  std::unordered_map<FMFontFamily, Family> byNumber;
  std::unordered_map<std::string, FMFontFamily> byName;
  size_t dynamic = 0;  // numbers given to names outside the fixed table
  std::string path;

  Table() : path(TablePath()) {
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
      byNumber.emplace(f.id, Family{f.name, f.mono, std::string()});
      byName.emplace(Folded(f.name), f.id);  // the first number of a name wins (Geneva is 1)
    }
    Load();
  }

  const Family* Find(FMFontFamily id) const {
    auto it = byNumber.find(id);
    return it == byNumber.end() ? nullptr : &it->second;
  }

  void Add(FMFontFamily id, const std::string& name, std::string key) {
    const bool mono = LooksMonospaced(name);
    byNumber.emplace(id, Family{name, mono, FaceList(name, mono)});
    byName.emplace(std::move(key), id);
    ++dynamic;
  }

  // The numbers earlier runs gave; a line that is damaged, out of range or
  // clashes with one read before is passed over.
  void Load() {
    if (path.empty()) return;
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return;
    char line[600];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      char* tab = std::strchr(line, '\t');
      if (tab == nullptr) continue;
      *tab = 0;
      char* end = nullptr;
      const long id = std::strtol(line, &end, 10);
      std::string name(tab + 1);
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
      if (end == line || *end != 0 || id < kFirstDynamicFamily || id > kLastDynamicFamily || name.empty() ||
          name.size() > 255)
        continue;
      std::string key = Folded(name);
      if (byNumber.count(FMFontFamily(id)) || byName.count(key)) continue;
      Add(FMFontFamily(id), name, std::move(key));
    }
    std::fclose(f);
  }

  // Keeps a number given now for the next runs. A name the file cannot hold
  // on one line keeps its number for this run only.
  void Save(FMFontFamily id, const std::string& name) const {
    if (path.empty() || name.find_first_of("\t\r\n") != std::string::npos) return;
    const std::string folder = path.substr(0, path.rfind('/'));
    mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    if (FILE* f = std::fopen(path.c_str(), "a")) {
      std::fprintf(f, "%d\t%s\n", int(id), name.c_str());
      std::fclose(f);
    }
  }
};

Table*& TablePointer() {
  static Table* table = nullptr;
  return table;
}

Table& TheTable() {
  Table*& table = TablePointer();
  if (table == nullptr) table = new Table;
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
  // A name of its own: the number it hashes to, or the next free one.
  // Numbers are 16-bit; once every one is given, further names are drawn in
  // the default family and take no place in the table.
  constexpr size_t span = size_t(kLastDynamicFamily - kFirstDynamicFamily + 1);
  if (table.dynamic >= span) return kDefaultFamily;
  FMFontFamily id = HashedNumber(key);
  while (table.byNumber.count(id)) id = id == kLastDynamicFamily ? kFirstDynamicFamily : FMFontFamily(id + 1);
  table.Add(id, name, std::move(key));
  table.Save(id, name);
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
  if (!f->face.empty()) return f->face.c_str();
  return f->mono ? "DejaVu Sans Mono" : "DejaVu Sans";
}

void WEFontsForgetTable() {
  std::lock_guard<std::mutex> lock(TableLock());
  delete TablePointer();
  TablePointer() = nullptr;
}
