// Data providers and images. Every image keeps its picture as a cairo ARGB32
// surface (premultiplied), whatever layout it was made from.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "QuartzInternal.h"

namespace {

CFTypeID ProviderType() {
  static const CFTypeID id = CFRuntimeRegisterType("CGDataProvider");
  return id;
}

CFTypeID ImageType() {
  static const CFTypeID id = CFRuntimeRegisterType("CGImage");
  return id;
}

CGDataProvider* Provider(CGDataProviderRef p) { return CFCast<CGDataProvider>(p, ProviderType()); }

// Images larger than this on a side are refused: cairo cannot hold them.
constexpr size_t kMaxSide = 32767;

inline uint8_t Premultiply(uint8_t c, uint8_t a) { return uint8_t((c * a + 127) / 255); }
inline uint8_t Unpremultiply(uint8_t c, uint8_t a) {
  if (a == 0) return 0;
  unsigned v = (c * 255u + a / 2) / a;
  return uint8_t(v > 255 ? 255 : v);
}

bool AlphaIsFirst(CGImageAlphaInfo a) {
  return a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaFirst || a == kCGImageAlphaNoneSkipFirst;
}
bool AlphaIsStraight(CGImageAlphaInfo a) { return a == kCGImageAlphaFirst || a == kCGImageAlphaLast; }
bool AlphaIsSkipped(CGImageAlphaInfo a) {
  return a == kCGImageAlphaNone || a == kCGImageAlphaNoneSkipFirst || a == kCGImageAlphaNoneSkipLast;
}

cairo_status_t ReadFromMemory(void* closure, unsigned char* data, unsigned int length) {
  auto* cursor = static_cast<std::pair<const UInt8*, size_t>*>(closure);
  if (cursor->second < length) return CAIRO_STATUS_READ_ERROR;
  memcpy(data, cursor->first, length);
  cursor->first += length;
  cursor->second -= length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

size_t QuartzPixelLayout::BytesPerPixel() const {
  switch (kind) {
    case kRGB32: return 4;
    case kRGB24: return 3;
    case kGrayAlpha16: return 2;
    default: return 1;
  }
}

bool QuartzPixelLayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, size_t spaceComponents,
                          CGBitmapInfo info, QuartzPixelLayout* out) {
  if (bitsPerComponent != 8 || (info & kCGBitmapFloatComponents) != 0) return false;
  QuartzPixelLayout l;
  l.alpha = info & kCGBitmapAlphaInfoMask;
  const CGBitmapInfo order = info & kCGBitmapByteOrderMask;
  if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big && order != kCGBitmapByteOrder32Little)
    return false;
  l.little = order == kCGBitmapByteOrder32Little;
  if (l.alpha > kCGImageAlphaOnly) return false;
  if (l.alpha == kCGImageAlphaOnly) {
    if (bitsPerPixel != 8) return false;
    l.kind = QuartzPixelLayout::kAlpha8;
  } else if (spaceComponents == 3 && bitsPerPixel == 32 && l.alpha != kCGImageAlphaNone) {
    l.kind = QuartzPixelLayout::kRGB32;
  } else if (spaceComponents == 3 && bitsPerPixel == 24 && l.alpha == kCGImageAlphaNone) {
    l.kind = QuartzPixelLayout::kRGB24;
  } else if (spaceComponents == 1 && bitsPerPixel == 8 && l.alpha == kCGImageAlphaNone) {
    l.kind = QuartzPixelLayout::kGray8;
  } else if (spaceComponents == 1 && bitsPerPixel == 16 && !AlphaIsSkipped(l.alpha)) {
    l.kind = QuartzPixelLayout::kGrayAlpha16;
  } else {
    return false;
  }
  *out = l;
  return true;
}

