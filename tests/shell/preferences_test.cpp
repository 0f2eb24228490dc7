// The application preference window over the shipped interface file and the
// application's real preferences (a file in the test's own configuration
// folder, read back from disk): one window however often it is asked for,
// the six panes with the controls the window looks up, the server list (add,
// edit, rename, delete, the emptied list stored as empty, double-click),
// themes and syntax styles, the terminal's records, the encoding menu and
// the font panel.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppShellTestSupport.h"
#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "DataBrowser.h"
#include "FontPanel.h"
#include "HIViewButtons.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "Preferences.h"
#include "TPreferencesUnit.h"
#include "TextEncodings.h"
#include "brackenrow/Brackenrow.h"

namespace {

using namespace appshell;

CFStringRef S(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }

std::string Text(CFStringRef s) {
  if (s == nullptr) return {};
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

std::string ControlText(ControlRef control) {
  CFStringRef text = HIViewCopyText(control);
  std::string result = Text(text);
  if (text != nullptr) CFRelease(text);
  return result;
}

void SetControlText(ControlRef control, const std::string& text) {
  CFStringRef s = S(text);
  HIViewSetText(control, s);
  CFRelease(s);
}

// The value stored on disk under the application's key (the caller
// releases it); nil when the file or the key is missing.
CFTypeRef StoredValue(const char* name) {
  AppPrefs->Synchronize();
  CFPropertyListRef list = ReadPropertyList(PreferencesFile());
  if (list == nullptr) return nullptr;
  CFStringRef key = S(std::string(kApplicationPreferencesDomain) + name);
  CFTypeRef value = CFDictionaryGetValue(CFDictionaryRef(list), key);
  if (value != nullptr) CFRetain(value);
  CFRelease(key);
  CFRelease(list);
  return value;
}

// The stored servers, decoded.
std::vector<FTPServerInfo> StoredServers(bool* present = nullptr) {
  std::vector<FTPServerInfo> servers;
  CFTypeRef value = StoredValue("FTPServers");
  if (present != nullptr) *present = value != nullptr;
  if (value == nullptr) return servers;
  EXPECT_EQ(CFGetTypeID(value), CFArrayGetTypeID());
  for (CFIndex i = 0; i < CFArrayGetCount(CFArrayRef(value)); ++i) {
    auto data = CFDataRef(CFArrayGetValueAtIndex(CFArrayRef(value), i));
    EXPECT_EQ(CFDataGetLength(data), kFTPServerInfoSize);
    servers.push_back(DecodeFTPServerInfo(CFDataGetBytePtr(data), CFDataGetLength(data)));
  }
  CFRelease(value);
  return servers;
}

std::vector<UInt8> StoredBytes(const char* name) {
  CFTypeRef value = StoredValue(name);
  std::vector<UInt8> bytes;
  if (value != nullptr && CFGetTypeID(value) == CFDataGetTypeID())
    bytes.assign(CFDataGetBytePtr(CFDataRef(value)), CFDataGetBytePtr(CFDataRef(value)) + CFDataGetLength(CFDataRef(value)));
  if (value != nullptr) CFRelease(value);
  return bytes;
}

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartOnce();
    ASSERT_NE(AppResources, nullptr);
    ASSERT_NE(AppResources->PreferencesNib, nullptr) << "the bundle ships the Preferences interface file";
    HeadlessClearLaunchRequests();
    HeadlessClearAlertLog();
    OpenApplicationPreferences();
    window = GetApplicationPreferenceWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->window, nullptr);
  }
  void TearDown() override {
    if (TApplicationPreferenceWindow* open = GetApplicationPreferenceWindow()) {
      SInt32 status = 0;
      open->Close(status);
    }
    ASSERT_EQ(GetApplicationPreferenceWindow(), nullptr) << "closing the window lets it go";
  }

  void Command(UInt32 command) { SendHICommand(GetWindowEventTarget(window->window), command); }
  void ShowPane(const char* label) {
    size_t count = 0;
    const PreferencePaneInfo* panes = PreferencePanes(&count);
    for (size_t i = 0; i < count; ++i)
      if (std::string(panes[i].label) == label) Command(panes[i].command);
    ASSERT_EQ(window->GetActivePane().str(), label);
  }
  ControlRef Control(OSType signature, SInt32 id) {
    ControlRef control = window->PaneControl(signature, id);
    EXPECT_NE(control, nullptr) << "no control '" << FCCToString(signature).str() << "' " << id << " in "
                                << window->GetActivePane().str();
    return control;
  }
  // Chooses the pop-up's item of that text, as a click would, and sends its
  // command.
  void Choose(ControlRef popup, const std::string& title) {
    MenuRef menu = nullptr;
    GetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr);
    ASSERT_NE(menu, nullptr);
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
      CFStringRef item = nullptr;
      CopyMenuItemTextAsCFString(menu, i, &item);
      const bool match = Text(item) == title;
      if (item != nullptr) CFRelease(item);
      if (!match) continue;
      SetControl32BitValue(popup, i);
      if (UInt32 command = 0; GetControlCommandID(popup, &command) == noErr && command != 0) Command(command);
      return;
    }
    FAIL() << "no item " << title;
  }
  std::vector<SInt32> ServerItems() {
    SInt16 count = 0;
    ItemArrayHandle items = GetContainerItems(window->servers->VIEW, 0, count);
    std::vector<SInt32> result;
    if (items != nullptr) {
      result.assign(*items, *items + count);
      DisposeHandle(reinterpret_cast<Handle>(items));
    }
    return result;
  }
  void SelectServer(SInt32 item) {
    const DataBrowserItemID id = DataBrowserItemID(item);
    SetDataBrowserSelectedItems(window->servers->VIEW, 1, &id, kDataBrowserItemsAssign);
  }

  TApplicationPreferenceWindow* window = nullptr;
};

