#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstring>
#include <functional>
#include <locale.h>
#include <string>
#include <thread>
#include <vector>

#include "CFRef.h"
#include "CFArray.h"
#include "CFData.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFStringInternal.h"

namespace {

CFStringRef K(const char* s) { return CFStringMakeConstantUTF8(s); }
CFStringRef U8(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }
CFMutableStringRef M8(const std::string& s) {
  Ref tmp(U8(s));
  return CFStringCreateMutableCopy(nullptr, 0, tmp.str());
}
std::string Utf8(CFStringRef s) { return __CFStringGetUTF8(s); }
std::vector<UniChar> Units(CFStringRef s) {
  std::vector<UniChar> u(size_t(CFStringGetLength(s)));
  CFStringGetCharacters(s, CFRangeMake(0, CFStringGetLength(s)), u.data());
  return u;
}
CFStringRef FromUnits(std::vector<UniChar> u) { return CFStringCreateWithCharacters(nullptr, u.data(), CFIndex(u.size())); }

// ---------------------------------------------------------------------------
// Encodings

TEST(CFStringEncoding, MacRomanRoundTripsEveryByte) {
  std::vector<UInt8> all(256);
  for (int b = 0; b < 256; ++b) all[size_t(b)] = UInt8(b);
  Ref s(CFStringCreateWithBytes(nullptr, all.data(), 256, kCFStringEncodingMacRoman, false));
  ASSERT_TRUE(s);
  ASSERT_EQ(CFStringGetLength(s.str()), 256);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 0x80), 0x00C4);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 0xDB), 0x20AC);  // euro
  EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 0xF0), 0xF8FF);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 0xFF), 0x02C7);

  std::vector<UInt8> back(256);
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 256), kCFStringEncodingMacRoman, 0, false, back.data(), 256, &used),
            256);
  EXPECT_EQ(used, 256);
  EXPECT_EQ(back, all);

  // And one byte at a time through short strings, which a NUL cannot cut.
  for (int b = 0; b < 256; ++b) {
    UInt8 p[2] = {1, UInt8(b)};
    Ref one(CFStringCreateWithPascalString(nullptr, p, kCFStringEncodingMacRoman));
    UInt8 out[256];
    ASSERT_TRUE(CFStringGetPascalString(one.str(), out, 256, kCFStringEncodingMacRoman)) << b;
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], b);
  }
}

TEST(CFStringEncoding, EightBitEncodingsMapAndRefuse) {
  struct Case {
    CFStringEncoding enc;
    UInt8 byte;
    UniChar expected;  // 0: the byte has no character
  } cases[] = {
      {kCFStringEncodingWindowsLatin1, 0x80, 0x20AC}, {kCFStringEncodingWindowsLatin1, 0x9F, 0x0178},
      {kCFStringEncodingWindowsLatin1, 0x81, 0},      {kCFStringEncodingWindowsLatin1, 0xE9, 0x00E9},
      {kCFStringEncodingISOLatin1, 0x80, 0x0080},     {kCFStringEncodingISOLatin1, 0xFF, 0x00FF},
      {kCFStringEncodingASCII, 0x41, 'A'},            {kCFStringEncodingASCII, 0x80, 0},
  };
  for (const auto& c : cases) {
    Ref s(CFStringCreateWithBytes(nullptr, &c.byte, 1, c.enc, false));
    if (c.expected == 0) {
      EXPECT_FALSE(s) << std::hex << c.enc << " " << int(c.byte);
      continue;
    }
    ASSERT_TRUE(s);
    EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 0), c.expected);
    UInt8 back = 0;
    EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 1), c.enc, 0, false, &back, 1, nullptr), 1);
    EXPECT_EQ(back, c.byte);
  }
}

TEST(CFStringEncoding, ConversionFailsOnCharacterOutsideTheEncoding) {
  Ref s(U8("ab\xE4\xB8\x80" "cd"));  // a CJK character at index 2
  UInt8 p[256];
  p[0] = 7;
  EXPECT_FALSE(CFStringGetPascalString(s.str(), p, 256, kCFStringEncodingMacRoman));
  EXPECT_EQ(p[0], 0);
  char c[32] = "x";
  EXPECT_FALSE(CFStringGetCString(s.str(), c, sizeof c, kCFStringEncodingMacRoman));
  EXPECT_EQ(c[0], 0);

  // Without a loss byte the conversion stops there and reports what it did.
  UInt8 buf[16];
  CFIndex used = -1;
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 5), kCFStringEncodingMacRoman, 0, false, buf, 16, &used), 2);
  EXPECT_EQ(used, 2);
  // With one it substitutes and goes on; measuring gives the same count.
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 5), kCFStringEncodingMacRoman, '?', false, buf, 16, &used), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size_t(used)), "ab?cd");
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 5), kCFStringEncodingMacRoman, '?', false, nullptr, 0, &used), 5);
  EXPECT_EQ(used, 5);
  // A range outside the string converts nothing.
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(3, 5), kCFStringEncodingMacRoman, '?', false, buf, 16, &used), 0);
}

