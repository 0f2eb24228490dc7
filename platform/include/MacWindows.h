// Windows: reference-counted window records with a class, attributes, global
// bounds, a title, properties keyed by (creator, tag), a place in one
// front-to-back list, an event target whose containment parent is the
// application, and a root view that holds the window's views. The hosts show
// them; the headless host shows nothing and renders them on request.
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "Files.h"
#include "MacTypes.h"

typedef UInt32 WindowClass;
typedef UInt32 WindowAttributes;
typedef UInt16 WindowRegionCode;
typedef UInt32 WindowPositionMethod;
typedef UInt32 WindowModality;
typedef UInt32 WindowTransitionEffect;
typedef UInt32 WindowTransitionAction;
typedef UInt32 WindowActivationScope;
typedef OSType PropertyCreator;
typedef OSType PropertyTag;
typedef CGRect HIRect;
typedef CGSize HISize;
typedef CGPoint HIPoint;
typedef SInt16 WindowPartCode;
typedef struct GDevice** GDHandle;  // there is one screen: any value names it
typedef struct __CWindow* GrafPtr;  // a window's port is the window itself
typedef GrafPtr CGrafPtr;

enum : WindowClass {
  kAlertWindowClass = 1,
  kModalWindowClass = 2,
  kMovableModalWindowClass = 3,
  kMovableAlertWindowClass = 4,
  kFloatingWindowClass = 5,
  kDocumentWindowClass = 6,
  kUtilityWindowClass = 8,
  kHelpWindowClass = 10,
  kSheetWindowClass = 11,
  kToolbarWindowClass = 12,
  kPlainWindowClass = 13,
  kOverlayWindowClass = 14,
  kSheetAlertWindowClass = 15,
  kAltPlainWindowClass = 16,
  kDrawerWindowClass = 20,
  kAllWindowClasses = 0xFFFFFFFF,
};

enum : WindowAttributes {
  kWindowNoAttributes = 0,
  kWindowCloseBoxAttribute = 1u << 0,
  kWindowHorizontalZoomAttribute = 1u << 1,
  kWindowVerticalZoomAttribute = 1u << 2,
  kWindowFullZoomAttribute = kWindowHorizontalZoomAttribute | kWindowVerticalZoomAttribute,
  kWindowCollapseBoxAttribute = 1u << 3,
  kWindowResizableAttribute = 1u << 4,
  kWindowSideTitlebarAttribute = 1u << 5,
  kWindowToolbarButtonAttribute = 1u << 6,
  kWindowUnifiedTitleAndToolbarAttribute = 1u << 7,
  kWindowMetalAttribute = 1u << 8,  // a look only: drawn like any window
  kWindowNoTitleBarAttribute = 1u << 9,
  kWindowMetalNoContentSeparatorAttribute = 1u << 11,
  kWindowDoesNotCycleAttribute = 1u << 15,
  kWindowNoUpdatesAttribute = 1u << 16,
  kWindowNoActivatesAttribute = 1u << 17,
  kWindowOpaqueForEventsAttribute = 1u << 18,
  kWindowCompositingAttribute = 1u << 19,
  kWindowNoShadowAttribute = 1u << 21,
  kWindowAsyncDragAttribute = 1u << 23,
  kWindowHideOnSuspendAttribute = 1u << 24,
  kWindowStandardHandlerAttribute = 1u << 25,
  kWindowHideOnFullScreenAttribute = 1u << 26,
  kWindowInWindowMenuAttribute = 1u << 27,
  kWindowLiveResizeAttribute = 1u << 28,
  kWindowIgnoreClicksAttribute = 1u << 29,
  kWindowNoConstrainAttribute = 1u << 31,
  kWindowStandardDocumentAttributes =
      kWindowCloseBoxAttribute | kWindowFullZoomAttribute | kWindowCollapseBoxAttribute | kWindowResizableAttribute,
  kWindowStandardFloatingAttributes = kWindowCloseBoxAttribute | kWindowCollapseBoxAttribute,
};

