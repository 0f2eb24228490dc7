#include "HIViewButtons.h"

#include <algorithm>

#include "HITheme.h"
#include "Icons.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "THIViewUnit.h"

CustomButtonImages TBottomContentButtonImages = {};
Boolean TBottomContentButtonLoaded = false;

namespace {

constexpr ResType kGraphicOffsetTag = 'goff';
constexpr CGFloat kMenuIconInset = 2;
constexpr CGFloat kSegmentLabelInset = 3;
constexpr CGFloat kPopupArrowInset = 8;
constexpr CGFloat kPopupArrowWidth = 7;

ControlKind KindOf(ControlRef control) {
  ControlKind kind = {0, 0};
  GetControlKind(control, &kind);
  return kind;
}

template <typename T>
bool ReadData(ControlRef control, ControlPartCode part, ResType tag, T& value) {
  Size actual = 0;
  return GetControlData(control, part, tag, sizeof value, &value, &actual) == noErr && actual == Size(sizeof value);
}

MenuRef MenuOf(ControlRef control) {
  MenuRef menu = nullptr;
  ControlKind kind = KindOf(control);
  if (kind.kind == kControlKindPopupButton) ReadData(control, 0, kControlPopupButtonMenuRefTag, menu);
  if (kind.kind == kControlKindBevelButton) ReadData(control, 0, kControlBevelButtonMenuRefTag, menu);
  return menu;
}

// Left end, stretched middle, right end.
void DrawPieces(TCustomControl* self, CGRect bounds, CGContextRef context) {
  const CustomButtonImages& images = self->Images;
  CGImageRef left = self->GetImageForDrawState(images.left);
  CGImageRef right = self->GetImageForDrawState(images.right);
  CGImageRef middle = self->GetImageForDrawState(images.content);
  CGFloat leftWidth = std::min<CGFloat>(CGImageGetWidth(left), bounds.size.width);
  CGFloat rightWidth = std::min<CGFloat>(CGImageGetWidth(right), bounds.size.width - leftWidth);
  CGFloat x = bounds.origin.x, y = bounds.origin.y, h = bounds.size.height;
  THIViewDrawImage(context, CGRect{{x, y}, {leftWidth, h}}, left);
  THIViewDrawImage(context, CGRect{{x + bounds.size.width - rightWidth, y}, {rightWidth, h}}, right);
  THIViewDrawImage(context, CGRect{{x + leftWidth, y}, {bounds.size.width - leftWidth - rightWidth, h}}, middle);
}

void PlotIcon(CGContextRef context, CGRect rect, IconRef icon, SInt16 transform) {
  // Icons plot upright in a y-up space: flip around the rectangle.
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, 0, 2 * rect.origin.y + rect.size.height);
  CGContextScaleCTM(context, 1, -1);
  PlotIconRefInContext(context, &rect, kAlignAbsoluteCenter, transform, nullptr, kPlotIconRefNormalFlags, icon);
  CGContextRestoreGState(context);
}

void DrawContent(TCustomControl* self, const ControlButtonContentInfo& content, CGRect rect, CGContextRef context) {
  if (content.contentType == kControlContentCGImageRef) {
    auto image = static_cast<CGImageRef>(content.u.imageRef);
    CGFloat w = std::min<CGFloat>(CGImageGetWidth(image), rect.size.width);
    CGFloat h = std::min<CGFloat>(CGImageGetHeight(image), rect.size.height);
    THIViewDrawImage(context,
                     CGRect{{rect.origin.x + (rect.size.width - w) / 2, rect.origin.y + (rect.size.height - h) / 2},
                            {w, h}},
                     image);
  } else if (content.contentType == kControlContentIconRef && IsValidIconRef(static_cast<IconRef>(content.u.iconRef))) {
    PlotIcon(context, rect, static_cast<IconRef>(content.u.iconRef), self->GetTransformForDrawState());
  }
}

ThemeFontID FontForSize(UInt16 controlSize) {
  switch (controlSize) {
    case kControlSizeSmall:
    case kControlSizeMini:
      return kThemeLabelFont;
    case kControlSizeLarge:
      return kThemeViewsFont;
  }
  return kThemeSmallSystemFont;
}

}  // namespace

// ---------------------------------------------------------------------------
// TBottomContentButton

CGRect TBottomContentButton::GetBounds() {
  CGRect bounds = TCustomControl::GetBounds();
  if (bounds.size.height != kBottomContentButtonHeight) {
    CGRect frame = {{0, 0}, {0, 0}};
    HIViewGetFrame(Control, &frame);
    frame.size.height = kBottomContentButtonHeight;
    HIViewSetFrame(Control, &frame);
    bounds.size.height = kBottomContentButtonHeight;
  }
  return bounds;
}

