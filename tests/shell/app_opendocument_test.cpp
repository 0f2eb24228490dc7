// Where an opened item goes: folders, project bundles, files named inside a
// project, URLs and plain files, by the front editor window's tabs and kind;
// what may enter the recent items.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AppShellTestSupport.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

using namespace appshell;

namespace {

std::vector<std::string> gLog;
std::map<TWindow*, std::string> gLabels;
std::map<TWindow*, bool> gTabs, gIntegrated;
std::map<void*, std::string> gProjects;
FSRef gResolved{};

std::string Label(TWindow* w) { return gLabels.count(w) ? gLabels[w] : "?"; }

ApplicationShellTargets Recorders() {
  ApplicationShellTargets t;
  t.OpenEditorWindowEmpty = [](const ApplicationOpenCommandOptions&) { gLog.push_back("empty window"); };
  t.OpenEditorWindowIntegrated = [](const FSRef& bundle, const ApplicationOpenCommandOptions&) {
    gLog.push_back("integrated " + NameOf(bundle));
  };
  t.OpenProjectWindow = [](const FSRef& bundle) { gLog.push_back("project window " + NameOf(bundle)); };
  t.OpenEditorWindowWithURL = [](const Str255& url, const ApplicationOpenCommandOptions&) {
    gLog.push_back("new window url " + url.str());
  };
  t.OpenEditorWindowWithFileRef = [](const FSRef& file, const ApplicationOpenCommandOptions&) {
    gLog.push_back("new window " + NameOf(file));
  };
  t.EditorWindowHasTabs = [](TWindow* w) -> Boolean { return gTabs[w]; };
  t.EditorWindowIsIntegrated = [](TWindow* w) -> Boolean { return gIntegrated[w]; };
  t.EditorWindowNewURL = [](TWindow* w, const Str255& url) { gLog.push_back("in " + Label(w) + " url " + url.str()); };
  t.EditorWindowNewFile = [](TWindow* w, const FSRef& file) { gLog.push_back("in " + Label(w) + " " + NameOf(file)); };
  t.SetDocumentSelection = [](TDocument* document, const Str255& query, SInt16 line) {
    gLog.push_back("select " + document->name.str() + " '" + query.str() + "' " + std::to_string(line));
  };
  t.OpenSaveProjectWindow = [](const FSRef& folder, const Str255& title, const Str255& message) {
    gLog.push_back("offer project " + NameOf(folder) + " | " + title.str() + " | " + message.str());
  };
  t.ResolveProjectFile = [](void* project, const Str63& name, FSRef& file) -> Boolean {
    gLog.push_back("resolve in " + gProjects[project] + " " + name.str());
    if (name.str() != "found.php") return false;
    file = gResolved;
    return true;
  };
  return t;
}

class TLabelledWindow : public TWindow {
 public:
  FSRef holds{};
  Boolean CompareDocumentRoot(const FSRef& file) override {
    return FSValidFSRef(holds) && FSCompareFSRefs(&holds, &file) == noErr;
  }
};

class AppOpenDocument : public ::testing::Test {
 protected:
  ScratchFolder folder{"open"};
  ApplicationShellTargets saved;
  std::vector<TLabelledWindow*> windows;

