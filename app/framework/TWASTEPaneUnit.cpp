#include "TWASTEPaneUnit.h"

#include "ApplicationFramework.h"
#include "HIScrollView.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"

void TWASTEPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TWASTEPane");
  if (auto* ownerWindow = dynamic_cast<TWindow*>(owner)) PrepareDestination(ownerWindow->window);
  view = new TWASTEView();
  view->viewWindow = destination != nullptr ? destination : GetViewOwner();
  HIViewRef textView = HIViewFind(kTWASTEViewID, kTWASTEViewSignature, nibWindow);
  if (textView == nullptr) {
    // No text view in the interface file: nothing to bind.
    view->Free();
    view = nullptr;
    return;
  }
  view->Create(textView);
  if (auto* text = dynamic_cast<TWASTEDocument*>(document)) {
    text->controller = view->controller;
    view->document = text;
  }
  SelectViewObject();
}

void TWASTEPane::Attach(WindowRef window) {
  owner = static_cast<TView*>(TWindowGetObject(window));
  if (auto* previous = static_cast<TPane*>(TWindowGetPane(window)); previous != nullptr && previous != this)
    previous->Detach();
  TWindowSetProperty(kTWindowPaneTag, this, kObjectReferenceSize, window);
  PrepareDestination(window);
  if (HIViewRef textView = HIViewFind(kTWASTEViewID, kTWASTEViewSignature, nibWindow);
      textView != nullptr && textView != paneView) {
    // The text view becomes the pane view; the pane's handler follows it,
    // so the pane still ends with its view.
    if (paneHandler != nullptr) RemoveEventHandler(paneHandler);
    paneHandler = nullptr;
    paneView = textView;
    SetViewObject(reinterpret_cast<HIObjectRef>(paneView));
    SetClassString("TWASTEPane");
    static const EventTypeSpec kPaneEvents[] = {{kEventClassControl, kEventControlDispose},
                                                {kEventClassControl, kEventControlOwningWindowChanged}};
    Err = InstallEventHandler(
        GetControlEventTarget(paneView),
        [](EventHandlerCallRef, EventRef event, void* data) -> OSStatus {
          auto* pane = static_cast<TWASTEPane*>(data);
          if (GetEventKind(event) == kEventControlOwningWindowChanged) {
            WindowRef w = nullptr;
            GetEventParameter(event, kEventParamControlCurrentOwningWindow, typeWindowRef, nullptr, sizeof w, nullptr,
                              &w);
            pane->destination = w;
            pane->PrepareDestination(w);
          } else if (GetEventKind(event) == kEventControlDispose) {
            pane->disposing = true;
            pane->Release();
          }
          return eventNotHandledErr;
        },
        2, kPaneEvents, this, &paneHandler);
  }
  HIViewRef root = HIViewGetRoot(window);
  HIRect bounds{};
  Err = HIViewGetBounds(root, &bounds);
  Err = HIViewSetFrame(paneView, &bounds);
  Err = HIViewAddSubview(root, paneView);
  Err = HIViewSetVisible(paneView, true);
  WasteUpdateView(paneView);
}

void TWASTEPane::PrepareDestination(WindowRef window) {
  TPane::PrepareDestination(window);
  SetPortWindowPort(window);
}

void TWASTEPane::SelectViewObject() {
  TTabPane::SelectViewObject();  // its tab comes forward
  if (view == nullptr || view->controller == nullptr) return;
  if (HIViewRef textView = WasteGetControllerView(view->controller)) Err = HIViewAdvanceFocus(textView, 0);
}

void TWASTEPane::ReleaseViewObject() {
  if (auto* text = dynamic_cast<TWASTEDocument*>(document)) text->StopReading();
  TDocumentPane::ReleaseViewObject();
}

void TWASTEPane::Release() {
  view = nullptr;  // it ends with its text view
  TDocumentPane::Release();
}

// ---------------------------------------------------------------------------

void THIWASTEPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  if (paneView == nullptr) return;
  Err = HIScrollViewCreate(kHIScrollViewOptionsVertScroll | kHIScrollViewOptionsHorizScroll |
                               kHIScrollViewOptionsAllowGrow,
                           &scrollView);
  if (scrollView == nullptr) return;
  HIRect bounds{};
  Err = HIViewGetBounds(paneView, &bounds);
  Err = HIViewAddSubview(paneView, scrollView);
  Err = HIViewSetFrame(scrollView, &bounds);
  HILayoutInfo layout{};
  layout.version = kHILayoutInfoVersionZero;
  layout.binding.left = {nullptr, kHILayoutBindLeft, 0};
  layout.binding.top = {nullptr, kHILayoutBindTop, 0};
  layout.binding.right = {nullptr, kHILayoutBindRight, 0};
  layout.binding.bottom = {nullptr, kHILayoutBindBottom, 0};
  Err = HIViewSetLayoutInfo(scrollView, &layout);
  Err = HIViewSetVisible(scrollView, true);
  HIViewRef textView = nullptr;
  Err = FenwicketCreate(&bounds, 0x00010141, &textView);
  if (textView == nullptr) return;
  Err = HIViewAddSubview(scrollView, textView);
  Err = HIViewSetVisible(textView, true);
  Err = GetControlData(textView, 0, 'cref', sizeof controller, &controller, nullptr);
  if (document != nullptr) {
    document->controller = controller;
    document->SetOwner(this);
  }
  // The small system font's size: the text engine's own style stands for
  // the control font of the view.
  const Fixed points = Fixed(10 << 16);
  if (controller != nullptr) Err = WESetOneAttribute(0, 0, 'ptsz', &points, sizeof points, controller);
}

void THIWASTEPane::Release() {
  if (document != nullptr) {
    document->ControllerGone(controller);
    if (document->owner == this) document->SetOwner(nullptr);
  }
  document = nullptr;
  controller = nullptr;
  TPane::Release();
}
