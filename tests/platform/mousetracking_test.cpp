// Following the pointer: the headless steps as TrackMouseLocation answers
// them (results, local points, modifiers, time-outs while the pointer rests,
// timers firing meanwhile), and the theme cursors.
#include <gtest/gtest.h>

#include <vector>

#include "Appearance.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "MouseTracking.h"

namespace {

struct Answer {
  MouseTrackingResult result;
  SInt16 h, v;
  UInt32 modifiers;
};

Answer Next(GrafPtr port, EventTimeout timeout = kEventDurationForever) {
  Answer a{0, 0, 0, 0};
  Point p{0, 0};
  EXPECT_EQ(noErr, TrackMouseLocationWithOptions(port, 0, timeout, &p, &a.modifiers, &a.result));
  a.h = p.h;
  a.v = p.v;
  return a;
}

class MouseTrackingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    HeadlessClearMouseTrack();
    Rect bounds{100, 200, 300, 500};  // content at global (200, 100)
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
    ShowWindow(window);
  }
  void TearDown() override {
    HeadlessClearMouseTrack();
    DisposeWindow(window);
  }
  WindowRef window = nullptr;
};

TEST_F(MouseTrackingTest, StepsComeBackInThePortsCoordinatesUntilTheButtonGoesUp) {
  const UInt32 shift = 0x0200;
  HeadlessQueueMouseTrack({
      {window, {10, 20}, 0, 0, false},       // window coordinates
      {nullptr, {230, 150}, 0, 0, false},    // global: (30, 50) in the window
      {nullptr, {230, 150}, shift, 0, false},  // only the modifiers change
      {window, {40.7, 60.2}, shift, 0, true},
  });
  const GrafPtr port = GetWindowPort(window);
  const std::vector<Answer> expected = {
      {kMouseTrackingMouseDragged, 10, 20, 0},
      {kMouseTrackingMouseDragged, 30, 50, 0},
      {kMouseTrackingKeyModifiersChanged, 30, 50, shift},
      {kMouseTrackingMouseUp, 40, 60, shift},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    const Answer a = Next(port);
    EXPECT_EQ(expected[i].result, a.result) << i;
    EXPECT_EQ(expected[i].h, a.h) << i;
    EXPECT_EQ(expected[i].v, a.v) << i;
    EXPECT_EQ(expected[i].modifiers, a.modifiers) << i;
  }
  // Nothing more can come: the button counts as up where the pointer was.
  const Answer after = Next(port);
  EXPECT_EQ(kMouseTrackingMouseUp, after.result);
  EXPECT_EQ(40, after.h);
  EXPECT_EQ(60, after.v);

  // The plain call and a nil port (the current one) agree.
  HeadlessQueueMouseTrack({{window, {5, 6}, 0, 0, true}});
  SetPortWindowPort(window);
  Point p{0, 0};
  MouseTrackingResult result = 0;
  EXPECT_EQ(noErr, TrackMouseLocation(nullptr, &p, &result));
  EXPECT_EQ(kMouseTrackingMouseUp, result);
  EXPECT_EQ(5, p.h);
  EXPECT_EQ(6, p.v);
  EXPECT_EQ(paramErr, TrackMouseLocation(nullptr, nullptr, &result));
}

void CountTick(EventLoopTimerRef, void* data) { ++*static_cast<int*>(data); }

TEST_F(MouseTrackingTest, ARestingPointerTimesOutWhileTimersRun) {
  int ticks = 0;
  EventLoopTimerRef timer = nullptr;
  ASSERT_EQ(noErr, InstallEventLoopTimer(GetMainEventLoop(), 0.1, 0.1, CountTick, &ticks, &timer));
  HeadlessQueueMouseTrack({{window, {10, 10}, 0, 0, false}, {window, {10, 80}, 0, 0.5, true}});
  const GrafPtr port = GetWindowPort(window);
  EXPECT_EQ(kMouseTrackingMouseDragged, Next(port, 0.2).result);
  // The pointer rests half a second: time-outs at the last point, then the release.
  std::vector<MouseTrackingResult> results;
  for (;;) {
    const Answer a = Next(port, 0.2);
    results.push_back(a.result);
    if (a.result == kMouseTrackingTimedOut) {
      EXPECT_EQ(10, a.v);
    } else {
      EXPECT_EQ(80, a.v);
      break;
    }
  }
  EXPECT_EQ((std::vector<MouseTrackingResult>{kMouseTrackingTimedOut, kMouseTrackingTimedOut, kMouseTrackingMouseUp}),
            results);
  EXPECT_GE(ticks, 4);  // the loop ran while the pointer rested
  RemoveEventLoopTimer(timer);
}

TEST(ThemeCursor, TheLastCursorSetIsTheOneShown) {
  struct Case {
    ThemeCursor cursor;
    UInt32 step;
    OSStatus status;
    ThemeCursor shown;
    UInt32 shownStep;
  };
  const Case cases[] = {
      {kThemeIBeamCursor, 0, noErr, kThemeIBeamCursor, 0},
      {kThemeWatchCursor, 5, noErr, kThemeWatchCursor, 5},         // animated: the step counts
      {kThemeClosedHandCursor, 5, noErr, kThemeClosedHandCursor, 0},  // still: no step
      {kThemePoofCursor + 1, 0, themeBadCursorIndexErr, kThemeClosedHandCursor, 0},
      {0xFFFFFFFFu, 0, themeBadCursorIndexErr, kThemeClosedHandCursor, 0},
      {kThemeArrowCursor, 0, noErr, kThemeArrowCursor, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, SetAnimatedThemeCursor(c.cursor, c.step)) << c.cursor;
    EXPECT_EQ(c.shown, HeadlessCurrentThemeCursor()) << c.cursor;
    EXPECT_EQ(c.shownStep, HeadlessCurrentCursorStep()) << c.cursor;
  }
  EXPECT_EQ(noErr, SetThemeCursor(kThemePointingHandCursor));
  EXPECT_EQ(UInt32(kThemePointingHandCursor), HeadlessCurrentThemeCursor());
  SetThemeCursor(kThemeArrowCursor);
}

}  // namespace
