// Tabs and document tabs: panes made when their tab is added, appearance
// that waits for the first tab event, the pane's own tab found however the
// tabs were renumbered, and documents that follow their tabs into and out
// of the window's list (and are released when their tab closes).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "TDocumentListUnit.h"
#include "TDocumentTabsUnit.h"
#include "TTabsUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

std::vector<std::string> gLog;

class TLogTabs : public TDocumentTabs {
 public:
  void Select(TTabPane* pane) override {
    gLog.push_back("select " + pane->Title.str());
    TDocumentTabs::Select(pane);
  }
  void Remove(TTabPane* pane) override {
    gLog.push_back(pane != nullptr ? "remove " + pane->Title.str() : "remove (gone)");
    TDocumentTabs::Remove(pane);
  }
};

class TLogPane : public TDocumentPane {
 public:
  void Create(const Str63& name, IBNibRef nib) override {
    gLog.push_back("create " + Title.str());
    TDocumentPane::Create(name, nib);
  }
  void Load() override {
    gLog.push_back("load " + Title.str());
    TDocumentPane::Load();
  }
};

class TLogDocument : public TTabDocument {
 public:
  explicit TLogDocument(const char* label) {
    CreateEmpty();
    name = label;
  }
  void Release() override {
    gLog.push_back("release " + name.str());
    TTabDocument::Release();
  }
};

std::string TabTitle(ControlRef tabs, SInt16 index) {
  CFArrayRef panes = TabViewGetPanes(tabs, index);
  if (panes == nullptr) return "<none>";
  TabPaneInfo info{};
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(panes, 0)), CFRangeMake(0, sizeof info),
                 reinterpret_cast<UInt8*>(&info));
  CFRelease(panes);
  return info.NAME.str();
}

// What the tab and its menu item show.
std::string ShownTitle(ControlRef tabs, SInt16 index) {
  CFArrayRef all = TabViewGetTabArray(tabs);
  if (all == nullptr || index < 1 || index > CFArrayGetCount(all)) return "<none>";
  TabInfo tab{};
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(all, index - 1)), CFRangeMake(0, sizeof tab),
                 reinterpret_cast<UInt8*>(&tab));
  CFStringRef text = nullptr;
  CopyMenuItemTextAsCFString(tab.MENU, 1, &text);
  if (text == nullptr) return "<nil>";
  char buffer[512] = {0};
  CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
  CFRelease(text);
  return buffer;
}

class TTabsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    RegisterTabViewClass();
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    window = new TWindow();
    window->Create("Document", FixtureNib());
    ShowWindow(window->window);
    EventRef init = nullptr;
    CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
    HIObjectRef object = nullptr;
    EXPECT_EQ(HIObjectCreate(kTabViewClassID, init, &object), noErr);
    ReleaseEvent(init);
    tabView = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window->window), tabView);
    const CGRect frame{{0, 0}, {400, 24}};
    HIViewSetFrame(tabView, &frame);
    HIViewSetVisible(tabView, true);
    tabs = new TLogTabs();
    tabs->SetController(window);
    tabs->Create(tabView);
  }
  void TearDown() override {
    if (window != nullptr) {
      for (SInt16 i = 0; i < window->documents->GetCount(); ++i) {
        auto* d = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(window->documents->documents, i)));
        d->modified = false;
      }
      window->Remove();
    }
    HeadlessClearNavAnswers();
    DisposeAllWindows();
  }
  TLogPane* Add(const char* title, TDocument* document = nullptr) {
    auto* pane = new TLogPane();
    pane->SetResource("Pane", FixtureNib());
    if (document != nullptr)
      pane->SetDocument(document);
    else
      pane->SetAppearance(title, nullptr, 0);
    tabs->Append(pane);
    return pane;
  }
  TWindow* window = nullptr;
  HIViewRef tabView = nullptr;
  TLogTabs* tabs = nullptr;
};

TEST_F(TTabsTest, APaneIsMadeWhenItsTabIsAddedAndItsLooksWaitForTheTab) {
  EXPECT_EQ(tabs->GetActive(), nullptr);
  auto* pane = new TLogPane();
  pane->SetResource("Pane", FixtureNib());
  pane->SetAppearance("index.php", nullptr, 0);
  EXPECT_EQ(pane->TabIndex, 0);
  EXPECT_EQ(pane->Kind, 1);
  tabs->Append(pane);
  EXPECT_EQ(gLog, (std::vector<std::string>{"create index.php", "load index.php", "select index.php"}));
  EXPECT_EQ(pane->TabIndex, 1);
  EXPECT_EQ(tabs->GetActive(), pane);
  EXPECT_EQ(TabTitle(tabView, 1), "index.php");
  ASSERT_NE(pane->paneView, nullptr);
  EXPECT_EQ(HIViewGetSuperview(pane->paneView), HIViewGetSuperview(tabView));  // below the bar, beside it
  // An empty title keeps the old one.
  pane->SetAppearance("", nullptr, 0);
  EXPECT_EQ(TabTitle(tabView, 1), "index.php");
  pane->SetAppearance("main.php", nullptr, 0);
  EXPECT_EQ(TabTitle(tabView, 1), "main.php");
}

