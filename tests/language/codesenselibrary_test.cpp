// The macro library: which library a command is taken from for a language,
// loading (first name wins, damaged files), unique names, the editing
// operations and what they write, the command menu, and saving the
// standard libraries into the user's own folder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFPreferenceUtilities.h"
#include "CFPropertyList.h"
#include "MacHelp.h"
#include "Menus.h"
#include "fixtures/CodeSenseFixture.h"

using namespace codesensetest;

namespace {

struct Libraries : ScratchTest {
  TCodeSenseLibrary* library = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    library = new TCodeSenseLibrary();
  }
  void TearDown() override {
    library->Free();
    ScratchTest::TearDown();
  }
  // Writes scratch/<folder>/<name>.macros.plist and loads it.
  std::string Load(const std::string& name, const std::string& contents, const std::string& folder = "") {
    const std::string dir = scratch + "/" + folder;
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/" + name + ".macros.plist";
    WriteText(path, contents);
    library->LoadLibrary(RefOf(path));
    return path;
  }
  // The "text" of the command found for the language, or "<none>".
  std::string Found(const std::string& language, const std::string& name) {
    library->SetLanguage(Str63(language));
    CFDictionaryRef command = library->FindCommand(Str255(name));
    if (command == nullptr) return "<none>";
    return Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(command, CFStringMakeConstantUTF8("text"))));
  }
};

TEST_F(Libraries, ACommandComesFromTheFirstAcceptedLibraryThatHasIt) {
  Load("common", Library({{"both", "macro", "common"}, {"unique", "macro", "common"}}));
  Load("php", Library({{"both", "macro", "php"}, {"phponly", "macro", "php"}}));
  Load("perl", Library({{"perlonly", "macro", "perl"}}));
  Load("project", Library({{"proj", "macro", "project"}}));
  Load("tools", Library({{"toolonly", "macro", "tools"}}));
  struct Case {
    const char* language;
    const char* name;
    const char* found;
  } cases[] = {
      {"php", "both", "common"},      {"php", "phponly", "php"},      {"php", "perlonly", "<none>"},
      {"php", "proj", "project"},     {"php", "toolonly", "<none>"},  {"tools", "toolonly", "tools"},
      {"", "perlonly", "perl"},       {"", "toolonly", "tools"},      {"perl", "phponly", "<none>"},
      {"php", "Both", "<none>"},      {"php", "missing", "<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Found(c.language, c.name), c.found) << c.language << " " << c.name;
}

TEST_F(Libraries, LoadingKeepsTheFirstLibraryOfANameAndSurvivesDamagedFiles) {
  Load("common", Library({{"a", "macro", "first"}}));
  Load("common", Library({{"a", "macro", "second"}}), "other");
  EXPECT_EQ(Found("", "a"), "first");
  EXPECT_EQ(CFArrayGetCount(library->libraries), 2);

  // A root of another kind is an empty library; unreadable data is none.
  Load("html", Plist("<array><string>x</string></array>\n"));
  Load("xml", "this is no property list");
  Ref html(CF("html")), xml(CF("xml"));
  CFTypeRef empty = CFDictionaryGetValue(library->commands, html.get());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(empty)), 0);
  EXPECT_FALSE(CFDictionaryContainsKey(library->commands, xml.get()));

  // Entries of the wrong kind are not commands; a text that is no string is
  // no text.
  Load("php", Plist("<dict><key>s</key><string>not a command</string>"
                    "<key>n</key><dict><key>action</key><string>macro</string><key>text</key><integer>4</integer></dict>"
                    "</dict>\n"));
  EXPECT_EQ(library->FindCommand("s"), nullptr);
  MacroDataPtr data = library->GetCommandData("n");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text, nullptr);
  EXPECT_EQ(data->publicName, "n");
  EXPECT_EQ(data->action, "macro");
  ReleaseMacro(data);
  EXPECT_EQ(data, nullptr);
  ReleaseMacro(data);  // nil is fine
  EXPECT_EQ(library->GetCommandData("nothing"), nullptr);
}

TEST_F(Libraries, UniqueNamesSkipEveryLoadedLibraryAcceptedOrNot) {
  Load("common", Library({}));
  EXPECT_EQ(library->GetUniqueCommand(), "????");
  Load("perl", Library({{"????", "macro", ""}}));
  Load("php", Library({{"????_1", "macro", ""}, {"????_3", "macro", ""}}));
  library->SetLanguage("ruby");
  EXPECT_EQ(library->GetUniqueCommand(), "????_2");
}

TEST_F(Libraries, SavedCommandsAreStoredInLowerCaseAndWritten) {
  const std::string path = Load("project", Library({{"old", "macro", "x"}}), "bundle");
  MacroDataPtr macro = NewMacro("report");
  macro->publicName = "Run Report";
  macro->action = "Shell";
  macro->output = "Error List";
  CFStringAppend(macro->text, CFStringMakeConstantUTF8("echo $1"));
  library->SaveCommand(macro, "project");
  library->SaveCommand(macro, "nowhere");  // no such library: nothing
  ReleaseMacro(macro);

  Ref stored(CFPreferencesLoadPropertyList(RefOf(path)));
  ASSERT_TRUE(stored);
  auto command = static_cast<CFDictionaryRef>(CFDictionaryGetValue(stored.dict(), CFStringMakeConstantUTF8("report")));
  ASSERT_NE(command, nullptr);
  auto field = [&](const char* key) {
    return Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(command, CFStringMakeConstantUTF8(key))));
  };
  EXPECT_EQ(field("action"), "shell");
  EXPECT_EQ(field("output"), "error list");
  EXPECT_EQ(field("public-name"), "Run Report");
  EXPECT_EQ(field("text"), "echo $1");
  EXPECT_NE(CFDictionaryGetValue(stored.dict(), CFStringMakeConstantUTF8("old")), nullptr);

  // Removing writes nothing until the next save.
  library->RemoveCommand("old", "project");
  Ref unchanged(CFPreferencesLoadPropertyList(RefOf(path)));
  EXPECT_NE(CFDictionaryGetValue(unchanged.dict(), CFStringMakeConstantUTF8("old")), nullptr);
  library->Save();
  Ref saved(CFPreferencesLoadPropertyList(RefOf(path)));
  EXPECT_EQ(CFDictionaryGetValue(saved.dict(), CFStringMakeConstantUTF8("old")), nullptr);
  EXPECT_EQ(Err, noErr);
}

