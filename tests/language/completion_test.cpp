// The completion list of a source editor over a real PHP file: what it offers
// for a prefix (keywords, built-in functions, the file's symbols) and in what
// order, keys typed through the events the hosts send (the list sees Return,
// Up, Down and Escape before the text while it shows, and the editor keeps the
// focus), the entry put in place of the word, and clicks elsewhere hiding it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "PascalCarbonCommon.h"
#include "TCodeCompletionUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "fixtures/EditorFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;
using namespace editortest;

namespace {

enum : UInt32 { kReturn = 36, kEscape = 53, kDown = 125, kUp = 126 };


const char* const kShop =
    "<?php\n"
    "function total_price($items) { return 0; }\n"
    "function to_cents($amount) { return 0; }\n"
    "global $total;\n"
    "\n"
    "?>\n";

struct CompletionTest : ScratchTest {
  TFileSystem* index = nullptr;
  TWASTEDocument* document = nullptr;
  TQVEditor* editor = nullptr;
  TCodeCompletionWindow* list = nullptr;
  WEReference we = nullptr;
  WindowRef window = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    RegisterEditorViewsOnce();
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), Languages(), nullptr);
    index->SetRoot(RefOf(scratch));
  }
  void TearDown() override {
    if (editor != nullptr) editor->ReleaseViewObject();
    if (document != nullptr) document->Release();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }

  // Opens the file in an editor whose window is shown with the text focused,
  // and waits for the full parse.
  void Open(const std::string& name, const std::string& text) {
    WriteText(scratch + "/" + name, text);
    document = new TWASTEDocument();
    document->Create(RefOf(scratch + "/" + name));
    editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetFileSystem(index);
    editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
    editor->Create("Source Pane", EditorNib());
    ASSERT_NE(editor->view, nullptr);
    list = editor->completion;
    ASSERT_NE(list, nullptr) << "the completion list comes from the program's interface file";
    ASSERT_NE(list->window, nullptr);
    we = editor->GetWE();
    window = editor->GetWindow();
    ASSERT_NE(window, nullptr);
    editor->Load();
    for (int i = 0; i < 100000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
    ShowWindow(window);
    SelectWindow(window);
    ASSERT_EQ(SetKeyboardFocus(window, editor->view->control, kControlEditTextPart), noErr);
    editor->SetSyntaxMode("default", false);
  }
  SInt32 Find(const std::string& what) {
    const size_t at = TextOf(we).find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return SInt32(at);
  }
  OSStatus Key(UInt32 keyCode, UniChar ch) { return SendKey(keyCode, ch); }
  void Type(const std::string& text) {
    for (char c : text) Key(0, UniChar(c));
  }
  // Long enough for the word tracking to report the word.
  void Pause() { HeadlessAdvanceClock(1.0); }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (UInt32 row = 0; row < list->browser->CountRows(); ++row) rows.push_back(list->browser->GetRowText(row).str());
    return rows;
  }
  bool Shown() { return IsWindowVisible(list->window); }
  // The editor's window stays the active one, with the text focused.
  void ExpectEditorKeepsTheFocus() {
    EXPECT_EQ(ActiveNonFloatingWindow(), window);
    EXPECT_EQ(GetUserFocusWindow(), window);
    HIViewRef focus = nullptr;
    GetKeyboardFocus(window, &focus);
    EXPECT_EQ(focus, editor->view->control);
  }
  // What the hosts send on every click: the window clicked is asked first.
  void ClickIn(WindowRef clicked) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kEventWindowGetClickModality, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof clicked, &clicked);
    SendEventToEventTarget(e, GetWindowEventTarget(clicked));
    ReleaseEvent(e);
  }
  // FindCompletion as word tracking calls it, over the whole file.
  void Complete(const std::string& prefix, const char* context) {
    list->fileSystem = index;
    list->controller = we;
    list->language = Languages()->GetLanguageLibrary("php");
    list->contextName = Str255(context);
    list->wordRange = CFRangeMake(0, 0);
    list->FindCompletion(Str255(prefix));
  }
};

