// Callback clients: how their answers combine and in which order they are
// called, the text filter and change notifications, clicks, drags and the
// tracking timer's reports.
#include <cmath>

#include "Appearance.h"

#include "FenwicketTestSupport.h"

namespace {

using Clients = TextViewTest;

TEST_F(Clients, TheLastFilterDecidesAndAcceptInputIsChained) {
  Recorder second;
  second.name = "B";
  WasteCallbacks(second);
  struct Case {
    Boolean first, second;
    const char* text;
  } cases[] = {{false, true, "x"}, {true, false, ""}, {true, true, "x"}};
  for (const Case& c : cases) {
    SetText("");
    client.filterAnswer = c.first;
    second.filterAnswer = c.second;
    client.log.clear();
    second.log.clear();
    Type(u"x");
    EXPECT_EQ(TextOf(we), c.text) << int(c.first) << int(c.second);
    // Both filters hear every key, registration order first.
    EXPECT_EQ(client.log.front(), "A:filter");
    EXPECT_EQ(second.log.front(), "B:filter");
  }
  // ACCEPTINPUT: a refusal by any client stands; later clients still run.
  client.accept = false;
  second.accept = true;
  client.log.clear();
  second.log.clear();
  EXPECT_EQ(Command(kHICommandShiftRight), eventNotHandledErr);
  EXPECT_EQ(client.log, std::vector<std::string>{"A:accept"});
  EXPECT_EQ(second.log, std::vector<std::string>{"B:accept"});
}

TEST_F(Clients, FiltersHearTheCharacterTypedNotItsLowByte) {
  struct Case {
    std::u16string typed;
    UInt8 key;
  } cases[] = {
      {u"a", 'a'},       {u"(", '('},
      {u"\u00e9", 0x8E},  // é is 0x8E in Mac Roman
      {u"\u2022", 0xA5},  // • would be '"' by its low byte
      {u"\u0141", 0},     // Ł has no Mac Roman byte: not 'A'
      {u"\u2029", 0},     // not ')'
      {u"ab", 0},         // more than one character
  };
  for (const Case& c : cases) {
    client.keys.clear();
    Type(c.typed);
    ASSERT_EQ(client.keys.size(), 1u);
    EXPECT_EQ(client.keys[0], c.key);
  }
}

TEST_F(Clients, ChangesReachUserFluxWithThePreviousTypedCharacter) {
  SetText("xy");
  client.flux.clear();
  client.fluxPrevious.clear();
  WESetSelection(2, 2, we);
  Type(u"z");
  WEPut(0, 0, "Q", 1, 0, 0, 0, nullptr, nullptr, we);  // a host change
  ASSERT_EQ(client.flux.size(), 2u);
  EXPECT_EQ(client.flux[0], (std::pair<SInt32, SInt32>{2, 1}));
  EXPECT_EQ(client.fluxPrevious[0], 'y');
  EXPECT_EQ(client.flux[1], (std::pair<SInt32, SInt32>{0, 1}));
  EXPECT_EQ(client.fluxPrevious[1], 'y');  // still the one recorded at the last key
  WESetSelection(0, 0, we);
  Type(u"k");
  EXPECT_EQ(client.fluxPrevious.back(), 0);  // nothing before the start of the text

  // Off: nothing; the toggle and the explicit call.
  client.flux.clear();
  WasteSetFluxState(view, false);
  Type(u"m");
  EXPECT_TRUE(client.flux.empty());
  WEInvokeUserFluxCallback(3, -2, we);
  ASSERT_EQ(client.flux.size(), 1u);
  EXPECT_EQ(client.flux[0], (std::pair<SInt32, SInt32>{3, -2}));
  EXPECT_EQ(client.fluxPrevious.back(), 0);
  WEToggleFluxCallback(we);
  Type(u"n");
  EXPECT_EQ(client.flux.size(), 2u);
}

TEST_F(Clients, RegistrationCopiesTheRecordWithItsOwnContextAndWalksTakeTheirCount) {
  static Recorder late;
  static HIViewRef sView;
  late = Recorder{};
  late.name = "late";
  sView = view;
  WasteCustomCallbacks c{};
  c.CONTEXT = reinterpret_cast<void*>(0x1234);  // replaced by the registration's context
  c.USERFLUX = [](SInt32, SInt32, UInt8, WEReference, void* ctx) {
    static bool registered = false;
    if (ctx != reinterpret_cast<void*>(0x1234) && !registered) {
      registered = true;
      WasteRegisterCallbackClient(sView, RecordingCallbacks(), &late);
    }
  };
  WasteRegisterCallbackClient(view, c, nullptr);
  Type(u"a");
  EXPECT_TRUE(late.flux.empty());  // registered during the walk: heard from the next one
  Type(u"b");
  EXPECT_EQ(late.flux.size(), 1u);
}

// --- Clicks ---------------------------------------------------------------------------

TEST_F(Clients, ClicksGoToGutterContentAndEngineInOrder) {
  SetText("alpha\rbeta\rgamma");
  WasteUpdateView(view);
  Recorder second;
  second.name = "B";
  WasteCallbacks(second);
  SInt16 lineHeight = 0;
  LongPt line2{};
  WEGetPoint(6, 1, &line2, &lineHeight, we);
  const CGFloat y = line2.v + lineHeight / 2.0;  // window coordinates = root coordinates

  struct Case {
    CGFloat x;  // view coordinates
    bool firstHandles, secondHandles;
    std::vector<std::string> log;
    bool selectionMoves;
  } cases[] = {
      {30, true, true, {"A:gutter", "A:content", "B:content"}, false},  // x = gutter width counts
      {20, false, true, {"A:gutter", "B:gutter", "A:content", "B:content"}, false},
      {20, false, false, {"A:gutter", "B:gutter", "A:content", "B:content"}, true},
      {30.5, true, true, {"A:content", "B:content"}, true},
  };
  for (const Case& c : cases) {
    WESetSelection(0, 0, we);
    client.log.clear();
    second.log.clear();
    client.gutterClicks.clear();
    client.contentClicks.clear();
    client.handleGutter = c.firstHandles;
    second.handleGutter = c.secondHandles;
    HeadlessAdvanceClock(1);  // no double clicks
    Click(CGPoint{10 + c.x, y});
    std::vector<std::string> log;
    for (auto* r : {&client, &second})
      for (auto& entry : r->log)
        if (entry.find("gutter") != std::string::npos) log.push_back(entry);
    for (auto* r : {&client, &second})
      for (auto& entry : r->log)
        if (entry.find("content") != std::string::npos) log.push_back(entry);
    EXPECT_EQ(log, c.log) << c.x;
    if (!client.gutterClicks.empty()) {
      EXPECT_EQ(client.gutterClicks[0], 2);  // 1-based line
    }
    ASSERT_EQ(client.contentClicks.size(), 1u);
    EXPECT_EQ(client.contentClicks[0].x, std::round(c.x));  // the click's point is rounded
    SInt32 s = 0, e = 0;
    WEGetSelection(&s, &e, we);
    EXPECT_EQ(s != 0, c.selectionMoves) << c.x;
  }
}

TEST_F(Clients, DisabledViewIgnoresClicksAndFocusParts) {
  SetText("alpha beta");
  HIViewRef other = NewTextView(window, CGRect{{10, 250}, {200, 100}});
  WasteCreateController(other, window, 0);
  SetKeyboardFocus(window, other, kControlFocusNextPart);
  HIViewSetEnabled(view, false);
  Click(CGPoint{120, 30});
  EXPECT_TRUE(client.contentClicks.empty());
  EXPECT_FALSE(HIViewSubtreeContainsFocus(view));
  HIViewSetEnabled(view, true);
  HeadlessAdvanceClock(1);
  Click(CGPoint{120, 30});
  EXPECT_TRUE(HIViewSubtreeContainsFocus(view));
  EXPECT_TRUE(WEIsActive(we));
  EXPECT_FALSE(WEIsActive(WasteGetViewController(other)));

  // Asking for the previous part gives part -1 and an active engine.
  ClearKeyboardFocus(window);
  EXPECT_FALSE(WEIsActive(we));
  SetKeyboardFocus(window, view, kControlFocusPrevPart);
  HIViewPartCode part = 0;
  HIViewGetFocusPart(view, &part);
  EXPECT_EQ(part, kControlFocusNextPart);
  EXPECT_TRUE(WEIsActive(we));
}

TEST_F(Clients, ClickActivationDependsOnTheSelection) {
  SetText("alpha beta gamma");
  WasteUpdateView(view);
  WESetSelection(0, 5, we);
  auto activation = [&](SInt32 offset) {
    LongPt p{};
    SInt16 lh = 0;
    WEGetPoint(offset, 1, &p, &lh, we);
    const CGPoint where{CGFloat(p.h + 2), CGFloat(p.v + lh / 2)};
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlGetClickActivation, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    SendEventToEventTarget(e, HIViewGetEventTarget(view));
    UInt32 answer = 0;
    GetEventParameter(e, kEventParamClickActivation, typeUInt32, nullptr, sizeof answer, nullptr, &answer);
    ReleaseEvent(e);
    return answer;
  };
  EXPECT_EQ(activation(1), 1u);
  EXPECT_EQ(activation(8), 3u);
}

// --- Drags ------------------------------------------------------------------------------

struct DropResult {
  OSErr status;
  std::string text;
};

struct Drags : TextViewTest {
  DropResult Drop(FlavorType type, const void* bytes, Size size) {
    DragRef drag = nullptr;
    NewDrag(&drag);
    AddDragItemFlavor(drag, 1, type, bytes, size, 0);
    HeadlessQueueDrag({{window, CGPoint{100, 100}, 0, 0}, {window, CGPoint{120, 60}, 0, 0}}, nullptr);
    EventRecord start{};
    start.what = mouseDown;
    const OSErr status = TrackDrag(drag, &start, nullptr);
    DisposeDrag(drag);
    return {status, TextOf(we)};
  }
};

TEST_F(Drags, TextDropsInAndOtherFlavoursGoOnlyToClients) {
  const UniChar text[] = {'n', 'e', 'w'};
  ClearKeyboardFocus(window);
  DropResult r = Drop(kFlavorTypeUnicodeText, text, sizeof text);
  EXPECT_EQ(r.status, noErr);
  EXPECT_EQ(r.text, "new");
  EXPECT_TRUE(HIViewSubtreeContainsFocus(view));  // the drop focuses the view
  EXPECT_EQ(client.dragTypes, std::vector<FlavorType>{kFlavorTypeUnicodeText});

  // A file nobody takes changes nothing; a client that takes it decides.
  const char file[] = "file:///tmp/x";
  r = Drop('furl', file, sizeof file);
  EXPECT_NE(r.status, noErr);
  EXPECT_EQ(r.text, "new");
  client.dragAnswer = noErr;
  r = Drop('furl', file, sizeof file);
  EXPECT_EQ(r.status, noErr);
  EXPECT_EQ(r.text, "new");
}

TEST_F(Drags, ARefusingViewIsFocusedButNotChanged) {
  HIViewRef other = NewTextView(window, CGRect{{10, 250}, {200, 100}});
  WasteCreateController(other, window, 0);
  SetKeyboardFocus(window, other, kControlFocusNextPart);
  client.accept = false;
  const UniChar text[] = {'n', 'o'};
  const DropResult r = Drop(kFlavorTypeUnicodeText, text, sizeof text);
  EXPECT_NE(r.status, noErr);
  EXPECT_EQ(r.text, "");
  EXPECT_TRUE(HIViewSubtreeContainsFocus(view));
}

// --- Tracking timer ------------------------------------------------------------------------

using Tracking = TextViewTest;

std::string StatusText(ControlRef status) {
  CFStringRef text = HIViewCopyText(status);
  const std::string s = Utf8(text);
  if (text) CFRelease(text);
  return s;
}

TEST_F(Tracking, AWordIsReportedAfterThePauseAndThenAtEveryChange) {
  HeadlessAdvanceClock(0.1);
  client.words.clear();
  Type(u"f");
  Type(u"o");
  Type(u"o");
  HeadlessAdvanceClock(0.3);
  EXPECT_TRUE(client.words.empty());  // still counting down
  HeadlessAdvanceClock(0.6);
  ASSERT_EQ(client.words.size(), 1u);
  EXPECT_EQ(client.words[0].first, "foo");
  EXPECT_EQ(client.words[0].second.location, 0);
  EXPECT_EQ(client.words[0].second.length, 3);  // the END offset
  HeadlessAdvanceClock(1);
  EXPECT_EQ(client.words.size(), 1u);  // once

  Type(u"d");  // during the run every change reports at once
  ASSERT_EQ(client.words.size(), 2u);
  EXPECT_EQ(client.words[1].first, "food");

  // Leaving the word ends the run: nil with the end one past the word.
  WEPut(4, 4, " bar", 4, 0, 0, 0, nullptr, nullptr, we);
  WESetSelection(8, 8, we);
  HeadlessAdvanceClock(0.1);
  ASSERT_EQ(client.words.size(), 3u);
  EXPECT_EQ(client.words[2].first, "<nil>");
  EXPECT_EQ(client.words[2].second.location, 0);
  EXPECT_EQ(client.words[2].second.length, 5);
}

TEST_F(Tracking, BackspacingAWayTheWordEndsTheRunAndASpaceStartsNone) {
  Type(u"ab");
  HeadlessAdvanceClock(1);
  ASSERT_EQ(client.words.size(), 1u);
  Type(u"\b", 51);
  ASSERT_EQ(client.words.size(), 2u);
  EXPECT_EQ(client.words[1].first, "a");
  Type(u"\b", 51);
  ASSERT_EQ(client.words.size(), 3u);
  EXPECT_EQ(client.words[2].first, "<nil>");
  EXPECT_EQ(client.words[2].second.length, 2);

  Type(u"x");
  Type(u" ");  // a space after a word: no countdown for the word before it
  client.words.clear();
  HeadlessAdvanceClock(2);
  EXPECT_TRUE(client.words.empty());
}

TEST_F(Tracking, IdleCursorAndStatusReportsOnlyForTheActiveView) {
  ControlRef status = nullptr;
  const Rect r{0, 0, 20, 80};
  CreateStaticTextControl(window, &r, CFStringMakeConstantUTF8(""), nullptr, &status);
  const ControlID id{'word', 128};
  SetControlID(status, &id);
  HeadlessAdvanceClock(0.1);
  client.cursors.clear();
  Type(u"hello");
  HeadlessAdvanceClock(0.3);
  EXPECT_EQ(client.idle, 0);
  HeadlessAdvanceClock(0.5);
  EXPECT_EQ(client.idle, 1);
  HeadlessAdvanceClock(2);
  EXPECT_EQ(client.idle, 1);  // once per pause
  EXPECT_EQ(client.cursors, std::vector<SInt32>{5});
  EXPECT_EQ(StatusText(status), "5");

  // Another window in front: nothing is reported, the status stays.
  WindowRef front = nullptr;
  Rect bounds = {50, 50, 200, 200};
  CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &front);
  ShowWindow(front);
  SelectWindow(front);
  EXPECT_FALSE(WEIsActive(we));
  WESetSelection(2, 2, we);
  WEPut(0, 0, "z", 1, 0, 0, 0, nullptr, nullptr, we);
  HeadlessAdvanceClock(2);
  EXPECT_EQ(client.idle, 1);
  EXPECT_EQ(client.cursors.size(), 1u);
  EXPECT_EQ(StatusText(status), "5");
  DisposeWindow(front);
}

