// The parser controller over a real text engine instance: what it leaves on
// the text (styles, protection, embedded-language and symbol marks), how it
// reads the text back, the switches it throws around a parse, and a scan of
// a sample through it compared with the recording controller.
#include <gtest/gtest.h>

#include <random>

#include <climits>
#include <iterator>
#include <limits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "HIObject.h"
#include "HIView.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "WASTE.h"
#include "fenwicket/Fenwicket.h"
#include "fixtures/ScanFixture.h"

namespace {

constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kRed{0xFFFF, 0, 0};
constexpr RGBColor kBlue{0, 0, 0xFFFF};
constexpr RGBColor kGrey{0x8000, 0x8000, 0x8000};

bool Same(RGBColor a, RGBColor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

ExtendedTextStyle Style(RGBColor color, bool bold = false, bool italic = false, bool underline = false) {
  ExtendedTextStyle s{};
  s.textColor = color;
  s.bold = bold;
  s.italic = italic;
  s.underline = underline;
  return s;
}

// One engine instance with no view.
struct Engine {
  WEReference we = nullptr;
  explicit Engine(OptionBits features = weDoUndo | weDoMultipleUndo | weDoAutoScroll) {
    LongRect r{0, 0, 400, 600};
    EXPECT_EQ(WENew(&r, &r, features, &we), noErr);
  }
  ~Engine() { WEDispose(we); }
  SInt32 Length() const { return WEGetTextLength(we); }
  void Replace(const std::u16string& text) {
    WEPut(0, Length(), text.data(), text.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr,
          nullptr, we);
  }
  std::u16string Text() const {
    Handle h = NewHandle(0);
    WEStreamRange(0, Length(), 'utxt', 0, h, we);
    std::u16string s(reinterpret_cast<const char16_t*>(*h), size_t(GetHandleSize(h)) / 2);
    DisposeHandle(h);
    return s;
  }
  RGBColor Color(SInt32 i) const {
    RGBColor c{1, 1, 1};
    WEGetOneAttribute(i, 'colr', &c, sizeof c, we);
    return c;
  }
  bool Flag(SInt32 i, FourCharCode tag) const {
    Boolean b = false;
    return WEGetOneAttribute(i, tag, &b, 1, we) == noErr && b;
  }
  bool Has(SInt32 i, FourCharCode tag) const { return WEGetOneAttribute(i, tag, nullptr, 0, we) == noErr; }
  std::string Mark(SInt32 i, FourCharCode tag) const {
    unsigned char bytes[64] = {0};
    if (WEGetOneAttribute(i, tag, bytes, sizeof bytes, we) != noErr) return "<none>";
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  // The probe over [from, to) as a row of 'x' (true) and '.' (false).
  std::string Pattern(SInt32 from, SInt32 to, const std::function<bool(SInt32)>& probe) const {
    std::string out;
    for (SInt32 i = from; i < to; ++i) out += probe(i) ? 'x' : '.';
    return out;
  }
};

// The 64 bytes a mark of this key holds.
std::string MarkBytes(const char* key) {
  std::string bytes(64, '\0');
  bytes[0] = char(std::strlen(key));
  std::memcpy(&bytes[1], key, std::strlen(key));
  return bytes;
}

struct WASTEControllerTest : ::testing::Test {
  Engine engine;
  TWASTEController controller;

  void SetUp() override {
    controller.SetWEReference(engine.we);
    controller.Initialize();
    controller.SetNilColor(kGrey);
  }
  void SetText(const std::u16string& text) {
    engine.Replace(text);
    controller.ResetRange(CFRangeMake(0, engine.Length()));
  }
};

TEST_F(WASTEControllerTest, EachOperationReachesTheTextWhereItShould) {
  SetText(std::u16string(1100, u'a'));
  SymbolInfo symbol{};
  symbol.symbolName = "Cart";
  struct Row {
    const char* name;
    std::function<void()> apply;
    std::function<bool(SInt32)> probe;
    SInt32 from;
    const char* expected;  // the probe over from .. from + 12
  };
  const Row rows[] = {
      {"StyleRange adds the data offset", [&] { controller.StyleRange(CFRangeMake(10, 15), Style(kRed)); },
       [&](SInt32 i) { return Same(engine.Color(i), kRed); }, 1008, "..xxxxx....."},
      {"ProtectRange adds the data offset", [&] { controller.ProtectRange(CFRangeMake(20, 23)); },
       [&](SInt32 i) { return engine.Has(i, 'grid'); }, 1018, "..xxx......."},
      {"ApplyEmbeddedLanguage adds the data offset",
       [&] { controller.ApplyEmbeddedLanguage(CFRangeMake(30, 34), "scaninner"); },
       [&](SInt32 i) { return controller.GetEmbeddedLanguage(i) == "scaninner"; }, 1028, "..xxxx......"},
      {"ApplySymbol adds the data offset", [&] { controller.ApplySymbol(CFRangeMake(40, 42), &symbol); },
       [&](SInt32 i) { return engine.Mark(i, 'SCOP') == MarkBytes("Cart"); }, 1038, "..xx........"},
      {"ApplySymbol without a symbol marks nothing", [&] { controller.ApplySymbol(CFRangeMake(60, 70), nullptr); },
       [&](SInt32 i) { return engine.Has(i, 'SCOP'); }, 1058, "............"},
      {"ResetRange does not",
       [&] {
         controller.SetDataOffset(0);
         controller.StyleRange(CFRangeMake(10, 20), Style(kBlue, true));
         controller.SetDataOffset(1000);
         controller.ResetRange(CFRangeMake(12, 15));
       },
       [&](SInt32 i) { return Same(engine.Color(i), kBlue) && engine.Flag(i, 'bold'); }, 8, "..xx...xxxxx"},
      {"ResetTracking does not", [&] { controller.ResetTracking(CFRangeMake(50, 53)); },
       [&](SInt32 i) { return engine.Flag(i, ' -c '); }, 48, "..xxx......."},
  };
  for (const Row& row : rows) {
    controller.SetDataOffset(1000);
    row.apply();
    EXPECT_EQ(engine.Pattern(row.from, row.from + 12, row.probe), row.expected) << row.name;
  }
  // Nothing of the offset spans landed at the parser's own offsets.
  EXPECT_EQ(engine.Pattern(18, 45, [&](SInt32 i) { return engine.Has(i, 'grid') || engine.Has(i, 'SCOP'); }),
            std::string(27, '.'));
  EXPECT_EQ(controller.GetEmbeddedLanguage(31), "default");
}

TEST_F(WASTEControllerTest, StylesAndResetsReadBackAsWritten) {
  SetText(U("0123456789"));
  struct {
    ExtendedTextStyle style;
    const char* flags;  // bold, italic, underline
  } rows[] = {
      {Style(kRed), "..."}, {Style(kBlue, true), "x.."}, {Style(kRed, false, true), ".x."},
      {Style(kBlue, false, false, true), "..x"}, {Style(kRed, true, true, true), "xxx"},
  };
  for (auto& row : rows) {
    controller.StyleRange(CFRangeMake(2, 5), row.style);
    std::string flags;
    for (FourCharCode tag : {FourCharCode('bold'), FourCharCode('ital'), FourCharCode('undl')})
      flags += engine.Flag(3, tag) ? 'x' : '.';
    EXPECT_EQ(flags, row.flags);
    EXPECT_TRUE(Same(controller.GetOffsetColor(3), row.style.textColor));
    EXPECT_TRUE(Same(controller.GetOffsetColor(1), kGrey));
    EXPECT_TRUE(Same(controller.GetOffsetColor(5), kGrey));
  }
  controller.ResetRange(CFRangeMake(0, 10));
  for (SInt32 i = 0; i < 10; ++i) {
    EXPECT_TRUE(Same(controller.GetOffsetColor(i), kGrey)) << i;
    EXPECT_FALSE(engine.Flag(i, 'bold') || engine.Flag(i, 'ital') || engine.Flag(i, 'undl')) << i;
  }
  // ResetTracking clears the line colour and marks the text.
  const RGBColor line{1, 2, 3};
  WESetOneAttribute(0, 10, 'pbcl', &line, sizeof line, engine.we);
  controller.ResetTracking(CFRangeMake(0, 4));
  EXPECT_EQ(engine.Pattern(0, 10, [&](SInt32 i) { return engine.Has(i, ' -c '); }), "xxxx......");
  RGBColor got{};
  EXPECT_EQ(WEGetOneAttribute(5, 'pbcl', &got, sizeof got, engine.we), noErr);
  EXPECT_TRUE(Same(got, line));
  RGBColor cleared{};
  const OSStatus status = WEGetOneAttribute(1, 'pbcl', &cleared, sizeof cleared, engine.we);
  EXPECT_TRUE(status != noErr || !Same(cleared, line));
}

TEST_F(WASTEControllerTest, ReadersAnswerTheTextAndFallBackOutsideIt) {
  SetText(u"a\u00e9\u20ac\U0001F600z");  // a, e acute, euro, a surrogate pair, z
  EXPECT_EQ(controller.GetTextLength(), 6);
  const SInt32 offsets[] = {0, 1, 2, 3, 4, 5, 6, -1, INT32_MAX, INT32_MIN};
  const UniChar chars[] = {'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 'z', 0, 0, 0, 0};
  for (size_t k = 0; k < std::size(offsets); ++k) {
    EXPECT_EQ(controller.GetOffsetChar(offsets[k]), chars[k]) << offsets[k];
    EXPECT_EQ(controller.GetEmbeddedLanguage(offsets[k]), "default") << offsets[k];
    if (offsets[k] < 0 || offsets[k] >= 6) {
      EXPECT_TRUE(Same(controller.GetOffsetColor(offsets[k]), kBlack)) << offsets[k];
    }
  }
  EXPECT_EQ(controller.FindSymbol().location, 0);
  EXPECT_EQ(controller.FindSymbol().length, 0);

  // Marks written by anyone else are read with their size checked.
  struct {
    std::string value;
    const char* expected;
  } marks[] = {
      {std::string("\x03php", 4), "php"},
      {std::string("\x02ph", 3) + std::string(100, 'z'), "ph"},  // longer than a mark
      {std::string("\x40", 1) + std::string(70, 'q'), "default"},  // a length past 63
      {std::string("\xC8" "ab", 3), "default"},
      {std::string(), "default"},  // an empty value
      {std::string("\x00xyz", 4), "default"},
  };
  for (auto& mark : marks) {
    WESetOneAttribute(0, 6, 'ELNG', mark.value.data(), mark.value.size(), engine.we);
    EXPECT_EQ(controller.GetEmbeddedLanguage(2).str(), mark.expected) << mark.value.size();
  }
}

TEST_F(WASTEControllerTest, MarksAreStoredWholeWithNothingFromPastTheKey) {
  SetText(U("function add() {}"));
  SymbolInfo symbol{};
  std::memset(static_cast<void*>(&symbol), 0x5A, sizeof symbol);  // garbage everywhere, also past the name
  symbol.symbolName.s[0] = 3;
  std::memcpy(symbol.symbolName.s + 1, "add", 3);
  controller.ApplySymbol(CFRangeMake(9, 12), &symbol);
  EXPECT_EQ(engine.Mark(10, 'SCOP'), MarkBytes("add"));
  symbol.symbolName.s[0] = 250;  // a damaged length keeps to the field
  controller.ApplySymbol(CFRangeMake(0, 1), &symbol);
  EXPECT_EQ(engine.Mark(0, 'SCOP'), "\x3F" "add" + std::string(60, '\x5A'));

  Str63 language("scaninner");
  std::memset(language.s + 10, 0x77, 54);
  controller.ApplyEmbeddedLanguage(CFRangeMake(0, 8), language);
  EXPECT_EQ(engine.Mark(4, 'ELNG'), MarkBytes("scaninner"));
  EXPECT_EQ(controller.GetEmbeddedLanguage(4), "scaninner");
}

TEST_F(WASTEControllerTest, SpansAreClampedToTheTextAndEmptyOnesWriteNothing) {
  SetText(U("abcdef"));
  constexpr CFIndex kHuge = std::numeric_limits<CFIndex>::max();
  struct {
    SInt32 dataOffset;
    CFRange span;
    const char* expected;
  } rows[] = {
      {0, {-5, 2}, "xx...."},      {0, {4, 100}, "....xx"},          {0, {5, 2}, "......"},
      {0, {6, 6}, "......"},        {0, {100, 200}, "......"},        {0, {-100, -50}, "......"},
      {0, {kHuge / -2, kHuge / 2}, "xxxxxx"}, {-3, {4, 5}, ".x...."}, {INT32_MAX, {0, 1}, "......"},
      {INT32_MIN, {0, 1}, "......"},
  };
  for (auto& row : rows) {
    controller.SetDataOffset(0);
    controller.ResetRange(CFRangeMake(0, 6));
    controller.SetDataOffset(row.dataOffset);
    controller.StyleRange(row.span, Style(kRed));
    EXPECT_EQ(engine.Pattern(0, 6, [&](SInt32 i) { return Same(engine.Color(i), kRed); }), row.expected)
        << row.span.location << ".." << row.span.length << " + " << row.dataOffset;
  }
  // An empty span at the end leaves the style of what is typed next alone.
  controller.SetDataOffset(0);
  controller.StyleRange(CFRangeMake(6, 6), Style(kRed));
  controller.ApplyEmbeddedLanguage(CFRangeMake(6, 6), "scaninner");
  WESetSelection(6, 6, engine.we);
  const UniChar g = 'g';
  WEPut(kCurrentSelection, kCurrentSelection, &g, 2, kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, engine.we);
  EXPECT_TRUE(Same(controller.GetOffsetColor(6), kGrey));
  EXPECT_EQ(controller.GetEmbeddedLanguage(6), "default");
}

TEST_F(WASTEControllerTest, InsertTextAppendsResetText) {
  SetText(U("ab"));
  controller.StyleRange(CFRangeMake(0, 2), Style(kRed, true));
  const std::u16string more = u"cd\u20ac";
  controller.SetDataOffset(500);  // appending takes no data offset
  controller.InsertText(reinterpret_cast<const UniChar*>(more.data()), SInt32(more.size()));
  EXPECT_EQ(engine.Text(), u"abcd\u20ac");
  EXPECT_EQ(engine.Pattern(0, 5, [&](SInt32 i) { return Same(engine.Color(i), kRed) && engine.Flag(i, 'bold'); }),
            "xx...");
  EXPECT_TRUE(Same(controller.GetOffsetColor(4), kGrey));
  // Nothing to insert changes nothing.
  controller.InsertText(nullptr, 4);
  controller.InsertText(reinterpret_cast<const UniChar*>(more.data()), 0);
  controller.InsertText(reinterpret_cast<const UniChar*>(more.data()), -3);
  EXPECT_EQ(engine.Text(), u"abcd\u20ac");
}

TEST_F(WASTEControllerTest, StreamTextCopiesTheClampedSpan) {
  const std::u16string text = u"h\u00e9llo w\u00f6rld";
  SetText(text);
  struct {
    CFRange span;
    std::u16string expected;
  } rows[] = {
      {{0, 5}, u"h\u00e9llo"}, {{6, 11}, u"w\u00f6rld"}, {{8, 500}, u"rld"},
      {{-4, 2}, u"h\u00e9"},    {{7, 3}, u""},            {{50, 60}, u""},
  };
  for (auto& row : rows) {
    Handle h = NewHandle(3);
    controller.StreamText(row.span, h);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(*h), size_t(GetHandleSize(h)) / 2), row.expected)
        << row.span.location << ".." << row.span.length;
    DisposeHandle(h);
  }
  Handle fresh = nullptr;
  controller.StreamText(CFRangeMake(0, 1), fresh);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(GetHandleSize(fresh), 2);
  DisposeHandle(fresh);
}

TEST_F(WASTEControllerTest, PrepareSwitchesTheEngineAroundAParse) {
  SetText(U("text"));
  auto features = [&] {
    std::string s;
    for (SInt16 f : {weFUndo, weFAutoScroll, weFInhibitRedraw}) s += WEFeatureFlag(f, weBitTest, engine.we) ? 'x' : '.';
    return s;
  };
  EXPECT_EQ(features(), "xx.");
  controller.Prepare(false);
  EXPECT_EQ(features(), "..x");
  EXPECT_TRUE(controller.viewWasHidden);  // an instance with no view is never seen
  controller.Prepare(true);
  EXPECT_EQ(features(), "xxx");
}

// Many edits in a row at places far apart, with re-parses of stretches now
// and then (runs after an edit are moved lazily, a re-parse's marks are
// read before they are merged): each offset keeps the mark of the
// character it holds, typed text takes the mark of the one before it, and
// a re-parse's marks replace those of its stretch.
TEST_F(WASTEControllerTest, ScopeMarksFollowManyEditsFarApart) {
  SetText(std::u16string(400, u'x'));
  for (SInt32 at = 0; at < 300; at += 7)
    controller.MarkScopes(CFRangeMake(at, at + 4), Str255(std::string(1, char('A' + at % 26))));
  controller.ScopesAfter(0);  // the parse's marks in place
  auto mark = [&](SInt32 i) {
    const Str255 stack = controller.ScopesAfter(i);
    return stack.len() > 0 ? char(stack[1]) : '.';
  };
  std::string model;
  for (SInt32 i = 0; i < 300; ++i) model += mark(i);
  std::mt19937 random(5);
  for (int step = 0; step < 400; ++step) {
    const SInt32 at = SInt32(random() % (model.size() - 10));
    const SInt32 count = 1 + SInt32(random() % 5);
    const int action = int(random() % 3);
    if (action == 0) {
      model.insert(size_t(at), size_t(count), at > 0 ? model[size_t(at) - 1] : '.');
      controller.TextChanged(at, count);
    } else if (action == 1) {
      model.erase(size_t(at), size_t(count));
      controller.TextChanged(at, -count);
    } else {
      // A re-parse writes a few stretches one after the other, some in no
      // scope.
      SInt32 from = at;
      for (int part = 0; part < 3; ++part) {
        const SInt32 to = std::min(SInt32(model.size()), from + 1 + SInt32(random() % 6));
        const char letter = random() % 3 == 0 ? '.' : char('a' + random() % 26);
        controller.MarkScopes(CFRangeMake(from, to), letter == '.' ? Str255() : Str255(std::string(1, letter)));
        for (SInt32 i = from; i < to; ++i) model[size_t(i)] = letter;
        from = to;
      }
    }
    std::string seen;
    for (SInt32 i = 0; i < SInt32(model.size()); ++i) seen += mark(i);
    ASSERT_EQ(seen, model) << "step " << step << " at " << at;
  }
}

// Scope marks: each step on what the steps before left, read back as one
// letter per offset (the stack's first byte) and '.' where there is none.
TEST_F(WASTEControllerTest, ScopeMarksFollowEditsAndAParseReplacesThoseOfItsSpan) {
  SetText(U("0123456789abcdefghij"));
  struct {
    const char* what;  // "mark": span and stack ("" for none); "edit": offset and delta
    SInt32 a, b;
    const char* stack;
    const char* expected;
  } steps[] = {
      {"mark", 2, 5, "A", "..AAA..........."},
      {"mark", 5, 8, "B", "..AAABBB........"},
      {"mark", 8, 10, "", "..AAABBB........"},
      // Typed text takes the mark before it, also at a run's end.
      {"edit", 5, 2, "", "..AAAAABBB......"},
      {"edit", 0, 1, "", "...AAAAABBB....."},
      {"edit", 11, 3, "", "...AAAAABBBBBB.."},
      // Removed text takes its marks along; runs across it close up.
      {"edit", 4, -4, "", "...ABBBBBB......"},
      {"edit", 2, -3, "", "..BBBBB........."},
      {"edit", 0, -20, "", "................"},
      // A parse of a span replaces what was there and splits runs across it.
      {"mark", 0, 8, "A", "AAAAAAAA........"},
      {"mark", 2, 3, "B", "AABAAAAA........"},
      {"mark", 4, 6, "", "AABA..AA........"},
      {"mark", 1, 7, "C", "ACCCCCCA........"},
      {"mark", 15, 40, "D", "ACCCCCCA.......D"},  // clamped to the text
      {"edit", 0, 1, "", ".ACCCCCCA......."},
  };
  for (const auto& step : steps) {
    if (std::string(step.what) == "mark")
      controller.MarkScopes(CFRangeMake(step.a, step.b), Str255(step.stack));
    else
      controller.TextChanged(step.a, step.b);
    std::string seen;
    for (SInt32 i = 0; i < 16; ++i) {
      const Str255 stack = controller.ScopesAfter(i);
      seen += stack.len() > 0 ? char(stack[1]) : '.';
    }
    EXPECT_EQ(seen, step.expected) << step.what << " " << step.a << " " << step.b << " " << step.stack;
  }
  EXPECT_EQ(controller.ScopesAfter(-1).len(), 0);
  // A stack is kept whole, and another text forgets them all.
  controller.MarkScopes(CFRangeMake(0, 3), Str255("\x05" "Class" "\x04" "Cart"));
  EXPECT_EQ(controller.ScopesAfter(2), Str255("\x05" "Class" "\x04" "Cart"));
  // Many parses over one stretch, each with a stack of its own: the run
  // beside it and the last stack are still read back whole.
  controller.MarkScopes(CFRangeMake(10, 12), Str255("kept"));
  for (int i = 0; i < 3000; ++i) controller.MarkScopes(CFRangeMake(0, 3), Str255(("Class" + std::to_string(i)).c_str()));
  EXPECT_EQ(controller.ScopesAfter(1), Str255("Class2999"));
  EXPECT_EQ(controller.ScopesAfter(11), Str255("kept"));
  Engine other;
  controller.SetWEReference(other.we);
  EXPECT_EQ(controller.ScopesAfter(2).len(), 0);
  controller.SetWEReference(engine.we);
}

TEST(WASTEControllerWithoutEngine, EveryOperationIsHarmless) {
  TWASTEController c;
  c.Initialize();
  c.Prepare(false);
  const UniChar text[] = {'a'};
  c.InsertText(text, 1);
  Handle h = nullptr;
  c.StreamText(CFRangeMake(0, 1), h);
  EXPECT_EQ(h, nullptr);
  c.StyleRange(CFRangeMake(0, 1), Style(kRed));
  c.ProtectRange(CFRangeMake(0, 1));
  c.ResetRange(CFRangeMake(0, 1));
  c.ResetTracking(CFRangeMake(0, 1));
  c.ApplyEmbeddedLanguage(CFRangeMake(0, 1), "x");
  c.Redraw();
  c.Prepare(true);
  EXPECT_EQ(c.GetTextLength(), 0);
  EXPECT_EQ(c.GetOffsetChar(0), 0);
  EXPECT_EQ(c.GetEmbeddedLanguage(0), "default");
  EXPECT_TRUE(Same(c.GetOffsetColor(0), kBlack));
}

// --- Over a text view --------------------------------------------------------

struct WASTEControllerViewTest : ::testing::Test {
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  WEReference we = nullptr;
  TWASTEController controller;
  std::vector<std::pair<SInt32, SInt32>> heard;

  void SetUp() override {
    static bool registered = false;
    if (!registered) RegisterWasteClass();
    registered = true;
    Rect bounds = {100, 100, 500, 600};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    ShowWindow(window);
    HIObjectRef object = nullptr;
    ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), view);
    const CGRect frame{{10, 20}, {300, 200}};
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    we = WasteCreateController(view, window, 0);
    ASSERT_NE(we, nullptr);
    WasteCustomCallbacks callbacks{};
    callbacks.USERFLUX = [](SInt32 offset, SInt32 delta, UInt8, WEReference, void* context) {
      static_cast<WASTEControllerViewTest*>(context)->heard.emplace_back(offset, delta);
    };
    WasteRegisterCallbackClient(view, callbacks, this);
    controller.SetWEReference(we);
    controller.Initialize();
  }
  void TearDown() override {
    if (window) DisposeWindow(window);
  }
  void Type(const char* text) {
    WEPut(kCurrentSelection, kCurrentSelection, text, std::strlen(text), kTextEncodingMacRoman, 0, 0,
          nullptr, nullptr, we);
  }
};

