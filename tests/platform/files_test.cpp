#include <glib.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "FilesInternal.h"

namespace {

namespace fs = std::filesystem;

// A length-prefixed literal: "\x03abc"_s.
ConstStr255Param operator""_s(const char* s, size_t) { return reinterpret_cast<ConstStr255Param>(s); }

std::vector<UniChar> U(const char* utf8) {
  CFStringRef s = CFStringCreateWithCString(nullptr, utf8, kCFStringEncodingUTF8);
  std::vector<UniChar> units(size_t(CFStringGetLength(s)));
  CFStringGetCharacters(s, CFRangeMake(0, CFIndex(units.size())), units.data());
  CFRelease(s);
  return units;
}

std::string NameOf(const HFSUniStr255& name) {
  CFStringRef s = CFStringCreateWithCharacters(nullptr, name.unicode, name.length);
  char buf[1024];
  bool ok = s && CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  if (s) CFRelease(s);
  return ok ? buf : "?";
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string UTF8(CFStringRef string) {
  if (string == nullptr) return "(nil)";
  std::string out(size_t(CFStringGetLength(string)) * 4 + 1, '\0');
  if (!CFStringGetCString(string, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8)) return "(unconvertible)";
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    ASSERT_TRUE(files::NormalizePath(pattern, &dir));
    // Each test keeps its own registry file.
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    files::RegistryReload();
  }
  void TearDown() override {
    files::RegistrySetHashForTesting(nullptr);
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
  }

  std::string P(const std::string& rel) const { return dir + "/" + rel; }

  FSRef Ref(const std::string& path) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }

  std::string PathOf(const FSRef& ref, OSStatus* status = nullptr) {
    UInt8 buf[4096];
    OSStatus err = FSRefMakePath(&ref, buf, sizeof buf);
    if (status) *status = err;
    return err == noErr ? reinterpret_cast<char*>(buf) : "";
  }

  std::string dir;
};

// ---------------------------------------------------------------------------
// References

TEST_F(FilesTest, SamePathGivesSameRefAndPathsAreCleaned) {
  fs::create_directory(P("d"));
  WriteFile(P("d/f.txt"), "abc");
  WriteFile(P("g.txt"), "");
  FSRef a = Ref(P("d/f.txt"));
  FSRef b = Ref(dir + "//d/./x/../f.txt");
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(FSCompareFSRefs(&a, &b), noErr);
  EXPECT_EQ(PathOf(a), P("d/f.txt"));

  FSRef g = Ref(P("g.txt"));
  EXPECT_EQ(FSCompareFSRefs(&a, &g), diffRefNumErr);
  FSRef zero{};
  EXPECT_EQ(FSCompareFSRefs(&zero, &zero), errFSBadFSRef);
  EXPECT_EQ(FSCompareFSRefs(&a, &zero), errFSBadFSRef);

  Boolean isDir = false;
  FSRef d;
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>((P("d") + "/").c_str()), &d, &isDir), noErr);
  EXPECT_TRUE(isDir);
  EXPECT_EQ(PathOf(d), P("d"));
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(P("missing").c_str()), &d, nullptr), fnfErr);

  // A relative path is taken from the working folder.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(P("d").c_str()), 0);
  FSRef rel = Ref("f.txt");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(FSCompareFSRefs(&rel, &a), noErr);

  UInt8 tiny[8];
  EXPECT_EQ(FSRefMakePath(&a, tiny, sizeof tiny), paramErr);
}

TEST_F(FilesTest, RefsSurviveARestartAndADamagedRegistryFile) {
  fs::create_directory(P("d"));
  WriteFile(P("d/f"), "x");
  WriteFile(P("d/m"), "y");
  FSRef f = Ref(P("d/f")), d = Ref(P("d")), m = Ref(P("d/m"));
  FSRef stored;
  std::memcpy(&stored, &f, sizeof f);  // as a preference would keep it
  std::vector<UniChar> n = U("n"), o = U("o");
  ASSERT_EQ(FSRenameUnicode(&m, n.size(), n.data(), 0, nullptr), noErr);

  files::RegistryReload();
  EXPECT_EQ(PathOf(stored), P("d/f"));
  EXPECT_EQ(PathOf(d), P("d"));
  EXPECT_EQ(PathOf(m), P("d/n"));

  // A writer that died mid-record leaves a damaged tail: what came before
  // still resolves, and records written after it are not lost.
  {
    std::ofstream out(files::RegistryFilePath(), std::ios::app | std::ios::binary);
    out << "M 12 /trunc";
  }
  files::RegistryReload();
  EXPECT_EQ(PathOf(m), P("d/n"));
  ASSERT_EQ(FSRenameUnicode(&m, o.size(), o.data(), 0, nullptr), noErr);
  files::RegistryReload();
  EXPECT_EQ(PathOf(m), P("d/o"));

  // A file that is no registry at all is replaced, not trusted: the moves
  // it held are lost, and paths still lead to their items.
  WriteFile(files::RegistryFilePath(), "garbage\n\x01\x02");
  files::RegistryReload();
  OSStatus status;
  PathOf(m, &status);
  EXPECT_EQ(status, fnfErr);
  EXPECT_EQ(PathOf(stored), P("d/f"));
  FSRef again = Ref(P("d/f"));
  EXPECT_EQ(FSCompareFSRefs(&f, &again), noErr);
  EXPECT_EQ(ReadFile(files::RegistryFilePath()).rfind("QuorvelFileReferences ", 0), 0u);
}

// FSRefs that a child process hands back (memory shared across fork).
class SharedRefs {
 public:
  explicit SharedRefs(size_t count) : size_(count * sizeof(FSRef)) {
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    refs_ = p == MAP_FAILED ? nullptr : static_cast<FSRef*>(p);
  }
  ~SharedRefs() {
    if (refs_ != nullptr) munmap(refs_, size_);
  }
  SharedRefs(const SharedRefs&) = delete;
  bool ok() const { return refs_ != nullptr; }
  FSRef& operator[](size_t i) { return refs_[i]; }

 private:
  size_t size_;
  FSRef* refs_;
};

// The other program of the tests below: runs body in a child process and
// waits for it. No gtest assertions in there; body says whether it went well.
template <typename Body>
bool InChild(Body body) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MakeRefAt(const std::string& path, FSRef* ref) {
  return FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), ref, nullptr) == noErr;
}