TEST(CFStringEncoding, BufferSizesAreHonoured) {
  Ref s(U8("h\xC3\xA9llo"));  // 5 characters, 6 bytes of UTF-8
  char c[8];
  EXPECT_FALSE(CFStringGetCString(s.str(), c, 6, kCFStringEncodingUTF8));  // no room for the NUL
  EXPECT_TRUE(CFStringGetCString(s.str(), c, 7, kCFStringEncodingUTF8));
  EXPECT_STREQ(c, "h\xC3\xA9llo");
  EXPECT_TRUE(CFStringGetCString(s.str(), c, 6, kCFStringEncodingMacRoman));
  EXPECT_STREQ(c, "h\x8Ello");

  // A short string holds 255 bytes at most, and never more than the buffer.
  Ref s255(U8(std::string(255, 'x')));
  Ref s256(U8(std::string(256, 'x')));
  UInt8 p[256];
  EXPECT_TRUE(CFStringGetPascalString(s255.str(), p, 256, kCFStringEncodingMacRoman));
  EXPECT_EQ(p[0], 255);
  EXPECT_FALSE(CFStringGetPascalString(s256.str(), p, 256, kCFStringEncodingMacRoman));
  EXPECT_EQ(p[0], 0);
  EXPECT_FALSE(CFStringGetPascalString(s.str(), p, 5, kCFStringEncodingMacRoman));

  // A surrogate pair is converted whole or not at all.
  Ref pair(U8("a\xF0\x9F\x98\x80"));  // a + U+1F600
  ASSERT_EQ(CFStringGetLength(pair.str()), 3);
  UInt8 buf[8];
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(pair.str(), CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, buf, 4, &used), 1);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(CFStringGetBytes(pair.str(), CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, buf, 5, &used), 3);
  EXPECT_EQ(used, 5);
}

TEST(CFStringEncoding, InvalidUTF8GivesNil) {
  const char* invalid[] = {
      "\x80",              // lone continuation byte
      "\xC0\x80",          // overlong NUL
      "\xE0\x80\xAF",      // overlong slash
      "\xE2\x82",          // truncated
      "\xED\xA0\x80",      // a surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",
      "ok\xFF",
  };
  for (const char* bytes : invalid) {
    EXPECT_EQ(CFStringCreateWithCString(nullptr, bytes, kCFStringEncodingUTF8), nullptr) << bytes;
    EXPECT_EQ(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes), CFIndex(strlen(bytes)),
                                      kCFStringEncodingUTF8, false),
              nullptr);
  }
  EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
  EXPECT_EQ(CFStringCreateWithBytes(nullptr, nullptr, 4, kCFStringEncodingUTF8, false), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "x", 0x12345), nullptr);  // unknown encoding

  Ref ok(U8("\xF0\x9F\x98\x80\xE2\x82\xAC"));
  ASSERT_TRUE(ok);
  EXPECT_EQ(Units(ok.str()), (std::vector<UniChar>{0xD83D, 0xDE00, 0x20AC}));
  EXPECT_EQ(Utf8(ok.str()), "\xF0\x9F\x98\x80\xE2\x82\xAC");
}

