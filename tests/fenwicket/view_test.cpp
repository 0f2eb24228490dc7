// The text view: its exported names, layout, scroll bars, scrolling,
// drawing and life cycle.
#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

#include "FenwicketTestSupport.h"
#include "TestBitmap.h"

namespace {

TEST(FenwicketLibrary, ExportsExactlyTheTwentyThreeFunctions) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&RegisterWasteClass), &info), 0);
  const std::string path = info.dli_fname;
  FILE* pipe = popen(("nm -D --defined-only '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  char line[1024];
  while (fgets(line, sizeof line, pipe)) {
    char address[64], type[8], symbol[900];
    if (sscanf(line, "%63s %7s %899s", address, type, symbol) != 3) continue;
    if (std::string(type) != "T" && std::string(type) != "W") continue;
    EXPECT_NE(dlsym(library, symbol), nullptr) << symbol;
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(symbol, nullptr, nullptr, &status), std::free);
    std::string name = status == 0 ? demangled.get() : symbol;
    names.insert(name.substr(0, name.find('(')));
  }
  pclose(pipe);
  dlclose(library);
  const std::set<std::string> expected = {
      "RegisterWasteClass",      "WasteCreateController",     "WasteRegisterCallbackClient",
      "WasteSetOptions",         "WasteChangeOptions",        "WasteSetFluxState",
      "WasteUpdateView",         "WasteSetScrollPosition",    "WasteGetScrollPosition",
      "WasteSetGutterWidth",     "WasteSetWordTrackingDelay", "WasteSetBackgroundColor",
      "WasteSetBackgroundImage", "WasteSetContentInset",      "WasteSetScrollBarInset",
      "WasteShowContextualMenu", "WasteGetControllerView",    "WasteGetViewController",
      "WEConvertOffsetToScreen", "WEGetStringRange",          "WERangeToString",
      "WEInvokeUserFluxCallback", "WEToggleFluxCallback"};
  EXPECT_EQ(names, expected);
}

using Layout = TextViewTest;

TEST_F(Layout, TextRectangleFollowsOptionsAndInsets) {
  // The view's bounds in the root: left 10, top 20, right 310, bottom 220.
  const WasteViewOptions V = WasteOption(kWasteViewVerticalScrollbar);
  const WasteViewOptions H = WasteOption(kWasteViewHorizantalScrollbar);
  const WasteViewOptions G = WasteOption(kWasteViewDrawGutter);
  const WasteViewOptions W = WasteOption(kWasteViewWordWrap);
  struct Case {
    WasteViewOptions options;
    CGRect inset;
    LongRect view;  // top, left, bottom, right
    SInt32 destRight;
  } cases[] = {
      {V | H, {}, {24, 14, 201, 291}, 2000},
      {0, {}, {24, 14, 216, 306}, 2000},
      {V | H | G, {}, {24, 44, 201, 291}, 2000},
      {W, {}, {24, 14, 216, 306}, 294},  // wrap keeps room for a bar even without one
      {V | W, {}, {24, 14, 216, 291}, 294},
      {V | H, {{2, 3}, {5, 7}}, {27, 16, 194, 286}, 2000},
      {V, {{2.9, 3.9}, {0, 0}}, {27, 16, 216, 291}, 2000},  // insets are truncated
  };
  for (const Case& c : cases) {
    WasteSetOptions(view, c.options);
    WasteSetContentInset(view, c.inset);
    WasteUpdateView(view);
    const LongRect r = ViewRect();
    EXPECT_EQ(r.top, c.view.top) << c.options;
    EXPECT_EQ(r.left, c.view.left) << c.options;
    EXPECT_EQ(r.bottom, c.view.bottom) << c.options;
    EXPECT_EQ(r.right, c.view.right) << c.options;
    EXPECT_EQ(DestRect().right, c.destRight) << c.options;
  }
}

