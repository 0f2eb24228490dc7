// A project over real bundle folders: the preference file copied from the
// application's default once, the default user paths, finding files through
// path templates and user paths, adding files and folders to groups with and
// without copying, renaming and removing items with their per-file settings,
// the edited state of items, and the group files written and read back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CFData.h"
#include "Files.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "plinthora/Plinthora.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TFileInfoUnit.h"
#include "TFileSystemUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TProjectDialogsUnit.h"
#include "TProjectDocumentUnit.h"
#include "TDemoApplicationUnit.h"
#include "TProjectUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserUnit.h"

namespace {

namespace fs = std::filesystem;

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::vector<UserPathInfo> Paths(TPreferenceHandler* prefs) {
  std::vector<UserPathInfo> result;
  for (CFIndex i = 0;; ++i) {
    auto data = static_cast<CFDataRef>(prefs->GetArrayValue("UserPaths", i));
    if (!data) break;
    result.push_back(DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data)));
  }
  return result;
}

std::vector<std::string> Names(TProjectGroup* group) {
  std::vector<std::string> names;
  for (NodeInfoPtr node : group->Items()) {
    auto* bytes = static_cast<const UInt8*>(node->DATA);
    if (node->DATATYPE == kProjectFolderType)
      names.push_back("[" + DecodeProjectFolderName(bytes, node->DATALENGTH).str() + "]");
    else
      names.push_back(DecodeProjectItemData(bytes, node->DATALENGTH).name.str());
  }
  return names;
}

ProjectItemData ItemOf(NodeInfoPtr node) {
  return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH);
}

bool AlertSaid(const std::string& text) {
  for (const HeadlessAlertRecord& record : HeadlessCopyAlertLog())
    if (record.explanation == text || record.error == text) return true;
  return false;
}

class ProjectTest : public ::testing::Test {
 protected:
  fs::path folder;  // the project folder: the bundle, Sources and Resources
  fs::path bundle;
  TPreferenceHandlerFile* application = nullptr;

  void SetUp() override {
    folder = fs::path(getenv("TMPDIR")) /
             (std::string("project-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    bundle = folder / "Site.qvproj";
    fs::create_directories(bundle / "Contents/Resources/Preferences");
    fs::create_directories(bundle / "Contents/Resources/Data");
    Write(folder / "app.plist", "");
    application = new TPreferenceHandlerFile();
    application->SetFile(Ref(folder / "app.plist"));
    // A missing Boolean reads as true: say what these tests assume.
    application->SetBooleanValue("GeneralImportCopyFiles", false);
    application->SetBooleanValue("GeneralImportAddPath", false);
    AppPrefs = application;
    HeadlessClearAlertLog();
    RegisterToolbarViewClass();  // the pane's header toolbar
  }
  void TearDown() override {
    AppPrefs = nullptr;
    application->Release();
  }
  TProject* Open() { return CreateProjectPane(Ref(bundle)); }
};

}  // namespace

TEST_F(ProjectTest, DefaultPreferencesAreCopiedOnceAndDefaultsAddedOnce) {
  TProject* project = Open();
  EXPECT_EQ(Err, noErr);
  ASSERT_TRUE(fs::exists(bundle / "Contents/Resources/Preferences/project.plist"));
  TPreferenceHandler* prefs = project->projectPreferences;
  EXPECT_EQ(prefs->GetStringValue("ProjectServer").str(), "None");  // from the default file
  EXPECT_EQ(prefs->GetIntegerValue("ProjectSize"), 2);
  std::vector<UserPathInfo> paths = Paths(prefs);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_TRUE(paths[0].path == "Sources" && paths[0].kind == kUserPathProject && paths[0].enabled);
  EXPECT_TRUE(paths[1].path == "Resources" && paths[1].kind == kUserPathProject);
  EXPECT_TRUE(paths[2].path == "/" && paths[2].kind == kUserPathLocalhost);

  // The user disables "Sources"; later openings leave the choice alone and
  // copy nothing over the user's file.
  prefs->SetStringValue("ProjectServer", "Mine");
  CFMutableArrayRef edited = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const UserPathInfo& p : paths) {
    CFDataRef data = NewUserPath(p.path, p.kind, !(p.path == "Sources"));
    CFArrayAppendValue(edited, data);
    CFRelease(data);
  }
  prefs->SetTypeValue("UserPaths", edited);
  CFRelease(edited);
  project->Release();

