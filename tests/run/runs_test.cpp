// Script runs with the real interpreters: what the console shows, what the
// panes read from the output, the notifications in their order, the preview
// page next to the document, the log folder, and runs that are refused,
// ended or never start. Children run in real time; their poll timer is fired
// with the virtual clock whenever they have written something.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <functional>

#include "CFBundle.h"
#include "CFURL.h"
#include "IBCarbonRuntime.h"
#include "InterpreterDrivers.h"
#include "ErrorPaneTestSupport.h"
#include "TConsoleUnit.h"

namespace {

IBNibRef FixtureNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/run/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("Run"), &made), noErr);
    return made;
  }();
  return nib;
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

// An error pane that notes what it would show at the source text.
template <class Pane>
class Noting : public Pane {
 public:
  void DisplayError(const Str255& message, SInt16 line) override {
    shown.push_back(message.str() + " @" + std::to_string(line));
  }
  void HandleErrorLog() override { ++errorLogs; }
  std::vector<std::string> shown;
  int errorLogs = 0;
};

class RunsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    UsePrivateStateFolder();
    UseSystemInterpreters();
  }
  void SetUp() override {
    consolePane = new TConsolePane();
    consolePane->Create("Console Pane", FixtureNib());
    ASSERT_NE(consolePane->console, nullptr);
  }
  void TearDown() override {
    if (errorPane != nullptr) errorPane->Release();  // with its script
    if (consolePane != nullptr) consolePane->Release();
    if (document != nullptr) document->Release();
  }

  // Runs the file in the pane's script to its end, with the console.
  template <class Pane>
  Noting<Pane>* RunFile(TScript* script, const std::string& file, SInt16 mode,
                        const std::vector<std::string>& arguments = {}) {
    // One run at a time: the previous one's pane (with its script) and document go.
    if (errorPane != nullptr) errorPane->Release();
    if (document != nullptr) document->Release();
    recorder = RunRecorder();
    auto* pane = new Noting<Pane>();
    errorPane = pane;
    if (dynamic_cast<TPHPPane*>(pane) || dynamic_cast<TPERLPane*>(pane) || dynamic_cast<TRubyPane*>(pane) ||
        dynamic_cast<THTMLPane*>(pane))
      CreateFromShippedNib(pane);
    script->SetPane(pane);
    script->SetConsole(consolePane->console);
    recorder.Attach(script);
    document = NewDocument(file);
    for (const std::string& argument : arguments) script->AppendArgument(Str255(argument));
    script->Run(document, mode);
    recorder.Drive(script);
    return pane;
  }
  std::string Console() { return TextOf(consolePane->console->controller); }

  ScratchFolder folder{"run \"q\" x"};
  TConsolePane* consolePane = nullptr;
  TScriptPane* errorPane = nullptr;
  TDocument* document = nullptr;
  RunRecorder recorder;
};

using Codes = std::vector<SInt16>;

TEST_F(RunsTest, APageRunWritesTheWholeOutputNextToTheDocument) {
  const std::string file = folder.Write("\xE5\x87\xBA.pl", "print \"first\\n\\nsecond \xC3\xA9\\n\";\n");
  const std::string page = folder.File("~\xE5\x87\xBA.pl.html");
  folder.Write("~\xE5\x87\xBA.pl.html", "an older and much longer page that must not survive the run\n");
  TScript* script = CreatePERLScript();
  RunFile<TPERLPane>(script, file, kScriptModePreview);
  EXPECT_EQ(recorder.codes, (Codes{1, 2, 4}));
  EXPECT_TRUE(recorder.processAtStart);
  EXPECT_EQ(ReadFile(page), "first\n\nsecond \xC3\xA9\n") << "every line, the blank one too, in the output's bytes";
  char made[1024] = {0};
  ASSERT_EQ(FSRefMakePath(&script->previewFile, reinterpret_cast<UInt8*>(made), sizeof made), noErr);
  EXPECT_EQ(made, page) << "named after the file as it is spelt";
  EXPECT_EQ(Console(), "\rfirst\rsecond \xC3\xA9");
  EXPECT_EQ(script->process, nullptr);
  EXPECT_EQ(script->command, nullptr) << "the buffers go with the run";
}

