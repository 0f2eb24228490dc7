// Drawing: the cell draw callback that hands each cell to the host's
// DRAWITEM, the standard handlers hosts combine in it, the background below
// the last row, and the drag image. The handlers draw in a y-up context over
// the window's port, as the draw callback gives it.
#include <algorithm>
#include <cmath>

#include "CGColor.h"
#include "CGImage.h"
#include "HITheme.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "QDRegions.h"
#include "QuickDraw.h"
#include "brackenrow/BrowserData.h"

namespace {

CGFloat MinX(CGRect r) { return r.origin.x; }
CGFloat MinY(CGRect r) { return r.origin.y; }
CGFloat MaxX(CGRect r) { return r.origin.x + r.size.width; }
CGFloat MaxY(CGRect r) { return r.origin.y + r.size.height; }
CGFloat Width(CGRect r) { return r.size.width; }
CGFloat Height(CGRect r) { return r.size.height; }
CGRect Inset(CGRect r, CGFloat dx, CGFloat dy) {
  return CGRect{{r.origin.x + dx, r.origin.y + dy}, {r.size.width - 2 * dx, r.size.height - 2 * dy}};
}
CGRect Offset(CGRect r, CGFloat dx, CGFloat dy) { return CGRect{{r.origin.x + dx, r.origin.y + dy}, r.size}; }
bool Intersects(CGRect a, CGRect b) {
  return a.size.width > 0 && a.size.height > 0 && b.size.width > 0 && b.size.height > 0 && MinX(a) < MaxX(b) &&
         MinX(b) < MaxX(a) && MinY(a) < MaxY(b) && MinY(b) < MaxY(a);
}

UInt16 RowHeightOf(ControlRef browser) {
  UInt16 height = 0;
  GetDataBrowserTableViewRowHeight(browser, &height);
  return height;
}

CGFloat GetIconSize(ControlRef browser) {
  const UInt16 h = RowHeightOf(browser);
  if (h < 16) return 12;
  if (h < 24) return 16;
  if (h < 32) return 24;
  if (h < 64) return 32;
  if (h < 92) return 64;
  if (h < 128) return 92;
  return 128;
}

HIThemeTextInfo GetStandardTextTheme(ControlRef browser) {
  HIThemeTextInfo info{};
  info.version = 0;
  info.state = kThemeStateActive;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.options = 0;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  const UInt16 h = RowHeightOf(browser);
  info.fontID = h < 16 ? kThemeLabelFont : h < 24 ? kThemeSmallSystemFont : kThemeViewsFont;
  return info;
}

bool IsMinimal(ControlRef browser) {
  DataBrowserTableViewHiliteStyle style = kDataBrowserTableViewFillHilite;
  GetDataBrowserTableViewHiliteStyle(browser, &style);
  return style == kDataBrowserTableViewMinimalHilite;
}

bool UsesPlainBackground(ControlRef browser) {
  Boolean plain = true;
  GetDataBrowserListViewUsePlainBackground(browser, &plain);
  return plain;
}

CGFloat BrowserWidth(ControlRef browser) {
  HIRect bounds{};
  HIViewGetBounds(browser, &bounds);
  return bounds.size.width;
}

// A closed rounded rectangle: four arcs of radius 1 in a space scaled by the
// oval size.
void AddRoundedRectToPath(CGContextRef context, CGRect rect, CGFloat ovalWidth, CGFloat ovalHeight) {
  if (ovalWidth <= 0 || ovalHeight <= 0) {
    CGContextAddRect(context, rect);
    return;
  }
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, MinX(rect), MinY(rect));
  CGContextScaleCTM(context, ovalWidth, ovalHeight);
  const CGFloat w = Width(rect) / ovalWidth, h = Height(rect) / ovalHeight;
  CGContextMoveToPoint(context, w, h / 2);
  CGContextAddArcToPoint(context, w, h, w / 2, h, 1);
  CGContextAddArcToPoint(context, 0, h, 0, h / 2, 1);
  CGContextAddArcToPoint(context, 0, 0, w / 2, 0, 1);
  CGContextAddArcToPoint(context, w, 0, w, h / 2, 1);
  CGContextClosePath(context);
  CGContextRestoreGState(context);
}

