// Windows: life cycle and the close / closed / dispose flow, order and
// activation, bounds, data, sheets, the app-modal loop and transitions.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "CFString.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "WindowInternal.h"

namespace {

using Seen = std::vector<std::pair<WindowRef, EventKind>>;

class WindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (WindowRef w = GetWindowList()) DisposeWindow(w);
  }

  WindowRef Make(WindowClass cls, WindowAttributes attrs = kWindowStandardHandlerAttribute | kWindowCloseBoxAttribute,
                 Rect bounds = Rect{100, 100, 300, 400}) {
    WindowRef w = nullptr;
    EXPECT_EQ(CreateNewWindow(cls, attrs, &bounds, &w), noErr);
    return w;
  }

  // Records the window events the window hears; answers close with `takeClose`.
  void Watch(WindowRef w, bool takeClose = false) {
    static const EventTypeSpec kTypes[] = {
        {kEventClassWindow, kEventWindowClose},     {kEventClassWindow, kEventWindowClosed},
        {kEventClassWindow, kEventWindowDispose},   {kEventClassWindow, kEventWindowActivated},
        {kEventClassWindow, kEventWindowDeactivated}, {kEventClassWindow, kEventWindowShown},
        {kEventClassWindow, kEventWindowHidden},
    };
    auto* ctx = new std::pair<Seen*, bool>(&seen_, takeClose);
    contexts_.emplace_back(ctx);
    ASSERT_EQ(InstallWindowEventHandler(w, Record, std::size(kTypes), kTypes, ctx, nullptr), noErr);
  }

  static OSStatus Record(EventHandlerCallRef, EventRef e, void* data) {
    auto* ctx = static_cast<std::pair<Seen*, bool>*>(data);
    WindowRef w = nullptr;
    GetEventParameter(e, kEventParamDirectObject, typeWindowRef, nullptr, sizeof w, nullptr, &w);
    ctx->first->push_back({w, GetEventKind(e)});
    return GetEventKind(e) == kEventWindowClose && ctx->second ? noErr : eventNotHandledErr;
  }

  std::vector<EventKind> KindsFor(WindowRef w) const {
    std::vector<EventKind> kinds;
    for (auto& [win, kind] : seen_)
      if (win == w) kinds.push_back(kind);
    return kinds;
  }

  Seen seen_;
  std::vector<std::unique_ptr<std::pair<Seen*, bool>>> contexts_;
};

OSStatus SendCommand(EventTargetRef target, UInt32 commandID) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  HICommand command{0, commandID, {nullptr, 0}};
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  OSStatus st = SendEventToEventTarget(e, target);
  ReleaseEvent(e);
  return st;
}

TEST_F(WindowsTest, CloseNobodyTakesDisposesWithClosedThenDispose) {
  WindowRef w = Make(kDocumentWindowClass);
  Watch(w);
  EXPECT_EQ(HIWindowClose(w), noErr);
  EXPECT_FALSE(IsValidWindowPtr(w));
  EXPECT_EQ(KindsFor(w), (std::vector<EventKind>{kEventWindowClose, kEventWindowClosed, kEventWindowDispose}));
  EXPECT_EQ(GetWindowList(), nullptr);
}

TEST_F(WindowsTest, CloseTakenByAHandlerKeepsTheWindowUntilReleased) {
  WindowRef w = Make(kDocumentWindowClass);
  Watch(w, /*takeClose=*/true);
  EXPECT_EQ(HIWindowClose(w), noErr);
  EXPECT_TRUE(IsValidWindowPtr(w));
  EXPECT_EQ(KindsFor(w), std::vector<EventKind>{kEventWindowClose});
  // A reference held elsewhere keeps the record; the last one ends the window.
  EXPECT_EQ(RetainWindow(w), noErr);
  EXPECT_EQ(GetWindowRetainCount(w), 2u);
  EXPECT_EQ(ReleaseWindow(w), noErr);
  EXPECT_TRUE(IsValidWindowPtr(w));
  EXPECT_EQ(ReleaseWindow(w), noErr);
  EXPECT_FALSE(IsValidWindowPtr(w));
  EXPECT_EQ(KindsFor(w), (std::vector<EventKind>{kEventWindowClose, kEventWindowClosed, kEventWindowDispose}));
  EXPECT_EQ(ReleaseWindow(w), errInvalidWindowRef);
}

