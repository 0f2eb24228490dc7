// Bundles: folder layouts, Info.plist, resource look-up and code loading
// through the dynamic loader.
#include "CFBundle.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "CFData.h"
#include "CFPropertyList.h"
#include "CFRuntime.h"
#include "CFStringInternal.h"

namespace {

// An Info.plist larger than this is not read: no real one comes near it.
constexpr off_t kMaxInfoPlistSize = 8 << 20;

enum class Layout { Contents, Framework, Flat };

CFTypeID BundleTypeID() {
  static const CFTypeID type = CFRuntimeRegisterType("CFBundle");
  return type;
}

}  // namespace

struct __CFBundle : __CFRuntimeBase {
  __CFBundle(std::string folder, Layout kind, bool main)
      : __CFRuntimeBase(BundleTypeID()), path(std::move(folder)), layout(kind), isMain(main) {}
  ~__CFBundle() override;
  std::string Describe() const override;

  const std::string path;  // absolute, symbolic links resolved, no trailing "/"
  const Layout layout;
  const bool isMain;
  CFDictionaryRef info = nullptr;
  std::mutex lock;  // guards handle and loaded
  void* handle = nullptr;
  bool loaded = false;
};

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

// The live bundles by folder, so that one folder is one bundle.
std::unordered_map<std::string, __CFBundle*>& Registry() {
  static auto* bundles = new std::unordered_map<std::string, __CFBundle*>();
  return *bundles;
}

__CFBundle* Cast(CFBundleRef bundle) { return CFCast<__CFBundle>(bundle, BundleTypeID()); }

// --- Paths ------------------------------------------------------------------

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path, bool* isFolder) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  if (isFolder) *isFolder = S_ISDIR(st.st_mode);
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (name.empty()) return folder;
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string LastComponent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string WithoutExtension(const std::string& name) {
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& name) {
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string result(resolved);
  free(resolved);
  return result;
}

// The local path of a file URL; empty when the URL is none.
std::string PathOfURL(CFURLRef url) {
  if (url == nullptr || CFGetTypeID(url) != CFURLGetTypeID()) return std::string();
  std::vector<UInt8> buffer(PATH_MAX * 4);
  if (!CFURLGetFileSystemRepresentation(url, true, buffer.data(), CFIndex(buffer.size()))) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

CFURLRef URLOfPath(const std::string& path, bool isFolder) {
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                 CFIndex(path.size()), isFolder);
}

// A string argument as UTF-8; false for nil, other types and embedded NULs.
bool TextOf(CFStringRef string, std::string* text) {
  if (string == nullptr || CFGetTypeID(string) != CFStringGetTypeID()) return false;
  *text = __CFStringGetUTF8(string);
  return text->find('\0') == std::string::npos;
}

// A relative path inside the bundle: no absolute paths, no "..", no NULs.
// Empty components (doubled or trailing slashes) are dropped.
bool SafeRelativePath(const std::string& text, std::string* cleaned) {
  cleaned->clear();
  if (!text.empty() && text[0] == '/') return false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string component = text.substr(start, end - start);
    if (component == "..") return false;
    if (!component.empty() && component != ".") *cleaned = Join(*cleaned, component);
    start = end + 1;
  }
  return true;
}

// --- Layout -----------------------------------------------------------------

Layout LayoutOf(const std::string& path) {
  if (IsFolder(Join(path, "Contents"))) return Layout::Contents;
  if (ExtensionOf(LastComponent(path)) == "framework") return Layout::Framework;
  return Layout::Flat;
}

std::string ResourcesPath(const __CFBundle* b) {
  switch (b->layout) {
    case Layout::Contents: return Join(b->path, "Contents/Resources");
    case Layout::Framework: return Join(b->path, "Resources");
    case Layout::Flat: {
      std::string resources = Join(b->path, "Resources");
      return IsFolder(resources) ? resources : b->path;
    }
  }
  return b->path;
}

std::string SupportPath(const __CFBundle* b, const char* folder) {
  return b->layout == Layout::Contents ? Join(Join(b->path, "Contents"), folder) : Join(b->path, folder);
}

CFDictionaryRef EmptyDictionary() {
  return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                            &kCFTypeDictionaryValueCallBacks);
}

