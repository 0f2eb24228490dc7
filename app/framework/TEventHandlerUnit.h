// TEventHandler: one handler on one target for any Carbon events; every
// event of the types appended to it reaches the one virtual HandleEvent.
// Allocate, Install(target), AppendEvent per type, Release when the target
// goes away.
#pragma once

#include "CarbonEvents.h"
#include "TObjectUnit.h"

class TEventHandler : public TObject {
 public:
  EventHandlerRef handler = nullptr;
  // The call of the event being handled, so an override can call the next
  // handler.
  EventHandlerCallRef callRef = nullptr;

  virtual void Install(EventTargetRef target);
  virtual void AppendEvent(UInt32 eventClass, UInt32 eventKind);
  // Leaves result as it is (eventNotHandledErr).
  virtual void HandleEvent(EventRef event, UInt32 eventClass, UInt32 eventKind, SInt32& result);
  // Removes the handler and frees the object.
  virtual void Release();
};

OSStatus HandleAllEvents(EventHandlerCallRef callRef, EventRef event, void* userData);
