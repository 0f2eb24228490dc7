// Following the pointer while the button is down: a loop asks for the next
// change (a move, the button going up, a timeout) and answers it at once.
// The desktop host follows the real pointer; the headless host follows the
// steps a test queued (HeadlessQueueMouseTrack in HeadlessHost.h).
#pragma once

#include "CarbonEvents.h"
#include "MacTypes.h"
#include "MacWindows.h"

typedef UInt16 MouseTrackingResult;
enum : MouseTrackingResult {
  kMouseTrackingMouseDown = 1,
  kMouseTrackingMouseUp = 2,
  kMouseTrackingMouseExited = 3,
  kMouseTrackingMouseEntered = 4,
  kMouseTrackingMouseDragged = 5,
  kMouseTrackingKeyModifiersChanged = 6,
  kMouseTrackingUserCancelled = 7,
  kMouseTrackingTimedOut = 8,
  kMouseTrackingMouseMoved = 9,
};

// Options of TrackMouseLocationWithOptions.
enum : OptionBits { kTrackMouseLocationOptionDontConsumeMouseUp = 1u << 0 };

// Waits for the next change of the pointer and answers where it is, in the
// port's local coordinates (a nil port: the current port; no port: global).
// A loop ends at kMouseTrackingMouseUp; when no more input can come (the
// button is up already) the answer is a mouse-up where the pointer is.
OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult);
// The same with a timeout (seconds; kEventDurationForever waits without one):
// kMouseTrackingTimedOut when nothing changed within it, so that a loop can
// act while the pointer rests (scroll at the edge of a view). Timers of the
// event loop fire while it waits. The modifiers held come back too.
OSStatus TrackMouseLocationWithOptions(GrafPtr inPort, OptionBits inOptions, EventTimeout inTimeout, Point* outPt,
                                       UInt32* outModifiers, MouseTrackingResult* outResult);
