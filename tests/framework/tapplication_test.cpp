// The application object: commands no window consumed, files to open from
// the desktop and the recent-items menu, the recent items themselves, the
// quit walk over the windows, and the preferences written when the loop ends.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "CFURL.h"
#include "FrameworkFixtures.h"
#include "HeadlessHost.h"
#include "Menus.h"
#include "TApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gLog;

std::string PathOf(const FSRef& file) {
  UInt8 path[1024] = {0};
  FSRefMakePath(&file, path, sizeof path);
  const std::string full(reinterpret_cast<char*>(path));
  return full.substr(full.find_last_of('/') + 1);
}

class TRecordingPreferences : public TPreferenceHandlerApplication {
 public:
  int synchronized = 0;
  CFTypeRef recentAtSynchronize = nullptr;
  void Synchronize() override {
    ++synchronized;
    gLog.push_back("synchronize");
    TPreferenceHandlerApplication::Synchronize();
  }
};

class TTestApplication : public TApplication {
 public:
  SInt32 answer = eventNotHandledErr;
  bool openThrough = true;  // let the base class open the file too
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override {
    if (command.commandID == 'stop') {  // leaves the loop, as the review sheet does
      QuitApplicationEventLoop();
      return;
    }
    gLog.push_back("app " + FourCC(command.commandID) + " " + std::to_string(result));
    TApplication::ProcessCommand(command, event, result);
    result = answer;
  }
  void OpenDocument(const FSRef& file, Boolean& opened, const ApplicationOpenCommandOptions& options) override {
    gLog.push_back("open " + PathOf(file) + (options.newWindow ? " new" : ""));
    if (openThrough) TApplication::OpenDocument(file, opened, options);
  }
};

class TOwnerView : public TView {
 public:
  SInt32 answer = eventNotHandledErr;
  void ProcessCommand(const HICommand& command, EventRef, SInt32& result) override {
    gLog.push_back("owner " + FourCC(command.commandID));
    result = answer;
  }
};

class TQuitWindow : public TWindow {
 public:
  std::string label;
  void Closed() override { gLog.push_back("closed " + label); }
};

OSStatus SendAppCommand(UInt32 commandID, TDocument* document = nullptr, MenuRef menu = nullptr,
                        MenuItemIndex item = 0) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  HICommand command{};
  command.commandID = commandID;
  if (menu != nullptr) {
    command.attributes = kHICommandFromMenu;
    command.menu.menuRef = menu;
    command.menu.menuItemIndex = item;
  }
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  if (document != nullptr) SetEventParameter(event, kEventParamDocument, typeVoidPtr, sizeof document, &document);
  OSStatus status = SendEventToEventTarget(event, GetApplicationEventTarget());
  ReleaseEvent(event);
  return status;
}

void PostCommand(UInt32 commandID) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  HICommand command{};
  command.commandID = commandID;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard);
  ReleaseEvent(event);
}

std::vector<std::string> MenuTexts(MenuRef menu) {
  std::vector<std::string> out;
  for (MenuItemIndex i = 1; menu != nullptr && i <= CountMenuItems(menu); ++i) {
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &text);
    char buffer[256] = {0};
    if (text != nullptr) {
      CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
      CFRelease(text);
    }
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(menu, i, &attributes);
    out.push_back(attributes & kMenuItemAttrSeparator ? "-" : buffer);
  }
  return out;
}

std::vector<std::string> ArrayNames(CFArrayRef items) {
  std::vector<std::string> out;
  for (CFIndex i = 0; items != nullptr && i < CFArrayGetCount(items); ++i) {
    char buffer[1024] = {0};
    CFStringGetCString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(items, i)), buffer, sizeof buffer,
                       kCFStringEncodingUTF8);
    const std::string url(buffer);
    out.push_back(url.substr(url.find_last_of('/') + 1));
  }
  return out;
}

CFStringRef CopyURLString(const FSRef& file) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  CFStringRef text = CFStringCreateCopy(nullptr, CFURLGetString(url));
  CFRelease(url);
  return text;
}

class TApplicationTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  TRecordingPreferences* prefs = nullptr;
  TTestApplication* app = nullptr;
  MenuRef fileMenu = nullptr;

  void SetUp() override {
    gLog.clear();
    ApplicationQuitting = false;
    prefs = new TRecordingPreferences();
    prefs->SetDomain("applicationtest.");
    prefs->RemoveValue(kApplicationRecentItemsKey);
    prefs->RemoveValue(kApplicationDocumentListKey);
    // The File menu the main interface file gives the shell, item 8 free.
    CreateNewMenu(kApplicationFileMenuID, 0, &fileMenu);
    for (int i = 0; i < 9; ++i)
      AppendMenuItemTextWithCFString(fileMenu, CFStringMakeConstantUTF8("item"), 0, 0, nullptr);
    InsertMenu(fileMenu, 0);
  }
  void TearDown() override {
    DisposeAllWindows();
    ApplicationQuitting = false;
    delete app;
    DeleteMenu(kApplicationFileMenuID);
    prefs->RemoveValue(kApplicationRecentItemsKey);
    prefs->RemoveValue(kApplicationDocumentListKey);
    prefs->Release();
  }
  void Start(UInt16 index = 8, SInt16 limit = 25) {
    app = new TTestApplication();
    app->preferences = prefs;
    SetCurrentApplication(app);
    app->SetRecentItemsIndex(index);
    app->SetRecentItemsLimit(limit);
    app->Create('Qvel');
    // The bundle's main interface file, when there is one, brings its own
    // File menu: the recent items hang from that one.
    if (MenuRef installed = GetMenuRef(kApplicationFileMenuID)) fileMenu = installed;
  }
  void Open(const std::string& name) {
    folder.Write(name, "x");
    Boolean opened = false;
    app->OpenDocument(folder.Ref(name), opened, GetDefaultOpenCommandOptions());
  }
  TQuitWindow* Window(const std::string& label, SInt16 priority, bool modified = false) {
    auto* w = new TQuitWindow();
    w->label = label;
    w->Create("Document", FixtureNib());
    w->SetPriority(priority);
    if (modified) {
      auto* d = new TDocument();
      d->CreateEmpty();
      d->name = label.c_str();
      w->AppendDocument(d);
      d->modified = true;
      SetWindowModified(w->window, true);
    }
    w->Show();
    return w;
  }
};

TEST_F(TApplicationTest, CommandsNoWindowConsumedReachTheApplication) {
  Start();
  auto* owner = new TOwnerView();
  auto* document = new TDocument();
  document->CreateEmpty();
  document->owner = owner;
  struct Case {
    const char* name;
    UInt32 command;
    bool withDocument;
    SInt32 ownerAnswer;
    SInt32 appAnswer;
    std::vector<std::string> log;
    OSStatus status;
  } cases[] = {
      {"plain", 'find', false, eventNotHandledErr, noErr, {"app find -9874"}, noErr},
      {"unconsumed", 'find', false, eventNotHandledErr, eventNotHandledErr, {"app find -9874"}, eventNotHandledErr},
      // The owner answers first; what it leaves goes on with its result.
      {"owner leaves it", 'save', true, eventNotHandledErr, noErr, {"owner save", "app save -9874"}, noErr},
      {"owner takes it", 'save', true, noErr, noErr, {"owner save"}, noErr},
      // The application's own commands never reach ProcessCommand.
      {"clear menu", 'cler', false, eventNotHandledErr, noErr, {}, eventNotHandledErr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gLog.clear();
    owner->answer = c.ownerAnswer;
    app->answer = c.appAnswer;
    EXPECT_EQ(SendAppCommand(c.command, c.withDocument ? document : nullptr), c.status);
    EXPECT_EQ(gLog, c.log);
  }
  document->Release();
  delete owner;
}

TEST_F(TApplicationTest, OpenDocumentsEventsOpenEveryItemInANewWindow) {
  Start();
  app->openThrough = false;
  folder.Write("a.php", "a");
  folder.Write("b.js", "b");
  std::system(("mkdir '" + folder.path + "/site'").c_str());
  AEDescList list{};
  AECreateList(nullptr, 0, false, &list);
  for (const char* name : {"a.php", "site", "b.js"}) {
    FSRef ref = folder.Ref(name);
    AEPutPtr(&list, 0, typeFSRef, &ref, sizeof ref);
  }
  AppleEvent event{};
  AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, nullptr, kAutoGenerateReturnID, kAnyTransactionID, &event);
  AEPutParamDesc(&event, keyDirectObject, &list);
  EXPECT_EQ(AEDispatchAppleEvent(&event, nullptr), noErr);
  EXPECT_EQ(gLog, (std::vector<std::string>{"open a.php new", "open site new", "open b.js new"}));
  AEDisposeDesc(&event);
  AEDisposeDesc(&list);
}

