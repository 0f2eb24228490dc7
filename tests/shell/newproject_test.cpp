// New projects over real folders and the application's own templates: the
// tree and user paths an imported folder gives in each mode, the depth
// limit, bundle names that keep their extension, failures that leave nothing
// behind and are told, and the save-project sheet driving the import task
// through the main loop up to the open-document command.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFData.h"
#include "CarbonEvents.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TDemoApplicationUnit.h"
#include "TNewProjectUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"
#include "brackenrow/Browser.h"
#include "brackenrow/DiskUtilities.h"

namespace {

namespace fs = std::filesystem;

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096] = {0};
  FSRefMakePath(&ref, path, sizeof path);
  return reinterpret_cast<char*>(path);
}

void Write(const fs::path& path, const std::string& text = "x") {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The tree file as lines "index parent type name [item index, upload]",
// depth first.
void Describe(CFTreeRef tree, std::vector<std::string>& lines) {
  for (CFIndex i = 0; i < CFTreeGetChildCount(tree); ++i) {
    CFTreeRef child = CFTreeGetChildAtIndex(tree, i);
    NodeInfoPtr node = BrackenrowGetNode(child);
    std::string line = std::to_string(node->INDEX) + " " + std::to_string(node->PARENT) + " ";
    auto* bytes = static_cast<const UInt8*>(node->DATA);
    if (node->DATATYPE == kProjectFolderType) {
      line += "FOLD " + DecodeProjectFolderName(bytes, node->DATALENGTH).str() + (node->CONTAINER ? "" : " ?");
    } else {
      const ProjectItemData item = DecodeProjectItemData(bytes, node->DATALENGTH);
      line += (node->DATATYPE == 'TTXT' ? "TTXT " : "? ") + item.name.str() + " " + std::to_string(item.index) +
              (item.needsUpload ? " upload" : "") + (node->DATALENGTH == kProjectItemDataSize ? "" : " ?");
    }
    lines.push_back(line);
    Describe(child, lines);
  }
}

std::vector<std::string> TreeLines(const fs::path& bundle) {
  std::vector<std::string> lines;
  CFTreeRef tree = CFTreeReadPropertyList(Ref(bundle / "Contents/Resources/Data/sources.plist"), nullptr, nullptr);
  if (tree == nullptr) return lines;
  Describe(tree, lines);
  CFRelease(tree);
  return lines;
}

std::vector<std::string> UserPaths(const fs::path& bundle) {
  auto* prefs = new TPreferenceHandlerFile();
  prefs->SetFile(Ref(bundle / "Contents/Resources/Preferences/project.plist"));
  std::vector<std::string> result;
  for (CFIndex i = 0;; ++i) {
    auto data = static_cast<CFDataRef>(prefs->GetArrayValue("UserPaths", i));
    if (data == nullptr) break;
    const UserPathInfo info = DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data));
    result.push_back(std::to_string(info.kind) + (info.enabled ? " " : " off ") + info.path.str());
  }
  prefs->Release();
  return result;
}

std::vector<std::string> Alerts() {
  std::vector<std::string> texts;
  for (const HeadlessAlertRecord& record : HeadlessCopyAlertLog())
    texts.push_back(record.explanation.empty() ? record.error : record.explanation);
  return texts;
}

class NewProjectTest : public ::testing::Test {
 protected:
  fs::path root;   // scratch
  fs::path site;   // the folder to import
  fs::path place;  // where projects are made

