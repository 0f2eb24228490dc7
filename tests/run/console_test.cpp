// The console: lines after a line break, the line limit, emptiness,
// auto-scroll, a text the user cannot change or undo, and the console a
// process runner makes through the registered class.
#include <gtest/gtest.h>

#include <algorithm>

#include "HIView.h"
#include "MacWindows.h"
#include "CFString.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "TConsoleUnit.h"
#include "WASTE.h"

namespace {

CFStringRef NewString(const std::string& utf8) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

class ConsoleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
  }
  void SetUp() override {
    Rect bounds = {100, 100, 300, 400};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    view = NewView();
    ShowWindow(window);
    console = new TConsoleView();
    console->Create(view);
  }
  void TearDown() override {
    SetConsoleFactory(nullptr);
    DisposeWindow(window);  // the console ends with its view
  }
  HIViewRef NewView() {
    HIObjectRef object = nullptr;
    EXPECT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    auto made = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), made);
    HIRect frame = {{0, 0}, {300, 120}};
    HIViewSetFrame(made, &frame);
    HIViewSetVisible(made, true);
    return made;
  }
  void Write(const std::string& line) {
    CFStringRef s = NewString(line);
    console->WriteLn(s);
    CFRelease(s);
  }
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  TConsoleView* console = nullptr;
};

TEST_F(ConsoleTest, EachLineFollowsALineBreakAndTheTextStaysReadOnly) {
  ASSERT_NE(console->controller, nullptr);
  EXPECT_TRUE(console->IsEmpty());
  EXPECT_EQ(console->options, WasteOption(kWasteViewWordWrap) | WasteOption(kWasteViewVerticalScrollbar));
  Write("first");
  Write("");
  Write("d\xC3\xA9j\xC3\xA0 vu \xE2\x82\xAC");
  EXPECT_EQ(TextOf(console->controller), "\rfirst\r\rd\xC3\xA9j\xC3\xA0 vu \xE2\x82\xAC");
  EXPECT_EQ(console->lineCount, 3);
  EXPECT_FALSE(console->IsEmpty());
  EXPECT_EQ(WEFeatureFlag(weFReadOnly, weBitTest, console->controller), 1);

  // What was written is output, not an edit: undo does not take it away.
  WEUndo(console->controller);
  EXPECT_EQ(TextOf(console->controller), "\rfirst\r\rd\xC3\xA9j\xC3\xA0 vu \xE2\x82\xAC");

  console->Clear();
  EXPECT_TRUE(console->IsEmpty());
  EXPECT_EQ(WEGetTextLength(console->controller), 0);
  Write("");
  EXPECT_FALSE(console->IsEmpty()) << "an empty line is a line";
}

TEST_F(ConsoleTest, TheLineLimitEmptiesTheConsoleOncePassed) {
  struct Case {
    SInt16 maximum;
    int writes;
    SInt16 count;
  };
  for (const Case& c : {Case{100, 101, 101}, Case{100, 102, 1}, Case{0, 300, 300}, Case{5, 13, 1}, Case{5, 14, 2}}) {
    console->Clear();
    console->SetMaximumLines(c.maximum);
    for (int i = 1; i <= c.writes; ++i) Write("line " + std::to_string(i));
    EXPECT_EQ(console->lineCount, c.count) << c.maximum << " / " << c.writes;
    const std::string text = TextOf(console->controller);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), c.count) << c.maximum << " / " << c.writes;
    EXPECT_EQ(text.substr(text.rfind('\r') + 1), "line " + std::to_string(c.writes));
  }
}

TEST_F(ConsoleTest, AutoScrollKeepsTheLastLineInView) {
  for (int i = 0; i < 40; ++i) Write("quiet " + std::to_string(i));
  EXPECT_EQ(WasteGetScrollPosition(view).y, 0) << "without auto-scroll the view stays at the top";
  console->SetAutoScroll(true);
  Write("last");
  const SInt32 end = WEGetTextLength(console->controller);
  SInt32 start = -1, stop = -1;
  WEGetSelection(&start, &stop, console->controller);
  EXPECT_EQ(start, end);
  EXPECT_EQ(stop, end);
  const CGFloat bottom = WasteGetScrollPosition(view).y;
  EXPECT_GT(bottom, 0);

  console->SetAutoScroll(false);
  WasteSetScrollPosition(view, CGPoint{0, 0});
  console->ScrollToEnd();
  EXPECT_EQ(WasteGetScrollPosition(view).y, bottom);
}

TEST_F(ConsoleTest, ARunnerMakesItsConsoleFromTheRegisteredClass) {
  RegisterConsoleClass();
  class Runner : public TProcessUtils {
   public:
    void Terminated(Boolean, SInt16) override { *done = true; }
    bool* done = nullptr;
  };
  bool done = false;
  auto* runner = new Runner();
  runner->done = &done;
  HIViewRef output = NewView();
  runner->SetConsole(output);
  ASSERT_NE(runner->fConsole, nullptr);
  CFStringRef line = NewString("/bin/sh -c \"echo one; echo two\"");
  runner->Launch(line);
  CFRelease(line);
  ASSERT_NE(runner->fProcess, nullptr);
  for (int i = 0; i < 100000 && !done; ++i) {
    ProcessWaitForOutput(runner->fProcess, 100);
    HeadlessAdvanceClock(1.0 / 30);
  }
  ASSERT_TRUE(done);
  // The runner has gone with its console object; the text stays in the view.
  EXPECT_EQ(TextOf(WasteGetViewController(output)), "\rone\rtwo");
}

}  // namespace
