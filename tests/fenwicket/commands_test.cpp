// Edit commands of the view, the edit menu's state, and the contextual menu
// with spelling guesses.
#include <unistd.h>

#include <functional>

#include "FenwicketTestSupport.h"
#include "MenuInternal.h"
#include "TestBitmap.h"

namespace {

using Commands = TextViewTest;

TEST_F(Commands, ShiftRightIndentsEverySelectedLineAsOneStep) {
  SetText("a\rb\rc\rd");
  client.flux.clear();
  WESetSelection(0, 6, we);  // from the start of the first line to the start of the fourth
  EXPECT_EQ(Command(kHICommandShiftRight), noErr);
  EXPECT_EQ(TextOf(we), "\ta\r\tb\r\tc\r\td");
  SInt32 s = 0, e = 0;
  WEGetSelection(&s, &e, we);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 9);
  // The clients hear each insertion as it happened, in order.
  const std::vector<std::pair<SInt32, SInt32>> expected{{0, 1}, {3, 1}, {6, 1}, {9, 1}};
  EXPECT_EQ(client.flux, expected);
  Boolean redo = false;
  WEActionKind kind = 0;
  WEGetUndoInfo(&redo, &kind, we);
  EXPECT_EQ(kind, weAKTyping);
  EXPECT_EQ(Command(kHICommandUndo), noErr);
  EXPECT_EQ(TextOf(we), "a\rb\rc\rd");
}

TEST_F(Commands, ShiftLeftRemovesOnlyIndentationAndKeepsTheSelectedText) {
  struct Case {
    const char* text;
    SInt32 start, end;
    const char* after;
    SInt32 newStart, newEnd;
    std::vector<std::pair<SInt32, SInt32>> flux;
  } cases[] = {
      // An empty line keeps its line break; lines without indentation stay.
      {"\ta\r\r b\rc", 0, 8, "a\r\rb\rc", 0, 6, {{0, -1}, {3, -1}}},
      {"x\ry", 0, 3, "x\ry", 0, 3, {}},
      // A selection inside the line keeps covering the same characters.
      {"\tabc", 2, 3, "abc", 1, 2, {{0, -1}}},
      {"  ab\r cd", 3, 7, " ab\rcd", 2, 5, {{0, -1}, {4, -1}}},
  };
  for (const Case& c : cases) {
    SetText(c.text);
    client.flux.clear();
    WESetSelection(c.start, c.end, we);
    EXPECT_EQ(Command(kHICommandShiftLeft), noErr);
    EXPECT_EQ(TextOf(we), c.after) << c.text;
    SInt32 s = 0, e = 0;
    WEGetSelection(&s, &e, we);
    EXPECT_EQ(s, c.newStart) << c.text;
    EXPECT_EQ(e, c.newEnd) << c.text;
    EXPECT_EQ(client.flux, c.flux) << c.text;
  }
}

TEST_F(Commands, NotificationsStayAsTheHostLeftThem) {
  SetText("a\rb");
  WasteSetFluxState(view, false);
  client.flux.clear();
  WESetSelection(0, 3, we);
  Command(kHICommandShiftRight);
  EXPECT_TRUE(client.flux.empty());
  Type(u"x");
  EXPECT_TRUE(client.flux.empty());  // still off after the shift
}

