// The commands no window handles: what each does, the status it leaves for
// the system's handler, the menu items of parts not there yet, and new files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppShellTestSupport.h"
#include "CFString.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"

using namespace appshell;

namespace {

std::vector<std::string> gLog;

ApplicationShellTargets Recorders() {
  ApplicationShellTargets t;
  t.OpenFindWindow = [](IBNibRef nib) {
    gLog.push_back(nib != nullptr && nib == AppResources->FindNib ? "find window" : "find window without Find");
  };
  t.OpenBatchFindWindow = [](IBNibRef nib) {
    gLog.push_back(nib != nullptr && nib == AppResources->FindNib ? "batch find" : "batch find without Find");
  };
  t.OpenMacroEditor = [](TCodeSenseLibrary* library) {
    gLog.push_back(library != nullptr && library == AppResources->CodeSense ? "macro editor" : "macro editor?");
  };
  t.OpenApplicationPreferences = [] { gLog.push_back("preferences"); };
  t.HandleNewProjectCommand = [](const Str255& templateName, Boolean blank) -> SInt32 {
    gLog.push_back("new project '" + templateName.str() + "'" + (blank ? " blank" : ""));
    return blank ? 6 : 5;
  };
  t.OpenEditorWindowEmpty = [](const ApplicationOpenCommandOptions&) { gLog.push_back("empty window"); };
  t.OpenEditorWindowWithFileRef = [](const FSRef& file, const ApplicationOpenCommandOptions&) {
    gLog.push_back("new window " + NameOf(file));
  };
  t.OpenEditorWindowWithDocument = [](TDocument* document, const ApplicationOpenCommandOptions&) {
    gLog.push_back("window for " + document->name.str());
  };
  return t;
}

class AppCommands : public ::testing::Test {
 protected:
  ApplicationShellTargets saved;
  void SetUp() override {
    StartOnce();
    saved = ShellTargets;
    ShellTargets = Recorders();
    gLog.clear();
    HeadlessClearNavLog();
    HeadlessClearLaunchRequests();
    HeadlessClearAlertLog();
  }
  void TearDown() override { ShellTargets = saved; }

  SInt32 Process(UInt32 id, EventRef event = nullptr) {
    HICommand command{};
    command.commandID = id;
    SInt32 result = eventNotHandledErr;
    MyApplication->ProcessCommand(command, event, result);
    return result;
  }
  std::vector<std::string> NavKinds() {
    std::vector<std::string> kinds;
    for (const auto& record : HeadlessCopyNavLog()) kinds.push_back(record.kind);
    return kinds;
  }
};

TEST_F(AppCommands, EachCommandDoesItsWorkAndLeavesTheStatusAsItShould) {
  struct Case {
    UInt32 command;
    SInt32 result;
    std::vector<std::string> log;
    std::vector<std::string> dialogs;
  } cases[] = {
      {'FIND', eventNotHandledErr, {"find window"}, {}},
      {'FNDP', eventNotHandledErr, {"batch find"}, {}},
      {'MACR', eventNotHandledErr, {"macro editor"}, {}},
      {'pref', eventNotHandledErr, {"preferences"}, {}},
      {'newF', eventNotHandledErr, {"empty window"}, {}},
      {'newW', eventNotHandledErr, {"empty window"}, {}},
      {'newP', 5, {"new project '(project template)'"}, {}},
      {'nwPB', 6, {"new project '' blank"}, {}},
      {'new ', noErr, {}, {"putfile"}},
      {'open', eventNotHandledErr, {}, {"getfile"}},
      {'vsws', eventNotHandledErr, {}, {}},
      {'opFT', eventNotHandledErr, {}, {}},  // no document in the event: nothing
      {'zzzz', eventNotHandledErr, {}, {}},
  };
  for (const Case& c : cases) {
    const std::string name{char(c.command >> 24), char(c.command >> 16), char(c.command >> 8), char(c.command)};
    SCOPED_TRACE(name);
    gLog.clear();
    HeadlessClearNavLog();
    EXPECT_EQ(Process(c.command), c.result);
    EXPECT_EQ(gLog, c.log);
    EXPECT_EQ(NavKinds(), c.dialogs);
  }
  const auto launches = HeadlessCopyLaunchRequests();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].url, kProductHomePage);
}

