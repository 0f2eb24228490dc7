// Progress rings, count badges and selection backgrounds of the browsers.
#include "HICommonThemes.h"

#include <cmath>

#include "CGContextMore.h"
#include "PascalCarbonCommon.h"

void HIThemeDrawProgressRing(CGFloat fraction, ThemeDrawState state, const CGRect& rect, CGContextRef c) {
  if (!(fraction > 0)) fraction = 0;  // NaN included
  if (fraction > 1) fraction = 1;
  constexpr CGFloat r = 0.0, g = 0.3, b = 0.8;
  CGContextSaveGState(c);
  if (state == kThemeStateInactive)
    CGContextSetAlpha(c, 0.5);
  else if (state == kThemeStatePressed)
    CGContextSetBlendMode(c, kCGBlendModeMultiply);
  else
    CGContextSetAlpha(c, 0.8);
  CGContextSetRGBFillColor(c, r, g, b, 0.1);
  CGContextPaintOval(c, rect);
  CGContextSetRGBFillColor(c, r, g, b, 0.5);
  CGContextPaintArc(c, rect, 0, SInt32(std::lround(360.0 * fraction)));
  CGContextSetRGBStrokeColor(c, r, g, b, 0.9);
  CGContextSetLineWidth(c, 1.0);
  CGContextFrameOval(c, rect);
  CGContextRestoreGState(c);
}

void HIThemeDrawLabel(ThemeFontID font, const Str31& text, SInt16 style, const CGRect& rect, HIViewRef view,
                      CGContextRef c) {
  HIThemeTextInfo info{};
  info.state = kThemeStateActive;
  info.fontID = font;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  CFStringRef string = CFSTR(Str255(text));
  CGFloat width = 0;
  Err = HIThemeGetTextDimensions(string, 0, &info, &width, nullptr, nullptr);
  CGRect bounds{};
  Err = HIViewGetBounds(view, &bounds);

  CGRect badge{{rect.origin.x + 2.0, rect.origin.y + 2.0}, {rect.size.width - 4.0, rect.size.height - 4.0}};
  badge.size.height += 1.0;
  badge.size.width = width + 12.0;
  badge.origin.x = bounds.size.width - (badge.size.width + 18.0);
  badge.origin.y -= 1.0;

  CGContextSaveGState(c);
  if (style == 1)
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  else
    CGContextSetRGBFillColor(c, 0.5310750, 0.5952392, 0.7410239, 1);
  if (!HIViewIsActive(view, nullptr)) Err = HIThemeSetFill(kThemeBrushSecondaryHighlightColor, nullptr, c, kHIThemeOrientationNormal);
  if (style == 1) CGContextSetShadow(c, CGSize{0, -1}, 1.0);
  CGContextBeginPath(c);
  CGContextAddRoundedRect(c, badge, 7.0, 7.0);
  CGContextFillPath(c);
  CGContextRestoreGState(c);

  CGContextSaveGState(c);
  if (style == 1)
    CGContextSetRGBFillColor(c, 0.6182955, 0.6449683, 0.6863813, 1);
  else
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  Err = HIThemeDrawTextBox(string, &badge, &info, c, kHIThemeOrientationNormal);
  CGContextRestoreGState(c);
}

void HIThemeDrawBrowserSelection(HIViewRef view, ThemeDrawState state, const CGRect& rect, CGContextRef c) {
  CGContextSaveGState(c);
  const ThemeBrush brush =
      HIViewIsActive(view, nullptr) ? kThemeBrushAlternatePrimaryHighlightColor : kThemeBrushSecondaryHighlightColor;
  Err = HIThemeSetFill(brush, nullptr, c, kHIThemeOrientationNormal);
  if (state != kThemeStateActive) Err = HIThemeSetFill(kThemeBrushBlack, nullptr, c, kHIThemeOrientationNormal);
  CGRect fill = rect;
  fill.origin.x = 0.0;
  CGContextFillRect(c, fill);
  CGContextRestoreGState(c);
}