void TBottomContentButton::InitializeControl() {
  if (KindOf(Control).kind != kControlKindHISegmentedView) return;
  CGRect optimal = {{0, 0}, {0, 0}}, frame = {{0, 0}, {0, 0}};
  HIViewGetOptimalBounds(Control, &optimal, nullptr);
  HIViewGetFrame(Control, &frame);
  frame.size.width = optimal.size.width;
  frame.origin.y += 1;
  HIViewSetFrame(Control, &frame);
}

void TBottomContentButton::AllocateResources() {
  if (!TBottomContentButtonLoaded) {
    const char* folder = "Images/Custom Buttons/Leopard Toolbar";
    CustomButtonImages& images = TBottomContentButtonImages;
    images.separator = THIViewLoadImage("seperator.png", folder);
    images.left.normal = THIViewLoadImage("left.png", folder);
    images.left.pressed = THIViewLoadImage("left_selected.png", folder);
    images.right.normal = THIViewLoadImage("right.png", folder);
    images.right.pressed = THIViewLoadImage("right_selected.png", folder);
    images.content.normal = THIViewLoadImage("content.png", folder);
    images.content.pressed = THIViewLoadImage("content_selected.png", folder);
    TBottomContentButtonLoaded = true;
  }
  Images = TBottomContentButtonImages;
}

void TBottomContentButton::DrawControl(CGRect bounds, CGContextRef context, OSStatus& result) {
  UInt16 size = kControlSizeNormal;
  ReadData(Control, 0, kControlSizeTag, size);
  // The drawn look replaces the control's own.
  result = noErr;
  if (KindOf(Control).kind == kControlKindHISegmentedView) {
    DrawSegmentedBackground(bounds, context);
    DrawSegmentedView(size, bounds, context);
    return;
  }
  DrawBackground(bounds, context);
  CFStringRef title = nullptr;
  bool popup = KindOf(Control).kind == kControlKindPopupButton;
  if (popup) {
    MenuRef menu = MenuOf(Control);
    SInt32 item = GetControl32BitValue(Control);
    if (menu != nullptr && item > 0) CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &title);
  } else {
    CopyControlTitleAsCFString(Control, &title);
  }
  if (title != nullptr) {
    DrawTitle(title, size, bounds, context);
    CFRelease(title);
  }
  ControlButtonContentInfo content{};
  if (ReadData(Control, 0, kControlBevelButtonContentTag, content) && content.contentType != kControlNoContent)
    DrawImage(content, size, bounds, context);
  if (popup) DrawMenuIcon(bounds, context);
  if (MenuOf(Control) != nullptr) DrawPopupArrows(bounds, context);
}

void TBottomContentButton::DrawBackground(CGRect bounds, CGContextRef context) { DrawPieces(this, bounds, context); }

void TBottomContentButton::DrawSegmentedBackground(CGRect bounds, CGContextRef context) {
  DrawPieces(this, bounds, context);
}

void TBottomContentButton::DrawTitle(CFStringRef title, UInt16 controlSize, CGRect bounds, CGContextRef context) {
  if (title == nullptr || CFStringGetLength(title) == 0) return;
  UInt32 state = GetDrawState();
  HIThemeTextInfo info{};
  info.state = state == 0 ? kThemeStateInactive : kThemeStateActive;
  info.fontID = FontForSize(controlSize);
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  CGContextSaveGState(context);
  CGContextSetRGBFillColor(context, 0, 0, 0, state == 0 ? 0.4 : 0.8);
  CGContextSetShadow(context, CGSize{2, -2}, 1);
  HIThemeDrawTextBox(title, &bounds, &info, context, kHIThemeOrientationNormal);
  CGContextRestoreGState(context);
}

void TBottomContentButton::DrawImage(const ControlButtonContentInfo& content, UInt16, CGRect bounds,
                                     CGContextRef context) {
  // Centred by default; a graphic offset moves it from the left top.
  CGRect rect = bounds;
  Point offset = {0, 0};
  if (ReadData(Control, 0, kGraphicOffsetTag, offset)) {
    rect.origin.x += offset.h;
    rect.origin.y += offset.v;
  }
  DrawContent(this, content, rect, context);
}

void TBottomContentButton::DrawMenuIcon(CGRect bounds, CGContextRef context) {
  MenuRef menu = MenuOf(Control);
  SInt32 item = GetControl32BitValue(Control);
  if (menu == nullptr || item <= 0) return;
  UInt8 type = 0;
  Handle icon = nullptr;
  if (GetMenuItemIconHandle(menu, MenuItemIndex(item), &type, &icon) != noErr || icon == nullptr) return;
  CGFloat side = bounds.size.height - 2 * kMenuIconInset;
  CGRect rect = {{bounds.origin.x + kMenuIconInset, bounds.origin.y + kMenuIconInset}, {side, side}};
  if (type == kMenuIconRefType && IsValidIconRef(reinterpret_cast<IconRef>(icon)))
    PlotIcon(context, rect, reinterpret_cast<IconRef>(icon), GetTransformForDrawState());
  else if (type == kMenuCGImageRefType)
    THIViewDrawImage(context, rect, reinterpret_cast<CGImageRef>(icon));
}

