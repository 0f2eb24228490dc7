// Titles of narrow controls: a pop-up too narrow for a letter and the
// ellipsis still shows the start of its item, and one with no room for text
// draws none over its arrows.
#include <gtest/gtest.h>

#include <vector>

#include "CFString.h"
#include "CGColor.h"
#include "CGContext.h"
#include "HIView.h"
#include "Menus.h"

namespace {

// Dark text pixels in columns [x0, x1) of a pop-up drawn alone.
int TextInk(SInt16 width, int x0, int x1) {
  Rect r = {0, 0, 20, width};
  ControlRef popup = nullptr;
  CreatePopupButtonControl(nullptr, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  MenuRef menu = nullptr;
  CreateNewMenu(230, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("Perl"), 0, 0, nullptr);
  SetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu);
  ReleaseMenu(menu);
  SetControl32BitValue(popup, 1);
  std::vector<UInt8> pixels(200 * 20 * 4);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 200, 20, 8, 200 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextTranslateCTM(ctx, 0, 20);
  CGContextScaleCTM(ctx, 1, -1);
  HIViewDrawInContext(popup, ctx);
  CGContextFlush(ctx);
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = x0; x < x1; ++x) {
      const UInt8* p = &pixels[(size_t(y) * 200 + x) * 4];
      ink += p[3] > 200 && p[0] < 90 && p[1] < 90 && p[2] < 90;
    }
  CGContextRelease(ctx);
  DisposeControl(popup);
  return ink;
}

TEST(NarrowPopupTest, NarrowPopupShowsTheStartOfItsItemAndNothingOverItsArrows) {
  struct Case {
    SInt16 width;
    int x0, x1;
    bool inked;
  } cases[] = {
      {90, 8, 60, true},  // room for the whole item
      {45, 8, 24, true},  // room for two letters, not for a letter and "…"
      {30, 0, 30, false}, // no room at all: the arrow cap stays clear
  };
  for (const Case& c : cases) EXPECT_EQ(c.inked, TextInk(c.width, c.x0, c.x1) > 3) << c.width;
}

}  // namespace
