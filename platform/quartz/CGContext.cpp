// Graphics contexts over cairo. cairo keeps the CTM, the clip, the line
// attributes and the path; the rest of the Quartz state (colours, alpha,
// blend mode, shadow, ...) lives in QuartzGState, saved beside cairo's.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "QuartzInternal.h"

namespace {

CFTypeID ContextType() {
  static const CFTypeID id = CFRuntimeRegisterType("CGContext");
  return id;
}

bool Finite(CGFloat v) { return std::isfinite(v); }
bool FiniteRect(const CGRect& r) {
  return Finite(r.origin.x) && Finite(r.origin.y) && Finite(r.size.width) && Finite(r.size.height);
}

// A rectangle with negative sizes means the same area with the corners swapped.
CGRect Standard(CGRect r) {
  if (r.size.width < 0) r.origin.x += r.size.width, r.size.width = -r.size.width;
  if (r.size.height < 0) r.origin.y += r.size.height, r.size.height = -r.size.height;
  return r;
}

// Keeps the current path aside while a call draws a shape of its own.
struct PathKeeper {
  explicit PathKeeper(cairo_t* cr) : cr(cr), path(cairo_copy_path(cr)) { cairo_new_path(cr); }
  ~PathKeeper() {
    cairo_new_path(cr);
    if (path->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr, path);
    cairo_path_destroy(path);
  }
  cairo_t* cr;
  cairo_path_t* path;
};

void ApplyAntialias(CGContext* ctx) {
  const bool on = ctx->state.antialias && ctx->state.allowsAntialias;
  cairo_set_antialias(ctx->cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

QuartzRGBA Gray(CGFloat g, CGFloat a) { return QuartzRGBA{g, g, g, a}; }

double Clamp01(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }
QuartzRGBA Clamped(QuartzRGBA c) { return QuartzRGBA{Clamp01(c.r), Clamp01(c.g), Clamp01(c.b), Clamp01(c.a)}; }

// Separable box blur of the alpha of an A8 surface, three passes (close to a
// gaussian), in place.
void BlurAlpha(cairo_surface_t* s, int radius) {
  if (radius <= 0) return;
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  std::vector<unsigned char> line(size_t(std::max(w, h)));
  const int window = 2 * radius + 1;
  auto pass = [&](unsigned char* start, int count, int step) {
    for (int i = 0; i < count; ++i) line[size_t(i)] = start[size_t(i) * size_t(step)];
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < count) ? line[size_t(i)] : 0;
    for (int i = 0; i < count; ++i) {
      start[size_t(i) * size_t(step)] = static_cast<unsigned char>(sum / window);
      const int out = i - radius, in = i + radius + 1;
      if (out >= 0) sum -= line[size_t(out)];
      if (in < count) sum += line[size_t(in)];
    }
  };
  for (int round = 0; round < 3; ++round) {
    for (int y = 0; y < h; ++y) pass(data + size_t(y) * size_t(stride), w, 1);
    for (int x = 0; x < w; ++x) pass(data + x, h, stride);
  }
  cairo_surface_mark_dirty(s);
}

}  // namespace

// ---------------------------------------------------------------------------
// Objects

CGContext::CGContext() : __CFRuntimeBase(ContextType()) { cairo_matrix_init_identity(&base); }

CGContext::~CGContext() {
  if (isBitmap) WriteBack();
  if (cr != nullptr) {
    if (restoreOnRelease) {
      // Saves the caller left open, then the one made on creation.
      for (size_t i = 0; i < saved.size(); ++i) cairo_restore(cr);
      cairo_restore(cr);
    }
    cairo_destroy(cr);
  }
  if (surface != nullptr) cairo_surface_destroy(surface);
  CGColorSpaceRelease(space);
}

void CGContext::WriteBack() {
  if (!isBitmap || direct || surface == nullptr || data == nullptr) return;
  cairo_surface_flush(surface);
  QuartzPixelLayout layout;
  QuartzPixelLayoutFor(8, bitsPerPixel, CGColorSpaceGetNumberOfComponents(space), bitmapInfo, &layout);
  const unsigned char* src = cairo_image_surface_get_data(surface);
  const size_t stride = size_t(cairo_image_surface_get_stride(surface));
  for (size_t y = 0; y < height; ++y)
    QuartzExportRow(layout, reinterpret_cast<const uint32_t*>(src + y * stride),
                    static_cast<UInt8*>(data) + y * bytesPerRow, width);
}

CGContext* QuartzContext(CGContextRef c) { return CFCast<CGContext>(c, ContextType()); }
CFTypeID CGContextGetTypeID() { return ContextType(); }

namespace {

CGContext* NewContext(cairo_t* cr, bool yDown, double height) {
  auto* ctx = new CGContext;
  ctx->cr = cr;
  ctx->yDown = yDown;
  if (!yDown) {
    // y-up: base space has its origin at the bottom-left.
    cairo_translate(cr, 0, height);
    cairo_scale(cr, 1, -1);
  }
  cairo_get_matrix(cr, &ctx->base);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_set_line_width(cr, 1.0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(cr, 10.0);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_new_path(cr);
  ApplyAntialias(ctx);
  return ctx;
}

}  // namespace

CGContextRef QuartzCreateContextForCairo(cairo_t* cr, bool yDown) {
  if (cr == nullptr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_reference(cr);
  cairo_save(cr);
  CGContext* ctx = NewContext(cr, yDown, 0);
  ctx->restoreOnRelease = true;
  return ctx;
}

CGContextRef QuartzCreateContextForSurface(cairo_surface_t* surface, bool yDown) {
  if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_t* cr = cairo_create(surface);
  double height = 0;
  if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) height = cairo_image_surface_get_height(surface);
  else {
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    height = y2;
  }
  return NewContext(cr, yDown, height);
}

cairo_t* QuartzContextGetCairo(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr ? ctx->cr : nullptr;
}

bool QuartzContextIsYDown(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->yDown;
}

CGContextRef CGContextRetain(CGContextRef c) {
  if (QuartzContext(c) != nullptr) CFRetain(c);
  return c;
}

void CGContextRelease(CGContextRef c) {
  if (QuartzContext(c) != nullptr) CFRelease(c);
}

void CGContextFlush(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_surface_flush(cairo_get_target(ctx->cr));
  ctx->WriteBack();
}

void CGContextSynchronize(CGContextRef c) { CGContextFlush(c); }

// ---------------------------------------------------------------------------
// Helpers shared with the theme and icon drawing

cairo_operator_t QuartzOperatorForBlendMode(CGBlendMode mode) {
  switch (mode) {
    case kCGBlendModeMultiply: return CAIRO_OPERATOR_MULTIPLY;
    case kCGBlendModeScreen: return CAIRO_OPERATOR_SCREEN;
    case kCGBlendModeOverlay: return CAIRO_OPERATOR_OVERLAY;
    case kCGBlendModeDarken: return CAIRO_OPERATOR_DARKEN;
    case kCGBlendModeLighten: return CAIRO_OPERATOR_LIGHTEN;
    case kCGBlendModeColorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case kCGBlendModeColorBurn: return CAIRO_OPERATOR_COLOR_BURN;
    case kCGBlendModeSoftLight: return CAIRO_OPERATOR_SOFT_LIGHT;
    case kCGBlendModeHardLight: return CAIRO_OPERATOR_HARD_LIGHT;
    case kCGBlendModeDifference: return CAIRO_OPERATOR_DIFFERENCE;
    case kCGBlendModeExclusion: return CAIRO_OPERATOR_EXCLUSION;
    case kCGBlendModeHue: return CAIRO_OPERATOR_HSL_HUE;
    case kCGBlendModeSaturation: return CAIRO_OPERATOR_HSL_SATURATION;
    case kCGBlendModeColor: return CAIRO_OPERATOR_HSL_COLOR;
    case kCGBlendModeLuminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case kCGBlendModeClear: return CAIRO_OPERATOR_CLEAR;
    case kCGBlendModeCopy: return CAIRO_OPERATOR_SOURCE;
    case kCGBlendModeSourceIn: return CAIRO_OPERATOR_IN;
    case kCGBlendModeSourceOut: return CAIRO_OPERATOR_OUT;
    case kCGBlendModeSourceAtop: return CAIRO_OPERATOR_ATOP;
    case kCGBlendModeDestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case kCGBlendModeDestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case kCGBlendModeDestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case kCGBlendModeDestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case kCGBlendModeXOR: return CAIRO_OPERATOR_XOR;
    case kCGBlendModePlusDarker: return CAIRO_OPERATOR_MULTIPLY;  // cairo has no plus-darker
    case kCGBlendModePlusLighter: return CAIRO_OPERATOR_ADD;
    default: return CAIRO_OPERATOR_OVER;
  }
}

void QuartzSetSourceColor(CGContext* ctx, const QuartzRGBA& c) {
  cairo_set_source_rgba(ctx->cr, c.r, c.g, c.b, c.a * ctx->state.alpha);
}

cairo_filter_t QuartzFilterFor(CGInterpolationQuality quality, bool shouldInterpolate) {
  if (!shouldInterpolate) return CAIRO_FILTER_NEAREST;
  switch (quality) {
    case kCGInterpolationNone: return CAIRO_FILTER_NEAREST;
    case kCGInterpolationLow: return CAIRO_FILTER_FAST;
    case kCGInterpolationHigh: return CAIRO_FILTER_BEST;
    default: return CAIRO_FILTER_GOOD;
  }
}

void QuartzUserRectToDevice(cairo_t* cr, double x0, double y0, double x1, double y1, double out[4]) {
  double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
  out[0] = out[1] = INFINITY;
  out[2] = out[3] = -INFINITY;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr, &xs[i], &ys[i]);
    out[0] = std::min(out[0], xs[i]);
    out[1] = std::min(out[1], ys[i]);
    out[2] = std::max(out[2], xs[i]);
    out[3] = std::max(out[3], ys[i]);
  }
}

