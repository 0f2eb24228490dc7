// The string object: creation, access, the constant-string table and the
// mutations that are not searches.
#include <clocale>
#include <locale.h>
#include <stdlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <span>
#include <unordered_set>

#include "CFStringInternal.h"

// ---------------------------------------------------------------------------
// The object

__CFString::~__CFString() {
  if (ownedBytes) std::free(ownedBytes);
}

bool __CFString::Equal(const __CFRuntimeBase* other) const {
  return chars == static_cast<const __CFString*>(other)->chars;
}

namespace {

CFHashCode HashUnits(const UniChar* u, size_t n) {
  // FNV-1a over the units: equal content, equal hash, whatever the mutability.
  UInt64 h = 0xcbf29ce484222325ULL;
  for (size_t i = 0; i < n; ++i) {
    h ^= u[i];
    h *= 0x100000001b3ULL;
  }
  return CFHashCode(h);
}

}  // namespace

CFHashCode __CFString::Hash() const { return HashUnits(chars.data(), chars.size()); }

std::string __CFString::Describe() const {
  std::string out;
  __CFAppendUTF8(out, chars.data(), chars.size());
  return out;
}

void __CFStringComplain(const char* function, const char* problem) {
  std::fprintf(stderr, "%s: %s\n", function, problem);
}

CFTypeID CFStringGetTypeID() { return kCFTypeIDString; }

CFStringRef __CFStringCreateWithUnits(__CFUniChars&& units) { return new __CFString(std::move(units), false); }

CFMutableStringRef __CFStringCreateMutableWithUnits(__CFUniChars&& units) {
  return new __CFString(std::move(units), true);
}

CFStringRef __CFStringCreateWithUTF8(std::string_view utf8) {
  __CFUniChars units;
  if (!__CFDecodeUTF8(reinterpret_cast<const UInt8*>(utf8.data()), utf8.size(), units)) return nullptr;
  return __CFStringCreateWithUnits(std::move(units));
}

std::string __CFStringGetUTF8(CFStringRef str) {
  std::string out;
  if (__CFString* s = __CFStringCast(str)) __CFAppendUTF8(out, s->chars.data(), s->chars.size());
  return out;
}

const UniChar* __CFStringGetUnits(CFStringRef str, CFIndex* length) {
  __CFString* s = __CFStringCast(str);
  if (s == nullptr || s->chars.empty()) {
    if (length) *length = 0;
    return nullptr;
  }
  if (length) *length = s->Length();
  return s->chars.data();
}

// ---------------------------------------------------------------------------
// Creation

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
  if (numBytes < 0 || (bytes == nullptr && numBytes != 0)) return nullptr;
  __CFUniChars units;
  if (!__CFStringDecodeBytes(bytes, size_t(numBytes), encoding, isExternalRepresentation, units)) return nullptr;
  return __CFStringCreateWithUnits(std::move(units));
}

namespace {

// The no-copy creators decode into the string's own storage and keep the
// caller's buffer only to give it back at the end, so that the string never
// exposes it (CFStringGetCharactersPtr must not return a caller's block).
CFStringRef AdoptBuffer(CFStringRef str, const void* buffer, CFAllocatorRef deallocator) {
  if (str != nullptr && buffer != nullptr && deallocator != kCFAllocatorNull)
    __CFStringCast(str)->ownedBytes = const_cast<void*>(buffer);
  return str;
}

}  // namespace

CFStringRef CFStringCreateWithBytesNoCopy(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                          CFStringEncoding encoding, Boolean isExternalRepresentation,
                                          CFAllocatorRef contentsDeallocator) {
  return AdoptBuffer(CFStringCreateWithBytes(alloc, bytes, numBytes, encoding, isExternalRepresentation), bytes,
                     contentsDeallocator);
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding) {
  if (cStr == nullptr) return nullptr;
  return CFStringCreateWithBytes(alloc, reinterpret_cast<const UInt8*>(cStr), CFIndex(std::strlen(cStr)),
                                 encoding, false);
}

