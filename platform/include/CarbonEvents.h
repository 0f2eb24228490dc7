// Carbon events: event records with typed, named parameters, event targets
// with stacks of handlers, synchronous dispatch up the containment chain, the
// main event queue, the event loop and event-loop timers. Everything here is
// display-independent and runs on the main thread (event records themselves
// may be built on any thread and posted to the main queue).
#pragma once

#include "CFBase.h"
#include "MacTypes.h"

// ---------------------------------------------------------------------------
// Opaque references

typedef struct __CEvent* EventRef;
typedef struct __CEventTarget* EventTargetRef;
typedef struct __CEventHandler* EventHandlerRef;
typedef struct __CEventHandlerCall* EventHandlerCallRef;
typedef struct __CEventQueue* EventQueueRef;
typedef struct __CEventLoop* EventLoopRef;
typedef struct __CEventLoopTimer* EventLoopTimerRef;

// Objects of the menu and view system that travel in events. Their records
// are defined by the areas that own them (menus, windows, views).
typedef struct __CMenu* MenuRef;
typedef MenuRef MenuHandle;
typedef SInt16 MenuID;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuCommand;
typedef struct __CWindow* WindowRef;
typedef WindowRef WindowPtr;
typedef struct __CView* ControlRef;
typedef ControlRef HIViewRef;
typedef struct __CHIObject* HIObjectRef;

// ---------------------------------------------------------------------------
// Scalar types

typedef UInt32 EventClass;
typedef UInt32 EventKind;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 EventAttributes;
typedef SInt16 EventPriority;

typedef double EventTime;  // seconds
typedef EventTime EventTimeout;
typedef EventTime EventTimerInterval;

constexpr EventTime kEventDurationSecond = 1.0;
constexpr EventTime kEventDurationMillisecond = kEventDurationSecond / 1000;
constexpr EventTime kEventDurationMicrosecond = kEventDurationSecond / 1000000;
constexpr EventTime kEventDurationNanosecond = kEventDurationSecond / 1000000000;
constexpr EventTime kEventDurationMinute = kEventDurationSecond * 60;
constexpr EventTime kEventDurationHour = kEventDurationMinute * 60;
constexpr EventTime kEventDurationDay = kEventDurationHour * 24;
constexpr EventTime kEventDurationNoWait = 0.0;
constexpr EventTime kEventDurationForever = -1.0;

inline EventTime TicksToEventTime(UInt32 ticks) { return ticks / 60.0; }
inline UInt32 EventTimeToTicks(EventTime t) { return t <= 0 ? 0 : UInt32(t * 60.0); }

enum : EventAttributes {
  kEventAttributeNone = 0,
  kEventAttributeUserEvent = 1 << 0,
  kEventAttributeMonitored = 1 << 3,
};

enum : EventPriority {
  kEventPriorityLow = 0,
  kEventPriorityStandard = 1,
  kEventPriorityHigh = 2,
};

struct EventTypeSpec {
  EventClass eventClass;
  EventKind eventKind;
};

// ---------------------------------------------------------------------------
// Event classes

enum : EventClass {
  kEventClassMouse = 'mous',
  kEventClassKeyboard = 'keyb',
  kEventClassTextInput = 'text',
  kEventClassApplication = 'appl',
  kEventClassAppleEvent = 'eppc',
  kEventClassMenu = 'menu',
  kEventClassWindow = 'wind',
  kEventClassControl = 'cntl',
  kEventClassCommand = 'cmds',
  kEventClassHIObject = 'hiob',
  kEventClassScrollable = 'scrl',
  kEventClassToolbar = 'tbar',
  kEventClassToolbarItem = 'tbit',
  kEventClassToolbarItemView = 'tbiv',
  kEventClassTextField = 'txfd',
  kEventClassAccessibility = 'accs',
  kEventClassAppearance = 'appm',
  kEventClassService = 'serv',
};

// Command events.
enum : EventKind {
  kEventCommandProcess = 1,
  kEventCommandUpdateStatus = 2,
};

