// Pasteboards: named stores of items x flavours shared by every reference of
// the process, with the ownership rule of writers and the plain-text
// translations readers expect.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../cf/CFRuntime.h"
#include "CFString.h"
#include "PasteboardInternal.h"

namespace {

const char kUTF8Text[] = "public.utf8-plain-text";
const char kUTF16Text[] = "public.utf16-plain-text";

struct Flavor {
  std::string type;
  std::vector<UInt8> data;
  PasteboardFlavorFlags flags = 0;
};
struct Item {
  PasteboardItemID id = nullptr;
  std::vector<Flavor> flavors;
};
struct Store {
  std::vector<Item> items;
  UInt64 changes = 1;
  bool owned = false;  // this program cleared it last
  int refs = 0;
  bool unique = false;
};

std::map<std::string, Store>& Stores() {
  static auto* stores = new std::map<std::string, Store>;  // outlives exit-time destructors
  return *stores;
}
const PasteboardBridge* gBridge = nullptr;
UInt64 gUniqueCounter = 0;

CFTypeID TypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("Pasteboard");
  return id;
}

struct PasteboardObject : __CFRuntimeBase {
  PasteboardObject() : __CFRuntimeBase(TypeID()) {}
  ~PasteboardObject() override {
    auto it = Stores().find(name);
    if (it == Stores().end()) return;
    if (--it->second.refs <= 0 && it->second.unique) Stores().erase(it);
  }
  std::string Describe() const override { return "<Pasteboard " + name + ">"; }
  std::string name;
  UInt64 seen = 0;
};

PasteboardObject* Of(PasteboardRef ref) {
  return CFCast<PasteboardObject>(reinterpret_cast<CFTypeRef>(ref), TypeID());
}

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return std::string();
  CFDataRef data = CFStringCreateExternalRepresentation(nullptr, s, kCFStringEncodingUTF8, '?');
  if (data == nullptr) return std::string();
  std::string out(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  CFRelease(data);
  return out;
}

CFStringRef MakeString(const std::string& s) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()),
                                 kCFStringEncodingUTF8, false);
}

// Before reading a store this program does not own, the host brings in what
// another program put there.
Store* Refreshed(PasteboardObject* pb) {
  auto it = Stores().find(pb->name);
  if (it == Stores().end()) return nullptr;
  if (!it->second.owned && gBridge != nullptr && gBridge->refresh != nullptr) {
    gBridge->refresh(pb->name);
    it = Stores().find(pb->name);
    if (it == Stores().end()) return nullptr;
  }
  return &it->second;
}

Item* FindItem(Store* store, PasteboardItemID id) {
  for (Item& item : store->items)
    if (item.id == id) return &item;
  return nullptr;
}

const Flavor* FindFlavor(const Item& item, const std::string& type) {
  for (const Flavor& f : item.flavors)
    if (f.type == type) return &f;
  return nullptr;
}

// Plain text in the other Unicode form; false when the bytes do not decode.
bool Translate(const Flavor& from, const std::string& to, std::vector<UInt8>* out) {
  const bool toUTF16 = to == kUTF16Text;
  if (!(toUTF16 ? from.type == kUTF8Text : (to == kUTF8Text && from.type == kUTF16Text))) return false;
  if (!toUTF16 && from.data.size() % 2 != 0) return false;
  CFStringRef s = CFStringCreateWithBytes(nullptr, from.data.data(), CFIndex(from.data.size()),
                                          toUTF16 ? kCFStringEncodingUTF8 : kCFStringEncodingUTF16LE, false);
  if (s == nullptr) return false;
  CFDataRef data =
      CFStringCreateExternalRepresentation(nullptr, s, toUTF16 ? kCFStringEncodingUTF16LE : kCFStringEncodingUTF8, 0);
  CFRelease(s);
  if (data == nullptr) return false;
  out->assign(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
  CFRelease(data);
  return true;
}

void Changed(const std::string& name) {
  if (gBridge != nullptr && gBridge->changed != nullptr) gBridge->changed(name);
}

}  // namespace

