// The view tree: structure, geometry and conversion, the click sequence and
// command routing, focus, tracking areas, layout, disposal, properties and
// drawing. Windows are stood in for by a root view with a target of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "HIView.h"
#include "ViewInternal.h"

#if __has_include("CGContext.h")
#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#endif

namespace {

std::vector<std::string> gLog;

std::string Code(UInt32 c) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char((c >> (24 - 8 * i)) & 0xFF);
  return s;
}

// A window stand-in: a root view whose events climb to a target of its own,
// which climbs to the application.
struct TestWindow {
  WindowRef window;
  EventTargetRef target;
  HIViewRef root;
  explicit TestWindow(uintptr_t id, CGSize size = {400, 300}) {
    window = reinterpret_cast<WindowRef>(id);
    target = EventTargetCreate(window, nullptr);
    root = ViewCreateRoot(window, target, size);
  }
  ~TestWindow() {
    ViewDisposeRoot(root);
    EventTargetDispose(target);
  }
};

HIViewRef MakeView(HIViewRef parent, CGRect frame) {
  HIViewRef view = nullptr;
  EXPECT_EQ(noErr, HIViewCreate(&frame, &view));
  if (parent) {
    EXPECT_EQ(noErr, HIViewAddSubview(parent, view));
  }
  return view;
}

// Logs events with a label and answers with the logger's status.
struct Logger {
  std::string label;
  OSStatus answer = eventNotHandledErr;
};

OSStatus LogHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* logger = static_cast<Logger*>(userData);
  std::string entry = logger->label + " " + Code(GetEventClass(event)) + " " + std::to_string(GetEventKind(event));
  if (GetEventClass(event) == kEventClassCommand) {
    HICommandExtended command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    entry += " " + Code(command.commandID);
  }
  if (GetEventClass(event) == kEventClassControl &&
      (GetEventKind(event) == kEventControlHit || GetEventKind(event) == kEventControlHiliteChanged)) {
    ControlPartCode part = 0;
    EventParamName name =
        GetEventKind(event) == kEventControlHit ? EventParamName(kEventParamControlPart) : EventParamName(kEventParamControlCurrentPart);
    GetEventParameter(event, name,
                      typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    entry += " part " + std::to_string(part);
  }
  gLog.push_back(entry);
  return logger->answer;
}

void Listen(EventTargetRef target, Logger* logger, std::vector<EventTypeSpec> types) {
  ASSERT_EQ(noErr, InstallEventHandler(target, LogHandler, types.size(), types.data(), logger, nullptr));
}

EventRef MouseDown(CGPoint where, UInt32 modifiers = 0) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
  SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  return e;
}

class HIViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    ViewClearTrackEvents();
  }
};

TEST_F(HIViewTest, TreeOrderFindAndReparent) {
  TestWindow w1(0x1000), w2(0x2000);
  HIViewRef a = MakeView(w1.root, {{0, 0}, {10, 10}});
  HIViewRef b = MakeView(w1.root, {{0, 0}, {10, 10}});
  HIViewRef c = MakeView(w1.root, {{0, 0}, {10, 10}});
  HIViewRef inner = MakeView(b, {{0, 0}, {5, 5}});
  HIViewSetID(inner, HIViewID{'test', 7});
  HIViewSetID(c, HIViewID{'test', 7});  // the first in depth-first order wins

  EXPECT_EQ(3u, HIViewCountSubviews(w1.root));
  HIViewRef got = nullptr;
  EXPECT_EQ(noErr, HIViewGetIndexedSubview(w1.root, 2, &got));
  EXPECT_EQ(b, got);
  EXPECT_EQ(errUnknownControl, HIViewGetIndexedSubview(w1.root, 4, &got));
  EXPECT_EQ(errUnknownControl, HIViewGetIndexedSubview(w1.root, 0, &got));
  EXPECT_EQ(a, HIViewGetFirstSubview(w1.root));
  EXPECT_EQ(c, HIViewGetLastSubview(w1.root));
  EXPECT_EQ(c, HIViewGetNextView(b));
  EXPECT_EQ(a, HIViewGetPreviousView(b));
  EXPECT_EQ(nullptr, HIViewGetNextView(c));

  EXPECT_EQ(noErr, HIViewFindByID(w1.root, HIViewID{'test', 7}, &got));
  EXPECT_EQ(inner, got);
  ControlID id = {'test', 7};
  EXPECT_EQ(noErr, GetControlByID(w1.window, &id, &got));
  EXPECT_EQ(inner, got);
  EXPECT_EQ(errUnknownControl, HIViewFindByID(w1.root, HIViewID{'none', 1}, &got));
  EXPECT_EQ(nullptr, got);
  HIViewRef content = nullptr;
  EXPECT_EQ(noErr, HIViewFindByID(w1.root, kHIViewWindowContentID, &content));
  EXPECT_EQ(w1.root, content);

  // Z order moves within the index order.
  EXPECT_EQ(noErr, HIViewSetZOrder(c, kHIViewZOrderBelow, a));
  EXPECT_EQ(c, HIViewGetFirstSubview(w1.root));
  EXPECT_EQ(noErr, HIViewSetZOrder(c, kHIViewZOrderAbove, nullptr));
  EXPECT_EQ(c, HIViewGetLastSubview(w1.root));

  // A parent cannot go inside its own subtree.
  EXPECT_EQ(paramErr, HIViewAddSubview(inner, b));

  // Moving b to the other window tells b and its subview of the new owner.
  Logger lb{"b"}, li{"inner"};
  Listen(HIViewGetEventTarget(b), &lb, {{kEventClassControl, kEventControlOwningWindowChanged}});
  Listen(HIViewGetEventTarget(inner), &li, {{kEventClassControl, kEventControlOwningWindowChanged}});
  EXPECT_EQ(noErr, HIViewAddSubview(w2.root, b));
  EXPECT_EQ((std::vector<std::string>{"b cntl 159", "inner cntl 159"}), gLog);
  EXPECT_EQ(w2.window, HIViewGetWindow(inner));
  EXPECT_EQ(w2.root, HIViewGetSuperview(b));
  EXPECT_EQ(2u, HIViewCountSubviews(w1.root));

  EXPECT_EQ(noErr, HIViewRemoveFromSuperview(b));
  EXPECT_EQ(nullptr, HIViewGetWindow(inner));
  EXPECT_EQ(nullptr, HIViewGetSuperview(b));
  CFRelease(b);  // not in a tree: the last reference ends it
}

