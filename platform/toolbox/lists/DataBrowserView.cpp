// The list control's view: rows drawn with cairo and pango through the theme
// (disclosure triangles, alternating rows, highlight styles, custom cells
// drawn by the host into the port's context), clicks with their hit-test and
// tracking callbacks, the keyboard, a text cell edited in place, drags out of
// and into the list, and containers that spring open under a resting drag.
#include <algorithm>
#include <cmath>

#include "../../quartz/QDPortInternal.h"
#include "../DragInternal.h"
#include "CGColor.h"
#include "DataBrowserInternal.h"
#include "HITheme.h"
#include "MacWindows.h"
#include "MouseTracking.h"
#include "QuickDraw.h"

namespace {

constexpr CGFloat kTriangle = 12;        // the disclosure triangle's box
constexpr EventTime kSpringDelay = 0.5;  // a drag resting this long opens a container
constexpr CGFloat kDragSlop = 3;
// Mac modifier bits of the key and mouse events.
constexpr UInt32 kCommandBit = 1 << 8, kShiftBit = 1 << 9;

CGRect CGRectInset(CGRect r, CGFloat dx, CGFloat dy) {
  return CGRect{{r.origin.x + dx, r.origin.y + dy},
                {std::max<CGFloat>(0, r.size.width - 2 * dx), std::max<CGFloat>(0, r.size.height - 2 * dy)}};
}

ControlRef Ref(DBRecord* rec) { return reinterpret_cast<ControlRef>(rec->view); }

CGFloat RowTop(DBRecord* rec, size_t row) { return rec->headerHeight + CGFloat(row) * rec->rowHeight - rec->scroll.y; }

// The columns' x ranges; the last column reaches the view's right edge.
std::vector<std::pair<CGFloat, CGFloat>> ColumnSpans(DBRecord* rec) {
  std::vector<std::pair<CGFloat, CGFloat>> spans;
  CGFloat x = -rec->scroll.x;
  for (size_t i = 0; i < rec->columns.size(); ++i) {
    CGFloat w = rec->columns[i].width;
    if (i + 1 == rec->columns.size()) w = std::max(w, rec->view->frame.size.width - x);
    spans.emplace_back(x, w);
    x += w;
  }
  return spans;
}

int ColumnIndex(DBRecord* rec, DataBrowserPropertyID property) {
  for (size_t i = 0; i < rec->columns.size(); ++i)
    if (rec->columns[i].desc.propertyID == property) return int(i);
  return -1;
}

bool IsActive(DBRecord* rec) {
  WindowRef w = ViewWindow(rec->view);
  return rec->view->active && (w == nullptr || IsWindowActive(w));
}

Rect ToQD(DBRecord* rec, CGRect r) {
  CGPoint o = ViewToRoot(rec->view, r.origin);
  return Rect{SInt16(std::lround(o.y)), SInt16(std::lround(o.x)), SInt16(std::lround(o.y + r.size.height)),
              SInt16(std::lround(o.x + r.size.width))};
}

CFStringRef CopyCellText(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property, IconRef* icon,
                         ThemeButtonValue* button) {
  auto data = rec->callbacks.u.v1.itemDataCallback;
  if (data == nullptr) return nullptr;
  OpaqueDataBrowserItemDataRef cell;
  cell.property = property;
  data(Ref(rec), item, property, &cell, false);
  if (icon) *icon = cell.icon;
  if (button) *button = cell.button;
  return cell.text;  // the call's reference passes to the caller
}

// The row and column under a point of the view; false outside the rows.
bool RowAt(DBRecord* rec, CGPoint p, size_t* row, int* column) {
  if (p.y < rec->headerHeight) return false;
  CGFloat y = p.y - rec->headerHeight + rec->scroll.y;
  if (y < 0) return false;
  size_t r = size_t(y / rec->rowHeight);
  if (r >= DBRows(rec).size()) return false;
  *row = r;
  *column = -1;
  auto spans = ColumnSpans(rec);
  for (size_t i = 0; i < spans.size(); ++i)
    if (p.x >= spans[i].first && p.x < spans[i].first + spans[i].second) *column = int(i);
  return true;
}

void DrawTriangle(CGContextRef ctx, CGRect box, bool open, bool selected) {
  CGFloat cx = box.origin.x + box.size.width / 2, cy = box.origin.y + box.size.height / 2;
  CGContextBeginPath(ctx);
  if (open) {
    CGContextMoveToPoint(ctx, cx - 4.5, cy - 2.5);
    CGContextAddLineToPoint(ctx, cx + 4.5, cy - 2.5);
    CGContextAddLineToPoint(ctx, cx, cy + 3);
  } else {
    CGContextMoveToPoint(ctx, cx - 2.5, cy - 4.5);
    CGContextAddLineToPoint(ctx, cx + 3, cy);
    CGContextAddLineToPoint(ctx, cx - 2.5, cy + 4.5);
  }
  CGContextClosePath(ctx);
  if (selected)
    CGContextSetGrayFillColor(ctx, 1, 0.95);
  else
    CGContextSetGrayFillColor(ctx, 0.38, 1);
  CGContextFillPath(ctx);
}

void DrawText(CGContextRef ctx, CFStringRef text, CGRect box, bool white) {
  if (text == nullptr || box.size.width <= 0) return;
  HIThemeTextInfo info{};
  info.state = kThemeStateActive;
  info.fontID = kThemeSmallSystemFont;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushLeft;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  if (white)
    CGContextSetGrayFillColor(ctx, 1, 1);
  else
    CGContextSetGrayFillColor(ctx, 0.1, 1);
  HIThemeDrawTextBox(text, &box, &info, ctx, kHIThemeOrientationNormal);
}

void DrawHeader(DBRecord* rec, CGContextRef ctx, CGFloat width) {
  if (rec->headerHeight == 0) return;
  CGRect band{{0, 0}, {width, CGFloat(rec->headerHeight)}};
  CGContextSetGrayFillColor(ctx, 0.96, 1);
  CGContextFillRect(ctx, band);
  CGContextSetGrayFillColor(ctx, 0.80, 1);
  CGContextFillRect(ctx, CGRect{{0, band.size.height - 1}, {width, 1}});
  auto spans = ColumnSpans(rec);
  for (size_t i = 0; i < spans.size(); ++i) {
    CGRect cell{{spans[i].first, 0}, {spans[i].second, band.size.height - 1}};
    if (rec->columns[i].title) DrawText(ctx, rec->columns[i].title, CGRectInset(cell, 6, 0), false);
    if (i + 1 < spans.size()) {
      CGContextSetGrayFillColor(ctx, 0.82, 1);
      CGContextFillRect(ctx, CGRect{{cell.origin.x + cell.size.width - 1, 3}, {1, band.size.height - 7}});
    }
  }
}

void DrawCell(DBRecord* rec, CGContextRef ctx, DataBrowserItemID item, size_t column, CGRect cell,
              DataBrowserItemState state, bool white) {
  const DBColumn& col = rec->columns[column];
  DataBrowserPropertyID property = col.desc.propertyID;
  CGRect content;
  DBCellRect(rec, item, property, kDataBrowserPropertyContentPart, &content);
  if (property == rec->disclosureColumn && DBIsContainer(rec, item)) {
    CGRect tri;
    if (DBCellRect(rec, item, property, kDataBrowserPropertyDisclosurePart, &tri))
      DrawTriangle(ctx, tri, (state & kDataBrowserContainerIsOpen) != 0, white);
  }
  switch (col.desc.propertyType) {
    case kDataBrowserCustomType: {
      auto draw = rec->custom.u.v1.drawItemCallback;
      if (draw == nullptr) return;
      WindowRef window = ViewWindow(rec->view);
      CGPoint origin = ViewToRoot(rec->view, rec->view->boundsOrigin);
      CGRect clip{ViewToRoot(rec->view, cell.origin), cell.size};
      GrafPtr saved = nullptr;
      GetPort(&saved);
      if (window) SetPortWindowPort(window);
      QDPushPortDrawing(window, ctx, origin, clip);
      CGContextSaveGState(ctx);
      Rect r = ToQD(rec, content);
      draw(Ref(rec), item, property, state, &r, 32, true);
      CGContextRestoreGState(ctx);
      QDPopPortDrawing();
      SetPort(saved);
      return;
    }
    case kDataBrowserCheckboxType: {
      ThemeButtonValue value = 0;
      CFStringRef text = CopyCellText(rec, item, property, nullptr, &value);
      if (text) CFRelease(text);
      HIThemeButtonDrawInfo info{};
      info.state = IsActive(rec) ? kThemeStateActive : kThemeStateInactive;
      info.kind = kThemeSmallCheckBox;
      info.value = value;
      CGFloat side = std::min<CGFloat>(14, content.size.height);
      CGRect box{{content.origin.x, content.origin.y + (content.size.height - side) / 2}, {side, side}};
      HIThemeDrawButton(&box, &info, ctx, kHIThemeOrientationNormal, nullptr);
      return;
    }
    default: {
      IconRef icon = nullptr;
      CFStringRef text = CopyCellText(rec, item, property, &icon, nullptr);
      CGRect textBox = content;
      if (icon && (col.desc.propertyType == kDataBrowserIconType || col.desc.propertyType == kDataBrowserIconAndTextType)) {
        CGFloat side = std::min<CGFloat>(16, content.size.height);
        CGRect iconBox{{content.origin.x, content.origin.y + (content.size.height - side) / 2}, {side, side}};
        PlotIconRefInContext(ctx, &iconBox, 0, 0, nullptr, 0, icon);
        CGFloat shift = side + DBMetric(rec, kDataBrowserMetricIconAndTextGap);
        textBox.origin.x += shift;
        textBox.size.width -= shift;
      }
      if (col.desc.propertyType != kDataBrowserIconType && !(rec->editItem == item && rec->editProperty == property))
        DrawText(ctx, text, textBox, white);
      if (text) CFRelease(text);
      return;
    }
  }
}

void Draw(DBRecord* rec, CGContextRef ctx) {
  CGRect b{rec->view->boundsOrigin, rec->view->frame.size};
  CGContextSaveGState(ctx);
  CGContextTranslateCTM(ctx, b.origin.x, b.origin.y);
  const CGFloat width = b.size.width, height = b.size.height;
  const bool active = IsActive(rec);
  const bool alternate = (rec->attributes & kDataBrowserAttributeListViewAlternatingRowColors) != 0;
  // Background, then the stripes of alternating rows over the whole height.
  CGContextSetGrayFillColor(ctx, 1, 1);
  CGContextFillRect(ctx, CGRect{{0, 0}, {width, height}});
  const auto rows = DBRows(rec);
  if (alternate) {
    HIThemeSetFill(kThemeBrushListViewOddRowBackground, nullptr, ctx, kHIThemeOrientationNormal);
    for (CGFloat y = rec->headerHeight - std::fmod(rec->scroll.y, 2.0 * rec->rowHeight) + rec->rowHeight; y < height;
         y += 2 * rec->rowHeight)
      CGContextFillRect(ctx, CGRect{{0, y}, {width, CGFloat(rec->rowHeight)}});
  }
  CGContextSaveGState(ctx);
  CGContextClipToRect(ctx, CGRect{{0, CGFloat(rec->headerHeight)}, {width, height - rec->headerHeight}});
  auto spans = ColumnSpans(rec);
  size_t first = size_t(std::max<CGFloat>(0, rec->scroll.y / rec->rowHeight));
  for (size_t r = first; r < rows.size(); ++r) {
    CGFloat top = RowTop(rec, r);
    if (top >= height) break;
    DataBrowserItemID item = rows[r];
    DataBrowserItemState state = DBState(rec, item);
    CGRect row{{0, top}, {width, CGFloat(rec->rowHeight)}};
    bool selected = state & kDataBrowserItemIsSelected;
    bool fill = selected && rec->hilite == kDataBrowserTableViewFillHilite;
    if (fill) {
      HIThemeSetFill(active ? kThemeBrushPrimaryHighlightColor : kThemeBrushSecondaryHighlightColor, nullptr, ctx,
                     kHIThemeOrientationNormal);
      CGContextFillRect(ctx, row);
    }
    if (state & kDataBrowserItemIsDragTarget) {
      HIThemeSetStroke(kThemeBrushPrimaryHighlightColor, nullptr, ctx, kHIThemeOrientationNormal);
      CGContextSetLineWidth(ctx, 2);
      CGContextStrokeRect(ctx, CGRectInset(row, 1, 1));
    }
    for (size_t c = 0; c < spans.size(); ++c) {
      CGRect cell{{spans[c].first, top}, {spans[c].second, CGFloat(rec->rowHeight)}};
      if (cell.origin.x >= width || cell.origin.x + cell.size.width <= 0) continue;
      CGContextSaveGState(ctx);
      CGContextClipToRect(ctx, cell);
      DrawCell(rec, ctx, item, c, cell, state, fill && active);
      CGContextRestoreGState(ctx);
      if (DBRecordOf(Ref(rec)) != rec) break;  // a callback ended the browser
    }
  }
  CGContextRestoreGState(ctx);
  DrawHeader(rec, ctx, width);
  // A thin frame; the focus ring around it while the list has the keyboard.
  CGContextSetGrayStrokeColor(ctx, 0.72, 1);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokeRect(ctx, CGRect{{0.5, 0.5}, {width - 1, height - 1}});
  ControlRef focus = nullptr;
  WindowRef window = ViewWindow(rec->view);
  if (window && GetKeyboardFocus(window, &focus) == noErr && focus == Ref(rec)) {
    CGRect inner{{1, 1}, {width - 2, height - 2}};
    HIThemeDrawFocusRect(&inner, true, ctx, kHIThemeOrientationNormal);
  }
  CGContextRestoreGState(ctx);
}

// --- Hits ----------------------------------------------------------------------

// Whether a click at p (view coordinates) in a custom cell hits the item.
DataBrowserTrackingResult AskCell(DBRecord* rec, DataBrowserItemID item, size_t column, CGPoint p, UInt32 modifiers) {
  const DBColumn& col = rec->columns[column];
  if (col.desc.propertyType != kDataBrowserCustomType) return kDataBrowserContentHit;
  CGRect content;
  DBCellRect(rec, item, col.desc.propertyID, kDataBrowserPropertyContentPart, &content);
  Rect cell = ToQD(rec, content);
  CGPoint root = ViewToRoot(rec->view, p);
  Rect mouse{SInt16(root.y), SInt16(root.x), SInt16(root.y + 1), SInt16(root.x + 1)};
  bool hit = true;
  if (auto test = rec->custom.u.v1.hitTestCallback) {
    hit = test(Ref(rec), item, col.desc.propertyID, &cell, &mouse);
    // With the fill style the whole row takes the click.
    if (rec->hilite == kDataBrowserTableViewFillHilite) hit = true;
  }
  if (!hit) return kDataBrowserNothingHit;
  if (auto track = rec->custom.u.v1.trackingCallback)
    return track(Ref(rec), item, col.desc.propertyID, &cell, Point{mouse.top, mouse.left}, EventModifiers(modifiers));
  return kDataBrowserContentHit;
}

void StartDrag(DBRecord* rec, EventRef mouseDown, CGPoint where) {
  auto add = rec->callbacks.u.v1.addDragItemCallback;
  if (add == nullptr) return;
  DragRef drag = nullptr;
  if (NewDrag(&drag) != noErr) return;
  ControlRef ref = Ref(rec);
  std::vector<DataBrowserItemID> dragged;
  for (auto id : DBRows(rec))
    if (IsDataBrowserItemSelected(ref, id)) dragged.push_back(id);
  UInt16 count = 0;
  for (auto id : dragged) {
    if (DBRecordOf(ref) != rec) break;
    ItemReference itemRef = id;
    if (!add(ref, drag, id, &itemRef)) continue;
    CGRect row;
    if (DBRecordOf(ref) == rec && DBCellRect(rec, id, 0, kDataBrowserPropertyEnclosingPart, &row)) {
      Rect r = ToQD(rec, row);
      SetDragItemBounds(drag, itemRef, &r);
    }
    ++count;
  }
  CountDragItems(drag, &count);
  if (count > 0 && DBRecordOf(ref) == rec) {
    EventRecord record{};
    if (mouseDown) ConvertEventRefToEventRecord(mouseDown, &record);
    // The drag begins where the row was pressed, in global coordinates.
    CGPoint root = ViewToRoot(rec->view, where);
    Rect content{};
    if (WindowRef window = ViewWindow(rec->view)) GetWindowBounds(window, kWindowContentRgn, &content);
    record.where = Point{SInt16(root.y + content.top), SInt16(root.x + content.left)};
    record.what = mouseDown ? record.what : 1;
    OSErr result = TrackDrag(drag, &record, nullptr);
    if (DBRecordOf(ref) == rec)
      if (auto post = rec->callbacks.u.v1.postProcessDragCallback) post(ref, drag, result);
  }
  DisposeDrag(drag);
}

// Follows the button after a mouse-down on a row: a move past the slop while
// it is held starts a drag of the selection.
bool FollowForDrag(DBRecord* rec, CGPoint start) {
  if (rec->callbacks.u.v1.addDragItemCallback == nullptr) return false;
  WindowRef window = ViewWindow(rec->view);
  if (window == nullptr) return false;
  CGPoint rootStart = ViewToRoot(rec->view, start);
  for (;;) {
    Point pt{};
    MouseTrackingResult result = 0;
    if (TrackMouseLocation(GetWindowPort(window), &pt, &result) != noErr) return false;
    if (result == kMouseTrackingMouseUp) return false;
    if (std::fabs(pt.h - rootStart.x) > kDragSlop || std::fabs(pt.v - rootStart.y) > kDragSlop) return true;
  }
}

// A click on the box of an editable check-box cell turns it over: the item's
// data hears the new value. False for any other cell, or beside the box.
bool ToggleCheckbox(DBRecord* rec, DataBrowserItemID item, size_t column, CGPoint p) {
  const DBColumn& col = rec->columns[column];
  if (col.desc.propertyType != kDataBrowserCheckboxType || !(col.desc.propertyFlags & kDataBrowserPropertyIsEditable))
    return false;
  CGRect content;
  if (!DBCellRect(rec, item, col.desc.propertyID, kDataBrowserPropertyContentPart, &content)) return false;
  // The box as it is drawn, a little wider to the right for the finger.
  const CGFloat side = std::min<CGFloat>(14, content.size.height);
  if (p.x < content.origin.x || p.x >= content.origin.x + side + 4) return false;
  auto data = rec->callbacks.u.v1.itemDataCallback;
  if (data == nullptr) return false;
  ThemeButtonValue value = 0;
  if (CFStringRef text = CopyCellText(rec, item, col.desc.propertyID, nullptr, &value)) CFRelease(text);
  ControlRef ref = Ref(rec);
  OpaqueDataBrowserItemDataRef cell;
  cell.property = col.desc.propertyID;
  cell.boolean = value != kThemeButtonOn;
  cell.hasBoolean = true;
  data(ref, item, col.desc.propertyID, &cell, true);
  if (DBRecordOf(ref) == rec) DBInvalidate(rec);
  return true;
}

OSStatus Click(DBRecord* rec, EventRef event) {
  CGPoint p{};
  UInt32 modifiers = 0, clicks = 1;
  GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  GetEventParameter(event, kEventParamClickCount, typeUInt32, nullptr, sizeof clicks, nullptr, &clicks);
  ControlRef ref = Ref(rec);
  if (rec->editItem) DBEndEdit(rec, true);
  if (WindowRef window = ViewWindow(rec->view)) SetKeyboardFocus(window, ref, kControlFocusNextPart);
  size_t row = 0;
  int column = -1;
  if (!RowAt(rec, p, &row, &column)) {
    if (!(rec->selectionFlags & kDataBrowserNeverEmptySelectionSet)) DBSelect(rec, {}, kDataBrowserItemsAssign);
    return noErr;
  }
  DataBrowserItemID item = DBRows(rec)[row];
  CGRect tri;
  if (rec->disclosureColumn && DBIsContainer(rec, item) &&
      DBCellRect(rec, item, rec->disclosureColumn, kDataBrowserPropertyDisclosurePart, &tri) &&
      p.x >= tri.origin.x - 2 && p.x < tri.origin.x + tri.size.width + 2) {
    DBToggle(rec, item, true);
    return noErr;
  }
  if (column >= 0 && ToggleCheckbox(rec, item, size_t(column), p)) return noErr;
  if (column >= 0) {
    DataBrowserTrackingResult hit = AskCell(rec, item, size_t(column), p, modifiers);
    if (DBRecordOf(ref) != rec) return noErr;
    if (hit == kDataBrowserStopTracking) return noErr;
    if (hit == kDataBrowserNothingHit) {
      if (!(rec->selectionFlags & kDataBrowserNeverEmptySelectionSet)) DBSelect(rec, {}, kDataBrowserItemsAssign);
      return noErr;
    }
  }
  if (!rec->items.count(item)) return noErr;
  bool single = rec->selectionFlags & kDataBrowserSelectOnlyOne;
  bool wasSelected = rec->items[item].selected;
  if ((modifiers & kCommandBit) && !single && !(rec->selectionFlags & kDataBrowserCmdTogglesSelection)) {
    DBSelect(rec, {item}, kDataBrowserItemsToggle);
  } else if ((modifiers & kShiftBit) && !single && rec->anchorFirst) {
    const auto rows = DBRows(rec);
    auto a = std::find(rows.begin(), rows.end(), rec->anchorFirst) - rows.begin();
    auto z = std::find(rows.begin(), rows.end(), rec->anchorLast) - rows.begin();
    size_t lo = std::min<size_t>({size_t(a), size_t(z), row}), hi = std::max<size_t>({size_t(a), size_t(z), row});
    DBSelect(rec, std::vector<DataBrowserItemID>(rows.begin() + lo, rows.begin() + hi + 1), kDataBrowserItemsAdd);
  } else if (!wasSelected || clicks >= 2) {
    DBSelect(rec, {item}, kDataBrowserItemsAssign);
  }
  if (DBRecordOf(ref) != rec) return noErr;
  if (clicks >= 2) {
    if (rec->items.count(item)) DBNotify(rec, item, kDataBrowserItemDoubleClicked);
    return noErr;
  }
  if (rec->items.count(item) && rec->items[item].selected && FollowForDrag(rec, p)) {
    StartDrag(rec, event, p);
  } else if (wasSelected && DBRecordOf(ref) == rec && !(modifiers & (kCommandBit | kShiftBit))) {
    DBSelect(rec, {item}, kDataBrowserItemsAssign);  // a plain click on a selection keeps only this row
  }
  return noErr;
}

// --- Keyboard ---------------------------------------------------------------------

OSStatus Key(DBRecord* rec, EventRef event) {
  UInt32 code = 0, modifiers = 0;
  GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  ControlRef ref = Ref(rec);
  bool extend = (modifiers & kShiftBit) != 0;
  const auto rows = DBRows(rec);
  auto selectRow = [&](size_t r) {
    if (rows.empty()) return;
    r = std::min(r, rows.size() - 1);
    DBSelect(rec, {rows[r]}, extend && !(rec->selectionFlags & kDataBrowserSelectOnlyOne) ? kDataBrowserItemsAdd
                                                                                             : kDataBrowserItemsAssign);
    if (DBRecordOf(ref) == rec && rec->items.count(rows[r])) DBRevealRow(rec, rows[r], false);
  };
  size_t page = std::max<size_t>(1, size_t((rec->view->frame.size.height - rec->headerHeight) / rec->rowHeight) - 1);
  auto rowOf = [&](DataBrowserItemID id) {
    auto at = std::find(rows.begin(), rows.end(), id);
    return at == rows.end() ? size_t(0) : size_t(at - rows.begin());
  };
  switch (code) {
    case 126: MoveDataBrowserSelectionAnchor(ref, kDataBrowserSelectionAnchorUp, extend); return noErr;
    case 125: MoveDataBrowserSelectionAnchor(ref, kDataBrowserSelectionAnchorDown, extend); return noErr;
    case 123: MoveDataBrowserSelectionAnchor(ref, kDataBrowserSelectionAnchorLeft, false); return noErr;
    case 124: MoveDataBrowserSelectionAnchor(ref, kDataBrowserSelectionAnchorRight, false); return noErr;
    case 115: selectRow(0); return noErr;                        // home
    case 119: selectRow(rows.empty() ? 0 : rows.size() - 1); return noErr;  // end
    case 116: selectRow(rowOf(rec->anchorFirst) > page ? rowOf(rec->anchorFirst) - page : 0); return noErr;
    case 121: selectRow(rowOf(rec->anchorLast) + page); return noErr;
    case 36:  // return
    case 76: {  // enter
      // The selected rows are opened as a double-click opens them; nothing
      // selected leaves the key to the window.
      std::vector<DataBrowserItemID> chosen;
      for (DataBrowserItemID id : rows)
        if (rec->items.count(id) && rec->items[id].selected) chosen.push_back(id);
      if (chosen.empty()) return eventNotHandledErr;
      for (DataBrowserItemID id : chosen) {
        if (DBRecordOf(ref) != rec) break;  // a notification may end the list
        if (rec->items.count(id)) DBNotify(rec, id, kDataBrowserItemDoubleClicked);
      }
      return noErr;
    }
    default: return eventNotHandledErr;
  }
}

// --- Drags into the list -------------------------------------------------------------

CGPoint DragPoint(DBRecord* rec, DragRef drag) {
  Point mouse{};
  GetDragMouse(drag, &mouse, nullptr);
  WindowRef window = ViewWindow(rec->view);
  CGPoint origin = window ? DragWindowOrigin(window) : CGPoint{0, 0};
  return ViewFromRoot(rec->view, CGPoint{mouse.h - origin.x, mouse.v - origin.y});
}

void SetTarget(DBRecord* rec, DragRef drag, DataBrowserItemID target) {
  if (target == rec->dragTarget && rec->dragInside) return;
  rec->dragTarget = target;
  rec->dragInside = true;
  auto accept = rec->callbacks.u.v1.acceptDragCallback;
  rec->dragAccepted = accept && accept(Ref(rec), drag, target);
  DBInvalidate(rec);
}

void Hover(DBRecord* rec, DragRef drag) {
  CGPoint p = DragPoint(rec, drag);
  size_t row = 0;
  int column = -1;
  DataBrowserItemID target = 0, under = 0;
  if (RowAt(rec, p, &row, &column)) {
    under = DBRows(rec)[row];
    bool hit = true;
    size_t c = column >= 0 ? size_t(column) : 0;
    if (!rec->columns.empty() && rec->columns[c].desc.propertyType == kDataBrowserCustomType)
      if (auto test = rec->custom.u.v1.hitTestCallback) {
        CGRect content;
        DBCellRect(rec, under, rec->columns[c].desc.propertyID, kDataBrowserPropertyContentPart, &content);
        Rect cell = ToQD(rec, content);
        CGPoint root = ViewToRoot(rec->view, p);
        Rect mouse{SInt16(root.y), SInt16(root.x), SInt16(root.y + 1), SInt16(root.x + 1)};
        hit = test(Ref(rec), under, rec->columns[c].desc.propertyID, &cell, &mouse);
      }
    if (DBRecordOf(Ref(rec)) != rec) return;
    if (hit && rec->items.count(under)) target = under;
  }
  if (under != rec->springItem) {
    rec->springItem = under;
    rec->springSince = GetCurrentEventTime();
  }
  SetTarget(rec, drag, target);
}

void SpringTimer(EventLoopTimerRef, void* data) {
  auto* rec = static_cast<DBRecord*>(data);
  DataBrowserItemID item = rec->springItem;
  if (!rec->dragInside || item == 0 || !rec->items.count(item) || rec->items[item].open) return;
  if (GetCurrentEventTime() - rec->springSince < kSpringDelay) return;
  if (rec->items[item].selected) return;  // the dragged rows never open under themselves
  if (DBIsContainer(rec, item)) OpenDataBrowserContainer(Ref(rec), item);
}

void EndDragOver(DBRecord* rec) {
  rec->dragInside = false;
  rec->dragTarget = 0;
  rec->dragAccepted = false;
  rec->springItem = 0;
  if (rec->springTimer) {
    RemoveEventLoopTimer(rec->springTimer);
    rec->springTimer = nullptr;
  }
  DBInvalidate(rec);
}

OSStatus DragEvent(DBRecord* rec, EventRef event) {
  DragRef drag = nullptr;
  GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
  ControlRef ref = Ref(rec);
  switch (GetEventKind(event)) {
    case kEventControlDragEnter: {
      Boolean yes = rec->callbacks.u.v1.acceptDragCallback != nullptr;
      SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof yes, &yes);
      if (yes) {
        rec->dragInside = false;
        if (rec->springTimer == nullptr)
          InstallEventLoopTimer(GetMainEventLoop(), 0.1, 0.1, SpringTimer, rec, &rec->springTimer);
        Hover(rec, drag);
      }
      return noErr;
    }
    case kEventControlDragWithin:
      Hover(rec, drag);
      return noErr;
    case kEventControlDragLeave:
      EndDragOver(rec);
      return noErr;
    case kEventControlDragReceive: {
      Hover(rec, drag);
      if (DBRecordOf(ref) != rec) return eventNotHandledErr;
      bool accepted = rec->dragAccepted;
      DataBrowserItemID target = rec->dragTarget;
      EndDragOver(rec);
      auto receive = rec->callbacks.u.v1.receiveDragCallback;
      if (!accepted || receive == nullptr) return eventNotHandledErr;
      return receive(ref, drag, target) ? noErr : OSStatus(dragNotAcceptedErr);
    }
  }
  return eventNotHandledErr;
}