TEST(CFStringEncoding, UTF16ByteOrderMarks) {
  struct Case {
    std::vector<UInt8> bytes;
    CFStringEncoding enc;
    bool external;
    std::vector<UniChar> expected;
    bool valid;
  } cases[] = {
      {{0xFE, 0xFF, 0x00, 0x41}, kCFStringEncodingUTF16, true, {0x41}, true},
      {{0xFF, 0xFE, 0x41, 0x00}, kCFStringEncodingUTF16, true, {0x41}, true},
      {{0x00, 0x41, 0x20, 0xAC}, kCFStringEncodingUTF16, true, {0x41, 0x20AC}, true},  // no mark: big-endian
      {{0x41, 0x00}, kCFStringEncodingUTF16LE, false, {0x41}, true},
      {{0x00, 0x41}, kCFStringEncodingUTF16BE, false, {0x41}, true},
      {{0xFF, 0xFE, 0x41, 0x00}, kCFStringEncodingUTF16LE, true, {0x41}, true},
      {{0xFF, 0xFE, 0x41, 0x00}, kCFStringEncodingUTF16LE, false, {0xFEFF, 0x41}, true},
      {{0x00, 0xD8, 0x41, 0x00}, kCFStringEncodingUTF16LE, false, {0xD800, 0x41}, true},  // unpaired kept
      {{0x00, 0x41, 0x00}, kCFStringEncodingUTF16BE, false, {}, false},                  // odd length
      {{0x00, 0x00, 0xFE, 0xFF, 0x00, 0x01, 0xF6, 0x00}, kCFStringEncodingUTF32, true, {0xD83D, 0xDE00}, true},
      {{0x00, 0x11, 0x00, 0x00}, kCFStringEncodingUTF32BE, false, {}, false},  // above U+10FFFF
      {{0x00, 0xD8, 0x00, 0x00}, kCFStringEncodingUTF32LE, false, {}, false},  // a surrogate
  };
  for (const auto& c : cases) {
    Ref s(CFStringCreateWithBytes(nullptr, c.bytes.data(), CFIndex(c.bytes.size()), c.enc, c.external));
    ASSERT_EQ(bool(s), c.valid) << std::hex << c.enc;
    if (c.valid) {
      EXPECT_EQ(Units(s.str()), c.expected);
    }
  }

  // The external representation carries a mark and reads back.
  Ref text(U8("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"));
  for (CFStringEncoding enc : {kCFStringEncodingUTF16, kCFStringEncodingUTF32, kCFStringEncodingUTF8}) {
    Ref data(CFStringCreateExternalRepresentation(nullptr, text.str(), enc, 0));
    ASSERT_TRUE(data);
    Ref back(CFStringCreateFromExternalRepresentation(nullptr, static_cast<CFDataRef>(data.get()), enc));
    EXPECT_TRUE(CFEqual(back.get(), text.get())) << std::hex << enc;
  }
}

TEST(CFStringEncoding, UnpairedSurrogatesInOutput) {
  Ref s(FromUnits({'a', 0xDC00, 'b'}));
  UInt8 buf[16];
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, buf, 16, &used), 1);
  EXPECT_EQ(CFStringGetBytes(s.str(), CFRangeMake(0, 3), kCFStringEncodingUTF8, '?', false, buf, 16, &used), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size_t(used)), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf8(s.str()), "a\xEF\xBF\xBD" "b");
  char c[8];
  EXPECT_FALSE(CFStringGetCString(s.str(), c, 8, kCFStringEncodingUTF8));
}

TEST(CFStringEncoding, NamesAndSizes) {
  Ref name(U8("UTF-8"));
  EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(name.str()), kCFStringEncodingUTF8);
  Ref mac(U8("Macintosh"));
  EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(mac.str()), kCFStringEncodingMacRoman);
  Ref bogus(U8("klingon-8"));
  EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(bogus.str()), kCFStringEncodingInvalidId);
  EXPECT_EQ(Utf8(CFStringConvertEncodingToIANACharSetName(kCFStringEncodingWindowsLatin1)), "windows-1252");
  EXPECT_EQ(CFStringGetSystemEncoding(), kCFStringEncodingMacRoman);
  EXPECT_FALSE(CFStringIsEncodingAvailable(kCFStringEncodingNextStepLatin));
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(10, kCFStringEncodingUTF8), 30);
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(LONG_MAX / 2, kCFStringEncodingUTF8), kCFNotFound);

  Ref escaped(CFStringCreateWithCString(nullptr, "a\\u00e9\\\\b\\351", kCFStringEncodingNonLossyASCII));
  ASSERT_TRUE(escaped);
  EXPECT_EQ(Utf8(escaped.str()), "a\xC3\xA9\\b\xC3\xA9");
  char out[32];
  ASSERT_TRUE(CFStringGetCString(escaped.str(), out, sizeof out, kCFStringEncodingNonLossyASCII));
  EXPECT_STREQ(out, "a\\u00e9\\\\b\\u00e9");
}

// ---------------------------------------------------------------------------
// Objects

TEST(CFStringObject, EqualityHashAndCopies) {
  Ref a(U8("caf\xC3\xA9"));
  Ref m(M8("caf\xC3\xA9"));
  EXPECT_EQ(CFGetTypeID(a.get()), CFStringGetTypeID());
  EXPECT_TRUE(CFEqual(a.get(), m.get()));
  EXPECT_EQ(CFHash(a.get()), CFHash(m.get()));
  Ref other(U8("cafe"));
  EXPECT_FALSE(CFEqual(a.get(), other.get()));

  // Copying an immutable string shares it; copying a mutable one does not.
  Ref copy(CFStringCreateCopy(nullptr, a.str()));
  EXPECT_EQ(copy.get(), a.get());
  Ref frozen(CFStringCreateCopy(nullptr, m.str()));
  EXPECT_NE(frozen.get(), m.get());
  CFStringAppendCString(m.mut(), "!", kCFStringEncodingASCII);
  EXPECT_EQ(Utf8(frozen.str()), "caf\xC3\xA9");

  Ref sub(CFStringCreateWithSubstring(nullptr, a.str(), CFRangeMake(1, 2)));
  EXPECT_EQ(Utf8(sub.str()), "af");
  EXPECT_EQ(CFStringCreateWithSubstring(nullptr, a.str(), CFRangeMake(3, 2)), nullptr);
  EXPECT_EQ(CFStringGetCharacterAtIndex(a.str(), 4), 0);
  EXPECT_EQ(CFStringGetLength(nullptr), 0);
}

