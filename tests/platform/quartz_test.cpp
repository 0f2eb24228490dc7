// Quartz over cairo: pixel probes on image surfaces.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CGContext.h"
#include "QDRegions.h"
#include "QuartzInternal.h"

namespace {

struct RGBA {
  int r, g, b, a;
};

// A y-down context over a fresh transparent surface, as a view gets it.
class Canvas {
 public:
  Canvas(int w, int h, bool yDown = true)
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)),
        ctx_(QuartzCreateContextForSurface(surface_, yDown)) {}
  ~Canvas() {
    CGContextRelease(ctx_);
    cairo_surface_destroy(surface_);
  }
  CGContextRef ctx() const { return ctx_; }
  // Device pixel (x, y) counted from the top-left, unpremultiplied.
  RGBA At(int x, int y) const {
    cairo_surface_flush(surface_);
    const unsigned char* d = cairo_image_surface_get_data(surface_);
    uint32_t w;
    memcpy(&w, d + y * cairo_image_surface_get_stride(surface_) + x * 4, 4);
    int a = w >> 24, r = (w >> 16) & 255, g = (w >> 8) & 255, b = w & 255;
    if (a > 0) r = r * 255 / a, g = g * 255 / a, b = b * 255 / a;
    return RGBA{r, g, b, a};
  }

 private:
  cairo_surface_t* surface_;
  CGContextRef ctx_;
};

::testing::AssertionResult Near(RGBA got, RGBA want, int tolerance = 3) {
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << got.r << "," << got.g << "," << got.b << "," << got.a
                                       << ") want (" << want.r << "," << want.g << "," << want.b << "," << want.a
                                       << ")";
}

const RGBA kClear{0, 0, 0, 0}, kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

// A 2 x 2 image: top row red, bottom row blue.
CGImageRef RedOverBlue() {
  static const UInt8 px[16] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
  CGDataProviderRef p = CGDataProviderCreateWithData(nullptr, px, sizeof px, nullptr);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(2, 2, 8, 32, 8, rgb, kCGImageAlphaPremultipliedLast, p, nullptr, false,
                                   kCGRenderingIntentDefault);
  CGColorSpaceRelease(rgb);
  CGDataProviderRelease(p);
  return image;
}

}  // namespace

TEST(Quartz, FillRectLandsByOrientation) {
  Canvas down(20, 20, true), up(20, 20, false);
  for (CGContextRef c : {down.ctx(), up.ctx()}) {
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRect{{0, 0}, {20, 5}});
  }
  // y-down: the band is at the top; y-up: at the bottom.
  EXPECT_TRUE(Near(down.At(10, 2), kRed));
  EXPECT_TRUE(Near(down.At(10, 17), kClear));
  EXPECT_TRUE(Near(up.At(10, 17), kRed));
  EXPECT_TRUE(Near(up.At(10, 2), kClear));
}

TEST(Quartz, SaveRestoreRestoresStateAndKeepsThePathWhereItWasBuilt) {
  Canvas cv(20, 20);
  CGContextRef c = cv.ctx();
  CGContextSetRGBFillColor(c, 0, 0, 1, 1);
  CGContextSaveGState(c);
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextTranslateCTM(c, 10, 0);
  CGContextClipToRect(c, CGRect{{0, 0}, {2, 2}});
  CGContextAddRect(c, CGRect{{0, 10}, {5, 5}});  // the path survives the restore
  CGContextRestoreGState(c);
  CGContextFillPath(c);
  // The path stays where it was built; colour and clip are restored.
  EXPECT_TRUE(Near(cv.At(12, 12), kBlue));
  EXPECT_TRUE(Near(cv.At(2, 12), kClear));
  CGContextRestoreGState(c);  // unbalanced restore is ignored
  CGContextFillRect(c, CGRect{{15, 0}, {5, 5}});
  EXPECT_TRUE(Near(cv.At(17, 2), kBlue));
}

