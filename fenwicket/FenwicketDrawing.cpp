// Scroll bars, wheel scrolling, drawing, the background and the gutter.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "CFString.h"
#include "HITheme.h"
#include "QDRegions.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

constexpr float kGutterFillAlpha = 0.3f;
constexpr float kGutterLineAlpha = 0.5f;
constexpr float kLineNumberAlpha = 0.5f;

SInt32 Height(const LongRect& r) { return r.bottom - r.top; }
SInt32 Width(const LongRect& r) { return r.right - r.left; }

void SetFrameIfLive(ControlRef bar, const CGRect& frame) {
  if (bar) HIViewSetFrame(bar, &frame);
}

// The point (root-view coordinates) in the view's own coordinates.
CGPoint RootToView(HIViewRef view, CGPoint p) {
  HIViewConvertPoint(&p, nullptr, view);
  return p;
}

// Whether a line number of this many digits, drawn centred in a cell of
// this width, stays within a cell of this height: then the numbers of the
// cells beside a drawn area leave no mark in it. Measured once for each
// shape of cell.
bool NumberStaysInCell(int digits, CGFloat width, CGFloat height, const HIThemeTextInfo& info) {
  struct Measured {
    int digits;
    CGFloat width;
    ThemeFontID font;
    CGFloat height;
  };
  static Measured known[16];
  static int count = 0;
  for (int i = 0; i < count; ++i)
    if (known[i].digits == digits && known[i].width == width && known[i].font == info.fontID)
      return known[i].height <= height;
  char widest[16] = {};
  for (int i = 0; i < std::clamp(digits, 1, 15); ++i) widest[i] = '8';
  CFStringRef text = CFStringCreateWithCString(nullptr, widest, kCFStringEncodingASCII);
  HIThemeTextInfo measure = info;
  CGFloat h = 0;
  const CGFloat measured =
      text != nullptr && HIThemeGetTextDimensions(text, width, &measure, nullptr, &h, nullptr) == noErr ? h : 1e9;
  if (text != nullptr) CFRelease(text);
  known[count < 16 ? count++ : 15] = {digits, width, info.fontID, measured};
  return measured <= height;
}

int DigitsOf(SInt32 count) {
  int digits = 1;
  for (SInt32 n = std::max<SInt32>(count, 1); n >= 10; n /= 10) ++digits;
  return digits;
}

