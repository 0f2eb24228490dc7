// The browser headless: a tree bound to a list view and its rows, item IDs,
// the tree's lifetime, selection, focus history, the tree file through
// save and load, and the library's export list.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "BrowserFixture.h"
#include "CFArray.h"
#include "CFData.h"
#include "Files.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"

namespace {

TEST_F(BrowserTest, BindsATreeToTheListAndShowsItsRows) {
  // Column view with a tree of its own, which goes with the browser.
  Init(kBrackenrowAllocateTree | kBrackenrowColumnView);
  DataBrowserViewStyle style = 0;
  GetDataBrowserViewStyle(browser, &style);
  EXPECT_EQ(kDataBrowserColumnView, style);
  ASSERT_NE(nullptr, BrackenrowGetTree(browser));

  SInt32 box = Append("box", 0, true);
  SInt32 empty = Append("empty", 0, true);
  SInt32 leaf = Append("leaf");
  Append("inner", box);
  // A node in a closed container has no row until the container opens.
  EXPECT_EQ((std::vector<std::string>{"box", "empty", "leaf"}), Rows());
  EXPECT_EQ("box[inner] empty leaf", Shape());
  EXPECT_EQ(4, BrackenrowGetModCount(browser));
  EXPECT_EQ(noErr, OpenDataBrowserContainer(browser, DataBrowserItemID(box)));
  EXPECT_EQ((std::vector<std::string>{"box", "inner", "empty", "leaf"}), Rows());
  EXPECT_TRUE(BrackenrowGetNodeAtIndex(box, browser)->OPEN);
  // An empty container still opens (it shows a triangle); a leaf does not.
  EXPECT_EQ(noErr, OpenDataBrowserContainer(browser, DataBrowserItemID(empty)));
  EXPECT_NE(noErr, OpenDataBrowserContainer(browser, DataBrowserItemID(leaf)));

  // Double-clicking a row edits its 'TEXT' column, with or without SETITEMTEXT.
  DataBrowserListViewColumnDesc text{};
  text.propertyDesc = {'TEXT', kDataBrowserTextType, kDataBrowserPropertyIsEditable};
  AddDataBrowserListViewColumn(browser, &text, kDataBrowserListViewAppendColumn);
  Rect r = Cell(leaf);
  Click(browser, CGPoint{CGFloat(r.left + 40), CGFloat(r.top + 5)}, 2);
  DataBrowserItemID editing = 0;
  DataBrowserPropertyID property = 0;
  GetDataBrowserEditItem(browser, &editing, &property);
  EXPECT_EQ(DataBrowserItemID(leaf), editing);
  EXPECT_EQ(DataBrowserPropertyID('TEXT'), property);
  SetDataBrowserEditItem(browser, 0, 0);

  BrackenrowRelease(browser);
  EXPECT_EQ(nullptr, BrackenrowGetTree(browser));
  EXPECT_EQ(4, gHost.releasedItems);
}

TEST_F(BrowserTest, SortsRowsThroughTheHostOnlyWithTheOption) {
  for (bool sorted : {false, true}) {
    ControlRef list = NewList(Rect{0, 0, 100, 100});
    Init(kBrackenrowAllocateTree | (sorted ? kBrackenrowSortRows : 0), list);
    for (const char* name : {"pear", "apple", "fig"}) Append(name, 0, false, 0, 0, list);
    EXPECT_EQ(sorted ? (std::vector<std::string>{"apple", "fig", "pear"})
                     : (std::vector<std::string>{"pear", "apple", "fig"}),
              Rows(list))
        << sorted;
  }
}

TEST_F(BrowserTest, ItemIDsComeFromEachBrowsersOwnSet) {
  Init(kBrackenrowAllocateTree);
  ControlRef other = NewList(Rect{0, 0, 100, 100});
  Init(kBrackenrowAllocateTree, other);
  EXPECT_EQ(20001, Append("a", 0, false, 1, 2));
  EXPECT_EQ(20002, Append("b", 0, false, 2, 2));
  EXPECT_EQ(3, BrackenrowGetUniqueIndex(2, browser));
  EXPECT_EQ(20003, Append("c", 0, false, 0, 2));
  EXPECT_EQ(10005, Append("d", 0, false, 5, 1));
  EXPECT_EQ(1, Append("e"));
  EXPECT_EQ(2, Append("f"));
  // The other browser's IDs are its own.
  EXPECT_EQ(1, BrackenrowGetUniqueIndex(2, other));
  EXPECT_EQ(20001, Append("x", 0, false, 0, 2, other));
  // A removed item's ID is free again; a grafted subtree's are taken.
  BrackenrowRemoveItem(browser, 20001);
  EXPECT_EQ(1, BrackenrowGetUniqueIndex(2, browser));
  CFTreeRef graft = BrackenrowCreateTree(nullptr);
  CFTreeRef node = BrackenrowCreateTree(BrackenrowNewNode(nullptr, 0, 'TEXT', 20001, 0, false));
  CFTreeAppendChild(graft, node);
  CFRelease(node);
  BrackenrowAppendChild(graft, 0, 0, kTreeBrowserDontExpand, kTreeBrowserDontIncludeRoot, browser);
  CFRelease(graft);
  EXPECT_EQ(4, BrackenrowGetUniqueIndex(2, browser));
  // With the running counter the IDs count on from the last one.
  ControlRef counted = NewList(Rect{0, 0, 100, 100});
  Init(kBrackenrowAllocateTree | kBrackenrowLinearAutoIncrement, counted);
  EXPECT_EQ(1, Append("p", 0, false, 0, 0, counted));
  EXPECT_EQ(2, Append("q", 0, false, 0, 0, counted));
  EXPECT_EQ(10003, Append("r", 0, false, 0, 1, counted));
}

TEST_F(BrowserTest, TheBrowserHoldsItsTreeAndReplacingItReleasesTheOldOne) {
  Init(kBrackenrowAllocateTree);
  Append("own 1");
  Append("own 2");
  // The host's tree: the browser keeps it alive while it shows it.
  CFTreeRef hosts = BrackenrowCreateTree(nullptr);
  NodeInfoPtr record = BrackenrowNewNode(NewPtrCopy("host", 5), 5, 'TEXT', 7, 0, false);
  BrackenrowAssociateNode(record, browser);
  CFTreeRef node = BrackenrowCreateTree(record);
  CFTreeAppendChild(hosts, node);
  CFRelease(node);
  BrackenrowSetTree(browser, hosts);
  // The old rows went with the old tree, which the browser owned.
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(2, gHost.releasedItems);
  CFRelease(hosts);
  EXPECT_EQ("host", NameOf(BrackenrowGetNodeAtIndex(7, browser)));
  BrackenrowFocusAtIndex(0, browser);
  EXPECT_EQ((std::vector<std::string>{"host"}), Rows());
  // Set again, the same tree stays as it is.
  BrackenrowSetTree(browser, BrackenrowGetTree(browser));
  EXPECT_EQ((std::vector<std::string>{"host"}), Rows());
  EXPECT_EQ(2, gHost.releasedItems);
  BrackenrowRelease(browser);
  EXPECT_EQ(3, gHost.releasedItems);

  // Without the tree options the host's own reference stays the host's; with
  // kBrackenrowReleaseTree alone the browser takes it over.
  for (BrackenrowOptions options : {kBrackenrowDefaultOptions, kBrackenrowReleaseTree}) {
    ControlRef list = NewList(Rect{0, 0, 100, 100});
    Init(options, list);
    CFTreeRef tree = BrackenrowCreateTree(nullptr);
    BrackenrowSetTree(list, tree);
    BrackenrowRelease(list);
    if (options == kBrackenrowDefaultOptions) {
      EXPECT_EQ(1, CFGetRetainCount(tree));
      CFRelease(tree);
    }
  }
}

TEST_F(BrowserTest, TimerAndWindowMouseHandlerEndWithTheBrowser) {
  HeadlessUseVirtualClock(true);
  BrackenrowCallbacks callbacks = HostCallbacks();
  callbacks.RELEASE = hostcb::Release;
  Init(kBrackenrowAllocateTree, browser, callbacks);
  SInt32 last = 0;
  for (const char* name : {"one", "two", "three"}) last = Append(name);
  HeadlessAdvanceClock(0.25);
  EXPECT_GE(gHost.timerTicks, 2);

  // The first draw hooks the window's mouse-down: the row pressed is
  // recorded, the last row too.
  std::vector<UInt8> pixels(300 * 200 * 4);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 300, 200, 8, 1200, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  HIViewDrawInContext(browser, ctx);
  const Rect lastCell = Cell(last);
  auto mouseDown = [&](const Rect& r) {
    HIPoint where{CGFloat(r.left + 30), CGFloat(r.top + 5)};
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof where, &where);
    SendEventToEventTarget(e, GetWindowEventTarget(window));
    ReleaseEvent(e);
  };
  mouseDown(lastCell);
  gHost.stateAtDraw.clear();
  HIViewDrawInContext(browser, ctx);
  // The draw of the pressed row saw the mouse-down state.
  EXPECT_EQ((std::vector<UInt32>{0, 0, kDataBrowserItemMouseDownState}), gHost.stateAtDraw);