TEST_F(WindowsTest, CloseHandlerThatReleasesTheWindowEndsItAtOnce) {
  WindowRef w = Make(kDocumentWindowClass);
  Watch(w);
  static bool goneInside = false;
  EventTypeSpec spec{kEventClassWindow, kEventWindowClose};
  InstallWindowEventHandler(
      w,
      [](EventHandlerCallRef, EventRef, void* d) -> OSStatus {
        ReleaseWindow(static_cast<WindowRef>(d));
        goneInside = !IsValidWindowPtr(static_cast<WindowRef>(d));
        return noErr;
      },
      1, &spec, w, nullptr);
  EXPECT_EQ(HIWindowClose(w), noErr);
  EXPECT_TRUE(goneInside);
  // The close's own dispatch stopped with the window: the watcher installed
  // first never saw the close, but saw the window go.
  EXPECT_EQ(KindsFor(w), (std::vector<EventKind>{kEventWindowClosed, kEventWindowDispose}));
}

TEST_F(WindowsTest, WithoutStandardHandlerCloseDoesNothing) {
  WindowRef w = Make(kDocumentWindowClass, kWindowCloseBoxAttribute);
  EXPECT_EQ(HIWindowClose(w), eventNotHandledErr);
  EXPECT_TRUE(IsValidWindowPtr(w));
  // Installed later, the standard handler takes over.
  EXPECT_EQ(InstallStandardEventHandler(GetWindowEventTarget(w)), noErr);
  EXPECT_EQ(HIWindowClose(w), noErr);
  EXPECT_FALSE(IsValidWindowPtr(w));
}

TEST_F(WindowsTest, CloseCommandClosesWindowsWithACloseBoxOnly) {
  WindowRef closable = Make(kDocumentWindowClass);
  WindowRef fixed = Make(kDocumentWindowClass, kWindowStandardHandlerAttribute);
  Watch(closable);
  EXPECT_EQ(SendCommand(GetWindowEventTarget(fixed), kHICommandClose), eventNotHandledErr);
  EXPECT_TRUE(IsValidWindowPtr(fixed));
  EXPECT_EQ(SendCommand(GetWindowEventTarget(closable), kHICommandClose), noErr);
  EXPECT_FALSE(IsValidWindowPtr(closable));
  EXPECT_EQ(KindsFor(closable).front(), kEventWindowClose);
}

TEST_F(WindowsTest, WindowEventsClimbToTheApplication) {
  WindowRef w = Make(kDocumentWindowClass, 0);
  int heard = 0;
  EventTypeSpec spec{kEventClassCommand, kEventCommandProcess};
  EventHandlerRef ref = nullptr;
  InstallApplicationEventHandler(
      [](EventHandlerCallRef, EventRef, void* d) -> OSStatus {
        ++*static_cast<int*>(d);
        return noErr;
      },
      1, &spec, &heard, &ref);
  EXPECT_EQ(SendCommand(GetWindowEventTarget(w), 'abcd'), noErr);
  EXPECT_EQ(heard, 1);
  RemoveEventHandler(ref);
}

TEST_F(WindowsTest, DisposedWindowRefusesEveryCall) {
  WindowRef w = Make(kDocumentWindowClass);
  DisposeWindow(w);
  Rect r;
  EXPECT_EQ(GetWindowBounds(w, kWindowContentRgn, &r), errInvalidWindowRef);
  EXPECT_EQ(SetWindowProperty(w, 'test', 'tag ', 1, "x"), errInvalidWindowRef);
  EXPECT_EQ(GetWindowEventTarget(w), nullptr);
  EXPECT_EQ(HIViewGetRoot(w), nullptr);
  ShowWindow(w);  // ignored
  DisposeWindow(w);
  Rect bad{10, 10, 5, 5};
  WindowRef out = reinterpret_cast<WindowRef>(1);
  EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &bad, &out), paramErr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CreateNewWindow(99, 0, &r, &out), errUnrecognizedWindowClass);
}

