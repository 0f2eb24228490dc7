// The bundle's artwork as the framework's views use it: every image they load
// by name is there with the sizes the views rely on, the query view draws its
// pieces, and a window with the drawn views renders to a PNG a person can
// look at (artwork-window.png beside the bundle).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "WindowInternal.h"
#include "CFString.h"
#include "FrameworkTestSupport.h"
#include "HIViewButtons.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "THIQueryViewUnit.h"
#include "THIViewUnit.h"

namespace {

struct Named {
  const char* folder;
  std::vector<const char*> names;
};

const Named kFrameworkImages[] = {
    {"Images/query view",
     {"right.png", "right_selected.png", "right_hover.png", "left.png", "left_selected.png", "left_hover.png",
      "center.png"}},
    {"Images/Custom Buttons/Leopard Toolbar",
     {"seperator.png", "left.png", "left_selected.png", "right.png", "right_selected.png", "content.png",
      "content_selected.png"}},
    {"Images/Leopard Toolbar Images", {"searchfieldbutton.png"}},
};

struct Size {
  size_t width = 0, height = 0;
};

Size SizeOf(const char* name, const char* folder) {
  CGImageRef image = THIViewLoadImage(name, folder);
  if (image == nullptr) return {};
  Size size{CGImageGetWidth(image), CGImageGetHeight(image)};
  CGImageRelease(image);
  return size;
}

TEST(ArtworkTest, BundleHoldsEveryImageTheFrameworkNames) {
  for (const Named& set : kFrameworkImages)
    for (const char* name : set.names) {
      Size size = SizeOf(name, set.folder);
      EXPECT_GT(size.width, 0u) << set.folder << "/" << name;
      EXPECT_GT(size.height, 0u) << set.folder << "/" << name;
    }
  // The query view's pieces share one height, and an arrow's states one size,
  // so that pressing an arrow does not move the others.
  const char* query = "Images/query view";
  const Size left = SizeOf("left.png", query), right = SizeOf("right.png", query);
  EXPECT_EQ(left.height, SizeOf("center.png", query).height);
  EXPECT_EQ(left.height, right.height);
  for (const char* name : {"left_selected.png", "left_hover.png"}) {
    EXPECT_EQ(left.width, SizeOf(name, query).width) << name;
    EXPECT_EQ(left.height, SizeOf(name, query).height) << name;
  }
  for (const char* name : {"right_selected.png", "right_hover.png"}) {
    EXPECT_EQ(right.width, SizeOf(name, query).width) << name;
    EXPECT_EQ(right.height, SizeOf(name, query).height) << name;
  }
  // Bottom-bar pieces are as high as the buttons they draw.
  for (const char* name : kFrameworkImages[1].names)
    EXPECT_EQ(size_t(kBottomContentButtonHeight), SizeOf(name, "Images/Custom Buttons/Leopard Toolbar").height)
        << name;
  // The search field's button is drawn six pixels narrower than the image.
  EXPECT_GT(SizeOf("searchfieldbutton.png", "Images/Leopard Toolbar Images").width, 6u);
}

class QueryViewArtworkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct); }
  THIQueryView* MakeQueryView(HIViewRef parent, CGRect frame) {
    auto* view = static_cast<THIQueryView*>(HIViewCreateObject("com.brindlecote.view.queryview"));
    EXPECT_NE(nullptr, view);
    HIViewAddSubview(parent, view->View);
    HIViewSetFrame(view->View, &frame);
    HIViewSetVisible(view->View, true);
    return view;
  }
  TestWindow window;
};

TEST_F(QueryViewArtworkTest, QueryViewDrawsItsPieces) {
  const Size left = SizeOf("left.png", "Images/query view");
  const Size right = SizeOf("right.png", "Images/query view");
  ASSERT_GT(left.width, 0u);
  THIQueryView* view = MakeQueryView(window.root, CGRect{{0, 0}, {120, CGFloat(left.height)}});
  static CFRange ranges[3] = {{0, 1}, {5, 1}, {9, 1}};
  const void* items[3] = {&ranges[0], &ranges[1], &ranges[2]};
  view->SetResults(CFArrayCreate(nullptr, items, 3, nullptr));
  view->SetRange(2, 3);

  Bitmap active(140, 30);
  ASSERT_EQ(noErr, HIViewDrawInContext(window.root, active.context));
  EXPECT_EQ(CGFloat(left.width), view->LeftRect.size.width);
  EXPECT_EQ(120 - CGFloat(right.width), view->RightRect.origin.x);
  EXPECT_EQ(CGFloat(left.width), view->CenterRect.origin.x);
  const int middle = int(left.height) / 2;
  for (int x : {int(left.width) / 2, 60, 120 - int(right.width) / 2})
    EXPECT_GT(active.At(x, middle)[3], 0) << x;  // each piece is drawn
  EXPECT_EQ(0, active.At(130, middle)[3]);         // nothing past the view

  // Cleared, the same pieces are drawn faded.
  const int probe = int(left.width) + 3;
  const UInt8 full = active.At(probe, 2)[3];
  view->Clear();
  Bitmap cleared(140, 30);
  HIViewDrawInContext(window.root, cleared.context);
  EXPECT_NEAR(0.6 * full, cleared.At(probe, 2)[3], 2);
}

