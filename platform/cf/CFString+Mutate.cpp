// Editing mutable strings. Appends are amortised constant per unit; an edit
// in the middle moves the tail once.
#include <algorithm>
#include <cstring>

#include "CFStringInternal.h"

namespace {

__CFString* Target(CFMutableStringRef str, const char* function) {
  __CFString* s = __CFStringCast(str);
  if (s == nullptr) {
    __CFStringComplain(function, "not a string");
    return nullptr;
  }
  if (!s->isMutable) {
    __CFStringComplain(function, "the string is not mutable");
    return nullptr;
  }
  return s;
}

bool RangeInside(const __CFString* s, CFRange r, const char* function) {
  if (r.location >= 0 && r.length >= 0 && r.location <= s->Length() && r.length <= s->Length() - r.location)
    return true;
  __CFStringComplain(function, "range outside the string");
  return false;
}

// Replaces range by the units of source; source may be the target itself.
void Splice(__CFString* s, CFRange range, const __CFString* source) {
  if (source == s) {
    const __CFUniChars copy = source->chars;
    s->chars.erase(s->chars.begin() + range.location, s->chars.begin() + range.location + range.length);
    s->chars.insert(s->chars.begin() + range.location, copy.begin(), copy.end());
    return;
  }
  const __CFUniChars empty;
  const __CFUniChars& in = source ? source->chars : empty;
  auto first = s->chars.begin() + range.location;
  const size_t common = std::min(size_t(range.length), in.size());
  std::copy(in.begin(), in.begin() + common, first);
  if (in.size() > size_t(range.length))
    s->chars.insert(first + common, in.begin() + common, in.end());
  else
    s->chars.erase(first + common, first + range.length);
}

}  // namespace

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
  __CFString* s = Target(theString, "CFStringAppend");
  __CFString* a = __CFStringCast(appendedString);
  if (s == nullptr || a == nullptr) return;
  if (a == s) {
    const size_t n = s->chars.size();
    s->chars.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) s->chars.push_back(s->chars[i]);
    return;
  }
  s->chars.insert(s->chars.end(), a->chars.begin(), a->chars.end());
}

void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars, CFIndex numChars) {
  __CFString* s = Target(theString, "CFStringAppendCharacters");
  if (s == nullptr || numChars <= 0 || chars == nullptr) return;
  s->chars.insert(s->chars.end(), chars, chars + numChars);
}

void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding) {
  __CFString* s = Target(theString, "CFStringAppendCString");
  if (s == nullptr || cStr == nullptr) return;
  __CFUniChars units;
  if (!__CFStringDecodeBytes(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, false, units)) {
    __CFStringComplain("CFStringAppendCString", "the bytes are not valid in the encoding");
    return;
  }
  s->chars.insert(s->chars.end(), units.begin(), units.end());
}

void CFStringAppendPascalString(CFMutableStringRef theString, ConstStr255Param pStr, CFStringEncoding encoding) {
  __CFString* s = Target(theString, "CFStringAppendPascalString");
  if (s == nullptr || pStr == nullptr) return;
  __CFUniChars units;
  if (!__CFStringDecodeBytes(pStr + 1, pStr[0], encoding, false, units)) {
    __CFStringComplain("CFStringAppendPascalString", "the bytes are not valid in the encoding");
    return;
  }
  s->chars.insert(s->chars.end(), units.begin(), units.end());
}

void CFStringInsert(CFMutableStringRef str, CFIndex idx, CFStringRef insertedStr) {
  __CFString* s = Target(str, "CFStringInsert");
  if (s == nullptr || !RangeInside(s, CFRangeMake(idx, 0), "CFStringInsert")) return;
  Splice(s, CFRangeMake(idx, 0), __CFStringCast(insertedStr));
}

void CFStringDelete(CFMutableStringRef theString, CFRange range) {
  __CFString* s = Target(theString, "CFStringDelete");
  if (s == nullptr || !RangeInside(s, range, "CFStringDelete")) return;
  s->chars.erase(s->chars.begin() + range.location, s->chars.begin() + range.location + range.length);
}

void CFStringReplace(CFMutableStringRef theString, CFRange range, CFStringRef replacement) {
  __CFString* s = Target(theString, "CFStringReplace");
  if (s == nullptr || !RangeInside(s, range, "CFStringReplace")) return;
  Splice(s, range, __CFStringCast(replacement));
}

void CFStringReplaceAll(CFMutableStringRef theString, CFStringRef replacement) {
  __CFString* s = Target(theString, "CFStringReplaceAll");
  if (s == nullptr) return;
  __CFString* r = __CFStringCast(replacement);
  if (r == s) return;
  if (r)
    s->chars.assign(r->chars.begin(), r->chars.end());
  else
    s->chars.clear();
}
