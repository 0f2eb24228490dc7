// Combo boxes: the list and its control data, sorting, the button popping
// up the list, completion while typing, the interface-file class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFArray.h"
#include "CFBundle.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFURL.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "MenuInternal.h"
#include "Menus.h"
#include "ViewInternal.h"

namespace {

CFStringRef Str(const char* s) { return CFStringMakeConstantUTF8(s); }

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buf[256] = {};
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

std::string Text(HIViewRef box) {
  CFStringRef text = HIViewCopyText(box);
  std::string out = Utf8(text);
  if (text) CFRelease(text);
  return out;
}

// The items, joined with "|".
std::string Items(HIViewRef box) {
  std::string out;
  for (ItemCount i = 0; i < HIComboBoxGetItemCount(box); ++i) {
    CFStringRef s = nullptr;
    EXPECT_EQ(noErr, HIComboBoxCopyTextItemAtIndex(box, CFIndex(i), &s));
    out += (i ? "|" : "") + Utf8(s);
    if (s) CFRelease(s);
  }
  return out;
}

CFArrayRef Array(std::vector<CFTypeRef> values) {
  return CFArrayCreate(nullptr, values.data(), CFIndex(values.size()), &kCFTypeArrayCallBacks);
}

int gChanges = 0;
OSStatus CountChange(EventHandlerCallRef, EventRef, void*) {
  ++gChanges;
  return eventNotHandledErr;
}

class ComboBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rect bounds = {100, 100, 200, 400};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
    HeadlessClearMenuChoices();
    HeadlessClearMenuLog();
    gChanges = 0;
  }
  void TearDown() override {
    HeadlessClearMenuChoices();
    DisposeWindow(window);
  }

  HIViewRef Make(const char* text, CFArrayRef list, OptionBits attributes) {
    HIRect frame = {{10, 10}, {200, 22}};
    HIViewRef box = nullptr;
    EXPECT_EQ(noErr, HIComboBoxCreate(&frame, Str(text), nullptr, list, attributes, &box));
    HIViewAddSubview(HIViewGetRoot(window), box);
    const EventTypeSpec changed = {kEventClassTextField, kEventTextDidChange};
    InstallEventHandler(GetControlEventTarget(box), CountChange, 1, &changed, nullptr, nullptr);
    return box;
  }

  ControlPartCode Click(HIViewRef box, CGFloat x) {
    ViewClearTrackEvents();
    return HandleControlClick(box, Point{SInt16(10 + 11), SInt16(10 + x)}, 0, nullptr);
  }

  void Type(HIViewRef box, const std::u16string& text) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
    SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, text.size() * 2, text.data());
    SendEventToEventTarget(e, GetControlEventTarget(box));
    ReleaseEvent(e);
  }

  WindowRef window = nullptr;
};

TEST_F(ComboBoxTest, KeepsItsListAsItemsAndAsControlData) {
  CFArrayRef list = Array({Str("b"), Str("a")});
  HIViewRef box = Make("x", list, kHIComboBoxNoAttributes);
  CFRelease(list);  // the box keeps copies
  ControlKind kind{};
  GetControlKind(box, &kind);
  EXPECT_EQ(kControlKindHIComboBox, kind.kind);
  EXPECT_EQ("b|a", Items(box));

  CFIndex at = -1;
  EXPECT_EQ(noErr, HIComboBoxAppendTextItem(box, Str("c"), &at));
  EXPECT_EQ(2, at);
  EXPECT_EQ(noErr, HIComboBoxInsertTextItemAtIndex(box, 0, Str("z")));
  EXPECT_EQ(noErr, HIComboBoxInsertTextItemAtIndex(box, 99, Str("end")));
  EXPECT_EQ("z|b|a|c|end", Items(box));
  EXPECT_EQ(noErr, HIComboBoxRemoveItemAtIndex(box, 1));
  EXPECT_EQ("z|a|c|end", Items(box));

  // Out of range and wrong views are errors, not crashes.
  CFStringRef none = nullptr;
  EXPECT_EQ(paramErr, HIComboBoxCopyTextItemAtIndex(box, 4, &none));
  EXPECT_EQ(paramErr, HIComboBoxRemoveItemAtIndex(box, -1));
  HIViewRef plain = nullptr;
  HIRect frame = {{0, 0}, {50, 20}};
  HIViewCreate(&frame, &plain);
  EXPECT_EQ(errDataNotSupported, HIComboBoxAppendTextItem(plain, Str("q"), nullptr));
  EXPECT_EQ(0u, HIComboBoxGetItemCount(plain));
  CFRelease(plain);

  // The list tag: set takes the strings of the array (others left out), get
  // gives a new array.
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &at);
  CFArrayRef stored = Array({Str("one"), number, Str("two")});
  CFRelease(number);
  EXPECT_EQ(noErr, SetControlData(box, 0, kHIComboBoxListTag, sizeof stored, &stored));
  CFRelease(stored);
  EXPECT_EQ("one|two", Items(box));
  CFArrayRef copy = nullptr;
  EXPECT_EQ(noErr, GetControlData(box, 0, kHIComboBoxListTag, sizeof copy, &copy, nullptr));
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(2, CFArrayGetCount(copy));
  EXPECT_EQ("two", Utf8(CFStringRef(CFArrayGetValueAtIndex(copy, 1))));
  CFRelease(copy);
  // The text is the edit text's.
  CFStringRef text = nullptr;
  EXPECT_EQ(noErr, GetControlData(box, 0, kControlEditTextCFStringTag, sizeof text, &text, nullptr));
  EXPECT_EQ("x", Utf8(text));
  CFRelease(text);
}