TEST_F(WindowsTest, OrderLayersAndActivation) {
  WindowRef a = Make(kDocumentWindowClass);
  WindowRef b = Make(kDocumentWindowClass);
  WindowRef palette = Make(kFloatingWindowClass);
  Watch(a);
  Watch(b);
  // New windows start at the front of their layer, hidden.
  EXPECT_EQ(GetWindowList(), palette);
  EXPECT_EQ(GetNextWindow(palette), b);
  EXPECT_EQ(GetNextWindow(b), a);
  EXPECT_EQ(FrontWindow(), nullptr);

  ShowWindow(a);
  EXPECT_TRUE(IsWindowActive(a));
  ShowWindow(b);
  ShowWindow(palette);
  EXPECT_TRUE(IsWindowActive(b));
  EXPECT_FALSE(IsWindowActive(a));
  EXPECT_TRUE(IsWindowActive(palette));  // floating windows look active while shown
  EXPECT_EQ(FrontWindow(), palette);
  EXPECT_EQ(FrontNonFloatingWindow(), b);
  EXPECT_EQ(ActiveNonFloatingWindow(), b);
  EXPECT_EQ(GetUserFocusWindow(), b);

  seen_.clear();
  SelectWindow(a);
  EXPECT_EQ(FrontNonFloatingWindow(), a);
  EXPECT_EQ(GetWindowList(), palette);  // the floating layer stays in front
  EXPECT_EQ(seen_, (Seen{{b, kEventWindowDeactivated}, {a, kEventWindowActivated}}));

  seen_.clear();
  HideWindow(a);
  EXPECT_EQ(ActiveNonFloatingWindow(), b);
  EXPECT_EQ(seen_, (Seen{{a, kEventWindowDeactivated}, {b, kEventWindowActivated}, {a, kEventWindowHidden}}));

  ShowWindow(a);  // hidden, it kept its place in front: shown, it is active again
  EXPECT_EQ(ActiveNonFloatingWindow(), a);
  SendBehind(a, nullptr);
  EXPECT_EQ(FrontNonFloatingWindow(), b);
  EXPECT_EQ(ActiveNonFloatingWindow(), b);
  EXPECT_EQ(GetFrontWindowOfClass(kDocumentWindowClass, true), b);
  EXPECT_EQ(GetNextWindowOfClass(b, kDocumentWindowClass, true), a);
  EXPECT_EQ(GetFrontWindowOfClass(kFloatingWindowClass, true), palette);

  // Disposing the active window hands activation to the next one.
  DisposeWindow(b);
  EXPECT_EQ(ActiveNonFloatingWindow(), a);
}

TEST_F(WindowsTest, ActivationReachesTheRootView) {
  WindowRef a = Make(kDocumentWindowClass);
  WindowRef b = Make(kDocumentWindowClass);
  ShowWindow(a);
  EXPECT_TRUE(HIViewIsActive(HIViewGetRoot(a), nullptr));
  ShowWindow(b);
  EXPECT_FALSE(HIViewIsActive(HIViewGetRoot(a), nullptr));
  EXPECT_TRUE(HIViewIsActive(HIViewGetRoot(b), nullptr));
}

