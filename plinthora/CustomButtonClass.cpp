// Custom-drawn buttons: standard bevel buttons, placards, pop-up buttons,
// push buttons and segmented views given an image-based look by a draw
// handler that replaces the system's drawing.
#include "Folders.h"
#include "HITheme.h"
#include "Icons.h"
#include "plinthora/PlinthoraInternal.h"
#include "plinthora/TabTypes.h"

using namespace plinthora;

namespace {

struct ButtonContent {
  CGImageRef CONTENT, LEFT, RIGHT;
};
struct CustomButtonImages {
  CGImageRef SEPERATOR;
  CGImageRef POPUPARROWS;
  ButtonContent ACTIVE, PRESSED, SELECTED;
};
// Indexed [1..5] by the button kind; kind 5 (text only) has none.
CustomButtonImages ButtonIcons[6];

constexpr SInt16 kArrowSize = 5;
constexpr CGFloat kSegmentViewBevelOffset = 2;
constexpr CGFloat kSegmentViewContentOffset = 6;
constexpr SInt32 kTransformDefault = -1;

struct Drawing {
  ControlRef control;
  CGContextRef context;
  CGRect bounds;
  SInt16 kind;   // the custom kind
  SInt16 state;  // 1 normal, 2 pressed
  bool live;     // enabled and active
};

void LoadFolder(SInt16 kind, const char* name) {
  const Str255 folder = Str255("Images/Custom Buttons/") + name;
  CustomButtonImages& images = ButtonIcons[kind];
  images.SEPERATOR = LoadImage("seperator.png", folder);
  images.POPUPARROWS = LoadImage("popup arrows.png", folder);
  const struct {
    ButtonContent* set;
    const char* face;
  } faces[] = {{&images.ACTIVE, "active"}, {&images.PRESSED, "pressed"}, {&images.SELECTED, "selected"}};
  for (const auto& f : faces) {
    f.set->CONTENT = LoadImage(Str255(f.face) + "_content.png", folder);
    f.set->LEFT = LoadImage(Str255(f.face) + "_left.png", folder);
    f.set->RIGHT = LoadImage(Str255(f.face) + "_right.png", folder);
  }
}

SInt16 GetDrawState(ControlRef control) {
  const ControlPartCode hilite = GetControlHilite(control);
  const bool pressed = hilite != kControlNoPart && hilite != kControlInactivePart && hilite != kControlDisabledPart;
  return pressed && IsControlActive(control) && IsControlEnabled(control) ? 2 : 1;
}

ControlSize SizeOf(ControlRef control) {
  ControlSize size = kControlSizeNormal;
  GetControlData(control, 0, kControlSizeTag, sizeof size, &size, nullptr);
  return size;
}

void DrawStandardBackground(const Drawing& d, SInt16 state) {
  if (d.kind < 1 || d.kind > 4) return;  // text only: no background
  const ButtonContent& set = state == 2 ? ButtonIcons[d.kind].PRESSED : ButtonIcons[d.kind].ACTIVE;
  CGContextSaveGState(d.context);
  if (!d.live) CGContextSetAlpha(d.context, 0.4);
  const CGFloat w = d.bounds.size.width, h = d.bounds.size.height;
  const CGFloat left = ImageWidth(set.LEFT), right = ImageWidth(set.RIGHT);
  DrawImageIn(d.context, set.LEFT, CGRect{{0, 0}, {left, h}});
  DrawImageIn(d.context, set.RIGHT, CGRect{{w - right, 0}, {right, h}});
  // The middle runs from cap to cap, whatever their widths.
  if (set.LEFT && set.RIGHT && set.CONTENT) DrawImageIn(d.context, set.CONTENT, CGRect{{left, 0}, {w - left - right, h}});
  CGContextRestoreGState(d.context);
}

void DrawStandardTitle(const Drawing& d, CFStringRef title, HIThemeTextHorizontalFlush flush, CGRect box) {
  if (title == nullptr) return;
  ThemeFontID font = kThemeSmallSystemFont;
  switch (SizeOf(d.control)) {
    case kControlSizeSmall: font = kThemeLabelFont; break;
    case kControlSizeLarge: font = kThemeViewsFont; break;
    case kControlSizeMini: font = kThemeLabelFont; break;
    default: break;
  }
  HIThemeTextInfo info{};
  info.version = 0;
  info.state = kThemeStateActive;
  info.fontID = font;
  info.horizontalFlushness = flush;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  CGContextSaveGState(d.context);
  CGContextSetRGBFillColor(d.context, 0, 0, 0, d.live ? 0.8 : 0.4);
  HIThemeDrawTextBox(title, &box, &info, d.context, kHIThemeOrientationNormal);
  CGContextRestoreGState(d.context);
}

void DrawStandardImage(const Drawing& d, const ControlButtonContentInfo& content, SInt32 transform, CGRect area) {
  CGFloat size = 16;
  switch (SizeOf(d.control)) {
    case kControlSizeNormal: size = area.size.height >= 20 ? 16 : 14; break;
    case kControlSizeSmall: size = 12; break;
    case kControlSizeLarge: size = 16; break;
    case kControlSizeMini: size = 10; break;
    default: break;
  }
  const CGRect box{{area.origin.x + area.size.width / 2 - SInt32(size) / 2,
                    area.origin.y + area.size.height / 2 - SInt32(size) / 2},
                   {size, size}};
  CGContextSaveGState(d.context);
  CGContextTranslateCTM(d.context, 0, d.bounds.size.height);
  CGContextScaleCTM(d.context, 1, -1);
  if (content.contentType == kControlContentCGImageRef && content.u.imageRef) {
    CGContextDrawImage(d.context, box, static_cast<CGImageRef>(content.u.imageRef));
  } else if (content.contentType == kControlContentIconRef && content.u.iconRef) {
    if (transform == kTransformDefault) {
      transform = kTransformNone;
      if (GetDrawState(d.control) == 2) transform = kTransformSelected;
      if (!d.live) transform = kTransformDisabled;
    }
    PlotIconRefInContext(d.context, &box, kAlignAbsoluteCenter, IconTransformType(transform), nullptr,
                         kPlotIconRefNormalFlags, static_cast<IconRef>(content.u.iconRef));
  }
  CGContextRestoreGState(d.context);
}

MenuRef MenuOf(ControlRef control) {
  ControlKind kind{};
  GetControlKind(control, &kind);
  MenuRef menu = nullptr;
  const ResType tag = kind.kind == kControlKindBevelButton ? kControlBevelButtonMenuRefTag
                                                           : kControlPopupButtonMenuRefTag;
  if (kind.kind != kControlKindBevelButton && kind.kind != kControlKindPopupButton) return nullptr;
  if (GetControlData(control, 0, tag, sizeof menu, &menu, nullptr) != noErr) return nullptr;
  return IsValidMenu(menu) ? menu : nullptr;
}

void DrawStandardMenuContent(const Drawing& d) {
  MenuRef menu = MenuOf(d.control);
  const SInt32 value = GetControl32BitValue(d.control);
  if (menu == nullptr || value <= 0 || value > CountMenuItems(menu)) return;
  UInt8 type = 0;
  Handle icon = nullptr;
  if (GetMenuItemIconHandle(menu, MenuItemIndex(value), &type, &icon) != noErr || icon == nullptr) return;
  CGContextSaveGState(d.context);
  CGContextTranslateCTM(d.context, 0, 16);
  CGContextScaleCTM(d.context, 1, -1);
  const CGRect box{{7, -1}, {14, 14}};
  if (type == kMenuIconRefType)
    PlotIconRefInContext(d.context, &box, kAlignBottom, IsControlActive(d.control) ? kTransformNone : kTransformDisabled,
                         nullptr, kPlotIconRefNormalFlags, reinterpret_cast<IconRef>(icon));
  else if (type == kMenuCGImageRefType)
    CGContextDrawImage(d.context, box, reinterpret_cast<CGImageRef>(icon));
  CGContextRestoreGState(d.context);
}

CFStringRef CopyTitle(ControlRef control) {
  CFStringRef title = nullptr;
  CopyControlTitleAsCFString(control, &title);
  return title;
}

void DrawBevel(const Drawing& d) {
  DrawStandardBackground(d, d.state);
  ControlButtonContentInfo content{};
  if (GetControlData(d.control, 0, kControlBevelButtonContentTag, sizeof content, &content, nullptr) == noErr) {
    DrawStandardMenuContent(d);
    if (content.contentType != kControlContentTextOnly) DrawStandardImage(d, content, kTransformDefault, d.bounds);
  }
  CFStringRef title = CopyTitle(d.control);
  if (title && CFStringGetLength(title) > 0)
    DrawStandardTitle(d, title, kHIThemeTextHorizontalFlushCenter, CGRect{{0, 0}, d.bounds.size});
  if (title) CFRelease(title);
  if (MenuOf(d.control)) {
    const CGFloat w = d.bounds.size.width, h = d.bounds.size.height;
    HIThemePopupArrowDrawInfo info{0, ThemeDrawState(d.state), kThemeArrowDown, kThemeArrow5pt};
    const CGRect box{{w - 8, h - 8 - 4}, {kArrowSize, kArrowSize}};
    CGContextSaveGState(d.context);
    CGContextSetRGBFillColor(d.context, 0, 0, 0, d.live ? 0.8 : 0.4);
    HIThemeDrawPopupArrow(&box, &info, d.context, kHIThemeOrientationNormal);
    CGContextRestoreGState(d.context);
  }
}

void DrawPopup(const Drawing& d) {
  DrawStandardBackground(d, d.state);
  DrawStandardMenuContent(d);
  MenuRef menu = MenuOf(d.control);
  CGRect box{{0, 0}, d.bounds.size};
  CFStringRef title = nullptr;
  if (menu) {
    box.origin.x += 24;
    const SInt32 value = GetControl32BitValue(d.control);
    if (value > 0 && value <= CountMenuItems(menu)) CopyMenuItemTextAsCFString(menu, MenuItemIndex(value), &title);
  } else {
    box.origin.x = 10;
    title = CopyTitle(d.control);
  }
  box.size.width -= box.origin.x;
  DrawStandardTitle(d, title, kHIThemeTextHorizontalFlushLeft, box);
  if (title) CFRelease(title);
  if (CGImageRef arrows = ButtonIcons[d.kind >= 1 && d.kind <= 4 ? d.kind : 0].POPUPARROWS) {
    CGContextSaveGState(d.context);
    if (!IsControlActive(d.control)) CGContextSetAlpha(d.context, 0.4);
    DrawImageAt(d.context, arrows, d.bounds.size.width - 12,
                d.bounds.size.height / 2 - SInt32(ImageHeight(arrows)) / 2);
    CGContextRestoreGState(d.context);
  }
}

void DrawPush(const Drawing& d) {
  DrawStandardBackground(d, d.state);
  CFStringRef title = CopyTitle(d.control);
  DrawStandardTitle(d, title, kHIThemeTextHorizontalFlushCenter, CGRect{{0, 0}, d.bounds.size});
  if (title) CFRelease(title);
}

void DrawSegments(const Drawing& d) {
  Drawing whole = d;
  whole.live = true;
  DrawStandardBackground(whole, 1);
  const UInt32 n = HISegmentedViewGetSegmentCount(d.control);
  const bool active = IsControlActive(d.control);
  const SInt32 value = GetControl32BitValue(d.control);
  const ControlPartCode hilite = GetControlHilite(d.control);
  CGImageRef separator = d.kind >= 1 && d.kind <= 4 ? ButtonIcons[d.kind].SEPERATOR : nullptr;
  const bool separated = d.kind != kCustomButtonClassTextOnly;
  CGRect box{{kSegmentViewBevelOffset, 0}, {0, d.bounds.size.height}};
  for (UInt32 i = 1; i <= n; ++i) {
    const CGFloat segmentWidth = HISegmentedViewGetSegmentContentWidth(d.control, i, nullptr) + kSegmentViewContentOffset;
    box.size.width = segmentWidth;
    CGRect highlight = box;
    if (separated && separator && i > 1) {
      highlight.origin.x += ImageWidth(separator);
      highlight.size.width -= ImageWidth(separator);
    }
    if (i == 1) {
      highlight.origin.x = 0;
      highlight.size.width += 2;
    }
    if (i == n) highlight.size.width = d.bounds.size.width - highlight.origin.x;
    auto withClip = [&](CGFloat alpha, CGBlendMode mode, SInt16 state) {
      CGContextSaveGState(d.context);
      CGContextClipToRect(d.context, highlight);
      CGContextSetAlpha(d.context, alpha);
      CGContextSetBlendMode(d.context, mode);
      Drawing part = d;
      part.live = true;
      DrawStandardBackground(part, state);
      CGContextRestoreGState(d.context);
    };
    if (active && !HISegmentedViewIsSegmentEnabled(d.control, i)) withClip(0.4, kCGBlendModeNormal, 2);
    if (active && value >= 0 && value == SInt32(i)) withClip(0.6, kCGBlendModeMultiply, 1);
    if (hilite == ControlPartCode(i)) withClip(1, kCGBlendModeNormal, 2);
    ControlButtonContentInfo image{};
    // The segment keeps its image without a reference of ours: nothing to release.
    if (HISegmentedViewCopySegmentImage(d.control, i, &image) == noErr && image.contentType != 0) {
      SInt32 transform = kTransformNone;
      if (hilite == ControlPartCode(i)) transform = kTransformSelected;
      if (!d.live) transform = kTransformDisabled;
      DrawStandardImage(d, image, transform, box);
    }
    CFStringRef label = nullptr;
    if (HISegmentedViewCopySegmentLabel(d.control, i, &label) == noErr && label) {
      DrawStandardTitle(d, label, kHIThemeTextHorizontalFlushCenter,
                        CGRect{{box.origin.x + 3, box.origin.y}, {box.size.width - 3, box.size.height}});
      CFRelease(label);
    }
    box.origin.x += segmentWidth;
    if (separated && i < n && separator)
      DrawImageIn(d.context, separator, CGRect{{box.origin.x, 0}, {ImageWidth(separator), box.size.height}});
  }
}

void DrawPlacard(const Drawing& d) {
  const CGRect r{{0, 0}, d.bounds.size};
  auto framed = [&](ThemeBrush brush, CGFloat fill, CGFloat stroke) {
    CGContextSaveGState(d.context);
    HIThemeSetFill(brush, nullptr, d.context, kHIThemeOrientationNormal);
    CGContextSetAlpha(d.context, fill);
    CGContextFillRect(d.context, r);
    HIThemeSetStroke(brush, nullptr, d.context, kHIThemeOrientationNormal);
    CGContextSetAlpha(d.context, stroke);
    CGContextStrokeRect(d.context, r);
    CGContextRestoreGState(d.context);
  };
  switch (d.kind) {
    case kCustomPlacardSmoothBlue: framed(kThemeBrushAlternatePrimaryHighlightColor, 0.2, 0.9); break;
    case kCustomPlacardFlatGrey: framed(kThemeBrushSecondaryHighlightColor, 0.2, 0.9); break;
    case kCustomPlacardDarkGrey: framed(kThemeBrushWhite, 0.2, 0.5); break;
    case kCustomPlacardTabTrack: {
      SInt16 style = kTabStyleStandardID;
      GetControlProperty(d.control, kCustomButtonCreatorTag, kCustomButtonTabPropertyTag, sizeof style, nullptr, &style);
      if (style < 1 || style > kTabImageStyles) style = kTabStyleStandardID;
      CGImageRef background = TabImages[style].BACKGROUND;
      if (ImageWidth(background) > 0)
        for (CGFloat x = 0; x <= d.bounds.size.width; x += ImageWidth(background))
          DrawImageAt(d.context, background, x, 0);
      break;
    }
  }
}

OSStatus DrawHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto control = static_cast<ControlRef>(userData);
  Drawing d{control, DrawContext(event), {}, 0, 1, true};
  if (d.context == nullptr) return eventNotHandledErr;
  if (GetControlProperty(control, kCustomButtonCreatorTag, kCustomButtonKindPropertyTag, sizeof d.kind, nullptr,
                         &d.kind) != noErr)
    return eventNotHandledErr;
  HIViewGetBounds(control, &d.bounds);
  d.state = GetDrawState(control);
  d.live = IsControlEnabled(control) && IsControlActive(control);
  ControlKind kind{};
  GetControlKind(control, &kind);
  switch (kind.kind) {
    case kControlKindBevelButton: DrawBevel(d); return noErr;
    case kControlKindPlacard: DrawPlacard(d); return noErr;
    case kControlKindPopupButton: DrawPopup(d); return noErr;
    case kControlKindPushButton: DrawPush(d); return noErr;
    case kControlKindHISegmentedView: DrawSegments(d); return noErr;
  }
  return eventNotHandledErr;
}