  for (int round = 0; round < 2; ++round) {
    project = Open();
    paths = Paths(project->projectPreferences);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_FALSE(paths[0].enabled);
    EXPECT_EQ(project->projectPreferences->GetStringValue("ProjectServer").str(), "Mine");
    project->Release();
  }
  EXPECT_FALSE(AlertSaid(kProjectPrefsFailedMessage));
}

TEST_F(ProjectTest, NoPreferencesFolderIsReported) {
  fs::remove_all(bundle / "Contents/Resources/Preferences");
  TProject* project = Open();
  EXPECT_EQ(Err, fnfErr);
  EXPECT_TRUE(AlertSaid(kProjectPrefsFailedMessage));
  EXPECT_EQ(project->GetFileSystem(), nullptr);
  ASSERT_NE(project->projectPreferences, nullptr);  // attached, bound to no file
  EXPECT_TRUE(Paths(project->projectPreferences).empty());
  project->Release();
}

TEST_F(ProjectTest, SizesAreStored) {
  TProject* project = Open();
  struct Case {
    SInt32 given, stored;
  } cases[] = {{0, 2}, {-3, 2}, {1, 1}, {4, 4}, {5, 5}};
  for (const Case& c : cases) {
    project->SetSize(c.given);
    EXPECT_EQ(project->projectPreferences->GetIntegerValue("ProjectSize"), c.stored) << c.given;
  }
  ProjectRowMetrics metrics;
  EXPECT_TRUE(GetProjectRowMetrics(3, metrics));
  EXPECT_EQ(metrics.rowHeight, 33);
  EXPECT_EQ(metrics.indent, 18);
  EXPECT_FALSE(GetProjectRowMetrics(5, metrics));
  project->Release();
}

TEST_F(ProjectTest, FilesAreFoundByTemplateThenByUserPaths) {
  Write(folder / "lib/a.php", "<?php\n");
  Write(folder / "Sources/b.php", "<?php\n");
  Write(folder / "plain/c.php", "<?php\n");
  Write(folder / "appside/d.php", "<?php\n");
  TProject* project = Open();
  FSRef found;

  auto setPath = [&](const char* name, const std::string& value) {
    TPreferenceHandlerDictionary* entry = project->CopyFileInfo(name);
    entry->SetStringValue(kFileInfoPath, Str255(value));
    entry->Synchronize();
    entry->Release();
  };
  setPath("a.php", "{src}lib");
  ASSERT_TRUE(project->ResolveFile("a.php", found));
  EXPECT_EQ(FSGetFullPath(found).str(), (folder / "lib/a.php").string());

  // Through the default user path "Sources".
  ASSERT_TRUE(project->ResolveFile("b.php", found));
  EXPECT_EQ(FSGetFullPath(found).str(), (folder / "Sources/b.php").string());

  // A template without "}" is a plain path.
  setPath("c.php", (folder / "plain").string());
  ASSERT_TRUE(project->ResolveFile("c.php", found));
  EXPECT_EQ(FSGetFullPath(found).str(), (folder / "plain/c.php").string());

  // A template that leads nowhere falls back to the search.
  setPath("b.php", "{src}nowhere");
  EXPECT_TRUE(project->ResolveFile("b.php", found));

  // An application path of kind Project is searched as written, not joined
  // to the project folder.
  CFDataRef record = NewUserPath("appside", kUserPathProject, true);
  application->SetArrayValue("UserPaths", record);
  CFRelease(record);
  EXPECT_FALSE(project->ResolveFile("d.php", found));
  record = NewUserPath(Str255((folder / "appside").string()), kUserPathProject, true);
  application->SetArrayValue("UserPaths", record);
  CFRelease(record);
  EXPECT_TRUE(project->ResolveFile("d.php", found));

  EXPECT_FALSE(project->ResolveFile("missing.php", found));
  project->Release();
}

