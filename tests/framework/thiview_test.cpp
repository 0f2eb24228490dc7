// THIView: registration, the event kinds reaching the virtual calls, the
// long press on the virtual clock, drawing, and the end of an object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkTestSupport.h"
#include "HeadlessHost.h"
#include "PascalCarbonCommon.h"
#include "THIViewUnit.h"

namespace {

std::vector<std::string> gLog;
int gLive = 0;

class TRecView : public THIView {
 public:
  TRecView() { ++gLive; }
  ~TRecView() override { --gLive; }
  SInt32 commandResult = eventNotHandledErr;
  void InitializeObject(EventRef) override { gLog.push_back("InitializeObject"); }
  void AllocateResources() override { gLog.push_back("AllocateResources"); }
  void ControlHit(SInt16 part) override { gLog.push_back("ControlHit " + std::to_string(part)); }
  void ControlDeepHit() override { gLog.push_back("ControlDeepHit"); }
  void ControlTrack(CGPoint p) override {
    gLog.push_back("ControlTrack " + std::to_string(int(p.x)) + "," + std::to_string(int(p.y)));
  }
  void Hover() override { gLog.push_back("Hover"); }
  void BoundsChanged(CGRect b) override { gLog.push_back("BoundsChanged " + std::to_string(int(b.size.width))); }
  void VisibilityChanged(Boolean v) override { gLog.push_back(std::string("VisibilityChanged ") + (v ? "1" : "0")); }
  void ActivationChanged(Boolean a) override { gLog.push_back(std::string("ActivationChanged ") + (a ? "1" : "0")); }
  void EventTimer() override { gLog.push_back("EventTimer"); }
  void MouseWheelMoved() override { gLog.push_back("MouseWheelMoved"); }
  void ScrollViewGetInfo(CGSize& image, CGSize& view, CGSize& line, CGPoint& origin) override {
    image = {300, 400};
    view = {30, 40};
    line = {1, 2};
    origin = {5, 6};
  }
  void ScrollViewTo(CGPoint o) override { gLog.push_back("ScrollViewTo " + std::to_string(int(o.y))); }
  void ProcessCommand(const HICommand& command, EventRef, SInt32& result) override {
    gLog.push_back("ProcessCommand " + std::to_string(result));
    if (command.commandID == 'test') result = commandResult;
  }
  void DrawControl(CGRect bounds, CGContextRef context) override {
    gLog.push_back("DrawControl " + std::to_string(DrawState));
    CGContextSetRGBFillColor(context, 1, 0, 0, 1);
    CGContextFillRect(context, bounds);
    CGContextSetRGBFillColor(context, 0, 0, 1, 1);  // must not leak out of the draw
  }
};

THIView* MakeRec() { return new TRecView; }
TRecView gShared;

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  THIViewRegister("test.thiview.rec", MakeRec);
  ASSERT_EQ(noErr, Err);
  THIViewRegisterWithObject("test.thiview.shared", &gShared);
  ASSERT_EQ(noErr, Err);
}

EventRef Make(EventClass cls, EventKind kind) {
  EventRef e = nullptr;
  EXPECT_EQ(noErr, CreateEvent(nullptr, cls, kind, 0, 0, &e));
  return e;
}

OSStatus Send(HIViewRef view, EventRef e) {
  OSStatus status = SendEventToEventTarget(e, HIViewGetEventTarget(view));
  return status;
}

OSStatus SendSimple(HIViewRef view, EventClass cls, EventKind kind) {
  EventRef e = Make(cls, kind);
  OSStatus status = Send(view, e);
  ReleaseEvent(e);
  return status;
}

OSStatus SendHit(HIViewRef view, HIViewRef control, ControlPartCode part) {
  EventRef e = Make(kEventClassControl, kEventControlHit);
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof control, &control);
  OSStatus status = Send(view, e);
  ReleaseEvent(e);
  return status;
}

OSStatus SendTrack(HIViewRef view, CGPoint p) {
  EventRef e = Make(kEventClassControl, kEventControlTrack);
  SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
  OSStatus status = Send(view, e);
  ReleaseEvent(e);
  return status;
}

class THIViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOnce();
    gLog.clear();
  }
  void TearDown() override { HeadlessUseVirtualClock(false); }

  // A view of the recording class inside the window (or alone).
  TRecView* Create(HIViewRef parent, CGRect frame = {{10, 10}, {40, 20}}) {
    THIView* object = HIViewCreateObject("test.thiview.rec");
    EXPECT_NE(nullptr, object);
    if (object == nullptr) return nullptr;
    if (parent) HIViewAddSubview(parent, object->View);
    HIViewSetFrame(object->View, &frame);
    HIViewSetVisible(object->View, true);
    return static_cast<TRecView*>(object);
  }
};

TEST_F(THIViewTest, CreationRunsInitialiseStepsAndBindsTheObject) {
  int before = gLive;
  TRecView* object = Create(nullptr);
  ASSERT_NE(nullptr, object);
  ASSERT_GE(gLog.size(), 2u);
  EXPECT_EQ((std::vector<std::string>{"InitializeObject", "AllocateResources"}),
            std::vector<std::string>(gLog.begin(), gLog.begin() + 2));
  EXPECT_TRUE(object->OwnedByClass);
  EXPECT_EQ(object, HIViewGetObjectRef(object->View));
  HIViewFeatures features = 0;
  HIViewGetFeatures(object->View, &features);
  EXPECT_EQ(kHIViewFeatureSupportsDragAndDrop | kHIViewFeatureLiveFeedback | kHIViewFeatureSupportsEmbedding,
            features & (kHIViewFeatureSupportsDragAndDrop | kHIViewFeatureLiveFeedback |
                        kHIViewFeatureSupportsEmbedding));
  EXPECT_EQ(before + 1, gLive);
  CFRelease(object->View);
  EXPECT_EQ(before, gLive);  // the class made it, so the view's end frees it

  // A view without the property has no object; an unknown class none either.
  HIViewRef plain = PlainView(nullptr, {{0, 0}, {5, 5}});
  EXPECT_EQ(nullptr, HIViewGetObjectRef(plain));
  EXPECT_NE(noErr, Err);
  CFRelease(plain);
  EXPECT_EQ(nullptr, HIViewCreateObject("test.thiview.unknown"));
  THIViewRegister("test.thiview.rec", MakeRec);
  EXPECT_EQ(hiObjectClassExistsErr, Err);
}

TEST_F(THIViewTest, PreMadeObjectServesEveryViewAndOutlivesThem) {
  THIView* a = HIViewCreateObject("test.thiview.shared");
  HIViewRef first = a->View;
  THIView* b = HIViewCreateObject("test.thiview.shared");
  EXPECT_EQ(&gShared, a);
  EXPECT_EQ(&gShared, b);
  EXPECT_FALSE(gShared.OwnedByClass);
  EXPECT_NE(first, gShared.View);
  CFRelease(first);
  CFRelease(gShared.View);
  EXPECT_EQ(nullptr, gShared.TrackingArea);  // still a usable object
}

TEST_F(THIViewTest, HitTestStoresPointAndAnswersPart) {
  TRecView* object = Create(nullptr);
  struct Case {
    CGPoint point;
    ControlPartCode part;
  } cases[] = {{{1, 1}, 1}, {{39.5, 19.5}, 1}, {{40, 5}, 0}, {{-1, 5}, 0}, {{5, 20}, 0}};
  for (const Case& c : cases) {
    EventRef e = Make(kEventClassControl, kEventControlHitTest);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof c.point, &c.point);
    EXPECT_EQ(noErr, Send(object->View, e));
    ControlPartCode part = -1;
    GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    EXPECT_EQ(c.part, part) << c.point.x << "," << c.point.y;
    EXPECT_EQ(c.part, object->HitPart);
    EXPECT_EQ(c.point.x, object->HitPoint.x);
    ReleaseEvent(e);
  }
  CFRelease(object->View);
}

