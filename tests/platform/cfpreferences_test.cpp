#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFRef.h"
#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFURL.h"
#include "FilesInternal.h"

namespace {

namespace fs = std::filesystem;

CFStringRef K(const char* s) { return CFStringMakeConstantUTF8(s); }
std::string Text(CFTypeRef s) {
  return s && CFGetTypeID(s) == CFStringGetTypeID() ? __CFStringGetUTF8(static_cast<CFStringRef>(s))
                                                     : std::string("(none)");
}
CFNumberRef Int(SInt32 v) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v); }

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The dictionary a written preferences file holds; nil when it holds none.
CFDictionaryRef ParseFile(const std::string& path) {
  std::string bytes = ReadFile(path);
  Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size())));
  CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, static_cast<CFDataRef>(data.get()),
                                                           kCFPropertyListImmutable, nullptr);
  if (list && CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    CFRelease(list);
    return nullptr;
  }
  return static_cast<CFDictionaryRef>(list);
}

const char* kValidList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>kept</key>\n\t<string>old</string>\n</dict>\n</plist>\n";

// Each test gets preferences and file registry places of its own; the store
// forgets a domain when it is synchronised, so domains are read afresh.
class CFPreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/prefs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    ASSERT_TRUE(files::NormalizePath(pattern, &dir));
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    files::RegistryReload();
    prefs = dir + "/config/Quorvel";
    fs::create_directories(prefs);
    CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::string Domain() const {
    return std::string("org.test.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  std::string File() const { return prefs + "/" + Domain() + ".plist"; }
  CFStringRef D() const { return CFStringMakeConstantUTF8(Domain().c_str()); }

  std::string dir, prefs;
};

TEST_F(CFPreferencesTest, ValuesRoundTripThroughTheDomainFile) {
  CFStringRef domain = D();
  EXPECT_EQ(CFPreferencesCopyAppValue(K("missing"), domain), nullptr);
  EXPECT_EQ(CFPreferencesCopyKeyList(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost), nullptr);

  Ref five(Int(5));
  CFPreferencesSetAppValue(K("b"), five.get(), domain);
  CFPreferencesSetAppValue(K("a"), K("text"), domain);
  CFPreferencesSetAppValue(K("flag"), kCFBooleanFalse, domain);
  CFPreferencesSetAppValue(K("gone"), K("soon"), domain);
  CFPreferencesSetAppValue(K("gone"), nullptr, domain);  // nil removes

  // Copies are the caller's: one reference each, released here.
  Ref a(CFPreferencesCopyAppValue(K("a"), domain));
  EXPECT_EQ(Text(a.get()), "text");
  Ref b(CFPreferencesCopyAppValue(K("b"), domain));
  EXPECT_TRUE(b && CFEqual(b.get(), five.get()));
  EXPECT_EQ(CFPreferencesCopyAppValue(K("gone"), domain), nullptr);
  Ref keys(CFPreferencesCopyKeyList(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
  ASSERT_TRUE(keys);
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(keys.get())), 3);
  EXPECT_EQ(Text(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(keys.get()), 0)), "b");
  EXPECT_EQ(Text(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(keys.get()), 2)), "flag");

  // Nothing reaches the disk before synchronising.
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  Ref written(ParseFile(File()));
  ASSERT_TRUE(written);
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(written.get())), 3);
  EXPECT_EQ(Text(CFDictionaryGetValue(static_cast<CFDictionaryRef>(written.get()), K("a"))), "text");
  // A new file is its owner's only: servers and accounts are kept here.
  struct stat st;
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // After synchronising, the file is read again: a change made by another
  // process is seen.
  WriteFile(File(), kValidList);
  EXPECT_EQ(CFPreferencesCopyAppValue(K("a"), domain), nullptr);
  Ref kept(CFPreferencesCopyAppValue(K("kept"), domain));
  EXPECT_EQ(Text(kept.get()), "old");
}