TEST_F(HIViewTest, CoordinatesConvertThroughFramesAndBoundsOrigins) {
  TestWindow w(0x1100);
  HIViewRef outer = MakeView(w.root, {{100, 50}, {200, 200}});
  HIViewRef inner = MakeView(outer, {{10, 20}, {50, 50}});
  HIViewRef other = MakeView(w.root, {{300, 0}, {50, 50}});
  HIViewSetBoundsOrigin(outer, 5, 0);  // outer scrolled right by 5

  HIPoint p = {1, 2};
  EXPECT_EQ(noErr, HIViewConvertPoint(&p, inner, nullptr));
  EXPECT_DOUBLE_EQ(106, p.x);  // 100 - 5 + 10 + 1
  EXPECT_DOUBLE_EQ(72, p.y);   // 50 + 20 + 2
  EXPECT_EQ(noErr, HIViewConvertPoint(&p, nullptr, other));
  EXPECT_DOUBLE_EQ(-194, p.x);
  EXPECT_DOUBLE_EQ(72, p.y);
  EXPECT_EQ(noErr, HIViewConvertPoint(&p, other, inner));
  EXPECT_DOUBLE_EQ(1, p.x);
  EXPECT_DOUBLE_EQ(2, p.y);

  HIRect r = {{0, 0}, {3, 4}};
  EXPECT_EQ(noErr, HIViewConvertRect(&r, inner, outer));
  EXPECT_DOUBLE_EQ(10, r.origin.x);
  EXPECT_DOUBLE_EQ(20, r.origin.y);
  EXPECT_DOUBLE_EQ(3, r.size.width);

  // QuickDraw bounds are relative to the window's root.
  Rect q;
  GetControlBounds(inner, &q);
  EXPECT_EQ(105, q.left);
  EXPECT_EQ(70, q.top);
  EXPECT_EQ(155, q.right);
  EXPECT_EQ(120, q.bottom);
  Rect moved = {80, 120, 90, 140};
  SetControlBounds(inner, &moved);
  HIRect frame;
  HIViewGetFrame(inner, &frame);
  EXPECT_DOUBLE_EQ(25, frame.origin.x);  // 120 - 100 + 5
  EXPECT_DOUBLE_EQ(30, frame.origin.y);
  EXPECT_DOUBLE_EQ(20, frame.size.width);

  // Views of different trees do not convert.
  HIViewRef loose = MakeView(nullptr, {{0, 0}, {1, 1}});
  p = {0, 0};
  EXPECT_EQ(errUnknownControl, HIViewConvertPoint(&p, loose, inner));
  CFRelease(loose);
}

