// Keystrokes typed into a real text view whose text filter and change
// callback call the typing helpers in the macro library's order: pairs,
// wrapped selections, brace blocks, "<?php ?>", tags closed and deleted,
// lines opened below, indentation carried over; what the view's clients
// hear of the changes; and keystrokes at the very ends of the text.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "HIObject.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "TypingHelpers.h"
#include "fenwicket/Fenwicket.h"

namespace {

// The macro library's text filter, as far as the helpers go.
Boolean Filter(UInt8 ch, SInt32 offset, UInt32 modifiers, UInt32 keyCode, WEReference we, void*) {
  Boolean accept = true;
  CurrentKeyCode = keyCode;
  CurrentKeyModifiers = modifiers;
  AutoExpandLanguageTags(ch, keyCode, we, accept);
  if (ValidBracketCharacter(ch) || ClosingBracketCharacter(ch) || keyCode == kTypingDeleteKeyCode ||
      keyCode == kTypingReturnKeyCode)
    AutoCompleteBrackets(ch, keyCode, we, accept);
  if (keyCode == kTypingReturnKeyCode) AutoCloseTag(offset, we, accept);
  if (modifiers == kTypingOptionModifier && keyCode == kTypingDeleteKeyCode) AutoDeleteTag(offset, we, accept);
  if (modifiers == kTypingOptionModifier && keyCode == kTypingReturnKeyCode) {
    InsertForwardLineBreak(offset, we);
    accept = false;
  }
  DisableFlux = false;
  return accept;
}

// And its change callback.
void Flux(SInt32 offset, SInt32, UInt8, WEReference we, void*) {
  if (CurrentKeyCode == kTypingReturnKeyCode && !DisableFlux) AutoIndent(offset, we);
  CurrentKeyCode = 0;
}

struct Heard {
  std::vector<std::pair<SInt32, SInt32>> changes;
};

struct TypingTest : ::testing::Test {
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  WEReference we = nullptr;
  Heard heard;

  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      HeadlessUseVirtualClock(true);
      RegisterWasteClass();
      registered = true;
    }
    Rect bounds = {100, 100, 400, 500};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    HIObjectRef object = nullptr;
    ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), view);
    const CGRect frame{{0, 0}, {300, 200}};
    HIViewSetFrame(view, &frame);
    we = WasteCreateController(view, window, 0);
    ASSERT_NE(we, nullptr);
    WEFeatureFlag(weFUndo, weBitSet, we);
    WEFeatureFlag(weFMultipleUndo, weBitSet, we);
    WasteCustomCallbacks helpers{};
    helpers.TEXTFILTER = Filter;
    helpers.USERFLUX = Flux;
    WasteRegisterCallbackClient(view, helpers, nullptr);
    WasteCustomCallbacks listener{};
    listener.USERFLUX = [](SInt32 offset, SInt32 delta, UInt8, WEReference, void* context) {
      static_cast<Heard*>(context)->changes.emplace_back(offset, delta);
    };
    WasteRegisterCallbackClient(view, listener, &heard);
    WasteSetFluxState(view, true);
    CurrentKeyCode = 0;
    DisableFlux = false;
  }
  void TearDown() override { DisposeWindow(window); }

  // "|" marks the insertion point; "^" and "~" the ends of a selection.
  void Set(const std::string& marked) {
    std::string text;
    SInt32 start = -1, end = -1;
    for (char c : marked) {
      if (c == '|') start = end = SInt32(text.size());
      else if (c == '^') start = SInt32(text.size());
      else if (c == '~') end = SInt32(text.size());
      else text += c;
    }
    WasteSetFluxState(view, false);
    WEPut(0, WEGetTextLength(we), text.data(), text.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
    WasteSetFluxState(view, true);
    WESetSelection(start, end, we);
    heard.changes.clear();
  }
  std::string Marked() {
    Handle h = NewHandle(0);
    WEStreamRange(0, WEGetTextLength(we), 'TEXT', 0, h, we);
    std::string text(*h, size_t(GetHandleSize(h)));
    DisposeHandle(h);
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    if (start == end) return text.insert(size_t(start), "|");
    text.insert(size_t(end), "~");
    return text.insert(size_t(start), "^");
  }
  void Type(UniChar ch, UInt32 keyCode = 0, UInt32 modifiers = 0) { WETextInput(&ch, 1, keyCode, modifiers, we); }
};

