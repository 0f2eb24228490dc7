// The review-documents question on a real (virtual) display: a message dialog
// transient for its window, run as a sheet (the run returns at once), with
// Discard, Cancel and Review; the answer comes back through the event loop.
// A screenshot goes to the build folder.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "MacWindows.h"
#include "Navigation.h"
#include "gtk/GtkHost.h"

namespace {

struct Heard {
  NavDialogRef dialog = nullptr;
  std::vector<NavUserAction> actions;
  bool terminated = false;
  std::string text;
  std::vector<std::string> buttons;
  GtkWindow* transientFor = nullptr;
  bool drawn = false;
  bool answered = false;
};

void Proc(NavEventCallbackMessage message, NavCBRecPtr record, void* data) {
  auto* h = static_cast<Heard*>(data);
  if (message == kNavCBUserAction) h->actions.push_back(NavDialogGetUserAction(record->context));
  if (message == kNavCBTerminate) {
    h->terminated = true;
    NavDialogDispose(record->context);
  }
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

gboolean Answer(gpointer data) {
  auto* h = static_cast<Heard*>(data);
  GtkWidget* widget = GtkHostNavigationWidget(h->dialog);
  if (widget == nullptr || !gtk_widget_get_mapped(widget) || gtk_widget_get_allocated_width(widget) <= 1)
    return G_SOURCE_CONTINUE;
  if (!h->drawn) {  // one more turn so that it has drawn once
    h->drawn = true;
    return G_SOURCE_CONTINUE;
  }
  gchar* text = nullptr;
  g_object_get(widget, "text", &text, nullptr);
  h->text = text ? text : "";
  g_free(text);
  GList* buttons = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(widget))));
  for (GList* b = buttons; b; b = b->next)
    if (GTK_IS_BUTTON(b->data)) h->buttons.push_back(gtk_button_get_label(GTK_BUTTON(b->data)));
  g_list_free(buttons);
  h->transientFor = gtk_window_get_transient_for(GTK_WINDOW(widget));
  Screenshot(widget, "gtk-navigation-review.png");
  gtk_dialog_response(GTK_DIALOG(widget), kNavUserActionReviewDocuments);
  h->answered = true;
  return G_SOURCE_REMOVE;
}

TEST(GtkNavReviewTest, TheReviewQuestionIsASheetOfItsWindow) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  WindowRef window = nullptr;
  Rect bounds{120, 120, 420, 620};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  ShowWindow(window);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(window)); }));
  NavDialogCreationOptions options{};
  NavGetDefaultDialogCreationOptions(&options);
  options.parentWindow = window;
  options.modality = kWindowModalityWindowModal;
  options.clientName = CFStringMakeConstantUTF8("Review");
  Heard h;
  ASSERT_EQ(noErr, NavCreateAskReviewDocumentsDialog(&options, 2, Proc, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  EXPECT_TRUE(h.actions.empty());  // a sheet: nothing answered yet
  g_timeout_add(20, Answer, &h);
  ASSERT_TRUE(PumpUntil([&] { return h.terminated; }));
  EXPECT_EQ((std::vector<NavUserAction>{kNavUserActionReviewDocuments}), h.actions);
  EXPECT_EQ("You have 2 documents with unsaved changes. Do you want to review these changes?", h.text);
  EXPECT_EQ((std::vector<std::string>{"Discard Changes", "Cancel", "Review Changes\u2026"}), h.buttons);
  EXPECT_EQ(GTK_WINDOW(GtkHostWindowWidget(window)), h.transientFor);
  DisposeWindow(window);
  Pump();
}

}  // namespace