TEST_F(HIViewTest, BoundsChangedCarriesPreviousAndCurrent) {
  TestWindow w(0x1200);
  HIViewRef view = MakeView(w.root, {{1, 2}, {3, 4}});
  struct Seen {
    HIRect previous{}, current{};
    UInt32 attributes = 0;
    int count = 0;
  } seen;
  EventTypeSpec spec = {kEventClassControl, kEventControlBoundsChanged};
  InstallEventHandler(
      HIViewGetEventTarget(view),
      [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
        auto* s = static_cast<Seen*>(data);
        GetEventParameter(e, kEventParamPreviousBounds, typeHIRect, nullptr, sizeof s->previous, nullptr, &s->previous);
        GetEventParameter(e, kEventParamCurrentBounds, typeHIRect, nullptr, sizeof s->current, nullptr, &s->current);
        GetEventParameter(e, kEventParamAttributes, typeUInt32, nullptr, sizeof s->attributes, nullptr, &s->attributes);
        ++s->count;
        return noErr;
      },
      1, &spec, &seen, nullptr);
  HIViewMoveBy(view, 10, 0);
  EXPECT_EQ(1, seen.count);
  EXPECT_DOUBLE_EQ(1, seen.previous.origin.x);
  EXPECT_DOUBLE_EQ(11, seen.current.origin.x);
  EXPECT_EQ(UInt32(kControlBoundsChangePositionChanged), seen.attributes);
  HIRect same = seen.current;
  HIViewSetFrame(view, &same);
  EXPECT_EQ(1, seen.count);  // no change, no event
}

// The click runs click -> track -> hit -> command, and the command climbs
// from the control through its superview and the window to the application.
TEST_F(HIViewTest, ClickOrderAndCommandClimbsToTheApplication) {
  TestWindow w(0x1300);
  HIViewRef pane = MakeView(w.root, {{10, 10}, {200, 100}});
  ControlRef button = nullptr;
  Rect r = {10, 10, 30, 90};  // within the pane's coordinates
  ASSERT_EQ(noErr, CreatePushButtonControl(nullptr, &r, CFStringMakeConstantUTF8("OK"), &button));
  HIViewAddSubview(pane, button);
  SetControlCommandID(button, 'tcmd');

  Logger lc{"control"}, lp{"pane"}, lw{"window"}, la{"app"};
  Listen(HIViewGetEventTarget(button), &lc,
         {{kEventClassControl, kEventControlClick},
          {kEventClassControl, kEventControlTrack},
          {kEventClassControl, kEventControlHit},
          {kEventClassCommand, kEventCommandProcess}});
  Listen(HIViewGetEventTarget(pane), &lp, {{kEventClassCommand, kEventCommandProcess}});
  Listen(w.target, &lw, {{kEventClassControl, kEventControlHit}, {kEventClassCommand, kEventCommandProcess}});
  EventHandlerRef appHandler = nullptr;
  EventTypeSpec cmd = {kEventClassCommand, kEventCommandProcess};
  la.answer = noErr;
  InstallApplicationEventHandler(LogHandler, 1, &cmd, &la, &appHandler);

  // Press at (30, 30) in the window, release inside.
  ViewQueueTrackEvent(ViewTrackEvent{true, CGPoint{31, 31}, 0});
  EventRef down = MouseDown(CGPoint{30, 30});
  EXPECT_TRUE(ViewHandleMouseDown(w.window, down));
  ReleaseEvent(down);
  RemoveEventHandler(appHandler);

  EXPECT_EQ((std::vector<std::string>{"control cntl 13", "control cntl 51", "control cntl 1 part 10",
                                      "window cntl 1 part 10", "control cmds 1 tcmd", "pane cmds 1 tcmd",
                                      "window cmds 1 tcmd", "app cmds 1 tcmd"}),
            gLog);
}

TEST_F(HIViewTest, SystemTrackingHilitesWhileInsideAndReleaseOutsideHitsNothing) {
  TestWindow w(0x1400);
  ControlRef button = nullptr;
  Rect r = {0, 0, 20, 80};
  ASSERT_EQ(noErr, CreatePushButtonControl(w.window, &r, nullptr, &button));
  SetControlCommandID(button, 'tcmd');
  Logger lc{"control"};
  Listen(HIViewGetEventTarget(button), &lc,
         {{kEventClassControl, kEventControlHiliteChanged},
          {kEventClassControl, kEventControlHit},
          {kEventClassCommand, kEventCommandProcess}});
  ViewQueueTrackEvent(ViewTrackEvent{false, CGPoint{200, 200}, 0});  // drag out
  ViewQueueTrackEvent(ViewTrackEvent{false, CGPoint{5, 5}, 0});      // back in
  ViewQueueTrackEvent(ViewTrackEvent{true, CGPoint{300, 5}, 0});     // release outside
  Point start = {5, 5};
  EXPECT_EQ(kControlNoPart, HandleControlClick(button, start, 0, nullptr));
  EXPECT_EQ((std::vector<std::string>{"control cntl 160 part 10", "control cntl 160 part 0",
                                      "control cntl 160 part 10", "control cntl 160 part 0"}),
            gLog);
  EXPECT_EQ(0, GetControlHilite(button));
}