TEST_F(CFPreferencesTest, CurrentApplicationIsTheBundleDomainAndHostsHaveTheirOwnFile) {
  CFPreferencesSetAppValue(K("user.GeneralFileEncoding"), K("x"), kCFPreferencesCurrentApplication);
  EXPECT_TRUE(CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication));
  Ref app(ParseFile(prefs + "/com.brindlecote.Quorvel.plist"));
  ASSERT_TRUE(app);
  EXPECT_EQ(Text(CFDictionaryGetValue(static_cast<CFDictionaryRef>(app.get()), K("user.GeneralFileEncoding"))),
            "x");

  // This host's values live apart from the values of any host.
  CFStringRef domain = D();
  CFPreferencesSetValue(K("h"), K("here"), domain, kCFPreferencesCurrentUser, kCFPreferencesCurrentHost);
  EXPECT_EQ(CFPreferencesCopyAppValue(K("h"), domain), nullptr);
  EXPECT_TRUE(CFPreferencesSynchronize(domain, kCFPreferencesCurrentUser, kCFPreferencesCurrentHost));
  char host[256] = {0};
  gethostname(host, sizeof host - 1);
  EXPECT_TRUE(fs::exists(prefs + "/ByHost/" + Domain() + "." + host + ".plist"));
  Ref here(CFPreferencesCopyValue(K("h"), domain, kCFPreferencesCurrentUser, kCFPreferencesCurrentHost));
  EXPECT_EQ(Text(here.get()), "here");

  // Other users have no place here.
  CFPreferencesSetValue(K("h"), K("all"), domain, kCFPreferencesAnyUser, kCFPreferencesAnyHost);
  EXPECT_EQ(CFPreferencesCopyValue(K("h"), domain, kCFPreferencesAnyUser, kCFPreferencesAnyHost), nullptr);
  EXPECT_FALSE(CFPreferencesSynchronize(domain, kCFPreferencesAnyUser, kCFPreferencesAnyHost));
}

TEST_F(CFPreferencesTest, StoresItsOwnCopyOfPropertyListsOnly) {
  CFStringRef domain = D();
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(list, K("one"));
  CFPreferencesSetAppValue(K("list"), list, domain);
  CFArrayAppendValue(list, K("two"));  // the caller's later change is not the store's
  Ref stored(CFPreferencesCopyAppValue(K("list"), domain));
  ASSERT_TRUE(stored);
  EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(stored.get())), 1);
  CFRelease(list);

  // A URL is no property list: refused, so the domain stays writable.
  Ref url(CFURLCreateWithString(nullptr, K("http://localhost/"), nullptr));
  CFPreferencesSetAppValue(K("url"), url.get(), domain);
  EXPECT_EQ(CFPreferencesCopyAppValue(K("url"), domain), nullptr);
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  EXPECT_TRUE(fs::exists(File()));
}

TEST_F(CFPreferencesTest, NamesThatAreNoFileNamesAreRefused) {
  for (const std::string& name : {std::string("../escape"), std::string("a/b"), std::string(""),
                                  std::string(".."), std::string(400, 'x')}) {
    SCOPED_TRACE(name);
    CFStringRef domain = CFStringMakeConstantUTF8(name.c_str());
    CFPreferencesSetAppValue(K("k"), K("v"), domain);
    EXPECT_EQ(CFPreferencesCopyAppValue(K("k"), domain), nullptr);
    EXPECT_FALSE(CFPreferencesAppSynchronize(domain));
  }
  EXPECT_FALSE(fs::exists(dir + "/config/escape.plist"));
  CFPreferencesSetAppValue(nullptr, K("v"), D());
  CFPreferencesSetAppValue(K("k"), K("v"), nullptr);
  EXPECT_EQ(CFPreferencesCopyAppValue(nullptr, D()), nullptr);
}

