// Browser: node records and the trees that own them; a list view bound to a
// tree (the browser), and the operations that fill, empty and query it and
// move its focus. The tree is the model; the list view's rows show it.
//
// Every browser operation finds the browser's record through the control and
// leaves the status of that look-up in Err; on a control that is not a
// browser it does nothing more.
#pragma once

#include "brackenrow/Brackenrow.h"

extern "C" {

// A new cleared record: INDEX = index, PARENT = inContainer, CONTAINER =
// container, DATA = userData (not copied; it must be a memory block, which
// the record then owns), DATALENGTH = length, DATATYPE = dataType. Nil when
// no memory is left.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowNewNode(void* userData, SInt32 length, UInt32 dataType, SInt32 index,
                                                SInt32 inContainer, Boolean container);
// Copies the browser's RELEASEITEM and CONTEXT into the record.
BRACKENROW_EXPORT void BrackenrowAssociateNode(NodeInfoPtr node, ControlRef browser);
// Frees the payload block and the record (each only when it is a live memory
// block) without calling RELEASE.
BRACKENROW_EXPORT void BrackenrowReleaseNode(NodeInfoPtr node);
// Version 0, the given info, the node retain and release callbacks, no
// description: a node made with it owns its record.
BRACKENROW_EXPORT CFTreeContext BrackenrowContextCallbacks(void* info);
// A tree node owning the record; nil info gives a root.
BRACKENROW_EXPORT CFTreeRef BrackenrowCreateTree(void* info);
// The node's record; nil for a nil node or a root.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetNode(CFTreeRef tree);
// The record's payload; nil when there is no record.
BRACKENROW_EXPORT void* BrackenrowGetNodeData(CFTreeRef tree);


// --- Binding ----------------------------------------------------------------

// Makes the list view a browser: applies the options, installs the list
// view's callbacks and the browser's event handlers and timer, and copies the
// host's callback record.
BRACKENROW_EXPORT void BrackenrowInitialize(ControlRef browser, BrackenrowOptions options,
                                            const BrackenrowCallbacks& callbacks);
// Undoes BrackenrowInitialize: removes the record, the timer and the window
// mouse handler, and lets go of the tree (released too when the browser owns
// it).
BRACKENROW_EXPORT void BrackenrowRelease(ControlRef browser);
// Stores the options; nothing is re-applied to the list view.
BRACKENROW_EXPORT void BrackenrowSetOptions(ControlRef browser, BrackenrowOptions options);
// Clears every slot of the stored callback record.
BRACKENROW_EXPORT void BrackenrowRemoveCallbacks(ControlRef browser);
BRACKENROW_EXPORT void BrackenrowSetBackgroundColor(ControlRef browser, CGRGB color);
// The image tiled behind selected rows; nil for none. The browser keeps a
// reference.
BRACKENROW_EXPORT void BrackenrowSetSelectionImage(ControlRef browser, CGImageRef image);
// The column from which item drags start ('DATA' by default).
BRACKENROW_EXPORT void BrackenrowSetDragColumn(DataBrowserPropertyID dragColumn, ControlRef browser);
// The modification count: every change of the tree adds one.
BRACKENROW_EXPORT void BrackenrowSetModified(ControlRef browser);
BRACKENROW_EXPORT SInt16 BrackenrowGetModCount(ControlRef browser);
BRACKENROW_EXPORT void BrackenrowResetModCount(ControlRef browser);
BRACKENROW_EXPORT CFTreeRef BrackenrowGetTree(ControlRef browser);
// The state (kDataBrowserItemMouse...State) and the position of the last
// tracked mouse action; the position is in the coordinates of the context
// the drawing handlers get (y up).
BRACKENROW_EXPORT UInt32 BrackenrowGetCursorState(ControlRef browser);
BRACKENROW_EXPORT CGPoint BrackenrowGetCursorLocation(ControlRef browser);

// --- Filling ---------------------------------------------------------------

// Appends a record (and its row) under inContainer (0: top level) and answers
// its item ID. index 0 picks one (the running counter with
// kBrackenrowLinearAutoIncrement, else the first free one of the group); a
// group > 0 adds group * kGroupIndexShift. With kBrackenrowCopyInfo the
// payload is copied, otherwise the record takes the block over. An unknown
// container puts the item at the top level.
BRACKENROW_EXPORT SInt32 BrackenrowAppendItem(void* userData, SInt32 length, UInt32 dataType, SInt16 group,
                                              SInt32 index, SInt32 inContainer, Boolean container,
                                              ControlRef browser);
// BrackenrowAppendItem(userData, 0, '????', 1, 0, 0, false, browser).
BRACKENROW_EXPORT SInt32 BrackenrowWriteLn(void* userData, ControlRef browser);
// Grafts a subtree under inContainer. A node with a record moves there (with
// includeRoot it gets a row); a bare root gives its children away and ends
// empty. With expand the children's rows are added. group is not used.
BRACKENROW_EXPORT void BrackenrowAppendChild(CFTreeRef inChild, SInt32 inContainer, SInt16 group, Boolean expand,
                                             Boolean includeRoot, ControlRef browser);
