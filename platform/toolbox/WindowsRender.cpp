// The headless host's screenshot: a window's content drawn into an image
// surface and written as a PNG.
#include <cairo.h>

#include "QuartzInternal.h"
#include "WindowsRecord.h"

OSStatus WindowWritePNG(WindowRef window, const std::string& path) {
  if (!WindowIsLive(window) || path.empty()) return paramErr;
  const Rect& c = window->content;
  // The toolbar strip, when one shows, lies above the content.
  const int strip = window->strip ? window->toolbarHeight : 0;
  const int width = c.right - c.left, height = c.bottom - c.top + strip;
  if (width <= 0 || height <= 0) return paramErr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return memFullErr;
  }
  cairo_t* cr = cairo_create(surface);
  const RGBColor& bg = window->contentColor;
  cairo_set_source_rgb(cr, bg.red / 65535.0, bg.green / 65535.0, bg.blue / 65535.0);
  cairo_paint(cr);
  if (window->strip != nullptr) {
    if (CGContextRef context = QuartzCreateContextForCairo(cr, true)) {
      HIViewDrawInContext(window->strip, context);
      CGContextRelease(context);
    }
  }
  cairo_translate(cr, 0, strip);
  if (window->root != nullptr) {
    CGContextRef context = QuartzCreateContextForCairo(cr, true);
    if (context != nullptr) {
      HIViewDrawInContext(window->root, context);
      CGContextRelease(context);
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const cairo_status_t written = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return written == CAIRO_STATUS_SUCCESS ? noErr : OSStatus(ioErr);
}
