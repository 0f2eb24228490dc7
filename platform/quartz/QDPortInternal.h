// Internal: a view that draws tells the port which context it draws into, so
// that QDBeginCGContext can lend it to a callback.
#pragma once

#include "CGContext.h"
#include "MacWindows.h"

// ctx draws in the coordinates whose origin is the port point `origin`
// (y down); clip is the area drawn, in port coordinates. Pairs nest.
void QDPushPortDrawing(CGrafPtr port, CGContextRef ctx, CGPoint origin, CGRect clip);
void QDPopPortDrawing();
