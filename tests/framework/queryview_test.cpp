// THIQueryView: stepping with wrap-around, the commands to the front window,
// hit testing, the results' ranges and drawing of the number.
#include <gtest/gtest.h>

#include <vector>

#include "FrameworkTestSupport.h"
#include "PascalCarbonCommon.h"
#include "THIQueryViewUnit.h"

namespace {

std::vector<UInt32> gCommands;

OSStatus Record(EventHandlerCallRef, EventRef e, void*) {
  HICommand command{};
  GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  gCommands.push_back(command.commandID);
  return noErr;
}

class QueryViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct); }
  void SetUp() override {
    gCommands.clear();
    EventTypeSpec spec = {kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(window.window), Record, 1, &spec, nullptr, nullptr);
    view = static_cast<THIQueryView*>(HIViewCreateObject("com.brindlecote.view.queryview"));
    ASSERT_NE(nullptr, view);
    HIViewAddSubview(window.root, view->View);
    CGRect frame = {{0, 0}, {60, 20}};
    HIViewSetFrame(view->View, &frame);
    HIViewSetVisible(view->View, true);
  }
  TestWindow window;
  THIQueryView* view = nullptr;
};

TEST_F(QueryViewTest, ArrowsStepWithWrapAroundAndTellTheFrontWindow) {
  EXPECT_EQ("THIQueryView", view->GetClassString().str());
  struct Case {
    SInt16 current, part;
    SInt16 after;
    std::vector<UInt32> commands;
  } cases[] = {
      {1, kQueryViewPartLeft, 3, {'qry<'}},  {2, kQueryViewPartLeft, 1, {'qry<'}},
      {3, kQueryViewPartRight, 1, {'qry>'}}, {1, kQueryViewPartRight, 2, {'qry>'}},
      {2, kQueryViewPartCenter, 2, {}},      {2, 0, 2, {}},
  };
  for (const Case& c : cases) {
    gCommands.clear();
    view->SetRange(c.current, 3);
    view->ControlHit(c.part);
    EXPECT_EQ(c.after, view->GetActiveItem()) << c.current << " part " << c.part;
    EXPECT_EQ(c.commands, gCommands);
  }
  view->Clear();
  view->ControlHit(kQueryViewPartRight);  // nothing to step through
  EXPECT_EQ(0, view->GetActiveItem());
}

TEST_F(QueryViewTest, HitTestingFollowsTheDrawnPieces) {
  view->LeftRect = {{0, 0}, {10, 20}};
  view->CenterRect = {{10, 0}, {40, 20}};
  view->RightRect = {{50, 0}, {10, 20}};
  CGRect bounds = {{0, 0}, {60, 20}};
  EXPECT_EQ(0, view->HitTestControl(bounds, {5, 5}));  // cleared: nothing answers
  view->SetRange(1, 3);
  EXPECT_EQ(kQueryViewPartLeft, view->HitTestControl(bounds, {5, 5}));
  EXPECT_EQ(kQueryViewPartCenter, view->HitTestControl(bounds, {30, 5}));
  EXPECT_EQ(kQueryViewPartRight, view->HitTestControl(bounds, {55, 5}));
  EXPECT_EQ(0, view->HitTestControl(bounds, {30, 25}));
}

TEST_F(QueryViewTest, ActiveRangeIsCheckedAgainstTheResults) {
  static CFRange ranges[2] = {{4, 2}, {10, 5}};
  const void* items[2] = {&ranges[0], &ranges[1]};
  view->SetResults(CFArrayCreate(nullptr, items, 2, nullptr));
  view->SetRange(2, 2);
  EXPECT_EQ(10, view->GetActiveRange().location);
  EXPECT_EQ(5, view->GetActiveRange().length);
  view->SetRange(3, 3);  // past the results: the empty range, not a stray read
  EXPECT_EQ(0, view->GetActiveRange().length);
  view->SetRange(0, 2);
  EXPECT_EQ(0, view->GetActiveRange().length);
  view->Clear();
  EXPECT_EQ(nullptr, view->Results);
  EXPECT_EQ(0, view->GetActiveRange().length);
}

TEST_F(QueryViewTest, DrawsTheNumberOnlyWithResultsAndWithoutImages) {
  // Without the bundle's artwork, so that only the number shows.
  for (HIControlImageInfo* set : {&view->LeftImages, &view->CenterImages, &view->RightImages}) {
    for (CGImageRef image : {set->normal, set->selected, set->hover, set->unused}) CGImageRelease(image);
    *set = HIControlImageInfo{};
  }
  auto darkPixels = [&]() {
    Bitmap bitmap(60, 20);
    EXPECT_EQ(noErr, HIViewDrawInContext(view->View, bitmap.context));
    int dark = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) dark += bitmap.At(x, y)[3] > 0;
    return dark;
  };
  EXPECT_EQ(0, darkPixels());  // cleared: no number (and no image files needed)
  view->SetRange(7, 9);
  EXPECT_GT(darkPixels(), 0);
  EXPECT_EQ(0, view->CenterRect.origin.x);
  EXPECT_EQ(60, view->CenterRect.size.width);
}

}  // namespace
