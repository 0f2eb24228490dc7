// Views and command routing: what reaches ProcessCommand and what climbs on
// to the application; controls bound to objects; the general event handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "FrameworkTestSupport.h"
#include "TControlUnit.h"
#include "TEventHandlerUnit.h"
#include "TViewUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gLog;

// Consumes 'mine' and marks 'stat' enabled; everything else passes on.
class TRecordingView : public TView {
 public:
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override {
    TView::ProcessCommand(command, event, result);
    gLog.push_back("process " + FourCC(command.commandID));
    if (command.commandID == 'mine') result = noErr;
  }
  void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) override {
    gLog.push_back("status " + FourCC(command.commandID));
    if (command.commandID == 'stat') result = noErr;
  }
};

OSStatus SendCommand(WindowRef window, UInt32 kind, UInt32 commandID, bool withCommand = true) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kind, 0, kEventAttributeNone, &event);
  if (withCommand) {
    HICommand command{};
    command.commandID = commandID;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  }
  OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
  return status;
}

class TViewTest : public ::testing::Test {
 protected:
  void SetUp() override { gLog.clear(); }
  void TearDown() override { DisposeAllWindows(); }
};

TEST_F(TViewTest, CommandsReachTheObjectAndWhatItLeavesClimbsToTheApplication) {
  struct Case {
    const char* name;
    UInt32 kind;
    UInt32 command;
    bool withCommand;
    bool bound;  // the object's view object is the window
    std::vector<std::string> objectHears;
    bool applicationHears;
  } cases[] = {
      {"consumed", kEventCommandProcess, 'mine', true, true, {"process mine"}, false},
      {"not consumed", kEventCommandProcess, 'othr', true, true, {"process othr"}, true},
      {"status", kEventCommandUpdateStatus, 'stat', true, true, {"status stat"}, false},
      {"no view object", kEventCommandProcess, 'mine', true, false, {}, true},
      {"no command in the event", kEventCommandProcess, 'mine', false, true, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gLog.clear();
    TestWindow w;
    auto* view = new TRecordingView();
    if (c.bound) view->SetViewObject(reinterpret_cast<HIObjectRef>(w.window));
    view->InstallCommandHandler(w.window);
    ASSERT_NE(view->commandHandler, nullptr);
    AppCommands app;
    SendCommand(w.window, c.kind, c.command, c.withCommand);
    EXPECT_EQ(gLog, c.objectHears);
    EXPECT_EQ(app.entries.size(), c.applicationHears ? 1u : 0u);
    view->Release();
    EXPECT_EQ(view->commandHandler, nullptr);
    EXPECT_EQ(view->viewObject, nullptr);
    delete view;
  }
}

TEST_F(TViewTest, OwnerAndValidityOfWindowsAndViews) {
  TestWindow w;
  HIViewRef inside = PlainView(w.root, {{0, 0}, {10, 10}});
  HIViewRef loose = PlainView(nullptr, {{0, 0}, {10, 10}});
  TView view;
  EXPECT_FALSE(view.ValidObject());
  EXPECT_EQ(view.GetViewOwner(), nullptr);
  view.SetViewObject(reinterpret_cast<HIObjectRef>(w.window));
  EXPECT_EQ(view.GetClassString(), Str255("TView"));
  EXPECT_TRUE(view.ValidObject());
  EXPECT_EQ(view.GetViewOwner(), w.window);
  view.SetViewObject(reinterpret_cast<HIObjectRef>(inside));
  EXPECT_TRUE(view.ValidObject());
  EXPECT_EQ(view.GetViewOwner(), w.window);
  view.SetViewObject(reinterpret_cast<HIObjectRef>(loose));
  EXPECT_FALSE(view.ValidObject());
  // No window: nothing is installed, and Release removes nothing.
  view.InstallCommandHandler(nullptr);
  EXPECT_EQ(view.commandHandler, nullptr);
  view.Release();
  DisposeControl(loose);
}

class TRecordingControl : public TControl {
 public:
  explicit TRecordingControl(const char* name) : name(name) {}
  void SavePreferences() override { gLog.push_back(name + " save"); }
  void RestorePreferences() override { gLog.push_back(name + " restore"); }
  void Release() override {
    gLog.push_back(name + " release");
    TControl::Release();
  }
  std::string name;
};

TEST_F(TViewTest, ControlsSaveWhenDisposedAndRestoreInAFrameworkWindow) {
  auto* framework = new TWindow();
  framework->Create("Document", FixtureNib());
  TestWindow plain;
  HIViewRef view = PlainView(plain.root, {{0, 0}, {10, 10}});
  auto* control = new TRecordingControl("c");
  control->Create(view);
  EXPECT_EQ(control->GetClassString(), Str255("TControl"));
  EXPECT_EQ(GetControlObject(view), control);
  EXPECT_EQ(control->GetWindow(), nullptr);  // the plain window has no object
  // Into another window without an object: nothing changes.
  TestWindow other;
  HIViewAddSubview(other.root, view);
  EXPECT_TRUE(gLog.empty());
  // Into a framework window: its object, then the settings come back.
  HIViewAddSubview(HIViewGetRoot(framework->window), view);
  EXPECT_EQ(control->GetWindow(), framework);
  EXPECT_EQ(gLog, (std::vector<std::string>{"c restore"}));
  gLog.clear();
  DisposeControl(view);
  EXPECT_EQ(gLog, (std::vector<std::string>{"c save", "c release"}));
  EXPECT_EQ(GetControlObject(PlainView(plain.root, {{0, 0}, {1, 1}})), nullptr);
  framework->Remove();
}

TEST_F(TViewTest, SavingWalksEveryControlObjectOnceDepthFirst) {
  TestWindow w;
  // root object a; b (object) holding c (no object) holding d (object); e (no object).
  HIViewRef a = PlainView(w.root, {{0, 0}, {100, 100}});
  HIViewRef b = PlainView(a, {{0, 0}, {50, 50}});
  HIViewRef c = PlainView(b, {{0, 0}, {20, 20}});
  HIViewRef d = PlainView(c, {{0, 0}, {10, 10}});
  PlainView(a, {{50, 50}, {10, 10}});
  for (auto [view, name] : {std::pair{a, "a"}, std::pair{b, "b"}, std::pair{d, "d"}}) {
    auto* object = new TRecordingControl(name);
    object->Create(view);
  }
  WindowSaveControlPreferences(a);
  EXPECT_EQ(gLog, (std::vector<std::string>{"a save", "b save", "d save"}));
}

class TRecordingHandler : public TEventHandler {
 public:
  void HandleEvent(EventRef, UInt32 eventClass, UInt32 eventKind, SInt32& result) override {
    gLog.push_back(FourCC(eventClass) + " " + std::to_string(eventKind));
    if (eventKind == 2) result = noErr;
  }
};

TEST_F(TViewTest, EventHandlerHearsTheTypesAppendedToIt) {
  TestWindow w;
  auto* handler = new TRecordingHandler();
  handler->Install(GetWindowEventTarget(w.window));
  handler->AppendEvent('test', 1);
  handler->AppendEvent('test', 2);
  auto send = [&](UInt32 kind) {
    EventRef event = nullptr;
    CreateEvent(nullptr, 'test', kind, 0, kEventAttributeNone, &event);
    OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(w.window));
    ReleaseEvent(event);
    return status;
  };
  EXPECT_EQ(send(1), eventNotHandledErr);
  EXPECT_EQ(send(2), noErr);
  EXPECT_EQ(send(3), eventNotHandledErr);  // never appended
  EXPECT_NE(handler->callRef, nullptr);
  EXPECT_EQ(gLog, (std::vector<std::string>{"test 1", "test 2"}));
  handler->Release();
  gLog.clear();
  send(1);
  EXPECT_TRUE(gLog.empty());
}

}  // namespace