TEST_F(TApplicationTest, RecentItemsKeepTheMenuAndTheListInStep) {
  folder.Write("a.php", "a");
  folder.Write("b.php", "b");
  folder.Write("gone.php", "g");
  // Stored oldest first; one of them no longer resolves.
  CFStringRef a = CopyURLString(folder.Ref("a.php")), gone = CopyURLString(folder.Ref("gone.php")),
              b = CopyURLString(folder.Ref("b.php"));
  const void* stored[] = {a, gone, b};
  CFArrayRef array = CFArrayCreate(nullptr, stored, 3, &kCFTypeArrayCallBacks);
  prefs->SetTypeValue(kApplicationRecentItemsKey, array);
  CFRelease(array);
  CFRelease(a);
  CFRelease(gone);
  CFRelease(b);
  unlink((folder.path + "/gone.php").c_str());

  Start(8, 3);
  MenuRef menu = nullptr;
  GetMenuItemHierarchicalMenu(fileMenu, 8, &menu);
  ASSERT_EQ(menu, app->recentItems.menu);
  EXPECT_EQ(MenuTexts(menu), (std::vector<std::string>{"b.php", "a.php", "-", "Clear Menu"}));
  EXPECT_EQ(ArrayNames(app->recentItems.items), (std::vector<std::string>{"a.php", "b.php"}));
  EXPECT_TRUE(IsMenuItemEnabled(fileMenu, 8));

  // Up to the limit, then the oldest goes from both ends; a file already
  // in the list adds nothing.
  Open("c.php");
  Open("d.php");
  Open("c.php");
  EXPECT_EQ(MenuTexts(menu), (std::vector<std::string>{"d.php", "c.php", "b.php", "-", "Clear Menu"}));
  EXPECT_EQ(ArrayNames(app->recentItems.items), (std::vector<std::string>{"b.php", "c.php", "d.php"}));

  // A recent item's menu item delivers its file with the open command.
  gLog.clear();
  app->openThrough = false;
  EXPECT_EQ(SendAppCommand(kHICommandOpenDocument, nullptr, menu, 2), noErr);
  EXPECT_EQ(gLog, (std::vector<std::string>{"open c.php"}));
  app->openThrough = true;

  // "Clear Menu" empties both; the next file brings the menu back.
  SendAppCommand(kHICommandClearRecentItems, nullptr, menu, 5);
  EXPECT_EQ(MenuTexts(menu), std::vector<std::string>{});
  EXPECT_EQ(CFArrayGetCount(app->recentItems.items), 0);
  EXPECT_FALSE(IsMenuItemEnabled(fileMenu, 8));
  Open("e.php");
  EXPECT_EQ(MenuTexts(menu), (std::vector<std::string>{"e.php", "-", "Clear Menu"}));
  EXPECT_TRUE(IsMenuItemEnabled(fileMenu, 8));

  // What is kept is written when the preferences are synchronised.
  app->SynchronizePreferences();
  CFTypeRef written = prefs->GetTypeValue(kApplicationRecentItemsKey);
  EXPECT_EQ(ArrayNames(static_cast<CFArrayRef>(written)), std::vector<std::string>{"e.php"});
  CFRelease(written);
}

TEST_F(TApplicationTest, WithoutARecentItemsIndexThereIsNoMenu) {
  Start(0, 25);
  Open("a.php");
  MenuRef menu = nullptr;
  GetMenuItemHierarchicalMenu(fileMenu, 8, &menu);
  EXPECT_EQ(menu, nullptr);
  EXPECT_EQ(app->recentItems.menu, nullptr);
  EXPECT_FALSE(app->ContainsRecentItem(folder.Ref("a.php")));
}

