// The system font panel: a floating, modeless panel in which the user picks
// a font family, style and size. Every pick is sent at once as a
// kEventFontSelection event to the target given with SetFontInfoForSelection
// (the application when none was given), and closing the panel as
// kEventFontPanelClosed to the application. On the desktop it is a font chooser dialog over the
// active window; under the headless host it answers from a script (see
// HeadlessHost.h).
#pragma once

#include "CarbonEvents.h"
#include "MacTypes.h"
#include "WASTE.h"

typedef SInt16 FMFontStyle;  // QuickDraw style bits: bold 1, italic 2, underline 4
typedef SInt16 FMFontSize;   // points

enum : UInt32 { kEventClassFont = 'font' };
enum : UInt32 {
  kEventFontPanelClosed = 1,  // no parameters
  kEventFontSelection = 2,    // the three parameters below
};
enum : EventParamName {
  kEventParamFMFontFamily = 'fmfm',  // typeFMFontFamily (FMFontFamily)
  kEventParamFMFontStyle = 'fmst',   // typeFMFontStyle (FMFontStyle)
  kEventParamFMFontSize = 'fmsz',    // typeFMFontSize (FMFontSize)
};
enum : EventParamType {
  typeFMFontFamily = 'fmfm',
  typeFMFontStyle = 'fmst',
  typeFMFontSize = 'fmsz',
};

// The selection the panel shows: one QuickDraw style record.
enum : OSType { kFontSelectionQDType = 'qstl' };
enum : UInt32 { kFontSelectionQDStyleVersionZero = 0 };
struct FMFontFamilyInstance {
  FMFontFamily fontFamily;
  FMFontStyle fontStyle;
};
struct FontSelectionQDStyle {
  UInt32 version;  // kFontSelectionQDStyleVersionZero
  FMFontFamilyInstance instance;
  FMFontSize size;
  Boolean hasColor;  // colour is not shown by the panel
  UInt8 reserved;
  RGBColor color;
};
enum : OSStatus { fontPanelShowErr = -8880, fontPanelSelectionStyleErr = -8881 };

// Shows the panel when it is hidden, hides it when it is shown (hiding
// sends kEventFontPanelClosed as closing it does).
OSStatus FPShowHideFontPanel();
Boolean FPIsFontPanelVisible();
// The font the panel shows (iNumStyles 1 of kFontSelectionQDType; 0 styles
// leave it) and the target of its events (nil: the application). The shown
// panel follows at once. fontPanelSelectionStyleErr for another style type
// or version.
OSStatus SetFontInfoForSelection(OSType iStyleType, UInt32 iNumStyles, void* iStyles,
                                 EventTargetRef iFPEventTarget);
