// Rounded rectangles, ovals, arcs and wedges over Quartz paths.
#include "CGContextMore.h"

#include <cmath>
#include <numbers>

namespace {

constexpr CGFloat kRadiansPerDegree = std::numbers::pi / 180.0;

// A rectangle whose ellipse can be drawn: a zero or non-finite size would
// make the unit-circle transform singular and spoil the context.
bool Drawable(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height) && r.size.width != 0 && r.size.height != 0;
}

// Transforms made only to build a path are undone by their inverse, so the
// rest of the caller's state is left exactly as it was.
void Enter(CGContextRef c, CGFloat tx, CGFloat ty, CGFloat sx, CGFloat sy) {
  CGContextTranslateCTM(c, tx, ty);
  CGContextScaleCTM(c, sx, sy);
}
void Leave(CGContextRef c, CGFloat tx, CGFloat ty, CGFloat sx, CGFloat sy) {
  CGContextScaleCTM(c, 1 / sx, 1 / sy);
  CGContextTranslateCTM(c, -tx, -ty);
}

// Maps the unit circle onto the ellipse that fills the rectangle.
void EnterUnitCircle(CGContextRef c, const CGRect& r) {
  Enter(c, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2, r.size.width / 2, r.size.height / 2);
}
void LeaveUnitCircle(CGContextRef c, const CGRect& r) {
  Leave(c, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2, r.size.width / 2, r.size.height / 2);
}

}  // namespace

void CGContextAddRoundedRect(CGContextRef c, CGRect rect, CGFloat ovalWidth, CGFloat ovalHeight) {
  if (!(ovalWidth > 0) || !(ovalHeight > 0) || !std::isfinite(ovalWidth) || !std::isfinite(ovalHeight)) {
    CGContextAddRect(c, rect);
    return;
  }
  const CGFloat fw = rect.size.width / ovalWidth;
  const CGFloat fh = rect.size.height / ovalHeight;
  Enter(c, rect.origin.x, rect.origin.y, ovalWidth, ovalHeight);
  CGContextMoveToPoint(c, fw, fh / 2);
  CGContextAddArcToPoint(c, fw, fh, fw / 2, fh, 1);
  CGContextAddArcToPoint(c, 0, fh, 0, fh / 2, 1);
  CGContextAddArcToPoint(c, 0, 0, fw / 2, 0, 1);
  CGContextAddArcToPoint(c, fw, 0, fw, fh / 2, 1);
  CGContextClosePath(c);
  Leave(c, rect.origin.x, rect.origin.y, ovalWidth, ovalHeight);
}

void CGContextAddOvalToPath(CGContextRef c, CGRect rect) {
  CGContextBeginPath(c);
  if (!Drawable(rect)) return;
  EnterUnitCircle(c, rect);
  CGContextAddArc(c, 0, 0, 1, 0, 2 * std::numbers::pi, 1);
  LeaveUnitCircle(c, rect);
}

void CGContextPaintOval(CGContextRef c, CGRect rect) {
  CGContextAddOvalToPath(c, rect);
  CGContextFillPath(c);
}

void CGContextFrameOval(CGContextRef c, CGRect rect) {
  CGContextAddOvalToPath(c, rect);
  CGContextStrokePath(c);
}

void CGContextPathForArc(CGContextRef c, CGRect rect, SInt32 startAngle, SInt32 arcAngle) {
  if (!Drawable(rect)) return;
  const CGFloat from = (90.0 - CGFloat(startAngle)) * kRadiansPerDegree;
  const CGFloat to = (90.0 - CGFloat(startAngle) - CGFloat(arcAngle)) * kRadiansPerDegree;
  EnterUnitCircle(c, rect);
  if (arcAngle > 0)
    CGContextAddArc(c, 0, 0, 1, to, from, 0);
  else
    CGContextAddArc(c, 0, 0, 1, from, to, 0);
  LeaveUnitCircle(c, rect);
}

void CGContextPaintArc(CGContextRef c, CGRect rect, SInt32 startAngle, SInt32 arcAngle) {
  CGContextBeginPath(c);
  CGContextMoveToPoint(c, rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2);
  CGContextPathForArc(c, rect, startAngle, arcAngle);
  CGContextClosePath(c);
  CGContextFillPath(c);
}

void CGContextFrameArc(CGContextRef c, CGRect rect, SInt32 startAngle, SInt32 arcAngle) {
  CGContextBeginPath(c);
  CGContextPathForArc(c, rect, startAngle, arcAngle);
  CGContextStrokePath(c);
}
