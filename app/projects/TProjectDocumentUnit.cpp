#include "TProjectDocumentUnit.h"

#include <algorithm>

#include "PascalCarbonCommon.h"
#include "TProjectUnit.h"
#include "TTabsUnit.h"
#include "TWindowUnit.h"

Str63 TProjectDocument::ItemName() const {
  if (!FSValidFSRef(file)) return Str63();
  return FSGetActualName(file);
}

void TProjectDocument::SetModifiedState(Boolean flag) {
  TSourceDocument::SetModifiedState(flag);
  if (project) project->SetItemEdited(ItemName(), flag);
}

void TProjectDocument::SavedAs() {
  TSourceDocument::SavedAs();
  auto* pane = dynamic_cast<TTabPane*>(owner);
  if (pane == nullptr) return;
  pane->SetFileAppearance(file);
  if (TWindow* window = GetWindowObject(pane->GetWindow())) window->SetDocument(this);
}

void TProjectDocument::Closed() {
  TSourceDocument::Closed();
  if (project) {
    project->ForgetDocument(this);
    project->DocumentClosed(ItemName());
  }
}

void TProjectDocument::Release() {
  if (project) {
    project->ForgetDocument(this);
    auto& list = project->documents;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    project = nullptr;
  }
  TSourceDocument::Release();
}

TProjectDocument* NewProjectDocument(TProject* project) {
  auto* document = new TProjectDocument();
  document->project = project;
  if (project) project->documents.push_back(document);
  return document;
}