  void SetUp() override {
    root = fs::path(getenv("TMPDIR")) /
           (std::string("newproject-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    site = root / "site";
    place = root / "Projects";
    fs::create_directories(place);
    // Sorted, the folder reads: .hidden, a.php, css (print.css, site.css),
    // empty, zlink (a link to css).
    Write(site / ".hidden");
    Write(site / "a.php", "<?php echo 1; ?>\n");
    Write(site / "css/print.css");
    Write(site / "css/site.css");
    fs::create_directories(site / "empty");
    fs::create_directory_symlink("css", site / "zlink");  // relative: it moves with the folder
    HeadlessClearAlertLog();
    HeadlessClearAlertAnswers();
  }

  fs::path MakeProject(const std::string& name) {
    const FSRef bundle = CreateNewProject(name, kProjectTemplateName, Ref(place));
    EXPECT_TRUE(FSRefExists(bundle)) << name;
    return PathOf(bundle);
  }
};

}  // namespace

TEST_F(NewProjectTest, ImportedFolderGivesTreeUserPathsAndSources) {
  // Entry 1 is the hidden file: it takes an index but gets no node; the
  // link to a folder is left out as well; the empty folder records no path.
  const std::vector<std::string> tree = {
      "2 0 TTXT a.php 2 upload", "3 0 FOLD css", "4 3 TTXT print.css 4 upload", "5 3 TTXT site.css 5 upload",
      "6 0 FOLD empty"};
  struct Case {
    SInt16 mode;
    std::vector<std::string> paths;
    std::vector<std::string> sources;  // of the project's Sources folder
    bool folderStays;
  };
  const std::string abs = site.string();
  const Case cases[] = {
      {kImportInPlace, {"1 " + abs, "1 " + abs + "/css"}, {}, true},
      {kImportCopy, {"3 Sources", "3 Sources/css"}, {".hidden", "a.php", "css", "empty", "zlink"}, true},
      {kImportMove, {"3 Sources", "3 Sources/css"}, {".hidden", "a.php", "css", "empty", "zlink"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const fs::path bundle = MakeProject("Site " + std::to_string(c.mode));
    // The template's placeholders are never part of a project.
    EXPECT_EQ(Entries(bundle.parent_path()),
              (std::vector<std::string>{"Resources", "Site " + std::to_string(c.mode) + ".qvproj", "Sources"}));
    EXPECT_TRUE(Entries(bundle.parent_path() / "Resources").empty());
    EXPECT_EQ(ProjectInsertFolderContents(Ref(bundle), Ref(site), c.mode), noErr);
    EXPECT_EQ(TreeLines(bundle), tree);
    EXPECT_EQ(UserPaths(bundle), c.paths);
    EXPECT_EQ(Entries(bundle.parent_path() / "Sources"), c.sources);
    EXPECT_EQ(fs::exists(site), c.folderStays);
    if (!fs::exists(site)) fs::rename(bundle.parent_path() / "Sources", site);  // the next case needs it
  }
}

TEST_F(NewProjectTest, FoldersDeeperThanTenAreListedButNotEntered) {
  fs::path deep = root / "deep";
  for (int level = 0; level <= 12; ++level) deep /= "d" + std::to_string(level);
  Write(deep / "bottom.php");
  const fs::path bundle = MakeProject("Deep");
  ASSERT_EQ(ProjectInsertFolderContents(Ref(bundle), Ref(root / "deep"), kImportInPlace), noErr);
  // d0 holds its items at depth 1 ... d10's at depth 11: d11 is the last
  // folder listed, and nothing below it.
  std::vector<std::string> expected;
  for (int level = 0; level <= 11; ++level)
    expected.push_back(std::to_string(level + 1) + " " + std::to_string(level) + " FOLD d" + std::to_string(level));
  EXPECT_EQ(TreeLines(bundle), expected);
  EXPECT_TRUE(UserPaths(bundle).empty());  // no folder with a file was entered
}

TEST_F(NewProjectTest, PathsTooLongForAUserPathAreNotRecorded) {
  fs::path deep = root / "long";
  const std::string part(60, 'p');
  for (int level = 0; level < 5; ++level) deep /= part + std::to_string(level);
  Write(deep / "x.php");
  Write(root / "long" / "top.php");
  const fs::path bundle = MakeProject("Long");
  ASSERT_EQ(ProjectInsertFolderContents(Ref(bundle), Ref(root / "long"), kImportInPlace), noErr);
  for (const std::string& path : UserPaths(bundle)) EXPECT_TRUE(fs::is_directory(path.substr(2))) << path;
  EXPECT_EQ(UserPaths(bundle), std::vector<std::string>{"1 " + (root / "long").string()});
  EXPECT_EQ(TreeLines(bundle).size(), 7u);  // five folders and both files
}

// The name a person typed names the folder and the bundle whole, in any
// script; only a name too long for a file name is cut, between characters,
// so that the bundle keeps its extension.
TEST_F(NewProjectTest, ProjectNamesAreKeptWholeInAnyScript) {
  const std::string n60(60, 'm'), n248(248, 'n');
  // 247 bytes and a two-byte letter: the cut at 248 bytes would split it.
  const std::string split = std::string(247, 's') + "\xd0\xb4";
  const std::string cyrillic = "\xd0\x9c\xd0\xb0\xd0\xb3\xd0\xb0\xd0\xb7\xd0\xb8\xd0\xbd";  // Магазин
  struct Case {
    std::string name, bundle;
    bool basic;
  };
  const Case cases[] = {
      {"Shop", "Shop.qvproj", false},
      {cyrillic, cyrillic + ".qvproj", false},
      {cyrillic + " caf\xc3\xa9", cyrillic + " caf\xc3\xa9.qvproj", true},
      {n60, n60 + ".qvproj", false},
      {n248, n248 + ".qvproj", false},
      {split, std::string(247, 's') + ".qvproj", false},
      {split, std::string(247, 's') + ".qvproj", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20) + (c.basic ? " basic" : ""));
    const FSRef bundle = c.basic ? CreateNewBasicProject(c.name, Ref(place))
                                 : CreateNewProject(c.name, kProjectTemplateName, Ref(place));
    ASSERT_TRUE(FSRefExists(bundle));
    const fs::path path = PathOf(bundle);
    EXPECT_EQ(path.filename().string(), c.bundle);
    EXPECT_EQ(path.parent_path(), c.basic ? place : place / c.name);
    EXPECT_TRUE(fs::is_regular_file(path / "Contents/Resources/Data/sources.plist"));
    EXPECT_TRUE(fs::is_regular_file(path / "Contents/Resources/Preferences/project.plist"));
    fs::remove_all(c.basic ? path : path.parent_path());
  }
  EXPECT_TRUE(Alerts().empty());
}

TEST_F(NewProjectTest, FailuresAreToldAndLeaveNothing) {
  const std::string message = "There was an error creating the new project";
  // No such template.
  EXPECT_FALSE(FSRefExists(CreateNewProject("Lost", "(no such template)", Ref(place))));
  // The name is taken: what is there stays as it was.
  Write(place / "Taken" / "mine.txt");
  EXPECT_FALSE(FSRefExists(CreateNewProject("Taken", kProjectTemplateName, Ref(place))));
  Write(place / "Taken.qvproj" / "mine.txt");
  EXPECT_FALSE(FSRefExists(CreateNewBasicProject("Taken", Ref(place))));
  EXPECT_EQ(Alerts(), (std::vector<std::string>{message, message, message}));
  EXPECT_EQ(Entries(place), (std::vector<std::string>{"Taken", "Taken.qvproj"}));
  EXPECT_EQ(Entries(place / "Taken"), (std::vector<std::string>{"mine.txt"}));

  // A bundle without its sources file converts nothing.
  const fs::path bundle = MakeProject("Broken");
  fs::remove(bundle / "Contents/Resources/Data/sources.plist");
  EXPECT_EQ(ProjectInsertFolderContents(Ref(bundle), Ref(site), kImportCopy), fnfErr);
  EXPECT_EQ(Entries(bundle.parent_path() / "Sources"), std::vector<std::string>{});
  EXPECT_TRUE(UserPaths(bundle).empty());

  // A folder is never copied into a project that lies inside it.
  fs::create_directories(site / "inner");
  const FSRef inner = CreateNewProject("Inner", kProjectTemplateName, Ref(site / "inner"));
  ASSERT_TRUE(FSRefExists(inner));
  EXPECT_EQ(ProjectInsertFolderContents(inner, Ref(site), kImportCopy), badMovErr);
  EXPECT_EQ(Entries(site / "inner" / "Inner" / "Sources"), std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// The save-project sheet and the import task

namespace {

std::vector<std::string> gOpened;
bool gProgressSeen = false;

WindowRef WindowWith(OSType signature) {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
    if (HIViewFind(128, signature, w) != nullptr) return w;
  return nullptr;
}

std::string TextOf(WindowRef window, OSType signature) {
  return HIViewGetText(HIViewFind(128, signature, window)).str();
}

void SetText(WindowRef window, OSType signature, const std::string& text) {
  CFStringRef string = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
  HIViewSetText(HIViewFind(128, signature, window), string);
  CFRelease(string);
}

OSStatus RecordOpen(EventHandlerCallRef, EventRef event, void*) {
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID != kHICommandOpenDocument) return eventNotHandledErr;
  FSRef file{};
  GetEventParameter(event, kEventParamOpenFile, typeFSRef, nullptr, sizeof file, nullptr, &file);
  gOpened.push_back(PathOf(file));
  // The progress sheet is still there when the project opens.
  WindowRef progress = WindowWith('STAT');
  gProgressSeen = progress != nullptr && TextOf(progress, 'STAT') == "Creating new project...";
  return noErr;
}

// Runs the main loop until the condition holds (or gives up after a long while).
bool RunUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 3000 && !done(); ++i) RunCurrentEventLoop(kEventDurationSecond / 100);
  return done();
}

class SaveSheetTest : public NewProjectTest {
 protected:
  EventHandlerRef handler = nullptr;
  void SetUp() override {
    NewProjectTest::SetUp();
    gOpened.clear();
    gProgressSeen = false;
    const EventTypeSpec spec{kEventClassCommand, kEventCommandProcess};
    ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), RecordOpen, 1, &spec, nullptr, &handler), noErr);
  }
  void TearDown() override {
    RemoveEventHandler(handler);
    while (WindowRef sheet = WindowWith('OPTI')) CloseApplicationWindow(sheet);
  }
  WindowRef OpenSheet() {
    OpenSaveProjectWindow(Ref(site), 0, "Create New Project",
                          "Choose a location and creation method for the new project.", nullptr);
    WindowRef sheet = WindowWith('OPTI');
    EXPECT_NE(sheet, nullptr);
    return sheet;
  }
  void Choose(WindowRef sheet, SInt32 mode) { SetControl32BitValue(HIViewFind(128, 'OPTI', sheet), mode); }
  void Save(WindowRef sheet) {
    HICommand command{};
    command.commandID = 'save';
    ProcessHICommandToWindow(sheet, command);
  }
  static void ProcessHICommandToWindow(WindowRef window, const HICommand& command) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    SendEventToEventTarget(event, GetWindowEventTarget(window));
    ReleaseEvent(event);
  }
};

}  // namespace