enum : WindowRegionCode {
  kWindowTitleBarRgn = 0,
  kWindowTitleTextRgn = 1,
  kWindowCloseBoxRgn = 2,
  kWindowZoomBoxRgn = 3,
  kWindowDragRgn = 5,
  kWindowGrowRgn = 6,
  kWindowCollapseBoxRgn = 7,
  kWindowTitleProxyIconRgn = 8,
  kWindowStructureRgn = 32,
  kWindowContentRgn = 33,
  kWindowUpdateRgn = 34,
  kWindowOpaqueRgn = 35,
  kWindowGlobalPortRgn = 40,
  kWindowToolbarButtonRgn = 41,
};

enum : WindowPositionMethod {
  kWindowCenterOnMainScreen = 1,
  kWindowCenterOnParentWindow = 2,
  kWindowCenterOnParentWindowScreen = 3,
  kWindowCascadeOnMainScreen = 4,
  kWindowCascadeOnParentWindow = 5,
  kWindowCascadeOnParentWindowScreen = 6,
  kWindowAlertPositionOnMainScreen = 7,
  kWindowAlertPositionOnParentWindow = 8,
  kWindowAlertPositionOnParentWindowScreen = 9,
  kWindowCascadeStartAtParentWindowScreen = 10,
};

enum : WindowModality {
  kWindowModalityNone = 0,
  kWindowModalitySystemModal = 1,
  kWindowModalityAppModal = 2,
  kWindowModalityWindowModal = 3,
};

// Which windows a window's activation deactivates. A window of scope none is
// never activated by the window system (it never takes the keyboard focus
// nor becomes the active non-floating window): pop-up lists use it.
enum : WindowActivationScope {
  kWindowActivationScopeNone = 0,
  kWindowActivationScopeIndependent = 1,
  kWindowActivationScopeAll = 2,
};

enum : WindowTransitionEffect {
  kWindowZoomTransitionEffect = 1,
  kWindowSheetTransitionEffect = 2,
  kWindowSlideTransitionEffect = 3,
  kWindowFadeTransitionEffect = 4,
  kWindowGenieTransitionEffect = 5,
};

enum : WindowTransitionAction {
  kWindowShowTransitionAction = 1,
  kWindowHideTransitionAction = 2,
  kWindowMoveTransitionAction = 3,
  kWindowResizeTransitionAction = 4,
};

// Window kinds: a free number for the program (GetWindowKind).
enum : SInt16 {
  kApplicationWindowKind = 8,
  kDialogWindowKind = 2,
};

// Window Manager statuses.
enum : OSStatus {
  errUnsupportedWindowAttributesForClass = -5601,
  errWindowDoesNotHaveProxy = -5602,
  errInvalidWindowProperty = -5603,
  errWindowPropertyNotFound = -5604,
  errUnrecognizedWindowClass = -5605,
  errCorruptWindowDescription = -5606,
  errWindowNotFound = -5610,
  windowAttributeImmutableErr = -5612,
  windowAttributesConflictErr = -5613,
  windowWrongStateErr = -5615,
  windowAppModalStateAlreadyExistsErr = -5617,
  windowNoAppModalStateErr = -5618,
};

// Window event parameters.
enum : EventParamName {
  kEventParamWindowRegionCode = 'wshp',
  kEventParamWindowDefPart = 'wdpc',
  kEventParamWindowPartCode = 'wpar',
  kEventParamWindowStateChangedFlags = 'wscf',
  kEventParamWindowTransitionAction = 'wtac',
  kEventParamWindowTransitionEffect = 'wtef',
  kEventParamCloseAllWindows = 'aqit',  // also asked by the quit sequence
  kEventParamDimensions = 'dims',       // the ideal size, a QuickDraw point (h width, v height)
};
enum : EventParamType {
  typeWindowRegionCode = 'wshp',
  typeWindowPartCode = 'wpar',
};

