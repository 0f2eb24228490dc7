// Text typed into a field is accepted when the user leaves the field, as on
// Return: a value typed and left by a click elsewhere must reach whoever
// stores it. Fields left untouched, search fields and fields that go away
// with their window accept nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "CarbonEvents.h"
#include "HIView.h"
#include "MacWindows.h"

namespace {

std::string Utf8(CFStringRef s) {
  char buf[256] = {};
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

void Type(ControlRef control, const std::u16string& text) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, text.size() * 2, text.data());
  SendEventToEventTarget(e, GetControlEventTarget(control));
  ReleaseEvent(e);
}

// The texts each field had when it was accepted.
struct Accepted {
  std::vector<std::string> texts;
  static OSStatus Handler(EventHandlerCallRef, EventRef event, void* data) {
    ControlRef field = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof field, nullptr, &field);
    CFStringRef text = HIViewCopyText(field);
    static_cast<Accepted*>(data)->texts.push_back(Utf8(text));
    CFRelease(text);
    return noErr;
  }
  void Listen(ControlRef field) {
    const EventTypeSpec spec = {kEventClassTextField, kEventTextAccepted};
    InstallEventHandler(GetControlEventTarget(field), Handler, 1, &spec, this, nullptr);
  }
};

class EditCommitTest : public testing::Test {
 protected:
  void SetUp() override {
    Rect bounds = {100, 100, 300, 500};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes | kWindowCompositingAttribute,
                                     &bounds, &window_));
    HIViewRef root = HIViewGetRoot(window_);
    Rect r1 = {10, 10, 32, 200}, r2 = {40, 10, 62, 200};
    ASSERT_EQ(noErr, CreateEditUnicodeTextControl(window_, &r1, CFStringMakeConstantUTF8(""), false, nullptr, &host_));
    ASSERT_EQ(noErr, CreateEditUnicodeTextControl(window_, &r2, CFStringMakeConstantUTF8("anonymous"), false, nullptr,
                                                  &user_));
    ASSERT_EQ(root, HIViewGetSuperview(host_));
    hostAccepted_.Listen(host_);
    userAccepted_.Listen(user_);
  }
  void TearDown() override {
    if (window_) DisposeWindow(window_);
  }
  WindowRef window_ = nullptr;
  ControlRef host_ = nullptr, user_ = nullptr;
  Accepted hostAccepted_, userAccepted_;
};

TEST_F(EditCommitTest, LeavingAFieldAfterTypingAcceptsItsText) {
  struct Case {
    const char* how;
    void (*leave)(WindowRef, ControlRef other);
  } cases[] = {
      {"a click in another field", [](WindowRef w, ControlRef other) { SetKeyboardFocus(w, other, kControlFocusNextPart); }},
      {"Tab", [](WindowRef w, ControlRef) { HIViewAdvanceFocus(HIViewGetRoot(w), 0); }},
      {"the focus cleared", [](WindowRef w, ControlRef) { ClearKeyboardFocus(w); }},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    hostAccepted_.texts.clear();
    userAccepted_.texts.clear();
    ASSERT_EQ(noErr, SetKeyboardFocus(window_, host_, kControlFocusNextPart));
    HIViewSetText(host_, CFStringMakeConstantUTF8(""));
    const std::u16string typed = u"ftp" + std::u16string(1, char16_t('0' + round++)) + u".example.org";
    Type(host_, typed);
    c.leave(window_, user_);
    ASSERT_EQ(1u, hostAccepted_.texts.size());
    EXPECT_EQ(std::string(typed.begin(), typed.end()), hostAccepted_.texts[0]);
    // Leaving the other field, untouched, accepts nothing.
    ClearKeyboardFocus(window_);
    EXPECT_TRUE(userAccepted_.texts.empty());
    EXPECT_EQ(1u, hostAccepted_.texts.size());
  }
}

TEST_F(EditCommitTest, TextAcceptedOnReturnIsNotAcceptedAgainOnLeaving) {
  ASSERT_EQ(noErr, SetKeyboardFocus(window_, host_, kControlFocusNextPart));
  Type(host_, u"a.example.org");
  Type(host_, u"\r");
  ASSERT_EQ(1u, hostAccepted_.texts.size());
  SetKeyboardFocus(window_, user_, kControlFocusNextPart);
  EXPECT_EQ(1u, hostAccepted_.texts.size());
  // Typing after Return is new: leaving accepts it.
  SetKeyboardFocus(window_, host_, kControlFocusNextPart);
  Type(host_, u"x");
  SetKeyboardFocus(window_, user_, kControlFocusNextPart);
  ASSERT_EQ(2u, hostAccepted_.texts.size());
  EXPECT_EQ("a.example.orgx", hostAccepted_.texts[1]);
}

TEST_F(EditCommitTest, SearchFieldsAndFieldsThatGoAwayAcceptNothingOnLeaving) {
  HIViewRef search = nullptr;
  HIRect frame = {{10, 80}, {180, 22}};
  ASSERT_EQ(noErr, HISearchFieldCreate(&frame, 0, nullptr, nullptr, &search));
  HIViewAddSubview(HIViewGetRoot(window_), search);
  Accepted searched;
  searched.Listen(search);
  ASSERT_EQ(noErr, SetKeyboardFocus(window_, search, kControlFocusNextPart));
  Type(search, u"needle");
  SetKeyboardFocus(window_, host_, kControlFocusNextPart);
  EXPECT_TRUE(searched.texts.empty());

  // Typed into, then disposed of with its window: nothing is sent to a
  // window that is going.
  Type(host_, u"lost with the window");
  DisposeWindow(window_);
  window_ = nullptr;
  EXPECT_TRUE(hostAccepted_.texts.empty());
}

}  // namespace
