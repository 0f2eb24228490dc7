// libPlinthora.so: the controls library. An in-window toolbar, a split
// view and a tab view, each a view class made by class ID (from interface
// files or by the host), driven through the C functions below with the
// view first; and a custom look for standard buttons, placards, pop-ups
// and segmented views, given by a draw handler.
//
// Only the 56 functions marked PLINTHORA_EXPORT leave the library.
#pragma once

#define PLINTHORA_EXPORT __attribute__((visibility("default")))

#include "CFArray.h"
#include "CFString.h"
#include "CGContext.h"
#include "CGGeometry.h"
#include "Drag.h"
#include "HIView.h"
#include "MacTypes.h"
#include "MacWindows.h"
#include "Menus.h"
#include "ShortString.h"

// ===========================================================================
// Split view

#define kSplitViewClassID CFStringMakeConstantUTF8("com.brindlecote.splitview")

enum : OSType {
  kSplitViewCreatorTag = 'splt',
  kSplitViewDataPropertyTag = 'DATA',
  // Creation parameters of the initialise event.
  kSplitViewKindParameterTag = 'KIND',        // CFString "horizantal" / "vertical"
  kSplitViewAsynchParameterTag = 'ASYC',      // Boolean
  kSplitViewTitleParameterTag = 'TTLE',       // CFString
  kSplitViewSizeParameterTag = 'SIZE',        // UInt32
  kSplitViewLimitParameterTag = 'LIMT',       // CFRange
  kSplitViewMarginParameterTag = 'MARG',      // CFRange
  kSplitViewVisibilityParameterTag = 'HIDE',  // CFString "top" "bottom" "left" "right"
  kSplitViewStyleParameterTag = 'STYL',       // CFString
};

enum : SInt16 {
  kSplitViewOrientationVertical = 1,  // side by side, the splitter moves along x
  kSplitViewOrientationHorizantal = 2,

  kSplitViewStyleStandard = 1,
  kSplitViewStyleHeader = 2,
  kSplitViewStyleMetal = 3,
  kSplitViewStyleGray = 4,
  kSplitViewStyleMinimal = 5,
  kSplitViewStyleExternalSlider = 6,
  kSplitViewStyleCount = 6,

  kSplitViewVisible = 0,
  kSplitViewTopPane = 1,
  kSplitViewBottomPane = 2,
  kSplitViewLeftPane = 3,
  kSplitViewRightPane = 4,

  kSplitViewMessageClosedPane = 1,
};

// Commands of the interface; the view itself handles none.
enum : UInt32 {
  kHICommandSplitViewHidePane = 'SVx_',
  kHICommandSplitViewShowPane = 'SVo_',
  kHICommandSplitViewNewHorizantalSplit = 'SVnh',
  kHICommandSplitViewNewVerticalSplit = 'SVnv',
};

// Called when an animated collapse or expand has ended.
typedef void (*SplitViewNotificationCallback)(SInt16 inMessage, ControlRef inPane, ControlRef inView,
                                              void* inContext);
// Makes a pane: called for the first, then the second.
typedef ControlRef (*SplitViewCreatePaneCallback)(WindowRef inWindow);

PLINTHORA_EXPORT OSStatus RegisterSplitViewClass();
PLINTHORA_EXPORT void SplitViewSetupPanes(ControlRef inView, ControlRef inPane1, ControlRef inPane2);
// Side 1 or 3 is the first pane, 2 or 4 the second.
PLINTHORA_EXPORT void SplitViewSetPane(ControlRef inView, SInt16 inWhich, ControlRef inPane);
PLINTHORA_EXPORT ControlRef SplitViewGetPane(ControlRef inView, SInt16 inWhich);
PLINTHORA_EXPORT SInt16 SplitViewGetPaneIndex(ControlRef inView, ControlRef inPane);
PLINTHORA_EXPORT void SplitViewSetPosition(ControlRef inView, SInt16 inPosition);
// -1 while a side is collapsed.
PLINTHORA_EXPORT SInt16 SplitViewGetPosition(ControlRef inView);
PLINTHORA_EXPORT void SplitViewSetLimit(ControlRef inView, CFRange inLimit);
PLINTHORA_EXPORT void SplitViewSetKind(ControlRef inView, const Str255& inKind);
// Shows only the side (1-4), or both (0).
PLINTHORA_EXPORT void SplitViewSetVisible(ControlRef inView, SInt16 inSide);
PLINTHORA_EXPORT void SplitViewClose(ControlRef inView, SInt16 inWhich);
PLINTHORA_EXPORT Boolean SplitViewGetAsynchronous(ControlRef inView);
PLINTHORA_EXPORT void SplitViewSetNotificationCallback(ControlRef inView, SplitViewNotificationCallback inCallback,
                                                       void* inContext);
