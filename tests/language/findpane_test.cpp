// The find pane and the find window over a real text document in a headless
// editor window, with the fixture interface file "PaneFind": the find window
// opened once and brought forward after, the pane's settings read from and
// saved to the preferences (any character in the strings), the recent
// strings, and find all with its results strip stepped through.
#include <gtest/gtest.h>

#include <string>

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CFURL.h"
#include "HIObject.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "TDocumentListUnit.h"
#include "TFindPaneUnit.h"
#include "TFindUnit.h"
#include "THIQueryViewUnit.h"
#include "TPreferencesUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"

namespace {

IBNibRef FindNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("PaneFind"), &made), noErr);
    return made;
  }();
  return nib;
}

CFStringRef NewString(const std::string& utf8) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

std::string FieldText(ControlRef field) {
  CFStringRef text = HIViewCopyText(field);
  std::string s = Text(text);
  if (text != nullptr) CFRelease(text);
  return s;
}

std::string StoredString(const char* key) {
  CFTypeRef value = AppPrefs->GetTypeValue(key);
  std::string s = value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? Text(CFStringRef(value)) : "<none>";
  if (value != nullptr) CFRelease(value);
  return s;
}

CFArrayRef Strings(int count, const char* prefix) {
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (int i = 1; i <= count; ++i) {
    CFStringRef s = NewString(prefix + std::to_string(i));
    CFArrayAppendValue(list, s);
    CFRelease(s);
  }
  return list;
}

// An editor window (kind 1) holding one text document and its find object.
struct FindPaneTest : ::testing::Test {
  TWindow* window = nullptr;
  HIViewRef view = nullptr;
  WEReference we = nullptr;
  TWASTEDocument* document = nullptr;
  TFind* find = nullptr;
  TFindQueryDrawing* drawing = nullptr;

  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct);
    if (AppPrefs == nullptr) {
      AppPrefs = new TPreferenceHandlerApplication();
      AppPrefs->SetDomain("user.");
    }
    InstallFindPaneHooks();
  }

  void SetUp() override {
    for (const char* key : {"FindWholeWords", "FindIgnoreCase", "FindFileWrap"}) AppPrefs->SetBooleanValue(key, false);
    for (const char* key : {"FindRecentFindStrings", "FindRecentReplaceStrings", "FindCurrentString",
                            "FindCurrentReplaceString"})
      AppPrefs->RemoveValue(key);
    window = new TWindow();
    window->Create("Pane Text Window", FindNib());
    ASSERT_NE(window->window, nullptr);
    WindowRef carbon = window->window;
    HIObjectRef object = nullptr;
    ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(carbon), view);
    const CGRect frame{{0, 100}, {600, 300}};
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    we = WasteCreateController(view, carbon, 0);
    document = new TWASTEDocument();
    document->CreateEmpty();
    document->controller = we;
    window->documents->Append(document);
    window->documents->SetActive(document);
    window->Show();
    find = new TFind();
    find->SetWindow(window);
    drawing = new TFindQueryDrawing();
    drawing->view = view;
    find->SetDrawing(drawing);
    window->SetProperty('QURY', find, sizeof find);
  }

  void TearDown() override {
    if (TFindPane* open = ActiveFindWindowPane()) {
      SInt32 status = 0;
      GetWindowObject(open->GetWindow())->Close(status);
    }
    SInt32 status = 0;
    window->Close(status);
    find->Release();
    drawing->Release();
  }

  void SetText(const std::string& text) {
    WESetSelection(0, WEGetTextLength(we), we);
    WEDelete(we);
    WEPut(0, 0, text.data(), text.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, we);
    WESetSelection(0, 0, we);
  }
};

TEST_F(FindPaneTest, TheFindWindowOpensOnceAndIsBroughtForwardAfter) {
  EXPECT_EQ(ActiveFindWindowPane(), nullptr);
  TFindPane* pane = OpenFindWindow(FindNib());
  ASSERT_NE(pane, nullptr);
  WindowRef findWindow = pane->GetWindow();
  EXPECT_EQ(GetWindowKind(findWindow), kFindWindowKind);
  EXPECT_TRUE(IsWindowVisible(findWindow));
  EXPECT_EQ(ActiveFindWindowPane(), pane);
  ASSERT_NE(pane->findField, nullptr);
  EXPECT_EQ(pane->queryView, nullptr);

  SelectWindow(window->window);
  EXPECT_EQ(OpenFindWindow(FindNib()), nullptr);
  EXPECT_EQ(FrontNonFloatingWindow(), findWindow);
  ControlRef focus = nullptr;
  GetKeyboardFocus(findWindow, &focus);
  EXPECT_EQ(focus, pane->findField);

  // The engine takes the find window's settings when no pane drives it.
  SetText("one two one");
  HIViewSetText(pane->findField, CFSTR("one"));
  WESetSelection(1, 1, we);
  HICommand command{};
  command.commandID = 'WFdN';
  SInt32 result = eventNotHandledErr;
  find->ProcessCommand(command, result);
  EXPECT_EQ(result, noErr);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 8);
  EXPECT_EQ(end, 11);
}

