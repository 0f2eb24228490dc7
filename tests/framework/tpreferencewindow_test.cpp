// The preference window over a real interface file and a real preference
// file: the toolbar's commands switch panes, each switch stores the pane
// that goes and shows the stored values in the pane that comes, the window
// takes each pane's height, and closing stores the pane shown so that the
// values are there after a restart. Then the two list editors: strings
// edited in the caller's array, and records round-tripping through a
// preference array, including the list the user emptied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "DataBrowser.h"
#include "FrameworkFixtures.h"
#include "HIToolbar.h"
#include "MacMemory.h"
#include "TPreferenceWindowUnit.h"
#include "TPreferencesUnit.h"

namespace {

IBNibRef PreferencesNib() { return FixtureNibNamed("Preferences"); }

constexpr UInt32 kGeneral = 'Gnrl', kServers = 'Srvr';

std::string Text(HIViewRef view) { return HIViewGetText(view).str(); }

SInt16 ContentHeight(WindowRef window) {
  Rect content{};
  GetWindowBounds(window, kWindowContentRgn, &content);
  return SInt16(content.bottom - content.top);
}

// The preference file of one run: a handler bound to it, and a new one for
// the next run.
struct PreferenceFile {
  ScratchFolder folder;
  FSRef ref{};
  PreferenceFile() {
    folder.Write("Settings.plist",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict></dict></plist>\n");
    ref = folder.Ref("Settings.plist");
  }
  TPreferenceHandlerFile* Open() const {
    auto* handler = new TPreferenceHandlerFile();
    handler->SetFile(ref);
    return handler;
  }
};

class TTestPreferenceWindow : public TPreferenceWindow {
 public:
  std::vector<std::string> log;
  void ClosePane(const Str255& label) override { log.push_back("close " + label.str()); }
  void SetupPane(const Str63& name, TPane* pane) override {
    log.push_back("setup " + name.str() + (pane != nullptr && pane->paneView != nullptr ? "" : " ?"));
  }
  void SetPaneValues(const Str255& label, TPreferenceHandler* handler) override {
    log.push_back("values " + label.str() + (handler == preferences ? "" : " ?"));
  }
  void SetValue(ControlRef, TPreferenceHandler* handler, const Str255& key) override {
    log.push_back("stored " + key.str() + (handler == preferences ? "" : " ?"));
  }
  void RestoreValue(ControlRef, const Str255& key) override { log.push_back("restored " + key.str()); }
  void HandleMenuPreference(const Str255& key, ControlRef) override { log.push_back("menu " + key.str()); }
  void HandleTextPreference(const Str255& key, ControlRef) override { log.push_back("text " + key.str()); }
};

TTestPreferenceWindow* OpenWindow(TPreferenceHandler* handler) {
  auto* window = new TTestPreferenceWindow();
  window->SetToolbarIdentifier("com.brindlecote.test.settings");
  window->AddPane('macs', 'APLP', kGeneral, "General", "General");
  window->AddPane('macs', 'ilft', kServers, "Servers", "Servers");
  window->SetPreferences(handler);
  window->Create("Preferences", PreferencesNib());
  return window;
}

HIViewRef Find(TPreferenceWindow* window, OSType signature, SInt32 id) {
  return HIViewFind(id, signature, window->window);
}

// The command of each toolbar item that shows as chosen.
std::vector<std::string> SelectedItems(WindowRef window) {
  std::vector<std::string> out;
  HIToolbarRef toolbar = nullptr;
  GetWindowToolbar(window, &toolbar);
  CFArrayRef items = nullptr;
  if (toolbar == nullptr || HIToolbarCopyItems(toolbar, &items) != noErr) return out;
  for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
    auto item = static_cast<HIToolbarItemRef>(const_cast<void*>(CFArrayGetValueAtIndex(items, i)));
    OptionBits attributes = 0;
    HIToolbarItemGetAttributes(item, &attributes);
    MenuCommand command = 0;
    HIToolbarItemGetCommandID(item, &command);
    if (attributes & kHIToolbarItemSelected) out.push_back(FourCC(command));
  }
  CFRelease(items);
  return out;
}

class TPreferenceWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { DisposeAllWindows(); }
};

