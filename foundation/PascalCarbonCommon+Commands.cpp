// HICommand events: sending a command and reading command parameters.
#include <cstring>
#include <vector>

#include "CarbonEvents.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"

void SendHICommand(EventTargetRef target, UInt32 commandID) {
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  HICommand command{};
  command.attributes = 0;
  command.commandID = commandID;
  command.menu.menuRef = nullptr;
  command.menu.menuItemIndex = 0;
  // The record travels with its in-memory size (the menu reference is a
  // pointer), the same size every reader asks for.
  Err = SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof(HICommand), &command);
  Err = SendEventToEventTarget(event, target);
  ReleaseEvent(event);
}

OSStatus GetCommandParameter(EventRef event, EventParamName name, EventParamType type, SInt32 size,
                             void* buffer) {
  if (size < 0) return paramErr;
  // Read into a scratch buffer so the caller's stays untouched on failure.
  std::vector<UInt8> bytes(size_t(size) + 1);
  ByteCount actual = 0;
  OSStatus status = GetEventParameter(event, name, type, nullptr, ByteCount(size), &actual, bytes.data());
  if (status != noErr) {
    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof(HICommand), nullptr,
                          &command) == noErr &&
        command.menu.menuRef != nullptr) {
      actual = 0;
      status = GetMenuItemProperty(command.menu.menuRef, command.menu.menuItemIndex, name, type,
                                   ByteCount(size), &actual, bytes.data());
    }
  }
  if (status == noErr && buffer != nullptr && actual > 0)
    std::memcpy(buffer, bytes.data(), actual < ByteCount(size) ? actual : ByteCount(size));
  return status;
}
