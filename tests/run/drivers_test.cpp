// The language runners' command lines (the text that names a run, and the
// argument vector that starts it) and the panes' reading of output lines.
#include <gtest/gtest.h>

#include <functional>

#include "InterpreterDrivers.h"
#include "MacHelp.h"
#include "ErrorPaneTestSupport.h"

bool HelpGetShownTag(std::string* text, Rect* hotRect);

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

class DriversTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    UsePrivateStateFolder();
    UseSystemInterpreters();
  }
};

// The document lies in a folder whose name holds blanks and double quotes,
// and the argument holds both too: each stays one element.
TEST_F(DriversTest, CommandLinesByLanguageAndMode) {
  ScratchFolder folder("run \"q\" x");
  const std::string script = folder.Write("a b.src", "");
  TDocument* document = NewDocument(script);
  const std::string wrapper = UTF8FromShortString(GetSharedSupportFile("php_debug.php", 1));
  const std::string tidy = UTF8FromShortString(GetTidyPath());
  const Str255 argument = "\"greeting=he said \"hi there\"\"";
  const std::string word = "greeting=he said \"hi there\"";

  struct Case {
    std::function<TScript*()> make;
    const char* language;
    SInt16 mode;
    bool withArgument;
    std::string text;               // %P path, %A argument text, %W wrapper, %T tidy
    std::vector<std::string> words;  // %P, %G argument element, %W, %T
  };
  const std::vector<Case> cases = {
      {CreatePERLScript, "perl", 1, true, "/usr/bin/perl \"%P\" %A ", {"/usr/bin/perl", "%P", "%G"}},
      {CreatePERLScript, "perl", 2, false, "/usr/bin/perl \"%P\" ", {"/usr/bin/perl", "%P"}},
      {CreatePERLScript, "perl", 4, true, "/usr/bin/perl -c \"%P\" %A ", {"/usr/bin/perl", "-c", "%P", "%G"}},
      {CreatePERLScript, "perl", 4, false, "/usr/bin/perl -c \"%P\" ", {"/usr/bin/perl", "-c", "%P"}},
      {CreateRubyScript, "ruby", 3, true, "/usr/bin/ruby \"%P\" %A ", {"/usr/bin/ruby", "%P", "%G"}},
      {CreateRubyScript, "ruby", 2, true, "/usr/bin/ruby -w -d \"%P\"", {"/usr/bin/ruby", "-w", "-d", "%P"}},
      {CreateRubyScript, "ruby", 4, true, "/usr/bin/ruby -c \"%P\"", {"/usr/bin/ruby", "-c", "%P"}},
      {CreateRubyScript, "ruby", 5, true, "", {}},
      {CreatePHPScript, "php", 1, true, "/usr/bin/php \"%P\" %A source_file=\"%P\" ",
       {"/usr/bin/php", "%P", "%G", "source_file=%P"}},
      {CreatePHPScript, "php", 2, true, "/usr/bin/php \"%W\" %A source_file=\"%P\" ",
       {"/usr/bin/php", "%W", "%G", "source_file=%P"}},
      {CreatePHPScript, "php", 3, false, "/usr/bin/php \"%P\" source_file=\"%P\" ",
       {"/usr/bin/php", "%P", "source_file=%P"}},
      {CreatePHPScript, "php", 4, true, "/usr/bin/php -l \"%P\"", {"/usr/bin/php", "-l", "%P"}},
      {CreatePHPScript, "php", 0, true, "", {}},
      {CreateHTMLScript, "html", 1, true, "%T -e \"%P\" ", {"%T", "-e", "%P"}},
      {CreateHTMLScript, "html", 4, false, "%T -e \"%P\" ", {"%T", "-e", "%P"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + " mode " + std::to_string(c.mode));
    auto* pane = new TScriptPane();
    TScript* s = c.make();
    s->SetPane(pane);
    s->document = document;
    s->runMode = c.mode;
    if (c.withArgument) s->AppendArgument(argument);
    s->Initialize();
    s->MakeCommand();
    std::string text = Replace(c.text, "%P", script);
    text = Replace(Replace(Replace(text, "%A", argument.str()), "%W", wrapper), "%T", tidy);
    EXPECT_EQ(Text(s->command), text);
    std::vector<std::string> words;
    for (const std::string& w : c.words)
      words.push_back(Replace(Replace(Replace(Replace(w, "%P", script), "%G", word), "%W", wrapper), "%T", tidy));
    EXPECT_EQ(s->words, words);
    const bool showsInterpreter = std::string(c.language) == "php" || std::string(c.language) == "ruby";
    EXPECT_EQ(pane->title.str(), showsInterpreter ? "/usr/bin/" + std::string(c.language) : "");
    EXPECT_EQ(s->logName.str(), std::string(c.language) == "php" ? "php_errors.log" : "");
    s->ClearBuffers();
    EXPECT_EQ(s->arguments, nullptr);
    EXPECT_TRUE(s->argumentWords.empty()) << "arguments belong to one run";
    pane->Release();  // with its script
  }
  document->Release();
}

TEST_F(DriversTest, ArgumentElementsLoseOnlyTheirGroupingQuotes) {
  struct Case {
    const char* text;
    const char* word;
  };
  for (const Case& c : {Case{"\"name=value\"", "name=value"}, Case{"source_file=\"/a b/c.php\"", "source_file=/a b/c.php"},
                        Case{"\"k=say \"hi\"\"", "k=say \"hi\""}, Case{"\"na\"me=v\"", "na\"me=v"},
                        Case{"-v", "-v"}, Case{"two words", "two words"}, Case{"\"", "\""}, Case{"\"\"", ""},
                        Case{"a=\"b", "a=\"b"}, Case{"k=v\"", "k=v\""}})
    EXPECT_EQ(ArgumentWord(c.text), c.word) << c.text;
}

TEST_F(DriversTest, TerminalEscapesAreTakenOutOfLines) {
  struct Case {
    const char* raw;
    const char* clean;
  };
  for (const Case& c : {Case{"plain", "plain"},
                        Case{"r.rb:2:in `m': \x1b[1mboom (\x1b[1;4mRuntimeError\x1b[m\x1b[1m)\x1b[m",
                             "r.rb:2:in `m': boom (RuntimeError)"},
                        Case{"\x1b]0;title\x07" "after", "after"}, Case{"\x1b]8;;http://x\x1b\\link", "link"},
                        Case{"a\x1b(Bb", "ab"}, Case{"cut \x1b[3", "cut "}, Case{"end\x1b", "end"}})
    EXPECT_EQ(StripTerminalEscapes(c.raw), c.clean) << c.clean;
}

// Panes that note what they would show at the source text.
template <class Pane>
class Noting : public Pane {
 public:
  void DisplayError(const Str255& message, SInt16 line) override {
    shown.push_back(message.str() + " @" + std::to_string(line));
  }
  std::vector<std::string> shown;
};

template <class Pane>
struct Reading {
  Noting<Pane>* pane = new Noting<Pane>();
  TScript* script;
  Reading(TScript* made, SInt16 mode) : script(made) {
    CreateFromShippedNib(pane);
    script->SetPane(pane);
    script->runMode = mode;
  }
  ~Reading() { pane->Release(); }
  // Lines reach the pane as the runner passes them: not once it blocks.
  void Feed(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
      if (!script->blocking) pane->HandleSingleLine(Str255(line));
  }
};

std::string PerlRow(const ErrorRow& row) {
  auto* e = static_cast<PerlError*>(row.data);
  return e->message.str() + " | " + e->file.str() + " | " + std::to_string(e->line);
}

std::string RubyRow(const ErrorRow& row) {
  auto* e = static_cast<RubyError*>(row.data);
  return std::to_string(row.parent) + " " + e->method.str() + " | " + e->message.str() + " | " + e->file.str() +
         " | " + std::to_string(e->line);
}

TEST_F(DriversTest, PerlLines) {
  struct Case {
    SInt16 mode;
    std::vector<std::string> lines;
    std::vector<std::string> shown;
    std::vector<std::string> rows;
    bool blocked;
  };
  const std::vector<Case> cases = {
      {4, {"/a/x.pl syntax OK"}, {"Syntax OK @0"}, {}, true},
      {1, {"/a/x.pl syntax OK"}, {}, {}, false},
      {4, {"syntax error at /a/x.pl line 3, near \"= ;\"", "/a/x.pl had compilation errors.", "syntax OK"},
       {"Syntax Error near \"= ;\" @3"}, {"Syntax Error near \"= ;\" | x.pl | 3"}, true},
      {1,
       {"Undefined subroutine &main::nothere called at /home/u/lib/y.pl line 12.", "plain output",
        "syntax error at /a/x.pl line 3, near \"= ;\""},
       {},
       {"Undefined subroutine &main::nothere | y.pl | 12", "Syntax Error near \"= ;\" | x.pl | 3"},
       false},
      {1, {"Can't locate Nope.pm in @INC (you may need to install the Nope module)"}, {}, {"Nope.pm |  | 0"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Reading<TPERLPane> r(CreatePERLScript(), c.mode);
    r.Feed(c.lines);
    EXPECT_EQ(r.pane->shown, c.shown);
    std::vector<std::string> rows;
    for (const auto& row : RowsOf(r.pane->browser)) rows.push_back(PerlRow(row));
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(r.script->errorCount, SInt16(c.rows.size()));
    EXPECT_EQ(bool(r.script->blocking), c.blocked);
  }
}

TEST_F(DriversTest, RubyLines) {
  struct Case {
    SInt16 mode;
    std::vector<std::string> lines;
    std::vector<std::string> shown;
    std::vector<std::string> rows;  // parent, method | message | file | line
    bool blocked;
  };
  const std::vector<Case> cases = {
      {4, {"x.rb:10: syntax error, unexpected end-of-input", "x.rb:11: syntax error"}, {"syntax error @10"},
       {"0  | unexpected end-of-input | x.rb | 10"}, true},
      {4, {"Syntax OK"}, {"Syntax OK @0"}, {}, true},
      {1, {"\tfrom r.rb:4:in `<main>'"}, {}, {}, false},
      {2,
       {"Exception `RuntimeError' at /w/r.rb:2 - boom", "/w/r.rb:2:in `m': boom (RuntimeError)",
        "\tfrom /w/r.rb:4:in `<main>'", "/w/q.rb:7: syntax error, unexpected ')'", "\tfrom /w/q.rb:1:in 'require'"},
       {},
       {"0  | boom (RuntimeError) | r.rb | 2", "1 <main> |  | r.rb | 4", "0  | unexpected ')' | q.rb | 7",
        "3 require |  | q.rb | 1"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Reading<TRubyPane> r(CreateRubyScript(), c.mode);
    r.Feed(c.lines);
    EXPECT_EQ(r.pane->shown, c.shown);
    std::vector<std::string> rows;
    for (const auto& row : RowsOf(r.pane->browser)) rows.push_back(RubyRow(row));
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(bool(r.script->blocking), c.blocked);
  }
}

TEST_F(DriversTest, PHPLinesCountOnlyInASyntaxCheck) {
  struct Case {
    SInt16 mode;
    std::vector<std::string> lines;
    std::vector<std::string> shown;
    bool blocked;
    std::string row;  // icon type, text, file, line of the listed error
  };
  const std::string parse = "Parse error: syntax error, unexpected T_STRING in /a/x.php on line 12";
  const std::string cli = "PHP Parse error:  syntax error, unexpected token \"echo\" in /a/x.php on line 3";
  const std::vector<Case> cases = {
      {4, {parse, cli}, {parse + " @12"}, true, "ERRf syntax error, unexpected T_STRING | /a/x.php | 12"},
      {4, {cli}, {cli + " @3"}, true, "ERRf syntax error, unexpected token \"echo\" | /a/x.php | 3"},
      {4, {"No syntax errors detected in /a/x.php"}, {"No syntax errors detected @0"}, false, ""},
      {4, {"Warning: Parse error here"}, {}, false, ""},
      {1, {parse}, {}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Reading<TPHPPane> r(CreatePHPScript(), c.mode);
    r.Feed(c.lines);
    EXPECT_EQ(r.pane->shown, c.shown);
    EXPECT_EQ(bool(r.script->blocking), c.blocked);
    std::string row;
    if (void* data = r.pane->browser->RowData(0)) {
      const ErrorRowDisplay display = r.pane->browser->ItemDisplay(data);
      CFTreeRef node = CFTreeGetFirstChild(r.pane->log);
      row = FourCC(display.type) + " " + display.text.str() + " | " + GetErrorFieldValue(node, "file").str() + " | " +
            GetErrorFieldValue(node, "line").str();
    }
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(r.script->errorCount, c.row.empty() ? 0 : 1);
    EXPECT_EQ(r.pane->title.str(), c.row.empty() ? "0 " : "1 ");
  }
}

// A runner that keeps what the HTML pane hands it.
class KeepingHTMLScript : public THTMLScript {
 public:
  void AppendGlobalError(const GenericSyntaxError& error) override {
    kept.push_back(std::to_string(error.line) + ":" + std::to_string(error.column) + " " + error.message.str());
  }
  std::vector<std::string> kept;
};

TEST_F(DriversTest, HTMLLinesBecomeSyntaxErrorsUntilTheSummary) {
  for (const char* summary : {"Tidy found 2 warnings and 1 error!", "2 warnings, 1 errors were found!"}) {
    auto* script = new KeepingHTMLScript();
    Reading<THTMLPane> r(script, 1);
    r.Feed({"line 1 column 1 - Warning: missing <!DOCTYPE> declaration", "Info: Document content looks like HTML5",
            "line 4 column 9 - Error: <blink> is not recognized!", summary,
            "line 9 column 9 - Warning: after the summary"});
    EXPECT_EQ(script->kept, (std::vector<std::string>{"1:1 Warning: missing <!DOCTYPE> declaration",
                                                      "4:9 Error: <blink> is not recognized!"}))
        << summary;
    EXPECT_TRUE(script->blocking);
    EXPECT_EQ(script->errorCount, 0) << "inline errors are not built in";
  }
}

// The real display: a help tag at the source text's selection, then the
// line selected (lines count from 1).
TEST_F(DriversTest, DisplayErrorTagsTheSelectionAndSelectsTheLine) {
  HeadlessUseVirtualClock(true);
  RegisterWasteClass();
  Rect bounds = {100, 100, 300, 400};
  WindowRef window = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
  HIObjectRef object = nullptr;
  ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
  auto view = reinterpret_cast<HIViewRef>(object);
  HIViewAddSubview(HIViewGetRoot(window), view);
  HIRect frame = {{0, 0}, {300, 200}};
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, true);
  ShowWindow(window);
  WEReference we = WasteCreateController(view, window, 0);
  ASSERT_NE(we, nullptr);
  const char kSource[] = "one\rtwo two\rthree";
  WEPut(0, 0, kSource, sizeof kSource - 1, 0, 0, 0, nullptr, nullptr, we);
  WESetSelection(0, 0, we);

  auto* pane = new TScriptPane();
  pane->text = we;
  pane->DisplayError("Syntax Error near \"x\"", 2);
  std::string shown;
  Rect hot{};
  ASSERT_TRUE(HelpGetShownTag(&shown, &hot));
  EXPECT_EQ(shown, "Syntax Error near \"x\"");
  SInt16 height = 0;
  const CGPoint origin = WEConvertOffsetToScreen(0, height, we);
  EXPECT_EQ(hot.left, SInt16(origin.x));
  EXPECT_EQ(hot.top, SInt16(origin.y));
  SInt32 start = -1, end = -1;
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 4);
  EXPECT_EQ(end, 12) << "the whole second line";

  pane->DisplayError("No syntax errors detected", 0);
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 4) << "line 0 moves nothing";
  ASSERT_TRUE(HelpGetShownTag(&shown, nullptr));
  EXPECT_EQ(shown, "No syntax errors detected");
  HMHideTag();
  pane->Release();
  DisposeWindow(window);
}

}  // namespace