TEST_F(SaveSheetTest, TheSheetShowsTheFolderAndFollowsTheMode) {
  WindowRef sheet = OpenSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(TextOf(sheet, 'PATH'), root.string());
  EXPECT_EQ(TextOf(sheet, 'NAME'), "site Project");
  EXPECT_EQ(TextOf(sheet, 'TITL'), "Create New Project");
  EXPECT_EQ(TextOf(sheet, 'MESS'), "Choose a location and creation method for the new project.");
  EXPECT_FALSE(HIViewIsVisible(HIViewFind(128, 'dont', sheet)));  // nothing to close: no parent
  EXPECT_TRUE(HIViewIsEnabled(HIViewFind(128, 'OPTI', sheet), nullptr));
  SetText(sheet, 'PATH', place.string());
  Choose(sheet, kImportMove);  // a moved folder's project goes beside it
  EXPECT_EQ(TextOf(sheet, 'PATH'), root.string());
  std::vector<SInt32> buttons;
  for (HIViewRef b = HIViewGetFirstSubview(HIViewFind(128, 'OPTI', sheet)); b != nullptr; b = HIViewGetNextView(b))
    buttons.push_back(GetControl32BitValue(b));
  EXPECT_EQ(buttons, (std::vector<SInt32>{0, 0, 1}));
  for (OSType signature : {'CHOO', 'PATH', 'NAME'})
    EXPECT_FALSE(HIViewIsEnabled(HIViewFind(128, signature, sheet), nullptr));
  Choose(sheet, kImportCopy);
  for (OSType signature : {'CHOO', 'PATH', 'NAME'})
    EXPECT_TRUE(HIViewIsEnabled(HIViewFind(128, signature, sheet), nullptr));
  // Cancel closes the sheet and makes nothing.
  ProcessHICommandToWindow(sheet, HICommand{0, 'not!', {}});
  EXPECT_EQ(WindowWith('OPTI'), nullptr);
  EXPECT_TRUE(Entries(place).empty());
}

