// Internal to the platform library: the objects behind the Quartz references,
// and how the hosts and the view system make a CGContextRef over cairo.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "CFRuntime.h"
#include "CGContext.h"

// ---------------------------------------------------------------------------
// For the hosts and the view system

// A context drawing through an existing cairo context (retained), whose user
// space is taken as it is: y-down when yDown, which is what a view's draw
// handler gets. The state of cr is saved on creation and restored when the
// context is released, so the caller's cairo state survives.
CGContextRef QuartzCreateContextForCairo(cairo_t* cr, bool yDown);
// A context drawing into a surface (retained), y-down from its top-left or,
// with yDown false, y-up from its bottom-left (height in pixels).
CGContextRef QuartzCreateContextForSurface(cairo_surface_t* surface, bool yDown);
cairo_t* QuartzContextGetCairo(CGContextRef c);  // not retained
bool QuartzContextIsYDown(CGContextRef c);

// The picture of an image as a cairo ARGB32 surface (not retained).
cairo_surface_t* QuartzImageGetSurface(CGImageRef image);
// An image holding a copy of the surface's pixels (converted to ARGB32).
CGImageRef QuartzCreateImageFromSurface(cairo_surface_t* surface);
// Decodes PNG bytes; nil when they are not a complete PNG.
CGImageRef QuartzCreateImageFromPNGBytes(const UInt8* bytes, size_t length);

// ---------------------------------------------------------------------------
// Objects

struct CGColorSpace : __CFRuntimeBase {
  explicit CGColorSpace(CGColorSpaceModel m);
  CGColorSpaceModel model;
  size_t Components() const { return model == kCGColorSpaceModelRGB ? 3 : 1; }
};

struct CGColor : __CFRuntimeBase {
  CGColor();
  ~CGColor() override;
  bool Equal(const __CFRuntimeBase* other) const override;
  CGColorSpaceRef space = nullptr;  // retained
  std::vector<CGFloat> components;  // space components, then alpha
};

// Straight (not premultiplied) RGBA of a colour.
struct QuartzRGBA {
  double r = 0, g = 0, b = 0, a = 1;
};
QuartzRGBA QuartzColorToRGBA(CGColorRef color);

struct CGDataProvider : __CFRuntimeBase {
  CGDataProvider();
  ~CGDataProvider() override;
  std::vector<UInt8> owned;  // bytes read from a file
  const UInt8* bytes = nullptr;
  size_t length = 0;
  void* info = nullptr;
  CGDataProviderReleaseDataCallback releaseData = nullptr;
  CFDataRef data = nullptr;  // retained
};

struct CGImage : __CFRuntimeBase {
  CGImage();
  ~CGImage() override;
  cairo_surface_t* surface = nullptr;  // ARGB32, premultiplied
  size_t width = 0, height = 0;
  CGImageAlphaInfo alphaInfo = kCGImageAlphaPremultipliedFirst;
  bool shouldInterpolate = true;
};

struct QuartzShadow {
  CGSize offset{0, 0};
  CGFloat blur = 0;
  QuartzRGBA color{0, 0, 0, 0};  // alpha 0: no shadow
};

// The part of the graphics state cairo does not keep itself.
struct QuartzGState {
  QuartzRGBA fill{0, 0, 0, 1};
  QuartzRGBA stroke{0, 0, 0, 1};
  size_t fillComponents = 3, strokeComponents = 3;  // of the colour spaces set
  CGFloat alpha = 1;
  CGBlendMode blend = kCGBlendModeNormal;
  QuartzShadow shadow;
  CGInterpolationQuality interpolation = kCGInterpolationDefault;
  bool antialias = true;
  bool allowsAntialias = true;
};

struct CGContext : __CFRuntimeBase {
  CGContext();
  ~CGContext() override;

  cairo_t* cr = nullptr;
  bool yDown = true;
  bool restoreOnRelease = false;  // wraps a caller's cairo_t
  cairo_matrix_t base;            // base space -> cairo user space at creation
  QuartzGState state;
  std::vector<QuartzGState> saved;
  CGAffineTransform textMatrix{1, 0, 0, 1, 0, 0};
  CGPoint textPosition{0, 0};

  // Bitmap contexts.
  bool isBitmap = false;
  void* data = nullptr;  // the caller's memory or ownData
  std::vector<UInt8> ownData;
  size_t width = 0, height = 0, bytesPerRow = 0, bitsPerPixel = 0;
  CGBitmapInfo bitmapInfo = 0;
  CGColorSpaceRef space = nullptr;  // retained; nil for alpha-only
  bool direct = false;              // cairo draws right into data
  cairo_surface_t* surface = nullptr;

  void WriteBack();  // copies the private surface into data
};

// Checked casts; nil for nil or a reference of another type.
CGContext* QuartzContext(CGContextRef c);
CGImage* QuartzImage(CGImageRef image);

// Runs draw with the context's blend mode and alpha-aware colour already the
// caller's business, casting the context's shadow first when one is set.
// deviceExtents: the device-space box of what draw paints (x0, y0, x1, y1).
void QuartzPaintWithShadow(CGContext* ctx, const double deviceExtents[4], void (*draw)(cairo_t*, void*),
                           void* info);
// The device-space bounding box of a user-space rectangle.
void QuartzUserRectToDevice(cairo_t* cr, double x0, double y0, double x1, double y1, double out[4]);
cairo_operator_t QuartzOperatorForBlendMode(CGBlendMode mode);
// Sets cr's source to the colour with the context's alpha applied.
void QuartzSetSourceColor(CGContext* ctx, const QuartzRGBA& color);
cairo_filter_t QuartzFilterFor(CGInterpolationQuality quality, bool shouldInterpolate);

// Sample layouts that images and bitmap contexts read and write.
struct QuartzPixelLayout {
  enum Kind { kRGB32, kRGB24, kGray8, kGrayAlpha16, kAlpha8 } kind = kRGB32;
  CGImageAlphaInfo alpha = kCGImageAlphaPremultipliedLast;
  bool little = false;  // 32-bit words stored little-endian
  size_t BytesPerPixel() const;
};
// False for a layout that is not supported (see CGImageCreate).
bool QuartzPixelLayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, size_t spaceComponents,
                          CGBitmapInfo info, QuartzPixelLayout* out);
// One row to or from cairo's ARGB32 premultiplied native words.
void QuartzImportRow(const QuartzPixelLayout& layout, const UInt8* src, uint32_t* dst, size_t width);
void QuartzExportRow(const QuartzPixelLayout& layout, const uint32_t* src, UInt8* dst, size_t width);
