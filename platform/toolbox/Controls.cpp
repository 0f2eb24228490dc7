// The standard controls: their kinds, parts, control data and behaviour on a
// hit, and the calls that create them. Their look comes from the theme.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ChasingArrowsInternal.h"
#include "HIView.h"
#include "HIViewRecord.h"
#include "Icons.h"
#include "NativeViewInternal.h"
#include "MacWindows.h"
#include "ComboBoxInternal.h"
#include "SearchFieldInternal.h"

namespace {

bool Is(__CView* view, OSType kind) {
  return view->kind.signature == kControlKindSignatureApple && view->kind.kind == kind;
}

// A search field is an edit text with two buttons, a combo box one with a list.
bool IsEditText(__CView* view) {
  return Is(view, kControlKindEditText) || Is(view, kControlKindEditUnicodeText) ||
         Is(view, kControlKindHISearchField) || Is(view, kControlKindHIComboBox);
}
bool IsTextKind(__CView* view) { return IsEditText(view) || Is(view, kControlKindStaticText); }
bool HasMenu(__CView* view) { return Is(view, kControlKindPopupButton) || Is(view, kControlKindBevelButton); }

template <typename T>
OSStatus Put(const T& value, Size bufferSize, void* buffer, Size* actual) {
  *actual = sizeof(T);
  if (buffer == nullptr) return noErr;
  if (bufferSize < Size(sizeof(T))) return paramErr;
  memcpy(buffer, &value, sizeof(T));
  return noErr;
}

template <typename T>
bool Take(Size size, const void* data, T* out) {
  if (data == nullptr || size != Size(sizeof(T))) return false;
  memcpy(out, data, sizeof(T));
  return true;
}

// Mac Roman bytes of the text, for the 'text' tags.
std::vector<UInt8> TextBytes(CFStringRef text) {
  CFIndex len = CFStringGetLength(text);
  std::vector<UInt8> out(size_t(len) + 1);
  CFIndex used = 0;
  CFStringGetBytes(text, CFRange{0, len}, kCFStringEncodingMacRoman, '?', false, out.data(), CFIndex(out.size()),
                   &used);
  out.resize(size_t(used));
  return out;
}

// The radio buttons of a group: its direct subviews of kind 'rdio'.
void SelectInGroup(__CView* group, __CView* chosen) {
  SInt32 index = 0, i = 0;
  for (auto* child : group->children) {
    if (!Is(child, kControlKindRadioButton)) continue;
    ++i;
    if (child == chosen) index = i;
  }
  RadioGroupSelectIndex(group, index);
  ViewSetValueInternal(group, index);
}

bool DataTagKnown(__CView* view, ResType tag) {
  switch (tag) {
    case kControlSizeTag:
    case kControlFontStyleTag:
      return true;
    case kControlPushButtonDefaultTag:
    case kControlPushButtonCancelTag:
      return Is(view, kControlKindPushButton);
    case kControlEditTextPasswordTag:
    case kControlEditTextLockedTag:
    case kControlKeyFilterTag:
      return IsEditText(view);
    case kControlStaticTextIsMultilineTag:
      return Is(view, kControlKindStaticText);
    case kControlProgressBarIndeterminateTag:
    case kControlProgressBarAnimatingTag:
      return Is(view, kControlKindProgressBar);
    case kControlBevelButtonKindTag:
    case kControlBevelButtonMenuValueTag:
      return Is(view, kControlKindBevelButton);
    case kControlScrollBarShowsArrowsTag:
      return Is(view, kControlKindScrollBar);
    case kControlDisclosureTriangleLastValueTag:
      return Is(view, kControlKindDisclosureTriangle);
    default:
      return false;
  }
}

}  // namespace

ControlPartCode ControlKindHitTest(__CView* view, CGPoint p) {
  if (view->kind.signature != kControlKindSignatureApple) return kControlNoPart;
  switch (view->kind.kind) {
    case kControlKindPushButton:
    case kControlKindPushIconButton:
    case kControlKindBevelButton:
      return kControlButtonPart;
    case kControlKindCheckBox:
      return kControlCheckBoxPart;
    case kControlKindRadioButton:
      return kControlRadioButtonPart;
    case kControlKindPopupButton:
      return kControlMenuPart;
    case kControlKindEditText:
    case kControlKindEditUnicodeText:
      return kControlEditTextPart;
    case kControlKindHISearchField:
      return SearchFieldHitTest(view, p);
    case kControlKindHIComboBox:
      return ComboBoxHitTest(view, p);
    case kControlKindDisclosureTriangle:
      return kControlTrianglePart;
    case kControlKindHIImageView:
    case kControlKindImageWell:
      return kControlImageWellPart;
    case kControlKindSlider:
      return kControlIndicatorPart;
    case kControlKindLittleArrows:
      return p.y < view->frame.size.height / 2 ? kControlUpButtonPart : kControlDownButtonPart;
    case kControlKindScrollBar: {
      bool horizontal = view->frame.size.width >= view->frame.size.height;
      CGFloat length = horizontal ? view->frame.size.width : view->frame.size.height;
      CGFloat thick = horizontal ? view->frame.size.height : view->frame.size.width;
      CGFloat pos = horizontal ? p.x : p.y;
      CGFloat arrow = std::min(thick, length / 4);
      if (pos < arrow) return kControlUpButtonPart;
      if (pos >= length - arrow) return kControlDownButtonPart;
      // The thumb's place in the track.
      CGFloat track = length - 2 * arrow;
      double range = double(view->maximum) - double(view->minimum);
      CGFloat thumb = std::max<CGFloat>(thick, range > 0 ? track * view->viewSize / (range + view->viewSize) : track);
      thumb = std::min(thumb, track);
      CGFloat start = arrow + (range > 0 ? (track - thumb) * (view->value - view->minimum) / range : 0);
      if (pos < start) return kControlPageUpPart;
      if (pos >= start + thumb) return kControlPageDownPart;
      return kControlIndicatorPart;
    }
    case kControlKindHISegmentedView: {
      size_t n = view->segments.size();
      if (n == 0 || view->frame.size.width <= 0) return kControlNoPart;
      size_t index = std::min(n - 1, size_t(p.x * n / view->frame.size.width));
      return view->segments[index].enabled ? ControlPartCode(index + 1) : ControlPartCode(kControlNoPart);
    }
    default:
      return kControlNoPart;
  }
}

