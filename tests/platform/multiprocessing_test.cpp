// Tasks, queues, cooperative stops and remote calls, with real threads. No
// test sleeps: waits are on queues (bounded generously) or on the main loop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CarbonEvents.h"
#include "EventTargetInternal.h"
#include "HeadlessHost.h"
#include "Multiprocessing.h"

namespace {

constexpr Duration kGenerous = 60 * 1000;  // one minute, in milliseconds

intptr_t Word(void* p) { return reinterpret_cast<intptr_t>(p); }
void* AsWord(intptr_t v) { return reinterpret_cast<void*>(v); }

// A task created with a fresh notification queue.
struct Started {
  MPQueueID queue = nullptr;
  MPTaskID task = nullptr;

  Started(TaskProc entry, void* parameter) {
    EXPECT_EQ(MPCreateQueue(&queue), noErr);
    EXPECT_EQ(MPCreateTask(entry, parameter, 0, queue, AsWord(11), AsWord(22), 0, &task), noErr);
  }
  ~Started() { MPDeleteQueue(queue); }

  // Waits for the termination notice and gives its status.
  OSStatus WaitEnd() {
    void *p1 = nullptr, *p2 = nullptr, *p3 = nullptr;
    EXPECT_EQ(MPWaitOnQueue(queue, &p1, &p2, &p3, kGenerous), noErr);
    EXPECT_EQ(Word(p1), 11);
    EXPECT_EQ(Word(p2), 22);
    return OSStatus(Word(p3));
  }
};

TEST(MultiprocessingQueues, DeliverInOrderTimeOutAndRefuseStaleIDs) {
  MPQueueID q = nullptr;
  ASSERT_EQ(MPCreateQueue(&q), noErr);
  EXPECT_EQ(MPNotifyQueue(q, AsWord(1), AsWord(2), AsWord(3)), noErr);
  EXPECT_EQ(MPNotifyQueue(q, AsWord(4), nullptr, nullptr), noErr);
  void *a = nullptr, *b = nullptr, *c = nullptr;
  EXPECT_EQ(MPWaitOnQueue(q, &a, &b, &c, kDurationImmediate), noErr);
  EXPECT_EQ(Word(a) * 100 + Word(b) * 10 + Word(c), 123);
  EXPECT_EQ(MPWaitOnQueue(q, &a, nullptr, nullptr, kDurationImmediate), noErr);
  EXPECT_EQ(Word(a), 4);
  EXPECT_EQ(MPWaitOnQueue(q, &a, &b, &c, kDurationImmediate), kMPTimeoutErr);
  EXPECT_EQ(MPWaitOnQueue(q, &a, &b, &c, 2 * kDurationMillisecond), kMPTimeoutErr);
  EXPECT_EQ(MPWaitOnQueue(q, &a, &b, &c, -50 * kDurationMicrosecond), kMPTimeoutErr);

  EXPECT_EQ(MPDeleteQueue(q), noErr);
  EXPECT_EQ(MPDeleteQueue(q), kMPInvalidIDErr);
  EXPECT_EQ(MPNotifyQueue(q, nullptr, nullptr, nullptr), kMPInvalidIDErr);
  EXPECT_EQ(MPWaitOnQueue(q, &a, &b, &c, kDurationImmediate), kMPInvalidIDErr);
  EXPECT_EQ(MPWaitOnQueue(reinterpret_cast<MPQueueID>(0xdeadbeef), &a, &b, &c, 0), kMPInvalidIDErr);
  EXPECT_EQ(MPCreateQueue(nullptr), paramErr);
}

TEST(MultiprocessingQueues, DeletingWakesAWaiterOnAnotherThread) {
  MPQueueID q = nullptr, ready = nullptr;
  ASSERT_EQ(MPCreateQueue(&q), noErr);
  ASSERT_EQ(MPCreateQueue(&ready), noErr);
  std::atomic<OSStatus> seen{1};
  std::thread waiter([&] {
    MPNotifyQueue(ready, nullptr, nullptr, nullptr);
    seen = MPWaitOnQueue(q, nullptr, nullptr, nullptr, kDurationForever);
  });
  ASSERT_EQ(MPWaitOnQueue(ready, nullptr, nullptr, nullptr, kGenerous), noErr);
  // Whether the waiter is already inside the wait or not, it sees the end.
  MPDeleteQueue(q);
  waiter.join();
  EXPECT_TRUE(seen == kMPDeletedErr || seen == kMPInvalidIDErr) << seen;
  MPDeleteQueue(ready);
}

struct TaskProbe {
  std::atomic<bool> onOtherThread{false};
  std::atomic<bool> sawOwnID{false};
  std::atomic<bool> preemptive{false};
  MPTaskID* id = nullptr;
  MPQueueID go = nullptr;
};

OSStatus ProbeEntry(void* parameter) {
  auto* probe = static_cast<TaskProbe*>(parameter);
  probe->onOtherThread = !EventCoreOnMainThread();
  probe->preemptive = MPTaskIsPreemptive(nullptr);
  MPWaitOnQueue(probe->go, nullptr, nullptr, nullptr, kGenerous);  // *id is written by now
  probe->sawOwnID = MPCurrentTaskID() == *probe->id;
  return 42;
}

TEST(MultiprocessingTasks, RunOnTheirOwnThreadAndReportTheirEnd) {
  TaskProbe probe;
  MPTaskID id = nullptr;
  probe.id = &id;
  ASSERT_EQ(MPCreateQueue(&probe.go), noErr);
  Started t(ProbeEntry, &probe);
  id = t.task;
  EXPECT_TRUE(MPTaskIsPreemptive(t.task));
  MPNotifyQueue(probe.go, nullptr, nullptr, nullptr);
  EXPECT_EQ(t.WaitEnd(), 42);
  EXPECT_TRUE(probe.onOtherThread);
  EXPECT_TRUE(probe.sawOwnID);
  EXPECT_TRUE(probe.preemptive);
  // An ended task is gone; the main thread is no task.
  EXPECT_FALSE(MPTaskIsPreemptive(t.task));
  EXPECT_EQ(MPTerminateTask(t.task, 0), kMPInvalidIDErr);
  EXPECT_EQ(MPCurrentTaskID(), nullptr);
  EXPECT_FALSE(MPTaskIsPreemptive(nullptr));
  EXPECT_FALSE(MPTaskShouldStop());
  MPExit(5);  // refused outside a task: returns
  MPDeleteQueue(probe.go);
}

OSStatus ReturnZero(void*) { return noErr; }

TEST(MultiprocessingTasks, CreationChecksItsArguments) {
  MPTaskID task = reinterpret_cast<MPTaskID>(1);
  EXPECT_EQ(MPCreateTask(nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, &task), paramErr);
  EXPECT_EQ(task, nullptr);
  MPQueueID gone = nullptr;
  MPCreateQueue(&gone);
  MPDeleteQueue(gone);
  EXPECT_EQ(MPCreateTask(ReturnZero, nullptr, 0, gone, nullptr, nullptr, 0, &task), kMPInvalidIDErr);
  // An explicit stack size is honoured (rounded up to what the system allows).
  Started t(ReturnZero, nullptr);
  MPQueueID q = nullptr;
  MPCreateQueue(&q);
  ASSERT_EQ(MPCreateTask(ReturnZero, nullptr, 1000, q, AsWord(1), nullptr, 0, &task), noErr);
  void* p1 = nullptr;
  EXPECT_EQ(MPWaitOnQueue(q, &p1, nullptr, nullptr, kGenerous), noErr);
  EXPECT_EQ(Word(p1), 1);
  EXPECT_EQ(t.WaitEnd(), noErr);
  MPDeleteQueue(q);
}

// --- Cooperative stops ---------------------------------------------------------

struct StopProbe {
  MPQueueID started = nullptr;
  MPQueueID never = nullptr;  // nobody writes to it
  std::atomic<bool> trailing{false};
  std::atomic<bool> remoteRan{false};
  std::atomic<bool> destructorRan{false};
};

struct Unwound {
  StopProbe* probe;
  ~Unwound() { probe->destructorRan = true; }
};

OSStatus BlockOnQueue(void* parameter) {
  auto* probe = static_cast<StopProbe*>(parameter);
  Unwound guard{probe};
  MPNotifyQueue(probe->started, nullptr, nullptr, nullptr);
  MPWaitOnQueue(probe->never, nullptr, nullptr, nullptr, kDurationForever);
  probe->trailing = true;
  return noErr;
}

OSStatus SpinUntilAsked(void* parameter) {
  auto* probe = static_cast<StopProbe*>(parameter);
  MPNotifyQueue(probe->started, nullptr, nullptr, nullptr);
  while (!MPTaskShouldStop()) MPYield();
  return 99;  // replaced by the stop's status
}

void* MarkRemote(void* parameter) {
  static_cast<StopProbe*>(parameter)->remoteRan = true;
  return nullptr;
}

OSStatus CallRemoteThenContinue(void* parameter) {
  auto* probe = static_cast<StopProbe*>(parameter);
  MPNotifyQueue(probe->started, nullptr, nullptr, nullptr);
  MPRemoteCall(MarkRemote, probe, kMPOwningProcessRemoteContext);
  probe->trailing = true;
  return noErr;
}

class MultiprocessingStop : public ::testing::Test {
 protected:
  void SetUp() override {
    MPCreateQueue(&probe.started);
    MPCreateQueue(&probe.never);
  }
  void TearDown() override {
    MPDeleteQueue(probe.started);
    MPDeleteQueue(probe.never);
  }
  void AwaitStart() { ASSERT_EQ(MPWaitOnQueue(probe.started, nullptr, nullptr, nullptr, kGenerous), noErr); }
  StopProbe probe;
};

TEST_F(MultiprocessingStop, AWaitOnAQueueIsACancellationPoint) {
  Started t(BlockOnQueue, &probe);
  AwaitStart();
  EXPECT_EQ(MPTerminateTask(t.task, 7), noErr);
  EXPECT_EQ(t.WaitEnd(), 7);
  EXPECT_FALSE(probe.trailing);
  EXPECT_TRUE(probe.destructorRan);  // the stack was unwound
}

TEST_F(MultiprocessingStop, ALongComputationChecksTheFlag) {
  Started t(SpinUntilAsked, &probe);
  AwaitStart();
  EXPECT_EQ(MPTerminateTask(t.task, -3), noErr);
  EXPECT_EQ(t.WaitEnd(), -3);
}

TEST_F(MultiprocessingStop, ARemoteCallOfAStoppedTaskDoesNotRunEvenWhileTheMainThreadWaits) {
  // The main thread does not service the call before the stop, then waits on
  // the task's end, a wait that runs remote calls: the stopped task's call must
  // not be among them.
  Started t(CallRemoteThenContinue, &probe);
  AwaitStart();
  EXPECT_EQ(MPTerminateTask(t.task, 1), noErr);
  EXPECT_EQ(t.WaitEnd(), 1);
  EXPECT_FALSE(probe.remoteRan);
  EXPECT_FALSE(probe.trailing);
}

// --- Remote calls ---------------------------------------------------------------

struct RemoteProbe {
  std::atomic<int> ranOnMain{0};
  std::atomic<int> ranElsewhere{0};
  int value = 0;        // written on the main thread, read by the task after the call
  int seenByTask = -1;  // read back by the test after the task's end
  int quitHow = 0;      // 1 application loop, 2 current loop, 0 nothing
};

void* OnMain(void* parameter) {
  auto* probe = static_cast<RemoteProbe*>(parameter);
  (EventCoreOnMainThread() ? probe->ranOnMain : probe->ranElsewhere)++;
  probe->value = 314;
  if (probe->quitHow == 1) QuitApplicationEventLoop();
  if (probe->quitHow == 2) QuitEventLoop(GetCurrentEventLoop());
  return AsWord(77);
}

OSStatus CallOnce(void* parameter) {
  auto* probe = static_cast<RemoteProbe*>(parameter);
  void* result = MPRemoteCall(OnMain, probe, kMPOwningProcessRemoteContext);
  probe->seenByTask = probe->value;
  return OSStatus(Word(result));
}

TEST(MultiprocessingRemote, TheApplicationLoopRunsTheCallAndTheTaskSeesItsEffects) {
  RemoteProbe probe;
  probe.quitHow = 1;
  Started t(CallOnce, &probe);
  RunApplicationEventLoop();
  EXPECT_EQ(t.WaitEnd(), 77);
  EXPECT_EQ(probe.ranOnMain, 1);
  EXPECT_EQ(probe.ranElsewhere, 0);
  EXPECT_EQ(probe.seenByTask, 314);
}

TEST(MultiprocessingRemote, ACurrentLoopRunsIt) {
  RemoteProbe probe;
  probe.quitHow = 2;
  Started t(CallOnce, &probe);
  EXPECT_EQ(RunCurrentEventLoop(kEventDurationForever), eventLoopQuitErr);
  EXPECT_EQ(t.WaitEnd(), 77);
  EXPECT_EQ(probe.ranOnMain, 1);
}

TEST(MultiprocessingRemote, AMainThreadWaitingOnAQueueRunsIt) {
  RemoteProbe probe;
  Started t(CallOnce, &probe);
  EXPECT_EQ(t.WaitEnd(), 77);  // the wait itself serviced the call
  EXPECT_EQ(probe.ranOnMain, 1);
  EXPECT_EQ(probe.seenByTask, 314);
}

TEST(MultiprocessingRemote, TheHeadlessClockAdvanceRunsIt) {
  RemoteProbe probe;
  Started t(CallOnce, &probe);
  // The call arrives whenever the task gets there; each advance services
  // what is pending.
  for (long i = 0; i < 100000000 && probe.ranOnMain == 0; ++i) {
    HeadlessAdvanceClock(0);
    MPYield();
  }
  HeadlessUseVirtualClock(false);
  EXPECT_EQ(t.WaitEnd(), 77);
  EXPECT_EQ(probe.ranOnMain, 1);
}

// A remote call that runs a nested loop; a second task's call quits it.
struct Nested {
  RemoteProbe inner;
  MPQueueID innerStart = nullptr;
  std::atomic<bool> nestedReturned{false};
};

void* RunNestedLoop(void* parameter) {
  auto* nested = static_cast<Nested*>(parameter);
  Started second(CallOnce, &nested->inner);  // its call must run inside this nested loop
  nested->nestedReturned = RunCurrentEventLoop(kEventDurationForever) == eventLoopQuitErr;
  second.WaitEnd();
  QuitApplicationEventLoop();
  return nullptr;
}

OSStatus CallNested(void* parameter) {
  MPRemoteCall(RunNestedLoop, parameter, kMPOwningProcessRemoteContext);
  return noErr;
}

TEST(MultiprocessingRemote, NestedLoopsInsideARemoteCallServiceOtherCalls) {
  Nested nested;
  nested.inner.quitHow = 2;
  Started first(CallNested, &nested);
  RunApplicationEventLoop();
  EXPECT_EQ(first.WaitEnd(), noErr);
  EXPECT_TRUE(nested.nestedReturned);
  EXPECT_EQ(nested.inner.ranOnMain, 1);
}

TEST(MultiprocessingRemote, CalledOnTheMainThreadItRunsAtOnce) {
  RemoteProbe probe;
  EXPECT_EQ(Word(MPRemoteCall(OnMain, &probe, kMPOwningProcessRemoteContext)), 77);
  EXPECT_EQ(probe.ranOnMain, 1);
  EXPECT_EQ(MPRemoteCall(nullptr, nullptr, kMPOwningProcessRemoteContext), nullptr);
}

}  // namespace
