// The run loop of the main thread, over the GLib main context that carries
// the application's event loop. Streams are scheduled on it; a nested run
// (CFRunLoopRun, CFRunLoopRunInMode) iterates the same context, so events,
// timers and transfers keep going inside it.
//
// CFRunLoopStop ends only the innermost run started through this header. It
// never ends the application's event loop: a stop with no such run going
// does nothing and is not remembered.
#pragma once

#include "CFBase.h"
#include "CFDate.h"

typedef struct __CFRunLoop* CFRunLoopRef;

extern const CFStringRef kCFRunLoopDefaultMode;
extern const CFStringRef kCFRunLoopCommonModes;

enum : SInt32 {
  kCFRunLoopRunFinished = 1,
  kCFRunLoopRunStopped = 2,
  kCFRunLoopRunTimedOut = 3,
  kCFRunLoopRunHandledSource = 4,
};

// There is one run loop: the main thread's (everything of the platform runs
// there).
CFRunLoopRef CFRunLoopGetCurrent();
CFRunLoopRef CFRunLoopGetMain();

// Runs until CFRunLoopStop or, for RunInMode, until the seconds have passed
// (real time); with returnAfterSourceHandled, after the first dispatch.
void CFRunLoopRun();
SInt32 CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);
void CFRunLoopStop(CFRunLoopRef rl);
// True while a run of this header is going (the application's loop does not count).
Boolean CFRunLoopIsWaiting(CFRunLoopRef rl);