void TBottomContentButton::DrawPopupArrows(CGRect bounds, CGContextRef context) {
  HIThemePopupArrowDrawInfo info{};
  info.state = GetDrawState() == 0 ? kThemeStateInactive : kThemeStateActive;
  info.orientation = kThemeArrowDown;
  info.size = kThemeArrow7pt;
  CGRect rect = {{bounds.origin.x + bounds.size.width - kPopupArrowInset - kPopupArrowWidth, bounds.origin.y},
                 {kPopupArrowWidth, bounds.size.height}};
  HIThemeDrawPopupArrow(&rect, &info, context, kHIThemeOrientationNormal);
}

void TBottomContentButton::DrawSegmentedView(UInt16 controlSize, CGRect bounds, CGContextRef context) {
  UInt32 count = HISegmentedViewGetSegmentCount(Control);
  if (count == 0) return;
  CGFloat width = bounds.size.width / count;
  SInt32 selected = GetControl32BitValue(Control);
  ControlPartCode highlighted = GetControlHilite(Control);
  bool active = IsControlActive(Control);
  for (UInt32 i = 1; i <= count; ++i) {
    CGRect rect = {{bounds.origin.x + (i - 1) * width, bounds.origin.y}, {width, bounds.size.height}};
    if (SInt32(i) == selected || ControlPartCode(i) == highlighted) {
      CGContextSaveGState(context);
      CGContextSetAlpha(context, 1.0);
      CGContextSetBlendMode(context, kCGBlendModeNormal);
      THIViewDrawImage(context, rect, Images.content.pressed);
      CGContextRestoreGState(context);
    }
    ControlButtonContentInfo content{};
    if (HISegmentedViewCopySegmentImage(Control, i, &content) == noErr) DrawContent(this, content, rect, context);
    CFStringRef label = nullptr;
    if (HISegmentedViewCopySegmentLabel(Control, i, &label) == noErr && label != nullptr) {
      CGRect inset = {{rect.origin.x + kSegmentLabelInset, rect.origin.y + kSegmentLabelInset},
                      {std::max<CGFloat>(0, rect.size.width - 2 * kSegmentLabelInset),
                       std::max<CGFloat>(0, rect.size.height - 2 * kSegmentLabelInset)}};
      DrawTitle(label, controlSize, inset, context);
      CFRelease(label);
    }
    if (i < count && Images.separator != nullptr) {
      CGFloat w = CGImageGetWidth(Images.separator);
      THIViewDrawImage(context, CGRect{{rect.origin.x + width - w / 2, rect.origin.y}, {w, rect.size.height}},
                       Images.separator);
    }
    // Washed out last, so that the label fades with the rest.
    if (!active || !HISegmentedViewIsSegmentEnabled(Control, i)) {
      CGContextSaveGState(context);
      CGContextSetRGBFillColor(context, 1, 1, 1, 0.7);
      CGContextFillRect(context, rect);
      CGContextRestoreGState(context);
    }
  }
}

void TBottomContentButtonApplierFunction(ControlRef control, void*) {
  auto* button = new TBottomContentButton;
  button->Create(control);
}

// ---------------------------------------------------------------------------
// THISearchField

void THISearchField::AllocateResources() {
  SearchButtonImage = THIViewLoadImage("searchfieldbutton.png", "Images/Leopard Toolbar Images");
}

void THISearchField::DrawControl(CGRect bounds, CGContextRef context, OSStatus& result) {
  CallNextHandler();  // the field's own look first
  result = noErr;
  if (SearchButtonImage == nullptr) return;
  CGFloat width = std::max<CGFloat>(0, CGFloat(CGImageGetWidth(SearchButtonImage)) - 6);
  THIViewDrawImage(context, CGRect{{bounds.origin.x - 4, bounds.origin.y}, {width, bounds.size.height}},
                   SearchButtonImage);
}

void THISearchField::Release() {
  CGImageRelease(SearchButtonImage);
  SearchButtonImage = nullptr;
  TCustomControl::Release();
}

// The button image sits over the magnifier, which becomes a button.
void THISearchFieldCreate(ControlRef control) {
  HISearchFieldChangeAttributes(control, kHISearchFieldAttributesSearchIcon, 0);
  auto* field = new THISearchField;
  field->Create(control);
}
