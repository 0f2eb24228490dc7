// Project windows and the projects of editor windows over real bundles and
// the application's own interface file (headless): one window per bundle,
// each project's document list kept apart, the toolbar, the side-pane
// modes, the project's windows let go of it as it closes and reopen with
// it, the side pane's placement of mode panes and its remembered split.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFBundle.h"
#include "CFString.h"
#include "HIToolbar.h"
#include "HeadlessHost.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "THIToolbarUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TFileSystemUnit.h"
#include "TProjectDocumentUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TProjectWindowUnit.h"
#include "TQVEditorUnit.h"
#include "TSidePaneUnit.h"
#include "TSplitViewUnit.h"
#include "TSymbolPaneUnit.h"
#include "TWASTEViewUnit.h"
#include "WASTE.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

namespace {

namespace fs = std::filesystem;

FSRef RefOf(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// The application's main interface file, from the built bundle.
IBNibRef MainNib() {
  static IBNibRef nib = [] {
    const char* built = getenv("QUORVEL_BUNDLE");
    EXPECT_NE(built, nullptr);
    const std::string folder = built != nullptr ? built : "";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("main"), &made), noErr);
    return made;
  }();
  return nib;
}

std::vector<std::string> NamesIn(CFTypeRef list) {
  std::vector<std::string> names;
  if (list == nullptr || CFGetTypeID(list) != CFArrayGetTypeID()) return names;
  for (CFIndex i = 0; i < CFArrayGetCount(static_cast<CFArrayRef>(list)); ++i) {
    auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(list), i));
    FSRef file{};
    if (CFDataGetLength(data) == sizeof file) {
      CFDataGetBytes(data, CFRangeMake(0, sizeof file), reinterpret_cast<UInt8*>(&file));
      names.push_back(FSGetDisplayName(file).str());
    }
  }
  return names;
}

std::vector<std::string> DocumentNames(TWindow* window) {
  std::vector<std::string> names;
  for (SInt16 i = 0; window->documents != nullptr && i < window->documents->GetCount(); ++i)
    names.push_back(
        static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(window->documents->documents, i)))->name.str());
  return names;
}

void* ProjectOf(TWindow* window) {
  void* project = nullptr;
  TWindowGetProperty(kEditorWindowProjectTag, project, window->window);
  return project;
}

SInt32 Command(TWindow* window, UInt32 id) {
  HICommand command{};
  command.commandID = id;
  SInt32 result = eventNotHandledErr;
  window->ProcessCommand(command, nullptr, result);
  return result;
}

bool AlertSaid(const std::string& text) {
  for (const HeadlessAlertRecord& record : HeadlessCopyAlertLog())
    if (record.error == text || record.explanation == text) return true;
  return false;
}

// Opened documents go where the application's open command sends them: a
// new editor window, or a tab of the front one.
class TTestApplication : public TApplication {
 public:
  void OpenDocument(const FSRef& file, Boolean& done, const ApplicationOpenCommandOptions& options) override {
    TApplication::OpenDocument(file, done, options);
    if (done) return;
    done = true;
    auto* front = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
    if (options.newWindow || front == nullptr) OpenEditorWindowWithFileRef(nullptr, file, options);
    else front->NewFile(&file, nullptr);
  }
};

