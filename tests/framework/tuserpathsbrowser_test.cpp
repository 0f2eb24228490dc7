// The user-paths list over a real list view and a real preference file: the
// stored records as rows, what the user changes (the enabled box, the path,
// the kind from its menu, new rows) stored back, the folder chosen for a
// path kept relative to its kind's base or refused, and the enabled paths as
// the rest of the program reads them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataBrowser.h"
#include "FrameworkFixtures.h"
#include "HeadlessHost.h"
#include "MenuInternal.h"
#include "TPreferencesUnit.h"
#include "TUserPathsBrowserUnit.h"

namespace {

TEST(UserPathRelativeTest, APathIsRelativeOnlyInsideItsBase) {
  struct Case {
    const char* path;
    const char* base;
    bool relative;
    const char* result;
  } cases[] = {
      {"/A/B/web", "/A/B", true, "/web"},
      {"/A/B/web/", "/A/B/", true, "/web"},
      {"/A/B", "/A/B", true, ""},
      {"/A/BC/x", "/A/B", false, ""},   // a longer name that starts like the base
      {"/X/A/B/y", "/A/B", false, ""},  // the base further in
      {"/A", "/A/B", false, ""},
      {"/srv/www", "/", true, "/srv/www"},
      {"/srv/www", "", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " in " + c.base);
    Str255 relative("unchanged");
    EXPECT_EQ(bool(UserPathMakeRelative(c.path, c.base, relative)), c.relative);
    if (c.relative) EXPECT_EQ(relative.str(), c.result);
  }
}

std::vector<std::string> Strings(CFArrayRef array) {
  std::vector<std::string> out;
  for (CFIndex i = 0; array != nullptr && i < CFArrayGetCount(array); ++i) {
    char buffer[300] = {0};
    CFStringGetCString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i)), buffer, sizeof buffer,
                       kCFStringEncodingUTF8);
    out.push_back(buffer);
  }
  return out;
}

Str255 Bracketed(const Str255& path, SInt16 kind, void* context) {
  return Str255(std::string(static_cast<const char*>(context)) + std::to_string(kind) + ":" + path.str());
}

class UserPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    HeadlessClearMenuChoices();
    HeadlessClearMenuLog();
    HeadlessClearAlertLog();
    folder.Write("Settings.plist",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict></dict></plist>\n");
    prefs = Open();
    ASSERT_EQ(CreateWindowFromNib(FixtureNibNamed("Preferences"), CFSTR("Paths"), &window), noErr);
    ShowWindow(window);
    list = HIViewFind(1, 'PATH', window);
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override {
    if (prefs != nullptr) prefs->Release();
    DisposeAllWindows();
    HeadlessClearNavAnswers();
    HeadlessClearMenuChoices();
  }

  TPreferenceHandler* Open() {
    auto* handler = new TPreferenceHandlerFile();
    handler->SetFile(folder.Ref("Settings.plist"));
    return handler;
  }
  void Store(std::vector<CFDataRef> records) {
    CFArrayRef array =
        CFArrayCreate(nullptr, reinterpret_cast<const void**>(records.data()), CFIndex(records.size()),
                      &kCFTypeArrayCallBacks);
    prefs->SetTypeValue("UserPaths", array);
    CFRelease(array);
    for (CFDataRef r : records) CFRelease(r);
  }
  std::vector<UserPathInfo> Stored(TPreferenceHandler* handler, std::vector<CFIndex>* sizes = nullptr) {
    std::vector<UserPathInfo> out;
    CFTypeRef value = handler->GetTypeValue("UserPaths");
    if (value == nullptr) return out;
    auto array = static_cast<CFArrayRef>(value);
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
      auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(array, i));
      out.push_back(DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data)));
      if (sizes != nullptr) sizes->push_back(CFDataGetLength(data));
    }
    CFRelease(value);
    return out;
  }
  std::vector<DataBrowserItemID> Rows() {
    std::vector<DataBrowserItemID> rows;
    for (DataBrowserTableViewRowIndex r = 0;; ++r) {
      DataBrowserItemID id = 0;
      if (GetDataBrowserTableViewItemID(list, r, &id) != noErr) return rows;
      rows.push_back(id);
    }
  }
  // A click inside the row's cell of the column, dx from the cell's left edge.
  void Click(DataBrowserItemID item, DataBrowserPropertyID property, CGFloat dx, UInt32 clicks = 1) {
    Rect r{};
    ASSERT_EQ(GetDataBrowserItemPartBounds(list, item, property, kDataBrowserPropertyEnclosingPart, &r), noErr);
    HIPoint p{CGFloat(r.left) + dx, CGFloat(r.top + r.bottom) / 2};
    HIViewConvertPoint(&p, nullptr, list);
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlClick, 0, 0, &e);
    UInt32 modifiers = 0;
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof list, &list);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
    SendEventToEventTarget(e, GetControlEventTarget(list));
    ReleaseEvent(e);
  }
  void EditPath(DataBrowserItemID item, const char* text) {
    ASSERT_EQ(SetDataBrowserEditItem(list, item, kUserPathTextColumn), noErr);
    CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    SetDataBrowserEditText(list, s);
    CFRelease(s);
    SetDataBrowserEditItem(list, kDataBrowserNoItem, 0);
  }
  UserPathInfo RowRecord(DataBrowserItemID item) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), list);
    return node != nullptr ? DecodeUserPathInfo(static_cast<const UInt8*>(node->DATA), node->DATALENGTH)
                           : UserPathInfo{};
  }

  ScratchFolder folder;
  TPreferenceHandler* prefs = nullptr;
  WindowRef window = nullptr;
  ControlRef list = nullptr;
};

