// Menu selection: the enable pass, the menu bar, pop-up and contextual menus
// run by the host (headless: answered from a script), key equivalents, and
// the chosen item's command sent to the user focus.
#include <cctype>
#include <deque>
#include <unordered_set>

#include "EventTargetInternal.h"
#include "MacWindows.h"
#include "MenuInternal.h"

namespace {

// Modifier bits of 'kmod'.
constexpr UInt32 kCommandBit = 1u << 8;
constexpr UInt32 kShiftBit = 1u << 9;
constexpr UInt32 kAlphaLockBit = 1u << 10;
constexpr UInt32 kOptionBit = 1u << 11;
constexpr UInt32 kControlBit = 1u << 12;

struct Choice {
  enum Kind { kItem, kCommand, kDismiss } kind;
  MenuRef menu;
  MenuItemIndex item;
  MenuCommand command;
};

std::deque<Choice>& Script() {
  static auto* q = new std::deque<Choice>;
  return *q;
}
std::vector<HeadlessMenuShown>& Log() {
  static auto* v = new std::vector<HeadlessMenuShown>;
  return *v;
}

MenuPresenter gPresenter = nullptr;

bool Selectable(MenuRef menu, MenuItemIndex item) {
  if (!IsValidMenu(menu) || item == 0 || item > CountMenuItems(menu)) return false;
  MenuItemAttributes attrs = 0;
  GetMenuItemAttributes(menu, item, &attrs);
  if (attrs & (kMenuItemAttrSeparator | kMenuItemAttrSectionHeader | kMenuItemAttrHidden)) return false;
  // An item that opens a submenu is no choice of its own.
  MenuRef sub = nullptr;
  if (GetMenuItemHierarchicalMenu(menu, item, &sub) == noErr && sub && !(attrs & kMenuItemAttrSubmenuParentChoosable))
    return false;
  return IsMenuItemEnabled(menu, 0) && IsMenuItemEnabled(menu, item);
}

// Searches visit a menu shown in several places once.
bool FindCommandIn(MenuRef menu, MenuCommand command, MenuRef* outMenu, MenuItemIndex* outItem, int depth,
                   std::unordered_set<MenuRef>& seen) {
  if (depth > 32 || !IsValidMenu(menu) || !seen.insert(menu).second) return false;
  const UInt16 count = CountMenuItems(menu);
  for (MenuItemIndex i = 1; i <= count; ++i) {
    MenuCommand c = 0;
    GetMenuItemCommandID(menu, i, &c);
    if (c == command && Selectable(menu, i)) {
      *outMenu = menu;
      *outItem = i;
      return true;
    }
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub &&
        FindCommandIn(sub, command, outMenu, outItem, depth + 1, seen))
      return true;
  }
  return false;
}

bool HeadlessPresent(const MenuShowRequest& request, MenuRef* outMenu, MenuItemIndex* outItem) {
  auto& script = Script();
  if (script.empty()) return false;
  Choice c = script.front();
  script.pop_front();
  switch (c.kind) {
    case Choice::kDismiss:
      return false;
    case Choice::kCommand: {
      std::unordered_set<MenuRef> seen;
      return FindCommandIn(request.menu, c.command, outMenu, outItem, 0, seen);
    }
    case Choice::kItem: {
      MenuRef menu = c.menu ? c.menu : request.menu;
      if (!Selectable(menu, c.item)) return false;
      *outMenu = menu;
      *outItem = c.item;
      return true;
    }
  }
  return false;
}

HICommandExtended MenuCommandOf(MenuRef menu, MenuItemIndex item) {
  HICommandExtended command{};
  command.attributes = kHICommandFromMenu;
  MenuCommand id = 0;
  GetMenuItemCommandID(menu, item, &id);
  command.commandID = id;
  command.source.menu.menuRef = menu;
  command.source.menu.menuItemIndex = item;
  return command;
}

OSStatus SendMenuCommand(EventKind kind, MenuRef menu, MenuItemIndex item, UInt32 context) {
  EventRef e = nullptr;
  OSStatus st = CreateEvent(nullptr, kEventClassCommand, kind, 0, 0, &e);
  if (st != noErr) return st;
  HICommandExtended command = MenuCommandOf(menu, item);
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SetEventParameter(e, kEventParamMenuContext, typeUInt32, sizeof context, &context);
  st = SendEventToEventTarget(e, GetUserFocusEventTarget());
  ReleaseEvent(e);
  return st;
}