struct ProjectWindowTest : ::testing::Test {
  fs::path scratch;
  TPreferenceHandlerApplication* prefs = nullptr;
  TTestApplication* app = nullptr;

  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      HeadlessUseVirtualClock(true);
      RegisterWasteClass();
      RegisterToolbarViewClass();
      RegisterTabViewClass();
      RegisterSplitViewClass();
      registered = true;
    }
    scratch = fs::path(getenv("TMPDIR")) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    ApplicationNib = MainNib();
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("user.");
    for (const char* key : {"GeneralEditorFeaturesProject", "GeneralEditorFeaturesTabs",
                            "GeneralEditorFeaturesProjectToolbar", "GeneralEditorFeaturesEditorToolbar",
                            "GeneralEditorFeaturesSymbolPane"})
      prefs->SetBooleanValue(key, true);
    prefs->SetBooleanValue("GeneralImportCopyFiles", false);
    prefs->SetBooleanValue("GeneralImportAddPath", false);
    AppPrefs = prefs;
    app = new TTestApplication();
    app->preferences = prefs;
    SetCurrentApplication(app);
    app->Create('QVRL');
    InstallProgramWiring();
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
         w = GetFrontWindowOfClass(kDocumentWindowClass, false)) {
      if (TWindow* object = GetWindowObject(w)) object->Remove();
      else DisposeWindow(w);
    }
    EditorWindowSetHooks(nullptr);
    SetCurrentApplication(nullptr);
    AppPrefs = nullptr;
    prefs->RemoveValue(kApplicationDocumentListKey);
    prefs->Release();
  }

  // A project folder: the bundle, and Sources with the given PHP files.
  fs::path Project(const std::string& name, const std::vector<std::string>& sources = {}) {
    const fs::path folder = scratch / name;
    const fs::path bundle = folder / (name + ".qvproj");
    fs::create_directories(bundle / "Contents/Resources/Preferences");
    fs::create_directories(bundle / "Contents/Resources/Data");
    fs::create_directories(folder / "Sources");
    for (const std::string& file : sources) Write(folder / "Sources" / file, "<?php function f() {} ?>\n");
    return bundle;
  }
  fs::path Source(const fs::path& bundle, const std::string& name) { return bundle.parent_path() / "Sources" / name; }

  // An editor window bound to the front project window's project.
  TEditorWindow* ChildWindow(const fs::path& file) {
    ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
    options.projectMode = 1;
    return OpenEditorWindowWithFileRef(nullptr, RefOf(file), options);
  }
};

TEST_F(ProjectWindowTest, ABundleOpensOneWindowThatShowsItsProject) {
  const fs::path bundle = Project("Site");
  TProjectWindow* window = OpenProjectWindow(RefOf(bundle));
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->window, nullptr);
  EXPECT_EQ(GetWindowKind(window->window), kProjectWindowKind);
  ASSERT_NE(window->project, nullptr);
  EXPECT_EQ(ProjectOf(window), window->project);
  EXPECT_EQ(FrontProjectWindowProject(), window->project);
  EXPECT_EQ(window->preferences, window->project->projectPreferences);
  EXPECT_EQ(window->preferenceKey, Str63("ProjectWindow"));
  EXPECT_EQ(window->ShownPane(), window->project);
  ASSERT_NE(window->project->browserControl, nullptr);
  EXPECT_EQ(HIViewGetWindow(window->project->browserControl), window->window);
  ASSERT_NE(window->toolbar, nullptr);
  EXPECT_EQ(window->toolbar->Identifier, Str255("project.") + FSGetDisplayName(RefOf(bundle)));

  // Opened again, directly or through the application, it is the same window.
  EXPECT_EQ(OpenProjectWindow(RefOf(bundle)), window);
  EXPECT_EQ(app->FindWindow(RefOf(bundle)), window);
  Boolean opened = false;
  app->OpenDocument(RefOf(bundle), opened, GetDefaultOpenCommandOptions());
  EXPECT_TRUE(opened);
  int projectWindows = 0;
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, false))
    projectWindows += GetWindowKind(w) == kProjectWindowKind;
  EXPECT_EQ(projectWindows, 1);
  // The application's open path reaches it for a bundle it does not hold.
  ASSERT_NE(ShellTargets.OpenProjectWindow, nullptr);
  ASSERT_NE(ShellTargets.ResolveProjectFile, nullptr);
  Write(Source(bundle, "index.php"), "<?php ?>\n");
  // By name, as a project names its files, or by the path from the project
  // folder, as the symbol index names them; nothing outside the project.
  const struct {
    const char* name;
    bool found;
  } kNames[] = {{"index.php", true}, {"Sources/index.php", true}, {"Sources/missing.php", false},
                {"../Site/Sources/index.php", false}, {"missing.php", false}};
  for (const auto& c : kNames) {
    FSRef resolved{};
    EXPECT_EQ(bool(ShellTargets.ResolveProjectFile(window->project, c.name, resolved)), c.found) << c.name;
    if (c.found) {
      EXPECT_EQ(FSGetFullPath(resolved).str(), Source(bundle, "index.php").string()) << c.name;
    }
  }
}

