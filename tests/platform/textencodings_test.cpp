// The encodings of other scripts: the list an encoding menu shows, their
// names, and strings converting to and from their bytes (the multi-byte and
// shifting sets included, with loss bytes and buffers too small).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "CFData.h"
#include "CFRef.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "TextEncodings.h"

namespace {

CFStringRef U8(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }
std::string Utf8(CFStringRef s) { return __CFStringGetUTF8(s); }

std::vector<TextEncoding> Available() {
  ItemCount total = 0;
  EXPECT_EQ(noErr, TECGetAvailableTextEncodings(nullptr, 0, &total));
  std::vector<TextEncoding> list(total);
  ItemCount written = 0;
  EXPECT_EQ(noErr, TECGetAvailableTextEncodings(list.data(), total, &written));
  EXPECT_EQ(total, written);
  return list;
}

std::string FullName(TextEncoding e, TextEncodingNameSelector selector = kTextEncodingFullName) {
  UInt8 buffer[256];
  ByteCount length = 0;
  TextEncoding actual = 0;
  RegionCode region = -1;
  if (GetTextEncodingName(e, selector, 0, kTextEncodingUTF8, sizeof buffer, &length, &region, &actual, buffer) !=
      noErr)
    return "?";
  EXPECT_EQ(kTextEncodingUTF8, actual);
  EXPECT_EQ(0, region);
  return std::string(reinterpret_cast<char*>(buffer), length);
}

TEST(TextEncodings, TheListCoversTheMainScriptsEachNamedOnce) {
  const std::vector<TextEncoding> list = Available();
  std::set<std::string> names, scripts;
  for (TextEncoding e : list) {
    const std::string name = FullName(e);
    EXPECT_NE("?", name) << e;
    EXPECT_TRUE(names.insert(name).second) << "named twice: " << name;
    scripts.insert(FullName(e, kTextEncodingBaseName));
    EXPECT_TRUE(CFStringIsEncodingAvailable(e)) << name;
  }
  for (const char* script : {"Unicode", "Western", "Central European", "Cyrillic", "Greek", "Japanese",
                             "Chinese Simplified", "Chinese Traditional", "Korean"})
    EXPECT_TRUE(scripts.count(script)) << script;
  // An escape notation, not a document encoding.
  EXPECT_EQ(0u, std::count(list.begin(), list.end(), TextEncoding(kCFStringEncodingNonLossyASCII)));
  // A short array takes the first ones, in the same order.
  TextEncoding three[3] = {};
  ItemCount n = 0;
  ASSERT_EQ(noErr, TECGetAvailableTextEncodings(three, 3, &n));
  ASSERT_EQ(3u, n);
  EXPECT_TRUE(std::equal(three, three + 3, list.begin()));
  EXPECT_EQ(paramErr, TECGetAvailableTextEncodings(three, 3, nullptr));
}

TEST(TextEncodings, NamesInPartsInUnicodeAndWithShortBuffers) {
  EXPECT_EQ("Japanese (Shift JIS)", FullName(kCFStringEncodingShiftJIS));
  EXPECT_EQ("Japanese", FullName(kCFStringEncodingShiftJIS, kTextEncodingBaseName));
  EXPECT_EQ("Shift JIS", FullName(kCFStringEncodingShiftJIS, kTextEncodingVariantName));
  EXPECT_EQ("Central European (ISO Latin 2)", FullName(kCFStringEncodingISOLatin2));

  // Unicode output: UTF-16 units.
  UniChar units[64];
  ByteCount length = 0;
  TextEncoding actual = 0;
  ASSERT_EQ(noErr, GetTextEncodingName(kCFStringEncodingKOI8_R, kTextEncodingFullName, 0, kTextEncodingUnicodeDefault,
                                       sizeof units, &length, nullptr, &actual, reinterpret_cast<TextPtr>(units)));
  EXPECT_EQ(kTextEncodingUnicodeDefault, actual);
  Ref koi(CFStringCreateWithCharacters(nullptr, units, CFIndex(length / 2)));
  EXPECT_EQ("Cyrillic (KOI8-R)", Utf8(koi.str()));

  // Too small: the length needed, nothing claimed written.
  UInt8 small[4];
  EXPECT_EQ(kTECBufferBelowMinimumSizeErr, GetTextEncodingName(kCFStringEncodingEUC_KR, kTextEncodingFullName, 0,
                                                               kTextEncodingUTF8, sizeof small, &length, nullptr,
                                                               nullptr, small));
  EXPECT_EQ(std::string("Korean (EUC)").size(), length);
  EXPECT_EQ(kTextUnsupportedEncodingErr, GetTextEncodingName(kCFStringEncodingNextStepLatin, kTextEncodingFullName,
                                                             0, kTextEncodingUTF8, sizeof small, &length, nullptr,
                                                             nullptr, small));

  // The names a document or a web server gives.
  const struct {
    const char* name;
    CFStringEncoding encoding;
  } names[] = {
      {"Shift_JIS", kCFStringEncodingShiftJIS},
      {"BIG5", kCFStringEncodingBig5},
      {"ks_c_5601-1987", kCFStringEncodingDOSKorean},
      {"Windows-31J", kCFStringEncodingDOSJapanese},
      {"koi8-u", kCFStringEncodingKOI8_U},
  };
  for (const auto& n : names) {
    Ref name(U8(n.name));
    EXPECT_EQ(n.encoding, CFStringConvertIANACharSetNameToEncoding(name.str())) << n.name;
  }
  EXPECT_EQ("euc-kr", Utf8(CFStringConvertEncodingToIANACharSetName(kCFStringEncodingEUC_KR)));
}

TEST(TextEncodings, StringsRoundTripThroughEachScript) {
  const struct {
    CFStringEncoding encoding;
    const char* text;  // UTF-8
    std::string bytes;
  } cases[] = {
      {kCFStringEncodingISOLatin2, "\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xA3\xF3\x64\xBC"},
      {kCFStringEncodingMacCentralEurRoman, "\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xFC\x97\x64\x90"},
      {kCFStringEncodingWindowsCyrillic, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
       "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {kCFStringEncodingISOLatinGreek, "\xCE\xB1\xCE\xB2\xCE\xB3", "\xE1\xE2\xE3"},
      {kCFStringEncodingISOLatin9, "\xE2\x82\xAC", "\xA4"},
      {kCFStringEncodingShiftJIS, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\x93\xFA\x96\x7B\x8C\xEA"},
      {kCFStringEncodingISO_2022_JP, "\xE6\x97\xA5\xE6\x9C\xAC" "a", "\x1B$BF|K\\\x1B(Ba"},
      {kCFStringEncodingGB_18030_2000, "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {kCFStringEncodingBig5, "\xE4\xB8\xAD\xE6\x96\x87", "\xA4\xA4\xA4\xE5"},
      {kCFStringEncodingEUC_KR, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "\xC7\xD1\xB1\xB9\xBE\xEE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FullName(c.encoding));
    Ref decoded(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(c.bytes.data()),
                                        CFIndex(c.bytes.size()), c.encoding, false));
    ASSERT_TRUE(decoded.get());
    EXPECT_EQ(c.text, Utf8(decoded.str()));

    Ref text(U8(c.text));
    Ref data(CFStringCreateExternalRepresentation(nullptr, text.str(), c.encoding, 0));
    ASSERT_TRUE(data.get());
    EXPECT_EQ(c.bytes, std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data.data())),
                                   size_t(CFDataGetLength(data.data()))));
    const CFIndex room = CFStringGetMaximumSizeForEncoding(CFStringGetLength(text.str()), c.encoding);
    EXPECT_GE(room, CFIndex(c.bytes.size()));
    std::vector<char> cstr(size_t(room) + 1);
    ASSERT_TRUE(CFStringGetCString(text.str(), cstr.data(), CFIndex(cstr.size()), c.encoding));
    EXPECT_EQ(c.bytes, std::string(cstr.data()));
  }
}

TEST(TextEncodings, LossBytesShortBuffersAndBadBytes) {
  // "a", e acute, a CJK ideograph and a character outside the BMP, into Cyrillic.
  Ref text(U8("a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80" "b"));
  const CFRange all = {0, CFStringGetLength(text.str())};
  UInt8 out[32];
  CFIndex used = 0;
  EXPECT_EQ(all.length, CFStringGetBytes(text.str(), all, kCFStringEncodingWindowsCyrillic, '?', false, out,
                                         sizeof out, &used));
  EXPECT_EQ("a???b", std::string(reinterpret_cast<char*>(out), size_t(used)));
  // Without a loss byte the conversion stops at the first character that has none.
  EXPECT_EQ(1, CFStringGetBytes(text.str(), all, kCFStringEncodingWindowsCyrillic, 0, false, out, sizeof out, &used));
  EXPECT_EQ(1, used);
  char cstr[32];
  EXPECT_FALSE(CFStringGetCString(text.str(), cstr, sizeof cstr, kCFStringEncodingWindowsCyrillic));

  // A shifting encoding: the loss byte is written in ASCII, after the shift back.
  Ref mixed(U8("\xE6\x97\xA5\xC3\xA9"));
  EXPECT_EQ(2, CFStringGetBytes(mixed.str(), CFRange{0, 2}, kCFStringEncodingISO_2022_JP, '?', false, out, sizeof out,
                                &used));
  EXPECT_EQ("\x1B$BF|\x1B(B?", std::string(reinterpret_cast<char*>(out), size_t(used)));

  // A buffer too small takes whole characters and still ends in ASCII.
  Ref japanese(U8("\xE6\x97\xA5\xE6\x9C\xAC"));
  EXPECT_EQ(1, CFStringGetBytes(japanese.str(), CFRange{0, 2}, kCFStringEncodingISO_2022_JP, 0, false, out, 9, &used));
  EXPECT_EQ("\x1B$BF|\x1B(B", std::string(reinterpret_cast<char*>(out), size_t(used)));
  EXPECT_EQ(1, CFStringGetBytes(japanese.str(), CFRange{0, 2}, kCFStringEncodingShiftJIS, 0, false, out, 3, &used));
  EXPECT_EQ(2, used);
  // Measuring: the bytes everything takes.
  EXPECT_EQ(2, CFStringGetBytes(japanese.str(), CFRange{0, 2}, kCFStringEncodingShiftJIS, 0, false, nullptr, 0, &used));
  EXPECT_EQ(4, used);

  // Bytes that are not text in the encoding, or end inside a character, are refused.
  for (const std::string& bad : {std::string("\x93"), std::string("\xFF\xFF"), std::string("a\x81")}) {
    Ref s(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bad.data()), CFIndex(bad.size()),
                                  kCFStringEncodingShiftJIS, false));
    EXPECT_FALSE(s.get()) << bad;
  }
}

}  // namespace
