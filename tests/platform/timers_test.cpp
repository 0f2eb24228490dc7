// Event-loop timers and runs of the loop, under the virtual clock (no test
// waits on real time).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CarbonEvents.h"
#include "EventTargetInternal.h"
#include "HeadlessHost.h"

namespace {

class TimersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    start_ = GetCurrentEventTime();
  }
  void TearDown() override {
    for (EventLoopTimerRef t : timers_) RemoveEventLoopTimer(t);  // paramErr for those already gone
    HeadlessUseVirtualClock(false);
  }

  // Seconds since the test began, as seen by a callback.
  double Elapsed() const { return GetCurrentEventTime() - start_; }

  EventLoopTimerRef Install(double delay, double interval, EventLoopTimerProcPtr proc, void* data) {
    EventLoopTimerRef t = nullptr;
    EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), delay, interval, NewEventLoopTimerUPP(proc), data, &t), noErr);
    timers_.push_back(t);
    return t;
  }

  double start_ = 0;
  std::vector<EventLoopTimerRef> timers_;
};

// Records each firing as "name@elapsed".
struct Recorder {
  std::string name;
  std::vector<std::string>* log;
  int fired = 0;
  int removeAfter = 0;                      // removes itself at this firing
  EventLoopTimerRef removeOther = nullptr;  // removes this timer when it fires
};

double gStart = 0;

void Record(EventLoopTimerRef timer, void* data) {
  auto* r = static_cast<Recorder*>(data);
  ++r->fired;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s@%g", r->name.c_str(), GetCurrentEventTime() - gStart);
  r->log->push_back(buf);
  if (r->removeAfter == r->fired) {
    EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
  }
  if (r->removeOther) {
    EXPECT_EQ(RemoveEventLoopTimer(r->removeOther), noErr);
    r->removeOther = nullptr;
  }
}

using Log = std::vector<std::string>;

TEST_F(TimersTest, TimersFireAtTheirDueTimesInOrder) {
  gStart = start_;
  Log log;
  Recorder once{"once", &log};
  Recorder every{"every", &log};
  Install(1.0, 0, Record, &once);
  Install(0.5, 1.0, Record, &every);

  HeadlessAdvanceClock(0.75);
  EXPECT_EQ(log, (Log{"every@0.5"}));
  HeadlessAdvanceClock(2.0);
  EXPECT_EQ(log, (Log{"every@0.5", "once@1", "every@1.5", "every@2.5"}));
  EXPECT_DOUBLE_EQ(Elapsed(), 2.75);
  HeadlessAdvanceClock(10);
  EXPECT_EQ(once.fired, 1) << "an interval of 0 is one-shot";
  EXPECT_EQ(every.fired, 13);

  // The clock moves only when advanced; ticks read the same clock.
  UInt32 ticks = TickCount();
  double now = GetCurrentEventTime();
  EXPECT_EQ(GetCurrentEventTime(), now);
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(TickCount() - ticks, 60u);
}

TEST_F(TimersTest, ZeroDelayFiresAtTheNextTurnOfTheLoop) {
  gStart = start_;
  Log log;
  Recorder r{"now", &log};
  Install(0, 0, Record, &r);
  EXPECT_TRUE(log.empty()) << "never from inside the installation";
  EXPECT_EQ(RunCurrentEventLoop(kEventDurationNoWait), eventLoopTimedOutErr);
  EXPECT_EQ(log, (Log{"now@0"}));
}

TEST_F(TimersTest, NextFireTimeReschedulesAndForeverDisarms) {
  gStart = start_;
  Log log;
  Recorder r{"t", &log};
  EventLoopTimerRef t = Install(1.0, 1.0, Record, &r);

  ASSERT_EQ(SetEventLoopTimerNextFireTime(t, 3.0), noErr);
  HeadlessAdvanceClock(2.0);
  EXPECT_TRUE(log.empty());
  HeadlessAdvanceClock(1.5);
  EXPECT_EQ(log, (Log{"t@3"}));

  ASSERT_EQ(SetEventLoopTimerNextFireTime(t, kEventDurationForever), noErr);
  HeadlessAdvanceClock(100);
  EXPECT_EQ(r.fired, 1) << "disarmed until set again";

  ASSERT_EQ(SetEventLoopTimerNextFireTime(t, 0.25), noErr);
  HeadlessAdvanceClock(1.5);
  EXPECT_EQ(log, (Log{"t@3", "t@103.75", "t@104.75"}));

  // Installed unarmed, armed later; a one-shot timer can be armed again.
  Recorder lazy{"lazy", &log};
  EventLoopTimerRef l = Install(kEventDurationForever, 0, Record, &lazy);
  HeadlessAdvanceClock(10);
  EXPECT_EQ(lazy.fired, 0);
  SetEventLoopTimerNextFireTime(l, 1);
  HeadlessAdvanceClock(1);
  SetEventLoopTimerNextFireTime(l, 1);
  HeadlessAdvanceClock(1);
  EXPECT_EQ(lazy.fired, 2);
}

