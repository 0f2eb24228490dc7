// The re-parse after an edit, on the shipped JavaScript language in a text
// engine: after every edit of a sequence the colours must be those a fresh
// parse of the whole text gives, and a re-parse that need not run to the end
// of the text stops near the edit, where it reads the text as the earlier
// parse did.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DynamicParser.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "WASTE.h"

namespace {

constexpr RGBColor kNil{0x1111, 0x2222, 0x3333};

TSyntaxCollection* Collection() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    c->LoadLibrary(Str63("javascript"));
    return c;
  }();
  return collection;
}

SyntaxLibraryPtr JavaScript() { return Collection()->GetLanguageLibrary(Str63("javascript")); }

// A text engine with its controller.
struct Engine {
  WEReference we = nullptr;
  TWASTEController controller;
  Engine() {
    LongRect r{0, 0, 400, 600};
    WENew(&r, &r, weDoUndo | weDoMultipleUndo, &we);
    controller.SetWEReference(we);
    controller.Initialize();
    controller.SetNilColor(kNil);
  }
  ~Engine() { WEDispose(we); }
  void Put(SInt32 at, SInt32 end, const std::string& text) {
    WEPut(at, end, text.data(), text.size(), kCFStringEncodingUTF8, 0, 0, nullptr, nullptr, we);
  }
  std::string Text() const {
    std::string s;
    for (SInt32 i = 0; i < WEGetTextLength(we); ++i) s += char(WEGetChar(i, we));
    return s;
  }
  // A parse through the controller; the last position it visited.
  SInt32 Parse(CFRange span, bool incremental) {
    SyntaxParserSource source;
    source.library = JavaScript();
    source.span = span;
    source.controller = &controller;
    SyntaxParserDestination destination;
    destination.collection = Collection();
    auto* process = new TSyntaxParserProcess();
    process->incremental = incremental;
    process->fromController = incremental;
    SInt32 reached = -1;
    if (process->Create(source, destination) == 0) {
      TSyntaxParserProcess* next = nullptr;
      while (process->Run(next) == 1) {
      }
      reached = process->state.absoluteOffset;
    }
    process->Free();
    return reached;
  }
  // The same edit with the stretch parsed only as far as bound characters
  // past the edit (perhaps not all of the stretch); the rest is left to the
  // reparse's Continue.
  // A stretch may be given (from, to the widened end) instead of widened.
  void EditInParts(TDynamicReparse& reparse, SInt32 at, SInt32 removed, const std::string& inserted, SInt32 bound,
                   SInt32 from = -1) {
    Put(at, at + removed, inserted);
    const SInt32 delta = inserted.empty() ? -removed : SInt32(inserted.size());
    reparse.TextChanged(at, delta);
    const SInt32 end = delta > 1 ? at + delta : (delta < 1 ? at + 1 : at);
    CFRange span = FindContinuosRange(CFRangeMake(at - 1, end), &controller);
    if (from >= 0) span.location = from;
    SyntaxParserSource source;
    source.library = JavaScript();
    source.span = CFRangeMake(std::max<CFIndex>(span.location, 0), span.length);
    source.controller = &controller;
    SyntaxParserDestination destination;
    destination.collection = Collection();
    reparse.Reparse(source, destination, at + bound);
  }
  // The whole text, as a file opens.
  void ParseAll() { Parse(CFRangeMake(0, WEGetTextLength(we)), false); }
  // An edit as the source editor makes it: the text changes, the stretch
  // around it is widened and parsed again.
  SInt32 Edit(SInt32 at, SInt32 removed, const std::string& inserted) {
    Put(at, at + removed, inserted);
    const SInt32 delta = inserted.empty() ? -removed : SInt32(inserted.size());
    SInt32 end = at;
    if (delta > 1) end = at + delta;
    else if (delta < 1) end = at + 1;
    const CFRange span = FindContinuosRange(CFRangeMake(at - 1, end), &controller);
    return Parse(CFRangeMake(std::max<CFIndex>(span.location, 0), span.length), true);
  }
};

const char* const kBlock =
    "var a = 'one'; // note it\r"
    "function f(x) { return x + 1; }\r"
    "var b = \"two\" + /* inner */ 'three';\r"
    "if (a) { b = 'four'; }\r"
    "var t = `with ${a} in it`;\r";

// The first offset where the colours differ from a fresh parse, -1 when none.
SInt32 FirstDifference(Engine& edited) {
  Engine fresh;
  const std::string text = edited.Text();
  fresh.Put(0, 0, text);
  fresh.ParseAll();
  for (SInt32 i = 0; i < SInt32(text.size()); ++i)
    if (!CompareRGBColor(edited.controller.GetOffsetColor(i), fresh.controller.GetOffsetColor(i))) return i;
  return -1;
}

