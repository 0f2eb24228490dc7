// The project settings and file information windows over a project copied
// from the shipped template: their interface files hold the controls the
// code looks up, with the keys and item texts the project file keeps; what
// the user sets reaches project.plist on disk and shows again when the
// window opens anew; one window at a time, which never edits a project or
// file other than the one it shows, and never outlives its project.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppShellTestSupport.h"
#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CFData.h"
#include "CFPreferenceUtilities.h"
#include "CFTree.h"
#include "DataBrowser.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TDemoApplicationUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileInfoUnit.h"
#include "TProjectInfoUnit.h"
#include "TProjectUnit.h"
#include "TUserPathsBrowserUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

namespace {

namespace fs = std::filesystem;
using appshell::ReadPropertyList;
using appshell::StringOf;

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return {};
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

std::string ViewText(HIViewRef view) {
  CFStringRef text = view != nullptr ? HIViewCopyText(view) : nullptr;
  std::string out = Text(text);
  if (text != nullptr) CFRelease(text);
  return out;
}

std::vector<std::string> MenuTexts(HIViewRef popup) {
  std::vector<std::string> texts;
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  if (menu == nullptr) return texts;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(menu, i, &attributes);
    if (attributes & kMenuItemAttrSeparator) {
      texts.push_back("-");
      continue;
    }
    CFStringRef title = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &title);
    texts.push_back(Text(title));
    if (title != nullptr) CFRelease(title);
  }
  return texts;
}

std::string Chosen(HIViewRef popup) {
  const std::vector<std::string> texts = MenuTexts(popup);
  const SInt32 value = popup != nullptr ? GetControl32BitValue(popup) : 0;
  return value >= 1 && size_t(value) <= texts.size() ? texts[size_t(value) - 1] : "<none>";
}

void Choose(HIViewRef popup, const std::string& text) {
  const std::vector<std::string> texts = MenuTexts(popup);
  for (size_t i = 0; i < texts.size(); ++i)
    if (texts[i] == text) {
      SetControl32BitValue(popup, SInt32(i + 1));
      return;
    }
  ADD_FAILURE() << "no item " << text;
}

void SetText(HIViewRef view, const char* text) {
  CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  HIViewSetText(view, s);
  CFRelease(s);
}

void Command(TWindow* window, UInt32 command) {
  HICommand c{};
  c.commandID = command;
  SInt32 result = eventNotHandledErr;
  window->ProcessCommand(c, nullptr, result);
}

HIViewRef Find(TWindow* window, OSType signature, SInt32 id) {
  return window != nullptr && window->window != nullptr ? HIViewFind(id, signature, window->window) : nullptr;
}

// The rows of a list, in order, as their records' bytes.
std::vector<std::string> Rows(TBrowser* list) {
  std::vector<std::string> rows;
  if (list == nullptr || list->TREE == nullptr) return rows;
  for (CFIndex i = 0; i < CFTreeGetChildCount(list->TREE); ++i) {
    NodeInfoPtr node = BrackenrowGetNode(CFTreeGetChildAtIndex(list->TREE, i));
    if (node != nullptr && node->DATA != nullptr)
      rows.emplace_back(static_cast<const char*>(node->DATA), size_t(GetPtrSize(static_cast<Ptr>(node->DATA))));
  }
  return rows;
}

void SelectRow(TBrowser* list, CFIndex row) {
  NodeInfoPtr node = BrackenrowGetNode(CFTreeGetChildAtIndex(list->TREE, row));
  ASSERT_NE(node, nullptr);
  const DataBrowserItemID item = DataBrowserItemID(node->INDEX);
  SetDataBrowserSelectedItems(list->VIEW, 1, &item, kDataBrowserItemsAssign);
}

// A dictionary of the property list on disk (the caller releases it).
CFDictionaryRef ReadDictionary(const fs::path& path) {
  CFPropertyListRef list = ReadPropertyList(path.string());
  if (list != nullptr && CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    CFRelease(list);
    list = nullptr;
  }
  return static_cast<CFDictionaryRef>(list);
}

CFTypeRef Value(CFDictionaryRef dictionary, const char* key) {
  if (dictionary == nullptr) return nullptr;
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(dictionary, k);
  CFRelease(k);
  return value;
}

