// The editor window over real windows, panes and files (headless): a single
// pane or tabs, pages routed to the preview by their type, dropped files and
// text, the document list kept over a quit and a restart, the project
// binding and its end, and the toolbar a pane state gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../language/fixtures/CodeSenseFixture.h"
#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "Drag.h"
#include "HIToolbar.h"
#include "HeadlessHost.h"
#include "TApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TPreferencesUnit.h"
#include "TQVEditorUnit.h"
#include "HIViewButtons.h"
#include "THIToolbarUnit.h"
#include "WASTE.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;

namespace {

IBNibRef WindowNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("WinMain"), &made), noErr);
    return made;
  }();
  return nib;
}

// What the preview seam was asked to show.
std::vector<std::string> gPages;
TDocumentPane* RecordPage(TEditorWindowAbstract*, TDocument*, const std::string& url, TDocumentPane*) {
  gPages.push_back(url);
  return nullptr;  // the window lets go of the document
}

// Opened documents go where the global commands will send them: a new
// window, or a tab of the front one.
class TTestApplication : public TApplication {
 public:
  std::vector<std::string> opened;
  void OpenDocument(const FSRef& file, Boolean& done, const ApplicationOpenCommandOptions& options) override {
    opened.push_back(FSGetDisplayName(file).str());
    done = true;
    auto* front = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
    if (options.newWindow || front == nullptr) OpenEditorWindowWithFileRef(nullptr, file, options);
    else front->NewFile(&file, nullptr);
  }
};

std::vector<std::string> DocumentNames(TWindow* window) {
  std::vector<std::string> names;
  for (SInt16 i = 0; window->documents != nullptr && i < window->documents->GetCount(); ++i)
    names.push_back(
        static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(window->documents->documents, i)))->name.str());
  return names;
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'TEXT', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

struct EditorWindowTest : ScratchTest {
  TPreferenceHandlerApplication* prefs = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    static bool registered = false;
    if (!registered) {
      HeadlessUseVirtualClock(true);
      RegisterWasteClass();
      RegisterToolbarViewClass();
      RegisterTabViewClass();
      RegisterSplitViewClass();
      registered = true;
    }
    ApplicationNib = WindowNib();
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("user.");
    AppPrefs = prefs;
    gPages.clear();
    EditorWindowHooks hooks{};
    hooks.MakePreviewPane = RecordPage;
    EditorWindowSetHooks(&hooks);
  }
  void TearDown() override {
    for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
         w = GetFrontWindowOfClass(kDocumentWindowClass, false)) {
      if (TWindow* object = GetWindowObject(w)) {
        for (const std::string& unused : DocumentNames(object)) (void)unused;
        for (SInt16 i = 0; object->documents != nullptr && i < object->documents->GetCount(); ++i)
          static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(object->documents->documents, i)))->modified =
              false;
        object->Remove();
      } else {
        DisposeWindow(w);
      }
    }
    EditorWindowSetHooks(nullptr);
    SetCurrentApplication(nullptr);
    AppPrefs = nullptr;
    prefs->RemoveValue(kApplicationDocumentListKey);
    prefs->Release();
    ScratchTest::TearDown();
  }
  void Tabs(bool on) { prefs->SetBooleanValue("GeneralEditorFeaturesTabs", on); }
  std::string File(const std::string& name, const std::string& text = "<?php echo 1; ?>\n") {
    WriteText(scratch + "/" + name, text);
    return scratch + "/" + name;
  }
  TEditorWindow* Window() {
    TEditorWindow* window = CreateEditorWindow(nullptr, GetDefaultOpenCommandOptions());
    EXPECT_NE(window->window, nullptr);
    window->Show();
    return window;
  }
  void Settle() {
    for (int i = 0; i < 2000; ++i) HeadlessAdvanceClock(0.001);
  }
};

