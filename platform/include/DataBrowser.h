// The list control: a headless model of items (containers with their open
// state, a selection with an anchor, sort order through the compare callback)
// shown by a view of the HIView tree, drawn with cairo and pango. The model
// answers without a display; the view draws rows, a disclosure column,
// alternating rows and custom cells, edits a text cell in place, follows the
// keyboard and takes part in drags (containers spring open under a resting
// drag). The host's callbacks may add and remove rows from inside any
// notification or drop.
//
// The column view style is accepted and remembered, but the browser always
// draws as a list.
//
// Rectangles handed to callbacks and answered by GetDataBrowserItemPartBounds
// are in the window's content (port) coordinates, y down.
#pragma once

#include "CFString.h"
#include "CGContext.h"
#include "Drag.h"
#include "HITheme.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "Menus.h"
#include "QDRegions.h"

typedef UInt32 DataBrowserItemID;
typedef UInt32 DataBrowserPropertyID;
typedef OSType DataBrowserPropertyType;
typedef UInt32 DataBrowserPropertyFlags;
typedef OSType DataBrowserPropertyPart;
typedef UInt32 DataBrowserItemState;
typedef UInt32 DataBrowserItemNotification;
typedef OSType DataBrowserViewStyle;
typedef OptionBits DataBrowserAttributes;
typedef UInt32 DataBrowserSetOption;
typedef UInt32 DataBrowserSelectionFlags;
typedef UInt8 DataBrowserRevealOptions;
typedef UInt32 DataBrowserTableViewHiliteStyle;
typedef UInt32 DataBrowserTableViewRowIndex;
typedef UInt32 DataBrowserTableViewColumnIndex;
typedef DataBrowserPropertyID DataBrowserTableViewColumnID;
typedef UInt16 DataBrowserSortOrder;
typedef UInt32 DataBrowserMetric;
typedef SInt16 DataBrowserTrackingResult;
typedef UInt32 DataBrowserDragFlags;
typedef UInt32 DataBrowserSelectionAnchorDirection;
typedef UInt32 DataBrowserPropertyStyle;
typedef struct OpaqueDataBrowserItemDataRef* DataBrowserItemDataRef;
typedef UInt32 ItemReference;

enum : DataBrowserViewStyle {
  kDataBrowserNoView = 0x3F3F3F3F,
  kDataBrowserListView = 'lstv',
  kDataBrowserColumnView = 'clmv',
};
enum : ControlKindTag { kControlKindDataBrowser = 'datb' };

enum : DataBrowserAttributes {
  kDataBrowserAttributeNone = 0,
  kDataBrowserAttributeColumnViewResizeWindow = 1 << 0,
  kDataBrowserAttributeListViewAlternatingRowColors = 1 << 1,
  kDataBrowserAttributeListViewDrawColumnDividers = 1 << 2,
};

enum : DataBrowserItemID { kDataBrowserNoItem = 0 };

enum : DataBrowserItemState {
  kDataBrowserItemNoState = 0,
  kDataBrowserItemAnyState = 0xFFFFFFFFu,
  kDataBrowserItemIsSelected = 1 << 0,
  kDataBrowserContainerIsOpen = 1 << 1,
  kDataBrowserItemIsDragTarget = 1 << 2,
};

// Properties the browser asks about; the host's columns use their own IDs.
enum : DataBrowserPropertyID {
  kDataBrowserItemNoProperty = 0,
  kDataBrowserItemIsActiveProperty = 1,
  kDataBrowserItemIsSelectableProperty = 2,
  kDataBrowserItemIsEditableProperty = 3,
  kDataBrowserItemIsContainerProperty = 4,
  kDataBrowserContainerIsOpenableProperty = 5,
  kDataBrowserContainerIsClosableProperty = 6,
  kDataBrowserContainerIsSortableProperty = 7,
  kDataBrowserItemSelfIdentityProperty = 8,
  kDataBrowserContainerAliasIDProperty = 9,
  kDataBrowserColumnViewPreviewProperty = 10,
  kDataBrowserItemParentContainerProperty = 11,
};

