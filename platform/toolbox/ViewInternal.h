// Internal to the platform library: how windows, the interface-file loader
// and the hosts hold a view tree. A window makes its root view here, names its
// event target as the root's containment parent, and feeds pointer input and
// drawing surfaces to the tree.
#pragma once

#include "HIView.h"

// --- Windows ------------------------------------------------------------------

// Makes the root view of a window: kind 'appl'/'root', HIViewID
// kHIViewWindowContentID, frame (0, 0, size of the content). Events that climb
// past the root go to the window's target. The window keeps the returned
// reference and ends the tree with ViewDisposeRoot when it goes away.
HIViewRef ViewCreateRoot(WindowRef window, EventTargetRef windowTarget, CGSize contentSize);
// Makes the root of a window's toolbar strip: a tree beside the content's,
// whose frame places it in the content's coordinates (above the content, at
// negative y). Its views belong to the window: they share its focus and
// climb to its target. Ended with ViewDisposeRoot.
HIViewRef ViewCreateStripRoot(WindowRef window, EventTargetRef windowTarget, CGRect frame);
// Ends every view of the window (DisposeControl order) and forgets the window;
// its focus record goes with it.
void ViewDisposeRoot(HIViewRef root);
// The content changed size: the root's frame follows and layouts apply.
void ViewSetRootSize(HIViewRef root, CGSize contentSize);

// --- Pointer input --------------------------------------------------------------

// A mouse-down at the point (window content coordinates): finds the deepest
// view that takes clicks and runs HIViewClick on it (contextual clicks with
// button 2 or the control key send kEventControlContextualMenuClick first).
// Answers whether a view took the click. The event carries 'wmou' and may
// carry 'kmod', 'mbtn', 'ccnt'.
bool ViewHandleMouseDown(WindowRef window, EventRef mouseDown);
// The pointer moved (window content coordinates): tracking areas hear
// entered / exited. A point of (-1e9, -1e9) means the pointer left the window.
void ViewHandlePointerMoved(WindowRef window, CGPoint windowPoint, UInt32 modifiers);

// Pointer events during a modal track (the system tracking of a control):
// the tracking loop asks the source for the next one until a release.
struct ViewTrackEvent {
  bool released;      // the button went up
  CGPoint windowPoint;  // window content coordinates
  UInt32 modifiers;
};
// Answers false when no more input will come (the track then ends as a
// release at the last point). The GTK host installs one that runs the main
// loop until the pointer moves or is released.
typedef bool (*ViewTrackEventSource)(WindowRef window, ViewTrackEvent* outEvent);
void ViewSetTrackEventSource(ViewTrackEventSource source);
// The default source reads a queue that headless tests fill.
void ViewQueueTrackEvent(const ViewTrackEvent& event);
void ViewClearTrackEvents();

// --- Drawing ----------------------------------------------------------------------

// The host (or the headless renderer) that draws a window: HIViewRender asks
// it to draw now; invalidation tells it that the window needs drawing.
struct ViewWindowDisplay {
  void (*render)(WindowRef window);            // draw the whole window now
  void (*invalidate)(WindowRef window, CGRect windowRect);  // mark for drawing
};
void ViewSetWindowDisplay(const ViewWindowDisplay& display);
// The union of the invalid rectangles of the window (root coordinates), and
// clearing it after a draw.
bool ViewGetInvalidRect(WindowRef window, CGRect* outRect);
void ViewClearInvalid(WindowRef window);
