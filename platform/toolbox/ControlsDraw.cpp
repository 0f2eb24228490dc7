// The look of the standard controls: each kind draws itself through the
// theme in its standard draw handler (a program's draw handler, installed
// above it, replaces it by answering the event).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ChasingArrowsInternal.h"
#include "CGContext.h"
#include "CGImage.h"
#include "HITheme.h"
#include "Icons.h"
#include "HIViewRecord.h"
#include "ComboBoxInternal.h"
#include "SearchFieldInternal.h"

namespace {

bool Flag(__CView* view, ResType tag) {
  auto it = view->data.find(tag);
  return it != view->data.end() && !it->second.empty() && it->second[0] != 0;
}

ThemeDrawState StateOf(__CView* view) {
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  if (!HIViewIsActive(ref, nullptr)) return kThemeStateInactive;
  if (!HIViewIsEnabled(ref, nullptr)) return kThemeStateUnavailable;
  if (view->hilite > 0 && view->hilite < kControlDisabledPart) return kThemeStatePressed;
  return kThemeStateActive;
}

// The width of the text's first character and an ellipsis: the least a
// truncated line shows of the text.
CGFloat NarrowestTruncation(CFStringRef text, ThemeFontID font) {
  UniChar chars[2] = {CFStringGetCharacterAtIndex(text, 0), 0x2026};
  CFStringRef shortest = CFStringCreateWithCharacters(nullptr, chars, 2);
  HIThemeTextInfo info = {};
  info.fontID = font;
  CGFloat width = 0;
  HIThemeGetTextDimensions(shortest, 0, &info, &width, nullptr, nullptr);
  CFRelease(shortest);
  return width;
}

void Text(CFStringRef text, CGRect box, ThemeFontID font, ThemeDrawState state, HIThemeTextHorizontalFlush flush,
          CGContextRef ctx, bool wrap = false) {
  if (text == nullptr || CFStringGetLength(text) == 0) return;
  HIThemeTextInfo info = {};
  info.state = state;
  info.fontID = font;
  info.horizontalFlushness = flush;
  info.verticalFlushness = wrap ? kHIThemeTextVerticalFlushTop : kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = wrap ? kHIThemeTextTruncationNone : kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  // A box without width holds no text (the theme would take no width as no
  // limit and draw over the neighbours).
  if (!(box.size.width >= 1)) return;
  bool dim = state == kThemeStateInactive || state == kThemeStateUnavailable;
  CGContextSetGrayFillColor(ctx, dim ? 0.55 : 0.1, 1);
  CGContextSaveGState(ctx);
  CGContextClipToRect(ctx, box);
  if (!wrap && box.size.width < NarrowestTruncation(text, font)) {
    // Too narrow for a letter and the ellipsis, which alone would hide the
    // title: its first letters show, cut at the box.
    info.truncationPosition = kHIThemeTextTruncationNone;
    info.horizontalFlushness = kHIThemeTextHorizontalFlushLeft;
    CGRect wide = box;
    wide.size.width = 1e4;
    HIThemeDrawTextBox(text, &wide, &info, ctx, kHIThemeOrientationNormal);
  } else {
    HIThemeDrawTextBox(text, &box, &info, ctx, kHIThemeOrientationNormal);
  }
  CGContextRestoreGState(ctx);
}

ThemeButtonValue ButtonValue(SInt32 value) {
  return value == 2 ? kThemeButtonMixed : value ? kThemeButtonOn : kThemeButtonOff;
}

void Button(__CView* view, CGRect bounds, ThemeButtonKind kind, ThemeButtonValue value, ThemeButtonAdornment adornment,
            CGContextRef ctx, CGRect* label) {
  HIThemeButtonDrawInfo info = {};
  info.state = StateOf(view);
  info.kind = kind;
  info.value = value;
  info.adornment = adornment;
  HIThemeDrawButton(&bounds, &info, ctx, kHIThemeOrientationNormal, label);
}

// The text of a pop-up's chosen item, or its title when it has none.
CFStringRef CopyPopupText(__CView* view) {
  CFStringRef text = nullptr;
  if (view->menu && view->value > 0 && view->value <= CountMenuItems(view->menu))
    CopyMenuItemTextAsCFString(view->menu, MenuItemIndex(view->value), &text);
  return text ? text : CFStringCreateCopy(nullptr, view->text);
}

void DrawEditText(__CView* view, CGRect bounds, CGContextRef ctx, bool focused) {
  CGContextSetGrayFillColor(ctx, 1, 1);
  CGContextFillRect(ctx, bounds);
  HIThemeFrameDrawInfo frame = {0, kHIThemeFrameTextFieldSquare, StateOf(view), focused};
  HIThemeDrawFrame(&bounds, &frame, ctx, kHIThemeOrientationNormal);
  CGRect box = CGRect{{bounds.origin.x + 4, bounds.origin.y + 2}, {bounds.size.width - 8, bounds.size.height - 4}};
  ControlDrawFieldText(view, box, ctx, focused);
}

void DrawTrack(__CView* view, CGRect b, CGContextRef ctx) {
  bool horizontal = b.size.width >= b.size.height;
  CGFloat length = horizontal ? b.size.width : b.size.height;
  CGFloat thick = horizontal ? b.size.height : b.size.width;
  CGContextSetGrayFillColor(ctx, 0.92, 1);
  CGContextFillRect(ctx, b);
  CGContextSetGrayStrokeColor(ctx, 0.7, 1);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokeRect(ctx, CGRect{{b.origin.x + 0.5, b.origin.y + 0.5}, {b.size.width - 1, b.size.height - 1}});
  CGFloat arrow = std::min(thick, length / 4);
  HIThemePopupArrowDrawInfo ai = {0, StateOf(view), kThemeArrowLeft, kThemeArrow7pt};
  CGRect first = horizontal ? CGRect{b.origin, {arrow, thick}} : CGRect{b.origin, {thick, arrow}};
  CGRect last = horizontal ? CGRect{{b.origin.x + length - arrow, b.origin.y}, {arrow, thick}}
                           : CGRect{{b.origin.x, b.origin.y + length - arrow}, {thick, arrow}};
  ai.orientation = horizontal ? kThemeArrowLeft : kThemeArrowUp;
  CGContextSetGrayFillColor(ctx, 0.3, 1);
  HIThemeDrawPopupArrow(&first, &ai, ctx, kHIThemeOrientationNormal);
  ai.orientation = horizontal ? kThemeArrowRight : kThemeArrowDown;
  HIThemeDrawPopupArrow(&last, &ai, ctx, kHIThemeOrientationNormal);
  double range = double(view->maximum) - double(view->minimum);
  if (range <= 0 || StateOf(view) == kThemeStateUnavailable) return;
  CGFloat track = length - 2 * arrow;
  CGFloat thumb = std::min(track, std::max<CGFloat>(thick, track * view->viewSize / (range + view->viewSize)));
  CGFloat start = arrow + (track - thumb) * (view->value - view->minimum) / range;
  CGRect knob = horizontal ? CGRect{{b.origin.x + start, b.origin.y + 2}, {thumb, thick - 4}}
                           : CGRect{{b.origin.x + 2, b.origin.y + start}, {thick - 4, thumb}};
  CGContextSetGrayFillColor(ctx, view->hilite == kControlIndicatorPart ? 0.45 : 0.6, 1);
  CGContextFillRect(ctx, knob);
}

void DrawSlider(__CView* view, CGRect b, CGContextRef ctx) {
  bool horizontal = b.size.width >= b.size.height;
  double range = double(view->maximum) - double(view->minimum);
  double fraction = range > 0 ? (view->value - view->minimum) / range : 0;
  CGFloat knob = std::min(b.size.width, b.size.height) - 2;
  CGContextSetGrayFillColor(ctx, 0.7, 1);
  if (horizontal) {
    CGContextFillRect(ctx, CGRect{{b.origin.x, b.origin.y + b.size.height / 2 - 2}, {b.size.width, 4}});
  } else {
    CGContextFillRect(ctx, CGRect{{b.origin.x + b.size.width / 2 - 2, b.origin.y}, {4, b.size.height}});
  }
  CGFloat travel = (horizontal ? b.size.width : b.size.height) - knob;
  CGFloat at = CGFloat(travel * fraction);
  CGRect k = horizontal ? CGRect{{b.origin.x + at, b.origin.y + 1}, {knob, knob}}
                        : CGRect{{b.origin.x + 1, b.origin.y + at}, {knob, knob}};
  CGContextSetGrayFillColor(ctx, StateOf(view) == kThemeStateActive ? 0.97 : 0.85, 1);
  CGContextFillEllipseInRect(ctx, k);
  CGContextSetGrayStrokeColor(ctx, 0.45, 1);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokeEllipseInRect(ctx, k);
}

void DrawProgress(__CView* view, CGRect b, CGContextRef ctx) {
  CGContextSetGrayFillColor(ctx, 0.9, 1);
  CGContextFillRect(ctx, b);
  double range = double(view->maximum) - double(view->minimum);
  bool indeterminate = Flag(view, kControlProgressBarIndeterminateTag);
  HIThemeSetFill(kThemeBrushPrimaryHighlightColor, nullptr, ctx, kHIThemeOrientationNormal);
  if (indeterminate) {
    for (CGFloat x = b.origin.x; x < b.origin.x + b.size.width; x += 16)
      CGContextFillRect(ctx, CGRect{{x, b.origin.y}, {8, b.size.height}});
  } else if (range > 0) {
    double fraction = std::max(0.0, std::min(1.0, (view->value - view->minimum) / range));
    CGContextFillRect(ctx, CGRect{b.origin, {CGFloat(b.size.width * fraction), b.size.height}});
  }
  CGContextSetGrayStrokeColor(ctx, 0.6, 1);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokeRect(ctx, CGRect{{b.origin.x + 0.5, b.origin.y + 0.5}, {b.size.width - 1, b.size.height - 1}});
}

// A segment's icon or picture, centred in its face at its own size or
// smaller.
void DrawSegmentImage(const ControlButtonContentInfo& image, CGRect face, ThemeDrawState state, CGContextRef ctx) {
  if (image.contentType == kControlContentIconRef && IsValidIconRef(static_cast<IconRef>(image.u.iconRef))) {
    const CGFloat side = std::floor(std::min(face.size.width, face.size.height));
    if (side <= 0) return;
    const CGRect box{{std::floor(face.origin.x + (face.size.width - side) / 2),
                      std::floor(face.origin.y + (face.size.height - side) / 2)},
                     {side, side}};
    // Icons are plotted y-up; the view's context is y-down.
    CGContextSaveGState(ctx);
    CGContextTranslateCTM(ctx, 0, box.origin.y * 2 + box.size.height);
    CGContextScaleCTM(ctx, 1, -1);
    const IconTransformType transform = state == kThemeStatePressed       ? kTransformSelected
                                        : state == kThemeStateUnavailable ? kTransformDisabled
                                                                          : kTransformNone;
    PlotIconRefInContext(ctx, &box, kAlignAbsoluteCenter, transform, nullptr, kPlotIconRefNormalFlags,
                         static_cast<IconRef>(image.u.iconRef));
    CGContextRestoreGState(ctx);
  } else if (image.contentType == kControlContentCGImageRef && image.u.imageRef != nullptr) {
    const auto picture = static_cast<CGImageRef>(image.u.imageRef);
    const CGFloat w = std::min<CGFloat>(CGFloat(CGImageGetWidth(picture)), face.size.width);
    const CGFloat h = std::min<CGFloat>(CGFloat(CGImageGetHeight(picture)), face.size.height);
    const CGRect box{{face.origin.x + (face.size.width - w) / 2, face.origin.y + (face.size.height - h) / 2}, {w, h}};
    HIViewDrawCGImage(ctx, &box, picture);
  }
}

// An image well: a sunken frame, and its icon filling the square centred in
// the frame's inside (a picture scaled down to fit, never up), faded while
// the well is inactive or disabled.
void DrawImageWell(__CView* view, CGRect b, CGContextRef ctx) {
  const ThemeDrawState state = StateOf(view);
  CGContextSetGrayFillColor(ctx, 0.97, 1);
  CGContextFillRect(ctx, b);
  HIThemeFrameDrawInfo frame = {0, kHIThemeFrameTextFieldSquare, state, false};
  HIThemeDrawFrame(&b, &frame, ctx, kHIThemeOrientationNormal);
  auto it = view->data.find(kControlImageWellContentTag);
  ControlButtonContentInfo content{};
  if (it == view->data.end() || it->second.size() != sizeof content) return;
  std::memcpy(&content, it->second.data(), sizeof content);
  const CGRect inside = {{b.origin.x + 4, b.origin.y + 4}, {b.size.width - 8, b.size.height - 8}};
  if (inside.size.width <= 0 || inside.size.height <= 0) return;
  const bool faded = state == kThemeStateInactive || state == kThemeStateUnavailable;
  if (content.contentType == kControlContentIconRef && IsValidIconRef(static_cast<IconRef>(content.u.iconRef))) {
    const CGFloat side = std::floor(std::min(inside.size.width, inside.size.height));
    const CGRect box{{std::floor(inside.origin.x + (inside.size.width - side) / 2),
                      std::floor(inside.origin.y + (inside.size.height - side) / 2)},
                     {side, side}};
    // Icons are plotted y-up; the view's context is y-down.
    CGContextSaveGState(ctx);
    CGContextTranslateCTM(ctx, 0, box.origin.y * 2 + box.size.height);
    CGContextScaleCTM(ctx, 1, -1);
    PlotIconRefInContext(ctx, &box, kAlignAbsoluteCenter, faded ? kTransformDisabled : kTransformNone, nullptr,
                         kPlotIconRefNormalFlags, static_cast<IconRef>(content.u.iconRef));
    CGContextRestoreGState(ctx);
  } else if (content.contentType == kControlContentCGImageRef && content.u.imageRef != nullptr) {
    const auto picture = static_cast<CGImageRef>(content.u.imageRef);
    const CGFloat w = CGFloat(CGImageGetWidth(picture)), h = CGFloat(CGImageGetHeight(picture));
    if (w <= 0 || h <= 0) return;
    const CGFloat scale = std::min<CGFloat>({1.0, inside.size.width / w, inside.size.height / h});
    const CGRect box{{inside.origin.x + (inside.size.width - w * scale) / 2,
                      inside.origin.y + (inside.size.height - h * scale) / 2},
                     {w * scale, h * scale}};
    CGContextSaveGState(ctx);
    if (faded) CGContextSetAlpha(ctx, 0.5);
    HIViewDrawCGImage(ctx, &box, picture);
    CGContextRestoreGState(ctx);
  }
}

void DrawSegments(__CView* view, CGRect b, CGContextRef ctx) {
  size_t n = view->segments.size();
  if (n == 0) return;
  CGFloat w = b.size.width / CGFloat(n);
  for (size_t i = 0; i < n; ++i) {
    const SegmentRecord& seg = view->segments[i];
    CGRect r = {{b.origin.x + w * CGFloat(i), b.origin.y}, {w, b.size.height}};
    HIThemeButtonDrawInfo info = {};
    info.state = StateOf(view);
    if (!seg.enabled) info.state = kThemeStateUnavailable;
    if (view->hilite == ControlPartCode(i + 1)) info.state = kThemeStatePressed;
    info.kind = kThemeBevelButton;
    info.value = seg.value ? kThemeButtonOn : kThemeButtonOff;
    CGRect label = r;
    HIThemeDrawButton(&r, &info, ctx, kHIThemeOrientationNormal, &label);
    DrawSegmentImage(seg.image, label, info.state, ctx);
    if (seg.label) Text(seg.label, label, kThemeSmallSystemFont, info.state, kHIThemeTextHorizontalFlushCenter, ctx);
  }
}

}  // namespace

