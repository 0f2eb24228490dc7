// The standard controls: kinds, behaviour on a click, control data, typing
// into an edit text, scroll bars, sliders, pop-up menus, segmented views.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "HIScrollView.h"
#include "HIView.h"
#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#include "Files.h"
#include "Icons.h"
#include "MenuInternal.h"
#include "Menus.h"
#include "ViewInternal.h"

namespace {

CFStringRef Str(const char* s) { return CFStringMakeConstantUTF8(s); }

std::string Utf8(CFStringRef s) {
  char buf[256] = {};
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

struct TestWindow {
  WindowRef window;
  EventTargetRef target;
  HIViewRef root;
  explicit TestWindow(uintptr_t id) {
    window = reinterpret_cast<WindowRef>(id);
    target = EventTargetCreate(window, nullptr);
    root = ViewCreateRoot(window, target, CGSize{400, 300});
  }
  ~TestWindow() {
    ViewDisposeRoot(root);
    EventTargetDispose(target);
  }
};

// A press at the point and a release at another, in window coordinates.
ControlPartCode Click(ControlRef control, CGPoint down, CGPoint up) {
  ViewClearTrackEvents();
  ViewQueueTrackEvent(ViewTrackEvent{true, up, 0});
  return HandleControlClick(control, Point{SInt16(down.y), SInt16(down.x)}, 0, nullptr);
}

void Type(ControlRef control, const std::u16string& text) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, text.size() * 2, text.data());
  SendEventToEventTarget(e, GetControlEventTarget(control));
  ReleaseEvent(e);
}

TEST(ControlsTest, CreationGivesTheStandardKinds) {
  Rect r = {0, 0, 20, 100};
  ControlRef c = nullptr;
  auto check = [&](OSType kind, OSStatus status) {
    ASSERT_EQ(noErr, status);
    ControlKind k{};
    ASSERT_EQ(noErr, GetControlKind(c, &k));
    EXPECT_EQ(OSType(kControlKindSignatureApple), k.signature);
    EXPECT_EQ(kind, k.kind);
    CFRelease(c);
  };
  check(kControlKindPushButton, CreatePushButtonControl(nullptr, &r, Str("a"), &c));
  check(kControlKindCheckBox, CreateCheckBoxControl(nullptr, &r, Str("b"), 0, true, &c));
  check(kControlKindRadioButton, CreateRadioButtonControl(nullptr, &r, Str("c"), 0, true, &c));
  check(kControlKindRadioGroup, CreateRadioGroupControl(nullptr, &r, &c));
  check(kControlKindPopupButton, CreatePopupButtonControl(nullptr, &r, Str("d"), -12345, false, 0, 0, 0, &c));
  check(kControlKindStaticText, CreateStaticTextControl(nullptr, &r, Str("e"), nullptr, &c));
  check(kControlKindEditUnicodeText, CreateEditUnicodeTextControl(nullptr, &r, Str("f"), false, nullptr, &c));
  check(kControlKindScrollBar, CreateScrollBarControl(nullptr, &r, 0, 0, 10, 5, true, nullptr, &c));
  check(kControlKindSlider, CreateSliderControl(nullptr, &r, 0, 0, 10, 0, 0, true, nullptr, &c));
  check(kControlKindPlacard, CreatePlacardControl(nullptr, &r, &c));
  check(kControlKindGroupBox, CreateGroupBoxControl(nullptr, &r, Str("g"), true, &c));
  check(kControlKindSeparator, CreateSeparatorControl(nullptr, &r, &c));
  check(kControlKindUserPane, CreateUserPaneControl(nullptr, &r, 0, &c));
  check(kControlKindChasingArrows, CreateChasingArrowsControl(nullptr, &r, &c));
  check(kControlKindProgressBar, CreateProgressBarControl(nullptr, &r, 0, 0, 10, false, &c));
  check(kControlKindBevelButton,
        CreateBevelButtonControl(nullptr, &r, Str("h"), kControlBevelButtonNormalBevel, 0, nullptr, 0, 0, 0, &c));
  check(kControlKindHIImageView, HIImageViewCreate(nullptr, &c));
  HIRect frame = {{0, 0}, {100, 20}};
  check(kControlKindHISegmentedView, HISegmentedViewCreate(&frame, &c));

  // A window puts the control into its root view.
  TestWindow w(0x3000);
  ASSERT_EQ(noErr, CreatePushButtonControl(w.window, &r, Str("in window"), &c));
  EXPECT_EQ(w.root, HIViewGetSuperview(c));
  CFStringRef title = nullptr;
  CopyControlTitleAsCFString(c, &title);
  EXPECT_EQ("in window", Utf8(title));
  CFRelease(title);
}