TEST_F(THIViewTest, ShortPressCountsAsClickAndLongPressAsDeepHit) {
  HeadlessUseVirtualClock(true);
  TRecView* object = Create(nullptr);
  HIViewRef view = object->View;
  gLog.clear();

  // Released early: a click, passed on so the system sends the command.
  EXPECT_EQ(eventNotHandledErr, SendTrack(view, {3, 4}));
  EXPECT_GT(object->TrackStart, 0u);
  EXPECT_EQ(eventNotHandledErr, SendHit(view, view, 2));
  EXPECT_EQ((std::vector<std::string>{"ControlTrack 3,4", "ControlHit 2"}), gLog);
  EXPECT_EQ(0u, object->TrackStart);

  // Held past 20 ticks with the timer running: a deep hit, and the hit that
  // follows is consumed.
  gLog.clear();
  object->InstallTimer(1.0 / 60);
  ASSERT_NE(nullptr, object->Timer);
  SendTrack(view, {0, 0});
  HeadlessAdvanceClock(10.0 / 60);
  EXPECT_EQ(0, std::count(gLog.begin(), gLog.end(), "ControlDeepHit"));
  HeadlessAdvanceClock(15.0 / 60);
  EXPECT_EQ(1, std::count(gLog.begin(), gLog.end(), "ControlDeepHit"));
  EXPECT_TRUE(object->DeepHit);
  EXPECT_EQ(0u, object->TrackStart);
  HeadlessAdvanceClock(30.0 / 60);
  EXPECT_EQ(1, std::count(gLog.begin(), gLog.end(), "ControlDeepHit"));  // once per press
  EXPECT_EQ(noErr, SendHit(view, view, 1));
  EXPECT_FALSE(object->DeepHit);

  // A hit naming another control is not this view's.
  gLog.clear();
  HIViewRef other = PlainView(nullptr, {{0, 0}, {5, 5}});
  EXPECT_EQ(eventNotHandledErr, SendHit(view, other, 1));
  EXPECT_EQ(0, std::count(gLog.begin(), gLog.end(), "ControlHit 1"));
  CFRelease(other);

  // The view's end takes its timer with it: advancing the clock later
  // reaches no freed object.
  CFRelease(view);
  HeadlessAdvanceClock(1.0);
}

TEST_F(THIViewTest, StateEventsReachTheirVirtualCallsWithParameters) {
  TestWindow w;
  TRecView* object = Create(w.root);
  HIViewRef view = object->View;
  gLog.clear();

  CGRect frame = {{10, 10}, {60, 20}};
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, false);
  HIViewSetVisible(view, true);
  DeactivateControl(view);
  ActivateControl(view);
  EXPECT_EQ(eventNotHandledErr, SendSimple(view, kEventClassControl, kEventControlTrackingAreaEntered));
  EXPECT_GT(object->HoverStart, 0u);
  EXPECT_TRUE(object->GetHoverState());
  SendSimple(view, kEventClassControl, kEventControlTrackingAreaExited);
  EXPECT_EQ(0u, object->HoverStart);
  EXPECT_EQ((std::vector<std::string>{"BoundsChanged 60", "VisibilityChanged 0", "VisibilityChanged 1",
                                      "ActivationChanged 0", "ActivationChanged 1", "Hover"}),
            gLog);

  // Commands: the result starts as not handled and is what the object left.
  gLog.clear();
  EventRef e = Make(kEventClassCommand, kEventCommandProcess);
  HICommand command{};
  command.commandID = 'test';
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  object->commandResult = noErr;
  EXPECT_EQ(noErr, Send(view, e));
  object->commandResult = eventNotHandledErr;
  EXPECT_EQ(eventNotHandledErr, Send(view, e));
  ReleaseEvent(e);
  EXPECT_EQ(std::to_string(eventNotHandledErr), gLog.front().substr(15));

  // Scrolling: the four values go out, the origin comes in.
  e = Make(kEventClassScrollable, kEventScrollableGetInfo);
  EXPECT_EQ(noErr, Send(view, e));
  CGSize image{}, line{};
  CGPoint origin{};
  GetEventParameter(e, kEventParamImageSize, typeHISize, nullptr, sizeof image, nullptr, &image);
  GetEventParameter(e, kEventParamLineSize, typeHISize, nullptr, sizeof line, nullptr, &line);
  GetEventParameter(e, kEventParamOrigin, typeHIPoint, nullptr, sizeof origin, nullptr, &origin);
  EXPECT_EQ(400, image.height);
  EXPECT_EQ(2, line.height);
  EXPECT_EQ(6, origin.y);
  ReleaseEvent(e);
  e = Make(kEventClassScrollable, kEventScrollableScrollTo);
  CGPoint to = {0, 77};
  SetEventParameter(e, kEventParamOrigin, typeHIPoint, sizeof to, &to);
  Send(view, e);
  ReleaseEvent(e);
  EXPECT_EQ("ScrollViewTo 77", gLog.back());

  // Drags: inside while within, out after leaving; nothing is accepted.
  SendSimple(view, kEventClassControl, kEventControlDragWithin);
  EXPECT_TRUE(object->DragInside);
  EXPECT_EQ(kTHIViewDrawStateDragTarget, object->GetDrawState());
  SendSimple(view, kEventClassControl, kEventControlDragLeave);
  EXPECT_FALSE(object->DragInside);
  e = Make(kEventClassControl, kEventControlDragEnter);
  EXPECT_EQ(noErr, Send(view, e));
  Boolean accept = false;
  EXPECT_NE(noErr, GetEventParameter(e, kEventParamControlWouldAcceptDrop, typeBoolean, nullptr, sizeof accept,
                                     nullptr, &accept));
  ReleaseEvent(e);
  EXPECT_EQ(eventNotHandledErr, SendSimple(view, kEventClassControl, kEventControlDragReceive));
}

