// Inline commands over a real text view: finding the command around the
// insertion point when Tab is pressed, the expansion of a command's text,
// values that stay data (also on shell command lines), shell commands that
// wait for input or run too long, the destinations of a result, the command
// menu, the key filter's hand-over to the typing helpers, and every command
// of the shipped libraries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CarbonEvents.h"
#include "MacHelp.h"
#include "TStringUnit.h"
#include "fixtures/CodeSenseFixture.h"

// The headless host's help tag (platform internal).
bool HelpGetShownTag(std::string* text, Rect* hotRect);

using namespace codesensetest;

namespace {

// What a handler on the text view's control heard.
struct Heard {
  UInt32 command = 0;
  std::string text;
  std::string title;
  int refreshes = 0;
};

OSStatus HearResults(EventHandlerCallRef, EventRef event, void* context) {
  auto* heard = static_cast<Heard*>(context);
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID == kHICommandRefreshParse) {
    heard->refreshes++;
    return noErr;
  }
  CFStringRef text = nullptr;
  if (GetEventParameter(event, kEventParamMacroResult, typeCFStringRef, nullptr, sizeof text, nullptr, &text) != noErr)
    return eventNotHandledErr;
  unsigned char title[256] = {0};
  GetEventParameter(event, kEventParamMacroTitle, typeMacroTitle, nullptr, sizeof title, nullptr, title);
  heard->command = command.commandID;
  heard->text = Utf8(text);
  heard->title = std::string(reinterpret_cast<char*>(title + 1), title[0]);
  CFRelease(text);  // the handler takes the reference over
  return noErr;
}

struct Inline : TextViewTest {
  Heard heard;
  EventHandlerRef handler = nullptr;

  void SetUp() override {
    TextViewTest::SetUp();
    const EventTypeSpec types[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetControlEventTarget(view), HearResults, 1, types, &heard, &handler);
    Define("hi", "macro", "Hello");
    Define("two", "macro", "Two");
    Define("wrap", "macro", "<$1>$2{}");
    Define("tag", "macro", "<$1 class=\"$2\">$CURSOR</$1>");
    Define("first", "macro", "$CURSOR<x/>");
    Define("block", "macro", "a\nb\nc");
    Define("off", "other", "ignored");
  }
  void TearDown() override {
    if (handler) RemoveEventHandler(handler);
    TextViewTest::TearDown();
  }
  // Runs the command as from an inline command over the whole text.
  Boolean Run(const std::string& name, const std::vector<std::string>& args = {}, const std::string& destination = "") {
    Ref arguments(Arguments(args));
    Boolean handled = true;
    library->SetController(we);
    library->ExecuteCommand(Str63(name), Str63(destination), arguments.array(), CFRangeMake(0, WEGetTextLength(we)),
                            handled);
    return handled;
  }
  void TabAtEnd(const std::string& text) {
    SetText(text);
    WESetSelection(WEGetTextLength(we), WEGetTextLength(we), we);
    Tab();
  }
  std::string Expand(const std::string& text, const std::vector<std::string>& args) {
    TString* s = new TString();
    Ref cf(CF(text));
    CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, cf.str());
    s->Create(m);
    Ref arguments(Arguments(args));
    library->SetController(we);
    library->ParseSyntax(*s, arguments.array());
    const std::string out = Utf8(m);
    s->Release();
    CFRelease(m);
    return out;
  }
};

TEST_F(Inline, TabRunsTheCommandAroundTheInsertionPoint) {
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"x [hi]| y", "x Hello| y"},
      {"x [h|i] y", "x Hello| y"},
      {"x |[hi] y", "x Hello| y"},
      {"[hi]|", "Hello|"},  // at the very start of the text
      // Two commands on a line: only the one at the insertion point runs.
      {"[hi] and [two]|", "[hi] and Two|"},
      {"[hi]| and [two]", "Hello| and [two]"},
      {"[hi]|[two]", "Hello|[two]"},
      // Arguments: empty pieces are dropped, a single piece keeps its commas,
      // brackets inside them belong to them, a ">" inside them is theirs.
      {"[wrap(b, c)]|", "<b> c|"},
      {"[wrap(b,,c)]|", "<b>c|"},
      {"[wrap(b,)]|", "<b,>|"},
      {"[wrap()]|", "<$1>|"},  // one empty argument: the reference stays
      {"[wrap(x[1])]|", "<x[1]>|"},
      {"[wrap(a>b)]|", "<a>b>|"},
      // Not run: the Tab is typed.
      {"[nosuch]|", "[nosuch]\t|"},
      {"plain|", "plain\t|"},
      {"[hi\r]|", "[hi\r]\t|"},
      {"[hi] |", "[hi] \t|"},
      // An action that is neither macro nor shell does nothing, and the Tab
      // is typed.
      {"[off]|", "[off]\t|"},
  };
  for (const Case& c : cases) EXPECT_EQ(TabAt(c.before), c.after) << c.before;
}