TEST_F(FilesTest, RegistryIsSharedByThreadsAndProcesses) {
  fs::create_directory(P("child"));
  fs::create_directory(P("parent"));
  for (int i = 0; i < 50; ++i) {
    WriteFile(P("child/") + std::to_string(i), "");
    WriteFile(P("parent/") + std::to_string(i), "");
  }
  // This program first sees the registry while its file is still empty (an
  // FSRef needs no record to resolve); another one then writes the file's
  // first records, and goes on writing while this one's threads rename
  // items of their own.
  FSRef early = Ref(P("parent/0"));
  fs::remove(files::RegistryFilePath());
  files::RegistryReload();
  EXPECT_EQ(PathOf(early), P("parent/0"));

  SharedRefs childRefs(50);
  ASSERT_TRUE(childRefs.ok());
  int halfway[2];
  ASSERT_EQ(pipe(halfway), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(halfway[0]);
    for (int i = 0; i < 50; ++i) {
      std::vector<UniChar> name = U(("r" + std::to_string(i)).c_str());
      if (!MakeRefAt(P("child/") + std::to_string(i), &childRefs[i]) ||
          FSRenameUnicode(&childRefs[i], name.size(), name.data(), 0, nullptr) != noErr)
        _exit(1);
      if (i == 24 && write(halfway[1], "h", 1) != 1) _exit(1);
    }
    _exit(0);
  }
  close(halfway[1]);
  char c;
  ASSERT_EQ(read(halfway[0], &c, 1), 1);
  close(halfway[0]);
  std::vector<FSRef> parentRefs(50);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t, &parentRefs] {
      for (int i = t; i < 50; i += 4) {
        parentRefs[i] = Ref(P("parent/") + std::to_string(i));
        std::vector<UniChar> name = U(("r" + std::to_string(i)).c_str());
        EXPECT_EQ(FSRenameUnicode(&parentRefs[i], name.size(), name.data(), 0, nullptr), noErr);
        EXPECT_EQ(PathOf(parentRefs[i]), P("parent/r") + std::to_string(i));
      }
    });
  for (auto& th : threads) th.join();
  int childStatus = 0;
  ASSERT_EQ(waitpid(pid, &childStatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0);

  // Both programs' moves hold here, before and after a restart.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(PathOf(childRefs[i]), P("child/r") + std::to_string(i)) << "round " << round;
      EXPECT_EQ(PathOf(parentRefs[i]), P("parent/r") + std::to_string(i)) << "round " << round;
    }
    EXPECT_EQ(PathOf(early), P("parent/r0"));
    files::RegistryReload();
  }
}

TEST_F(FilesTest, RenamesAndNewItemsOfAnotherProcessAreSeen) {
  // This program knows "a"; another one renames it to "b" and puts a new
  // item at "a", and does the same with "c", which this one never saw.
  WriteFile(P("a"), "1");
  WriteFile(P("c"), "2");
  FSRef a = Ref(P("a"));
  std::vector<UniChar> b = U("b"), d = U("d");
  SharedRefs child(3);
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(InChild([&] {
    if (!MakeRefAt(P("c"), &child[0])) return false;
    if (FSRenameUnicode(&a, b.size(), b.data(), 0, nullptr) != noErr ||
        FSRenameUnicode(&child[0], d.size(), d.data(), 0, nullptr) != noErr)
      return false;
    WriteFile(P("a"), "3");
    WriteFile(P("c"), "4");
    return MakeRefAt(P("a"), &child[1]) && MakeRefAt(P("c"), &child[2]);
  }));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(PathOf(a), P("b")) << "round " << round;
    FSRef newA = Ref(P("a")), newC = Ref(P("c"));
    EXPECT_EQ(FSCompareFSRefs(&newA, &child[1]), noErr);
    EXPECT_EQ(FSCompareFSRefs(&newC, &child[2]), noErr);
    EXPECT_EQ(PathOf(child[0]), P("d"));
    files::RegistryReload();
  }
}

TEST_F(FilesTest, AMoveIsInTheRegistryFileBeforeTheItemMoves) {
  // Another process that finds the item at its new place must find the
  // record too; a move that fails leaves the file as it was, and this
  // process and a fresh one agree where the item is.
  struct Case {
    const char* to;
    bool succeeds;
    const char* after;
  };
  const Case cases[] = {{"b", true, "b"}, {"taken", false, "a"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    fs::remove_all(P("a"));
    fs::remove_all(P("b"));
    WriteFile(P("a"), "1");
    WriteFile(P("taken"), "2");
    FSRef a = Ref(P("a"));
    const std::string registry = files::RegistryFilePath();
    const auto before = fs::file_size(registry);
    std::uintmax_t during = 0;
    files::RegistryMove(P("a"), P(c.to), [&] {
      during = fs::file_size(registry);
      return c.succeeds && std::rename(P("a").c_str(), P(c.to).c_str()) == 0;
    });
    EXPECT_GT(during, before);
    EXPECT_EQ(fs::file_size(registry) > before, c.succeeds);
    EXPECT_EQ(PathOf(a), P(c.after));
    const std::string expected = P(c.after);
    EXPECT_TRUE(InChild([&] {
      files::RegistryReload();
      UInt8 path[1024];
      return FSRefMakePath(&a, path, sizeof path) == noErr && expected == reinterpret_cast<char*>(path);
    }));
  }
}

TEST_F(FilesTest, UnwrittenRecordsAreWrittenOnceAfterAFork) {
  // A move that cannot reach the file yet (the disk is full) stays with this
  // process; a child forked meanwhile must not write it a second time.
  WriteFile(P("x"), "");
  WriteFile(P("z"), "");
  FSRef x = Ref(P("x"));
  struct rlimit old, full;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  full = old;
  full.rlim_cur = rlim_t(fs::file_size(files::RegistryFilePath()));
  std::vector<UniChar> y = U("y");
  auto oldSignal = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  OSErr err = FSRenameUnicode(&x, y.size(), y.data(), 0, nullptr);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  signal(SIGXFSZ, oldSignal);
  ASSERT_EQ(err, noErr);
  ASSERT_TRUE(InChild([&] {
    FSRef z;
    return MakeRefAt(P("z"), &z);
  }));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(PathOf(x), P("y")) << "round " << round;
    files::RegistryReload();
  }
}

TEST_F(FilesTest, NoRewriteComesBetweenAMoveAndItsRecord) {
  // A rewrite of the registry drops the ids of items that are gone, and an
  // item being moved is gone from its old path until its move is recorded:
  // no other process may take the file's lock in between (a second open
  // file stands for the other process).
  WriteFile(P("a"), "");
  FSRef a = Ref(P("a"));
  bool lockTaken = true;
  files::RegistryMove(P("a"), P("b"), [&] {
    if (rename(P("a").c_str(), P("b").c_str()) != 0) return false;
    int fd = open(files::RegistryFilePath().c_str(), O_RDONLY | O_CLOEXEC);
    lockTaken = fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
    return true;
  });
  EXPECT_FALSE(lockTaken);
  EXPECT_EQ(PathOf(a), P("b"));
  // A move that did not happen is not recorded.
  files::RegistryMove(P("b"), P("c"), [] { return false; });
  files::RegistryReload();
  EXPECT_EQ(PathOf(a), P("b"));
}

