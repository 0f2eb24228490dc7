// File-system helpers: FSRefs to paths, URLs and names and back, parents and
// children, creating, renaming and copying items, whole data forks, folder
// listings and walks.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "MacMemory.h"
#include "PascalCarbonCommon+FilesInternal.h"
#include "PascalCarbonCommon.h"

namespace pcc_files {

bool FitPascal(CFStringRef string, int capacity, Str255& result) {
  result.Clear();
  if (string == nullptr) return false;
  const CFIndex length = CFStringGetLength(string);
  if (length == 0) return true;
  // PCFSTR cuts strings of 255 characters or more; those do not fit.
  if (length >= 255) return false;
  Str255 converted = PCFSTR(string);
  if (converted.empty() || converted.len() > capacity) return false;
  result = converted;
  return true;
}

CFStringRef CreateString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

}  // namespace pcc_files

using namespace pcc_files;

namespace {

const FSRef kNoFSRef{};

// The item's file URL (Create rule); nil when the FSRef names nothing.
CFURLRef CreateURL(const FSRef& ref) { return CFURLCreateFromFSRef(nullptr, &ref); }

// The POSIX path of a URL as a short string; empty when it does not fit.
Str255 URLPath(CFURLRef url) {
  Str255 result;
  if (url == nullptr) return result;
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  if (path != nullptr) {
    FitPascal(path, 255, result);
    CFRelease(path);
  }
  return result;
}

// True when the item is a folder or a link to one: creating inside it works.
bool LeadsToFolder(const FSRef& ref) {
  UInt8 path[4096];
  struct stat st;
  return FSRefMakePath(&ref, path, sizeof path) == noErr && stat(reinterpret_cast<const char*>(path), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

// The UTF-16 characters of a CFString, held for one file-system call.
struct UnicodeName {
  explicit UnicodeName(CFStringRef name)
      : chars(CreateUnicodeString(name)), length(UniCharCount(CFStringGetLength(name))) {}
  ~UnicodeName() { ReleasePtr(chars); }
  UnicodeName(const UnicodeName&) = delete;
  UnicodeName& operator=(const UnicodeName&) = delete;
  UniChar* chars;
  UniCharCount length;
};

// Appends when the result still fits a short string; false otherwise.
bool Append(std::string& s, std::string_view part) {
  s.append(part);
  return s.size() <= 255;
}

}  // namespace

// ---------------------------------------------------------------------------
// References, paths and URLs

Boolean FSGetPathRef(const Str255& path, FSRef& ref) {
  ref = kNoFSRef;
  CFStringRef string = CreateString(path);
  if (string == nullptr) return false;
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, false);
  CFRelease(string);
  if (url == nullptr) return false;
  const Boolean found = CFURLGetFSRef(url, &ref);
  CFRelease(url);
  if (!found) ref = kNoFSRef;
  return found;
}

FSRef FSGetPathRef2(const Str255& path) {
  FSRef ref;
  FSGetPathRef(path, ref);
  return ref;
}

Boolean FSGetURLRef(const Str255& url, FSRef& ref) {
  ref = kNoFSRef;
  CFStringRef string = CreateString(url);
  if (string == nullptr) return false;
  CFURLRef u = CFURLCreateWithString(nullptr, string, nullptr);
  CFRelease(string);
  if (u == nullptr) return false;
  const Boolean found = CFURLGetFSRef(u, &ref);
  CFRelease(u);
  if (!found) ref = kNoFSRef;
  return found;
}

CFStringRef FSCopyURLString(const FSRef& ref) {
  CFURLRef url = CreateURL(ref);
  if (url == nullptr) return nullptr;
  CFStringRef string = CFURLGetString(url);
  if (string != nullptr) CFRetain(string);
  CFRelease(url);
  return string;
}

Str255 FSGetURL(const FSRef& ref) {
  Str255 result;
  CFStringRef string = FSCopyURLString(ref);
  if (string == nullptr) return result;
  FitPascal(string, 255, result);
  CFRelease(string);
  return result;
}

Ptr FSCreateFURL(const FSRef& ref) {
  CFURLRef url = CreateURL(ref);
  if (url == nullptr) return nullptr;
  CFDataRef data = CFURLCreateData(nullptr, url, kCFStringEncodingUTF8, true);
  CFRelease(url);
  if (data == nullptr) return nullptr;
  const CFIndex length = CFDataGetLength(data);
  Ptr block = NewPtr(Size(length));
  if (block != nullptr) std::memcpy(block, CFDataGetBytePtr(data), size_t(length));
  CFRelease(data);
  return block;
}

Str255 FSGetFullPath(const FSRef& ref) {
  CFURLRef url = CreateURL(ref);
  Str255 result = URLPath(url);
  if (url != nullptr) CFRelease(url);
  return result;
}

Str255 FSGetParentPath(const FSRef& ref) {
  CFURLRef url = CreateURL(ref);
  if (url == nullptr) return Str255();
  CFURLRef parent = CFURLCreateCopyDeletingLastPathComponent(nullptr, url);
  CFRelease(url);
  Str255 result = URLPath(parent);
  if (parent != nullptr) CFRelease(parent);
  return result;
}

CFArrayRef FSExplodePath(const Str255& path) {
  // A '/' after the first character ends a component; the first character
  // always joins the first component, so a leading '/' stays with it.
  std::vector<std::string_view> components;
  const std::string_view text = path.view();
  size_t start = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '/') {
      components.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) components.push_back(text.substr(start));
  if (components.size() < 2) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, CFIndex(components.size()), &kCFTypeArrayCallBacks);
  for (std::string_view component : components) {
    CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(component.data()),
                                            CFIndex(component.size()), kCFStringEncodingMacRoman, false);
    CFArrayAppendValue(array, s);
    CFRelease(s);
  }
  return array;
}

