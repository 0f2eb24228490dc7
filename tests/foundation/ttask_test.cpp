// TTask with real threads: self-release, remote calls, and stops from every
// place a stop can come from. Waits are on queues; a main thread waiting on a
// queue runs the remote calls that tasks make meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TTaskUnit.h"

namespace {

constexpr Duration kGenerous = 60 * 1000;  // milliseconds

std::thread::id gMainThread;

// What the tasks of one test report; the tasks themselves are freed by then.
struct Log {
  MPQueueID events = nullptr;  // one message per noteworthy step
  std::atomic<int> releases{0};
  std::atomic<int> remoteCalls{0};
  std::atomic<int> lastSelector{0};
  std::atomic<bool> remoteOnMain{false};
  std::atomic<bool> trailing{false};
  MPQueueID releasedQueue = nullptr;

  Log() { MPCreateQueue(&events); }
  ~Log() { MPDeleteQueue(events); }

  void Note(intptr_t what) { MPNotifyQueue(events, reinterpret_cast<void*>(what), nullptr, nullptr); }
  // Waits for the next step (running remote calls meanwhile) and names it.
  intptr_t Next() {
    void* what = nullptr;
    EXPECT_EQ(MPWaitOnQueue(events, &what, nullptr, nullptr, kGenerous), noErr);
    return reinterpret_cast<intptr_t>(what);
  }
};

enum Step : intptr_t { kStarted = 1, kAfterRemote, kReleased };

enum class Plan {
  kNothing,           // Run is empty
  kRemote3,           // CallRemote(3), then report what it saw
  kSpinThenRemote,    // spin until asked to stop, then CallRemote(1)
  kRemoteAtOnce,      // CallRemote(1) right away
  kStopFromRemote,    // CallRemote(2), whose procedure stops the task
  kStopFromRun,       // Stop on itself, then CallRemote(1)
};

class ProbeTask : public TTask {
 public:
  ProbeTask(Log* log, Plan plan) : log_(log), plan_(plan) {}

  void Run() override {
    log_->Note(kStarted);
    switch (plan_) {
      case Plan::kNothing:
        return;
      case Plan::kRemote3:
        CallRemote(3);
        seenAfterRemote_ = effect_;
        log_->trailing = seenAfterRemote_ == 3 * 7;
        log_->Note(kAfterRemote);
        return;
      case Plan::kSpinThenRemote:
        while (!MPTaskShouldStop()) MPYield();
        CallRemote(1);
        break;
      case Plan::kRemoteAtOnce:
        CallRemote(1);
        break;
      case Plan::kStopFromRemote:
        CallRemote(2);
        break;
      case Plan::kStopFromRun:
        Stop();
        CallRemote(1);
        break;
    }
    log_->trailing = true;  // never reached by a stopped task
  }

  void RemoteProcedure(SInt16 selector) override {
    log_->remoteCalls++;
    log_->lastSelector = selector;
    log_->remoteOnMain = std::this_thread::get_id() == gMainThread;
    effect_ = selector * 7;
    if (selector == 2) Stop();  // cannot wait here; the task ends when this returns
  }

  void Release() override {
    log_->releases++;
    log_->releasedQueue = fTerminationQueue;
    Log* log = log_;
    TTask::Release();
    log->Note(kReleased);
  }

 private:
  Log* log_;
  Plan plan_;
  int effect_ = 0;
  int seenAfterRemote_ = 0;
};

class TTaskTest : public ::testing::Test {
 protected:
  void SetUp() override { gMainThread = std::this_thread::get_id(); }

  ProbeTask* StartTask(Plan plan) {
    auto* task = new ProbeTask(&log, plan);
    task->Start();
    EXPECT_EQ(Err, noErr);
    return task;
  }

