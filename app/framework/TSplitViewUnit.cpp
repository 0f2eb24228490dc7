#include "TSplitViewUnit.h"

#include "PascalCarbonCommon.h"
#include "TPaneUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

bool FirstSide(SInt16 side) { return side == kSplitViewTopPane || side == kSplitViewLeftPane; }
bool SecondSide(SInt16 side) { return side == kSplitViewBottomPane || side == kSplitViewRightPane; }
ControlRef ViewOf(TPane* pane) { return pane != nullptr ? pane->paneView : nullptr; }

}  // namespace

void TSplitView::Create(ControlRef inControl) {
  TControl::Create(inControl);
  SetClassString("TSplitView");
  if (firstPane != nullptr) firstPane->SetOwner(this);
  if (secondPane != nullptr) secondPane->SetOwner(this);
  SplitViewSetNotificationCallback(control, Notification, this);
  SplitViewSetupPanes(control, ViewOf(firstPane), ViewOf(secondPane));
  RestorePreferences();
}

void TSplitView::SetPreferenceKey(const Str63& key) { preferenceKey = key; }

void TSplitView::SavePreferences() {
  if (!preferenceKey.empty()) SavePosition();
}

void TSplitView::RestorePreferences() {
  if (!preferenceKey.empty()) RestorePosition();
}

Str255 TSplitView::PositionKey() {
  const Str63 windowKey = window != nullptr ? window->preferenceKey : Str63();
  return windowKey + "." + "TSplitViewPosition" + "." + preferenceKey;
}

void TSplitView::SavePosition() {
  if (window == nullptr || window->preferences == nullptr || control == nullptr) return;
  const SInt16 position = SplitViewGetPosition(control);
  // A collapsed side has no position: the one it had stays stored.
  if (position < 0) return;
  window->preferences->SetIntegerValue(PositionKey(), position);
  window->preferences->Synchronize();
}

void TSplitView::RestorePosition() {
  // Stored and read under the same whole key, however long it is.
  if (window == nullptr || window->preferences == nullptr || control == nullptr) return;
  const Str255 key = PositionKey();
  if (!window->preferences->ContainsValue(key)) return;
  SplitViewSetPosition(control, SInt16(window->preferences->GetIntegerValue(key)));
}

void TSplitView::Park(TPane* pane) {
  ControlRef view = ViewOf(pane);
  if (view == nullptr || control == nullptr) return;
  if (HIViewGetSuperview(view) != control) Err = HIViewAddSubview(control, view);
  Err = HIViewSetVisible(view, false);
}

void TSplitView::Forget(TPane* pane, SInt16 side) {
  ControlRef view = ViewOf(pane);
  if (control != nullptr && view != nullptr && SplitViewGetPane(control, side) == view)
    SplitViewSetPane(control, side, nullptr);
}

void TSplitView::SetPane(SInt16 side, TPane* pane) {
  if (pane != nullptr) pane->SetOwner(this);
  TPane** slot = FirstSide(side) ? &firstPane : SecondSide(side) ? &secondPane : nullptr;
  TPane* old = slot != nullptr && *slot != pane ? *slot : nullptr;
  if (slot != nullptr) *slot = pane;
  // The split view lets go of the old view before it is disposed.
  if (control != nullptr) SplitViewSetPane(control, side, ViewOf(pane));
  if (old != nullptr && old != previousPane && old != closingPane) old->Close();
}

void TSplitView::SetPaneWithHIView(SInt16 side, ControlRef view) {
  if (control != nullptr) SplitViewSetPane(control, side, view);
}

void TSplitView::SwapPane(SInt16 side, TPane* pane) {
  if (pane != nullptr) pane->SetOwner(this);
  swapSide = side;
  TPane** slot = FirstSide(side) ? &firstPane : SecondSide(side) ? &secondPane : nullptr;
  if (slot != nullptr && *slot != pane) {
    previousPane = *slot;
    *slot = pane;
  }
  if (control != nullptr) SplitViewSetPane(control, side, ViewOf(pane));
  Park(previousPane);
}

void TSplitView::GoBack() {
  if (previousPane == nullptr || control == nullptr) return;
  SplitViewSetPane(control, swapSide, ViewOf(previousPane));
  Park(GetPane(swapSide));
}

void TSplitView::RemovePane(SInt16 side) {
  TPane** slot = FirstSide(side) ? &firstPane : SecondSide(side) ? &secondPane : nullptr;
  if (slot == nullptr) return;
  TPane* pane = *slot;
  *slot = nullptr;
  if (pane != nullptr) {
    if (control != nullptr && SplitViewGetAsynchronous(control)) {
      closingPane = pane;
      closingSide = side;
    } else {
      Forget(pane, side);
      pane->Close();
    }
  }
  // The other side is shown, named as the split view's orientation names it
  // (a side-by-side view has no top and bottom to show).
  SInt16 shown = FirstSide(side) ? kSplitViewBottomPane : kSplitViewTopPane;
  if (control != nullptr)
    if (const SInt16 other = SplitViewGetPaneIndex(control, SplitViewGetPane(control, shown))) shown = other;
  SetVisible(shown);
}

void TSplitView::SetVisible(SInt16 side) { SplitViewSetVisible(control, side); }
void TSplitView::SetLimit(CFRange limit) { SplitViewSetLimit(control, limit); }
void TSplitView::SetPosition(SInt16 position) { SplitViewSetPosition(control, position); }
void TSplitView::SetKind(const Str255& kind) { SplitViewSetKind(control, kind); }
SInt16 TSplitView::GetPosition() { return SplitViewGetPosition(control); }

TPane* TSplitView::GetPane(SInt16 side) {
  if (FirstSide(side)) return firstPane;
  if (SecondSide(side)) return secondPane;
  return nullptr;
}

void TSplitView::Notification(SInt16 message, ControlRef pane, ControlRef, void* context) {
  auto* self = static_cast<TSplitView*>(context);
  if (self == nullptr) return;
  self->HandleNotification(message, pane);
  if (TPane* closing = self->closingPane) {
    self->closingPane = nullptr;
    if (closing == self->previousPane) self->previousPane = nullptr;
    self->Forget(closing, self->closingSide);
    closing->Close();
  }
}
