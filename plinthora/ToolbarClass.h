// Internal to the controls library: the toolbar's records.
#pragma once

#include "plinthora/PlinthoraInternal.h"

// One item, kept byte for byte in a CFData of the toolbar's item array.
struct ToolbarItemInfo {
  SInt16 KIND;
  ToolbarItemRef REF;
  SInt16 INDEX;  // 1-based position in the list; also its part code
  Boolean HIDDEN;
  Str255 TEXT;
  void* ICON;
  SInt16 ICONTYPE;
  MenuRef MENU;
  WindowRef WINDOW;  // pop-up window
  ControlRef VIEW;   // the toolbar
  ToolbarItemOptions OPTIONS;
  UInt32 COMMAND;
  CGRect BOUNDS;  // where it was last drawn
  EventLoopTimerRef TIMER;
  // A button's host context, a slider's split view, a view item's view, an
  // animated item's data.
  void* CONTEXT;
};

struct ToolbarData {
  ControlRef VIEW;
  SInt16 STYLE;
  CFMutableArrayRef ITEMS;
  EventHandlerUPP WINDOWEVENTS;
  ToolbarOptions OPTIONS;
  SInt16 COUNT;  // the last reference given out
  ToolbarCallbacks CALLBACKS;
  // The pop-up window open now and the one handler that closes it.
  WindowRef POPUP;
  EventHandlerRef POPUPHANDLER;
};

constexpr CGFloat kItemMargin = 4;
constexpr CGFloat kSeperatorMargin = 2;
constexpr CGFloat kToolbarIconSize = 18;
