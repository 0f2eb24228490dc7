// The text engine's undo, the flux hook and the text filter: every change
// reaches the hook once with (offset, delta), whoever made it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "MacMemory.h"
#include "WASTE.h"

namespace {

std::vector<std::pair<SInt32, SInt32>> gFlux;
void RecordFlux(SInt32 offset, SInt32 delta, WEReference) { gFlux.emplace_back(offset, delta); }

struct Engine {
  WEReference we = nullptr;
  explicit Engine(OptionBits features = weDoUndo | weDoMultipleUndo) {
    LongRect dest{0, 0, 0, 2000}, view{0, 0, 400, 600};
    EXPECT_EQ(WENew(&dest, &view, features, &we), noErr);
    WEFluxProcPtr hook = RecordFlux;
    WESetInfo(weFluxHook, &hook, we);
    gFlux.clear();
  }
  ~Engine() { WEDispose(we); }
  void Put(SInt32 start, SInt32 end, const std::string& text) {
    ASSERT_EQ(WEPut(start, end, text.data(), text.size(), 0, 0, 0, nullptr, nullptr, we), noErr);
  }
  void Type(const std::u16string& text, UInt32 keyCode = 0, UInt32 modifiers = 0) {
    ASSERT_EQ(WETextInput(reinterpret_cast<const UniChar*>(text.data()), text.size(), keyCode, modifiers, we), noErr);
  }
  std::string Text() const {
    Handle h = NewHandle(0);
    WEStreamRange(0, WEGetTextLength(we), 'TEXT', 0, h, we);
    std::string out(*h ? *h : "", size_t(GetHandleSize(h)));
    DisposeHandle(h);
    return out;
  }
  WEActionKind Kind(Boolean* redo = nullptr) const {
    Boolean r = false;
    WEActionKind kind = -1;
    WEGetUndoInfo(&r, &kind, we);
    if (redo) *redo = r;
    return kind;
  }
};

using Flux = std::vector<std::pair<SInt32, SInt32>>;

TEST(WasteUndo, FluxOncePerChangeForPutsDeletesUndoAndRedo) {
  Engine e;
  e.Put(0, 0, "hello world");
  e.Put(6, 11, "there!");
  WESetSelection(0, 6, e.we);
  WEDelete(e.we);
  // A replacement reports its new text, then the removal after it.
  EXPECT_EQ(gFlux, (Flux{{0, 11}, {6, 6}, {12, -5}, {0, -6}}));
  EXPECT_EQ(e.Text(), "there!");

  gFlux.clear();
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "hello there!");
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "hello world");
  ASSERT_EQ(WERedo(e.we), noErr);
  EXPECT_EQ(e.Text(), "hello there!");
  EXPECT_EQ(gFlux, (Flux{{0, 6}, {6, 5}, {11, -6}, {6, 6}, {12, -5}}));
  // Undo selects what the step had selected before it.
  ASSERT_EQ(WEUndo(e.we), noErr);
  SInt32 s, end;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 11);  // where the put of "there!" found it
  EXPECT_EQ(end, 11);
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "");
  EXPECT_EQ(WEUndo(e.we), weCantUndoErr);
  EXPECT_EQ(e.Kind(), weAKNone);
}

TEST(WasteUndo, TypingIsOneStepUntilSomethingElseHappens) {
  Engine e;
  e.Type(u"a");
  e.Type(u"b");
  e.Type(u"c");
  e.Type(u"\b", 51);  // backspace joins the typing
  e.Type(u"d");
  EXPECT_EQ(e.Text(), "abd");
  EXPECT_EQ(e.Kind(), weAKTyping);
  EXPECT_EQ(gFlux, (Flux{{0, 1}, {1, 1}, {2, 1}, {2, -1}, {2, 1}}));
  // Moving the insertion point ends the step.
  WESetSelection(0, 0, e.we);
  e.Type(u"X");
  EXPECT_EQ(e.Text(), "Xabd");
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "abd");
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "");
  Boolean redo = false;
  EXPECT_EQ(e.Kind(&redo), weAKNone);
  EXPECT_TRUE(redo);
  ASSERT_EQ(WERedo(e.we), noErr);
  EXPECT_EQ(e.Text(), "abd");
  SInt32 s, end;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(s, 3);
  EXPECT_EQ(end, 3);
  // Return types a carriage return, enter too.
  e.Type(u"\r", 36);
  e.Type(u"\x03", 76);
  EXPECT_EQ(e.Text(), "abd\r\r");
}