// An RGB bitmap context over a new block of wide * high * 4 bytes, which the
// caller frees.
CGContextRef CreateBitmapContext(size_t pixelsWide, size_t pixelsHigh, Ptr& data) {
  data = nullptr;
  if (pixelsWide == 0 || pixelsHigh == 0) return nullptr;
  CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
  data = NewPtrClear(Size(pixelsWide * pixelsHigh * 4));
  CGContextRef context = nullptr;
  if (data)
    context = CGBitmapContextCreate(data, pixelsWide, pixelsHigh, 8, pixelsWide * 4, space,
                                    kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (context == nullptr && data) {
    ReleasePtr(data);
    data = nullptr;
  }
  return context;
}

void DrawInsertionLine(CGContextRef context, CGRect bounds, SInt16 part) {
  const CGFloat y = part == kTrackingUpperPart ? MaxY(bounds) - 2 : MinY(bounds) + 2;
  CGContextSaveGState(context);
  HIThemeSetStroke(kThemeBrushAlternatePrimaryHighlightColor, nullptr, context, kHIThemeOrientationInverted);
  CGContextSetLineWidth(context, 2);
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, bounds.origin.x + 5, y);
  CGContextAddLineToPoint(context, bounds.size.width + 3, y);
  CGContextStrokePath(context);
  CGContextSetLineWidth(context, 1);
  CGContextStrokeEllipseInRect(context, CGRect{{bounds.origin.x, y - 3}, {5, 5}});
  CGContextRestoreGState(context);
}

void DrawContainerOutline(CGContextRef context, CGRect bounds, ControlRef browser) {
  CGRect r = Inset(bounds, 1, 1);
  r.size.width = std::max<CGFloat>(0, BrowserWidth(browser) - 20 - r.origin.x);
  CGContextSaveGState(context);
  HIThemeSetFill(kThemeBrushAlternatePrimaryHighlightColor, nullptr, context, kHIThemeOrientationInverted);
  HIThemeSetStroke(kThemeBrushAlternatePrimaryHighlightColor, nullptr, context, kHIThemeOrientationInverted);
  CGContextSetAlpha(context, 0.2);
  CGContextBeginPath(context);
  AddRoundedRectToPath(context, r, 4, 4);
  CGContextFillPath(context);
  CGContextSetAlpha(context, 1);
  CGContextSetLineWidth(context, 2);
  CGContextBeginPath(context);
  AddRoundedRectToPath(context, r, 4, 4);
  CGContextStrokePath(context);
  CGContextRestoreGState(context);
}

DataBrowserItemID FirstSelected(ControlRef browser) {
  Handle h = NewHandle(0);
  DataBrowserItemID first = 0;
  if (GetDataBrowserItems(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected, h) == noErr &&
      GetHandleSize(h) >= Size(sizeof first))
    first = reinterpret_cast<DataBrowserItemID*>(*h)[0];
  DisposeHandle(h);
  return first;
}

void DrawTextPass(CFStringRef text, CGRect box, HIThemeTextInfo& info, CGContextRef context, CGFloat r, CGFloat g,
                  CGFloat b, CGFloat a) {
  CGContextSetRGBFillColor(context, r, g, b, a);
  HIThemeDrawTextBox(text, &box, &info, context, kHIThemeOrientationInverted);
}

void CompositeHandler(bool caption, IconRef icon, CFStringRef text, Boolean container,
                      DataBrowserPropertyID property, DataBrowserItemID item, DataBrowserItemState itemState,
                      CGRect itemBounds, CGContextRef context, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  const bool dragging = data && data->DRAGGING;
  if (!dragging) {
    StandardCellDrawHandler(property, item, itemBounds, context, browser);
    StandardSelectionDrawHandler(itemState, property, item, itemBounds, context, browser);
  }
  CGRect bounds = itemBounds;
  if (icon)
    StandardIconDrawHandler(icon, itemState, bounds, context, browser);
  else
    bounds.origin.x -= 18;  // the text takes the icon's place
  if (caption)
    StandardCaptionDrawHandler(text, itemState, bounds, context, browser);
  else
    StandardTextDrawHandler(text, itemState, bounds, context, browser);
  if (!dragging) StandardTrackingDrawHandler(container, item, itemState, itemBounds, context, browser);
}