void EnableItems(MenuRef menu, UInt32 context, bool forKey, std::unordered_set<MenuRef>& seen) {
  if (!IsValidMenu(menu) || !seen.insert(menu).second) return;
  RetainMenu(menu);
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassMenu, kEventMenuEnableItems, 0, 0, &e) == noErr) {
    Boolean key = forKey;
    SetEventParameter(e, kEventParamDirectObject, typeMenuRef, sizeof menu, &menu);
    SetEventParameter(e, kEventParamEnableMenuForKeyEvent, typeBoolean, sizeof key, &key);
    SetEventParameter(e, kEventParamMenuContext, typeUInt32, sizeof context, &context);
    SendEventToEventTarget(e, GetMenuEventTarget(menu));
    ReleaseEvent(e);
  }
  // Handlers may add or remove items while the pass runs: count each time.
  // Counted wider than an item index: a full menu holds the greatest one.
  for (UInt32 i = 1; IsValidMenu(menu) && i <= CountMenuItems(menu); ++i) {
    MenuCommand c = 0;
    GetMenuItemCommandID(menu, i, &c);
    if (c != 0) SendMenuCommand(kEventCommandUpdateStatus, menu, i, context | kMenuContextMenuEnabling);
    MenuRef sub = nullptr;
    if (IsValidMenu(menu) && GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub)
      EnableItems(sub, (context & ~(kMenuContextMenuBar | kMenuContextPullDown)) | kMenuContextSubmenu, forKey,
                  seen);
  }
  ReleaseMenu(menu);
}

// Shows the menu through the host after its enable pass, logs it, and sends
// the chosen item's command.
bool Select(MenuRef menu, UInt32 context, Point where, MenuItemIndex popUpItem, MenuRef* outMenu,
            MenuItemIndex* outItem) {
  *outMenu = nullptr;
  *outItem = 0;
  if (!IsValidMenu(menu)) return false;
  RetainMenu(menu);
  if (context & kMenuContextMenuBar) {
    // The bar's menus each get their pass as pull-downs.
    for (UInt32 i = 1; i <= CountMenuItems(menu); ++i) {
      MenuRef sub = nullptr;
      std::unordered_set<MenuRef> seen;
      if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub)
        EnableItems(sub, kMenuContextMenuBar | kMenuContextPullDown | kMenuContextMenuBarTracking, false, seen);
    }
  } else {
    std::unordered_set<MenuRef> seen;
    EnableItems(menu, context, false, seen);
  }
  MenuShowRequest request{menu, context, where, popUpItem};
  MenuRef chosenMenu = nullptr;
  MenuItemIndex chosenItem = 0;
  bool chosen = (gPresenter ? gPresenter : HeadlessPresent)(request, &chosenMenu, &chosenItem);
  if (chosen && !Selectable(chosenMenu, chosenItem)) chosen = false;

  HeadlessMenuShown shown{menu, context, where, {}, chosen ? chosenMenu : nullptr, chosen ? chosenItem : MenuItemIndex(0)};
  for (UInt32 i = 1; IsValidMenu(menu) && i <= CountMenuItems(menu); ++i)
    shown.enabled.push_back(IsMenuItemEnabled(menu, i) != 0);
  if (gPresenter == nullptr) Log().push_back(shown);

  if (chosen) {
    RetainMenu(chosenMenu);
    MenuCommand id = 0;
    GetMenuItemCommandID(chosenMenu, chosenItem, &id);
    if (id != 0) SendMenuCommand(kEventCommandProcess, chosenMenu, chosenItem, context);
    *outMenu = chosenMenu;
    *outItem = chosenItem;
    ReleaseMenu(chosenMenu);
  }
  ReleaseMenu(menu);
  return chosen;
}

SInt32 Result(MenuRef menu, MenuItemIndex item) {
  return SInt32((UInt32(UInt16(GetMenuID(menu))) << 16) | item);
}

