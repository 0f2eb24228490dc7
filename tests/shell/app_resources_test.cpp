// The shared resources the application object loads once, the icons it
// registers by (creator, type), and the default preferences it ships.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "AppShellTestSupport.h"
#include "CFData.h"
#include "Icons.h"
#include "TFileSystemUnit.h"
#include "TPreferencesUnit.h"
#include "TPropertyListUnit.h"
#include "TSyntaxCollectionUnit.h"

using namespace appshell;

namespace {

const char* const kThemes[] = {"Classic", "Midnight", "Paper"};

TEST(AppResources, LoadResourcesFillsTheRecord) {
  StartOnce();
  const ApplicationResourceInfo* r = AppResources;
  ASSERT_NE(r, nullptr);
  EXPECT_NE(r->CodeSense, nullptr);
  EXPECT_NE(r->ProjectContextualMenu, nullptr);
  // An interface file the bundle holds gives a reference; one it lacks, none.
  const std::pair<const char*, IBNibRef> nibs[] = {
      {"Preferences", r->PreferencesNib}, {"ProjectInfo", r->ProjectInfoNib},       {"Find", r->FindNib},
      {"FileInfo", r->FileInfoNib},       {"MacroEditor", r->MacroEditorNib},       {"BookmarkEditor", r->BookmarkEditorNib},
      {"SnippetEditor", r->SnippetEditorNib}, {"Pages", r->PagesNib},            {"CSSEditor", r->CSSEditorNib},
      {"Books", r->BooksNib}};
  for (const auto& [name, ref] : nibs)
    EXPECT_EQ(ref != nullptr, fs::exists(BuiltResources() + "/Interface/" + name + ".nib.plist")) << name;
  EXPECT_NE(r->FindNib, nullptr);
  EXPECT_NE(r->SelectionImage, nullptr);
  ASSERT_NE(r->ToolbarPreferences, nullptr);
  EXPECT_TRUE(r->ToolbarPreferences->GetBooleanValue("php/com.brindlecote.toolbar.editor.run"));
  EXPECT_FALSE(r->ToolbarPreferences->GetBooleanValue("css/com.brindlecote.toolbar.editor.run"));

  // The libraries in their order; the first run's theme styles them.
  ASSERT_NE(r->SyntaxCollection, nullptr);
  std::vector<std::string> languages;
  for (CFIndex i = 0; i < r->SyntaxCollection->GetLibraryCount(); ++i)
    languages.push_back(r->SyntaxCollection->GetLibraryAtIndex(i)->language.str());
  EXPECT_EQ(languages, (std::vector<std::string>{"php", "perl", "html", "xml", "css", "javascript", "ruby"}));
  EXPECT_NE(r->SyntaxCollection->styles, nullptr);
  // The symbol index lives in the application's own support folder, over
  // the collection.
  ASSERT_NE(r->FileSystem, nullptr);
  EXPECT_EQ(r->FileSystem->collection, r->SyntaxCollection);
  EXPECT_EQ(PathOf(r->FileSystem->folder), std::string(getenv("XDG_DATA_HOME")) + "/Quorvel");
}

// The theme named in the preferences styles the collection when its styles
// are stored; otherwise the collection starts without styles. Without an
// Application Support folder there is no symbol index, and nothing else
// fails.
TEST(AppResources, ThemeAndSupportFolderDecideWhatTheCollectionAndIndexGet) {
  PrepareAppBundle();
  ScratchFolder scratch("support");
  const std::string blocked = scratch.Write("not-a-folder", "x");
  const std::string data = getenv("XDG_DATA_HOME");
  struct Case {
    const char* name;
    const char* theme;
    bool stylesStored;
    bool supportFolder;
  } cases[] = {{"stored theme", "Midnight", true, true},
               {"theme without styles", "Nowhere", false, true},
               {"no support folder", "Midnight", true, false}};
  auto* prefs = new TPreferenceHandlerApplication();
  prefs->SetDomain(kApplicationPreferencesDomain);
  CFPropertyListRef midnight = ReadPropertyList(BuiltResources() + "/Syntax Themes/Midnight.plist");
  ASSERT_NE(midnight, nullptr);
  prefs->SetTypeValue("SyntaxStyles.Midnight", midnight);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prefs->SetStringValue("StylesTheme", c.theme);
    setenv("XDG_DATA_HOME", c.supportFolder ? data.c_str() : (blocked + "/data").c_str(), 1);
    TDemoApplication app;
    app.preferences = prefs;
    app.LoadResources();
    ASSERT_NE(app.resources, nullptr);
    EXPECT_EQ(AppResources, app.resources);
    TSyntaxCollection* collection = app.resources->SyntaxCollection;
    ASSERT_NE(collection, nullptr);
    if (c.stylesStored)
      EXPECT_TRUE(collection->styles != nullptr && CFEqual(collection->styles, midnight));
    else
      EXPECT_EQ(collection->styles, nullptr);
    EXPECT_EQ(collection->GetLibraryCount(), 7);
    EXPECT_EQ(app.resources->FileSystem != nullptr, c.supportFolder);
    EXPECT_NE(app.resources->CodeSense, nullptr);
  }
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  CFRelease(midnight);
  prefs->Release();
}