TEST_F(WindowsTest, BoundsStructureContentAndPlacement) {
  WindowRef w = Make(kDocumentWindowClass);
  Rect r;
  ASSERT_EQ(GetWindowBounds(w, kWindowContentRgn, &r), noErr);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(r.right, 400);
  ASSERT_EQ(GetWindowBounds(w, kWindowStructureRgn, &r), noErr);
  EXPECT_EQ(r.top, 78);  // a document title bar above the content
  EXPECT_EQ(r.bottom, 300);

  UInt32 attributes = 0;
  Rect current{};
  EventTypeSpec spec{kEventClassWindow, kEventWindowBoundsChanged};
  std::pair<UInt32*, Rect*> out{&attributes, &current};
  InstallWindowEventHandler(
      w,
      [](EventHandlerCallRef, EventRef e, void* d) -> OSStatus {
        auto* o = static_cast<std::pair<UInt32*, Rect*>*>(d);
        GetEventParameter(e, kEventParamAttributes, typeUInt32, nullptr, 4, nullptr, o->first);
        GetEventParameter(e, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof(Rect), nullptr, o->second);
        return noErr;
      },
      1, &spec, &out, nullptr);

  Rect structure{50, 20, 250, 220};
  ASSERT_EQ(SetWindowBounds(w, kWindowStructureRgn, &structure), noErr);
  EXPECT_EQ(attributes, UInt32(kWindowBoundsChangeOriginChanged | kWindowBoundsChangeSizeChanged));
  EXPECT_EQ(current.top, 72);
  EXPECT_EQ(current.left, 20);
  GetWindowPortBounds(w, &r);
  EXPECT_EQ(r.bottom, 178);
  EXPECT_EQ(r.right, 200);
  HIRect frame;
  HIViewGetFrame(HIViewGetRoot(w), &frame);
  EXPECT_EQ(frame.size.width, 200);
  EXPECT_EQ(frame.size.height, 178);

  SizeWindow(w, 300, 200, true);
  EXPECT_EQ(attributes, UInt32(kWindowBoundsChangeSizeChanged));
  MoveWindow(w, 0, 30, false);
  EXPECT_EQ(attributes, UInt32(kWindowBoundsChangeOriginChanged));

  // Centred on the screen that the menu bar leaves.
  Rect area;
  GetAvailableWindowPositioningBounds(nullptr, &area);
  EXPECT_EQ(area.top, 22);
  EXPECT_EQ(area.right, 1440);
  EXPECT_EQ(area.bottom, 900);
  ASSERT_EQ(RepositionWindow(w, nullptr, kWindowCenterOnMainScreen), noErr);
  GetWindowBounds(w, kWindowStructureRgn, &r);
  EXPECT_EQ(r.left, (1440 - 300) / 2);
  EXPECT_EQ(r.top, 22 + (878 - 222) / 2);

  // Becoming a sheet without a title bar keeps the structure where it was.
  GetWindowBounds(w, kWindowStructureRgn, &structure);
  ChangeWindowAttributes(w, kWindowNoTitleBarAttribute, 0);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_EQ(r.top, structure.top);
  EXPECT_EQ(ChangeWindowAttributes(w, kWindowCloseBoxAttribute, kWindowCloseBoxAttribute),
            windowAttributesConflictErr);
}

