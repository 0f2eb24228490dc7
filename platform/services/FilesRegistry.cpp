// The registry behind FSRefs: ids <-> paths, process-wide and kept on disk.
//
// An id is first a 64-bit hash of the path, so that every process (and every
// run) gives a path the same id without asking anyone; a rename moves the id
// with the item, and a later new item at the old path takes the next free id.
// The file is a journal: "A" records bind an id to a path, "M" records move a
// path and everything below it, and a "C" record at the top tells how many
// entries the last rewrite kept. Several running processes share the file:
// each keeps a view of it (the records up to an offset), brings the view up
// to date before it answers, and chooses new ids and appends its records
// under an exclusive flock, so every process applies the same records in
// the same order. The file is rewritten (atomically, by renaming a fresh
// copy over it, from a view that holds every record) when it holds many
// stale records or a damaged tail.
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "FilesInternal.h"

namespace files {

// ---------------------------------------------------------------------------
// Paths

bool NormalizePath(std::string_view path, std::string* out) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  std::string joined;
  if (path[0] != '/') {
    std::vector<char> buf(PATH_MAX);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
      if (errno != ERANGE || buf.size() > (1u << 20)) return false;
      buf.resize(buf.size() * 2);
    }
    joined.assign(buf.data());
    joined += '/';
  }
  joined.append(path);
  std::vector<std::string_view> parts;
  std::string_view rest(joined);
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  out->clear();
  if (parts.empty()) {
    *out = "/";
    return true;
  }
  for (auto part : parts) {
    *out += '/';
    out->append(part);
  }
  return true;
}

std::string ParentPath(const std::string& path) {
  if (path.size() <= 1) return std::string();
  size_t slash = path.rfind('/');
  if (slash == 0 || slash == std::string::npos) return "/";
  return path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
  if (path.size() <= 1) return path;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder == "/") return "/" + name;
  return folder + "/" + name;
}

bool IsInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

namespace {

// ---------------------------------------------------------------------------
// The FSRef bytes: "QFSR", version, id, device, inode (big-endian), zeros.
// Device and inode are those seen when the path was registered, so that
// every FSRef of a path has the same bytes even after the file was replaced
// (a save through a temporary file); resolving goes by path alone.

constexpr UInt8 kMagic[4] = {'Q', 'F', 'S', 'R'};
constexpr UInt32 kRefVersion = 1;

void Put32(UInt8* p, UInt32 v) {
  for (int i = 0; i < 4; ++i) p[i] = UInt8(v >> (24 - 8 * i));
}
void Put64(UInt8* p, UInt64 v) {
  for (int i = 0; i < 8; ++i) p[i] = UInt8(v >> (56 - 8 * i));
}
UInt32 Get32(const UInt8* p) {
  UInt32 v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | p[i];
  return v;
}
UInt64 Get64(const UInt8* p) {
  UInt64 v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

void EncodeRef(FSRef* ref, UInt64 id, UInt64 dev, UInt64 ino) {
  std::memset(ref->hidden, 0, sizeof ref->hidden);
  std::memcpy(ref->hidden, kMagic, 4);
  Put32(ref->hidden + 4, kRefVersion);
  Put64(ref->hidden + 8, id);
  Put64(ref->hidden + 16, dev);
  Put64(ref->hidden + 24, ino);
}

bool DecodeRef(const FSRef* ref, UInt64* id) {
  if (ref == nullptr) return false;
  const UInt8* p = ref->hidden;
  if (std::memcmp(p, kMagic, 4) != 0 || Get32(p + 4) != kRefVersion) return false;
  for (size_t i = 32; i < sizeof ref->hidden; ++i)
    if (p[i] != 0) return false;
  *id = Get64(p + 8);
  return *id != 0;
}

UInt64 HashPath(std::string_view s) {
  UInt64 h = 0xcbf29ce484222325ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

// ---------------------------------------------------------------------------
// Journal records

constexpr char kHeader[] = "QuorvelFileReferences 1\n";
constexpr size_t kHeaderLength = sizeof kHeader - 1;
constexpr size_t kMaxRecordPath = 1 << 16;
constexpr off_t kMaxFileSize = off_t(1) << 30;
constexpr size_t kMaxPending = size_t(1) << 24;

void AppendHex(std::string* s, UInt64 v) {
  char buf[24];
  int n = std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
  s->append(buf, n);
}

void AppendBytes(std::string* s, const std::string& bytes) {
  char buf[24];
  int n = std::snprintf(buf, sizeof buf, "%zu ", bytes.size());
  s->append(buf, n);
  s->append(bytes);
}

std::string AssignRecord(UInt64 id, UInt64 dev, UInt64 ino, const std::string& path) {
  std::string r = "A ";
  AppendHex(&r, id);
  r += ' ';
  AppendHex(&r, dev);
  r += ' ';
  AppendHex(&r, ino);
  r += ' ';
  AppendBytes(&r, path);
  r += '\n';
  return r;
}

std::string MoveRecord(const std::string& from, const std::string& to) {
  std::string r = "M ";
  AppendBytes(&r, from);
  r += ' ';
  AppendBytes(&r, to);
  r += '\n';
  return r;
}

// A bounds-checked reader over one record.
struct Cursor {
  const char* p;
  const char* end;

  bool Char(char c) {
    if (p >= end || *p != c) return false;
    ++p;
    return true;
  }
  bool Hex(UInt64* v) {
    *v = 0;
    int digits = 0;
    while (p < end && digits <= 16) {
      char c = *p;
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) break;
      *v = (*v << 4) | UInt64(d);
      ++p;
      ++digits;
    }
    return digits > 0 && digits <= 16;
  }
  bool Bytes(std::string* out) {
    size_t n = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9' && digits < 8) {
      n = n * 10 + size_t(*p - '0');
      ++p;
      ++digits;
    }
    if (digits == 0 || n == 0 || n > kMaxRecordPath || !Char(' ')) return false;
    if (size_t(end - p) < n) return false;
    out->assign(p, n);
    p += n;
    // Only clean absolute paths are accepted from the file.
    std::string clean;
    return (*out)[0] == '/' && NormalizePath(*out, &clean) && clean == *out;
  }
};

struct Entry {
  std::string path;
  UInt64 dev;
  UInt64 ino;
};

class Registry {
 public:
  std::mutex mu;

