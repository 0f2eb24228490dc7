#include "TPreferencePaneUnit.h"

#include "CFPreferenceUtilities.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"

namespace {

enum class Binding { kNone, kString, kMenu, kBoolean, kInteger };

Binding BindingOf(const ControlKind& kind) {
  switch (kind.kind) {
    case 'cbbx':
    case kControlKindEditUnicodeText:
      return Binding::kString;
    case kControlKindCheckBox:
    case kControlKindRadioButton:
      return Binding::kBoolean;
    case kControlKindPopupButton:
    case kControlKindPopupGroupBox:
      return Binding::kMenu;
    case kControlKindRadioGroup:
    case kControlKindSlider:
      return Binding::kInteger;
  }
  return Binding::kNone;
}

void ApplyRestore(ControlRef control, const ControlKind& kind, const Str255& key, void* data) {
  TPreferencePaneRestoreControl(control, kind, key, static_cast<TPreferenceHandler*>(data));
}

void ApplyStore(ControlRef control, const ControlKind& kind, const Str255& key, void* data) {
  TPreferencePaneStoreControl(control, kind, key, static_cast<TPreferenceHandler*>(data));
}

}  // namespace

Boolean TPreferencePaneRestoreControl(ControlRef control, const ControlKind& kind, const Str255& key,
                                      TPreferenceHandler* handler) {
  const Binding binding = BindingOf(kind);
  if (handler == nullptr || binding == Binding::kNone) return false;
  switch (binding) {
    case Binding::kString: {
      // An empty stored text leaves the control's own.
      const Str255 value = handler->GetStringValue(key);
      if (!value.empty()) Err = HIViewSetText(control, CFSTR(value));
      break;
    }
    case Binding::kMenu: {
      // A stored text that no item has any more keeps the current item.
      const Str255 value = handler->GetStringValue(key);
      if (value.empty()) break;
      if (MenuItemIndex item = FindMenuItem(value, false, HIViewGetMenu(control)); item > 0)
        SetControl32BitValue(control, item);
      break;
    }
    case Binding::kBoolean:
      SetControl32BitValue(control, handler->GetBooleanValue(key) ? 1 : 0);
      break;
    case Binding::kInteger:
      SetControl32BitValue(control, handler->GetIntegerValue(key));
      break;
    case Binding::kNone:
      break;
  }
  return true;
}

Boolean TPreferencePaneStoreControl(ControlRef control, const ControlKind& kind, const Str255& key,
                                    TPreferenceHandler* handler) {
  const Binding binding = BindingOf(kind);
  if (handler == nullptr || binding == Binding::kNone) return false;
  switch (binding) {
    case Binding::kString:
      if (CFStringRef text = HIViewCopyText(control)) {
        handler->SetStringValue(key, PCFSTR(text));
        CFRelease(text);
      }
      break;
    case Binding::kMenu: {
      const SInt32 item = GetControl32BitValue(control);
      MenuRef menu = HIViewGetMenu(control);
      CFStringRef text = nullptr;
      if (item > 0 && menu != nullptr && CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) == noErr &&
          text != nullptr) {
        handler->SetStringValue(key, PCFSTR(text));
        CFRelease(text);
      }
      break;
    }
    case Binding::kBoolean:
      handler->SetBooleanValue(key, GetControl32BitValue(control) != 0);
      break;
    case Binding::kInteger:
      handler->SetIntegerValue(key, GetControl32BitValue(control));
      break;
    case Binding::kNone:
      break;
  }
  return true;
}

void TPreferencePaneApply(ControlRef root, TPreferenceHandler* handler) {
  if (root == nullptr || handler == nullptr) return;
  CFPreferencesApplyFunction(root, ApplyRestore, handler);
}

void TPreferencePaneRetrieve(ControlRef root, TPreferenceHandler* handler) {
  if (root == nullptr || handler == nullptr) return;
  CFPreferencesApplyFunction(root, ApplyStore, handler);
}
