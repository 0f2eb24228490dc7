// Property lists with key paths, saved to and loaded from real files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "PascalCarbonCommon.h"
#include "TPropertyListUnit.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PropertyListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tplist-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    list = TPropertyListCreate();
  }
  void TearDown() override {
    list->Release();
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
  TPropertyList* list = nullptr;
};

TEST_F(PropertyListTest, KeyPathsMakeAndFindNestedDictionaries) {
  list->SetIntegerValue("a/b/c", 5);
  EXPECT_EQ(list->GetIntegerValue("a/b/c"), 5);
  EXPECT_EQ(list->GetCountAtKey("a"), 1);
  EXPECT_EQ(list->GetCountAtKey("a/b"), 1);
  EXPECT_EQ(list->GetCountAtKey("a/b/c"), 0);  // a number, no dictionary
  EXPECT_EQ(list->GetKeyCount(), 1);
  // Empty components are dropped: a leading or doubled slash changes nothing.
  EXPECT_EQ(list->GetIntegerValue("/a//b/c"), 5);

  // A path of one component is one key used whole, slash and all.
  list->SetStringValue("x/", "whole");
  EXPECT_EQ(list->GetStringValue("x/").str(), "whole");
  EXPECT_EQ(list->GetValue("x"), nullptr);
  EXPECT_EQ(list->GetKeyCount(), 2);

  // A value of another kind on the way is replaced by the new value.
  list->SetStringValue("s", "text");
  list->SetIntegerValue("s/t", 5);
  EXPECT_EQ(list->GetIntegerValue("s"), 5);
  EXPECT_EQ(list->GetStringValue("s").str(), "");

  // An array on the way cannot take the rest of the path: nothing changes.
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  list->SetValue("arr", array);
  list->SetIntegerValue("arr/n", 1);
  EXPECT_EQ(CFArrayGetCount(array), 0);
  EXPECT_EQ(list->GetValue("arr"), array);
  CFRelease(array);

  // Booleans: only a stored false reads false.
  EXPECT_TRUE(list->GetBooleanValue("missing/path"));
  list->SetBooleanValue("a/flag", false);
  EXPECT_FALSE(list->GetBooleanValue("a/flag"));
  EXPECT_TRUE(list->GetBooleanValue("a/b/c"));

  // Text that Mac Roman cannot hold reads as empty, never as other text.
  CFStringRef wide = CFStringCreateWithCString(nullptr, "\xE6\x97\xA5\xE6\x9C\xAC", kCFStringEncodingUTF8);
  list->SetValue("a/wide", wide);
  EXPECT_EQ(list->GetStringValue("a/wide").str(), "");
  EXPECT_EQ(list->GetValue("a/wide"), wide);
  CFRelease(wide);

  // Nil stores nothing.
  list->SetValue("a/b/c", nullptr);
  EXPECT_EQ(list->GetIntegerValue("a/b/c"), 5);
}

CFIndex gApplied;
void CountEntry(const void*, const void*, void* context) {
  ++gApplied;
  EXPECT_EQ(context, &gApplied);
}

TEST_F(PropertyListTest, DictionariesAreInsertedCountedAndWalked) {
  list->InsertDictionary("tools");
  EXPECT_EQ(list->GetCountAtKey("tools"), 0);
  list->SetStringValue("tools/php", "/usr/bin/php");
  list->SetStringValue("tools/perl", "/usr/bin/perl");
  EXPECT_EQ(list->GetCountAtKey("tools"), 2);

  gApplied = 0;
  list->ApplyFunctionToKey("tools", CountEntry, &gApplied);
  EXPECT_EQ(gApplied, 2);
  gApplied = 0;
  list->ApplyFunctionToKey("tools/php", CountEntry, &gApplied);  // a string: nothing to walk
  EXPECT_EQ(gApplied, 0);
  list->ApplyFunction(CountEntry, &gApplied);
  EXPECT_EQ(gApplied, 1);
}

TEST_F(PropertyListTest, SaveAsThenLoadGivesTheSameValues) {
  list->SetStringValue("name", "Caf\x8E");  // Mac Roman e-acute
  list->SetIntegerValue("count", -12);
  list->SetBooleanValue("flags/open", false);
  list->SetIntegerValue("flags/deep/n", 7);
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>("\0\1\2"), 3);
  list->SetValue("data", data);
  CFRelease(data);

  FSRef folder = Ref(dir);
  EXPECT_EQ(list->SaveAs(folder, "doc.plist"), noErr);
  EXPECT_EQ(FSCompareFSRefs(&list->fFile, &folder), diffRefNumErr);
  FSRef file = Ref(P("doc.plist"));
  EXPECT_EQ(FSCompareFSRefs(&list->fFile, &file), noErr);

  TPropertyList* loaded = TPropertyListLoad(file);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(loaded->GetStringValue("name").str(), "Caf\x8E");
  EXPECT_EQ(loaded->GetIntegerValue("count"), -12);
  EXPECT_FALSE(loaded->GetBooleanValue("flags/open"));
  EXPECT_EQ(loaded->GetIntegerValue("flags/deep/n"), 7);
  CFTypeRef back = loaded->GetValue("data");
  ASSERT_TRUE(back && CFGetTypeID(back) == CFDataGetTypeID());
  EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(back)), 3);
  // What was loaded can be changed along its paths and saved again.
  loaded->SetIntegerValue("flags/deep/m", 8);
  EXPECT_EQ(loaded->Save(file), noErr);
  loaded->Release();

  // SaveAs over the existing file replaces it.
  list->SetIntegerValue("count", 1);
  EXPECT_EQ(list->SaveAs(folder, "doc.plist"), noErr);
  loaded = TPropertyListLoad(file);
  EXPECT_EQ(loaded->GetIntegerValue("count"), 1);
  EXPECT_EQ(loaded->GetIntegerValue("flags/deep/m"), 0);
  loaded->Release();
}

