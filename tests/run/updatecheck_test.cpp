// The update check: version comparison, the version file's line, and the
// whole check against a real FTP server on 127.0.0.1 (newer, older, skipped
// versions; the notes and the update file downloaded).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "CFRunLoop.h"
#include "CFString.h"
#include "Folders.h"
#include "HIView.h"
#include "LoopbackFTPServer.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "UpdateManager.h"

namespace {

TEST(UpdateVersions, DottedNumbersCompareComponentByComponent) {
  struct Case {
    const char* offered;
    const char* current;
    bool newer;
  } cases[] = {
      {"2.0.10", "2.0.3", true},  {"2.1", "2.0.3", true},     {"2.0", "2.0.3", false},
      {"2.0.3", "2.0.3", false},  {"2.0.3.1", "2.0.3", true}, {"2.0.3.0", "2.0.3", false},
      {"3", "2.0.3", true},       {"2", "2.0.3", false},      {"1.9.9", "2.0.3", false},
      {"10.0", "9.9.9", true},    {"2.0b", "2.0.3", false},   {"", "2.0.3", false},
  };
  for (const Case& c : cases) EXPECT_EQ(bool(IsNewerVersion(c.offered, c.current)), c.newer) << c.offered;
}

TEST(UpdateVersions, TheVersionLineIsCutAtItsEndSplitAndTrimmed) {
  struct Case {
    std::string text;
    std::string version, file;
    bool major;
  } cases[] = {
      {"2.1|public_html/updates/q-2.1.tgz|no", "2.1", "public_html/updates/q-2.1.tgz", false},
      {" 2.1 | up.tgz | yes \r\nmore|lines|yes", "2.1", "up.tgz", true},
      {"2.1|up.tgz|YES\n", "2.1", "up.tgz", false},
      {"2.2\n", "2.2", "", false},
      {"", "", "", false},
      {"2.3|" + std::string(300, 'x') + "|yes", "2.3", std::string(251, 'x'), false},
  };
  for (const Case& c : cases) {
    UpdateVersionLine line = ParseVersionLine(c.text.data(), c.text.size());
    EXPECT_EQ(line.version.str(), c.version) << c.text;
    EXPECT_EQ(line.updateFile.str(), c.file) << c.text;
    EXPECT_EQ(bool(line.majorUpdate), c.major) << c.text;
  }
  // A block without a line end is never read past its length.
  const char unterminated[] = {'2', '.', '4', '|', 'f'};
  EXPECT_EQ(ParseVersionLine(unterminated, sizeof unterminated).updateFile.str(), "f");
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

WindowRef UpdateWindow() {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) {
    CFStringRef title = nullptr;
    if (CopyWindowTitleAsCFString(w, &title) != noErr || title == nullptr) continue;
    bool match = CFStringCompare(title, CFSTR("Software Update"), 0) == kCFCompareEqualTo;
    CFRelease(title);
    if (match && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

std::string Text(WindowRef window, OSType signature) {
  HIViewRef view = nullptr;
  if (HIViewFindByID(HIViewGetRoot(window), HIViewID{signature, 128}, &view) != noErr) return "<none>";
  CFStringRef text = HIViewCopyText(view);
  char buffer[1024] = {};
  if (text != nullptr) {
    CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
    CFRelease(text);
  }
  return buffer;
}

// Runs the loop until the condition holds (a limit, not a timing).
template <typename F>
bool RunUntil(F done) {
  for (int i = 0; i < 100 && !done(); ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.2, false);
  return done();
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<LoopbackFTPServer>();
    ASSERT_TRUE(server_->Ready());
    mkdir((server_->Root() + "/public_html").c_str(), 0755);
    mkdir((server_->Root() + "/public_html/updates").c_str(), 0755);
    WriteFile(server_->Root() + "/public_html/updates/changes.html", "<html><body><h1>New in 2.1</h1></body></html>");
    WriteFile(server_->Root() + "/public_html/updates/quorvel-2.1.tar.gz", "the update");
    std::string path = std::string(getenv("TMPDIR")) + "/update-prefs.plist";
    std::remove(path.c_str());
    std::fclose(std::fopen(path.c_str(), "w"));
    FSRef ref;
    FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
    prefs_ = new TPreferenceHandlerFile();
    prefs_->SetFile(ref);
    info_.host = Str255("127.0.0.1:" + std::to_string(server_->Port()));
    info_.user = LoopbackFTPServer::kUser;
    info_.password = LoopbackFTPServer::kPassword;
    info_.version = "2.0.3";
    info_.changesPath = "public_html/updates/changes.html";
    info_.versionPath = "public_html/updates/updates.txt";
  }
  void TearDown() override {
    if (WindowRef w = UpdateWindow())
      if (TWindow* object = GetWindowObject(w)) object->Remove();
    prefs_->Release();
  }
  // Runs one check to its end; the update window, if it opened.
  WindowRef Check(const std::string& versionFile) {
    WriteFile(server_->Root() + "/public_html/updates/updates.txt", versionFile);
    FTPStreamHandle handle = CheckForUpdates(info_, prefs_);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(RunUntil([&] { return TFTPStream::FromHandle(handle) == nullptr; }));
    return UpdateWindow();
  }

  std::unique_ptr<LoopbackFTPServer> server_;
  TPreferenceHandlerFile* prefs_ = nullptr;
  UpdateConnectionInfo info_;
};

TEST_F(UpdateCheckTest, OnlyANewerVersionThatWasNotSkippedOpensTheWindow) {
  EXPECT_EQ(Check("2.0.3|public_html/updates/quorvel-2.0.3.tar.gz|no\n"), nullptr);
  EXPECT_EQ(Check("2.0.2|public_html/updates/quorvel-2.0.2.tar.gz|no\n"), nullptr);

  prefs_->SetBooleanValue("UpdateManagerDontAsk", true);
  prefs_->SetStringValue("UpdateManagerDenyVersion", "2.1");
  EXPECT_EQ(Check("2.1|public_html/updates/quorvel-2.1.tar.gz|no\n"), nullptr);
  WindowRef w = Check("2.2|public_html/updates/quorvel-2.1.tar.gz|no\n");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Text(w, 'TEXT'), "There is a new version 2.2 available for download.");
  // Closed with the box off: the version is kept, asking again is on.
  GetWindowObject(w)->Remove();
  EXPECT_EQ(prefs_->GetStringValue("UpdateManagerDenyVersion").str(), "2.2");
  EXPECT_FALSE(prefs_->GetBooleanValue("UpdateManagerDontAsk"));

  // No host: no check at all.
  UpdateConnectionInfo none = info_;
  none.host = "";
  EXPECT_EQ(CheckForUpdates(none, prefs_), 0u);
}

TEST_F(UpdateCheckTest, TheWindowShowsTheNotesAndDownloadsTheUpdateToTheDesktop) {
  WindowRef w = Check("2.1|public_html/updates/quorvel-2.1.tar.gz|no\n");
  ASSERT_NE(w, nullptr);
  auto* window = static_cast<TUpdateManagerWindow*>(GetWindowObject(w));
  ASSERT_TRUE(RunUntil([&] { return window->changes == nullptr; }));
  FSRef desktop{};
  ASSERT_EQ(noErr, FSFindFolder(kUserDomain, kDesktopFolderType, true, &desktop));
  UInt8 folder[4096] = {};
  FSRefMakePath(&desktop, folder, sizeof folder);
  const std::string arrived = std::string(reinterpret_cast<char*>(folder)) + "/quorvel-2.1.tar.gz";
  std::remove(arrived.c_str());

  HICommand ok = {0, kHICommandOK, {nullptr, 0}};
  SInt32 result = eventNotHandledErr;
  window->ProcessCommand(ok, nullptr, result);
  ASSERT_TRUE(RunUntil([&] { return window->stream == nullptr; }));
  EXPECT_EQ(ReadFile(arrived), "the update");

  // A missing update file is told, naming it, and can be tried again.
  window->updateFile = "public_html/updates/gone-2.1.tar.gz";
  window->ProcessCommand(ok, nullptr, result);
  ASSERT_TRUE(RunUntil([&] { return window->stream == nullptr; }));
  EXPECT_NE(Text(w, 'TEXT').find("occurred while downloading gone-2.1.tar.gz."), std::string::npos) << Text(w, 'TEXT');
  HIViewRef button = nullptr;
  HIViewFindByID(HIViewGetRoot(w), HIViewID{'UPDA', 128}, &button);
  EXPECT_TRUE(IsControlEnabled(button));
}

TEST_F(UpdateCheckTest, AMajorUpdateCannotBeDownloaded) {
  WindowRef w = Check("3.0|public_html/updates/quorvel-3.0.tar.gz|yes\n");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Text(w, 'TEXT'),
            "There is a new version 3.0 available. However, this is a major update and must be purchased from the "
            "web site.");
  HIViewRef button = nullptr;
  HIViewFindByID(HIViewGetRoot(w), HIViewID{'UPDA', 128}, &button);
  EXPECT_FALSE(IsControlEnabled(button));
}

}  // namespace