// Window events beyond those the event core names.
enum : EventKind {
  kEventWindowExpanded = 70,
  kEventWindowZoomed = 76,
  kEventWindowCollapse = 66,
  kEventWindowZoom = 75,
  kEventWindowGetIdealSize = 80,
  kEventWindowGetMinimumSize = 81,
  kEventWindowGetMaximumSize = 82,
  kEventWindowSheetOpening = 210,
  kEventWindowSheetOpened = 211,
  kEventWindowSheetClosing = 212,
  kEventWindowSheetClosed = 213,
  kEventWindowTransitionStarted = 88,
  kEventWindowTransitionCompleted = 89,
};

// kEventWindowBoundsChanged attributes ('attr').
enum : UInt32 {
  kWindowBoundsChangeUserDrag = 1u << 0,
  kWindowBoundsChangeUserResize = 1u << 1,
  kWindowBoundsChangeSizeChanged = 1u << 2,
  kWindowBoundsChangeOriginChanged = 1u << 3,
  kWindowBoundsChangeZoom = 1u << 4,
};

// --- Life ---------------------------------------------------------------------
// Creates a hidden window whose content has the global bounds given; the
// caller owns one reference. An unknown class gives errUnrecognizedWindowClass,
// an empty or inverted rectangle paramErr.
OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* contentBounds,
                         WindowRef* outWindow);
// Takes the window out of the list at once (hidden, no longer front, no
// events), sends ('wind', 73) closed and ('wind', 1005) dispose to it, and
// frees the record when the last reference goes.
void DisposeWindow(WindowRef window);
OSStatus RetainWindow(WindowRef window);
// The last reference disposes the window as DisposeWindow does.
OSStatus ReleaseWindow(WindowRef window);
ItemCount GetWindowRetainCount(WindowRef window);
// True for a window not yet disposed.
Boolean IsValidWindowPtr(WindowPtr possibleWindow);

// --- Class and attributes -------------------------------------------------------
OSStatus GetWindowClass(WindowRef window, WindowClass* outClass);
OSStatus SetWindowClass(WindowRef window, WindowClass inWindowClass);
OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes);
OSStatus ChangeWindowAttributes(WindowRef window, WindowAttributes setTheseAttributes,
                                WindowAttributes clearTheseAttributes);
OSStatus SetWindowModality(WindowRef inWindow, WindowModality inModalKind, WindowRef inUnavailableWindow);
OSStatus GetWindowModality(WindowRef inWindow, WindowModality* outModalKind, WindowRef* outUnavailableWindow);

// --- Geometry (global coordinates: the screen's top-left is 0,0) ---------------
// The structure is the content plus the frame: a title bar above the content
// for classes that have one (none with kWindowNoTitleBarAttribute).
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds);
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, const Rect* globalBounds);
OSStatus HIWindowGetBounds(WindowRef inWindow, WindowRegionCode inRegion, UInt32 inSpace, HIRect* outBounds);
// The content's origin moves to the point (front ignored: use SelectWindow).
void MoveWindow(WindowRef window, short hGlobal, short vGlobal, Boolean front);
void SizeWindow(WindowRef window, short w, short h, Boolean fUpdate);
OSStatus RepositionWindow(WindowRef window, WindowRef parentWindow, WindowPositionMethod method);
// The content in local coordinates: (0, 0, height, width).
Rect* GetWindowPortBounds(WindowRef window, Rect* bounds);
// The screen area windows may use: the whole screen less the menu bar.
OSStatus GetAvailableWindowPositioningBounds(GDHandle inDevice, Rect* outAvailableRect);
OSStatus HIWindowGetAvailablePositioningBounds(UInt32 inDisplay, UInt32 inSpace, HIRect* outAvailableRect);
OSStatus SetWindowResizeLimits(WindowRef inWindow, const HISize* inMinLimits, const HISize* inMaxLimits);
OSStatus GetWindowResizeLimits(WindowRef inWindow, HISize* outMinLimits, HISize* outMaxLimits);