TEST_F(PreferencesTest, OneWindowOfItsKindComesToTheFront) {
  EXPECT_EQ(GetWindowKind(window->window), kPreferencesWindowKind);
  EXPECT_EQ(window->GetActivePane().str(), "General");
  // The menu's command, a second time, through the application.
  SendHICommand(GetApplicationEventTarget(), 'pref');
  EXPECT_EQ(GetApplicationPreferenceWindow(), window);
  int count = 0;
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, false))
    if (GetWindowKind(w) == kPreferencesWindowKind) ++count;
  EXPECT_EQ(count, 1);
  EXPECT_EQ(FrontNonFloatingWindow(), window->window);
}

// Every pane loads, the window takes its height (plus the title bar and the
// toolbar), and the controls the window looks up are there, of their kinds.
TEST_F(PreferencesTest, EveryPaneHasTheControlsTheWindowLooksUp) {
  struct Expect {
    OSType signature;
    SInt32 id;
    OSType kind;  // 0: a view of the program's own classes
  };
  const std::map<std::string, std::vector<Expect>> panes = {
      {"General", {{'ENCO', 128, 'popb'}, {'PREV', 128, 'popb'}}},
      {"Styles",
       {{'THEM', 128, 'popb'}, {'SYNX', 128, 'popb'}, {'THMC', 128, 0}, {'THMC', 129, 0}, {'THMC', 130, 0},
        {'THMC', 131, 0}, {'COLR', 128, 0}, {'COLR', 129, 0}, {'OPTI', 128, 'cbox'}, {'OPTI', 129, 'cbox'},
        {'OPTI', 130, 'cbox'}, {'FONT', 128, 'stxt'}, {'APLY', 128, 'push'}}},
      {"Terminal", {{'COLR', 128, 0}, {'COLR', 129, 0}, {'COLR', 130, 0}, {'COLR', 131, 0}, {'FONT', 128, 'stxt'}}},
      {"Paths", {{'PATH', 128, 'datb'}, {'+PAT', 128, 0}, {'-PAT', 128, 0}}},
      {"Servers",
       {{'SERV', 128, 'datb'}, {'DATA', 128, 'eutx'}, {'DATA', 129, 'eutx'}, {'DATA', 130, 'eutx'},
        {'DATA', 131, 'eutx'}, {'DATA', 132, 'eutx'}, {'DATA', 133, 'eutx'}, {'+SER', 128, 0}, {'-SER', 128, 0}}},
      {"Advanced", {}},
  };
  size_t count = 0;
  const PreferencePaneInfo* order = PreferencePanes(&count);
  ASSERT_EQ(count, 6u);
  std::set<CGFloat> heights;
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(order[i].label);
    ShowPane(order[i].label);
    TPane* pane = window->GetShownPane();
    ASSERT_NE(pane, nullptr);
    // The window's content holds the whole pane: nothing of it is cut off.
    Rect content{};
    GetWindowBounds(window->window, kWindowContentRgn, &content);
    HIRect frame{};
    HIViewGetFrame(pane->paneView, &frame);
    EXPECT_GE(content.bottom - content.top, frame.size.height);
    EXPECT_GE(content.right - content.left, frame.size.width);
    heights.insert(content.bottom - content.top);
    for (const Expect& e : panes.at(order[i].label)) {
      ControlRef control = Control(e.signature, e.id);
      if (control == nullptr) continue;
      if (e.kind != 0) {
        ControlKind kind{};
        GetControlKind(control, &kind);
        EXPECT_EQ(kind.kind, e.kind) << FCCToString(e.signature).str() << " " << e.id;
      } else if (e.signature == 'THMC' || e.signature == 'COLR') {
        RGBColor color{};
        EXPECT_TRUE(GetColorControlValue(control, color)) << "a colour well";
      }
    }
  }
  EXPECT_GT(heights.size(), 3u) << "the window follows each pane's height";
}