TEST_F(UserPathsTest, TheUsersChangesToTheRowsAreStoredAndReadBackAfterARestart) {
  CFDataRef shortItem = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>("\1\5short"), 7);
  Store({NewUserPath("/Sources", kUserPathProject), NewUserPath("http://old.test", kUserPathURL, false), shortItem});
  TUserPathsBrowser* browser = CreateUserPathsBrowser(list, "UserPaths", prefs);
  browser->SetPathOptions(UserPathOption(kUserPathProject) | UserPathOption(kUserPathLocalhost));
  std::vector<DataBrowserItemID> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(RowRecord(rows[0]).path, Str255("/Sources"));
  // An item cut short is a whole record, the bytes it lacks zero (it keeps
  // what it had).
  EXPECT_EQ(BrackenrowGetNodeAtIndex(SInt32(rows[2]), list)->DATALENGTH, kUserPathInfoSize);

  Click(rows[1], kUserPathEnabledColumn, 4);  // the box: enabled now
  EditPath(rows[0], "/Web");
  // The kind menu: all six kinds, only those of the options enabled, the
  // row's own checked; Localhost chosen.
  HeadlessQueueMenuChoice(nullptr, kUserPathLocalhost);
  Click(rows[0], 'KIND', 10);
  auto shown = HeadlessCopyMenuLog();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].enabled, (std::vector<bool>{false, false, true, false, false, true}));
  // A kind outside the options is refused.
  HeadlessQueueMenuChoice(nullptr, kUserPathRoot);
  Click(rows[1], 'KIND', 10);
  browser->AddEmptyPath();
  browser->AddPath("/srv", kUserPathSystem);

  browser->Synchronize();
  prefs->Synchronize();
  prefs->Release();
  prefs = Open();
  std::vector<CFIndex> sizes;
  std::vector<UserPathInfo> stored = Stored(prefs, &sizes);
  ASSERT_EQ(stored.size(), 5u);
  struct Expected {
    bool enabled;
    const char* path;
    SInt16 kind;
  } expected[] = {{true, "/Web", kUserPathLocalhost},
                  {true, "http://old.test", kUserPathURL},
                  {true, "short", 0},
                  {true, "http://", kUserPathURL},
                  {true, "/srv", kUserPathSystem}};
  for (size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sizes[i], kUserPathInfoSize);
    EXPECT_EQ(bool(stored[i].enabled), expected[i].enabled);
    EXPECT_EQ(stored[i].path.str(), expected[i].path);
    EXPECT_EQ(stored[i].kind, expected[i].kind);
  }
  // The rest of the program reads the enabled ones, through its formatter.
  CFArrayRef paths = CopyUserPathsArray(prefs, "UserPaths", Bracketed, const_cast<char*>("@"));
  EXPECT_EQ(Strings(paths), (std::vector<std::string>{"@6:/Web", "@2:http://old.test", "@0:short", "@2:http://", "@5:/srv"}));
  CFRelease(paths);
  paths = CopyUserPathsArray(prefs, "UserPaths", nullptr, nullptr);
  EXPECT_EQ(Strings(paths), (std::vector<std::string>{"/Web", "http://old.test", "short", "http://", "/srv"}));
  CFRelease(paths);
}