TEST_F(TimersTest, TimersMayBeRemovedFromCallbacks) {
  gStart = start_;
  Log log;
  Recorder self{"self", &log};
  self.removeAfter = 2;
  Install(1.0, 1.0, Record, &self);

  // Both due at 2: the killer, armed first, runs first and takes the victim
  // out of the same pass.
  Recorder killer{"killer", &log};
  Recorder victim{"victim", &log};
  Install(2.0, 0, Record, &killer);
  EventLoopTimerRef v = Install(2.0, 0, Record, &victim);
  killer.removeOther = v;

  HeadlessAdvanceClock(10);
  EXPECT_EQ(log, (Log{"self@1", "killer@2", "self@2"}));
  EXPECT_EQ(self.fired, 2);
  EXPECT_EQ(RemoveEventLoopTimer(v), paramErr);
}

struct Outer {
  Log* log;
  int firings = 0;
};

void NestedRun(EventLoopTimerRef, void* data) {
  auto* o = static_cast<Outer*>(data);
  if (++o->firings > 1) {
    o->log->push_back("outer again");
    return;
  }
  o->log->push_back("outer begins");
  OSStatus st = RunCurrentEventLoop(2.0);
  o->log->push_back("outer ends " + std::to_string(st));
}

void QuitNested(EventLoopTimerRef, void* data) {
  static_cast<Log*>(data)->push_back("quit");
  QuitEventLoop(GetCurrentEventLoop());
}

TEST_F(TimersTest, TimersFireInsideNestedRuns) {
  gStart = start_;
  Log log;
  Recorder inner{"inner", &log};
  Outer outer{&log};
  Install(1.0, 0.5, NestedRun, &outer);
  Install(1.5, 0.5, Record, &inner);

  HeadlessAdvanceClock(1.0);
  // The modal run advanced the clock by its timeout while the other timer
  // kept firing; the outer timer, due again meanwhile, is not fired inside
  // its own callback but once it has returned.
  EXPECT_EQ(log, (Log{"outer begins", "inner@1.5", "inner@2", "inner@2.5", "inner@3",
                      "outer ends " + std::to_string(eventLoopTimedOutErr), "outer again"}));
  EXPECT_DOUBLE_EQ(Elapsed(), 3.0);

  log.clear();
  Install(0.25, 0, QuitNested, &log);
  EXPECT_EQ(RunCurrentEventLoop(10), eventLoopQuitErr);
  EXPECT_EQ(log, (Log{"quit"}));
}

void QuitApp(EventLoopTimerRef, void* data) {
  ++*static_cast<int*>(data);
  QuitApplicationEventLoop();
}

TEST_F(TimersTest, ApplicationLoopRunsUntilQuit) {
  int quits = 0;
  Install(5.0, 0, QuitApp, &quits);
  RunApplicationEventLoop();
  EXPECT_EQ(quits, 1);
  EXPECT_DOUBLE_EQ(Elapsed(), 5.0);

  // A quit asked for before the loop runs ends the next run at once.
  QuitApplicationEventLoop();
  RunApplicationEventLoop();
  EXPECT_DOUBLE_EQ(Elapsed(), 5.0);
}

void IdleRecord(EventLoopTimerRef, EventLoopIdleTimerMessage message, void* data) {
  auto* log = static_cast<Log*>(data);
  const char* names[] = {"?", "started", "idling", "stopped"};
  log->push_back(std::string(names[message <= 3 ? message : 0]) + "@" +
                 std::to_string(std::lround((GetCurrentEventTime() - gStart) * 10)));
}

TEST_F(TimersTest, IdleTimersFollowUserInput) {
  gStart = start_;
  Log log;
  EventLoopTimerRef t = nullptr;
  ASSERT_EQ(InstallEventLoopIdleTimer(GetMainEventLoop(), 1.0, 0.5, NewEventLoopIdleTimerUPP(IdleRecord), &log, &t),
            noErr);
  timers_.push_back(t);
  HeadlessAdvanceClock(2.0);
  EXPECT_EQ(log, (Log{"started@10", "idling@15", "idling@20"}));

  // A key press stops it; the quiet time starts again.
  EventRef key = nullptr;
  CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &key);
  SendEventToEventTarget(key, GetApplicationEventTarget());
  ReleaseEvent(key);
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(log, (Log{"started@10", "idling@15", "idling@20", "stopped@20", "started@30"}));
}

void QuitSoon(EventLoopTimerRef, void* data) {
  ++*static_cast<int*>(data);
  QuitEventLoop(GetMainEventLoop());
}

TEST_F(TimersTest, RealClockRunsFireTimersToo) {
  HeadlessUseVirtualClock(false);
  int fired = 0;
  Install(0.01, 0, QuitSoon, &fired);
  EXPECT_EQ(RunCurrentEventLoop(kEventDurationForever), eventLoopQuitErr);
  EXPECT_EQ(fired, 1);
}

TEST_F(TimersTest, BadArgumentsAreRefused) {
  EventLoopTimerRef t = nullptr;
  EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 1, 0, nullptr, nullptr, &t), paramErr);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(InstallEventLoopTimer(reinterpret_cast<EventLoopRef>(&t), 1, 0, QuitSoon, nullptr, &t), paramErr);
  EXPECT_EQ(RemoveEventLoopTimer(nullptr), paramErr);
  EXPECT_EQ(SetEventLoopTimerNextFireTime(reinterpret_cast<EventLoopTimerRef>(&t), 1), paramErr);
  EXPECT_EQ(QuitEventLoop(nullptr), paramErr);
}

}  // namespace
