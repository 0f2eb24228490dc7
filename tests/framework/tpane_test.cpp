// Panes: attaching to windows, containers, closing, and the window's pane
// property that must never name a pane that is gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "FrameworkTestSupport.h"
#include "TModePaneUnit.h"
#include "TPaneUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gLog;
int gLivePanes = 0;

class TTestPane : public TModePane {
 public:
  explicit TTestPane(const char* name) : name(name) { ++gLivePanes; }
  ~TTestPane() override { --gLivePanes; }
  void PrepareDestination(WindowRef window) override {
    TPane::PrepareDestination(window);
    gLog.push_back(name + " destination " + (window ? Title(window) : "none"));
  }
  std::string name;
};

TTestPane* MakePane(const char* name, const char* nibWindow = "Pane") {
  auto* pane = new TTestPane(name);
  pane->Create(nibWindow, FixtureNib());
  return pane;
}

TWindow* MakeWindow(const char* title) {
  auto* w = new TWindow();
  w->Create("Document", FixtureNib());
  SetWindowTitleWithCFString(w->window, CFSTR(title));
  return w;
}

class TPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    gLivePanes = 0;
  }
  void TearDown() override { DisposeAllWindows(); }
};

TEST_F(TPaneTest, CreateLendsTheInterfaceWindowsPaneView) {
  TTestPane* pane = MakePane("p");
  ASSERT_NE(pane->paneView, nullptr);
  EXPECT_EQ(pane->GetClassString(), Str255("TPane"));
  EXPECT_EQ(HIViewGetWindow(pane->paneView), pane->nibWindow);
  EXPECT_EQ(pane->GetWindow(), pane->nibWindow);
  pane->Close();  // no owner: disposed where it lies
  EXPECT_EQ(gLivePanes, 0);
}

TEST_F(TPaneTest, AttachingReplacesTheWindowsPaneAndClosingUnpublishesIt) {
  TWindow* w = MakeWindow("W");
  TTestPane* first = MakePane("first");
  TTestPane* second = MakePane("second");
  first->Attach(w->window);
  EXPECT_EQ(TWindowGetPane(w->window), first);
  EXPECT_EQ(first->owner, w);
  EXPECT_EQ(first->GetWindow(), w->window);
  EXPECT_EQ(HIViewGetSuperview(first->paneView), HIViewGetRoot(w->window));
  HIRect frame{}, root{};
  HIViewGetFrame(first->paneView, &frame);
  HIViewGetBounds(HIViewGetRoot(w->window), &root);
  EXPECT_EQ(frame.size.width, root.size.width);
  EXPECT_EQ(frame.size.height, root.size.height);
  EXPECT_TRUE(HIViewIsVisible(first->paneView));
  second->Attach(w->window);
  EXPECT_EQ(TWindowGetPane(w->window), second);
  EXPECT_EQ(HIViewGetSuperview(first->paneView), nullptr);  // detached
  EXPECT_FALSE(HIViewIsVisible(first->paneView));
  // Closing the attached pane leaves no pane named in the window.
  second->Close();
  EXPECT_EQ(TWindowGetPane(w->window), nullptr);
  // And a later pane attaches without touching the closed one.
  first->Attach(w->window);
  EXPECT_EQ(TWindowGetPane(w->window), first);
  first->Detach();
  EXPECT_EQ(TWindowGetPane(w->window), nullptr);
  first->Release();
  EXPECT_EQ(gLivePanes, 0);
  w->Remove();
}

TEST_F(TPaneTest, PanesEndWithTheirWindow) {
  TWindow* w = MakeWindow("W");
  MakePane("p")->Attach(w->window);
  EXPECT_EQ(gLivePanes, 1);
  w->Remove();
  EXPECT_EQ(gLivePanes, 0);
}

TEST_F(TPaneTest, ADetachedPaneWithoutOwnerStaysPut) {
  TTestPane* pane = MakePane("p");
  pane->Detach();
  EXPECT_EQ(HIViewGetWindow(pane->paneView), pane->nibWindow);
  pane->Release();
}

TEST_F(TPaneTest, AContainerShowsOnePaneAtATime) {
  struct Case {
    int alreadyThere;
    int after;
  } cases[] = {{0, 1}, {1, 1}, {2, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alreadyThere);
    TestWindow w;
    HIViewRef container = PlainView(w.root, {{0, 0}, {120, 80}});
    for (int i = 0; i < c.alreadyThere; ++i) PlainView(container, {{0, 0}, {10, 10}});
    TTestPane* pane = MakePane("p");
    pane->AddSubview(container);
    EXPECT_EQ(int(HIViewCountSubviews(container)), c.after);
    EXPECT_EQ(HIViewGetSuperview(pane->paneView), container);
    HIRect frame{};
    HIViewGetFrame(pane->paneView, &frame);
    EXPECT_EQ(frame.size.width, 120);
    EXPECT_EQ(frame.size.height, 80);
    pane->Close();
  }
}

TEST_F(TPaneTest, MovingThePaneViewPreparesTheNewWindow) {
  TWindow* a = MakeWindow("A");
  TWindow* b = MakeWindow("B");
  TTestPane* pane = MakePane("p");
  pane->Attach(a->window);
  HIViewAddSubview(HIViewGetRoot(b->window), pane->paneView);
  EXPECT_EQ(pane->destination, b->window);
  EXPECT_EQ(gLog, (std::vector<std::string>{"p destination A", "p destination A", "p destination B"}));
  pane->Close();
  a->Remove();
  b->Remove();
}

TEST_F(TPaneTest, OnlyAClosablePaneClosesOnCommand) {
  TWindow* w = MakeWindow("W");
  TTestPane* pane = new TTestPane("p");
  pane->SetCommandHandlerTarget(w->window);
  pane->Create("Pane", FixtureNib());
  pane->Attach(w->window);
  auto send = [&] {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    HICommand command{};
    command.commandID = kHICommandClosePane;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(w->window));
    ReleaseEvent(event);
    return status;
  };
  EXPECT_EQ(send(), eventNotHandledErr);
  EXPECT_EQ(gLivePanes, 1);
  pane->closable = true;
  EXPECT_EQ(send(), noErr);
  EXPECT_EQ(gLivePanes, 0);
  EXPECT_EQ(TWindowGetPane(w->window), nullptr);
  w->Remove();
}

TEST_F(TPaneTest, AModePaneHostsItsLowerPane) {
  TTestPane* upper = MakePane("upper", "Mode Pane");
  TTestPane* lower = MakePane("lower");
  upper->SetLowerPane(lower);
  HIViewRef container = HIViewFind(kTModePaneLowerViewID, kTPaneViewSignature, upper->GetWindow());
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(HIViewGetSuperview(lower->paneView), container);
  EXPECT_EQ(upper->CreateActionMenu(), nullptr);
  upper->Close();  // the lower pane's view goes with it
  EXPECT_EQ(gLivePanes, 0);
}

}  // namespace
