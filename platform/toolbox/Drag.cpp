// The drag record: items with their flavours, the drag's position, actions,
// image and drop location.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "CGImage.h"
#include "DragInternal.h"
#include "WindowInternal.h"

namespace {

std::unordered_set<DragRef>& LiveDrags() {
  static auto* drags = new std::unordered_set<DragRef>;  // outlives exit-time destructors
  return *drags;
}

DragItemRecord* FindItem(DragRef drag, DragItemRef ref) {
  for (DragItemRecord& item : drag->items)
    if (item.ref == ref) return &item;
  return nullptr;
}

Point ToQD(CGPoint p) {
  auto clamp = [](double v) { return SInt16(std::max(-32768.0, std::min(32767.0, v < 0 ? v - 0.5 : v + 0.5))); };
  return Point{clamp(p.y), clamp(p.x)};
}

// Reads of a flavour: the item and flavour must exist.
OSErr Lookup(DragRef drag, DragItemRef item, FlavorType type, DragFlavorRecord** out) {
  if (!DragIsLive(drag)) return badDragRefErr;
  DragItemRecord* record = FindItem(drag, item);
  if (record == nullptr) return badDragItemErr;
  for (DragFlavorRecord& flavor : record->flavors)
    if (flavor.type == type) {
      *out = &flavor;
      return noErr;
    }
  return badDragFlavorErr;
}

}  // namespace

bool DragIsLive(DragRef drag) { return drag != nullptr && LiveDrags().count(drag) != 0; }

DragRef DragCreateIncoming() {
  DragRef drag = nullptr;
  if (NewDrag(&drag) != noErr) return nullptr;
  drag->fromOtherProgram = true;
  return drag;
}

DragFlavorRecord* DragFindFlavor(DragRef drag, DragItemRef item, FlavorType type) {
  DragFlavorRecord* flavor = nullptr;
  return Lookup(drag, item, type, &flavor) == noErr ? flavor : nullptr;
}

DragFlavorRecord* DragFulfilFlavor(DragRef drag, DragItemRef item, FlavorType type) {
  DragFlavorRecord* flavor = DragFindFlavor(drag, item, type);
  if (flavor == nullptr || !(flavor->flags & flavorDataPromised) || drag->sendProc == nullptr) return flavor;
  // Asked once: a sender that cannot fill it leaves it empty.
  flavor->flags &= ~flavorDataPromised;
  drag->sendProc(type, drag->sendRefCon, item, drag);
  return DragIsLive(drag) ? DragFindFlavor(drag, item, type) : nullptr;
}

OSErr SetDragSendProc(DragRef theDrag, DragSendDataUPP sendProc, void* dragSendRefCon) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  theDrag->sendProc = sendProc;
  theDrag->sendRefCon = dragSendRefCon;
  return noErr;
}

OSErr NewDrag(DragRef* theDrag) {
  if (theDrag == nullptr) return paramErr;
  auto* drag = new OpaqueDragRef;
  LiveDrags().insert(drag);
  *theDrag = drag;
  return noErr;
}

OSErr DisposeDrag(DragRef theDrag) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (theDrag->tracking) return paramErr;
  LiveDrags().erase(theDrag);
  CGImageRelease(theDrag->image);
  delete theDrag;
  return noErr;
}

OSErr AddDragItemFlavor(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, const void* dataPtr,
                        Size dataSize, FlavorFlags theFlags) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0 && !(theFlags & flavorDataPromised))) return paramErr;
  DragItemRecord* item = FindItem(theDrag, theItemRef);
  if (item == nullptr) {
    theDrag->items.push_back(DragItemRecord{theItemRef, Rect{}, {}});
    item = &theDrag->items.back();
  }
  for (const DragFlavorRecord& flavor : item->flavors)
    if (flavor.type == theType) return duplicateFlavorErr;
  DragFlavorRecord flavor;
  flavor.type = theType;
  flavor.flags = theFlags;
  if (dataPtr != nullptr && dataSize > 0) {
    const auto* bytes = static_cast<const UInt8*>(dataPtr);
    flavor.data.assign(bytes, bytes + dataSize);
  } else if (dataPtr == nullptr) {
    flavor.flags |= flavorDataPromised;
  }
  item->flavors.push_back(std::move(flavor));
  return noErr;
}

OSErr SetDragItemFlavorData(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, const void* dataPtr,
                            Size dataSize, UInt32 dataOffset) {
  DragFlavorRecord* flavor = nullptr;
  if (OSErr status = Lookup(theDrag, theItemRef, theType, &flavor)) return status;
  if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0)) return paramErr;
  const size_t end = size_t(dataOffset) + size_t(dataSize);
  if (flavor->data.size() < end) flavor->data.resize(end);
  if (dataSize > 0) std::memcpy(flavor->data.data() + dataOffset, dataPtr, size_t(dataSize));
  flavor->flags &= ~flavorDataPromised;
  return noErr;
}