TEST_F(EditorWindowTest, AWindowWithTabsTakesEachFileAsATab) {
  Tabs(true);
  TEditorWindow* window = Window();
  EXPECT_EQ(GetWindowKind(window->window), 1);
  EXPECT_EQ(FrontEditorWindow(), window);
  void* find = nullptr;
  window->GetProperty(kEditorWindowFindTag, find);
  EXPECT_EQ(find, window->Find);
  ASSERT_NE(window->Tabs, nullptr);
  ASSERT_NE(window->Tabs->tabs, nullptr);
  EXPECT_EQ(window->SinglePane, nullptr);
  ASSERT_NE(window->toolbar, nullptr);
  EXPECT_EQ(window->toolbar->Identifier, Str255("simple editor"));

  const FSRef a = RefOf(File("a.php")), b = RefOf(File("b.php"));
  window->NewFile(&a, nullptr);
  window->NewFile(&b, nullptr);
  EXPECT_EQ(DocumentNames(window), (std::vector<std::string>{"a.php", "b.php"}));
  TEditorPane* active = window->GetActiveEditor();
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(active->document->name, Str63("b.php"));
  // The document knows its editor, so it can select what it was opened for.
  auto* document = dynamic_cast<TSourceDocument*>(active->document);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->editor, active->editor);
  // Saved under a new name, the tab and the window follow it.
  const FSRef c = RefOf(File("c.php"));
  document->file = c;
  document->SavedAs();
  EXPECT_EQ(active->Title, Str63("c.php"));
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(window->window, &title);
  EXPECT_EQ(Utf8(title), "c.php");
  if (title != nullptr) CFRelease(title);
  // 'new ' in a window with tabs is an untitled tab of its own.
  SInt32 result = eventNotHandledErr;
  HICommand command{};
  command.commandID = 'new ';
  window->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(result, noErr);
  EXPECT_EQ(DocumentNames(window).size(), 3u);
  // A tab closed goes with its document.
  active->Close();
  Settle();
  EXPECT_EQ(DocumentNames(window).size(), 2u);
  EXPECT_EQ(DocumentNames(window)[0], "a.php");
}

// One tab of three closes, by the window's close command (the key and the
// menu) or by the tab's own close (its close box), wherever it stands: the
// window and its other tabs stay, an unsaved edit of another tab with them,
// and the last tab left is the active one.
TEST_F(EditorWindowTest, ClosingOneTabOfSeveralLeavesTheOthersAsTheyWere) {
  Tabs(true);
  const std::vector<std::string> names = {"a.php", "b.php", "c.php"};
  for (const bool byCommand : {true, false})
    for (size_t which = 0; which < names.size(); ++which) {
      SCOPED_TRACE(names[which] + (byCommand ? " by the close command" : " by its close box"));
      TEditorWindow* window = Window();
      for (const std::string& name : names) {
        const FSRef file = RefOf(File(name));
        window->NewFile(&file, nullptr);
      }
      Settle();
      auto pane = [&](size_t i) {
        auto* document =
            static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(window->documents->documents, CFIndex(i))));
        return dynamic_cast<TEditorPane*>(document->owner);
      };
      const size_t edited = which == 2 ? 0 : 2;
      TEditorPane* editedPane = pane(edited);
      ASSERT_NE(editedPane, nullptr);
      TDocument* editedDocument = editedPane->document;
      editedDocument->modified = true;
      TEditorPane* closing = pane(which);
      ASSERT_NE(closing, nullptr);
      closing->Select();
      ASSERT_EQ(window->GetActiveEditor(), closing);
      if (byCommand) {
        SInt32 result = eventNotHandledErr;
        HICommand command{};
        command.commandID = kHICommandTWindowClose;
        window->ProcessCommand(command, nullptr, result);
      } else {
        closing->Close();
      }
      Settle();
      std::vector<std::string> left = names;
      left.erase(left.begin() + std::ptrdiff_t(which));
      EXPECT_EQ(DocumentNames(window), left);
      ASSERT_NE(window->GetActiveEditor(), nullptr);
      EXPECT_EQ(window->GetActiveEditor()->document->name, Str63(left.back()));
      EXPECT_EQ(editedPane->document, editedDocument);
      EXPECT_TRUE(editedDocument->modified);
      EXPECT_TRUE(IsWindowModified(window->window));
      editedDocument->modified = false;
      window->Remove();
      Settle();
    }
}

