// The text engine's store: text, lines on carriage returns, streaming,
// attributes (custom ones of any size), find, words, selection, properties
// and the modification count.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "MacMemory.h"
#include "WASTE.h"
#include "WEFonts.h"

namespace {

struct Engine {
  WEReference we = nullptr;
  Engine() {
    LongRect dest{0, 0, 0, 2000}, view{0, 0, 400, 600};
    EXPECT_EQ(WENew(&dest, &view, weDoUndo | weDoMultipleUndo, &we), noErr);
  }
  ~Engine() { WEDispose(we); }
  void Put(SInt32 start, SInt32 end, const std::string& text, TextEncoding enc = kTextEncodingMacRoman) {
    ASSERT_EQ(WEPut(start, end, text.data(), text.size(), enc, 0, 0, nullptr, nullptr, we), noErr);
  }
  std::u16string Text() const { return Stream(0, WEGetTextLength(we)); }
  std::u16string Stream(SInt32 s, SInt32 e) const {
    Handle h = NewHandle(0);
    EXPECT_EQ(WEStreamRange(s, e, 'utxt', 0, h, we), noErr);
    std::u16string out(reinterpret_cast<char16_t*>(*h), size_t(GetHandleSize(h)) / 2);
    DisposeHandle(h);
    return out;
  }
  std::string StreamBytes(FlavorType type, SInt32 s, SInt32 e) const {
    Handle h = NewHandle(0);
    EXPECT_EQ(WEStreamRange(s, e, type, 0, h, we), noErr);
    std::string out(*h ? *h : "", size_t(GetHandleSize(h)));
    DisposeHandle(h);
    return out;
  }
};

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

RGBColor Color(UInt16 r, UInt16 g, UInt16 b) { return RGBColor{r, g, b}; }

TEST(WasteStore, NewInstanceIsEmptyWithOneLine) {
  Engine e;
  SInt32 s = -1, end = -1;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(WEGetTextLength(e.we), 0);
  EXPECT_EQ(WECountLines(e.we), 1);
  Boolean redo = true;
  WEActionKind kind = -1;
  WEGetUndoInfo(&redo, &kind, e.we);
  EXPECT_EQ(kind, weAKNone);
  EXPECT_FALSE(redo);
}

TEST(WasteStore, LinesEndInCarriageReturns) {
  Engine e;
  e.Put(0, 0, "one\rtwo\r\rfour\r");
  EXPECT_EQ(WECountLines(e.we), 5);
  struct {
    SInt32 line, start, end;
  } lines[] = {{0, 0, 4}, {1, 4, 8}, {2, 8, 9}, {3, 9, 14}, {4, 14, 14}};
  for (auto& l : lines) {
    SInt32 s = -1, end = -1;
    WEGetLineRange(l.line, &s, &end, e.we);
    EXPECT_EQ(s, l.start) << l.line;
    EXPECT_EQ(end, l.end) << l.line;
  }
  // Offsets: a line holds its own break; the end of the text is on the last line.
  const std::pair<SInt32, SInt32> offsets[] = {{0, 0}, {3, 0}, {4, 1}, {8, 2}, {9, 3}, {13, 3}, {14, 4}, {99, 4}, {-5, 0}};
  for (auto [offset, line] : offsets) EXPECT_EQ(WEOffsetToLine(offset, e.we), line) << offset;
  // Out-of-range line numbers are clamped.
  SInt32 s = -1, end = -1;
  WEGetLineRange(42, &s, &end, e.we);
  EXPECT_EQ(s, 14);
  WEGetLineRange(-1, &s, &end, e.we);
  EXPECT_EQ(end, 4);

  // Deleting across breaks joins lines; inserting breaks splits them.
  WESetSelection(2, 10, e.we);
  ASSERT_EQ(WEDelete(e.we), noErr);
  EXPECT_EQ(e.Text(), U("onour\r"));
  EXPECT_EQ(WECountLines(e.we), 2);
  e.Put(2, 2, "\r\r");
  EXPECT_EQ(WECountLines(e.we), 4);
  EXPECT_EQ(WEOffsetToLine(3, e.we), 1);
  EXPECT_EQ(WEOffsetToLine(4, e.we), 2);
}

TEST(WasteStore, PutDecodesTheNamedEncoding) {
  Engine e;
  e.Put(0, 0, "caf\x8E", kTextEncodingMacRoman);  // Mac Roman e-acute
  EXPECT_EQ(e.Text(), u"caf\u00E9");
  e.Put(4, 4, " na\xC3\xAFve", kTextEncodingUTF8);
  EXPECT_EQ(e.Text(), u"caf\u00E9 na\u00EFve");
  const char16_t wide[] = u"\U0001F600";  // a surrogate pair: two code units
  ASSERT_EQ(WEPut(0, 0, wide, 4, kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, e.we), noErr);
  EXPECT_EQ(WEGetTextLength(e.we), 12);
  // Odd UTF-16 and invalid UTF-8 are refused and change nothing.
  EXPECT_EQ(WEPut(0, 0, "abc", 3, kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, e.we), paramErr);
  EXPECT_EQ(WEPut(0, 0, "\xFF\xFE\xFD", 3, kTextEncodingUTF8, 0, 0, nullptr, nullptr, e.we), paramErr);
  EXPECT_EQ(WEGetTextLength(e.we), 12);
  // kCurrentSelection names the selection.
  WESetSelection(2, 4, e.we);
  e.Put(kCurrentSelection, kCurrentSelection, "X");
  EXPECT_EQ(e.Stream(0, 4), u"\U0001F600Xf");
}

TEST(WasteStore, StreamsInEveryFlavour) {
  Engine e;
  const char16_t text[] = u"a\u00E9\u0141\u2022\U0001F600\r";  // a é Ł • emoji CR
  ASSERT_EQ(WEPut(0, 0, text, sizeof text - 2, kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, e.we), noErr);
  ASSERT_EQ(WEGetTextLength(e.we), 7);
  EXPECT_EQ(e.Stream(0, 7), std::u16string(text));
  // 'TEXT' is one byte per code unit, so its offsets are the engine's.
  EXPECT_EQ(e.StreamBytes('TEXT', 0, 7), std::string("a\x8E\xFF\xA5\xFF\xFF\r"));
  EXPECT_EQ(e.StreamBytes('utf8', 0, 7), std::string("a\xC3\xA9\xC5\x81\xE2\x80\xA2\xF0\x9F\x98\x80\r"));
  // Half a surrogate pair streams as the replacement character.
  EXPECT_EQ(e.StreamBytes('utf8', 4, 5), std::string("\xEF\xBF\xBD"));
  // Ranges are clamped, reversed ones are empty; unknown flavours fail.
  EXPECT_EQ(e.Stream(5, 100), u"\xDE00\r");
  EXPECT_EQ(e.Stream(5, 2), u"");
  Handle h = NewHandle(0);
  EXPECT_EQ(WEStreamRange(0, 1, 'PICT', 0, h, e.we), weUnsupportedFlavorErr);
  EXPECT_EQ(WEStreamRange(0, 1, 'utxt', 0, nullptr, e.we), paramErr);
  DisposeHandle(h);

  // WEGetChar: the same byte as 'TEXT', and 0 outside the text.
  const std::pair<SInt32, UInt8> chars[] = {{0, 'a'}, {1, 0x8E}, {2, 0xFF}, {3, 0xA5}, {6, 13}, {7, 0}, {-1, 0}};
  for (auto [offset, byte] : chars) EXPECT_EQ(WEGetChar(offset, e.we), byte) << offset;
}

TEST(WasteStore, AttributesRoundTripAtAnySize) {
  Engine e;
  e.Put(0, 0, "0123456789");
  // Built-in defaults are readable everywhere; unknown tags are absent.
  Fixed size = 0;
  ASSERT_EQ(WEGetOneAttribute(3, 'ptsz', &size, 4, e.we), noErr);
  EXPECT_EQ(size, 12 << 16);
  char scope[64];
  EXPECT_EQ(WEGetOneAttribute(3, 'SCOP', scope, sizeof scope, e.we), weAttributeNotFoundErr);

  ASSERT_EQ(WERegisterCustomAttribute('ELNG', 2, 64, 'void', e.we), noErr);
  unsigned char lang[64] = {3, 'p', 'h', 'p'};
  lang[63] = 0x7E;
  ASSERT_EQ(WESetOneAttribute(2, 6, 'ELNG', lang, 64, e.we), noErr);
  const char odd[3] = {'\x01', '\x00', '\x7F'};
  ASSERT_EQ(WESetOneAttribute(4, 9, 'odd3', odd, 3, e.we), noErr);
  const RGBColor red = Color(0xFFFF, 0, 0);
  ASSERT_EQ(WESetOneAttribute(0, 5, 'colr', &red, 6, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(1, 2, 'grid', nullptr, 0, e.we), noErr);

  unsigned char back[64] = {};
  ASSERT_EQ(WEGetOneAttribute(5, 'ELNG', back, 64, e.we), noErr);
  EXPECT_EQ(0, memcmp(back, lang, 64));
  EXPECT_EQ(WEGetOneAttribute(6, 'ELNG', back, 64, e.we), weAttributeNotFoundErr);
  EXPECT_EQ(WEGetOneAttribute(1, 'ELNG', back, 64, e.we), weAttributeNotFoundErr);
  char odd3[3] = {};
  ASSERT_EQ(WEGetOneAttribute(8, 'odd3', odd3, 3, e.we), noErr);
  EXPECT_EQ(0, memcmp(odd3, odd, 3));
  RGBColor c{};
  ASSERT_EQ(WEGetOneAttribute(4, 'colr', &c, 6, e.we), noErr);
  EXPECT_EQ(c.red, 0xFFFF);
  ASSERT_EQ(WEGetOneAttribute(5, 'colr', &c, 6, e.we), noErr);
  EXPECT_EQ(c.red, 0);  // the default: black
  EXPECT_EQ(WEGetOneAttribute(1, 'grid', nullptr, 0, e.we), noErr);
  EXPECT_EQ(WEGetOneAttribute(2, 'grid', nullptr, 0, e.we), weAttributeNotFoundErr);

  // A nil value with a size removes the attribute ('pbcl' "no value").
  const RGBColor grey = Color(0x8000, 0x8000, 0x8000);
  ASSERT_EQ(WESetOneAttribute(0, 10, 'pbcl', &grey, 6, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(3, 7, 'pbcl', nullptr, 6, e.we), noErr);
  EXPECT_EQ(WEGetOneAttribute(2, 'pbcl', &c, 6, e.we), noErr);
  EXPECT_EQ(WEGetOneAttribute(3, 'pbcl', &c, 6, e.we), weAttributeNotFoundErr);
  EXPECT_EQ(WEGetOneAttribute(7, 'pbcl', &c, 6, e.we), noErr);

  // 'plan' clears the faces but nothing else.
  const Boolean on = true;
  ASSERT_EQ(WESetOneAttribute(0, 10, 'bold', &on, 1, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(0, 10, 'ital', &on, 1, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(0, 3, 'plan', &on, 1, e.we), noErr);
  Boolean bold = true;
  WEGetOneAttribute(2, 'bold', &bold, 1, e.we);
  EXPECT_FALSE(bold);
  WEGetOneAttribute(3, 'bold', &bold, 1, e.we);
  EXPECT_TRUE(bold);
  ASSERT_EQ(WEGetOneAttribute(2, 'colr', &c, 6, e.we), noErr);
  EXPECT_EQ(c.red, 0xFFFF);

  // Text typed inside a run takes the run's attributes.
  e.Put(3, 3, "abc");
  ASSERT_EQ(WEGetOneAttribute(5, 'ELNG', back, 64, e.we), noErr);
  EXPECT_EQ(0, memcmp(back, lang, 64));
}

// A parse gives every symbol a mark of its own: thousands of long values
// that agree in their first bytes and differ further on, each set twice
// (the second time long after the first), over text of a few colours.
TEST(WasteStore, ThousandsOfLongMarksKeepTheirOwnValues) {
  Engine e;
  WEFeatureFlag(weFUndo, weBitClear, e.we);
  ASSERT_EQ(WERegisterCustomAttribute('DEC_', 0, 64, 'void', e.we), noErr);
  constexpr int kWords = 3000;
  std::string text;
  for (int k = 0; k < kWords; ++k) text += "ab ";
  e.Put(0, 0, text);
  auto mark = [](int k, int variant) {
    std::array<unsigned char, 64> m{};
    std::memcpy(m.data(), "symbol: function name", 21);
    m[40] = UInt8(k & 0xFF);
    m[41] = UInt8(k >> 8);
    m[63] = UInt8(variant);
    return m;
  };
  const RGBColor colours[] = {Color(0, 0, 0xFFFF), Color(0xFFFF, 0, 0), Color(0, 0x8000, 0)};
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < kWords; ++k) {
      ASSERT_EQ(WESetOneAttribute(3 * k, 3 * k + 2, 'colr', &colours[k % 3], 6, e.we), noErr);
      const auto m = mark(k, 1);
      ASSERT_EQ(WESetOneAttribute(3 * k, 3 * k + 2, 'DEC_', m.data(), 64, e.we), noErr);
    }
  // Words 10 .. 12 take one value: they read as one stretch, spaces and all.
  const auto shared = mark(7777, 2);
  ASSERT_EQ(WESetOneAttribute(30, 39, 'DEC_', shared.data(), 64, e.we), noErr);

  for (int k = 0; k < kWords; ++k) {
    const auto want = k >= 10 && k <= 12 ? shared : mark(k, 1);
    std::array<unsigned char, 64> got{};
    for (SInt32 at : {3 * k, 3 * k + 1}) {
      ASSERT_EQ(WEGetOneAttribute(at, 'DEC_', got.data(), 64, e.we), noErr) << k;
      ASSERT_EQ(got, want) << "word " << k;
    }
    if (k < 10 || k > 12) {
      EXPECT_EQ(WEGetOneAttribute(3 * k + 2, 'DEC_', got.data(), 64, e.we), weAttributeNotFoundErr) << k;
    }
    RGBColor c{};
    ASSERT_EQ(WEGetOneAttribute(3 * k, 'colr', &c, 6, e.we), noErr);
    EXPECT_EQ(c.red, colours[k % 3].red) << k;
    EXPECT_EQ(c.green, colours[k % 3].green) << k;
  }
  SInt32 from = -1, to = -1;
  ASSERT_EQ(WEGetAttributeExtent(34, 'DEC_', &from, &to, e.we), noErr);
  EXPECT_EQ(from, 30);
  EXPECT_EQ(to, 39);
  ASSERT_EQ(WEGetAttributeExtent(3 * 2000 + 1, 'DEC_', &from, &to, e.we), noErr);
  EXPECT_EQ(from, 3 * 2000);
  EXPECT_EQ(to, 3 * 2000 + 2);
}

// A large text put in at once, then pastes in its middle longer than the
// room left after it, typing at its end, and the paste undone.
TEST(WasteStore, ALargeTextPutInWholeTakesLongPastesAndUndo) {
  Engine e;
  std::string text;
  for (int i = 0; text.size() < (size_t(3) << 20); ++i) text += "line " + std::to_string(i) + " of the text\r";
  e.Put(0, 0, text);
  ASSERT_EQ(SInt32(text.size()), WEGetTextLength(e.we));
  std::string paste;
  for (int i = 0; paste.size() < 200000; ++i) paste += "pasted " + std::to_string(i) + "\r";
  const SInt32 middle = SInt32(text.size() / 2);
  e.Put(middle, middle, paste);
  std::string model = text;
  model.insert(size_t(middle), paste);
  const SInt32 end = WEGetTextLength(e.we);
  e.Put(end, end, "typed");
  model += "typed";
  EXPECT_TRUE(e.Text() == U(model));
  EXPECT_EQ(WECountLines(e.we), SInt32(std::count(model.begin(), model.end(), '\r')) + 1);
  ASSERT_EQ(WEUndo(e.we), noErr);  // the typing
  ASSERT_EQ(WEUndo(e.we), noErr);  // the paste
  EXPECT_TRUE(e.Text() == U(text));
}

// Style runs by the hundred thousand, as a large file's colouring makes
// them: filled from the front, then split again in the middle (the runs
// after the split have to move with the store), then the text emptied and
// filled again. Every character keeps the colour it was given.
TEST(WasteStore, HundredsOfThousandsOfRunsKeepTheirColours) {
  Engine e;
  WEFeatureFlag(weFUndo, weBitClear, e.we);
  constexpr SInt32 kLength = 600000;
  const RGBColor colours[] = {Color(0, 0, 0xFFFF), Color(0xFFFF, 0, 0), Color(0, 0x8000, 0)};
  std::vector<UInt8> model(size_t(kLength), 3);  // the colour of each character, 3 = none set
  auto colour = [&](SInt32 from, SInt32 to, UInt8 which) {
    ASSERT_EQ(WESetOneAttribute(from, to, 'colr', &colours[which], 6, e.we), noErr);
    std::fill(model.begin() + from, model.begin() + to, which);
  };
  auto check = [&](const char* when) {
    for (SInt32 at = 0; at < kLength; at += 997) {
      RGBColor c{};
      const OSErr err = WEGetOneAttribute(at, 'colr', &c, 6, e.we);
      if (model[size_t(at)] == 3) continue;
      ASSERT_EQ(err, noErr) << when << " at " << at;
      ASSERT_EQ(c.red, colours[model[size_t(at)]].red) << when << " at " << at;
      ASSERT_EQ(c.blue, colours[model[size_t(at)]].blue) << when << " at " << at;
    }
  };
  for (int round = 0; round < 2; ++round) {
    e.Put(0, WEGetTextLength(e.we), std::string(size_t(kLength), 'a'));
    std::fill(model.begin(), model.end(), 3);
    for (SInt32 at = 0; at + 2 <= kLength; at += 2) colour(at, at + 1, UInt8((at / 2) % 3));
    check("filled from the front");
    for (SInt32 at = kLength / 2; at < kLength / 2 + 40000; at += 4) colour(at + 1, at + 2, UInt8((at / 4) % 3));
    check("split in the middle");
  }
}

TEST(WasteStore, EmptyRangeSetsTheStyleOfWhatComesNext) {
  Engine e;
  // On an empty text it is the whole text's style, also after later puts.
  const SInt16 family = 22;
  const Fixed size = 10 << 16;
  ASSERT_EQ(WESetOneAttribute(0, 0, 'font', &family, 2, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(0, 0, 'ptsz', &size, 4, e.we), noErr);
  e.Put(0, 0, "chunk one\r");
  e.Put(10, 10, "chunk two");
  SInt16 f = 0;
  Fixed z = 0;
  WEGetOneAttribute(15, 'font', &f, 2, e.we);
  WEGetOneAttribute(15, 'ptsz', &z, 4, e.we);
  EXPECT_EQ(f, 22);
  EXPECT_EQ(z, 10 << 16);

  // On a text, it styles what is put at that offset, and survives deleting
  // the whole text before the put.
  const RGBColor blue = Color(0, 0, 0xFFFF);
  ASSERT_EQ(WESetOneAttribute(0, 0, 'colr', &blue, 6, e.we), noErr);
  WESetSelection(0, WEGetTextLength(e.we), e.we);
  WEDelete(e.we);
  e.Put(0, 0, "fresh");
  RGBColor c{};
  WEGetOneAttribute(2, 'colr', &c, 6, e.we);
  EXPECT_EQ(c.blue, 0xFFFF);
  WEGetOneAttribute(2, 'font', &f, 2, e.we);
  EXPECT_EQ(f, 22);
}

// Random edits and restyles against a plain model: text, lines and the
// attribute at every offset must agree.
TEST(WasteStore, RandomEditsAgreeWithAPlainModel) {
  Engine e;
  WEFeatureFlag(weFUndo, weBitClear, e.we);
  std::mt19937 rng(7);
  std::u16string text;
  // The 'tagx' and 'tagy' values of each character, 0 = none. The same
  // changes come back to the same styles over and over, set, cleared and
  // set again, as a parse makes them.
  std::vector<UInt8> tags, tagsY;
  UInt8 emptyTag = 0, emptyTagY = 0;  // what an emptied text keeps: its first character's
  auto pick = [&](SInt32 n) { return n <= 0 ? 0 : SInt32(rng() % UInt32(n + 1)); };
  for (int step = 0; step < 1500; ++step) {
    const SInt32 len = SInt32(text.size());
    const int op = int(rng() % 6);
    SInt32 a = pick(len), b = pick(len);
    if (a > b) std::swap(a, b);
    if (op == 0) {
      std::string ins;
      const int n = int(rng() % 6);
      for (int k = 0; k < n; ++k) ins.push_back("ab\rc d"[rng() % 6]);
      // New text takes the attribute of the character before it (of the
      // first replaced one when it replaces text).
      for (auto [model, empty] : {std::pair{&tags, &emptyTag}, std::pair{&tagsY, &emptyTagY}}) {
        std::vector<UInt8>& m = *model;
        UInt8 inherit = 0;
        if (b > a) inherit = m[size_t(a)];
        else if (a > 0) inherit = m[size_t(a - 1)];
        else if (!m.empty()) inherit = m[0];
        else inherit = *empty;
        if (b - a == len && len > 0) *empty = m[0];
        m.erase(m.begin() + a, m.begin() + b);
        m.insert(m.begin() + a, ins.size(), inherit);
      }
      e.Put(a, b, ins);
      text.replace(size_t(a), size_t(b - a), U(ins));
    } else if (op == 1 && b > a) {
      const UInt8 v = UInt8(1 + rng() % 3);
      ASSERT_EQ(WESetOneAttribute(a, b, 'tagx', &v, 1, e.we), noErr);
      std::fill(tags.begin() + a, tags.begin() + b, v);
    } else if (op == 3 && b > a) {
      ASSERT_EQ(WESetOneAttribute(a, b, 'tagx', nullptr, 1, e.we), noErr);  // clears it
      std::fill(tags.begin() + a, tags.begin() + b, 0);
    } else if (op == 4 && b > a) {
      const UInt8 v[2] = {UInt8(1 + rng() % 2), 7};
      ASSERT_EQ(WESetOneAttribute(a, b, 'tagy', v, 2, e.we), noErr);
      std::fill(tagsY.begin() + a, tagsY.begin() + b, v[0]);
    } else if (op == 5 && b > a) {
      // Both at once, the second cleared now and then.
      const UInt8 x = UInt8(1 + rng() % 3), y[2] = {UInt8(1 + rng() % 2), 7};
      const bool clearY = rng() % 3 == 0;
      const WESelector tagNames[] = {'tagx', 'tagy'};
      const void* const values[] = {&x, clearY ? nullptr : y};
      const ByteCount sizes[] = {1, clearY ? 1u : 2u};
      ASSERT_EQ(WESetAttributes(a, b, 2, tagNames, values, sizes, e.we), noErr);
      std::fill(tags.begin() + a, tags.begin() + b, x);
      std::fill(tagsY.begin() + a, tagsY.begin() + b, clearY ? 0 : y[0]);
    } else if (op == 2 && b > a) {
      if (b - a == len) {
        emptyTag = tags[0];
        emptyTagY = tagsY[0];
      }
      WESetSelection(a, b, e.we);
      WEDelete(e.we);
      text.erase(size_t(a), size_t(b - a));
      tags.erase(tags.begin() + a, tags.begin() + b);
      tagsY.erase(tagsY.begin() + a, tagsY.begin() + b);
    }
    if (step % 50 != 49) continue;
    ASSERT_EQ(e.Text(), text) << step;
    SInt32 lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
      EXPECT_EQ(WEOffsetToLine(SInt32(i), e.we), lines - 1) << step << " at " << i;
      if (text[i] == 13) ++lines;
      UInt8 v = 0;
      const OSStatus s = WEGetOneAttribute(SInt32(i), 'tagx', &v, 1, e.we);
      EXPECT_EQ(s == noErr ? v : 0, tags[i]) << step << " at " << i;
      UInt8 y[2] = {0, 0};
      const OSStatus sy = WEGetOneAttribute(SInt32(i), 'tagy', y, 2, e.we);
      EXPECT_EQ(sy == noErr ? y[0] : 0, tagsY[i]) << step << " at " << i;
    }
    ASSERT_EQ(WECountLines(e.we), lines) << step;
  }
}

TEST(WasteStore, FindHonoursCaseWordsAndRange) {
  Engine e;
  e.Put(0, 0, "Cat scatter cat\rCATalog cat");
  struct Case {
    const char* key;
    OptionBits options;
    SInt32 from, to;
    OSStatus status;
    SInt32 start;
  } cases[] = {
      {"cat", 0, 0, 99, noErr, 5},
      {"cat", weFindCaseInsensitive, 0, 99, noErr, 0},
      {"cat", weFindWholeWords, 0, 99, noErr, 12},
      {"cat", weFindWholeWords | weFindCaseInsensitive, 1, 99, noErr, 12},
      {"cat", weFindWholeWords, 13, 99, noErr, 24},
      {"CAT", 0, 0, 18, weNotFoundErr, -1},
      {"cat", 0, 24, 26, weNotFoundErr, -1},
      {"dog", weFindCaseInsensitive, 0, 99, weNotFoundErr, -1},
      {"\r", 0, 0, 99, noErr, 15},
  };
  for (const Case& c : cases) {
    SInt32 s = -1, end = -1;
    EXPECT_EQ(WEFind(c.key, SInt32(strlen(c.key)), kTextEncodingMacRoman, c.options, c.from, c.to, &s, &end, e.we),
              c.status)
        << c.key << " " << c.from;
    if (c.status == noErr) {
      EXPECT_EQ(s, c.start) << c.key << " " << c.from;
      EXPECT_EQ(end, c.start + SInt32(strlen(c.key)));
    }
  }
  SInt32 s, end;
  EXPECT_EQ(WEFind("", 0, 0, 0, 0, 99, &s, &end, e.we), paramErr);
  // A non-ASCII key in Mac Roman matches the text's character.
  e.Put(0, 0, "\x8E");
  EXPECT_EQ(WEFind("\x8E", 1, kTextEncodingMacRoman, 0, 0, 99, &s, &end, e.we), noErr);
  EXPECT_EQ(s, 0);
}

TEST(WasteStore, WordsAndCharacterClasses) {
  Engine e;
  e.Put(0, 0, "foo_1  bar.baz\r\rx");
  struct {
    SInt32 offset;
    WEEdge edge;
    SInt32 start, end;
  } cases[] = {
      {0, kLeadingEdge, 0, 5},  {5, kTrailingEdge, 0, 5},  {5, kLeadingEdge, 5, 7},  {6, kLeadingEdge, 5, 7},
      {10, kLeadingEdge, 10, 11}, {11, kTrailingEdge, 10, 11}, {12, kLeadingEdge, 11, 14}, {14, kLeadingEdge, 14, 15},
      {15, kLeadingEdge, 15, 16}, {17, kTrailingEdge, 16, 17}, {99, kLeadingEdge, 16, 17}, {-3, kTrailingEdge, 0, 5},
  };
  for (auto& c : cases) {
    SInt32 s = -1, end = -1;
    ASSERT_EQ(WEFindWord(c.offset, c.edge, &s, &end, e.we), noErr);
    EXPECT_EQ(s, c.start) << c.offset << "/" << c.edge;
    EXPECT_EQ(end, c.end) << c.offset << "/" << c.edge;
  }
  SInt32 v = 0;
  const std::pair<SInt32, SInt32> classes[] = {{0, weCharClassLetter}, {3, weCharClassUnderscore},
                                               {4, weCharClassDigit},  {5, weCharClassSpace},
                                               {10, weCharClassPunctuation}, {14, weCharClassSpace}};
  for (auto [offset, cls] : classes) {
    ASSERT_EQ(WEGetCharacterProperty(offset, weCharClassProperty, &v, e.we), noErr);
    EXPECT_EQ(v, cls) << offset;
  }
  EXPECT_EQ(WEGetCharacterProperty(17, weCharClassProperty, &v, e.we), paramErr);
}

TEST(WasteStore, SelectionFollowsPuts) {
  Engine e;
  e.Put(0, 0, "0123456789");
  struct {
    SInt32 selStart, selEnd, putStart, putEnd;
    const char* text;
    SInt32 wantStart, wantEnd;
  } cases[] = {
      {2, 4, 6, 6, "xx", 2, 4},   // after the selection: unchanged
      {6, 8, 0, 0, "xx", 8, 10},  // before: moves
      {2, 4, 2, 4, "xyz", 5, 5},  // over the selection: after the new text
      {3, 3, 3, 3, "ab", 5, 5},   // at the insertion point: after the new text
      {2, 8, 4, 6, "", 2, 6},     // inside: the selection shrinks
  };
  for (auto& c : cases) {
    WESetSelection(0, WEGetTextLength(e.we), e.we);
    e.Put(kCurrentSelection, kCurrentSelection, "0123456789");
    WESetSelection(c.selStart, c.selEnd, e.we);
    e.Put(c.putStart, c.putEnd, c.text);
    SInt32 s, end;
    WEGetSelection(&s, &end, e.we);
    EXPECT_EQ(s, c.wantStart) << c.text;
    EXPECT_EQ(end, c.wantEnd) << c.text;
  }
  // The first argument of WESetSelection is the anchor; ends are ordered
  // and clamped.
  WESetSelection(7, 2, e.we);
  EXPECT_EQ(WEGetSelectionAnchor(e.we), 7);
  SInt32 s, end;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 2);
  EXPECT_EQ(end, 7);
  WESetSelection(-4, 400, e.we);
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(end, WEGetTextLength(e.we));
}

TEST(WasteStore, PropertiesAndModCount) {
  Engine e;
  void* record = &e;
  ASSERT_EQ(WESetProperty('OEDE', 'DATA', sizeof record, &record, e.we), noErr);
  void* back = nullptr;
  ByteCount size = 0;
  ASSERT_EQ(WEGetProperty('OEDE', 'DATA', sizeof back, &size, &back, e.we), noErr);
  EXPECT_EQ(back, record);
  EXPECT_EQ(size, sizeof record);
  char small[2];
  EXPECT_EQ(WEGetProperty('OEDE', 'DATA', sizeof small, nullptr, small, e.we), paramErr);
  EXPECT_EQ(WEGetProperty('OEDE', 'none', 0, nullptr, nullptr, e.we), weAttributeNotFoundErr);
  EXPECT_EQ(WERemoveProperty('OEDE', 'DATA', e.we), noErr);
  EXPECT_EQ(WEGetProperty('OEDE', 'DATA', 0, nullptr, nullptr, e.we), weAttributeNotFoundErr);

  // Text changes count, style changes do not; undo counts back.
  EXPECT_EQ(WEGetModCount(e.we), 0u);
  e.Put(0, 0, "abc");
  e.Put(3, 3, "d");
  const Boolean on = true;
  WESetOneAttribute(0, 2, 'bold', &on, 1, e.we);
  EXPECT_EQ(WEGetModCount(e.we), 2u);
  WEResetModCount(e.we);
  EXPECT_EQ(WEGetModCount(e.we), 0u);
  e.Put(0, 0, "x");
  EXPECT_EQ(WEGetModCount(e.we), 1u);
  ASSERT_EQ(WEUndo(e.we), noErr);  // the style
  ASSERT_EQ(WEUndo(e.we), noErr);  // the "x"
  EXPECT_EQ(WEGetModCount(e.we), 0u);
}

TEST(WasteStore, FeatureFlagsAndHostileCalls) {
  Engine e;
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, e.we), 0);
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitSet, e.we), 0);
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitToggle, e.we), 1);
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, e.we), 0);
  EXPECT_EQ(WEFeatureFlag(99, weBitSet, e.we), -1);
  // Host puts are not blocked by read-only (the console writes its output).
  WEFeatureFlag(weFReadOnly, weBitSet, e.we);
  e.Put(0, 0, "out");
  EXPECT_EQ(WEGetTextLength(e.we), 3);
  // Nil and out-of-range arguments are answered, not followed.
  EXPECT_EQ(WEPut(0, 0, nullptr, 4, 0, 0, 0, nullptr, nullptr, e.we), paramErr);
  EXPECT_EQ(WEPut(0, 0, "a", 1, 0, 0, 0, nullptr, nullptr, nullptr), paramErr);
  EXPECT_EQ(WESetOneAttribute(-10, 100, 'bold', "\1", 1, e.we), noErr);
  EXPECT_EQ(WEGetTextLength(nullptr), 0);
  EXPECT_EQ(WEGetChar(0, nullptr), 0);
  WEDispose(nullptr);
}