// The text's rectangle measured in the font it is drawn in: captions are
// drawn bold, wider than the row's own font.
CGRect TextBoundsInFont(CFStringRef text, CGRect itemBounds, ControlRef browser, ThemeFontID font) {
  HIThemeTextInfo info = GetStandardTextTheme(browser);
  info.fontID = font;
  CGFloat gap = 0;
  Boolean usingDefault = true;
  GetDataBrowserMetric(browser, kDataBrowserMetricIconAndTextGap, &usingDefault, &gap);
  if (IsMinimal(browser)) gap += 3;
  const CGFloat iconSize = GetIconSize(browser);
  CGFloat width = 0, height = 0, baseline = 0;
  if (text) HIThemeGetTextDimensions(text, 0, &info, &width, &height, &baseline);
  width = std::max<CGFloat>(0, std::min(width, BrowserWidth(browser) - itemBounds.origin.x - (iconSize + 18 + gap)));
  CGRect r{{itemBounds.origin.x + iconSize + gap, itemBounds.origin.y}, {width, height}};
  r = Inset(r, -3, -3);
  r.origin.y = itemBounds.origin.y + itemBounds.size.height / 2 - height / 2;
  r.size.height = height;
  return r;
}

}  // namespace

// --- The list view's draw callback --------------------------------------------------------

void BrowserDrawItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property,
                     DataBrowserItemState itemState, const Rect* theRect, SInt16, Boolean) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || theRect == nullptr) return;
  Rect cell = *theRect;
  GetDataBrowserItemPartBounds(browser, item, property, kDataBrowserPropertyEnclosingPart, &cell);
  GrafPtr port = nullptr;
  GetPort(&port);
  Rect portBounds{};
  GetPortBounds(port, &portBounds);
  CGContextRef context = nullptr;
  if (QDBeginCGContext(port, &context) != noErr || context == nullptr) return;
  RgnHandle clip = NewRgn();
  GetPortClipRegion(port, clip);
  ClipCGContextToRegion(context, &portBounds, clip);
  DisposeRgn(clip);
  const CGFloat portHeight = CGFloat(portBounds.bottom - portBounds.top);
  const CGRect bounds{{CGFloat(theRect->left), portHeight - CGFloat(cell.bottom)},
                      {CGFloat(cell.right - cell.left), CGFloat(theRect->bottom - theRect->top)}};
  if (item == data->MOUSEDOWN) data->CURSORSTATE = kDataBrowserItemMouseDownState;
  if (item == data->MOUSEUP) data->CURSORSTATE = kDataBrowserItemMouseUpState;
  if (item == data->MOUSEMOVED) data->CURSORSTATE = kDataBrowserItemMouseMovedState;
  NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
  if (data->CALLBACKS.DRAWITEM && record)
    data->CALLBACKS.DRAWITEM(record->DATA, record->DATATYPE, record->CONTAINER, property, item, itemState, bounds,
                             context, browser, data->CALLBACKS.CONTEXT);
  // Each mouse action is seen by one draw of its row; the list redraws every
  // row at once, so only the row drawn takes it.
  if ((data = GetBrowserData(browser)) != nullptr) {
    if (data->MOUSEDOWN == item) data->MOUSEDOWN = 0;
    if (data->MOUSEUP == item) data->MOUSEUP = 0;
    if (data->MOUSEMOVED == item) data->MOUSEMOVED = 0;
  }
  QDEndCGContext(port, &context);
}

void PaintBrowserBackground(BrowserDataPtr data, CGContextRef context) {
  ControlRef browser = data->browser;
  HIRect bounds{};
  HIViewGetBounds(browser, &bounds);
  // The list draws its own frame and focus ring.
  CGRect area = Inset(bounds, 3, 3);
  DataBrowserItemID last = 0;
  for (DataBrowserTableViewRowIndex row = 0; row < 32767; ++row) {
    DataBrowserItemID item = 0;
    if (GetDataBrowserTableViewItemID(browser, row, &item) != noErr || item == 0) break;
    last = item;
  }
  if (last != 0) {
    Rect r{};
    if (GetDataBrowserItemPartBounds(browser, last, 0, kDataBrowserPropertyEnclosingPart, &r) != noErr) return;
    HIPoint bottom{CGFloat(r.left), CGFloat(r.bottom)};
    HIViewConvertPoint(&bottom, nullptr, browser);
    const CGFloat top = std::max(area.origin.y, bottom.y);
    area.size.height = MaxY(area) - top;
    area.origin.y = top;
    if (area.size.height <= 0) return;
  }
  CGContextSaveGState(context);
  if (IsControlActive(browser))
    CGContextSetRGBFillColor(context, data->BACKGROUND.red, data->BACKGROUND.green, data->BACKGROUND.blue,
                             data->BACKGROUND.alpha);
  else
    HIThemeSetFill(kThemeBrushDialogBackgroundInactive, nullptr, context, kHIThemeOrientationNormal);
  CGContextFillRect(context, area);
  CGContextRestoreGState(context);
}

