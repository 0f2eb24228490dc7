// The text engine's layout: offsets and points, wrapping, highlight areas,
// scrolling, clicks and keys, and the drawing of a line into a bitmap.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include <cstring>
#include <string>
#include <vector>

#include "MacMemory.h"
#include "WASTE.h"
#include "WEInternal.h"

namespace {

// A bitmap to draw into, in the y-down coordinates of a window's root
// (into pixels when given, else into memory of its own).
struct Bitmap {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef context = nullptr;
  Bitmap(int width, int height, void* pixels = nullptr)
      : context(CGBitmapContextCreate(pixels, size_t(width), size_t(height), 8, size_t(width) * 4, space,
                                      kCGImageAlphaPremultipliedLast)) {
    if (context == nullptr) return;
    CGContextTranslateCTM(context, 0, height);
    CGContextScaleCTM(context, 1, -1);
  }
  ~Bitmap() {
    if (context != nullptr) CGContextRelease(context);
    CGColorSpaceRelease(space);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
};

struct Engine {
  WEReference we = nullptr;
  explicit Engine(SInt32 destWidth = 2000, LongRect view = {10, 20, 210, 320}) {
    LongRect dest{view.top, view.left, view.top, view.left + destWidth};
    EXPECT_EQ(WENew(&dest, &view, weDoUndo | weDoAutoScroll, &we), noErr);
  }
  ~Engine() { WEDispose(we); }
  void Put(const std::string& text) {
    ASSERT_EQ(WEPut(0, WEGetTextLength(we), text.data(), text.size(), 0, 0, 0, nullptr, nullptr, we), noErr);
    WECalText(we);
  }
  LongPt Point(SInt32 offset, SInt16* lh = nullptr, SInt16 direction = 1) const {
    LongPt p{};
    SInt16 h = 0;
    WEGetPoint(offset, direction, &p, &h, we);
    if (lh) *lh = h;
    return p;
  }
};

TEST(WasteLayout, OffsetsAndPointsRoundTripOnCarriageReturnText) {
  Engine e;
  e.Put("first line\rsecond\r\rla\tst");
  const SInt32 n = WEGetTextLength(e.we);
  SInt32 previousTop = -1;
  for (SInt32 offset = 0; offset <= n; ++offset) {
    SInt16 lh = 0;
    const LongPt p = e.Point(offset, &lh);
    EXPECT_GT(lh, 8) << offset;
    // The middle of the line at the point's x finds the offset again.
    LongPt probe{p.v + lh / 2, p.h};
    EXPECT_EQ(WEGetOffset(&probe, nullptr, e.we), offset) << offset;
    const SInt32 line = WEOffsetToLine(offset, e.we);
    SInt32 ls, le;
    WEGetLineRange(line, &ls, &le, e.we);
    if (offset == ls) {
      EXPECT_EQ(p.h, 20) << offset;  // lines start at the destination's left
      EXPECT_GT(p.v, previousTop) << offset;
      previousTop = p.v;
    }
  }
  EXPECT_EQ(e.Point(0).v, 10);
  // Above the text: the start; below it: the end; left of a line: its start.
  LongPt above{-50, 100}, below{5000, 0}, left{e.Point(11).v + 2, -100};
  EXPECT_EQ(WEGetOffset(&above, nullptr, e.we), 0);
  EXPECT_EQ(WEGetOffset(&below, nullptr, e.we), n);
  EXPECT_EQ(WEGetOffset(&left, nullptr, e.we), 11);
  // Right of a line's end: before its line break.
  LongPt right{e.Point(0).v + 2, 1500};
  EXPECT_EQ(WEGetOffset(&right, nullptr, e.we), 10);
  // The destination's bottom is the end of the text.
  LongRect dest;
  WEGetDestRect(&dest, e.we);
  SInt16 lh;
  const LongPt last = e.Point(n, &lh);
  EXPECT_EQ(dest.bottom, last.v + lh);
}

TEST(WasteLayout, WrapsToTheDestinationWidth) {
  Engine wide;
  Engine narrow(120);
  const std::string text = "alpha beta gamma delta epsilon zeta eta theta iota kappa";
  wide.Put(text);
  narrow.Put(text);
  EXPECT_EQ(WECountLines(narrow.we), 1);  // lines are paragraphs, not rows
  LongRect a, b;
  WEGetDestRect(&a, wide.we);
  WEGetDestRect(&b, narrow.we);
  EXPECT_GT(b.bottom - b.top, 2 * (a.bottom - a.top));
  // Every offset stays within the width, and rows go down.
  SInt32 rows = 0, lastV = -1;
  for (SInt32 i = 0; i <= SInt32(text.size()); ++i) {
    const LongPt p = narrow.Point(i);
    EXPECT_LE(p.h, 20 + 120) << i;
    if (p.v != lastV) ++rows, lastV = p.v;
  }
  EXPECT_GT(rows, 2);
  // At a wrap, direction 0 names the end of the upper row.
  SInt32 wrap = -1;
  for (SInt32 i = 1; i < SInt32(text.size()) && wrap < 0; ++i)
    if (narrow.Point(i).v > narrow.Point(i - 1).v) wrap = i;
  ASSERT_GT(wrap, 0);
  EXPECT_EQ(narrow.Point(wrap, nullptr, 0).v, narrow.Point(wrap - 1).v);
  EXPECT_GE(narrow.Point(wrap, nullptr, 0).h, narrow.Point(wrap - 1).h);
  // A new width re-wraps.
  LongRect dest = b;
  dest.right = dest.left + 2000;
  WESetDestRect(&dest, narrow.we);
  WEGetDestRect(&b, narrow.we);
  EXPECT_EQ(b.bottom - b.top, a.bottom - a.top);
}

TEST(WasteLayout, HiliteRegionCoversTheSelectedRows) {
  Engine e;
  e.Put("one\rtwo words\rthree");
  RgnHandle none = WEGetHiliteRgn(-1, -1, e.we);  // the empty selection
  EXPECT_TRUE(EmptyRgn(none));
  DisposeRgn(none);

  WESetSelection(8, 13, e.we);  // "words"
  RgnHandle rgn = WEGetHiliteRgn(-1, -1, e.we);
  Rect r;
  GetRegionBounds(rgn, &r);
  SInt16 lh;
  const LongPt p8 = e.Point(8, &lh), p13 = e.Point(13);
  EXPECT_EQ(r.top, p8.v);
  EXPECT_EQ(r.bottom, p8.v + lh);
  EXPECT_NEAR(r.left, p8.h, 1);
  EXPECT_NEAR(r.right, p13.h, 1);
  Point inside{SInt16(p8.v + 2), SInt16(p8.h + 3)}, outside{SInt16(p8.v + lh + 2), SInt16(p8.h + 3)};
  EXPECT_TRUE(PtInRgn(inside, rgn));
  EXPECT_FALSE(PtInRgn(outside, rgn));
  DisposeRgn(rgn);

  // Across a line break the first row reaches the view's right edge; all
  // stays within the view.
  rgn = WEGetHiliteRgn(2, 6, e.we);
  GetRegionBounds(rgn, &r);
  EXPECT_EQ(r.right, 320);
  EXPECT_EQ(r.top, e.Point(2).v);
  EXPECT_GT(r.bottom, e.Point(6).v);
  DisposeRgn(rgn);
}

int gScrolls = 0;
void CountScroll(WEReference) { ++gScrolls; }

TEST(WasteLayout, ScrollingMovesTheDestinationAndKeepsTheCaretInView) {
  Engine e(2000, LongRect{0, 0, 100, 300});
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + "\r";
  e.Put(text);
  WEScrollProcPtr hook = CountScroll;
  WESetInfo(weScrollHook, &hook, e.we);
  gScrolls = 0;
  WEScroll(-5, -30, e.we);
  LongRect dest;
  WEGetDestRect(&dest, e.we);
  EXPECT_EQ(dest.top, -30);
  EXPECT_EQ(dest.left, -5);
  EXPECT_EQ(gScrolls, 1);
  WEScroll(0, 0, e.we);
  EXPECT_EQ(gScrolls, 1);
  WEScroll(5, 30, e.we);

  // Selecting the end scrolls it into view (automatic scrolling is on).
  WESetSelection(WEGetTextLength(e.we), WEGetTextLength(e.we), e.we);
  SInt16 lh;
  const LongPt p = e.Point(WEGetTextLength(e.we), &lh);
  EXPECT_GE(p.v, 0);
  EXPECT_LE(p.v + lh, 100);
  EXPECT_GT(gScrolls, 2);
  // Points follow the scroll: offsets under the view's top are near the end.
  LongPt top{1, 1};
  EXPECT_GT(WEOffsetToLine(WEGetOffset(&top, nullptr, e.we), e.we), 30);
}

// A selection set from outside (a jump to a function, a find, an error)
// shows with lines of context on the side it came in from; at the text's
// ends the context stops there. A caret moved by keys scrolls no further
// than it must.
TEST(WasteLayout, AJumpShowsItsTargetWithContext) {
  Engine e(2000, LongRect{0, 0, 200, 300});
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r";
  e.Put(text + "end");
  auto jump = [&](int line) {
    SInt32 start = 0, end = 0;
    WEGetLineRange(line, &start, &end, e.we);
    WESetSelection(start, start, e.we);
    SInt16 lh = 0;
    const LongPt p = e.Point(start, &lh);
    return std::make_pair(p.v / lh, (200 - (p.v + lh)) / lh);  // whole lines above and below it
  };
  auto [above, below] = jump(60);  // below the view
  EXPECT_GE(below, 3);
  EXPECT_GE(above, 3);
  std::tie(above, below) = jump(20);  // above it
  EXPECT_GE(above, 3);
  std::tie(above, below) = jump(1);  // near the start: nothing above the text
  LongRect dest{};
  WEGetDestRect(&dest, e.we);
  EXPECT_EQ(dest.top, 0);
  jump(100);  // the last line: no blank below the text
  WEGetDestRect(&dest, e.we);
  EXPECT_EQ(dest.bottom, 200);
}

// Far into a long text, paragraphs are laid out when first needed (their
// heights are estimates till then). Scrolled to a caret below the view,
// the caret stays in view once the view is drawn: else the next key
// scrolls, and redraws the whole view, again.
TEST(WasteLayout, ACaretScrolledIntoViewStaysThereOnceTheViewIsDrawn) {
  constexpr int W = 160, H = 200;
  const Bitmap bitmap(W, H);
  CGContextRef ctx = bitmap.context;
  ASSERT_NE(ctx, nullptr);
  Engine e(W, LongRect{0, 0, H, W});
  std::string text;
  // Each paragraph wraps to a few rows at this width.
  for (int i = 0; i < 3000; ++i)
    text += "$total = $price * $quantity + $shipping - $discount; // " + std::to_string(i) + "\r";
  e.Put(text);
  WESetInfo(weCGContextInfo, &ctx, e.we);
  WEActivate(e.we);
  for (const int line : {2900, 2600}) {
    SInt32 start = 0, end = 0;
    WEGetLineRange(line, &start, &end, e.we);
    WESetSelection(start + 3, start + 3, e.we);
    WEUpdate(nullptr, e.we);
    SInt16 lh = 0;
    const LongPt p = e.Point(start + 3, &lh);
    EXPECT_GE(p.v, 0) << line;
    EXPECT_LE(p.v + lh, H) << line;
  }
}

TEST(WasteLayout, ClicksAndKeysMoveTheSelection) {
  Engine e;
  e.Put("foo bar\rbaz qux");
  SInt16 lh;
  const LongPt p5 = e.Point(5, &lh);
  Point hit{SInt16(p5.v + lh / 2), SInt16(p5.h + 1)};
  SInt32 s, end;
  WEClick(hit, 0, 100, e.we);
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 5);
  EXPECT_EQ(end, 5);
  WEClick(hit, 0, 110, e.we);  // double click: the word
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 4);
  EXPECT_EQ(end, 7);
  WEClick(hit, 0, 120, e.we);  // triple click: the line
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(end, 8);
  const LongPt p10 = e.Point(10);
  Point later{SInt16(p10.v + lh / 2), SInt16(p10.h + 1)};
  WEClick(hit, 0, 500, e.we);
  WEClick(later, 0x0200, 600, e.we);  // shift extends from the anchor
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 5);
  EXPECT_EQ(end, 10);

  struct {
    UniChar key;
    UInt32 modifiers;
    SInt32 from, wantStart, wantEnd;
  } keys[] = {
      {29, 0, 5, 6, 6},        {28, 0, 5, 4, 4},        {31, 0, 1, 9, 9},      {30, 0, 9, 1, 1},
      {29, 0x0200, 5, 5, 6},   {29, 0x0800, 1, 3, 3},   {28, 0x0100, 10, 8, 8}, {29, 0x0100, 1, 7, 7},
      {31, 0x0100, 2, 15, 15}, {30, 0x0100, 12, 0, 0},
      // With shift each gesture extends from the anchor.
      {28, 0x0300, 10, 8, 10}, {29, 0x0300, 1, 1, 7},  {31, 0x0300, 2, 2, 15}, {30, 0x0300, 12, 0, 12},
      {28, 0x0A00, 10, 8, 10}, {29, 0x0A00, 1, 1, 3},
      // Option-page down and up take the caret along (a short text: to its ends).
      {12, 0x0800, 2, 15, 15}, {11, 0x0800, 12, 0, 0},  {12, 0x0A00, 2, 2, 15},
  };
  for (auto& k : keys) {
    WESetSelection(k.from, k.from, e.we);
    ASSERT_EQ(WETextInput(&k.key, 1, 0, k.modifiers, e.we), noErr);
    WEGetSelection(&s, &end, e.we);
    EXPECT_EQ(s, k.wantStart) << int(k.key) << "/" << k.modifiers;
    EXPECT_EQ(end, k.wantEnd) << int(k.key) << "/" << k.modifiers;
  }
}

