// The pieces of the shared view libraries: toolbar backgrounds, separators and
// grips; split view bars and grips; custom button faces; tab faces and close
// boxes. Each style is a shade of the one light-grey look.
#include <string>
#include <utility>
#include <vector>

#include "ArtworkDraw.h"

using namespace art;

namespace {

// A style's face: lighter or darker than the standard one.
Tone Shade(const Tone& t, double by) {
  return Tone{std::fmin(1, t.top + by), std::fmin(1, t.bottom + by), std::fmin(1, t.border + by), t.glyph};
}

// Grip dots along the middle of a piece, across or along it.
void Grip(cairo_t* cr, int w, int h, bool vertical, int dots = 3) {
  const double cx = w / 2.0, cy = h / 2.0;
  for (int i = 0; i < dots; ++i) {
    const double offset = (i - (dots - 1) / 2.0) * 3;
    const double x = vertical ? cx : cx + offset, y = vertical ? cy + offset : cy;
    cairo_arc(cr, x, y + 0.5, 1, 0, 2 * M_PI);
    Grey(cr, 1, 0.8);
    cairo_fill(cr);
    cairo_arc(cr, x, y, 1, 0, 2 * M_PI);
    Grey(cr, 0.42);
    cairo_fill(cr);
  }
}

// A vertical groove: a dark line with a light one beside it.
void Groove(cairo_t* cr, int w, int h) {
  Column(cr, w / 2 - 1 < 0 ? 0 : w / 2 - 1, 3, h - 3, 0, 0.28);
  if (w > 1) Column(cr, w / 2, 3, h - 3, 1, 0.8);
}

void PopupArrows(cairo_t* cr, int w, int h) {
  Embossed(cr, 0.25, [&](cairo_t* c) {
    Triangle(c, w / 2.0, h / 2.0 - 2.5, 6, 3.5, kUp);
    Triangle(c, w / 2.0, h / 2.0 + 2.5, 6, 3.5, kDown);
  });
}

// A tab's face: rounded top corners on its outer side.
void TabFace(cairo_t* cr, int w, int h, const Tone& t, int side /* -1 left, 0 middle, 1 right */) {
  const double r = 4;
  cairo_new_path(cr);
  if (side < 0) RoundedRect(cr, 0.5, 2.5, w + 2 * r, h + r, r);
  else if (side > 0) RoundedRect(cr, -2 * r - 0.5, 2.5, w + 2 * r, h + r, r);
  else cairo_rectangle(cr, -2, 2.5, w + 4, h + r);
  VerticalGradient(cr, 2, h, t.top, t.bottom);
  cairo_fill_preserve(cr);
  Grey(cr, t.border);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void CloseBox(cairo_t* cr, int w, int h, double disc, double cross) {
  const double r = std::fmin(w, h) / 2.0 - 1.5;
  if (disc >= 0) {
    cairo_arc(cr, w / 2.0, h / 2.0, r, 0, 2 * M_PI);
    Grey(cr, disc);
    cairo_fill(cr);
  }
  const double k = r * 0.45;
  cairo_move_to(cr, w / 2.0 - k, h / 2.0 - k);
  cairo_line_to(cr, w / 2.0 + k, h / 2.0 + k);
  cairo_move_to(cr, w / 2.0 + k, h / 2.0 - k);
  cairo_line_to(cr, w / 2.0 - k, h / 2.0 + k);
  cairo_set_line_width(cr, 1.5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Grey(cr, cross);
  cairo_stroke(cr);
}

}  // namespace

void ArtworkAddLibraryPieces(const ArtworkAdd& add) {
  // Toolbar: the background's height is every item's height.
  const std::vector<std::pair<const char*, double>> toolbarStyles = {
      {"standard", 0},   {"metal", -0.1},         {"gray", -0.08}, {"light-gray", 0.03},
      {"blue-steel", -0.05}, {"header-toolbar", 0.02}, {"Leopard", -0.04}};
  for (const auto& [name, shade] : toolbarStyles) {
    const std::string n = std::string(" (") + name + ").png";
    Tone tone = Shade(kNormal, shade);
    add("Toolbar Images", "Background" + n, 8, 32,
        [tone](cairo_t* cr, int w, int h) { BarFace(cr, w, h, tone, false, false); });
    add("Toolbar Images", "Seperator" + n, 2, 32, Groove);
    add("Toolbar Images", "Slider" + n, 10, 32, [](cairo_t* cr, int w, int h) { Grip(cr, w, h, true); });
  }

  // Split view: the background's width is the splitter's thickness, the
  // grip's width the grip's.
  const std::vector<std::pair<const char*, double>> splitStyles = {
      {"standard", 0}, {"header", 0.02}, {"metal", -0.1}, {"gray", -0.08}, {"minimal", 0.05}, {"external", -0.03}};
  for (const auto& [name, shade] : splitStyles) {
    const std::string n = std::string(" (") + name + ").png";
    const int thick = std::string(name) == "minimal" ? 5 : std::string(name) == "header" ? 18 : 8;
    Tone tone = Shade(kNormal, shade);
    add("SplitView Images", "VBackground" + n, thick, thick, [tone](cairo_t* cr, int w, int h) {
      cairo_rectangle(cr, 0, 0, w, h);
      HorizontalGradient(cr, 0, w, tone.top, tone.bottom);
      cairo_fill(cr);
      Column(cr, 0, 0, h, tone.border);
      Column(cr, w - 1, 0, h, tone.border);
    });
    add("SplitView Images", "HBackground" + n, thick, thick,
        [tone](cairo_t* cr, int w, int h) { BarFace(cr, w, h, tone, false, false); });
    add("SplitView Images", "VSlider" + n, thick, 16, [](cairo_t* cr, int w, int h) { Grip(cr, w, h, true); });
    add("SplitView Images", "HSlider" + n, 16, thick, [](cairo_t* cr, int w, int h) { Grip(cr, w, h, false); });
  }

  // Custom buttons: three faces of three pieces each, a separator and the
  // pop-up arrows, in four folders.
  const std::vector<std::pair<const char*, double>> buttonStyles = {
      {"Round Corner", 0.01}, {"Bevel Corner", 0}, {"Silver", -0.04}, {"Toolbar", -0.02}};
  for (const auto& [name, shade] : buttonStyles) {
    const std::string folder = std::string("Custom Buttons/") + name;
    const bool round = std::string(name) == "Round Corner";
    const std::vector<std::pair<const char*, Tone>> faces = {
        {"active", Shade(kNormal, shade)}, {"pressed", kPressed}, {"selected", Shade(kPressed, 0.06)}};
    for (const auto& [face, tone] : faces) {
      Tone t = tone;
      add(folder, std::string(face) + "_left.png", 5, 22, [t, round](cairo_t* cr, int w, int h) {
        if (!round) return BarFace(cr, w, h, t, true, false);
        RoundedRect(cr, 0.5, 0.5, w + 8, h - 1, 4);
        VerticalGradient(cr, 0, h, t.top, t.bottom);
        cairo_fill_preserve(cr);
        Grey(cr, t.border);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
      });
      add(folder, std::string(face) + "_right.png", 5, 22, [t, round](cairo_t* cr, int w, int h) {
        if (!round) return BarFace(cr, w, h, t, false, true);
        RoundedRect(cr, -8.5, 0.5, w + 8, h - 1, 4);
        VerticalGradient(cr, 0, h, t.top, t.bottom);
        cairo_fill_preserve(cr);
        Grey(cr, t.border);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
      });
      add(folder, std::string(face) + "_content.png", 4, 22,
          [t](cairo_t* cr, int w, int h) { BarFace(cr, w, h, t, false, false); });
    }
    add(folder, "seperator.png", 1, 22, [](cairo_t* cr, int w, int h) { Column(cr, 0, 1, h - 1, 0.58); });
    add(folder, "popup arrows.png", 8, 14, PopupArrows);
  }

  // Tabs: the centre's height is the tab's height.
  const std::vector<std::pair<const char*, double>> tabStyles = {
      {"standard", 0}, {"glossy metal", -0.06}, {"metallic", -0.1}, {"toolbar", -0.03}};
  for (const auto& [name, shade] : tabStyles) {
    const std::string folder = std::string("Tab Images/") + name;
    Tone base = Shade(kNormal, shade);
    add(folder, "background.png", 8, 24, [base](cairo_t* cr, int w, int h) {
      cairo_rectangle(cr, 0, 0, w, h);
      VerticalGradient(cr, 0, h, base.bottom - 0.04, base.bottom - 0.1);
      cairo_fill(cr);
      Row(cr, 0, w, h - 1, base.border);
    });
    const std::vector<std::pair<const char*, Tone>> states = {
        {"active", Tone{1, 0.97, base.border, 0.2}}, {"inactive", base}, {"pressed", Shade(kPressed, 0.02)}};
    for (const auto& [state, tone] : states) {
      Tone t = tone;
      add(folder, std::string("left_") + state + ".png", 6, 24,
          [t](cairo_t* cr, int w, int h) { TabFace(cr, w, h, t, -1); });
      add(folder, std::string("right_") + state + ".png", 6, 24,
          [t](cairo_t* cr, int w, int h) { TabFace(cr, w, h, t, 1); });
      add(folder, std::string("center_") + state + ".png", 8, 24,
          [t](cairo_t* cr, int w, int h) { TabFace(cr, w, h, t, 0); });
    }
    const struct {
      const char* file;
      double disc, cross;
    } boxes[] = {{"closebox_active.png", -1, 0.35},
                 {"closebox_inactive.png", -1, 0.6},
                 {"closebox_pressed.png", 0.45, 1},
                 {"closebox_active_pressed.png", 0.6, 1},
                 {"closebox_inactive_pressed.png", 0.7, 1}};
    for (const auto& b : boxes) {
      const double disc = b.disc, cross = b.cross;
      add(folder, b.file, 14, 14, [disc, cross](cairo_t* cr, int w, int h) { CloseBox(cr, w, h, disc, cross); });
    }
  }
}