TEST_F(ProjectTest, AddingFilesToGroups) {
  Write(folder / "outside/x.php", "<?php echo 1;\n");
  Write(folder / "outside/logo.png", "png");
  Write(folder / "outside/data.bin", "\x01\x02");
  Write(folder / "outside" / (std::string(70, 'n') + ".php"), "<?php\n");
  TProject* project = Open();
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  TProjectGroup* resources = project->FindGroupByType(kProjectResourceType);

  // No "Sources" folder and no copying: the file is added where it lies.
  project->AddFile(Ref(folder / "outside/x.php"), false);
  EXPECT_EQ(Names(sources), std::vector<std::string>{"x.php"});
  EXPECT_FALSE(fs::exists(folder / "Sources"));
  ProjectItemData item = ItemOf(sources->Items()[0]);
  EXPECT_TRUE(item.needsUpload);
  EXPECT_EQ(item.index, UInt32(sources->Items()[0]->INDEX));

  // Copying makes the folder and copies into it; a file already there is
  // not copied onto itself.
  project->AddFile(Ref(folder / "outside/logo.png"), true);
  EXPECT_TRUE(fs::exists(folder / "Resources/logo.png"));
  EXPECT_EQ(Names(resources), std::vector<std::string>{"logo.png"});
  project->AddFile(Ref(folder / "Resources/logo.png"), true);
  EXPECT_EQ(Names(resources), (std::vector<std::string>{"logo.png", "logo.png"}));
  EXPECT_FALSE(AlertSaid(kProjectCopyFailedMessage));

  // A copy over an existing different file fails with the message.
  Write(folder / "elsewhere/logo.png", "other");
  project->AddFile(Ref(folder / "elsewhere/logo.png"), true);
  EXPECT_TRUE(AlertSaid(kProjectCopyFailedMessage));
  EXPECT_EQ(Names(resources).size(), 2u);

  // No group takes the type; a name too long for the item is refused.
  project->AddFile(Ref(folder / "outside/data.bin"), false);
  HeadlessClearAlertLog();
  project->AddFile(Ref(folder / "outside" / (std::string(70, 'n') + ".php")), false);
  EXPECT_TRUE(AlertSaid(kProjectNameTooLongMessage));
  EXPECT_EQ(Names(sources), std::vector<std::string>{"x.php"});

  // A new folder goes to the group of the selection and takes the next
  // files.
  const DataBrowserItemID x = DataBrowserItemID(sources->Items()[0]->INDEX);
  SetDataBrowserSelectedItems(project->browserControl, 1, &x, kDataBrowserItemsAssign);
  project->AddFolder("lib");
  Write(folder / "outside/y.php", "<?php\n");
  project->AddFile(Ref(folder / "outside/y.php"), false);
  EXPECT_EQ(Names(sources), (std::vector<std::string>{"x.php", "[lib]", "y.php"}));
  EXPECT_EQ(sources->Items()[2]->PARENT, sources->Items()[1]->INDEX);
  project->Release();
}

TEST_F(ProjectTest, AFileAddedWhereItLiesIsFoundAgain) {
  // Inside the project folder, outside it, and in the folder the default
  // paths search: each row leads back to its file, the first two through
  // the folder kept in their settings.
  const fs::path away = fs::path(getenv("TMPDIR")) / "project-away-site";
  fs::remove_all(away);
  struct Case {
    fs::path file;
    std::string kept;  // "FileInfoPath"
  } cases[] = {
      {folder / "site/lib/a.php", "{src}/site/lib"},
      {away / "b.php", away.string()},
      {folder / "Sources/c.php", ""},
  };
  for (const Case& c : cases) Write(c.file, "<?php\n");
  TProject* project = Open();
  for (const Case& c : cases) {
    const Str63 name(c.file.filename().string());
    project->AddFile(Ref(c.file), false);
    FSRef found{};
    ASSERT_TRUE(project->ResolveFile(name, found)) << c.file;
    const FSRef expected = Ref(c.file);
    EXPECT_EQ(FSCompareFSRefs(&found, &expected), noErr) << c.file;
    TPreferenceHandlerDictionary* info = project->CopyFileInfo(name);
    EXPECT_EQ(info->GetStringValue(kFileInfoPath).str(), c.kept) << c.file;
    info->Release();
  }
  CFArrayRef files = CopyProjectSearchFiles(project);
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(CFArrayGetCount(files), 3);
  CFRelease(files);
  project->Release();
  fs::remove_all(away);
}