enum : DataBrowserPropertyType {
  kDataBrowserCustomType = 0x3F3F3F3F,  // '????': drawn by the draw-item callback
  kDataBrowserIconType = 'icnr',
  kDataBrowserTextType = 'text',
  kDataBrowserCheckboxType = 'chbx',
  kDataBrowserIconAndTextType = 'ticn',
};

enum : DataBrowserPropertyFlags {
  kDataBrowserDefaultPropertyFlags = 0,
  kDataBrowserPropertyIsMutable = 1 << 0,
  kDataBrowserPropertyIsEditable = kDataBrowserPropertyIsMutable,
  kDataBrowserListViewSelectionColumn = 1 << 16,
  kDataBrowserListViewMovableColumn = 1 << 17,
  kDataBrowserListViewSortableColumn = 1 << 18,
  kDataBrowserListViewTypeSelectColumn = 1 << 19,
  kDataBrowserListViewDefaultColumnFlags = kDataBrowserListViewMovableColumn | kDataBrowserListViewSortableColumn,
};

enum : DataBrowserPropertyPart {
  kDataBrowserPropertyEnclosingPart = 0,
  kDataBrowserPropertyContentPart = '----',
  kDataBrowserPropertyDisclosurePart = 'disc',
  kDataBrowserPropertyTextPart = kDataBrowserTextType,
  kDataBrowserPropertyIconPart = kDataBrowserIconType,
  kDataBrowserPropertyCheckboxPart = kDataBrowserCheckboxType,
};

enum : DataBrowserItemNotification {
  kDataBrowserItemAdded = 1,
  kDataBrowserItemRemoved = 2,
  kDataBrowserEditStarted = 3,
  kDataBrowserEditStopped = 4,
  kDataBrowserItemSelected = 5,
  kDataBrowserItemDeselected = 6,
  kDataBrowserItemDoubleClicked = 7,
  kDataBrowserContainerOpened = 8,
  kDataBrowserContainerClosing = 9,
  kDataBrowserContainerClosed = 10,
  kDataBrowserContainerSorting = 11,
  kDataBrowserContainerSorted = 12,
  kDataBrowserUserStateChanged = 13,
  kDataBrowserSelectionSetChanged = 14,
  kDataBrowserTargetChanged = 15,
  kDataBrowserUserToggledContainer = 16,
};

enum : DataBrowserSetOption {
  kDataBrowserItemsAdd = 0,
  kDataBrowserItemsAssign = 1,
  kDataBrowserItemsToggle = 2,
  kDataBrowserItemsRemove = 3,
};

enum : DataBrowserSelectionFlags {
  kDataBrowserDragSelect = 1 << 0,
  kDataBrowserSelectOnlyOne = 1 << 1,
  kDataBrowserResetSelection = 1 << 2,
  kDataBrowserCmdTogglesSelection = 1 << 3,
  kDataBrowserNoDisjointSelection = 1 << 4,
  kDataBrowserAlwaysExtendSelection = 1 << 5,
  kDataBrowserNeverEmptySelectionSet = 1 << 6,
};

enum : DataBrowserSelectionAnchorDirection {
  kDataBrowserSelectionAnchorUp = 0,
  kDataBrowserSelectionAnchorDown = 1,
  kDataBrowserSelectionAnchorLeft = 2,
  kDataBrowserSelectionAnchorRight = 3,
};

enum : DataBrowserRevealOptions {
  kDataBrowserRevealOnly = 0,
  kDataBrowserRevealAndCenterInView = 1 << 0,
  kDataBrowserRevealWithoutSelecting = 1 << 1,
};

enum : DataBrowserTableViewHiliteStyle {
  kDataBrowserTableViewMinimalHilite = 0,
  kDataBrowserTableViewFillHilite = 1,
};

enum : DataBrowserSortOrder {
  kDataBrowserOrderUndefined = 0,
  kDataBrowserOrderIncreasing = 1,
  kDataBrowserOrderDecreasing = 2,
};

