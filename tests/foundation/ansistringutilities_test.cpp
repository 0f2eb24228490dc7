#include "AnsiStringUtilities.h"

#include <gtest/gtest.h>

#include <string>

#include "CFString.h"

namespace {

CFStringRef FromUTF8(const char* text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

TEST(AnsiStringUtilities, CFStringConversions) {
  struct Case {
    const char* utf8;
    std::string macRoman;  // empty: no Mac Roman form
  };
  const Case cases[] = {
      {"caf\xC3\xA9", "caf\x8E"},    // e acute
      {"5 \xE2\x82\xAC", "5 \xDB"},  // euro sign
      {"\xE4\xB8\xAD", ""},          // a CJK character
      {"ab\xE4\xB8\xAD"
       "cd",
       ""},  // ... inside the text: nothing is cut silently
      {"", ""},
  };
  for (const Case& c : cases) {
    CFStringRef s = FromUTF8(c.utf8);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(CFStringToAnsiString(s), c.macRoman) << c.utf8;
    CFRelease(s);
  }
  EXPECT_EQ(CFStringToAnsiString(nullptr), "");

  // Every byte maps, NUL bytes and long texts included.
  std::string bytes(600, 'x');
  bytes[10] = '\0';
  bytes[20] = '\x8E';
  CFStringRef s = AnsiStringToCFString(bytes);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFStringGetLength(s), 600);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 20), 0x00E9);
  EXPECT_EQ(CFStringToAnsiString(s), bytes);
  CFRelease(s);
}

TEST(AnsiStringUtilities, ShortStrings) {
  EXPECT_EQ(GetAnsiString(Str255("a\x8E")), "a\x8E");
  EXPECT_EQ(AnsiStringToShort(std::string(300, 'q')).len(), 255);
  EXPECT_EQ(AnsiStringToShort("abc").str(), "abc");
}

}  // namespace
