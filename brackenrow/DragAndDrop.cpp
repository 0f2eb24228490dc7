// DragAndDrop: items dragged out of a browser, drops accepted item by item
// through the host, and items moved inside the browser by a drop.
//
// Every dragged item carries, besides its ID and its record's address, the
// process and browser it came from: an ID means this browser's item, and an
// address means a record, only when the drag came from there.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "brackenrow/BrowserData.h"

namespace {

BrackenrowDragSource SourceOf(DragRef drag, DragItemRef itemRef) {
  BrackenrowDragSource source{};
  Size size = sizeof source;
  Size actual = 0;
  if (GetFlavorDataSize(drag, itemRef, kBrackenrowSourceDragFlavor, &actual) != noErr || actual != size ||
      GetFlavorData(drag, itemRef, kBrackenrowSourceDragFlavor, &source, &size, 0) != noErr || size != actual)
    return BrackenrowDragSource{};
  return source;
}

bool FromThisProcess(const BrackenrowDragSource& source) { return source.process == SInt64(getpid()); }

bool FromThisBrowser(const BrackenrowDragSource& source, ControlRef browser) {
  return FromThisProcess(source) && source.browser == browser;
}

// The flavour's bytes in a new block (an empty one when they cannot be had).
Ptr CopyFlavor(DragRef drag, DragItemRef itemRef, FlavorType type) {
  Size size = 0;
  if (GetFlavorDataSize(drag, itemRef, type, &size) != noErr || size < 0) size = 0;
  Ptr block = NewPtrClear(size);
  if (block && size > 0 && GetFlavorData(drag, itemRef, type, block, &size, 0) != noErr)
    std::memset(block, 0, size_t(GetPtrSize(block)));
  return block;
}

// Flavours the host never sees: the source record is the library's own, and
// an address from another process means nothing here.
bool Hidden(FlavorType type, const BrackenrowDragSource& source) {
  return type == kBrackenrowSourceDragFlavor || (type == kBrackenrowNodeDataDragFlavor && !FromThisProcess(source));
}

SInt32 ReadItemID(Ptr block) {
  SInt32 id = 0;
  if (block && GetPtrSize(block) >= Size(sizeof id)) std::memcpy(&id, block, sizeof id);
  return id;
}

}  // namespace

// --- Dragging out -------------------------------------------------------------------

Boolean BrowserAddDragItem(ControlRef browser, DragRef drag, DataBrowserItemID item, ItemReference* itemRef) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || itemRef == nullptr || data->CALLBACKS.ADDDRAGITEM == nullptr) return false;
  NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
  if (record == nullptr) return false;
  if (!data->CALLBACKS.ADDDRAGITEM(record->DATA, record->DATATYPE, item, drag, *itemRef, browser,
                                   data->CALLBACKS.CONTEXT))
    return false;
  if ((data = TestBrowserData(browser)) == nullptr) return false;
  SInt32 id = SInt32(item);
  AddDragItemFlavor(drag, *itemRef, kBrackenrowItemDragFlavor, &id, sizeof id, 0);
  AddDragItemFlavor(drag, *itemRef, kBrackenrowNodeDataDragFlavor, &record, sizeof record, flavorSenderOnly);
  BrackenrowDragSource source{SInt64(getpid()), browser};
  AddDragItemFlavor(drag, *itemRef, kBrackenrowSourceDragFlavor, &source, sizeof source, flavorSenderOnly);
  // The image shows every dragged row: it is built once the last one is in.
  UInt16 count = 0;
  CountDragItems(drag, &count);
  UInt32 selected = 0;
  GetDataBrowserItemCount(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected, &selected);
  if (count >= selected && data->CALLBACKS.DRAWDRAGIMAGE) BuildDragImage(data, drag);
  return true;
}

void BrowserPostProcessDrag(ControlRef browser, DragRef drag, OSStatus trackDragResult) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  data->DRAGGING = false;
  if (data->CALLBACKS.POSTDRAG) data->CALLBACKS.POSTDRAG(browser, drag, trackDragResult, data->CALLBACKS.CONTEXT);
}