// Each key a control of the interface file carries is a key the program
// reads: one the shipped defaults hold, or one the window stores itself.
TEST_F(PreferencesTest, EveryControlKeyIsOneTheProgramKnows) {
  // The shipped defaults with those the start-up adds.
  CFPropertyListRef shipped = ReadPropertyList(BuiltResources() + "/" + kDefaultPreferencesFile);
  ASSERT_NE(shipped, nullptr);
  CFMutableDictionaryRef defaults = CFDictionaryCreateMutableCopy(nullptr, 0, CFDictionaryRef(shipped));
  CFRelease(shipped);
  MyApplication->ModifyDefaultPreferences(defaults);
  const std::set<std::string> own = {"FTPServers", "UserPaths", "GeneralPreviewApplication"};
  size_t count = 0;
  const PreferencePaneInfo* order = PreferencePanes(&count);
  int keys = 0;
  for (size_t i = 0; i < count; ++i) {
    ShowPane(order[i].label);
    std::vector<HIViewRef> stack = {window->GetShownPane()->paneView};
    while (!stack.empty()) {
      HIViewRef view = stack.back();
      stack.pop_back();
      for (HIViewRef child = HIViewGetFirstSubview(view); child != nullptr; child = HIViewGetNextView(child))
        stack.push_back(child);
      char key[256] = {0};
      ByteCount size = 0;
      if (GetControlProperty(view, kPreviewApplicationCreator, 'PREF', sizeof key - 1, &size, key) != noErr) continue;
      ++keys;
      const std::string name(key);
      if (own.count(name)) continue;
      CFStringRef stored = S(kApplicationPreferencesDomain + name);
      EXPECT_NE(CFDictionaryGetValue(defaults, stored), nullptr)
          << order[i].label << ": \"" << name << "\" is no key of the default preferences";
      CFRelease(stored);
    }
  }
  EXPECT_GT(keys, 20);
  CFRelease(defaults);
}

