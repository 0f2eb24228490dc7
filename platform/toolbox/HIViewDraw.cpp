// Drawing the view tree: each visible view gets kEventControlDraw with a
// y-down context whose origin is its bounds origin, clipped to it; subviews
// follow their parent in index order.
#include <cmath>

#include "HIViewRecord.h"

#if __has_include("CGContext.h")
#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#define VIEW_HAS_QUARTZ 1
#endif

#ifdef VIEW_HAS_QUARTZ

namespace {

void DrawView(__CView* view, CGContextRef context) {
  if (!view->visible || !view->drawingEnabled) return;
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  CGRect bounds{view->boundsOrigin, view->frame.size};
  CGContextSaveGState(context);
  CGContextClipToRect(context, CGRect{{0, 0}, view->frame.size});
  // A view outside what is being drawn (the host's dirty area) would show
  // nothing, and neither would its subviews.
  const CGRect clip = CGContextGetClipBoundingBox(context);
  if (clip.size.width <= 0 || clip.size.height <= 0) {
    CGContextRestoreGState(context);
    return;
  }
  CGContextTranslateCTM(context, -view->boundsOrigin.x, -view->boundsOrigin.y);
  CGContextSaveGState(context);
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlDraw, view);
  SetEventParameter(e, kEventParamCGContextRef, typeCGContextRef, sizeof context, &context);
  ControlPartCode part = kControlEntireControl;
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  CGContextRestoreGState(context);
  view->needsDisplay = false;
  if (ViewIsLive(ref)) {
    std::vector<__CView*> kids = view->children;
    for (auto* child : kids) {
      if (!ViewIsLive(reinterpret_cast<HIViewRef>(child)) || child->parent != view) continue;
      CGContextSaveGState(context);
      CGContextTranslateCTM(context, child->frame.origin.x, child->frame.origin.y);
      DrawView(child, context);
      CGContextRestoreGState(context);
    }
  }
  (void)bounds;
  CGContextRestoreGState(context);
}

}  // namespace

OSStatus ViewDrawTree(__CView* view, CGContextRef context) {
  DrawView(view, context);
  return noErr;
}

OSStatus HIViewCreateOffscreenImage(HIViewRef inView, OptionBits, HIRect* outFrame, CGImageRef* outImage) {
  if (outImage == nullptr) return paramErr;
  *outImage = nullptr;
  if (!ViewIsLive(inView)) return errUnknownControl;
  __CView* view = ViewOf(inView);
  size_t width = size_t(std::ceil(view->frame.size.width)), height = size_t(std::ceil(view->frame.size.height));
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return paramErr;
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef context =
      CGBitmapContextCreate(nullptr, width, height, 8, width * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (context == nullptr) return memFullErr;
  // Views draw y-down.
  CGContextTranslateCTM(context, 0, CGFloat(height));
  CGContextScaleCTM(context, 1, -1);
  bool wasVisible = view->visible;
  view->visible = true;  // the picture shows the view even while it is hidden
  DrawView(view, context);
  if (ViewIsLive(inView)) view->visible = wasVisible;
  *outImage = CGBitmapContextCreateImage(context);
  CGContextRelease(context);
  if (outFrame) *outFrame = view->frame;
  return *outImage ? noErr : memFullErr;
}

#else

OSStatus ViewDrawTree(__CView*, CGContextRef) { return unimpErr; }
OSStatus HIViewCreateOffscreenImage(HIViewRef, OptionBits, HIRect*, CGImageRef* outImage) {
  if (outImage) *outImage = nullptr;
  return unimpErr;
}

#endif
