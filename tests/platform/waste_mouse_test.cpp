// The text engine and the pointer: selections that follow injected moves
// (by characters, words and lines, scrolling past the view's edge), text
// dragged within a view and between two views, the cursor over the text,
// the blinking caret and its timer, paragraph indents and spacing, and the
// engine's own view.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Appearance.h"
#include "CGImage.h"
#include "EventsInternal.h"
#include "HIScrollView.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "ViewInternal.h"
#include "WASTE.h"
#include "WEInternal.h"

namespace {

std::string Text(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

void Put(WEReference we, const std::string& text) {
  ASSERT_EQ(noErr, WEPut(0, WEGetTextLength(we), text.data(), text.size(), 0, 0, 0, nullptr, nullptr, we));
}

// The middle of the row of the offset, just right of its insertion point.
CGPoint At(WEReference we, SInt32 offset, double dx = 1) {
  LongPt p{};
  SInt16 lh = 0;
  WEGetPoint(offset, 1, &p, &lh, we);
  return CGPoint{double(p.h) + dx, double(p.v) + lh / 2.0};
}

Point QD(CGPoint p) { return Point{SInt16(p.y), SInt16(p.x)}; }

struct Selection {
  SInt32 start, end, anchor;
  bool operator==(const Selection& o) const { return start == o.start && end == o.end && anchor == o.anchor; }
};
Selection SelectionOf(WEReference we) {
  Selection s{};
  WEGetSelection(&s.start, &s.end, we);
  s.anchor = WEGetSelectionAnchor(we);
  return s;
}

// A windowless engine: its coordinates are the pointer's global ones.
struct Engine {
  WEReference we = nullptr;
  explicit Engine(LongRect view = {0, 0, 200, 300}, OptionBits features = weDoUndo | weDoDragAndDrop) {
    LongRect dest = view;
    EXPECT_EQ(noErr, WENew(&dest, &view, features, &we));
  }
  ~Engine() { WEDispose(we); }
};

class WasteMouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    HeadlessClearMouseTrack();
    HeadlessClearDrags();
    SetPort(nullptr);
  }
  void TearDown() override {
    HeadlessClearMouseTrack();
    HeadlessClearDrags();
  }
};

TEST_F(WasteMouseTest, ASelectionFollowsThePointerByCharactersWordsAndLines) {
  Engine e;
  Put(e.we, "alpha beta gamma\rdelta epsilon\rzeta eta theta\r");
  WECalText(e.we);
  struct Case {
    const char* name;
    int clicks;
    SInt32 from, to;
    Selection expected;
  };
  const Case cases[] = {
      {"characters across lines", 1, 2, 33, {2, 33, 2}},
      {"characters backwards", 1, 33, 2, {2, 33, 33}},
      {"words forwards", 2, 2, 25, {0, 30, 0}},          // "alpha" .. "epsilon"
      {"words backwards", 2, 13, 2, {0, 16, 16}},        // "gamma" back to "alpha"
      {"lines", 3, 20, 33, {17, 46, 17}},                // line 1 through line 2
  };
  UInt32 time = 1000;
  for (const Case& c : cases) {
    time += 1000;  // apart from the previous case's clicks
    for (int k = 1; k < c.clicks; ++k) WEClick(QD(At(e.we, c.from)), 0, time, e.we);  // no moves: plain clicks
    HeadlessQueueMouseTrack({{nullptr, At(e.we, (c.from + c.to) / 2), 0, 0, false},
                             {nullptr, At(e.we, c.to), 0, 0.1, false},
                             {nullptr, At(e.we, c.to), 0, 0.1, true}});
    WEClick(QD(At(e.we, c.from)), 0, time, e.we);
    EXPECT_EQ(c.expected, SelectionOf(e.we)) << c.name << ": " << SelectionOf(e.we).start << ".."
                                             << SelectionOf(e.we).end;
  }

  // Shift extends from the anchor while following the pointer.
  WESetSelection(5, 5, e.we);
  HeadlessQueueMouseTrack({{nullptr, At(e.we, 30), 0x0200, 0, false}, {nullptr, At(e.we, 40), 0x0200, 0, true}});
  WEClick(QD(At(e.we, 20)), 0x0200, time + 1000, e.we);
  EXPECT_EQ((Selection{5, 40, 5}), SelectionOf(e.we));
}

