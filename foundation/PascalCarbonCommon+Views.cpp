// Small operations on views and controls: text, Boolean values, pop-up
// menus, focus, segmented views, look-up by ID or property, tree walks.
#include <vector>

#include "CFArray.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "QuickDraw.h"

MenuItemIndex MenuFindItemIgnoringCase(MenuRef menu, CFStringRef text);

// '????': no particular command.
constexpr OSType kUnknownCode = 0x3F3F3F3F;

namespace {

// The menu data tag of the view's kind, 0 for kinds without a menu here.
ResType MenuTag(HIViewRef view) {
  ControlKind kind{};
  Err = GetControlKind(view, &kind);
  if (Err != noErr) return 0;
  if (kind.kind == kControlKindPopupButton) return kControlPopupButtonMenuRefTag;
  if (kind.kind == kControlKindBevelButton) return kControlBevelButtonMenuRefTag;
  return 0;
}

// The pop-up's own menu ('mhan'); nil for other kinds. Sets Err.
MenuRef PopupMenu(HIViewRef view) {
  MenuRef menu = nullptr;
  Err = GetControlData(view, kControlEntireControl, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr);
  return Err == noErr ? menu : nullptr;
}

// Pre-order walk (a view, then each subview with its own subviews); stops
// when the visitor answers true and gives that view.
template <typename Visit>
HIViewRef Walk(HIViewRef view, Visit& visit) {
  if (view == nullptr) return nullptr;
  if (visit(view)) return view;
  const ItemCount count = HIViewCountSubviews(view);
  for (ItemCount i = 1; i <= count; ++i) {
    HIViewRef child = nullptr;
    if (HIViewGetIndexedSubview(view, CFIndex(i), &child) != noErr) continue;
    if (HIViewRef found = Walk(child, visit)) return found;
  }
  return nullptr;
}

// The property's text: its bytes up to the final NUL (or the first one),
// cut at 255 characters. False with Err set when it cannot be read.
bool PropertyText(HIViewRef view, OSType creator, OSType tag, Str255& text) {
  text = Str255();
  ByteCount size = 0;
  Err = GetControlPropertySize(view, creator, tag, &size);
  if (Err != noErr) return false;
  std::vector<char> bytes(size + 1, 0);
  ByteCount actual = 0;
  Err = GetControlProperty(view, creator, tag, size, &actual, bytes.data());
  if (Err != noErr) return false;
  text = Str255(std::string_view(bytes.data()));
  return true;
}

}  // namespace

CGRect HIViewFrame(HIViewRef view) {
  CGRect frame{};
  Err = HIViewGetFrame(view, &frame);
  return frame;
}

Boolean HIViewIsValid(HIViewRef view) { return view != nullptr && HIViewGetWindow(view) != nullptr; }

HIViewRef HIViewFind(SInt32 id, OSType signature, WindowRef window) {
  HIViewRef root = HIViewGetRoot(window);
  if (root == nullptr) return nullptr;
  HIViewRef view = nullptr;
  if (HIViewFindByID(root, HIViewID{signature, id}, &view) != noErr) return nullptr;
  return view;
}

Str255 HIViewGetProperty(HIViewRef view, OSType tag, OSType creator) {
  Str255 text;
  PropertyText(view, creator, tag, text);
  return text;
}

HIViewRef HIViewFindByProperty(OSType tag, OSType creator, const Str255& text, WindowRef window) {
  auto matches = [&](HIViewRef view) {
    Str255 value;
    return PropertyText(view, creator, tag, value) && value == text;
  };
  return Walk(HIViewGetRoot(window), matches);
}

void HIViewApplyFunction(HIViewRef view, HIViewApplierFunction function, void* userData) {
  if (function == nullptr) return;
  auto call = [&](HIViewRef v) {
    ControlKind kind{};
    Err = GetControlKind(v, &kind);
    function(v, kind, userData);
    return false;
  };
  Walk(view, call);
}

void HIViewGlobalToLocal(CGPoint& point, WindowRef window) {
  Point local = HIPointToQD(point);
  GlobalToLocal(&local);
  point = QDPointToHI(local);
  Err = HIViewConvertPoint(&point, nullptr, HIViewGetRoot(window));
}

Str255 HIViewGetText(HIViewRef view) {
  CFStringRef text = HIViewCopyText(view);
  if (text == nullptr) return Str255();
  Str255 result = PCFSTR(text);
  CFRelease(text);
  return result;
}

void HIViewSetBooleanValue(HIViewRef view, Boolean value) { Err = HIViewSetValue(view, value ? 1 : 0); }

Boolean HIViewGetBooleanValue(HIViewRef view) { return HIViewGetValue(view) == 1; }

void SetControlBooleanValue(ControlRef control, Boolean value) { SetControl32BitValue(control, value ? 1 : 0); }

Boolean GetControlBooleanValue(ControlRef control) { return GetControl32BitValue(control) == 1; }

