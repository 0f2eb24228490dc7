// Quartz colours and colour spaces. Colour spaces are RGB or gray (device and
// generic are the same here: the display is taken as sRGB); a colour holds
// its components followed by alpha, each 0..1.
#pragma once

#include "CFBase.h"
#include "CGGeometry.h"

typedef struct CGColorSpace* CGColorSpaceRef;
typedef const struct CGColor* CGColorRef;

typedef SInt32 CGColorSpaceModel;
enum : CGColorSpaceModel {
  kCGColorSpaceModelUnknown = -1,
  kCGColorSpaceModelMonochrome = 0,
  kCGColorSpaceModelRGB = 1,
};

typedef SInt32 CGColorRenderingIntent;
enum : CGColorRenderingIntent {
  kCGRenderingIntentDefault = 0,
  kCGRenderingIntentAbsoluteColorimetric,
  kCGRenderingIntentRelativeColorimetric,
  kCGRenderingIntentPerceptual,
  kCGRenderingIntentSaturation,
};

// Names for CGColorSpaceCreateWithName.
extern const CFStringRef kCGColorSpaceGenericRGB;
extern const CFStringRef kCGColorSpaceGenericGray;
extern const CFStringRef kCGColorSpaceSRGB;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
// nil for a name that is not one of the above.
CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name);
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);  // nil-safe
void CGColorSpaceRelease(CGColorSpaceRef space);            // nil-safe
size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);  // 0 for nil
CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space);
CFTypeID CGColorSpaceGetTypeID();

// components: the space's components, then alpha. nil for a nil space or
// components.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat components[]);
CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha);
CGColorRef CGColorCreateCopy(CGColorRef color);
CGColorRef CGColorCreateCopyWithAlpha(CGColorRef color, CGFloat alpha);
CGColorRef CGColorRetain(CGColorRef color);  // nil-safe
void CGColorRelease(CGColorRef color);       // nil-safe
Boolean CGColorEqualToColor(CGColorRef color1, CGColorRef color2);
size_t CGColorGetNumberOfComponents(CGColorRef color);  // with alpha
const CGFloat* CGColorGetComponents(CGColorRef color);
CGFloat CGColorGetAlpha(CGColorRef color);
CGColorSpaceRef CGColorGetColorSpace(CGColorRef color);  // not retained
CFTypeID CGColorGetTypeID();