TEST_F(EditorWindowTest, AWindowWithoutTabsShowsOneDocumentAndListsIt) {
  Tabs(false);
  TEditorWindow* window = Window();
  EXPECT_EQ(window->Tabs, nullptr);
  const FSRef a = RefOf(File("a.php"));
  window->NewFile(&a, nullptr);
  ASSERT_NE(window->SinglePane, nullptr);
  EXPECT_EQ(window->GetActiveEditor(), window->SinglePane);
  EXPECT_EQ(DocumentNames(window), (std::vector<std::string>{"a.php"}));
  EXPECT_EQ(window->documents->GetActive(), window->SinglePane->document);
  EXPECT_EQ(window->preferenceKey, Str63("Editor.single.a.php"));
  // The toolbar knows about the pane, though no tab was selected.
  HIToolbarItemRef find = window->toolbar->GetItemByCommand('FIND');
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(HIToolbarItemIsEnabled(find));
  // Without tabs, 'new ' is the application's (a new window or the dialog).
  SInt32 result = eventNotHandledErr;
  HICommand command{};
  command.commandID = 'new ';
  window->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(result, eventNotHandledErr);
  // A second window is cascaded on this one.
  TEditorWindow* second = Window();
  Rect first{}, next{};
  GetWindowBounds(window->window, kWindowStructureRgn, &first);
  GetWindowBounds(second->window, kWindowStructureRgn, &next);
  EXPECT_GT(next.left, first.left);
  EXPECT_GT(next.top, first.top);
}

TEST_F(EditorWindowTest, PagesGoToThePreviewAndTextToTheEditor) {
  Tabs(true);
  TEditorWindow* window = Window();
  struct Case {
    const char* name;
    bool page;
  } cases[] = {
      {"photo.png", true},  {"manual.pdf", true}, {"saved.webarchive", true}, {"link.webloc", true},
      {"my photo.jpg", true}, {"index.php", false}, {"notes.txt", false},     {"noextension", false},
  };
  size_t tabs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gPages.clear();
    const FSRef file = RefOf(File(c.name, "x"));
    window->NewFile(&file, nullptr);
    if (c.page) {
      ASSERT_EQ(gPages.size(), 1u);
      EXPECT_EQ(gPages[0].rfind("file://", 0), 0u) << gPages[0];
      EXPECT_EQ(gPages[0].find(' '), std::string::npos) << gPages[0];
    } else {
      EXPECT_TRUE(gPages.empty());
      ++tabs;
    }
    EXPECT_EQ(DocumentNames(window).size(), tabs);
  }
  EXPECT_EQ(gPages.size(), 0u);
}

TEST_F(EditorWindowTest, TheTabBarOpensDroppedFilesAndText) {
  Tabs(true);
  TEditorWindow* window = Window();
  TEditorTabs* tabs = window->Tabs->tabs;
  EXPECT_TRUE(tabs->AcceptDrag(nullptr, nullptr, 'hfs ', nullptr));
  EXPECT_TRUE(tabs->AcceptDrag(nullptr, nullptr, 'utxt', nullptr));
  EXPECT_FALSE(tabs->AcceptDrag(nullptr, nullptr, 'TEXT', nullptr));

  // A text file: a new tab.
  const FSRef file = RefOf(File("dropped.php"));
  HFSFlavor flavor{};
  ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, &flavor.fileSpec, nullptr), noErr);
  Ptr data = NewPtr(sizeof flavor);
  BlockMoveData(&flavor, data, sizeof flavor);
  EXPECT_TRUE(tabs->ReceiveDrag(nullptr, data, 'hfs ', nullptr));
  DisposePtr(data);
  EXPECT_EQ(DocumentNames(window), (std::vector<std::string>{"dropped.php"}));

  auto drop = [&](const std::u16string& text) {
    Ptr block = NewPtr(Size(text.size() * sizeof(char16_t)));
    BlockMoveData(text.data(), block, Size(text.size() * sizeof(char16_t)));
    const Boolean taken = tabs->ReceiveDrag(nullptr, block, 'utxt', nullptr);
    DisposePtr(block);
    return taken;
  };
  // An address: a page.
  EXPECT_TRUE(drop(u"http://localhost/index.php"));
  EXPECT_EQ(gPages, (std::vector<std::string>{"http://localhost/index.php"}));
  EXPECT_EQ(DocumentNames(window).size(), 1u);
  // Other text: a new untitled document holding it, with changes to save.
  EXPECT_TRUE(drop(u"echo: ünïcode"));
  ASSERT_EQ(DocumentNames(window).size(), 2u);
  TEditorPane* pane = window->GetActiveEditor();
  ASSERT_NE(pane, nullptr);
  EXPECT_FALSE(FSValidFSRef(pane->document->file));
  EXPECT_TRUE(pane->document->modified);
  Handle h = NewHandle(0);
  WEReference we = pane->editor->GetWE();
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  EXPECT_EQ(std::string(*h, size_t(GetHandleSize(h))), "echo: ünïcode");
  DisposeHandle(h);

  // No editor window in front: the drop is refused.
  window->Hide();
  EXPECT_FALSE(drop(u"more"));
}

