// Theme brushes and the drawing of standard control parts: soft vertical
// gradients, rounded corners, a blue accent for what is on or default.
#include <algorithm>
#include <cmath>

#include "HITheme.h"
#include "QuartzInternal.h"
#include "ThemeInternal.h"

namespace {

struct BrushEntry {
  ThemeBrush brush;
  double r, g, b, a;
};

const BrushEntry kBrushes[] = {
    {kThemeBrushWhite, 1, 1, 1, 1},
    {kThemeBrushBlack, 0, 0, 0, 1},
    {kThemeBrushPrimaryHighlightColor, 0.22, 0.46, 0.84, 1},
    {kThemeBrushSecondaryHighlightColor, 0.83, 0.83, 0.83, 1},
    {kThemeBrushAlternatePrimaryHighlightColor, 0.22, 0.46, 0.84, 1},
    {kThemeBrushDialogBackgroundActive, 0.93, 0.93, 0.93, 1},
    {kThemeBrushDialogBackgroundInactive, 0.96, 0.96, 0.96, 1},
    {kThemeBrushAlertBackgroundActive, 0.93, 0.93, 0.93, 1},
    {kThemeBrushAlertBackgroundInactive, 0.96, 0.96, 0.96, 1},
    {kThemeBrushModelessDialogBackgroundActive, 0.93, 0.93, 0.93, 1},
    {kThemeBrushModelessDialogBackgroundInactive, 0.96, 0.96, 0.96, 1},
    {kThemeBrushUtilityWindowBackgroundActive, 0.93, 0.93, 0.93, 1},
    {kThemeBrushUtilityWindowBackgroundInactive, 0.96, 0.96, 0.96, 1},
    {kThemeBrushListViewSortColumnBackground, 0.95, 0.96, 0.98, 1},
    {kThemeBrushListViewBackground, 1, 1, 1, 1},
    {kThemeBrushIconLabelBackground, 1, 1, 1, 1},
    {kThemeBrushListViewSeparator, 0.85, 0.85, 0.85, 1},
    {kThemeBrushChasingArrows, 0.35, 0.35, 0.35, 1},
    {kThemeBrushDragHilite, 0.45, 0.65, 0.95, 1},
    {kThemeBrushDocumentWindowBackground, 1, 1, 1, 1},
    {kThemeBrushFinderWindowBackground, 1, 1, 1, 1},
    {kThemeBrushFocusHighlight, 0.36, 0.60, 0.95, 1},
    {kThemeBrushButtonFrameActive, 0.62, 0.62, 0.62, 1},
    {kThemeBrushButtonFrameInactive, 0.75, 0.75, 0.75, 1},
    {kThemeBrushButtonFaceActive, 0.98, 0.98, 0.98, 1},
    {kThemeBrushButtonFaceInactive, 0.95, 0.95, 0.95, 1},
    {kThemeBrushButtonFacePressed, 0.80, 0.80, 0.80, 1},
    {kThemeBrushListViewEvenRowBackground, 1, 1, 1, 1},
    {kThemeBrushListViewOddRowBackground, 0.94, 0.96, 1.0, 1},
};

// The accent of what is on, default or focused.
constexpr double kAccent[3] = {0.24, 0.50, 0.92};

bool Usable(const HIRect* r) {
  return r != nullptr && std::isfinite(r->origin.x) && std::isfinite(r->origin.y) && std::isfinite(r->size.width) &&
         std::isfinite(r->size.height) && r->size.width >= 0 && r->size.height >= 0;
}

// Draws a part into a group in y-down coordinates of the rectangle,
// whatever the orientation, then composites it with the context's alpha and
// blend mode.
class PartScope {
 public:
  PartScope(CGContext* ctx, const HIRect& r, HIThemeOrientation orientation) : ctx_(ctx), cr(ctx->cr) {
    path_ = cairo_copy_path(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    if (orientation == kHIThemeOrientationInverted) {
      cairo_translate(cr, 0, 2 * r.origin.y + r.size.height);
      cairo_scale(cr, 1, -1);
    }
    cairo_push_group(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  }
  ~PartScope() {
    cairo_pop_group_to_source(cr);
    cairo_set_operator(cr, QuartzOperatorForBlendMode(ctx_->state.blend));
    cairo_paint_with_alpha(cr, ctx_->state.alpha);
    cairo_restore(cr);
    cairo_new_path(cr);
    if (path_->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr, path_);
    cairo_path_destroy(path_);
  }

 private:
  CGContext* ctx_;
  cairo_path_t* path_;

 public:
  cairo_t* cr;
};

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::max(0.0, std::min({r, w / 2, h / 2}));
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void Gradient(cairo_t* cr, double y0, double y1, double top, double bottom, double alpha = 1) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(p, 0, top, top, top, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom, bottom, bottom, alpha);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

void AccentGradient(cairo_t* cr, double y0, double y1, bool pressed) {
  const double k = pressed ? 0.82 : 1.0;
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, std::min(1.0, kAccent[0] * k + 0.22), std::min(1.0, kAccent[1] * k + 0.2),
                                   std::min(1.0, kAccent[2] * k + 0.06));
  cairo_pattern_add_color_stop_rgb(p, 1, kAccent[0] * k, kAccent[1] * k, kAccent[2] * k);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

bool IsActive(ThemeDrawState s) { return s == kThemeStateActive || s == kThemeStatePressed || s == kThemeStatePressedDown || s == kThemeStateRollover; }
bool IsPressed(ThemeDrawState s) { return s == kThemeStatePressed || s == kThemeStatePressedDown; }
bool IsUnavailable(ThemeDrawState s) { return s == kThemeStateUnavailable || s == kThemeStateUnavailableInactive; }

// A raised rounded face: gradient, frame, a faint drop line below.
void Face(cairo_t* cr, double x, double y, double w, double h, double radius, ThemeDrawState state, bool accent) {
  const bool pressed = IsPressed(state);
  // Drop line.
  RoundedRect(cr, x + 0.5, y + 1.5, w - 1, h - 1.5, radius);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.08);
  cairo_fill(cr);
  RoundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1.5, radius);
  if (accent && IsActive(state)) AccentGradient(cr, y, y + h, pressed);
  else if (pressed) Gradient(cr, y, y + h, 0.80, 0.86);
  else Gradient(cr, y, y + h, 1.0, 0.92);
  cairo_fill_preserve(cr);
  if (accent && IsActive(state)) cairo_set_source_rgb(cr, kAccent[0] * 0.7, kAccent[1] * 0.7, kAccent[2] * 0.75);
  else cairo_set_source_rgba(cr, 0, 0, 0, IsActive(state) ? 0.32 : 0.2);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void Triangle(cairo_t* cr, double cx, double cy, double base, ThemeArrowOrientation dir) {
  const double half = base / 2, depth = base / 2;
  switch (dir) {
    case kThemeArrowUp:
      cairo_move_to(cr, cx - half, cy + depth / 2);
      cairo_line_to(cr, cx + half, cy + depth / 2);
      cairo_line_to(cr, cx, cy - depth / 2);
      break;
    case kThemeArrowLeft:
      cairo_move_to(cr, cx + depth / 2, cy - half);
      cairo_line_to(cr, cx + depth / 2, cy + half);
      cairo_line_to(cr, cx - depth / 2, cy);
      break;
    case kThemeArrowRight:
      cairo_move_to(cr, cx - depth / 2, cy - half);
      cairo_line_to(cr, cx - depth / 2, cy + half);
      cairo_line_to(cr, cx + depth / 2, cy);
      break;
    default:
      cairo_move_to(cr, cx - half, cy - depth / 2);
      cairo_line_to(cr, cx + half, cy - depth / 2);
      cairo_line_to(cr, cx, cy + depth / 2);
      break;
  }
  cairo_close_path(cr);
}

void CheckMark(cairo_t* cr, double x, double y, double s) {
  cairo_move_to(cr, x + s * 0.24, y + s * 0.52);
  cairo_line_to(cr, x + s * 0.43, y + s * 0.72);
  cairo_line_to(cr, x + s * 0.78, y + s * 0.28);
  cairo_set_line_width(cr, std::max(1.5, s / 7));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// The check box or radio indicator, a square of side s at (x, y).
void Indicator(cairo_t* cr, double x, double y, double s, bool radio, ThemeButtonValue value, ThemeDrawState state) {
  const bool on = value != kThemeButtonOff;
  const bool accent = on && IsActive(state);
  if (radio) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + s / 2, y + s / 2, s / 2 - 0.5, 0, 2 * M_PI);
  } else {
    RoundedRect(cr, x + 0.5, y + 0.5, s - 1, s - 1, std::max(2.0, s / 5));
  }
  if (accent) AccentGradient(cr, y, y + s, IsPressed(state));
  else if (IsPressed(state)) Gradient(cr, y, y + s, 0.80, 0.86);
  else Gradient(cr, y, y + s, 1.0, 0.93);
  cairo_fill_preserve(cr);
  if (accent) cairo_set_source_rgb(cr, kAccent[0] * 0.7, kAccent[1] * 0.7, kAccent[2] * 0.75);
  else cairo_set_source_rgba(cr, 0, 0, 0, IsActive(state) ? 0.38 : 0.22);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  if (!on) return;
  if (accent) cairo_set_source_rgb(cr, 1, 1, 1);
  else cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
  if (value == kThemeButtonMixed) {
    cairo_rectangle(cr, x + s * 0.25, y + s * 0.44, s * 0.5, std::max(1.5, s * 0.12));
    cairo_fill(cr);
  } else if (radio) {
    cairo_arc(cr, x + s / 2, y + s / 2, s * 0.18, 0, 2 * M_PI);
    cairo_fill(cr);
  } else {
    CheckMark(cr, x, y, s);
  }
}

void UpDownArrows(cairo_t* cr, double cx, double cy, double size, double gap, bool light) {
  if (light) cairo_set_source_rgb(cr, 1, 1, 1);
  else cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
  Triangle(cr, cx, cy - gap, size, kThemeArrowUp);
  cairo_fill(cr);
  Triangle(cr, cx, cy + gap, size, kThemeArrowDown);
  cairo_fill(cr);
}

}  // namespace

