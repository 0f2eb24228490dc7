// "Open With": the applications for a file from desktop entries, opening a
// file with a chosen one (its Exec line runs), items opened by FSRef, and
// application references kept in stored records by desktop-file id.
//
// The XDG data folders of this process are its own (set before GIO first
// reads them), so the desktop knows exactly the entries made here.
#include <gtest/gtest.h>

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "CFArray.h"
#include "CFStringInternal.h"
#include "CFURL.h"
#include "Files.h"
#include "FilesInternal.h"
#include "HeadlessHost.h"
#include "LSInfo.h"
#include "LaunchServices.h"
#include "LaunchServicesInternal.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Root() {
  static const fs::path root = fs::path(g_get_tmp_dir()) / ("openwith-" + std::to_string(getpid()));
  return root;
}

void Write(const fs::path& path, const std::string& text, fs::perms perms = fs::perms(0644)) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, perms);
}

std::string Entry(const std::string& name, const std::string& exec, const std::string& types) {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=" + types + "\n";
}

// The desktop entries, made before anything asks GIO about applications.
class DesktopFixtures : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path& root = Root();
    fs::remove_all(root);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root / "system").c_str(), 1);
    const fs::path marker = root / "marker.sh";
    Write(marker, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + (root / "opened").string() +
                      ".tmp' && mv '" + (root / "opened").string() + ".tmp' '" + (root / "opened").string() + "'\n",
          fs::perms(0755));
    Write(root / "data/applications/quorvel-editor.desktop",
          Entry("Test Editor", marker.string() + " %f", "application/x-php;text/html;"));
    Write(root / "system/applications/vendor/viewer.desktop",
          Entry("Test Viewer", marker.string() + " %u", "text/html;"));
    Write(root / "system/applications/quorvel-images.desktop",
          Entry("Test Images", marker.string() + " %f", "image/png;"));
    // What update-desktop-database writes: the desktop finds applications
    // for a type through it.
    Write(root / "data/applications/mimeinfo.cache",
          "[MIME Cache]\napplication/x-php=quorvel-editor.desktop;\ntext/html=quorvel-editor.desktop;\n"
          "text/plain=shared.desktop;\n");
    Write(root / "system/applications/mimeinfo.cache",
          "[MIME Cache]\ntext/html=vendor-viewer.desktop;\nimage/png=quorvel-images.desktop;\n"
          "text/plain=shared.desktop;\n");
    // The same id in both places: the user's own entry shadows the system's.
    Write(root / "system/applications/shared.desktop", Entry("System Shared", marker.string(), "text/plain;"));
    Write(root / "data/applications/shared.desktop", Entry("User Shared", marker.string(), "text/plain;"));
  }
  void TearDown() override { fs::remove_all(Root()); }
};

const auto* const kFixtures = ::testing::AddGlobalTestEnvironment(new DesktopFixtures);

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string Path(const FSRef& ref) {
  UInt8 buffer[4096];
  return FSRefMakePath(&ref, buffer, sizeof buffer) == noErr ? reinterpret_cast<char*>(buffer) : "(none)";
}

std::string Text(CFStringRef s) { return s ? __CFStringGetUTF8(s) : "(nil)"; }

CFURLRef FileURL(const fs::path& path) {
  FSRef ref = Ref(path);
  return CFURLCreateFromFSRef(nullptr, &ref);
}

std::string URLText(CFURLRef url) { return __CFStringGetUTF8(CFURLGetString(url)); }

// The display names of the applications that view or edit the file.
std::set<std::string> OpenWithNames(const fs::path& file) {
  std::set<std::string> names;
  CFURLRef url = FileURL(file);
  CFArrayRef apps = LSCopyApplicationURLsForURL(url, kLSRolesViewer | kLSRolesEditor);
  CFRelease(url);
  for (CFIndex i = 0; apps && i < CFArrayGetCount(apps); ++i) {
    CFStringRef name = nullptr;
    EXPECT_EQ(LSCopyDisplayNameForURL(static_cast<CFURLRef>(CFArrayGetValueAtIndex(apps, i)), &name), noErr);
    names.insert(Text(name));
    if (name) CFRelease(name);
  }
  if (apps) CFRelease(apps);
  return names;
}

class OpenWithTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site = Root() / "site";
    fs::create_directories(site);
    HeadlessClearLaunchRequests();
  }
  void TearDown() override { fs::remove_all(site); }

  fs::path Page(const std::string& name) {
    Write(site / name, "<?php echo 1; ?>");
    return site / name;
  }

  fs::path site;
};