enum : DataBrowserMetric {
  kDataBrowserMetricCellContentInset = 1,
  kDataBrowserMetricIconAndTextGap = 2,
  kDataBrowserMetricDisclosureColumnEdgeInset = 3,
  kDataBrowserMetricDisclosureTriangleAndContentGap = 4,
  kDataBrowserMetricDisclosureColumnPerDepthGap = 5,
};

enum : DataBrowserTrackingResult {
  kDataBrowserContentHit = 1,
  kDataBrowserNothingHit = 0,
  kDataBrowserStopTracking = -1,
};

enum : UInt32 { kDataBrowserLatestCallbacks = 0, kDataBrowserLatestCustomCallbacks = 0 };

// --- Callbacks ----------------------------------------------------------------

typedef OSStatus (*DataBrowserItemDataProcPtr)(ControlRef browser, DataBrowserItemID item,
                                               DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                                               Boolean setValue);
typedef Boolean (*DataBrowserItemCompareProcPtr)(ControlRef browser, DataBrowserItemID itemOne,
                                                 DataBrowserItemID itemTwo, DataBrowserPropertyID sortProperty);
typedef void (*DataBrowserItemNotificationProcPtr)(ControlRef browser, DataBrowserItemID item,
                                                   DataBrowserItemNotification message);
typedef Boolean (*DataBrowserAddDragItemProcPtr)(ControlRef browser, DragRef theDrag, DataBrowserItemID item,
                                                 ItemReference* itemRef);
typedef Boolean (*DataBrowserAcceptDragProcPtr)(ControlRef browser, DragRef theDrag, DataBrowserItemID item);
typedef Boolean (*DataBrowserReceiveDragProcPtr)(ControlRef browser, DragRef theDrag, DataBrowserItemID item);
typedef void (*DataBrowserPostProcessDragProcPtr)(ControlRef browser, DragRef theDrag, OSStatus trackDragResult);
typedef void (*DataBrowserItemHelpContentProcPtr)(ControlRef browser, DataBrowserItemID item,
                                                  DataBrowserPropertyID property, UInt32 inRequest,
                                                  void* outContentProvided, void* ioHelpContent);
// The host answers the menu for a contextual click (nil: none); the browser
// shows it and passes the choice to the select callback, then releases it.
typedef void (*DataBrowserGetContextualMenuProcPtr)(ControlRef browser, MenuRef* menu, UInt32* helpType,
                                                    CFStringRef* helpItemString, AEDesc* selection);
typedef void (*DataBrowserSelectContextualMenuProcPtr)(ControlRef browser, MenuRef menu, UInt32 selectionType,
                                                       SInt16 menuID, MenuItemIndex menuItem);
typedef void (*DataBrowserItemProcPtr)(DataBrowserItemID item, DataBrowserItemState state, void* clientData);

// Custom cells (columns of kDataBrowserCustomType). theRect is the cell.
typedef void (*DataBrowserDrawItemProcPtr)(ControlRef browser, DataBrowserItemID item,
                                           DataBrowserPropertyID property, DataBrowserItemState itemState,
                                           const Rect* theRect, SInt16 gdDepth, Boolean colorDevice);
typedef Boolean (*DataBrowserEditItemProcPtr)(ControlRef browser, DataBrowserItemID item,
                                              DataBrowserPropertyID property, CFStringRef theString,
                                              Rect* maxEditTextRect, Boolean* shrinkToFit);
typedef Boolean (*DataBrowserHitTestProcPtr)(ControlRef browser, DataBrowserItemID itemID,
                                             DataBrowserPropertyID property, const Rect* theRect,
                                             const Rect* mouseRect);
typedef DataBrowserTrackingResult (*DataBrowserTrackingProcPtr)(ControlRef browser, DataBrowserItemID itemID,
                                                                DataBrowserPropertyID property, const Rect* theRect,
                                                                Point startPt, EventModifiers modifiers);
typedef void (*DataBrowserItemDragRgnProcPtr)(ControlRef browser, DataBrowserItemID itemID,
                                              DataBrowserPropertyID property, const Rect* theRect,
                                              RgnHandle dragRgn);
