// Text files as documents read and write them: what the reader finds in a
// file, and that the writer gives the file's bytes back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "WASTE.h"

namespace {

struct FileCase {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  Boolean mark;
  UInt32 endOfLine;
  std::u16string text;  // as the engine holds it: line breaks CR
};

std::string S(const char* s, size_t n) { return std::string(s, n); }

std::string Big(size_t n) {
  std::string line(n, 'a');
  for (size_t i = 0; i < n; i += 97) line[i] = char('a' + i % 26);
  return line;
}

TEST(WETextFile, EachKindOfFileIsFoundAndWrittenBackByteForByte) {
  const std::string bigLine = Big(1 << 20);
  const std::u16string bigText(bigLine.begin(), bigLine.end());
  const FileCase cases[] = {
      {"UTF-8, LF", "caf\xC3\xA9\nzwei\n", kCFStringEncodingUTF8, false, weEndOfLineLF, u"caf\u00E9\rzwei\r"},
      {"UTF-8 with a mark", "\xEF\xBB\xBFx\n", kCFStringEncodingUTF8, true, weEndOfLineLF, u"x\r"},
      {"a mark before U+FEFF", "\xEF\xBB\xBF\xEF\xBB\xBFx", kCFStringEncodingUTF8, true, weEndOfLineLF, u"\uFEFFx"},
      {"CR LF", "a\r\nb\r\n", kCFStringEncodingUTF8, false, weEndOfLineCRLF, u"a\rb\r"},
      {"CR", "a\rb\r", kCFStringEncodingUTF8, false, weEndOfLineCR, u"a\rb\r"},
      {"no final line break", "a\nb", kCFStringEncodingUTF8, false, weEndOfLineLF, u"a\rb"},
      {"no line break at all", "abc", kCFStringEncodingUTF8, false, weEndOfLineLF, u"abc"},
      {"empty", "", kCFStringEncodingUTF8, false, weEndOfLineLF, u""},
      {"NUL bytes in UTF-8", S("a\0b\n", 4), kCFStringEncodingUTF8, false, weEndOfLineLF, std::u16string(u"a\0b\r", 4)},
      {"UTF-16 LE", S("\xFF\xFE" "a\0\n\0", 6), kCFStringEncodingUTF16LE, true, weEndOfLineLF, u"a\r"},
      {"UTF-16 BE, CR LF", S("\xFE\xFF\0a\0\r\0\n", 8), kCFStringEncodingUTF16BE, true, weEndOfLineCRLF, u"a\r"},
      {"UTF-32 LE", S("\xFF\xFE\0\0" "a\0\0\0\n\0\0\0", 12), kCFStringEncodingUTF32LE, true, weEndOfLineLF, u"a\r"},
      {"UTF-32 BE", S("\0\0\xFE\xFF\0\0\0a\0\x01\xF6\x00", 12), kCFStringEncodingUTF32BE, true, weEndOfLineLF,
       u"a\U0001F600"},
      {"Latin-1 caf\\xe9", "caf\xE9\n", kCFStringEncodingWindowsLatin1, false, weEndOfLineLF, u"caf\u00E9\r"},
      {"UTF-8 with one stray Latin-1 byte", "\xC3\xA9t\xE9\n", kCFStringEncodingWindowsLatin1, false, weEndOfLineLF,
       u"\u00C3\u00A9t\u00E9\r"},
      {"the five bytes Windows Latin 1 leaves unassigned", "\x80\x81\x8D\x8F\x90\x9D\x9F",
       kCFStringEncodingWindowsLatin1, false, weEndOfLineLF, u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178"},
      {"a 1 MB line", bigLine + "\n", kCFStringEncodingUTF8, false, weEndOfLineLF, bigText + u"\r"},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UniChar> text;
    WETextFileFormat format;
    ASSERT_EQ(WEReadTextFile(c.bytes.data(), c.bytes.size(), kCFStringEncodingUTF8, &text, &format), noErr);
    EXPECT_EQ(format.encoding, c.encoding);
    EXPECT_EQ(format.byteOrderMark, c.mark);
    EXPECT_EQ(format.endOfLine, c.endOfLine);
    EXPECT_FALSE(format.mixedLineEndings);
    EXPECT_FALSE(format.notText);
    EXPECT_TRUE(std::u16string(text.begin(), text.end()) == c.text);
    std::string back;
    ASSERT_EQ(WEWriteTextFile(text.data(), text.size(), &format, &back, nullptr), noErr);
    EXPECT_TRUE(back == c.bytes) << "written back as " << back.size() << " bytes, read from " << c.bytes.size();
  }
}

TEST(WETextFile, EveryByteOfWindowsLatin1ReadsAndComesBack) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n') all.push_back(char(b));
  all.push_back(char(0xFF));  // never valid UTF-8
  std::vector<UniChar> text;
  WETextFileFormat format;
  ASSERT_EQ(WEReadTextFile(all.data(), all.size(), kCFStringEncodingUTF8, &text, &format), noErr);
  EXPECT_EQ(format.encoding, kCFStringEncodingWindowsLatin1);
  std::string back;
  ASSERT_EQ(WEWriteTextFile(text.data(), text.size(), &format, &back, nullptr), noErr);
  EXPECT_TRUE(back == all);
}

TEST(WETextFile, AnEightBitPreferenceDecidesTextThatIsNotUTF8) {
  struct HintCase {
    const char* name;
    std::string bytes;
    TextEncoding hint;
    TextEncoding found;
    UniChar first;
  };
  const HintCase cases[] = {
      {"Mac Roman named", "\x8E", kCFStringEncodingMacRoman, kCFStringEncodingMacRoman, 0x00E9},
      {"ASCII takes an 8-bit preference", "ab", kCFStringEncodingMacRoman, kCFStringEncodingMacRoman, 'a'},
      {"valid UTF-8 stays UTF-8", "\xC3\xA9", kCFStringEncodingMacRoman, kCFStringEncodingUTF8, 0x00E9},
      {"UTF-8 preferred: Windows Latin 1", "\x8E", kCFStringEncodingUTF8, kCFStringEncodingWindowsLatin1, 0x017D},
      {"UTF-16 LE named, no mark", S("a\0", 2), kCFStringEncodingUTF16LE, kCFStringEncodingUTF16LE, 'a'},
  };
  for (const HintCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UniChar> text;
    WETextFileFormat format;
    ASSERT_EQ(WEReadTextFile(c.bytes.data(), c.bytes.size(), c.hint, &text, &format), noErr);
    EXPECT_EQ(format.encoding, c.found);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], c.first);
  }
}