// --- The contextual menu -----------------------------------------------------------

OSStatus Contextual(DBRecord* rec, EventRef event) {
  auto get = rec->callbacks.u.v1.getContextualMenuCallback;
  if (get == nullptr) return eventNotHandledErr;
  ControlRef ref = Ref(rec);
  CGPoint p{};
  GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
  // The menu is about the row under the pointer: a row outside the
  // selection becomes the selection first; a click on a selected row keeps
  // the whole selection.
  size_t row = 0;
  int column = -1;
  if (RowAt(rec, p, &row, &column)) {
    const DataBrowserItemID item = DBRows(rec)[row];
    if (rec->items.count(item) && !rec->items[item].selected) DBSelect(rec, {item}, kDataBrowserItemsAssign);
    if (DBRecordOf(ref) != rec) return noErr;
  }
  MenuRef menu = nullptr;
  UInt32 helpType = 0;
  CFStringRef helpString = nullptr;
  get(ref, &menu, &helpType, &helpString, nullptr);
  if (menu == nullptr) return noErr;
  CGPoint root = ViewToRoot(rec->view, p);
  Point where{SInt16(root.y), SInt16(root.x)};
  // The menu opens where the click was, on the screen.
  if (WindowRef window = ViewWindow(rec->view)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    LocalToGlobal(&where);
    SetPort(saved);
  }
  UInt32 selectionType = 0;
  SInt16 menuID = 0;
  MenuItemIndex menuItem = 0;
  ContextualMenuSelect(menu, where, false, helpType, nullptr, nullptr, &selectionType, &menuID, &menuItem);
  if (DBRecordOf(ref) == rec)
    if (auto select = rec->callbacks.u.v1.selectContextualMenuCallback)
      select(ref, menu, selectionType, menuID, menuItem);
  return noErr;
}

