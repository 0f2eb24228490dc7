// The Drag Manager: a drag is a list of items, each identified by a
// reference number the sender chooses and holding typed flavours of data.
// Windows take part through tracking handlers (told as the drag enters,
// moves in and leaves them) and receive handlers (asked to take the drop);
// windows that track drags for their controls send the view under the drag
// the control drag events ('cntl' 18 enter, 19 within, 20 leave, 21 receive)
// with the drag in 'drag'; a view that sets 'cldg' (kEventParamControlWouldAcceptDrop,
// 'bool') to true at enter is the drag's target: it hears within while the
// drag moves over it, leave when the drag leaves it or is dropped, and
// receive at the drop.
//
// TrackDrag runs the drag modally: the desktop host follows the real
// pointer (a drag that leaves the program's windows is offered to other
// programs as text and files); the headless host follows a path the test
// queued (HeadlessQueueDrag below).
#pragma once

#include <vector>

#include "AppleEvents.h"
#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "Files.h"
#include "MacTypes.h"

typedef struct OpaqueDragRef* DragRef;
typedef UInt32 DragItemRef;
typedef OSType FlavorType;
typedef UInt32 FlavorFlags;
typedef SInt16 DragTrackingMessage;
typedef UInt32 DragAttributes;
typedef UInt32 DragActions;
typedef UInt32 DragImageFlags;
typedef UInt16 EventModifiers;
typedef CGPoint HIPoint;

// Images and regions come from the drawing layer.
typedef struct CGImage* CGImageRef;
typedef struct OpaqueRgnHandle* RgnHandle;

enum : OSStatus {
  badDragRefErr = -1850,
  badDragItemErr = -1851,
  badDragFlavorErr = -1852,
  duplicateFlavorErr = -1853,
  cantGetFlavorErr = -1854,
  duplicateHandlerErr = -1855,
  handlerNotFoundErr = -1856,
  dragNotAcceptedErr = -1857,
};

enum : FlavorFlags {
  flavorSenderOnly = 0x0001,        // only the sending window's program sees it
  flavorSenderTranslated = 0x0002,
  flavorNotSaved = 0x0004,
  flavorSystemTranslated = 0x0100,  // made by the system from another flavour
  flavorDataPromised = 0x0200,      // no data yet: the sender promised it
};

enum : DragTrackingMessage {
  kDragTrackingEnterHandler = 1,  // the drag reaches the first window this handler serves
  kDragTrackingEnterWindow = 2,
  kDragTrackingInWindow = 3,
  kDragTrackingLeaveWindow = 4,
  kDragTrackingLeaveHandler = 5,  // the drag left the handler's windows or ended
};

enum : DragAttributes {
  kDragHasLeftSenderWindow = 1u << 0,
  kDragInsideSenderApplication = 1u << 1,
  kDragInsideSenderWindow = 1u << 2,
};

enum : DragActions {
  kDragActionNothing = 0,
  kDragActionCopy = 1u << 0,
  kDragActionAlias = 1u << 1,
  kDragActionGeneric = 1u << 2,
  kDragActionPrivate = 1u << 3,
  kDragActionMove = 1u << 4,
  kDragActionDelete = 1u << 5,
  kDragActionAll = 0xFFFFFFFFu,
};

enum : DragImageFlags {
  kDragStandardTranslucency = 0,
  kDragDarkTranslucency = 1,
  kDragDarkerTranslucency = 2,
  kDragOpaqueTranslucency = 3,
};

// Flavours the file manager and other programs exchange.
enum : FlavorType {
  kDragFlavorTypeHFS = 'hfs ',
  kDragFlavorTypePromiseHFS = 'phfs',
  flavorTypeHFS = 'hfs ',
  flavorTypePromiseHFS = 'phfs',
  kFlavorTypeFileURL = 'furl',
  kFlavorTypeUnicodeText = 'utxt',
  kFlavorTypeUTF8Text = 'utf8',
  kFlavorTypeText = 'TEXT',
};

#pragma pack(push, 2)
// A file: its type and creator codes, Finder flags and the classic record.
struct HFSFlavor {
  OSType fileType;
  OSType fileCreator;
  UInt16 fdFlags;
  FSSpec fileSpec;
};
// A file the sender promises to write where the drop lands.
struct PromiseHFSFlavor {
  OSType fileType;
  OSType fileCreator;
  UInt16 fdFlags;
  FlavorType promisedFlavor;
};
#pragma pack(pop)
static_assert(sizeof(HFSFlavor) == 80 && sizeof(PromiseHFSFlavor) == 14, "flavour records keep their sizes");