TEST(WasteLayout, OptionPageDownScrollsAPageAndTakesTheCaretAlong) {
  Engine e;
  std::string text;
  for (int i = 0; i < 60; ++i) text += "line\r";
  e.Put(text);
  SInt16 lh = 0;
  e.Point(0, &lh);
  ASSERT_GT(lh, 0);
  const UniChar pageDown = 12, pageUp = 11;
  WESetSelection(0, 0, e.we);
  ASSERT_EQ(WETextInput(&pageDown, 1, 121, 0x0800, e.we), noErr);
  SInt32 s, end;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, end);
  // A page of rows further down, and the view went with it: the caret keeps
  // its place on the screen, near the top.
  const SInt32 line = WEOffsetToLine(s, e.we);
  EXPECT_GE(line, (200 - 10) / lh - 1);
  EXPECT_LE(line, (200 - 10) / lh + 1);
  LongRect dest;
  WEGetDestRect(&dest, e.we);
  EXPECT_LT(dest.top, 10);
  const LongPt caret = e.Point(s);
  EXPECT_GE(caret.v, 10);
  EXPECT_LT(caret.v, 10 + 2 * lh);
  ASSERT_EQ(WETextInput(&pageUp, 1, 116, 0x0800, e.we), noErr);
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 0);
  WEGetDestRect(&dest, e.we);
  EXPECT_EQ(dest.top, 10);
}

