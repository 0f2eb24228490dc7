#include "TViewUnit.h"

#include "HIView.h"
#include "PascalCarbonCommon.h"

void TView::SetViewObject(HIObjectRef object) {
  SetClassString("TView");
  viewObject = object;
}

WindowRef TView::GetViewOwner() {
  if (viewObject == nullptr) return nullptr;
  auto window = reinterpret_cast<WindowRef>(viewObject);
  if (IsValidWindowPtr(window)) return window;
  return HIViewGetWindow(reinterpret_cast<HIViewRef>(viewObject));
}

Boolean TView::ValidObject() {
  if (viewObject == nullptr) return false;
  if (IsValidWindowPtr(reinterpret_cast<WindowRef>(viewObject))) return true;
  return HIViewGetWindow(reinterpret_cast<HIViewRef>(viewObject)) != nullptr;
}

void TView::InstallCommandHandler(WindowRef window) {
  if (window == nullptr) return;
  static const EventTypeSpec kCommandEvents[] = {{kEventClassCommand, kEventCommandProcess},
                                                 {kEventClassCommand, kEventCommandUpdateStatus}};
  Err = InstallEventHandler(GetWindowEventTarget(window), HandleCommands, 2, kCommandEvents, this, &commandHandler);
}

void TView::ProcessCommand(const HICommand&, EventRef, SInt32& result) { result = eventNotHandledErr; }

void TView::UpdateCommandStatus(const HICommand&, EventRef, SInt32&) {}

void TView::Release() {
  if (commandHandler != nullptr) Err = RemoveEventHandler(commandHandler);
  commandHandler = nullptr;
  viewObject = nullptr;
}

OSStatus HandleCommands(EventHandlerCallRef, EventRef event, void* userData) {
  SInt32 result = eventNotHandledErr;
  auto* view = static_cast<TView*>(userData);
  const UInt32 kind = GetEventKind(event);
  HICommand command{};
  Err = GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  // An event without its command names nothing to do: it passes on.
  if (Err != noErr) return result;
  if (view == nullptr || !view->ValidObject()) return result;
  if (kind == kEventCommandProcess)
    view->ProcessCommand(command, event, result);
  else if (kind == kEventCommandUpdateStatus)
    view->UpdateCommandStatus(command, event, result);
  return result;
}
