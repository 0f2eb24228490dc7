// Search fields: an edit text (its text, focus, typing and Return come from
// the edit-text kind) drawn as a rounded field with a magnifier at its left
// end and a clear button at its right end, with the parts and events of those
// two buttons.
#include <algorithm>
#include <cstring>
#include <vector>

#include "CGContext.h"
#include "HITheme.h"
#include "HIView.h"
#include "HIViewRecord.h"
#include "MacWindows.h"
#include "QuickDraw.h"
#include "SearchFieldInternal.h"

namespace {

// Private control data of the kind: the attributes and the descriptive text
// (UTF-16), kept with the view's other data so that they end with it.
constexpr ResType kAttributesTag = 'sfat';
constexpr ResType kDescriptionTag = 'sfdt';

bool IsSearchField(__CView* view) {
  return view->kind.signature == kControlKindSignatureApple && view->kind.kind == kControlKindHISearchField;
}

__CView* FieldOf(HIViewRef ref) {
  if (!ViewIsLive(ref)) return nullptr;
  __CView* view = ViewOf(ref);
  return IsSearchField(view) ? view : nullptr;
}

OSStatus Check(HIViewRef ref) { return !ViewIsLive(ref) ? errUnknownControl : errDataNotSupported; }

OptionBits Attributes(__CView* view) {
  auto it = view->data.find(kAttributesTag);
  OptionBits bits = 0;
  if (it != view->data.end() && it->second.size() == sizeof bits) memcpy(&bits, it->second.data(), sizeof bits);
  return bits;
}

void SetAttributes(__CView* view, OptionBits bits) {
  auto bytes = reinterpret_cast<const UInt8*>(&bits);
  view->data[kAttributesTag].assign(bytes, bytes + sizeof bits);
}

CFStringRef CopyDescription(__CView* view) {
  auto it = view->data.find(kDescriptionTag);
  if (it == view->data.end() || it->second.empty())
    return CFStringCreateWithCharacters(nullptr, nullptr, 0);
  return CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(it->second.data()),
                                      CFIndex(it->second.size() / sizeof(UniChar)));
}

void SetDescription(__CView* view, CFStringRef text) {
  CFIndex len = text ? CFStringGetLength(text) : 0;
  std::vector<UniChar> chars(static_cast<size_t>(len));
  if (len) CFStringGetCharacters(text, CFRange{0, len}, chars.data());
  auto bytes = reinterpret_cast<const UInt8*>(chars.data());
  view->data[kDescriptionTag].assign(bytes, bytes + chars.size() * sizeof(UniChar));
}

// The field's geometry: the magnifier's square at the left end and the clear
// button's square at the right end, each as wide as the field is high (at
// most 22), the text between them.
struct Layout {
  CGRect field, search, cancel, text;
};

Layout LayoutOf(__CView* view, CGRect b) {
  Layout l;
  l.field = b;
  const CGFloat side = std::min<CGFloat>({b.size.height, 22, b.size.width / 2});
  l.search = CGRect{{b.origin.x, b.origin.y + (b.size.height - side) / 2}, {side, side}};
  l.cancel = CGRect{{b.origin.x + b.size.width - side, l.search.origin.y}, {side, side}};
  const CGFloat left = side + 2, right = side;
  l.text = CGRect{{b.origin.x + left, b.origin.y + 2},
                  {std::max<CGFloat>(0, b.size.width - left - right), std::max<CGFloat>(0, b.size.height - 4)}};
  return l;
}

bool Contains(const CGRect& r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}

bool ShowsCancel(__CView* view) {
  return (Attributes(view) & kHISearchFieldAttributesCancel) && CFStringGetLength(view->text) > 0;
}

bool SearchIsButton(__CView* view) {
  return (Attributes(view) & kHISearchFieldAttributesSearchIcon) || view->menu != nullptr;
}

void AddCapsule(CGContextRef ctx, CGRect r) {
  const CGFloat radius = std::min(r.size.width, r.size.height) / 2;
  const CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
  CGContextBeginPath(ctx);
  CGContextMoveToPoint(ctx, x0 + radius, y0);
  CGContextAddArcToPoint(ctx, x1, y0, x1, y1, radius);
  CGContextAddArcToPoint(ctx, x1, y1, x0, y1, radius);
  CGContextAddArcToPoint(ctx, x0, y1, x0, y0, radius);
  CGContextAddArcToPoint(ctx, x0, y0, x1, y0, radius);
  CGContextClosePath(ctx);
}

void SendFieldEvent(__CView* view, EventKind kind) {
  EventRef e = ViewMakeEvent(kEventClassSearchField, kind, view);
  ViewSendEvent(view, e, false);
  ReleaseEvent(e);
}

void SendTextChanged(__CView* view) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextField, kEventTextDidChange, 0, 0, &e);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof ref, &ref);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
}

}  // namespace

