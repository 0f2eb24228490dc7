// Internal to the view system: the combo box's part of the standard handler,
// called from the standard kinds' dispatch.
#pragma once

#include "HIViewRecord.h"

ControlPartCode ComboBoxHitTest(__CView* view, CGPoint p);
// A click that ended on the button pops up the list.
void ComboBoxOnHit(__CView* view, ControlPartCode part);
void ComboBoxDraw(__CView* view, CGRect bounds, CGContextRef ctx, bool focused);
// The list as control data (kHIComboBoxListTag).
OSStatus ComboBoxSetList(__CView* view, Size size, const void* data);
OSStatus ComboBoxCopyList(__CView* view, Size bufferSize, void* buffer, Size* actual);
// After typing put the caret at the end of the text: completes it from the
// list when the box asks for it, selecting the added part.
void ComboBoxComplete(__CView* view, CFMutableStringRef text, CFIndex* selStart, CFIndex* selEnd);
