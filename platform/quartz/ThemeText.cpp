// Theme text: the font table, measuring and drawing text boxes with pango.
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "CFStringInternal.h"
#include "HITheme.h"
#include "QuartzInternal.h"
#include "ThemeInternal.h"

namespace {

// One table for every machine: sizes in pixels.
const ThemeFontSpec kFonts[] = {
    {kThemeSystemFont, 13, false},
    {kThemeSmallSystemFont, 11, false},
    {kThemeSmallEmphasizedSystemFont, 11, true},
    {kThemeViewsFont, 12, false},
    {kThemeEmphasizedSystemFont, 13, true},
    {kThemeApplicationFont, 12, false},
    {kThemeLabelFont, 10, false},
    {kThemeMenuTitleFont, 14, false},
    {kThemeMenuItemFont, 14, false},
    {kThemeMenuItemMarkFont, 14, false},
    {kThemeMenuItemCmdKeyFont, 14, false},
    {kThemeWindowTitleFont, 13, true},
    {kThemePushButtonFont, 13, false},
    {kThemeUtilityWindowTitleFont, 11, true},
    {kThemeAlertHeaderFont, 13, true},
    {kThemeToolbarFont, 11, false},
    {kThemeMiniSystemFont, 9, false},
    {kThemeCurrentPortFont, 13, false},
};

PangoContext* SharedContext() {
  // Unhinted metrics: a text measures the same at every position and scale,
  // so what HIThemeGetTextDimensions says is what HIThemeDrawTextBox draws.
  static PangoContext* context = [] {
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* c = pango_font_map_create_context(map);
    g_object_unref(map);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return c;
  }();
  return context;
}

}  // namespace

const char* const kThemeFontFamily = "DejaVu Sans";

const ThemeFontSpec* ThemeFindFont(ThemeFontID id) {
  for (const auto& f : kFonts)
    if (f.id == id) return &f;
  return nullptr;
}

bool ThemeStringUTF8(CFTypeRef string, std::string* out) {
  if (string == nullptr || CFGetTypeID(string) != CFStringGetTypeID()) return false;
  std::string s = __CFStringGetUTF8(static_cast<CFStringRef>(string));
  if (!g_utf8_validate(s.data(), gssize(s.size()), nullptr) || s.find('\0') != std::string::npos) {
    gchar* valid = g_utf8_make_valid(s.data(), gssize(s.size()));
    s = valid;
    g_free(valid);
  }
  // Carbon text breaks lines at carriage returns.
  for (char& ch : s)
    if (ch == '\r') ch = '\n';
  *out = std::move(s);
  return true;
}

namespace {
PangoLayout* NewThemeLayout(const std::string& text, ThemeFontID fontID, double width, const HIThemeTextInfo* info);
}

// A window draws the same few texts again and again (line numbers, labels):
// their layouts, which nothing changes once made, are kept and shared.
PangoLayout* ThemeCreateLayout(const std::string& text, ThemeFontID fontID, double width,
                               const HIThemeTextInfo* info) {
  constexpr size_t kKept = 512;
  static std::mutex lock;
  static std::unordered_map<std::string, PangoLayout*> kept;
  std::string key = text;
  const struct {
    double width;
    ThemeFontID font;
    SInt32 truncation, maxLines, flush;
  } facts{width, fontID, info != nullptr ? SInt32(info->truncationPosition) : -1,
          info != nullptr ? SInt32(info->truncationMaxLines) : -1,
          info != nullptr ? SInt32(info->horizontalFlushness) : -1};
  key.push_back('\0');
  key.append(reinterpret_cast<const char*>(&facts.width), sizeof facts.width);
  key.append(reinterpret_cast<const char*>(&facts.font), sizeof facts.font);
  key.append(reinterpret_cast<const char*>(&facts.truncation), sizeof facts.truncation);
  key.append(reinterpret_cast<const char*>(&facts.maxLines), sizeof facts.maxLines);
  key.append(reinterpret_cast<const char*>(&facts.flush), sizeof facts.flush);
  std::lock_guard<std::mutex> hold(lock);
  if (auto found = kept.find(key); found != kept.end()) return PANGO_LAYOUT(g_object_ref(found->second));
  PangoLayout* layout = NewThemeLayout(text, fontID, width, info);
  if (kept.size() >= kKept) {
    for (auto& [k, kept_layout] : kept) g_object_unref(kept_layout);
    kept.clear();
  }
  kept.emplace(std::move(key), PANGO_LAYOUT(g_object_ref(layout)));
  return layout;
}

