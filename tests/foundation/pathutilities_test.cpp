// PathUtilities on the Linux layout of home folders: the user is named by
// the folder a path passes through inside the folder that holds $HOME.
#include "PathUtilities.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CFBundle.h"
#include "CFURL.h"
#include "Files.h"
#include "PascalCarbonCommon.h"

namespace {

namespace fs = std::filesystem;

class PathUtilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = getenv("HOME");
    savedHome = home ? home : "";
  }
  void TearDown() override { setenv("HOME", savedHome.c_str(), 1); }
  static void Home(const std::string& path) { setenv("HOME", path.c_str(), 1); }

  std::string savedHome;
};

TEST_F(PathUtilitiesTest, JoinBaseWithPath) {
  EXPECT_EQ(JoinBaseWithPath("/srv", "/x").str(), "/srv/x");
  EXPECT_EQ(JoinBaseWithPath("/srv", "x").str(), "/srv/x");
  EXPECT_EQ(JoinBaseWithPath("/srv", "").str(), "/srv/");
  // A join that does not fit is empty rather than a cut path.
  EXPECT_TRUE(JoinBaseWithPath(Str255(std::string(200, 'b')), Str255(std::string(60, 'p'))).empty());
  EXPECT_EQ(JoinBaseWithPath(Str255(std::string(200, 'b')), Str255(std::string(54, 'p'))).len(), 255);
}

TEST_F(PathUtilitiesTest, FormatUserPath) {
  Home("/home/me");
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/home/me/public_html/project/index.php", "./public_html/project"},
      {"/home/other/public_html/project", "./public_html/project"},  // any user's home
      {"/home/me/site.d", "."},                                      // a dot in a folder name drops it too
      {"/home/me", "."},
      {"/Library/WebServer/Documents/index.html", "/Library/WebServer/Documents"},
      {"/var/www/html", "/var/www/html"},
      {"/home", "/home"},
      {"index.html", "index.html"},
  };
  for (const Case& c : cases) {
    Str255 path(c.path);
    FormatUserPath(path);
    EXPECT_EQ(path.str(), c.expected) << c.path;
  }

  // Homes in a deeper folder; a home at the root is in no folder of homes.
  Home("/srv/homes/me");
  Str255 deep("/srv/homes/ann/public_html/a/b.php");
  FormatUserPath(deep);
  EXPECT_EQ(deep.str(), "./public_html/a");
  Home("/root");
  Str255 rooted("/root/public_html/a/b.php");
  FormatUserPath(rooted);
  EXPECT_EQ(rooted.str(), "/root/public_html/a");
}

TEST_F(PathUtilitiesTest, BaseFilePathIsTheHoldingFolder) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pu-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string dir = fs::canonical(pattern).string();
  fs::create_directories(dir + "/a/b");
  std::ofstream(dir + "/a/b/c.txt") << "x";
  FSRef file;
  ASSERT_TRUE(FSGetPathRef(Str255(dir + "/a/b/c.txt"), file));
  EXPECT_EQ(GetBaseFilePath(file).str(), dir + "/a/b");
  FSRef folder;
  ASSERT_TRUE(FSGetPathRef(Str255(dir + "/a/b"), folder));
  EXPECT_EQ(GetBaseFilePath(folder).str(), dir + "/a");
  FSRef top;
  ASSERT_TRUE(FSGetPathRef("/tmp", top));
  EXPECT_EQ(GetBaseFilePath(top).str(), "/");
  EXPECT_TRUE(GetBaseFilePath(FSRef{}).empty());
  fs::remove_all(dir);
}

// $HOME decides whether the application's folder is inside someone's home.
TEST_F(PathUtilitiesTest, ApplicationSystemAndLocalhost) {
  CFURLRef url = CFBundleCopyBundleURL(CFBundleGetMainBundle());
  ASSERT_NE(url, nullptr);
  CFStringRef bundle = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFRelease(url);
  const fs::path app = fs::path(PCFSTR(bundle).str()).parent_path();
  CFRelease(bundle);
  EXPECT_EQ(GetApplicationPath().str(), app.string());
  ASSERT_GE(std::distance(app.begin(), app.end()), 3) << "the test needs a bundle two folders down";

  // /work/main/build/Quorvel.app lies in the home of "main" when the homes
  // are in /work.
  auto it = app.begin();
  ++it;  // past "/"
  const std::string homes = "/" + it->string();
  const std::string owner = (++it)->string();
  Home(homes + "/someone");
  EXPECT_EQ(GetSystemPath().str(), homes + "/" + owner);
  EXPECT_EQ(GetLocalhostURL().str(), "http://localhost/~" + owner);

  // Installed outside the homes: the running user's own folder and address.
  Home("/nowhere/homes/bob");
  EXPECT_EQ(GetSystemPath().str(), "/nowhere/homes/bob");
  EXPECT_EQ(GetLocalhostURL().str(), "http://localhost/~bob");
  Home("/root");
  EXPECT_EQ(GetLocalhostURL().str(), "http://localhost/~root");
  Home("/nowhere/homes/b\xC3\xB8 b");  // escaped in the address
  EXPECT_EQ(GetLocalhostURL().str(), "http://localhost/~b%C3%B8%20b");
}

TEST_F(PathUtilitiesTest, LocalhostPathIsThePublicHtmlFolder) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/home-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string home = fs::canonical(pattern).string();
  Home(home);
  EXPECT_TRUE(GetLocalhostPath().empty());
  EXPECT_EQ(Err, fnfErr);
  fs::create_directory(home + "/public_html");
  EXPECT_EQ(GetLocalhostPath().str(), home + "/public_html");
  EXPECT_EQ(Err, noErr);
  fs::remove_all(home);
}

}  // namespace