void BuildDragImage(BrowserDataPtr data, DragRef drag) {
  ControlRef browser = data->browser;
  data->DRAGGING = true;
  SInt16 count = 0;
  ItemArrayHandle items = GetSelectedBrowserItems(browser, count);
  if (count > 0) {
    const CGFloat rowHeight = RowHeightOf(browser);
    const size_t wide = size_t(std::max<CGFloat>(1, BrowserWidth(browser)));
    const bool single = data->OPTIONS & kBrackenrowDrawSingleDragImage;
    // The item that started the drag: the row pressed, else the first selected.
    DataBrowserItemID starter = (*items)[0];
    for (SInt16 i = 0; i < count; ++i)
      if ((*items)[i] == data->MOUSEDOWN) starter = data->MOUSEDOWN;
    const size_t rows = single ? 1 : size_t(count);
    const size_t high = size_t(std::max<CGFloat>(1, rowHeight * CGFloat(rows)));
    Ptr memory = nullptr;
    if (CGContextRef context = CreateBitmapContext(wide, high, memory)) {
      size_t drawn = 0;
      for (SInt16 i = 0; i < count; ++i) {
        DataBrowserItemID item = (*items)[i];
        if (single && item != starter) continue;
        NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
        // Rows from the top of the image down (the context is y up).
        CGRect bounds{{0, CGFloat(high) - rowHeight * CGFloat(drawn + 1)}, {CGFloat(wide), rowHeight}};
        ++drawn;
        if (record && data->CALLBACKS.DRAWDRAGIMAGE) {
          DataBrowserItemState state = 0;
          GetDataBrowserItemState(browser, item, &state);
          data->CALLBACKS.DRAWDRAGIMAGE(record->DATA, record->DATATYPE, record->CONTAINER, data->DRAGCOLUMN, item,
                                        state, bounds, context, browser, data->CALLBACKS.CONTEXT);
        }
        if (GetBrowserData(browser) != data) break;
      }
      if (CGImageRef image = CGBitmapContextCreateImage(context)) {
        // The image's top left sits where the first dragged row begins,
        // relative to the point pressed.
        Rect first{};
        GetDataBrowserItemPartBounds(browser, single ? starter : (*items)[0], 0, kDataBrowserPropertyEnclosingPart,
                                     &first);
        HIPoint top{CGFloat(first.left), CGFloat(first.top)};
        HIViewConvertPoint(&top, nullptr, browser);
        HIPoint offset{top.x - CGFloat(data->DRAGORIGIN.h), top.y - CGFloat(data->DRAGORIGIN.v)};
        SetDragImageWithCGImage(drag, image, &offset, kDragStandardTranslucency);
        CGImageRelease(image);
      }
      CGContextRelease(context);
      ReleasePtr(memory);
    }
  }
  if (items) DisposeHandle(reinterpret_cast<Handle>(items));
  if (GetBrowserData(browser) == data) data->DRAGGING = false;
}

// --- Exported handlers ---------------------------------------------------------------------

void StandardTextPropertyDrawHandler(IconRef icon, CFStringRef text, Boolean container, DataBrowserPropertyID property,
                                     DataBrowserItemID item, DataBrowserItemState itemState, CGRect itemBounds,
                                     CGContextRef context, ControlRef browser) {
  CompositeHandler(false, icon, text, container, property, item, itemState, itemBounds, context, browser);
}

