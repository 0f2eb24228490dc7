// The list control headless: containers filled from their opened
// notification, sorting through the compare callback, selection with its
// anchor and notifications, the keyboard, editing a text cell in place, and
// rows removed from inside a notification; clicks, custom cells, drags out
// of and into the list with spring-loaded containers, and rows changed from
// inside a drop.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFURL.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "IBCarbonRuntime.h"
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

  // A point inside the item's cell, in the browser's coordinates; dx from
  // the cell's left edge (the disclosure triangle sits near it).
  CGPoint PointIn(DataBrowserItemID item, CGFloat dx, DataBrowserPropertyID property = kName) {
    Rect r{};
    EXPECT_EQ(noErr, GetDataBrowserItemPartBounds(browser, item, property, kDataBrowserPropertyEnclosingPart, &r));
    HIPoint p{CGFloat(r.left) + dx, CGFloat(r.top + r.bottom) / 2};
    HIViewConvertPoint(&p, nullptr, browser);
    return p;
  }

  void Click(CGPoint p, UInt32 modifiers = 0, UInt32 clicks = 1) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlClick, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof browser, &browser);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
    SendEventToEventTarget(e, GetControlEventTarget(browser));
    ReleaseEvent(e);
  }

  std::vector<DataBrowserItemID> Selected() {
    std::vector<DataBrowserItemID> selected;
    for (auto id : Rows())
      if (IsDataBrowserItemSelected(browser, id)) selected.push_back(id);
    return selected;
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
  // Return and Enter open the selected rows as a double-click does; with
  // nothing selected the key travels on.
  auto press = [&](UInt32 code) {
    EventRef e = nullptr;
    const UInt32 none = 0;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof none, &none);
    const OSStatus status = SendEventToEventTarget(e, GetControlEventTarget(browser));
    ReleaseEvent(e);
    return status;
  };
  for (UInt32 code : {36u, 76u}) {
    gLog.clear();
    EXPECT_EQ(noErr, press(code));
    EXPECT_EQ((std::vector<std::string>{"7:3"}), gLog) << code;
  }
  SetDataBrowserSelectedItems(browser, 0, nullptr, kDataBrowserItemsAssign);
  gLog.clear();
  EXPECT_EQ(eventNotHandledErr, press(36));
  EXPECT_TRUE(std::find(gLog.begin(), gLog.end(), "7:3") == gLog.end());

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

  // Return (or Enter) in the field ends the edit there: the row is not also
  // opened, as Return on a selected row would.
  const DataBrowserItemID two = 2;
  SetDataBrowserSelectedItems(browser, 1, &two, kDataBrowserItemsAssign);
  for (UInt32 code : {36u, 76u}) {
    ASSERT_EQ(noErr, SetDataBrowserEditItem(browser, 2, kName));
    ControlRef field = nullptr;
    GetKeyboardFocus(window, &field);
    ASSERT_NE(nullptr, field);
    ASSERT_NE(browser, field);
    gLog.clear();
    EventRef e = nullptr;
    const UInt32 none = 0;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof none, &none);
    SendEventToEventTarget(e, GetControlEventTarget(field));
    ReleaseEvent(e);
    EXPECT_EQ((std::vector<std::string>{"set 2 omega", "4:2"}), gLog) << code;
    GetDataBrowserEditItem(browser, &item, &property);
    EXPECT_EQ(0u, item);
  }
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

