// Smart folders over a real folder and real change notifications: the tree
// mirrors the folder, a change refills the changed folder with the folders
// the user had open opened again, a folder the user closed stays closed,
// and a folder that cannot be watched is not listed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CarbonEvents.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TSmartFolderUnit.h"
#include "brackenrow/Browser.h"

namespace {

namespace fs = std::filesystem;

constexpr DataBrowserPropertyID kNameColumn = 'NAME';

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

void Write(const fs::path& path, const std::string& text = "x") {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::string NameOf(NodeInfoPtr node) {
  if (node->DATATYPE == kSmartFolderNodeType) return static_cast<SmartFolderInfo*>(node->DATA)->name.str() + "/";
  return FSGetActualName(*static_cast<const FSRef*>(node->DATA)).str();
}

CFTreeRef FindNode(CFTreeRef tree, const std::string& path) {
  const size_t slash = path.find('/');
  const std::string first = path.substr(0, slash == std::string::npos ? path.size() : slash + 1);
  for (CFIndex i = 0; i < CFTreeGetChildCount(tree); ++i) {
    CFTreeRef child = CFTreeGetChildAtIndex(tree, i);
    if (NameOf(BrackenrowGetNode(child)) != first) continue;
    if (slash == std::string::npos || slash + 1 == path.size()) return child;
    return FindNode(child, path.substr(slash + 1));
  }
  return nullptr;
}

bool RunUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 3000 && !done(); ++i) RunCurrentEventLoop(kEventDurationSecond / 100);
  return done();
}

class SmartFolderTest : public ::testing::Test {
 protected:
  fs::path folder;
  WindowRef window = nullptr;
  ControlRef list = nullptr;
  TMySmartFolderBrowser* browser = nullptr;
  SInt32 rootItem = 0;

  void SetUp() override {
    folder = fs::path(getenv("TMPDIR")) /
             (std::string("smartfolder-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    Write(folder / "a.txt");
    Write(folder / "sub" / "b.txt");
    Write(folder / "other" / "c.txt");
    Write(folder / ".hidden");
    Rect bounds = {50, 50, 450, 350};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowCompositingAttribute, &bounds, &window), noErr);
    Rect r = {0, 0, 400, 300};
    ASSERT_EQ(CreateDataBrowserControl(window, &r, kDataBrowserListView, &list), noErr);
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {kNameColumn, kDataBrowserIconAndTextType, kDataBrowserDefaultPropertyFlags};
    ASSERT_EQ(AddDataBrowserListViewColumn(list, &column, kDataBrowserListViewAppendColumn), noErr);
    browser = new TMySmartFolderBrowser();
    browser->SetOptions(kBrackenrowAllocateTree);
    browser->Create(list);
    browser->SetDisclosureColumn(kNameColumn);
    // The watched folder is the list's one top row.
    SmartFolderInfo* info = NewSmartFolder(Ref(folder), browser);
    ASSERT_NE(info, nullptr);
    rootItem = browser->NewContainer(info, sizeof(SmartFolderInfo), kSmartFolderNodeType, 0);
    info->item = UInt32(rootItem);
    UpdateSmartFolder(info);
  }
  void TearDown() override {
    browser->Release();
    DisposeWindow(window);
  }

  CFTreeRef Node(const std::string& path) { return FindNode(browser->TREE, folder.filename().string() + "/" + path); }
  SInt32 Item(const std::string& path) {
    CFTreeRef node = Node(path);
    return node != nullptr ? BrackenrowGetNode(node)->INDEX : 0;
  }
  std::vector<std::string> Children(const std::string& path) {
    std::vector<std::string> names;
    if (CFTreeRef node = Node(path))
      for (CFIndex i = 0; i < CFTreeGetChildCount(node); ++i)
        names.push_back(NameOf(BrackenrowGetNode(CFTreeGetChildAtIndex(node, i))));
    return names;
  }
  bool IsOpen(const std::string& path) {
    DataBrowserItemState state = 0;
    return GetDataBrowserItemState(list, DataBrowserItemID(Item(path)), &state) == noErr &&
           (state & kDataBrowserContainerIsOpen) != 0;
  }
  bool Remembered(const fs::path& path) {
    CFStringRef text = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    const bool found = CFSetContainsValue(browser->expanded, text);
    CFRelease(text);
    return found;
  }
};

}  // namespace