TEST_F(ProjectWindowTest, EachProjectsDocumentListHoldsOnlyItsOwnDocuments) {
  const fs::path a = Project("Alpha", {"a1.php", "a2.php"}), b = Project("Beta", {"b1.php"});
  TProjectWindow* alpha = OpenProjectWindow(RefOf(a));
  TEditorWindow* alphaChild = ChildWindow(Source(a, "a1.php"));
  alphaChild->NewFile(&static_cast<const FSRef&>(RefOf(Source(a, "a2.php"))), nullptr);
  TProjectWindow* beta = OpenProjectWindow(RefOf(b));
  TEditorWindow* betaChild = ChildWindow(Source(b, "b1.php"));
  EXPECT_EQ(alphaChild->Project, alpha->project);
  EXPECT_EQ(betaChild->Project, beta->project);
  EXPECT_EQ(alphaChild->GetActiveEditor()->project, alpha->project);

  EXPECT_TRUE(alpha->SaveDocumentList(nullptr));
  EXPECT_TRUE(beta->SaveDocumentList(nullptr));
  CFTypeRef alphaList = alpha->preferences->GetTypeValue(alpha->DocumentListKey());
  CFTypeRef betaList = beta->preferences->GetTypeValue(beta->DocumentListKey());
  EXPECT_EQ(NamesIn(alphaList), (std::vector<std::string>{"a1.php", "a2.php"}));
  EXPECT_EQ(NamesIn(betaList), (std::vector<std::string>{"b1.php"}));
  if (alphaList != nullptr) CFRelease(alphaList);
  if (betaList != nullptr) CFRelease(betaList);
  // Each project itself reopens at the next start.
  CFTypeRef appList = prefs->GetTypeValue(kApplicationDocumentListKey);
  std::vector<std::string> bundles = NamesIn(appList);
  if (appList != nullptr) CFRelease(appList);
  for (const fs::path& bundle : {a, b})
    EXPECT_NE(std::find(bundles.begin(), bundles.end(), FSGetDisplayName(RefOf(bundle)).str()), bundles.end());
}

TEST_F(ProjectWindowTest, ClosingTheWindowDetachesItsProjectsWindowsAndReopeningRestoresTheirDocuments) {
  const fs::path a = Project("Alpha", {"a1.php", "a2.php"}), b = Project("Beta", {"b1.php"});
  TProjectWindow* alpha = OpenProjectWindow(RefOf(a));
  TEditorWindow* alphaChild = ChildWindow(Source(a, "a1.php"));
  alphaChild->NewFile(&static_cast<const FSRef&>(RefOf(Source(a, "a2.php"))), nullptr);
  TProjectWindow* beta = OpenProjectWindow(RefOf(b));
  TEditorWindow* betaChild = ChildWindow(Source(b, "b1.php"));
  TProject* betaProject = beta->project;

  SInt32 status = 0;
  alpha->Close(status);
  // The project's window let go of it, 'PROJ' and all; the other project's
  // window kept its own.
  EXPECT_EQ(alphaChild->Project, nullptr);
  EXPECT_EQ(ProjectOf(alphaChild), nullptr);
  EXPECT_EQ(alphaChild->GetActiveEditor()->project, nullptr);
  EXPECT_EQ(alphaChild->preferences, nullptr);
  EXPECT_EQ(betaChild->Project, betaProject);
  EXPECT_EQ(ProjectOf(betaChild), betaProject);
  // A command in the detached window reaches no project.
  EXPECT_EQ(Command(alphaChild, 'COMP'), eventNotHandledErr);
  alphaChild->Remove();

  // Reopened, the project brings back its documents, bound to it.
  TProjectWindow* again = OpenProjectWindow(RefOf(a));
  ASSERT_NE(again, nullptr);
  auto* reopened = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(reopened, nullptr);
  EXPECT_NE(reopened, betaChild);
  EXPECT_EQ(reopened->Project, again->project);
  std::vector<std::string> names = DocumentNames(reopened);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a1.php", "a2.php"}));
}

// Run > Compile in a project window compiles the project, as the toolbar's
// Compile does.
TEST_F(ProjectWindowTest, RunCompileCompilesTheProject) {
  const fs::path bundle = Project("Site", {"a.php"});
  TProjectWindow* window = OpenProjectWindow(RefOf(bundle));
  ASSERT_NE(window, nullptr);
  TProject* project = window->project;
  project->AddFile(RefOf(Source(bundle, "a.php")), false);
  EXPECT_EQ(Command(window, 'ECMP'), noErr);
  EXPECT_EQ(project->compileCount, 1);
  EXPECT_NE(project->parser, nullptr);
  for (int i = 0; i < 20000 && project->parser != nullptr; ++i) HeadlessAdvanceClock(0.001);
  EXPECT_EQ(project->parser, nullptr);
}

