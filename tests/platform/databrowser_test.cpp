// The list control headless: containers filled from their opened
// notification, sorting through the compare callback, selection with its
// anchor and notifications, the keyboard, editing a text cell in place, and
// rows removed from inside a notification.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "DataBrowser.h"
#include "MacWindows.h"
#include "QuickDraw.h"

namespace {

constexpr DataBrowserPropertyID kName = 'TEXT';
std::vector<std::string> gLog;
std::map<DataBrowserItemID, std::string> gNames;
std::map<DataBrowserItemID, std::vector<DataBrowserItemID>> gChildren;
DataBrowserItemID gRemoveOnSelect = 0;

std::string Utf8(CFStringRef s) {
  char buf[256] = {};
  if (s) CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

OSStatus ItemData(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserItemDataRef data,
                  Boolean setValue) {
  if (setValue) {
    CFStringRef text = nullptr;
    GetDataBrowserItemDataText(data, &text);
    gNames[item] = Utf8(text);
    gLog.push_back("set " + std::to_string(item) + " " + gNames[item]);
    if (text) CFRelease(text);
    return noErr;
  }
  if (property == kDataBrowserItemIsContainerProperty)
    return SetDataBrowserItemDataBooleanValue(data, gChildren.count(item) != 0);
  if (property == kName) return SetDataBrowserItemDataText(data, CFStringMakeConstantUTF8(gNames[item].c_str()));
  return errDataBrowserPropertyNotFound;
}

Boolean Compare(ControlRef, DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID) {
  return gNames[a] < gNames[b];
}

void Notify(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
  gLog.push_back(std::to_string(message) + ":" + std::to_string(item));
  if (message == kDataBrowserContainerOpened) {
    auto& kids = gChildren[item];
    AddDataBrowserItems(browser, item, UInt32(kids.size()), kids.data(), 0);
  }
  if (message == kDataBrowserItemSelected && item == gRemoveOnSelect)
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0);
}

class DataBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rect bounds = {100, 100, 300, 400};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
    Rect r = {0, 0, 200, 300};
    ASSERT_EQ(noErr, CreateDataBrowserControl(window, &r, kDataBrowserListView, &browser));
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {kName, kDataBrowserTextType, kDataBrowserDefaultPropertyFlags};
    ASSERT_EQ(noErr, AddDataBrowserListViewColumn(browser, &column, kDataBrowserListViewAppendColumn));
    SetDataBrowserListViewDisclosureColumn(browser, kName, true);
    gLog.clear();
    gNames = {{1, "delta"}, {2, "alpha"}, {3, "charlie"}, {10, "bravo"}, {11, "echo"}};
    gChildren = {{3, {11, 10}}};
    gRemoveOnSelect = 0;
  }
  void TearDown() override { DisposeWindow(window); }

  void Install(bool sorted) {
    DataBrowserCallbacks callbacks;
    InitDataBrowserCallbacks(&callbacks);
    callbacks.u.v1.itemDataCallback = ItemData;
    callbacks.u.v1.itemNotificationCallback = Notify;
    if (sorted) callbacks.u.v1.itemCompareCallback = Compare;
    SetDataBrowserCallbacks(browser, &callbacks);
    const DataBrowserItemID top[] = {1, 2, 3};
    AddDataBrowserItems(browser, kDataBrowserNoItem, 3, top, 0);
    gLog.clear();
  }

  std::vector<DataBrowserItemID> Rows() {
    std::vector<DataBrowserItemID> rows;
    for (DataBrowserTableViewRowIndex r = 0;; ++r) {
      DataBrowserItemID id = 0;
      if (GetDataBrowserTableViewItemID(browser, r, &id) != noErr) return rows;
      rows.push_back(id);
    }
  }

  WindowRef window = nullptr;
  ControlRef browser = nullptr;
};

TEST_F(DataBrowserTest, KeepsInsertionOrderOrSortsThroughTheCompareCallback) {
  struct Case {
    bool sorted;
    DataBrowserSortOrder order;
    std::vector<DataBrowserItemID> rows;
  };
  for (const Case& c : {Case{false, kDataBrowserOrderIncreasing, {1, 2, 3, 11, 10}},
                        Case{true, kDataBrowserOrderIncreasing, {2, 3, 10, 11, 1}},
                        Case{true, kDataBrowserOrderDecreasing, {1, 3, 11, 10, 2}}}) {
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, 0);
    SetDataBrowserSortOrder(browser, c.order);
    Install(c.sorted);
    // The host fills the container from inside its opened notification.
    ASSERT_EQ(noErr, OpenDataBrowserContainer(browser, 3));
    EXPECT_EQ(c.rows, Rows()) << c.sorted << " " << c.order;
    UInt32 count = 0;
    GetDataBrowserItemCount(browser, 3, false, kDataBrowserItemAnyState, &count);
    EXPECT_EQ(2u, count);
    DataBrowserItemState state = 0;
    GetDataBrowserItemState(browser, 3, &state);
    EXPECT_EQ(kDataBrowserContainerIsOpen, state);
  }
  // Closing takes the children out, with their removed notifications.
  gLog.clear();
  CloseDataBrowserContainer(browser, 3);
  EXPECT_EQ((std::vector<std::string>{"9:3", "2:11", "2:10", "10:3"}), gLog);
  EXPECT_EQ(3u, Rows().size());
  EXPECT_EQ(errDataBrowserItemNotFound, OpenDataBrowserContainer(browser, 2));  // not a container
}