// A group file that cannot be written is named in one alert with the reason;
// the rows stay, and the next save once the place is free writes them.
TEST_F(ProjectTest, AGroupFileThatCannotBeWrittenIsToldAndItsRowsKept) {
  Write(folder / "Sources/cart.php", "<?php\n");
  TProject* project = Open();
  project->AddFile(Ref(folder / "Sources/cart.php"), false);
  const fs::path sources = bundle / "Contents/Resources/Data/sources.plist";
  fs::remove(sources);
  fs::create_directory(sources);  // a folder where the file goes
  HeadlessClearAlertLog();
  project->SaveAll();
  auto alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].explanation, "The file \"sources.plist\" could not be saved. A folder has that name.");
  EXPECT_TRUE(fs::is_directory(sources));

  fs::remove(sources);
  HeadlessClearAlertLog();
  project->SaveAll();
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  std::ifstream in(sources);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(written.find("<data>"), std::string::npos) << written;
  project->Release();
}

TEST_F(ProjectTest, BatchFindSearchesTheSourcesFoundOnDisk) {
  // Files in the project's Sources folder are found through its user paths.
  Write(folder / "Sources/a.php", "<?php echo 1;\n");
  Write(folder / "Sources/b.php", "<?php echo 2;\n");
  TProject* project = Open();
  project->AddFile(Ref(folder / "Sources/b.php"), false);
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  fs::remove(folder / "Sources/a.php");  // listed, but gone from the disk
  CFArrayRef files = CopyProjectSearchFiles(project);
  ASSERT_NE(files, nullptr);
  ASSERT_EQ(CFArrayGetCount(files), 1);
  const auto* ref = static_cast<const FSRef*>(CFArrayGetValueAtIndex(files, 0));
  const FSRef kept = Ref(folder / "Sources/b.php");
  EXPECT_EQ(FSCompareFSRefs(ref, &kept), noErr);
  CFRelease(files);
  EXPECT_EQ(CopyProjectSearchFiles(nullptr), nullptr);
  project->Release();
}

TEST_F(ProjectTest, AddUserPathKinds) {
  Write(folder / "site/x.php", "<?php\n");
  application->SetBooleanValue("GeneralImportAddPath", true);
  TProject* project = Open();
  project->AddFile(Ref(folder / "site/x.php"), false);
  project->AddFile(Ref(folder / "site/x.php"), false);
  project->AddUserPath("/opt/elsewhere/z.php");
  std::vector<UserPathInfo> paths = Paths(project->projectPreferences);
  ASSERT_EQ(paths.size(), 5u);
  EXPECT_TRUE(paths[3].path == "/site" && paths[3].kind == kUserPathProject);
  EXPECT_TRUE(paths[4].path == "/opt/elsewhere" && paths[4].kind == kUserPathRoot);
  project->Release();
}