Str255 FSMergeFilePath(const Str63& name, const Str255& path, const Str255& base) {
  std::string merged;
  bool fits;
  if (path.empty() || path[1] != '.') {
    fits = Append(merged, path.view()) && Append(merged, "/") && Append(merged, name.view());
  } else {
    const std::string_view rest = path.view().substr(1);
    fits = true;
    if (!base.empty() && base[1] != '#') fits = Append(merged, base.view());
    fits = fits && Append(merged, rest) && Append(merged, "/") && Append(merged, name.view());
  }
  return fits ? Str255(merged) : Str255();
}

Boolean FSResolveFile(const Str63& name, FSRef& ref, CFDictionaryRef paths) {
  ref = kNoFSRef;
  if (name.empty()) return false;
  CFArrayRef keys = nullptr;
  CFArrayRef values = nullptr;
  CFDictionaryCreateIndexedCopy(paths, keys, values);
  Boolean found = false;
  const CFIndex count = CFArrayGetCount(keys);
  for (CFIndex i = 0; i < count && !found; ++i) {
    CFTypeRef key = CFArrayGetValueAtIndex(keys, i);
    CFTypeRef list = CFArrayGetValueAtIndex(values, i);
    Str255 base;
    if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID() ||
        !FitPascal(static_cast<CFStringRef>(key), 255, base))
      continue;
    if (list == nullptr || CFGetTypeID(list) != CFArrayGetTypeID()) continue;
    const CFArrayRef searchPaths = static_cast<CFArrayRef>(list);
    const CFIndex pathCount = CFArrayGetCount(searchPaths);
    for (CFIndex j = 0; j < pathCount && !found; ++j) {
      CFTypeRef entry = CFArrayGetValueAtIndex(searchPaths, j);
      Str255 searchPath;
      if (entry == nullptr || CFGetTypeID(entry) != CFStringGetTypeID() ||
          !FitPascal(static_cast<CFStringRef>(entry), 255, searchPath))
        continue;
      const Str255 candidate = FSMergeFilePath(name, searchPath, base);
      if (!candidate.empty()) found = FSGetPathRef(candidate, ref);
    }
  }
  CFRelease(keys);
  CFRelease(values);
  return found;
}