// A line end may arrive in two reads: "a" CR, then LF (CR LF on the child's
// terminal) is one CR CR LF, one line end. A lone CR ends a line of its own.
TEST_F(RunsTest, LineEndsSplitBetweenReadsEndOneLine) {
  const std::string file = folder.Write("ends.sh", "printf 'a\\r'; sleep 0.2; printf '\\nb\\r'; sleep 0.2; printf 'c\\n\\nd'\n");
  auto* script = new TScript();
  script->SetCommandLine("/bin/sh");
  RunFile<TScriptPane>(script, file, kScriptModeRun);
  EXPECT_EQ(ReadFile(folder.File("~ends.sh.html")), "a\nb\nc\n\nd\n");
  EXPECT_EQ(Console(), "\ra\rb\rc\rd");
}

TEST_F(RunsTest, ARunThatPrintsNothingLeavesAnEmptyPageAndSaysSo) {
  const std::string file = folder.Write("quiet.pl", "my $x = 1;\n");
  RunFile<TPERLPane>(CreatePERLScript(), file, kScriptModeRun);
  EXPECT_EQ(recorder.codes, (Codes{1, 4}));
  EXPECT_TRUE(Exists(folder.File("~quiet.pl.html")));
  EXPECT_EQ(ReadFile(folder.File("~quiet.pl.html")), "");
  EXPECT_EQ(Console(), std::string("\r") + kScriptNoOutputMessage);
}

// Each argument reaches the script as one element, blanks and quotes and
// all, and so does a path whose folder holds both; the log folder is in
// the child's environment.
TEST_F(RunsTest, ArgumentsAndPathsReachTheInterpreterWhole) {
  struct Case {
    const char* language;
    std::function<TScript*()> make;
    const char* name;
    const char* source;
  };
  const std::vector<Case> cases = {
      {"perl", CreatePERLScript, "args.pl", "print \"[$_]\\n\" for ($0, @ARGV); print \"log=$ENV{QUORVEL_LOG_DIR}\\n\";\n"},
      {"ruby", CreateRubyScript, "args.rb", "[$0, *ARGV].each { |a| puts \"[#{a}]\" }\nputs \"log=#{ENV['QUORVEL_LOG_DIR']}\"\n"},
      {"php", CreatePHPScript, "args.php", "<?php foreach ($argv as $a) echo \"[$a]\\n\"; echo 'log=', getenv('QUORVEL_LOG_DIR'), \"\\n\";\n"},
  };
  const std::string logs = std::string(getenv("XDG_STATE_HOME")) + "/Quorvel/Logs";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    const std::string file = folder.Write(c.name, c.source);
    TScript* script = c.make();
    RunFile<TScriptPane>(script, file, kScriptModeRun, {"\"greeting=he said \"hi there\"\"", "\"where=a b\""});
    std::string expected = "\r[" + file + "]\r[greeting=he said \"hi there\"]\r[where=a b]";
    if (std::string(c.language) == "php") expected += "\r[source_file=" + file + "]";
    EXPECT_EQ(Console(), expected + "\rlog=" + logs);
    EXPECT_EQ(recorder.codes, (Codes{1, 2, 4}));
  }
}