// --- Title, modified mark, proxy ------------------------------------------------
OSStatus SetWindowTitleWithCFString(WindowRef inWindow, CFStringRef inString);
OSStatus CopyWindowTitleAsCFString(WindowRef inWindow, CFStringRef* outString);
OSStatus SetWindowModified(WindowRef window, Boolean modified);
Boolean IsWindowModified(WindowRef window);
OSStatus SetWindowProxyFSRef(WindowRef window, const FSRef* inRef);
OSStatus HIWindowSetProxyFSRef(WindowRef window, const FSRef* inRef);
// errWindowDoesNotHaveProxy when none is set.
OSStatus GetWindowProxyFSRef(WindowRef window, FSRef* outRef);
OSStatus SetWindowProxyCreatorAndType(WindowRef window, OSType fileCreator, OSType fileType, SInt16 vRefNum);
OSStatus RemoveWindowProxy(WindowRef window);

// --- Data ----------------------------------------------------------------------
// Properties: bytes keyed by (creator, tag). A missing one gives
// errWindowPropertyNotFound; a buffer smaller than the value errInvalidWindowProperty
// with nothing written.
OSStatus SetWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag,
                           ByteCount propertySize, const void* propertyBuffer);
OSStatus GetWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag,
                           ByteCount bufferSize, ByteCount* actualSize, void* propertyBuffer);
OSStatus GetWindowPropertySize(WindowRef window, PropertyCreator creator, PropertyTag tag, ByteCount* size);
OSStatus RemoveWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag);
// The reference constant is pointer-sized.
void SetWRefCon(WindowRef window, SRefCon data);
SRefCon GetWRefCon(WindowRef window);
void SetWindowKind(WindowRef window, SInt16 kind);
SInt16 GetWindowKind(WindowRef window);
// Controls of the window receive drag events ('cntl' 18-21) when on.
OSStatus SetAutomaticControlDragTrackingEnabledForWindow(WindowRef inWindow, Boolean inTracks);
OSStatus IsAutomaticControlDragTrackingEnabledForWindow(WindowRef inWindow, Boolean* outTracks);
OSStatus SetWindowContentColor(WindowRef window, const RGBColor* color);
OSStatus GetWindowContentColor(WindowRef window, RGBColor* color);
// The theme brush becomes the content colour (theme brushes of the window backgrounds).
OSStatus SetThemeWindowBackground(WindowRef inWindow, SInt16 inBrush, Boolean inUpdate);

// --- Look and activation scope ---------------------------------------------------
// The window's opacity, 0 (invisible) to 1 (opaque; the default). Values
// outside are clamped. The desktop host shows it where the display composites.
OSStatus SetWindowAlpha(WindowRef inWindow, CGFloat inAlpha);
OSStatus GetWindowAlpha(WindowRef inWindow, CGFloat* outAlpha);
// kWindowActivationScopeAll by default. Setting scope none on the active
// window hands the activation to the next window that may take it; the
// desktop host shows a window of scope none as a pop-up that never takes the
// keyboard focus, kept above the window that was active when it showed.
OSStatus SetWindowActivationScope(WindowRef inWindow, WindowActivationScope inScope);
OSStatus GetWindowActivationScope(WindowRef inWindow, WindowActivationScope* outScope);