TEST(ControlsTest, CheckBoxTogglesBeforeTheHitIsAnnounced) {
  TestWindow w(0x3100);
  Rect r = {0, 0, 20, 100};
  ControlRef box = nullptr, manual = nullptr;
  CreateCheckBoxControl(w.window, &r, Str("auto"), 0, true, &box);
  Rect r2 = {30, 0, 50, 100};
  CreateCheckBoxControl(w.window, &r2, Str("manual"), 0, false, &manual);
  SInt32 seen = -1;
  EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  InstallEventHandler(
      GetControlEventTarget(box),
      [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
        ControlRef c = nullptr;
        GetEventParameter(e, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
        *static_cast<SInt32*>(data) = GetControl32BitValue(c);
        return eventNotHandledErr;
      },
      1, &hit, &seen, nullptr);
  EXPECT_EQ(kControlCheckBoxPart, Click(box, {5, 5}, {6, 6}));
  EXPECT_EQ(1, seen);
  EXPECT_EQ(kControlCheckBoxPart, Click(box, {5, 5}, {6, 6}));
  EXPECT_EQ(0, GetControl32BitValue(box));
  EXPECT_EQ(kControlNoPart, Click(box, {5, 5}, {300, 6}));  // released outside
  EXPECT_EQ(0, GetControl32BitValue(box));
  Click(manual, {5, 35}, {5, 35});
  EXPECT_EQ(0, GetControl32BitValue(manual));
  // A disabled control ignores clicks.
  DisableControl(box);
  EXPECT_EQ(kControlNoPart, Click(box, {5, 5}, {6, 6}));
  EXPECT_EQ(0, GetControl32BitValue(box));
}

TEST(ControlsTest, RadioGroupSelectsTheClickedButton) {
  TestWindow w(0x3200);
  Rect gr = {0, 0, 100, 100};
  ControlRef group = nullptr;
  CreateRadioGroupControl(w.window, &gr, &group);
  ControlRef radios[3];
  for (int i = 0; i < 3; ++i) {
    Rect r = {SInt16(i * 20), 0, SInt16(i * 20 + 20), 100};
    CreateRadioButtonControl(nullptr, &r, Str("r"), 0, true, &radios[i]);
    HIViewAddSubview(group, radios[i]);
  }
  Click(radios[1], {5, 25}, {5, 25});
  EXPECT_EQ(2, GetControl32BitValue(group));
  EXPECT_EQ((std::vector<SInt32>{0, 1, 0}), (std::vector<SInt32>{GetControl32BitValue(radios[0]),
                                                                  GetControl32BitValue(radios[1]),
                                                                  GetControl32BitValue(radios[2])}));
  Click(radios[2], {5, 45}, {5, 45});
  EXPECT_EQ(3, GetControl32BitValue(group));
  EXPECT_EQ(0, GetControl32BitValue(radios[1]));

  // A value set by code moves the selection too.
  SetControl32BitValue(group, 1);
  EXPECT_EQ((std::vector<SInt32>{1, 0, 0}), (std::vector<SInt32>{GetControl32BitValue(radios[0]),
                                                                  GetControl32BitValue(radios[1]),
                                                                  GetControl32BitValue(radios[2])}));
  SetControl32BitValue(group, 0);
  EXPECT_EQ(0, GetControl32BitValue(radios[0]));
}

// Tab in a field moves the focus to the window's next field, past controls
// that take no focus, and selects its text; Shift+Tab goes back; the text of
// neither field changes.
TEST(ControlsTest, TabMovesThroughTheFieldsInOrder) {
  TestWindow w(0x3310);
  Rect r = {0, 0, 20, 200};
  ControlRef title = nullptr, box = nullptr, address = nullptr;
  CreateEditUnicodeTextControl(w.window, &r, Str("Home"), false, nullptr, &title);
  CreateCheckBoxControl(w.window, &r, Str("Open inside"), 0, true, &box);
  CreateEditUnicodeTextControl(w.window, &r, Str("http://localhost/"), false, nullptr, &address);
  auto focused = [&] {
    ControlRef focus = nullptr;
    GetKeyboardFocus(w.window, &focus);
    return focus;
  };
  auto selection = [](ControlRef c) {
    ControlEditTextSelectionRec sel{};
    GetControlData(c, 0, kControlEditTextSelectionTag, sizeof sel, &sel, nullptr);
    return std::pair<int, int>{sel.selStart, sel.selEnd};
  };
  auto shiftTab = [](ControlRef c) {
    EventRef key = nullptr, e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &key);
    UInt32 modifiers = 1u << 9;
    SetEventParameter(key, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
    const UniChar tab = '\t';
    SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, sizeof tab, &tab);
    SetEventParameter(e, kEventParamTextInputSendKeyboardEvent, typeEventRef, sizeof key, &key);
    SendEventToEventTarget(e, GetControlEventTarget(c));
    ReleaseEvent(e);
    ReleaseEvent(key);
  };

  ASSERT_EQ(noErr, SetKeyboardFocus(w.window, title, kControlFocusNextPart));
  Type(title, u"\t");
  EXPECT_EQ(focused(), address);
  EXPECT_EQ(selection(address), (std::pair<int, int>{0, 17}));
  Type(address, u"\t");  // past the last field: back to the first
  EXPECT_EQ(focused(), title);
  EXPECT_EQ(selection(title), (std::pair<int, int>{0, 4}));
  shiftTab(title);
  EXPECT_EQ(focused(), address);
  for (auto [c, expected] : {std::pair{title, "Home"}, std::pair{address, "http://localhost/"}}) {
    CFStringRef text = HIViewCopyText(c);
    EXPECT_EQ(Utf8(text), expected);
    CFRelease(text);
  }
}

