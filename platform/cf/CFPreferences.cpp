// Preferences: one in-memory dictionary per domain file, read at first use
// and written atomically by synchronising.
#include "CFPreferences.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFURL.h"
#include "Folders.h"

const CFStringRef kCFPreferencesAnyApplication = CFStringMakeConstantUTF8("kCFPreferencesAnyApplication");
const CFStringRef kCFPreferencesCurrentApplication = CFStringMakeConstantUTF8("kCFPreferencesCurrentApplication");
const CFStringRef kCFPreferencesAnyHost = CFStringMakeConstantUTF8("kCFPreferencesAnyHost");
const CFStringRef kCFPreferencesCurrentHost = CFStringMakeConstantUTF8("kCFPreferencesCurrentHost");
const CFStringRef kCFPreferencesAnyUser = CFStringMakeConstantUTF8("kCFPreferencesAnyUser");
const CFStringRef kCFPreferencesCurrentUser = CFStringMakeConstantUTF8("kCFPreferencesCurrentUser");

namespace {

// A preferences file beyond this size is not read (a real one is far smaller).
constexpr off_t kMaxDomainFileSize = off_t(64) << 20;
// Leaves room in a file name for ".plist", a host name and ".corrupt.NN".
constexpr size_t kMaxDomainNameLength = 150;
// The program's own identifier, for a main bundle that names none (a tool
// run outside the bundle).
constexpr const char* kApplicationIDFallback = "com.brindlecote.Quorvel";

struct Domain {
  std::string path;                         // the file, fixed when it is read
  CFMutableDictionaryRef values = nullptr;  // nil until read
  bool dirty = false;                       // changes not yet written
  bool setAside = false;                    // the file could not be read: keep it
};

std::mutex gLock;

// Keyed by the file's place inside the preferences folder. Never destroyed,
// so that no exit-time order matters.
std::map<std::string, Domain>& Store() {
  static auto* store = new std::map<std::string, Domain>;
  return *store;
}

bool IsString(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID(); }

bool Same(CFStringRef a, CFStringRef b) { return a == b || (IsString(a) && IsString(b) && CFEqual(a, b)); }

// The string's UTF-8 bytes; false when it has none (or holds a NUL).
bool UTF8Of(CFStringRef string, std::string& out) {
  out.clear();
  if (!IsString(string)) return false;
  CFIndex length = CFStringGetLength(string);
  CFIndex needed = 0;
  CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &needed);
  std::vector<UInt8> bytes(size_t(needed) + 1);
  CFIndex used = 0;
  if (CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, bytes.data(), needed,
                      &used) != length)
    return false;
  out.assign(reinterpret_cast<const char*>(bytes.data()), size_t(used));
  return out.find('\0') == std::string::npos;
}

std::string HostName() {
  char name[256] = {0};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "localhost";
  std::string host = name;
  for (char& c : host)
    if (c == '/') c = '_';
  return host;
}

std::string LoginName() {
  struct passwd pw, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return found->pw_name;
  return std::string();
}

bool ValidDomainName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxDomainNameLength && name != "." && name != ".." &&
         name.find('/') == std::string::npos;
}

std::string CurrentApplicationID() {
  std::string name;
  if (CFBundleRef bundle = CFBundleGetMainBundle())
    if (UTF8Of(CFBundleGetIdentifier(bundle), name) && ValidDomainName(name)) return name;
  return kApplicationIDFallback;
}

// The domain file's place inside the preferences folder; false for what has
// no place here (another user, another host, a name that is no file name).
bool DomainFile(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName, std::string& file) {
  std::string name;
  if (Same(applicationID, kCFPreferencesCurrentApplication))
    name = CurrentApplicationID();
  else if (Same(applicationID, kCFPreferencesAnyApplication))
    name = ".GlobalPreferences";
  else if (!UTF8Of(applicationID, name) || !ValidDomainName(name))
    return false;

  std::string text;
  if (!Same(userName, kCFPreferencesCurrentUser) && !(UTF8Of(userName, text) && text == LoginName())) return false;

  if (Same(hostName, kCFPreferencesAnyHost)) {
    file = name + ".plist";
    return true;
  }
  if (Same(hostName, kCFPreferencesCurrentHost) || (UTF8Of(hostName, text) && text == HostName())) {
    file = "ByHost/" + name + "." + HostName() + ".plist";
    return true;
  }
  return false;
}

