#include "TEditorWindowUnit.h"

#include <string>
#include <vector>

#include "ApplicationResources.h"
#include "CFPascal.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"
#include "TCodeSenseLibraryUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TFindUnit.h"
#include "TModePaneUnit.h"
#include "TPreferencesUnit.h"
#include "TQVEditorUnit.h"
#include "TSidePaneUnit.h"
#include "TSplitViewUnit.h"
#include "TSymbolPaneUnit.h"
#include "plinthora/Plinthora.h"

const Str63 kEditorWindowResource = "EditorWindow";
const Str63 kEditorWindowIntegratedResource = "EditorWindow (Integrated Project)";
const Str63 kEditorTabbedPaneResource = "Tabbed Pane";
const Str63 kEditorPaneResource = "Editor Pane";
const Str63 kEditorPreviewPaneResource = "Preview Pane 2.1";
const Str63 kEditorSidePaneResource = "Side Pane";
const Str63 kEditorSidePaneStandAloneResource = "Side Pane (Stand Alone)";

namespace {

EditorWindowHooks gHooks{};

constexpr OSType kMainSplitSignature = 'SPLT';
constexpr SInt32 kMainSplitID = 128;
const char* const kProjectMacrosPath = "Contents/Resources/Data/project.macros.plist";

Boolean AppBoolean(const char* key) { return AppPrefs != nullptr ? AppPrefs->GetBooleanValue(key) : true; }

// The file "Contents/Resources/Data/project.macros.plist" of the project's
// bundle; false when the project has none.
Boolean ProjectMacrosFile(TProject* project, FSRef& file) {
  FSRef bundle{};
  if (project == nullptr || gHooks.ProjectBundle == nullptr || !gHooks.ProjectBundle(project, bundle)) return false;
  const Str255 root = FSGetFullPath(bundle);
  if (root.empty()) return false;
  return FSGetPathRef(root + "/" + kProjectMacrosPath, file);
}

std::string CFStringToUTF8(CFStringRef text) {
  if (text == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(text);
  std::string bytes(size_t(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)) + 1, '\0');
  if (!CFStringGetCString(text, bytes.data(), CFIndex(bytes.size()), kCFStringEncodingUTF8)) return std::string();
  bytes.resize(std::char_traits<char>::length(bytes.c_str()));
  return bytes;
}

// A window that was made for a page it cannot show goes once the open that
// made it is over (its maker still shows it).
void CloseEmptyWindowLater(EventLoopTimerRef timer, void* data) {
  RemoveEventLoopTimer(timer);
  auto window = static_cast<WindowRef>(data);
  if (!IsValidWindowPtr(window)) return;
  auto* editor = dynamic_cast<TEditorWindow*>(GetWindowObject(window));
  if (editor == nullptr || editor->ActivePane() != nullptr || editor->SinglePane != nullptr) return;
  if (editor->documents != nullptr && editor->documents->GetCount() > 0) return;
  // The only window: it stays, with an empty document, as a run that opened
  // nothing would begin; beside others it goes.
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, true))
    if (w != window) {
      SendHICommand(GetWindowEventTarget(window), kHICommandTWindowClose);
      return;
    }
  editor->NewFile(nullptr, nullptr);
}

Boolean ShowsAsPage(const FSRef& file) {
  if (!FSValidFSRef(file)) return false;
  if (FSConformsToUTIdentifier(file, "public.image")) return true;
  CFStringRef type = FSGetUTIdentifier(file, nullptr);
  if (type == nullptr) return false;
  Boolean page = false;
  for (CFStringRef other : {CFSTR("com.adobe.pdf"), CFSTR("com.apple.webarchive"), CFSTR("public.url")})
    page = page || CFStringCompare(type, other, 0) == kCFCompareEqualTo;
  CFRelease(type);
  return page;
}

TEditorWindow* FrontNonIntegratedEditorWindow(TEditorWindow* except) {
  auto* front = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  return front != nullptr && front != except && !front->Integrated ? front : nullptr;
}

