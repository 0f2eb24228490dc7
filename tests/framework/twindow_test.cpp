// Windows: binding, sheets, layouts, the close, save and revert commands,
// the questions about unsaved documents on every close path, and the quit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFData.h"
#include "FrameworkFixtures.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gLog;

class TTestDocument : public TDocument {
 public:
  explicit TTestDocument(const char* label, bool dirty = false, SInt32 saveStatus = noErr)
      : label(label), saveStatus(saveStatus) {
    CreateEmpty();
    name = label;
    modified = dirty;
  }
  SInt32 Save() override {
    gLog.push_back(label + " save");
    if (saveStatus != noErr) return saveStatus;
    return TDocument::Save();
  }
  SInt32 Open() override {
    gLog.push_back(label + " open");
    return TDocument::Open();
  }
  void Release() override {
    gLog.push_back(label + " release");
    TDocument::Release();
  }
  std::string label;
  SInt32 saveStatus;
};

class TTestWindow : public TWindow {
 public:
  void Closed() override { gLog.push_back("closed"); }
  void ProcessDocumentCommand(const HICommand& command, EventRef, TDocument* document, SInt32& result) override {
    gLog.push_back(FourCC(command.commandID) + " for " + static_cast<TTestDocument*>(document)->label);
    result = noErr;
  }
};

TTestWindow* MakeWindow() {
  auto* w = new TTestWindow();
  w->Create("Document", FixtureNib());
  return w;
}

// A document the window holds: its pane is the window itself.
TTestDocument* Add(TWindow* w, const char* label, bool dirty = false, SInt32 saveStatus = noErr) {
  auto* d = new TTestDocument(label, dirty, saveStatus);
  w->AppendDocument(d);
  return d;
}

OSStatus SendClose(WindowRef window, bool quitting = false) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event);
  SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
  if (quitting) {
    Boolean yes = true;
    SetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, sizeof yes, &yes);
  }
  OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
  return status;
}

OSStatus SendCommand(WindowRef window, UInt32 commandID, TDocument* document = nullptr) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  HICommand command{};
  command.commandID = commandID;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  if (document != nullptr) SetEventParameter(event, kEventParamDocument, typeVoidPtr, sizeof document, &document);
  OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
  return status;
}

TPreferenceHandler* NewPreferences() {
  auto* prefs = new TPreferenceHandlerApplication();
  prefs->SetDomain("windowtest.");
  return prefs;
}

class TWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    ApplicationQuitting = false;
    HeadlessClearAlertLog();
    HeadlessClearAlertAnswers();
    HeadlessClearNavLog();
    HeadlessClearNavAnswers();
  }
  void TearDown() override {
    ApplicationQuitting = false;
    DisposeAllWindows();
  }
};

TEST_F(TWindowTest, CreateBindsTheWindowAndItsDocumentList) {
  TTestWindow* w = MakeWindow();
  WindowRef window = w->window;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowObject(window), w);
  EXPECT_EQ(TWindowGetObject(window), w);
  EXPECT_EQ(w->GetClassString(), Str255("TWindow"));
  EXPECT_EQ(w->priority, 10);
  EXPECT_EQ(GetWindowDocumentList(window), w->documents);
  EXPECT_FALSE(IsWindowModified(window));
  void* value = reinterpret_cast<void*>(1);
  w->GetProperty('none', value);
  EXPECT_EQ(value, nullptr);
  w->SetProperty('mine', w, sizeof(void*));
  w->GetProperty('mine', value);
  EXPECT_EQ(value, w);
  // A window that is no framework window has no object.
  SetWRefCon(window, -5);
  EXPECT_EQ(TWindowGetObject(window), nullptr);
  SetWRefCon(window, SRefCon(w));
  w->Remove();
  EXPECT_FALSE(IsValidWindowPtr(window));
  EXPECT_EQ(gLog, (std::vector<std::string>{"closed"}));
}

