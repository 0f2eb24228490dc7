// The Carbon event core: records and parameters, handler stacks, dispatch up
// the containment chain, re-entrancy, and the main queue.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "EventTargetInternal.h"
#include "HeadlessHost.h"

namespace {

constexpr EventClass kTestClass = 'tEST';
constexpr EventKind kTestKind = 1;
const EventTypeSpec kTestType = {kTestClass, kTestKind};

EventRef NewTestEvent(EventKind kind = kTestKind) {
  EventRef e = nullptr;
  EXPECT_EQ(CreateEvent(nullptr, kTestClass, kind, 0, kEventAttributeNone, &e), noErr);
  return e;
}

// A handler that logs its name and answers as told; optionally it does
// something first (call the next handler, remove itself, send more).
struct Probe;
using Action = OSStatus (*)(Probe*, EventHandlerCallRef, EventRef);

struct Probe {
  std::string name;
  OSStatus answer = eventNotHandledErr;
  std::vector<std::string>* log = nullptr;
  Action action = nullptr;
  EventHandlerRef ref = nullptr;
  void* extra = nullptr;
};

OSStatus ProbeHandler(EventHandlerCallRef call, EventRef event, void* data) {
  auto* p = static_cast<Probe*>(data);
  p->log->push_back(p->name);
  if (p->action) return p->action(p, call, event);
  return p->answer;
}

class EventsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& p : probes_)
      if (p->ref) RemoveEventHandler(p->ref);
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it) EventTargetDispose(*it);
  }

  Probe* Install(EventTargetRef target, const std::string& name, OSStatus answer = eventNotHandledErr,
                 Action action = nullptr, bool standard = false) {
    probes_.push_back(std::make_unique<Probe>());
    Probe* p = probes_.back().get();
    p->name = name;
    p->answer = answer;
    p->log = &log_;
    p->action = action;
    OSStatus st = standard ? InstallStandardEventHandler(target, ProbeHandler, 1, &kTestType, p, &p->ref)
                           : InstallEventHandler(target, NewEventHandlerUPP(ProbeHandler), 1, &kTestType, p, &p->ref);
    EXPECT_EQ(st, noErr);
    return p;
  }

  EventTargetRef NewTarget(EventTargetParentProc parent, void* owner) {
    EventTargetRef t = EventTargetCreate(owner, parent);
    targets_.push_back(t);
    return t;
  }

  OSStatus Send(EventTargetRef target, OptionBits options = 0) {
    EventRef e = NewTestEvent();
    OSStatus st = SendEventToEventTargetWithOptions(e, target, options);
    ReleaseEvent(e);
    return st;
  }

  std::vector<std::string> log_;
  std::vector<std::unique_ptr<Probe>> probes_;
  std::vector<EventTargetRef> targets_;
};

using Log = std::vector<std::string>;

// --- Records and parameters ----------------------------------------------------

TEST_F(EventsTest, RecordsCountReferencesAndKeepTheirFields) {
  EventRef e = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 12.5, kEventAttributeUserEvent, &e), noErr);
  EXPECT_EQ(GetEventClass(e), EventClass(kEventClassCommand));
  EXPECT_EQ(GetEventKind(e), EventKind(kEventCommandProcess));
  EXPECT_EQ(GetEventTime(e), 12.5);
  EXPECT_EQ(GetEventRetainCount(e), 1u);
  EXPECT_EQ(RetainEvent(e), e);
  EXPECT_EQ(GetEventRetainCount(e), 2u);
  ReleaseEvent(e);

  UInt32 v = 7;
  ASSERT_EQ(SetEventParameter(e, 'valu', typeUInt32, sizeof v, &v), noErr);
  EventRef copy = CopyEvent(e);
  v = 8;
  ASSERT_EQ(SetEventParameter(e, 'valu', typeUInt32, sizeof v, &v), noErr);  // replaces
  UInt32 got = 0;
  ASSERT_EQ(GetEventParameter(copy, 'valu', typeUInt32, nullptr, sizeof got, nullptr, &got), noErr);
  EXPECT_EQ(got, 7u);
  EXPECT_EQ(GetEventRetainCount(copy), 1u);
  ASSERT_EQ(GetEventParameter(e, 'valu', typeUInt32, nullptr, sizeof got, nullptr, &got), noErr);
  EXPECT_EQ(got, 8u);
  ReleaseEvent(copy);
  ReleaseEvent(e);

  // A time of 0 means "now".
  EventRef now = NewTestEvent();
  EXPECT_GT(GetEventTime(now), 0.0);
  ReleaseEvent(now);
  EXPECT_EQ(CreateEvent(nullptr, kTestClass, 1, 0, 0, nullptr), paramErr);
}