TEST_F(ProjectWindowTest, TheToolbarPreferenceHidesTheToolbarButKeepsItsItems) {
  for (bool shown : {true, false}) {
    SCOPED_TRACE(shown);
    prefs->SetBooleanValue("GeneralEditorFeaturesProjectToolbar", shown);
    TProjectWindow* window = OpenProjectWindow(RefOf(Project(shown ? "Shown" : "Hidden")));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(bool(IsWindowToolbarVisible(window->window)), shown);
    ASSERT_NE(window->toolbar, nullptr);
    ASSERT_NE(window->toolbar->Items, nullptr);
    std::vector<std::string> items, expected = {"com.brindlecote.view.segmentview.toolbar.item",
                                                "com.apple.hitoolbox.toolbar.flexiblespace"};
    for (CFIndex i = 0; i < CFArrayGetCount(window->toolbar->Items); ++i)
      items.push_back(static_cast<const ToolbarItemRecord*>(CFArrayGetValueAtIndex(window->toolbar->Items, i))->Identifier.str());
    for (UInt32 command : {'new ', 'COMP', 'fINF', 'FNDP', 'pINF'})
      expected.push_back(window->toolbar->GetIdentifierFromCommandID(command).str());
    EXPECT_EQ(items, expected);
  }
}

TEST_F(ProjectWindowTest, TheModeCommandsSwitchTheSideAndFTPWithoutAServerSaysSo) {
  TProjectWindow* window = OpenProjectWindow(RefOf(Project("Site")));
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->symbolPane, nullptr);
  EXPECT_EQ(Command(window, 'Msym'), noErr);
  EXPECT_EQ(window->ShownPane(), window->symbolPane);
  EXPECT_EQ(static_cast<TSymbolBrowserPane*>(window->symbolPane)->fileSystem, window->project->GetFileSystem());

  // No server: the message, and the side stays as it was.
  EXPECT_EQ(Command(window, 'Mftp'), noErr);
  EXPECT_TRUE(AlertSaid(kProjectNoFTPMessage));
  EXPECT_EQ(window->ftpPane, nullptr);
  EXPECT_EQ(window->ShownPane(), window->symbolPane);

  EXPECT_EQ(Command(window, 'Mpro'), noErr);
  EXPECT_EQ(window->ShownPane(), window->project);
  // Project commands reach the project.
  EXPECT_EQ(Command(window, 'ADIR'), noErr);
  EXPECT_EQ(window->project->FindGroupByType(kProjectSourceType)->Items().size(), 1u);

  // Closed while another mode shows, the project still ends with its
  // window and keeps what was added.
  const FSRef bundle = window->bundle;
  Command(window, 'Msym');
  window->Remove();
  window = OpenProjectWindow(bundle);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->project->FindGroupByType(kProjectSourceType)->Items().size(), 1u);
}

TEST_F(ProjectWindowTest, AnIntegratedWindowShowsItsProjectBesideTheTabsAndSwitchesModes) {
  const fs::path bundle = Project("Site", {"index.php"});
  ASSERT_NE(ShellTargets.OpenEditorWindowIntegrated, nullptr);
  ShellTargets.OpenEditorWindowIntegrated(RefOf(bundle), GetDefaultOpenCommandOptions());
  auto* window = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->Integrated);
  ASSERT_NE(window->Project, nullptr);
  ASSERT_NE(window->SidePane, nullptr);
  ASSERT_NE(window->MainSplit, nullptr);
  EXPECT_EQ(window->MainSplit->GetPane(kSplitViewLeftPane), window->SidePane);
  EXPECT_EQ(window->GetModePane(), window->Project);
  EXPECT_EQ(window->SidePane->split->GetPane(kSplitViewTopPane), window->Project);
  ASSERT_NE(window->SidePane->symbolPane, nullptr);
  EXPECT_EQ(HIViewGetSuperview(window->SidePane->symbolPane->paneView),
            window->SidePane->FindPaneView('PANE', kSidePaneLowerPaneID));
  EXPECT_EQ(HIViewGetWindow(window->Project->paneView), window->window);

  EXPECT_EQ(Command(window, 'Msym'), eventNotHandledErr);
  EXPECT_EQ(window->GetModePane(), window->SymbolBrowser);
  EXPECT_EQ(window->SidePane->split->GetPane(kSplitViewTopPane), window->SymbolBrowser);
  Command(window, 'Mpro');
  EXPECT_EQ(window->GetModePane(), window->Project);
  Command(window, 'Mftp');
  EXPECT_TRUE(AlertSaid(kEditorNoFTPMessage));
  EXPECT_EQ(window->GetModePane(), window->Project);
  // The project's commands reach it.
  EXPECT_EQ(Command(window, 'ADIR'), noErr);
  // Closed in the symbols mode, every pane ends with the window.
  Command(window, 'Msym');
  SInt32 status = 0;
  window->Close(status);
  EXPECT_EQ(FrontEditorWindow(), nullptr);
}