TEST(WasteFonts, NamesAndNumbers) {
  const unsigned char andale[] = "\x0b" "Andale Mono";
  const FMFontFamily a = FMGetFontFamilyFromName(andale);
  EXPECT_NE(a, kInvalidFontFamily);
  const unsigned char lower[] = "\x0b" "andale mono";
  EXPECT_EQ(FMGetFontFamilyFromName(lower), a);
  const unsigned char fresh[] = "\x0a" "Zyx Family";
  const FMFontFamily z = FMGetFontFamilyFromName(fresh);
  EXPECT_NE(z, kInvalidFontFamily);
  EXPECT_EQ(FMGetFontFamilyFromName(fresh), z);
  unsigned char name[256] = {};
  ASSERT_TRUE(FMGetFontFamilyName(z, name));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), "Zyx Family");
  EXPECT_FALSE(FMGetFontFamilyName(30000, name));
  const unsigned char empty[] = "";
  EXPECT_EQ(FMGetFontFamilyFromName(empty), kInvalidFontFamily);
}

// Family numbers are 16-bit: once every number is given, further names are
// drawn in the default family (Monaco), and the names already numbered keep
// theirs.
TEST(WasteFonts, NamesPastTheLastNumberTakeTheDefaultFamily) {
  auto pascal = [](const std::string& s) { return std::string(1, char(s.size())) + s; };
  auto family = [](const std::string& p) { return FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>(p.data())); };
  std::set<FMFontFamily> numbers;
  int named = 0;
  for (int i = 0; i < 40000; ++i) {
    const FMFontFamily f = family(pascal("Filler " + std::to_string(i)));
    ASSERT_NE(f, kInvalidFontFamily) << i;
    if (f == 4) break;
    ASSERT_GE(f, 1024) << i;
    ASSERT_TRUE(numbers.insert(f).second) << "given twice: " << f;
    named = i;
  }
  ASSERT_GT(numbers.size(), 30000u);
  EXPECT_EQ(*numbers.rbegin(), INT16_MAX - 1);
  EXPECT_EQ(family(pascal("Yet Another Face")), 4);
  EXPECT_EQ(family(pascal("Yet Another Face")), 4);
  EXPECT_EQ(numbers.count(family(pascal("Filler " + std::to_string(named)))), 1u);
  unsigned char name[256] = {};
  ASSERT_TRUE(FMGetFontFamilyName(4, name));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), "Monaco");
  std::filesystem::remove(std::string(std::getenv("XDG_DATA_HOME")) + "/Quorvel/font-families");
  WEFontsForgetTable();
}

