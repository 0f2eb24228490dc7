// Stand-ins for what the platform does not offer yet. Each goes when the
// platform has it.
#pragma once

#include "CarbonEvents.h"
#include "Menus.h"

// The height of the menu as it pops up: the platform keeps no menu
// geometry, so this is the height of a row times the rows.
UInt16 PlinthoraMenuHeight(MenuRef menu);