TEST_F(EventsTest, ParametersAreReadWholeOrNotAtAll) {
  EventRef e = NewTestEvent();
  HICommand cmd{};
  cmd.commandID = kHICommandSave;
  cmd.menu.menuItemIndex = 3;
  ASSERT_EQ(SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof cmd, &cmd), noErr);

  struct Case {
    const char* what;
    EventParamName name;
    EventParamType type;
    ByteCount bufferSize;
    OSStatus status;
  };
  const Case cases[] = {
      {"exact size", kEventParamDirectObject, typeHICommand, sizeof(HICommand), noErr},
      {"larger buffer", kEventParamDirectObject, typeHICommand, sizeof(HICommand) + 8, noErr},
      {"wild card", kEventParamDirectObject, typeWildCard, sizeof(HICommand), noErr},
      {"smaller buffer", kEventParamDirectObject, typeHICommand, sizeof(HICommand) - 1, paramErr},
      {"14-byte record", kEventParamDirectObject, typeHICommand, 14, paramErr},
      {"wrong type", kEventParamDirectObject, typeWindowRef, sizeof(HICommand), errAECoercionFail},
      {"missing", 'FREF', typeFSRef, 80, eventParameterNotFoundErr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UInt8 buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    EventParamType actualType = 0;
    ByteCount actualSize = 999;
    OSStatus st = GetEventParameter(e, c.name, c.type, &actualType, c.bufferSize, &actualSize, buffer);
    EXPECT_EQ(st, c.status);
    if (st == noErr) {
      EXPECT_EQ(actualType, EventParamType(typeHICommand));
      EXPECT_EQ(actualSize, sizeof(HICommand));
      HICommand got;
      std::memcpy(&got, buffer, sizeof got);
      EXPECT_EQ(got.commandID, UInt32(kHICommandSave));
      EXPECT_EQ(got.menu.menuItemIndex, 3);
      EXPECT_EQ(got.menu.menuRef, nullptr);
    } else {
      for (UInt8 b : buffer) ASSERT_EQ(b, 0xEE) << "nothing may be written on failure";
      EXPECT_EQ(actualSize, 999u);
    }
  }

  // Nil data measures.
  ByteCount size = 0;
  EventParamType type = 0;
  EXPECT_EQ(GetEventParameter(e, kEventParamDirectObject, typeWildCard, &type, 0, &size, nullptr), noErr);
  EXPECT_EQ(size, sizeof(HICommand));
  EXPECT_EQ(type, EventParamType(typeHICommand));

  // Parameters keep their bytes: the caller's record may change afterwards.
  cmd.commandID = kHICommandQuit;
  HICommand again{};
  ASSERT_EQ(GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof again, nullptr, &again), noErr);
  EXPECT_EQ(again.commandID, UInt32(kHICommandSave));

  EXPECT_EQ(SetEventParameter(e, 'nilp', typeUInt32, 4, nullptr), paramErr);
  EXPECT_EQ(SetEventParameter(e, 'empt', typeVoidPtr, 0, nullptr), noErr);
  EXPECT_EQ(GetEventParameter(e, 'empt', typeVoidPtr, nullptr, 0, &size, nullptr), noErr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(RemoveEventParameter(e, 'empt'), noErr);
  EXPECT_EQ(RemoveEventParameter(e, 'empt'), eventParameterNotFoundErr);
  EXPECT_EQ(GetEventParameter(nullptr, 'empt', typeVoidPtr, nullptr, 0, nullptr, nullptr), paramErr);
  ReleaseEvent(e);
}

