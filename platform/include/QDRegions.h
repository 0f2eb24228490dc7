// QuickDraw regions: areas of the integer plane made of rectangles, for the
// update areas and highlight areas of text. A region is any union of
// rectangles; the calls that make one from two others may name one of the
// sources as the destination.
#pragma once

#include "CGContext.h"
#include "MacTypes.h"

typedef struct OpaqueRgnHandle* RgnHandle;

// An empty region; DisposeRgn ends it (nil is ignored).
RgnHandle NewRgn();
void DisposeRgn(RgnHandle rgn);
void CopyRgn(RgnHandle srcRgn, RgnHandle dstRgn);
void SetEmptyRgn(RgnHandle rgn);
// The rectangle's area; an empty rectangle gives an empty region.
void SetRectRgn(RgnHandle rgn, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
void RectRgn(RgnHandle rgn, const Rect* r);
void OffsetRgn(RgnHandle rgn, SInt16 dh, SInt16 dv);
void SectRgn(RgnHandle srcRgnA, RgnHandle srcRgnB, RgnHandle dstRgn);
void UnionRgn(RgnHandle srcRgnA, RgnHandle srcRgnB, RgnHandle dstRgn);
void DiffRgn(RgnHandle srcRgnA, RgnHandle srcRgnB, RgnHandle dstRgn);
void XorRgn(RgnHandle srcRgnA, RgnHandle srcRgnB, RgnHandle dstRgn);
// The right and bottom edges are outside, as with rectangles.
Boolean PtInRgn(Point pt, RgnHandle rgn);
// Whether any part of the rectangle is in the region.
Boolean RectInRgn(const Rect* r, RgnHandle rgn);
Boolean EqualRgn(RgnHandle rgnA, RgnHandle rgnB);
Boolean EmptyRgn(RgnHandle rgn);  // nil counts as empty
Boolean IsRegionRectangular(RgnHandle rgn);
// The smallest rectangle around the region, (0, 0, 0, 0) when it is empty.
Rect* GetRegionBounds(RgnHandle region, Rect* bounds);
// Clips a y-up context to the region, whose coordinates are those of the
// port rectangle (y-down from its top): a point (h, v) of the port is
// (h - left, bottom - v) in the context.
OSStatus ClipCGContextToRegion(CGContextRef gc, const Rect* portRect, RgnHandle region);
