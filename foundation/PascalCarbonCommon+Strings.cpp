// Conversions between short strings, CFStrings, UTF-16 blocks, numbers and
// four-character codes.
#include <algorithm>
#include <cstring>

#include "CFString.h"
#include "DecimalConversion.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TextUtils.h"

CFStringRef CFSTR(const Str255& text) {
  char bytes[256];
  std::memcpy(bytes, text.data() + 1, text.len());
  bytes[text.len()] = 0;
  return __CFStringMakeConstantString(bytes);
}

Str255 CFStringToPascal(CFStringRef string) {
  Str255 result;
  if (string == nullptr) return result;
  if (CFStringGetLength(string) < 255) {
    if (!CFStringGetPascalString(string, result.data(), 256, kCFStringEncodingMacRoman)) result.Clear();
    return result;
  }
  // Long strings keep what converts of their first 254 characters, up to the
  // first one Mac Roman cannot hold.
  CFIndex used = 0;
  CFStringGetBytes(string, CFRangeMake(0, 254), kCFStringEncodingMacRoman, 0, false, result.data() + 1,
                   254, &used);
  result.SetLength(int(used));
  return result;
}

Str255 PCFSTR(CFStringRef string) { return CFStringToPascal(string); }

Str255 CFStringToPascalRange(CFStringRef string, CFRange range) {
  Str255 result;
  const CFIndex last = range.length;
  if (string == nullptr || last < 1) return result;
  // The buffer holds `last` characters, so a longer string fails to convert.
  Str255 whole;
  const CFIndex bufferSize = std::min<CFIndex>(last + 1, 256);
  if (!CFStringGetPascalString(string, whole.data(), bufferSize, kCFStringEncodingMacRoman)) return result;
  const CFIndex first = std::max<CFIndex>(range.location, 1);
  const CFIndex end = std::min<CFIndex>(last, whole.len());
  if (first > end) return result;
  result.Assign(reinterpret_cast<const char*>(whole.data() + first), size_t(end - first + 1));
  return result;
}

Str255 UnicodeStringToPascal(const UniChar* block) {
  if (!IsPointerAllocated(block)) return Str255();
  const Size count = GetPtrSize(reinterpret_cast<Ptr>(const_cast<UniChar*>(block))) / 2;
  CFStringRef string = CFStringCreateWithCharacters(nullptr, block, CFIndex(count));
  if (string == nullptr) return Str255();
  Str255 result = PCFSTR(string);
  CFRelease(string);
  return result;
}

Str255 UStrP(const UniChar* block) { return UnicodeStringToPascal(block); }

UniChar* CreateUnicodeString(CFStringRef string) {
  if (string == nullptr) return nullptr;
  if (const UniChar* own = CFStringGetCharactersPtr(string)) return const_cast<UniChar*>(own);
  const CFIndex length = CFStringGetLength(string);
  auto* block = reinterpret_cast<UniChar*>(NewPtr(Size(length) * 2));
  if (block != nullptr) CFStringGetCharacters(string, CFRangeMake(0, length), block);
  return block;
}

UniChar* UStr(CFStringRef string) { return CreateUnicodeString(string); }

UniChar* CreateUnicodeStringP(const Str255& text, TextEncoding encoding) {
  CFStringRef string = CFStringCreateWithPascalString(nullptr, text.data(), encoding);
  if (string == nullptr) return nullptr;
  const CFIndex length = CFStringGetLength(string);
  auto* block = reinterpret_cast<UniChar*>(NewPtr(Size(length) * 2));
  if (block != nullptr) CFStringGetCharacters(string, CFRangeMake(0, length), block);
  CFRelease(string);
  return block;
}

SInt32 StrN(const Str255& text) {
  long number = 0;
  StringToNum(text.data(), &number);
  return SInt32(number);
}

Str255 NStr(SInt32 number) {
  Str255 result;
  NumToString(number, result.data());
  return result;
}

float StringToFloat(const Str31& text) {
  if (text.empty()) return 0.0f;
  char bytes[32];
  std::memcpy(bytes, text.data() + 1, text.len());
  bytes[text.len()] = 0;
  short index = 0;
  short valid = 0;
  decimal number{};
  str2dec(bytes, &index, &number, &valid);
  return dec2f(&number);
}

Str255 GetMemoryString(SInt32 count) {
  if (count < 1024) return NStr(count) + "b";
  const SInt32 kilobytes = count / 1024;
  if (kilobytes > 1024) return NStr(kilobytes / 1024) + "M";
  return NStr(kilobytes) + "k";
}

UInt32 FCCToInteger(const Str4& code) {
  UInt32 value = 0;
  for (int i = 1; i <= 4; ++i) value = (value << 8) | (i <= code.len() ? code[i] : 0);
  return value;
}

Str4 FCCToString(UInt32 code) {
  const char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
  return Str4::FromBytes(bytes, 4);
}
