// BrowserData: the record behind one browser, hung on the list view as the
// control property 'BRKW'/'DATA', and the helpers the library's units share.
// Not exported.
#pragma once

#include <set>

#include "CarbonEvents.h"
#include "brackenrow/Brackenrow.h"

struct BrowserData {
  BrackenrowCallbacks CALLBACKS{};  // a copy of the host's record
  SInt32 MODIFIED = 0;              // modification count
  BrackenrowOptions OPTIONS = 0;
  CFTreeRef TREE = nullptr;         // the model; the browser holds a reference while it shows it
  SInt32 INDEX = 0;                 // records grafted in by BrackenrowAppendChild
  CFTreeRef FOCUS = nullptr;        // whose children are the top-level rows
  Boolean EDITING = false;
  CGRGB BACKGROUND{};
  CGImageRef SELECTION = nullptr;   // retained
  Boolean CONTROLTARGET = false;
  UInt32 COUNT = 0;                 // kBrackenrowLinearAutoIncrement
  UInt32 CURSORSTATE = 0;
  CGPoint CURSORLOCATION{};         // y up, in the coordinates the drawing handlers get
  Point DRAGORIGIN{};
  Boolean DRAGGING = false;
  DataBrowserPropertyID DRAGCOLUMN = 'DATA';
  Boolean TRACKING = false;
  SInt16 TRACKINGPART = kTrackingContentPart;
  CGRect TRACKINGBOUNDS{};
  EventLoopTimerRef TIMER = nullptr;
  DataBrowserItemID MOUSEDOWN = 0, MOUSEUP = 0, MOUSEMOVED = 0;
  DataBrowserItemID HOVERITEM = 0;
  UInt32 HOVERTIME = 0;
  DataBrowserItemID LASTHOVERITEM = 0;
  Boolean INSTALLEDMOUSEHANDLER = false;

  // Kept beside the fields above.
  ControlRef browser = nullptr;
  EventHandlerRef handler = nullptr;       // on the control
  EventHandlerRef mouseHandler = nullptr;  // on the control's window
  WindowRef mouseWindow = nullptr;
  // The host handed its reference to the tree over (kBrackenrowReleaseTree
  // without kBrackenrowAllocateTree): released once more when replaced.
  bool treeTakenOver = false;
  // IDs carried by the tree's records, for BrackenrowGetUniqueIndex. Kept up
  // to date by the library's own changes; rebuilt from the tree when stale.
  std::set<SInt32> ids;
  bool idsValid = false;
  DataBrowserItemID partItem = 0;  // the row TRACKINGPART was found for
};
typedef BrowserData* BrowserDataPtr;

// The record of a browser; nil for any other control. Err holds the status of
// the look-up.
BrowserDataPtr GetBrowserData(ControlRef browser);
// A browser is usable when it has a record and a tree.
BrowserDataPtr TestBrowserData(ControlRef browser);

// The node of an item ID in the browser's tree; nil when no record has it.
CFTreeRef NodeOfItem(BrowserDataPtr data, SInt32 item);
// The item ID that stands for a node in the rows: its INDEX, or 0 for a node
// without a record (the root).
SInt32 ItemOfNode(CFTreeRef node);
// The row container under which rows of children of `node` go: 0 when node is
// the focus (shown at the top level), else its item.
DataBrowserItemID RowContainerOf(BrowserDataPtr data, CFTreeRef node);

// Makes tree the browser's tree and focus: the old rows are removed and an
// old tree the browser owns is released. adopt: the caller's reference
// becomes the browser's own.
void SetBrowserTree(BrowserDataPtr data, CFTreeRef tree, bool adopt);

// Adds rows for tree's children under container, and for the children of
// each open one below it.
void ExpandTree(CFTreeRef tree, DataBrowserItemID container, ControlRef browser);
// Selects the item of row `row` alone and reveals it.
void BrackenrowSelectRow(SInt16 row, ControlRef browser);
// Removes every row inside container and adds the rows of its node again.
void RebuildContainer(DataBrowserItemID container, ControlRef browser);

// Moving items inside the browser (DragAndDrop).
void HandleDropLocation(DataBrowserItemID item, DataBrowserItemID target, ControlRef browser);
void MoveItem(ControlRef browser, DataBrowserItemID item, DataBrowserItemID container);
void ExchangeItemsAtIndices(ControlRef browser, DataBrowserItemID item, DataBrowserItemID target);
// Whether `node` is `ancestor` or lies inside its subtree.
bool IsInSubtree(CFTreeRef node, CFTreeRef ancestor);

// The IDs of the browser's tree.
void NoteIdAdded(BrowserDataPtr data, SInt32 id);
void InvalidateIds(BrowserDataPtr data);

// The list view's callbacks that live in other units.
Boolean BrowserAddDragItem(ControlRef browser, DragRef drag, DataBrowserItemID item, ItemReference* itemRef);
Boolean BrowserAcceptDrag(ControlRef browser, DragRef drag, DataBrowserItemID item);
Boolean BrowserReceiveDrag(ControlRef browser, DragRef drag, DataBrowserItemID item);
void BrowserPostProcessDrag(ControlRef browser, DragRef drag, OSStatus trackDragResult);
void BrowserDrawItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property,
                     DataBrowserItemState itemState, const Rect* theRect, SInt16 gdDepth, Boolean colorDevice);
Boolean BrowserHitTest(ControlRef browser, DataBrowserItemID itemID, DataBrowserPropertyID property,
                       const Rect* theRect, const Rect* mouseRect);
DataBrowserTrackingResult BrowserTracking(ControlRef browser, DataBrowserItemID itemID,
                                          DataBrowserPropertyID property, const Rect* theRect, Point startPt,
                                          EventModifiers modifiers);
// Paints the area below the last row with the background colour.
void PaintBrowserBackground(BrowserDataPtr data, CGContextRef context);
// Builds the drag image of a drag from this browser.
void BuildDragImage(BrowserDataPtr data, DragRef drag);
// The height of the port the browser draws in (y-up conversions).
CGFloat PortHeightOf(ControlRef browser);