// Mouse events.
enum : EventKind {
  kEventMouseDown = 1,
  kEventMouseUp = 2,
  kEventMouseMoved = 5,
  kEventMouseDragged = 6,
  kEventMouseEntered = 8,
  kEventMouseExited = 9,
  kEventMouseWheelMoved = 10,
};

// Keyboard and text input events.
enum : EventKind {
  kEventRawKeyDown = 1,
  kEventRawKeyRepeat = 2,
  kEventRawKeyUp = 3,
  kEventRawKeyModifiersChanged = 4,
  kEventTextInputUpdateActiveInputArea = 1,
  kEventTextInputUnicodeForKeyEvent = 2,
  kEventTextInputOffsetToPos = 3,
  kEventTextInputPosToOffset = 4,
  kEventTextInputGetSelectedText = 6,
  kEventTextInputUnicodeText = 7,
};

// Application events.
enum : EventKind {
  kEventAppActivated = 1,
  kEventAppDeactivated = 2,
  kEventAppQuit = 3,
  kEventAppHidden = 107,
  kEventAppShown = 108,
};

// Window events.
enum : EventKind {
  kEventWindowUpdate = 1,
  kEventWindowDrawContent = 2,
  kEventWindowActivated = 5,
  kEventWindowDeactivated = 6,
  kEventWindowGetClickActivation = 7,
  // Sent to a window (and on to the application) on every click in it, before
  // the click is handled: pop-up windows close when another window is clicked.
  kEventWindowGetClickModality = 8,
  kEventWindowShowing = 22,
  kEventWindowHiding = 23,
  kEventWindowShown = 24,
  kEventWindowHidden = 25,
  kEventWindowBoundsChanging = 26,
  kEventWindowBoundsChanged = 27,
  kEventWindowResizeStarted = 28,
  kEventWindowResizeCompleted = 29,
  kEventWindowCursorChange = 40,
  kEventWindowClose = 72,
  kEventWindowClosed = 73,
  kEventWindowFocusAcquired = 200,
  kEventWindowFocusRelinquish = 201,
  kEventWindowDispose = 1005,
};

// Control (view) events.
enum : EventKind {
  kEventControlHit = 1,
  kEventControlSimulateHit = 2,
  kEventControlHitTest = 3,
  kEventControlDraw = 4,
  kEventControlApplyBackground = 5,
  kEventControlApplyTextColor = 6,
  kEventControlSetFocusPart = 7,
  kEventControlGetFocusPart = 8,
  kEventControlActivate = 9,
  kEventControlDeactivate = 10,
  kEventControlSetCursor = 11,
  kEventControlContextualMenuClick = 12,
  kEventControlClick = 13,
  kEventControlGetNextFocusCandidate = 14,
  kEventControlGetClickActivation = 17,
  kEventControlDragEnter = 18,
  kEventControlDragWithin = 19,
  kEventControlDragLeave = 20,
  kEventControlDragReceive = 21,
  kEventControlTrackingAreaEntered = 23,
  kEventControlTrackingAreaExited = 24,
  kEventControlTrack = 51,
  kEventControlGetScrollToHereStartPoint = 52,
  kEventControlGetIndicatorDragConstraint = 53,
  kEventControlIndicatorMoved = 54,
  kEventControlGhostingFinished = 55,
  kEventControlGetActionProcPart = 56,
  kEventControlGetPartRegion = 101,
  kEventControlGetPartBounds = 102,
  kEventControlSetData = 103,
  kEventControlGetData = 104,
  kEventControlGetSizeConstraints = 105,
  kEventControlGetFrameMetrics = 106,
  kEventControlValueFieldChanged = 151,
  kEventControlAddedSubControl = 152,
  kEventControlRemovingSubControl = 153,
  kEventControlBoundsChanged = 154,
  kEventControlVisibilityChanged = 157,
  kEventControlTitleChanged = 158,
  kEventControlOwningWindowChanged = 159,
  kEventControlHiliteChanged = 160,
  kEventControlEnabledStateChanged = 161,
  kEventControlLayoutInfoChanged = 162,
  kEventControlInitialize = 1000,
  kEventControlDispose = 1001,
  kEventControlGetOptimalBounds = 1003,
};