TEST_F(TWindowTest, AWindowWithAParentIsASheet) {
  TTestWindow* owner = MakeWindow();
  owner->Show();
  auto* sheet = new TTestWindow();
  sheet->SetParent(owner->window);
  sheet->SetTransitionEffect(kWindowFadeTransitionEffect);  // sheets ignore it
  sheet->Create("Sheet", FixtureNib());
  WindowClass windowClass = 0;
  GetWindowClass(sheet->window, &windowClass);
  EXPECT_EQ(windowClass, kSheetWindowClass);
  WindowAttributes attributes = 0;
  GetWindowAttributes(sheet->window, &attributes);
  EXPECT_TRUE(attributes & kWindowNoTitleBarAttribute);
  sheet->Show();
  EXPECT_TRUE(IsWindowVisible(sheet->window));
  sheet->Hide();
  EXPECT_FALSE(IsWindowVisible(sheet->window));
  sheet->Remove();
  owner->Remove();
}

TEST_F(TWindowTest, LayoutIsStoredAndRestoredUnlessItsTopIsNotPositive) {
  TPreferenceHandler* prefs = NewPreferences();
  struct Case {
    const char* name;
    SInt16 storedTop;
    bool restored;
  } cases[] = {{"stored", 120, true}, {"top zero", 0, false}, {"top negative", -4, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prefs->RemoveValue("TWindowLayout.layout");
    WindowLayoutInfo info{c.storedTop, 300, SInt16(c.storedTop + 250), 700, 0, 0};
    prefs->SetDataValue("TWindowLayout.layout", &info, sizeof info);
    auto* w = new TTestWindow();
    w->SetPreferences(prefs);
    w->SetPreferenceKey("layout");
    w->Create("Document", FixtureNib());
    Rect bounds{};
    GetWindowBounds(w->window, kWindowStructureRgn, &bounds);
    if (c.restored) {
      EXPECT_EQ(bounds.top, 120);
      EXPECT_EQ(bounds.left, 300);
      EXPECT_EQ(bounds.right, 700);
    } else {
      EXPECT_NE(bounds.left, 300);
    }
    // Closing stores the window's bounds: 10 bytes, the byte 8 zero.
    MoveWindow(w->window, 50, 60, false);
    GetWindowBounds(w->window, kWindowStructureRgn, &bounds);
    w->Remove();
    WindowLayoutInfo saved{};
    ASSERT_TRUE(prefs->CopyDataValue("TWindowLayout.layout", &saved, sizeof saved));
    EXPECT_EQ(saved.top, bounds.top);
    EXPECT_EQ(saved.left, bounds.left);
    EXPECT_EQ(saved.bottom, bounds.bottom);
    EXPECT_EQ(saved.right, bounds.right);
    EXPECT_EQ(saved.unused, 0);
  }
  prefs->RemoveValue("TWindowLayout.layout");
  prefs->Release();
}

TEST_F(TWindowTest, SizeAndLocationOverrideTheInterfaceFile) {
  auto* w = new TTestWindow();
  w->SetLocation(40, 50);
  w->SetSize(300, 200);
  w->Create("Document", FixtureNib());
  Rect bounds{};
  GetWindowBounds(w->window, kWindowStructureRgn, &bounds);
  EXPECT_EQ(bounds.left, 40);
  EXPECT_EQ(bounds.top, 50);
  EXPECT_EQ(bounds.right, 340);
  EXPECT_EQ(bounds.bottom, 250);
  w->Remove();
}

// What closing does, by the documents the window holds and the answer to
// the question (0: no question expected).
TEST_F(TWindowTest, EveryClosePathAsksAboutModifiedDocuments) {
  enum Path { kCloseEvent, kCloseCommand };
  struct Case {
    const char* name;
    Path path;
    std::vector<bool> dirty;  // the documents in order; the last is active
    bool activeRemoved;       // the active one left the list before closing
    NavUserAction answer;     // the answer to the save-changes sheet; 0 no sheet
    bool review;              // the application is asked to review
    bool windowCloses;
    std::vector<std::string> log;
  } cases[] = {
      {"clean", kCloseEvent, {false}, false, 0, false, true, {"closed", "a release"}},
      {"clean, command", kCloseCommand, {false}, false, 0, false, true, {"closed", "a release"}},
      {"dirty, cancel", kCloseEvent, {true}, false, kNavUserActionCancel, false, false, {}},
      {"dirty, don't save", kCloseEvent, {true}, false, kNavUserActionDontSaveChanges, false, true,
       {"a release", "closed"}},
      {"dirty, save", kCloseEvent, {true}, false, kNavUserActionSaveChanges, false, true,
       {"a save", "a release", "closed"}},
      {"dirty, save, command", kCloseCommand, {true}, false, kNavUserActionSaveChanges, false, true,
       {"a save", "a release", "closed"}},
      {"two dirty", kCloseEvent, {true, true}, false, 0, true, false, {}},
      // The close command asks about the active document first.
      {"two dirty, command", kCloseCommand, {true, true}, false, kNavUserActionCancel, false, false, {}},
      // Without an active document, or with a clean active one, the
      // modified one is still asked about.
      {"no active", kCloseEvent, {true, false}, true, kNavUserActionCancel, false, false, {}},
      {"no active, command", kCloseCommand, {true, false}, true, kNavUserActionCancel, false, false, {}},
      {"clean active, command", kCloseCommand, {true, false}, false, kNavUserActionDontSaveChanges, false, true,
       {"a release", "closed", "b release"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gLog.clear();
    HeadlessClearNavLog();
    TTestWindow* w = MakeWindow();
    WindowRef window = w->window;
    ShowWindow(window);
    std::vector<TTestDocument*> docs;
    const char* labels[] = {"a", "b"};
    for (size_t i = 0; i < c.dirty.size(); ++i) {
      docs.push_back(Add(w, labels[i], c.dirty[i]));
      // The file to save to.
      if (i == 0) docs[0]->file = ScratchFolder().Ref(".");
    }
    if (c.activeRemoved) {
      w->documents->Remove(docs.back());
      docs.back()->Release();
      docs.pop_back();
      gLog.clear();
    }
    if (c.answer != 0) HeadlessQueueNavAnswer({c.answer, {}, ""});
    AppCommands app;
    OSStatus status = c.path == kCloseEvent ? SendClose(window) : SendCommand(window, kHICommandTWindowClose);
    EXPECT_EQ(status, noErr);
    RunCurrentEventLoop(0);  // the sheet answers
    EXPECT_EQ(HeadlessCopyNavLog().size(), c.answer != 0 ? 1u : 0u);
    const bool reviewed = app.entries.size() == 1 && app.entries[0].command == kHICommandReviewDocuments;
    EXPECT_EQ(reviewed, c.review);
    if (reviewed) {
      EXPECT_EQ(app.entries[0].reviewCount, 2);
      EXPECT_EQ(app.entries[0].reviewWindow, w);
      EXPECT_EQ(app.entries[0].hasReviewEvent, c.path == kCloseEvent);
    }
    EXPECT_EQ(IsValidWindowPtr(window), !c.windowCloses);
    EXPECT_EQ(gLog, c.log);
    if (IsValidWindowPtr(window)) {
      for (TTestDocument* d : docs) d->modified = false;
      gLog.clear();
      GetWindowObject(window)->Remove();
    }
    HeadlessClearNavAnswers();
  }
}

TEST_F(TWindowTest, TheQuestionNamesTheDocument) {
  TTestWindow* w = MakeWindow();
  Add(w, "notes.txt", true);
  HeadlessQueueNavAnswer({kNavUserActionCancel, {}, ""});
  SendClose(w->window);
  RunCurrentEventLoop(0);
  auto sheets = HeadlessCopyNavLog();
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_EQ(sheets[0].kind, "asksavechanges");
  EXPECT_EQ(sheets[0].title, "Save");
  EXPECT_EQ(sheets[0].saveFileName, "notes.txt");
  EXPECT_EQ(sheets[0].parent, w->window);
  EXPECT_EQ(sheets[0].modality, kWindowModalityWindowModal);
  EXPECT_EQ(sheets[0].preferenceKey, 5u);
  w->documents->GetActive()->modified = false;
  w->Remove();
}

TEST_F(TWindowTest, ClosingWhileQuittingHidesThenAsksTheApplicationToGoOn) {
  TTestWindow* w = MakeWindow();
  WindowRef window = w->window;
  w->SetTransitionEffect(kWindowFadeTransitionEffect);
  ShowWindow(window);
  AppCommands app;
  app.watched = window;
  ApplicationQuitting = true;
  EXPECT_EQ(SendClose(window, true), noErr);
  EXPECT_FALSE(IsValidWindowPtr(window));
  ASSERT_EQ(app.Commands(), (std::vector<std::string>{"quit"}));
  EXPECT_FALSE(app.entries[0].windowAliveAtQuit);
}

// Every reason a save fails reads as a sentence a user can act on; none is
// an error number.
TEST(SaveFailureReasonTable, EachFailureIsASentenceWithoutANumber) {
  const struct {
    SInt32 status;
    const char* sentence;
  } cases[] = {
      {dskFulErr, "The disk is full."},
      {permErr, "You do not have permission to write in this folder."},
      {wrPermErr, "You do not have permission to change the file."},
      {wPrErr, "The disk is read-only."},
      {dirNFErr, "The file or its folder could not be found."},
      {bdNamErr, "The name is too long or not allowed in this folder."},
      {ioErr, "The disk could not be written."},
      {-12345, "The disk could not be written."},
  };
  for (const auto& c : cases) {
    const std::string text = SaveFailureReason(c.status).str();
    EXPECT_EQ(text, c.sentence) << c.status;
    EXPECT_EQ(text.find_first_of("0123456789"), std::string::npos) << text;
  }
}

// A file another program changed since it was read is not written over
// unasked: Overwrite saves, Cancel leaves both as they are, and a document
// without changes of its own may read the file again instead.
TEST_F(TWindowTest, SavingOverAFileChangedOnDiskAsksFirst) {
  struct Case {
    const char* name;
    bool modified;
    const char* change;  // written by "another program"; nil: the file is gone
    SInt16 answer;       // 0: no question expected
    std::vector<std::string> log;
    bool stillModified;
  } cases[] = {
      {"overwrite", true, "theirs", kAlertStdAlertOKButton, {"a save"}, false},
      {"cancel", true, "theirs", kAlertStdAlertCancelButton, {}, true},
      {"reload", false, "theirs", kAlertStdAlertOtherButton, {"a open"}, false},
      {"unchanged", true, "", 0, {"a save"}, false},
      {"deleted", true, nullptr, 0, {"a save"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessClearAlertLog();
    TTestWindow* w = MakeWindow();
    ScratchFolder folder;
    folder.Write("a.txt", "mine");
    TTestDocument* d = Add(w, "a");
    d->file = folder.Ref("a.txt");
    d->Open();
    d->SetModifiedState(c.modified);
    gLog.clear();
    if (c.change == nullptr)
      std::remove((folder.path + "/a.txt").c_str());
    else if (*c.change != '\0')
      folder.Write("a.txt", c.change);
    if (c.answer != 0) HeadlessQueueAlertAnswer(c.answer);
    SendCommand(w->window, kHICommandTWindowSave);
    EXPECT_EQ(gLog, c.log);
    EXPECT_EQ(d->modified, c.stillModified);
    auto alerts = HeadlessCopyAlertLog();
    if (c.answer == 0) {
      EXPECT_TRUE(alerts.empty());
    } else {
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_NE(alerts[0].error.find("\"a.txt\" has been changed by another program"), std::string::npos);
      EXPECT_EQ(alerts[0].okText, "Overwrite");
      EXPECT_EQ(alerts[0].cancelText, "Cancel");
      EXPECT_EQ(alerts[0].otherText, c.modified ? "" : "Reload");
      EXPECT_EQ(alerts[0].defaultButton, kAlertStdAlertCancelButton);
    }
    // Once saved or read again, the file is the document's own: no question.
    if (!c.stillModified) {
      gLog.clear();
      HeadlessClearAlertLog();
      d->SetModifiedState(true);
      SendCommand(w->window, kHICommandTWindowSave);
      EXPECT_EQ(gLog, std::vector<std::string>{"a save"});
      EXPECT_TRUE(HeadlessCopyAlertLog().empty());
    }
    d->modified = false;
    w->Remove();
  }
}

// The files a round of saving could not write are told once, each named,
// with the first failure's reason; a lone failure has its own alert, and a
// success or a cancel none.
TEST_F(TWindowTest, FilesNotSavedAreNamedInOneAlertPerRound) {
  HeadlessClearAlertLog();
  ReportFileNotSaved("sources.plist", noErr);
  ReportFileNotSaved("sources.plist", userCanceledErr);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());

  ReportFileNotSaved("project.plist", wPrErr);
  auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].explanation, "The file \"project.plist\" could not be saved. The disk is read-only.");

  HeadlessClearAlertLog();
  BeginFileSaveReport();
  ReportFileNotSaved("sources.plist", dskFulErr);
  BeginFileSaveReport();  // a nested round joins the outer one
  ReportFileNotSaved("bookmarks.plist", permErr);
  ReportFileNotSaved("sources.plist", dskFulErr);
  EndFileSaveReport();
  ReportFileNotSaved("FileSystem.plist", dskFulErr);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  EndFileSaveReport();
  alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].explanation,
            "The files \"sources.plist\", \"bookmarks.plist\" and \"FileSystem.plist\" could not be saved. "
            "The disk is full.");
  // The next round starts empty.
  HeadlessClearAlertLog();
  BeginFileSaveReport();
  EndFileSaveReport();
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
}