TEST(Quartz, ClipPathRectsAndEvenOdd) {
  Canvas cv(30, 30);
  CGContextRef c = cv.ctx();
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextSaveGState(c);
  const CGRect two[2] = {{{0, 0}, {5, 5}}, {{20, 20}, {5, 5}}};
  CGContextClipToRects(c, two, 2);
  CGContextFillRect(c, CGRect{{0, 0}, {30, 30}});
  CGContextRestoreGState(c);
  EXPECT_TRUE(Near(cv.At(2, 2), kRed));
  EXPECT_TRUE(Near(cv.At(22, 22), kRed));
  EXPECT_TRUE(Near(cv.At(12, 12), kClear));

  Canvas ring(30, 30);
  c = ring.ctx();
  CGContextAddRect(c, CGRect{{0, 0}, {30, 30}});
  CGContextAddRect(c, CGRect{{10, 10}, {10, 10}});
  CGContextEOClip(c);
  CGContextSetRGBFillColor(c, 0, 0, 1, 1);
  CGContextFillRect(c, CGRect{{0, 0}, {30, 30}});
  EXPECT_TRUE(Near(ring.At(5, 5), kBlue));
  EXPECT_TRUE(Near(ring.At(15, 15), kClear));
}

TEST(Quartz, AlphaAndMultiplyBlend) {
  Canvas cv(20, 20);
  CGContextRef c = cv.ctx();
  CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  CGContextFillRect(c, CGRect{{0, 0}, {20, 20}});
  CGContextSetAlpha(c, 0.5);
  CGContextSetRGBFillColor(c, 0, 0, 0, 1);
  CGContextFillRect(c, CGRect{{0, 0}, {10, 20}});
  EXPECT_TRUE(Near(cv.At(5, 5), RGBA{128, 128, 128, 255}));
  CGContextSetAlpha(c, 1);
  CGContextSetBlendMode(c, kCGBlendModeMultiply);
  CGContextSetRGBFillColor(c, 1, 0.5, 0, 1);
  CGContextFillRect(c, CGRect{{0, 0}, {20, 20}});
  EXPECT_TRUE(Near(cv.At(15, 5), RGBA{255, 128, 0, 255}));  // white x colour
  EXPECT_TRUE(Near(cv.At(5, 5), RGBA{128, 64, 0, 255}));    // grey x colour
  CGContextSetBlendMode(c, kCGBlendModeCopy);
  CGContextSetRGBFillColor(c, 0, 0, 1, 0);
  CGContextFillRect(c, CGRect{{0, 0}, {2, 2}});
  EXPECT_EQ(cv.At(1, 1).a, 0);  // copy replaces, alpha included
}

TEST(Quartz, StrokedRoundedPathAndArcs) {
  Canvas cv(40, 40);
  CGContextRef c = cv.ctx();
  // A rounded square from arcs to points; its corner stays empty.
  CGContextMoveToPoint(c, 35, 20);
  CGContextAddArcToPoint(c, 35, 35, 20, 35, 10);
  CGContextAddArcToPoint(c, 5, 35, 5, 20, 10);
  CGContextAddArcToPoint(c, 5, 5, 20, 5, 10);
  CGContextAddArcToPoint(c, 35, 5, 35, 20, 10);
  CGContextClosePath(c);
  CGRect box = CGContextGetPathBoundingBox(c);
  EXPECT_NEAR(box.origin.x, 5, 0.01);
  EXPECT_NEAR(box.size.width, 30, 0.01);
  CGContextSetLineWidth(c, 2);
  CGContextSetRGBStrokeColor(c, 0, 0, 1, 1);
  CGContextStrokePath(c);
  EXPECT_TRUE(CGContextIsPathEmpty(c));
  EXPECT_TRUE(Near(cv.At(20, 5), kBlue));   // straight edge
  EXPECT_TRUE(Near(cv.At(6, 6), kClear));   // cut corner
  EXPECT_TRUE(Near(cv.At(20, 20), kClear));  // stroke only

  // A full clockwise arc from 0 to 2 pi is a whole circle, as the oval
  // helpers expect; a quarter counter-clockwise is only a quarter.
  Canvas disc(40, 40);
  c = disc.ctx();
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextAddArc(c, 20, 20, 10, 0, 2 * M_PI, 1);
  CGContextFillPath(c);
  EXPECT_TRUE(Near(disc.At(20, 12), kRed));
  EXPECT_TRUE(Near(disc.At(20, 28), kRed));
  CGContextSetRGBFillColor(c, 0, 0, 1, 1);
  CGContextMoveToPoint(c, 20, 20);
  CGContextAddArc(c, 20, 20, 10, 0, M_PI / 2, 0);
  CGContextClosePath(c);
  CGContextFillPath(c);
  EXPECT_TRUE(Near(disc.At(24, 24), kBlue));  // +x to +y quadrant
  EXPECT_TRUE(Near(disc.At(16, 16), kRed));
}

