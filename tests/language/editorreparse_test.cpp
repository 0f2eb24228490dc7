// Edits in the source editor over a real text view, each re-parsed as the
// editor re-parses a key: the stretch and what the view shows at once, the
// rest in slices from the main loop. Once the slices are done the colours
// and language marks must be those a whole re-parse of the same text gives:
// PHP in HTML (attributes, short blocks, heredocs), Ruby heredocs and
// JavaScript; and a key that turns the rest of a long file waits only for
// a part of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "DynamicParser.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "fixtures/EditorFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;
using namespace editortest;

namespace {

// The languages of the samples.
TSyntaxCollection* SampleLanguages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* language : {"html", "php", "javascript", "css", "ruby"}) c->LoadLibrary(language);
    return c;
  }();
  return collection;
}

// What a parse left on one character.
struct Mark {
  RGBColor colour;
  std::string language;
};

struct Step {
  const char* after;  // the edit goes right after the first of this text
  SInt32 removed;     // characters taken away there first
  const char* inserted;
};

struct Sample {
  const char* file;
  std::string text;
  std::vector<Step> steps;
};

struct EditorReparseTest : ScratchTest {
  TFileSystem* index = nullptr;
  TWASTEDocument* document = nullptr;
  TQVEditor* editor = nullptr;
  WEReference we = nullptr;
  SInt32 scanned = 0;  // characters the parse went through during the last edit