TEST_F(Layout, OptionsAndGutterWaitForTheNextLayout) {
  WasteSetGutterWidth(view, 40);
  WasteChangeOptions(view, WasteOption(kWasteViewDrawGutter), false);
  EXPECT_EQ(ViewRect().left, 14);
  WasteUpdateView(view);
  EXPECT_EQ(ViewRect().left, 54);
  WasteSetGutterWidth(view, 0);
  WasteUpdateView(view);
  EXPECT_EQ(ViewRect().left, 14);  // a zero gutter leaves only the inset
  WasteChangeOptions(view, WasteOption(kWasteViewDrawGutter), true);
  WasteSetGutterWidth(view, 30);
  WasteUpdateView(view);
  EXPECT_EQ(ViewRect().left, 14);
}

// With line numbers the gutter holds the widest of them: it widens as the
// line count gains digits, and the text moves beside it.
TEST_F(Layout, TheGutterWidensWithTheLineCountsDigits) {
  WasteSetOptions(view, WasteOption(kWasteViewDrawGutter) | WasteOption(kWasteViewDrawLineNumbers));
  WasteSetFluxState(view, true);
  SetText("a\rb\r");
  WasteUpdateView(view);
  const SInt32 few = ViewRect().left;
  EXPECT_EQ(few, 44);  // three lines fit the set width
  std::string text(99999, '\r');
  SetText(text + "x");  // 100,000 lines
  WasteUpdateView(view);
  const SInt32 many = ViewRect().left;
  EXPECT_GT(many, few);
  // A change that takes a digit away gives the room back at once.
  WESetSelection(0, 1, we);
  WEDelete(we);
  EXPECT_LT(ViewRect().left, many);
}

TEST_F(Layout, MovingTheViewKeepsTheScrollPosition) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "line " + std::to_string(i) + "\r";
  SetText(text);
  WasteUpdateView(view);
  WasteSetScrollPosition(view, CGPoint{0, 90});
  const SInt32 scrolled = ViewRect().top - DestRect().top;
  EXPECT_EQ(scrolled, 90);
  const CGRect moved{{35, 47}, {300, 200}};
  HIViewSetFrame(view, &moved);  // bounds change: the view lays itself out
  EXPECT_EQ(ViewRect().top, 47 + 4);
  EXPECT_EQ(ViewRect().top - DestRect().top, scrolled);
  EXPECT_EQ(ViewRect().left - DestRect().left, 0);
}

TEST_F(Layout, AnUnboundViewIgnoresBoundsAndBindsAtOnce) {
  HIViewRef other = NewTextView(window, CGRect{{0, 0}, {100, 100}});
  const CGRect frame{{5, 5}, {200, 120}};
  HIViewSetFrame(other, &frame);  // nothing to lay out yet
  EXPECT_EQ(WasteGetViewController(other), nullptr);
  HIViewRender(HIViewGetRoot(window));
  WEReference second = WasteCreateController(other, window, 0);
  ASSERT_NE(second, nullptr);
  LongRect r{};
  WEGetViewRect(&r, second);
  EXPECT_EQ(r.top, 9);
  EXPECT_EQ(r.bottom, 121);
  // Binding twice gives the same instance, not a second one.
  EXPECT_EQ(WasteCreateController(other, window, 0), second);
  EXPECT_EQ(WasteGetControllerView(second), other);
  EXPECT_EQ(WasteGetViewController(other), second);
  EXPECT_EQ(WasteGetViewController(HIViewGetRoot(window)), nullptr);
}

using ScrollBars = TextViewTest;