TEST_F(WasteMouseTest, APointerPastTheEdgeScrollsWhileItRests) {
  Engine e(LongRect{0, 0, 100, 300}, weDoUndo);
  std::string text;
  for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + "\r";
  Put(e.we, text);
  WECalText(e.we);
  LongRect before;
  WEGetDestRect(&before, e.we);
  const LongPt bottom{99, 10};
  const SInt32 lastVisible = WEGetOffset(&bottom, nullptr, e.we);
  // Down past the view's bottom, a rest there, then the release.
  HeadlessQueueMouseTrack({{nullptr, {20, 130}, 0, 0, false}, {nullptr, {20, 130}, 0, 1.0, true}});
  WEClick(QD(At(e.we, 2)), 0, 1, e.we);
  LongRect after;
  WEGetDestRect(&after, e.we);
  EXPECT_LT(after.top, before.top - 100);  // several lines came into view
  SInt32 start, end;
  WEGetSelection(&start, &end, e.we);
  EXPECT_EQ(2, start);
  EXPECT_GT(end, lastVisible + 20);
  // Up past the top brings the start back.
  HeadlessQueueMouseTrack({{nullptr, {20, -40}, 0, 0, false}, {nullptr, {20, -40}, 0, 3.0, true}});
  WEClick(QD(CGPoint{20, 50}), 0, 500, e.we);
  WEGetDestRect(&after, e.we);
  EXPECT_EQ(before.top, after.top);
  WEGetSelection(&start, &end, e.we);
  EXPECT_EQ(0, start);
}

TEST_F(WasteMouseTest, TheCursorIsAnIBeamOverTextAndAnArrowOverADraggableSelection) {
  Engine drags;
  Engine plain(LongRect{0, 0, 200, 300}, weDoUndo);
  for (WEReference we : {drags.we, plain.we}) {
    Put(we, "some text to point at");
    WESetSelection(5, 9, we);
  }
  struct Case {
    WEReference we;
    CGPoint where;
    Boolean handled;
    ThemeCursor cursor;
  };
  const Case cases[] = {
      {drags.we, At(drags.we, 2), true, kThemeIBeamCursor},
      {drags.we, At(drags.we, 6), true, kThemeArrowCursor},  // over the selection
      {plain.we, At(plain.we, 6), true, kThemeIBeamCursor},  // no drags: text all the same
      {drags.we, {150, 150}, true, kThemeIBeamCursor},       // below the text, in the view
  };
  for (const Case& c : cases) {
    SetThemeCursor(kThemeWatchCursor);
    EXPECT_EQ(c.handled, WEAdjustCursor(QD(c.where), nullptr, c.we));
    EXPECT_EQ(c.cursor, HeadlessCurrentThemeCursor()) << c.where.x;
  }
  SetThemeCursor(kThemeWatchCursor);
  EXPECT_FALSE(WEAdjustCursor(Point{SInt16(500), SInt16(20)}, nullptr, drags.we));  // outside the view
  EXPECT_EQ(UInt32(kThemeWatchCursor), HeadlessCurrentThemeCursor());
  SetThemeCursor(kThemeArrowCursor);
}