TEST_F(DataBrowserTest, ClicksSelectExtendToggleAndOpenContainers) {
  Install(false);
  constexpr UInt32 kShift = 1 << 9, kCommand = 1 << 8;
  struct Step {
    DataBrowserItemID item;  // 0: below the rows
    CGFloat dx;              // 5: on the disclosure triangle
    UInt32 modifiers, clicks;
    std::vector<DataBrowserItemID> rows, selected;
    std::vector<std::string> log;
  };
  const std::vector<DataBrowserItemID> closed{1, 2, 3}, open{1, 2, 3, 11, 10};
  const Step steps[] = {
      {1, 60, 0, 1, closed, {1}, {"5:1", "14:0"}},
      {3, 60, kShift, 1, closed, {1, 2, 3}, {"5:2", "5:3", "14:0"}},
      {2, 60, kCommand, 1, closed, {1, 3}, {"6:2", "14:0"}},
      {3, 60, 0, 1, closed, {3}, {"6:1", "14:0"}},  // a plain click on a selection keeps that row
      {2, 60, 0, 2, closed, {2}, {"6:3", "5:2", "14:0", "7:2"}},
      {3, 5, 0, 1, open, {2}, {"16:3", "8:3", "1:11", "1:10"}},
      {3, 5, 0, 1, closed, {2}, {"16:3", "9:3", "2:11", "2:10", "10:3"}},
      {0, 60, 0, 1, closed, {}, {"6:2", "14:0"}},
  };
  for (const Step& s : steps) {
    gLog.clear();
    CGPoint p = s.item ? PointIn(s.item, s.dx) : CGPoint{60, 190};
    Click(p, s.modifiers, s.clicks);
    EXPECT_EQ(s.rows, Rows()) << s.item << " " << s.dx;
    EXPECT_EQ(s.selected, Selected()) << s.item << " " << s.modifiers;
    EXPECT_EQ(s.log, gLog) << s.item << " " << s.modifiers << " " << s.clicks;
  }
}

// The contextual menu is about the row under the pointer: a row outside
// the selection becomes the selection before the host is asked for the
// menu; a selected row keeps the whole selection; below the rows nothing
// changes.
std::vector<DataBrowserItemID> gSelectedAtMenu;
void ContextualMenu(ControlRef browser, MenuRef* menu, UInt32* helpType, CFStringRef*, AEDesc*) {
  gSelectedAtMenu.clear();
  for (DataBrowserItemID id : {1u, 2u, 3u})
    if (IsDataBrowserItemSelected(browser, id)) gSelectedAtMenu.push_back(id);
  *menu = nullptr;  // nothing to show
  *helpType = 0;
}

TEST_F(DataBrowserTest, AContextualClickSelectsTheRowUnderThePointer) {
  Install(false);
  DataBrowserCallbacks callbacks;
  InitDataBrowserCallbacks(&callbacks);
  callbacks.u.v1.itemDataCallback = ItemData;
  callbacks.u.v1.itemNotificationCallback = Notify;
  callbacks.u.v1.getContextualMenuCallback = ContextualMenu;
  SetDataBrowserCallbacks(browser, &callbacks);
  const DataBrowserItemID two[] = {1, 2};
  SetDataBrowserSelectedItems(browser, 2, two, kDataBrowserItemsAssign);
  struct Case {
    CGPoint where;
    std::vector<DataBrowserItemID> selected;
  };
  for (const Case& c : {Case{PointIn(2, 60), {1, 2}}, Case{PointIn(3, 60), {3}}, Case{CGPoint{60, 190}, {3}}}) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlContextualMenuClick, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof browser, &browser);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof c.where, &c.where);
    SendEventToEventTarget(e, GetControlEventTarget(browser));
    ReleaseEvent(e);
    EXPECT_EQ(c.selected, gSelectedAtMenu) << c.where.y;
    EXPECT_EQ(c.selected, Selected()) << c.where.y;
  }
}

// Custom cells: drawn by the host in the port, hit-tested by the host.
constexpr DataBrowserPropertyID kSwatch = 'SWCH';
std::vector<std::pair<DataBrowserItemID, Rect>> gDrawn;
bool gHits = false;
int gHitTests = 0;

void DrawSwatch(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserItemState,
                const Rect* rect, SInt16, Boolean) {
  if (property != kSwatch) return;
  gDrawn.emplace_back(item, *rect);
  GrafPtr port = nullptr;
  GetPort(&port);
  CGContextRef ctx = nullptr;
  ASSERT_EQ(noErr, QDBeginCGContext(port, &ctx));
  Rect bounds{};
  GetPortBounds(port, &bounds);
  CGContextSetRGBFillColor(ctx, 1, 0, 0, 1);
  CGContextFillRect(ctx, CGRect{{CGFloat(rect->left), CGFloat(bounds.bottom - rect->bottom)},
                                {CGFloat(rect->right - rect->left), CGFloat(rect->bottom - rect->top)}});
  QDEndCGContext(port, &ctx);
}