TEST_F(Inline, TheInsertionPointGoesWhereTheCursorMarkerStood) {
  EXPECT_EQ(TabAt("  [tag(b,c)]|"), "  <b class=\"c\">|</b>");
  EXPECT_EQ(TabAt("[first]|"), "|<x/>");
  // A multi-line text continues every line with the line's indentation.
  EXPECT_EQ(TabAt("\t\t[block]|"), "\t\ta\r\t\tb\r\t\tc|");
  // One undo takes the whole expansion back.
  WEUndo(we);
  EXPECT_EQ(Text(), "\t\t[block]");
}

TEST_F(Inline, ExpansionOfArgumentsDefaultsSectionsAndSubstitutions) {
  struct Case {
    const char* text;
    std::vector<std::string> args;
    const char* result;
  } cases[] = {
      {"<$1 id=\"$2\">$CURSOR</$1>", {"a", "b"}, "<a id=\"b\">$CURSOR</a>"},
      {"$1 tail", {"a"}, "a tail"},
      {"$1$2", {"a", "b"}, "ab"},
      {"$2{none}", {"a"}, "none"},
      {"$2{none}", {"a", ""}, "none"},
      {"$2{none}", {"a", "b"}, "b"},
      {"$2{$1}", {"a"}, "a"},
      {"$3 $x $", {"a"}, "$3 $x $"},
      {"$2{open", {"a"}, "$2{open"},
      {"f($1[, $2])", {"a"}, "f(a)"},
      {"f($1[, $2])", {"a", "b"}, "f(a, b)"},
      {"f($1[, $2])", {"a", "^"}, "f(a)"},
      {"[$1]x", {"a"}, "ax"},
      {"a[ plain]b", {}, "ab"},
      {"$1]", {"a"}, "a]"},
      {"<`printf hi`>", {}, "<hi>"},
      {"`printf ' a b \\n'`", {}, "a b"},
      {"`true`", {}, "`true`"},
      {"\\`printf hi\\`", {}, "\\`printf hi\\`"},
      {"`printf %s \"$1\"`", {"x y"}, "x y"},
      {"`printf %s $1`|`printf %s '$1'`", {"it's"}, "it's|it's"},
      // Values are data: nothing in them is read as a marker or run.
      {"$1|$2|$3", {"`printf no`", "$2", "[x]"}, "`printf no`|$2|[x]"},
      {"[$1]", {"$CURSOR[$1]"}, "$CURSOR[$1]"},
  };
  for (const Case& c : cases) EXPECT_EQ(Expand(c.text, c.args), c.result) << c.text;
}

TEST_F(Inline, VariablesTakeTheLongestNameAndLeaveTheCursorMarker) {
  library->variables =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  auto set = [&](const std::string& name, const std::string& value) {
    Ref k(CF(name)), v(CF(value));
    CFDictionarySetValue(library->variables, k.get(), v.get());
  };
  set("A", "short");
  set("AB", "long");
  set("C", "oops");
  set("CURSOR", "oops");
  set("FILENAME", "custom");
  set(std::string(70, 'N'), std::string(70, 'v'));
  library->SetController(we);
  struct Case {
    const char* text;
    std::string result;
  } cases[] = {
      {"$a $ab $abc", "short long $abc"},
      {"$FILE $file", "page.php page.php"},
      {"$FILENAME $FILE_x", "custom $FILE_x"},
      {"$CURSOR", "$CURSOR"},
      {"$PATH", documentPath},
      {"$$1", "$$1"},
      {"$", "$"},
  };
  for (const Case& c : cases) {
    Ref cf(CF(c.text));
    CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, cf.str());
    library->InsertVariables(m, nullptr);
    EXPECT_EQ(Utf8(m), c.result) << c.text;
    CFRelease(m);
  }
  // Names and values count up to 63 characters.
  Ref cf(CF("$" + std::string(63, 'N') + "."));
  CFMutableStringRef m = CFStringCreateMutableCopy(nullptr, 0, cf.str());
  library->InsertVariables(m, nullptr);
  EXPECT_EQ(Utf8(m), std::string(63, 'v') + ".");
  CFRelease(m);
}

