// The pointer: TrackMouseLocation over the display host's source of pointer
// changes, the headless host's queued steps, and the theme cursor.
#include <algorithm>
#include <cmath>
#include <deque>

#include "HeadlessHost.h"
#include "MouseTrackingInternal.h"
#include "WindowInternal.h"

namespace {

// --- Headless steps ----------------------------------------------------------------

struct QueuedStep {
  HeadlessMouseStep step;
  EventTime waited = 0;  // of its pause, already passed in time-outs
};

std::deque<QueuedStep>& Steps() {
  static auto* steps = new std::deque<QueuedStep>;
  return *steps;
}

CGPoint gLastGlobal{0, 0};  // where the headless pointer is
UInt32 gLastModifiers = 0;

CGPoint ToWindow(WindowRef window, CGPoint global) {
  if (window == nullptr || !WindowIsLive(window)) return global;
  const CGRect c = WindowContentBounds(window);
  return CGPoint{global.x - c.origin.x, global.y - c.origin.y};
}

CGPoint ToGlobal(WindowRef window, CGPoint local) {
  if (window == nullptr || !WindowIsLive(window)) return local;
  const CGRect c = WindowContentBounds(window);
  return CGPoint{local.x + c.origin.x, local.y + c.origin.y};
}

// The event loop runs while the pointer rests.
void Rest(EventTime seconds) {
  if (seconds > 0) RunCurrentEventLoop(seconds);
}

bool HeadlessSource(WindowRef window, EventTimeout timeout, MouseTrackInput* out) {
  auto& steps = Steps();
  if (steps.empty()) return false;
  QueuedStep& front = steps.front();
  const EventTime left = std::max<EventTime>(0, front.step.pause - front.waited);
  if (timeout >= 0 && left > timeout) {
    // A loop that polls without waiting still lets the time pass, a tick a call.
    const EventTime passed = timeout > 0 ? timeout : 1.0 / 60;
    Rest(passed);
    front.waited += passed;
    *out = MouseTrackInput{kMouseTrackingTimedOut, ToWindow(window, gLastGlobal), gLastModifiers};
    return true;
  }
  Rest(left);
  const HeadlessMouseStep step = front.step;
  steps.pop_front();
  const CGPoint global = step.window != nullptr ? ToGlobal(step.window, step.where) : step.where;
  MouseTrackingResult result = kMouseTrackingMouseDragged;
  if (step.release)
    result = kMouseTrackingMouseUp;
  else if (global.x == gLastGlobal.x && global.y == gLastGlobal.y && step.modifiers != gLastModifiers)
    result = kMouseTrackingKeyModifiersChanged;
  gLastGlobal = global;
  gLastModifiers = step.modifiers;
  *out = MouseTrackInput{result, ToWindow(window, global), step.modifiers};
  return true;
}

MouseTrackSource gSource = HeadlessSource;

// --- Cursors --------------------------------------------------------------------------

ThemeCursor gCursor = kThemeArrowCursor;
UInt32 gCursorStep = 0;

void RecordOnly(ThemeCursor, UInt32) {}
CursorPresenter gPresenter = RecordOnly;

SInt16 Clamp16(double v) {
  if (std::isnan(v)) return 0;
  return SInt16(std::clamp(std::lround(v), -32768L, 32767L));
}

}  // namespace

// ---------------------------------------------------------------------------
// Tracking

OSStatus TrackMouseLocationWithOptions(GrafPtr inPort, OptionBits, EventTimeout inTimeout, Point* outPt,
                                       UInt32* outModifiers, MouseTrackingResult* outResult) {
  if (outPt == nullptr || outResult == nullptr) return paramErr;
  GrafPtr port = inPort;
  if (port == nullptr) GetPort(&port);
  WindowRef window = port != nullptr ? GetWindowFromPort(port) : nullptr;
  if (window != nullptr && !WindowIsLive(window)) window = nullptr;
  MouseTrackInput input{};
  if (!gSource(window, inTimeout, &input)) {
    // No input can come: the button is taken as up where the pointer was.
    input = MouseTrackInput{kMouseTrackingMouseUp, ToWindow(window, gLastGlobal), gLastModifiers};
  }
  outPt->h = Clamp16(std::floor(input.point.x));
  outPt->v = Clamp16(std::floor(input.point.y));
  if (outModifiers) *outModifiers = input.modifiers;
  *outResult = input.result;
  return noErr;
}

OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult) {
  return TrackMouseLocationWithOptions(inPort, 0, kEventDurationForever, outPt, nullptr, outResult);
}

void MouseTrackingSetSource(MouseTrackSource source) { gSource = source ? source : HeadlessSource; }

void HeadlessQueueMouseTrack(const std::vector<HeadlessMouseStep>& steps) {
  for (const HeadlessMouseStep& s : steps) Steps().push_back(QueuedStep{s, 0});
}

void HeadlessClearMouseTrack() { Steps().clear(); }

// ---------------------------------------------------------------------------
// Cursors

OSStatus SetAnimatedThemeCursor(ThemeCursor inCursor, UInt32 inAnimationStep) {
  if (inCursor > kThemePoofCursor) return themeBadCursorIndexErr;
  const bool animated = inCursor == kThemeWatchCursor || inCursor == kThemeSpinningCursor ||
                        (inCursor >= kThemeCountingUpHandCursor && inCursor <= kThemeCountingUpAndDownHandCursor);
  const UInt32 step = animated ? inAnimationStep : 0;
  gCursor = inCursor;
  gCursorStep = step;
  gPresenter(inCursor, step);
  return noErr;
}

OSStatus SetThemeCursor(ThemeCursor inCursor) { return SetAnimatedThemeCursor(inCursor, 0); }

void MouseTrackingSetCursorPresenter(CursorPresenter presenter) { gPresenter = presenter ? presenter : RecordOnly; }

UInt32 HeadlessCurrentThemeCursor() { return gCursor; }
UInt32 HeadlessCurrentCursorStep() { return gCursorStep; }