TEST_F(WasteMouseTest, TheCaretBlinksOnATimerThatEndsWithTheInstance) {
  double when = 0;
  ASSERT_FALSE(TimersNextDue(&when));  // no timer yet
  WEReference we = nullptr;
  LongRect r{0, 0, 100, 100};
  ASSERT_EQ(noErr, WENew(&r, &r, 0, &we));
  EXPECT_FALSE(TimersNextDue(&when));  // an inactive instance does not blink
  WEActivate(we);
  EXPECT_TRUE(TimersNextDue(&when));
  EXPECT_TRUE(we->caretOn);
  HeadlessAdvanceClock(0.6);
  EXPECT_FALSE(we->caretOn);
  HeadlessAdvanceClock(0.55);
  EXPECT_TRUE(we->caretOn);
  HeadlessAdvanceClock(0.55);
  EXPECT_FALSE(we->caretOn);
  // Typing shows the caret at once.
  const UniChar x = 'x';
  WETextInput(&x, 1, 0, 0, we);
  EXPECT_TRUE(we->caretOn);
  WEDeactivate(we);
  EXPECT_FALSE(TimersNextDue(&when));
  WEActivate(we);
  EXPECT_TRUE(TimersNextDue(&when));
  WEDispose(we);
  EXPECT_FALSE(TimersNextDue(&when));  // gone with the instance
  HeadlessAdvanceClock(2);             // nothing fires into the disposed instance
}

TEST_F(WasteMouseTest, ParagraphIndentAndSpacingMoveTheRows) {
  Engine e(LongRect{0, 0, 400, 120});
  Put(e.we, "aaaa bbbb cccc dddd eeee ffff\rnext");
  WECalText(e.we);
  LongPt first{}, second{};
  SInt16 lh = 0;
  WEGetPoint(0, 1, &first, &lh, e.we);
  WEGetPoint(30, 1, &second, nullptr, e.we);
  const SInt32 rows = (second.v - first.v) / lh;
  ASSERT_GE(rows, 2);  // the first paragraph wraps

  const Fixed indent = 30 << 16;
  ASSERT_EQ(noErr, WESetOneAttribute(0, 5, 'lein', &indent, 4, e.we));
  const Fixed spacing[2] = {Fixed(4 << 16), Fixed(10 << 16)};  // between rows, after the paragraph
  ASSERT_EQ(noErr, WESetOneAttribute(0, 5, 'ledg', spacing, 8, e.we));
  Fixed read[2] = {};
  ASSERT_EQ(noErr, WEGetOneAttribute(2, 'ledg', read, 8, e.we));
  EXPECT_EQ(spacing[1], read[1]);

  LongPt indented{}, next{};
  WEGetPoint(0, 1, &indented, nullptr, e.we);
  WEGetPoint(30, 1, &next, nullptr, e.we);
  EXPECT_EQ(first.h + 30, indented.h);
  EXPECT_EQ(second.h, next.h);  // the next paragraph keeps its margin
  // The narrower rows wrap at least as often; each gap between rows and the
  // end of the paragraph add their spacing.
  const SInt32 newRows = (next.v - indented.v - 10 + 4) / (lh + 4);
  EXPECT_GE(newRows, rows);
  EXPECT_EQ(next.v - indented.v, newRows * lh + (newRows - 1) * 4 + 10) << newRows;
  // A click left of the indent lands at the paragraph's start.
  const LongPt left{indented.v + lh / 2, 5};
  EXPECT_EQ(0, WEGetOffset(&left, nullptr, e.we));
  const LongPt into{indented.v + lh / 2, indented.h + 1};
  EXPECT_EQ(0, WEGetOffset(&into, nullptr, e.we));
}

// --- The engine's own view ------------------------------------------------------

std::map<WEReference, std::vector<std::pair<SInt32, SInt32>>> gFlux;
void RecordFlux(SInt32 offset, SInt32 delta, WEReference we) { gFlux[we].push_back({offset, delta}); }

std::vector<CGRect> gErased;
void RecordErase(CGContextRef, const CGRect* dirty, WEViewReference, WEReference) { gErased.push_back(*dirty); }

WEReference InstanceOf(HIViewRef view) {
  WEReference we = nullptr;
  Size actual = 0;
  EXPECT_EQ(noErr, GetControlData(view, 0, 'cref', sizeof we, &we, &actual));
  EXPECT_EQ(Size(sizeof we), actual);
  return we;
}

EventRef MouseDown(CGPoint where, UInt32 modifiers = 0) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
  SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  return e;
}