void RadioGroupSelectIndex(__CView* group, SInt32 index) {
  SInt32 i = 0;
  for (auto* child : group->children) {
    if (!Is(child, kControlKindRadioButton)) continue;
    ++i;
    ViewSetValueInternal(child, i == index ? 1 : 0);
  }
  group->maximum = std::max(group->maximum, i);
}

bool IsRadioGroup(__CView* view) { return Is(view, kControlKindRadioGroup); }

bool IsSegmentedView(__CView* view) { return Is(view, kControlKindHISegmentedView); }

void SegmentedViewSelectIndex(__CView* view, SInt32 index) {
  const bool valid = index >= 1 && size_t(index) <= view->segments.size();
  if (valid) {
    const SegmentRecord& chosen = view->segments[size_t(index - 1)];
    if (chosen.behavior != kHISegmentBehaviorRadio && chosen.behavior != kHISegmentBehaviorSticky) return;
  }
  for (size_t i = 0; i < view->segments.size(); ++i) {
    SegmentRecord& seg = view->segments[i];
    const bool chosen = valid && i == size_t(index - 1);
    if (seg.behavior == kHISegmentBehaviorRadio || chosen) seg.value = chosen ? 1 : 0;
  }
  ViewInvalidate(view);
}

void ControlKindOnHit(__CView* view, ControlPartCode part) {
  if (view->kind.signature != kControlKindSignatureApple) return;
  bool autoToggle = view->data.count('atgl') != 0;
  switch (view->kind.kind) {
    case kControlKindCheckBox:
      if (autoToggle) ViewSetValueInternal(view, view->value == kControlCheckBoxCheckedValue ? 0 : 1);
      break;
    case kControlKindDisclosureTriangle:
      if (autoToggle) ViewSetValueInternal(view, view->value ? 0 : 1);
      break;
    case kControlKindRadioButton:
      if (view->parent && Is(view->parent, kControlKindRadioGroup)) SelectInGroup(view->parent, view);
      else if (autoToggle) ViewSetValueInternal(view, 1);
      break;
    case kControlKindLittleArrows: {
      SInt32 step = 1;
      auto it = view->data.find('incr');
      if (it != view->data.end() && it->second.size() == sizeof step) memcpy(&step, it->second.data(), sizeof step);
      ViewSetValueInternal(view, view->value + (part == kControlUpButtonPart ? step : -step));
      break;
    }
    case kControlKindScrollBar: {
      SInt32 page = std::max<SInt32>(1, view->viewSize), line = 1;
      auto it = view->data.find('incr');
      if (it != view->data.end() && it->second.size() == sizeof line) memcpy(&line, it->second.data(), sizeof line);
      if (part == kControlUpButtonPart) ViewSetValueInternal(view, view->value - line);
      if (part == kControlDownButtonPart) ViewSetValueInternal(view, view->value + line);
      if (part == kControlPageUpPart) ViewSetValueInternal(view, view->value - page);
      if (part == kControlPageDownPart) ViewSetValueInternal(view, view->value + page);
      break;
    }
    case kControlKindHISegmentedView: {
      size_t index = size_t(part - 1);
      if (part < 1 || index >= view->segments.size()) break;
      SegmentRecord& seg = view->segments[index];
      if (seg.behavior == kHISegmentBehaviorRadio || seg.behavior == kHISegmentBehaviorSticky) {
        for (auto& other : view->segments)
          if (other.behavior == kHISegmentBehaviorRadio) other.value = 0;
        seg.value = 1;
        ViewSetValueInternal(view, part);
      } else if (seg.behavior == kHISegmentBehaviorToggles) {
        seg.value = seg.value ? 0 : 1;
      }
      ViewInvalidate(view);
      if (seg.command != 0) view->commandID = seg.command;
      break;
    }
    case kControlKindHISearchField:
      SearchFieldOnHit(view, part);
      break;
    case kControlKindHIComboBox:
      ComboBoxOnHit(view, part);
      break;
    default:
      break;
  }
}

// The content of an image well: the well keeps its own reference.
void RetainContent(const ControlButtonContentInfo& info) {
  if (info.contentType == kControlContentIconRef && info.u.iconRef) AcquireIconRef(static_cast<IconRef>(info.u.iconRef));
  if (info.contentType == kControlContentCGImageRef && info.u.imageRef) CFRetain(info.u.imageRef);
}

