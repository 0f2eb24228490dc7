// The menu model: reference-counted menus of 1-based items with text, command
// ID, attributes, enabled state, mark, submenu and (creator, tag) data.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "Menus.h"

namespace {

// (creator, tag) data, kept in one block: for each value its creator, tag,
// size and the length of its packed bytes, then those. Runs of zero bytes
// (fixed records whose text fields are zero past their characters) are
// packed as their length: pieces of a count of literal bytes, the bytes, and
// a count of zeros, counts in 7-bit groups.
class PropertyBlock {
 public:
  PropertyBlock() = default;
  PropertyBlock(const PropertyBlock&) = delete;
  PropertyBlock& operator=(const PropertyBlock&) = delete;

  bool Empty() const { return size_ == 0; }

  // The value's unpacked size, or nullopt-like false when absent.
  bool Find(OSType creator, OSType tag, size_t* at, UInt32* size, UInt32* packed) const {
    for (size_t p = 0; p + kHeader <= size_;) {
      const UInt32 c = Word(p), t = Word(p + 4), n = Word(p + 8), k = Word(p + 12);
      if (c == creator && t == tag) {
        *at = p;
        *size = n;
        *packed = k;
        return true;
      }
      p += kHeader + k;
    }
    return false;
  }

  void Unpack(size_t at, UInt32 packed, UInt32 size, UInt8* out) const {
    const UInt8* p = bytes_.get() + at + kHeader;
    const UInt8* end = p + packed;
    size_t done = 0;
    while (p < end && done < size) {
      const size_t literal = std::min<size_t>(Count(p, end), size - done);
      const size_t copy = std::min<size_t>(literal, size_t(end - p));
      std::memcpy(out + done, p, copy);
      p += copy;
      done += copy;
      const size_t zeros = std::min<size_t>(Count(p, end), size - done);
      std::memset(out + done, 0, zeros);
      done += zeros;
    }
    if (done < size) std::memset(out + done, 0, size - done);
  }

  // Replaces (or adds) the value; false when memory ran out, the block as it was.
  bool Set(OSType creator, OSType tag, const UInt8* data, size_t size) {
    std::vector<UInt8> packed;
    Pack(data, size, packed);
    size_t at = 0;
    UInt32 oldSize = 0, oldPacked = 0;
    const bool had = Find(creator, tag, &at, &oldSize, &oldPacked);
    const size_t keep = size_ - (had ? kHeader + oldPacked : 0);
    const size_t total = keep + kHeader + packed.size();
    std::unique_ptr<UInt8[]> next(new (std::nothrow) UInt8[total]);
    if (next == nullptr) return false;
    size_t w = 0;
    if (had) {
      std::memcpy(next.get(), bytes_.get(), at);
      std::memcpy(next.get() + at, bytes_.get() + at + kHeader + oldPacked, size_ - at - kHeader - oldPacked);
    } else if (size_) {
      std::memcpy(next.get(), bytes_.get(), size_);
    }
    w = keep;
    for (UInt32 v : {UInt32(creator), UInt32(tag), UInt32(size), UInt32(packed.size())}) {
      std::memcpy(next.get() + w, &v, 4);
      w += 4;
    }
    if (!packed.empty()) std::memcpy(next.get() + w, packed.data(), packed.size());
    bytes_ = std::move(next);
    size_ = total;
    return true;
  }

  bool Remove(OSType creator, OSType tag) {
    size_t at = 0;
    UInt32 size = 0, packed = 0;
    if (!Find(creator, tag, &at, &size, &packed)) return false;
    const size_t gone = kHeader + packed;
    std::memmove(bytes_.get() + at, bytes_.get() + at + gone, size_ - at - gone);
    size_ -= gone;
    if (size_ == 0) bytes_.reset();
    return true;
  }

  void Clear() {
    bytes_.reset();
    size_ = 0;
  }

 private:
  static constexpr size_t kHeader = 16;
  static constexpr size_t kLeastZeroRun = 3;  // shorter runs stay in the literal bytes

  UInt32 Word(size_t at) const {
    UInt32 v;
    std::memcpy(&v, bytes_.get() + at, 4);
    return v;
  }

  static void PutCount(std::vector<UInt8>& out, size_t n) {
    while (n >= 0x80) {
      out.push_back(UInt8(n | 0x80));
      n >>= 7;
    }
    out.push_back(UInt8(n));
  }

