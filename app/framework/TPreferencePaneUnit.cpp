#include "TPreferencePaneUnit.h"

#include <iterator>

#include "CFPreferenceUtilities.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"

namespace {

enum class Binding { kNone, kString, kMenu, kBoolean, kInteger };

Binding BindingOf(const ControlKind& kind) {
  switch (kind.kind) {
    case kControlKindHIComboBox:
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

// Stores what is being taken out of the pane, the moment it goes; when the
// pane view itself goes, the values are written out.
OSStatus HandlePaneEvent(EventHandlerCallRef, EventRef event, void* userData) {
  auto* pane = static_cast<TPreferencePane*>(userData);
  if (GetEventClass(event) != kEventClassControl) return eventNotHandledErr;
  switch (GetEventKind(event)) {
    case kEventControlRemovingSubControl: {
      ControlRef removed = nullptr;
      if (GetEventParameter(event, kEventParamControlSubControl, typeControlRef, nullptr, sizeof removed, nullptr,
                            &removed) == noErr &&
          removed != nullptr)
        CFPreferencesApplyFunction(removed, ViewSetValue, pane);
      break;
    }
    case kEventControlDispose:
      if (pane->Handler != nullptr) pane->Handler->Synchronize();
      if (pane->PaneEventHandler != nullptr) DisposeEventHandlerUPP(pane->PaneEventHandler);
      pane->PaneEventHandler = nullptr;
      // The view takes its handlers with it.
      pane->PaneEventHandlerRef = nullptr;
      break;
  }
  return eventNotHandledErr;
}

}  // namespace

TPreferencePane::TPreferencePane() { SetClassString("TPreferencePane"); }

void TPreferencePane::SetHandler(TPreferenceHandler* handler) { Handler = handler; }

void TPreferencePane::RestoreStringValue(const Str255& key, ControlRef control) {
  const Str255 value = Handler->GetStringValue(key);
  if (!value.empty()) Err = HIViewSetText(control, CFSTR(value));
}

void TPreferencePane::RestoreMenuValue(const Str255& key, ControlRef control) {
  const Str255 value = Handler->GetStringValue(key);
  if (value.empty()) return;
  if (MenuItemIndex item = FindMenuItem(value, false, HIViewGetMenu(control)); item > 0)
    SetControl32BitValue(control, item);
}

void TPreferencePane::RestoreBooleanValue(const Str255& key, ControlRef control) {
  SetControl32BitValue(control, Handler->GetBooleanValue(key) ? 1 : 0);
}

void TPreferencePane::RestoreIntegerValue(const Str255& key, ControlRef control) {
  SetControl32BitValue(control, Handler->GetIntegerValue(key));
}

void TPreferencePane::SetStringValue(const Str255& key, ControlRef control) {
  if (CFStringRef text = HIViewCopyText(control)) {
    Handler->SetStringValue(key, PCFSTR(text));
    CFRelease(text);
  }
}

void TPreferencePane::SetMenuValue(const Str255& key, ControlRef control) {
  const SInt32 item = GetControl32BitValue(control);
  MenuRef menu = HIViewGetMenu(control);
  CFStringRef text = nullptr;
  if (item > 0 && menu != nullptr && CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) == noErr &&
      text != nullptr) {
    Handler->SetStringValue(key, PCFSTR(text));
    CFRelease(text);
  }
}

void TPreferencePane::SetBooleanValue(const Str255& key, ControlRef control) {
  Handler->SetBooleanValue(key, GetControl32BitValue(control) != 0);
}

void TPreferencePane::SetIntegerValue(const Str255& key, ControlRef control) {
  Handler->SetIntegerValue(key, GetControl32BitValue(control));
}

void TPreferencePane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TPreferencePane");
  if (paneView == nullptr) return;
  static const EventTypeSpec kPaneEvents[] = {{kEventClassControl, kEventControlRemovingSubControl},
                                              {kEventClassControl, kEventControlDispose}};
  PaneEventHandler = NewEventHandlerUPP(HandlePaneEvent);
  Err = InstallEventHandler(GetControlEventTarget(paneView), PaneEventHandler, std::size(kPaneEvents), kPaneEvents,
                            this, &PaneEventHandlerRef);
  CFPreferencesApplyFunction(paneView, ViewRestoreValue, this);
}

void TPreferencePane::Release() {
  // Released while the view lives on: the view goes with the pane, so its
  // values are stored now, and nothing of it may reach the freed object.
  if (PaneEventHandlerRef != nullptr && !disposing && paneView != nullptr) {
    CFPreferencesApplyFunction(paneView, ViewSetValue, this);
    if (Handler != nullptr) Handler->Synchronize();
  }
  if (PaneEventHandlerRef != nullptr) RemoveEventHandler(PaneEventHandlerRef);
  PaneEventHandlerRef = nullptr;
  if (PaneEventHandler != nullptr) DisposeEventHandlerUPP(PaneEventHandler);
  PaneEventHandler = nullptr;
  TPane::Release();
}

void ViewRestoreValue(ControlRef control, const ControlKind& kind, const Str255& key, void* data) {
  auto* pane = static_cast<TPreferencePane*>(data);
  if (pane->Handler != nullptr) {
    switch (BindingOf(kind)) {
      case Binding::kString:
        pane->RestoreStringValue(key, control);
        break;
      case Binding::kMenu:
        pane->RestoreMenuValue(key, control);
        break;
      case Binding::kBoolean:
        pane->RestoreBooleanValue(key, control);
        break;
      case Binding::kInteger:
        pane->RestoreIntegerValue(key, control);
        break;
      case Binding::kNone:
        break;
    }
  }
  pane->RestoreValue(control, kind, key);
}

void ViewSetValue(ControlRef control, const ControlKind& kind, const Str255& key, void* data) {
  auto* pane = static_cast<TPreferencePane*>(data);
  if (pane->Handler != nullptr) {
    switch (BindingOf(kind)) {
      case Binding::kString:
        pane->SetStringValue(key, control);
        break;
      case Binding::kMenu:
        pane->SetMenuValue(key, control);
        break;
      case Binding::kBoolean:
        pane->SetBooleanValue(key, control);
        break;
      case Binding::kInteger:
        pane->SetIntegerValue(key, control);
        break;
      case Binding::kNone:
        break;
    }
  }
  pane->SetValue(control, kind, key);
}

void TPreferencePaneApply(ControlRef root, TPreferenceHandler* handler) {
  if (root == nullptr || handler == nullptr) return;
  auto* pane = new TPreferencePane();
  pane->SetHandler(handler);
  CFPreferencesApplyFunction(root, ViewRestoreValue, pane);
  pane->Release();
}

void TPreferencePaneRetrieve(ControlRef root, TPreferenceHandler* handler) {
  if (root == nullptr || handler == nullptr) return;
  auto* pane = new TPreferencePane();
  pane->SetHandler(handler);
  CFPreferencesApplyFunction(root, ViewSetValue, pane);
  pane->Release();
}
