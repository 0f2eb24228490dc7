// The window toolbar: an HIObject that holds a row of items and is shown by
// the platform in a strip between a window's title and its content (the
// content region starts below the strip while it shows). Both hosts draw it
// from the platform's own model: icon-and-label buttons, separators, spaces
// and flexible spaces, and items that bring a view of their own.
//
// The toolbar asks its delegate through events on its own target
// (HIObjectGetEventTarget): when it is first put on a window it asks for the
// default identifiers (kEventToolbarGetDefaultIdentifiers, 'mutb' a
// CFMutableArray to fill) and the selectable ones
// (kEventToolbarGetSelectableIdentifiers), then creates each item with
// kEventToolbarCreateItemWithIdentifier ('tbii' the identifier, 'tbid' the
// configuration data; the handler answers the item in 'tbit'). Identifiers
// nobody creates an item for are made by the toolbar itself when they are the
// standard separator, space or flexible space, and left out otherwise.
// Display mode and size changes are told with kEventToolbarDisplayModeChanged
// and kEventToolbarDisplaySizeChanged.
//
// There is no customisation sheet: the allowed identifiers are never asked
// for, the customize identifier makes no item, and drops on the strip make
// none either (kEventToolbarCreateItemFromDrag is not sent).
//
// An item is an HIObject of kHIToolbarItemClassID or of a subclass (custom
// items register one with HIObjectRegisterSubclass; their construct event
// carries the new item in 'hivi' as well as 'hioi'). The item's view is asked
// for with kEventToolbarItemCreateCustomView ('ctrl' answered) the first time
// the toolbar lays the item out; items without one are drawn as an icon over
// a label. A click on an enabled item sends kEventToolbarItemPerformAction to
// the item; unhandled, its command goes as a command-process event (from a
// control: the item's view in the strip) to the window, or to the user focus
// with kHIToolbarItemSendCmdToUserFocus. Enabling, label, image and command
// changes are told to the item ('tbit' 7, 2, 1, 4).
#pragma once

#include "CFArray.h"
#include "CFString.h"
#include "CarbonEvents.h"
#include "HIObject.h"
#include "HIView.h"
#include "Icons.h"
#include "MacTypes.h"
#include "MacWindows.h"

typedef HIObjectRef HIToolbarRef;
typedef HIObjectRef HIToolbarItemRef;

extern const CFStringRef kHIToolbarClassID;      // "com.apple.hitoolbar"
extern const CFStringRef kHIToolbarItemClassID;  // "com.apple.hitoolbaritem"

// Identifiers of the standard items.
extern const CFStringRef kHIToolbarSeparatorIdentifier;      // "com.apple.hitoolbox.toolbar.separator"
extern const CFStringRef kHIToolbarSpaceIdentifier;          // "com.apple.hitoolbox.toolbar.space"
extern const CFStringRef kHIToolbarFlexibleSpaceIdentifier;  // "com.apple.hitoolbox.toolbar.flexiblespace"
extern const CFStringRef kHIToolbarCustomizeIdentifier;      // "com.apple.hitoolbox.toolbar.customize"

// Toolbar attributes.
enum : OptionBits {
  kHIToolbarNoAttributes = 0,
  kHIToolbarAutoSavesConfig = 1 << 0,  // nothing is saved: there is no configuration to change
  kHIToolbarIsConfigurable = 1 << 1,   // accepted; no customisation sheet is offered
  kHIToolbarValidAttrs = kHIToolbarAutoSavesConfig | kHIToolbarIsConfigurable,
};

typedef UInt32 HIToolbarDisplayMode;
enum : HIToolbarDisplayMode {
  kHIToolbarDisplayModeDefault = 0,  // icon and label
  kHIToolbarDisplayModeIconAndLabel = 1,
  kHIToolbarDisplayModeIconOnly = 2,
  kHIToolbarDisplayModeLabelOnly = 3,
};

typedef UInt32 HIToolbarDisplaySize;
enum : HIToolbarDisplaySize {
  kHIToolbarDisplaySizeDefault = 0,  // normal
  kHIToolbarDisplaySizeNormal = 1,   // 32-point icons
  kHIToolbarDisplaySizeSmall = 2,    // 24-point icons
};

// Item attributes.
enum : OptionBits {
  kHIToolbarItemNoAttributes = 0,
  kHIToolbarItemAllowDuplicates = 1 << 0,
  kHIToolbarItemCantBeRemoved = 1 << 1,
  kHIToolbarItemAnchoredLeft = 1 << 2,
  kHIToolbarItemIsSeparator = 1 << 3,
  kHIToolbarItemSendCmdToUserFocus = 1 << 4,
  kHIToolbarItemLabelDisabled = 1 << 5,
  kHIToolbarItemDisabled = 1 << 6,
  kHIToolbarItemSelected = 1 << 7,  // drawn pressed in; a click on a selectable item selects it alone
  kHIToolbarItemValidAttrs = 0xFF,
  kHIToolbarItemMutableAttrs = kHIToolbarItemDisabled | kHIToolbarItemSelected | kHIToolbarItemLabelDisabled,
};

