// Internal to the platform library: the window record as the view system,
// the interface-file loader and the hosts see it.
#pragma once

#include <string>

#include "HIView.h"
#include "MacWindows.h"

// True for a window not yet disposed.
bool WindowIsLive(WindowRef window);
// The event target of a live window, nil otherwise (the containment parent
// of its root view).
EventTargetRef WindowTarget(WindowRef window);
// The root view, made with the window; nil once the window is disposed.
HIViewRef WindowRootView(WindowRef window);
// The content in global coordinates.
CGRect WindowContentBounds(WindowRef window);
RGBColor WindowContentColorOf(WindowRef window);

// The window's toolbar strip: a root of views of its own, drawn above the
// content (its frame's origin is (0, -height) in content coordinates, so
// points in it have negative y there); nil when no toolbar shows.
HIViewRef WindowToolbarStrip(WindowRef window);
SInt16 WindowToolbarStripHeight(WindowRef window);

// The screen of the headless host; the GTK host sets the real one.
void WindowSetScreenBounds(const Rect& screen, SInt16 menuBarHeight);

// What a host learns of windows. Every member may be nil; the headless host
// leaves them all nil.
struct WindowHostHooks {
  void (*created)(WindowRef window);
  void (*disposed)(WindowRef window);
  void (*visibilityChanged)(WindowRef window, bool visible);
  void (*boundsChanged)(WindowRef window);
  void (*titleChanged)(WindowRef window);
  void (*orderChanged)(WindowRef window);
  void (*invalidated)(WindowRef window);
  // The opacity or the activation scope changed.
  void (*styleChanged)(WindowRef window);
};
void WindowSetHostHooks(const WindowHostHooks* hooks);

// Draws the window's content (its background and its view tree) into an
// image surface of the content's size (with the toolbar strip above it when
// one shows) and writes it as a PNG. The headless
// host's screenshot. paramErr for a dead window, ioErr when the file cannot
// be written.
OSStatus WindowWritePNG(WindowRef window, const std::string& path);
