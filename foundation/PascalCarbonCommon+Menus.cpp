// Menu helpers: finding, marking and decorating items.
#include "CFString.h"
#include "PascalCarbonCommon.h"

// The first item whose text equals the text ignoring case; 0 when none.
// Shared with the pop-up helpers of the view unit.
MenuItemIndex MenuFindItemIgnoringCase(MenuRef menu, CFStringRef text);

MenuItemIndex MenuFindItemIgnoringCase(MenuRef menu, CFStringRef text) {
  if (menu == nullptr || text == nullptr) return 0;
  const UInt16 count = CountMenuItems(menu);
  for (UInt16 item = 1; item <= count; ++item) {
    CFStringRef itemText = nullptr;
    if (CopyMenuItemTextAsCFString(menu, item, &itemText) != noErr || itemText == nullptr) continue;
    const bool same = CFStringCompare(itemText, text, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
    CFRelease(itemText);
    if (same) return item;
  }
  return 0;
}

namespace {

Str255 ItemText(MenuRef menu, MenuItemIndex item) {
  CFStringRef text = nullptr;
  Err = CopyMenuItemTextAsCFString(menu, item, &text);
  Str255 result;
  if (Err == noErr && text != nullptr) result = PCFSTR(text);
  if (text != nullptr) CFRelease(text);
  return result;
}

}  // namespace

MenuItemIndex FindMenuItem(const Str255& text, Boolean, MenuRef menu) {
  return MenuFindItemIgnoringCase(menu, CFSTR(text));
}

MenuItemIndex GetSelectedMenuItem(MenuRef menu) {
  if (menu == nullptr) return 0;
  const UInt16 count = CountMenuItems(menu);
  for (UInt16 item = 1; item <= count; ++item) {
    CharParameter mark = noMark;
    GetItemMark(menu, item, &mark);
    if (mark != noMark) return item;
  }
  return 0;
}

Str255 GetSelectedMenuItemText(MenuRef menu) {
  const MenuItemIndex item = GetSelectedMenuItem(menu);
  if (item == 0) return Str255();
  return ItemText(menu, item);
}

void ToggleMenuItem(MenuItemIndex item, MenuRef menu) {
  if (menu == nullptr) return;
  const UInt16 count = CountMenuItems(menu);
  for (UInt16 i = 1; i <= count; ++i) CheckMenuItem(menu, i, false);
  if (item != 0) CheckMenuItem(menu, item, true);
}

Str255 GetCommandMenuItemText(const HICommand& command) {
  if (command.menu.menuRef == nullptr) return Str255();
  return ItemText(command.menu.menuRef, command.menu.menuItemIndex);
}

void SetMenuItemIconRef(MenuRef menu, MenuItemIndex item, OSType creator, OSType type) {
  IconRef icon = nullptr;
  Err = GetIconRef(0, creator, type, &icon);
  if (Err != noErr || icon == nullptr) return;
  // The item acquires its own reference; ours goes.
  Err = SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
  ReleaseIconRef(icon);
}

void RetainMenuIcon(void* icon, UInt8 kind) {
  if (kind == kMenuIconRefType)
    Err = AcquireIconRef(static_cast<IconRef>(icon));
  else if (kind == kMenuCGImageRefType)
    CGImageRetain(static_cast<CGImageRef>(icon));
}

void ReleaseMenuIcon(void* icon, UInt8 kind) {
  if (kind == kMenuIconRefType)
    Err = ReleaseIconRef(static_cast<IconRef>(icon));
  else if (kind == kMenuCGImageRefType)
    CGImageRelease(static_cast<CGImageRef>(icon));
}