TEST_F(TPreferenceWindowTest, ToolbarCommandsSwitchPanesStoringAndRestoringValuesAndResizing) {
  PreferenceFile file;
  TPreferenceHandler* prefs = file.Open();
  prefs->SetStringValue("GeneralName", "stored name");
  prefs->SetStringValue("GeneralMode", "Passive");
  prefs->SetStringValue("ServersHost", "ftp.one.test");

  TTestPreferenceWindow* window = OpenWindow(prefs);
  ASSERT_NE(window->window, nullptr);
  WindowRef w = window->window;
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(window->GetActivePane(), Str255("General"));
  EXPECT_EQ(SelectedItems(w), std::vector<std::string>{"Gnrl"});
  EXPECT_EQ(ContentHeight(w), 150);
  EXPECT_EQ(Text(Find(window, 'GNRL', 1)), "stored name");
  // The pop-up lies inside a group box: it is bound all the same.
  EXPECT_EQ(GetControl32BitValue(Find(window, 'GNRL', 4)), 2);

  // The user's edits, then the Servers button.
  HIViewSetText(Find(window, 'GNRL', 1), CFSTR("typed"));
  SetControl32BitValue(Find(window, 'GNRL', 2), 0);
  SetControl32BitValue(Find(window, 'GNRL', 4), 1);
  SendHICommand(GetWindowEventTarget(w), kServers);
  EXPECT_EQ(window->GetActivePane(), Str255("Servers"));
  EXPECT_EQ(SelectedItems(w), std::vector<std::string>{"Srvr"});
  EXPECT_EQ(ContentHeight(w), 260);
  EXPECT_EQ(Find(window, 'GNRL', 1), nullptr);
  EXPECT_EQ(Text(Find(window, 'SRVR', 2)), "ftp.one.test");
  EXPECT_EQ(prefs->GetStringValue("GeneralName"), Str255("typed"));
  EXPECT_FALSE(prefs->GetBooleanValue("GeneralWrap"));
  EXPECT_EQ(prefs->GetStringValue("GeneralMode"), Str255("Active"));

  // Back to General: the edits come back from the preferences.
  SendHICommand(GetWindowEventTarget(w), kGeneral);
  EXPECT_EQ(ContentHeight(w), 150);
  EXPECT_EQ(Text(Find(window, 'GNRL', 1)), "typed");
  EXPECT_EQ(GetControl32BitValue(Find(window, 'GNRL', 2)), 0);
  EXPECT_EQ(GetControl32BitValue(Find(window, 'GNRL', 4)), 1);

  // A command no pane has changes nothing.
  window->log.clear();
  SendHICommand(GetWindowEventTarget(w), 'none');
  EXPECT_TRUE(window->log.empty());
  EXPECT_EQ(window->GetActivePane(), Str255("General"));

  window->Remove();
  prefs->Release();
}

TEST_F(TPreferenceWindowTest, ASwitchLetsTheSubclassStoreFirstAndTheSameButtonReloadsThePane) {
  PreferenceFile file;
  TPreferenceHandler* prefs = file.Open();
  TTestPreferenceWindow* window = OpenWindow(prefs);
  EXPECT_EQ(window->log, (std::vector<std::string>{"restored GeneralName", "restored GeneralWrap",
                                                   "restored GeneralMode", "setup General"}));
  window->log.clear();
  SendHICommand(GetWindowEventTarget(window->window), kServers);
  EXPECT_EQ(window->log, (std::vector<std::string>{"close General", "values General", "stored GeneralName",
                                                   "stored GeneralWrap", "stored GeneralMode",
                                                   "restored ServersHost", "setup Servers"}));
  window->log.clear();
  HIViewSetText(Find(window, 'SRVR', 2), CFSTR("ftp.two.test"));
  SendHICommand(GetWindowEventTarget(window->window), kServers);
  EXPECT_EQ(window->log, (std::vector<std::string>{"close Servers", "values Servers", "stored ServersHost",
                                                   "restored ServersHost", "setup Servers"}));
  EXPECT_EQ(Text(Find(window, 'SRVR', 2)), "ftp.two.test");
  window->Remove();
  prefs->Release();
}

