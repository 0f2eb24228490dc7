// Internal to the platform library: how the view system tells the desktop host
// about native child views (HINativeView.h).
#pragma once

#include <vector>

#include "HIViewRecord.h"

struct NativeViewHostHooks {
  void (*retain)(void* widget, HIViewRef view);  // a new native view keeps the widget
  void (*release)(void* widget);  // the view went: the widget leaves its window and is let go
  // Something that may move, show, hide, restack or focus native views of the
  // window changed (frames, visibility, order, the tree, the focus). Called
  // while the change is under way: the host reads the placements later.
  void (*changed)(WindowRef window);
};
// Nil restores the headless behaviour (placements computed only).
void NativeViewSetHostHooks(const NativeViewHostHooks* hooks);

bool ViewIsNative(const __CView* view);
// The view system calls these: a view of the window changed; a view ends.
void NativeViewsTouched(WindowRef window);
void NativeViewForget(__CView* view);
// The native views of the window, lowest first.
std::vector<HIViewRef> NativeViewsOfWindow(WindowRef window);