TEST_F(SaveSheetTest, MovingImportRunsBehindTheProgressSheetAndOpensTheProject) {
  WindowRef sheet = OpenSheet();
  ASSERT_NE(sheet, nullptr);
  Choose(sheet, kImportMove);
  // The project may take the folder's own name: the folder steps aside
  // (site.tmp) and moves in as the project's Sources.
  SetText(sheet, 'NAME', "site");
  Save(sheet);
  ASSERT_TRUE(RunUntil([] { return !gOpened.empty() && WindowWith('STAT') == nullptr; }));
  const fs::path project = root / "site";
  EXPECT_EQ(gOpened, std::vector<std::string>{(project / "site.qvproj").string()});
  EXPECT_TRUE(gProgressSeen);
  EXPECT_EQ(WindowWith('OPTI'), nullptr);  // the sheet closed
  EXPECT_EQ(Entries(root), (std::vector<std::string>{"Projects", "site"}));
  EXPECT_EQ(Entries(project / "Sources"), (std::vector<std::string>{".hidden", "a.php", "css", "empty", "zlink"}));
  EXPECT_EQ(TreeLines(project / "site.qvproj"),
            (std::vector<std::string>{"2 0 TTXT a.php 2 upload", "3 0 FOLD css", "4 3 TTXT print.css 4 upload",
                                      "5 3 TTXT site.css 5 upload", "6 0 FOLD empty"}));
  EXPECT_EQ(UserPaths(project / "site.qvproj"), (std::vector<std::string>{"3 Sources", "3 Sources/css"}));
  EXPECT_TRUE(Alerts().empty());
}

