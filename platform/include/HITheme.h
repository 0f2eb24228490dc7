// The theme: text drawing and measuring in the theme fonts, theme brushes,
// and the drawing of standard control parts (buttons, focus rings, placards,
// arrows, separators, group boxes, frames). One fixed table of fonts and
// colours, the same on every machine: text is set in "DejaVu Sans" with
// pango; sizes are in pixels (one point is one pixel, as on the screen the
// program was made for).
//
// Orientation: kHIThemeOrientationNormal is a y-down context (a view's draw
// context), kHIThemeOrientationInverted a y-up one (a bitmap context); the
// theme draws upright in either when told which it is.
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "CGContext.h"
#include "CGGeometry.h"
#include "MacTypes.h"

typedef CGPoint HIPoint;
typedef CGSize HISize;
typedef CGRect HIRect;
typedef unsigned char Style;

typedef UInt32 ThemeDrawState;
enum : ThemeDrawState {
  kThemeStateInactive = 0,
  kThemeStateActive = 1,
  kThemeStatePressed = 2,
  kThemeStateRollover = 6,
  kThemeStateUnavailable = 7,
  kThemeStateUnavailableInactive = 8,
  kThemeStatePressedUp = 2,
  kThemeStatePressedDown = 3,
};

typedef UInt32 HIThemeOrientation;
enum : HIThemeOrientation {
  kHIThemeOrientationNormal = 0,
  kHIThemeOrientationInverted = 1,
};

typedef UInt16 ThemeFontID;
enum : ThemeFontID {
  kThemeSystemFont = 0,
  kThemeSmallSystemFont = 1,
  kThemeSmallEmphasizedSystemFont = 2,
  kThemeViewsFont = 3,
  kThemeEmphasizedSystemFont = 4,
  kThemeApplicationFont = 5,
  kThemeLabelFont = 6,
  kThemeMenuTitleFont = 100,
  kThemeMenuItemFont = 101,
  kThemeMenuItemMarkFont = 102,
  kThemeMenuItemCmdKeyFont = 103,
  kThemeWindowTitleFont = 104,
  kThemePushButtonFont = 105,
  kThemeUtilityWindowTitleFont = 106,
  kThemeAlertHeaderFont = 107,
  kThemeToolbarFont = 108,
  kThemeMiniSystemFont = 109,
  kThemeCurrentPortFont = 200,  // taken as the system font
};

typedef SInt16 ThemeBrush;
enum : ThemeBrush {
  kThemeBrushWhite = -1,
  kThemeBrushBlack = -2,
  kThemeBrushPrimaryHighlightColor = -3,
  kThemeBrushSecondaryHighlightColor = -4,
  kThemeBrushAlternatePrimaryHighlightColor = -5,
  kThemeBrushDialogBackgroundActive = 1,
  kThemeBrushDialogBackgroundInactive = 2,
  kThemeBrushAlertBackgroundActive = 3,
  kThemeBrushAlertBackgroundInactive = 4,
  kThemeBrushModelessDialogBackgroundActive = 5,
  kThemeBrushModelessDialogBackgroundInactive = 6,
  kThemeBrushUtilityWindowBackgroundActive = 7,
  kThemeBrushUtilityWindowBackgroundInactive = 8,
  kThemeBrushListViewSortColumnBackground = 9,
  kThemeBrushListViewBackground = 10,
  kThemeBrushIconLabelBackground = 11,
  kThemeBrushListViewSeparator = 12,
  kThemeBrushChasingArrows = 13,
  kThemeBrushDragHilite = 14,
  kThemeBrushDocumentWindowBackground = 15,
  kThemeBrushFinderWindowBackground = 16,
  kThemeBrushFocusHighlight = 19,
  kThemeBrushButtonFaceActive = 29,
  kThemeBrushButtonFaceInactive = 30,
  kThemeBrushButtonFacePressed = 31,
  kThemeBrushButtonFrameActive = 23,
  kThemeBrushButtonFrameInactive = 24,
  kThemeBrushListViewEvenRowBackground = 56,
  kThemeBrushListViewOddRowBackground = 57,
};

