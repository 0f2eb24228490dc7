// Drag helpers: flavour look-up and walks, file promises for the file
// manager and where they were dropped; menu item help and the contextual
// menu font.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "Aliases.h"
#include "HITheme.h"
#include "MacHelp.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "WASTE.h"

namespace {

struct DragFixture : ::testing::Test {
  DragRef drag = nullptr;
  void SetUp() override {
    ASSERT_EQ(noErr, NewDrag(&drag));
    AddDragItemFlavor(drag, 10, 'utxt', "u1", 2, 0);
    AddDragItemFlavor(drag, 10, 'TEXT', "t1", 2, 0);
    AddDragItemFlavor(drag, 20, 'TEXT', "t22", 3, 0);
    AddDragItemFlavor(drag, 20, 'furl', "file:///x", 9, 0);
  }
  void TearDown() override { DisposeDrag(drag); }
};

std::string Block(Ptr p) {
  if (p == nullptr) return "(nil)";
  std::string s(p, size_t(GetPtrSize(p)));
  void* v = p;
  ReleasePtr(v);
  return s;
}

TEST_F(DragFixture, FlavourLookUpAndWalk) {
  EXPECT_TRUE(DragContainsFlavor(drag, 'furl'));
  EXPECT_EQ(noErr, Err);
  EXPECT_TRUE(DragContainsFlavor(drag, 'TEXT'));
  EXPECT_FALSE(DragContainsFlavor(drag, 'PICT'));

  struct {
    UInt16 index;
    FlavorType type;
    const char* expected;
  } cases[] = {
      {1, 'TEXT', "t1"}, {2, 'TEXT', "t22"}, {1, 0, "u1"}, {2, 0, "t22"}, {2, 'utxt', "(nil)"}, {3, 'TEXT', "(nil)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Block(DragGetFlavorData(drag, c.index, c.type))) << c.index;
  EXPECT_EQ(badDragItemErr, Err);

  std::vector<std::string> seen;
  DragApplyFunction(
      drag,
      [](FlavorType type, Ptr data, void* user) {
        static_cast<std::vector<std::string>*>(user)->push_back(FCCToString(type).str() + "=" +
                                                                  std::string(data, size_t(GetPtrSize(data))));
      },
      &seen);
  EXPECT_EQ((std::vector<std::string>{"utxt=u1", "TEXT=t1", "TEXT=t22", "furl=file:///x"}), seen);
  EXPECT_EQ(noErr, Err);
}

TEST_F(DragFixture, FinderPromiseFlavours) {
  FSAddDragFinderAlias(drag, 30, "report.txt");
  EXPECT_EQ(noErr, Err);
  Size size = 0;
  ASSERT_EQ(noErr, GetFlavorDataSize(drag, 30, 'alia', &size));
  EXPECT_EQ(256, size);
  std::string alia = Block(DragGetFlavorData(drag, 3, 'alia'));
  EXPECT_EQ(std::string("\x0Areport.txt", 11), alia.substr(0, 11));
  EXPECT_EQ(std::string(245, '\0'), alia.substr(11));

  HFSFlavor hfs{};
  size = sizeof hfs;
  ASSERT_EQ(noErr, GetFlavorData(drag, 30, 'hfs ', &hfs, &size, 0));
  EXPECT_EQ(80, size);
  EXPECT_EQ(0u, hfs.fileType);
  EXPECT_EQ(10, hfs.fileSpec.name[0]);
  PromiseHFSFlavor promise{};
  size = sizeof promise;
  ASSERT_EQ(noErr, GetFlavorData(drag, 30, 'phfs', &promise, &size, 0));
  EXPECT_EQ(14, size);
  const FlavorType promised = promise.promisedFlavor;  // a packed record: read by value
  EXPECT_EQ(FlavorType('hfs '), promised);
  FlavorType third = 0;
  GetFlavorType(drag, 30, 3, &third);
  EXPECT_EQ(FlavorType('phfs'), third);
}

struct DropLocation : DragFixture {
  std::string folder;
  void SetUp() override {
    DragFixture::SetUp();
    const char* tmp = getenv("TMPDIR");
    folder = std::string(tmp ? tmp : "/tmp") + "/promise-drop-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0755);
  }
  void TearDown() override {
    rmdir(folder.c_str());
    DragFixture::TearDown();
  }
  void DropIntoFolder() {
    FSRef ref{};
    ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(folder.c_str()), &ref, nullptr));
    AliasHandle alias = nullptr;
    ASSERT_EQ(noErr, FSNewAlias(nullptr, &ref, &alias));
    AEDesc desc;
    ASSERT_EQ(noErr, AECreateDesc(typeAlias, *alias, GetHandleSize(alias), &desc));
    SetDropLocation(drag, &desc);
    AEDisposeDesc(&desc);
    DisposeHandle(alias);
  }
};

TEST_F(DropLocation, PromisedNameAndFolder) {
  Str255 name = "stale";
  CFURLRef url = nullptr;
  // Not dropped into a folder.
  EXPECT_EQ(fnfErr, FSGetDragFinderLocation(drag, 1, name, url));
  EXPECT_TRUE(name.empty());
  EXPECT_EQ(fnfErr, Err);

  DropIntoFolder();
  // The item carries no 'alia' flavour.
  name = "stale";
  EXPECT_EQ(fnfErr, FSGetDragFinderLocation(drag, 1, name, url));
  EXPECT_TRUE(name.empty());
  if (url) CFRelease(url);
  url = nullptr;

  FSAddDragFinderAlias(drag, 30, "report.txt");
  ASSERT_EQ(noErr, FSGetDragFinderLocation(drag, 3, name, url));
  EXPECT_EQ(noErr, Err);
  EXPECT_EQ(std::string("report.txt"), name.str());
  ASSERT_NE(nullptr, url);
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_EQ(folder, PCFSTR(path).str());
  CFRelease(path);
  CFRelease(url);

  // A short 'alia' from elsewhere whose length byte claims more than it holds.
  AddDragItemFlavor(drag, 40, 'alia', "\xC8" "ab", 3, 0);
  url = nullptr;
  ASSERT_EQ(noErr, FSGetDragFinderLocation(drag, 4, name, url));
  EXPECT_EQ(std::string("ab"), name.str());
  CFRelease(url);

  // A drop location whose alias bytes are damaged resolves to nothing.
  AEDesc bad;
  AECreateDesc(typeAlias, "QALS", 4, &bad);
  SetDropLocation(drag, &bad);
  AEDisposeDesc(&bad);
  url = nullptr;
  EXPECT_EQ(paramErr, FSGetDragFinderLocation(drag, 3, name, url));
  EXPECT_EQ(nullptr, url);
}

TEST(MenuHelpAndFont, ItemHelpTagAndToolbarFont) {
  MenuRef menu = nullptr;
  ASSERT_EQ(noErr, CreateNewMenu(0, 0, &menu));
  AppendMenuItemTextWithCFString(menu, CFSTR("Open"), 0, 0, nullptr);
  SetMenuItemHelp(menu, 1, "Opens the selected file");
  EXPECT_EQ(noErr, Err);
  HMHelpContentRec content{};
  ASSERT_EQ(noErr, HMGetMenuItemHelpContent(menu, 1, &content));
  EXPECT_EQ(0, content.version);
  EXPECT_EQ(HMContentType(kHMCFStringContent), content.content[0].contentType);
  EXPECT_EQ(HMContentType(kHMNoContent), content.content[1].contentType);
  EXPECT_EQ(std::string("Opens the selected file"), PCFSTR(content.content[0].u.tagCFString).str());
  CFRelease(content.content[0].u.tagCFString);
  SetMenuItemHelp(menu, 9, "none");
  EXPECT_NE(noErr, Err);

  EXPECT_EQ(0, SetContextualMenuFont(menu));
  EXPECT_EQ(noErr, Err);
  unsigned char family[256] = {};
  SInt16 size = 0;
  Style style = 0;
  ASSERT_EQ(noErr, GetThemeFont(kThemeToolbarFont, 0, family, &size, &style));
  SInt16 id = 0;
  UInt16 menuSize = 0;
  GetMenuFont(menu, &id, &menuSize);
  EXPECT_EQ(UInt16(size), menuSize);
  unsigned char named[256] = {};
  ASSERT_TRUE(FMGetFontFamilyName(id, named));
  EXPECT_EQ(0, std::memcmp(named, family, size_t(family[0]) + 1));
  ReleaseMenu(menu);
}

}  // namespace