TEST_F(OpenWithTest, ApplicationsForAFileComeFromItsType) {
  struct {
    const char* file;
    std::set<std::string> names;
  } cases[] = {
      {"index.php", {"Test Editor"}},
      {"page.html", {"Test Editor", "Test Viewer"}},
      {"PAGE.HTM", {"Test Editor", "Test Viewer"}},
      {"logo.png", {"Test Images"}},
      // Text of no known kind is plain text; the user's entry shadows the system's.
      {"notes.quorvel-unknown", {"User Shared"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(OpenWithNames(Page(c.file)), c.names);
  }
}

TEST_F(OpenWithTest, OpeningWithTheChosenApplicationRunsItsEntry) {
  fs::path page = Page("my page.php");
  CFURLRef url = FileURL(page);
  CFArrayRef apps = LSCopyApplicationURLsForURL(url, kLSRolesViewer | kLSRolesEditor);
  ASSERT_NE(apps, nullptr);
  ASSERT_EQ(CFArrayGetCount(apps), 1);
  auto editor = static_cast<CFURLRef>(CFArrayGetValueAtIndex(apps, 0));

  fs::path opened = Root() / "opened";
  fs::remove(opened);
  ASSERT_EQ(LSOpenWithDesktop(editor, {url}), noErr);
  // The entry's program runs on its own; wait for what it writes.
  for (int i = 0; i < 2000 && !fs::exists(opened); ++i) g_usleep(10000);
  std::ifstream in(opened);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), page.string() + "\n") << "the path reaches the program as one argument";

  // Through the FSRef calls: headless, the request is recorded, not launched.
  FSRef app, doc = Ref(page), launched;
  ASSERT_TRUE(CFURLGetFSRef(editor, &app));
  LSLaunchFSRefSpec spec{&app, 1, &doc, nullptr, 0, nullptr};
  ASSERT_EQ(LSOpenFromRefSpec(&spec, &launched), noErr);
  EXPECT_EQ(FSCompareFSRefs(&launched, &app), noErr);
  ASSERT_EQ(LSOpenFSRef(&doc, nullptr), noErr);
  auto requests = HeadlessCopyLaunchRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].application, URLText(editor));
  EXPECT_EQ(requests[0].url, URLText(url));
  EXPECT_EQ(requests[1].application, "");
  EXPECT_EQ(requests[1].url, URLText(url));
  CFRelease(apps);
  CFRelease(url);
}

