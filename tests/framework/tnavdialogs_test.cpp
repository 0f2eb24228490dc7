// File dialogs and the save-changes sheet: what each answer does to the
// document, its window and a quit under way; Save As over an existing file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TNavDialogsUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gLog;

std::string PathOf(const FSRef& ref) {
  UInt8 path[1024] = {0};
  FSRefMakePath(&ref, path, sizeof path);
  return reinterpret_cast<const char*>(path);
}

// A document that writes its text to its file, or fails with saveStatus.
class TTextDocument : public TDocument {
 public:
  explicit TTextDocument(const char* label, const std::string& text) : text(text) {
    CreateEmpty();
    name = label;
  }
  SInt32 Save() override {
    gLog.push_back("save " + name.str());
    if (saveStatus != noErr) return saveStatus;
    std::ofstream(PathOf(file), std::ios::binary) << text;
    return TDocument::Save();
  }
  void SavedAs() override { gLog.push_back("saved as"); }
  void Release() override {
    gLog.push_back("release " + name.str());
    TDocument::Release();
  }
  std::string text;
  SInt32 saveStatus = noErr;
};

// Records its results instead of opening anything.
class TRecordingDialogs : public TCloneable<TRecordingDialogs, TNavDialogs> {
 public:
  void HandleSingleResult(const FSRef& file) override { gLog.push_back("open " + PathOf(file)); }
  void HandleChooseResult(const FSRef& file) override { gLog.push_back("choose " + PathOf(file)); }
  void HandleNewFile(const FSRef& folder, const std::string& name) override {
    gLog.push_back("new " + PathOf(folder) + " " + name);
  }
};

// The quits among the commands that reached the application.
std::vector<std::string> Quits(const AppCommands& app) {
  std::vector<std::string> quits;
  for (const std::string& c : app.Commands())
    if (c == "quit") quits.push_back(c);
  return quits;
}

class TNavDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    ApplicationQuitting = false;
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    ApplicationQuitting = false;
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    DisposeAllWindows();
  }
  TWindow* MakeWindow() {
    auto* w = new TWindow();
    w->Create("Document", FixtureNib());
    ShowWindow(w->window);
    return w;
  }
  ScratchFolder folder;
};

TEST_F(TNavDialogsTest, SaveAsOverAnExistingFileReplacesItOnlyOnceTheNewTextIsWritten) {
  folder.Write("index.php", "old text");
  TWindow* w = MakeWindow();
  auto* d = new TTextDocument("untitled", "new text");
  d->fileType = 'TEXT';
  w->AppendDocument(d);
  d->SetModifiedState(true);

  // A failed write leaves the old file whole and the document as it was.
  d->saveStatus = dskFulErr;
  HeadlessQueueNavAnswer({kNavUserActionSaveAs, {folder.path}, "index.php"});
  auto* failing = new TRecordingDialogs();
  failing->SetParent(w->window);
  failing->SaveAsDialog(d);
  RunCurrentEventLoop(0);
  EXPECT_EQ(ReadFile(folder.path + "/index.php"), "old text");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"index.php"});  // no temporary file left
  EXPECT_FALSE(FSValidFSRef(d->file));
  EXPECT_TRUE(d->modified);
  EXPECT_EQ(d->name, Str63("untitled"));
  ASSERT_EQ(HeadlessCopyAlertLog().size(), 1u);
  EXPECT_NE(HeadlessCopyAlertLog()[0].explanation.find("The disk is full."), std::string::npos);
  EXPECT_EQ(gLog, std::vector<std::string>{"save untitled"});  // neither SavedAs nor HandleNewFile

  // Written in full, it takes the old file's place.
  gLog.clear();
  d->saveStatus = noErr;
  HeadlessQueueNavAnswer({kNavUserActionSaveAs, {folder.path}, "index.php"});
  auto* saving = new TRecordingDialogs();
  saving->SetParent(w->window);
  saving->SaveAsDialog(d);
  RunCurrentEventLoop(0);
  auto sheets = HeadlessCopyNavLog();
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[1].kind, "putfile");
  EXPECT_EQ(sheets[1].title, "Save As");
  EXPECT_EQ(sheets[1].saveFileName, "untitled");
  EXPECT_EQ(ReadFile(folder.path + "/index.php"), "new text");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"index.php"});
  EXPECT_EQ(FSCompareFSRefs(&d->file, &static_cast<const FSRef&>(folder.Ref("index.php"))), noErr);
  EXPECT_FALSE(d->modified);
  EXPECT_EQ(d->name, Str63("index.php"));
  EXPECT_EQ(gLog, (std::vector<std::string>{"save untitled", "saved as", "new " + folder.path + " index.php"}));
  EXPECT_TRUE(IsValidWindowPtr(w->window));  // a plain Save As closes nothing
  w->Remove();
}

