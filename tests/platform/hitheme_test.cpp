// The theme: text measuring and drawing with the fixed font table, brushes,
// and control parts.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>

#include "CFString.h"
#include "HITheme.h"
#include "QuartzInternal.h"

namespace {

CFStringRef Str(const char* s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

HIThemeTextInfo Info(ThemeFontID font, HIThemeTextTruncation trunc = kHIThemeTextTruncationNone, UInt32 lines = 1) {
  HIThemeTextInfo info{};
  info.state = kThemeStateActive;
  info.fontID = font;
  info.truncationPosition = trunc;
  info.truncationMaxLines = lines;
  return info;
}

CGFloat Width(const char* text, ThemeFontID font = kThemeSmallSystemFont) {
  CFStringRef s = Str(text);
  HIThemeTextInfo info = Info(font);
  CGFloat w = -1, h = -1;
  EXPECT_EQ(HIThemeGetTextDimensions(s, 0, &info, &w, &h, nullptr), noErr);
  CFRelease(s);
  return w;
}

struct Surface {
  Surface(int w, int h, bool yDown = true)
      : s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), c(QuartzCreateContextForSurface(s, yDown)) {}
  ~Surface() {
    CGContextRelease(c);
    cairo_surface_destroy(s);
  }
  // Alpha of the device pixel at (x, y) from the top-left.
  int Alpha(int x, int y) {
    cairo_surface_flush(s);
    uint32_t w;
    memcpy(&w, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4, 4);
    return int(w >> 24);
  }
  // Rows [y0, y1) that hold any ink.
  bool InkInRows(int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
        if (Alpha(x, y) > 0) return true;
    return false;
  }
  cairo_surface_t* s;
  CGContextRef c;
};

}  // namespace

TEST(HITheme, FontTable) {
  unsigned char name[256];
  SInt16 size = 0;
  Style style = 9;
  ASSERT_EQ(GetThemeFont(kThemeSmallEmphasizedSystemFont, 0, name, &size, &style), noErr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), "DejaVu Sans");
  EXPECT_EQ(size, 11);
  EXPECT_EQ(style, 1);
  const struct {
    ThemeFontID id;
    SInt16 size;
  } sizes[] = {{kThemeSystemFont, 13}, {kThemeSmallSystemFont, 11}, {kThemeViewsFont, 12},
               {kThemeLabelFont, 10},  {kThemeToolbarFont, 11},     {kThemeMiniSystemFont, 9}};
  for (auto& e : sizes) {
    ASSERT_EQ(GetThemeFont(e.id, 0, nullptr, &size, nullptr), noErr);
    EXPECT_EQ(size, e.size) << e.id;
  }
  EXPECT_EQ(GetThemeFont(77, 0, name, &size, &style), paramErr);
}

TEST(HITheme, MeasuringGrowsWithTextAndFont) {
  const CGFloat one = Width("M"), three = Width("MMM");
  EXPECT_GT(one, 0);
  EXPECT_GT(three, 2.5 * one);
  EXPECT_GT(Width("MMM", kThemeSystemFont), three);
  EXPECT_GT(Width("MMM", kThemeSmallEmphasizedSystemFont), three);  // bold
  EXPECT_EQ(Width(""), 0);

  // An empty string still has a line's height; the baseline is above the bottom.
  CFStringRef empty = Str("");
  HIThemeTextInfo info = Info(kThemeSmallSystemFont);
  CGFloat w, h, base;
  ASSERT_EQ(HIThemeGetTextDimensions(empty, 0, &info, &w, &h, &base), noErr);
  EXPECT_GT(h, 8);
  EXPECT_LT(base, 0);
  CFRelease(empty);

  // Two lines are twice as high; the old call reports whole pixels.
  CFStringRef two = Str("one\rtwo");
  CGFloat h2;
  ASSERT_EQ(HIThemeGetTextDimensions(two, 0, &info, nullptr, &h2, nullptr), noErr);
  EXPECT_NEAR(h2, 2 * h, 1);
  Point bounds{0, 0};
  ASSERT_EQ(GetThemeTextDimensions(two, kThemeSmallSystemFont, kThemeStateActive, false, &bounds, nullptr), noErr);
  EXPECT_EQ(bounds.v, SInt16(std::ceil(h2)));
  CFRelease(two);

  EXPECT_EQ(HIThemeGetTextDimensions(nullptr, 0, &info, &w, &h, nullptr), paramErr);
  EXPECT_EQ(HIThemeGetTextDimensions(kCFNull, 0, &info, &w, &h, nullptr), paramErr);
}