TEST_F(ProjectTest, RenamingItems) {
  Write(folder / "Sources/old.php", "<?php\n");
  TProject* project = Open();
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  project->AddFile(Ref(folder / "Sources/old.php"), false);
  SInt32 index = sources->Items()[0]->INDEX;

  EXPECT_TRUE(project->RenameItem(sources, index, "new.php", true));
  EXPECT_TRUE(fs::exists(folder / "Sources/new.php"));
  EXPECT_FALSE(fs::exists(folder / "Sources/old.php"));
  EXPECT_EQ(Names(sources), std::vector<std::string>{"new.php"});

  // Too long: refused, nothing renamed.
  EXPECT_FALSE(project->RenameItem(sources, index, Str255(std::string(64, 'q')), true));
  EXPECT_TRUE(AlertSaid(kProjectNameTooLongMessage));
  EXPECT_TRUE(fs::exists(folder / "Sources/new.php"));

  // On disk over an existing file: the message, the old name kept.
  Write(folder / "Sources/taken.php", "");
  EXPECT_FALSE(project->RenameItem(sources, index, "taken.php", true));
  EXPECT_TRUE(AlertSaid(kProjectRenameFailedMessage));
  EXPECT_EQ(Names(sources), std::vector<std::string>{"new.php"});

  // Only the stored name.
  EXPECT_TRUE(project->RenameItem(sources, index, "other.php", false));
  EXPECT_TRUE(fs::exists(folder / "Sources/new.php"));

  TProjectGroup* snippets = project->FindGroupByType(kProjectSnippetType);
  std::string snippet = SnippetCreateData("untitled", u"x");
  SInt32 s = snippets->NewItem(snippet.data(), SInt32(snippet.size()), 0);
  EXPECT_TRUE(project->RenameItem(snippets, s, "loop:body", false));
  NodeInfoPtr node = snippets->GetNode(s);
  EXPECT_TRUE(SnippetGetName(node->DATA, node->DATALENGTH) == "loop");
  project->Release();
}

TEST_F(ProjectTest, RemovingItemsAndClosingKeepSharedSettings) {
  Write(folder / "Sources/index.php", "<?php\n");
  Write(folder / "Sources/other.php", "<?php\n");
  TProject* project = Open();
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  project->AddFile(Ref(folder / "Sources/index.php"), false);
  project->AddFolder("sub");
  project->AddFile(Ref(folder / "Sources/index.php"), false);
  project->insertionContainer = 0;
  project->AddFile(Ref(folder / "Sources/other.php"), false);
  SetDefaultFileInfoForName("index.php", project->projectPreferences);
  SetDefaultFileInfoForName("other.php", project->projectPreferences);
  project->Release();  // closing keeps every entry

  project = Open();
  TPreferenceHandler* prefs = project->projectPreferences;
  sources = project->FindGroupByType(kProjectSourceType);
  ASSERT_EQ(Names(sources), (std::vector<std::string>{"index.php", "[sub]", "index.php", "other.php"}));
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::index.php"));
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::other.php"));

  // The first index.php goes; the other still uses the entry.
  project->RemoveItem(sources, sources->Items()[0]->INDEX);
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::index.php"));
  // The folder goes with what it holds, and the last index.php with it.
  project->RemoveItem(sources, sources->Items()[0]->INDEX);
  EXPECT_EQ(Names(sources), std::vector<std::string>{"other.php"});
  EXPECT_FALSE(prefs->ContainsValue("FileInfo::index.php"));
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::other.php"));
  project->Release();

  project = Open();
  EXPECT_FALSE(project->projectPreferences->ContainsValue("FileInfo::index.php"));
  EXPECT_EQ(Names(project->FindGroupByType(kProjectSourceType)), std::vector<std::string>{"other.php"});
  project->Release();
}

TEST_F(ProjectTest, EditedStateFollowsTheDocument) {
  Write(folder / "Sources/a.php", "<?php\n");
  TProject* project = Open();
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  NodeInfoPtr node = sources->Items()[0];
  project->SetItemEdited("a.php", true);
  EXPECT_TRUE(ItemOf(node).edited);
  auto* bytes = static_cast<UInt8*>(node->DATA);
  bytes[72] = 1;  // a failed upload
  bytes[76] = 5;
  EXPECT_TRUE(HasUploadError(ItemOf(node)));
  project->SetItemEdited("a.php", false);
  EXPECT_FALSE(ItemOf(node).edited);
  EXPECT_TRUE(HasUploadError(ItemOf(node)));
  project->DocumentClosed("a.php");
  EXPECT_FALSE(HasUploadError(ItemOf(node)));
  EXPECT_EQ(ItemOf(node).errorDomain, 0);
  project->Release();
}