TEST(ControlsTest, EditTextKeepsTextAndSelectionAndTakesTypingWhenFocused) {
  TestWindow w(0x3300);
  Rect r = {0, 0, 20, 200};
  ControlRef edit = nullptr;
  CreateEditUnicodeTextControl(w.window, &r, Str("hello"), false, nullptr, &edit);

  ControlEditTextSelectionRec sel = {1, 3};
  EXPECT_EQ(noErr, SetControlData(edit, kControlEditTextPart, kControlEditTextSelectionTag, sizeof sel, &sel));
  // Out of range selections are clamped to the text.
  ControlEditTextSelectionRec wide = {0, 32767};
  SetControlData(edit, 0, kControlEditTextSelectionTag, sizeof wide, &wide);
  ControlEditTextSelectionRec back{};
  Size actual = 0;
  EXPECT_EQ(noErr, GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof back, &back, &actual));
  EXPECT_EQ(Size(sizeof back), actual);
  EXPECT_EQ(0, back.selStart);
  EXPECT_EQ(5, back.selEnd);
  EXPECT_EQ(paramErr, SetControlData(edit, 0, kControlEditTextSelectionTag, 1, &back));

  // Not focused: typing is not taken.
  Type(edit, u"X");
  CFStringRef text = HIViewCopyText(edit);
  EXPECT_EQ("hello", Utf8(text));
  CFRelease(text);

  ASSERT_EQ(noErr, SetKeyboardFocus(w.window, edit, kControlFocusNextPart));
  sel = {1, 5};
  SetControlData(edit, 0, kControlEditTextSelectionTag, sizeof sel, &sel);
  Type(edit, u"ow\u00e9");  // replaces "ello"
  Type(edit, u"\b");        // backspace
  CFStringRef cf = nullptr;
  ASSERT_EQ(noErr, GetControlData(edit, 0, kControlEditTextCFStringTag, sizeof cf, &cf, nullptr));
  EXPECT_EQ("how", Utf8(cf));
  CFRelease(cf);
  GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof back, &back, nullptr);
  EXPECT_EQ(3, back.selStart);
  EXPECT_EQ(3, back.selEnd);

  // Return accepts the text and passes on; select-all selects everything.
  int accepted = 0;
  EventTypeSpec acceptedSpec = {kEventClassTextField, kEventTextAccepted};
  InstallEventHandler(
      GetControlEventTarget(edit),
      [](EventHandlerCallRef, EventRef, void* data) -> OSStatus {
        ++*static_cast<int*>(data);
        return noErr;
      },
      1, &acceptedSpec, &accepted, nullptr);
  Type(edit, u"\r");
  EXPECT_EQ(1, accepted);
  HICommand selectAll = {0, kHICommandSelectAll, {nullptr, 0}};
  EventRef command = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &command);
  SetEventParameter(command, kEventParamDirectObject, typeHICommand, sizeof selectAll, &selectAll);
  EXPECT_EQ(noErr, SendEventToEventTarget(command, GetControlEventTarget(edit)));
  ReleaseEvent(command);
  GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof back, &back, nullptr);
  EXPECT_EQ(0, back.selStart);
  EXPECT_EQ(3, back.selEnd);

  // The Mac Roman text tag.
  char bytes[16] = {};
  Size size = 0;
  EXPECT_EQ(noErr, GetControlDataSize(edit, 0, kControlEditTextTextTag, &size));
  EXPECT_EQ(3, size);
  EXPECT_EQ(paramErr, GetControlData(edit, 0, kControlEditTextTextTag, 2, bytes, nullptr));
  EXPECT_EQ(noErr, GetControlData(edit, 0, kControlEditTextTextTag, sizeof bytes, bytes, nullptr));
  EXPECT_EQ(std::string("how"), std::string(bytes));
}

