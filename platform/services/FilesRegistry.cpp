// The registry behind FSRefs: ids <-> paths, process-wide and kept on disk.
//
// An item's id is the 64-bit hash of its path, so every process (and every
// run) gives a path the same id without asking anyone, and an FSRef also
// carries a 16-bit hash of each component of that path: from those, any
// process finds the item again by walking the folders. The file holds only
// what the hashes do not tell:
//   - "M" a move through the File Manager. The item keeps its id, so paths
//     below the destination take their ids from the paths they came from,
//     and the path it left starts a new key space (a random salt), so that
//     a new item there never takes its id.
//   - "F" an id fixed for one path: one chosen after a collision, or that of
//     a path too deep for the FSRef's component hashes.
//   - "S" a subtree's key space as a rewrite of the file writes it: the path
//     its ids come from, and the salt.
// Several running processes share the file: each keeps a view of it (the
// records up to an offset), brings it up to date under a shared flock before
// it answers, and appends its records under an exclusive one, so every
// process applies the same records in the same order. A start-up that finds
// stale records or a damaged tail rewrites the file (atomically, by renaming
// a fresh copy over it) with one record per key space that still matters.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
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
// Hashes

UInt64 Finish(UInt64 h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

UInt64 UsualHash(std::string_view s) {
  UInt64 h = 0xcbf29ce484222325ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return Finish(h);
}

std::atomic<RegistryHashHook> gHashHook{nullptr};

UInt64 Hash(std::string_view s) {
  UInt64 usual = UsualHash(s);
  RegistryHashHook hook = gHashHook.load(std::memory_order_relaxed);
  return hook != nullptr ? hook(s, usual) : usual;
}

UInt16 ComponentHash(std::string_view name) { return UInt16(Hash(name) >> 48); }

// Where an item's id comes from: the path it had when it first got one (the
// path itself unless a move brought it here), in a key space (salt 0 for
// the paths no item ever left).
struct Key {
  std::string text;
  UInt64 salt = 0;
  bool operator==(const Key&) const = default;
};

UInt64 KeyId(const Key& key) {
  UInt64 h = Hash(key.text);
  if (key.salt != 0) h = Finish(h ^ key.salt);
  return h != 0 ? h : 1;  // zero is no id
}

// The component hashes of a key's path.
constexpr size_t kMaxTrail = 23;
constexpr UInt8 kTooDeep = 0xFF;

struct Trail {
  UInt8 count = 0;  // components, or kTooDeep (only the first kMaxTrail kept)
  UInt16 hashes[kMaxTrail] = {};
  bool operator==(const Trail&) const = default;
};

Trail TrailOf(std::string_view path) {
  Trail t;
  size_t n = 0;
  while (!path.empty()) {
    size_t slash = path.find('/');
    std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty()) continue;
    if (n == kMaxTrail) {
      t.count = kTooDeep;
      return t;
    }
    t.hashes[n++] = ComponentHash(part);
  }
  t.count = UInt8(n);
  return t;
}

// ---------------------------------------------------------------------------
// The FSRef bytes: "QFSR", version, id, device, inode (big-endian), then the
// number of components and their hashes, zeros after. Device and inode are
// those seen when this process first made an FSRef for the item, so that
// its FSRefs have the same bytes even after the file was replaced (a save
// through a temporary file); resolving goes by path alone. Version 1 FSRefs
// carry no component hashes: only the registry can resolve them.

constexpr UInt8 kMagic[4] = {'Q', 'F', 'S', 'R'};
constexpr UInt32 kOldRefVersion = 1;
constexpr UInt32 kRefVersion = 2;
constexpr size_t kTrailAt = 32;

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

struct Identity {
  UInt64 id = 0;
  bool hasTrail = false;  // false for a version 1 FSRef
  Trail trail;
};

void EncodeRef(FSRef* ref, const Identity& who, UInt64 dev, UInt64 ino) {
  static_assert(kTrailAt + 1 + 2 * kMaxTrail <= sizeof ref->hidden);
  std::memset(ref->hidden, 0, sizeof ref->hidden);
  std::memcpy(ref->hidden, kMagic, 4);
  Put32(ref->hidden + 4, kRefVersion);
  Put64(ref->hidden + 8, who.id);
  Put64(ref->hidden + 16, dev);
  Put64(ref->hidden + 24, ino);
  UInt8* p = ref->hidden + kTrailAt;
  *p++ = who.trail.count;
  size_t n = who.trail.count == kTooDeep ? kMaxTrail : who.trail.count;
  for (size_t i = 0; i < n; ++i, p += 2) {
    p[0] = UInt8(who.trail.hashes[i] >> 8);
    p[1] = UInt8(who.trail.hashes[i]);
  }
}

