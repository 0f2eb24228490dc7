#include "HIViewButtons.h"

#include <algorithm>
#include <cstdio>

#include "ColorPicker.h"
#include "HIToolbar.h"
#include "HIView.h"
#include "MacWindows.h"

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

// ---------------------------------------------------------------------------
// Toolbar items with views of their own

namespace {

void SetItemLabel(HIToolbarItemRef item, const Str255& label) {
  if (item == nullptr) return;
  CFStringRef text = CFStringCreateCopy(nullptr, CFSTR(label));
  HIToolbarItemSetLabel(item, text);
  CFRelease(text);
}

// The icon plotted over the bounds, highlighted while pressed and faded
// while inactive.
void DrawToolbarIcon(TToolbarIconView* self, CGRect bounds, CGContextRef context) {
  if (self->Icon == nullptr) return;
  const UInt32 state = self->GetDrawState();
  const SInt16 transform = state == kTHIViewDrawStatePressed ? kTransformSelected : kTransformNone;
  CGContextSaveGState(context);
  if (state == kTHIViewDrawStateInactive || state == kTHIViewDrawStateWindowInactive) CGContextSetAlpha(context, 0.5);
  CGContextTranslateCTM(context, 0, bounds.size.height);
  CGContextScaleCTM(context, 1, -1);
  PlotIconRefInContext(context, &bounds, kAlignAbsoluteCenter, transform, nullptr, kPlotIconRefNormalFlags,
                       self->Icon);
  CGContextRestoreGState(context);
}

}  // namespace

THIToolbarSearchField::THIToolbarSearchField() { SetClassString("THIToolbarSearchField"); }

void THIToolbarSearchField::Create() {
  HIViewRef field = nullptr;
  Err = HISearchFieldCreate(nullptr, kHISearchFieldAttributesSearchIcon, nullptr, nullptr, &field);
  View = field;
  if (field == nullptr || Context == nullptr) return;
  static const EventTypeSpec kAccepted = {kEventClassTextField, kEventTextAccepted};
  Err = InstallEventHandler(GetControlEventTarget(field), reinterpret_cast<EventHandlerUPP>(Context), 1, &kAccepted,
                            field, &TextHandler);
}

void THIToolbarSearchField::Initialize() { SetItemLabel(ItemRef, "Search"); }

void THIToolbarSearchField::SetViewConstraints(CGSize& minimum, CGSize& maximum) {
  minimum = CGSize{60, 22};
  maximum = CGSize{150, 22};
}

void THIToolbarSearchField::SetSearchMenu() {
  if (SearchMenu == nullptr) Err = CreateNewMenu(0, 0, &SearchMenu);
  if (View != nullptr && SearchMenu != nullptr) Err = HISearchFieldSetSearchMenu(View, SearchMenu);
}

void THIToolbarSearchField::Release() {
  if (SearchMenu != nullptr) {
    ReleaseMenu(SearchMenu);
    SearchMenu = nullptr;
  }
  THIToolbarItem::Release();
}

THIToolbarSegmentView::THIToolbarSegmentView() { SetClassString("THIToolbarSegmentView"); }

void THIToolbarSegmentView::Create() {
  if (Context != nullptr) View = reinterpret_cast<THIToolbarViewCreateViewCallback>(Context)(this);
}

void THIToolbarSegmentView::Initialize() { SetItemLabel(ItemRef, "Mode"); }

TToolbarIconView::TToolbarIconView() { SetClassString("TToolbarIconView"); }

void TToolbarIconView::Initialize() {
  auto* info = static_cast<ToolbarIconViewInfo*>(Context);
  if (info == nullptr) return;
  CommandID = info->Command;
  SetCommand(CommandID);
  if (Icon == nullptr) {
    IconRef icon = nullptr;
    if (GetIconRef(kOnSystemDisk, info->IconCreator, info->IconType, &icon) == noErr) Icon = icon;
  }
  SetItemLabel(ItemRef, info->Label);
}

void TToolbarIconView::SetViewConstraints(CGSize& minimum, CGSize& maximum) {
  const CGFloat side = DisplaySize == kHIToolbarDisplaySizeSmall ? 16 : 32;
  minimum = CGSize{side, side};
  maximum = minimum;
}

void TToolbarIconView::DrawControl(CGRect bounds, CGContextRef context) { DrawToolbarIcon(this, bounds, context); }

void TToolbarIconView::Release() {
  if (Icon != nullptr) {
    ReleaseIconRef(Icon);
    Icon = nullptr;
  }
  THIToolbarView::Release();
}

TPopupIconView::TPopupIconView() { SetClassString("TPopupIconView"); }

void TPopupIconView::InitializeControl() {
  TToolbarIconView::InitializeControl();
  InstallTimer(0.1);  // drives the long press
}