CFDictionaryRef ReadInfoPlist(const std::string& file) {
  struct stat st;
  if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxInfoPlistSize) return nullptr;
  FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return nullptr;
  std::vector<UInt8> bytes(size_t(st.st_size));
  size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(got));
  if (data == nullptr) return nullptr;
  CFPropertyListRef plist = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
  CFRelease(data);
  if (plist != nullptr && CFGetTypeID(plist) == CFDictionaryGetTypeID()) return static_cast<CFDictionaryRef>(plist);
  if (plist != nullptr) CFRelease(plist);
  return nullptr;
}

CFDictionaryRef LoadInfo(const __CFBundle* b) {
  std::vector<std::string> candidates;
  if (b->layout == Layout::Contents) {
    candidates.push_back(Join(b->path, "Contents/Info.plist"));
  } else {
    candidates.push_back(Join(b->path, "Resources/Info.plist"));
    candidates.push_back(Join(b->path, "Info.plist"));
  }
  for (const auto& file : candidates) {
    if (CFDictionaryRef info = ReadInfoPlist(file)) return info;
  }
  return EmptyDictionary();
}

// A string value of the Info.plist usable as one path component.
std::string InfoComponent(const __CFBundle* b, const char* key) {
  auto value = static_cast<CFStringRef>(CFDictionaryGetValue(b->info, CFStringMakeConstantUTF8(key)));
  std::string text;
  if (!TextOf(value, &text) || text.empty() || text == "." || text == ".." ||
      text.find('/') != std::string::npos)
    return std::string();
  return text;
}

std::string RunningProgram() {
  std::vector<char> buffer(PATH_MAX + 1);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (size_t(n) < buffer.size()) return std::string(buffer.data(), size_t(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutablePath(const __CFBundle* b) {
  std::string name = InfoComponent(b, "CFBundleExecutable");
  if (name.empty()) name = WithoutExtension(LastComponent(b->path));
  std::vector<std::string> folders;
  if (b->layout == Layout::Contents) {
    folders.push_back(Join(b->path, "Contents/Linux"));
    folders.push_back(Join(b->path, "Contents/MacOS"));
  } else {
    folders.push_back(b->path);
  }
  if (!name.empty()) {
    for (const auto& folder : folders) {
      for (const std::string& file : {name, name + ".so", "lib" + name + ".so"}) {
        std::string candidate = Join(folder, file);
        if (IsRegularFile(candidate)) return candidate;
      }
    }
  }
  return b->isMain ? RunningProgram() : std::string();
}

// The bundle for a folder path (already resolved): the live one, or a new one
// entered in the registry. Create rule.
__CFBundle* Obtain(const std::string& path, bool isMain) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  auto& registry = Registry();
  auto found = registry.find(path);
  if (found != registry.end()) {
    __CFBundle* existing = found->second;
    if (existing->pinned) return existing;
    // A bundle whose last release is under way is not handed out again.
    CFIndex count = existing->retainCount.load(std::memory_order_relaxed);
    while (count > 0) {
      if (existing->retainCount.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel)) return existing;
    }
  }
  auto* bundle = new __CFBundle(path, LayoutOf(path), isMain);
  bundle->info = LoadInfo(bundle);
  if (isMain) {
    bundle->Pin();
    bundle->loaded = true;
    bundle->handle = dlopen(nullptr, RTLD_NOW);
  }
  registry[path] = bundle;
  return bundle;
}

std::string MainBundlePath() {
  std::string program = RunningProgram();
  std::string folder = Parent(program);
  std::string inner = LastComponent(folder);
  std::string contents = Parent(folder);
  if ((inner == "MacOS" || inner == "Linux") && LastComponent(contents) == "Contents") {
    std::string bundle = RealPath(Parent(contents));
    if (!bundle.empty()) return bundle;
  }
  if (const char* named = getenv("QUORVEL_BUNDLE"); named != nullptr && *named != '\0') {
    std::string bundle = RealPath(named);
    if (!bundle.empty() && IsFolder(bundle)) return bundle;
  }
  std::string own = RealPath(folder);
  if (!own.empty()) return own;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string("/");
}

// The resource path, relative to Resources, made of the optional localization
// folder, the subfolder and the file name.
CFURLRef FindResource(const __CFBundle* b, const std::string& relative) {
  std::string resources = ResourcesPath(b);
  std::vector<std::string> regions{""};
  std::string development = InfoComponent(b, "CFBundleDevelopmentRegion");
  if (!development.empty()) regions.push_back(development + ".lproj");
  for (const char* fallback : {"English.lproj", "en.lproj", "Base.lproj"}) {
    if (std::find(regions.begin(), regions.end(), fallback) == regions.end()) regions.push_back(fallback);
  }
  for (const auto& region : regions) {
    std::string candidate = Join(Join(resources, region), relative);
    bool isFolder = false;
    if (Exists(candidate, &isFolder)) return URLOfPath(candidate, isFolder);
  }
  return nullptr;
}

// The names in a folder, in byte order; "." and ".." left out.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name(entry->d_name);
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string TypeSuffix(CFStringRef resourceType, bool* valid) {
  *valid = true;
  if (resourceType == nullptr) return std::string();
  std::string type;
  if (!TextOf(resourceType, &type) || type.find('/') != std::string::npos) {
    *valid = false;
    return std::string();
  }
  if (!type.empty() && type[0] == '.') type.erase(0, 1);
  return type.empty() ? std::string() : "." + type;
}

bool HasSuffix(const std::string& name, const std::string& suffix) {
  return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void* LookUp(CFBundleRef bundle, CFStringRef name) {
  __CFBundle* b = Cast(bundle);
  std::string symbol;
  if (b == nullptr || !TextOf(name, &symbol) || symbol.empty()) return nullptr;
  if (!CFBundleLoadExecutable(bundle)) return nullptr;
  std::lock_guard<std::mutex> guard(b->lock);
  if (!b->loaded || b->handle == nullptr) return nullptr;
  return dlsym(b->handle, symbol.c_str());
}

}  // namespace

__CFBundle::~__CFBundle() {
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto& registry = Registry();
    auto found = registry.find(path);
    if (found != registry.end() && found->second == this) registry.erase(found);
  }
  // The executable stays mapped: functions and data found in it may still be
  // in use by whoever looked them up.
  if (info) CFRelease(info);
}