TEST(CFStringObject, CharactersPointerIsTheStringsOwn) {
  UniChar mine[3] = {'a', 'b', 'c'};
  Ref s(CFStringCreateWithCharactersNoCopy(nullptr, mine, 3, kCFAllocatorNull));
  const UniChar* p = CFStringGetCharactersPtr(s.str());
  ASSERT_NE(p, nullptr);
  EXPECT_NE(p, mine);  // never the caller's block
  EXPECT_EQ(std::vector<UniChar>(p, p + 3), std::vector<UniChar>(mine, mine + 3));
  EXPECT_EQ(CFStringGetCStringPtr(s.str(), kCFStringEncodingMacRoman), nullptr);

  // A no-copy buffer handed over with the default deallocator is freed with the string.
  auto* bytes = static_cast<UInt8*>(malloc(3));
  memcpy(bytes, "xyz", 3);
  Ref owned(CFStringCreateWithBytesNoCopy(nullptr, bytes, 3, kCFStringEncodingASCII, false, kCFAllocatorDefault));
  EXPECT_EQ(Utf8(owned.str()), "xyz");
}

TEST(CFStringObject, ConstantStringsAreInternedAndPinned) {
  CFStringRef a = __CFStringMakeConstantString("caf\x8E");  // Mac Roman e-acute
  CFStringRef b = CFStringMakeConstantUTF8("caf\xC3\xA9");
  CFStringRef c = __CFStringMakeConstantString("caf\x8E");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_NE(a, __CFStringMakeConstantString("cafe"));
  // Not valid UTF-8: read as Mac Roman, so it is the same constant again.
  EXPECT_EQ(CFStringMakeConstantUTF8("caf\x8E"), a);

  CFIndex count = CFGetRetainCount(a);
  for (int i = 0; i < 5; ++i) CFRelease(a);
  EXPECT_EQ(CFGetRetainCount(a), count);
  EXPECT_EQ(Utf8(a), "caf\xC3\xA9");
  EXPECT_EQ(CFStringGetLength(__CFStringMakeConstantString(std::string(255, 'k').c_str())), 255);
  EXPECT_EQ(__CFStringMakeConstantString(nullptr), nullptr);

  // A mutable string with the same text is a different, equal object.
  Ref m(M8("caf\xC3\xA9"));
  EXPECT_TRUE(CFEqual(m.get(), a));

  // Threads racing for the same texts get the same objects.
  std::vector<CFStringRef> seen(8 * 100);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t, &seen] {
      for (int i = 0; i < 100; ++i)
        seen[size_t(t * 100 + i)] = __CFStringMakeConstantString(("race " + std::to_string(i)).c_str());
    });
  for (auto& th : threads) th.join();
  for (int t = 1; t < 8; ++t)
    for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[size_t(t * 100 + i)], seen[size_t(i)]);
}

// ---------------------------------------------------------------------------
// Comparing and finding

