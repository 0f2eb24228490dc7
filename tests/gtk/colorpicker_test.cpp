// The colour picker and a combo box on a real (virtual) display: the picker
// is a colour chooser dialog starting from the given colour, answered
// programmatically; the combo box draws its text and list button in a real
// window. Screenshots go to the build folder.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <cmath>
#include <string>

#include "CFArray.h"
#include "CFString.h"
#include "ColorPicker.h"
#include "GtkTestEvents.h"
#include "HIView.h"
#include "Host.h"
#include "MacWindows.h"
#include "gtk/GtkHost.h"

namespace {

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

void Screenshot(GtkWidget* widget, const std::string& name) {
  const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
  ASSERT_GT(width, 1);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name;
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(surface, path.c_str()));
  cairo_surface_destroy(surface);
}

struct Answer {
  bool accept = false;
  GdkRGBA pick{};
  std::string title;
  GdkRGBA seen{};
  bool shot = false;
  std::string screenshot;
};

gboolean AnswerPicker(gpointer data) {
  auto* a = static_cast<Answer*>(data);
  GtkWidget* dialog = GtkHostColorWidget();
  if (dialog == nullptr || !gtk_widget_get_mapped(dialog) || gtk_widget_get_allocated_width(dialog) <= 1)
    return G_SOURCE_CONTINUE;
  if (!a->shot) {  // one more turn so that it has drawn once
    a->shot = true;
    return G_SOURCE_CONTINUE;
  }
  a->title = gtk_window_get_title(GTK_WINDOW(dialog));
  gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &a->seen);
  if (!a->screenshot.empty()) Screenshot(dialog, a->screenshot);
  gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(dialog), &a->pick);
  gtk_dialog_response(GTK_DIALOG(dialog), a->accept ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL);
  return G_SOURCE_REMOVE;
}

TEST(GtkColorPickerTest, ThePickerIsAColourChooserStartingFromTheColour) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  Rect bounds{100, 100, 300, 420};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  ShowWindow(window);
  Pump();

  const unsigned char prompt[] = "\x0APick Color";
  const RGBColor start = {0xFFFF, 0x8000, 0};
  Answer chosen;
  chosen.accept = true;
  chosen.pick = GdkRGBA{0.0, 0.5, 1.0, 1.0};
  chosen.screenshot = "gtk-colorpicker.png";
  g_timeout_add(20, AnswerPicker, &chosen);
  RGBColor out{};
  EXPECT_TRUE(GetColor(Point{0, 0}, prompt, &start, &out));
  EXPECT_EQ("Pick Color", chosen.title);
  EXPECT_NEAR(1.0, chosen.seen.red, 0.002);
  EXPECT_NEAR(0.5, chosen.seen.green, 0.002);
  EXPECT_NEAR(0.0, chosen.seen.blue, 0.002);
  EXPECT_EQ(0, out.red);
  EXPECT_EQ(0x8000, out.green);
  EXPECT_EQ(0xFFFF, out.blue);
  EXPECT_EQ(nullptr, GtkHostColorWidget());

  Answer cancelled;
  cancelled.pick = GdkRGBA{1, 1, 1, 1};
  g_timeout_add(20, AnswerPicker, &cancelled);
  RGBColor again{};
  EXPECT_FALSE(GetColor(Point{0, 0}, prompt, &start, &again));
  EXPECT_EQ(start.red, again.red);
  EXPECT_EQ(start.green, again.green);
  EXPECT_EQ(start.blue, again.blue);
  DisposeWindow(window);
}

TEST(GtkColorPickerTest, AComboBoxDrawsInARealWindow) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  Rect bounds{100, 100, 180, 420};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  const void* items[] = {S("function"), S("foreach"), S("Format")};
  CFArrayRef list = CFArrayCreate(nullptr, items, 3, &kCFTypeArrayCallBacks);
  HIRect frame = {{20, 20}, {240, 22}};
  HIViewRef box = nullptr;
  ASSERT_EQ(noErr, HIComboBoxCreate(&frame, S("foreach"), nullptr, list, kHIComboBoxAutoCompletionAttribute, &box));
  CFRelease(list);
  HIViewAddSubview(HIViewGetRoot(window), box);
  ShowWindow(window);
  GtkWidget* area = GtkHostContentWidget(window);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(area) && gtk_widget_get_allocated_width(area) == 320; }));
  Pump();
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/gtk-combobox.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  // The button at the right end is darker than the white field.
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  const int rows = cairo_image_surface_get_height(png) - 80;  // the content is the bottom 80 rows
  auto grey = [&](int x, int y) { return data[(rows + y) * stride + x * 4 + 1]; };
  EXPECT_GT(grey(20 + 100, 20 + 11), 200);  // the field, away from the text
  EXPECT_LT(grey(20 + 240 - 11, 20 + 11), 120);  // the arrow in the button
  cairo_surface_destroy(png);

  DisposeWindow(window);
}

}  // namespace
