// The colour picker under the headless host: scripted answers, the prompt and
// the starting colour it was shown with, cancelling leaving the colour.
#include <gtest/gtest.h>

#include "ColorPicker.h"
#include "HeadlessHost.h"

namespace {

bool Same(const RGBColor& a, const RGBColor& b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

TEST(ColorPickerTest, AnswersFromTheQueueAndLogsEachRequest) {
  HeadlessClearColorAnswers();
  HeadlessClearColorLog();
  const RGBColor start = {0x1234, 0x5678, 0x9ABC}, picked = {0xFFFF, 0, 0x8000};
  const unsigned char prompt[] = "\x0APick Color";
  struct Case {
    bool queue;
    HeadlessColorAnswer answer;
    bool result;
    RGBColor out;
  } cases[] = {
      {true, {true, picked}, true, picked},
      {true, {false, picked}, false, start},  // cancelled: the answer is the colour it began with
      {false, {}, false, start},              // nothing queued: cancelled
  };
  for (const Case& c : cases) {
    if (c.queue) HeadlessQueueColorAnswer(c.answer);
    RGBColor out = {1, 2, 3};
    EXPECT_EQ(c.result, bool(GetColor(Point{-1, -1}, prompt, &start, &out)));
    EXPECT_TRUE(Same(c.out, out));
  }
  const auto log = HeadlessCopyColorLog();
  ASSERT_EQ(3u, log.size());
  EXPECT_EQ("Pick Color", log[0].prompt);
  EXPECT_TRUE(Same(start, log[0].input));
  EXPECT_TRUE(log[0].chosen);
  EXPECT_FALSE(log[1].chosen);
}

TEST(ColorPickerTest, InAndOutMayBeOneRecordAndBadArgumentsAreRefused) {
  HeadlessClearColorAnswers();
  RGBColor color = {10, 20, 30};
  HeadlessQueueColorAnswer({false, {0, 0, 0}});
  EXPECT_FALSE(GetColor(Point{0, 0}, nullptr, &color, &color));
  EXPECT_TRUE(Same(RGBColor{10, 20, 30}, color));
  HeadlessQueueColorAnswer({true, {7, 8, 9}});
  EXPECT_TRUE(GetColor(Point{0, 0}, nullptr, &color, &color));
  EXPECT_TRUE(Same(RGBColor{7, 8, 9}, color));
  EXPECT_FALSE(GetColor(Point{0, 0}, nullptr, &color, nullptr));
  // No starting colour: black.
  HeadlessClearColorLog();
  EXPECT_FALSE(GetColor(Point{0, 0}, nullptr, nullptr, &color));
  EXPECT_TRUE(Same(RGBColor{0, 0, 0}, color));
  EXPECT_EQ("", HeadlessCopyColorLog().at(0).prompt);
}

}  // namespace
