// The preference handlers over the application preferences, real
// property-list files in a scratch folder, and dictionaries inside either.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "Files.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The dictionary a written file holds (the caller releases it); nil when none.
CFDictionaryRef ParseFile(const std::string& path) {
  std::string bytes = ReadFile(path);
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
  CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
  CFRelease(data);
  if (list && CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    CFRelease(list);
    return nullptr;
  }
  return static_cast<CFDictionaryRef>(list);
}

SInt32 IntegerIn(CFDictionaryRef dict, const char* key) {
  CFTypeRef value = dict ? CFDictionaryGetValue(dict, CFSTR(key)) : nullptr;
  SInt32 result = -1;
  if (value && CFGetTypeID(value) == CFNumberGetTypeID())
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &result);
  return result;
}

const char* kValidList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>kept</key>\n\t<string>old</string>\n</dict>\n</plist>\n";

// Each test has its own preferences folder and scratch files.
class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tprefs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    // The application's domain is read afresh from the new place.
    CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
    appFile = dir + "/config/Quorvel/com.brindlecote.Quorvel.plist";
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
  // A file handler over a file with these contents ("" makes an empty file).
  TPreferenceHandlerFile* FileHandler(const std::string& name, const std::string& contents = "") {
    WriteFile(P(name), contents);
    auto* handler = new TPreferenceHandlerFile;
    handler->SetFile(Ref(P(name)));
    return handler;
  }
  TPreferenceHandlerApplication* AppHandler(const char* domain) {
    auto* handler = new TPreferenceHandlerApplication;
    handler->SetDomain(domain);
    return handler;
  }

 public:
  std::string dir, appFile;
};

// The three concrete kinds answer alike; each case makes a fresh handler
// (and whatever it stands in) and tears it down.
struct Kind {
  const char* name;
  std::function<TPreferenceHandler*(PreferencesTest&, std::vector<TPreferenceHandler*>&)> make;
};

std::vector<Kind> Kinds() {
  return {
      {"application",
       [](PreferencesTest&, std::vector<TPreferenceHandler*>&) -> TPreferenceHandler* {
         auto* h = new TPreferenceHandlerApplication;
         h->SetDomain("kinds.");
         return h;
       }},
      {"file",
       [](PreferencesTest& t, std::vector<TPreferenceHandler*>&) -> TPreferenceHandler* {
         std::string path = t.dir + "/kind.plist";
         fs::remove(path);
         WriteFile(path, "");
         FSRef ref{};
         FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
         auto* h = new TPreferenceHandlerFile;
         h->SetFile(ref);
         return h;
       }},
      {"dictionary",
       [](PreferencesTest&, std::vector<TPreferenceHandler*>& parents) -> TPreferenceHandler* {
         auto* parent = new TPreferenceHandlerFile;
         parent->SetFile(FSRef{});
         parents.push_back(parent);
         auto* h = new TPreferenceHandlerDictionary;
         h->Create("inner", parent);
         return h;
       }},
  };
}

