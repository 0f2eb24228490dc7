// The text engine's file codecs: plain text in a named encoding, and RTF.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "CFString.h"
#include "WEFileCodec.h"

namespace {

std::vector<UniChar> U(std::u16string_view s) { return std::vector<UniChar>(s.begin(), s.end()); }

std::string Bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out.push_back(char(b));
  return out;
}

WECodecStyle Style(std::string font, int points, RGBColor color, bool bold = false, bool italic = false,
                   bool underline = false) {
  WECodecStyle s;
  s.fontName = std::move(font);
  s.size = Fixed(points) << 16;
  s.color = color;
  s.bold = bold;
  s.italic = italic;
  s.underline = underline;
  return s;
}

// The style of `t` at a code-unit offset.
const WECodecStyle& StyleAt(const WECodecText& t, size_t offset) {
  size_t k = 0;
  while (k + 1 < t.runs.size() && t.runs[k + 1].start <= offset) ++k;
  return t.runs[k].style;
}

WECodecText ReadRTF(const std::string& rtf, OSStatus expected = noErr) {
  WECodecText t;
  EXPECT_EQ(WEReadRTF(rtf.data(), rtf.size(), t), expected) << rtf;
  return t;
}

std::u16string Text(const WECodecText& t) { return std::u16string(t.text.begin(), t.text.end()); }

// ---------------------------------------------------------------------------
// Plain text

struct EncodingCase {
  const char* name;
  TextEncoding encoding;
  std::u16string text;
  std::string bytes;  // what the text encodes to
};

TEST(WECodecText, EachEncodingWritesKnownBytesAndReadsThemBack) {
  const EncodingCase cases[] = {
      {"Mac Roman", kTextEncodingMacRoman, u"caf\u00E9 \u2022\u2260", Bytes({'c', 'a', 'f', 0x8E, ' ', 0xA5, 0xAD})},
      {"Windows Latin 1", kTextEncodingWindowsLatin1, u"\u20AC\u00E9\u2014", Bytes({0x80, 0xE9, 0x97})},
      {"ISO Latin 1", kTextEncodingISOLatin1, u"\u00E9\u00FF\u0085", Bytes({0xE9, 0xFF, 0x85})},
      {"ASCII", kTextEncodingASCII, u"plain {text}", "plain {text}"},
      {"UTF-8", kTextEncodingUTF8, u"\u00E9\u20AC\U0001F600", Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80})},
      {"UTF-16 with a mark", kCFStringEncodingUTF16, u"A\u00E9", Bytes({0xFE, 0xFF, 0x00, 'A', 0x00, 0xE9})},
      {"UTF-16BE", kCFStringEncodingUTF16BE, u"A\U0001F600", Bytes({0x00, 'A', 0xD8, 0x3D, 0xDE, 0x00})},
      {"UTF-16LE", kCFStringEncodingUTF16LE, u"A\u00E9", Bytes({'A', 0x00, 0xE9, 0x00})},
      {"UTF-32LE", kCFStringEncodingUTF32LE, u"A\U0001F600", Bytes({'A', 0, 0, 0, 0x00, 0xF6, 0x01, 0x00})},
      {"Shift JIS", kCFStringEncodingShiftJIS, u"a日本", Bytes({'a', 0x93, 0xFA, 0x96, 0x7B})},
      {"Windows Cyrillic", kCFStringEncodingWindowsCyrillic, u"Жж", Bytes({0xC6, 0xE6})},
      {"empty", kTextEncodingUTF8, u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes;
    ASSERT_EQ(WEEncodeText(reinterpret_cast<const UniChar*>(c.text.data()), c.text.size(), c.encoding,
                           weLineEndingKeep, bytes),
              noErr);
    EXPECT_EQ(bytes, c.bytes);
    std::vector<UniChar> back;
    ASSERT_EQ(WEDecodeText(bytes.data(), bytes.size(), c.encoding, weLineEndingKeep, back), noErr);
    EXPECT_EQ(back, U(c.text));
  }
}