ControlPartCode SearchFieldHitTest(__CView* view, CGPoint p) {
  const Layout l = LayoutOf(view, CGRect{view->boundsOrigin, view->frame.size});
  if (ShowsCancel(view) && Contains(l.cancel, p)) return kHISearchFieldCancelPart;
  if (SearchIsButton(view) && Contains(l.search, p)) return kHISearchFieldSearchPart;
  return kControlEditTextPart;
}

void SearchFieldOnHit(__CView* view, ControlPartCode part) {
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  if (part == kHISearchFieldCancelPart) {
    if (CFStringGetLength(view->text) > 0) {
      CFStringRef empty = CFStringCreateWithCharacters(nullptr, nullptr, 0);
      HIViewSetText(ref, empty);
      CFRelease(empty);
      if (!ViewIsLive(ref)) return;
      view->selection = ControlEditTextSelectionRec{0, 0};
      SendTextChanged(view);
      if (!ViewIsLive(ref)) return;
    }
    SendFieldEvent(view, kEventSearchFieldCancelClicked);
    return;
  }
  if (part != kHISearchFieldSearchPart) return;
  if (view->menu == nullptr || CountMenuItems(view->menu) == 0) {
    SendFieldEvent(view, kEventSearchFieldSearchClicked);
    return;
  }
  // The menu opens below the magnifier.
  const Layout l = LayoutOf(view, CGRect{view->boundsOrigin, view->frame.size});
  CGPoint corner = ViewToRoot(view, CGPoint{l.search.origin.x, l.search.origin.y + l.search.size.height});
  Point where = {SInt16(corner.y), SInt16(corner.x)};
  if (WindowRef window = ViewWindow(view)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    LocalToGlobal(&where);
    SetPort(saved);
  }
  MenuRef menu = view->menu;
  RetainMenu(menu);
  SInt32 chosen = PopUpMenuSelect(menu, where.v, where.h, 0);
  MenuItemIndex item = MenuItemIndex(chosen & 0xFFFF);
  MenuCommand command = 0;
  if (item != 0 && MenuID(chosen >> 16) == GetMenuID(menu)) GetMenuItemCommandID(menu, item, &command);
  ReleaseMenu(menu);
  if (command != 0 && ViewIsLive(ref)) ViewSendCommand(view, command);
}

void SearchFieldDraw(__CView* view, CGRect b, CGContextRef ctx, bool focused) {
  if (b.size.width <= 0 || b.size.height <= 0) return;
  const Layout l = LayoutOf(view, b);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  const bool active = HIViewIsActive(ref, nullptr) && HIViewIsEnabled(ref, nullptr);
  const CGRect inner = {{b.origin.x + 0.5, b.origin.y + 0.5}, {b.size.width - 1, b.size.height - 1}};
  CGContextSaveGState(ctx);
  AddCapsule(ctx, inner);
  CGContextSetGrayFillColor(ctx, 1, 1);
  CGContextFillPath(ctx);
  AddCapsule(ctx, inner);
  CGContextSetGrayStrokeColor(ctx, 0, active ? 0.34 : 0.2);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokePath(ctx);
  if (focused) {
    AddCapsule(ctx, CGRect{{b.origin.x - 1, b.origin.y - 1}, {b.size.width + 2, b.size.height + 2}});
    HIThemeSetStroke(kThemeBrushFocusHighlight, nullptr, ctx, kHIThemeOrientationNormal);
    CGContextSetAlpha(ctx, 0.6);
    CGContextSetLineWidth(ctx, 2.5);
    CGContextStrokePath(ctx);
    CGContextSetAlpha(ctx, 1);
  }
  // The magnifier; a small arrow beside it when it opens a menu.
  const CGFloat s = l.search.size.width;
  const CGFloat cx = l.search.origin.x + s * 0.42, cy = l.search.origin.y + s * 0.44, r = s * 0.17;
  const bool pressed = view->hilite == kHISearchFieldSearchPart;
  const CGFloat glyph = pressed ? 0.1 : active ? 0.38 : 0.6;
  CGContextSetGrayStrokeColor(ctx, glyph, 1);
  CGContextSetLineWidth(ctx, std::max<CGFloat>(1.2, r * 0.45));
  CGContextStrokeEllipseInRect(ctx, CGRect{{cx - r, cy - r}, {2 * r, 2 * r}});
  CGContextSetLineWidth(ctx, std::max<CGFloat>(1.6, r * 0.6));
  CGContextSetLineCap(ctx, kCGLineCapRound);
  CGContextBeginPath(ctx);
  CGContextMoveToPoint(ctx, cx + r * 0.75, cy + r * 0.75);
  CGContextAddLineToPoint(ctx, cx + r * 1.7, cy + r * 1.7);
  CGContextStrokePath(ctx);
  if (view->menu != nullptr) {
    CGContextSetGrayFillColor(ctx, glyph, 1);
    const CGFloat ax = l.search.origin.x + s * 0.8, ay = cy + 1;
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, ax - 2.5, ay - 1.5);
    CGContextAddLineToPoint(ctx, ax + 2.5, ay - 1.5);
    CGContextAddLineToPoint(ctx, ax, ay + 1.5);
    CGContextClosePath(ctx);
    CGContextFillPath(ctx);
  }
  // The clear button: a grey disc with a white cross.
  if (ShowsCancel(view)) {
    const CGFloat cs = l.cancel.size.width, d = std::max<CGFloat>(6, cs * 0.6);
    const CGFloat ccx = l.cancel.origin.x + cs * 0.45, ccy = l.cancel.origin.y + cs / 2;
    const bool down = view->hilite == kHISearchFieldCancelPart;
    CGContextSetGrayFillColor(ctx, down ? 0.35 : 0.62, active ? 1 : 0.5);
    CGContextFillEllipseInRect(ctx, CGRect{{ccx - d / 2, ccy - d / 2}, {d, d}});
    const CGFloat k = d * 0.2;
    CGContextSetGrayStrokeColor(ctx, 1, 1);
    CGContextSetLineWidth(ctx, 1.5);
    CGContextSetLineCap(ctx, kCGLineCapRound);
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, ccx - k, ccy - k);
    CGContextAddLineToPoint(ctx, ccx + k, ccy + k);
    CGContextMoveToPoint(ctx, ccx + k, ccy - k);
    CGContextAddLineToPoint(ctx, ccx - k, ccy + k);
    CGContextStrokePath(ctx);
  }
  CGContextRestoreGState(ctx);
  // The text, kept between the buttons.
  CGContextSaveGState(ctx);
  CGContextClipToRect(ctx, CGRect{{l.text.origin.x, b.origin.y}, {l.text.size.width, b.size.height}});
  if (CFStringGetLength(view->text) == 0 && !focused) {
    CFStringRef description = CopyDescription(view);
    if (CFStringGetLength(description) > 0) {
      HIThemeTextInfo info = {};
      info.state = kThemeStateActive;
      info.fontID = kThemeSystemFont;
      info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
      info.truncationPosition = kHIThemeTextTruncationEnd;
      info.truncationMaxLines = 1;
      CGContextSetGrayFillColor(ctx, 0.6, 1);
      CGRect box = l.text;
      HIThemeDrawTextBox(description, &box, &info, ctx, kHIThemeOrientationNormal);
    }
    CFRelease(description);
  } else {
    ControlDrawFieldText(view, l.text, ctx, focused);
  }
  CGContextRestoreGState(ctx);
}