TEST(ReparseTest, EveryEditLeavesTheColoursOfAFreshParse) {
  Engine engine;
  std::string text;
  for (int i = 0; i < 40; ++i) text += kBlock;
  engine.Put(0, 0, text);
  engine.ParseAll();
  ASSERT_EQ(FirstDifference(engine), -1);
  const SInt32 middle = SInt32(text.size()) / 2;
  auto after = [&](const char* what) { return SInt32(engine.Text().find(what, size_t(middle)) + std::strlen(what)); };

  struct Step {
    const char* after;  // the edit goes right after this text, past the middle
    SInt32 removed;
    const char* inserted;
  } steps[] = {
      {"return x", 0, "y"},      // a letter in code
      {"'thr", 0, "e"},           // a letter in a string
      {"// no", 0, "'"},          // a quote in a comment
      {"var a = ", 0, "'"},       // opens a string: the rest of the text turns
      {"var a = '", 0, "z"},      // typed inside it
      {"var a = 'z", 0, "'"},     // closes it again
      {"function f(x) {", 0, "/*"},  // opens a comment
      {"function f(x) {", 2, ""},    // and takes it away
      {"b = ", 0, "\""},          // a double quote, then gone again
      {"b = ", 1, ""},
      {"return x", 0, "`"},       // a template string runs over lines: all the rest turns
      {"return x", 1, ""},
      {"return x + ", 0, "*/"},   // a stray close: its "/" opens a pattern
      {"return x ", 0, "/*"},     // which a comment's close takes back
      {"return x ", 2, ""},
      {"return x + ", 2, ""},
  };
  for (const Step& step : steps) {
    const SInt32 at = after(step.after);
    engine.Edit(at, step.removed, step.inserted);
    EXPECT_EQ(FirstDifference(engine), -1) << "after " << step.inserted << " at " << at << " (" << step.after << ")";
  }
}

TEST(ReparseTest, AnEditThatLeavesTheStringsAloneStopsNearIt) {
  Engine engine;
  std::string text;
  for (int i = 0; i < 200; ++i) text += kBlock;
  engine.Put(0, 0, text);
  engine.ParseAll();
  const SInt32 middle = SInt32(text.size()) / 2;
  // Each stretch holds strings, which an edit could have turned.
  for (const char* what : {"'thr", "var b = \"tw", "return x"}) {
    const SInt32 at = SInt32(engine.Text().find(what, size_t(middle)) + std::strlen(what));
    const SInt32 reached = engine.Edit(at, 0, "q");
    EXPECT_LT(reached, at + 200) << what;
    EXPECT_EQ(FirstDifference(engine), -1) << what;
  }
  // A comment opened runs on to the next close of one, where both parses
  // are plain again.
  SInt32 at = SInt32(engine.Text().find("var a = ", size_t(middle)) + 8);
  const SInt32 close = SInt32(engine.Text().find("*/", size_t(at)));
  const SInt32 reached = engine.Edit(at, 0, "/*");
  EXPECT_GT(reached, close);
  EXPECT_LT(reached, close + 200);
  EXPECT_EQ(FirstDifference(engine), -1);
  // A template string, which may span lines, opened where the text has no
  // other: everything after it changes and the re-parse runs to the end.
  at = SInt32(engine.Text().find("return x", size_t(close + 200)) + 7);
  const SInt32 last = engine.Edit(at, 0, "`");
  EXPECT_EQ(last, WEGetTextLength(engine.we));
  EXPECT_EQ(FirstDifference(engine), -1);
}

TEST(ReparseTest, AReparseInPartsEndsAsOneRunThrough) {
  Engine engine;
  std::string text;
  for (int i = 0; i < 150; ++i) text += kBlock;
  engine.Put(0, 0, text);
  engine.ParseAll();
  TDynamicReparse reparse;
  const SInt32 middle = SInt32(text.size()) / 3;
  auto find = [&](const char* what, SInt32 from) {
    return SInt32(engine.Text().find(what, size_t(from)) + std::strlen(what));
  };
  // A template string opened: everything after it turns, and only the first
  // part is parsed at once.
  const SInt32 quote = find("return x", middle);
  engine.EditInParts(reparse, quote, 0, "`", 100);
  EXPECT_TRUE(reparse.Pending());
  EXPECT_TRUE(reparse.Continue(300));
  // Edits while the rest waits: far ahead of it (one that turns the text
  // after it too), ahead of it with a stretch that reaches back to where it
  // got, right ahead of it (which starts it again), in a string it has
  // passed, and taking the quote away.
  struct Step {
    const char* after;
    SInt32 from;  // characters past the quote, or past where the rest waits
    bool fromFront;
    SInt32 removed;
    const char* inserted;
    SInt32 slice;  // Continue's count afterwards
  } steps[] = {
      {"'thr", 5000, false, 0, "q", 200},
      {"return x", 7000, false, 0, "`", 300},
      {"'fou", 90, true, 0, "q", 100},
      {"var b", 20, true, 0, "q", 700},
      {"'fou", 10, false, 0, "x", 50},
      {"return x", 0, false, 1, "", 400},
      {"var t = ", 2000, false, 0, "/*", 0},
  };
  for (const Step& step : steps) {
    ASSERT_TRUE(reparse.Pending()) << step.inserted;
    const SInt32 front = reparse.PendingAt();
    const SInt32 at = step.removed > 0 ? quote : find(step.after, (step.fromFront ? front : quote) + step.from);
    engine.EditInParts(reparse, at, step.removed, step.inserted, 100, step.fromFront ? front - 5 : -1);
    if (step.slice > 0) reparse.Continue(step.slice);
  }
  while (reparse.Continue(1000)) {
  }
  EXPECT_EQ(FirstDifference(engine), -1);
}