TEST(WasteUndo, ActionsGroupChangesUnderTheirKind) {
  Engine e;
  e.Put(0, 0, "l1\rl2\rl3");
  ASSERT_EQ(WEBeginAction(e.we), noErr);
  ASSERT_EQ(WEBeginAction(e.we), noErr);  // nested actions join the outer one
  e.Put(0, 0, "\t");
  e.Put(4, 4, "\t");
  ASSERT_EQ(WEEndAction(weAKUnspecified, e.we), noErr);
  e.Put(8, 8, "\t");
  const RGBColor red{0xFFFF, 0, 0};
  WESetOneAttribute(0, 3, 'colr', &red, 6, e.we);
  ASSERT_EQ(WEEndAction(weAKTyping, e.we), noErr);
  EXPECT_EQ(e.Text(), "\tl1\r\tl2\r\tl3");
  EXPECT_EQ(e.Kind(), weAKTyping);
  EXPECT_EQ(WEEndAction(weAKTyping, e.we), paramErr);  // no action open

  gFlux.clear();
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "l1\rl2\rl3");
  EXPECT_EQ(gFlux, (Flux{{8, -1}, {4, -1}, {0, -1}}));  // the restyle reports nothing
  RGBColor c{};
  WEGetOneAttribute(0, 'colr', &c, 6, e.we);
  EXPECT_EQ(c.red, 0);
  EXPECT_EQ(e.Kind(), weAKUnspecified);  // the host's put before

  // An action that changed nothing is no step.
  ASSERT_EQ(WEBeginAction(e.we), noErr);
  WESetSelection(1, 2, e.we);
  ASSERT_EQ(WEEndAction(weAKPaste, e.we), noErr);
  EXPECT_EQ(e.Kind(), weAKUnspecified);
}

TEST(WasteUndo, UndoBringsBackDeletedStyles) {
  Engine e;
  e.Put(0, 0, "plain BOLD plain");
  const Boolean on = true;
  unsigned char custom[5] = {1, 2, 3, 4, 5};
  WESetOneAttribute(6, 10, 'bold', &on, 1, e.we);
  WESetOneAttribute(7, 9, 'CUST', custom, 5, e.we);
  WESetSelection(4, 12, e.we);
  WEDelete(e.we);
  ASSERT_EQ(WEUndo(e.we), noErr);
  Boolean bold = false;
  unsigned char back[5] = {};
  WEGetOneAttribute(6, 'bold', &bold, 1, e.we);
  EXPECT_TRUE(bold);
  WEGetOneAttribute(5, 'bold', &bold, 1, e.we);
  EXPECT_FALSE(bold);
  ASSERT_EQ(WEGetOneAttribute(8, 'CUST', back, 5, e.we), noErr);
  EXPECT_EQ(0, memcmp(back, custom, 5));
  EXPECT_EQ(WEGetOneAttribute(9, 'CUST', back, 5, e.we), weAttributeNotFoundErr);
}

// Several attributes set at once go back in one undo step.
TEST(WasteUndo, AttributesSetTogetherAreOneStep) {
  Engine e;
  e.Put(0, 0, "one two three");
  const Boolean on = true;
  const RGBColor red{0xFFFF, 0, 0};
  const WESelector tags[] = {'bold', 'colr'};
  const void* const values[] = {&on, &red};
  const ByteCount sizes[] = {1, sizeof red};
  ASSERT_EQ(WESetAttributes(4, 7, 2, tags, values, sizes, e.we), noErr);
  Boolean bold = false;
  RGBColor colour{};
  WEGetOneAttribute(5, 'bold', &bold, 1, e.we);
  WEGetOneAttribute(5, 'colr', &colour, sizeof colour, e.we);
  EXPECT_TRUE(bold);
  EXPECT_EQ(colour.red, 0xFFFF);
  WEGetOneAttribute(7, 'bold', &bold, 1, e.we);
  EXPECT_FALSE(bold);
  ASSERT_EQ(WEUndo(e.we), noErr);
  WEGetOneAttribute(5, 'bold', &bold, 1, e.we);
  WEGetOneAttribute(5, 'colr', &colour, sizeof colour, e.we);
  EXPECT_FALSE(bold);
  EXPECT_EQ(colour.red, 0);
  EXPECT_EQ(WEGetTextLength(e.we), 13) << "one step took back both, and only them";
}