// --- Dropping in --------------------------------------------------------------------

Boolean BrowserAcceptDrag(ControlRef browser, DragRef drag, DataBrowserItemID item) {
  (void)item;  // the target is the row the hit test found under the drag
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return false;
  // A part the hit test found for the row under the drag stays.
  if (data->HOVERITEM == 0 || data->HOVERITEM != data->partItem) data->TRACKINGPART = kTrackingContentPart;
  NodeInfoPtr target = data->HOVERITEM ? BrackenrowGetNode(NodeOfItem(data, SInt32(data->HOVERITEM))) : nullptr;
  data->CONTROLTARGET = data->HOVERITEM == 0;
  bool accepted = false;
  if (data->CALLBACKS.ACCEPTDRAG) {
    UInt16 count = 0;
    CountDragItems(drag, &count);
    accepted = count > 0;
    for (UInt16 i = 1; i <= count && accepted; ++i) {
      DragItemRef ref = 0;
      GetDragItemReferenceNumber(drag, i, &ref);
      const BrackenrowDragSource source = SourceOf(drag, ref);
      UInt16 flavors = 0;
      CountDragItemFlavors(drag, ref, &flavors);
      bool itemAccepted = false;
      for (UInt16 f = 1; f <= flavors && !itemAccepted; ++f) {
        FlavorType type = 0;
        if (GetFlavorType(drag, ref, f, &type) != noErr || Hidden(type, source)) continue;
        Ptr block = CopyFlavor(drag, ref, type);
        void* offered = block;
        FlavorType offeredType = type;
        if (type == kBrackenrowItemDragFlavor && FromThisBrowser(source, browser)) {
          // This browser's own item: its payload rather than its ID.
          if (NodeInfoPtr own = BrackenrowGetNode(NodeOfItem(data, ReadItemID(block)))) {
            offered = own->DATA;
            offeredType = own->DATATYPE;
          }
        }
        itemAccepted = data->CALLBACKS.ACCEPTDRAG(browser, target, drag, offered, offeredType,
                                                  data->CALLBACKS.CONTEXT);
        ReleasePtr(block);
        if ((data = TestBrowserData(browser)) == nullptr) return false;
      }
      accepted = itemAccepted;
    }
  }
  if (accepted) {
    data->HOVERTIME = TickCount();
    if (data->HOVERITEM) UpdateDataBrowserItems(browser, kDataBrowserNoItem, 1, &data->HOVERITEM, 0, 0);
  } else {
    data->HOVERITEM = 0;
    data->HOVERTIME = 0;
  }
  if ((data->LASTHOVERITEM == 0) != (data->HOVERITEM == 0)) HIViewSetNeedsDisplay(browser, true);
  return accepted;
}

Boolean BrowserReceiveDrag(ControlRef browser, DragRef drag, DataBrowserItemID item) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return true;
  NodeInfoPtr target = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
  if (target == nullptr && data->FOCUS != data->TREE) target = BrackenrowGetNode(data->FOCUS);
  UInt16 count = 0;
  CountDragItems(drag, &count);
  for (UInt16 i = 1; i <= count; ++i) {
    DragItemRef ref = 0;
    GetDragItemReferenceNumber(drag, i, &ref);
    const BrackenrowDragSource source = SourceOf(drag, ref);
    UInt16 flavors = 0;
    CountDragItemFlavors(drag, ref, &flavors);
    for (UInt16 f = 1; f <= flavors; ++f) {
      if ((data = TestBrowserData(browser)) == nullptr) return true;
      FlavorType type = 0;
      if (GetFlavorType(drag, ref, f, &type) != noErr || Hidden(type, source)) continue;
      Ptr block = CopyFlavor(drag, ref, type);
      // Rows of this browser move to where they were dropped; an ID from
      // anywhere else names nothing here.
      if (type == kBrackenrowItemDragFlavor && (data->OPTIONS & kBrackenrowArrangeRowOrder) &&
          FromThisBrowser(source, browser) && item != 0) {
        SInt32 dragged = ReadItemID(block);
        if (dragged != 0) HandleDropLocation(DataBrowserItemID(dragged), item, browser);
        if ((data = TestBrowserData(browser)) == nullptr) {
          ReleasePtr(block);
          return true;
        }
        target = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
      }
      data->HOVERITEM = item;
      if (data->CALLBACKS.RECEIVEDRAG)
        data->CALLBACKS.RECEIVEDRAG(browser, target, drag, block, type, data->CALLBACKS.CONTEXT);
      ReleasePtr(block);
    }
  }
  return true;
}