typedef DataBrowserDragFlags (*DataBrowserItemAcceptDragProcPtr)(ControlRef browser, DataBrowserItemID itemID,
                                                                 DataBrowserPropertyID property, const Rect* theRect,
                                                                 DragRef theDrag);
typedef Boolean (*DataBrowserItemReceiveDragProcPtr)(ControlRef browser, DataBrowserItemID itemID,
                                                     DataBrowserPropertyID property, DataBrowserDragFlags dragFlags,
                                                     DragRef theDrag);

typedef DataBrowserItemDataProcPtr DataBrowserItemDataUPP;
typedef DataBrowserItemCompareProcPtr DataBrowserItemCompareUPP;
typedef DataBrowserItemNotificationProcPtr DataBrowserItemNotificationUPP;
typedef DataBrowserAddDragItemProcPtr DataBrowserAddDragItemUPP;
typedef DataBrowserAcceptDragProcPtr DataBrowserAcceptDragUPP;
typedef DataBrowserReceiveDragProcPtr DataBrowserReceiveDragUPP;
typedef DataBrowserPostProcessDragProcPtr DataBrowserPostProcessDragUPP;
typedef DataBrowserItemHelpContentProcPtr DataBrowserItemHelpContentUPP;
typedef DataBrowserGetContextualMenuProcPtr DataBrowserGetContextualMenuUPP;
typedef DataBrowserSelectContextualMenuProcPtr DataBrowserSelectContextualMenuUPP;
typedef DataBrowserItemProcPtr DataBrowserItemUPP;
typedef DataBrowserDrawItemProcPtr DataBrowserDrawItemUPP;
typedef DataBrowserEditItemProcPtr DataBrowserEditItemUPP;
typedef DataBrowserHitTestProcPtr DataBrowserHitTestUPP;
typedef DataBrowserTrackingProcPtr DataBrowserTrackingUPP;
typedef DataBrowserItemDragRgnProcPtr DataBrowserItemDragRgnUPP;
typedef DataBrowserItemAcceptDragProcPtr DataBrowserItemAcceptDragUPP;
typedef DataBrowserItemReceiveDragProcPtr DataBrowserItemReceiveDragUPP;

inline DataBrowserItemDataUPP NewDataBrowserItemDataUPP(DataBrowserItemDataProcPtr p) { return p; }
inline DataBrowserItemCompareUPP NewDataBrowserItemCompareUPP(DataBrowserItemCompareProcPtr p) { return p; }
inline DataBrowserItemNotificationUPP NewDataBrowserItemNotificationUPP(DataBrowserItemNotificationProcPtr p) {
  return p;
}
inline DataBrowserAddDragItemUPP NewDataBrowserAddDragItemUPP(DataBrowserAddDragItemProcPtr p) { return p; }
inline DataBrowserAcceptDragUPP NewDataBrowserAcceptDragUPP(DataBrowserAcceptDragProcPtr p) { return p; }
inline DataBrowserReceiveDragUPP NewDataBrowserReceiveDragUPP(DataBrowserReceiveDragProcPtr p) { return p; }
inline DataBrowserPostProcessDragUPP NewDataBrowserPostProcessDragUPP(DataBrowserPostProcessDragProcPtr p) {
  return p;
}
inline DataBrowserGetContextualMenuUPP NewDataBrowserGetContextualMenuUPP(DataBrowserGetContextualMenuProcPtr p) {
  return p;
}
inline DataBrowserSelectContextualMenuUPP NewDataBrowserSelectContextualMenuUPP(
    DataBrowserSelectContextualMenuProcPtr p) {
  return p;
}
inline DataBrowserItemUPP NewDataBrowserItemUPP(DataBrowserItemProcPtr p) { return p; }
inline DataBrowserDrawItemUPP NewDataBrowserDrawItemUPP(DataBrowserDrawItemProcPtr p) { return p; }
inline DataBrowserEditItemUPP NewDataBrowserEditItemUPP(DataBrowserEditItemProcPtr p) { return p; }
inline DataBrowserHitTestUPP NewDataBrowserHitTestUPP(DataBrowserHitTestProcPtr p) { return p; }
inline DataBrowserTrackingUPP NewDataBrowserTrackingUPP(DataBrowserTrackingProcPtr p) { return p; }
// Procedures are plain function pointers here: there is nothing to dispose.
template <class T>
inline void DisposeDataBrowserUPP(T) {}