constexpr UniChar kReturn = 13, kBackspace = 8;
constexpr UInt32 kOption = kTypingOptionModifier;

TEST_F(TypingTest, KeystrokesEditTheTextAroundThem) {
  struct Case {
    const char* name;
    const char* before;
    UniChar ch;
    UInt32 keyCode, modifiers;
    const char* after;
  } cases[] = {
      {"a bracket pairs", "f|", '(', 0, 0, "f(|)"},
      {"a quote pairs", "x = |;", '\'', 0, 0, "x = '|';"},
      {"a double quote pairs", "|", '"', 0, 0, "\"|\""},
      {"delete in an empty pair", "f(|)", kBackspace, 51, 0, "f|"},
      {"delete in an empty quote pair", "''|''", kBackspace, 51, 0, "'|'"},
      {"delete elsewhere", "ab|c", kBackspace, 51, 0, "a|c"},
      {"a selection is wrapped", "x ^abc~ y", '[', 0, 0, "x [^abc~] y"},
      {"a selection is quoted", "^abc~", '"', 0, 0, "\"^abc~\""},
      {"return between braces", "  if {|}", kReturn, 36, 0, "  if {\r  \t|\r  }"},
      {"return between parentheses", "f(|)", kReturn, 36, 0, "f(\r|)"},
      {"php block", "<|>", '?', 0, 0, "<?php |?>"},
      {"opening tag closed", "<div class=\"a\"|>", kReturn, 36, 0, "<div class=\"a\">|</div>"},
      {"closing tag left alone", "</div|>", kReturn, 36, 0, "</div\r|>"},
      {"declaration left alone", "<!DOCTYPE html|>", kReturn, 36, 0, "<!DOCTYPE html\r|>"},
      {"tag pair deleted", "x <b>|</b> y", kBackspace, 51, kOption, "x | y"},
      {"option-delete elsewhere is the view's word delete", "ab|c", kBackspace, 51, kOption, "|c"},
      {"line below, indented like the next", "  a|b\r    c", kReturn, 36, kOption, "  ab\r    |\r    c"},
      {"line below the last line", "\tab|c", kReturn, 36, kOption, "\tabc\r\t|"},
      {"return without indentation", "abc|\rdef", kReturn, 36, 0, "abc\r|\rdef"},
      // The ends of the text: nothing before the first character, nothing
      // after the last.
      {"delete at the start", "|()", kBackspace, 51, 0, "|()"},
      {"question mark at the start", "|>", '?', 0, 0, "?|>"},
      {"question mark at the end", "<|", '?', 0, 0, "<?|"},
      {"return at the end after a brace", "{|", kReturn, 36, 0, "{\r|"},
      {"option-delete at the start", "|<b>", kBackspace, 51, kOption, "|<b>"},
      {"return at the start", "|>", kReturn, 36, 0, "\r|>"},
  };
  for (const Case& c : cases) {
    Set(c.before);
    Type(c.ch, c.keyCode, c.modifiers);
    EXPECT_EQ(Marked(), c.after) << c.name;
  }
}

// A pair typed out in full comes out once: the closing character typed
// right before the one the pair inserted steps over it, and only that one.
TEST_F(TypingTest, APairTypedOutComesOutOnce) {
  struct Case {
    const char* before;
    const char* typed;
    const char* after;
  } cases[] = {
      {"|", "a(b)", "a(b)|"},
      {"|", "\"d\"", "\"d\"|"},
      {"|", "[e];", "[e];|"},
      {"|", "'x'", "'x'|"},
      {"x = |;", "f(g(1), [2])", "x = f(g(1), [2])|;"},
      {"|", "<b>", "<b>|"},
      {"|", "{}", "{}|"},
      // A closing character that no pair put there is typed as usual.
      {"f(|)", ")", "f()|)"},
      {"|\"", "\"", "\"|\"\""},
  };
  for (const Case& c : cases) {
    Set(c.before);
    for (const char* p = c.typed; *p; ++p) Type(UniChar(*p));
    EXPECT_EQ(Marked(), c.after) << c.typed;
  }
  // Once the insertion point has left the pair, its closer is text like any other.
  Set("|");
  Type('(');
  Type('a');
  WESetSelection(3, 3, we);
  Type('b');
  WESetSelection(2, 2, we);
  Type(')');
  EXPECT_EQ(Marked(), "(a)|)b");
  // Backspace in a fresh pair deletes both, and the next pair is fresh again.
  Set("|");
  Type('(');
  Type(kBackspace, 51);
  Type('(');
  Type(')');
  EXPECT_EQ(Marked(), "()|");
}

