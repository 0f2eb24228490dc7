// Comparing, finding and replacing, and the per-unit case mapping they use.
//
// Case mapping is one-to-one per UTF-16 unit, so a range found in a folded
// text is the same range in the original. It covers ASCII, Latin-1, Latin
// Extended-A, basic Greek and Cyrillic; characters that would need more than
// one unit (the sharp s upper-cased) or a language rule keep their case.
// Lower- and upper-casing keep Mac Roman text Mac Roman (the micro sign, pi
// and omega, symbols there, keep their case); case folding for comparison
// has no such limit.
// Searching is Knuth-Morris-Pratt: linear in the text whatever the pattern.
#include <algorithm>
#include <cstring>

#include "CFStringInternal.h"

UniChar __CFUniCharToLower(UniChar c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? UniChar(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return UniChar(c + 32);
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';
    if (c == 0x178) return 0xFF;
    if ((c <= 0x137 && c != 0x131) || (c >= 0x14A && c <= 0x177)) return UniChar(c | 1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? UniChar(c + 1) : c;
    return c;
  }
  if (c >= 0x386 && c <= 0x3AB) {
    if (c == 0x3A9) return c;  // Mac Roman's ohm sign: its small letter is not Mac Roman
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return UniChar(c + 32);
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return UniChar(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return UniChar(c + 63);
    return c;
  }
  if (c >= 0x400 && c <= 0x42F) return c < 0x410 ? UniChar(c + 80) : UniChar(c + 32);
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return UniChar(c | 1);
  return c;
}

UniChar __CFUniCharToUpper(UniChar c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? UniChar(c - 32) : c;
  // The micro sign stays: its capital (Greek Mu) is not a Mac Roman character.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return UniChar(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131) return 'I';
    if (c == 0x17F) return 'S';
    if ((c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177)) return UniChar(c & ~UniChar(1));
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : UniChar(c - 1);
    return c;
  }
  if (c >= 0x3AC && c <= 0x3CE) {
    if (c == 0x3C0) return c;  // Mac Roman's pi: its capital is not Mac Roman
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return UniChar(c - 32);
    if (c == 0x3C2) return 0x3A3;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return UniChar(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return UniChar(c - 63);
    return c;
  }
  if (c >= 0x430 && c <= 0x45F) return c < 0x450 ? UniChar(c - 32) : UniChar(c - 80);
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return UniChar(c & ~UniChar(1));
  return c;
}

UniChar __CFUniCharFold(UniChar c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? UniChar(c + 32) : c;
  switch (c) {
    case 0x130: return c;       // dotted capital I folds only by a language rule
    case 0x17F: return 's';     // long s
    case 0x3C2: return 0x3C3;   // final sigma
    case 0x3A9: return 0x3C9;   // omega, kept as it is by the case mapping
    case 0x00B5: return 0x3BC;  // micro sign and small mu
    case 0x39C: return 0x3BC;
    default: return __CFUniCharToLower(c);
  }
}

bool __CFUniCharIsWhitespace(UniChar c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000 || c == 0xFEFF;
}

namespace {

bool ValidRange(const __CFString* s, CFRange r) {
  return r.location >= 0 && r.length >= 0 && r.location <= s->Length() && r.length <= s->Length() - r.location;
}

inline UniChar Norm(UniChar c, bool fold) { return fold ? __CFUniCharFold(c) : c; }

bool UnitsEqualAt(const UniChar* a, const UniChar* b, size_t n, bool fold) {
  if (!fold) return std::memcmp(a, b, n * sizeof(UniChar)) == 0;
  for (size_t i = 0; i < n; ++i)
    if (__CFUniCharFold(a[i]) != __CFUniCharFold(b[i])) return false;
  return true;
}

// Start positions of non-overlapping occurrences of pat in hay, in the order
// of the scan (from the end when backwards). Stops after the first when
// firstOnly.
void FindAll(const UniChar* hay, size_t n, const UniChar* pat, size_t m, bool fold, bool backwards,
             bool firstOnly, std::vector<size_t>& out) {
  if (m == 0 || m > n) return;
  std::vector<UniChar> p(m);
  for (size_t k = 0; k < m; ++k) p[k] = Norm(backwards ? pat[m - 1 - k] : pat[k], fold);
  std::vector<size_t> fail(m, 0);
  for (size_t k = 1, q = 0; k < m; ++k) {
    while (q > 0 && p[k] != p[q]) q = fail[q - 1];
    if (p[k] == p[q]) ++q;
    fail[k] = q;
  }
  size_t q = 0;
  for (size_t t = 0; t < n; ++t) {
    UniChar c = Norm(backwards ? hay[n - 1 - t] : hay[t], fold);
    while (q > 0 && p[q] != c) q = fail[q - 1];
    if (p[q] == c) ++q;
    if (q == m) {
      out.push_back(backwards ? n - 1 - t : t + 1 - m);
      if (firstOnly) return;
      q = 0;
    }
  }
}

// The occurrences within range, as absolute positions, honouring the
// anchored and backwards flags.
void Occurrences(const __CFString* s, CFRange range, const __CFString* f, CFStringCompareFlags opts, bool firstOnly,
                 std::vector<size_t>& out) {
  const size_t m = f->chars.size();
  const size_t n = size_t(range.length);
  if (m == 0 || m > n) return;
  const UniChar* hay = s->chars.data() + range.location;
  const bool fold = opts & kCFCompareCaseInsensitive;
  const bool backwards = opts & kCFCompareBackwards;
  if (opts & kCFCompareAnchored) {
    size_t at = backwards ? n - m : 0;
    if (UnitsEqualAt(hay + at, f->chars.data(), m, fold)) out.push_back(size_t(range.location) + at);
    return;
  }
  size_t first = out.size();
  FindAll(hay, n, f->chars.data(), m, fold, backwards, firstOnly, out);
  for (size_t i = first; i < out.size(); ++i) out[i] += size_t(range.location);
}

bool IsAsciiDigit(UniChar c) { return c >= '0' && c <= '9'; }

CFComparisonResult Sign(long v) { return v < 0 ? kCFCompareLessThan : (v > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo); }

CFComparisonResult CompareUnits(const UniChar* a, size_t na, const UniChar* b, size_t nb, CFStringCompareFlags opts) {
  const bool fold = opts & kCFCompareCaseInsensitive;
  const bool numeric = opts & kCFCompareNumerically;
  size_t i = 0, j = 0;
  while (i < na && j < nb) {
    if (numeric && IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
      size_t ie = i, je = j;
      while (ie < na && IsAsciiDigit(a[ie])) ++ie;
      while (je < nb && IsAsciiDigit(b[je])) ++je;
      size_t is = i, js = j;
      while (is + 1 < ie && a[is] == '0') ++is;
      while (js + 1 < je && b[js] == '0') ++js;
      if (ie - is != je - js) return Sign(long(ie - is) - long(je - js));
      for (; is < ie; ++is, ++js)
        if (a[is] != b[js]) return Sign(long(a[is]) - long(b[js]));
      i = ie, j = je;
      continue;
    }
    UniChar x = Norm(a[i], fold), y = Norm(b[j], fold);
    if (x != y) return Sign(long(x) - long(y));
    ++i, ++j;
  }
  return Sign(long(na - i) - long(nb - j));
}

__CFString* MutableOrComplain(CFMutableStringRef str, const char* function) {
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

bool IsWordUnit(UniChar c) {
  if (c < 0x80) return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
  return __CFUniCharToLower(c) != c || __CFUniCharToUpper(c) != c || c == 0xDF || c == 0xAA || c == 0xBA ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x4FF);
}

}  // namespace

CFComparisonResult CFStringCompareWithOptions(CFStringRef theString1, CFStringRef theString2, CFRange rangeToCompare,
                                              CFStringCompareFlags compareOptions) {
  __CFString* a = __CFStringCast(theString1);
  __CFString* b = __CFStringCast(theString2);
  // A nil string sorts before every string.
  if (a == nullptr || b == nullptr) return a == b ? kCFCompareEqualTo : (a == nullptr ? kCFCompareLessThan : kCFCompareGreaterThan);
  if (!ValidRange(a, rangeToCompare)) {
    __CFStringComplain("CFStringCompareWithOptions", "range outside the string");
    CFIndex loc = std::clamp<CFIndex>(rangeToCompare.location, 0, a->Length());
    CFIndex len = std::clamp<CFIndex>(rangeToCompare.length, 0, a->Length() - loc);
    rangeToCompare = CFRangeMake(loc, len);
  }
  return CompareUnits(a->chars.data() + rangeToCompare.location, size_t(rangeToCompare.length), b->chars.data(),
                      b->chars.size(), compareOptions);
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions) {
  return CFStringCompareWithOptions(theString1, theString2, CFRangeMake(0, CFStringGetLength(theString1)),
                                    compareOptions);
}

Boolean CFStringFindWithOptions(CFStringRef theString, CFStringRef stringToFind, CFRange rangeToSearch,
                                CFStringCompareFlags searchOptions, CFRange* result) {
  __CFString* s = __CFStringCast(theString);
  __CFString* f = __CFStringCast(stringToFind);
  if (s == nullptr || f == nullptr) return false;
  if (!ValidRange(s, rangeToSearch)) {
    __CFStringComplain("CFStringFindWithOptions", "range outside the string");
    return false;
  }
  std::vector<size_t> found;
  Occurrences(s, rangeToSearch, f, searchOptions, true, found);
  if (found.empty()) return false;
  if (result) *result = CFRangeMake(CFIndex(found.front()), f->Length());
  return true;
}

CFRange CFStringFind(CFStringRef theString, CFStringRef stringToFind, CFStringCompareFlags compareOptions) {
  CFRange result;
  if (CFStringFindWithOptions(theString, stringToFind, CFRangeMake(0, CFStringGetLength(theString)), compareOptions,
                              &result))
    return result;
  return CFRangeMake(kCFNotFound, 0);
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
  __CFString* s = __CFStringCast(theString);
  __CFString* p = __CFStringCast(prefix);
  if (s == nullptr || p == nullptr || p->chars.empty() || p->chars.size() > s->chars.size()) return false;
  return UnitsEqualAt(s->chars.data(), p->chars.data(), p->chars.size(), false);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
  __CFString* s = __CFStringCast(theString);
  __CFString* p = __CFStringCast(suffix);
  if (s == nullptr || p == nullptr || p->chars.empty() || p->chars.size() > s->chars.size()) return false;
  return UnitsEqualAt(s->chars.data() + (s->chars.size() - p->chars.size()), p->chars.data(), p->chars.size(), false);
}

std::vector<size_t> __CFStringFindAll(CFStringRef theString, CFStringRef stringToFind, CFRange range,
                                      CFStringCompareFlags opts) {
  std::vector<size_t> found;
  __CFString* s = __CFStringCast(theString);
  __CFString* f = __CFStringCast(stringToFind);
  if (s == nullptr || f == nullptr) return found;
  if (!ValidRange(s, range)) {
    __CFStringComplain("CFStringCreateArrayWithFindResults", "range outside the string");
    return found;
  }
  Occurrences(s, range, f, opts, false, found);
  return found;
}

CFIndex CFStringFindAndReplace(CFMutableStringRef theString, CFStringRef stringToFind, CFStringRef replacementString,
                               CFRange rangeToSearch, CFStringCompareFlags compareOptions) {
  __CFString* s = MutableOrComplain(theString, "CFStringFindAndReplace");
  __CFString* f = __CFStringCast(stringToFind);
  __CFString* r = __CFStringCast(replacementString);
  if (s == nullptr || f == nullptr) return 0;
  if (!ValidRange(s, rangeToSearch)) {
    __CFStringComplain("CFStringFindAndReplace", "range outside the string");
    return 0;
  }
  std::vector<size_t> found;
  Occurrences(s, rangeToSearch, f, compareOptions, false, found);
  if (found.empty()) return 0;
  if (compareOptions & kCFCompareBackwards) std::reverse(found.begin(), found.end());
  // One pass into a new buffer; the replacement may be the string itself.
  const __CFUniChars replacement = r ? r->chars : __CFUniChars();
  const size_t m = f->chars.size();
  __CFUniChars out;
  out.reserve(s->chars.size() - found.size() * m + found.size() * replacement.size());
  size_t from = 0;
  for (size_t at : found) {
    out.insert(out.end(), s->chars.begin() + from, s->chars.begin() + at);
    out.insert(out.end(), replacement.begin(), replacement.end());
    from = at + m;
  }
  out.insert(out.end(), s->chars.begin() + from, s->chars.end());
  s->chars.swap(out);
  return CFIndex(found.size());
}

void CFStringLowercase(CFMutableStringRef theString, const void*) {
  if (__CFString* s = MutableOrComplain(theString, "CFStringLowercase"))
    for (UniChar& c : s->chars) c = __CFUniCharToLower(c);
}

void CFStringUppercase(CFMutableStringRef theString, const void*) {
  if (__CFString* s = MutableOrComplain(theString, "CFStringUppercase"))
    for (UniChar& c : s->chars) c = __CFUniCharToUpper(c);
}

void CFStringCapitalize(CFMutableStringRef theString, const void*) {
  __CFString* s = MutableOrComplain(theString, "CFStringCapitalize");
  if (s == nullptr) return;
  bool inWord = false;
  for (size_t i = 0; i < s->chars.size(); ++i) {
    UniChar& c = s->chars[i];
    if (IsWordUnit(c)) {
      c = inWord ? __CFUniCharToLower(c) : __CFUniCharToUpper(c);
      inWord = true;
    } else if ((c == '\'' || c == 0x2019) && inWord && i + 1 < s->chars.size() && IsWordUnit(s->chars[i + 1])) {
      // An apostrophe inside a word does not start a new one ("It's").
    } else {
      inWord = false;
    }
  }
}

void CFStringTrimWhitespace(CFMutableStringRef theString) {
  __CFString* s = MutableOrComplain(theString, "CFStringTrimWhitespace");
  if (s == nullptr) return;
  size_t end = s->chars.size();
  while (end > 0 && __CFUniCharIsWhitespace(s->chars[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && __CFUniCharIsWhitespace(s->chars[begin])) ++begin;
  s->chars.resize(end);
  s->chars.erase(s->chars.begin(), s->chars.begin() + begin);
}

void CFStringTrim(CFMutableStringRef theString, CFStringRef trimString) {
  __CFString* s = MutableOrComplain(theString, "CFStringTrim");
  __CFString* t = __CFStringCast(trimString);
  if (s == nullptr || t == nullptr || t->chars.empty()) return;
  const __CFUniChars trim = t->chars;  // trimString may be theString
  const size_t m = trim.size();
  size_t begin = 0, end = s->chars.size();
  while (end - begin >= m && UnitsEqualAt(s->chars.data() + begin, trim.data(), m, false)) begin += m;
  while (end - begin >= m && UnitsEqualAt(s->chars.data() + end - m, trim.data(), m, false)) end -= m;
  s->chars.resize(end);
  s->chars.erase(s->chars.begin(), s->chars.begin() + begin);
}

void CFStringPad(CFMutableStringRef theString, CFStringRef padString, CFIndex length, CFIndex indexIntoPad) {
  __CFString* s = MutableOrComplain(theString, "CFStringPad");
  if (s == nullptr) return;
  if (length < 0) {
    __CFStringComplain("CFStringPad", "negative length");
    return;
  }
  if (length <= s->Length()) {
    s->chars.resize(size_t(length));
    return;
  }
  __CFString* p = __CFStringCast(padString);
  if (p == nullptr || p->chars.empty() || indexIntoPad < 0 || indexIntoPad >= p->Length()) {
    __CFStringComplain("CFStringPad", "no pad characters at that index");
    return;
  }
  const __CFUniChars pad = p->chars;
  size_t k = size_t(indexIntoPad);
  s->chars.reserve(size_t(length));
  while (s->Length() < length) {
    s->chars.push_back(pad[k]);
    k = (k + 1) % pad.size();
  }
}