TEST_F(WASTEControllerViewTest, RedrawStaysInhibitedOnlyAfterAParseOfAHiddenView) {
  for (bool visible : {true, false, true}) {
    HIViewSetVisible(view, visible);
    controller.Prepare(false);
    EXPECT_EQ(controller.viewWasHidden, !visible);
    EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitTest, we), 1);
    controller.Prepare(true);
    EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitTest, we), visible ? 0 : 1) << visible;
    // Showing the view lets it draw again.
    HIViewSetVisible(view, true);
    EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitTest, we), 0) << visible;
  }
}

TEST_F(WASTEControllerViewTest, AParseIsNoEditTheClientsHearOf) {
  Type("ab");
  ASSERT_EQ(heard.size(), 1u);
  heard.clear();
  controller.Prepare(false);
  const UniChar more[] = {'c', 'd'};
  controller.InsertText(more, 2);
  controller.StyleRange(CFRangeMake(0, 4), Style(kRed));
  controller.Redraw();
  EXPECT_TRUE(HIViewGetNeedsDisplay(view));
  controller.Prepare(true);
  EXPECT_TRUE(heard.empty());
  WESetSelection(4, 4, we);
  Type("e");
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0], std::make_pair(SInt32(4), SInt32(1)));

  // Text appended outside a parse is no edit either, and the clients hear
  // the next one.
  heard.clear();
  controller.InsertText(more, 2);
  EXPECT_TRUE(heard.empty());
  EXPECT_EQ(WEGetTextLength(we), 7);
  WESetSelection(0, 0, we);
  Type("z");
  EXPECT_EQ(heard.size(), 1u);
}

