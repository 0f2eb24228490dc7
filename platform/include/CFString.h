// Unicode strings of the CF object model. A string holds UTF-16 code units;
// every index, length and range counts code units, so a character outside the
// Basic Multilingual Plane (a surrogate pair) counts two.
//
// Conversions take hostile input: bytes that are not valid in the named
// encoding give nil, a conversion that cannot hold a character fails (or
// stops, for CFStringGetBytes), and nothing reads or writes past a buffer.
// Mutating an immutable string, or passing a range outside the string, does
// nothing and writes one diagnostic line to standard error.
//
// There is no CFSTR macro here on purpose: the foundation defines its own
// CFSTR function; the platform's literals use CFStringMakeConstantUTF8.
#pragma once

#include <cstdarg>

#include "CFBase.h"

// ---------------------------------------------------------------------------
// Encodings

typedef UInt32 CFStringEncoding;

enum : CFStringEncoding {
  kCFStringEncodingMacRoman = 0,
  kCFStringEncodingWindowsLatin1 = 0x0500,
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingNextStepLatin = 0x0B01,  // listed for completeness; not available
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingUnicode = 0x0100,  // UTF-16
  kCFStringEncodingUTF8 = 0x08000100,
  kCFStringEncodingNonLossyASCII = 0x0BFF,  // ASCII with \uXXXX escapes
  kCFStringEncodingUTF16 = 0x0100,
  kCFStringEncodingUTF16BE = 0x10000100,
  kCFStringEncodingUTF16LE = 0x14000100,
  kCFStringEncodingUTF32 = 0x0c000100,
  kCFStringEncodingUTF32BE = 0x18000100,
  kCFStringEncodingUTF32LE = 0x1c000100,
  // Other scripts, converted where the C library has them (see
  // CFStringIsEncodingAvailable).
  kCFStringEncodingMacJapanese = 1,
  kCFStringEncodingMacCyrillic = 7,
  kCFStringEncodingMacCentralEurRoman = 29,
  kCFStringEncodingISOLatin2 = 0x0202,
  kCFStringEncodingISOLatin3 = 0x0203,
  kCFStringEncodingISOLatin4 = 0x0204,
  kCFStringEncodingISOLatinCyrillic = 0x0205,
  kCFStringEncodingISOLatinArabic = 0x0206,
  kCFStringEncodingISOLatinGreek = 0x0207,
  kCFStringEncodingISOLatinHebrew = 0x0208,
  kCFStringEncodingISOLatin5 = 0x0209,
  kCFStringEncodingISOLatin6 = 0x020A,
  kCFStringEncodingISOLatinThai = 0x020B,
  kCFStringEncodingISOLatin7 = 0x020D,
  kCFStringEncodingISOLatin8 = 0x020E,
  kCFStringEncodingISOLatin9 = 0x020F,
  kCFStringEncodingISOLatin10 = 0x0210,
  kCFStringEncodingDOSLatinUS = 0x0400,
  kCFStringEncodingDOSLatin1 = 0x0410,
  kCFStringEncodingDOSLatin2 = 0x0412,
  kCFStringEncodingDOSRussian = 0x041B,
  kCFStringEncodingDOSThai = 0x041D,
  kCFStringEncodingDOSJapanese = 0x0420,
  kCFStringEncodingDOSChineseSimplif = 0x0421,
  kCFStringEncodingDOSKorean = 0x0422,
  kCFStringEncodingDOSChineseTrad = 0x0423,
  kCFStringEncodingWindowsLatin2 = 0x0501,
  kCFStringEncodingWindowsCyrillic = 0x0502,
  kCFStringEncodingWindowsGreek = 0x0503,
  kCFStringEncodingWindowsLatin5 = 0x0504,
  kCFStringEncodingWindowsHebrew = 0x0505,
  kCFStringEncodingWindowsArabic = 0x0506,
  kCFStringEncodingWindowsBalticRim = 0x0507,
  kCFStringEncodingWindowsVietnamese = 0x0508,
  kCFStringEncodingGB_18030_2000 = 0x0632,
  kCFStringEncodingISO_2022_JP = 0x0820,
  kCFStringEncodingISO_2022_KR = 0x0840,
  kCFStringEncodingEUC_JP = 0x0920,
  kCFStringEncodingEUC_CN = 0x0930,
  kCFStringEncodingEUC_TW = 0x0931,
  kCFStringEncodingEUC_KR = 0x0940,
  kCFStringEncodingShiftJIS = 0x0A01,
  kCFStringEncodingKOI8_R = 0x0A02,
  kCFStringEncodingBig5 = 0x0A03,
  kCFStringEncodingHZ_GB_2312 = 0x0A05,
  kCFStringEncodingBig5_HKSCS_1999 = 0x0A06,
  kCFStringEncodingKOI8_U = 0x0A08,
  kCFStringEncodingInvalidId = 0xffffffffU,
};

