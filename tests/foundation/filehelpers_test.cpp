// The file-system helpers on real files in a scratch folder: paths, URLs and
// names, parents and children, creating, renaming and copying, whole data
// forks, listings and walks.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AppleEvents.h"
#include "CFArray.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

// Counts the locales this program makes; the C library's own newlocale
// does the work.
std::atomic<int> gLocalesMade{0};

extern "C" locale_t newlocale(int mask, const char* name, locale_t base) {
  using Real = locale_t (*)(int, const char*, locale_t);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "newlocale"));
  gLocalesMade.fetch_add(1);
  return real(mask, name, base);
}

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string BlockBytes(const void* block) {
  return std::string(static_cast<const char*>(block), size_t(GetPtrSize(static_cast<Ptr>(const_cast<void*>(block)))));
}

Ptr BlockOf(const std::string& bytes) {
  Ptr block = NewPtr(Size(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

CFStringRef UTF8(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

bool IsZero(const FSRef& ref) {
  static const FSRef zero{};
  return std::memcmp(&ref, &zero, sizeof ref) == 0;
}

bool Same(const FSRef& a, const FSRef& b) { return FSCompareFSRefs(&a, &b) == noErr; }

// A read-only file of this system for the running user (root writes through
// permission bits, but not to a kernel attribute file); empty when none.
std::string ReadOnlyFile(const std::string& scratch) {
  if (geteuid() != 0) {
    WriteFile(scratch, "0\n");
    chmod(scratch.c_str(), 0444);
    return scratch;
  }
  const std::string path = "/sys/devices/system/cpu/online";
  const int fd = open(path.c_str(), O_RDWR);
  if (fd >= 0) close(fd);
  return fd < 0 && errno == EACCES ? path : std::string();
}

// The main bundle of this test program: a bundle of our own in the scratch
// folder, named before anything asks for it.
struct TestBundle {
  TestBundle() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bundle-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    const std::string contents = root + "/Quorvel.app/Contents";
    fs::create_directories(contents + "/Resources/Templates");
    fs::create_directories(contents + "/SharedSupport");
    WriteFile(contents + "/Resources/Templates/page.html", "<html>");
    WriteFile(contents + "/Resources/top.txt", "top");
    WriteFile(contents + "/SharedSupport/tidy", "#!/bin/sh");
    setenv("QUORVEL_BUNDLE", (root + "/Quorvel.app").c_str(), 1);
  }
  ~TestBundle() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
  std::string root;
} gTestBundle;

class FileHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fh-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    ASSERT_LT(dir.size(), 150u) << "the scratch folder's path must leave room for the tests' names";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::string P(const std::string& rel) const { return dir + "/" + rel; }
  FSRef Ref(const std::string& path) const {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }

  std::string dir;
};

// ---------------------------------------------------------------------------
// Pure path arithmetic

TEST(FileHelpersPaths, MergeFilePath) {
  struct Case {
    const char* name;
    const char* path;
    const char* base;
    const char* expected;
  } cases[] = {
      {"a.txt", "./inc", "/srv", "/srv/inc/a.txt"},
      {"a.txt", "./inc", "#x", "/inc/a.txt"},
      {"a.txt", "./inc", "", "/inc/a.txt"},
      {"a.txt", "lib", "/srv", "lib/a.txt"},
      {"a.txt", "/abs/lib", "/srv", "/abs/lib/a.txt"},
      {"a.txt", ".", "/srv", "/srv/a.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(FSMergeFilePath(c.name, c.path, c.base).str(), c.expected) << c.path;

  // A merge that does not fit is no path at all, rather than a cut one.
  const Str255 longBase(std::string(200, 'b'));
  EXPECT_TRUE(FSMergeFilePath(Str63(std::string(40, 'n')), Str255("./" + std::string(20, 'p')), longBase).empty());
  EXPECT_EQ(FSMergeFilePath("n", "./p", Str255(std::string(251, 'b'))).len(), 255);
}

TEST(FileHelpersPaths, ExplodePath) {
  struct Case {
    const char* path;
    std::vector<std::string> components;  // empty: nil
  } cases[] = {
      {"/Users/me/file", {"/Users", "me", "file"}},
      {"/Users/me/", {"/Users", "me"}},
      {"a//b", {"a", "", "b"}},
      {"rel/x", {"rel", "x"}},
      {"file", {}},
      {"/file", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    CFArrayRef array = FSExplodePath(c.path);
    if (c.components.empty()) {
      EXPECT_EQ(array, nullptr) << c.path;
      continue;
    }
    ASSERT_NE(array, nullptr) << c.path;
    std::vector<std::string> got;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
      got.push_back(PCFSTR(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i))).str());
    EXPECT_EQ(got, c.components) << c.path;
    CFRelease(array);
  }
}

// ---------------------------------------------------------------------------
// References, paths, URLs and names

TEST_F(FileHelpersTest, PathsAndURLsRoundTrip) {
  WriteFile(P("my file.txt"), "x");
  const Str255 path(P("my file.txt"));
  FSRef ref;
  ASSERT_TRUE(FSGetPathRef(path, ref));
  EXPECT_EQ(FSGetFullPath(ref), path);
  EXPECT_EQ(FSGetParentPath(ref).str(), dir);
  EXPECT_TRUE(Same(FSGetPathRef2(path), ref));

  const std::string url = FSGetURL(ref).str();
  EXPECT_EQ(url, "file://" + dir + "/my%20file.txt");
  FSRef back;
  ASSERT_TRUE(FSGetURLRef(Str255(url), back));
  EXPECT_TRUE(Same(back, ref));

  // UTF-8 bytes, white space escaped, exactly as long as the text.
  Ptr furl = FSCreateFURL(ref);
  ASSERT_NE(furl, nullptr);
  EXPECT_EQ(BlockBytes(furl), url);
  ReleasePtr(furl);

  // Missing items and non-URLs.
  EXPECT_FALSE(FSGetPathRef(Str255(P("missing")), ref));
  EXPECT_TRUE(IsZero(ref));
  EXPECT_TRUE(IsZero(FSGetPathRef2(Str255(P("missing")))));
  EXPECT_FALSE(FSGetPathRef("", ref));
  EXPECT_FALSE(FSGetPathRef(Str255(std::string_view("/tmp\0/x", 7)), ref));
  EXPECT_FALSE(FSGetURLRef("not a url", ref));
  EXPECT_FALSE(FSGetURLRef(Str255("file://" + dir + "/missing"), ref));
  const FSRef none{};
  EXPECT_TRUE(FSGetFullPath(none).empty());
  EXPECT_TRUE(FSGetURL(none).empty());
  EXPECT_EQ(FSCreateFURL(none), nullptr);
}

TEST_F(FileHelpersTest, NamesAndPathsThatDoNotFitFailInsteadOfBeingCut) {
  // A path of more than 254 characters: every helper that would cut it fails.
  std::string deep = dir;
  while (deep.size() < 300) deep += "/" + std::string(40, 'd');
  fs::create_directories(deep);
  const std::string longName = std::string(70, 'n') + ".txt";
  WriteFile(deep + "/" + longName, "x");
  const FSRef file = Ref(deep + "/" + longName);
  EXPECT_TRUE(FSGetFullPath(file).empty());
  EXPECT_TRUE(FSGetParentPath(file).empty());
  EXPECT_TRUE(FSGetURL(file).empty());
  // The whole-length form gives the URL all the same.
  CFStringRef whole = FSCopyURLString(file);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(CFStringGetLength(whole), CFIndex(std::string("file://").size() + deep.size() + 1 + longName.size()));
  FSRef wholeBack;
  CFURLRef wholeURL = CFURLCreateWithString(nullptr, whole, nullptr);
  ASSERT_TRUE(CFURLGetFSRef(wholeURL, &wholeBack));
  EXPECT_TRUE(Same(wholeBack, file));
  CFRelease(wholeURL);
  CFRelease(whole);
  Err = noErr;
  EXPECT_TRUE(FSGetActualName(file).empty());
  EXPECT_EQ(Err, bdNamErr);

  // A name that Mac Roman cannot hold: no name and no path, but the URL
  // (escaped) still names it.
  const std::string foreign = P("\xE6\x97\xA5\xE6\x9C\xAC.txt");  // two CJK characters
  WriteFile(foreign, "x");
  const FSRef other = Ref(foreign);
  Err = noErr;
  EXPECT_TRUE(FSGetActualName(other).empty());
  EXPECT_EQ(Err, bdNamErr);
  EXPECT_TRUE(FSGetFullPath(other).empty());
  FSRef back;
  ASSERT_TRUE(FSGetURLRef(FSGetURL(other), back));
  EXPECT_TRUE(Same(back, other));

  // A 63-character name fits; Mac Roman accents convert.
  const std::string name63 = std::string(59, 'a') + ".txt";
  WriteFile(P(name63), "");
  EXPECT_EQ(FSGetActualName(Ref(P(name63))).str(), name63);
  WriteFile(P("caf\xC3\xA9"), "");
  EXPECT_EQ(FSGetActualName(Ref(P("caf\xC3\xA9"))).str(), "caf\x8E");
  EXPECT_EQ(Err, noErr);
}

TEST_F(FileHelpersTest, ValidityExistenceAndFolders) {
  WriteFile(P("f"), "");
  fs::create_directory(P("d"));
  fs::create_directory_symlink(P("d"), P("link"));
  const FSRef none{};
  const FSRef f = Ref(P("f"));

  EXPECT_FALSE(FSValidFSRef(none));
  EXPECT_TRUE(FSValidFSRef(f));
  EXPECT_TRUE(FSRefExists(f));
  EXPECT_EQ(Err, noErr);
  EXPECT_FALSE(FSRefExists(none));
  EXPECT_NE(Err, noErr);

  EXPECT_TRUE(FSIsFolder(Ref(P("d"))));
  EXPECT_FALSE(FSIsFolder(f));
  EXPECT_FALSE(FSIsFolder(Ref(P("link"))));  // a link is an item, not a folder
  EXPECT_FALSE(FSIsFolder(none));

  fs::remove(P("f"));
  EXPECT_TRUE(FSValidFSRef(f));  // still set, but ...
  EXPECT_FALSE(FSRefExists(f));  // ... names nothing now
  EXPECT_EQ(Err, fnfErr);
}

TEST_F(FileHelpersTest, ParentsAndChildren) {
  fs::create_directories(P("a/b"));
  WriteFile(P("a/b/c.txt"), "");
  const FSRef c = Ref(P("a/b/c.txt"));
  EXPECT_TRUE(Same(FSGetParent(c), Ref(P("a/b"))));
  EXPECT_TRUE(Same(FSGetParentAtIndex(c, 0), c));
  EXPECT_TRUE(Same(FSGetParentAtIndex(c, -3), c));
  EXPECT_TRUE(Same(FSGetParentAtIndex(c, 2), Ref(P("a"))));
  const FSRef root = Ref("/");
  EXPECT_TRUE(IsZero(FSGetParent(root)));
  EXPECT_NE(Err, noErr);

  const FSRef a = Ref(P("a"));
  FSRef found;
  EXPECT_EQ(FSGetSubFolder(a, "b", found), noErr);
  EXPECT_TRUE(Same(found, Ref(P("a/b"))));
  EXPECT_EQ(FSGetSubFolder(a, "b/c.txt", found), noErr);  // a relative path
  EXPECT_TRUE(Same(found, c));
  // Missing items, and names that would lead out of the folder.
  for (const Str255& name : {Str255("missing"), Str255(""), Str255(".."), Str255("b/../.."), Str255("../a"),
                             Str255(std::string_view("b\0", 2))}) {
    EXPECT_EQ(FSGetSubFolder(a, name, found), fnfErr) << name.str();
    EXPECT_TRUE(IsZero(found)) << name.str();
  }
  EXPECT_EQ(FSGetSubFolder(c, "x", found), fnfErr);  // a file holds nothing

  // An item of a system folder: one made in the temporary items folder.
  FSRef temporary;
  ASSERT_EQ(FSFindFolder(kOnSystemDisk, kTemporaryFolderType, kCreateFolder, &temporary), noErr);
  const std::string item = FSGetFullPath(temporary).str() + "/fh-item";
  WriteFile(item, "");
  EXPECT_TRUE(Same(FSGetFileFromFolder("fh-item", kTemporaryFolderType), Ref(item)));
  EXPECT_EQ(Err, noErr);
  fs::remove(item);
  EXPECT_TRUE(IsZero(FSGetFileFromFolder("missing-item", kTemporaryFolderType)));
  EXPECT_TRUE(IsZero(FSGetFileFromFolder("x", 'none')));
  EXPECT_NE(Err, noErr);
}

TEST_F(FileHelpersTest, BundlePlaces) {
  const std::string contents = fs::canonical(gTestBundle.root).string() + "/Quorvel.app/Contents";
  FSRef ref;
  EXPECT_EQ(FSGetResourceFile("page.html", "Templates", ref), noErr);
  EXPECT_EQ(FSGetFullPath(ref).str(), contents + "/Resources/Templates/page.html");
  EXPECT_EQ(FSGetResourceFile("top.txt", "", ref), noErr);
  EXPECT_EQ(FSGetFullPath(ref).str(), contents + "/Resources/top.txt");
  EXPECT_EQ(FSGetSharedSupportFile("tidy", ref), noErr);
  EXPECT_EQ(FSGetFullPath(ref).str(), contents + "/SharedSupport/tidy");
  // Missing, and climbing out of the bundle's folders.
  const std::pair<Str63, Str63> missing[] = {
      {"nothing.html", "Templates"}, {"page.html", "Nowhere"}, {"../Info.plist", ""}, {"top.txt", "../Resources"}};
  for (const auto& [name, folder] : missing) {
    EXPECT_EQ(FSGetResourceFile(name, folder, ref), fnfErr) << name.str();
    EXPECT_TRUE(IsZero(ref));
  }
  EXPECT_EQ(FSGetSharedSupportFile("missing", ref), fnfErr);
  EXPECT_EQ(FSGetSharedSupportFile("../Info.plist", ref), fnfErr);
  EXPECT_TRUE(IsZero(ref));
}

TEST_F(FileHelpersTest, DisplayNamesExtensionsAndDates) {
  WriteFile(P("my file.txt"), "");
  const FSRef file = Ref(P("my file.txt"));
  EXPECT_EQ(FSGetDisplayName(file).str(), "my file.txt");
  EXPECT_EQ(FSGetExtension(file).str(), "txt");
  EXPECT_EQ(Err, noErr);
  WriteFile(P("Makefile"), "");
  EXPECT_TRUE(FSGetExtension(Ref(P("Makefile"))).empty());
  EXPECT_EQ(Err, noErr);
  // Too long for their short strings: empty, not cut.
  const std::string longExtension = "a." + std::string(16, 'e');
  WriteFile(P(longExtension), "");
  EXPECT_TRUE(FSGetExtension(Ref(P(longExtension))).empty());
  EXPECT_EQ(Err, bdNamErr);
  // Names a short string cannot hold are shown shortened, their start and
  // extension kept, and given whole by FSGetFullName.
  struct Shown {
    std::string name;
    std::string shown;
  };
  const Shown shown[] = {
      {std::string(96, 'n') + ".php", std::string(40, 'n') + "\xC9" + std::string(18, 'n') + ".php"},
      {"\xD0\x9F\xD1\x80\xD0\xB8.php", "???.php"},
  };
  for (const Shown& c : shown) {
    WriteFile(P(c.name), "");
    EXPECT_EQ(FSGetDisplayName(Ref(P(c.name))).str(), c.shown);
    EXPECT_EQ(Err, noErr);
    EXPECT_EQ(FSGetFullName(Ref(P(c.name))), c.name);
  }
  const FSRef none{};
  EXPECT_TRUE(FSGetDisplayName(none).empty());
  EXPECT_NE(Err, noErr);
  EXPECT_TRUE(FSGetExtension(none).empty());
  EXPECT_NE(Err, noErr);

  // The modification date as text: it follows the file's changes.
  fs::last_write_time(P("my file.txt"), fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  const std::string before = FSGetModifiedFileDate(file).str();
  EXPECT_EQ(Err, noErr);
  EXPECT_FALSE(before.empty());
  fs::last_write_time(P("my file.txt"), fs::file_time_type::clock::now());
  const std::string after = FSGetModifiedFileDate(file).str();
  EXPECT_FALSE(after.empty());
  EXPECT_NE(before, after);
  EXPECT_TRUE(FSGetModifiedFileDate(none).empty());
  EXPECT_NE(Err, noErr);
  // An index asks for thousands of dates: the locale is not made again for each.
  const int made = gLocalesMade.load();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(FSGetModifiedFileDate(file).str(), after);
  EXPECT_EQ(gLocalesMade.load(), made);
}

// ---------------------------------------------------------------------------
// Creating and changing items

TEST_F(FileHelpersTest, CreateFolder) {
  const FSRef parent = Ref(dir);
  CFStringRef name = UTF8("new folder");
  FSRef made;
  EXPECT_EQ(FSCreateFolder(name, parent, made), noErr);
  EXPECT_TRUE(fs::is_directory(P("new folder")));
  FSRef again;
  EXPECT_EQ(FSCreateFolder(name, parent, again), noErr);  // exists: found, not made
  EXPECT_TRUE(Same(again, made));
  CFRelease(name);

  // A file under the name is no folder; a link to a folder is one.
  WriteFile(P("plain"), "keep");
  CFStringRef plain = UTF8("plain");
  EXPECT_EQ(FSCreateFolder(plain, parent, made), dupFNErr);
  EXPECT_EQ(Err, dupFNErr);
  EXPECT_TRUE(IsZero(made));
  EXPECT_EQ(ReadFile(P("plain")), "keep");
  CFRelease(plain);
  fs::create_directory_symlink(P("new folder"), P("linked"));
  CFStringRef linked = UTF8("linked");
  EXPECT_EQ(FSCreateFolder(linked, parent, made), noErr);
  CFRelease(linked);

  CFStringRef bad = UTF8("a/b");
  EXPECT_NE(FSCreateFolder(bad, parent, made), noErr);
  CFRelease(bad);
  EXPECT_EQ(FSCreateFolder(nullptr, parent, made), paramErr);
}

TEST_F(FileHelpersTest, CreateFileSetsCodesOnlyWhenItMakesTheFile) {
  const FSRef parent = Ref(dir);
  auto codes = [](const FSRef& ref) {
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
    FileInfo finder;
    std::memcpy(&finder, info.finderInfo, sizeof finder);
    return std::make_pair(finder.fileType, finder.fileCreator);
  };
  CFStringRef name = UTF8("doc.txt");
  FSRef made;
  ASSERT_EQ(FSCreateFile(name, parent, 'TEXT', 'Qrvl', made), noErr);
  EXPECT_TRUE(fs::is_regular_file(P("doc.txt")));
  const bool xattrs = setxattr(P("doc.txt").c_str(), "user.probe", "1", 1, 0) == 0 || errno != ENOTSUP;
  if (xattrs) {
    EXPECT_EQ(codes(made), std::make_pair(OSType('TEXT'), OSType('Qrvl')));
  }

  WriteFile(P("doc.txt"), "contents");
  FSRef again;
  EXPECT_EQ(FSCreateFile(name, parent, 'XXXX', 'YYYY', again), noErr);
  EXPECT_TRUE(Same(again, made));
  EXPECT_EQ(ReadFile(P("doc.txt")), "contents");
  if (xattrs) {
    EXPECT_EQ(codes(again), std::make_pair(OSType('TEXT'), OSType('Qrvl')));
  }
  CFRelease(name);

  fs::create_directory(P("folder"));
  CFStringRef folder = UTF8("folder");
  EXPECT_EQ(FSCreateFile(folder, parent, 'TEXT', FOUR_CHAR_CODE("????"), made), notAFileErr);
  EXPECT_TRUE(IsZero(made));
  CFRelease(folder);
  const FSRef none{};
  CFStringRef x = UTF8("x");
  EXPECT_NE(FSCreateFile(x, none, 'TEXT', FOUR_CHAR_CODE("????"), made), noErr);
  CFRelease(x);
}

TEST_F(FileHelpersTest, RenameAndCopy) {
  WriteFile(P("old.txt"), "data");
  FSRef ref = Ref(P("old.txt"));
  Err = 12345;
  // Mac Roman characters become their own characters on disk ("é" is 0x8E).
  EXPECT_EQ(FSRename(ref, "caf\x8E.txt"), noErr);
  EXPECT_EQ(Err, 12345);  // left alone
  EXPECT_TRUE(fs::exists(P("caf\xC3\xA9.txt")));
  EXPECT_EQ(FSGetFullPath(ref).str(), P("caf\x8E.txt"));
  WriteFile(P("taken"), "");
  EXPECT_EQ(FSRename(ref, "taken"), dupFNErr);
  EXPECT_TRUE(fs::exists(P("caf\xC3\xA9.txt")));

  fs::create_directory(P("dest"));
  FSRef copy;
  EXPECT_EQ(FSCopyToPath(ref, "copy.txt", Str255(P("dest")), copy), noErr);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(ReadFile(P("dest/copy.txt")), "data");
  EXPECT_EQ(FSGetFullPath(copy).str(), P("dest/copy.txt"));
  EXPECT_EQ(FSCopyToPath(ref, "copy.txt", Str255(P("dest")), copy), dupFNErr);
  EXPECT_EQ(FSCopyToPath(ref, "x.txt", Str255(P("nowhere")), copy), -1);
  EXPECT_EQ(Err, -1);
  EXPECT_TRUE(IsZero(copy));
}

TEST_F(FileHelpersTest, RevealAsksTheFileManager) {
  WriteFile(P("shown.txt"), "");
  HeadlessClearRevealRequests();
  EXPECT_EQ(FSRevealFile(Ref(P("shown.txt"))), noErr);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(HeadlessCopyRevealRequests(), std::vector<std::string>{P("shown.txt")});
  HeadlessClearRevealRequests();
  EXPECT_NE(FSRevealFile(FSRef{}), noErr);
  EXPECT_NE(Err, noErr);
  EXPECT_TRUE(HeadlessCopyRevealRequests().empty());
}

// ---------------------------------------------------------------------------
// Data forks

TEST_F(FileHelpersTest, ReadDataFork) {
  WriteFile(P("empty"), "");
  Ptr block = FSReadDataFork(Ref(P("empty")));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GetPtrSize(block), 0);
  EXPECT_EQ(Err, noErr);
  ReleasePtr(block);

  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7);
  WriteFile(P("data"), data);
  block = FSReadDataFork(Ref(P("data")));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(BlockBytes(block), data);
  ReleasePtr(block);

  fs::create_directory(P("folder"));
  EXPECT_EQ(FSReadDataFork(Ref(P("folder"))), nullptr);
  EXPECT_NE(Err, noErr);
  const FSRef none{};
  EXPECT_EQ(FSReadDataFork(none), nullptr);
  EXPECT_NE(Err, noErr);
  fs::create_symlink(P("gone"), P("dangling"));
  EXPECT_EQ(FSReadDataFork(Ref(P("dangling"))), nullptr);
  EXPECT_NE(Err, noErr);
}

TEST_F(FileHelpersTest, WriteDataForkReplacesTheContents) {
  WriteFile(P("f"), std::string(100, 'x'));
  const FSRef f = Ref(P("f"));
  Ptr block = BlockOf("0123456789");
  EXPECT_EQ(FSWriteDataFork(f, block), noErr);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(ReadFile(P("f")), "0123456789");
  Ptr empty = NewPtr(0);
  EXPECT_EQ(FSWriteDataFork(f, empty), noErr);
  EXPECT_EQ(ReadFile(P("f")), "");
  ReleasePtr(empty);

  // Something that is no memory block is refused before the file is touched
  // (its size would read as 0 and empty the file).
  WriteFile(P("f"), "keep");
  char stack[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(FSWriteDataFork(f, stack), paramErr);
  EXPECT_EQ(FSWriteDataFork(f, block + 1), paramErr);
  EXPECT_EQ(FSWriteDataFork(f, nullptr), paramErr);
  EXPECT_EQ(ReadFile(P("f")), "keep");

  fs::create_directory(P("folder"));
  EXPECT_NE(FSWriteDataFork(Ref(P("folder")), block), noErr);
  ReleasePtr(block);
}

TEST_F(FileHelpersTest, WriteDataForkReportsTheFailureNotTheClose) {
  // A device that refuses every write: the open and the close succeed.
  FSRef full{};
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>("/dev/full"), &full, nullptr) != noErr)
    GTEST_SKIP() << "no /dev/full";
  Ptr block = BlockOf("data");
  const OSStatus status = FSWriteDataFork(full, block);
  EXPECT_NE(status, noErr);
  EXPECT_EQ(Err, status);
  ReleasePtr(block);

  const std::string readOnly = ReadOnlyFile(P("ro"));
  if (readOnly.empty()) return;
  const std::string before = ReadFile(readOnly);
  block = BlockOf("changed");
  EXPECT_NE(FSWriteDataFork(Ref(readOnly), block), noErr);
  EXPECT_EQ(ReadFile(readOnly), before);
  ReleasePtr(block);
}

// ---------------------------------------------------------------------------
// Listings and walks

TEST_F(FileHelpersTest, DirectoryItems) {
  fs::create_directory(P("list"));
  std::set<std::string> names;
  for (int i = 0; i < 25; ++i) {
    const std::string name = "item" + std::to_string(i);
    WriteFile(P("list/" + name), "");
    names.insert(name);
  }
  fs::create_directory(P("list/sub"));
  names.insert("sub");

  FSRefHandle items = nullptr;
  UInt32 count = 99;
  Boolean changed = true;
  ASSERT_EQ(FSGetDirectoryItems(Ref(P("list")), items, count, changed), noErr);
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(count, names.size());
  EXPECT_FALSE(changed);
  EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(items)), Size(count * sizeof(FSRef)));
  std::set<std::string> listed;
  for (UInt32 i = 0; i < count; ++i) listed.insert(FSGetActualName((*items)[i]).str());
  EXPECT_EQ(listed, names);
  DisposeHandle(reinterpret_cast<Handle>(items));

  fs::create_directory(P("empty"));
  ASSERT_EQ(FSGetDirectoryItems(Ref(P("empty")), items, count, changed), noErr);
  EXPECT_EQ(count, 0u);
  DisposeHandle(reinterpret_cast<Handle>(items));

  // Not a folder, or nothing at all: the error, no handle, no count.
  for (const FSRef& bad : {Ref(P("list/item0")), FSRef{}}) {
    count = 5;
    EXPECT_NE(FSGetDirectoryItems(bad, items, count, changed), noErr);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(count, 0u);
  }
}