TEST_F(EventsTest, PointsAndIntegersConvertBetweenTheirTypes) {
  EventRef e = NewTestEvent();
  CGPoint hp{10.7, -20.2};
  ASSERT_EQ(SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof hp, &hp), noErr);
  Point qp{};
  ASSERT_EQ(GetEventParameter(e, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof qp, nullptr, &qp), noErr);
  EXPECT_EQ(qp.h, 10);
  EXPECT_EQ(qp.v, -20);

  Point q2{5, 6};
  ASSERT_EQ(SetEventParameter(e, 'qdpt', typeQDPoint, sizeof q2, &q2), noErr);
  CGPoint h2{};
  ASSERT_EQ(GetEventParameter(e, 'qdpt', typeHIPoint, nullptr, sizeof h2, nullptr, &h2), noErr);
  EXPECT_EQ(h2.x, 6.0);
  EXPECT_EQ(h2.y, 5.0);

  SInt32 big = 70000, small = -3;
  ASSERT_EQ(SetEventParameter(e, 'big ', typeSInt32, sizeof big, &big), noErr);
  ASSERT_EQ(SetEventParameter(e, 'smal', typeSInt32, sizeof small, &small), noErr);
  SInt16 s16 = 0;
  UInt32 u32 = 0;
  EXPECT_EQ(GetEventParameter(e, 'big ', typeSInt16, nullptr, sizeof s16, nullptr, &s16), errAECoercionFail);
  EXPECT_EQ(GetEventParameter(e, 'smal', typeUInt32, nullptr, sizeof u32, nullptr, &u32), errAECoercionFail);
  EXPECT_EQ(GetEventParameter(e, 'smal', typeSInt16, nullptr, sizeof s16, nullptr, &s16), noErr);
  EXPECT_EQ(s16, -3);
  EXPECT_EQ(GetEventParameter(e, 'big ', typeUInt32, nullptr, sizeof u32, nullptr, &u32), noErr);
  EXPECT_EQ(u32, 70000u);

  // A malformed stored value converts to nothing.
  UInt8 three[3] = {1, 2, 3};
  ASSERT_EQ(SetEventParameter(e, 'bad ', typeSInt32, sizeof three, three), noErr);
  EXPECT_EQ(GetEventParameter(e, 'bad ', typeSInt16, nullptr, sizeof s16, nullptr, &s16), errAECoercionFail);
  ReleaseEvent(e);
}

// --- Dispatch ----------------------------------------------------------------

TEST_F(EventsTest, NewestHandlerRunsFirstAndNotHandledFallsThrough) {
  struct Case {
    OSStatus oldest, middle, newest;
    Log calls;
    OSStatus result;
  };
  const OSStatus N = eventNotHandledErr;
  const Case cases[] = {
      {N, N, N, {"C", "B", "A"}, N},
      {N, N, noErr, {"C"}, noErr},
      {N, -50, N, {"C", "B"}, -50},
      {7, N, N, {"C", "B", "A"}, 7},
  };
  for (const auto& c : cases) {
    EventTargetRef t = NewTarget(nullptr, nullptr);
    Install(t, "A", c.oldest);
    Install(t, "B", c.middle);
    Install(t, "C", c.newest);
    log_.clear();
    // Propagation off: the application target is not part of this case.
    EXPECT_EQ(Send(t, kEventTargetDontPropagate), c.result);
    EXPECT_EQ(log_, c.calls);
  }
}

OSStatus CallNextThenAnswer(Probe* p, EventHandlerCallRef call, EventRef event) {
  OSStatus next = CallNextEventHandler(call, event);
  p->log->push_back(p->name + " got " + std::to_string(next));
  return p->answer;
}

