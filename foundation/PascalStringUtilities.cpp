#include "PascalStringUtilities.h"

#include <algorithm>
#include <vector>

#include "CFArray.h"
#include "CFSet.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TextUtils.h"

namespace {

bool IsWordCharacter(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Clamps [first, last] to the string; false when nothing is left.
bool ClampRange(const Str255& s, SInt32& first, SInt32& last) {
  if (first < 1) first = 1;
  if (last > s.len()) last = s.len();
  return first <= last;
}

// A new CFString of the bytes (Mac Roman maps every byte), owned by the caller.
CFStringRef CreateString(const unsigned char* bytes, CFIndex count) {
  return CFStringCreateWithBytes(nullptr, bytes, count, kCFStringEncodingMacRoman, false);
}

CFStringRef CreateString(const Str255& s) { return CreateString(s.data() + 1, s.len()); }

void AppendOwned(CFMutableArrayRef array, CFStringRef string) {
  if (!string) return;
  CFArrayAppendValue(array, string);
  CFRelease(string);
}

// The array, or nil (released) when it holds fewer than minimum values.
CFArrayRef ArrayOrNil(CFMutableArrayRef array, CFIndex minimum) {
  if (CFArrayGetCount(array) >= minimum) return array;
  CFRelease(array);
  return nullptr;
}

// The non-empty components of s at the separator, as (first, last) positions.
struct Component {
  SInt32 first;
  SInt32 last;
};

std::vector<Component> Components(const Str255& s, unsigned char separator) {
  std::vector<Component> parts;
  SInt32 begin = 1;
  for (SInt32 i = 1; i <= s.len() + 1; ++i) {
    if (i > s.len() || s[i] == separator) {
      if (i > begin) parts.push_back({begin, i - 1});
      begin = i + 1;
    }
  }
  return parts;
}

}  // namespace

namespace PascalStringUtilities {

void AppendStringCharacter(Str255& s, unsigned char c) {
  if (s.len() < 255) s += c;
}

Str255 GetStringRange(const Str255& s, SInt32 first, SInt32 last) {
  Str255 r;
  if (ClampRange(s, first, last)) r.Assign(reinterpret_cast<const char*>(s.data() + first), size_t(last - first + 1));
  return r;
}

}  // namespace PascalStringUtilities

using PascalStringUtilities::AppendStringCharacter;
using PascalStringUtilities::GetStringRange;

// ---------------------------------------------------------------------------
// Appending, cutting and copying

void AppendStringCharacterWithLimit(Str255& s, SInt32 limit, Boolean scroll, unsigned char c) {
  if (limit < 1) return;
  if (limit > 255) limit = 255;
  if (scroll && s.len() >= limit) s = GetStringRange(s, s.len() - (limit - 1) + 1, s.len());
  if (s.len() < limit) AppendStringCharacter(s, c);
}

Str255 GetExtendedStringRange(PascalExtendedStringPtr text, SInt32 first, SInt32 last) {
  Str255 r;
  if (!text) return r;
  if (first < 0) first = 0;
  if (IsPointerValid(reinterpret_cast<Ptr>(text))) {
    const Size size = GetPtrSize(reinterpret_cast<Ptr>(text));
    if (Size(last) >= size) last = SInt32(size - 1);
  }
  for (SInt32 i = first; i <= last && r.len() < 255; ++i) r += text[i];
  return r;
}

Str255 SliceString(const Str255& s, SInt32 first, SInt32 last) {
  if (!ClampRange(s, first, last)) return s;
  Str255 r = GetStringRange(s, 1, first - 1);
  r += GetStringRange(s, last + 1, s.len());
  return r;
}

void TrimStringBounds(Str255& s, SInt32 n) {
  if (n < 0) n = 0;
  if (n > s.len()) n = s.len();
  s = GetStringRange(s, n + 1, s.len() - n);
}

Str255 TruncateString(const Str255& s, SInt32 n, SInt32 mode) {
  if (n < 0) n = 0;
  switch (mode) {
    case 0:
      return n >= s.len() ? s : GetStringRange(s, s.len() - n + 1, s.len());
    case 1:
      return GetStringRange(s, 1, n);
    default:
      return Str255();
  }
}

Str255 WriteToString(const Str255& s, const Str255& overlay, SInt32 position) {
  Str255 r = s;
  for (SInt32 i = 1; i <= s.len() && i <= overlay.len(); ++i) r[i] = overlay[i];
  return r;
}

void JoinStrings(Str255& s, const Str255& part, const Str63& separator) {
  s += separator;
  s += part;
}

Str255 ReverseString(const Str255& s) {
  Str255 r = s;
  std::reverse(r.data() + 1, r.data() + 1 + r.len());
  return r;
}

Str255 CompactString(const Str255& s) {
  Str255 r;
  for (SInt32 i = 1; i <= s.len(); ++i) {
    const unsigned char c = s[i];
    if (c != 9 && c != 10 && c != 13 && c != ' ') r += c;
  }
  return r;
}

// ---------------------------------------------------------------------------
// Searching and testing

Boolean StringStartsWith(const Str255& s, const Str255& prefix) {
  return prefix.len() <= s.len() && s.view().substr(0, prefix.len()) == prefix.view();
}

Boolean StringIsWrapped(const Str255& s, unsigned char open, unsigned char close) {
  return !s.empty() && s[1] == open && s[s.len()] == close;
}

Boolean StringIsNumber(const Str255& s) {
  for (SInt32 i = 1; i <= s.len(); ++i) {
    const unsigned char c = s[i];
    if (!((c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
  }
  return true;
}

SInt32 FindStringCharacter(const Str255& s, unsigned char c, SInt32 start) {
  for (SInt32 i = start < 1 ? 1 : start; i <= s.len(); ++i)
    if (s[i] == c) return i;
  return 0;
}

Str255 GetRangeAtChar(const Str255& s, unsigned char c, SInt32 start) {
  const SInt32 at = FindStringCharacter(s, c, start);
  return at == 0 ? Str255() : GetStringRange(s, at + 1, s.len());
}

CFRange StringFind(const Str255& text, const Str255& target, CFStringCompareFlags options) {
  CFStringRef t = CreateString(text);
  CFStringRef f = CreateString(target);
  CFRange r = CFStringFind(t, f, options);
  CFRelease(t);
  CFRelease(f);
  return r;
}

Str255 StringReplace(const Str255& text, const Str255& find, const Str255& replacement, CFStringCompareFlags options) {
  CFStringRef t = CreateString(text);
  CFStringRef f = CreateString(find);
  CFStringRef with = CreateString(replacement);
  CFMutableStringRef work = CFStringCreateMutableCopy(nullptr, 0, t);
  const CFIndex count = CFStringFindAndReplace(work, f, with, CFRangeMake(0, CFStringGetLength(work)), options);
  Str255 r = count > 0 ? PCFSTR(work) : text;
  CFRelease(work);
  CFRelease(with);
  CFRelease(f);
  CFRelease(t);
  return r;
}

Str255 ReplaceStringCharacter(const Str255& s, unsigned char c, const Str255& replacement) {
  Str255 r;
  for (SInt32 i = 1; i <= s.len() && r.len() < 255; ++i) {
    if (s[i] == c)
      r += replacement;
    else
      r += s[i];
  }
  return r;
}

Boolean CompareStringAlphaOrder(const Str255& a, const Str255& b) {
  const Str255 la = LowercaseString(a);
  const Str255 lb = LowercaseString(b);
  const SInt32 n = std::min(la.len(), lb.len());
  for (SInt32 i = 1; i <= n; ++i)
    if (la[i] != lb[i]) return la[i] < lb[i];
  return false;
}

SInt32 CalculateStringValue(const Str255& s) {
  SInt32 sum = 0;
  for (SInt32 i = 1; i <= s.len(); ++i) sum += s[i];
  return sum;
}

Str255 LowercaseString(const Str255& s) {
  Str255 r = s;
  LowercaseText(reinterpret_cast<Ptr>(r.data() + 1), SInt16(r.len()), smRoman);
  return r;
}

Str255 UppercaseString(const Str255& s) {
  Str255 r = s;
  UppercaseText(reinterpret_cast<Ptr>(r.data() + 1), SInt16(r.len()), smRoman);
  return r;
}

Boolean IsValidRange(CFRange range) { return range.length > range.location && range.location != -1; }

// ---------------------------------------------------------------------------
// Prefixes, suffixes and words

Str255 GetStringPrefix(const Str255& s, unsigned char separator) {
  const SInt32 at = FindStringCharacter(s, separator, 1);
  return at == 0 ? Str255() : GetStringRange(s, 1, at - 1);
}

Str255 GetStringSuffix(const Str255& s, unsigned char separator) {
  for (SInt32 i = s.len(); i >= 1; --i)
    if (s[i] == separator) return GetStringRange(s, i + 1, s.len());
  return Str255();
}

Str255 SliceStringPrefix(const Str255& s, unsigned char separator) {
  const Str255 prefix = GetStringPrefix(s, separator);
  return prefix.empty() ? s : GetStringRange(s, prefix.len() + 1, s.len());
}

Str255 SliceStringSuffix(const Str255& s, unsigned char separator) {
  const Str255 suffix = GetStringSuffix(s, separator);
  return suffix.empty() ? s : GetStringRange(s, 1, s.len() - suffix.len() - 1);
}

Str255 TrimString(const Str255& s, unsigned char c) {
  SInt32 first = 1, last = s.len();
  while (first <= last && s[first] == c) ++first;
  if (first > last) return s;
  while (s[last] == c) --last;
  return GetStringRange(s, first, last);
}

void TrimWhiteSpace(Str255& s) {
  for (unsigned char c : {' ', '\t', '\r', '\n'}) s = TrimString(s, c);
}

Str255 StripWordWithCharacterSet(const Str255& s, CFSetRef set) {
  Str255 r;
  if (!set) return r;
  // Each distinct byte is looked up once.
  signed char member[256] = {0};  // 0 unknown, 1 in the set, -1 not
  for (SInt32 i = 1; i <= s.len(); ++i) {
    const unsigned char c = s[i];
    if (member[c] == 0) {
      CFStringRef one = CreateString(&c, 1);
      member[c] = CFSetContainsValue(set, one) ? 1 : -1;
      CFRelease(one);
    }
    if (member[c] > 0) r += c;
  }
  return r;
}

Str255 StripWordSymbolCharacters(const Str255& s) {
  Str255 r;
  for (SInt32 i = 1; i <= s.len(); ++i)
    if (IsWordCharacter(s[i])) r += s[i];
  return r;
}

Str255 StripWordAlphaCharacters(const Str255& s) {
  Str255 r;
  for (SInt32 i = 1; i <= s.len(); ++i)
    if (!IsWordCharacter(s[i])) r += s[i];
  return r;
}

Str255 GetLeadingWord(const Str255& s, SInt32 position) {
  SInt32 i = (position < 0 ? 0 : position) + 1;
  while (i <= s.len() && !IsWordCharacter(s[i])) ++i;
  const SInt32 first = i;
  while (i <= s.len() && IsWordCharacter(s[i])) ++i;
  return GetStringRange(s, first, i - 1);
}

Str255 GetTrailingWord(const Str255& s, SInt32 position) {
  SInt32 i = position > s.len() ? s.len() : position;
  while (i >= 1 && !IsWordCharacter(s[i])) --i;
  const SInt32 last = i;
  while (i >= 1 && IsWordCharacter(s[i])) --i;
  return GetStringRange(s, i + 1, last);
}

CFRange FindStringWord(const Str255& text, const Str255& word, CFSetRef set, ParseOptions options) {
  if (text == word) return CFRangeMake(1, text.len() + 1);
  const SInt32 wordLength = word.len();
  CFRange result = CFRangeMake(0, 0);
  if (wordLength == 0) return result;

  signed char member[256] = {0};  // 0 unknown, 1 counts, -1 does not
  auto counts = [&](unsigned char c) {
    if (!set) return true;
    if (member[c] == 0) {
      CFStringRef one = CreateString(&c, 1);
      member[c] = CFSetContainsValue(set, one) ? 1 : -1;
      CFRelease(one);
    }
    return member[c] > 0;
  };

  SInt32 matched = 0;  // word characters matched so far
  for (SInt32 i = 1; i <= text.len(); ++i) {
    const unsigned char c = text[i];
    if (!counts(c)) {
      if (options.Contains(kStrictCharacterSet)) break;
      continue;
    }
    if (matched > 0 && c == word[matched + 1]) {
      ++matched;
      result.length = i + 1;
    } else {
      if (matched > 0) {
        // Abandoned: the search resumes after the abandoned start, so that an
        // occurrence overlapping the failed attempt ("aab" in "aaab") is found.
        i = SInt32(result.location);
        matched = 0;
        result = CFRangeMake(0, 0);
        continue;
      }
      if (c == word[1]) {
        matched = 1;
        result = CFRangeMake(i, i + 1);
      }
    }
    if (matched == wordLength) break;  // complete
  }
  if (matched < wordLength && !options.Contains(kReturnPartialResults)) return CFRangeMake(0, 0);
  if (!options.Contains(kReturnPartialResults) && result.length - result.location != wordLength)
    return CFRangeMake(0, 0);
  return result;
}

// ---------------------------------------------------------------------------
// Components

CFArrayRef ExplodeString(const Str255& s, unsigned char separator) {
  const std::vector<Component> parts = Components(s, separator);
  if (parts.size() < 2) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const Component& part : parts)
    AppendOwned(array, CreateString(s.data() + part.first, part.last - part.first + 1));
  return array;
}

SInt16 CountStringComponents(const Str255& s, unsigned char separator) {
  const size_t n = Components(s, separator).size();
  return n < 2 ? 0 : SInt16(n);
}

Str255 GetStringAtIndex(CFArrayRef array, SInt32 index) {
  if (!array || index < 1 || index > CFArrayGetCount(array)) return Str255();
  CFTypeRef value = CFArrayGetValueAtIndex(array, index - 1);
  if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return Str255();
  return PCFSTR(static_cast<CFStringRef>(value));
}

Str255 GetStringComponentAtIndex(const Str255& s, unsigned char separator, SInt32 index) {
  // The same as ExplodeString then GetStringAtIndex, without the array.
  const std::vector<Component> parts = Components(s, separator);
  if (parts.size() < 2 || index < 1 || size_t(index) > parts.size()) return Str255();
  return GetStringRange(s, parts[index - 1].first, parts[index - 1].last);
}

Str255 ImplodeString(CFArrayRef array, unsigned char separator, SInt32 first, SInt32 last) {
  Str255 r;
  if (!array || first < 1 || last < 1) return r;
  const CFIndex count = CFArrayGetCount(array);
  for (CFIndex i = first; i <= last && i <= count; ++i) {
    AppendStringCharacter(r, separator);
    r += GetStringAtIndex(array, SInt32(i));
  }
  return r;
}

void GetStringDelimiterPack(Str255& s, unsigned char separator, SInt32 first, SInt32 last) {
  const std::vector<Component> parts = Components(s, separator);
  if (parts.size() < 2) return;
  if (first < 1) first = 1;
  if (size_t(last) > parts.size()) last = SInt32(parts.size());
  Str255 r;
  const Str63 sep = Str63::FromBytes(&separator, 1);
  for (SInt32 i = first; i <= last; ++i) JoinStrings(r, GetStringRange(s, parts[i - 1].first, parts[i - 1].last), sep);
  s = r;
}

Str255 TrimStringComponents(const Str255& s, SInt32 fromStart, SInt32 fromEnd, unsigned char separator) {
  const SInt32 count = CountStringComponents(s, separator);
  if (count < 2) {
    // A single component after a leading separator (/a) trims to the separator.
    if (!s.empty() && s[1] == separator && (fromStart >= 1 || fromEnd >= 1)) return Str63::FromBytes(&separator, 1);
    return s;
  }
  Str255 r = s;
  GetStringDelimiterPack(r, separator, (fromStart < 0 ? 0 : fromStart) + 1, count - (fromEnd < 0 ? 0 : fromEnd));
  return r;
}

void SliceResultsArray(CFArrayRef& array, SInt32 first, SInt32 last) {
  if (!array) return;
  const CFIndex count = CFArrayGetCount(array);
  CFMutableArrayRef sliced = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFIndex i = 1; i <= count; ++i)
    if (i < first || i > last) CFArrayAppendValue(sliced, CFArrayGetValueAtIndex(array, i - 1));
  CFRelease(array);
  array = sliced;
}

CFArrayRef ChunkString(const Str255& s, SInt32 n) {
  if (n < 1 || s.len() <= n) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (SInt32 i = 1; i <= s.len(); i += n) AppendOwned(array, CreateString(s.data() + i, std::min(n, s.len() - i + 1)));
  return array;
}

CFRange GetStringDelimiterRange(const Str255& s, SInt32 start, unsigned char open, unsigned char close) {
  CFRange r = CFRangeMake(0, 0);
  for (SInt32 i = start < 1 ? 1 : start; i <= s.len(); ++i) {
    if (s[i] == open && r.location == 0) r.location = i;
    if (s[i] == close) r.length = i;
  }
  return r;
}

namespace {
struct NestedRange {
  SInt32 first;
  SInt32 last;
};
static_assert(sizeof(NestedRange) == 8);
constexpr int kNestingLevels = 32;
}  // namespace

CFComparisonResult SortNestedResultsToLinear(const void* a, const void* b, void* context) {
  return static_cast<const NestedRange*>(a)->first < static_cast<const NestedRange*>(b)->first ? -1 : 1;
}

CFArrayRef GetStringNestedDelimiter(const Str255& s, SInt32 start, unsigned char open, unsigned char close) {
  NestedRange stack[kNestingLevels + 1];  // levels 1..32
  std::vector<NestedRange> pairs;
  SInt32 depth = 0;
  for (SInt32 i = start < 1 ? 1 : start; i <= s.len(); ++i) {
    const unsigned char c = s[i];
    if (c == open) {
      ++depth;
      // Deeper opens are counted (to pair their closes) but not recorded.
      if (depth <= kNestingLevels) stack[depth].first = i + 1;
    }
    if (c == close && depth > 0) {
      if (depth <= kNestingLevels) {
        stack[depth].last = i - 1;
        pairs.push_back(stack[depth]);
      }
      --depth;
    }
  }
  std::stable_sort(pairs.begin(), pairs.end(), [](const NestedRange& a, const NestedRange& b) {
    return SortNestedResultsToLinear(&a, &b, nullptr) < 0;
  });
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const NestedRange& pair : pairs) AppendOwned(array, CreateString(GetStringRange(s, pair.first, pair.last)));
  return ArrayOrNil(array, 1);
}

CFArrayRef GetStringExpression(const Str255& pattern, Boolean characterMode, const Str255& text, SInt32 start,
                               ParseOptions options) {
  const Str255 t = options.Contains(kIgnoreWhiteSpace) ? CompactString(text) : text;
  const Str255 p = characterMode ? CompactString(pattern) : pattern;
  // A position beyond the pattern's end holds no character: -1 equals no byte.
  auto at = [&p](SInt32 k) { return k >= 1 && k <= p.len() ? int(p[k]) : -1; };

  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  Str255 piece, nextWord, word;
  auto emit = [&] {
    AppendOwned(array, CreateString(piece));
    piece.Clear();
    nextWord.Clear();
  };
  SInt32 k = 1;
  for (SInt32 i = start < 1 ? 1 : start; i <= t.len(); ++i) {
    const unsigned char c = t[i];
    if (!characterMode) word = GetLeadingWord(t, i);
    if (at(k) == '*') {
      const bool ends = characterMode ? at(k + 1) == c : word == nextWord;
      if (ends) {
        k += 2;
        // A word of one character ends the wildcard on its first character:
        // it is the whole piece.
        if (!characterMode && (!piece.empty() || IsWordCharacter(c))) AppendStringCharacter(piece, c);
        if (!piece.empty() && at(k) == '*') emit();
      } else {
        AppendStringCharacter(piece, c);
        if (!characterMode) {
          if (nextWord.empty()) nextWord = GetLeadingWord(p, k);
          if (word == nextWord) k += 2;
        }
      }
    } else {
      if (characterMode ? at(k) == c : !(word == nextWord)) ++k;
      if (!piece.empty()) emit();
    }
  }
  if (!piece.empty()) emit();
  return ArrayOrNil(array, 1);
}
