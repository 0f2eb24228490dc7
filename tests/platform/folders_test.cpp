#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Files.h"
#include "FilesInternal.h"
#include "Folders.h"

namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/folders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    ASSERT_TRUE(files::NormalizePath(pattern, &root));
    setenv("HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    fs::create_directory(root + "/home");
    files::RegistryReload();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // The folder's path, or the status.
  std::string Find(OSType type, Boolean create, OSErr* status = nullptr) {
    FSRef ref;
    OSErr err = FSFindFolder(kOnSystemDisk, type, create, &ref);
    if (status) *status = err;
    if (err != noErr) return "";
    UInt8 path[4096];
    EXPECT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
    Boolean alias = true, folder = false;
    EXPECT_EQ(FSIsAliasFile(&ref, &alias, &folder), noErr);
    EXPECT_TRUE(folder);
    return reinterpret_cast<char*>(path);
  }

  std::string root;
};

TEST_F(FoldersTest, EachTypeMapsToItsPlaceAndIsMadeOnlyWhenAsked) {
  struct Case {
    OSType type;
    std::string place;
  } cases[] = {
      {kPreferencesFolderType, "/config/Quorvel"},
      {kApplicationSupportFolderType, "/data"},
      {kLogsFolderType, "/state/Quorvel"},
      {kDesktopFolderType, "/home/Desktop"},
      {kDocumentsFolderType, "/home/Documents"},
      {kInternetSitesFolderType, "/home/public_html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.place);
    fs::remove_all(root + c.place);
    OSErr err;
    EXPECT_EQ(Find(c.type, kDontCreateFolder, &err), "");
    EXPECT_EQ(err, fnfErr);
    EXPECT_FALSE(fs::exists(root + c.place));
    EXPECT_EQ(Find(c.type, kCreateFolder), root + c.place);
    EXPECT_EQ(Find(c.type, kDontCreateFolder), root + c.place);
  }
  EXPECT_EQ(Find(kCurrentUserFolderType, kDontCreateFolder), root + "/home");
  EXPECT_EQ(Find('home', kDontCreateFolder), root + "/home");

  OSErr err;
  Find('zzzz', kCreateFolder, &err);
  EXPECT_EQ(err, fnfErr);
  // The home folder is never made.
  setenv("HOME", (root + "/nobody").c_str(), 1);
  Find(kCurrentUserFolderType, kCreateFolder, &err);
  EXPECT_EQ(err, fnfErr);
  EXPECT_FALSE(fs::exists(root + "/nobody"));
}

TEST_F(FoldersTest, PlacesFollowTheEnvironmentAndUserDirs) {
  // Unset or relative XDG variables fall back to the home folder.
  unsetenv("XDG_CONFIG_HOME");
  setenv("XDG_DATA_HOME", "relative/data", 1);
  EXPECT_EQ(Find(kPreferencesFolderType, kCreateFolder), root + "/home/.config/Quorvel");
  EXPECT_EQ(Find(kApplicationSupportFolderType, kCreateFolder), root + "/home/.local/share");

  // The desktop and documents folders come from user-dirs.dirs.
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  fs::create_directories(root + "/config");
  std::ofstream(root + "/config/user-dirs.dirs") << "# written by a test\n"
                                                  << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                  << "XDG_DOCUMENTS_DIR=\"" << root << "/docs\"\n";
  EXPECT_EQ(Find(kDesktopFolderType, kCreateFolder), root + "/home/Schreibtisch");
  EXPECT_EQ(Find(kDocumentsFolderType, kCreateFolder), root + "/docs");

  // A place that is a link to a folder is given as that folder.
  fs::create_directories(root + "/www");
  fs::create_directory_symlink(root + "/www", root + "/home/public_html");
  EXPECT_EQ(Find(kInternetSitesFolderType, kDontCreateFolder), root + "/www");

  // A file where the folder should be is no folder.
  std::ofstream(root + "/config/Quorvel") << "x";
  OSErr err;
  Find(kPreferencesFolderType, kCreateFolder, &err);
  EXPECT_EQ(err, errFSNotAFolder);
}

TEST_F(FoldersTest, TemporaryItemsLiveInAFolderOfTheUserAlone) {
  const std::string uid = std::to_string(geteuid());
  auto privateFolder = [](const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 0777) == 0700;
  };
  // Made whenever asked for, under $TMPDIR, and both types name it.
  const std::string mine = root + "/tmp/quorvel-" + uid;
  EXPECT_EQ(Find(kTemporaryFolderType, kDontCreateFolder), mine);
  EXPECT_TRUE(privateFolder(mine));
  EXPECT_EQ(Find('chew', kDontCreateFolder), mine);
  // Rights that others were given are taken back.
  chmod(mine.c_str(), 0777);
  EXPECT_EQ(Find(kTemporaryFolderType, kDontCreateFolder), mine);
  EXPECT_TRUE(privateFolder(mine));

  // A private runtime folder comes first; one that others may enter does not count.
  fs::create_directory(root + "/run");
  chmod((root + "/run").c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
  EXPECT_EQ(Find(kTemporaryFolderType, kDontCreateFolder), root + "/run/quorvel");
  EXPECT_TRUE(privateFolder(root + "/run/quorvel"));
  chmod((root + "/run").c_str(), 0755);
  EXPECT_EQ(Find(kTemporaryFolderType, kDontCreateFolder), mine);
  unsetenv("XDG_RUNTIME_DIR");

  // What another user may have put in place is never used: a link to a
  // folder of theirs, a file, or (when the test may give it away) a folder
  // they own.
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> plant;
  } cases[] = {
      {"link", [&](const std::string& p) { fs::create_directory(root + "/theirs");
                                          fs::create_directory_symlink(root + "/theirs", p); return true; }},
      {"file", [](const std::string& p) { std::ofstream(p) << "x"; return true; }},
      {"foreign folder", [](const std::string& p) {
         fs::create_directory(p);
         return geteuid() == 0 && chown(p.c_str(), 4242, 4242) == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(mine);
    fs::remove_all(root + "/theirs");
    if (!c.plant(mine)) continue;  // not root: no folder can be given away
    OSErr err = noErr;
    EXPECT_EQ(Find(kTemporaryFolderType, kCreateFolder, &err), "");
    EXPECT_EQ(err, fnfErr);
    EXPECT_TRUE(!fs::exists(root + "/theirs") || fs::is_empty(root + "/theirs"));
  }
}

TEST_F(FoldersTest, FrameworksIsTheBundlesFolder) {
  fs::create_directories(root + "/App.app/Contents/Frameworks");
  setenv("QUORVEL_BUNDLE", (root + "/App.app").c_str(), 1);
  EXPECT_EQ(Find(kFrameworksFolderType, kCreateFolder), root + "/App.app/Contents/Frameworks");
  // Without the variable: the folder that holds the platform library.
  unsetenv("QUORVEL_BUNDLE");
  std::string found = Find(kFrameworksFolderType, kDontCreateFolder);
  EXPECT_TRUE(fs::exists(found + "/libQuorvelPlatform.so")) << found;
  // Never made.
  setenv("QUORVEL_BUNDLE", (root + "/Other.app").c_str(), 1);
  OSErr err;
  Find(kFrameworksFolderType, kCreateFolder, &err);
  EXPECT_EQ(err, fnfErr);
}

}  // namespace