  static size_t Count(const UInt8*& p, const UInt8* end) {
    size_t n = 0;
    for (int shift = 0; p < end && shift < 35; shift += 7) {
      const UInt8 b = *p++;
      n |= size_t(b & 0x7F) << shift;
      if ((b & 0x80) == 0) break;
    }
    return n;
  }

  static void Pack(const UInt8* data, size_t size, std::vector<UInt8>& out) {
    size_t i = 0;
    while (i < size) {
      size_t j = i;  // the literal bytes end before a long enough run of zeros
      while (j < size) {
        if (data[j] != 0) {
          ++j;
          continue;
        }
        size_t k = j;
        while (k < size && data[k] == 0) ++k;
        if (k - j >= kLeastZeroRun || k == size) break;
        j = k;
      }
      size_t k = j;
      while (k < size && data[k] == 0) ++k;
      PutCount(out, j - i);
      out.insert(out.end(), data + i, data + j);
      PutCount(out, k - j);
      i = k;
    }
  }

  std::unique_ptr<UInt8[]> bytes_;
  size_t size_ = 0;
};

}  // namespace

struct __CMenu {
  // What few items have: kept out of line, made when first set.
  struct Extra {
    MenuRef submenu = nullptr;
    Handle icon = nullptr;
    UInt32 indent = 0;
    UInt16 commandKey = 0;  // a character, or a virtual key code with virtualKey
    UInt8 iconType = kMenuNoIcon;
    UInt8 modifiers = kMenuNoModifiers;
    bool virtualKey = false;
    PropertyBlock properties;
  };

  // A menu may hold tens of thousands of items (a large file's functions):
  // each is a few words, its title in the menu's text store.
  struct Item {
    UInt32 textAt = 0;      // in texts: bytes (8-bit units) or UTF-16 units
    UInt32 textLength = 0;  // in units
    MenuCommand command = 0;
    MenuItemAttributes attributes = 0;
    CharParameter mark = noMark;
    bool enabled = true;
    bool wideText = false;  // some unit is above 0xFF: UTF-16 units
    std::unique_ptr<Extra> extra;

    MenuRef Submenu() const { return extra ? extra->submenu : nullptr; }
    Extra& MakeExtra() {
      if (!extra) extra.reset(new Extra);
      return *extra;
    }
  };

  int refs = 1;
  MenuID id = 0;
  MenuAttributes attributes = 0;
  CFStringRef title = nullptr;
  bool enabled = true;
  std::vector<Item> items;
  // The items' titles, one after another; texts no item uses any longer
  // (textGarbage bytes) go when they come to half of it.
  std::vector<UInt8> texts;
  size_t textGarbage = 0;
  PropertyBlock properties;  // item 0: the menu's own data
  EventTargetRef target = nullptr;
  SInt16 fontID = 0;  // 0 and size 0: the theme's menu font
  UInt16 fontSize = 0;
};

