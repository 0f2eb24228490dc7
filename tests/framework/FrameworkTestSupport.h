// Helpers shared by the framework tests: a shown window and a bitmap that
// views draw into (y down, like a window).
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "CGContext.h"
#include "HIView.h"
#include "MacWindows.h"

struct TestWindow {
  WindowRef window = nullptr;
  HIViewRef root = nullptr;
  explicit TestWindow(bool show = true) {
    Rect bounds = {100, 100, 300, 400};
    EXPECT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
    root = HIViewGetRoot(window);
    if (show) ShowWindow(window);
  }
  ~TestWindow() {
    if (window) DisposeWindow(window);
  }
};

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
  ~Bitmap() { CGContextRelease(context); }
  const UInt8* At(int x, int y) {
    CGContextFlush(context);
    return &pixels[(size_t(y) * width + x) * 4];
  }
};

inline HIViewRef PlainView(HIViewRef parent, CGRect frame) {
  HIViewRef view = nullptr;
  EXPECT_EQ(noErr, HIViewCreate(&frame, &view));
  if (parent) HIViewAddSubview(parent, view);
  HIViewSetVisible(view, true);
  return view;
}
