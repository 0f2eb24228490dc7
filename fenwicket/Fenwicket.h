// libFenwicket.so: the text view. A view of the class kWasteViewClassID
// wraps one text engine instance (the "controller") with its own scroll
// bars, gutter, background, contextual menu with spelling guesses, drag
// handling, word tracking and edit commands, and tells every registered
// callback client what happens in it.
//
// Only the 23 functions marked FENWICKET_EXPORT leave the library.
#pragma once

#define FENWICKET_EXPORT __attribute__((visibility("default")))

#include "CFString.h"
#include "CGContext.h"
#include "CGGeometry.h"
#include "Drag.h"
#include "HIView.h"
#include "MacTypes.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "ShortString.h"
#include "WASTE.h"

// The class of the text view and the creator under which its record hangs.
#define kWasteViewClassID CFStringMakeConstantUTF8("com.brindlecote.waste")
enum : OSType {
  kWasteCreatorTag = 'OEDE',
  kWasteDataPropertyTag = 'DATA',
  kWasteWindowMouseHandlerTag = 'mhnl',
  WEGutterObject = 'gttb',
};

// Options of a view: element n is bit n.
typedef UInt32 WasteViewOptions;
enum : UInt32 {
  kWasteViewDrawFocus = 0,
  kWasteViewDrawFrame = 1,
  kWasteViewDrawGutter = 2,
  kWasteViewDrawLineNumbers = 3,
  kWasteViewWordWrap = 4,
  kWasteViewVerticalScrollbar = 5,
  kWasteViewHorizantalScrollbar = 6,
  kWasteViewMatchPastedStyles = 7,
};
constexpr WasteViewOptions WasteOption(UInt32 element) { return WasteViewOptions(1) << element; }

enum : SInt16 {
  kScrollBarNormal = 16,
  kScrollBarSmall = 12,
};
enum : SInt32 {
  kDestRectWidth = 2000,
  kBaseInset = 4,
  kIdleTypingDelay = 40,  // ticks
  kFocusRectInset = 5,
  kScrollDelta = 10,
  kWheelScrollDelta = 75,
};
enum : OptionBits { kWasteStandardFlags = 0x10145 };

// Edit commands of the view beyond the standard ones.
enum : UInt32 {
  kHICommandShiftRight = 'TX->',
  kHICommandShiftLeft = 'TX<-',
  kHICommandInsertWord = 'inwd',
};

// ---------------------------------------------------------------------------
// Callback clients. Every procedure gets its own arguments, then the view's
// controller and the context of the registration. Lines are 1-based.

typedef Boolean (*WasteTextFilterProc)(UInt8 inKey, SInt32 inOffset, UInt32 inModifiers, UInt32 inKeyCode,
                                       WEReference inController, void* inContext);
typedef void (*WasteContextualMenuProc)(MenuRef inMenu, WEReference inController, void* inContext);
typedef OSStatus (*WasteReceiveDragProc)(const void* inFlavorData, FlavorType inFlavorType, SInt32 inOffset,
                                         DragRef inDrag, WEReference inController, void* inContext);
typedef void (*WasteHoverOffsetProc)(SInt32 inOffset, WEReference inController, void* inContext);
typedef void (*WasteTrackCursorProc)(SInt32 inAnchor, WEReference inController, void* inContext);
// The range holds the start and the end offset of the word.
typedef void (*WasteTrackWordProc)(CFStringRef inWord, const CFRange& inRange, WEReference inController,
                                   void* inContext);
// Each change of the text as the engine's change hook reports it (see
// WEFluxProcPtr in WASTE.h): (offset, +inserted) for new text, (offset,
// -removed) for a removal, and for a replacement both, the new text first and
// then the removal just after it. The paste and shift commands hold the
// reports back while they work and then give each one out as it was made.
typedef void (*WasteUserFluxProc)(SInt32 inOffset, SInt32 inDelta, UInt8 inPreviousChar, WEReference inController,
                                  void* inContext);
typedef void (*WasteClickGutterProc)(SInt32 inLine, Boolean& ioHandled, WEReference inController, void* inContext);
typedef void (*WasteClickContentProc)(const CGPoint& inPoint, SInt16 inMouseButton, UInt32 inModifiers,
                                      WEReference inController, void* inContext);
// The line range holds the start and the end offset of the line.
typedef void (*WasteDrawGutterProc)(CGContextRef inContext, SInt32 inLine, const CFRange& inLineRange,
                                    const CGRect& inCell, WEReference inController, void* inClientContext);
typedef void (*WasteDrawBackgroundProc)(CGContextRef inContext, const CGRect& inDirtyRect, WEViewReference inView,
                                        WEReference inController, void* inClientContext);
