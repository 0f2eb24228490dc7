// Controls bound to preference keys: what each kind shows and stores, a pane
// made from an interface file that stores each control as it leaves and
// writes its handler when it goes, and a window that manages its controls'
// preferences itself.
#include <gtest/gtest.h>

#include "FrameworkFixtures.h"
#include "TPreferencePaneUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

#include <string>
#include <vector>

namespace {

struct Controls {
  HIViewRef edit, check, popup, slider;
  explicit Controls(WindowRef w)
      : edit(HIViewFind(1, 'EDIT', w)), check(HIViewFind(2, 'CHEK', w)), popup(HIViewFind(3, 'POPU', w)),
        slider(HIViewFind(5, 'SLID', w)) {}
};

std::string Text(HIViewRef view) { return HIViewGetText(view).str(); }

class TPreferencePaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("panetest.");
    for (const char* key : {"Name", "Wrap", "Mode", "Size"}) prefs->RemoveValue(key);
  }
  void TearDown() override {
    prefs->Release();
    DisposeAllWindows();
  }
  TPreferenceHandler* prefs = nullptr;
};

TEST_F(TPreferencePaneTest, ControlsShowTheStoredValuesByKind) {
  struct Case {
    const char* name;
    const char* storedName;  // nullptr: not stored
    int storedWrap;          // -1: not stored
    const char* storedMode;
    std::string text;
    SInt32 check, item;
  } cases[] = {
      {"stored", "hello", 0, "passive", "hello", 0, 2},
      // An empty text keeps the control's; a text no item has keeps the
      // item; a missing Boolean reads true.
      {"empty or unknown", "", -1, "Missing", "initial", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.storedName) prefs->SetStringValue("Name", c.storedName);
    if (c.storedWrap >= 0) prefs->SetBooleanValue("Wrap", c.storedWrap != 0);
    prefs->SetStringValue("Mode", c.storedMode);
    prefs->SetIntegerValue("Size", 42);
    WindowRef w = nullptr;
    ASSERT_EQ(CreateWindowFromNib(FixtureNib(), CFSTR("Document"), &w), noErr);
    Controls k(w);
    SetControl32BitValue(k.check, 1);
    TPreferencePaneApply(HIViewGetRoot(w), prefs);
    EXPECT_EQ(Text(k.edit), c.text);
    EXPECT_EQ(GetControl32BitValue(k.check), c.check);
    EXPECT_EQ(GetControl32BitValue(k.popup), c.item);
    EXPECT_EQ(GetControl32BitValue(k.slider), 42);
    DisposeWindow(w);
    for (const char* key : {"Name", "Wrap", "Mode", "Size"}) prefs->RemoveValue(key);
  }
}

TEST_F(TPreferencePaneTest, ControlsStoreTheirValuesByKind) {
  WindowRef w = nullptr;
  ASSERT_EQ(CreateWindowFromNib(FixtureNib(), CFSTR("Document"), &w), noErr);
  Controls k(w);
  HIViewSetText(k.edit, CFSTR("typed"));
  SetControl32BitValue(k.check, 2);  // mixed counts as on
  SetControl32BitValue(k.popup, 2);
  SetControl32BitValue(k.slider, 7);
  TPreferencePaneRetrieve(HIViewGetRoot(w), prefs);
  EXPECT_EQ(prefs->GetStringValue("Name"), Str255("typed"));
  EXPECT_TRUE(prefs->GetBooleanValue("Wrap"));
  EXPECT_EQ(prefs->GetStringValue("Mode"), Str255("Passive"));  // the item's text, not its index
  EXPECT_EQ(prefs->GetIntegerValue("Size"), 7);
  SetControl32BitValue(k.check, 0);
  TPreferencePaneRetrieve(HIViewGetRoot(w), prefs);
  EXPECT_FALSE(prefs->GetBooleanValue("Wrap"));
  DisposeWindow(w);
}