Boolean FSValidFSRef(const FSRef& ref) {
  Err = FSCompareFSRefs(&ref, &kNoFSRef);
  // All zeros is the same (absent) item as all zeros.
  return !IsNoRef(ref) && Err != noErr;
}

Boolean FSRefExists(const FSRef& ref) {
  Err = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr);
  return Err == noErr;
}

Boolean FSIsFolder(const FSRef& ref) {
  Boolean alias = false;
  Boolean folder = false;
  Err = FSIsAliasFile(&ref, &alias, &folder);
  return Err == noErr && folder;
}

// ---------------------------------------------------------------------------
// Parents, children and named locations

FSRef FSGetParent(const FSRef& ref) {
  FSRef parent = kNoFSRef;
  Err = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr, &parent);
  return Err == noErr ? parent : kNoFSRef;
}

FSRef FSGetParentAtIndex(const FSRef& ref, SInt16 levels) {
  FSRef result = ref;
  for (SInt16 i = 0; i < levels; ++i) {
    result = FSGetParent(result);
    if (Err != noErr) break;
  }
  return result;
}

OSStatus FSGetSubFolder(const FSRef& folder, const Str255& name, FSRef& ref) {
  ref = kNoFSRef;
  // Only items inside the folder: no empty name and no way up.
  const std::string_view text = name.view();
  if (text.empty()) return fnfErr;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    if (text.substr(start, end - start) == "..") return fnfErr;
    start = end + 1;
  }
  CFURLRef url = CreateURL(folder);
  if (url == nullptr) return fnfErr;
  CFStringRef component = CreateString(name);
  CFURLRef child = component ? CFURLCreateCopyAppendingPathComponent(nullptr, url, component, false) : nullptr;
  Boolean found = child != nullptr && CFURLGetFSRef(child, &ref);
  if (child != nullptr) CFRelease(child);
  if (component != nullptr) CFRelease(component);
  CFRelease(url);
  if (!found) ref = kNoFSRef;
  return found ? noErr : fnfErr;
}

FSRef FSGetFileFromFolder(const Str255& name, OSType folderType) {
  FSRef folder = kNoFSRef;
  Err = FSFindFolder(kOnSystemDisk, folderType, kDontCreateFolder, &folder);
  FSRef item = kNoFSRef;
  if (Err == noErr) FSGetSubFolder(folder, name, item);
  return item;
}

Str63 FSGetActualName(const FSRef& ref) {
  HFSUniStr255 name;
  Err = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr, nullptr);
  if (Err != noErr) return Str63();
  CFStringRef string = CFStringCreateWithCharacters(nullptr, name.unicode, name.length);
  Str255 result;
  if (!FitPascal(string, 63, result)) Err = bdNamErr;
  if (string != nullptr) CFRelease(string);
  return result;
}

// ---------------------------------------------------------------------------
// Creating and changing items

OSStatus FSCreateFolder(CFStringRef name, const FSRef& parent, FSRef& ref) {
  ref = kNoFSRef;
  if (name == nullptr) return Err = paramErr;
  UnicodeName unicode(name);
  Err = FSMakeFSRefUnicode(&parent, unicode.length, unicode.chars, kTextEncodingUnicodeDefault, &ref);
  if (Err == fnfErr) {
    Err = FSCreateDirectoryUnicode(&parent, unicode.length, unicode.chars, kFSCatInfoNone, nullptr, &ref, nullptr,
                                   nullptr);
  } else if (Err == noErr && !LeadsToFolder(ref)) {
    Err = dupFNErr;
  }
  if (Err != noErr) ref = kNoFSRef;
  return Err;
}