OSErr CountDragItems(DragRef theDrag, UInt16* numItems) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (numItems == nullptr) return paramErr;
  *numItems = UInt16(std::min<size_t>(theDrag->items.size(), 0xFFFF));
  return noErr;
}

OSErr GetDragItemReferenceNumber(DragRef theDrag, UInt16 theIndex, DragItemRef* theItemRef) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (theItemRef == nullptr) return paramErr;
  if (theIndex < 1 || theIndex > theDrag->items.size()) return badDragItemErr;
  *theItemRef = theDrag->items[theIndex - 1].ref;
  return noErr;
}

OSErr CountDragItemFlavors(DragRef theDrag, DragItemRef theItemRef, UInt16* numFlavors) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (numFlavors == nullptr) return paramErr;
  DragItemRecord* item = FindItem(theDrag, theItemRef);
  if (item == nullptr) return badDragItemErr;
  *numFlavors = UInt16(std::min<size_t>(item->flavors.size(), 0xFFFF));
  return noErr;
}

OSErr GetFlavorType(DragRef theDrag, DragItemRef theItemRef, UInt16 theIndex, FlavorType* theType) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (theType == nullptr) return paramErr;
  DragItemRecord* item = FindItem(theDrag, theItemRef);
  if (item == nullptr) return badDragItemErr;
  if (theIndex < 1 || theIndex > item->flavors.size()) return badDragFlavorErr;
  *theType = item->flavors[theIndex - 1].type;
  return noErr;
}

OSErr GetFlavorFlags(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, FlavorFlags* theFlags) {
  DragFlavorRecord* flavor = nullptr;
  if (OSErr status = Lookup(theDrag, theItemRef, theType, &flavor)) return status;
  if (theFlags == nullptr) return paramErr;
  *theFlags = flavor->flags;
  return noErr;
}

OSErr GetFlavorDataSize(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, Size* dataSize) {
  DragFlavorRecord* flavor = nullptr;
  if (OSErr status = Lookup(theDrag, theItemRef, theType, &flavor)) return status;
  if (dataSize == nullptr) return paramErr;
  *dataSize = Size(flavor->data.size());
  return noErr;
}

OSErr GetFlavorData(DragRef theDrag, DragItemRef theItemRef, FlavorType theType, void* dataPtr, Size* dataSize,
                    UInt32 dataOffset) {
  DragFlavorRecord* flavor = nullptr;
  if (OSErr status = Lookup(theDrag, theItemRef, theType, &flavor)) return status;
  if (dataSize == nullptr || *dataSize < 0 || (dataPtr == nullptr && *dataSize > 0)) return paramErr;
  // Sender-only data never reaches another program's drop.
  if ((flavor->flags & flavorSenderOnly) && theDrag->fromOtherProgram) return cantGetFlavorErr;
  const size_t size = flavor->data.size();
  const size_t available = dataOffset < size ? size - dataOffset : 0;
  const size_t count = std::min(available, size_t(*dataSize));
  if (count > 0) std::memcpy(dataPtr, flavor->data.data() + dataOffset, count);
  *dataSize = Size(count);
  return noErr;
}

OSErr SetDragItemBounds(DragRef theDrag, DragItemRef theItemRef, const Rect* itemBounds) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  DragItemRecord* item = FindItem(theDrag, theItemRef);
  if (item == nullptr) return badDragItemErr;
  if (itemBounds == nullptr) return paramErr;
  item->bounds = *itemBounds;
  return noErr;
}

OSErr GetDragItemBounds(DragRef theDrag, DragItemRef theItemRef, Rect* itemBounds) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  DragItemRecord* item = FindItem(theDrag, theItemRef);
  if (item == nullptr) return badDragItemErr;
  if (itemBounds == nullptr) return paramErr;
  *itemBounds = item->bounds;
  return noErr;
}

OSStatus SetDragImageWithCGImage(DragRef inDrag, CGImageRef inCGImage, const HIPoint* inImageOffset,
                                 DragImageFlags) {
  if (!DragIsLive(inDrag)) return badDragRefErr;
  if (inCGImage == nullptr || inImageOffset == nullptr) return paramErr;
  CGImageRetain(inCGImage);
  CGImageRelease(inDrag->image);
  inDrag->image = inCGImage;
  inDrag->imageOffset = *inImageOffset;
  return noErr;
}

OSStatus GetDragImage(DragRef inDrag, CGImageRef* outImage, HIPoint* outImageOffset) {
  if (!DragIsLive(inDrag)) return badDragRefErr;
  if (outImage) *outImage = inDrag->image;
  if (outImageOffset) *outImageOffset = inDrag->imageOffset;
  return noErr;
}