TEST_F(WindowsTest, PropertiesReferenceConstantKindTitleProxy) {
  WindowRef w = Make(kDocumentWindowClass);
  const UInt32 value = 0xDEADBEEF;
  ASSERT_EQ(SetWindowProperty(w, 'WIND', 'docL', sizeof value, &value), noErr);
  ByteCount size = 0;
  EXPECT_EQ(GetWindowPropertySize(w, 'WIND', 'docL', &size), noErr);
  EXPECT_EQ(size, 4u);
  UInt8 small[2] = {7, 7};
  EXPECT_EQ(GetWindowProperty(w, 'WIND', 'docL', sizeof small, nullptr, small), errInvalidWindowProperty);
  EXPECT_EQ(small[0], 7);
  UInt32 read = 0;
  EXPECT_EQ(GetWindowProperty(w, 'WIND', 'docL', sizeof read, &size, &read), noErr);
  EXPECT_EQ(read, value);
  EXPECT_EQ(GetWindowProperty(w, 'WIND', 'pane', sizeof read, &size, &read), errWindowPropertyNotFound);
  EXPECT_EQ(RemoveWindowProperty(w, 'WIND', 'docL'), noErr);
  EXPECT_EQ(RemoveWindowProperty(w, 'WIND', 'docL'), errWindowPropertyNotFound);

  int object = 0;
  SetWRefCon(w, reinterpret_cast<SRefCon>(&object));  // pointer-sized
  EXPECT_EQ(GetWRefCon(w), reinterpret_cast<SRefCon>(&object));
  SetWindowKind(w, 1000);
  EXPECT_EQ(GetWindowKind(w), 1000);

  CFStringRef title = CFStringCreateWithCString(nullptr, "Räksmörgås", kCFStringEncodingUTF8);
  SetWindowTitleWithCFString(w, title);
  CFStringRef copy = nullptr;
  ASSERT_EQ(CopyWindowTitleAsCFString(w, &copy), noErr);
  EXPECT_TRUE(CFEqual(copy, title));
  CFRelease(copy);
  CFRelease(title);

  EXPECT_FALSE(IsWindowModified(w));
  SetWindowModified(w, true);
  EXPECT_TRUE(IsWindowModified(w));

  FSRef ref{};
  EXPECT_EQ(GetWindowProxyFSRef(w, &ref), errWindowDoesNotHaveProxy);
  std::memset(&ref, 0x5A, sizeof ref);
  SetWindowProxyFSRef(w, &ref);
  FSRef back{};
  EXPECT_EQ(GetWindowProxyFSRef(w, &back), noErr);
  EXPECT_EQ(std::memcmp(&ref, &back, sizeof ref), 0);
  RemoveWindowProxy(w);
  EXPECT_EQ(GetWindowProxyFSRef(w, &back), errWindowDoesNotHaveProxy);
}

TEST_F(WindowsTest, SheetsAttachToTheirParentOneAtATime) {
  WindowRef parent = Make(kDocumentWindowClass, kWindowStandardHandlerAttribute, Rect{100, 100, 500, 700});
  WindowRef sheet = Make(kMovableModalWindowClass, 0, Rect{0, 0, 100, 200});
  WindowRef other = Make(kSheetWindowClass, 0);
  ShowWindow(parent);
  ASSERT_EQ(ShowSheetWindow(sheet, parent), noErr);
  WindowClass cls = 0;
  GetWindowClass(sheet, &cls);
  EXPECT_EQ(cls, kSheetWindowClass);
  EXPECT_TRUE(IsWindowSheet(sheet));
  EXPECT_TRUE(IsWindowVisible(sheet));
  WindowRef p = nullptr;
  EXPECT_EQ(GetSheetWindowParent(sheet, &p), noErr);
  EXPECT_EQ(p, parent);
  EXPECT_EQ(ActiveNonFloatingWindow(), sheet);
  Rect r;
  GetWindowBounds(sheet, kWindowContentRgn, &r);
  EXPECT_EQ(r.top, 100);        // on the parent's top edge
  EXPECT_EQ(r.left, 100 + 200);  // centred on it
  EXPECT_EQ(ShowSheetWindow(other, parent), windowWrongStateErr);

  SelectWindow(parent);  // goes to the sheet
  EXPECT_EQ(ActiveNonFloatingWindow(), sheet);

  ASSERT_EQ(HideSheetWindow(sheet), noErr);
  EXPECT_FALSE(IsWindowSheet(sheet));
  EXPECT_EQ(ActiveNonFloatingWindow(), parent);
  EXPECT_EQ(HideSheetWindow(sheet), windowWrongStateErr);

  // A parent takes its shown sheet with it.
  ASSERT_EQ(ShowSheetWindow(other, parent), noErr);
  DisposeWindow(parent);
  EXPECT_FALSE(IsValidWindowPtr(other));
}

