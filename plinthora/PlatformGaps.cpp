#include "plinthora/PlatformGaps.h"

UInt16 PlinthoraMenuHeight(MenuRef menu) {
  constexpr UInt16 kRowHeight = 19, kMenuPadding = 8;
  if (!IsValidMenu(menu)) return 0;
  return UInt16(CountMenuItems(menu) * kRowHeight + kMenuPadding);
}