namespace {

std::unordered_set<MenuRef>& LiveMenus() {
  static auto* s = new std::unordered_set<MenuRef>;
  return *s;
}

bool IsLive(MenuRef m) { return m != nullptr && LiveMenus().count(m) != 0; }

__CMenu::Item* ItemOf(MenuRef m, MenuItemIndex i) {
  if (!IsLive(m) || i == 0 || i > m->items.size()) return nullptr;
  return &m->items[i - 1];
}

// What an item has out of line; the defaults for one that has nothing there.
const __CMenu::Extra& ExtraOf(const __CMenu::Item& item) {
  static const __CMenu::Extra none;
  return item.extra ? *item.extra : none;
}

// The item's out-of-line part, made unless nothing is to be set in it (nil then).
__CMenu::Extra* ExtraFor(__CMenu::Item& item, bool settingSomething) {
  if (!item.extra && !settingSomething) return nullptr;
  try {
    return &item.MakeExtra();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Item 0 stands for the menu itself; made for an item when make is set.
PropertyBlock* PropertiesOf(MenuRef m, MenuItemIndex i, bool make) {
  if (!IsLive(m)) return nullptr;
  if (i == 0) return &m->properties;
  auto* item = ItemOf(m, i);
  if (item == nullptr) return nullptr;
  if (!item->extra && !make) {
    static PropertyBlock none;
    return &none;
  }
  return &item->MakeExtra().properties;
}

OSStatus ItemError(MenuRef m) { return IsLive(m) ? OSStatus(menuItemNotFoundErr) : OSStatus(errInvalidMenuRef); }

CFStringRef CopyText(CFStringRef s) {
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID())
    return CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
  return CFStringCreateCopy(kCFAllocatorDefault, s);
}

size_t TextBytes(const __CMenu::Item& item) { return size_t(item.textLength) * (item.wideText ? 2 : 1); }

// Writes the string's units at the end of the menu's text store for the
// item; false when memory ran out (the item as it was).
bool StoreText(MenuRef m, __CMenu::Item& item, CFStringRef s) {
  const CFIndex length = (s != nullptr && CFGetTypeID(s) == CFStringGetTypeID()) ? CFStringGetLength(s) : 0;
  if (size_t(length) > 0x7FFFFFFF || m->texts.size() + size_t(length) * 2 > 0xFFFFFFFFu) return false;
  try {
    std::vector<UniChar> units(static_cast<size_t>(length));
    if (length > 0) CFStringGetCharacters(s, CFRangeMake(0, length), units.data());
    const bool wide = std::any_of(units.begin(), units.end(), [](UniChar u) { return u > 0xFF; });
    const size_t at = m->texts.size();
    if (wide) {
      m->texts.resize(at + units.size() * 2);
      if (!units.empty()) std::memcpy(m->texts.data() + at, units.data(), units.size() * 2);
    } else {
      m->texts.resize(at + units.size());
      std::copy(units.begin(), units.end(), m->texts.begin() + SInt64(at));  // each unit below 0x100
    }
    m->textGarbage += TextBytes(item);
    item.textAt = UInt32(at);
    item.textLength = UInt32(length);
    item.wideText = wide;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

CFStringRef CopyItemText(MenuRef m, const __CMenu::Item& item) {
  std::vector<UniChar> units(item.textLength);
  const UInt8* p = m->texts.data() + item.textAt;
  if (item.wideText) {
    if (!units.empty()) std::memcpy(units.data(), p, units.size() * 2);
  } else {
    for (size_t i = 0; i < units.size(); ++i) units[i] = p[i];
  }
  return CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), CFIndex(units.size()));
}

// Gives back the text store's unused bytes once they are half of it.
void TidyTexts(MenuRef m) {
  if (m->items.empty()) {
    std::vector<UInt8>().swap(m->texts);
    m->textGarbage = 0;
    return;
  }
  if (m->textGarbage < 4096 || m->textGarbage * 2 < m->texts.size()) return;
  std::vector<UInt8> kept;
  kept.reserve(m->texts.size() - m->textGarbage);
  for (auto& item : m->items) {
    const size_t n = TextBytes(item);
    const size_t at = kept.size();
    kept.insert(kept.end(), m->texts.begin() + item.textAt, m->texts.begin() + item.textAt + n);
    item.textAt = UInt32(at);
  }
  m->texts.swap(kept);
  m->textGarbage = 0;
}

MenuIconRetainProc gIconRetain = nullptr;
MenuIconRetainProc gIconRelease = nullptr;

void KeepIcon(UInt8 type, Handle icon, bool keep) {
  if (icon == nullptr) return;
  if (type == kMenuCGImageRefType) {
    if (keep)
      CFRetain(reinterpret_cast<CFTypeRef>(icon));
    else
      CFRelease(reinterpret_cast<CFTypeRef>(icon));
  } else if (type == kMenuIconRefType) {
    MenuIconRetainProc proc = keep ? gIconRetain : gIconRelease;
    if (proc) proc(icon);
  }
}

// Lets go of what the item holds; its title is the caller's to count.
void ClearItem(__CMenu::Item& item) {
  std::unique_ptr<__CMenu::Extra> extra = std::move(item.extra);
  if (!extra) return;
  KeepIcon(extra->iconType, extra->icon, false);
  if (extra->submenu) ReleaseMenu(extra->submenu);
}

void FreeMenu(MenuRef m) {
  LiveMenus().erase(m);
  EventTargetDispose(m->target);
  // Submenus are released after the menu is gone from the registry, so a
  // submenu that holds its parent cannot free it twice.
  std::vector<__CMenu::Item> items;
  items.swap(m->items);
  if (m->title) CFRelease(m->title);
  delete m;
  for (auto& item : items) ClearItem(item);
}

OSStatus InsertItem(MenuRef m, size_t position, CFStringRef text, MenuItemAttributes attributes,
                    MenuCommand command) {
  if (!IsLive(m)) return errInvalidMenuRef;
  if (m->items.size() >= 0xFFFF) return paramErr;  // indexes are 16-bit
  __CMenu::Item item;
  if (!StoreText(m, item, text)) return memFullErr;
  item.command = command;
  item.attributes = attributes & ~kMenuItemAttrDisabled;
  item.enabled = (attributes & kMenuItemAttrDisabled) == 0;
  if (position > m->items.size()) position = m->items.size();
  try {
    m->items.insert(m->items.begin() + position, std::move(item));
  } catch (const std::bad_alloc&) {
    m->textGarbage += TextBytes(item);
    return memFullErr;
  }
  return noErr;
}

// A menu shown in several places is searched once: its items are the same
// items, and menus that each hold the next twice stay linear to search.
bool FindCommand(MenuRef m, MenuCommand command, UInt32* remaining, MenuRef* outMenu, MenuItemIndex* outIndex,
                 int depth, std::unordered_set<MenuRef>& seen) {
  if (depth > 32 || !seen.insert(m).second) return false;  // a submenu cycle, or searched already
  for (size_t i = 0; i < m->items.size(); ++i) {
    const auto& item = m->items[i];
    if (item.command == command && --*remaining == 0) {
      *outMenu = m;
      *outIndex = MenuItemIndex(i + 1);
      return true;
    }
    if (item.Submenu() && IsLive(item.Submenu()) &&
        FindCommand(item.Submenu(), command, remaining, outMenu, outIndex, depth + 1, seen))
      return true;
  }
  return false;
}

}  // namespace

OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef* outMenuRef) {
  if (outMenuRef == nullptr) return paramErr;
  *outMenuRef = nullptr;
  if (!EventCoreCheckMainThread("CreateNewMenu")) return eventInternalErr;
  auto* m = new (std::nothrow) __CMenu;
  if (m == nullptr) return memFullErr;
  m->id = inMenuID;
  m->attributes = inMenuAttributes;
  m->target = EventTargetCreate(m, nullptr);
  LiveMenus().insert(m);
  *outMenuRef = m;
  return noErr;
}