struct Walk {
  std::vector<std::string> seen;  // names, "/" after a folder's
  std::string stopAt;
};

void Record(const FSRef& item, Boolean isFolder, Boolean& stop, void* userData) {
  auto* walk = static_cast<Walk*>(userData);
  const std::string name = FSGetActualName(item).str();
  walk->seen.push_back(name + (isFolder ? "/" : ""));
  if (name == walk->stopAt) stop = true;
}

TEST_F(FileHelpersTest, IterateContainerStopsOnlyTheCurrentFolder) {
  // top/{a, m/{n1, n2, n3}, z} in name order.
  fs::create_directories(P("top/m"));
  for (const char* f : {"top/a", "top/z", "top/m/n1", "top/m/n2", "top/m/n3"}) WriteFile(P(f), "");

  Walk all;
  EXPECT_EQ(FSIterateContainer(Ref(P("top")), Record, &all), noErr);
  EXPECT_EQ(all.seen, (std::vector<std::string>{"a", "m/", "n1", "n2", "n3", "z"}));

  Walk stopped;
  stopped.stopAt = "n2";
  EXPECT_EQ(FSIterateContainer(Ref(P("top")), Record, &stopped), noErr);
  EXPECT_EQ(stopped.seen, (std::vector<std::string>{"a", "m/", "n1", "n2", "z"}));

  // Stopping at a folder skips its contents only.
  Walk skip;
  skip.stopAt = "m";
  EXPECT_EQ(FSIterateContainer(Ref(P("top")), Record, &skip), noErr);
  EXPECT_EQ(skip.seen, (std::vector<std::string>{"a", "m/"}));

  // A file, or nothing: the error.
  EXPECT_NE(FSIterateContainer(Ref(P("top/a")), Record, &all), noErr);
  EXPECT_NE(FSIterateContainer(FSRef{}, Record, &all), noErr);
}

