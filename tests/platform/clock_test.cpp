// Microseconds: the platform clock in microseconds, 64 bits in two halves.
#include <gtest/gtest.h>

#include "CarbonEvents.h"
#include "HeadlessHost.h"

namespace {

UInt64 Now() {
  UnsignedWide w{};
  Microseconds(&w);
  return UInt64(w.hi) << 32 | w.lo;
}

TEST(MicrosecondsTest, FollowsTheVirtualClockExactly) {
  HeadlessUseVirtualClock(true);
  const UInt64 before = Now();
  const UInt32 ticks = TickCount();
  HeadlessAdvanceClock(1.25);
  const UInt64 after = Now();
  // Rounding of the seconds may cost one microsecond either way.
  EXPECT_NEAR(double(after - before), 1250000.0, 1.0);
  EXPECT_EQ(TickCount() - ticks, 75u);
  // The low halves alone give the difference for spans below 71 minutes.
  EXPECT_NEAR(double(UInt32(UInt32(after) - UInt32(before))), 1250000.0, 1.0);
  HeadlessUseVirtualClock(false);
}

TEST(MicrosecondsTest, RealClockAgreesWithEventTimeAndNeverGoesBack) {
  HeadlessUseVirtualClock(false);
  const EventTime t0 = GetCurrentEventTime();
  const UInt64 a = Now();
  const UInt64 b = Now();
  const EventTime t1 = GetCurrentEventTime();
  EXPECT_LE(a, b);
  EXPECT_GE(double(a), t0 * 1e6 - 1);
  EXPECT_LE(double(b), t1 * 1e6 + 1);
  Microseconds(nullptr);  // no crash
}

}  // namespace
