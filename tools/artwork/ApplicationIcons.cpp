// The application's icons: the ones it registers by (creator, type) as .icns
// files holding PNG images at 16, 32 and 128 pixels, a few small PNG images
// the editor windows show, the browser's selection image, and the program's
// own icon at the sizes a desktop installs.
//
// Same look as the other pieces: soft vertical gradients, thin darker
// borders, dark grey glyphs with a white emboss. Colour is kept for meaning
// only (errors red, warnings amber, notices blue, adding green) and muted.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ArtworkDraw.h"

using namespace art;

namespace {

using Glyph = std::function<void(cairo_t*, double)>;  // draws into an s x s box

struct Colour {
  double r, g, b;
};

constexpr Colour kRed = {0.82, 0.25, 0.22};
constexpr Colour kAmber = {0.93, 0.68, 0.18};
constexpr Colour kBlue = {0.30, 0.52, 0.82};
constexpr Colour kGreen = {0.33, 0.65, 0.32};
constexpr Colour kTeal = {0.22, 0.60, 0.62};
constexpr Colour kPurple = {0.52, 0.38, 0.72};
constexpr Colour kOrange = {0.90, 0.52, 0.20};
constexpr Colour kGrey = {0.55, 0.55, 0.55};
constexpr Colour kFolder = {0.60, 0.72, 0.86};

Colour Lighter(Colour c, double k) { return {c.r + (1 - c.r) * k, c.g + (1 - c.g) * k, c.b + (1 - c.b) * k}; }
Colour Darker(Colour c, double k) { return {c.r * (1 - k), c.g * (1 - k), c.b * (1 - k)}; }

void Source(cairo_t* cr, Colour c, double a = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

// Fills the current path with a top-to-bottom gradient of the colour and
// strokes it with a darker border.
void Body(cairo_t* cr, double s, double y0, double y1, Colour c) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  Colour top = Lighter(c, 0.45), bottom = c;
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  Source(cr, Darker(c, 0.35));
  cairo_set_line_width(cr, std::fmax(0.8, s / 28));
  cairo_stroke(cr);
}

// A light grey body, as the bars and buttons have.
void GreyBody(cairo_t* cr, double s, double y0, double y1) { Body(cr, s, y0, y1, {0.84, 0.84, 0.84}); }

void Line(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

// Text centred on (cx, cy), height about px.
void Text(cairo_t* cr, const char* text, double cx, double cy, double px, Colour c, bool bold = true,
          bool serif = false) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, serif ? "Serif" : "Sans");
  pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(desc, std::fmax(1, px) * PANGO_SCALE);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_text(layout, text, -1);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  cairo_move_to(cr, cx - ink.x - ink.width / 2.0, cy - ink.y - ink.height / 2.0);
  Source(cr, c);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

// ---------------------------------------------------------------------------
// Shapes

void DocumentShape(cairo_t* cr, double x, double y, double w, double h) {
  const double fold = w * 0.3;
  cairo_new_path(cr);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + w - fold, y);
  cairo_line_to(cr, x + w, y + fold);
  cairo_line_to(cr, x + w, y + h);
  cairo_line_to(cr, x, y + h);
  cairo_close_path(cr);
}

void Document(cairo_t* cr, double s, double x, double y, double w, double h, bool lines = true) {
  DocumentShape(cr, x, y, w, h);
  Body(cr, s, y, y + h, {0.90, 0.90, 0.90});
  const double fold = w * 0.3;
  cairo_move_to(cr, x + w - fold, y);
  cairo_line_to(cr, x + w - fold, y + fold);
  cairo_line_to(cr, x + w, y + fold);
  Grey(cr, 0.55);
  cairo_set_line_width(cr, std::fmax(0.6, s / 40));
  cairo_stroke(cr);
  if (!lines || s < 20) return;
  Grey(cr, 0.6);
  for (double ly = y + h * 0.38; ly < y + h * 0.88; ly += h * 0.12) Line(cr, x + w * 0.18, ly, x + w * 0.8, ly, s / 40);
}

void FolderShape(cairo_t* cr, double s, Colour c) {
  cairo_new_path(cr);
  cairo_move_to(cr, s * 0.08, s * 0.24);
  cairo_line_to(cr, s * 0.38, s * 0.24);
  cairo_line_to(cr, s * 0.45, s * 0.32);
  cairo_line_to(cr, s * 0.92, s * 0.32);
  cairo_line_to(cr, s * 0.92, s * 0.84);
  cairo_line_to(cr, s * 0.08, s * 0.84);
  cairo_close_path(cr);
  Body(cr, s, s * 0.24, s * 0.84, Darker(c, 0.12));
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.08, s * 0.38, s * 0.84, s * 0.46, s * 0.04);
  Body(cr, s, s * 0.38, s * 0.84, c);
}

// A round badge of the colour at (cx, cy) with a white glyph.
void Badge(cairo_t* cr, double s, double cx, double cy, double r, Colour c, const Glyph& glyph) {
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  Body(cr, s, cy - r, cy + r, c);
  cairo_save(cr);
  cairo_translate(cr, cx - r, cy - r);
  glyph(cr, 2 * r);
  cairo_restore(cr);
}

void PlusGlyph(cairo_t* cr, double s) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  Line(cr, s * 0.5, s * 0.25, s * 0.5, s * 0.75, s * 0.16);
  Line(cr, s * 0.25, s * 0.5, s * 0.75, s * 0.5, s * 0.16);
}
void CrossGlyph(cairo_t* cr, double s) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  Line(cr, s * 0.3, s * 0.3, s * 0.7, s * 0.7, s * 0.14);
  Line(cr, s * 0.7, s * 0.3, s * 0.3, s * 0.7, s * 0.14);
}
void CheckGlyph(cairo_t* cr, double s) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, s * 0.26, s * 0.52);
  cairo_line_to(cr, s * 0.44, s * 0.7);
  cairo_line_to(cr, s * 0.74, s * 0.32);
  cairo_set_line_width(cr, s * 0.14);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}