// --- Moving inside the browser ---------------------------------------------------------

void HandleDropLocation(DataBrowserItemID item, DataBrowserItemID target, ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || item == 0 || target == 0) return;
  const SInt16 part = data->TRACKINGPART;
  DataBrowserItemID tracking = 0;
  DataBrowserTableViewRowIndex row = 0;
  if (GetDataBrowserTableViewItemRow(browser, target, &row) == noErr) {
    if (part == kTrackingUpperPart) {
      if (row > 0) GetDataBrowserTableViewItemID(browser, row - 1, &tracking);
    } else {
      GetDataBrowserTableViewItemID(browser, row, &tracking);
    }
  }
  if (tracking == 0) tracking = target;
  DataBrowserItemState state = 0;
  GetDataBrowserItemState(browser, tracking, &state);
  if ((state & kDataBrowserContainerIsOpen) && part != kTrackingUpperPart)
    MoveItem(browser, item, tracking);
  else
    ExchangeItemsAtIndices(browser, item, tracking);
}

void MoveItem(ControlRef browser, DataBrowserItemID item, DataBrowserItemID container) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  CFTreeRef node = NodeOfItem(data, SInt32(item));
  CFTreeRef into = NodeOfItem(data, SInt32(container));
  // A node never goes inside itself.
  if (node == nullptr || into == nullptr || IsInSubtree(into, node)) return;
  ++data->MODIFIED;
  CFRetain(node);
  CFTreeRemove(node);
  CFTreeAppendChild(into, node);
  CFRelease(node);
  BrackenrowGetNode(node)->PARENT = SInt32(container);
  RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0);
  if ((data = TestBrowserData(browser)) == nullptr) return;
  DataBrowserItemID rowParent = into == data->FOCUS ? kDataBrowserNoItem : container;
  if (AddDataBrowserItems(browser, rowParent, 1, &item, 0) == noErr)
    if (NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(item))); record && record->OPEN)
      OpenDataBrowserContainer(browser, item);
}

void ExchangeItemsAtIndices(ControlRef browser, DataBrowserItemID item, DataBrowserItemID target) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  CFTreeRef node = NodeOfItem(data, SInt32(item));
  CFTreeRef after = NodeOfItem(data, SInt32(target));
  if (node != nullptr && node == after) {
    ++data->MODIFIED;
    return;
  }
  // Nothing goes after a row of its own subtree.
  if (node == nullptr || after == nullptr || IsInSubtree(after, node)) return;
  ++data->MODIFIED;
  CFTreeRef oldParent = CFTreeGetParent(node);
  CFTreeRef targetParent = CFTreeGetParent(after);
  CFRetain(node);
  CFTreeRemove(node);
  if (CFTreeGetParent(after) == targetParent)
    CFTreeInsertSibling(after, node);
  else
    CFTreePrependChild(after, node);
  CFRelease(node);
  NodeInfoPtr record = BrackenrowGetNode(node);
  NodeInfoPtr targetRecord = BrackenrowGetNode(after);
  if (record && targetRecord) {
    const CFTreeRef newParent = CFTreeGetParent(node);
    if (oldParent != newParent) {
      record->PARENT = ItemOfNode(newParent);
      RebuildContainer(DataBrowserItemID(ItemOfNode(oldParent)), browser);
    }
    RebuildContainer(DataBrowserItemID(ItemOfNode(newParent)), browser);
  }
}
