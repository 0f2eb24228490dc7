// PascalCarbonCommon: the status variable, diagnostics, alerts, colours,
// geometry, URL opening and random numbers.
#include "PascalCarbonCommon.h"

#include <cmath>
#include <cstdlib>

#include "CFString.h"
#include "CFURL.h"
#include "Dialogs.h"
#include "Gestalt.h"
#include "LaunchServices.h"
#include "QuickDraw.h"

thread_local constinit OSStatus Err = noErr;

// ---------------------------------------------------------------------------
// Status, diagnostics and alerts

void WriteLog(const Str255& text) {
  // A temporary string rather than a constant one: logged texts vary, and
  // constant strings are never freed.
  CFStringRef string = CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
  CFShow(string);
  if (string != nullptr) CFRelease(string);
}

SInt32 MacOSVersion() {
  SInt32 response = 0;
  Err = Gestalt(gestaltSystemVersionMinor, &response);
  return response;
}

void UserNotificationDialog(const Str255& message) {
  SInt16 itemHit = 0;
  Err = StandardAlert(kAlertStopAlert, Str255("Alert").data(), message.data(), nullptr, &itemHit);
}

void ShowError(const Str255& message) {
  SInt16 itemHit = 0;
  StandardAlert(kAlertCautionAlert, message.data(), Str255(" ").data(), nullptr, &itemHit);
}

// ---------------------------------------------------------------------------
// Colours and geometry

CGRGB MakeCGRGB(float red, float green, float blue, float alpha) { return CGRGB{red, green, blue, alpha}; }

RGBColor SetRGBColor(SInt32 red, SInt32 green, SInt32 blue) {
  return RGBColor{UInt16(red & 0xFFFF), UInt16(green & 0xFFFF), UInt16(blue & 0xFFFF)};
}

void CGConvertRGBColorToCGRGB(const RGBColor& color, float alpha, CGRGB& result) {
  result.red = float(color.red / 65535.0);
  result.green = float(color.green / 65535.0);
  result.blue = float(color.blue / 65535.0);
  result.alpha = alpha;
}

CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }

CGSize CGSizeMake(CGFloat width, CGFloat height) { return CGSize{width, height}; }

CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return CGRect{CGPoint{x, y}, CGSize{width, height}};
}

CGPoint QDPointToHI(Point point) { return CGPoint{CGFloat(point.h), CGFloat(point.v)}; }

CGRect QDRectToHI(const Rect& rect) {
  return CGRect{CGPoint{CGFloat(rect.left), CGFloat(rect.top)},
                CGSize{CGFloat(rect.right - rect.left), CGFloat(rect.bottom - rect.top)}};
}

namespace {

// Truncation toward zero into lo..hi; a NaN gives 0 (casting an out-of-range
// double to an integer is undefined).
SInt32 TruncClamp(double value, SInt32 lo, SInt32 hi) {
  if (std::isnan(value)) return 0;
  value = std::trunc(value);
  if (value < lo) return lo;
  if (value > hi) return hi;
  return SInt32(value);
}

SInt16 Clamp16(SInt32 value) { return SInt16(value < -32768 ? -32768 : (value > 32767 ? 32767 : value)); }

}  // namespace

Rect HIRectToQD(const CGRect& rect) {
  const SInt32 top = TruncClamp(rect.origin.y, -32768, 32767);
  const SInt32 left = TruncClamp(rect.origin.x, -32768, 32767);
  const SInt32 height = TruncClamp(rect.size.height, -65536, 65536);
  const SInt32 width = TruncClamp(rect.size.width, -65536, 65536);
  return Rect{SInt16(top), SInt16(left), Clamp16(top + height), Clamp16(left + width)};
}

Point HIPointToQD(const CGPoint& point) {
  Point result;
  result.h = SInt16(TruncClamp(point.x, -32768, 32767));
  result.v = SInt16(TruncClamp(point.y, -32768, 32767));
  return result;
}

// ---------------------------------------------------------------------------
// URLs and random numbers

void LSOpenURL(const Str255& url) {
  CFURLRef ref = CFURLCreateWithBytes(nullptr, url.data() + 1, url.len(), kCFStringEncodingMacRoman, nullptr);
  if (ref == nullptr) return;
  Err = LSOpenCFURLRef(ref, nullptr);
  CFRelease(ref);
}

SInt32 GetRandomNumber(SInt32 low, SInt32 high) {
  // An empty range has no number to draw: answer its lower bound instead of
  // dividing by zero.
  if (high < low) return low;
  Random();
  const SInt64 second = Random();
  const SInt64 range = SInt64(high) - SInt64(low) + 1;
  return SInt32(SInt64(low) + std::llabs(second % range));
}
