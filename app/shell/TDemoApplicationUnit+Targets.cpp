// Where the application object's work goes: the editor windows for files,
// pages and new documents, the find window, and the batch find window once
// start-up installs it. Projects, the macro editor, the preference window and
// FTP documents are not part of the program yet; their entries stay empty, so
// their commands show disabled.
#include "TDemoApplicationUnit.h"
#include "TBatchFindUnit.h"
#include "TEditorWindowUnit.h"
#include "TFindPaneUnit.h"
#include "TSourceDocumentUnit.h"

namespace {

TEditorWindow* EditorWindow(TWindow* window) { return dynamic_cast<TEditorWindow*>(window); }

ApplicationShellTargets EditorWindowTargets() {
  ApplicationShellTargets targets;
  targets.OpenEditorWindowEmpty = [](const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowEmpty(nullptr, options);
  };
  targets.OpenEditorWindowWithURL = [](const Str255& url, const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowWithURL(nullptr, url, options);
  };
  targets.OpenEditorWindowWithFileRef = [](const FSRef& file, const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowWithFileRef(nullptr, file, options);
  };
  targets.EditorWindowHasTabs = [](TWindow* window) -> Boolean {
    TEditorWindow* editor = EditorWindow(window);
    return editor != nullptr && editor->Tabs != nullptr;
  };
  targets.EditorWindowIsIntegrated = [](TWindow* window) -> Boolean {
    TEditorWindow* editor = EditorWindow(window);
    return editor != nullptr && editor->Integrated;
  };
  targets.EditorWindowNewURL = [](TWindow* window, const Str255& url) {
    if (TEditorWindow* editor = EditorWindow(window)) editor->NewURL(url, nullptr);
  };
  targets.EditorWindowNewFile = [](TWindow* window, const FSRef& file) {
    if (TEditorWindow* editor = EditorWindow(window)) editor->NewFile(&file, nullptr);
  };
  targets.OpenFindWindow = [](IBNibRef nib) { OpenFindWindow(nib); };
  targets.SetDocumentSelection = [](TDocument* document, const Str255& query, SInt16 line) {
    auto* source = dynamic_cast<TSourceDocument*>(document);
    if (source == nullptr) return;
    if (!query.empty()) source->SetQueryString(query);
    if (line > 0) source->SetDefaultLine(line);
  };
  return targets;
}

}  // namespace

ApplicationShellTargets ShellTargets = EditorWindowTargets();

void InstallBatchFindTarget() {
  ShellTargets.OpenBatchFindWindow = [](IBNibRef nib) { OpenBatchFindWindow(nib); };
}