TEST(WasteUndo, SingleUndoAndUndoSwitchedOff) {
  Engine single(weDoUndo);
  single.Put(0, 0, "a");
  single.Put(1, 1, "b");
  ASSERT_EQ(WEUndo(single.we), noErr);
  EXPECT_EQ(single.Text(), "a");
  EXPECT_EQ(WEUndo(single.we), weCantUndoErr);
  ASSERT_EQ(WERedo(single.we), noErr);  // the one step, back again
  EXPECT_EQ(single.Text(), "ab");

  // Text changed while undo is off is not undone, and the history stays
  // (see HistoryIsCarriedAcrossChangesItDoesNotRecord).
  Engine e;
  e.Put(0, 0, "abc");
  WEFeatureFlag(weFUndo, weBitClear, e.we);
  e.Put(0, 0, "x");
  WEFeatureFlag(weFUndo, weBitSet, e.we);
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), "x");
  EXPECT_EQ(e.Kind(), weAKNone);
  EXPECT_EQ(gFlux.size(), 3u);  // flux fires either way

  // Switching undo off and on around style-only work (what every re-parse
  // does) keeps the user's history.
  Engine kept;
  kept.Put(0, 0, "abc");
  WEFeatureFlag(weFUndo, weBitClear, kept.we);
  RGBColor red{0xFFFF, 0, 0};
  WESetOneAttribute(0, 3, 'colr', &red, sizeof red, kept.we);
  WEFeatureFlag(weFUndo, weBitSet, kept.we);
  ASSERT_EQ(WEUndo(kept.we), noErr);
  EXPECT_EQ(kept.Text(), "");
}

// A change undo does not record (a hook's, a parser's) keeps the history:
// the steps recorded before it still undo and redo their own text.
TEST(WasteUndo, HistoryIsCarriedAcrossChangesItDoesNotRecord) {
  struct Put {
    SInt32 start, end;
    const char* text;
  };
  struct Case {
    const char* name;
    std::vector<Put> steps;
    Put unrecorded;
    std::vector<std::string> undone;  // the text after each undo
  } cases[] = {
      {"before every step", {{0, 0, "abc"}, {3, 3, "def"}}, {0, 0, "XY"}, {"XYabc", "XY"}},
      {"between the steps", {{0, 0, "abc"}, {3, 3, "def"}}, {3, 3, "!"}, {"abc!", "!"}},
      {"replacing older text", {{0, 0, "hello world"}, {11, 11, "!"}}, {0, 5, "HI"}, {"HI world", ""}},
      // Overlapping a step's text: undoing the step restores what both replaced.
      {"over a replacement", {{0, 0, "abcdef"}, {2, 4, "XY"}}, {1, 3, "Q"}, {"abcdef", ""}},
      {"over a deletion", {{0, 0, "abcdef"}, {2, 4, ""}}, {1, 3, "Q"}, {"abcdef", ""}},
  };
  for (const Case& c : cases) {
    Engine e;
    for (const Put& p : c.steps) e.Put(p.start, p.end, p.text);
    WEFeatureFlag(weFUndo, weBitClear, e.we);
    e.Put(c.unrecorded.start, c.unrecorded.end, c.unrecorded.text);
    WEFeatureFlag(weFUndo, weBitSet, e.we);
    const std::string changed = e.Text();
    for (const std::string& text : c.undone) {
      ASSERT_EQ(WEUndo(e.we), noErr) << c.name;
      EXPECT_EQ(e.Text(), text) << c.name;
    }
    EXPECT_EQ(WEUndo(e.we), weCantUndoErr) << c.name;
    while (WERedo(e.we) == noErr) {
    }
    EXPECT_EQ(e.Text(), changed) << c.name;
  }

  // Redo steps are carried too.
  Engine e;
  e.Put(0, 0, "abc");
  e.Put(3, 3, "d");
  ASSERT_EQ(WEUndo(e.we), noErr);
  WEFeatureFlag(weFUndo, weBitClear, e.we);
  e.Put(0, 0, "ZZ");
  WEFeatureFlag(weFUndo, weBitSet, e.we);
  ASSERT_EQ(WERedo(e.we), noErr);
  EXPECT_EQ(e.Text(), "ZZabcd");
}

