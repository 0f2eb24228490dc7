// Event-loop timers on the platform clock.
//
// Armed timers sit in one map ordered by (fire time, arming sequence). A
// timer is re-armed before its callback runs, so the callback may re-arm it
// differently, remove it, or run a nested loop; a firing timer is never
// fired again from inside its own callback. Records are counted so that a
// timer removed while it fires lives until the callback returns.
#include <cmath>
#include <map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "EventTargetInternal.h"
#include "EventsInternal.h"

struct __CEventLoopTimer {
  int refs = 1;
  EventLoopTimerUPP proc = nullptr;
  EventLoopIdleTimerUPP idleProc = nullptr;  // set for idle timers
  void* userData = nullptr;
  double interval = 0;   // 0: one-shot
  double idleDelay = 0;  // idle timers: quiet time before they start
  bool idling = false;   // idle timers: Started was sent
  bool armed = false;
  bool firing = false;
  std::pair<double, unsigned long long> key{0, 0};
};

namespace {

using Key = std::pair<double, unsigned long long>;

std::map<Key, __CEventLoopTimer*>& Armed() {
  static auto* m = new std::map<Key, __CEventLoopTimer*>;
  return *m;
}
std::unordered_set<__CEventLoopTimer*>& Live() {
  static auto* s = new std::unordered_set<__CEventLoopTimer*>;
  return *s;
}
unsigned long long gSequence = 0;

void Release(__CEventLoopTimer* t) {
  if (--t->refs == 0) delete t;
}

void Disarm(__CEventLoopTimer* t) {
  if (!t->armed) return;
  Armed().erase(t->key);
  t->armed = false;
}

void Arm(__CEventLoopTimer* t, double when) {
  Disarm(t);
  t->key = Key(when, ++gSequence);
  Armed().emplace(t->key, t);
  t->armed = true;
  EventLoopEnsureSource();
  EventLoopWakeUp();
}

bool IsLive(__CEventLoopTimer* t) { return t != nullptr && Live().count(t) != 0; }

// The next firing of a repeating timer: one interval after the due time, and
// never in the past (a loop that was held up skips the missed firings
// instead of catching up in a burst).
double NextFire(double due, double interval, double now) {
  double next = due + interval;
  if (next <= now) next += interval * std::ceil((now - next) / interval);
  if (next <= now) next = now + interval;
  return next;
}

void Fire(__CEventLoopTimer* t, double now) {
  ++t->refs;
  t->firing = true;
  const double due = t->key.first;
  Disarm(t);
  EventLoopIdleTimerMessage message = kEventLoopIdleTimerIdling;
  if (t->idleProc != nullptr && !t->idling) {
    t->idling = true;
    message = kEventLoopIdleTimerStarted;
  }
  if (t->interval > 0) Arm(t, NextFire(due, t->interval, now));
  if (t->idleProc != nullptr)
    t->idleProc(t, message, t->userData);
  else
    t->proc(t, t->userData);
  t->firing = false;
  Release(t);
}

OSStatus InstallTimer(EventLoopRef loop, double delay, double interval, EventLoopTimerUPP proc,
                      EventLoopIdleTimerUPP idleProc, void* data, EventLoopTimerRef* outTimer) {
  if (outTimer) *outTimer = nullptr;
  if (!EventCoreCheckMainThread("InstallEventLoopTimer")) return eventInternalErr;
  if (loop != GetMainEventLoop() || (proc == nullptr && idleProc == nullptr)) return paramErr;
  auto* t = new __CEventLoopTimer;
  t->proc = proc;
  t->idleProc = idleProc;
  t->userData = data;
  t->interval = interval > 0 && std::isfinite(interval) ? interval : 0;
  Live().insert(t);
  if (idleProc != nullptr) {
    t->idleDelay = delay > 0 && std::isfinite(delay) ? delay : 0;
    // The quiet time counts from the installation or the latest input.
    Arm(t, PlatformClockNow() + t->idleDelay);
  } else if (delay >= 0 && std::isfinite(delay)) {
    Arm(t, PlatformClockNow() + delay);
  }
  if (outTimer) *outTimer = t;
  return noErr;
}

}  // namespace

bool TimersNextDue(double* when) {
  for (const auto& [key, t] : Armed()) {
    if (t->firing) continue;
    *when = key.first;
    return true;
  }
  return false;
}

void TimersFireDue() {
  // Only timers due now and armed before this pass began: a timer re-armed
  // for "now" by a callback fires at the next turn of the loop.
  const double now = PlatformClockNow();
  const unsigned long long passSequence = gSequence;
  for (;;) {
    __CEventLoopTimer* due = nullptr;
    for (const auto& [key, t] : Armed()) {
      if (key.first > now + kTimerSlack) break;
      if (t->firing || key.second > passSequence) continue;
      due = t;
      break;
    }
    if (due == nullptr) return;
    Fire(due, now);
  }
}

void TimersNoteUserActivity() {
  if (!EventCoreOnMainThread()) return;
  const double now = PlatformClockNow();
  std::vector<__CEventLoopTimer*> idle;
  for (auto* t : Live())
    if (t->idleProc != nullptr) idle.push_back(t);
  for (auto* t : idle) {
    if (!IsLive(t)) continue;  // removed by an earlier Stopped callback
    Arm(t, now + t->idleDelay);
    if (t->idling) {
      t->idling = false;
      ++t->refs;
      t->idleProc(t, kEventLoopIdleTimerStopped, t->userData);
      Release(t);
    }
  }
}

OSStatus InstallEventLoopTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay,
                               EventTimerInterval inInterval, EventLoopTimerUPP inTimerProc, void* inTimerData,
                               EventLoopTimerRef* outTimer) {
  if (inTimerProc == nullptr) {
    if (outTimer) *outTimer = nullptr;
    return paramErr;
  }
  return InstallTimer(inEventLoop, inFireDelay, inInterval, inTimerProc, nullptr, inTimerData, outTimer);
}

OSStatus InstallEventLoopIdleTimer(EventLoopRef inEventLoop, EventTimerInterval inDelay,
                                   EventTimerInterval inInterval, EventLoopIdleTimerUPP inTimerProc,
                                   void* inTimerData, EventLoopTimerRef* outTimer) {
  if (inTimerProc == nullptr) {
    if (outTimer) *outTimer = nullptr;
    return paramErr;
  }
  return InstallTimer(inEventLoop, inDelay, inInterval, nullptr, inTimerProc, inTimerData, outTimer);
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer) {
  if (!EventCoreCheckMainThread("RemoveEventLoopTimer")) return eventInternalErr;
  if (!IsLive(inTimer)) return paramErr;
  Live().erase(inTimer);
  Disarm(inTimer);
  Release(inTimer);
  return noErr;
}

OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef inTimer, EventTimerInterval inNextFire) {
  if (!EventCoreCheckMainThread("SetEventLoopTimerNextFireTime")) return eventInternalErr;
  if (!IsLive(inTimer)) return paramErr;
  if (inNextFire < 0 || !std::isfinite(inNextFire))
    Disarm(inTimer);
  else
    Arm(inTimer, PlatformClockNow() + inNextFire);
  return noErr;
}
