// Search fields: attributes, menu and descriptive text; typing and Return as
// an edit text; the clear button and the magnifier with their events; the
// drawn look; the interface-file class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "CGColor.h"
#include "CGContext.h"
#include "HIView.h"
#include "TestBitmap.h"
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

std::string FieldText(HIViewRef field) {
  CFStringRef text = HIViewCopyText(field);
  std::string out = Utf8(text);
  if (text) CFRelease(text);
  return out;
}

// The text-field events of a field and the search-field and command events
// that reach the window, as "class/kind" (commands by their ID).
std::vector<std::string> gHeard;

std::string Code(UInt32 c) { return {char(c >> 24), char(c >> 16), char(c >> 8), char(c)}; }

OSStatus Listen(EventHandlerCallRef, EventRef e, void*) {
  if (GetEventClass(e) == kEventClassCommand) {
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    gHeard.push_back("cmds/" + Code(command.commandID));
    return noErr;
  }
  gHeard.push_back(Code(GetEventClass(e)) + "/" + std::to_string(GetEventKind(e)));
  return eventNotHandledErr;
}

constexpr CGFloat kWidth = 200, kHeight = 22;

class SearchFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rect bounds = {100, 100, 200, 400};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
    // The field's own events climb to its window.
    const EventTypeSpec events[] = {{kEventClassSearchField, kEventSearchFieldCancelClicked},
                                    {kEventClassSearchField, kEventSearchFieldSearchClicked},
                                    {kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetWindowEventTarget(window), Listen, 3, events, nullptr, nullptr);
    gHeard.clear();
  }
  void TearDown() override { DisposeWindow(window); }

  HIViewRef Make(OptionBits attributes, const char* text, MenuRef menu = nullptr, CFStringRef description = nullptr) {
    HIRect frame = {{10, 10}, {kWidth, kHeight}};
    HIViewRef field = nullptr;
    EXPECT_EQ(noErr, HISearchFieldCreate(&frame, attributes, menu, description, &field));
    HIViewAddSubview(HIViewGetRoot(window), field);
    HIViewSetText(field, Str(text));
    // Text-field events stay with the field.
    const EventTypeSpec events[] = {{kEventClassTextField, kEventTextAccepted},
                                    {kEventClassTextField, kEventTextDidChange}};
    InstallEventHandler(GetControlEventTarget(field), Listen, 2, events, nullptr, nullptr);
    return field;
  }

  // A click at a point of the field (its own coordinates).
  ControlPartCode Click(HIViewRef field, CGFloat x, CGFloat y) {
    ViewClearTrackEvents();
    return HandleControlClick(field, Point{SInt16(10 + y), SInt16(10 + x)}, 0, nullptr);
  }

  void Type(HIViewRef field, const std::u16string& text) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
    SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, text.size() * 2, text.data());
    SendEventToEventTarget(e, GetControlEventTarget(field));
    ReleaseEvent(e);
  }

  WindowRef window = nullptr;
};

