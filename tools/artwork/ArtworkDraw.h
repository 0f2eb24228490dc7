// The drawing kit of the artwork tool: one light-grey look for every piece.
#pragma once

#include <cairo.h>

#include <cmath>
#include <functional>
#include <string>

// Registers a picture: folder under Images/, file name, size, painter.
using ArtworkAdd = std::function<void(const std::string& folder, const std::string& name, int width, int height,
                                      std::function<void(cairo_t*, int, int)> paint)>;

// The error panes' icons (the kinds of error, the log windows' buttons).
void ArtworkAddErrorPaneIcons(const ArtworkAdd& add);

// The pieces of the program's own drawn views: the query view stepper, the
// bottom-bar buttons and the search field button.
void ArtworkAddViewPieces(const ArtworkAdd& add);
// The pieces of the shared view libraries: toolbar, split view, custom
// buttons and tabs.
void ArtworkAddLibraryPieces(const ArtworkAdd& add);
// The application's registered icons (.icns files of PNG images) and its own
// icon, written into the Resources folder; the number of files not written.
int ArtworkWriteApplicationIcons(const std::string& resources);

namespace art {

// A face's tones: gradient top and bottom grey, border grey, glyph grey.
struct Tone {
  double top, bottom, border, glyph;
};
constexpr Tone kNormal = {0.97, 0.85, 0.58, 0.28};
constexpr Tone kPressed = {0.74, 0.82, 0.45, 0.12};
constexpr Tone kHover = {1.00, 0.90, 0.58, 0.20};
constexpr Tone kInactive = {0.96, 0.93, 0.72, 0.55};

inline void Grey(cairo_t* cr, double g, double a = 1) { cairo_set_source_rgba(cr, g, g, g, a); }

inline void VerticalGradient(cairo_t* cr, double y0, double y1, double top, double bottom, double alpha = 1) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(p, 0, top, top, top, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom, bottom, bottom, alpha);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

inline void HorizontalGradient(cairo_t* cr, double x0, double x1, double left, double right, double alpha = 1) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, 0, x1, 0);
  cairo_pattern_add_color_stop_rgba(p, 0, left, left, left, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, right, right, right, alpha);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

inline void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::fmax(0, std::fmin(r, std::fmin(w / 2, h / 2)));
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// A horizontal line one pixel high across [x0, x1) at row y.
inline void Row(cairo_t* cr, double x0, double x1, int y, double grey, double alpha = 1) {
  cairo_rectangle(cr, x0, y, x1 - x0, 1);
  Grey(cr, grey, alpha);
  cairo_fill(cr);
}

// A vertical line one pixel wide across [y0, y1) at column x.
inline void Column(cairo_t* cr, int x, double y0, double y1, double grey, double alpha = 1) {
  cairo_rectangle(cr, x, y0, 1, y1 - y0);
  Grey(cr, grey, alpha);
  cairo_fill(cr);
}

enum Direction { kLeft, kRight, kUp, kDown };

// A filled triangle centred at (cx, cy), base across the direction.
inline void Triangle(cairo_t* cr, double cx, double cy, double base, double depth, Direction d) {
  const double b = base / 2, h = depth / 2;
  switch (d) {
    case kLeft:
      cairo_move_to(cr, cx + h, cy - b), cairo_line_to(cr, cx + h, cy + b), cairo_line_to(cr, cx - h, cy);
      break;
    case kRight:
      cairo_move_to(cr, cx - h, cy - b), cairo_line_to(cr, cx - h, cy + b), cairo_line_to(cr, cx + h, cy);
      break;
    case kUp:
      cairo_move_to(cr, cx - b, cy + h), cairo_line_to(cr, cx + b, cy + h), cairo_line_to(cr, cx, cy - h);
      break;
    case kDown:
      cairo_move_to(cr, cx - b, cy - h), cairo_line_to(cr, cx + b, cy - h), cairo_line_to(cr, cx, cy + h);
      break;
  }
  cairo_close_path(cr);
}

// A glyph drawn twice: a white emboss one pixel lower, then the glyph.
inline void Embossed(cairo_t* cr, double grey, const std::function<void(cairo_t*)>& shape, double emboss = 0.7) {
  cairo_save(cr);
  cairo_translate(cr, 0, 1);
  shape(cr);
  Grey(cr, 1, emboss);
  cairo_fill(cr);
  cairo_restore(cr);
  shape(cr);
  Grey(cr, grey);
  cairo_fill(cr);
}

// The magnifying glass: a ring and a handle, centred on the ring at (cx, cy).
inline void Magnifier(cairo_t* cr, double cx, double cy, double r, double grey) {
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_set_line_width(cr, std::fmax(1.2, r * 0.42));
  Grey(cr, grey);
  cairo_stroke(cr);
  const double k = r * 0.72;
  cairo_move_to(cr, cx + k + 0.3, cy + k + 0.3);
  cairo_line_to(cr, cx + k + r * 0.95, cy + k + r * 0.95);
  cairo_set_line_width(cr, std::fmax(1.6, r * 0.55));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// A face of a bar: gradient body with a border line on top and bottom and a
// white highlight under the top line; the sides get borders when asked.
inline void BarFace(cairo_t* cr, int w, int h, const Tone& t, bool leftBorder, bool rightBorder) {
  cairo_rectangle(cr, 0, 0, w, h);
  VerticalGradient(cr, 0, h, t.top, t.bottom);
  cairo_fill(cr);
  const bool pressed = t.top < t.bottom;
  Row(cr, 0, w, 0, t.border);
  if (pressed) Row(cr, 0, w, 1, 0, 0.10);  // a shade under the top line
  else Row(cr, 0, w, 1, 1, 0.75);
  Row(cr, 0, w, h - 1, t.border + 0.08);
  if (leftBorder) Column(cr, 0, 0, h, t.border);
  if (rightBorder) Column(cr, w - 1, 0, h, t.border);
}

}  // namespace art