TEST(Quartz, ImagesUprightOrFlippedAsQuartzDraws) {
  CGImageRef image = RedOverBlue();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(CGImageGetWidth(image), 2u);
  Canvas down(20, 20), up(20, 20, false);
  const CGRect r{{0, 0}, {20, 20}};
  CGContextSetInterpolationQuality(down.ctx(), kCGInterpolationNone);
  CGContextDrawImage(down.ctx(), r, image);
  EXPECT_TRUE(Near(down.At(10, 3), kBlue));  // raw draw in a y-down context: upside down
  EXPECT_TRUE(Near(down.At(10, 17), kRed));
  CGContextDrawImage(up.ctx(), r, image);
  EXPECT_TRUE(Near(up.At(10, 3), kRed));  // a y-up context shows it upright
  EXPECT_TRUE(Near(up.At(10, 17), kBlue));

  Canvas view(20, 20);
  ASSERT_EQ(HIViewDrawCGImage(view.ctx(), &r, image), noErr);
  EXPECT_TRUE(Near(view.At(10, 3), kRed));
  EXPECT_TRUE(Near(view.At(10, 17), kBlue));
  // The callers' own flip gives the same upright picture.
  Canvas flipped(20, 20);
  CGContextTranslateCTM(flipped.ctx(), 0, 20);
  CGContextScaleCTM(flipped.ctx(), 1, -1);
  CGContextDrawImage(flipped.ctx(), r, image);
  EXPECT_TRUE(Near(flipped.At(10, 3), kRed));
  EXPECT_EQ(HIViewDrawCGImage(view.ctx(), &r, nullptr), paramErr);

  CGImageRef bottom = CGImageCreateWithImageInRect(image, CGRect{{0, 1}, {5, 5}});
  ASSERT_NE(bottom, nullptr);
  EXPECT_EQ(CGImageGetWidth(bottom), 2u);  // cut to the image
  EXPECT_EQ(CGImageGetHeight(bottom), 1u);
  EXPECT_EQ(CGImageCreateWithImageInRect(image, CGRect{{5, 5}, {1, 1}}), nullptr);
  CGImageRelease(bottom);
  CGImageRelease(image);
}

