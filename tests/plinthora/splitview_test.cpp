// The split view: creation parameters, layout, clamping, the drag, the
// collapse animation on the virtual clock, and drawing.
#include "PlinthoraTestSupport.h"
#include "TestBitmap.h"
#include "plinthora/SplitViewClass.h"

using namespace plinthora_test;

namespace {

SplitViewData* Record(HIViewRef view) {
  SplitViewData* d = nullptr;
  GetControlProperty(view, kSplitViewCreatorTag, kSplitViewDataPropertyTag, sizeof d, nullptr, &d);
  return d;
}

struct SplitViewTest : WindowTest {
  HIViewRef split = nullptr, pane1 = nullptr, pane2 = nullptr;
  // A split view of 400 x 300 at (50, 20) in the window, with two panes.
  void Make(const std::vector<Param>& params = {}) {
    split = NewView(kSplitViewClassID, window, CGRect{{50, 20}, {400, 300}}, params);
    ASSERT_NE(split, nullptr);
    pane1 = NewPlainView(nullptr);
    pane2 = NewPlainView(nullptr);
    SplitViewSetupPanes(split, pane1, pane2);
  }
  void Resize(CGFloat width, CGFloat height) {
    const CGRect frame{{50, 20}, {width, height}};
    HIViewSetFrame(split, &frame);
  }
};

TEST(SplitViewClass, RegistersOnce) {
  RegisterOnce();
  EXPECT_EQ(RegisterSplitViewClass(), hiObjectClassExistsErr);
}

TEST_F(SplitViewTest, CreationParameters) {
  Make({StringParam(kSplitViewKindParameterTag, "horizantal"),
        ValueParam(kSplitViewAsynchParameterTag, typeBoolean, Boolean(true)),
        ValueParam(kSplitViewSizeParameterTag, typeSInt32, SInt32(120)),
        ValueParam(kSplitViewLimitParameterTag, 'cfrg', CFRange{10, 20}),
        ValueParam(kSplitViewMarginParameterTag, 'cfrg', CFRange{3, 4}),
        StringParam(kSplitViewStyleParameterTag, "header"),
        StringParam(kSplitViewTitleParameterTag, std::string(70, 'T').c_str())});
  SplitViewData* d = Record(split);
  EXPECT_EQ(SplitViewGetPaneIndex(split, pane1), kSplitViewTopPane);
  EXPECT_EQ(SplitViewGetPaneIndex(split, pane2), kSplitViewBottomPane);
  EXPECT_EQ(SplitViewGetPaneIndex(split, split), 0);
  EXPECT_TRUE(SplitViewGetAsynchronous(split));
  EXPECT_EQ(SplitViewGetPosition(split), 120);
  EXPECT_EQ(d->ANIMATION.SAVED, 120);
  EXPECT_EQ(d->LIMIT.location, 10);
  EXPECT_EQ(d->LIMIT.length, 20);
  EXPECT_EQ(d->MARGIN.location, 3);
  EXPECT_EQ(d->STYLE, kSplitViewStyleHeader);
  EXPECT_EQ(d->TITLE.len(), 63);

  // Defaults, and names the view does not know.
  HIViewRef plain = NewView(kSplitViewClassID, window, CGRect{{0, 0}, {400, 300}},
                            {StringParam(kSplitViewStyleParameterTag, "standard"),
                             StringParam(kSplitViewKindParameterTag, "diagonal")});
  EXPECT_EQ(Record(plain)->STYLE, kSplitViewStyleStandard);
  EXPECT_EQ(Record(plain)->ORIENTATION, kSplitViewOrientationVertical);
  EXPECT_EQ(SplitViewGetPosition(plain), 200);
  EXPECT_FALSE(SplitViewGetAsynchronous(plain));

  HIViewRef hidden = NewView(kSplitViewClassID, window, CGRect{{0, 0}, {400, 300}},
                             {StringParam(kSplitViewVisibilityParameterTag, "right")});
  EXPECT_EQ(SplitViewGetPosition(hidden), -1);
}

TEST_F(SplitViewTest, LaysOutThePanesAroundTheSplitter) {
  struct Case {
    const char* name;
    std::vector<Param> params;
    CGRect splitter, first, second;
  } cases[] = {
      {"vertical", {}, {{200, 0}, {8, 300}}, {{0, 0}, {200, 300}}, {{208, 0}, {192, 300}}},
      {"vertical, right pane collapsed",
       {StringParam(kSplitViewVisibilityParameterTag, "right")},
       {{200, 0}, {8, 300}},
       {{0, 0}, {400, 300}},
       {{208, 0}, {192, 300}}},
      {"vertical, left pane collapsed",
       {StringParam(kSplitViewVisibilityParameterTag, "left")},
       {{200, 0}, {8, 300}},
       {{0, 0}, {200, 300}},
       {{0, 0}, {400, 300}}},
      {"vertical with margins",
       {ValueParam(kSplitViewMarginParameterTag, 'cfrg', CFRange{5, 10})},
       {{200, 0}, {8, 300}},
       {{5, 0}, {200, 300}},
       {{208, 0}, {192, 300}}},
      {"vertical without images",
       {StringParam(kSplitViewStyleParameterTag, "metal")},
       {{200, 0}, {1, 300}},
       {{0, 0}, {200, 300}},
       {{201, 0}, {199, 300}}},
      {"horizontal",
       {StringParam(kSplitViewKindParameterTag, "horizantal"), ValueParam(kSplitViewSizeParameterTag, typeSInt32, 100),
        ValueParam(kSplitViewMarginParameterTag, 'cfrg', CFRange{5, 10})},
       {{0, 100}, {400, 6}},
       {{0, 0}, {400, 100}},
       {{0, 106}, {400, 184}}},
      {"horizontal, bottom pane collapsed",
       {StringParam(kSplitViewKindParameterTag, "horizantal"), ValueParam(kSplitViewSizeParameterTag, typeSInt32, 100),
        StringParam(kSplitViewVisibilityParameterTag, "bottom")},
       {{0, 100}, {400, 6}},
       {{0, 0}, {400, 300}},
       {{0, 106}, {400, 194}}},
      {"header: only the grip at the right end is the splitter",
       {StringParam(kSplitViewKindParameterTag, "horizantal"), ValueParam(kSplitViewSizeParameterTag, typeSInt32, 100),
        StringParam(kSplitViewStyleParameterTag, "header")},
       {{400 - kHeaderGripWidth, 101}, {400, 11}},
       {{0, 0}, {400, 101}},
       {{0, 112}, {400, 188}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Make(c.params);
    EXPECT_EQ(Record(split)->SPLITFRAME, c.splitter);
    EXPECT_EQ(FrameOf(pane1), c.first);
    EXPECT_EQ(FrameOf(pane2), c.second);
    const SInt16 hide = Record(split)->HIDE;
    const bool vertical = Record(split)->ORIENTATION == kSplitViewOrientationVertical;
    EXPECT_EQ(HIViewIsVisible(pane1), hide != (vertical ? kSplitViewLeftPane : kSplitViewTopPane));
    EXPECT_EQ(HIViewIsVisible(pane2), hide != (vertical ? kSplitViewRightPane : kSplitViewBottomPane));
    DisposeControl(split);
  }
}

TEST_F(SplitViewTest, HostPositionsAreNotClampedButRestylingAndResizingAre) {
  Make();
  SplitViewSetLimit(split, CFRange{50, 30});
  SplitViewSetPosition(split, 10);
  EXPECT_EQ(SplitViewGetPosition(split), 10);
  EXPECT_EQ(FrameOf(pane1).size.width, 10);
  SplitViewSetKind(split, "gray");
  EXPECT_EQ(Record(split)->STYLE, kSplitViewStyleGray);
  EXPECT_EQ(SplitViewGetPosition(split), 50);
  SplitViewSetKind(split, "standard");  // reached by no name: the style stays
  EXPECT_EQ(Record(split)->STYLE, kSplitViewStyleGray);

  SplitViewSetPosition(split, 390);
  EXPECT_EQ(SplitViewGetPosition(split), 390);
  Resize(380, 300);  // the gray style has no images: a one-point splitter
  EXPECT_EQ(SplitViewGetPosition(split), 380 - 1 - 30);
}

TEST_F(SplitViewTest, ClosingTheFarPaneKeepsTheSplitterAtTheFarEdge) {
  Make();
  SplitViewClose(split, kSplitViewRightPane);
  EXPECT_EQ(SplitViewGetPosition(split), 400);
  Resize(500, 300);
  EXPECT_EQ(SplitViewGetPosition(split), 500 - kVSplitThickness);
  Resize(300, 300);
  EXPECT_EQ(SplitViewGetPosition(split), 300 - kVSplitThickness);
  EXPECT_EQ(FrameOf(pane2).size.width, 0);

  SplitViewClose(split, kSplitViewLeftPane);
  EXPECT_EQ(SplitViewGetPosition(split), 0);
  Resize(350, 300);
  EXPECT_EQ(SplitViewGetPosition(split), 0);

  Make({StringParam(kSplitViewKindParameterTag, "horizantal")});
  SplitViewClose(split, kSplitViewBottomPane);
  EXPECT_EQ(SplitViewGetPosition(split), 300);
  Resize(400, 250);
  EXPECT_EQ(SplitViewGetPosition(split), 250 - kHSplitThickness);
}

TEST_F(SplitViewTest, DraggingTheSplitterMovesItWithinTheLimits) {
  Make();
  SplitViewSetLimit(split, CFRange{20, 30});
  HIViewPartCode part = 0;
  CGPoint onSplitter{203, 100};
  HIViewGetPartHit(split, &onSplitter, &part);
  EXPECT_EQ(part, kControlIndicatorPart);
  CGPoint beside{190, 100};
  HIViewGetPartHit(split, &beside, &part);
  EXPECT_EQ(part, kControlNoPart);

  // A click on the splitter in the window (the view sits at 50, 20).
  HeadlessQueueMouseTrack({{window, {50 + 233, 120}, 0, 0.01, false}, {window, {50 + 243, 130}, 0, 0.01, true}});
  Click(window, CGPoint{50 + 203, 120});
  EXPECT_EQ(SplitViewGetPosition(split), 240);
  EXPECT_EQ(FrameOf(pane1).size.width, 240);
  EXPECT_EQ(FrameOf(pane2).origin.x, 248);
  EXPECT_EQ(Record(split)->SHUT, 0);

  // Past the far edge: the splitter stops at the limit and is shut there.
  HeadlessQueueMouseTrack({{window, {500, 120}, 0, 0.01, false}, {window, {500, 120}, 0, 0.01, true}});
  SplitViewTrackSlider(CGPoint{50 + 243, 120}, split);
  EXPECT_EQ(SplitViewGetPosition(split), 400 - kVSplitThickness - 30);
  EXPECT_EQ(Record(split)->SHUT, 3);
  Resize(450, 300);
  EXPECT_EQ(SplitViewGetPosition(split), 450 - kVSplitThickness - 30);
}

struct Notice {
  int count = 0;
  ControlRef pane = nullptr, view = nullptr;
  SInt16 message = 0;
};
void Notify(SInt16 message, ControlRef pane, ControlRef view, void* context) {
  auto* n = static_cast<Notice*>(context);
  n->count++;
  n->message = message;
  n->pane = pane;
  n->view = view;
}

// Ticks of the animation: the first fires at once, the next every 1/30 s.
void Tick(int n = 1) {
  for (int i = 0; i < n; ++i) HeadlessAdvanceClock(1.0 / 30);
}

TEST_F(SplitViewTest, AnimatedCollapseAndExpandReturnToTheSamePosition) {
  Make({ValueParam(kSplitViewAsynchParameterTag, typeBoolean, Boolean(true))});
  Notice notice;
  SplitViewSetNotificationCallback(split, Notify, &notice);
  SplitViewSetPosition(split, 300);

  for (int cycle = 0; cycle < 2; ++cycle) {
    SCOPED_TRACE(cycle);
    SplitViewSetVisible(split, kSplitViewLeftPane);  // collapse the right pane
    HeadlessAdvanceClock(0.001);
    EXPECT_EQ(Record(split)->POSITION, 315);
    SplitViewSetVisible(split, kSplitViewLeftPane);  // nothing more to start
    Tick();
    EXPECT_EQ(Record(split)->POSITION, 330);
    Tick(10);
    EXPECT_EQ(SplitViewGetPosition(split), -1);
    EXPECT_FALSE(HIViewIsVisible(pane2));
    EXPECT_EQ(FrameOf(pane1), (CGRect{{0, 0}, {400, 300}}));
    EXPECT_EQ(notice.count, 2 * cycle + 1);
    EXPECT_EQ(notice.message, kSplitViewMessageClosedPane);
    EXPECT_EQ(notice.pane, pane2);
    EXPECT_EQ(notice.view, split);
    EXPECT_EQ(Record(split)->TIMER, nullptr);

    SplitViewSetVisible(split, kSplitViewTopPane);  // any side expands
    Tick(10);
    EXPECT_EQ(SplitViewGetPosition(split), 300);
    EXPECT_TRUE(HIViewIsVisible(pane2));
    EXPECT_EQ(FrameOf(pane2).origin.x, 300 + kVSplitThickness);
    EXPECT_EQ(notice.count, 2 * cycle + 2);
  }
  // Nothing collapsed and nothing to collapse, or a side the view lacks.
  SplitViewSetVisible(split, kSplitViewVisible);
  SplitViewSetVisible(split, kSplitViewTopPane);
  EXPECT_EQ(Record(split)->TIMER, nullptr);
  Tick(3);
  EXPECT_EQ(notice.count, 4);
}

TEST_F(SplitViewTest, HostSidesWithoutAnimation) {
  Make({StringParam(kSplitViewKindParameterTag, "horizantal")});
  SplitViewSetVisible(split, kSplitViewBottomPane);
  EXPECT_EQ(Record(split)->HIDE, kSplitViewTopPane);
  EXPECT_FALSE(HIViewIsVisible(pane1));
  EXPECT_EQ(FrameOf(pane2), (CGRect{{0, 0}, {400, 300}}));
  SplitViewSetVisible(split, kSplitViewTopPane);
  EXPECT_EQ(Record(split)->HIDE, kSplitViewBottomPane);
  EXPECT_TRUE(HIViewIsVisible(pane1));
  EXPECT_FALSE(HIViewIsVisible(pane2));
  SplitViewSetVisible(split, kSplitViewVisible);
  EXPECT_EQ(SplitViewGetPosition(split), 200);
  EXPECT_TRUE(HIViewIsVisible(pane2));
}

TEST_F(SplitViewTest, HiddenViewCollapsesOnTheFirstTick) {
  Make({ValueParam(kSplitViewAsynchParameterTag, typeBoolean, Boolean(true)),
        StringParam(kSplitViewKindParameterTag, "horizantal")});
  Notice notice;
  SplitViewSetNotificationCallback(split, Notify, &notice);
  HIViewSetVisible(split, false);
  SplitViewSetVisible(split, kSplitViewTopPane);  // collapse the bottom pane
  EXPECT_EQ(SplitViewGetPosition(split), -1);
  HeadlessAdvanceClock(0.001);
  EXPECT_EQ(Record(split)->POSITION, 300);
  EXPECT_EQ(notice.count, 1);
  Tick(3);
  EXPECT_EQ(notice.count, 1);
}

TEST_F(SplitViewTest, DestroyingTheViewEndsItsAnimation) {
  Make({ValueParam(kSplitViewAsynchParameterTag, typeBoolean, Boolean(true))});
  Notice notice;
  SplitViewSetNotificationCallback(split, Notify, &notice);
  SplitViewSetVisible(split, kSplitViewRightPane);
  HeadlessAdvanceClock(0.001);
  ASSERT_NE(Record(split)->TIMER, nullptr);
  DisposeControl(split);
  Tick(30);
  EXPECT_EQ(notice.count, 0);
}

TEST_F(SplitViewTest, ReplacingAPaneAndMakingPanesOnRequest) {
  Make();
  HIViewRef other = NewPlainView(nullptr);
  SplitViewSetPane(split, kSplitViewRightPane, other);
  EXPECT_EQ(SplitViewGetPane(split, kSplitViewRightPane), other);
  EXPECT_EQ(SplitViewGetPane(split, kSplitViewBottomPane), other);
  EXPECT_EQ(SplitViewGetPane(split, kSplitViewVisible), nullptr);
  EXPECT_EQ(HIViewGetSuperview(pane2), nullptr);
  EXPECT_FALSE(HIViewIsVisible(pane2));
  EXPECT_EQ(HIViewGetSuperview(other), split);
  EXPECT_EQ(FrameOf(other), (CGRect{{208, 0}, {192, 300}}));
  CFRelease(pane2);

  // A factory asked for both panes; a split view it makes inherits it.
  static std::vector<HIViewRef> made;
  static HIViewRef nested = nullptr;
  made.clear();
  nested = nullptr;
  SplitViewCreatePaneCallback factory = [](WindowRef) -> ControlRef {
    HIViewRef v = nullptr;
    if (nested == nullptr) {
      nested = NewView(kSplitViewClassID, nullptr, CGRect{{0, 0}, {50, 50}});
      v = nested;
    } else {
      v = NewPlainView(nullptr);
    }
    made.push_back(v);
    return v;
  };
  HIViewRef outer = NewView(kSplitViewClassID, window, CGRect{{0, 0}, {400, 300}});
  SplitViewSetCreatePaneCallback(outer, factory);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(SplitViewGetPane(outer, kSplitViewLeftPane), made[0]);
  EXPECT_EQ(SplitViewGetPane(outer, kSplitViewRightPane), made[1]);
  EXPECT_EQ(Record(nested)->CREATEPANESCALLBACK, factory);
  EXPECT_EQ(HIViewGetSuperview(made[1]), outer);
}

TEST_F(SplitViewTest, DrawsTheSplitterByStyleAndNothingWhileCollapsed) {
  Make();
  struct Probe {
    int x, y;
    int grey;  // 0..255, -1 for untouched
  };
  auto check = [&](const char* name, std::vector<Probe> probes) {
    SCOPED_TRACE(name);
    Bitmap bitmap(400, 300);
    HIViewDrawInContext(split, bitmap.context);
    for (const auto& p : probes) {
      const UInt8* px = bitmap.At(p.x, p.y);
      if (p.grey < 0)
        EXPECT_EQ(px[3], 0) << p.x << "," << p.y;
      else
        EXPECT_NEAR(px[0], p.grey, 2) << p.x << "," << p.y;
    }
  };
  // The background tiles down the splitter; the grip is centred on it.
  check("standard", {{203, 5, 153}, {203, 290, 153}, {203, 150, 51}, {203, 139, 153}, {199, 5, -1}, {209, 5, -1}});
  SplitViewSetKind(split, "external");
  check("external", {{200, 10, 178}, {201, 10, -1}});
  SplitViewSetVisible(split, kSplitViewLeftPane);
  check("collapsed", {{200, 10, -1}, {203, 150, -1}});
}

}  // namespace