void HIViewFocusEditText(HIViewRef view) {
  if (!HIViewSubtreeContainsFocus(view)) Err = SetKeyboardFocus(HIViewGetWindow(view), view, kControlFocusNextPart);
  ControlEditTextSelectionRec selection{0, 32767};
  Err = SetControlData(view, kControlEditTextPart, kControlEditTextSelectionTag, sizeof selection, &selection);
}

MenuRef HIViewGetMenu(HIViewRef view) {
  const ResType tag = MenuTag(view);
  if (tag == 0) return nullptr;
  MenuRef menu = nullptr;
  Err = GetControlData(view, kControlEntireControl, tag, sizeof menu, &menu, nullptr);
  return Err == noErr ? menu : nullptr;
}

void HIViewSetMenu(HIViewRef view, MenuRef menu) {
  const ResType tag = MenuTag(view);
  if (tag == 0) return;
  Err = SetControlData(view, kControlEntireControl, tag, sizeof menu, &menu);
}

void HIViewSetMenuWithArray(HIViewRef view, CFArrayRef strings) {
  MenuRef menu = HIViewGetMenu(view);
  if (menu == nullptr) return;
  Err = DeleteMenuItems(menu, 1, CountMenuItems(menu));
  const CFIndex count = strings != nullptr ? CFArrayGetCount(strings) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    CFTypeRef value = CFArrayGetValueAtIndex(strings, i);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) continue;
    Err = AppendMenuItemTextWithCFString(menu, static_cast<CFStringRef>(value), 0, kUnknownCode, nullptr);
  }
}

MenuItemIndex HIViewGetMenuItem(HIViewRef view, CFStringRef text) {
  return MenuFindItemIgnoringCase(PopupMenu(view), text);
}

void HIViewSetMenuItem(HIViewRef view, CFStringRef text) {
  MenuRef menu = PopupMenu(view);
  Err = HIViewSetMaximum(view, menu != nullptr ? CountMenuItems(menu) : 0);
  MenuItemIndex item = MenuFindItemIgnoringCase(menu, text);
  if (item == 0) item = 1;
  Err = HIViewSetValue(view, item);
}

CFStringRef HIViewCopyMenuText(HIViewRef view) {
  MenuRef menu = PopupMenu(view);
  if (menu == nullptr) return nullptr;
  const SInt32 item = GetControl32BitValue(view);
  if (item < 1 || item > CountMenuItems(menu)) {
    Err = paramErr;
    return nullptr;
  }
  CFStringRef text = nullptr;
  Err = CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text);
  return Err == noErr ? text : nullptr;
}

Str255 HIViewGetMenuText(HIViewRef view) {
  CFStringRef text = HIViewCopyMenuText(view);
  if (text == nullptr) return Str255();
  Str255 result = PCFSTR(text);
  CFRelease(text);
  return result;
}

namespace {

// A segment holds its content without retaining it, so the reference made
// for it stays alive with the view and is let go when the view goes;
// releasing it at once would leave the segment a freed icon or image.
OSStatus ReleaseSegmentContent(EventHandlerCallRef, EventRef, void* userData) {
  auto* content = static_cast<ControlButtonContentInfo*>(userData);
  if (content->contentType == kControlContentIconRef)
    ReleaseIconRef(static_cast<IconRef>(content->u.iconRef));
  else
    CGImageRelease(static_cast<CGImageRef>(content->u.imageRef));
  delete content;
  return eventNotHandledErr;
}

void SetSegment(HIViewRef view, UInt32 segment, const ControlButtonContentInfo& content,
                HISegmentBehavior behavior, UInt32 command) {
  static const EventTypeSpec kDispose[] = {{kEventClassControl, kEventControlDispose}};
  auto* kept = new ControlButtonContentInfo(content);
  if (InstallEventHandler(HIViewGetEventTarget(view), NewEventHandlerUPP(ReleaseSegmentContent), 1, kDispose, kept,
                          nullptr) != noErr) {
    // No view to keep it with: the segment cannot use it either.
    ReleaseSegmentContent(nullptr, nullptr, kept);
    Err = paramErr;
    return;
  }
  Err = HISegmentedViewSetSegmentImage(view, segment, &content);
  Err = HISegmentedViewSetSegmentBehavior(view, segment, behavior);
  Err = HISegmentedViewSetSegmentCommand(view, segment, command);
}

}  // namespace

void HISegmentedViewSetContent(HIViewRef view, UInt32 segment, OSType creator, OSType type,
                               HISegmentBehavior behavior, UInt32 command) {
  IconRef icon = nullptr;
  Err = GetIconRef(0, creator, type, &icon);
  if (Err != noErr) return;
  ControlButtonContentInfo content{};
  content.contentType = kControlContentIconRef;
  content.u.iconRef = icon;
  SetSegment(view, segment, content, behavior, command);
}

void HISegmentedViewSetContentWithImage(HIViewRef view, UInt32 segment, const Str63& imageName,
                                        const Str63& folder, HISegmentBehavior behavior, UInt32 command) {
  CGImageRef image = LoadPNGImage(imageName, folder);
  if (image == nullptr) return;
  ControlButtonContentInfo content{};
  content.contentType = kControlContentCGImageRef;
  content.u.imageRef = image;
  SetSegment(view, segment, content, behavior, command);
}