void ReleaseContent(const ControlButtonContentInfo& info) {
  if (info.contentType == kControlContentIconRef && info.u.iconRef) ReleaseIconRef(static_cast<IconRef>(info.u.iconRef));
  if (info.contentType == kControlContentCGImageRef && info.u.imageRef) CFRelease(info.u.imageRef);
}

bool WellContent(const __CView* view, ControlButtonContentInfo* info) {
  auto it = view->data.find(kControlImageWellContentTag);
  if (it == view->data.end() || it->second.size() != sizeof *info) return false;
  std::memcpy(info, it->second.data(), sizeof *info);
  return true;
}

OSStatus WellSetContent(__CView* view, const ControlButtonContentInfo* info) {
  ControlButtonContentInfo next{};
  next.contentType = kControlNoContent;
  if (info) next = *info;
  if (next.contentType != kControlNoContent && next.contentType != kControlContentIconRef &&
      next.contentType != kControlContentCGImageRef)
    return errDataNotSupported;
  if (next.contentType == kControlContentIconRef && next.u.iconRef && !IsValidIconRef(static_cast<IconRef>(next.u.iconRef)))
    return invalidIconRefErr;
  if (next.contentType == kControlNoContent) next.u.iconRef = nullptr;
  // The new reference first: the content may be the one already shown.
  RetainContent(next);
  ControlButtonContentInfo old{};
  if (WellContent(view, &old)) ReleaseContent(old);
  const auto* bytes = reinterpret_cast<const UInt8*>(&next);
  view->data[kControlImageWellContentTag].assign(bytes, bytes + sizeof next);
  ViewInvalidate(view);
  return noErr;
}

OSStatus ControlKindSetData(__CView* view, ControlPartCode, ResType tag, Size size, const void* data) {
  if (Is(view, kControlKindImageWell) && tag == kControlImageWellContentTag) {
    ControlButtonContentInfo info;
    if (!Take(size, data, &info)) return paramErr;
    return WellSetContent(view, &info);
  }
  if (Is(view, kControlKindHIComboBox) && tag == kHIComboBoxListTag) return ComboBoxSetList(view, size, data);
  if (IsTextKind(view) && tag == kControlEditTextCFStringTag) {
    CFStringRef text = nullptr;
    if (!Take(size, data, &text) || text == nullptr) return paramErr;
    return HIViewSetText(reinterpret_cast<HIViewRef>(view), text);
  }
  if (IsTextKind(view) && tag == kControlEditTextTextTag) {
    CFStringRef text = CFStringCreateWithBytes(nullptr, static_cast<const UInt8*>(data), CFIndex(size),
                                               kCFStringEncodingMacRoman, false);
    if (text == nullptr) return paramErr;
    OSStatus status = HIViewSetText(reinterpret_cast<HIViewRef>(view), text);
    CFRelease(text);
    return status;
  }
  if (IsEditText(view) && tag == kControlEditTextSelectionTag) {
    ControlEditTextSelectionRec sel;
    if (!Take(size, data, &sel)) return paramErr;
    SInt16 len = SInt16(std::min<CFIndex>(CFStringGetLength(view->text), 32767));
    sel.selStart = std::max<SInt16>(0, std::min(sel.selStart, len));
    sel.selEnd = std::max<SInt16>(sel.selStart, std::min(sel.selEnd, len));
    view->selection = sel;
    ViewInvalidate(view);
    return noErr;
  }
  if (HasMenu(view) && (tag == kControlPopupButtonMenuRefTag || tag == kControlBevelButtonMenuRefTag ||
                        tag == kControlPopupButtonOwnedMenuRefTag)) {
    if ((tag == kControlPopupButtonMenuRefTag) != Is(view, kControlKindPopupButton) &&
        tag != kControlPopupButtonOwnedMenuRefTag)
      return errDataNotSupported;
    MenuRef menu = nullptr;
    if (!Take(size, data, &menu)) return paramErr;
    if (menu) RetainMenu(menu);
    if (view->menu) ReleaseMenu(view->menu);
    view->menu = menu;
    // The maximum follows the menu's items.
    SInt32 count = menu ? CountMenuItems(menu) : 0;
    view->minimum = count ? 1 : 0;
    view->maximum = count;
    ViewSetValueInternal(view, view->value);
    ViewInvalidate(view);
    return noErr;
  }
  if ((Is(view, kControlKindBevelButton) || Is(view, kControlKindHIImageView)) && tag == kControlBevelButtonContentTag) {
    ControlButtonContentInfo info;
    if (!Take(size, data, &info)) return paramErr;
    auto& bytes = view->data[tag];
    bytes.assign(static_cast<const UInt8*>(data), static_cast<const UInt8*>(data) + size);
    ViewInvalidate(view);
    return noErr;
  }
  if (!DataTagKnown(view, tag)) return errDataNotSupported;
  if (size > 0 && data == nullptr) return paramErr;
  auto& bytes = view->data[tag];
  bytes.assign(static_cast<const UInt8*>(data), static_cast<const UInt8*>(data) + size);
  ViewInvalidate(view);
  return noErr;
}