struct DataBrowserCallbacks {
  UInt32 version;
  union {
    struct {
      DataBrowserItemDataUPP itemDataCallback;
      DataBrowserItemCompareUPP itemCompareCallback;
      DataBrowserItemNotificationUPP itemNotificationCallback;
      DataBrowserAddDragItemUPP addDragItemCallback;
      DataBrowserAcceptDragUPP acceptDragCallback;
      DataBrowserReceiveDragUPP receiveDragCallback;
      DataBrowserPostProcessDragUPP postProcessDragCallback;
      DataBrowserItemHelpContentUPP itemHelpContentCallback;
      DataBrowserGetContextualMenuUPP getContextualMenuCallback;
      DataBrowserSelectContextualMenuUPP selectContextualMenuCallback;
    } v1;
  } u;
};

struct DataBrowserCustomCallbacks {
  UInt32 version;
  union {
    struct {
      DataBrowserDrawItemUPP drawItemCallback;
      DataBrowserEditItemUPP editTextCallback;
      DataBrowserHitTestUPP hitTestCallback;
      DataBrowserTrackingUPP trackingCallback;
      DataBrowserItemDragRgnUPP dragRegionCallback;
      DataBrowserItemAcceptDragUPP acceptDragCallback;
      DataBrowserItemReceiveDragUPP receiveDragCallback;
    } v1;
  } u;
};

// Clear the record and set its version.
OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks);
OSStatus InitDataBrowserCustomCallbacks(DataBrowserCustomCallbacks* callbacks);
OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks* callbacks);
OSStatus GetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks* callbacks);
OSStatus SetDataBrowserCustomCallbacks(ControlRef browser, const DataBrowserCustomCallbacks* callbacks);
OSStatus GetDataBrowserCustomCallbacks(ControlRef browser, DataBrowserCustomCallbacks* callbacks);

// --- The control ----------------------------------------------------------------

OSStatus CreateDataBrowserControl(WindowRef window, const Rect* boundsRect, DataBrowserViewStyle style,
                                  ControlRef* outControl);
OSStatus SetDataBrowserViewStyle(ControlRef browser, DataBrowserViewStyle style);
OSStatus GetDataBrowserViewStyle(ControlRef browser, DataBrowserViewStyle* style);
OSStatus DataBrowserChangeAttributes(ControlRef browser, DataBrowserAttributes toSet, DataBrowserAttributes toClear);
OSStatus DataBrowserGetAttributes(ControlRef browser, DataBrowserAttributes* attributes);
OSStatus SetDataBrowserListViewUsePlainBackground(ControlRef browser, Boolean usePlain);
OSStatus GetDataBrowserListViewUsePlainBackground(ControlRef browser, Boolean* usePlain);
OSStatus SetDataBrowserHasScrollBars(ControlRef browser, Boolean horiz, Boolean vert);
OSStatus GetDataBrowserHasScrollBars(ControlRef browser, Boolean* horiz, Boolean* vert);
OSStatus SetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags flags);
OSStatus GetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags* flags);
OSStatus SetDataBrowserTarget(ControlRef browser, DataBrowserItemID target);
OSStatus GetDataBrowserTarget(ControlRef browser, DataBrowserItemID* target);
// useDefaultValue puts the browser's own value back.
OSStatus SetDataBrowserMetric(ControlRef browser, DataBrowserMetric metric, Boolean useDefaultValue, CGFloat value);
OSStatus GetDataBrowserMetric(ControlRef browser, DataBrowserMetric metric, Boolean* usingDefaultValue,
                              CGFloat* value);