  void SetUp() override {
    ScratchTest::SetUp();
    RegisterEditorViewsOnce();
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), SampleLanguages(), nullptr);
    index->SetRoot(RefOf(scratch));
  }
  void TearDown() override {
    Close();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }
  void Close() {
    if (editor != nullptr) editor->ReleaseViewObject();
    if (document != nullptr) document->Release();
    editor = nullptr;
    document = nullptr;
  }

  // Counts the characters the parse goes through, then passes them on.
  static SyntaxParserStateCallback& Next() {
    static SyntaxParserStateCallback next = nullptr;
    return next;
  }
  static SInt32& Scanned() {
    static SInt32 count = 0;
    return count;
  }
  static void Count(UniChar c, const Str63& word, Boolean reserved, SInt32 offset, const Str63& context, void* data) {
    ++Scanned();
    if (Next() != nullptr) Next()(c, word, reserved, offset, context, data);
  }

  void Open(const std::string& name, const std::string& text) {
    Close();
    WriteText(scratch + "/" + name, text);
    document = new TWASTEDocument();
    document->Create(RefOf(scratch + "/" + name));
    editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetFileSystem(index);
    editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
    editor->Create("Source Pane", EditorNib());
    ASSERT_NE(editor->view, nullptr);
    we = editor->GetWE();
    editor->AddModeMenu();
    editor->Load();
    // The file comes in from the main loop, then its parse.
    for (int i = 0; i < 100000 && WEGetTextLength(we) < SInt32(text.size()); ++i) HeadlessAdvanceClock(0.001);
    ASSERT_EQ(WEGetTextLength(we), SInt32(text.size()));
    Finish();
  }
  void Finish() {
    for (int i = 0; i < 100000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
  }
  // The main loop runs until the edits' slices are done.
  void Drain() {
    for (int i = 0; i < 100000 && editor->parser->EditPending(); ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->EditPending());
  }
  // An edit as typed or pasted, the mode that of the language at the caret.
  // followMode false: the key comes before the mode has followed the caret.
  void Edit(SInt32 at, SInt32 removed, const std::string& inserted, bool followMode = true) {
    WESetSelection(at, at, we);
    if (followMode) editor->SetSyntaxMode(Str255(editor->GetController()->GetEmbeddedLanguage(at)), false);
    TSyntaxParser* parser = editor->parser;
    Next() = parser->destination.stateCallback;
    Scanned() = 0;
    parser->destination.stateCallback = Count;
    if (removed > 0) {
      WESetSelection(at, at + removed, we);
      WEDelete(we);
    }
    if (!inserted.empty())
      WEPut(at, at, inserted.data(), inserted.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
    parser->destination.stateCallback = Next();
    scanned = Scanned();
  }
  std::vector<Mark> Marks() {
    std::vector<Mark> marks;
    TWASTEController* controller = editor->GetController();
    for (SInt32 i = 0; i < WEGetTextLength(we); ++i)
      marks.push_back({controller->GetOffsetColor(i), controller->GetEmbeddedLanguage(i).str()});
    return marks;
  }
  // The first offset where the colours or language marks differ from those
  // of a whole re-parse, -1 when none. The whole re-parse stays.
  SInt32 FirstDifference() {
    const std::vector<Mark> edited = Marks();
    // From the file's own language, as it opened.
    editor->SetSyntaxMode("default", false);
    editor->Refresh();
    Finish();
    const std::vector<Mark> fresh = Marks();
    for (size_t i = 0; i < std::min(edited.size(), fresh.size()); ++i)
      if (!CompareRGBColor(edited[i].colour, fresh[i].colour) || edited[i].language != fresh[i].language)
        return SInt32(i);
    return edited.size() == fresh.size() ? -1 : SInt32(std::min(edited.size(), fresh.size()));
  }
  SInt32 After(const std::string& what, size_t from = 0) {
    const size_t at = TextOf(we).find(what, from);
    EXPECT_NE(at, std::string::npos) << what;
    return SInt32(at + what.size());
  }
  void Run(const Sample& sample);
  std::string Around(SInt32 at) {
    std::string s = TextOf(we).substr(size_t(std::max(0, at - 30)), 60);
    std::replace(s.begin(), s.end(), '\r', '|');
    return s;
  }
};

const char* const kPage =
    "<html>\r"
    "<body class=\"main\">\r"
    "<a href=\"view.php?id=<?= $id ?>\">view</a>\r"
    "<p title='total'>Total: <?php echo $total; ?></p>\r"
    "<?php\r"
    "function total($rows) { return count($rows) + 1; }\r"
    "$name = 'one two'; // a note\r"
    "$text = <<<EOT\r"
    "Dear $name, your total is {$total}.\r"
    "EOT;\r"
    "function <<<EOT\r"
    "not a name\r"
    "EOT;\r"
    "$html = \"<b>{$name}</b>\" . /* inner */ 'three';\r"
    "?>\r"
    "<div id=\"end\"><a href=\"list.php?page=<?= $page ?>\">next</a></div>\r"
    "</body>\r"
    "</html>\r";

const char* const kRuby =
    "def total(rows)\r"
    "  text = <<~EOS\r"
    "    Total: #{rows.size} items\r"
    "    def not_a_method\r"
    "  EOS\r"
    "  rows.sum { |r| r.price } # the sum\r"
    "end\r"
    "\r"
    "def name\r"
    "  @name = <<-TEXT.strip\r"
    "    plain 'text' here\r"
    "  TEXT\r"
    "  \"#{@name} done\"\r"
    "end\r";

const char* const kScript =
    "var a = 'one'; // note it\r"
    "function f(x) { return x + 1; }\r"
    "var b = \"two\" + /* inner */ 'three';\r"
    "if (a) { b = 'four'; }\r"
    "var t = `with ${a} in it`;\r";

// A key typed in a file just opened, before the mode has followed the caret
// even once, is re-parsed in the language of the text it goes into.
TEST_F(EditorReparseTest, AKeyBeforeTheModeFollowedTheCaretIsReparsed) {
  const struct {
    const char* file;
    std::string text;
    const char* after;
    const char* inserted;
  } cases[] = {
      {"page.php", kPage, "+ 1; }\r", "x"},   // x$name: no variable any more
      {"page.php", kPage, "$name = ", "\""},  // a string that runs on
      {"stock.rb", kRuby, "text = ", "#"},    // the rest of the line a comment
      {"app.js", kScript, "var a = ", "'"},
  };
  for (const auto& c : cases) {
    Open(c.file, c.text);
    const SInt32 at = After(c.after);
    Edit(at, 0, c.inserted, false);
    Drain();
    EXPECT_EQ(FirstDifference(), -1) << c.file << ": typed at " << Around(at);
  }
}

// Each edit on the text as the one before left it, drained and checked.
void EditorReparseTest::Run(const Sample& sample) {
  Open(sample.file, sample.text);
  for (const Step& step : sample.steps) {
    const SInt32 at = After(step.after, 0);
    Edit(at, step.removed, step.inserted);
    Drain();
    EXPECT_EQ(FirstDifference(), -1) << sample.file << ": " << (step.removed > 0 ? "took away at " : "typed at ")
                                     << Around(at);
  }
}

// With the caret in a PHP block the mode is PHP; a whole re-parse (a theme
// change, the refresh command) still reads the page as the file's language.
TEST_F(EditorReparseTest, AWholeReparseWithTheCaretInABlockReadsThePageAsItsFile) {
  Open("page.php", kPage);
  const std::vector<Mark> opened = Marks();
  editor->SetSyntaxMode("php", false);
  editor->Refresh();
  Finish();
  const std::vector<Mark> refreshed = Marks();
  ASSERT_EQ(opened.size(), refreshed.size());
  for (size_t i = 0; i < opened.size(); ++i)
    ASSERT_TRUE(CompareRGBColor(opened[i].colour, refreshed[i].colour) && opened[i].language == refreshed[i].language)
        << "at " << i << ": " << Around(SInt32(i));
}

TEST_F(EditorReparseTest, EditsInPhpPagesEndWithTheColoursOfAWholeReparse) {
  Run({"page.php",
       kPage,
       {
           {"<a href=\"view", 0, "\""},        // a quote in an attribute value
           {"<a href=\"view", 1, ""},          // and gone again
           {"?id=<?", 0, "x"},                 // the short block's opening spoilt
           {"?id=<?", 1, ""},
           {"function", 0, " total2"},         // a second name
           {"function total2", 7, ""},
           {"function ", 8, ""},               // the heredoc opener after "function" taken away
           {"function ", 0, "<<<EOT\r"},       // and put back
           {"$text = ", 3, ""},                // a heredoc that no longer opens
           {"$text = ", 0, "<<<"},
           {"Dear $name, your total is {$total}.\rEOT", 0, "X"},  // its close spoilt
           {"Dear $name, your total is {$total}.\rEOT", 1, ""},
           {"<p title=", 0, "\""},             // an attribute quote left open
           {"<p title=", 1, ""},
           {"echo $total; ?", 1, ""},          // a block's close taken apart
           {"echo $total; ", 0, "?"},
           {"+ 1; }\r", 0, "x"},              // a letter right before a variable
           {"+ 1; }\r", 1, ""},
           {"return count(", 0, "x"},
           {"return count(", 1, ""},
           {"+ 1; }\r", 0, "  "},
           {"+ 1; }\r  ", 0, "x"},
           {"+ 1; }\r  ", 1, ""},
       }});
}

TEST_F(EditorReparseTest, EditsInRubyHeredocsEndWithTheColoursOfAWholeReparse) {
  Run({"stock.rb",
       kRuby,
       {
           {"text = ", 7, ""},                 // the heredoc opener taken away
           {"text = ", 0, "<<~EOS"},
           {"    def not_a_method\r  EOS", 0, "X"},  // its terminator spoilt
           {"    def not_a_method\r  EOSX", 1, ""},
           {"@name = <<-TEX", 0, "Q"},         // another terminator wanted
           {"@name = <<-TEX", 1, ""},
           {"rows.sum { |r| r.price } ", 0, "\""},
           {"rows.sum { |r| r.price } ", 1, ""},
       }});
}

TEST_F(EditorReparseTest, EditsInScriptsEndWithTheColoursOfAWholeReparse) {
  std::string script;
  for (int i = 0; i < 20; ++i) script += kScript;
  Run({"app.js",
       script,
       {
           {"var a = ", 0, "'"},               // opens a string: the rest of the text turns
           {"var a = ", 1, ""},
           {"return x", 0, "`"},               // a template string that runs on
           {"return x", 1, ""},
           {"funct", 0, "\\"},                 // the function keyword spoilt
           {"funct", 1, ""},
       }});
}

// A key inside a class re-parses a stretch of it only: the names declared
// there keep the colours of the class's members, not those of top-level
// functions.
TEST_F(EditorReparseTest, KeysInsideAClassKeepTheColoursOfItsMembers) {
  const std::vector<Sample> samples = {
      {"shop.rb",
       "require 'set'\r"
       "\r"
       "def helper(x)\r"
       "  x * 2\r"
       "end\r"
       "\r"
       "module Store\r"
       "  class Cart\r"
       "    attr_reader :items\r"
       "\r"
       "    def name\r"
       "      @name\r"
       "    end\r"
       "\r"
       "    def total(rows)\r"
       "      rows.each do |r|\r"
       "        r.price\r"
       "      end\r"
       "    end\r"
       "  end\r"
       "end\r"
       "\r"
       "def after_all\r"
       "end\r",
       {
           {"def nam", 0, "x"},          // a method's name typed in
           {"def namx", 1, ""},
           {"      @name\r    end\r", 0, "    def more\r    end\r"},  // a method added
           {"def mor", 0, "q"},           // and typed in
           {"attr_reader :item", 0, "z"},
           {"def after_al", 0, "q"},      // after the class: a function again
           {"      rows.each do |r|\r", 0, "x"},
       }},
      // A class at the top level, typed into letter by letter.
      {"top.rb",
       "require 'set'\r"
       "\r"
       "class Foo\r"
       "  def sho\r"
       "  end\r"
       "\r"
       "  def initialize\r"
       "    @x = 1\r"
       "  end\r"
       "end\r"
       "\r"
       "def helper\r"
       "end\r",
       {
           {"def sho", 0, "w"},           // the first member, read from the class's line
           {"def show", 0, "s"},
           {"def show", 1, ""},
           {"class Foo\r", 0, "  def z\r  end\r"},
           {"def helpe", 0, "q"},
       }},
      {"shop.php",
       "<?php\r"
       "function helper($x) { return $x * 2; }\r"
       "class Cart {\r"
       "  public function name() {\r"
       "    if ($this->ok) { return 1; }\r"
       "    return $this->name;\r"
       "  }\r"
       "  function total($rows) {\r"
       "    return count($rows);\r"
       "  }\r"
       "}\r"
       "function after_all() {}\r"
       "?>\r",
       {
           {"public function nam", 0, "x"},
           {"public function namx", 1, ""},
           {"  function tot", 0, "q"},
           {"function after_al", 0, "q"},
       }},
      {"shop.js",
       "function helper(x) { return x * 2; }\r"
       "class Cart {\r"
       "  name() {\r"
       "    if (this.ok) { return 1; }\r"
       "    return this.title;\r"
       "  }\r"
       "  total(rows) {\r"
       "    return rows.length;\r"
       "  }\r"
       "}\r"
       "function afterAll() {}\r",
       {
           {"  nam", 0, "x"},
           {"  namx", 1, ""},
           {"  tot", 0, "q"},
           {"function afterAl", 0, "q"},
       }},
  };
  for (const Sample& sample : samples) Run(sample);
}

// Edits above a class, with no whole parse after them, move the scopes it
// left: keys in the class then still read it as the class. So does undo.
TEST_F(EditorReparseTest, EditsAboveAClassTakeItsScopesAlong) {
  std::string notes;
  for (int i = 0; i < 40; ++i) notes += "y = 1\r";
  Open("shop.rb",
       "require 'set'\r"
       "\r"
       "def helper(x)\r"
       "  x * 2\r"
       "end\r"
       "\r"
       "module Store\r"
       "  class Cart\r"
       "    def name\r"
       "      @name\r"
       "    end\r"
       "\r"
       "    def total(rows)\r"
       "      rows.size\r"
       "    end\r"
       "  end\r"
       "end\r"
       "\r"
       "def after_all\r"
       "end\r");
  struct {
    std::function<void()> above;  // the edit above the class
    const char* key;              // then a key typed right after this
  } rows[] = {
      {[&] { Edit(0, 0, notes); }, "def nam"},
      {[&] { Edit(0, SInt32(notes.size()), ""); }, "def tot"},
      {[&] { Edit(0, 0, notes); }, "def namx"},
      // The key, then the notes undone.
      {[&] {
         ASSERT_EQ(WEUndo(we), noErr);
         ASSERT_EQ(WEUndo(we), noErr);
         ASSERT_EQ(TextOf(we).find('#'), std::string::npos);
       },
       "def totx"},
  };
  for (const auto& row : rows) {
    row.above();
    Drain();
    const SInt32 at = After(row.key);
    Edit(at, 0, "x");
    Drain();
    EXPECT_EQ(FirstDifference(), -1) << "typed at " << Around(at);
  }
}

// A key that opens a block without its end, or takes an end away, changes
// which end closes the class: what follows it, to the end of a long file,
// takes other colours. The key parses a part only, the slices the rest.
TEST_F(EditorReparseTest, KeysThatUnbalanceBlockEndsRecolourWhatFollows) {
  std::string ruby = "class Foo\r  def first\r    1\r  end\r";
  for (int i = 0; i < 1500; ++i) ruby += "  def m" + std::to_string(i) + "\r    @x\r  end\r";
  ruby += "end\r\rdef helper\rend\r";
  std::string php = "<?php\rclass Foo {\r  function first() {\r    return 1;\r  }\r";
  for (int i = 0; i < 1500; ++i) php += "  function m" + std::to_string(i) + "() { return 2; }\r";
  php += "}\rfunction helper() {}\r?>\r";
  const std::vector<Sample> samples = {
      {"long.rb",
       ruby,
       {
           {"    1\r  end\r", 0, "  def x\r"},  // a method without its end
           {"    1\r  end\r", 8, ""},            // taken away again
           {"    1\r  ", 3, ""},                  // an end taken away
           {"    1\r  ", 0, "end"},               // and put back
           {"    1\r  end\r", 0, "  if x\r"},   // a block on a line of its own
           {"    1\r  end\r  if x", 0, "y"},     // typed on in it
           {"    1\r  end\r", 7, ""},
       }},
      {"long.php",
       php,
       {
           {"return 1;\r  ", 1, ""},  // a method's closing brace taken away
           {"return 1;\r  ", 0, "}"},
           {"return 1;\r  }\r", 0, "  if (x) {\r"},
           {"return 1;\r  }\r", 11, ""},
       }},
  };
  for (const Sample& sample : samples) {
    Open(sample.file, sample.text);
    for (const Step& step : sample.steps) {
      const SInt32 at = After(step.after);
      Edit(at, step.removed, step.inserted);
      EXPECT_LT(scanned, 20000) << Around(at);
      Drain();
      EXPECT_EQ(FirstDifference(), -1) << sample.file << ": " << (step.removed > 0 ? "took away at " : "typed at ")
                                       << Around(at);
    }
  }
}

// A class typed in key by key, with no whole parse after it: the keys in
// its body read it as the class, as a whole parse does, and so do those
// after its end.
TEST_F(EditorReparseTest, AClassTypedInHoldsTheKeysTypedInItsBody) {
  const struct {
    const char* file;
    const char* text;
    const char* after;  // the keys go right after this
    const char* typed;
  } cases[] = {
      {"new.rb", "def helper\rend\r\rdef after_all\rend\r", "def helper\rend\r",
       "class Bar\r  def ab\r  end\r  def cd\r  end\rend\rdef ef\rend\r"},
      {"new.php", "<?php\rfunction helper() {}\r\rfunction after_all() {}\r?>\r", "function helper() {}\r",
       "class Bar {\r  function ab() {}\r  function cd() {}\r}\rfunction ef() {}\r"},
      {"new.js", "function helper() {}\r\rfunction afterAll() {}\r", "function helper() {}\r",
       "class Bar {\r  ab() {}\r  cd() {}\r}\rfunction ef() {}\r"},
  };
  for (const auto& c : cases) {
    Open(c.file, c.text);
    SInt32 at = After(c.after);
    for (const char* key = c.typed; *key != 0; ++key) {
      Edit(at++, 0, std::string(1, *key));
      Drain();
    }
    EXPECT_EQ(FirstDifference(), -1) << c.file;
  }
}

// A method opened without its end, read on by the slices, and closed again
// before they are done, with keys between them and behind them: the slices
// pause and stop anywhere, the middle of a word too.
TEST_F(EditorReparseTest, KeysBetweenTheSlicesOfAnUnbalancedBlockEndAsAWholeReparse) {
  std::string ruby = "class Foo\r  def first\r    1\r  end\r";
  for (int i = 0; i < 1500; ++i) ruby += "  def m" + std::to_string(i) + "\r    @x\r  end\r";
  ruby += "end\r\rdef helper\rend\r";
  const std::vector<std::vector<const char*>> between = {{}, {"def m900"}, {"def m20"}, {"def m900", "def m20"}};
  for (const auto& keys : between) {
    Open("slices.rb", ruby);
    Edit(After("    1\r  end\r"), 0, "  def x\r");
    HeadlessAdvanceClock(0.001);
    for (const char* key : keys) Edit(After(key), 0, "q");
    HeadlessAdvanceClock(0.002);
    Edit(After("  def x\r"), 0, "  end\r");
    Drain();
    EXPECT_EQ(FirstDifference(), -1) << keys.size() << " keys between";
  }
}

// Keys typed faster than the slices go: each key's re-parse joins what the
// earlier ones left.
TEST_F(EditorReparseTest, KeysBetweenSlicesEndAsAWholeReparse) {
  std::string script;
  for (int i = 0; i < 200; ++i) script += kScript;
  Open("long.js", script);
  const size_t middle = script.size() / 2;
  // A template string opened (everything after it turns), then keys in text
  // the slices have not reached yet, behind them, and the quote closed.
  const SInt32 quote = After("return x", middle);
  Edit(quote, 0, "`");
  EXPECT_TRUE(editor->parser->EditPending());
  HeadlessAdvanceClock(0.001);
  Edit(After("var b = \"tw", size_t(quote) + 8000), 0, "\"");
  Edit(After("'fou", size_t(quote) + 40), 0, "q");
  HeadlessAdvanceClock(0.003);
  Edit(After("'thr", size_t(quote) + 2000), 0, "x");
  Edit(quote, 1, "");
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
}

TEST_F(EditorReparseTest, AKeyThatTurnsTheRestOfALongFileWaitsForAPartOfIt) {
  std::string script;
  for (int i = 0; i < 1000; ++i) script += kScript;  // about 130 KB
  Open("long.js", script);
  const SInt32 at = After("var a = ", script.size() / 10);
  Edit(at, 0, "`");
  // The stretch and what the view shows, not the 100 KB after it.
  EXPECT_LT(scanned, 20000);
  EXPECT_TRUE(editor->parser->EditPending());
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
  // Closed again right away, before any slice: that key too waits for a
  // part only.
  Edit(at, 1, "");
  Edit(at, 0, "`");
  Edit(at, 1, "");
  EXPECT_LT(scanned, 20000);
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
  // A key in text the slices have gone through already: what they read
  // before it stands, and the parse starts again near the key, not back at
  // the first one (the string taken away, the slices read plain code).
  Edit(at, 0, "`");
  Drain();
  Edit(at, 1, "");
  HeadlessAdvanceClock(0.012);
  ASSERT_TRUE(editor->parser->EditPending());
  Edit(at + 30000, 0, "q");
  EXPECT_LT(scanned, 20000);
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
}

}  // namespace

