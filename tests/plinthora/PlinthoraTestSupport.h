// Shared by the controls library tests: a bundle of small images of known
// sizes (never the program's artwork), registration of the classes, views
// made by class ID with creation parameters, and clicks as the hosts send
// them.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "ViewInternal.h"
#include "plinthora/Plinthora.h"

inline bool operator==(const CGRect& a, const CGRect& b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}
inline std::ostream& operator<<(std::ostream& out, const CGRect& r) {
  return out << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}

namespace plinthora_test {

namespace fs = std::filesystem;

// A PNG of the size, filled with the grey level (opaque).
inline void WriteImage(const fs::path& path, int width, int height, double grey = 0.5) {
  fs::create_directories(path.parent_path());
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, grey, grey, grey);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
}

// Sizes the tests rely on.
constexpr int kVSplitThickness = 8, kVGripHeight = 20;    // split view, standard, vertical
constexpr int kHSplitThickness = 6, kHGripWidth = 20;     // split view, standard, horizontal
constexpr int kHeaderThickness = 10, kHeaderGripWidth = 16;
constexpr int kToolbarHeight = 30, kSeparatorWidth = 2, kToolbarSliderWidth = 12;
constexpr int kTabHeight = 24, kCapWidth = 6, kCloseBox = 14;
constexpr int kButtonLeftCap = 4, kButtonRightCap = 6;  // "Round Corner": caps of unequal widths

// The main bundle of the test program, named before anything asks for it.
struct TestBundle {
  TestBundle() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/plinthora-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    const fs::path images = fs::path(root) / "Quorvel.app/Contents/Resources/Images";
    const fs::path split = images / "SplitView Images";
    WriteImage(split / "VBackground (standard).png", kVSplitThickness, kVSplitThickness, 0.6);
    WriteImage(split / "VSlider (standard).png", kVSplitThickness, kVGripHeight, 0.2);
    WriteImage(split / "HBackground (standard).png", kHSplitThickness, kHSplitThickness, 0.6);
    WriteImage(split / "HSlider (standard).png", kHGripWidth, kHSplitThickness, 0.2);
    WriteImage(split / "HBackground (header).png", kHeaderThickness, kHeaderThickness, 0.6);
    WriteImage(split / "HSlider (header).png", kHeaderGripWidth, kHeaderThickness, 0.2);
    const fs::path bar = images / "Toolbar Images";
    for (const char* style : {"standard", "metal"}) {
      const std::string n = std::string(" (") + style + ").png";
      WriteImage(bar / ("Background" + n), 10, kToolbarHeight, 0.8);
      WriteImage(bar / ("Seperator" + n), kSeparatorWidth, kToolbarHeight, 0.3);
      WriteImage(bar / ("Slider" + n), kToolbarSliderWidth, kToolbarHeight, 0.4);
    }
    for (const char* style : {"standard", "glossy metal", "metallic", "toolbar"}) {
      const fs::path folder = images / "Tab Images" / style;
      WriteImage(folder / "background.png", 8, kTabHeight, 0.7);
      for (const char* state : {"active", "inactive", "pressed"}) {
        WriteImage(folder / (std::string("left_") + state + ".png"), kCapWidth, kTabHeight, 0.9);
        WriteImage(folder / (std::string("right_") + state + ".png"), kCapWidth, kTabHeight, 0.9);
        WriteImage(folder / (std::string("center_") + state + ".png"), 8, kTabHeight, 0.9);
      }
      for (const char* box : {"closebox_active", "closebox_inactive", "closebox_pressed", "closebox_active_pressed",
                              "closebox_inactive_pressed"})
        WriteImage(folder / (std::string(box) + ".png"), kCloseBox, kCloseBox, 0.1);
    }
    for (const char* kind : {"Round Corner", "Bevel Corner", "Silver", "Toolbar"}) {
      const fs::path folder = images / "Custom Buttons" / kind;
      const bool round = std::string(kind) == "Round Corner";
      for (const char* face : {"active", "pressed", "selected"}) {
        const double grey = std::string(face) == "active" ? 0.8 : 0.4;
        WriteImage(folder / (std::string(face) + "_left.png"), round ? kButtonLeftCap : 5, 22, grey);
        WriteImage(folder / (std::string(face) + "_right.png"), round ? kButtonRightCap : 5, 22, grey);
        WriteImage(folder / (std::string(face) + "_content.png"), 4, 22, grey);
      }
      WriteImage(folder / "seperator.png", 1, 22, 0.1);
      WriteImage(folder / "popup arrows.png", 8, 14, 0.1);
    }
    setenv("QUORVEL_BUNDLE", (root + "/Quorvel.app").c_str(), 1);
  }
  ~TestBundle() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
  std::string root;
};
inline TestBundle gTestBundle;

inline void RegisterOnce() {
  static bool done = false;
  if (done) return;
  HeadlessUseVirtualClock(true);
  RegisterSplitViewClass();
  RegisterToolbarViewClass();
  RegisterTabViewClass();
  HICustomButtonLoadImages();
  done = true;
}

// Creation parameters of a view: each adds itself to the initialise event.
using Param = std::function<void(EventRef)>;
inline Param StringParam(OSType name, const char* text) {
  return [=](EventRef e) {
    CFStringRef s = CFStringMakeConstantUTF8(text);
    SetEventParameter(e, name, typeCFStringRef, sizeof s, &s);
  };
}
template <class T>
Param ValueParam(OSType name, EventParamType type, T value) {
  return [=](EventRef e) { SetEventParameter(e, name, type, sizeof value, &value); };
}

// A view of the class in the window's root (when a window is given), with
// the frame, shown.
inline HIViewRef NewView(CFStringRef classID, WindowRef window, CGRect frame, const std::vector<Param>& params = {}) {
  EventRef init = nullptr;
  CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
  for (const auto& p : params) p(init);
  HIObjectRef object = nullptr;
  EXPECT_EQ(HIObjectCreate(classID, init, &object), noErr);
  ReleaseEvent(init);
  auto view = reinterpret_cast<HIViewRef>(object);
  if (view == nullptr) return nullptr;
  if (window) HIViewAddSubview(HIViewGetRoot(window), view);
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, true);
  return view;
}

inline HIViewRef NewPlainView(HIViewRef parent, CGRect frame = {{0, 0}, {10, 10}}) {
  HIViewRef view = nullptr;
  HIViewCreate(&frame, &view);
  if (parent) HIViewAddSubview(parent, view);
  HIViewSetVisible(view, true);
  return view;
}

// A mouse-down at the window point, as the hosts deliver it.
inline void Click(WindowRef window, CGPoint where, UInt16 button = 1) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
  UInt32 modifiers = 0;
  SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
  ViewHandleMouseDown(window, e);
  ReleaseEvent(e);
}

inline CGRect FrameOf(HIViewRef view) {
  CGRect r{};
  HIViewGetFrame(view, &r);
  return r;
}

// A shown, active window of 600 x 400.
struct WindowTest : ::testing::Test {
  WindowRef window = nullptr;
  void SetUp() override {
    RegisterOnce();
    Rect bounds = {100, 100, 500, 700};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    ShowWindow(window);
    SelectWindow(window);
  }
  void TearDown() override {
    if (window) DisposeWindow(window);
  }
};

}  // namespace plinthora_test