bool ThemeBrushColor(ThemeBrush brush, double rgba[4]) {
  for (const auto& b : kBrushes) {
    if (b.brush != brush) continue;
    rgba[0] = b.r, rgba[1] = b.g, rgba[2] = b.b, rgba[3] = b.a;
    return true;
  }
  return false;
}

OSStatus HIThemeSetFill(ThemeBrush inBrush, void*, CGContextRef inContext, HIThemeOrientation) {
  double c[4];
  if (QuartzContext(inContext) == nullptr) return paramErr;
  if (!ThemeBrushColor(inBrush, c)) return themeInvalidBrushErr;
  CGContextSetRGBFillColor(inContext, c[0], c[1], c[2], c[3]);
  return noErr;
}

OSStatus HIThemeSetStroke(ThemeBrush inBrush, void*, CGContextRef inContext, HIThemeOrientation) {
  double c[4];
  if (QuartzContext(inContext) == nullptr) return paramErr;
  if (!ThemeBrushColor(inBrush, c)) return themeInvalidBrushErr;
  CGContextSetRGBStrokeColor(inContext, c[0], c[1], c[2], c[3]);
  return noErr;
}

OSStatus HIThemeBrushCreateCGColor(ThemeBrush inBrush, CGColorRef* outColor) {
  double c[4];
  if (outColor == nullptr) return paramErr;
  *outColor = nullptr;
  if (!ThemeBrushColor(inBrush, c)) return themeInvalidBrushErr;
  *outColor = CGColorCreateGenericRGB(c[0], c[1], c[2], c[3]);
  return noErr;
}