// A window (content at global (100, 100)) with two text views side by side.
class WasteViewTest : public WasteMouseTest {
 protected:
  void SetUp() override {
    WasteMouseTest::SetUp();
    gFlux.clear();
    gErased.clear();
    Rect bounds{100, 100, 400, 700};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
    SetAutomaticControlDragTrackingEnabledForWindow(window, true);
    const CGRect frames[2] = {{{10, 10}, {250, 200}}, {{300, 10}, {250, 200}}};
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(noErr, FenwicketCreate(&frames[i], 0x10141, &views[i]));
      HIViewAddSubview(HIViewGetRoot(window), views[i]);
      HIViewSetVisible(views[i], true);
      we[i] = InstanceOf(views[i]);
      ASSERT_NE(nullptr, we[i]);
      WEFluxProcPtr flux = RecordFlux;
      WESetInfo(weFluxHook, &flux, we[i]);
    }
    ShowWindow(window);
  }
  void TearDown() override {
    if (window) DisposeWindow(window);
    WasteMouseTest::TearDown();
  }
  // A press in the view at the text offset that moves a little, as a drag
  // begins, and the drag's way to the point.
  void DragFrom(int view, SInt32 offset, CGPoint dropAt, UInt32 dropModifiers = 0) {
    const CGPoint down = At(we[view], offset);
    HeadlessAdvanceClock(1);  // not a second click of the previous one
    HeadlessQueueMouseTrack({{window, {down.x + 8, down.y}, 0, 0, false}});
    HeadlessQueueDrag({{window, {down.x + 8, down.y}, 0, 0}, {window, dropAt, dropModifiers, 0}}, nullptr);
    EventRef e = MouseDown(down);
    EXPECT_TRUE(ViewHandleMouseDown(window, e));
    ReleaseEvent(e);
  }
  WindowRef window = nullptr;
  HIViewRef views[2] = {nullptr, nullptr};
  WEReference we[2] = {nullptr, nullptr};
};

TEST_F(WasteViewTest, TheInstanceIsTheViewsControlDataAndEndsWithIt) {
  // The view sits at (10, 10) of the root: so do the instance's rectangles.
  LongRect view;
  WEGetViewRect(&view, we[1]);
  EXPECT_EQ(300, view.left);
  EXPECT_EQ(10, view.top);
  EXPECT_EQ(550, view.right);
  WEReference small[1] = {nullptr};
  EXPECT_EQ(paramErr, GetControlData(views[0], 0, 'cref', 4, small, nullptr));  // a pointer does not fit in 4 bytes
  Size size = 0;
  EXPECT_EQ(noErr, GetControlDataSize(views[0], 0, 'cref', &size));
  EXPECT_EQ(Size(sizeof(WEReference)), size);

  // Drawing goes through the engine in the root's coordinates.
  WECGEraseProcPtr erase = RecordErase;
  WESetInfo(weCGEraseHook, &erase, we[0]);
  CGImageRef image = nullptr;
  HIRect frame{};
  ASSERT_EQ(noErr, HIViewCreateOffscreenImage(views[0], 0, &frame, &image));
  CGImageRelease(image);
  ASSERT_FALSE(gErased.empty());
  EXPECT_EQ(10, gErased.back().origin.x);
  EXPECT_EQ(250, gErased.back().size.width);

  // The focus activates it (its caret blinks); typing reaches it.
  double when = 0;
  EXPECT_FALSE(TimersNextDue(&when));
  ASSERT_EQ(noErr, SetKeyboardFocus(window, views[0], kControlFocusNextPart));
  EXPECT_TRUE(WEIsActive(we[0]));
  EXPECT_TRUE(TimersNextDue(&when));
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
  const std::u16string typed = u"héllo";
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, typed.size() * 2, typed.data());
  SendEventToEventTarget(e, GetUserFocusEventTarget());
  ReleaseEvent(e);
  EXPECT_EQ("héllo", Text(we[0]));
  EXPECT_EQ("", Text(we[1]));

  // A put of the host's away from the selection still shows.
  WESetSelection(0, 0, we[1]);
  ViewClearInvalid(window);
  CGRect invalid{};
  ASSERT_EQ(noErr, WEPut(0, 0, "tail", 4, 0, 0, 0, nullptr, nullptr, we[1]));
  ASSERT_TRUE(ViewGetInvalidRect(window, &invalid));
  EXPECT_EQ(300, invalid.origin.x);

  // Disposing of the view ends the instance and its blinking.
  DisposeControl(views[0]);
  EXPECT_FALSE(TimersNextDue(&when));
  HeadlessAdvanceClock(2);
}

