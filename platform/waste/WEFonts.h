// Internal to the text engine: the face a font family is drawn with.
#pragma once

#include "WASTE.h"

// "DejaVu Sans Mono" for monospaced families and unknown numbers, "DejaVu
// Sans" for the others.
const char* WEFontFace(FMFontFamily inFamily);

// Drops the family table; the next use builds it again from the fixed names
// and the numbers kept on disk, as a new run of the program does (tests).
void WEFontsForgetTable();
