// Bottom-bar buttons and the search field button: the forced height, the
// pop-up's title, washed-out disabled segments, and drawing without images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "FrameworkTestSupport.h"
#include "HIViewButtons.h"
#include "PascalCarbonCommon.h"

namespace {

std::vector<std::string> gTitles;

std::string Text(CFStringRef s) {
  char buffer[256] = {0};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

class TTitleButton : public TBottomContentButton {
 public:
  void DrawTitle(CFStringRef title, UInt16 size, CGRect bounds, CGContextRef context) override {
    gTitles.push_back(Text(title));
    TBottomContentButton::DrawTitle(title, size, bounds, context);
  }
};

class HIViewButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { gTitles.clear(); }
  TestWindow w;
};

TEST_F(HIViewButtonsTest, BottomBarButtonIsForcedTo23PixelsAndDrawsItsTitle) {
  Rect r = {10, 10, 40, 90};  // 30 high
  ControlRef button = nullptr;
  ASSERT_EQ(noErr, CreateBevelButtonControl(w.window, &r, CFSTR("Add"), 0, 0, nullptr, 0, 0, 0, &button));
  auto* object = new TTitleButton;
  object->Create(button);
  EXPECT_EQ(kBottomContentButtonHeight, object->GetBounds().size.height);
  CGRect frame{};
  HIViewGetFrame(button, &frame);
  EXPECT_EQ(kBottomContentButtonHeight, frame.size.height);
  EXPECT_EQ(80, frame.size.width);

  // Drawn with no image files present: the title still shows, in dark ink.
  Bitmap bitmap(100, 40);
  ASSERT_EQ(noErr, HIViewDrawInContext(w.root, bitmap.context));
  EXPECT_EQ((std::vector<std::string>{"Add"}), gTitles);
  int ink = 0;
  for (int y = 10; y < 33; ++y)
    for (int x = 10; x < 90; ++x) ink += bitmap.At(x, y)[3] > 0;
  EXPECT_GT(ink, 0);
  EXPECT_EQ(0, bitmap.At(5, 5)[3]);  // nothing outside the button
}

TEST_F(HIViewButtonsTest, PopupButtonShowsItsSelectedItem) {
  MenuRef menu = nullptr;
  ASSERT_EQ(noErr, CreateNewMenu(300, 0, &menu));
  AppendMenuItemTextWithCFString(menu, CFSTR("First"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(menu, CFSTR("Second"), 0, 0, nullptr);
  Rect r = {0, 0, 20, 100};
  ControlRef popup = nullptr;
  ASSERT_EQ(noErr, CreatePopupButtonControl(w.window, &r, CFSTR("Own title"), -12345, false, 0, 0, 0, &popup));
  ASSERT_EQ(noErr, SetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu));
  SetControl32BitMaximum(popup, 2);
  SetControl32BitValue(popup, 2);
  auto* object = new TTitleButton;
  object->Create(popup);
  Bitmap bitmap(120, 30);
  ASSERT_EQ(noErr, HIViewDrawInContext(w.root, bitmap.context));
  EXPECT_EQ((std::vector<std::string>{"Second"}), gTitles);
  DisposeControl(popup);  // the wrapper ends with its control
  ReleaseMenu(menu);
}

TEST_F(HIViewButtonsTest, DisabledSegmentIsWashedOut) {
  HIViewRef segmented = nullptr;
  CGRect frame = {{0, 0}, {60, 23}};
  ASSERT_EQ(noErr, HISegmentedViewCreate(&frame, &segmented));
  HIViewAddSubview(w.root, segmented);
  HIViewSetVisible(segmented, true);
  HISegmentedViewSetSegmentCount(segmented, 2);
  HISegmentedViewSetSegmentEnabled(segmented, 2, false);
  // Drawn without the bundle's artwork, so that only the wash shows.
  const CustomButtonImages savedImages = TBottomContentButtonImages;
  const Boolean savedLoaded = TBottomContentButtonLoaded;
  TBottomContentButtonImages = {};
  TBottomContentButtonLoaded = true;
  auto* object = new TBottomContentButton;
  object->Create(segmented);
  TBottomContentButtonImages = savedImages;
  TBottomContentButtonLoaded = savedLoaded;
  HIViewSetFrame(segmented, &frame);  // width kept for the probe
  Bitmap bitmap(60, 30);
  ASSERT_EQ(noErr, HIViewDrawInContext(w.root, bitmap.context));
  const UInt8* washed = bitmap.At(45, 12);
  EXPECT_NEAR(0.7 * 255, washed[3], 2);
  EXPECT_NEAR(0.7 * 255, washed[0], 2);  // white, premultiplied
  EXPECT_EQ(0, bitmap.At(15, 12)[3]);     // the enabled segment is not
}

TEST_F(HIViewButtonsTest, WrapperAppliesByKindAndSearchFieldDrawsWithoutItsImage) {
  Rect r = {0, 0, 20, 60};
  ControlRef a = nullptr, b = nullptr;
  CreateBevelButtonControl(w.window, &r, CFSTR("A"), 0, 0, nullptr, 0, 0, 0, &a);
  CreateBevelButtonControl(w.window, &r, CFSTR("B"), 0, 0, nullptr, 0, 0, 0, &b);
  SetControlProperty(a, kCustomControlKindCreator, kCustomControlKindTag, 7, "bottom");
  ApplyCustomControlWrapper(w.root, "bottom", TBottomContentButtonApplierFunction, nullptr);
  CGRect fa{}, fb{};
  Bitmap bitmap(80, 30);
  HIViewDrawInContext(w.root, bitmap.context);
  HIViewGetFrame(a, &fa);
  HIViewGetFrame(b, &fb);
  EXPECT_EQ(kBottomContentButtonHeight, fa.size.height);  // wrapped
  EXPECT_EQ(20, fb.size.height);                           // not

  ControlRef field = nullptr;
  CreateEditUnicodeTextControl(w.window, &r, CFSTR(""), false, nullptr, &field);
  THISearchFieldCreate(field);
  EXPECT_EQ(noErr, HIViewDrawInContext(w.root, bitmap.context));
  DisposeControl(field);
}

}  // namespace
