// DataTypes: the node record of the tree model and the host callback types.
#pragma once

#include "CFBase.h"
#include "CFTree.h"
#include "CGContext.h"
#include "CGGeometry.h"
#include "DataBrowser.h"
#include "Drag.h"
#include "HIView.h"
#include "Icons.h"
#include "MacTypes.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"

// Called when a node's record is freed, to free what the payload refers to
// (never the payload block itself).
typedef void (*BrackenrowNodeReleaseCallback)(void* data, UInt32 dataType, void* context);

// One record per tree node, owned by that node. The stored form of the record
// is a fixed 32-byte big-endian header (DiskUtilities); in memory the
// pointer fields have the host's width.
struct NodeInfo {
  SInt32 INDEX;        // item identifier, unique within one tree; 0 = none
  SInt32 PARENT;       // INDEX of the parent when the node was made; 0 = top level
  SInt16 GROUP;        // group number (identifiers are grouped by 10000)
  Boolean CONTAINER;   // shows a disclosure triangle even when empty
  Boolean OPEN;        // the container was last seen open
  UInt32 DATATYPE;     // four-character type of the payload, the host's choice
  void* DATA;          // the payload: a memory block owned by the node
  SInt32 DATALENGTH;   // payload length as the host gave it
  BrackenrowNodeReleaseCallback RELEASE;  // may be nil
  void* CONTEXT;       // handed to RELEASE
};
typedef NodeInfo* NodeInfoPtr;

// Identifiers of a group g > 0 live in the block g * kGroupIndexShift + 1 ...
enum : SInt32 { kGroupIndexShift = 10000 };

// Byte order conversion of one payload in place; direction 1 converts for
// storage (the same type as the foundation's, redeclared identically here so
// the exported header stands alone).
typedef void (*ByteSwapperCallback)(void* data, SInt16 direction, void* context);

typedef void (*TreeApplierFunction)(CFTreeRef tree, NodeInfoPtr node, void* context);
// data is the node's payload.
typedef Boolean (*TreeCompareCallback)(CFTreeRef tree, void* query, NodeInfoPtr node, void* data, void* context);

// Translates a payload on its way to (direction 1) or from (direction 2) the
// property-list form: returns a new memory block that replaces the bytes and
// sets length to its length, or nil to keep the bytes as they are.
typedef void* (*TreeTranslateCallback)(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length,
                                       void* context);

// The state of one conversion of a tree into its property-list form.
struct ConvertTreeContext {
  CFMutableArrayRef PROPERTYLIST;
  TreeTranslateCallback TRANSLATE;
  void* USERCONTEXT;
};
typedef ConvertTreeContext* ConvertTreeContextPtr;

// ---------------------------------------------------------------------------
// The browser: a list view bound to a tree

// Options of BrackenrowInitialize; element n is bit n.
typedef UInt32 BrackenrowOptions;
enum : BrackenrowOptions {
  kBrackenrowDefaultOptions = 0,
  kBrackenrowCopyInfo = 1u << 0,                // appended payloads are copied
  kBrackenrowReleaseTree = 1u << 1,             // the tree goes with the browser
  kBrackenrowKeyboardRemove = 1u << 2,          // delete keys remove the selected items
  kBrackenrowAllocateTree = 1u << 3,            // the browser makes its own root (and releases it)
  kBrackenrowSortRows = 1u << 4,                // rows are sorted through COMPAREITEM
  kBrackenrowColumnView = 1u << 5,              // column view style
  kBrackenrowAlternatingRowColors = 1u << 6,    // list view with alternating row colours
  kBrackenrowColorBackground = 1u << 7,         // the browser paints its own background colour
  kBrackenrowArrangeRowOrder = 1u << 8,         // new and dropped items go to the drop or selection position
  kBrackenrowDrawOutlines = 1u << 9,            // drop targets are outlined
  kBrackenrowLinearAutoIncrement = 1u << 10,    // new items are numbered by a running counter
  kBrackenrowDrawSingleDragImage = 1u << 11,    // drags show the image of one item
};