std::string __CFBundle::Describe() const {
  return "<CFBundle " + path + (loaded ? " (loaded)>" : " (not loaded)>");
}

CFTypeID CFBundleGetTypeID() { return BundleTypeID(); }

CFBundleRef CFBundleGetMainBundle() {
  static __CFBundle* main = Obtain(MainBundlePath(), true);
  return main;
}

CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL) {
  std::string path = PathOfURL(bundleURL);
  if (path.empty()) return nullptr;
  std::string folder = RealPath(path);
  if (folder.empty() || !IsFolder(folder)) return nullptr;
  CFBundleGetMainBundle();  // so that the main bundle's folder gives the main bundle
  return Obtain(folder, false);
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
  if (bundleID == nullptr || CFGetTypeID(bundleID) != CFStringGetTypeID()) return nullptr;
  CFBundleRef main = CFBundleGetMainBundle();
  if (CFEqual(CFBundleGetIdentifier(main), bundleID)) return main;
  std::lock_guard<std::mutex> guard(RegistryLock());
  for (const auto& entry : Registry()) {
    __CFBundle* b = entry.second;
    if (!b->pinned && b->retainCount.load(std::memory_order_relaxed) <= 0) continue;
    CFTypeRef identifier = CFDictionaryGetValue(b->info, CFStringMakeConstantUTF8("CFBundleIdentifier"));
    if (identifier != nullptr && CFEqual(identifier, bundleID)) return b;
  }
  return nullptr;
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  return b ? b->info : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr || key == nullptr) return nullptr;
  return CFDictionaryGetValue(b->info, key);
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
  CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(bundle, CFStringMakeConstantUTF8("CFBundleIdentifier"));
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? static_cast<CFStringRef>(value) : nullptr;
}