TEST(AppResources, EveryIconIsDrawnAndRegisteredUnderItsOwnPair) {
  StartOnce();
  size_t count = 0;
  const ApplicationIconInfo* table = ApplicationIconTable(&count);
  ASSERT_GT(count, 90u);
  std::set<std::pair<OSType, OSType>> pairs;
  for (size_t i = 0; i < count; ++i) {
    const ApplicationIconInfo& icon = table[i];
    const std::string where = std::string(icon.folder) + "/" + icon.file;
    EXPECT_TRUE(pairs.insert({icon.creator, icon.type}).second) << where << " is registered twice";
    EXPECT_TRUE(icon.creator == kQuorvelCreator || icon.creator == kSystemIconsCreator) << where;
    EXPECT_TRUE(fs::exists(BuiltResources() + "/" + where)) << where << " is drawn into the bundle";
  }
  // The same type under the two creators is two icons.
  for (OSType type : {'ADDF', 'FOR<', 'MSYM', 'pRSC', 'EDIM'}) {
    EXPECT_TRUE(pairs.count({kQuorvelCreator, type}) && pairs.count({kSystemIconsCreator, type}));
  }
  // Registered at start-up (the generic folder only on systems before 10.5).
  for (size_t i = 0; i < count; ++i) {
    if (table[i].creator == kSystemIconsCreator && table[i].type == kGenericFolderIcon) continue;
    EXPECT_EQ(UnregisterIconRef(table[i].creator, table[i].type), noErr) << table[i].file;
  }
}

// The HTML structure pane's tag icons are drawn into the bundle and
// registered at start-up, whether or not the pane is offered.
TEST(AppResources, TheHTMLTagIconsAreDrawnAndRegistered) {
  StartOnce();
  const struct {
    const char* file;
    OSType type;
  } kTags[] = {{"form", 'hfrm'},  {"h", 'hhed'},     {"head", 'hhde'},  {"html", 'hhtm'}, {"img", 'himg'},
               {"input", 'hinp'}, {"li", 'hlsi'},    {"object", 'hobj'}, {"p", 'hpar'},   {"script", 'hscr'},
               {"style", 'hsty'}, {"table", 'htab'}, {"td", 'htbc'},    {"tr", 'hbtr'},   {"a", 'hlnk'},
               {"tag", 'hgen'},   {"textnode", 'hgtn'}};
  for (const auto& tag : kTags) {
    const std::string where = std::string("Images/HTMLViewer/") + tag.file + ".icns";
    EXPECT_TRUE(fs::exists(BuiltResources() + "/" + where)) << where;
    EXPECT_EQ(UnregisterIconRef(kQuorvelCreator, tag.type), noErr) << where;
  }
}

// The shipped defaults: every key in the application's domain, the themes
// as the bundle ships them, and nothing that only a run writes.
TEST(AppResources, DefaultPreferencesCarryTheShippedThemes) {
  PrepareAppBundle();
  CFPropertyListRef list = ReadPropertyList(BuiltResources() + "/" + kDefaultPreferencesFile);
  ASSERT_TRUE(list != nullptr && CFGetTypeID(list) == CFDictionaryGetTypeID());
  auto defaults = static_cast<CFDictionaryRef>(list);
  const CFIndex count = CFDictionaryGetCount(defaults);
  std::vector<const void*> keys(count), values(count);
  CFDictionaryGetKeysAndValues(defaults, keys.data(), values.data());
  for (const void* key : keys) EXPECT_EQ(StringOf(key).rfind("user.", 0), 0u) << StringOf(key);
  for (const char* runOnly : {"user.DocumentList", "user.RecentItems", "user.CommandLinePHP"}) {
    CFStringRef key = Key(runOnly);
    EXPECT_FALSE(CFDictionaryContainsKey(defaults, key)) << runOnly;
    CFRelease(key);
  }
  CFStringRef themeKey = Key("user.StylesTheme");
  const std::string chosen = StringOf(CFDictionaryGetValue(defaults, themeKey));
  CFRelease(themeKey);
  EXPECT_TRUE(fs::exists(BuiltResources() + "/Syntax Themes/" + chosen + ".plist")) << chosen;
  for (const char* theme : kThemes) {
    SCOPED_TRACE(theme);
    CFPropertyListRef shipped = ReadPropertyList(BuiltResources() + "/Syntax Themes/" + theme + ".plist");
    CFStringRef stylesKey = Key(("user.SyntaxStyles." + std::string(theme)).c_str());
    CFStringRef colourKey = Key(("user.StylesTheme." + std::string(theme)).c_str());
    CFTypeRef styles = CFDictionaryGetValue(defaults, stylesKey);
    EXPECT_TRUE(shipped != nullptr && styles != nullptr && CFEqual(styles, shipped));
    CFTypeRef colours = CFDictionaryGetValue(defaults, colourKey);
    ASSERT_TRUE(colours != nullptr && CFGetTypeID(colours) == CFDataGetTypeID());
    const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(colours));
    EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(colours)), 56);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 1), bytes[0]), theme);
    CFRelease(stylesKey);
    CFRelease(colourKey);
    if (shipped != nullptr) CFRelease(shipped);
  }
  CFRelease(list);
}

}  // namespace