TEST_F(ScrollBars, FramesFollowSizeInsetsAndOptions) {
  CGRect h{}, v{};
  HIViewGetFrame(Bar(1), &h);
  HIViewGetFrame(Bar(2), &v);
  EXPECT_EQ(h, (CGRect{{0, 185}, {285, 15}}));
  EXPECT_EQ(v, (CGRect{{285, 0}, {15, 185}}));
  WasteSetScrollBarInset(view, CGRect{{3, 4}, {5, 6}});
  HIViewGetFrame(Bar(1), &h);
  HIViewGetFrame(Bar(2), &v);
  EXPECT_EQ(h, (CGRect{{3, 185}, {280, 15}}));
  EXPECT_EQ(v, (CGRect{{285, 4}, {15, 179}}));
  WasteSetScrollBarInset(view, CGRect{});

  // The vertical bar alone takes over the corner, once however often the
  // options are applied; one pixel less with a frame.
  for (int i = 0; i < 3; ++i) WasteSetOptions(view, WasteOption(kWasteViewVerticalScrollbar));
  HIViewGetFrame(Bar(2), &v);
  EXPECT_EQ(v.size.height, 185 + 16);
  EXPECT_FALSE(HIViewIsVisible(Bar(1)));
  EXPECT_TRUE(HIViewIsVisible(Bar(2)));
  WasteChangeOptions(view, WasteOption(kWasteViewDrawFrame), false);
  WasteChangeOptions(view, WasteOption(kWasteViewDrawFrame), false);
  HIViewGetFrame(Bar(2), &v);
  EXPECT_EQ(v.size.height, 185 + 15);
  WasteSetOptions(view, WasteOption(kWasteViewHorizantalScrollbar));
  HIViewGetFrame(Bar(1), &h);
  EXPECT_EQ(h.size.width, 285 + 16);
  EXPECT_FALSE(HIViewIsVisible(Bar(2)));

  // The bars follow the view's size through their bindings.
  WasteSetOptions(view, WasteOption(kWasteViewVerticalScrollbar) | WasteOption(kWasteViewHorizantalScrollbar));
  const CGRect bigger{{10, 20}, {400, 300}};
  HIViewSetFrame(view, &bigger);
  HIViewGetFrame(Bar(2), &v);
  EXPECT_EQ(v, (CGRect{{385, 0}, {15, 285}}));
}

TEST_F(ScrollBars, ValuesFollowTheTextAndStayInRange) {
  std::string text;
  for (int i = 0; i < 80; ++i) text += "row " + std::to_string(i) + "\r";
  SetText(text);
  WasteUpdateView(view);
  ControlRef v = Bar(2);
  const LongRect viewRect = ViewRect(), dest = DestRect();
  EXPECT_EQ(GetControlViewSize(v), viewRect.bottom - viewRect.top);
  EXPECT_EQ(GetControl32BitMaximum(v), (dest.bottom - dest.top) - (viewRect.bottom - viewRect.top));
  EXPECT_EQ(GetControl32BitMaximum(Bar(1)), 2000 - 14 - (viewRect.right - viewRect.left));

  WasteSetScrollPosition(view, CGPoint{0, 1e6});
  EXPECT_EQ(WasteGetScrollPosition(view).y, GetControl32BitMaximum(v));
  EXPECT_EQ(ViewRect().top - DestRect().top, GetControl32BitMaximum(v));

  // Text that shrinks below the view brings the text back to the top.
  SetText("short");
  WasteUpdateView(view);
  EXPECT_EQ(GetControl32BitMaximum(v), 0);
  EXPECT_EQ(GetControl32BitValue(v), 0);
  EXPECT_EQ(ViewRect().top, DestRect().top);
}

TEST_F(ScrollBars, ActionStepsByArrowsPagesAndNotForTheThumb) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "row\r";
  SetText(text);
  WasteUpdateView(view);
  ControlRef v = Bar(2);
  ControlActionUPP action = GetControlAction(v);
  ASSERT_NE(action, nullptr);
  const SInt32 page = (ViewRect().bottom - ViewRect().top) - 10;
  struct Step {
    ControlPartCode part;
    SInt32 expected;
  } steps[] = {{kControlUpButtonPart, 0},  {kControlDownButtonPart, 10}, {kControlPageDownPart, 10 + page},
               {kControlIndicatorPart, 10 + page}, {kControlPageUpPart, 10}, {kControlPageUpPart, 0}};
  for (const Step& s : steps) {
    action(v, s.part);
    EXPECT_EQ(GetControl32BitValue(v), s.expected) << s.part;
    EXPECT_EQ(ViewRect().top - DestRect().top, s.expected) << s.part;
  }
  // A dragged thumb: the control holds the value; the action scrolls to it.
  SetControl32BitValue(v, 123);
  action(v, kControlIndicatorPart);
  EXPECT_EQ(ViewRect().top - DestRect().top, 123);
  SetControl32BitValue(v, GetControl32BitMaximum(v));
  action(v, kControlDownButtonPart);
  EXPECT_EQ(GetControl32BitValue(v), GetControl32BitMaximum(v));
}

