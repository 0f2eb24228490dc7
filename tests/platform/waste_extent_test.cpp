// The extent of an attribute's value around an offset, as the edits keep
// it: after every step of a random run of typing, deleting, restyling and
// undoing, the answer must be the one a character-by-character look gives.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "WASTE.h"

namespace {

constexpr WESelector kMark = 'ELNG';
constexpr WESelector kColour = 'colr';

struct Engine {
  WEReference we = nullptr;
  Engine() {
    LongRect dest{0, 0, 0, 600}, view{0, 0, 400, 600};
    EXPECT_EQ(WENew(&dest, &view, weDoUndo | weDoMultipleUndo, &we), noErr);
  }
  ~Engine() { WEDispose(we); }
  SInt32 Length() const { return WEGetTextLength(we); }
  void Put(SInt32 start, SInt32 end, const std::string& text) {
    ASSERT_EQ(WEPut(start, end, text.data(), text.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we), noErr);
  }
  void Mark(SInt32 start, SInt32 end, const char* language) {
    char value[8] = {};
    std::strncpy(value, language, sizeof value - 1);
    ASSERT_EQ(WESetOneAttribute(start, end, kMark, value, sizeof value, we), noErr);
  }
  void Colour(SInt32 start, SInt32 end, UInt16 red) {
    RGBColor c{red, 0, 0};
    ASSERT_EQ(WESetOneAttribute(start, end, kColour, &c, sizeof c, we), noErr);
  }
  // The tag's value at i, or "" where it is not set.
  std::string ValueAt(SInt32 i, WESelector tag) const {
    char value[8] = {};
    if (WEGetOneAttribute(i, tag, value, sizeof value, we) != noErr) return std::string();
    return std::string("=") + std::string(value, sizeof value);
  }
  // The extent character by character.
  std::pair<SInt32, SInt32> Walked(SInt32 at, WESelector tag) const {
    const std::string v = ValueAt(at, tag);
    SInt32 from = at, to = at + 1;
    while (from > 0 && ValueAt(from - 1, tag) == v) --from;
    while (to < Length() && ValueAt(to, tag) == v) ++to;
    return {from, to};
  }
  std::pair<SInt32, SInt32> Extent(SInt32 at, WESelector tag) const {
    SInt32 from = -1, to = -1;
    EXPECT_EQ(WEGetAttributeExtent(at, tag, &from, &to, we), noErr);
    return {from, to};
  }
};

TEST(WasteExtent, RandomEditsKeepTheExtentsAWalkFinds) {
  const char* languages[] = {"html", "php", "css", "js"};
  const std::string pieces[] = {"a", "<?php ", " ?>", "\r", "echo $x;", "{ color: red }", "xx yy zz"};
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](SInt32 n) { return n <= 0 ? 0 : SInt32(rng() % unsigned(n)); };
    Engine e;
    std::string text;
    for (int k = 0; k < 40; ++k) text += pieces[k % 7];
    e.Put(0, 0, text);
    // Regions of several languages, a long one among them.
    e.Mark(0, e.Length(), "html");
    e.Mark(10, e.Length() - 20, "php");
    e.Mark(30, 50, "css");
    for (int step = 0; step < 150; ++step) {
      const SInt32 length = e.Length();
      const SInt32 a = pick(length + 1), b = std::min<SInt32>(length, a + pick(12));
      switch (rng() % 8) {
        case 0:
        case 1:
          e.Put(a, a, pieces[rng() % 7]);  // typing takes the style before it
          break;
        case 2:
          e.Put(a, b, "");
          break;
        case 3:
          e.Put(a, b, pieces[rng() % 7]);
          break;
        case 4:
          if (b > a) e.Mark(a, b, languages[rng() % 4]);
          break;
        case 5:
          if (b > a) e.Colour(a, b, UInt16(1 + rng() % 3));  // never the default black
          break;
        case 6:
          WEUndo(e.we);
          break;
        default:
          WERedo(e.we);
          break;
      }
      ASSERT_FALSE(HasFatalFailure());
      // Each look starts where an earlier one remembered something.
      for (int q = 0; q < 6 && e.Length() > 0; ++q) {
        const SInt32 at = pick(e.Length());
        const WESelector tag = q % 3 == 2 ? kColour : kMark;
        ASSERT_EQ(e.Extent(at, tag), e.Walked(at, tag)) << "step " << step << " at " << at;
      }
    }
  }
}

}  // namespace