TEST_F(WindowsTest, AppModalLoopEndsFromATimerOnTheVirtualClock) {
  HeadlessUseVirtualClock(true);
  WindowRef dialog = Make(kMovableModalWindowClass, 0);
  const EventTime start = GetCurrentEventTime();
  EventLoopTimerRef timer = nullptr;
  ASSERT_EQ(InstallEventLoopTimer(
                GetMainEventLoop(), 2.0, 0,
                [](EventLoopTimerRef, void* d) {
                  WindowModality modality = 0;
                  GetWindowModality(static_cast<WindowRef>(d), &modality, nullptr);
                  EXPECT_EQ(modality, kWindowModalityAppModal);
                  EXPECT_EQ(QuitAppModalLoopForWindow(static_cast<WindowRef>(d)), noErr);
                },
                dialog, &timer),
            noErr);
  EXPECT_EQ(RunAppModalLoopForWindow(dialog), noErr);
  EXPECT_DOUBLE_EQ(GetCurrentEventTime() - start, 2.0);
  EXPECT_TRUE(IsWindowVisible(dialog));
  WindowModality modality = 99;
  GetWindowModality(dialog, &modality, nullptr);
  EXPECT_EQ(modality, kWindowModalityNone);
  EXPECT_EQ(QuitAppModalLoopForWindow(dialog), windowNoAppModalStateErr);
  RemoveEventLoopTimer(timer);
  HeadlessUseVirtualClock(false);
}

TEST_F(WindowsTest, DisposingTheWindowEndsItsModalRun) {
  HeadlessUseVirtualClock(true);
  WindowRef dialog = Make(kMovableModalWindowClass, 0);
  EventLoopTimerRef timer = nullptr;
  InstallEventLoopTimer(
      GetMainEventLoop(), 1.0, 0, [](EventLoopTimerRef, void* d) { DisposeWindow(static_cast<WindowRef>(d)); },
      dialog, &timer);
  EXPECT_EQ(RunAppModalLoopForWindow(dialog), noErr);
  EXPECT_FALSE(IsValidWindowPtr(dialog));
  RemoveEventLoopTimer(timer);
  HeadlessUseVirtualClock(false);
}

TEST_F(WindowsTest, TransitionsReachTheirEndState) {
  WindowRef w = Make(kDocumentWindowClass);
  TransitionWindowOptions options{0, 1.0 / 6, w, nullptr};
  EXPECT_EQ(TransitionWindowWithOptions(w, kWindowFadeTransitionEffect, kWindowShowTransitionAction, nullptr, false,
                                        &options),
            noErr);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(TransitionWindowWithOptions(w, kWindowFadeTransitionEffect, kWindowHideTransitionAction, nullptr, false,
                                        &options),
            noErr);
  EXPECT_FALSE(IsWindowVisible(w));
  Rect grown{50, 50, 450, 650};
  EXPECT_EQ(TransitionWindow(w, kWindowSlideTransitionEffect, kWindowResizeTransitionAction, &grown), noErr);
  Rect r;
  GetWindowBounds(w, kWindowStructureRgn, &r);
  EXPECT_EQ(std::memcmp(&r, &grown, sizeof r), 0);
  // Shown, as a preference window resizing to its next pane is: at once.
  ShowWindow(w);
  Rect shrunk{50, 50, 250, 650};
  EXPECT_EQ(TransitionWindow(w, kWindowSlideTransitionEffect, kWindowResizeTransitionAction, &shrunk), noErr);
  GetWindowBounds(w, kWindowStructureRgn, &r);
  EXPECT_EQ(std::memcmp(&r, &shrunk, sizeof r), 0);
  EXPECT_EQ(TransitionWindow(w, kWindowSlideTransitionEffect, kWindowResizeTransitionAction, nullptr), paramErr);
}

