#include "TControlUnit.h"

#include "PascalCarbonCommon.h"
#include "TWindowUnit.h"

namespace {

OSStatus TControlEventHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* object = static_cast<TControl*>(userData);
  switch (GetEventKind(event)) {
    case kEventControlOwningWindowChanged: {
      WindowRef owner = nullptr;
      GetEventParameter(event, kEventParamControlCurrentOwningWindow, typeWindowRef, nullptr, sizeof owner, nullptr,
                        &owner);
      if (TWindow* framework = GetWindowObject(owner)) {
        object->window = framework;
        object->RestorePreferences();
      }
      break;
    }
    case kEventControlDispose:
      object->SavePreferences();
      object->Release();
      break;
  }
  // The Toolbox's own handling of both events goes on.
  return eventNotHandledErr;
}

}  // namespace

void TControl::ReleaseViewObject() { DisposeControl(control); }

void TControl::Release() {
  // A control that outlives its object must not lead back to it.
  if (control != nullptr && GetControlObject(control) == this)
    RemoveControlProperty(control, kTControlPropertyCreator, kTControlPropertyTag);
  TView::Release();
  if (controlHandler != nullptr) Err = RemoveEventHandler(controlHandler);
  controlHandler = nullptr;
  Free();
}

TWindow* TControl::GetWindow() { return window; }

void TControl::Create(ControlRef inControl) {
  control = inControl;
  SetViewObject(reinterpret_cast<HIObjectRef>(inControl));
  SetClassString("TControl");
  if (WindowRef owner = GetViewOwner()) window = GetWindowObject(owner);
  TControl* self = this;
  Err = SetControlProperty(control, kTControlPropertyCreator, kTControlPropertyTag, sizeof self, &self);
  static const EventTypeSpec kControlEvents[] = {{kEventClassControl, kEventControlDispose},
                                                 {kEventClassControl, kEventControlOwningWindowChanged}};
  Err = InstallEventHandler(GetControlEventTarget(control), TControlEventHandler, 2, kControlEvents, this,
                            &controlHandler);
}

TControl* GetControlObject(ControlRef control) {
  if (control == nullptr) return nullptr;
  TControl* object = nullptr;
  ByteCount size = 0;
  if (GetControlProperty(control, kTControlPropertyCreator, kTControlPropertyTag, sizeof object, &size, &object) !=
          noErr ||
      size != sizeof object)
    return nullptr;
  return object;
}

void WindowSaveControlPreferences(ControlRef control) {
  if (control == nullptr) return;
  if (TControl* object = GetControlObject(control)) object->SavePreferences();
  const ItemCount count = HIViewCountSubviews(control);
  for (ItemCount i = 1; i <= count; ++i) {
    HIViewRef subview = nullptr;
    if (HIViewGetIndexedSubview(control, CFIndex(i), &subview) == noErr && subview != nullptr)
      WindowSaveControlPreferences(subview);
  }
}
