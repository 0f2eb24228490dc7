// Whole-file access by URL: reading a file's data and properties, writing
// its data atomically, creating folders and removing items. Only file URLs
// are served here; network schemes have their own streams.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDate.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"

const CFStringRef kCFURLFileExists = CFStringMakeConstantUTF8("kCFURLFileExists");
const CFStringRef kCFURLFileDirectoryContents = CFStringMakeConstantUTF8("kCFURLFileDirectoryContents");
const CFStringRef kCFURLFileLength = CFStringMakeConstantUTF8("kCFURLFileLength");
const CFStringRef kCFURLFileLastModificationTime = CFStringMakeConstantUTF8("kCFURLFileLastModificationTime");
const CFStringRef kCFURLFilePOSIXMode = CFStringMakeConstantUTF8("kCFURLFilePOSIXMode");
const CFStringRef kCFURLFileOwnerID = CFStringMakeConstantUTF8("kCFURLFileOwnerID");

namespace {

SInt32 ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return kCFURLResourceNotFoundError;
    case EACCES:
    case EPERM:
    case EROFS:
      return kCFURLResourceAccessViolationError;
    case EISDIR:
    case ENAMETOOLONG:
      return kCFURLImproperArgumentsError;
    default:
      return kCFURLUnknownError;
  }
}

// The local path a URL names; 0 or an error code.
SInt32 LocalPath(CFURLRef url, std::string& path) {
  if (url == nullptr || CFGetTypeID(url) != CFURLGetTypeID()) return kCFURLImproperArgumentsError;
  CFURLRef absolute = CFURLCopyAbsoluteURL(url);
  if (absolute == nullptr) return kCFURLImproperArgumentsError;
  SInt32 status = 0;
  CFStringRef scheme = CFURLCopyScheme(absolute);
  if (scheme == nullptr ||
      CFStringCompare(scheme, CFStringMakeConstantUTF8("file"), kCFCompareCaseInsensitive) != kCFCompareEqualTo) {
    status = kCFURLUnknownSchemeError;
  } else {
    // The decoded path is never longer than the escaped string.
    std::vector<UInt8> buffer(size_t(CFStringGetLength(CFURLGetString(absolute))) + 2);
    if (CFURLGetFileSystemRepresentation(absolute, true, buffer.data(), CFIndex(buffer.size())))
      path.assign(reinterpret_cast<const char*>(buffer.data()));
    else
      status = kCFURLImproperArgumentsError;
  }
  if (scheme) CFRelease(scheme);
  CFRelease(absolute);
  return status;
}

void SetError(SInt32* errorCode, SInt32 value) {
  if (errorCode) *errorCode = value;
}

// Reads the whole open file; false with errno set on failure.
bool ReadAll(int fd, off_t sizeHint, UInt8*& bytes, size_t& length) {
  size_t capacity = sizeHint > 0 ? size_t(sizeHint) + 1 : 4096;
  bytes = static_cast<UInt8*>(std::malloc(capacity));
  length = 0;
  if (bytes == nullptr) {
    errno = ENOMEM;
    return false;
  }
  for (;;) {
    if (length == capacity) {
      size_t grown = capacity * 2;
      auto* more = static_cast<UInt8*>(std::realloc(bytes, grown));
      if (more == nullptr) {
        std::free(bytes);
        bytes = nullptr;
        errno = ENOMEM;
        return false;
      }
      bytes = more;
      capacity = grown;
    }
    ssize_t got = read(fd, bytes + length, capacity - length);
    if (got < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      std::free(bytes);
      bytes = nullptr;
      errno = saved;
      return false;
    }
    if (got == 0) return true;
    length += size_t(got);
  }
}

CFArrayRef DirectoryContents(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return nullptr;
  std::vector<std::pair<std::string, bool>> items;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string full = path == "/" ? "/" + name : path + "/" + name;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st;
      isDir = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    items.emplace_back(std::move(full), isDir);
  }
  closedir(dir);
  // The file system gives no order; callers get one that does not vary.
  std::sort(items.begin(), items.end());
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (auto& [full, isDir] : items) {
    CFURLRef item = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8*>(full.data()), CFIndex(full.size()), isDir);
    if (item == nullptr) continue;
    CFArrayAppendValue(array, item);
    CFRelease(item);
  }
  return array;
}

void SetNumber(CFMutableDictionaryRef dict, CFStringRef key, SInt64 value) {
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt64Type, &value);
  CFDictionarySetValue(dict, key, number);
  CFRelease(number);
}

bool Wants(CFArrayRef desired, CFStringRef key) {
  return desired == nullptr || CFArrayContainsValue(desired, CFRangeMake(0, CFArrayGetCount(desired)), key);
}

