// Combo boxes: an edit text (its text, focus, typing and Return come from the
// edit-text kind) with a button at its right end that pops up the list of
// texts as a menu. The list is kept as control data of the view (UTF-16 items,
// each after its length) so that it ends with the view.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "CFArray.h"
#include "CGContext.h"
#include "ComboBoxInternal.h"
#include "HITheme.h"
#include "HIView.h"
#include "MacWindows.h"
#include "Menus.h"
#include "QuickDraw.h"
#include "SearchFieldInternal.h"

namespace {

constexpr ResType kItemsTag = 'cbit';
constexpr ResType kAttributesTag = 'cbat';

typedef std::vector<UniChar> Item;

bool IsComboBox(__CView* view) {
  return view->kind.signature == kControlKindSignatureApple && view->kind.kind == kControlKindHIComboBox;
}

__CView* BoxOf(HIViewRef ref) {
  if (!ViewIsLive(ref)) return nullptr;
  __CView* view = ViewOf(ref);
  return IsComboBox(view) ? view : nullptr;
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

std::vector<Item> Items(__CView* view) {
  std::vector<Item> out;
  auto it = view->data.find(kItemsTag);
  if (it == view->data.end()) return out;
  const std::vector<UInt8>& b = it->second;
  size_t at = 0;
  while (at + sizeof(UInt32) <= b.size()) {
    UInt32 n = 0;
    memcpy(&n, b.data() + at, sizeof n);
    at += sizeof n;
    if (at + size_t(n) * sizeof(UniChar) > b.size()) break;
    Item item(n);
    if (n) memcpy(item.data(), b.data() + at, n * sizeof(UniChar));
    at += n * sizeof(UniChar);
    out.push_back(std::move(item));
  }
  return out;
}

void SetItems(__CView* view, const std::vector<Item>& items) {
  std::vector<UInt8>& b = view->data[kItemsTag];
  b.clear();
  for (const Item& item : items) {
    const UInt32 n = UInt32(item.size());
    b.insert(b.end(), reinterpret_cast<const UInt8*>(&n), reinterpret_cast<const UInt8*>(&n) + sizeof n);
    b.insert(b.end(), reinterpret_cast<const UInt8*>(item.data()),
             reinterpret_cast<const UInt8*>(item.data()) + item.size() * sizeof(UniChar));
  }
}

Item ItemOf(CFStringRef s) {
  Item item(size_t(CFStringGetLength(s)));
  if (!item.empty()) CFStringGetCharacters(s, CFRange{0, CFIndex(item.size())}, item.data());
  return item;
}

CFStringRef StringOf(const Item& item) {
  return CFStringCreateWithCharacters(nullptr, item.data(), CFIndex(item.size()));
}

UniChar Fold(UniChar c) { return c < 0x80 ? UniChar(std::tolower(c)) : c; }

// Case-insensitive order of texts; ties keep their order of arrival.
bool Before(const Item& a, const Item& b) {
  CFStringRef sa = StringOf(a), sb = StringOf(b);
  const bool before = CFStringCompare(sa, sb, kCFCompareCaseInsensitive) == kCFCompareLessThan;
  CFRelease(sa);
  CFRelease(sb);
  return before;
}

CFIndex Insert(__CView* view, CFIndex index, Item item) {
  std::vector<Item> items = Items(view);
  size_t at = index < 0 ? items.size() : std::min(size_t(index), items.size());
  if (Attributes(view) & kHIComboBoxAutoSortAttribute)
    at = size_t(std::upper_bound(items.begin(), items.end(), item, Before) - items.begin());
  items.insert(items.begin() + long(at), std::move(item));
  SetItems(view, items);
  return CFIndex(at);
}

// The button's square at the right end, as wide as the box is high (at most
// 22), the text box left of it.
struct Layout {
  CGRect field, button, text;
};

Layout LayoutOf(CGRect b) {
  Layout l;
  const CGFloat side = std::min<CGFloat>({b.size.height, 22, b.size.width / 2});
  l.button = CGRect{{b.origin.x + b.size.width - side, b.origin.y + (b.size.height - side) / 2}, {side, side}};
  l.field = CGRect{b.origin, {std::max<CGFloat>(0, b.size.width - side), b.size.height}};
  l.text = CGRect{{b.origin.x + 4, b.origin.y + 2},
                  {std::max<CGFloat>(0, l.field.size.width - 8), std::max<CGFloat>(0, b.size.height - 4)}};
  return l;
}

bool Contains(const CGRect& r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
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

ControlPartCode ComboBoxHitTest(__CView* view, CGPoint p) {
  const Layout l = LayoutOf(CGRect{view->boundsOrigin, view->frame.size});
  return Contains(l.button, p) ? ControlPartCode(kHIComboBoxDisclosurePart) : ControlPartCode(kHIComboBoxEditTextPart);
}

void ComboBoxOnHit(__CView* view, ControlPartCode part) {
  if (part != kHIComboBoxDisclosurePart) return;
  const std::vector<Item> items = Items(view);
  if (items.empty()) return;
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  MenuRef menu = nullptr;
  if (CreateNewMenu(0, 0, &menu) != noErr) return;
  MenuItemIndex current = 0;
  const Item now = ItemOf(view->text);
  for (const Item& item : items) {
    CFStringRef s = StringOf(item);
    AppendMenuItemTextWithCFString(menu, s, 0, 0, nullptr);
    CFRelease(s);
    if (current == 0 && item == now) {
      current = MenuItemIndex(CountMenuItems(menu));
      CheckMenuItem(menu, current, true);
    }
  }
  // The list opens below the box, as wide as it.
  CGPoint corner = ViewToRoot(view, CGPoint{view->boundsOrigin.x, view->boundsOrigin.y + view->frame.size.height});
  Point where = {SInt16(std::lround(corner.y)), SInt16(std::lround(corner.x))};
  if (WindowRef window = ViewWindow(view)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    LocalToGlobal(&where);
    SetPort(saved);
  }
  SInt32 chosen = PopUpMenuSelect(menu, where.v, where.h, 0);
  MenuItemIndex index = MenuItemIndex(chosen & 0xFFFF);
  const bool fromList = index != 0 && MenuID(chosen >> 16) == GetMenuID(menu) && index <= items.size();
  DisposeMenu(menu);
  if (!fromList || !ViewIsLive(ref)) return;
  CFStringRef text = StringOf(items[index - 1]);
  const bool changed = CFStringCompare(text, view->text, 0) != kCFCompareEqualTo;
  HIViewSetText(ref, text);
  CFRelease(text);
  if (!ViewIsLive(ref)) return;
  const SInt16 len = SInt16(std::min<size_t>(items[index - 1].size(), 32767));
  view->selection = ControlEditTextSelectionRec{0, len};
  ViewInvalidate(view);
  if (changed) SendTextChanged(view);
}

void ComboBoxDraw(__CView* view, CGRect b, CGContextRef ctx, bool focused) {
  if (b.size.width <= 0 || b.size.height <= 0) return;
  const Layout l = LayoutOf(b);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  const bool active = HIViewIsActive(ref, nullptr) && HIViewIsEnabled(ref, nullptr);
  const ThemeDrawState state = !active ? kThemeStateInactive
                               : view->hilite == kHIComboBoxDisclosurePart ? kThemeStatePressed
                                                                           : kThemeStateActive;
  CGContextSaveGState(ctx);
  CGContextSetGrayFillColor(ctx, 1, 1);
  CGContextFillRect(ctx, l.field);
  HIThemeFrameDrawInfo frame = {0, kHIThemeFrameTextFieldSquare, active ? kThemeStateActive : kThemeStateInactive,
                                focused};
  HIThemeDrawFrame(&l.field, &frame, ctx, kHIThemeOrientationNormal);
  // The button: a bevel with a down arrow.
  const CGRect button = {{l.button.origin.x + 0.5, l.button.origin.y + 0.5},
                         {l.button.size.width - 1, l.button.size.height - 1}};
  CGContextSetGrayFillColor(ctx, state == kThemeStatePressed ? 0.72 : 0.9, 1);
  CGContextFillRect(ctx, button);
  CGContextSetGrayStrokeColor(ctx, 0, active ? 0.45 : 0.25);
  CGContextSetLineWidth(ctx, 1);
  CGContextStrokeRect(ctx, button);
  const CGFloat cx = l.button.origin.x + l.button.size.width / 2, cy = l.button.origin.y + l.button.size.height / 2;
  const CGFloat w = std::max<CGFloat>(3, l.button.size.width * 0.18);
  CGContextSetGrayFillColor(ctx, active ? 0.15 : 0.55, 1);
  CGContextBeginPath(ctx);
  CGContextMoveToPoint(ctx, cx - w, cy - w / 2);
  CGContextAddLineToPoint(ctx, cx + w, cy - w / 2);
  CGContextAddLineToPoint(ctx, cx, cy + w / 2 + 1);
  CGContextClosePath(ctx);
  CGContextFillPath(ctx);
  CGContextRestoreGState(ctx);
  CGContextSaveGState(ctx);
  CGContextClipToRect(ctx, CGRect{{l.text.origin.x, b.origin.y}, {l.text.size.width, b.size.height}});
  ControlDrawFieldText(view, l.text, ctx, focused);
  CGContextRestoreGState(ctx);
}

OSStatus ComboBoxSetList(__CView* view, Size size, const void* data) {
  CFArrayRef list = nullptr;
  if (data == nullptr || size != Size(sizeof list)) return paramErr;
  memcpy(&list, data, sizeof list);
  std::vector<Item> items;
  const CFIndex n = list ? CFArrayGetCount(list) : 0;
  for (CFIndex i = 0; i < n; ++i) {
    CFTypeRef v = CFArrayGetValueAtIndex(list, i);
    if (v != nullptr && CFGetTypeID(v) == CFStringGetTypeID()) items.push_back(ItemOf(static_cast<CFStringRef>(v)));
  }
  if (Attributes(view) & kHIComboBoxAutoSortAttribute) std::stable_sort(items.begin(), items.end(), Before);
  SetItems(view, items);
  return noErr;
}

OSStatus ComboBoxCopyList(__CView* view, Size bufferSize, void* buffer, Size* actual) {
  *actual = sizeof(CFArrayRef);
  if (buffer == nullptr) return noErr;
  if (bufferSize < Size(sizeof(CFArrayRef))) return paramErr;
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const Item& item : Items(view)) {
    CFStringRef s = StringOf(item);
    CFArrayAppendValue(list, s);
    CFRelease(s);
  }
  CFArrayRef out = list;
  memcpy(buffer, &out, sizeof out);
  return noErr;
}

void ComboBoxComplete(__CView* view, CFMutableStringRef text, CFIndex* selStart, CFIndex* selEnd) {
  if (!IsComboBox(view) || !(Attributes(view) & kHIComboBoxAutoCompletionAttribute)) return;
  const CFIndex len = CFStringGetLength(text);
  if (*selStart != len || *selEnd != len || len == 0) return;
  const Item typed = ItemOf(text);
  for (const Item& item : Items(view)) {
    if (item.size() <= typed.size()) continue;
    bool prefix = true;
    for (size_t i = 0; i < typed.size() && prefix; ++i) prefix = Fold(item[i]) == Fold(typed[i]);
    if (!prefix) continue;
    // What was typed stays as typed; the rest comes from the item.
    CFStringAppendCharacters(text, item.data() + typed.size(), CFIndex(item.size() - typed.size()));
    *selStart = len;
    *selEnd = std::min<CFIndex>(CFStringGetLength(text), 32767);
    return;
  }
}

// ---------------------------------------------------------------------------

OSStatus HIComboBoxCreate(const HIRect* boundsRect, CFStringRef text, const ControlFontStyleRec* style,
                          CFArrayRef list, OptionBits inAttributes, HIViewRef* outComboBox) {
  if (outComboBox == nullptr) return paramErr;
  *outComboBox = nullptr;
  __CView* view = ViewCreateStandard(kControlKindHIComboBox, boundsRect ? *boundsRect : CGRect{});
  if (view == nullptr) return memFullErr;
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  SetAttributes(view, inAttributes);
  if (text) HIViewSetText(ref, text);
  if (style) SetControlData(ref, 0, kControlFontStyleTag, sizeof *style, style);
  if (list) ComboBoxSetList(view, sizeof list, &list);
  const SInt16 len = SInt16(std::min<CFIndex>(CFStringGetLength(view->text), 32767));
  view->selection = ControlEditTextSelectionRec{len, len};
  *outComboBox = ref;
  return noErr;
}

ItemCount HIComboBoxGetItemCount(HIViewRef inComboBox) {
  __CView* view = BoxOf(inComboBox);
  return view ? ItemCount(Items(view).size()) : 0;
}

OSStatus HIComboBoxInsertTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex, CFStringRef inText) {
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  if (inText == nullptr || inIndex < 0) return paramErr;
  Insert(view, inIndex, ItemOf(inText));
  return noErr;
}

OSStatus HIComboBoxAppendTextItem(HIViewRef inComboBox, CFStringRef inText, CFIndex* outIndex) {
  if (outIndex) *outIndex = -1;
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  if (inText == nullptr) return paramErr;
  const CFIndex at = Insert(view, -1, ItemOf(inText));
  if (outIndex) *outIndex = at;
  return noErr;
}

OSStatus HIComboBoxCopyTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  *outString = nullptr;
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  const std::vector<Item> items = Items(view);
  if (inIndex < 0 || size_t(inIndex) >= items.size()) return paramErr;
  *outString = StringOf(items[size_t(inIndex)]);
  return noErr;
}

