// Menus: a reference-counted model of a menu and its items (1-based), with
// per-item data keyed by (creator, tag). The hosts show it; tests read it.
#pragma once

#include "CFBase.h"
#include "CarbonEvents.h"
#include "MacTypes.h"

typedef UInt32 MenuAttributes;
typedef UInt32 MenuItemAttributes;
typedef SInt16 CharParameter;
typedef OSType PropertyCreator;
typedef OSType PropertyTag;

enum : MenuAttributes {
  kMenuAttrExcludesMarkColumn = 1 << 0,
  kMenuAttrAutoDisable = 1 << 2,
  kMenuAttrUsePencilGlyph = 1 << 3,
  kMenuAttrHidden = 1 << 4,
};

enum : MenuItemAttributes {
  kMenuItemAttrDisabled = 1 << 0,
  kMenuItemAttrIconDisabled = 1 << 1,
  kMenuItemAttrSubmenuParentChoosable = 1 << 2,
  kMenuItemAttrDynamic = 1 << 3,
  kMenuItemAttrNotPreviousAlternate = 1 << 4,
  kMenuItemAttrHidden = 1 << 5,
  kMenuItemAttrSeparator = 1 << 6,
  kMenuItemAttrSectionHeader = 1 << 7,
  kMenuItemAttrIgnoreMeta = 1 << 8,
  kMenuItemAttrAutoRepeat = 1 << 9,
  kMenuItemAttrUseVirtualKey = 1 << 10,
  kMenuItemAttrCustomDraw = 1 << 11,
  kMenuItemAttrIncludeInCmdKeyMatching = 1 << 12,
  kMenuItemAttrAutoDisable = 1 << 13,
  kMenuItemAttrUpdateSingleItem = 1 << 14,
};

// Item marks.
enum : CharParameter {
  noMark = 0,
  checkMark = 0x12,
  diamondMark = 0x13,
};

// Creates an empty menu with a retain count of 1.
OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef* outMenuRef);
OSStatus RetainMenu(MenuRef inMenu);
OSStatus ReleaseMenu(MenuRef inMenu);
void DisposeMenu(MenuRef theMenu);  // the same as ReleaseMenu
ItemCount GetMenuRetainCount(MenuRef inMenu);
Boolean IsValidMenu(MenuRef inMenu);

MenuID GetMenuID(MenuRef menu);
void SetMenuID(MenuRef menu, MenuID menuID);
OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString);
OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef* outString);
OSStatus GetMenuAttributes(MenuRef menu, MenuAttributes* outAttributes);
OSStatus ChangeMenuAttributes(MenuRef menu, MenuAttributes setTheseAttributes, MenuAttributes clearTheseAttributes);

// Items. An empty text is allowed; a separator has kMenuItemAttrSeparator.
OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes inAttributes,
                                        MenuCommand inCommandID, MenuItemIndex* outNewItem);
// Inserts after the given item (0 = at the top; past the end = at the end).
OSStatus InsertMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemIndex inAfterItem,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID);
void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item);
OSStatus DeleteMenuItems(MenuRef inMenu, MenuItemIndex inFirstItem, ItemCount inNumItems);
UInt16 CountMenuItems(MenuRef theMenu);

OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef* outString);
OSStatus SetMenuItemTextWithCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef inString);
OSErr GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand* outCommandID);
OSErr SetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand inCommandID);
// The first item with the command (searching submenus too), 1-based.
OSStatus GetIndMenuItemWithCommandID(MenuRef inMenu, MenuCommand inCommandID, UInt32 inItemIndex,
                                     MenuRef* outMenu, MenuItemIndex* outIndex);
OSStatus GetMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem, MenuItemAttributes* outAttributes);
OSStatus ChangeMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem, MenuItemAttributes inSetTheseAttributes,
                                  MenuItemAttributes inClearTheseAttributes);

// Item 0 stands for the whole menu.
void EnableMenuItem(MenuRef theMenu, MenuItemIndex item);
void DisableMenuItem(MenuRef theMenu, MenuItemIndex item);
Boolean IsMenuItemEnabled(MenuRef inMenu, MenuItemIndex inItem);
void CheckMenuItem(MenuRef theMenu, MenuItemIndex item, Boolean checked);
void SetItemMark(MenuRef theMenu, MenuItemIndex item, CharParameter markChar);
void GetItemMark(MenuRef theMenu, MenuItemIndex item, CharParameter* markChar);

// Submenus: the item retains its submenu.
OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu);
OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef* outHierMenu);

// Item data: arbitrary bytes keyed by (creator, tag); item 0 is the menu's
// own data. A missing property gives menuPropertyNotFoundErr; a buffer smaller
// than the value gives paramErr and nothing is written.
OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount propertySize, const void* propertyData);
OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                             ByteCount bufferSize, ByteCount* actualSize, void* propertyBuffer);
OSStatus GetMenuItemPropertySize(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag,
                                 ByteCount* size);
OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType propertyCreator, OSType propertyTag);

// Events sent to a menu climb to the application target.
EventTargetRef GetMenuEventTarget(MenuRef inMenu);
