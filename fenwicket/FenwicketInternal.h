// Internal to the text view library: the per-view record and the routines
// the parts of the library share.
#pragma once

#include <utility>
#include <vector>

#include "CFArray.h"
#include "fenwicket/Fenwicket.h"

struct WasteScrollBars {
  ControlRef H;
  ControlRef V;
};

struct StandardCallbacks {
  DragTrackingHandlerUPP TRACKINGHANDLER;
  DragReceiveHandlerUPP RECEIVEHANDLER;
  WETextFilterProcPtr TEXTFILTER;
  void* PREVIEWVIEW;  // not used
  WEScrollProcPtr SCROLLER;
  void* DRAGTRANSLATOR;  // not used
  WECGEraseProcPtr ERASEBACKGROUND;
  WETranslateDragProcPtr TRANSLATEDRAG;
  WEFluxProcPtr FLUX;
  CFMutableArrayRef CUSTOM;  // the clients: raw blocks owned by the array
  ControlActionUPP SCROLLBAR;
};

struct WasteWordTracking {
  CFStringRef WORD;  // not used
  CFRange RANGE;     // location = start offset, length = END offset
  double DELAY;      // event time the countdown started; 0 = none
  float USERDELAY;   // seconds
  Boolean SESSION;
  EventLoopTimerRef TIMER;  // not used
};

struct WasteData {
  ControlRef VIEW;
  WEReference CONTROLLER;
  WasteViewOptions OPTIONS;
  WasteScrollBars SCROLLBAR;
  StandardCallbacks CALLBACKS;
  SInt16 SCROLLBARWIDTH;
  CGRect SCROLLBARINSET;
  CGRect CONTENTINSET;
  SInt16 GUTTERWIDTH;
  CGRGB BACKGROUND;
  CGImageRef IMAGE;
  EventLoopTimerRef TIMER;
  EventHandlerRef MOUSEHANDLER;
  EventHandlerRef COMMANDHANDLER;
  EventHandlerRef INPUTHANDLER;  // asks the clients as text comes in
  HIViewTrackingAreaRef TRACKINGAREA;
  CFRange LASTSELECTION;  // location = start, length = END
  UInt8 PREVIOUSCHAR;
  Boolean USERTYPING;
  Boolean FLUXSTATE;
  UInt32 IDLETIME;
  WasteWordTracking WORDTRACKING;

  // While an edit command of the view runs with notifications off, the
  // engine's changes are collected here and announced afterwards.
  std::vector<std::pair<SInt32, SInt32>>* changeLog;
  // The engine is read-only because the clients refused input at the last
  // draw (and not because the host made it so, which the view leaves alone).
  Boolean readOnlyForClients;
  // The line count's digits the gutter was last measured for, and the width
  // its numbers need then (0: not measured).
  SInt16 gutterDigits;
  SInt16 gutterNumbersWidth;
};

namespace fenwicket {

inline bool HasOption(const WasteData* data, UInt32 element) { return (data->OPTIONS >> element) & 1; }

// Records and layout (FenwicketLibrary.cpp).
OSStatus LayoutView(WasteData* data);
// The gutter's width: the one set, widened to hold the numbers of every
// line when they are drawn (FenwicketDrawing.cpp).
SInt16 GutterWidth(WasteData* data);
// After a change: when the line count gained or lost a digit, the gutter
// takes its new width and the text moves beside it.
void FollowLineCountDigits(WasteData* data);
WasteData* DataOfView(HIViewRef view);
WasteData* DataOfController(WEReference we);
// The text view at or above the view (a scroll bar's text view), or nil.
WasteData* TextViewAtOrAbove(HIViewRef view);

// Clients (FenwicketClients.cpp).
Boolean AcceptsInput(WasteData* data);
// Whether the user may change the text: the clients accept input and the
// host has not made the engine read-only.
Boolean InputAllowed(WasteData* data);
// Makes the engine read-only while the clients refuse input, and writable
// again when they accept, unless the host made it read-only itself.
void ApplyClientsReadOnly(WasteData* data);
void NotifyUserFlux(WasteData* data, SInt32 offset, SInt32 delta, UInt8 previousChar);
void NotifyContextualMenu(WasteData* data, MenuRef menu);
OSStatus AskReceiveDrag(WasteData* data, const void* bytes, FlavorType type, DragRef drag);
void NotifyTrackCursor(WasteData* data, SInt32 anchor);
void NotifyTrackWord(WasteData* data, CFStringRef word, const CFRange& range);
void NotifyDrawGutter(WasteData* data, CGContextRef context, SInt32 line, const CFRange& range, const CGRect& cell);
void NotifyDrawBackground(WasteData* data, CGContextRef context, const CGRect& dirty, WEViewReference view);
void NotifyIdleTyping(WasteData* data);
Boolean TextFilterHook(void* component, Handle text, UInt32 modifiers, UInt32 keyCode, WEReference we);
void FluxHook(SInt32 offset, SInt32 delta, WEReference we);
// A click at the QuickDraw point (root-view coordinates).
OSStatus ClickInView(WasteData* data, Point where, UInt16 button, UInt32 modifiers, EventTime when);
// The byte the text filters hear for a typed text of one UTF-16 unit.
UInt8 KeyCharacter(const UniChar* text, size_t count);

// Scroll bars and drawing (FenwicketDrawing.cpp).
void CreateScrollBars(WasteData* data);
void LayOutScrollBars(WasteData* data);
void ShowScrollBarsForOptions(WasteData* data);
void FollowText(WasteData* data);
void ScrollToBars(WasteData* data);
void ScrollByWheel(WasteData* data, UInt16 axis, SInt32 delta);
bool CanDraw(HIViewRef view);
OSStatus DrawView(WasteData* data, EventRef event);
void ScrollHook(WEReference we);
void EraseHook(CGContextRef context, const CGRect* dirty, WEViewReference view, WEReference we);
void ScrollBarAction(ControlRef bar, ControlPartCode part);

// Contextual menu and spelling (FenwicketMenu.cpp).
void ShowContextualMenu(WasteData* data, SInt32 offset);
// The engine's guesses for a misspelled word (the caller releases the
// array): empty for a correct word or without a dictionary, nil on failure.
CFArrayRef CopySpellingGuesses(CFStringRef word, WEReference we);

// Drags, timer and word tracking (FenwicketTracking.cpp).
OSErr DragTrackingHandler(DragTrackingMessage message, WindowRef window, void* refCon, DragRef drag);
OSErr DragReceiveHandler(WindowRef window, void* refCon, DragRef drag);
OSErr TranslateDragHook(DragRef drag, DragItemRef item, FlavorType type, Handle data, WEReference we);
void TrackingTimer(EventLoopTimerRef timer, void* userData);
void UpdateWordTracking(WasteData* data, SInt32 offset, SInt32 delta);

// Commands (FenwicketCommands.cpp).
OSStatus CommandHandler(EventHandlerCallRef call, EventRef event, void* userData);

}  // namespace fenwicket