TEST_F(THIViewTest, DrawStateFollowsTheOverrideOrder) {
  TestWindow w;
  TRecView* object = Create(w.root);
  HIViewRef view = object->View;
  EXPECT_EQ(kTHIViewDrawStateActive, object->GetDrawState());
  object->HoverStart = 1;
  EXPECT_EQ(kTHIViewDrawStateHover, object->GetDrawState());
  HiliteControl(view, 1);
  EXPECT_EQ(kTHIViewDrawStatePressed, object->GetDrawState());
  object->DragInside = true;
  EXPECT_EQ(kTHIViewDrawStateDragTarget, object->GetDrawState());
  HiliteControl(view, 0);
  DeactivateControl(view);
  EXPECT_EQ(kTHIViewDrawStateInactive, object->GetDrawState());
  EXPECT_FALSE(object->DragInside);  // an inactive view drops the drag
  EXPECT_FALSE(object->IsActiveDrawState());
  ActivateControl(view);
  HiliteControl(view, kControlDisabledPart);
  EXPECT_EQ(kTHIViewDrawStateInactive, object->GetDrawState());
  HiliteControl(view, 0);

  TestWindow hidden(false);  // never shown, never active
  TRecView* other = Create(hidden.root);
  other->DragInside = true;
  EXPECT_EQ(kTHIViewDrawStateWindowInactive, other->GetDrawState());
  EXPECT_FALSE(other->DragInside);
  EXPECT_FALSE(other->IsActiveDrawState());
  EXPECT_EQ(kTHIViewDrawStateWindowInactive, other->DrawState);
}

TEST_F(THIViewTest, DrawingByPixelProbeAndWindowHandlers) {
  // Not in a window: draws and gets a tracking area, but no window handlers.
  TRecView* alone = Create(nullptr, {{0, 0}, {10, 10}});
  Bitmap loose(10, 10);
  ASSERT_EQ(noErr, HIViewDrawInContext(alone->View, loose.context));
  EXPECT_EQ(255, loose.At(5, 5)[0]);
  EXPECT_NE(nullptr, alone->TrackingArea);
  EXPECT_FALSE(alone->MouseHandlerInstalled);
  CFRelease(alone->View);

  TestWindow w;
  TRecView* object = Create(w.root, {{10, 10}, {20, 10}});
  Bitmap bitmap(40, 30);
  gLog.clear();
  ASSERT_EQ(noErr, HIViewDrawInContext(w.root, bitmap.context));
  EXPECT_EQ("DrawControl 1", gLog.back());
  EXPECT_EQ(255, bitmap.At(15, 15)[0]);
  EXPECT_EQ(0, bitmap.At(5, 5)[0]);
  EXPECT_EQ(0, bitmap.At(35, 15)[0]);
  EXPECT_TRUE(object->MouseHandlerInstalled);
  EXPECT_TRUE(object->DragHandlerInstalled);
  // The context's state came back: a later fill is not blue.
  CGContextFillRect(bitmap.context, CGRect{{0, 0}, {2, 2}});
  EXPECT_EQ(0, bitmap.At(0, 0)[2]);

  // Window mouse events reach the object only when its view is under the mouse.
  auto wheel = [&](CGPoint where) {
    EventRef e = Make(kEventClassMouse, kEventMouseWheelMoved);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    SendEventToEventTarget(e, GetWindowEventTarget(w.window));
    ReleaseEvent(e);
  };
  gLog.clear();
  wheel({15, 15});
  wheel({100, 100});
  EXPECT_EQ((std::vector<std::string>{"MouseWheelMoved"}), gLog);

  // The view ends while its window lives on: its window handler goes with it.
  int before = gLive;
  DisposeControl(object->View);
  EXPECT_EQ(before - 1, gLive);
  gLog.clear();
  wheel({15, 15});
  EXPECT_TRUE(gLog.empty());
}

