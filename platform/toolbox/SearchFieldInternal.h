// Internal to the view system: the search field's part of the standard
// handler, called from the standard kinds' dispatch.
#pragma once

#include "HIViewRecord.h"

// The part at a point of the field (view coordinates).
ControlPartCode SearchFieldHitTest(__CView* view, CGPoint p);
// A click that ended in a part: the cancel button clears, the magnifier
// searches or pops up the menu.
void SearchFieldOnHit(__CView* view, ControlPartCode part);
void SearchFieldDraw(__CView* view, CGRect bounds, CGContextRef ctx, bool focused);

// The text, selection and caret of an edit text drawn in a box
// (ControlsDraw.cpp), shared with the search field.
void ControlDrawFieldText(__CView* view, CGRect box, CGContextRef ctx, bool focused);