TEST_F(EventsTest, CallNextEventHandlerRunsTheRestOfTheChainOnce) {
  EventTargetRef t = NewTarget(nullptr, nullptr);  // parent: the application target
  Install(GetApplicationEventTarget(), "app", noErr);
  Install(t, "A", eventNotHandledErr);
  Install(t, "B", 3);
  Install(t, "C", 11, CallNextThenAnswer);
  EXPECT_EQ(Send(t), 11);
  EXPECT_EQ(log_, (Log{"C", "B", "C got 3"}));

  // B took it inside the call: answering not-handled afterwards does not
  // send the event on to A or the application.
  log_.clear();
  probes_[3]->answer = eventNotHandledErr;  // C
  EXPECT_EQ(Send(t), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"C", "B", "C got 3"}));

  // The chain below ran to its end (up to the application): nothing runs twice.
  log_.clear();
  probes_[2]->answer = eventNotHandledErr;  // B
  probes_[3]->answer = eventNotHandledErr;  // C
  EXPECT_EQ(Send(t), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"C", "B", "A", "app", "C got 0"}));

  // A stale call reference is refused.
  EventRef e = NewTestEvent();
  EXPECT_EQ(CallNextEventHandler(reinterpret_cast<EventHandlerCallRef>(probes_[0].get()), e), paramErr);
  ReleaseEvent(e);
}

TEST_F(EventsTest, SendToAllHandlersCallsEveryHandler) {
  EventTargetRef t = NewTarget(nullptr, nullptr);
  Install(GetApplicationEventTarget(), "app", noErr);
  Install(t, "A", eventNotHandledErr);
  Install(t, "B", 4);
  Install(t, "C", noErr);
  EXPECT_EQ(Send(t, kEventTargetSendToAllHandlers), noErr);
  EXPECT_EQ(log_, (Log{"C", "B", "A"}));  // taken: no climb to the application

  // Nobody took it: it climbs, unless told not to.
  probes_[2]->answer = eventNotHandledErr;
  probes_[3]->answer = eventNotHandledErr;
  log_.clear();
  EXPECT_EQ(Send(t, kEventTargetSendToAllHandlers), noErr);
  EXPECT_EQ(log_, (Log{"C", "B", "A", "app"}));
  log_.clear();
  EXPECT_EQ(Send(t, kEventTargetSendToAllHandlers | kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"C", "B", "A"}));
}

// A small containment tree: control -> superview -> window -> application.
struct Node {
  EventTargetRef target = nullptr;
  Node* parent = nullptr;  // nil: the application
};

EventTargetRef NodeParent(void* owner) {
  auto* n = static_cast<Node*>(owner);
  return n->parent ? n->parent->target : GetApplicationEventTarget();
}

TEST_F(EventsTest, UnhandledEventsClimbTheContainmentChain) {
  Node window, pane, control;
  pane.parent = &window;
  control.parent = &pane;
  window.target = NewTarget(NodeParent, &window);
  pane.target = NewTarget(NodeParent, &pane);
  control.target = NewTarget(NodeParent, &control);
  EXPECT_EQ(EventTargetGetOwner(control.target), &control);

  Install(control.target, "control std", eventNotHandledErr, nullptr, /*standard=*/true);
  Install(control.target, "control");
  Install(pane.target, "pane");
  Install(window.target, "window");
  Install(window.target, "window std", eventNotHandledErr, nullptr, true);
  Install(GetApplicationEventTarget(), "app");

  EXPECT_EQ(Send(control.target), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"control", "control std", "pane", "window", "window std", "app"}));

  log_.clear();
  EXPECT_EQ(Send(control.target, kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"control", "control std"}));

  // The window takes it: the application never sees it.
  log_.clear();
  probes_[3]->answer = noErr;
  EXPECT_EQ(Send(control.target), noErr);
  EXPECT_EQ(log_, (Log{"control", "control std", "pane", "window"}));

  // A parent function answering a disposed target ends the climb there.
  log_.clear();
  probes_[3]->answer = eventNotHandledErr;
  EventTargetDispose(pane.target);
  EXPECT_EQ(Send(control.target), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"control", "control std"}));
}

OSStatus RemoveSelfAndResend(Probe* p, EventHandlerCallRef, EventRef) {
  EXPECT_EQ(RemoveEventHandler(p->ref), noErr);
  p->ref = nullptr;
  auto* target = static_cast<EventTargetRef>(p->extra);
  EventRef again = NewTestEvent();
  OSStatus st = SendEventToEventTargetWithOptions(again, target, kEventTargetDontPropagate);
  ReleaseEvent(again);
  p->log->push_back("inner " + std::to_string(st));
  return eventNotHandledErr;
}

