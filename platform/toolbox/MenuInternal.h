// Internal to the platform library: how a host shows menus and the menu bar,
// and the headless host's scripted answers to menu selection.
#pragma once

#include <vector>

#include "Menus.h"

// What a host is asked to show: a menu (or the whole bar when menu is the
// root menu) at a global point, as the context says (kMenuContextMenuBar,
// kMenuContextPopUp).
struct MenuShowRequest {
  MenuRef menu;
  UInt32 context;
  Point where;
  MenuItemIndex popUpItem;  // the item placed at the point (pop-ups), else 0
};
// Runs the menu modally and answers the chosen item (its menu may be a
// submenu); false when the user dismissed it.
typedef bool (*MenuPresenter)(const MenuShowRequest& request, MenuRef* outMenu, MenuItemIndex* outItem);
// Nil restores the headless presenter.
void MenuSetPresenter(MenuPresenter presenter);
// Called by DrawMenuBar: the host rebuilds its bar from the root menu.
void MenuSetMenuBarObserver(void (*changed)());

// --- The headless host's script ------------------------------------------------
// Each selection takes the next choice from the queue; with an empty queue a
// menu is dismissed. A choice names an item of the menu shown (menu nil) or of
// a given menu, or the first enabled item with a command, searched through the
// menu shown and its submenus. A choice that names no enabled item dismisses.
void HeadlessQueueMenuChoice(MenuRef menu, MenuItemIndex item);
void HeadlessQueueMenuCommand(MenuCommand command);
void HeadlessQueueMenuDismiss();
void HeadlessClearMenuChoices();

// What each selection showed, after its enable pass.
struct HeadlessMenuShown {
  MenuRef menu;  // the root menu for the menu bar
  UInt32 context;
  Point where;
  std::vector<bool> enabled;  // per item of the menu itself
  MenuRef chosenMenu;         // nil when dismissed
  MenuItemIndex chosenItem;
};
std::vector<HeadlessMenuShown> HeadlessCopyMenuLog();
void HeadlessClearMenuLog();