TEST(CFStringSearch, CompareFlags) {
  struct Case {
    const char* a;
    const char* b;
    CFStringCompareFlags flags;
    CFComparisonResult expected;
  } cases[] = {
      {"abc", "abc", 0, kCFCompareEqualTo},
      {"abc", "ABC", 0, kCFCompareGreaterThan},
      {"abc", "ABC", kCFCompareCaseInsensitive, kCFCompareEqualTo},
      {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", kCFCompareCaseInsensitive, kCFCompareEqualTo},   // Latin-1
      {"\xC5\x92UVRE", "\xC5\x93uvre", kCFCompareCaseInsensitive, kCFCompareEqualTo},              // Latin Ext-A
      {"ab", "abc", 0, kCFCompareLessThan},
      {"file10", "file9", 0, kCFCompareLessThan},
      {"file10", "file9", kCFCompareNumerically, kCFCompareGreaterThan},
      {"file007", "file7", kCFCompareNumerically, kCFCompareEqualTo},
      {"File10b", "file10A", kCFCompareNumerically | kCFCompareCaseInsensitive, kCFCompareGreaterThan},
  };
  for (const auto& c : cases) {
    Ref a(U8(c.a)), b(U8(c.b));
    EXPECT_EQ(CFStringCompare(a.str(), b.str(), c.flags), c.expected) << c.a << " / " << c.b;
  }
  Ref s(U8("xxHELLOxx"));
  Ref hello(U8("hello"));
  EXPECT_EQ(CFStringCompareWithOptions(s.str(), hello.str(), CFRangeMake(2, 5), kCFCompareCaseInsensitive),
            kCFCompareEqualTo);
  EXPECT_TRUE(CFStringHasPrefix(s.str(), __CFStringMakeConstantString("xxH")));
  EXPECT_FALSE(CFStringHasPrefix(s.str(), __CFStringMakeConstantString("xxh")));
  EXPECT_TRUE(CFStringHasSuffix(s.str(), __CFStringMakeConstantString("Oxx")));
  EXPECT_FALSE(CFStringHasSuffix(hello.str(), s.str()));
}

TEST(CFStringSearch, FindFlags) {
  struct Case {
    const char* text;
    const char* find;
    CFStringCompareFlags flags;
    CFIndex location;  // kCFNotFound when absent
  } cases[] = {
      {"one two one", "one", 0, 0},
      {"one two one", "one", kCFCompareBackwards, 8},
      {"one two one", "ONE", 0, kCFNotFound},
      {"one two ONE", "one", kCFCompareCaseInsensitive | kCFCompareBackwards, 8},
      {"one two one", "two", kCFCompareAnchored, kCFNotFound},
      {"one two one", "one", kCFCompareAnchored | kCFCompareBackwards, 8},
      {"one two", "one", kCFCompareAnchored | kCFCompareBackwards, kCFNotFound},
      {"aab", "ab", 0, 1},       // a partial match must not hide the real one
      {"abababc", "ababc", 0, 2},
      {"\xC3\x84pfel", "\xC3\xA4PFEL", kCFCompareCaseInsensitive, 0},
      {"abc", "", 0, kCFNotFound},
      {"ab", "abc", 0, kCFNotFound},
  };
  for (const auto& c : cases) {
    Ref t(U8(c.text)), f(U8(c.find));
    CFRange r = CFStringFind(t.str(), f.str(), c.flags);
    EXPECT_EQ(r.location, c.location) << c.text << " / " << c.find << " / " << c.flags;
    if (c.location != kCFNotFound) {
      EXPECT_EQ(r.length, CFStringGetLength(f.str()));
    }
  }

  Ref t(U8("abc abc abc"));
  Ref f(U8("abc"));
  CFRange r{};
  EXPECT_TRUE(CFStringFindWithOptions(t.str(), f.str(), CFRangeMake(1, 7), 0, &r));
  EXPECT_EQ(r.location, 4);
  EXPECT_FALSE(CFStringFindWithOptions(t.str(), f.str(), CFRangeMake(1, 5), 0, &r));  // the match crosses the end
  EXPECT_TRUE(CFStringFindWithOptions(t.str(), f.str(), CFRangeMake(4, 7), kCFCompareAnchored, &r));
  EXPECT_EQ(r.location, 4);
  EXPECT_FALSE(CFStringFindWithOptions(t.str(), f.str(), CFRangeMake(8, 9), 0, &r));  // outside the string
}

TEST(CFStringSearch, FindAndReplace) {
  struct Case {
    const char* text;
    const char* find;
    const char* replacement;
    CFStringCompareFlags flags;
    CFIndex count;
    const char* result;
  } cases[] = {
      {"a.b.c", ".", "::", 0, 2, "a::b::c"},
      {"aaaa", "aa", "b", 0, 2, "bb"},
      {"aaa", "aa", "b", 0, 1, "ba"},
      {"aaa", "aa", "b", kCFCompareBackwards, 1, "ab"},
      {"Tag tag TAG", "tag", "x", kCFCompareCaseInsensitive, 3, "x x x"},
      {"tag tag", "tag", "x", kCFCompareAnchored, 1, "x tag"},
      {"abc", "z", "y", 0, 0, "abc"},
      {"abc", "b", "", 0, 1, "ac"},
  };
  for (const auto& c : cases) {
    Ref s(M8(c.text)), f(U8(c.find)), r(U8(c.replacement));
    EXPECT_EQ(CFStringFindAndReplace(s.mut(), f.str(), r.str(), CFRangeMake(0, CFStringGetLength(s.str())), c.flags),
              c.count)
        << c.text;
    EXPECT_EQ(Utf8(s.str()), c.result) << c.text;
  }
  // Only within the range; the replacement may be the string itself.
  Ref s(M8("x-x-x"));
  Ref dash(U8("-"));
  EXPECT_EQ(CFStringFindAndReplace(s.mut(), dash.str(), dash.str(), CFRangeMake(2, 3), 0), 1);
  EXPECT_EQ(CFStringFindAndReplace(s.mut(), __CFStringMakeConstantString("x"), s.str(), CFRangeMake(0, 1), 0), 1);
  EXPECT_EQ(Utf8(s.str()), "x-x-x-x-x");
}

TEST(CFStringSearch, LargeTextsStayLinear) {
  // Several megabytes: a quadratic replace or find would not finish in the test's time.
  const size_t n = 2'000'000;
  Ref s(CFStringCreateMutable(nullptr, 0));
  Ref ab(U8("ab"));
  for (size_t i = 0; i < n / 2; ++i) CFStringAppend(s.mut(), ab.str());
  ASSERT_EQ(CFStringGetLength(s.str()), CFIndex(n));
  Ref a(U8("a")), xyz(U8("xyz"));
  EXPECT_EQ(CFStringFindAndReplace(s.mut(), a.str(), xyz.str(), CFRangeMake(0, CFIndex(n)), 0), CFIndex(n / 2));
  EXPECT_EQ(CFStringGetLength(s.str()), CFIndex(n * 2));

  // A pattern that almost matches everywhere.
  Ref hay(CFStringCreateMutable(nullptr, 0));
  CFStringPad(hay.mut(), a.str(), CFIndex(n), 0);
  std::string needle(1000, 'a');
  needle += "b";
  Ref f(U8(needle));
  EXPECT_EQ(CFStringFind(hay.str(), f.str(), 0).location, kCFNotFound);
  CFStringAppend(hay.mut(), __CFStringMakeConstantString("b"));
  EXPECT_EQ(CFStringFind(hay.str(), f.str(), 0).location, CFIndex(n - 1000));
  EXPECT_EQ(CFStringFind(hay.str(), f.str(), kCFCompareBackwards | kCFCompareCaseInsensitive).location,
            CFIndex(n - 1000));
}

// ---------------------------------------------------------------------------
// Mutation

TEST(CFStringMutation, EditsInPlace) {
  Ref s(CFStringCreateMutable(nullptr, 0));
  CFStringAppendCString(s.mut(), "hello", kCFStringEncodingASCII);
  UInt8 p[] = {2, ',', ' '};
  CFStringAppendPascalString(s.mut(), p, kCFStringEncodingMacRoman);
  UniChar w[] = {'w', 0xF6, 'r', 'l', 'd'};
  CFStringAppendCharacters(s.mut(), w, 5);
  EXPECT_EQ(Utf8(s.str()), "hello, w\xC3\xB6rld");
  CFStringInsert(s.mut(), 0, __CFStringMakeConstantString(">"));
  CFStringInsert(s.mut(), CFStringGetLength(s.str()), __CFStringMakeConstantString("<"));
  CFStringDelete(s.mut(), CFRangeMake(1, 7));
  EXPECT_EQ(Utf8(s.str()), ">w\xC3\xB6rld<");
  CFStringReplace(s.mut(), CFRangeMake(1, 5), __CFStringMakeConstantString("there"));
  EXPECT_EQ(Utf8(s.str()), ">there<");
  CFStringReplace(s.mut(), CFRangeMake(1, 5), __CFStringMakeConstantString("x"));
  EXPECT_EQ(Utf8(s.str()), ">x<");
  CFStringAppend(s.mut(), s.str());
  CFStringInsert(s.mut(), 1, s.str());
  EXPECT_EQ(Utf8(s.str()), ">>x<>x<x<>x<");
  CFStringReplaceAll(s.mut(), __CFStringMakeConstantString("new"));
  EXPECT_EQ(Utf8(s.str()), "new");
  // Bytes the encoding cannot map append nothing.
  CFStringAppendCString(s.mut(), "\xFF", kCFStringEncodingUTF8);
  EXPECT_EQ(Utf8(s.str()), "new");
}

TEST(CFStringMutation, RefusedOnImmutableStringsAndBadRanges) {
  Ref fixed(U8("fixed"));
  Ref m(M8("abc"));
  struct Case {
    const char* what;
    std::function<void()> run;
    CFStringRef target;
    const char* expected;
  } cases[] = {
      {"append", [&] { CFStringAppend(const_cast<CFMutableStringRef>(fixed.str()), m.str()); }, fixed.str(), "fixed"},
      {"uppercase", [&] { CFStringUppercase(const_cast<CFMutableStringRef>(fixed.str()), nullptr); }, fixed.str(),
       "fixed"},
      {"replace", [&] { CFStringFindAndReplace(const_cast<CFMutableStringRef>(fixed.str()), fixed.str(), m.str(),
                                               CFRangeMake(0, 5), 0); }, fixed.str(), "fixed"},
      {"delete past end", [&] { CFStringDelete(m.mut(), CFRangeMake(2, 2)); }, m.str(), "abc"},
      {"insert past end", [&] { CFStringInsert(m.mut(), 4, fixed.str()); }, m.str(), "abc"},
      {"negative range", [&] { CFStringReplace(m.mut(), CFRangeMake(-1, 1), fixed.str()); }, m.str(), "abc"},
      {"not a string", [&] { CFStringAppend(reinterpret_cast<CFMutableStringRef>(const_cast<void*>(
                                                 static_cast<const void*>(kCFNull))), m.str()); }, m.str(), "abc"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    c.run();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Utf8(c.target), c.expected) << c.what;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.what << ": " << err;
  }
}

TEST(CFStringMutation, CaseTrimAndPad) {
  struct Case {
    const char* text;
    void (*op)(CFMutableStringRef);
    const char* expected;
  } cases[] = {
      {"Gr\xC3\xBC\xC3\x9F" "e \xC3\x89T\xC3\x89 \xC5\x92", [](CFMutableStringRef s) { CFStringLowercase(s, nullptr); },
       "gr\xC3\xBC\xC3\x9F" "e \xC3\xA9t\xC3\xA9 \xC5\x93"},
      {"stra\xC3\x9F" "e \xC3\xBF \xC2\xB5", [](CFMutableStringRef s) { CFStringUppercase(s, nullptr); },
       "STRA\xC3\x9F" "E \xC5\xB8 \xC2\xB5"},  // sharp s and micro stay; y-diaeresis has a Mac Roman capital
      {"\xCE\xB1\xCE\xB2\xCE\xB3 \xD0\xB4\xD0\xB0", [](CFMutableStringRef s) { CFStringUppercase(s, nullptr); },
       "\xCE\x91\xCE\x92\xCE\x93 \xD0\x94\xD0\x90"},
      {"hELLO wORLD it's 3rd-rate", [](CFMutableStringRef s) { CFStringCapitalize(s, nullptr); },
       "Hello World It's 3rd-Rate"},
      {" \t\r\n text \xC2\xA0\n", [](CFMutableStringRef s) { CFStringTrimWhitespace(s); }, "text"},
      {" \t ", [](CFMutableStringRef s) { CFStringTrimWhitespace(s); }, ""},
      {"--x--y---", [](CFMutableStringRef s) { CFStringTrim(s, __CFStringMakeConstantString("--")); }, "x--y-"},
      {"ab", [](CFMutableStringRef s) { CFStringPad(s, __CFStringMakeConstantString("123"), 7, 1); }, "ab23123"},
      {"abcdef", [](CFMutableStringRef s) { CFStringPad(s, nullptr, 2, 0); }, "ab"},
  };
  for (const auto& c : cases) {
    Ref s(M8(c.text));
    c.op(s.mut());
    EXPECT_EQ(Utf8(s.str()), c.expected) << c.text;
  }
  // Every Mac Roman letter maps to a Mac Roman letter both ways.
  for (int b = 0; b < 256; ++b) {
    UInt8 dummy;
    UniChar ch = __CFMacRomanToUnicode(UInt8(b));
    EXPECT_TRUE(__CFUnicodeToMacRoman(__CFUniCharToUpper(ch), &dummy)) << b;
    EXPECT_TRUE(__CFUnicodeToMacRoman(__CFUniCharToLower(ch), &dummy)) << b;
  }
}

// ---------------------------------------------------------------------------
// Numbers, formats, descriptions, arrays

TEST(CFStringValues, IntAndDouble) {
  struct IntCase {
    const char* text;
    SInt32 value;
  } ints[] = {{"42", 42}, {"  -17xyz", -17}, {"+8", 8}, {"abc", 0}, {"", 0},
              {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}, {"-2147483648", INT32_MIN}};
  for (const auto& c : ints) {
    Ref s(U8(c.text));
    EXPECT_EQ(CFStringGetIntValue(s.str()), c.value) << c.text;
  }
  struct DoubleCase {
    const char* text;
    double value;
  } doubles[] = {{"3.5kg", 3.5}, {"", 0.0}, {" -2.5e2x", -250.0}, {".5", 0.5}, {"1e", 1.0},
                 {"inf", 0.0}, {"nan", 0.0}, {"0x10", 0.0}, {"1,5", 1.0}};
  // Whatever locale the process runs in (where a comma locale is installed).
  locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t(0));
  locale_t previous = comma ? uselocale(comma) : locale_t(0);
  for (const auto& c : doubles) {
    Ref s(U8(c.text));
    EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(s.str()), c.value) << c.text;
  }
  Ref f(CFStringCreateWithFormat(nullptr, nullptr, __CFStringMakeConstantString("%.2f"), 1.5));
  EXPECT_EQ(Utf8(f.str()), "1.50");
  if (comma) {
    uselocale(previous);
    freelocale(comma);
  }
}