OSStatus RetainMenu(MenuRef inMenu) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  ++inMenu->refs;
  return noErr;
}

OSStatus ReleaseMenu(MenuRef inMenu) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  if (--inMenu->refs == 0) FreeMenu(inMenu);
  return noErr;
}

void DisposeMenu(MenuRef theMenu) { ReleaseMenu(theMenu); }
ItemCount GetMenuRetainCount(MenuRef inMenu) { return IsLive(inMenu) ? ItemCount(inMenu->refs) : 0; }
Boolean IsValidMenu(MenuRef inMenu) { return IsLive(inMenu); }

MenuID GetMenuID(MenuRef menu) { return IsLive(menu) ? menu->id : 0; }
void SetMenuID(MenuRef menu, MenuID menuID) {
  if (IsLive(menu)) menu->id = menuID;
}

OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  CFStringRef copy = CopyText(inString);
  if (copy == nullptr) return memFullErr;
  if (inMenu->title) CFRelease(inMenu->title);
  inMenu->title = copy;
  return noErr;
}

OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  *outString = inMenu->title ? CFStringRef(CFRetain(inMenu->title)) : CopyText(nullptr);
  return noErr;
}

OSStatus GetMenuAttributes(MenuRef menu, MenuAttributes* outAttributes) {
  if (outAttributes == nullptr) return paramErr;
  if (!IsLive(menu)) return errInvalidMenuRef;
  *outAttributes = menu->attributes;
  return noErr;
}

OSStatus ChangeMenuAttributes(MenuRef menu, MenuAttributes setTheseAttributes, MenuAttributes clearTheseAttributes) {
  if (!IsLive(menu)) return errInvalidMenuRef;
  menu->attributes = (menu->attributes | setTheseAttributes) & ~clearTheseAttributes;
  return noErr;
}

