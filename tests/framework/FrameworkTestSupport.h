// Helpers shared by the framework tests: a shown window and a bitmap that
// views draw into (y down, like a window).
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "CGContext.h"
#include "HIView.h"
#include "MacWindows.h"
#include "TestBitmap.h"

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


inline HIViewRef PlainView(HIViewRef parent, CGRect frame) {
  HIViewRef view = nullptr;
  EXPECT_EQ(noErr, HIViewCreate(&frame, &view));
  if (parent) HIViewAddSubview(parent, view);
  HIViewSetVisible(view, true);
  return view;
}