void DrawGutter(WasteData* data, CGContextRef context) {
  WEReference we = data->CONTROLLER;
  CGRect bounds{};
  HIViewGetBounds(data->VIEW, &bounds);
  const SInt16 gutterWidth = GutterWidth(data);
  const CGRect gutter{{bounds.origin.x, bounds.origin.y}, {CGFloat(gutterWidth), bounds.size.height}};

  CGContextSaveGState(context);
  HIThemeSetFill(kThemeBrushSecondaryHighlightColor, nullptr, context, kHIThemeOrientationNormal);
  CGContextSetAlpha(context, kGutterFillAlpha);
  CGContextFillRect(context, gutter);
  CGContextSetAlpha(context, 1);
  CGContextSetShouldAntialias(context, false);
  CGContextSetRGBStrokeColor(context, 0, 0, 0, kGutterLineAlpha);
  CGContextStrokeRect(context, CGRect{{gutter.origin.x - 1, gutter.origin.y}, {gutter.size.width + 1, gutter.size.height}});
  CGContextRestoreGState(context);

  LongRect view{}, dest{};
  WEGetViewRect(&view, we);
  WEGetDestRect(&dest, we);
  WEEdge edge = kLeadingEdge;
  LongPt top{view.top, dest.left};
  LongPt bottom{view.bottom, dest.left};
  SInt32 first = WEOffsetToLine(WEGetOffset(&top, &edge, we), we);
  const SInt32 last = std::min(WEOffsetToLine(WEGetOffset(&bottom, &edge, we), we), WECountLines(we) - 1);

  HIThemeTextInfo info{};
  info.version = 0;
  info.state = kThemeStateActive;
  info.fontID = kThemeMiniSystemFont;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  // Only the cells of the area being drawn. The walk starts a few lines
  // above it rather than at the top of the view (a key redraws one line).
  const CGRect clip = CGContextGetClipBoundingBox(context);
  {
    CGPoint clipTop{0, clip.origin.y};
    HIViewConvertPoint(&clipTop, data->VIEW, nullptr);
    LongPt at{SInt32(std::floor(clipTop.y)), dest.left};
    if (at.v > view.top) first = std::max(first, WEOffsetToLine(WEGetOffset(&at, &edge, we), we) - 3);
  }
  for (SInt32 line = first; line <= last; ++line) {
    SInt32 start = 0, end = 0;
    WEGetLineRange(line, &start, &end, we);
    LongPt pt{};
    SInt16 lineHeight = 0;
    WEGetPoint(start, 1, &pt, &lineHeight, we);
    const CGPoint local = RootToView(data->VIEW, CGPoint{CGFloat(pt.h), CGFloat(pt.v)});
    const CGRect cell{{bounds.origin.x, local.y}, {CGFloat(gutterWidth), CGFloat(lineHeight)}};
    // A number can reach into the cells beside its own: those next to the
    // area are drawn too.
    if (cell.origin.y + 2 * cell.size.height <= clip.origin.y) continue;
    if (cell.origin.y - cell.size.height >= clip.origin.y + clip.size.height) break;
    const bool meetsArea = cell.origin.y + cell.size.height > clip.origin.y &&
                           cell.origin.y < clip.origin.y + clip.size.height;
    if (HasOption(data, kWasteViewDrawLineNumbers) &&
        (meetsArea || !NumberStaysInCell(int(std::floor(std::log10(double(line + 1)))) + 1, cell.size.width,
                                         cell.size.height, info))) {
      CGContextSaveGState(context);
      CGContextSetRGBFillColor(context, 0, 0, 0, kLineNumberAlpha);
      char digits[16];
      std::snprintf(digits, sizeof digits, "%d", int(line + 1));
      CFStringRef number = CFStringCreateWithCString(nullptr, digits, kCFStringEncodingASCII);
      if (number) {
        HIThemeDrawTextBox(number, &cell, &info, context, kHIThemeOrientationNormal);
        CFRelease(number);
      }
      CGContextRestoreGState(context);
    }
    CGContextSaveGState(context);
    const CFRange range = CFRangeMake(start, end);
    NotifyDrawGutter(data, context, line + 1, range, cell);
    CGContextRestoreGState(context);
  }
}

}  // namespace