TEST_F(SearchFieldTest, KeepsItsAttributesMenuAndDescriptiveText) {
  MenuRef menu = nullptr;
  CreateNewMenu(300, 0, &menu);
  HIViewRef field = Make(kHISearchFieldAttributesCancel, "", menu, Str("Find in file"));
  ControlKind kind{};
  GetControlKind(field, &kind);
  EXPECT_EQ(kControlKindHISearchField, kind.kind);

  OptionBits bits = 0;
  EXPECT_EQ(noErr, HISearchFieldGetAttributes(field, &bits));
  EXPECT_EQ(kHISearchFieldAttributesCancel, bits);
  HISearchFieldChangeAttributes(field, kHISearchFieldAttributesSearchIcon, kHISearchFieldAttributesCancel);
  HISearchFieldGetAttributes(field, &bits);
  EXPECT_EQ(kHISearchFieldAttributesSearchIcon, bits);

  MenuRef back = nullptr;
  EXPECT_EQ(noErr, HISearchFieldGetSearchMenu(field, &back));
  EXPECT_EQ(menu, back);
  ReleaseMenu(menu);  // the field keeps its own reference
  EXPECT_EQ(noErr, HISearchFieldSetSearchMenu(field, nullptr));
  HISearchFieldGetSearchMenu(field, &back);
  EXPECT_EQ(nullptr, back);

  CFStringRef description = nullptr;
  EXPECT_EQ(noErr, HISearchFieldCopyDescriptiveText(field, &description));
  EXPECT_EQ("Find in file", Utf8(description));
  CFRelease(description);
  HISearchFieldSetDescriptiveText(field, nullptr);
  HISearchFieldCopyDescriptiveText(field, &description);
  EXPECT_EQ("", Utf8(description));
  CFRelease(description);

  // Other views and missing arguments.
  HIRect frame = {{0, 0}, {50, 20}};
  HIViewRef plain = nullptr;
  HIViewCreate(&frame, &plain);
  EXPECT_EQ(errDataNotSupported, HISearchFieldChangeAttributes(plain, 1, 0));
  EXPECT_EQ(errDataNotSupported, HISearchFieldGetAttributes(plain, &bits));
  EXPECT_EQ(errDataNotSupported, HISearchFieldSetDescriptiveText(plain, Str("x")));
  EXPECT_EQ(errUnknownControl, HISearchFieldSetSearchMenu(nullptr, nullptr));
  EXPECT_EQ(paramErr, HISearchFieldGetAttributes(field, nullptr));
  EXPECT_EQ(paramErr, HISearchFieldCopyDescriptiveText(field, nullptr));
  EXPECT_EQ(paramErr, HISearchFieldCreate(&frame, 0, nullptr, nullptr, nullptr));
  DisposeControl(plain);
}

TEST_F(SearchFieldTest, TakesTypingWhenFocusedAndReturnAcceptsTheText) {
  HIViewRef field = Make(kHISearchFieldAttributesCancel, "");
  Type(field, u"lost");  // not focused: nothing
  EXPECT_EQ("", FieldText(field));
  ASSERT_EQ(noErr, SetKeyboardFocus(window, field, kControlFocusNextPart));
  Type(field, u"abc");
  Type(field, u"\b");
  Type(field, u"d");
  EXPECT_EQ("abd", FieldText(field));
  CFStringRef text = nullptr;
  ASSERT_EQ(noErr, GetControlData(field, 0, kControlEditTextCFStringTag, sizeof text, &text, nullptr));
  EXPECT_EQ("abd", Utf8(text));
  CFRelease(text);
  gHeard.clear();
  Type(field, u"\r");
  EXPECT_EQ((std::vector<std::string>{"txfd/1"}), gHeard);
}

TEST_F(SearchFieldTest, CancelButtonClearsTheTextAndSendsItsEvent) {
  HIViewRef field = Make(kHISearchFieldAttributesCancel, "query");
  const CGFloat right = kWidth - 8, middle = kHeight / 2;
  HIViewPartCode part = 0;
  HIPoint p = {right, middle};
  HIViewGetPartHit(field, &p, &part);
  EXPECT_EQ(kHISearchFieldCancelPart, part);

  EXPECT_EQ(kHISearchFieldCancelPart, Click(field, right, middle));
  EXPECT_EQ("", FieldText(field));
  EXPECT_EQ((std::vector<std::string>{"txfd/3", "srfd/1"}), gHeard);

  // No text, or no cancel attribute: the right end is text like the rest.
  HIViewGetPartHit(field, &p, &part);
  EXPECT_EQ(kControlEditTextPart, part);
  HIViewRef plain = Make(0, "query");
  HIViewGetPartHit(plain, &p, &part);
  EXPECT_EQ(kControlEditTextPart, part);
  gHeard.clear();
  Click(plain, right, middle);
  EXPECT_EQ("query", FieldText(plain));
  EXPECT_TRUE(gHeard.empty());
}