CFDictionaryRef FileProperties(const std::string& path, CFArrayRef desired) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  struct stat st;
  bool exists = stat(path.c_str(), &st) == 0;
  if (Wants(desired, kCFURLFileExists))
    CFDictionarySetValue(dict, kCFURLFileExists, exists ? kCFBooleanTrue : kCFBooleanFalse);
  if (!exists) return dict;
  if (Wants(desired, kCFURLFileLength)) SetNumber(dict, kCFURLFileLength, SInt64(st.st_size));
  if (Wants(desired, kCFURLFilePOSIXMode)) SetNumber(dict, kCFURLFilePOSIXMode, SInt64(st.st_mode & 07777));
  if (Wants(desired, kCFURLFileOwnerID)) SetNumber(dict, kCFURLFileOwnerID, SInt64(st.st_uid));
  if (Wants(desired, kCFURLFileLastModificationTime)) {
    CFAbsoluteTime at = double(st.st_mtim.tv_sec) + double(st.st_mtim.tv_nsec) / 1e9 -
                        kCFAbsoluteTimeIntervalSince1970;
    CFDateRef date = CFDateCreate(nullptr, at);
    CFDictionarySetValue(dict, kCFURLFileLastModificationTime, date);
    CFRelease(date);
  }
  if (S_ISDIR(st.st_mode) && Wants(desired, kCFURLFileDirectoryContents)) {
    if (CFArrayRef contents = DirectoryContents(path)) {
      CFDictionarySetValue(dict, kCFURLFileDirectoryContents, contents);
      CFRelease(contents);
    }
  }
  return dict;
}

// Replaces the file's contents at once through the File Manager (a
// temporary file renamed over it): a failure at any point leaves the old
// contents whole, the file keeps its mode, and a symbolic link stays.
SInt32 WriteAtomically(const std::string& path, const UInt8* bytes, size_t length) {
  int err = 0;
  const OSStatus status = FSWriteFileAtomically(path.c_str(), bytes, length, &err);
  if (status == noErr) return 0;
  if (status == notAFileErr) return kCFURLImproperArgumentsError;
  return ErrorFromErrno(err);
}

}  // namespace

Boolean CFURLCreateDataAndPropertiesFromResource(CFAllocatorRef, CFURLRef url, CFDataRef* resourceData,
                                                 CFDictionaryRef* properties, CFArrayRef desiredProperties,
                                                 SInt32* errorCode) {
  if (resourceData) *resourceData = nullptr;
  if (properties) *properties = nullptr;
  SetError(errorCode, 0);
  std::string path;
  if (SInt32 status = LocalPath(url, path)) {
    SetError(errorCode, status);
    return false;
  }
  if (resourceData) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      SetError(errorCode, ErrorFromErrno(errno));
      return false;
    }
    struct stat st;
    SInt32 status = fstat(fd, &st) != 0 ? ErrorFromErrno(errno)
                    : S_ISDIR(st.st_mode) ? SInt32(kCFURLImproperArgumentsError)
                                          : 0;
    if (status != 0) {
      SetError(errorCode, status);
      close(fd);
      return false;
    }
    UInt8* bytes = nullptr;
    size_t length = 0;
    bool ok = ReadAll(fd, S_ISREG(st.st_mode) ? st.st_size : 0, bytes, length);
    int err = errno;
    close(fd);
    if (!ok) {
      SetError(errorCode, ErrorFromErrno(err));
      return false;
    }
    // The data takes the buffer and frees it with free().
    *resourceData = CFDataCreateWithBytesNoCopy(nullptr, bytes, CFIndex(length), nullptr);
  }
  if (properties) *properties = FileProperties(path, desiredProperties);
  return true;
}

Boolean CFURLWriteDataAndPropertiesToResource(CFURLRef url, CFDataRef dataToWrite, CFDictionaryRef propertiesToWrite,
                                              SInt32* errorCode) {
  SetError(errorCode, 0);
  std::string path;
  if (SInt32 status = LocalPath(url, path)) {
    SetError(errorCode, status);
    return false;
  }
  SInt32 status = 0;
  if (CFURLHasDirectoryPath(url)) {
    struct stat st;
    if (dataToWrite != nullptr)
      status = kCFURLImproperArgumentsError;
    else if (mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
      status = ErrorFromErrno(errno);
  } else if (dataToWrite != nullptr) {
    status = WriteAtomically(path, CFDataGetBytePtr(dataToWrite), size_t(CFDataGetLength(dataToWrite)));
  }
  if (status == 0 && propertiesToWrite != nullptr) {
    CFTypeRef mode = CFDictionaryGetValue(propertiesToWrite, kCFURLFilePOSIXMode);
    SInt32 bits = 0;
    if (mode != nullptr) {
      if (CFGetTypeID(mode) != CFNumberGetTypeID() ||
          !CFNumberGetValue(static_cast<CFNumberRef>(mode), kCFNumberSInt32Type, &bits))
        status = kCFURLImproperArgumentsError;
      else if (chmod(path.c_str(), mode_t(bits) & 07777) != 0)
        status = ErrorFromErrno(errno);
    }
  }
  SetError(errorCode, status);
  return status == 0;
}

Boolean CFURLDestroyResource(CFURLRef url, SInt32* errorCode) {
  SetError(errorCode, 0);
  std::string path;
  if (SInt32 status = LocalPath(url, path)) {
    SetError(errorCode, status);
    return false;
  }
  struct stat st;
  int result = lstat(path.c_str(), &st) != 0 ? -1 : S_ISDIR(st.st_mode) ? rmdir(path.c_str()) : unlink(path.c_str());
  if (result != 0) {
    SetError(errorCode, ErrorFromErrno(errno));
    return false;
  }
  return true;
}
