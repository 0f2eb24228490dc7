// Internal to the controls library: the tab view's record, its image sets
// and per-style metrics.
#pragma once

#include "plinthora/PlinthoraInternal.h"

struct TabData {
  ControlRef VIEW;
  SInt16 ACTIVE;    // 1-based index of the selected tab; 0 when none
  SInt16 STYLE;     // image style 1-4
  SInt16 TRACKING;  // the tab under the mouse at the last hit test
  Boolean VISIBLE;
  Boolean HILITE;  // a drag that every item of it is accepted is over the view
  Boolean AUTORELEASE;
  UInt32 HOVERTIME;  // tick count at which a drag began to hover over HOVERITEM
  SInt16 HOVERITEM;
  SInt16 VISIBLETABS;
  TabCallbacks CALLBACKS;
  void* CONTEXT;
  TabViewOptions OPTIONS;
  CFMutableArrayRef ITEMS;  // CFData of TabInfo, in display order
  EventLoopTimerRef TIMER;  // drag hover
  // The tab commands' handler on the view's window, from the first draw on.
  EventHandlerRef COMMANDHANDLER;
};

// --- Images --------------------------------------------------------------------------

enum : SInt16 {
  kTabStyleStandardID = 1,
  kTabImageStyles = 4,
  kTabImageStateActive = 1,
  kTabImageStateInactive = 2,
  kTabImageStatePressed = 3,
};

constexpr CGFloat kDefaultWidth = 140;
constexpr CGFloat kDefaultIconSize = 16;
constexpr CGFloat kDefaultHorizantalTextInset = 9;

struct ATSURGBAlphaColorRec {
  float red, green, blue, alpha;
};

struct TabImageMetrics {
  CGPoint BUTTONOFFSET;       // close box inset: x from the tab's right edge, y from the top
  CGPoint BUTTONPRESSOFFSET;  // added while the close box is pressed
  CGPoint ICONOFFSET;
  Boolean ICONSHADOW, TEXTSHADOW, TEXTEMBOSS;
  SInt16 MARGIN;  // added per tab to the spacing
  SInt16 STARTOFFSET;
  SInt16 VERTICALOFFSET;
  UInt16 ACTIVEFONTID, INACTIVEFONTID;
  ATSURGBAlphaColorRec TEXTCOLORACTIVE, TEXTCOLORINACTIVE, TEXTCOLORPRESSED;
};

// Indexed [1..3] by the tab draw state; slot 0 unused.
typedef CGImageRef TabImageState[4];

struct TabImageRec {
  TabImageMetrics METRICS;
  CGImageRef BACKGROUND;
  TabImageState LEFT, RIGHT, CENTER;
  TabImageState CLOSE[4];  // [close box state][tab state]
};

// Indexed [1..4] by style; slot 0 unused. Never released.
extern TabImageRec TabImages[kTabImageStyles + 1];

// The style of a name; any other name is the standard style.
SInt16 GetTabStyleIndex(const Str63& name);
void SetDefaultMetrics(SInt16 style, TabImageMetrics& metrics);
void LoadTabImages();