TEST_F(TypingTest, BlocksAndWrapsReportOneChangeForTheWholeEdit) {
  struct Case {
    const char* before;
    UniChar ch;
    UInt32 keyCode;
    std::vector<std::pair<SInt32, SInt32>> changes;
  } cases[] = {
      {"  if {|}", kReturn, 36, {{6, 4}}},
      {"x ^abc~ y", '[', 0, {{2, 4}}},
  };
  for (const Case& c : cases) {
    Set(c.before);
    Type(c.ch, c.keyCode);
    EXPECT_EQ(heard.changes, c.changes) << c.before;
  }
  // A pair typed is an ordinary change that reaches the clients.
  Set("f|");
  Type('(');
  EXPECT_FALSE(heard.changes.empty());
}

TEST_F(TypingTest, AHelpersEditIsOneUndoStep) {
  Set("x ^abc~ y");
  Type('(');
  ASSERT_EQ(Marked(), "x (^abc~) y");
  ASSERT_EQ(WEUndo(we), noErr);
  EXPECT_EQ(Marked(), "x ^abc~ y");
  Set("  if {|}");
  Type(kReturn, 36);
  ASSERT_EQ(WEUndo(we), noErr);
  std::string text = Marked();
  text.erase(text.find('|'), 1);
  EXPECT_EQ(text, "  if {}");
}

TEST_F(TypingTest, ReturnCarriesTheIndentationOver) {
  struct Case {
    const char* before;
    const char* text;
  } cases[] = {
      {"\t  abc|", "\t  abc\r\t  "},
      {"  a|bc\r", "  a\r  bc\r"},
      // The indentation inserted is a change too, and is not indented again.
      {"    x|", "    x\r    "},
  };
  for (const Case& c : cases) {
    Set(c.before);
    Type(kReturn, 36);
    std::string text = Marked();
    text.erase(text.find('|'), 1);
    EXPECT_EQ(text, c.text) << c.before;
  }
  // The insertion point goes after the indentation.
  Set("  a\r|");
  AutoIndent(3, we);
  EXPECT_EQ(Marked(), "  a\r  |");
}

TEST(TypingHelpers, BracketsAndIndentation) {
  for (UInt8 ch : {'(', '{', '[', '\'', '"', '<'}) EXPECT_TRUE(ValidBracketCharacter(ch)) << ch;
  for (UInt8 ch : {')', '}', ']', '>', 'a', '?', '\0'}) EXPECT_FALSE(ValidBracketCharacter(ch)) << ch;
  for (UInt8 ch : {')', '}', ']', '\'', '"', '>'}) EXPECT_TRUE(ClosingBracketCharacter(ch)) << ch;
  for (UInt8 ch : {'(', '{', '[', '<', 'a', '\0'}) EXPECT_FALSE(ClosingBracketCharacter(ch)) << ch;
  LongRect r{0, 0, 100, 100};
  WEReference we = nullptr;
  ASSERT_EQ(WENew(&r, &r, 0, &we), noErr);
  const std::string text = " \t x\r\t\r\rabc\r  ";
  WEPut(0, 0, text.data(), text.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  const char* expected[] = {" \t ", "\t", "", "", "  "};
  for (SInt32 line = 0; line < 5; ++line) EXPECT_EQ(GetLineIndent(line, we).str(), expected[line]) << line;
  EXPECT_EQ(GetLineIndent(5, we).str(), "");
  EXPECT_EQ(GetLineIndent(-1, we).str(), "");
  WEDispose(we);
}

}  // namespace