CFTypeID PasteboardGetTypeID() { return TypeID(); }

OSStatus PasteboardCreate(CFStringRef inName, PasteboardRef* outPasteboard) {
  if (outPasteboard == nullptr) return paramErr;
  *outPasteboard = nullptr;
  auto* pb = new PasteboardObject;
  bool unique = inName == nullptr;
  pb->name = unique ? "com.quorvel.pasteboard.unique." + std::to_string(++gUniqueCounter) : UTF8(inName);
  if (pb->name.empty()) {
    delete pb;
    return paramErr;
  }
  Store& store = Stores()[pb->name];
  store.unique = unique;
  ++store.refs;
  *outPasteboard = reinterpret_cast<PasteboardRef>(static_cast<__CFRuntimeBase*>(pb));
  return noErr;
}

OSStatus PasteboardCopyName(PasteboardRef inPasteboard, CFStringRef* outName) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outName == nullptr) return paramErr;
  *outName = MakeString(pb->name);
  return *outName ? noErr : OSStatus(memFullErr);
}

OSStatus PasteboardClear(PasteboardRef inPasteboard) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr) return paramErr;
  Store& store = Stores()[pb->name];
  store.items.clear();
  store.owned = true;
  ++store.changes;
  pb->seen = store.changes;
  Changed(pb->name);
  return noErr;
}

PasteboardSyncFlags PasteboardSynchronize(PasteboardRef inPasteboard) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr) return 0;
  Store* store = Refreshed(pb);
  if (store == nullptr) return 0;
  PasteboardSyncFlags flags = 0;
  if (pb->seen != store->changes) flags |= kPasteboardModified;
  if (store->owned) flags |= kPasteboardClientIsOwner;
  pb->seen = store->changes;
  return flags;
}

OSStatus PasteboardGetItemCount(PasteboardRef inPasteboard, ItemCount* outItemCount) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outItemCount == nullptr) return paramErr;
  Store* store = Refreshed(pb);
  *outItemCount = store ? ItemCount(store->items.size()) : 0;
  return noErr;
}

OSStatus PasteboardGetItemIdentifier(PasteboardRef inPasteboard, CFIndex inIndex, PasteboardItemID* outItem) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outItem == nullptr) return paramErr;
  Store* store = Refreshed(pb);
  if (store == nullptr || inIndex < 1 || size_t(inIndex) > store->items.size()) return badPasteboardIndexErr;
  *outItem = store->items[size_t(inIndex - 1)].id;
  return noErr;
}

OSStatus PasteboardCopyItemFlavors(PasteboardRef inPasteboard, PasteboardItemID inItem, CFArrayRef* outFlavorTypes) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outFlavorTypes == nullptr) return paramErr;
  *outFlavorTypes = nullptr;
  Store* store = Refreshed(pb);
  Item* item = store ? FindItem(store, inItem) : nullptr;
  if (item == nullptr) return badPasteboardItemErr;
  CFMutableArrayRef types = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  auto add = [&](const std::string& type) {
    if (CFStringRef s = MakeString(type)) {
      CFArrayAppendValue(types, s);
      CFRelease(s);
    }
  };
  for (const Flavor& f : item->flavors) add(f.type);
  if (FindFlavor(*item, kUTF8Text) && !FindFlavor(*item, kUTF16Text)) add(kUTF16Text);
  if (FindFlavor(*item, kUTF16Text) && !FindFlavor(*item, kUTF8Text)) add(kUTF8Text);
  *outFlavorTypes = types;
  return noErr;
}