// Servers added, edited, renamed and deleted: what the list shows is what the
// file holds, an emptied list included.
TEST_F(PreferencesTest, ServerListEditsReachTheFile) {
  ShowPane("Servers");
  ASSERT_NE(window->servers, nullptr);
  for (SInt32 item : ServerItems()) {
    SelectServer(item);
    Command(kPreferencesRemoveServerCommand);
  }
  ControlRef host = Control('DATA', kServerHostField);
  ASSERT_NE(host, nullptr);
  EXPECT_FALSE(IsControlEnabled(host)) << "no server is selected";

  Command(kPreferencesAddServerCommand);
  Command(kPreferencesAddServerCommand);
  std::vector<FTPServerInfo> stored = StoredServers();
  ASSERT_EQ(stored.size(), 2u) << "two new servers, each a record of its own";
  for (const FTPServerInfo& s : stored) {
    EXPECT_EQ(s.Name.str(), "untitled");
    EXPECT_EQ(s.PublicFolder.str(), "public_html");
    EXPECT_FALSE(s.Host.empty());
  }

  // The first one's fields, left by choosing the other server.
  const std::vector<SInt32> items = ServerItems();
  ASSERT_EQ(items.size(), 2u);
  SelectServer(items[0]);
  EXPECT_TRUE(IsControlEnabled(host));
  EXPECT_EQ(ControlText(host), stored[0].Host.str());
  const std::string longName(40, 'u'), longPassword = "p@ss:word/" + std::string(30, 'w');
  SetControlText(host, "ftp.one.test");
  SetControlText(Control('DATA', kServerRootFolderField), "www");
  SetControlText(Control('DATA', kServerUserNameField), longName);
  SetControlText(Control('DATA', kServerPasswordField), longPassword);
  SetControlText(Control('DATA', kServerWebAddressField), "one.test");
  SetControlText(Control('DATA', kServerPublicFolderField), "htdocs");
  SelectServer(items[1]);
  EXPECT_EQ(ControlText(host), stored[1].Host.str()) << "the fields show the second server";

  // A rename in the list.
  ASSERT_EQ(SetDataBrowserEditItem(window->servers->VIEW, DataBrowserItemID(items[0]), kServerNameColumn), noErr);
  DataBrowserItemID editing = 0;
  DataBrowserPropertyID property = 0;
  GetDataBrowserEditItem(window->servers->VIEW, &editing, &property);
  ASSERT_EQ(editing, DataBrowserItemID(items[0]));
  CFStringRef renamed = S("Production server with a name longer than sixty-three characters in all");
  SetDataBrowserEditText(window->servers->VIEW, renamed);
  CFRelease(renamed);
  SetDataBrowserEditItem(window->servers->VIEW, 0, 0);

  stored = StoredServers();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].Name.str(), std::string("Production server with a name longer than sixty-three characters in all").substr(0, 63));
  EXPECT_EQ(stored[0].Host.str(), "ftp.one.test");
  EXPECT_EQ(stored[0].RootFolder.str(), "www");
  EXPECT_EQ(stored[0].UserName.str(), longName.substr(0, 31));
  EXPECT_EQ(stored[0].Password.str(), longPassword.substr(0, 31)) << "kept in clear, cut where the record ends";
  EXPECT_EQ(stored[0].WebAddress.str(), "one.test");
  EXPECT_EQ(stored[0].PublicFolder.str(), "htdocs");
  EXPECT_EQ(stored[1].Name.str(), "untitled");
  Str63 name = stored[0].Name;
  FTPServerInfo found;
  EXPECT_TRUE(GetFTPServer(name, found)) << "the server look-ups of other windows see it";

  // Everything deleted: the file says so, and a new window shows none.
  for (SInt32 item : ServerItems()) {
    SelectServer(item);
    Command(kPreferencesRemoveServerCommand);
  }
  bool present = false;
  EXPECT_TRUE(StoredServers(&present).empty());
  EXPECT_TRUE(present) << "an emptied list is stored as an empty array, not left at its old value";
  SInt32 status = 0;
  window->Close(status);
  OpenApplicationPreferences();
  window = GetApplicationPreferenceWindow();
  ASSERT_NE(window, nullptr);
  ShowPane("Servers");
  EXPECT_TRUE(ServerItems().empty());
}

// A field typed into and left when the window changes panes or closes keeps
// its text.
TEST_F(PreferencesTest, ServerFieldIsKeptWhenThePaneCloses) {
  ShowPane("Servers");
  Command(kPreferencesAddServerCommand);
  const std::vector<SInt32> items = ServerItems();
  ASSERT_FALSE(items.empty());
  SelectServer(items.back());
  SetControlText(Control('DATA', kServerHostField), "ftp.left.test");
  ShowPane("General");
  std::vector<FTPServerInfo> stored = StoredServers();
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.back().Host.str(), "ftp.left.test");

  ShowPane("Servers");
  SelectServer(ServerItems().back());
  SetControlText(Control('DATA', kServerHostField), "ftp.closed.test");
  SInt32 status = 0;
  window->Close(status);
  stored = StoredServers();
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.back().Host.str(), "ftp.closed.test");
}