// Control properties, all under this creator.
enum : OSType {
  kBrowserPropertyCreator = 'BRKW',
  kBrowserPropertyDataTag = 'DATA',              // the browser's record
  kBrowserPropertyContextTag = 'CNTX',
  kBrowserPropertyApplierFunctionTag = 'FUNC',
  kBrowserPropertyFocusMenuTag = 'MENU',         // the focus-history menu the host attaches
  // Menu item properties of the focus menu (under the same creator).
  kBrowserMenuItemFocusIndexTag = 'cfix',        // the item ID to focus (SInt32)
  kBrowserMenuItemControlTag = 'ctrl',           // the browser (ControlRef)
};

// Commands.
enum : UInt32 {
  kHICommandFocusBrowser = 'FOCb',
  kHICommandFocusBrowserGoBack = 'FBGB',
  kHICommandRemoveItem = 'xITM',
};

// Drag flavours of every item dragged out of a browser.
enum : FlavorType {
  kBrackenrowItemDragFlavor = 'dbDG',      // the item ID (4 bytes)
  kBrackenrowNodeDataDragFlavor = 'NODE',  // the NodeInfoPtr (pointer-sized); honoured only inside the sending process
  kBrackenrowSourceDragFlavor = 'dbSR',    // BrackenrowDragSource: which browser of which process sent the item
};

// Where the dragged items came from; a receiver takes the item ID and the
// node pointer as its own only when both match.
struct BrackenrowDragSource {
  SInt64 process;      // process ID of the sender
  ControlRef browser;  // the sending browser
};

// The part of a row under a drag (TRACKINGPART).
enum : SInt16 {
  kTrackingContentPart = 128,  // on the row
  kTrackingUpperPart = 129,    // within 4 pixels of its top
  kTrackingLowerPart = 130,    // within 4 pixels of its bottom
};

// The cursor state of the cell being drawn (BrackenrowGetCursorState).
enum : UInt32 {
  kDataBrowserItemMouseDownState = 128,
  kDataBrowserItemMouseUpState = 129,
  kDataBrowserItemMouseMovedState = 130,
};

// BrackenrowAppendChild.
enum : Boolean {
  kTreeBrowserDontExpand = 0,
  kTreeBrowserExpand = 1,
  kTreeBrowserDontIncludeRoot = 0,
  kTreeBrowserIncludeRoot = 1,
};

// A relocatable block of item IDs; its count is the block size / 4. The
// caller disposes of it (DisposeHandle).
typedef DataBrowserItemID ItemArray[1];
typedef DataBrowserItemID* ItemArrayPtr;
typedef ItemArrayPtr* ItemArrayHandle;

// Host callbacks. data is a node's payload, dataType its DATATYPE, context
// the last slot of the callback record.
typedef Boolean (*BrackenrowRemoveItemCallback)(void* data, UInt32 dataType, DataBrowserItemID item, void* context);
typedef void (*BrackenrowSetItemTextCallback)(void* data, DataBrowserItemID item, DataBrowserPropertyID property,
                                              CFStringRef text, void* context);
typedef void (*BrackenrowSetItemCheckboxCallback)(void* data, DataBrowserItemID item, DataBrowserPropertyID property,
                                                  Boolean checked, void* context);
typedef void (*BrackenrowSetItemDataCallback)(void* data, UInt32 dataType, DataBrowserItemID item,
                                              DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                                              void* context);
// question: kDataBrowserItemIsActiveProperty, ...IsSelectableProperty or
// ...IsEditableProperty; property: the column the request is about.
typedef Boolean (*BrackenrowSetItemPropertyCallback)(void* data, UInt32 dataType, DataBrowserItemID item,
                                                     DataBrowserPropertyID property,
                                                     DataBrowserPropertyID question, void* context);
typedef void (*BrackenrowItemNotificationCallback)(void* data, UInt32 dataType, ControlRef browser,
                                                   DataBrowserItemID item, DataBrowserItemNotification message,
                                                   void* context);
