#include "TProjectWindowUnit.h"

#include "ApplicationFramework.h"
#include "CFPascal.h"
#include "EditorUtilities.h"
#include "HIToolbar.h"
#include "HIViewButtons.h"
#include "Icons.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "QVGlobals.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileSystemUnit.h"
#include "TProjectBrowserUnit.h"
#include "THIToolbarUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TSidePaneUnit.h"
#include "TSymbolPaneUnit.h"
#include "plinthora/Plinthora.h"

const Str63 kProjectWindowResource = "ProjectWindow";
const Str63 kProjectWindowPreferenceKey = "ProjectWindow";
const char* const kProjectActionsMenu = "Actions Menu";
const char* const kProjectSymbolActionsMenu = "Actions Menu (Symbols)";
const char* const kProjectFTPActionsMenu = "Actions Menu (FTP)";
const char* const kProjectNoFTPMessage =
    "This project does not supported FTP. Make sure you have selected a valid server in the project preferences.";

TPane* (*ProjectWindowMakeFTPPane)(const FTPServerInfo& server, TWindow* window) = nullptr;

namespace {

Boolean AppBoolean(const char* key) { return AppPrefs != nullptr ? AppPrefs->GetBooleanValue(key) : true; }

MenuRef MainMenu(const char* name) {
  MenuRef menu = nullptr;
  if (ApplicationNib == nullptr) return nullptr;
  CFStringRef title = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
  Err = CreateMenuFromNib(ApplicationNib, title, &menu);
  CFRelease(title);
  return menu;
}

Boolean ProjectValid(TProject* project) { return project != nullptr && IsObjectValid(project); }

void* WindowProject(TWindow* window) {
  if (window == nullptr || window->window == nullptr) return nullptr;
  void* stored = nullptr;
  TWindowGetProperty(kEditorWindowProjectTag, stored, window->window);
  return stored;
}

void ProjectSetActionMenu(TProject* project, MenuRef menu) {
  if (ProjectValid(project)) project->SetActionMenu(menu);
  else if (menu != nullptr) ReleaseMenu(menu);
}

// The segments are made without a size; the toolbar gives an item the size
// its view has, so the view is sized for its segments.
HIViewRef MakeModeSegments(THIToolbarSegmentView*) {
  HIViewRef view = CreateModeSegmentView();
  if (view != nullptr) {
    const HIRect frame{{0, 0}, {CGFloat(HISegmentedViewGetSegmentCount(view)) * 27 + 2, 24}};
    Err = HIViewSetFrame(view, &frame);
  }
  return view;
}

HIViewRef FindView(WindowRef window, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (window == nullptr || HIViewFindByID(HIViewGetRoot(window), HIViewID{signature, id}, &view) != noErr) return nullptr;
  return view;
}

}  // namespace

// ---------------------------------------------------------------------------
// The project window

TProject* FrontProjectWindowProject() {
  return static_cast<TProject*>(WindowProject(TApplicationGetFrontWindowOfKind(kProjectWindowKind)));
}

TProjectWindow* OpenProjectWindow(const FSRef& bundle) {
  // An open project's window comes forward instead of a second copy.
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, false)) {
    auto* open = dynamic_cast<TProjectWindow*>(GetWindowObject(w));
    if (open != nullptr && open->CompareDocumentRoot(bundle)) {
      open->SelectViewObject();
      return open;
    }
  }
  TProject* project = CreateProjectPane(bundle, ApplicationNib);
  if (project == nullptr) return nullptr;
  ResizeProjectPane(project->nibWindow);
  auto* window = new TProjectWindow();
  window->bundle = bundle;
  window->project = project;
  window->Create(kProjectWindowResource, ApplicationNib);
  if (window->window == nullptr) {
    window->Release();
    if (project->paneView != nullptr) DisposeControl(project->paneView);
    else project->Release();
    return nullptr;
  }
  window->Show();
  window->RestoreDocumentList();
  return window;
}