// A view that tracks by itself answers the part; a hit handled by a handler
// keeps the command from being sent.
TEST_F(HIViewTest, OwnTrackingAndHandledHitSuppressTheSystemSteps) {
  TestWindow w(0x1500);
  HIViewRef view = MakeView(w.root, {{0, 0}, {50, 50}});
  SetControlCommandID(view, 'tcmd');
  EventTypeSpec types[] = {{kEventClassControl, kEventControlHitTest},
                           {kEventClassControl, kEventControlTrack},
                           {kEventClassControl, kEventControlHit}};
  InstallEventHandler(
      HIViewGetEventTarget(view),
      [](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        ControlPartCode part = 5;
        switch (GetEventKind(e)) {
          case kEventControlHitTest:
            SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
            return noErr;
          case kEventControlTrack:
            part = 7;
            SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
            gLog.push_back("own track");
            return noErr;
          default:
            GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
            gLog.push_back("hit " + std::to_string(part));
            return noErr;
        }
      },
      3, types, nullptr, nullptr);
  Logger lw{"window"};
  Listen(w.target, &lw, {{kEventClassCommand, kEventCommandProcess}});
  ViewQueueTrackEvent(ViewTrackEvent{true, CGPoint{500, 500}, 0});  // never read: the view tracked
  EventRef down = MouseDown(CGPoint{10, 10});
  EXPECT_TRUE(ViewHandleMouseDown(w.window, down));
  ReleaseEvent(down);
  EXPECT_EQ((std::vector<std::string>{"own track", "hit 7"}), gLog);
}

TEST_F(HIViewTest, ContextualClickGoesToTheViewUnderTheMouse) {
  TestWindow w(0x1600);
  HIViewRef view = MakeView(w.root, {{0, 0}, {50, 50}});
  Logger lv{"view", noErr};
  Listen(HIViewGetEventTarget(view), &lv,
         {{kEventClassControl, kEventControlContextualMenuClick}, {kEventClassControl, kEventControlClick}});
  EventRef down = MouseDown(CGPoint{10, 10}, 1 << 12);  // control key
  EXPECT_TRUE(ViewHandleMouseDown(w.window, down));
  ReleaseEvent(down);
  EXPECT_EQ((std::vector<std::string>{"view cntl 12"}), gLog);
}

TEST_F(HIViewTest, FocusAdvancesThroughTheTreeSkippingHiddenViews) {
  TestWindow w(0x1700);
  ControlRef e1, e2, e3, button;
  Rect r = {0, 0, 20, 100};
  CreateEditUnicodeTextControl(w.window, &r, nullptr, false, nullptr, &e1);
  CreatePushButtonControl(w.window, &r, nullptr, &button);  // takes no focus
  HIViewRef group = MakeView(w.root, {{0, 0}, {100, 100}});
  CreateEditUnicodeTextControl(nullptr, &r, nullptr, false, nullptr, &e2);
  HIViewAddSubview(group, e2);
  CreateEditUnicodeTextControl(w.window, &r, nullptr, false, nullptr, &e3);

  ControlRef focus = nullptr;
  EXPECT_EQ(noErr, HIViewAdvanceFocus(w.root, 0));
  GetKeyboardFocus(w.window, &focus);
  EXPECT_EQ(e1, focus);

  Logger l1{"e1"};
  Listen(HIViewGetEventTarget(e1), &l1, {{kEventClassControl, kEventControlSetFocusPart}});
  EXPECT_EQ(noErr, HIViewAdvanceFocus(w.root, 0));
  GetKeyboardFocus(w.window, &focus);
  EXPECT_EQ(e2, focus);
  EXPECT_TRUE(HIViewSubtreeContainsFocus(group));
  EXPECT_FALSE(HIViewSubtreeContainsFocus(e3));
  EXPECT_EQ((std::vector<std::string>{"e1 cntl 7"}), gLog);  // e1 was told it lost the focus

  HIViewSetVisible(e3, false);
  EXPECT_EQ(noErr, HIViewAdvanceFocus(w.root, 0));  // e3 is hidden: wraps to e1
  GetKeyboardFocus(w.window, &focus);
  EXPECT_EQ(e1, focus);
  EXPECT_EQ(noErr, HIViewAdvanceFocus(w.root, 1 << 9));  // shift: backwards, wrapping to e2
  GetKeyboardFocus(w.window, &focus);
  EXPECT_EQ(e2, focus);

  EXPECT_EQ(errControlDoesntSupportFocus, SetKeyboardFocus(w.window, button, kControlFocusNextPart));
  EXPECT_EQ(noErr, SetKeyboardFocus(w.window, e1, kControlFocusNextPart));
  HIViewPartCode part = 0;
  HIViewGetFocusPart(e1, &part);
  EXPECT_EQ(kControlEditTextPart, part);

  // Disposing the focused view clears the focus.
  DisposeControl(e1);
  GetKeyboardFocus(w.window, &focus);
  EXPECT_EQ(nullptr, focus);
}