TEST(HITheme, TruncationFitsAndReports) {
  CFStringRef s = Str("A rather long title for a small tab");
  for (HIThemeTextTruncation where :
       {kHIThemeTextTruncationEnd, kHIThemeTextTruncationMiddle, kHIThemeTextTruncationStart}) {
    HIThemeTextInfo info = Info(kThemeSmallSystemFont, where);
    CGFloat w = 0;
    ASSERT_EQ(HIThemeGetTextDimensions(s, 80, &info, &w, nullptr, nullptr), noErr);
    EXPECT_TRUE(info.truncationHappened) << where;
    EXPECT_LE(w, 80) << where;
    EXPECT_GT(w, 40) << where;
  }
  HIThemeTextInfo roomy = Info(kThemeSmallSystemFont, kHIThemeTextTruncationEnd);
  roomy.truncationHappened = true;
  ASSERT_EQ(HIThemeGetTextDimensions(s, 1000, &roomy, nullptr, nullptr, nullptr), noErr);
  EXPECT_FALSE(roomy.truncationHappened);

  // Two lines allowed: taller than one, still cut.
  HIThemeTextInfo two = Info(kThemeSmallSystemFont, kHIThemeTextTruncationEnd, 2), one = Info(kThemeSmallSystemFont,
                                                                                               kHIThemeTextTruncationEnd);
  CGFloat h1, h2;
  HIThemeGetTextDimensions(s, 80, &one, nullptr, &h1, nullptr);
  HIThemeGetTextDimensions(s, 80, &two, nullptr, &h2, nullptr);
  EXPECT_NEAR(h2, 2 * h1, 1);
  EXPECT_TRUE(two.truncationHappened);
  CFRelease(s);
}

TEST(HITheme, TextBoxDrawsInFillColourWhereFlushed) {
  CFStringRef s = Str("Hello");
  for (bool yDown : {true, false}) {
    Surface sf(100, 40, yDown);
    CGContextSetRGBFillColor(sf.c, 0, 0, 0, 1);
    HIThemeTextInfo info = Info(kThemeSystemFont, kHIThemeTextTruncationEnd);
    info.verticalFlushness = kHIThemeTextVerticalFlushTop;
    // Top of the screen in either orientation.
    const HIRect box = yDown ? HIRect{{0, 0}, {100, 40}} : HIRect{{0, 0}, {100, 40}};
    ASSERT_EQ(HIThemeDrawTextBox(s, &box, &info, sf.c, yDown ? kHIThemeOrientationNormal : kHIThemeOrientationInverted),
              noErr);
    EXPECT_TRUE(sf.InkInRows(0, 18)) << yDown;
    EXPECT_FALSE(sf.InkInRows(22, 40)) << yDown;
  }
  // Centred horizontally: no ink at the far left.
  Surface c(200, 20);
  HIThemeTextInfo centred = Info(kThemeSmallSystemFont);
  centred.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  HIRect box{{0, 0}, {200, 20}};
  ASSERT_EQ(HIThemeDrawTextBox(s, &box, &centred, c.c, kHIThemeOrientationNormal), noErr);
  bool leftInk = false;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) leftInk |= c.Alpha(x, y) > 0;
  EXPECT_FALSE(leftInk);
  EXPECT_GT(c.Alpha(100, 10) + c.Alpha(101, 10) + c.Alpha(99, 9) + c.Alpha(100, 8) + c.Alpha(102, 11), 0);
  EXPECT_EQ(HIThemeDrawTextBox(s, nullptr, &centred, c.c, 0), paramErr);
  CFRelease(s);
}

TEST(HITheme, BrushesAndParts) {
  Surface sf(60, 30);
  ASSERT_EQ(HIThemeSetFill(kThemeBrushAlternatePrimaryHighlightColor, nullptr, sf.c, kHIThemeOrientationNormal),
            noErr);
  CGContextFillRect(sf.c, CGRect{{0, 0}, {4, 4}});
  EXPECT_EQ(sf.Alpha(1, 1), 255);
  for (ThemeBrush b : {-1, -2, -3, -4, -5, 1, 2, 15, 57})
    EXPECT_EQ(HIThemeSetStroke(b, nullptr, sf.c, kHIThemeOrientationNormal), noErr) << b;
  EXPECT_EQ(HIThemeSetFill(999, nullptr, sf.c, kHIThemeOrientationNormal), themeInvalidBrushErr);

  // Buttons leave ink inside their bounds and none far outside, and say
  // where their label goes.
  for (ThemeButtonKind kind : {kThemePushButton, kThemeBevelButton, kThemeLargeBevelButton, kThemeCheckBox,
                               kThemeRadioButton, kThemePopupButton, kThemeDisclosureButton}) {
    Surface b(80, 40);
    HIThemeButtonDrawInfo info{};
    info.state = kThemeStateActive;
    info.kind = kind;
    info.value = kThemeButtonOn;
    HIRect bounds{{10, 10}, {60, 20}}, label{};
    ASSERT_EQ(HIThemeDrawButton(&bounds, &info, b.c, kHIThemeOrientationNormal, &label), noErr) << kind;
    EXPECT_TRUE(b.InkInRows(10, 30)) << kind;
    EXPECT_FALSE(b.InkInRows(0, 6)) << kind;
    EXPECT_FALSE(b.InkInRows(34, 40)) << kind;
    EXPECT_GE(label.origin.x, 10) << kind;
  }
  HIThemePopupArrowDrawInfo arrow{0, kThemeStateActive, kThemeArrowDown, kThemeArrow9pt};
  HIRect r{{0, 0}, {20, 20}};
  EXPECT_EQ(HIThemeDrawPopupArrow(&r, &arrow, sf.c, kHIThemeOrientationNormal), noErr);
  arrow.orientation = 9;
  EXPECT_EQ(HIThemeDrawPopupArrow(&r, &arrow, sf.c, kHIThemeOrientationNormal), paramErr);
}