namespace fenwicket {

SInt16 GutterWidth(WasteData* data) {
  if (!HasOption(data, kWasteViewDrawLineNumbers) || data->CONTROLLER == nullptr || data->GUTTERWIDTH <= 0)
    return data->GUTTERWIDTH;
  const int digits = DigitsOf(WECountLines(data->CONTROLLER));
  if (digits != data->gutterDigits || data->gutterNumbersWidth == 0) {
    // The widest digits, with a margin on either side.
    char widest[16] = {};
    for (int i = 0; i < std::clamp(digits, 1, 15); ++i) widest[i] = '8';
    HIThemeTextInfo info{};
    info.version = 0;
    info.state = kThemeStateActive;
    info.fontID = kThemeMiniSystemFont;
    CGFloat width = 0;
    if (CFStringRef text = CFStringCreateWithCString(nullptr, widest, kCFStringEncodingASCII)) {
      if (HIThemeGetTextDimensions(text, 0, &info, &width, nullptr, nullptr) != noErr) width = 0;
      CFRelease(text);
    }
    data->gutterDigits = SInt16(digits);
    data->gutterNumbersWidth = SInt16(std::ceil(width)) + 10;
  }
  return std::max(data->GUTTERWIDTH, data->gutterNumbersWidth);
}

void FollowLineCountDigits(WasteData* data) {
  if (!HasOption(data, kWasteViewDrawLineNumbers) || data->CONTROLLER == nullptr) return;
  if (DigitsOf(WECountLines(data->CONTROLLER)) == data->gutterDigits) return;
  const SInt16 before = std::max(data->GUTTERWIDTH, data->gutterNumbersWidth);  // as laid out
  if (GutterWidth(data) == before) return;
  LayoutView(data);
  HIViewSetNeedsDisplay(data->VIEW, true);
}

void CreateScrollBars(WasteData* data) {
  WindowRef window = HIViewGetWindow(data->VIEW);
  const Rect empty{0, 0, 0, 0};
  ControlRef* bars[] = {&data->SCROLLBAR.H, &data->SCROLLBAR.V};
  for (int i = 0; i < 2; ++i) {
    ControlRef bar = nullptr;
    Err = CreateScrollBarControl(window, &empty, 0, 0, 0, 0, true, data->CALLBACKS.SCROLLBAR, &bar);
    if (Err != noErr || bar == nullptr) continue;
    *bars[i] = bar;
    HIViewAddSubview(data->VIEW, bar);
    LayOutScrollBars(data);
    HILayoutInfo layout{};
    layout.version = kHILayoutInfoVersionZero;
    HIViewGetLayoutInfo(data->VIEW, &layout);
    layout.binding = HIBinding{};
    layout.position = HIPositioning{};
    if (i == 0) {
      layout.binding.left = HISideBinding{nullptr, kHILayoutBindMin, 0};
      layout.binding.right = HISideBinding{nullptr, kHILayoutBindMax, 0};
      layout.position.y = HIAxisPosition{nullptr, kHILayoutPositionMax, 0};
    } else {
      layout.binding.top = HISideBinding{nullptr, kHILayoutBindMin, 0};
      layout.binding.bottom = HISideBinding{nullptr, kHILayoutBindMax, 0};
      layout.position.x = HIAxisPosition{nullptr, kHILayoutPositionMax, 0};
    }
    HIViewSetLayoutInfo(bar, &layout);
    HIViewApplyLayout(bar);
  }
}

void LayOutScrollBars(WasteData* data) {
  CGRect frame{};
  HIViewGetFrame(data->VIEW, &frame);
  const CGFloat w = data->SCROLLBARWIDTH - 1;
  const CGFloat W = frame.size.width, H = frame.size.height;
  const CGRect& inset = data->SCROLLBARINSET;
  SetFrameIfLive(data->SCROLLBAR.H,
                 CGRect{{inset.origin.x, H - w}, {W - (w + inset.size.width), w}});
  SetFrameIfLive(data->SCROLLBAR.V,
                 CGRect{{W - w, inset.origin.y}, {w, H - (w + inset.size.height)}});
}

void ShowScrollBarsForOptions(WasteData* data) {
  // Start from the plain frames each time, so that the corner is taken
  // over once however often the options are applied.
  LayOutScrollBars(data);
  const bool vertical = HasOption(data, kWasteViewVerticalScrollbar);
  const bool horizontal = HasOption(data, kWasteViewHorizantalScrollbar);
  const CGFloat corner = data->SCROLLBARWIDTH - (HasOption(data, kWasteViewDrawFrame) ? 1 : 0);
  if (ControlRef bar = data->SCROLLBAR.V) {
    if (vertical) {
      HIViewSetVisible(bar, true);
      if (!horizontal) {
        CGRect frame{};
        HIViewGetFrame(bar, &frame);
        frame.size.height += corner;
        HIViewSetFrame(bar, &frame);
      }
    } else {
      HIViewSetVisible(bar, false);
    }
  }
  if (ControlRef bar = data->SCROLLBAR.H) {
    if (horizontal) {
      HIViewSetVisible(bar, true);
      if (!vertical) {
        CGRect frame{};
        HIViewGetFrame(bar, &frame);
        frame.size.width += corner;
        HIViewSetFrame(bar, &frame);
      }
    } else {
      HIViewSetVisible(bar, false);
    }
  }
  HIViewSetNeedsDisplay(data->VIEW, true);
}

void FollowText(WasteData* data) {
  WEReference we = data->CONTROLLER;
  if (we == nullptr) return;
  LongRect view{}, dest{};
  WEGetViewRect(&view, we);
  WEGetDestRect(&dest, we);
  bool rescroll = false;
  if (ControlRef bar = data->SCROLLBAR.V) {
    const SInt32 max = std::max<SInt32>(0, Height(dest) - Height(view));
    const SInt32 value = view.top - dest.top;
    SetControlViewSize(bar, Height(view));
    SetControl32BitMinimum(bar, 0);
    SetControl32BitMaximum(bar, max);
    SetControl32BitValue(bar, value);
    rescroll = rescroll || value > max || value < 0;
  }
  // The horizontal axis is held to its range as well, so that a view that
  // grew wider does not stay scrolled past the text's right end.
  if (ControlRef bar = data->SCROLLBAR.H) {
    const SInt32 max = std::max<SInt32>(0, Width(dest) - Width(view));
    const SInt32 value = view.left - dest.left;
    SetControlViewSize(bar, Width(view));
    SetControl32BitMinimum(bar, 0);
    SetControl32BitMaximum(bar, max);
    SetControl32BitValue(bar, value);
    rescroll = rescroll || value > max || value < 0;
  }
  if (rescroll) ScrollToBars(data);
}

void ScrollToBars(WasteData* data) {
  WEReference we = data->CONTROLLER;
  if (we == nullptr) return;
  LongRect view{}, dest{};
  WEGetViewRect(&view, we);
  WEGetDestRect(&dest, we);
  const SInt32 h = data->SCROLLBAR.H ? GetControl32BitValue(data->SCROLLBAR.H) : view.left - dest.left;
  const SInt32 v = data->SCROLLBAR.V ? GetControl32BitValue(data->SCROLLBAR.V) : view.top - dest.top;
  const SInt32 dh = (view.left - dest.left) - h;
  const SInt32 dv = (view.top - dest.top) - v;
  if (dh != 0 || dv != 0) WEScroll(dh, dv, we);
  HIViewSetNeedsDisplay(data->VIEW, true);
}

void ScrollByWheel(WasteData* data, UInt16 axis, SInt32 delta) {
  // A zero delta (the other axis of a smooth scroll, or its stop) moves nothing.
  if (delta == 0) return;
  const SInt32 step = delta > 0 ? -kWheelScrollDelta : kWheelScrollDelta;
  ControlRef bar = axis == 0 ? data->SCROLLBAR.H : data->SCROLLBAR.V;
  if (bar) SetControl32BitValue(bar, GetControl32BitValue(bar) + step);
  ScrollToBars(data);
}

void ScrollBarAction(ControlRef bar, ControlPartCode part) {
  WasteData* data = TextViewAtOrAbove(HIViewGetSuperview(bar));
  if (data == nullptr || data->CONTROLLER == nullptr) return;
  LongRect view{};
  WEGetViewRect(&view, data->CONTROLLER);
  const SInt32 extent = bar == data->SCROLLBAR.H ? Width(view) : Height(view);
  SInt32 step = 0;
  switch (part) {
    case kControlUpButtonPart: step = -kScrollDelta; break;
    case kControlDownButtonPart: step = kScrollDelta; break;
    case kControlPageUpPart: step = -(extent - kScrollDelta); break;
    case kControlPageDownPart: step = extent - kScrollDelta; break;
    default: break;
  }
  const SInt32 value = GetControl32BitValue(bar);
  if ((step > 0 && value < GetControl32BitMaximum(bar)) || (step < 0 && value > 0))
    SetControl32BitValue(bar, value + step);
  ScrollToBars(data);
}

bool CanDraw(HIViewRef view) {
  if (!HIViewIsDrawingEnabled(view) || HIViewGetSuperview(view) == nullptr || !HIViewIsVisible(view)) return false;
  CGRect bounds{};
  HIViewGetBounds(view, &bounds);
  return bounds.size.width > 0 && bounds.size.height > 0;
}

OSStatus DrawView(WasteData* data, EventRef event) {
  CGContextRef context = nullptr;
  OSStatus status =
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr, &context);
  WEReference we = data->CONTROLLER;
  ApplyClientsReadOnly(data);
  // A text read in without change reports may have brought new digits.
  FollowLineCountDigits(data);
  if (data->TRACKINGAREA == nullptr && status == noErr)
    status = HIViewNewTrackingArea(data->VIEW, nullptr, 0, &data->TRACKINGAREA);
  if (status != noErr || context == nullptr || !CanDraw(data->VIEW)) return noErr;

