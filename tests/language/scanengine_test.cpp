// The scan engine: words and positions, bringing the text in (file and
// controller, chunk seams, decoded lengths), incremental spans, the controller
// protocol, notifications and the context stack.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HeadlessHost.h"
#include "TDocumentUnit.h"
#include "fixtures/ScanFixture.h"

using namespace scanfix;

namespace {

struct Observed {
  std::vector<std::pair<std::string, CFRange>> words;  // each complete word once
  std::vector<SInt32> positions;                        // absoluteOffset of every Run
  SInt16 maxRangeDepth = 0, maxScopeDepth = 0, maxBlockDepth = 0, maxContextDepth = 0;
  SInt32 advanceAt = -1;  // absolute offset at which the virtual clock moves on
};

void Inspect(TSyntaxParserProcess* process, void* userData) {
  auto* o = static_cast<Observed*>(userData);
  const ParserProcessState& st = process->state;
  o->positions.push_back(st.absoluteOffset);
  if (st.previousWordSpan.location != -1 &&
      (o->words.empty() || o->words.back().second.location != st.previousWordSpan.location))
    o->words.emplace_back(st.previousWord.str(), st.previousWordSpan);
  o->maxRangeDepth = std::max(o->maxRangeDepth, process->data.rangeDepth);
  o->maxScopeDepth = std::max(o->maxScopeDepth, process->data.scopeDepth);
  o->maxBlockDepth = std::max(o->maxBlockDepth, process->data.scopeBlockDepth);
  o->maxContextDepth = std::max(o->maxContextDepth, process->state.contextDepth);
  if (st.absoluteOffset == o->advanceAt) HeadlessAdvanceClock(1.0);
}

struct Notice {
  SInt16 kind;
  CFRange progress;
};

void Notified(FileDescriptorPtr, const SyntaxParserSource&, SInt16 kind, void* data, void* userData) {
  auto* notices = static_cast<std::vector<Notice>*>(userData);
  Notice n{kind, CFRangeMake(-1, -1)};
  if (kind == kSyntaxParserNotifyProgress) n.progress = *static_cast<CFRange*>(data);
  notices->push_back(n);
}

class CountingDocument : public TDocument {
 public:
  void Loaded() override { ++loaded; }
  int loaded = 0;
};

// Parses a file with no index; returns Create's result and the Run count.
struct FileParse {
  SInt32 result = 0;
  int runs = 0;
};
FileParse ParseFile(const FSRef& file, SyntaxLibraryPtr library, TSyntaxParserController* controller,
                    SyntaxParserDestination destination, TDocument* document = nullptr) {
  SyntaxParserSource source;
  source.library = library;
  source.file = file;
  source.controller = controller;
  source.document = document;
  auto* process = new TSyntaxParserProcess();
  FileParse r;
  r.result = process->Create(source, destination);
  if (r.result == 0) r.runs = RunToEnd(process);
  process->Free();
  return r;
}

bool StyledAs(const RecordingSyntaxController& c, CFIndex start, CFIndex end, SInt16 slot) {
  for (CFIndex i = start; i < end; ++i) {
    const auto& a = c.attributes[size_t(i)];
    if (!a.styled || !RecordingSyntaxController::Same(a.color, SlotColor(slot))) return false;
  }
  return true;
}

class ScanEngineTest : public ::testing::Test {
 protected:
  Languages languages;
};

TEST_F(ScanEngineTest, WordsEndAtTheirLastCharacterAndTheEndPositionIsVisited) {
  struct Case {
    std::string text;
    const char* language;
    std::vector<std::pair<std::string, CFRange>> words;
  };
  const std::string seventy(70, 'w');
  const std::vector<Case> cases = {
      {"ab cd", "scanempty", {{"ab", {0, 2}}, {"cd", {3, 5}}}},
      {seventy, "scanempty", {{std::string(63, 'w'), {0, 70}}}},
      {"$name x", "scandollar", {{"$name", {0, 5}}, {"x", {6, 7}}}},
      {"$name x", "scanempty", {{"name", {1, 5}}, {"x", {6, 7}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 12) + " / " + c.language);
    const FSRef file = MakeRef(languages.folder.Write("words.txt", c.text));
    Observed o;
    SyntaxParserDestination destination;
    destination.inspector = Inspect;
    destination.userData = &o;
    const FileParse r = ParseFile(file, languages.Get(c.language), nullptr, destination);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.runs, int(c.text.size()) + 1);
    ASSERT_EQ(o.words.size(), c.words.size());
    for (size_t i = 0; i < c.words.size(); ++i) {
      EXPECT_EQ(o.words[i].first, c.words[i].first);
      EXPECT_EQ(o.words[i].second.location, c.words[i].second.location);
      EXPECT_EQ(o.words[i].second.length, c.words[i].second.length);
    }
  }
}

// The scan steps over characters where an opening needs a context, a scope,
// its word before it, a line start or a second character that the text or
// the state does not give: it must find what a parse that reads every
// character finds.
TEST_F(ScanEngineTest, StopsThatNeedMoreThanTheirCharacterAreSteppedOverOnlyWhereNothingOpens) {
  // A language whose openings inside a tag are bound to the tag's context.
  languages.folder.Write("scanbound.plist", R"PL(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
 <key>class: embedded-language</key><dict>
  <key>define: inner</key><dict>
   <key>open</key><string>{{</string><key>close</key><string>}}</string>
   <key>open-context</key><string>tag</string><key>close-context</key><string>tag</string>
   <key>language</key><string>scaninner</string>
  </dict>
 </dict>
 <key>class: range</key><dict>
  <key>define: tag</key><dict>
   <key>open</key><string>&lt;</string><key>close</key><string>&gt;</string>
   <key>style</key><string>keyword</string><key>apply-context</key><string>tag</string>
   <key>context</key><string>empty</string>
  </dict>
  <key>define: value</key><dict>
   <key>open</key><string>'</string><key>close</key><string>'</string>
   <key>style</key><string>string</string><key>apply-context</key><string>value</string>
   <key>context</key><string>tag</string>
  </dict>
 </dict>
 <key>class: prefix</key><dict>
  <key>define: id</key><dict>
   <key>prefixes</key><array><string>#</string></array>
   <key>style</key><string>variable</string><key>actions</key><array><string>style</string></array>
   <key>context</key><string>tag</string>
  </dict>
 </dict>
</dict></plist>
)PL");
  languages.collection->LoadLibrary(Str63("scanbound"));
  struct Case {
    const char* language;
    std::string text;
  };
  const std::vector<Case> cases = {
      // An embedded language and prefixes bound to the empty context, in it
      // and in strings and comments.
      {"scanfix", "a <?x inner 'q' ?> $v @w \"in <?x $s @t\" // <?x $c @d\r/* <?x $e */ b<?x inner?>$f@g\r"},
      // Openings after their word, at a line start, with a second character.
      {"scanfix", "q{x} q {y} aq{z} (q) =begin mid\r=begin doc\r=end a/ b // c\r/ * d /* e */ %x %[f]%\r"},
      // Openings bound to another context, in it and out of it.
      {"scanbound", "a 'b' #c {{inner 'd'}} <e 'f' #g {{inner 'h'}} i> 'j' #k {{l}} <m #n>\r"},
  };
  const auto record = [](const RecordingSyntaxController& controller) {
    std::vector<std::string> out;
    for (const auto& c : controller.calls) {
      std::string s = std::to_string(int(c.kind)) + "@" + std::to_string(c.span.location) + "-" +
                      std::to_string(c.span.length);
      if (c.kind == RecordingSyntaxController::kStyleRange)
        s += " " + std::to_string(c.style.textColor.red) + "," + std::to_string(c.style.textColor.green) + "," +
             std::to_string(c.style.textColor.blue);
      if (c.kind == RecordingSyntaxController::kApplyEmbeddedLanguage) s += " " + c.language.str();
      out.push_back(s);
    }
    return out;
  };
  for (const Case& c : cases) {
    const std::string& text = c.text;
    SCOPED_TRACE(text.substr(0, 20));
    ASSERT_NE(languages.Get(c.language), nullptr);
    RecordingSyntaxController watched(text.c_str());
    Observed o;
    SyntaxParserDestination every;
    every.inspector = Inspect;
    every.userData = &o;
    ASSERT_EQ(ParseText(watched, languages.Get(c.language), every), 0);
    RecordingSyntaxController skipped(text.c_str());
    ASSERT_EQ(ParseText(skipped, languages.Get(c.language)), 0);
    EXPECT_FALSE(watched.calls.empty());
    EXPECT_EQ(record(skipped), record(watched));
  }
}

// A text of 70000 characters with the keyword "echo" across the first chunk
// seam and at the very end.
std::string SeamText() {
  std::string text(32765, 'a');
  text += " echo ";
  while (text.size() < 70000 - 5) text += "bb ";
  text.resize(70000 - 5, ' ');
  text += " echo";
  return text;
}

TEST_F(ScanEngineTest, AFileArrivesInChunksAndWordsAcrossASeamAreReadWhole) {
  const std::string text = SeamText();
  ASSERT_EQ(text.size(), 70000u);
  ASSERT_EQ(text.substr(32766, 4), "echo");
  const FSRef file = MakeRef(languages.folder.Write("seam.txt", text));
  RecordingSyntaxController controller;
  const FileParse r = ParseFile(file, languages.Get("scanfix"), &controller, {});
  ASSERT_EQ(r.result, 0);
  const auto inserts = controller.CallsOf(RecordingSyntaxController::kInsertText);
  ASSERT_EQ(inserts.size(), 3u);
  EXPECT_EQ(inserts[0].span.length - inserts[0].span.location, 32768);
  EXPECT_EQ(inserts[1].span.length - inserts[1].span.location, 32768);
  EXPECT_EQ(inserts[2].span.length - inserts[2].span.location, 4464);
  EXPECT_EQ(controller.text.size(), 70000u);
  EXPECT_TRUE(StyledAs(controller, 32766, 32770, 9));
  EXPECT_TRUE(StyledAs(controller, 69996, 70000, 9));
  for (const auto& call : controller.CallsOf(RecordingSyntaxController::kStyleRange)) {
    EXPECT_GE(call.span.location, 0);
    EXPECT_LE(call.span.length, 70000);
  }
  // The view is drawn once its first chunk is in, and again at the end.
  EXPECT_GE(controller.redraws, 2);
}

TEST_F(ScanEngineTest, AControllerTextIsStreamedInChunksAndSeamsAreReadWhole) {
  const std::string text = SeamText();
  RecordingSyntaxController controller(text.c_str());
  ASSERT_EQ(ParseText(controller, languages.Get("scanfix")), 0);
  const auto streams = controller.CallsOf(RecordingSyntaxController::kStreamText);
  // Pieces one after the other, from a small first one up to at most
  // 32768 units, to the end of the text (spans run from start to end).
  ASSERT_GT(streams.size(), 2u);
  EXPECT_EQ(streams.front().span.location, 0);
  EXPECT_LE(streams.front().span.length, 4096);
  for (size_t i = 0; i < streams.size(); ++i) {
    EXPECT_LE(streams[i].span.length - streams[i].span.location, 32768);
    if (i > 0) EXPECT_EQ(streams[i].span.location, streams[i - 1].span.length);
  }
  EXPECT_EQ(streams.back().span.length, 70000);
  EXPECT_TRUE(StyledAs(controller, 32766, 32770, 9));
  EXPECT_TRUE(StyledAs(controller, 69996, 70000, 9));
}

TEST_F(ScanEngineTest, TheEndOfAFileIsItsDecodedLength) {
  struct Case {
    const char* name;
    std::string bytes;
    SInt32 length;         // decoded characters
    CFIndex echoAt;        // where "echo" is styled, -1 for none
  };
  const std::vector<Case> cases = {
      {"utf8 crlf", "\xC3\xA9\r\necho x\r\n", 9, 2},
      {"utf8 with mark", "\xEF\xBB\xBF" "echo", 4, 0},
      {"lone cr and lf", "a\rb\necho", 8, 4},
      {"not utf8", "\xFF\xFE echo", 7, 3},
      {"truncated utf8", "echo \xE2\x82", 7, 0},
      {"empty", "", 0, -1},
      {"binary", std::string("\0\1\2\xC0\xFF\0echo", 10), 10, 6},
      {"no line ends", std::string(5000, 'z') + " echo", 5005, 5001},
      // Line endings on either side of sixteen-byte steps, a LF after a CR
      // that ended the step before among them.
      {"endings across steps",
       std::string(15, 'a') + "\r\n" + std::string(14, 'b') + "\n\n" + std::string(16, 'c') + "\r" +
           std::string(15, 'd') + "\r\n echo",
       70, 66},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FSRef file = MakeRef(languages.folder.Write("decoded.txt", c.bytes));
    RecordingSyntaxController controller;
    Observed o;
    SyntaxParserDestination destination;
    destination.inspector = Inspect;
    destination.userData = &o;
    const FileParse r = ParseFile(file, languages.Get("scanfix"), &controller, destination);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(SInt32(controller.text.size()), c.length);
    ASSERT_FALSE(o.positions.empty());
    EXPECT_EQ(o.positions.back(), c.length);
    for (char16_t ch : controller.text) EXPECT_NE(ch, u'\n');
    if (c.echoAt >= 0) EXPECT_TRUE(StyledAs(controller, c.echoAt, c.echoAt + 4, 9));
  }
}

TEST_F(ScanEngineTest, AnIncrementalParseStopsOnceOnlyTheEmptyContextIsOpen) {
  struct Case {
    const char* name;
    std::vector<std::pair<size_t, std::string>> edits;  // text placed at an offset
    SInt32 lastPosition;
  };
  const std::vector<Case> cases = {
      {"plain text", {}, 120},
      {"string open to the end", {{110, "\""}}, 1000},
      {"string closed later", {{110, "\""}, {150, "\""}}, 150},
      {"unbalanced range", {{110, "%["}, {130, "]%"}}, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    while (text.size() < 1000) text += "x ";
    for (const auto& [at, piece] : c.edits) text.replace(at, piece.size(), piece);
    RecordingSyntaxController controller(text.c_str());
    Observed o;
    SyntaxParserDestination destination;
    destination.inspector = Inspect;
    destination.userData = &o;
    ASSERT_EQ(ParseText(controller, languages.Get("scanfix"), destination, CFRangeMake(100, 120), true), 0);
    ASSERT_FALSE(o.positions.empty());
    EXPECT_EQ(o.positions.front(), 100);
    EXPECT_EQ(o.positions.back(), c.lastPosition);
  }
}

TEST_F(ScanEngineTest, IncrementalParsesFollowEmbeddedLanguages) {
  // Entering an embedded language is reported with its data.
  struct Entered {
    std::vector<CFRange> spans;
    std::vector<std::string> outer;
  } entered;
  SyntaxParserDestination destination;
  destination.notification = [](FileDescriptorPtr, const SyntaxParserSource&, SInt16 kind, void* data, void* u) {
    ASSERT_EQ(kind, kSyntaxParserNotifyEmbeddedLanguage);
    const auto* embedded = static_cast<const ParserEmbeddedLanguageData*>(data);
    static_cast<Entered*>(u)->spans.push_back(embedded->span);
    static_cast<Entered*>(u)->outer.push_back(embedded->definition.language.str());
  };
  destination.userData = &entered;
  RecordingSyntaxController controller("a <?x inner ?> b");
  ASSERT_EQ(ParseText(controller, languages.Get("scanfix"), destination, CFRangeMake(0, 16), true), 0);
  ASSERT_EQ(entered.spans.size(), 1u);
  EXPECT_EQ(entered.spans[0].location, 3);
  EXPECT_EQ(entered.outer[0], "scaninner");
  EXPECT_TRUE(StyledAs(controller, 6, 11, 9));

  // Text that an earlier parse marked as another language ends a range
  // before it.
  RecordingSyntaxController marked("ab \"cd ef");
  for (size_t i = 6; i < 9; ++i) marked.attributes[i].language = Str63("scaninner");
  ASSERT_EQ(ParseText(marked, languages.Get("scanfix"), {}, CFRangeMake(0, 9), true), 0);
  EXPECT_TRUE(StyledAs(marked, 3, 5, 11));
  EXPECT_FALSE(marked.attributes[5].styled);
  EXPECT_FALSE(marked.attributes[6].styled);
}

TEST_F(ScanEngineTest, ControllerCallsFollowTheParseProtocol) {
  const char* text = "x echo y";
  {
    SCOPED_TRACE("whole text");
    RecordingSyntaxController controller(text);
    ASSERT_EQ(ParseText(controller, languages.Get("scanfix")), 0);
    const auto& calls = controller.calls;
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls.front().kind, RecordingSyntaxController::kPrepare);
    EXPECT_FALSE(calls.front().done);
    EXPECT_EQ(calls[1].kind, RecordingSyntaxController::kResetRange);
    EXPECT_EQ(calls[2].kind, RecordingSyntaxController::kResetTracking);
    EXPECT_EQ(calls[2].span.length, 8);
    EXPECT_EQ(calls.back().kind, RecordingSyntaxController::kPrepare);
    EXPECT_TRUE(calls.back().done);
    EXPECT_EQ(calls[calls.size() - 2].kind, RecordingSyntaxController::kRedraw);
    EXPECT_TRUE(StyledAs(controller, 2, 6, 9));
  }
  {
    SCOPED_TRACE("incremental, styles kept");
    RecordingSyntaxController controller(text);
    ASSERT_EQ(ParseText(controller, languages.Get("scanfix"), {}, CFRangeMake(2, 6), true,
                        kSyntaxParserProcessDontReset),
              0);
    EXPECT_TRUE(controller.CallsOf(RecordingSyntaxController::kResetRange).empty());
    EXPECT_TRUE(controller.CallsOf(RecordingSyntaxController::kResetTracking).empty());
    EXPECT_EQ(controller.redraws, 0);
    EXPECT_EQ(controller.preparedAfter, 1);
    // Spans reach the text through the data offset of the span's start.
    const auto styles = controller.CallsOf(RecordingSyntaxController::kStyleRange);
    ASSERT_EQ(styles.size(), 1u);
    EXPECT_EQ(styles[0].span.location, 2);
    EXPECT_EQ(styles[0].span.length, 6);
    EXPECT_TRUE(StyledAs(controller, 2, 6, 9));
  }
}

TEST_F(ScanEngineTest, APartThatNoLanguageReadsFailsAndRestoresTheController) {
  const FSRef pascal = MakeRef(languages.folder.Write("Main.pas", "begin end."));
  RecordingSyntaxController controller;
  SyntaxParserDestination destination;
  destination.collection = languages.collection.get();
  std::vector<Notice> notices;
  destination.notification = Notified;
  destination.userData = &notices;
  EXPECT_EQ(ParseFile(pascal, nullptr, &controller, destination).result, -1);
  EXPECT_EQ(controller.preparedBefore, 1);
  EXPECT_EQ(controller.preparedAfter, 1);
  EXPECT_EQ(controller.redraws, 1);
  EXPECT_TRUE(notices.empty());

  // A library but no file to read: the file system's error.
  FSRef missing{};
  RecordingSyntaxController other;
  EXPECT_NE(ParseFile(missing, languages.Get("scanfix"), &other, destination).result, 0);
  EXPECT_EQ(other.preparedAfter, 1);
}

TEST_F(ScanEngineTest, AWholeParseReportsStartProgressAndEndAndTellsItsDocument) {
  HeadlessUseVirtualClock(true);
  std::string text;
  while (text.size() < 1000) text += "ab ";
  text.resize(1000);
  const FSRef file = MakeRef(languages.folder.Write("progress.txt", text));
  std::vector<Notice> notices;
  Observed o;
  o.advanceAt = 500;
  SyntaxParserDestination destination;
  // The callbacks share one user data.
  struct Both {
    Observed* observed;
    std::vector<Notice>* notices;
  } both{&o, &notices};
  destination.inspector = [](TSyntaxParserProcess* p, void* u) { Inspect(p, static_cast<Both*>(u)->observed); };
  destination.notification = [](FileDescriptorPtr d, const SyntaxParserSource& s, SInt16 k, void* data, void* u) {
    Notified(d, s, k, data, static_cast<Both*>(u)->notices);
  };
  destination.userData = &both;
  CountingDocument document;
  ASSERT_EQ(ParseFile(file, languages.Get("scanfix"), nullptr, destination, &document).result, 0);
  ASSERT_GE(notices.size(), 4u);
  EXPECT_EQ(notices.front().kind, kSyntaxParserNotifyStarted);
  EXPECT_EQ(notices.back().kind, kSyntaxParserNotifyFinished);
  std::vector<CFRange> progress;
  for (const Notice& n : notices)
    if (n.kind == kSyntaxParserNotifyProgress) progress.push_back(n.progress);
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress[0].location, 0);
  // The clock moved at the half; it is read a few characters apart.
  EXPECT_GE(progress[1].location, 50);
  EXPECT_LE(progress[1].location, 52);
  EXPECT_EQ(progress[1].length, 100);
  EXPECT_EQ(document.loaded, 1);

