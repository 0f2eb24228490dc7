// Help tags: short texts shown near a control or a menu item when the
// pointer rests on it (the desktop host shows them as tooltips), or at a
// place the program names (HMDisplayTag).
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "HIView.h"
#include "MacTypes.h"
#include "MacWindows.h"
#include "Menus.h"

typedef OSType HMContentType;
typedef SInt16 HMTagDisplaySide;
typedef UInt32 HMContentRequest;

enum : HMContentType {
  kHMNoContent = 'none',
  kHMCFStringContent = 'cfst',            // a CFString, retained by the store
  kHMCFStringLocalizedContent = 'cfsl',   // a key of the main bundle's strings
  kHMPascalStrContent = 'pstr',           // a length-prefixed Mac Roman string
};

enum : HMTagDisplaySide {
  kHMDefaultSide = 0,
  kHMOutsideTopScriptAligned = 1,
  kHMOutsideLeftCenterAligned = 2,
  kHMOutsideBottomScriptAligned = 3,
  kHMOutsideRightCenterAligned = 4,
  kHMOutsideTopLeftAligned = 5,
  kHMOutsideTopRightAligned = 6,
  kHMOutsideLeftTopAligned = 7,
  kHMOutsideLeftBottomAligned = 8,
  kHMOutsideBottomLeftAligned = 9,
  kHMOutsideBottomRightAligned = 10,
  kHMOutsideRightTopAligned = 11,
  kHMOutsideRightBottomAligned = 12,
  kHMAbsoluteCenterAligned = 23,
};

enum : SInt32 { kMacHelpVersion = 3 };
enum : SInt32 {
  kHMMinimumContentIndex = 0,  // shown normally
  kHMMaximumContentIndex = 1,  // shown when the user asks for more (option key)
};

enum : OSStatus {
  errHMIllegalContentForMinimumState = -10981,
  errHMContentNotFound = -10982,
  errHMIllegalContentForMaximumState = -10983,
};

struct HMHelpContent {
  HMContentType contentType;
  union {
    CFStringRef tagCFString;
    unsigned char tagString[256];  // length byte, then the characters
  } u;
};

struct HMHelpContentRec {
  SInt32 version;
  Rect absHotRect;  // global; an empty rectangle means the item's own bounds
  HMTagDisplaySide tagSide;
  HMHelpContent content[2];
};
typedef HMHelpContentRec* HMHelpContentPtr;

// Gives the control or menu item (item 0: the menu itself) its help content,
// or removes it when inContent is nil or both contents are kHMNoContent.
// Strings are copied, so the caller's CFString and record may go at once.
// An unknown content type gives paramErr. The content goes with its control
// or menu.
OSStatus HMSetControlHelpContent(ControlRef inControl, const HMHelpContentRec* inContent);
OSStatus HMSetMenuItemHelpContent(MenuRef inMenu, MenuItemIndex inItem, const HMHelpContentRec* inContent);
OSStatus HMSetWindowHelpContent(WindowRef inWindow, const HMHelpContentRec* inContent);
// The content as set, with CFString content as a new reference the caller
// releases. errHMContentNotFound when none was set (the record then has
// kHMNoContent in both contents).
OSStatus HMGetControlHelpContent(ControlRef inControl, HMHelpContentRec* outContent);
OSStatus HMGetMenuItemHelpContent(MenuRef inMenu, MenuItemIndex inItem, HMHelpContentRec* outContent);
OSStatus HMGetWindowHelpContent(WindowRef inWindow, HMHelpContentRec* outContent);

// The text a tag of the content shows (its minimum content, or the maximum
// one when asked), as a new CFString; nil for no content.
CFStringRef HMCopyHelpContentText(const HMHelpContentRec* inContent, Boolean inMaximum);

// Shows a tag now at the record's hot rectangle (global) until HMHideTag or
// another tag; HMHideTag on no tag does nothing.
OSStatus HMDisplayTag(const HMHelpContentRec* inContent);
OSStatus HMHideTag();
// Whether tags are shown at all (on by default) and after what delay (ms).
OSStatus HMSetHelpTagsDisplayed(Boolean inDisplayTags);
Boolean HMAreHelpTagsDisplayed();
OSStatus HMSetTagDelay(Duration inDelay);
OSStatus HMGetTagDelay(Duration* outDelay);
