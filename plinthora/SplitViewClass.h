// Internal to the controls library: the split view's record.
#pragma once

#include "plinthora/PlinthoraInternal.h"

// A running collapse or expand.
struct SplitViewAnimation {
  CFRange FRAME;  // location: start position, length: target position
  ControlRef PANE1;
  ControlRef PANE2;
  SInt16 SIDE;
  Boolean SHOW;  // expanding
  SInt16 SAVED;  // where an expand brings the splitter back
};

struct SplitViewData {
  ControlRef VIEW;
  float RATIO;
  float POSITION;
  CGRect SPLITFRAME;
  SplitViewAnimation ANIMATION;
  SInt16 ORIENTATION;
  CFRange LIMIT;   // location: least position; length: room kept at the far edge
  CFRange MARGIN;  // location: left inset of the first pane; length: bottom inset of the second
  SInt16 STYLE;
  Str63 TITLE;
  SInt16 HIDE;  // the collapsed side, 0 none
  SInt16 SHUT;  // 1 bottom or 3 right pane shut: the splitter keeps to the far edge
  Boolean ASYNCH;
  ControlRef PANE1;
  ControlRef PANE2;
  SplitViewNotificationCallback NOTIFICATIONCALLBACK;
  SplitViewCreatePaneCallback CREATEPANESCALLBACK;
  void* CALLBACKCONTEXT;
  EventHandlerUPP WINDOWEVENTS;  // none is installed
  EventLoopTimerRef TIMER;
};
