// Drawing: the standard drawing handlers and geometry that a host's DRAWITEM
// combines. Every handler draws into the given context, whose coordinates
// are those the browser hands to DRAWITEM (y up); bounds are the item's
// cell in them.
#pragma once

#include "brackenrow/Brackenrow.h"

extern "C" {

// Cell background and selection (not while a drag image is being drawn),
// icon (or the text moved 18 points left into its place), text, drop marks.
BRACKENROW_EXPORT void StandardTextPropertyDrawHandler(IconRef icon, CFStringRef text, Boolean container,
                                                       DataBrowserPropertyID property, DataBrowserItemID item,
                                                       DataBrowserItemState itemState, CGRect itemBounds,
                                                       CGContextRef context, ControlRef browser);
// The same with the text drawn as a caption.
BRACKENROW_EXPORT void StandardCaptionPropertyDrawHandler(IconRef icon, CFStringRef text, Boolean container,
                                                          DataBrowserPropertyID property, DataBrowserItemID item,
                                                          DataBrowserItemState itemState, CGRect itemBounds,
                                                          CGContextRef context, ControlRef browser);
// The selection behind a selected row: the selection image tiled, or the
// highlight colour (secondary when the browser is inactive).
BRACKENROW_EXPORT void StandardSelectionDrawHandler(DataBrowserItemState itemState, DataBrowserPropertyID property,
                                                    DataBrowserItemID item, CGRect itemBounds, CGContextRef context,
                                                    ControlRef browser);
BRACKENROW_EXPORT void StandardCellDrawHandler(DataBrowserPropertyID property, DataBrowserItemID item,
                                               CGRect itemBounds, CGContextRef context, ControlRef browser);
BRACKENROW_EXPORT void StandardIconDrawHandler(IconRef icon, DataBrowserItemState itemState, CGRect itemBounds,
                                               CGContextRef context, ControlRef browser);
BRACKENROW_EXPORT void StandardTextDrawHandler(CFStringRef text, DataBrowserItemState itemState, CGRect itemBounds,
                                               CGContextRef context, ControlRef browser);
BRACKENROW_EXPORT void StandardCaptionDrawHandler(CFStringRef text, DataBrowserItemState itemState,
                                                  CGRect itemBounds, CGContextRef context, ControlRef browser);
// The insertion line or container outline of a drag over the row.
BRACKENROW_EXPORT void StandardTrackingDrawHandler(Boolean container, DataBrowserItemID item,
                                                   DataBrowserItemState itemState, CGRect itemBounds,
                                                   CGContextRef context, ControlRef browser);
// The icon's square, vertically centred at the bounds' left; its side
// follows the row height.
BRACKENROW_EXPORT CGRect GetStandardIconBounds(CGRect itemBounds, ControlRef browser);
// The text's rectangle right of the icon.
BRACKENROW_EXPORT CGRect GetStandardTextBounds(CFStringRef text, CGRect itemBounds, ControlRef browser);
// Whether the mouse rectangle meets the text or the icon of the row. text is
// a length-prefixed string.
BRACKENROW_EXPORT Boolean StandardTextPropertyHitTest(ConstStr255Param text, ControlRef browser, CGRect itemBounds,
                                                      CGRect mouseRect);

}  // extern "C"
