// TFileSystemUnit: the project symbol index and its "FileSystem.plist".
#include "TFileSystemUnit.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFPreferenceUtilities.h"
#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

const char* const kIndexFileName = "FileSystem.plist";
constexpr OSType kUnknownCreator = FOUR_CHAR_CODE("????");

void Complain(const std::string& what) { std::fprintf(stderr, "%s: %s\n", kIndexFileName, what.c_str()); }

// A CFString of a Mac Roman short string (Create rule).
template <int N>
CFStringRef CreateName(const ShortString<N>& name) {
  return CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
}

std::string Printable(CFStringRef key) {
  Str255 text = CFStringToPascal(key);
  return text.str();
}

// Only the length byte and the characters: what lies past them in the
// buffer is left over from earlier text and must not reach the file.
template <int N>
void CopyField(const ShortString<N>& field, UInt8* at) {
  const int length = field.s[0] > N ? N : field.s[0];
  at[0] = UInt8(length);
  std::memcpy(at + 1, field.s + 1, size_t(length));
}

template <int N>
void ReadField(const UInt8* at, ShortString<N>& field) {
  std::memcpy(field.s, at, N + 1);
  if (field.s[0] > N) field.s[0] = N;
}

// The descriptor goes with its table and headers.
void ReleaseFileDescriptor(FileDescriptorPtr descriptor) {
  if (descriptor == nullptr || !IsPointerValid(reinterpret_cast<Ptr>(descriptor))) return;
  if (descriptor->symbolTable != nullptr) descriptor->symbolTable->Release();
  if (descriptor->headers != nullptr) CFRelease(descriptor->headers);
  ReleasePtr(descriptor);
}

void ReleaseDescriptorValue(CFAllocatorRef, const void* value) {
  ReleaseFileDescriptor(static_cast<FileDescriptorPtr>(const_cast<void*>(value)));
}

void ReleaseBlockValue(CFAllocatorRef, const void* value) {
  Ptr block = static_cast<Ptr>(const_cast<void*>(value));
  ReleasePtr(block);
}

CFMutableDictionaryRef CreateOwningDictionary(CFDictionaryReleaseCallBack release) {
  CFDictionaryValueCallBacks values = {0, nullptr, release, nullptr, nullptr};
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &values);
}

// The entries of a dictionary in its order.
void GetEntries(CFDictionaryRef dictionary, std::vector<const void*>& keys, std::vector<const void*>& values) {
  CFIndex count = dictionary ? CFDictionaryGetCount(dictionary) : 0;
  keys.resize(size_t(count));
  values.resize(size_t(count));
  if (count > 0) CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
}

// XML carries no control character but tab, line feed and carriage return,
// and one name it cannot carry would keep the whole index from being
// written. The others are stored as their control pictures (U+2400 + c),
// which no Mac Roman name holds, and turned back when read.
enum : UniChar { kControlPictures = 0x2400 };

bool Unwritable(UniChar c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// The text as it is stored (toStorage) or as it was before (Create rule).
CFStringRef CreateConvertedText(CFStringRef text, bool toStorage) {
  const CFIndex length = CFStringGetLength(text);
  std::vector<UniChar> characters(size_t(length) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, length), characters.data());
  bool changed = false;
  for (CFIndex i = 0; i < length; ++i) {
    UniChar& c = characters[size_t(i)];
    if (toStorage && Unwritable(c)) {
      c = UniChar(kControlPictures + c);
      changed = true;
    } else if (!toStorage && c >= kControlPictures && c < kControlPictures + 0x20 &&
               Unwritable(UniChar(c - kControlPictures))) {
      c = UniChar(c - kControlPictures);
      changed = true;
    }
  }
  if (!changed) return static_cast<CFStringRef>(CFRetain(text));
  return CFStringCreateWithCharacters(nullptr, characters.data(), length);
}

// An array of the stored (or the read) forms of the strings of list; other
// values are left out.
CFMutableArrayRef CreateConvertedTexts(CFArrayRef list, bool toStorage) {
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFIndex i = 0, count = list ? CFArrayGetCount(list) : 0; i < count; ++i) {
    CFTypeRef value = CFArrayGetValueAtIndex(list, i);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) continue;
    CFStringRef converted = CreateConvertedText(static_cast<CFStringRef>(value), toStorage);
    CFArrayAppendValue(result, converted);
    CFRelease(converted);
  }
  return result;
}