// --- The handler ---------------------------------------------------------------------

OSStatus Handler(EventHandlerCallRef, EventRef event, void* data) {
  auto* view = static_cast<__CView*>(data);
  DBRecord* rec = DBRecordOf(reinterpret_cast<ControlRef>(view));
  if (rec == nullptr) return eventNotHandledErr;
  EventClass cls = GetEventClass(event);
  EventKind kind = GetEventKind(event);
  if (cls == kEventClassKeyboard)
    return kind == kEventRawKeyDown || kind == kEventRawKeyRepeat ? Key(rec, event) : OSStatus(eventNotHandledErr);
  if (cls == kEventClassMouse && kind == kEventMouseWheelMoved) {
    SInt32 delta = 0;
    GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof delta, nullptr, &delta);
    rec->scroll.y -= CGFloat(delta) * rec->rowHeight * 3;
    DBClampScroll(rec);
    DBInvalidate(rec);
    return noErr;
  }
  if (cls != kEventClassControl) return eventNotHandledErr;
  HIViewRef direct = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof direct, nullptr, &direct);
  if (direct != nullptr && ViewOf(direct) != view) return eventNotHandledErr;
  switch (kind) {
    case kEventControlDraw: {
      CGContextRef ctx = nullptr;
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof ctx, nullptr, &ctx);
      if (ctx) Draw(rec, ctx);
      return noErr;
    }
    case kEventControlHitTest: {
      ControlPartCode part = 1;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlClick:
      return Click(rec, event);
    case kEventControlContextualMenuClick:
      return Contextual(rec, event);
    case kEventControlSetFocusPart: {
      ControlPartCode part = 0;
      GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
      ControlRef focus = nullptr;
      WindowRef window = ViewWindow(view);
      bool focused = window && GetKeyboardFocus(window, &focus) == noErr && focus == Ref(rec);
      ControlPartCode answer = part;
      if (part == kControlFocusNextPart || part == kControlFocusPrevPart) answer = focused ? 0 : 1;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof answer, &answer);
      DBInvalidate(rec);
      return noErr;
    }
    case kEventControlActivate:
    case kEventControlDeactivate:
    case kEventControlBoundsChanged:
      DBClampScroll(rec);
      DBInvalidate(rec);
      return eventNotHandledErr;
    case kEventControlDragEnter:
    case kEventControlDragWithin:
    case kEventControlDragLeave:
    case kEventControlDragReceive:
      return DragEvent(rec, event);
    case kEventControlDispose:
      DBForget(rec);
      return eventNotHandledErr;
    default:
      return eventNotHandledErr;
  }
}