OSStatus ControlKindGetData(__CView* view, ControlPartCode, ResType tag, Size bufferSize, void* buffer,
                            Size* actual) {
  if (Is(view, kControlKindHIComboBox) && tag == kHIComboBoxListTag) return ComboBoxCopyList(view, bufferSize, buffer, actual);
  if (IsTextKind(view) && tag == kControlEditTextCFStringTag) {
    // The caller owns the copy.
    if (buffer == nullptr) {
      *actual = sizeof(CFStringRef);
      return noErr;
    }
    if (bufferSize < Size(sizeof(CFStringRef))) return paramErr;
    CFStringRef copy = CFStringCreateCopy(nullptr, view->text);
    return Put(copy, bufferSize, buffer, actual);
  }
  if (IsTextKind(view) && tag == kControlEditTextTextTag) {
    std::vector<UInt8> bytes = TextBytes(view->text);
    *actual = Size(bytes.size());
    if (buffer == nullptr) return noErr;
    if (bufferSize < *actual) return paramErr;
    if (!bytes.empty()) memcpy(buffer, bytes.data(), bytes.size());
    return noErr;
  }
  if (IsEditText(view) && tag == kControlEditTextSelectionTag) return Put(view->selection, bufferSize, buffer, actual);
  if (HasMenu(view) && (tag == kControlPopupButtonMenuRefTag || tag == kControlBevelButtonMenuRefTag)) {
    if ((tag == kControlPopupButtonMenuRefTag) != Is(view, kControlKindPopupButton)) return errDataNotSupported;
    return Put(view->menu, bufferSize, buffer, actual);
  }
  auto it = view->data.find(tag);
  if (it != view->data.end()) {
    *actual = Size(it->second.size());
    if (buffer == nullptr) return noErr;
    if (bufferSize < *actual) return paramErr;
    if (*actual) memcpy(buffer, it->second.data(), it->second.size());
    return noErr;
  }
  // Tags the kind knows but nobody set answer their defaults.
  if (tag == kControlSizeTag) return Put(ControlSize(kControlSizeNormal), bufferSize, buffer, actual);
  if (!DataTagKnown(view, tag)) return errDataNotSupported;
  if (tag == kControlFontStyleTag) return Put(ControlFontStyleRec{}, bufferSize, buffer, actual);
  return Put(Boolean(false), bufferSize, buffer, actual);
}

bool ControlKindTakesFocus(__CView* view) { return IsEditText(view) || ViewIsNative(view); }

namespace {

void SendTextAccepted(__CView* view) {
  view->textEdited = false;
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextField, kEventTextAccepted, 0, 0, &e);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof ref, &ref);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
}

// Asks the field's handlers whether the text about to be inserted may go
// in; a handler refuses it by answering userCanceledErr.
bool TextMayChange(__CView* view, CFStringRef insert) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextField, kEventTextShouldChangeInRange, 0, 0, &e);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof ref, &ref);
  SetEventParameter(e, kEventParamTextInputSendText, typeCFStringRef, sizeof insert, &insert);
  OSStatus answer = ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  return answer != userCanceledErr;
}

}  // namespace

void ControlKindCommitText(__CView* view) {
  // A search field searches on Return only; leaving it searches nothing.
  if (!ViewIsLive(reinterpret_cast<HIViewRef>(view)) || view->disposing || !view->textEdited ||
      Is(view, kControlKindHISearchField))
    return;
  SendTextAccepted(view);
}

