#include "TDocumentTabsUnit.h"

#include <unordered_set>

#include "ApplicationFramework.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "TNavDialogsUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

// ---------------------------------------------------------------------------
// TDocumentTabs

void TDocumentTabs::Create(ControlRef view) { TTabs::Create(view); }

void TDocumentTabs::SetController(TWindow* window) { Controller = window; }

void TDocumentTabs::Append(TTabPane* pane) {
  TTabs::Append(pane);
  auto* documentPane = dynamic_cast<TDocumentPane*>(pane);
  if (Controller != nullptr && Controller->documents != nullptr && documentPane != nullptr &&
      documentPane->document != nullptr) {
    Controller->documents->Append(documentPane->document);
    // The tab selected during the append named it before it was listed.
    if (GetActive() == pane) Select(pane);
  }
}

void TDocumentTabs::Select(TTabPane* pane) {
  TTabs::Select(pane);
  auto* documentPane = dynamic_cast<TDocumentPane*>(pane);
  if (Controller == nullptr || documentPane == nullptr || documentPane->document == nullptr) return;
  if (Controller->documents != nullptr) Controller->documents->SetActive(documentPane->document);
  Controller->SetDocument(documentPane->document);
}

void TDocumentTabs::Remove(TTabPane* pane) {
  auto* documentPane = dynamic_cast<TDocumentPane*>(pane);
  if (documentPane != nullptr && documentPane->document != nullptr && Controller != nullptr &&
      Controller->documents != nullptr)
    Controller->documents->Remove(documentPane->document);
  if (Controller != nullptr) Controller->UpdateModifiedState();
}

void TDocumentTabs::DocumentClosed(TDocument* document) {
  if (document == nullptr) return;
  if (Controller != nullptr && Controller->documents != nullptr) Controller->documents->Remove(document);
  document->SetOwner(nullptr);
  document->Release();
  if (Controller != nullptr) Controller->UpdateModifiedState();
}

TDocumentPane* TDocumentTabs::FindByDocument(TDocument* document) {
  if (TabView == nullptr || document == nullptr) return nullptr;
  const SInt16 count = TabViewGetCount(TabView);
  for (SInt16 i = 1; i <= count; ++i) {
    SInt16 kind = 0;
    void* context = TabViewGetContext(TabView, i, kTabViewActive, kind);
    if (!TTabPaneIsLive(context)) continue;
    auto* pane = dynamic_cast<TDocumentPane*>(static_cast<TTabPane*>(context));
    if (pane != nullptr && pane->document != nullptr && FSCompareFSRefs(&pane->document->file, &document->file) == noErr)
      return pane;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TDocumentPane

void TDocumentPane::SetDocument(TDocument* inDocument) {
  document = inDocument;
  if (document == nullptr) return;
  document->SetOwner(this);
  Title = document->name;
  FullTitle = FSValidFSRef(document->file) ? FSGetFullName(document->file) : std::string();
  Kind = 1;
  Icon = nullptr;
  IconType = 0;
  SetAppearance(Title, nullptr, 0);
}

void TDocumentPane::Load() {
  TTabPane::Load();
  if (document != nullptr) Err = document->Open();
}

void TDocumentPane::Attach(WindowRef window) {
  if (paneView == nullptr) Create(Resource, NibRef);
  TPane::Attach(window);
  if (document != nullptr) TWindowSetDocument(document, window);
}

void TDocumentPane::Close() {
  if (document != nullptr && document->modified) {
    // Asked first: the answer decides whether the pane goes.
    WindowRef window = document->owner != nullptr ? document->owner->GetViewOwner() : nullptr;
    auto* dialogs = new TNavDialogs();
    dialogs->SetParent(window);
    dialogs->SetAction(kTNavActionClose);
    dialogs->SaveDialog(document);
    return;
  }
  ReleaseViewObject();
}

void TDocumentPane::ReleaseViewObject() {
  if (document != nullptr) {
    if (document->owner != nullptr)
      if (WindowRef window = document->owner->GetViewOwner())
        SendHICommand(GetWindowEventTarget(window), kHICommandUpdateModifiedState);
    document->Closed();
  }
  TTabPane::ReleaseViewObject();
}

namespace {
std::unordered_set<TDocumentPane*>& LiveDocumentPanes() {
  static std::unordered_set<TDocumentPane*> panes;
  return panes;
}
}  // namespace

TDocumentPane::TDocumentPane() { LiveDocumentPanes().insert(this); }
TDocumentPane::~TDocumentPane() { LiveDocumentPanes().erase(this); }

void TDocumentPane::DocumentGone(TDocument* document) {
  for (TDocumentPane* pane : LiveDocumentPanes())
    if (pane->document == document) pane->document = nullptr;
}

void TDocumentPane::Release() {
  // The document's close updates the window, which must not find this
  // half-released pane as its active tab.
  Retire();
  if (TDocument* closing = document) {
    document = nullptr;
    if (auto* documentTabs = dynamic_cast<TDocumentTabs*>(tabs))
      documentTabs->DocumentClosed(closing);
    else if (closing->owner == this)
      closing->SetOwner(nullptr);  // it stays with whoever lists it
  }
  TTabPane::Release();
}

// ---------------------------------------------------------------------------
// TTabDocument

void TTabDocument::SavedAs() {
  auto* pane = dynamic_cast<TTabPane*>(owner);
  if (pane == nullptr) return;
  pane->SetFileAppearance(file);
}