bool DecodeRef(const FSRef* ref, Identity* who) {
  if (ref == nullptr) return false;
  const UInt8* p = ref->hidden;
  if (std::memcmp(p, kMagic, 4) != 0) return false;
  UInt32 version = Get32(p + 4);
  size_t end = kTrailAt;
  *who = Identity();
  if (version == kRefVersion) {
    UInt8 count = p[kTrailAt];
    if (count > kMaxTrail && count != kTooDeep) return false;
    size_t n = count == kTooDeep ? kMaxTrail : count;
    who->hasTrail = true;
    who->trail.count = count;
    for (size_t i = 0; i < n; ++i)
      who->trail.hashes[i] = UInt16((p[kTrailAt + 1 + 2 * i] << 8) | p[kTrailAt + 2 + 2 * i]);
    end = kTrailAt + 1 + 2 * n;
  } else if (version != kOldRefVersion) {
    return false;
  }
  for (size_t i = end; i < sizeof ref->hidden; ++i)
    if (p[i] != 0) return false;
  who->id = Get64(p + 8);
  return who->id != 0;
}

bool SameIdentity(const Identity& a, const Identity& b) {
  return a.id == b.id && (!a.hasTrail || !b.hasTrail || a.trail == b.trail);
}

// ---------------------------------------------------------------------------
// Journal records

constexpr char kHeader[] = "QuorvelFileReferences 2\n";
constexpr char kOldHeader[] = "QuorvelFileReferences 1\n";
constexpr size_t kHeaderLength = sizeof kHeader - 1;
static_assert(sizeof kOldHeader == sizeof kHeader);
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

std::string MoveRecord(const std::string& from, const std::string& to, UInt64 salt) {
  std::string r = "M ";
  AppendBytes(&r, from);
  r += ' ';
  AppendBytes(&r, to);
  r += ' ';
  AppendHex(&r, salt);
  r += '\n';
  return r;
}

std::string FixedRecord(UInt64 id, const std::string& path) {
  std::string r = "F ";
  AppendHex(&r, id);
  r += ' ';
  AppendBytes(&r, path);
  r += '\n';
  return r;
}