void StandardCaptionPropertyDrawHandler(IconRef icon, CFStringRef text, Boolean container,
                                        DataBrowserPropertyID property, DataBrowserItemID item,
                                        DataBrowserItemState itemState, CGRect itemBounds, CGContextRef context,
                                        ControlRef browser) {
  CompositeHandler(true, icon, text, container, property, item, itemState, itemBounds, context, browser);
}

void StandardSelectionDrawHandler(DataBrowserItemState itemState, DataBrowserPropertyID, DataBrowserItemID,
                                  CGRect itemBounds, CGContextRef context, ControlRef browser) {
  if (!(itemState & kDataBrowserItemIsSelected) || context == nullptr) return;
  BrowserDataPtr data = GetBrowserData(browser);
  const bool active = IsControlActive(browser);
  CGContextSaveGState(context);
  if (data && data->SELECTION) {
    const CGFloat width = CGFloat(CGImageGetWidth(data->SELECTION));
    if (!active) {
      CGContextSetAlpha(context, 0.6);
      CGContextSetBlendMode(context, kCGBlendModeLuminosity);
    }
    if (width > 0)
      for (CGFloat x = itemBounds.origin.x; x < MaxX(itemBounds); x += width)
        CGContextDrawImage(context, CGRect{{x, itemBounds.origin.y}, {width, itemBounds.size.height}},
                           data->SELECTION);
  } else {
    HIThemeSetFill(active ? kThemeBrushAlternatePrimaryHighlightColor : kThemeBrushSecondaryHighlightColor, nullptr,
                   context, kHIThemeOrientationInverted);
    if (IsMinimal(browser)) {
      CGContextBeginPath(context);
      AddRoundedRectToPath(context, itemBounds, 4, 4);
      CGContextFillPath(context);
    } else {
      CGContextFillRect(context, itemBounds);
    }
  }
  CGContextRestoreGState(context);
}

void StandardCellDrawHandler(DataBrowserPropertyID property, DataBrowserItemID item, CGRect itemBounds,
                             CGContextRef context, ControlRef browser) {
  if (context == nullptr) return;
  BrowserDataPtr data = GetBrowserData(browser);
  // The cell's content, in the same y-up coordinates: the list's disclosure
  // triangle beside it stays visible.
  CGRect cell = itemBounds;
  Rect r{};
  const CGFloat portHeight = PortHeightOf(browser);
  if (portHeight > 0 &&
      GetDataBrowserItemPartBounds(browser, item, property, kDataBrowserPropertyContentPart, &r) == noErr)
    cell = CGRect{{CGFloat(r.left), portHeight - CGFloat(r.bottom)}, {CGFloat(r.right - r.left), CGFloat(r.bottom - r.top)}};
  DataBrowserTableViewRowIndex row = 0;
  GetDataBrowserTableViewItemRow(browser, item, &row);
  CGContextSaveGState(context);
  if ((row % 2) == 1 && data && (data->OPTIONS & kBrackenrowAlternatingRowColors)) {
    HIThemeSetFill(kThemeBrushListViewOddRowBackground, nullptr, context, kHIThemeOrientationInverted);
    CGContextFillRect(context, cell);
  } else {
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, cell);
    if (UsesPlainBackground(browser) || data == nullptr)
      CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    else if (IsControlActive(browser))
      CGContextSetRGBFillColor(context, data->BACKGROUND.red, data->BACKGROUND.green, data->BACKGROUND.blue,
                               data->BACKGROUND.alpha);
    else
      HIThemeSetFill(kThemeBrushDialogBackgroundInactive, nullptr, context, kHIThemeOrientationInverted);
    CGContextFillRect(context, cell);
  }
  CGContextRestoreGState(context);
}

void StandardIconDrawHandler(IconRef icon, DataBrowserItemState, CGRect itemBounds, CGContextRef context,
                             ControlRef browser) {
  if (icon == nullptr || context == nullptr) return;
  CGRect box = GetStandardIconBounds(itemBounds, browser);
  PlotIconRefInContext(context, &box, kAlignNone, kTransformNone, nullptr, kPlotIconRefNormalFlags, icon);
}