// --- Editing --------------------------------------------------------------------------

OSStatus FieldHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* view = static_cast<__CView*>(data);
  DBRecord* rec = DBRecordOf(reinterpret_cast<ControlRef>(view));
  if (rec == nullptr || rec->editField == nullptr || rec->ending) return eventNotHandledErr;
  if (GetEventClass(event) == kEventClassTextField) {
    DBEndEdit(rec, true);
    return noErr;
  }
  if (GetEventClass(event) == kEventClassKeyboard) {
    UInt32 code = 0;
    GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
    if (code == 53) {  // escape
      DBEndEdit(rec, false);
      return noErr;
    }
    if (code == 36 || code == 76) {  // return, enter: the edit ends here and does not open the row too
      DBEndEdit(rec, true);
      return noErr;
    }
    return eventNotHandledErr;
  }
  if (GetEventKind(event) == kEventControlSetFocusPart) {
    ControlPartCode part = 0;
    GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    if (part == kControlFocusNoPart) DBEndEdit(rec, true);
  }
  return eventNotHandledErr;
}

}  // namespace

bool DBCellRect(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserPropertyPart part,
                CGRect* out) {
  const auto& rows = DBRows(rec);
  auto at = std::find(rows.begin(), rows.end(), item);
  if (item == 0 || at == rows.end()) return false;
  CGFloat top = RowTop(rec, size_t(at - rows.begin()));
  auto spans = ColumnSpans(rec);
  int c = property == 0 ? 0 : ColumnIndex(rec, property);
  CGRect cell;
  if (spans.empty() || c < 0) {
    if (property != 0) return false;
    cell = CGRect{{0, top}, {rec->view->frame.size.width, CGFloat(rec->rowHeight)}};
  } else {
    cell = CGRect{{spans[size_t(c)].first, top}, {spans[size_t(c)].second, CGFloat(rec->rowHeight)}};
  }
  if (part == kDataBrowserPropertyEnclosingPart) {
    if (property == 0) cell = CGRect{{0, top}, {rec->view->frame.size.width, CGFloat(rec->rowHeight)}};
    *out = cell;
    return true;
  }
  CGFloat inset = DBMetric(rec, kDataBrowserMetricCellContentInset);
  CGRect content = CGRectInset(cell, inset, 0);
  if (c >= 0 && !rec->columns.empty() && rec->columns[size_t(c)].desc.propertyID == rec->disclosureColumn &&
      rec->disclosureColumn != 0) {
    CGFloat depth = rec->items.count(item) ? rec->items[item].depth : 0;
    CGFloat x = cell.origin.x + DBMetric(rec, kDataBrowserMetricDisclosureColumnEdgeInset) +
                depth * DBMetric(rec, kDataBrowserMetricDisclosureColumnPerDepthGap);
    CGRect tri{{x, top + (rec->rowHeight - kTriangle) / 2}, {kTriangle, kTriangle}};
    if (part == kDataBrowserPropertyDisclosurePart) {
      *out = tri;
      return true;
    }
    CGFloat left = x + kTriangle + DBMetric(rec, kDataBrowserMetricDisclosureTriangleAndContentGap);
    content = CGRect{{left, top}, {std::max<CGFloat>(0, cell.origin.x + cell.size.width - inset - left),
                                   CGFloat(rec->rowHeight)}};
  } else if (part == kDataBrowserPropertyDisclosurePart) {
    return false;
  }
  if (part == kDataBrowserPropertyIconPart) {
    CGFloat side = std::min<CGFloat>(16, rec->rowHeight);
    *out = CGRect{{content.origin.x, top + (rec->rowHeight - side) / 2}, {side, side}};
    return true;
  }
  if (part == kDataBrowserPropertyTextPart && c >= 0 &&
      rec->columns[size_t(c)].desc.propertyType == kDataBrowserIconAndTextType) {
    CGFloat shift = std::min<CGFloat>(16, rec->rowHeight) + DBMetric(rec, kDataBrowserMetricIconAndTextGap);
    content.origin.x += shift;
    content.size.width = std::max<CGFloat>(0, content.size.width - shift);
  }
  *out = content;
  return true;
}