// --- A scan through the controller -------------------------------------------

const char* kSample =
    "echo \"hi $x\" // note\r"
    "var count = null; @name\r"
    "/* block */ function add(a) { return a; }\r"
    "<?x inner 'str' ?> if (1) { echo `t` }\r";

SInt32 Parse(TSyntaxParserController& controller, SyntaxLibraryPtr library, const FSRef* file = nullptr) {
  SyntaxParserSource source;
  source.library = library;
  source.controller = &controller;
  if (file != nullptr) source.file = *file;
  auto* process = new TSyntaxParserProcess();
  const SInt32 result = process->Create(source, SyntaxParserDestination{});
  if (result == 0) scanfix::RunToEnd(process);
  process->Free();
  return result;
}

// Every character's colour, flags and language differ nowhere.
void ExpectSameText(Engine& engine, TWASTEController& controller, RecordingSyntaxController& recording) {
  ASSERT_EQ(engine.Text(), recording.text);
  int differences = 0;
  for (SInt32 i = 0; i < engine.Length() && differences < 5; ++i) {
    const auto& a = recording.attributes[size_t(i)];
    const bool same = Same(engine.Color(i), a.color) && engine.Flag(i, 'bold') == bool(a.bold) &&
                      engine.Flag(i, 'ital') == bool(a.italic) && engine.Flag(i, 'undl') == bool(a.underline) &&
                      engine.Has(i, 'grid') == bool(a.isProtected) &&
                      controller.GetEmbeddedLanguage(i) == recording.GetEmbeddedLanguage(i);
    if (!same) {
      ++differences;
      ADD_FAILURE() << "differs at " << i << " (" << recording.Slice(i, i + 8) << ")";
    }
  }
}