  // Disposed while the host keeps the record: nothing of the browser runs
  // until the host releases it.
  DisposeControl(browser);
  EXPECT_EQ(1, gHost.releases);
  EXPECT_EQ(0, gHost.ticksWhileReleasing);
  EXPECT_EQ(3, gHost.releasedItems);
  const int ticks = gHost.timerTicks;
  HeadlessAdvanceClock(0.5);
  EXPECT_EQ(ticks, gHost.timerTicks);
  mouseDown(lastCell);  // the window's handler is gone with the control
  CGContextRelease(ctx);
  HeadlessUseVirtualClock(false);
}

TEST_F(BrowserTest, TheModificationCountFollowsEveryChange) {
  Init(kBrackenrowAllocateTree);
  SInt32 box = Append("box", 0, true);
  Append("in", box);
  Append("out");
  EXPECT_EQ(3, BrackenrowGetModCount(browser));
  BrackenrowResetModCount(browser);
  BrackenrowSetModified(browser);
  EXPECT_EQ(1, BrackenrowGetModCount(browser));
  BrackenrowClearContainer(browser, box);
  EXPECT_EQ("box out", Shape());
  EXPECT_EQ(2, BrackenrowGetModCount(browser));
  // Clearing removes rows and the browser's own nodes but counts nothing.
  BrackenrowClear(browser);
  EXPECT_EQ("", Shape());
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(2, BrackenrowGetModCount(browser));
}

