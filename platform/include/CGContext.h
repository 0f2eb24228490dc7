// Quartz 2D drawing over cairo: graphics contexts, their state, transforms,
// paths, fills, strokes, clipping, blend modes, shadows and images.
//
// Orientation. A bitmap context (CGBitmapContextCreate) is y-up, as Quartz
// makes them: its origin is the bottom-left pixel. The contexts that the view
// system hands to draw handlers are y-down: origin at the top left of the
// view. Images follow Quartz in both: CGContextDrawImage puts the image's top
// row at the rectangle's maximum y, so in a y-down context the image appears
// upside down unless the caller flips (translate by the height, scale 1, -1);
// HIViewDrawCGImage draws it upright in a y-down context.
//
// The path belongs to the context, not to the graphics state: save and
// restore leave it alone; filling, stroking and clipping consume it.
#pragma once

#include "CFBase.h"
#include "CGColor.h"
#include "CGGeometry.h"
#include "CGImage.h"

typedef struct CGContext* CGContextRef;

struct CGAffineTransform {
  CGFloat a, b, c, d;
  CGFloat tx, ty;
};

extern const CGAffineTransform CGAffineTransformIdentity;
CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
// A singular transform is returned unchanged.
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
bool CGAffineTransformIsIdentity(CGAffineTransform t);
bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2);
CGPoint CGPointApplyAffineTransform(CGPoint point, CGAffineTransform t);
CGSize CGSizeApplyAffineTransform(CGSize size, CGAffineTransform t);
// The bounding box of the transformed rectangle.
CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t);

typedef SInt32 CGLineCap;
enum : CGLineCap { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };

typedef SInt32 CGLineJoin;
enum : CGLineJoin { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };

typedef SInt32 CGPathDrawingMode;
enum : CGPathDrawingMode {
  kCGPathFill = 0,
  kCGPathEOFill = 1,
  kCGPathStroke = 2,
  kCGPathFillStroke = 3,
  kCGPathEOFillStroke = 4,
};

typedef SInt32 CGInterpolationQuality;
enum : CGInterpolationQuality {
  kCGInterpolationDefault = 0,
  kCGInterpolationNone = 1,
  kCGInterpolationLow = 2,
  kCGInterpolationHigh = 3,
  kCGInterpolationMedium = 4,
};

// Every mode maps to a cairo operator of the same meaning, except
// kCGBlendModePlusDarker, which cairo lacks: it is drawn as multiply.
typedef SInt32 CGBlendMode;
enum : CGBlendMode {
  kCGBlendModeNormal = 0,
  kCGBlendModeMultiply = 1,
  kCGBlendModeScreen = 2,
  kCGBlendModeOverlay = 3,
  kCGBlendModeDarken = 4,
  kCGBlendModeLighten = 5,
  kCGBlendModeColorDodge = 6,
  kCGBlendModeColorBurn = 7,
  kCGBlendModeSoftLight = 8,
  kCGBlendModeHardLight = 9,
  kCGBlendModeDifference = 10,
  kCGBlendModeExclusion = 11,
  kCGBlendModeHue = 12,
  kCGBlendModeSaturation = 13,
  kCGBlendModeColor = 14,
  kCGBlendModeLuminosity = 15,
  kCGBlendModeClear = 16,
  kCGBlendModeCopy = 17,
  kCGBlendModeSourceIn = 18,
  kCGBlendModeSourceOut = 19,
  kCGBlendModeSourceAtop = 20,
  kCGBlendModeDestinationOver = 21,
  kCGBlendModeDestinationIn = 22,
  kCGBlendModeDestinationOut = 23,
  kCGBlendModeDestinationAtop = 24,
  kCGBlendModeXOR = 25,
  kCGBlendModePlusDarker = 26,
  kCGBlendModePlusLighter = 27,
};

CFTypeID CGContextGetTypeID();
CGContextRef CGContextRetain(CGContextRef c);  // nil-safe
void CGContextRelease(CGContextRef c);         // nil-safe

// Drawing goes straight to the surface, so there is nothing to push: both
// only finish cairo's pending work on the surface (and, for a bitmap
// context, bring its memory up to date).
void CGContextFlush(CGContextRef c);
void CGContextSynchronize(CGContextRef c);

// Graphics state: fill and stroke colour, alpha, line width, cap, join, miter
// limit and dash, blend mode, shadow, CTM, clip, antialiasing, interpolation
// quality, font and text drawing mode.
void CGContextSaveGState(CGContextRef c);
void CGContextRestoreGState(CGContextRef c);  // ignored without a matching save

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(CGContextRef c, CGFloat angle);
void CGContextConcatCTM(CGContextRef c, CGAffineTransform transform);
// From user space to the context's base space (pixels; for a bitmap context
// y-up from the bottom-left): identity in a fresh context.
CGAffineTransform CGContextGetCTM(CGContextRef c);
CGPoint CGContextConvertPointToDeviceSpace(CGContextRef c, CGPoint point);
CGPoint CGContextConvertPointToUserSpace(CGContextRef c, CGPoint point);

void CGContextSetLineWidth(CGContextRef c, CGFloat width);
void CGContextSetLineCap(CGContextRef c, CGLineCap cap);
void CGContextSetLineJoin(CGContextRef c, CGLineJoin join);
void CGContextSetMiterLimit(CGContextRef c, CGFloat limit);
// count 0 or nil lengths: solid lines.
void CGContextSetLineDash(CGContextRef c, CGFloat phase, const CGFloat lengths[], size_t count);
// Curves are always drawn at full precision; the flatness is kept for nobody.
void CGContextSetFlatness(CGContextRef c, CGFloat flatness);
void CGContextSetAlpha(CGContextRef c, CGFloat alpha);  // clamped to 0..1
void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode);
void CGContextSetShouldAntialias(CGContextRef c, bool shouldAntialias);
void CGContextSetAllowsAntialiasing(CGContextRef c, bool allowsAntialiasing);
void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c);
void CGContextSetRenderingIntent(CGContextRef c, CGColorRenderingIntent intent);

