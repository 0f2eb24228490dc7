// The records a project stores, byte for byte, and the per-file information
// routines over user-path arrays: preview locations, existence, the template
// list, and the seeding of a file's entry.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFString.h"
#include "Files.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TFileInfoUnit.h"
#include "TPreferencesUnit.h"

namespace {

std::string Hex(const UInt8* bytes, size_t count) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

// A file handler over a scratch plist, empty to begin with.
struct ScratchPrefs {
  TPreferenceHandlerFile* handler = new TPreferenceHandlerFile();
  explicit ScratchPrefs(const char* name) {
    std::string path = std::string(getenv("TMPDIR")) + "/" + name;
    remove(path.c_str());
    FILE* f = fopen(path.c_str(), "w");
    fclose(f);
    FSRef ref;
    FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
    handler->SetFile(ref);
  }
  ~ScratchPrefs() { handler->Release(); }
  void SetPaths(const char* key, std::vector<UserPathInfo> records) {
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (const UserPathInfo& r : records) {
      CFDataRef data = NewUserPath(r.path, r.kind, r.enabled);
      CFArrayAppendValue(array, data);
      CFRelease(data);
    }
    handler->SetTypeValue(key, array);
    CFRelease(array);
  }
};

UserPathInfo Path(const char* path, SInt16 kind, bool enabled = true) {
  UserPathInfo info;
  info.path = path;
  info.kind = kind;
  info.enabled = enabled;
  return info;
}

}  // namespace