// Mac Roman: the system encoding of short strings and constant strings.
CFStringEncoding CFStringGetSystemEncoding();
Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding);
// The encodings above that convert on this machine, grouped by script in the
// order an encoding menu lists them, ending with kCFStringEncodingInvalidId.
const CFStringEncoding* CFStringGetListOfAvailableEncodings();
// A human-readable name ("Western (Mac OS Roman)", "Unicode (UTF-8)", ...); nil when unknown.
// Follows the Get rule: the caller does not release it.
CFStringRef CFStringGetNameOfEncoding(CFStringEncoding encoding);
// IANA charset names ("macintosh", "utf-8", "iso-8859-1", "windows-1252",
// "us-ascii", "utf-16", ...), matched case-insensitively; kCFStringEncodingInvalidId when unknown.
CFStringEncoding CFStringConvertIANACharSetNameToEncoding(CFStringRef theString);
CFStringRef CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding);  // Get rule
// The most bytes a string of `length` code units can need in the encoding;
// kCFNotFound when that number does not fit a CFIndex or the encoding is unknown.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// ---------------------------------------------------------------------------
// Type and creation (Create rule: the caller releases what these return)

CFTypeID CFStringGetTypeID();

// Text from NUL-terminated bytes in the encoding; nil for a nil pointer or
// bytes the encoding cannot map (invalid UTF-8, a non-ASCII byte as ASCII, ...).
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// From a length-prefixed byte string.
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                           CFStringEncoding encoding);
// From numBytes bytes. With isExternalRepresentation, a leading byte-order
// mark of UTF-16 / UTF-32 (or of UTF-8) is honoured and skipped; UTF-16 / UTF-32
// without a mark are then read big-endian. Without it, UTF-16 / UTF-32 are read
// in host order and a mark stays a character.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
// As CFStringCreateWithBytes; the string then owns the bytes and gives them
// back with the deallocator when it is freed (kCFAllocatorNull: never; any
// other: free()). When the creation fails (nil) the bytes stay the caller's.
CFStringRef CFStringCreateWithBytesNoCopy(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                          CFStringEncoding encoding, Boolean isExternalRepresentation,
                                          CFAllocatorRef contentsDeallocator);
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars, CFIndex numChars);
CFStringRef CFStringCreateWithCharactersNoCopy(CFAllocatorRef alloc, const UniChar* chars,
                                               CFIndex numChars, CFAllocatorRef contentsDeallocator);
CFStringRef CFStringCreateWithCStringNoCopy(CFAllocatorRef alloc, const char* cStr,
                                            CFStringEncoding encoding, CFAllocatorRef contentsDeallocator);
CFStringRef CFStringCreateWithSubstring(CFAllocatorRef alloc, CFStringRef str, CFRange range);
// An immutable copy (the same object, retained, when str is already immutable).
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);

// printf conversions (flags, width, precision, the length modifiers hh h l ll
// q j z t L, positional n$ arguments) plus:
//   %@  the description of a CF object (a string shows its own characters; nil shows "(null)")
//   %C  one UniChar (passed as int)        %S  a NUL-terminated UniChar array
//   %s  a C string read as UTF-8 (Mac Roman when it is not valid UTF-8)
//   %%  a percent sign
// Numbers are written without regard to the process locale (a point before
// decimals). formatOptions is accepted and not used. Nil for a nil format or
// a malformed conversion.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                     CFStringRef format, ...);
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments);

