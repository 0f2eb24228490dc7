// The registry behind FSRefs: ids <-> paths, process-wide and kept on disk.
//
// An id is first a 64-bit hash of the path, so that every process (and every
// run) gives a path the same id without asking anyone; a rename moves the id
// with the item, and a later new item at the old path takes the next free id.
// The file is a journal: "A" records bind an id to a path, "M" records move a
// path and everything below it, and a "C" record at the top tells how many
// entries the last rewrite kept. Records are appended under an exclusive
// flock, so several running processes share the file safely; it is rewritten
// (atomically, by renaming a fresh copy over it) when it holds many stale
// records or a damaged tail.
#include <fcntl.h>
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

  void EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    file_ = RegistryFilePath();
    fileDev_ = fileIno_ = 0;
    readOffset_ = 0;
    fileRecords_ = 0;
    Sync(true);
  }

  bool Lookup(UInt64 id, std::string* path) {
    auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    *path = it->second.path;
    return true;
  }

  // An id known to another process shows up in the file.
  bool LookupFresh(UInt64 id, std::string* path) {
    if (Lookup(id, path)) return true;
    Sync(false);
    return Lookup(id, path);
  }

  const Entry& Register(const std::string& path, const struct stat& st) {
    auto it = byPath_.find(path);
    if (it != byPath_.end()) return byId_[it->second];
    UInt64 id = HashPath(path);
    while (id == 0 || byId_.count(id)) ++id;
    Entry& e = byId_[id];
    e = Entry{path, UInt64(st.st_dev), UInt64(st.st_ino)};
    byPath_[path] = id;
    pending_ += AssignRecord(id, e.dev, e.ino, path);
    return e;
  }

  UInt64 IdOf(const std::string& path) { return byPath_.at(path); }

  void Move(const std::string& from, const std::string& to) {
    ApplyMove(from, to);
    pending_ += MoveRecord(from, to);
  }

  void Flush() {
    if (!pending_.empty()) Sync(false);
  }

  void Drop() {
    Flush();
    byPath_.clear();
    byId_.clear();
    pending_.clear();
    loaded_ = false;
  }

 private:
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

  // Opens the file with an exclusive lock, making sure that the locked file
  // is still the one at the path (another process may have replaced it).
  int OpenLocked() {
    for (int attempt = 0; attempt < 8; ++attempt) {
      int fd = open(file_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
      if (fd < 0) {
        if (errno == ENOENT && attempt == 0 && MakeFolders(ParentPath(file_))) continue;
        return -1;
      }
      int r;
      do r = flock(fd, LOCK_EX);
      while (r < 0 && errno == EINTR);
      if (r < 0) return fd;  // no locks on this file system: go on without
      struct stat a, b;
      if (fstat(fd, &a) == 0 && stat(file_.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return fd;
      close(fd);
    }
    return -1;
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

  // Brings the maps up to date with the file, then appends the pending
  // records. With mayCompact, a file with many stale records is rewritten.
  void Sync(bool mayCompact) {
    if (file_.empty()) {  // nowhere to keep the registry: it lives in memory only
      pending_.clear();
      return;
    }
    int fd = OpenLocked();
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) != 0) {
      close(fd);
      fd = -1;
    }
    if (fd < 0) {
      if (pending_.size() > kMaxPending) pending_.clear();
      return;
    }
    bool damaged = false, unreadable = false, reread = false;
    if (UInt64(st.st_dev) != fileDev_ || UInt64(st.st_ino) != fileIno_ || st.st_size < readOffset_) {
      // Another file than the one read before: read it all again, then put
      // this process's unwritten records back on top.
      reread = true;
      byPath_.clear();
      byId_.clear();
      readOffset_ = 0;
      fileRecords_ = 0;
      compactedLive_ = 0;
      fileDev_ = UInt64(st.st_dev);
      fileIno_ = UInt64(st.st_ino);
      if (st.st_size > 0) {
        std::string head;
        if (!ReadRange(fd, 0, std::min<off_t>(st.st_size, off_t(kHeaderLength)), &head))
          unreadable = true;
        else if (head != std::string(kHeader, kHeaderLength))
          damaged = true;
        else
          readOffset_ = off_t(kHeaderLength);
      }
    }
    if (st.st_size > kMaxFileSize) damaged = true;  // not a registry this layer wrote
    if (!damaged && !unreadable && st.st_size > readOffset_) {
      std::string data;
      if (!ReadRange(fd, readOffset_, st.st_size, &data)) {
        unreadable = true;
      } else {
        size_t good = Apply(data, &fileRecords_);
        readOffset_ += off_t(good);
        if (good != data.size()) damaged = true;
      }
    }
    if (reread && !pending_.empty()) {
      size_t ignored = 0;
      Apply(pending_, &ignored);
    }
    if (unreadable) {
      // Leave the file alone and keep the records; try again next time.
      fileDev_ = fileIno_ = 0;
    } else if ((damaged || (mayCompact && (fileRecords_ > 2 * byId_.size() + 256 ||
                                          byId_.size() > 2 * compactedLive_ + 1024))) &&
               Compact()) {
      // Rewritten: also when the entries have doubled since the last
      // rewrite, which drops those of items that are gone, so that the file
      // stays near the size of what exists.
      pending_.clear();
    } else {
      off_t size = st.st_size;
      if (damaged) {
        // A damaged tail (a writer that died mid-record) would hide every
        // record appended after it: cut it off where it cannot be rewritten.
        size = readOffset_;
        if (ftruncate(fd, size) != 0) size = -1;
      }
      if (size < 0) {
        fileDev_ = fileIno_ = 0;
      } else if (!pending_.empty()) {
        std::string out = size == 0 ? std::string(kHeader) + pending_ : pending_;
        if (WriteAll(fd, out)) {
          readOffset_ = size + off_t(out.size());
          for (char ch : pending_) fileRecords_ += ch == '\n';
          pending_.clear();
        } else if (ftruncate(fd, size) != 0) {
          fileDev_ = fileIno_ = 0;  // a partial record stays: read everything again next time
        }
      }
    }
    // Records that cannot be written are kept for the next try, within bounds.
    if (pending_.size() > kMaxPending) pending_.clear();
    close(fd);
  }

  // Rewrites the file with one record per live entry; entries whose item is
  // gone are dropped (a new item at such a path gets its hash id again).
  bool Compact() {
    std::string body;
    size_t count = 0;
    for (auto it = byPath_.begin(); it != byPath_.end();) {
      struct stat st;
      if (lstat(it->first.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        byId_.erase(it->second);
        it = byPath_.erase(it);
        continue;
      }
      const Entry& e = byId_[it->second];
      body += AssignRecord(it->second, e.dev, e.ino, e.path);
      ++count;
      ++it;
    }
    std::string out(kHeader);
    out += "C ";
    AppendHex(&out, count);
    out += '\n';
    out += body;
    std::string temp = file_ + ".new" + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && WriteAll(fd, out);
    if (fd >= 0) close(fd);
    struct stat st;
    if (ok && rename(temp.c_str(), file_.c_str()) == 0 && stat(file_.c_str(), &st) == 0) {
      fileDev_ = UInt64(st.st_dev);
      fileIno_ = UInt64(st.st_ino);
      readOffset_ = off_t(out.size());
      fileRecords_ = count;
      compactedLive_ = count;
      return true;
    }
    if (fd >= 0) unlink(temp.c_str());
    return false;
  }

  bool loaded_ = false;
  std::string file_;
  UInt64 fileDev_ = 0, fileIno_ = 0;
  off_t readOffset_ = 0;
  size_t fileRecords_ = 0;
  size_t compactedLive_ = 0;  // entries after the last rewrite
  std::map<std::string, UInt64> byPath_;  // ordered, so that a folder's items sit together
  std::unordered_map<UInt64, Entry> byId_;
  std::string pending_;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: callers may run during exit
  return *registry;
}

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
}

RegistryBatch::RegistryBatch() { ++tBatchDepth; }
RegistryBatch::~RegistryBatch() {
  if (--tBatchDepth == 0) RegistryFlush();
}

void MakeRef(const std::string& path, const struct stat& st, FSRef* ref) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  const Entry& e = r.Register(path, st);
  EncodeRef(ref, r.IdOf(path), e.dev, e.ino);
  if (tBatchDepth == 0) r.Flush();
}

bool RefId(const FSRef* ref, UInt64* id) { return DecodeRef(ref, id); }

OSErr RefPath(const FSRef* ref, std::string* path) {
  UInt64 id;
  if (!DecodeRef(ref, &id)) return errFSBadFSRef;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  return r.LookupFresh(id, path) ? OSErr(noErr) : OSErr(fnfErr);
}

OSErr ResolveRef(const FSRef* ref, std::string* path, struct stat* st) {
  OSErr err = RefPath(ref, path);
  if (err != noErr) return err;
  if (lstat(path->c_str(), st) != 0) return ErrnoToOSErr(errno);
  return noErr;
}

void RegistryMove(const std::string& from, const std::string& to) {
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.mu);
    r.EnsureLoaded();
    r.Move(from, to);
    if (tBatchDepth == 0) r.Flush();
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