TEST_F(PreferencesTest, EveryKindAnswersAndStoresAlike) {
  for (const Kind& kind : Kinds()) {
    SCOPED_TRACE(kind.name);
    std::vector<TPreferenceHandler*> parents;
    TPreferenceHandler* h = kind.make(*this, parents);

    // An empty handler: the neutral answers.
    EXPECT_FALSE(h->ContainsValue("k"));
    EXPECT_TRUE(h->GetBooleanValue("k"));
    EXPECT_EQ(h->GetStringValue("k").str(), "");
    EXPECT_EQ(h->GetIntegerValue("k"), 0);
    EXPECT_EQ(h->GetTypeValue("k"), nullptr);
    EXPECT_EQ(h->GetArrayValue("k", 0), nullptr);

    h->SetBooleanValue("k", false);
    EXPECT_FALSE(h->GetBooleanValue("k"));
    EXPECT_TRUE(h->ContainsValue("k"));
    h->SetIntegerValue("k", -7);  // a number reads true as a Boolean
    EXPECT_TRUE(h->GetBooleanValue("k"));
    EXPECT_EQ(h->GetIntegerValue("k"), -7);
    EXPECT_EQ(h->GetStringValue("k").str(), "");  // wrong type: ignored
    h->SetStringValue("s", "text");
    EXPECT_EQ(h->GetStringValue("s").str(), "text");
    EXPECT_EQ(h->GetIntegerValue("s"), 0);
    CFTypeRef s = h->GetTypeValue("s");  // the caller's reference
    ASSERT_NE(s, nullptr);
    CFRelease(s);
    EXPECT_EQ(h->fChangeCount, 3);

    // Arrays take each distinct value once; only a real append is counted.
    h->SetArrayValue("list", CFSTR("a"));
    h->SetArrayValue("list", CFSTR("a"));
    EXPECT_EQ(h->fChangeCount, 4);
    h->SetArrayValue("list", CFSTR("b"));
    EXPECT_EQ(h->fChangeCount, 5);
    CFTypeRef first = h->GetArrayValue("list", 0);
    EXPECT_TRUE(first && CFEqual(first, CFSTR("a")));
    EXPECT_TRUE(CFEqual(h->GetArrayValue("list", 1), CFSTR("b")));
    EXPECT_EQ(h->GetArrayValue("list", 2), nullptr);
    EXPECT_EQ(h->GetArrayValue("list", -1), nullptr);
    EXPECT_EQ(h->GetArrayValue("s", 0), nullptr);

    h->RemoveValue("s");
    EXPECT_FALSE(h->ContainsValue("s"));
    h->RemoveValue("list");
    h->RemoveValue("k");
    h->Release();
    for (TPreferenceHandler* p : parents) p->Release();
  }

  // The root class stores nothing and answers false even for Booleans.
  auto* base = new TPreferenceHandler;
  base->SetBooleanValue("k", false);
  EXPECT_FALSE(base->GetBooleanValue("k"));
  EXPECT_FALSE(base->ContainsValue("k"));
  EXPECT_EQ(base->fChangeCount, 0);
  base->Release();
}

TEST_F(PreferencesTest, ApplicationKeysJoinTheDomainAndReachTheFile) {
  TPreferenceHandlerApplication* user = AppHandler("user.");
  user->SetIntegerValue("GeneralFileEncoding", 4);
  CFTypeRef stored = CFPreferencesCopyAppValue(CFSTR("user.GeneralFileEncoding"), kCFPreferencesCurrentApplication);
  ASSERT_NE(stored, nullptr);
  SInt32 value = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(stored), kCFNumberSInt32Type, &value);
  EXPECT_EQ(value, 4);
  CFRelease(stored);
  EXPECT_TRUE(user->ContainsValue("GeneralFileEncoding"));
  TPreferenceHandlerApplication* bare = AppHandler("");
  EXPECT_FALSE(bare->ContainsValue("GeneralFileEncoding"));

  EXPECT_FALSE(fs::exists(appFile));
  user->Synchronize();
  EXPECT_EQ(user->fChangeCount, 0);
  CFDictionaryRef written = ParseFile(appFile);
  EXPECT_EQ(IntegerIn(written, "user.GeneralFileEncoding"), 4);
  if (written) CFRelease(written);

  // The element of an array stays valid across the preferences' reloading.
  user->SetArrayValue("Recent", CFSTR("one"));
  CFTypeRef element = user->GetArrayValue("Recent", 0);
  user->Synchronize();
  EXPECT_TRUE(CFEqual(element, CFSTR("one")));

  // A removal counts, and reaches the file.
  user->RemoveValue("GeneralFileEncoding");
  EXPECT_EQ(user->fChangeCount, 1);
  user->Synchronize();
  written = ParseFile(appFile);
  EXPECT_EQ(IntegerIn(written, "user.GeneralFileEncoding"), -1);
  if (written) CFRelease(written);
  user->Release();
  bare->Release();
}