// The classic event record, as TrackDrag takes the mouse-down that starts a
// drag. where is global.
enum : EventKind {
  nullEvent = 0,
  mouseDown = 1,
  mouseUp = 2,
  keyDown = 3,
  keyUp = 4,
  autoKey = 5,
};
struct EventRecord {
  EventKind what;
  UInt32 message;
  UInt32 when;  // ticks
  Point where;
  EventModifiers modifiers;
};
// Mouse and keyboard events convert (the position from 'mloc', the
// modifiers from 'kmod'); other events give false.
Boolean ConvertEventRefToEventRecord(EventRef inEvent, EventRecord* outEvent);

// ---------------------------------------------------------------------------
// Drags and their items

OSErr NewDrag(DragRef* theDrag);
// badDragRefErr for a drag that does not exist; a drag being tracked cannot
// be disposed of (paramErr) until TrackDrag returns.
OSErr DisposeDrag(DragRef theDrag);

// Adds the flavour to the item with that reference number (a new item when
// none has it yet, after the others). Nil data promises the flavour: it
// reads as empty until SetDragItemFlavorData fills it. duplicateFlavorErr
// when the item has the type already.
OSErr AddDragItemFlavor(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, const void* dataPtr,
                        Size dataSize, FlavorFlags theFlags);
// Called for a promised flavour when another program's drop asks for its
// data: the sender fills it with SetDragItemFlavorData. (Inside the program a
// promised flavour reads as empty, so that merely passing over a window
// never makes the sender do the work.)
typedef OSErr (*DragSendDataProcPtr)(FlavorType theType, void* dragSendRefCon, DragItemRef theItemRef,
                                     DragRef theDrag);
typedef DragSendDataProcPtr DragSendDataUPP;
inline DragSendDataUPP NewDragSendDataUPP(DragSendDataProcPtr proc) { return proc; }
inline void DisposeDragSendDataUPP(DragSendDataUPP) {}
OSErr SetDragSendProc(DragRef theDrag, DragSendDataUPP sendProc, void* dragSendRefCon);
// Writes the bytes at the offset of the flavour's data, growing it as needed.
OSErr SetDragItemFlavorData(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, const void* dataPtr,
                            Size dataSize, UInt32 dataOffset);

OSErr CountDragItems(DragRef theDrag, UInt16* numItems);
// index is 1-based; badDragItemErr past the end.
OSErr GetDragItemReferenceNumber(DragRef theDrag, UInt16 theIndex, DragItemRef* theItemRef);
OSErr CountDragItemFlavors(DragRef theDrag, DragItemRef theItemRef, UInt16* numFlavors);
OSErr GetFlavorType(DragRef theDrag, DragItemRef theItemRef, UInt16 theIndex, FlavorType* theType);
OSErr GetFlavorFlags(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, FlavorFlags* theFlags);
OSErr GetFlavorDataSize(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, Size* dataSize);
// Copies at most *dataSize bytes from the offset and sets *dataSize to the
// number copied. badDragFlavorErr when the item lacks the type,
// cantGetFlavorErr for a flavour marked flavorSenderOnly read outside the
// sending program.
OSErr GetFlavorData(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, void* dataPtr, Size* dataSize,
                    UInt32 dataOffset);

// Item bounds in global coordinates (the dragged outline).
OSErr SetDragItemBounds(DragRef theDrag, DragItemRef theItemRef, const Rect* itemBounds);
OSErr GetDragItemBounds(DragRef theDrag, DragItemRef theItemRef, Rect* itemBounds);

// ---------------------------------------------------------------------------
// The drag as it moves

// The image that follows the pointer; offset is from the pointer to the
// image's top left. The drag keeps its own reference.
OSStatus SetDragImageWithCGImage(DragRef inDrag, CGImageRef inCGImage, const HIPoint* inImageOffset,
                                 DragImageFlags inImageFlags);
// The image set (not retained for the caller) and its offset; nil when none.
OSStatus GetDragImage(DragRef inDrag, CGImageRef* outImage, HIPoint* outImageOffset);

