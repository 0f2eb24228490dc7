// A drag out of the list begins where the row was pressed, in global
// coordinates, so that the drag knows its source window (the desktop host
// starts the pointer drag from that window).
#include <gtest/gtest.h>

#include "CFString.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "MacWindows.h"

namespace {

constexpr DataBrowserPropertyID kName = 'TEXT';
Point gOrigin{};

OSStatus ItemData(ControlRef, DataBrowserItemID, DataBrowserPropertyID property, DataBrowserItemDataRef data,
                  Boolean setValue) {
  if (setValue) return errDataBrowserPropertyNotSupported;
  if (property == kName) return SetDataBrowserItemDataText(data, CFStringMakeConstantUTF8("row"));
  return errDataBrowserPropertyNotFound;
}

Boolean AddDragItem(ControlRef, DragRef drag, DataBrowserItemID item, ItemReference* ref) {
  return AddDragItemFlavor(drag, *ref, 'ITEM', &item, sizeof item, 0) == noErr;
}

void PostDrag(ControlRef, DragRef drag, OSStatus) { GetDragOrigin(drag, &gOrigin); }

TEST(DataBrowserDragOriginTest, ADragBeginsAtThePressedPointInGlobalCoordinates) {
  HeadlessUseVirtualClock(true);
  HeadlessClearDrags();
  HeadlessClearMouseTrack();
  Rect bounds = {120, 240, 320, 540};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
  Rect r = {0, 0, 200, 300};
  ControlRef browser = nullptr;
  ASSERT_EQ(noErr, CreateDataBrowserControl(window, &r, kDataBrowserListView, &browser));
  DataBrowserListViewColumnDesc column{};
  column.propertyDesc = {kName, kDataBrowserTextType, kDataBrowserDefaultPropertyFlags};
  AddDataBrowserListViewColumn(browser, &column, kDataBrowserListViewAppendColumn);
  DataBrowserCallbacks callbacks;
  InitDataBrowserCallbacks(&callbacks);
  callbacks.u.v1.itemDataCallback = ItemData;
  callbacks.u.v1.addDragItemCallback = AddDragItem;
  callbacks.u.v1.postProcessDragCallback = PostDrag;
  SetDataBrowserCallbacks(browser, &callbacks);
  ShowWindow(window);
  const DataBrowserItemID item = 7;
  AddDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0);
  SetDataBrowserSelectedItems(browser, 1, &item, kDataBrowserItemsAssign);

  Rect cell{};
  GetDataBrowserItemPartBounds(browser, item, kName, kDataBrowserPropertyEnclosingPart, &cell);
  const CGPoint pressed{CGFloat(cell.left + 40), CGFloat(cell.top + 5)};  // window content
  HeadlessQueueMouseTrack({{window, {pressed.x + 10, pressed.y}, 0, 0, false}});
  HeadlessQueueDrag({{window, {pressed.x + 10, pressed.y}, 0, 0}}, nullptr);
  HIPoint local = pressed;
  HIViewConvertPoint(&local, nullptr, browser);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlClick, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof browser, &browser);
  SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof local, &local);
  SendEventToEventTarget(e, GetControlEventTarget(browser));
  ReleaseEvent(e);

  Rect content{};
  GetWindowBounds(window, kWindowContentRgn, &content);
  EXPECT_EQ(SInt16(content.left + pressed.x), gOrigin.h);
  EXPECT_EQ(SInt16(content.top + pressed.y), gOrigin.v);
  DisposeWindow(window);
  HeadlessClearDrags();
  HeadlessUseVirtualClock(false);
}

}  // namespace
