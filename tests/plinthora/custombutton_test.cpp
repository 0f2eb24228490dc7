// Custom-drawn buttons: which pieces each control kind draws in which
// state, and styles applied from interface-file properties.
#include "Icons.h"
#include "PlinthoraTestSupport.h"
#include "TestBitmap.h"

using namespace plinthora_test;

namespace {

struct CustomButtonTest : ::testing::Test {
  void SetUp() override { RegisterOnce(); }
  std::vector<ControlRef> made;
  void TearDown() override {
    for (ControlRef c : made) DisposeControl(c);
  }
  ControlRef Push(SInt16 kind, const char* title = "", int width = 100) {
    ControlRef c = nullptr;
    Rect r = {0, 0, 22, SInt16(width)};
    CreatePushButtonControl(nullptr, &r, CFStringMakeConstantUTF8(title), &c);
    HICustomButtonCreate(kind, c);
    made.push_back(c);
    return c;
  }
};

// The grey level and alpha of a pixel of the control drawn alone.
struct Drawn {
  Bitmap bitmap;
  explicit Drawn(ControlRef control, int width = 100, int height = 22) : bitmap(width, height) {
    HIViewDrawInContext(control, bitmap.context);
  }
  int Grey(int x, int y) { return bitmap.At(x, y)[0]; }
  int Alpha(int x, int y) { return bitmap.At(x, y)[3]; }
  // The first column with any clearly inked pixel, or -1.
  int FirstInk() {
    for (int x = 0; x < bitmap.width; ++x)
      for (int y = 0; y < bitmap.height; ++y)
        if (bitmap.At(x, y)[3] > 100) return x;
    return -1;
  }
};

TEST_F(CustomButtonTest, BackgroundRunsFromCapToCapInItsState) {
  // "Round Corner" has a 4-point left cap and a 6-point right cap, all at
  // grey 0.8 when active and 0.4 when pressed.
  struct Case {
    const char* name;
    std::function<void(ControlRef)> setup;
    int grey, alpha;
  } cases[] = {
      {"active", [](ControlRef) {}, 204, 255},
      {"pressed", [](ControlRef c) { HiliteControl(c, kControlButtonPart); }, 102, 255},
      {"disabled", [](ControlRef c) { DisableControl(c); }, 204, 102},
      {"disabled and hilited", [](ControlRef c) { DisableControl(c); HiliteControl(c, kControlButtonPart); }, 204, 102},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ControlRef button = Push(kCustomButtonClassRoundCorner);
    c.setup(button);
    Drawn d(button);
    for (int x : {1, kButtonLeftCap + 1, 50, 100 - kButtonRightCap - 1, 98}) {
      EXPECT_NEAR(d.Alpha(x, 1), c.alpha, 2) << x;
      if (c.alpha == 255) EXPECT_NEAR(d.Grey(x, 1), c.grey, 2) << x;
    }
  }
}

TEST_F(CustomButtonTest, TextOnlyDrawsJustItsTitle) {
  Drawn plain(Push(kCustomButtonClassTextOnly, "Go"));
  EXPECT_EQ(plain.Alpha(1, 1), 0);
  EXPECT_EQ(plain.Alpha(98, 20), 0);
  EXPECT_GT(plain.FirstInk(), 30);  // the title, centred
}

TEST_F(CustomButtonTest, PopupTitlesStartAfterTheMenuIconRoom) {
  auto popup = [&](MenuRef menu) {
    ControlRef c = nullptr;
    Rect r = {0, 0, 22, 200};
    CreatePopupButtonControl(nullptr, &r, CFStringMakeConstantUTF8("Plain"), -12345, false, 0, 0, 0, &c);
    if (menu) {
      SetControlData(c, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu);
      SetControl32BitValue(c, 1);
    }
    HICustomButtonCreate(kCustomButtonClassTextOnly, c);
    made.push_back(c);
    return c;
  };
  Drawn without(popup(nullptr), 200);
  EXPECT_GE(without.FirstInk(), 10);
  EXPECT_LT(without.FirstInk(), 16);
  MenuRef menu = nullptr;
  CreateNewMenu(0, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("Chosen"), 0, 0, nullptr);
  Drawn with(popup(menu), 200);
  EXPECT_GE(with.FirstInk(), 24);
  EXPECT_LT(with.FirstInk(), 30);
  ReleaseMenu(menu);
}

TEST_F(CustomButtonTest, SegmentsHighlightTheSelectedOneOnly) {
  auto segmented = [&](SInt32 value) {
    HIViewRef c = nullptr;
    const CGRect frame{{0, 0}, {120, 22}};
    HISegmentedViewCreate(&frame, &c);
    HISegmentedViewSetSegmentCount(c, 3);
    for (UInt32 i = 1; i <= 3; ++i) HISegmentedViewSetSegmentContentWidth(c, i, false, 30);
    SetControl32BitMinimum(c, -1);
    SetControl32BitValue(c, value);
    HICustomButtonCreate(kCustomButtonClassBevelCorner, c);
    made.push_back(c);
    return c;
  };
  // Segments are 36 wide from x = 2, with a one-point separator after each
  // but the last.
  Drawn none(segmented(-1), 120);
  EXPECT_NEAR(none.Grey(20, 1), 204, 2);
  EXPECT_NEAR(none.Grey(56, 1), 204, 2);
  EXPECT_LT(none.Grey(38, 1), 60);  // the separator
  Drawn second(segmented(2), 120);
  EXPECT_NEAR(second.Grey(20, 1), 204, 2);
  EXPECT_LT(second.Grey(56, 1), 190);
  EXPECT_NEAR(second.Grey(95, 1), 204, 2);
}

TEST_F(CustomButtonTest, PlacardsAndOtherKinds) {
  ControlRef track = nullptr;
  Rect r = {0, 0, kTabHeight, 100};
  CreatePlacardControl(nullptr, &r, &track);
  made.push_back(track);
  HICustomButtonCreateTabTrack("toolbar", track);
  SInt16 kind = 0;
  GetControlProperty(track, kCustomButtonCreatorTag, kCustomButtonKindPropertyTag, sizeof kind, nullptr, &kind);
  EXPECT_EQ(kind, kCustomPlacardTabTrack);
  Drawn tiled(track, 100, kTabHeight);
  EXPECT_NEAR(tiled.Grey(50, 10), 178, 2);  // the tab style's background
  EXPECT_NEAR(tiled.Grey(99, 10), 178, 2);

  // A kind the table lacks keeps the system's look.
  ControlRef check = nullptr;
  Rect cr = {0, 0, 22, 100};
  CreateCheckBoxControl(nullptr, &cr, CFStringMakeConstantUTF8(""), 0, false, &check);
  made.push_back(check);
  HICustomButtonCreate(kCustomButtonClassRoundCorner, check);
  Drawn system(check);
  EXPECT_FALSE(system.Alpha(50, 1) == 255 && std::abs(system.Grey(50, 1) - 204) <= 2);
}

TEST_F(CustomButtonTest, StylesComeFromInterfaceProperties) {
  auto styled = [](HIViewRef parent, const char* style, bool withChildren = false) {
    HIViewRef v = nullptr;
    if (withChildren) {
      const CGRect frame{{0, 0}, {50, 50}};
      HIViewCreate(&frame, &v);
      HIViewChangeFeatures(v, kHIViewFeatureAllowsSubviews, 0);
    } else {
      Rect r = {0, 0, 20, 50};
      CreatePushButtonControl(nullptr, &r, CFStringMakeConstantUTF8("b"), &v);
    }
    if (style) SetControlProperty(v, kCustomButtonStyleCreator, kCustomButtonStylePropertyTag, strlen(style) + 1, style);
    if (parent) HIViewAddSubview(parent, v);
    return v;
  };
  HIViewRef root = styled(nullptr, "Toolbar", true);
  HIViewRef silver = styled(root, "Silver");
  HIViewRef group = styled(root, "FlatGrey", true);
  HIViewRef deep = styled(group, "TextOnly");
  HIViewRef odd = styled(root, "silver");  // names are case-sensitive
  HIViewRef bare = styled(root, nullptr);
  HICustomButtonApplyStyles(root);
  auto kindOf = [](HIViewRef v) {
    SInt16 kind = 0;
    if (GetControlProperty(v, kCustomButtonCreatorTag, kCustomButtonKindPropertyTag, sizeof kind, nullptr, &kind) !=
        noErr)
      return SInt16(-1);
    return kind;
  };
  EXPECT_EQ(kindOf(root), 4);
  EXPECT_EQ(kindOf(silver), 3);
  EXPECT_EQ(kindOf(group), 2);
  EXPECT_EQ(kindOf(deep), 5);
  EXPECT_EQ(kindOf(odd), -1);
  EXPECT_EQ(kindOf(bare), -1);
  DisposeControl(root);
}

TEST_F(CustomButtonTest, BevelButtonsTakeTheIconOfTheirCodes) {
  ControlRef bevel = nullptr;
  Rect r = {0, 0, 22, 40};
  CreateBevelButtonControl(nullptr, &r, CFStringMakeConstantUTF8(""), kControlBevelButtonNormalBevel,
                           kControlBehaviorPushbutton, nullptr, 0, 0, 0, &bevel);
  made.push_back(bevel);
  HICustomButtonCreateBevel(kCustomButtonClassBevelCorner, bevel, 'none', 'none');
  SInt16 kind = 0;
  GetControlProperty(bevel, kCustomButtonCreatorTag, kCustomButtonKindPropertyTag, sizeof kind, nullptr, &kind);
  EXPECT_EQ(kind, kCustomButtonClassBevelCorner);
  ControlButtonContentInfo content{};
  GetControlData(bevel, 0, kControlBevelButtonContentTag, sizeof content, &content, nullptr);
  ASSERT_EQ(content.contentType, kControlContentIconRef);
  // The button keeps the icon alive: it is still there to draw.
  EXPECT_TRUE(IsValidIconRef(static_cast<IconRef>(content.u.iconRef)));
  Drawn d(bevel, 40);
  EXPECT_NEAR(d.Grey(2, 1), 204, 2);
}

}  // namespace