// Parameters of the delegate events (see above).
enum : EventParamName {
  kEventParamToolbarMutableArray = 'mutb',
};

// --- Toolbars -------------------------------------------------------------------------
// The caller owns one reference; a window the toolbar is put on keeps its own.
OSStatus HIToolbarCreate(CFStringRef inIdentifier, OptionBits inAttributes, HIToolbarRef* outToolbar);
OSStatus HIToolbarGetAttributes(HIToolbarRef inToolbar, OptionBits* outAttributes);
OSStatus HIToolbarCopyIdentifier(HIToolbarRef inToolbar, CFStringRef* outIdentifier);
// A change tells the delegate (only when the value changes) and lays the strip out again.
OSStatus HIToolbarGetDisplayMode(HIToolbarRef inToolbar, HIToolbarDisplayMode* outDisplayMode);
OSStatus HIToolbarSetDisplayMode(HIToolbarRef inToolbar, HIToolbarDisplayMode inDisplayMode);
OSStatus HIToolbarGetDisplaySize(HIToolbarRef inToolbar, HIToolbarDisplaySize* outSize);
OSStatus HIToolbarSetDisplaySize(HIToolbarRef inToolbar, HIToolbarDisplaySize inSize);
// A new array (the caller releases it) of the items in order.
OSStatus HIToolbarCopyItems(HIToolbarRef inToolbar, CFArrayRef* outItems);
// Asks the delegate for the item, or makes a standard one; errUnknownControl
// when nobody makes it.
OSStatus HIToolbarCreateItemWithIdentifier(HIToolbarRef inToolbar, CFStringRef inIdentifier, CFTypeRef inConfigData,
                                           HIToolbarItemRef* outItem);
// The toolbar keeps its own reference to an inserted item. An index past the
// end appends. paramErr for an item already in a toolbar.
OSStatus HIToolbarInsertItemAtIndex(HIToolbarRef inToolbar, HIToolbarItemRef inItem, CFIndex inIndex);
OSStatus HIToolbarAppendItem(HIToolbarRef inToolbar, HIToolbarItemRef inItem);
OSStatus HIToolbarRemoveItemAtIndex(HIToolbarRef inToolbar, CFIndex inIndex);

// --- Toolbar items --------------------------------------------------------------------------
OSStatus HIToolbarItemCreate(CFStringRef inIdentifier, OptionBits inOptions, HIToolbarItemRef* outItem);
OSStatus HIToolbarItemCopyIdentifier(HIToolbarItemRef inItem, CFStringRef* outIdentifier);
OSStatus HIToolbarItemGetAttributes(HIToolbarItemRef inItem, OptionBits* outAttributes);
// Only kHIToolbarItemMutableAttrs change after creation (paramErr otherwise).
OSStatus HIToolbarItemChangeAttributes(HIToolbarItemRef inItem, OptionBits inAttrsToSet, OptionBits inAttrsToClear);
OSStatus HIToolbarItemSetLabel(HIToolbarItemRef inItem, CFStringRef inLabel);
OSStatus HIToolbarItemCopyLabel(HIToolbarItemRef inItem, CFStringRef* outLabel);
OSStatus HIToolbarItemSetHelpText(HIToolbarItemRef inItem, CFStringRef inShortText, CFStringRef inLongText);
// The item keeps its own reference to the icon or image; nil removes it.
OSStatus HIToolbarItemSetIconRef(HIToolbarItemRef inItem, IconRef inIcon);
OSStatus HIToolbarItemSetImage(HIToolbarItemRef inItem, CGImageRef inImage);
OSStatus HIToolbarItemSetCommandID(HIToolbarItemRef inItem, MenuCommand inCommandID);
OSStatus HIToolbarItemGetCommandID(HIToolbarItemRef inItem, MenuCommand* outCommandID);
OSStatus HIToolbarItemSetEnabled(HIToolbarItemRef inItem, Boolean inEnabled);
Boolean HIToolbarItemIsEnabled(HIToolbarItemRef inItem);
// The item's view: the custom view when the item makes one (asked for now if
// it was not yet), else the view the strip draws the item with. The item owns it.
OSStatus HIToolbarItemGetView(HIToolbarItemRef inItem, HIViewRef* outView);
// The toolbar the item is in, nil when none.
HIToolbarRef HIToolbarItemGetToolbar(HIToolbarItemRef inItem);

// --- Windows ------------------------------------------------------------------------------
// Puts the toolbar on the window (nil takes it off); the window keeps a
// reference. The first time a toolbar is put on a window its delegate is asked
// for the default items. A toolbar is on one window at a time.
OSStatus SetWindowToolbar(WindowRef inWindow, HIToolbarRef inToolbar);
OSStatus GetWindowToolbar(WindowRef inWindow, HIToolbarRef* outToolbar);
// Shows or hides the strip; the content keeps its size and the window grows or
// shrinks by the strip's height. Animation is accepted and not shown.
OSStatus ShowHideWindowToolbar(WindowRef inWindow, Boolean inShow, Boolean inAnimate);
Boolean IsWindowToolbarVisible(WindowRef inWindow);