OSStatus SetMenuFont(MenuRef menu, SInt16 inFontID, UInt16 inFontSize) {
  if (!IsLive(menu)) return errInvalidMenuRef;
  menu->fontID = inFontID;
  menu->fontSize = inFontSize;
  return noErr;
}

OSStatus GetMenuFont(MenuRef menu, SInt16* outFontID, UInt16* outFontSize) {
  if (!IsLive(menu)) return errInvalidMenuRef;
  if (outFontID) *outFontID = menu->fontID;
  if (outFontSize) *outFontSize = menu->fontSize;
  return noErr;
}

OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes inAttributes,
                                        MenuCommand inCommandID, MenuItemIndex* outNewItem) {
  if (outNewItem) *outNewItem = 0;
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  OSStatus st = InsertItem(inMenu, inMenu->items.size(), inString, inAttributes, inCommandID);
  if (st == noErr && outNewItem) *outNewItem = MenuItemIndex(inMenu->items.size());
  return st;
}

OSStatus InsertMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemIndex inAfterItem,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID) {
  return InsertItem(inMenu, inAfterItem, inString, inAttributes, inCommandID);
}

void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item) { DeleteMenuItems(theMenu, item, 1); }

OSStatus DeleteMenuItems(MenuRef inMenu, MenuItemIndex inFirstItem, ItemCount inNumItems) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  if (inNumItems == 0) return noErr;
  if (inFirstItem == 0 || inFirstItem > inMenu->items.size()) return menuItemNotFoundErr;
  size_t first = inFirstItem - 1;
  size_t last = std::min(inMenu->items.size(), first + size_t(inNumItems));
  // Take the items out first: releasing a submenu must not see a half-edited menu.
  std::vector<__CMenu::Item> removed(std::make_move_iterator(inMenu->items.begin() + first),
                                     std::make_move_iterator(inMenu->items.begin() + last));
  inMenu->items.erase(inMenu->items.begin() + first, inMenu->items.begin() + last);
  for (auto& item : removed) inMenu->textGarbage += TextBytes(item);
  TidyTexts(inMenu);
  for (auto& item : removed) ClearItem(item);
  return noErr;
}

UInt16 CountMenuItems(MenuRef theMenu) { return IsLive(theMenu) ? UInt16(theMenu->items.size()) : 0; }

OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outString = CopyItemText(inMenu, *item);
  return *outString ? noErr : OSStatus(memFullErr);
}

OSStatus SetMenuItemTextWithCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef inString) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (!StoreText(inMenu, *item, inString)) return memFullErr;
  TidyTexts(inMenu);
  return noErr;
}

OSErr GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand* outCommandID) {
  if (outCommandID == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return OSErr(ItemError(inMenu));
  *outCommandID = item->command;
  return noErr;
}

OSErr SetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand inCommandID) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return OSErr(ItemError(inMenu));
  item->command = inCommandID;
  return noErr;
}

OSStatus GetIndMenuItemWithCommandID(MenuRef inMenu, MenuCommand inCommandID, UInt32 inItemIndex,
                                     MenuRef* outMenu, MenuItemIndex* outIndex) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  UInt32 remaining = inItemIndex == 0 ? 1 : inItemIndex;
  MenuRef found = nullptr;
  MenuItemIndex index = 0;
  std::unordered_set<MenuRef> seen;
  if (!FindCommand(inMenu, inCommandID, &remaining, &found, &index, 0, seen)) return menuItemNotFoundErr;
  if (outMenu) *outMenu = found;
  if (outIndex) *outIndex = index;
  return noErr;
}

OSStatus GetMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem, MenuItemAttributes* outAttributes) {
  if (outAttributes == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outAttributes = item->attributes | (item->enabled ? MenuItemAttributes(0) : MenuItemAttributes(kMenuItemAttrDisabled));
  return noErr;
}

OSStatus ChangeMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem, MenuItemAttributes inSetTheseAttributes,
                                  MenuItemAttributes inClearTheseAttributes) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (inSetTheseAttributes & kMenuItemAttrDisabled) item->enabled = false;
  if (inClearTheseAttributes & kMenuItemAttrDisabled) item->enabled = true;
  item->attributes = ((item->attributes | inSetTheseAttributes) & ~inClearTheseAttributes) & ~kMenuItemAttrDisabled;
  return noErr;
}

