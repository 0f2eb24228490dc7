// Whole property-list files by FSRef, and the single values stored for
// dialog controls under "userprefs.".
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPreferenceUtilities.h"
#include "CFPreferences.h"
#include "CFString.h"
#include "Files.h"
#include "PascalCarbonCommon.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* kList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>outer</key>\n\t<dict>\n\t\t<key>name</key>\n\t\t<string>a</string>\n\t</dict>\n"
    "\t<key>list</key>\n\t<array>\n\t\t<integer>1</integer>\n\t</array>\n</dict>\n</plist>\n";

class PreferenceUtilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cfpu-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
  }
  void TearDown() override {
    CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::string P(const std::string& name) const { return dir + "/" + name; }
  FSRef Ref(const std::string& path) const {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }

  std::string dir;
};

TEST_F(PreferenceUtilitiesTest, LoadsMutableListsAndSavesThemBack) {
  WriteFile(P("in.plist"), kList);
  FSRef file = Ref(P("in.plist"));
  CFTypeRef list = CFPreferencesLoadPropertyList(file);
  ASSERT_TRUE(list && CFGetTypeID(list) == CFDictionaryGetTypeID());
  auto root = static_cast<CFMutableDictionaryRef>(const_cast<void*>(list));

  // Containers and leaves are the caller's to change.
  auto outer = static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFDictionaryGetValue(root, CFSTR("outer"))));
  CFDictionarySetValue(outer, CFSTR("added"), kCFBooleanTrue);
  auto array = static_cast<CFMutableArrayRef>(const_cast<void*>(CFDictionaryGetValue(root, CFSTR("list"))));
  CFArrayAppendValue(array, CFSTR("two"));
  auto name = static_cast<CFMutableStringRef>(const_cast<void*>(CFDictionaryGetValue(outer, CFSTR("name"))));
  CFStringAppendCString(name, "b", kCFStringEncodingASCII);

  EXPECT_EQ(CFPreferencesSavePropertyList(file, list), 0);
  CFTypeRef back = CFPreferencesLoadPropertyList(file);
  EXPECT_TRUE(back && CFEqual(back, list));
  if (back) CFRelease(back);
  CFRelease(list);
}

TEST_F(PreferenceUtilitiesTest, WhatIsNoReadableListGivesNil) {
  WriteFile(P("bad.plist"), "<plist><dict><key>a</key>");
  fs::create_directory(P("folder"));
  mkfifo(P("pipe").c_str(), 0600);  // a read would never end
  std::ofstream(P("huge.plist"));
  fs::resize_file(P("huge.plist"), std::uintmax_t(1) << 30);
  for (const char* name : {"bad.plist", "folder", "pipe", "huge.plist"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CFPreferencesLoadPropertyList(Ref(P(name))), nullptr);
  }
  EXPECT_EQ(CFPreferencesLoadPropertyList(FSRef{}), nullptr);
}

TEST_F(PreferenceUtilitiesTest, FailedSavesReportAndKeepTheOldContents) {
  WriteFile(P("keep.plist"), kList);
  FSRef file = Ref(P("keep.plist"));
  // A list that XML cannot hold, and no list at all: -1, nothing written.
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, CFSTR("control"), CFSTR("\x01"));
  EXPECT_EQ(CFPreferencesSavePropertyList(file, dict), -1);
  EXPECT_EQ(CFPreferencesSavePropertyList(file, nullptr), -1);
  EXPECT_EQ(ReadFile(P("keep.plist")), kList);
  // No file, or a folder in its place.
  CFDictionaryRemoveAllValues(dict);
  EXPECT_EQ(CFPreferencesSavePropertyList(FSRef{}, dict), -1);
  fs::create_directory(P("folder"));
  EXPECT_NE(CFPreferencesSavePropertyList(Ref(P("folder")), dict), 0);
  EXPECT_TRUE(fs::is_directory(P("folder")));
  CFRelease(dict);
}

TEST_F(PreferenceUtilitiesTest, ControlValuesLiveUnderUserprefs) {
  EXPECT_EQ(CFPreferencesGetStringValue("Editor").str(), "");
  EXPECT_TRUE(CFPreferencesGetBooleanValue("Wrap"));

  CFPreferencesSetAppValue(CFSTR("userprefs.Editor"), CFSTR("Monaco"), kCFPreferencesCurrentApplication);
  CFPreferencesSetAppValue(CFSTR("userprefs.Wrap"), kCFBooleanFalse, kCFPreferencesCurrentApplication);
  CFPreferencesSetAppValue(CFSTR("userprefs.Tabs"), kCFBooleanTrue, kCFPreferencesCurrentApplication);
  SInt32 four = 4;
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &four);
  CFPreferencesSetAppValue(CFSTR("userprefs.Size"), number, kCFPreferencesCurrentApplication);
  CFRelease(number);
  // Another key outside "userprefs." is not a control's value.
  CFPreferencesSetAppValue(CFSTR("Editor"), CFSTR("other"), kCFPreferencesCurrentApplication);

  EXPECT_EQ(CFPreferencesGetStringValue("Editor").str(), "Monaco");
  EXPECT_FALSE(CFPreferencesGetBooleanValue("Wrap"));
  EXPECT_TRUE(CFPreferencesGetBooleanValue("Tabs"));
  EXPECT_TRUE(CFPreferencesGetBooleanValue("Size"));
  EXPECT_EQ(CFPreferencesGetStringValue("Size").str(), "");
}

}  // namespace