TEST_F(DataBrowserTest, SelectionKeepsAnAnchorAndTellsTheHost) {
  Install(false);
  const DataBrowserItemID two[] = {2, 3};
  SetDataBrowserSelectedItems(browser, 2, two, kDataBrowserItemsAssign);
  EXPECT_EQ((std::vector<std::string>{"5:2", "5:3", "14:0"}), gLog);
  DataBrowserItemID first = 0, last = 0;
  GetDataBrowserSelectionAnchor(browser, &first, &last);
  EXPECT_EQ(2u, first);
  EXPECT_EQ(3u, last);
  UInt32 count = 0;
  GetDataBrowserItemCount(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected, &count);
  EXPECT_EQ(2u, count);

  // The keyboard: up from the anchor selects the row above it only; shift-down extends.
  struct Key {
    UInt32 code, modifiers;
    std::vector<DataBrowserItemID> selected;
  };
  SetKeyboardFocus(window, browser, kControlFocusNextPart);
  for (const Key& k : {Key{126, 0, {1}}, Key{126, 0, {1}}, Key{125, 1 << 9, {1, 2}}, Key{125, 0, {3}}}) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof k.code, &k.code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof k.modifiers, &k.modifiers);
    EXPECT_EQ(noErr, SendEventToEventTarget(e, GetControlEventTarget(browser)));
    ReleaseEvent(e);
    std::vector<DataBrowserItemID> selected;
    for (auto id : Rows())
      if (IsDataBrowserItemSelected(browser, id)) selected.push_back(id);
    EXPECT_EQ(k.selected, selected) << k.code;
  }

  // A host that removes the row from inside its selected notification.
  gRemoveOnSelect = 1;
  gLog.clear();
  const DataBrowserItemID one = 1;
  SetDataBrowserSelectedItems(browser, 1, &one, kDataBrowserItemsAssign);
  EXPECT_EQ((std::vector<DataBrowserItemID>{2, 3}), Rows());
  GetDataBrowserSelectionAnchor(browser, &first, &last);
  EXPECT_EQ(0u, first);
}

TEST_F(DataBrowserTest, EditsATextCellInPlace) {
  Install(false);
  ASSERT_EQ(noErr, SetDataBrowserEditItem(browser, 2, kName));
  DataBrowserItemID item = 0;
  DataBrowserPropertyID property = 0;
  GetDataBrowserEditItem(browser, &item, &property);
  EXPECT_EQ(2u, item);
  EXPECT_EQ(kName, property);
  CFStringRef text = nullptr;
  CopyDataBrowserEditText(browser, &text);
  EXPECT_EQ("alpha", Utf8(text));
  CFRelease(text);
  SetDataBrowserEditText(browser, CFStringMakeConstantUTF8("omega"));
  SetDataBrowserEditItem(browser, kDataBrowserNoItem, 0);  // commits
  EXPECT_EQ((std::vector<std::string>{"3:2", "set 2 omega", "4:2"}), gLog);
  GetDataBrowserEditItem(browser, &item, &property);
  EXPECT_EQ(0u, item);
  EXPECT_EQ(errDataBrowserPropertyNotFound, SetDataBrowserEditItem(browser, 2, 'NONE'));
}

TEST_F(DataBrowserTest, PartBoundsIndentByDepthAndScrollingRevealsRows) {
  Install(false);
  OpenDataBrowserContainer(browser, 3);
  Rect top{}, child{};
  ASSERT_EQ(noErr, GetDataBrowserItemPartBounds(browser, 3, kName, kDataBrowserPropertyContentPart, &top));
  ASSERT_EQ(noErr, GetDataBrowserItemPartBounds(browser, 11, kName, kDataBrowserPropertyContentPart, &child));
  CGFloat gap = 0;
  GetDataBrowserMetric(browser, kDataBrowserMetricDisclosureColumnPerDepthGap, nullptr, &gap);
  EXPECT_EQ(SInt16(gap), child.left - top.left);
  UInt16 height = 0;
  GetDataBrowserTableViewRowHeight(browser, &height);
  EXPECT_EQ(height, child.top - top.top);
  // Many rows: revealing the last scrolls it into view.
  std::vector<DataBrowserItemID> many;
  for (DataBrowserItemID id = 100; id < 140; ++id) many.push_back(id);
  AddDataBrowserItems(browser, kDataBrowserNoItem, UInt32(many.size()), many.data(), 0);
  RevealDataBrowserItem(browser, 139, kName, kDataBrowserRevealOnly);
  UInt32 scrollTop = 0;
  GetDataBrowserScrollPosition(browser, &scrollTop, nullptr);
  EXPECT_EQ(UInt32(45 * height - 200), scrollTop);
}

}  // namespace