TEST(ProjectRecords, StoredLayoutsAreByteExact) {
  ProjectItemData item;
  item.name = "a.php";
  item.index = 0x01020304;
  item.edited = true;
  item.needsUpload = true;
  item.errorDomain = 4;
  item.errorCode = -2;
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  EXPECT_EQ(Hex(bytes, 6), "05612e706870");
  for (int i = 6; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(Hex(bytes + 64, 16), "04030201" "01000001" "04000000" "feffffff");
  ProjectItemData back = DecodeProjectItemData(bytes, kProjectItemDataSize);
  EXPECT_TRUE(back.name == "a.php");
  EXPECT_EQ(back.index, 0x01020304u);
  EXPECT_TRUE(back.edited && back.needsUpload && !back.compiling && !back.transferring);
  EXPECT_EQ(back.errorCode, -2);

  UserPathInfo path = Path("Sources", kUserPathProject);
  UInt8 record[kUserPathInfoSize];
  EncodeUserPathInfo(path, record);
  EXPECT_EQ(Hex(record, 9), "0107536f7572636573");
  EXPECT_EQ(Hex(record + 256, 4), "00000300");
  // Equal records are equal data: the array's duplicate test relies on it.
  CFDataRef a = NewUserPath("Sources", kUserPathProject, true);
  CFDataRef b = NewUserPath("Sources", kUserPathProject, true);
  EXPECT_TRUE(CFEqual(a, b));
  CFRelease(a);
  CFRelease(b);

  CommandData command{"Tidy", "tidy_up"};
  UInt8 commandBytes[kCommandDataSize];
  EncodeCommandData(command, commandBytes);
  EXPECT_EQ(Hex(commandBytes, 5), "0454696479");
  EXPECT_EQ(Hex(commandBytes + 64, 8), "07746964795f7570");
  EXPECT_TRUE(DecodeCommandData(commandBytes, kCommandDataSize).command == "tidy_up");

  UInt8 folder[kProjectFolderDataSize];
  EncodeProjectFolder("lib", 'TTXT', folder);
  EXPECT_EQ(Hex(folder + 64, 8), "5458545400000000");  // 'TTXT' in host order
  EXPECT_TRUE(DecodeProjectFolderName(folder, kProjectFolderDataSize) == "lib");
}

TEST(ProjectRecords, BookmarksAndSnippets) {
  struct Case {
    const char* url;
    const char* name;
  } cases[] = {{"http://example.test/docs/page.html", "page.html"}, {"http://example.test/", "untitled"}};
  for (const Case& c : cases) {
    ProjectBookmarkData bookmark = NewBookmarkData(c.url);
    EXPECT_TRUE(bookmark.name == c.name) << c.url;
    EXPECT_TRUE(bookmark.openInside);
    bookmark.application = "org.example.Browser.desktop";
    UInt8 bytes[kProjectBookmarkDataSize];
    EncodeProjectBookmarkData(bookmark, bytes);
    EXPECT_EQ(bytes[400], 1);
    ProjectBookmarkData back = DecodeProjectBookmarkData(bytes, kProjectBookmarkDataSize);
    EXPECT_TRUE(back.url == c.url);
    EXPECT_EQ(back.application, "org.example.Browser.desktop");
  }
  EXPECT_TRUE(IsBookmarkText("http://example.test/"));
  EXPECT_TRUE(IsBookmarkText("file:///tmp/a.html"));
  EXPECT_FALSE(IsBookmarkText("mailto:someone@example.test"));
  EXPECT_FALSE(IsBookmarkText("no scheme here"));

  std::string snippet = SnippetCreateData("untitled", u"echo 1;");
  ASSERT_EQ(snippet.size(), 64u + 14u);
  EXPECT_EQ(snippet.substr(0, 9), "untitled:");
  EXPECT_TRUE(SnippetGetName(snippet.data(), CFIndex(snippet.size())) == "untitled");
  EXPECT_EQ(SnippetGetUnicodeText(snippet.data(), CFIndex(snippet.size())), u"echo 1;");
  SnippetRename(snippet, "loop:body");
  EXPECT_TRUE(SnippetGetName(snippet.data(), CFIndex(snippet.size())) == "loop");
  EXPECT_EQ(SnippetGetUnicodeText(snippet.data(), CFIndex(snippet.size())), u"echo 1;");

  ProjectLabelColor color;
  EXPECT_TRUE(GetProjectLabelColor("Purple", color));
  EXPECT_FLOAT_EQ(color.red, 0.5f);
  EXPECT_FLOAT_EQ(color.alpha, 0.3f);
  EXPECT_FALSE(GetProjectLabelColor("None", color));
  EXPECT_FALSE(GetProjectLabelColor("", color));
}

TEST(FileInfo, ActiveUserPathTakesTheFirstEnabledRecord) {
  ScratchPrefs prefs("fileinfo-active.plist");
  FSRef base{};
  struct Case {
    std::vector<UserPathInfo> records;
    const char* expected;
  } cases[] = {
      {{Path("/Users/a/Sites/site", kUserPathRoot)}, "file:///Users/a/Sites/site/index.php"},
      {{Path("/Users/a/Sites/site/", kUserPathRoot)}, "file:///Users/a/Sites/site/index.php"},
      {{Path("http://example.test/x", kUserPathURL)}, "http://example.test/x"},
      // Only the last component decides whether the location names a file:
      // dotted folders further up get the name appended.
      {{Path("/Users/a/my.site/pages", kUserPathRoot)}, "file:///Users/a/my.site/pages/index.php"},
      {{Path("/home/john.doe", kUserPathRoot)}, "file:///home/john.doe"},
      {{Path("/home/john.doe/", kUserPathRoot)}, "file:///home/john.doe/index.php"},
      {{Path("/srv/www/page.html", kUserPathRoot)}, "file:///srv/www/page.html"},
      {{Path("/srv/www/v.", kUserPathRoot)}, "file:///srv/www/v./index.php"},
      {{Path("/skipped", kUserPathRoot, false), Path("/taken", kUserPathRoot)}, "file:///taken/index.php"},
      // An enabled first record ends the search even when it gives nothing.
      {{Path("", kUserPathURL), Path("/later", kUserPathRoot)}, ""},
      {{Path("/odd", 9), Path("/later", kUserPathRoot)}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    prefs.SetPaths("Paths", c.records);
    EXPECT_EQ(GetActiveUserPath("index.php", base, "Paths", prefs.handler).str(), c.expected)
        << (c.records.empty() ? "none" : c.records[0].path.str());
  }
  EXPECT_EQ(GetActiveUserPath("index.php", base, "Missing", prefs.handler).str(), "");

  // A folder on disk is a folder whatever its last component looks like.
  const std::string home = std::string(getenv("TMPDIR")) + "/john.doe";
  mkdir(home.c_str(), 0755);
  prefs.SetPaths("Paths", {Path(home.c_str(), kUserPathRoot)});
  EXPECT_EQ(GetActiveUserPath("index.php", base, "Paths", prefs.handler).str(), "file://" + home + "/index.php");
  rmdir(home.c_str());
}

TEST(FileInfo, UserPathListsAndExistence) {
  ScratchPrefs prefs("fileinfo-lists.plist");
  EXPECT_EQ(SerializeUserPaths("UserPaths", prefs.handler), nullptr);
  EXPECT_FALSE(UserPathExists("Sources", "UserPaths", prefs.handler));
  prefs.SetPaths("UserPaths", {});
  EXPECT_EQ(SerializeUserPaths("UserPaths", prefs.handler), nullptr);

  prefs.SetPaths("UserPaths", {Path("Sources", kUserPathProject), Path("/srv/www", kUserPathRoot, false),
                               Path("/", kUserPathLocalhost)});
  CFArrayRef list = SerializeUserPaths("UserPaths", prefs.handler);
  ASSERT_NE(list, nullptr);
  std::vector<std::string> texts;
  for (CFIndex i = 0; i < CFArrayGetCount(list); ++i)
    texts.push_back(PCFSTR(static_cast<CFStringRef>(CFArrayGetValueAtIndex(list, i))).str());
  CFRelease(list);
  EXPECT_EQ(texts, (std::vector<std::string>{"{src}Sources", "{root}/srv/www", "{host}/"}));
  EXPECT_TRUE(UserPathExists("/srv/www", "UserPaths", prefs.handler));  // disabled counts
  EXPECT_FALSE(UserPathExists("sources", "UserPaths", prefs.handler));  // case matters
  EXPECT_TRUE(UserPathKindExists("Sources", kUserPathProject, "UserPaths", prefs.handler));
  EXPECT_FALSE(UserPathKindExists("Sources", kUserPathRoot, "UserPaths", prefs.handler));
}

TEST(FileInfo, SeedingFillsOnlyAnEmptyEntry) {
  ScratchPrefs prefs("fileinfo-seed.plist");
  prefs.handler->SetStringValue("ProjectServer", "Main");
  SetDefaultFileInfoForName("index.php", prefs.handler);
  prefs.handler->SetStringValue("ProjectServer", "Other");
  SetDefaultFileInfoForName("index.php", prefs.handler);

  auto* entry = new TPreferenceHandlerDictionary();
  entry->Create("FileInfo::index.php", prefs.handler);
  EXPECT_EQ(entry->GetStringValue(kFileInfoPreviewMode).str(), "Default");
  EXPECT_EQ(entry->GetStringValue(kFileInfoRunMode).str(), "Default");
  EXPECT_EQ(entry->GetStringValue(kFileInfoLabel).str(), "None");
  EXPECT_EQ(entry->GetStringValue(kFileInfoServer).str(), "Main");  // the server of the seeding moment
  EXPECT_TRUE(entry->ContainsValue(kFileInfoPreviewExternal));
  entry->Release();

  // An entry holding any key is left as it is.
  auto* notes = new TPreferenceHandlerDictionary();
  notes->Create("FileInfo::notes.php", prefs.handler);
  notes->SetStringValue(kFileInfoNotes, "keep");
  notes->Synchronize();
  notes->Release();
  SetDefaultFileInfoForName("notes.php", prefs.handler);
  auto* check = new TPreferenceHandlerDictionary();
  check->Create("FileInfo::notes.php", prefs.handler);
  EXPECT_FALSE(check->ContainsValue(kFileInfoRunMode));
  EXPECT_EQ(check->GetStringValue(kFileInfoNotes).str(), "keep");
  check->Release();
}
