// QuickDraw: the random generator of the QuickDraw globals and the integer
// point and rectangle helpers.
#pragma once

#include "MacTypes.h"

// A pseudo-random number in -32767..32767 from the global seed, which steps
// as seed * 16807 mod (2^31 - 1). The seed starts at 1.
SInt16 Random();
SInt32 GetQDGlobalsRandomSeed();
void SetQDGlobalsRandomSeed(SInt32 seed);

// Rectangles hold top, left, bottom, right; a rectangle is empty when it has
// no width or no height. Arithmetic wraps at 16 bits as the fields do.
void SetRect(Rect* r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
void OffsetRect(Rect* r, SInt16 dh, SInt16 dv);
// Shrinks (positive) or grows (negative) each side; a result without width or
// height becomes (0, 0, 0, 0).
void InsetRect(Rect* r, SInt16 dh, SInt16 dv);
Boolean EqualRect(const Rect* rect1, const Rect* rect2);
Boolean EmptyRect(const Rect* r);
// The right and bottom edges are outside.
Boolean PtInRect(Point pt, const Rect* r);
// The intersection; false and (0, 0, 0, 0) when it is empty. The destination
// may be one of the sources.
Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dstRect);
// The smallest rectangle holding both; the destination may be a source.
void UnionRect(const Rect* src1, const Rect* src2, Rect* dstRect);

void SetPt(Point* pt, SInt16 h, SInt16 v);
Boolean EqualPt(Point pt1, Point pt2);
void AddPt(Point src, Point* dst);
void SubPt(Point src, Point* dst);

// --- Drawing into a port with Quartz ------------------------------------------
// While a view draws, the window's port lends the drawing context: a
// QDBeginCGContext / QDEndCGContext bracket gets it y-up, origin at the port's
// bottom left, its state saved and restored around the bracket. Outside a
// draw there is nothing to draw into: paramErr.
typedef struct __CWindow* CGrafPtr_;
typedef struct CGContext* CGContextRef_;
typedef struct OpaqueRgnHandle* RgnHandle_;
OSStatus QDBeginCGContext(CGrafPtr_ inPort, CGContextRef_* outContext);
OSStatus QDEndCGContext(CGrafPtr_ inPort, CGContextRef_* inoutContext);
// The port's rectangle: (0, 0, content height, content width).
Rect* GetPortBounds(CGrafPtr_ port, Rect* rect);
// The area being drawn now (port coordinates), the port's rectangle outside a draw.
RgnHandle_ GetPortClipRegion(CGrafPtr_ port, RgnHandle_ clipRgn);