// Until project documents come, a window's documents follow a new name in
// their tab and in the window's title as those will.
class TEditorDocument : public TSourceDocument {
 public:
  void SavedAs() override {
    TSourceDocument::SavedAs();
    auto* pane = dynamic_cast<TTabPane*>(owner);
    if (pane == nullptr) return;
    pane->SetFileAppearance(file);
    if (TWindow* window = GetWindowObject(pane->GetWindow())) window->SetDocument(this);
  }
};

}  // namespace

Boolean EditorWindowIsIntegratedProjectWindow(TWindow* window) {
  auto* editorWindow = dynamic_cast<TEditorWindow*>(window);
  return editorWindow != nullptr && editorWindow->Integrated;
}

void EditorWindowUpdateSidePane(TWindow* window) {
  if (auto* editorWindow = dynamic_cast<TEditorWindow*>(window))
    editorWindow->UpdateSidePane(editorWindow->GetActiveEditor());
}

void EditorWindowSetHooks(const EditorWindowHooks* hooks) { gHooks = hooks != nullptr ? *hooks : EditorWindowHooks{}; }
const EditorWindowHooks& EditorWindowGetHooks() { return gHooks; }

// ---------------------------------------------------------------------------
// Entry points

TEditorWindow* CreateEditorWindow(const FSRef* project, const ApplicationOpenCommandOptions& options) {
  auto* window = new TEditorWindow();
  if (options.projectMode == 1) {
    // Shared with the window it came from: no second copy of the project.
    if (gHooks.FrontProjectWindowProject != nullptr) window->Project = gHooks.FrontProjectWindowProject();
    if (window->Project == nullptr)
      if (TEditorWindowAbstract* front = FrontEditorWindow()) window->Project = front->Project;
  } else if (project != nullptr && gHooks.OpenProject != nullptr) {
    window->Project = gHooks.OpenProject(*project);
  }
  if (options.projectMode == 2) window->NoToolbar = true;
  window->SetOptions(project != nullptr ? kTWindowOptionsSaveDocumentsPrivate : kTWindowOptionsSaveDocumentsApplication);
  if (AppBoolean("GeneralEditorFeaturesProject") && project != nullptr) {
    window->Integrated = true;
    window->Create(kEditorWindowIntegratedResource, ApplicationNib);
  } else {
    window->Create(kEditorWindowResource, ApplicationNib);
  }
  return window;
}

TEditorWindow* OpenEditorWindowWithDocument(const FSRef* project, TDocument* document,
                                            const ApplicationOpenCommandOptions& options) {
  TEditorWindow* window = CreateEditorWindow(project, options);
  // Only FTP documents come this way; they arrive with the FTP unit.
  if (document != nullptr && window->window != nullptr) window->NewFTPFile(document);
  window->Show();
  if (project != nullptr) window->RestoreDocumentList();
  return window;
}

TEditorWindow* OpenEditorWindowWithFileRef(const FSRef* project, const FSRef& file,
                                           const ApplicationOpenCommandOptions& options) {
  TEditorWindow* window = CreateEditorWindow(project, options);
  if (window->window != nullptr) window->NewFile(&file, nullptr);
  window->Show();
  if (project != nullptr) window->RestoreDocumentList();
  return window;
}

TEditorWindow* OpenEditorWindowWithURL(const FSRef* project, const Str255& url,
                                       const ApplicationOpenCommandOptions& options) {
  TEditorWindow* window = CreateEditorWindow(project, options);
  if (window->window != nullptr) window->NewURL(url, nullptr);
  window->Show();
  return window;
}

TEditorWindow* OpenEditorWindowEmpty(const FSRef* project, const ApplicationOpenCommandOptions& options) {
  TEditorWindow* window = CreateEditorWindow(project, options);
  if (window->window != nullptr) window->NewFile(nullptr, nullptr);
  window->Show();
  if (project != nullptr) window->RestoreDocumentList();
  return window;
}