// Errors of the theme calls.
enum : OSStatus {
  themeInvalidBrushErr = -30560,
  themeBadTextColorErr = -30563,
};

// ---------------------------------------------------------------------------
// Text

typedef UInt32 HIThemeTextHorizontalFlush;
enum : HIThemeTextHorizontalFlush {
  kHIThemeTextHorizontalFlushLeft = 0,
  kHIThemeTextHorizontalFlushCenter = 1,
  kHIThemeTextHorizontalFlushRight = 2,
  kHIThemeTextHorizontalFlushDefault = 3,  // left
};

typedef UInt32 HIThemeTextVerticalFlush;
enum : HIThemeTextVerticalFlush {
  kHIThemeTextVerticalFlushTop = 0,
  kHIThemeTextVerticalFlushCenter = 1,
  kHIThemeTextVerticalFlushBottom = 2,
};

typedef UInt32 HIThemeTextTruncation;
enum : HIThemeTextTruncation {
  kHIThemeTextTruncationNone = 0,
  kHIThemeTextTruncationMiddle = 1,
  kHIThemeTextTruncationEnd = 2,
  kHIThemeTextTruncationDefault = 3,  // the end
  kHIThemeTextTruncationStart = 4,    // ellipsis first, the end kept
};

typedef OptionBits HIThemeTextBoxOptions;
enum : HIThemeTextBoxOptions {
  kHIThemeTextBoxOptionNone = 0,
  kHIThemeTextBoxOptionStronglyVertical = 1 << 1,  // not supported: drawn horizontally
};

// How a text box lays out its text. Without truncation the text wraps at
// the box's width into as many lines as it needs; with truncation it keeps
// to truncationMaxLines lines (0 counts as 1) and the last line is cut with
// an ellipsis where it overflows, which sets truncationHappened.
struct HIThemeTextInfo {
  UInt32 version;  // 0 or 1
  ThemeDrawState state;
  ThemeFontID fontID;
  HIThemeTextHorizontalFlush horizontalFlushness;
  HIThemeTextVerticalFlush verticalFlushness;
  HIThemeTextBoxOptions options;
  HIThemeTextTruncation truncationPosition;
  UInt32 truncationMaxLines;
  Boolean truncationHappened;  // out
};

// The text in the box, in the context's fill colour (and alpha), casting the
// context's shadow. paramErr for a nil string, rectangle, info or context.
OSStatus HIThemeDrawTextBox(CFTypeRef inString, const HIRect* inBounds, HIThemeTextInfo* ioTextInfo,
                            CGContextRef inContext, HIThemeOrientation inOrientation);
// The size the text takes; inWidth 0 means no limit (one line per line of
// the text). outBaseline: the distance from the bottom of the text up to the
// baseline of its last line, as a negative number. Any out pointer may be nil.
OSStatus HIThemeGetTextDimensions(CFTypeRef inString, CGFloat inWidth, HIThemeTextInfo* ioTextInfo,
                                  CGFloat* outWidth, CGFloat* outHeight, CGFloat* outBaseline);

// The family (Pascal string of at most 255 bytes), size in pixels and style
// (bit 0 bold) of a theme font. fontName may be nil. paramErr for an unknown font ID.
OSStatus GetThemeFont(ThemeFontID inFontID, ScriptCode inScript, StringPtr outFontName, SInt16* outFontSize,
                      Style* outStyle);
// Older calls: ioBounds.h and .v give the width and height (in: the width
// limit when wrapToWidth); outBaseline as above.
OSStatus GetThemeTextDimensions(CFStringRef inString, ThemeFontID inFontID, ThemeDrawState inState,
                                Boolean inWrapToWidth, Point* ioBounds, SInt16* outBaseline);