TEST_F(AppCommands, AboutShowsTheAboutWindowAndKeepsTheSystemsBoxAway) {
  EXPECT_EQ(Process('abou'), noErr);
  WindowRef front = FrontNonFloatingWindow();
  ASSERT_NE(front, nullptr);
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(front, &title);
  EXPECT_EQ(StringOf(title), "About Quorvel");
  if (title != nullptr) CFRelease(title);
  EXPECT_TRUE(IsWindowVisible(front));
}

TEST_F(AppCommands, AnFTPDocumentGetsAnEditorWindow) {
  auto* document = new TDocument();
  document->CreateEmpty();
  document->name = "remote.php";
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  SetEventParameter(event, 'TDOC', typeVoidPtr, sizeof document, &document);
  EXPECT_EQ(Process('opFT', event), eventNotHandledErr);
  EXPECT_EQ(gLog, std::vector<std::string>{"window for remote.php"});
  ReleaseEvent(event);
  document->Release();
}

// Commands whose window is not part of the program yet show disabled; the
// others are left as they are.
TEST_F(AppCommands, CommandsWithoutTheirWindowShowDisabled) {
  const UInt32 ids[] = {'FIND', 'FNDP', 'MACR', 'pref', 'newP', 'nwPB', 'newF', 'newW', 'opFT', 'abou', 'open', 'new '};
  const std::vector<UInt32> needWork = {'FIND', 'FNDP', 'MACR', 'pref', 'newP', 'nwPB', 'newF', 'newW', 'opFT'};
  for (bool present : {true, false}) {
    SCOPED_TRACE(present ? "present" : "missing");
    ShellTargets = present ? Recorders() : ApplicationShellTargets{};
    MenuRef menu = nullptr;
    ASSERT_EQ(CreateNewMenu(900, 0, &menu), noErr);
    for (UInt32 id : ids) AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("item"), 0, id, nullptr);
    for (MenuItemIndex i = 1; i <= sizeof ids / sizeof ids[0]; ++i) {
      HICommand command{};
      command.commandID = ids[i - 1];
      command.menu.menuRef = menu;
      command.menu.menuItemIndex = i;
      SInt32 result = eventNotHandledErr;
      MyApplication->UpdateCommandStatus(command, nullptr, result);
      EXPECT_EQ(result, eventNotHandledErr);
      const bool shouldBeEnabled = present || std::find(needWork.begin(), needWork.end(), ids[i - 1]) == needWork.end();
      EXPECT_EQ(bool(IsMenuItemEnabled(menu, i)), shouldBeEnabled) << i;
    }
    DisposeMenu(menu);
  }
}

// A new file: an empty file made in the folder chosen, then opened as any
// file is; a failure is told, with its number.
TEST_F(AppCommands, NewFilesAreMadeEmptyAndOpened) {
  ScratchFolder folder("newfile");
  // The name as typed, in any script and beyond 63 characters.
  const std::string names[] = {"fresh.php", "\u041f\u0440\u0438\u0432\u0435\u0442.php",
                               std::string(70, 'n') + ".php"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    gLog.clear();
    HeadlessNavAnswer answer;
    answer.action = kNavUserActionSaveAs;
    answer.paths = {folder.path};
    answer.saveName = name;
    HeadlessQueueNavAnswer(answer);
    EXPECT_EQ(Process('new '), noErr);
    struct stat st {};
    ASSERT_EQ(stat((folder.path + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(gLog, std::vector<std::string>{"new window " + name});
  }
  struct stat marks {};
  EXPECT_NE(stat((folder.path + "/??????.php").c_str(), &marks), 0);  // no file under a '?' name

  gLog.clear();
  const std::string notAFolder = folder.Write("plain", "x");
  TNewFileDialog dialog;
  dialog.HandleNewFile(folder.Ref("plain"), "inside.php");
  EXPECT_TRUE(gLog.empty());
  const auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  const std::string& text = alerts[0].explanation;
  EXPECT_EQ(text.rfind("There was a file system error -", 0), 0u) << text;
  EXPECT_NE(text.find(" while creating the new file"), std::string::npos) << text;
}

}  // namespace