// A window with the query view, a bottom bar of drawn buttons and a search
// field with its button, written to a PNG beside the bundle.
TEST_F(QueryViewArtworkTest, WindowWithTheDrawnViewsRendersToAPicture) {
  THIQueryView* query = MakeQueryView(window.root, CGRect{{12, 12}, {90, 20}});
  query->SetResults(CFArrayCreate(nullptr, nullptr, 0, nullptr));
  query->SetRange(3, 7);

  HIRect fieldFrame = {{120, 11}, {170, 22}};
  HIViewRef field = nullptr;
  ASSERT_EQ(noErr, HISearchFieldCreate(&fieldFrame, kHISearchFieldAttributesCancel, nullptr, CFSTR("Search"), &field));
  HIViewAddSubview(window.root, field);
  THISearchFieldCreate(field);
  OptionBits attributes = 0;
  HISearchFieldGetAttributes(field, &attributes);
  EXPECT_TRUE(attributes & kHISearchFieldAttributesSearchIcon);  // the button image's magnifier is a button

  HIRect searchedFrame = {{120, 42}, {170, 22}};
  HIViewRef searched = nullptr;
  HISearchFieldCreate(&searchedFrame, kHISearchFieldAttributesCancel, nullptr, nullptr, &searched);
  HIViewAddSubview(window.root, searched);
  HIViewSetText(searched, CFSTR("needle"));
  THISearchFieldCreate(searched);

  // The bottom bar: a button, a pop-up and a segmented view, side by side.
  Rect r = {170, 0, 193, 36};
  ControlRef add = nullptr, popup = nullptr;
  CreateBevelButtonControl(window.window, &r, CFSTR("+"), 0, 0, nullptr, 0, 0, 0, &add);
  r = {170, 36, 193, 140};
  CreatePopupButtonControl(window.window, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  MenuRef menu = nullptr;
  CreateNewMenu(210, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFSTR("PHP"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(menu, CFSTR("Perl"), 0, 0, nullptr);
  SetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu);
  ReleaseMenu(menu);
  SetControl32BitValue(popup, 1);
  HIRect segFrame = {{140, 170}, {150, 23}};
  HIViewRef segments = nullptr;
  HISegmentedViewCreate(&segFrame, &segments);
  HIViewAddSubview(window.root, segments);
  HISegmentedViewSetSegmentCount(segments, 3);
  const char* labels[] = {"Files", "FTP", "Symbols"};
  for (UInt32 i = 1; i <= 3; ++i) {
    CFStringRef label = CFStringCreateWithCString(nullptr, labels[i - 1], kCFStringEncodingUTF8);
    HISegmentedViewSetSegmentLabel(segments, i, label);
    CFRelease(label);
  }
  HISegmentedViewSetSegmentValue(segments, 1, 1);
  for (ControlRef c : {ControlRef(add), popup, ControlRef(segments)}) {
    SetControlProperty(c, kCustomControlKindCreator, kCustomControlKindTag, 7, "bottom");
    HIViewSetVisible(c, true);
  }
  HIViewSetVisible(field, true);
  HIViewSetVisible(searched, true);
  ApplyCustomControlWrapper(window.root, "bottom", TBottomContentButtonApplierFunction, nullptr);

  const char* bundle = getenv("QUORVEL_BUNDLE");
  ASSERT_NE(nullptr, bundle);
  const std::string path = std::string(bundle) + "/../artwork-window.png";
  ASSERT_EQ(noErr, WindowWritePNG(window.window, path));

  // The wrapped bottom-bar pieces cover the bar from end to end.
  Bitmap bar(300, 200);
  HIViewDrawInContext(window.root, bar.context);
  for (int x : {2, 70, 200, 288}) EXPECT_EQ(255, bar.At(x, 182)[3]) << x;
}

}  // namespace
