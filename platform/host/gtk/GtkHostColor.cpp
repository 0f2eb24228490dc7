// The desktop's colour picker: a GtkColorChooserDialog transient for the
// front window, run modally (a nested run of the loop).
#include <cmath>

#include "ColorPickerInternal.h"
#include "GtkHost.h"
#include "MacWindows.h"

namespace {

GtkWidget* gShown = nullptr;

double Unit(UInt16 v) { return v / 65535.0; }
UInt16 Component(double v) { return UInt16(std::lround(std::fmin(1.0, std::fmax(0.0, v)) * 65535.0)); }

bool Present(const ColorRequest& request, RGBColor* chosen) {
  WindowRef front = ActiveNonFloatingWindow();
  GtkWidget* top = front ? GtkHostWindowWidget(front) : nullptr;
  GtkWindow* parent = top && gtk_widget_get_visible(top) ? GTK_WINDOW(top) : nullptr;
  GtkWidget* dialog = gtk_color_chooser_dialog_new(request.prompt.c_str(), parent);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(dialog), FALSE);
  const GdkRGBA start = {Unit(request.input.red), Unit(request.input.green), Unit(request.input.blue), 1.0};
  gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(dialog), &start);
  gShown = dialog;
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gShown = nullptr;
  const bool ok = response == GTK_RESPONSE_OK;
  if (ok) {
    GdkRGBA rgba{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &rgba);
    *chosen = RGBColor{Component(rgba.red), Component(rgba.green), Component(rgba.blue)};
  }
  gtk_widget_destroy(dialog);
  return ok;
}

}  // namespace

void GtkHostColorStart() { ColorPickerSetPresenter(Present); }

GtkWidget* GtkHostColorWidget() { return gShown; }
