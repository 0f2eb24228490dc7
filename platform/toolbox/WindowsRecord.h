// Private to the window files: the window record and what the window model
// asks of the view system.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "WindowInternal.h"

struct __CWindow {
  int refs = 1;
  bool disposed = false;
  WindowClass windowClass = kDocumentWindowClass;
  WindowAttributes attributes = 0;
  Rect content{};  // global
  CFStringRef title = nullptr;
  bool modified = false;
  bool hasProxy = false;
  bool proxyByType = false;
  FSRef proxy{};
  OSType proxyCreator = 0;
  OSType proxyType = 0;
  std::map<std::pair<OSType, OSType>, std::vector<UInt8>> properties;
  SRefCon refCon = 0;
  SInt16 kind = 0;
  bool visible = false;
  bool active = false;
  bool hilited = false;
  bool dragTracking = false;
  RGBColor contentColor{};
  WindowModality modality = kWindowModalityNone;
  WindowActivationScope activationScope = kWindowActivationScopeAll;
  CGFloat alpha = 1;
  WindowRef modalParent = nullptr;
  WindowRef sheetParent = nullptr;  // set while shown as a sheet
  WindowRef sheet = nullptr;        // the sheet shown on this window
  bool modalQuit = false;
  int modalRuns = 0;
  HISize minLimits{0, 0};
  HISize maxLimits{32767, 32767};
  Rect userState{};
  bool hasUserState = false;
  EventTargetRef target = nullptr;
  EventHandlerRef standardHandler = nullptr;
  HIViewRef root = nullptr;
  // The window toolbar (toolbar/), its strip of views, and the strip's
  // height while it shows (0 when hidden or none).
  HIObjectRef toolbar = nullptr;
  HIViewRef strip = nullptr;
  bool toolbarShown = false;
  SInt16 toolbarHeight = 0;
};

// Toolbar strip (toolbar/ToolbarWindow.cpp): ends the window's toolbar and strip.
void WindowDropToolbar(WindowRef w);
// Windows.cpp: the strip's height above the content (0: none shown).
void WindowSetToolbarHeight(WindowRef w, SInt16 height);

// WindowsViews.cpp: the root view of a window.
bool WindowMakeRootView(WindowRef w);
void WindowDropRootView(WindowRef w);
// The content changed size: the root view follows.
void WindowRootResized(WindowRef w);
void WindowRootActivationChanged(WindowRef w, bool active);
// Where keyboard and command events of the window start: its focused view,
// else the window itself.
EventTargetRef WindowFocusTarget(WindowRef w);
