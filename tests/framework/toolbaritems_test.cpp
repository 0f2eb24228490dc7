// Toolbar items with views of their own (icon, search field, segmented view,
// icon with a pop-up menu) and the colour well.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "FrameworkTestSupport.h"
#include "HIToolbar.h"
#include "HIViewButtons.h"
#include "HeadlessHost.h"
#include "TWindowUnit.h"

namespace {

bool Equal(const RGBColor& a, const RGBColor& b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

OSStatus SendHit(HIViewRef view, ControlPartCode part) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &e);
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof view, &view);
  OSStatus status = SendEventToEventTarget(e, HIViewGetEventTarget(view));
  ReleaseEvent(e);
  return status;
}

void SendTrack(HIViewRef view) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlTrack, 0, 0, &e);
  CGPoint p = {2, 2};
  SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
  SendEventToEventTarget(e, HIViewGetEventTarget(view));
  ReleaseEvent(e);
}

// The minimum and maximum sizes the view's toolbar item asks for.
std::pair<CGSize, CGSize> Constraints(HIViewRef view) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlGetSizeConstraints, 0, 0, &e);
  CGSize minimum{}, maximum{};
  SetEventParameter(e, kEventParamMinimumSize, typeHISize, sizeof minimum, &minimum);
  SetEventParameter(e, kEventParamMaximumSize, typeHISize, sizeof maximum, &maximum);
  SendEventToEventTarget(e, HIViewGetEventTarget(view));
  GetEventParameter(e, kEventParamMinimumSize, typeHISize, nullptr, sizeof minimum, nullptr, &minimum);
  GetEventParameter(e, kEventParamMaximumSize, typeHISize, nullptr, sizeof maximum, nullptr, &maximum);
  ReleaseEvent(e);
  return {minimum, maximum};
}

std::string Label(HIToolbarItemRef item) {
  CFStringRef label = nullptr;
  HIToolbarItemCopyLabel(item, &label);
  char buffer[256] = {0};
  if (label) CFStringGetCString(label, buffer, sizeof buffer, kCFStringEncodingUTF8), CFRelease(label);
  return buffer;
}

TEST(ColorPickerView, AClickRunsThePickerAndACancelKeepsTheColour) {
  ColorPickerViewRegister();
  THIView* object = HIViewCreateObject(kColorPickerViewClassID);
  auto* well = dynamic_cast<TColorPickerView*>(object);
  ASSERT_NE(well, nullptr);
  const RGBColor start = {0x1000, 0x2000, 0x3000}, chosen = {0xFFFF, 0x8000, 0};
  well->SetColor(start);
  struct Case {
    bool choose;
    RGBColor answer;
    RGBColor expected;
  };
  const Case cases[] = {{false, chosen, start}, {true, chosen, chosen}, {false, start, chosen}};
  for (const Case& c : cases) {
    HeadlessClearColorLog();
    HeadlessQueueColorAnswer({c.choose, c.answer});
    const RGBColor before = well->Color;
    SendHit(well->View, 1);
    EXPECT_TRUE(Equal(well->Color, c.expected)) << c.choose;
    const std::vector<HeadlessColorRecord> log = HeadlessCopyColorLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].prompt, "Pick Color");
    EXPECT_TRUE(Equal(log[0].input, before));
  }
  HeadlessClearColorAnswers();
  CFRelease(well->View);
}

int gAccepted = 0;
HIViewRef gAcceptedField = nullptr;
OSStatus TextAccepted(EventHandlerCallRef, EventRef, void* data) {
  ++gAccepted;
  gAcceptedField = static_cast<HIViewRef>(data);
  return noErr;
}

HIViewRef gSegmentView = nullptr;
THIToolbarSegmentView* gSegmentItem = nullptr;
HIViewRef MakeSegments(THIToolbarSegmentView* item) {
  gSegmentItem = item;
  gSegmentView = PlainView(nullptr, {{0, 0}, {80, 22}});
  return gSegmentView;
}

// An icon item whose pop-up menu has two entries, noting where it was asked
// to show it.
class TMenuIconView : public TPopupIconView {
 public:
  void Initialize() override {
    TPopupIconView::Initialize();
    if (PopupMenu != nullptr) return;
    CreateNewMenu(300, 0, &PopupMenu);
    AppendMenuItemTextWithCFString(PopupMenu, CFSTR("One"), 0, 0, nullptr);
    AppendMenuItemTextWithCFString(PopupMenu, CFSTR("Two"), 0, 0, nullptr);
  }
  MenuRef GetContextualMenu(CGPoint point) override {
    ++asked;
    return TPopupIconView::GetContextualMenu(point);
  }
  int asked = 0;
};
THIView* NewMenuIcon() { return new TMenuIconView(); }

class ToolbarItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gAccepted = 0;
    gAcceptedField = nullptr;
    window = new TWindow();
    window->CreateToolbar("com.test.items", 0);
    THIToolbar* t = window->toolbar;
    ASSERT_NE(t, nullptr);
    AppendToolbarIconView(t, 0, 'macs', 'APPL', "Preview", 'prev', true);
    t->AppendView(0, kSearchFieldToolbarItemClassID, ConstructHIToolbarSearchField,
                  reinterpret_cast<void*>(&TextAccepted), true);
    t->AppendView(0, "com.test.items.plainsearch", ConstructHIToolbarSearchField, nullptr, true);
    t->AppendView(0, kSegmentViewToolbarItemClassID, ConstructHIToolbarSegmentView,
                  reinterpret_cast<void*>(&MakeSegments), true);
    t->AppendView(0, "com.test.items.menuicon", NewMenuIcon, &menuIconInfo, true);
    window->Create("Document", FixtureNib());
    GetWindowToolbar(window->window, &toolbar);
  }
  void TearDown() override {
    HeadlessUseVirtualClock(false);
    window->Remove();
    DisposeAllWindows();
  }
  TWindow* window = nullptr;
  HIToolbarRef toolbar = nullptr;
  ToolbarIconViewInfo menuIconInfo{'macs', 'APPL', "Run", 'run '};
};