// Draws left, centred (1) or right (-1) justified, top down, wrapping to the
// box; inContext is the CGContextRef to draw in (required here).
OSStatus DrawThemeTextBox(CFStringRef inString, ThemeFontID inFontID, ThemeDrawState inState,
                          Boolean inWrapToWidth, const Rect* inBoundingBox, SInt16 inJust, void* inContext);

// ---------------------------------------------------------------------------
// Brushes

// Makes the brush's colour the fill or stroke colour. themeInvalidBrushErr
// for a brush the theme does not know (the colour stays as it was).
OSStatus HIThemeSetFill(ThemeBrush inBrush, void* inInfo, CGContextRef inContext, HIThemeOrientation inOrientation);
OSStatus HIThemeSetStroke(ThemeBrush inBrush, void* inInfo, CGContextRef inContext,
                          HIThemeOrientation inOrientation);
OSStatus HIThemeBrushCreateCGColor(ThemeBrush inBrush, CGColorRef* outColor);

// ---------------------------------------------------------------------------
// Control parts

typedef UInt16 ThemeButtonKind;
enum : ThemeButtonKind {
  kThemePushButton = 0,
  kThemeCheckBox = 1,
  kThemeRadioButton = 2,
  kThemeBevelButton = 3,
  kThemeArrowButton = 4,
  kThemePopupButton = 5,
  kThemeDisclosureButton = 6,
  kThemeIncDecButton = 7,
  kThemeSmallBevelButton = 8,
  kThemeMediumBevelButton = 3,
  kThemeLargeBevelButton = 9,
  kThemeListHeaderButton = 10,
  kThemeRoundButton = 11,
  kThemeLargeRoundButton = 12,
  kThemeSmallCheckBox = 13,
  kThemeSmallRadioButton = 14,
  kThemeRoundedBevelButton = 15,
  kThemeComboBox = 16,
  kThemeComboBoxSmall = 17,
  kThemeComboBoxMini = 18,
  kThemeMiniCheckBox = 19,
  kThemeMiniRadioButton = 20,
  kThemePushButtonSmall = 21,
  kThemePushButtonMini = 22,
};

typedef UInt16 ThemeButtonValue;
enum : ThemeButtonValue {
  kThemeButtonOff = 0,
  kThemeButtonOn = 1,
  kThemeButtonMixed = 2,
  kThemeDisclosureRight = 0,
  kThemeDisclosureDown = 1,
  kThemeDisclosureLeft = 2,
};

typedef UInt16 ThemeButtonAdornment;
enum : ThemeButtonAdornment {
  kThemeAdornmentNone = 0,
  kThemeAdornmentDefault = 1 << 0,
  kThemeAdornmentFocus = 1 << 2,
  kThemeAdornmentRightToLeft = 1 << 4,
  kThemeAdornmentDrawIndicatorOnly = 1 << 5,
  kThemeAdornmentArrowLeftArrow = 1 << 6,
  kThemeAdornmentArrowDownArrow = 1 << 7,
  kThemeAdornmentArrowDoubleArrow = 1 << 8,
  kThemeAdornmentArrowUpArrow = 1 << 9,
};

struct HIThemeButtonDrawInfo {
  UInt32 version;
  ThemeDrawState state;
  ThemeButtonKind kind;
  ThemeButtonValue value;
  ThemeButtonAdornment adornment;
  union {
    struct {
      CFAbsoluteTime start;
      CFAbsoluteTime current;
    } time;  // pulsing default buttons do not pulse here
  } animation;
};

// outLabelRect (optional): where the button's title or content goes.
OSStatus HIThemeDrawButton(const HIRect* inBounds, const HIThemeButtonDrawInfo* inDrawInfo, CGContextRef inContext,
                           HIThemeOrientation inOrientation, HIRect* outLabelRect);

// A ring drawn just outside the rectangle when inHasFocus; nothing otherwise.
OSStatus HIThemeDrawFocusRect(const HIRect* inRect, Boolean inHasFocus, CGContextRef inContext,
                              HIThemeOrientation inOrientation);