// The window's content drawn into a bitmap, all of it or only within a
// rectangle (root coordinates), as a host draws what was marked.
struct Picture {
  static constexpr int kWidth = 600, kHeight = 300;
  std::vector<UInt32> pixels = std::vector<UInt32>(size_t(kWidth) * kHeight, 0);
  void Draw(WindowRef window, const CGRect* only = nullptr) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef c = CGBitmapContextCreate(pixels.data(), kWidth, kHeight, 8, kWidth * 4, space,
                                           kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    CGContextTranslateCTM(c, 0, kHeight);
    CGContextScaleCTM(c, 1, -1);
    const CGRect area = only != nullptr ? *only : CGRect{{0, 0}, {double(kWidth), double(kHeight)}};
    CGContextClipToRect(c, area);
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, area);
    HIViewDrawInContext(HIViewGetRoot(window), c);
    CGContextRelease(c);
  }
};

TEST_F(WasteViewTest, AnEditMarksOnlyTheRowsItChangesAndTheyDrawAsTheWholeWould) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += "line " + std::to_string(i) + " of the text\r";
  ASSERT_EQ(noErr, WEPut(0, 0, text.data(), text.size(), 0, 0, 0, nullptr, nullptr, we[0]));
  ASSERT_EQ(noErr, SetKeyboardFocus(window, views[0], kControlFocusNextPart));
  LongPt row{};
  SInt16 rowHeight = 0;
  WEGetPoint(0, 1, &row, &rowHeight, we[0]);
  ASSERT_GT(rowHeight, 0);
  Picture kept;
  kept.Draw(window);
  ViewClearInvalid(window);
  const SInt32 line3 = SInt32(text.find("line 3")), line5 = SInt32(text.find("line 5"));
  const RGBColor red{0xFFFF, 0, 0};
  auto key = [&](UniChar c, UInt32 code) { WETextInput(&c, 1, code, 0, we[0]); };
  // The caret moves, and what that marked is drawn, before the edit.
  auto caretTo = [&](SInt32 offset) {
    WESetSelection(offset, offset, we[0]);
    CGRect marked{};
    if (ViewGetInvalidRect(window, &marked)) kept.Draw(window, &marked);
    ViewClearInvalid(window);
  };
  struct Case {
    const char* what;
    std::function<void()> edit;
    SInt32 rows;  // rows marked from the edit's row down; 0: to the view's bottom
  } cases[] = {
      {"a letter typed", [&] { caretTo(line3 + 2); key('x', 7); }, 1},
      {"a letter deleted", [&] { key(8, 51); }, 1},
      {"a word coloured", [&] { WESetOneAttribute(line5, line5 + 4, 'colr', &red, sizeof red, we[0]); }, 1},
      {"a line broken", [&] { caretTo(line3 + 2); key(13, 36); }, 0},
      {"lines joined", [&] { key(8, 51); }, 0},
  };
  for (const Case& c : cases) {
    c.edit();
    const SInt32 at = WEOffsetToLine(c.what[2] == 'w' ? line5 : line3, we[0]);
    CGRect marked{};
    ASSERT_TRUE(ViewGetInvalidRect(window, &marked)) << c.what;
    EXPECT_EQ(marked.origin.y, row.v + at * rowHeight) << c.what;
    if (c.rows > 0) EXPECT_EQ(marked.size.height, c.rows * rowHeight) << c.what;
    else EXPECT_EQ(marked.origin.y + marked.size.height, 210) << c.what;  // the view's bottom
    EXPECT_EQ(marked.origin.x, 10) << c.what;  // across the whole view
    kept.Draw(window, &marked);
    ViewClearInvalid(window);
    Picture whole;
    whole.Draw(window);
    EXPECT_TRUE(kept.pixels == whole.pixels) << c.what;
  }
  // What changes while drawing is inhibited is marked when it is allowed.
  WEFeatureFlag(weFInhibitRedraw, weBitSet, we[0]);
  WESetOneAttribute(line5, line5 + 4, 'colr', &row, 0, we[0]);
  WESetOneAttribute(line3, line3 + 4, 'colr', &red, sizeof red, we[0]);
  CGRect marked{};
  EXPECT_FALSE(ViewGetInvalidRect(window, &marked));
  WEFeatureFlag(weFInhibitRedraw, weBitClear, we[0]);
  ASSERT_TRUE(ViewGetInvalidRect(window, &marked));
  EXPECT_EQ(marked.origin.y, row.v + WEOffsetToLine(line3, we[0]) * rowHeight);
  EXPECT_EQ(marked.origin.y + marked.size.height, row.v + (WEOffsetToLine(line5, we[0]) + 1) * rowHeight);
  kept.Draw(window, &marked);
  Picture whole;
  whole.Draw(window);
  EXPECT_TRUE(kept.pixels == whole.pixels);
  // Styles given again as they are (a re-parse mostly does that) mark nothing.
  ViewClearInvalid(window);
  WESetOneAttribute(line3, line3 + 4, 'colr', &red, sizeof red, we[0]);
  EXPECT_FALSE(ViewGetInvalidRect(window, &marked));
  // A stretch reset and styled again keeps its layout when the styles come
  // out as they were, and is laid out again when they do not: the word
  // shows in the colour it has.
  const SInt32 line = WEOffsetToLine(line3, we[0]);
  auto redInRow = [&] {
    Picture p;
    p.Draw(window);
    int count = 0;
    for (int y = row.v + line * rowHeight; y < row.v + (line + 1) * rowHeight; ++y)
      for (int x = 0; x < Picture::kWidth; ++x) {
        const UInt32 v = p.pixels[size_t(y) * Picture::kWidth + size_t(x)];
        const int r = int(v & 0xFF), g = int((v >> 8) & 0xFF), b = int((v >> 16) & 0xFF);
        count += r > 180 && g < 90 && b < 90;
      }
    return count;
  };
  const RGBColor black{0, 0, 0};
  ASSERT_GT(redInRow(), 0);
  WESetOneAttribute(line3, line3 + 4, 'colr', &black, sizeof black, we[0]);
  WESetOneAttribute(line3, line3 + 4, 'colr', &red, sizeof red, we[0]);
  EXPECT_GT(redInRow(), 0);
  WESetOneAttribute(line3, line3 + 4, 'colr', &black, sizeof black, we[0]);
  EXPECT_EQ(redInRow(), 0);
  WESetOneAttribute(line3 + 1, line3 + 3, 'colr', &red, sizeof red, we[0]);
  EXPECT_GT(redInRow(), 0);
}

