// A window's views: its root view, made with the window and ended with it,
// following the content's size and the window's activation.
#include "ViewInternal.h"
#include "WindowsRecord.h"

namespace {

CGSize ContentSize(WindowRef w) {
  return CGSize{double(w->content.right - w->content.left), double(w->content.bottom - w->content.top)};
}

}  // namespace

bool WindowMakeRootView(WindowRef w) {
  w->root = ViewCreateRoot(w, w->target, ContentSize(w));
  return w->root != nullptr;
}

void WindowDropRootView(WindowRef w) {
  HIViewRef root = w->root;
  w->root = nullptr;
  if (root) ViewDisposeRoot(root);
}

void ToolbarStripRelayout(WindowRef w);  // toolbar/ToolbarStrip.cpp

void WindowRootResized(WindowRef w) {
  if (w->root) ViewSetRootSize(w->root, ContentSize(w));
  ToolbarStripRelayout(w);  // the strip is as wide as the content
}

void WindowRootActivationChanged(WindowRef w, bool active) {
  // The views hear kEventControlActivate / Deactivate with their window.
  if (w->root) HIViewSetActivated(w->root, active);
  if (w->strip) HIViewSetActivated(w->strip, active);
}

EventTargetRef WindowFocusTarget(WindowRef w) {
  ControlRef focus = nullptr;
  if (GetKeyboardFocus(w, &focus) == noErr && focus != nullptr) {
    EventTargetRef t = GetControlEventTarget(focus);
    if (t) return t;
  }
  return w->target;
}