void QuartzPaintWithShadow(CGContext* ctx, const double ext[4], void (*draw)(cairo_t*, void*), void* info) {
  cairo_t* cr = ctx->cr;
  const QuartzShadow& sh = ctx->state.shadow;
  const cairo_operator_t op = QuartzOperatorForBlendMode(ctx->state.blend);
  if (ctx->state.blend == kCGBlendModeClear) {
    cairo_set_operator(cr, op);
    draw(cr, info);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return;
  }
  const bool hasShadow = sh.color.a > 0 && std::isfinite(ext[0]) && std::isfinite(ext[2]);
  if (!hasShadow) {
    cairo_set_operator(cr, op);
    draw(cr, info);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return;
  }
  // Draw into a group limited to the shape's box, then cast the group's
  // blurred alpha, then composite the group with the blend mode.
  double cx0, cy0, cx1, cy1;
  cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  double clipDev[4];
  QuartzUserRectToDevice(cr, cx0, cy0, cx1, cy1, clipDev);
  const double x0 = std::floor(std::max(ext[0] - 1, clipDev[0])), y0 = std::floor(std::max(ext[1] - 1, clipDev[1]));
  const double x1 = std::ceil(std::min(ext[2] + 1, clipDev[2])), y1 = std::ceil(std::min(ext[3] + 1, clipDev[3]));
  if (x1 <= x0 || y1 <= y0 || x1 - x0 > 16384 || y1 - y0 > 16384) {
    cairo_set_operator(cr, op);
    draw(cr, info);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return;
  }
  // Work in the target's pixels (a window may be scaled for a dense screen).
  double sx = 1, sy = 1;
  cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
  if (!(sx > 0) || !(sy > 0)) sx = sy = 1;
  const int w = int(std::ceil((x1 - x0) * sx)), h = int(std::ceil((y1 - y0) * sy));
  const int radius = int(std::ceil(std::max(0.0, sh.blur) / 2 * std::max(sx, sy)));
  cairo_surface_t* group = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_set_device_scale(group, sx, sy);
  cairo_t* gc = cairo_create(group);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  cairo_translate(gc, -x0, -y0);
  cairo_transform(gc, &m);
  cairo_set_line_width(gc, cairo_get_line_width(cr));
  cairo_set_line_cap(gc, cairo_get_line_cap(cr));
  cairo_set_line_join(gc, cairo_get_line_join(cr));
  cairo_set_miter_limit(gc, cairo_get_miter_limit(cr));
  cairo_set_fill_rule(gc, cairo_get_fill_rule(cr));
  cairo_set_antialias(gc, cairo_get_antialias(cr));
  int dashes = cairo_get_dash_count(cr);
  if (dashes > 0) {
    std::vector<double> d(static_cast<size_t>(dashes));
    double offset;
    cairo_get_dash(cr, d.data(), &offset);
    cairo_set_dash(gc, d.data(), dashes, offset);
  }
  cairo_path_t* path = cairo_copy_path(cr);
  if (path->status == CAIRO_STATUS_SUCCESS) {
    // The path is in user space of cr; gc has the same user space.
    cairo_append_path(gc, path);
  }
  cairo_path_destroy(path);
  cairo_new_path(cr);
  draw(gc, info);
  cairo_destroy(gc);
  cairo_surface_flush(group);

  // The shadow mask, with room for the blur (radius in pixels).
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w + 2 * radius, h + 2 * radius);
  cairo_surface_set_device_scale(mask, sx, sy);
  cairo_t* mc = cairo_create(mask);
  cairo_set_source_surface(mc, group, radius / sx, radius / sy);
  cairo_paint(mc);
  cairo_destroy(mc);
  BlurAlpha(mask, radius);

  cairo_save(cr);
  cairo_identity_matrix(cr);
  // Base-space offsets: positive height is up on the screen.
  const double dx = sh.offset.width, dy = -sh.offset.height;
  cairo_set_operator(cr, op);
  cairo_set_source_rgba(cr, sh.color.r, sh.color.g, sh.color.b, sh.color.a);
  cairo_mask_surface(cr, mask, x0 - radius / sx + dx, y0 - radius / sy + dy);
  cairo_set_source_surface(cr, group, x0, y0);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(mask);
  cairo_surface_destroy(group);
}

