// Editor window pieces: the local web server's address of a file, the
// check marks and icons of the preview and run menus, and the side pane's
// mode switch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "CFString.h"
#include "CFURL.h"
#include "EditorUtilities.h"
#include "Icons.h"
#include "PreferenceUtilities.h"

namespace {

namespace fs = std::filesystem;

std::string Title(MenuRef menu, MenuItemIndex item) {
  CFStringRef title = nullptr;
  CopyMenuItemTextAsCFString(menu, item, &title);
  char buffer[256] = {0};
  if (title) {
    CFStringGetCString(title, buffer, sizeof buffer, kCFStringEncodingUTF8);
    CFRelease(title);
  }
  return buffer;
}

// "x" for each checked item, "." for the others.
std::string Checks(MenuRef menu) {
  std::string out;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    CharParameter mark = 0;
    GetItemMark(menu, i, &mark);
    out += mark ? 'x' : '.';
  }
  return out;
}

bool HasIcon(MenuRef menu, MenuItemIndex item) {
  UInt8 type = 0;
  Handle icon = nullptr;
  return GetMenuItemIconHandle(menu, item, &type, &icon) == noErr && type == kMenuIconRefType && icon != nullptr;
}

MenuRef NewMenu(std::initializer_list<const char*> items) {
  MenuRef menu = nullptr;
  CreateNewMenu(400, 0, &menu);
  for (const char* item : items) {
    CFStringRef title = CFStringCreateWithCString(nullptr, item, kCFStringEncodingUTF8);
    const MenuItemAttributes attributes = *item == '-' ? MenuItemAttributes(kMenuItemAttrSeparator) : 0;
    AppendMenuItemTextWithCFString(menu, title, attributes, 0, nullptr);
    CFRelease(title);
  }
  return menu;
}

TEST(EditorUtilities, AFileInAUsersWebFolderHasALocalAddress) {
  struct Case {
    const char* path;
    const char* url;
  } cases[] = {
      {"/Users/someuser/Sites/shop/index.php", "http://localhost/~someuser/shop/index.php"},
      {"/Users/someuser/Sites/my page.html", "http://localhost/~someuser/my%20page.html"},
      {"/Users/someuser/Documents/a.php", ""},
      {"/Users/someuser/Sites", "/Users/someuser/Sites"},
      {"/home/anna/public_html/blog/post.php", "http://localhost/~anna/blog/post.php"},
      {"//home//anna//public_html//a b//c.html", "http://localhost/~anna/a%20b/c.html"},
      // A web folder with no user before it: the path itself.
      {"/srv/Sites/a.html", "/srv/Sites/a.html"},
      // Fewer than two components: unchanged, blanks encoded.
      {"/my file", "/my%20file"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLocalhostURL(c.path), c.url) << c.path;
  // Long paths are not cut.
  const std::string longName(300, 'x');
  EXPECT_EQ(FormatLocalhostURL("/home/anna/public_html/" + longName), "http://localhost/~anna/" + longName);
}

TEST(EditorUtilities, TheProjectsModesCheckTheirMenuItems) {
  MenuRef run = NewMenu({"Run & Debug", "Run & Preview", "Run in Terminal Mode", "Check Syntax"});
  struct Case {
    const char* mode;
    const char* checks;
  } runs[] = {{"Run & Debug", "x..."}, {"Run & Preview", ".x.."}, {"Run in Terminal Mode", "..x."},
              {"Check Syntax", "...x"}, {"Default", "...."}, {"check syntax", "...."}};
  for (const Case& c : runs) {
    const Str255 mode(c.mode);
    SetupRunMenu(run, &mode);
    EXPECT_EQ(Checks(run), c.checks) << c.mode;
  }
  SetupRunMenu(run, nullptr);
  EXPECT_EQ(Checks(run), "....");
  for (MenuItemIndex i = 1; i <= 4; ++i) EXPECT_TRUE(HasIcon(run, i)) << i;
  ReleaseMenu(run);

  MenuRef preview = NewMenu({"Disk", "Server", "Localhost", "-", "Preview in", "Window", "-", "Applications"});
  const Str255 server("Server");
  SetupPreviewMenu(preview, &server, FSRef{});
  EXPECT_EQ(Checks(preview), ".x......");
  const Str255 disk("Disk");
  SetupPreviewMenu(preview, &disk, FSRef{});
  EXPECT_EQ(Checks(preview), "x.......");
  SetupPreviewMenu(preview, nullptr, FSRef{});
  EXPECT_EQ(Checks(preview), "........");
  for (MenuItemIndex i : {1, 2, 3, 5, 6, 8}) EXPECT_TRUE(HasIcon(preview, i)) << i;
  // Without a preview application item 5 keeps its text.
  EXPECT_EQ(Title(preview, 5), "Preview in");
  ReleaseMenu(preview);
}

fs::path gBrowser;
CFArrayRef OneBrowser() {
  const std::string s = gBrowser.string();
  CFURLRef url =
      CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()), false);
  CFArrayRef array = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&url), 1, &kCFTypeArrayCallBacks);
  CFRelease(url);
  return array;
}

TEST(EditorUtilities, ThePreviewMenuNamesTheChosenApplication) {
  const fs::path folder = fs::path(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") / "editorutilities";
  fs::create_directories(folder);
  gBrowser = folder / "browser.desktop";
  std::ofstream(gBrowser) << "[Desktop Entry]\nType=Application\nName=Web Browser\nExec=/bin/true %u\n";
  SetPreviewApplicationSource(OneBrowser);
  FSRef browser{};
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(gBrowser.c_str()), &browser, nullptr), noErr);

  MenuRef preview = NewMenu({"Disk", "Server", "Localhost", "-", "Preview in", "Window", "-", "Applications"});
  MenuRef applications = NewMenu({"stale"});
  SetMenuItemHierarchicalMenu(preview, 8, applications);
  SetupPreviewMenu(preview, nullptr, browser);
  EXPECT_EQ(Title(preview, 5), "Preview in Web Browser");
  ASSERT_EQ(CountMenuItems(applications), 1);
  EXPECT_EQ(Title(applications, 1), "Web Browser");
  EXPECT_EQ(Checks(applications), "x");

  SetPreviewApplicationSource(nullptr);
  ReleaseMenu(applications);
  ReleaseMenu(preview);
  fs::remove_all(folder);
}

TEST(EditorUtilities, TheModeSwitchHasOneRadioSegmentPerMode) {
  HIViewRef view = CreateModeSegmentView();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(HISegmentedViewGetSegmentCount(view), 3u);
  const UInt32 commands[] = {kModeProjectCommand, kModeFTPCommand, kModeSymbolsCommand};
  for (UInt32 segment = 1; segment <= 3; ++segment) {
    EXPECT_EQ(HISegmentedViewGetSegmentBehavior(view, segment), kHISegmentBehaviorRadio);
    EXPECT_EQ(HISegmentedViewGetSegmentCommand(view, segment), commands[segment - 1]);
    Boolean automatic = true;
    EXPECT_GE(HISegmentedViewGetSegmentContentWidth(view, segment, &automatic), 16.0f);
    EXPECT_FALSE(automatic);
    ControlButtonContentInfo content{};
    ASSERT_EQ(HISegmentedViewCopySegmentImage(view, segment, &content), noErr);
    EXPECT_EQ(content.contentType, kControlContentIconRef);
    EXPECT_TRUE(IsValidIconRef(static_cast<IconRef>(content.u.iconRef)));
  }
  CFRelease(view);
}

}  // namespace
