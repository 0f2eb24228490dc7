// PascalStringUtilities: the toolkit for short strings (at most 255 Mac Roman
// characters, 1-based positions). Nothing here reports an error: absent
// results are the empty string, position 0, nil arrays or (0, 0) ranges.
// Every append cuts at 255 characters. Positions and counts outside a string
// are clamped to it; nothing reads or writes outside a string or an array.
//
// Word characters are 0-9, A-Z, a-z and the underscore.
//
// Arrays returned here are new CFArrays with the standard CF callbacks,
// owned by the caller, holding ordinary CFStrings that the array owns (user
// text is not interned, so it is freed with the array).
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "MacTypes.h"
#include "ShortString.h"

// Options of FindStringWord and GetStringExpression: a set of the flags
// below (kAlphaCharacterSet has no effect).
enum ParseOption : UInt8 {
  kIgnoreWhiteSpace = 1 << 0,
  kReturnPartialResults = 1 << 1,
  kStrictCharacterSet = 1 << 2,
  kAlphaCharacterSet = 1 << 3,
};

struct ParseOptions {
  UInt8 bits = 0;
  constexpr ParseOptions() = default;
  constexpr ParseOptions(ParseOption option) : bits(option) {}
  constexpr bool Contains(ParseOption option) const { return (bits & option) != 0; }
  constexpr ParseOptions operator|(ParseOptions other) const {
    ParseOptions r;
    r.bits = UInt8(bits | other.bits);
    return r;
  }
  constexpr bool operator==(const ParseOptions&) const = default;
};
constexpr ParseOptions operator|(ParseOption a, ParseOption b) { return ParseOptions(a) | ParseOptions(b); }

// Raw 8-bit text longer than 255 characters, indexed from 0.
typedef unsigned char* PascalExtendedStringPtr;
typedef PascalExtendedStringPtr* PascalExtendedStringHandle;

namespace PascalStringUtilities {
// Appends when the string holds fewer than 255 characters.
void AppendStringCharacter(Str255& s, unsigned char c);
// Characters first..last (inclusive); empty when first > last.
Str255 GetStringRange(const Str255& s, SInt32 first, SInt32 last);
}  // namespace PascalStringUtilities

// ---------------------------------------------------------------------------
// Appending, cutting and copying

// A rolling window of at most limit characters (limit cut to 255): with
// scroll, a string already at the limit first keeps its last limit - 1
// characters; the character is appended while the length is below the limit.
// A limit below 1 leaves the string unchanged.
void AppendStringCharacterWithLimit(Str255& s, SInt32 limit, Boolean scroll, unsigned char c);
// Bytes first..last (0-based, inclusive) of the text, at most 255. When the
// text is a memory block, indices past its end are not read.
Str255 GetExtendedStringRange(PascalExtendedStringPtr text, SInt32 first, SInt32 last);
// The string without the characters first..last.
Str255 SliceString(const Str255& s, SInt32 first, SInt32 last);
// Drops n characters at each end (empty when 2n >= length).
void TrimStringBounds(Str255& s, SInt32 n);
// Mode 0: the last n characters; mode 1: the first n; else empty.
Str255 TruncateString(const Str255& s, SInt32 n, SInt32 mode);
// The string with its first characters replaced by the overlay's, same length.
// The position is not used.
Str255 WriteToString(const Str255& s, const Str255& overlay, SInt32 position);
// s := s + separator + part (the separator also when s is empty).
void JoinStrings(Str255& s, const Str255& part, const Str63& separator);
Str255 ReverseString(const Str255& s);
// Without tab, line feed, carriage return and space characters.
Str255 CompactString(const Str255& s);

// ---------------------------------------------------------------------------
// Searching and testing

Boolean StringStartsWith(const Str255& s, const Str255& prefix);
// First character open and last close; false for the empty string.
Boolean StringIsWrapped(const Str255& s, unsigned char open, unsigned char close);
// Every character a digit, '-' or '.' (true for the empty string).
Boolean StringIsNumber(const Str255& s);
// The first position at or after start holding the character; 0 when none.
SInt32 FindStringCharacter(const Str255& s, unsigned char c, SInt32 start);
// The text after the first occurrence of the character at or after start.
Str255 GetRangeAtChar(const Str255& s, unsigned char c, SInt32 start);
// CFStringFind with the flags: 0-based location, kCFNotFound when absent.
CFRange StringFind(const Str255& text, const Str255& target, CFStringCompareFlags options);
// Every occurrence replaced; the input unchanged when nothing was replaced.
Str255 StringReplace(const Str255& text, const Str255& find, const Str255& replacement, CFStringCompareFlags options);
Str255 ReplaceStringCharacter(const Str255& s, unsigned char c, const Str255& replacement);
// Case-insensitive: true when a sorts strictly before b over their common
// length (false for equal strings and when one is a prefix of the other).
Boolean CompareStringAlphaOrder(const Str255& a, const Str255& b);
// The sum of the character codes.
SInt32 CalculateStringValue(const Str255& s);
// Mac Roman case mapping, accented letters included.
Str255 LowercaseString(const Str255& s);
Str255 UppercaseString(const Str255& s);
// A start/end pair: end > start and start is not -1.
Boolean IsValidRange(CFRange range);

