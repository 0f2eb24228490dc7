// The theme's chasing arrows: two arcs with arrowheads running round a
// circle, turned by the animation step the caller gives.
#include <algorithm>
#include <cmath>

#include "HITheme.h"
#include "QuartzInternal.h"

namespace {

bool Drawable(const HIRect* r) {
  return r != nullptr && std::isfinite(r->origin.x) && std::isfinite(r->origin.y) && std::isfinite(r->size.width) &&
         std::isfinite(r->size.height) && r->size.width >= 0 && r->size.height >= 0;
}

bool Active(ThemeDrawState s) {
  return s == kThemeStateActive || s == kThemeStatePressed || s == kThemeStatePressedDown ||
         s == kThemeStateRollover;
}

}  // namespace

OSStatus HIThemeDrawChasingArrows(const HIRect* inBounds, const HIThemeChasingArrowsDrawInfo* info,
                                  CGContextRef inContext, HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || info == nullptr || !Drawable(inBounds)) return paramErr;
  const HIRect r = *inBounds;
  const double side = std::min(r.size.width, r.size.height);
  if (side < 4) return noErr;  // nothing fits
  cairo_t* cr = ctx->cr;
  cairo_path_t* path = cairo_copy_path(cr);
  cairo_save(cr);
  cairo_new_path(cr);
  if (inOrientation == kHIThemeOrientationInverted) {
    cairo_translate(cr, 0, 2 * r.origin.y + r.size.height);
    cairo_scale(cr, 1, -1);
  }
  // Drawn apart and laid down with the context's alpha and blend mode.
  cairo_push_group(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  const double cx = r.origin.x + r.size.width / 2, cy = r.origin.y + r.size.height / 2;
  const double line = std::max(1.5, side / 8);
  const double head = line * 1.6;               // half the arrowhead's base
  const double radius = side / 2 - head - 0.5;  // the heads stay inside the square
  const double turn = 2 * M_PI * double(info->index % kHIThemeChasingArrowsSteps) / kHIThemeChasingArrowsSteps;
  cairo_set_source_rgba(cr, 0.35, 0.35, 0.35, Active(info->state) ? 1.0 : 0.45);
  cairo_set_line_width(cr, line);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  for (int arrow = 0; arrow < 2; ++arrow) {
    // Each arrow covers a little less than half the circle, clockwise on
    // screen, its head at the leading end.
    const double start = turn + arrow * M_PI - M_PI / 2;
    const double end = start + M_PI * 0.62;
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, radius, start, end);
    cairo_stroke(cr);
    const double tipAngle = end + 0.45;
    const double bx = cx + radius * std::cos(end), by = cy + radius * std::sin(end);
    const double nx = std::cos(end), ny = std::sin(end);  // outward at the base
    cairo_move_to(cr, bx + nx * head, by + ny * head);
    cairo_line_to(cr, bx - nx * head, by - ny * head);
    cairo_line_to(cr, cx + radius * std::cos(tipAngle), cy + radius * std::sin(tipAngle));
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  cairo_pop_group_to_source(cr);
  cairo_set_operator(cr, QuartzOperatorForBlendMode(ctx->state.blend));
  cairo_paint_with_alpha(cr, ctx->state.alpha);
  cairo_restore(cr);
  cairo_new_path(cr);
  if (path->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr, path);
  cairo_path_destroy(path);
  return noErr;
}