// Global positions of the pointer (and the same, pinned: no constraint
// applies here) and where the drag began.
OSErr GetDragMouse(DragRef theDrag, Point* mouse, Point* globalPinnedMouse);
OSErr GetDragOrigin(DragRef theDrag, Point* globalInitialMouse);
OSErr GetDragModifiers(DragRef theDrag, SInt16* modifiers, SInt16* mouseDownModifiers, SInt16* mouseUpModifiers);
OSErr GetDragAttributes(DragRef theDrag, DragAttributes* flags);

OSStatus SetDragAllowableActions(DragRef theDrag, DragActions inActions, Boolean isLocal);
OSStatus GetDragAllowableActions(DragRef theDrag, DragActions* outActions);
OSStatus SetDragDropAction(DragRef theDrag, DragActions inAction);
OSStatus GetDragDropAction(DragRef theDrag, DragActions* outAction);

// Where the drop landed: an 'alis' descriptor of the folder when the drag
// was dropped into a folder of the file manager, the null descriptor
// otherwise. The caller disposes of the copy it gets.
OSErr GetDropLocation(DragRef theDrag, AEDesc* dropLocation);
OSErr SetDropLocation(DragRef theDrag, const AEDesc* dropLocation);

// ---------------------------------------------------------------------------
// Handlers

typedef OSErr (*DragTrackingHandlerProcPtr)(DragTrackingMessage message, WindowRef theWindow, void* handlerRefCon,
                                            DragRef theDrag);
typedef OSErr (*DragReceiveHandlerProcPtr)(WindowRef theWindow, void* handlerRefCon, DragRef theDrag);
typedef DragTrackingHandlerProcPtr DragTrackingHandlerUPP;
typedef DragReceiveHandlerProcPtr DragReceiveHandlerUPP;
inline DragTrackingHandlerUPP NewDragTrackingHandlerUPP(DragTrackingHandlerProcPtr p) { return p; }
inline DragReceiveHandlerUPP NewDragReceiveHandlerUPP(DragReceiveHandlerProcPtr p) { return p; }
inline void DisposeDragTrackingHandlerUPP(DragTrackingHandlerUPP) {}
inline void DisposeDragReceiveHandlerUPP(DragReceiveHandlerUPP) {}

// A nil window installs the handler for every window; a window's own
// handlers run before those. Handlers of a window end with the window.
// duplicateHandlerErr for the same procedure on the same window twice.
OSErr InstallTrackingHandler(DragTrackingHandlerUPP trackingHandler, WindowRef theWindow, void* handlerRefCon);
OSErr InstallReceiveHandler(DragReceiveHandlerUPP receiveHandler, WindowRef theWindow, void* handlerRefCon);
// handlerNotFoundErr when not installed.
OSErr RemoveTrackingHandler(DragTrackingHandlerUPP trackingHandler, WindowRef theWindow);
OSErr RemoveReceiveHandler(DragReceiveHandlerUPP receiveHandler, WindowRef theWindow);

// ---------------------------------------------------------------------------
// Tracking

// Runs the drag from the event's position until the drop. At the drop the
// target view (if any) hears leave and then receive; when it does not take
// the drop (or there is none) the window's receive handlers are asked in
// turn, and the first that answers noErr takes it. noErr when the drop was
// taken; userCanceledErr when nobody took it or the drag was given up;
// paramErr when the drag is already being tracked. The region (the
// dragged outline) is not used: the image or item bounds stand for it.
OSErr TrackDrag(DragRef theDrag, const EventRecord* theEvent, RgnHandle theRegion);
// The drag being tracked now (nil when none).
DragRef GetCurrentDrag();

// ---------------------------------------------------------------------------
// The headless host's drags. Each TrackDrag takes the next queued path; with
// none queued the drag ends at once without a drop (userCanceledErr).

struct HeadlessDragPoint {
  WindowRef window;   // the point is in this window's content coordinates; nil: global
  CGPoint where;
  UInt32 modifiers;   // Mac modifier bits held at this point
  EventTime pause;    // the event loop runs this long at the point (timers fire)
};
// The last point is the drop. A drop outside every window lands in the
// folder given (the desktop's file manager), or nowhere when it is nil.
void HeadlessQueueDrag(const std::vector<HeadlessDragPoint>& path, const FSRef* dropFolder);
void HeadlessClearDrags();