void ControlDrawFieldText(__CView* view, CGRect box, CGContextRef ctx, bool focused) {
  CFStringRef shown = view->text;
  CFMutableStringRef bullets = nullptr;
  if (Flag(view, kControlEditTextPasswordTag)) {
    bullets = CFStringCreateMutable(nullptr, 0);
    UniChar bullet = 0x2022;
    for (CFIndex i = 0; i < CFStringGetLength(view->text); ++i) CFStringAppendCharacters(bullets, &bullet, 1);
    shown = bullets;
  }
  if (focused) {
    // The selection or the insertion point, measured in the field's font.
    auto offset = [&](CFIndex index) -> CGFloat {
      if (index <= 0) return 0;
      CFStringRef prefix = CFStringCreateWithSubstring(nullptr, shown, CFRange{0, index});
      HIThemeTextInfo info = {};
      info.fontID = kThemeSystemFont;
      CGFloat w = 0;
      HIThemeGetTextDimensions(prefix, 0, &info, &w, nullptr, nullptr);
      CFRelease(prefix);
      return w;
    };
    CFIndex len = CFStringGetLength(shown);
    CGFloat x0 = box.origin.x + offset(std::min<CFIndex>(view->selection.selStart, len));
    CGFloat x1 = box.origin.x + offset(std::min<CFIndex>(view->selection.selEnd, len));
    if (x1 > x0) {
      HIThemeSetFill(kThemeBrushPrimaryHighlightColor, nullptr, ctx, kHIThemeOrientationNormal);
      CGContextFillRect(ctx, CGRect{{x0, box.origin.y}, {x1 - x0, box.size.height}});
    } else {
      CGContextSetGrayFillColor(ctx, 0, 1);
      CGContextFillRect(ctx, CGRect{{x0, box.origin.y + 1}, {1, box.size.height - 2}});
    }
  }
  HIThemeTextInfo info = {};
  info.state = StateOf(view);
  info.fontID = kThemeSystemFont;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  CGContextSetGrayFillColor(ctx, info.state == kThemeStateActive ? 0 : 0.5, 1);
  if (CFStringGetLength(shown) > 0) HIThemeDrawTextBox(shown, &box, &info, ctx, kHIThemeOrientationNormal);
  if (bullets) CFRelease(bullets);
}