// The item's path, without a limit on its length; empty when it is gone.
std::string PathOf(const FSRef& ref) {
  std::vector<UInt8> buffer(PATH_MAX + 1);
  if (FSRefMakePath(&ref, buffer.data(), UInt32(buffer.size())) != noErr) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

// The folder keys are relative to; empty for the top of the file system.
std::string RootPath(const FSRef& root) {
  std::string path = FSValidFSRef(root) ? PathOf(root) : std::string();
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// The file's own name, the last part of its key: it tells the language.
Str63 BareName(const Str63& key) {
  const std::string_view text = key.view();
  const size_t slash = text.rfind('/');
  return slash == std::string_view::npos ? key : Str63(text.substr(slash + 1));
}

UInt64 HashOf(std::string_view text) {
  UInt64 h = 0xCBF29CE484222325ull;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
  return h;
}

CFDictionaryRef DictionaryValue(CFDictionaryRef dictionary, const char* key) {
  CFTypeRef value = CFDictionaryGetValue(dictionary, CFSTR(key));
  return value && CFGetTypeID(value) == CFDictionaryGetTypeID() ? static_cast<CFDictionaryRef>(value) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Stored descriptors

void FileDescriptorToStoredBytes(const FileDescriptor& descriptor, UInt8 (&bytes)[kFileDescriptorStoredSize]) {
  std::memset(bytes, 0, sizeof bytes);
  CopyField(descriptor.fileName, bytes + 0);
  CopyField(descriptor.filePath, bytes + 64);
  CopyField(descriptor.modifiedDate, bytes + 320);
}

Boolean FileDescriptorFromStoredBytes(const UInt8* bytes, CFIndex length, FileDescriptor& descriptor) {
  if (bytes == nullptr || length != kFileDescriptorStoredSize) return false;
  ReadField(bytes + 0, descriptor.fileName);
  ReadField(bytes + 64, descriptor.filePath);
  ReadField(bytes + 320, descriptor.modifiedDate);
  return true;
}

// ---------------------------------------------------------------------------
// The index

TFileSystem* CreateFileSystem(const FSRef& folder, TSyntaxCollection* collection, CFDictionaryRef paths) {
  auto* index = new TFileSystem();
  index->SetPaths(paths);
  index->SetCollection(collection);
  index->Create(folder);
  index->Load();
  return index;
}

TFileSystem::~TFileSystem() {
  if (paths != nullptr) CFRelease(paths);
  if (files != nullptr) CFRelease(files);
  if (globals != nullptr) CFRelease(globals);
}

void TFileSystem::Release() { delete this; }

void TFileSystem::Create(const FSRef& folder) {
  this->folder = folder;
  if (files == nullptr) files = CreateOwningDictionary(ReleaseDescriptorValue);
  if (globals == nullptr) globals = CreateOwningDictionary(ReleaseBlockValue);
}

void TFileSystem::SetPaths(CFDictionaryRef paths) {
  if (this->paths != nullptr && this->paths != paths) CFRelease(this->paths);
  this->paths = paths;
}

void TFileSystem::SetCollection(TSyntaxCollection* collection) { this->collection = collection; }

FileDescriptorPtr TFileSystem::NewFileDescriptor(const Str63& name, const Str255& path) {
  auto descriptor = reinterpret_cast<FileDescriptorPtr>(NewPtrClear(sizeof(FileDescriptor)));
  if (descriptor == nullptr) return nullptr;
  descriptor->fileName = name;
  descriptor->filePath = path;
  descriptor->headers = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  descriptor->symbolTable = new TSymbolTable();
  descriptor->symbolTable->Create(collection ? collection->GetFileLibrary(BareName(name)) : nullptr);
  return descriptor;
}

FileDescriptorPtr TFileSystem::Add(const Str63& name, const Str255& path) {
  if (FileDescriptorPtr existing = GetDescriptor(name)) return existing;
  FileDescriptorPtr descriptor = NewFileDescriptor(name, path);
  if (descriptor == nullptr) return nullptr;
  CFStringRef key = CreateName(name);
  CFDictionarySetValue(files, key, descriptor);
  CFRelease(key);
  modified = true;
  return descriptor;
}

FileDescriptorPtr TFileSystem::GetDescriptor(const Str63& name) {
  if (files == nullptr) return nullptr;
  CFStringRef key = CreateName(name);
  auto descriptor = static_cast<FileDescriptorPtr>(const_cast<void*>(CFDictionaryGetValue(files, key)));
  CFRelease(key);
  return descriptor;
}

CFTreeRef TFileSystem::GetSymbolics(const Str63& name) {
  FileDescriptorPtr descriptor = GetDescriptor(name);
  return descriptor && descriptor->symbolTable ? descriptor->symbolTable->GetTable() : nullptr;
}

void TFileSystem::AddSymbol(SymbolInfoPtr info) {
  modified = true;
  if (info == nullptr || globals == nullptr) return;
  // The names index answers for the dictionary without making its key.
  if (globalNames_.Find(info->symbolName.view()) != nullptr) return;
  CFStringRef key = CreateName(info->symbolName);
  if (!CFDictionaryContainsKey(globals, key)) {
    Ptr copy = NewPtrCopy(info, sizeof(SymbolInfo));
    if (copy != nullptr) {
      CFDictionarySetValue(globals, key, copy);
      globalNames_.Set(info->symbolName.view(), reinterpret_cast<SymbolInfoPtr>(copy));
    }
  }
  CFRelease(key);
}

// The names index rebuilt from the dictionary: a key that no Mac Roman name
// of 63 bytes makes is never asked for by name, and stays out of it.
void TFileSystem::IndexGlobalNames() {
  globalNames_.Clear();
  std::vector<const void*> keys, values;
  GetEntries(globals, keys, values);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID()) continue;
    auto key = static_cast<CFStringRef>(keys[i]);
    if (CFStringGetLength(key) > 63) continue;
    Str255 bytes;
    if (!CFStringGetPascalString(key, bytes.s, 256, kCFStringEncodingMacRoman) || bytes.len() > 63) continue;
    CFStringRef again = CreateName(Str63(bytes));
    const bool exact = again != nullptr && CFEqual(again, key);
    if (again != nullptr) CFRelease(again);
    if (exact)
      globalNames_.Set(bytes.view(), static_cast<SymbolInfoPtr>(const_cast<void*>(values[i])));
  }
}

void TFileSystem::RemoveSymbol(SymbolInfoPtr info) {
  modified = true;
  if (info == nullptr || globals == nullptr) return;
  // The name is taken first: info may be the very copy this frees.
  const Str63 name = info->symbolName;
  CFStringRef key = CreateName(info->symbolName);
  CFDictionaryRemoveValue(globals, key);
  CFRelease(key);
  globalNames_.Erase(name.view());
}

Boolean TFileSystem::GetSymbol(const Str63& name, SymbolInfoPtr& info) {
  info = globals != nullptr ? FindSymbol(name.view()) : nullptr;
  return info != nullptr;
}

namespace {

struct CleanContext {
  TFileSystem* index;
  Str63 fileName;
};

}  // namespace

// Only an entry that this file made goes: another file that defines the same
// name keeps its global symbol.
void RemoveGlobalOfFile(SymbolInfoPtr info, CFTreeRef, void* context) {
  auto* clean = static_cast<CleanContext*>(context);
  TFileSystem* index = clean->index;
  SymbolInfoPtr global = index->FindSymbol(info->symbolName.view());
  if (global == nullptr || !(global->fileName == clean->fileName)) return;
  const Str63 name = info->symbolName;
  CFStringRef key = CreateName(info->symbolName);
  CFDictionaryRemoveValue(index->globals, key);
  CFRelease(key);
  index->globalNames_.Erase(name.view());
}

void TFileSystem::CleanFile(const Str63& name) {
  FileDescriptorPtr descriptor = GetDescriptor(name);
  if (descriptor == nullptr) return;
  modified = true;
  if (descriptor->symbolTable != nullptr) {
    CleanContext clean{this, descriptor->fileName};
    descriptor->symbolTable->ApplyFunction(RemoveGlobalOfFile, &clean);
    descriptor->symbolTable->Clean();
  }
  if (descriptor->headers != nullptr) CFArrayRemoveAllValues(descriptor->headers);
}

void TFileSystem::CleanAll() {
  modified = true;
  if (files != nullptr) CFDictionaryRemoveAllValues(files);
  if (globals != nullptr) CFDictionaryRemoveAllValues(globals);
  globalNames_.Clear();
}

Boolean TFileSystem::GetFileModified(const Str63& name) {
  FileDescriptorPtr descriptor = GetDescriptor(name);
  if (descriptor == nullptr) return true;
  FSRef file;
  if (!ResolveFile(name, file)) return false;
  return !(FSGetModifiedFileDate(file) == descriptor->modifiedDate);
}

Boolean TFileSystem::GetFileModifiedWithFSRef(const FSRef& file) {
  const Str63 key = GetFileKey(file);
  FileDescriptorPtr descriptor = key.empty() ? nullptr : GetDescriptor(key);
  if (descriptor == nullptr) return true;
  return !(FSGetModifiedFileDate(file) == descriptor->modifiedDate);
}

Boolean TFileSystem::ResolveFile(const Str63& name, FSRef& file) {
  if (paths != nullptr && FSResolveFile(name, file, paths)) return true;
  file = FSRef();
  // A hashed key names no path, and a key never leads upwards.
  if (name.empty() || name[1] == '#') return false;
  const std::string_view text = name.view();
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    if (text.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  CFStringRef key = CreateName(name);
  if (key == nullptr) return false;
  std::string path = name[1] == '/' ? std::string() : RootPath(root) + "/";
  char utf8[4 * 63 + 1];
  const bool converted = CFStringGetCString(key, utf8, sizeof utf8, kCFStringEncodingUTF8);
  CFRelease(key);
  if (!converted) return false;
  path += utf8;
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &file, nullptr) == noErr) return true;
  file = FSRef();
  return false;
}