TEST(WECodecText, MarksAreReadAndSkipped) {
  struct {
    const char* name;
    TextEncoding encoding;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"UTF-8 mark", kTextEncodingUTF8, Bytes({0xEF, 0xBB, 0xBF, 'h', 'i'}), u"hi"},
      {"UTF-16 little-endian mark", kCFStringEncodingUTF16, Bytes({0xFF, 0xFE, 'h', 0, 'i', 0}), u"hi"},
      {"UTF-16 without a mark is big-endian", kCFStringEncodingUTF16, Bytes({0, 'h', 0, 'i'}), u"hi"},
      {"UTF-16LE with its own mark", kCFStringEncodingUTF16LE, Bytes({0xFF, 0xFE, 'h', 0}), u"h"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UniChar> text;
    ASSERT_EQ(WEDecodeText(c.bytes.data(), c.bytes.size(), c.encoding, weLineEndingKeep, text), noErr);
    EXPECT_EQ(text, U(c.text));
  }
}

// A text that begins with U+FEFF reads back as it was written, in every
// Unicode form: the reader's skip takes the mark the writer put before it.
TEST(WECodecText, ALeadingByteOrderMarkCharacterSurvivesARoundTrip) {
  const struct {
    const char* name;
    TextEncoding encoding;
    std::string bytes;
  } cases[] = {
      {"UTF-8", kTextEncodingUTF8, Bytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 'h'})},
      {"UTF-16", kCFStringEncodingUTF16, Bytes({0xFE, 0xFF, 0xFE, 0xFF, 0, 'h'})},
      {"UTF-16BE", kCFStringEncodingUTF16BE, Bytes({0xFE, 0xFF, 0xFE, 0xFF, 0, 'h'})},
      {"UTF-16LE", kCFStringEncodingUTF16LE, Bytes({0xFF, 0xFE, 0xFF, 0xFE, 'h', 0})},
      {"UTF-32", kCFStringEncodingUTF32, Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0xFE, 0xFF, 0, 0, 0, 'h'})},
      {"UTF-32BE", kCFStringEncodingUTF32BE, Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0xFE, 0xFF, 0, 0, 0, 'h'})},
      {"UTF-32LE", kCFStringEncodingUTF32LE, Bytes({0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0, 0, 'h', 0, 0, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::u16string& text : {std::u16string(u"\uFEFFh"), std::u16string(u"\uFEFF\uFEFFh")}) {
      std::string bytes;
      ASSERT_EQ(WEEncodeText(reinterpret_cast<const UniChar*>(text.data()), text.size(), c.encoding,
                             weLineEndingKeep, bytes),
                noErr);
      if (text.size() == 2) {
        EXPECT_EQ(bytes, c.bytes);
      }
      std::vector<UniChar> back;
      ASSERT_EQ(WEDecodeText(bytes.data(), bytes.size(), c.encoding, weLineEndingKeep, back), noErr);
      EXPECT_EQ(back, U(text));
    }
  }
}