bool PreferencesFolder(std::string& folder) {
  FSRef ref;
  if (FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref) != noErr) return false;
  std::vector<UInt8> path(PATH_MAX + 1);
  if (FSRefMakePath(&ref, path.data(), UInt32(path.size())) != noErr) return false;
  folder.assign(reinterpret_cast<const char*>(path.data()));
  return !folder.empty();
}

CFMutableDictionaryRef NewDictionary() {
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
}

// The file's dictionary; nil (with *unreadable set when a file is there that
// holds something) when there is none to read.
CFDictionaryRef ReadDomainFile(const std::string& path, bool* unreadable) {
  *unreadable = false;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    // Missing, or a link to nothing: nothing to keep.
    *unreadable = errno != ENOENT && errno != ENOTDIR;
    return nullptr;
  }
  // A folder or a device is left alone; writing refuses it as well.
  if (!S_ISREG(st.st_mode)) return nullptr;
  // An empty file holds nothing to keep.
  *unreadable = st.st_size > 0;
  if (st.st_size > kMaxDomainFileSize) return nullptr;
  // Non-blocking, in case something other than a file took its place since.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  std::vector<UInt8> bytes;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxDomainFileSize) {
    bytes.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
    bytes.resize(got);
  }
  close(fd);
  if (bytes.empty()) return nullptr;
  CFDataRef data = CFDataCreateWithBytesNoCopy(nullptr, bytes.data(), CFIndex(bytes.size()), kCFAllocatorNull);
  CFPropertyListRef list = data ? CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr)
                                : nullptr;
  if (data) CFRelease(data);
  if (list != nullptr && CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    CFRelease(list);
    list = nullptr;
  }
  if (list != nullptr) *unreadable = false;
  return static_cast<CFDictionaryRef>(list);
}

// The domain, read from its file at first use since it was last synchronised.
Domain& Loaded(const std::string& file) {
  Domain& domain = Store()[file];
  if (domain.values != nullptr) return domain;
  domain.values = NewDictionary();
  domain.dirty = false;
  domain.setAside = false;
  domain.path.clear();
  std::string folder;
  if (!PreferencesFolder(folder)) return domain;
  domain.path = folder + "/" + file;
  bool unreadable = false;
  if (CFDictionaryRef stored = ReadDomainFile(domain.path, &unreadable)) {
    CFIndex count = CFDictionaryGetCount(stored);
    std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(stored, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i) CFDictionarySetValue(domain.values, keys[size_t(i)], values[size_t(i)]);
    CFRelease(stored);
  }
  domain.setAside = unreadable;
  if (unreadable)
    std::fprintf(stderr, "Quorvel: the preferences file \"%s\" cannot be read; it is kept and not used.\n",
                 domain.path.c_str());
  return domain;
}

// Renames the unreadable file to the first free "<path>.corrupt[.N]".
bool SetAside(const std::string& path) {
  for (int n = 0; n < 100; ++n) {
    std::string aside = path + ".corrupt" + (n == 0 ? std::string() : "." + std::to_string(n));
    struct stat st;
    if (lstat(aside.c_str(), &st) == 0) continue;
    if (rename(path.c_str(), aside.c_str()) != 0) return errno == ENOENT;
    std::fprintf(stderr, "Quorvel: the unreadable preferences file was kept as \"%s\".\n", aside.c_str());
    return true;
  }
  return false;
}