TEST(WETextFile, MixedLineEndingsTakeTheFirstAndSayThatTheyWere) {
  const std::string bytes = "a\r\nb\nc\rd";
  std::vector<UniChar> text;
  WETextFileFormat format;
  ASSERT_EQ(WEReadTextFile(bytes.data(), bytes.size(), kCFStringEncodingUTF8, &text, &format), noErr);
  EXPECT_EQ(format.endOfLine, weEndOfLineCRLF);
  EXPECT_TRUE(format.mixedLineEndings);
  std::string back;
  ASSERT_EQ(WEWriteTextFile(text.data(), text.size(), &format, &back, nullptr), noErr);
  EXPECT_EQ(back, "a\r\nb\r\nc\r\nd");
}

TEST(WETextFile, NulBytesAmongInvalidSequencesAreNotText) {
  struct Case {
    const char* name;
    std::string bytes;
    Boolean notText;
  };
  const Case cases[] = {
      {"a program", S("\x7F" "ELF\x02\x01\x01\0\0\0\x90\xFF", 12), true},
      {"NUL bytes in valid UTF-8", S("a\0b", 3), false},
      {"invalid UTF-8 without NUL", "caf\xE9", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UniChar> text;
    WETextFileFormat format;
    ASSERT_EQ(WEReadTextFile(c.bytes.data(), c.bytes.size(), kCFStringEncodingUTF8, &text, &format), noErr);
    EXPECT_EQ(format.notText, c.notText);
  }
}

TEST(WETextFile, ACharacterTheEncodingCannotHoldIsRefusedWithItsOffset) {
  const std::u16string text = u"ab\u0416c";
  for (TextEncoding e : {kCFStringEncodingWindowsLatin1, kCFStringEncodingMacRoman, kCFStringEncodingISOLatin1}) {
    WETextFileFormat format;
    format.encoding = e;
    std::string bytes = "old";
    ByteCount bad = 99;
    EXPECT_EQ(WEWriteTextFile(reinterpret_cast<const UniChar*>(text.data()), text.size(), &format, &bytes, &bad),
              kTECUnmappableElementErr);
    EXPECT_EQ(bad, 2u);
    EXPECT_TRUE(bytes.empty());
  }
}

}  // namespace

// The reader steps over long runs of plain text many bytes at a time: line
// ends and non-ASCII characters at every position of such a step, in files of
// every ending, read as a character-by-character reader reads them.
TEST(WETextFile, LineEndsAndWideCharactersAtEveryPositionOfALongRun) {
  struct Piece {
    const char* bytes;
    std::u16string units;  // as the engine holds it
  };
  const Piece pieces[] = {{"\n", u"\r"},           {"\r\n", u"\r"},          {"\r", u"\r"},
                          {"\xC3\xA9", u"\u00E9"}, {"\xE2\x82\xAC", u"\u20AC"}, {"\xF0\x9F\x98\x80", u"\U0001F600"},
                          {"\t", u"\t"},           {"\x0B", u"\x0B"}};
  for (const Piece& piece : pieces) {
    for (size_t at = 0; at < 40; ++at) {
      SCOPED_TRACE(std::string("piece ") + std::to_string(&piece - pieces) + " at " + std::to_string(at));
      std::string bytes;
      std::u16string expected;
      for (size_t i = 0; i < 3; ++i) {
        const std::string plain(at + i * 17, char('a' + i));
        bytes += plain + piece.bytes;
        expected += std::u16string(plain.begin(), plain.end()) + piece.units;
      }
      bytes += "tail";
      expected += u"tail";
      std::vector<UniChar> text;
      WETextFileFormat format;
      ASSERT_EQ(WEReadTextFile(bytes.data(), bytes.size(), kCFStringEncodingUTF8, &text, &format), noErr);
      EXPECT_EQ(format.encoding, kCFStringEncodingUTF8);
      EXPECT_FALSE(format.mixedLineEndings);
      ASSERT_TRUE(std::u16string(text.begin(), text.end()) == expected);
      std::string back;
      ASSERT_EQ(WEWriteTextFile(text.data(), text.size(), &format, &back, nullptr), noErr);
      EXPECT_TRUE(back == bytes);
    }
  }
  // A bad sequence late in a long run still makes the file eight-bit.
  std::string late(100, 'x');
  late += "\xC3(";
  std::vector<UniChar> text;
  WETextFileFormat format;
  ASSERT_EQ(WEReadTextFile(late.data(), late.size(), kCFStringEncodingUTF8, &text, &format), noErr);
  EXPECT_EQ(format.encoding, kCFStringEncodingWindowsLatin1);
  EXPECT_EQ(text.size(), late.size());
  EXPECT_EQ(text[100], 0x00C3);
}
