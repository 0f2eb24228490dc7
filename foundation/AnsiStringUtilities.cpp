#include "AnsiStringUtilities.h"

#include "CFString.h"

std::string GetAnsiString(const Str255& s) { return s.str(); }

std::string CFStringToAnsiString(CFStringRef string) {
  if (!string) return std::string();
  const CFIndex length = CFStringGetLength(string);
  // Mac Roman has one byte per character.
  std::string bytes(size_t(length), '\0');
  CFIndex used = 0;
  const CFIndex converted = CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingMacRoman, 0, false,
                                             reinterpret_cast<UInt8*>(bytes.data()), length, &used);
  if (converted != length) return std::string();
  bytes.resize(size_t(used));
  return bytes;
}

CFStringRef AnsiStringToCFString(const std::string& s) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()),
                                 kCFStringEncodingMacRoman, false);
}

Str255 AnsiStringToShort(const std::string& s) { return Str255(std::string_view(s)); }
