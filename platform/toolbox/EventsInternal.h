// Internal to the event core: the event record, the platform clock, and the
// hand-over between the loop, the queue and the timers.
#pragma once

#include <atomic>
#include <vector>

#include "CarbonEvents.h"

struct __CEvent {
  struct Param {
    EventParamName name;
    EventParamType type;
    std::vector<UInt8> bytes;
  };

  std::atomic<UInt32> retainCount{1};
  EventClass eventClass = 0;
  EventKind eventKind = 0;
  EventTime when = 0;
  EventAttributes attributes = 0;
  std::vector<Param> params;
  bool queued = false;  // guarded by the queue's lock
};

// --- Clock (EventLoop.cpp) ---
double PlatformClockNow();
// A timer due within this much of now is due: steps of 1/60 s summed in
// doubles can land an ulp short of a due time computed in one addition.
constexpr double kTimerSlack = 1e-6;
bool PlatformClockIsVirtual();
void PlatformClockSetVirtual(bool on);
// Moves the virtual clock forward to the time (never backward).
void PlatformClockAdvanceTo(double when);
// Fires every due timer and delivers posted events, advancing the virtual
// clock step by step up to now + seconds.
void PlatformClockAdvanceBy(double seconds);

// Makes sure the loop's source is attached to the default main context.
void EventLoopEnsureSource();
// Wakes the loop (from any thread).
void EventLoopWakeUp();

// --- Queue (EventLoop.cpp) ---
bool EventQueueHasEvents();
void EventQueueDeliver();

// --- Timers (Timers.cpp) ---
// The earliest time at which an armed timer that is not firing falls due.
bool TimersNextDue(double* when);
// Fires every timer due at the current time, in time order.
void TimersFireDue();
// Resets idle timers after user input.
void TimersNoteUserActivity();