// The colour of a name can hang on the word before it ("var b", "function
// f(") and on text after it (the declaration's pattern reads up to the
// parenthesis): an edit to either side colours the name afresh.
TEST(ReparseTest, AnEditAroundADeclarationColoursItsNameAfresh) {
  struct Case {
    const char* after;  // the edit goes right after the first of this text
    SInt32 removed;
    const char* inserted;
  } cases[] = {
      {"va", 0, "q"},             // "vaqr b": b is no declared name now
      {"var a = 'one'; // note it\rfunc", 0, "\\"},  // "func\tion f": nor is f a function
      {"var b", 0, "x"},          // another name declared
      {"function f(", 0, "\""},   // in the parenthesis the name's pattern reads to
      {"function", 0, " g"},      // "function g f(": g is the name now
      {"functio", 1, ""},         // "functio f"
      {"\rif (a) { b = 'four'; }\rva", 1, ""},  // "var t" loses its "r"
  };
  for (const Case& c : cases) {
    Engine engine;
    std::string text;
    for (int i = 0; i < 3; ++i) text += kBlock;
    engine.Put(0, 0, text);
    engine.ParseAll();
    const SInt32 at = SInt32(text.find(c.after, text.size() / 3) + std::strlen(c.after));
    engine.Edit(at, c.removed, c.inserted);
    EXPECT_EQ(FirstDifference(engine), -1) << c.after << " + " << c.inserted;
    // And back again.
    engine.Edit(at, SInt32(std::strlen(c.inserted)), c.removed > 0 ? text.substr(size_t(at), size_t(c.removed)) : "");
    EXPECT_EQ(engine.Text(), text);
    EXPECT_EQ(FirstDifference(engine), -1) << c.after << " back";
  }
}

// Random edits between slices: strings, comments and template strings
// opened and closed, letters typed and deleted, anywhere in the text; in one
// engine each edit's stretch is parsed only a little way past it and the
// rest continued in slices of random sizes (or not at all before the next
// edit), in the other each edit is re-parsed at once. Once drained, both
// must show the colours of a fresh parse.
TEST(ReparseTest, RandomEditsBetweenSlicesEndAsAFreshParse) {
  const char* const inserts[] = {"'", "\"", "`", "/*", "*/", "//", "q", " ", "\r", "\\", "${", "}"};
  for (unsigned seed = 0; seed < 300; ++seed) {
    std::mt19937 random(seed);
    Engine sliced, atOnce;
    std::string text;
    for (int i = 0; i < 12; ++i) text += kBlock;
    for (Engine* engine : {&sliced, &atOnce}) {
      engine->Put(0, 0, text);
      engine->ParseAll();
    }
    TDynamicReparse reparse;
    std::string steps;
    for (int step = 0; step < 8; ++step) {
      const SInt32 length = WEGetTextLength(sliced.we);
      const SInt32 at = 1 + SInt32(random() % unsigned(length - 1));
      const bool remove = random() % 4 == 0;
      const char* what = remove ? "" : inserts[random() % (sizeof inserts / sizeof inserts[0])];
      sliced.EditInParts(reparse, at, remove ? 1 : 0, what, SInt32(1 + random() % 300));
      atOnce.Edit(at, remove ? 1 : 0, what);
      steps += (remove ? " -" : " +") + std::to_string(at) + what;
      for (unsigned slices = random() % 3; slices > 0; --slices) reparse.Continue(SInt32(10 + random() % 400));
    }
    while (reparse.Continue(1000)) {
    }
    EXPECT_EQ(FirstDifference(atOnce), -1) << "at once, seed " << seed << ":" << steps;
    EXPECT_EQ(FirstDifference(sliced), -1) << "in slices, seed " << seed << ":" << steps;
  }
}

}  // namespace