bool Write(Domain& domain, const std::string& file) {
  // The folder is found again (and made when missing) at every write.
  std::string folder;
  if (!PreferencesFolder(folder)) return false;
  if (domain.path != folder + "/" + file) {
    // The place changed since the file was read: what is there now was
    // never read, so it is kept.
    domain.path = folder + "/" + file;
    struct stat st;
    domain.setAside = lstat(domain.path.c_str(), &st) == 0;
  }
  const std::string& path = domain.path;
  size_t slash = path.rfind('/');
  if (file.find('/') != std::string::npos) mkdir(path.substr(0, slash).c_str(), 0700);

  CFDataRef data = CFPropertyListCreateXMLData(nullptr, domain.values);
  if (data == nullptr) return false;

  struct stat link, target;
  bool present = lstat(path.c_str(), &link) == 0;
  bool resolves = present && stat(path.c_str(), &target) == 0;
  bool ok = !(resolves && !S_ISREG(target.st_mode));  // never over a folder or a device
  if (ok && present && domain.setAside) {
    ok = SetAside(path);
    present = lstat(path.c_str(), &link) == 0;
    resolves = present && stat(path.c_str(), &target) == 0;
  }
  // A new file is the owner's only. A link to nothing gets its target made,
  // so that the link stays.
  std::string created;
  if (ok && !resolves) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (present ? 0 : O_EXCL), 0600);
    if (fd >= 0) {
      close(fd);
      if (char* made = realpath(path.c_str(), nullptr)) {
        created = made;
        std::free(made);
      }
    }
  }
  if (ok) {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                           CFIndex(path.size()), false);
    SInt32 status = 0;
    ok = url != nullptr && CFURLWriteDataAndPropertiesToResource(url, data, nullptr, &status);
    if (url) CFRelease(url);
    if (!ok && !created.empty()) unlink(created.c_str());
  }
  CFRelease(data);
  return ok;
}

// Writes what changed, then forgets the values so that the next read sees
// the file again.
bool Synchronize(const std::string& file) {
  auto found = Store().find(file);
  if (found == Store().end() || found->second.values == nullptr) return true;
  Domain& domain = found->second;
  if (domain.dirty && !Write(domain, file)) return false;
  CFRelease(domain.values);
  domain.values = nullptr;
  domain.dirty = false;
  domain.setAside = false;
  domain.path.clear();
  return true;
}

}  // namespace

CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID, CFStringRef userName,
                                         CFStringRef hostName) {
  std::string file;
  if (!IsString(key) || !DomainFile(applicationID, userName, hostName, file)) return nullptr;
  std::lock_guard<std::mutex> hold(gLock);
  CFTypeRef value = CFDictionaryGetValue(Loaded(file).values, key);
  return value ? CFRetain(value) : nullptr;
}

void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID,
                           CFStringRef userName, CFStringRef hostName) {
  std::string file;
  if (!IsString(key) || !DomainFile(applicationID, userName, hostName, file)) return;
  CFPropertyListRef copy = nullptr;
  if (value != nullptr) {
    // Only what the file can hold is stored, so one bad value never keeps
    // the whole domain from being written.
    if (!CFPropertyListIsValid(value, kCFPropertyListXMLFormat_v1_0)) {
      std::fprintf(stderr, "Quorvel: a preference value that is no property list was not stored.\n");
      return;
    }
    copy = CFPropertyListCreateDeepCopy(nullptr, value, kCFPropertyListImmutable);
    if (copy == nullptr) return;
  }
  std::lock_guard<std::mutex> hold(gLock);
  Domain& domain = Loaded(file);
  CFTypeRef old = CFDictionaryGetValue(domain.values, key);
  if (copy == nullptr) {
    if (old != nullptr) {
      CFDictionaryRemoveValue(domain.values, key);
      domain.dirty = true;
    }
    return;
  }
  if (old == nullptr || !CFEqual(old, copy)) {
    // A key of its own, which no caller can change behind the store's back.
    CFStringRef ownKey = CFStringCreateCopy(nullptr, key);
    CFDictionarySetValue(domain.values, ownKey, copy);
    CFRelease(ownKey);
    domain.dirty = true;
  }
  CFRelease(copy);
}

Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName) {
  std::string file;
  if (!DomainFile(applicationID, userName, hostName, file)) return false;
  std::lock_guard<std::mutex> hold(gLock);
  return Synchronize(file);
}

CFArrayRef CFPreferencesCopyKeyList(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName) {
  std::string file;
  if (!DomainFile(applicationID, userName, hostName, file)) return nullptr;
  std::lock_guard<std::mutex> hold(gLock);
  CFDictionaryRef values = Loaded(file).values;
  CFIndex count = CFDictionaryGetCount(values);
  if (count == 0) return nullptr;
  std::vector<const void*> keys(static_cast<size_t>(count));
  CFDictionaryGetKeysAndValues(values, keys.data(), nullptr);
  return CFArrayCreate(nullptr, keys.data(), count, &kCFTypeArrayCallBacks);
}

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
  return CFPreferencesCopyValue(key, applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
  CFPreferencesSetValue(key, value, applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
  return CFPreferencesSynchronize(applicationID, kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}
