// The parser controller base class, the nil-colour helper, and the recording
// controller that the scan engine's tests use in place of a text view.
#include <gtest/gtest.h>

#include <memory>

#include "MacMemory.h"
#include "TSyntaxParserControllerUnit.h"
#include "../support/RecordingSyntaxController.h"

namespace {

bool Same(RGBColor a, RGBColor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

ExtendedTextStyle Style(RGBColor color, bool bold = false) {
  ExtendedTextStyle s{};
  s.textColor = color;
  s.bold = bold;
  return s;
}

TEST(SyntaxController, BaseClassAnswersNothing) {
  std::unique_ptr<TSyntaxParserController> c(new TSyntaxParserController());
  CFRange span = CFRangeMake(3, 9);
  // None of these may touch anything or fail.
  c->Prepare(false);
  c->Redraw();
  const UniChar text[] = {'a', 'b'};
  c->InsertText(text, 2);
  c->InsertText(nullptr, -1);
  Handle h = nullptr;
  c->StreamText(span, h);
  EXPECT_EQ(h, nullptr);
  c->ProtectRange(span);
  c->StyleRange(span, Style(RGBColor{1, 2, 3}));
  c->ResetTracking(span);
  c->ResetRange(span);
  c->ApplySymbol(span, nullptr);
  c->ApplyEmbeddedLanguage(span, "php");
  c->Initialize();
  c->Prepare(true);

  EXPECT_TRUE(c->GetEmbeddedLanguage(0).empty());
  CFRange found = c->FindSymbol();
  EXPECT_EQ(found.location, 0);
  EXPECT_EQ(found.length, 0);
  EXPECT_EQ(c->GetTextLength(), 0);
  EXPECT_TRUE(Same(c->GetOffsetColor(5), RGBColor{0, 0, 0}));
  EXPECT_EQ(c->GetOffsetChar(5), 0);
}

TEST(SyntaxController, DataOffsetMovesBothEndsOfASpan) {
  TSyntaxParserController c;
  struct {
    SInt32 offset;
    CFRange in, out;
  } rows[] = {
      {0, {10, 15}, {10, 15}},
      {1000, {10, 15}, {1010, 1015}},
      {-5, {10, 15}, {5, 10}},
  };
  for (auto& r : rows) {
    c.SetDataOffset(r.offset);
    EXPECT_EQ(c.dataOffset, r.offset);
    CFRange span = r.in;
    c.ApplyDataOffset(span);
    EXPECT_EQ(span.location, r.out.location) << r.offset;
    EXPECT_EQ(span.length, r.out.length) << r.offset;
  }
}

TEST(SyntaxController, NilColorThroughTheHelper) {
  TSyntaxParserController c;
  SetSyntaxControllerNilColor(&c, RGBColor{100, 200, 300});
  EXPECT_TRUE(Same(c.nilColor, RGBColor{100, 200, 300}));
  SetSyntaxControllerNilColor(nullptr, RGBColor{1, 1, 1});  // nothing happens
  RecordingSyntaxController r("abc");
  SetSyntaxControllerNilColor(&r, RGBColor{9, 9, 9});
  r.ResetRange(CFRangeMake(0, 3));
  EXPECT_TRUE(Same(r.GetOffsetColor(1), RGBColor{9, 9, 9}));
}

TEST(RecordingController, StylesFollowTheDataOffsetResetsDoNot) {
  std::u16string text(1100, u'x');
  RecordingSyntaxController c(text);
  c.SetNilColor(RGBColor{1, 1, 1});
  c.SetDataOffset(1000);
  c.StyleRange(CFRangeMake(10, 15), Style(RGBColor{65535, 0, 0}, true));
  for (SInt32 i : {1009, 1010, 1014, 1015})
    EXPECT_EQ(Same(c.GetOffsetColor(i), RGBColor{65535, 0, 0}), i >= 1010 && i <= 1014) << i;
  EXPECT_TRUE(c.attributes[1012].bold);

  c.StyleRange(CFRangeMake(-1000, -990), Style(RGBColor{0, 65535, 0}));  // characters 0..9
  c.ResetRange(CFRangeMake(2, 5));  // characters 2..4 of the text itself
  EXPECT_TRUE(Same(c.GetOffsetColor(1), RGBColor{0, 65535, 0}));
  EXPECT_TRUE(Same(c.GetOffsetColor(2), RGBColor{1, 1, 1}));
  EXPECT_TRUE(Same(c.GetOffsetColor(4), RGBColor{1, 1, 1}));
  EXPECT_TRUE(Same(c.GetOffsetColor(5), RGBColor{0, 65535, 0}));

  auto styles = c.CallsOf(RecordingSyntaxController::kStyleRange);
  ASSERT_EQ(styles.size(), 2u);
  EXPECT_EQ(styles[0].span.location, 1010);
  EXPECT_EQ(styles[0].span.length, 1015);
  auto runs = c.StyleRuns();
  ASSERT_GE(runs.size(), 4u);
  EXPECT_EQ(runs[0].start, 0);
  EXPECT_EQ(runs[0].end, 2);

  // Spans past either end are clipped, never written outside the text.
  c.SetDataOffset(0);
  c.StyleRange(CFRangeMake(1090, 5000), Style(RGBColor{7, 7, 7}));
  c.ProtectRange(CFRangeMake(-50, 3));
  c.ResetRange(CFRangeMake(4000, 3000));
  EXPECT_TRUE(Same(c.GetOffsetColor(1099), RGBColor{7, 7, 7}));
  EXPECT_TRUE(c.attributes[0].isProtected);
  EXPECT_TRUE(Same(c.GetOffsetColor(5000), RGBColor{0, 0, 0}));
}

TEST(RecordingController, LanguagesSymbolsAndText) {
  RecordingSyntaxController c("<?php echo 1; ?>");
  EXPECT_EQ(c.GetEmbeddedLanguage(3), "default");  // nothing marked yet
  c.SetDataOffset(0);
  c.ApplyEmbeddedLanguage(CFRangeMake(1, 15), "php");
  EXPECT_EQ(c.GetEmbeddedLanguage(0), "default");
  EXPECT_EQ(c.GetEmbeddedLanguage(1), "php");
  EXPECT_EQ(c.GetEmbeddedLanguage(14), "php");
  EXPECT_EQ(c.GetEmbeddedLanguage(15), "default");
  EXPECT_EQ(c.GetEmbeddedLanguage(-1), "default");

  c.ApplySymbol(CFRangeMake(6, 10), nullptr);  // records the call, marks nothing
  EXPECT_EQ(c.attributes[7].symbol, nullptr);
  EXPECT_EQ(c.CallsOf(RecordingSyntaxController::kApplySymbol).size(), 1u);
  auto* symbol = reinterpret_cast<SymbolInfoPtr>(&c);  // any address: never dereferenced
  c.ApplySymbol(CFRangeMake(6, 10), symbol);
  EXPECT_EQ(c.attributes[7].symbol, symbol);

  EXPECT_EQ(c.GetTextLength(), 16);
  EXPECT_EQ(c.GetOffsetChar(1), '?');
  EXPECT_EQ(c.GetOffsetChar(16), 0);
  Handle h = nullptr;
  c.StreamText(CFRangeMake(6, 10), h);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GetHandleSize(h), Size(4 * sizeof(UniChar)));
  EXPECT_EQ(reinterpret_cast<UniChar*>(*h)[0], 'e');
  c.StreamText(CFRangeMake(14, 99), h);  // replaced, clipped to the text
  EXPECT_EQ(GetHandleSize(h), Size(2 * sizeof(UniChar)));
  DisposeHandle(h);

  const UniChar more[] = {'\r', 'x'};
  c.InsertText(more, 2);
  EXPECT_EQ(c.GetTextLength(), 18);
  EXPECT_EQ(c.GetOffsetChar(17), 'x');
  auto inserts = c.CallsOf(RecordingSyntaxController::kInsertText);
  ASSERT_EQ(inserts.size(), 1u);
  EXPECT_EQ(inserts[0].span.location, 16);
  EXPECT_EQ(inserts[0].span.length, 18);

  c.Prepare(false);
  c.Redraw();
  c.Prepare(true);
  EXPECT_EQ(c.preparedBefore, 1);
  EXPECT_EQ(c.preparedAfter, 1);
  EXPECT_EQ(c.redraws, 1);
  EXPECT_EQ(c.Slice(6, 10), "echo");
}

}  // namespace
