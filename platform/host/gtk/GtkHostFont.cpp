// The desktop's font panel: a GtkFontChooserDialog over the active window,
// not modal, that reports every font the user selects in it at once (its
// "font" property changes as the list's selection does) and its closing.
#include <cmath>
#include <string>

#include "FontPanelInternal.h"
#include "GtkHost.h"
#include "MacWindows.h"

namespace {

GtkWidget* gDialog = nullptr;
bool gSetting = false;  // the program is setting the font: not the user's pick

std::string Description(const FontPanelRequest& request) {
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, request.family.empty() ? "Monospace" : request.family.c_str());
  pango_font_description_set_size(d, (request.size > 0 ? request.size : 12) * PANGO_SCALE);
  if (request.style & 1) pango_font_description_set_weight(d, PANGO_WEIGHT_BOLD);
  if (request.style & 2) pango_font_description_set_style(d, PANGO_STYLE_ITALIC);
  char* text = pango_font_description_to_string(d);
  std::string out = text ? text : "";
  g_free(text);
  pango_font_description_free(d);
  return out;
}

void SetFont(const FontPanelRequest& request) {
  if (gDialog == nullptr) return;
  gSetting = true;
  gtk_font_chooser_set_font(GTK_FONT_CHOOSER(gDialog), Description(request).c_str());
  gSetting = false;
}

void Report() {
  if (gDialog == nullptr || gSetting) return;
  PangoFontDescription* d = gtk_font_chooser_get_font_desc(GTK_FONT_CHOOSER(gDialog));
  if (d == nullptr) return;
  const char* family = pango_font_description_get_family(d);
  FMFontStyle style = 0;
  if (pango_font_description_get_weight(d) >= PANGO_WEIGHT_BOLD) style |= 1;
  if (pango_font_description_get_style(d) != PANGO_STYLE_NORMAL) style |= 2;
  const int size = pango_font_description_get_size(d);
  const FMFontSize points = FMFontSize(std::lround(double(size) / PANGO_SCALE));
  const std::string name = family ? family : "";
  pango_font_description_free(d);
  if (!name.empty()) FontPanelUserSelected(name, style, points > 0 ? points : 12);
}

void OnFont(GObject*, GParamSpec*, gpointer) { Report(); }

void Close() {
  GtkWidget* dialog = gDialog;
  if (dialog == nullptr) return;
  gDialog = nullptr;
  gtk_widget_destroy(dialog);
  FontPanelUserClosed();
}

// "Select" takes the font shown (already reported as it was picked, but the
// user may have typed a size since); either button closes the panel.
void OnResponse(GtkDialog*, gint response, gpointer) {
  if (response == GTK_RESPONSE_OK) Report();
  Close();
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  Close();
  return TRUE;
}

void Show(const FontPanelRequest& request) {
  if (gDialog == nullptr) {
    WindowRef front = ActiveNonFloatingWindow();
    GtkWidget* top = front ? GtkHostWindowWidget(front) : nullptr;
    GtkWindow* parent = top && gtk_widget_get_visible(top) ? GTK_WINDOW(top) : nullptr;
    gDialog = gtk_font_chooser_dialog_new("Fonts", parent);
    gtk_window_set_modal(GTK_WINDOW(gDialog), FALSE);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(gDialog), FALSE);
    SetFont(request);
    g_signal_connect(gDialog, "notify::font", G_CALLBACK(OnFont), nullptr);
    g_signal_connect(gDialog, "response", G_CALLBACK(OnResponse), nullptr);
    g_signal_connect(gDialog, "delete-event", G_CALLBACK(OnDelete), nullptr);
  } else {
    SetFont(request);
  }
  gtk_window_present(GTK_WINDOW(gDialog));
}

void Hide() {
  GtkWidget* dialog = gDialog;
  gDialog = nullptr;
  if (dialog) gtk_widget_destroy(dialog);
}

void Update(const FontPanelRequest& request) { SetFont(request); }

const FontPanelPresenter kPresenter = {Show, Hide, Update};

}  // namespace

void GtkHostFontStart() { FontPanelSetPresenter(&kPresenter); }

GtkWidget* GtkHostFontWidget() { return gDialog; }
