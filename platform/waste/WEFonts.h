// Internal to the text engine: the face a font family is drawn with.
#pragma once

#include "WASTE.h"

// The fixed table's families: "DejaVu Sans Mono" for the monospaced ones
// and unknown numbers, "DejaVu Sans" for the others. A family named at run
// time: its own name, then the one of those of its kind (a pango family
// list, UTF-8), so that a font the system has is drawn in its face. The
// text stays valid until the table is forgotten.
const char* WEFontFace(FMFontFamily inFamily);

// Drops the family table; the next use builds it again from the fixed names
// and the numbers kept on disk, as a new run of the program does (tests).
void WEFontsForgetTable();