TEditorWindow* OpenEditorWindowIntegrated(const FSRef* project, const ApplicationOpenCommandOptions& options) {
  TEditorWindow* window = CreateEditorWindow(project, options);
  window->Show();
  window->RestoreDocumentList();
  return window;
}

void SendCommandToProjectWindows(TProject* project, UInt32 command, TEditorWindowAbstract* except) {
  if (project == nullptr) return;
  // Collected first: a detaching window may change the window list.
  std::vector<WindowRef> targets;
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, false)) {
    auto* other = dynamic_cast<TEditorWindowAbstract*>(GetWindowObject(w));
    if (other == nullptr || other == except) continue;
    void* stored = nullptr;
    TWindowGetProperty(kEditorWindowProjectTag, stored, w);
    if (stored == project || other->Project == project) targets.push_back(w);
  }
  for (WindowRef w : targets)
    if (IsValidWindowPtr(w)) SendHICommand(GetWindowEventTarget(w), command);
}

// ---------------------------------------------------------------------------
// Creation and end

Boolean TEditorWindow::UsesTabs() { return Integrated || AppBoolean("GeneralEditorFeaturesTabs"); }

void TEditorWindow::Create(const Str63& name, IBNibRef inNib) {
  SetupToolbar();
  ErrorList = CFArrayCreatePascal();
  if (Project != nullptr && gHooks.ProjectPreferences != nullptr) {
    SetPreferences(gHooks.ProjectPreferences(Project));
    SetPreferenceKey("Editor-Integrated");
  } else {
    SetPreferences(AppPrefs);
  }
  TWindow::Create(name, inNib);
  SetClassString("TEditorWindow");
  if (window == nullptr) return;
  AddEventType(kEventClassWindow, kEventWindowActivated);
  AddEventType(kEventClassWindow, kEventWindowClosed);

  if (Integrated ? !AppBoolean("GeneralEditorFeaturesProjectToolbar") : !AppBoolean("GeneralEditorFeaturesEditorToolbar"))
    Err = ShowHideWindowToolbar(window, false, false);
  if (NoToolbar) {
    Err = ShowHideWindowToolbar(window, false, false);
    Err = ChangeWindowAttributes(window, kWindowNoAttributes, kWindowToolbarButtonAttribute);
  }
  SetWindowKind(window, kEditorWindowKind);

  Find = new TFind();
  Find->SetWindow(this);
  TWindowSetProperty(kEditorWindowFindTag, Find, kObjectReferenceSize, window);

  if (UsesTabs()) {
    Tabs = new TEditorTabPane();
    Tabs->SetOwner(this);
    Tabs->Create(kEditorTabbedPaneResource, inNib);
    Err = ChangeWindowAttributes(window, kWindowUnifiedTitleAndToolbarAttribute | kWindowMetalNoContentSeparatorAttribute,
                                 kWindowNoAttributes);
  }
  if (Project != nullptr) TWindowSetProperty(kEditorWindowProjectTag, Project, kObjectReferenceSize, window);

  if (Integrated && Project != nullptr) {
    if (gHooks.ProjectPreferences != nullptr) SetPreferences(gHooks.ProjectPreferences(Project));
    TFileSystem* index = gHooks.ProjectFileSystem != nullptr ? gHooks.ProjectFileSystem(Project) : nullptr;
    SymbolBrowser = MakeSymbolBrowserPane(window, index);
    const Boolean symbols = AppBoolean("GeneralEditorFeaturesSymbolPane");
    auto* side = new TSidePane();
    side->Create(symbols ? kEditorSidePaneResource : kEditorSidePaneStandAloneResource, inNib);
    if (side->paneView != nullptr) {
      SidePane = side;
      if (symbols) {
        side->symbolPane = MakeSymbolPane(window);
        side->SetLowerPane(side->symbolPane);
      }
      if (TModePane* projectPane = gHooks.ProjectPane != nullptr ? gHooks.ProjectPane(Project) : nullptr)
        side->SetModePane(projectPane);
      EditorToolbarSetModeSegment(toolbar, 1);
    } else {
      side->Release();
    }
    if (ControlRef splitControl = HIViewFind(kMainSplitID, kMainSplitSignature, window)) {
      MainSplit = new TSplitView();
      MainSplit->SetPreferenceKey("MainSplit");
      MainSplit->Create(splitControl);
      if (SidePane != nullptr) MainSplit->SetPane(kSplitViewLeftPane, SidePane);
      MainSplit->SetPane(kSplitViewRightPane, Tabs);
      if (SidePane != nullptr) SidePane->SetToolbarSlider(MainSplit);
    }
    if (gHooks.MakeFTPPane != nullptr && gHooks.ProjectPreferences != nullptr) {
      FTPServerInfo server{};
      if (TPreferenceHandler* prefs = gHooks.ProjectPreferences(Project);
          prefs != nullptr && GetFTPServer(Str63(prefs->GetStringValue("ProjectServer")), server))
        FTPPane = gHooks.MakeFTPPane(server, this);
    }
    if (gHooks.AttachWindow != nullptr) gHooks.AttachWindow(Project, this);
  } else if (Tabs != nullptr) {
    Tabs->Attach(window);
  }

  if (!Integrated)
    if (TEditorWindow* front = FrontNonIntegratedEditorWindow(this))
      Err = RepositionWindow(window, front->window, kWindowCascadeOnParentWindow);
}

