// Tracking: which clicks and drag positions hit an item, decided by the
// host's HITTEST, and the part of the row under a drag.
#include "PascalCarbonCommon.h"
#include "brackenrow/BrowserData.h"

namespace {

CGRect ToCG(const Rect& r) {
  return CGRect{{CGFloat(r.left), CGFloat(r.top)}, {CGFloat(r.right - r.left), CGFloat(r.bottom - r.top)}};
}

}  // namespace

Boolean BrowserHitTest(ControlRef browser, DataBrowserItemID itemID, DataBrowserPropertyID property,
                       const Rect* theRect, const Rect* mouseRect) {
  (void)property;
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || theRect == nullptr || mouseRect == nullptr) return false;
  // Kept in the coordinates the drawing handlers get (y up), converted here
  // once.
  data->CURSORLOCATION = CGPoint{CGFloat(mouseRect->left), PortHeightOf(browser) - CGFloat(mouseRect->top)};
  CFTreeRef node = NodeOfItem(data, SInt32(itemID));
  NodeInfoPtr record = BrackenrowGetNode(node);
  Boolean answer = false;
  DataBrowserTableViewHiliteStyle style = kDataBrowserTableViewFillHilite;
  GetDataBrowserTableViewHiliteStyle(browser, &style);
  if (style == kDataBrowserTableViewMinimalHilite && !data->TRACKING && data->CALLBACKS.HITTEST && record) {
    answer = data->CALLBACKS.HITTEST(record->DATA, record->DATATYPE, browser, ToCG(*theRect), ToCG(*mouseRect),
                                     data->CALLBACKS.CONTEXT);
    if ((data = TestBrowserData(browser)) == nullptr) return false;
  }
  if (answer) data->MOUSEDOWN = itemID;
  if (data->TRACKING) {
    const bool container = record && (record->CONTAINER || CFTreeGetChildCount(node) > 0);
    answer = (data->OPTIONS & kBrackenrowArrangeRowOrder) || container;
    data->LASTHOVERITEM = data->HOVERITEM;
    data->HOVERITEM = itemID;
    const SInt16 v = mouseRect->top, top = theRect->top, bottom = theRect->bottom;
    if (top + 4 < v && v < bottom - 4)
      data->TRACKINGPART = kTrackingContentPart;
    else if (v < top + 4)
      data->TRACKINGPART = kTrackingUpperPart;
    else if (v > bottom - 4)
      data->TRACKINGPART = kTrackingLowerPart;
    data->partItem = itemID;
    data->TRACKINGBOUNDS = ToCG(*theRect);
  }
  return answer;
}

DataBrowserTrackingResult BrowserTracking(ControlRef browser, DataBrowserItemID itemID,
                                          DataBrowserPropertyID property, const Rect* theRect, Point startPt,
                                          EventModifiers modifiers) {
  (void)property;
  (void)modifiers;
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || data->CALLBACKS.HITTEST == nullptr || theRect == nullptr) return kDataBrowserContentHit;
  NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(itemID)));
  if (record == nullptr) return kDataBrowserNothingHit;
  CGRect mouse{{CGFloat(startPt.h), CGFloat(startPt.v)}, {1, 1}};
  return data->CALLBACKS.HITTEST(record->DATA, record->DATATYPE, browser, ToCG(*theRect), mouse,
                                 data->CALLBACKS.CONTEXT)
             ? kDataBrowserContentHit
             : kDataBrowserNothingHit;
}
