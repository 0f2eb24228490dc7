// Help books: registration from the bundle's Info.plist, pages opened in the
// browser (recorded by the headless host), and the Help menu's command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "AppleHelp.h"
#include "CFString.h"
#include "CarbonEvents.h"
#include "Files.h"
#include "HeadlessHost.h"

namespace fs = std::filesystem;

namespace {

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

// A bundle whose Info.plist has the given extra keys, with the files given
// under Contents/Resources.
FSRef Bundle(const fs::path& dir, const std::string& keys, const std::vector<std::string>& files) {
  fs::create_directories(dir / "Contents/Resources");
  std::ofstream(dir / "Contents/Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleIdentifier</key><string>com.example.helped</string>"
      << keys << "</dict></plist>\n";
  for (const std::string& f : files) {
    fs::path p = dir / "Contents/Resources" / f;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "<html></html>\n";
  }
  FSRef ref{};
  EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(dir.c_str()), &ref, nullptr));
  return ref;
}

OSStatus SendHelpCommand() {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  HICommand command{};
  command.commandID = kHICommandAppHelp;
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  OSStatus status = SendEventToEventTarget(e, GetApplicationEventTarget());
  ReleaseEvent(e);
  return status;
}

std::string LastLaunch() {
  auto requests = HeadlessCopyLaunchRequests();
  return requests.empty() ? std::string() : requests.back().url;
}

TEST(AppleHelpTest, RegistersTheBundlesBookAndOpensItsPages) {
  const fs::path root = fs::path(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") / "applehelp";
  fs::remove_all(root);
  const std::string keys = "<key>CFBundleHelpBookFolder</key><string>Quorvel Help</string>";
  HeadlessClearLaunchRequests();

  // Nothing registered: the Help command is left to others, pages fail.
  EXPECT_EQ(eventNotHandledErr, SendHelpCommand());
  EXPECT_EQ(kAHInternalErr, AHGotoPage(nullptr, nullptr, nullptr));

  EXPECT_EQ(paramErr, AHRegisterHelpBook(nullptr));
  FSRef noKey = Bundle(root / "NoKey.app", "", {"Quorvel Help/index.html"});
  EXPECT_EQ(fnfErr, AHRegisterHelpBook(&noKey));
  FSRef noIndex = Bundle(root / "NoIndex.app", keys, {"Quorvel Help/other.html"});
  EXPECT_EQ(fnfErr, AHRegisterHelpBook(&noIndex));
  EXPECT_TRUE(HeadlessCopyLaunchRequests().empty());

  FSRef good = Bundle(root / "Good.app", keys,
                      {"English.lproj/Quorvel Help/index.html", "English.lproj/Quorvel Help/pages/run.html"});
  ASSERT_EQ(noErr, AHRegisterHelpBook(&good));
  const std::string book = "file://" + fs::canonical(root).string() + "/Good.app/Contents/Resources/English.lproj/Quorvel%20Help/";

  struct Case {
    CFStringRef name, path, anchor;
    OSStatus status;
    std::string url;  // empty: nothing opened
  } cases[] = {
      {nullptr, nullptr, nullptr, noErr, book + "index.html"},
      {S("Quorvel Help"), S("pages/run.html"), S("output window"), noErr, book + "pages/run.html#output%20window"},
      {S("Other Book"), nullptr, nullptr, kAHInternalErr, ""},
      {nullptr, S("pages/none.html"), nullptr, fnfErr, ""},
      {nullptr, S("../../Info.plist"), nullptr, paramErr, ""},
  };
  for (const Case& c : cases) {
    HeadlessClearLaunchRequests();
    EXPECT_EQ(c.status, AHGotoPage(c.name, c.path, c.anchor)) << c.url;
    EXPECT_EQ(c.url, LastLaunch());
  }

  // The Help menu's command now opens the index.
  HeadlessClearLaunchRequests();
  EXPECT_EQ(noErr, SendHelpCommand());
  EXPECT_EQ(book + "index.html", LastLaunch());
}

}  // namespace