PLINTHORA_EXPORT void SplitViewSetCreatePaneCallback(ControlRef inView, SplitViewCreatePaneCallback inCallback);
// Drags the splitter until the button goes up; the point is in window
// content coordinates.
PLINTHORA_EXPORT void SplitViewTrackSlider(CGPoint inMouse, ControlRef inView);

// ===========================================================================
// Toolbar

#define kToolbarClassID CFStringMakeConstantUTF8("com.brindlecote.toolbar")

enum : OSType {
  kToolbarCreatorTag = 'splt',
  kToolbarDataPropertyTag = 'DATA',
  kToolbarStyleParameterTag = 'STYL',  // CFString
};

typedef SInt16 ToolbarItemRef;

enum : SInt16 {
  kToolbarItemButton = 1,
  kToolbarItemSlider = 2,
  kToolbarItemHIView = 3,
  kToolbarItemAnimated = 4,
  kToolbarStyleCount = 7,
};

// Option sets: element n is bit n.
typedef UInt32 ToolbarOptions;
enum : UInt32 {
  kToolbarOptionHideSeparators = 0,
  kToolbarOptionDontReleaseIcons = 1,
  kToolbarOptionDontReleaseResources = 2,
  kToolbarOptionTransparentBackground = 3,
};
typedef UInt32 ToolbarItemOptions;
enum : UInt32 {
  kToolbarItemDefaultOptions = 0,
  kToolbarItemAnchoredRight = 1,
  kToolbarItemAnchoredLeft = 2,
  kToolbarItemMenuDropDown = 3,
  kToolbarItemMenuCenter = 4,
  kToolbarItemMenuDropUp = 5,
};
constexpr UInt32 ToolbarOption(UInt32 element) { return UInt32(1) << element; }

// What the draw callback is told of a button (ANCHOR is not filled).
struct ToolbarContentsInfo {
  Str255 TEXT;
  void* ICON;
  SInt16 ICONTYPE;
  MenuRef MENU;
  SInt16 ANCHOR;
};

typedef void (*ToolbarSelectMenuCallback)(MenuRef inMenu, SInt16 inItem, void* inContext);
typedef void (*ToolbarHitButtonCallback)(UInt32 inCommand, ToolbarItemRef inRef, void* inContext);
// True when the host drew the button itself.
typedef Boolean (*ToolbarDrawItemCallback)(ToolbarItemRef inRef, const ToolbarContentsInfo& inContents,
                                           CGRect inBounds, CGContextRef inCGContext, void* inContext);

struct ToolbarCallbacks {
  ToolbarSelectMenuCallback SELECTMENU;
  ToolbarHitButtonCallback HITBUTTON;
  ToolbarDrawItemCallback DRAW;
  void* CONTEXT;
};

PLINTHORA_EXPORT OSStatus RegisterToolbarViewClass();
// inMenu is a MenuRef or a WindowRef (a pop-up window). Icon types are the
// menu icon types: 6 an IconRef, 7 a CGImage.
PLINTHORA_EXPORT ToolbarItemRef ToolbarAddButton(ControlRef inView, const Str255& inText, void* inIcon,
                                                 SInt16 inIconType, void* inMenu, UInt32 inCommand,
                                                 ToolbarItemOptions inOptions, void* inContext);
PLINTHORA_EXPORT ToolbarItemRef ToolbarAddSlider(ControlRef inView, ToolbarItemOptions inOptions,
                                                 ControlRef inSplitView);
PLINTHORA_EXPORT ToolbarItemRef ToolbarAddView(ControlRef inView, ToolbarItemOptions inOptions, ControlRef inItemView);
PLINTHORA_EXPORT ToolbarItemRef ToolbarAddAnimated(ControlRef inView, ToolbarItemOptions inOptions, void* inData);
PLINTHORA_EXPORT void ToolbarChangeItem(ControlRef inView, ToolbarItemRef inRef, const Str255& inText, void* inIcon,
                                        SInt16 inIconType);
