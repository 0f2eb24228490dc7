// The re-parse after an edit inside PHP blocks of an HTML page, driven as the
// source editor drives it: the language in force at the edit, the stretch
// widened from the styles and the language marks, the whole block parsed
// again from HTML when the edit may have opened or closed one. After every
// edit the colours and language marks must be those of a fresh parse of the
// whole text, and a re-parse that need not run on stops near the edit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "DynamicParser.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "WASTE.h"

namespace {

constexpr RGBColor kNil{0x1111, 0x2222, 0x3333};

TSyntaxCollection* Collection() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* name : {"html", "php", "javascript", "css"}) c->LoadLibrary(Str63(name));
    return c;
  }();
  return collection;
}

SyntaxLibraryPtr Html() { return Collection()->GetLanguageLibrary(Str63("html")); }

struct Engine {
  WEReference we = nullptr;
  TWASTEController controller;
  SInt32 parsed = 0;  // characters the last re-parse went through
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
  static void Notified(FileDescriptorPtr, const SyntaxParserSource&, SInt16 kind, void* data, void* userData) {
    // An embedded language opened by the re-parse: what follows it is reset
    // through its close, as the editor does.
    if (kind != kSyntaxParserNotifyEmbeddedLanguage || data == nullptr) return;
    const auto* embedded = static_cast<const ParserEmbeddedLanguageData*>(data);
    ResetLanguageRange(SInt32(embedded->span.location), embedded->close, static_cast<TWASTEController*>(userData));
  }
  void Parse(SyntaxLibraryPtr library, CFRange span, bool incremental) {
    SyntaxParserSource source;
    source.library = library;
    source.span = span;
    source.controller = &controller;
    SyntaxParserDestination destination;
    destination.collection = Collection();
    destination.notification = Notified;
    destination.userData = &controller;
    auto* process = new TSyntaxParserProcess();
    process->incremental = incremental;
    process->fromController = incremental;
    parsed = 0;
    if (process->Create(source, destination) == 0) {
      TSyntaxParserProcess* next = nullptr;
      const SInt32 first = SInt32(span.location);
      while (process->Run(next) == 1) {
      }
      parsed = process->state.absoluteOffset - first;
    }
    process->Free();
  }
  void ParseAll() { Parse(Html(), CFRangeMake(0, WEGetTextLength(we)), false); }
  // An edit as the source editor makes it (the flux callback).
  void Edit(SInt32 at, SInt32 removed, const std::string& inserted) {
    // The mode follows the language under the insertion point.
    const Str63 name = controller.GetEmbeddedLanguage(at);
    SyntaxLibraryPtr library = name == Str63("default") ? Html() : Collection()->GetLanguageLibrary(name);
    Put(at, at + removed, inserted);
    const SInt32 delta = inserted.empty() ? -removed : SInt32(inserted.size());
    SInt32 end = at;
    if (delta > 1) end = at + delta;
    else if (delta < 1) end = at + 1;
    const CFRange widened = FindContinuosRange(CFRangeMake(at - 1, end), &controller);
    SInt32 start = SInt32(widened.location), stop = SInt32(widened.length);
    if (delta > 1) {
      const Str63 before = controller.GetEmbeddedLanguage(at - 1);
      if (!(before == Str63("default"))) {
        controller.SetDataOffset(0);
        controller.ApplyEmbeddedLanguage(CFRangeMake(at, at + delta), before);
      }
    }
    const CFRange lang = FindLanguageRange(at, delta, Str63("html"), &controller);
    if (lang.location > 0 && lang.length > 0 &&
        PreParseEmbeddedLanguage(at, lang, Html(), we) == kEmbeddedLanguageReparse) {
      start = SInt32(lang.location);
      stop = SInt32(lang.length);
      library = Html();
      controller.ResetRange(lang);
      controller.ResetTracking(lang);
    }
    if (start == stop) return;
    Parse(library, CFRangeMake(std::max<SInt32>(start, 0), stop), true);
  }
};

// A page of HTML around a long PHP block, and a short one in an attribute.
std::string Page() {
  std::string page = "<div class=\"row\"><p>Total: <b>12</b></p>\r<?php\r";
  for (int i = 0; i < 30; ++i)
    page += "$name = 'one two'; // a note\r"
            "function total($rows) { return count($rows) + 1; }\r"
            "$html = \"<b>{$name}</b>\" . /* inner */ 'three';\r";
  page += "?>\r<a href=\"view.php?id=<?= $id ?>\">view</a>\r";
  return page;
}

// The first offset where the colours or language marks differ from a fresh
// parse, -1 when none.
SInt32 FirstDifference(Engine& edited) {
  Engine fresh;
  const std::string text = edited.Text();
  fresh.Put(0, 0, text);
  fresh.ParseAll();
  for (SInt32 i = 0; i < SInt32(text.size()); ++i) {
    if (!CompareRGBColor(edited.controller.GetOffsetColor(i), fresh.controller.GetOffsetColor(i))) return i;
    if (!(edited.controller.GetEmbeddedLanguage(i) == fresh.controller.GetEmbeddedLanguage(i))) return i;
  }
  return -1;
}