std::vector<UserPathInfo> StoredPaths(CFTypeRef array) {
  std::vector<UserPathInfo> paths;
  if (array == nullptr || CFGetTypeID(array) != CFArrayGetTypeID()) return paths;
  for (CFIndex i = 0; i < CFArrayGetCount(CFArrayRef(array)); ++i) {
    auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(CFArrayRef(array), i));
    paths.push_back(DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data)));
  }
  return paths;
}

bool HasPath(const std::vector<UserPathInfo>& paths, const char* path, SInt16 kind) {
  for (const UserPathInfo& info : paths)
    if (info.enabled && info.path == path && info.kind == kind) return true;
  return false;
}

// A project made as the program makes one: the shipped template copied, its
// Sources folder beside the bundle.
struct TemplateProject {
  fs::path folder, bundle;
  TProject* project = nullptr;
  TemplateProject(const std::string& name) {
    folder = fs::path(getenv("TMPDIR")) / ("settings-" + name);
    fs::remove_all(folder);
    const fs::path shipped = fs::path(appshell::BuiltResources()) / "Templates" / "(project template)";
    fs::create_directories(folder);
    fs::copy(shipped / "(bundle).qvproj", folder / (name + ".qvproj"), fs::copy_options::recursive);
    fs::create_directories(folder / "Sources");
    bundle = folder / (name + ".qvproj");
    project = CreateProjectPane(Ref(bundle));
  }
  ~TemplateProject() {
    if (project != nullptr) project->Release();
  }
  fs::path Plist() const { return bundle / "Contents/Resources/Preferences/project.plist"; }
  FSRef Bundle() const { return Ref(bundle); }
  FSRef Source(const std::string& name, const std::string& text = "<?php echo 1; ?>\n") const {
    std::ofstream(folder / "Sources" / name) << text;
    return Ref(folder / "Sources" / name);
  }
  TPreferenceHandler* Prefs() const { return project->projectPreferences; }
};

class ProjectSettingsTest : public ::testing::Test {
 protected:
  TPreferenceHandlerFile* application = nullptr;
  TPreferenceHandler* savedAppPrefs = nullptr;

  void SetUp() override {
    appshell::PrepareAppBundle();
    RegisterToolbarViewClass();
    const fs::path prefs = fs::path(getenv("TMPDIR")) / "settings-app.plist";
    std::ofstream(prefs) << "";
    application = new TPreferenceHandlerFile();
    application->SetFile(Ref(prefs));
    // One server, with a root folder, that the pop-ups offer.
    FTPServerInfo server = NewFTPServerInfo();
    server.Name = "Main";
    server.Host = "ftp.example.test";
    server.RootFolder = "www";
    CFDataRef data = CreateFTPServerData(server);
    CFArrayRef servers = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&data), 1, &kCFTypeArrayCallBacks);
    application->SetTypeValue("FTPServers", servers);
    CFRelease(servers);
    CFRelease(data);
    savedAppPrefs = AppPrefs;
    AppPrefs = application;
  }
  void TearDown() override {
    if (TProjectInfo* open = GetProjectInfoWindow()) {
      SInt32 status = 0;
      open->Close(status);
    }
    if (TFileInfo* open = GetFileInfoWindow()) {
      SInt32 status = 0;
      open->Close(status);
    }
    AppPrefs = savedAppPrefs;
    application->Release();
  }
};

// ---------------------------------------------------------------------------
// The interface files

struct Expected {
  const char* pane;
  OSType signature;
  SInt32 id;
  OSType kind;
  const char* key;                  // the control's preference key; nil: none
  std::vector<std::string> items;   // a pop-up's item texts ("-" a separator); empty: not checked
};

const std::vector<std::string> kRunModes = {"Run & Debug", "Run & Preview", "Run in Terminal Mode", "Check Syntax"};
const std::vector<std::string> kPreviewModes = {"Disk", "Server", "Localhost"};

std::vector<std::string> WithDefault(const std::vector<std::string>& items) {
  std::vector<std::string> out = {"Default", "-"};
  out.insert(out.end(), items.begin(), items.end());
  return out;
}

