// Whole files replaced at once: the bytes, the mode, the owner, the
// attributes and links survive; a failure leaves the original and nothing else.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "Files.h"

namespace {

namespace fs = std::filesystem;

void Put(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

OSStatus Write(const std::string& path, const std::string& data, int* err = nullptr) {
  return FSWriteFileAtomically(path.c_str(), data.data(), data.size(), err);
}

class AtomicWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/qv-atomic.XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
  }
  std::string dir;
};

TEST_F(AtomicWrite, ReplacesTheBytesAndKeepsTheMode) {
  struct Case {
    mode_t mode;
    std::string before, after;
  } cases[] = {
      {0755, "#!/bin/sh\necho old\n", "#!/bin/sh\necho new\n"},
      {0644, "<p>old</p>\n", "<p>new page, longer than before</p>\n"},
      {0600, "secret and long", ""},
      {0640, "", "from nothing"},
      {04751, "odd bits", "odd bits too"},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "/file";
    Put(path, c.before);
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(Write(path, c.after), noErr) << std::oct << c.mode;
    EXPECT_EQ(Get(path), c.after) << std::oct << c.mode;
    EXPECT_EQ(ModeOf(path), c.mode) << std::oct << c.mode;
    EXPECT_EQ(Names(dir), std::set<std::string>{"file"}) << "a temporary file was left";
    fs::remove(path);
  }
}

TEST_F(AtomicWrite, ANewFileGetsTheUsualModeLessTheUmask) {
  for (const mode_t mask : {mode_t(022), mode_t(027), mode_t(077)}) {
    const mode_t old = umask(mask);
    const std::string path = dir + "/new.html";
    const OSStatus status = Write(path, "<html>");
    umask(old);
    EXPECT_EQ(status, noErr);
    EXPECT_EQ(Get(path), "<html>");
    EXPECT_EQ(ModeOf(path), 0666 & ~mask) << std::oct << mask;
    fs::remove(path);
  }
}

TEST_F(AtomicWrite, ALinkIsWrittenThroughAndStaysALink) {
  fs::create_directory(dir + "/site");
  Put(dir + "/site/page.html", "old");
  chmod((dir + "/site/page.html").c_str(), 0644);
  struct Case {
    const char* link;
    const char* target;
  } cases[] = {{"relative", "site/page.html"}, {"absolute", nullptr}, {"chain", "relative"}};
  for (const Case& c : cases) {
    const std::string link = dir + "/" + c.link;
    fs::create_symlink(c.target != nullptr ? c.target : dir + "/site/page.html", link);
    EXPECT_EQ(Write(link, std::string("through ") + c.link), noErr) << c.link;
    EXPECT_TRUE(fs::is_symlink(link)) << c.link;
    EXPECT_EQ(Get(dir + "/site/page.html"), std::string("through ") + c.link);
    EXPECT_EQ(ModeOf(dir + "/site/page.html"), 0644u);
  }
  EXPECT_EQ(Names(dir + "/site"), std::set<std::string>{"page.html"});
  // A link to nothing yet makes its target.
  fs::create_symlink("site/later.html", dir + "/dangling");
  EXPECT_EQ(Write(dir + "/dangling", "made"), noErr);
  EXPECT_TRUE(fs::is_symlink(dir + "/dangling"));
  EXPECT_EQ(Get(dir + "/site/later.html"), "made");
  // A loop of links is refused, and nothing is made.
  fs::create_symlink("loop-b", dir + "/loop-a");
  fs::create_symlink("loop-a", dir + "/loop-b");
  EXPECT_NE(Write(dir + "/loop-a", "x"), noErr);
}

TEST_F(AtomicWrite, ExtendedAttributesGoWithTheContents) {
  const std::string path = dir + "/typed";
  Put(path, "old");
  const char info[] = "TEXTQrvl";
  if (setxattr(path.c_str(), "user.quorvel.finderinfo", info, 8, 0) != 0)
    GTEST_SKIP() << "this file system keeps no extended attributes";
  ASSERT_EQ(Write(path, "new"), noErr);
  char back[16] = {};
  EXPECT_EQ(getxattr(path.c_str(), "user.quorvel.finderinfo", back, sizeof back), 8);
  EXPECT_EQ(std::string(back, 8), "TEXTQrvl");
}