TEST_F(Libraries, UnloadingByFileOrNameDropsTheLibraryAndItsCommands) {
  const std::string project = Load("project", Library({{"p", "macro", "one"}}), "a");
  Load("common", Library({{"c", "macro", "c"}}));
  library->UnloadLibrary(RefOf(project));
  EXPECT_EQ(Found("", "p"), "<none>");
  Load("project", Library({{"p", "macro", "two"}}), "b");
  EXPECT_EQ(Found("", "p"), "two");
  library->UnloadLibraryWithName("project");
  EXPECT_EQ(Found("", "p"), "<none>");
  EXPECT_EQ(CFArrayGetCount(library->libraries), 1);
  EXPECT_EQ(Found("", "c"), "c");
}

TEST_F(Libraries, TheMenuListsTheCommandsOfEveryAcceptedLibrary) {
  const std::string longText(300, 'x');
  Load("common", Library({{"date", "shell", "date", "", "Today"}, {"sig", "macro", longText}}));
  Load("php", Library({{"fn", "macro", "function"}}));
  Load("perl", Library({{"sub", "macro", "sub"}}));
  Load("html", Library({}));
  library->SetLanguage("php");
  MenuRef menu = library->BuildMenu();
  ASSERT_NE(menu, nullptr);
  std::vector<std::string> rows;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(menu, i, &attributes);
    CFStringRef title = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &title);
    MenuCommand command = 0;
    GetMenuItemCommandID(menu, i, &command);
    std::string row = (attributes & kMenuItemAttrSeparator) ? "---" : (attributes & kMenuItemAttrSectionHeader) ? "# " : "";
    if (!(attributes & kMenuItemAttrSeparator)) row += Utf8(title);
    if (title) CFRelease(title);
    if (command == kHICommandInsertMacro) {
      unsigned char name[256] = {0};
      ByteCount size = 0;
      EXPECT_EQ(GetMenuItemProperty(menu, i, 0, 0, sizeof name, &size, name), noErr);
      EXPECT_EQ(size, 256u);
      row += " <" + std::string(reinterpret_cast<char*>(name + 1), name[0]) + ">";
      HMHelpContentRec help{};
      ASSERT_EQ(HMGetMenuItemHelpContent(menu, i, &help), noErr);
      CFStringRef tag = help.content[kHMMinimumContentIndex].u.tagCFString;
      row += " " + std::to_string(CFStringGetLength(tag));
      CFRelease(tag);
    }
    rows.push_back(row);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"---", "# common", "Today <date> 4", "sig <sig> 255", "---", "# php",
                                            "fn <fn> 8"}));
  ReleaseMenu(menu);
}

TEST_F(Libraries, StandardLibrariesAreSavedIntoTheUsersFolderNeverTheApplications) {
  library->Load();
  Ref html(CF("html"));
  ASSERT_TRUE(CFDictionaryContainsKey(library->commands, html.get())) << "the shipped html library";
  FSRef shipped = {};
  ASSERT_EQ(FSGetResourceFile("html.macros.plist", "Code Sense", shipped), noErr);
  char shippedPath[1024] = {0};
  FSRefMakePath(&shipped, reinterpret_cast<UInt8*>(shippedPath), sizeof shippedPath);
  const std::string before = ReadText(shippedPath);

  MacroDataPtr macro = NewMacro("mine");
  macro->action = "macro";
  CFStringAppend(macro->text, CFStringMakeConstantUTF8("<mine/>"));
  library->SaveCommand(macro, "html");
  ReleaseMacro(macro);
  EXPECT_EQ(Err, noErr);

  const std::string user = scratch + "/data/Quorvel/Code Sense/";
  EXPECT_EQ(ReadText(shippedPath), before);
  EXPECT_TRUE(Exists(user + "html.macros.plist"));
  // Libraries and variables that did not change are not copied.
  EXPECT_FALSE(Exists(user + "common.macros.plist"));
  EXPECT_FALSE(Exists(user + "variables.plist"));

  // From now on the user's copy is the one read.
  TCodeSenseLibrary* again = LoadCodeSenseLibrary();
  again->SetLanguage("html");
  EXPECT_NE(again->FindCommand("mine"), nullptr);
  ASSERT_NE(again->variables, nullptr);
  CFDictionarySetValue(again->variables, CFStringMakeConstantUTF8("AUTHOR"), CFStringMakeConstantUTF8("Me"));
  again->Save();
  again->Free();
  Ref variables(CFPreferencesLoadPropertyList(RefOf(user + "variables.plist")));
  ASSERT_TRUE(variables);
  EXPECT_EQ(Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(variables.dict(), CFStringMakeConstantUTF8("AUTHOR")))),
            "Me");

  // A variables file whose root is no dictionary gives no variables.
  WriteText(user + "variables.plist", Plist("<string>x</string>\n"));
  TCodeSenseLibrary* damaged = LoadCodeSenseLibrary();
  EXPECT_EQ(damaged->variables, nullptr);
  damaged->Free();
}

}  // namespace