OSStatus HIThemeDrawButton(const HIRect* inBounds, const HIThemeButtonDrawInfo* info, CGContextRef inContext,
                           HIThemeOrientation inOrientation, HIRect* outLabelRect) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inBounds)) return paramErr;
  const HIRect r = *inBounds;
  const double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
  HIRect label = r;
  {
    PartScope part(ctx, r, inOrientation);
    cairo_t* cr = part.cr;
    if (IsUnavailable(info->state) || info->state == kThemeStateInactive) cairo_push_group(cr);
    const ThemeDrawState state = info->state;
    switch (info->kind) {
      case kThemeCheckBox:
      case kThemeSmallCheckBox:
      case kThemeMiniCheckBox:
      case kThemeRadioButton:
      case kThemeSmallRadioButton:
      case kThemeMiniRadioButton: {
        const bool radio = info->kind == kThemeRadioButton || info->kind == kThemeSmallRadioButton ||
                           info->kind == kThemeMiniRadioButton;
        double s = info->kind == kThemeMiniCheckBox || info->kind == kThemeMiniRadioButton ? 10
                   : info->kind == kThemeSmallCheckBox || info->kind == kThemeSmallRadioButton ? 12
                                                                                                 : 14;
        s = std::min(s, std::max(6.0, h));
        Indicator(cr, x + 1, y + std::round((h - s) / 2), s, radio, info->value, state);
        label = HIRect{{x + s + 6, y}, {std::max(0.0, w - s - 6), h}};
        break;
      }
      case kThemeDisclosureButton: {
        const double s = std::min({w, h, 13.0});
        cairo_set_source_rgba(cr, 0, 0, 0, IsActive(state) ? (IsPressed(state) ? 0.8 : 0.55) : 0.3);
        const ThemeArrowOrientation dir = info->value == kThemeDisclosureDown   ? kThemeArrowDown
                                          : info->value == kThemeDisclosureLeft ? kThemeArrowLeft
                                                                                : kThemeArrowRight;
        Triangle(cr, x + w / 2, y + h / 2, s * 0.7, dir);
        cairo_fill(cr);
        label = HIRect{{x + w, y}, {0, h}};
        break;
      }
      case kThemeArrowButton:
      case kThemeIncDecButton: {
        const double bw = std::min(w, 13.0), bh = std::min(h, 22.0);
        const double bx = x + (w - bw) / 2, by = y + (h - bh) / 2;
        Face(cr, bx, by, bw, bh, 4, state, false);
        if (info->kind == kThemeIncDecButton) {
          cairo_set_source_rgba(cr, 0, 0, 0, 0.2);
          cairo_rectangle(cr, bx + 2, by + bh / 2 - 0.5, bw - 4, 1);
          cairo_fill(cr);
        }
        UpDownArrows(cr, bx + bw / 2, by + bh / 2, 5, bh / 4, false);
        label = HIRect{{x, y}, {0, 0}};
        break;
      }
      case kThemePopupButton:
      case kThemeComboBox:
      case kThemeComboBoxSmall:
      case kThemeComboBoxMini: {
        const double fh = std::min(h, 22.0), fy = y + (h - fh) / 2;
        const double cap = std::min(w, fh - 2);
        if (info->kind == kThemePopupButton) {
          Face(cr, x, fy, w, fh, 5, state, false);
        } else {
          RoundedRect(cr, x + 0.5, fy + 0.5, w - 1, fh - 1, 3);
          cairo_set_source_rgb(cr, 1, 1, 1);
          cairo_fill_preserve(cr);
          cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
          cairo_set_line_width(cr, 1);
          cairo_stroke(cr);
        }
        // The arrow cap at the right end.
        cairo_save(cr);
        RoundedRect(cr, x + 0.5, fy + 0.5, w - 1, fh - 1.5, 5);
        cairo_clip(cr);
        cairo_rectangle(cr, x + w - cap, fy, cap, fh);
        if (IsActive(state)) AccentGradient(cr, fy, fy + fh, IsPressed(state));
        else Gradient(cr, fy, fy + fh, 0.92, 0.85);
        cairo_fill(cr);
        cairo_restore(cr);
        UpDownArrows(cr, x + w - cap / 2, fy + fh / 2, 5, 3.2, IsActive(state));
        label = HIRect{{x + 8, fy}, {std::max(0.0, w - cap - 12), fh}};
        break;
      }
      case kThemeListHeaderButton: {
        if (info->value == kThemeButtonOn) Gradient(cr, y, y + h, 0.90, 0.84);
        else Gradient(cr, y, y + h, 1.0, 0.93);
        cairo_rectangle(cr, x, y, w, h);
        cairo_fill(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.2);
        cairo_rectangle(cr, x, y + h - 1, w, 1);
        cairo_rectangle(cr, x + w - 1, y + 3, 1, std::max(0.0, h - 6));
        cairo_fill(cr);
        label = HIRect{{x + 6, y}, {std::max(0.0, w - 12), h}};
        break;
      }
      case kThemeRoundButton:
      case kThemeLargeRoundButton: {
        const double s = std::min(w, h);
        cairo_save(cr);
        cairo_new_sub_path(cr);
        cairo_arc(cr, x + w / 2, y + h / 2, s / 2 - 0.5, 0, 2 * M_PI);
        if (IsPressed(state)) Gradient(cr, y, y + h, 0.80, 0.86);
        else Gradient(cr, y, y + h, 1.0, 0.92);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.32);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_restore(cr);
        label = HIRect{{x + (w - s) / 2 + 3, y + (h - s) / 2 + 3}, {std::max(0.0, s - 6), std::max(0.0, s - 6)}};
        break;
      }
      case kThemeBevelButton:
      case kThemeSmallBevelButton:
      case kThemeLargeBevelButton:
      case kThemeRoundedBevelButton: {
        const double radius = info->kind == kThemeRoundedBevelButton ? 6 : 3;
        const ThemeDrawState s = info->value == kThemeButtonOn && !IsPressed(state) ? kThemeStatePressed : state;
        Face(cr, x, y, w, h, radius, s, false);
        label = HIRect{{x + 3, y + 2}, {std::max(0.0, w - 6), std::max(0.0, h - 4)}};
        break;
      }
      default: {  // push buttons
        const double fh = std::min(h, info->kind == kThemePushButtonMini ? 16.0 : info->kind == kThemePushButtonSmall ? 19.0 : 22.0);
        const double fy = y + std::round((h - fh) / 2);
        Face(cr, x, fy, w, fh, std::min(6.0, fh / 2 - 2), state, (info->adornment & kThemeAdornmentDefault) != 0);
        label = HIRect{{x + 8, fy}, {std::max(0.0, w - 16), fh}};
        break;
      }
    }
    if ((info->adornment & kThemeAdornmentFocus) != 0 && info->kind != kThemeDisclosureButton) {
      RoundedRect(cr, x - 1.5, y - 1.5, w + 3, h + 3, 6);
      cairo_set_source_rgba(cr, kAccent[0], kAccent[1], kAccent[2], 0.55);
      cairo_set_line_width(cr, 3);
      cairo_stroke(cr);
    }
    if (IsUnavailable(info->state) || info->state == kThemeStateInactive) {
      cairo_pop_group_to_source(cr);
      cairo_paint_with_alpha(cr, IsUnavailable(info->state) ? 0.45 : 0.7);
    }
  }
  if (outLabelRect != nullptr) *outLabelRect = label;
  return noErr;
}