TEST_F(EditorWindowTest, TheDocumentListOfAQuitReopensTheSameFiles) {
  auto* app = new TTestApplication();
  app->preferences = prefs;
  SetCurrentApplication(app);
  app->Create('QVRL');  // its open-document command handler
  ApplicationNib = WindowNib();
  Tabs(true);
  TEditorWindow* window = Window();
  const FSRef a = RefOf(File("a.php")), b = RefOf(File("b b.php"));
  window->NewFile(&a, nullptr);
  window->NewFile(&b, nullptr);
  window->NewFile(nullptr, nullptr);  // untitled: nothing to reopen
  EXPECT_EQ(window->options, TWindowOptions(kTWindowOptionsSaveDocumentsApplication));

  app->SaveDocumentList();
  CFTypeRef list = prefs->GetTypeValue(kApplicationDocumentListKey);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(CFGetTypeID(list), CFArrayGetTypeID());
  ASSERT_EQ(CFArrayGetCount(CFArrayRef(list)), 1);  // one window
  CFRelease(list);

  window->Remove();
  EXPECT_EQ(FrontEditorWindow(), nullptr);
  app->RestoreDocumentList();
  EXPECT_EQ(app->opened, (std::vector<std::string>{"a.php", "b b.php"}));
  auto* reopened = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(DocumentNames(reopened), (std::vector<std::string>{"a.php", "b b.php"}));
  reopened->Remove();

  // Without tabs each file has a window of its own, and gets it back.
  Tabs(false);
  OpenEditorWindowWithFileRef(nullptr, a, GetDefaultOpenCommandOptions());
  OpenEditorWindowWithFileRef(nullptr, b, GetDefaultOpenCommandOptions());
  app->SaveDocumentList();
  list = prefs->GetTypeValue(kApplicationDocumentListKey);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(CFArrayGetCount(CFArrayRef(list)), 2);
  CFRelease(list);
  for (TWindow* w = FrontEditorWindow(); w != nullptr; w = FrontEditorWindow()) w->Remove();
  app->opened.clear();
  app->RestoreDocumentList();
  std::vector<std::string> windows;
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, true))
    for (const std::string& name : DocumentNames(GetWindowObject(w))) windows.push_back(name);
  std::sort(windows.begin(), windows.end());
  EXPECT_EQ(windows, (std::vector<std::string>{"a.php", "b b.php"}));
  SetCurrentApplication(nullptr);
  delete app;
}

// A project stands in as an opaque object the window only passes on.
int gProjectObject = 0;
TProject* const kProject = reinterpret_cast<TProject*>(&gProjectObject);
std::vector<std::string> gProjectLog;