// Typing a line in at the start of a block's closing line, key by key, as a
// user adds to the end of a script: the caret came up from the page's end
// (outside the block) and the keys follow at once, before the mode has
// followed the caret.
TEST_F(EditorReparseTest, KeysTypedBeforeABlocksCloseAreColouredAsItsLanguage) {
  Open("hello.php", "<?php\n// A greeting.\n$name = \"world\";\necho \"Hello, $name!\\n\";\n?>\n");
  editor->SetSyntaxMode("default", false);
  SInt32 at = SInt32(TextOf(we).find("?>"));
  for (char c : std::string("$count = 42; // typed here\recho $count;\r")) {
    Edit(at++, 0, std::string(1, c), false);
    HeadlessAdvanceClock(0.015);
  }
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
}

// A PHP file without a closing tag (as most are written) takes keys typed at
// its very end as PHP.
TEST_F(EditorReparseTest, KeysTypedAtTheEndOfAnOpenBlockAreColouredAsItsLanguage) {
  Open("tail.php", "<?php\n$name = 'world';\n// end of file\n");
  SInt32 at = WEGetTextLength(we);
  for (char c : std::string("$typed = 1; // at once\r")) {
    Edit(at++, 0, std::string(1, c), false);
    HeadlessAdvanceClock(0.015);
  }
  Drain();
  EXPECT_EQ(FirstDifference(), -1);
}