void TPopupIconView::ControlDeepHit() {
  HIRect frame{};
  HIViewGetFrame(View, &frame);
  CGPoint point = frame.origin;
  // Frame origin is in the superview: to window content, then the screen.
  HIViewConvertPoint(&point, HIViewGetSuperview(View), nullptr);
  Rect content = {0, 0, 0, 0};
  if (WindowRef window = HIViewGetWindow(View); window != nullptr &&
                                                GetWindowBounds(window, kWindowContentRgn, &content) == noErr) {
    point.x += content.left;
    point.y += content.top;
  }
  // The menu opens just under the icon.
  point.y += frame.size.height - 5;
  SimulateContextualMenuClick(point);
}

MenuRef TPopupIconView::GetContextualMenu(CGPoint) { return PopupMenu; }

void TPopupIconView::DrawControl(CGRect bounds, CGContextRef context) {
  DrawToolbarIcon(this, bounds, context);
  HIThemePopupArrowDrawInfo info{0, kThemeStateActive, kThemeArrowDown, kThemeArrow5pt};
  const CGRect arrow{{bounds.origin.x + bounds.size.width - 5 - 4, bounds.origin.y + bounds.size.height - 7 - 2},
                     {5, 4}};
  CGContextSaveGState(context);
  CGContextSetAlpha(context, IsActiveDrawState() ? 1.0 : 0.4);
  HIThemeDrawPopupArrow(&arrow, &info, context, kHIThemeOrientationNormal);
  CGContextRestoreGState(context);
}

void TPopupIconView::Release() {
  if (PopupMenu != nullptr) {
    ReleaseMenu(PopupMenu);
    PopupMenu = nullptr;
  }
  TToolbarIconView::Release();
}

// ---------------------------------------------------------------------------
// Colour well

TColorPickerView::TColorPickerView() { SetClassString("TColorPickerView"); }

void TColorPickerView::ControlHit(SInt16) { SelectColor(); }

void TColorPickerView::SelectColor() {
  RGBColor answer = Color;
  const Point where = {0, 0};
  const Str255 prompt("Pick Color");
  const Boolean chosen = GetColor(where, prompt, &Color, &answer);
  std::printf("%u\n%u\n%u\n", unsigned(answer.red), unsigned(answer.green), unsigned(answer.blue));
  std::fflush(stdout);
  if (chosen) Color = answer;
}

void TColorPickerView::SetColor(const RGBColor& color) {
  Color = color;
  if (View != nullptr) HIViewSetNeedsDisplay(View, true);
}

void TColorPickerView::DrawControl(CGRect bounds, CGContextRef context) {
  const bool pressed = View != nullptr && GetControlHilite(View) == 1;
  HIThemeButtonDrawInfo info{};
  info.state = pressed ? kThemeStatePressed : kThemeStateActive;
  info.kind = kThemeLargeBevelButton;
  HIThemeDrawButton(&bounds, &info, context, kHIThemeOrientationNormal, nullptr);
  CGContextSaveGState(context);
  CGContextSetAlpha(context, View != nullptr && IsControlActive(View) ? 1.0 : 0.5);
  if (pressed) CGContextSetBlendMode(context, kCGBlendModeMultiply);
  CGContextSetRGBFillColor(context, Color.red / 65535.0, Color.green / 65535.0, Color.blue / 65535.0, 1.0);
  CGContextFillRect(context, CGRect{{bounds.origin.x + 5, bounds.origin.y + 5}, {bounds.size.width - 10, bounds.size.height - 10}});
  CGContextRestoreGState(context);
}

THIView* ConstructHIToolbarSearchField() { return new THIToolbarSearchField(); }
THIView* ConstructHIToolbarSegmentView() { return new THIToolbarSegmentView(); }
THIView* ConstructToolbarIconView() { return new TToolbarIconView(); }
THIView* ColorPickerViewConstruct() { return new TColorPickerView(); }

void ColorPickerViewRegister() { THIViewRegister(kColorPickerViewClassID, ColorPickerViewConstruct); }

void AppendToolbarIconView(THIToolbar* toolbar, UInt32 attributes, UInt32 iconCreator, UInt32 iconType,
                           const Str255& label, UInt32 command, Boolean isDefault) {
  if (toolbar == nullptr) return;
  auto* info = new ToolbarIconViewInfo{iconCreator, iconType, label, command};
  toolbar->AppendView(attributes, toolbar->GetIdentifierFromCommandID(command), ConstructToolbarIconView, info,
                      isDefault);
  // The record lives as long as the toolbar, which frees it.
  const CFIndex count = toolbar->Items != nullptr ? CFArrayGetCount(toolbar->Items) : 0;
  if (count > 0) {
    auto* r = static_cast<ToolbarItemRecord*>(const_cast<void*>(CFArrayGetValueAtIndex(toolbar->Items, count - 1)));
    if (r->Context == info) {
      r->ReleaseContext = [](void* context) { delete static_cast<ToolbarIconViewInfo*>(context); };
      return;
    }
  }
  delete info;
}