TEST_F(ProjectTest, GroupFilesMatchTheFixture) {
  Write(folder / "Sources/a.php", "<?php\n");
  TProject* project = Open();
  project->AddFolder("lib");
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  project->Release();
  std::ifstream written(bundle / "Contents/Resources/Data/sources.plist");
  std::ifstream fixture(QUORVEL_TEST_SOURCE_DIR "/shell/fixtures/ProjectSources.plist");
  std::string a((std::istreambuf_iterator<char>(written)), {});
  std::string b((std::istreambuf_iterator<char>(fixture)), {});
  EXPECT_EQ(a, b);
  // The other groups were written empty.
  for (const char* name : {"resources.plist", "snippets.plist", "bookmarks.plist", "commands.plist"})
    EXPECT_TRUE(fs::exists(bundle / "Contents/Resources/Data" / name)) << name;
}

namespace {

TSyntaxCollection* Languages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    c->LoadLibrary("php");
    return c;
  }();
  return collection;
}

void RunCompile(TProject* project) {
  for (int i = 0; i < 200000 && project->parser; ++i) HeadlessAdvanceClock(0.001);
}

}  // namespace

TEST_F(ProjectTest, CompilingRealPHPFiles) {
  Write(folder / "Sources/lib.php", "<?php\nfunction project_helper($a) {\n  return $a;\n}\nclass ProjectThing {}\n");
  Write(folder / "Sources/page.php", "<?php\nproject_helper(1);\n");
  Write(folder / "Sources/notes.txt", "plain\n");
  TProject* project = Open();
  ASSERT_NE(project->GetFileSystem(), nullptr);
  project->GetFileSystem()->SetCollection(Languages());
  for (const char* name : {"lib.php", "page.php", "notes.txt"}) project->AddFile(Ref(folder / "Sources" / name), false);

  project->Compile();
  EXPECT_EQ(project->compileCount, 2);  // the text file has no language
  EXPECT_FALSE(project->compileWindow);
  RunCompile(project);
  ASSERT_EQ(project->parser, nullptr);
  SymbolInfoPtr info = nullptr;
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("project_helper", info));
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("ProjectThing", info));
  for (NodeInfoPtr node : project->FindGroupByType(kProjectSourceType)->Items()) EXPECT_FALSE(ItemOf(node).compiling);

  // Nothing changed since: nothing to compile.
  HeadlessClearAlertLog();
  project->Compile();
  EXPECT_EQ(project->parser, nullptr);
  EXPECT_TRUE(AlertSaid(kProjectNothingToCompileMessage));

  // Another program rewrites one file: only that one is parsed again, and
  // its old symbols go.
  const fs::path lib = folder / "Sources/lib.php";
  const auto written = fs::last_write_time(lib);
  Write(lib, "<?php\nfunction rewritten_helper() {}\n");
  fs::last_write_time(lib, written + std::chrono::seconds(5));
  project->Compile();
  EXPECT_EQ(project->compileCount, 1);
  RunCompile(project);
  ASSERT_EQ(project->parser, nullptr);
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("rewritten_helper", info));
  EXPECT_FALSE(project->GetFileSystem()->GetSymbol("project_helper", info));
  project->Release();

  // The symbol index was saved with the project and is read back.
  project = Open();
  EXPECT_TRUE(project->GetFileSystem()->GetSymbol("rewritten_helper", info));
  project->Release();
}