  // Everything below is called with mu held.

  void EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    file_ = RegistryFilePath();
    CloseFile();
    Lock(true);
    Unlock();
  }

  // Brings the view up to date with what other processes wrote: two stat
  // calls when nothing changed.
  void Refresh() {
    if (lockDepth_ > 0 || ViewIsCurrent()) return;
    Lock(false);
    Unlock();
  }

  bool Lookup(UInt64 id, std::string* path) {
    auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    *path = it->second.path;
    return true;
  }

  bool Find(const std::string& path, UInt64* id, Entry* entry) {
    auto it = byPath_.find(path);
    if (it == byPath_.end()) return false;
    *id = it->second;
    *entry = byId_[it->second];
    return true;
  }

  // Call between Lock and Unlock: the id is chosen from a view that holds
  // every record of the file, so no other process has it for another path.
  void Register(const std::string& path, const struct stat& st, UInt64* id, Entry* entry) {
    if (Find(path, id, entry)) return;
    UInt64 candidate = HashPath(path);
    while (candidate == 0 || byId_.count(candidate)) ++candidate;
    *id = candidate;
    *entry = Entry{path, UInt64(st.st_dev), UInt64(st.st_ino)};
    byId_[candidate] = *entry;
    byPath_[path] = candidate;
    pending_ += AssignRecord(candidate, entry->dev, entry->ino, path);
  }

  // Call between Lock and Unlock.
  void Move(const std::string& from, const std::string& to) {
    ApplyMove(from, to);
    pending_ += MoveRecord(from, to);
  }

  // Takes the file's lock (nested: the outermost call takes it, the
  // outermost Unlock releases it) and reads what others appended.
  void Lock(bool mayCompact) {
    if (lockDepth_++ > 0) return;
    if (file_.empty()) return;  // nowhere to keep the registry: it lives in memory only
    for (int attempt = 0; attempt < 64; ++attempt) {
      if (!OpenFile()) return;  // records wait in memory for the next try
      int r;
      do r = flock(fd_, LOCK_EX);
      while (r < 0 && errno == EINTR);
      locked_ = r == 0;  // no locks on this file system: go on without
      if (!locked_ || SameFileAtPath()) {
        ReadFile(mayCompact);
        return;
      }
      CloseFile();  // replaced (rewritten) while this one waited: take the new file
    }
  }