TEST_F(TWindowTest, AFailedSaveKeepsTheDocumentModifiedAndSaysWhy) {
  TTestWindow* w = MakeWindow();
  ScratchFolder folder;
  folder.Write("a.txt", "x");
  TTestDocument* d = Add(w, "a.txt", true, dskFulErr);
  d->file = folder.Ref("a.txt");
  w->UpdateModifiedState();
  EXPECT_TRUE(IsWindowModified(w->window));
  EXPECT_EQ(SendCommand(w->window, kHICommandTWindowSave), noErr);
  EXPECT_TRUE(d->modified);
  EXPECT_TRUE(IsWindowModified(w->window));
  auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].explanation.find("\"a.txt\" could not be saved"), std::string::npos);
  EXPECT_NE(alerts[0].explanation.find("The disk is full."), std::string::npos);
  // Saved: the mark goes.
  HeadlessClearAlertLog();
  d->saveStatus = noErr;
  d->saveOption = 7;
  SendCommand(w->window, kHICommandTWindowSave);
  EXPECT_EQ(d->saveOption, 0u);
  EXPECT_FALSE(d->modified);
  EXPECT_FALSE(IsWindowModified(w->window));
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  // A failed save from the close question keeps the window open.
  d->modified = true;
  d->saveStatus = permErr;
  HeadlessQueueNavAnswer({kNavUserActionSaveChanges, {}, ""});
  WindowRef window = w->window;
  ApplicationQuitting = true;
  SendClose(window, true);
  RunCurrentEventLoop(0);
  EXPECT_TRUE(IsValidWindowPtr(window));
  EXPECT_TRUE(d->modified);
  // It says so, and the quit it interrupted stops there.
  ASSERT_EQ(HeadlessCopyAlertLog().size(), 1u);
  EXPECT_NE(HeadlessCopyAlertLog()[0].explanation.find("You do not have permission"), std::string::npos);
  EXPECT_FALSE(ApplicationQuitting);
  d->modified = false;
  w->Remove();
}