void TEditorWindow::Close(SInt32& status) {
  if (Integrated) {
    // The other windows of this project let go of it before it goes.
    SendCommandToProjectWindows(Project, kEditorCommandDetachProject, this);
    // The window's own mode panes go with it, unless their views already went
    // (a pane ends with its view).
    auto end = [](TPane* pane) {
      if (TPaneIsLive(pane)) pane->Release();
    };
    end(FTPPane);
    end(SymbolBrowser);
    FTPPane = nullptr;
    SymbolBrowser = nullptr;
    if (Project != nullptr && gHooks.CloseWindow != nullptr) gHooks.CloseWindow(Project, this);
  }
  TWindow::Close(status);
}

void TEditorWindow::Release() {
  // The panes end with the window's views, after this object: none may
  // lead back to it then.
  auto letGo = [this](TPane* pane) {
    if (pane != nullptr && pane->owner == this) pane->owner = nullptr;
  };
  if (Tabs != nullptr && Tabs->tabs != nullptr) {
    if (ControlRef bar = Tabs->tabs->TabView) {
      const SInt16 count = TabViewGetCount(bar);
      for (SInt16 i = 1; i <= count; ++i) {
        SInt16 kind = 0;
        void* context = TabViewGetContext(bar, i, kTabViewActive, kind);
        if (TTabPaneIsLive(context)) letGo(static_cast<TTabPane*>(context));
      }
    }
    Tabs->tabs->SetController(nullptr);
  }
  letGo(Tabs);
  if (TTabPaneIsLive(SinglePane)) letGo(SinglePane);
  if (documents != nullptr)
    for (SInt16 i = 0; i < documents->GetCount(); ++i)
      if (auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents->documents, i))))
        letGo(dynamic_cast<TPane*>(document->owner));
  if (window != nullptr && IsValidWindowPtr(window)) TWindowRemoveProperty(kEditorWindowFindTag, window);
  if (Find != nullptr) {
    Find->Release();
    Find = nullptr;
  }
  if (ErrorList != nullptr) CFRelease(ErrorList);
  ErrorList = nullptr;
  TWindow::Release();
}

// ---------------------------------------------------------------------------
// Documents and panes