// bounds are in the context's coordinates (y up, as the drawing handlers
// expect).
typedef void (*BrackenrowDrawItemCallback)(void* data, UInt32 dataType, Boolean container,
                                           DataBrowserPropertyID property, DataBrowserItemID item,
                                           DataBrowserItemState itemState, CGRect bounds, CGContextRef context,
                                           ControlRef browser, void* userContext);
typedef Boolean (*BrackenrowHitTestCallback)(void* data, UInt32 dataType, ControlRef browser, CGRect itemRect,
                                             CGRect mouseRect, void* context);
typedef Boolean (*BrackenrowItemCompareCallback)(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID property,
                                                 ControlRef browser, void* context);
// node: the record dropped on, nil for the browser itself.
typedef void (*BrackenrowReceiveDragCallback)(ControlRef browser, NodeInfoPtr node, DragRef drag, void* data,
                                              FlavorType flavorType, void* context);
typedef Boolean (*BrackenrowAcceptDragCallback)(ControlRef browser, NodeInfoPtr node, DragRef drag, void* data,
                                                FlavorType flavorType, void* context);
typedef void (*BrackenrowPostDragCallback)(ControlRef browser, DragRef drag, OSStatus trackResult, void* context);
typedef Boolean (*BrackenrowAddDragItemCallback)(void* data, UInt32 dataType, DataBrowserItemID item, DragRef drag,
                                                 DragItemRef itemRef, ControlRef browser, void* context);
// The library releases the menu after the choice.
typedef MenuRef (*BrackenrowGetContextualMenuCallback)(ControlRef browser, ItemArrayHandle items, SInt16 count,
                                                       void* context);
typedef void (*BrackenrowSelectContextualMenuCallback)(ControlRef browser, NodeInfoPtr node, MenuRef menu,
                                                       SInt16 menuID, UInt16 menuItem, void* context);
typedef void (*BrackenrowReleaseCallback)(ControlRef browser, void* context);
typedef void (*BrackenrowEventLoopTimer)(ControlRef browser, void* context);
typedef void (*BrackenrowApplierFunction)(ControlRef browser, NodeInfoPtr node, void* context);

// The host's callback record; any slot may be nil. BrackenrowInitialize
// copies it; the library never frees CONTEXT.
struct BrackenrowCallbacks {
  BrackenrowNodeReleaseCallback RELEASEITEM;              // copied into each node's RELEASE
  BrackenrowRemoveItemCallback REMOVEITEM;                // may a selected item be deleted?
  BrackenrowSetItemTextCallback SETITEMTEXT;              // an edited text cell was committed
  BrackenrowSetItemCheckboxCallback SETITEMCHECKBOX;      // a check box was set
  BrackenrowSetItemDataCallback SETITEMDATA;              // fill a cell's value
  BrackenrowSetItemPropertyCallback SETITEMPROPERTY;      // active / selectable / editable
  BrackenrowItemNotificationCallback ITEMNOTIFICATION;    // after the library's own handling
  BrackenrowDrawItemCallback DRAWITEM;                    // custom cell drawing
  BrackenrowDrawItemCallback DRAWDRAGIMAGE;               // one item into the drag image
  BrackenrowHitTestCallback HITTEST;                      // custom hit test
  BrackenrowItemCompareCallback COMPAREITEM;              // sorting (kBrackenrowSortRows)
  BrackenrowReceiveDragCallback RECEIVEDRAG;              // a drop
  BrackenrowAcceptDragCallback ACCEPTDRAG;                // drop acceptance
  BrackenrowPostDragCallback POSTDRAG;                    // a drag from this browser ended
  BrackenrowAddDragItemCallback ADDDRAGITEM;              // may this row be dragged (and add flavours)
  BrackenrowGetContextualMenuCallback GETCONTEXTUALMENU;  // contextual-menu click
  BrackenrowSelectContextualMenuCallback SELECTCONTEXTUALMENU;
  BrackenrowReleaseCallback RELEASE;                      // the control is being disposed
  BrackenrowEventLoopTimer TIMER;                         // every timer tick (0.1 s)
  void* CONTEXT;                                          // handed back in every call
};