// A host no address can carry is stored as typed and said at once, once.
TEST_F(PreferencesTest, AHostThatIsNoHostNameIsKeptAndSaid) {
  ShowPane("Servers");
  Command(kPreferencesAddServerCommand);
  ASSERT_FALSE(ServerItems().empty());
  SelectServer(ServerItems().back());
  HeadlessClearAlertLog();
  SetControlText(Control('DATA', kServerHostField), "ftp shop.test");
  ShowPane("General");
  std::vector<FTPServerInfo> stored = StoredServers();
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.back().Host.str(), "ftp shop.test");
  ASSERT_EQ(HeadlessCopyAlertLog().size(), 1u);
  const HeadlessAlertRecord alert = HeadlessCopyAlertLog().front();
  EXPECT_NE((alert.error + alert.explanation).find("\"ftp shop.test\""), std::string::npos);
  // Unchanged, it is not said again; a good host says nothing.
  ShowPane("Servers");
  SelectServer(ServerItems().back());
  ShowPane("General");
  EXPECT_EQ(HeadlessCopyAlertLog().size(), 1u);
  ShowPane("Servers");
  SelectServer(ServerItems().back());
  SetControlText(Control('DATA', kServerHostField), "ftp.shop.test:2121");
  ShowPane("General");
  EXPECT_EQ(HeadlessCopyAlertLog().size(), 1u);
  HeadlessClearAlertLog();
}

TEST_F(PreferencesTest, DoubleClickOpensTheServerWithTheDesktopHandler) {
  ShowPane("Servers");
  Command(kPreferencesAddServerCommand);
  const SInt32 item = ServerItems().back();
  SelectServer(item);
  SetControlText(Control('DATA', kServerHostField), "ftp.open.test");
  SetControlText(Control('DATA', kServerRootFolderField), "site");
  window->servers->ItemNotification(nullptr, 0, DataBrowserItemID(item), kDataBrowserItemDoubleClicked);
  const std::vector<HeadlessLaunchRequest> launched = HeadlessCopyLaunchRequests();
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0].url, "ftp://ftp.open.test/site/");
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
}

// Switching themes keeps what the theme shown before was given, under its
// own key; a syntax style likewise within its theme.
TEST_F(PreferencesTest, ThemesAndStylesKeepTheirColours) {
  ShowPane("Styles");
  ControlRef themes = Control('THEM', 128);
  ASSERT_NE(themes, nullptr);
  Choose(themes, "Classic");
  EXPECT_EQ(window->ThemeName().str(), "Classic");
  const RGBColor red{0xFFFF, 0, 0}, green{0, 0x8000, 0};
  SetColorControlValue(Control('THMC', 128), red);  // text
  SetColorControlValue(Control('THMC', 131), green);  // background

  ControlRef styles = Control('SYNX', 128);
  Choose(styles, "Comments");
  SetColorControlValue(Control('COLR', 128), green);
  SetControl32BitValue(Control('OPTI', 128), 1);  // bold
  SetControl32BitValue(Control('OPTI', 129), 0);
  Choose(styles, "Strings");

  Choose(themes, "Midnight");
  EXPECT_EQ(window->ThemeName().str(), "Midnight");
  const std::vector<UInt8> classic = StoredBytes("StylesTheme.Classic");
  ASSERT_EQ(classic.size(), size_t(kSyntaxThemeSize));
  const SyntaxTheme saved = DecodeSyntaxTheme(classic.data(), CFIndex(classic.size()));
  EXPECT_EQ(saved.Name.str(), "Classic");
  EXPECT_EQ(saved.text.red, 0xFFFF);
  EXPECT_EQ(saved.text.green, 0);
  EXPECT_EQ(saved.background.green, 0x8000);
  const std::vector<UInt8> midnightBytes = StoredBytes("StylesTheme.Midnight");
  const SyntaxTheme midnight = DecodeSyntaxTheme(midnightBytes.data(), CFIndex(midnightBytes.size()));
  RGBColor shown{};
  GetColorControlValue(Control('THMC', 128), shown);
  EXPECT_EQ(shown.red, midnight.text.red) << "the wells show the theme chosen";
  EXPECT_EQ(shown.blue, midnight.text.blue);
  CFTypeRef chosen = StoredValue("StylesTheme");
  EXPECT_EQ(StringOf(chosen), "Midnight");
  if (chosen != nullptr) CFRelease(chosen);

  CFTypeRef dictionary = StoredValue("SyntaxStyles.Classic");
  ASSERT_NE(dictionary, nullptr);
  CFStringRef comments = S("Comments");
  auto data = CFDataRef(CFDictionaryGetValue(CFDictionaryRef(dictionary), comments));
  CFRelease(comments);
  ASSERT_NE(data, nullptr);
  ExtendedTextStyle style{};
  ASSERT_TRUE(ExtendedTextStyleFromStoredBytes(CFDataGetBytePtr(data), CFDataGetLength(data), style));
  EXPECT_EQ(style.textColor.green, 0x8000);
  EXPECT_EQ(style.textColor.red, 0);
  EXPECT_TRUE(style.bold);
  EXPECT_FALSE(style.italic);
  CFRelease(dictionary);
}