void CheckPanes(const char* file, const std::vector<Expected>& table) {
  IBNibRef nib = nullptr;
  CFStringRef name = CFStringCreateWithCString(nullptr, file, kCFStringEncodingUTF8);
  ASSERT_EQ(CreateNibReference(name, &nib), noErr) << file;
  CFRelease(name);
  WindowRef main = nullptr;
  EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("MainWindow"), &main), noErr) << file;
  if (main != nullptr) DisposeWindow(main);
  std::map<std::string, WindowRef> panes;
  for (const Expected& e : table) {
    WindowRef& pane = panes[e.pane];
    if (pane == nullptr) {
      CFStringRef paneName = CFStringCreateWithCString(nullptr, e.pane, kCFStringEncodingUTF8);
      ASSERT_EQ(CreateWindowFromNib(nib, paneName, &pane), noErr) << file << " / " << e.pane;
      CFRelease(paneName);
      EXPECT_NE(HIViewFind(128, 'PANE', pane), nullptr) << e.pane;
    }
    HIViewRef view = HIViewFind(e.id, e.signature, pane);
    const std::string what = std::string(file) + " / " + e.pane + " " + std::string(FCCToString(e.signature).view()) +
                             " " + std::to_string(e.id);
    ASSERT_NE(view, nullptr) << what;
    ControlKind kind{};
    GetControlKind(view, &kind);
    EXPECT_EQ(kind.kind, e.kind) << what << " is a " << FCCToString(kind.kind).str();
    EXPECT_EQ(CFPreferencesGetKey(view).str(), e.key ? e.key : "") << what;
    if (!e.items.empty()) {
      EXPECT_EQ(MenuTexts(view), e.items) << what;
    }
  }
  for (auto& [paneName, window] : panes) DisposeWindow(window);
  DisposeNibReference(nib);
}

TEST_F(ProjectSettingsTest, InterfaceFilesHoldTheControlsTheirCodeLooksUp) {
  CheckPanes("ProjectInfo",
             {
                 {"General", 'PREF', 128, 'well', nullptr, {}},
                 {"General", 'PREF', 129, 'stxt', nullptr, {}},
                 {"General", 'MODE', 129, 'popb', "ProjectRunMode", kRunModes},
                 {"General", 'MODE', 128, 'popb', "ProjectMode", kPreviewModes},
                 {"General", 'SERV', 128, 'popb', "ProjectServer", {}},
                 {"Paths", 'PATH', 128, 'datb', "UserPaths", {}},
                 {"Paths", '+PAT', 128, 'bevl', nullptr, {}},
                 {"Paths", '-PAT', 128, 'bevl', nullptr, {}},
                 {"Preview", 'PATH', 128, 'datb', "ProjectPreviewPaths", {}},
                 {"Preview", '+PPT', 128, 'bevl', nullptr, {}},
                 {"Preview", '-PPT', 128, 'bevl', nullptr, {}},
             });
  CheckPanes("FileInfo",
             {
                 {"General", 'PREF', 128, 'well', nullptr, {}},
                 {"General", 'PREF', 129, 'stxt', nullptr, {}},
                 {"General", 'PREF', 130, 'stxt', nullptr, {}},
                 {"General", 'PREF', 131, 'stxt', nullptr, {}},
                 {"General", 'PREF', 132, 'stxt', nullptr, {}},
                 {"General", 'PREF', 137, 'stxt', nullptr, {}},
                 {"General", 'PREF', 135, 'popb', "FileInfoPreviewMode", WithDefault(kPreviewModes)},
                 {"General", 'PREF', 136, 'popb', "FileInfoRunMode", WithDefault(kRunModes)},
                 {"General", 'PATH', 128, 'cbbx', "FileInfoPath", {}},
                 {"Script", 'ARGU', 128, 'datb', "FileInfoArguments", {}},
                 {"Script", '+ARG', 128, 'bevl', nullptr, {}},
                 {"Script", '-ARG', 128, 'bevl', nullptr, {}},
                 {"FTP", 'SERV', 128, 'popb', "FileInfoServer", {}},
                 {"Preview", 'PATH', 128, 'datb', "FileInfoPreviewPaths", {}},
                 {"Preview", '+PAT', 128, 'bevl', nullptr, {}},
                 {"Preview", '-PAT', 128, 'bevl', nullptr, {}},
             });

  // Every key of a file's entry has a control that edits it.
  IBNibRef nib = nullptr;
  ASSERT_EQ(CreateNibReference(CFSTR("FileInfo"), &nib), noErr);
  std::set<std::string> keys;
  for (const char* pane : {"General", "Script", "FTP", "Preview", "Notes"}) {
    WindowRef window = nullptr;
    CFStringRef paneName = CFStringCreateWithCString(nullptr, pane, kCFStringEncodingUTF8);
    ASSERT_EQ(CreateWindowFromNib(nib, paneName, &window), noErr) << pane;
    CFRelease(paneName);
    CFPreferencesApplyFunction(
        HIViewGetRoot(window),
        [](ControlRef, const ControlKind&, const Str255& key, void* data) {
          static_cast<std::set<std::string>*>(data)->insert(key.str());
        },
        &keys);
    DisposeWindow(window);
  }
  DisposeNibReference(nib);
  for (const char* key : {kFileInfoPreviewMode, kFileInfoRunMode, kFileInfoPreviewExternal, kFileInfoServer,
                          kFileInfoLabel, kFileInfoDirectory, kFileInfoPath, kFileInfoNotes, kFileInfoArguments,
                          kFileInfoPreviewPaths, kFileInfoGETArguments})
    EXPECT_TRUE(keys.count(key)) << "no control edits " << key;
}

