// Data forks: open files by reference number, with a mark (the position the
// next read or write at the mark starts from). Worker tasks read files too,
// so the table and each fork are locked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "FilesInternal.h"

using namespace files;

namespace {

struct Fork {
  ~Fork() {
    if (fd >= 0) close(fd);
  }
  std::mutex mu;
  int fd = -1;
  SInt64 mark = 0;
  bool canRead = false;
  bool canWrite = false;
};

struct ForkTable {
  std::mutex mu;
  std::unordered_map<FSIORefNum, std::shared_ptr<Fork>> forks;
  FSIORefNum last = 0;
};

ForkTable& Table() {
  static ForkTable* table = new ForkTable;
  return *table;
}

std::shared_ptr<Fork> Find(FSIORefNum refNum) {
  ForkTable& t = Table();
  std::lock_guard<std::mutex> guard(t.mu);
  auto it = t.forks.find(refNum);
  return it == t.forks.end() ? nullptr : it->second;
}

// Only the data fork exists; its name is the empty name.
OSErr CheckForkName(UniCharCount forkNameLength, const UniChar* forkName) {
  if (forkNameLength == 0) return noErr;
  if (forkName == nullptr) return paramErr;
  return errFSForkNotFound;
}

OSErr ForkLength(int fd, SInt64* size) {
  struct stat st;
  if (fstat(fd, &st) != 0) return ErrnoToOSErr(errno);
  *size = SInt64(st.st_size);
  return noErr;
}

// The absolute position that a mode and an offset name.
OSErr Position(Fork& f, UInt16 positionMode, SInt64 offset, SInt64* position) {
  SInt64 base;
  switch (positionMode & 0x03) {
    case fsAtMark:
      *position = f.mark;
      return noErr;
    case fsFromStart: base = 0; break;
    case fsFromLEOF: {
      OSErr err = ForkLength(f.fd, &base);
      if (err != noErr) return err;
      break;
    }
    default: base = f.mark; break;  // fsFromMark
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return posErr;
  *position = base + offset;
  return noErr;
}

OSErr ReadAt(Fork& f, SInt64 position, ByteCount count, void* buffer, ByteCount* done) {
  *done = 0;
  auto* out = static_cast<char*>(buffer);
  while (*done < count) {
    ssize_t n = pread(f.fd, out + *done, count - *done, off_t(position + SInt64(*done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ErrnoToOSErr(errno);
    if (n == 0) return eofErr;
    *done += ByteCount(n);
  }
  return noErr;
}

OSErr WriteAt(Fork& f, SInt64 position, ByteCount count, const void* buffer, ByteCount* done) {
  *done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (*done < count) {
    ssize_t n = pwrite(f.fd, in + *done, count - *done, off_t(position + SInt64(*done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ErrnoToOSErr(errno);
    if (n == 0) return dskFulErr;
    *done += ByteCount(n);
  }
  return noErr;
}

OSErr DoRead(FSIORefNum refNum, UInt16 positionMode, SInt64 offset, ByteCount count, void* buffer,
             ByteCount* actual) {
  ByteCount done = 0;
  if (actual != nullptr) *actual = 0;
  auto fork = Find(refNum);
  if (fork == nullptr) return rfNumErr;
  if (buffer == nullptr && count > 0) return paramErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  if (!fork->canRead) return permErr;
  SInt64 position;
  OSErr err = Position(*fork, positionMode, offset, &position);
  if (err != noErr) return err;
  err = ReadAt(*fork, position, count, buffer, &done);
  fork->mark = position + SInt64(done);
  if (actual != nullptr) *actual = done;
  return err;
}

OSErr DoWrite(FSIORefNum refNum, UInt16 positionMode, SInt64 offset, ByteCount count, const void* buffer,
              ByteCount* actual) {
  ByteCount done = 0;
  if (actual != nullptr) *actual = 0;
  auto fork = Find(refNum);
  if (fork == nullptr) return rfNumErr;
  if (buffer == nullptr && count > 0) return paramErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  if (!fork->canWrite) return wrPermErr;
  SInt64 position;
  OSErr err = Position(*fork, positionMode, offset, &position);
  if (err != noErr) return err;
  if (position > INT64_MAX - SInt64(count)) return posErr;
  err = WriteAt(*fork, position, count, buffer, &done);
  fork->mark = position + SInt64(done);
  if (actual != nullptr) *actual = done;
  return err;
}

}  // namespace

OSErr FSGetDataForkName(HFSUniStr255* dataForkName) {
  if (dataForkName == nullptr) return paramErr;
  dataForkName->length = 0;
  return noErr;
}

OSErr FSOpenFork(const FSRef* ref, UniCharCount forkNameLength, const UniChar* forkName, SInt8 permissions,
                 FSIORefNum* forkRefNum) {
  if (forkRefNum == nullptr) return paramErr;
  OSErr err = CheckForkName(forkNameLength, forkName);
  if (err != noErr) return err;
  std::string path;
  struct stat st;
  err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  if (S_ISDIR(st.st_mode)) return notAFileErr;
  // The deny modes of the classic call (0x10, 0x20) cannot be imposed on
  // other programs here; only the access asked for counts.
  int access = permissions & 0x07;
  bool read = access != fsWrPerm;
  bool write = access != fsRdPerm;
  int flags = (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  // Non-blocking only so that a pipe cannot hang the open; it is refused below.
  int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && access == fsCurPerm && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    write = false;
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  }
  if (fd < 0) return ErrnoToOSErr(errno);
  struct stat opened;
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    return notAFileErr;
  }
  (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto fork = std::make_shared<Fork>();
  fork->fd = fd;
  fork->canRead = read;
  fork->canWrite = write;

  ForkTable& t = Table();
  std::lock_guard<std::mutex> guard(t.mu);
  if (t.forks.size() >= 32767) return tmfoErr;  // the fork closes with its object
  // Numbers are not reused at once, so a stale number rarely names a new fork.
  FSIORefNum n = t.last;
  do n = n >= 32767 ? 1 : FSIORefNum(n + 1);
  while (t.forks.count(n));
  t.last = n;
  t.forks[n] = std::move(fork);
  *forkRefNum = n;
  return noErr;
}

OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                 void* buffer, ByteCount* actualCount) {
  return DoRead(forkRefNum, positionMode, positionOffset, requestCount, buffer, actualCount);
}

OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                  const void* buffer, ByteCount* actualCount) {
  return DoWrite(forkRefNum, positionMode, positionOffset, requestCount, buffer, actualCount);
}

OSErr FSRead(FSIORefNum refNum, SInt32* count, void* buffPtr) {
  if (count == nullptr || *count < 0) return paramErr;
  ByteCount done = 0;
  OSErr err = DoRead(refNum, fsAtMark, 0, ByteCount(*count), buffPtr, &done);
  *count = SInt32(done);
  return err;
}

OSErr FSWrite(FSIORefNum refNum, SInt32* count, const void* buffPtr) {
  if (count == nullptr || *count < 0) return paramErr;
  ByteCount done = 0;
  OSErr err = DoWrite(refNum, fsAtMark, 0, ByteCount(*count), buffPtr, &done);
  *count = SInt32(done);
  return err;
}

OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position) {
  if (position == nullptr) return paramErr;
  auto fork = Find(forkRefNum);
  if (fork == nullptr) return rfNumErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  *position = fork->mark;
  return noErr;
}

OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
  auto fork = Find(forkRefNum);
  if (fork == nullptr) return rfNumErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  SInt64 position = 0, size = 0;
  OSErr err = Position(*fork, positionMode, positionOffset, &position);
  if (err == noErr) err = ForkLength(fork->fd, &size);
  if (err != noErr) return err;
  if (position > size) {
    fork->mark = size;
    return eofErr;
  }
  fork->mark = position;
  return noErr;
}

OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize) {
  if (forkSize == nullptr) return paramErr;
  auto fork = Find(forkRefNum);
  if (fork == nullptr) return rfNumErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  return ForkLength(fork->fd, forkSize);
}

OSErr FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
  auto fork = Find(forkRefNum);
  if (fork == nullptr) return rfNumErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  if (!fork->canWrite) return wrPermErr;
  SInt64 size;
  OSErr err = Position(*fork, positionMode, positionOffset, &size);
  if (err != noErr) return err;
  int r;
  do r = ftruncate(fork->fd, off_t(size));
  while (r != 0 && errno == EINTR);
  if (r != 0) return errno == EINVAL ? OSErr(posErr) : ErrnoToOSErr(errno);
  if (fork->mark > size) fork->mark = size;
  return noErr;
}

OSErr FSFlushFork(FSIORefNum forkRefNum) {
  auto fork = Find(forkRefNum);
  if (fork == nullptr) return rfNumErr;
  std::lock_guard<std::mutex> guard(fork->mu);
  if (fork->canWrite && fdatasync(fork->fd) != 0 && errno != EINVAL) return ErrnoToOSErr(errno);
  return noErr;
}

OSErr FSCloseFork(FSIORefNum forkRefNum) {
  std::shared_ptr<Fork> fork;
  {
    ForkTable& t = Table();
    std::lock_guard<std::mutex> guard(t.mu);
    auto it = t.forks.find(forkRefNum);
    if (it == t.forks.end()) return rfNumErr;
    fork = std::move(it->second);
    t.forks.erase(it);
  }
  // Wait for a call in progress on another thread, then report what the
  // close itself says (a delayed write error, for instance).
  std::lock_guard<std::mutex> guard(fork->mu);
  int fd = fork->fd;
  fork->fd = -1;
  return close(fd) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr FSDeleteFork(const FSRef* ref, UniCharCount forkNameLength, const UniChar* forkName) {
  OSErr err = CheckForkName(forkNameLength, forkName);
  if (err != noErr) return err;
  std::string path;
  struct stat st;
  err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  if (!S_ISREG(st.st_mode)) return notAFileErr;
  return truncate(path.c_str(), 0) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}