struct Hostile : Inline {
  void SetUp() override {
    documentName = "it's \"a\" $(touch INJECTED) `touch INJECTED` b.php";
    Inline::SetUp();
    ASSERT_EQ(chdir(scratch.c_str()), 0);
  }
};

TEST_F(Hostile, ValuesReachShellCommandsAsDataNeverAsCode) {
  library->variables =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  Ref k(CF("GREETING")), v(CF("'; touch INJECTED; '\"$(touch INJECTED)\""));
  CFDictionarySetValue(library->variables, k.get(), v.get());
  const std::string hostile = "$(touch INJECTED); `touch INJECTED` \"'";
  struct Case {
    const char* action;
    const char* text;
    std::vector<std::string> args;
    std::string result;
  } cases[] = {
      {"shell", "printf %s $FILE", {}, documentName},
      {"shell", "printf %s \"$FILE\"", {}, documentName},
      {"shell", "printf %s '$FILE'", {}, documentName},
      {"shell", "printf %s \\$FILE", {}, documentName},
      {"shell", "printf %s \"$PATH\"", {}, documentPath},
      {"shell", "printf %s '<$greeting>'", {}, "<'; touch INJECTED; '\"$(touch INJECTED)\">"},
      {"shell", "printf '%s|' $1 \"$2\" '$2'", {"a b", hostile}, "a b|" + hostile + "|" + hostile + "|"},
      {"macro", "<`printf %s \"$1\"`>", {hostile}, "<" + hostile + ">"},
      {"macro", "<`printf %s $FILE`>", {}, "<" + documentName + ">"},
      // The shell's own search path is not the document's path.
      {"shell", "printf %s \"$PATH\" >/dev/null; command -v sh >/dev/null && printf ok", {}, "ok"},
      // Line breaks of the text view separate commands.
      {"shell", "printf one\rprintf ' two'", {}, "one two"},
  };
  for (const Case& c : cases) {
    Define("cmd", c.action, c.text);
    SetText("");
    EXPECT_FALSE(Run("cmd", c.args));
    EXPECT_EQ(Text(), c.result) << c.text;
  }
  EXPECT_FALSE(Exists(scratch + "/INJECTED"));
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
}

TEST_F(Inline, ShellCommandsReadNothingAndAreStoppedWhenTheyRunTooLong) {
  Define("read", "shell", "read line; printf 'got:%s' \"$line\"");
  EXPECT_FALSE(Run("read"));
  EXPECT_EQ(Text(), "got:");

  // Something left running in the background does not hold the command up
  // (waiting for it would run into the limit and be reported).
  library->commandTimeLimit = 3;
  Define("background", "shell", "sleep 20 2>/dev/null & printf done");
  SetText("");
  Run("background");
  EXPECT_EQ(Text(), "done");
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());

  library->commandTimeLimit = 0.3;
  struct Case {
    const char* action;
    const char* text;
    const char* message;
  } cases[] = {
      {"shell", "sleep 30; printf late", "it ran longer than 0.3 seconds"},
      {"macro", "before `sleep 30` after", "it ran longer than 0.3 seconds"},
      {"shell", "exec >&-; sleep 30", "it ran longer than 0.3 seconds"},
      {"shell", "yes", "it wrote more than 1000 bytes"},
  };
  library->commandOutputLimit = 1000;
  for (const Case& c : cases) {
    HeadlessClearAlertLog();
    Define("slow", c.action, c.text, "", "Slow One");
    TabAtEnd("[slow]");
    EXPECT_EQ(Text(), "[slow]") << c.text;  // nothing delivered, the Tab not typed
    const auto alerts = HeadlessCopyAlertLog();
    ASSERT_EQ(alerts.size(), 1u) << c.text;
    EXPECT_EQ(alerts[0].explanation, std::string("The command \"Slow One\" was stopped: ") + c.message + ".");
  }
}