int gErases = 0;
CGRect gDirty;
void Erase(CGContextRef c, const CGRect* dirty, WEViewReference view, WEReference we) {
  ++gErases;
  gDirty = *dirty;
  EXPECT_EQ(view, WEGetCurrentView(we));
  CGContextSetRGBFillColor(c, 1, 1, 0.5, 1);  // a pale yellow
  CGContextFillRect(c, *dirty);
}

TEST(WasteLayout, DrawsTheTextIntoABitmap) {
  constexpr int W = 200, H = 60;
  const Bitmap bitmap(W, H);
  CGContextRef ctx = bitmap.context;
  ASSERT_NE(ctx, nullptr);

  Engine e(2000, LongRect{0, 0, H, W});
  e.Put("MMMMMM\r");
  const RGBColor red{0xFFFF, 0, 0};
  WESetOneAttribute(3, 6, 'colr', &red, 6, e.we);
  WESetInfo(weCGContextInfo, &ctx, e.we);
  WECGEraseProcPtr erase = Erase;
  WESetInfo(weCGEraseHook, &erase, e.we);
  WEActivate(e.we);
  WESetSelection(7, 7, e.we);
  gErases = 0;
  WEUpdate(nullptr, e.we);
  EXPECT_EQ(gErases, 1);
  EXPECT_EQ(gDirty.size.width, W);
  EXPECT_EQ(gDirty.size.height, H);

  auto* px = static_cast<const UInt8*>(CGBitmapContextGetData(ctx));
  ASSERT_NE(px, nullptr);
  auto at = [&](int x, int y) { return px + (size_t(y) * W + size_t(x)) * 4; };  // rows from the top
  SInt16 lh;
  const LongPt end3 = e.Point(3, &lh), end6 = e.Point(6);
  int black = 0, redInk = 0, yellowBelow = 0;
  for (int y = 0; y < lh; ++y) {
    for (int x = 0; x < end3.h; ++x)
      if (at(x, y)[0] < 80 && at(x, y)[1] < 80) ++black;
    for (int x = end3.h; x < end6.h; ++x)
      if (at(x, y)[0] > 180 && at(x, y)[1] < 80) ++redInk;
  }
  for (int x = 0; x < W; ++x) {
    const UInt8* p = at(x, lh + 2 + lh);  // the row under the second line
    if (p[0] > 240 && p[1] > 240 && p[2] > 100 && p[2] < 160) ++yellowBelow;
  }
  EXPECT_GT(black, 20);
  EXPECT_GT(redInk, 20);
  EXPECT_GT(yellowBelow, W - 4);
  // The caret: a dark one-pixel column at the start of the second line.
  const LongPt caret = e.Point(7);
  EXPECT_LT(at(caret.h, caret.v + 3)[0], 60);

  // Nothing is drawn while redrawing is inhibited.
  WEFeatureFlag(weFInhibitRedraw, weBitSet, e.we);
  WEUpdate(nullptr, e.we);
  EXPECT_EQ(gErases, 1);
}