TEST_F(RunsTest, SyntaxChecksShowTheVerdictAtTheSource) {
  struct Case {
    const char* name;
    const char* source;
    std::string shown;  // a prefix of the one message shown, "@line" appended
    std::string line;
  };
  const std::vector<Case> cases = {
      {"bad.pl", "print \"a\";\nmy $x = ;\n", "Syntax Error near \"= ;\"", "@2"},
      {"good.pl", "print 1;\n", "Syntax OK", "@0"},
      {"bad.rb", "puts 1\nx = (\n", "syntax error", "@2"},
      {"good.rb", "puts 1\n", "Syntax OK", "@0"},
      {"bad.php", "<?php\necho \"hi\"\necho \"there\";\n", "PHP Parse error:", "@3"},
      {"good.php", "<?php echo 1;\n", "No syntax errors detected", "@0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = folder.Write(c.name, c.source);
    const std::string extension = std::string(c.name).substr(std::string(c.name).rfind('.') + 1);
    std::vector<std::string> shown;
    if (extension == "pl") shown = RunFile<TPERLPane>(CreatePERLScript(), file, kScriptModeCheckSyntax)->shown;
    if (extension == "rb") shown = RunFile<TRubyPane>(CreateRubyScript(), file, kScriptModeCheckSyntax)->shown;
    if (extension == "php") shown = RunFile<TPHPPane>(CreatePHPScript(), file, kScriptModeCheckSyntax)->shown;
    ASSERT_EQ(shown.size(), 1u) << Console();
    EXPECT_EQ(shown[0].compare(0, c.shown.size(), c.shown), 0) << shown[0];
    EXPECT_EQ(shown[0].substr(shown[0].rfind(" @") + 1), c.line) << shown[0];
    const bool bad = std::string(c.name).compare(0, 3, "bad") == 0;
    EXPECT_EQ(recorder.codes, bad ? (Codes{1, 3, 4}) : (Codes{1, 4}))
        << "a syntax check offers no page; its errors bring the pane up";
    EXPECT_NE(Console(), std::string("\r") + kScriptNoOutputMessage) << "the verdict reaches the console too";
  }
}

// Counted errors of a debug run, with no log of their own: errors, then the
// end, and no page. Ruby colours its message on a terminal; the row has the
// plain text.
TEST_F(RunsTest, DebugRunsListTheirErrors) {
  const std::string ruby = folder.Write("raise.rb", "def m\n  raise \"boom\"\nend\nm\n");
  auto* rubyPane = RunFile<TRubyPane>(CreateRubyScript(), ruby, kScriptModeDebug);
  std::vector<std::string> rows;
  for (const auto& row : RowsOf(rubyPane->browser)) {
    auto* e = static_cast<RubyError*>(row.data);
    rows.push_back(std::to_string(row.parent) + " " + e->method.str() + "|" + e->message.str() + "|" + e->file.str() +
                   "|" + std::to_string(e->line));
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"0 |boom (RuntimeError)|raise.rb|2", "1 <main>||raise.rb|4"}));
  EXPECT_EQ(SelectedRow(rubyPane->browser), 0) << "the first error is selected at the end";
  EXPECT_EQ(recorder.codes, (Codes{1, 3, 4}));
  EXPECT_EQ(Console().find('\x1b'), std::string::npos);

  const std::string perl = folder.Write("undefined.pl", "print \"before\\n\";\nnothere();\n");
  auto* perlPane = RunFile<TPERLPane>(CreatePERLScript(), perl, kScriptModeDebug);
  ASSERT_EQ(RowsOf(perlPane->browser).size(), 1u);
  auto* e = static_cast<PerlError*>(RowsOf(perlPane->browser)[0].data);
  EXPECT_EQ(e->message.str(), "Undefined subroutine &main::nothere");
  EXPECT_EQ(e->file.str(), "undefined.pl");
  EXPECT_EQ(e->line, 2);
  EXPECT_EQ(recorder.codes, (Codes{1, 3, 4}));
}

// tidy checks a page; while inline marks are not built in, its errors
// reach the runner and go no further.
TEST_F(RunsTest, TidyChecksAPage) {
  class KeepingHTMLScript : public THTMLScript {
   public:
    void AppendGlobalError(const GenericSyntaxError& error) override {
      kept.push_back(std::to_string(error.line) + ":" + std::to_string(error.column) + " " + error.message.str());
      THTMLScript::AppendGlobalError(error);
    }
    std::vector<std::string> kept;
  };
  const std::string file =
      folder.Write("page.html", "<!DOCTYPE html>\n<html><head><title>t</title></head>\n<body><p>a <b>b</p></body></html>\n");
  auto* script = new KeepingHTMLScript();
  RunFile<THTMLPane>(script, file, kScriptModeCheckSyntax);
  EXPECT_EQ(script->kept, std::vector<std::string>{"3:12 Warning: missing </b> before </p>"});
  EXPECT_TRUE(script->blocking) << "the summary ends the reading";
  EXPECT_EQ(script->errorCount, 0);
  EXPECT_EQ(recorder.codes, (Codes{1, 4}));
}

// PHP's log lies in the log folder: one the script wrote wins over the page;
// one left from an earlier run is gone before the next starts.
TEST_F(RunsTest, ThePHPLogDecidesBetweenLogAndPage) {
  FSRef logs{};
  ASSERT_EQ(GetSystemLogFile("", logs), noErr);
  const std::string folderPath = UTF8FromShortString(FSGetFullPath(logs));
  EXPECT_EQ(folderPath, std::string(getenv("XDG_STATE_HOME")) + "/Quorvel/Logs");
  const std::string log = folderPath + "/php_errors.log";

  const std::string writes = folder.Write(
      "writes.php", "<?php file_put_contents(getenv('QUORVEL_LOG_DIR') . '/php_errors.log', '<debugtrace/>'); echo \"page\\n\";\n");
  auto* pane = RunFile<TPHPPane>(CreatePHPScript(), writes, kScriptModeRun);
  EXPECT_EQ(recorder.codes, (Codes{1, 3, 4}));
  EXPECT_EQ(pane->errorLogs, 1);
  EXPECT_TRUE(Exists(log));

  const std::string page = folder.Write("page.php", "<?php echo \"page\\n\";\n");
  pane = RunFile<TPHPPane>(CreatePHPScript(), page, kScriptModeRun);
  EXPECT_EQ(recorder.codes, (Codes{1, 2, 4}));
  EXPECT_EQ(pane->errorLogs, 0);
  EXPECT_FALSE(Exists(log));
}