// Records the parts a view is asked to take, so a view that keeps its own
// focus state can be seen to hear that it lost the focus.
OSStatus RecordFocusPart(EventHandlerCallRef, EventRef event, void* userData) {
  ControlPartCode part = -1;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  static_cast<std::vector<ControlPartCode>*>(userData)->push_back(part);
  return eventNotHandledErr;
}

TEST_F(HIViewTest, TheFocusedViewHearsItLostTheFocusWhicheverWayTheFocusMoves) {
  // a sits in group g1, b in group g2; a has the focus when each move happens.
  struct Views {
    TestWindow* w;
    HIViewRef g1, g2;
    ControlRef a, b;
  };
  struct Case {
    const char* name;
    void (*move)(const Views&);
    bool bTakesFocus;
  };
  const Case cases[] = {
      {"advance within a root that does not hold the focus", [](const Views& v) { HIViewAdvanceFocus(v.g2, 0); }, true},
      {"advance backwards within such a root", [](const Views& v) { HIViewAdvanceFocus(v.g2, 1 << 9); }, true},
      {"set the focus on another view",
       [](const Views& v) { SetKeyboardFocus(v.w->window, v.b, kControlFocusNextPart); }, true},
      {"clear the focus", [](const Views& v) { ClearKeyboardFocus(v.w->window); }, false},
      {"remove the focused view", [](const Views& v) { HIViewRemoveFromSuperview(v.a); }, false},
      {"hide the focused view", [](const Views& v) { HIViewSetVisible(v.a, false); }, false},
      {"hide its container", [](const Views& v) { HIViewSetVisible(v.g1, false); }, false},
      {"dispose of the focused view", [](const Views& v) { DisposeControl(v.a); }, false},
  };
  uintptr_t id = 0x1800;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestWindow w(id++);
    Views v{&w, MakeView(w.root, {{0, 0}, {100, 100}}), MakeView(w.root, {{0, 100}, {100, 100}}), nullptr, nullptr};
    Rect r = {0, 0, 20, 100};
    CreateEditUnicodeTextControl(nullptr, &r, nullptr, false, nullptr, &v.a);
    CreateEditUnicodeTextControl(nullptr, &r, nullptr, false, nullptr, &v.b);
    HIViewAddSubview(v.g1, v.a);
    HIViewAddSubview(v.g2, v.b);
    ASSERT_EQ(noErr, SetKeyboardFocus(w.window, v.a, kControlFocusNextPart));

    std::vector<ControlPartCode> heard;
    EventTypeSpec spec = {kEventClassControl, kEventControlSetFocusPart};
    ASSERT_EQ(noErr, InstallEventHandler(HIViewGetEventTarget(v.a), RecordFocusPart, 1, &spec, &heard, nullptr));
    CFRetain(v.a);  // outlives its disposal so that its part can be asked
    c.move(v);

    EXPECT_EQ((std::vector<ControlPartCode>{kControlFocusNoPart}), heard);
    ControlRef focus = nullptr;
    GetKeyboardFocus(w.window, &focus);
    EXPECT_EQ(c.bTakesFocus ? v.b : nullptr, focus);
    EXPECT_FALSE(HIViewSubtreeContainsFocus(v.g1));
    if (HIViewGetSuperview(v.a) == nullptr) DisposeControl(v.a);
    CFRelease(v.a);
  }
}

