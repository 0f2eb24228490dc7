// The menu model: reference-counted menus of 1-based items with text, command
// ID, attributes, enabled state, mark, submenu and (creator, tag) data.
#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "Menus.h"

namespace {
using PropertyMap = std::map<std::pair<OSType, OSType>, std::vector<UInt8>>;
}

struct __CMenu {
  struct Item {
    CFStringRef text = nullptr;
    MenuCommand command = 0;
    MenuItemAttributes attributes = 0;
    bool enabled = true;
    CharParameter mark = noMark;
    MenuRef submenu = nullptr;
    PropertyMap properties;
    UInt16 commandKey = 0;  // a character, or a virtual key code with virtualKey
    bool virtualKey = false;
    UInt8 modifiers = kMenuNoModifiers;
    UInt8 iconType = kMenuNoIcon;
    Handle icon = nullptr;
    UInt32 indent = 0;
  };

  int refs = 1;
  MenuID id = 0;
  MenuAttributes attributes = 0;
  CFStringRef title = nullptr;
  bool enabled = true;
  std::vector<Item> items;
  PropertyMap properties;  // item 0: the menu's own data
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

// Item 0 stands for the menu itself.
PropertyMap* PropertiesOf(MenuRef m, MenuItemIndex i) {
  if (!IsLive(m)) return nullptr;
  if (i == 0) return &m->properties;
  auto* item = ItemOf(m, i);
  return item ? &item->properties : nullptr;
}

OSStatus ItemError(MenuRef m) { return IsLive(m) ? OSStatus(menuItemNotFoundErr) : OSStatus(errInvalidMenuRef); }

CFStringRef CopyText(CFStringRef s) {
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID())
    return CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
  return CFStringCreateCopy(kCFAllocatorDefault, s);
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

void ClearItem(__CMenu::Item& item) {
  KeepIcon(item.iconType, item.icon, false);
  item.icon = nullptr;
  item.iconType = kMenuNoIcon;
  if (item.text) CFRelease(item.text);
  item.text = nullptr;
  if (item.submenu) ReleaseMenu(item.submenu);
  item.submenu = nullptr;
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
  item.text = CopyText(text);
  if (item.text == nullptr) return memFullErr;
  item.command = command;
  item.attributes = attributes & ~kMenuItemAttrDisabled;
  item.enabled = (attributes & kMenuItemAttrDisabled) == 0;
  if (position > m->items.size()) position = m->items.size();
  m->items.insert(m->items.begin() + position, std::move(item));
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
    if (item.submenu && IsLive(item.submenu) &&
        FindCommand(item.submenu, command, remaining, outMenu, outIndex, depth + 1, seen))
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
  for (auto& item : removed) ClearItem(item);
  return noErr;
}

UInt16 CountMenuItems(MenuRef theMenu) { return IsLive(theMenu) ? UInt16(theMenu->items.size()) : 0; }

OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outString = CFStringRef(CFRetain(item->text));
  return noErr;
}

OSStatus SetMenuItemTextWithCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef inString) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  CFStringRef copy = CopyText(inString);
  if (copy == nullptr) return memFullErr;
  CFRelease(item->text);
  item->text = copy;
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
  if (inHierMenu) RetainMenu(inHierMenu);
  MenuRef old = item->submenu;
  item->submenu = inHierMenu;
  if (old) ReleaseMenu(old);
  return noErr;
}

OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef* outHierMenu) {
  if (outHierMenu == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outHierMenu = item->submenu;
  return noErr;
}

OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount propertySize, const void* propertyData) {
  if (propertySize > 0 && propertyData == nullptr) return paramErr;
  PropertyMap* props = PropertiesOf(menu, item);
  if (props == nullptr) return ItemError(menu);
  try {
    auto* bytes = static_cast<const UInt8*>(propertyData);
    (*props)[{propertyCreator, propertyTag}].assign(bytes, bytes + propertySize);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount bufferSize, ByteCount* actualSize, void* propertyBuffer) {
  PropertyMap* props = PropertiesOf(menu, item);
  if (props == nullptr) return ItemError(menu);
  auto it = props->find({propertyCreator, propertyTag});
  if (it == props->end()) return menuPropertyNotFoundErr;
  ByteCount size = ByteCount(it->second.size());
  if (propertyBuffer != nullptr) {
    if (bufferSize < size) return paramErr;
    if (size) std::memcpy(propertyBuffer, it->second.data(), size);
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
  PropertyMap* props = PropertiesOf(menu, item);
  if (props == nullptr) return ItemError(menu);
  return props->erase({propertyCreator, propertyTag}) ? noErr : OSStatus(menuPropertyNotFoundErr);
}

EventTargetRef GetMenuEventTarget(MenuRef inMenu) { return IsLive(inMenu) ? inMenu->target : nullptr; }

// --- Key equivalents, icons, indentation -----------------------------------------------

OSStatus SetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inSetVirtualKey, UInt16 inKey) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  item->commandKey = inKey;
  item->virtualKey = inSetVirtualKey != 0;
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
  *outKey = (item->virtualKey == (inGetVirtualKey != 0)) ? item->commandKey : 0;
  return noErr;
}

OSStatus SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  item->modifiers = inModifiers & 0x0F;
  return noErr;
}

OSStatus GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8* outModifiers) {
  if (outModifiers == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outModifiers = item->modifiers;
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
  KeepIcon(item->iconType, item->icon, false);
  item->iconType = inIconHandle ? inIconType : UInt8(kMenuNoIcon);
  item->icon = inIconHandle;
  return noErr;
}

OSErr GetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8* outIconType, Handle* outIconHandle) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return OSErr(ItemError(inMenu));
  if (outIconType) *outIconType = item->iconType;
  if (outIconHandle) *outIconHandle = item->icon;
  return noErr;
}

OSStatus SetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32 inIndent) {
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  item->indent = inIndent;
  return noErr;
}

OSStatus GetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32* outIndent) {
  if (outIndent == nullptr) return paramErr;
  auto* item = ItemOf(inMenu, inItem);
  if (item == nullptr) return ItemError(inMenu);
  *outIndent = item->indent;
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
    MenuRef sub = item.submenu;
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
    if (root->items[i].submenu == inMenu) return UInt16(i + 1);
  return 0;
}

UInt16 CountMenuBarMenus() {
  MenuRef root = Root();
  return root ? UInt16(root->items.size()) : 0;
}

MenuRef GetMenuBarMenu(UInt16 index) {
  MenuRef root = Root();
  if (root == nullptr || index == 0 || index > root->items.size()) return nullptr;
  return root->items[index - 1].submenu;
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
      MenuRef sub = root->items[i].submenu;
      if (sub && IsLive(sub) && sub->id == beforeID) {
        at = i;
        break;
      }
    }
  }
  if (InsertItem(root, at, theMenu->title, 0, 0) != noErr) return;
  RetainMenu(theMenu);
  root->items[at].submenu = theMenu;
}

void DeleteMenu(MenuID menuID) {
  MenuRef root = Root();
  if (root != nullptr) {
    for (size_t i = 0; i < root->items.size(); ++i) {
      MenuRef sub = root->items[i].submenu;
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
      if (item.submenu && IsLive(item.submenu) && item.submenu->id == menuID) return item.submenu;
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