// A redraw of some rows draws the paragraphs beside them too when their
// glyphs reach into those rows (stacked accents above, marks below): the
// rows come out as a drawing of everything shows them.
TEST(WasteLayout, RowsRedrawnAloneShowTheGlyphsThatReachIntoThem) {
  constexpr int W = 120, H = 120;
  struct Case {
    const char* text;  // UTF-8; the empty paragraph is the one redrawn
    SInt32 emptyLine;
  };
  for (const Case& c : {Case{"\r\xC3\x82\xCC\x82\xCC\x82\xCC\x82\xCC\x82\xCC\x82\r", 0},
                        Case{"\r\r\x67\xCC\xA3\xCC\xA3\xCC\xA3\xCC\xA3\xCC\xA3\xCC\xA3\xCC\xA3\r\r", 3}}) {
    Engine e(W, LongRect{0, 0, H, W});
    // Lines after the first of those: no room above the text.
    const std::string text = std::string("top\r") + c.text;
    ASSERT_EQ(WEPut(0, 0, text.data(), text.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, e.we), noErr);
    WECalText(e.we);
    const SInt32 line = c.emptyLine + 1;
    SInt32 start = 0, end = 0;
    WEGetLineRange(line, &start, &end, e.we);
    SInt16 lh = 0;
    const LongPt row = e.Point(start, &lh);
    auto draw = [&](bool onlyRow) {
      std::vector<UInt8> pixels(size_t(W) * H * 4, 0);
      {  // the bitmap goes before its pixels are handed back
        const Bitmap bitmap(W, H, pixels.data());
        CGContextRef ctx = bitmap.context;
        WESetInfo(weCGContextInfo, &ctx, e.we);
        WEUpdate(nullptr, e.we);
        if (onlyRow) {
          RgnHandle rgn = NewRgn();
          SetRectRgn(rgn, 0, SInt16(row.v), W, SInt16(row.v + lh));
          WEUpdate(rgn, e.we);
          DisposeRgn(rgn);
        }
        CGContextRef none = nullptr;
        WESetInfo(weCGContextInfo, &none, e.we);
      }
      return pixels;
    };
    const std::vector<UInt8> whole = draw(false), partly = draw(true);
    int ink = 0;
    for (int y = row.v; y < row.v + lh; ++y)
      for (int x = 0; x < W; ++x) ink += whole[(size_t(y) * W + size_t(x)) * 4] < 255 ? 1 : 0;
    EXPECT_GT(ink, 0) << c.emptyLine << ": the glyphs beside reach into the row";
    EXPECT_TRUE(whole == partly) << c.emptyLine;
  }
}

