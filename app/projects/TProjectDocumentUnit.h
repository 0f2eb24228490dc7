// TProjectDocument: a source document of a project's editor window. It marks
// the project's item of its file as edited while it has unsaved changes, and
// clears the mark and the item's upload error when it closes.
#pragma once

#include "TSourceDocumentUnit.h"

class TProject;

class TProjectDocument : public TSourceDocument {
 public:
  TProject* project = nullptr;  // not owned; nil once the project has gone

  void SetModifiedState(Boolean flag) override;
  // Saves; with "GeneralUploadSaves" on, a modified file that previews from
  // its server is then uploaded by its pane, once the local save succeeded.
  SInt32 Save() override;
  // A new name shows in the document's tab and its window's title.
  void SavedAs() override;
  void Closed() override;
  void Release() override;

  // The item name of the document's file; empty for an untitled document.
  Str63 ItemName() const;
};

// A new document of the project, known to it until one of them goes.
TProjectDocument* NewProjectDocument(TProject* project);
