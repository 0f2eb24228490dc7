// A text view in a real window: a gutter with line numbers, text typed
// through GTK key events, and a screenshot a person can look at.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <string>

#include "CFString.h"
#include "GtkTestEvents.h"
#include "HIView.h"
#include "Host.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "WASTE.h"
#include "fenwicket/Fenwicket.h"
#include "gtk/GtkHost.h"

namespace {

constexpr UInt32 kDrawFocus = 1u << 0, kDrawGutter = 1u << 2, kLineNumbers = 1u << 3, kVertical = 1u << 5,
                 kHorizontal = 1u << 6;

std::string EngineText(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

TEST(FenwicketWindow, TypedTextWithGutterAndLineNumbers) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  RegisterWasteClass();

  WindowRef window = nullptr;
  Rect bounds{100, 100, 460, 620};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass,
                                   kWindowStandardDocumentAttributes | kWindowStandardHandlerAttribute |
                                       kWindowCompositingAttribute,
                                   &bounds, &window));
  SetWindowTitleWithCFString(window, CFStringMakeConstantUTF8("hello.php"));
  HIObjectRef object = nullptr;
  ASSERT_EQ(noErr, HIObjectCreate(CFStringMakeConstantUTF8("com.brindlecote.waste"), nullptr, &object));
  auto view = reinterpret_cast<HIViewRef>(object);
  HIViewAddSubview(HIViewGetRoot(window), view);
  const CGRect frame{{0, 0}, {520, 360}};
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, true);
  WEReference we =
      WasteCreateController(view, window, kDrawFocus | kDrawGutter | kLineNumbers | kVertical | kHorizontal);
  ASSERT_NE(we, nullptr);
  ShowWindow(window);
  GtkWidget* area = GtkHostContentWidget(window);
  GtkWidget* top = GtkHostWindowWidget(window);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(area) && gtk_widget_get_allocated_height(area) > 1; }));
  Pump();

  PutButton(area, GDK_BUTTON_PRESS, 200, 100);
  PutButton(area, GDK_BUTTON_RELEASE, 200, 100, 1, GDK_BUTTON1_MASK);
  Pump();
  ASSERT_TRUE(HIViewSubtreeContainsFocus(view));
  const std::string typed =
      "<?php\n// greet the visitor\nfunction greet($name) {\n\treturn \"Hello, \" . $name;\n}\n\necho greet('world');\n";
  TypeText(top, typed);
  std::string expected = typed;
  for (char& c : expected)
    if (c == '\n') c = '\r';
  EXPECT_EQ(EngineText(we), expected);
  EXPECT_EQ(WECountLines(we), 8);
  Pump();

  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/fenwicket-window.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  const int width = cairo_image_surface_get_width(png);
  const int height = cairo_image_surface_get_height(png);
  EXPECT_EQ(width, 520);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  auto pixel = [&](int x, int y) { return reinterpret_cast<const uint32_t*>(data + y * stride)[x]; };
  // The gutter is darker than the white text area at the bottom of the window.
  const int y = height - 40;
  const uint32_t gutter = pixel(10, y), text = pixel(300, y);
  EXPECT_EQ(text & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_NE(gutter & 0xFFFFFF, 0xFFFFFFu);
  // Ink in the text area's first lines: the typed text.
  int ink = 0;
  for (int yy = height - 360; yy < height - 360 + 80; ++yy)
    for (int x = 40; x < 300; ++x) ink += (pixel(x, yy) & 0xFF) < 128;
  EXPECT_GT(ink, 100);
  cairo_surface_destroy(png);
  DisposeWindow(window);
  Pump();
}

}  // namespace