TEST_F(SaveSheetTest, FailuresKeepTheSheetOpenAndUndoWhatWasMade) {
  WindowRef sheet = OpenSheet();
  ASSERT_NE(sheet, nullptr);
  // A location that is no folder.
  SetText(sheet, 'PATH', (root / "nowhere").string());
  Save(sheet);
  EXPECT_EQ(Alerts(), std::vector<std::string>{"The location is not valid."});
  // A copy into a folder inside the one imported fails in the task: the
  // template copy goes again and the failure is told.
  HeadlessClearAlertLog();
  fs::create_directories(site / "inner");
  SetText(sheet, 'PATH', (site / "inner").string());
  Choose(sheet, kImportCopy);
  Save(sheet);
  ASSERT_TRUE(RunUntil([] { return !Alerts().empty(); }));
  EXPECT_EQ(Alerts(), std::vector<std::string>{
                          "There was an error importing the folder into the new project (error -122)."});
  RunUntil([] { return WindowWith('STAT') == nullptr; });
  EXPECT_EQ(WindowWith('STAT'), nullptr);
  EXPECT_TRUE(Entries(site / "inner").empty());
  // A move whose project cannot be made gives the folder its name back.
  HeadlessClearAlertLog();
  Write(root / "taken" / "mine.txt");
  Choose(sheet, kImportMove);
  SetText(sheet, 'NAME', "taken");
  Save(sheet);
  EXPECT_EQ(Alerts(), std::vector<std::string>{"There was an error creating the new project"});
  EXPECT_EQ(Entries(root), (std::vector<std::string>{"Projects", "site", "taken"}));
  EXPECT_EQ(Entries(root / "taken"), std::vector<std::string>{"mine.txt"});
  // Through all of it the sheet stayed open and nothing opened.
  EXPECT_EQ(WindowWith('OPTI'), sheet);
  EXPECT_TRUE(gOpened.empty());
}