void TProjectWindow::Create(const Str63& name, IBNibRef inNib) {
  SetOptions(kTWindowOptionsSaveDocumentsPrivate);
  SetPreferences(project != nullptr ? project->projectPreferences : nullptr);
  SetPreferenceKey(kProjectWindowPreferenceKey);
  CreateToolbar(Str255("project.") + FSGetDisplayName(bundle), kHIToolbarIsConfigurable);
  if (toolbar != nullptr) {
    const UInt32 app = kEditorApplicationCreator;
    toolbar->AppendView(0, kSegmentViewToolbarItemClassID, ConstructHIToolbarSegmentView,
                        reinterpret_cast<void*>(MakeModeSegments), true);
    toolbar->AppendStandard(0, kHIToolbarFlexibleSpaceIdentifier, true);
    AppendToolbarIconView(toolbar, 0, app, 'ADDD', "New", 'new ', true);
    AppendToolbarIconView(toolbar, 0, app, 'tCMP', "Compile", 'COMP', true);
    AppendToolbarIconView(toolbar, 0, app, 'tINF', "Info", 'fINF', true);
    AppendToolbarIconView(toolbar, 0, app, 'tFND', "Find", 'FNDP', true);
    AppendToolbarIconView(toolbar, 0, app, 'tPRF', "Options", 'pINF', true);
    // A button whose window is not there yet is no click that does nothing.
    toolbar->SetItemEnabledByCommand('pINF', ProjectGetDialogHooks().OpenProjectInfo != nullptr);
    toolbar->SetItemEnabledByCommand('fINF', EditorWindowGetHooks().OpenFileInfo != nullptr);
  }
  TWindow::Create(name, inNib);
  SetClassString("TProjectWindow");
  if (window == nullptr) return;
  if (!AppBoolean("GeneralEditorFeaturesProjectToolbar")) Err = ShowHideWindowToolbar(window, false, false);
  SetPriority(1);
  TWindowSetProperty(kEditorWindowProjectTag, project, kObjectReferenceSize, window);

  HIViewRef place = FindView(window, kProjectWindowPaneSignature, kProjectWindowPaneID);
  symbolPane = MakeSymbolBrowserPane(window, project != nullptr ? project->GetFileSystem() : nullptr);
  if (symbolPane != nullptr) ResizeProjectPane(symbolPane->nibWindow);
  // Every pane of the side lives in the window, shown or not, so that each
  // ends with it.
  if (symbolPane != nullptr && symbolPane->paneView != nullptr && place != nullptr) {
    Err = HIViewAddSubview(place, symbolPane->paneView);
    Err = HIViewSetVisible(symbolPane->paneView, false);
  }
  MakeFTPPane();
  Err = ChangeWindowAttributes(window, kWindowUnifiedTitleAndToolbarAttribute | kWindowMetalNoContentSeparatorAttribute,
                               kWindowNoAttributes);
  SetWindowKind(window, kProjectWindowKind);
  if (project != nullptr) {
    project->SetOwner(this);
    ShowPaneInContainer(project, place);
    EditorToolbarSetModeSegment(toolbar, 1);
    project->SetToolbar(FindView(window, kProjectWindowToolbarSignature, kProjectWindowToolbarID));
    project->AppendDocument(this);
  }
}

Boolean TProjectWindow::MakeFTPPane() {
  if (ftpPane != nullptr) return true;
  if (project == nullptr || project->projectPreferences == nullptr || ProjectWindowMakeFTPPane == nullptr) return false;
  FTPServerInfo server{};
  if (!GetFTPServer(Str63(project->projectPreferences->GetStringValue(kProjectServerKey)), server)) return false;
  ftpPane = ProjectWindowMakeFTPPane(server, this);
  if (ftpPane != nullptr && ftpPane->paneView != nullptr)
    if (HIViewRef place = FindView(window, kProjectWindowPaneSignature, kProjectWindowPaneID)) {
      Err = HIViewAddSubview(place, ftpPane->paneView);
      Err = HIViewSetVisible(ftpPane->paneView, false);
    }
  return ftpPane != nullptr;
}

TPane* TProjectWindow::ShownPane() {
  for (TPane* pane : {static_cast<TPane*>(project), static_cast<TPane*>(symbolPane), ftpPane})
    if (pane != nullptr && pane->paneView != nullptr && HIViewIsVisible(pane->paneView) &&
        HIViewGetSuperview(pane->paneView) == FindView(window, kProjectWindowPaneSignature, kProjectWindowPaneID))
      return pane;
  return nullptr;
}