TEST_F(ProjectTest, CompileWindowThresholdAndEndingEarly) {
  TProject* project = Open();
  project->GetFileSystem()->SetCollection(Languages());
  for (int i = 0; i < 36; ++i) {
    std::string name = "f" + std::to_string(i) + ".php";
    Write(folder / "Sources" / name, "<?php\nfunction f" + std::to_string(i) + "() {}\n");
    project->AddFile(Ref(folder / "Sources" / name), false);
  }
  project->Compile();
  EXPECT_EQ(project->compileCount, 36);
  EXPECT_TRUE(project->compileWindow);
  ASSERT_NE(project->compiler, nullptr);
  const WindowRef progress = project->compiler->window;
  // Items removed while the compile runs are skipped in its reports.
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  while (!sources->Items().empty()) project->RemoveItem(sources, sources->Items()[0]->INDEX);
  RunCompile(project);
  EXPECT_EQ(project->parser, nullptr);
  // The compile window goes with the compile.
  EXPECT_EQ(project->compiler, nullptr);
  HeadlessAdvanceClock(0.01);
  EXPECT_FALSE(IsValidWindowPtr(progress));
  project->Release();

  project = Open();
  project->GetFileSystem()->SetCollection(Languages());
  for (int i = 0; i < 35; ++i) project->AddFile(Ref(folder / "Sources" / ("f" + std::to_string(i) + ".php")), false);
  project->GetFileSystem()->CleanAll();
  Write(folder / "Sources/f0.php", "<?php\nfunction changed() {}\n");
  project->Compile();
  EXPECT_FALSE(project->compileWindow);
  EXPECT_EQ(project->compiler, nullptr);
  ASSERT_NE(project->parser, nullptr);
  // Closing the project during the compile ends the compile with it: the
  // timer fires no more into the freed project.
  project->Release();
  for (int i = 0; i < 200; ++i) HeadlessAdvanceClock(0.001);

  project = Open();
  project->GetFileSystem()->SetCollection(Languages());
  SInt32 count = 0;
  for (int i = 0; i < 35; ++i) count += project->GetFileSystem()->GetFileModified(Str63("f" + std::to_string(i) + ".php"));
  EXPECT_GT(count, 0);  // some files still wait for a compile
  project->Release();
}

TEST_F(ProjectTest, DroppedFolderBecomesAFolderItem) {
  for (const char* name : {"a.php", "b.php", "c.php"}) Write(folder / "drop/site" / name, "<?php\n");
  Write(folder / "drop/site/sub/d.php", "<?php\n");
  TProject* project = Open();
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  static_cast<TFileGroup*>(sources)->AddFolderItems(Ref(folder / "drop/site"), true);
  EXPECT_EQ(Names(sources), (std::vector<std::string>{"[site]", "a.php", "b.php", "c.php"}));
  for (const char* name : {"a.php", "b.php", "c.php"}) EXPECT_TRUE(fs::exists(folder / "Sources" / name));
  SInt32 folderIndex = sources->Items()[0]->INDEX;
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(sources->Items()[i]->PARENT, folderIndex);
  project->Release();
}

TEST_F(ProjectTest, ProjectCommands) {
  Write(folder / "Sources/a.php", "<?php\n");
  TProject* project = Open();
  auto send = [&](UInt32 id, EventRef event = nullptr, MenuItemIndex item = 0) {
    HICommand command{};
    command.commandID = id;
    command.menu.menuItemIndex = item;
    SInt32 result = eventNotHandledErr;
    project->ProcessCommand(command, event, result);
    return result;
  };
  EXPECT_EQ(send('ASNI'), noErr);
  EXPECT_EQ(send('ABOK'), noErr);
  EXPECT_EQ(send('ACOM'), noErr);
  NodeInfoPtr snippet = project->FindGroupByType(kProjectSnippetType)->Items().at(0);
  EXPECT_EQ(snippet->DATALENGTH, 64);
  EXPECT_TRUE(SnippetGetName(snippet->DATA, snippet->DATALENGTH) == "untitled");
  NodeInfoPtr bookmark = project->FindGroupByType(kProjectBookmarkType)->Items().at(0);
  EXPECT_EQ(bookmark->DATALENGTH, kProjectBookmarkDataSize);
  EXPECT_TRUE(DecodeProjectBookmarkData(static_cast<UInt8*>(bookmark->DATA), bookmark->DATALENGTH).openInside);
  NodeInfoPtr command = project->FindGroupByType(kProjectCommandType)->Items().at(0);
  EXPECT_TRUE(DecodeCommandData(static_cast<UInt8*>(command->DATA), command->DATALENGTH).title == "untitled");

  // Without a selection a new folder goes to Sources; 'addf' adds at the
  // root whatever folder was made last.
  SetDataBrowserSelectedItems(project->browserControl, 0, nullptr, kDataBrowserItemsAssign);
  EXPECT_EQ(send('ADIR'), noErr);
  EventRef event = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event), noErr);
  FSRef file = Ref(folder / "Sources/a.php");
  SetEventParameter(event, 'FREF', typeFSRef, sizeof file, &file);
  EXPECT_EQ(send('addf', event), noErr);
  ReleaseEvent(event);
  TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
  EXPECT_EQ(Names(sources), (std::vector<std::string>{"[untitled folder]", "a.php"}));
  EXPECT_EQ(sources->Items()[1]->PARENT, sources->ROOTITEM);

  EXPECT_EQ(send('PRJS', nullptr, 3), noErr);
  EXPECT_EQ(project->projectPreferences->GetIntegerValue("ProjectSize"), 3);
  EXPECT_EQ(send('zzzz'), eventNotHandledErr);
  project->Release();
}