Str63 TFileSystem::GetFileKey(const FSRef& file) const {
  const std::string path = PathOf(file);
  if (path.empty()) return Str63();
  const std::string base = RootPath(root);
  std::string relative;
  if (path.size() > base.size() + 1 && path.compare(0, base.size(), base) == 0 && path[base.size()] == '/')
    relative = path.substr(base.size() + 1);
  else
    relative = path;  // outside the root: no relative key begins with "/"

  CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(relative.data()),
                                             CFIndex(relative.size()), kCFStringEncodingUTF8, false);
  Str63 key;
  if (text != nullptr && CFStringGetPascalString(text, key.s, 64, kCFStringEncodingMacRoman)) {
    CFRelease(text);
    return key;
  }
  // Too long, or a character Mac Roman lacks: the hash keeps two such paths
  // apart, the end keeps the file's name readable and its language known.
  std::string roman;
  if (text != nullptr) {
    const CFIndex length = CFStringGetLength(text);
    roman.resize(size_t(length));
    CFIndex used = 0;
    CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingMacRoman, '?', false,
                     reinterpret_cast<UInt8*>(roman.data()), length, &used);
    roman.resize(size_t(used));
    CFRelease(text);
  } else {
    for (unsigned char c : relative) roman += c < 0x80 ? char(c) : '?';
  }
  char head[16];
  std::snprintf(head, sizeof head, "#%012llx/", static_cast<unsigned long long>(HashOf(relative) & 0xFFFFFFFFFFFFull));
  const size_t room = 63 - std::strlen(head);
  std::string tail = roman.size() > room ? roman.substr(roman.size() - room) : roman;
  if (roman.size() > room && roman[roman.size() - room - 1] != '/') {
    // Start at a whole folder name when one fits before the file's name.
    const size_t slash = tail.find('/');
    if (slash != std::string::npos && slash + 1 < tail.size()) tail.erase(0, slash + 1);
  }
  return Str63(std::string(head) + tail);
}