TEST_F(EditorWindowTest, AWindowLetsGoOfItsProjectWhenTheProjectsWindowCloses) {
  EditorWindowHooks hooks{};
  hooks.OpenProject = [](const FSRef&) { return kProject; };
  hooks.CloseWindow = [](TProject* project, TEditorWindowAbstract*) {
    gProjectLog.push_back(project == kProject ? "close project" : "close other");
  };
  EditorWindowSetHooks(&hooks);
  gProjectLog.clear();
  prefs->SetBooleanValue("GeneralEditorFeaturesProject", true);
  mkdir((scratch + "/site.qvproj").c_str(), 0700);
  const FSRef bundle = RefOf(scratch + "/site.qvproj");

  TEditorWindow* integrated = CreateEditorWindow(&bundle, GetDefaultOpenCommandOptions());
  integrated->Show();
  EXPECT_TRUE(integrated->Integrated);
  // The panes ask their window as the program's wiring lets them.
  EditorPaneHooks paneHooks = EditorPaneGetHooks();
  paneHooks.IsIntegratedProjectWindow = EditorWindowIsIntegratedProjectWindow;
  paneHooks.UpdateSidePane = EditorWindowUpdateSidePane;
  EditorPaneSetHooks(&paneHooks);
  EXPECT_TRUE(EditorPaneGetHooks().IsIntegratedProjectWindow(integrated));
  EXPECT_NE(integrated->Tabs, nullptr);  // always, whatever the preference
  EXPECT_EQ(integrated->options, TWindowOptions(kTWindowOptionsSaveDocumentsPrivate));
  EXPECT_EQ(integrated->toolbar->Identifier, Str255("integrated editor"));
  EXPECT_NE(integrated->MainSplit, nullptr);

  // Two windows share the project of the front editor window.
  ApplicationOpenCommandOptions shared = GetDefaultOpenCommandOptions();
  shared.projectMode = 1;
  TEditorWindow* first = CreateEditorWindow(nullptr, shared);
  first->Show();
  TEditorWindow* second = CreateEditorWindow(nullptr, shared);
  second->Show();
  const FSRef a = RefOf(File("a.php"));
  second->NewFile(&a, nullptr);
  for (TEditorWindow* w : {first, second}) {
    EXPECT_EQ(w->Project, kProject);
    void* stored = nullptr;
    w->GetProperty(kEditorWindowProjectTag, stored);
    EXPECT_EQ(stored, kProject);
  }
  EXPECT_EQ(second->GetActiveEditor()->project, kProject);
  EXPECT_FALSE(EditorPaneGetHooks().IsIntegratedProjectWindow(second));

  // The integrated window's close takes the project away from both first.
  SInt32 status = 0;
  integrated->Close(status);
  EXPECT_EQ(gProjectLog, (std::vector<std::string>{"close project"}));
  for (TEditorWindow* w : {first, second}) {
    EXPECT_EQ(w->Project, nullptr);
    void* stored = nullptr;
    TWindowGetProperty(kEditorWindowProjectTag, stored, w->window);
    EXPECT_EQ(stored, nullptr);  // nothing leads back to the freed project
  }
  EXPECT_EQ(second->GetActiveEditor()->project, nullptr);
  EditorPaneSetHooks(nullptr);
}

TEST_F(EditorWindowTest, APreviewWindowHasNoToolbarAndNoToolbarButton) {
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.projectMode = 2;
  TEditorWindow* window = CreateEditorWindow(nullptr, options);
  window->Show();
  EXPECT_TRUE(window->NoToolbar);
  EXPECT_FALSE(IsWindowToolbarVisible(window->window));
  WindowAttributes attributes = 0;
  GetWindowAttributes(window->window, &attributes);
  EXPECT_EQ(attributes & kWindowToolbarButtonAttribute, 0u);
  TEditorWindow* plain = Window();
  EXPECT_TRUE(IsWindowToolbarVisible(plain->window));
  GetWindowAttributes(plain->window, &attributes);
  EXPECT_NE(attributes & kWindowToolbarButtonAttribute, 0u);
}