Boolean HitSwatch(ControlRef, DataBrowserItemID, DataBrowserPropertyID, const Rect* cell, const Rect* mouse) {
  ++gHitTests;
  EXPECT_TRUE(mouse->left >= cell->left && mouse->right <= cell->right && mouse->top >= cell->top &&
              mouse->bottom <= cell->bottom);
  return gHits;
}

TEST_F(DataBrowserTest, CustomCellsAreDrawnAndHitTestedByTheHost) {
  Install(false);
  DataBrowserListViewColumnDesc column{};
  column.propertyDesc = {kSwatch, kDataBrowserCustomType, kDataBrowserDefaultPropertyFlags};
  column.headerBtnDesc.minimumWidth = 40;
  ASSERT_EQ(noErr, AddDataBrowserListViewColumn(browser, &column, kDataBrowserListViewAppendColumn));
  SetDataBrowserTableViewNamedColumnWidth(browser, kName, 100);
  DataBrowserCustomCallbacks custom;
  InitDataBrowserCustomCallbacks(&custom);
  custom.u.v1.drawItemCallback = DrawSwatch;
  custom.u.v1.hitTestCallback = HitSwatch;
  SetDataBrowserCustomCallbacks(browser, &custom);

  gDrawn.clear();
  std::vector<UInt8> pixels(300 * 200 * 4);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 300, 200, 8, 300 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextTranslateCTM(ctx, 0, 200);
  CGContextScaleCTM(ctx, 1, -1);
  HIViewDrawInContext(browser, ctx);
  CGContextFlush(ctx);
  CGContextRelease(ctx);
  ASSERT_EQ(3u, gDrawn.size());
  for (size_t i = 0; i < gDrawn.size(); ++i) {
    Rect content{};
    GetDataBrowserItemPartBounds(browser, gDrawn[i].first, kSwatch, kDataBrowserPropertyContentPart, &content);
    EXPECT_EQ(Rows()[i], gDrawn[i].first);
    EXPECT_EQ(content.top, gDrawn[i].second.top);
    EXPECT_EQ(content.left, gDrawn[i].second.left);
    // The host's red lands inside its cell, in the browser's coordinates.
    HIPoint mid{CGFloat(content.left + content.right) / 2, CGFloat(content.top + content.bottom) / 2};
    HIViewConvertPoint(&mid, nullptr, browser);
    const UInt8* px = &pixels[(size_t(mid.y) * 300 + size_t(mid.x)) * 4];
    EXPECT_EQ(255, px[0]) << i;
    EXPECT_EQ(0, px[1]) << i;
  }

  // The host's hit test decides a click in its cell with the minimal
  // highlight; with the fill style the whole row takes the click.
  struct Case {
    DataBrowserTableViewHiliteStyle style;
    bool hits;
    std::vector<DataBrowserItemID> selected;
  };
  for (const Case& c : {Case{kDataBrowserTableViewMinimalHilite, false, {}},
                        Case{kDataBrowserTableViewMinimalHilite, true, {2}},
                        Case{kDataBrowserTableViewFillHilite, false, {2}},
                        Case{kDataBrowserTableViewFillHilite, true, {2}}}) {
    SetDataBrowserSelectedItems(browser, 0, nullptr, kDataBrowserItemsAssign);
    SetDataBrowserTableViewHiliteStyle(browser, c.style);
    gHits = c.hits;
    gHitTests = 0;
    Click(PointIn(2, 120));
    EXPECT_EQ(c.selected, Selected()) << c.style << " " << c.hits;
    if (c.style == kDataBrowserTableViewMinimalHilite) EXPECT_EQ(1, gHitTests);
  }
}

// Drags: the host's drag callbacks, logged; the drop moves the dragged rows
// into the target container, from inside the receive callback.
std::vector<DataBrowserItemID> gDragged;