OSStatus FSCreateFile(CFStringRef name, const FSRef& parent, OSType type, OSType creator, FSRef& ref) {
  ref = kNoFSRef;
  if (name == nullptr) return paramErr;
  UnicodeName unicode(name);
  OSStatus status = FSMakeFSRefUnicode(&parent, unicode.length, unicode.chars, kTextEncodingUnicodeDefault, &ref);
  if (status == fnfErr) {
    status = FSCreateFileUnicode(&parent, unicode.length, unicode.chars, kFSCatInfoNone, nullptr, &ref, nullptr);
    if (status == noErr) {
      FSCatalogInfo info;
      Err = FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr);
      if (Err == noErr) {
        FileInfo finder;
        std::memcpy(&finder, info.finderInfo, sizeof finder);
        finder.fileType = type;
        finder.fileCreator = creator;
        std::memcpy(info.finderInfo, &finder, sizeof finder);
        Err = FSSetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info);
      }
    }
  } else if (status == noErr && LeadsToFolder(ref)) {
    status = notAFileErr;
  }
  if (status != noErr) ref = kNoFSRef;
  return status;
}

OSStatus FSRename(FSRef& ref, const Str63& name) {
  CFStringRef string = CreateString(name);
  if (string == nullptr) return bdNamErr;
  FSRef renamed;
  OSStatus status;
  {
    UnicodeName unicode(string);
    status = FSRenameUnicode(&ref, unicode.length, unicode.chars, kTextEncodingUnicodeDefault, &renamed);
  }
  CFRelease(string);
  if (status == noErr) ref = renamed;
  return status;
}

OSStatus FSCopyToPath(const FSRef& source, const Str63& name, const Str255& folderPath, FSRef& newRef) {
  newRef = kNoFSRef;
  FSRef folder;
  if (!FSGetPathRef(folderPath, folder)) return Err = -1;
  CFStringRef string = CreateString(name);
  if (string == nullptr) return Err = bdNamErr;
  Err = FSCopyObjectSync(&source, &folder, string, &newRef, kFSFileOperationDefaultOptions);
  CFRelease(string);
  if (Err != noErr) newRef = kNoFSRef;
  return Err;
}

// ---------------------------------------------------------------------------
// Data forks and folder contents

Ptr FSReadDataFork(const FSRef& ref) {
  HFSUniStr255 forkName;
  FSGetDataForkName(&forkName);
  FSIORefNum fork = 0;
  Err = FSOpenFork(&ref, forkName.length, forkName.unicode, fsRdPerm, &fork);
  if (Err != noErr) return nullptr;
  OSStatus status = noErr;
  Ptr block = nullptr;
  SInt64 size = 0;
  status = FSGetForkSize(fork, &size);
  if (status == noErr) {
    block = size >= 0 && static_cast<UInt64>(size) <= static_cast<UInt64>(SIZE_MAX / 2) ? NewPtr(Size(size)) : nullptr;
    if (block == nullptr) status = memFullErr;
  }
  if (status == noErr) {
    ByteCount actual = 0;
    status = FSReadFork(fork, fsFromStart, 0, ByteCount(size), block, &actual);
    if (status == eofErr) status = noErr;
    // A file that shrank since its size was read keeps only what is there.
    if (status == noErr && SInt64(actual) < size) SetPtrSize(block, Size(actual));
  }
  if (status != noErr) ReleasePtr(block);
  const OSErr closed = FSCloseFork(fork);
  // A failed read stays visible in Err; otherwise Err is the close's status.
  Err = status != noErr ? status : closed;
  return block;
}

// The file is replaced at once, so that a failure leaves it as it was.
OSStatus FSWriteDataFork(const FSRef& ref, const void* block) {
  if (!IsPointerAllocated(block)) return Err = paramErr;
  const Size size = GetPtrSize(static_cast<Ptr>(const_cast<void*>(block)));
  return Err = FSRefWriteFileAtomically(&ref, block, size_t(size));
}