TEST(ControlsTest, EditTextAsksBeforeInsertingAndARefusalLeavesTheTextAlone) {
  TestWindow w(0x3310);
  Rect r = {0, 0, 20, 200};
  ControlRef edit = nullptr;
  CreateEditUnicodeTextControl(w.window, &r, Str("name"), false, nullptr, &edit);
  struct Heard {
    std::vector<std::string> texts;
    int changed = 0;
  } heard;
  const EventTypeSpec specs[] = {{kEventClassTextField, kEventTextShouldChangeInRange},
                                 {kEventClassTextField, kEventTextDidChange}};
  InstallEventHandler(
      GetControlEventTarget(edit),
      [](EventHandlerCallRef, EventRef event, void* data) -> OSStatus {
        auto* h = static_cast<Heard*>(data);
        if (GetEventKind(event) == kEventTextDidChange) {
          ++h->changed;
          return noErr;
        }
        CFStringRef insert = nullptr;
        if (GetEventParameter(event, kEventParamTextInputSendText, typeCFStringRef, nullptr, sizeof insert, nullptr,
                              &insert) != noErr)
          return eventNotHandledErr;
        std::string text = Utf8(insert);
        h->texts.push_back(text);
        return text.find(' ') != std::string::npos ? OSStatus(userCanceledErr) : OSStatus(eventNotHandledErr);
      },
      2, specs, &heard, nullptr);
  ASSERT_EQ(noErr, SetKeyboardFocus(w.window, edit, kControlFocusNextPart));
  ControlEditTextSelectionRec end = {4, 4};
  SetControlData(edit, 0, kControlEditTextSelectionTag, sizeof end, &end);
  Type(edit, u"_1");
  Type(edit, u" ");
  Type(edit, u"a b");
  Type(edit, u"\b");  // deleting asks nothing
  CFStringRef text = HIViewCopyText(edit);
  EXPECT_EQ("name_", Utf8(text));
  CFRelease(text);
  EXPECT_EQ((std::vector<std::string>{"_1", " ", "a b"}), heard.texts);
  EXPECT_EQ(2, heard.changed);
}

TEST(ControlsTest, UnknownDataTagsAreRefusedAndViewClassesAnswerTheirOwn) {
  Rect r = {0, 0, 20, 100};
  ControlRef button = nullptr;
  CreatePushButtonControl(nullptr, &r, Str("b"), &button);
  Boolean on = true;
  EXPECT_EQ(errDataNotSupported, SetControlData(button, 0, 'zzzz', sizeof on, &on));
  EXPECT_EQ(errDataNotSupported, SetControlData(button, 0, kControlEditTextSelectionTag, sizeof on, &on));
  EXPECT_EQ(noErr, SetControlData(button, 0, kControlPushButtonDefaultTag, sizeof on, &on));
  Boolean back = false;
  EXPECT_EQ(noErr, GetControlData(button, 0, kControlPushButtonDefaultTag, sizeof back, &back, nullptr));
  EXPECT_TRUE(back);
  ControlSize size = 99;
  EXPECT_EQ(noErr, GetControlData(button, 0, kControlSizeTag, sizeof size, &size, nullptr));
  EXPECT_EQ(kControlSizeNormal, size);

  EventTypeSpec get = {kEventClassControl, kEventControlGetData};
  InstallEventHandler(
      GetControlEventTarget(button),
      [](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        ResType tag = 0;
        GetEventParameter(e, kEventParamControlDataTag, typeEnumeration, nullptr, sizeof tag, nullptr, &tag);
        if (tag != 'mine') return eventNotHandledErr;
        void* buffer = nullptr;
        GetEventParameter(e, kEventParamControlDataBuffer, typePtr, nullptr, sizeof buffer, nullptr, &buffer);
        SInt32 value = 77, size = sizeof value;
        if (buffer) memcpy(buffer, &value, sizeof value);
        SetEventParameter(e, kEventParamControlDataBufferSize, typeSInt32, sizeof size, &size);
        return noErr;
      },
      1, &get, nullptr, nullptr);
  SInt32 mine = 0;
  Size actual = 0;
  EXPECT_EQ(noErr, GetControlData(button, 0, 'mine', sizeof mine, &mine, &actual));
  EXPECT_EQ(77, mine);
  EXPECT_EQ(Size(sizeof mine), actual);
  CFRelease(button);
}