// --- Columns ----------------------------------------------------------------------

struct DataBrowserPropertyDesc {
  DataBrowserPropertyID propertyID;
  DataBrowserPropertyType propertyType;
  DataBrowserPropertyFlags propertyFlags;
};
typedef DataBrowserPropertyDesc DataBrowserTableViewColumnDesc;


struct DataBrowserListViewHeaderDesc {
  UInt32 version;
  UInt16 minimumWidth;
  UInt16 maximumWidth;
  SInt16 titleOffset;
  CFStringRef titleString;  // copied
  DataBrowserSortOrder initialOrder;
  const void* btnFontStyle;         // unused: headers use the small system font
  ControlButtonContentInfo btnContentInfo;
};

struct DataBrowserListViewColumnDesc {
  DataBrowserTableViewColumnDesc propertyDesc;
  DataBrowserListViewHeaderDesc headerBtnDesc;
};
enum : UInt32 { kDataBrowserListViewLatestHeaderDesc = 0 };
enum : DataBrowserTableViewColumnIndex { kDataBrowserListViewAppendColumn = 0xFFFFFFFFu };

OSStatus AddDataBrowserListViewColumn(ControlRef browser, DataBrowserListViewColumnDesc* columnDesc,
                                      DataBrowserTableViewColumnIndex position);
OSStatus RemoveDataBrowserTableViewColumn(ControlRef browser, DataBrowserTableViewColumnID column);
OSStatus GetDataBrowserTableViewColumnCount(ControlRef browser, UInt32* numColumns);
OSStatus GetDataBrowserTableViewColumnProperty(ControlRef browser, DataBrowserTableViewColumnIndex column,
                                               DataBrowserTableViewColumnID* property);
OSStatus GetDataBrowserTableViewColumnPosition(ControlRef browser, DataBrowserTableViewColumnID column,
                                               DataBrowserTableViewColumnIndex* position);
OSStatus SetDataBrowserTableViewNamedColumnWidth(ControlRef browser, DataBrowserTableViewColumnID column,
                                                 UInt16 width);
OSStatus GetDataBrowserTableViewNamedColumnWidth(ControlRef browser, DataBrowserTableViewColumnID column,
                                                 UInt16* width);
OSStatus SetDataBrowserListViewDisclosureColumn(ControlRef browser, DataBrowserTableViewColumnID column,
                                                Boolean expandableRows);
OSStatus GetDataBrowserListViewDisclosureColumn(ControlRef browser, DataBrowserTableViewColumnID* column,
                                                Boolean* expandableRows);
OSStatus SetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16 height);
OSStatus GetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16* height);
OSStatus SetDataBrowserTableViewRowHeight(ControlRef browser, UInt16 height);
OSStatus GetDataBrowserTableViewRowHeight(ControlRef browser, UInt16* height);
OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef browser, DataBrowserTableViewHiliteStyle hiliteStyle);
OSStatus GetDataBrowserTableViewHiliteStyle(ControlRef browser, DataBrowserTableViewHiliteStyle* hiliteStyle);

// --- Sorting -----------------------------------------------------------------------
// Rows are kept sorted by the compare callback (when the host installed one)
// on the sort property, increasing or decreasing.
OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property);
OSStatus GetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID* property);
OSStatus SetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder order);
OSStatus GetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder* order);
OSStatus SortDataBrowserContainer(ControlRef browser, DataBrowserItemID container, Boolean sortChildren);

// --- Items ---------------------------------------------------------------------------
// Items live inside a container (kDataBrowserNoItem = the top level) that is
// open. An ID is unique in the browser: adding a known ID again is ignored.

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty);
// numItems 0 removes every item inside the container (all items for
// kDataBrowserNoItem). errDataBrowserItemNotFound when an item is not there.
OSStatus RemoveDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty);
// Redraws the rows (numItems 0: every row inside the container).
OSStatus UpdateDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty,
                                DataBrowserPropertyID propertyID);