// A colour picked in a well is the theme's or the terminal's at once, before
// any pane changes: a click on the well runs the picker, then the window
// takes the colour.
TEST_F(PreferencesTest, AColourPickedInAWellIsStoredAtOnce) {
  auto hit = [](ControlRef control) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof control, &control);
    const ControlPartCode part = 1;
    SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SendEventToEventTarget(event, GetControlEventTarget(control));
    ReleaseEvent(event);
  };
  ShowPane("Styles");
  Choose(Control('THEM', 128), "Paper");
  HeadlessClearColorLog();
  HeadlessQueueColorAnswer({true, RGBColor{0x1234, 0x5678, 0x9ABC}});
  hit(Control('THMC', 129));  // caret
  ASSERT_EQ(HeadlessCopyColorLog().size(), 1u) << "the picker ran";
  const std::vector<UInt8> paper = StoredBytes("StylesTheme.Paper");
  ASSERT_EQ(paper.size(), size_t(kSyntaxThemeSize));
  const SyntaxTheme theme = DecodeSyntaxTheme(paper.data(), CFIndex(paper.size()));
  EXPECT_EQ(theme.caret.red, 0x1234);
  EXPECT_EQ(theme.caret.blue, 0x9ABC);

  ShowPane("Terminal");
  HeadlessQueueColorAnswer({true, RGBColor{0xFFFF, 0x8000, 0}});
  hit(Control('COLR', 131));  // cursor
  EXPECT_EQ(StoredBytes("TerminalCursorColor"), (std::vector<UInt8>{0xFF, 0xFF, 0x80, 0, 0, 0}));
  // A cancelled picker changes nothing.
  hit(Control('COLR', 131));
  EXPECT_EQ(StoredBytes("TerminalCursorColor"), (std::vector<UInt8>{0xFF, 0xFF, 0x80, 0, 0, 0}));
}