TEST(ControlsTest, PopupButtonKeepsItsMenu) {
  Rect r = {0, 0, 20, 100};
  ControlRef popup = nullptr;
  CreatePopupButtonControl(nullptr, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  MenuRef menu = nullptr;
  CreateNewMenu(200, 0, &menu);
  for (const char* item : {"one", "two", "three"})
    AppendMenuItemTextWithCFString(menu, Str(item), 0, 0, nullptr);
  EXPECT_EQ(noErr, SetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu));
  EXPECT_EQ(2u, GetMenuRetainCount(menu));
  EXPECT_EQ(3, GetControl32BitMaximum(popup));
  SetControl32BitValue(popup, 2);
  MenuRef back = nullptr;
  EXPECT_EQ(noErr, GetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof back, &back, nullptr));
  EXPECT_EQ(menu, back);
  // The bevel tag belongs to bevel buttons.
  EXPECT_EQ(errDataNotSupported, GetControlData(popup, 0, kControlBevelButtonMenuRefTag, sizeof back, &back, nullptr));
  DisposeControl(popup);
  EXPECT_EQ(1u, GetMenuRetainCount(menu));
  ReleaseMenu(menu);
}

TEST(ControlsTest, PopupButtonChoosesFromItsMenu) {
  Rect r = {0, 0, 20, 100};
  ControlRef popup = nullptr;
  CreatePopupButtonControl(nullptr, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  SetControlCommandID(popup, 'popc');
  MenuRef menu = nullptr;
  CreateNewMenu(201, 0, &menu);
  for (const char* item : {"one", "two", "three"})
    AppendMenuItemTextWithCFString(menu, Str(item), 0, 0, nullptr);
  SetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu);
  SetControl32BitValue(popup, 1);

  HeadlessClearMenuChoices();
  HeadlessQueueMenuChoice(nullptr, 3);
  EXPECT_EQ(kControlMenuPart, Click(popup, {5, 5}, {5, 5}));
  EXPECT_EQ(3, GetControl32BitValue(popup));
  HeadlessQueueMenuDismiss();
  EXPECT_EQ(kControlNoPart, Click(popup, {5, 5}, {5, 5}));
  EXPECT_EQ(3, GetControl32BitValue(popup));
  EXPECT_EQ(0, GetControlHilite(popup));
  DisposeControl(popup);
  ReleaseMenu(menu);
}

