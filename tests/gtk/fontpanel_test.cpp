// The font panel on a real (virtual) display: a font chooser dialog over the
// active window, not modal, showing the font it was given, that reports each
// font chosen in it at once and its closing to the application.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "CarbonEvents.h"
#include "FontPanel.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "MacWindows.h"
#include "gtk/GtkHost.h"

namespace {

struct Heard {
  UInt32 kind;
  std::string family;
  FMFontStyle style;
  FMFontSize size;
};

OSStatus OnFontEvent(EventHandlerCallRef, EventRef event, void* data) {
  auto* heard = static_cast<std::vector<Heard>*>(data);
  Heard h{GetEventKind(event), "", 0, 0};
  if (h.kind == kEventFontSelection) {
    FMFontFamily family = kInvalidFontFamily;
    GetEventParameter(event, kEventParamFMFontFamily, typeFMFontFamily, nullptr, sizeof family, nullptr, &family);
    GetEventParameter(event, kEventParamFMFontStyle, typeFMFontStyle, nullptr, sizeof h.style, nullptr, &h.style);
    GetEventParameter(event, kEventParamFMFontSize, typeFMFontSize, nullptr, sizeof h.size, nullptr, &h.size);
    unsigned char name[256] = {};
    if (FMGetFontFamilyName(family, name)) h.family.assign(reinterpret_cast<char*>(name + 1), name[0]);
  }
  heard->push_back(h);
  return noErr;
}

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

TEST(GtkFontPanelTest, AChooserOverTheWindowReportsEachPickAndItsClosing) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  Rect bounds{100, 100, 300, 420};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  ShowWindow(window);
  SelectWindow(window);
  Pump();

  std::vector<Heard> heard;
  const EventTypeSpec types[] = {{kEventClassFont, kEventFontSelection}, {kEventClassFont, kEventFontPanelClosed}};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(noErr, InstallEventHandler(GetApplicationEventTarget(), OnFontEvent, 2, types, &heard, &handler));

  const unsigned char mono[] = "\x10" "DejaVu Sans Mono";
  FontSelectionQDStyle start{kFontSelectionQDStyleVersionZero, {FMGetFontFamilyFromName(mono), 0}, 15, false, 0, {}};
  ASSERT_EQ(noErr, SetFontInfoForSelection(kFontSelectionQDType, 1, &start, nullptr));
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  EXPECT_TRUE(FPIsFontPanelVisible());
  GtkWidget* dialog = GtkHostFontWidget();
  ASSERT_NE(nullptr, dialog);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(dialog) && gtk_widget_get_allocated_width(dialog) > 1; }));
  Pump();
  // Over the active window and not modal: the user goes on typing in it.
  EXPECT_EQ(GTK_WINDOW(GtkHostWindowWidget(window)), gtk_window_get_transient_for(GTK_WINDOW(dialog)));
  EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(dialog)));
  gchar* shown = gtk_font_chooser_get_font(GTK_FONT_CHOOSER(dialog));
  EXPECT_STREQ("DejaVu Sans Mono 15", shown);
  g_free(shown);
  EXPECT_TRUE(heard.empty());  // showing the given font is no pick
  Screenshot(dialog, "gtk-fontpanel.png");

  // Each font chosen is reported at once, while the panel stays up.
  gtk_font_chooser_set_font(GTK_FONT_CHOOSER(dialog), "DejaVu Serif Bold 17");
  Pump();
  ASSERT_EQ(1u, heard.size());
  EXPECT_EQ(UInt32(kEventFontSelection), heard[0].kind);
  EXPECT_EQ("DejaVu Serif", heard[0].family);
  EXPECT_EQ(1, heard[0].style);
  EXPECT_EQ(17, heard[0].size);
  EXPECT_TRUE(FPIsFontPanelVisible());

  // The program changing the shown font is no pick either.
  start.size = 20;
  ASSERT_EQ(noErr, SetFontInfoForSelection(kFontSelectionQDType, 1, &start, nullptr));
  EXPECT_EQ(1u, heard.size());

  // Closing it (the dialog's Cancel) is reported once, and it is gone.
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  Pump();
  ASSERT_EQ(2u, heard.size());
  EXPECT_EQ(UInt32(kEventFontPanelClosed), heard[1].kind);
  EXPECT_FALSE(FPIsFontPanelVisible());
  EXPECT_EQ(nullptr, GtkHostFontWidget());

  // Shown again and hidden by the program: closed is reported as well.
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  ASSERT_NE(nullptr, GtkHostFontWidget());
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  EXPECT_EQ(nullptr, GtkHostFontWidget());
  ASSERT_EQ(3u, heard.size());
  EXPECT_EQ(UInt32(kEventFontPanelClosed), heard[2].kind);

  RemoveEventHandler(handler);
  DisposeWindow(window);
}

}  // namespace