// What an auto-indent does in the change hook after a typed Return: it puts
// the line's indentation after the new line break and the caret after that.
bool gIndentWithUndoOff = false;
bool gReturnTyped = false;
void AutoIndentHook(SInt32 offset, SInt32 delta, WEReference we) {
  gFlux.emplace_back(offset, delta);
  if (!gReturnTyped || delta != 1 || WEGetChar(offset, we) != '\r') return;
  gReturnTyped = false;
  SInt32 lineStart = 0, lineEnd = 0;
  WEGetLineRange(WEOffsetToLine(offset, we), &lineStart, &lineEnd, we);
  SInt32 n = 0;
  while (lineStart + n < offset && WEGetChar(lineStart + n, we) == ' ') ++n;
  if (n == 0) return;
  const std::string indent(size_t(n), ' ');
  if (gIndentWithUndoOff) WEFeatureFlag(weFUndo, weBitClear, we);
  WEBeginAction(we);
  WEPut(offset + 1, offset + 1, indent.data(), indent.size(), 0, 0, 0, nullptr, nullptr, we);
  WESetSelection(offset + 1 + n, offset + 1 + n, we);
  WEEndAction(weAKTyping, we);
  if (gIndentWithUndoOff) WEFeatureFlag(weFUndo, weBitSet, we);
}

TEST(WasteUndo, AChangeHookThatMovesTheCaretHasTheLastWord) {
  for (bool undoOff : {false, true}) {
    gIndentWithUndoOff = undoOff;
    Engine e;
    WEFluxProcPtr hook = AutoIndentHook;
    WESetInfo(weFluxHook, &hook, e.we);
    e.Put(0, 0, "  fo");
    WESetSelection(4, 4, e.we);
    gReturnTyped = true;
    e.Type(u"\r", 36);
    EXPECT_EQ(e.Text(), "  fo\r  ") << undoOff;
    SInt32 s = 0, end = 0;
    WEGetSelection(&s, &end, e.we);
    EXPECT_EQ(s, 7) << undoOff;
    EXPECT_EQ(end, 7) << undoOff;
    // The Return stays undoable; an indentation made with undo off stays.
    EXPECT_EQ(e.Kind(), weAKTyping) << undoOff;
    ASSERT_EQ(WEUndo(e.we), noErr) << undoOff;
    EXPECT_EQ(e.Text(), undoOff ? "  fo  " : "  fo") << undoOff;
    WEGetSelection(&s, &end, e.we);
    EXPECT_EQ(s, 4) << undoOff;
    ASSERT_EQ(WERedo(e.we), noErr) << undoOff;
    EXPECT_EQ(e.Text(), "  fo\r  ") << undoOff;
  }
  gIndentWithUndoOff = false;
}

// A hook that changes the text while a replacement is reported moves the
// report of the removal with it.
void InsertAtJunction(SInt32 offset, SInt32 delta, WEReference we) {
  gFlux.emplace_back(offset, delta);
  if (gFlux.size() == 1) WEPut(offset + delta, offset + delta, "--", 2, 0, 0, 0, nullptr, nullptr, we);
}

TEST(WasteUndo, TheRemovalOfAReplacementIsReportedWhereItIsAfterTheHook) {
  Engine e;
  e.Put(0, 0, "abcdef");
  WEFluxProcPtr hook = InsertAtJunction;
  WESetInfo(weFluxHook, &hook, e.we);
  gFlux.clear();
  e.Put(2, 4, "XYZ");
  EXPECT_EQ(e.Text(), "abXYZ--ef");
  EXPECT_EQ(gFlux, (Flux{{2, 3}, {5, 2}, {7, -2}}));
}