// Only a carriage return ends a line: any other character that could pass
// for a break, and a NUL, is drawn within its line like any character, so
// lines, points and clicks agree.
TEST(WasteLayout, OnlyACarriageReturnEndsALine) {
  const struct {
    const char* name;
    char16_t c;
  } cases[] = {{"LF", u'\n'},          {"NUL", u'\0'},         {"VT", u'\v'},          {"FF", u'\f'},
               {"NEL", u'\u0085'},     {"LS", u'\u2028'},      {"PS", u'\u2029'},      {"DEL", u'\u007F'}};
  for (const auto& c : cases) {
    Engine e;
    std::u16string text = u"ab_cd";
    text[2] = c.c;
    ASSERT_EQ(WEPut(0, 0, text.data(), text.size() * 2, kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, e.we),
              noErr);
    WECalText(e.we);
    EXPECT_EQ(WECountLines(e.we), 1) << c.name;
    SInt16 lh = 0;
    const LongPt first = e.Point(0, &lh);
    SInt32 lastH = first.h - 1;
    for (SInt32 i = 0; i <= 5; ++i) {
      const LongPt p = e.Point(i);
      EXPECT_EQ(p.v, first.v) << c.name << " at " << i;
      EXPECT_GT(p.h, lastH) << c.name << " at " << i;
      lastH = p.h;
      LongPt probe{p.v + lh / 2, p.h};
      EXPECT_EQ(WEGetOffset(&probe, nullptr, e.we), i) << c.name << " at " << i;
    }
    LongRect dest;
    WEGetDestRect(&dest, e.we);
    EXPECT_EQ(dest.bottom - dest.top, lh) << c.name;
  }
}