OSStatus HIComboBoxRemoveItemAtIndex(HIViewRef inComboBox, CFIndex inIndex) {
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  std::vector<Item> items = Items(view);
  if (inIndex < 0 || size_t(inIndex) >= items.size()) return paramErr;
  items.erase(items.begin() + inIndex);
  SetItems(view, items);
  return noErr;
}

OSStatus HIComboBoxChangeAttributes(HIViewRef inComboBox, OptionBits inAttributesToSet,
                                    OptionBits inAttributesToClear) {
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  const OptionBits before = Attributes(view);
  SetAttributes(view, (before | inAttributesToSet) & ~inAttributesToClear);
  // Turning sorting on puts the items in order now.
  if (!(before & kHIComboBoxAutoSortAttribute) && (Attributes(view) & kHIComboBoxAutoSortAttribute)) {
    std::vector<Item> items = Items(view);
    std::stable_sort(items.begin(), items.end(), Before);
    SetItems(view, items);
  }
  return noErr;
}

OSStatus HIComboBoxGetAttributes(HIViewRef inComboBox, OptionBits* outAttributes) {
  if (outAttributes == nullptr) return paramErr;
  *outAttributes = 0;
  __CView* view = BoxOf(inComboBox);
  if (view == nullptr) return Check(inComboBox);
  *outAttributes = Attributes(view);
  return noErr;
}
