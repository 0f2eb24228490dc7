// Native child views: a view that shows a widget of the desktop toolkit (a
// GtkWidget under the desktop host) instead of drawing into the window. The
// widget follows the view: the desktop host places it above the window's
// drawn content at the view's frame, shows it only while the view and all its
// superviews are visible, stacks the native views of a window in the views'
// drawing order, and gives it the keyboard focus while the view has the
// window's focus. Input that reaches the widget is the widget's own.
//
// Headless nothing shows: the placement is only computed, and tests read it
// with HINativeViewGetPlacement. The widget is then any pointer the caller
// chooses (a stand-in engine's record, say); the view never looks into it.
#pragma once

#include "HIView.h"
#include "MacWindows.h"

// The kind of a native view: signature kControlKindSignatureApple, this kind.
enum : OSType { kControlKindNativeView = 'natv' };

// A new native view of the widget, frame empty, in no window. Under the
// desktop host the view holds a reference on the widget (g_object_ref_sink)
// until it is disposed. paramErr for a nil widget.
OSStatus HINativeViewCreate(void* inWidget, HIViewRef* outView);
// The widget of a native view; nil for any other view.
void* HINativeViewGetWidget(HIViewRef inView);

struct HINativeViewPlacement {
  WindowRef window;  // the window the view is in, nil when in none
  HIRect frame;      // in the coordinates of the window's root view
  Boolean visible;   // the view and every superview visible, in a window
  Boolean focused;   // the view has its window's keyboard focus
  UInt32 order;      // 0 for the lowest native view of the window, in drawing order
};
// Where the widget is to show now. errUnknownControl for a view that is no
// native view.
OSStatus HINativeViewGetPlacement(HIViewRef inView, HINativeViewPlacement* outPlacement);
