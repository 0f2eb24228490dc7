// The split view object: its panes replaced, swapped and removed (after the
// collapse when animated), and its splitter position kept per window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "TPaneUnit.h"
#include "TPreferencesUnit.h"
#include "TSplitViewUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

std::vector<std::string> gLog;

class TLogPane : public TPane {
 public:
  explicit TLogPane(const char* label) : label(label) {}
  void Release() override {
    gLog.push_back(label + " ends");
    TPane::Release();
  }
  std::string label;
};

TLogPane* NewPane(const char* label) {
  auto* pane = new TLogPane(label);
  pane->Create("Pane", FixtureNib());
  return pane;
}

class TSplitViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    HeadlessUseVirtualClock(true);
    RegisterSplitViewClass();
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("splittest.");
    window = new TWindow();
    window->SetPreferences(prefs);
    window->SetPreferenceKey("Editor");
    window->Create("Document", FixtureNib());
    ShowWindow(window->window);
  }
  void TearDown() override {
    if (window != nullptr) window->Remove();
    prefs->Release();
    DisposeAllWindows();
    HeadlessUseVirtualClock(false);
  }
  // A split view of the class in the window, side by side, animated or not.
  HIViewRef NewSplitView(bool animated) {
    EventRef init = nullptr;
    CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
    CFStringRef kind = CFStringMakeConstantUTF8("vertical");
    SetEventParameter(init, kSplitViewKindParameterTag, typeCFStringRef, sizeof kind, &kind);
    Boolean asynch = animated;
    SetEventParameter(init, kSplitViewAsynchParameterTag, typeBoolean, sizeof asynch, &asynch);
    HIObjectRef object = nullptr;
    EXPECT_EQ(HIObjectCreate(kSplitViewClassID, init, &object), noErr);
    ReleaseEvent(init);
    auto view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window->window), view);
    const CGRect frame{{0, 0}, {400, 200}};
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    return view;
  }
  TSplitView* NewSplit(const char* key, bool animated = false, TPane* first = nullptr, TPane* second = nullptr) {
    auto* split = new TSplitView();
    split->SetPreferenceKey(key);
    split->firstPane = first;
    split->secondPane = second;
    split->Create(NewSplitView(animated));
    return split;
  }
  TPreferenceHandlerApplication* prefs = nullptr;
  TWindow* window = nullptr;
};

TEST_F(TSplitViewTest, ThePositionIsKeptUnderOneKeyHoweverLong) {
  const std::string longKey(60, 'k');
  struct Case {
    const char* name;
    std::string key;
  } cases[] = {{"short", "Side"}, {"long", longKey}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSplitView* split = NewSplit(c.key.c_str());
    split->SetPosition(130);
    ControlRef control = split->control;
    DisposeControl(control);  // saves on the way out
    const Str255 key = Str255("Editor.TSplitViewPosition.") + Str63(c.key.c_str());
    EXPECT_EQ(prefs->GetIntegerValue(key), 130);
    TSplitView* again = NewSplit(c.key.c_str());
    EXPECT_EQ(again->GetPosition(), 130);
    DisposeControl(again->control);
  }
  // Without a key nothing is read or written.
  TSplitView* unkept = NewSplit("");
  unkept->SetPosition(90);
  DisposeControl(unkept->control);
  EXPECT_FALSE(prefs->ContainsValue("Editor.TSplitViewPosition."));
}

TEST_F(TSplitViewTest, ClosingTheWindowKeepsThePosition) {
  TSplitView* split = NewSplit("Side", false, NewPane("a"), NewPane("b"));
  split->SetPosition(150);
  window->Remove();  // the window's object goes before its views
  window = nullptr;
  EXPECT_EQ(prefs->GetIntegerValue("Editor.TSplitViewPosition.Side"), 150);
  std::sort(gLog.begin(), gLog.end());
  EXPECT_EQ(gLog, (std::vector<std::string>{"a ends", "b ends"}));
}

TEST_F(TSplitViewTest, PanesAreReplacedSwappedAndBroughtBack) {
  TLogPane* a = NewPane("a");
  TLogPane* b = NewPane("b");
  TSplitView* split = NewSplit("Side", false, a, b);
  EXPECT_EQ(a->owner, split);
  EXPECT_EQ(SplitViewGetPane(split->control, kSplitViewLeftPane), a->paneView);
  EXPECT_EQ(split->GetPane(kSplitViewRightPane), b);
  EXPECT_EQ(split->GetPane(0), nullptr);

  // A swap keeps the earlier pane for the way back.
  TLogPane* c = NewPane("c");
  split->SwapPane(kSplitViewRightPane, c);
  EXPECT_EQ(split->previousPane, b);
  EXPECT_EQ(SplitViewGetPane(split->control, kSplitViewRightPane), c->paneView);
  split->GoBack();
  EXPECT_EQ(SplitViewGetPane(split->control, kSplitViewRightPane), b->paneView);
  EXPECT_EQ(split->GetPane(kSplitViewRightPane), c);
  EXPECT_TRUE(gLog.empty());

  // A replaced pane is closed.
  TLogPane* d = NewPane("d");
  split->SetPane(kSplitViewLeftPane, d);
  EXPECT_EQ(gLog, std::vector<std::string>{"a ends"});

  // Every pane it holds, shown or not, ends with it.
  gLog.clear();
  DisposeControl(split->control);
  std::sort(gLog.begin(), gLog.end());
  EXPECT_EQ(gLog, (std::vector<std::string>{"b ends", "c ends", "d ends"}));
}

TEST_F(TSplitViewTest, ARemovedPaneClosesAtOnceOrOnceTheCollapseHasEnded) {
  TSplitView* plain = NewSplit("", false, NewPane("a"), NewPane("b"));
  plain->RemovePane(kSplitViewLeftPane);
  EXPECT_EQ(gLog, std::vector<std::string>{"a ends"});
  EXPECT_EQ(plain->GetPane(kSplitViewLeftPane), nullptr);
  EXPECT_EQ(plain->GetPosition(), -1);  // the left side collapsed
  DisposeControl(plain->control);

  gLog.clear();
  TSplitView* animated = NewSplit("", true, NewPane("c"), NewPane("d"));
  animated->RemovePane(kSplitViewRightPane);
  EXPECT_TRUE(gLog.empty());
  EXPECT_NE(animated->closingPane, nullptr);
  HeadlessAdvanceClock(2.0);
  EXPECT_EQ(gLog, std::vector<std::string>{"d ends"});
  EXPECT_EQ(animated->closingPane, nullptr);
  EXPECT_EQ(animated->GetPosition(), -1);  // collapsed
  DisposeControl(animated->control);
}

}  // namespace