TEST_F(BrowserTest, AnItemForAMissingContainerIsShownWhereItsNodeWent) {
  Init(kBrackenrowAllocateTree);
  Append("first");
  SInt32 lost = Append("lost", 999);
  EXPECT_EQ("first lost", Shape());
  EXPECT_EQ((std::vector<std::string>{"first", "lost"}), Rows());
  EXPECT_EQ(nullptr, BrackenrowGetNodeParent(lost, browser));
}

TEST_F(BrowserTest, DeleteKeysRemoveTheSelectionExceptWhileEditing) {
  Init(kBrackenrowAllocateTree | kBrackenrowKeyboardRemove);
  SInt32 one = Append("one");
  SInt32 two = Append("two");
  auto key = [&](UInt32 code) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SendEventToEventTarget(e, GetControlEventTarget(browser));
    ReleaseEvent(e);
  };
  DataBrowserListViewColumnDesc text{};
  text.propertyDesc = {'TEXT', kDataBrowserTextType, kDataBrowserPropertyIsEditable};
  AddDataBrowserListViewColumn(browser, &text, kDataBrowserListViewAppendColumn);
  Select({two});
  SetDataBrowserEditItem(browser, DataBrowserItemID(two), 'TEXT');
  key(117);  // forward delete, inside the edit
  EXPECT_EQ("one two", Shape());
  SetDataBrowserEditItem(browser, 0, 0);
  Select({one});
  key(51);  // delete
  EXPECT_EQ("two", Shape());
}