TEST_F(CFPreferencesTest, UnreadableFilesReadEmptyAndAreKeptAsideWhenWritten) {
  struct Case {
    const char* what;
    std::string contents;
  };
  const Case cases[] = {
      {"not xml", "this is no property list \x01\xff"},
      {"truncated", std::string(kValidList).substr(0, 80)},
      {"array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"},
      {"empty", ""},
  };
  CFStringRef domain = D();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(File());
    fs::remove(File() + ".corrupt");
    WriteFile(File(), c.contents);
    EXPECT_EQ(CFPreferencesCopyAppValue(K("kept"), domain), nullptr);
    EXPECT_EQ(CFPreferencesCopyKeyList(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost), nullptr);
    // Reading and synchronising without a change leave the file alone.
    EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
    EXPECT_EQ(ReadFile(File()), c.contents);

    CFPreferencesSetAppValue(K("new"), K("value"), domain);
    EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
    // An empty file held nothing worth keeping.
    if (c.contents.empty())
      EXPECT_FALSE(fs::exists(File() + ".corrupt"));
    else
      EXPECT_EQ(ReadFile(File() + ".corrupt"), c.contents);
    Ref now(ParseFile(File()));
    ASSERT_TRUE(now);
    EXPECT_EQ(Text(CFDictionaryGetValue(static_cast<CFDictionaryRef>(now.get()), K("new"))), "value");
  }

  // An older copy set aside is never replaced.
  WriteFile(File() + ".corrupt", "older");
  WriteFile(File(), "garbage again");
  EXPECT_EQ(CFPreferencesCopyAppValue(K("new"), domain), nullptr);
  CFPreferencesSetAppValue(K("new"), K("value"), domain);
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  EXPECT_EQ(ReadFile(File() + ".corrupt"), "older");
  EXPECT_EQ(ReadFile(File() + ".corrupt.1"), "garbage again");
}

TEST_F(CFPreferencesTest, AFolderInPlaceOfTheFileIsNeverReplaced) {
  CFStringRef domain = D();
  fs::create_directory(File());
  WriteFile(File() + "/inside", "data");
  EXPECT_EQ(CFPreferencesCopyAppValue(K("k"), domain), nullptr);
  CFPreferencesSetAppValue(K("k"), K("v"), domain);
  EXPECT_FALSE(CFPreferencesAppSynchronize(domain));
  EXPECT_EQ(ReadFile(File() + "/inside"), "data");
  // The change is kept for a later attempt.
  Ref kept(CFPreferencesCopyAppValue(K("k"), domain));
  EXPECT_EQ(Text(kept.get()), "v");
  fs::remove_all(File());
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  EXPECT_TRUE(fs::is_regular_file(File()));
}

TEST_F(CFPreferencesTest, ALinkToNothingGetsItsTargetWritten) {
  CFStringRef domain = D();
  fs::create_directory(dir + "/elsewhere");
  fs::create_symlink(dir + "/elsewhere/prefs.plist", File());
  EXPECT_EQ(CFPreferencesCopyAppValue(K("k"), domain), nullptr);
  CFPreferencesSetAppValue(K("k"), K("v"), domain);
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  EXPECT_TRUE(fs::is_symlink(File()));
  Ref written(ParseFile(dir + "/elsewhere/prefs.plist"));
  ASSERT_TRUE(written);
  EXPECT_EQ(Text(CFDictionaryGetValue(static_cast<CFDictionaryRef>(written.get()), K("k"))), "v");
}

TEST_F(CFPreferencesTest, AReadOnlyFileIsNotReplacedAndTheChangeWaits) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  CFStringRef domain = D();
  WriteFile(File(), kValidList);
  fs::permissions(File(), fs::perms::owner_read);
  Ref kept(CFPreferencesCopyAppValue(K("kept"), domain));
  EXPECT_EQ(Text(kept.get()), "old");
  CFPreferencesSetAppValue(K("k"), K("v"), domain);
  EXPECT_FALSE(CFPreferencesAppSynchronize(domain));
  EXPECT_EQ(ReadFile(File()), kValidList);
  fs::permissions(File(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(CFPreferencesAppSynchronize(domain));
  Ref written(ParseFile(File()));
  ASSERT_TRUE(written);
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(written.get())), 2);
}

}  // namespace