TEST_F(THIViewTest, SendCommandGoesToTheWindowAndFindObjectSearchesIt) {
  TestWindow w;
  TRecView* object = Create(w.root);
  SetControlCommandID(object->View, 'abcd');
  HIViewSetID(object->View, HIViewID{'QRVL', 7});
  UInt32 seen = 0;
  EventTypeSpec spec = {kEventClassCommand, kEventCommandProcess};
  auto handler = [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    *static_cast<UInt32*>(data) = command.commandID;
    return noErr;
  };
  InstallEventHandler(GetWindowEventTarget(w.window), handler, 1, &spec, &seen, nullptr);
  object->SendCommand();
  EXPECT_EQ(UInt32('abcd'), seen);
  EXPECT_EQ(object, HIViewFindObject(7, 'QRVL', w.window));
  EXPECT_EQ(nullptr, HIViewFindObject(8, 'QRVL', w.window));
}

TEST_F(THIViewTest, ContextualMenuNeedsTwoItems) {
  class TMenuView : public TRecView {
   public:
    MenuRef menu = nullptr;
    int asked = 0;
    MenuRef GetContextualMenu(CGPoint) override {
      ++asked;
      return menu;
    }
  } view;
  view.View = PlainView(nullptr, {{0, 0}, {5, 5}});
  view.SimulateContextualMenuClick({1, 1});  // no menu: nothing
  MenuRef menu = nullptr;
  ASSERT_EQ(noErr, CreateNewMenu(200, 0, &menu));
  AppendMenuItemTextWithCFString(menu, CFSTR("One"), 0, 0, nullptr);
  view.menu = menu;
  view.TrackStart = 5;
  view.SimulateContextualMenuClick({1, 1});
  EXPECT_EQ(5u, view.TrackStart);  // one item: not shown
  EXPECT_EQ(2, view.asked);
  ReleaseMenu(menu);
  CFRelease(view.View);
}

// A view that drags two items of three flavours out and takes the flavours
// it is told to.
class TDragView : public THIView {
 public:
  std::vector<FlavorType> takes;
  std::string name;
  void AddDragFlavors(DragRef drag) override {
    for (DragItemRef item : {DragItemRef(1), DragItemRef(2)})
      for (FlavorType type : {FlavorType('utxt'), FlavorType('utf8'), FlavorType('TEXT')})
        AddDragItemFlavor(drag, item, type, "x", 1, 0);
  }
  bool Takes(FlavorType type) const {
    for (FlavorType t : takes)
      if (t == type) return true;
    return false;
  }
  Boolean AcceptDrag(Ptr, DragRef, UInt32 type) override {
    gLog.push_back(name + " accept " + FCCToString(type).str());
    return Takes(type);
  }
  Boolean ReceiveDrag(Ptr data, DragRef, UInt32 type) override {
    gLog.push_back(name + " receive " + FCCToString(type).str() + " " + std::string(data, 1));
    return Takes(type);
  }
  void HandleTrackDrag(SInt16 message, DragRef, CGPoint, CGPoint) override {
    if (message == kDragTrackingInWindow) gLog.push_back(name + " track");
  }
  void HandleDragLeft(DragRef) override { gLog.push_back(name + " left"); }
  void HandlePostDrag(DragRef) override { gLog.push_back(name + " post"); }
};

THIView* MakeDragView() { return new TDragView; }