// Menu events.
enum : EventKind {
  kEventMenuBeginTracking = 1,
  kEventMenuEndTracking = 2,
  kEventMenuOpening = 4,
  kEventMenuClosed = 5,
  kEventMenuTargetItem = 6,
  kEventMenuMatchKey = 7,
  kEventMenuEnableItems = 8,
  kEventMenuPopulate = 9,
  kEventMenuDispose = 1001,
};

// HIObject events.
enum : EventKind {
  kEventHIObjectConstruct = 1,
  kEventHIObjectInitialize = 2,
  kEventHIObjectDestruct = 3,
  kEventHIObjectIsEqual = 4,
  kEventHIObjectPrintDebugInfo = 5,
};

// Scrollable views.
enum : EventKind {
  kEventScrollableGetInfo = 1,
  kEventScrollableInfoChanged = 2,
  kEventScrollableScrollTo = 10,
};

// Text fields.
enum : EventKind {
  kEventTextAccepted = 1,
  kEventTextShouldChangeInRange = 2,
  kEventTextDidChange = 3,
};

// Toolbars and their items.
enum : EventKind {
  kEventToolbarGetDefaultIdentifiers = 1,
  kEventToolbarGetAllowedIdentifiers = 2,
  kEventToolbarCreateItemWithIdentifier = 3,
  kEventToolbarCreateItemFromDrag = 4,
  kEventToolbarItemAdded = 5,
  kEventToolbarItemRemoved = 6,
  kEventToolbarDisplayModeChanged = 7,
  kEventToolbarDisplaySizeChanged = 8,
  kEventToolbarLayoutChanged = 9,
  kEventToolbarGetSelectableIdentifiers = 10,
  kEventToolbarBeginMultiChange = 12,
  kEventToolbarEndMultiChange = 13,
  kEventToolbarItemImageChanged = 1,
  kEventToolbarItemLabelChanged = 2,
  kEventToolbarItemHelpTextChanged = 3,
  kEventToolbarItemCommandIDChanged = 4,
  kEventToolbarItemGetPersistentData = 5,
  kEventToolbarItemCreateCustomView = 6,
  kEventToolbarItemEnabledStateChanged = 7,
  kEventToolbarItemPerformAction = 8,
};

// ---------------------------------------------------------------------------
// Parameter names and types

enum : EventParamName {
  kEventParamDirectObject = '----',
  kEventParamPostTarget = 'ptrg',
  kEventParamWindowRef = 'wind',
  kEventParamControlRef = 'ctrl',
  kEventParamMenuRef = 'menu',
  kEventParamMenuItemIndex = 'item',
  kEventParamMenuCommand = 'mcmd',
  kEventParamMenuContext = 'mctx',
  kEventParamEnableMenuForKeyEvent = 'fork',
  kEventParamAttributes = 'attr',
  kEventParamMouseLocation = 'mloc',
  kEventParamWindowMouseLocation = 'wmou',
  kEventParamMouseButton = 'mbtn',
  kEventParamClickCount = 'ccnt',
  kEventParamMouseWheelAxis = 'mwax',
  kEventParamMouseWheelDelta = 'mwdl',
  kEventParamMouseDelta = 'mdta',
  kEventParamKeyModifiers = 'kmod',
  kEventParamKeyCode = 'kcod',
  kEventParamKeyMacCharCodes = 'kchr',
  kEventParamKeyUnicodes = 'kuni',
  kEventParamKeyboardType = 'kbdt',
  kEventParamTextInputSendText = 'tstx',
  kEventParamTextInputSendKeyboardEvent = 'tske',
  kEventParamControlPart = 'cprt',
  kEventParamControlSubControl = 'csub',
  kEventParamControlCurrentOwningWindow = 'ccow',
  kEventParamControlOriginalOwningWindow = 'coow',
  kEventParamControlPreviousBounds = 'copb',
  kEventParamControlCurrentBounds = 'ccrb',
  kEventParamControlOriginalBounds = 'coob',
  kEventParamControlDataTag = 'cdtg',
  kEventParamControlDataBuffer = 'cdbf',
  kEventParamControlDataBufferSize = 'cdbs',
  kEventParamControlFocusEverything = 'cfev',
  kEventParamControlIsActive = 'cact',
  kEventParamControlIsVisible = 'cvis',
  kEventParamMinimumSize = 'mnsz',
  kEventParamMaximumSize = 'mxsz',
  kEventParamCGContextRef = 'cntx',
  kEventParamRgnHandle = 'rgnh',
  kEventParamDragRef = 'drag',
  kEventParamCurrentBounds = 'crct',
  kEventParamPreviousBounds = 'prct',
  kEventParamOriginalBounds = 'orct',
  kEventParamHIObjectInstance = 'hioi',
  kEventParamHIViewInstance = 'hivi',
  kEventParamInitCollection = 'icol',
  kEventParamImageSize = 'imsz',
  kEventParamViewSize = 'vwsz',
  kEventParamLineSize = 'lnsz',
  kEventParamOrigin = 'orgn',
  kEventParamToolbar = 'tbar',
  kEventParamToolbarItem = 'tbit',
  kEventParamToolbarItemIdentifier = 'tbii',
  kEventParamToolbarItemConfigData = 'tbid',
  kEventParamMutableArray = 'marr',
  kEventParamResult = 'ansr',
};