// Every standard kind draws through the theme; a checked box looks different
// from an unchecked one, and a program's draw handler replaces the look.
TEST(ControlsTest, StandardKindsDrawThroughTheTheme) {
  TestWindow w(0x3600);
  std::vector<ControlRef> made;
  ControlRef c = nullptr;
  Rect r = {10, 10, 30, 150};
  CreatePushButtonControl(w.window, &r, Str("Push"), &c);
  CreateCheckBoxControl(w.window, &r, Str("Box"), 1, true, &c);
  CreateRadioButtonControl(w.window, &r, Str("Radio"), 1, true, &c);
  CreatePopupButtonControl(w.window, &r, Str("Pop"), -12345, false, 0, 0, 0, &c);
  CreateStaticTextControl(w.window, &r, Str("Static"), nullptr, &c);
  CreateEditUnicodeTextControl(w.window, &r, Str("Edit"), true, nullptr, &c);
  CreateScrollBarControl(w.window, &r, 5, 0, 10, 2, false, nullptr, &c);
  CreateSliderControl(w.window, &r, 5, 0, 10, 0, 0, false, nullptr, &c);
  CreatePlacardControl(w.window, &r, &c);
  CreateGroupBoxControl(w.window, &r, Str("Group"), true, &c);
  CreateSeparatorControl(w.window, &r, &c);
  CreateChasingArrowsControl(w.window, &r, &c);
  CreateProgressBarControl(w.window, &r, 3, 0, 10, false, &c);
  CreateDisclosureTriangleControl(w.window, &r, 0, Str("More"), 1, true, true, &c);
  CreateLittleArrowsControl(w.window, &r, 0, 0, 10, 1, &c);
  CreateBevelButtonControl(w.window, &r, Str("Bevel"), 1, 0, nullptr, 0, 0, 0, &c);

  std::vector<UInt8> pixels(160 * 40 * 4);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 160, 40, 8, 160 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  ASSERT_NE(nullptr, ctx);
  CGContextTranslateCTM(ctx, 0, 40);
  CGContextScaleCTM(ctx, 1, -1);
  auto render = [&](HIViewRef view) {
    CGContextClearRect(ctx, CGRect{{0, 0}, {160, 40}});
    CGContextSaveGState(ctx);
    HIRect f;
    HIViewGetFrame(view, &f);
    CGContextTranslateCTM(ctx, f.origin.x, f.origin.y);
    EXPECT_EQ(noErr, HIViewDrawInContext(view, ctx));
    CGContextRestoreGState(ctx);
    CGContextFlush(ctx);
    return pixels;
  };
  std::vector<std::vector<UInt8>> images;
  for (HIViewRef v = HIViewGetFirstSubview(w.root); v; v = HIViewGetNextView(v)) {
    images.push_back(render(v));
    bool painted = false;
    for (size_t i = 3; i < images.back().size(); i += 4) painted |= images.back()[i] != 0;
    ControlKind kind{};
    GetControlKind(v, &kind);
    EXPECT_TRUE(painted) << std::string(reinterpret_cast<const char*>(&kind.kind), 4);
  }
  ControlRef box = nullptr;
  HIViewGetIndexedSubview(w.root, 2, &box);
  SetControl32BitValue(box, 0);
  EXPECT_NE(images[1], render(box));

  EventTypeSpec draw = {kEventClassControl, kEventControlDraw};
  InstallEventHandler(
      GetControlEventTarget(box), [](EventHandlerCallRef, EventRef, void*) -> OSStatus { return noErr; }, 1, &draw,
      nullptr, nullptr);
  std::vector<UInt8> blank = render(box);
  EXPECT_TRUE(std::all_of(blank.begin(), blank.end(), [](UInt8 b) { return b == 0; }));
  CGContextRelease(ctx);
}

TEST(ControlsTest, ScrollBarPartsAndSliderTracking) {
  TestWindow w(0x3400);
  Rect r = {0, 0, 16, 200};  // horizontal: arrows at the ends
  ControlRef bar = nullptr;
  CreateScrollBarControl(w.window, &r, 50, 0, 100, 10, true, nullptr, &bar);
  Point left = {8, 2}, right = {8, 197};
  EXPECT_EQ(kControlUpButtonPart, TestControl(bar, left));
  EXPECT_EQ(kControlDownButtonPart, TestControl(bar, right));
  Click(bar, {20, 8}, {20, 8});  // in the track before the thumb
  EXPECT_EQ(40, GetControl32BitValue(bar));
  Click(bar, {2, 8}, {2, 8});  // the left arrow
  EXPECT_EQ(39, GetControl32BitValue(bar));

  Rect sr = {40, 0, 60, 100};
  ControlRef slider = nullptr;
  static int actions = 0;
  CreateSliderControl(w.window, &sr, 0, 0, 10, 0, 0, true,
                      [](ControlRef, ControlPartCode) { ++actions; }, &slider);
  ViewClearTrackEvents();
  ViewQueueTrackEvent(ViewTrackEvent{false, CGPoint{50, 50}, 0});
  ViewQueueTrackEvent(ViewTrackEvent{true, CGPoint{75, 50}, 0});
  EXPECT_EQ(kControlIndicatorPart, HandleControlClick(slider, Point{50, 10}, 0, nullptr));
  EXPECT_EQ(8, GetControl32BitValue(slider));  // 75 of 100 on 0..10, rounded
  EXPECT_GE(actions, 2);
}