void DBInstallView(DBRecord* rec) {
  rec->view->dragTracking = true;
  const EventTypeSpec types[] = {{kEventClassControl, kEventControlDraw},
                                 {kEventClassControl, kEventControlHitTest},
                                 {kEventClassControl, kEventControlClick},
                                 {kEventClassControl, kEventControlContextualMenuClick},
                                 {kEventClassControl, kEventControlSetFocusPart},
                                 {kEventClassControl, kEventControlActivate},
                                 {kEventClassControl, kEventControlDeactivate},
                                 {kEventClassControl, kEventControlBoundsChanged},
                                 {kEventClassControl, kEventControlDragEnter},
                                 {kEventClassControl, kEventControlDragWithin},
                                 {kEventClassControl, kEventControlDragLeave},
                                 {kEventClassControl, kEventControlDragReceive},
                                 {kEventClassControl, kEventControlDispose},
                                 {kEventClassKeyboard, kEventRawKeyDown},
                                 {kEventClassKeyboard, kEventRawKeyRepeat},
                                 {kEventClassMouse, kEventMouseWheelMoved}};
  InstallStandardEventHandler(rec->view->target, Handler, sizeof types / sizeof types[0], types, rec->view, nullptr);
}

void DBBeginEdit(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property) {
  ControlRef ref = Ref(rec);
  if (rec->editItem) DBEndEdit(rec, true);
  if (DBRecordOf(ref) != rec || !rec->items.count(item)) return;
  int c = ColumnIndex(rec, property);
  if (c < 0) return;
  const DBColumn& col = rec->columns[size_t(c)];
  bool textual = col.desc.propertyType == kDataBrowserTextType || col.desc.propertyType == kDataBrowserIconAndTextType ||
                 col.desc.propertyType == kDataBrowserCustomType;
  if (!textual) return;
  if (!DBAskBoolean(rec, item, kDataBrowserItemIsEditableProperty, true) || DBRecordOf(ref) != rec) return;
  DBRevealRow(rec, item, false);
  CGRect box;
  if (!DBCellRect(rec, item, property, kDataBrowserPropertyTextPart, &box)) return;
  CFStringRef text = CopyCellText(rec, item, property, nullptr, nullptr);
  if (col.desc.propertyType == kDataBrowserCustomType) {
    Rect limit = ToQD(rec, box);
    Boolean shrink = false;
    auto edit = rec->custom.u.v1.editTextCallback;
    bool allowed = edit == nullptr || edit(ref, item, property, text, &limit, &shrink);
    if (!allowed || DBRecordOf(ref) != rec) {
      if (text) CFRelease(text);
      return;
    }
  }
  if (rec->editField) {
    DisposeControl(rec->editField);
    rec->editField = nullptr;
  }
  Rect r{SInt16(box.origin.y), SInt16(box.origin.x), SInt16(box.origin.y + box.size.height),
         SInt16(box.origin.x + box.size.width)};
  ControlRef field = nullptr;
  CFStringRef empty = CFStringMakeConstantUTF8("");
  if (CreateEditUnicodeTextControl(nullptr, &r, text ? text : empty, false, nullptr, &field) != noErr) {
    if (text) CFRelease(text);
    return;
  }
  if (text) CFRelease(text);
  HIViewAddSubview(ref, field);
  rec->editField = field;
  rec->editItem = item;
  rec->editProperty = property;
  const EventTypeSpec types[] = {{kEventClassTextField, kEventTextAccepted},
                                 {kEventClassKeyboard, kEventRawKeyDown},
                                 {kEventClassControl, kEventControlSetFocusPart}};
  InstallEventHandler(GetControlEventTarget(field), FieldHandler, 3, types, rec->view, nullptr);
  CFStringRef now = HIViewCopyText(field);
  ControlEditTextSelectionRec all{0, SInt16(now ? CFStringGetLength(now) : 0)};
  if (now) CFRelease(now);
  SetControlData(field, kControlEntireControl, kControlEditTextSelectionTag, sizeof all, &all);
  if (WindowRef window = ViewWindow(rec->view)) SetKeyboardFocus(window, field, kControlEditTextPart);
  DBInvalidate(rec);
  DBNotify(rec, item, kDataBrowserEditStarted);
}

