// Internal to the platform library: icons for the hosts (menus, window and
// drag images).
#pragma once

#include <cairo.h>

#include "Icons.h"

// The volume GetIconRef is asked about by the library itself.
enum : SInt16 { kOnSystemDiskForIcons = -32768 };

// Draws the icon upright into (0, 0, width, height) of cr's y-down user space.
void IconRender(IconRef icon, cairo_t* cr, double width, double height);
// The icon as a size x size ARGB32 surface (the caller destroys it); nil for
// a stale icon or an unreasonable size.
cairo_surface_t* IconCreateSurface(IconRef icon, int size);
