#include "THIQueryViewUnit.h"

#include <string>

#include "CGContext.h"
#include "HITheme.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"

namespace {

void ReleaseImages(HIControlImageInfo& info) {
  CGImageRelease(info.normal);
  CGImageRelease(info.selected);
  CGImageRelease(info.hover);
  CGImageRelease(info.unused);
  info = HIControlImageInfo{};
}

bool Contains(CGRect r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}

void SendToFrontWindow(UInt32 command) {
  if (WindowRef window = ActiveNonFloatingWindow()) SendHICommand(GetWindowEventTarget(window), command);
}

}  // namespace

THIQueryView::THIQueryView() { SetClassString("THIQueryView"); }

THIView* HIQueryViewConstruct() { return new THIQueryView; }

void THIQueryView::AllocateResources() {
  const char* folder = "Images/query view";
  RightImages.normal = THIViewLoadImage("right.png", folder);
  RightImages.selected = THIViewLoadImage("right_selected.png", folder);
  RightImages.hover = THIViewLoadImage("right_hover.png", folder);
  LeftImages.normal = THIViewLoadImage("left.png", folder);
  LeftImages.selected = THIViewLoadImage("left_selected.png", folder);
  LeftImages.hover = THIViewLoadImage("left_hover.png", folder);
  CenterImages.normal = THIViewLoadImage("center.png", folder);
}

void THIQueryView::Clear() {
  if (Results != nullptr) CFRelease(Results);
  Results = nullptr;
  Current = 0;
  Count = 0;
  HIViewSetNeedsDisplay(View, true);
}

SInt16 THIQueryView::GetActiveItem() { return SInt16(Current); }

CFRange THIQueryView::GetActiveRange() {
  // The results and the range are set apart, so the index is checked.
  if (Results == nullptr || Current < 1 || Current > CFArrayGetCount(Results)) return CFRangeMake(0, 0);
  auto* range = static_cast<const CFRange*>(CFArrayGetValueAtIndex(Results, Current - 1));
  return range != nullptr ? *range : CFRangeMake(0, 0);
}

void THIQueryView::SetResults(CFArrayRef results) {
  if (Results != nullptr && Results != results) CFRelease(Results);
  Results = results;
}

void THIQueryView::SetRange(SInt16 current, SInt16 count) {
  Current = current;
  Count = count;
  HIViewSetNeedsDisplay(View, true);
}

void THIQueryView::DrawControl(CGRect bounds, CGContextRef context) {
  if (Results == nullptr || Count == 0) CGContextSetAlpha(context, 0.6);
  bool pressed = DrawState == kTHIViewDrawStatePressed;
  CGImageRef left = pressed && HitPart == kQueryViewPartLeft && LeftImages.selected ? LeftImages.selected
                                                                                     : LeftImages.normal;
  CGImageRef right = pressed && HitPart == kQueryViewPartRight && RightImages.selected ? RightImages.selected
                                                                                        : RightImages.normal;
  CGFloat top = bounds.origin.y;
  LeftRect = CGRect{{bounds.origin.x, top}, {CGFloat(CGImageGetWidth(left)), CGFloat(CGImageGetHeight(left))}};
  CGFloat rightWidth = CGImageGetWidth(right);
  RightRect = CGRect{{bounds.origin.x + bounds.size.width - rightWidth, top},
                     {rightWidth, CGFloat(CGImageGetHeight(right))}};
  CGFloat centerX = LeftRect.origin.x + LeftRect.size.width;
  CGFloat centerWidth = RightRect.origin.x - centerX;
  if (centerWidth < 0) centerWidth = 0;
  CenterRect = CGRect{{centerX, top}, {centerWidth, bounds.size.height}};
  THIViewDrawImage(context, LeftRect, left);
  THIViewDrawImage(context, RightRect, right);
  THIViewDrawImage(context, CenterRect, CenterImages.normal);
  if (Count != 0) {
    CFStringRef text = CFStringCreateWithCString(nullptr, std::to_string(Current).c_str(), kCFStringEncodingUTF8);
    HIThemeTextInfo info{};
    info.state = kThemeStateActive;
    info.fontID = kThemeSmallSystemFont;
    info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
    info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
    info.truncationPosition = kHIThemeTextTruncationEnd;
    info.truncationMaxLines = 1;
    CGContextSetRGBFillColor(context, 0, 0, 0, 1);
    HIThemeDrawTextBox(text, &CenterRect, &info, context, kHIThemeOrientationNormal);
    CFRelease(text);
  }
}

SInt16 THIQueryView::HitTestControl(CGRect bounds, CGPoint point) {
  HitPoint = point;
  if (Count == 0) return 0;
  SInt16 part = 0;
  if (Contains(CenterRect, point)) part = kQueryViewPartCenter;
  if (Contains(LeftRect, point)) part = kQueryViewPartLeft;
  if (Contains(RightRect, point)) part = kQueryViewPartRight;
  return part;
}

// The left arrow steps back and the right arrow forward, wrapping at both
// ends; the number in the middle is no button.
void THIQueryView::ControlHit(SInt16 part) {
  if (Count <= 0) return;
  if (part == kQueryViewPartLeft) {
    if (--Current < 1) Current = Count;
    SendToFrontWindow(kQueryViewPreviousCommand);
  } else if (part == kQueryViewPartRight) {
    if (++Current > Count) Current = 1;
    SendToFrontWindow(kQueryViewNextCommand);
  }
}

void THIQueryView::Release() {
  ReleaseImages(RightImages);
  ReleaseImages(CenterImages);
  ReleaseImages(LeftImages);
  if (Results != nullptr) CFRelease(Results);
  Results = nullptr;
  THIView::Release();
}