// The window stands for the bundle through the project's document. A
// temporary project asks to be saved elsewhere before its window goes;
// declining closes it, and any other project closes at once.
TEST_F(ProjectWindowTest, TheWindowStandsForTheBundleAndATemporaryProjectAsksBeforeClosing) {
  auto sheetWindow = [] {
    for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
      if (HIViewFind(128, 'OPTI', w) != nullptr) return w;
    return WindowRef(nullptr);
  };
  auto alive = [](WindowRef window) {
    for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
      if (w == window) return true;
    return false;
  };
  for (const bool temporary : {true, false}) {
    SCOPED_TRACE(temporary ? "temporary" : "saved");
    const fs::path bundle = Project(temporary ? "Scratch" : "Site", {"index.php"});
    TProjectWindow* window = OpenProjectWindow(RefOf(bundle));
    ASSERT_NE(window, nullptr);
    TProject* project = window->project;
    ASSERT_NE(project->document, nullptr);
    EXPECT_EQ(FSCompareFSRefs(&project->document->file, &project->bundle), noErr);
    EXPECT_EQ(project->owner, window);
    CFStringRef title = nullptr;
    ASSERT_EQ(CopyWindowTitleAsCFString(window->window, &title), noErr);
    char text[256] = {0};
    CFStringGetCString(title, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(title);
    EXPECT_EQ(std::string(text), FSGetDisplayName(project->bundle).str());
    if (temporary) project->temporaryFolder = RefOf(bundle.parent_path());

    WindowRef windowRef = window->window;
    EXPECT_EQ(Command(window, kHICommandTWindowClose), noErr);
    if (temporary) {
      ASSERT_TRUE(alive(windowRef));
      WindowRef sheet = sheetWindow();
      ASSERT_NE(sheet, nullptr);
      EXPECT_EQ(HIViewGetText(HIViewFind(128, 'TITL', sheet)).str(), "Save project?");
      EXPECT_EQ(HIViewGetText(HIViewFind(128, 'MESS', sheet)).str(),
                "This project has not been saved. If not saved to a new location it will be deleted.");
      EXPECT_TRUE(HIViewIsVisible(HIViewFind(128, 'dont', sheet)));
      Command(GetWindowObject(sheet), 'dont');
    }
    EXPECT_EQ(sheetWindow(), nullptr);
    EXPECT_FALSE(alive(windowRef));
  }
}

// A compile reads a file open in the project's editor from its unsaved
// text, gives the editor the symbols found and tells the window; the text
// stays unsaved.
TEST_F(ProjectWindowTest, ACompileParsesAnOpenFileFromItsEditorAndKeepsItUnsaved) {
  static TSyntaxCollection* php = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    c->LoadLibrary("php");
    return c;
  }();
  const fs::path bundle = Project("Site");
  Write(Source(bundle, "shop.php"), "<?php\nfunction on_disk() {}\n");
  ShellTargets.OpenEditorWindowIntegrated(RefOf(bundle), GetDefaultOpenCommandOptions());
  auto* window = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(window, nullptr);
  TProject* project = window->Project;
  ASSERT_NE(project->GetFileSystem(), nullptr);
  project->GetFileSystem()->SetCollection(php);
  const FSRef file = RefOf(Source(bundle, "shop.php"));
  project->AddFile(file, false);
  window->NewFile(&file, nullptr);
  TEditorPane* pane = window->GetActiveEditor();
  ASSERT_NE(pane, nullptr);
  auto* document = dynamic_cast<TProjectDocument*>(pane->document);
  ASSERT_NE(document, nullptr);
  WEReference we = pane->editor->GetWE();
  for (int i = 0; i < 20000 && WEGetTextLength(we) == 0; ++i) HeadlessAdvanceClock(0.001);
  ASSERT_GT(WEGetTextLength(we), 0);
  const std::string edited = "<?php\nfunction in_editor() {}\n";
  WESetSelection(0, WEGetTextLength(we), we);
  WEPut(0, WEGetTextLength(we), edited.data(), edited.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, we);
  document->SetModifiedState(true);

  std::vector<std::string> told;
  static auto record = [](EventHandlerCallRef, EventRef event, void* data) -> OSStatus {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    TDocument* about = nullptr;
    GetEventParameter(event, kEventParamDocument, typeVoidPtr, nullptr, sizeof about, nullptr, &about);
    if (command.commandID == 'sptm' && about != nullptr)
      static_cast<std::vector<std::string>*>(data)->push_back(about->name.str());
    return eventNotHandledErr;
  };
  const EventTypeSpec spec{kEventClassCommand, kEventCommandProcess};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(window->window), record, 1, &spec, &told, &handler), noErr);
  // The editor's own parse indexed the file as it opened: forgotten, so the
  // compile takes it.
  project->GetFileSystem()->CleanAll();
  project->Compile();
  ASSERT_EQ(project->compileCount, 1);
  for (int i = 0; i < 200000 && project->parser != nullptr; ++i) HeadlessAdvanceClock(0.001);
  RemoveEventHandler(handler);
  ASSERT_EQ(project->parser, nullptr);

  SymbolInfoPtr info = nullptr;
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("in_editor", info));
  EXPECT_FALSE(project->GetFileSystem()->GetSymbol("on_disk", info));
  EXPECT_EQ(told, std::vector<std::string>{"shop.php"});
  std::vector<std::string> functions;
  for (UInt16 i = 1; pane->editor->functionsMenu != nullptr && i <= CountMenuItems(pane->editor->functionsMenu); ++i)
  {
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(pane->editor->functionsMenu, i, &text);
    char buffer[256] = {0};
    if (text != nullptr) CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
    if (text != nullptr) CFRelease(text);
    functions.push_back(buffer);
  }
  EXPECT_NE(std::find(functions.begin(), functions.end(), "in_editor"), functions.end())
      << ::testing::PrintToString(functions);
  EXPECT_TRUE(document->modified);
  EXPECT_EQ(ReadFile(Source(bundle, "shop.php")), "<?php\nfunction on_disk() {}\n");
}

