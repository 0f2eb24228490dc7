// Internal to the platform library: the theme's font table and text layouts,
// shared by the theme's text calls and the hosts (menus, window titles).
#pragma once

#include <pango/pango.h>

#include <string>

#include "HITheme.h"

struct ThemeFontSpec {
  ThemeFontID id;
  SInt16 size;  // pixels
  bool bold;
};

extern const char* const kThemeFontFamily;
const ThemeFontSpec* ThemeFindFont(ThemeFontID id);  // nil for an unknown ID

// The string as valid UTF-8 with carriage returns as line feeds; false when
// it is nil or not a CFString.
bool ThemeStringUTF8(CFTypeRef string, std::string* out);
// A layout of the text in the font (unknown IDs: the system font), wrapped
// at width when width > 0, truncated as info says (info may be nil). The
// caller unrefs it.
PangoLayout* ThemeCreateLayout(const std::string& text, ThemeFontID fontID, double width, const HIThemeTextInfo* info);

// The colour of a brush; false for an unknown brush.
bool ThemeBrushColor(ThemeBrush brush, double rgba[4]);