void TEditorWindow::NewFile(const FSRef* file, Ptr text) {
  if (window == nullptr) return;
  SelectWindow(window);
  TSourceDocument* document = gHooks.MakeDocument != nullptr ? gHooks.MakeDocument(Project) : nullptr;
  if (document == nullptr) document = new TEditorDocument();
  if (file != nullptr) {
    document->Create(*file);
    if (Tabs == nullptr) {
      SetPreferenceKey(Str63("Editor.single." + document->name));
      RestoreLayout();
    }
  } else {
    document->CreateEmpty();
  }
  auto* pane = new TEditorPane();
  pane->SetResource(kEditorPaneResource, nib);
  pane->SetAutoLoad(false);
  pane->SetDocument(document);
  pane->SetOwner(this);
  const Boolean page = file != nullptr && ShowsAsPage(*file);
  AttachPane(pane);
  if (page) return;  // shown as a page instead: the pane and document are gone
  document->SetEditor(pane->editor);
  if (Project != nullptr && file != nullptr && gHooks.SetDefaultFileInfo != nullptr)
    gHooks.SetDefaultFileInfo(Project, *file);
  if (text != nullptr)
    if (WEReference we = document->GetController()) {
      if (WEPut(0, 0, text, ByteCount(GetPtrSize(text)), kTextEncodingUnicodeDefault, wePutAddToTypingSequence, 0,
                nullptr, nullptr, we) == noErr)
        document->SetModifiedState(true);
    }
}

void TEditorWindow::NewFTPFile(TDocument* document) {
  if (window == nullptr || document == nullptr) return;
  auto* pane = new TEditorPane();
  pane->SetResource(kEditorPaneResource, nib);
  pane->SetAutoLoad(false);
  pane->SetDocument(document);
  pane->SetOwner(this);
  pane->FTPDocument = true;
  AttachPane(pane);
}

void TEditorWindow::AttachPane(TEditorPane* pane) {
  if (pane == nullptr) return;
  TDocument* document = pane->document;
  if (document != nullptr && ShowsAsPage(document->file)) {
    // The whole file URL, every character that needs it escaped.
    std::string url;
    if (CFStringRef whole = FSCopyURLString(document->file)) {
      url = CFStringToUTF8(whole);
      CFRelease(whole);
    }
    // The pane never shows: it and its document go, the page comes instead.
    pane->document = nullptr;
    document->SetOwner(nullptr);
    pane->Release();
    document->Release();
    NewURLString(url, nullptr);
    return;
  }
  // The tab pane decides, whatever the preference says now.
  if (Tabs != nullptr && Tabs->tabs != nullptr) {
    Tabs->tabs->Append(pane);
    return;
  }
  pane->Attach(window);
  SinglePane = pane;
  if (document != nullptr) {
    // Listed, so that it is asked about on close and reopened at the next start.
    if (documents != nullptr && documents->FindDocument(document->file) != document) documents->Append(document);
    if (documents != nullptr) documents->SetActive(document);
    SetDocument(document);
  }
  // No tab selection will tell the toolbar about the new pane.
  UpdateToolbarStatus();
}

void TEditorWindow::NewURL(const Str255& url, TDocumentPane* owner) { NewURLString(url.str(), owner); }

