#include <gtest/gtest.h>

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "CFStringInternal.h"
#include "CFURL.h"
#include "Files.h"
#include "LSInfo.h"

namespace {

namespace fs = std::filesystem;

std::string Text(CFStringRef s) { return s ? __CFStringGetUTF8(s) : "(nil)"; }

class LSInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(g_get_tmp_dir()) / ("lsinfo-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path Make(const std::string& name, const std::string& data = "x") {
    fs::path p = root / name;
    std::ofstream(p, std::ios::binary) << data;
    return p;
  }

  static FSRef Ref(const fs::path& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }

  fs::path root;
};

TEST_F(LSInfoTest, DisplayNamesAndExtensions) {
  fs::create_directories(root / "My Site.qvproj");
  struct {
    std::string name;
    std::string display;
    std::string extension;
  } cases[] = {
      {"index.PHP", "index.PHP", "PHP"},
      {"archive.tar.gz", "archive.tar.gz", "gz"},
      {"notes", "notes", "(nil)"},
      {".hidden", ".hidden", "(nil)"},
      {"trailing.", "trailing.", "(nil)"},
      {"v1.5 notes", "v1.5 notes", "(nil)"},  // an extension holds no space
      {"caf\xc3\xa9.txt", "caf\xc3\xa9.txt", "txt"},
      {"bad\xff.txt", "bad\xef\xbf\xbd.txt", "txt"},  // a stray byte shows as U+FFFD
      {"My Site.qvproj", "My Site.qvproj", "qvproj"},  // folders have extensions too
  };
  for (const auto& c : cases) {
    if (!fs::exists(root / c.name)) Make(c.name);
    FSRef ref = Ref(root / c.name);
    CFStringRef name = nullptr;
    EXPECT_EQ(LSCopyDisplayNameForRef(&ref, &name), noErr) << c.name;
    EXPECT_EQ(Text(name), c.display);
    if (name) CFRelease(name);
    LSItemInfoRecord info;
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestExtension, &info), noErr) << c.name;
    EXPECT_EQ(Text(info.extension), c.extension) << c.name;
    EXPECT_EQ(info.flags, 0u);  // not asked for
    if (info.extension) CFRelease(info.extension);
  }
}

TEST_F(LSInfoTest, FlagsTypeAndCreator) {
  fs::create_directories(root / "Site.qvproj");
  fs::create_directories(root / "plain.folder");
  fs::path script = Make("run.sh", "#!/bin/sh\n");
  chmod(script.c_str(), 0755);
  Make(".secret");
  fs::create_symlink(root / "nowhere", root / "dangling");
  fs::path text = Make("a.txt");

  struct {
    std::string name;
    LSItemInfoFlags flags;
  } cases[] = {
      {"a.txt", kLSItemInfoIsPlainFile},
      {"run.sh", kLSItemInfoIsPlainFile | kLSItemInfoIsApplication},
      {".secret", kLSItemInfoIsPlainFile | kLSItemInfoIsInvisible},
      {"Site.qvproj", kLSItemInfoIsContainer | kLSItemInfoIsPackage},
      {"plain.folder", kLSItemInfoIsContainer},
      {"dangling", kLSItemInfoIsSymlink | kLSItemInfoIsAliasFile},
  };
  for (const auto& c : cases) {
    LSItemInfoRecord info;
    FSRef ref = Ref(root / c.name);
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllFlags, &info), noErr) << c.name;
    EXPECT_EQ(info.flags, c.flags) << c.name;
    EXPECT_EQ(info.extension, nullptr);
  }

  // The Finder information set through the File Manager.
  FSRef ref = Ref(text);
  FSCatalogInfo catalog{};
  auto* finder = reinterpret_cast<FileInfo*>(catalog.finderInfo);
  finder->fileType = 'TEXT';
  finder->fileCreator = 'QVRL';
  ASSERT_EQ(FSSetCatalogInfo(&ref, kFSCatInfoFinderInfo, &catalog), noErr);
  LSItemInfoRecord info;
  ASSERT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllInfo, &info), noErr);
  if (info.filetype != 0) {  // file systems without extended attributes keep none
    EXPECT_EQ(info.filetype, OSType('TEXT'));
    EXPECT_EQ(info.creator, OSType('QVRL'));
  }
  EXPECT_EQ(Text(info.extension), "txt");
  EXPECT_EQ(info.flags, kLSItemInfoIsPlainFile);
  CFRelease(info.extension);

  // By URL, a folder URL with its trailing slash.
  std::string folder = (root / "Site.qvproj").string() + "/";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.data()),
                                                         CFIndex(folder.size()), true);
  ASSERT_EQ(LSCopyItemInfoForURL(url, kLSRequestExtension | kLSRequestAllFlags, &info), noErr);
  EXPECT_EQ(Text(info.extension), "qvproj");
  EXPECT_TRUE(info.flags & kLSItemInfoIsPackage);
  CFRelease(info.extension);
  CFStringRef name = nullptr;
  EXPECT_EQ(LSCopyDisplayNameForURL(url, &name), noErr);
  EXPECT_EQ(Text(name), "Site.qvproj");
  CFRelease(name);
  CFRelease(url);
}

