// Native child views: where the widget is to show as the view tree changes
// (frame in the window's coordinates, visibility with the superviews, order
// among the window's native views, focus), and what the desktop host hears.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "HINativeView.h"
#include "HIView.h"
#include "MacWindows.h"
#include "NativeViewInternal.h"

namespace {

struct HostRecord {
  std::vector<void*> retained, released;
  std::set<WindowRef> changed;
};
HostRecord gHost;

const NativeViewHostHooks kRecordingHooks = {
    [](void* widget, HIViewRef) { gHost.retained.push_back(widget); },
    [](void* widget) { gHost.released.push_back(widget); },
    [](WindowRef window) { gHost.changed.insert(window); },
};

class NativeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gHost = HostRecord{};
    NativeViewSetHostHooks(&kRecordingHooks);
    Rect bounds{100, 100, 500, 700};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    root = HIViewGetRoot(window);
  }
  void TearDown() override {
    DisposeWindow(window);
    NativeViewSetHostHooks(nullptr);
  }

  HIViewRef Container(HIViewRef parent, CGRect frame) {
    HIViewRef view = nullptr;
    EXPECT_EQ(HIViewCreate(&frame, &view), noErr);
    EXPECT_EQ(HIViewAddSubview(parent, view), noErr);
    HIViewSetVisible(view, true);
    return view;
  }
  HIViewRef Native(void* widget, HIViewRef parent, CGRect frame) {
    HIViewRef view = nullptr;
    EXPECT_EQ(HINativeViewCreate(widget, &view), noErr);
    EXPECT_EQ(HIViewAddSubview(parent, view), noErr);
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    return view;
  }
  HINativeViewPlacement Placement(HIViewRef view) {
    HINativeViewPlacement p{};
    EXPECT_EQ(HINativeViewGetPlacement(view, &p), noErr);
    return p;
  }

  WindowRef window = nullptr;
  HIViewRef root = nullptr;
};

TEST_F(NativeViewTest, PlacementFollowsFrameVisibilityAndOrder) {
  int widgetA = 0, widgetB = 0;
  HIViewRef pane = Container(root, CGRect{{20, 30}, {300, 200}});
  HIViewRef a = Native(&widgetA, pane, CGRect{{5, 7}, {100, 50}});
  HIViewRef b = Native(&widgetB, root, CGRect{{0, 0}, {10, 10}});
  EXPECT_EQ(HINativeViewGetWidget(a), &widgetA);
  EXPECT_EQ(HINativeViewGetWidget(pane), nullptr);

  HINativeViewPlacement p = Placement(a);
  EXPECT_EQ(p.window, window);
  EXPECT_EQ(p.frame.origin.x, 25);  // in the root's coordinates
  EXPECT_EQ(p.frame.origin.y, 37);
  EXPECT_EQ(p.frame.size.width, 100);
  EXPECT_EQ(p.frame.size.height, 50);
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.order, 0u);  // the pane comes before b in drawing order
  EXPECT_EQ(Placement(b).order, 1u);

  // The superview moves, or scrolls: the widget goes with it.
  HIViewMoveBy(pane, 10, -10);
  HIViewSetBoundsOrigin(pane, 0, 5);
  p = Placement(a);
  EXPECT_EQ(p.frame.origin.x, 35);
  EXPECT_EQ(p.frame.origin.y, 22);

  // A hidden superview hides it; shown again, it shows.
  HIViewSetVisible(pane, false);
  EXPECT_FALSE(Placement(a).visible);
  HIViewSetVisible(pane, true);
  EXPECT_TRUE(Placement(a).visible);

  // Restacking the pane above b puts a above b.
  HIViewSetZOrder(pane, kHIViewZOrderAbove, nullptr);
  EXPECT_EQ(Placement(b).order, 0u);
  EXPECT_EQ(Placement(a).order, 1u);

  // Out of the window: no window, not visible.
  HIViewRemoveFromSuperview(pane);
  p = Placement(a);
  EXPECT_EQ(p.window, nullptr);
  EXPECT_FALSE(p.visible);
  HIViewAddSubview(root, pane);
  EXPECT_EQ(Placement(a).window, window);

  HIViewRef plain = Container(root, CGRect{});
  HINativeViewPlacement none{};
  EXPECT_EQ(HINativeViewGetPlacement(plain, &none), errUnknownControl);
  HIViewRef nothing = nullptr;
  EXPECT_EQ(HINativeViewCreate(nullptr, &nothing), paramErr);
  EXPECT_EQ(nothing, nullptr);
}

TEST_F(NativeViewTest, TakesTheKeyboardFocus) {
  int widget = 0;
  HIViewRef view = Native(&widget, root, CGRect{{0, 0}, {50, 50}});
  EXPECT_FALSE(Placement(view).focused);
  ASSERT_EQ(SetKeyboardFocus(window, view, kControlFocusNextPart), noErr);
  ControlRef focus = nullptr;
  GetKeyboardFocus(window, &focus);
  EXPECT_EQ(focus, view);
  EXPECT_TRUE(Placement(view).focused);
  ClearKeyboardFocus(window);
  EXPECT_FALSE(Placement(view).focused);
}

TEST_F(NativeViewTest, TheHostHearsOfEveryChangeAndLetsTheWidgetGoWithTheView) {
  int widget = 0;
  HIViewRef view = nullptr;
  ASSERT_EQ(HINativeViewCreate(&widget, &view), noErr);
  EXPECT_EQ(gHost.retained, std::vector<void*>{&widget});

  // Each kind of change that moves, shows or restacks the widget tells the host.
  struct Step {
    const char* what;
    std::function<void()> change;
  } steps[] = {
      {"added", [&] { HIViewAddSubview(root, view); }},
      {"framed", [&] { HIRect r{{1, 2}, {30, 40}}; HIViewSetFrame(view, &r); }},
      {"hidden", [&] { HIViewSetVisible(view, false); }},
      {"shown", [&] { HIViewSetVisible(view, true); }},
      {"restacked", [&] { HIViewSetZOrder(view, kHIViewZOrderBelow, nullptr); }},
      {"focused", [&] { SetKeyboardFocus(window, view, kControlFocusNextPart); }},
      {"removed", [&] { HIViewRemoveFromSuperview(view); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    gHost.changed.clear();
    step.change();
    EXPECT_EQ(gHost.changed.count(window), 1u);
  }

  HIViewAddSubview(root, view);
  gHost.changed.clear();
  DisposeControl(view);
  EXPECT_EQ(gHost.released, std::vector<void*>{&widget});
  EXPECT_EQ(gHost.changed.count(window), 1u);
}

}  // namespace