CFStringRef CFStringCreateWithCStringNoCopy(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding,
                                            CFAllocatorRef contentsDeallocator) {
  return AdoptBuffer(CFStringCreateWithCString(alloc, cStr, encoding), cStr, contentsDeallocator);
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr, CFStringEncoding encoding) {
  if (pStr == nullptr) return nullptr;
  return CFStringCreateWithBytes(alloc, pStr + 1, pStr[0], encoding, false);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
  if (numChars < 0 || (chars == nullptr && numChars != 0)) return nullptr;
  return __CFStringCreateWithUnits(__CFUniChars(chars, chars + numChars));
}

CFStringRef CFStringCreateWithCharactersNoCopy(CFAllocatorRef alloc, const UniChar* chars, CFIndex numChars,
                                               CFAllocatorRef contentsDeallocator) {
  return AdoptBuffer(CFStringCreateWithCharacters(alloc, chars, numChars), chars, contentsDeallocator);
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef, CFStringRef str, CFRange range) {
  __CFString* s = __CFStringCast(str);
  if (s == nullptr) return nullptr;
  if (range.location < 0 || range.length < 0 || range.location > s->Length() ||
      range.length > s->Length() - range.location) {
    __CFStringComplain("CFStringCreateWithSubstring", "range outside the string");
    return nullptr;
  }
  auto first = s->chars.begin() + range.location;
  return __CFStringCreateWithUnits(__CFUniChars(first, first + range.length));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr) return nullptr;
  if (!s->isMutable) return static_cast<CFStringRef>(CFRetain(s));
  return __CFStringCreateWithUnits(__CFUniChars(s->chars));
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef, CFIndex maxLength) {
  auto* s = new __CFString(true);
  // Only a hint: a huge value must not make us reserve memory up front.
  if (maxLength > 0 && maxLength <= 4096) s->chars.reserve(size_t(maxLength));
  return s;
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex, CFStringRef theString) {
  __CFString* s = __CFStringCast(theString);
  return __CFStringCreateMutableWithUnits(s ? __CFUniChars(s->chars) : __CFUniChars());
}

// ---------------------------------------------------------------------------
// Constant strings

namespace {

struct ConstantHash {
  using is_transparent = void;
  size_t operator()(std::span<const UniChar> u) const { return HashUnits(u.data(), u.size()); }
  size_t operator()(const __CFString* s) const { return s->Hash(); }
};

struct ConstantEqual {
  using is_transparent = void;
  static std::span<const UniChar> View(std::span<const UniChar> u) { return u; }
  static std::span<const UniChar> View(const __CFString* s) { return s->chars; }
  template <typename A, typename B>
  bool operator()(const A& a, const B& b) const {
    auto x = View(a), y = View(b);
    return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
  }
};

struct ConstantTable {
  std::mutex lock;
  std::unordered_set<__CFString*, ConstantHash, ConstantEqual> strings;
};

ConstantTable& Constants() {
  // Never destroyed: constant strings outlive every static destructor.
  static ConstantTable* table = new ConstantTable;
  return *table;
}

CFStringRef Intern(__CFUniChars&& units) {
  ConstantTable& table = Constants();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.strings.find(std::span<const UniChar>(units));
  if (it != table.strings.end()) return *it;
  auto* s = new __CFString(std::move(units), false);
  s->Pin();
  table.strings.insert(s);
  return s;
}

void DecodeMacRoman(const char* bytes, __CFUniChars& out) {
  for (const char* p = bytes; *p; ++p) out.push_back(__CFMacRomanToUnicode(UInt8(*p)));
}

}  // namespace

CFStringRef __CFStringMakeConstantString(const char* macRomanBytes) {
  if (macRomanBytes == nullptr) return nullptr;
  __CFUniChars units;
  DecodeMacRoman(macRomanBytes, units);
  return Intern(std::move(units));
}

