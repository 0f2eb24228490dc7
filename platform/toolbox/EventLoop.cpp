// The event loop: one GLib main loop on the default main context, the
// platform clock every timer reads, and the main event queue.
//
// A single GSource delivers posted events and fires due timers; it may
// recurse, so a modal run started from a handler or a timer keeps both going.
// With the virtual clock the source never waits on real time: a run moves the
// clock to the next due timer itself (up to its timeout).
#include <glib.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

#include "EventTargetInternal.h"
#include "EventsInternal.h"

struct __CEventQueue {
  int unused;
};
struct __CEventLoop {
  int unused;
};

namespace {

// --- Clock -------------------------------------------------------------------

std::atomic<bool> gVirtual{false};
std::atomic<double> gVirtualNow{0};
std::atomic<double> gRealOffset{0};  // keeps the clock continuous across switches

// QUORVEL_CLOCK_ORIGIN (seconds) starts the clock at a fixed time instead of
// the machine's uptime, so that a run's times do not depend on the machine.
double ReadClockOrigin() {
  const char* text = getenv("QUORVEL_CLOCK_ORIGIN");
  if (text == nullptr || *text == 0) return -1;
  char* end = nullptr;
  double origin = strtod(text, &end);
  return (end != nullptr && *end == 0 && std::isfinite(origin) && origin >= 0) ? origin : -1;
}

double Monotonic() {
  static const double origin = ReadClockOrigin();
  static const gint64 start = g_get_monotonic_time();
  if (origin < 0) return double(g_get_monotonic_time()) / 1e6;
  return origin + double(g_get_monotonic_time() - start) / 1e6;
}

// --- Queue -------------------------------------------------------------------

__CEventQueue gMainQueue;
__CEventLoop gMainLoop;

std::mutex gQueueLock;
std::deque<EventRef> gQueues[3];  // high, standard, low

int QueueIndex(EventPriority p) {
  if (p >= kEventPriorityHigh) return 0;
  if (p <= kEventPriorityLow) return 2;
  return 1;
}

size_t QueuedCount() {
  return gQueues[0].size() + gQueues[1].size() + gQueues[2].size();
}

EventRef PopQueued() {
  std::lock_guard<std::mutex> lock(gQueueLock);
  for (auto& q : gQueues) {
    if (!q.empty()) {
      EventRef e = q.front();
      q.pop_front();
      e->queued = false;
      return e;
    }
  }
  return nullptr;
}

// --- Loop source ---------------------------------------------------------------

// Two sources: the queued events come first, as the host's input does; the
// timers come after the host's drawing, so that work a timer does in
// pieces (a parse of a large file, a re-parse in slices) lets the windows
// draw between its pieces instead of holding them until it ends.
GSource* gSource = nullptr;
GSource* gTimerSource = nullptr;
std::once_flag gSourceOnce;
constexpr gint kTimerPriority = G_PRIORITY_HIGH_IDLE + 30;  // after drawing (HIGH_IDLE + 20)

gboolean EventsPrepare(GSource*, gint* timeout) {
  if (timeout) *timeout = -1;
  return EventQueueHasEvents();
}
gboolean EventsCheck(GSource*) { return EventQueueHasEvents(); }
gboolean EventsDispatch(GSource*, GSourceFunc, gpointer) {
  EventQueueDeliver();
  return G_SOURCE_CONTINUE;
}

bool SourceReady(gint* timeout) {
  if (timeout) *timeout = -1;
  double when;
  if (!TimersNextDue(&when)) return false;
  double now = PlatformClockNow();
  if (when <= now + kTimerSlack) return true;
  if (timeout && !gVirtual.load()) {
    double ms = std::ceil((when - now) * 1000.0);
    *timeout = ms > double(G_MAXINT) ? G_MAXINT : gint(ms);
  }
  return false;
}

gboolean SourcePrepare(GSource*, gint* timeout) { return SourceReady(timeout); }
gboolean SourceCheck(GSource*) { return SourceReady(nullptr); }
gboolean SourceDispatch(GSource*, GSourceFunc, gpointer) {
  TimersFireDue();
  return G_SOURCE_CONTINUE;
}

GSourceFuncs gSourceFuncs = {EventsPrepare, EventsCheck, EventsDispatch, nullptr, nullptr, nullptr};
GSourceFuncs gTimerSourceFuncs = {SourcePrepare, SourceCheck, SourceDispatch, nullptr, nullptr, nullptr};

// --- Runs ----------------------------------------------------------------------

struct Run {
  bool application = false;
  bool quit = false;
};

std::vector<Run*> gRuns;
bool gPendingApplicationQuit = false;

constexpr double kForever = std::numeric_limits<double>::infinity();

gboolean WakeOnce(gpointer flag) {
  *static_cast<bool*>(flag) = true;
  return G_SOURCE_REMOVE;
}

// Runs the loop until the run is asked to quit or the timeout passes.
OSStatus RunLoop(Run& run, EventTimeout timeout) {
  EventLoopEnsureSource();
  GMainContext* ctx = g_main_context_default();
  if (timeout == 0) {
    g_main_context_iteration(ctx, FALSE);
    return run.quit ? eventLoopQuitErr : eventLoopTimedOutErr;
  }
  const double deadline = timeout < 0 ? kForever : PlatformClockNow() + timeout;
  for (;;) {
    if (run.quit) return eventLoopQuitErr;
    if (gVirtual.load()) {
      if (g_main_context_pending(ctx)) {
        g_main_context_iteration(ctx, FALSE);
        continue;
      }
      if (PlatformClockNow() >= deadline) return eventLoopTimedOutErr;
      double next;
      if (TimersNextDue(&next) && next <= deadline + kTimerSlack) {
        PlatformClockAdvanceTo(next);
      } else if (deadline != kForever) {
        PlatformClockAdvanceTo(deadline);
      } else {
        g_main_context_iteration(ctx, TRUE);  // only other sources can wake it
      }
      continue;
    }
    double now = PlatformClockNow();
    if (now >= deadline) return eventLoopTimedOutErr;
    bool woke = false;
    guint wake = 0;
    if (deadline != kForever) {
      double ms = std::ceil((deadline - now) * 1000.0);
      wake = g_timeout_add_full(G_PRIORITY_DEFAULT, ms > double(G_MAXUINT) ? G_MAXUINT : guint(ms), WakeOnce,
                                &woke, nullptr);
    }
    g_main_context_iteration(ctx, TRUE);
    if (wake != 0 && !woke) g_source_remove(wake);
  }
}

}  // namespace