TEST_F(PreferencesTest, FileHandlerWritesOnlyCountedChanges) {
  // A new, empty file: the handler starts empty and writes nothing unasked.
  TPreferenceHandlerFile* h = FileHandler("project.plist");
  ASSERT_NE(h->fValues, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(h->fValues), 0);
  h->Synchronize();
  EXPECT_EQ(ReadFile(P("project.plist")), "");

  h->SetStringValue("Name", "site");
  h->Synchronize();
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(h->fChangeCount, 0);
  h->Release();

  // Read back by a new handler; a removal alone does not reach the file.
  h = new TPreferenceHandlerFile;
  h->SetFile(Ref(P("project.plist")));
  EXPECT_EQ(h->GetStringValue("Name").str(), "site");
  const std::string before = ReadFile(P("project.plist"));
  h->RemoveValue("Name");
  EXPECT_EQ(h->fChangeCount, 0);
  h->Synchronize();
  EXPECT_EQ(ReadFile(P("project.plist")), before);
  // ... but it goes with the next counted change.
  h->SetBooleanValue("Open", true);
  h->Synchronize();
  CFDictionaryRef written = ParseFile(P("project.plist"));
  ASSERT_NE(written, nullptr);
  EXPECT_FALSE(CFDictionaryContainsKey(written, CFSTR("Name")));
  EXPECT_EQ(CFDictionaryGetValue(written, CFSTR("Open")), kCFBooleanTrue);
  CFRelease(written);
  h->Release();
}

// A write that fails (its folder went away) reports it and forgets nothing:
// the same handler writes every change once the folder is back.
TEST_F(PreferencesTest, FileHandlerKeepsChangesAFailedWriteDidNotStore) {
  fs::create_directories(P("bundle"));
  TPreferenceHandlerFile* h = FileHandler("bundle/project.plist");
  h->SetStringValue("Name", "site");
  fs::remove_all(P("bundle"));
  h->Synchronize();
  EXPECT_NE(Err, noErr);
  EXPECT_GT(h->fChangeCount, 0);

  fs::create_directories(P("bundle"));
  WriteFile(P("bundle/project.plist"), "");
  h->SetBooleanValue("Open", true);
  h->Synchronize();
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(h->fChangeCount, 0);
  CFDictionaryRef written = ParseFile(P("bundle/project.plist"));
  ASSERT_NE(written, nullptr);
  EXPECT_TRUE(CFEqual(CFDictionaryGetValue(written, CFSTR("Name")), CFSTR("site")));
  EXPECT_EQ(CFDictionaryGetValue(written, CFSTR("Open")), kCFBooleanTrue);
  CFRelease(written);
  // Nothing counted: nothing to write, and no stale error.
  Err = ioErr;
  h->Synchronize();
  EXPECT_EQ(Err, noErr);
  h->Release();
}

TEST_F(PreferencesTest, TheChangeCountStopsInsteadOfWrapping) {
  TPreferenceHandlerFile* h = FileHandler("busy.plist");
  for (int i = 0; i < 40000; ++i) h->SetIntegerValue("n", i);
  EXPECT_EQ(h->fChangeCount, 32767);
  h->Synchronize();
  EXPECT_EQ(h->fChangeCount, 0);
  CFDictionaryRef written = ParseFile(P("busy.plist"));
  EXPECT_EQ(IntegerIn(written, "n"), 39999);
  if (written) CFRelease(written);
  h->Release();
}

