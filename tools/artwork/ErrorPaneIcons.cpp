// The error panes' icons, as 32-pixel PNG images under Images/Error Pane:
// the kinds of error a row shows, the buttons of the PHP log's windows, and
// the function mark of the log's rows, and the panes' close button. Colour carries the meaning (errors
// red, user errors orange, warnings amber, notices blue), muted, with the
// tool's thin darker borders and white glyphs.
#include <cairo.h>

#include <cmath>
#include <string>
#include <utility>

#include "ArtworkDraw.h"

using namespace art;

namespace {

struct Colour {
  double r, g, b;
};

constexpr Colour kRed = {0.82, 0.25, 0.22};
constexpr Colour kOrange = {0.90, 0.52, 0.20};
constexpr Colour kAmber = {0.93, 0.68, 0.18};
constexpr Colour kBlue = {0.30, 0.52, 0.82};
constexpr Colour kSlate = {0.45, 0.50, 0.58};

Colour Lighter(Colour c, double k) { return {c.r + (1 - c.r) * k, c.g + (1 - c.g) * k, c.b + (1 - c.b) * k}; }
Colour Darker(Colour c, double k) { return {c.r * (1 - k), c.g * (1 - k), c.b * (1 - k)}; }

// Fills the current path with a gradient of the colour and a darker border.
void Body(cairo_t* cr, double y0, double y1, Colour c) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  const Colour top = Lighter(c, 0.45);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, c.r, c.g, c.b);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  const Colour border = Darker(c, 0.35);
  cairo_set_source_rgb(cr, border.r, border.g, border.b);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
}

// Bold text centred on (cx, cy).
void Glyph(cairo_t* cr, const char* text, double cx, double cy, double size, bool serif = false) {
  cairo_select_font_face(cr, serif ? "Serif" : "Sans", serif ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  cairo_move_to(cr, cx - e.x_bearing - e.width / 2, cy - e.y_bearing - e.height / 2);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_show_text(cr, text);
}

void Disc(cairo_t* cr, int s, Colour c, const char* glyph) {
  cairo_new_path(cr);
  cairo_arc(cr, s / 2.0, s / 2.0, s * 0.42, 0, 2 * M_PI);
  Body(cr, s * 0.08, s * 0.92, c);
  Glyph(cr, glyph, s / 2.0, s / 2.0, s * 0.62);
}

void WarningTriangle(cairo_t* cr, int s) {
  cairo_new_path(cr);
  cairo_move_to(cr, s * 0.5, s * 0.08);
  cairo_line_to(cr, s * 0.94, s * 0.88);
  cairo_line_to(cr, s * 0.06, s * 0.88);
  cairo_close_path(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Body(cr, s * 0.08, s * 0.88, kAmber);
  Glyph(cr, "!", s * 0.5, s * 0.58, s * 0.5);
}

void Octagon(cairo_t* cr, int s, Colour c) {
  cairo_new_path(cr);
  for (int i = 0; i < 8; ++i) {
    const double a = M_PI / 8 + i * M_PI / 4;
    const double x = s / 2.0 + std::cos(a) * s * 0.44, y = s / 2.0 + std::sin(a) * s * 0.44;
    if (i == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
  Body(cr, s * 0.06, s * 0.94, c);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, s * 0.1);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, s * 0.34, s * 0.34), cairo_line_to(cr, s * 0.66, s * 0.66);
  cairo_move_to(cr, s * 0.66, s * 0.34), cairo_line_to(cr, s * 0.34, s * 0.66);
  cairo_stroke(cr);
}

// A card with a slate header, as the log windows' buttons show.
void Card(cairo_t* cr, int s) {
  RoundedRect(cr, s * 0.1, s * 0.12, s * 0.8, s * 0.76, s * 0.08);
  Body(cr, s * 0.12, s * 0.88, {0.93, 0.93, 0.93});
}

void StackTrace(cairo_t* cr, int s) {
  for (int i = 0; i < 3; ++i) {
    RoundedRect(cr, s * (0.14 + i * 0.06), s * (0.16 + i * 0.24), s * 0.66, s * 0.2, s * 0.05);
    Body(cr, s * (0.16 + i * 0.24), s * (0.36 + i * 0.24), Lighter(kSlate, 0.15 * i));
  }
}

void Locals(cairo_t* cr, int s) {
  Card(cr, s);
  cairo_new_path(cr);
  cairo_arc(cr, s / 2.0, s / 2.0, s * 0.26, 0, 2 * M_PI);
  Body(cr, s * 0.24, s * 0.76, kSlate);
  Glyph(cr, "$", s / 2.0, s / 2.0, s * 0.4);
}

void Classes(cairo_t* cr, int s) {
  Card(cr, s);
  for (int i = 0; i < 3; ++i) {
    cairo_rectangle(cr, s * 0.2, s * (0.24 + i * 0.18), s * 0.6, s * 0.1);
    Body(cr, s * (0.24 + i * 0.18), s * (0.34 + i * 0.18), i == 0 ? kSlate : Lighter(kSlate, 0.4));
  }
}

void ClassTree(cairo_t* cr, int s) {
  const Colour line = Darker(kSlate, 0.2);
  cairo_set_source_rgb(cr, line.r, line.g, line.b);
  cairo_set_line_width(cr, s * 0.06);
  cairo_move_to(cr, s * 0.5, s * 0.3), cairo_line_to(cr, s * 0.5, s * 0.5);
  cairo_move_to(cr, s * 0.24, s * 0.72), cairo_line_to(cr, s * 0.24, s * 0.5);
  cairo_line_to(cr, s * 0.76, s * 0.5), cairo_line_to(cr, s * 0.76, s * 0.72);
  cairo_stroke(cr);
  for (auto [x, y] : {std::pair{0.5, 0.2}, {0.24, 0.78}, {0.76, 0.78}}) {
    RoundedRect(cr, s * (x - 0.16), s * (y - 0.12), s * 0.32, s * 0.24, s * 0.05);
    Body(cr, s * (y - 0.12), s * (y + 0.12), kSlate);
  }
}

void Function(cairo_t* cr, int s) {
  RoundedRect(cr, s * 0.12, s * 0.12, s * 0.76, s * 0.76, s * 0.16);
  Body(cr, s * 0.12, s * 0.88, Lighter(kBlue, 0.1));
  Glyph(cr, "\xC6\x92", s * 0.5, s * 0.5, s * 0.62, true);  // a hooked f
}

// The panes' close button: a small grey disc with a cross.
void Close(cairo_t* cr, int s) {
  cairo_new_path(cr);
  cairo_arc(cr, s / 2.0, s / 2.0, s * 0.34, 0, 2 * M_PI);
  Body(cr, s * 0.16, s * 0.84, {0.62, 0.62, 0.62});
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, s * 0.09);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, s * 0.38, s * 0.38), cairo_line_to(cr, s * 0.62, s * 0.62);
  cairo_move_to(cr, s * 0.62, s * 0.38), cairo_line_to(cr, s * 0.38, s * 0.62);
  cairo_stroke(cr);
}

}  // namespace

