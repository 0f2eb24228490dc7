// Stand-ins for what the platform does not offer yet. Each goes when the
// platform has it.
#pragma once

#include "CarbonEvents.h"
#include "Menus.h"

// The window event asking which window a click goes to ('wind', 8). The
// toolbar's pop-up windows listen for it to close when another window is
// clicked; the platform does not send it yet, so until it does a pop-up
// closes only when another window goes away or when it is hidden.
enum : EventKind { kEventWindowGetClickModality = 8 };

// The height of the menu as it pops up: the platform keeps no menu
// geometry, so this is the height of a row times the rows.
UInt16 PlinthoraMenuHeight(MenuRef menu);
