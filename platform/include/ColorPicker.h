// The system colour picker: a modal panel that offers a colour and lets the
// user choose another (a colour chooser dialog on the desktop; answers from
// a scripted queue under the headless host).
#pragma once

#include "MacTypes.h"

// Shows the picker with the prompt (a length-prefixed Mac Roman string, may
// be nil) as its title and inColor as the colour it starts from; where is
// not used (the desktop places the dialog over the front window). True when
// the user chose a colour, which is then in outColor; false when cancelled,
// and outColor is then inColor. outColor may be the same record as inColor.
Boolean GetColor(Point where, ConstStr255Param prompt, const RGBColor* inColor, RGBColor* outColor);