  // An incremental parse reports none of it and leaves the document alone.
  notices.clear();
  RecordingSyntaxController controller(text.c_str());
  SyntaxParserSource source;
  source.library = languages.Get("scanfix");
  source.controller = &controller;
  source.document = &document;
  source.span = CFRangeMake(10, 20);
  auto* process = new TSyntaxParserProcess();
  process->incremental = true;
  process->fromController = true;
  ASSERT_EQ(process->Create(source, destination), 0);
  RunToEnd(process);
  process->Free();
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(document.loaded, 1);
  HeadlessUseVirtualClock(false);
}

TEST_F(ScanEngineTest, TheContextStackHoldsTenAndKeepsItsBottom) {
  RecordingSyntaxController controller("x");
  SyntaxParserSource source;
  source.library = languages.Get("scanfix");
  source.controller = &controller;
  auto* process = new TSyntaxParserProcess();
  ASSERT_EQ(process->Create(source, {}), 0);
  EXPECT_EQ(process->state.contextDepth, 1);
  EXPECT_EQ(process->TopContext().str(), "empty");
  for (int i = 1; i <= 12; ++i) process->SetContext(Str63(("c" + std::to_string(i)).c_str()));
  EXPECT_EQ(process->state.contextDepth, 10);
  EXPECT_EQ(process->TopContext().str(), "c12");
  EXPECT_EQ(process->state.context[9].str(), "c8");
  for (int i = 0; i < 20; ++i) process->ClearContext();
  EXPECT_EQ(process->state.contextDepth, 1);
  EXPECT_EQ(process->TopContext().str(), "empty");
  // Reading around the text never goes past it.
  EXPECT_EQ(process->GetCharacterAtOffset(-5), 0);
  EXPECT_EQ(process->GetCharacterAtOffset(100), 0);
  RunToEnd(process);
  process->Free();
}

TEST_F(ScanEngineTest, HostileSpansAreKeptInsideTheText) {
  struct Case {
    CFRange span;
  };
  for (const Case& c : {Case{{-50, 3}}, Case{{5, 2}}, Case{{400, 900}}, Case{{3, 1000000}}}) {
    SCOPED_TRACE(std::to_string(c.span.location) + "," + std::to_string(c.span.length));
    RecordingSyntaxController controller("echo \"x\" echo");
    Observed o;
    SyntaxParserDestination destination;
    destination.inspector = Inspect;
    destination.userData = &o;
    ASSERT_EQ(ParseText(controller, languages.Get("scanfix"), destination, c.span, true), 0);
    for (SInt32 p : o.positions) {
      EXPECT_GE(p, 0);
      EXPECT_LE(p, 13);
    }
  }
}

}  // namespace