bool ControlKindHandleText(__CView* view, EventRef event) {
  if (!IsEditText(view)) return false;
  if (GetEventClass(event) == kEventClassCommand) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID != kHICommandSelectAll) return false;
    SInt16 len = SInt16(std::min<CFIndex>(CFStringGetLength(view->text), 32767));
    view->selection = ControlEditTextSelectionRec{0, len};
    ViewInvalidate(view);
    return true;
  }
  bool locked = false;
  auto lock = view->data.find(kControlEditTextLockedTag);
  if (lock != view->data.end() && !lock->second.empty() && lock->second[0]) locked = true;
  CFMutableStringRef text = CFStringCreateMutableCopy(nullptr, 0, view->text);
  CFIndex len = CFStringGetLength(text);
  CFIndex start = std::min<CFIndex>(view->selection.selStart, len), end = std::min<CFIndex>(view->selection.selEnd, len);
  bool changed = false, took = false, typed = false;
  if (GetEventClass(event) == kEventClassTextInput && GetEventKind(event) == kEventTextInputUnicodeForKeyEvent) {
    ByteCount size = 0;
    if (GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, 0, &size, nullptr) == noErr &&
        size >= sizeof(UniChar)) {
      std::vector<UniChar> chars(size / sizeof(UniChar));
      GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, chars.size() * sizeof(UniChar),
                        nullptr, chars.data());
      took = true;
      // Control characters (return, tab, backspace) are keys, not text.
      if (chars.size() == 1 && chars[0] == 8 && !locked) {
        if (start == end && start > 0) --start;
        if (start < end) {
          CFStringDelete(text, CFRange{start, end - start});
          end = start;
          changed = true;
        }
      } else if (chars.size() == 1 && chars[0] == 0x7F && !locked) {
        if (start == end && end < len) ++end;
        if (start < end) {
          CFStringDelete(text, CFRange{start, end - start});
          end = start;
          changed = true;
        }
      } else if (!chars.empty() && chars[0] >= 0x20 && !locked) {
        CFStringRef insert = CFStringCreateWithCharacters(nullptr, chars.data(), CFIndex(chars.size()));
        if (CFStringGetLength(text) - (end - start) + CFIndex(chars.size()) > 32767 ||
            !TextMayChange(view, insert)) {
          CFRelease(insert);
        } else {
          CFStringReplace(text, CFRange{start, end - start}, insert);
          CFRelease(insert);
          start = end = start + CFIndex(chars.size());
          changed = typed = true;
        }
      } else if (chars.size() == 1 && (chars[0] == 13 || chars[0] == 3)) {
        // Return and enter accept the text; the key itself goes on (a
        // default button may take it).
        SendTextAccepted(view);
        took = false;
      } else if (chars.size() == 1 && chars[0] == '\t') {
        // Tab moves to the next field of the window (Shift+Tab to the one
        // before), whose text it selects whole.
        EventRef key = nullptr;
        UInt32 modifiers = 0;
        if (GetEventParameter(event, kEventParamTextInputSendKeyboardEvent, typeEventRef, nullptr, sizeof key, nullptr,
                              &key) == noErr &&
            key != nullptr)
          GetEventParameter(key, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
        WindowRef window = HIViewGetWindow(reinterpret_cast<HIViewRef>(view));
        HIViewRef root = window != nullptr ? HIViewGetRoot(window) : nullptr;
        if (root != nullptr && HIViewAdvanceFocus(root, modifiers & (1u << 9)) == noErr) {
          ControlRef next = nullptr;
          if (GetKeyboardFocus(window, &next) == noErr && next != nullptr && next != reinterpret_cast<HIViewRef>(view)) {
            __CView* field = ViewOf(next);
            if (IsEditText(field)) {
              field->selection = ControlEditTextSelectionRec{
                  0, SInt16(std::min<CFIndex>(CFStringGetLength(field->text), 32767))};
              ViewInvalidate(field);
            }
          }
        }
        CFRelease(text);
        return true;
      } else if (chars.size() == 1 && (chars[0] == 0x1C || chars[0] == 0x1D)) {
        // Left and right arrows move the insertion point.
        CFIndex caret = chars[0] == 0x1C ? (start == end ? std::max<CFIndex>(0, start - 1) : start)
                                         : (start == end ? std::min(len, end + 1) : end);
        start = end = caret;
      } else {
        took = false;
      }
    }
  }
  if (typed) ComboBoxComplete(view, text, &start, &end);
  if (took) {
    if (changed) {
      CFRelease(view->text);
      view->text = CFStringCreateCopy(nullptr, text);
      view->textEdited = true;
    }
    view->selection.selStart = SInt16(start);
    view->selection.selEnd = SInt16(end);
    ViewInvalidate(view);
    if (changed) {
      EventRef e = nullptr;
      CreateEvent(nullptr, kEventClassTextField, kEventTextDidChange, 0, 0, &e);
      HIViewRef ref = reinterpret_cast<HIViewRef>(view);
      SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof ref, &ref);
      ViewSendEvent(view, e, true);
      ReleaseEvent(e);
    }
  }
  CFRelease(text);
  return took;
}

void ControlKindReleaseData(__CView* view) {
  ControlButtonContentInfo content{};
  if (Is(view, kControlKindImageWell) && WellContent(view, &content)) {
    ReleaseContent(content);
    view->data.erase(kControlImageWellContentTag);
  }
  if (view->menu) ReleaseMenu(view->menu);
  view->menu = nullptr;
  if (view->image) CFRelease(view->image);
  view->image = nullptr;
}

bool ControlKindTrack(__CView* view, ControlPartCode startPart, ControlPartCode* outPart) {
  bool popup = Is(view, kControlKindPopupButton) && startPart == kControlMenuPart;
  bool bevelMenu = Is(view, kControlKindBevelButton) && view->menu != nullptr;
  if (!popup && !bevelMenu) return false;
  *outPart = kControlNoPart;
  if (view->menu == nullptr || CountMenuItems(view->menu) == 0) return true;
  // The menu opens over the control, its chosen item at the control's place.
  CGPoint corner = ViewToRoot(view, view->boundsOrigin);
  Point where = {SInt16(std::lround(corner.y)), SInt16(std::lround(corner.x))};
  if (WindowRef window = ViewWindow(view)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    LocalToGlobal(&where);
    SetPort(saved);
  }
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  MenuRef menu = view->menu;
  RetainMenu(menu);
  HIViewSetHilite(ref, startPart);
  SInt32 current = popup ? view->value : 0;
  SInt32 result = PopUpMenuSelect(menu, where.v, where.h, SInt16(std::max<SInt32>(0, std::min<SInt32>(current, 32767))));
  MenuItemIndex item = MenuItemIndex(result & 0xFFFF);
  bool fromThisMenu = MenuID(result >> 16) == GetMenuID(menu);
  ReleaseMenu(menu);
  if (!ViewIsLive(ref)) return true;
  HIViewSetHilite(ref, kControlNoPart);
  if (item == 0 || !fromThisMenu) return true;
  if (popup) {
    ViewSetValueInternal(view, item);
  } else {
    SInt16 value = SInt16(item);
    view->data[kControlBevelButtonMenuValueTag].assign(reinterpret_cast<const UInt8*>(&value),
                                                       reinterpret_cast<const UInt8*>(&value) + sizeof value);
  }
  *outPart = startPart;
  return true;
}

// ---------------------------------------------------------------------------
// Creation