TEST_F(TPreferenceWindowTest, ClosingStoresThePaneShownAndTheValuesSurviveARestart) {
  PreferenceFile file;
  TPreferenceHandler* prefs = file.Open();
  TTestPreferenceWindow* window = OpenWindow(prefs);
  HIViewSetText(Find(window, 'GNRL', 1), CFSTR("kept"));
  SetControl32BitValue(Find(window, 'GNRL', 4), 2);
  SendHICommand(GetWindowEventTarget(window->window), kHICommandTWindowClose);
  EXPECT_EQ(GetWindowList(), nullptr);
  prefs->Release();

  TPreferenceHandler* next = file.Open();
  EXPECT_EQ(next->GetStringValue("GeneralName"), Str255("kept"));
  EXPECT_EQ(next->GetStringValue("GeneralMode"), Str255("Passive"));
  TTestPreferenceWindow* again = OpenWindow(next);
  EXPECT_EQ(Text(Find(again, 'GNRL', 1)), "kept");
  again->Remove();
  next->Release();
}

TEST_F(TPreferenceWindowTest, TrackedControlsReportMenuHitsAndAcceptedText) {
  PreferenceFile file;
  TPreferenceHandler* prefs = file.Open();
  TTestPreferenceWindow* window = OpenWindow(prefs);
  HIViewRef name = Find(window, 'GNRL', 1), mode = Find(window, 'GNRL', 4);
  window->EnableViewInputTracking(name);
  window->EnableViewInputTracking(mode);
  window->log.clear();
  auto send = [](HIViewRef control, UInt32 eventClass, UInt32 kind) {
    EventRef event = nullptr;
    CreateEvent(nullptr, eventClass, kind, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof control, &control);
    if (eventClass == kEventClassControl) {
      ControlPartCode part = kControlMenuPart;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    }
    SendEventToEventTarget(event, HIViewGetEventTarget(control));
    ReleaseEvent(event);
  };
  send(mode, kEventClassControl, kEventControlHit);
  send(name, kEventClassTextField, kEventTextAccepted);
  EXPECT_EQ(window->log, (std::vector<std::string>{"menu GeneralMode", "text GeneralName"}));
  window->Remove();
  prefs->Release();
}

// ---------------------------------------------------------------------------
// List editors

class ListEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateWindowFromNib(PreferencesNib(), CFSTR("Servers"), &window), noErr);
    list = HIViewFind(1, 'SRVR', window);
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override { DisposeAllWindows(); }

  std::vector<DataBrowserItemID> Rows() {
    std::vector<DataBrowserItemID> rows;
    UInt32 count = 0;
    GetDataBrowserItemCount(list, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &count);
    for (UInt32 i = 0; i < count; ++i) {
      DataBrowserItemID item = 0;
      GetDataBrowserTableViewItemID(list, i, &item);
      rows.push_back(item);
    }
    return rows;
  }
  // The user types a new text into the row's cell.
  void Edit(DataBrowserItemID item, const char* text) {
    ASSERT_EQ(SetDataBrowserEditItem(list, item, 'NAME'), noErr);
    CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    SetDataBrowserEditText(list, s);
    CFRelease(s);
    SetDataBrowserEditItem(list, kDataBrowserNoItem, 0);
  }
  // The user selects every row and deletes them.
  void DeleteAll(TBrowser* browser) {
    std::vector<DataBrowserItemID> rows = Rows();
    SetDataBrowserSelectedItems(list, UInt32(rows.size()), rows.data(), kDataBrowserItemsAssign);
    BrackenrowClearSelection(true, browser->VIEW);
  }

  WindowRef window = nullptr;
  ControlRef list = nullptr;
};