// Families named at run time are drawn in their own face where the system
// has one, else in the engine's face of their kind; the fixed ones keep the
// engine's faces.
TEST(WasteFonts, FamiliesNamedAtRunTimeAreDrawnInTheirOwnFace) {
  const struct {
    std::string pascal;
    const char* face;
  } cases[] = {
      {"\x0a" "Noto Serif", "Noto Serif,DejaVu Sans"},
      {"\x09" "Fira Mono", "Fira Mono,DejaVu Sans Mono"},
      {"\x04" "Caf\x8E", "Caf\xC3\xA9,DejaVu Sans"},  // Mac Roman e acute, drawn from UTF-8
      {"\x06" "Monaco", "DejaVu Sans Mono"},
      {"\x07" "Verdana", "DejaVu Sans"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    const FMFontFamily f = FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>(c.pascal.data()));
    EXPECT_STREQ(c.face, WEFontFace(f));
  }
  EXPECT_STREQ("DejaVu Sans Mono", WEFontFace(10));  // no family: the default face
}

// A number stored in one run names the same family in the next, whatever
// order that run asks for names in, and before it asks for the name at all.
TEST(WasteFonts, NumbersAreTheSameInEveryRun) {
  ASSERT_NE(nullptr, std::getenv("XDG_DATA_HOME"));
  const std::string kept = std::string(std::getenv("XDG_DATA_HOME")) + "/Quorvel/font-families";
  std::filesystem::remove(kept);
  WEFontsForgetTable();
  auto family = [](const std::string& s) {
    const std::string p = std::string(1, char(s.size())) + s;
    return FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>(p.data()));
  };
  auto nameOf = [](FMFontFamily f) {
    unsigned char name[256] = {};
    return FMGetFontFamilyName(f, name) ? std::string(reinterpret_cast<char*>(name + 1), name[0]) : std::string("?");
  };
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("Run Face " + std::to_string(i));
  std::map<std::string, FMFontFamily> first;
  std::set<FMFontFamily> given;
  for (const std::string& n : names) {
    first[n] = family(n);
    EXPECT_GE(first[n], 1024);
    EXPECT_TRUE(given.insert(first[n]).second) << n;
  }
  EXPECT_EQ(4, family("Monaco"));  // the fixed table is not hashed
  ASSERT_TRUE(std::filesystem::exists(kept));
  // Damaged or clashing lines are passed over.
  if (FILE* f = std::fopen(kept.c_str(), "a")) {
    std::fputs("garbage\n10\tToo Low\n2000\tRUN FACE 1\n99999\tToo High\n", f);
    std::fclose(f);
  }

  // The next run: numbers first (a stored preference read), then names in
  // the other order.
  WEFontsForgetTable();
  for (const std::string& n : names) EXPECT_EQ(n, nameOf(first[n]));
  for (auto it = names.rbegin(); it != names.rend(); ++it) EXPECT_EQ(first[*it], family(*it)) << *it;
  EXPECT_EQ("?", nameOf(10));

  // Without the kept numbers (a new home), a name still takes the number it
  // hashes to: only the few that met another name's number on the way may differ.
  std::filesystem::remove(kept);
  WEFontsForgetTable();
  size_t same = 0;
  for (auto it = names.rbegin(); it != names.rend(); ++it) same += family(*it) == first[*it];
  EXPECT_GE(same, names.size() - 6);
  std::filesystem::remove(kept);
  WEFontsForgetTable();
}

}  // namespace
