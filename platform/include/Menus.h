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
// The font of the menu's items: a font family ID (FMGetFontFamilyFromName) and a size in
// points. 0 and 0, the default, stand for the theme's menu font.
OSStatus SetMenuFont(MenuRef menu, SInt16 inFontID, UInt16 inFontSize);
OSStatus GetMenuFont(MenuRef menu, SInt16* outFontID, UInt16* outFontSize);

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
// The first item after the one given (0: from the start) that carries a
// mark, 0 when none does; one pass over the items, for menus of many
// thousands (a pop-up's selected item, the function the caret is in).
MenuItemIndex MenuFirstMarkedItem(MenuRef theMenu, MenuItemIndex after = 0);

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

// ---------------------------------------------------------------------------
// Key equivalents. The character is matched without regard to case; the
// Command key is part of every equivalent unless kMenuNoCommandModifier.

enum : UInt8 {
  kMenuNoModifiers = 0,
  kMenuShiftModifier = 1 << 0,
  kMenuOptionModifier = 1 << 1,
  kMenuControlModifier = 1 << 2,
  kMenuNoCommandModifier = 1 << 3,
};

OSStatus SetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inSetVirtualKey, UInt16 inKey);
OSStatus GetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inGetVirtualKey, UInt16* outKey);
OSStatus SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers);
OSStatus GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8* outModifiers);
void SetItemCmd(MenuRef theMenu, MenuItemIndex item, CharParameter cmdChar);
void GetItemCmd(MenuRef theMenu, MenuItemIndex item, CharParameter* cmdChar);

// ---------------------------------------------------------------------------
// Item icons. IconRefs (kMenuIconRefType) and CGImages (kMenuCGImageRefType)
// are retained by the item and released when replaced or when the item goes.

enum : UInt8 {
  kMenuNoIcon = 0,
  kMenuIconType = 1,
  kMenuShrinkIconType = 2,
  kMenuSmallIconType = 3,
  kMenuColorIconType = 4,
  kMenuIconSuiteType = 5,
  kMenuIconRefType = 6,
  kMenuCGImageRefType = 7,
  kMenuSystemIconSelectorType = 8,
  kMenuIconResourceType = 9,
};

OSErr SetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8 inIconType, Handle inIconHandle);
OSErr GetMenuItemIconHandle(MenuRef inMenu, MenuItemIndex inItem, UInt8* outIconType, Handle* outIconHandle);
// How an icon of a type is kept: the icon layer installs these for
// kMenuIconRefType (CGImages are CF objects and need nothing).
typedef void (*MenuIconRetainProc)(Handle icon);
void MenuSetIconRefKeeper(MenuIconRetainProc retain, MenuIconRetainProc release);

// Indentation level of an item (0 = none).
OSStatus SetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32 inIndent);
OSStatus GetMenuItemIndent(MenuRef inMenu, MenuItemIndex inItem, UInt32* outIndent);

// ---------------------------------------------------------------------------
// The menu bar: the submenus of the root menu, left to right. Hierarchical
// menus inserted with kInsertHierarchicalMenu are not shown but found by ID.

enum : MenuID {
  kInsertHierarchicalMenu = -1,
};

// The menu's items become the menu bar; the root is retained.
OSStatus SetRootMenu(MenuRef inMenu);
// A new reference to the root menu (one is made when none is set).
MenuRef AcquireRootMenu();
// Before the menu whose ID is beforeID; 0 (or an ID not in the bar) at the
// end; kInsertHierarchicalMenu into the hierarchical list. A menu already in
// the bar or the list stays where it is.
void InsertMenu(MenuRef theMenu, MenuID beforeID);
void DeleteMenu(MenuID menuID);
// The menu with the ID in the bar (searching submenus) or the hierarchical list.
MenuRef GetMenuRef(MenuID menuID);
inline MenuRef GetMenuHandle(MenuID menuID) { return GetMenuRef(menuID); }
void ClearMenuBar();
// Tells the host to show the bar as it now is.
void DrawMenuBar();
void InvalMenuBar();
// 1-based index in the bar of the menu (0 when not there).
UInt16 GetMenuBarIndex(MenuRef inMenu);
UInt16 CountMenuBarMenus();
// The menu at the 1-based place in the bar, nil past the end.
MenuRef GetMenuBarMenu(UInt16 index);

// ---------------------------------------------------------------------------
// Menu selection. The host shows the menu and runs a nested loop until the
// user chooses or dismisses; the headless host answers from the script the
// test queued. Before a menu shows, the enable pass sends
// ('cmds', 2) kEventCommandUpdateStatus for each item with a command, first to
// the user focus (focused view, its window) and then the application. The
// chosen item's command goes as ('cmds', 1) kEventCommandProcess with
// kHICommandFromMenu, its menu and item, to the same chain.

enum : UInt32 {
  kMenuContextMenuBar = 1u << 0,
  kMenuContextPullDown = 1u << 8,
  kMenuContextPopUp = 1u << 9,
  kMenuContextSubmenu = 1u << 10,
  kMenuContextMenuBarTracking = 1u << 16,
  kMenuContextPopUpTracking = 1u << 17,
  kMenuContextKeyMatching = 1u << 18,
  kMenuContextMenuEnabling = 1u << 19,
  kMenuContextCommandIDSearch = 1u << 20,
};

// Runs the enable pass over the menu (and its submenus); context is one of
// the kMenuContext bits above.
OSStatus UpdateMenuItemsStatus(MenuRef inMenu, UInt32 inContext);

// The menu bar's selection: hi word the menu ID, lo word the item; 0 when
// nothing was chosen. The chosen item's command is sent.
SInt32 MenuSelect(Point startPt);
// Pops the menu up with its item popUpItem at the point; same result and
// command as MenuSelect.
SInt32 PopUpMenuSelect(MenuRef menu, short top, short left, short popUpItem);

enum : UInt32 {
  kCMHelpItemNoHelp = 0,
  kCMHelpItemAppleGuide = 1,
  kCMHelpItemOtherHelp = 2,
  kCMHelpItemRemoveHelp = 3,
};
enum : UInt32 {
  kCMNothingSelected = 0,
  kCMMenuItemSelected = 1,
  kCMShowHelpSelected = 3,
};
struct AEDesc;
// userCanceledErr when the menu was dismissed. The selection descriptor is
// not used (no contextual-menu plug-ins).
OSStatus ContextualMenuSelect(MenuRef inMenu, Point inGlobalLocation, Boolean inReserved, UInt32 inHelpType,
                              ConstStr255Param inHelpItemString, const AEDesc* inSelection,
                              UInt32* outUserSelectionType, MenuID* outMenuID, MenuItemIndex* outMenuItem);

// Key equivalents: the enabled item of the menu bar whose equivalent the
// keyboard event ('keyb' raw key down with 'kchr' or 'kuni' and 'kmod')
// names, after the enable pass for that item. Answers true with the menu and
// item. MenuEvent answers (menu ID << 16 | item), or 0, and sends the command.
Boolean IsMenuKeyEvent(MenuRef inStartMenu, EventRef inEvent, OptionBits inOptions, MenuRef* outMenu,
                       MenuItemIndex* outMenuItem);
enum : OptionBits {
  kMenuEventIncludeDisabledItems = 0x0001,
  kMenuEventQueryOnly = 0x0002,
  kMenuEventDontCheckSubmenus = 0x0004,
};
SInt32 MenuEvent(EventRef inEvent);
