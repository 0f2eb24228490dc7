// Rounded rectangles, ovals, wedges and the browser elements, probed on a
// y-up bitmap context.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "CGContext.h"
#include "CGContextMore.h"
#include "HIView.h"
#include "HICommonThemes.h"
#include "PascalCarbonCommon.h"

namespace {

struct Canvas {
  static constexpr int kSize = 100;
  std::vector<uint8_t> mem = std::vector<uint8_t>(kSize * kSize * 4, 0);
  CGContextRef c = nullptr;
  Canvas() {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    c = CGBitmapContextCreate(mem.data(), kSize, kSize, 8, kSize * 4, rgb, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(rgb);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  }
  ~Canvas() { CGContextRelease(c); }
  // The alpha of the pixel at (x, y) in user space (y up).
  int Alpha(int x, int y) {
    CGContextFlush(c);
    return mem[((kSize - 1 - y) * kSize + x) * 4 + 3];
  }
};

const CGRect kWhole = {{0, 0}, {100, 100}};

TEST(CGContextMoreTest, PaintArcFillsTheQuarterFromTwelveToThree) {
  Canvas canvas;
  CGContextPaintArc(canvas.c, kWhole, 0, 90);
  EXPECT_EQ(canvas.Alpha(70, 70), 255);  // up and right of the centre
  EXPECT_EQ(canvas.Alpha(30, 70), 0);
  EXPECT_EQ(canvas.Alpha(70, 30), 0);
  EXPECT_EQ(canvas.Alpha(30, 30), 0);
}

TEST(CGContextMoreTest, NegativeArcGoesCounterClockwise) {
  Canvas canvas;
  CGContextPaintArc(canvas.c, kWhole, 0, -90);
  EXPECT_EQ(canvas.Alpha(30, 70), 255);
  EXPECT_EQ(canvas.Alpha(70, 70), 0);
}

TEST(CGContextMoreTest, OvalFillsItsRectangleAndDiscardsEarlierPath) {
  Canvas canvas;
  CGContextAddRect(canvas.c, CGRect{{0, 0}, {10, 10}});
  CGContextPaintOval(canvas.c, CGRect{{20, 40}, {60, 20}});
  EXPECT_EQ(canvas.Alpha(50, 50), 255);
  EXPECT_EQ(canvas.Alpha(22, 42), 0);  // outside the ellipse, inside the box
  EXPECT_EQ(canvas.Alpha(5, 5), 0);    // the rectangle begun before is gone
  // An empty rectangle adds nothing and leaves the context usable.
  CGContextPaintOval(canvas.c, CGRect{{10, 10}, {0, 30}});
  CGContextFillRect(canvas.c, CGRect{{0, 0}, {4, 4}});
  EXPECT_EQ(canvas.Alpha(1, 1), 255);
}

TEST(CGContextMoreTest, RoundedRectRoundsOnlyTheCorners) {
  Canvas canvas;
  CGContextBeginPath(canvas.c);
  CGContextAddRoundedRect(canvas.c, CGRect{{10, 10}, {80, 80}}, 20, 20);
  CGContextFillPath(canvas.c);
  EXPECT_EQ(canvas.Alpha(11, 11), 0);
  EXPECT_EQ(canvas.Alpha(88, 88), 0);
  EXPECT_EQ(canvas.Alpha(50, 11), 255);
  EXPECT_EQ(canvas.Alpha(11, 50), 255);
  EXPECT_EQ(canvas.Alpha(50, 50), 255);
  // A zero oval size gives square corners instead of a division by zero.
  Canvas square;
  CGContextBeginPath(square.c);
  CGContextAddRoundedRect(square.c, CGRect{{10, 10}, {80, 80}}, 0, 20);
  CGContextFillPath(square.c);
  EXPECT_EQ(square.Alpha(11, 11), 255);
}

TEST(HICommonThemesTest, ProgressRingWedgeFollowsTheFraction) {
  Canvas empty, full, hostile;
  HIThemeDrawProgressRing(0.0, kThemeStateActive, kWhole, empty.c);
  HIThemeDrawProgressRing(1.0, kThemeStateActive, kWhole, full.c);
  HIThemeDrawProgressRing(std::numeric_limits<double>::quiet_NaN(), kThemeStateActive, kWhole, hostile.c);
  // The faint disc only, against the disc plus the wedge everywhere.
  const int faint = empty.Alpha(30, 30);
  EXPECT_GT(faint, 0);
  EXPECT_GT(full.Alpha(30, 30), faint);
  EXPECT_GT(full.Alpha(70, 70), faint);
  EXPECT_EQ(hostile.Alpha(30, 30), faint);
  EXPECT_EQ(empty.Alpha(1, 1), 0);  // outside the ring
}

TEST(HICommonThemesTest, LabelBadgeSitsAtTheRightOfTheRow) {
  HIViewRef view = nullptr;
  CGRect frame{{0, 0}, {100, 40}};
  ASSERT_EQ(HIViewCreate(&frame, &view), noErr);
  // An empty text gives a badge 12 wide, 18 from the view's right edge.
  Canvas canvas;
  HIThemeDrawLabel(kThemeSmallSystemFont, "", 2, CGRect{{0, 0}, {100, 20}}, view, canvas.c);
  EXPECT_EQ(canvas.Alpha(76, 10), 255);
  EXPECT_EQ(canvas.Alpha(66, 10), 0);
  EXPECT_EQ(canvas.Alpha(86, 10), 0);
  // A text widens the badge to the left.
  Canvas wide;
  HIThemeDrawLabel(kThemeSmallSystemFont, "12345", 2, CGRect{{0, 0}, {100, 20}}, view, wide.c);
  EXPECT_EQ(wide.Alpha(66, 10), 255);
  EXPECT_EQ(wide.Alpha(86, 10), 0);
  CFRelease(view);
}

TEST(HICommonThemesTest, BrowserSelectionReachesTheLeftEdge) {
  HIViewRef view = nullptr;
  CGRect frame{{0, 0}, {100, 40}};
  ASSERT_EQ(HIViewCreate(&frame, &view), noErr);
  Canvas canvas;
  HIThemeDrawBrowserSelection(view, kThemeStateActive, CGRect{{40, 10}, {50, 20}}, canvas.c);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(canvas.Alpha(2, 20), 255);
  EXPECT_EQ(canvas.Alpha(95, 20), 0);
  EXPECT_EQ(canvas.Alpha(20, 5), 0);
  CFRelease(view);
}

TEST(DrawingHelpersTest, ATSUColoursSetFillAndStroke) {
  Canvas canvas;
  CGContextSetATSUFillColor(canvas.c, ATSURGBAlphaColor{0, 0, 1, 1});
  CGContextFillRect(canvas.c, CGRect{{0, 0}, {10, 10}});
  CGContextFlush(canvas.c);
  const uint8_t* p = &canvas.mem[((99 - 5) * 100 + 5) * 4];
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[2], 255);
  CGContextSetATSUStrokeColor(canvas.c, ATSURGBAlphaColor{0, 1, 0, 1});
  CGContextSetLineWidth(canvas.c, 4);
  CGContextStrokeRect(canvas.c, CGRect{{50, 50}, {20, 20}});
  CGContextFlush(canvas.c);
  const uint8_t* q = &canvas.mem[((99 - 50) * 100 + 60) * 4];
  EXPECT_EQ(q[1], 255);
}

}  // namespace