void DBEndEdit(DBRecord* rec, bool commit) {
  if (rec->editItem == 0 || rec->ending) return;
  rec->ending = true;
  ControlRef ref = Ref(rec);
  DataBrowserItemID item = rec->editItem;
  DataBrowserPropertyID property = rec->editProperty;
  HIViewRef field = rec->editField;
  rec->editItem = 0;
  rec->editProperty = 0;
  CFStringRef text = field ? HIViewCopyText(field) : nullptr;
  if (field) {
    HIViewSetVisible(field, false);
    WindowRef window = ViewWindow(rec->view);
    ControlRef focus = nullptr;
    if (window && GetKeyboardFocus(window, &focus) == noErr && focus == field) SetKeyboardFocus(window, ref, 1);
  }
  if (commit && text && rec->items.count(item))
    if (auto data = rec->callbacks.u.v1.itemDataCallback) {
      OpaqueDataBrowserItemDataRef cell;
      cell.property = property;
      cell.text = CFStringCreateCopy(nullptr, text);
      cell.hasText = true;
      data(ref, item, property, &cell, true);
      if (cell.text) CFRelease(cell.text);
    }
  if (text) CFRelease(text);
  if (DBRecordOf(ref) != rec) return;
  rec->ending = false;
  DBInvalidate(rec);
  DBNotify(rec, item, kDataBrowserEditStopped);
}

