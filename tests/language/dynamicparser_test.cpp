// The stretch an edit re-parses: widening to styled runs, the region of an
// embedded language around an edit (on marks a real parse left), whether
// that region still opens and closes, the reset after an opening, and the
// run of non-blank characters at an offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DynamicParser.h"
#include "MacMemory.h"
#include "TSyntaxParserProcessUnit.h"
#include "WASTE.h"
#include "fixtures/ScanFixture.h"

namespace {

constexpr RGBColor kGrey{0x8000, 0x8000, 0x8000};
constexpr RGBColor kRed{0xFFFF, 0, 0};

struct DynamicParserTest : ::testing::Test {
  WEReference we = nullptr;
  TWASTEController controller;

  void SetUp() override {
    LongRect r{0, 0, 400, 600};
    ASSERT_EQ(WENew(&r, &r, weDoUndo | weDoMultipleUndo, &we), noErr);
    controller.SetWEReference(we);
    controller.Initialize();
    controller.SetNilColor(kGrey);
  }
  void TearDown() override { WEDispose(we); }

  // The text (UTF-8), unstyled (nil colour), with the selection at its end.
  void SetText(const std::string& text) {
    WEPut(0, WEGetTextLength(we), text.data(), text.size(), kCFStringEncodingUTF8, 0, 0, nullptr, nullptr, we);
    controller.ResetRange(CFRangeMake(0, WEGetTextLength(we)));
    WESetSelection(WEGetTextLength(we), WEGetTextLength(we), we);
  }
  void Color(SInt32 start, SInt32 end, RGBColor color) { WESetOneAttribute(start, end, 'colr', &color, 6, we); }
  // One parse of the whole text by a fixture language, as a file open does.
  void Parse(SyntaxLibraryPtr library) {
    SyntaxParserSource source;
    source.library = library;
    source.controller = &controller;
    auto* process = new TSyntaxParserProcess();
    ASSERT_EQ(process->Create(source, SyntaxParserDestination{}), 0);
    scanfix::RunToEnd(process);
    process->Free();
  }
  std::string Slice(CFRange span) {
    Handle h = NewHandle(0);
    WEStreamRange(SInt32(span.location), SInt32(span.length), 'utf8', 0, h, we);
    std::string s(*h, size_t(GetHandleSize(h)));
    DisposeHandle(h);
    return s;
  }
};

::testing::AssertionResult SpanIs(CFRange span, CFIndex start, CFIndex end) {
  if (span.location == start && span.length == end) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << span.location << ", " << span.length << ")";
}

TEST_F(DynamicParserTest, AnEditWidensToItsStyledRunsAndTheBlanksBeyond) {
  struct Case {
    const char* text;
    SInt32 styledStart, styledEnd;  // red; the rest nil
    CFRange edit;
    CFIndex start, end;
  } cases[] = {
      {"ab cd ef", 3, 5, CFRangeMake(3, 4), 0, 5},
      // Inside a plain word: back to the blank before it, on to the one after.
      {"abc def ghi", 0, 0, CFRangeMake(5, 5), 3, 7},
      // A styled word in the middle of plain ones.
      {"one two three four", 8, 13, CFRangeMake(9, 10), 3, 13},
      // At the very end of the text; the walk back passes the blank at the
      // run's edge and takes the word before it too.
      {"one two", 4, 7, CFRangeMake(7, 7), 0, 7},
      // The first word of an indented line: from the line break before it,
      // where a declaration that the line begins is told.
      {"ab\r  cd ef", 0, 0, CFRangeMake(6, 6), 2, 7},
      {"ab\r\tx cd ef", 0, 0, CFRangeMake(7, 7), 5, 8},
      // A span past the text is taken as its end.
      {"one", 0, 0, CFRangeMake(10, 20), 0, 3},
  };
  for (const Case& c : cases) {
    SetText(c.text);
    if (c.styledEnd > c.styledStart) Color(c.styledStart, c.styledEnd, kRed);
    EXPECT_TRUE(SpanIs(FindContinuosRange(c.edit, &controller), c.start, c.end)) << c.text;
  }
}

TEST_F(DynamicParserTest, WideningStopsAtAnotherEmbeddedLanguage) {
  // "host <inner> host": the inner region is marked at 5..12.
  SetText("abc d efghijk lmn");
  controller.ApplyEmbeddedLanguage(CFRangeMake(6, 13), "scaninner");
  // From inside the region: its marks bound the walk on both sides.
  const CFRange inner = FindContinuosRange(CFRangeMake(8, 9), &controller);
  EXPECT_TRUE(SpanIs(inner, 7, 12));
  // From the host text before it: the walk stops short of the region.
  const CFRange host = FindContinuosRange(CFRangeMake(4, 4), &controller);
  EXPECT_TRUE(SpanIs(host, 3, 5));
}

// The fixture's embedded language opens with "<?x" and closes with "?>".
struct EmbeddedTest : DynamicParserTest {
  scanfix::Languages languages;
  SyntaxLibraryPtr host = nullptr;
  void SetUp() override {
    DynamicParserTest::SetUp();
    host = languages.Get("scanfix");
    ASSERT_NE(host, nullptr);
  }
  void Load(const std::string& text) {
    SetText(text);
    Parse(host);
  }
};

TEST_F(EmbeddedTest, TheRegionAroundAnEditIsFoundFromTheMarksOfAParse) {
  const std::string text = "echo 1\r<?x inner 'a'\rinner ?>\recho 2";
  Load(text);
  const SInt32 open = SInt32(text.find("<?x"));
  const SInt32 close = SInt32(text.find("?>"));
  ASSERT_EQ(controller.GetEmbeddedLanguage(open + 5), "scaninner");
  // Anywhere inside, on either of its lines, typing or deleting: the region
  // runs from its opening to the ">" of its closing.
  for (SInt32 offset : {open + 5, SInt32(text.find("'a'")), close - 2}) {
    for (SInt32 delta : {1, -1}) {
      const CFRange region = FindLanguageRange(offset, delta, "scanfix", &controller);
      EXPECT_TRUE(SpanIs(region, open, close + 1)) << offset << " " << delta;
      EXPECT_EQ(Slice(CFRangeMake(region.location, region.length + 1)), "<?x inner 'a'\rinner ?>");
    }
  }
  // In the host's own text there is no region.
  EXPECT_TRUE(SpanIs(FindLanguageRange(2, 1, "scanfix", &controller), 0, 0));
  EXPECT_TRUE(SpanIs(FindLanguageRange(SInt32(text.size()) - 1, 1, "scanfix", &controller), 0, 0));
}

TEST_F(EmbeddedTest, NoMarksOrATinyRegionGiveNoRegion) {
  SetText("plain text\rwith no marks");
  EXPECT_TRUE(SpanIs(FindLanguageRange(4, 1, "scanfix", &controller), 0, 0));
  // One marked character makes a region of 2 characters: too short.
  SetText("ab c de");
  controller.ApplyEmbeddedLanguage(CFRangeMake(3, 4), "scaninner");
  EXPECT_TRUE(SpanIs(FindLanguageRange(3, 1, "scanfix", &controller), 0, 0));
}

// The region found line by line, character by character: what
// FindLanguageRange must answer, however it passes over long regions.
CFRange LanguageRangeLineByLine(SInt32 offset, SInt32 delta, const Str63& language, TWASTEController& controller) {
  WEReference we = controller.weReference;
  const SInt32 length = WEGetTextLength(we);
  const SInt32 p = std::clamp<SInt32>(delta < 0 ? offset - 1 : offset, 0, length);
  auto languageAt = [&](SInt32 i) {
    const Str63 found = controller.GetEmbeddedLanguage(i);
    return found == Str63("default") ? language : found;
  };
  const Str63 after = controller.GetEmbeddedLanguage(p + 1);
  const Str63 before = languageAt(p);
  if (after == Str63("default") && before == language) return CFRangeMake(0, 0);
  const Str63 target = (after == language || before == language) ? after : before;
  auto inTarget = [&](SInt32 i) { return i >= 0 && i < length && languageAt(i) == target; };
  const SInt32 firstLine = WEOffsetToLine(p, we);
  SInt32 start = 0, end = 0;
  for (SInt32 line = firstLine; line >= 0 && start <= 0; --line) {
    SInt32 ls = 0, le = 0;
    WEGetLineRange(line, &ls, &le, we);
    if (le <= ls || inTarget(ls)) continue;
    for (SInt32 o = ls; o < le; ++o)
      if (inTarget(o)) {
        start = o - 1;
        break;
      }
  }
  for (SInt32 line = firstLine; line < WECountLines(we) && end <= 0; ++line) {
    SInt32 ls = 0, le = 0;
    WEGetLineRange(line, &ls, &le, we);
    if (le <= ls) continue;
    if (!inTarget(le - 1)) {
      for (SInt32 o = le - 1; o >= ls; --o)
        if (inTarget(o)) {
          end = o + 1;
          break;
        }
    } else if (le == length) {
      end = length;
    }
  }
  return end - start < 3 ? CFRangeMake(0, 0) : CFRangeMake(start, end);
}

TEST_F(DynamicParserTest, LongRegionsAreFoundAsALineByLineWalkFindsThem) {
  // Regions of many lines, their text in many colours (many style runs),
  // with holes of another language inside lines and at a line's start, and
  // empty lines; one region runs to the end of the text, which in one case
  // ends with a line break.
  std::string text = "host line\r";
  std::vector<std::pair<SInt32, SInt32>> inner, other;
  auto add = [&](const std::string& line, std::vector<std::pair<SInt32, SInt32>>* marks, SInt32 from, SInt32 to) {
    const SInt32 at = SInt32(text.size());
    if (marks != nullptr) marks->emplace_back(at + from, at + to);
    text += line + "\r";
  };
  add("<?x", &inner, 0, 3);
  for (int i = 0; i < 30; ++i) add("  $v" + std::to_string(i) + " = 'a' . \"b\";", &inner, 0, 20);
  add("", nullptr, 0, 0);
  add("  mixed <y> text", &inner, 0, 16);
  add("  line with a hole", &other, 7, 11);
  add("hole at the start", &other, 0, 4);
  add("  more inner", &inner, 0, 12);
  add("?> host again", &inner, 0, 2);
  add("host", nullptr, 0, 0);
  add("<?x to the end", &inner, 0, 14);
  for (int i = 0; i < 12; ++i) add("  tail " + std::to_string(i), &inner, 0, 9);
  for (const bool finalBreak : {true, false}) {
    const std::string whole = finalBreak ? text : text.substr(0, text.size() - 1);
    SetText(whole);
    for (const auto& [from, to] : inner) controller.ApplyEmbeddedLanguage(CFRangeMake(from, to), "scaninner");
    for (const auto& [from, to] : other) controller.ApplyEmbeddedLanguage(CFRangeMake(from, to), "scanother");
    for (SInt32 i = 0; i + 3 < SInt32(whole.size()); i += 3) Color(i, i + 2, kRed);
    for (SInt32 offset = 0; offset <= SInt32(whole.size()); ++offset)
      for (SInt32 delta : {1, -1}) {
        const CFRange found = FindLanguageRange(offset, delta, "scanfix", &controller);
        const CFRange expected = LanguageRangeLineByLine(offset, delta, "scanfix", controller);
        EXPECT_TRUE(SpanIs(found, expected.location, expected.length))
            << "at " << offset << " delta " << delta << (finalBreak ? " with" : " without") << " a final break";
      }
  }
}

// The extent the walk relies on: where the mark read at an offset begins and
// ends, however many runs of other colours lie between.
TEST_F(DynamicParserTest, AnAttributeExtentSpansRunsOfOtherStyles) {
  SetText("aaaa bbbb cccc dddd");
  controller.ApplyEmbeddedLanguage(CFRangeMake(5, 14), "scaninner");
  Color(6, 8, kRed);
  Color(10, 12, kRed);
  struct Case {
    SInt32 offset, start, end;
  } cases[] = {{7, 5, 14}, {5, 5, 14}, {13, 5, 14}, {2, 0, 5}, {16, 14, 19}};
  for (const Case& c : cases) {
    SInt32 start = -1, end = -1;
    ASSERT_EQ(WEGetAttributeExtent(c.offset, kSyntaxLanguageTag, &start, &end, we), noErr);
    EXPECT_EQ(start, c.start) << c.offset;
    EXPECT_EQ(end, c.end) << c.offset;
  }
  // The style the next typed text takes, at the caret, is a mark of its own.
  WESetSelection(9, 9, we);
  const Str63 none("none");
  WESetOneAttribute(9, 9, kSyntaxLanguageTag, none.data(), kSyntaxMarkSize, we);
  SInt32 start = -1, end = -1;
  WEGetAttributeExtent(7, kSyntaxLanguageTag, &start, &end, we);
  EXPECT_EQ(end, 9);
}

TEST_F(EmbeddedTest, ARegionIsIntactUntilAnEditTouchesItsClosing) {
  const std::string text = "echo 1 <?x inner 'long enough to matter' ?> echo 2";
  Load(text);
  const SInt32 inside = SInt32(text.find("long"));
  const CFRange region = FindLanguageRange(inside, 1, "scanfix", &controller);
  ASSERT_GT(region.length, region.location);
  EXPECT_EQ(PreParseEmbeddedLanguage(inside, region, host, we), kEmbeddedLanguageIntact);
  // The edit's run of non-blank characters holds the closing of a definition.
  SetText("echo 1 <?x inner 'long enough to matter'?>?> echo 2");
  Parse(host);
  const SInt32 edit = SInt32(std::string("echo 1 <?x inner 'long enough to matter'?>").size()) - 3;
  const CFRange touched = FindLanguageRange(edit, 1, "scanfix", &controller);
  ASSERT_GT(touched.length, touched.location);
  EXPECT_EQ(PreParseEmbeddedLanguage(edit, touched, host, we), kEmbeddedLanguageReparse);
  // Also when the run holds a character Mac Roman lacks.
  SetText("echo 1 <?x inner 'long enough to matter'\u2192abcdefghijklmnopqrst?>?> echo 2");
  Parse(host);
  const SInt32 arrow = SInt32(std::string("echo 1 <?x inner 'long enough to matter'").size());
  const CFRange arrowRegion = FindLanguageRange(arrow, 1, "scanfix", &controller);
  ASSERT_GT(arrowRegion.length, arrowRegion.location);
  EXPECT_EQ(PreParseEmbeddedLanguage(arrow, arrowRegion, host, we), kEmbeddedLanguageReparse);
  // A region whose closing was deleted is parsed again.
  EXPECT_EQ(PreParseEmbeddedLanguage(inside, CFRangeMake(region.location, region.length - 4), host, we),
            kEmbeddedLanguageReparse);
}

TEST_F(EmbeddedTest, AtTheEndOfTheTextAMissingClosingCountsAsFound) {
  const std::string text = "echo 1 <?x inner 'open to the end'";
  Load(text);
  const SInt32 inside = SInt32(text.find("open"));
  const CFRange region = FindLanguageRange(inside, 1, "scanfix", &controller);
  EXPECT_TRUE(SpanIs(region, SInt32(text.find("<?x")), SInt32(text.size())));
  EXPECT_EQ(PreParseEmbeddedLanguage(inside, region, host, we), kEmbeddedLanguageIntact);
}

TEST_F(EmbeddedTest, ARegionNearTheStartOfTheTextIsReadWithinTheText) {
  // The region ends at 15: its tail window would begin at -1, which names
  // the selection, placed here after the region.
  const std::string text = "<?x inner 123 ?>\recho 1";
  Load(text);
  WESetSelection(20, 20, we);
  const CFRange region = FindLanguageRange(5, 1, "scanfix", &controller);
  ASSERT_TRUE(SpanIs(region, 0, 15));
  EXPECT_EQ(PreParseEmbeddedLanguage(5, region, host, we), kEmbeddedLanguageIntact);
  // And a region that ends at the end of a short text.
  Load("<?x a ?>");
  EXPECT_EQ(PreParseEmbeddedLanguage(4, FindLanguageRange(4, 1, "scanfix", &controller), host, we),
            kEmbeddedLanguageIntact);
}

TEST_F(DynamicParserTest, ResetAfterAnOpeningClearsUpToAndWithItsClosing) {
  struct Case {
    const char* close;
    SInt32 dataOffset;
    SInt32 offset;
    const char* cleared;  // x: nil colour after the reset
  } cases[] = {
      {"?>", 0, 3, "...xxxxxxxxxx....."},
      {"?>", 2, 1, "...xxxxxxxxxx....."},
      {"%>", 0, 3, "...xxxxxxxxxxxxxxx"},  // no closing: to the end
      {"", 0, 14, "..............xxxx"},
  };
  for (const Case& c : cases) {
    SetText("<? abc def ?> ghij");
    Color(0, WEGetTextLength(we), kRed);
    controller.SetDataOffset(c.dataOffset);
    ResetLanguageRange(c.offset, c.close, &controller);
    std::string cleared;
    for (SInt32 i = 0; i < WEGetTextLength(we); ++i)
      cleared += CompareRGBColor(GetOffsetColor(i, we), kGrey) ? 'x' : '.';
    EXPECT_EQ(cleared, c.cleared) << c.close << " " << c.offset;
  }
}

TEST_F(DynamicParserTest, TheRunOfNonBlankCharactersAtAnOffset) {
  SetText("if (a[1]){x}\tb\rc");
  struct Case {
    SInt32 offset;
    const char* word;
    CFIndex first, last;
  } cases[] = {
      {5, "(a[1]){x}", 3, 11},  {3, "(a[1]){x}", 3, 11},  {11, "(a[1]){x}", 3, 11},
      {0, "if", 0, 1},          {13, "b", 13, 13},         {15, "c", 15, 15},
      {2, "", 0, 0},            {12, "", 0, 0},            {14, "", 0, 0},
      {16, "", 0, 0},           {-1, "", 0, 0},
  };
  for (const Case& c : cases) {
    CFRange span = CFRangeMake(99, 99);
    EXPECT_EQ(WEGetContinousTextString(c.offset, span, we).str(), c.word) << c.offset;
    EXPECT_TRUE(SpanIs(span, c.first, c.last)) << c.offset;
  }
  // A run longer than 255 characters is cut.
  SetText(" " + std::string(300, 'w') + " ");
  CFRange span;
  EXPECT_EQ(WEGetContinousTextString(150, span, we).len(), 255);
  EXPECT_TRUE(SpanIs(span, 1, 300));
}

TEST_F(DynamicParserTest, ColoursAreReadAndCompared) {
  SetText("abc");
  Color(1, 2, kRed);
  EXPECT_TRUE(CompareRGBColor(GetOffsetColor(1, we), kRed));
  EXPECT_TRUE(CompareRGBColor(GetOffsetColor(0, we), kGrey));
  for (SInt32 outside : {-1, 3}) EXPECT_TRUE(CompareRGBColor(GetOffsetColor(outside, we), RGBColor{0, 0, 0}));
  EXPECT_FALSE(CompareRGBColor(RGBColor{1, 2, 3}, RGBColor{1, 2, 4}));
}

}  // namespace
