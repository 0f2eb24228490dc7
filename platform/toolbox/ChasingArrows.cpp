// The spinning of chasing-arrows controls. Their step comes from the event
// clock, so every control shows the same step and a test's virtual clock
// turns them; the timer only asks for redraws.
#include "ChasingArrowsInternal.h"

#include <cmath>
#include <set>

#include "CarbonEvents.h"
#include "HITheme.h"
#include "HIViewRecord.h"

namespace {

std::set<HIViewRef>& Spinning() {
  static auto* views = new std::set<HIViewRef>;
  return *views;
}

EventLoopTimerRef gTimer = nullptr;

void Tick(EventLoopTimerRef, void*) {
  auto& views = Spinning();
  for (auto it = views.begin(); it != views.end();) {
    HIViewRef view = *it;
    // A disposed control leaves; so does one whose record now serves
    // another kind of view.
    if (!ViewIsLive(view) || ViewOf(view)->kind.kind != kControlKindChasingArrows) {
      it = views.erase(it);
      continue;
    }
    if (HIViewIsVisible(view)) HIViewSetNeedsDisplay(view, true);
    ++it;
  }
  if (views.empty() && gTimer != nullptr) {
    RemoveEventLoopTimer(gTimer);
    gTimer = nullptr;
  }
}

}  // namespace

void ChasingArrowsAdd(HIViewRef view) {
  if (view == nullptr) return;
  Spinning().insert(view);
  if (gTimer == nullptr) {
    const EventTimerInterval step = 1.0 / kHIThemeChasingArrowsSteps;
    InstallEventLoopTimer(GetMainEventLoop(), step, step, NewEventLoopTimerUPP(Tick), nullptr, &gTimer);
  }
}

UInt32 ChasingArrowsStep() {
  const double steps = std::floor(GetCurrentEventTime() * kHIThemeChasingArrowsSteps);
  return UInt32(std::fmod(steps, double(kHIThemeChasingArrowsSteps)));
}