// The item IDs (UInt32 each) are appended to the handle, in row order.
OSStatus GetDataBrowserItems(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                             DataBrowserItemState state, Handle items);
OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                 DataBrowserItemState state, UInt32* numItems);
OSStatus ForEachDataBrowserItem(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                DataBrowserItemState state, DataBrowserItemUPP callback, void* clientData);
OSStatus GetDataBrowserItemState(ControlRef browser, DataBrowserItemID item, DataBrowserItemState* state);
Boolean IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item);

// Containers. Opening sends kDataBrowserContainerOpened, from which the host
// adds the children; closing removes them.
OSStatus OpenDataBrowserContainer(ControlRef browser, DataBrowserItemID container);
OSStatus CloseDataBrowserContainer(ControlRef browser, DataBrowserItemID container);

// --- Selection -------------------------------------------------------------------------
OSStatus SetDataBrowserSelectedItems(ControlRef browser, UInt32 numItems, const DataBrowserItemID* items,
                                     DataBrowserSetOption operation);
OSStatus GetDataBrowserSelectionAnchor(ControlRef browser, DataBrowserItemID* first, DataBrowserItemID* last);
OSStatus MoveDataBrowserSelectionAnchor(ControlRef browser, DataBrowserSelectionAnchorDirection direction,
                                        Boolean extendSelection);
// Opens the containers above the item and scrolls it into view.
OSStatus RevealDataBrowserItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID propertyID,
                               DataBrowserRevealOptions options);

// --- Rows, geometry, scrolling ------------------------------------------------------------
OSStatus GetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item,
                                        DataBrowserTableViewRowIndex* row);
OSStatus SetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item, DataBrowserTableViewRowIndex row);
OSStatus GetDataBrowserTableViewItemID(ControlRef browser, DataBrowserTableViewRowIndex row, DataBrowserItemID* item);
OSStatus GetDataBrowserItemPartBounds(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property,
                                      DataBrowserPropertyPart part, Rect* bounds);
OSStatus SetDataBrowserScrollPosition(ControlRef browser, UInt32 top, UInt32 left);
OSStatus GetDataBrowserScrollPosition(ControlRef browser, UInt32* top, UInt32* left);

// --- Editing a text cell in place ---------------------------------------------------------
// Item 0 ends the edit running (the text is committed).
OSStatus SetDataBrowserEditItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property);
OSStatus GetDataBrowserEditItem(ControlRef browser, DataBrowserItemID* item, DataBrowserPropertyID* property);
OSStatus SetDataBrowserEditText(ControlRef browser, CFStringRef text);
OSStatus CopyDataBrowserEditText(ControlRef browser, CFStringRef* text);

// --- Cell values, inside the item-data callback ---------------------------------------------
OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, CFStringRef theData);
OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef itemData, CFStringRef* theData);  // a copy
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, Boolean theData);
OSStatus GetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, Boolean* theData);
OSStatus SetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData, ThemeButtonValue theData);
OSStatus GetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData, ThemeButtonValue* theData);
OSStatus SetDataBrowserItemDataIcon(DataBrowserItemDataRef itemData, IconRef theData);
OSStatus SetDataBrowserItemDataValue(DataBrowserItemDataRef itemData, SInt32 theData);
OSStatus GetDataBrowserItemDataValue(DataBrowserItemDataRef itemData, SInt32* theData);
OSStatus SetDataBrowserItemDataItemID(DataBrowserItemDataRef itemData, DataBrowserItemID theData);
OSStatus GetDataBrowserItemDataProperty(DataBrowserItemDataRef itemData, DataBrowserPropertyID* theData);

enum : OSStatus {
  errDataBrowserNotConfigured = -4970,
  errDataBrowserItemNotFound = -4971,
  errDataBrowserItemNotAdded = -4975,
  errDataBrowserPropertyNotFound = -4972,
  errDataBrowserInvalidPropertyPart = -4973,
  errDataBrowserInvalidPropertyData = -4974,
  errDataBrowserPropertyNotSupported = -4979,
};