// ---------------------------------------------------------------------------
// Project settings

TEST_F(ProjectSettingsTest, SettingsReachTheProjectFileAndShowAgain) {
  TemplateProject site("Site");
  OpenProjectInfo(site.Bundle(), site.Prefs());
  TProjectInfo* info = GetProjectInfoWindow();
  ASSERT_NE(info, nullptr);
  ASSERT_NE(info->window, nullptr);
  EXPECT_EQ(GetWindowKind(info->window), kProjectInfoWindowKind);
  EXPECT_EQ(info->GetActivePane().str(), "General");
  EXPECT_EQ(ViewText(Find(info, 'PREF', 129)), "Site.qvproj");
  // The mode items carry their icons.
  for (auto [id, count] : {std::pair{128, 3}, std::pair{129, 4}})
    for (MenuItemIndex item = 1; item <= count; ++item) {
      UInt8 type = 0;
      Handle icon = nullptr;
      GetMenuItemIconHandle(HIViewGetMenu(Find(info, 'MODE', id)), item, &type, &icon);
      EXPECT_TRUE(type == kMenuIconRefType && icon != nullptr) << "MODE " << id << " item " << item;
    }
  // The server pop-up offers the stored servers.
  EXPECT_EQ(MenuTexts(Find(info, 'SERV', 128)), (std::vector<std::string>{"None", "-", "Main"}));
  Choose(Find(info, 'SERV', 128), "Main");
  Choose(Find(info, 'MODE', 128), "Server");
  Choose(Find(info, 'MODE', 129), "Check Syntax");

  // Leaving the pane stores it; the Paths pane adds a Project path "/".
  Command(info, 'PATH');
  EXPECT_EQ(info->GetActivePane().str(), "Paths");
  ASSERT_TRUE(TBrowser::IsLive(info->userPaths));
  const size_t before = Rows(info->userPaths).size();
  Command(info, '+PAT');
  EXPECT_EQ(Rows(info->userPaths).size(), before + 1);

  // The Preview pane: two locations added, the first one deleted again.
  Command(info, 'PREV');
  ASSERT_TRUE(TBrowser::IsLive(info->previewPaths));
  Command(info, '+PPT');
  Command(info, '+PPT');
  ASSERT_EQ(Rows(info->previewPaths).size(), 2u);
  SelectRow(info->previewPaths, 0);
  Command(info, '-PPT');
  EXPECT_EQ(Rows(info->previewPaths).size(), 1u);

  Command(info, kHICommandTWindowClose);  // File > Close
  EXPECT_EQ(GetProjectInfoWindow(), nullptr);

  CFDictionaryRef disk = ReadDictionary(site.Plist());
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(StringOf(Value(disk, "ProjectServer")), "Main");
  EXPECT_EQ(StringOf(Value(disk, "ProjectMode")), "Server");
  EXPECT_EQ(StringOf(Value(disk, "ProjectRunMode")), "Check Syntax");
  EXPECT_TRUE(HasPath(StoredPaths(Value(disk, "UserPaths")), "/", kUserPathProject));
  const std::vector<UserPathInfo> previews = StoredPaths(Value(disk, "ProjectPreviewPaths"));
  ASSERT_EQ(previews.size(), 1u);
  EXPECT_TRUE(HasPath(previews, "http://", kUserPathURL));
  CFRelease(disk);

  // Opened again, the window shows what was stored.
  OpenProjectInfo(site.Bundle(), site.Prefs());
  info = GetProjectInfoWindow();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Chosen(Find(info, 'SERV', 128)), "Main");
  EXPECT_EQ(Chosen(Find(info, 'MODE', 128)), "Server");
  EXPECT_EQ(Chosen(Find(info, 'MODE', 129)), "Check Syntax");
}