TEST(ControlsTest, SegmentedViewSelectsAndSendsTheSegmentsCommand) {
  TestWindow w(0x3500);
  HIRect frame = {{0, 0}, {90, 20}};
  HIViewRef seg = nullptr;
  HISegmentedViewCreate(&frame, &seg);
  HIViewAddSubview(w.root, seg);
  HISegmentedViewSetSegmentCount(seg, 3);
  for (UInt32 i = 1; i <= 3; ++i) HISegmentedViewSetSegmentBehavior(seg, i, kHISegmentBehaviorRadio);
  HISegmentedViewSetSegmentCommand(seg, 2, 'segb');
  HISegmentedViewSetSegmentEnabled(seg, 3, false);
  HISegmentedViewSetSegmentLabel(seg, 1, Str("One"));
  CFStringRef label = nullptr;
  HISegmentedViewCopySegmentLabel(seg, 1, &label);
  EXPECT_EQ("One", Utf8(label));
  CFRelease(label);
  EXPECT_EQ(paramErr, HISegmentedViewSetSegmentCommand(seg, 4, 'none'));

  UInt32 command = 0;
  EventTypeSpec spec = {kEventClassCommand, kEventCommandProcess};
  InstallEventHandler(
      w.target,
      [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
        HICommandExtended c{};
        GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof c, nullptr, &c);
        *static_cast<UInt32*>(data) = c.commandID;
        return noErr;
      },
      1, &spec, &command, nullptr);
  Click(seg, {45, 10}, {45, 10});
  EXPECT_EQ(2, GetControl32BitValue(seg));
  EXPECT_EQ(1, HISegmentedViewGetSegmentValue(seg, 2));
  EXPECT_EQ(UInt32('segb'), command);
  EXPECT_EQ(kControlNoPart, Click(seg, {80, 10}, {80, 10}));  // disabled segment
  EXPECT_EQ(2, GetControl32BitValue(seg));

  // A value set by code selects its segment as a click does.
  SetControl32BitValue(seg, 1);
  EXPECT_EQ((std::vector<SInt32>{1, 0, 0}),
            (std::vector<SInt32>{HISegmentedViewGetSegmentValue(seg, 1), HISegmentedViewGetSegmentValue(seg, 2),
                                 HISegmentedViewGetSegmentValue(seg, 3)}));
  SetControl32BitValue(seg, 0);
  EXPECT_EQ(0, HISegmentedViewGetSegmentValue(seg, 1));
}

// A 16-pixel PNG, red over blue, to tell an image and its way up apart.
std::string WriteRedOverBluePNG(const char* name) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_rectangle(cr, 0, 0, 16, 8);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, 0, 8, 16, 8);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
  return path;
}

