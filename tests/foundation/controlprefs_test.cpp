// Controls that store and restore their values under their 'PREF' keys.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFNumber.h"
#include "CFPreferenceUtilities.h"
#include "CFPreferences.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"

namespace fs = std::filesystem;

namespace {

// A pane window of the interface file: a pane of the height holding a keyed
// check box.
std::string PaneWindow(const char* name, int height, const char* key) {
  return std::string("<key>") + name +
         "</key><dict><key>views</key><array><dict>"
         "<key>class</key><string>userPane</string>"
         "<key>frame</key><array><integer>0</integer><integer>0</integer><integer>300</integer><integer>" +
         std::to_string(height) +
         "</integer></array>"
         "<key>signature</key><string>PANE</string><key>id</key><integer>128</integer>"
         "<key>subviews</key><array><dict><key>class</key><string>checkBox</string>"
         "<key>frame</key><array><integer>10</integer><integer>10</integer><integer>100</integer><integer>20</integer></array>"
         "<key>properties</key><array><dict><key>creator</key><string>????</string><key>tag</key><string>PREF</string>"
         "<key>string</key><string>" +
         key + "</string></dict></array></dict></array></dict></array></dict>";
}

// The main bundle of this test program with the panes' interface file,
// named before anything asks for it.
struct TestBundle {
  TestBundle() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/prefbundle-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    const std::string folder = root + "/Quorvel.app/Contents/Resources/Interface";
    fs::create_directories(folder);
    std::ofstream(folder + "/Panes.nib.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>windows</key><dict>"
        << PaneWindow("PaneA", 100, "cp.pane.a") << PaneWindow("PaneB", 150, "cp.pane.b")
        << "</dict></dict></plist>";
    setenv("QUORVEL_BUNDLE", (root + "/Quorvel.app").c_str(), 1);
  }
  ~TestBundle() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
  std::string root;
} gTestBundle;

class ControlPrefsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rect bounds{100, 100, 400, 500};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window), noErr);
  }
  void TearDown() override { DisposeWindow(window); }
  static void Key(ControlRef control, const char* key) {
    SetControlProperty(control, 0x3F3F3F3F, 'PREF', strlen(key) + 1, key);
  }
  static CFTypeRef Stored(const char* key) {
    return CFPreferencesCopyAppValue(CFSTR(key), kCFPreferencesCurrentApplication);
  }
  WindowRef window = nullptr;
  Rect r{10, 10, 30, 100};
};

TEST_F(ControlPrefsTest, CheckBoxStoresAndRestoresABoolean) {
  ControlRef box = nullptr;
  CreateCheckBoxControl(window, &r, CFSTR("Box"), 1, true, &box);
  Key(box, "cp.box");
  EXPECT_EQ(CFPreferencesGetKey(box).str(), "cp.box");
  CFPreferencesDefaultSynchronize(box);
  CFTypeRef value = Stored("userprefs.cp.box");
  EXPECT_EQ(value, kCFBooleanTrue);
  if (value) CFRelease(value);

  // With nothing stored the box is checked; a stored false unchecks it.
  ControlRef fresh = nullptr;
  CreateCheckBoxControl(window, &r, CFSTR("Fresh"), 0, true, &fresh);
  Key(fresh, "cp.missing");
  CFPreferencesApplyFunction(fresh, CFPreferencesDefaultRestore, nullptr);
  EXPECT_EQ(GetControl32BitValue(fresh), 1);
  SetControl32BitValue(box, 0);
  CFPreferencesDefaultSynchronize(box);
  SetControl32BitValue(box, 1);
  CFPreferencesApplyFunction(box, CFPreferencesDefaultRestore, nullptr);
  EXPECT_EQ(GetControl32BitValue(box), 0);
}