TEST_F(ProjectSettingsTest, OneWindowThatNeverShowsAnotherProjectsSettings) {
  TemplateProject one("One"), two("Two");
  OpenProjectInfo(one.Bundle(), one.Prefs());
  TProjectInfo* first = GetProjectInfoWindow();
  ASSERT_NE(first, nullptr);
  Choose(Find(first, 'MODE', 128), "Localhost");

  // The same project again: the same window, nothing stored yet.
  OpenProjectInfo(one.Bundle(), one.Prefs());
  EXPECT_EQ(GetProjectInfoWindow(), first);

  // Another project: the open window stores and goes, a window for it opens.
  OpenProjectInfo(two.Bundle(), two.Prefs());
  TProjectInfo* second = GetProjectInfoWindow();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(FSCompareFSRefs(&second->bundle, &two.project->bundle), noErr);
  EXPECT_EQ(ViewText(Find(second, 'PREF', 129)), "Two.qvproj");
  EXPECT_EQ(Chosen(Find(second, 'MODE', 128)), "Disk");  // the template's own
  CFDictionaryRef disk = ReadDictionary(one.Plist());
  EXPECT_EQ(StringOf(Value(disk, "ProjectMode")), "Localhost");
  if (disk != nullptr) CFRelease(disk);
  disk = ReadDictionary(two.Plist());
  EXPECT_EQ(StringOf(Value(disk, "ProjectMode")), "Disk");
  if (disk != nullptr) CFRelease(disk);
}

TEST_F(ProjectSettingsTest, AProjectThatClosesTakesItsWindowsAlongWithTheirValues) {
  auto* site = new TemplateProject("Closing");
  const fs::path plist = site->Plist();
  const FSRef page = site->Source("page.php");
  OpenProjectInfo(site->Bundle(), site->Prefs());
  ASSERT_NE(GetProjectInfoWindow(), nullptr);
  Choose(Find(GetProjectInfoWindow(), 'MODE', 129), "Run & Preview");
  OpenFileInfo(page, site->Prefs());
  ASSERT_NE(GetFileInfoWindow(), nullptr);
  Choose(Find(GetFileInfoWindow(), 'PREF', 133), "Green");

  delete site;  // the project goes
  EXPECT_EQ(GetProjectInfoWindow(), nullptr);
  EXPECT_EQ(GetFileInfoWindow(), nullptr);
  CFDictionaryRef disk = ReadDictionary(plist);
  EXPECT_EQ(StringOf(Value(disk, "ProjectRunMode")), "Run & Preview");
  auto entry = static_cast<CFDictionaryRef>(Value(disk, "FileInfo::page.php"));
  EXPECT_EQ(StringOf(Value(entry, "FileInfoLabel")), "Green");
  if (disk != nullptr) CFRelease(disk);
}

// ---------------------------------------------------------------------------
// File information

