// Quartz images and the data providers they are read from. Images are
// immutable, reference counted CF objects; PNG is the file format read.
#pragma once

#include "CFBase.h"
#include "CFData.h"
#include "CFURL.h"
#include "CGColor.h"
#include "CGGeometry.h"

typedef struct CGDataProvider* CGDataProviderRef;
typedef struct CGImage* CGImageRef;

typedef UInt32 CGImageAlphaInfo;
enum : CGImageAlphaInfo {
  kCGImageAlphaNone = 0,
  kCGImageAlphaPremultipliedLast = 1,
  kCGImageAlphaPremultipliedFirst = 2,
  kCGImageAlphaLast = 3,
  kCGImageAlphaFirst = 4,
  kCGImageAlphaNoneSkipLast = 5,
  kCGImageAlphaNoneSkipFirst = 6,
  kCGImageAlphaOnly = 7,
};

typedef UInt32 CGBitmapInfo;
enum : CGBitmapInfo {
  kCGBitmapAlphaInfoMask = 0x1F,
  kCGBitmapFloatComponents = 1 << 8,
  kCGBitmapByteOrderMask = 0x7000,
  kCGBitmapByteOrderDefault = 0 << 12,  // big-endian components: R G B A in memory
  kCGBitmapByteOrder16Little = 1 << 12,
  kCGBitmapByteOrder32Little = 2 << 12,
  kCGBitmapByteOrder16Big = 3 << 12,
  kCGBitmapByteOrder32Big = 4 << 12,
};

// Called when the provider goes away, with the info and the bytes given.
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

// Reads the whole file at once; nil when the URL is not a readable file.
CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url);
CGDataProviderRef CGDataProviderCreateWithFilename(const char* filename);
// The bytes are not copied; releaseData (optional) runs when the provider ends.
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
CGDataProviderRef CGDataProviderCreateWithCFData(CFDataRef data);  // retains the data
CFDataRef CGDataProviderCopyData(CGDataProviderRef provider);
CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);  // nil-safe
void CGDataProviderRelease(CGDataProviderRef provider);              // nil-safe
CFTypeID CGDataProviderGetTypeID();

// A PNG image; nil when the data is missing, truncated or not a PNG. The
// decode array is not supported and must be nil; intent is ignored.
CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef source, const CGFloat decode[],
                                            bool shouldInterpolate, CGColorRenderingIntent intent);
// Raw samples, 8 bits per component: 32 bits per pixel RGB with any alpha
// info and byte order, 24 bits RGB, 8 bits gray, 16 bits gray + alpha, or
// an alpha-only 8-bit mask. nil for any other layout or too little data.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat decode[], bool shouldInterpolate,
                         CGColorRenderingIntent intent);
// The part of the image inside rect (pixels, origin at the image's top
// left), rounded out to whole pixels; nil when nothing is left.
CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect);
CGImageRef CGImageCreateCopy(CGImageRef image);
CGImageRef CGImageRetain(CGImageRef image);  // nil-safe
void CGImageRelease(CGImageRef image);       // nil-safe
size_t CGImageGetWidth(CGImageRef image);    // 0 for nil
size_t CGImageGetHeight(CGImageRef image);
size_t CGImageGetBitsPerComponent(CGImageRef image);
size_t CGImageGetBitsPerPixel(CGImageRef image);
size_t CGImageGetBytesPerRow(CGImageRef image);
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image);  // not retained
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image);
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image);
bool CGImageGetShouldInterpolate(CGImageRef image);
CFTypeID CGImageGetTypeID();