Boolean AddDragItem(ControlRef, DragRef drag, DataBrowserItemID item, ItemReference* ref) {
  gLog.push_back("add " + std::to_string(item));
  gDragged.push_back(item);
  return AddDragItemFlavor(drag, *ref, 'ITEM', &item, sizeof item, 0) == noErr;
}

Boolean AcceptDrag(ControlRef, DragRef, DataBrowserItemID item) {
  gLog.push_back("accept " + std::to_string(item));
  return item == 0 || gChildren.count(item) != 0;
}

Boolean ReceiveDrag(ControlRef browser, DragRef drag, DataBrowserItemID item) {
  gLog.push_back("receive " + std::to_string(item));
  UInt16 count = 0;
  CountDragItems(drag, &count);
  for (UInt16 i = 1; i <= count; ++i) {
    DragItemRef ref = 0;
    GetDragItemReferenceNumber(drag, i, &ref);
    DataBrowserItemID moved = 0;
    Size size = sizeof moved;
    GetFlavorData(drag, ref, 'ITEM', &moved, &size, 0);
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &moved, 0);
    gChildren[item].push_back(moved);
    AddDataBrowserItems(browser, item, 1, &moved, 0);
  }
  return true;
}

void PostDrag(ControlRef, DragRef, OSStatus result) { gLog.push_back("post " + std::to_string(result)); }

TEST_F(DataBrowserTest, DragsOutAndInSpringOpenContainersAndMoveRowsOnDrop) {
  HeadlessUseVirtualClock(true);
  HeadlessClearDrags();
  HeadlessClearMouseTrack();
  Install(false);
  DataBrowserCallbacks callbacks;
  GetDataBrowserCallbacks(browser, &callbacks);
  callbacks.u.v1.addDragItemCallback = AddDragItem;
  callbacks.u.v1.acceptDragCallback = AcceptDrag;
  callbacks.u.v1.receiveDragCallback = ReceiveDrag;
  callbacks.u.v1.postProcessDragCallback = PostDrag;
  SetDataBrowserCallbacks(browser, &callbacks);
  SetAutomaticControlDragTrackingEnabledForWindow(window, true);
  ShowWindow(window);

  auto inWindow = [&](DataBrowserItemID item, CGFloat dx) {
    HIPoint p = PointIn(item, dx);
    HIViewConvertPoint(&p, browser, nullptr);
    return p;
  };
  const DataBrowserItemID two[] = {1, 2};
  SetDataBrowserSelectedItems(browser, 2, two, kDataBrowserItemsAssign);
  gDragged.clear();

  // Press on a selected row and move past the slop: the selection is dragged.
  // The drag rests on the closed container 3 until it springs open, then is
  // dropped on it.
  CGPoint start = inWindow(2, 60);
  HeadlessQueueMouseTrack({{window, {start.x + 10, start.y}, 0, 0, false}});
  CGPoint over = inWindow(3, 60);
  HeadlessQueueDrag({{window, over, 0, 0.1}, {window, over, 0, 0.8}, {window, over, 0, 0}}, nullptr);
  gLog.clear();
  Click(PointIn(2, 60));
  // The drop is asked about again where it lands, after the drag left the view.
  const std::vector<std::string> expected = {"add 1",     "add 2", "accept 3", "8:3", "1:11", "1:10", "accept 3",
                                             "receive 3", "2:1",   "14:0",     "1:1", "2:2",  "14:0", "1:2",
                                             "post 0"};
  EXPECT_EQ(expected, gLog);
  EXPECT_EQ((std::vector<DataBrowserItemID>{1, 2}), gDragged);
  EXPECT_EQ((std::vector<DataBrowserItemID>{3, 11, 10, 1, 2}), Rows());
  DataBrowserItemState state = 0;
  GetDataBrowserItemState(browser, 3, &state);
  EXPECT_EQ(0u, state & kDataBrowserItemIsDragTarget);

  // Into a row that refuses: nothing is received, and the drag ends unaccepted.
  DragRef drag = nullptr;
  NewDrag(&drag);
  DataBrowserItemID ten = 10;
  AddDragItemFlavor(drag, 1, 'ITEM', &ten, sizeof ten, 0);
  HeadlessQueueDrag({{window, inWindow(11, 60), 0, 0.8}}, nullptr);
  gLog.clear();
  EXPECT_EQ(userCanceledErr, TrackDrag(drag, nullptr, nullptr));
  EXPECT_EQ((std::vector<std::string>{"accept 11", "accept 11"}), gLog);
  DisposeDrag(drag);
  HeadlessUseVirtualClock(false);
}