TEST_F(PropertyListTest, UnreadableFilesLoadEmptyWithTheReadsStatus) {
  struct Case {
    const char* what;
    std::string contents;
  };
  const Case cases[] = {
      {"no property list", "plain text, no list"},
      {"array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
      {"string root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>"},
      {"truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><str"},
      {"invalid UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist><dict><key>\xff\xfe</key><true/></dict></plist>"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(P("in.plist"), c.contents);
    TPropertyList* loaded = TPropertyListLoad(Ref(P("in.plist")));
    EXPECT_EQ(Err, fnfErr);
    EXPECT_EQ(loaded->GetKeyCount(), 0);
    loaded->SetIntegerValue("usable", 1);  // the empty root still works
    EXPECT_EQ(loaded->GetIntegerValue("usable"), 1);
    loaded->Release();
  }

  // What could not be read says why: a folder, no file at all, a file beyond
  // any sensible size, and (for an ordinary user) a file that may not be read.
  fs::create_directory(P("folder"));
  std::ofstream(P("huge.plist"));
  fs::resize_file(P("huge.plist"), std::uintmax_t(1) << 30);  // sparse: nothing is written
  WriteFile(P("locked.plist"), "<plist><dict/></plist>");
  fs::permissions(P("locked.plist"), fs::perms::none);
  FSRef gone = Ref(P("in.plist"));
  fs::remove(P("in.plist"));
  struct Unread {
    const char* what;
    FSRef ref;
    SInt32 status;
  };
  std::vector<Unread> unread = {{"folder", Ref(P("folder")), SInt32(kCFURLImproperArgumentsError)},
                                {"gone", gone, fnfErr},
                                {"huge", Ref(P("huge.plist")), memFullErr}};
  if (geteuid() != 0)  // permissions do not bind the superuser
    unread.push_back({"locked", Ref(P("locked.plist")), SInt32(kCFURLResourceAccessViolationError)});
  for (const Unread& u : unread) {
    SCOPED_TRACE(u.what);
    TPropertyList* loaded = TPropertyListLoad(u.ref);
    EXPECT_EQ(Err, u.status);
    EXPECT_EQ(loaded->GetKeyCount(), 0);
    loaded->Release();
  }
  TPropertyList* none = TPropertyListLoad(FSRef{});
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(none->GetKeyCount(), 0);
  none->Release();
}

TEST_F(PropertyListTest, PathsThroughImmutableDictionariesStillStore) {
  // A caller stored an immutable dictionary a, holding an immutable b.
  auto immutable = [](CFStringRef key, CFTypeRef value) {
    const void* keys[] = {key};
    const void* values[] = {value};
    return CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
  };
  CFDictionaryRef b = immutable(CFSTR("old"), kCFBooleanFalse);
  CFDictionaryRef a = immutable(CFSTR("b"), b);
  list->SetValue("a", a);
  CFRelease(a);
  CFRelease(b);

  Err = noErr;
  list->SetIntegerValue("a/b/c", 5);     // into the inner one
  list->SetStringValue("a/n/m", "made");  // a new dictionary inside the outer one
  list->SetBooleanValue("a/b/old", true);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(list->GetIntegerValue("a/b/c"), 5);
  EXPECT_EQ(list->GetStringValue("a/n/m").str(), "made");
  EXPECT_TRUE(list->GetBooleanValue("a/b/old"));
  EXPECT_EQ(list->GetCountAtKey("a"), 2);
  EXPECT_EQ(list->GetCountAtKey("a/b"), 2);

  // And they reach the file.
  ASSERT_EQ(list->SaveAs(Ref(dir), "edited.plist"), noErr);
  TPropertyList* loaded = TPropertyListLoad(Ref(P("edited.plist")));
  EXPECT_EQ(loaded->GetIntegerValue("a/b/c"), 5);
  EXPECT_EQ(loaded->GetStringValue("a/n/m").str(), "made");
  EXPECT_TRUE(loaded->GetBooleanValue("a/b/old"));
  loaded->Release();

  // An array on the way refuses the rest of the path, and says so.
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  list->SetValue("arr", array);
  CFRelease(array);
  list->SetIntegerValue("arr/n", 1);
  EXPECT_EQ(Err, paramErr);
}

TEST_F(PropertyListTest, AFailedSaveLeavesTheFileAsItWas) {
  list->SetStringValue("k", "v");
  FSRef folder = Ref(dir);
  ASSERT_EQ(list->SaveAs(folder, "keep.plist"), noErr);
  const std::string before = ReadFile(P("keep.plist"));

  // A value that no property list can hold: nothing is written.
  CFURLRef url = CFURLCreateWithString(nullptr, CFSTR("http://localhost/"), nullptr);
  list->SetValue("url", url);
  CFRelease(url);
  EXPECT_EQ(list->Save(Ref(P("keep.plist"))), -1);
  EXPECT_EQ(ReadFile(P("keep.plist")), before);

  // A folder under the name: no file is made over it.
  TPropertyList* other = TPropertyListCreate();
  fs::create_directory(P("taken"));
  EXPECT_NE(other->SaveAs(folder, "taken"), noErr);
  EXPECT_TRUE(fs::is_directory(P("taken")));
  EXPECT_NE(other->Save(Ref(P("taken"))), noErr);
  // A file that is gone cannot be saved to.
  EXPECT_EQ(other->Save(FSRef{}), -1);
  other->Release();
}

}  // namespace