namespace {

PangoLayout* NewThemeLayout(const std::string& text, ThemeFontID fontID, double width, const HIThemeTextInfo* info) {
  const ThemeFontSpec* font = ThemeFindFont(fontID);
  if (font == nullptr) font = ThemeFindFont(kThemeSystemFont);
  PangoLayout* layout = pango_layout_new(SharedContext());
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, kThemeFontFamily);
  pango_font_description_set_absolute_size(desc, font->size * PANGO_SCALE);
  pango_font_description_set_weight(desc, font->bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);

  const HIThemeTextTruncation trunc = info != nullptr ? info->truncationPosition : kHIThemeTextTruncationNone;
  const UInt32 maxLines = info != nullptr ? std::max<UInt32>(1, info->truncationMaxLines) : 1;
  std::string shown = text;
  const bool truncating = trunc != kHIThemeTextTruncationNone && width > 0;
  if (truncating && maxLines == 1) std::replace(shown.begin(), shown.end(), '\n', ' ');
  pango_layout_set_text(layout, shown.data(), int(std::min<size_t>(shown.size(), INT32_MAX)));

  PangoAlignment align = PANGO_ALIGN_LEFT;
  if (info != nullptr && info->horizontalFlushness == kHIThemeTextHorizontalFlushCenter) align = PANGO_ALIGN_CENTER;
  if (info != nullptr && info->horizontalFlushness == kHIThemeTextHorizontalFlushRight) align = PANGO_ALIGN_RIGHT;
  pango_layout_set_alignment(layout, align);
  if (width > 0 && std::isfinite(width)) {
    pango_layout_set_width(layout, int(std::min(width, 1e6) * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    if (truncating) {
      pango_layout_set_ellipsize(layout, trunc == kHIThemeTextTruncationMiddle  ? PANGO_ELLIPSIZE_MIDDLE
                                         : trunc == kHIThemeTextTruncationStart ? PANGO_ELLIPSIZE_START
                                                                                : PANGO_ELLIPSIZE_END);
      pango_layout_set_height(layout, -int(std::min<UInt32>(maxLines, 10000)));
    }
  }
  return layout;
}

void LayoutSize(PangoLayout* layout, double* w, double* h, double* baseline) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  *w = double(logical.width) / PANGO_SCALE;
  *h = double(logical.height) / PANGO_SCALE;
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  while (pango_layout_iter_next_line(iter)) {
  }
  *baseline = double(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
  pango_layout_iter_free(iter);
}

struct TextPaint {
  CGContext* ctx;
  PangoLayout* layout;
  double x, y;
};

void PaintText(cairo_t* cr, void* p) {
  auto* t = static_cast<TextPaint*>(p);
  cairo_new_path(cr);
  const QuartzRGBA& f = t->ctx->state.fill;
  cairo_set_source_rgba(cr, f.r, f.g, f.b, f.a * t->ctx->state.alpha);
  cairo_move_to(cr, t->x, t->y);
  pango_cairo_show_layout(cr, t->layout);
  cairo_new_path(cr);
}

}  // namespace

OSStatus HIThemeGetTextDimensions(CFTypeRef inString, CGFloat inWidth, HIThemeTextInfo* ioTextInfo,
                                  CGFloat* outWidth, CGFloat* outHeight, CGFloat* outBaseline) {
  std::string text;
  if (ioTextInfo == nullptr || !ThemeStringUTF8(inString, &text) || !std::isfinite(inWidth)) return paramErr;
  PangoLayout* layout = ThemeCreateLayout(text, ioTextInfo->fontID, inWidth > 0 ? inWidth : 0, ioTextInfo);
  double w, h, base;
  LayoutSize(layout, &w, &h, &base);
  ioTextInfo->truncationHappened = pango_layout_is_ellipsized(layout);
  g_object_unref(layout);
  if (outWidth != nullptr) *outWidth = w;
  if (outHeight != nullptr) *outHeight = h;
  if (outBaseline != nullptr) *outBaseline = -(h - base);
  return noErr;
}

OSStatus HIThemeDrawTextBox(CFTypeRef inString, const HIRect* inBounds, HIThemeTextInfo* ioTextInfo,
                            CGContextRef inContext, HIThemeOrientation inOrientation) {
  CGContext* ctx = QuartzContext(inContext);
  std::string text;
  if (ctx == nullptr || inBounds == nullptr || ioTextInfo == nullptr || !ThemeStringUTF8(inString, &text))
    return paramErr;
  HIRect r = *inBounds;
  if (!std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) || !std::isfinite(r.size.width) ||
      !std::isfinite(r.size.height))
    return paramErr;
  PangoLayout* layout = ThemeCreateLayout(text, ioTextInfo->fontID, std::max(0.0, r.size.width), ioTextInfo);
  ioTextInfo->truncationHappened = pango_layout_is_ellipsized(layout);
  double w, h, base;
  LayoutSize(layout, &w, &h, &base);
  double y = r.origin.y;
  if (ioTextInfo->verticalFlushness == kHIThemeTextVerticalFlushCenter) y += (r.size.height - h) / 2;
  else if (ioTextInfo->verticalFlushness == kHIThemeTextVerticalFlushBottom) y += r.size.height - h;