void EnableMenuItem(MenuRef theMenu, MenuItemIndex item) {
  if (item == 0) {
    if (IsLive(theMenu)) theMenu->enabled = true;
  } else if (auto* it = ItemOf(theMenu, item)) {
    it->enabled = true;
  }
}

void DisableMenuItem(MenuRef theMenu, MenuItemIndex item) {
  if (item == 0) {
    if (IsLive(theMenu)) theMenu->enabled = false;
  } else if (auto* it = ItemOf(theMenu, item)) {
    it->enabled = false;
  }
}

Boolean IsMenuItemEnabled(MenuRef inMenu, MenuItemIndex inItem) {
  if (inItem == 0) return IsLive(inMenu) && inMenu->enabled;
  auto* item = ItemOf(inMenu, inItem);
  return item != nullptr && item->enabled;
}

void CheckMenuItem(MenuRef theMenu, MenuItemIndex item, Boolean checked) {
  SetItemMark(theMenu, item, checked ? checkMark : noMark);
}

void SetItemMark(MenuRef theMenu, MenuItemIndex item, CharParameter markChar) {
  if (auto* it = ItemOf(theMenu, item)) it->mark = markChar;
}

void GetItemMark(MenuRef theMenu, MenuItemIndex item, CharParameter* markChar) {
  if (markChar == nullptr) return;
  auto* it = ItemOf(theMenu, item);
  *markChar = it ? it->mark : CharParameter(noMark);
}

MenuItemIndex MenuFirstMarkedItem(MenuRef theMenu, MenuItemIndex after) {
  if (!IsLive(theMenu)) return 0;
  for (size_t i = after; i < theMenu->items.size() && i < 0xFFFF; ++i)
    if (theMenu->items[i].mark != CharParameter(noMark)) return MenuItemIndex(i + 1);
  return 0;
}

OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (inHierMenu != nullptr && !IsLive(inHierMenu)) return errInvalidMenuRef;
  if (inHierMenu == inMenu) return paramErr;
  if (inHierMenu == nullptr && !item->extra) return noErr;
  try {
    item->MakeExtra();
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  if (inHierMenu) RetainMenu(inHierMenu);
  MenuRef old = item->extra->submenu;
  item->extra->submenu = inHierMenu;
  if (old) ReleaseMenu(old);
  return noErr;
}

OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef* outHierMenu) {
  if (outHierMenu == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outHierMenu = item->Submenu();
  return noErr;
}

OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount propertySize, const void* propertyData) {
  if (propertySize > 0 && propertyData == nullptr) return paramErr;
  PropertyBlock* props = nullptr;
  try {
    props = PropertiesOf(menu, item, true);
    if (props == nullptr) return ItemError(menu);
    if (!props->Set(propertyCreator, propertyTag, static_cast<const UInt8*>(propertyData), propertySize))
      return memFullErr;
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount bufferSize, ByteCount* actualSize, void* propertyBuffer) {
  const PropertyBlock* props = PropertiesOf(menu, item, false);
  if (props == nullptr) return ItemError(menu);
  size_t at = 0;
  UInt32 stored = 0, packed = 0;
  if (!props->Find(propertyCreator, propertyTag, &at, &stored, &packed)) return menuPropertyNotFoundErr;
  const ByteCount size = stored;
  if (propertyBuffer != nullptr) {
    if (bufferSize < size) return paramErr;
    if (size) props->Unpack(at, packed, stored, static_cast<UInt8*>(propertyBuffer));
  }
  if (actualSize) *actualSize = size;
  return noErr;
}

OSStatus GetMenuItemPropertySize(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                                 ByteCount* size) {
  if (size == nullptr) return paramErr;
  return GetMenuItemProperty(menu, item, propertyCreator, propertyTag, 0, size, nullptr);
}

OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag) {
  PropertyBlock* props = PropertiesOf(menu, item, false);
  if (props == nullptr) return ItemError(menu);
  return props->Remove(propertyCreator, propertyTag) ? noErr : OSStatus(menuPropertyNotFoundErr);
}

EventTargetRef GetMenuEventTarget(MenuRef inMenu) { return IsLive(inMenu) ? inMenu->target : nullptr; }

// --- Key equivalents, icons, indentation -----------------------------------------------