TEST_F(EditorWindowTest, AnUntitledDocumentDisablesWhatNeedsAFile) {
  Tabs(true);
  TEditorWindow* window = Window();
  window->NewFile(nullptr, nullptr);
  window->UpdateToolbarStatus();
  auto enabled = [&](UInt32 command) {
    HIToolbarItemRef item = window->toolbar->GetItemByCommand(command);
    EXPECT_NE(item, nullptr) << command;
    return item != nullptr && HIToolbarItemIsEnabled(item);
  };
  auto enabledView = [&](const Str255& identifier) {
    HIToolbarItemRef item = window->toolbar->GetItemByIdentifier(identifier);
    EXPECT_NE(item, nullptr) << identifier.str();
    return item != nullptr && HIToolbarItemIsEnabled(item);
  };
  EXPECT_FALSE(enabledView(kEditorToolbarRunItem));
  EXPECT_FALSE(enabled('fINF'));
  EXPECT_FALSE(enabled('ECMP'));
  EXPECT_FALSE(enabled('uplo'));
  EXPECT_TRUE(enabled('FIND'));
  EXPECT_TRUE(enabledView(kEditorToolbarSearchItem));
  EXPECT_TRUE(enabled('new '));
  // Menu items: the commands of units that come later stay disabled.
  MenuRef menu = nullptr;
  CreateNewMenu(200, 0, &menu);
  for (int i = 0; i < 4; ++i) AppendMenuItemTextWithCFString(menu, CFSTR("item"), 0, 0, nullptr);
  auto status = [&](UInt32 id) {
    HICommand command{};
    command.commandID = id;
    command.attributes = kHICommandFromMenu;
    command.menu.menuRef = menu;
    command.menu.menuItemIndex = 1;
    EnableMenuItem(menu, 1);
    SInt32 result = eventNotHandledErr;
    window->UpdateCommandStatus(command, nullptr, result);
    EXPECT_EQ(result, eventNotHandledErr);
    return IsMenuItemEnabled(menu, 1);
  };
  EXPECT_TRUE(status('FIND'));
  EXPECT_EQ(status('Xerr'), status('EXEC'));
  EXPECT_FALSE(status('prvD'));  // an untitled document has nothing to preview
  EXPECT_FALSE(status('Mftp'));
  EXPECT_FALSE(status('uplo'));
  EXPECT_FALSE(status('cPAN'));
  ReleaseMenu(menu);
}

