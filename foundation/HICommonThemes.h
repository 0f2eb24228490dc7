// HICommonThemes: recurring elements of the browsers, drawn with Quartz and
// the theme: a pie progress ring, a rounded count badge at the right of a
// row, and the selection background of a row.
#pragma once

#include "CGContext.h"
#include "HITheme.h"
#include "HIView.h"
#include "MacTypes.h"
#include "ShortString.h"

// A faint disc, a wedge from twelve o'clock over the fraction done (0..1,
// clamped) and an outline, in blue; draw state 0 fades it, 2 multiplies it.
void HIThemeDrawProgressRing(CGFloat fraction, ThemeDrawState state, const CGRect& rect, CGContextRef context);
// The text in a rounded badge at the right edge of the row: white with a
// shadow and grey text for style 1, blue-grey with white text otherwise.
// Sets Err.
void HIThemeDrawLabel(ThemeFontID font, const Str31& text, SInt16 style, const CGRect& rect, HIViewRef view,
                      CGContextRef context);
// The selection background of the row, from the view's left edge: the
// highlight brush of the view's state for state 1, black otherwise. Sets Err.
void HIThemeDrawBrowserSelection(HIViewRef view, ThemeDrawState state, const CGRect& rect, CGContextRef context);