TEST_F(FindPaneTest, SettingsComeFromThePreferencesAndGoBackWhenThePaneCloses) {
  AppPrefs->SetBooleanValue("FindIgnoreCase", true);
  AppPrefs->SetBooleanValue("FindFileWrap", true);
  CFStringRef current = NewString("café €5");
  AppPrefs->SetTypeValue("FindCurrentString", current);
  CFRelease(current);
  AppPrefs->SetStringValue("FindCurrentReplaceString", "plain");

  TFindPane* pane = OpenFindWindow(FindNib());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(FieldText(pane->findField), "café €5");
  EXPECT_EQ(FieldText(pane->replaceField), "plain");
  FindOptions options = pane->GetUserSettings();
  EXPECT_EQ(options.findText.str(), "café €5");  // UTF-8 end to end
  EXPECT_EQ(options.replaceText.str(), "plain");
  EXPECT_EQ(options.flags, UInt32(weFindCaseInsensitive));
  EXPECT_TRUE(options.wrap);

  SetControl32BitValue(pane->wholeWordsBox, 1);
  SetControl32BitValue(pane->ignoreCaseBox, 0);
  CFStringRef typed = NewString("ŝtring");
  HIViewSetText(pane->findField, typed);
  CFRelease(typed);
  HIViewSetText(pane->replaceField, CFSTR(""));
  options = pane->GetUserSettings();
  EXPECT_EQ(options.flags, UInt32(weFindWholeWords));

  SInt32 status = 0;
  GetWindowObject(pane->GetWindow())->Close(status);
  EXPECT_EQ(ActiveFindWindowPane(), nullptr);
  EXPECT_TRUE(AppPrefs->GetBooleanValue("FindWholeWords"));
  EXPECT_FALSE(AppPrefs->GetBooleanValue("FindIgnoreCase"));
  EXPECT_TRUE(AppPrefs->GetBooleanValue("FindFileWrap"));
  EXPECT_EQ(StoredString("FindCurrentString"), "ŝtring");
  EXPECT_EQ(StoredString("FindCurrentReplaceString"), "");
}

TEST_F(FindPaneTest, RecentStringsKeepTheTwentyFiveMostRecent) {
  CFArrayRef many = Strings(26, "f");
  AppPrefs->SetTypeValue("FindRecentFindStrings", many);
  CFRelease(many);
  CFArrayRef few = Strings(3, "r");
  AppPrefs->SetTypeValue("FindRecentReplaceStrings", few);
  CFRelease(few);

  TFindPane* pane = OpenFindWindow(FindNib());
  ASSERT_NE(pane, nullptr);
  // A list grown past the limit by another version loses its oldest entry.
  ASSERT_EQ(HIComboBoxGetItemCount(pane->findField), 25u);
  CFStringRef first = nullptr;
  HIComboBoxCopyTextItemAtIndex(pane->findField, 0, &first);
  EXPECT_EQ(Text(first), "f2");
  CFRelease(first);
  EXPECT_EQ(HIComboBoxGetItemCount(pane->replaceField), 3u);

  // A new text goes last, and the oldest makes room, in the list and stored.
  SetText("x new x");
  HIViewSetText(pane->findField, CFSTR("new"));
  pane->Find(false);
  EXPECT_EQ(HIComboBoxGetItemCount(pane->findField), 25u);
  CFStringRef last = nullptr;
  HIComboBoxCopyTextItemAtIndex(pane->findField, 24, &last);
  EXPECT_EQ(Text(last), "new");
  CFRelease(last);
  CFTypeRef stored = AppPrefs->GetTypeValue("FindRecentFindStrings");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(CFArrayGetCount(CFArrayRef(stored)), 25);
  EXPECT_EQ(Text(CFStringRef(CFArrayGetValueAtIndex(CFArrayRef(stored), 24))), "new");
  CFRelease(stored);
  // A known text is not added twice.
  pane->Find(false);
  EXPECT_EQ(HIComboBoxGetItemCount(pane->findField), 25u);
}

TEST_F(FindPaneTest, FindAllFillsTheResultsStripWhichStepsThroughTheMatches) {
  auto* pane = new TFindPane();
  pane->SetCommandHandlerTarget(window->window);
  pane->Create("Find Pane (Split 2.1)", FindNib());
  ASSERT_NE(pane->queryView, nullptr);
  pane->AddSubview(HIViewGetRoot(window->window));
  find->SetController(pane);

  SetText("ab x ab y ab");
  for (ControlRef box : {pane->wholeWordsBox, pane->ignoreCaseBox, pane->wrapBox}) SetControl32BitValue(box, 0);
  HIViewSetText(pane->findField, CFSTR("ab"));
  WESetSelection(5, 5, we);
  pane->Find(true);
  // Found from the start, whatever the selection was.
  EXPECT_EQ(pane->queryView->Count, 3);
  ASSERT_NE(drawing->results, nullptr);
  EXPECT_EQ(CFArrayGetCount(drawing->results), 3);
  EXPECT_EQ(drawing->GetResultCount().str(), "Found 3 matches.");

  // Each step of the strip (its arrows send the commands to the front
  // window) moves the insertion point and the highlighted box.
  pane->queryView->ControlHit(kQueryViewPartRight);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 5);
  EXPECT_EQ(end, 5);
  EXPECT_EQ(drawing->selected, 1);
  pane->queryView->ControlHit(kQueryViewPartLeft);
  pane->queryView->ControlHit(kQueryViewPartLeft);
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 10);
  EXPECT_EQ(drawing->selected, 2);

  // Closing the pane clears the drawn results and lets go of the engine.
  pane->Close();
  EXPECT_EQ(drawing->results, nullptr);
  EXPECT_EQ(find->controller, nullptr);
  EXPECT_EQ(find->drawing, nullptr);
  find->SetDrawing(drawing);
}

}  // namespace