  // Writes this process's new records and, for the outermost lock,
  // releases it. Records that cannot be written wait for the next try.
  void Unlock() {
    if (--lockDepth_ > 0) return;
    WritePending();
    if (locked_) {
      flock(fd_, LOCK_UN);
      locked_ = false;
    }
    if (pending_.size() > kMaxPending) pending_.clear();
    if (reloadAtUnlock_) {
      reloadAtUnlock_ = false;
      Forget();
    }
  }

  // Writes what waits (inside an outer lock too).
  void Flush() {
    if (pending_.empty()) return;
    if (lockDepth_ > 0) {
      WritePending();
      return;
    }
    Lock(false);
    Unlock();
  }

  // As a new run of the program: the next use loads the file again.
  void Drop() {
    Flush();
    if (lockDepth_ > 0)
      reloadAtUnlock_ = true;  // a batch holds the file: when it ends
    else
      Forget();
  }

  // In a child of fork(): the open file (and a lock on it) belongs to the
  // parent, and so do records it has not written yet; start from the file.
  void AfterFork() {
    if (fd_ >= 0) close(fd_);  // no LOCK_UN: that would free the parent's lock
    fd_ = -1;
    locked_ = false;
    lockDepth_ = 0;
    reloadAtUnlock_ = false;
    pending_.clear();
    needReread_ = true;
  }

 private:
  void Forget() {
    CloseFile();
    byPath_.clear();
    byId_.clear();
    pending_.clear();
    loaded_ = false;
  }

  void Bind(UInt64 id, const std::string& path, UInt64 dev, UInt64 ino) {
    auto old = byId_.find(id);
    if (old != byId_.end() && old->second.path != path) byPath_.erase(old->second.path);
    auto taken = byPath_.find(path);
    if (taken != byPath_.end() && taken->second != id) byId_.erase(taken->second);
    byId_[id] = Entry{path, dev, ino};
    byPath_[path] = id;
  }

  void EraseSubtree(const std::string& path) {
    auto exact = byPath_.find(path);
    if (exact != byPath_.end()) {
      byId_.erase(exact->second);
      byPath_.erase(exact);
    }
    std::string prefix = path == "/" ? "/" : path + "/";
    auto it = byPath_.lower_bound(prefix);
    while (it != byPath_.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
      byId_.erase(it->second);
      it = byPath_.erase(it);
    }
  }

  void ApplyMove(const std::string& from, const std::string& to) {
    if (from == to || from == "/" || IsInside(to, from)) return;
    // Whatever the registry still knows at the destination was deleted
    // before: its FSRefs must not come to name the moved item.
    EraseSubtree(to);
    std::vector<std::pair<std::string, UInt64>> moved;
    auto exact = byPath_.find(from);
    if (exact != byPath_.end()) {
      moved.emplace_back(exact->first, exact->second);
      byPath_.erase(exact);
    }
    std::string prefix = from + "/";
    auto it = byPath_.lower_bound(prefix);
    while (it != byPath_.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
      moved.emplace_back(it->first, it->second);
      it = byPath_.erase(it);
    }
    for (auto& [path, id] : moved) {
      std::string newPath = to + path.substr(from.size());
      byPath_[newPath] = id;
      byId_[id].path = newPath;
    }
  }

  // Applies the records of data; returns the length of the well-formed
  // prefix and counts the records in *records.
  size_t Apply(const std::string& data, size_t* records) {
    Cursor c{data.data(), data.data() + data.size()};
    const char* good = c.p;
    while (c.p < c.end) {
      if (c.Char('A')) {
        UInt64 id, dev, ino;
        std::string path;
        if (!c.Char(' ') || !c.Hex(&id) || !c.Char(' ') || !c.Hex(&dev) || !c.Char(' ') || !c.Hex(&ino) ||
            !c.Char(' ') || !c.Bytes(&path) || !c.Char('\n') || id == 0)
          break;
        Bind(id, path, dev, ino);
      } else if (c.Char('C')) {
        UInt64 live;
        if (!c.Char(' ') || !c.Hex(&live) || !c.Char('\n')) break;
        compactedLive_ = size_t(live);
      } else if (c.Char('M')) {
        std::string from, to;
        if (!c.Char(' ') || !c.Bytes(&from) || !c.Char(' ') || !c.Bytes(&to) || !c.Char('\n')) break;
        ApplyMove(from, to);
      } else {
        break;
      }
      good = c.p;
      ++*records;
    }
    return size_t(good - data.data());
  }