void ArtworkAddErrorPaneIcons(const ArtworkAdd& add) {
  const std::string folder = "Error Pane";
  constexpr int kSize = 32;
  add(folder, "Warning.png", kSize, kSize, [](cairo_t* cr, int s, int) { WarningTriangle(cr, s); });
  add(folder, "Notice.png", kSize, kSize, [](cairo_t* cr, int s, int) { Disc(cr, s, kBlue, "!"); });
  add(folder, "User Error.png", kSize, kSize, [](cairo_t* cr, int s, int) { Disc(cr, s, kOrange, "!"); });
  add(folder, "Fatal Error.png", kSize, kSize, [](cairo_t* cr, int s, int) { Octagon(cr, s, kRed); });
  add(folder, "Error.png", kSize, kSize, [](cairo_t* cr, int s, int) { Disc(cr, s, kRed, "!"); });
  add(folder, "Stack Trace.png", kSize, kSize, [](cairo_t* cr, int s, int) { StackTrace(cr, s); });
  add(folder, "Locals.png", kSize, kSize, [](cairo_t* cr, int s, int) { Locals(cr, s); });
  add(folder, "Classes.png", kSize, kSize, [](cairo_t* cr, int s, int) { Classes(cr, s); });
  add(folder, "Class Tree.png", kSize, kSize, [](cairo_t* cr, int s, int) { ClassTree(cr, s); });
  add(folder, "Function.png", kSize, kSize, [](cairo_t* cr, int s, int) { Function(cr, s); });
  add(folder, "Close.png", kSize, kSize, [](cairo_t* cr, int s, int) { Close(cr, s); });
}
