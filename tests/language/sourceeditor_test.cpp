// The source editor over a real text view and the shipped languages: a PHP
// file opened and coloured with its symbols, keystrokes through the macro
// library's key filter and the typing helpers, each edit's re-parse (a paste
// over a selection too), a whole-text re-parse after the text changed
// unseen, the functions menu, and the parser driver's batch queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/CFRef.h"
#include "CFURL.h"
#include "DynamicParser.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "PascalCarbonCommon.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "fixtures/EditorFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;
using namespace editortest;

namespace {


bool SameColour(const RGBColor& a, const RGBColor& b) { return CompareRGBColor(a, b); }

struct EditorTest : ScratchTest {
  TFileSystem* index = nullptr;
  TCodeSenseLibrary* macros = nullptr;
  TWASTEDocument* document = nullptr;
  TQVEditor* editor = nullptr;
  WEReference we = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    RegisterEditorViewsOnce();
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), Languages(), nullptr);
    index->SetRoot(RefOf(scratch));
    WriteText(scratch + "/common.macros.plist",
              Library({{"hello", "macro", "Hello, $CURSOR world"}}));
    macros = new TCodeSenseLibrary();
    macros->LoadLibrary(RefOf(scratch + "/common.macros.plist"));
  }
  void TearDown() override {
    if (editor != nullptr) editor->ReleaseViewObject();
    if (document != nullptr) document->Release();
    if (macros != nullptr) macros->Free();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }

  // Opens the file in a new editor and waits for its full parse.
  void Open(const std::string& name, const std::string& text) {
    WriteText(scratch + "/" + name, text);
    document = new TWASTEDocument();
    document->Create(RefOf(scratch + "/" + name));
    editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetFileSystem(index);
    editor->SetCodeSense(macros);
    editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
    editor->Create("Source Pane", EditorNib());
    ASSERT_NE(editor->view, nullptr);
    we = editor->GetWE();
    editor->AddModeMenu();
    editor->AddMacroMenu();
    editor->Load();
    Finish();
    // Moving the insertion point chooses the language under it.
    editor->SetSyntaxMode("default", false);
  }
  void Finish() {
    for (int i = 0; i < 100000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
  }
  SInt32 Find(const std::string& what, int nth = 1) {
    const std::string text = TextOf(we);
    size_t at = std::string::npos, from = 0;
    for (int i = 0; i < nth; ++i, from = at + 1) at = text.find(what, from);
    EXPECT_NE(at, std::string::npos) << what;
    return SInt32(at);
  }
  RGBColor ColourAt(SInt32 offset) { return GetOffsetColor(offset, we); }
  bool Plain(SInt32 offset) { return SameColour(ColourAt(offset), editor->GetController()->nilColor); }
  void Type(const std::string& keys) {
    for (char c : keys) {
      UniChar ch = UniChar(c);
      UInt32 code = c == '\r' ? kCodeSenseReturnKey : c == '\t' ? kCodeSenseTabKey : 0;
      WETextInput(&ch, 1, code, 0, we);
    }
  }
  std::string Marked() {
    std::string text = TextOf(we);
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    return text.insert(size_t(start), "|");
  }
  // The mode follows the language under the insertion point, as the view's
  // cursor tracking makes it (the pane's window is never shown here).
  void Select(SInt32 offset) {
    WESetSelection(offset, offset, we);
    editor->SetSyntaxMode(Str255(editor->GetController()->GetEmbeddedLanguage(offset)), false);
  }
  std::vector<std::string> MenuTitles(MenuRef menu) {
    std::vector<std::string> titles;
    for (UInt16 i = 1; i <= CountMenuItems(menu); ++i) {
      CFStringRef title = nullptr;
      CopyMenuItemTextAsCFString(menu, i, &title);
      titles.push_back(Utf8(title));
      if (title) CFRelease(title);
    }
    return titles;
  }
};

const char* const kPage =
    "<html>\n"
    "<?php\n"
    "function beta() { echo 1; }\n"
    "function alpha() { return 2; }\n"
    "$name = 'text';\n"
    "?>\n"
    "</html>\n";

TEST_F(EditorTest, AnOpenedFileIsColouredAndItsSymbolsListed) {
  Open("page.php", kPage);
  std::string shown = kPage;
  for (char& c : shown)
    if (c == '\n') c = '\r';
  EXPECT_EQ(TextOf(we), shown);
  EXPECT_FALSE(Plain(Find("function")));        // a keyword
  EXPECT_FALSE(Plain(Find("'text'") + 1));      // a string
  EXPECT_FALSE(SameColour(ColourAt(Find("function")), ColourAt(Find("'text'") + 1)));
  EXPECT_FALSE(document->modified);
  // The functions menu lists the file's functions, alphabetically.
  ASSERT_NE(editor->functionsMenu, nullptr);
  EXPECT_EQ(MenuTitles(editor->functionsMenu), (std::vector<std::string>{"alpha", "beta"}));
  MenuCommand command = 0;
  GetMenuItemCommandID(editor->functionsMenu, 1, &command);
  EXPECT_EQ(command, MenuCommand(kHICommandFindSymbol));
  EXPECT_EQ(editor->FindSymbolMenuItem("beta"), 2);
  EXPECT_EQ(editor->FindSymbolMenuItem("gamma"), 0);
  // The mode menu checks the file's language, and ends with the encoding
  // the file was read in.
  const std::vector<std::string> modes = MenuTitles(editor->modeMenu);
  ASSERT_EQ(modes.size(), size_t(Languages()->GetLibraryCount()) + 2);
  EXPECT_EQ(modes.back(), "Encoding: UTF-8, LF");
}