  void SetUp() override {
    StartOnce();
    saved = ShellTargets;
    ShellTargets = Recorders();
    gLog.clear();
    HeadlessClearAlertLog();
    folder.Write("a.php", "<?php echo 1; ?>\n");
    folder.Write("found.php", "<?php echo 2; ?>\n");
    folder.Folder("Site");
    folder.Folder("Shop.qvproj");
    folder.Folder("Shop.qvproj.old");
    gResolved = folder.Ref("found.php");
  }
  void TearDown() override {
    for (TLabelledWindow* w : windows) CloseApplicationWindow(w->window);
    ShellTargets = saved;
    MyApplication->preferences->RemoveValue("GeneralEditorFeaturesProject");
  }
  TLabelledWindow* Window(const std::string& label, SInt16 kind, bool tabs, bool integrated = false) {
    auto* w = new TLabelledWindow();
    w->Create("AppWindow", ApplicationNib);
    EXPECT_NE(w->window, nullptr);
    SetWindowKind(w->window, kind);
    w->Show();
    gLabels[w] = label;
    gTabs[w] = tabs;
    gIntegrated[w] = integrated;
    windows.push_back(w);
    return w;
  }
  void Open(const std::string& item, ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions()) {
    Boolean handled = false;
    MyApplication->OpenDocument(folder.Ref(item), handled, options);
  }
  std::vector<std::string> Alerts() {
    std::vector<std::string> texts;
    for (const auto& record : HeadlessCopyAlertLog()) texts.push_back(record.explanation);
    return texts;
  }
};

enum Front { kNoFront, kTabs, kNoTabs, kIntegratedTabs };

TEST_F(AppOpenDocument, EachItemGoesWhereItsKindAndTheFrontWindowSay) {
  const std::string offer =
      " | Create New Project | Choose a location and creation method for the new project.";
  struct Case {
    const char* name;
    const char* item;
    Front front;
    bool noProjectWindow;
    const char* url;
    bool integratedProjects;
    std::vector<std::string> log;
  } cases[] = {
      {"plain folder", "Site", kTabs, false, "", true, {"offer project Site" + offer}},
      {"folder with text after .qvproj", "Shop.qvproj.old", kNoFront, false, "", true,
       {"offer project Shop.qvproj.old" + offer}},
      {"project bundle, integrated", "Shop.qvproj", kTabs, false, "", true, {"integrated Shop.qvproj"}},
      {"project bundle, own window", "Shop.qvproj", kNoFront, false, "", false, {"project window Shop.qvproj"}},
      {"file, no editor window", "a.php", kNoFront, false, "", true, {"new window a.php"}},
      {"file, front with tabs", "a.php", kTabs, false, "", true, {"in front a.php"}},
      {"file, front without tabs", "a.php", kNoTabs, false, "", true, {"new window a.php"}},
      {"file, integrated front with tabs", "a.php", kIntegratedTabs, false, "", true, {"in front a.php"}},
      {"desktop open, plain front with tabs", "a.php", kTabs, true, "", true, {"in front a.php"}},
      {"desktop open, integrated front", "a.php", kIntegratedTabs, true, "", true, {"new window a.php"}},
      {"URL, front with tabs", "a.php", kTabs, false, "http://localhost/a.php", true,
       {"in front url http://localhost/a.php"}},
      {"URL, no editor window", "a.php", kNoFront, false, "http://localhost/a.php", true,
       {"new window url http://localhost/a.php"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gLog.clear();
    MyApplication->preferences->SetBooleanValue("GeneralEditorFeaturesProject", c.integratedProjects);
    if (c.front != kNoFront) Window("front", kEditorWindowKind, c.front != kNoTabs, c.front == kIntegratedTabs);
    ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
    options.newWindow = c.noProjectWindow;
    options.url = c.url;
    Open(c.item, options);
    EXPECT_EQ(gLog, c.log);
    EXPECT_TRUE(Alerts().empty());
    for (TLabelledWindow* w : windows) CloseApplicationWindow(w->window);
    windows.clear();
  }
}

// A file named inside the front project: the project window's project wins
// over the editor window's; without a project, or where it cannot be found,
// the user is told and nothing opens.
TEST_F(AppOpenDocument, FilesNamedInsideAProjectAreFoundThere) {
  int editorProject = 1, windowProject = 2;
  gProjects = {{&editorProject, "editor's project"}, {&windowProject, "window's project"}};
  auto named = [](const char* name) {
    ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
    options.fileName = name;
    return options;
  };

  Open("a.php", named("found.php"));
  EXPECT_TRUE(gLog.empty());
  EXPECT_EQ(Alerts(), std::vector<std::string>{
                          "The file found.php could not be opened becuase there is no project to accept it."});

  TLabelledWindow* editor = Window("editor", kEditorWindowKind, true);
  TWindowSetProperty(kEditorWindowProjectTag, &editorProject, kObjectReferenceSize, editor->window);
  HeadlessClearAlertLog();
  gLog.clear();
  Open("a.php", named("missing.php"));
  EXPECT_EQ(gLog, std::vector<std::string>{"resolve in editor's project missing.php"});
  EXPECT_EQ(Alerts(), std::vector<std::string>{"The file missing.php could not be located in the project."});

  TLabelledWindow* projectWindow = Window("project", kProjectWindowKind, false);
  TWindowSetProperty(kEditorWindowProjectTag, &windowProject, kObjectReferenceSize, projectWindow->window);
  SelectWindow(editor->window);
  HeadlessClearAlertLog();
  gLog.clear();
  Open("a.php", named("found.php"));
  EXPECT_EQ(gLog, (std::vector<std::string>{"resolve in window's project found.php", "in editor found.php"}));
  EXPECT_TRUE(Alerts().empty());
}

// An item a window already holds is brought forward, not opened again,
// unless the desktop asked (which opens it again); the text and line of the
// request go to the front editor window's active document either way.
TEST_F(AppOpenDocument, AnOpenItemComesForwardAndTakesTheSelection) {
  TLabelledWindow* holder = Window("holder", kEditorWindowKind, true);
  holder->holds = folder.Ref("a.php");
  auto* document = new TDocument();
  document->CreateEmpty();
  document->name = "a.php";
  holder->AppendDocument(document);
  holder->documents->active = document;

  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.queryString = "echo";
  options.defaultLine = 3;
  Open("a.php", options);
  EXPECT_EQ(gLog, std::vector<std::string>{"select a.php 'echo' 3"});

  gLog.clear();
  options.newWindow = true;
  options.queryString = "";
  Open("a.php", options);
  EXPECT_EQ(gLog, (std::vector<std::string>{"in holder a.php", "select a.php '' 3"}));

  gLog.clear();
  Open("a.php");  // neither text nor line: no selection
  EXPECT_TRUE(gLog.empty());
}

TEST_F(AppOpenDocument, OnlyFilesAndProjectBundlesAreRecentItems) {
  folder.Folder("Shop.qvprojx");
  const std::pair<const char*, bool> cases[] = {{"a.php", true},
                                                {"Site", false},
                                                {"Shop.qvproj", true},
                                                {"Shop.qvproj.old", false},
                                                {"Shop.qvprojx", false}};
  for (const auto& [item, accepted] : cases) EXPECT_EQ(MyApplication->AcceptRecentItem(folder.Ref(item)), accepted) << item;
}

}  // namespace