TEST_F(Commands, PasteReportsTheExactChangesAndCanMatchTheStyleThere) {
  SetText("ab0123456789");
  WESetSelection(0, 2, we);
  ASSERT_EQ(Command(kHICommandCopy), noErr);
  client.flux.clear();
  client.fluxPrevious.clear();
  WESetSelection(12, 2, we);  // ten characters, anchored at their end
  ASSERT_EQ(Command(kHICommandPaste), noErr);
  EXPECT_EQ(TextOf(we), "abab");
  // The pasted text, then what it replaced, once each.
  const std::vector<std::pair<SInt32, SInt32>> replaced{{2, 2}, {4, -10}};
  EXPECT_EQ(client.flux, replaced);
  EXPECT_EQ(client.fluxPrevious, (std::vector<UInt8>{0, 0}));
  Boolean redo = false;
  WEActionKind kind = 0;
  WEGetUndoInfo(&redo, &kind, we);
  EXPECT_EQ(kind, weAKPaste);

  // Matching styles: the pasted text takes size and colour at the
  // insertion point and becomes plain.
  SetText("XY");
  const Boolean bold = true;
  WESetOneAttribute(0, 2, 'bold', &bold, 1, we);
  WESetSelection(0, 2, we);
  Command(kHICommandCopy);
  SetText("big");
  const Fixed size = 20 << 16;
  const RGBColor red{0xFFFF, 0, 0};
  WESetOneAttribute(0, 3, 'ptsz', &size, 4, we);
  WESetOneAttribute(0, 3, 'colr', &red, 6, we);
  WasteChangeOptions(view, WasteOption(kWasteViewMatchPastedStyles), false);
  WESetSelection(1, 1, we);
  Command(kHICommandPaste);
  EXPECT_EQ(TextOf(we), "bXYig");
  Fixed pasted = 0;
  RGBColor colour{};
  Boolean pastedBold = true;
  WEGetOneAttribute(2, 'ptsz', &pasted, 4, we);
  WEGetOneAttribute(2, 'colr', &colour, 6, we);
  WEGetOneAttribute(2, 'bold', &pastedBold, 1, we);
  EXPECT_EQ(pasted, size);
  EXPECT_EQ(colour.red, 0xFFFF);
  EXPECT_FALSE(pastedBold);

  // Pasting nothing sends nothing.
  client.flux.clear();
  WESetSelection(0, 0, we);
  PasteboardRef clipboard = nullptr;
  PasteboardCreate(kPasteboardClipboard, &clipboard);
  PasteboardClear(clipboard);
  CFRelease(clipboard);
  Command(kHICommandPaste);
  EXPECT_TRUE(client.flux.empty());
}

// A view refuses input when its clients say so, or when the host made its
// engine read-only (the console, which has no such client): drawing the view
// keeps it so.
TEST_F(Commands, ARefusingViewTakesNoEditsButCopiesAndSelects) {
  for (bool hostReadOnly : {false, true}) {
    SetText("some text");
    WESetSelection(0, 4, we);
    Command(kHICommandCopy);
    client.accept = hostReadOnly;  // only one of the two refuses
    if (hostReadOnly) WEFeatureFlag(weFReadOnly, weBitSet, we);
    Bitmap bitmap(300, 200);
    HIViewDrawInContext(view, bitmap.context);
    EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, we), 1) << hostReadOnly;
    const UInt32 edits[] = {kHICommandShiftRight, kHICommandShiftLeft, kHICommandClear,
                            kHICommandCut,        kHICommandPaste,     kHICommandInsertWord};
    for (UInt32 id : edits)
      EXPECT_EQ(Command(id), eventNotHandledErr) << id << " " << hostReadOnly;
    Type(u"x");
    EXPECT_EQ(TextOf(we), "some text") << hostReadOnly;
    MenuRef edit = nullptr;
    CreateNewMenu(129, 0, &edit);
    AppendMenuItemTextWithCFString(edit, CFStringMakeConstantUTF8("Cut"), 0, kHICommandCut, nullptr);
    EXPECT_EQ(Command(kHICommandCut, edit, 1, kEventCommandUpdateStatus), noErr);
    EXPECT_FALSE(IsMenuItemEnabled(edit, 1)) << hostReadOnly;
    ReleaseMenu(edit);
    EXPECT_EQ(Command(kHICommandCopy), noErr);
    EXPECT_EQ(Command(kHICommandSelectAll), noErr);
    SInt32 s = 0, e = 0;
    WEGetSelection(&s, &e, we);
    EXPECT_EQ(e, 9);
    // The host's read-only goes only when the host takes it back.
    client.accept = true;
    HIViewDrawInContext(view, bitmap.context);
    EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, we), hostReadOnly ? 1 : 0) << hostReadOnly;
    WEFeatureFlag(weFReadOnly, weBitClear, we);
  }
}

