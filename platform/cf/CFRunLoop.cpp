// The main thread's run loop: the GLib default main context, shared with the
// application's event loop. Nested runs iterate it; CFRunLoopStop ends the
// innermost of them only.
#include "CFRunLoop.h"

#include <glib.h>

#include <cmath>
#include <vector>

#include "CFRuntime.h"
#include "CFString.h"

struct __CFRunLoop : __CFRuntimeBase {
  __CFRunLoop() : __CFRuntimeBase(TypeID()) { Pin(); }
  static CFTypeID TypeID() {
    static const CFTypeID id = CFRuntimeRegisterType("CFRunLoop");
    return id;
  }
  std::vector<bool*> runs;  // the stop flags of the runs going, innermost last
};

const CFStringRef kCFRunLoopDefaultMode = CFStringMakeConstantUTF8("kCFRunLoopDefaultMode");
const CFStringRef kCFRunLoopCommonModes = CFStringMakeConstantUTF8("kCFRunLoopCommonModes");

namespace {

__CFRunLoop* MainLoop() {
  static __CFRunLoop* loop = new __CFRunLoop();
  return loop;
}

gboolean WakeOnce(gpointer flag) {
  *static_cast<bool*>(flag) = true;
  return G_SOURCE_REMOVE;
}

SInt32 Run(CFTimeInterval seconds, bool once) {
  __CFRunLoop* rl = MainLoop();
  bool stopped = false;
  rl->runs.push_back(&stopped);
  GMainContext* ctx = g_main_context_default();
  const bool forever = !(seconds < 1e9);
  const gint64 deadline = forever ? 0 : g_get_monotonic_time() + gint64(std::max(0.0, seconds) * 1e6);
  SInt32 result = kCFRunLoopRunTimedOut;
  for (;;) {
    if (stopped) {
      result = kCFRunLoopRunStopped;
      break;
    }
    gint64 now = g_get_monotonic_time();
    if (!forever && now >= deadline) break;
    bool woke = false;
    guint wake = 0;
    if (!forever) {
      guint ms = guint(std::min<gint64>((deadline - now + 999) / 1000, G_MAXINT));
      wake = g_timeout_add_full(G_PRIORITY_HIGH, ms, WakeOnce, &woke, nullptr);
    }
    g_main_context_iteration(ctx, TRUE);
    if (wake != 0 && !woke) g_source_remove(wake);
    if (once && !woke) {
      result = stopped ? kCFRunLoopRunStopped : kCFRunLoopRunHandledSource;
      break;
    }
  }
  // The flag is this run's: take it off wherever it is (an inner run that
  // ended without a stop has already gone).
  for (auto it = rl->runs.begin(); it != rl->runs.end(); ++it) {
    if (*it == &stopped) {
      rl->runs.erase(it);
      break;
    }
  }
  return result;
}

}  // namespace

CFRunLoopRef CFRunLoopGetCurrent() { return MainLoop(); }
CFRunLoopRef CFRunLoopGetMain() { return MainLoop(); }

void CFRunLoopRun() { Run(HUGE_VAL, false); }

SInt32 CFRunLoopRunInMode(CFStringRef, CFTimeInterval seconds, Boolean returnAfterSourceHandled) {
  return Run(seconds, returnAfterSourceHandled);
}

void CFRunLoopStop(CFRunLoopRef rl) {
  if (rl == nullptr || rl->runs.empty()) return;  // the application's own loop is never ended here
  *rl->runs.back() = true;
  g_main_context_wakeup(g_main_context_default());
}

Boolean CFRunLoopIsWaiting(CFRunLoopRef rl) { return rl != nullptr && !rl->runs.empty(); }