// ---------------------------------------------------------------------------

OSStatus HISearchFieldCreate(const HIRect* inBounds, OptionBits inAttributes, MenuRef inSearchMenu,
                             CFStringRef inDescriptiveText, HIViewRef* outRef) {
  if (outRef == nullptr) return paramErr;
  *outRef = nullptr;
  __CView* view = ViewCreateStandard(kControlKindHISearchField, inBounds ? *inBounds : CGRect{});
  if (view == nullptr) return memFullErr;
  SetAttributes(view, inAttributes);
  if (inSearchMenu) {
    RetainMenu(inSearchMenu);
    view->menu = inSearchMenu;
  }
  if (inDescriptiveText) SetDescription(view, inDescriptiveText);
  *outRef = reinterpret_cast<HIViewRef>(view);
  return noErr;
}

OSStatus HISearchFieldSetSearchMenu(HIViewRef inSearchField, MenuRef inSearchMenu) {
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  if (inSearchMenu) RetainMenu(inSearchMenu);
  if (view->menu) ReleaseMenu(view->menu);
  view->menu = inSearchMenu;
  ViewInvalidate(view);
  return noErr;
}

OSStatus HISearchFieldGetSearchMenu(HIViewRef inSearchField, MenuRef* outSearchMenu) {
  if (outSearchMenu == nullptr) return paramErr;
  *outSearchMenu = nullptr;
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  *outSearchMenu = view->menu;
  return noErr;
}

OSStatus HISearchFieldChangeAttributes(HIViewRef inSearchField, OptionBits inAttributesToSet,
                                       OptionBits inAttributesToClear) {
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  SetAttributes(view, (Attributes(view) | inAttributesToSet) & ~inAttributesToClear);
  ViewInvalidate(view);
  return noErr;
}

OSStatus HISearchFieldGetAttributes(HIViewRef inSearchField, OptionBits* outAttributes) {
  if (outAttributes == nullptr) return paramErr;
  *outAttributes = 0;
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  *outAttributes = Attributes(view);
  return noErr;
}

OSStatus HISearchFieldSetDescriptiveText(HIViewRef inSearchField, CFStringRef inDescription) {
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  SetDescription(view, inDescription);
  ViewInvalidate(view);
  return noErr;
}

OSStatus HISearchFieldCopyDescriptiveText(HIViewRef inSearchField, CFStringRef* outDescription) {
  if (outDescription == nullptr) return paramErr;
  *outDescription = nullptr;
  __CView* view = FieldOf(inSearchField);
  if (view == nullptr) return Check(inSearchField);
  *outDescription = CopyDescription(view);
  return noErr;
}