OSStatus HIThemeDrawFocusRect(const HIRect* inRect, Boolean inHasFocus, CGContextRef inContext,
                              HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || !Usable(inRect)) return paramErr;
  if (!inHasFocus) return noErr;
  const HIRect r = *inRect;
  PartScope part(ctx, r, inOrientation);
  RoundedRect(part.cr, r.origin.x - 2, r.origin.y - 2, r.size.width + 4, r.size.height + 4, 4);
  cairo_set_source_rgba(part.cr, kAccent[0], kAccent[1], kAccent[2], 0.6);
  cairo_set_line_width(part.cr, 3);
  cairo_stroke(part.cr);
  return noErr;
}

OSStatus HIThemeDrawPlacard(const HIRect* inRect, const HIThemePlacardDrawInfo* info, CGContextRef inContext,
                            HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inRect)) return paramErr;
  const HIRect r = *inRect;
  PartScope part(ctx, r, inOrientation);
  cairo_t* cr = part.cr;
  cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
  if (IsPressed(info->state)) Gradient(cr, r.origin.y, r.origin.y + r.size.height, 0.84, 0.88);
  else Gradient(cr, r.origin.y, r.origin.y + r.size.height, 0.99, 0.93);
  cairo_fill(cr);
  cairo_rectangle(cr, r.origin.x + 0.5, r.origin.y + 0.5, std::max(0.0, r.size.width - 1),
                  std::max(0.0, r.size.height - 1));
  cairo_set_source_rgba(cr, 0, 0, 0, IsActive(info->state) ? 0.28 : 0.16);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  return noErr;
}