Glyph LetterGlyph(const char* text, bool serif = false) {
  return [text, serif](cairo_t* cr, double s) { Text(cr, text, s * 0.5, s * 0.5, s * 0.58, {1, 1, 1}, true, serif); };
}

void Arrow(cairo_t* cr, double s, double cx, double cy, double length, Direction d, Colour c) {
  const double w = length * 0.32, head = length * 0.5;
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  const double angle[] = {M_PI, 0, -M_PI / 2, M_PI / 2};  // kLeft, kRight, kUp, kDown
  cairo_rotate(cr, angle[d]);
  cairo_new_path(cr);
  cairo_move_to(cr, -length / 2, -w / 2);
  cairo_line_to(cr, length / 2 - head, -w / 2);
  cairo_line_to(cr, length / 2 - head, -head * 0.8);
  cairo_line_to(cr, length / 2, 0);
  cairo_line_to(cr, length / 2 - head, head * 0.8);
  cairo_line_to(cr, length / 2 - head, w / 2);
  cairo_line_to(cr, -length / 2, w / 2);
  cairo_close_path(cr);
  cairo_restore(cr);
  Body(cr, s, cy - length / 2, cy + length / 2, c);
}

void Gear(cairo_t* cr, double s, double cx, double cy, double r, int teeth, Colour c) {
  cairo_new_path(cr);
  for (int i = 0; i < teeth * 2; ++i) {
    const double a0 = i * M_PI / teeth, a1 = (i + 1) * M_PI / teeth;
    const double rr = i % 2 == 0 ? r : r * 0.78;
    cairo_arc(cr, cx, cy, rr, a0, a1);
  }
  cairo_close_path(cr);
  cairo_new_sub_path(cr);
  cairo_arc_negative(cr, cx, cy, r * 0.32, 2 * M_PI, 0);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  Body(cr, s, cy - r, cy + r, c);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

void Disk(cairo_t* cr, double s) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.1, s * 0.36, s * 0.8, s * 0.36, s * 0.06);
  GreyBody(cr, s, s * 0.36, s * 0.72);
  cairo_set_source_rgb(cr, 0.35, 0.75, 0.35);
  cairo_arc(cr, s * 0.78, s * 0.6, std::fmax(0.8, s * 0.04), 0, 2 * M_PI);
  cairo_fill(cr);
  Grey(cr, 0.55);
  Line(cr, s * 0.18, s * 0.48, s * 0.6, s * 0.48, std::fmax(0.6, s / 40));
}

void Globe(cairo_t* cr, double s, double cx, double cy, double r) {
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  Body(cr, s, cy - r, cy + r, kBlue);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
  cairo_set_line_width(cr, std::fmax(0.6, s / 36));
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, 0.45, 1);
  cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_stroke(cr);
  Line(cr, cx - r, cy, cx + r, cy, std::fmax(0.6, s / 36));
  Line(cr, cx, cy - r, cx, cy + r, std::fmax(0.6, s / 36));
}

void Server(cairo_t* cr, double s) {
  for (int i = 0; i < 3; ++i) {
    const double y = s * (0.14 + i * 0.25);
    cairo_new_path(cr);
    RoundedRect(cr, s * 0.2, y, s * 0.6, s * 0.21, s * 0.04);
    GreyBody(cr, s, y, y + s * 0.21);
    cairo_set_source_rgb(cr, 0.35, 0.75, 0.35);
    cairo_arc(cr, s * 0.7, y + s * 0.105, std::fmax(0.7, s * 0.035), 0, 2 * M_PI);
    cairo_fill(cr);
    Grey(cr, 0.5);
    Line(cr, s * 0.28, y + s * 0.105, s * 0.55, y + s * 0.105, std::fmax(0.6, s / 36));
  }
}

void Window(cairo_t* cr, double s, double x, double y, double w, double h) {
  cairo_new_path(cr);
  RoundedRect(cr, x, y, w, h, s * 0.04);
  Body(cr, s, y, y + h, {0.95, 0.95, 0.95});
  cairo_new_path(cr);
  cairo_rectangle(cr, x, y, w, h * 0.2);
  VerticalGradient(cr, y, y + h * 0.2, 0.9, 0.72);
  cairo_fill(cr);
  Grey(cr, 0.45);
  cairo_set_line_width(cr, std::fmax(0.8, s / 28));
  cairo_rectangle(cr, x, y, w, h);
  cairo_stroke(cr);
}

void Eye(cairo_t* cr, double s) {
  cairo_new_path(cr);
  cairo_move_to(cr, s * 0.08, s * 0.5);
  cairo_curve_to(cr, s * 0.3, s * 0.2, s * 0.7, s * 0.2, s * 0.92, s * 0.5);
  cairo_curve_to(cr, s * 0.7, s * 0.8, s * 0.3, s * 0.8, s * 0.08, s * 0.5);
  cairo_close_path(cr);
  Body(cr, s, s * 0.25, s * 0.75, {0.96, 0.96, 0.96});
  cairo_new_path(cr);
  cairo_arc(cr, s * 0.5, s * 0.5, s * 0.16, 0, 2 * M_PI);
  Body(cr, s, s * 0.34, s * 0.66, kBlue);
  Grey(cr, 0.15);
  cairo_arc(cr, s * 0.5, s * 0.5, s * 0.07, 0, 2 * M_PI);
  cairo_fill(cr);
}

void Triangle(cairo_t* cr, double s, Colour c) {
  cairo_new_path(cr);
  cairo_move_to(cr, s * 0.5, s * 0.1);
  cairo_line_to(cr, s * 0.94, s * 0.88);
  cairo_line_to(cr, s * 0.06, s * 0.88);
  cairo_close_path(cr);
  Body(cr, s, s * 0.1, s * 0.88, c);
  Text(cr, "!", s * 0.5, s * 0.6, s * 0.44, {0.2, 0.2, 0.2});
}

void Clipboard(cairo_t* cr, double s) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.18, s * 0.14, s * 0.64, s * 0.78, s * 0.05);
  Body(cr, s, s * 0.14, s * 0.92, {0.78, 0.64, 0.45});
  Document(cr, s, s * 0.26, s * 0.26, s * 0.48, s * 0.58);
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.36, s * 0.08, s * 0.28, s * 0.12, s * 0.03);
  GreyBody(cr, s, s * 0.08, s * 0.2);
}