// Splits at every occurrence of the separator (empty pieces included); an
// array of one copy when the separator does not occur or is empty. The array
// has the standard CF callbacks.
CFArrayRef CFStringCreateArrayBySeparatingStrings(CFAllocatorRef alloc, CFStringRef theString,
                                                  CFStringRef separatorString);
// Joins the array's strings with the separator between them.
CFStringRef CFStringCreateByCombiningStrings(CFAllocatorRef alloc, CFArrayRef theArray,
                                             CFStringRef separatorString);
// The ranges of every occurrence of stringToFind in rangeToSearch, as CFData
// values each holding one CFRange; nil when there is none.
CFArrayRef CFStringCreateArrayWithFindResults(CFAllocatorRef alloc, CFStringRef theString,
                                              CFStringRef stringToFind, CFRange rangeToSearch,
                                              CFOptionFlags compareOptions);

// The bytes of the whole string in the encoding (lossByte as CFStringGetBytes;
// a byte-order mark for plain UTF-16 / UTF-32); nil when a character cannot be
// converted and lossByte is 0.
CFDataRef CFStringCreateExternalRepresentation(CFAllocatorRef alloc, CFStringRef theString,
                                               CFStringEncoding encoding, UInt8 lossByte);
CFStringRef CFStringCreateFromExternalRepresentation(CFAllocatorRef alloc, CFDataRef data,
                                                     CFStringEncoding encoding);

// maxLength is a capacity hint (0: no limit).
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength, CFStringRef theString);

// The constant (interned) string of the text: one object per distinct UTF-16
// content in the whole process, never freed (retain and release leave it
// alone), shared by both entries. Thread-safe.
// The bytes are read as Mac Roman (every byte maps); nil gives nil.
CFStringRef __CFStringMakeConstantString(const char* macRomanBytes);
// The bytes are read as UTF-8; bytes that are not valid UTF-8 are read as Mac Roman.
CFStringRef CFStringMakeConstantUTF8(const char* utf8Bytes);

// ---------------------------------------------------------------------------
// Access and conversion

CFIndex CFStringGetLength(CFStringRef theString);  // 0 for nil
// The code unit at idx; 0 when idx is outside the string.
UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);
// The string's own UTF-16 buffer (valid while the string lives unchanged), or
// nil when the string is empty. Never a Memory Manager block.
const UniChar* CFStringGetCharactersPtr(CFStringRef theString);
// Always nil here: callers fall back to CFStringGetCString.
const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);

// Converts characters of range into the buffer (nil: only measure). Stops at
// the first character that does not fit in maxBufLen bytes, and, when lossByte
// is 0, at the first character the encoding cannot hold; with a loss byte such
// a character is written as that byte (U+FFFD for the Unicode encodings).
// A surrogate pair is converted whole or not at all. With
// isExternalRepresentation, plain UTF-16 / UTF-32 start with a byte-order mark
// (big-endian data). Returns the number of code units converted; *usedBufLen
// (when given) receives the number of bytes.
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufLen,
                         CFIndex* usedBufLen);
// The whole string plus a NUL; false (and buffer[0] = 0) when a character
// cannot be represented or the buffer is too small.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The whole string as a length-prefixed byte string (at most 255 bytes and
// bufferSize - 1); false (and an empty result) when a character cannot be
// represented or it does not fit.
Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding);

// File-system paths are UTF-8 here.
CFStringRef CFStringCreateWithFileSystemRepresentation(CFAllocatorRef alloc, const char* buffer);
CFIndex CFStringGetMaximumSizeOfFileSystemRepresentation(CFStringRef string);
Boolean CFStringGetFileSystemRepresentation(CFStringRef string, char* buffer, CFIndex maxBufLen);

// Leading white space, an optional sign, then decimal digits; 0 when there
// are none; INT32_MAX / INT32_MIN on overflow.
SInt32 CFStringGetIntValue(CFStringRef str);
// The longest decimal prefix (after white space): sign, digits, point,
// exponent; no "inf", "nan" or hexadecimal. 0.0 when there is none. The point
// is always the decimal separator, whatever the process locale.
double CFStringGetDoubleValue(CFStringRef str);