  CGRect bounds{};
  HIViewGetBounds(data->VIEW, &bounds);
  if (HasOption(data, kWasteViewDrawFrame)) {
    HIThemePlacardDrawInfo info{0, kThemeStateActive};
    HIThemeDrawPlacard(&bounds, &info, context, kHIThemeOrientationNormal);
  }

  // The engine draws in root-view coordinates.
  CGRect inRoot = bounds;
  HIViewConvertRect(&inRoot, data->VIEW, nullptr);
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, bounds.origin.x - inRoot.origin.x, bounds.origin.y - inRoot.origin.y);
  WESetInfo(weCGContextInfo, &context, we);
  RgnHandle region = NewRgn();
  const Rect qd = HIRectToQD(inRoot);
  RectRgn(region, &qd);
  WEUpdate(region, we);
  DisposeRgn(region);
  CGContextRef none = nullptr;
  WESetInfo(weCGContextInfo, &none, we);
  CGContextRestoreGState(context);

  if (HasOption(data, kWasteViewDrawFocus) && HIViewSubtreeContainsFocus(data->VIEW) &&
      HIViewIsActive(data->VIEW, nullptr)) {
    const CGFloat inset = kFocusRectInset;
    const CGRect ring{{bounds.origin.x + inset, bounds.origin.y + inset},
                      {bounds.size.width - 2 * inset, bounds.size.height - 2 * inset}};
    HIThemeDrawFocusRect(&ring, true, context, kHIThemeOrientationNormal);
  }
  if (HasOption(data, kWasteViewDrawGutter) && GutterWidth(data) > 0) DrawGutter(data, context);
  return noErr;
}