// A function chosen in the functions menu is selected in this very file, a
// file of a project or of none (whose symbols name it by another key).
TEST_F(EditorTest, AChosenFunctionIsSelectedWhereItIsDeclared) {
  for (const char* root : {"", "/index"}) {
    SCOPED_TRACE(*root ? "a file of no project" : "a file of the project");
    index->SetRoot(RefOf(scratch + root));
    Open(*root ? "elsewhere.php" : "page.php", kPage);
    ASSERT_EQ(MenuTitles(editor->functionsMenu), (std::vector<std::string>{"alpha", "beta"}));
    HICommand command{};
    command.attributes = kHICommandFromMenu;
    command.commandID = kHICommandFindSymbol;
    command.menu.menuRef = editor->functionsMenu;
    command.menu.menuItemIndex = 2;
    editor->HandleFindSymbolCommand(command);
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    EXPECT_EQ(start, Find("function beta"));
    EXPECT_EQ(end, Find("function alpha"));
    editor->ReleaseViewObject();
    editor = nullptr;
    document->Release();
    document = nullptr;
  }
}

TEST_F(EditorTest, KeystrokesGoThroughTheTypingHelpersAndTheMacros) {
  Open("keys.php", "<html>\n\n</html>\n");
  struct Case {
    const char* what;
    const char* keys;
    const char* after;
  } cases[] = {
      {"a php block", "<?", "<html>\r<?php |?>\r</html>\r"},
      {"a bracket pair", "(", "<html>\r(|)\r</html>\r"},
      {"a macro and Tab", "[hello", "<html>\r[hello|]\r</html>\r"},
  };
  for (const Case& c : cases) {
    WasteSetFluxState(editor->view->control, false);
    WEPut(0, WEGetTextLength(we), "<html>\r\r</html>\r", 16, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
    WasteSetFluxState(editor->view->control, true);
    Select(7);
    Type(c.keys);
    EXPECT_EQ(Marked(), c.after) << c.what;
  }
  // Past the paired "]", Tab runs the command.
  Select(Find("]") + 1);
  Type("\t");
  EXPECT_EQ(Marked(), "<html>\rHello, | world\r</html>\r");
  // Return between braces opens an indented block.
  WasteSetFluxState(editor->view->control, false);
  WEPut(0, WEGetTextLength(we), "<?php\rif (1) {}\r?>", 18, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  WasteSetFluxState(editor->view->control, true);
  Select(14);
  Type("\r");
  EXPECT_EQ(Marked(), "<?php\rif (1) {\r\t|\r}\r?>");
}

TEST_F(EditorTest, AnEditReparsesItsStretch) {
  Open("edit.php", kPage);
  const RGBColor keyword = ColourAt(Find("echo"));
  // Typing a keyword on a new line inside the PHP block colours it.
  const SInt32 at = Find("$name");
  Select(at);
  Type("echo 3;\r");
  EXPECT_TRUE(SameColour(ColourAt(Find("echo", 2)), keyword));
  EXPECT_TRUE(document->modified);
  // A word typed over the keyword's end is no keyword any more.
  Select(Find("echo", 2) + 4);
  Type("x");
  EXPECT_FALSE(SameColour(ColourAt(Find("echox")), keyword));
  // A paste over a selection: the new text first, then the removal.
  const SInt32 word = Find("echox");
  WEPut(word, word + 5, "return", 6, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  EXPECT_TRUE(SameColour(ColourAt(Find("return", 2)), ColourAt(Find("return", 1))));
  EXPECT_FALSE(Plain(Find("return", 2)));
  // The string's colour is where it was.
  EXPECT_FALSE(Plain(Find("'text'") + 1));
}

TEST_F(EditorTest, AWholeTextReparseResetsTheStylesFirst) {
  Open("whole.php", kPage);
  Select(Find("$name"));
  Type("x");  // an edit re-parsed on its own
  // The text changes while nothing listens: "echo" stays coloured.
  const SInt32 echo = Find("echo");
  WasteSetFluxState(editor->view->control, false);
  WEPut(echo, echo + 4, "ecko", 4, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  WasteSetFluxState(editor->view->control, true);
  ASSERT_FALSE(Plain(echo));
  editor->Refresh();
  Finish();
  EXPECT_TRUE(Plain(echo)) << "a whole-text parse leaves no colour of the text before";
  EXPECT_FALSE(Plain(Find("function")));
}

TEST_F(EditorTest, TheFunctionsMenuIsSortedStably) {
  // A function and a method of one name.
  Open("sort.php",
       "<?php\n"
       "function Delta() {}\n"
       "function charlie() {}\n"
       "function bravo() {}\n"
       "function Alpha() {}\n"
       "class Zed { function bravo() {} }\n"
       "?>\n");
  const std::vector<std::string> titles = MenuTitles(editor->functionsMenu);
  // Sorted on the names without regard to case; the two "bravo" keep the
  // order of the symbol table.
  EXPECT_EQ(titles, (std::vector<std::string>{"Alpha", "bravo", "Zed_bravo", "charlie", "Delta", "Zed"}));
  std::vector<std::string> parents;
  for (UInt16 item : {2, 3}) {
    UInt8 bytes[kSymbolInfoStoredSize] = {};
    ByteCount size = 0;
    ASSERT_EQ(GetMenuItemProperty(editor->functionsMenu, item, kSourceEditorPropertyCreator, kSourceEditorSymbolTag,
                                  sizeof bytes, &size, bytes),
              noErr);
    SymbolInfo symbol{};
    ASSERT_TRUE(SymbolInfoFromStoredBytes(bytes, CFIndex(size), symbol));
    parents.push_back(symbol.parentName.str());
  }
  EXPECT_EQ(parents, (std::vector<std::string>{"", "Zed"}));
}

// ---------------------------------------------------------------------------
// The driver

struct DriverTest : ScratchTest {
  std::vector<std::string> started;
  int released = 0;
  TSyntaxParser* appendTo = nullptr;  // gets d.html when the first parse starts
  SyntaxParserSource late;
  static void Notify(FileDescriptorPtr, const SyntaxParserSource& source, SInt16 kind, void*, void* context) {
    auto* self = static_cast<DriverTest*>(context);
    if (kind == kSyntaxParserNotifyStarted) {
      self->started.push_back(FSGetActualName(source.file).str());
      if (self->appendTo != nullptr) self->appendTo->AppendFile(self->late);
      self->appendTo = nullptr;
    }
    if (kind == kSyntaxParserNotifyReleased) ++self->released;
  }
  TSyntaxParser* NewDriver() {
    HeadlessUseVirtualClock(true);
    auto* driver = new TSyntaxParser();
    SyntaxParserDestination destination;
    destination.collection = Languages();
    destination.notification = Notify;
    destination.userData = this;
    driver->SetDestination(destination);
    return driver;
  }
  SyntaxParserSource SourceOf(const std::string& name, const std::string& text) {
    WriteText(scratch + "/" + name, text);
    SyntaxParserSource source;
    source.file = RefOf(scratch + "/" + name);
    return source;
  }
  void Run(TSyntaxParser* driver) {
    for (int i = 0; i < 100000 && driver->busy; ++i) HeadlessAdvanceClock(0.001);
  }
};

TEST_F(DriverTest, TheQueueIsParsedFromItsEnd) {
  TSyntaxParser* driver = NewDriver();
  for (const char* name : {"a.php", "b.js", "c.css"}) driver->AppendFile(SourceOf(name, "x y z\n"));
  // A file appended while the batch runs is parsed too, and every file once.
  late = SourceOf("d.html", "<p>x</p>\n");
  appendTo = driver;
  driver->ParseBatch(kSyntaxParserAsynchMode);
  Run(driver);
  EXPECT_FALSE(driver->busy);
  EXPECT_EQ(driver->GetQueueCount(), 0);
  EXPECT_EQ(started, (std::vector<std::string>{"c.css", "d.html", "b.js", "a.php"}));
  EXPECT_EQ(released, 1);
  driver->Free();
}

TEST_F(DriverTest, BatchesThatParseNothing) {
  TSyntaxParser* driver = NewDriver();
  // Without the asynchronous mode nothing is parsed.
  driver->AppendFile(SourceOf("a.php", "x\n"));
  driver->ParseBatch(0);
  HeadlessAdvanceClock(0.1);
  EXPECT_TRUE(started.empty());
  driver->Release();
  released = 0;
  // An empty asynchronous batch releases itself at once.
  driver->ParseBatch(kSyntaxParserAsynchMode);
  EXPECT_EQ(driver->lastError, -1);
  EXPECT_FALSE(driver->busy);
  EXPECT_EQ(released, 1);
  // A file no language reads is dropped and the next one parsed.
  driver->AppendFile(SourceOf("b.php", "x\n"));
  driver->AppendFile(SourceOf("notes.unknown", "x\n"));
  driver->ParseBatch(kSyntaxParserAsynchMode);
  Run(driver);
  EXPECT_EQ(started, std::vector<std::string>{"b.php"});
  driver->Free();
}

}  // namespace