TEST_F(CompletionTest, OffersKeywordsBuiltInsAndSymbolsInOrder) {
  Open("shop.php", kShop);
  struct Case {
    const char* prefix;
    const char* context;
    std::vector<std::string> rows;
  } cases[] = {
      // Built-in functions, alphabetically; the word itself is not offered.
      {"array_m", "empty", {"array_map", "array_merge", "array_merge_recursive", "array_multisort"}},
      {"array_merge", "empty", {"array_merge_recursive"}},
      // Keywords, built-ins and the file's symbols together; the variable's
      // "$" is not part of what is offered.
      {"to", "empty", {"to_cents", "total", "total_price", "touch"}},
      {"tot", "empty", {"total", "total_price"}},
      // Inside a string no keyword applies, but the symbols still do.
      {"to", "string", {"to_cents", "total", "total_price"}},
      {"zzz", "empty", {}},
      // A word that did not convert to the list's characters offers nothing.
      {"", "empty", {}},
  };
  for (const Case& c : cases) {
    Complete(c.prefix, c.context);
    EXPECT_EQ(Rows(), c.rows) << c.prefix << " in " << c.context;
    EXPECT_EQ(Shown(), !c.rows.empty()) << c.prefix;
    if (!c.rows.empty()) {
      EXPECT_EQ(list->browser->GetSelectedRow(), 0) << "the first row starts selected";
    }
  }
  Complete("arr", "empty");
  const std::vector<std::string> rows = Rows();
  ASSERT_GE(rows.size(), size_t(20));
  EXPECT_EQ(rows.front(), "array");
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1], rows[i]);
  // Twelve rows show at most.
  Rect bounds{};
  GetWindowBounds(list->window, kWindowStructureRgn, &bounds);
  EXPECT_EQ(bounds.bottom - bounds.top, 192);
  Complete("tot", "empty");
  GetWindowBounds(list->window, kWindowStructureRgn, &bounds);
  EXPECT_EQ(bounds.bottom - bounds.top, 32);
  ExpectEditorKeepsTheFocus();
}

TEST_F(CompletionTest, TypingAPrefixShowsTheListUnderTheWordAndKeysDriveIt) {
  Open("keys.php", kShop);
  WESetSelection(Find("\r?>"), Find("\r?>"), we);
  const std::string before = TextOf(we);
  Type("tot");
  Pause();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"total", "total_price"}));
  ExpectEditorKeepsTheFocus();
  // Under the word: its start's point in the window, one line lower.
  const SInt32 wordStart = Find("tot\r?>");
  EXPECT_EQ(list->wordRange.location, wordStart);
  LongPt point{};
  SInt16 lineHeight = 0;
  WEGetPoint(wordStart, 1, &point, &lineHeight, we);
  Rect content{}, popup{};
  GetWindowBounds(window, kWindowContentRgn, &content);
  GetWindowBounds(list->window, kWindowStructureRgn, &popup);
  EXPECT_EQ(popup.left, content.left + point.h);
  EXPECT_EQ(popup.top, content.top + point.v + lineHeight);

  // Down and Up move the selection and stop at the ends; the text never sees them.
  const std::string typed = TextOf(we);
  SInt32 selStart = 0, selEnd = 0;
  WEGetSelection(&selStart, &selEnd, we);
  EXPECT_EQ(Key(kDown, 0x1F), noErr);
  EXPECT_EQ(list->browser->GetSelectedRow(), 1);
  EXPECT_EQ(Key(kDown, 0x1F), noErr);
  EXPECT_EQ(list->browser->GetSelectedRow(), 1);
  EXPECT_EQ(Key(kUp, 0x1E), noErr);
  EXPECT_EQ(Key(kUp, 0x1E), noErr);
  EXPECT_EQ(list->browser->GetSelectedRow(), 0);
  EXPECT_EQ(Key(kDown, 0x1F), noErr);
  EXPECT_EQ(TextOf(we), typed);
  SInt32 nowStart = 0, nowEnd = 0;
  WEGetSelection(&nowStart, &nowEnd, we);
  EXPECT_EQ(nowStart, selStart);
  ExpectEditorKeepsTheFocus();

  // Return puts the entry in place of the word, and no line break follows.
  EXPECT_EQ(Key(kReturn, '\r'), noErr);
  EXPECT_FALSE(Shown());
  std::string expected = before;
  expected.insert(size_t(wordStart), "total_price");
  EXPECT_EQ(TextOf(we), expected);
  WEGetSelection(&nowStart, &nowEnd, we);
  EXPECT_EQ(nowStart, wordStart + 11) << "the insertion point follows the entry";
  // The entry joins the typing of the word: one undo takes both back.
  WEUndo(we);
  EXPECT_EQ(TextOf(we), before);

  // Once hidden, Return is the text's again.
  const SInt32 length = WEGetTextLength(we);
  EXPECT_EQ(Key(kReturn, '\r'), eventNotHandledErr);
  EXPECT_GT(WEGetTextLength(we), length);
}