// The window's cursor-change event over a focused text view: the engine
// picks the cursor over the text; elsewhere the arrow, and the event is
// left to others.
TEST_F(Tracking, TheCursorOverTheTextIsTheIBeam) {
  SetText("point at this text\rand at this");
  WESetSelection(0, 5, we);
  auto cursorAt = [&](CGPoint where, OSStatus* status) {
    SetThemeCursor(kThemeWatchCursor);
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kEventWindowCursorChange, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    *status = SendEventToEventTarget(e, GetWindowEventTarget(window));
    ReleaseEvent(e);
    return ThemeCursor(HeadlessCurrentThemeCursor());
  };
  auto over = [&](SInt32 offset) {
    LongPt p{};
    SInt16 lh = 0;
    WEGetPoint(offset, 1, &p, &lh, we);
    return CGPoint{double(p.h) + 2, double(p.v) + lh / 2.0};
  };
  const LongRect text = ViewRect();
  const struct {
    CGPoint where;
    ThemeCursor cursor;
    OSStatus status;
  } cases[] = {
      {over(8), kThemeIBeamCursor, noErr},
      {over(22), kThemeIBeamCursor, noErr},  // the second line
      {{double(text.left) + 150, double(text.bottom) - 20}, kThemeIBeamCursor, noErr},  // below the text
      {over(2), kThemeArrowCursor, noErr},   // a selection that can be dragged
      {{double(text.right) + 5, double(text.top) + 20}, kThemeArrowCursor, eventNotHandledErr},  // the scroll bar
  };
  for (const auto& c : cases) {
    OSStatus status = 0;
    EXPECT_EQ(cursorAt(c.where, &status), c.cursor) << c.where.x << "," << c.where.y;
    EXPECT_EQ(status, c.status) << c.where.x << "," << c.where.y;
  }
  // Without the focus the view leaves the cursor alone.
  SetKeyboardFocus(window, nullptr, kControlFocusNoPart);
  OSStatus status = 0;
  EXPECT_EQ(cursorAt(over(8), &status), kThemeWatchCursor);
  EXPECT_EQ(status, eventNotHandledErr);
  SetThemeCursor(kThemeArrowCursor);
}

}  // namespace
