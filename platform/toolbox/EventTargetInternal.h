// Internal to the platform library: how the view system (windows, controls,
// HIObjects) makes event targets of its own objects and hangs its standard
// behaviour below the handlers a program installs.
#pragma once

#include "CarbonEvents.h"

// Answers the next target up the containment chain of the owner (a control's
// superview, a view's window, a window's application target); nil ends the
// climb.
typedef EventTargetRef (*EventTargetParentProc)(void* owner);

// Makes a target for the owner. Without a parent function the application
// target is the parent.
EventTargetRef EventTargetCreate(void* owner, EventTargetParentProc getParent);
// Ends the target with its owner: every handler on it is removed (their
// references become invalid) and it no longer takes handlers or events. Safe
// while an event is being dispatched through it; the dispatch stops climbing
// there.
void EventTargetDispose(EventTargetRef target);
void* EventTargetGetOwner(EventTargetRef target);
// True for the application target and every target not yet disposed.
bool EventTargetIsValid(EventTargetRef target);

// Installs a standard handler: it runs after every handler a program
// installs on the target, whenever those were installed; among standard
// handlers the newest runs first. A nil list with no types takes every event.
// RemoveEventHandler removes it like any other handler.
OSStatus InstallStandardEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount numTypes,
                                     const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);

// The event core keeps its state on the main thread; these report (once per
// call site) and refuse calls from other threads.
bool EventCoreOnMainThread();
bool EventCoreCheckMainThread(const char* function);

// Input from a host counts as user activity for idle timers; sends of
// mouse, keyboard and text-input events note it themselves.
void EventLoopNoteUserActivity();
