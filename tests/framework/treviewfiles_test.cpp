// The review of unsaved files through the application: a window closed with
// two modified documents shows the review sheet listing both; Save keeps the
// sheet while rows are left and then closes the window, Don't Save closes it
// unsaved, Cancel keeps everything and stops a quit, and a review during a
// quit lets the quit go on to the other windows. Documents never saved go
// to the review question first (Discard, Review, Cancel).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "DataBrowser.h"
#include "FrameworkFixtures.h"
#include "TApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TReviewFilesWindowUnit.h"
#include "TWindowUnit.h"
#include "lists/DataBrowserInternal.h"

namespace {

std::vector<std::string> gLog;

class TLoggedDocument : public TDocument {
 public:
  bool fails = false;
  SInt32 Save() override {
    gLog.push_back("save " + name.str());
    if (fails) return wrPermErr;
    return TDocument::Save();
  }
  void Release() override {
    gLog.push_back("release " + name.str());
    TDocument::Release();
  }
};

class TOwnerWindow : public TWindow {
 public:
  std::string label;
  void Closed() override { gLog.push_back("closed " + label); }
};

class TReviewFilesTest : public testing::Test {
 protected:
  ScratchFolder folder;
  TApplication* app = nullptr;
  TWindowAskSaveChangesProc savedAsk = nullptr;

  void SetUp() override {
    gLog.clear();
    ApplicationQuitting = false;
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    HeadlessClearAlertLog();
    app = new TApplication();
    SetCurrentApplication(app);
    app->Create('Qvel');
    savedAsk = TWindowAskSaveChanges;
    // A single document's question is recorded and left open.
    TWindowAskSaveChanges = [](TWindow* w, TDocument* d, UInt32 action) {
      gLog.push_back("ask " + static_cast<TOwnerWindow*>(w)->label + " " + d->name.str() + " " +
                     std::to_string(action));
    };
  }
  void TearDown() override {
    TWindowAskSaveChanges = savedAsk;
    DisposeAllWindows();
    ApplicationQuitting = false;
    HeadlessClearNavAnswers();
    delete app;
  }

  // A shown window with a modified document per name; "(untitled)" names
  // make documents without a file.
  TOwnerWindow* Window(const std::string& label, const std::vector<std::string>& names) {
    auto* w = new TOwnerWindow();
    w->label = label;
    w->Create("Document", FixtureNib());
    for (const std::string& name : names) {
      auto* d = new TLoggedDocument();
      if (name.rfind("(untitled", 0) == 0) {
        d->CreateEmpty();
      } else {
        folder.Write(name, "text of " + name);
        d->Create(folder.Ref(name));
      }
      d->name = name.c_str();
      w->AppendDocument(d);
      d->modified = true;
    }
    SetWindowModified(w->window, !names.empty());
    w->Show();
    return w;
  }
  TLoggedDocument* Document(TWindow* w, CFIndex i) {
    return static_cast<TLoggedDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(w->documents->documents, i)));
  }
  void Close(TWindow* w) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event);
    WindowRef window = w->window;
    SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
    SendEventToEventTarget(event, GetWindowEventTarget(window));
    ReleaseEvent(event);
  }
  // The review sheet on show, or nil.
  TReviewFilesWindow* Sheet() {
    for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) {
      WindowClass windowClass = 0;
      GetWindowClass(w, &windowClass);
      if (windowClass == kSheetWindowClass && IsWindowVisible(w))
        return dynamic_cast<TReviewFilesWindow*>(GetWindowObject(w));
    }
    return nullptr;
  }
  void Command(TReviewFilesWindow* sheet, UInt32 id) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    HICommand command{};
    command.commandID = id;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    SendEventToEventTarget(event, GetWindowEventTarget(sheet->window));
    ReleaseEvent(event);
  }
  std::vector<DataBrowserItemID> Rows(ControlRef list) {
    Handle h = NewHandle(0);
    GetDataBrowserItems(list, kDataBrowserNoItem, true, kDataBrowserItemAnyState, h);
    std::vector<DataBrowserItemID> rows(size_t(GetHandleSize(h)) / sizeof(DataBrowserItemID));
    if (!rows.empty()) std::memcpy(rows.data(), *h, rows.size() * sizeof(DataBrowserItemID));
    DisposeHandle(h);
    return rows;
  }
  // A cell's text as the list view asks for it.
  std::string Cell(ControlRef list, DataBrowserItemID item, DataBrowserPropertyID property) {
    DataBrowserCallbacks callbacks{};
    callbacks.version = kDataBrowserLatestCallbacks;
    GetDataBrowserCallbacks(list, &callbacks);
    OpaqueDataBrowserItemDataRef cell{};
    cell.property = property;
    callbacks.u.v1.itemDataCallback(list, item, property, &cell, false);
    char text[1024] = "";
    if (cell.text != nullptr) {
      CFStringGetCString(cell.text, text, sizeof text, kCFStringEncodingUTF8);
      CFRelease(cell.text);
    }
    if (cell.icon != nullptr) return "icon";
    return text;
  }
  void Select(ControlRef list, DataBrowserItemID item) {
    SetDataBrowserSelectedItems(list, 1, &item, kDataBrowserItemsAssign);
  }
};