TEST_F(SearchFieldTest, MagnifierSearchesOrPopsUpTheSearchMenu) {
  HIViewRef plain = Make(0, "x");
  EXPECT_EQ(kControlEditTextPart, Click(plain, 8, 11));  // not a button
  EXPECT_TRUE(gHeard.empty());

  HIViewRef button = Make(kHISearchFieldAttributesSearchIcon, "x");
  EXPECT_EQ(kHISearchFieldSearchPart, Click(button, 8, 11));
  EXPECT_EQ((std::vector<std::string>{"srfd/2"}), gHeard);

  MenuRef menu = nullptr;
  CreateNewMenu(301, 0, &menu);
  AppendMenuItemTextWithCFString(menu, Str("Whole words"), 0, 'whol', nullptr);
  AppendMenuItemTextWithCFString(menu, Str("Ignore case"), 0, 'icas', nullptr);
  HIViewRef withMenu = Make(0, "x", menu);
  ReleaseMenu(menu);
  gHeard.clear();
  HeadlessClearMenuChoices();
  HeadlessQueueMenuChoice(nullptr, 2);
  EXPECT_EQ(kHISearchFieldSearchPart, Click(withMenu, 8, 11));
  EXPECT_EQ((std::vector<std::string>{"cmds/icas"}), gHeard);
  gHeard.clear();
  HeadlessQueueMenuDismiss();
  Click(withMenu, 8, 11);
  EXPECT_TRUE(gHeard.empty());
}


TEST_F(SearchFieldTest, DrawsAFieldWithMagnifierClearButtonAndGreyDescription) {
  HIViewRef field = Make(kHISearchFieldAttributesCancel, "", nullptr, Str("Search"));
  Bitmap empty(220, 42);
  ASSERT_EQ(noErr, HIViewDrawInContext(HIViewGetRoot(window), empty.context));
  // Origin of the field is (10, 10). Outside the rounded corner nothing, inside white.
  EXPECT_EQ(0, empty.At(10, 10)[3]);
  EXPECT_EQ(255, empty.At(110, 14)[0]);
  EXPECT_GT(empty.Ink(12, 12, 30, 30), 4);    // the magnifier
  EXPECT_GT(empty.Ink(34, 12, 100, 30), 4);   // the description
  EXPECT_EQ(0, empty.Ink(180, 13, 204, 29));  // no clear button without text
  const UInt8* grey = nullptr;
  for (int x = 34; x < 100 && grey == nullptr; ++x)
    for (int y = 12; y < 30; ++y)
      if (empty.At(x, y)[3] == 255 && empty.At(x, y)[0] < 200) {
        grey = empty.At(x, y);
        break;
      }
  ASSERT_NE(nullptr, grey);
  EXPECT_GT(grey[0], 90);  // grey, not black ink

  // With a long text: the clear button shows and the text stops before it.
  HIViewSetText(field, Str("a rather long query that would run past the end of the field"));
  Bitmap full(220, 42);
  HIViewDrawInContext(HIViewGetRoot(window), full.context);
  const UInt8* disc = full.At(10 + 188, 10 + 6);
  EXPECT_EQ(255, disc[3]);
  EXPECT_NEAR(158, disc[0], 30);  // the grey disc, not text over it
  EXPECT_GT(full.Ink(34, 12, 170, 30), 40);
  DisposeControl(field);
}

TEST_F(SearchFieldTest, InterfaceFileMakesSearchFields) {
  std::string folder = QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/searchfield";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  ASSERT_NE(nullptr, bundle);
  IBNibRef nib = nullptr;
  ASSERT_EQ(noErr, CreateNibReferenceWithCFBundle(bundle, Str("Search"), &nib));
  WindowRef w = nullptr;
  ASSERT_EQ(noErr, CreateWindowFromNib(nib, Str("Find"), &w));
  HIViewRef field = nullptr;
  ASSERT_EQ(noErr, HIViewFindByID(HIViewGetRoot(w), HIViewID{'SRCH', 1}, &field));
  OptionBits bits = 0;
  EXPECT_EQ(noErr, HISearchFieldGetAttributes(field, &bits));
  EXPECT_EQ(kHISearchFieldAttributesCancel | kHISearchFieldAttributesSearchIcon, bits);
  EXPECT_EQ("needle", FieldText(field));
  CFStringRef description = nullptr;
  HISearchFieldCopyDescriptiveText(field, &description);
  EXPECT_EQ("Find", Utf8(description));
  CFRelease(description);
  MenuRef menu = nullptr;
  HISearchFieldGetSearchMenu(field, &menu);
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(2, CountMenuItems(menu));
  DisposeWindow(w);
  WindowRef bad = nullptr;
  EXPECT_NE(noErr, CreateWindowFromNib(nib, Str("BadAttribute"), &bad));
  DisposeNibReference(nib);
  CFRelease(bundle);
}

}  // namespace
