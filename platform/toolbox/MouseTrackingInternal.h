// Internal to the platform library: what TrackMouseLocation and the theme
// cursors ask of the display host.
#pragma once

#include "Appearance.h"
#include "CGGeometry.h"
#include "MouseTracking.h"

struct MouseTrackInput {
  MouseTrackingResult result;  // dragged, up, modifiers changed, timed out, cancelled
  CGPoint point;               // content coordinates of the window asked about, global without one
  UInt32 modifiers;
};

// Waits up to the timeout (kEventDurationForever: none) for the next change
// of the pointer over the window (nil: the screen) and fills the input.
// False when no input can come (the answer is then a mouse-up where the
// pointer was last).
typedef bool (*MouseTrackSource)(WindowRef window, EventTimeout timeout, MouseTrackInput* out);
// Nil restores the headless source, which reads the queued steps.
void MouseTrackingSetSource(MouseTrackSource source);

// Shows a cursor; nil restores the headless presenter, which only records.
typedef void (*CursorPresenter)(ThemeCursor cursor, UInt32 animationStep);
void MouseTrackingSetCursorPresenter(CursorPresenter presenter);