// Colours.
void CGContextSetRGBFillColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat alpha);
void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat alpha);
void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color);
void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color);
// The colour space decides how many components CGContextSetFillColor reads
// (its components and alpha); setting it makes the colour opaque black.
void CGContextSetFillColorSpace(CGContextRef c, CGColorSpaceRef space);
void CGContextSetStrokeColorSpace(CGContextRef c, CGColorSpaceRef space);
void CGContextSetFillColor(CGContextRef c, const CGFloat components[]);
void CGContextSetStrokeColor(CGContextRef c, const CGFloat components[]);

// Shadows: offset in base-space units (positive height is up on the screen
// in every context), blur radius, colour (default black at alpha 1/3). Fills,
// strokes, images and theme text cast them; the shadow is a blurred copy of
// what is drawn, cut at the clip (parts of a shape clipped away cast none).
void CGContextSetShadow(CGContextRef c, CGSize offset, CGFloat blur);
void CGContextSetShadowWithColor(CGContextRef c, CGSize offset, CGFloat blur, CGColorRef color);

// Paths.
void CGContextBeginPath(CGContextRef c);
void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddLines(CGContextRef c, const CGPoint points[], size_t count);
void CGContextAddRect(CGContextRef c, CGRect rect);
void CGContextAddRects(CGContextRef c, const CGRect rects[], size_t count);
// Angles in radians; clockwise set goes from start towards decreasing
// angles. A sweep of 2 pi or more is a full circle.
void CGContextAddArc(CGContextRef c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
                     CGFloat endAngle, int clockwise);
// The arc of the given radius tangent to the line from the current point to
// (x1, y1) and to the line from (x1, y1) to (x2, y2); a straight line to
// (x1, y1) when the points are in line. Nothing without a current point.
void CGContextAddArcToPoint(CGContextRef c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y,
                              CGFloat x, CGFloat y);
void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
void CGContextAddEllipseInRect(CGContextRef c, CGRect rect);
void CGContextClosePath(CGContextRef c);
bool CGContextIsPathEmpty(CGContextRef c);
CGPoint CGContextGetPathCurrentPoint(CGContextRef c);  // (0, 0) without one
// In user space; CGRectNull-like (infinite origin, zero size) when empty.
CGRect CGContextGetPathBoundingBox(CGContextRef c);
// The current path becomes the outline of its stroke with the current line
// width, cap, join and dash.
void CGContextReplacePathWithStrokedPath(CGContextRef c);

// Painting. Fills use the non-zero winding rule, the EO variants even-odd.
void CGContextFillPath(CGContextRef c);
void CGContextEOFillPath(CGContextRef c);
void CGContextStrokePath(CGContextRef c);
void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode);
// The rectangle and ellipse calls leave the current path alone.
void CGContextFillRect(CGContextRef c, CGRect rect);
void CGContextFillRects(CGContextRef c, const CGRect rects[], size_t count);
void CGContextStrokeRect(CGContextRef c, CGRect rect);
void CGContextStrokeRectWithWidth(CGContextRef c, CGRect rect, CGFloat width);
// Makes the rectangle fully transparent, whatever the blend mode.
void CGContextClearRect(CGContextRef c, CGRect rect);
void CGContextFillEllipseInRect(CGContextRef c, CGRect rect);
void CGContextStrokeEllipseInRect(CGContextRef c, CGRect rect);
// Pairs of points, each pair one segment.
void CGContextStrokeLineSegments(CGContextRef c, const CGPoint points[], size_t count);

// Clipping: the clip only ever shrinks until the state is restored.
void CGContextClip(CGContextRef c);
void CGContextEOClip(CGContextRef c);
void CGContextClipToRect(CGContextRef c, CGRect rect);  // leaves the path alone
void CGContextClipToRects(CGContextRef c, const CGRect rects[], size_t count);
CGRect CGContextGetClipBoundingBox(CGContextRef c);

// Images, scaled into the rectangle with the interpolation quality; the
// image's top row goes to the rectangle's maximum y (see above).
void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image);

// Text: the text matrix is kept for callers that read it back; text is drawn
// with the theme calls (HITheme.h).
void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t);
CGAffineTransform CGContextGetTextMatrix(CGContextRef c);
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y);
CGPoint CGContextGetTextPosition(CGContextRef c);

// Bitmap contexts: 8 bits per component; RGB with 32 bits per pixel (any
// alpha info except kCGImageAlphaLast/First, any byte order), gray with 8
// bits and no alpha, or an alpha-only mask. data nil: the context keeps its
// own memory, cleared. With the caller's memory, what it holds is taken as
// the starting picture, and drawing is written back to it whenever the
// context is flushed, CGBitmapContextGetData or CGBitmapContextCreateImage
// is called, and when the context is released. nil for any other layout or
// a bytesPerRow too small for the width.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo);
void* CGBitmapContextGetData(CGContextRef c);
size_t CGBitmapContextGetWidth(CGContextRef c);
size_t CGBitmapContextGetHeight(CGContextRef c);
size_t CGBitmapContextGetBytesPerRow(CGContextRef c);
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c);
// A copy of the picture so far; nil for a context that is not a bitmap.
CGImageRef CGBitmapContextCreateImage(CGContextRef c);

// Draws the image upright into the rectangle of a y-down context (a view's
// draw context): the image's top row at the rectangle's minimum y.
OSStatus HIViewDrawCGImage(CGContextRef inContext, const CGRect* inBounds, CGImageRef inImage);