TEST(WASTEControllerScan, AParseLeavesWhatTheRecordingControllerSees) {
  scanfix::Languages languages;
  SyntaxLibraryPtr library = languages.Get("scanfix");
  ASSERT_NE(library, nullptr);
  const RGBColor nil{0x1111, 0x2222, 0x3333};

  Engine engine;
  TWASTEController controller;
  controller.SetWEReference(engine.we);
  controller.Initialize();
  controller.SetNilColor(nil);
  engine.Replace(U(kSample));
  RecordingSyntaxController recording(kSample);
  recording.SetNilColor(nil);

  const CFRange whole = CFRangeMake(0, engine.Length());
  controller.ResetRange(whole);
  recording.ResetRange(whole);
  ASSERT_EQ(Parse(controller, library), 0);
  ASSERT_EQ(Parse(recording, library), 0);
  ExpectSameText(engine, controller, recording);
  // The sample is really styled, and its embedded language marked.
  const std::string sample = kSample;
  EXPECT_GT(recording.StyleRuns().size(), 8u);
  EXPECT_FALSE(Same(controller.GetOffsetColor(SInt32(sample.find("\"hi"))), nil));
  EXPECT_TRUE(Same(controller.GetOffsetColor(SInt32(sample.find("return"))), nil));
  EXPECT_EQ(controller.GetEmbeddedLanguage(SInt32(sample.find("inner"))), "scaninner");
  // Undo, scrolling and drawing are back on after the parse (the instance has
  // no view, so drawing stays off).
  EXPECT_EQ(WEFeatureFlag(weFUndo, weBitTest, engine.we), 1);
  EXPECT_EQ(WEFeatureFlag(weFAutoScroll, weBitTest, engine.we), 1);
}