enum : EventParamType {
  typeWildCard = '****',
  typeBoolean = 'bool',
  typeSInt16 = 'shor',
  typeSInt32 = 'long',
  typeUInt32 = 'magn',
  typeSInt64 = 'comp',
  typeIEEE32BitFloatingPoint = 'sing',
  typeIEEE64BitFloatingPoint = 'doub',
  typeFloat = typeIEEE64BitFloatingPoint,
  typeCFStringRef = 'cfst',
  typeCFTypeRef = 'cfty',
  typeCFMutableArrayRef = 'cfma',
  typeHICommand = 'hcmd',
  typeControlRef = 'ctrl',
  typeWindowRef = 'wind',
  typeMenuRef = 'menu',
  typeMenuCommand = 'mcmd',
  typeMenuItemIndex = 'midx',
  typeEventRef = 'evrf',
  typeEventTargetRef = 'etrg',
  typeVoidPtr = 'void',
  typeQDPoint = 'QDpt',
  typeQDRectangle = 'qdrt',
  typeQDRgnHandle = 'rgnh',
  typeHIPoint = 'hipt',
  typeHISize = 'hisz',
  typeHIRect = 'hirc',
  typeHIObjectRef = 'hiob',
  typeHIToolbarRef = 'tbar',
  typeHIToolbarItemRef = 'tbit',
  typeCGContextRef = 'cntx',
  typeDragRef = 'drag',
  typeFSRef = 'fsrf',
  typeChar = 'TEXT',
  typeUnicodeText = 'utxt',
  typeUTF8Text = 'utf8',
  typeMouseButton = 'mbtn',
  typeMouseWheelAxis = 'mwax',
  typeControlPartCode = 'cprt',
  typeCollection = 'cltn',
  typeType = 'type',
  typeEnumeration = 'enum',
};

// ---------------------------------------------------------------------------
// Commands

enum : UInt32 {
  kHICommandFromMenu = 1,
  kHICommandFromControl = 2,
  kHICommandFromWindow = 4,
};

enum : UInt32 {
  kHICommandOK = 'ok  ',
  kHICommandCancel = 'not!',
  kHICommandQuit = 'quit',
  kHICommandUndo = 'undo',
  kHICommandRedo = 'redo',
  kHICommandCut = 'cut ',
  kHICommandCopy = 'copy',
  kHICommandPaste = 'past',
  kHICommandClear = 'clea',
  kHICommandSelectAll = 'sall',
  kHICommandHide = 'hide',
  kHICommandHideOthers = 'hido',
  kHICommandShowAll = 'shal',
  kHICommandAbout = 'abou',
  kHICommandPreferences = 'pref',
  kHICommandClose = 'clos',
  kHICommandSave = 'save',
  kHICommandSaveAs = 'svas',
  kHICommandRevert = 'rvrt',
  kHICommandNew = 'new ',
  kHICommandOpen = 'open',
  kHICommandPrint = 'prnt',
  kHICommandPageSetup = 'page',
  kHICommandMinimizeWindow = 'mini',
  kHICommandZoomWindow = 'zoom',
  kHICommandArrangeInFront = 'frnt',
  kHICommandAppHelp = 'ahlp',
};