TEST_F(PreferencesTest, UnusableFilesStartEmptyAndAreNeverLost) {
  struct Case {
    const char* what;
    std::string contents;
  };
  const Case cases[] = {
      {"not a property list", "{ this is not a property list"},
      {"array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"},
      {"truncated", std::string(kValidList).substr(0, 90)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(P("bad.plist"));
    fs::remove(P("bad.plist.corrupt"));
    TPreferenceHandlerFile* h = FileHandler("bad.plist", c.contents);
    EXPECT_FALSE(h->ContainsValue("kept"));
    h->Synchronize();
    EXPECT_EQ(ReadFile(P("bad.plist")), c.contents);
    h->SetStringValue("new", "value");
    h->Synchronize();
    EXPECT_EQ(Err, noErr);
    EXPECT_EQ(ReadFile(P("bad.plist.corrupt")), c.contents);
    CFDictionaryRef written = ParseFile(P("bad.plist"));
    EXPECT_TRUE(written && CFDictionaryContainsKey(written, CFSTR("new")));
    if (written) CFRelease(written);
    h->Release();
  }

  // A folder where the file should be: nothing is replaced, Err tells.
  fs::create_directory(P("folder.plist"));
  auto* h = new TPreferenceHandlerFile;
  h->SetFile(Ref(P("folder.plist")));
  h->SetStringValue("k", "v");
  h->Synchronize();
  EXPECT_NE(Err, noErr);
  EXPECT_TRUE(fs::is_directory(P("folder.plist")));
  h->Release();

  // No file at all: empty, and the save fails with -1.
  h = new TPreferenceHandlerFile;
  h->SetFile(FSRef{});
  h->SetStringValue("k", "v");
  EXPECT_EQ(h->GetStringValue("k").str(), "v");
  h->Synchronize();
  EXPECT_EQ(Err, -1);
  h->Release();
}

TEST_F(PreferencesTest, DictionaryHandlerWritesThroughItsParent) {
  TPreferenceHandlerFile* parent = FileHandler("parent.plist");
  auto* child = new TPreferenceHandlerDictionary;
  child->Create("Files", parent);
  EXPECT_FALSE(child->ContainsValue("index.php"));
  child->SetIntegerValue("index.php", 3);
  child->Synchronize();
  EXPECT_EQ(parent->fChangeCount, 0);
  CFDictionaryRef written = ParseFile(P("parent.plist"));
  ASSERT_NE(written, nullptr);
  CFTypeRef inner = CFDictionaryGetValue(written, CFSTR("Files"));
  ASSERT_TRUE(inner && CFGetTypeID(inner) == CFDictionaryGetTypeID());
  EXPECT_EQ(IntegerIn(static_cast<CFDictionaryRef>(inner), "index.php"), 3);
  CFRelease(written);

  // A second child over the same name edits the parent's dictionary in place.
  auto* again = new TPreferenceHandlerDictionary;
  again->Create("Files", parent);
  EXPECT_EQ(again->GetIntegerValue("index.php"), 3);
  again->SetIntegerValue("about.php", 1);
  CFTypeRef shared = parent->GetTypeValue("Files");
  EXPECT_EQ(IntegerIn(static_cast<CFDictionaryRef>(shared), "about.php"), 1);
  CFRelease(shared);
  again->Release();
  child->Release();
  parent->Release();

  // Over the application preferences, whose values are fixed, the child
  // edits a copy of its own and stores it back.
  TPreferenceHandlerApplication* app = AppHandler("user.");
  CFMutableDictionaryRef seed =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(seed, CFSTR("old"), kCFBooleanFalse);
  app->SetTypeValue("Server", seed);
  CFRelease(seed);
  auto* server = new TPreferenceHandlerDictionary;
  server->Create("Server", app);
  EXPECT_FALSE(server->GetBooleanValue("old"));
  server->SetIntegerValue("port", 21);
  server->Synchronize();
  written = ParseFile(appFile);
  ASSERT_NE(written, nullptr);
  inner = CFDictionaryGetValue(written, CFSTR("user.Server"));
  ASSERT_TRUE(inner && CFGetTypeID(inner) == CFDictionaryGetTypeID());
  EXPECT_EQ(IntegerIn(static_cast<CFDictionaryRef>(inner), "port"), 21);
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(inner)), 2);
  CFRelease(written);
  server->Release();
  app->Release();

  // A parent of no known kind leaves the child without a dictionary.
  auto* base = new TPreferenceHandler;
  auto* orphan = new TPreferenceHandlerDictionary;
  orphan->Create("x", base);
  Err = noErr;
  orphan->SetStringValue("k", "v");
  EXPECT_FALSE(orphan->ContainsValue("k"));
  EXPECT_EQ(Err, paramErr);  // refused, and not counted
  EXPECT_EQ(orphan->fChangeCount, 0);
  orphan->Synchronize();
  orphan->Release();
  base->Release();
}