void TEditorWindow::NewURLString(const std::string& url, TDocumentPane* owner) {
  if (window == nullptr) return;
  TDocument* document = nullptr;
  FSRef local{};
  Boolean isLocal = false;
  if (url.size() <= 255) {
    isLocal = FSGetURLRef(Str255(url.c_str()), local);
  } else if (CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(url.data()),
                                                        CFIndex(url.size()), kCFStringEncodingUTF8, false)) {
    if (CFURLRef whole = CFURLCreateWithString(nullptr, text, nullptr)) {
      isLocal = CFURLGetFSRef(whole, &local);
      CFRelease(whole);
    }
    CFRelease(text);
  }
  if (isLocal) {
    document = new TDocument();
    document->Create(local);
  } else {
    auto* page = new TURLDocument();
    page->CreateWithURL(Str255(url.c_str()));
    document = page;
  }
  const Boolean newTab = Tabs != nullptr && Tabs->tabs != nullptr && owner == nullptr;
  TDocumentPane* preview =
      gHooks.MakePreviewPane != nullptr ? gHooks.MakePreviewPane(this, document, url, newTab ? nullptr : owner) : nullptr;
  if (preview == nullptr) {
    // No preview pane to show it in: say so rather than drop it.
    const Str255 name = FSValidFSRef(local) ? Str255(FSGetDisplayName(local)) : Str255(url.c_str());
    document->Release();
    UserNotificationDialog(Str255("The file \"") + name + "\" cannot be shown yet.");
    if (ActivePane() == nullptr && SinglePane == nullptr && (documents == nullptr || documents->GetCount() == 0)) {
      EventLoopTimerRef timer = nullptr;
      InstallEventLoopTimer(GetMainEventLoop(), 0, 0, NewEventLoopTimerUPP(CloseEmptyWindowLater), window, &timer);
    }
  } else if (newTab) {
    if (preview->paneView == nullptr && preview->Resource.empty()) preview->SetResource(kEditorPreviewPaneResource, nib);
    Tabs->tabs->Append(preview);
  } else {
    if (preview->paneView == nullptr) preview->Create(kEditorPreviewPaneResource, nib);
    if (auto* editorPane = dynamic_cast<TEditorPane*>(owner)) editorPane->overlay = preview;
    if (owner != nullptr && owner->tabs != nullptr) owner->SwapPane(preview);
    else if (preview->paneView == nullptr || HIViewGetWindow(preview->paneView) != window) preview->Attach(window);
  }
  UpdateToolbarStatus();
}

void TEditorWindow::PreviewNewWindow(const Str255& url) {
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.projectMode = 2;
  OpenEditorWindowWithURL(nullptr, url, options);
}

TPane* TEditorWindow::ActivePane() {
  if (Tabs != nullptr && Tabs->tabs != nullptr) return Tabs->tabs->GetActive();
  return SinglePane;
}

TEditorPane* TEditorWindow::GetActiveEditor() { return dynamic_cast<TEditorPane*>(ActivePane()); }

TModePane* TEditorWindow::GetModePane() { return SidePane != nullptr ? SidePane->modePane : nullptr; }

// A save names an untitled file: what needs a file comes on in the toolbar.
// Each key typed reports the document modified again; typing on in a
// document already modified changes nothing the toolbar shows, and is left
// at that (the toolbar's state reads the disk and redraws every item).
void TEditorWindow::UpdateModifiedState() {
  TWindow::UpdateModifiedState();
  TDocument* active = documents != nullptr ? documents->GetActive() : nullptr;
  const Boolean modified = active != nullptr && active->modified;
  const Boolean typingOn = active != nullptr && active == toolbarDocument && toolbarDocumentModified && modified;
  // Just saved: a preview of the page's temporary copy shows what was saved.
  if (active != nullptr && active == toolbarDocument && toolbarDocumentModified && !modified)
    if (auto* pane = dynamic_cast<TEditorPane*>(active->owner)) pane->RefreshTemporaryFile();
  toolbarDocument = active;
  toolbarDocumentModified = modified;
  if (!typingOn) UpdateToolbarStatus();
}

void TEditorWindow::UpdateSidePane(TDocumentPane* pane) {
  if (Integrated && Project != nullptr && SidePane != nullptr && pane != nullptr &&
      dynamic_cast<TEditorPane*>(pane) != nullptr)
    UpdateSymbols();
}

void TEditorWindow::UpdateSymbols() {
  if (!Integrated || Project == nullptr || SidePane == nullptr || SidePane->symbolPane == nullptr) return;
  SidePane->SetLowerPane(SidePane->symbolPane);
  TEditorPane* pane = GetActiveEditor();
  TFileSystem* index = gHooks.ProjectFileSystem != nullptr ? gHooks.ProjectFileSystem(Project) : nullptr;
  if (pane == nullptr || pane->document == nullptr || index == nullptr) return;
  ShowDocumentSymbols(SidePane->symbolPane, index, pane->document->file, pane->editor);
}

