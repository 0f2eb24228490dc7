// The pointer's shape: the theme cursors. The desktop host shows the cursor
// over the program's windows; the headless host only remembers it.
#pragma once

#include "MacTypes.h"

typedef UInt32 ThemeCursor;
enum : ThemeCursor {
  kThemeArrowCursor = 0,
  kThemeCopyArrowCursor = 1,
  kThemeAliasArrowCursor = 2,
  kThemeContextualMenuArrowCursor = 3,
  kThemeIBeamCursor = 4,
  kThemeCrossCursor = 5,
  kThemePlusCursor = 6,
  kThemeWatchCursor = 7,  // animated
  kThemeClosedHandCursor = 8,
  kThemeOpenHandCursor = 9,
  kThemePointingHandCursor = 10,
  kThemeCountingUpHandCursor = 11,      // animated
  kThemeCountingDownHandCursor = 12,    // animated
  kThemeCountingUpAndDownHandCursor = 13,  // animated
  kThemeSpinningCursor = 14,            // animated
  kThemeResizeLeftCursor = 15,
  kThemeResizeRightCursor = 16,
  kThemeResizeLeftRightCursor = 17,
  kThemeNotAllowedCursor = 18,
  kThemeResizeUpCursor = 19,
  kThemeResizeDownCursor = 20,
  kThemeResizeUpDownCursor = 21,
  kThemePoofCursor = 22,
};

enum : OSStatus { themeBadCursorIndexErr = -30565 };

// Shows the cursor; themeBadCursorIndexErr for a number that names none.
OSStatus SetThemeCursor(ThemeCursor inCursor);
// An animated cursor at the step of its animation (a step counter the
// caller advances); a cursor without animation is simply shown.
OSStatus SetAnimatedThemeCursor(ThemeCursor inCursor, UInt32 inAnimationStep);
