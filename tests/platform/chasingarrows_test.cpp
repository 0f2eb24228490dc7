// Chasing arrows: the theme drawing turns with its step, stays inside its
// square, and the control spins with the event clock (virtual here), asking
// for a redraw at every step while it is visible.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "CarbonEvents.h"
#include "HITheme.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "TestBitmap.h"

namespace {

std::vector<UInt8> Arrows(UInt32 index, ThemeDrawState state, HIRect bounds = {{4, 4}, {16, 16}},
                          HIThemeOrientation orientation = kHIThemeOrientationNormal) {
  Bitmap b(24, 24);
  HIThemeChasingArrowsDrawInfo info = {0, state, index};
  EXPECT_EQ(noErr, HIThemeDrawChasingArrows(&bounds, &info, b.context, orientation));
  b.At(0, 0);
  return b.pixels;
}

int Alpha(const std::vector<UInt8>& pixels) {
  int sum = 0;
  for (size_t i = 3; i < pixels.size(); i += 4) sum += pixels[i];
  return sum;
}

TEST(ChasingArrowsTest, EachStepTurnsTheArrowsAndEightStepsMakeATurn) {
  std::vector<std::vector<UInt8>> steps;
  for (UInt32 i = 0; i < kHIThemeChasingArrowsSteps; ++i) steps.push_back(Arrows(i, kThemeStateActive));
  for (UInt32 i = 0; i < steps.size(); ++i) {
    EXPECT_GT(Alpha(steps[i]), 0) << i;
    EXPECT_NE(steps[i], steps[(i + 1) % steps.size()]) << i;
  }
  EXPECT_EQ(steps[0], Arrows(kHIThemeChasingArrowsSteps, kThemeStateActive));
  EXPECT_EQ(steps[3], Arrows(3 + 5 * kHIThemeChasingArrowsSteps, kThemeStateActive));
  // Inactive arrows are fainter, not gone.
  const int faint = Alpha(Arrows(0, kThemeStateInactive));
  EXPECT_GT(faint, 0);
  EXPECT_LT(faint, Alpha(steps[0]));
}

TEST(ChasingArrowsTest, NothingIsDrawnOutsideTheSquareAndBadInputIsRefused) {
  const std::vector<UInt8> p = Arrows(2, kThemeStateActive, {{4, 4}, {16, 16}}, kHIThemeOrientationInverted);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x)
      if (x < 4 || x >= 20 || y < 4 || y >= 20) {
        ASSERT_EQ(0, p[(size_t(y) * 24 + x) * 4 + 3]) << x << "," << y;
      }
  Bitmap b(8, 8);
  HIRect r = {{0, 0}, {8, 8}};
  HIThemeChasingArrowsDrawInfo info = {0, kThemeStateActive, 0};
  EXPECT_EQ(paramErr, HIThemeDrawChasingArrows(&r, nullptr, b.context, kHIThemeOrientationNormal));
  EXPECT_EQ(paramErr, HIThemeDrawChasingArrows(nullptr, &info, b.context, kHIThemeOrientationNormal));
  EXPECT_EQ(paramErr, HIThemeDrawChasingArrows(&r, &info, nullptr, kHIThemeOrientationNormal));
  HIRect tiny = {{0, 0}, {2, 2}};
  EXPECT_EQ(noErr, HIThemeDrawChasingArrows(&tiny, &info, b.context, kHIThemeOrientationNormal));
}

class ChasingArrowsControlTest : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    Rect bounds = {100, 100, 200, 300};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window_));
    Rect r = {10, 10, 26, 26};
    ASSERT_EQ(noErr, CreateChasingArrowsControl(window_, &r, &arrows_));
    ShowWindow(window_);
  }
  void TearDown() override {
    if (window_) DisposeWindow(window_);
    HeadlessUseVirtualClock(false);
  }
  std::vector<UInt8> Render() {
    Bitmap b(16, 16);
    EXPECT_EQ(noErr, HIViewDrawInContext(arrows_, b.context));
    b.At(0, 0);
    return b.pixels;
  }
  // Moves the clock to the start of the next step.
  void NextStep() {
    const double now = GetCurrentEventTime() * kHIThemeChasingArrowsSteps;
    HeadlessAdvanceClock((std::floor(now) + 1 - now) / kHIThemeChasingArrowsSteps + 1e-6);
  }
  WindowRef window_ = nullptr;
  ControlRef arrows_ = nullptr;
};

TEST_F(ChasingArrowsControlTest, TheControlSpinsWithTheClockAndAsksToBeRedrawn) {
  const std::vector<UInt8> first = Render();
  EXPECT_GT(Alpha(first), 0);
  EXPECT_EQ(first, Render());  // the same moment, the same picture
  HIViewSetNeedsDisplay(arrows_, false);
  NextStep();
  EXPECT_TRUE(HIViewGetNeedsDisplay(arrows_));
  const std::vector<UInt8> second = Render();
  EXPECT_NE(first, second);
  // A whole turn later the picture comes round again.
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(second, Render());
}

TEST_F(ChasingArrowsControlTest, HiddenArrowsAreLeftAloneAndDisposedOnesForgotten) {
  HIViewSetVisible(arrows_, false);
  HIViewSetNeedsDisplay(arrows_, false);
  NextStep();
  EXPECT_FALSE(HIViewGetNeedsDisplay(arrows_));
  HIViewSetVisible(arrows_, true);
  HIViewSetNeedsDisplay(arrows_, false);
  NextStep();
  EXPECT_TRUE(HIViewGetNeedsDisplay(arrows_));
  DisposeControl(arrows_);
  arrows_ = nullptr;
  NextStep();  // the timer meets a disposed control
  NextStep();
  // A second control starts the spinning again.
  Rect r = {40, 10, 56, 26};
  ASSERT_EQ(noErr, CreateChasingArrowsControl(window_, &r, &arrows_));
  HIViewSetNeedsDisplay(arrows_, false);
  NextStep();
  EXPECT_TRUE(HIViewGetNeedsDisplay(arrows_));
}

}  // namespace