TEST_F(TReviewFilesTest, SavingTheRowsOneByOneKeepsTheSheetThenClosesTheWindow) {
  TOwnerWindow* w = Window("site", {"index.php", "style.css"});
  TLoggedDocument* index = Document(w, 0);
  TLoggedDocument* style = Document(w, 1);
  Close(w);
  TReviewFilesWindow* sheet = Sheet();
  ASSERT_NE(nullptr, sheet);
  EXPECT_EQ(Str255("TReviewFilesWindow"), sheet->GetClassString());
  WindowRef parent = nullptr;
  EXPECT_EQ(noErr, GetSheetWindowParent(sheet->window, &parent));
  EXPECT_EQ(w->window, parent);
  ControlRef list = sheet->browser->VIEW;
  const std::vector<DataBrowserItemID> rows = Rows(list);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("index.php", Cell(list, rows[0], kReviewFilesNameColumn));
  EXPECT_EQ(folder.path + "/style.css", Cell(list, rows[1], kReviewFilesPathColumn));
  EXPECT_EQ("icon", Cell(list, rows[0], kReviewFilesIconColumn));
  EXPECT_FALSE(IsDataBrowserItemSelected(list, rows[0]));
  // The delete key takes no row away: its document would go unasked.
  Select(list, rows[0]);
  BrackenrowClearSelection(true, list);
  EXPECT_EQ(rows, Rows(list));
  SetDataBrowserSelectedItems(list, 0, nullptr, kDataBrowserItemsAssign);
  // Nothing selected: nothing saved, nothing closes.
  Command(sheet, kHICommandReviewSave);
  EXPECT_EQ(sheet, Sheet());
  EXPECT_TRUE(gLog.empty());
  Select(list, rows[1]);
  Command(sheet, kHICommandReviewSave);
  EXPECT_EQ(sheet, Sheet());
  EXPECT_EQ((std::vector<std::string>{"save style.css"}), gLog);
  EXPECT_FALSE(style->modified);
  EXPECT_TRUE(index->modified);
  EXPECT_EQ((std::vector<DataBrowserItemID>{rows[0]}), Rows(list));
  gLog.clear();
  Select(list, rows[0]);
  Command(sheet, kHICommandReviewSave);
  EXPECT_EQ(nullptr, Sheet());
  ASSERT_FALSE(gLog.empty());
  EXPECT_EQ("save index.php", gLog.front());
  EXPECT_EQ("closed site", gLog.back());
  EXPECT_EQ(nullptr, GetWindowObject(parent));
}

TEST_F(TReviewFilesTest, ASaveThatFailsKeepsItsRowAndTheSheet) {
  TOwnerWindow* w = Window("site", {"index.php", "locked.php"});
  Document(w, 1)->fails = true;
  Close(w);
  TReviewFilesWindow* sheet = Sheet();
  ASSERT_NE(nullptr, sheet);
  ControlRef list = sheet->browser->VIEW;
  const std::vector<DataBrowserItemID> rows = Rows(list);
  SetDataBrowserSelectedItems(list, UInt32(rows.size()), rows.data(), kDataBrowserItemsAssign);
  Command(sheet, kHICommandReviewSave);
  EXPECT_EQ(sheet, Sheet());
  EXPECT_EQ((std::vector<DataBrowserItemID>{rows[1]}), Rows(list));
  EXPECT_TRUE(Document(w, 1)->modified);
  const auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(1u, alerts.size());
  EXPECT_NE(std::string::npos, alerts[0].explanation.find("locked.php")) << alerts[0].explanation;
}