TEST(CFStringFormat, Conversions) {
  Ref name(U8("caf\xC3\xA9"));
  int32_t n = 3;
  Ref number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &n));
  UniChar wide[] = {'w', 0x20AC, 0};
  struct Case {
    CFStringRef result;
    const char* expected;
  } cases[] = {
      {CFStringCreateWithFormat(nullptr, nullptr, K("%@ has %d items, %.1f%%"), name.str(), 12, 99.5),
       "caf\xC3\xA9 has 12 items, 99.5%"},
      {CFStringCreateWithFormat(nullptr, nullptr, K("[%-6@|%6.2@]"), name.str(), name.str()),
       "[caf\xC3\xA9  |    ca]"},
      {CFStringCreateWithFormat(nullptr, nullptr, K("%@ %s %s %.2s"), nullptr, "\xC3\xA9", "\x8E", "abc"),
       "(null) \xC3\xA9 \xC3\xA9 ab"},
      {CFStringCreateWithFormat(nullptr, nullptr, K("%ld %lu %lld %zu %x %05d %*d"), -5L, 7UL, 1LL << 40,
                                size_t(9), 255u, 42, 4, 7),
       "-5 7 1099511627776 9 ff 00042    7"},
      {CFStringCreateWithFormat(nullptr, nullptr, K("%C%S"), int(0xE9), wide), "\xC3\xA9w\xE2\x82\xAC"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Ref r(cases[i].result);
    ASSERT_TRUE(r) << i;
    EXPECT_EQ(Utf8(r.str()), cases[i].expected) << i;
  }
  // The positional case shows the number's own description, then the string.
  Ref pos(CFStringCreateWithFormat(nullptr, nullptr, K("%2$@ before %1$@"), name.str(), number.get()));
  EXPECT_EQ(Utf8(pos.str()), CFObj(number.get())->Describe() + " before caf\xC3\xA9");

  testing::internal::CaptureStderr();
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, K("50%")), nullptr);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, K("%k"), 1), nullptr);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, K("%2$d"), 1, 2), nullptr);  // argument 1 unknown
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, nullptr), nullptr);

  Ref m(M8("n="));
  CFStringAppendFormat(m.mut(), nullptr, K("%d/%@"), 5, name.str());
  EXPECT_EQ(Utf8(m.str()), "n=5/caf\xC3\xA9");
}