TEST_F(HIViewTest, TrackingAreasHearEnteredAndExited) {
  TestWindow w(0x1800);
  HIViewRef a = MakeView(w.root, {{0, 0}, {50, 50}});
  HIViewRef b = MakeView(w.root, {{100, 0}, {50, 50}});
  HIViewTrackingAreaRef areaA = nullptr, areaB = nullptr;
  ASSERT_EQ(noErr, HIViewNewTrackingArea(a, nullptr, 1, &areaA));
  ASSERT_EQ(noErr, HIViewNewTrackingArea(b, nullptr, 2, &areaB));
  HIViewTrackingAreaID id = 0;
  HIViewGetTrackingAreaID(areaB, &id);
  EXPECT_EQ(2u, id);
  Logger la{"a"}, lb{"b"};
  std::vector<EventTypeSpec> types = {{kEventClassControl, kEventControlTrackingAreaEntered},
                                      {kEventClassControl, kEventControlTrackingAreaExited}};
  Listen(HIViewGetEventTarget(a), &la, types);
  Listen(HIViewGetEventTarget(b), &lb, types);

  ViewHandlePointerMoved(w.window, CGPoint{10, 10}, 0);
  ViewHandlePointerMoved(w.window, CGPoint{20, 10}, 0);  // still inside: nothing
  ViewHandlePointerMoved(w.window, CGPoint{110, 10}, 0);
  HIViewDisposeTrackingArea(areaB);
  ViewHandlePointerMoved(w.window, CGPoint{300, 200}, 0);
  EXPECT_EQ((std::vector<std::string>{"a cntl 23", "a cntl 24", "b cntl 23"}), gLog);
}

TEST_F(HIViewTest, LayoutBindingsFollowTheParentsSize) {
  TestWindow w(0x1900, CGSize{400, 300});
  HIViewRef stretch = MakeView(w.root, {{10, 10}, {380, 20}});
  HIViewRef corner = MakeView(w.root, {{350, 260}, {40, 30}});
  HIViewRef centred = MakeView(w.root, {{0, 0}, {100, 10}});
  HILayoutInfo layout = {};
  layout.binding.left.kind = kHILayoutBindLeft;
  layout.binding.right.kind = kHILayoutBindRight;
  HIViewSetLayoutInfo(stretch, &layout);
  layout = {};
  layout.binding.right.kind = kHILayoutBindRight;
  layout.binding.bottom.kind = kHILayoutBindBottom;
  HIViewSetLayoutInfo(corner, &layout);
  layout = {};
  layout.position.x.kind = kHILayoutPositionCenter;
  HIViewSetLayoutInfo(centred, &layout);

  ViewSetRootSize(w.root, CGSize{600, 500});
  HIRect f;
  HIViewGetFrame(stretch, &f);
  EXPECT_DOUBLE_EQ(10, f.origin.x);
  EXPECT_DOUBLE_EQ(580, f.size.width);
  EXPECT_DOUBLE_EQ(10, f.origin.y);
  HIViewGetFrame(corner, &f);
  EXPECT_DOUBLE_EQ(550, f.origin.x);
  EXPECT_DOUBLE_EQ(460, f.origin.y);
  EXPECT_DOUBLE_EQ(40, f.size.width);
  HIViewGetFrame(centred, &f);
  EXPECT_DOUBLE_EQ(250, f.origin.x);

  // A parent too small never gives a negative size.
  ViewSetRootSize(w.root, CGSize{5, 5});
  HIViewGetFrame(stretch, &f);
  EXPECT_DOUBLE_EQ(0, f.size.width);
}

TEST_F(HIViewTest, DisposeGoesDepthFirstWithRemovingSubControlFirst) {
  TestWindow w(0x1A00);
  HIViewRef parent = MakeView(w.root, {{0, 0}, {10, 10}});
  HIViewRef child1 = MakeView(parent, {{0, 0}, {10, 10}});
  HIViewRef grandchild = MakeView(child1, {{0, 0}, {10, 10}});
  HIViewRef child2 = MakeView(parent, {{0, 0}, {10, 10}});
  Logger lp{"parent"}, l1{"child1"}, lg{"grandchild"}, l2{"child2"};
  std::vector<EventTypeSpec> types = {{kEventClassControl, kEventControlRemovingSubControl},
                                      {kEventClassControl, kEventControlDispose}};
  Listen(HIViewGetEventTarget(parent), &lp, types);
  Listen(HIViewGetEventTarget(child1), &l1, types);
  Listen(HIViewGetEventTarget(grandchild), &lg, types);
  Listen(HIViewGetEventTarget(child2), &l2, types);
  EventTargetRef childTarget = HIViewGetEventTarget(child1);

  // Each view is announced to its parent while its subviews are still in it
  // (child1 before the grandchild leaves it): a handler of the parent sees
  // the whole subtree that goes.
  DisposeControl(parent);
  EXPECT_EQ((std::vector<std::string>{"parent cntl 153", "child1 cntl 153", "grandchild cntl 1001", "child1 cntl 1001",
                                      "parent cntl 153", "child2 cntl 1001", "parent cntl 1001"}),
            gLog);
  // The views' handlers went with them.
  EXPECT_FALSE(EventTargetIsValid(childTarget));
  EXPECT_EQ(0u, HIViewCountSubviews(w.root));
}