  cairo_t* cr = ctx->cr;
  cairo_save(cr);
  cairo_path_t* path = cairo_copy_path(cr);
  if (inOrientation == kHIThemeOrientationInverted) {
    // Mirror about the box's middle so the text stands upright in y-up space.
    cairo_translate(cr, 0, 2 * r.origin.y + r.size.height);
    cairo_scale(cr, 1, -1);
  }
  cairo_new_path(cr);
  double ext[4];
  QuartzUserRectToDevice(cr, r.origin.x - 2, y - 2, r.origin.x + std::max(w, r.size.width) + 2, y + h + 2, ext);
  TextPaint paint{ctx, layout, r.origin.x, y};
  QuartzPaintWithShadow(ctx, ext, PaintText, &paint);
  cairo_restore(cr);
  cairo_new_path(cr);
  if (path->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr, path);
  cairo_path_destroy(path);
  g_object_unref(layout);
  return noErr;
}

OSStatus GetThemeFont(ThemeFontID inFontID, ScriptCode inScript, StringPtr outFontName, SInt16* outFontSize,
                      Style* outStyle) {
  const ThemeFontSpec* font = ThemeFindFont(inFontID);
  if (font == nullptr) return paramErr;
  if (outFontName != nullptr) {
    const size_t n = std::min<size_t>(strlen(kThemeFontFamily), 255);
    outFontName[0] = UInt8(n);
    memcpy(outFontName + 1, kThemeFontFamily, n);
  }
  if (outFontSize != nullptr) *outFontSize = font->size;
  if (outStyle != nullptr) *outStyle = font->bold ? 1 : 0;
  return noErr;
}

OSStatus GetThemeTextDimensions(CFStringRef inString, ThemeFontID inFontID, ThemeDrawState inState,
                                Boolean inWrapToWidth, Point* ioBounds, SInt16* outBaseline) {
  if (ioBounds == nullptr) return paramErr;
  HIThemeTextInfo info{};
  info.fontID = inFontID;
  info.state = inState;
  CGFloat w, h, base;
  OSStatus err = HIThemeGetTextDimensions(inString, inWrapToWidth ? std::max<SInt16>(ioBounds->h, 0) : 0, &info, &w,
                                          &h, &base);
  if (err != noErr) return err;
  ioBounds->h = SInt16(std::min(std::ceil(w), 32767.0));
  ioBounds->v = SInt16(std::min(std::ceil(h), 32767.0));
  if (outBaseline != nullptr) *outBaseline = SInt16(std::lround(base));
  return noErr;
}

OSStatus DrawThemeTextBox(CFStringRef inString, ThemeFontID inFontID, ThemeDrawState inState, Boolean inWrapToWidth,
                          const Rect* inBoundingBox, SInt16 inJust, void* inContext) {
  if (inBoundingBox == nullptr) return paramErr;
  HIThemeTextInfo info{};
  info.fontID = inFontID;
  info.state = inState;
  info.horizontalFlushness = inJust == 1    ? kHIThemeTextHorizontalFlushCenter
                             : inJust == -1 ? kHIThemeTextHorizontalFlushRight
                                            : kHIThemeTextHorizontalFlushLeft;
  info.verticalFlushness = kHIThemeTextVerticalFlushTop;
  if (!inWrapToWidth) {
    info.truncationPosition = kHIThemeTextTruncationEnd;
    info.truncationMaxLines = 1;
  }
  HIRect r{{double(inBoundingBox->left), double(inBoundingBox->top)},
           {double(inBoundingBox->right - inBoundingBox->left), double(inBoundingBox->bottom - inBoundingBox->top)}};
  return HIThemeDrawTextBox(inString, &r, &info, static_cast<CGContextRef>(inContext), kHIThemeOrientationNormal);
}