TEST(WECodecText, BytesNotValidInTheirEncodingAreRefused) {
  struct {
    const char* name;
    TextEncoding encoding;
    std::string bytes;
    OSStatus status;
  } cases[] = {
      {"UTF-8 stray continuation", kTextEncodingUTF8, Bytes({'a', 0x80, 'b'}), kTextMalformedInputErr},
      {"UTF-8 cut sequence", kTextEncodingUTF8, Bytes({'a', 0xE2, 0x82}), kTextMalformedInputErr},
      {"UTF-8 overlong slash", kTextEncodingUTF8, Bytes({0xC0, 0xAF}), kTextMalformedInputErr},
      {"UTF-8 encoded surrogate", kTextEncodingUTF8, Bytes({0xED, 0xA0, 0x80}), kTextMalformedInputErr},
      {"ASCII high byte", kTextEncodingASCII, Bytes({'a', 0xE9}), kTextMalformedInputErr},
      {"Windows Latin 1 hole", kTextEncodingWindowsLatin1, Bytes({0x81}), kTextMalformedInputErr},
      {"UTF-16 odd length", kCFStringEncodingUTF16BE, Bytes({0, 'a', 0}), kTextMalformedInputErr},
      {"UTF-16 lone high surrogate", kCFStringEncodingUTF16BE, Bytes({0xD8, 0x3D, 0, 'a'}), kTextMalformedInputErr},
      {"UTF-16 lone low surrogate", kCFStringEncodingUTF16LE, Bytes({0x00, 0xDE}), kTextMalformedInputErr},
      {"UTF-32 past the last code point", kCFStringEncodingUTF32BE, Bytes({0, 0x11, 0, 0}), kTextMalformedInputErr},
      {"unknown encoding", 0x0FFF, "abc", kTextUnsupportedEncodingErr},
      {"non-lossy ASCII is no file encoding here", kCFStringEncodingNonLossyASCII, "abc",
       kTextUnsupportedEncodingErr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UniChar> text = U(u"stale");
    EXPECT_EQ(WEDecodeText(c.bytes.data(), c.bytes.size(), c.encoding, weLineEndingKeep, text), c.status);
    EXPECT_TRUE(text.empty());
  }
  std::vector<UniChar> text;
  EXPECT_EQ(WEDecodeText(nullptr, 4, kTextEncodingUTF8, weLineEndingKeep, text), paramErr);
  EXPECT_EQ(WEDecodeText(nullptr, 0, kTextEncodingUTF8, weLineEndingKeep, text), noErr);
}

TEST(WECodecText, TextTheEncodingCannotHoldIsRefusedWithItsOffset) {
  struct {
    const char* name;
    TextEncoding encoding;
    std::u16string text;
    size_t offset;
  } cases[] = {
      {"euro in ISO Latin 1", kTextEncodingISOLatin1, u"ab\u20AC", 2},
      {"Cyrillic in Mac Roman", kTextEncodingMacRoman, u"\u00E9x\u0436", 2},
      {"emoji in Windows Latin 1", kTextEncodingWindowsLatin1, u"a\U0001F600", 1},
      {"accent in ASCII", kTextEncodingASCII, u"\u00E9", 0},
      {"Cyrillic in Shift JIS after Japanese", kCFStringEncodingShiftJIS, u"\u65E5\r\u0416\u04E8", 3},
      {"lone surrogate in UTF-8", kTextEncodingUTF8, u"ok\xD800!", 2},
      {"lone surrogate in UTF-16", kCFStringEncodingUTF16LE, u"\xDC00", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "stale";
    size_t offset = 999;
    EXPECT_EQ(WEEncodeText(reinterpret_cast<const UniChar*>(c.text.data()), c.text.size(), c.encoding,
                           weLineEndingCRLF, bytes, &offset),
              kTECUnmappableElementErr);
    EXPECT_EQ(offset, c.offset);
    EXPECT_TRUE(bytes.empty());  // nothing half-written
  }
  std::string bytes;
  EXPECT_EQ(WEEncodeText(reinterpret_cast<const UniChar*>(u"a"), 1, 0x0FFF, weLineEndingKeep, bytes),
            kTextUnsupportedEncodingErr);
  EXPECT_EQ(WEEncodeText(nullptr, 3, kTextEncodingUTF8, weLineEndingKeep, bytes), paramErr);
}

TEST(WECodecText, LineEndingsAreKeptOrConverted) {
  const std::string mixed = "a\r\nb\nc\rd\r";
  std::vector<UniChar> text;
  ASSERT_EQ(WEDecodeText(mixed.data(), mixed.size(), kTextEncodingUTF8, weLineEndingKeep, text), noErr);
  EXPECT_EQ(text, U(u"a\r\nb\nc\rd\r"));
  ASSERT_EQ(WEDecodeText(mixed.data(), mixed.size(), kTextEncodingMacRoman, weLineEndingCR, text), noErr);
  EXPECT_EQ(text, U(u"a\rb\rc\rd\r"));

  struct {
    WELineEnding ending;
    std::string bytes;
  } encodes[] = {
      {weLineEndingKeep, "x\ry\nz\r\n"},
      {weLineEndingLF, "x\ny\nz\n"},
      {weLineEndingCRLF, "x\r\ny\r\nz\r\n"},
      {weLineEndingCR, "x\ry\rz\r"},
  };
  const std::vector<UniChar> source = U(u"x\ry\nz\r\n");
  for (const auto& e : encodes) {
    SCOPED_TRACE(int(e.ending));
    std::string bytes;
    ASSERT_EQ(WEEncodeText(source.data(), source.size(), kTextEncodingUTF8, e.ending, bytes), noErr);
    EXPECT_EQ(bytes, e.bytes);
  }

  struct {
    std::u16string text;
    WELineEnding first;
  } detects[] = {
      {u"one line", weLineEndingKeep}, {u"a\nb\r\n", weLineEndingLF}, {u"a\r\nb\n", weLineEndingCRLF},
      {u"a\rb\n", weLineEndingCR},     {u"end\r", weLineEndingCR},    {u"", weLineEndingKeep},
  };
  for (const auto& d : detects) {
    auto t = U(d.text);
    EXPECT_EQ(WEDetectLineEnding(t.data(), t.size()), d.first);
  }
}

// ---------------------------------------------------------------------------
// RTF

TEST(WECodecRTF, StyledTextSurvivesARoundTrip) {
  const RGBColor red = {0xFFFF, 0, 0}, teal = {0, 0x8080, 0x8080}, black = {0, 0, 0};
  WECodecText in;
  in.text = U(u"Plain {braces} \\ back\rBold caf\u00E9\tItalic \U0001F600 under\rJapanese \u65E5\u672C\r");
  in.runs = {
      {0, Style("Monaco", 12, black)},
      {22, Style("Helvetica Neue", 18, red, true)},
      {32, Style("Times; New", 9, teal, false, true)},
      {42, Style("\u00C6sir Sans", 12, black, false, false, true)},
      {48, Style("Monaco", 12, black)},
  };
  std::string rtf;
  ASSERT_EQ(WEWriteRTF(in, rtf), noErr);
  for (char c : rtf) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "not plain ASCII: " << rtf;

  WECodecText out = ReadRTF(rtf);
  EXPECT_EQ(Text(out), Text(in));
  ASSERT_EQ(out.runs.size(), in.runs.size());
  for (size_t k = 0; k < in.runs.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(out.runs[k].start, in.runs[k].start);
    EXPECT_EQ(out.runs[k].style.fontName, in.runs[k].style.fontName);
    EXPECT_TRUE(out.runs[k].style == in.runs[k].style);
  }
}

TEST(WECodecRTF, WriterMergesEqualRunsAndKeepsTheStyleOfEmptyText) {
  const WECodecStyle bold = Style("Courier", 10, {0, 0, 0xFFFF}, true);
  WECodecText in;
  in.text = U(u"abcdef");
  in.runs = {{0, bold}, {2, Style("", 12, {0, 0, 0})}, {2, bold}, {4, bold}};
  std::string rtf;
  ASSERT_EQ(WEWriteRTF(in, rtf), noErr);
  WECodecText out = ReadRTF(rtf);
  EXPECT_EQ(Text(out), u"abcdef");
  EXPECT_TRUE(StyleAt(out, 0) == bold);
  EXPECT_TRUE(StyleAt(out, 3) == bold);  // the empty plain run at 2 says nothing
  EXPECT_EQ(out.runs.size(), 1u);

  WECodecText empty;
  empty.runs = {{0, bold}};
  ASSERT_EQ(WEWriteRTF(empty, rtf), noErr);
  out = ReadRTF(rtf);
  EXPECT_TRUE(out.text.empty());
  ASSERT_EQ(out.runs.size(), 1u);
  EXPECT_TRUE(out.runs[0].style == bold);

  WECodecText unstyled;
  unstyled.text = U(u"x\r\ny");
  ASSERT_EQ(WEWriteRTF(unstyled, rtf), noErr);
  out = ReadRTF(rtf);
  EXPECT_EQ(Text(out), u"x\ry");  // a CR LF pair is one paragraph break
  EXPECT_TRUE(out.runs[0].style == WECodecStyle{});
}

// What the writer wrote, read and written again, is the same document: runs
// that hold no text of their own (the LF of a CR LF pair), neighbours of one
// style, and a sweep of texts cut into runs at random.
TEST(WECodecRTF, AWriteOfWhatWasReadIsStable) {
  const WECodecStyle plain = Style("Monaco", 12, {0, 0, 0});
  const WECodecStyle bold = Style("Courier", 10, {0, 0, 0xFFFF}, true);
  const WECodecStyle odd = Style("Unused Face", 30, {0x1234, 0, 0}, false, true);
  struct Case {
    const char* name;
    std::u16string text;
    std::vector<WECodecRun> runs;
  };
  std::vector<Case> cases = {
      {"only the LF of a pair", u"ab\r\ncd", {{0, plain}, {3, bold}, {4, plain}}},
      {"only the LF, another style after", u"ab\r\ncd", {{0, plain}, {3, odd}, {4, bold}}},
      {"only the LF at the end", u"ab\r\n", {{0, bold}, {3, odd}}},
      {"the LF opens a longer run", u"ab\r\ncd", {{0, plain}, {3, bold}}},
      {"neighbours of one style", u"abcdef", {{0, bold}, {2, bold}, {4, plain}}},
  };
  std::mt19937 random(11);
  const std::u16string pieces[] = {u"a", u"\r", u"\n", u"\r\n", u"\t", u"{", u"\u00E9", u"\U0001F600", u" "};
  const WECodecStyle styles[] = {plain, bold, odd};
  for (int round = 0; round < 300; ++round) {
    Case c{"random", u"", {}};
    for (int k = int(random() % 12); k >= 0; --k) c.text += pieces[random() % std::size(pieces)];
    c.runs.push_back({0, styles[random() % 3]});
    for (int k = int(random() % 5); k > 0; --k)
      c.runs.push_back({UInt32(c.runs.back().start + random() % 3), styles[random() % 3]});
    if (c.runs.back().start > c.text.size()) c.runs.resize(1);
    cases.push_back(c);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WECodecText in;
    in.text = U(c.text);
    in.runs = c.runs;
    std::string first, second;
    ASSERT_EQ(WEWriteRTF(in, first), noErr);
    WECodecText read = ReadRTF(first);
    ASSERT_EQ(WEWriteRTF(read, second), noErr);
    EXPECT_EQ(second, first);
  }
}

TEST(WECodecRTF, WriterRefusesRunsThatDoNotFitTheText) {
  WECodecText in;
  in.text = U(u"abc");
  const std::vector<std::vector<WECodecRun>> bad = {
      {{1, WECodecStyle{}}},
      {{0, WECodecStyle{}}, {4, WECodecStyle{}}},
      {{0, WECodecStyle{}}, {2, WECodecStyle{}}, {1, WECodecStyle{}}},
  };
  for (const auto& runs : bad) {
    in.runs = runs;
    std::string rtf = "stale";
    EXPECT_EQ(WEWriteRTF(in, rtf), paramErr);
    EXPECT_TRUE(rtf.empty());
  }
}

TEST(WECodecRTF, ReadsAHandWrittenDocument) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n"
      "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\fmodern Courier New;}\r\n"
      "{\\f2\\fnil\\fcharset77 Geneva;}{\\f3\\fnil{\\*\\panose 0000}Symbolic{\\*\\falt Other};}}\r\n"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}\r\n"
      "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Not text}{\\author Nobody}}\r\n"
      "{\\*\\generator Someone 1.0;}{\\*\\unknowndest hidden}\r\n"
      "\\pard\\plain\\f0\\fs24 Hello {\\b bold {\\i both}} back\\par\r\n"
      "{\\f1\\fs20\\cf1 red caf\\'e9}{\\f2 mac \\'8e}\\line\r\n"
      "\\cf2\\ul under\\ulnone  plain\\tab\\u8364?\\uc2\\u8212--\\uc0\\u8211\\emdash\r\n"
      "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\~\\{\\}\\\\ \\unknownword99 end"
      "{\\pict\\pngblip 89504e47}\\bin4 {}}x}";
  WECodecText t = ReadRTF(rtf);
  EXPECT_EQ(Text(t), u"Hello bold both back\rred caf\u00E9mac \u00E9\runder plain\t\u20AC\u2014\u2013\u2014"
                     u"link\u00A0{}\\ end");

  const RGBColor black = {0, 0, 0}, red = {0xFFFF, 0, 0}, blue = {0, 0x8080, 0xFFFF};
  struct {
    std::u16string at;
    WECodecStyle style;
  } expect[] = {
      {u"Hello", Style("Helvetica", 12, black)},
      {u"bold", Style("Helvetica", 12, black, true)},
      {u"both", Style("Helvetica", 12, black, true, true)},
      {u"back", Style("Helvetica", 12, black)},
      {u"red", Style("Courier New", 10, red)},
      {u"mac", Style("Geneva", 12, black)},
      {u"under", Style("Helvetica", 12, blue, false, false, true)},
      {u"plain", Style("Helvetica", 12, blue)},
      {u"link", Style("Helvetica", 12, blue)},
  };
  const std::u16string text = Text(t);
  for (const auto& e : expect) {
    SCOPED_TRACE(std::string(e.at.begin(), e.at.end()));
    size_t at = text.find(e.at);
    ASSERT_NE(at, std::u16string::npos);
    const WECodecStyle& s = StyleAt(t, at);
    EXPECT_EQ(s.fontName, e.style.fontName);
    EXPECT_EQ(s.size, e.style.size);
    EXPECT_TRUE(s == e.style);
  }
  for (size_t k = 1; k < t.runs.size(); ++k) {
    EXPECT_LT(t.runs[k - 1].start, t.runs[k].start);
    EXPECT_FALSE(t.runs[k - 1].style == t.runs[k].style);
  }
}