TEST_F(WasteViewTest, TextDraggedToAnotherViewMovesWithOneChangeOnEachSide) {
  Put(we[0], "one two three");
  Put(we[1], "alpha");
  gFlux.clear();
  WESetSelection(4, 7, we[0]);
  DragFrom(0, 5, At(we[1], 5, 3));
  EXPECT_EQ("one  three", Text(we[0]));
  EXPECT_EQ("alphatwo", Text(we[1]));
  EXPECT_EQ((std::vector<std::pair<SInt32, SInt32>>{{4, -3}}), gFlux[we[0]]);
  EXPECT_EQ((std::vector<std::pair<SInt32, SInt32>>{{5, 3}}), gFlux[we[1]]);
  SInt32 start, end;
  WEGetSelection(&start, &end, we[1]);
  EXPECT_EQ(5, start);
  EXPECT_EQ(8, end);
  // Each side undoes its own half.
  Boolean redo = false;
  WEActionKind kind = weAKNone;
  WEGetUndoInfo(&redo, &kind, we[0]);
  EXPECT_EQ(weAKDrag, kind);
  WEGetUndoInfo(&redo, &kind, we[1]);
  EXPECT_EQ(weAKDrag, kind);
}

TEST_F(WasteViewTest, TextDraggedWithinAViewMovesOrWithOptionCopies) {
  struct Case {
    UInt32 modifiers;
    const char* expected;
  };
  const Case cases[] = {{0, "one  threetwo"}, {0x0800, "one two threetwo"}};
  for (const Case& c : cases) {
    Put(we[0], "one two three");
    WESetSelection(4, 7, we[0]);
    DragFrom(0, 5, At(we[0], 13, 3), c.modifiers);
    EXPECT_EQ(c.expected, Text(we[0])) << c.modifiers;
    // One step of undo takes it all back.
    ASSERT_EQ(noErr, WEUndo(we[0]));
    EXPECT_EQ("one two three", Text(we[0])) << c.modifiers;
  }
  // A drop onto the selection itself changes nothing.
  WESetSelection(4, 7, we[0]);
  DragFrom(0, 5, At(we[0], 6));
  EXPECT_EQ("one two three", Text(we[0]));
  // A click in the selection that does not move places the caret.
  WESetSelection(4, 7, we[0]);
  HeadlessAdvanceClock(1);
  EventRef e = MouseDown(At(we[0], 5));
  ViewHandleMouseDown(window, e);
  ReleaseEvent(e);
  SInt32 start, end;
  WEGetSelection(&start, &end, we[0]);
  EXPECT_EQ(start, end);
  EXPECT_EQ("one two three", Text(we[0]));
}