void CFBundleGetPackageInfo(CFBundleRef bundle, UInt32* packageType, UInt32* packageCreator) {
  auto code = [bundle](const char* key) -> UInt32 {
    auto value = static_cast<CFStringRef>(CFBundleGetValueForInfoDictionaryKey(bundle, CFStringMakeConstantUTF8(key)));
    UInt8 bytes[4];
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID() || CFStringGetLength(value) != 4 ||
        CFStringGetBytes(value, CFRangeMake(0, 4), kCFStringEncodingMacRoman, 0, false, bytes, 4, nullptr) != 4)
      return 0x3F3F3F3F;  // '????'
    return (UInt32(bytes[0]) << 24) | (UInt32(bytes[1]) << 16) | (UInt32(bytes[2]) << 8) | UInt32(bytes[3]);
  };
  if (packageType) *packageType = code("CFBundlePackageType");
  if (packageCreator) *packageCreator = code("CFBundleSignature");
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  return b ? URLOfPath(b->path, true) : nullptr;
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  return b ? URLOfPath(ResourcesPath(b), true) : nullptr;
}

CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  return b ? URLOfPath(SupportPath(b, "SharedSupport"), true) : nullptr;
}

CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  return b ? URLOfPath(SupportPath(b, "Frameworks"), true) : nullptr;
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr) return nullptr;
  std::string executable = ExecutablePath(b);
  return executable.empty() ? nullptr : URLOfPath(executable, false);
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr) return nullptr;
  std::string subText, sub;
  if (subDirName != nullptr && (!TextOf(subDirName, &subText) || !SafeRelativePath(subText, &sub))) return nullptr;
  bool validType = true;
  std::string suffix = TypeSuffix(resourceType, &validType);
  if (!validType) return nullptr;
  if (resourceName == nullptr) {
    if (suffix.empty()) return nullptr;
    std::string folder = Join(ResourcesPath(b), sub);
    for (const auto& name : ListFolder(folder)) {
      if (!HasSuffix(name, suffix)) continue;
      std::string item = Join(folder, name);
      return URLOfPath(item, IsFolder(item));
    }
    return nullptr;
  }
  std::string nameText, name;
  if (!TextOf(resourceName, &nameText) || !SafeRelativePath(nameText + suffix, &name) || name.empty()) return nullptr;
  return FindResource(b, Join(sub, name));
}

CFArrayRef CFBundleCopyResourceURLsOfType(CFBundleRef bundle, CFStringRef resourceType, CFStringRef subDirName) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr) return nullptr;
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  std::string subText, sub;
  if (subDirName != nullptr && (!TextOf(subDirName, &subText) || !SafeRelativePath(subText, &sub))) return result;
  bool validType = true;
  std::string suffix = TypeSuffix(resourceType, &validType);
  if (!validType) return result;
  std::string folder = Join(ResourcesPath(b), sub);
  for (const auto& name : ListFolder(folder)) {
    if (!suffix.empty() && !HasSuffix(name, suffix)) continue;
    std::string item = Join(folder, name);
    if (CFURLRef url = URLOfPath(item, IsFolder(item))) {
      CFArrayAppendValue(result, url);
      CFRelease(url);
    }
  }
  return result;
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr) return false;
  std::lock_guard<std::mutex> guard(b->lock);
  if (b->loaded) return true;
  std::string executable = ExecutablePath(b);
  if (executable.empty()) {
    std::fprintf(stderr, "CFBundleLoadExecutable: %s has no executable\n", b->path.c_str());
    return false;
  }
  dlerror();
  void* handle = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = dlerror();
    std::fprintf(stderr, "CFBundleLoadExecutable: %s\n", message ? message : executable.c_str());
    return false;
  }
  b->handle = handle;
  b->loaded = true;
  return true;
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr) return false;
  std::lock_guard<std::mutex> guard(b->lock);
  return b->loaded;
}

void CFBundleUnloadExecutable(CFBundleRef bundle) {
  __CFBundle* b = Cast(bundle);
  if (b == nullptr || b->isMain) return;
  std::lock_guard<std::mutex> guard(b->lock);
  if (!b->loaded) return;
  if (b->handle) dlclose(b->handle);
  b->handle = nullptr;
  b->loaded = false;
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
  return LookUp(bundle, functionName);
}

void* CFBundleGetDataPointerForName(CFBundleRef bundle, CFStringRef symbolName) {
  return LookUp(bundle, symbolName);
}
