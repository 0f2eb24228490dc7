// The scroll view: a view that holds one scrollable view and scroll bars for
// it. It asks the scrollable view for its sizes and origin with
// kEventScrollableGetInfo ('scrl' 1: 'imsz', 'vwsz', 'lnsz' typeHISize,
// 'orgn' typeHIPoint), moves it with kEventScrollableScrollTo ('scrl' 10,
// 'orgn'), and asks again when it hears kEventScrollableInfoChanged ('scrl' 2).
#pragma once

#include "HIView.h"

typedef OptionBits HIScrollViewOptions;
enum : HIScrollViewOptions {
  kHIScrollViewOptionsVertScroll = 1 << 0,
  kHIScrollViewOptionsHorizScroll = 1 << 1,
  kHIScrollViewOptionsAllowGrow = 1 << 2,
  kHIScrollViewValidOptions = kHIScrollViewOptionsVertScroll | kHIScrollViewOptionsHorizScroll |
                              kHIScrollViewOptionsAllowGrow,
};

typedef UInt16 HIScrollViewAction;
enum : HIScrollViewAction {
  kHIScrollViewScrollToTop = 1 << 0,
  kHIScrollViewScrollToBottom = 1 << 1,
  kHIScrollViewScrollToLeft = 1 << 2,
  kHIScrollViewScrollToRight = 1 << 3,
  kHIScrollViewPageUp = 1 << 4,
  kHIScrollViewPageDown = 1 << 5,
  kHIScrollViewPageLeft = 1 << 6,
  kHIScrollViewPageRight = 1 << 7,
};

// The scroll bars are the view's first subviews; the scrollable view is the
// first other subview added. Options outside kHIScrollViewValidOptions give
// paramErr.
OSStatus HIScrollViewCreate(HIScrollViewOptions inOptions, HIViewRef* outView);
// Hidden scroll bars when everything is in view.
OSStatus HIScrollViewSetScrollBarAutoHide(HIViewRef inView, Boolean inAutoHide);
Boolean HIScrollViewGetScrollBarAutoHide(HIViewRef inView);
OSStatus HIScrollViewNavigate(HIViewRef inView, HIScrollViewAction inAction);
Boolean HIScrollViewCanNavigate(HIViewRef inView, HIScrollViewAction inAction);