OSStatus FSGetDirectoryItems(const FSRef& folder, FSRefHandle& items, UInt32& count, Boolean& changed) {
  items = nullptr;
  count = 0;
  changed = false;
  Handle handle = NewHandle(0);
  if (handle == nullptr) return memFullErr;
  std::vector<FSRef> refs;
  FSIterator iterator = nullptr;
  OSStatus status = FSOpenIterator(&folder, kFSIterateFlat, &iterator);
  if (status == noErr) {
    FSRef batch[10];
    do {
      ItemCount actual = 0;
      Boolean batchChanged = false;
      status =
          FSGetCatalogInfoBulk(iterator, 10, &actual, &batchChanged, kFSCatInfoNone, nullptr, batch, nullptr, nullptr);
      if (batchChanged) changed = true;
      if (status == noErr || status == errFSNoMoreItems) refs.insert(refs.end(), batch, batch + actual);
    } while (status == noErr);
    FSCloseIterator(iterator);
    if (status == errFSNoMoreItems) status = noErr;
  }
  if (status == noErr && !refs.empty()) {
    SetHandleSize(handle, Size(refs.size() * sizeof(FSRef)));
    if (MemError() != noErr)
      status = memFullErr;
    else
      std::memcpy(*handle, refs.data(), refs.size() * sizeof(FSRef));
  }
  if (status != noErr) {
    DisposeHandle(handle);
    return status;
  }
  items = reinterpret_cast<FSRefHandle>(handle);
  count = UInt32(refs.size());
  return noErr;
}

namespace {

struct FolderIdentity {
  dev_t device;
  ino_t inode;
};

// The folders being walked, outermost first: a folder met again inside
// itself (through a bind mount) is reported but not walked a second time.
using WalkAncestors = std::vector<FolderIdentity>;

bool Identify(const FSRef& folder, FolderIdentity& identity) {
  UInt8 path[4096];
  struct stat st;
  if (FSRefMakePath(&folder, path, sizeof path) != noErr || stat(reinterpret_cast<const char*>(path), &st) != 0)
    return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}

OSStatus IterateContainer(const FSRef& folder, FSIterateContainerCallback callback, void* userData,
                          WalkAncestors& ancestors);

// The core walk of one level, with its own stop flag.
OSStatus WalkLevel(const FSRef& folder, FSIterateContainerCallback callback, Boolean& stop, void* userData,
                   WalkAncestors& ancestors) {
  FSIterator iterator = nullptr;
  OSStatus status = FSOpenIterator(&folder, kFSIterateFlat, &iterator);
  if (status != noErr) return status;
  for (;;) {
    FSRef item;
    ItemCount actual = 0;
    status = FSGetCatalogInfoBulk(iterator, 1, &actual, nullptr, kFSCatInfoNone, nullptr, &item, nullptr, nullptr);
    if (actual != 1 || (status != noErr && status != errFSNoMoreItems)) break;
    const Boolean isFolder = FSIsFolder(item);
    if (callback != nullptr) callback(item, isFolder, stop, userData);
    if (isFolder && !stop) status = IterateContainer(item, callback, userData, ancestors);
    if (status != noErr || stop) break;
  }
  Err = FSCloseIterator(iterator);
  return status == noErr || status == errFSNoMoreItems ? noErr : status;
}

OSStatus IterateContainer(const FSRef& folder, FSIterateContainerCallback callback, void* userData,
                          WalkAncestors& ancestors) {
  FolderIdentity identity{};
  const bool known = Identify(folder, identity);
  if (known) {
    for (const FolderIdentity& a : ancestors)
      if (a.device == identity.device && a.inode == identity.inode) return noErr;
    ancestors.push_back(identity);
  }
  Boolean stop = false;
  const OSStatus status = WalkLevel(folder, callback, stop, userData, ancestors);
  if (known) ancestors.pop_back();
  return status;
}

}  // namespace

OSStatus FSIterateContainer(const FSRef& folder, FSIterateContainerCallback callback, void* userData) {
  WalkAncestors ancestors;
  return IterateContainer(folder, callback, userData, ancestors);
}