TEST(WasteUndo, ModCountComesBackToZeroWhenEveryChangeIsUndone) {
  Engine e;
  e.Type(u"a");
  e.Type(u"b");
  e.Type(u"c");
  e.Type(u"\b", 51);
  EXPECT_EQ(WEGetModCount(e.we), 4u);
  ASSERT_EQ(WEUndo(e.we), noErr);  // one step of four changes
  EXPECT_EQ(WEGetModCount(e.we), 0u);
  ASSERT_EQ(WERedo(e.we), noErr);
  EXPECT_EQ(WEGetModCount(e.we), 4u);
  // Undoing past the point the count was reset is a change too.
  WEResetModCount(e.we);
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_NE(WEGetModCount(e.we), 0u);
  ASSERT_EQ(WERedo(e.we), noErr);
  EXPECT_EQ(WEGetModCount(e.we), 0u);
}

// A filter that refuses 'q', turns 'a' into "AA" and records what it hears.
std::vector<std::pair<UInt32, UInt32>> gFiltered;
Boolean Filter(void*, Handle text, UInt32 modifiers, UInt32 keyCode, WEReference) {
  gFiltered.emplace_back(keyCode, modifiers);
  auto* chars = reinterpret_cast<UniChar*>(*text);
  if (GetHandleSize(text) == 2 && chars[0] == 'q') return true;
  if (GetHandleSize(text) == 2 && chars[0] == 'a') {
    SetHandleSize(text, 4);
    chars = reinterpret_cast<UniChar*>(*text);
    chars[0] = chars[1] = 'A';
  }
  return false;
}

TEST(WasteUndo, TextFilterSeesTypingBeforeItGoesIn) {
  Engine e;
  WETextFilterProcPtr filter = Filter;
  WESetInfo(weTextFilterHook, &filter, e.we);
  gFiltered.clear();
  e.Type(u"q", 12, 0x0200);
  e.Type(u"a", 0);
  e.Type(u"\u00E9", 14);
  e.Type(u"\b", 51);
  EXPECT_EQ(e.Text(), "AA");
  EXPECT_EQ(gFiltered, (std::vector<std::pair<UInt32, UInt32>>{{12, 0x0200}, {0, 0}, {14, 0}, {51, 0}}));
  EXPECT_EQ(gFlux, (Flux{{0, 2}, {2, 1}, {2, -1}}));

  // Read-only: typing changes nothing (the host's puts still do).
  WEFeatureFlag(weFReadOnly, weBitSet, e.we);
  e.Type(u"z");
  e.Type(u"\b", 51);
  EXPECT_EQ(e.Text(), "AA");
  HICommand undo{0, kHICommandUndo, {nullptr, 0}};
  EXPECT_EQ(WEProcessHICommand(&undo, e.we), weReadOnlyErr);
}

TEST(WasteUndo, CommandsCutCopyPasteThroughThePasteboard) {
  Engine e;
  e.Put(0, 0, "one\rtwo");
  WESetSelection(0, 4, e.we);
  HICommand cut{0, kHICommandCut, {nullptr, 0}}, paste{0, kHICommandPaste, {nullptr, 0}};
  HICommand all{0, kHICommandSelectAll, {nullptr, 0}}, other{0, 'what', {nullptr, 0}};
  ASSERT_EQ(WEProcessHICommand(&cut, e.we), noErr);
  EXPECT_EQ(e.Text(), "two");
  EXPECT_EQ(e.Kind(), weAKCut);
  EXPECT_TRUE(WECanPaste(e.we));
  WESetSelection(3, 3, e.we);
  gFlux.clear();
  ASSERT_EQ(WEProcessHICommand(&paste, e.we), noErr);
  EXPECT_EQ(e.Text(), "twoone\r");  // the line break went out as LF and came back as CR
  EXPECT_EQ(gFlux, (Flux{{3, 4}}));
  EXPECT_EQ(e.Kind(), weAKPaste);
  ASSERT_EQ(WEProcessHICommand(&all, e.we), noErr);
  SInt32 s, end;
  WEGetSelection(&s, &end, e.we);
  EXPECT_EQ(end - s, 7);
  EXPECT_EQ(WEProcessHICommand(&other, e.we), eventNotHandledErr);
}

}  // namespace