// The command record of ('cmds', 1) and ('cmds', 2), parameter '----' of
// type 'hcmd'. The historical record packed a 32-bit menu pointer into 14
// bytes; here the menu reference is a full pointer, so the parameter's size is
// sizeof(HICommand) wherever it is written and read.
struct HICommand {
  UInt32 attributes;
  UInt32 commandID;
  struct {
    MenuRef menuRef;
    MenuItemIndex menuItemIndex;
  } menu;
};

// The same record naming its source: a control, a window or a menu item
// (kHICommandFromControl / FromWindow / FromMenu). Same size as HICommand.
struct HICommandExtended {
  UInt32 attributes;
  UInt32 commandID;
  union {
    ControlRef control;
    WindowRef window;
    struct {
      MenuRef menuRef;
      MenuItemIndex menuItemIndex;
    } menu;
  } source;
};

static_assert(sizeof(HICommand) == sizeof(HICommandExtended),
              "both command records are read from the same parameter");

// ---------------------------------------------------------------------------
// Event records

OSStatus CreateEvent(CFAllocatorRef inAllocator, EventClass inClassID, EventKind inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef* outEvent);  // inWhen 0 = now
EventRef CopyEvent(EventRef inOther);
EventRef RetainEvent(EventRef inEvent);
void ReleaseEvent(EventRef inEvent);
ItemCount GetEventRetainCount(EventRef inEvent);
EventClass GetEventClass(EventRef inEvent);
EventKind GetEventKind(EventRef inEvent);
EventTime GetEventTime(EventRef inEvent);
OSStatus SetEventTime(EventRef inEvent, EventTime inTime);
EventAttributes GetEventAttributes(EventRef inEvent);

// Stores a copy of the bytes under the name, replacing an earlier value.
OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inPtr);
// Reads a parameter. A missing name gives eventParameterNotFoundErr; a type
// that is neither the stored one, typeWildCard nor a known coercion (QuickDraw
// and HI points, the integer types) gives errAECoercionFail. The bytes are
// copied only when the buffer holds the whole value (otherwise paramErr and
// nothing is written). With nil outData the call only measures.
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData);
OSStatus RemoveEventParameter(EventRef inEvent, EventParamName inName);

// ---------------------------------------------------------------------------
// Handlers and targets

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) { return proc; }
inline void DisposeEventHandlerUPP(EventHandlerUPP) {}
inline OSStatus InvokeEventHandlerUPP(EventHandlerCallRef call, EventRef event, void* userData, EventHandlerUPP upp) {
  return upp(call, event, userData);
}

EventTargetRef GetApplicationEventTarget();
EventTargetRef GetEventDispatcherTarget();  // the application target

// Installs a handler on top of the target's stack (newest runs first). An
// empty type list is allowed; types can be added later.
OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef);
inline OSStatus InstallApplicationEventHandler(EventHandlerUPP handler, ItemCount numTypes, const EventTypeSpec* list,
                                               void* userData, EventHandlerRef* outRef) {
  return InstallEventHandler(GetApplicationEventTarget(), handler, numTypes, list, userData, outRef);
}
// Safe during dispatch, also from the handler itself: a removed handler is
// never called again. A reference that is not installed gives paramErr.
OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
OSStatus AddEventTypesToHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes, const EventTypeSpec* inList);
OSStatus RemoveEventTypesFromHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes, const EventTypeSpec* inList);
EventTargetRef GetEventHandlerTarget(EventHandlerRef inHandlerRef);

// From inside a handler: runs the rest of the chain (the target's older
// handlers, its standard handlers, then the containment parents) and returns
// its status. Handlers already run are not run again by the outer dispatch.
OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);

enum : OptionBits {
  kEventTargetDontPropagate = 1 << 0,
  kEventTargetSendToAllHandlers = 1 << 1,
};