// The front window takes the file unless another holds it; either way it
// hears of it, knowing whether the file is already open.
TEST_F(TApplicationTest, AFileAlreadyOpenBringsItsWindowForward) {
  Start();
  folder.Write("a.php", "a");
  TQuitWindow* holder = Window("holder", 10);
  auto* document = new TDocument();
  document->CreateEmpty();
  document->file = folder.Ref("a.php");
  holder->AppendDocument(document);
  holder->documents->SetActive(document);
  TQuitWindow* other = Window("other", 10);
  ASSERT_EQ(GetWindowObject(ActiveNonFloatingWindow()), other);
  EXPECT_EQ(app->FindWindow(folder.Ref("a.php")), holder);
  EXPECT_EQ(app->FindDocument(folder.Ref("a.php")), document);
  Boolean opened = false;
  app->OpenDocument(folder.Ref("a.php"), opened, GetDefaultOpenCommandOptions());
  EXPECT_TRUE(opened);
  EXPECT_EQ(GetWindowObject(ActiveNonFloatingWindow()), holder);
  folder.Write("b.php", "b");
  app->OpenDocument(folder.Ref("b.php"), opened, GetDefaultOpenCommandOptions());
  EXPECT_FALSE(opened);
}

TEST_F(TApplicationTest, QuitClosesCleanWindowsByPriorityAndStopsAtAModifiedOne) {
  Start();
  Window("late", 10);
  Window("dirty", 5, true);
  Window("early", 1);
  Window("middle", 5);
  // The save question is left open, as a sheet would be.
  const auto saved = TWindowAskSaveChanges;
  TWindowAskSaveChanges = [](TWindow* w, TDocument*, UInt32 action) {
    gLog.push_back("ask " + static_cast<TQuitWindow*>(w)->label + " " + std::to_string(action));
  };
  EXPECT_EQ(app->HandleQuitCommand(), noErr);
  EXPECT_EQ(gLog, (std::vector<std::string>{"closed early", "closed middle", "ask dirty 2"}));
  EXPECT_TRUE(ApplicationQuitting);
  EXPECT_EQ(prefs->synchronized, 0);
  // A second quit does not save the document list again.
  gLog.clear();
  prefs->RemoveValue(kApplicationDocumentListKey);
  prefs->SetArrayValue(kApplicationDocumentListKey, CFSTR("marker"));
  app->HandleQuitCommand();
  EXPECT_TRUE(prefs->ContainsValue(kApplicationDocumentListKey));
  EXPECT_EQ(gLog, std::vector<std::string>{"ask dirty 2"});
  TWindowAskSaveChanges = saved;
}

// The question is answered at once: the window closes and asks, from inside
// the walk, to go on quitting; that request is not lost, the other windows
// close, the loop ends and the preferences are written after it.
TEST_F(TApplicationTest, AQuitAskedDuringTheWalkIsKeptAndTheLoopEnds) {
  Start();
  Window("late", 10);
  Window("dirty", 3, true);
  Window("early", 1);
  const auto saved = TWindowAskSaveChanges;
  TWindowAskSaveChanges = [](TWindow* w, TDocument* d, UInt32 action) {
    gLog.push_back("don't save " + static_cast<TQuitWindow*>(w)->label);
    TWindowReleaseDocument(w, d, action);
  };
  PostCommand(kHICommandQuit);
  PostCommand('stop');  // ends the loop should the quit not
  app->Run();
  FlushEventQueue(GetMainEventQueue());
  // The walk that found nothing left to ask writes them too.
  EXPECT_EQ(gLog, (std::vector<std::string>{"closed early", "don't save dirty", "closed dirty", "closed late",
                                            "synchronize", "synchronize"}));
  EXPECT_EQ(ActiveNonFloatingWindow(), nullptr);
  TWindowAskSaveChanges = saved;
}

// However the loop is left (here: from a command, as the review sheet
// does), the recent items are written once it returns.
TEST_F(TApplicationTest, PreferencesAreWrittenWhenTheLoopReturns) {
  Start();
  Open("a.php");
  PostCommand('stop');
  app->Run();
  EXPECT_EQ(prefs->synchronized, 1);
  CFTypeRef written = prefs->GetTypeValue(kApplicationRecentItemsKey);
  EXPECT_EQ(ArrayNames(static_cast<CFArrayRef>(written)), std::vector<std::string>{"a.php"});
  if (written != nullptr) CFRelease(written);
}