OSStatus PasteboardGetItemFlavorFlags(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                      PasteboardFlavorFlags* outFlags) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outFlags == nullptr || inFlavorType == nullptr) return paramErr;
  Store* store = Refreshed(pb);
  Item* item = store ? FindItem(store, inItem) : nullptr;
  if (item == nullptr) return badPasteboardItemErr;
  const std::string type = UTF8(inFlavorType);
  if (const Flavor* f = FindFlavor(*item, type)) {
    *outFlags = f->flags;
    return noErr;
  }
  for (const Flavor& f : item->flavors) {
    std::vector<UInt8> unused;
    if (Translate(f, type, &unused)) {
      *outFlags = kPasteboardFlavorSystemTranslated;
      return noErr;
    }
  }
  return badPasteboardFlavorErr;
}

OSStatus PasteboardCopyItemFlavorData(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                      CFDataRef* outData) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || outData == nullptr || inFlavorType == nullptr) return paramErr;
  *outData = nullptr;
  Store* store = Refreshed(pb);
  Item* item = store ? FindItem(store, inItem) : nullptr;
  if (item == nullptr) return badPasteboardItemErr;
  const std::string type = UTF8(inFlavorType);
  std::vector<UInt8> bytes;
  bool found = false;
  if (const Flavor* f = FindFlavor(*item, type)) {
    bytes = f->data;
    found = true;
  } else {
    for (const Flavor& f : item->flavors)
      if ((found = Translate(f, type, &bytes))) break;
  }
  if (!found) return badPasteboardFlavorErr;
  *outData = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
  return *outData ? noErr : OSStatus(memFullErr);
}

OSStatus PasteboardPutItemFlavor(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                 CFDataRef inData, PasteboardFlavorFlags inFlags) {
  PasteboardObject* pb = Of(inPasteboard);
  if (pb == nullptr || inFlavorType == nullptr) return paramErr;
  Store& store = Stores()[pb->name];
  if (!store.owned) return notPasteboardOwnerErr;
  if (inData == nullptr) return noPasteboardPromiseKeeperErr;
  const std::string type = UTF8(inFlavorType);
  if (type.empty()) return paramErr;
  Item* item = FindItem(&store, inItem);
  if (item == nullptr) {
    store.items.push_back(Item{inItem, {}});
    item = &store.items.back();
  }
  if (FindFlavor(*item, type)) return duplicatePasteboardFlavorErr;
  const UInt8* bytes = CFDataGetBytePtr(inData);
  item->flavors.push_back(Flavor{type, std::vector<UInt8>(bytes, bytes + CFDataGetLength(inData)),
                                 inFlags & ~PasteboardFlavorFlags(kPasteboardFlavorSystemTranslated)});
  ++store.changes;
  pb->seen = store.changes;
  Changed(pb->name);
  return noErr;
}

void PasteboardSetBridge(const PasteboardBridge* bridge) { gBridge = bridge; }

PasteboardContents PasteboardStoreCopy(const std::string& name) {
  PasteboardContents out;
  auto it = Stores().find(name);
  if (it == Stores().end()) return out;
  for (const Item& item : it->second.items) {
    std::vector<PasteboardFlavorBytes> flavors;
    for (const Flavor& f : item.flavors) flavors.push_back(PasteboardFlavorBytes{f.type, f.data, f.flags});
    out.push_back(std::move(flavors));
  }
  return out;
}

void PasteboardStoreReplace(const std::string& name, const PasteboardContents& contents) {
  Store& store = Stores()[name];
  store.items.clear();
  std::uintptr_t next = 1;
  for (const auto& flavors : contents) {
    Item item;
    item.id = reinterpret_cast<PasteboardItemID>(next++);
    for (const PasteboardFlavorBytes& f : flavors) {
      if (f.type.empty() || FindFlavor(item, f.type)) continue;
      item.flavors.push_back(Flavor{f.type, f.data, f.flags});
    }
    store.items.push_back(std::move(item));
  }
  store.owned = false;
  ++store.changes;
}

bool PasteboardStoreIsOwned(const std::string& name) {
  auto it = Stores().find(name);
  return it != Stores().end() && it->second.owned;
}

void PasteboardStoreDisown(const std::string& name) {
  auto it = Stores().find(name);
  if (it == Stores().end() || !it->second.owned) return;
  it->second.owned = false;
  ++it->second.changes;
}
