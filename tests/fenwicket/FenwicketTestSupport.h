// Shared by the text view tests: a shown window holding one bound text
// view, a client that records what it hears, and helpers that type, click
// and send commands the way the hosts do.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "ViewInternal.h"
#include "fenwicket/Fenwicket.h"

inline bool operator==(const CGRect& a, const CGRect& b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}
inline std::ostream& operator<<(std::ostream& out, const CGRect& r) {
  return out << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}

inline void RegisterOnce() {
  static bool done = false;
  if (!done) {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    done = true;
  }
}

inline std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buffer[4096] = {0};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

inline std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

inline HIViewRef NewTextView(WindowRef window, CGRect frame) {
  HIObjectRef object = nullptr;
  EXPECT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
  auto view = reinterpret_cast<HIViewRef>(object);
  if (window) HIViewAddSubview(HIViewGetRoot(window), view);
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, true);
  return view;
}

// One record per call a client hears: "<client>:<slot> <details>".
struct Recorder {
  std::vector<std::string> log;
  std::vector<std::pair<SInt32, SInt32>> flux;
  std::vector<UInt8> fluxPrevious;
  std::vector<UInt8> keys;
  Boolean filterAnswer = true;
  Boolean accept = true;
  Boolean handleGutter = false;
  OSStatus dragAnswer = dragNotAcceptedErr;
  int idle = 0;
  std::vector<SInt32> cursors;
  std::vector<std::pair<std::string, CFRange>> words;
  std::vector<CGPoint> contentClicks;
  std::vector<SInt32> gutterClicks;
  std::vector<std::pair<SInt32, CGRect>> gutterCells;
  int backgrounds = 0;
  std::vector<FlavorType> dragTypes;
  std::string name = "A";
};

inline Recorder& R(void* context) { return *static_cast<Recorder*>(context); }

inline WasteCustomCallbacks RecordingCallbacks() {
  WasteCustomCallbacks c{};
  c.TEXTFILTER = [](UInt8 key, SInt32, UInt32, UInt32, WEReference, void* ctx) -> Boolean {
    R(ctx).keys.push_back(key);
    R(ctx).log.push_back(R(ctx).name + ":filter");
    return R(ctx).filterAnswer;
  };
  c.CONTEXTUALMENU = [](MenuRef menu, WEReference, void* ctx) {
    AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8(("Client " + R(ctx).name).c_str()), 0, 'clnt',
                                   nullptr);
  };
  c.RECEIVEDRAG = [](const void*, FlavorType type, SInt32, DragRef, WEReference, void* ctx) -> OSStatus {
    R(ctx).dragTypes.push_back(type);
    return R(ctx).dragAnswer;
  };
  c.TRACKCURSOR = [](SInt32 anchor, WEReference, void* ctx) { R(ctx).cursors.push_back(anchor); };
  c.TRACKWORD = [](CFStringRef word, const CFRange& range, WEReference, void* ctx) {
    R(ctx).words.emplace_back(word ? Utf8(word) : "<nil>", range);
  };
  c.USERFLUX = [](SInt32 offset, SInt32 delta, UInt8 previous, WEReference, void* ctx) {
    R(ctx).flux.emplace_back(offset, delta);
    R(ctx).fluxPrevious.push_back(previous);
    R(ctx).log.push_back(R(ctx).name + ":flux");
  };
  c.CLICKGUTTER = [](SInt32 line, Boolean& handled, WEReference, void* ctx) {
    R(ctx).gutterClicks.push_back(line);
    R(ctx).log.push_back(R(ctx).name + ":gutter");
    if (R(ctx).handleGutter) handled = true;
  };
  c.CLICKCONTENT = [](const CGPoint& p, SInt16, UInt32, WEReference, void* ctx) {
    R(ctx).contentClicks.push_back(p);
    R(ctx).log.push_back(R(ctx).name + ":content");
  };
  c.DRAWGUTTER = [](CGContextRef, SInt32 line, const CFRange&, const CGRect& cell, WEReference, void* ctx) {
    R(ctx).gutterCells.emplace_back(line, cell);
  };
  c.DRAWBACKGROUND = [](CGContextRef, const CGRect&, WEViewReference, WEReference, void* ctx) {
    R(ctx).backgrounds++;
  };
  c.IDLETYPING = [](WEReference, void* ctx) { R(ctx).idle++; };
  c.ACCEPTINPUT = [](Boolean& accept, WEReference, void* ctx) {
    R(ctx).log.push_back(R(ctx).name + ":accept");
    if (!R(ctx).accept) accept = false;
  };
  return c;
}

// A shown, active window with one bound text view at (10, 20), 300 x 200.
struct TextViewTest : ::testing::Test {
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  WEReference we = nullptr;
  Recorder client;

  static constexpr CGRect kFrame{{10, 20}, {300, 200}};

  void SetUp() override {
    RegisterOnce();
    Rect bounds = {100, 100, 500, 600};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    ShowWindow(window);
    SelectWindow(window);
    view = NewTextView(window, kFrame);
    we = WasteCreateController(view, window, WasteOption(kWasteViewVerticalScrollbar) |
                                                 WasteOption(kWasteViewHorizantalScrollbar));
    ASSERT_NE(we, nullptr);
    WasteCallbacks(client);
    SetKeyboardFocus(window, view, kControlFocusNextPart);
  }
  void TearDown() override {
    if (window) DisposeWindow(window);
  }
  void WasteCallbacks(Recorder& r) { WasteRegisterCallbackClient(view, RecordingCallbacks(), &r); }

  void SetText(const std::string& text) {
    WEPut(0, WEGetTextLength(we), text.data(), text.size(), kCFStringEncodingUTF8, 0, 0,
          nullptr, nullptr, we);
    WECalText(we);
  }
  void Type(const std::u16string& text, UInt32 keyCode = 0, UInt32 modifiers = 0) {
    WETextInput(reinterpret_cast<const UniChar*>(text.data()), text.size(), keyCode, modifiers, we);
  }
  OSStatus Command(UInt32 id, MenuRef menu = nullptr, MenuItemIndex item = 0,
                   EventKind kind = kEventCommandProcess) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kind, 0, 0, &e);
    HICommand command{};
    command.commandID = id;
    command.attributes = menu ? UInt32(kHICommandFromMenu) : 0u;
    command.menu.menuRef = menu;
    command.menu.menuItemIndex = item;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    const OSStatus status = SendEventToEventTarget(e, HIViewGetEventTarget(view));
    ReleaseEvent(e);
    return status;
  }
  // A mouse-down at the window point, as the hosts deliver it.
  void Click(CGPoint where, UInt16 button = 1, UInt32 modifiers = 0) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
    ViewHandleMouseDown(window, e);
    ReleaseEvent(e);
  }
  LongRect ViewRect() {
    LongRect r{};
    WEGetViewRect(&r, we);
    return r;
  }
  LongRect DestRect() {
    LongRect r{};
    WEGetDestRect(&r, we);
    return r;
  }
  ControlRef Bar(int index) {  // 1 horizontal, 2 vertical
    HIViewRef bar = nullptr;
    HIViewGetIndexedSubview(view, index, &bar);
    return bar;
  }
};