TEST_F(TApplicationTest, MenuCommandsFollowTheQuitAndTheFrontDocumentWindow) {
  Start();
  MenuRef menu = nullptr;
  CreateNewMenu(400, 0, &menu);
  const UInt32 commands[] = {'abou', 'clos', 'save', 'undo', 'find'};
  for (UInt32 id : commands) AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("x"), 0, id, nullptr);
  auto states = [&] {
    std::string out;
    for (MenuItemIndex i = 1; i <= 5; ++i) {
      EnableMenuItem(menu, i);
      HICommand command{};
      command.attributes = kHICommandFromMenu;
      command.commandID = commands[i - 1];
      command.menu.menuRef = menu;
      command.menu.menuItemIndex = i;
      SInt32 result = eventNotHandledErr;
      app->UpdateCommandStatus(command, nullptr, result);
      EXPECT_EQ(result, eventNotHandledErr);
      out += IsMenuItemEnabled(menu, i) ? '+' : '-';
    }
    return out;
  };
  // abou clos save undo find
  EXPECT_EQ(states(), "+---+") << "no document window";
  TQuitWindow* w = Window("front", 10);
  EXPECT_EQ(states(), "++-++") << "a clean document window";
  SetWindowModified(w->window, true);
  EXPECT_EQ(states(), "+++++") << "a modified one";
  ApplicationQuitting = true;
  EXPECT_EQ(states(), "---++") << "while quitting";
  DisposeMenu(menu);
}

// Without a review sheet, several unsaved documents are asked about one by
// one through the window's own close path: none is closed unasked.
TEST_F(TApplicationTest, WithoutAReviewSheetEachUnsavedDocumentIsAsked) {
  Start();
  TQuitWindow* w = Window("two", 10, true);
  auto* second = new TDocument();
  second->CreateEmpty();
  second->name = "second";
  w->AppendDocument(second);
  second->modified = true;
  const auto review = OpenReviewFilesDialog;
  OpenReviewFilesDialog = nullptr;
  const auto saved = TWindowAskSaveChanges;
  TWindowAskSaveChanges = [](TWindow* window, TDocument* d, UInt32 action) {
    gLog.push_back(std::string("ask ") + d->name.str() + " " + std::to_string(action));
    TWindowReleaseDocument(window, d, action);
  };
  EXPECT_EQ(app->HandleQuitCommand(), eventNotHandledErr);
  EXPECT_EQ(gLog, (std::vector<std::string>{"ask two 2", "ask second 3", "closed two", "synchronize"}));
  EXPECT_EQ(ActiveNonFloatingWindow(), nullptr);
  TWindowAskSaveChanges = saved;
  OpenReviewFilesDialog = review;
}

// A window that adds its project's bundle to the application's list when it
// closes, as a project's windows do.
class TProjectLikeWindow : public TQuitWindow {
 public:
  FSRef bundle{};
  Boolean SaveDocumentList(CFArrayRef list) override {
    CurrentApplication->AppendDocumentList(bundle);
    return TWindow::SaveDocumentList(list);
  }
};

// The saved list as file names: a window's list in brackets, a bundle bare.
std::string SessionOf(TPreferenceHandler* prefs) {
  CFTypeRef list = prefs->GetTypeValue(kApplicationDocumentListKey);
  std::string out;
  auto nameOf = [](CFTypeRef entry) {
    FSRef file{};
    if (CFGetTypeID(entry) != CFDataGetTypeID() || CFDataGetLength(CFDataRef(entry)) != sizeof file) return std::string("?");
    CFDataGetBytes(CFDataRef(entry), CFRangeMake(0, sizeof file), reinterpret_cast<UInt8*>(&file));
    return PathOf(file);
  };
  for (CFIndex i = 0; list != nullptr && i < CFArrayGetCount(CFArrayRef(list)); ++i) {
    CFTypeRef entry = CFArrayGetValueAtIndex(CFArrayRef(list), i);
    if (!out.empty()) out += " ";
    if (CFGetTypeID(entry) != CFArrayGetTypeID()) {
      out += nameOf(entry);
      continue;
    }
    out += "[";
    for (CFIndex j = 0; j < CFArrayGetCount(CFArrayRef(entry)); ++j)
      out += (j > 0 ? " " : "") + nameOf(CFArrayGetValueAtIndex(CFArrayRef(entry), j));
    out += "]";
  }
  if (list != nullptr) CFRelease(list);
  return out;
}