TEST_F(ScrollBars, WheelScrollsTheViewUnderTheMouseByFixedSteps) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "row\r";
  SetText(text);
  WasteUpdateView(view);
  ClearKeyboardFocus(window);  // the wheel does not need the focus
  auto wheel = [&](SInt32 delta, UInt16 axis, CGPoint where) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMouse, kEventMouseWheelMoved, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    SetEventParameter(e, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof axis, &axis);
    SetEventParameter(e, kEventParamMouseWheelDelta, typeSInt32, sizeof delta, &delta);
    const OSStatus status = SendEventToEventTarget(e, GetWindowEventTarget(window));
    ReleaseEvent(e);
    return status;
  };
  const CGPoint inside{100, 100}, overBar{302, 100}, outside{400, 350};
  EXPECT_EQ(wheel(-1, 1, inside), noErr);
  EXPECT_EQ(WasteGetScrollPosition(view).y, 75);
  EXPECT_EQ(wheel(-120, 1, overBar), noErr);  // any size of delta, also over the bar
  EXPECT_EQ(WasteGetScrollPosition(view).y, 150);
  EXPECT_EQ(wheel(3, 1, inside), noErr);
  EXPECT_EQ(WasteGetScrollPosition(view).y, 75);
  EXPECT_EQ(wheel(0, 1, inside), noErr);  // a zero delta moves nothing
  EXPECT_EQ(WasteGetScrollPosition(view).y, 75);
  EXPECT_EQ(wheel(-1, 0, inside), noErr);
  EXPECT_EQ(WasteGetScrollPosition(view).x, 75);
  EXPECT_EQ(wheel(-1, 1, outside), eventNotHandledErr);
  EXPECT_EQ(WasteGetScrollPosition(view).y, 75);
}

// --- Drawing ----------------------------------------------------------------------


using Drawing = TextViewTest;

TEST_F(Drawing, BackgroundGutterAndLineNumbers) {
  SetText("one\rtwo\rthree");
  WasteSetOptions(view, WasteOption(kWasteViewDrawGutter) | WasteOption(kWasteViewDrawLineNumbers) |
                            WasteOption(kWasteViewVerticalScrollbar));
  WasteSetBackgroundColor(view, MakeCGRGB(0, 0, 1, 1));
  WasteUpdateView(view);
  Bitmap bitmap(300, 200);
  HIViewDrawInContext(view, bitmap.context);
  EXPECT_GT(client.backgrounds, 0);
  // Blue background inside the text area, the gutter's grey at its left.
  const UInt8* text = bitmap.At(200, 150);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(text[2], 255);
  const UInt8* gutter = bitmap.At(5, 190);
  EXPECT_NE(gutter[2], 255);
  // One gutter call per line, 1-based, each cell as high as its line.
  ASSERT_EQ(client.gutterCells.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(client.gutterCells[i].first, SInt32(i + 1));
    const CGRect cell = client.gutterCells[i].second;
    EXPECT_EQ(cell.origin.x, 0);
    EXPECT_EQ(cell.size.width, 30);
    EXPECT_GT(cell.size.height, 8);
    EXPECT_EQ(cell.origin.y, 4 + i * cell.size.height);
  }
  // A line number is darker than the gutter's fill.
  bool ink = false;
  for (int y = 4; y < 4 + int(client.gutterCells[0].second.size.height); ++y)
    for (int x = 8; x < 24; ++x) ink = ink || bitmap.At(x, y)[0] < 150;
  EXPECT_TRUE(ink);
}

