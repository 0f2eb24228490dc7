#include "TPaneUnit.h"

#include "ApplicationFramework.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"

#include <unordered_set>

namespace {

std::unordered_set<const TPane*>& LivePanes() {
  static std::unordered_set<const TPane*> panes;
  return panes;
}

OSStatus PaneEventHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* pane = static_cast<TPane*>(userData);
  switch (GetEventKind(event)) {
    case kEventControlOwningWindowChanged: {
      WindowRef window = nullptr;
      GetEventParameter(event, kEventParamControlCurrentOwningWindow, typeWindowRef, nullptr, sizeof window, nullptr,
                        &window);
      pane->destination = window;
      pane->PrepareDestination(window);
      break;
    }
    case kEventControlDispose:
      pane->disposing = true;
      pane->Release();
      break;
  }
  return eventNotHandledErr;
}

}  // namespace

TPane::TPane() { LivePanes().insert(this); }

TPane::~TPane() { LivePanes().erase(this); }

Boolean TPaneIsLive(const TPane* pane) { return pane != nullptr && LivePanes().count(pane) != 0; }

void TPane::Create(const Str63& name, IBNibRef nib) {
  Err = CreateWindowFromNib(nib, CFSTR(name), &nibWindow);
  paneView = HIViewFind(kTPaneViewID, kTPaneViewSignature, nibWindow);
  if (commandTarget != nullptr) InstallCommandHandler(commandTarget);
  SetViewObject(reinterpret_cast<HIObjectRef>(paneView));
  SetClassString("TPane");
  if (paneView == nullptr) return;
  static const EventTypeSpec kPaneEvents[] = {{kEventClassControl, kEventControlDispose},
                                              {kEventClassControl, kEventControlOwningWindowChanged}};
  Err = InstallEventHandler(GetControlEventTarget(paneView), PaneEventHandler, 2, kPaneEvents, this, &paneHandler);
}

void TPane::SetPreferences(TPreferenceHandler* handler) { preferences = handler; }
void TPane::SetOwner(TView* view) { owner = view; }
void TPane::SetCommandHandlerTarget(WindowRef window) { commandTarget = window; }
void TPane::PrepareDestination(WindowRef window) { destination = window; }

void TPane::Close() {
  Detach();
  ReleaseViewObject();
}

void TPane::ReleaseViewObject() { DisposeControl(paneView); }

void TPane::Unpublish(WindowRef window) {
  if (window != nullptr && IsValidWindowPtr(window) && TWindowGetPane(window) == this)
    TWindowRemoveProperty(kTWindowPaneTag, window);
}

void TPane::Detach() {
  if (owner == nullptr) return;
  // A window must not name a pane that is no longer in it.
  Unpublish(destination);
  Err = HIViewRemoveFromSuperview(paneView);
  Err = HIViewSetVisible(paneView, false);
}

void TPane::Attach(WindowRef window) {
  owner = static_cast<TView*>(TWindowGetObject(window));
  if (auto* previous = static_cast<TPane*>(TWindowGetPane(window)); previous != nullptr && previous != this)
    previous->Detach();
  TWindowSetProperty(kTWindowPaneTag, this, kObjectReferenceSize, window);
  PrepareDestination(window);
  HIViewRef root = HIViewGetRoot(window);
  HIRect bounds{};
  Err = HIViewGetBounds(root, &bounds);
  Err = HIViewSetFrame(paneView, &bounds);
  Err = HIViewAddSubview(root, paneView);
  Err = HIViewSetVisible(paneView, true);
}

void TPane::AddSubview(ControlRef container) {
  // A container shows one pane at a time.
  if (HIViewCountSubviews(container) == 1) {
    HIViewRef shown = nullptr;
    if (HIViewGetIndexedSubview(container, 1, &shown) == noErr && shown != paneView)
      Err = HIViewRemoveFromSuperview(shown);
  }
  Err = HIViewAddSubview(container, paneView);
  HIRect bounds{};
  Err = HIViewGetBounds(container, &bounds);
  Err = HIViewSetFrame(paneView, &bounds);
  Err = HIViewSetVisible(paneView, true);
}

WindowRef TPane::GetWindow() { return owner != nullptr ? owner->GetViewOwner() : nibWindow; }

void TPane::ProcessCommand(const HICommand& command, EventRef, SInt32& result) {
  if (command.commandID == kHICommandClosePane && closable) {
    Close();
    result = noErr;
  }
}

void TPane::Release() {
  HIViewRef view = paneView;
  const Boolean viewGoing = disposing;
  Unpublish(destination);
  TView::Release();
  if (paneHandler != nullptr) Err = RemoveEventHandler(paneHandler);
  paneHandler = nullptr;
  if (view != nullptr) {
    Err = HIViewRemoveFromSuperview(view);
    // Released while its view lives on: the view goes too, so neither its
    // controls nor their objects are left without an owner.
    if (!viewGoing) DisposeControl(view);
  }
  if (nibWindow != nullptr) Err = ReleaseWindow(nibWindow);
  nibWindow = nullptr;
  if (preferences != nullptr) preferences->Synchronize();
  Free();
}