// ---------------------------------------------------------------------------
// Prefixes, suffixes and words

// Text before the first separator; empty when there is none.
Str255 GetStringPrefix(const Str255& s, unsigned char separator);
// Text after the last separator; empty when there is none.
Str255 GetStringSuffix(const Str255& s, unsigned char separator);
// abc/def at '/' gives /def (unchanged when the prefix is empty).
Str255 SliceStringPrefix(const Str255& s, unsigned char separator);
// abc/def at '/' gives abc (unchanged when the suffix is empty).
Str255 SliceStringSuffix(const Str255& s, unsigned char separator);
// Without the leading and trailing runs of the character; a string made only
// of it comes back unchanged.
Str255 TrimString(const Str255& s, unsigned char c);
// TrimString with space, tab, carriage return and line feed, in this order.
void TrimWhiteSpace(Str255& s);
// Keeps the characters whose one-character CFString is in the set.
Str255 StripWordWithCharacterSet(const Str255& s, CFSetRef set);
// Keeps the word characters.
Str255 StripWordSymbolCharacters(const Str255& s);
// Keeps the characters that are not word characters.
Str255 StripWordAlphaCharacters(const Str255& s);
// The first run of word characters starting after the position.
Str255 GetLeadingWord(const Str255& s, SInt32 position);
// Scanning back from the position: the run of word characters that ends at
// the first word character found.
Str255 GetTrailingWord(const Str255& s, SInt32 position);
// Looks for the word in the text, character by character. With a set, only
// characters whose one-character string is in it count; the others end the
// search with kStrictCharacterSet and are skipped otherwise.
// Result: location = the 1-based start of the match, length = the position
// just AFTER its last character (an end position, not a length), so the
// match's extent is length - location: "abc" in "xabcx" gives (2, 5).
// (0, 0) when not found, and, unless kReturnPartialResults is given, also when
// the extent differs from the word's length (skipped characters inside the
// match, or a match cut off by the end of the text).
CFRange FindStringWord(const Str255& text, const Str255& word, CFSetRef set, ParseOptions options);

// ---------------------------------------------------------------------------
// Components (split at a separator character)

// The non-empty components in order; nil when fewer than 2.
CFArrayRef ExplodeString(const Str255& s, unsigned char separator);
// The number of ExplodeString's components; 0 when it gives nil.
SInt16 CountStringComponents(const Str255& s, unsigned char separator);
// The string at the 1-based index; empty for an index outside the array, a
// nil array or an element that is no string.
Str255 GetStringAtIndex(CFArrayRef array, SInt32 index);
Str255 GetStringComponentAtIndex(const Str255& s, unsigned char separator, SInt32 index);
// The strings first..last (last cut to the count), each preceded by the
// separator; empty when first < 1 or last < 1.
Str255 ImplodeString(CFArrayRef array, unsigned char separator, SInt32 first, SInt32 last);
// s := its components first..last (clamped to the components) joined with
// JoinStrings; unchanged when ExplodeString gives nil.
void GetStringDelimiterPack(Str255& s, unsigned char separator, SInt32 first, SInt32 last);
// The components fromStart + 1 .. count - fromEnd packed as
// GetStringDelimiterPack does (a/b/c/d with 1, 1 gives /b/c). A string of
// fewer than two components that begins with the separator gives the
// separator alone when anything is to be trimmed; any other such string comes
// back unchanged.
Str255 TrimStringComponents(const Str255& s, SInt32 fromStart, SInt32 fromEnd, unsigned char separator);
// Replaces the array by a new one without the entries first..last (1-based)
// and releases the old one.
void SliceResultsArray(CFArrayRef& array, SInt32 first, SInt32 last);
// Pieces of n characters (the last may be shorter); nil when fewer than 2
// pieces result or n < 1.
CFArrayRef ChunkString(const Str255& s, SInt32 n);
// From start on: location = the position of the FIRST open character,
// length = the position of the LAST close character; 0 where absent.
CFRange GetStringDelimiterRange(const Str255& s, SInt32 start, unsigned char open, unsigned char close);
// The texts inside each balanced pair of open/close characters from start on,
// enclosing pairs before the pairs inside them; nil when there is none.
// Opens nested deeper than 32 levels, and their closes, are ignored.
CFArrayRef GetStringNestedDelimiter(const Str255& s, SInt32 start, unsigned char open, unsigned char close);
// Sort comparator over two blocks of two SInt32 (first, last): -1 when the
// first block's start is smaller, otherwise 1.
CFComparisonResult SortNestedResultsToLinear(const void* a, const void* b, void* context);
// The pieces of the text that stand where the pattern has the wildcard '*',
// compared character by character or word by word (GetLeadingWord). In
// character mode the pattern is compacted; kIgnoreWhiteSpace compacts the
// text. Nil when no piece was found. a*b*c on a1b2c gives (1, 2).
CFArrayRef GetStringExpression(const Str255& pattern, Boolean characterMode, const Str255& text, SInt32 start,
                               ParseOptions options);