TEST_F(BrowserTest, ClearingTheSelectionAsksTheHostAndSkipsItemsAlreadyFreed) {
  Init(kBrackenrowAllocateTree);
  SInt32 box = Append("box", 0, true);
  SInt32 inner = Append("inner", box);
  SInt32 keep = Append("keep");
  SInt32 gone = Append("gone");
  Append("other");
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  gHost.refuseRemove = {"keep"};
  // The container comes before its selected child: deleting it frees the child.
  Select({box, inner, keep, gone});
  const int before = BrackenrowGetModCount(browser);
  BrackenrowClearSelection(true, browser);
  EXPECT_EQ((std::vector<std::string>{"remove? box", "remove? keep", "remove? gone"}), gHost.log);
  EXPECT_EQ("keep other", Shape());
  EXPECT_EQ((std::vector<std::string>{"keep", "other"}), Rows());
  EXPECT_EQ(before + 2, BrackenrowGetModCount(browser));
  EXPECT_EQ(3, gHost.releasedItems);

  // Taking items out of the selection deletes nothing.
  Select({keep});
  BrackenrowRemoveSelection(browser);
  EXPECT_TRUE(Selected().empty());
  EXPECT_EQ("keep other", Shape());
}

TEST_F(BrowserTest, QueriesReadTheTreeAndTheRows) {
  Init(kBrackenrowAllocateTree);
  SInt32 box = Append("box", 0, true);
  SInt32 inner = Append("inner", box);
  SInt32 top = Append("top");
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  Select({inner, top});
  EXPECT_EQ((std::vector<std::string>{"inner", "top"}), Selected());
  EXPECT_EQ("inner", NameOf(BrackenrowGetSelection(browser)));
  EXPECT_EQ("box", NameOf(BrackenrowGetNodeParent(inner, browser)));
  EXPECT_EQ(nullptr, BrackenrowGetNodeParent(top, browser));
  EXPECT_EQ(nullptr, BrackenrowGetNodeAtIndex(99, browser));

  struct Case {
    SInt32 item;
    std::vector<std::string> chain;
  };
  for (const Case& c : {Case{top, {"top"}}, Case{inner, {"inner", "box"}}}) {
    CFArrayRef chain = BrackenrowCreateParentArray(c.item, browser);
    ASSERT_NE(nullptr, chain);
    std::vector<std::string> names;
    for (CFIndex i = 0; i < CFArrayGetCount(chain); ++i)
      names.push_back(NameOf(static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(chain, i)))));
    CFRelease(chain);
    EXPECT_EQ(c.chain, names);
  }
  EXPECT_EQ(nullptr, BrackenrowCreateParentArray(99, browser));

  CFArrayRef all = BrackenrowCopyNodes(browser);
  ASSERT_NE(nullptr, all);
  EXPECT_EQ(3, CFArrayGetCount(all));
  CFRelease(all);
  // Payload copies of the rows directly inside the container.
  CFArrayRef copies = BrackenrowSerializeContainer(browser, box);
  ASSERT_NE(nullptr, copies);
  ASSERT_EQ(1, CFArrayGetCount(copies));
  EXPECT_STREQ("inner", reinterpret_cast<const char*>(
                            CFDataGetBytePtr(static_cast<CFDataRef>(CFArrayGetValueAtIndex(copies, 0)))));
  CFRelease(copies);
  SInt16 count = 0;
  ItemArrayHandle items = GetContainerItems(browser, 0, count);
  EXPECT_EQ(2, count);
  DisposeHandle(reinterpret_cast<Handle>(items));
}