// Synchronous: returns the status of the handler that took the event, or
// eventNotHandledErr when nobody did.
OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget);
OSStatus SendEventToEventTargetWithOptions(EventRef inEvent, EventTargetRef inTarget, OptionBits inOptions);

// ---------------------------------------------------------------------------
// The main event queue. Posted events are retained and delivered from the
// event loop to their kEventParamPostTarget ('ptrg', typeEventTargetRef) or to
// the application target. Posting is allowed from any thread.

EventQueueRef GetMainEventQueue();
EventQueueRef GetCurrentEventQueue();
OSStatus PostEventToQueue(EventQueueRef inQueue, EventRef inEvent, EventPriority inPriority);
OSStatus RemoveEventFromQueue(EventQueueRef inQueue, EventRef inEvent);
Boolean IsEventInQueue(EventQueueRef inQueue, EventRef inEvent);
ItemCount GetNumEventsInQueue(EventQueueRef inQueue);
OSStatus FlushEventQueue(EventQueueRef inQueue);
OSStatus SetEventParameterPostTarget(EventRef inEvent, EventTargetRef inTarget);  // sets 'ptrg'

// ---------------------------------------------------------------------------
// Event loop and time. One GLib main loop (the default main context) serves
// every run; nested runs are modal loops and timers fire inside them.

EventLoopRef GetMainEventLoop();
EventLoopRef GetCurrentEventLoop();
void RunApplicationEventLoop();
void QuitApplicationEventLoop();
// eventLoopTimedOutErr when the time ran out, eventLoopQuitErr after QuitEventLoop.
OSStatus RunCurrentEventLoop(EventTimeout inTimeout);
OSStatus QuitEventLoop(EventLoopRef inEventLoop);

EventTime GetCurrentEventTime();  // seconds of the platform clock
UInt32 TickCount();               // the same clock in 60ths of a second
// The same clock in microseconds (monotonic; virtual under the headless
// virtual clock), the full 64 bits.
void Microseconds(UnsignedWide* microTickCount);

// ---------------------------------------------------------------------------
// Event-loop timers

typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef inTimer, void* inUserData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;
inline EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc) { return proc; }
inline void DisposeEventLoopTimerUPP(EventLoopTimerUPP) {}

typedef UInt16 EventLoopIdleTimerMessage;
enum : EventLoopIdleTimerMessage {
  kEventLoopIdleTimerStarted = 1,
  kEventLoopIdleTimerIdling = 2,
  kEventLoopIdleTimerStopped = 3,
};
typedef void (*EventLoopIdleTimerProcPtr)(EventLoopTimerRef inTimer, EventLoopIdleTimerMessage inState,
                                          void* inUserData);
typedef EventLoopIdleTimerProcPtr EventLoopIdleTimerUPP;
inline EventLoopIdleTimerUPP NewEventLoopIdleTimerUPP(EventLoopIdleTimerProcPtr proc) { return proc; }
inline void DisposeEventLoopIdleTimerUPP(EventLoopIdleTimerUPP) {}

// A delay of 0 fires at the next turn of the loop; kEventDurationForever (any
// negative delay) installs the timer unarmed. An interval of 0 is one-shot:
// the timer stays installed, unarmed, until it is set again or removed.
OSStatus InstallEventLoopTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay,
                               EventTimerInterval inInterval, EventLoopTimerUPP inTimerProc, void* inTimerData,
                               EventLoopTimerRef* outTimer);
// Like a timer, but counts from the latest user input: Started after the
// delay without input, Idling at each interval, Stopped when input arrives.
OSStatus InstallEventLoopIdleTimer(EventLoopRef inEventLoop, EventTimerInterval inDelay,
                                   EventTimerInterval inInterval, EventLoopIdleTimerUPP inTimerProc,
                                   void* inTimerData, EventLoopTimerRef* outTimer);
// Safe from the timer's own callback and from any other callback.
OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer);
// Next firing after the delay from now; kEventDurationForever disarms it.
OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef inTimer, EventTimerInterval inNextFire);