TEST_F(FilesTest, RegistryDropsItemsThatAreGone) {
  fs::create_directory(P("many"));
  for (int i = 0; i < 1500; ++i) WriteFile(P("many/") + std::to_string(i), "");
  FSRef many = Ref(P("many"));
  FSIterator it;
  ASSERT_EQ(FSOpenIterator(&many, kFSIterateFlat, &it), noErr);
  std::vector<FSRef> refs(1500);
  ItemCount n = 0;
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 1500, &n, nullptr, 0, nullptr, refs.data(), nullptr, nullptr),
            errFSNoMoreItems);
  EXPECT_EQ(n, 1500u);
  FSCloseIterator(it);
  for (int i = 1; i < 1500; ++i) fs::remove(P("many/") + std::to_string(i));

  files::RegistryReload();  // the next run rewrites the file without them
  FSRef kept = Ref(P("many/0"));
  EXPECT_EQ(PathOf(kept), P("many/0"));
  std::string file = ReadFile(files::RegistryFilePath());
  EXPECT_LT(std::count(file.begin(), file.end(), '\n'), 20);
  OSStatus status;
  PathOf(refs[1], &status);
  EXPECT_EQ(status, fnfErr);
}

TEST_F(FilesTest, RefsFollowRenamesAndMoves) {
  fs::create_directories(P("a/sub"));
  fs::create_directory(P("b"));
  WriteFile(P("a/sub/f"), "1");
  FSRef a = Ref(P("a")), sub = Ref(P("a/sub")), f = Ref(P("a/sub/f")), b = Ref(P("b"));

  std::vector<UniChar> g = U("g");
  FSRef renamed;
  ASSERT_EQ(FSRenameUnicode(&f, g.size(), g.data(), kTextEncodingUnicodeDefault, &renamed), noErr);
  EXPECT_EQ(FSCompareFSRefs(&f, &renamed), noErr);
  EXPECT_EQ(PathOf(f), P("a/sub/g"));

  std::vector<UniChar> e = U("e");
  ASSERT_EQ(FSRenameUnicode(&a, e.size(), e.data(), 0, nullptr), noErr);
  EXPECT_EQ(PathOf(a), P("e"));
  EXPECT_EQ(PathOf(sub), P("e/sub"));
  EXPECT_EQ(PathOf(f), P("e/sub/g"));

  FSRef moved;
  ASSERT_EQ(FSMoveObject(&sub, &b, &moved), noErr);
  EXPECT_EQ(PathOf(f), P("b/sub/g"));
  EXPECT_EQ(FSCompareFSRefs(&moved, &sub), noErr);

  // A new item at an old path is another item.
  WriteFile(P("e/sub"), "new");
  FSRef newcomer = Ref(P("e/sub"));
  EXPECT_EQ(FSCompareFSRefs(&sub, &newcomer), diffRefNumErr);

  // The renames are in the registry's file too.
  files::RegistryReload();
  EXPECT_EQ(PathOf(f), P("b/sub/g"));
  EXPECT_EQ(PathOf(a), P("e"));
}

TEST_F(FilesTest, PathsThatKeepTheirIdsWriteNothing) {
  // A tree like a project's: FSRefs for every item, by listing and by path.
  for (int d = 0; d < 30; ++d) {
    fs::create_directories(P("tree/d") + std::to_string(d) + "/sub");
    for (int i = 0; i < 100; ++i)
      WriteFile(P("tree/d") + std::to_string(d) + (i % 2 ? "/sub/f" : "/f") + std::to_string(i), "");
  }
  std::vector<std::string> folders = {P("tree")};
  for (const auto& entry : fs::recursive_directory_iterator(P("tree")))
    if (entry.is_directory()) folders.push_back(entry.path().string());
  std::vector<std::pair<FSRef, std::string>> refs;
  for (const std::string& folder : folders) {
    FSRef folderRef = Ref(folder);
    FSIterator it;
    ASSERT_EQ(FSOpenIterator(&folderRef, kFSIterateFlat, &it), noErr);
    FSRef batch[64];
    HFSUniStr255 names[64];
    ItemCount n = 0;
    OSErr err = noErr;
    while (err == noErr) {
      err = FSGetCatalogInfoBulk(it, 64, &n, nullptr, 0, nullptr, batch, nullptr, names);
      for (ItemCount i = 0; i < n; ++i) refs.emplace_back(batch[i], folder + "/" + NameOf(names[i]));
    }
    EXPECT_EQ(err, errFSNoMoreItems);
    FSCloseIterator(it);
  }
  ASSERT_EQ(refs.size(), 3060u);
  for (size_t i = 0; i < refs.size(); i += 50) Ref(refs[i].second);
  files::RegistryFlush();
  EXPECT_LT(fs::file_size(files::RegistryFilePath()), 64u);

  // A next run finds them from the FSRefs alone.
  files::RegistryReload();
  for (size_t i = 0; i < refs.size(); i += 17) EXPECT_EQ(PathOf(refs[i].first), refs[i].second);
  EXPECT_LT(fs::file_size(files::RegistryFilePath()), 64u);
}

TEST_F(FilesTest, RenamesOntoOtherItemsPathsAndBack) {
  WriteFile(P("a"), "1");
  WriteFile(P("b"), "2");
  FSRef a = Ref(P("a")), b = Ref(P("b"));
  std::vector<UniChar> nameA = U("a"), nameB = U("b"), nameC = U("c"), nameD = U("d");
  // The item from "a" goes to "c"; the one from "b" takes "a", the path
  // whose hash is the first item's id; a new item takes "b".
  ASSERT_EQ(FSRenameUnicode(&a, nameC.size(), nameC.data(), 0, nullptr), noErr);
  ASSERT_EQ(FSRenameUnicode(&b, nameA.size(), nameA.data(), 0, nullptr), noErr);
  WriteFile(P("b"), "3");
  FSRef newB = Ref(P("b"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "this run" : "next run");
    EXPECT_EQ(PathOf(a), P("c"));
    EXPECT_EQ(PathOf(b), P("a"));
    EXPECT_EQ(PathOf(newB), P("b"));
    FSRef atA = Ref(P("a")), atB = Ref(P("b")), atC = Ref(P("c"));
    EXPECT_EQ(FSCompareFSRefs(&atA, &b), noErr);
    EXPECT_EQ(FSCompareFSRefs(&atC, &a), noErr);
    EXPECT_EQ(FSCompareFSRefs(&atB, &newB), noErr);
    EXPECT_EQ(FSCompareFSRefs(&atB, &b), diffRefNumErr);
    EXPECT_EQ(FSCompareFSRefs(&atA, &a), diffRefNumErr);
    files::RegistryReload();
  }

  // Back where they were, and a new item where the first one waited.
  ASSERT_EQ(FSRenameUnicode(&b, nameD.size(), nameD.data(), 0, nullptr), noErr);
  ASSERT_EQ(FSRenameUnicode(&a, nameA.size(), nameA.data(), 0, nullptr), noErr);
  WriteFile(P("c"), "4");
  FSRef newC = Ref(P("c"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "this run" : "next run");
    EXPECT_EQ(PathOf(a), P("a"));
    EXPECT_EQ(PathOf(b), P("d"));
    EXPECT_EQ(PathOf(newC), P("c"));
    FSRef atA = Ref(P("a")), atC = Ref(P("c"));
    EXPECT_EQ(FSCompareFSRefs(&atA, &a), noErr);
    EXPECT_EQ(FSCompareFSRefs(&atC, &newC), noErr);
    EXPECT_EQ(FSCompareFSRefs(&atC, &a), diffRefNumErr);
    files::RegistryReload();
  }
}

