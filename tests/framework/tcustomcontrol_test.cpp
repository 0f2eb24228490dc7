// TCustomControl: the wrapper's handler, draw state and image choice, and
// wrapping by custom kind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FrameworkTestSupport.h"
#include "PascalCarbonCommon.h"
#include "TCustomControlUnit.h"

namespace {

std::vector<std::string> gLog;
int gLive = 0;

class TRecControl : public TCustomControl {
 public:
  TRecControl() { ++gLive; }
  ~TRecControl() override { --gLive; }
  void DrawControl(CGRect bounds, CGContextRef context, OSStatus& result) override {
    CGContextSetRGBFillColor(context, 0, 1, 0, 1);
    CGContextFillRect(context, bounds);
    result = noErr;  // consumed: the standard drawing does not run
  }
  void ControlHit(SInt16 part, OSStatus&) override { gLog.push_back("hit " + std::to_string(part)); }
  SInt16 HitTestControl(CGRect bounds, CGPoint point, OSStatus& result) override {
    result = noErr;
    return point.x < bounds.size.width / 2 ? 3 : 4;
  }
};

void SetKind(ControlRef control, const char* kind) {
  SetControlProperty(control, kCustomControlKindCreator, kCustomControlKindTag, std::strlen(kind) + 1, kind);
}

TEST(TCustomControlTest, DrawStateImagesAndTransforms) {
  TestWindow w;
  HIViewRef control = PlainView(w.root, {{0, 0}, {20, 10}});
  TCustomControl object;
  object.Control = control;
  CGImageRef normal = reinterpret_cast<CGImageRef>(0x10), pressed = reinterpret_cast<CGImageRef>(0x20);
  CustomButtonImageState state = {normal, pressed, nullptr};
  struct Case {
    bool enabled, active;
    ControlPartCode hilite;
    UInt32 drawState;
    CGImageRef image;
    SInt16 transform;
  } cases[] = {
      {true, true, 0, 1, normal, 0},
      {true, true, 1, 2, pressed, 0x4000},
      {true, false, 1, 0, normal, 1},  // inactive but highlighted: state 0, not 2
      {false, true, 0, 0, normal, 1},
  };
  for (const Case& c : cases) {
    HIViewSetEnabled(control, c.enabled);
    HIViewSetActivated(control, c.active);
    HiliteControl(control, c.hilite);
    EXPECT_EQ(c.drawState, object.GetDrawState());
    EXPECT_EQ(c.image, object.GetImageForDrawState(state));
    EXPECT_EQ(c.transform, object.GetTransformForDrawState());
  }
}

TEST(TCustomControlTest, HandlerTurnsEventsIntoCallsAndEndsWithTheControl) {
  TestWindow w;
  HIViewRef control = PlainView(w.root, {{5, 5}, {20, 10}});
  int before = gLive;
  auto* object = new TRecControl;
  object->Create(control);
  ASSERT_EQ(noErr, Err);

  Bitmap bitmap(40, 20);
  HIViewDrawInContext(w.root, bitmap.context);
  EXPECT_EQ(255, bitmap.At(10, 10)[1]);
  EXPECT_EQ(0, bitmap.At(30, 10)[1]);

  HIPoint left = {2, 2}, right = {15, 2};
  HIViewPartCode part = 0;
  HIViewGetPartHit(control, &left, &part);
  EXPECT_EQ(3, part);
  HIViewGetPartHit(control, &right, &part);
  EXPECT_EQ(4, part);

  auto hit = [&](ControlRef direct, ControlPartCode p) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &e);
    SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof p, &p);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof direct, &direct);
    SendEventToEventTarget(e, GetControlEventTarget(control));
    ReleaseEvent(e);
  };
  gLog.clear();
  hit(control, 7);
  HIViewRef other = PlainView(nullptr, {{0, 0}, {1, 1}});
  hit(other, 8);
  CFRelease(other);
  EXPECT_EQ((std::vector<std::string>{"hit 7"}), gLog);

  DisposeControl(control);
  EXPECT_EQ(before, gLive);
}

TEST(TCustomControlTest, KindAndWrappingWalkTheTreeOnce) {
  HIViewRef root = PlainView(nullptr, {{0, 0}, {100, 100}});
  HIViewRef outer = PlainView(root, {{0, 0}, {50, 50}});
  HIViewRef inner = PlainView(outer, {{0, 0}, {10, 10}});
  HIViewRef plain = PlainView(outer, {{10, 0}, {10, 10}});
  HIViewRef last = PlainView(root, {{50, 0}, {10, 10}});
  SetKind(outer, "bottom");
  SetKind(inner, "bottom");
  SetKind(last, "bottom");
  SetKind(root, "bottomx");
  SetControlProperty(plain, kCustomControlKindCreator, kCustomControlKindTag, 3, "ab");  // no NUL
  EXPECT_EQ("bottom", GetCustomControlKind(outer));
  EXPECT_EQ("ab", GetCustomControlKind(plain));
  EXPECT_EQ("", GetCustomControlKind(HIViewGetSuperview(root) ? root : PlainView(nullptr, {{0, 0}, {1, 1}})));

  std::vector<HIViewRef> seen;
  auto collect = [](ControlRef c, void* data) { static_cast<std::vector<HIViewRef>*>(data)->push_back(c); };
  ApplyCustomControlWrapper(root, "bottom", collect, &seen);
  EXPECT_EQ((std::vector<HIViewRef>{outer, inner, last}), seen);
  seen.clear();
  ApplyCustomControlWrapper(root, "", collect, &seen);
  EXPECT_TRUE(seen.empty());  // every view here has a kind
  HIViewRef bare = PlainView(nullptr, {{0, 0}, {1, 1}});
  ApplyCustomControlWrapper(bare, "", collect, &seen);
  EXPECT_EQ((std::vector<HIViewRef>{bare}), seen);
  CFRelease(bare);
  CFRelease(root);
}

}  // namespace
