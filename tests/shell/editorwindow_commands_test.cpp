// The editor window's decisions as tables: which run a command starts, which
// preview mode and server a preview uses, which menu items and toolbar items
// a pane state enables (commands of units built later stay disabled), and
// the window's run and preview commands reaching the pane with the file's
// and the project's settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TProjectUnit.h"
#include "TPreferencesUnit.h"

namespace {

using Choice = EditorRunChoice;

TEST(EditorRunModes, TheCommandOrTheFilesAndProjectsModeChooseTheRun) {
  struct Case {
    UInt32 command;
    bool project;
    const char* file;
    const char* projectMode;
    Choice expected;
  } cases[] = {
      // Without a project the command decides.
      {'EXEC', false, "Run in Terminal Mode", "Check Syntax", {Choice::kScript, 2}},
      {'exeD', false, "", "", {Choice::kScript, 2}},
      {'exeP', false, "", "", {Choice::kScript, 3}},
      {'EXCS', false, "", "", {Choice::kScript, 4}},
      {'exeT', false, "", "", {Choice::kTerminal, 0}},
      // With one, 'EXEC' follows the file, then the project.
      {'EXEC', true, "Default", "Run in Terminal Mode", {Choice::kTerminal, 0}},
      {'EXEC', true, "", "Run & Preview", {Choice::kScript, 3}},
      {'EXEC', true, "Check Syntax", "Run & Debug", {Choice::kScript, 4}},
      {'EXEC', true, "Run & Debug", "", {Choice::kScript, 2}},
      {'EXEC', true, "Default", "", {}},         // nothing is run
      {'EXEC', true, "Default", "Default", {}},  // nor here
      {'EXEC', true, "Sideways", "Run & Debug", {}},
      // The other commands keep their own meaning in a project.
      {'exeT', true, "Run & Debug", "Run & Debug", {Choice::kTerminal, 0}},
      {'EXCS', true, "Run & Debug", "", {Choice::kScript, 4}},
      {'abcd', false, "", "", {}},
  };
  for (const Case& c : cases) {
    const Choice got = ResolveRunCommand(c.command, c.project, c.file, c.projectMode);
    EXPECT_TRUE(got == c.expected) << std::string(reinterpret_cast<const char*>(&c.command), 4) << " " << c.file
                                   << " / " << c.projectMode << " gave " << int(got.action) << "," << got.mode;
  }
}

CFDictionaryRef Info(std::vector<std::pair<const char*, CFTypeRef>> values) {
  CFMutableDictionaryRef info =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  for (auto& [key, value] : values) {
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFDictionarySetValue(info, k, value);
    CFRelease(k);
  }
  return info;
}

struct ServerTest : ::testing::Test {
  TPreferenceHandlerApplication* prefs = nullptr;
  void SetUp() override {
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("servertest.");
    CFMutableArrayRef servers = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (const char* name : {"live", "staging"}) {
      FTPServerInfo info = NewFTPServerInfo();
      info.Name = name;
      info.Host = Str255(std::string(name) + ".example");
      info.WebAddress = Str255("http://" + std::string(name) + ".example");
      CFDataRef data = CreateFTPServerData(info);
      CFArrayAppendValue(servers, data);
      CFRelease(data);
    }
    prefs->SetTypeValue("FTPServers", servers);
    CFRelease(servers);
    // Previews stay in the program unless a test says otherwise.
    prefs->SetBooleanValue("GeneralUsePreviewApplication", false);
    AppPrefs = prefs;
  }
  void TearDown() override {
    AppPrefs = nullptr;
    prefs->RemoveValue("FTPServers");
    prefs->RemoveValue("GeneralUsePreviewApplication");
    prefs->Release();
  }
};

TEST_F(ServerTest, APreviewTakesTheFilesServerWithItsFolderOrElseTheProjects) {
  struct Case {
    const char* what;
    const char* fileServer;
    const char* directory;
    const char* arguments;
    bool fileExternal;
    const char* projectServer;
    bool found;
    const char* name;
    const char* web;
    const char* query;
    bool external;
  } cases[] = {
      {"file server and folder", "staging", "docs", "a=1", false, "live", true, "staging",
       "http://staging.example/docs", "a=1", false},
      {"file server, no folder", "staging", "", "", true, "live", true, "staging", "http://staging.example", "", true},
      {"the project's", "", "docs", "a=1", false, "live", true, "live", "http://live.example", "", false},
      {"an unknown file server", "gone", "docs", "a=1", false, "live", true, "live", "http://live.example", "", false},
      {"none at all", "", "", "", true, "", false, "", "", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CFStringRef server = CFStringCreateWithCString(nullptr, c.fileServer, kCFStringEncodingUTF8);
    CFStringRef directory = CFStringCreateWithCString(nullptr, c.directory, kCFStringEncodingUTF8);
    CFStringRef arguments = CFStringCreateWithCString(nullptr, c.arguments, kCFStringEncodingUTF8);
    CFDictionaryRef info = Info({{"FileInfoServer", server},
                                 {"FileInfoDirectory", directory},
                                 {"FileInfoGETArguments", arguments},
                                 {"FileInfoPreviewExternal", c.fileExternal ? kCFBooleanTrue : kCFBooleanFalse}});
    FTPServerInfo record{};
    Boolean external = false;
    EXPECT_EQ(ResolvePreviewServer(info, c.projectServer, record, external), c.found);
    EXPECT_EQ(record.Name.str(), c.name);
    EXPECT_EQ(record.WebAddress.str(), c.web);
    EXPECT_EQ(record.Query.str(), c.query);
    EXPECT_EQ(external, c.external);
    for (CFTypeRef t : {CFTypeRef(server), CFTypeRef(directory), CFTypeRef(arguments), CFTypeRef(info)}) CFRelease(t);
  }
}

TEST(EditorPreviewModes, EachPreviewCommandNamesItsModeAndApplication) {
  EXPECT_EQ(ResolvePreviewMode("", "Server").str(), "Server");
  EXPECT_EQ(ResolvePreviewMode("Default", "Localhost").str(), "Localhost");
  EXPECT_EQ(ResolvePreviewMode("Disk", "Server").str(), "Disk");
  FSRef application{};
  application.hidden[0] = 1;
  FTPServerInfo server{};
  server.Name = "live";
  struct Case {
    UInt32 command;
    bool externalPref;
    const char* mode;
    bool external;
    bool withApplication;
  } cases[] = {
      {'prvf', false, "Server", false, true},  {'prvD', true, "Disk", true, false},
      {'prvS', false, "Server", false, false}, {'prvL', false, "Localhost", false, false},
      {'prvB', false, "Server", true, false},  // always the external application
  };
  for (const Case& c : cases) {
    const EditorPreviewRequest r = ResolvePreviewCommand(c.command, "Server", c.externalPref, application, server);
    EXPECT_EQ(r.mode.str(), c.mode) << c.command;
    EXPECT_EQ(bool(r.external), c.external) << c.command;
    EXPECT_EQ(FSValidFSRef(r.application) != 0, c.withApplication) << c.command;
    EXPECT_EQ(r.server.Name.str(), "live");
  }
}

// ---------------------------------------------------------------------------

EditorPaneState Editor() {
  EditorPaneState s;
  s.kind = EditorPaneState::kEditor;
  s.supportsRun = s.findAvailable = s.supportsPreview = s.fileExists = true;
  return s;
}

TEST(EditorCommandStatusTable, MenuItemsFollowThePane) {
  EditorPaneState plain = Editor();
  EditorPaneState withPreview = Editor();
  withPreview.previewUnit = true;
  EditorPaneState project = withPreview;
  project.hasProject = project.projectServer = project.supportsFTP = true;
  project.lowerIsFindPane = project.hasLowerPane = true;
  project.fileInfoUnit = true;
  EditorPaneState overlaid = withPreview;
  overlaid.findAvailable = false;
  overlaid.previewInPlace = true;
  EditorPaneState script = Editor();
  script.supportsRun = false;
  EditorPaneState none;
  EditorPaneState page;
  page.kind = EditorPaneState::kPreview;
  page.previewUnit = true;
  EditorPaneState unsavedProject = project;
  unsavedProject.fileExists = false;
  EditorPaneState projectNoServer = project;
  projectNoServer.supportsFTP = false;

  struct Case {
    UInt32 command;
    const EditorPaneState* state;
    bool enabled;
  } cases[] = {
      {'EXEC', &plain, true},  {'exeT', &plain, true},  {'EXEC', &script, false}, {'EXEC', &none, false},
      {'EXEC', &page, false},
      // A run that previews its page, and the previews, need the preview unit.
      {'exeP', &plain, false}, {'exeP', &withPreview, true}, {'prvD', &plain, false}, {'prvD', &withPreview, true},
      {'prvW', &withPreview, true}, {'prvf', &withPreview, true}, {'prvB', &plain, false},
      {'prvS', &withPreview, false}, {'prvS', &project, true}, {'prvL', &withPreview, false},
      // Run & Show Errors runs what Run runs.
      {'Xerr', &plain, true}, {'Xerr', &script, false}, {'Xerr', &page, false},
      {'FIND', &plain, true},  {'REPL', &overlaid, false}, {'FNDP', &plain, false}, {'FNDP', &project, true},
      {'FndS', &plain, false}, {'FndS', &project, true},  {'FndT', &project, true}, {'FndT', &plain, false},
      {'WFdN', &project, true},  {'RePA', &overlaid, false},
      // Upload: a saved project file whose own server is known.
      {'uplo', &plain, false}, {'uplo', &project, true}, {'uplo', &unsavedProject, false},
      {'uplo', &projectNoServer, false},
      {'cEDT', &overlaid, true}, {'cEDT', &plain, false}, {'cPAN', &project, true}, {'cPAN', &plain, false},
      {'Mftp', &project, true}, {'Mftp', &plain, false}, {'Mpro', &project, true}, {'Msym', &plain, false},
      {'fINF', &project, true}, {'fINF', &plain, false},
  };
  for (const Case& c : cases) {
    Boolean enabled = !c.enabled;
    EXPECT_TRUE(EditorCommandStatus(c.command, *c.state, enabled)) << std::string(reinterpret_cast<const char*>(&c.command), 4);
    EXPECT_EQ(bool(enabled), c.enabled) << std::string(reinterpret_cast<const char*>(&c.command), 4);
  }
  Boolean untouched = true;
  EXPECT_FALSE(EditorCommandStatus('save', plain, untouched));
  EXPECT_FALSE(EditorCommandStatus('FndU', project, untouched));  // past the range
  EXPECT_FALSE(EditorCommandStatus('FndR', project, untouched));
  // The project menu: only with a project; renaming and upload need a selection.
  EXPECT_FALSE(EditorProjectMenuStatus('NEWG', false, true));
  EXPECT_TRUE(EditorProjectMenuStatus('NEWG', true, false));
  EXPECT_FALSE(EditorProjectMenuStatus('RENM', true, false));
  // Upload sends the selection; publishing needs only the project.
  EXPECT_TRUE(EditorProjectMenuStatus('uplo', true, true));
  EXPECT_FALSE(EditorProjectMenuStatus('uplo', true, false));
  EXPECT_TRUE(EditorProjectMenuStatus('pubx', true, false));
  EXPECT_FALSE(EditorProjectMenuStatus('pubx', false, false));
  EXPECT_EQ(EditorProjectMenuStatus('pINF', true, false), ProjectGetDialogHooks().OpenProjectInfo != nullptr);
}

TEST(EditorToolbarStatusTable, ToolbarItemsFollowThePaneAndTheProject) {
  EditorPaneState saved = Editor();
  saved.previewUnit = true;
  EditorPaneState untitled = saved;
  untitled.fileExists = false;
  EditorPaneState page;
  page.kind = EditorPaneState::kPreview;

  EditorToolbarState s = EditorToolbarStatus(page, true, true, true);
  // A page: run, preview, upload, search and find off; the rest and the look stay.
  EXPECT_EQ(s.run, false);
  EXPECT_EQ(s.preview, false);
  EXPECT_EQ(s.upload, false);
  EXPECT_EQ(s.search, false);
  EXPECT_EQ(s.find, false);
  EXPECT_FALSE(s.info.has_value());
  EXPECT_FALSE(s.compile.has_value());
  EXPECT_FALSE(s.redraw);

  struct Case {
    const char* what;
    EditorPaneState pane;
    bool project, projectFTP, paneFTP;
    bool run, info, compile, upload;
    std::optional<bool> ftp;
  } cases[] = {
      {"saved, no project", saved, false, false, false, true, false, false, false, std::nullopt},
      {"untitled, no project", untitled, false, false, false, false, false, false, false, std::nullopt},
      // The project compiles its sources whatever the window shows.
      {"untitled, project", untitled, true, true, true, false, false, true, false, std::nullopt},
      // Upload needs a saved file whose own server is known.
      {"saved, project with FTP", saved, true, true, true, true, false, true, true, true},
      {"saved, project, file without server", saved, true, true, false, true, false, true, false, true},
      {"saved, project without FTP", saved, true, false, false, true, false, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s = EditorToolbarStatus(c.pane, c.project, c.projectFTP, c.paneFTP);
    EXPECT_EQ(s.run, c.run);
    EXPECT_EQ(s.info, c.info);  // the file information window comes later
    EXPECT_EQ(s.compile, c.compile);
    EXPECT_EQ(s.upload, c.upload);
    EXPECT_EQ(s.ftpSegment, c.ftp);
    EXPECT_EQ(s.find, true);
    EXPECT_TRUE(s.redraw);
  }
  EditorPaneState withInfo = saved;
  withInfo.fileInfoUnit = true;
  EXPECT_EQ(EditorToolbarStatus(withInfo, true, false, false).info, true);
  // No pane at all: nothing to run, find or preview.
  s = EditorToolbarStatus(EditorPaneState{}, false, false, false);
  EXPECT_EQ(s.run, false);
  EXPECT_EQ(s.find, false);
  EXPECT_EQ(s.preview, false);
  EXPECT_EQ(s.compile, false);
  // A project's window with no file open still compiles the project.
  s = EditorToolbarStatus(EditorPaneState{}, true, false, false);
  EXPECT_EQ(s.compile, true);
  EXPECT_EQ(s.run, false);
}

// ---------------------------------------------------------------------------
// The window's commands reach the pane with the file's and project's modes.

std::vector<std::string> gCalls;

class TRecordingPane : public TEditorPane {
 public:
  void RunScript(SInt16 mode) override { gCalls.push_back("RunScript " + std::to_string(mode)); }
  void RunTerminal() override { gCalls.push_back("RunTerminal"); }
  void PreviewDocument(const Str63& mode, Boolean useApplication, const FSRef* application,
                       const FTPServerInfo& server) override {
    gCalls.push_back("Preview " + mode.str() + (useApplication ? " external" : "") +
                     (application != nullptr ? " app" : "") + " " + server.Name.str());
  }
};

int gProjectObject = 0;
TProject* const kProject = reinterpret_cast<TProject*>(&gProjectObject);
TPreferenceHandlerDictionary* gProjectPrefs = nullptr;
CFDictionaryRef gFileInfo = nullptr;

TEST_F(ServerTest, RunAndPreviewCommandsReadTheFileAndTheProject) {
  EditorWindowHooks hooks{};
  hooks.ProjectPreferences = [](TProject*) -> TPreferenceHandler* { return gProjectPrefs; };
  hooks.CopyFileInfo = [](TProject*, const Str63&) -> CFDictionaryRef {
    return gFileInfo != nullptr ? CFDictionaryRef(CFRetain(gFileInfo)) : nullptr;
  };
  EditorWindowSetHooks(&hooks);
  gProjectPrefs = new TPreferenceHandlerDictionary();
  gProjectPrefs->Create("projecttest", prefs);
  gProjectPrefs->SetStringValue("ProjectRunMode", "Run in Terminal Mode");
  gProjectPrefs->SetStringValue("ProjectMode", "Server");
  gProjectPrefs->SetStringValue("ProjectServer", "live");
  gFileInfo = Info({{"FileInfoRunMode", CFSTR("Default")}, {"FileInfoPreviewMode", CFSTR("Default")}});

  auto* document = new TSourceDocument();
  document->CreateEmpty();
  document->name = "page.php";
  auto* pane = new TRecordingPane();
  pane->document = document;
  TEditorWindow window;  // never shown: only its commands are used
  window.Project = kProject;
  gCalls.clear();
  window.HandleRunCommand('EXEC', pane);
  window.HandleRunCommand('exeD', pane);
  window.Project = nullptr;
  window.HandleRunCommand('EXEC', pane);
  window.HandleErrorCommand('Xerr', pane);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"RunTerminal", "RunScript 2", "RunScript 2", "RunScript 2"}));

  gCalls.clear();
  HICommand command{};
  command.commandID = 'prvf';
  window.HandlePreviewCommand(command, pane);  // no project: from disk
  window.Project = kProject;
  window.HandlePreviewCommand(command, pane);  // the project's mode and server (an untitled file)
  command.commandID = 'prvB';
  window.HandlePreviewCommand(command, pane);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"Preview Disk ", "Preview Server live", "Preview Server external live"}));

  window.Project = nullptr;
  EditorWindowSetHooks(nullptr);
  pane->document = nullptr;
  document->Release();
  delete pane;
  CFRelease(gFileInfo);
  gProjectPrefs->Release();
}

}  // namespace