void TProjectWindow::ShowSidePane(TPane* pane, const char* menuName, SInt32 segment) {
  EditorToolbarSetModeSegment(toolbar, segment);
  if (ProjectValid(project)) ProjectSetActionMenu(project, MainMenu(menuName));
  ShowPaneInContainer(pane, FindView(window, kProjectWindowPaneSignature, kProjectWindowPaneID));
}

void TProjectWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TWindow::ProcessCommand(command, event, result);
  // A window closed by its own command is gone with its object.
  if (command.commandID == kHICommandTWindowClose && result != eventNotHandledErr) return;
  if (ProjectValid(project)) project->ProcessCommand(command, event, result);
  if (result != eventNotHandledErr) return;
  switch (command.commandID) {
    case kProjectCommandModeProject:
      if (project != nullptr) ShowSidePane(project, kProjectActionsMenu, 1);
      result = noErr;
      break;
    case kProjectCommandModeSymbols:
      if (symbolPane != nullptr) {
        // What a compile added since the list was filled shows now.
        if (auto* browser = dynamic_cast<TSymbolBrowserPane*>(symbolPane)) browser->Load();
        ShowSidePane(symbolPane, kProjectSymbolActionsMenu, 3);
      }
      result = noErr;
      break;
    case kSymbolCommandRefresh:
      // A compile has ended: the symbol browser lists what it found.
      if (symbolPane != nullptr) symbolPane->ProcessCommand(command, event, result);
      break;
    case kEditorCommandCompile:
      // Run > Compile compiles the project, as its toolbar button does.
      if (ProjectValid(project)) project->Compile();
      result = noErr;
      break;
    case kProjectCommandModeFTP:
      if (MakeFTPPane()) ShowSidePane(ftpPane, kProjectFTPActionsMenu, 2);
      else UserNotificationDialog(kProjectNoFTPMessage);
      result = noErr;
      break;
    default:
      break;
  }
}

void AppendProjectChildrenWindows(TWindow* window, void* context) {
  auto* children = static_cast<ProjectChildrenContext*>(context);
  if (window == nullptr || children == nullptr || children->project == nullptr) return;
  if (WindowProject(window) != children->project || window->documents == nullptr) return;
  if (dynamic_cast<TProjectWindow*>(window) != nullptr) return;
  if (children->list == nullptr) children->list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (CFArrayRef files = window->documents->CopyList()) {
    CFArrayAppendArray(children->list, files, CFRangeMake(0, CFArrayGetCount(files)));
    CFRelease(files);
  }
}

void CloseProjectChildrenWindows(TWindow* window, void* project) {
  if (window == nullptr || project == nullptr || WindowProject(window) != project) return;
  if (dynamic_cast<TProjectWindow*>(window) != nullptr) return;
  SendHICommand(GetWindowEventTarget(window->window), kProjectCommandDetach);
}

Boolean TProjectWindow::SaveDocumentList(CFArrayRef list) {
  if (CurrentApplication != nullptr) CurrentApplication->AppendDocumentList(bundle);
  ProjectChildrenContext context{project, nullptr};
  context.list = list != nullptr ? CFArrayCreateMutableCopy(nullptr, 0, list)
                                 : CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (closingDocuments != nullptr)
    CFArrayAppendArray(context.list, closingDocuments, CFRangeMake(0, CFArrayGetCount(closingDocuments)));
  ApplyFunctionToAllWindows(AppendProjectChildrenWindows, &context);
  TWindow::SaveDocumentList(context.list);
  CFRelease(context.list);
  return true;
}

void TProjectWindow::RestoreDocumentList() {
  if (preferences == nullptr) return;
  CFTypeRef list = preferences->GetTypeValue(DocumentListKey());
  if (list == nullptr) return;
  if (CFGetTypeID(list) == CFArrayGetTypeID()) {
    // The documents open bound to this project, together in one window.
    Boolean first = true;
    auto array = static_cast<CFArrayRef>(list);
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
      auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(array, i));
      if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID() || CFDataGetLength(data) != sizeof(FSRef)) continue;
      ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
      CFDataGetBytes(data, CFRangeMake(0, sizeof(FSRef)), reinterpret_cast<UInt8*>(&options.file));
      if (!FSRefExists(options.file)) continue;
      options.projectMode = 1;
      options.newWindow = first;
      // Behind the project window nothing would bind to it.
      SelectWindow(window);
      SendOpenDocumentCommandWithOptions(options);
      first = false;
    }
  }
  CFRelease(list);
}