TEST(DataBrowserNibTest, ColumnsAndLookComeFromTheInterfaceFile) {
  const std::string folder = QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/nib";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  ASSERT_EQ(noErr, CreateNibReferenceWithCFBundle(bundle, CFStringMakeConstantUTF8("Browser"), &nib));
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateWindowFromNib(nib, CFStringMakeConstantUTF8("Files"), &window));
  ControlRef browser = nullptr;
  const ControlID id{'FILE', 128};
  ASSERT_EQ(noErr, GetControlByID(window, &id, &browser));
  struct Column {
    DataBrowserPropertyID property;
    UInt16 width;
  };
  const Column expected[] = {{'ICON', 24}, {'FILE', 150}, {'PATH', 120}};
  UInt32 count = 0;
  GetDataBrowserTableViewColumnCount(browser, &count);
  ASSERT_EQ(3u, count);
  for (UInt32 i = 0; i < count; ++i) {
    DataBrowserTableViewColumnID property = 0;
    GetDataBrowserTableViewColumnProperty(browser, i, &property);
    EXPECT_EQ(expected[i].property, property) << i;
    UInt16 width = 0;
    GetDataBrowserTableViewNamedColumnWidth(browser, property, &width);
    EXPECT_EQ(expected[i].width, width) << i;
  }
  DataBrowserTableViewColumnID disclosure = 0;
  Boolean expandable = false;
  GetDataBrowserListViewDisclosureColumn(browser, &disclosure, &expandable);
  EXPECT_EQ(DataBrowserTableViewColumnID('FILE'), disclosure);
  UInt16 header = 0, row = 0;
  GetDataBrowserListViewHeaderBtnHeight(browser, &header);
  GetDataBrowserTableViewRowHeight(browser, &row);
  EXPECT_EQ(20, header);
  EXPECT_EQ(22, row);
  DataBrowserAttributes attributes = 0;
  DataBrowserGetAttributes(browser, &attributes);
  EXPECT_EQ(kDataBrowserAttributeListViewAlternatingRowColors, attributes);
  DataBrowserSelectionFlags selection = 0;
  GetDataBrowserSelectionFlags(browser, &selection);
  EXPECT_EQ(kDataBrowserSelectOnlyOne, selection);
  DataBrowserTableViewHiliteStyle hilite = 1;
  GetDataBrowserTableViewHiliteStyle(browser, &hilite);
  EXPECT_EQ(kDataBrowserTableViewMinimalHilite, hilite);
  DataBrowserPropertyID sort = 0;
  DataBrowserSortOrder order = 0;
  GetDataBrowserSortProperty(browser, &sort);
  GetDataBrowserSortOrder(browser, &order);
  EXPECT_EQ(DataBrowserPropertyID('FILE'), sort);
  EXPECT_EQ(kDataBrowserOrderDecreasing, order);
  DisposeWindow(window);

  // Entries that cannot make a list fail, and leave no window behind.
  for (const char* name : {"NoProperty", "BadType", "SameColumnTwice", "WideColumn", "UnknownDisclosure",
                           "UnknownSort", "NoRows", "BadHilite"}) {
    WindowRef w = reinterpret_cast<WindowRef>(1);
    EXPECT_EQ(kIBCarbonRuntimeObjectNotOfRequestedType, CreateWindowFromNib(nib, CFStringMakeConstantUTF8(name), &w))
        << name;
    EXPECT_EQ(nullptr, w) << name;
    EXPECT_EQ(nullptr, GetWindowList()) << name;
  }
  DisposeNibReference(nib);
  CFRelease(bundle);
}

}  // namespace