TEST_F(Inline, ResultsGoWhereTheDestinationSays) {
  Define("say", "macro", "said $1{it}", "console", "Say It");
  Define("errs", "shell", "printf 'bad|3|1|self\\n'", "error list");
  Define("tip", "macro", "Hello", "popup");
  Define("web", "macro", "https://example.com/$1{x}", "url");
  Define("all", "shell", "printf 'line one\\nline two\\n'", "replace");
  Define("lines", "shell", "printf 'a\\nb\\r\\nc'");

  TabAtEnd("x\r  [say(loud)]");
  EXPECT_EQ(heard.command, kHICommandMacroConsole);
  EXPECT_EQ(heard.text, "said loud");
  EXPECT_EQ(heard.title, "Say It");
  EXPECT_EQ(Text(), "x\r  [say(loud)]");

  // A destination after the arguments overrides the command's own.
  TabAtEnd("[say(a)>error list]");
  EXPECT_EQ(heard.command, kHICommandMacroErrorList);
  EXPECT_EQ(heard.text, "said a");

  Run("errs");
  EXPECT_EQ(heard.command, kHICommandMacroErrorList);
  EXPECT_EQ(heard.text, "bad|3|1|self\n");
  EXPECT_EQ(heard.title, "errs");

  TabAtEnd("ab\r  [say>popup]");
  std::string tag;
  Rect hot{};
  ASSERT_TRUE(HelpGetShownTag(&tag, &hot));
  EXPECT_EQ(tag, "said it");
  EXPECT_EQ(Text(), "ab\r  [say>popup]");
  SInt16 lineHeight = 0;
  const CGPoint at = WEConvertOffsetToScreen(5, lineHeight, we);
  EXPECT_EQ(hot.left, SInt16(at.x));
  EXPECT_EQ(hot.top, SInt16(at.y + lineHeight));
  EXPECT_TRUE(hot.left == hot.right && hot.top == hot.bottom);

  SetText("q");
  Run("web", {"page"});
  const auto requests = HeadlessCopyLaunchRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, "https://example.com/page");
  Run("web", {"a b"});
  ASSERT_EQ(HeadlessCopyAlertLog().size(), 1u);
  EXPECT_EQ(HeadlessCopyAlertLog()[0].explanation, "Invalid URL.");
  EXPECT_EQ(Text(), "q");

  SetText("old text\rmore");
  WESetSelection(3, 3, we);
  Run("all");
  EXPECT_EQ(Text(), "line one\rline two\r");
  EXPECT_EQ(heard.refreshes, 1);
  WEUndo(we);
  EXPECT_EQ(Text(), "old text\rmore");

  // Shell output comes into the text with the text view's line breaks.
  SetText("");
  Run("lines");
  EXPECT_EQ(Text(), "a\rb\rc");
}

TEST_F(Inline, AResultNobodyTakesIsReleased) {
  CFStringRef text = CFStringCreateWithCString(nullptr, "result", kCFStringEncodingUTF8);
  EXPECT_EQ(SendResultCommand(GetWindowEventTarget(window), kHICommandMacroConsole, "t", text), eventNotHandledErr);
  EXPECT_EQ(SendResultCommand(nullptr, kHICommandMacroConsole, "t", text), eventNotHandledErr);
  EXPECT_EQ(SendResultCommand(GetControlEventTarget(view), kHICommandMacroConsole, "t", text), noErr);
  EXPECT_EQ(heard.text, "result");
  EXPECT_EQ(CFGetRetainCount(text), 1);
  CFRelease(text);
}

TEST_F(Inline, MenuCommandsRunOnTheSelection) {
  Define("bold", "macro", "<b>$1{none}</b>", "", "Bold");
  library->SetLanguage("php");
  MenuRef menu = library->BuildMenu();
  MenuItemIndex item = 0;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    CFStringRef title = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &title);
    if (Utf8(title) == "Bold") item = i;
    if (title) CFRelease(title);
  }
  ASSERT_NE(item, 0);
  HICommand command{};
  command.commandID = kHICommandInsertMacro;
  command.attributes = kHICommandFromMenu;
  command.menu.menuRef = menu;
  command.menu.menuItemIndex = item;

  SetText("make this bold");
  WESetSelection(10, 14, we);
  library->SetController(we);
  library->ExecuteMenuCommand(command);
  EXPECT_EQ(Marked(), "make this <b>bold</b>|");
  WESetSelection(0, 0, we);
  library->ExecuteMenuCommand(command);
  EXPECT_EQ(Marked(), "<b>none</b>|make this <b>bold</b>");
  ReleaseMenu(menu);
}