void TProjectWindow::Close(SInt32& status) {
  // The windows of the project are told to let go of it; their documents
  // are remembered first, as they no longer name the project afterwards.
  if (project != nullptr) {
    ProjectChildrenContext context{project, nullptr};
    ApplyFunctionToAllWindows(AppendProjectChildrenWindows, &context);
    closingDocuments = context.list;
    ApplyFunctionToAllWindows(CloseProjectChildrenWindows, project);
  }
  TWindow::Close(status);
}

SInt32 TProjectWindow::HandleCloseCommand() {
  if (ProjectValid(project) && project->SaveTemporary() == -1) return noErr;
  return TWindow::HandleCloseCommand();
}

Boolean TProjectWindow::CompareDocumentRoot(const FSRef& ref) { return FSCompareFSRefs(&bundle, &ref) == noErr; }

void TProjectWindow::Release() {
  // The panes end with the window's views, after this object.
  for (TPane* pane : {static_cast<TPane*>(project), static_cast<TPane*>(symbolPane), ftpPane})
    if (pane != nullptr && pane->owner == this) pane->owner = nullptr;
  if (closingDocuments != nullptr) CFRelease(closingDocuments);
  closingDocuments = nullptr;
  // The preference handler is the project's: it goes with the project.
  preferences = nullptr;
  TWindow::Release();
}

// ---------------------------------------------------------------------------
// Editor windows bound to projects

TProject* ProjectWindowOpenProject(const FSRef& bundle) {
  TProject* project = CreateProjectPane(bundle, ApplicationNib);
  if (project != nullptr) ResizeProjectPane(project->nibWindow);
  return project;
}

void ProjectWindowProjectCommand(TProject* project, const HICommand& command, EventRef event, SInt32& result) {
  if (ProjectValid(project)) project->ProcessCommand(command, event, result);
}

Boolean ProjectWindowBrowserSelection(TProject* project) {
  if (!ProjectValid(project) || project->browserControl == nullptr) return false;
  ItemCount count = 0;
  return GetDataBrowserItemCount(project->browserControl, kDataBrowserNoItem, true, kDataBrowserItemIsSelected,
                                 &count) == noErr &&
         count > 0;
}

void ProjectWindowCompile(TProject* project) {
  if (ProjectValid(project)) project->Compile();
}

// The integrated window's side: the project pane's toolbar is the side
// pane's, and the window stands for the bundle.
void ProjectWindowAttachWindow(TProject* project, TEditorWindowAbstract* window) {
  auto* editor = dynamic_cast<TEditorWindow*>(window);
  if (project == nullptr || editor == nullptr) return;
  if (editor->SidePane != nullptr && ProjectValid(project)) project->SetToolbar(editor->SidePane->toolbar);
  if (ProjectValid(project)) project->AppendDocument(editor);
}

// The integrated window that holds the project is closing: what the
// project keeps (its groups, its settings, its symbol index) is written
// now; the pane itself ends with the window's views.
void ProjectWindowCloseWindow(TProject* project, TEditorWindowAbstract*) {
  if (!ProjectValid(project)) return;
  project->SaveAll();
}

TModePane* ProjectWindowProjectPane(TProject* project) { return ProjectValid(project) ? project : nullptr; }

TFileSystem* ProjectWindowFileSystem(TProject* project) {
  return ProjectValid(project) ? project->GetFileSystem() : nullptr;
}

void ProjectWindowSetActionMenu(TProject* project, MenuRef menu) { ProjectSetActionMenu(project, menu); }

// A name of the project's files; the symbol index names its files by their
// path from the project folder, which is tried when the name is one.
Boolean ProjectWindowResolveFile(void* project, const Str63& name, FSRef& file) {
  auto* p = static_cast<TProject*>(project);
  if (!ProjectValid(p)) return false;
  if (p->ResolveFile(name, file)) return true;
  const std::string path = name.str();
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || path.find("..") != std::string::npos) return false;
  const Str255 folder = FSGetFullPath(FSGetParent(p->bundle));
  if (!folder.empty() && FSGetPathRef(folder + "/" + Str255(path), file) && FSRefExists(file)) return true;
  return p->ResolveFile(Str63(path.substr(slash + 1)), file);
}