TEST(WECodecRTF, CodePagesOfTheDocumentAndOfFonts) {
  struct {
    const char* name;
    std::string rtf;
    std::u16string text;
  } cases[] = {
      {"mac", "{\\rtf1\\mac \\'8e\\'a5}", u"\u00E9\u2022"},
      {"pc", "{\\rtf1\\pc \\'82\\'b3}", u"\u00E9\u2502"},
      {"pca", "{\\rtf1\\pca \\'9b}", u"\u00F8"},
      {"ansi default", "{\\rtf1 \\'80\\'e9}", u"\u20AC\u00E9"},
      {"raw high bytes", "{\\rtf1\\ansi caf\xe9}", u"caf\u00E9"},
      {"font charset wins", "{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset77 M;}}\\'8e{\\f1\\'8e}}", u"\u017D\u00E9"},
      {"double-byte page unknown", "{\\rtf1\\ansi\\ansicpg932 a\\'82}", u"a\uFFFD"},
      {"upr shows its unicode half", "{\\rtf1{\\upr{ansi}{\\*\\ud{uni}}}}", u"uni"},
      {"surrogate pair", "{\\rtf1\\u-10179?\\u-8704?}", u"\U0001F600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Text(ReadRTF(c.rtf)), c.text);
  }
}

TEST(WECodecRTF, HostileDocumentsGiveAnErrorOrTheirText) {
  struct {
    const char* name;
    std::string rtf;
    OSStatus status;
    std::u16string text;
  } cases[] = {
      {"empty", "", kTextMalformedInputErr, u""},
      {"not RTF", "hello {\\rtf1 x}", kTextMalformedInputErr, u""},
      {"only the start", "{\\rtf", noErr, u""},
      {"missing braces", "{\\rtf1 {\\b open {\\i deeper", noErr, u"open deeper"},
      {"extra closing braces", "{\\rtf1 a}}}} b", noErr, u"a"},
      {"lone backslash", "{\\rtf1 ab\\", noErr, u"ab"},
      {"cut hex escape", "{\\rtf1 ab\\'4", noErr, u"ab"},
      {"bad hex escape", "{\\rtf1 a\\'zz}", noErr, u"azz"},
      {"huge numbers", "{\\rtf1\\fs99999999999999999999\\cf-99999999999\\uc2147483647\\u99999999999 x}", noErr,
       u""},
      {"huge bin", "{\\rtf1 a\\bin2147483647 rest}", noErr, u"a"},
      {"negative bin", "{\\rtf1 a\\bin-5 b}", noErr, u"ab"},
      {"long control word", "{\\rtf1 a\\" + std::string(5000, 'x') + "1 b}", noErr, u"ab"},
      {"unicode out of range", "{\\rtf1\\uc0\\u70000 \\u-70000 ok}", noErr, u"ok"},
      {"colour index past the table", "{\\rtf1{\\colortbl;\\red1;}\\cf9 x\\cf-1 y}", noErr, u"xy"},
      {"font not in the table", "{\\rtf1\\f42 x}", noErr, u"x"},
      {"nesting too deep", "{\\rtf1 " + std::string(100000, '{') + "x", kTextMalformedInputErr, u""},
      {"nesting that closes", "{\\rtf1 " + std::string(300, '{') + "x" + std::string(300, '}') + "}", noErr, u"x"},
      {"nul bytes", std::string("{\\rtf1 a\0b}", 11), noErr, u"ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WECodecText t;
    EXPECT_EQ(WEReadRTF(c.rtf.data(), c.rtf.size(), t), c.status);
    EXPECT_EQ(Text(t), c.text);
    if (c.status == noErr) {
      EXPECT_FALSE(t.runs.empty());
    }
  }
  // Huge numbers stay within their limits.
  WECodecText t = ReadRTF("{\\rtf1\\fs99999999999 x}");
  EXPECT_EQ(t.runs[0].style.size, Fixed(65534) * 32768);
  WECodecText none;
  EXPECT_EQ(WEReadRTF(nullptr, 3, none), paramErr);
}

TEST(WECodecRTF, EveryCutAndEveryFlippedByteOfADocumentIsSafe) {
  const RGBColor green = {0, 0xFFFF, 0};
  WECodecText in;
  in.text = U(u"Head\r{body} \u00E9\u20AC\U0001F600 tail\tend");
  in.runs = {{0, Style("Futura", 24, green, true)}, {5, Style("Menlo", 11, {0, 0, 0}, false, true, true)}};
  std::string rtf;
  ASSERT_EQ(WEWriteRTF(in, rtf), noErr);
  rtf.insert(rtf.size() - 2, "{\\*\\x{\\'e9}}{\\fonttbl{\\f9 Late;}}{\\colortbl;\\red9}\\bin3 abc\\u-1?");

  for (size_t cut = 0; cut <= rtf.size(); ++cut) {
    WECodecText t;
    OSStatus status = WEReadRTF(rtf.data(), cut, t);
    EXPECT_EQ(status, cut < 5 ? OSStatus(kTextMalformedInputErr) : OSStatus(noErr)) << cut;
    EXPECT_LE(t.text.size(), in.text.size() + 8);
  }
  std::mt19937 random(27);
  for (int round = 0; round < 2000; ++round) {
    std::string mutated = rtf;
    for (int k = 0; k < 4; ++k) mutated[5 + random() % (mutated.size() - 5)] = char(random() % 256);
    WECodecText t;
    EXPECT_EQ(WEReadRTF(mutated.data(), mutated.size(), t), noErr);
    for (size_t k = 1; k < t.runs.size(); ++k) ASSERT_LT(t.runs[k - 1].start, t.runs[k].start);
    if (!t.runs.empty()) {
      ASSERT_LE(t.runs.back().start, t.text.size());
    }
  }
}

}  // namespace
