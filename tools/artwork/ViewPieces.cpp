// The query view's stepper pieces, the bottom-bar button pieces and the
// search field's button.
#include "ArtworkDraw.h"

using namespace art;

namespace {

// The query view is one capsule in three pieces: the left and right pieces
// are drawn at their own size and hold the arrows; the centre is stretched
// between them and holds the number.
constexpr int kQueryHeight = 20;
constexpr int kQueryArrowWidth = 18;
constexpr int kQueryCenterWidth = 4;
constexpr double kQueryRadius = 5;

enum Side { kLeftEnd, kMiddle, kRightEnd };

void QueryPiece(cairo_t* cr, int w, int h, const Tone& tone, Side side) {
  auto shape = [&] {
    cairo_new_path(cr);
    if (side == kLeftEnd) RoundedRect(cr, 0.5, 0.5, w + 2 * kQueryRadius, h - 1, kQueryRadius);
    else if (side == kRightEnd) RoundedRect(cr, -2 * kQueryRadius - 0.5, 0.5, w + 2 * kQueryRadius, h - 1, kQueryRadius);
    else cairo_rectangle(cr, -2, 0.5, w + 4, h - 1);
  };
  const bool pressed = tone.top < tone.bottom;
  shape();
  VerticalGradient(cr, 0, h, tone.top, tone.bottom);
  cairo_fill(cr);
  cairo_save(cr);
  shape();
  cairo_clip(cr);
  Row(cr, 0, w, 1, pressed ? 0 : 1, pressed ? 0.1 : 0.75);
  cairo_restore(cr);
  shape();
  Grey(cr, tone.border);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  if (side == kMiddle) return;
  // A faint divider between the arrow and the number.
  Column(cr, side == kLeftEnd ? w - 1 : 0, 4, h - 4, 0, 0.16);
  const double cx = side == kLeftEnd ? w / 2.0 + 0.5 : w / 2.0 - 0.5;
  const Direction d = side == kLeftEnd ? kLeft : kRight;
  Embossed(cr, tone.glyph, [&](cairo_t* c) { Triangle(c, cx, h / 2.0 - 0.5, 8, 6, d); });
}

// Bottom-bar buttons are 23 pixels high; their ends carry the side borders.
constexpr int kBarHeight = 23;
constexpr int kBarEndWidth = 4;
constexpr int kBarContentWidth = 4;

void Separator(cairo_t* cr, int w, int h) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgba(p, 0, 0.45, 0.45, 0.45, 0.25);
  cairo_pattern_add_color_stop_rgba(p, 0.5, 0.45, 0.45, 0.45, 0.8);
  cairo_pattern_add_color_stop_rgba(p, 1, 0.45, 0.45, 0.45, 0.25);
  cairo_rectangle(cr, (w - 1) / 2, 1, 1, h - 2);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// The search field's button is drawn compressed: 4 pixels left of the field
// and 6 pixels narrower than the image, at the field's height. So the glyph
// is drawn in the field's own coordinates through the inverse of that
// squeeze, and comes out round.
constexpr int kSearchButtonWidth = 30;
constexpr int kSearchButtonHeight = 22;

void SearchButton(cairo_t* cr, int w, int h) {
  const double shown = w - 6;
  cairo_scale(cr, w / shown, 1);
  cairo_translate(cr, 4, 0);
  // A patch of the field's white over the field's own magnifier.
  RoundedRect(cr, 2.5, 3.5, 17, h - 7, (h - 7) / 2.0);
  Grey(cr, 1);
  cairo_fill(cr);
  Magnifier(cr, 8.5, h / 2.0 - 1.5, 3.6, 0.32);
  Triangle(cr, 16.8, h / 2.0 + 0.5, 4.5, 3, kDown);
  Grey(cr, 0.32);
  cairo_fill(cr);
}

}  // namespace

void ArtworkAddViewPieces(const ArtworkAdd& add) {
  const std::string query = "query view";
  struct {
    const char* suffix;
    Tone tone;
  } states[] = {{"", kNormal}, {"_selected", kPressed}, {"_hover", kHover}};
  for (const auto& s : states) {
    Tone tone = s.tone;
    add(query, std::string("left") + s.suffix + ".png", kQueryArrowWidth, kQueryHeight,
        [tone](cairo_t* cr, int w, int h) { QueryPiece(cr, w, h, tone, kLeftEnd); });
    add(query, std::string("right") + s.suffix + ".png", kQueryArrowWidth, kQueryHeight,
        [tone](cairo_t* cr, int w, int h) { QueryPiece(cr, w, h, tone, kRightEnd); });
  }
  add(query, "center.png", kQueryCenterWidth, kQueryHeight,
      [](cairo_t* cr, int w, int h) { QueryPiece(cr, w, h, kNormal, kMiddle); });

  const std::string bar = "Custom Buttons/Leopard Toolbar";
  for (const auto& s : {std::make_pair("", kNormal), std::make_pair("_selected", kPressed)}) {
    Tone tone = s.second;
    add(bar, std::string("left") + s.first + ".png", kBarEndWidth, kBarHeight,
        [tone](cairo_t* cr, int w, int h) { BarFace(cr, w, h, tone, true, false); });
    add(bar, std::string("right") + s.first + ".png", kBarEndWidth, kBarHeight,
        [tone](cairo_t* cr, int w, int h) { BarFace(cr, w, h, tone, false, true); });
    add(bar, std::string("content") + s.first + ".png", kBarContentWidth, kBarHeight,
        [tone](cairo_t* cr, int w, int h) { BarFace(cr, w, h, tone, false, false); });
  }
  add(bar, "seperator.png", 1, kBarHeight, Separator);

  add("Leopard Toolbar Images", "searchfieldbutton.png", kSearchButtonWidth, kSearchButtonHeight, SearchButton);
}