// Each key reports the document modified; the toolbar is brought up to date
// when that changes what it may show (the first change, a save that names
// the file), not again for every key typed on.
TEST_F(EditorWindowTest, TypingOnLeavesTheToolbarAloneAndASaveBringsItUpToDate) {
  Tabs(false);
  TEditorWindow* window = Window();
  window->NewFile(nullptr, nullptr);
  TEditorPane* pane = window->GetActiveEditor();
  ASSERT_NE(pane, nullptr);
  ASSERT_NE(pane->editor, nullptr);
  WEReference we = pane->editor->GetWE();
  HIToolbarItemRef find = window->toolbar->GetItemByCommand('FIND');
  ASSERT_NE(find, nullptr);
  THIToolbarItem* findData = window->toolbar->GetDataByCommand('FIND');
  ASSERT_NE(findData, nullptr);
  HIViewRef findView = findData->View;
  ASSERT_NE(findView, nullptr);
  auto type = [&](const char* text) {
    const SInt32 end = WEGetTextLength(we);
    WEPut(end, end, text, std::strlen(text), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  };
  type("<?php");
  EXPECT_TRUE(pane->document->modified);
  Settle();
  HIViewSetNeedsDisplay(findView, false);
  // The same answer once more would redraw every item: nothing changed.
  window->toolbar->SetItemEnabledByCommand('FIND', false);
  type(" echo 1;");
  EXPECT_FALSE(HIToolbarItemIsEnabled(find));
  EXPECT_FALSE(HIViewGetNeedsDisplay(findView));
  // Saved (under a name): the toolbar is worked out again.
  pane->document->SetModifiedState(false);
  EXPECT_TRUE(HIToolbarItemIsEnabled(find));
  // And the first key after the save does the same.
  window->toolbar->SetItemEnabledByCommand('FIND', false);
  type("\r");
  EXPECT_TRUE(pane->document->modified);
  EXPECT_TRUE(HIToolbarItemIsEnabled(find));
}

TEST_F(EditorWindowTest, TheShippedInterfaceFileHoldsWhatTheWindowLooksUp) {
  IBNibRef main = nullptr;
  ASSERT_EQ(CreateNibReference(CFSTR("main"), &main), noErr);
  ApplicationNib = main;
  Tabs(true);
  EditorWindowHooks hooks{};
  hooks.OpenProject = [](const FSRef&) { return kProject; };
  EditorWindowSetHooks(&hooks);
  for (bool integrated : {false, true}) {
    SCOPED_TRACE(integrated ? "integrated" : "editor");
    prefs->SetBooleanValue("GeneralEditorFeaturesProject", integrated);
    mkdir((scratch + "/site.qvproj").c_str(), 0700);
    const FSRef bundle = RefOf(scratch + "/site.qvproj");
    TEditorWindow* window = CreateEditorWindow(integrated ? &bundle : nullptr, GetDefaultOpenCommandOptions());
    ASSERT_NE(window->window, nullptr);
    window->Show();
    ASSERT_NE(window->Tabs, nullptr);
    ASSERT_NE(window->Tabs->tabs, nullptr);
    EXPECT_EQ(window->MainSplit != nullptr, integrated);
    const FSRef file = RefOf(File("a.php"));
    window->NewFile(&file, nullptr);
    TEditorPane* pane = window->GetActiveEditor();
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(pane->editor, nullptr);
    EXPECT_NE(pane->editor->GetWE(), nullptr);
    EXPECT_NE(pane->split, nullptr);
    // The run and preview items carry their menus from the same file.
    for (const Str255& id : {kEditorToolbarRunItem, kEditorToolbarPreviewItem}) {
      auto* item = dynamic_cast<TPopupIconView*>(window->toolbar->GetDataByIdentifier(id));
      ASSERT_NE(item, nullptr) << id.str();
      EXPECT_NE(item->PopupMenu, nullptr) << id.str();
    }
    window->Remove();
  }
  ApplicationNib = WindowNib();
}

// A page pane as the preview unit will make them.
// A page shown in an editor's place owns its document (no tab lists it).
class TPagePane : public TDocumentPane {
 public:
  bool ownsDocument = false;
  void Release() override {
    TDocument* page = ownsDocument ? document : nullptr;
    TDocumentPane::Release();
    if (page != nullptr) page->Release();
  }
};
TDocumentPane* MakePage(TEditorWindowAbstract*, TDocument* document, const std::string& url, TDocumentPane* owner) {
  gPages.push_back(url);
  auto* pane = new TPagePane();
  pane->ownsDocument = owner != nullptr;
  pane->SetDocument(document);
  return pane;
}

TEST_F(EditorWindowTest, APageTakesATabOrTheEditorsPlaceAndTheToolbarFollows) {
  EditorWindowHooks hooks{};
  hooks.MakePreviewPane = MakePage;
  hooks.IsPreviewPane = [](TPane* pane) -> Boolean { return dynamic_cast<TPagePane*>(pane) != nullptr; };
  EditorWindowSetHooks(&hooks);
  Tabs(true);
  TEditorWindow* window = Window();
  const FSRef a = RefOf(File("a.php"));
  window->NewFile(&a, nullptr);
  TEditorPane* editor = window->GetActiveEditor();
  ASSERT_NE(editor, nullptr);
  auto findEnabled = [&] { return HIToolbarItemIsEnabled(window->toolbar->GetItemByCommand('FIND')); };
  EXPECT_TRUE(findEnabled());

  // No owner: a tab of its own, and while it is in front find is off.
  window->NewURL("http://localhost/", nullptr);
  EXPECT_EQ(DocumentNames(window), (std::vector<std::string>{"a.php", "http://localhost/"}));
  EXPECT_EQ(window->GetActiveEditor(), nullptr);
  EXPECT_NE(dynamic_cast<TPagePane*>(window->ActivePane()), nullptr);
  EXPECT_FALSE(findEnabled());
  EXPECT_FALSE(HIToolbarItemIsEnabled(window->toolbar->GetItemByIdentifier(kEditorToolbarSearchItem)));

  // From the editor: the page takes the editor's place in its tab.
  editor->Select();
  EXPECT_EQ(window->GetActiveEditor(), editor);
  EXPECT_TRUE(findEnabled());
  window->NewURL("http://localhost/a.php", editor);
  ASSERT_NE(editor->overlay, nullptr);
  EXPECT_EQ(DocumentNames(window).size(), 2u);  // no new tab
  MenuRef menu = nullptr;
  CreateNewMenu(201, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFSTR("Close Preview"), 0, 'cEDT', nullptr);
  HICommand command{};
  command.commandID = 'cEDT';
  command.attributes = kHICommandFromMenu;
  command.menu.menuRef = menu;
  command.menu.menuItemIndex = 1;
  SInt32 result = eventNotHandledErr;
  window->UpdateCommandStatus(command, nullptr, result);
  EXPECT_TRUE(IsMenuItemEnabled(menu, 1));
  EXPECT_FALSE(findEnabled());  // find is not offered over the page
  // Closing it brings the editor back.
  window->ProcessDocumentCommand(command, nullptr, editor->document, result);
  EXPECT_EQ(result, noErr);
  EXPECT_EQ(editor->overlay, nullptr);
  window->UpdateCommandStatus(command, nullptr, result);
  EXPECT_FALSE(IsMenuItemEnabled(menu, 1));
  EXPECT_TRUE(findEnabled());
  ReleaseMenu(menu);
}

// Two projects, each with its own bundle and macros.
int gProjectA = 0, gProjectB = 0;
std::string gBundleA, gBundleB;

TEST_F(EditorWindowTest, TheActiveWindowsProjectMacrosAreTheOnesOffered) {
  for (auto [folder, bundle] : {std::pair{"a.qvproj", &gBundleA}, std::pair{"b.qvproj", &gBundleB}}) {
    *bundle = scratch + "/" + folder;
    std::system(("mkdir -p '" + *bundle + "/Contents/Resources/Data'").c_str());
    WriteText(*bundle + "/Contents/Resources/Data/project.macros.plist", Library({{"hello", "macro", "Hello"}}));
  }
  EditorWindowHooks hooks{};
  hooks.OpenProject = [](const FSRef& bundle) -> TProject* {
    return reinterpret_cast<TProject*>(FSGetFullPath(bundle).str() == gBundleA ? &gProjectA : &gProjectB);
  };
  hooks.ProjectBundle = [](TProject* project, FSRef& bundle) -> Boolean {
    bundle = RefOf(project == reinterpret_cast<TProject*>(&gProjectA) ? gBundleA : gBundleB);
    return true;
  };
  EditorWindowSetHooks(&hooks);
  prefs->SetBooleanValue("GeneralEditorFeaturesProject", false);
  auto* library = new TCodeSenseLibrary();
  ApplicationResourceInfo resources;
  resources.CodeSense = library;
  AppResources = &resources;

  const FSRef a = RefOf(gBundleA), b = RefOf(gBundleB);
  TEditorWindow* first = CreateEditorWindow(&a, GetDefaultOpenCommandOptions());
  TEditorWindow* second = CreateEditorWindow(&b, GetDefaultOpenCommandOptions());
  EXPECT_TRUE(first->CompareDocumentRoot(a));
  EXPECT_FALSE(first->CompareDocumentRoot(b));
  const FSRef macrosA = RefOf(gBundleA + "/Contents/Resources/Data/project.macros.plist");
  const FSRef macrosB = RefOf(gBundleB + "/Contents/Resources/Data/project.macros.plist");
  auto activate = [](TEditorWindow* window, UInt32 kind) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kind, 0, kEventAttributeNone, &event);
    EXPECT_EQ(window->HandleEvent(event), eventNotHandledErr);
    ReleaseEvent(event);
  };
  activate(first, kEventWindowActivated);
  EXPECT_TRUE(library->ContainsLibrary(macrosA));
  activate(second, kEventWindowActivated);
  EXPECT_TRUE(library->ContainsLibrary(macrosB));
  EXPECT_FALSE(library->ContainsLibrary(macrosA));
  activate(first, kEventWindowActivated);
  EXPECT_TRUE(library->ContainsLibrary(macrosA));
  EXPECT_FALSE(library->ContainsLibrary(macrosB));
  // Its window closed, the project's macros go.
  first->Closed();
  EXPECT_FALSE(library->ContainsLibrary(macrosA));
  // While another window of the project is open they stay.
  TEditorWindow* third = CreateEditorWindow(&a, GetDefaultOpenCommandOptions());
  activate(first, kEventWindowActivated);
  ASSERT_TRUE(library->ContainsLibrary(macrosA));
  first->Closed();
  EXPECT_TRUE(library->ContainsLibrary(macrosA));
  first->Remove();
  third->Closed();
  EXPECT_FALSE(library->ContainsLibrary(macrosA));

  third->Remove();
  second->Remove();
  AppResources = nullptr;
  library->Free();
}

}  // namespace