std::string Utf8(CFStringRef s) {
  char buffer[256] = {0};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

TEST_F(ListEditorTest, EditingAStringRowChangesTheCallersArrayInPlace) {
  CFMutableArrayRef strings = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const char* s : {"alpha", "beta"}) {
    CFMutableStringRef m = CFStringCreateMutable(nullptr, 0);
    CFStringAppendCString(m, s, kCFStringEncodingUTF8);
    CFArrayAppendValue(strings, m);
    CFRelease(m);
  }
  auto* browser = new TCFArrayBrowser();
  browser->SetArray(strings);
  browser->Create(list);
  browser->Populate();
  ASSERT_EQ(Rows().size(), 2u);
  Edit(Rows()[1], "gamma");
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 0))), "alpha");
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 1))), "gamma");
  // The strings stay the caller's when the list goes.
  DisposeWindow(window);
  window = nullptr;
  EXPECT_EQ(CFArrayGetCount(strings), 2);
  CFRelease(strings);
}

// Four-byte records kept big-endian when stored.
class RecordBrowser : public TPreferenceArrayBrowser {
 public:
  std::vector<int> directions;
  void ByteSwapper(Ptr record, SInt16 direction) override {
    directions.push_back(direction);
    std::swap(record[0], record[3]);
    std::swap(record[1], record[2]);
  }
  void SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID,
                   DataBrowserItemDataRef itemData) override {
    CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%d"), *static_cast<SInt32*>(data));
    SetDataBrowserItemDataText(itemData, s);
    CFRelease(s);
  }
};

CFDataRef BigEndian(UInt32 value) {
  const UInt8 bytes[4] = {UInt8(value >> 24), UInt8(value >> 16), UInt8(value >> 8), UInt8(value)};
  return CFDataCreate(nullptr, bytes, 4);
}

std::vector<std::string> StoredBytes(TPreferenceHandler* prefs, const char* key) {
  std::vector<std::string> out;
  CFTypeRef value = prefs->GetTypeValue(key);
  if (value == nullptr) return {"<none>"};
  auto array = static_cast<CFArrayRef>(value);
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(array, i));
    std::string hex;
    for (CFIndex b = 0; b < CFDataGetLength(data); ++b) hex += std::to_string(CFDataGetBytePtr(data)[b]) + ".";
    out.push_back(hex);
  }
  CFRelease(value);
  return out;
}

TEST_F(ListEditorTest, RecordsRoundTripThroughThePreferenceArrayAndAnEmptiedListStaysEmpty) {
  PreferenceFile file;
  TPreferenceHandler* prefs = file.Open();
  CFDataRef items[] = {BigEndian(7), BigEndian(0x01020304)};
  CFArrayRef stored = CFArrayCreate(nullptr, reinterpret_cast<const void**>(items), 2, &kCFTypeArrayCallBacks);
  prefs->SetTypeValue("Records", stored);
  CFRelease(stored);
  for (CFDataRef d : items) CFRelease(d);

  auto* browser = new RecordBrowser();
  browser->SetPreferences(prefs, "Records");
  browser->SetOptions(kBrackenrowAllocateTree);
  browser->Create(list);
  browser->Populate();
  browser->Populate();  // filled again: the same two rows
  // Read into the host's order.
  ASSERT_EQ(Rows().size(), 2u);
  EXPECT_EQ(*static_cast<SInt32*>(BrackenrowGetNodeAtIndex(SInt32(Rows()[0]), list)->DATA), 7);
  EXPECT_EQ(*static_cast<SInt32*>(BrackenrowGetNodeAtIndex(SInt32(Rows()[1]), list)->DATA), 0x01020304);
  // Stored in order, back in the stored order, leaving the rows as they are.
  browser->directions.clear();
  browser->Synchronize();
  EXPECT_EQ(browser->directions, (std::vector<int>{1, 1}));
  EXPECT_EQ(StoredBytes(prefs, "Records"), (std::vector<std::string>{"0.0.0.7.", "1.2.3.4."}));
  EXPECT_EQ(*static_cast<SInt32*>(BrackenrowGetNodeAtIndex(SInt32(Rows()[0]), list)->DATA), 7);

  // The user deletes every row: after a restart the list is empty.
  DeleteAll(browser);
  EXPECT_TRUE(Rows().empty());
  browser->Synchronize();
  prefs->Synchronize();
  prefs->Release();
  TPreferenceHandler* next = file.Open();
  EXPECT_EQ(StoredBytes(next, "Records"), std::vector<std::string>{});
  next->Release();
}

}  // namespace