TEST_F(ComboBoxTest, AutoSortKeepsTheItemsInOrderIgnoringCase) {
  CFArrayRef list = Array({Str("pear"), Str("Apple"), Str("fig")});
  HIViewRef box = Make("", list, kHIComboBoxAutoSortAttribute);
  CFRelease(list);
  EXPECT_EQ("Apple|fig|pear", Items(box));
  CFIndex at = -1;
  HIComboBoxAppendTextItem(box, Str("banana"), &at);
  EXPECT_EQ(1, at);
  HIComboBoxInsertTextItemAtIndex(box, 0, Str("zucchini"));
  EXPECT_EQ("Apple|banana|fig|pear|zucchini", Items(box));

  HIViewRef later = Make("", nullptr, kHIComboBoxNoAttributes);
  HIComboBoxAppendTextItem(later, Str("b"), nullptr);
  HIComboBoxAppendTextItem(later, Str("a"), nullptr);
  EXPECT_EQ(noErr, HIComboBoxChangeAttributes(later, kHIComboBoxAutoSortAttribute, 0));
  EXPECT_EQ("a|b", Items(later));
  OptionBits bits = 0;
  EXPECT_EQ(noErr, HIComboBoxGetAttributes(later, &bits));
  EXPECT_EQ(OptionBits(kHIComboBoxAutoSortAttribute), bits);
}

TEST_F(ComboBoxTest, ButtonPopsUpTheListAndTheChoiceBecomesTheText) {
  CFArrayRef list = Array({Str("alpha"), Str("beta")});
  HIViewRef box = Make("beta", list, kHIComboBoxNoAttributes);
  CFRelease(list);
  EXPECT_EQ(kHIComboBoxEditTextPart, Click(box, 20));  // the text: no list
  EXPECT_TRUE(HeadlessCopyMenuLog().empty());

  HeadlessQueueMenuChoice(nullptr, 1);
  EXPECT_EQ(kHIComboBoxDisclosurePart, Click(box, 195));
  auto log = HeadlessCopyMenuLog();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(2u, log[0].enabled.size());
  EXPECT_EQ("alpha", Text(box));
  EXPECT_EQ(1, gChanges);
  ControlEditTextSelectionRec sel{};
  GetControlData(box, 0, kControlEditTextSelectionTag, sizeof sel, &sel, nullptr);
  EXPECT_EQ(0, sel.selStart);
  EXPECT_EQ(5, sel.selEnd);

  // Dismissed: the text stays.
  HeadlessQueueMenuDismiss();
  Click(box, 195);
  EXPECT_EQ("alpha", Text(box));
  EXPECT_EQ(1, gChanges);

  // An empty list shows nothing.
  HIViewRef empty = Make("keep", nullptr, kHIComboBoxNoAttributes);
  HeadlessClearMenuLog();
  Click(empty, 195);
  EXPECT_TRUE(HeadlessCopyMenuLog().empty());
  EXPECT_EQ("keep", Text(empty));
}

TEST_F(ComboBoxTest, TypingCompletesFromTheListWhenAsked) {
  CFArrayRef list = Array({Str("function"), Str("foreach"), Str("Format")});
  HIViewRef box = Make("", list, kHIComboBoxAutoCompletionAttribute);
  HIViewRef plain = Make("", list, kHIComboBoxNoAttributes);
  CFRelease(list);
  struct Case {
    const char16_t* typed;
    const char* text;
    SInt16 selStart, selEnd;
  } cases[] = {
      {u"f", "function", 1, 8},  // the first item that fits
      {u"o", "foreach", 2, 7},   // typing replaces the completed part
      {u"X", "foX", 3, 3},       // nothing fits: as typed
      {u"\b", "fo", 2, 2},       // deleting never completes
      {u"R", "foReach", 3, 7},   // what was typed keeps its case
  };
  ASSERT_EQ(noErr, SetKeyboardFocus(window, box, kControlFocusNextPart));
  for (const Case& c : cases) {
    Type(box, c.typed);
    EXPECT_EQ(c.text, Text(box)) << std::string(c.text);
    ControlEditTextSelectionRec sel{};
    GetControlData(box, 0, kControlEditTextSelectionTag, sizeof sel, &sel, nullptr);
    EXPECT_EQ(c.selStart, sel.selStart) << c.text;
    EXPECT_EQ(c.selEnd, sel.selEnd) << c.text;
  }
  ASSERT_EQ(noErr, SetKeyboardFocus(window, plain, kControlFocusNextPart));
  Type(plain, u"f");
  EXPECT_EQ("f", Text(plain));
}

TEST_F(ComboBoxTest, InterfaceFileMakesComboBoxes) {
  std::string folder = QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/combobox";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  ASSERT_NE(nullptr, bundle);
  IBNibRef nib = nullptr;
  ASSERT_EQ(noErr, CreateNibReferenceWithCFBundle(bundle, Str("Find"), &nib));
  WindowRef w = nullptr;
  ASSERT_EQ(noErr, CreateWindowFromNib(nib, Str("Find"), &w));
  HIViewRef box = nullptr;
  ASSERT_EQ(noErr, HIViewFindByID(HIViewGetRoot(w), HIViewID{'FIND', 128}, &box));
  EXPECT_EQ("needle", Text(box));
  EXPECT_EQ("haystack|needle", Items(box));
  OptionBits bits = 0;
  HIComboBoxGetAttributes(box, &bits);
  EXPECT_EQ(OptionBits(kHIComboBoxAutoCompletionAttribute), bits);
  DisposeWindow(w);
  DisposeNibReference(nib);
  CFRelease(bundle);
}

}  // namespace