  // The file stays open between uses. That keeps its inode from being
  // reused while this process holds a view of it, so the same device and
  // inode at the path always mean the same file, read up to readOffset_.
  bool OpenFile() {
    if (fd_ >= 0) return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
      fd_ = open(file_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
      if (fd_ >= 0) break;
      if (errno != ENOENT || attempt > 0 || !MakeFolders(ParentPath(file_))) return false;
    }
    needReread_ = true;  // a view belongs to one open file
    return fd_ >= 0;
  }

  void CloseFile() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    locked_ = false;
    needReread_ = true;
  }

  bool SameFileAtPath() {
    struct stat a, b;
    return fstat(fd_, &a) == 0 && stat(file_.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  }

  bool ViewIsCurrent() {
    if (file_.empty()) return true;
    if (fd_ < 0 || needReread_ || !pending_.empty()) return false;
    struct stat st;
    return fstat(fd_, &st) == 0 && st.st_size == readOffset_ && SameFileAtPath();
  }

  static bool MakeFolders(const std::string& path) {
    if (path.empty() || path == "/") return true;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (!MakeFolders(ParentPath(path))) return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
  }

  static bool ReadRange(int fd, off_t from, off_t to, std::string* out) {
    out->resize(size_t(to - from));
    size_t done = 0;
    while (done < out->size()) {
      ssize_t n = pread(fd, out->data() + done, out->size() - done, from + off_t(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        out->resize(done);
        return n == 0;
      }
      done += size_t(n);
    }
    return true;
  }

  static bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
      ssize_t n = write(fd, data.data() + done, data.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }

  // Under the lock: reads the records appended since the last read (all of
  // them for a new file), repairs a damaged file and, with mayCompact,
  // rewrites one with many stale records.
  void ReadFile(bool mayCompact) {
    struct stat st;
    if (fstat(fd_, &st) != 0) {
      needReread_ = true;
      return;
    }
    bool reread = false, damaged = false;
    if (needReread_ || st.st_size < readOffset_) {
      // Read it all again, then put this process's unwritten records back on top.
      reread = true;
      needReread_ = false;
      byPath_.clear();
      byId_.clear();
      readOffset_ = 0;
      fileRecords_ = 0;
      compactedLive_ = 0;
    }
    if (st.st_size > kMaxFileSize) {
      damaged = true;  // not a registry this layer wrote
    } else if (st.st_size > readOffset_) {
      std::string data;
      if (!ReadRange(fd_, readOffset_, st.st_size, &data)) {
        // Leave the file alone and keep the records; try again next time.
        needReread_ = true;
        if (reread && !pending_.empty()) {
          size_t ignored = 0;
          Apply(pending_, &ignored);
        }
        return;
      }
      size_t at = 0;
      if (readOffset_ == 0) {
        // Also for a view taken while the file was empty: records come
        // after the header that the first writer put there since.
        if (data.size() < kHeaderLength || data.compare(0, kHeaderLength, kHeader, kHeaderLength) != 0) {
          damaged = true;
          at = data.size();
        } else {
          at = kHeaderLength;
          readOffset_ = off_t(kHeaderLength);
        }
      }
      if (!damaged) {
        size_t good = Apply(data.substr(at), &fileRecords_);
        readOffset_ += off_t(good);
        if (at + good != data.size()) damaged = true;
      }
    }
    if (reread && !pending_.empty()) {
      size_t ignored = 0;
      Apply(pending_, &ignored);
    }
    bool due = mayCompact &&
               (fileRecords_ > 2 * byId_.size() + 256 || byId_.size() > 2 * compactedLive_ + 1024);
    // Rewritten: also when the entries have doubled since the last rewrite,
    // which drops those of items that are gone, so that the file stays near
    // the size of what exists.
    if ((damaged || due) && Compact()) return;
    if (damaged) {
      // A damaged tail (a writer that died mid-record) would hide every
      // record appended after it: cut it off where it cannot be rewritten.
      if (ftruncate(fd_, readOffset_) != 0) needReread_ = true;
    }
  }

  // Appends the records that wait, under the lock.
  void WritePending() {
    if (pending_.empty()) return;
    if (file_.empty()) {
      pending_.clear();
      return;
    }
    if (fd_ < 0 || needReread_) return;  // the file could not be opened or read: later
    struct stat st;
    if (fstat(fd_, &st) != 0) return;
    if (st.st_size != readOffset_) {
      // Only without working locks: read what came first.
      ReadFile(false);
      if (pending_.empty() || needReread_ || fstat(fd_, &st) != 0) return;
    }
    off_t size = st.st_size;
    std::string out = size == 0 ? std::string(kHeader) + pending_ : pending_;
    if (WriteAll(fd_, out)) {
      readOffset_ = size + off_t(out.size());
      for (char ch : pending_) fileRecords_ += ch == '\n';
      pending_.clear();
    } else if (ftruncate(fd_, size) != 0) {
      needReread_ = true;  // a partial record stays: it is cut off at the next read
    }
  }

  // Rewrites the file with one record per live entry; entries whose item is
  // gone are dropped (a new item at such a path gets its hash id again).
  // The view holds every record of the file and this process's own, so
  // nothing another process wrote is lost.
  bool Compact() {
    std::string body;
    size_t count = 0;
    std::vector<std::map<std::string, UInt64>::iterator> gone;
    for (auto it = byPath_.begin(); it != byPath_.end(); ++it) {
      struct stat st;
      if (lstat(it->first.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        gone.push_back(it);
        continue;
      }
      const Entry& e = byId_[it->second];
      body += AssignRecord(it->second, e.dev, e.ino, e.path);
      ++count;
    }
    std::string out(kHeader);
    out += "C ";
    AppendHex(&out, count);
    out += '\n';
    out += body;
    std::string temp = file_ + ".new" + std::to_string(getpid());
    int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // Locked before it takes the old file's place, so that no other process
    // writes to it before this one is done with it.
    bool ok = true;
    if (locked_) {
      int r;
      do r = flock(fd, LOCK_EX);
      while (r < 0 && errno == EINTR);
      ok = r == 0;
    }
    ok = ok && WriteAll(fd, out) && fsync(fd) == 0 && rename(temp.c_str(), file_.c_str()) == 0;
    if (!ok) {
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    close(fd_);  // frees the old file's lock: its waiters find the new file
    fd_ = fd;
    needReread_ = false;
    readOffset_ = off_t(out.size());
    fileRecords_ = count;
    compactedLive_ = count;
    pending_.clear();
    for (auto it : gone) {
      byId_.erase(it->second);
      byPath_.erase(it);
    }
    return true;
  }

  bool loaded_ = false;
  std::string file_;
  int fd_ = -1;
  bool locked_ = false;          // flock held on fd_
  int lockDepth_ = 0;            // nested Lock calls (a batch holds the lock)
  bool needReread_ = true;       // the view must be read again from the start
  bool reloadAtUnlock_ = false;  // Drop during a batch
  off_t readOffset_ = 0;         // the view holds the file up to here
  size_t fileRecords_ = 0;
  size_t compactedLive_ = 0;  // entries after the last rewrite
  std::map<std::string, UInt64> byPath_;  // ordered, so that a folder's items sit together
  std::unordered_map<UInt64, Entry> byId_;
  std::string pending_;
};

// Volumes and folders by node ID (in memory only: node IDs are not stored).
struct Nodes {
  std::mutex mu;
  std::map<UInt64, FSVolumeRefNum> volumes;
  FSVolumeRefNum nextVolume = -100;
  std::unordered_map<UInt64, std::string> folders;
};

Nodes& TheNodes() {
  static Nodes* nodes = new Nodes;
  return *nodes;
}

FSVolumeRefNum VolumeLocked(Nodes& n, dev_t dev) {
  if (n.volumes.empty()) {
    // The root's volume is the first, as the boot volume was.
    struct stat root;
    if (stat("/", &root) == 0) n.volumes[UInt64(root.st_dev)] = n.nextVolume--;
  }
  auto it = n.volumes.find(UInt64(dev));
  if (it != n.volumes.end()) return it->second;
  if (n.nextVolume <= -32000) return kFSInvalidVolumeRefNum;
  return n.volumes[UInt64(dev)] = n.nextVolume--;
}

UInt64 NodeKey(FSVolumeRefNum volume, UInt32 nodeID) { return (UInt64(UInt16(volume)) << 32) | nodeID; }

}  // namespace

namespace {

thread_local int tBatchDepth = 0;

Registry* gRegistry = nullptr;

// A fork() while another thread is inside the registry must not leave the
// child with a held mutex, nor with the parent's file and unwritten records.
// (Nothing takes the registry's mutex while it holds the nodes' one.)
void BeforeFork() {
  gRegistry->mu.lock();
  TheNodes().mu.lock();
}
void AfterForkInParent() {
  TheNodes().mu.unlock();
  gRegistry->mu.unlock();
}
void AfterForkInChild() {
  TheNodes().mu.unlock();
  gRegistry->AfterFork();
  gRegistry->mu.unlock();
}

Registry& TheRegistry() {
  static Registry* registry = [] {
    TheNodes();
    gRegistry = new Registry;  // never destroyed: callers may run during exit
    pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
    return gRegistry;
  }();
  return *registry;
}

}  // namespace

// The outermost batch of a thread holds the file's lock to its end, so that
// the ids it hands out are still free when its records are written.
RegistryBatch::RegistryBatch() {
  if (tBatchDepth++ > 0) return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  r.Lock(false);
}

RegistryBatch::~RegistryBatch() {
  if (--tBatchDepth > 0) return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.Unlock();
}

void MakeRef(const std::string& path, const struct stat& st, FSRef* ref) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  r.Refresh();
  UInt64 id;
  Entry e;
  if (!r.Find(path, &id, &e)) {
    r.Lock(false);
    r.Register(path, st, &id, &e);
    r.Unlock();
  }
  EncodeRef(ref, id, e.dev, e.ino);
}

bool RefId(const FSRef* ref, UInt64* id) { return DecodeRef(ref, id); }

OSErr RefPath(const FSRef* ref, std::string* path) {
  UInt64 id;
  if (!DecodeRef(ref, &id)) return errFSBadFSRef;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  r.Refresh();  // another process may have moved the item, or made the id
  return r.Lookup(id, path) ? OSErr(noErr) : OSErr(fnfErr);
}

OSErr ResolveRef(const FSRef* ref, std::string* path, struct stat* st) {
  OSErr err = RefPath(ref, path);
  if (err != noErr) return err;
  if (lstat(path->c_str(), st) != 0) return ErrnoToOSErr(errno);
  return noErr;
}

void RegistryMove(const std::string& from, const std::string& to, const std::function<bool()>& move) {
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.mu);
    r.EnsureLoaded();
    r.Lock(false);
    bool moved = move();
    if (moved) r.Move(from, to);
    r.Unlock();
    if (!moved) return;
  }
  // Folders known by node ID move too (moves are rare: a pass over all is fine).
  Nodes& n = TheNodes();
  std::lock_guard<std::mutex> guard(n.mu);
  for (auto& [key, path] : n.folders) {
    if (path == from)
      path = to;
    else if (IsInside(path, from))
      path = to + path.substr(from.size());
  }
}