TEST_F(OpenWithTest, OpeningRefusesWhatDoesNotResolve) {
  fs::path page = Page("gone.php");
  FSRef doc = Ref(page), gone = Ref(page);
  fs::remove(page);
  doc = Ref(Page("here.php"));
  FSRef app = Ref(Root() / "data/applications/quorvel-editor.desktop"), zeros{};
  struct {
    const char* what;
    LSLaunchFSRefSpec spec;
    OSStatus status;
  } cases[] = {
      {"no application, no item", {nullptr, 0, nullptr, nullptr, 0, nullptr}, paramErr},
      {"items missing", {&app, 1, nullptr, nullptr, 0, nullptr}, paramErr},
      {"an application that is no FSRef", {&zeros, 1, &doc, nullptr, 0, nullptr}, kLSApplicationNotFoundErr},
      {"an item deleted", {&app, 1, &gone, nullptr, 0, nullptr}, fnfErr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FSRef launched;
    std::memset(&launched, 0xA5, sizeof launched);
    EXPECT_EQ(LSOpenFromRefSpec(&c.spec, &launched), c.status);
    EXPECT_EQ(launched.hidden[0] | launched.hidden[79], 0) << "no application is reported";
  }
  EXPECT_EQ(LSOpenFromRefSpec(nullptr, nullptr), paramErr);
  EXPECT_EQ(LSOpenFSRef(&gone, nullptr), fnfErr);
  EXPECT_EQ(LSOpenFSRef(nullptr, nullptr), paramErr);
  EXPECT_TRUE(HeadlessCopyLaunchRequests().empty());
}

TEST_F(OpenWithTest, StoredApplicationReferencesNameTheDesktopEntry) {
  const fs::path viewer = Root() / "system/applications/vendor/viewer.desktop";
  FSRef stored;
  FSRef app = Ref(viewer);
  ASSERT_EQ(LSMakeStoredApplicationReference(&app, &stored), noErr);
  const char id[] = "vendor-viewer.desktop";
  EXPECT_EQ(std::memcmp(stored.hidden + 5, id, sizeof id - 1), 0) << "the slot holds the desktop-file id";
  CFStringRef copied = nullptr;
  ASSERT_EQ(LSCopyApplicationDesktopID(&app, &copied), noErr);
  EXPECT_EQ(Text(copied), id);
  CFRelease(copied);

  // The next run: no FSRef of this one is known any more.
  files::RegistryReload();
  FSRef resolved;
  ASSERT_EQ(LSResolveStoredApplicationReference(&stored, &resolved), noErr);
  EXPECT_EQ(Path(resolved), viewer.string());

  // The id, not the path, decides: the user's own entry of that id wins.
  FSRef systemShared = Ref(Root() / "system/applications/shared.desktop");
  ASSERT_EQ(LSMakeStoredApplicationReference(&systemShared, &stored), noErr);
  ASSERT_EQ(LSResolveStoredApplicationReference(&stored, &resolved), noErr);
  EXPECT_EQ(Path(resolved), (Root() / "data/applications/shared.desktop").string());

  // An application without an id (a program) is kept as its FSRef, and
  // FSRefs stored before keep resolving.
  FSRef program = Ref(Root() / "marker.sh");
  ASSERT_EQ(LSMakeStoredApplicationReference(&program, &stored), noErr);
  EXPECT_EQ(std::memcmp(&stored, &program, sizeof stored), 0);
  files::RegistryReload();
  ASSERT_EQ(LSResolveStoredApplicationReference(&stored, &resolved), noErr);
  EXPECT_EQ(Path(resolved), (Root() / "marker.sh").string());
  EXPECT_EQ(LSCopyApplicationDesktopID(&program, &copied), kLSApplicationNotFoundErr);
}

TEST_F(OpenWithTest, StoredReferencesThatNameNoApplication) {
  FSRef page = Ref(Page("index.php")), zeros{}, stored, resolved;
  EXPECT_EQ(LSMakeStoredApplicationReference(&page, &stored), kLSApplicationNotFoundErr);
  EXPECT_EQ(LSMakeStoredApplicationReference(&zeros, &stored), kLSApplicationNotFoundErr);
  EXPECT_EQ(LSMakeStoredApplicationReference(nullptr, &stored), kLSApplicationNotFoundErr);

  auto slot = [](const char* bytes, size_t n) {
    FSRef r{};
    std::memcpy(r.hidden, bytes, n);
    return r;
  };
  struct {
    const char* what;
    FSRef stored;
  } cases[] = {
      {"an empty slot", zeros},
      {"an id no entry has", slot("QAPP\x0cgone.desktop", 17)},
      {"an id with no length", slot("QAPP\x00x.desktop", 14)},
      {"an id longer than it says", slot("QAPP\x03shared.desktop", 19)},
      {"a file that is no application", page},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::memset(&resolved, 0xA5, sizeof resolved);
    EXPECT_EQ(LSResolveStoredApplicationReference(&c.stored, &resolved), kLSApplicationNotFoundErr);
    EXPECT_EQ(resolved.hidden[0] | resolved.hidden[79], 0);
  }
  FSRef good = slot("QAPP\x0eshared.desktop", 19);
  EXPECT_EQ(LSResolveStoredApplicationReference(&good, &resolved), noErr);
  EXPECT_EQ(LSResolveStoredApplicationReference(nullptr, &resolved), paramErr);
}

TEST_F(OpenWithTest, HidingAnExtensionLeavesTheNameAsItIs) {
  fs::path bundle = site / "My Site.qvproj";
  fs::create_directories(bundle);
  FSRef ref = Ref(bundle);
  for (Boolean hide : {true, false}) {
    EXPECT_EQ(LSSetExtensionHiddenForRef(&ref, hide), noErr);
    CFStringRef name = nullptr;
    ASSERT_EQ(LSCopyDisplayNameForRef(&ref, &name), noErr);
    EXPECT_EQ(Text(name), "My Site.qvproj");
    CFRelease(name);
  }
  fs::remove(bundle);
  EXPECT_EQ(LSSetExtensionHiddenForRef(&ref, true), fnfErr);
  EXPECT_EQ(LSSetExtensionHiddenForRef(nullptr, true), paramErr);
}

}  // namespace