namespace {

CGRect RectOf(const Rect* r) {
  if (r == nullptr) return CGRect{};
  return CGRect{{CGFloat(r->left), CGFloat(r->top)}, {CGFloat(r->right - r->left), CGFloat(r->bottom - r->top)}};
}

OSStatus Make(WindowRef window, const Rect* bounds, OSType kind, CFStringRef title, ControlRef* out,
              __CView** made) {
  if (out == nullptr) return paramErr;
  *out = nullptr;
  __CView* view = ViewCreateStandard(kind, RectOf(bounds));
  if (view == nullptr) return memFullErr;
  if (title) HIViewSetText(reinterpret_cast<HIViewRef>(view), title);
  if (window) {
    HIViewRef root = HIViewGetRoot(window);
    if (root) {
      // The rectangle is in the window's content coordinates.
      HIViewAddSubview(root, reinterpret_cast<HIViewRef>(view));
    }
  }
  *out = reinterpret_cast<ControlRef>(view);
  if (made) *made = view;
  return noErr;
}

void SetRange(__CView* view, SInt32 value, SInt32 minimum, SInt32 maximum) {
  view->minimum = minimum;
  view->maximum = std::max(minimum, maximum);
  view->value = std::max(view->minimum, std::min(view->maximum, value));
}

void SetFlagData(__CView* view, ResType tag, bool on) {
  if (on) view->data[tag] = std::vector<UInt8>{1};
  else view->data.erase(tag);
}

}  // namespace

OSStatus CreatePushButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, ControlRef* outControl) {
  return Make(window, boundsRect, kControlKindPushButton, title, outControl, nullptr);
}

OSStatus CreateBevelButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title,
                                  ControlBevelThickness thickness, ControlBevelButtonBehavior behavior,
                                  const ControlButtonContentInfo* info, SInt16, ControlBevelButtonMenuBehavior,
                                  UInt16, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindBevelButton, title, outControl, &view);
  if (status != noErr) return status;
  view->data['thik'] = std::vector<UInt8>{UInt8(thickness)};
  if (behavior & (kControlBehaviorToggles | kControlBehaviorSticky)) view->maximum = 1;
  if (info) {
    auto bytes = reinterpret_cast<const UInt8*>(info);
    view->data[kControlBevelButtonContentTag].assign(bytes, bytes + sizeof *info);
  }
  return noErr;
}

OSStatus CreateImageWellControl(WindowRef window, const Rect* boundsRect, const ControlButtonContentInfo* info,
                                ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindImageWell, nullptr, outControl, &view);
  if (status != noErr) return status;
  status = WellSetContent(view, info);
  if (status != noErr) {
    DisposeControl(*outControl);
    *outControl = nullptr;
  }
  return status;
}

OSErr SetImageWellContentInfo(ControlRef inControl, const ControlButtonContentInfo* inContent) {
  if (!ViewIsLive(inControl)) return paramErr;
  __CView* view = ViewOf(inControl);
  if (!Is(view, kControlKindImageWell)) return errDataNotSupported;
  return OSErr(WellSetContent(view, inContent));
}

OSErr GetImageWellContentInfo(ControlRef inControl, ControlButtonContentInfo* outContent) {
  if (outContent == nullptr) return paramErr;
  if (!ViewIsLive(inControl)) return paramErr;
  __CView* view = ViewOf(inControl);
  if (!Is(view, kControlKindImageWell)) return errDataNotSupported;
  if (!WellContent(view, outContent)) *outContent = ControlButtonContentInfo{kControlNoContent, {nullptr}};
  return noErr;
}

OSStatus CreateCheckBoxControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt32 initialValue,
                               Boolean autoToggle, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindCheckBox, title, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, initialValue, 0, 2);
  SetFlagData(view, 'atgl', autoToggle);
  return noErr;
}

OSStatus CreateRadioButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt32 initialValue,
                                  Boolean autoToggle, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindRadioButton, title, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, initialValue, 0, 2);
  SetFlagData(view, 'atgl', autoToggle);
  return noErr;
}

OSStatus CreateRadioGroupControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindRadioGroup, nullptr, outControl, &view);
  if (status != noErr) return status;
  view->features |= kHIViewFeatureSupportsEmbedding;
  SetRange(view, 0, 0, 0x7FFFFFFF);
  return noErr;
}

OSStatus CreatePopupButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt16 menuID,
                                  Boolean variableWidth, SInt16 titleWidth, SInt16 titleJustification, Style,
                                  ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindPopupButton, title, outControl, &view);
  if (status != noErr) return status;
  view->data[kControlPopupButtonMenuIDTag].assign(reinterpret_cast<const UInt8*>(&menuID),
                                                  reinterpret_cast<const UInt8*>(&menuID) + sizeof menuID);
  view->data['vwid'] = std::vector<UInt8>{UInt8(variableWidth ? 1 : 0)};
  view->data['twid'].assign(reinterpret_cast<const UInt8*>(&titleWidth),
                            reinterpret_cast<const UInt8*>(&titleWidth) + sizeof titleWidth);
  view->data['tjus'].assign(reinterpret_cast<const UInt8*>(&titleJustification),
                            reinterpret_cast<const UInt8*>(&titleJustification) + sizeof titleJustification);
  return noErr;
}

OSStatus CreateStaticTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text,
                                 const ControlFontStyleRec* style, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindStaticText, text, outControl, &view);
  if (status != noErr) return status;
  if (style) ControlKindSetData(view, 0, kControlFontStyleTag, sizeof *style, style);
  return noErr;
}