bool ControlKindDraw(__CView* view, CGContextRef ctx) {
  if (view->kind.signature != kControlKindSignatureApple) return false;
  CGRect b = {view->boundsOrigin, view->frame.size};
  ThemeDrawState state = StateOf(view);
  CGRect label = b;
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  HIViewPartCode focusPart = 0;
  HIViewGetFocusPart(ref, &focusPart);
  switch (view->kind.kind) {
    case kControlKindPushButton:
      Button(view, b, kThemePushButton, kThemeButtonOff,
             Flag(view, kControlPushButtonDefaultTag) ? kThemeAdornmentDefault : kThemeAdornmentNone, ctx, &label);
      Text(view->text, label, kThemePushButtonFont, state, kHIThemeTextHorizontalFlushCenter, ctx);
      return true;
    case kControlKindBevelButton: {
      Button(view, b, kThemeBevelButton, ButtonValue(view->value), kThemeAdornmentNone, ctx, &label);
      Text(view->text, label, kThemeSmallSystemFont, state, kHIThemeTextHorizontalFlushCenter, ctx);
      if (view->menu) {
        CGRect arrow = {{b.origin.x + b.size.width - 10, b.origin.y + b.size.height - 8}, {7, 5}};
        HIThemePopupArrowDrawInfo ai = {0, state, kThemeArrowDown, kThemeArrow5pt};
        CGContextSetGrayFillColor(ctx, 0.2, 1);
        HIThemeDrawPopupArrow(&arrow, &ai, ctx, kHIThemeOrientationNormal);
      }
      return true;
    }
    case kControlKindCheckBox:
      Button(view, b, kThemeCheckBox, ButtonValue(view->value), kThemeAdornmentNone, ctx, &label);
      Text(view->text, label, kThemeSystemFont, state, kHIThemeTextHorizontalFlushLeft, ctx);
      return true;
    case kControlKindRadioButton:
      Button(view, b, kThemeRadioButton, ButtonValue(view->value), kThemeAdornmentNone, ctx, &label);
      Text(view->text, label, kThemeSystemFont, state, kHIThemeTextHorizontalFlushLeft, ctx);
      return true;
    case kControlKindDisclosureTriangle:
      Button(view, b, kThemeDisclosureButton, view->value ? kThemeDisclosureDown : kThemeDisclosureRight,
             kThemeAdornmentNone, ctx, &label);
      Text(view->text, label, kThemeSystemFont, state, kHIThemeTextHorizontalFlushLeft, ctx);
      return true;
    case kControlKindLittleArrows:
      Button(view, b, kThemeIncDecButton, kThemeButtonOff, kThemeAdornmentNone, ctx, nullptr);
      return true;
    case kControlKindPopupButton: {
      Button(view, b, kThemePopupButton, kThemeButtonOff, kThemeAdornmentNone, ctx, &label);
      CFStringRef text = CopyPopupText(view);
      Text(text, label, kThemeSystemFont, state, kHIThemeTextHorizontalFlushLeft, ctx);
      CFRelease(text);
      return true;
    }
    case kControlKindStaticText: {
      bool multiline = Flag(view, kControlStaticTextIsMultilineTag) || b.size.height > 24;
      Text(view->text, b, kThemeSystemFont, state, kHIThemeTextHorizontalFlushLeft, ctx, multiline);
      return true;
    }
    case kControlKindEditText:
    case kControlKindEditUnicodeText:
      DrawEditText(view, b, ctx, focusPart != kControlFocusNoPart);
      return true;
    case kControlKindHISearchField:
      SearchFieldDraw(view, b, ctx, focusPart != kControlFocusNoPart);
      return true;
    case kControlKindHIComboBox:
      ComboBoxDraw(view, b, ctx, focusPart != kControlFocusNoPart);
      return true;
    case kControlKindPlacard: {
      HIThemePlacardDrawInfo info = {0, state};
      HIThemeDrawPlacard(&b, &info, ctx, kHIThemeOrientationNormal);
      return true;
    }
    case kControlKindGroupBox: {
      HIThemeGroupBoxDrawInfo info = {0, state, Flag(view, 'prim') ? kHIThemeGroupBoxKindPrimary
                                                                   : kHIThemeGroupBoxKindSecondary};
      bool titled = CFStringGetLength(view->text) > 0;
      CGRect box = b;
      if (titled) {
        box.origin.y += 8;
        box.size.height -= 8;
      }
      HIThemeDrawGroupBox(&box, &info, ctx, kHIThemeOrientationNormal);
      if (titled)
        Text(view->text, CGRect{{b.origin.x + 8, b.origin.y}, {b.size.width - 16, 16}}, kThemeSmallSystemFont, state,
             kHIThemeTextHorizontalFlushLeft, ctx);
      return true;
    }
    case kControlKindSeparator: {
      HIThemeSeparatorDrawInfo info = {0, state};
      HIThemeDrawSeparator(&b, &info, ctx, kHIThemeOrientationNormal);
      return true;
    }
    case kControlKindScrollBar:
      DrawTrack(view, b, ctx);
      return true;
    case kControlKindSlider:
      DrawSlider(view, b, ctx);
      return true;
    case kControlKindProgressBar:
      DrawProgress(view, b, ctx);
      return true;
    case kControlKindChasingArrows: {
      HIThemeChasingArrowsDrawInfo info = {0, state, ChasingArrowsStep()};
      HIThemeDrawChasingArrows(&b, &info, ctx, kHIThemeOrientationNormal);
      return true;
    }
    case kControlKindHISegmentedView:
      DrawSegments(view, b, ctx);
      return true;
    case kControlKindImageWell:
      DrawImageWell(view, b, ctx);
      return true;
    case kControlKindHIImageView:
      if (view->image) HIViewDrawCGImage(ctx, &b, static_cast<CGImageRef>(view->image));
      return true;
    default:
      return false;
  }
}
