// A bitmap that views draw into (y down, like a window), read back by pixel.
#pragma once

#include <vector>

#include "CGContext.h"

struct Bitmap {
  int width, height;
  std::vector<UInt8> pixels;
  CGContextRef context = nullptr;
  Bitmap(int w, int h) : width(w), height(h), pixels(size_t(w) * h * 4, 0) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    context = CGBitmapContextCreate(pixels.data(), w, h, 8, size_t(w) * 4, space, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    CGContextTranslateCTM(context, 0, h);
    CGContextScaleCTM(context, 1, -1);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap() { CGContextRelease(context); }
  // RGBA of a pixel, after what was drawn has reached the pixels.
  const UInt8* At(int x, int y) {
    CGContextFlush(context);
    return &pixels[(size_t(y) * width + x) * 4];
  }
  // Pixels in a rectangle darker than white.
  int Ink(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y)[3] > 200 && At(x, y)[0] < 200;
    return n;
  }
};
