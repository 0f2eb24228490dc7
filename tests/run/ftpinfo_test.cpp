// The FTP info window (filled from a listing entry; OK renames through the
// browser only when the name changed; blanks refused in the name field) and
// the settings a file opened from a server starts with.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CFString.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "TFTPBrowserUnit.h"
#include "TFTPInfoUnit.h"
#include "TPreferencesUnit.h"
#include "ApplicationFramework.h"

namespace {

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return {};
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

struct ScratchPrefs {
  TPreferenceHandlerFile* handler = new TPreferenceHandlerFile();
  explicit ScratchPrefs(const char* name) {
    std::string path = std::string(getenv("TMPDIR")) + "/" + name;
    std::remove(path.c_str());
    FILE* f = std::fopen(path.c_str(), "w");
    std::fclose(f);
    FSRef ref;
    FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
    handler->SetFile(ref);
  }
  ~ScratchPrefs() { handler->Release(); }
};

class RecordingBrowser : public TFTPBrowserAbstract {
 public:
  std::vector<std::string> renames;
  void Rename(FTPDirectoryListingPtr entry, const Str63& name) override {
    renames.push_back(entry->name.str() + " -> " + name.str());
  }
};

FTPDirectoryListing Entry() {
  FTPDirectoryListing entry{};
  entry.URL = "ftp://127.0.0.1:21/public_html/index.php";
  entry.parentName = "public_html";
  entry.type = 8;
  entry.mode = 420;
  entry.owner = "web";
  entry.group = "staff";
  entry.size = (SInt64(1) << 32) + 2048;  // the low 32 bits show
  entry.date = "11/12/2026 09:00";
  entry.name = "index.php";
  return entry;
}

std::string FieldText(TFTPInfo* info, SInt32 id) {
  HIViewRef view = nullptr;
  if (HIViewFindByID(HIViewGetRoot(info->window), HIViewID{'PREF', id}, &view) != noErr) return "<none>";
  CFStringRef text = HIViewCopyText(view);
  std::string out = Utf8(text);
  if (text != nullptr) CFRelease(text);
  return out;
}

void Type(TFTPInfo* info, const std::u16string& text) {
  HIViewRef field = nullptr;
  ASSERT_EQ(noErr, HIViewFindByID(HIViewGetRoot(info->window), HIViewID{'PREF', 129}, &field));
  ASSERT_EQ(noErr, SetKeyboardFocus(info->window, field, kControlFocusNextPart));
  ControlEditTextSelectionRec end = {32767, 32767};
  SetControlData(field, 0, kControlEditTextSelectionTag, sizeof end, &end);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, text.size() * 2, text.data());
  SendEventToEventTarget(e, GetControlEventTarget(field));
  ReleaseEvent(e);
}

void OK(TFTPInfo* info) {
  HICommand command = {0, kHICommandOK, {nullptr, 0}};
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SendEventToEventTarget(e, GetWindowEventTarget(info->window));
  ReleaseEvent(e);
}

class FTPInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ApplicationNib == nullptr) {
      ASSERT_EQ(noErr, CreateNibReference(CFSTR("main"), &ApplicationNib));
    }
    HeadlessClearAlertLog();
  }
};

TEST_F(FTPInfoTest, TheWindowShowsTheEntry) {
  FTPDirectoryListing entry = Entry();
  auto* browser = new RecordingBrowser();
  browser->Create(nullptr);
  TFTPInfo* info = OpenFTPInfo(browser, &entry);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(GetWindowKind(info->window), kFTPInfoWindowKind);
  EXPECT_TRUE(IsWindowVisible(info->window));
  EXPECT_EQ(FieldText(info, 129), "index.php");
  EXPECT_EQ(FieldText(info, 131), "/public_html/index.php");
  EXPECT_EQ(FieldText(info, 132), "2k");
  EXPECT_EQ(FieldText(info, 133), "11/12/2026 09:00");
  EXPECT_EQ(FieldText(info, 134), "web");
  EXPECT_EQ(FieldText(info, 135), "staff");
  EXPECT_EQ(FieldText(info, 136), "420");
  info->Remove();
  browser->Release();
}

TEST_F(FTPInfoTest, OKRenamesOnlyAChangedNameAndBlanksAreRefused) {
  struct Case {
    std::u16string typed;
    std::vector<std::string> renames;
    size_t alerts;
  } cases[] = {
      {u"", {}, 0},                                  // unchanged: no server operation
      {u"5", {"index.php -> index.php5"}, 0},
      {u" old", {}, 1},                              // refused whole, the name stays
      {u"_2", {"index.php -> index.php_2"}, 0},
  };
  for (const Case& c : cases) {
    HeadlessClearAlertLog();
    FTPDirectoryListing entry = Entry();
    auto* browser = new RecordingBrowser();
    browser->Create(nullptr);
    TFTPInfo* info = OpenFTPInfo(browser, &entry);
    ASSERT_NE(info, nullptr);
    WindowRef window = info->window;
    if (!c.typed.empty()) Type(info, c.typed);
    OK(info);
    EXPECT_FALSE(IsValidWindowPtr(window));
    EXPECT_EQ(browser->renames, c.renames);
    auto alerts = HeadlessCopyAlertLog();
    ASSERT_EQ(alerts.size(), c.alerts);
    if (c.alerts > 0) {
      EXPECT_EQ(alerts[0].error, "Spaces are not allowed in file or directory names. Try using _  instead.");
    }
    browser->Release();
  }
}

TEST(FTPInfoDefaults, OnlyAnEmptyEntryIsSeeded) {
  ScratchPrefs prefs("ftpinfo-defaults.plist");
  prefs.handler->SetStringValue("ProjectServer", "Staging");
  SetDefaultFTPInfo("index.php", "/public_html/", prefs.handler);
  prefs.handler->SetStringValue("ProjectServer", "Other");
  SetDefaultFTPInfo("index.php", "/elsewhere/", prefs.handler);

  // A user's own setting is left as it is.
  {
    auto* mine = new TPreferenceHandlerDictionary();
    mine->Create("FileInfo::notes.txt", prefs.handler);
    mine->SetStringValue("FileInfoLabel", "Red");
    mine->Synchronize();
    mine->Release();
  }
  SetDefaultFTPInfo("notes.txt", "/public_html/", prefs.handler);

  auto* entry = new TPreferenceHandlerDictionary();
  entry->Create("FileInfo::index.php", prefs.handler);
  EXPECT_EQ(entry->GetStringValue("FileInfoPreviewMode").str(), "Server");
  EXPECT_EQ(entry->GetStringValue("FileInfoRunMode").str(), "Default");
  EXPECT_EQ(entry->GetStringValue("FileInfoServer").str(), "Staging");
  EXPECT_EQ(entry->GetStringValue("FileInfoDirectory").str(), "/public_html/");
  EXPECT_EQ(entry->GetStringValue("FileInfoNotes").str(), "/public_html/");
  EXPECT_TRUE(entry->ContainsValue("FileInfoPreviewExternal"));
  EXPECT_FALSE(entry->GetBooleanValue("FileInfoPreviewExternal"));
  EXPECT_EQ(entry->GetStringValue("FileInfoLabel").str(), "None");
  entry->Release();

  auto* other = new TPreferenceHandlerDictionary();
  other->Create("FileInfo::notes.txt", prefs.handler);
  EXPECT_EQ(other->GetStringValue("FileInfoLabel").str(), "Red");
  EXPECT_FALSE(other->ContainsValue("FileInfoDirectory"));
  other->Release();
}

}  // namespace