void QuartzImportRow(const QuartzPixelLayout& l, const UInt8* s, uint32_t* d, size_t width) {
  const bool straight = AlphaIsStraight(l.alpha), skip = AlphaIsSkipped(l.alpha);
  for (size_t x = 0; x < width; ++x) {
    uint8_t r, g, b, a;
    switch (l.kind) {
      case QuartzPixelLayout::kRGB32: {
        uint8_t p[4] = {s[0], s[1], s[2], s[3]};
        if (l.little) std::swap(p[0], p[3]), std::swap(p[1], p[2]);
        if (AlphaIsFirst(l.alpha)) a = p[0], r = p[1], g = p[2], b = p[3];
        else r = p[0], g = p[1], b = p[2], a = p[3];
        s += 4;
        break;
      }
      case QuartzPixelLayout::kRGB24: r = s[0], g = s[1], b = s[2], a = 255, s += 3; break;
      case QuartzPixelLayout::kGray8: r = g = b = s[0], a = 255, s += 1; break;
      case QuartzPixelLayout::kGrayAlpha16:
        if (AlphaIsFirst(l.alpha)) a = s[0], r = g = b = s[1];
        else r = g = b = s[0], a = s[1];
        s += 2;
        break;
      default: r = g = b = 0, a = s[0], s += 1; break;
    }
    if (skip) a = 255;
    if (straight) r = Premultiply(r, a), g = Premultiply(g, a), b = Premultiply(b, a);
    // Premultiplied input may claim colour above its alpha; cairo needs it not to.
    if (r > a) r = a;
    if (g > a) g = a;
    if (b > a) b = a;
    d[x] = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  }
}

void QuartzExportRow(const QuartzPixelLayout& l, const uint32_t* src, UInt8* d, size_t width) {
  const bool straight = AlphaIsStraight(l.alpha), skip = AlphaIsSkipped(l.alpha);
  for (size_t x = 0; x < width; ++x) {
    const uint32_t w = src[x];
    uint8_t a = w >> 24, r = (w >> 16) & 0xFF, g = (w >> 8) & 0xFF, b = w & 0xFF;
    if (straight || skip || l.kind == QuartzPixelLayout::kGray8 || l.kind == QuartzPixelLayout::kRGB24)
      r = Unpremultiply(r, a), g = Unpremultiply(g, a), b = Unpremultiply(b, a);
    if (skip) a = 255;
    switch (l.kind) {
      case QuartzPixelLayout::kRGB32: {
        uint8_t p[4];
        if (AlphaIsFirst(l.alpha)) p[0] = a, p[1] = r, p[2] = g, p[3] = b;
        else p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        if (l.little) std::swap(p[0], p[3]), std::swap(p[1], p[2]);
        memcpy(d, p, 4);
        d += 4;
        break;
      }
      case QuartzPixelLayout::kRGB24: d[0] = r, d[1] = g, d[2] = b, d += 3; break;
      case QuartzPixelLayout::kGray8: *d++ = uint8_t((r * 77 + g * 150 + b * 29) >> 8); break;
      case QuartzPixelLayout::kGrayAlpha16: {
        uint8_t y = uint8_t((r * 77 + g * 150 + b * 29) >> 8);
        if (AlphaIsFirst(l.alpha)) d[0] = a, d[1] = y;
        else d[0] = y, d[1] = a;
        d += 2;
        break;
      }
      default: *d++ = a; break;
    }
  }
}

// ---------------------------------------------------------------------------
// Data providers

CGDataProvider::CGDataProvider() : __CFRuntimeBase(ProviderType()) {}
CGDataProvider::~CGDataProvider() {
  if (releaseData != nullptr) releaseData(info, bytes, length);
  if (data != nullptr) CFRelease(data);
}

CFTypeID CGDataProviderGetTypeID() { return ProviderType(); }

CGDataProviderRef CGDataProviderCreateWithFilename(const char* filename) {
  if (filename == nullptr) return nullptr;
  FILE* f = fopen(filename, "rb");
  if (f == nullptr) return nullptr;
  auto* p = new CGDataProvider;
  UInt8 chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) p->owned.insert(p->owned.end(), chunk, chunk + n);
  const bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) {
    CFRelease(p);
    return nullptr;
  }
  p->bytes = p->owned.data();
  p->length = p->owned.size();
  return p;
}

CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url) {
  if (url == nullptr) return nullptr;
  UInt8 path[PATH_MAX];
  if (!CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return nullptr;
  return CGDataProviderCreateWithFilename(reinterpret_cast<const char*>(path));
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
  if (data == nullptr && size != 0) return nullptr;
  auto* p = new CGDataProvider;
  p->info = info;
  p->bytes = static_cast<const UInt8*>(data);
  p->length = size;
  p->releaseData = releaseData;
  return p;
}

CGDataProviderRef CGDataProviderCreateWithCFData(CFDataRef data) {
  if (data == nullptr) return nullptr;
  auto* p = new CGDataProvider;
  p->data = static_cast<CFDataRef>(CFRetain(data));
  p->bytes = CFDataGetBytePtr(data);
  p->length = size_t(CFDataGetLength(data));
  return p;
}

CFDataRef CGDataProviderCopyData(CGDataProviderRef provider) {
  auto* p = Provider(provider);
  if (p == nullptr) return nullptr;
  return CFDataCreate(nullptr, p->bytes, CFIndex(p->length));
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider) {
  if (Provider(provider) != nullptr) CFRetain(provider);
  return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider) {
  if (Provider(provider) != nullptr) CFRelease(provider);
}

// ---------------------------------------------------------------------------
// Images

CGImage::CGImage() : __CFRuntimeBase(ImageType()) {}
CGImage::~CGImage() {
  if (surface != nullptr) cairo_surface_destroy(surface);
}

CGImage* QuartzImage(CGImageRef image) { return CFCast<CGImage>(image, ImageType()); }
CFTypeID CGImageGetTypeID() { return ImageType(); }

namespace {

CGImage* NewImage(size_t width, size_t height) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  auto* image = new CGImage;
  image->surface = s;
  image->width = width;
  image->height = height;
  return image;
}

}  // namespace

CGImageRef QuartzCreateImageFromSurface(cairo_surface_t* surface) {
  if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_t* img = cairo_surface_map_to_image(surface, nullptr);
  if (img == nullptr || cairo_surface_status(img) != CAIRO_STATUS_SUCCESS) return nullptr;
  const int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
  CGImage* image = NewImage(size_t(w), size_t(h));
  if (image != nullptr) {
    cairo_t* cr = cairo_create(image->surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, img, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(image->surface);
    if (cairo_image_surface_get_format(img) == CAIRO_FORMAT_RGB24) image->alphaInfo = kCGImageAlphaNoneSkipFirst;
  }
  cairo_surface_unmap_image(surface, img);
  return image;
}

CGImageRef QuartzCreateImageFromPNGBytes(const UInt8* bytes, size_t length) {
  static const UInt8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes == nullptr || length < 8 || memcmp(bytes, kSignature, 8) != 0) return nullptr;
  std::pair<const UInt8*, size_t> cursor{bytes, length};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadFromMemory, &cursor);
  CGImageRef image = nullptr;
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) image = QuartzCreateImageFromSurface(s);
  cairo_surface_destroy(s);
  return image;
}

cairo_surface_t* QuartzImageGetSurface(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr ? i->surface : nullptr;
}

CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef source, const CGFloat decode[], bool shouldInterpolate,
                                            CGColorRenderingIntent intent) {
  auto* p = Provider(source);
  if (p == nullptr || decode != nullptr) return nullptr;
  CGImageRef image = QuartzCreateImageFromPNGBytes(p->bytes, p->length);
  if (auto* i = QuartzImage(image)) i->shouldInterpolate = shouldInterpolate;
  return image;
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat decode[], bool shouldInterpolate,
                         CGColorRenderingIntent intent) {
  auto* p = Provider(provider);
  QuartzPixelLayout layout;
  if (p == nullptr || decode != nullptr) return nullptr;
  if (!QuartzPixelLayoutFor(bitsPerComponent, bitsPerPixel, CGColorSpaceGetNumberOfComponents(space), bitmapInfo,
                            &layout))
    return nullptr;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  const size_t rowBytes = width * layout.BytesPerPixel();
  if (bytesPerRow < rowBytes) return nullptr;
  // The last row needs only its own pixels; divide rather than multiply, so a
  // huge bytesPerRow cannot wrap around.
  if (p->length < rowBytes) return nullptr;
  if (height > 1 && bytesPerRow > (p->length - rowBytes) / (height - 1)) return nullptr;
  CGImage* image = NewImage(width, height);
  if (image == nullptr) return nullptr;
  unsigned char* dst = cairo_image_surface_get_data(image->surface);
  const int stride = cairo_image_surface_get_stride(image->surface);
  for (size_t y = 0; y < height; ++y)
    QuartzImportRow(layout, p->bytes + y * bytesPerRow, reinterpret_cast<uint32_t*>(dst + y * size_t(stride)), width);
  cairo_surface_mark_dirty(image->surface);
  image->alphaInfo = layout.alpha;
  image->shouldInterpolate = shouldInterpolate;
  return image;
}

CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect) {
  auto* src = QuartzImage(image);
  if (src == nullptr || !std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
      !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height))
    return nullptr;
  double x0 = rect.origin.x, y0 = rect.origin.y, x1 = x0 + rect.size.width, y1 = y0 + rect.size.height;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  const double left = std::max(0.0, std::floor(x0)), top = std::max(0.0, std::floor(y0));
  const double right = std::min(double(src->width), std::ceil(x1)), bottom = std::min(double(src->height), std::ceil(y1));
  if (right <= left || bottom <= top) return nullptr;
  CGImage* part = NewImage(size_t(right - left), size_t(bottom - top));
  if (part == nullptr) return nullptr;
  cairo_t* cr = cairo_create(part->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, src->surface, -left, -top);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(part->surface);
  part->alphaInfo = src->alphaInfo;
  part->shouldInterpolate = src->shouldInterpolate;
  return part;
}

CGImageRef CGImageCreateCopy(CGImageRef image) {
  auto* i = QuartzImage(image);
  if (i == nullptr) return nullptr;
  return CGImageCreateWithImageInRect(image, CGRect{{0, 0}, {double(i->width), double(i->height)}});
}

CGImageRef CGImageRetain(CGImageRef image) {
  if (QuartzImage(image) != nullptr) CFRetain(image);
  return image;
}

void CGImageRelease(CGImageRef image) {
  if (QuartzImage(image) != nullptr) CFRelease(image);
}

size_t CGImageGetWidth(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr ? i->width : 0;
}

size_t CGImageGetHeight(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr ? i->height : 0;
}

size_t CGImageGetBitsPerComponent(CGImageRef image) { return QuartzImage(image) != nullptr ? 8 : 0; }
size_t CGImageGetBitsPerPixel(CGImageRef image) { return QuartzImage(image) != nullptr ? 32 : 0; }

size_t CGImageGetBytesPerRow(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr ? size_t(cairo_image_surface_get_stride(i->surface)) : 0;
}

CGColorSpaceRef CGImageGetColorSpace(CGImageRef image) {
  static CGColorSpaceRef rgb = [] {
    CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    CFObjMut(s)->Pin();
    return s;
  }();
  return QuartzImage(image) != nullptr ? rgb : nullptr;
}

CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr ? i->alphaInfo : kCGImageAlphaNone;
}

// The pixels are ARGB32 words in host order.
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image) {
  return QuartzImage(image) != nullptr ? (CGBitmapInfo(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little) : 0;
}

bool CGImageGetShouldInterpolate(CGImageRef image) {
  auto* i = QuartzImage(image);
  return i != nullptr && i->shouldInterpolate;
}