PLINTHORA_EXPORT void ToolbarSetItemText(ControlRef inView, ToolbarItemRef inRef, const Str255& inText);
PLINTHORA_EXPORT Str255 ToolbarGetItemText(ControlRef inView, ToolbarItemRef inRef);
PLINTHORA_EXPORT void ToolbarSetItemIcon(ControlRef inView, ToolbarItemRef inRef, void* inIcon, SInt16 inIconType);
PLINTHORA_EXPORT void ToolbarSetItemMenu(ControlRef inView, ToolbarItemRef inRef, MenuRef inMenu);
PLINTHORA_EXPORT MenuRef ToolbarGetItemMenu(ControlRef inView, ToolbarItemRef inRef);
PLINTHORA_EXPORT void ToolbarSetItemHidden(ControlRef inView, ToolbarItemRef inRef, Boolean inHidden);
PLINTHORA_EXPORT void ToolbarRemoveItem(ControlRef inView, ToolbarItemRef inRef);
PLINTHORA_EXPORT void ToolbarRemoveAll(ControlRef inView);
PLINTHORA_EXPORT void ToolbarSetOptions(ControlRef inView, ToolbarOptions inOptions);
PLINTHORA_EXPORT void ToolbarSetStyle(ControlRef inView, const Str63& inStyle);
PLINTHORA_EXPORT void ToolbarSetCallbacks(ControlRef inView, const ToolbarCallbacks& inCallbacks, void* inContext);

// ===========================================================================
// Tab view

#define kTabViewClassID CFStringMakeConstantUTF8("com.brindlecote.tabs")

enum : OSType {
  kTabViewCreatorTag = 'ntab',
  kTabViewDataPropertyTag = 'DATA',
  kTabViewKindParameterTag = 'KIND',  // CFString: the style name
};

typedef SInt16 TabViewPaneKind;
typedef UInt32 TabViewOptions;

enum : SInt16 {
  kTabViewNewTab = -1,
  kTabViewActive = 0,
  kTabViewAll = -2,
  kTabViewNoKind = 0,
  kTabViewContentPart = 1,
  kTabViewCloseBoxPart = 2,
  kEventTabClosed = 1,
  kEventTabSelected = 2,
  kEventTabRemoved = 3,
  kSelectTabDelay = 60,  // ticks a drag hovers over a tab before it is selected
  kAdvanceTabsForward = 1,
  kAdvanceTabsBackwards = -1,

  kTabStyleStandard = 1,
  kTabStyleGlossyMetal = 2,
  kTabStyleMetallic = 3,
  kTabStyleToolbar = 4,
};
enum : UInt32 { kBrowserTabsDefaultOptions = 0 };

enum : UInt32 {
  kHICommandAddTab = 't+  ',
  kHICommandNextTab = 'tab>',
  kHICommandPreviousTab = '<tab',
  kHICommandNextPane = 'pan>',
  kHICommandPreviousPane = '<pan',
  kHICommandSelectTabPane = 'tabp',
};

// One pane, stored by value in a CFData of the tab's PANE array.
struct TabPaneInfo {
  TabViewPaneKind KIND;
  ControlRef VIEW;
  Str63 NAME;
  void* ICON;
  SInt16 ICONTYPE;  // 6 an IconRef, 7 a CGImage
  Boolean MODIFIED;
  void* CONTEXT;
  // The whole title in its own characters when NAME is only its short Mac
  // Roman form; the view owns it. nullptr when NAME is the whole title.
  CFStringRef TITLE;
};

// One tab, stored by value in a CFData of the view's tab array.
struct TabInfo {
  CFMutableArrayRef PANE;
  SInt16 ACTIVE;  // 1-based index of the shown pane
  MenuRef MENU;
  ControlRef OWNER;
  CGRect BOUNDS;          // as last drawn
  CGRect CLOSEBOXBOUNDS;  // as last drawn
  Boolean DISABLED;
  SInt16 INDEX;  // 1-based position
};

typedef ControlRef (*TabViewCreatePaneCallback)(SInt16 inKind, const Str63& inName, void* inPaneContext,
                                                WindowRef inWindow, WindowRef& outWindow, void* inContext);
typedef void (*TabViewCreateNotifyCallback)(SInt16 inMessage, SInt16 inTab, SInt16 inKind, const Str63& inName,
                                            void* inPaneContext, ControlRef inView, void* inContext);
typedef Boolean (*TabViewAcceptDragCallback)(Ptr inData, UInt32 inFlavorType, DragRef inDrag, void* inPaneContext,
                                             void* inContext);
typedef Boolean (*TabViewReceiveDragCallback)(Ptr inData, UInt32 inFlavorType, DragRef inDrag, void* inPaneContext,
                                              void* inContext);
typedef void (*TabViewIteratePaneCallback)(SInt16 inKind, const Str63& inName, void* inPaneContext, void* inContext);

