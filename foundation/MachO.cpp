// MachO: bundles and frameworks loaded by URL with CFBundle, symbols found by
// name.
#include "MachO.h"

#include <map>
#include <mutex>
#include <string>

#include "CFString.h"
#include "CFURL.h"
#include "Folders.h"

namespace {

CFStringRef MacRomanString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

// Creates and loads the bundle at the URL; the variable is nil on failure.
SInt32 LoadAt(CFURLRef url, CFBundleRef& bundlePtr) {
  bundlePtr = url ? CFBundleCreate(nullptr, url) : nullptr;
  if (bundlePtr == nullptr) return coreFoundationUnknownErr;
  if (!CFBundleLoadExecutable(bundlePtr)) {
    CFRelease(bundlePtr);
    bundlePtr = nullptr;
    return coreFoundationUnknownErr;
  }
  return noErr;
}

// A name that stays inside the folder it is looked up in.
bool IsPlainName(CFStringRef name) {
  if (name == nullptr || CFGetTypeID(name) != CFStringGetTypeID()) return false;
  CFIndex length = CFStringGetLength(name);
  if (length == 0) return false;
  for (CFIndex i = 0; i < length; ++i) {
    UniChar c = CFStringGetCharacterAtIndex(name, i);
    if (c == '/' || c == 0) return false;
  }
  return !CFEqual(name, CFStringMakeConstantUTF8(".")) && !CFEqual(name, CFStringMakeConstantUTF8(".."));
}

enum class Symbol { Function, Data };

SInt32 Find(CFBundleRef bundle, const Str255& name, Symbol kind, void*& found) {
  found = nullptr;
  CFStringRef symbol = MacRomanString(name);
  if (symbol == nullptr) return cfragNoSymbolErr;
  found = kind == Symbol::Function ? CFBundleGetFunctionPointerForName(bundle, symbol)
                                   : CFBundleGetDataPointerForName(bundle, symbol);
  CFRelease(symbol);
  return found ? SInt32(noErr) : SInt32(cfragNoSymbolErr);
}

SInt32 FrameworkSymbol(const Str255& framework, const FSRef* folder, const Str255& name, Symbol kind,
                       CFBundleRef& bundlePtr, void*& found) {
  found = nullptr;
  if (bundlePtr == nullptr) {
    CFStringRef frameworkName = MacRomanString(framework);
    SInt32 err = MachOLoadFrameworkBundle(frameworkName, folder, bundlePtr);
    if (frameworkName) CFRelease(frameworkName);
    if (err != noErr) return err;
  }
  return Find(bundlePtr, name, kind, found);
}

SInt32 BundleSymbol(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName, const Str255& name, Symbol kind,
                    CFBundleRef& bundlePtr, void*& found) {
  found = nullptr;
  if (bundlePtr == nullptr) {
    SInt32 err = MachOLoadBundle(vRefNum, dirID, bundleName, bundlePtr);
    if (err != noErr) return err;
  }
  return Find(bundlePtr, name, kind, found);
}

}  // namespace

SInt32 MachOLoadBundle(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName, CFBundleRef& bundlePtr) {
  bundlePtr = nullptr;
  // An empty name would name the folder itself.
  if (bundleName.empty()) return bdNamErr;
  FSSpec spec;
  OSErr err = FSMakeFSSpec(vRefNum, dirID, bundleName.data(), &spec);
  if (err != noErr) return err;
  FSRef ref;
  err = FSpMakeFSRef(&spec, &ref);
  if (err != noErr) return err;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
  SInt32 status = LoadAt(url, bundlePtr);
  if (url) CFRelease(url);
  return status;
}

SInt32 MachOLoadFrameworkBundle(CFStringRef framework, const FSRef* folder, CFBundleRef& bundlePtr) {
  bundlePtr = nullptr;
  FSRef found;
  if (folder == nullptr) {
    // The bundle's Frameworks folder: the platform never creates it.
    OSErr err = FSFindFolder(kOnAppropriateDisk, kFrameworksFolderType, kCreateFolder, &found);
    if (err != noErr) return err;
    folder = &found;
  }
  if (!IsPlainName(framework)) return coreFoundationUnknownErr;
  CFURLRef folderURL = CFURLCreateFromFSRef(nullptr, folder);
  if (folderURL == nullptr) return coreFoundationUnknownErr;
  CFURLRef bundleURL = CFURLCreateCopyAppendingPathComponent(nullptr, folderURL, framework, true);
  SInt32 status = LoadAt(bundleURL, bundlePtr);
  if (bundleURL) CFRelease(bundleURL);
  CFRelease(folderURL);
  return status;
}

SInt32 MachOGetFrameworkFunctionRef(const Str255& framework, const FSRef* folder, const Str255& functionName,
                                    CFBundleRef& bundlePtr, void*& functionPtr) {
  return FrameworkSymbol(framework, folder, functionName, Symbol::Function, bundlePtr, functionPtr);
}

SInt32 MachOGetFrameworkDataRef(const Str255& framework, const FSRef* folder, const Str255& dataName,
                                CFBundleRef& bundlePtr, void*& dataPtr) {
  return FrameworkSymbol(framework, folder, dataName, Symbol::Data, bundlePtr, dataPtr);
}

SInt32 MachOGetBundleFunctionRef(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName,
                                 const Str255& functionName, CFBundleRef& bundlePtr, void*& functionPtr) {
  return BundleSymbol(vRefNum, dirID, bundleName, functionName, Symbol::Function, bundlePtr, functionPtr);
}

SInt32 MachOGetBundleDataRef(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName, const Str255& dataName,
                             CFBundleRef& bundlePtr, void*& dataPtr) {
  return BundleSymbol(vRefNum, dirID, bundleName, dataName, Symbol::Data, bundlePtr, dataPtr);
}

SInt32 MachOGetPrivateFrameworkFunctionRef(const Str255& bundleName, const Str255& functionName,
                                           void*& functionPtr) {
  static std::mutex lock;
  static auto* loaded = new std::map<std::string, CFBundleRef>();
  functionPtr = nullptr;
  CFBundleRef bundle = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto found = loaded->find(bundleName.str());
    if (found != loaded->end()) bundle = found->second;
  }
  if (bundle == nullptr) {
    CFURLRef folderURL = CFBundleCopyPrivateFrameworksURL(CFBundleGetMainBundle());
    FSRef folder;
    bool resolved = folderURL != nullptr && CFURLGetFSRef(folderURL, &folder);
    if (folderURL) CFRelease(folderURL);
    if (!resolved) return fnfErr;
    FSCatalogInfo info;
    OSErr err = FSGetCatalogInfo(&folder, kFSCatInfoVolume | kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr);
    if (err != noErr) return err;
    SInt32 status = MachOLoadBundle(info.volume, SInt32(info.nodeID), bundleName, bundle);
    if (status != noErr) return status;
    std::lock_guard<std::mutex> guard(lock);
    auto inserted = loaded->emplace(bundleName.str(), bundle);
    // Another thread got there first: keep its bundle (CFBundleCreate gave
    // the same object, so only our extra reference goes).
    if (!inserted.second) {
      CFRelease(bundle);
      bundle = inserted.first->second;
    }
  }
  return Find(bundle, functionName, Symbol::Function, functionPtr);
}
