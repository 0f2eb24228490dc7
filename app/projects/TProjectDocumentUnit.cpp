#include "TProjectDocumentUnit.h"

#include <algorithm>

#include "ApplicationFramework.h"
#include "FileUploadUnit.h"
#include "PascalCarbonCommon.h"
#include "TEditorPaneUnit.h"
#include "TPreferencesUnit.h"
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

namespace {

Str255 FileInfoText(TPreferenceHandlerDictionary* info, const char* key) {
  return info != nullptr ? info->GetStringValue(key) : Str255();
}

}  // namespace

SInt32 TProjectDocument::Save() {
  Boolean upload = false;
  if (modified && project != nullptr && AppPrefs != nullptr && AppPrefs->GetBooleanValue("GeneralUploadSaves")) {
    TPreferenceHandlerDictionary* info = project->CopyFileInfo(ItemName());
    const Str255 projectMode =
        project->projectPreferences != nullptr ? project->projectPreferences->GetStringValue("ProjectMode") : Str255();
    upload = UploadsOnSave(FileInfoText(info, "FileInfoPreviewMode"), projectMode);
    if (info != nullptr) info->Release();
  }
  const SInt32 status = TSourceDocument::Save();
  // The server gets the file as it now is on disk, and only when it got there.
  if (upload && status == noErr && !modified)
    if (auto* pane = dynamic_cast<TEditorPane*>(owner)) pane->Upload();
  return status;
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