void Bars(cairo_t* cr, double s) {
  const double heights[] = {0.35, 0.6, 0.45, 0.75};
  const Colour colours[] = {kBlue, kGreen, kAmber, kRed};
  for (int i = 0; i < 4; ++i) {
    const double x = s * (0.14 + i * 0.19), h = s * heights[i];
    cairo_new_path(cr);
    cairo_rectangle(cr, x, s * 0.88 - h, s * 0.15, h);
    Body(cr, s, s * 0.88 - h, s * 0.88, colours[i]);
  }
  Grey(cr, 0.35);
  Line(cr, s * 0.08, s * 0.9, s * 0.92, s * 0.9, std::fmax(0.8, s / 28));
}

void Pie(cairo_t* cr, double s) {
  const double cx = s * 0.5, cy = s * 0.52, r = s * 0.38;
  const double stops[] = {0, 0.35, 0.6, 0.82, 1};
  const Colour colours[] = {kBlue, kGreen, kAmber, kRed};
  for (int i = 0; i < 4; ++i) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx, cy);
    cairo_arc(cr, cx, cy, r, -M_PI / 2 + stops[i] * 2 * M_PI, -M_PI / 2 + stops[i + 1] * 2 * M_PI);
    cairo_close_path(cr);
    Body(cr, s, cy - r, cy + r, colours[i]);
  }
}

void Cylinder(cairo_t* cr, double s) {
  const double x = s * 0.2, w = s * 0.6, top = s * 0.16, bottom = s * 0.84, ry = s * 0.09;
  cairo_new_path(cr);
  cairo_move_to(cr, x, top);
  cairo_line_to(cr, x, bottom);
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, bottom);
  cairo_scale(cr, w / 2, ry);
  cairo_arc_negative(cr, 0, 0, 1, M_PI, 0);
  cairo_restore(cr);
  cairo_line_to(cr, x + w, top);
  cairo_close_path(cr);
  GreyBody(cr, s, top, bottom);
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, top);
  cairo_scale(cr, w / 2, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  Body(cr, s, top - ry, top + ry, {0.92, 0.92, 0.92});
  Grey(cr, 0.55);
  for (double y : {0.4, 0.62}) {
    cairo_save(cr);
    cairo_translate(cr, x + w / 2, s * y);
    cairo_scale(cr, w / 2, ry);
    cairo_arc_negative(cr, 0, 0, 1, M_PI, 0);
    cairo_restore(cr);
    cairo_set_line_width(cr, std::fmax(0.6, s / 36));
    cairo_stroke(cr);
  }
}

void Pencil(cairo_t* cr, double s) {
  cairo_save(cr);
  cairo_translate(cr, s * 0.5, s * 0.5);
  cairo_rotate(cr, -M_PI / 4);
  cairo_new_path(cr);
  cairo_rectangle(cr, -s * 0.3, -s * 0.09, s * 0.5, s * 0.18);
  cairo_restore(cr);
  Body(cr, s, s * 0.2, s * 0.8, kAmber);
  cairo_save(cr);
  cairo_translate(cr, s * 0.5, s * 0.5);
  cairo_rotate(cr, -M_PI / 4);
  cairo_new_path(cr);
  cairo_move_to(cr, -s * 0.3, -s * 0.09);
  cairo_line_to(cr, -s * 0.44, 0);
  cairo_line_to(cr, -s * 0.3, s * 0.09);
  cairo_close_path(cr);
  cairo_restore(cr);
  Body(cr, s, s * 0.6, s * 0.85, {0.93, 0.82, 0.65});
  cairo_save(cr);
  cairo_translate(cr, s * 0.5, s * 0.5);
  cairo_rotate(cr, -M_PI / 4);
  cairo_new_path(cr);
  cairo_rectangle(cr, s * 0.2, -s * 0.09, s * 0.1, s * 0.18);
  cairo_restore(cr);
  Body(cr, s, s * 0.1, s * 0.4, {0.85, 0.55, 0.6});
}

void Book(cairo_t* cr, double s, Colour c) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.2, s * 0.1, s * 0.6, s * 0.8, s * 0.04);
  Body(cr, s, s * 0.1, s * 0.9, c);
  cairo_new_path(cr);
  cairo_rectangle(cr, s * 0.26, s * 0.8, s * 0.52, s * 0.06);
  Body(cr, s, s * 0.8, s * 0.86, {0.96, 0.96, 0.96});
  cairo_set_source_rgba(cr, 1, 1, 1, 0.7);
  Line(cr, s * 0.34, s * 0.28, s * 0.66, s * 0.28, std::fmax(0.8, s / 24));
}

void Clock(cairo_t* cr, double s) {
  cairo_new_path(cr);
  cairo_arc(cr, s * 0.5, s * 0.5, s * 0.4, 0, 2 * M_PI);
  Body(cr, s, s * 0.1, s * 0.9, {0.95, 0.95, 0.95});
  Grey(cr, 0.25);
  Line(cr, s * 0.5, s * 0.5, s * 0.5, s * 0.24, s * 0.07);
  Line(cr, s * 0.5, s * 0.5, s * 0.68, s * 0.58, s * 0.07);
}

void Monitor(cairo_t* cr, double s) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.1, s * 0.14, s * 0.8, s * 0.54, s * 0.04);
  GreyBody(cr, s, s * 0.14, s * 0.68);
  cairo_new_path(cr);
  cairo_rectangle(cr, s * 0.16, s * 0.2, s * 0.68, s * 0.42);
  Body(cr, s, s * 0.2, s * 0.62, kBlue);
  cairo_new_path(cr);
  cairo_rectangle(cr, s * 0.3, s * 0.78, s * 0.4, s * 0.08);
  GreyBody(cr, s, s * 0.78, s * 0.86);
  Grey(cr, 0.5);
  Line(cr, s * 0.5, s * 0.68, s * 0.5, s * 0.78, s * 0.08);
}