// A line of hundreds of thousands of characters (a minified script), in the
// usual destination and in one far wider than any screen: its rows stay
// within what the layout can count, and points and clicks along it stay in
// order.
TEST(WasteLayout, AVeryLongLineKeepsPointsInOrder) {
  std::string text;
  while (text.size() < 400000) text += "abcdefghij";
  // Also in many runs that differ only in colour (as a re-coloured line is).
  for (const auto& [width, coloured] : {std::pair<SInt32, bool>{2000, false}, {3000000, false}, {3000000, true}}) {
    Engine e(width, LongRect{0, 0, 400, 600});
    e.Put(text);
    if (coloured) {
      const RGBColor red{0xFFFF, 0, 0};
      for (SInt32 at = 3; at < SInt32(text.size()); at += 20) WESetOneAttribute(at, at + 10, 'colr', &red, 6, e.we);
    }
    LongPt previous{-1, -1};
    for (SInt32 i = 0; i <= SInt32(text.size()); i += 50000) {
      SInt16 lh = 0;
      const LongPt p = e.Point(i, &lh);
      EXPECT_GE(p.h, 0) << width << " at " << i;
      EXPECT_LE(p.h, width) << width << " at " << i;
      EXPECT_TRUE(p.v > previous.v || (p.v == previous.v && p.h > previous.h)) << width << " at " << i;
      previous = p;
      LongPt probe{p.v + lh / 2, p.h};
      EXPECT_EQ(WEGetOffset(&probe, nullptr, e.we), i) << width << " at " << i;
    }
  }
}