void ScrollHook(WEReference we) {
  WasteData* data = DataOfController(we);
  if (data == nullptr) return;
  FollowText(data);
  HIViewSetNeedsDisplay(data->VIEW, true);
}

void EraseHook(CGContextRef context, const CGRect* dirty, WEViewReference view, WEReference we) {
  WasteData* data = DataOfController(we);
  if (data == nullptr || context == nullptr || dirty == nullptr || !CanDraw(data->VIEW)) return;
  CGContextClipToRect(context, *dirty);
  CGContextSetRGBFillColor(context, data->BACKGROUND.red, data->BACKGROUND.green, data->BACKGROUND.blue,
                           data->BACKGROUND.alpha);
  CGContextFillRect(context, *dirty);
  CGContextSaveGState(context);
  NotifyDrawBackground(data, context, *dirty, view);
  CGContextRestoreGState(context);
}

}  // namespace fenwicket

// ---------------------------------------------------------------------------
// Exports

void WasteSetScrollPosition(HIViewRef inView, CGPoint inPosition) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  if (data->SCROLLBAR.H) SetControl32BitValue(data->SCROLLBAR.H, SInt32(std::trunc(inPosition.x)));
  if (data->SCROLLBAR.V) SetControl32BitValue(data->SCROLLBAR.V, SInt32(std::trunc(inPosition.y)));
  ScrollToBars(data);
}

CGPoint WasteGetScrollPosition(HIViewRef inView) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return CGPoint{0, 0};
  return CGPoint{CGFloat(data->SCROLLBAR.H ? GetControl32BitValue(data->SCROLLBAR.H) : 0),
                 CGFloat(data->SCROLLBAR.V ? GetControl32BitValue(data->SCROLLBAR.V) : 0)};
}

void WasteSetScrollBarInset(HIViewRef inView, CGRect inInset) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->SCROLLBARINSET = inInset;
  ShowScrollBarsForOptions(data);
}