// --- Clock ---------------------------------------------------------------------

double PlatformClockNow() {
  return gVirtual.load() ? gVirtualNow.load() : Monotonic() + gRealOffset.load();
}

bool PlatformClockIsVirtual() { return gVirtual.load(); }

void PlatformClockSetVirtual(bool on) {
  if (on == gVirtual.load()) return;
  if (on) {
    gVirtualNow.store(Monotonic() + gRealOffset.load());
    gVirtual.store(true);
  } else {
    gRealOffset.store(gVirtualNow.load() - Monotonic());
    gVirtual.store(false);
  }
  EventLoopWakeUp();
}

void PlatformClockAdvanceTo(double when) {
  double now = gVirtualNow.load();
  while (when > now && !gVirtualNow.compare_exchange_weak(now, when)) {
  }
}

void PlatformClockAdvanceBy(double seconds) {
  if (!EventCoreCheckMainThread("HeadlessAdvanceClock")) return;
  PlatformClockSetVirtual(true);
  EventLoopEnsureSource();
  GMainContext* ctx = g_main_context_default();
  const double target = PlatformClockNow() + (seconds > 0 && std::isfinite(seconds) ? seconds : 0);
  for (;;) {
    while (g_main_context_pending(ctx)) g_main_context_iteration(ctx, FALSE);
    double next;
    if (TimersNextDue(&next) && next <= target + kTimerSlack) {
      PlatformClockAdvanceTo(next);
      continue;
    }
    if (PlatformClockNow() >= target) break;
    PlatformClockAdvanceTo(target);
  }
}

EventTime GetCurrentEventTime() { return PlatformClockNow(); }

UInt32 TickCount() {
  double t = PlatformClockNow() * 60.0;
  return t <= 0 ? 0 : UInt32(std::fmod(t, 4294967296.0));
}

void Microseconds(UnsignedWide* microTickCount) {
  if (microTickCount == nullptr) return;
  const double t = PlatformClockNow() * 1e6;
  const UInt64 us = t <= 0 ? 0 : UInt64(t);
  microTickCount->hi = UInt32(us >> 32);
  microTickCount->lo = UInt32(us);
}

// --- Source --------------------------------------------------------------------

void EventLoopEnsureSource() {
  std::call_once(gSourceOnce, [] {
    gSource = g_source_new(&gSourceFuncs, sizeof(GSource));
    g_source_set_can_recurse(gSource, TRUE);
    g_source_set_priority(gSource, G_PRIORITY_DEFAULT);
    g_source_set_name(gSource, "Quorvel events");
    g_source_attach(gSource, g_main_context_default());
    gTimerSource = g_source_new(&gTimerSourceFuncs, sizeof(GSource));
    g_source_set_can_recurse(gTimerSource, TRUE);
    g_source_set_priority(gTimerSource, kTimerPriority);
    g_source_set_name(gTimerSource, "Quorvel timers");
    g_source_attach(gTimerSource, g_main_context_default());
  });
}

void EventLoopWakeUp() {
  if (gSource != nullptr) g_main_context_wakeup(g_main_context_default());
}

// --- Queue ---------------------------------------------------------------------

bool EventQueueHasEvents() {
  std::lock_guard<std::mutex> lock(gQueueLock);
  return QueuedCount() != 0;
}