void TFileSystem::ExamineFiles(FileSystemExamineApplierFunctionCallback applier, void* context) {
  if (applier == nullptr) return;
  std::vector<const void*> keys, values;
  GetEntries(files, keys, values);
  for (const void* value : values) applier(static_cast<FileDescriptorPtr>(const_cast<void*>(value)), context);
}

void TFileSystem::ExamineSymbols(FileSystemSearchApplierFunctionCallback applier, void* context) {
  SearchSymbolTable(applier, nullptr, Str255(), context);
}

namespace {

struct SearchContext {
  FileSystemSearchApplierFunctionCallback applier;
  FileDescriptorPtr descriptor;
  const Str255* query;
  void* context;
  SInt32 matches;
  bool stopped;
};

void SearchSymbol(SymbolInfoPtr info, CFTreeRef node, void* context) {
  auto* search = static_cast<SearchContext*>(context);
  if (search->stopped) return;
  SInt16 answer = search->applier(info, *search->descriptor, *search->query, node, search->context);
  if (answer == 1) ++search->matches;
  if (answer == 3) search->stopped = true;
}

}  // namespace

SInt16 TFileSystem::SearchSymbolTable(FileSystemSearchApplierFunctionCallback applier, CFArrayRef files,
                                      const Str255& query, void* context) {
  if (applier == nullptr) return 0;
  SearchContext search{applier, nullptr, &query, context, 0, false};
  std::vector<const void*> keys, values;
  GetEntries(this->files, keys, values);
  CFIndex filterCount = files ? CFArrayGetCount(files) : 0;
  for (size_t i = 0; i < keys.size() && !search.stopped; ++i) {
    if (files != nullptr && !CFArrayContainsValue(files, CFRangeMake(0, filterCount), keys[i])) continue;
    search.descriptor = static_cast<FileDescriptorPtr>(const_cast<void*>(values[i]));
    if (search.descriptor->symbolTable != nullptr) search.descriptor->symbolTable->ApplyFunction(SearchSymbol, &search);
  }
  return SInt16(search.matches > 0x7fff ? 0x7fff : search.matches);
}