// Typing helpers that record their calls and the shared state they see.
std::vector<std::string> gCalls;
UInt32 gKey = 0, gModifiers = 0;
Boolean gNoFlux = false;

CodeSenseTypingHelpers RecordingHelpers() {
  CodeSenseTypingHelpers h{};
  h.ValidBracketCharacter = [](UInt8 ch) -> Boolean { return ch == '(' || ch == '['; };
  h.AutoExpandLanguageTags = [](UInt8 ch, SInt16, WEReference, Boolean&) {
    gCalls.push_back(std::string("tags ") + char(ch));
  };
  h.AutoCompleteBrackets = [](UInt8 ch, SInt16 key, WEReference, Boolean& accept) {
    gCalls.push_back("brackets " + std::to_string(key));
    if (ch == '(') accept = false;
  };
  h.AutoCloseTag = [](SInt32 offset, WEReference, Boolean&) {
    gCalls.push_back("close " + std::to_string(offset));
    gNoFlux = true;
  };
  h.AutoDeleteTag = [](SInt32 offset, WEReference, Boolean&) { gCalls.push_back("delete " + std::to_string(offset)); };
  h.InsertForwardLineBreak = [](SInt32 offset, WEReference) { gCalls.push_back("forward " + std::to_string(offset)); };
  h.AutoIndent = [](SInt32 offset, WEReference we) {
    gCalls.push_back("indent " + std::to_string(offset) + " key " + std::to_string(gKey));
    WEBeginAction(we);
    WEPut(offset + 1, offset + 1, "  ", 2, 0, 0, 0, nullptr, nullptr, we);
    WESetSelection(offset + 3, offset + 3, we);
    WEEndAction(weAKTyping, we);
  };
  h.CurrentKeyCode = &gKey;
  h.CurrentKeyModifiers = &gModifiers;
  h.DisableFlux = &gNoFlux;
  return h;
}

TEST_F(Inline, TheKeyFilterHandsKeysToTheTypingHelpersInOrder) {
  const CodeSenseTypingHelpers helpers = RecordingHelpers();
  CodeSenseSetTypingHelpers(&helpers);
  struct Case {
    char16_t ch;
    UInt32 key, modifiers;
    std::vector<std::string> calls;
    const char* text;
  } cases[] = {
      {u'a', 0, 0, {"tags a"}, "aab"},
      {u'(', 0, 0, {"tags (", "brackets 0"}, "ab"},  // the helper took the key
      {u'\r', kCodeSenseReturnKey, 0, {"tags \r", "brackets 36", "close 1", "indent 1 key 36"}, "a\r  b"},
      {u'\b', kCodeSenseDeleteKey, kCodeSenseOptionModifier, {"tags \b", "brackets 51", "delete 1"}, "b"},
      {u'\r', kCodeSenseReturnKey, kCodeSenseOptionModifier, {"tags \r", "brackets 36", "close 1", "forward 1"}, "ab"},
      // The Return before was not typed: the next change is no Return.
      {u'\t', kCodeSenseTabKey, 0, {"tags \t"}, "a\tb"},
  };
  for (const Case& c : cases) {
    SetText("ab");
    WESetSelection(1, 1, we);
    gCalls.clear();
    Key(c.ch, c.key, c.modifiers);
    EXPECT_EQ(gCalls, c.calls) << c.key;
    EXPECT_EQ(Text(), c.text) << c.key;
    EXPECT_EQ(gModifiers, c.modifiers);
    EXPECT_FALSE(gNoFlux);  // the filter switches the suppression off again
  }
  CodeSenseSetTypingHelpers(nullptr);
}