// The 'STYL' name of the view: its bytes without the final zero.
Str255 StyleName(ControlRef view) {
  ByteCount size = 0;
  if (GetControlPropertySize(view, kCustomButtonStyleCreator, kCustomButtonStylePropertyTag, &size) != noErr ||
      size == 0)
    return Str255();
  std::string bytes(size, '\0');
  if (GetControlProperty(view, kCustomButtonStyleCreator, kCustomButtonStylePropertyTag, size, nullptr,
                         bytes.data()) != noErr)
    return Str255();
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return Str255(std::string_view(bytes));
}

void ApplyStyle(ControlRef view) {
  static const struct {
    const char* name;
    SInt16 kind;
  } kStyles[] = {{"BevelCorner", 1}, {"RoundCorner", 2}, {"Silver", 3},   {"Toolbar", 4},
                 {"TextOnly", 5},    {"SmoothBlue", 1},  {"FlatGrey", 2}, {"DarkGrey", 3}};
  const Str255 name = StyleName(view);
  if (name.empty()) return;
  for (const auto& s : kStyles)
    if (name == s.name) {
      HICustomButtonCreate(s.kind, view);
      return;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

void HICustomButtonLoadImages() {
  LoadFolder(kCustomButtonClassRoundCorner, "Round Corner");
  LoadFolder(kCustomButtonClassBevelCorner, "Bevel Corner");
  LoadFolder(kCustomButtonClassSilver, "Silver");
  LoadFolder(kCustomButtonClassToolbar, "Toolbar");
}

void HICustomButtonCreate(SInt16 inKind, ControlRef inControl) {
  if (inControl == nullptr) return;
  Err = SetControlProperty(inControl, kCustomButtonCreatorTag, kCustomButtonKindPropertyTag, sizeof inKind, &inKind);
  static const EventTypeSpec kDraw[] = {{kEventClassControl, kEventControlDraw}};
  Err = InstallEventHandler(GetControlEventTarget(inControl), DrawHandler, 1, kDraw, inControl, nullptr);
  HIViewSetNeedsDisplay(inControl, true);
}

void HICustomButtonCreateBevel(SInt16 inKind, ControlRef inView, UInt32 inIconCreator, UInt32 inIconType) {
  HICustomButtonCreate(inKind, inView);
  IconRef icon = nullptr;
  Err = GetIconRef(kOnSystemDisk, inIconCreator, inIconType, &icon);
  if (Err != noErr || icon == nullptr) return;
  ControlButtonContentInfo content{};
  content.contentType = kControlContentIconRef;
  content.u.iconRef = icon;
  Err = SetControlData(inView, 0, kControlBevelButtonContentTag, sizeof content, &content);
  // The button's content holds the icon without a reference of its own, so
  // the reference made here stays with the button.
}

void HICustomButtonCreateTabTrack(const Str63& inKind, ControlRef inView) {
  if (inView == nullptr) return;
  const SInt16 style = GetTabStyleIndex(inKind);
  Err = SetControlProperty(inView, kCustomButtonCreatorTag, kCustomButtonTabPropertyTag, sizeof style, &style);
  HICustomButtonCreate(kCustomPlacardTabTrack, inView);
}

void HICustomButtonApplyStyles(ControlRef inRoot) {
  if (inRoot == nullptr) return;
  ApplyStyle(inRoot);
  for (HIViewRef sub = HIViewGetFirstSubview(inRoot); sub != nullptr; sub = HIViewGetNextView(sub)) {
    if (HIViewCountSubviews(sub) > 0)
      HICustomButtonApplyStyles(sub);
    else
      ApplyStyle(sub);
  }
}