// 'newP' and 'nwPB' reach the new-file dialog through the application's
// targets; the project made is opened.
TEST_F(SaveSheetTest, NewProjectCommandsMakeAndOpenTheProject) {
  const ApplicationShellTargets saved = ShellTargets;
  InstallProgramWiring();
  ASSERT_NE(ShellTargets.HandleNewProjectCommand, nullptr);
  ASSERT_NE(ShellTargets.OpenSaveProjectWindow, nullptr);
  struct Case {
    const char* templateName;
    bool basic;
    const char* name;
    fs::path bundle;
  };
  const Case cases[] = {
      {"(project template)", false, "Fresh", place / "Fresh" / "Fresh.qvproj"},
      {"", true, "Bare", place / "Bare.qvproj"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessNavAnswer answer;
    answer.action = kNavUserActionSaveAs;
    answer.paths = {place.string()};
    answer.saveName = c.name;
    HeadlessQueueNavAnswer(answer);
    EXPECT_EQ(ShellTargets.HandleNewProjectCommand(c.templateName, c.basic), noErr);
    ASSERT_FALSE(gOpened.empty());
    EXPECT_EQ(gOpened.back(), c.bundle.string());
  }
  // An opened folder is offered as a new project.
  ShellTargets.OpenSaveProjectWindow(Ref(site), "Create New Project", "Choose.");
  WindowRef sheet = WindowWith('OPTI');
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(TextOf(sheet, 'MESS'), "Choose.");
  ShellTargets = saved;
}

// A sheet over a window that asked for it: 'dont' closes both, making nothing.
TEST_F(SaveSheetTest, DontCreateClosesTheParentWindow) {
  IBNibRef nib = nullptr;
  ASSERT_EQ(CreateNibReference(CFSTR("main"), &nib), noErr);
  auto* parent = new TWindow();
  parent->Create("About", nib);
  ASSERT_NE(parent->window, nullptr);
  parent->Show();
  WindowRef parentWindow = parent->window;
  OpenSaveProjectWindow(Ref(site), 1, "Save Project", "Where?", parent);
  WindowRef sheet = WindowWith('OPTI');
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(HIViewIsVisible(HIViewFind(128, 'dont', sheet)));
  ProcessHICommandToWindow(sheet, HICommand{0, 'dont', {}});
  EXPECT_EQ(WindowWith('OPTI'), nullptr);
  bool parentLeft = true;
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) parentLeft &= w != parentWindow;
  EXPECT_TRUE(parentLeft);
  EXPECT_TRUE(Entries(place).empty());
  DisposeNibReference(nib);
}

// A folder imported where it lies as a project in the home folder.
TEST_F(SaveSheetTest, TemporaryProjectsGoToTheHomeFolder) {
  const fs::path home = getenv("HOME");
  fs::remove_all(home / "site");
  CreateTemporaryProject(Ref(site));
  const fs::path bundle = home / "site" / "site.qvproj";
  EXPECT_EQ(gOpened, std::vector<std::string>{bundle.string()});
  EXPECT_EQ(UserPaths(bundle), (std::vector<std::string>{"1 " + site.string(), "1 " + site.string() + "/css"}));
  EXPECT_EQ(TreeLines(bundle).size(), 5u);
  EXPECT_TRUE(fs::exists(site / "a.php"));
  fs::remove_all(home / "site");
}
