// Shared by the file-system helpers' sources: whole-or-nothing conversions
// between CFStrings and short strings.
#pragma once

#include "CFString.h"
#include "PascalCarbonCommon.h"

namespace pcc_files {

// The string as a short string of at most `capacity` characters, or false
// (and an empty result) when it does not fit whole: too long, or holding a
// character Mac Roman lacks. A cut path or name would name another item.
bool FitPascal(CFStringRef string, int capacity, Str255& result);

// A new CFString of the short string's Mac Roman characters (Create rule).
CFStringRef CreateString(const Str255& text);

inline bool IsNoRef(const FSRef& ref) {
  for (UInt8 b : ref.hidden)
    if (b != 0) return false;
  return true;
}

}  // namespace pcc_files