// Each segment shows its image, an icon or a picture, upright in its face.
TEST(ControlsTest, SegmentedViewDrawsEachSegmentsImage) {
  TestWindow w(0x3510);
  HIRect frame = {{0, 0}, {90, 24}};
  HIViewRef seg = nullptr;
  HISegmentedViewCreate(&frame, &seg);
  HIViewAddSubview(w.root, seg);
  HISegmentedViewSetSegmentCount(seg, 3);

  const std::string png = WriteRedOverBluePNG("segment.png");
  FSRef file{};
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(png.c_str()), &file, nullptr));
  IconRef icon = nullptr;
  ASSERT_EQ(noErr, RegisterIconRefFromFSRef('Segm', 'icon', &file, &icon));
  ControlButtonContentInfo content{};
  content.contentType = kControlContentIconRef;
  content.u.iconRef = icon;
  HISegmentedViewSetSegmentImage(seg, 1, &content);
  CGDataProviderRef source = CGDataProviderCreateWithFilename(png.c_str());
  CGImageRef picture = CGImageCreateWithPNGDataProvider(source, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(source);
  ASSERT_NE(nullptr, picture);
  content.contentType = kControlContentCGImageRef;
  content.u.imageRef = picture;
  HISegmentedViewSetSegmentImage(seg, 2, &content);

  std::vector<UInt8> pixels(90 * 24 * 4);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(pixels.data(), 90, 24, 8, 90 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextTranslateCTM(ctx, 0, 24);
  CGContextScaleCTM(ctx, 1, -1);
  EXPECT_EQ(noErr, HIViewDrawInContext(seg, ctx));
  CGContextFlush(ctx);
  auto at = [&](int x, int y) { return &pixels[(size_t(y) * 90 + x) * 4]; };
  auto red = [&](int x, int y) { return at(x, y)[0] > 200 && at(x, y)[2] < 60; };
  auto blue = [&](int x, int y) { return at(x, y)[2] > 200 && at(x, y)[0] < 60; };
  // Segments are 30 wide; the third has no image.
  for (int middle : {15, 45}) {
    SCOPED_TRACE(middle);
    EXPECT_TRUE(red(middle, 8));
    EXPECT_TRUE(blue(middle, 15));
  }
  EXPECT_FALSE(red(75, 8) || blue(75, 15));
  CGContextRelease(ctx);
  ReleaseIconRef(icon);
  CGImageRelease(picture);
}

// The scroll view sizes its bars from what the scrollable view reports and
// moves it when a bar is used or the wheel turns.
TEST(ControlsTest, ScrollViewKeepsBarsAndContentInStep) {
  struct Content {
    CGPoint origin{0, 0};
    HIViewRef view = nullptr;
  } content;
  HIRect none = {{0, 0}, {1, 1}};
  HIViewCreate(&none, &content.view);
  EventTypeSpec types[] = {{kEventClassScrollable, kEventScrollableGetInfo},
                           {kEventClassScrollable, kEventScrollableScrollTo}};
  InstallEventHandler(
      HIViewGetEventTarget(content.view),
      [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
        auto* c = static_cast<Content*>(data);
        if (GetEventKind(e) == kEventScrollableScrollTo) {
          GetEventParameter(e, kEventParamOrigin, typeHIPoint, nullptr, sizeof c->origin, nullptr, &c->origin);
          return noErr;
        }
        HIRect bounds;
        HIViewGetBounds(c->view, &bounds);
        HISize image = {1000, 2000}, line = {10, 20};
        SetEventParameter(e, kEventParamImageSize, typeHISize, sizeof image, &image);
        SetEventParameter(e, kEventParamViewSize, typeHISize, sizeof bounds.size, &bounds.size);
        SetEventParameter(e, kEventParamLineSize, typeHISize, sizeof line, &line);
        SetEventParameter(e, kEventParamOrigin, typeHIPoint, sizeof c->origin, &c->origin);
        return noErr;
      },
      2, types, &content, nullptr);

  TestWindow w(0x3700);
  HIViewRef scroll = nullptr;
  ASSERT_EQ(paramErr, HIScrollViewCreate(0x100, &scroll));
  ASSERT_EQ(noErr, HIScrollViewCreate(kHIScrollViewOptionsVertScroll | kHIScrollViewOptionsHorizScroll, &scroll));
  HIViewAddSubview(w.root, scroll);
  HIRect frame = {{0, 0}, {215, 115}};
  HIViewSetFrame(scroll, &frame);
  HIViewAddSubview(scroll, content.view);

  HIViewRef vertical = nullptr, horizontal = nullptr;
  HIViewGetIndexedSubview(scroll, 1, &vertical);
  HIViewGetIndexedSubview(scroll, 2, &horizontal);
  HIRect f;
  HIViewGetFrame(content.view, &f);
  EXPECT_DOUBLE_EQ(200, f.size.width);
  EXPECT_DOUBLE_EQ(100, f.size.height);
  EXPECT_EQ(1900, GetControl32BitMaximum(vertical));
  EXPECT_EQ(800, GetControl32BitMaximum(horizontal));
  EXPECT_EQ(100, GetControlViewSize(vertical));

  // The down arrow of the vertical bar steps one line.
  HIViewGetFrame(vertical, &f);
  Click(vertical, {f.origin.x + 5, f.origin.y + f.size.height - 3}, {f.origin.x + 5, f.origin.y + f.size.height - 3});
  EXPECT_DOUBLE_EQ(20, content.origin.y);
  EXPECT_EQ(20, GetControl32BitValue(vertical));

  // The content scrolled by itself and says so.
  auto tellChanged = [&] {
    EventRef changed = nullptr;
    CreateEvent(nullptr, kEventClassScrollable, kEventScrollableInfoChanged, 0, 0, &changed);
    SendEventToEventTarget(changed, HIViewGetEventTarget(scroll));
    ReleaseEvent(changed);
  };
  content.origin = {300, 500};
  tellChanged();
  EXPECT_EQ(500, GetControl32BitValue(vertical));
  EXPECT_EQ(300, GetControl32BitValue(horizontal));

  EXPECT_EQ(noErr, HIScrollViewNavigate(scroll, kHIScrollViewScrollToBottom));
  EXPECT_DOUBLE_EQ(1900, content.origin.y);
  EXPECT_FALSE(HIScrollViewCanNavigate(scroll, kHIScrollViewPageDown));

  // The wheel scrolls three lines a step, and never past the top.
  EventRef wheel = nullptr;
  CreateEvent(nullptr, kEventClassMouse, kEventMouseWheelMoved, 0, 0, &wheel);
  UInt16 axis = 1;
  SInt32 delta = 1;
  SetEventParameter(wheel, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof axis, &axis);
  SetEventParameter(wheel, kEventParamMouseWheelDelta, typeSInt32, sizeof delta, &delta);
  SendEventToEventTarget(wheel, HIViewGetEventTarget(content.view));  // climbs to the scroll view
  EXPECT_DOUBLE_EQ(1840, content.origin.y);
  content.origin.y = 10;
  tellChanged();
  SendEventToEventTarget(wheel, HIViewGetEventTarget(content.view));
  EXPECT_DOUBLE_EQ(0, content.origin.y);
  ReleaseEvent(wheel);
}

}  // namespace