std::string SubtreeRecord(const std::string& path, const Key& key) {
  std::string r = "S ";
  AppendBytes(&r, path);
  r += ' ';
  AppendBytes(&r, key.text);
  r += ' ';
  AppendHex(&r, key.salt);
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

// The records of the earlier file format, which bound every path ever seen
// to its id: only ids that are not their path's hash are kept from them.
std::map<std::string, UInt64> ReadOldRecords(const std::string& data) {
  std::map<std::string, UInt64> byPath;
  std::unordered_map<UInt64, std::string> byId;
  auto erase = [&](const std::string& path) {
    auto it = byPath.find(path);
    if (it == byPath.end()) return;
    byId.erase(it->second);
    byPath.erase(it);
  };
  Cursor c{data.data(), data.data() + data.size()};
  while (c.p < c.end) {
    if (c.Char('A')) {
      UInt64 id, dev, ino;
      std::string path;
      if (!c.Char(' ') || !c.Hex(&id) || !c.Char(' ') || !c.Hex(&dev) || !c.Char(' ') || !c.Hex(&ino) ||
          !c.Char(' ') || !c.Bytes(&path) || !c.Char('\n') || id == 0)
        break;
      auto old = byId.find(id);
      if (old != byId.end()) erase(old->second);
      erase(path);
      byPath[path] = id;
      byId[id] = path;
    } else if (c.Char('C')) {
      UInt64 ignored;
      if (!c.Char(' ') || !c.Hex(&ignored) || !c.Char('\n')) break;
    } else if (c.Char('M')) {
      std::string from, to;
      if (!c.Char(' ') || !c.Bytes(&from) || !c.Char(' ') || !c.Bytes(&to) || !c.Char('\n')) break;
      if (from == to || from == "/" || IsInside(to, from)) continue;
      std::vector<std::pair<std::string, UInt64>> moved;
      for (auto it = byPath.begin(); it != byPath.end();) {
        if (it->first == to || IsInside(it->first, to)) {
          byId.erase(it->second);
          it = byPath.erase(it);
        } else {
          ++it;
        }
      }
      for (auto it = byPath.begin(); it != byPath.end();) {
        if (it->first == from || IsInside(it->first, from)) {
          moved.emplace_back(to + it->first.substr(from.size()), it->second);
          it = byPath.erase(it);
        } else {
          ++it;
        }
      }
      for (auto& [path, id] : moved) {
        byPath[path] = id;
        byId[id] = path;
      }
    } else {
      break;
    }
  }
  return byPath;
}

bool Gone(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// path with its leading `root` replaced by `base`.
std::string Rebase(const std::string& path, const std::string& root, const std::string& base) {
  if (path == root) return base;
  std::string rest = root == "/" ? path : path.substr(root.size());
  return base == "/" ? rest : base + rest;
}

// A nonzero salt no other process will pick.
UInt64 NewSalt() {
  UInt64 salt = 0;
  if (getrandom(&salt, sizeof salt, GRND_NONBLOCK) != ssize_t(sizeof salt)) {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    static std::atomic<UInt64> counter{0};
    salt = Finish(UInt64(ts.tv_sec) * 1000000007ull ^ UInt64(ts.tv_nsec) ^ (UInt64(getpid()) << 32) ^
                  counter.fetch_add(1));
  }
  return salt != 0 ? salt : 1;
}

// An item this process made an FSRef for.
struct Seen {
  UInt64 id;
  UInt64 dev;
  UInt64 ino;
};

using PathMap = std::map<std::string, Key, std::less<>>;

class Registry {
 public:
  std::mutex mu;

  // Everything below is called with mu held.

  void EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    file_ = RegistryFilePath();
    CloseFile();
    Lock(false);
    if (CompactionDue()) {
      Lock(true);
      if (CompactionDue()) Compact();
      Unlock();
    }
    Unlock();
  }

  // The FSRef of the item at a path; dev and ino are the item's.
  void Make(const std::string& path, UInt64 dev, UInt64 ino, FSRef* ref) {
    UInt64 usedDev = dev, usedIno = ino;
    Identity who = LookUp([&] {
      usedDev = dev;
      usedIno = ino;
      Identity found = IdentityOf(path);
      if (!IsFixed(path)) {
        std::string other;
        if (TakenByAnother(path, found, &other) || found.trail.count == kTooDeep) {
          Lock(true);  // the view may change: decide again
          found = IdentityOf(path);
          if (!IsFixed(path)) {
            if (TakenByAnother(path, found, &other)) {
              UInt64 id = found.id;
              while (id == 0 || fixedById_.count(id) || seenById_.count(id)) ++id;
              found.id = id;
              Fix(path, id);
            } else if (found.trail.count == kTooDeep) {
              Fix(path, found.id);  // no walk can find it
            }
          }
          Unlock();
        }
      }
      auto seen = seenByPath_.find(path);
      if (seen != seenByPath_.end() && seen->second.id == found.id) {
        usedDev = seen->second.dev;
        usedIno = seen->second.ino;
      } else {
        Remember(path, Seen{found.id, dev, ino});
      }
      return found;
    });
    EncodeRef(ref, who, usedDev, usedIno);
  }

  // The path of the item an FSRef names; false when none is known.
  bool Resolve(const Identity& want, UInt64 dev, UInt64 ino, std::string* path) {
    return LookUp([&] {
      bool found = FindPath(want, path);
      if (found && !seenByPath_.count(*path)) Remember(*path, Seen{want.id, dev, ino});
      return found;
    });
  }

  // Moves an item with move() and records it, under the exclusive lock (see
  // RegistryMove). The record reaches the file before the item moves: a
  // process that finds the item at its new place then also finds the file
  // grown, and reads the record before it answers (see LookUp). A move that
  // fails takes its record back. True when the item moved.
  bool Move(const std::string& from, const std::string& to, const std::function<bool()>& move) {
    UInt64 salt = NewSalt();
    const std::string record = MoveRecord(from, to, salt);
    WritePending();  // what waits from before goes first, so that it stays
    const bool onlyThis = pending_.empty();
    const off_t mark = readOffset_;
    const size_t records = fileRecords_;
    pending_ += record;
    if (onlyThis) WritePending();
    const bool written = onlyThis && pending_.empty();
    if (move()) {
      ApplyMove(from, to, salt, true);
      return true;
    }
    if (!written) {
      pending_.resize(pending_.size() - record.size());
    } else if (ftruncate(fd_, mark) == 0) {
      readOffset_ = mark;
      fileRecords_ = records;
    } else {
      // The record stays in the file, and every process applies it: so
      // does this one, and all keep the same ids.
      ApplyMove(from, to, salt, false);
    }
    return false;
  }

  // A look-up: body() under the file's shared lock. When the file shows
  // nothing new since the view was read, body() runs without the lock; if
  // it looked at items on disk, the file is looked at again after it: grown,
  // rewritten or damaged meanwhile, the look-up is done again under the lock. Every change a
  // look-up can find on disk has its record in the file before it (see
  // Move), so an answer taken without the lock is one the lock would give.
  template <typename Body>
  auto LookUp(Body body) -> decltype(body()) {
    if (lockDepth_ == 0 && ViewIsCurrent()) {
      ++lockDepth_;
      exclusive_ = false;
      lookedOnDisk_ = false;
      auto result = body();
      if (exclusive_) {  // body() took the exclusive lock: it holds the answer
        Unlock();
        return result;
      }
      --lockDepth_;
      // An answer from the view alone is the view's when it was current.
      if (!lookedOnDisk_ || ViewIsCurrent()) return result;
    }
    Lock(false);
    auto result = body();
    Unlock();
    return result;
  }

  // Takes the file's lock (nested: the outermost call takes it, the
  // outermost Unlock releases it; an exclusive call inside a shared one
  // turns it exclusive) and reads what others appended.
  void Lock(bool exclusive) {
    if (lockDepth_++ > 0) {
      if (exclusive && !exclusive_) Acquire(true);
      return;
    }
    Acquire(exclusive);
  }

  // Writes this process's new records and, for the outermost lock,
  // releases it. Records that cannot be written wait for the next try.
  void Unlock() {
    if (--lockDepth_ > 0) return;
    if (!pending_.empty() && !exclusive_) Acquire(true);
    WritePending();
    if (locked_) {
      flock(fd_, LOCK_UN);
      locked_ = false;
    }
    exclusive_ = false;
    if (pending_.size() > kMaxPending) pending_.clear();
    if (reloadAtUnlock_) {
      reloadAtUnlock_ = false;
      Forget();
    }
  }

  // Writes what waits.
  void Flush() {
    if (pending_.empty()) return;
    Lock(true);
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
    exclusive_ = false;
    lockDepth_ = 0;
    reloadAtUnlock_ = false;
    pending_.clear();
    needReread_ = true;
  }

 private:
  void Forget() {
    CloseFile();
    subtrees_.clear();
    fixed_.clear();
    fixedById_.clear();
    seenByPath_.clear();
    seenById_.clear();
    pending_.clear();
    loaded_ = false;
  }

  // -------------------------------------------------------------------------
  // Ids

  // The key of a path: from the deepest key space at or above it.
  Key KeyOf(const std::string& path) const {
    if (!subtrees_.empty()) {
      std::string_view p(path);
      for (;;) {
        auto it = subtrees_.find(p);
        if (it != subtrees_.end())
          return Key{Rebase(path, it->first, it->second.text), it->second.salt};
        if (p.size() <= 1) break;
        size_t slash = p.rfind('/');
        p = p.substr(0, slash == 0 ? 1 : slash);
      }
    }
    return Key{path, 0};
  }

  bool IsFixed(const std::string& path) const { return fixed_.count(path) != 0; }

  Identity IdentityOf(const std::string& path) const {
    Identity who;
    Key key = KeyOf(path);
    auto fixed = fixed_.find(path);
    who.id = fixed != fixed_.end() ? fixed->second : KeyId(key);
    who.hasTrail = true;
    who.trail = TrailOf(key.text);
    return who;
  }

  // True when this process knows another living item with the identity
  // (the hash collided); *other is its path.
  bool TakenByAnother(const std::string& path, const Identity& who, std::string* other) {
    auto it = seenById_.find(who.id);
    if (it == seenById_.end() || it->second == path) return false;
    *other = it->second;
    lookedOnDisk_ = true;
    if (SameIdentity(IdentityOf(*other), who) && !Gone(*other)) return true;
    Forget(*other);
    return false;
  }

  void Fix(const std::string& path, UInt64 id) {
    SetFixed(path, id);
    pending_ += FixedRecord(id, path);
  }

  void SetFixed(const std::string& path, UInt64 id) {
    auto old = fixed_.find(path);
    if (old != fixed_.end()) fixedById_.erase(old->second);
    auto taken = fixedById_.find(id);
    if (taken != fixedById_.end() && taken->second != path) fixed_.erase(taken->second);
    fixed_[path] = id;
    fixedById_[id] = path;
  }

  void Remember(const std::string& path, const Seen& seen) {
    Forget(path);
    seenByPath_[path] = seen;
    seenById_[seen.id] = path;
  }

  void Forget(const std::string& path) {
    auto it = seenByPath_.find(path);
    if (it == seenByPath_.end()) return;
    auto byId = seenById_.find(it->second.id);
    if (byId != seenById_.end() && byId->second == path) seenById_.erase(byId);
    seenByPath_.erase(it);
  }

  // -------------------------------------------------------------------------
  // Resolving

  bool FindPath(const Identity& want, std::string* path) {
    auto fixed = fixedById_.find(want.id);
    if (fixed != fixedById_.end() && SameIdentity(IdentityOf(fixed->second), want)) {
      *path = fixed->second;
      return true;
    }
    auto seen = seenById_.find(want.id);
    if (seen != seenById_.end()) {
      if (SameIdentity(IdentityOf(seen->second), want)) {
        *path = seen->second;
        return true;
      }
      // Moved or replaced since: look again.
      std::string stale = seen->second;
      seenById_.erase(seen);
      Forget(stale);
    }
    if (!want.hasTrail || want.trail.count == kTooDeep) return false;
    // The item is where its key's components lead, below the root or below
    // a key space whose path they begin with.
    if (Walk("/", 0, want, path)) return true;
    for (const auto& [root, key] : subtrees_) {
      Trail base = TrailOf(key.text);
      if (base.count > want.trail.count ||
          !std::equal(base.hashes, base.hashes + base.count, want.trail.hashes))
        continue;
      if (Walk(root, base.count, want, path)) return true;
    }
    return false;
  }

  bool Walk(const std::string& folder, size_t depth, const Identity& want, std::string* path) {
    lookedOnDisk_ = true;
    if (depth == want.trail.count) {
      struct stat st;
      if (lstat(folder.c_str(), &st) != 0 || !SameIdentity(IdentityOf(folder), want)) return false;
      *path = folder;
      return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    std::vector<std::string> matches;
    while (struct dirent* e = readdir(dir)) {
      std::string_view name(e->d_name);
      if (name == "." || name == "..") continue;
      if (ComponentHash(name) == want.trail.hashes[depth]) matches.emplace_back(name);
    }
    closedir(dir);
    for (const std::string& name : matches)
      if (Walk(JoinPath(folder, name), depth + 1, want, path)) return true;
    return false;
  }

  // -------------------------------------------------------------------------
  // Moves

  template <typename Map>
  static void EraseBelow(Map& map, const std::string& path) {
    auto exact = map.find(path);
    if (exact != map.end()) map.erase(exact);
    std::string prefix = path == "/" ? "/" : path + "/";
    auto it = map.lower_bound(prefix);
    while (it != map.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = map.erase(it);
  }

  // The entries at and below `from`, taken out of the map and rebased to `to`.
  template <typename Map>
  static std::vector<std::pair<std::string, typename Map::mapped_type>> TakeBelow(Map& map, const std::string& from,
                                                                                  const std::string& to) {
    std::vector<std::pair<std::string, typename Map::mapped_type>> taken;
    auto exact = map.find(from);
    if (exact != map.end()) {
      taken.emplace_back(to, exact->second);
      map.erase(exact);
    }
    std::string prefix = from + "/";
    auto it = map.lower_bound(prefix);
    while (it != map.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
      taken.emplace_back(to + it->first.substr(from.size()), it->second);
      it = map.erase(it);
    }
    return taken;
  }

  // Drops the key space at path when the one above gives the same keys.
  void DropIfRedundant(const std::string& path) {
    auto it = subtrees_.find(path);
    if (it == subtrees_.end()) return;
    Key own = it->second;
    subtrees_.erase(it);
    if (!(KeyOf(path) == own)) subtrees_[path] = own;
  }

  void ApplyMove(const std::string& from, const std::string& to, UInt64 salt, bool followInCache) {
    if (from == to || from == "/" || IsInside(to, from) || IsInside(from, to)) return;
    // What the registry knew at the destination belonged to items deleted
    // before: their FSRefs must not come to name the moved item.
    EraseBelow(subtrees_, to);
    for (auto& [path, id] : TakeBelow(fixed_, to, to)) fixedById_.erase(id);
    Key moved = KeyOf(from);
    bool ownSpace = subtrees_.count(from) != 0;
    for (auto& [path, key] : TakeBelow(subtrees_, from, to)) subtrees_[path] = key;
    for (auto& [path, id] : TakeBelow(fixed_, from, to)) {
      fixed_[path] = id;
      fixedById_[id] = path;
    }
    if (!ownSpace) subtrees_[to] = moved;
    DropIfRedundant(to);
    // A new item at the old path gets keys of its own.
    subtrees_[from] = Key{from, salt};
    if (!followInCache) return;
    for (auto& [path, seen] : TakeBelow(seenByPath_, to, to)) {
      auto byId = seenById_.find(seen.id);
      if (byId != seenById_.end() && byId->second == path) seenById_.erase(byId);
    }
    for (auto& [path, seen] : TakeBelow(seenByPath_, from, to)) {
      seenByPath_[path] = seen;
      seenById_[seen.id] = path;
    }
  }

  // -------------------------------------------------------------------------
  // Rewriting

  // Drops the key spaces and fixed ids that no longer change any living
  // item's id: a key space that gives the keys the one above would, and one
  // whose path is gone unless the keys it would let a new item there take
  // are another key space's; a fixed id whose path is gone.
  bool Prune() {
    bool dropped = false;
    for (bool again = true; again;) {
      again = false;
      for (auto it = subtrees_.begin(); it != subtrees_.end();) {
        std::string path = it->first;
        Key own = it->second;
        it = subtrees_.erase(it);
        Key after = KeyOf(path);
        bool keep = !(after == own) && (!Gone(path) || Overlaps(after));
        if (keep) {
          it = subtrees_.emplace(path, own).first;
          ++it;
        } else {
          again = dropped = true;
        }
      }
    }
    for (auto it = fixed_.begin(); it != fixed_.end();) {
      if (Gone(it->first)) {
        fixedById_.erase(it->second);
        it = fixed_.erase(it);
        dropped = true;
      } else {
        ++it;
      }
    }
    return dropped;
  }

  // True when some key space's keys fall in the space of key.
  bool Overlaps(const Key& key) const {
    for (const auto& [path, other] : subtrees_)
      if (other.salt == key.salt &&
          (other.text == key.text || IsInside(other.text, key.text) || IsInside(key.text, other.text)))
        return true;
    return false;
  }

  bool CompactionDue() {
    if (file_.empty() || fd_ < 0 || needReread_) return false;
    if (damaged_ || oldFormat_) return true;
    if (fileRecords_ > 2 * (subtrees_.size() + fixed_.size()) + 32) return true;
    auto subtrees = subtrees_;
    auto fixed = fixed_;
    auto fixedById = fixedById_;
    bool stale = Prune();
    subtrees_.swap(subtrees);
    fixed_.swap(fixed);
    fixedById_.swap(fixedById);
    return stale;
  }

  // Rewrites the file with one record per key space and fixed id that still
  // matters. The view holds every record of the file and this process's
  // own, so nothing another process wrote is lost. Under the exclusive lock.
  bool Compact() {
    Prune();
    std::string out(kHeader);
    for (const auto& [path, key] : subtrees_) out += SubtreeRecord(path, key);
    for (const auto& [path, id] : fixed_) out += FixedRecord(id, path);
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
    damaged_ = oldFormat_ = false;
    readOffset_ = off_t(out.size());
    fileRecords_ = subtrees_.size() + fixed_.size();
    pending_.clear();
    return true;
  }

  // -------------------------------------------------------------------------
  // The file

  // True when the view holds all of the open file, which is still the
  // registry, and this process has nothing to add to it.
  bool ViewIsCurrent() const {
    if (file_.empty() || fd_ < 0 || needReread_ || damaged_ || oldFormat_ || !pending_.empty() ||
        reloadAtUnlock_)
      return false;
    struct stat st;
    return fstat(fd_, &st) == 0 && st.st_nlink > 0 && st.st_size == readOffset_;
  }

  // Locks the file at the path, shared or exclusive (a rewrite may replace
  // it while this waits: then the new one), and reads what others appended.
  void Acquire(bool exclusive) {
    exclusive_ = exclusive;
    if (file_.empty()) return;  // nowhere to keep the registry: it lives in memory only
    for (int attempt = 0; attempt < 64; ++attempt) {
      if (!OpenFile()) return;  // records wait in memory for the next try
      int r;
      do r = flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
      while (r < 0 && errno == EINTR);
      locked_ = r == 0;  // no locks on this file system: go on without
      // One look at the open file tells both what others appended and
      // whether a rewrite replaced it: the rename over it took its last name.
      struct stat st;
      const bool known = fstat(fd_, &st) == 0;
      if (!locked_ || !known || st.st_nlink > 0) {
        ReadFile(known ? &st : nullptr);
        return;
      }
      CloseFile();  // replaced (rewritten) while this one waited: take the new file
    }
  }

  // Applies the records of data; returns the length of the well-formed
  // prefix and counts the records in *records.
  size_t Apply(const std::string& data, size_t* records, bool followInCache) {
    Cursor c{data.data(), data.data() + data.size()};
    const char* good = c.p;
    while (c.p < c.end) {
      if (c.Char('M')) {
        std::string from, to;
        UInt64 salt;
        if (!c.Char(' ') || !c.Bytes(&from) || !c.Char(' ') || !c.Bytes(&to) || !c.Char(' ') || !c.Hex(&salt) ||
            !c.Char('\n') || salt == 0)
          break;
        ApplyMove(from, to, salt, followInCache);
      } else if (c.Char('F')) {
        UInt64 id;
        std::string path;
        if (!c.Char(' ') || !c.Hex(&id) || !c.Char(' ') || !c.Bytes(&path) || !c.Char('\n') || id == 0) break;
        SetFixed(path, id);
      } else if (c.Char('S')) {
        std::string path;
        Key key;
        if (!c.Char(' ') || !c.Bytes(&path) || !c.Char(' ') || !c.Bytes(&key.text) || !c.Char(' ') ||
            !c.Hex(&key.salt) || !c.Char('\n'))
          break;
        subtrees_[path] = key;
      } else {
        break;
      }
      good = c.p;
      ++*records;
    }
    return size_t(good - data.data());
  }

  // The file stays open between uses, and this process's view holds it up
  // to readOffset_. Only a rewrite replaces it (a rename over its name):
  // the open file then has no name left, and the view starts again.
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
  // them for a new file). Under the exclusive lock it also rewrites a file
  // of the earlier format, and repairs a damaged one.
  void ReadFile(const struct stat* known = nullptr) {
    struct stat st;
    if (known != nullptr) {
      st = *known;
    } else if (fstat(fd_, &st) != 0) {
      needReread_ = true;
      return;
    }
    bool reread = false;
    if (needReread_ || st.st_size < readOffset_) {
      // Read it all again, then put this process's unwritten records back on top.
      reread = true;
      needReread_ = false;
      subtrees_.clear();
      fixed_.clear();
      fixedById_.clear();
      readOffset_ = 0;
      fileRecords_ = 0;
      oldFormat_ = false;
    }
    if (st.st_size > kMaxFileSize) {
      // Not a registry this layer wrote: damaged below.
    } else if (st.st_size > readOffset_ && !oldFormat_) {
      std::string data;
      if (!ReadRange(fd_, readOffset_, st.st_size, &data)) {
        // Leave the file alone and keep the records; try again next time.
        needReread_ = true;
        if (reread && !pending_.empty()) {
          size_t ignored = 0;
          Apply(pending_, &ignored, false);
        }
        return;
      }
      size_t at = 0;
      if (readOffset_ == 0) {
        // Also for a view taken while the file was empty: records come
        // after the header that the first writer put there since.
        if (data.compare(0, kHeaderLength, kHeader, kHeaderLength) == 0) {
          at = kHeaderLength;
          readOffset_ = off_t(kHeaderLength);
        } else if (data.compare(0, kHeaderLength, kOldHeader, kHeaderLength) == 0) {
          ReadOldFormat(data.substr(kHeaderLength));
          readOffset_ = st.st_size;
          at = data.size();
        } else {
          at = data.size();  // no registry: damaged below
        }
      }
      if (readOffset_ != 0 && at < data.size()) readOffset_ += off_t(Apply(data.substr(at), &fileRecords_, !reread));
    }
    // What follows the well-formed records is a damaged tail.
    damaged_ = !oldFormat_ && st.st_size != readOffset_;
    if (reread && !pending_.empty()) {
      size_t ignored = 0;
      Apply(pending_, &ignored, false);
    }
    if ((damaged_ || oldFormat_) && exclusive_ && !Compact() && damaged_) {
      // A damaged tail (a writer that died mid-record) would hide every
      // record appended after it: cut it off where it cannot be rewritten.
      if (ftruncate(fd_, readOffset_) == 0)
        damaged_ = false;
      else
        needReread_ = true;
    }
  }

  // Ids that the earlier format bound to paths that no longer hash to them
  // (moves, collisions) stay fixed, so FSRefs stored then still resolve.
  void ReadOldFormat(const std::string& records) {
    oldFormat_ = true;
    for (const auto& [path, id] : ReadOldRecords(records))
      if (id != KeyId(Key{path, 0}) && !Gone(path)) SetFixed(path, id);
  }

  // Appends the records that wait, under the exclusive lock.
  void WritePending() {
    if (pending_.empty()) return;
    if (file_.empty()) {
      pending_.clear();
      return;
    }
    // The file could not be opened, read or brought to this format: later.
    if (fd_ < 0 || needReread_ || oldFormat_ || !exclusive_) return;
    struct stat st;
    if (fstat(fd_, &st) != 0) return;
    if (st.st_size != readOffset_) {
      // Only without working locks: read what came first.
      ReadFile();
      if (pending_.empty() || needReread_ || oldFormat_ || fstat(fd_, &st) != 0) return;
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

  bool loaded_ = false;
  std::string file_;
  int fd_ = -1;
  bool locked_ = false;          // flock held on fd_
  bool exclusive_ = false;       // the lock asked for is exclusive
  int lockDepth_ = 0;            // nested Lock calls (a batch holds the lock)
  bool needReread_ = true;       // the view must be read again from the start
  bool reloadAtUnlock_ = false;  // Drop during a batch
  bool lookedOnDisk_ = false;    // a look-up without the lock looked at items on disk
  bool damaged_ = false;         // the file has a damaged tail, or is no registry
  bool oldFormat_ = false;       // the file is of the earlier format
  off_t readOffset_ = 0;         // the view holds the file up to here
  size_t fileRecords_ = 0;
  PathMap subtrees_;                                   // key spaces by path
  std::map<std::string, UInt64, std::less<>> fixed_;  // fixed ids by path
  std::unordered_map<UInt64, std::string> fixedById_;
  std::map<std::string, Seen> seenByPath_;  // ordered, so that a folder's items sit together
  std::unordered_map<UInt64, std::string> seenById_;
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

// The outermost batch of a thread holds the file's shared lock to its end,
// so that a listing does not take it once per item.
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
  r.Make(path, UInt64(st.st_dev), UInt64(st.st_ino), ref);
}

OSErr CompareRefs(const FSRef* ref1, const FSRef* ref2) {
  Identity a, b;
  if (!DecodeRef(ref1, &a) || !DecodeRef(ref2, &b)) return errFSBadFSRef;
  return SameIdentity(a, b) ? OSErr(noErr) : OSErr(diffRefNumErr);
}

OSErr RefPath(const FSRef* ref, std::string* path) {
  Identity who;
  if (!DecodeRef(ref, &who)) return errFSBadFSRef;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.mu);
  r.EnsureLoaded();
  bool found = r.Resolve(who, Get64(ref->hidden + 16), Get64(ref->hidden + 24), path);
  return found ? OSErr(noErr) : OSErr(fnfErr);
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
    r.Lock(true);
    bool moved = r.Move(from, to, move);
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

void RegistrySetHashForTesting(RegistryHashHook hook) { gHashHook.store(hook); }

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