TEST_F(FilesTest, RewritesDropStaleRecords) {
  // "p" goes away and comes back, "r" moves and is deleted, "t" moves for good.
  for (const char* name : {"p", "r", "t"}) WriteFile(P(name), name);
  FSRef p = Ref(P("p")), r = Ref(P("r")), t = Ref(P("t"));
  auto rename = [](FSRef* ref, const char* to) {
    std::vector<UniChar> name = U(to);
    return FSRenameUnicode(ref, name.size(), name.data(), 0, nullptr);
  };
  ASSERT_EQ(rename(&p, "q"), noErr);
  ASSERT_EQ(rename(&p, "p"), noErr);
  ASSERT_EQ(rename(&r, "s"), noErr);
  ASSERT_EQ(FSDeleteObject(&r), noErr);
  ASSERT_EQ(rename(&t, "u"), noErr);
  const std::string before = ReadFile(files::RegistryFilePath());
  EXPECT_NE(before.find(P("q")), std::string::npos);

  files::RegistryReload();  // the next run rewrites the file
  EXPECT_EQ(PathOf(p), P("p"));
  EXPECT_EQ(PathOf(t), P("u"));
  OSStatus status;
  PathOf(r, &status);
  EXPECT_EQ(status, fnfErr);
  const std::string after = ReadFile(files::RegistryFilePath());
  for (const char* gone : {"/p ", "/q ", "/r ", "/s "})
    EXPECT_EQ(after.find(dir + gone), std::string::npos) << gone << " in\n" << after;
  EXPECT_NE(after.find(P("u")), std::string::npos);
  EXPECT_LT(after.size(), before.size());
  // What is kept still tells a new item at "t" from the one that left.
  WriteFile(P("t"), "new");
  FSRef newT = Ref(P("t"));
  EXPECT_EQ(FSCompareFSRefs(&newT, &t), diffRefNumErr);
  files::RegistryReload();
  EXPECT_EQ(PathOf(t), P("u"));
  EXPECT_EQ(PathOf(newT), P("t"));
}

TEST_F(FilesTest, CollidingHashesGetIdsOfTheirOwn) {
  // Both the ids and the name hashes of two siblings collide.
  files::RegistrySetHashForTesting([](std::string_view text, UInt64 usual) -> UInt64 {
    return text.ends_with("twin1") || text.ends_with("twin2") ? 42 : usual;
  });
  fs::create_directory(P("d"));
  WriteFile(P("d/twin1"), "1");
  WriteFile(P("d/twin2"), "2");
  FSRef one = Ref(P("d/twin1")), two = Ref(P("d/twin2"));
  EXPECT_EQ(FSCompareFSRefs(&one, &two), diffRefNumErr);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "this run" : "next run");
    EXPECT_EQ(PathOf(two), P("d/twin2"));
    EXPECT_EQ(PathOf(one), P("d/twin1"));
    FSRef again1 = Ref(P("d/twin1")), again2 = Ref(P("d/twin2"));
    EXPECT_EQ(FSCompareFSRefs(&again1, &one), noErr);
    EXPECT_EQ(FSCompareFSRefs(&again2, &two), noErr);
    files::RegistryReload();
  }
  // The chosen id follows its item through a move.
  fs::create_directory(P("e"));
  FSRef e = Ref(P("e"));
  ASSERT_EQ(FSMoveObject(&two, &e, nullptr), noErr);
  files::RegistryReload();
  EXPECT_EQ(PathOf(two), P("e/twin2"));
  EXPECT_EQ(PathOf(one), P("d/twin1"));
}

TEST_F(FilesTest, DeepPathsAndRecordsOfTheEarlierFormat) {
  // Too deep for an FSRef to lead to it: the path is kept in the file.
  std::string deep = P("x");
  for (int i = 0; i < 24; ++i) deep += "/" + std::to_string(i);
  fs::create_directories(deep);
  WriteFile(deep + "/f", "");
  FSRef f = Ref(deep + "/f");
  FSRef x = Ref(P("x"));
  std::vector<UniChar> y = U("y");
  ASSERT_EQ(FSRenameUnicode(&x, y.size(), y.data(), 0, nullptr), noErr);
  files::RegistryReload();
  std::string moved = P("y") + deep.substr(P("x").size()) + "/f";
  EXPECT_EQ(PathOf(f), moved);
  FSRef again = Ref(moved);
  EXPECT_EQ(FSCompareFSRefs(&again, &f), noErr);

  // A file of the earlier format bound every path to its id: ids that are
  // not their path's hash are kept, for the FSRefs stored then.
  WriteFile(P("old"), "");
  WriteFile(P("plain"), "");
  FSRef plain = Ref(P("plain"));
  UInt64 plainId = 0;
  for (int i = 8; i < 16; ++i) plainId = (plainId << 8) | plain.hidden[i];
  char hex[32];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(plainId));
  WriteFile(files::RegistryFilePath(), "QuorvelFileReferences 1\nA 1234 1 2 " + std::to_string(P("old").size()) +
                                           " " + P("old") + "\nA " + hex + " 1 2 " +
                                           std::to_string(P("plain").size()) + " " + P("plain") + "\n");
  FSRef stored{};
  const UInt8 head[16] = {'Q', 'F', 'S', 'R', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x12, 0x34};
  std::memcpy(stored.hidden, head, sizeof head);
  files::RegistryReload();
  EXPECT_EQ(PathOf(stored), P("old"));
  FSRef old = Ref(P("old"));
  EXPECT_EQ(FSCompareFSRefs(&old, &stored), noErr);
  const std::string file = ReadFile(files::RegistryFilePath());
  EXPECT_EQ(file.rfind("QuorvelFileReferences 2\n", 0), 0u);
  EXPECT_NE(file.find(P("old")), std::string::npos);
  EXPECT_EQ(file.find(P("plain")), std::string::npos);
}

TEST_F(FilesTest, DeletedItemsGiveFnfErr) {
  WriteFile(P("f"), "x");
  fs::create_directory(P("d"));
  FSRef f = Ref(P("f")), d = Ref(P("d"));
  ASSERT_EQ(FSDeleteObject(&f), noErr);
  ASSERT_EQ(FSDeleteObject(&d), noErr);
  OSStatus status;
  PathOf(f, &status);
  EXPECT_EQ(status, fnfErr);
  EXPECT_EQ(FSGetCatalogInfo(&d, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), fnfErr);
  EXPECT_EQ(FSDeleteObject(&f), fnfErr);
  FSIORefNum fork;
  EXPECT_EQ(FSOpenFork(&f, 0, nullptr, fsRdPerm, &fork), fnfErr);
}