typedef void (*WasteFinishedLoadingProc)(WEReference inController, void* inContext);
typedef void (*WasteIdleTypingProc)(WEReference inController, void* inContext);
// The user may change the text while the clients accept input and the host
// has not made the engine read-only (weFReadOnly): each draw makes the engine
// read-only while the clients refuse and writable again once they accept,
// but never clears a read-only the host set (a console without clients).
typedef void (*WasteAcceptInputProc)(Boolean& ioAccept, WEReference inController, void* inContext);

struct WasteCustomCallbacks {
  WasteTextFilterProc TEXTFILTER;
  WasteContextualMenuProc CONTEXTUALMENU;
  WasteReceiveDragProc RECEIVEDRAG;
  WasteHoverOffsetProc HOVEROFFSET;  // never called by the view
  WasteTrackCursorProc TRACKCURSOR;
  WasteTrackWordProc TRACKWORD;
  WasteUserFluxProc USERFLUX;
  WasteClickGutterProc CLICKGUTTER;
  WasteClickContentProc CLICKCONTENT;
  WasteDrawGutterProc DRAWGUTTER;
  WasteDrawBackgroundProc DRAWBACKGROUND;
  WasteFinishedLoadingProc FINISHEDLOADING;  // never called by the view
  WasteIdleTypingProc IDLETYPING;
  WasteAcceptInputProc ACCEPTINPUT;
  void* CONTEXT;
};

// ---------------------------------------------------------------------------
// The exported interface

// Registers the class; once, before the first view is made.
FENWICKET_EXPORT void RegisterWasteClass();
// Makes the view's engine instance, wires it and answers it. A second call
// for the same view answers the instance it already has.
FENWICKET_EXPORT WEReference WasteCreateController(HIViewRef inView, WindowRef inWindow, WasteViewOptions inOptions);
// Appends a copy of the record whose context is inContext.
FENWICKET_EXPORT void WasteRegisterCallbackClient(HIViewRef inView, const WasteCustomCallbacks& inCallbacks,
                                                  void* inContext);
FENWICKET_EXPORT void WasteSetOptions(HIViewRef inView, WasteViewOptions inOptions);
FENWICKET_EXPORT void WasteChangeOptions(HIViewRef inView, WasteViewOptions inOptions, Boolean inUnset);
FENWICKET_EXPORT void WasteSetFluxState(HIViewRef inView, Boolean inState);
// Lays the text out again for the view's bounds and options.
FENWICKET_EXPORT void WasteUpdateView(HIViewRef inView);
FENWICKET_EXPORT void WasteSetScrollPosition(HIViewRef inView, CGPoint inPosition);
FENWICKET_EXPORT CGPoint WasteGetScrollPosition(HIViewRef inView);
FENWICKET_EXPORT void WasteSetGutterWidth(HIViewRef inView, SInt16 inWidth);
FENWICKET_EXPORT void WasteSetWordTrackingDelay(HIViewRef inView, float inDelay);
FENWICKET_EXPORT void WasteSetBackgroundColor(HIViewRef inView, CGRGB inColor);
// Kept, neither retained nor drawn.
FENWICKET_EXPORT void WasteSetBackgroundImage(HIViewRef inView, CGImageRef inImage);
// Edges: origin.x left, origin.y top, size.width right, size.height bottom.
FENWICKET_EXPORT void WasteSetContentInset(HIViewRef inView, CGRect inInset);
FENWICKET_EXPORT void WasteSetScrollBarInset(HIViewRef inView, CGRect inInset);
FENWICKET_EXPORT void WasteShowContextualMenu(SInt32 inOffset, HIViewRef inView);
FENWICKET_EXPORT HIViewRef WasteGetControllerView(WEReference inController);
FENWICKET_EXPORT WEReference WasteGetViewController(HIViewRef inView);
// The top left of the offset's insertion point in global screen pixels, and
// its line height.
FENWICKET_EXPORT CGPoint WEConvertOffsetToScreen(SInt32 inOffset, SInt16& outLineHeight, WEReference inController);
// The text of range.location (start) .. range.length (END), cut at 255.
FENWICKET_EXPORT Str255 WEGetStringRange(CFRange inRange, WEReference inController);
// The characters start .. end - 1 one by one (WEGetChar), cut at 255.
FENWICKET_EXPORT Str255 WERangeToString(SInt32 inStart, SInt32 inEnd, WEReference inController);
FENWICKET_EXPORT void WEInvokeUserFluxCallback(SInt32 inOffset, SInt32 inDelta, WEReference inController);
FENWICKET_EXPORT void WEToggleFluxCallback(WEReference inController);