// ---------------------------------------------------------------------------
// State

void CGContextSaveGState(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_save(ctx->cr);
  ctx->saved.push_back(ctx->state);
}

void CGContextRestoreGState(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || ctx->saved.empty()) return;
  // cairo_restore would drop the path; Quartz keeps it where it was built,
  // so it travels in device space, untouched by the restored CTM.
  cairo_matrix_t matrix;
  cairo_get_matrix(ctx->cr, &matrix);
  cairo_identity_matrix(ctx->cr);
  cairo_path_t* path = cairo_copy_path(ctx->cr);
  cairo_set_matrix(ctx->cr, &matrix);
  cairo_restore(ctx->cr);
  cairo_get_matrix(ctx->cr, &matrix);
  cairo_identity_matrix(ctx->cr);
  cairo_new_path(ctx->cr);
  if (path->status == CAIRO_STATUS_SUCCESS) cairo_append_path(ctx->cr, path);
  cairo_set_matrix(ctx->cr, &matrix);
  cairo_path_destroy(path);
  ctx->state = ctx->saved.back();
  ctx->saved.pop_back();
}

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(tx) && Finite(ty)) cairo_translate(ctx->cr, tx, ty);
}

void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy) {
  auto* ctx = QuartzContext(c);
  // A singular matrix would put cairo into an error state for good.
  if (ctx != nullptr && Finite(sx) && Finite(sy) && sx != 0 && sy != 0) cairo_scale(ctx->cr, sx, sy);
}

void CGContextRotateCTM(CGContextRef c, CGFloat angle) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(angle)) cairo_rotate(ctx->cr, angle);
}

void CGContextConcatCTM(CGContextRef c, CGAffineTransform t) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  cairo_matrix_t probe = m;
  if (cairo_matrix_invert(&probe) != CAIRO_STATUS_SUCCESS) return;
  cairo_transform(ctx->cr, &m);
}

CGAffineTransform CGContextGetCTM(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return CGAffineTransformIdentity;
  // user -> cairo device, then cairo device -> base space.
  cairo_matrix_t m, inv = ctx->base, out;
  cairo_get_matrix(ctx->cr, &m);
  cairo_matrix_invert(&inv);
  cairo_matrix_multiply(&out, &m, &inv);
  return CGAffineTransform{out.xx, out.yx, out.xy, out.yy, out.x0, out.y0};
}

CGPoint CGContextConvertPointToDeviceSpace(CGContextRef c, CGPoint p) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return p;
  cairo_user_to_device(ctx->cr, &p.x, &p.y);
  return p;
}

CGPoint CGContextConvertPointToUserSpace(CGContextRef c, CGPoint p) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return p;
  cairo_device_to_user(ctx->cr, &p.x, &p.y);
  return p;
}

void CGContextSetLineWidth(CGContextRef c, CGFloat width) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(width) && width >= 0) cairo_set_line_width(ctx->cr, width);
}

void CGContextSetLineCap(CGContextRef c, CGLineCap cap) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_set_line_cap(ctx->cr, cap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                              : cap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                        : CAIRO_LINE_CAP_BUTT);
}