// ---------------------------------------------------------------------------
// Catalog information

TEST_F(FilesTest, CatalogInfoOfFilesAndFolders) {
  fs::create_directory(P("d"));
  WriteFile(P("d/f.txt"), "hello");
  FSRef d = Ref(P("d")), f = Ref(P("d/f.txt"));

  FSCatalogInfo info{};
  HFSUniStr255 name;
  FSRef parent;
  ASSERT_EQ(FSGetCatalogInfo(&f, kFSCatInfoGettableInfo, &info, &name, nullptr, &parent), noErr);
  EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
  EXPECT_EQ(info.dataLogicalSize, 5u);
  EXPECT_EQ(NameOf(name), "f.txt");
  EXPECT_EQ(FSCompareFSRefs(&parent, &d), noErr);
  FSPermissionInfo perms;
  std::memcpy(&perms, info.permissions, sizeof perms);
  EXPECT_TRUE(S_ISREG(perms.mode));
  EXPECT_EQ(perms.userID, geteuid());

  // Dates: set one and read it back through the conversion.
  UTCDateTime when;
  ASSERT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(300000000.5, &when), noErr);
  FSCatalogInfo set{};
  set.contentModDate = when;
  ASSERT_EQ(FSSetCatalogInfo(&f, kFSCatInfoContentMod, &set), noErr);
  ASSERT_EQ(FSGetCatalogInfo(&f, kFSCatInfoContentMod | kFSCatInfoCreateDate, &info, nullptr, nullptr, nullptr),
            noErr);
  CFAbsoluteTime t;
  ASSERT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(&info.contentModDate, &t), noErr);
  EXPECT_NEAR(t, 300000000.5, 0.001);
  struct stat st;
  ASSERT_EQ(stat(P("d/f.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, time_t(300000000 + 978307200));

  ASSERT_EQ(FSGetCatalogInfo(&d, kFSCatInfoNodeFlags | kFSCatInfoValence | kFSCatInfoDataSizes, &info, nullptr,
                             nullptr, nullptr),
            noErr);
  EXPECT_NE(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
  EXPECT_EQ(info.valence, 1u);
  EXPECT_EQ(info.dataLogicalSize, 0u);

  FSRef root = Ref("/");
  EXPECT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, nullptr, &parent), fnfErr);

  // Links are items of their own, never folders.
  fs::create_symlink(P("d"), P("link"));
  Boolean alias = false, folder = true;
  FSRef link = Ref(P("link"));
  ASSERT_EQ(FSIsAliasFile(&link, &alias, &folder), noErr);
  EXPECT_TRUE(alias);
  EXPECT_FALSE(folder);
  ASSERT_EQ(FSIsAliasFile(&d, &alias, &folder), noErr);
  EXPECT_FALSE(alias);
  EXPECT_TRUE(folder);
}

TEST_F(FilesTest, TypeAndCreatorRoundTrip) {
  WriteFile(P("f"), "");
  if (setxattr(P("f").c_str(), "user.probe", "1", 1, 0) != 0 && errno == ENOTSUP)
    GTEST_SKIP() << "no extended attributes on this file system";
  FSRef f = Ref(P("f"));
  FSCatalogInfo info{};
  ASSERT_EQ(FSGetCatalogInfo(&f, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
  FileInfo fi;
  std::memcpy(&fi, info.finderInfo, sizeof fi);
  EXPECT_EQ(fi.fileType, 0u);  // none stored yet
  fi.fileType = 'TEXT';
  fi.fileCreator = 'Qrvl';
  fi.finderFlags = kHasBeenInited;
  std::memcpy(info.finderInfo, &fi, sizeof fi);
  ASSERT_EQ(FSSetCatalogInfo(&f, kFSCatInfoFinderInfo, &info), noErr);

  FSCatalogInfo back{};
  ASSERT_EQ(FSGetCatalogInfo(&f, kFSCatInfoFinderInfo, &back, nullptr, nullptr, nullptr), noErr);
  FileInfo got;
  std::memcpy(&got, back.finderInfo, sizeof got);
  EXPECT_EQ(got.fileType, FourCharCode('TEXT'));
  EXPECT_EQ(got.fileCreator, FourCharCode('Qrvl'));
  EXPECT_EQ(got.finderFlags, kHasBeenInited);
  // Stored big-endian, so the attribute reads the same on every machine.
  char raw[32];
  ASSERT_EQ(getxattr(P("f").c_str(), "user.quorvel.finderinfo", raw, sizeof raw), 32);
  EXPECT_EQ(std::string(raw, 8), "TEXTQrvl");
}

// ---------------------------------------------------------------------------
// Names

TEST_F(FilesTest, NamesRoundTripAndBadNamesAreRefused) {
  FSRef d = Ref(dir);
  std::vector<UniChar> accented = U("caf\xC3\xA9 \xF0\x9F\x98\x80.txt");  // with a surrogate pair
  FSRef made;
  ASSERT_EQ(FSCreateFileUnicode(&d, accented.size(), accented.data(), 0, nullptr, &made, nullptr), noErr);
  EXPECT_TRUE(fs::exists(P("caf\xC3\xA9 \xF0\x9F\x98\x80.txt")));
  HFSUniStr255 name;
  ASSERT_EQ(FSGetCatalogInfo(&made, kFSCatInfoNone, nullptr, &name, nullptr, nullptr), noErr);
  EXPECT_EQ(std::vector<UniChar>(name.unicode, name.unicode + name.length), accented);

  // A name that is not UTF-8 comes back in a form that finds the item again.
  WriteFile(P("bad\xFF"), "");
  FSRef bad = Ref(P("bad\xFF"));
  ASSERT_EQ(FSGetCatalogInfo(&bad, kFSCatInfoNone, nullptr, &name, nullptr, nullptr), noErr);
  ASSERT_EQ(name.length, 4);
  EXPECT_EQ(name.unicode[3], 0xDCFF);
  FSRef again;
  ASSERT_EQ(FSMakeFSRefUnicode(&d, name.length, name.unicode, 0, &again), noErr);
  EXPECT_EQ(FSCompareFSRefs(&again, &bad), noErr);

  struct Case {
    std::vector<UniChar> name;
    OSErr expected;
  } cases[] = {
      {{}, bdNamErr},
      {U("."), bdNamErr},
      {U(".."), bdNamErr},
      {U("a/b"), bdNamErr},
      {{'a', 0, 'b'}, bdNamErr},
      {{'a', 0xD800}, bdNamErr},  // unpaired high surrogate
      {{0xDC00, 'a'}, bdNamErr},  // a low surrogate that stands for no byte
      {std::vector<UniChar>(256, 'x'), errFSNameTooLong},
  };
  for (const auto& c : cases) {
    FSRef r;
    EXPECT_EQ(FSCreateFileUnicode(&d, c.name.size(), c.name.data(), 0, nullptr, &r, nullptr), c.expected);
  }
}

// ---------------------------------------------------------------------------
// Creating, renaming, moving, copying, deleting

TEST_F(FilesTest, CreateRenameDeleteStatuses) {
  FSRef d = Ref(dir);
  std::vector<UniChar> f = U("f"), sub = U("sub"), other = U("other");
  FSRef file, folder;
  ASSERT_EQ(FSCreateFileUnicode(&d, f.size(), f.data(), 0, nullptr, &file, nullptr), noErr);
  EXPECT_EQ(FSCreateFileUnicode(&d, f.size(), f.data(), 0, nullptr, &file, nullptr), dupFNErr);
  UInt32 dirID = 0;
  ASSERT_EQ(FSCreateDirectoryUnicode(&d, sub.size(), sub.data(), 0, nullptr, &folder, nullptr, &dirID), noErr);
  EXPECT_NE(dirID, 0u);
  EXPECT_EQ(FSCreateDirectoryUnicode(&d, f.size(), f.data(), 0, nullptr, nullptr, nullptr, nullptr), dupFNErr);
  EXPECT_EQ(FSCreateFileUnicode(&file, other.size(), other.data(), 0, nullptr, nullptr, nullptr), errFSNotAFolder);

  FSRef found;
  EXPECT_EQ(FSMakeFSRefUnicode(&d, other.size(), other.data(), 0, &found), fnfErr);
  ASSERT_EQ(FSMakeFSRefUnicode(&d, f.size(), f.data(), 0, &found), noErr);
  EXPECT_EQ(FSCompareFSRefs(&found, &file), noErr);

  // Renaming never replaces.
  EXPECT_EQ(FSRenameUnicode(&folder, f.size(), f.data(), 0, nullptr), dupFNErr);
  EXPECT_TRUE(fs::is_regular_file(P("f")));
  EXPECT_EQ(FSRenameUnicode(&file, f.size(), f.data(), 0, nullptr), noErr);  // its own name

  ASSERT_EQ(FSCreateFileUnicode(&folder, f.size(), f.data(), 0, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(FSDeleteObject(&folder), fBsyErr);
  EXPECT_TRUE(fs::exists(P("sub/f")));
  FSRef inner = Ref(P("sub/f"));
  EXPECT_EQ(FSMoveObject(&folder, &folder, nullptr), badMovErr);
  EXPECT_EQ(FSMoveObject(&inner, &d, nullptr), dupFNErr);

  // Exchanging swaps the contents; each ref keeps its name.
  WriteFile(P("f"), "one");
  WriteFile(P("sub/f"), "two");
  ASSERT_EQ(FSExchangeObjects(&file, &inner), noErr);
  EXPECT_EQ(ReadFile(P("f")), "two");
  EXPECT_EQ(ReadFile(P("sub/f")), "one");
  EXPECT_EQ(PathOf(file), P("f"));
  EXPECT_EQ(FSExchangeObjects(&file, &folder), notAFileErr);
}

TEST_F(FilesTest, CopiesAreRecursiveAndNeverOverwrite) {
  fs::create_directories(P("src/a/b"));
  WriteFile(P("src/top.txt"), "top");
  WriteFile(P("src/a/b/deep.txt"), std::string(300000, 'z'));
  fs::create_symlink("top.txt", P("src/link"));
  fs::permissions(P("src/top.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_directory(P("dst"));
  FSRef src = Ref(P("src")), dst = Ref(P("dst"));

  CFStringRef name = CFStringCreateWithCString(nullptr, "copy", kCFStringEncodingUTF8);
  FSRef copy;
  ASSERT_EQ(FSCopyObjectSync(&src, &dst, name, &copy, kFSFileOperationDefaultOptions), noErr);
  EXPECT_EQ(PathOf(copy), P("dst/copy"));
  EXPECT_EQ(ReadFile(P("dst/copy/top.txt")), "top");
  EXPECT_EQ(ReadFile(P("dst/copy/a/b/deep.txt")), std::string(300000, 'z'));
  EXPECT_EQ(fs::read_symlink(P("dst/copy/link")), "top.txt");
  EXPECT_EQ(fs::status(P("dst/copy/top.txt")).permissions(), fs::status(P("src/top.txt")).permissions());

  EXPECT_EQ(FSCopyObjectSync(&src, &dst, name, nullptr, 0), dupFNErr);
  EXPECT_EQ(FSCopyObjectSync(&src, &src, nullptr, nullptr, 0), badMovErr);  // into itself
  FSRef a = Ref(P("src/a"));
  EXPECT_EQ(FSCopyObjectSync(&src, &a, nullptr, nullptr, 0), badMovErr);
  FSRef same = Ref(P("src/top.txt"));
  EXPECT_EQ(FSCopyObjectSync(&same, &src, nullptr, nullptr, 0), dupFNErr);

  // A move under another name; refs inside follow.
  FSRef deep = Ref(P("src/a/b/deep.txt"));
  CFStringRef moved = CFStringCreateWithCString(nullptr, "moved", kCFStringEncodingUTF8);
  FSRef target;
  ASSERT_EQ(FSMoveObjectSync(&a, &dst, moved, &target, 0), noErr);
  EXPECT_EQ(PathOf(deep), P("dst/moved/b/deep.txt"));
  EXPECT_FALSE(fs::exists(P("src/a")));
  CFRelease(name);
  CFRelease(moved);
}

// ---------------------------------------------------------------------------
// Forks

TEST_F(FilesTest, ForkReadsWritesSizesAndMarks) {
  WriteFile(P("f"), "");
  FSRef f = Ref(P("f"));
  HFSUniStr255 data;
  ASSERT_EQ(FSGetDataForkName(&data), noErr);
  FSIORefNum fork;
  ASSERT_EQ(FSOpenFork(&f, data.length, data.unicode, fsRdWrPerm, &fork), noErr);

  ByteCount done = 0;
  ASSERT_EQ(FSWriteFork(fork, fsFromStart, 0, 10, "0123456789", &done), noErr);
  EXPECT_EQ(done, 10u);
  SInt64 mark = -1, size = -1;
  ASSERT_EQ(FSGetForkPosition(fork, &mark), noErr);
  EXPECT_EQ(mark, 10);

  // A short read at the end gives eofErr together with the bytes.
  char buf[16] = {};
  EXPECT_EQ(FSReadFork(fork, fsFromStart, 6, 8, buf, &done), eofErr);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(FSReadFork(fork, fsAtMark, 0, 4, buf, &done), eofErr);
  EXPECT_EQ(done, 0u);
  ASSERT_EQ(FSReadFork(fork, fsFromLEOF, -3, 3, buf, &done), noErr);
  EXPECT_EQ(std::string(buf, 3), "789");
  ASSERT_EQ(FSReadFork(fork, fsFromStart, 0, 2, buf, &done), noErr);
  ASSERT_EQ(FSReadFork(fork, fsFromMark, 1, 2, buf, &done), noErr);
  EXPECT_EQ(std::string(buf, 2), "34");
  EXPECT_EQ(FSReadFork(fork, fsFromStart, -1, 2, buf, &done), posErr);

  // The classic calls work at the mark.
  ASSERT_EQ(FSSetForkPosition(fork, fsFromStart, 2), noErr);
  SInt32 count = 3;
  ASSERT_EQ(FSWrite(fork, &count, "abc"), noErr);
  count = 10;
  ASSERT_EQ(FSSetForkPosition(fork, fsFromStart, 0), noErr);
  EXPECT_EQ(FSRead(fork, &count, buf), noErr);
  EXPECT_EQ(std::string(buf, 10), "01abc56789");
  EXPECT_EQ(FSSetForkPosition(fork, fsFromStart, 99), eofErr);
  ASSERT_EQ(FSGetForkPosition(fork, &mark), noErr);
  EXPECT_EQ(mark, 10);

  // Cutting the fork pulls the mark back.
  ASSERT_EQ(FSSetForkSize(fork, fsFromStart, 4), noErr);
  ASSERT_EQ(FSGetForkSize(fork, &size), noErr);
  EXPECT_EQ(size, 4);
  ASSERT_EQ(FSGetForkPosition(fork, &mark), noErr);
  EXPECT_EQ(mark, 4);
  EXPECT_EQ(FSFlushFork(fork), noErr);
  EXPECT_EQ(FSCloseFork(fork), noErr);
  EXPECT_EQ(FSCloseFork(fork), rfNumErr);
  EXPECT_EQ(FSReadFork(fork, fsFromStart, 0, 1, buf, &done), rfNumErr);
  EXPECT_EQ(ReadFile(P("f")), "01ab");

  ASSERT_EQ(FSDeleteFork(&f, 0, nullptr), noErr);
  EXPECT_EQ(ReadFile(P("f")), "");

  std::vector<UniChar> rsrc = U("RESOURCE_FORK");
  EXPECT_EQ(FSOpenFork(&f, rsrc.size(), rsrc.data(), fsRdPerm, &fork), errFSForkNotFound);
  FSRef d = Ref(dir);
  EXPECT_EQ(FSOpenFork(&d, 0, nullptr, fsRdPerm, &fork), notAFileErr);
}

TEST_F(FilesTest, ReadOnlyFilesOpenForReadingOnly) {
  // Root writes through permission bits; a kernel attribute file refuses
  // writing to everyone.
  std::string path = P("ro");
  if (geteuid() == 0) {
    path = "/sys/devices/system/cpu/online";
    int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0 || errno != EACCES) {
      if (fd >= 0) close(fd);
      GTEST_SKIP() << "no read-only file for this user";
    }
  } else {
    WriteFile(path, "0\n");
    chmod(path.c_str(), 0444);
  }
  FSRef f = Ref(path);
  FSIORefNum fork;
  EXPECT_EQ(FSOpenFork(&f, 0, nullptr, fsRdWrPerm, &fork), permErr);
  EXPECT_EQ(FSOpenFork(&f, 0, nullptr, fsWrPerm, &fork), permErr);

  ASSERT_EQ(FSOpenFork(&f, 0, nullptr, fsRdPerm, &fork), noErr);
  char buf[64];
  ByteCount done = 0;
  OSErr err = FSReadFork(fork, fsFromStart, 0, sizeof buf, buf, &done);
  EXPECT_TRUE(err == noErr || err == eofErr);
  EXPECT_GT(done, 0u);
  EXPECT_EQ(FSWriteFork(fork, fsFromStart, 0, 1, "x", &done), wrPermErr);
  EXPECT_EQ(FSSetForkSize(fork, fsFromStart, 0), wrPermErr);
  EXPECT_EQ(FSCloseFork(fork), noErr);

  // Asking for whatever is allowed falls back to reading.
  ASSERT_EQ(FSOpenFork(&f, 0, nullptr, fsCurPerm, &fork), noErr);
  EXPECT_EQ(FSWriteFork(fork, fsFromStart, 0, 1, "x", &done), wrPermErr);
  EXPECT_EQ(FSCloseFork(fork), noErr);
}

// ---------------------------------------------------------------------------
// Listings

TEST_F(FilesTest, IteratorGivesEveryItemOnceThenNoMoreItems) {
  fs::create_directory(P("big"));
  std::set<std::string> expected;
  for (int i = 0; i < 1000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%04d", i);
    WriteFile(P("big/") + name, "");
    expected.insert(name);
  }
  FSRef big = Ref(P("big"));
  FSIterator it;
  ASSERT_EQ(FSOpenIterator(&big, kFSIterateFlat, &it), noErr);
  std::vector<std::string> seen;
  OSErr err = noErr;
  int calls = 0;
  while (err == noErr) {
    FSRef refs[10];
    HFSUniStr255 names[10];
    FSCatalogInfo infos[10];
    ItemCount n = 0;
    Boolean changed = true;
    err = FSGetCatalogInfoBulk(it, 10, &n, &changed, kFSCatInfoNodeFlags, infos, refs, nullptr, names);
    ++calls;
    EXPECT_FALSE(changed);
    EXPECT_EQ(n, 10u);
    for (ItemCount i = 0; i < n; ++i) {
      seen.push_back(NameOf(names[i]));
      EXPECT_EQ(infos[i].nodeFlags & kFSNodeIsDirectoryMask, 0);
      EXPECT_EQ(PathOf(refs[i]), P("big/") + seen.back());
    }
  }
  EXPECT_EQ(err, errFSNoMoreItems);  // with the last batch
  EXPECT_EQ(calls, 100);
  EXPECT_EQ(seen, std::vector<std::string>(expected.begin(), expected.end()));
  ItemCount n = 99;
  EXPECT_EQ(FSGetCatalogInfoBulk(it, 10, &n, nullptr, 0, nullptr, nullptr, nullptr, nullptr), errFSNoMoreItems);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(FSCloseIterator(it), noErr);
  EXPECT_EQ(FSCloseIterator(it), errFSIteratorNotFound);
}

TEST_F(FilesTest, IteratorReportsLinksAndChanges) {
  fs::create_directories(P("d/inner"));
  WriteFile(P("d/B.txt"), "");
  fs::create_symlink(P("d"), P("d/loop"));  // a link to a folder, here to its own
  FSRef d = Ref(P("d"));
  FSIterator it;
  ASSERT_EQ(FSOpenIterator(&d, kFSIterateFlat, &it), noErr);
  FSCatalogInfo infos[2];
  HFSUniStr255 names[2];
  ItemCount n = 0;
  Boolean changed = true;
  ASSERT_EQ(FSGetCatalogInfoBulk(it, 2, &n, &changed, kFSCatInfoNodeFlags, infos, nullptr, nullptr, names), noErr);
  EXPECT_FALSE(changed);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(NameOf(names[0]), "B.txt");  // letters without case
  EXPECT_EQ(NameOf(names[1]), "inner");
  EXPECT_NE(infos[1].nodeFlags & kFSNodeIsDirectoryMask, 0);

  WriteFile(P("d/new"), "");
  ASSERT_EQ(FSGetCatalogInfoBulk(it, 2, &n, &changed, kFSCatInfoNodeFlags, infos, nullptr, nullptr, names),
            errFSNoMoreItems);
  EXPECT_TRUE(changed);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(NameOf(names[0]), "loop");
  EXPECT_EQ(infos[0].nodeFlags & kFSNodeIsDirectoryMask, 0);  // never walked into
  EXPECT_EQ(FSCloseIterator(it), noErr);

  FSRef file = Ref(P("d/B.txt"));
  EXPECT_EQ(FSOpenIterator(&file, kFSIterateFlat, &it), errFSNotAFolder);
  EXPECT_EQ(FSOpenIterator(&d, kFSIterateSubtree, &it), errFSBadIteratorFlags);
}

// ---------------------------------------------------------------------------
// FSSpec, URLs and dates

TEST_F(FilesTest, FSSpecsNameItemsByFolderIDAndName) {
  fs::create_directory(P("Frameworks"));
  fs::create_directory(P("Frameworks/Ostrelle.bundle"));
  FSRef folder = Ref(P("Frameworks"));
  FSCatalogInfo info;
  ASSERT_EQ(FSGetCatalogInfo(&folder, kFSCatInfoVolume | kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr), noErr);

  FSSpec spec;
  ASSERT_EQ(FSMakeFSSpec(info.volume, SInt32(info.nodeID), "\x0FOstrelle.bundle"_s, &spec), noErr);
  SInt32 parID = spec.parID;  // a packed field: read it by value
  EXPECT_EQ(parID, SInt32(info.nodeID));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "Ostrelle.bundle");
  FSRef bundle;
  ASSERT_EQ(FSpMakeFSRef(&spec, &bundle), noErr);
  EXPECT_EQ(PathOf(bundle), P("Frameworks/Ostrelle.bundle"));

  EXPECT_EQ(FSMakeFSSpec(info.volume, SInt32(info.nodeID), "\x07Missing"_s, &spec), fnfErr);
  EXPECT_EQ(spec.name[0], 7);  // still good for creating it
  EXPECT_EQ(FSpMakeFSRef(&spec, &bundle), fnfErr);
  EXPECT_EQ(FSMakeFSSpec(info.volume, 0x7FFFFFF0, "\x01x"_s, &spec), dirNFErr);

  // The directory ID follows its folder through a rename.
  std::vector<UniChar> lib = U("Lib");
  ASSERT_EQ(FSRenameUnicode(&folder, lib.size(), lib.data(), 0, nullptr), noErr);
  ASSERT_EQ(FSMakeFSSpec(info.volume, SInt32(info.nodeID), "\x0FOstrelle.bundle"_s, &spec), noErr);
  ASSERT_EQ(FSpMakeFSRef(&spec, &bundle), noErr);
  EXPECT_EQ(PathOf(bundle), P("Lib/Ostrelle.bundle"));
}

TEST_F(FilesTest, URLsFromAndToRefs) {
  fs::create_directory(P("a b"));
  WriteFile(P("a b/f"), "");
  FSRef folder = Ref(P("a b")), file = Ref(P("a b/f"));
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &folder);
  ASSERT_NE(url, nullptr);
  EXPECT_TRUE(CFURLHasDirectoryPath(url));
  FSRef back;
  ASSERT_TRUE(CFURLGetFSRef(url, &back));
  EXPECT_EQ(FSCompareFSRefs(&back, &folder), noErr);
  CFRelease(url);

  url = CFURLCreateFromFSRef(nullptr, &file);
  ASSERT_NE(url, nullptr);
  EXPECT_FALSE(CFURLHasDirectoryPath(url));
  ASSERT_EQ(FSDeleteObject(&file), noErr);
  EXPECT_FALSE(CFURLGetFSRef(url, &back));
  EXPECT_EQ(CFURLCreateFromFSRef(nullptr, &file), nullptr);
  CFRelease(url);

  // Names with the characters a URL gives meaning to, bytes that are no
  // UTF-8, and a path far longer than a short string: each URL is GLib's for
  // the path, whole, and leads back to the item.
  std::string deep = P("deep");
  while (deep.size() < 600) deep += "/" + std::string(50, 'd');
  fs::create_directories(deep);
  for (const std::string& name : {std::string("#frag?q=1;x"), std::string("100% & more"),
                                  std::string("caf\xC3\xA9 \xFF\xFE"), deep.substr(dir.size() + 1) + "/end.html"}) {
    SCOPED_TRACE(name);
    WriteFile(P(name), "");
    FSRef item = Ref(P(name));
    url = CFURLCreateFromFSRef(nullptr, &item);
    ASSERT_NE(url, nullptr);
    gchar* expected = g_filename_to_uri(P(name).c_str(), nullptr, nullptr);
    EXPECT_EQ(UTF8(CFURLGetString(url)), expected);
    g_free(expected);
    ASSERT_TRUE(CFURLGetFSRef(url, &back));
    EXPECT_EQ(FSCompareFSRefs(&back, &item), noErr);
    CFRelease(url);
  }

  CFStringRef ftp = CFStringCreateWithCString(nullptr, "ftp://host/x", kCFStringEncodingUTF8);
  url = CFURLCreateWithString(nullptr, ftp, nullptr);
  ASSERT_NE(url, nullptr);
  EXPECT_FALSE(CFURLGetFSRef(url, &back));
  CFRelease(url);
  CFRelease(ftp);
}

TEST(FilesDates, UTCDateTimeConversions) {
  UTCDateTime d{};
  CFAbsoluteTime t = 0;
  // 2001-01-01 is 3061152000 seconds after 1904-01-01.
  ASSERT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(0.25, &d), noErr);
  EXPECT_EQ((UInt64(d.highSeconds) << 32) | d.lowSeconds, 3061152000u);
  EXPECT_EQ(d.fraction, 16384);
  ASSERT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(&d, &t), noErr);
  EXPECT_EQ(t, 0.25);
  // Past the 32-bit seconds.
  ASSERT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(2e9, &d), noErr);
  EXPECT_EQ(d.highSeconds, 1);
  ASSERT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(&d, &t), noErr);
  EXPECT_EQ(t, 2e9);

  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(-3061152001.0, &d), kUTCUnderflowErr);
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(3e14, &d), kUTCOverflowErr);
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(NAN, &d), paramErr);
  EXPECT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(nullptr, &t), paramErr);
}

}  // namespace