TEST_F(ControlPrefsTest, TextAndPopupValues) {
  ControlRef edit = nullptr, popup = nullptr;
  CreateEditUnicodeTextControl(window, &r, CFSTR("typed"), false, nullptr, &edit);
  Key(edit, "cp.edit");
  CFPreferencesDefaultSynchronize(edit);
  EXPECT_EQ(CFPreferencesGetStringValue("cp.edit").str(), "typed");
  HIViewSetText(edit, CFSTR("other"));
  CFPreferencesApplyFunction(edit, CFPreferencesDefaultRestore, nullptr);
  EXPECT_EQ(HIViewGetText(edit).str(), "typed");

  CreatePopupButtonControl(window, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  MenuRef menu = nullptr;
  CreateNewMenu(3, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFSTR("One"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(menu, CFSTR("Two"), 0, 0, nullptr);
  HIViewSetMenu(popup, menu);
  Key(popup, "cp.popup");
  SetControl32BitValue(popup, 2);
  CFPreferencesDefaultSynchronize(popup);
  EXPECT_EQ(CFPreferencesGetStringValue("cp.popup").str(), "Two");
  SetControl32BitValue(popup, 1);
  CFPreferencesApplyFunction(popup, CFPreferencesDefaultRestore, nullptr);
  EXPECT_EQ(GetControl32BitValue(popup), 2);
  // A stored text that no item has asks for value 0, which the pop-up's
  // minimum (its first item) keeps it from taking.
  CFPreferencesSetAppValue(CFSTR("userprefs.cp.popup"), CFSTR("Three"), kCFPreferencesCurrentApplication);
  CFPreferencesApplyFunction(popup, CFPreferencesDefaultRestore, nullptr);
  EXPECT_EQ(GetControl32BitValue(popup), GetControl32BitMinimum(popup));
  ReleaseMenu(menu);
}

TEST_F(ControlPrefsTest, WalkVisitsEachKeyedControlOnce) {
  ControlRef group = nullptr, one = nullptr, two = nullptr, plain = nullptr;
  CreateRadioGroupControl(window, &r, &group);
  CreateRadioButtonControl(nullptr, &r, CFSTR("1"), 0, true, &one);
  CreateRadioButtonControl(nullptr, &r, CFSTR("2"), 0, true, &two);
  CreatePushButtonControl(nullptr, &r, CFSTR("no key"), &plain);
  HIViewAddSubview(group, one);
  HIViewAddSubview(group, two);
  HIViewAddSubview(group, plain);
  Key(group, "cp.group");
  Key(one, "cp.one");
  Key(two, "cp.two");
  std::vector<std::string> keys;
  CFPreferencesApplyFunction(
      HIViewGetRoot(window),
      [](ControlRef, const ControlKind&, const Str255& key, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(key.str());
      },
      &keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"cp.group", "cp.one", "cp.two"}));
}

TEST_F(ControlPrefsTest, PanesReplaceEachOtherAndStoreTheirControls) {
  HIViewRef target = nullptr;
  CGRect frame{{0, 0}, {400, 300}};
  HIViewCreate(&frame, &target);
  HIViewAddSubview(HIViewGetRoot(window), target);
  HIViewSetID(target, HIViewID{'ROOT', 128});
  IBNibRef nib = nullptr;
  ASSERT_EQ(CreateNibReference(CFSTR("Panes"), &nib), noErr);
  CFPreferencesSetAppValue(CFSTR("userprefs.cp.pane.a"), kCFBooleanFalse, kCFPreferencesCurrentApplication);

  ControlRef first = CFPreferencesLoadPane(window, nib, true, "PaneA");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(HIViewGetSuperview(first), target);
  HIViewRef box = HIViewGetFirstSubview(first);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetControl32BitValue(box), 0);  // restored from the stored false
  Rect content{};
  GetWindowBounds(window, kWindowContentRgn, &content);
  EXPECT_EQ(content.bottom - content.top, 100 + 54);

  // The first pane stores its box as it goes.
  SetControl32BitValue(box, 1);
  ControlRef second = CFPreferencesLoadPane(window, nib, true, "PaneB");
  ASSERT_NE(second, nullptr);
  CFTypeRef stored = Stored("userprefs.cp.pane.a");
  EXPECT_EQ(stored, kCFBooleanTrue);
  if (stored) CFRelease(stored);
  HIViewRef found = nullptr;
  EXPECT_EQ(HIViewFindByID(HIViewGetRoot(window), HIViewID{'PANE', 128}, &found), noErr);
  EXPECT_EQ(found, second);
  EXPECT_EQ(HIViewCountSubviews(target), 1u);
  GetWindowBounds(window, kWindowContentRgn, &content);
  EXPECT_EQ(content.bottom - content.top, 150 + 54);

  EXPECT_EQ(CFPreferencesLoadPane(window, nib, true, "Missing"), nullptr);
  EXPECT_EQ(HIViewCountSubviews(target), 1u);  // the pane stays
  DisposeNibReference(nib);
}

int gFirstCalls = 0;
int gSecondCalls = 0;
OSStatus FirstHandler(EventHandlerCallRef, EventRef, void*) {
  ++gFirstCalls;
  return eventNotHandledErr;
}
OSStatus SecondHandler(EventHandlerCallRef, EventRef, void*) {
  ++gSecondCalls;
  return eventNotHandledErr;
}

TEST_F(ControlPrefsTest, PaneHandlerOfTheFirstInstallServesEveryLaterOne) {
  HIViewRef a = nullptr, b = nullptr, child = nullptr;
  CGRect frame{{0, 0}, {50, 50}};
  HIViewCreate(&frame, &a);
  HIViewCreate(&frame, &b);
  HIViewCreate(&frame, &child);
  HIViewAddSubview(HIViewGetRoot(window), a);
  HIViewAddSubview(HIViewGetRoot(window), b);
  HIViewAddSubview(a, child);
  CFPreferencesInstallPaneHandler(a, FirstHandler, nullptr);
  EXPECT_EQ(Err, noErr);
  CFPreferencesInstallPaneHandler(b, SecondHandler, nullptr);
  DisposeControl(a);  // removing its subview, then its own dispose
  EXPECT_EQ(gFirstCalls, 2);
  DisposeControl(b);
  EXPECT_EQ(gFirstCalls, 3);
  EXPECT_EQ(gSecondCalls, 0);
}

}  // namespace