struct HIThemePlacardDrawInfo {
  UInt32 version;
  ThemeDrawState state;
};
OSStatus HIThemeDrawPlacard(const HIRect* inRect, const HIThemePlacardDrawInfo* inDrawInfo, CGContextRef inContext,
                            HIThemeOrientation inOrientation);

typedef UInt16 ThemeArrowOrientation;
enum : ThemeArrowOrientation { kThemeArrowLeft = 0, kThemeArrowDown = 1, kThemeArrowRight = 2, kThemeArrowUp = 3 };

typedef UInt16 ThemePopupArrowSize;
enum : ThemePopupArrowSize { kThemeArrow3pt = 0, kThemeArrow5pt = 1, kThemeArrow7pt = 2, kThemeArrow9pt = 3 };

struct HIThemePopupArrowDrawInfo {
  UInt32 version;
  ThemeDrawState state;
  ThemeArrowOrientation orientation;
  ThemePopupArrowSize size;
};
// A filled triangle, centred in the rectangle, pointing the given way; its
// base is 3, 5, 7 or 9 pixels wide by the size.
OSStatus HIThemeDrawPopupArrow(const HIRect* inBounds, const HIThemePopupArrowDrawInfo* inDrawInfo,
                               CGContextRef inContext, HIThemeOrientation inOrientation);

// Chasing arrows: two arrows running round a circle, the sign of work under
// way. Each step of the index turns them an eighth of a turn, so a caller
// that counts the index up with its timer makes them spin.
struct HIThemeChasingArrowsDrawInfo {
  UInt32 version;
  ThemeDrawState state;
  UInt32 index;
};
constexpr UInt32 kHIThemeChasingArrowsSteps = 8;
// Centred in the rectangle, as large as its shorter side allows.
OSStatus HIThemeDrawChasingArrows(const HIRect* inBounds, const HIThemeChasingArrowsDrawInfo* inDrawInfo,
                                  CGContextRef inContext, HIThemeOrientation inOrientation);

struct HIThemeSeparatorDrawInfo {
  UInt32 version;
  ThemeDrawState state;
};
// Horizontal when the rectangle is wider than high, vertical otherwise.
OSStatus HIThemeDrawSeparator(const HIRect* inAbsoluteBounds, const HIThemeSeparatorDrawInfo* inDrawInfo,
                              CGContextRef inContext, HIThemeOrientation inOrientation);

typedef UInt32 ThemeGroupBoxKind;
enum : ThemeGroupBoxKind { kHIThemeGroupBoxKindPrimary = 0, kHIThemeGroupBoxKindSecondary = 1 };

struct HIThemeGroupBoxDrawInfo {
  UInt32 version;
  ThemeDrawState state;
  ThemeGroupBoxKind kind;
};
OSStatus HIThemeDrawGroupBox(const HIRect* inRect, const HIThemeGroupBoxDrawInfo* inDrawInfo, CGContextRef inContext,
                             HIThemeOrientation inOrientation);

typedef UInt32 HIThemeFrameKind;
enum : HIThemeFrameKind { kHIThemeFrameTextFieldSquare = 0, kHIThemeFrameListBox = 1 };

struct HIThemeFrameDrawInfo {
  UInt32 version;
  HIThemeFrameKind kind;
  ThemeDrawState state;
  Boolean isFocused;
};
// The frame of a text field or list: drawn just inside the rectangle, with
// the focus ring around it when focused.
OSStatus HIThemeDrawFrame(const HIRect* inRect, const HIThemeFrameDrawInfo* inDrawInfo, CGContextRef inContext,
                          HIThemeOrientation inOrientation);
// A sunken well (a colour well's frame).
OSStatus HIThemeDrawGenericWell(const HIRect* inRect, const HIThemeButtonDrawInfo* inDrawInfo,
                                CGContextRef inContext, HIThemeOrientation inOrientation);