TEST_F(TWindowTest, CommandsForDocumentsAndRevert) {
  TTestWindow* w = MakeWindow();
  TTestDocument* a = Add(w, "a");
  TTestDocument* b = Add(w, "b");
  SendCommand(w->window, 'exec');
  SendCommand(w->window, 'exec', a);
  // Revert needs a file.
  EXPECT_EQ(SendCommand(w->window, kHICommandTWindowRevert), eventNotHandledErr);
  ScratchFolder folder;
  folder.Write("b.txt", "b");
  b->file = folder.Ref("b.txt");
  b->modified = true;
  EXPECT_EQ(SendCommand(w->window, kHICommandTWindowRevert), noErr);
  EXPECT_FALSE(b->modified);
  EXPECT_EQ(gLog, (std::vector<std::string>{"exec for b", "exec for a", "b open"}));
  w->Remove();
}

TEST_F(TWindowTest, ModifiedMarkAndTitleFollowTheDocuments) {
  TTestWindow* w = MakeWindow();
  TTestDocument* d = Add(w, "(Untitled)");
  EXPECT_EQ(Title(w->window), "(Untitled)");
  FSRef proxy{};
  EXPECT_EQ(GetWindowProxyFSRef(w->window, &proxy), errWindowDoesNotHaveProxy);
  d->SetModifiedState(true);  // 'upms' to the window
  EXPECT_TRUE(IsWindowModified(w->window));
  d->SetModifiedState(false);
  EXPECT_FALSE(IsWindowModified(w->window));
  ScratchFolder folder;
  folder.Write("page.html", "");
  d->file = folder.Ref("page.html");
  w->SetDocument(d);
  EXPECT_EQ(Title(w->window), "page.html");
  EXPECT_EQ(GetWindowProxyFSRef(w->window, &proxy), noErr);
  w->documents->Remove(d);
  d->SetOwner(nullptr);
  d->SetModifiedState(true);  // no owner: the window is not told
  EXPECT_FALSE(IsWindowModified(w->window));
  d->Release();
  w->UpdateModifiedState();
  EXPECT_EQ(Title(w->window), "");
  EXPECT_FALSE(IsWindowModified(w->window));
  w->Remove();
}