TEST(Quartz, PNGLoadingAndMalformedInput) {
  // A fixture made here with cairo.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 7, 5);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 0, 1, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::vector<UInt8> png;
  cairo_surface_write_to_png_stream(
      s,
      [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<UInt8>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(s);

  CFDataRef data = CFDataCreate(nullptr, png.data(), CFIndex(png.size()));
  CGDataProviderRef p = CGDataProviderCreateWithCFData(data);
  CFRelease(data);
  CGImageRef image = CGImageCreateWithPNGDataProvider(p, nullptr, true, kCGRenderingIntentDefault);
  CGDataProviderRelease(p);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(CGImageGetWidth(image), 7u);
  EXPECT_EQ(CGImageGetHeight(image), 5u);
  CGImageRelease(image);

  // Truncated, garbage, empty, missing file: nil.
  for (size_t cut : {size_t(0), size_t(8), png.size() / 2, png.size() - 1}) {
    CGDataProviderRef t = CGDataProviderCreateWithData(nullptr, png.data(), cut, nullptr);
    EXPECT_EQ(CGImageCreateWithPNGDataProvider(t, nullptr, true, 0), nullptr) << cut;
    CGDataProviderRelease(t);
  }
  EXPECT_EQ(CGDataProviderCreateWithFilename("/nonexistent/x.png"), nullptr);
  EXPECT_EQ(CGImageCreateWithPNGDataProvider(nullptr, nullptr, true, 0), nullptr);
}

TEST(Quartz, BitmapContextWritesCallerMemoryInItsLayout) {
  // Generic RGB, 8 bits, premultiplied alpha last: R G B A bytes, y-up.
  std::vector<UInt8> mem(4 * 4 * 4, 0);
  CGColorSpaceRef rgb = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
  CGContextRef c = CGBitmapContextCreate(mem.data(), 4, 4, 8, 16, rgb, kCGImageAlphaPremultipliedLast);
  ASSERT_NE(c, nullptr);
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextFillRect(c, CGRect{{0, 0}, {4, 1}});  // the bottom row
  ASSERT_EQ(CGBitmapContextGetData(c), mem.data());
  const UInt8* last = &mem[3 * 16];
  EXPECT_EQ(last[0], 255);
  EXPECT_EQ(last[1], 0);
  EXPECT_EQ(last[3], 255);
  EXPECT_EQ(mem[3], 0);  // top row untouched
  CGImageRef image = CGBitmapContextCreateImage(c);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(CGImageGetHeight(image), 4u);
  // Later drawing does not change the image made before.
  CGContextFillRect(c, CGRect{{0, 0}, {4, 4}});
  Canvas view(4, 4);
  CGRect r{{0, 0}, {4, 4}};
  HIViewDrawCGImage(view.ctx(), &r, image);
  EXPECT_TRUE(Near(view.At(1, 3), kRed));
  EXPECT_EQ(view.At(1, 0).a, 0);
  CGImageRelease(image);
  CGContextRelease(c);

  EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 8, rgb, kCGImageAlphaPremultipliedLast), nullptr);  // row short
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 16, 0, rgb, kCGImageAlphaPremultipliedLast), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 0, 4, 8, 0, rgb, kCGImageAlphaPremultipliedLast), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, SIZE_MAX / 2, rgb, kCGImageAlphaPremultipliedLast), nullptr);

  // Raw images whose numbers do not fit the data are refused, not read.
  static const UInt8 px[16] = {};
  CGDataProviderRef p = CGDataProviderCreateWithData(nullptr, px, sizeof px, nullptr);
  const struct {
    size_t w, h, bpc, bpp, row;
  } bad[] = {{2, 2, 8, 32, 16}, {2, 3, 8, 32, 8}, {2, 2, 8, 32, SIZE_MAX / 2}, {2, 2, 16, 64, 16}, {2, 2, 8, 32, 4}};
  for (const auto& b : bad)
    EXPECT_EQ(CGImageCreate(b.w, b.h, b.bpc, b.bpp, b.row, rgb, kCGImageAlphaPremultipliedLast, p, nullptr, false, 0),
              nullptr)
        << b.w << "x" << b.h << " row " << b.row;
  CGImageRef fits = CGImageCreate(2, 2, 8, 32, 8, rgb, kCGImageAlphaPremultipliedLast, p, nullptr, false, 0);
  EXPECT_NE(fits, nullptr);
  CGImageRelease(fits);
  CGDataProviderRelease(p);
  CGColorSpaceRelease(rgb);
}

TEST(Quartz, ShadowFallsBelowInEveryOrientation) {
  for (bool yDown : {true, false}) {
    Canvas cv(40, 40, yDown);
    CGContextRef c = cv.ctx();
    CGContextSetShadow(c, CGSize{0, -6}, 0);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRect{{10, 10}, {20, 20}});
    // The shape covers device rows 10..29; the shadow shows below it.
    EXPECT_TRUE(Near(cv.At(20, 20), kRed)) << yDown;
    RGBA below = cv.At(20, 33);
    EXPECT_GT(below.a, 40) << yDown;
    EXPECT_LT(below.r, 10) << yDown;
    EXPECT_EQ(cv.At(20, 7).a, 0) << yDown;
  }
}

TEST(Quartz, CTMAndColours) {
  Canvas up(10, 10, false);
  EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(up.ctx())));
  CGContextTranslateCTM(up.ctx(), 3, 4);
  CGAffineTransform t = CGContextGetCTM(up.ctx());
  EXPECT_DOUBLE_EQ(t.tx, 3);
  EXPECT_DOUBLE_EQ(t.ty, 4);
  CGContextScaleCTM(up.ctx(), 0, 1);  // singular scales are refused
  EXPECT_DOUBLE_EQ(CGContextGetCTM(up.ctx()).a, 1);

  CGColorRef col = CGColorCreateGenericRGB(0, 1, 0, 0.5);
  EXPECT_EQ(CGColorGetNumberOfComponents(col), 4u);
  EXPECT_DOUBLE_EQ(CGColorGetAlpha(col), 0.5);
  CGColorRef same = CGColorCreateGenericRGB(0, 1, 0, 0.5);
  EXPECT_TRUE(CGColorEqualToColor(col, same));
  Canvas cv(4, 4);
  CGContextSetFillColorWithColor(cv.ctx(), col);
  CGContextFillRect(cv.ctx(), CGRect{{0, 0}, {4, 4}});
  EXPECT_TRUE(Near(cv.At(1, 1), RGBA{0, 255, 0, 128}));
  CGColorRelease(same);
  CGColorRelease(col);
  EXPECT_EQ(CGColorCreate(nullptr, nullptr), nullptr);
}