// --- Visibility, order, activation ------------------------------------------------
// Showing sends ('wind' 22) showing and 24 shown; hiding 23 hiding and 25
// hidden. Showing a window that may be activated activates it when it
// becomes the front window of its layer.
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
void ShowHide(WindowRef window, Boolean showFlag);
Boolean IsWindowVisible(WindowRef window);
// Brings the window to the front of its layer and activates it; the window
// active before is deactivated.
void SelectWindow(WindowRef window);
void BringToFront(WindowRef window);
// Behind the given window; nil sends it to the back of its layer.
void SendBehind(WindowRef window, WindowRef behindWindow);
OSStatus ActivateWindow(WindowRef inWindow, Boolean inActivate);
Boolean IsWindowActive(WindowRef inWindow);
OSStatus HiliteWindow(WindowRef window, Boolean fHilite);
Boolean IsWindowHilited(WindowRef window);
// Visible windows front to back; floating windows come before the others.
WindowRef FrontWindow();
WindowRef FrontNonFloatingWindow();
WindowRef ActiveNonFloatingWindow();
WindowRef GetFrontWindowOfClass(WindowClass inWindowClass, Boolean mustBeVisible);
WindowRef GetNextWindowOfClass(WindowRef inWindow, WindowClass inWindowClass, Boolean mustBeVisible);
// Every window, visible or not, in list order (front to back).
WindowRef GetWindowList();
WindowRef GetNextWindow(WindowRef window);
// The window that holds the keyboard focus: the active non-floating window.
WindowRef GetUserFocusWindow();
OSStatus SetUserFocusWindow(WindowRef inWindow);
// Events that reach no handler of the window climb to the application.
EventTargetRef GetWindowEventTarget(WindowRef inWindow);
EventTargetRef GetUserFocusEventTarget();
inline OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler, ItemCount numTypes,
                                          const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
  return InstallEventHandler(GetWindowEventTarget(window), handler, numTypes, list, userData, outRef);
}
// Ports exist only for coordinates: the port of a window is the window.
CGrafPtr GetWindowPort(WindowRef window);
WindowRef GetWindowFromPort(CGrafPtr port);
void SetPortWindowPort(WindowRef window);
void SetPort(GrafPtr port);
void GetPort(GrafPtr* port);
// Between the current port's local coordinates and global ones.
void LocalToGlobal(Point* pt);
void GlobalToLocal(Point* pt);

// --- Sheets and modal runs ------------------------------------------------------
// The sheet is shown attached to its parent, centred on its top edge, and
// the parent refuses a second sheet (windowWrongStateErr).
OSStatus ShowSheetWindow(WindowRef inSheet, WindowRef inParentWindow);
OSStatus HideSheetWindow(WindowRef inSheet);
OSStatus GetSheetWindowParent(WindowRef inSheet, WindowRef* outParentWindow);
Boolean IsWindowSheet(WindowRef inWindow);  // a shown sheet
OSStatus GetWindowSheet(WindowRef inParent, WindowRef* outSheet);
// Shows the window and runs the event loop until QuitAppModalLoopForWindow
// names it; timers keep firing. Runs nest.
OSStatus RunAppModalLoopForWindow(WindowRef inWindow);
OSStatus QuitAppModalLoopForWindow(WindowRef inWindow);
OSStatus BeginAppModalStateForWindow(WindowRef inWindow);
OSStatus EndAppModalStateForWindow(WindowRef inWindow);

// --- Transitions (reach their end state at once) ----------------------------------
struct TransitionWindowOptions {
  UInt32 version;  // 0
  EventTime duration;
  WindowRef window;
  void* userData;
};
OSStatus TransitionWindow(WindowRef inWindow, WindowTransitionEffect inEffect, WindowTransitionAction inAction,
                          const Rect* inRect);
OSStatus TransitionWindowWithOptions(WindowRef inWindow, WindowTransitionEffect inEffect,
                                     WindowTransitionAction inAction, const HIRect* inBounds, Boolean inAsync,
                                     TransitionWindowOptions* inOptions);

// --- Standard behaviour -------------------------------------------------------
// Installs the standard window handler (also given by
// kWindowStandardHandlerAttribute at creation): ('wind' 72) close disposes
// the window, the commands 'clos' and 'zoom' close and zoom the focus window.
OSStatus InstallStandardEventHandler(EventTargetRef inTarget);
// Asks the window to close as the close box does: sends ('wind' 72) close.
OSStatus HIWindowClose(WindowRef inWindow);
// Sends ('wind', 80) for the ideal size and zooms between standard and user states.
Boolean IsWindowInStandardState(WindowRef inWindow, Point* inIdealSize, Rect* outIdealStandardState);
OSStatus ZoomWindowIdeal(WindowRef inWindow, WindowPartCode inPartCode, Point* ioIdealSize);