// A file whose tab closes while a compile waits to read it is read from
// disk instead of from the editor that went.
TEST_F(ProjectWindowTest, AFileClosedDuringACompileIsReadFromDisk) {
  static TSyntaxCollection* php = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    c->LoadLibrary("php");
    return c;
  }();
  const fs::path bundle = Project("Site");
  Write(Source(bundle, "a.php"), "<?php\nfunction a_on_disk() {}\n");
  Write(Source(bundle, "b.php"), "<?php\nfunction b_on_disk() {}\n");
  ShellTargets.OpenEditorWindowIntegrated(RefOf(bundle), GetDefaultOpenCommandOptions());
  auto* window = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(window, nullptr);
  TProject* project = window->Project;
  ASSERT_NE(project->GetFileSystem(), nullptr);
  project->GetFileSystem()->SetCollection(php);
  std::vector<TEditorPane*> panes;
  for (const char* name : {"a.php", "b.php"}) {
    const FSRef file = RefOf(Source(bundle, name));
    project->AddFile(file, false);
    window->NewFile(&file, nullptr);
    panes.push_back(window->GetActiveEditor());
    ASSERT_NE(panes.back(), nullptr);
    WEReference we = panes.back()->editor->GetWE();
    for (int i = 0; i < 20000 && WEGetTextLength(we) == 0; ++i) HeadlessAdvanceClock(0.001);
  }
  WEReference we = panes[0]->editor->GetWE();
  const std::string edited = "<?php\nfunction a_in_editor() {}\n";
  WEPut(0, WEGetTextLength(we), edited.data(), edited.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, we);
  project->GetFileSystem()->CleanAll();
  project->Compile();
  ASSERT_EQ(project->compileCount, 2);
  // Closed without saving.
  panes[0]->document->SetModifiedState(false);
  panes[0]->Close();
  for (int i = 0; i < 200000 && project->parser != nullptr; ++i) HeadlessAdvanceClock(0.001);
  ASSERT_EQ(project->parser, nullptr);
  SymbolInfoPtr info = nullptr;
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("a_on_disk", info));
  EXPECT_FALSE(project->GetFileSystem()->GetSymbol("a_in_editor", info));
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("b_on_disk", info));
}

