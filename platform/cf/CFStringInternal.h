// Internal to the platform library: the string object and the helpers the
// other CF areas share (UTF-8 <-> CFString, direct access to the UTF-16
// storage, the byte encodings, the Mac Roman table, case mapping).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CFRuntime.h"
#include "CFString.h"

typedef std::vector<UniChar> __CFUniChars;

struct __CFString : __CFRuntimeBase {
  explicit __CFString(bool isMutable) : __CFRuntimeBase(kCFTypeIDString), isMutable(isMutable) {}
  __CFString(__CFUniChars&& units, bool isMutable)
      : __CFRuntimeBase(kCFTypeIDString), chars(std::move(units)), isMutable(isMutable) {}
  ~__CFString() override;

  bool Equal(const __CFRuntimeBase* other) const override;
  CFHashCode Hash() const override;
  std::string Describe() const override;  // the characters, as UTF-8

  CFIndex Length() const { return CFIndex(chars.size()); }

  __CFUniChars chars;
  const bool isMutable;
  // Bytes handed over by a no-copy creator, given back when the string is freed.
  void* ownedBytes = nullptr;
};

// The string behind a reference; nil for nil and for objects of other types.
inline __CFString* __CFStringCast(CFTypeRef cf) { return CFCast<__CFString>(cf, kCFTypeIDString); }

// A new immutable string that takes the units (Create rule).
CFStringRef __CFStringCreateWithUnits(__CFUniChars&& units);
CFMutableStringRef __CFStringCreateMutableWithUnits(__CFUniChars&& units);

// UTF-8 <-> CFString. Creation gives nil for invalid UTF-8. Reading writes an
// unpaired surrogate as U+FFFD; nil gives "".
CFStringRef __CFStringCreateWithUTF8(std::string_view utf8);
std::string __CFStringGetUTF8(CFStringRef str);
void __CFAppendUTF8(std::string& out, const UniChar* units, size_t count);
// Strict UTF-8 decoding (no overlong forms, surrogates or values above U+10FFFF).
bool __CFDecodeUTF8(const UInt8* bytes, size_t count, __CFUniChars& out);
// The length of the run of ASCII bytes (below 0x80) at the start of bytes.
size_t __CFASCIIRunLength(const UInt8* bytes, size_t count);
// Widens ASCII bytes to UTF-16 units (out has room for count units).
void __CFWidenASCII(const UInt8* bytes, size_t count, UniChar* out);

// Direct read access to the storage; *length receives the number of units.
// Nil (and length 0) for nil or for an empty string.
const UniChar* __CFStringGetUnits(CFStringRef str, CFIndex* length);

// Byte encodings. Decoding appends to out and fails on bytes the encoding
// cannot map; see CFStringCreateWithBytes for isExternalRepresentation.
bool __CFStringDecodeBytes(const UInt8* bytes, size_t count, CFStringEncoding encoding,
                           bool isExternalRepresentation, __CFUniChars& out);
// The whole unit sequence in the encoding; false when a character cannot be
// converted and lossByte is 0.
bool __CFStringEncodeUnits(const UniChar* units, size_t count, CFStringEncoding encoding, UInt8 lossByte,
                           bool isExternalRepresentation, std::string& out);

// The encodings the C library converts (CFString+Iconv.cpp), by iconv name.
// Whether both directions open on this machine.
bool __CFIconvIsAvailable(const char* iconvName);
// Decoding appends to out; false on bytes that are not text in the encoding
// (invalid or cut short).
bool __CFIconvDecode(const char* iconvName, const UInt8* bytes, size_t count, __CFUniChars& out);
// Encodes as CFStringGetBytes does: at most maxBytes into buffer, or measures
// everything when buffer is nil; a character without bytes becomes lossByte
// (encoded in the encoding) or, with lossByte 0, ends the conversion.
// Returns the number of units converted; *usedBytes the bytes written.
size_t __CFIconvEncode(const char* iconvName, const UniChar* units, size_t count, UInt8 lossByte, UInt8* buffer,
                       size_t maxBytes, size_t* usedBytes);

// Mac Roman: every byte maps; a character without a byte gives false.
UniChar __CFMacRomanToUnicode(UInt8 byte);
bool __CFUnicodeToMacRoman(UniChar ch, UInt8* byte);

// Case mapping per code unit (ASCII, Latin-1, Latin Extended-A, basic Greek
// and Cyrillic). Mac Roman characters map to Mac Roman characters.
UniChar __CFUniCharToLower(UniChar ch);
UniChar __CFUniCharToUpper(UniChar ch);
UniChar __CFUniCharFold(UniChar ch);
bool __CFUniCharIsWhitespace(UniChar ch);

// Start positions of the occurrences of stringToFind within range, with
// the search flags, in ascending order (descending with kCFCompareBackwards).
std::vector<size_t> __CFStringFindAll(CFStringRef theString, CFStringRef stringToFind, CFRange range,
                                      CFStringCompareFlags opts);

// One diagnostic line on standard error ("<function>: <problem>").
void __CFStringComplain(const char* function, const char* problem);
