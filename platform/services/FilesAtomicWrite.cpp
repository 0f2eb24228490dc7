// Whole files replaced at once: a temporary file beside the original, flushed,
// given the original's mode, attributes and owner, then renamed over it.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "FilesInternal.h"

namespace {

// A status for what the system refused, by the step that failed: a refusal
// to make a file in the folder is the folder's, any other the file's.
OSStatus StatusOf(int err, bool creatingInFolder) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return dskFulErr;
    case EACCES:
    case EPERM:
      return creatingInFolder ? OSStatus(permErr) : OSStatus(wrPermErr);
    case EROFS:
      return wPrErr;
    case ENOENT:
    case ENOTDIR:
      return dirNFErr;
    case EISDIR:
      return notAFileErr;
    case ENAMETOOLONG:
      return bdNamErr;
    case ENOMEM:
      return memFullErr;
    default:
      return ioErr;
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path ends at once its symbolic links are followed, the last one
// perhaps dangling (its target is then the file to make). False for a loop.
bool FollowLinks(std::string path, std::string* out) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *out = path;
      return true;
    }
    std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || size_t(n) >= target.size()) return false;
    std::string next(target.data(), size_t(n));
    path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

bool WriteAll(int fd, const UInt8* bytes, size_t length) {
  while (length > 0) {
    const ssize_t put = write(fd, bytes, length);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) {
      errno = EIO;
      return false;
    }
    bytes += put;
    length -= size_t(put);
  }
  return true;
}

// Extended attributes (the Finder information among them) go with the
// contents; a file system without them loses nothing else.
void CopyAttributes(const std::string& from, int to) {
  const ssize_t size = listxattr(from.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<size_t>(size));
  const ssize_t got = listxattr(from.c_str(), names.data(), names.size());
  if (got <= 0) return;
  for (size_t at = 0; at < size_t(got);) {
    const char* name = names.data() + at;
    at += std::char_traits<char>::length(name) + 1;
    const ssize_t length = getxattr(from.c_str(), name, nullptr, 0);
    if (length < 0) continue;
    std::vector<char> value(static_cast<size_t>(length));
    if (getxattr(from.c_str(), name, value.data(), value.size()) == length)
      fsetxattr(to, name, value.data(), value.size(), 0);
  }
}

OSStatus WriteInPlace(const std::string& path, const UInt8* bytes, size_t length, int* err) {
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    *err = errno;
    return StatusOf(*err, false);
  }
  bool ok = WriteAll(fd, bytes, length);
  int e = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  *err = e;
  return ok ? OSStatus(noErr) : StatusOf(e, false);
}

// A name no other file has beside the target, opened for writing. The name
// starts with a dot and ends in "~" so that listings and backups pass it by.
int CreateTemporary(const std::string& folder, const std::string& leaf, mode_t mode, std::string* temp) {
  static std::atomic<unsigned> counter{0};
  // Room for the suffix within the longest name a folder takes.
  const std::string stem = "." + leaf.substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%x%04x~", unsigned(getpid()), counter.fetch_add(1) & 0xffffu);
    *temp = folder + "/" + stem + suffix;
    const int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

OSStatus FSWriteFileAtomically(const char* inPath, const void* inBytes, size_t length, int* outErrno) {
  int ignored = 0;
  int& err = outErrno != nullptr ? *outErrno : ignored;
  err = 0;
  if (inPath == nullptr || *inPath == '\0' || (inBytes == nullptr && length > 0)) {
    err = EINVAL;
    return paramErr;
  }
  const auto* bytes = static_cast<const UInt8*>(inBytes);
  std::string path;
  if (!FollowLinks(inPath, &path)) {
    err = errno;
    return StatusOf(err, false);
  }
  struct stat st {};
  const bool exists = stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    err = errno;
    return StatusOf(err, false);
  }
  if (exists && S_ISDIR(st.st_mode)) {
    err = EISDIR;
    return notAFileErr;
  }
  if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(path, bytes, length, &err);
  // The rename would get past a write-protected file: the protection holds.
  if (exists && access(path.c_str(), W_OK) != 0) {
    err = errno;
    return StatusOf(err, false);
  }

  const std::string folder = FolderOf(path);
  std::string temp;
  // A new file gets the usual permissions (0666 less the umask, or the
  // folder's default ACL); a replaced one its own, set below.
  const int fd = CreateTemporary(folder, LeafOf(path), exists ? 0600 : 0666, &temp);
  if (fd < 0) {
    err = errno;
    return StatusOf(err, true);
  }
  bool ok = WriteAll(fd, bytes, length);
  if (ok && exists) {
    CopyAttributes(path, fd);
    // Root gives the file back to its owner; anyone else keeps its group
    // where they belong to it. Neither can cost the data.
    if (geteuid() == 0) {
      if (fchown(fd, st.st_uid, st.st_gid) != 0) {
      }
    } else if (fchown(fd, uid_t(-1), st.st_gid) != 0) {
    }
    ok = fchmod(fd, st.st_mode & 07777) == 0;
  }
  if (ok) ok = fsync(fd) == 0;
  int e = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    e = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    err = e;
    return StatusOf(e, false);
  }
  // The rename itself reaches the disk with the folder.
  const int dirfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd >= 0) {
    fsync(dirfd);
    close(dirfd);
  }
  return noErr;
}

OSStatus FSRefWriteFileAtomically(const FSRef* ref, const void* bytes, size_t length) {
  std::string path;
  if (OSErr status = files::RefPath(ref, &path); status != noErr) return status;
  return FSWriteFileAtomically(path.c_str(), bytes, length);
}
