// Quartz brackets over a window's port: the drawing context a view lends
// while it draws, turned y-up with its origin at the port's bottom left.
#include <cmath>
#include <vector>

#include "MacWindows.h"
#include "QDPortInternal.h"
#include "QDRegions.h"
#include "QuickDraw.h"

namespace {
struct PortDrawing {
  CGrafPtr port;
  CGContextRef ctx;
  CGPoint origin;
  CGRect clip;
  int open = 0;  // brackets begun and not yet ended
};
std::vector<PortDrawing>& Stack() {
  static auto* stack = new std::vector<PortDrawing>;
  return *stack;
}
PortDrawing* Find(CGrafPtr port) {
  for (auto it = Stack().rbegin(); it != Stack().rend(); ++it)
    if (it->port == port) return &*it;
  return nullptr;
}
CGFloat PortHeight(CGrafPtr port) {
  Rect r{};
  GetWindowPortBounds(port, &r);
  return CGFloat(r.bottom - r.top);
}
}  // namespace

void QDPushPortDrawing(CGrafPtr port, CGContextRef ctx, CGPoint origin, CGRect clip) {
  Stack().push_back(PortDrawing{port, ctx, origin, clip});
}

void QDPopPortDrawing() {
  if (Stack().empty()) return;
  // Brackets a callback left open are closed, so the context's state is whole.
  for (; Stack().back().open > 0; --Stack().back().open) CGContextRestoreGState(Stack().back().ctx);
  Stack().pop_back();
}

OSStatus QDBeginCGContext(CGrafPtr inPort, CGContextRef* outContext) {
  if (outContext == nullptr) return paramErr;
  *outContext = nullptr;
  PortDrawing* d = Find(inPort);
  if (d == nullptr) return paramErr;
  CGContextSaveGState(d->ctx);
  ++d->open;
  CGContextTranslateCTM(d->ctx, -d->origin.x, -d->origin.y);
  CGContextTranslateCTM(d->ctx, 0, PortHeight(inPort));
  CGContextScaleCTM(d->ctx, 1, -1);
  *outContext = d->ctx;
  return noErr;
}

OSStatus QDEndCGContext(CGrafPtr inPort, CGContextRef* inoutContext) {
  if (inoutContext == nullptr) return paramErr;
  PortDrawing* d = Find(inPort);
  if (d == nullptr || d->ctx != *inoutContext || d->open == 0) return paramErr;
  CGContextRestoreGState(d->ctx);
  --d->open;
  *inoutContext = nullptr;
  return noErr;
}

Rect* GetPortBounds(CGrafPtr port, Rect* rect) {
  if (rect == nullptr) return nullptr;
  *rect = Rect{0, 0, 0, 0};
  if (port) GetWindowPortBounds(port, rect);
  OffsetRect(rect, SInt16(-rect->left), SInt16(-rect->top));
  return rect;
}

RgnHandle GetPortClipRegion(CGrafPtr port, RgnHandle clipRgn) {
  if (clipRgn == nullptr) return nullptr;
  if (PortDrawing* d = Find(port)) {
    SetRectRgn(clipRgn, SInt16(std::floor(d->clip.origin.x)), SInt16(std::floor(d->clip.origin.y)),
               SInt16(std::ceil(d->clip.origin.x + d->clip.size.width)),
               SInt16(std::ceil(d->clip.origin.y + d->clip.size.height)));
  } else {
    Rect r;
    GetPortBounds(port, &r);
    RectRgn(clipRgn, &r);
  }
  return clipRgn;
}