TEST_F(AtomicWrite, AsRootTheOwnerAndGroupStay) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const std::string path = dir + "/theirs";
  Put(path, "old");
  ASSERT_EQ(chown(path.c_str(), 4321, 8765), 0);
  ASSERT_EQ(Write(path, "new"), noErr);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 8765u);
}

// Each failure gives its own status, leaves the original whole and leaves no
// temporary file behind.
TEST_F(AtomicWrite, AFailureLeavesTheOriginalAndNoTemporary) {
  Put(dir + "/kept", "the original");
  fs::create_directory(dir + "/folder");
  EXPECT_EQ(Write(dir + "/folder", "x"), notAFileErr);
  EXPECT_TRUE(fs::is_directory(dir + "/folder"));
  EXPECT_EQ(Write(dir + "/missing/file", "x"), dirNFErr);
  EXPECT_EQ(Write(std::string(dir + "/") + std::string(300, 'n'), "x"), bdNamErr);
  EXPECT_EQ(FSWriteFileAtomically(nullptr, "x", 1), paramErr);

  // The file grows past what the process may write: the disk refuses it.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int err = 0;
  const OSStatus big = Write(dir + "/kept", std::string(100000, 'b'), &err);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(big, dskFulErr);
  EXPECT_EQ(err, EFBIG);
  EXPECT_EQ(Get(dir + "/kept"), "the original");
  EXPECT_EQ(Names(dir), (std::set<std::string>{"folder", "kept"}));
}

TEST_F(AtomicWrite, AFileOrFolderThatMayNotBeWrittenIsToldApart) {
  if (geteuid() == 0) GTEST_SKIP() << "root passes the permission checks";
  Put(dir + "/kept", "the original");
  chmod((dir + "/kept").c_str(), 0444);
  EXPECT_EQ(Write(dir + "/kept", "over"), wrPermErr);
  chmod((dir + "/kept").c_str(), 0644);
  chmod(dir.c_str(), 0555);
  EXPECT_EQ(Write(dir + "/kept", "over"), permErr);
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(Get(dir + "/kept"), "the original");
  EXPECT_EQ(Names(dir), std::set<std::string>{"kept"});
}

TEST_F(AtomicWrite, AFullOrReadOnlyDiskLeavesTheOriginalWhole) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string disk = dir + "/disk";
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs here";
  const std::string path = disk + "/page.html";
  const std::string original(40000, 'o');
  Put(path, original);
  int err = 0;
  const OSStatus status = Write(path, std::string(50000, 'n'), &err);
  const std::string after = Get(path);
  const std::set<std::string> names = Names(disk);
  // The same disk made read-only refuses even root.
  const bool readOnly = mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
  const OSStatus refused = readOnly ? Write(path, "short") : OSStatus(wPrErr);
  const std::string afterRefusal = Get(path);
  umount(disk.c_str());
  EXPECT_EQ(status, dskFulErr);
  EXPECT_EQ(err, ENOSPC);
  EXPECT_EQ(after, original);
  EXPECT_EQ(names, std::set<std::string>{"page.html"});
  EXPECT_EQ(refused, wPrErr);
  EXPECT_EQ(afterRefusal, original);
}

TEST_F(AtomicWrite, AnFSRefNamesTheFile) {
  const std::string path = dir + "/ref.txt";
  Put(path, "old");
  FSRef ref{};
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
  EXPECT_EQ(FSRefWriteFileAtomically(&ref, "new", 3), noErr);
  EXPECT_EQ(Get(path), "new");
  // A file deleted meanwhile is made again where it was.
  fs::remove(path);
  EXPECT_EQ(FSRefWriteFileAtomically(&ref, "again", 5), noErr);
  EXPECT_EQ(Get(path), "again");
  const FSRef none{};
  EXPECT_EQ(FSRefWriteFileAtomically(&none, "x", 1), errFSBadFSRef);
}

}  // namespace