// Save As over a file keeps what the file was: its mode (a script stays
// executable, a page readable by the web server) and a link stays a link.
// A new file gets the usual mode, 0666 less the umask.
TEST_F(TNavDialogsTest, SaveAsKeepsTheModeOfTheFileItReplacesAndWritesThroughALink) {
  folder.Write("run.pl", "old script");
  chmod((folder.path + "/run.pl").c_str(), 0755);
  folder.Write("page.html", "old page");
  chmod((folder.path + "/page.html").c_str(), 0644);
  ASSERT_EQ(symlink("page.html", (folder.path + "/link.html").c_str()), 0);
  struct Case {
    const char* name;
    const char* file;  // what is written
    mode_t mode;
  } cases[] = {
      {"run.pl", "run.pl", 0755},
      {"page.html", "page.html", 0644},
      {"link.html", "page.html", 0644},
      {"new.php", "new.php", 0640},
  };
  const mode_t mask = umask(027);
  TWindow* w = MakeWindow();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* d = new TTextDocument("untitled", std::string("text of ") + c.name);
    w->AppendDocument(d);
    d->SetModifiedState(true);
    HeadlessQueueNavAnswer({kNavUserActionSaveAs, {folder.path}, c.name});
    auto* dialogs = new TRecordingDialogs();
    dialogs->SetParent(w->window);
    dialogs->SaveAsDialog(d);
    RunCurrentEventLoop(0);
    EXPECT_FALSE(d->modified);
    EXPECT_EQ(ReadFile(folder.path + "/" + c.file), std::string("text of ") + c.name);
    struct stat st {};
    ASSERT_EQ(stat((folder.path + "/" + c.file).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
  }
  umask(mask);
  struct stat link {};
  ASSERT_EQ(lstat((folder.path + "/link.html").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  std::vector<std::string> names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link.html", "new.php", "page.html", "run.pl"}));
  w->Remove();
}

TEST_F(TNavDialogsTest, AnUntitledDocumentIsNamedAfterSaveAndTheQuitGoesOnOnlyOnce) {
  TWindow* w = MakeWindow();
  WindowRef window = w->window;
  auto* d = new TTextDocument("notes", "text");
  w->AppendDocument(d);
  d->SetModifiedState(true);
  AppCommands app;
  ApplicationQuitting = true;
  HeadlessQueueNavAnswer({kNavUserActionSaveChanges, {}, ""});
  auto* dialogs = new TNavDialogs();
  dialogs->SetParent(window);
  dialogs->SetAction(kTNavActionQuit);
  dialogs->SaveDialog(d);
  RunCurrentEventLoop(0);
  // The Save As sheet is up: no second quit meanwhile.
  EXPECT_TRUE(Quits(app).empty());
  RunCurrentEventLoop(0);
  auto sheets = HeadlessCopyNavLog();
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[0].kind, "asksavechanges");
  EXPECT_EQ(sheets[1].kind, "putfile");  // cancelled: the queue was empty
  EXPECT_TRUE(Quits(app).empty());
  EXPECT_FALSE(ApplicationQuitting);  // its Cancel stopped the quit
  EXPECT_TRUE(d->modified);

  // Answered, it saves and the quit goes on once.
  HeadlessClearNavLog();
  ApplicationQuitting = true;
  HeadlessQueueNavAnswer({kNavUserActionSaveChanges, {}, ""});
  HeadlessQueueNavAnswer({kNavUserActionSaveAs, {folder.path}, "notes.txt"});
  dialogs = new TNavDialogs();
  dialogs->SetParent(window);
  dialogs->SetAction(kTNavActionQuit);
  dialogs->SaveDialog(d);
  RunCurrentEventLoop(0);
  RunCurrentEventLoop(0);
  EXPECT_EQ(HeadlessCopyNavLog().size(), 2u);
  EXPECT_EQ(ReadFile(folder.path + "/notes.txt"), "text");
  EXPECT_FALSE(d->modified);
  EXPECT_EQ(Quits(app), std::vector<std::string>{"quit"});
  ApplicationQuitting = false;
  w->Remove();
}

TEST_F(TNavDialogsTest, TheAnswersToTheSaveChangesSheet) {
  struct Case {
    const char* name;
    NavUserAction answer;
    UInt32 action;
    bool quitting;
    bool windowCloses;
    std::vector<std::string> log;
    std::vector<std::string> commands;
  } cases[] = {
      {"cancel while quitting", kNavUserActionCancel, kTNavActionQuit, true, false, {}, {}},
      {"don't save while quitting", kNavUserActionDontSaveChanges, kTNavActionQuit, true, true,
       {"release a"}, {"quit", "quit"}},
      {"don't save, close", kNavUserActionDontSaveChanges, kTNavActionClose, false, true, {"release a"}, {}},
      {"save, close event", kNavUserActionSaveChanges, kTNavActionCloseEvent, false, true,
       {"save a", "release a"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gLog.clear();
    TWindow* w = MakeWindow();
    WindowRef window = w->window;
    auto* d = new TTextDocument("a", "text");
    folder.Write("a", "");
    w->AppendDocument(d);
    d->file = folder.Ref("a");
    d->SetModifiedState(true);
    AppCommands app;
    ApplicationQuitting = c.quitting;
    HeadlessQueueNavAnswer({c.answer, {}, ""});
    auto* dialogs = new TNavDialogs();
    dialogs->SetParent(window);
    dialogs->SetAction(c.action);
    dialogs->SaveDialog(d);
    RunCurrentEventLoop(0);
    EXPECT_EQ(IsValidWindowPtr(window), !c.windowCloses);
    EXPECT_EQ(gLog, c.log);
    EXPECT_EQ(Quits(app), c.commands);
    EXPECT_EQ(ApplicationQuitting, c.quitting && c.answer != kNavUserActionCancel);
    if (IsValidWindowPtr(window)) {
      d->modified = false;
      w->Remove();
    }
    ApplicationQuitting = false;
  }
}

TEST_F(TNavDialogsTest, OpenAndChooseHandEachItemInOrderAndALocationMustBeAFolder) {
  folder.Write("a.php", "");
  folder.Write("b.css", "");
  folder.Write("c.js", "");
  HeadlessQueueNavAnswer(
      {kNavUserActionOpen, {folder.path + "/c.js", folder.path + "/a.php", folder.path + "/b.css"}, ""});
  auto* open = new TRecordingDialogs();
  open->SetDefaultLocation(folder.Ref("."));
  open->OpenDialog();
  EXPECT_EQ(gLog, (std::vector<std::string>{"open " + folder.path + "/c.js", "open " + folder.path + "/a.php",
                                            "open " + folder.path + "/b.css"}));
  gLog.clear();
  HeadlessQueueNavAnswer({kNavUserActionChoose, {folder.path}, ""});
  auto* choose = new TRecordingDialogs();
  choose->SetDefaultLocation(folder.Ref("a.php"));  // not a folder: left alone
  choose->ChooseFolderDialog();
  EXPECT_EQ(gLog, std::vector<std::string>{"choose " + folder.path});
  auto sheets = HeadlessCopyNavLog();
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[0].title, "Open");
  EXPECT_EQ(sheets[0].preferenceKey, 3u);
  EXPECT_EQ(sheets[0].modality, kWindowModalityAppModal);
  EXPECT_EQ(sheets[0].optionFlags, 0x11F4u);
  EXPECT_EQ(sheets[0].location, folder.path);
  EXPECT_EQ(sheets[1].title, "Choose Folder");
  EXPECT_NE(sheets[1].location, folder.path + "/a.php");
}

TEST_F(TNavDialogsTest, TheActionFollowsTheEventThatAsked) {
  struct Case {
    UInt32 eventClass, kind;
    int quitFlag;  // -1 none
    UInt32 action;
  } cases[] = {
      {kEventClassWindow, kEventWindowClose, -1, kTNavActionCloseEvent},
      {kEventClassWindow, kEventWindowClose, 1, kTNavActionQuit},
      {kEventClassWindow, kEventWindowClose, 0, kTNavActionCloseEvent},
      {kEventClassCommand, kEventCommandProcess, -1, kTNavActionClose},
  };
  for (const Case& c : cases) {
    EventRef event = nullptr;
    CreateEvent(nullptr, c.eventClass, c.kind, 0, kEventAttributeNone, &event);
    if (c.quitFlag >= 0) {
      Boolean flag = c.quitFlag != 0;
      SetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, sizeof flag, &flag);
    }
    TNavDialogs dialogs;
    dialogs.SetActionWithEvent(event);
    EXPECT_EQ(dialogs.action, c.action);
    ReleaseEvent(event);
  }
}

}  // namespace