TEST_F(WindowsTest, ZoomTogglesBetweenIdealAndUserState) {
  WindowRef w = Make(kDocumentWindowClass, kWindowStandardHandlerAttribute | kWindowFullZoomAttribute);
  EventTypeSpec spec{kEventClassWindow, kEventWindowGetIdealSize};
  InstallWindowEventHandler(
      w,
      [](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        Point ideal{500, 640};  // v height, h width
        SetEventParameter(e, kEventParamDimensions, typeQDPoint, sizeof ideal, &ideal);
        return noErr;
      },
      1, &spec, nullptr, nullptr);
  Rect before, r;
  GetWindowBounds(w, kWindowContentRgn, &before);
  EXPECT_EQ(SendCommand(GetWindowEventTarget(w), kHICommandZoomWindow), noErr);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_EQ(r.right - r.left, 640);
  EXPECT_EQ(r.bottom - r.top, 500);
  SendCommand(GetWindowEventTarget(w), kHICommandZoomWindow);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST_F(WindowsTest, PortConvertsBetweenLocalAndGlobal) {
  WindowRef w = Make(kDocumentWindowClass);
  SetPortWindowPort(w);
  Point p{5, 7};
  LocalToGlobal(&p);
  EXPECT_EQ(p.v, 105);
  EXPECT_EQ(p.h, 107);
  GlobalToLocal(&p);
  EXPECT_EQ(p.v, 5);
  EXPECT_EQ(GetWindowPort(w), w);
  DisposeWindow(w);
  GrafPtr port = reinterpret_cast<GrafPtr>(1);
  GetPort(&port);
  EXPECT_EQ(port, nullptr);  // a disposed window is no port
}

}  // namespace

// Keys nothing else took: Return and Enter press the window's default
// button, Escape its cancel button; other keys, keys with Ctrl and windows
// without such a button pass on. A modal dialog shown takes what is typed.
TEST_F(WindowsTest, ReturnAndEscapePressTheDialogsMarkedButtons) {
  WindowRef w = Make(kMovableModalWindowClass);
  Rect r1{10, 10, 30, 90}, r2{10, 100, 30, 180};
  ControlRef ok = nullptr, cancel = nullptr;
  ASSERT_EQ(CreatePushButtonControl(w, &r1, CFStringMakeConstantUTF8("OK"), &ok), noErr);
  ASSERT_EQ(CreatePushButtonControl(w, &r2, CFStringMakeConstantUTF8("Cancel"), &cancel), noErr);
  HIViewSetCommandID(ok, 'ok  ');
  HIViewSetCommandID(cancel, 'not!');
  static std::vector<UInt32> commands;
  commands.clear();
  static const EventTypeSpec kCommand[] = {{kEventClassCommand, kEventCommandProcess}};
  InstallWindowEventHandler(
      w,
      [](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        HICommand c{};
        GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof c, nullptr, &c);
        commands.push_back(c.commandID);
        return noErr;
      },
      1, kCommand, nullptr, nullptr);
  auto press = [&](UInt32 code, UInt32 modifiers = 0) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    const OSStatus st = SendEventToEventTarget(e, GetWindowEventTarget(w));
    ReleaseEvent(e);
    return st;
  };
  EXPECT_EQ(press(36), eventNotHandledErr);  // nothing marked yet
  const Boolean on = true;
  SetControlData(ok, kControlEntireControl, kControlPushButtonDefaultTag, sizeof on, &on);
  SetControlData(cancel, kControlEntireControl, kControlPushButtonCancelTag, sizeof on, &on);
  EXPECT_EQ(press(36), noErr);
  EXPECT_EQ(press(76), noErr);
  EXPECT_EQ(press(53), noErr);
  EXPECT_EQ(press(36, 1u << 8), eventNotHandledErr);  // Ctrl+Return is someone else's
  EXPECT_EQ(press(0), eventNotHandledErr);
  DisableControl(ok);
  EXPECT_EQ(press(36), eventNotHandledErr);  // a disabled default button is not pressed
  EXPECT_EQ(commands, (std::vector<UInt32>{'ok  ', 'ok  ', 'not!'}));

  // A document window active behind the shown dialog types into the dialog.
  WindowRef document = Make(kDocumentWindowClass);
  ShowWindow(w);
  ShowWindow(document);
  SelectWindow(document);
  EXPECT_EQ(GetUserFocusEventTarget(), GetWindowEventTarget(w));
  HideWindow(w);
  EXPECT_EQ(GetUserFocusEventTarget(), GetWindowEventTarget(document));
  DisposeWindow(document);
  DisposeWindow(w);
}