void CGContextSetLineJoin(CGContextRef c, CGLineJoin join) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_set_line_join(ctx->cr, join == kCGLineJoinRound    ? CAIRO_LINE_JOIN_ROUND
                               : join == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                          : CAIRO_LINE_JOIN_MITER);
}

void CGContextSetMiterLimit(CGContextRef c, CGFloat limit) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(limit)) cairo_set_miter_limit(ctx->cr, limit);
}

void CGContextSetLineDash(CGContextRef c, CGFloat phase, const CGFloat lengths[], size_t count) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  if (lengths == nullptr || count == 0) {
    cairo_set_dash(ctx->cr, nullptr, 0, 0);
    return;
  }
  double total = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!Finite(lengths[i]) || lengths[i] < 0) return;
    total += lengths[i];
  }
  if (total <= 0 || count > 1024) return;  // cairo refuses all-zero dashes
  cairo_set_dash(ctx->cr, lengths, int(count), Finite(phase) ? phase : 0);
}

void CGContextSetFlatness(CGContextRef, CGFloat) {}

void CGContextSetAlpha(CGContextRef c, CGFloat alpha) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr) ctx->state.alpha = Clamp01(alpha);
}

void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && mode >= kCGBlendModeNormal && mode <= kCGBlendModePlusLighter) ctx->state.blend = mode;
}

void CGContextSetShouldAntialias(CGContextRef c, bool shouldAntialias) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  ctx->state.antialias = shouldAntialias;
  ApplyAntialias(ctx);
}

void CGContextSetAllowsAntialiasing(CGContextRef c, bool allowsAntialiasing) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  ctx->state.allowsAntialias = allowsAntialiasing;
  ApplyAntialias(ctx);
}

void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality quality) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr) ctx->state.interpolation = quality;
}

CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr ? ctx->state.interpolation : kCGInterpolationDefault;
}

// Colour management is not done: every space is taken as the display's.
void CGContextSetRenderingIntent(CGContextRef, CGColorRenderingIntent) {}

void CGContextSetRGBFillColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  if (auto* ctx = QuartzContext(c)) ctx->state.fill = Clamped(QuartzRGBA{red, green, blue, alpha});
}

void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  if (auto* ctx = QuartzContext(c)) ctx->state.stroke = Clamped(QuartzRGBA{red, green, blue, alpha});
}

void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat alpha) {
  if (auto* ctx = QuartzContext(c)) ctx->state.fill = Clamped(Gray(gray, alpha));
}

void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat alpha) {
  if (auto* ctx = QuartzContext(c)) ctx->state.stroke = Clamped(Gray(gray, alpha));
}

void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && CGColorGetComponents(color) != nullptr) ctx->state.fill = QuartzColorToRGBA(color);
}

void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && CGColorGetComponents(color) != nullptr) ctx->state.stroke = QuartzColorToRGBA(color);
}

void CGContextSetFillColorSpace(CGContextRef c, CGColorSpaceRef space) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || CGColorSpaceGetNumberOfComponents(space) == 0) return;
  ctx->state.fillComponents = CGColorSpaceGetNumberOfComponents(space);
  ctx->state.fill = QuartzRGBA{0, 0, 0, 1};
}

void CGContextSetStrokeColorSpace(CGContextRef c, CGColorSpaceRef space) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || CGColorSpaceGetNumberOfComponents(space) == 0) return;
  ctx->state.strokeComponents = CGColorSpaceGetNumberOfComponents(space);
  ctx->state.stroke = QuartzRGBA{0, 0, 0, 1};
}

namespace {
QuartzRGBA FromComponents(size_t n, const CGFloat* p) {
  return Clamped(n == 1 ? Gray(p[0], p[1]) : QuartzRGBA{p[0], p[1], p[2], p[3]});
}
}  // namespace

void CGContextSetFillColor(CGContextRef c, const CGFloat components[]) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && components != nullptr) ctx->state.fill = FromComponents(ctx->state.fillComponents, components);
}

void CGContextSetStrokeColor(CGContextRef c, const CGFloat components[]) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && components != nullptr)
    ctx->state.stroke = FromComponents(ctx->state.strokeComponents, components);
}

void CGContextSetShadow(CGContextRef c, CGSize offset, CGFloat blur) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  ctx->state.shadow.offset = (Finite(offset.width) && Finite(offset.height)) ? offset : CGSize{0, 0};
  ctx->state.shadow.blur = Finite(blur) ? std::clamp(blur, 0.0, 100.0) : 0;
  ctx->state.shadow.color = QuartzRGBA{0, 0, 0, 1.0 / 3.0};
}

void CGContextSetShadowWithColor(CGContextRef c, CGSize offset, CGFloat blur, CGColorRef color) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  CGContextSetShadow(c, offset, blur);
  // A nil colour turns the shadow off.
  ctx->state.shadow.color = color != nullptr ? QuartzColorToRGBA(color) : QuartzRGBA{0, 0, 0, 0};
}

// ---------------------------------------------------------------------------
// Paths

void CGContextBeginPath(CGContextRef c) {
  if (auto* ctx = QuartzContext(c)) cairo_new_path(ctx->cr);
}

void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(x) && Finite(y)) cairo_move_to(ctx->cr, x, y);
}

void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && Finite(x) && Finite(y)) cairo_line_to(ctx->cr, x, y);
}

void CGContextAddLines(CGContextRef c, const CGPoint points[], size_t count) {
  if (QuartzContext(c) == nullptr || points == nullptr || count == 0) return;
  CGContextMoveToPoint(c, points[0].x, points[0].y);
  for (size_t i = 1; i < count; ++i) CGContextAddLineToPoint(c, points[i].x, points[i].y);
}

void CGContextAddRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx != nullptr && FiniteRect(rect))
    cairo_rectangle(ctx->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

void CGContextAddRects(CGContextRef c, const CGRect rects[], size_t count) {
  if (rects == nullptr) return;
  for (size_t i = 0; i < count; ++i) CGContextAddRect(c, rects[i]);
}

void CGContextAddArc(CGContextRef c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                     int clockwise) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !Finite(x) || !Finite(y) || !Finite(radius) || !Finite(startAngle) || !Finite(endAngle) ||
      radius < 0)
    return;
  const double full = 2 * M_PI;
  double end = endAngle;
  if (std::fabs(endAngle - startAngle) >= full - 1e-9) {
    end = clockwise ? startAngle - full : startAngle + full;
  } else if (clockwise) {
    while (end > startAngle) end -= full;
  } else {
    while (end < startAngle) end += full;
  }
  if (clockwise) cairo_arc_negative(ctx->cr, x, y, radius, startAngle, end);
  else cairo_arc(ctx->cr, x, y, radius, startAngle, end);
}

void CGContextAddArcToPoint(CGContextRef c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !cairo_has_current_point(ctx->cr) || !Finite(x1) || !Finite(y1) || !Finite(x2) ||
      !Finite(y2) || !Finite(radius) || radius < 0)
    return;
  double x0, y0;
  cairo_get_current_point(ctx->cr, &x0, &y0);
  // Unit vectors from the corner towards both neighbours.
  double ax = x0 - x1, ay = y0 - y1, bx = x2 - x1, by = y2 - y1;
  const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  if (la == 0 || lb == 0 || radius == 0) {
    cairo_line_to(ctx->cr, x1, y1);
    return;
  }
  ax /= la, ay /= la, bx /= lb, by /= lb;
  const double cosTheta = std::clamp(ax * bx + ay * by, -1.0, 1.0);
  const double theta = std::acos(cosTheta);  // the angle at the corner
  const double cross = ax * by - ay * bx;
  if (std::fabs(cross) < 1e-12 || theta < 1e-9) {
    cairo_line_to(ctx->cr, x1, y1);
    return;
  }
  const double dist = radius / std::tan(theta / 2);  // corner to tangent points
  const double t1x = x1 + ax * dist, t1y = y1 + ay * dist;
  const double t2x = x1 + bx * dist, t2y = y1 + by * dist;
  // The centre lies on the bisector, radius / sin(theta / 2) from the corner.
  double mx = ax + bx, my = ay + by;
  const double lm = std::hypot(mx, my);
  mx /= lm, my /= lm;
  const double cd = radius / std::sin(theta / 2);
  const double cx = x1 + mx * cd, cy = y1 + my * cd;
  const double a1 = std::atan2(t1y - cy, t1x - cx), a2 = std::atan2(t2y - cy, t2x - cx);
  cairo_line_to(ctx->cr, t1x, t1y);
  // Turning one way around the corner sweeps the arc the other way.
  if (cross > 0) {
    double e = a2;
    while (e > a1) e -= 2 * M_PI;
    cairo_arc_negative(ctx->cr, cx, cy, radius, a1, e);
  } else {
    double e = a2;
    while (e < a1) e += 2 * M_PI;
    cairo_arc(ctx->cr, cx, cy, radius, a1, e);
  }
}

void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !Finite(cp1x) || !Finite(cp1y) || !Finite(cp2x) || !Finite(cp2y) || !Finite(x) || !Finite(y))
    return;
  if (!cairo_has_current_point(ctx->cr)) cairo_move_to(ctx->cr, cp1x, cp1y);
  cairo_curve_to(ctx->cr, cp1x, cp1y, cp2x, cp2y, x, y);
}

void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !Finite(cpx) || !Finite(cpy) || !Finite(x) || !Finite(y)) return;
  if (!cairo_has_current_point(ctx->cr)) cairo_move_to(ctx->cr, cpx, cpy);
  double x0, y0;
  cairo_get_current_point(ctx->cr, &x0, &y0);
  cairo_curve_to(ctx->cr, x0 + 2.0 / 3.0 * (cpx - x0), y0 + 2.0 / 3.0 * (cpy - y0), x + 2.0 / 3.0 * (cpx - x),
                 y + 2.0 / 3.0 * (cpy - y), x, y);
}

void CGContextAddEllipseInRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !FiniteRect(rect)) return;
  rect = Standard(rect);
  if (rect.size.width == 0 || rect.size.height == 0) return;
  cairo_t* cr = ctx->cr;
  cairo_new_sub_path(cr);
  cairo_save(cr);
  cairo_translate(cr, rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2);
  cairo_scale(cr, rect.size.width / 2, rect.size.height / 2);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_restore(cr);
}

void CGContextClosePath(CGContextRef c) {
  if (auto* ctx = QuartzContext(c)) cairo_close_path(ctx->cr);
}

bool CGContextIsPathEmpty(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return true;
  cairo_path_t* path = cairo_copy_path(ctx->cr);
  const bool empty = path->status != CAIRO_STATUS_SUCCESS || path->num_data == 0;
  cairo_path_destroy(path);
  return empty;
}

CGPoint CGContextGetPathCurrentPoint(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  CGPoint p{0, 0};
  if (ctx != nullptr && cairo_has_current_point(ctx->cr)) cairo_get_current_point(ctx->cr, &p.x, &p.y);
  return p;
}

CGRect CGContextGetPathBoundingBox(CGContextRef c) {
  if (CGContextIsPathEmpty(c)) return CGRect{{INFINITY, INFINITY}, {0, 0}};
  double x0, y0, x1, y1;
  cairo_path_extents(QuartzContext(c)->cr, &x0, &y0, &x1, &y1);
  return CGRect{{x0, y0}, {x1 - x0, y1 - y0}};
}

