// AnsiStringUtilities: conversions between short strings, unbounded strings
// (std::string of Mac Roman bytes, any length, NUL bytes allowed) and
// CFStrings.
#pragma once

#include <string>

#include "CFBase.h"
#include "ShortString.h"

std::string GetAnsiString(const Str255& s);
// The string in Mac Roman; empty for nil or when a character has no Mac
// Roman byte (nothing is cut silently).
std::string CFStringToAnsiString(CFStringRef string);
// A new CFString of the bytes read as Mac Roman (every byte maps), owned by
// the caller.
CFStringRef AnsiStringToCFString(const std::string& s);
// The first 255 characters.
Str255 AnsiStringToShort(const std::string& s);