TEST_F(LSInfoTest, FailuresLeaveNothing) {
  fs::path gone = Make("gone.txt");
  FSRef ref = Ref(gone);
  fs::remove(gone);
  CFStringRef name = reinterpret_cast<CFStringRef>(1);
  EXPECT_EQ(LSCopyDisplayNameForRef(&ref, &name), fnfErr);
  EXPECT_EQ(name, nullptr);
  LSItemInfoRecord info;
  EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestAllInfo, &info), fnfErr);
  EXPECT_EQ(info.extension, nullptr);

  FSRef zeros{};
  EXPECT_NE(LSCopyDisplayNameForRef(&zeros, &name), noErr);
  EXPECT_EQ(LSCopyDisplayNameForRef(nullptr, &name), paramErr);
  EXPECT_EQ(LSCopyItemInfoForRef(&zeros, kLSRequestExtension, nullptr), paramErr);

  CFURLRef web = CFURLCreateWithString(nullptr, CFStringMakeConstantUTF8("http://localhost/x.php"), nullptr);
  EXPECT_EQ(LSCopyDisplayNameForURL(web, &name), kLSDataUnavailableErr);
  EXPECT_EQ(LSCopyItemInfoForURL(web, kLSRequestExtension, &info), kLSDataUnavailableErr);
  CFRelease(web);

  EXPECT_EQ(LSGetApplicationForItem(nullptr, kLSRolesAll, nullptr, nullptr), paramErr);
  OSStatus status = noErr;
  EXPECT_EQ(LSCopyDefaultApplicationURLForURL(nullptr, kLSRolesAll, &status), nullptr);
  EXPECT_EQ(status, paramErr);
  EXPECT_EQ(LSCopyApplicationURLsForURL(nullptr, kLSRolesAll), nullptr);
}

TEST_F(LSInfoTest, ApplicationsAreFileURLs) {
  // Which applications a machine has is its own affair; what is given must be
  // usable as an application URL.
  fs::path page = Make("page.html", "<html></html>");
  FSRef ref = Ref(page);
  CFURLRef app = nullptr;
  OSStatus err = LSGetApplicationForItem(&ref, kLSRolesAll, nullptr, &app);
  if (err == noErr) {
    ASSERT_NE(app, nullptr);
    CFStringRef scheme = CFURLCopyScheme(app);
    EXPECT_EQ(Text(scheme), "file");
    CFRelease(scheme);
    CFRelease(app);
  } else {
    EXPECT_EQ(err, kLSApplicationNotFoundErr);
    EXPECT_EQ(app, nullptr);
  }
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
  if (CFArrayRef apps = LSCopyApplicationURLsForURL(url, kLSRolesViewer | kLSRolesEditor)) {
    EXPECT_GT(CFArrayGetCount(apps), 0);
    CFRelease(apps);
  }
  CFRelease(url);
}

}  // namespace
