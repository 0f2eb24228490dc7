// Menu helpers: finding, marking, command texts and item icons.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "CFString.h"
#include "HeadlessHost.h"
#include "PascalCarbonCommon.h"

namespace fs = std::filesystem;

namespace {

// A red 2 x 2 PNG picture.
const char kPNG[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02\x08\x06"
    "\x00\x00\x00\x72\xb6\x0d\x24\x00\x00\x00\x11\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\xf0\x1f\x84\x19"
    "\x60\x0c\x00\x47\xca\x07\xf9\x67\x59\x6e\xb7\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The main bundle of this test program, named before anything asks for it,
// with a picture and a file that is no picture among its resources.
struct TestBundle {
  TestBundle() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/menubundle-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    const std::string images = root + "/Quorvel.app/Contents/Resources/Images";
    fs::create_directories(images);
    WriteFile(images + "/red.png", std::string(kPNG, sizeof kPNG - 1));
    WriteFile(images + "/broken.png", "not a picture");
    setenv("QUORVEL_BUNDLE", (root + "/Quorvel.app").c_str(), 1);
  }
  ~TestBundle() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
  std::string root;
} gTestBundle;

MenuRef MakeMenu(std::initializer_list<const char*> items) {
  MenuRef menu = nullptr;
  CreateNewMenu(1, 0, &menu);
  for (const char* text : items) AppendMenuItemTextWithCFString(menu, CFSTR(text), 0, 0, nullptr);
  return menu;
}

TEST(MenuHelpersTest, FindAndMarkItems) {
  MenuRef menu = MakeMenu({"Alpha", "Beta", "Gamma"});
  EXPECT_EQ(FindMenuItem("bETA", false, menu), 2);
  EXPECT_EQ(FindMenuItem("Delta", true, menu), 0);
  EXPECT_EQ(FindMenuItem("Alpha", false, nullptr), 0);

  EXPECT_EQ(GetSelectedMenuItem(menu), 0);
  EXPECT_TRUE(GetSelectedMenuItemText(menu).empty());
  ToggleMenuItem(3, menu);
  ToggleMenuItem(2, menu);
  EXPECT_EQ(GetSelectedMenuItem(menu), 2);
  EXPECT_EQ(GetSelectedMenuItemText(menu).str(), "Beta");
  CharParameter mark = 0;
  GetItemMark(menu, 3, &mark);
  EXPECT_EQ(mark, noMark);
  ToggleMenuItem(0, menu);
  EXPECT_EQ(GetSelectedMenuItem(menu), 0);
  ReleaseMenu(menu);
}

TEST(MenuHelpersTest, CommandMenuItemText) {
  MenuRef menu = MakeMenu({"Open", "Save"});
  HICommand command{};
  EXPECT_TRUE(GetCommandMenuItemText(command).empty());
  command.menu.menuRef = menu;
  command.menu.menuItemIndex = 2;
  EXPECT_EQ(GetCommandMenuItemText(command).str(), "Save");
  command.menu.menuItemIndex = 9;
  EXPECT_TRUE(GetCommandMenuItemText(command).empty());
  EXPECT_NE(Err, noErr);
  ReleaseMenu(menu);
}

TEST(MenuHelpersTest, ItemIconOutlivesTheCallersReference) {
  MenuRef menu = MakeMenu({"Folder"});
  SetMenuItemIconRef(menu, 1, kSystemIconsCreator, kGenericFolderIcon);
  EXPECT_EQ(Err, noErr);
  UInt8 type = 0;
  Handle icon = nullptr;
  ASSERT_EQ(GetMenuItemIconHandle(menu, 1, &type, &icon), noErr);
  EXPECT_EQ(type, kMenuIconRefType);
  EXPECT_TRUE(IsValidIconRef(reinterpret_cast<IconRef>(icon)));
  UInt16 owners = 0;
  GetIconRefOwners(reinterpret_cast<IconRef>(icon), &owners);
  RetainMenuIcon(icon, kMenuIconRefType);
  UInt16 more = 0;
  GetIconRefOwners(reinterpret_cast<IconRef>(icon), &more);
  EXPECT_EQ(more, owners + 1);
  ReleaseMenuIcon(icon, kMenuIconRefType);
  ReleaseMenuIcon(icon, 3);  // other kinds are ignored
  GetIconRefOwners(reinterpret_cast<IconRef>(icon), &more);
  EXPECT_EQ(more, owners);
  ReleaseMenu(menu);
}

TEST(MenuHelpersTest, BundleImagesAndIcons) {
  CGImageRef image = LoadPNGImage("red.png", "Images");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(CGImageGetWidth(image), 2u);
  CGImageRelease(image);
  EXPECT_EQ(LoadPNGImage("broken.png", "Images"), nullptr);

  IconRef icon = RegisterIconRef('Test', 'redd', "red.png", "Images");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(Err, noErr);
  IconRef again = nullptr;
  EXPECT_EQ(GetIconRef(0, 'Test', 'redd', &again), noErr);
  EXPECT_EQ(again, icon);
  ReleaseIconRef(again);
  ReleaseIconRef(icon);
  IconRef unknown = LoadIconRef("red.png", "Images");
  EXPECT_NE(unknown, nullptr);
  ReleaseIconRef(unknown);
  EXPECT_EQ(LoadIconRef("broken.png", "Images"), nullptr);
  EXPECT_NE(Err, noErr);

  FSRef folder{};
  ASSERT_EQ(FSGetResourceFile("Images", "", folder), noErr);
  IconRef folderIcon = FSGetIcon(folder);
  EXPECT_NE(folderIcon, nullptr);
  EXPECT_EQ(Err, noErr);
  ReleaseIconRef(folderIcon);
}

TEST(MenuHelpersTest, SegmentContentStaysUsable) {
  HIViewRef segments = nullptr;
  CGRect frame{{0, 0}, {100, 20}};
  ASSERT_EQ(HISegmentedViewCreate(&frame, &segments), noErr);
  HISegmentedViewSetSegmentCount(segments, 2);
  HISegmentedViewSetContent(segments, 1, kSystemIconsCreator, kTrashIcon, kHISegmentBehaviorMomentary, 'trsh');
  EXPECT_EQ(Err, noErr);
  HISegmentedViewSetContentWithImage(segments, 2, "red.png", "Images", kHISegmentBehaviorToggles, 'redd');
  EXPECT_EQ(HISegmentedViewGetSegmentCommand(segments, 2), UInt32('redd'));
  EXPECT_EQ(HISegmentedViewGetSegmentBehavior(segments, 2), kHISegmentBehaviorToggles);
  ControlButtonContentInfo content{};
  HISegmentedViewCopySegmentImage(segments, 1, &content);
  EXPECT_EQ(content.contentType, kControlContentIconRef);
  EXPECT_TRUE(IsValidIconRef(static_cast<IconRef>(content.u.iconRef)));
  HISegmentedViewCopySegmentImage(segments, 2, &content);
  ASSERT_EQ(content.contentType, kControlContentCGImageRef);
  EXPECT_EQ(CGImageGetWidth(static_cast<CGImageRef>(content.u.imageRef)), 2u);
  CFRelease(segments);
}

TEST(MenuHelpersTest, OpenURLWithApplication) {
  HeadlessClearLaunchRequests();
  FSRef app{};
  ASSERT_EQ(FSGetResourceFile("red.png", "Images", app), noErr);
  LSOpenURLWithApplication("", app);
  EXPECT_TRUE(HeadlessCopyLaunchRequests().empty());
  LSOpenURLWithApplication("http://example.com/", app);
  const auto requests = HeadlessCopyLaunchRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, "http://example.com/");
  EXPECT_NE(requests[0].application.find("red.png"), std::string::npos);
  HeadlessClearLaunchRequests();
  LSOpenURLWithApplication("http://example.com/", FSRef{});
  EXPECT_TRUE(HeadlessCopyLaunchRequests().empty());
  EXPECT_NE(Err, noErr);
}

TEST(MenuHelpersTest, MissingBundleFilesGiveNil) {
  EXPECT_EQ(LoadPNGImage("none.png", "Images"), nullptr);
  EXPECT_EQ(LoadIconRef("none.icns", "Icons"), nullptr);
  FSRef none{};
  EXPECT_EQ(FSGetIcon(none), nullptr);
  EXPECT_NE(Err, noErr);
}

}  // namespace
