#include "TEventHandlerUnit.h"

#include "PascalCarbonCommon.h"

void TEventHandler::Install(EventTargetRef target) {
  Err = InstallEventHandler(target, HandleAllEvents, 0, nullptr, this, &handler);
}

void TEventHandler::AppendEvent(UInt32 eventClass, UInt32 eventKind) {
  const EventTypeSpec type = {eventClass, eventKind};
  Err = AddEventTypesToHandler(handler, 1, &type);
}

void TEventHandler::HandleEvent(EventRef, UInt32, UInt32, SInt32&) {}

void TEventHandler::Release() {
  if (handler != nullptr) Err = RemoveEventHandler(handler);
  handler = nullptr;
  Free();
}

OSStatus HandleAllEvents(EventHandlerCallRef callRef, EventRef event, void* userData) {
  auto* object = static_cast<TEventHandler*>(userData);
  object->callRef = callRef;
  SInt32 result = eventNotHandledErr;
  object->HandleEvent(event, GetEventClass(event), GetEventKind(event), result);
  return result;
}