OSStatus HIThemeDrawPopupArrow(const HIRect* inBounds, const HIThemePopupArrowDrawInfo* info, CGContextRef inContext,
                               HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inBounds) || info->orientation > kThemeArrowUp ||
      info->size > kThemeArrow9pt)
    return paramErr;
  const HIRect r = *inBounds;
  PartScope part(ctx, r, inOrientation);
  const double base = 3 + 2.0 * info->size;
  cairo_set_source_rgba(part.cr, 0, 0, 0, IsActive(info->state) ? 0.75 : 0.35);
  Triangle(part.cr, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2, base, info->orientation);
  cairo_fill(part.cr);
  return noErr;
}

OSStatus HIThemeDrawSeparator(const HIRect* inRect, const HIThemeSeparatorDrawInfo* info, CGContextRef inContext,
                              HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inRect)) return paramErr;
  const HIRect r = *inRect;
  PartScope part(ctx, r, inOrientation);
  cairo_t* cr = part.cr;
  const double a = IsActive(info->state) ? 1 : 0.6;
  if (r.size.width >= r.size.height) {
    const double y = std::floor(r.origin.y + r.size.height / 2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18 * a);
    cairo_rectangle(cr, r.origin.x, y - 1, r.size.width, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.8 * a);
    cairo_rectangle(cr, r.origin.x, y, r.size.width, 1);
  } else {
    const double x = std::floor(r.origin.x + r.size.width / 2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18 * a);
    cairo_rectangle(cr, x - 1, r.origin.y, 1, r.size.height);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.8 * a);
    cairo_rectangle(cr, x, r.origin.y, 1, r.size.height);
  }
  cairo_fill(cr);
  return noErr;
}