// A line's rows drawn alone (as after a key) come out as in a drawing of
// the whole view: the text, the gutter and the numbers beside them.
TEST_F(Drawing, ALineRedrawnAloneLooksAsInAWholeDrawing) {
  std::string text;
  for (int i = 1; i <= 12; ++i) text += "$line" + std::to_string(i) + " = [" + std::to_string(i * 7) + ", 'gy'];\r";
  SetText(text);
  WasteSetOptions(view, WasteOption(kWasteViewDrawGutter) | WasteOption(kWasteViewDrawLineNumbers) |
                            WasteOption(kWasteViewVerticalScrollbar));
  WasteUpdateView(view);
  // As the host draws: the area filled white, then the views over it.
  Bitmap whole(300, 200), partly(300, 200);
  for (Bitmap* b : {&whole, &partly}) {
    CGContextSetRGBFillColor(b->context, 1, 1, 1, 1);
    CGContextFillRect(b->context, CGRectMake(0, 0, 300, 200));
    HIViewDrawInContext(view, b->context);
  }
  for (const int line : {0, 4, 9}) {
    SInt32 start = 0, end = 0;
    WEGetLineRange(line, &start, &end, we);
    LongPt pt{};
    SInt16 height = 0;
    WEGetPoint(start, 1, &pt, &height, we);
    CGPoint top{0, CGFloat(pt.v)};
    HIViewConvertPoint(&top, nullptr, view);
    CGContextSaveGState(partly.context);
    CGContextClipToRect(partly.context, CGRectMake(0, top.y, 300, height));
    CGContextSetRGBFillColor(partly.context, 1, 1, 1, 1);
    CGContextFillRect(partly.context, CGRectMake(0, 0, 300, 200));
    HIViewDrawInContext(view, partly.context);
    CGContextRestoreGState(partly.context);
    CGContextFlush(partly.context);
    CGContextFlush(whole.context);
    EXPECT_TRUE(partly.pixels == whole.pixels) << "line " << line;
  }
}

TEST_F(Drawing, AnInvisibleOrEmptyViewDrawsNothingButTheReadOnlyStateFollowsTheClients) {
  WasteSetOptions(view, WasteOption(kWasteViewDrawGutter));
  HIViewSetVisible(view, false);
  Bitmap bitmap(300, 200);
  client.accept = false;
  EventRef draw = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlDraw, 0, 0, &draw);
  CGContextRef context = bitmap.context;
  SetEventParameter(draw, kEventParamCGContextRef, typeCGContextRef, sizeof context, &context);
  SendEventToEventTarget(draw, HIViewGetEventTarget(view));
  EXPECT_EQ(client.backgrounds, 0);
  EXPECT_TRUE(client.gutterCells.empty());
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, we), 1);
  Type(u"x");
  EXPECT_EQ(TextOf(we), "");
  client.accept = true;
  HIViewSetVisible(view, true);
  SendEventToEventTarget(draw, HIViewGetEventTarget(view));
  ReleaseEvent(draw);
  EXPECT_GT(client.backgrounds, 0);
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, we), 0);
}

// --- Life cycle -------------------------------------------------------------------

TEST(FenwicketLifeCycle, TimerAndHandlersEndWithTheView) {
  RegisterOnce();
  Rect bounds = {100, 100, 400, 500};
  WindowRef window = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
  ShowWindow(window);
  SelectWindow(window);
  HIViewRef first = NewTextView(window, CGRect{{0, 0}, {200, 100}});
  HIViewRef second = NewTextView(window, CGRect{{0, 120}, {200, 100}});
  Recorder r;
  WEReference we = WasteCreateController(first, window, 0);
  WasteCreateController(second, window, 0);
  WasteRegisterCallbackClient(first, RecordingCallbacks(), &r);
  SetKeyboardFocus(window, first, kControlFocusNextPart);
  WEPut(0, 0, "ab", 2, 0, 0, 0, nullptr, nullptr, we);
  WESetSelection(1, 1, we);
  HeadlessAdvanceClock(0.2);
  EXPECT_FALSE(r.cursors.empty());
  DisposeControl(first);  // the view goes; its timer must not fire again
  r.cursors.clear();
  HeadlessAdvanceClock(0.5);
  EXPECT_TRUE(r.cursors.empty());

  // The window's drag handlers serve the remaining view and refer to no
  // view that is gone.
  DragRef drag = nullptr;
  NewDrag(&drag);
  const UniChar text[] = {'h', 'i'};
  AddDragItemFlavor(drag, 1, kFlavorTypeUnicodeText, text, sizeof text, 0);
  HeadlessQueueDrag({{window, CGPoint{50, 50}, 0, 0}, {window, CGPoint{50, 150}, 0, 0}}, nullptr);
  EventRecord start{};
  start.what = mouseDown;
  EXPECT_EQ(TrackDrag(drag, &start, nullptr), noErr);
  DisposeDrag(drag);
  EXPECT_EQ(TextOf(WasteGetViewController(second)), "hi");
  DisposeWindow(window);
}

}  // namespace