// Shows fromTree (made the browser's tree) without copying: a row for item,
// or with item 0 a row for every direct child of fromTree.
BRACKENROW_EXPORT void BrackenrowAppendReference(SInt32 item, SInt32 inContainer, CFTreeRef fromTree,
                                                 ControlRef browser);
// Makes tree the browser's tree and focus. The rows of the old tree are
// removed and an old tree the browser owns is released; the browser keeps a
// reference to the new one while it shows it. No rows are added.
BRACKENROW_EXPORT void BrackenrowSetTree(ControlRef browser, CFTreeRef tree);

// --- Removing ----------------------------------------------------------------

// Every row; the tree stays.
BRACKENROW_EXPORT void BrackenrowRemoveAll(ControlRef browser);
// Every row, the root's children when the browser made its own tree, the
// focus and the running counter.
BRACKENROW_EXPORT void BrackenrowClear(ControlRef browser);
// The rows and nodes inside the container item (0 does nothing).
BRACKENROW_EXPORT void BrackenrowClearContainer(ControlRef browser, SInt32 item);
// The item's row and, when that was there, its node with its subtree.
BRACKENROW_EXPORT void BrackenrowRemoveItem(ControlRef browser, SInt32 item);
// Deletes the selected items the host's REMOVEITEM agrees to (recursively
// through open containers with recurse).
BRACKENROW_EXPORT void BrackenrowClearSelection(Boolean recurse, ControlRef browser);
// Empties the selection and forgets the hovered item; nothing is deleted.
BRACKENROW_EXPORT void BrackenrowRemoveSelection(ControlRef browser);

// --- Queries -----------------------------------------------------------------

// The selected items, from the top level down; nil with count 0 when none.
BRACKENROW_EXPORT ItemArrayHandle GetSelectedBrowserItems(ControlRef browser, SInt16& count);
// The row items directly inside container, in any state.
BRACKENROW_EXPORT ItemArrayHandle GetContainerItems(ControlRef browser, SInt32 container, SInt16& count);
// The record of the first selected item; nil when none.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetSelection(ControlRef browser);
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetNodeAtIndex(SInt32 index, ControlRef browser);
// The record of the node's parent; nil for a top-level node or a miss.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetNodeParent(SInt32 index, ControlRef browser);
// The records of the item and its ancestors, the item first, in an array
// that does not own them; nil when the item does not exist.
BRACKENROW_EXPORT CFArrayRef BrackenrowCreateParentArray(SInt32 item, ControlRef browser);
// Every record of the tree, a container before its children, in an array
// that does not own them; nil when there is none.
BRACKENROW_EXPORT CFArrayRef BrackenrowCopyNodes(ControlRef browser);
// A CFData copy of the payload of each row item directly inside container.
BRACKENROW_EXPORT CFArrayRef BrackenrowSerializeContainer(ControlRef browser, SInt32 container);
// Calls applier for each row item of container in the given state
// (kDataBrowserItemAnyState for all) that has a record.
BRACKENROW_EXPORT void BrackenrowApplyFunction(ControlRef browser, BrackenrowApplierFunction applier,
                                               SInt32 container, DataBrowserItemState state, Boolean recurse,
                                               void* context);
// Redraws the item's row.
BRACKENROW_EXPORT void BrackenrowUpdateItem(SInt32 item, ControlRef browser);
// The record under a drag (spring-loading), or nil.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetHover(ControlRef browser);
BRACKENROW_EXPORT void BrackenrowClearHover(ControlRef browser);

// --- Focus ---------------------------------------------------------------------

// The node whose children are the top-level rows: its record (nil for the
// whole tree) and its item ID (0 for the whole tree).
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetFocus(ControlRef browser);
BRACKENROW_EXPORT SInt32 BrackenrowGetFocusItem(ControlRef browser);
// Back to the whole tree; the rows stay.
BRACKENROW_EXPORT void BrackenrowClearFocus(ControlRef browser);
// Shows the children of the item (its parent's for a leaf; 0: the whole
// tree) at the top level and selects the first row.
BRACKENROW_EXPORT void BrackenrowFocusAtIndex(SInt32 index, ControlRef browser);
// One level out, following the focus menu: answers the item focused, -1 at
// the whole tree, 0 (and nothing changes) when the menu has fewer than two
// items.
BRACKENROW_EXPORT SInt32 BrackenrowFocusGoBack(ControlRef browser);
// A 'FOCb' command from a focus menu: focuses that item's browser at its
// index and trims the menu. eventNotHandledErr for anything else.
BRACKENROW_EXPORT OSStatus BrackenrowHandleFocusEvent(EventRef event);

}  // extern "C"