TEST_F(ProjectSettingsTest, FileInfoEditsTheFilesEntryAndShowsItAgain) {
  TemplateProject site("Info");
  const FSRef page = site.Source("index.php");
  OpenFileInfo(page, site.Prefs());
  TFileInfo* info = GetFileInfoWindow();
  ASSERT_NE(info, nullptr);
  ASSERT_NE(info->window, nullptr);
  EXPECT_EQ(GetWindowKind(info->window), kFileInfoWindowKind);
  // The seeded entry shows; the General pane describes the file.
  EXPECT_EQ(ViewText(Find(info, 'PREF', 129)), "index.php");
  EXPECT_EQ(ViewText(Find(info, 'PREF', 131)), (site.folder / "Sources" / "index.php").string());
  EXPECT_EQ(ViewText(Find(info, 'PREF', 137)), "n/a");  // the template's server is "None"
  EXPECT_EQ(Chosen(Find(info, 'PREF', 135)), "Default");
  Choose(Find(info, 'PREF', 135), "Server");
  Choose(Find(info, 'PREF', 136), "Run in Terminal Mode");
  SetText(Find(info, 'PATH', 128), "{src}Sources");

  // Script: one argument, renamed and given a value.
  Command(info, 'SCRI');
  ASSERT_TRUE(TBrowser::IsLive(info->arguments));
  Command(info, '+ARG');
  std::vector<std::string> rows = Rows(info->arguments);
  ASSERT_EQ(rows.size(), 1u);
  NodeInfoPtr row = BrackenrowGetNode(CFTreeGetChildAtIndex(info->arguments->TREE, 0));
  EXPECT_EQ(DecodeScriptArgumentInfo(static_cast<const UInt8*>(row->DATA), kScriptArgumentInfoSize).name.str(),
            "untitled");
  info->arguments->SetItemText(row->DATA, row->INDEX, 'NAME', CFSTR("mode"));
  info->arguments->SetItemText(row->DATA, row->INDEX, 'VALU', CFSTR("test"));

  // FTP: the server and the folder inside its root.
  Command(info, 'FTP_');
  Choose(Find(info, 'SERV', 128), "Main");
  SetText(Find(info, 'PREF', 138), "/htdocs/shop/");
  Command(info, 'NOTE');
  SetText(Find(info, 'PREF', 141), "checked by hand");

  // Back in General, the location is where an upload puts the file: the
  // root folder once, then the file's folder and name.
  Command(info, 'GENE');
  EXPECT_EQ(ViewText(Find(info, 'PREF', 137)), "ftp://ftp.example.test/www/htdocs/shop/index.php");
  EXPECT_EQ(Chosen(Find(info, 'PREF', 135)), "Server");
  // File > Close (Ctrl+W) closes it.
  Command(info, kHICommandTWindowClose);
  EXPECT_EQ(GetFileInfoWindow(), nullptr);

  CFDictionaryRef disk = ReadDictionary(site.Plist());
  ASSERT_NE(disk, nullptr);
  auto entry = static_cast<CFDictionaryRef>(Value(disk, "FileInfo::index.php"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(StringOf(Value(entry, "FileInfoPreviewMode")), "Server");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoRunMode")), "Run in Terminal Mode");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoPath")), "{src}Sources");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoServer")), "Main");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoDirectory")), "/htdocs/shop/");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoNotes")), "checked by hand");
  EXPECT_EQ(StringOf(Value(entry, "FileInfoLabel")), "None");  // seeded, untouched
  auto arguments = static_cast<CFArrayRef>(Value(entry, "FileInfoArguments"));
  ASSERT_NE(arguments, nullptr);
  ASSERT_EQ(CFArrayGetCount(arguments), 1);
  auto argument = static_cast<CFDataRef>(CFArrayGetValueAtIndex(arguments, 0));
  ASSERT_EQ(CFDataGetLength(argument), kScriptArgumentInfoSize);
  const ScriptArgumentInfo stored = DecodeScriptArgumentInfo(CFDataGetBytePtr(argument), CFDataGetLength(argument));
  EXPECT_TRUE(stored.active);
  EXPECT_EQ(stored.name.str(), "mode");
  EXPECT_EQ(stored.value.str(), "test");
  CFRelease(disk);

  // Opened again: the stored values show, the argument is listed.
  OpenFileInfo(page, site.Prefs());
  info = GetFileInfoWindow();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Chosen(Find(info, 'PREF', 136)), "Run in Terminal Mode");
  EXPECT_EQ(ViewText(Find(info, 'PATH', 128)), "{src}Sources");
  Command(info, 'SCRI');
  ASSERT_EQ(Rows(info->arguments).size(), 1u);
  Command(info, 'FTP_');
  EXPECT_EQ(Chosen(Find(info, 'SERV', 128)), "Main");
}