// ---------------------------------------------------------------------------
// "FileSystem.plist"

void TFileSystem::Save() {
  if (!modified) return;
  CFMutableDictionaryRef root = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks);
  CFMutableDictionaryRef storedGlobals = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                   &kCFTypeDictionaryValueCallBacks);
  CFMutableDictionaryRef fileTable = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                               &kCFTypeDictionaryValueCallBacks);
  std::vector<const void*> keys, values;
  GetEntries(globals, keys, values);
  for (size_t i = 0; i < keys.size(); ++i) {
    UInt8 image[kSymbolInfoStoredSize];
    SymbolInfoToStoredBytes(*static_cast<const SymbolInfo*>(values[i]), image);
    CFDataRef data = CFDataCreate(nullptr, image, kSymbolInfoStoredSize);
    CFStringRef key = CreateConvertedText(static_cast<CFStringRef>(keys[i]), true);
    CFDictionarySetValue(storedGlobals, key, data);
    CFRelease(key);
    CFRelease(data);
  }
  GetEntries(files, keys, values);
  for (size_t i = 0; i < keys.size(); ++i) {
    auto descriptor = static_cast<FileDescriptorPtr>(const_cast<void*>(values[i]));
    CFMutableDictionaryRef entry = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks);
    UInt8 image[kFileDescriptorStoredSize];
    FileDescriptorToStoredBytes(*descriptor, image);
    CFDataRef data = CFDataCreate(nullptr, image, kFileDescriptorStoredSize);
    CFDictionarySetValue(entry, CFSTR("descriptor"), data);
    CFRelease(data);
    if (descriptor->headers != nullptr) {
      CFArrayRef headers = CreateConvertedTexts(descriptor->headers, true);
      CFDictionarySetValue(entry, CFSTR("headers"), headers);
      CFRelease(headers);
    }
    if (descriptor->symbolTable != nullptr) {
      if (CFTypeRef table = descriptor->symbolTable->Flatten()) {
        CFDictionarySetValue(entry, CFSTR("symbol table"), table);
        CFRelease(table);
      }
    }
    CFStringRef key = CreateConvertedText(static_cast<CFStringRef>(keys[i]), true);
    CFDictionarySetValue(fileTable, key, entry);
    CFRelease(key);
    CFRelease(entry);
  }
  CFDictionarySetValue(root, CFSTR("global symbols"), storedGlobals);
  CFDictionarySetValue(root, CFSTR("file table"), fileTable);
  CFRelease(storedGlobals);
  CFRelease(fileTable);

  FSRef file;
  if (FSCreateFile(CFSTR(kIndexFileName), folder, 'TEXT', kUnknownCreator, file) == noErr)
    Err = CFPreferencesSavePropertyList(file, root);
  CFRelease(root);
}