TEST_F(HIViewTest, MovingAViewToAnotherSuperviewTellsTheOldOne) {
  TestWindow a(0x1A10), b(0x1A20);
  HIViewRef from = MakeView(a.root, {{0, 0}, {10, 10}});
  HIViewRef to = MakeView(b.root, {{0, 0}, {10, 10}});
  HIViewRef moved = MakeView(from, {{0, 0}, {10, 10}});
  Logger lf{"from"}, lt{"to"};
  std::vector<EventTypeSpec> types = {{kEventClassControl, kEventControlRemovingSubControl},
                                      {kEventClassControl, kEventControlAddedSubControl}};
  Listen(HIViewGetEventTarget(from), &lf, types);
  Listen(HIViewGetEventTarget(to), &lt, types);
  ASSERT_EQ(noErr, HIViewAddSubview(to, moved));
  EXPECT_EQ((std::vector<std::string>{"from cntl 153", "to cntl 152"}), gLog);
  EXPECT_EQ(b.window, HIViewGetWindow(moved));
  // Adding it where it already is tells nobody.
  gLog.clear();
  ASSERT_EQ(noErr, HIViewAddSubview(to, moved));
  EXPECT_TRUE(gLog.empty());
}

TEST_F(HIViewTest, PropertiesByCreatorAndTag) {
  HIViewRef view = MakeView(nullptr, {{0, 0}, {1, 1}});
  void* record = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(noErr, SetControlProperty(view, 'THIV', 'OBJE', sizeof record, &record));
  ByteCount size = 0;
  EXPECT_EQ(noErr, GetControlPropertySize(view, 'THIV', 'OBJE', &size));
  EXPECT_EQ(sizeof(void*), size);
  void* back = nullptr;
  EXPECT_EQ(noErr, GetControlProperty(view, 'THIV', 'OBJE', sizeof back, &size, &back));
  EXPECT_EQ(record, back);
  UInt16 tooSmall = 0;
  EXPECT_EQ(paramErr, GetControlProperty(view, 'THIV', 'OBJE', sizeof tooSmall, nullptr, &tooSmall));
  EXPECT_EQ(0, tooSmall);
  EXPECT_EQ(errControlPropertyNotFoundErr, GetControlProperty(view, 'THIV', 'NONE', 4, nullptr, &back));
  EXPECT_EQ(errControlPropertyNotFoundErr, GetControlPropertySize(view, 'othr', 'OBJE', &size));
  EXPECT_EQ(noErr, RemoveControlProperty(view, 'THIV', 'OBJE'));
  EXPECT_EQ(errControlPropertyNotFoundErr, RemoveControlProperty(view, 'THIV', 'OBJE'));
  CFRelease(view);
}

TEST_F(HIViewTest, StateIsInheritedAndAnnounced) {
  TestWindow w(0x1B00);
  HIViewRef parent = MakeView(w.root, {{0, 0}, {10, 10}});
  HIViewRef child = MakeView(parent, {{0, 0}, {10, 10}});
  Logger lc{"child"};
  Listen(HIViewGetEventTarget(child), &lc,
         {{kEventClassControl, kEventControlActivate},
          {kEventClassControl, kEventControlDeactivate},
          {kEventClassControl, kEventControlEnabledStateChanged},
          {kEventClassControl, kEventControlValueFieldChanged}});
  DeactivateControl(parent);
  EXPECT_FALSE(IsControlActive(child));
  EXPECT_EQ(kControlInactivePart, GetControlHilite(child));
  ActivateControl(parent);
  DisableControl(parent);
  EXPECT_FALSE(IsControlEnabled(child));
  EXPECT_EQ(kControlDisabledPart, GetControlHilite(child));
  EnableControl(parent);
  HIViewSetVisible(parent, false);
  EXPECT_FALSE(HIViewIsVisible(child));
  EXPECT_TRUE(HIViewIsLatentlyVisible(child));

  SetControl32BitMaximum(child, 10);
  SetControl32BitValue(child, 50);
  EXPECT_EQ(10, GetControl32BitValue(child));  // clamped
  SetControl32BitValue(child, 10);             // unchanged: no event
  SetControl32BitMaximum(child, 4);
  EXPECT_EQ(4, GetControl32BitValue(child));
  EXPECT_EQ((std::vector<std::string>{"child cntl 10", "child cntl 9", "child cntl 161", "child cntl 161",
                                      "child cntl 151", "child cntl 151"}),
            gLog);
}

// Hiding or showing a view tells the view and every subview that shows or
// stops showing with it; a subview hidden on its own hears nothing.
OSStatus LogVisibility(EventHandlerCallRef, EventRef event, void* userData) {
  Boolean visible = false;
  GetEventParameter(event, kEventParamControlIsVisible, typeBoolean, nullptr, sizeof visible, nullptr, &visible);
  gLog.push_back(*static_cast<std::string*>(userData) + (visible ? " shown" : " hidden"));
  return eventNotHandledErr;
}