TEST_F(TReviewFilesTest, DontSaveClosesUnsavedAndCancelKeepsEverything) {
  enum How { kCloseEvent, kCloseCommand, kQuit };
  struct Case {
    UInt32 command;
    How how;
    UInt32 action;
    bool windowCloses;
  };
  const Case cases[] = {{kHICommandReviewDontSave, kCloseEvent, kReviewActionCloseEvent, true},
                        // The close command goes on too once the review is over.
                        {kHICommandReviewDontSave, kCloseCommand, kReviewActionNone, true},
                        {kHICommandReviewCancel, kCloseEvent, kReviewActionCloseEvent, false},
                        {kHICommandReviewCancel, kQuit, kReviewActionQuit, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(FourCC(c.command) + " " + std::to_string(c.how));
    gLog.clear();
    TOwnerWindow* w = Window("site", {"a.php", "b.php"});
    WindowRef window = w->window;
    if (c.how == kQuit) {
      EXPECT_EQ(noErr, app->HandleQuitCommand());  // the review takes the quit over
      EXPECT_TRUE(ApplicationQuitting);
    } else if (c.how == kCloseCommand) {
      // The active document is clean: the close asks about the others.
      auto* clean = new TLoggedDocument();
      clean->CreateEmpty();
      clean->name = "clean";
      w->AppendDocument(clean);
      w->documents->SetActive(clean);
      SendHICommand(GetWindowEventTarget(window), kHICommandTWindowClose);
    } else {
      Close(w);
    }
    TReviewFilesWindow* sheet = Sheet();
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(c.action, sheet->action);
    Command(sheet, c.command);
    EXPECT_EQ(nullptr, Sheet());
    EXPECT_EQ(c.windowCloses, GetWindowObject(window) == nullptr);
    for (const std::string& entry : gLog) EXPECT_NE(0u, entry.rfind("save", 0)) << entry;
    // Documents dropped unsaved are let go, not left behind.
    const bool released = std::count(gLog.begin(), gLog.end(), "release a.php") == 1 &&
                          std::count(gLog.begin(), gLog.end(), "release b.php") == 1;
    EXPECT_EQ(c.windowCloses, released);
    EXPECT_EQ("text of a.php", ReadFile(folder.path + "/a.php"));
    EXPECT_FALSE(ApplicationQuitting);  // a cancel calls a quit off
    if (!c.windowCloses) {
      EXPECT_EQ(2, w->documents->GetCount());
      EXPECT_TRUE(Document(w, 0)->modified);
      DisposeAllWindows();
    }
  }
}

// The review that a quit ran ends by letting the quit go on: the window
// closes and the windows behind it are still asked.
TEST_F(TReviewFilesTest, AReviewDuringAQuitLetsTheQuitGoOn) {
  Window("back", {"back.php"});
  TOwnerWindow* front = Window("front", {"a.php", "b.php"});
  SelectWindow(front->window);
  EXPECT_EQ(noErr, app->HandleQuitCommand());
  TReviewFilesWindow* sheet = Sheet();
  ASSERT_NE(nullptr, sheet);
  EXPECT_TRUE(gLog.empty());
  Command(sheet, kHICommandReviewDontSave);
  EXPECT_TRUE(ApplicationQuitting);
  ASSERT_GE(gLog.size(), 2u);
  EXPECT_EQ("closed front", gLog[gLog.size() - 2]);
  EXPECT_EQ("ask back back.php 2", gLog.back());
}

TEST_F(TReviewFilesTest, DocumentsNeverSavedGoToTheReviewQuestionFirst) {
  struct Case {
    NavUserAction answer;
    bool quitting;
    std::vector<std::string> log;  // besides releases
    bool sheet;                    // the titled document is then listed
    int left;                      // documents left in the window
  };
  const Case cases[] = {
      {kNavUserActionDiscardDocuments, false, {}, true, 1},
      {kNavUserActionReviewDocuments, false, {"ask site (untitled 1) 3"}, false, 3},
      {kNavUserActionCancel, true, {}, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    gLog.clear();
    HeadlessClearNavLog();
    TOwnerWindow* w = Window("site", {"(untitled 1)", "index.php", "(untitled 2)"});
    HeadlessQueueNavAnswer({c.answer, {}, ""});
    if (c.quitting)
      app->HandleQuitCommand();
    else
      Close(w);
    RunCurrentEventLoop(0);
    const auto nav = HeadlessCopyNavLog();
    ASSERT_EQ(1u, nav.size());
    EXPECT_EQ("askreview", nav[0].kind);
    EXPECT_EQ(2u, nav[0].documentCount);
    EXPECT_EQ("Review", nav[0].clientName);
    EXPECT_EQ(w->window, nav[0].parent);
    std::vector<std::string> log;
    for (const std::string& entry : gLog)
      if (entry.rfind("release", 0) != 0) log.push_back(entry);
    EXPECT_EQ(c.log, log);
    TReviewFilesWindow* sheet = Sheet();
    EXPECT_EQ(c.sheet, sheet != nullptr);
    if (sheet != nullptr) {
      const std::vector<DataBrowserItemID> rows = Rows(sheet->browser->VIEW);
      ASSERT_EQ(1u, rows.size());
      EXPECT_EQ("index.php", Cell(sheet->browser->VIEW, rows[0], kReviewFilesNameColumn));
    }
    EXPECT_EQ(c.left, w->documents->GetCount());
    EXPECT_FALSE(ApplicationQuitting);
    DisposeAllWindows();
  }
}

}  // namespace