  Log log;
};

TEST_F(TTaskTest, AnEmptyRunEndsAndFreesItselfWithItsQueue) {
  StartTask(Plan::kNothing);
  EXPECT_EQ(log.Next(), kStarted);
  EXPECT_EQ(log.Next(), kReleased);
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(MPNotifyQueue(log.releasedQueue, nullptr, nullptr, nullptr), kMPInvalidIDErr);
}

TEST_F(TTaskTest, CallRemoteRunsOnTheMainThreadAndItsEffectsAreSeenAfterwards) {
  StartTask(Plan::kRemote3);
  EXPECT_EQ(log.Next(), kStarted);
  EXPECT_EQ(log.Next(), kAfterRemote);  // this wait ran the remote call
  EXPECT_EQ(log.Next(), kReleased);
  EXPECT_EQ(log.remoteCalls, 1);
  EXPECT_EQ(log.lastSelector, 3);
  EXPECT_TRUE(log.remoteOnMain);
  EXPECT_TRUE(log.trailing) << "the task saw the remote procedure's effect";
  EXPECT_EQ(log.releases, 1);
}

TEST_F(TTaskTest, StopEndsALongRunAtItsNextCancellationPointAndReleasesOnce) {
  ProbeTask* task = StartTask(Plan::kSpinThenRemote);
  EXPECT_EQ(log.Next(), kStarted);
  task->Stop();  // returns after the end
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(log.Next(), kReleased);
  EXPECT_EQ(log.remoteCalls, 0);
  EXPECT_FALSE(log.trailing);
}

TEST_F(TTaskTest, StopWhileTheTaskWaitsInCallRemoteDoesNotDeadlock) {
  // The main thread waits in Stop for a task that waits for the main thread:
  // the call is refused and the task ends there.
  ProbeTask* task = StartTask(Plan::kRemoteAtOnce);
  EXPECT_EQ(log.Next(), kStarted);
  task->Stop();
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(log.remoteCalls, 0);
  EXPECT_FALSE(log.trailing);
}

TEST_F(TTaskTest, StopFromTheTasksOwnRemoteProcedureLetsTheTaskReleaseItself) {
  StartTask(Plan::kStopFromRemote);
  EXPECT_EQ(log.Next(), kStarted);
  EXPECT_EQ(log.Next(), kReleased);
  EXPECT_EQ(log.remoteCalls, 1);
  EXPECT_EQ(log.releases, 1);
  EXPECT_FALSE(log.trailing);
}

TEST_F(TTaskTest, StopFromItsOwnRunEndsAtTheNextCancellationPoint) {
  StartTask(Plan::kStopFromRun);
  EXPECT_EQ(log.Next(), kStarted);
  EXPECT_EQ(log.Next(), kReleased);
  EXPECT_EQ(log.remoteCalls, 0);
  EXPECT_EQ(log.releases, 1);
  EXPECT_FALSE(log.trailing);
}

// Shared services used from several tasks at once: interned constant
// strings, CF strings and memory blocks.
class SharedServicesTask : public TTask {
 public:
  SharedServicesTask(MPQueueID done, CFStringRef* interned) : done_(done), interned_(interned) {}
  void Run() override {
    bool ok = true;
    for (int i = 0; i < 2000 && ok; ++i) {
      std::string text = "shared " + std::to_string(i % 50);
      CFStringRef a = CFSTR(text.c_str());
      ok = a == CFSTR(text.c_str());
      if (i % 50 == 7) ok = ok && a == *interned_;
      CFMutableStringRef m = CFStringCreateMutable(nullptr, 0);
      CFStringAppend(m, a);
      CFRetain(m);
      CFRelease(m);
      ok = ok && CFStringGetLength(m) == CFIndex(text.size());
      CFRelease(m);
      Ptr block = NewPtr(64 + i % 13);
      ok = ok && IsPointerAllocated(block) && GetPtrSize(block) == 64 + i % 13;
      ReleasePtr(block);
      ok = ok && block == nullptr;
    }
    MPNotifyQueue(done_, reinterpret_cast<void*>(ok ? 1 : 0), nullptr, nullptr);
  }

 private:
  MPQueueID done_;
  CFStringRef* interned_;
};

TEST(TTaskSharedServices, ConstantStringsCFAndMemoryBlocksAreSafeFromTasks) {
  MPQueueID done = nullptr;
  MPCreateQueue(&done);
  CFStringRef interned = CFSTR("shared 7");
  const int kTasks = 6;
  for (int i = 0; i < kTasks; ++i) {
    auto* task = new SharedServicesTask(done, &interned);
    task->Start();
    ASSERT_EQ(Err, noErr);
  }
  for (int i = 0; i < kTasks; ++i) {
    void* ok = nullptr;
    ASSERT_EQ(MPWaitOnQueue(done, &ok, nullptr, nullptr, kGenerous), noErr);
    EXPECT_EQ(ok, reinterpret_cast<void*>(1));
  }
  MPDeleteQueue(done);
}

}  // namespace