OSStatus RemoveOther(Probe* p, EventHandlerCallRef, EventRef) {
  auto* other = static_cast<Probe*>(p->extra);
  if (other->ref) {
    EXPECT_EQ(RemoveEventHandler(other->ref), noErr);
    other->ref = nullptr;
  }
  return eventNotHandledErr;
}

TEST_F(EventsTest, HandlersMayRemoveThemselvesAndSendDuringDispatch) {
  EventTargetRef t = NewTarget(nullptr, nullptr);
  Probe* a = Install(t, "A", 5);
  Probe* b = Install(t, "B", eventNotHandledErr, RemoveOther);
  Probe* c = Install(t, "C", eventNotHandledErr, RemoveSelfAndResend);
  b->extra = a;
  c->extra = t;
  // C removes itself and sends again (B removes A in the inner send); the
  // outer dispatch then goes on with B, and A is gone.
  EXPECT_EQ(Send(t, kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"C", "B", "inner -9874", "B"}));
  EXPECT_EQ(RemoveEventHandler(c->ref), paramErr);  // nil: already gone
  log_.clear();
  EXPECT_EQ(Send(t, kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"B"}));
}

OSStatus DisposeOwnTarget(Probe* p, EventHandlerCallRef, EventRef) {
  EventTargetDispose(static_cast<EventTargetRef>(p->extra));
  return eventNotHandledErr;
}

TEST_F(EventsTest, TargetDisposedDuringDispatchEndsTheWalkSafely) {
  EventTargetRef t = EventTargetCreate(nullptr, nullptr);
  Probe* older = Install(t, "older");
  Probe* killer = Install(t, "killer", eventNotHandledErr, DisposeOwnTarget);
  killer->extra = t;
  Install(GetApplicationEventTarget(), "app");
  EXPECT_EQ(Send(t), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"killer"}));
  EXPECT_FALSE(EventTargetIsValid(t));
  // Its handlers went with it.
  EXPECT_EQ(RemoveEventHandler(older->ref), paramErr);
  older->ref = killer->ref = nullptr;
  EXPECT_EQ(Send(t), paramErr);
  EventHandlerRef ref = nullptr;
  EXPECT_EQ(InstallEventHandler(t, ProbeHandler, 1, &kTestType, nullptr, &ref), paramErr);
}

TEST_F(EventsTest, TypesCanBeAddedAndRemovedLater) {
  EventTargetRef t = NewTarget(nullptr, nullptr);
  probes_.push_back(std::make_unique<Probe>());
  Probe* p = probes_.back().get();
  p->name = "late";
  p->log = &log_;
  p->answer = noErr;
  ASSERT_EQ(InstallEventHandler(t, ProbeHandler, 0, nullptr, p, &p->ref), noErr);
  EXPECT_EQ(Send(t, kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(GetEventHandlerTarget(p->ref), t);
  ASSERT_EQ(AddEventTypesToHandler(p->ref, 1, &kTestType), noErr);
  EXPECT_EQ(Send(t, kEventTargetDontPropagate), noErr);
  ASSERT_EQ(RemoveEventTypesFromHandler(p->ref, 1, &kTestType), noErr);
  EXPECT_EQ(Send(t, kEventTargetDontPropagate), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"late"}));
  EXPECT_EQ(AddEventTypesToHandler(p->ref, 1, nullptr), paramErr);
}

// --- The queue -----------------------------------------------------------------

