// CGContextMore: path makers for rounded rectangles, ovals that fill a
// rectangle, and arcs and wedges measured in whole degrees the QuickDraw way
// (0 at twelve o'clock, growing clockwise in a y-up context).
#pragma once

#include "CGContext.h"
#include "MacTypes.h"

// Adds a closed rounded rectangle whose corners are quarter ellipses of the
// oval width and height. An oval size of 0 or less gives square corners.
void CGContextAddRoundedRect(CGContextRef context, CGRect rect, CGFloat ovalWidth, CGFloat ovalHeight);
// Begins a new path holding the ellipse that fills the rectangle (nothing
// for an empty rectangle).
void CGContextAddOvalToPath(CGContextRef context, CGRect rect);
void CGContextPaintOval(CGContextRef context, CGRect rect);
void CGContextFrameOval(CGContextRef context, CGRect rect);
// Adds the arc of the ellipse that fills the rectangle, from the start angle
// over arc degrees.
void CGContextPathForArc(CGContextRef context, CGRect rect, SInt32 startAngle, SInt32 arcAngle);
// A filled wedge from the rectangle's centre.
void CGContextPaintArc(CGContextRef context, CGRect rect, SInt32 startAngle, SInt32 arcAngle);
// The arc alone, stroked.
void CGContextFrameArc(CGContextRef context, CGRect rect, SInt32 startAngle, SInt32 arcAngle);