// Closing the last window quits: what that window held is the session the
// next start reopens, not the empty list of the windows left. With windows
// still open at the quit, theirs is the session.
TEST_F(TApplicationTest, TheLastWindowClosedIsTheSession) {
  Start();
  auto window = [&](const std::string& label, std::vector<std::string> files) {
    TQuitWindow* w = Window(label, 10);
    w->SetOptions(kTWindowOptionsSaveDocumentsApplication);
    for (const std::string& name : files) {
      folder.Write(name, "x");
      auto* d = new TDocument();
      d->file = folder.Ref(name);
      d->name = name.c_str();
      w->AppendDocument(d);
    }
    return w;
  };
  struct Case {
    const char* what;
    std::function<void()> run;
    std::string session;
  };
  const auto saved = TWindowAskSaveChanges;
  const auto letGo = [](TWindow* w, TDocument* d, UInt32 action) { TWindowReleaseDocument(w, d, action); };
  TWindowAskSaveChanges = letGo;
  auto documentAt = [](TWindow* w, CFIndex i) {
    return static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(w->documents->documents, i)));
  };
  const std::vector<Case> cases = {
      {"two windows closed one after the other",
       [&] {
         window("first", {"c.php"})->Remove();
         window("last", {"a.php", "b.php"})->Remove();
       },
       "[a.php b.php]"},
      {"a window still open at the quit",
       [&] {
         window("closed", {"c.php"})->Remove();
         window("open", {"d.php"});
       },
       "[d.php]"},
      {"a modified document let go of at the question",
       [&] {
         TQuitWindow* w = window("asked", {"a.php", "e.php"});
         documentAt(w, 1)->modified = true;
         SetWindowModified(w->window, true);
         w->HandleCloseEvent(nullptr);
       },
       "[a.php e.php]"},
      {"a close cancelled at the question, then a document closed",
       [&] {
         TQuitWindow* w = window("cancelled", {"a.php", "e.php"});
         documentAt(w, 0)->modified = true;
         SetWindowModified(w->window, true);
         TWindowAskSaveChanges = saved;  // the real question, answered Cancel
         HeadlessClearNavLog();
         HeadlessQueueNavAnswer(HeadlessNavAnswer{});
         w->HandleCloseEvent(nullptr);
         TWindowAskSaveChanges = letGo;
         for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);  // the sheet answers from the loop
         ASSERT_EQ(HeadlessCopyNavLog().size(), 1u);
         ASSERT_EQ(w->documents->GetCount(), 2);
         documentAt(w, 0)->modified = false;
         TDocument* e = documentAt(w, 1);
         RemoveDocumentFromList(e, w->window);
         e->Release();
         SetWindowModified(w->window, false);
         w->HandleCloseEvent(nullptr);
       },
       "[a.php]"},
      {"a project's window",
       [&] {
         auto* w = new TProjectLikeWindow();
         w->label = "project";
         w->Create("Document", FixtureNib());
         w->SetOptions(kTWindowOptionsSaveDocumentsPrivate);
         w->SetPreferences(prefs);
         w->SetPreferenceKey("projecttest");
         folder.Write("Site.qvproj", "x");
         w->bundle = folder.Ref("Site.qvproj");
         w->Show();
         w->Remove();
       },
       "Site.qvproj"},
      {"an empty window closed last", [&] { window("empty", {})->Remove(); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ApplicationQuitting = false;
    c.run();
    app->HandleQuitCommand();
    EXPECT_EQ(SessionOf(prefs), c.session);
    DisposeAllWindows();
  }
  TWindowAskSaveChanges = saved;
}

TEST_F(TApplicationTest, DefaultPreferencesAreCopiedOnlyWhenNoneExist) {
  Start();
  const std::string name = "applicationtest-defaults.plist";
  const std::string stored = std::string(getenv("XDG_CONFIG_HOME")) + "/Quorvel/" + name;
  unlink(stored.c_str());
  // Nothing stored and no defaults among the resources: the user is told.
  HeadlessClearAlertLog();
  app->CopyDefaultPreferences(name.c_str());
  std::vector<HeadlessAlertRecord> alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].explanation, "There was an error copying the default preferences.");
  // A file of that name already there: nothing is copied or said.
  std::system(("mkdir -p \"" + std::string(getenv("XDG_CONFIG_HOME")) + "/Quorvel\"").c_str());
  std::ofstream(stored) << "<plist/>";
  HeadlessClearAlertLog();
  app->CopyDefaultPreferences(name.c_str());
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  unlink(stored.c_str());
}

}  // namespace