TEST_F(FileHelpersTest, IterateContainerNeverFollowsLinks) {
  // A link back to the top would make an endless walk if it were followed.
  fs::create_directories(P("top/sub"));
  WriteFile(P("top/sub/f"), "");
  fs::create_directory_symlink(P("top"), P("top/sub/loop"));
  fs::create_symlink(P("nowhere"), P("top/dangling"));
  Walk walk;
  EXPECT_EQ(FSIterateContainer(Ref(P("top")), Record, &walk), noErr);
  EXPECT_EQ(walk.seen, (std::vector<std::string>{"dangling", "sub/", "f", "loop"}));
}

// ---------------------------------------------------------------------------
// Finding a file along search paths

TEST_F(FileHelpersTest, ResolveFileTakesTheFirstExistingCandidate) {
  fs::create_directories(P("one/inc"));
  fs::create_directories(P("two/inc"));
  fs::create_directories(P("abs"));
  WriteFile(P("two/inc/a.php"), "");
  WriteFile(P("abs/a.php"), "");
  WriteFile(P("one/inc/b.php"), "");

  CFMutableDictionaryRef paths =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  auto add = [&](const std::string& base, std::vector<std::string> searchPaths) {
    CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (const std::string& p : searchPaths) {
      CFStringRef s = UTF8(p);
      CFArrayAppendValue(list, s);
      CFRelease(s);
    }
    CFStringRef key = UTF8(base);
    CFDictionarySetValue(paths, key, list);
    CFRelease(key);
    CFRelease(list);
  };
  add(P("one"), {"./missing", "./inc"});
  add(P("two"), {"./inc", P("abs")});

  FSRef found;
  EXPECT_TRUE(FSResolveFile("a.php", found, paths));
  EXPECT_TRUE(Same(found, Ref(P("two/inc/a.php"))));
  EXPECT_TRUE(FSResolveFile("b.php", found, paths));
  EXPECT_TRUE(Same(found, Ref(P("one/inc/b.php"))));
  EXPECT_FALSE(FSResolveFile("c.php", found, paths));
  EXPECT_TRUE(IsZero(found));
  EXPECT_FALSE(FSResolveFile("", found, paths));
  EXPECT_FALSE(FSResolveFile("a.php", found, nullptr));

  // Entries of the wrong type are passed over.
  CFMutableDictionaryRef odd =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef key = UTF8(P("two"));
  CFStringRef notAnArray = UTF8("./inc");
  CFDictionarySetValue(odd, key, notAnArray);
  CFDictionarySetValue(odd, notAnArray, paths);
  EXPECT_FALSE(FSResolveFile("a.php", found, odd));
  CFRelease(key);
  CFRelease(notAnArray);
  CFRelease(odd);
  CFRelease(paths);
}

}  // namespace