void TEditorWindow::ShowModePane(TModePane* pane, const char* menuName) {
  if (SidePane == nullptr || pane == nullptr) return;
  if (Project != nullptr && gHooks.SetActionMenu != nullptr) {
    MenuRef menu = pane->CreateActionMenu();
    if (menu == nullptr && ApplicationNib != nullptr) {
      CFStringRef name = CFStringCreateWithCString(nullptr, menuName, kCFStringEncodingUTF8);
      Err = CreateMenuFromNib(ApplicationNib, name, &menu);
      CFRelease(name);
    }
    gHooks.SetActionMenu(Project, menu);
  }
  SidePane->SetModePane(pane);
  if (MainSplit != nullptr && Tabs != nullptr) MainSplit->SwapPane(kSplitViewRightPane, Tabs);
}

// ---------------------------------------------------------------------------
// Project binding

void TEditorWindow::DetachProject() {
  Project = nullptr;
  // Nothing may reach the project through the window once it has let go:
  // the project can be freed by the window that owns it.
  if (window != nullptr) TWindowRemoveProperty(kEditorWindowProjectTag, window);
  SetPreferences(nullptr);
  if (documents != nullptr) {
    for (SInt16 i = 0; i < documents->GetCount(); ++i) {
      auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents->documents, i)));
      auto* pane = document != nullptr ? dynamic_cast<TEditorPane*>(document->owner) : nullptr;
      if (pane == nullptr) continue;
      if (pane->editor != nullptr) pane->editor->DetachFileSystem();
      pane->project = nullptr;
    }
  }
  UpdateToolbarStatus();
}

Boolean TEditorWindow::SaveDocumentList(CFArrayRef list) {
  FSRef bundle{};
  if (Project != nullptr && gHooks.ProjectBundle != nullptr && gHooks.ProjectBundle(Project, bundle) &&
      CurrentApplication != nullptr)
    CurrentApplication->AppendDocumentList(bundle);
  TWindow::SaveDocumentList(list);
  return true;
}

Boolean TEditorWindow::CompareDocumentRoot(const FSRef& file) {
  FSRef bundle{};
  return Project != nullptr && gHooks.ProjectBundle != nullptr && gHooks.ProjectBundle(Project, bundle) &&
         FSCompareFSRefs(&bundle, &file) == noErr;
}

SInt32 TEditorWindow::HandleEvent(EventRef event) {
  if (event != nullptr && GetEventClass(event) == kEventClassWindow) ProjectMacrosEvent(GetEventKind(event));
  return eventNotHandledErr;
}

// The framework hands the closed event to Closed, not to HandleEvent.
void TEditorWindow::Closed() { ProjectMacrosEvent(kEventWindowClosed); }

void TEditorWindow::ProjectMacrosEvent(UInt32 kind) {
  FSRef macros{};
  if (Project == nullptr || !ProjectMacrosFile(Project, macros)) return;
  TCodeSenseLibrary* library = AppResources != nullptr ? AppResources->CodeSense : nullptr;
  if (library == nullptr) return;
  if (kind == kEventWindowActivated) {
    if (!library->ContainsLibrary(macros)) {
      library->UnloadLibraryWithName("project");
      library->LoadLibrary(macros);
    }
  } else if (kind == kEventWindowClosed) {
    // The project's macros stay while another window of the project uses them.
    for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
         w = GetNextWindowOfClass(w, kDocumentWindowClass, false)) {
      if (w == window) continue;
      auto* other = dynamic_cast<TEditorWindow*>(GetWindowObject(w));
      if (other != nullptr && other != this && other->Project == Project) return;
    }
    library->UnloadLibrary(macros);
  }
}