OSStatus SetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inSetVirtualKey, UInt16 inKey) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (auto* extra = ExtraFor(*item, inKey != 0 || inSetVirtualKey)) {
    extra->commandKey = inKey;
    extra->virtualKey = inSetVirtualKey != 0;
  } else if (inKey != 0 || inSetVirtualKey) {
    return memFullErr;
  }
  if (inSetVirtualKey)
    item->attributes |= kMenuItemAttrUseVirtualKey;
  else
    item->attributes &= ~kMenuItemAttrUseVirtualKey;
  return noErr;
}

OSStatus GetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inGetVirtualKey, UInt16* outKey) {
  if (outKey == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  // Asking for the other kind of key than the item has answers none.
  const __CMenu::Extra& extra = ExtraOf(*item);
  *outKey = (extra.virtualKey == (inGetVirtualKey != 0)) ? extra.commandKey : 0;
  return noErr;
}

OSStatus SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (auto* extra = ExtraFor(*item, (inModifiers & 0x0F) != 0)) extra->modifiers = inModifiers & 0x0F;
  else if ((inModifiers & 0x0F) != 0) return memFullErr;
  return noErr;
}

OSStatus GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8* outModifiers) {
  if (outModifiers == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outModifiers = ExtraOf(*item).modifiers;
  return noErr;
}

void SetItemCmd(MenuRef theMenu, MenuItemIndex item, CharParameter cmdChar) {
  SetMenuItemCommandKey(theMenu, item, false, UInt16(UInt8(cmdChar)));
}

void GetItemCmd(MenuRef theMenu, MenuItemIndex item, CharParameter* cmdChar) {
  if (cmdChar == nullptr) return;
  UInt16 key = 0;
  GetMenuItemCommandKey(theMenu, item, false, &key);
  *cmdChar = CharParameter(key);
}

void MenuSetIconRefKeeper(MenuIconRetainProc retain, MenuIconRetainProc release) {
  gIconRetain = retain;
  gIconRelease = release;
}

OSErr SetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 inIconType, Handle inIconHandle) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return OSErr(ItemError(inMenu));
  if (inIconType > kMenuIconResourceType) return paramErr;
  if (inIconType == kMenuNoIcon) inIconHandle = nullptr;
  // Keep the new icon before letting the old one go: they may be the same.
  KeepIcon(inIconType, inIconHandle, true);
  auto* extra = ExtraFor(*item, inIconHandle != nullptr);
  if (extra == nullptr) {
    if (inIconHandle == nullptr) return noErr;
    KeepIcon(inIconType, inIconHandle, false);
    return memFullErr;
  }
  KeepIcon(extra->iconType, extra->icon, false);
  extra->iconType = inIconHandle ? inIconType : UInt8(kMenuNoIcon);
  extra->icon = inIconHandle;
  return noErr;
}

OSErr GetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8* outIconType, Handle* outIconHandle) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return OSErr(ItemError(inMenu));
  const __CMenu::Extra& extra = ExtraOf(*item);
  if (outIconType) *outIconType = extra.iconType;
  if (outIconHandle) *outIconHandle = extra.icon;
  return noErr;
}

OSStatus SetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32 inIndent) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  if (auto* extra = ExtraFor(*item, inIndent != 0)) extra->indent = inIndent;
  else if (inIndent != 0) return memFullErr;
  return noErr;
}

