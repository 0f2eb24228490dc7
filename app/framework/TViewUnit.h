// TView: one program object bound to one Carbon object (a window, a view or
// a control), with the same command routing for all of them: a handler for
// ('cmds', 1) and ('cmds', 2) on the owning window hands each HICommand to
// the virtual ProcessCommand or UpdateCommandStatus. What an object does not
// consume stays eventNotHandledErr and climbs on to the application.
#pragma once

#include "CarbonEvents.h"
#include "HIObject.h"
#include "MacWindows.h"
#include "TObjectUnit.h"

class TView : public TObject {
 public:
  HIObjectRef viewObject = nullptr;          // not owned
  EventHandlerRef commandHandler = nullptr;  // installed by InstallCommandHandler

  virtual void SetViewObject(HIObjectRef object);
  // The view object when it is a window, else the window the view lies in.
  virtual WindowRef GetViewOwner();
  // The view object is set and is a window or a view that lies in one.
  virtual Boolean ValidObject();
  virtual void ReleaseViewObject() {}
  virtual void SelectViewObject() {}
  virtual void InstallCommandHandler(WindowRef window);
  // Sets result to eventNotHandledErr; overrides call it first.
  virtual void ProcessCommand(const HICommand& command, EventRef event, SInt32& result);
  // Leaves result as the caller set it (eventNotHandledErr).
  virtual void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result);
  // Removes the command handler and clears the view object; subclasses free
  // the object after calling it.
  virtual void Release();
};

// The handler InstallCommandHandler installs; user data is the TView.
OSStatus HandleCommands(EventHandlerCallRef callRef, EventRef event, void* userData);