void StandardTextDrawHandler(CFStringRef text, DataBrowserItemState itemState, CGRect itemBounds,
                             CGContextRef context, ControlRef browser) {
  if (text == nullptr || context == nullptr) return;
  HIThemeTextInfo info = GetStandardTextTheme(browser);
  const CGRect box = GetStandardTextBounds(text, itemBounds, browser);
  CGContextSaveGState(context);
  if (itemState & kDataBrowserItemIsSelected) {
    CGRect wide = box;
    if (info.fontID == kThemeSmallSystemFont) {
      // The emphasised text is wider than the text the bounds were measured for.
      CGFloat plain = 0, bold = 0, height = 0, baseline = 0;
      HIThemeGetTextDimensions(text, 0, &info, &plain, &height, &baseline);
      info.fontID = kThemeSmallEmphasizedSystemFont;
      HIThemeGetTextDimensions(text, 0, &info, &bold, &height, &baseline);
      wide.size.width += std::max<CGFloat>(0, bold - plain);
    }
    DrawTextPass(text, Offset(wide, 0, -1), info, context, 0, 0, 0, 0.5);
    DrawTextPass(text, wide, info, context, 1, 1, 1, 1);
  } else {
    DrawTextPass(text, box, info, context, 0, 0, 0, 1);
  }
  CGContextRestoreGState(context);
}

void StandardCaptionDrawHandler(CFStringRef text, DataBrowserItemState itemState, CGRect itemBounds,
                                CGContextRef context, ControlRef browser) {
  if (text == nullptr || context == nullptr) return;
  HIThemeTextInfo info = GetStandardTextTheme(browser);
  info.fontID = kThemeSmallEmphasizedSystemFont;
  const CGRect box = TextBoundsInFont(text, itemBounds, browser, info.fontID);
  const bool selected = itemState & kDataBrowserItemIsSelected;
  CGContextSaveGState(context);
  // Engraved: a pass one point lower first.
  if (selected)
    DrawTextPass(text, Offset(box, 0, -1), info, context, 0.3412, 0.3412, 0.3412, 0.8);
  else
    DrawTextPass(text, Offset(box, 0, -1), info, context, 1, 1, 1, 0.8);
  if (selected)
    DrawTextPass(text, box, info, context, 1, 1, 1, 1);
  else
    DrawTextPass(text, box, info, context, 0.4356, 0.3678, 0.3037, 1);
  CGContextRestoreGState(context);
}

void StandardTrackingDrawHandler(Boolean container, DataBrowserItemID item, DataBrowserItemState itemState,
                                 CGRect itemBounds, CGContextRef context, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || context == nullptr) return;
  const bool arrange = data->OPTIONS & kBrackenrowArrangeRowOrder;
  if (!container && (itemState & kDataBrowserItemIsDragTarget) && arrange) {
    DrawInsertionLine(context, itemBounds, data->TRACKINGPART);
    return;
  }
  if (container && item == data->HOVERITEM && data->HOVERTIME != 0 && item != FirstSelected(browser)) {
    const SInt16 part = data->TRACKINGPART;
    if ((data->OPTIONS & kBrackenrowDrawOutlines) && (part == kTrackingContentPart || part == kTrackingLowerPart))
      DrawContainerOutline(context, itemBounds, browser);
    else if (part == kTrackingUpperPart && arrange)
      DrawInsertionLine(context, itemBounds, part);
  }
}

CGRect GetStandardIconBounds(CGRect itemBounds, ControlRef browser) {
  const CGFloat size = GetIconSize(browser);
  const CGFloat rowHeight = RowHeightOf(browser);
  return CGRect{{itemBounds.origin.x, itemBounds.origin.y + rowHeight / 2 - size / 2}, {size, size}};
}

CGRect GetStandardTextBounds(CFStringRef text, CGRect itemBounds, ControlRef browser) {
  return TextBoundsInFont(text, itemBounds, browser, GetStandardTextTheme(browser).fontID);
}

Boolean StandardTextPropertyHitTest(ConstStr255Param text, ControlRef browser, CGRect itemBounds, CGRect mouseRect) {
  CFStringRef string = nullptr;
  if (text) string = CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
  const CGRect textBounds = GetStandardTextBounds(string, itemBounds, browser);
  if (string) CFRelease(string);
  return Intersects(mouseRect, textBounds) ||
         Intersects(mouseRect, GetStandardIconBounds(itemBounds, browser));
}