CFStringRef CFStringMakeConstantUTF8(const char* utf8Bytes) {
  if (utf8Bytes == nullptr) return nullptr;
  __CFUniChars units;
  if (!__CFDecodeUTF8(reinterpret_cast<const UInt8*>(utf8Bytes), std::strlen(utf8Bytes), units)) {
    units.clear();
    DecodeMacRoman(utf8Bytes, units);
  }
  return Intern(std::move(units));
}

// ---------------------------------------------------------------------------
// Access

CFIndex CFStringGetLength(CFStringRef theString) {
  __CFString* s = __CFStringCast(theString);
  return s ? s->Length() : 0;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr || idx < 0 || idx >= s->Length()) {
    if (s) __CFStringComplain("CFStringGetCharacterAtIndex", "index outside the string");
    return 0;
  }
  return s->chars[size_t(idx)];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr || buffer == nullptr) return;
  if (range.location < 0 || range.length < 0 || range.location > s->Length() ||
      range.length > s->Length() - range.location) {
    __CFStringComplain("CFStringGetCharacters", "range outside the string");
    return;
  }
  if (range.length > 0) std::memcpy(buffer, s->chars.data() + range.location, size_t(range.length) * sizeof(UniChar));
}

const UniChar* CFStringGetCharactersPtr(CFStringRef theString) { return __CFStringGetUnits(theString, nullptr); }

const char* CFStringGetCStringPtr(CFStringRef, CFStringEncoding) { return nullptr; }

// ---------------------------------------------------------------------------
// Numbers

namespace {

bool IsAsciiDigit(UniChar c) { return c >= '0' && c <= '9'; }

size_t SkipWhitespace(const __CFUniChars& u) {
  size_t i = 0;
  while (i < u.size() && __CFUniCharIsWhitespace(u[i])) ++i;
  return i;
}

}  // namespace

SInt32 CFStringGetIntValue(CFStringRef str) {
  __CFString* s = __CFStringCast(str);
  if (s == nullptr) return 0;
  const auto& u = s->chars;
  size_t i = SkipWhitespace(u);
  bool negative = false;
  if (i < u.size() && (u[i] == '+' || u[i] == '-')) negative = (u[i++] == '-');
  SInt64 value = 0;
  const SInt64 limit = negative ? -SInt64(std::numeric_limits<SInt32>::min()) : std::numeric_limits<SInt32>::max();
  bool overflow = false;
  for (; i < u.size() && IsAsciiDigit(u[i]); ++i) {
    if (!overflow) {
      value = value * 10 + (u[i] - '0');
      if (value > limit) overflow = true;
    }
  }
  if (overflow) return negative ? std::numeric_limits<SInt32>::min() : std::numeric_limits<SInt32>::max();
  return SInt32(negative ? -value : value);
}

double CFStringGetDoubleValue(CFStringRef str) {
  __CFString* s = __CFStringCast(str);
  if (s == nullptr) return 0.0;
  const auto& u = s->chars;
  size_t i = SkipWhitespace(u);
  // Copy the longest decimal prefix as ASCII and let strtod read it under the
  // C locale (never the process locale, which may want a comma).
  std::string text;
  if (i < u.size() && (u[i] == '+' || u[i] == '-')) text.push_back(char(u[i++]));
  size_t digits = 0;
  while (i < u.size() && IsAsciiDigit(u[i])) text.push_back(char(u[i++])), ++digits;
  if (i < u.size() && u[i] == '.') {
    size_t save = text.size();
    text.push_back('.');
    ++i;
    size_t fraction = 0;
    while (i < u.size() && IsAsciiDigit(u[i])) text.push_back(char(u[i++])), ++fraction;
    if (fraction == 0 && digits == 0) text.resize(save);
    digits += fraction;
  }
  if (digits == 0) return 0.0;
  if (i < u.size() && (u[i] == 'e' || u[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < u.size() && (u[j] == '+' || u[j] == '-')) exponent.push_back(char(u[j++]));
    size_t expDigits = 0;
    while (j < u.size() && IsAsciiDigit(u[j])) exponent.push_back(char(u[j++])), ++expDigits;
    if (expDigits > 0) text += exponent;
  }
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return strtod_l(text.c_str(), nullptr, cLocale);
}
