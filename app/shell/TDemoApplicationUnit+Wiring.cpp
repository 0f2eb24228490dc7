// The program's wiring: the units reach each other through hook records
// whose empty entries mean "not there". Every entry is filled here, once, at
// start-up; the entries of units that are not part of the program yet stay
// empty and are listed below, so their commands show disabled and a wire
// forgotten anywhere else is caught by the start-up test.
#include "TDemoApplicationUnit.h"

#include <cstddef>

#include "PreferenceUtilities.h"
#include "Preferences.h"
#include "TBatchFindUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TFindPaneUnit.h"
#include "TFindUnit.h"
#include "THTMLViewerUnit.h"
#include "TMacroEditorUnit.h"
#include "TQVEditorUnit.h"
#include "FTP.h"
#include "TFileInfoUnit.h"
#include "TNewProjectUnit.h"
#include "TProjectInfoUnit.h"
#include "TProjectUnit.h"
#include "TProjectWindowUnit.h"
#include "TSourceDocumentUnit.h"

ApplicationShellTargets ShellTargets;

namespace {

TEditorWindow* EditorWindow(TWindow* window) { return dynamic_cast<TEditorWindow*>(window); }

void InstallShellTargets() {
  ApplicationShellTargets& targets = ShellTargets;
  // Editor windows.
  targets.OpenEditorWindowEmpty = [](const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowEmpty(nullptr, options);
  };
  targets.OpenEditorWindowIntegrated = [](const FSRef& bundle, const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowIntegrated(&bundle, options);
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
  targets.EditorWindowNewFTPFile = [](TWindow* window, TDocument* document) {
    if (TEditorWindow* editor = EditorWindow(window)) editor->NewFTPFile(document);
  };
  targets.OpenEditorWindowWithDocument = [](TDocument* document, const ApplicationOpenCommandOptions& options) {
    OpenEditorWindowWithDocument(nullptr, document, options);
  };
  targets.SetDocumentSelection = [](TDocument* document, const Str255& query, SInt16 line) {
    auto* source = dynamic_cast<TSourceDocument*>(document);
    if (source == nullptr) return;
    if (!query.empty()) source->SetQueryString(query);
    if (line > 0) source->SetDefaultLine(line);
  };
  // Projects.
  targets.OpenProjectWindow = [](const FSRef& bundle) { OpenProjectWindow(bundle); };
  targets.OpenSaveProjectWindow = [](const FSRef& folder, const Str255& title, const Str255& message) {
    OpenSaveProjectWindow(folder, 0, title, message, nullptr);
  };
  targets.ResolveProjectFile = ProjectWindowResolveFile;
  targets.HandleNewProjectCommand = [](const Str255& templateName, Boolean basic) -> SInt32 {
    return HandleNewProjectCommand(Str63(templateName), basic);
  };
  // Other windows.
  targets.OpenFindWindow = [](IBNibRef nib) { OpenFindWindow(nib); };
  targets.OpenBatchFindWindow = [](IBNibRef nib) { OpenBatchFindWindow(nib); };
  targets.OpenMacroEditor = [](TCodeSenseLibrary* library) { OpenMacroEditor(library); };
  targets.OpenApplicationPreferences = OpenApplicationPreferences;
  targets.LoadHTMLIcons = LoadHTMLIcons;
}

void InstallEditorWindowHooks() {
  EditorWindowHooks hooks{};
  hooks.OpenProject = ProjectWindowOpenProject;
  hooks.FrontProjectWindowProject = FrontProjectWindowProject;
  hooks.ProjectPreferences = ProjectHookPreferences;
  hooks.ProjectBundle = ProjectHookBundle;
  hooks.CopyFileInfo = ProjectHookCopyFileInfo;
  hooks.ProjectCommand = ProjectWindowProjectCommand;
  hooks.ProjectSupportsFTP = ProjectHookSupportsFTP;
  hooks.ProjectBrowserSelection = ProjectWindowBrowserSelection;
  hooks.CompileProject = ProjectWindowCompile;
  hooks.SetDefaultFileInfo = ProjectHookSetDefaultFileInfo;
  hooks.AttachWindow = ProjectWindowAttachWindow;
  hooks.CloseWindow = ProjectWindowCloseWindow;
  hooks.MakeDocument = ProjectHookMakeDocument;
  hooks.ProjectPane = ProjectWindowProjectPane;
  hooks.ProjectFileSystem = ProjectWindowFileSystem;
  hooks.SetActionMenu = ProjectWindowSetActionMenu;
  hooks.MakePreviewPane = EditorPaneMakePreviewPane;
  hooks.IsPreviewPane = EditorPaneIsPreviewPane;
  hooks.MakeFTPPane = [](const FTPServerInfo& server, TEditorWindowAbstract* window) -> TPane* {
    return CreateFTPPane(server, dynamic_cast<TWindow*>(window));
  };
  hooks.OpenFileInfo = [](TProject* project, const FSRef& file) {
    if (project != nullptr && project->projectPreferences != nullptr)
      OpenFileInfo(file, project->projectPreferences);
  };
  EditorWindowSetHooks(&hooks);
}

void InstallEditorPaneHooks() {
  EditorPaneHooks hooks{};
  hooks.CopyFileInfo = ProjectHookCopyFileInfo;
  hooks.ProjectFileSystem = ProjectHookFileSystem;
  hooks.IsIntegratedProjectWindow = EditorWindowIsIntegratedProjectWindow;
  hooks.UpdateSidePane = EditorWindowUpdateSidePane;
  hooks.CreateScriptErrorPane = EditorPaneCreateLanguagePane;
  hooks.CreateMacroErrorPane = [](const Str255& name, CFStringRef text, TQVEditor* editor) -> TPane* {
    return CreateMacroErrorPane(name, text, editor);
  };
  hooks.SetMacroErrorText = [](TPane* pane, const Str255& name, CFStringRef text) {
    if (auto* errors = dynamic_cast<TMacroErrorPane*>(pane)) {
      errors->SetName(name);
      errors->Load(text);
    }
  };
  hooks.IsMacroErrorPane = [](TPane* pane) -> Boolean { return dynamic_cast<TMacroErrorPane*>(pane) != nullptr; };
  EditorPaneSetHooks(&hooks);
}

// Adds to what the project's dialog hooks hold: other units fill the rest.
void InstallProjectDialogHooks() {
  ProjectDialogHooks hooks = ProjectGetDialogHooks();
  hooks.OpenCommandEditor = ProjectOpenCommandEditor;
  hooks.OpenProjectInfo = [](TProject* project) {
    if (project != nullptr && project->projectPreferences != nullptr)
      OpenProjectInfo(project->bundle, project->projectPreferences);
  };
  ProjectSetDialogHooks(&hooks);
}

}  // namespace

const std::vector<std::string> kProgramWiresAwaitingUnits = {
};

void InstallProgramWiring() {
  InstallShellTargets();
  InstallEditorWindowHooks();
  InstallEditorPaneHooks();
  InstallProjectDialogHooks();
  // The find engine and the find window's pane, in the language library.
  InstallFindPaneHooks();
  BatchFindSetProjectFiles(CopyActiveProjectSearchFiles);
  ProjectWindowMakeFTPPane = [](const FTPServerInfo& server, TWindow* window) -> TPane* {
    return CreateFTPPane(server, window);
  };
}

namespace {

template <typename Record>
constexpr size_t EntryCount() {
  return sizeof(Record) / sizeof(void (*)());
}

}  // namespace

std::vector<ProgramWire> CopyProgramWiring() {
  std::vector<ProgramWire> wires;
  auto add = [&](const char* name, bool set) { wires.push_back({name, set}); };
#define QV_WIRE(record, value, field) add(#record "." #field, value.field != nullptr)
  const EditorWindowHooks& window = EditorWindowGetHooks();
  static_assert(EntryCount<EditorWindowHooks>() == 20, "every entry of EditorWindowHooks is listed below");
  QV_WIRE(EditorWindowHooks, window, OpenProject);
  QV_WIRE(EditorWindowHooks, window, FrontProjectWindowProject);
  QV_WIRE(EditorWindowHooks, window, ProjectPreferences);
  QV_WIRE(EditorWindowHooks, window, ProjectBundle);
  QV_WIRE(EditorWindowHooks, window, CopyFileInfo);
  QV_WIRE(EditorWindowHooks, window, ProjectCommand);
  QV_WIRE(EditorWindowHooks, window, ProjectSupportsFTP);
  QV_WIRE(EditorWindowHooks, window, ProjectBrowserSelection);
  QV_WIRE(EditorWindowHooks, window, CompileProject);
  QV_WIRE(EditorWindowHooks, window, SetDefaultFileInfo);
  QV_WIRE(EditorWindowHooks, window, OpenFileInfo);
  QV_WIRE(EditorWindowHooks, window, AttachWindow);
  QV_WIRE(EditorWindowHooks, window, CloseWindow);
  QV_WIRE(EditorWindowHooks, window, MakeDocument);
  QV_WIRE(EditorWindowHooks, window, MakePreviewPane);
  QV_WIRE(EditorWindowHooks, window, IsPreviewPane);
  QV_WIRE(EditorWindowHooks, window, ProjectPane);
  QV_WIRE(EditorWindowHooks, window, ProjectFileSystem);
  QV_WIRE(EditorWindowHooks, window, SetActionMenu);
  QV_WIRE(EditorWindowHooks, window, MakeFTPPane);

  const EditorPaneHooks& pane = EditorPaneGetHooks();
  static_assert(EntryCount<EditorPaneHooks>() == 8, "every entry of EditorPaneHooks is listed below");
  QV_WIRE(EditorPaneHooks, pane, CopyFileInfo);
  QV_WIRE(EditorPaneHooks, pane, ProjectFileSystem);
  QV_WIRE(EditorPaneHooks, pane, IsIntegratedProjectWindow);
  QV_WIRE(EditorPaneHooks, pane, UpdateSidePane);
  QV_WIRE(EditorPaneHooks, pane, CreateMacroErrorPane);
  QV_WIRE(EditorPaneHooks, pane, SetMacroErrorText);
  QV_WIRE(EditorPaneHooks, pane, IsMacroErrorPane);
  QV_WIRE(EditorPaneHooks, pane, CreateScriptErrorPane);

  const ProjectDialogHooks& dialogs = ProjectGetDialogHooks();
  static_assert(EntryCount<ProjectDialogHooks>() == 2, "every entry of ProjectDialogHooks is listed below");
  QV_WIRE(ProjectDialogHooks, dialogs, OpenCommandEditor);
  QV_WIRE(ProjectDialogHooks, dialogs, OpenProjectInfo);

  const ApplicationShellTargets& targets = ShellTargets;
  static_assert(EntryCount<ApplicationShellTargets>() == 20, "every entry of ShellTargets is listed below");
  QV_WIRE(ShellTargets, targets, OpenEditorWindowEmpty);
  QV_WIRE(ShellTargets, targets, OpenEditorWindowIntegrated);
  QV_WIRE(ShellTargets, targets, OpenEditorWindowWithURL);
  QV_WIRE(ShellTargets, targets, OpenEditorWindowWithFileRef);
  QV_WIRE(ShellTargets, targets, OpenEditorWindowWithDocument);
  QV_WIRE(ShellTargets, targets, EditorWindowHasTabs);
  QV_WIRE(ShellTargets, targets, EditorWindowIsIntegrated);
  QV_WIRE(ShellTargets, targets, EditorWindowNewURL);
  QV_WIRE(ShellTargets, targets, EditorWindowNewFile);
  QV_WIRE(ShellTargets, targets, EditorWindowNewFTPFile);
  QV_WIRE(ShellTargets, targets, SetDocumentSelection);
  QV_WIRE(ShellTargets, targets, OpenProjectWindow);
  QV_WIRE(ShellTargets, targets, OpenSaveProjectWindow);
  QV_WIRE(ShellTargets, targets, ResolveProjectFile);
  QV_WIRE(ShellTargets, targets, HandleNewProjectCommand);
  QV_WIRE(ShellTargets, targets, OpenFindWindow);
  QV_WIRE(ShellTargets, targets, OpenBatchFindWindow);
  QV_WIRE(ShellTargets, targets, OpenMacroEditor);
  QV_WIRE(ShellTargets, targets, OpenApplicationPreferences);
  QV_WIRE(ShellTargets, targets, LoadHTMLIcons);
  const FindPaneHooks& find = FindGetPaneHooks();
  static_assert(EntryCount<FindPaneHooks>() == 4, "every entry of FindPaneHooks is listed below");
  QV_WIRE(FindPaneHooks, find, GetUserSettings);
  QV_WIRE(FindPaneHooks, find, ActiveFindWindowPane);
  QV_WIRE(FindPaneHooks, find, GetQueryView);
  QV_WIRE(FindPaneHooks, find, FrontEditorWindow);

  const QVEditorFindHooks& editorFind = QVEditorGetFindHooks();
  static_assert(EntryCount<QVEditorFindHooks>() == 2, "every entry of QVEditorFindHooks is listed below");
  QV_WIRE(QVEditorFindHooks, editorFind, ClearResults);
  QV_WIRE(QVEditorFindHooks, editorFind, DrawResults);
#undef QV_WIRE

  // Single entries.
  add("BatchFindProjectFiles", BatchFindGetProjectFiles() != nullptr);
  add("ProjectWindowMakeFTPPane", ProjectWindowMakeFTPPane != nullptr);
  return wires;
}