TEST_F(WasteMouseTest, InAScrollViewTheBarsFollowTheText) {
  Rect bounds{100, 100, 300, 400};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
  HIViewRef scroll = nullptr;
  ASSERT_EQ(noErr, HIScrollViewCreate(kHIScrollViewOptionsVertScroll, &scroll));
  const HIRect frame{{0, 0}, {300, 200}};
  HIViewSetFrame(scroll, &frame);
  HIViewAddSubview(HIViewGetRoot(window), scroll);
  HIViewSetVisible(scroll, true);
  HIViewRef text = nullptr;
  ASSERT_EQ(noErr, FenwicketCreate(&frame, 0x10141, &text));
  HIViewAddSubview(scroll, text);
  HIViewSetVisible(text, true);
  ShowWindow(window);
  WEReference we = InstanceOf(text);
  std::string lines;
  for (int i = 0; i < 60; ++i) lines += "line " + std::to_string(i) + "\r";
  Put(we, lines);  // a put of the host's: the bars hear of it when the view draws
  CGImageRef image = nullptr;
  HIRect drawn{};
  ASSERT_EQ(noErr, HIViewCreateOffscreenImage(scroll, 0, &drawn, &image));
  CGImageRelease(image);
  HIViewRef bar = HIViewGetFirstSubview(scroll);
  ASSERT_NE(nullptr, bar);
  LongRect dest, view;
  WEGetDestRect(&dest, we);
  WEGetViewRect(&view, we);
  EXPECT_EQ((dest.bottom - dest.top) - (view.bottom - view.top), GetControl32BitMaximum(bar));
  // The bar scrolls the text.
  EXPECT_EQ(noErr, HIScrollViewNavigate(scroll, kHIScrollViewScrollToBottom));
  WEGetDestRect(&dest, we);
  EXPECT_EQ(view.bottom, dest.bottom);
  EXPECT_EQ(GetControl32BitMaximum(bar), GetControl32BitValue(bar));
  DisposeWindow(window);
}

}  // namespace