void Terminal(cairo_t* cr, double s) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.1, s * 0.16, s * 0.8, s * 0.68, s * 0.06);
  Body(cr, s, s * 0.16, s * 0.84, {0.22, 0.22, 0.24});
  cairo_set_source_rgb(cr, 0.85, 0.95, 0.85);
  cairo_move_to(cr, s * 0.22, s * 0.36);
  cairo_line_to(cr, s * 0.36, s * 0.48);
  cairo_line_to(cr, s * 0.22, s * 0.6);
  cairo_set_line_width(cr, std::fmax(1, s * 0.06));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  Line(cr, s * 0.42, s * 0.64, s * 0.62, s * 0.64, std::fmax(1, s * 0.06));
}

void Magnify(cairo_t* cr, double s) {
  cairo_new_path(cr);
  cairo_arc(cr, s * 0.42, s * 0.42, s * 0.24, 0, 2 * M_PI);
  Body(cr, s, s * 0.18, s * 0.66, {0.85, 0.92, 0.98});
  Magnifier(cr, s * 0.42, s * 0.42, s * 0.24, 0.3);
}

void Star(cairo_t* cr, double s, double cx, double cy, double r, Colour c) {
  cairo_new_path(cr);
  for (int i = 0; i < 10; ++i) {
    const double a = -M_PI / 2 + i * M_PI / 5, rr = i % 2 == 0 ? r : r * 0.45;
    if (i == 0) cairo_move_to(cr, cx + rr * cos(a), cy + rr * sin(a));
    else cairo_line_to(cr, cx + rr * cos(a), cy + rr * sin(a));
  }
  cairo_close_path(cr);
  Body(cr, s, cy - r, cy + r, c);
}

void Sliders(cairo_t* cr, double s) {
  for (int i = 0; i < 3; ++i) {
    const double y = s * (0.25 + i * 0.25), knob = s * (0.3 + 0.2 * ((i * 2) % 3));
    Grey(cr, 0.45);
    Line(cr, s * 0.14, y, s * 0.86, y, std::fmax(1, s * 0.05));
    cairo_new_path(cr);
    cairo_arc(cr, knob, y, s * 0.09, 0, 2 * M_PI);
    GreyBody(cr, s, y - s * 0.09, y + s * 0.09);
  }
}

void Symbol(cairo_t* cr, double s, const char* letter, Colour c) {
  cairo_new_path(cr);
  RoundedRect(cr, s * 0.08, s * 0.08, s * 0.84, s * 0.84, s * 0.18);
  Body(cr, s, s * 0.08, s * 0.92, c);
  Text(cr, letter, s * 0.5, s * 0.5, s * 0.56, {1, 1, 1});
}

// ---------------------------------------------------------------------------
// The icons by file

struct Icon {
  const char* folder;  // "" for the resources root
  const char* file;
  Glyph paint;
};