TEST_F(TPreferencePaneTest, AWindowFillsAndStoresItsControls) {
  prefs->SetStringValue("Name", "from before");
  auto* window = new TWindow();
  window->SetOptions(kTWindowOptionsAutoManagePreferences);
  window->SetPreferences(prefs);
  window->Create("Document", FixtureNib());
  Controls k(window->window);
  EXPECT_EQ(Text(k.edit), "from before");
  HIViewSetText(k.edit, CFSTR("after"));
  window->Remove();
  EXPECT_EQ(prefs->GetStringValue("Name"), Str255("after"));
}

// What reached the generic hooks (kept outside the pane, which frees itself
// with its view).
std::vector<std::string> gHooks;

class TRecordingPane : public TPreferencePane {
 public:
  void RestoreValue(ControlRef, const ControlKind&, const Str255& key) override {
    gHooks.push_back("restored " + key.str());
  }
  void SetValue(ControlRef, const ControlKind&, const Str255& key) override { gHooks.push_back("stored " + key.str()); }
};

TEST(TPreferencePaneFileTest, APaneShowsItsValuesStoresEachControlAsItLeavesAndWritesWhenItGoes) {
  ScratchFolder folder;
  folder.Write("pane.plist", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                             "<key>GeneralName</key><string>from the file</string></dict></plist>\n");
  auto* prefs = new TPreferenceHandlerFile();
  prefs->SetFile(folder.Ref("pane.plist"));
  gHooks.clear();
  auto* pane = new TRecordingPane();
  pane->SetHandler(prefs);
  pane->Create("General", FixtureNibNamed("Preferences"));
  ASSERT_NE(pane->paneView, nullptr);
  EXPECT_EQ(pane->GetClassString(), Str255("TPreferencePane"));
  HIViewRef name = HIViewFind(1, 'GNRL', pane->nibWindow), group = HIViewFind(3, 'GNRL', pane->nibWindow),
            mode = HIViewFind(4, 'GNRL', pane->nibWindow);
  EXPECT_EQ(Text(name), "from the file");
  EXPECT_EQ(gHooks, (std::vector<std::string>{"restored GeneralName", "restored GeneralWrap", "restored GeneralMode"}));

  // A group taken out of the pane stores the controls inside it at once.
  gHooks.clear();
  SetControl32BitValue(mode, 2);
  HIViewRemoveFromSuperview(group);
  EXPECT_EQ(gHooks, std::vector<std::string>{"stored GeneralMode"});
  EXPECT_EQ(prefs->GetStringValue("GeneralMode"), Str255("Passive"));
  DisposeControl(group);

  // The pane view goes: the rest is stored and the file written.
  gHooks.clear();
  HIViewSetText(name, CFSTR("typed"));
  DisposeControl(pane->paneView);
  EXPECT_EQ(gHooks, (std::vector<std::string>{"stored GeneralName", "stored GeneralWrap"}));
  prefs->Release();
  auto* again = new TPreferenceHandlerFile();
  again->SetFile(folder.Ref("pane.plist"));
  EXPECT_EQ(again->GetStringValue("GeneralName"), Str255("typed"));
  EXPECT_EQ(again->GetStringValue("GeneralMode"), Str255("Passive"));
  again->Release();
  DisposeAllWindows();
}

TEST(TPreferencePaneFileTest, WithoutAHandlerOnlyTheGenericHooksRun) {
  gHooks.clear();
  auto* pane = new TRecordingPane();
  pane->Create("General", FixtureNibNamed("Preferences"));
  ASSERT_NE(pane->paneView, nullptr);
  HIViewRef name = HIViewFind(1, 'GNRL', pane->nibWindow);
  EXPECT_EQ(Text(name), "initial");
  EXPECT_EQ(gHooks.size(), 3u);
  gHooks.clear();
  pane->Close();
  EXPECT_EQ(gHooks, (std::vector<std::string>{"stored GeneralName", "stored GeneralWrap", "stored GeneralMode"}));
  DisposeAllWindows();
}

}  // namespace