TEST(CFStringDescription, ShowAndCopyDescription) {
  Ref s(U8("l\xC3\xA9ger \xF0\x9F\x98\x80"));
  int32_t n = 7;
  Ref number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &n));
  testing::internal::CaptureStderr();
  CFShow(s.get());
  CFShow(nullptr);
  CFShow(number.get());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "l\xC3\xA9ger \xF0\x9F\x98\x80\n(null)\n" + CFObj(number.get())->Describe() + "\n");

  Ref d(CFCopyDescription(s.get()));
  EXPECT_TRUE(CFEqual(d.get(), s.get()));
  Ref dn(CFCopyDescription(number.get()));
  EXPECT_EQ(Utf8(dn.str()), CFObj(number.get())->Describe());
  EXPECT_EQ(CFCopyDescription(nullptr), nullptr);
  Ref t(CFCopyTypeIDDescription(CFStringGetTypeID()));
  EXPECT_EQ(Utf8(t.str()), "CFString");
}

TEST(CFStringArrays, SeparateAndCombine) {
  struct Case {
    const char* text;
    const char* separator;
    std::vector<std::string> pieces;
  } cases[] = {
      {"a, b, , c", ", ", {"a", "b", "", "c"}},
      {"abc", ",", {"abc"}},
      {",a,", ",", {"", "a", ""}},
      {"", ",", {""}},
      {"abc", "", {"abc"}},
  };
  for (const auto& c : cases) {
    Ref t(U8(c.text)), sep(U8(c.separator));
    Ref array(CFStringCreateArrayBySeparatingStrings(nullptr, t.str(), sep.str()));
    auto arr = static_cast<CFArrayRef>(array.get());
    ASSERT_EQ(CFArrayGetCount(arr), CFIndex(c.pieces.size())) << c.text;
    for (size_t i = 0; i < c.pieces.size(); ++i)
      EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(arr, CFIndex(i)))), c.pieces[i]);
    Ref joined(CFStringCreateByCombiningStrings(nullptr, arr, sep.str()));
    EXPECT_TRUE(CFEqual(joined.get(), t.get())) << c.text;
  }
  Ref t(U8("xAxax"));
  Ref results(CFStringCreateArrayWithFindResults(nullptr, t.str(), __CFStringMakeConstantString("a"),
                                                 CFRangeMake(0, 5), kCFCompareCaseInsensitive));
  auto arr = static_cast<CFArrayRef>(results.get());
  ASSERT_EQ(CFArrayGetCount(arr), 2);
  CFRange r;
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(arr, 1)), CFRangeMake(0, sizeof r),
                 reinterpret_cast<UInt8*>(&r));
  EXPECT_EQ(r.location, 3);
}

}  // namespace