class THIViewDragTest : public THIViewTest {
 protected:
  void SetUp() override {
    THIViewTest::SetUp();
    static bool registered = false;
    if (!registered) THIViewRegister("test.thiview.drag", MakeDragView);
    registered = true;
    HeadlessClearDrags();
  }
  TDragView* CreateDrag(HIViewRef parent, const char* name) {
    auto* object = static_cast<TDragView*>(HIViewCreateObject("test.thiview.drag"));
    EXPECT_NE(nullptr, object);
    object->name = name;
    HIViewAddSubview(parent, object->View);
    CGRect frame = {{10, 10}, {80, 80}};
    HIViewSetFrame(object->View, &frame);
    HIViewSetVisible(object->View, true);
    return object;
  }
};

TEST_F(THIViewDragTest, AViewDragToAViewOfAnotherWindowReceivesEachItemOnce) {
  TestWindow source, target;
  MoveWindow(target.window, 600, 100, false);
  TDragView* from = CreateDrag(source.root, "from");
  TDragView* to = CreateDrag(target.root, "to");
  to->takes = {'utf8', 'TEXT'};  // two flavours of each item would do
  for (HIViewRef root : {source.root, target.root}) {
    // Views made apart from their window leave the window's switch to it.
    SetAutomaticControlDragTrackingEnabledForWindow(HIViewGetWindow(root), true);
    Bitmap bitmap(300, 200);
    HIViewDrawInContext(root, bitmap.context);  // installs the window handlers
  }
  HeadlessQueueDrag({{target.window, {50, 50}, 0, 0}, {target.window, {60, 60}, 0, 0}}, nullptr);
  EventRef down = Make(kEventClassMouse, kEventMouseDown);
  CGPoint local = {30, 30}, global = {130, 130};
  SetEventParameter(down, kEventParamWindowMouseLocation, typeHIPoint, sizeof local, &local);
  SetEventParameter(down, kEventParamMouseLocation, typeHIPoint, sizeof global, &global);
  gLog.clear();
  EXPECT_EQ(0, from->NewViewDrag(down));
  ReleaseEvent(down);
  const std::vector<std::string> expected = {
      // Enter: each item stops at its first taken flavour.
      "to accept utxt", "to accept utf8", "to accept utxt", "to accept utf8",
      // The window's handler hears the move after the view took the drag in.
      "to track", "to left",
      "to receive utxt x", "to receive utf8 x", "to receive utxt x", "to receive utf8 x",
      "from post",
  };
  EXPECT_EQ(expected, gLog);
  EXPECT_FALSE(to->DragInside);
}

TEST_F(THIViewDragTest, ADragWithAnItemTheViewRefusesIsNotAccepted) {
  TestWindow w;
  TDragView* view = CreateDrag(w.root, "v");
  view->takes = {'utf8'};
  DragRef drag = nullptr;
  ASSERT_EQ(noErr, NewDrag(&drag));
  AddDragItemFlavor(drag, 1, 'utf8', "a", 1, 0);
  AddDragItemFlavor(drag, 2, 'PICT', "b", 1, 0);
  auto send = [&](EventKind kind, Boolean* accept) {
    EventRef e = Make(kEventClassControl, kind);
    SetEventParameter(e, kEventParamDragRef, typeDragRef, sizeof drag, &drag);
    OSStatus status = Send(view->View, e);
    if (accept) *accept = GetEventParameter(e, kEventParamControlWouldAcceptDrop, typeBoolean, nullptr,
                                            sizeof *accept, nullptr, accept) == noErr && *accept;
    ReleaseEvent(e);
    return status;
  };
  Boolean accept = true;
  EXPECT_EQ(noErr, send(kEventControlDragEnter, &accept));
  EXPECT_FALSE(accept);
  EXPECT_EQ(eventNotHandledErr, send(kEventControlDragReceive, nullptr));
  AddDragItemFlavor(drag, 2, 'utf8', "c", 1, 0);
  EXPECT_EQ(noErr, send(kEventControlDragEnter, &accept));
  EXPECT_TRUE(accept);
  EXPECT_EQ(noErr, send(kEventControlDragReceive, nullptr));
  DisposeDrag(drag);
}

}  // namespace