OSStatus SetDataBrowserEditItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property) {
  DBRecord* rec = DBRecordOf(browser);
  if (rec == nullptr) return errUnknownControl;
  if (item == 0) {
    DBEndEdit(rec, true);
    return noErr;
  }
  if (!rec->items.count(item)) return errDataBrowserItemNotFound;
  if (ColumnIndex(rec, property) < 0) return errDataBrowserPropertyNotFound;
  DBBeginEdit(rec, item, property);
  return noErr;
}

OSStatus GetDataBrowserEditItem(ControlRef browser, DataBrowserItemID* item, DataBrowserPropertyID* property) {
  DBRecord* rec = DBRecordOf(browser);
  if (rec == nullptr) return errUnknownControl;
  if (item) *item = rec->editItem;
  if (property) *property = rec->editProperty;
  return noErr;
}

OSStatus SetDataBrowserEditText(ControlRef browser, CFStringRef text) {
  DBRecord* rec = DBRecordOf(browser);
  if (rec == nullptr) return errUnknownControl;
  if (rec->editItem == 0 || rec->editField == nullptr) return errDataBrowserNotConfigured;
  return HIViewSetText(rec->editField, text);
}

OSStatus CopyDataBrowserEditText(ControlRef browser, CFStringRef* text) {
  DBRecord* rec = DBRecordOf(browser);
  if (rec == nullptr) return errUnknownControl;
  if (text == nullptr) return paramErr;
  *text = nullptr;
  if (rec->editItem == 0 || rec->editField == nullptr) return errDataBrowserNotConfigured;
  *text = HIViewCopyText(rec->editField);
  return noErr;
}