void TFileSystem::Load() {
  FSRef file;
  if (FSCreateFile(CFSTR(kIndexFileName), folder, 'TEXT', kUnknownCreator, file) != noErr) return;
  CFTypeRef list = CFPreferencesLoadPropertyList(file);
  if (list == nullptr) return;  // a new, empty file reads as nothing
  if (CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    Complain("the index is not a dictionary; it was not loaded");
    CFRelease(list);
    return;
  }
  auto root = static_cast<CFDictionaryRef>(list);
  if (files == nullptr || globals == nullptr) Create(folder);

  CFMutableDictionaryRef loaded = CreateOwningDictionary(ReleaseBlockValue);
  std::vector<const void*> keys, values;
  GetEntries(DictionaryValue(root, "global symbols"), keys, values);
  CFIndex damaged = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    SymbolInfo info = {};
    bool good = CFGetTypeID(keys[i]) == CFStringGetTypeID() && CFGetTypeID(values[i]) == CFDataGetTypeID() &&
                SymbolInfoFromStoredBytes(CFDataGetBytePtr(static_cast<CFDataRef>(values[i])),
                                          CFDataGetLength(static_cast<CFDataRef>(values[i])), info);
    if (!good) {
      ++damaged;
      continue;
    }
    // The stored library word means nothing here: the symbol's file tells
    // its language.
    info.library = collection ? collection->GetFileLibrary(BareName(info.fileName)) : nullptr;
    Ptr copy = NewPtrCopy(&info, sizeof info);
    if (copy != nullptr) {
      CFStringRef key = CreateConvertedText(static_cast<CFStringRef>(keys[i]), false);
      CFDictionarySetValue(loaded, key, copy);
      CFRelease(key);
    }
  }
  if (damaged > 0)
    Complain(std::to_string(damaged) + " global symbol(s) of the wrong type or size were left out");
  CFRelease(globals);
  globals = loaded;
  IndexGlobalNames();

  GetEntries(DictionaryValue(root, "file table"), keys, values);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (CFGetTypeID(keys[i]) != CFStringGetTypeID() || CFGetTypeID(values[i]) != CFDictionaryGetTypeID()) {
      Complain("a file table entry that is not a named dictionary was left out");
      continue;
    }
    CFStringRef key = CreateConvertedText(static_cast<CFStringRef>(keys[i]), false);
    auto entry = static_cast<CFDictionaryRef>(values[i]);
    CFTypeRef stored = CFDictionaryGetValue(entry, CFSTR("descriptor"));
    auto descriptor = reinterpret_cast<FileDescriptorPtr>(NewPtrClear(sizeof(FileDescriptor)));
    if (descriptor == nullptr) {
      CFRelease(key);
      break;
    }
    if (stored == nullptr || CFGetTypeID(stored) != CFDataGetTypeID() ||
        !FileDescriptorFromStoredBytes(CFDataGetBytePtr(static_cast<CFDataRef>(stored)),
                                       CFDataGetLength(static_cast<CFDataRef>(stored)), *descriptor)) {
      Complain("the descriptor of \"" + Printable(key) + "\" is not a " + std::to_string(kFileDescriptorStoredSize) +
               "-byte record; the file was left out");
      ReleasePtr(descriptor);
      CFRelease(key);
      continue;
    }
    CFTypeRef headers = CFDictionaryGetValue(entry, CFSTR("headers"));
    descriptor->headers = CreateConvertedTexts(
        headers != nullptr && CFGetTypeID(headers) == CFArrayGetTypeID() ? static_cast<CFArrayRef>(headers) : nullptr,
        false);
    Str63 name(CFStringToPascal(key));
    descriptor->symbolTable = new TSymbolTable();
    descriptor->symbolTable->Create(collection ? collection->GetFileLibrary(BareName(name)) : nullptr);
    if (CFTypeRef table = CFDictionaryGetValue(entry, CFSTR("symbol table"))) {
      if (!descriptor->symbolTable->Expand(table))
        Complain("damaged records of the symbol table of \"" + Printable(key) + "\" were left out");
    }
    CFDictionarySetValue(files, key, descriptor);
    CFRelease(key);
  }
  CFRelease(list);
}