TEST_F(ProjectSettingsTest, ReloadingForAnotherFileKeepsEachFilesValuesApart) {
  TemplateProject one("ReloadOne"), two("ReloadTwo");
  const FSRef a = one.Source("a.php");
  const FSRef b = two.Source("b.php");
  OpenFileInfo(a, one.Prefs());
  TFileInfo* info = GetFileInfoWindow();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(FSCompareFSRefs(&info->base, &one.project->bundle), noErr);
  Choose(Find(info, 'PREF', 133), "Red");  // shown, not yet stored

  // The window moves to b.php of the other project: a's label goes into
  // a's entry, b's entry is its own, Project paths are now relative to the
  // other project, and the Script pane shows.
  OpenFileInfo(b, two.Prefs());
  EXPECT_EQ(GetFileInfoWindow(), info);
  EXPECT_EQ(info->GetActivePane().str(), "Script");
  EXPECT_EQ(FSCompareFSRefs(&info->base, &two.project->bundle), noErr);
  Command(info, 'GENE');
  EXPECT_EQ(ViewText(Find(info, 'PREF', 129)), "b.php");
  EXPECT_EQ(Chosen(Find(info, 'PREF', 133)), "None");

  auto* entryA = one.project->CopyFileInfo("a.php");
  EXPECT_EQ(entryA->GetStringValue(kFileInfoLabel).str(), "Red");
  entryA->Release();
  auto* entryB = two.project->CopyFileInfo("b.php");
  EXPECT_EQ(entryB->GetStringValue(kFileInfoLabel).str(), "None");
  entryB->Release();
}

TEST_F(ProjectSettingsTest, TheProjectsCommandsOpenTheWindows) {
  InstallProgramWiring();
  ASSERT_NE(ProjectGetDialogHooks().OpenProjectInfo, nullptr);
  ASSERT_NE(EditorWindowGetHooks().OpenFileInfo, nullptr);
  TemplateProject site("Commands");
  HICommand command{};
  command.commandID = 'pINF';
  SInt32 result = eventNotHandledErr;
  site.project->ProcessCommand(command, nullptr, result);
  ASSERT_NE(GetProjectInfoWindow(), nullptr);
  EXPECT_EQ(FSCompareFSRefs(&GetProjectInfoWindow()->bundle, &site.project->bundle), noErr);
  EditorWindowGetHooks().OpenFileInfo(site.project, site.Source("x.php"));
  ASSERT_NE(GetFileInfoWindow(), nullptr);
  EXPECT_EQ(GetFileInfoWindow()->projectPreferences, site.Prefs());
}

// ---------------------------------------------------------------------------
// Records and texts

TEST(FileInfoRecords, UploadLocationSizeAndArgumentBytes) {
  FTPServerInfo server = NewFTPServerInfo();
  server.Host = "ftp.example.test";
  struct Case {
    const char* root;
    const char* directory;
    const char* expected;
  } cases[] = {
      {"", "", "ftp://ftp.example.test/a.php"},
      {"www", "", "ftp://ftp.example.test/www/a.php"},
      {"www", "shop", "ftp://ftp.example.test/www/shop/a.php"},
      {"www", "/shop/", "ftp://ftp.example.test/www/shop/a.php"},
      {"", "shop/lib", "ftp://ftp.example.test/shop/lib/a.php"},
  };
  for (const Case& c : cases) {
    server.RootFolder = c.root;
    EXPECT_EQ(GetFileUploadURL(server, c.directory, "a.php"), c.expected) << c.root << " + " << c.directory;
  }

  // Sizes past 4 GiB are not cut to 32 bits.
  EXPECT_EQ(GetFileSizeString(512).str(), "512b");
  EXPECT_EQ(GetFileSizeString(2048).str(), "2k");
  EXPECT_EQ(GetFileSizeString(5ull << 30).str(), "5120M");
  EXPECT_EQ(GetFileSizeString((4ull << 30) + 1024).str(), "4096M");

  // 129 bytes: active, then two Str63 slots.
  ScriptArgumentInfo argument = NewScriptArgumentInfo();
  UInt8 bytes[kScriptArgumentInfoSize];
  EncodeScriptArgumentInfo(argument, bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + 1), 9), "\x08untitled");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + 65), 5), "\x04none");
  EXPECT_EQ(bytes[128], 0);
  const ScriptArgumentInfo back = DecodeScriptArgumentInfo(bytes, kScriptArgumentInfoSize);
  EXPECT_TRUE(back.active && back.name == "untitled" && back.value == "none");
  // A short item reads as far as it goes.
  const ScriptArgumentInfo cut = DecodeScriptArgumentInfo(bytes, 69);
  EXPECT_EQ(cut.name.str(), "untitled");
  EXPECT_EQ(cut.value.str(), "non");
}

}  // namespace