TEST(EmbeddedReparseTest, EveryEditLeavesTheColoursOfAFreshParse) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += Page();
  // Each edit on a freshly parsed page, then the text put back.
  struct Step {
    const char* after;  // the edit goes right after this text, past the middle
    const char* inserted;
    bool putBack;
  } steps[] = {
      {"return count", "q", true},              // a letter in code
      {"'one t", "q", true},                    // in a string
      {"// a no", "'", true},                   // a quote in a comment
      {"$name = ", "'", true},                  // opens a string that swallows the block's close
      {"/* inn", "*/", true},                   // ends a comment early
      {"return count", "?>", true},             // ends the block in the middle of code
      {"<p>Tot", "<?php $a = 'x", true},        // opens a block in the HTML before one
      {"<b>12", "<!--", true},                  // an HTML comment before the block
      {"function total", " <<<EOT\r", false},  // a heredoc that nothing closes
      {"<?", "x", true},                        // the opening spoilt
  };
  for (const Step& step : steps) {
    Engine engine;
    engine.Put(0, 0, text);
    engine.ParseAll();
    const SInt32 at = SInt32(text.find(step.after, text.size() / 2) + std::strlen(step.after));
    engine.Edit(at, 0, step.inserted);
    EXPECT_EQ(FirstDifference(engine), -1) << "typed " << step.inserted << " after " << step.after;
    if (!step.putBack) continue;
    engine.Edit(at, SInt32(std::strlen(step.inserted)), "");
    EXPECT_EQ(FirstDifference(engine), -1) << "took away " << step.inserted << " after " << step.after;
  }
}

TEST(EmbeddedReparseTest, AnEditInOrBeforeABlockStopsNearIt) {
  Engine engine;
  std::string text;
  for (int i = 0; i < 4; ++i) text += Page();
  engine.Put(0, 0, text);
  engine.ParseAll();
  const SInt32 middle = SInt32(text.size()) / 2;
  // In code, a string and a comment of the block; in the HTML right before
  // it, where the re-parse enters the block the earlier parse entered too.
  for (const char* what : {"return count", "'one t", "// a no", "<p>Total: <b>1", "</p>"}) {
    const SInt32 at = SInt32(engine.Text().find(what, size_t(middle)) + std::strlen(what));
    engine.Edit(at, 0, "q");
    EXPECT_LT(engine.parsed, 200) << what;
    EXPECT_EQ(FirstDifference(engine), -1) << what;
  }
}

// An HTML page with PHP, a style sheet and a script in it.
std::string MixedPage() {
  std::string page = "<html><head>\r<style>\rbody { color: #333; } /* note */\r</style>\r"
                     "<script type=\"text/javascript\">\rvar a = 'one'; // two\rfunction f(x) { return x + 1; }\r"
                     "</script>\r</head><body>\r<?php\r";
  for (int i = 0; i < 12; ++i)
    page += "$name = 'one two'; // a note\r"
            "class C" + std::to_string(i) + " { function total($rows) { return count($rows) + 1; } }\r";
  page += "?>\r<p style=\"width: 10px\">Total <?= $n ?></p>\r</body></html>\r";
  return page;
}

// The value of a mark character by character, each character read alone.
std::string MarkAt(SInt32 i, WESelector tag, WEReference we) {
  char value[64] = {};
  if (WEGetOneAttribute(i, tag, value, sizeof value, we) != noErr) return std::string();
  return std::string("=") + std::string(value, sizeof value);
}

TEST(EmbeddedReparseTest, RandomKeysKeepTheMarkedStretchesAWalkFinds) {
  const char* typed[] = {"q", " ", "'", "\r", "?>", "<?php ", "*/", "}", "</style>"};
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Engine engine;
    engine.Put(0, 0, MixedPage() + MixedPage());
    engine.ParseAll();
    for (int step = 0; step < 60; ++step) {
      const SInt32 length = WEGetTextLength(engine.we);
      const SInt32 at = 1 + SInt32(rng() % unsigned(length - 2));
      if (rng() % 3 == 0)
        engine.Edit(at, 1 + SInt32(rng() % 3), "");
      else
        engine.Edit(at, 0, typed[rng() % 9]);
      for (int q = 0; q < 6; ++q) {
        const SInt32 n = WEGetTextLength(engine.we);
        const SInt32 i = SInt32(rng() % unsigned(n));
        const WESelector tag = kSyntaxLanguageTag;
        const std::string v = MarkAt(i, tag, engine.we);
        SInt32 from = i, to = i + 1;
        while (from > 0 && MarkAt(from - 1, tag, engine.we) == v) --from;
        while (to < n && MarkAt(to, tag, engine.we) == v) ++to;
        SInt32 a = -1, b = -1;
        ASSERT_EQ(WEGetAttributeExtent(i, tag, &a, &b, engine.we), noErr);
        ASSERT_EQ(std::make_pair(a, b), std::make_pair(from, to)) << "step " << step << " at " << i;
      }
    }
  }
}

}  // namespace