TEST(WASTEControllerScan, AFileFillsAnEmptyTextChunkByChunk) {
  scanfix::Languages languages;
  SyntaxLibraryPtr library = languages.Get("scanfix");
  ASSERT_NE(library, nullptr);
  std::string text;
  while (text.size() < size_t(kParserChunkLength) + 5000) text += kSample;
  const FSRef file = scanfix::MakeRef(languages.folder.Write("sample.txt", text));

  Engine engine;
  TWASTEController controller;
  controller.SetWEReference(engine.we);
  controller.Initialize();
  RecordingSyntaxController recording;
  ASSERT_EQ(Parse(controller, library, &file), 0);
  ASSERT_EQ(Parse(recording, library, &file), 0);
  ASSERT_EQ(engine.Length(), SInt32(text.size()));
  ExpectSameText(engine, controller, recording);
}

// --- Re-colouring after an edit ----------------------------------------------

// What the source editor does with each change the view reports: the span
// from just before the change to the end of its new text (start, start +
// delta when more than one unit went in), widened to the blanks around it,
// is parsed again at once.
struct Recolourer {
  TWASTEController* controller = nullptr;
  SyntaxLibraryPtr library = nullptr;
  WEReference we = nullptr;
  static bool Blank(UInt8 c) { return c == 9 || c == 10 || c == 13 || c == 32; }
  void Changed(SInt32 offset, SInt32 delta) {
    SInt32 start = std::max<SInt32>(0, offset - 1);
    SInt32 end = delta > 1 ? offset + delta : (delta < 1 ? offset + 1 : offset);
    const SInt32 length = WEGetTextLength(we);
    end = std::min(end, length);
    while (start > 0 && !Blank(WEGetChar(start - 1, we))) --start;
    while (end < length && !Blank(WEGetChar(end, we))) ++end;
    if (start >= end) return;
    SyntaxParserSource source;
    source.library = library;
    source.controller = controller;
    source.span = CFRangeMake(start, end);
    auto* process = new TSyntaxParserProcess();
    process->incremental = true;
    process->fromController = true;
    if (process->Create(source, SyntaxParserDestination{}) == 0) scanfix::RunToEnd(process);
    process->Free();
  }
};