TEST(QDRegions, UnionSectDiffAndPoints) {
  RgnHandle a = NewRgn(), b = NewRgn(), out = NewRgn();
  EXPECT_TRUE(EmptyRgn(a));
  SetRectRgn(a, 0, 0, 10, 10);
  SetRectRgn(b, 20, 0, 30, 10);
  UnionRgn(a, b, out);
  // Two rectangles, not their bounding box.
  EXPECT_TRUE(PtInRgn(Point{5, 5}, out));
  EXPECT_TRUE(PtInRgn(Point{5, 25}, out));  // Point is (v, h)
  EXPECT_FALSE(PtInRgn(Point{5, 15}, out));
  EXPECT_FALSE(PtInRgn(Point{10, 5}, out));  // bottom edge is outside
  EXPECT_FALSE(IsRegionRectangular(out));
  Rect bounds;
  GetRegionBounds(out, &bounds);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.right, 30);
  SectRgn(out, a, out);  // the destination may be a source
  EXPECT_TRUE(EqualRgn(out, a));
  DiffRgn(a, a, out);
  EXPECT_TRUE(EmptyRgn(out));
  GetRegionBounds(out, &bounds);
  EXPECT_EQ(bounds.right, 0);
  SetRectRgn(a, 5, 5, 5, 9);  // no width: empty
  EXPECT_TRUE(EmptyRgn(a));
  Rect r{2, 2, 4, 4};
  RectRgn(b, &r);
  OffsetRgn(b, 10, 0);
  EXPECT_TRUE(PtInRgn(Point{3, 13}, b));
  EXPECT_TRUE(RectInRgn(&r, b) == false);
  DisposeRgn(a);
  DisposeRgn(a);  // stale handles are ignored
  EXPECT_TRUE(EmptyRgn(a));
  DisposeRgn(b);
  DisposeRgn(out);
}

TEST(QDRegions, ClipsAYUpContextInPortCoordinates) {
  Canvas up(20, 20, false);
  RgnHandle rgn = NewRgn();
  SetRectRgn(rgn, 0, 0, 20, 5);  // the port's top band
  Rect port{0, 0, 20, 20};
  ASSERT_EQ(ClipCGContextToRegion(up.ctx(), &port, rgn), noErr);
  CGContextSetRGBFillColor(up.ctx(), 1, 0, 0, 1);
  CGContextFillRect(up.ctx(), CGRect{{0, 0}, {20, 20}});
  EXPECT_TRUE(Near(up.At(10, 2), kRed));
  EXPECT_TRUE(Near(up.At(10, 10), kClear));
  DisposeRgn(rgn);
}

TEST(Quartz, ShadowOnADenseScreenSurface) {
  // A window surface scaled 2x: the shadow lands in logical units.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 80, 80);
  cairo_surface_set_device_scale(s, 2, 2);
  CGContextRef c = QuartzCreateContextForSurface(s, true);
  CGContextSetShadow(c, CGSize{0, -6}, 0);
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextFillRect(c, CGRect{{10, 10}, {20, 10}});
  CGContextRelease(c);
  cairo_surface_flush(s);
  auto alpha = [&](int x, int y) {
    uint32_t w;
    memcpy(&w, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4, 4);
    return int(w >> 24);
  };
  EXPECT_EQ(alpha(40, 30), 255);  // the shape: logical rows 10..19 are pixel rows 20..39
  EXPECT_GT(alpha(40, 48), 40);   // the shadow: logical rows 20..25 below it
  EXPECT_EQ(alpha(40, 56), 0);    // ends at logical row 26
  cairo_surface_destroy(s);
}