TEST_F(BrowserTest, GraftsSubtreesAndReferencesOtherTrees) {
  Init(kBrackenrowAllocateTree);
  SInt32 box = Append("box", 0, true);
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  CFTreeRef bare = BrackenrowCreateTree(nullptr);
  for (SInt32 i = 1; i <= 3; ++i) {
    std::string name = "g" + std::to_string(i);
    CFTreeRef n = BrackenrowCreateTree(BrackenrowNewNode(NewPtrCopy(name.c_str(), 3), 3, 'TEXT', 100 + i, 0, false));
    CFTreeAppendChild(bare, n);
    CFRelease(n);
  }
  BrackenrowAppendChild(bare, box, 0, kTreeBrowserExpand, kTreeBrowserDontIncludeRoot, browser);
  EXPECT_EQ(0, CFTreeGetChildCount(bare));
  EXPECT_EQ("box[g1 g2 g3]", Shape());
  EXPECT_EQ((std::vector<std::string>{"box", "g1", "g2", "g3"}), Rows());
  // A subtree never goes inside itself.
  CFRetain(BrackenrowGetTree(browser));
  CFTreeRef boxNode = CFTreeRecurseGetChildAtIndex(BrackenrowGetTree(browser), box);
  BrackenrowAppendChild(boxNode, 101, 0, kTreeBrowserExpand, kTreeBrowserIncludeRoot, browser);
  EXPECT_EQ("box[g1 g2 g3]", Shape());
  CFRelease(BrackenrowGetTree(browser));
  CFRelease(bare);

  // A reference shows another tree's children without copying them.
  ControlRef list = NewList(Rect{0, 0, 100, 100});
  Init(kBrackenrowDefaultOptions, list);
  BrackenrowAppendReference(0, 0, BrackenrowGetTree(browser), list);
  EXPECT_EQ((std::vector<std::string>{"box"}), Rows(list));
  BrackenrowRelease(list);
  EXPECT_EQ("box[g1 g2 g3]", Shape());
}

TEST_F(BrowserTest, FocusShowsOneLevelAndGoesBackThroughItsMenu) {
  Init(kBrackenrowAllocateTree);
  SInt32 a = Append("a", 0, true);
  SInt32 b = Append("b", a, true);
  SInt32 leaf = Append("leaf", b);
  SInt32 top = Append("top");
  // A leaf focuses its parent; the first row is selected.
  BrackenrowFocusAtIndex(leaf, browser);
  EXPECT_EQ(b, BrackenrowGetFocusItem(browser));
  EXPECT_EQ((std::vector<std::string>{"leaf"}), Rows());
  EXPECT_EQ((std::vector<std::string>{"leaf"}), Selected());
  // Appending into the focused container shows the item at the top level.
  Append("new", b);
  EXPECT_EQ((std::vector<std::string>{"leaf", "new"}), Rows());

  // Without a menu of two items there is no going back.
  EXPECT_EQ(0, BrackenrowFocusGoBack(browser));
  MenuRef menu = nullptr;
  CreateNewMenu(200, 0, &menu);
  for (SInt32 target : {b, a, SInt32(0)}) {
    MenuItemIndex item = 0;
    AppendMenuItemTextWithCFString(menu, CFSTR("level"), 0, 0, &item);
    SetMenuItemProperty(menu, item, 'BRKW', 'cfix', sizeof target, &target);
    SetMenuItemProperty(menu, item, 'BRKW', 'ctrl', sizeof browser, &browser);
  }
  SetControlProperty(browser, 'BRKW', 'MENU', sizeof menu, &menu);
  EXPECT_EQ(a, BrackenrowFocusGoBack(browser));
  EXPECT_EQ(2, CountMenuItems(menu));
  EXPECT_EQ((std::vector<std::string>{"b"}), Rows());

  // Choosing the outermost level from the menu: the command trims it.
  HICommand command{};
  command.commandID = kHICommandFocusBrowser;
  command.menu.menuRef = menu;
  command.menu.menuItemIndex = 2;
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  EXPECT_EQ(noErr, BrackenrowHandleFocusEvent(e));
  ReleaseEvent(e);
  EXPECT_EQ(0, BrackenrowGetFocusItem(browser));
  EXPECT_EQ(1, CountMenuItems(menu));
  EXPECT_EQ((std::vector<std::string>{"a", "top"}), Rows());
  EXPECT_EQ(0, BrackenrowFocusGoBack(browser));

  // Freeing the focused node gives the focus back to the whole tree.
  BrackenrowFocusAtIndex(leaf, browser);
  BrackenrowClearContainer(browser, a);
  EXPECT_EQ(0, BrackenrowGetFocusItem(browser));
  EXPECT_EQ((std::vector<std::string>{"a", "top"}), Rows());
  BrackenrowFocusAtIndex(SInt32(top), browser);
  BrackenrowClearFocus(browser);
  EXPECT_EQ(0, BrackenrowGetFocusItem(browser));
  RemoveControlProperty(browser, 'BRKW', 'MENU');
  ReleaseMenu(menu);
}