std::vector<Icon> Icons() {
  const char* P = "Images/Preference Images";
  const char* A = "Images/Application Images";
  const char* S = "Images/Symbolic Images";
  const char* H = "Images/HTMLViewer";
  auto tag = [](const char* label, Colour c) {
    return [label, c](cairo_t* cr, double s) {
      cairo_new_path(cr);
      RoundedRect(cr, s * 0.06, s * 0.14, s * 0.88, s * 0.72, s * 0.16);
      Body(cr, s, s * 0.14, s * 0.86, c);
      const size_t n = std::strlen(label);
      Text(cr, label, s * 0.5, s * 0.5, s * (n <= 1 ? 0.54 : n == 2 ? 0.42 : n == 3 ? 0.32 : 0.26), {1, 1, 1});
    };
  };
  auto folder = [](Colour c) { return [c](cairo_t* cr, double s) { FolderShape(cr, s, c); }; };
  auto doc = [](cairo_t* cr, double s) { Document(cr, s, s * 0.2, s * 0.08, s * 0.6, s * 0.84); };
  auto badged = [](Glyph base, Colour c, Glyph glyph) {
    return [base, c, glyph](cairo_t* cr, double s) {
      base(cr, s);
      Badge(cr, s, s * 0.72, s * 0.72, s * 0.22, c, glyph);
    };
  };
  auto disk = [](Direction d) {
    return [d](cairo_t* cr, double s) {
      Disk(cr, s);
      Arrow(cr, s, s * 0.5, d == kUp ? s * 0.2 : s * 0.22, s * 0.34, d, kGreen);
    };
  };
  auto button = [](Direction d) {
    return [d](cairo_t* cr, double s) {
      cairo_new_path(cr);
      cairo_arc(cr, s * 0.5, s * 0.5, s * 0.4, 0, 2 * M_PI);
      GreyBody(cr, s, s * 0.1, s * 0.9);
      Arrow(cr, s, s * 0.5, s * 0.5, s * 0.5, d, {0.4, 0.4, 0.4});
    };
  };
  auto triangle = [](Direction d) {
    return [d](cairo_t* cr, double s) {
      Embossed(cr, 0.3, [&](cairo_t* c) { art::Triangle(c, s * 0.5, s * 0.5, s * 0.6, s * 0.5, d); });
    };
  };
  auto badge = [](Colour c, Glyph glyph) {
    return [c, glyph](cairo_t* cr, double s) { Badge(cr, s, s * 0.5, s * 0.5, s * 0.4, c, glyph); };
  };
  auto gear = [](int teeth) { return [teeth](cairo_t* cr, double s) { Gear(cr, s, s * 0.5, s * 0.5, s * 0.4, teeth, kGrey); }; };
  auto network = [](cairo_t* cr, double s) {
    const double pts[][2] = {{0.5, 0.22}, {0.22, 0.74}, {0.78, 0.74}};
    Grey(cr, 0.4);
    for (int i = 0; i < 3; ++i)
      Line(cr, s * pts[i][0], s * pts[i][1], s * pts[(i + 1) % 3][0], s * pts[(i + 1) % 3][1], std::fmax(1, s * 0.05));
    for (auto& p : pts) {
      cairo_new_path(cr);
      cairo_arc(cr, s * p[0], s * p[1], s * 0.15, 0, 2 * M_PI);
      Body(cr, s, s * (p[1] - 0.15), s * (p[1] + 0.15), kBlue);
    }
  };
  auto connect = [](cairo_t* cr, double s) {
    Grey(cr, 0.4);
    Line(cr, s * 0.3, s * 0.7, s * 0.7, s * 0.3, std::fmax(1, s * 0.08));
    for (double c : {0.28, 0.72}) {
      cairo_new_path(cr);
      cairo_arc(cr, s * c, s * (1 - c), s * 0.17, 0, 2 * M_PI);
      Body(cr, s, s * (1 - c - 0.17), s * (1 - c + 0.17), c < 0.5 ? kGreen : kBlue);
    }
  };
  auto documents = [](cairo_t* cr, double s) {
    Document(cr, s, s * 0.3, s * 0.06, s * 0.56, s * 0.74);
    Document(cr, s, s * 0.14, s * 0.2, s * 0.56, s * 0.74);
  };
  auto images = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_rectangle(cr, s * 0.1, s * 0.18, s * 0.8, s * 0.64);
    Body(cr, s, s * 0.18, s * 0.82, {0.75, 0.86, 0.96});
    cairo_new_path(cr);
    cairo_move_to(cr, s * 0.14, s * 0.78);
    cairo_line_to(cr, s * 0.4, s * 0.44);
    cairo_line_to(cr, s * 0.58, s * 0.66);
    cairo_line_to(cr, s * 0.68, s * 0.54);
    cairo_line_to(cr, s * 0.86, s * 0.78);
    cairo_close_path(cr);
    Body(cr, s, s * 0.44, s * 0.78, kGreen);
    cairo_new_path(cr);
    cairo_arc(cr, s * 0.7, s * 0.34, s * 0.07, 0, 2 * M_PI);
    Body(cr, s, s * 0.27, s * 0.41, kAmber);
  };
  auto notepad = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_rectangle(cr, s * 0.2, s * 0.12, s * 0.6, s * 0.78);
    Body(cr, s, s * 0.12, s * 0.9, {0.98, 0.9, 0.55});
    Grey(cr, 0.55);
    for (double y = 0.34; y < 0.85; y += 0.12) Line(cr, s * 0.28, s * y, s * 0.72, s * y, std::fmax(0.6, s / 40));
    cairo_new_path(cr);
    cairo_rectangle(cr, s * 0.2, s * 0.12, s * 0.6, s * 0.1);
    Body(cr, s, s * 0.12, s * 0.22, kRed);
  };
  auto refresh = [](cairo_t* cr, double s) {
    Source(cr, Darker(kGreen, 0.1));
    cairo_set_line_width(cr, s * 0.12);
    cairo_new_path(cr);
    cairo_arc(cr, s * 0.5, s * 0.52, s * 0.3, -M_PI * 0.35, M_PI * 1.3);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, s * 0.58, s * 0.1);
    cairo_line_to(cr, s * 0.9, s * 0.22);
    cairo_line_to(cr, s * 0.64, s * 0.42);
    cairo_close_path(cr);
    Body(cr, s, s * 0.1, s * 0.42, kGreen);
  };
  auto junk = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_move_to(cr, s * 0.22, s * 0.28);
    cairo_line_to(cr, s * 0.78, s * 0.28);
    cairo_line_to(cr, s * 0.72, s * 0.9);
    cairo_line_to(cr, s * 0.28, s * 0.9);
    cairo_close_path(cr);
    GreyBody(cr, s, s * 0.28, s * 0.9);
    Document(cr, s, s * 0.34, s * 0.08, s * 0.3, s * 0.3, false);
    cairo_new_path(cr);
    RoundedRect(cr, s * 0.16, s * 0.24, s * 0.68, s * 0.08, s * 0.03);
    GreyBody(cr, s, s * 0.24, s * 0.32);
  };
  auto bulb = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_arc(cr, s * 0.5, s * 0.4, s * 0.28, M_PI * 0.8, M_PI * 2.2);
    cairo_line_to(cr, s * 0.62, s * 0.7);
    cairo_line_to(cr, s * 0.38, s * 0.7);
    cairo_close_path(cr);
    Body(cr, s, s * 0.12, s * 0.7, {1.0, 0.85, 0.3});
    cairo_new_path(cr);
    cairo_rectangle(cr, s * 0.38, s * 0.7, s * 0.24, s * 0.16);
    GreyBody(cr, s, s * 0.7, s * 0.86);
  };
  auto clip = [](cairo_t* cr, double s) {
    Grey(cr, 0.4);
    cairo_set_line_width(cr, std::fmax(1, s * 0.07));
    cairo_new_path(cr);
    cairo_move_to(cr, s * 0.62, s * 0.3);
    cairo_line_to(cr, s * 0.62, s * 0.72);
    cairo_arc_negative(cr, s * 0.5, s * 0.72, s * 0.12, 0, M_PI);
    cairo_line_to(cr, s * 0.38, s * 0.22);
    cairo_arc(cr, s * 0.46, s * 0.22, s * 0.08, M_PI, 0);
    cairo_line_to(cr, s * 0.54, s * 0.64);
    cairo_stroke(cr);
  };
  auto event = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    RoundedRect(cr, s * 0.14, s * 0.18, s * 0.72, s * 0.68, s * 0.06);
    Body(cr, s, s * 0.18, s * 0.86, {0.97, 0.97, 0.97});
    cairo_new_path(cr);
    cairo_rectangle(cr, s * 0.14, s * 0.18, s * 0.72, s * 0.18);
    Body(cr, s, s * 0.18, s * 0.36, kBlue);
    Star(cr, s, s * 0.5, s * 0.6, s * 0.18, kBlue);
  };
  auto scissors = [](cairo_t* cr, double s) {
    Grey(cr, 0.35);
    Line(cr, s * 0.3, s * 0.12, s * 0.6, s * 0.62, std::fmax(1, s * 0.07));
    Line(cr, s * 0.7, s * 0.12, s * 0.4, s * 0.62, std::fmax(1, s * 0.07));
    for (double x : {0.34, 0.66}) {
      cairo_new_path(cr);
      cairo_arc(cr, s * x, s * 0.74, s * 0.13, 0, 2 * M_PI);
      cairo_set_line_width(cr, std::fmax(1, s * 0.07));
      Source(cr, kRed);
      cairo_stroke(cr);
    }
  };
  auto spelling = [](cairo_t* cr, double s) {
    Text(cr, "abc", s * 0.5, s * 0.34, s * 0.34, {0.3, 0.3, 0.3}, true);
    Badge(cr, s, s * 0.5, s * 0.7, s * 0.2, kGreen, CheckGlyph);
  };
  auto action = [](cairo_t* cr, double s) {
    Gear(cr, s, s * 0.42, s * 0.5, s * 0.32, 8, kGrey);
    Embossed(cr, 0.3, [&](cairo_t* c) { art::Triangle(c, s * 0.84, s * 0.56, s * 0.2, s * 0.14, kDown); });
  };
  auto website = [](cairo_t* cr, double s) {
    Document(cr, s, s * 0.12, s * 0.08, s * 0.56, s * 0.76);
    Globe(cr, s, s * 0.64, s * 0.64, s * 0.26);
  };
  auto styles = [](cairo_t* cr, double s) {
    Text(cr, "A", s * 0.36, s * 0.46, s * 0.6, Darker(kBlue, 0.2), true, true);
    Text(cr, "a", s * 0.72, s * 0.58, s * 0.4, Darker(kRed, 0.1), false, true);
  };
  auto fileTypes = [](cairo_t* cr, double s) {
    Document(cr, s, s * 0.2, s * 0.08, s * 0.6, s * 0.84, false);
    Text(cr, "</>", s * 0.5, s * 0.6, s * 0.24, Darker(kBlue, 0.2));
  };
  auto paths = [](cairo_t* cr, double s) {
    FolderShape(cr, s, kFolder);
    Arrow(cr, s, s * 0.5, s * 0.6, s * 0.46, kRight, {0.45, 0.45, 0.45});
  };
  auto application = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    RoundedRect(cr, s * 0.06, s * 0.06, s * 0.88, s * 0.88, s * 0.2);
    Body(cr, s, s * 0.06, s * 0.94, {0.28, 0.45, 0.72});
    Document(cr, s, s * 0.24, s * 0.16, s * 0.52, s * 0.68, false);
    const Colour lines[] = {kPurple, kBlue, kGreen, kRed};
    for (int i = 0; i < 4; ++i) {
      const double y = s * (0.4 + i * 0.1), indent = (i == 1 || i == 2) ? 0.08 : 0;
      Source(cr, lines[i]);
      Line(cr, s * (0.32 + indent), y, s * (0.6 - indent * 0.5), y, std::fmax(0.8, s * 0.045));
    }
    Text(cr, "Q", s * 0.74, s * 0.74, s * 0.34, {1, 1, 1});
  };
  auto project = [](cairo_t* cr, double s) {
    FolderShape(cr, s, kFolder);
    Text(cr, "{ }", s * 0.5, s * 0.62, s * 0.28, {0.25, 0.35, 0.5});
  };
  auto general = [](cairo_t* cr, double s) {
    Window(cr, s, s * 0.1, s * 0.14, s * 0.8, s * 0.72);
    Gear(cr, s, s * 0.5, s * 0.56, s * 0.22, 8, kGrey);
  };
  auto closeButton = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_arc(cr, s * 0.5, s * 0.5, s * 0.32, 0, 2 * M_PI);
    GreyBody(cr, s, s * 0.18, s * 0.82);
    Grey(cr, 0.35);
    Line(cr, s * 0.38, s * 0.38, s * 0.62, s * 0.62, std::fmax(1, s * 0.08));
    Line(cr, s * 0.62, s * 0.38, s * 0.38, s * 0.62, std::fmax(1, s * 0.08));
  };
  auto localVariables = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    RoundedRect(cr, s * 0.1, s * 0.2, s * 0.8, s * 0.6, s * 0.1);
    Body(cr, s, s * 0.2, s * 0.8, Lighter(kGreen, 0.3));
    Text(cr, "$x", s * 0.5, s * 0.5, s * 0.34, {1, 1, 1});
  };
  auto symbolBrowser = [](cairo_t* cr, double s) {
    Window(cr, s, s * 0.08, s * 0.12, s * 0.84, s * 0.76);
    const Colour c[] = {kBlue, kPurple, kTeal};
    for (int i = 0; i < 3; ++i) {
      const double y = s * (0.42 + i * 0.14);
      cairo_new_path(cr);
      cairo_arc(cr, s * 0.24, y, s * 0.05, 0, 2 * M_PI);
      Body(cr, s, y - s * 0.05, y + s * 0.05, c[i]);
      Grey(cr, 0.5);
      Line(cr, s * 0.34, y, s * 0.8, y, std::fmax(0.6, s / 32));
    }
  };
  auto preview = [](cairo_t* cr, double s) { Eye(cr, s); };
  auto view = [](cairo_t* cr, double s) {
    Window(cr, s, s * 0.08, s * 0.12, s * 0.84, s * 0.76);
    cairo_save(cr);
    cairo_translate(cr, s * 0.2, s * 0.3);
    Eye(cr, s * 0.6);
    cairo_restore(cr);
  };
  auto importGlyph = [](cairo_t* cr, double s) {
    cairo_new_path(cr);
    cairo_move_to(cr, s * 0.12, s * 0.56);
    cairo_line_to(cr, s * 0.12, s * 0.88);
    cairo_line_to(cr, s * 0.88, s * 0.88);
    cairo_line_to(cr, s * 0.88, s * 0.56);
    cairo_line_to(cr, s * 0.72, s * 0.56);
    cairo_line_to(cr, s * 0.72, s * 0.72);
    cairo_line_to(cr, s * 0.28, s * 0.72);
    cairo_line_to(cr, s * 0.28, s * 0.56);
    cairo_close_path(cr);
    GreyBody(cr, s, s * 0.56, s * 0.88);
    Arrow(cr, s, s * 0.5, s * 0.36, s * 0.5, kDown, kBlue);
  };
  auto window = [](cairo_t* cr, double s) { Window(cr, s, s * 0.1, s * 0.14, s * 0.8, s * 0.72); };
  auto genericPlus = [](cairo_t* cr, double s) {
    Embossed(cr, 0.3, [&](cairo_t* c) {
      cairo_rectangle(c, s * 0.44, s * 0.2, s * 0.12, s * 0.6);
      cairo_rectangle(c, s * 0.2, s * 0.44, s * 0.6, s * 0.12);
    });
  };
  auto genericMinus = [](cairo_t* cr, double s) {
    Embossed(cr, 0.3, [&](cairo_t* c) { cairo_rectangle(c, s * 0.2, s * 0.44, s * 0.6, s * 0.12); });
  };
  auto copy = [](cairo_t* cr, double s) {
    Document(cr, s, s * 0.32, s * 0.08, s * 0.54, s * 0.66);
    Document(cr, s, s * 0.14, s * 0.26, s * 0.54, s * 0.66);
  };
  auto paste = [](cairo_t* cr, double s) { Clipboard(cr, s); };
  auto information = badge(kBlue, LetterGlyph("i", true));

  return {
      {"", "app.icns", application},
      {"", "project.icns", project},
      {P, "General.icns", general},
      {P, "Styles.icns", styles},
      {P, "Paths.icns", paths},
      {P, "File Types.icns", fileTypes},
      {P, "Connect.icns", connect},
      {P, "Network.icns", network},
      {A, "Web Server.icns", [](cairo_t* cr, double s) { Server(cr, s); }},
      {A, "Gear (Alt 2).icns", gear(6)},
      {A, "Gear.icns", gear(9)},
      {A, "Preview.icns", preview},
      {A, "Terminal.icns", [](cairo_t* cr, double s) { Terminal(cr, s); }},
      {A, "Import.icns", importGlyph},
      {A, "Checkmark.icns", badge(kGreen, CheckGlyph)},
      {A, "Connect.icns", connect},
      {A, "Network.icns", network},
      {A, "Up.icns", [](cairo_t* cr, double s) { Arrow(cr, s, s * 0.5, s * 0.5, s * 0.76, kUp, kGrey); }},
      {A, "Down.icns", [](cairo_t* cr, double s) { Arrow(cr, s, s * 0.5, s * 0.5, s * 0.76, kDown, kGrey); }},
      {A, "Backward.icns", button(kLeft)},
      {A, "Forward.icns", button(kRight)},
      {A, "backwards-toolbar.icns",
       [](cairo_t* cr, double s) { Arrow(cr, s, s * 0.5, s * 0.5, s * 0.76, kLeft, kGrey); }},
      {A, "backwards-triangle.icns", triangle(kLeft)},
      {A, "forward-triangle.icns", triangle(kRight)},
      {A, "Harddisk.icns", [](cairo_t* cr, double s) { Disk(cr, s); }},
      {A, "Harddisk (Upload).icns", disk(kUp)},
      {A, "Harddisk (Download).icns", disk(kDown)},
      {A, "User Error.icns", badge(kOrange, LetterGlyph("!"))},
      {A, "Notice.icns", badge(kBlue, LetterGlyph("!"))},
      {A, "Fatal Error.icns",
       [](cairo_t* cr, double s) {
         cairo_new_path(cr);
         for (int i = 0; i < 8; ++i) {
           const double a = M_PI / 8 + i * M_PI / 4;
           cairo_line_to(cr, s * 0.5 + s * 0.42 * cos(a), s * 0.5 + s * 0.42 * sin(a));
         }
         cairo_close_path(cr);
         Body(cr, s, s * 0.08, s * 0.92, kRed);
         cairo_save(cr);
         cairo_translate(cr, s * 0.1, s * 0.1);
         CrossGlyph(cr, s * 0.8);
         cairo_restore(cr);
       }},
      {A, "Error.icns", badge(kRed, LetterGlyph("!"))},
      {A, "Warning.icns", [](cairo_t* cr, double s) { Triangle(cr, s, kAmber); }},
      {A, "Warning (Alt 2).icns", [](cairo_t* cr, double s) { Triangle(cr, s, kOrange); }},
      {A, "Local Variables.icns", localVariables},
      {A, "Cancel.icns", badge(kRed, CrossGlyph)},
      {A, "Pencil.icns", [](cairo_t* cr, double s) { Pencil(cr, s); }},
      {A, "Book.icns", [](cairo_t* cr, double s) { Book(cr, s, Darker(kRed, 0.1)); }},
      {A, "Add.icns", badge(kGreen, PlusGlyph)},
      {A, "symbol browser.icns", symbolBrowser},
      {A, "Refresh.icns", refresh},
      {A, "Junk (Full).icns", junk},
      {A, "Chart.icns", [](cairo_t* cr, double s) { Bars(cr, s); }},
      {A, "Chart (Alt 2).icns", [](cairo_t* cr, double s) { Pie(cr, s); }},
      {A, "Search.icns", [](cairo_t* cr, double s) { Magnify(cr, s); }},
      {A, "Light Bulb (On).icns", bulb},
      {A, "Information.icns", information},
      {A, "Preferences.icns", [](cairo_t* cr, double s) { Sliders(cr, s); }},
      {A, "Notepad.icns", notepad},
      {A, "History.icns", [](cairo_t* cr, double s) { Clock(cr, s); }},
      {A, "Database.icns", [](cairo_t* cr, double s) { Cylinder(cr, s); }},
      {A, "View.icns", view},
      {A, "Folder.icns", folder(kFolder)},
      {A, "Folder (Alt 2).icns", folder(Darker(kFolder, 0.15))},
      {A, "Folder (Add).icns", badged(folder(kFolder), kGreen, PlusGlyph)},
      {A, "Folder (Favorites).icns",
       [folder](cairo_t* cr, double s) {
         folder(kFolder)(cr, s);
         Star(cr, s, s * 0.5, s * 0.62, s * 0.17, kAmber);
       }},
      {A, "Document.icns", doc},
      {A, "Document (Add).icns", badged(doc, kGreen, PlusGlyph)},
      {A, "Documents.icns", documents},
      {A, "Images.icns", images},
      {A, "Event (Blue).icns", event},
      {A, "Paper Clip.icns", clip},
      {A, "Desktop.icns", [](cairo_t* cr, double s) { Monitor(cr, s); }},
      {A, "close button.icns", closeButton},
      {A, "Paste.icns", paste},
      {A, "Action.icns", action},
      {A, "Generic Add.icns", genericPlus},
      {A, "Generic Remove.icns", genericMinus},
      {A, "Window.icns", window},
      {A, "Website.icns", website},
      {A, "Cut.icns", scissors},
      {A, "Copy.icns", copy},
      {A, "Spelling.icns", spelling},
      {S, "local.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "L", kGreen); }},
      {S, "global.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "G", kPurple); }},
      {S, "constant.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "C", kOrange); }},
      {S, "function.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "f", kBlue); }},
      {S, "class.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "C", kRed); }},
      {S, "method.icns", [](cairo_t* cr, double s) { Symbol(cr, s, "m", kTeal); }},
      // The HTML structure pane's tag kinds: a tile with the tag's name.
      {H, "form.icns", tag("form", kOrange)},
      {H, "h.icns", tag("H", kBlue)},
      {H, "head.icns", tag("hd", kTeal)},
      {H, "html.icns", tag("html", kRed)},
      {H, "img.icns", tag("img", kGreen)},
      {H, "input.icns", tag("in", kOrange)},
      {H, "li.icns", tag("li", kPurple)},
      {H, "object.icns", tag("obj", kPurple)},
      {H, "p.icns", tag("P", kBlue)},
      {H, "script.icns", tag("js", kAmber)},
      {H, "style.icns", tag("css", kTeal)},
      {H, "table.icns", tag("tab", kGreen)},
      {H, "td.icns", tag("td", kGreen)},
      {H, "tr.icns", tag("tr", kGreen)},
      {H, "a.icns", tag("a", kBlue)},
      {H, "tag.icns", tag("<>", kGrey)},
      {H, "textnode.icns", doc},
  };
}

// The small PNG images the editor windows show beside tabs and buttons.
std::vector<Icon> SmallImages() {
  const char* A = "Images/Application Images";
  return {
      {A, "Harddisk_16x16.png", [](cairo_t* cr, double s) { Disk(cr, s); }},
      {A, "Globe (Alt 2)_16x16.png", [](cairo_t* cr, double s) { Globe(cr, s, s * 0.5, s * 0.5, s * 0.42); }},
      {A, "Network_16x16.png",
       [](cairo_t* cr, double s) {
         Globe(cr, s, s * 0.5, s * 0.5, s * 0.42);
       }},
      {A, "Preview_16x16.png", [](cairo_t* cr, double s) { Eye(cr, s); }},
  };
}

std::vector<unsigned char> DrawPNG(const Glyph& paint, int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  paint(cr, height);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<unsigned char> bytes;
  cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<unsigned char>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
      },
      &bytes);
  cairo_surface_destroy(surface);
  return bytes;
}

void PutBigEndian32(std::vector<unsigned char>& out, size_t at, uint32_t value) {
  out[at] = value >> 24, out[at + 1] = value >> 16, out[at + 2] = value >> 8, out[at + 3] = value;
}

// An icon container: "icns", its length, then one chunk per size (type,
// length counting the chunk's eight header bytes, PNG data).
std::vector<unsigned char> IconFile(const Glyph& paint) {
  const struct {
    const char* type;
    int size;
  } kSizes[] = {{"icp4", 16}, {"icp5", 32}, {"ic07", 128}};
  std::vector<unsigned char> out(8, 0);
  std::copy_n("icns", 4, out.begin());
  for (const auto& entry : kSizes) {
    const std::vector<unsigned char> png = DrawPNG(paint, entry.size, entry.size);
    const size_t at = out.size();
    out.resize(at + 8);
    std::copy_n(entry.type, 4, out.begin() + at);
    PutBigEndian32(out, at + 4, uint32_t(png.size() + 8));
    out.insert(out.end(), png.begin(), png.end());
  }
  PutBigEndian32(out, 4, uint32_t(out.size()));
  return out;
}

bool WriteFile(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  FILE* f = fopen(file.c_str(), "wb");
  bool ok = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f != nullptr && fclose(f) != 0) ok = false;
  if (!ok) fprintf(stderr, "quorvel-artwork: cannot write %s\n", file.c_str());
  return ok;
}

// The browser's selected row: a blue band, lighter at the top.
void Selection(cairo_t* cr, double w, double h) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.42, 0.62, 0.90);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.20, 0.44, 0.80);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  cairo_rectangle(cr, 0, 0, w, 1);
  cairo_set_source_rgb(cr, 0.30, 0.52, 0.86);
  cairo_fill(cr);
}

}  // namespace

int ArtworkWriteApplicationIcons(const std::string& resources) {
  const std::filesystem::path root = resources;
  int failures = 0;
  for (const Icon& icon : Icons())
    if (!WriteFile(root / icon.folder / icon.file, IconFile(icon.paint))) ++failures;
  for (const Icon& image : SmallImages())
    if (!WriteFile(root / image.folder / image.file, DrawPNG(image.paint, 16, 16))) ++failures;
  // The selection image is stretched across a row: a few pixels wide.
  const std::vector<unsigned char> selection =
      DrawPNG([](cairo_t* cr, double) { Selection(cr, 4, 18); }, 4, 18);
  if (!WriteFile(root / "Images/Browser Images/selection_leopard_blue.png", selection)) ++failures;
  // The program's own icon at the sizes a desktop's icon theme holds.
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string name = "Images/Application Icon/" + std::to_string(size) + ".png";
    if (!WriteFile(root / name, DrawPNG(Icons().front().paint, size, size))) ++failures;
  }
  return failures;
}