TEST_F(WASTEControllerViewTest, APasteOverASelectionIsColouredWhole) {
  scanfix::Languages languages;
  Recolourer recolour{&controller, languages.Get("scanfix"), we};
  ASSERT_NE(recolour.library, nullptr);
  WasteCustomCallbacks callbacks{};
  callbacks.USERFLUX = [](SInt32 offset, SInt32 delta, UInt8, WEReference, void* context) {
    static_cast<Recolourer*>(context)->Changed(offset, delta);
  };
  WasteRegisterCallbackClient(view, callbacks, &recolour);
  const RGBColor nil{0x1111, 0x2222, 0x3333};
  controller.SetNilColor(nil);

  const std::string pasted = "do function class end";
  Type(pasted.c_str());
  ASSERT_EQ(WECopyToPasteboard(0, SInt32(pasted.size()), nullptr, we), noErr);
  const std::string text = "x = 1; selected words here; y";
  WEPut(0, WEGetTextLength(we), text.data(), text.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  const SInt32 start = SInt32(text.find("selected")), end = SInt32(text.find(';', size_t(start)));
  controller.ResetRange(CFRangeMake(0, WEGetTextLength(we)));

  WESetSelection(start, end, we);
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event);
  HICommand paste{};
  paste.commandID = kHICommandPaste;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof paste, &paste);
  ASSERT_EQ(SendEventToEventTarget(event, HIViewGetEventTarget(view)), noErr);
  ReleaseEvent(event);

  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'TEXT', 0, h, we);
  const std::string now(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  ASSERT_EQ(now, "x = 1; " + pasted + "; y");
  // Every keyword pasted is coloured as the first one is, to its last letter.
  const RGBColor keyword = controller.GetOffsetColor(start);
  EXPECT_FALSE(Same(keyword, nil));
  for (SInt32 i = start; i < start + SInt32(pasted.size()); ++i) {
    if (pasted[size_t(i - start)] == ' ') continue;
    EXPECT_TRUE(Same(controller.GetOffsetColor(i), keyword)) << "at " << i << " '" << pasted[size_t(i - start)] << "'";
  }
  EXPECT_TRUE(Same(controller.GetOffsetColor(SInt32(now.size()) - 1), nil));  // "y" is no keyword
}

}  // namespace
