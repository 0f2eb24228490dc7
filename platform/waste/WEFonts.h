// Internal to the text engine: the face a font family is drawn with.
#pragma once

#include "WASTE.h"

// "DejaVu Sans Mono" for monospaced families and unknown numbers, "DejaVu
// Sans" for the others.
const char* WEFontFace(FMFontFamily inFamily);