bool KeyMatches(MenuRef menu, MenuItemIndex i, UInt32 modifiers, UniChar ch, UInt32 keyCode) {
  UInt16 key = 0;
  MenuItemAttributes attrs = 0;
  GetMenuItemAttributes(menu, i, &attrs);
  const bool virtualKey = (attrs & kMenuItemAttrUseVirtualKey) != 0;
  GetMenuItemCommandKey(menu, i, virtualKey, &key);
  if (key == 0) return false;
  UInt8 wanted = 0;
  GetMenuItemModifiers(menu, i, &wanted);
  const bool needCommand = (wanted & kMenuNoCommandModifier) == 0;
  if (needCommand != ((modifiers & kCommandBit) != 0)) return false;
  if (((wanted & kMenuOptionModifier) != 0) != ((modifiers & kOptionBit) != 0)) return false;
  if (((wanted & kMenuControlModifier) != 0) != ((modifiers & kControlBit) != 0)) return false;
  if (virtualKey) {
    if (((wanted & kMenuShiftModifier) != 0) != ((modifiers & kShiftBit) != 0)) return false;
    return key == keyCode;
  }
  // Letters match in either case; Shift is then part of the equivalent only
  // when the item asks for it.
  auto lower = [](UInt32 c) { return c < 128 ? UInt32(std::tolower(int(c))) : c; };
  if (lower(key) != lower(ch)) return false;
  const bool shift = (modifiers & kShiftBit) != 0 && (modifiers & kAlphaLockBit) == 0;
  if ((wanted & kMenuShiftModifier) != 0) return shift || (ch < 128 && std::isupper(int(ch)) && key < 128);
  return !shift || !(ch < 128 && std::isalpha(int(ch)));
}

bool FindKey(MenuRef menu, UInt32 modifiers, UniChar ch, UInt32 keyCode, bool submenus, MenuRef* outMenu,
             MenuItemIndex* outItem, int depth, std::unordered_set<MenuRef>& seen) {
  if (depth > 32 || !IsValidMenu(menu) || !seen.insert(menu).second) return false;
  const UInt16 count = CountMenuItems(menu);
  for (MenuItemIndex i = 1; i <= count; ++i) {
    if (KeyMatches(menu, i, modifiers, ch, keyCode)) {
      *outMenu = menu;
      *outItem = i;
      return true;
    }
    MenuRef sub = nullptr;
    if ((submenus || depth == 0) && GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub &&
        FindKey(sub, modifiers, ch, keyCode, submenus, outMenu, outItem, depth + 1, seen))
      return true;
  }
  return false;
}

}  // namespace

void MenuSetPresenter(MenuPresenter presenter) { gPresenter = presenter; }

void HeadlessQueueMenuChoice(MenuRef menu, MenuItemIndex item) {
  Script().push_back(Choice{Choice::kItem, menu, item, 0});
}
void HeadlessQueueMenuCommand(MenuCommand command) {
  Script().push_back(Choice{Choice::kCommand, nullptr, 0, command});
}
void HeadlessQueueMenuDismiss() { Script().push_back(Choice{Choice::kDismiss, nullptr, 0, 0}); }
void HeadlessClearMenuChoices() { Script().clear(); }
std::vector<HeadlessMenuShown> HeadlessCopyMenuLog() { return Log(); }
void HeadlessClearMenuLog() { Log().clear(); }

OSStatus UpdateMenuItemsStatus(MenuRef inMenu, UInt32 inContext) {
  if (!IsValidMenu(inMenu)) return errInvalidMenuRef;
  std::unordered_set<MenuRef> seen;
  EnableItems(inMenu, inContext, (inContext & kMenuContextKeyMatching) != 0, seen);
  return noErr;
}

SInt32 MenuSelect(Point startPt) {
  if (!EventCoreCheckMainThread("MenuSelect")) return 0;
  MenuRef root = AcquireRootMenu();
  MenuRef menu = nullptr;
  MenuItemIndex item = 0;
  bool chosen = Select(root, kMenuContextMenuBar | kMenuContextMenuBarTracking, startPt, 0, &menu, &item);
  ReleaseMenu(root);
  return chosen ? Result(menu, item) : 0;
}

SInt32 PopUpMenuSelect(MenuRef menu, short top, short left, short popUpItem) {
  if (!EventCoreCheckMainThread("PopUpMenuSelect")) return 0;
  MenuRef chosenMenu = nullptr;
  MenuItemIndex item = 0;
  bool chosen = Select(menu, kMenuContextPopUp | kMenuContextPopUpTracking, Point{top, left},
                       popUpItem > 0 ? MenuItemIndex(popUpItem) : MenuItemIndex(0), &chosenMenu, &item);
  return chosen ? Result(chosenMenu, item) : 0;
}