TEST_F(HIViewTest, VisibilityChangesReachTheSubviewsThatChangeWithTheView) {
  TestWindow w(0x1B80);
  HIViewRef pane = MakeView(w.root, {{0, 0}, {10, 10}});
  HIViewRef text = MakeView(pane, {{0, 0}, {10, 10}});
  HIViewRef hiddenBar = MakeView(pane, {{0, 0}, {10, 10}});
  HIViewSetVisible(hiddenBar, false);
  std::string names[] = {"pane", "text", "bar"};
  const EventTypeSpec kVisibility{kEventClassControl, kEventControlVisibilityChanged};
  HIViewRef views[] = {pane, text, hiddenBar};
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(noErr, InstallEventHandler(HIViewGetEventTarget(views[i]), LogVisibility, 1, &kVisibility, &names[i],
                                         nullptr));
  HIViewSetVisible(pane, false);
  HIViewSetVisible(pane, false);  // no change: no event
  HIViewSetVisible(pane, true);
  EXPECT_EQ((std::vector<std::string>{"pane hidden", "text hidden", "pane shown", "text shown"}), gLog);
  gLog.clear();
  HIViewSetVisible(w.root, false);
  HIViewSetVisible(hiddenBar, true);  // the view itself hears its own flag
  EXPECT_EQ((std::vector<std::string>{"pane hidden", "text hidden", "bar shown"}), gLog);
  EXPECT_FALSE(HIViewIsVisible(hiddenBar));
}

#if __has_include("CGContext.h")
// Subviews draw after their parent in index order; hidden views and their
// subviews are not drawn; each draw gets coordinates from its own origin.
TEST_F(HIViewTest, DrawOrderAndHiddenViewsByPixelProbe) {
  TestWindow w(0x1C00, CGSize{40, 20});
  struct Fill {
    CGFloat r, g, b;
  };
  auto filler = [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
    auto* fill = static_cast<Fill*>(data);
    CGContextRef ctx = nullptr;
    GetEventParameter(e, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof ctx, nullptr, &ctx);
    CGContextSetRGBFillColor(ctx, fill->r, fill->g, fill->b, 1);
    CGContextFillRect(ctx, CGRect{{0, 0}, {1000, 1000}});  // clipped to the view
    return noErr;
  };
  Fill red{1, 0, 0}, green{0, 1, 0}, blue{0, 0, 1};
  EventTypeSpec draw = {kEventClassControl, kEventControlDraw};
  HIViewRef back = MakeView(w.root, {{0, 0}, {20, 20}});
  HIViewRef front = MakeView(w.root, {{10, 0}, {20, 20}});
  HIViewRef hidden = MakeView(w.root, {{30, 0}, {10, 20}});
  InstallEventHandler(HIViewGetEventTarget(back), filler, 1, &draw, &red, nullptr);
  InstallEventHandler(HIViewGetEventTarget(front), filler, 1, &draw, &green, nullptr);
  InstallEventHandler(HIViewGetEventTarget(hidden), filler, 1, &draw, &blue, nullptr);
  HIViewSetVisible(hidden, false);

  std::vector<UInt8> pixels(40 * 20 * 4, 0);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 40, 20, 8, 40 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  ASSERT_NE(nullptr, ctx);
  // Views draw y-down.
  CGContextTranslateCTM(ctx, 0, 20);
  CGContextScaleCTM(ctx, 1, -1);
  ASSERT_EQ(noErr, HIViewDrawInContext(w.root, ctx));
  CGContextFlush(ctx);
  auto at = [&](int x, int y) { return &pixels[size_t((y * 40 + x) * 4)]; };
  EXPECT_EQ(255, at(5, 5)[0]);   // red alone
  EXPECT_EQ(255, at(15, 5)[1]);  // green over red
  EXPECT_EQ(0, at(15, 5)[0]);
  EXPECT_EQ(255, at(25, 5)[1]);
  EXPECT_EQ(0, at(35, 5)[2]);  // the hidden view drew nothing
  CGContextRelease(ctx);

  // An offscreen picture of one view has the view's size.
  CGImageRef image = nullptr;
  HIRect frame;
  ASSERT_EQ(noErr, HIViewCreateOffscreenImage(front, 0, &frame, &image));
  EXPECT_EQ(20u, CGImageGetWidth(image));
  EXPECT_EQ(20u, CGImageGetHeight(image));
  EXPECT_DOUBLE_EQ(10, frame.origin.x);
  CGImageRelease(image);
}
#endif

}  // namespace