// --- The tree file ------------------------------------------------------------------

class BrowserFileTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    folder = std::filesystem::path(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") /
             ("brackenrow-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    file = folder / "tree.plist";
    std::ofstream(file).put('x');
  }
  void TearDown() override {
    BrowserTest::TearDown();
    std::filesystem::remove_all(folder);
  }
  FSRef Ref() {
    FSRef ref{};
    EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr));
    return ref;
  }
  std::string Contents() {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path folder, file;
};

TEST_F(BrowserFileTest, SavesOnlyChangesAndLoadsIntoAnotherBrowser) {
  Init(kBrackenrowAllocateTree);
  FSRef where = Ref();
  SInt32 box = Append("box", 0, true);
  Append("in", box);
  Append("out");
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  BrackenrowResetModCount(browser);
  // Nothing changed: the file is not touched.
  EXPECT_EQ(noErr, BrackenrowSave(where, browser));
  EXPECT_EQ("x", Contents());
  BrackenrowSetModified(browser);
  EXPECT_EQ(noErr, BrackenrowSave(where, browser));
  EXPECT_EQ(0, BrackenrowGetModCount(browser));
  EXPECT_NE(std::string::npos, Contents().find("<array>"));

  // Loaded into a browser that shows something else: its rows and old tree
  // make way for the file's.
  ControlRef list = NewList(Rect{0, 0, 100, 100});
  Init(kBrackenrowAllocateTree, list);
  Append("stale", 0, false, 0, 0, list);
  EXPECT_EQ(noErr, BrackenrowLoad(where, list));
  EXPECT_EQ((std::vector<std::string>{"box", "in", "out"}), Rows(list));
  EXPECT_EQ("box[in] out", Shape(BrackenrowGetTree(list)));
  EXPECT_EQ(1, gHost.releasedItems);  // "stale", with the old tree

  // An unreadable file leaves the browser as it was.
  std::ofstream(folder / "junk.plist") << "not a list";
  FSRef junk{};
  FSPathMakeRef(reinterpret_cast<const UInt8*>((folder / "junk.plist").c_str()), &junk, nullptr);
  EXPECT_EQ(-39, BrackenrowLoad(junk, list));
  EXPECT_EQ((std::vector<std::string>{"box", "in", "out"}), Rows(list));
}

