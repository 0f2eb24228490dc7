// Drag helpers (flavour look-up and walks, file promises for the file
// manager), menu item help tags and the contextual menu font.
#include <cstring>

#include "Aliases.h"
#include "CFString.h"
#include "HITheme.h"
#include "MacHelp.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "WASTE.h"

namespace {

// The reference number of the item at the 1-based index; 0 on failure (Err set).
bool ItemAt(DragRef drag, UInt16 index, DragItemRef* ref) {
  Err = GetDragItemReferenceNumber(drag, index, ref);
  return Err == noErr;
}

// The flavour's data in a new block of its size; nil when unreadable.
Ptr ReadFlavor(DragRef drag, DragItemRef ref, FlavorType type) {
  Size size = 0;
  Err = GetFlavorDataSize(drag, ref, type, &size);
  if (Err != noErr) return nullptr;
  Ptr block = NewPtr(size);
  if (block == nullptr) {
    Err = memFullErr;
    return nullptr;
  }
  Err = GetFlavorData(drag, ref, type, block, &size, 0);
  if (Err != noErr) {
    void* p = block;
    ReleasePtr(p);
    return nullptr;
  }
  return block;
}

}  // namespace

Boolean DragContainsFlavor(DragRef drag, FlavorType type) {
  UInt16 count = 0;
  Err = CountDragItems(drag, &count);
  for (UInt16 i = 1; Err == noErr && i <= count; ++i) {
    DragItemRef ref = 0;
    if (!ItemAt(drag, i, &ref)) break;
    FlavorFlags flags = 0;
    Err = GetFlavorFlags(drag, ref, type, &flags);
    if (Err == noErr) return true;
    if (Err == badDragFlavorErr) Err = noErr;  // this item lacks it; look on
  }
  return false;
}

Ptr DragGetFlavorData(DragRef drag, UInt16 index, FlavorType type) {
  DragItemRef ref = 0;
  if (!ItemAt(drag, index, &ref)) return nullptr;
  UInt16 flavors = 0;
  Err = CountDragItemFlavors(drag, ref, &flavors);
  for (UInt16 f = 1; Err == noErr && f <= flavors; ++f) {
    FlavorType flavor = 0;
    Err = GetFlavorType(drag, ref, f, &flavor);
    if (Err != noErr) break;
    if (type != 0 && flavor != type) continue;
    if (Ptr block = ReadFlavor(drag, ref, flavor)) return block;
    Err = noErr;  // unreadable: the next one may do
  }
  return nullptr;
}

void DragApplyFunction(DragRef drag, DragReferenceApplierFunction function, void* userData) {
  UInt16 count = 0;
  Err = CountDragItems(drag, &count);
  for (UInt16 i = 1; Err == noErr && i <= count; ++i) {
    DragItemRef ref = 0;
    if (!ItemAt(drag, i, &ref)) return;
    UInt16 flavors = 0;
    Err = CountDragItemFlavors(drag, ref, &flavors);
    for (UInt16 f = 1; Err == noErr && f <= flavors; ++f) {
      FlavorType type = 0;
      Err = GetFlavorType(drag, ref, f, &type);
      if (Err != noErr) return;
      void* block = ReadFlavor(drag, ref, type);
      if (block == nullptr) continue;
      if (function) function(type, static_cast<Ptr>(block), userData);
      ReleasePtr(block);
    }
  }
}

void FSAddDragFinderAlias(DragRef drag, DragItemRef item, const Str255& name) {
  unsigned char alia[256] = {};
  std::memcpy(alia, name.data(), size_t(name.len()) + 1);
  Err = AddDragItemFlavor(drag, item, 'alia', alia, sizeof alia, 0);

  HFSFlavor hfs;
  std::memset(&hfs, 0, sizeof hfs);
  const int n = name.len() > 63 ? 63 : name.len();  // the record's name holds 63 characters
  hfs.fileSpec.name[0] = UInt8(n);
  std::memcpy(hfs.fileSpec.name + 1, name.data() + 1, size_t(n));
  Err = AddDragItemFlavor(drag, item, kDragFlavorTypeHFS, &hfs, sizeof hfs, 0);

  PromiseHFSFlavor promise;
  std::memset(&promise, 0, sizeof promise);
  promise.promisedFlavor = kDragFlavorTypeHFS;
  Err = AddDragItemFlavor(drag, item, kDragFlavorTypePromiseHFS, &promise, sizeof promise, 0);
}

OSStatus FSGetDragFinderLocation(DragRef drag, UInt16 index, Str255& name, CFURLRef& folder) {
  name.Clear();
  AEDesc location;
  AEInitializeDesc(&location);
  Err = GetDropLocation(drag, &location);
  OSStatus result = fnfErr;
  if (Err == noErr && location.descriptorType == typeAlias) {
    const Size size = AEGetDescDataSize(&location);
    Handle alias = NewHandle(size);
    FSRef target{};
    Boolean changed = false;
    result = alias != nullptr ? AEGetDescData(&location, *alias, size) : OSStatus(memFullErr);
    if (result == noErr) result = FSResolveAlias(nullptr, alias, &target, &changed);
    if (alias != nullptr) DisposeHandle(alias);
    if (result == noErr) {
      folder = CFURLCreateFromFSRef(nullptr, &target);
      Ptr block = DragGetFlavorData(drag, index, 'alia');
      if (block != nullptr) {
        // The flavour may come from elsewhere: never read past its block.
        Size blockSize = GetPtrSize(block);
        const size_t length = blockSize > 0 ? std::min<size_t>(UInt8(block[0]), size_t(blockSize - 1)) : 0;
        name = Str255::FromBytes(block + 1, length);
        void* p = block;
        ReleasePtr(p);
        result = noErr;
      } else {
        result = fnfErr;
      }
    }
  }
  if (location.descriptorType != typeNull || location.dataHandle != nullptr) AEDisposeDesc(&location);
  Err = result;
  return result;
}

void SetMenuItemHelp(MenuRef menu, MenuItemIndex item, const Str255& text) {
  HMHelpContentRec content;
  std::memset(&content, 0, sizeof content);
  content.version = 0;
  content.tagSide = kHMDefaultSide;
  content.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
  content.content[kHMMinimumContentIndex].u.tagCFString = CFSTR(text);
  content.content[kHMMaximumContentIndex].contentType = kHMNoContent;
  Err = HMSetMenuItemHelpContent(menu, item, &content);
}

SInt32 SetContextualMenuFont(MenuRef menu) {
  unsigned char family[256] = {};
  SInt16 size = 0;
  Style style = 0;
  Err = GetThemeFont(kThemeToolbarFont, 0 /* Roman */, family, &size, &style);
  if (Err != noErr) return 0;
  Err = SetMenuFont(menu, FMGetFontFamilyFromName(family), UInt16(size));
  return 0;
}