TEST_F(SmartFolderTest, TheTreeMirrorsTheFolder) {
  EXPECT_EQ(Children(""), (std::vector<std::string>{"a.txt", "other/", "sub/"}));
  EXPECT_EQ(Children("sub/"), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(Children("other/"), std::vector<std::string>{"c.txt"});
  EXPECT_FALSE(browser->busy);
}

TEST_F(SmartFolderTest, AChangeRefillsTheFolderAndKeepsOpenFoldersOpen) {
  ASSERT_EQ(OpenDataBrowserContainer(list, DataBrowserItemID(rootItem)), noErr);
  ASSERT_EQ(OpenDataBrowserContainer(list, DataBrowserItemID(Item("sub/"))), noErr);
  EXPECT_TRUE(Remembered(folder));
  EXPECT_TRUE(Remembered(folder / "sub"));
  const SInt32 oldSub = Item("sub/");

  Write(folder / "new.txt");
  ASSERT_TRUE(RunUntil([&] { return Children("").size() == 4; }));
  EXPECT_EQ(Children(""), (std::vector<std::string>{"a.txt", "new.txt", "other/", "sub/"}));
  // The sub-folder was made again, and opened again.
  EXPECT_NE(Item("sub/"), oldSub);
  EXPECT_TRUE(IsOpen(""));
  EXPECT_TRUE(IsOpen("sub/"));
  EXPECT_FALSE(IsOpen("other/"));
  EXPECT_EQ(Children("sub/"), std::vector<std::string>{"b.txt"});

  // A change inside the rebuilt sub-folder reaches its own new watch.
  fs::remove(folder / "sub" / "b.txt");
  Write(folder / "sub" / "d.txt");
  ASSERT_TRUE(RunUntil([&] { return Children("sub/") == std::vector<std::string>{"d.txt"}; }));
  EXPECT_TRUE(IsOpen("sub/"));
  EXPECT_FALSE(browser->busy);
}

TEST_F(SmartFolderTest, AFolderClosedStaysClosedAfterARefill) {
  ASSERT_EQ(OpenDataBrowserContainer(list, DataBrowserItemID(rootItem)), noErr);
  ASSERT_EQ(OpenDataBrowserContainer(list, DataBrowserItemID(Item("sub/"))), noErr);
  ASSERT_EQ(CloseDataBrowserContainer(list, DataBrowserItemID(Item("sub/"))), noErr);
  EXPECT_FALSE(Remembered(folder / "sub"));
  EXPECT_TRUE(Remembered(folder));

  fs::remove(folder / "a.txt");
  ASSERT_TRUE(RunUntil([&] { return Children("").size() == 2; }));
  EXPECT_TRUE(IsOpen(""));
  EXPECT_FALSE(IsOpen("sub/"));
  EXPECT_EQ(Children("sub/"), std::vector<std::string>{"b.txt"});  // still filled, only closed
}

TEST_F(SmartFolderTest, AFolderThatCannotBeWatchedIsNotListed) {
  // Only folders can be watched.
  EXPECT_EQ(NewSmartFolder(Ref(folder / "a.txt"), browser), nullptr);
  TSmartFolderIterator iterator;
  iterator.browser = browser;
  EXPECT_EQ(iterator.GotFolder(Ref(folder / "a.txt"), rootItem), kSmartFolderNotListed);
  // What lies inside a folder left out is left out too.
  EXPECT_EQ(iterator.GotFile(Ref(folder / "sub" / "b.txt"), kSmartFolderNotListed), 0);
  EXPECT_EQ(iterator.GotFolder(Ref(folder / "sub"), kSmartFolderNotListed), kSmartFolderNotListed);
  EXPECT_EQ(Children(""), (std::vector<std::string>{"a.txt", "other/", "sub/"}));
}