// A file of a project opens in its editor with the editor font of the
// preferences, as in a plain window, whatever its per-file settings hold.
TEST_F(ProjectWindowTest, AProjectsFileTakesTheEditorFontOfAPlainWindow) {
  prefs->SetIntegerValue("StylesEditorFontSize", 15);
  const fs::path bundle = Project("Site", {"index.php"});
  const fs::path loose = scratch / "loose.php";
  Write(loose, "<?php echo 1; ?>\n");
  auto textSize = [](TEditorWindow* window) {
    TEditorPane* pane = window != nullptr ? window->GetActiveEditor() : nullptr;
    WEReference we = pane != nullptr && pane->editor != nullptr ? pane->editor->GetWE() : nullptr;
    Fixed points = 0;
    if (we != nullptr) EXPECT_EQ(WEGetOneAttribute(0, 'ptsz', &points, sizeof points, we), noErr);
    return std::make_pair(pane != nullptr && pane->document != nullptr ? pane->document->fontSize : SInt16(0),
                          SInt32(points >> 16));
  };
  TEditorWindow* plain = OpenEditorWindowWithFileRef(nullptr, RefOf(loose), GetDefaultOpenCommandOptions());
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(textSize(plain), std::make_pair(SInt16(15), SInt32(15)));

  ShellTargets.OpenEditorWindowIntegrated(RefOf(bundle), GetDefaultOpenCommandOptions());
  auto* window = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->Integrated);
  TPreferenceHandlerDictionary* info = window->Project->CopyFileInfo("index.php");
  info->SetStringValue("FileInfoRunMode", "Check Syntax");
  info->Synchronize();
  info->Release();
  const FSRef file = RefOf(Source(bundle, "index.php"));
  window->NewFile(&file, nullptr);
  ASSERT_NE(window->GetActiveEditor(), nullptr);
  ASSERT_EQ(window->GetActiveEditor()->document->name, Str63("index.php"));
  EXPECT_EQ(textSize(window), textSize(plain));
}

TEST_F(ProjectWindowTest, WithoutTheSymbolListTheModePaneGoesBelowAndTheSplitKeepsItsFirstPane) {
  auto* side = new TSidePane();
  side->Create("Side Pane", MainNib());
  ASSERT_NE(side->split, nullptr);
  ASSERT_NE(side->toolbar, nullptr);
  auto* first = new TModePane();
  first->Create("Project Pane", MainNib());
  auto* second = new TModePane();
  second->Create("Symbol Browser Pane", MainNib());

  prefs->SetBooleanValue("GeneralEditorFeaturesSymbolPane", true);
  side->SetModePane(first);
  EXPECT_EQ(side->split->GetPane(kSplitViewTopPane), first);
  prefs->SetBooleanValue("GeneralEditorFeaturesSymbolPane", false);
  side->SetModePane(second);
  EXPECT_EQ(side->split->GetPane(kSplitViewTopPane), first);
  EXPECT_EQ(HIViewGetSuperview(second->paneView), side->FindPaneView('PANE', kSidePaneLowerPaneID));
  EXPECT_TRUE(HIViewIsVisible(second->paneView));
  EXPECT_EQ(side->modePane, second);
  DisposeControl(side->paneView);
}

TEST_F(ProjectWindowTest, TheSideSplitPositionSurvivesClosingAndReopening) {
  const fs::path bundle = Project("Site");
  auto open = [&] {
    ShellTargets.OpenEditorWindowIntegrated(RefOf(bundle), GetDefaultOpenCommandOptions());
    return dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  };
  TEditorWindow* window = open();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->SidePane, nullptr);
  const SInt16 initial = window->SidePane->split->GetPosition();
  const SInt16 moved = initial + 57;
  window->SidePane->split->SetPosition(moved);
  ASSERT_EQ(window->SidePane->split->GetPosition(), moved);
  SInt32 status = 0;
  window->Close(status);

  window = open();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->SidePane, nullptr);
  EXPECT_EQ(window->SidePane->split->GetPosition(), moved);
}

}  // namespace