TEST_F(PreferencesTest, TerminalColoursAndFontMakeItsRecords) {
  ShowPane("Terminal");
  const RGBColor ink{0x1111, 0x2222, 0x3333}, paper{0xEEEE, 0xDDDD, 0xCCCC}, hilite{0, 0, 0xFFFF}, cursor{0xFFFF, 0, 0};
  SetColorControlValue(Control('COLR', 128), ink);
  SetColorControlValue(Control('COLR', 129), paper);
  SetColorControlValue(Control('COLR', 130), hilite);
  SetColorControlValue(Control('COLR', 131), cursor);
  AppPrefs->SetIntegerValue("TerminaFontFamily", 7);
  AppPrefs->SetIntegerValue("TerminaFontSize", 15);
  ShowPane("General");
  const std::vector<UInt8> record = StoredBytes("TerminalStyle");
  ASSERT_EQ(record.size(), 52u);
  EXPECT_EQ(record[0], 0) << "no name";
  const std::vector<UInt8> colours(record.begin() + 32, record.begin() + 44);
  EXPECT_EQ(colours, (std::vector<UInt8>{0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0xEE, 0xEE, 0xDD, 0xDD, 0xCC, 0xCC}))
      << "big-endian colours";
  EXPECT_EQ((std::vector<UInt8>(record.begin() + 44, record.end())),
            (std::vector<UInt8>{0, 7, 0, 15, 0, 0, 0, 0}))
      << "the family and size, then no flags";
  EXPECT_EQ(StoredBytes("TerminaHiliteColor"), (std::vector<UInt8>{0, 0, 0, 0, 0xFF, 0xFF}));
  EXPECT_EQ(StoredBytes("TerminalCursorColor"), (std::vector<UInt8>{0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST_F(PreferencesTest, EncodingMenuListsWhatConvertsAndStoresTheNumber) {
  ControlRef popup = Control('ENCO', 128);
  ASSERT_NE(popup, nullptr);
  MenuRef menu = nullptr;
  GetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr);
  ASSERT_NE(menu, nullptr);
  ItemCount available = 0;
  TECGetAvailableTextEncodings(nullptr, 0, &available);
  EXPECT_EQ(CountMenuItems(menu), UInt16(available));
  UInt32 encoding = 0;
  ASSERT_TRUE(GetTextEncodingMenuValue(popup, encoding));
  EXPECT_EQ(encoding, UInt32(AppPrefs->GetIntegerValue("GeneralFileEncoding"))) << "the stored encoding is chosen";
  MenuItemIndex latin2 = 0;
  std::set<std::string> names;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    UInt32 value = 0;
    ByteCount size = 0;
    ASSERT_EQ(GetMenuItemProperty(menu, i, kTextEncodingPropertyCreator, kTextEncodingPropertyTag, sizeof value, &size, &value), noErr);
    if (value == kCFStringEncodingISOLatin2) latin2 = i;
    CFStringRef title = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &title);
    names.insert(Text(title));
    if (title != nullptr) CFRelease(title);
  }
  EXPECT_EQ(names.size(), size_t(CountMenuItems(menu))) << "every item is named, and differently";
  ASSERT_NE(latin2, 0) << "Central European is there";
  SetControl32BitValue(popup, latin2);
  ShowPane("Styles");
  CFTypeRef stored = StoredValue("GeneralFileEncoding");
  ASSERT_NE(stored, nullptr);
  SInt32 number = 0;
  CFNumberGetValue(CFNumberRef(stored), kCFNumberSInt32Type, &number);
  EXPECT_EQ(UInt32(number), UInt32(kCFStringEncodingISOLatin2)) << "an integer, not the item's text";
  CFRelease(stored);
  AppPrefs->SetIntegerValue("GeneralFileEncoding", SInt32(kCFStringEncodingUTF8));
}

// The font panel's choice, while the Styles pane shows, is the editor's font;
// while the Terminal pane shows, the terminal's.
TEST_F(PreferencesTest, FontPanelChoiceGoesToThePaneShown) {
  struct Case {
    const char* pane;
    const char* familyKey;
    const char* sizeKey;
    SInt16 size;
  };
  const FMFontFamily family = FMGetFontFamilyFromName(Str255("Monospace"));
  for (const Case& c : {Case{"Styles", "StylesEditorFontFamily", "StylesEditorFontSize", 19},
                        Case{"Terminal", "TerminaFontFamily", "TerminaFontSize", 13}}) {
    SCOPED_TRACE(c.pane);
    ShowPane(c.pane);
    EventRef event = nullptr;
    ASSERT_EQ(CreateEvent(nullptr, kEventClassFont, kEventFontSelection, 0, kEventAttributeNone, &event), noErr);
    const FMFontStyle style = 0;
    const FMFontSize size = c.size;
    SetEventParameter(event, kEventParamFMFontFamily, typeFMFontFamily, sizeof family, &family);
    SetEventParameter(event, kEventParamFMFontStyle, typeFMFontStyle, sizeof style, &style);
    SetEventParameter(event, kEventParamFMFontSize, typeFMFontSize, sizeof size, &size);
    SendEventToEventTarget(event, GetApplicationEventTarget());
    ReleaseEvent(event);
    EXPECT_EQ(AppPrefs->GetIntegerValue(c.sizeKey), c.size);
    EXPECT_EQ(AppPrefs->GetIntegerValue(c.familyKey), family);
    Str255 name;
    ASSERT_TRUE(FMGetFontFamilyName(family, name.data()));
    EXPECT_EQ(ControlText(Control('FONT', 128)), name.str() + " " + std::to_string(c.size) + " pt");
  }
}

}  // namespace