void RegistryFlush() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.Flush();
}

void RegistryReload() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.Drop();
}

std::string RegistryFilePath() {
  std::string base;
  const char* state = getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = getenv("HOME");
    std::string h = home != nullptr && home[0] == '/' ? home : "";
    if (h.empty()) {
      struct passwd pw, *found = nullptr;
      std::vector<char> buf(16384);
      if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
          found->pw_dir[0] == '/')
        h = found->pw_dir;
    }
    if (h.empty()) return std::string();
    base = h + "/.local/state";
  }
  std::string clean;
  if (!NormalizePath(base, &clean)) return std::string();
  return JoinPath(clean, "Quorvel/file-references");
}

FSVolumeRefNum VolumeForDevice(dev_t dev) {
  Nodes& n = TheNodes();
  std::lock_guard<std::mutex> guard(n.mu);
  return VolumeLocked(n, dev);
}

void NoteFolder(const std::string& path, const struct stat& st) {
  Nodes& n = TheNodes();
  std::lock_guard<std::mutex> guard(n.mu);
  n.folders[NodeKey(VolumeLocked(n, st.st_dev), UInt32(st.st_ino))] = path;
}

bool FolderForNode(FSVolumeRefNum volume, UInt32 nodeID, std::string* path) {
  std::string candidate;
  {
    Nodes& n = TheNodes();
    std::lock_guard<std::mutex> guard(n.mu);
    auto it = n.folders.find(NodeKey(volume, nodeID));
    if (it == n.folders.end()) return false;
    candidate = it->second;
  }
  // The folder must still be there (a deleted folder's inode may be reused).
  struct stat st;
  if (stat(candidate.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || UInt32(st.st_ino) != nodeID ||
      VolumeForDevice(st.st_dev) != volume)
    return false;
  *path = candidate;
  return true;
}

}  // namespace files