OSStatus CreateEditUnicodeTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text, Boolean isPassword,
                                      const ControlFontStyleRec* style, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindEditUnicodeText, text, outControl, &view);
  if (status != noErr) return status;
  SetFlagData(view, kControlEditTextPasswordTag, isPassword);
  if (style) ControlKindSetData(view, 0, kControlFontStyleTag, sizeof *style, style);
  SInt16 len = SInt16(std::min<CFIndex>(CFStringGetLength(view->text), 32767));
  view->selection = ControlEditTextSelectionRec{len, len};
  return noErr;
}

OSStatus CreateEditTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text, Boolean isPassword,
                               Boolean, const ControlFontStyleRec* style, ControlRef* outControl) {
  OSStatus status = CreateEditUnicodeTextControl(window, boundsRect, text, isPassword, style, outControl);
  if (status == noErr) ViewOf(*outControl)->kind.kind = kControlKindEditText;
  return status;
}

OSStatus CreateScrollBarControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                SInt32 maximum, SInt32 viewSize, Boolean liveTracking,
                                ControlActionUPP liveTrackingProc, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindScrollBar, nullptr, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, value, minimum, maximum);
  view->viewSize = viewSize;
  if (liveTracking) view->action = liveTrackingProc;
  return noErr;
}

OSStatus CreateSliderControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum, SInt32 maximum,
                             UInt16 orientation, UInt16 numTickMarks, Boolean liveTracking,
                             ControlActionUPP liveTrackingProc, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindSlider, nullptr, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, value, minimum, maximum);
  view->data['ornt'].assign(reinterpret_cast<const UInt8*>(&orientation),
                            reinterpret_cast<const UInt8*>(&orientation) + sizeof orientation);
  view->data['tick'].assign(reinterpret_cast<const UInt8*>(&numTickMarks),
                            reinterpret_cast<const UInt8*>(&numTickMarks) + sizeof numTickMarks);
  if (liveTracking) view->action = liveTrackingProc;
  return noErr;
}

OSStatus CreatePlacardControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindPlacard, nullptr, outControl, &view);
  if (status == noErr) view->features |= kHIViewFeatureSupportsEmbedding;
  return status;
}

OSStatus CreateGroupBoxControl(WindowRef window, const Rect* boundsRect, CFStringRef title, Boolean primary,
                               ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindGroupBox, title, outControl, &view);
  if (status != noErr) return status;
  view->features |= kHIViewFeatureSupportsEmbedding;
  view->data['prim'] = std::vector<UInt8>{UInt8(primary ? 1 : 0)};
  return noErr;
}

OSStatus CreateSeparatorControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl) {
  return Make(window, boundsRect, kControlKindSeparator, nullptr, outControl, nullptr);
}

OSStatus CreateUserPaneControl(WindowRef window, const Rect* boundsRect, UInt32 features, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindUserPane, nullptr, outControl, &view);
  if (status == noErr) view->features |= features;
  return status;
}

OSStatus CreateChasingArrowsControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kControlKindChasingArrows, nullptr, outControl, nullptr);
  if (status == noErr) ChasingArrowsAdd(*outControl);
  return status;
}

OSStatus CreateProgressBarControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                  SInt32 maximum, Boolean indeterminate, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindProgressBar, nullptr, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, value, minimum, maximum);
  view->data[kControlProgressBarIndeterminateTag] = std::vector<UInt8>{UInt8(indeterminate ? 1 : 0)};
  return noErr;
}

OSStatus CreateDisclosureTriangleControl(WindowRef window, const Rect* boundsRect, UInt16, CFStringRef title,
                                         SInt32 initialValue, Boolean drawTitle, Boolean autoToggles,
                                         ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindDisclosureTriangle, drawTitle ? title : nullptr, outControl,
                         &view);
  if (status != noErr) return status;
  SetRange(view, initialValue, 0, 1);
  SetFlagData(view, 'atgl', autoToggles);
  return noErr;
}

OSStatus CreateLittleArrowsControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                   SInt32 maximum, SInt32 increment, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(window, boundsRect, kControlKindLittleArrows, nullptr, outControl, &view);
  if (status != noErr) return status;
  SetRange(view, value, minimum, maximum);
  view->data['incr'].assign(reinterpret_cast<const UInt8*>(&increment),
                            reinterpret_cast<const UInt8*>(&increment) + sizeof increment);
  return noErr;
}

OSStatus HIImageViewCreate(void* inImage, ControlRef* outControl) {
  __CView* view = nullptr;
  OSStatus status = Make(nullptr, nullptr, kControlKindHIImageView, nullptr, outControl, &view);
  if (status != noErr) return status;
  if (inImage) view->image = const_cast<void*>(CFRetain(inImage));
  return noErr;
}

OSStatus HIImageViewSetImage(HIViewRef inView, void* inImage) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  __CView* view = ViewOf(inView);
  if (!Is(view, kControlKindHIImageView)) return errDataNotSupported;
  if (inImage) CFRetain(inImage);
  if (view->image) CFRelease(view->image);
  view->image = inImage;
  ViewInvalidate(view);
  return noErr;
}

void* HIImageViewCopyImage(HIViewRef inView) {
  if (!ViewIsLive(inView)) return nullptr;
  __CView* view = ViewOf(inView);
  if (!Is(view, kControlKindHIImageView) || view->image == nullptr) return nullptr;
  return const_cast<void*>(CFRetain(view->image));
}

// ---------------------------------------------------------------------------
// Segmented views

namespace {

SegmentRecord* Segment(HIViewRef ref, UInt32 index) {
  if (!ViewIsLive(ref)) return nullptr;
  __CView* view = ViewOf(ref);
  if (!Is(view, kControlKindHISegmentedView) || index < 1 || index > view->segments.size()) return nullptr;
  return &view->segments[index - 1];
}

}  // namespace