OSErr GetDragMouse(DragRef theDrag, Point* mouse, Point* globalPinnedMouse) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (mouse) *mouse = ToQD(theDrag->mouse);
  if (globalPinnedMouse) *globalPinnedMouse = ToQD(theDrag->mouse);
  return noErr;
}

OSErr GetDragOrigin(DragRef theDrag, Point* globalInitialMouse) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (globalInitialMouse == nullptr) return paramErr;
  *globalInitialMouse = ToQD(theDrag->origin);
  return noErr;
}

OSErr GetDragModifiers(DragRef theDrag, SInt16* modifiers, SInt16* mouseDownModifiers, SInt16* mouseUpModifiers) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (modifiers) *modifiers = SInt16(theDrag->modifiers);
  if (mouseDownModifiers) *mouseDownModifiers = SInt16(theDrag->downModifiers);
  if (mouseUpModifiers) *mouseUpModifiers = SInt16(theDrag->upModifiers);
  return noErr;
}

OSErr GetDragAttributes(DragRef theDrag, DragAttributes* flags) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (flags == nullptr) return paramErr;
  DragAttributes a = 0;
  if (theDrag->leftSourceWindow) a |= kDragHasLeftSenderWindow;
  if (!theDrag->fromOtherProgram && theDrag->currentWindow != nullptr) {
    a |= kDragInsideSenderApplication;
    if (theDrag->currentWindow == theDrag->sourceWindow) a |= kDragInsideSenderWindow;
  }
  *flags = a;
  return noErr;
}

OSStatus SetDragAllowableActions(DragRef theDrag, DragActions inActions, Boolean isLocal) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  (isLocal ? theDrag->allowableLocal : theDrag->allowableRemote) = inActions;
  return noErr;
}

OSStatus GetDragAllowableActions(DragRef theDrag, DragActions* outActions) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (outActions == nullptr) return paramErr;
  const bool local = !theDrag->fromOtherProgram && (theDrag->currentWindow != nullptr || !theDrag->tracking);
  *outActions = local ? theDrag->allowableLocal : theDrag->allowableRemote;
  return noErr;
}

OSStatus SetDragDropAction(DragRef theDrag, DragActions inAction) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  theDrag->dropAction = inAction;
  return noErr;
}

OSStatus GetDragDropAction(DragRef theDrag, DragActions* outAction) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (outAction == nullptr) return paramErr;
  *outAction = theDrag->dropAction;
  return noErr;
}

OSErr GetDropLocation(DragRef theDrag, AEDesc* dropLocation) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (dropLocation == nullptr) return paramErr;
  AEInitializeDesc(dropLocation);
  if (theDrag->dropType == typeNull) return noErr;
  return AECreateDesc(theDrag->dropType, theDrag->dropData.data(), Size(theDrag->dropData.size()), dropLocation);
}

OSErr SetDropLocation(DragRef theDrag, const AEDesc* dropLocation) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (dropLocation == nullptr || dropLocation->descriptorType == typeNull) {
    theDrag->dropType = typeNull;
    theDrag->dropData.clear();
    return noErr;
  }
  const Size size = AEGetDescDataSize(dropLocation);
  std::vector<UInt8> bytes(size_t(std::max<Size>(size, 0)));
  if (size > 0) {
    if (OSErr status = AEGetDescData(dropLocation, bytes.data(), size)) return status;
  }
  theDrag->dropType = dropLocation->descriptorType;
  theDrag->dropData = std::move(bytes);
  return noErr;
}

Boolean ConvertEventRefToEventRecord(EventRef inEvent, EventRecord* outEvent) {
  if (inEvent == nullptr || outEvent == nullptr) return false;
  EventRecord record{};
  const EventClass cls = GetEventClass(inEvent);
  const EventKind kind = GetEventKind(inEvent);
  if (cls == kEventClassMouse && (kind == kEventMouseDown || kind == kEventMouseUp)) {
    record.what = kind == kEventMouseDown ? mouseDown : mouseUp;
  } else if (cls == kEventClassKeyboard && (kind == kEventRawKeyDown || kind == kEventRawKeyRepeat ||
                                             kind == kEventRawKeyUp)) {
    record.what = kind == kEventRawKeyDown ? keyDown : kind == kEventRawKeyUp ? keyUp : autoKey;
    UInt32 code = 0;
    char charCode = 0;
    GetEventParameter(inEvent, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
    GetEventParameter(inEvent, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &charCode);
    record.message = (code & 0xFF) << 8 | UInt8(charCode);
  } else {
    return false;
  }
  HIPoint where{0, 0};
  if (GetEventParameter(inEvent, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where) ==
      noErr)
    record.where = ToQD(where);
  UInt32 modifiers = 0;
  GetEventParameter(inEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  record.modifiers = EventModifiers(modifiers);
  record.when = EventTimeToTicks(GetEventTime(inEvent));
  *outEvent = record;
  return true;
}