TEST_F(ProjectTest, ThePaneFromTheInterfaceFile) {
  RegisterToolbarViewClass();
  IBNibRef nib = nullptr;
  ASSERT_EQ(CreateNibReference(CFSTR("main"), &nib), noErr);
  TProject* project = CreateProjectPane(Ref(bundle), nib);
  ASSERT_NE(project->paneView, nullptr);
  ASSERT_NE(project->browserControl, nullptr);
  UInt16 height = 0;
  project->SetSize(4);
  GetDataBrowserTableViewRowHeight(project->browserControl, &height);
  EXPECT_EQ(height, 65);
  project->SetSize(5);  // beyond the table: the height stays
  GetDataBrowserTableViewRowHeight(project->browserControl, &height);
  EXPECT_EQ(height, 65);
  project->Release();
  DisposeNibReference(nib);
  // The preferences were written when the project went.
  TProject* again = Open();
  EXPECT_EQ(again->projectPreferences->GetIntegerValue("ProjectSize"), 2);  // every opening resets it
  again->Release();
}

TEST_F(ProjectTest, DocumentsMarkTheirItems) {
  Write(folder / "Sources/a.php", "<?php\n");
  TProject* project = Open();
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  NodeInfoPtr node = project->FindGroupByType(kProjectSourceType)->Items()[0];
  auto* bytes = static_cast<UInt8*>(node->DATA);
  bytes[72] = 1;
  bytes[76] = 7;  // a failed upload

  TProjectDocument* document = NewProjectDocument(project);
  document->Create(Ref(folder / "Sources/a.php"));
  document->SetModifiedState(true);
  EXPECT_TRUE(ItemOf(node).edited);
  document->SetModifiedState(false);
  EXPECT_FALSE(ItemOf(node).edited);
  document->SetModifiedState(true);
  document->Closed();
  EXPECT_FALSE(ItemOf(node).edited);
  EXPECT_FALSE(HasUploadError(ItemOf(node)));
  document->Release();
  EXPECT_TRUE(project->documents.empty());

  // A document that outlives its project no longer reaches it.
  TProjectDocument* late = NewProjectDocument(project);
  late->Create(Ref(folder / "Sources/a.php"));
  project->Release();
  EXPECT_EQ(late->project, nullptr);
  late->SetModifiedState(true);
  late->Closed();
  late->Release();

  // The hooks hand out project documents and the file's settings.
  InstallProgramWiring();
  project = Open();
  SetDefaultFileInfoForName("a.php", project->projectPreferences);
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  ASSERT_NE(hooks.MakeDocument, nullptr);
  TSourceDocument* made = hooks.MakeDocument(project);
  EXPECT_NE(dynamic_cast<TProjectDocument*>(made), nullptr);
  made->Release();
  CFDictionaryRef info = EditorPaneGetHooks().CopyFileInfo(project, "a.php");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(info), 5);
  CFRelease(info);
  EXPECT_EQ(EditorPaneGetHooks().CopyFileInfo(project, "none.php"), nullptr);
  EXPECT_EQ(EditorPaneGetHooks().ProjectFileSystem(project), project->GetFileSystem());
  project->Release();
}