void CGContextReplacePathWithStrokedPath(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || CGContextIsPathEmpty(c)) return;
  // cairo cannot hand out a stroke outline: the stroke's pixels are traced
  // back to rectangles of a mask, one per run of covered pixels.
  cairo_t* cr = ctx->cr;
  double ux0, uy0, ux1, uy1, dev[4];
  cairo_stroke_extents(cr, &ux0, &uy0, &ux1, &uy1);
  QuartzUserRectToDevice(cr, ux0, uy0, ux1, uy1, dev);
  const int x0 = int(std::floor(dev[0])), y0 = int(std::floor(dev[1]));
  const int w = int(std::ceil(dev[2])) - x0, h = int(std::ceil(dev[3])) - y0;
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
    cairo_new_path(cr);
    return;
  }
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t* mc = cairo_create(mask);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  cairo_translate(mc, -x0, -y0);
  cairo_transform(mc, &m);
  cairo_path_t* path = cairo_copy_path(cr);
  cairo_append_path(mc, path);
  cairo_path_destroy(path);
  cairo_set_line_width(mc, cairo_get_line_width(cr));
  cairo_set_line_cap(mc, cairo_get_line_cap(cr));
  cairo_set_line_join(mc, cairo_get_line_join(cr));
  cairo_set_antialias(mc, CAIRO_ANTIALIAS_NONE);
  cairo_stroke(mc);
  cairo_destroy(mc);
  cairo_surface_flush(mask);
  const unsigned char* data = cairo_image_surface_get_data(mask);
  const int stride = cairo_image_surface_get_stride(mask);
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_identity_matrix(cr);
  for (int y = 0; y < h; ++y) {
    int x = 0;
    while (x < w) {
      while (x < w && data[y * stride + x] < 128) ++x;
      const int start = x;
      while (x < w && data[y * stride + x] >= 128) ++x;
      if (x > start) cairo_rectangle(cr, x0 + start, y0 + y, x - start, 1);
    }
  }
  cairo_restore(cr);
  cairo_surface_destroy(mask);
}

// ---------------------------------------------------------------------------
// Painting

namespace {

struct PaintInfo {
  CGContext* ctx;
  bool fill, stroke, evenOdd;
};

void PaintPath(cairo_t* cr, void* p) {
  auto* info = static_cast<PaintInfo*>(p);
  CGContext* ctx = info->ctx;
  cairo_set_fill_rule(cr, info->evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  const QuartzRGBA& f = ctx->state.fill;
  const QuartzRGBA& s = ctx->state.stroke;
  if (info->fill) {
    cairo_set_source_rgba(cr, f.r, f.g, f.b, f.a * ctx->state.alpha);
    if (info->stroke) cairo_fill_preserve(cr);
    else cairo_fill(cr);
  }
  if (info->stroke) {
    cairo_set_source_rgba(cr, s.r, s.g, s.b, s.a * ctx->state.alpha);
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
}

void DrawCurrentPath(CGContext* ctx, bool fill, bool stroke, bool evenOdd) {
  cairo_t* cr = ctx->cr;
  double ext[4] = {INFINITY, INFINITY, -INFINITY, -INFINITY};
  if (ctx->state.shadow.color.a > 0) {
    double x0, y0, x1, y1;
    if (stroke) cairo_stroke_extents(cr, &x0, &y0, &x1, &y1);
    else cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    QuartzUserRectToDevice(cr, x0, y0, x1, y1, ext);
  }
  PaintInfo info{ctx, fill, stroke, evenOdd};
  QuartzPaintWithShadow(ctx, ext, PaintPath, &info);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_new_path(cr);
}

}  // namespace

void CGContextFillPath(CGContextRef c) {
  if (auto* ctx = QuartzContext(c)) DrawCurrentPath(ctx, true, false, false);
}

void CGContextEOFillPath(CGContextRef c) {
  if (auto* ctx = QuartzContext(c)) DrawCurrentPath(ctx, true, false, true);
}

void CGContextStrokePath(CGContextRef c) {
  if (auto* ctx = QuartzContext(c)) DrawCurrentPath(ctx, false, true, false);
}

void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  switch (mode) {
    case kCGPathFill: DrawCurrentPath(ctx, true, false, false); break;
    case kCGPathEOFill: DrawCurrentPath(ctx, true, false, true); break;
    case kCGPathStroke: DrawCurrentPath(ctx, false, true, false); break;
    case kCGPathFillStroke: DrawCurrentPath(ctx, true, true, false); break;
    case kCGPathEOFillStroke: DrawCurrentPath(ctx, true, true, true); break;
    default: cairo_new_path(ctx->cr); break;
  }
}

void CGContextFillRect(CGContextRef c, CGRect rect) { CGContextFillRects(c, &rect, 1); }

void CGContextFillRects(CGContextRef c, const CGRect rects[], size_t count) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || rects == nullptr) return;
  PathKeeper keep(ctx->cr);
  CGContextAddRects(c, rects, count);
  DrawCurrentPath(ctx, true, false, false);
}

void CGContextStrokeRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  PathKeeper keep(ctx->cr);
  CGContextAddRect(c, rect);
  DrawCurrentPath(ctx, false, true, false);
}

void CGContextStrokeRectWithWidth(CGContextRef c, CGRect rect, CGFloat width) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !Finite(width) || width < 0) return;
  const double old = cairo_get_line_width(ctx->cr);
  cairo_set_line_width(ctx->cr, width);
  CGContextStrokeRect(c, rect);
  cairo_set_line_width(ctx->cr, old);
}

void CGContextClearRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !FiniteRect(rect)) return;
  PathKeeper keep(ctx->cr);
  cairo_rectangle(ctx->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_set_operator(ctx->cr, CAIRO_OPERATOR_CLEAR);
  cairo_fill(ctx->cr);
  cairo_set_operator(ctx->cr, CAIRO_OPERATOR_OVER);
}

void CGContextFillEllipseInRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  PathKeeper keep(ctx->cr);
  CGContextAddEllipseInRect(c, rect);
  DrawCurrentPath(ctx, true, false, false);
}

void CGContextStrokeEllipseInRect(CGContextRef c, CGRect rect) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  PathKeeper keep(ctx->cr);
  CGContextAddEllipseInRect(c, rect);
  DrawCurrentPath(ctx, false, true, false);
}

void CGContextStrokeLineSegments(CGContextRef c, const CGPoint points[], size_t count) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || points == nullptr) return;
  PathKeeper keep(ctx->cr);
  for (size_t i = 0; i + 1 < count; i += 2) {
    CGContextMoveToPoint(c, points[i].x, points[i].y);
    CGContextAddLineToPoint(c, points[i + 1].x, points[i + 1].y);
  }
  DrawCurrentPath(ctx, false, true, false);
}

// ---------------------------------------------------------------------------
// Clipping

void CGContextClip(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_set_fill_rule(ctx->cr, CAIRO_FILL_RULE_WINDING);
  cairo_clip(ctx->cr);
}

void CGContextEOClip(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return;
  cairo_set_fill_rule(ctx->cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_clip(ctx->cr);
  cairo_set_fill_rule(ctx->cr, CAIRO_FILL_RULE_WINDING);
}

void CGContextClipToRect(CGContextRef c, CGRect rect) { CGContextClipToRects(c, &rect, 1); }

void CGContextClipToRects(CGContextRef c, const CGRect rects[], size_t count) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || rects == nullptr) return;
  PathKeeper keep(ctx->cr);
  for (size_t i = 0; i < count; ++i) {
    if (!FiniteRect(rects[i])) continue;
    CGRect r = Standard(rects[i]);
    cairo_rectangle(ctx->cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
  }
  cairo_set_fill_rule(ctx->cr, CAIRO_FILL_RULE_WINDING);
  cairo_clip(ctx->cr);  // no rectangles: nothing stays visible
}

CGRect CGContextGetClipBoundingBox(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr) return CGRect{{0, 0}, {0, 0}};
  double x0, y0, x1, y1;
  cairo_clip_extents(ctx->cr, &x0, &y0, &x1, &y1);
  return CGRect{{x0, y0}, {x1 - x0, y1 - y0}};
}

// ---------------------------------------------------------------------------
// Images

namespace {

struct ImageInfo {
  CGContext* ctx;
  CGImage* image;
  CGRect rect;
  bool upright;  // top row at min y
};

void PaintImage(cairo_t* cr, void* p) {
  auto* info = static_cast<ImageInfo*>(p);
  const CGRect& r = info->rect;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
  cairo_clip(cr);
  if (info->upright) {
    cairo_translate(cr, r.origin.x, r.origin.y);
    cairo_scale(cr, r.size.width / double(info->image->width), r.size.height / double(info->image->height));
  } else {
    cairo_translate(cr, r.origin.x, r.origin.y + r.size.height);
    cairo_scale(cr, r.size.width / double(info->image->width), -r.size.height / double(info->image->height));
  }
  cairo_set_source_surface(cr, info->image->surface, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, QuartzFilterFor(info->ctx->state.interpolation, info->image->shouldInterpolate));
  // Pixels beyond the edges repeat the edge, so scaled edges do not fade.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_paint_with_alpha(cr, info->ctx->state.alpha);
  cairo_restore(cr);
}

void DrawImage(CGContextRef c, CGRect rect, CGImageRef image, bool upright) {
  auto* ctx = QuartzContext(c);
  auto* img = QuartzImage(image);
  if (ctx == nullptr || img == nullptr || !FiniteRect(rect)) return;
  rect = Standard(rect);
  if (rect.size.width <= 0 || rect.size.height <= 0) return;
  PathKeeper keep(ctx->cr);
  double ext[4];
  QuartzUserRectToDevice(ctx->cr, rect.origin.x, rect.origin.y, rect.origin.x + rect.size.width,
                         rect.origin.y + rect.size.height, ext);
  ImageInfo info{ctx, img, rect, upright};
  QuartzPaintWithShadow(ctx, ext, PaintImage, &info);
}

}  // namespace

void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image) { DrawImage(c, rect, image, false); }

OSStatus HIViewDrawCGImage(CGContextRef inContext, const CGRect* inBounds, CGImageRef inImage) {
  if (QuartzContext(inContext) == nullptr || inBounds == nullptr || QuartzImage(inImage) == nullptr) return paramErr;
  DrawImage(inContext, *inBounds, inImage, true);
  return noErr;
}

// ---------------------------------------------------------------------------
// Text matrix

void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t) {
  if (auto* ctx = QuartzContext(c)) ctx->textMatrix = t;
}

CGAffineTransform CGContextGetTextMatrix(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr ? ctx->textMatrix : CGAffineTransformIdentity;
}

void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y) {
  if (auto* ctx = QuartzContext(c)) ctx->textPosition = CGPoint{x, y};
}

CGPoint CGContextGetTextPosition(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr ? ctx->textPosition : CGPoint{0, 0};
}