OSStatus HIThemeDrawGroupBox(const HIRect* inRect, const HIThemeGroupBoxDrawInfo* info, CGContextRef inContext,
                             HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inRect)) return paramErr;
  const HIRect r = *inRect;
  PartScope part(ctx, r, inOrientation);
  cairo_t* cr = part.cr;
  RoundedRect(cr, r.origin.x + 0.5, r.origin.y + 0.5, std::max(0.0, r.size.width - 1), std::max(0.0, r.size.height - 1),
              5);
  cairo_set_source_rgba(cr, 0, 0, 0, info->kind == kHIThemeGroupBoxKindSecondary ? 0.03 : 0.05);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, IsActive(info->state) ? 0.16 : 0.1);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  return noErr;
}

OSStatus HIThemeDrawFrame(const HIRect* inRect, const HIThemeFrameDrawInfo* info, CGContextRef inContext,
                          HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inRect)) return paramErr;
  const HIRect r = *inRect;
  {
    PartScope part(ctx, r, inOrientation);
    cairo_t* cr = part.cr;
    cairo_rectangle(cr, r.origin.x + 0.5, r.origin.y + 0.5, std::max(0.0, r.size.width - 1),
                    std::max(0.0, r.size.height - 1));
    cairo_set_source_rgba(cr, 0, 0, 0, IsActive(info->state) ? 0.32 : 0.2);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    // A soft inner shadow along the top edge.
    cairo_rectangle(cr, r.origin.x + 1, r.origin.y + 1, std::max(0.0, r.size.width - 2), 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.07);
    cairo_fill(cr);
  }
  if (info->isFocused) HIThemeDrawFocusRect(inRect, true, inContext, inOrientation);
  return noErr;
}

OSStatus HIThemeDrawGenericWell(const HIRect* inRect, const HIThemeButtonDrawInfo* info, CGContextRef inContext,
                                HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Usable(inRect)) return paramErr;
  const HIRect r = *inRect;
  PartScope part(ctx, r, inOrientation);
  cairo_t* cr = part.cr;
  Face(cr, r.origin.x, r.origin.y, r.size.width, r.size.height, 3, info->state, false);
  // The sunken inner well.
  const double inset = std::min(5.0, std::min(r.size.width, r.size.height) / 4);
  cairo_rectangle(cr, r.origin.x + inset + 0.5, r.origin.y + inset + 0.5,
                  std::max(0.0, r.size.width - 2 * inset - 1), std::max(0.0, r.size.height - 2 * inset - 1));
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  return noErr;
}