OSStatus ContextualMenuSelect(MenuRef inMenu, Point inGlobalLocation, Boolean, UInt32, ConstStr255Param,
                              const AEDesc*, UInt32* outUserSelectionType, MenuID* outMenuID,
                              MenuItemIndex* outMenuItem) {
  if (outUserSelectionType) *outUserSelectionType = kCMNothingSelected;
  if (outMenuID) *outMenuID = 0;
  if (outMenuItem) *outMenuItem = 0;
  if (!IsValidMenu(inMenu)) return errInvalidMenuRef;
  if (!EventCoreCheckMainThread("ContextualMenuSelect")) return eventInternalErr;
  MenuRef chosenMenu = nullptr;
  MenuItemIndex item = 0;
  if (!Select(inMenu, kMenuContextPopUp | kMenuContextPopUpTracking, inGlobalLocation, 0, &chosenMenu, &item))
    return userCanceledErr;
  if (outUserSelectionType) *outUserSelectionType = kCMMenuItemSelected;
  if (outMenuID) *outMenuID = GetMenuID(chosenMenu);
  if (outMenuItem) *outMenuItem = item;
  return noErr;
}

Boolean IsMenuKeyEvent(MenuRef inStartMenu, EventRef inEvent, OptionBits inOptions, MenuRef* outMenu,
                       MenuItemIndex* outMenuItem) {
  if (outMenu) *outMenu = nullptr;
  if (outMenuItem) *outMenuItem = 0;
  if (inEvent == nullptr || GetEventClass(inEvent) != kEventClassKeyboard) return false;
  const EventKind kind = GetEventKind(inEvent);
  if (kind != kEventRawKeyDown && kind != kEventRawKeyRepeat) return false;
  UInt32 modifiers = 0, keyCode = 0;
  GetEventParameter(inEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  GetEventParameter(inEvent, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode);
  UniChar ch = 0;
  ByteCount unicodeSize = 0;
  if (GetEventParameter(inEvent, kEventParamKeyUnicodes, typeUnicodeText, nullptr, 0, &unicodeSize, nullptr) ==
          noErr &&
      unicodeSize >= sizeof(UniChar) && unicodeSize <= 64) {
    UniChar units[32] = {};  // the first unit is the key's character
    GetEventParameter(inEvent, kEventParamKeyUnicodes, typeUnicodeText, nullptr, sizeof units, nullptr, units);
    ch = units[0];
  } else {
    char c = 0;
    if (GetEventParameter(inEvent, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &c) == noErr)
      ch = UInt8(c);
  }
  MenuRef start = inStartMenu ? inStartMenu : AcquireRootMenu();
  if (inStartMenu) RetainMenu(start);
  MenuRef menu = nullptr;
  MenuItemIndex item = 0;
  std::unordered_set<MenuRef> seen;
  bool found = FindKey(start, modifiers, ch, keyCode, (inOptions & kMenuEventDontCheckSubmenus) == 0, &menu,
                       &item, 0, seen);
  if (found && (inOptions & kMenuEventIncludeDisabledItems) == 0) {
    // The item's state is brought up to date first, as before a menu shows.
    MenuCommand c = 0;
    GetMenuItemCommandID(menu, item, &c);
    if (c != 0) SendMenuCommand(kEventCommandUpdateStatus, menu, item, kMenuContextKeyMatching | kMenuContextMenuEnabling);
    found = Selectable(menu, item);
  }
  ReleaseMenu(start);
  if (!found) return false;
  if (outMenu) *outMenu = menu;
  if (outMenuItem) *outMenuItem = item;
  return true;
}

SInt32 MenuEvent(EventRef inEvent) {
  MenuRef menu = nullptr;
  MenuItemIndex item = 0;
  if (!IsMenuKeyEvent(nullptr, inEvent, 0, &menu, &item)) return 0;
  MenuCommand c = 0;
  GetMenuItemCommandID(menu, item, &c);
  if (c != 0) SendMenuCommand(kEventCommandProcess, menu, item, kMenuContextKeyMatching);
  return Result(menu, item);
}