TEST_F(TWindowTest, AWindowKeepsItsOwnDocumentList) {
  TPreferenceHandler* prefs = NewPreferences();
  ScratchFolder folder;
  folder.Write("one.php", "1");
  folder.Write("two.php", "2");
  auto* w = new TTestWindow();
  w->SetOptions(kTWindowOptionsSaveDocumentsPrivate);
  w->SetPreferences(prefs);
  w->SetPreferenceKey("private");
  w->Create("Document", FixtureNib());
  for (const char* name : {"one.php", "two.php"}) {
    TTestDocument* d = Add(w, name);
    d->file = folder.Ref(name);
  }
  w->Remove();
  CFTypeRef stored = prefs->GetTypeValue("private.DocumentList");
  ASSERT_NE(stored, nullptr);
  ASSERT_EQ(CFGetTypeID(stored), CFArrayGetTypeID());
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(stored)), 2);
  auto first = static_cast<CFDataRef>(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(stored), 0));
  EXPECT_EQ(CFDataGetLength(first), 80);
  FSRef ref{};
  CFDataGetBytes(first, CFRangeMake(0, 80), ref.hidden);
  FSRef one = folder.Ref("one.php");
  EXPECT_EQ(FSCompareFSRefs(&ref, &one), noErr);
  CFRelease(stored);
  // Restoring asks the application to open them, one window's worth.
  auto* again = new TTestWindow();
  again->SetOptions(kTWindowOptionsSaveDocumentsPrivate);
  again->SetPreferences(prefs);
  again->SetPreferenceKey("private");
  again->Create("Document", FixtureNib());
  AppCommands app;
  again->RestoreDocumentList();
  EXPECT_EQ(app.Commands(), (std::vector<std::string>{"OPND", "OPND"}));
  // An empty window stores an empty list.
  again->Remove();
  EXPECT_FALSE(prefs->ContainsValue("private.DocumentList"));
  prefs->Release();
}

TEST_F(TWindowTest, WindowsAreVisitedFrontToBack) {
  TTestWindow* back = MakeWindow();
  TTestWindow* front = MakeWindow();
  TTestWindow* hidden = MakeWindow();
  back->Show();
  front->Show();
  std::vector<TWindow*> seen;
  ApplyFunctionToAllWindows([](TWindow* w, void* data) { static_cast<std::vector<TWindow*>*>(data)->push_back(w); },
                            &seen);
  EXPECT_EQ(seen, (std::vector<TWindow*>{front, back}));
  // Closing every window on the way is safe.
  ApplyFunctionToAllWindows([](TWindow* w, void*) { w->Remove(); }, nullptr);
  EXPECT_EQ(GetWindowObject(hidden->window), hidden);
  WindowRef plain = nullptr;
  Rect r = {50, 50, 100, 100};
  CreateNewWindow(kDocumentWindowClass, 0, &r, &plain);
  CloseApplicationWindow(plain);
  EXPECT_FALSE(IsValidWindowPtr(plain));
  CloseApplicationWindow(hidden->window);
}

}  // namespace