struct TabCallbacks {
  TabViewCreatePaneCallback CREATEPANE;
  TabViewCreateNotifyCallback NOTIFY;
  TabViewAcceptDragCallback ACCEPTDRAG;
  TabViewReceiveDragCallback RECEIVEDRAG;
};

PLINTHORA_EXPORT OSStatus RegisterTabViewClass();
PLINTHORA_EXPORT void TabViewSetCallbacks(ControlRef inView, const TabCallbacks& inCallbacks, Ptr inContext);
PLINTHORA_EXPORT void TabViewAppend(ControlRef inView, SInt16 inTab, SInt16 inKind, const Str63& inName, Ptr inIcon,
                                    SInt16 inIconType, Ptr inContext);
PLINTHORA_EXPORT void TabViewSelect(ControlRef inTabs, SInt16 inIndex);
PLINTHORA_EXPORT void TabViewRemove(SInt16 inIndex, ControlRef inTabs);
PLINTHORA_EXPORT void TabViewRemoveByContext(Ptr inContext, ControlRef inTabs);
PLINTHORA_EXPORT ControlRef TabViewSwapPane(ControlRef inView, SInt16 inTab, ControlRef inPane);
PLINTHORA_EXPORT void TabViewSetTitle(ControlRef inView, SInt32 inTab, const Str63& inTitle);
// The same with the whole title, of any length and script: the tab and its
// menu item show it; NAME keeps its short Mac Roman form for the callbacks.
PLINTHORA_EXPORT void TabViewSetTitleWithCFString(ControlRef inView, SInt32 inTab, CFStringRef inTitle);
PLINTHORA_EXPORT void TabViewSetIcon(ControlRef inView, SInt32 inTab, Ptr inIcon, SInt16 inIconType);
PLINTHORA_EXPORT void TabViewSetVisible(ControlRef inView, Boolean inVisible);
PLINTHORA_EXPORT void TabViewAutoReleaseContext(ControlRef inTabs, Boolean inAutoRelease);
PLINTHORA_EXPORT SInt16 TabViewGetCount(ControlRef inTabs);
PLINTHORA_EXPORT SInt16 TabViewGetActive(ControlRef inTabs);
PLINTHORA_EXPORT Ptr TabViewGetContext(ControlRef inTabs, SInt32 inTab, SInt32 inPane, SInt16& outKind);
PLINTHORA_EXPORT Ptr TabViewGetContextAtIndex(CFArrayRef inPaneArray, SInt32 inPane, SInt16& outKind);
PLINTHORA_EXPORT ControlRef TabViewGetPane(ControlRef inTabs, SInt32 inTab, SInt32 inPane);
// The view's own array: neither change nor release it.
PLINTHORA_EXPORT CFArrayRef TabViewGetTabArray(ControlRef inTabs);
// The caller releases the result.
PLINTHORA_EXPORT CFArrayRef TabViewGetPanes(ControlRef inTabs, SInt32 inTab);
PLINTHORA_EXPORT void TabViewForEachPane(ControlRef inTabs, SInt16 inFilterKind, TabViewIteratePaneCallback inCallback,
                                         Ptr inContext);

// ===========================================================================
// Custom-drawn buttons

enum : OSType {
  kCustomButtonCreatorTag = 'cstb',
  kCustomButtonKindPropertyTag = 'KIND',
  kCustomButtonTabPropertyTag = 'TKND',
  kCustomButtonStyleCreator = 0x3F3F3F3F,  // four question marks
  kCustomButtonStylePropertyTag = 'STYL',
};

enum : SInt16 {
  kCustomButtonClassBevelCorner = 1,
  kCustomButtonClassRoundCorner = 2,
  kCustomButtonClassSilver = 3,
  kCustomButtonClassToolbar = 4,
  kCustomButtonClassTextOnly = 5,
  kCustomPlacardSmoothBlue = 1,
  kCustomPlacardFlatGrey = 2,
  kCustomPlacardDarkGrey = 3,
  kCustomPlacardTabTrack = 4,
};

PLINTHORA_EXPORT void HICustomButtonLoadImages();
PLINTHORA_EXPORT void HICustomButtonCreate(SInt16 inKind, ControlRef inControl);
PLINTHORA_EXPORT void HICustomButtonCreateBevel(SInt16 inKind, ControlRef inView, UInt32 inIconCreator,
                                                UInt32 inIconType);
PLINTHORA_EXPORT void HICustomButtonCreateTabTrack(const Str63& inKind, ControlRef inView);
PLINTHORA_EXPORT void HICustomButtonApplyStyles(ControlRef inRoot);