// Paragraphs restyled far below a short view (each wraps to rows of its
// own) take the heights they are laid out with: every point comes out as
// where the whole text is in view, before and after the view is scrolled
// down to them.
TEST(WasteLayout, ParagraphsSettledOutOfViewKeepTheirPlaces) {
  std::string text;
  for (int i = 0; i < 1200; ++i)
    text += "$row[" + std::to_string(i) + "] = fetch($query, " + std::to_string(i * 7) +
            ", 'a longer argument that wraps', $options);\r";
  Engine shortView(300, LongRect{0, 0, 100, 300});
  Engine tallView(300, LongRect{0, 0, 60000, 300});
  std::vector<SInt32> starts;
  for (Engine* e : {&shortView, &tallView}) {
    e->Put(text);
    // Every 40th line from the 300th on in a larger size, a batch at a time
    // as a parse sets them.
    for (int line = 300; line < 1200; line += 40) {
      SInt32 from = 0, to = 0;
      WEGetLineRange(line, &from, &to, e->we);
      const Fixed size = 30 << 16;
      ASSERT_EQ(WESetOneAttribute(from, to, 'ptsz', &size, 4, e->we), noErr);
      if (e == &shortView) starts.push_back(from);
      (void)e->Point(0);  // the geometry asked for between batches
    }
  }
  for (int line = 0; line < 1200; line += 13) {
    SInt32 from = 0, to = 0;
    WEGetLineRange(line, &from, &to, shortView.we);
    starts.push_back(from + 3);
  }
  auto same = [&](const char* when) {
    for (SInt32 at : starts) {
      SInt16 h1 = 0, h2 = 0;
      const LongPt a = shortView.Point(at, &h1), b = tallView.Point(at, &h2);
      // The two views' destinations differ only by their scroll.
      LongRect d1, d2;
      WEGetDestRect(&d1, shortView.we);
      WEGetDestRect(&d2, tallView.we);
      ASSERT_EQ(a.v - d1.top, b.v - d2.top) << when << " at " << at;
      ASSERT_EQ(a.h, b.h) << when << " at " << at;
      ASSERT_EQ(h1, h2) << when << " at " << at;
      LongPt probe{SInt32(a.v + h1 / 2), a.h};
      ASSERT_EQ(WEGetOffset(&probe, nullptr, shortView.we), at) << when;
    }
  };
  same("at the top");
  LongRect d1, d2;
  WEGetDestRect(&d1, shortView.we);
  WEGetDestRect(&d2, tallView.we);
  EXPECT_EQ(d1.bottom - d1.top, d2.bottom - d2.top);
  WEScroll(0, -(shortView.Point(starts[10]).v - d1.top), shortView.we);
  WEGetDestRect(&d1, shortView.we);
  EXPECT_LT(d1.top, -1000);
  same("scrolled down");
}

// A long text laid out from end to end keeps only so many layouts: those
// out of view go, and are made again alike when their rows are drawn; the
// ones kept stay with their paragraphs while lines come and go above them.
TEST(WasteLayout, LayoutsOutOfViewAreGivenBackAndMadeAgainAlike) {
  constexpr int W = 300, H = 120;
  const Bitmap bitmap(W, H);
  CGContextRef ctx = bitmap.context;
  ASSERT_NE(ctx, nullptr);
  Engine e(2000, LongRect{0, 0, H, W});
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "$row[" + std::to_string(i) + "] = fetch($query);\r";
  e.Put(text);
  for (int line = 0; line < 6000; line += 5) {  // colours and sizes, as a parse sets them
    SInt32 from = 0, to = 0;
    WEGetLineRange(line, &from, &to, e.we);
    const RGBColor red{0xFFFF, 0, 0};
    ASSERT_EQ(WESetOneAttribute(from + 2, to - 3, 'colr', &red, 6, e.we), noErr);
    const Fixed size = (line % 3 == 0 ? 20 : 9) << 16;
    ASSERT_EQ(WESetOneAttribute(from, from + 4, 'ptsz', &size, 4, e.we), noErr);
  }
  WESetInfo(weCGContextInfo, &ctx, e.we);
  auto* px = static_cast<UInt8*>(CGBitmapContextGetData(ctx));
  auto draw = [&] {
    std::memset(px, 0, size_t(W) * H * 4);
    WEUpdate(nullptr, e.we);
    return std::vector<UInt8>(px, px + size_t(W) * H * 4);
  };
  auto scrollTo = [&](SInt32 line) {
    SInt32 from = 0, to = 0;
    WEGetLineRange(line, &from, &to, e.we);
    LongRect dest;
    WEGetDestRect(&dest, e.we);
    WEScroll(0, -(e.Point(from).v - dest.top) - dest.top, e.we);
  };
  auto kept = [&](const char* when) {
    const WEReference we = e.we;
    EXPECT_LE(we->layoutRuns.size(), 1200u) << when;
    for (const auto& [layout, made] : we->layoutRuns)
      ASSERT_EQ(we->paras[made.paragraph].layout, layout) << when << ": paragraph " << made.paragraph;
  };

  scrollTo(2500);
  draw();  // the rows in view take their heights
  const std::vector<UInt8> middle = draw();
  scrollTo(0);
  for (SInt32 line = 0; line < WECountLines(e.we); ++line) {  // each line laid out in turn
    SInt32 from = 0, to = 0;
    WEGetLineRange(line, &from, &to, e.we);
    (void)e.Point(from);
  }
  kept("every line laid out");
  // Lines inserted and removed above layouts that are kept.
  auto layOut = [&](SInt32 first, SInt32 last) {
    for (SInt32 line = first; line <= last; ++line) {
      SInt32 from = 0, to = 0;
      WEGetLineRange(line, &from, &to, e.we);
      (void)e.Point(from);
    }
  };
  for (int round = 0; round < 40; ++round) {
    SInt32 from = 0, to = 0;
    layOut(4997 + round, 5003 + round);
    layOut(3997 + round, 4004 + round);
    WEGetLineRange(5000 + round, &from, &to, e.we);
    ASSERT_EQ(WEPut(from, from, "$added = 1;\r$added = 2;\r", 24, 0, 0, 0, nullptr, nullptr, e.we), noErr);
    WEGetLineRange(4000 + round, &from, &to, e.we);
    SInt32 end = 0;
    WEGetLineRange(4000 + round + 2, &end, &to, e.we);
    ASSERT_EQ(WEPut(from, end, "", 0, 0, 0, 0, nullptr, nullptr, e.we), noErr);
    kept("lines added and removed");
  }
  scrollTo(2500);
  EXPECT_TRUE(draw() == middle) << "the rows laid out again draw otherwise";
}