// Each interface file that holds the list gives it one column, the one the
// list fills (rows of a column it does not fill are drawn empty).
TEST_F(CompletionTest, EveryInterfaceFileOfTheListShowsTheEntriesText) {
  for (const char* file : {"main", kCodeCompletionNibName}) {
    SCOPED_TRACE(file);
    IBNibRef nib = nullptr;
    CFStringRef name = CFStringCreateWithCString(nullptr, file, kCFStringEncodingUTF8);
    ASSERT_EQ(CreateNibReference(name, &nib), noErr);
    CFRelease(name);
    auto* window = new TCodeCompletionWindow();
    window->Create("CodeCompletion", nib);
    ASSERT_NE(window->window, nullptr);
    ASSERT_NE(window->browser, nullptr);
    UInt32 columns = 0;
    EXPECT_EQ(GetDataBrowserTableViewColumnCount(window->browser->control, &columns), noErr);
    EXPECT_EQ(columns, 1u);
    DataBrowserPropertyID first = 0;
    EXPECT_EQ(GetDataBrowserTableViewColumnProperty(window->browser->control, 0, &first), noErr);
    EXPECT_EQ(first, kCodeCompletionColumn);
    window->Release();
    DisposeNibReference(nib);
  }
}

// With the word near the screen's bottom right corner the list stays on the
// screen: above the line (not over the word) and moved left.
TEST_F(CompletionTest, NearTheScreensEdgesTheListStaysOnItAndOffTheWord) {
  Open("edge.php", kShop);
  const SInt32 at = Find("\r?>");
  WESetSelection(at, at, we);
  Rect screen{};
  ASSERT_EQ(GetAvailableWindowPositioningBounds(nullptr, &screen), noErr);
  LongPt point{};
  SInt16 lineHeight = 0;
  WEGetPoint(at, 1, &point, &lineHeight, we);
  // The caret's line ends 4 pixels above the screen's bottom, 30 from its right.
  MoveWindow(window, SInt16(screen.right - 30 - point.h), SInt16(screen.bottom - 4 - point.v - lineHeight), false);
  Type("tot");
  Pause();
  ASSERT_TRUE(Shown());
  Rect content{}, popup{};
  GetWindowBounds(window, kWindowContentRgn, &content);
  GetWindowBounds(list->window, kWindowStructureRgn, &popup);
  const SInt32 lineTop = content.top + point.v;
  EXPECT_EQ(popup.bottom, lineTop) << "right above the word's line";
  EXPECT_EQ(popup.bottom - popup.top, 32);
  EXPECT_EQ(popup.right, screen.right);
  EXPECT_GT(popup.right - popup.left, 30);
  EXPECT_GE(popup.left, screen.left);
}

TEST_F(CompletionTest, EscapeAndClicksElsewhereHideTheList) {
  Open("hide.php", kShop);
  WESetSelection(Find("\r?>"), Find("\r?>"), we);
  Type("to");
  Pause();
  ASSERT_TRUE(Shown());
  const std::string typed = TextOf(we);
  EXPECT_EQ(Key(kEscape, 0x1B), noErr);
  EXPECT_FALSE(Shown());
  EXPECT_EQ(TextOf(we), typed);

  // A further letter tracks the word again; a one-letter word hides the list.
  Type("t");
  Pause();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"total", "total_price"}));
  // A click in the list itself keeps it; a click in any other window hides it.
  ClickIn(list->window);
  EXPECT_TRUE(Shown());
  ExpectEditorKeepsTheFocus();
  ClickIn(window);
  EXPECT_FALSE(Shown());

  Type(" x");
  Pause();
  EXPECT_FALSE(Shown()) << "a word of one character";
}

}  // namespace

namespace {

// The mode (and with it the keywords the list offers) follows the caret; at
// the very end of a PHP file without a closing tag it stays PHP.
TEST_F(CompletionTest, AtTheEndOfAnOpenBlockTheModeIsItsLanguage) {
  Open("tail.php", "<html>\n<?php\n$total = 1;\n");
  const SInt32 end = WEGetTextLength(we);
  WESetSelection(end, end, we);
  HeadlessAdvanceClock(0.2);  // the view's cursor tracking
  ASSERT_NE(editor->CurrentLanguage(), nullptr);
  EXPECT_EQ(editor->CurrentLanguage()->language.str(), "php");
  WESetSelection(0, 0, we);
  HeadlessAdvanceClock(0.2);
  EXPECT_EQ(editor->CurrentLanguage()->language.str(), "html");
}

}  // namespace