TEST_F(PreferencesTest, EditsThroughImmutableDictionariesStick) {
  // A caller may store an immutable dictionary as a value. Here the parent
  // file holds Outer, which holds Inner, both immutable; a handler over Inner
  // inside a handler over Outer makes each kind of edit.
  auto immutable = [](CFStringRef key, CFTypeRef value) {
    const void* keys[] = {key};
    const void* values[] = {value};
    return CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
  };
  struct Case {
    const char* what;
    std::function<void(TPreferenceHandler*)> edit;
    std::function<bool(CFDictionaryRef)> holds;  // in the written Inner
  };
  static UInt8 bytes[2] = {1, 2};
  const Case cases[] = {
      {"boolean", [](TPreferenceHandler* h) { h->SetBooleanValue("k", false); },
       [](CFDictionaryRef d) { return CFDictionaryGetValue(d, CFSTR("k")) == kCFBooleanFalse; }},
      {"string", [](TPreferenceHandler* h) { h->SetStringValue("k", "v"); },
       [](CFDictionaryRef d) { return CFEqual(CFDictionaryGetValue(d, CFSTR("k")), CFSTR("v")); }},
      {"integer", [](TPreferenceHandler* h) { h->SetIntegerValue("k", 21); },
       [](CFDictionaryRef d) { return IntegerIn(d, "k") == 21; }},
      {"data", [](TPreferenceHandler* h) { h->SetDataValue("k", bytes, 2); },
       [](CFDictionaryRef d) {
         CFTypeRef v = CFDictionaryGetValue(d, CFSTR("k"));
         return v && CFGetTypeID(v) == CFDataGetTypeID() && CFDataGetLength(static_cast<CFDataRef>(v)) == 2;
       }},
      {"type", [](TPreferenceHandler* h) { h->SetTypeValue("k", CFSTR("t")); },
       [](CFDictionaryRef d) { return CFEqual(CFDictionaryGetValue(d, CFSTR("k")), CFSTR("t")); }},
      {"array", [](TPreferenceHandler* h) { h->SetArrayValue("k", CFSTR("a")); },
       [](CFDictionaryRef d) {
         CFTypeRef v = CFDictionaryGetValue(d, CFSTR("k"));
         return v && CFGetTypeID(v) == CFArrayGetTypeID() && CFArrayGetCount(static_cast<CFArrayRef>(v)) == 1;
       }},
      {"removal", [](TPreferenceHandler* h) { h->RemoveValue("old"); },
       [](CFDictionaryRef d) { return !CFDictionaryContainsKey(d, CFSTR("old")); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool removal = std::string(c.what) == "removal";
    fs::remove(P("parent.plist"));
    TPreferenceHandlerFile* parent = FileHandler("parent.plist");
    CFDictionaryRef inner = immutable(CFSTR("old"), kCFBooleanFalse);
    CFDictionaryRef outer = immutable(CFSTR("Inner"), inner);
    parent->SetTypeValue("Outer", outer);
    CFRelease(outer);
    CFRelease(inner);
    auto* outerHandler = new TPreferenceHandlerDictionary;
    outerHandler->Create("Outer", parent);
    auto* innerHandler = new TPreferenceHandlerDictionary;
    innerHandler->Create("Inner", outerHandler);

    Err = noErr;
    c.edit(innerHandler);
    EXPECT_EQ(Err, noErr);
    EXPECT_EQ(innerHandler->fChangeCount, removal ? 0 : 1);
    EXPECT_EQ(innerHandler->ContainsValue(removal ? "old" : "k"), !removal);
    // The parents share the edited dictionary at once, before any Synchronize.
    CFTypeRef shared = parent->GetTypeValue("Outer");
    ASSERT_TRUE(shared && CFGetTypeID(shared) == CFDictionaryGetTypeID());
    auto sharedInner = static_cast<CFDictionaryRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(shared), CFSTR("Inner")));
    EXPECT_TRUE(sharedInner && c.holds(sharedInner));
    CFRelease(shared);

    if (removal) innerHandler->SetStringValue("other", "x");  // a removal goes with a counted change
    innerHandler->Synchronize();
    outerHandler->Synchronize();
    CFDictionaryRef written = ParseFile(P("parent.plist"));
    ASSERT_NE(written, nullptr);
    auto writtenOuter = static_cast<CFDictionaryRef>(CFDictionaryGetValue(written, CFSTR("Outer")));
    auto writtenInner =
        writtenOuter ? static_cast<CFDictionaryRef>(CFDictionaryGetValue(writtenOuter, CFSTR("Inner"))) : nullptr;
    ASSERT_NE(writtenInner, nullptr);
    EXPECT_TRUE(c.holds(writtenInner));
    EXPECT_EQ(CFDictionaryContainsKey(writtenInner, CFSTR("old")), !removal);  // nothing else lost
    CFRelease(written);
    innerHandler->Release();
    outerHandler->Release();
    parent->Release();
  }
}