TEST_F(RunsTest, ARunInProgressIgnoresAnotherAndClosingThePaneEndsIt) {
  const std::string file = folder.Write("waits.pl", "print \"waiting\\n\"; my $line = <STDIN>; print \"never\\n\";\n");
  TScript* script = CreatePERLScript();
  script->SetPane(consolePane);
  script->SetConsole(consolePane->console);
  recorder.Attach(script);
  document = NewDocument(file);
  script->Run(document, kScriptModeRun);
  ASSERT_NE(script->process, nullptr);
  TScriptProcess* running = script->process;
  const pid_t pid = running->fProcess->pid;
  for (int i = 0; i < 100000 && Console().empty(); ++i) {
    ProcessWaitForOutput(running->fProcess, 100);
    HeadlessAdvanceClock(1.0 / 30);
  }
  EXPECT_EQ(Console(), "\rwaiting");
  EXPECT_TRUE(script->Running());

  script->Run(document, kScriptModeCheckSyntax);
  EXPECT_EQ(script->process, running);
  EXPECT_EQ(script->runMode, kScriptModeRun);
  EXPECT_EQ(recorder.codes, (Codes{1}));

  consolePane->Close();  // the pane, its console and its script go
  consolePane = nullptr;
  EXPECT_EQ(recorder.codes, (Codes{1, 2, 4})) << "what came before the end is still a page";
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "reaped";
}

// A launch over a child that has ended but not yet been reported beeps and
// starts anew; the ended child's report no longer reaches the script.
TEST_F(RunsTest, ALaunchOverAnEndedChildBeepsAndLetsItGo) {
  const std::string file = folder.Write("once.pl", "print \"once\\n\";\n");
  TScript* script = CreatePERLScript();
  auto* pane = new TScriptPane();
  errorPane = pane;
  script->SetPane(pane);
  script->SetConsole(consolePane->console);
  recorder.Attach(script);
  document = NewDocument(file);
  script->Run(document, kScriptModeRun);
  ASSERT_NE(script->process, nullptr);
  TScriptProcess* first = script->process;
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, id_t(first->fProcess->pid), &info, WEXITED | WNOWAIT), 0);
  const int beeps = HeadlessBeepCount();
  script->Launch();
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
  ASSERT_NE(script->process, nullptr);
  EXPECT_NE(script->process, first);
  EXPECT_EQ(first->script, nullptr);
  recorder.Drive(script);
  EXPECT_EQ(recorder.codes, (Codes{1, 1, 2, 4})) << "one end: the second child's";
  EXPECT_EQ(Console(), "\ronce") << "the console was cleared for the second child";
}

TEST_F(RunsTest, ARunThatCannotStartEndsAtOnce) {
  const std::string file = folder.Write("x.php", "<?php echo 1;\n");
  TScript* script = CreatePHPScript();
  auto* pane = new TScriptPane();
  errorPane = pane;
  script->SetPane(pane);
  script->SetConsole(consolePane->console);
  recorder.Attach(script);
  document = NewDocument(file);
  script->Run(document, 7);  // no such mode: PHP builds no command
  EXPECT_EQ(recorder.codes, (Codes{4}));
  EXPECT_EQ(script->process, nullptr);
  EXPECT_EQ(Console(), std::string("\r") + kScriptNoOutputMessage);
}

TEST_F(RunsTest, APreviewOpensThePageByItsURL) {
  struct Opened {
    std::string url;
    static OSStatus Handle(EventHandlerCallRef, EventRef event, void* data) {
      ApplicationOpenCommandOptions options{};
      if (GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof options, nullptr, &options) ==
          noErr)
        static_cast<Opened*>(data)->url = options.url.str();
      return noErr;
    }
  } opened;
  static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess}};
  EventHandlerRef handler = nullptr;
  InstallEventHandler(GetApplicationEventTarget(), Opened::Handle, 1, kTypes, &opened, &handler);
  const std::string page = folder.Write("~p.php.html", "<p>hi</p>\n");
  FSRef ref{};
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(page.c_str()), &ref, nullptr), noErr);
  consolePane->HandlePreview(ref);
  RemoveEventHandler(handler);
  EXPECT_EQ(opened.url, FSGetURL(ref).str());
  EXPECT_EQ(opened.url.compare(0, 7, "file://"), 0);
}

}  // namespace