TEST_F(EventsTest, PostedEventsAreDeliveredByTheLoop) {
  HeadlessUseVirtualClock(true);
  EventTargetRef t = NewTarget(nullptr, nullptr);
  Install(t, "target", noErr);
  Install(GetApplicationEventTarget(), "app", noErr);

  EventRef toTarget = NewTestEvent();
  ASSERT_EQ(SetEventParameterPostTarget(toTarget, t), noErr);
  EventRef toApp = NewTestEvent();
  EventRef urgent = NewTestEvent();
  ASSERT_EQ(SetEventParameterPostTarget(urgent, t), noErr);

  EventQueueRef q = GetMainEventQueue();
  EXPECT_EQ(GetCurrentEventQueue(), q);
  ASSERT_EQ(PostEventToQueue(q, toTarget, kEventPriorityStandard), noErr);
  ASSERT_EQ(PostEventToQueue(q, toApp, kEventPriorityLow), noErr);
  ASSERT_EQ(PostEventToQueue(q, urgent, kEventPriorityHigh), noErr);
  EXPECT_EQ(PostEventToQueue(q, toApp, kEventPriorityLow), eventAlreadyPostedErr);
  EXPECT_EQ(GetEventRetainCount(toTarget), 2u);  // the queue holds it
  EXPECT_TRUE(IsEventInQueue(q, toTarget));
  EXPECT_EQ(GetNumEventsInQueue(q), 3u);
  ReleaseEvent(toTarget);
  ReleaseEvent(toApp);
  ReleaseEvent(urgent);
  EXPECT_TRUE(log_.empty()) << "nothing is delivered before the loop runs";

  EXPECT_EQ(RunCurrentEventLoop(kEventDurationNoWait), eventLoopTimedOutErr);
  EXPECT_EQ(log_, (Log{"target", "target", "app"}));
  EXPECT_EQ(GetNumEventsInQueue(q), 0u);

  // A post target that went away before delivery receives nothing.
  log_.clear();
  EventTargetRef gone = EventTargetCreate(nullptr, nullptr);
  EventRef lost = NewTestEvent();
  SetEventParameterPostTarget(lost, gone);
  ASSERT_EQ(PostEventToQueue(q, lost, kEventPriorityStandard), noErr);
  ReleaseEvent(lost);
  EventTargetDispose(gone);
  HeadlessAdvanceClock(0);
  EXPECT_TRUE(log_.empty());

  // Removed before delivery.
  EventRef removed = NewTestEvent();
  ASSERT_EQ(PostEventToQueue(q, removed, kEventPriorityStandard), noErr);
  EXPECT_EQ(RemoveEventFromQueue(q, removed), noErr);
  EXPECT_EQ(RemoveEventFromQueue(q, removed), eventNotInQueueErr);
  EXPECT_EQ(GetEventRetainCount(removed), 1u);
  ReleaseEvent(removed);
  HeadlessAdvanceClock(0);
  EXPECT_TRUE(log_.empty());
  HeadlessUseVirtualClock(false);
}

OSStatus RecordThread(Probe* p, EventHandlerCallRef, EventRef) {
  *static_cast<std::thread::id*>(p->extra) = std::this_thread::get_id();
  return noErr;
}

TEST_F(EventsTest, EventsPostedFromAWorkerArriveOnTheMainThread) {
  std::thread::id seen;
  Probe* p = Install(GetApplicationEventTarget(), "app", noErr, RecordThread);
  p->extra = &seen;
  std::thread worker([] {
    EventRef e = NewTestEvent();
    EXPECT_EQ(PostEventToQueue(GetMainEventQueue(), e, kEventPriorityStandard), noErr);
    ReleaseEvent(e);
    // Handlers are the main thread's business.
    EventHandlerRef ref = nullptr;
    EXPECT_NE(InstallEventHandler(GetApplicationEventTarget(), ProbeHandler, 1, &kTestType, nullptr, &ref), noErr);
  });
  worker.join();
  HeadlessAdvanceClock(0);
  HeadlessUseVirtualClock(false);
  EXPECT_EQ(log_, (Log{"app"}));
  EXPECT_EQ(seen, std::this_thread::get_id());
}

TEST_F(EventsTest, TheApplicationTargetEndsTheChain) {
  // The application target is its own end: nothing above it.
  Install(GetApplicationEventTarget(), "app");
  EXPECT_EQ(Send(GetApplicationEventTarget()), eventNotHandledErr);
  EXPECT_EQ(Send(GetEventDispatcherTarget()), eventNotHandledErr);
  EXPECT_EQ(log_, (Log{"app", "app"}));
  EXPECT_EQ(SendEventToEventTarget(nullptr, GetApplicationEventTarget()), paramErr);
}

}  // namespace