void EventQueueDeliver() {
  // Only what was queued when delivery began: events posted by handlers wait
  // for the next turn of the loop.
  size_t count;
  {
    std::lock_guard<std::mutex> lock(gQueueLock);
    count = QueuedCount();
  }
  for (size_t i = 0; i < count; ++i) {
    EventRef e = PopQueued();
    if (e == nullptr) break;
    EventTargetRef target = nullptr;
    if (GetEventParameter(e, kEventParamPostTarget, typeEventTargetRef, nullptr, sizeof target, nullptr, &target) !=
        noErr)
      target = GetApplicationEventTarget();
    // A post target that has gone away since takes nothing.
    if (EventTargetIsValid(target)) SendEventToEventTarget(e, target);
    ReleaseEvent(e);
  }
}

EventQueueRef GetMainEventQueue() { return &gMainQueue; }
EventQueueRef GetCurrentEventQueue() { return &gMainQueue; }

OSStatus PostEventToQueue(EventQueueRef inQueue, EventRef inEvent, EventPriority inPriority) {
  if (inQueue != &gMainQueue || inEvent == nullptr) return paramErr;
  EventLoopEnsureSource();
  {
    std::lock_guard<std::mutex> lock(gQueueLock);
    if (inEvent->queued) return eventAlreadyPostedErr;
    RetainEvent(inEvent);
    inEvent->queued = true;
    gQueues[QueueIndex(inPriority)].push_back(inEvent);
  }
  EventLoopWakeUp();
  return noErr;
}

OSStatus RemoveEventFromQueue(EventQueueRef inQueue, EventRef inEvent) {
  if (inQueue != &gMainQueue || inEvent == nullptr) return paramErr;
  {
    std::lock_guard<std::mutex> lock(gQueueLock);
    if (!inEvent->queued) return eventNotInQueueErr;
    for (auto& q : gQueues) {
      for (auto it = q.begin(); it != q.end(); ++it) {
        if (*it == inEvent) {
          q.erase(it);
          inEvent->queued = false;
          goto removed;
        }
      }
    }
    return eventNotInQueueErr;
  }
removed:
  ReleaseEvent(inEvent);
  return noErr;
}

Boolean IsEventInQueue(EventQueueRef inQueue, EventRef inEvent) {
  if (inQueue != &gMainQueue || inEvent == nullptr) return false;
  std::lock_guard<std::mutex> lock(gQueueLock);
  return inEvent->queued;
}

ItemCount GetNumEventsInQueue(EventQueueRef inQueue) {
  if (inQueue != &gMainQueue) return 0;
  std::lock_guard<std::mutex> lock(gQueueLock);
  return ItemCount(QueuedCount());
}

OSStatus FlushEventQueue(EventQueueRef inQueue) {
  if (inQueue != &gMainQueue) return paramErr;
  std::vector<EventRef> dropped;
  {
    std::lock_guard<std::mutex> lock(gQueueLock);
    for (auto& q : gQueues) {
      for (EventRef e : q) {
        e->queued = false;
        dropped.push_back(e);
      }
      q.clear();
    }
  }
  for (EventRef e : dropped) ReleaseEvent(e);
  return noErr;
}

OSStatus SetEventParameterPostTarget(EventRef inEvent, EventTargetRef inTarget) {
  return SetEventParameter(inEvent, kEventParamPostTarget, typeEventTargetRef, sizeof inTarget, &inTarget);
}

// --- Runs ----------------------------------------------------------------------

EventLoopRef GetMainEventLoop() { return &gMainLoop; }
EventLoopRef GetCurrentEventLoop() { return &gMainLoop; }

OSStatus RunCurrentEventLoop(EventTimeout inTimeout) {
  if (!EventCoreCheckMainThread("RunCurrentEventLoop")) return eventInternalErr;
  Run run;
  gRuns.push_back(&run);
  OSStatus status = RunLoop(run, inTimeout);
  gRuns.pop_back();
  return status;
}

OSStatus QuitEventLoop(EventLoopRef inEventLoop) {
  if (inEventLoop != &gMainLoop) return paramErr;
  if (!EventCoreCheckMainThread("QuitEventLoop")) return eventInternalErr;
  if (!gRuns.empty()) gRuns.back()->quit = true;
  EventLoopWakeUp();
  return noErr;
}

void RunApplicationEventLoop() {
  if (!EventCoreCheckMainThread("RunApplicationEventLoop")) return;
  // A quit asked for before the loop started ends it at once.
  if (gPendingApplicationQuit) {
    gPendingApplicationQuit = false;
    return;
  }
  Run run;
  run.application = true;
  gRuns.push_back(&run);
  while (!run.quit) RunLoop(run, kEventDurationForever);
  gRuns.pop_back();
}

void QuitApplicationEventLoop() {
  if (!EventCoreCheckMainThread("QuitApplicationEventLoop")) return;
  for (auto it = gRuns.rbegin(); it != gRuns.rend(); ++it) {
    if ((*it)->application) {
      (*it)->quit = true;
      EventLoopWakeUp();
      return;
    }
  }
  gPendingApplicationQuit = true;
}

void EventLoopNoteUserActivity() { TimersNoteUserActivity(); }