// ---------------------------------------------------------------------------
// Comparing and finding

typedef CFOptionFlags CFStringCompareFlags;
enum : CFOptionFlags {
  kCFCompareCaseInsensitive = 1,
  kCFCompareBackwards = 4,       // find: the last occurrence
  kCFCompareAnchored = 8,        // find: only at the start (at the end with backwards)
  kCFCompareNonliteral = 16,     // accepted; comparison stays literal
  kCFCompareLocalized = 32,      // accepted; order stays that of the code units
  kCFCompareNumerically = 64,    // runs of ASCII digits compare by value ("a2" < "a10")
  kCFCompareDiacriticInsensitive = 128,  // accepted; not applied
  kCFCompareWidthInsensitive = 256,      // accepted; not applied
  kCFCompareForcedOrdering = 512,        // accepted; not applied
};

// Order of the code units (after case folding with kCFCompareCaseInsensitive).
// Case folding is one-to-one per code unit and covers ASCII, Latin-1,
// Latin Extended-A, basic Greek and Cyrillic.
CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions);
// Compares the range of theString1 with the whole of theString2.
CFComparisonResult CFStringCompareWithOptions(CFStringRef theString1, CFStringRef theString2,
                                              CFRange rangeToCompare, CFStringCompareFlags compareOptions);
// {kCFNotFound, 0} when absent (and for an empty stringToFind).
CFRange CFStringFind(CFStringRef theString, CFStringRef stringToFind, CFStringCompareFlags compareOptions);
Boolean CFStringFindWithOptions(CFStringRef theString, CFStringRef stringToFind, CFRange rangeToSearch,
                                CFStringCompareFlags searchOptions, CFRange* result);
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);

// ---------------------------------------------------------------------------
// Mutation (mutable strings only)

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString);
void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars, CFIndex numChars);
// Nothing is appended when the bytes are not valid in the encoding.
void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding);
void CFStringAppendPascalString(CFMutableStringRef theString, ConstStr255Param pStr,
                                CFStringEncoding encoding);
void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format, ...);
void CFStringAppendFormatAndArguments(CFMutableStringRef theString, CFDictionaryRef formatOptions,
                                      CFStringRef format, va_list arguments);
// idx may equal the length (append).
void CFStringInsert(CFMutableStringRef str, CFIndex idx, CFStringRef insertedStr);
void CFStringDelete(CFMutableStringRef theString, CFRange range);
void CFStringReplace(CFMutableStringRef theString, CFRange range, CFStringRef replacement);
void CFStringReplaceAll(CFMutableStringRef theString, CFStringRef replacement);
// Replaces every non-overlapping occurrence within rangeToSearch (from the
// end with kCFCompareBackwards; only at the range's start, or end, with
// kCFCompareAnchored); returns the number of replacements.
CFIndex CFStringFindAndReplace(CFMutableStringRef theString, CFStringRef stringToFind,
                               CFStringRef replacementString, CFRange rangeToSearch,
                               CFStringCompareFlags compareOptions);
// Case mapping per code unit with the coverage of the case folding above;
// Mac Roman text stays Mac Roman (the micro sign, pi and omega, symbols
// there, keep their case). The locale argument is not used (pass nil).
void CFStringLowercase(CFMutableStringRef theString, const void* localeIdentifier);
void CFStringUppercase(CFMutableStringRef theString, const void* localeIdentifier);
// The first letter of every word upper case, the other letters lower case.
void CFStringCapitalize(CFMutableStringRef theString, const void* localeIdentifier);
// Removes leading and trailing white space and line breaks.
void CFStringTrimWhitespace(CFMutableStringRef theString);
// Removes leading and trailing repetitions of trimString.
void CFStringTrim(CFMutableStringRef theString, CFStringRef trimString);
// Cuts to length, or extends to length with padString's characters starting
// at indexIntoPad and repeating.
void CFStringPad(CFMutableStringRef theString, CFStringRef padString, CFIndex length, CFIndex indexIntoPad);