TEST_F(UserPathsTest, NoEnabledPathReadsAsNone) {
  Store({NewUserPath("/a", kUserPathProject, false), NewUserPath("/b", kUserPathSystem, false)});
  EXPECT_EQ(CopyUserPathsArray(prefs, "UserPaths", nullptr, nullptr), nullptr);
  EXPECT_EQ(CopyUserPathsArray(prefs, "Missing", nullptr, nullptr), nullptr);
  EXPECT_EQ(CopyUserPathsArray(nullptr, "UserPaths", nullptr, nullptr), nullptr);
}

TEST_F(UserPathsTest, AChosenFolderIsKeptRelativeToTheProjectOrRefused) {
  folder.Write("site.qvproj", "");
  mkdir((folder.path + "/web").c_str(), 0755);
  mkdir((folder.path + "-other").c_str(), 0755);
  Store({NewUserPath("/old", kUserPathProject), NewUserPath("http://x.test", kUserPathURL),
         NewUserPath("/", kUserPathRoot)});
  TUserPathsBrowser* browser = CreateUserPathsBrowser(list, "UserPaths", prefs);
  browser->BaseFile = folder.Ref("site.qvproj");
  std::vector<DataBrowserItemID> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);

  // A double-click on the project row: the folder inside the project.
  HeadlessQueueNavAnswer({kNavUserActionChoose, {folder.path + "/web"}, ""});
  Click(rows[0], kUserPathTextColumn, 30, 2);
  ASSERT_EQ(HeadlessCopyNavLog().size(), 1u);
  EXPECT_EQ(HeadlessCopyNavLog()[0].title, "Choose Folder");
  EXPECT_EQ(RowRecord(rows[0]).path, Str255("/web"));
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());

  // A folder beside it whose name starts like the project's: refused.
  HeadlessQueueNavAnswer({kNavUserActionChoose, {folder.path + "-other"}, ""});
  Click(rows[0], kUserPathTextColumn, 30, 2);
  EXPECT_EQ(RowRecord(rows[0]).path, Str255("/web"));
  auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].explanation, "The selected path is not relative to the base " + folder.path +
                                 " so it will not resolve correctly.");

  // URL and Root rows have no folder to choose, by double-click or by menu.
  HeadlessClearNavLog();
  Click(rows[1], kUserPathTextColumn, 30, 2);
  Click(rows[2], kUserPathTextColumn, 30, 2);
  MenuRef menu = browser->GetContextualMenu(nullptr, 0);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(CountMenuItems(menu), 1);
  CFStringRef item = nullptr;
  CopyMenuItemTextAsCFString(menu, 1, &item);
  CFArrayRef one = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&item), 1, &kCFTypeArrayCallBacks);
  EXPECT_EQ(Strings(one), std::vector<std::string>{"Select Path..."});
  CFRelease(one);
  CFRelease(item);
  browser->SelectContextualMenu(BrackenrowGetNodeAtIndex(SInt32(rows[1]), list), menu, 0, 1);
  DisposeMenu(menu);
  EXPECT_TRUE(HeadlessCopyNavLog().empty());
  EXPECT_EQ(RowRecord(rows[1]).path, Str255("http://x.test"));
}

}  // namespace