// A document's tab shows its file's whole name, of any script or length,
// when it is added and after a Save As; a short title set later replaces it.
TEST_F(TTabsTest, ADocumentTabShowsTheWholeNameOfItsFile) {
  ScratchFolder folder;
  const std::string names[] = {"index.php", "\u041f\u0440\u0438\u0432\u0435\u0442.php",
                               std::string(70, 'l') + ".php"};
  SInt16 index = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    folder.Write(name, "");
    folder.Write("saved " + name, "");
    auto* document = new TLogDocument("x");
    document->file = folder.Ref(name);
    document->name = FSGetDisplayName(document->file);
    Add("", document);
    ++index;
    EXPECT_EQ(ShownTitle(tabView, index), name);
    document->file = folder.Ref("saved " + name);
    document->SavedAs();
    EXPECT_EQ(ShownTitle(tabView, index), "saved " + name);
  }
  auto* last = static_cast<TTabPane*>(tabs->GetActive());
  ASSERT_NE(last, nullptr);
  last->SetAppearance("main.php", nullptr, 0);
  EXPECT_EQ(ShownTitle(tabView, index), "main.php");
}

TEST_F(TTabsTest, APaneFindsItsOwnTabAfterTheTabsAreRenumbered) {
  TLogPane* a = Add("a");
  TLogPane* b = Add("b");
  TLogPane* c = Add("c");
  EXPECT_EQ(b->TabIndex, 2);
  a->Close();  // b is tab 1 now, c tab 2; c is selected
  ASSERT_EQ(TabViewGetCount(tabView), 2);
  b->SetAppearance("B", nullptr, 0);
  EXPECT_EQ(TabTitle(tabView, 1), "B");
  EXPECT_EQ(TabTitle(tabView, 2), "c");
  b->SelectViewObject();
  EXPECT_EQ(tabs->GetActive(), b);
  gLog.clear();
  b->Close();  // b's own tab, not its neighbour's
  ASSERT_EQ(TabViewGetCount(tabView), 1);
  EXPECT_EQ(TabTitle(tabView, 1), "c");
  EXPECT_EQ(tabs->GetActive(), c);
  EXPECT_EQ(gLog, (std::vector<std::string>{"remove (gone)", "select c"}));
}

TEST_F(TTabsTest, DocumentsFollowTheirTabsAndAClosedOneIsReleased) {
  auto* one = new TLogDocument("one.txt");
  auto* two = new TLogDocument("two.txt");
  ScratchFolder folder;
  folder.Write("one.txt", "1");
  one->file = folder.Ref("one.txt");
  TLogPane* first = Add("", one);
  TLogPane* second = Add("", two);
  EXPECT_EQ(one->owner, first);
  EXPECT_EQ(first->Title, Str63("one.txt"));
  EXPECT_EQ(window->documents->GetCount(), 2);
  EXPECT_EQ(window->documents->GetActive(), two);
  EXPECT_EQ(Title(window->window), "two.txt");
  EXPECT_EQ(tabs->FindByDocument(one), first);
  auto* elsewhere = new TLogDocument("other");
  EXPECT_EQ(tabs->FindByDocument(elsewhere), nullptr);
  elsewhere->Release();

  // A modified document asks first; the tab stays until the answer.
  two->SetModifiedState(true);
  EXPECT_TRUE(IsWindowModified(window->window));
  gLog.clear();
  HeadlessQueueNavAnswer({kNavUserActionCancel, {}, ""});
  second->Close();
  RunCurrentEventLoop(0);
  ASSERT_EQ(HeadlessCopyNavLog().size(), 1u);
  EXPECT_EQ(HeadlessCopyNavLog()[0].saveFileName, "two.txt");
  EXPECT_EQ(TabViewGetCount(tabView), 2);
  EXPECT_TRUE(gLog.empty());
  // Not saved: its tab goes, and the document with it.
  HeadlessQueueNavAnswer({kNavUserActionDontSaveChanges, {}, ""});
  second->Close();
  RunCurrentEventLoop(0);
  EXPECT_EQ(TabViewGetCount(tabView), 1);
  EXPECT_EQ(gLog, (std::vector<std::string>{"release two.txt", "remove (gone)", "select one.txt"}));
  EXPECT_EQ(window->documents->GetCount(), 1);
  EXPECT_EQ(window->documents->GetActive(), one);
  EXPECT_EQ(Title(window->window), "one.txt");
  EXPECT_FALSE(IsWindowModified(window->window));

  // Saved under a new name, the tab takes the file's name.
  folder.Write("renamed.txt", "1");
  one->file = folder.Ref("renamed.txt");
  one->SavedAs();
  EXPECT_EQ(TabTitle(tabView, 1), "renamed.txt");
  EXPECT_EQ(first->Icon, nullptr);

  // A clean document closes without a question.
  gLog.clear();
  first->Close();
  EXPECT_EQ(gLog, (std::vector<std::string>{"release one.txt", "remove (gone)"}));
  EXPECT_EQ(window->documents->GetCount(), 0);
  EXPECT_EQ(TabViewGetCount(tabView), 0);
  EXPECT_EQ(HeadlessCopyNavLog().size(), 2u);
}

TEST_F(TTabsTest, ClosingTheWindowReleasesEachDocumentOnce) {
  Add("", new TLogDocument("a"));
  Add("", new TLogDocument("b"));
  gLog.clear();
  window->Remove();
  window = nullptr;
  std::sort(gLog.begin(), gLog.end());
  EXPECT_EQ(gLog, (std::vector<std::string>{"release a", "release b"}));
}

}  // namespace