TEST_F(Commands, EditMenuItemsFollowSelectionUndoAndInput) {
  MenuRef edit = nullptr, other = nullptr;
  CreateNewMenu(129, 0, &edit);
  CreateNewMenu(130, 0, &other);
  const UInt32 ids[] = {kHICommandUndo,  kHICommandRedo, kHICommandCut,       kHICommandCopy,
                        kHICommandPaste, kHICommandClear, kHICommandSelectAll, kHICommandShiftRight, 'xtra'};
  for (UInt32 id : ids) AppendMenuItemTextWithCFString(edit, CFStringMakeConstantUTF8("item"), 0, id, nullptr);
  auto states = [&] {
    std::string s;
    for (MenuItemIndex i = 1; i <= 9; ++i) {
      // An item the view does not know passes on to whoever it belongs to.
      EXPECT_EQ(Command(ids[i - 1], edit, i, kEventCommandUpdateStatus), i < 9 ? noErr : eventNotHandledErr);
      s += IsMenuItemEnabled(edit, i) ? '1' : '0';
    }
    return s;
  };
  PasteboardRef clipboard = nullptr;
  PasteboardCreate(kPasteboardClipboard, &clipboard);
  PasteboardClear(clipboard);
  // A fresh view has nothing to undo; an item the view does not know keeps its state.
  DisableMenuItem(edit, 9);
  EXPECT_EQ(states(), "000000100");
  Type(u"hello");
  WESetSelection(0, 2, we);
  Command(kHICommandCopy);
  EXPECT_EQ(states(), "101111110");
  client.accept = false;
  EXPECT_EQ(states(), "100100100");
  client.accept = true;
  Command(kHICommandUndo);
  EXPECT_EQ(states(), "010010100");  // the text is empty again: only redo, paste and select all
  // A step the host ended as unspecified cannot be undone from the menu.
  WEBeginAction(we);
  WEPut(0, 0, "z", 1, 0, 0, 0, nullptr, nullptr, we);
  WEEndAction(weAKUnspecified, we);
  EXPECT_EQ(states()[0], '0');
  // Other menus are not the view's business.
  AppendMenuItemTextWithCFString(other, CFStringMakeConstantUTF8("undo"), 0, kHICommandUndo, nullptr);
  EXPECT_EQ(Command(kHICommandUndo, other, 1, kEventCommandUpdateStatus), eventNotHandledErr);
  CFRelease(clipboard);
  ReleaseMenu(edit);
  ReleaseMenu(other);
}

// --- Contextual menu ---------------------------------------------------------------------

struct Shown {
  std::vector<std::string> titles;
  std::vector<std::string> guesses;
};

Shown gShown;
std::function<bool(MenuRef, MenuRef, MenuRef*, MenuItemIndex*)> gChoose;

std::string Title(MenuRef menu, MenuItemIndex i) {
  CFStringRef text = nullptr;
  CopyMenuItemTextAsCFString(menu, i, &text);
  const std::string s = Utf8(text);
  if (text) CFRelease(text);
  return s;
}

bool Presenter(const MenuShowRequest& request, MenuRef* outMenu, MenuItemIndex* outItem) {
  gShown = Shown{};
  MenuRef spelling = nullptr;
  for (MenuItemIndex i = 1; i <= CountMenuItems(request.menu); ++i) {
    gShown.titles.push_back(Title(request.menu, i));
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(request.menu, i, &sub) == noErr && sub) spelling = sub;
  }
  for (MenuItemIndex i = 1; spelling && i <= CountMenuItems(spelling); ++i) gShown.guesses.push_back(Title(spelling, i));
  return gChoose ? gChoose(request.menu, spelling, outMenu, outItem) : false;
}

struct ContextualMenu : TextViewTest {
  void SetUp() override {
    TextViewTest::SetUp();
    MenuSetPresenter(Presenter);
    gChoose = nullptr;
    WasteUpdateView(view);
  }
  void TearDown() override {
    MenuSetPresenter(nullptr);
    TextViewTest::TearDown();
  }
  static bool HaveDictionary() {
    return access("/usr/share/hunspell/en_US.dic", R_OK) == 0 || access("/usr/share/myspell/en_US.dic", R_OK) == 0;
  }
};