// Paragraphs out of view are measured without their colours: each takes the
// height its whole layout gives it, wrapped or not, in one size or several.
TEST(WasteLayout, ParagraphsMeasuredOutOfViewTakeTheirLayoutsHeights) {
  Engine e(260, LongRect{0, 0, 80, 260});
  std::string text;
  for (int i = 0; i < 600; ++i)
    text += i % 4 == 0 ? "$short = " + std::to_string(i) + ";\r"
                       : "$row[" + std::to_string(i) + "] = fetch($query, 'a longer argument that wraps', $options);\r";
  e.Put(text);
  for (int batch = 0; batch < 600; batch += 50) {  // styled a batch at a time, as a parse does
    for (int line = batch; line < batch + 50; ++line) {
      SInt32 from = 0, to = 0;
      WEGetLineRange(line, &from, &to, e.we);
      for (SInt32 at = from; at + 3 < to; at += 7) {
        const RGBColor colour{UInt16(at * 977), 0x4000, UInt16(at * 131)};
        ASSERT_EQ(WESetOneAttribute(at, at + 3, 'colr', &colour, 6, e.we), noErr);
      }
      if (line % 9 == 0) {
        const Fixed size = 22 << 16;
        ASSERT_EQ(WESetOneAttribute(from + 2, from + 6, 'ptsz', &size, 4, e.we), noErr);
      }
    }
    LongRect dest;
    WEGetDestRect(&dest, e.we);  // the geometry asked for between batches
  }
  const WEReference we = e.we;
  auto height = [&](SInt32 line) { return we->paraY.Start(line + 1) - we->paraY.Start(line); };
  std::vector<SInt32> measured;
  for (SInt32 line = 0; line < 600; ++line) measured.push_back(height(line));
  for (SInt32 line = 0; line < 600; ++line) {
    SInt32 from = 0, to = 0;
    WEGetLineRange(line, &from, &to, e.we);
    (void)e.Point(from);  // laid out whole
    ASSERT_EQ(height(line), measured[size_t(line)]) << "line " << line;
  }
}

TEST(WasteLayout, LargeTextStaysResponsive) {
  // 20,000 lines: look-ups and an edit in the middle touch only what they need.
  Engine e(2000, LongRect{0, 0, 400, 600});
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "$value = strlen($input) + " + std::to_string(i) + ";\r";
  e.Put(text);
  EXPECT_EQ(WECountLines(e.we), 20001);
  const SInt32 middle = WEGetTextLength(e.we) / 2;
  ASSERT_EQ(WEPut(middle, middle, "x", 1, 0, 0, 0, nullptr, nullptr, e.we), noErr);
  SInt16 lh;
  const LongPt p = e.Point(middle, &lh);
  LongPt probe{p.v + lh / 2, p.h};
  EXPECT_EQ(WEGetOffset(&probe, nullptr, e.we), middle);
  LongRect dest;
  WEGetDestRect(&dest, e.we);
  EXPECT_NEAR(double(dest.bottom - dest.top), 20001.0 * lh, 20001.0);
}

}  // namespace