// ---------------------------------------------------------------------------
// Bitmap contexts

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo) {
  QuartzPixelLayout layout;
  const size_t comps = CGColorSpaceGetNumberOfComponents(space);
  const CGImageAlphaInfo alpha = bitmapInfo & kCGBitmapAlphaInfoMask;
  if (width == 0 || height == 0 || width > 32767 || height > 32767) return nullptr;
  if (alpha == kCGImageAlphaFirst || alpha == kCGImageAlphaLast) return nullptr;
  size_t bpp = alpha == kCGImageAlphaOnly ? 8 : comps == 3 ? 32 : 8;
  if (!QuartzPixelLayoutFor(bitsPerComponent, bpp, comps, bitmapInfo, &layout)) return nullptr;
  if (bytesPerRow == 0) bytesPerRow = width * layout.BytesPerPixel();
  if (bytesPerRow < width * layout.BytesPerPixel()) return nullptr;
  // 1 GiB of pixels at most: beyond that the caller's numbers are wrong.
  if (bytesPerRow > (size_t(1) << 30) / height) return nullptr;

  auto* ctx = new CGContext;
  ctx->isBitmap = true;
  ctx->width = width;
  ctx->height = height;
  ctx->bytesPerRow = bytesPerRow;
  ctx->bitsPerPixel = bpp;
  ctx->bitmapInfo = bitmapInfo;
  ctx->space = CGColorSpaceRetain(space);
  if (data == nullptr) {
    ctx->ownData.assign(bytesPerRow * height, 0);
    ctx->data = ctx->ownData.data();
  } else {
    ctx->data = data;
  }
  // cairo's own word layout (premultiplied ARGB in host order) or an alpha
  // mask with a 4-byte aligned stride can be drawn into directly.
  const bool nativeRGB = layout.kind == QuartzPixelLayout::kRGB32 && alpha == kCGImageAlphaPremultipliedFirst &&
                         layout.little;
  const bool nativeA8 = layout.kind == QuartzPixelLayout::kAlpha8;
  if ((nativeRGB || nativeA8) && bytesPerRow % 4 == 0 && bytesPerRow <= size_t(INT32_MAX)) {
    ctx->surface = cairo_image_surface_create_for_data(static_cast<unsigned char*>(ctx->data),
                                                       nativeA8 ? CAIRO_FORMAT_A8 : CAIRO_FORMAT_ARGB32, int(width),
                                                       int(height), int(bytesPerRow));
    ctx->direct = true;
  } else {
    ctx->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
    if (cairo_surface_status(ctx->surface) == CAIRO_STATUS_SUCCESS) {
      unsigned char* dst = cairo_image_surface_get_data(ctx->surface);
      const size_t stride = size_t(cairo_image_surface_get_stride(ctx->surface));
      for (size_t y = 0; y < height; ++y)
        QuartzImportRow(layout, static_cast<const UInt8*>(ctx->data) + y * bytesPerRow,
                        reinterpret_cast<uint32_t*>(dst + y * stride), width);
      cairo_surface_mark_dirty(ctx->surface);
    }
  }
  if (cairo_surface_status(ctx->surface) != CAIRO_STATUS_SUCCESS) {
    ctx->isBitmap = false;
    CFRelease(ctx);
    return nullptr;
  }
  ctx->cr = cairo_create(ctx->surface);
  cairo_translate(ctx->cr, 0, double(height));
  cairo_scale(ctx->cr, 1, -1);
  cairo_get_matrix(ctx->cr, &ctx->base);
  ctx->yDown = false;
  ApplyAntialias(ctx);
  return ctx;
}

void* CGBitmapContextGetData(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !ctx->isBitmap) return nullptr;
  ctx->WriteBack();
  return ctx->data;
}

size_t CGBitmapContextGetWidth(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->isBitmap ? ctx->width : 0;
}

size_t CGBitmapContextGetHeight(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->isBitmap ? ctx->height : 0;
}

size_t CGBitmapContextGetBytesPerRow(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->isBitmap ? ctx->bytesPerRow : 0;
}

size_t CGBitmapContextGetBitsPerPixel(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->isBitmap ? ctx->bitsPerPixel : 0;
}

CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  return ctx != nullptr && ctx->isBitmap ? (ctx->bitmapInfo & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

CGImageRef CGBitmapContextCreateImage(CGContextRef c) {
  auto* ctx = QuartzContext(c);
  if (ctx == nullptr || !ctx->isBitmap) return nullptr;
  cairo_surface_flush(ctx->surface);
  ctx->WriteBack();
  return QuartzCreateImageFromSurface(ctx->surface);
}

// ---------------------------------------------------------------------------
// Affine transforms

const CGAffineTransform CGAffineTransformIdentity = {1, 0, 0, 1, 0, 0};

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty) {
  return CGAffineTransform{a, b, c, d, tx, ty};
}
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) { return {1, 0, 0, 1, tx, ty}; }
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return {sx, 0, 0, sy, 0, 0}; }
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
  const double s = std::sin(angle), co = std::cos(angle);
  return {co, s, -s, co, 0, 0};
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
  return CGAffineTransform{t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
                           t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
                           t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty) {
  return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy) {
  return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle) {
  return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
  const double det = t.a * t.d - t.b * t.c;
  if (det == 0 || !std::isfinite(det)) return t;
  return CGAffineTransform{t.d / det,  -t.b / det, -t.c / det, t.a / det, (t.c * t.ty - t.d * t.tx) / det,
                           (t.b * t.tx - t.a * t.ty) / det};
}

bool CGAffineTransformIsIdentity(CGAffineTransform t) {
  return CGAffineTransformEqualToTransform(t, CGAffineTransformIdentity);
}

bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2) {
  return t1.a == t2.a && t1.b == t2.b && t1.c == t2.c && t1.d == t2.d && t1.tx == t2.tx && t1.ty == t2.ty;
}

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t) {
  return CGPoint{t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t) {
  return CGSize{t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t) {
  r = Standard(r);
  CGPoint pts[4] = {{r.origin.x, r.origin.y},
                    {r.origin.x + r.size.width, r.origin.y},
                    {r.origin.x, r.origin.y + r.size.height},
                    {r.origin.x + r.size.width, r.origin.y + r.size.height}};
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (auto& p : pts) {
    CGPoint q = CGPointApplyAffineTransform(p, t);
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
  }
  return CGRect{{x0, y0}, {x1 - x0, y1 - y0}};
}