TEST_F(ToolbarItemsTest, IconItemTakesItsRecordAndSizesByDisplaySize) {
  HIToolbarItemRef item = window->toolbar->GetItemByIdentifier("com.test.items.prev.item");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Label(item), "Preview");
  EXPECT_EQ(window->toolbar->GetItemByCommand('prev'), item);
  auto* data = dynamic_cast<TToolbarIconView*>(window->toolbar->GetToolbarItemData(item));
  ASSERT_NE(data, nullptr);
  HIViewRef view = data->View;
  auto* drawn = dynamic_cast<TToolbarIconView*>(HIViewGetObjectRef(view));
  ASSERT_NE(drawn, nullptr);
  EXPECT_EQ(drawn->CommandID, UInt32('prev'));
  EXPECT_NE(drawn->Icon, nullptr);
  UInt32 command = 0;
  GetControlCommandID(view, &command);
  EXPECT_EQ(command, UInt32('prev'));

  struct Case {
    HIToolbarDisplaySize size;
    CGFloat side;
  };
  for (const Case& c : {Case{kHIToolbarDisplaySizeNormal, 32}, Case{kHIToolbarDisplaySizeSmall, 16},
                        Case{kHIToolbarDisplaySizeDefault, 32}}) {
    HIToolbarSetDisplaySize(toolbar, c.size);
    auto [minimum, maximum] = Constraints(view);
    EXPECT_EQ(minimum.width, c.side) << c.size;
    EXPECT_EQ(minimum.height, c.side) << c.size;
    EXPECT_EQ(maximum.width, c.side) << c.size;
    EXPECT_EQ(maximum.height, c.side) << c.size;
  }
}

TEST_F(ToolbarItemsTest, SearchFieldItemInstallsTheTextHandlerOnlyWithAContext) {
  struct Case {
    const char* identifier;
    bool handled;
  };
  for (const Case& c : {Case{kSearchFieldToolbarItemClassID, true}, Case{"com.test.items.plainsearch", false}}) {
    HIToolbarItemRef item = window->toolbar->GetItemByIdentifier(c.identifier);
    ASSERT_NE(item, nullptr) << c.identifier;
    EXPECT_EQ(Label(item), "Search");
    auto* data = dynamic_cast<THIToolbarSearchField*>(window->toolbar->GetToolbarItemData(item));
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->View, nullptr);
    auto [minimum, maximum] = Constraints(data->View);
    EXPECT_EQ(minimum.width, 60);
    EXPECT_EQ(minimum.height, 22);
    EXPECT_EQ(maximum.width, 150);
    EXPECT_EQ(maximum.height, 22);

    gAccepted = 0;
    gAcceptedField = nullptr;
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassTextField, kEventTextAccepted, 0, 0, &e);
    SendEventToEventTarget(e, GetControlEventTarget(data->View));
    ReleaseEvent(e);
    EXPECT_EQ(gAccepted, c.handled ? 1 : 0) << c.identifier;
    EXPECT_EQ(gAcceptedField, c.handled ? data->View : nullptr);

    data->SetSearchMenu();
    EXPECT_NE(data->SearchMenu, nullptr);
  }
}

TEST_F(ToolbarItemsTest, SegmentItemTakesTheViewItsCallbackMakes) {
  HIToolbarItemRef item = window->toolbar->GetItemByIdentifier(kSegmentViewToolbarItemClassID);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Label(item), "Mode");
  auto* data = dynamic_cast<THIToolbarSegmentView*>(window->toolbar->GetToolbarItemData(item));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(gSegmentItem, data);
  HIViewRef view = nullptr;
  HIToolbarItemGetView(item, &view);
  EXPECT_EQ(view, gSegmentView);
}

TEST_F(ToolbarItemsTest, PopupIconShowsItsMenuOnlyWhenHeld) {
  HeadlessUseVirtualClock(true);
  HIToolbarItemRef item = window->toolbar->GetItemByIdentifier("com.test.items.menuicon");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Label(item), "Run");
  HIViewRef view = nullptr;
  HIToolbarItemGetView(item, &view);
  auto* icon = dynamic_cast<TMenuIconView*>(HIViewGetObjectRef(view));
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(icon->Timer, nullptr);

  // Released soon: a plain click (which sends the command), no menu.
  SendTrack(view);
  HeadlessAdvanceClock(0.15);
  EXPECT_FALSE(icon->DeepHit);
  SendHit(view, 1);
  EXPECT_EQ(icon->asked, 0);

  // Held: the menu, and the press counts as no click.
  SendTrack(view);
  HeadlessAdvanceClock(0.5);
  EXPECT_EQ(icon->asked, 1);
  EXPECT_TRUE(icon->DeepHit);
  EXPECT_EQ(SendHit(view, 1), noErr);
  EXPECT_FALSE(icon->DeepHit);
}

}  // namespace