TEST_F(ContextualMenu, ClientsItemsComeFirstThenGuessesThenEditItems) {
  if (!HaveDictionary()) GTEST_SKIP() << "no English dictionary";
  SetText("Thsi is good");
  gChoose = [](MenuRef, MenuRef spelling, MenuRef* menu, MenuItemIndex* item) {
    if (spelling == nullptr) return false;
    *menu = spelling;
    *item = 1;
    return true;
  };
  WasteShowContextualMenu(2, view);
  ASSERT_EQ(gShown.titles, (std::vector<std::string>{"Client A", "Spelling", "Cut", "Copy", "Paste"}));
  ASSERT_FALSE(gShown.guesses.empty());
  // The first guess replaced the word, which the menu had selected.
  EXPECT_EQ(TextOf(we), gShown.guesses[0] + " is good");

  // A correct word: no spelling item.
  WasteShowContextualMenu(TextOf(we).size() - 2, view);
  EXPECT_EQ(gShown.titles, (std::vector<std::string>{"Client A", "Cut", "Copy", "Paste"}));
}

TEST_F(ContextualMenu, SelectionIsKeptInsideAndTheWordTakenOutside) {
  SetText("alpha beta gamma");
  WESetSelection(0, 10, we);
  WasteShowContextualMenu(7, view);
  SInt32 s = 0, e = 0;
  WEGetSelection(&s, &e, we);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 10);
  WasteShowContextualMenu(13, view);
  WEGetSelection(&s, &e, we);
  EXPECT_EQ(s, 11);
  EXPECT_EQ(e, 16);
  // Between words: an insertion point, and no guesses for the space.
  WasteShowContextualMenu(6, view);
  WEGetSelection(&s, &e, we);
  EXPECT_EQ(s, 6);
  EXPECT_EQ(e, 6);
  EXPECT_TRUE(gShown.guesses.empty());
}

TEST_F(ContextualMenu, AReadOnlyViewOffersNoGuessesAndTakesNoWord) {
  SetText("Thsi");
  client.accept = false;
  gChoose = [](MenuRef menu, MenuRef, MenuRef* outMenu, MenuItemIndex* item) {
    *outMenu = menu;
    *item = 1;
    return true;
  };
  WasteShowContextualMenu(1, view);
  EXPECT_EQ(gShown.titles, (std::vector<std::string>{"Client A", "Cut", "Copy", "Paste"}));
  // Even a word command that reaches the view is refused.
  MenuRef menu = nullptr;
  CreateNewMenu(0, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("This"), 0, kHICommandInsertWord, nullptr);
  EXPECT_EQ(Command(kHICommandInsertWord, menu, 1), eventNotHandledErr);
  EXPECT_EQ(TextOf(we), "Thsi");
  client.accept = true;
  EXPECT_EQ(Command(kHICommandInsertWord, menu, 1), noErr);
  EXPECT_EQ(TextOf(we), "This");
  ReleaseMenu(menu);
}

TEST_F(ContextualMenu, ARightClickNeedsTheFocus) {
  SetText("alpha beta");
  LongPt p{};
  SInt16 lh = 0;
  WEGetPoint(7, 1, &p, &lh, we);
  const CGPoint where{CGFloat(p.h), CGFloat(p.v + lh / 2)};
  ClearKeyboardFocus(window);
  gShown = Shown{};
  Click(where, 2);
  EXPECT_TRUE(gShown.titles.empty());  // an ordinary click instead: it focuses the view
  HeadlessAdvanceClock(1);
  Click(where, 2);
  EXPECT_FALSE(gShown.titles.empty());
  SInt32 s = 0, e = 0;
  WEGetSelection(&s, &e, we);
  EXPECT_EQ(s, 6);
  EXPECT_EQ(e, 10);
}

}  // namespace