// The byte swapper sees which buffer it converts and in which order.
struct SwapCall {
  std::string key;
  SInt16 order;
  const void* data;
};
std::vector<SwapCall> gSwaps;

void Swapper(const Str255& key, SInt16 order, void* data) {
  gSwaps.push_back({key.str(), order, data});
  auto* bytes = static_cast<UInt8*>(data);
  std::swap(bytes[0], bytes[1]);
}

TEST_F(PreferencesTest, StoredRecordsAreSwappedAndSizeChecked) {
  for (bool application : {false, true}) {
    SCOPED_TRACE(application ? "application" : "file");
    gSwaps.clear();
    TPreferenceHandler* h = application ? static_cast<TPreferenceHandler*>(AppHandler("rec."))
                                        : FileHandler("records.plist");
    h->SetByteSwapperCallback(Swapper);

    UInt8 record[4] = {1, 2, 3, 4};
    h->SetDataValue("Layout", record, sizeof record);
    ASSERT_EQ(gSwaps.size(), 1u);
    EXPECT_EQ(gSwaps[0].order, 1);
    EXPECT_EQ(gSwaps[0].data, record);  // the caller's own buffer, converted in place
    EXPECT_EQ(record[0], 2);

    UInt8 back[4] = {0, 0, 0, 0};
    EXPECT_TRUE(h->CopyDataValue("Layout", back, sizeof back));
    ASSERT_EQ(gSwaps.size(), 2u);
    EXPECT_EQ(gSwaps[1].order, 2);
    EXPECT_NE(gSwaps[1].data, back);  // a private copy
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 4), std::string("\x01\x02\x03\x04", 4));

    // Data of another length than the record is refused, untouched.
    UInt8 small[2] = {9, 9};
    EXPECT_FALSE(h->CopyDataValue("Layout", small, sizeof small));
    UInt8 large[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(h->CopyDataValue("Layout", large, sizeof large));
    EXPECT_FALSE(h->CopyDataValue("missing", large, sizeof large));
    h->SetStringValue("text", "abcd");
    EXPECT_FALSE(h->CopyDataValue("text", large, 4));
    EXPECT_EQ(small[0], 9);
    EXPECT_EQ(large[0], 9);
    EXPECT_EQ(gSwaps.size(), 2u);

    // The walk presents copies of nested data and leaves the value alone.
    gSwaps.clear();
    CFDataRef leaf = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>("xy"), 2);
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, leaf);
    CFArrayAppendValue(array, CFSTR("skipped"));
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dict, CFSTR("list"), array);
    CFDictionarySetValue(dict, CFSTR("data"), leaf);
    h->SwapTypeBytes("Walk", dict, 2);
    ASSERT_EQ(gSwaps.size(), 2u);
    for (const SwapCall& call : gSwaps) {
      EXPECT_EQ(call.key, "Walk");
      EXPECT_EQ(call.order, 2);
      EXPECT_NE(call.data, CFDataGetBytePtr(leaf));
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(leaf)), 2), "xy");
    CFRelease(dict);
    CFRelease(array);
    CFRelease(leaf);
    h->RemoveValue("Layout");
    h->RemoveValue("text");
    h->Release();
  }
}

TEST_F(PreferencesTest, AReadOnlyFileIsLeftAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TPreferenceHandlerFile* h = FileHandler("locked.plist", kValidList);
  fs::permissions(P("locked.plist"), fs::perms::owner_read);
  EXPECT_EQ(h->GetStringValue("kept").str(), "old");
  h->SetStringValue("k", "v");
  h->Synchronize();
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(ReadFile(P("locked.plist")), kValidList);
  h->Release();
}

}  // namespace