TEST_F(Inline, ReturnIndentsTheNewLineAndKeepsTheUndoHistory) {
  const CodeSenseTypingHelpers helpers = RecordingHelpers();
  CodeSenseSetTypingHelpers(&helpers);
  SetText("");
  WEResetModCount(we);
  Key(u'a');
  Key(u'b');
  gCalls.clear();
  Key(u'\r', kCodeSenseReturnKey);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"tags \r", "brackets 36", "close 2", "indent 2 key 36"}));
  EXPECT_EQ(Text(), "ab\r  ");
  EXPECT_EQ(gKey, 0u);
  // Every step can be taken back, the typing before the Return included.
  for (int i = 0; i < 10 && WEUndo(we) == noErr;) ++i;
  EXPECT_EQ(Text(), "");
  CodeSenseSetTypingHelpers(nullptr);
}

TEST_F(Inline, RegisteringStoresTheDocumentAndInstallsTheFilterOnlyWithLibraries) {
  FSRef stored = {};
  ByteCount size = 0;
  ASSERT_EQ(WEGetProperty(kCodeSensePropertyCreator, kCodeSenseDocumentTag, sizeof stored, &size, &stored, we), noErr);
  EXPECT_EQ(size, sizeof(FSRef));
  FSRef document = RefOf(documentPath);
  EXPECT_EQ(FSCompareFSRefs(&stored, &document), noErr);

  // A second view served by a library that has loaded nothing types its Tab.
  HIObjectRef object = nullptr;
  ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
  auto other = reinterpret_cast<HIViewRef>(object);
  HIViewAddSubview(HIViewGetRoot(window), other);
  WEReference otherWE = WasteCreateController(other, window, 0);
  TCodeSenseLibrary* empty = new TCodeSenseLibrary();
  empty->Register(other, document);
  WEPut(0, 0, "[hi]", 4, 0, 0, 0, nullptr, nullptr, otherWE);
  WESetSelection(4, 4, otherWE);
  const UniChar tab = '\t';
  WETextInput(&tab, 1, kCodeSenseTabKey, 0, otherWE);
  EXPECT_EQ(WEGetTextLength(otherWE), 5);
  empty->Free();
}

// Every command of the shipped libraries expands (or runs) without a report
// and leaves no argument reference or cursor marker behind.
TEST_F(Inline, EveryShippedCommandRuns) {
  TCodeSenseLibrary* shipped = LoadCodeSenseLibrary();
  ASSERT_NE(shipped->variables, nullptr);
  const char* const names[] = {"common", "html", "javascript", "php", "perl", "ruby", "xml", "pascal"};
  shipped->Register(view, RefOf(documentPath));
  int commands = 0;
  for (const char* name : names) {
    Ref key(CF(name));
    auto dictionary = static_cast<CFDictionaryRef>(CFDictionaryGetValue(shipped->commands, key.get()));
    ASSERT_NE(dictionary, nullptr) << name;
    const CFIndex count = CFDictionaryGetCount(dictionary);
    ASSERT_GT(count, 0) << name;
    std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    shipped->SetLanguage(name);
    for (CFIndex i = 0; i < count; ++i) {
      const std::string command = Utf8(static_cast<CFStringRef>(keys[size_t(i)]));
      auto entry = static_cast<CFDictionaryRef>(values[size_t(i)]);
      const std::string action = Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(entry, CFSTR("action"))));
      const std::string output = Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(entry, CFSTR("output"))));
      EXPECT_TRUE(action == "macro" || action == "shell") << name << " " << command;
      EXPECT_TRUE(output == "default" || output == "popup" || output == "url" || output == "replace" ||
                  output == "console" || output == "error list")
          << name << " " << command;
      // As typed inline, once with arguments and once without.
      for (const char* arguments : {"(one,two,three)", ""}) {
        HeadlessClearAlertLog();
        heard = Heard();
        const std::string typed = "  [" + command + arguments + "]";
        TabAtEnd(typed);
        const std::string text = Text();
        EXPECT_TRUE(HeadlessCopyAlertLog().empty()) << name << " " << command;
        for (const std::string& result : {text, heard.text}) {
          EXPECT_EQ(result.find("$CURSOR"), std::string::npos) << name << " " << command << ": " << result;
          for (char d = '1'; d <= '9'; ++d)
            EXPECT_EQ(result.find(std::string("$") + d), std::string::npos) << name << " " << command << ": " << result;
        }
        EXPECT_NE(text, typed + "\t") << "the Tab was typed: " << name << " " << command;
      }
      ++commands;
    }
  }
  EXPECT_GT(commands, 0);
  shipped->Free();
}

}  // namespace