OSStatus GetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32* outIndent) {
  if (outIndent == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outIndent = ExtraOf(*item).indent;
  return noErr;
}

// --- The menu bar ----------------------------------------------------------------------------

namespace {

MenuRef gRoot = nullptr;
std::vector<MenuRef>& Hierarchical() {
  static auto* v = new std::vector<MenuRef>;
  return *v;
}
void (*gMenuBarChanged)() = nullptr;

MenuRef Root() {
  if (!IsLive(gRoot)) {
    gRoot = nullptr;
    CreateNewMenu(0, 0, &gRoot);
  }
  return gRoot;
}

MenuRef FindByID(MenuRef m, MenuID id, int depth, std::unordered_set<MenuRef>& seen) {
  if (depth > 32 || !IsLive(m) || !seen.insert(m).second) return nullptr;
  for (auto& item : m->items) {
    MenuRef sub = item.Submenu();
    if (sub == nullptr || !IsLive(sub)) continue;
    if (sub->id == id) return sub;
    if (MenuRef found = FindByID(sub, id, depth + 1, seen)) return found;
  }
  return nullptr;
}

}  // namespace

void MenuSetMenuBarObserver(void (*changed)()) { gMenuBarChanged = changed; }

OSStatus SetRootMenu(MenuRef inMenu) {
  if (!IsLive(inMenu)) return errInvalidMenuRef;
  RetainMenu(inMenu);
  MenuRef old = gRoot;
  gRoot = inMenu;
  if (old) ReleaseMenu(old);
  return noErr;
}

MenuRef AcquireRootMenu() {
  MenuRef root = Root();
  if (root) RetainMenu(root);
  return root;
}

UInt16 GetMenuBarIndex(MenuRef inMenu) {
  MenuRef root = Root();
  if (!IsLive(inMenu) || root == nullptr) return 0;
  for (size_t i = 0; i < root->items.size(); ++i)
    if (root->items[i].Submenu() == inMenu) return UInt16(i + 1);
  return 0;
}

UInt16 CountMenuBarMenus() {
  MenuRef root = Root();
  return root ? UInt16(root->items.size()) : 0;
}

MenuRef GetMenuBarMenu(UInt16 index) {
  MenuRef root = Root();
  if (root == nullptr || index == 0 || index > root->items.size()) return nullptr;
  return root->items[index - 1].Submenu();
}

void InsertMenu(MenuRef theMenu, MenuID beforeID) {
  if (!IsLive(theMenu)) return;
  MenuRef root = Root();
  if (root == nullptr || theMenu == root) return;
  auto& hier = Hierarchical();
  if (GetMenuBarIndex(theMenu) != 0 || std::find(hier.begin(), hier.end(), theMenu) != hier.end()) return;
  if (beforeID == kInsertHierarchicalMenu) {
    RetainMenu(theMenu);
    hier.push_back(theMenu);
    return;
  }
  size_t at = root->items.size();
  if (beforeID != 0) {
    for (size_t i = 0; i < root->items.size(); ++i) {
      MenuRef sub = root->items[i].Submenu();
      if (sub && IsLive(sub) && sub->id == beforeID) {
        at = i;
        break;
      }
    }
  }
  if (InsertItem(root, at, theMenu->title, 0, 0) != noErr) return;
  if (SetMenuItemHierarchicalMenu(root, MenuItemIndex(at + 1), theMenu) != noErr)
    DeleteMenuItems(root, MenuItemIndex(at + 1), 1);
}

void DeleteMenu(MenuID menuID) {
  MenuRef root = Root();
  if (root != nullptr) {
    for (size_t i = 0; i < root->items.size(); ++i) {
      MenuRef sub = root->items[i].Submenu();
      if (sub && IsLive(sub) && sub->id == menuID) {
        DeleteMenuItems(root, MenuItemIndex(i + 1), 1);
        return;
      }
    }
  }
  auto& hier = Hierarchical();
  for (auto it = hier.begin(); it != hier.end(); ++it) {
    if (IsLive(*it) && (*it)->id == menuID) {
      MenuRef m = *it;
      hier.erase(it);
      ReleaseMenu(m);
      return;
    }
  }
}

MenuRef GetMenuRef(MenuID menuID) {
  MenuRef root = Root();
  if (root != nullptr) {
    for (auto& item : root->items)
      if (MenuRef sub = item.Submenu(); sub && IsLive(sub) && sub->id == menuID) return sub;
  }
  for (MenuRef m : Hierarchical())
    if (IsLive(m) && m->id == menuID) return m;
  std::unordered_set<MenuRef> seen;
  if (MenuRef found = FindByID(root, menuID, 0, seen)) return found;
  for (MenuRef m : Hierarchical())
    if (MenuRef found = FindByID(m, menuID, 0, seen)) return found;
  return nullptr;
}

void ClearMenuBar() {
  MenuRef root = Root();
  if (root && !root->items.empty()) DeleteMenuItems(root, 1, root->items.size());
  std::vector<MenuRef> hier;
  hier.swap(Hierarchical());
  for (MenuRef m : hier) ReleaseMenu(m);
}

void DrawMenuBar() {
  if (gMenuBarChanged) gMenuBarChanged();
}

void InvalMenuBar() { DrawMenuBar(); }