TEST_F(BrowserFileTest, AFailedWriteKeepsTheChangesUnsaved) {
  Init(kBrackenrowAllocateTree);
  FSRef where = Ref();
  Append("one");
  Append("two");
  // The file's folder is gone: the write cannot succeed.
  std::filesystem::remove_all(folder);
  EXPECT_NE(noErr, BrackenrowSave(where, browser));
  EXPECT_EQ(2, BrackenrowGetModCount(browser));
  std::filesystem::create_directories(folder);
  std::ofstream(file).put('x');
  EXPECT_EQ(noErr, BrackenrowSave(where, browser));
  EXPECT_EQ(0, BrackenrowGetModCount(browser));
}

// --- The library -----------------------------------------------------------------------

TEST(BrackenrowLibraryTest, ExportsItsWholeInterface) {
  void* library = dlopen("libBrackenrow.so", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(nullptr, library);
  const char* names[] = {
      // Tree model and node records.
      "BrackenrowNewNode", "BrackenrowAssociateNode", "BrackenrowReleaseNode", "BrackenrowContextCallbacks",
      "BrackenrowCreateTree", "BrackenrowGetNode", "BrackenrowGetNodeData", "CFTreeRecurseGetChildAtIndex",
      "BrackenrowSearch", "CFTreeApplyFunctionToAllChildren", "CFTreeCreateArrayCopy", "BrackenrowGetUniqueIndex",
      // Binding.
      "BrackenrowInitialize", "BrackenrowRelease", "BrackenrowSetOptions", "BrackenrowRemoveCallbacks",
      "BrackenrowSetBackgroundColor", "BrackenrowSetSelectionImage", "BrackenrowSetDragColumn",
      "BrackenrowSetModified", "BrackenrowGetModCount", "BrackenrowResetModCount", "BrackenrowGetTree",
      "BrackenrowGetCursorState", "BrackenrowGetCursorLocation",
      // Drawing.
      "StandardTextPropertyDrawHandler", "StandardCaptionPropertyDrawHandler", "StandardSelectionDrawHandler",
      "StandardCellDrawHandler", "StandardIconDrawHandler", "StandardTextDrawHandler", "StandardCaptionDrawHandler",
      "StandardTrackingDrawHandler", "GetStandardIconBounds", "GetStandardTextBounds",
      "StandardTextPropertyHitTest",
      // The tree file.
      "CFTreeConvertToProperyList", "CFTreeCreateFromPropertyList", "CFTreeWritePropertyList",
      "CFTreeReadPropertyList", "BrackenrowGetPropertyList", "BrackenrowSave", "BrackenrowLoad",
      // Items, selection and focus.
      "BrackenrowAppendItem", "BrackenrowWriteLn", "BrackenrowAppendChild", "BrackenrowAppendReference",
      "BrackenrowSetTree", "BrackenrowRemoveAll", "BrackenrowClear", "BrackenrowClearContainer",
      "BrackenrowRemoveItem", "BrackenrowClearSelection", "BrackenrowRemoveSelection", "GetSelectedBrowserItems",
      "GetContainerItems", "BrackenrowGetSelection", "BrackenrowGetNodeAtIndex", "BrackenrowGetNodeParent",
      "BrackenrowCreateParentArray", "BrackenrowCopyNodes", "BrackenrowSerializeContainer",
      "BrackenrowApplyFunction", "BrackenrowUpdateItem", "BrackenrowGetHover", "BrackenrowClearHover",
      "BrackenrowGetFocus", "BrackenrowGetFocusItem", "BrackenrowClearFocus", "BrackenrowFocusAtIndex",
      "BrackenrowFocusGoBack", "BrackenrowHandleFocusEvent"};
  EXPECT_EQ(72u, std::size(names));
  for (const char* name : names) EXPECT_NE(nullptr, dlsym(library, name)) << name;
  // The library's own helpers stay inside it.
  for (const char* name : {"ExpandTree", "HandleDropLocation", "GetBrowserData", "BrackenrowSelectRow"})
    EXPECT_EQ(nullptr, dlsym(library, name)) << name;
  dlclose(library);
}

}  // namespace