OSStatus HISegmentedViewCreate(const HIRect* inBounds, HIViewRef* outRef) {
  if (outRef == nullptr) return paramErr;
  *outRef = nullptr;
  __CView* view = ViewCreateStandard(kControlKindHISegmentedView, inBounds ? *inBounds : CGRect{});
  if (view == nullptr) return memFullErr;
  *outRef = reinterpret_cast<HIViewRef>(view);
  return noErr;
}

OSStatus HISegmentedViewSetSegmentCount(HIViewRef inSegmentedView, UInt32 inSegmentCount) {
  if (!ViewIsLive(inSegmentedView)) return errUnknownControl;
  __CView* view = ViewOf(inSegmentedView);
  if (!Is(view, kControlKindHISegmentedView)) return errDataNotSupported;
  if (inSegmentCount > 1024) return paramErr;
  for (size_t i = inSegmentCount; i < view->segments.size(); ++i)
    if (view->segments[i].label) CFRelease(view->segments[i].label);
  view->segments.resize(inSegmentCount);
  view->minimum = 0;
  view->maximum = SInt32(inSegmentCount);
  ViewSetValueInternal(view, view->value);
  ViewInvalidate(view);
  return noErr;
}

UInt32 HISegmentedViewGetSegmentCount(HIViewRef inSegmentedView) {
  if (!ViewIsLive(inSegmentedView)) return 0;
  __CView* view = ViewOf(inSegmentedView);
  return Is(view, kControlKindHISegmentedView) ? UInt32(view->segments.size()) : 0;
}

OSStatus HISegmentedViewSetSegmentBehavior(HIViewRef v, UInt32 i, HISegmentBehavior b) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  s->behavior = b;
  return noErr;
}

HISegmentBehavior HISegmentedViewGetSegmentBehavior(HIViewRef v, UInt32 i) {
  SegmentRecord* s = Segment(v, i);
  return s ? s->behavior : 0;
}

OSStatus HISegmentedViewSetSegmentCommand(HIViewRef v, UInt32 i, UInt32 c) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  s->command = c;
  return noErr;
}

UInt32 HISegmentedViewGetSegmentCommand(HIViewRef v, UInt32 i) {
  SegmentRecord* s = Segment(v, i);
  return s ? s->command : 0;
}

OSStatus HISegmentedViewSetSegmentEnabled(HIViewRef v, UInt32 i, Boolean e) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  s->enabled = e != 0;
  ViewInvalidate(ViewOf(v));
  return noErr;
}

Boolean HISegmentedViewIsSegmentEnabled(HIViewRef v, UInt32 i) {
  SegmentRecord* s = Segment(v, i);
  return s && s->enabled;
}

OSStatus HISegmentedViewSetSegmentLabel(HIViewRef v, UInt32 i, CFStringRef label) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  CFStringRef copy = label ? CFStringCreateCopy(nullptr, label) : nullptr;
  if (s->label) CFRelease(s->label);
  s->label = copy;
  ViewInvalidate(ViewOf(v));
  return noErr;
}

OSStatus HISegmentedViewCopySegmentLabel(HIViewRef v, UInt32 i, CFStringRef* outLabel) {
  if (outLabel == nullptr) return paramErr;
  *outLabel = nullptr;
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  *outLabel = s->label ? CFStringCreateCopy(nullptr, s->label) : nullptr;
  return noErr;
}

OSStatus HISegmentedViewSetSegmentValue(HIViewRef v, UInt32 i, SInt32 value) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  __CView* view = ViewOf(v);
  if (value && s->behavior == kHISegmentBehaviorRadio) {
    for (auto& other : view->segments)
      if (other.behavior == kHISegmentBehaviorRadio) other.value = 0;
    s->value = 1;
    ViewSetValueInternal(view, SInt32(i));
  } else {
    s->value = value ? 1 : 0;
  }
  ViewInvalidate(view);
  return noErr;
}

SInt32 HISegmentedViewGetSegmentValue(HIViewRef v, UInt32 i) {
  SegmentRecord* s = Segment(v, i);
  return s ? s->value : 0;
}

OSStatus HISegmentedViewSetSegmentContentWidth(HIViewRef v, UInt32 i, Boolean autoWidth, float width) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr) return paramErr;
  s->autoWidth = autoWidth != 0;
  s->width = std::max(0.0f, width);
  ViewInvalidate(ViewOf(v));
  return noErr;
}

float HISegmentedViewGetSegmentContentWidth(HIViewRef v, UInt32 i, Boolean* outAuto) {
  SegmentRecord* s = Segment(v, i);
  if (outAuto) *outAuto = s ? s->autoWidth : false;
  return s ? s->width : 0;
}

OSStatus HISegmentedViewSetSegmentImage(HIViewRef v, UInt32 i, const ControlButtonContentInfo* image) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr || image == nullptr) return paramErr;
  s->image = *image;
  ViewInvalidate(ViewOf(v));
  return noErr;
}

OSStatus HISegmentedViewCopySegmentImage(HIViewRef v, UInt32 i, ControlButtonContentInfo* ioImage) {
  SegmentRecord* s = Segment(v, i);
  if (s == nullptr || ioImage == nullptr) return paramErr;
  *ioImage = s->image;
  return noErr;
}
