// What the editor window and its panes ask of a project, and the front
// window's project; the program's wiring installs these at start-up.
#include "CFPascal.h"
#include "MacMemory.h"
#include "TApplicationUnit.h"
#include "TBatchFindUnit.h"
#include "TDemoApplicationUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileInfoUnit.h"
#include "TProjectDocumentUnit.h"
#include "TProjectUnit.h"
#include "TWindowUnit.h"

TProject* ActiveEditorProject() {
  for (SInt16 kind : {SInt16(kEditorWindowKind), SInt16(kProjectWindowKind)}) {
    if (void* project = GetWindowProject(TApplicationGetFrontWindowOfKind(kind)))
      return static_cast<TProject*>(project);
  }
  return nullptr;
}

CFArrayRef CopyProjectSearchFiles(TProject* project) {
  if (project == nullptr) return nullptr;
  CFMutableArrayRef files = CFArrayCreatePascal();
  if (TProjectGroup* sources = project->FindGroupByType(kProjectSourceType)) {
    for (const Str63& name : sources->ReturnGroupItems()) {
      FSRef file;
      if (!project->ResolveFile(name, file)) continue;
      Ptr block = NewPtr(sizeof file);
      if (block == nullptr) break;
      BlockMoveData(&file, block, sizeof file);
      CFArrayAppendValue(files, block);
    }
  }
  return files;
}

TPreferenceHandler* ProjectHookPreferences(TProject* project) {
  return project ? project->projectPreferences : nullptr;
}

Boolean ProjectHookBundle(TProject* project, FSRef& bundle) {
  if (!project) return false;
  bundle = project->bundle;
  return true;
}

// A copy of the file's entry; nil when it holds nothing.
CFDictionaryRef ProjectHookCopyFileInfo(TProject* project, const Str63& name) {
  if (!project || !project->projectPreferences) return nullptr;
  TPreferenceHandlerDictionary* entry = project->CopyFileInfo(name);
  CFDictionaryRef copy = nullptr;
  if (entry->fValues && CFDictionaryGetCount(entry->fValues) > 0)
    copy = CFDictionaryCreateCopy(nullptr, entry->fValues);
  entry->Release();
  return copy;
}

Boolean ProjectHookSupportsFTP(TProject* project) { return project && project->SupportsFTP(); }

void ProjectHookSetDefaultFileInfo(TProject* project, const FSRef& file) {
  if (project && project->projectPreferences) SetDefaultFileInfo(file, project->projectPreferences);
}

TSourceDocument* ProjectHookMakeDocument(TProject* project) { return NewProjectDocument(project); }

TFileSystem* ProjectHookFileSystem(TProject* project) { return project ? project->GetFileSystem() : nullptr; }

CFArrayRef CopyActiveProjectSearchFiles() { return CopyProjectSearchFiles(ActiveEditorProject()); }
