// A project's browser over a real pane from the interface file and real
// bundle folders: per-file settings leave with the last item of their name,
// only while the project is open; the contextual menu for each kind of row
// and its "Open With" submenu; Finder drops on no row; the focus menu of the
// header toolbar; upload errors cleared on selection; the groups' rows and
// drops; the row marks; the script languages and the pane's layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFPascal.h"
#include "CGContext.h"
#include "DataBrowser.h"
#include "Drag.h"
#include "Files.h"
#include "HIView.h"
#include "CFRunLoop.h"
#include "HeadlessHost.h"
#include "LoopbackFTPServer.h"
#include "MacMemory.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "QVGlobals.h"
#include "TFTPUnit.h"
#include "TFileInfoUnit.h"
#include "TProjectBrowserUnit.h"
#include "TProjectUnit.h"
#include "plinthora/Plinthora.h"

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

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Str63 NameOf(NodeInfoPtr node) {
  return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH).name;
}

// A file item of the group, made as the project makes them.
SInt32 AddFileItem(TProjectGroup* group, const char* name, SInt32 container = 0) {
  ProjectItemData item;
  item.name = name;
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  return group->NewItem(bytes, kProjectItemDataSize, container);
}

std::u16string U16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A drag of one item with the given flavours.
struct TestDrag {
  DragRef drag = nullptr;
  TestDrag() { NewDrag(&drag); }
  ~TestDrag() { DisposeDrag(drag); }
  void Add(FlavorType type, const void* data, Size size) { AddDragItemFlavor(drag, 1, type, data, size, 0); }
};

// The bytes of a dropped Finder file, as the tree hands them over.
Ptr HFSData(const FSRef& file) {
  HFSFlavor flavor{};
  EXPECT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, &flavor.fileSpec, nullptr), noErr);
  return NewPtrCopy(&flavor, sizeof flavor);
}

Ptr TextData(const std::string& text) {
  std::u16string u = U16(text);
  return NewPtrCopy(u.data(), Size(u.size() * 2));
}

// An "Open With" submenu as the dialogs make it, with one application
// whatever the machine has installed.
MenuRef FakeOpenWithMenu(const FSRef& file) {
  MenuRef menu = nullptr;
  CreateNewMenu(kOpenWithMenuID, 0, &menu);
  AppendMenuItemTextWithCFString(menu, CFSTR("Viewer"), 0, 0, nullptr);
  FSRef application{};
  FSPathMakeRef(reinterpret_cast<const UInt8*>("/bin/true"), &application, nullptr);
  SetMenuItemProperty(menu, 1, kProjectDialogsCreator, kOpenWithApplicationTag, sizeof application, &application);
  SetMenuItemProperty(menu, 1, kProjectDialogsCreator, kOpenWithDocumentTag, sizeof file, &file);
  return menu;
}

class ProjectBrowserTest : public ::testing::Test {
 protected:
  fs::path folder, bundle;
  TPreferenceHandlerFile* application = nullptr;
  TProject* project = nullptr;

  void SetUp() override {
    folder = fs::path(getenv("TMPDIR")) /
             (std::string("browser-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    bundle = folder / "Site.qvproj";
    fs::create_directories(bundle / "Contents/Resources/Preferences");
    Write(folder / "app.plist", "");
    application = new TPreferenceHandlerFile();
    application->SetFile(Ref(folder / "app.plist"));
    application->SetBooleanValue("GeneralImportCopyFiles", false);
    application->SetBooleanValue("GeneralImportAddPath", false);
    AppPrefs = application;
    RegisterToolbarViewClass();
    HeadlessClearLaunchRequests();
    project = CreateProjectPane(Ref(bundle));
  }
  void TearDown() override {
    if (project) project->Release();
    ProjectSetDialogHooks(nullptr);
    AppPrefs = nullptr;
    application->Release();
  }
  TProjectBrowser* Browser() { return project->browser; }
  TProjectGroup* Group(OSType type) { return project->FindGroupByType(type); }
  void Select(std::vector<SInt32> items) {
    std::vector<DataBrowserItemID> ids(items.begin(), items.end());
    SetDataBrowserSelectedItems(project->browserControl, UInt32(ids.size()), ids.data(), kDataBrowserItemsAssign);
  }
  MenuRef MenuFor(std::vector<SInt32> items) {
    auto handle = reinterpret_cast<ItemArrayHandle>(NewHandle(Size(items.size() * sizeof(DataBrowserItemID))));
    for (size_t i = 0; i < items.size(); ++i) (*handle)[i] = DataBrowserItemID(items[i]);
    MenuRef menu = Browser()->GetContextualMenu(handle, SInt16(items.size()));
    DisposeHandle(reinterpret_cast<Handle>(handle));
    return menu;
  }
  void SetLabel(const char* name, const char* label) {
    TPreferenceHandlerDictionary* entry = project->CopyFileInfo(name);
    entry->SetStringValue(kFileInfoLabel, label);
    entry->Synchronize();
    entry->Release();
  }
};

}  // namespace

TEST_F(ProjectBrowserTest, SettingsGoWithTheLastItemOfTheirNameWhileTheProjectIsOpen) {
  TProjectGroup* sources = Group(kProjectSourceType);
  TProjectGroup* resources = Group(kProjectResourceType);
  const SInt32 a = AddFileItem(sources, "a.txt");
  const SInt32 alsoA = AddFileItem(resources, "a.txt");
  const SInt32 lib = sources->NewFolder("lib", 0);
  AddFileItem(sources, "b.php", lib);
  AddFileItem(sources, "keep.php");
  TPreferenceHandler* prefs = project->projectPreferences;
  for (const char* name : {"a.txt", "b.php", "lib", "keep.php"}) SetDefaultFileInfoForName(name, prefs);

  // Through the user's delete: the tree asks the group, then frees the row.
  Select({a});
  BrackenrowClearSelection(true, project->browserControl);
  EXPECT_EQ(sources->GetNode(a), nullptr);
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::a.txt"));  // the resource keeps it
  project->RemoveItem(resources, alsoA);
  EXPECT_FALSE(prefs->ContainsValue("FileInfo::a.txt"));
  // A folder's own name is no file's: only the file inside loses its entry.
  project->RemoveItem(sources, lib);
  EXPECT_TRUE(prefs->ContainsValue("FileInfo::lib"));
  EXPECT_FALSE(prefs->ContainsValue("FileInfo::b.php"));

  // Closing releases every row and keeps every entry.
  project->Release();
  project = CreateProjectPane(Ref(bundle));
  EXPECT_TRUE(project->projectPreferences->ContainsValue("FileInfo::keep.php"));
  ASSERT_EQ(Group(kProjectSourceType)->ReturnGroupItems().size(), 1u);
  // Items read back from the file are released like new ones.
  project->RemoveItem(Group(kProjectSourceType), Group(kProjectSourceType)->Items()[0]->INDEX);
  EXPECT_FALSE(project->projectPreferences->ContainsValue("FileInfo::keep.php"));
}

TEST_F(ProjectBrowserTest, GroupsAreSavedWhenThePaneGoesWithItsView) {
  AddFileItem(Group(kProjectSourceType), "a.php");
  auto* snippets = static_cast<TSnippetGroup*>(Group(kProjectSnippetType));
  SInt32 length = 0;
  Ptr data = TSnippetGroup::CreateData("loop", u"for (;;) {}", length);
  snippets->NewItem(data, length, 0);  // the row takes the block over
  static_cast<TBookmarkGroup*>(Group(kProjectBookmarkType))->NewBookmark("http://a.example/b");
  static_cast<TCommandGroup*>(Group(kProjectCommandType))->NewCommand("c1");
  std::vector<std::string> before;
  for (OSType type : {kProjectSourceType, kProjectSnippetType, kProjectBookmarkType, kProjectCommandType}) {
    NodeInfoPtr node = Group(type)->Items().at(0);
    before.emplace_back(static_cast<const char*>(node->DATA), size_t(node->DATALENGTH));
  }
  // The window disposes of the pane's view: the project goes with it.
  DisposeControl(project->paneView);
  project = CreateProjectPane(Ref(bundle));
  size_t i = 0;
  for (OSType type : {kProjectSourceType, kProjectSnippetType, kProjectBookmarkType, kProjectCommandType}) {
    ASSERT_EQ(Group(type)->Items().size(), 1u);
    NodeInfoPtr node = Group(type)->Items()[0];
    EXPECT_EQ(std::string(static_cast<const char*>(node->DATA), size_t(node->DATALENGTH)), before[i++]);
  }
}

TEST_F(ProjectBrowserTest, GroupFilesSharingIndexesAreReadIntoOneTree) {
  // Two group files written apart from each other number their items alike.
  const SInt32 a = AddFileItem(Group(kProjectSourceType), "a.php");
  project->Release();
  const fs::path data = bundle / "Contents/Resources/Data";
  fs::copy_file(data / "sources.plist", data / "resources.plist", fs::copy_options::overwrite_existing);
  project = CreateProjectPane(Ref(bundle));
  NodeInfoPtr source = Group(kProjectSourceType)->Items().at(0);
  NodeInfoPtr resource = Group(kProjectResourceType)->Items().at(0);
  EXPECT_EQ(source->INDEX, a);
  EXPECT_NE(resource->INDEX, a);
  // The item knows its own new index, and each index names its own row.
  EXPECT_EQ(DecodeProjectItemData(static_cast<const UInt8*>(resource->DATA), resource->DATALENGTH).index,
            UInt32(resource->INDEX));
  EXPECT_EQ(BrackenrowGetNodeAtIndex(resource->INDEX, project->browserControl), resource);
  project->RemoveItem(Group(kProjectResourceType), resource->INDEX);
  EXPECT_EQ(Group(kProjectSourceType)->Items().size(), 1u);
  EXPECT_TRUE(Group(kProjectResourceType)->Items().empty());
}

TEST_F(ProjectBrowserTest, ContextualMenuEnablesTheCommandsOfTheRow) {
  Write(folder / "Sources/a.php", "<?php\n");
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  const SInt32 a = Group(kProjectSourceType)->Items()[0]->INDEX;
  const SInt32 missing = AddFileItem(Group(kProjectSourceType), "gone.php");
  auto* snippets = static_cast<TSnippetGroup*>(Group(kProjectSnippetType));
  const SInt32 snippet = snippets->NewSnippet();
  const SInt32 bookmark = static_cast<TBookmarkGroup*>(Group(kProjectBookmarkType))->NewBookmark("http://a.example/x");
  const SInt32 command = static_cast<TCommandGroup*>(Group(kProjectCommandType))->NewCommand("cmd1");
  const SInt32 folderItem = Group(kProjectSourceType)->NewFolder("lib", 0);
  const SInt32 groupRow = Group(kProjectResourceType)->ROOTITEM;

  const MenuCommand commands[] = {'fINF', 'gINF', 'RENM', 'revF', 'opnF', 'opnW', 'opnA', 'uplo'};
  struct Case {
    const char* what;
    std::vector<SInt32> items;
    std::string enabled;  // one letter per command above: + enabled, - disabled, . absent
  } cases[] = {
      // Upload (the last) sends file items, one or several.
      {"source", {a}, "+.++++++"},
      {"two sources", {missing, a}, "+.++++-+"},
      {"bookmark", {bookmark}, ".+--++--"},
      {"snippet", {snippet}, ".+------"},
      {"command", {command}, ".+------"},
      {"folder", {folderItem}, "-.+-----"},
      {"group", {groupRow}, "-.+-----"},
  };
  for (const Case& c : cases) {
    MenuRef menu = MenuFor(c.items);
    ASSERT_NE(menu, nullptr) << c.what;
    std::string got;
    for (MenuCommand command : commands) {
      MenuItemIndex index = 0;
      if (GetIndMenuItemWithCommandID(menu, command, 1, nullptr, &index) != noErr || index == 0)
        got += '.';
      else
        got += IsMenuItemEnabled(menu, index) ? '+' : '-';
    }
    EXPECT_EQ(got, c.enabled) << c.what;
    ReleaseMenu(menu);
  }

  // One source found on disk gets the "Open With" submenu on item 5; a
  // source not found, or two, get none.
  for (std::vector<SInt32> items : {std::vector<SInt32>{missing}, std::vector<SInt32>{a, a}}) {
    MenuRef menu = MenuFor(items);
    EXPECT_EQ(Browser()->openWithMenu, nullptr);
    ReleaseMenu(menu);
  }
  MenuRef menu = MenuFor({a});
  MenuRef submenu = nullptr;
  GetMenuItemHierarchicalMenu(menu, 5, &submenu);
  EXPECT_NE(submenu, nullptr);
  EXPECT_EQ(submenu, Browser()->openWithMenu);
  EXPECT_EQ(GetMenuID(submenu), kOpenWithMenuID);
  ReleaseMenu(menu);
}

TEST_F(ProjectBrowserTest, OpenWithOpensTheDocumentWithTheChosenApplication) {
  Write(folder / "Sources/a.php", "<?php\n");
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  NodeInfoPtr node = Group(kProjectSourceType)->Items()[0];
  const FSRef file = Ref(folder / "Sources/a.php");
  MenuRef menu = MenuFor({node->INDEX});
  ASSERT_NE(Browser()->openWithMenu, nullptr);
  ReleaseMenu(Browser()->openWithMenu);
  Browser()->openWithMenu = FakeOpenWithMenu(file);
  Browser()->SelectContextualMenu(node, menu, kOpenWithMenuID, 1);
  EXPECT_EQ(Browser()->openWithMenu, nullptr);  // let go after the choice
  std::vector<HeadlessLaunchRequest> launched = HeadlessCopyLaunchRequests();
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_NE(launched[0].application.find("/bin/true"), std::string::npos);
  EXPECT_NE(launched[0].url.find("Sources/a.php"), std::string::npos);
  ReleaseMenu(menu);

  // An item without the application opens nothing.
  menu = MenuFor({node->INDEX});
  ReleaseMenu(Browser()->openWithMenu);
  Browser()->openWithMenu = FakeOpenWithMenu(file);
  RemoveMenuItemProperty(Browser()->openWithMenu, 1, kProjectDialogsCreator, kOpenWithApplicationTag);
  HeadlessClearLaunchRequests();
  Browser()->SelectContextualMenu(node, menu, kOpenWithMenuID, 1);
  EXPECT_TRUE(HeadlessCopyLaunchRequests().empty());
  ReleaseMenu(menu);
}

TEST_F(ProjectBrowserTest, FinderFilesDroppedOnNoRowGoToSources) {
  Write(folder / "in/x.php", "<?php\n");
  Ptr hfs = HFSData(Ref(folder / "in/x.php"));
  TestDrag finder;
  finder.Add(kDragFlavorTypeHFS, hfs, GetPtrSize(hfs));
  TestDrag fromTree;
  fromTree.Add(kDragFlavorTypeHFS, hfs, GetPtrSize(hfs));
  NodeInfoPtr none = nullptr;
  fromTree.Add('NODE', &none, sizeof none);
  EXPECT_TRUE(Browser()->AcceptItem(hfs, finder.drag, kDragFlavorTypeHFS));
  EXPECT_FALSE(Browser()->AcceptItem(hfs, fromTree.drag, kDragFlavorTypeHFS));
  EXPECT_FALSE(Browser()->AcceptItem(hfs, finder.drag, 'utxt'));

  EXPECT_TRUE(Browser()->ReceiveItem(hfs, finder.drag, kDragFlavorTypeHFS));
  std::vector<Str63> names = Group(kProjectSourceType)->ReturnGroupItems();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names[0] == "x.php");
  DisposePtr(hfs);
}

TEST_F(ProjectBrowserTest, FocusMenuListsThePathUpToTheProject) {
  TProjectGroup* sources = Group(kProjectSourceType);
  const SInt32 lib = sources->NewFolder("lib", 0);
  const SInt32 sub = sources->NewFolder("sub", lib);
  Browser()->SetFocus(sub);
  MenuRef menu = project->headerMenu;
  struct Row {
    const char* title;
    SInt32 item;
  } rows[] = {{"sub", sub}, {"lib", lib}, {"Sources", sources->ROOTITEM}, {"Site.qvproj", 0}};
  ASSERT_EQ(CountMenuItems(menu), 4);
  for (MenuItemIndex i = 1; i <= 4; ++i) {
    const Row& row = rows[i - 1];
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &text);
    EXPECT_EQ(CFStringToPascal(text).str(), row.title);
    if (text) CFRelease(text);
    MenuCommand command = 0;
    GetMenuItemCommandID(menu, i, &command);
    EXPECT_EQ(command, MenuCommand('FOCb'));
    SInt32 index = -1;
    ControlRef control = nullptr;
    EXPECT_EQ(GetMenuItemProperty(menu, i, 'BRKW', 'cfix', sizeof index, nullptr, &index), noErr);
    EXPECT_EQ(index, row.item) << row.title;
    GetMenuItemProperty(menu, i, 'BRKW', 'ctrl', sizeof control, nullptr, &control);
    EXPECT_EQ(control, project->browserControl);
    UInt32 indent = 0;
    GetMenuItemIndent(menu, i, &indent);
    EXPECT_EQ(indent, UInt32(i - 1));
  }
  CharParameter mark = 0;
  GetItemMark(menu, 1, &mark);
  EXPECT_NE(mark, 0);
  MenuRef attached = nullptr;
  GetControlProperty(project->browserControl, 'BRKW', 'MENU', sizeof attached, nullptr, &attached);
  EXPECT_EQ(attached, menu);

  // Choosing the project shows the whole tree again.
  EventRef event = nullptr;
  ASSERT_EQ(CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event), noErr);
  HICommand command{};
  command.commandID = 'FOCb';
  command.menu.menuRef = menu;
  command.menu.menuItemIndex = 4;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SInt32 result = eventNotHandledErr;
  project->ProcessCommand(command, event, result);
  ReleaseEvent(event);
  EXPECT_EQ(result, noErr);
  EXPECT_EQ(BrackenrowGetFocusItem(project->browserControl), 0);
  EXPECT_EQ(CountMenuItems(menu), 1);
}

TEST_F(ProjectBrowserTest, SelectingASourceClearsItsUploadError) {
  const SInt32 source = AddFileItem(Group(kProjectSourceType), "a.php");
  const SInt32 resource = AddFileItem(Group(kProjectResourceType), "b.png");
  for (SInt32 item : {source, resource}) {
    auto* bytes = static_cast<UInt8*>(BrackenrowGetNodeAtIndex(item, project->browserControl)->DATA);
    bytes[72] = 3;  // domain
    bytes[76] = 9;  // code
  }
  Select({});
  for (SInt32 item : {source, resource}) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(item, project->browserControl);
    Browser()->ItemNotification(node->DATA, node->DATATYPE, DataBrowserItemID(item), kDataBrowserItemSelected);
  }
  auto item = [&](SInt32 index) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(index, project->browserControl);
    return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH);
  };
  EXPECT_FALSE(HasUploadError(item(source)));
  EXPECT_EQ(item(source).errorDomain, 3);
  EXPECT_TRUE(HasUploadError(item(resource)));
}

TEST_F(ProjectBrowserTest, TransfersAreMarkedAndAnimatedWhileRunning) {
  const SInt32 a = AddFileItem(Group(kProjectSourceType), "a.php");
  auto transferring = [&] { return static_cast<UInt8*>(BrackenrowGetNodeAtIndex(a, project->browserControl)->DATA)[70]; };
  Browser()->EventLoopTimer();
  EXPECT_EQ(project->animationStep, 0);
  project->AppendTransfer("a.php");
  project->AppendTransfer("none.php");  // no such item: nothing
  EXPECT_TRUE(project->IsFileTransfering(a));
  EXPECT_EQ(project->transfers.size(), 1u);
  EXPECT_EQ(transferring(), 1);
  Browser()->EventLoopTimer();
  Browser()->EventLoopTimer();
  EXPECT_EQ(project->animationStep, 2);
  project->RemoveTransfer(a);
  EXPECT_FALSE(project->IsFileTransfering(a));
  EXPECT_EQ(transferring(), 0);
  Browser()->EventLoopTimer();
  EXPECT_EQ(project->animationStep, 0);
}

TEST_F(ProjectBrowserTest, PublishSendsChangedSourcesAndMarksTheOnesThatFail) {
  LoopbackFTPServer ftp;
  ASSERT_TRUE(ftp.Ready());
  fs::create_directories(fs::path(ftp.Root()) / "www");
  FTPServerInfo server = NewFTPServerInfo();
  server.Name = "Local";
  server.Host = Str255("127.0.0.1:" + std::to_string(ftp.Port()));
  server.RootFolder = "www";
  server.UserName = LoopbackFTPServer::kUser;
  server.Password = LoopbackFTPServer::kPassword;
  CFDataRef record = CreateFTPServerData(server);
  CFArrayRef list = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&record), 1, &kCFTypeArrayCallBacks);
  AppPrefs->SetTypeValue("FTPServers", list);
  CFRelease(list);
  CFRelease(record);

  // a.php goes to the root folder; b.php to a folder the server lacks (it
  // refuses the store); c.php has no server and is passed over.
  fs::create_directories(folder / "Sources");
  for (const char* name : {"a.php", "b.php", "c.php"}) {
    Write(folder / "Sources" / name, std::string("<?php echo '") + name + "';");
    project->AddFile(Ref(folder / "Sources" / name), false);
  }
  auto setInfo = [&](const char* name, const char* key, const char* value) {
    TPreferenceHandlerDictionary* entry = project->CopyFileInfo(name);
    entry->SetStringValue(key, value);
    entry->Synchronize();
    entry->Release();
  };
  setInfo("a.php", "FileInfoServer", "Local");
  setInfo("b.php", "FileInfoServer", "Local");
  setInfo("b.php", "FileInfoDirectory", "missing");
  auto row = [&](const char* name) {
    NodeInfoPtr node = Group(kProjectSourceType)->GetFileItem(name);
    return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH);
  };
  const SInt32 a = SInt32(row("a.php").index), b = SInt32(row("b.php").index);
  ASSERT_TRUE(row("a.php").needsUpload);

  HeadlessClearAlertAnswers();
  const size_t alertsBefore = HeadlessCopyAlertLog().size();
  project->Publish();
  EXPECT_TRUE(project->IsFileTransfering(a));
  EXPECT_TRUE(project->IsFileTransfering(b));
  EXPECT_EQ(project->transfers.size(), 2u);
  EXPECT_TRUE(row("a.php").transferring);
  for (int i = 0; i < 60 && !project->transfers.empty(); ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, false);

  EXPECT_TRUE(project->transfers.empty());
  EXPECT_TRUE(project->uploadStreams.empty());
  EXPECT_EQ(ReadText(fs::path(ftp.Root()) / "www/a.php"), "<?php echo 'a.php';");
  EXPECT_FALSE(row("a.php").needsUpload);
  EXPECT_FALSE(row("a.php").transferring);
  EXPECT_FALSE(HasUploadError(row("a.php")));
  // The refused file keeps its change mark for the next publish, shows the
  // error, and the message names it; the local copy is untouched.
  EXPECT_TRUE(row("b.php").needsUpload);
  EXPECT_FALSE(row("b.php").transferring);
  EXPECT_TRUE(HasUploadError(row("b.php")));
  EXPECT_EQ(ReadText(folder / "Sources/b.php"), "<?php echo 'b.php';");
  EXPECT_TRUE(row("c.php").needsUpload);
  std::vector<HeadlessAlertRecord> alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), alertsBefore + 1);
  EXPECT_NE(alerts.back().explanation.find("\"b.php\""), std::string::npos) << alerts.back().explanation;

  // Nothing left that can go: Publish says so.
  setInfo("b.php", "FileInfoServer", "");
  project->Publish();
  EXPECT_TRUE(project->transfers.empty());
  alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), alertsBefore + 2);
  EXPECT_EQ(alerts.back().explanation, "There were no files needing to be uploaded.");

  // A project that goes while an upload runs ends it first: nothing reports
  // into the freed project.
  setInfo("b.php", "FileInfoServer", "Local");
  project->Publish();
  ASSERT_EQ(project->uploadStreams.size(), 1u);
  const FTPStreamHandle running = project->uploadStreams[0];
  project->Release();
  project = nullptr;
  EXPECT_EQ(TFTPStream::FromHandle(running), nullptr);
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.5, false);
  EXPECT_EQ(HeadlessCopyAlertLog().size(), alertsBefore + 2);
  AppPrefs->RemoveValue("FTPServers");
}

TEST_F(ProjectBrowserTest, NewRowsStayInTheirGroup) {
  Write(folder / "drop/site/a.php", "<?php\n");
  Write(folder / "drop/site/logo.png", "png");
  auto* sources = static_cast<TFileGroup*>(Group(kProjectSourceType));
  TProjectGroup* resources = Group(kProjectResourceType);
  // The folder is a Sources folder: the image goes to the root of Resources.
  sources->AddFolderItems(Ref(folder / "drop/site"), false);
  ASSERT_EQ(resources->Items().size(), 1u);
  EXPECT_EQ(resources->Items()[0]->PARENT, resources->ROOTITEM);
  ASSERT_EQ(sources->Items().size(), 2u);
  EXPECT_EQ(sources->Items()[1]->PARENT, sources->Items()[0]->INDEX);
  // A removed folder no longer takes files; a row selected in another group
  // does not pull them over.
  project->RemoveItem(sources, SInt32(project->insertionContainer));
  Select({resources->Items()[0]->INDEX});
  const SInt32 again = AddFileItem(sources, "b.php", SInt32(project->insertionContainer));
  EXPECT_EQ(BrackenrowGetNodeAtIndex(again, project->browserControl)->PARENT, sources->ROOTITEM);
  EXPECT_EQ(sources->GetNode(again)->INDEX, again);
}

TEST_F(ProjectBrowserTest, FilesOfTheGroupsAreFoundByName) {
  Write(folder / "Sources/a.php", "<?php\n");
  Write(folder / "Resources/logo.png", "png");
  TProjectGroup* sources = Group(kProjectSourceType);
  AddFileItem(sources, "gone.php");
  AddFileItem(sources, "a.php", sources->NewFolder("lib", 0));
  AddFileItem(Group(kProjectResourceType), "logo.png");
  CFArrayRef files = project->CopyQueryFiles();
  ASSERT_NE(files, nullptr);
  ASSERT_EQ(CFArrayGetCount(files), 1);  // only what is found on disk, inside folders too
  const FSRef a = Ref(folder / "Sources/a.php");
  EXPECT_EQ(FSCompareFSRefs(static_cast<const FSRef*>(CFArrayGetValueAtIndex(files, 0)), &a), noErr);
  CFRelease(files);
  EXPECT_EQ(project->CopyGroupFSRefs(kProjectSnippetType), nullptr);
  EXPECT_NE(project->GetFileItem("logo.png"), nullptr);
  EXPECT_EQ(project->GetFileItem("lib"), nullptr);  // a folder is no file
  EXPECT_TRUE(project->ContainsFile(a));
  EXPECT_FALSE(project->ContainsFile(Ref(folder / "app.plist")));
}

TEST_F(ProjectBrowserTest, RenameSheetsHoldTheItemsName) {
  Write(folder / "Sources/a.php", "<?php\n");
  project->AddFile(Ref(folder / "Sources/a.php"), false);
  const SInt32 found = Group(kProjectSourceType)->Items()[0]->INDEX;
  const SInt32 missing = AddFileItem(Group(kProjectSourceType), "gone.php");
  const SInt32 folderItem = Group(kProjectSourceType)->NewFolder("lib", 0);
  const SInt32 snippet = static_cast<TSnippetGroup*>(Group(kProjectSnippetType))->NewSnippet();
  struct Case {
    SInt32 item;
    const char* name;
    bool box, boxEnabled;
  } cases[] = {{found, "a.php", true, true},
               {missing, "gone.php", true, false},
               {folderItem, "lib", false, false},
               {snippet, "untitled", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Select({c.item});
    HICommand command{};
    command.commandID = 'RENM';
    SInt32 result = eventNotHandledErr;
    project->ProcessCommand(command, nullptr, result);
    WindowRef sheet = GetNextWindowOfClass(nullptr, kSheetWindowClass, true);
    ASSERT_NE(sheet, nullptr);
    CFStringRef text = HIViewCopyText(HIViewFind(128, 'NAME', sheet));
    EXPECT_EQ(CFStringToPascal(text).str(), c.name);
    if (text) CFRelease(text);
    HIViewRef box = HIViewFind(128, 'OPTI', sheet);
    EXPECT_EQ(box != nullptr, c.box);
    if (box) EXPECT_EQ(bool(IsControlEnabled(box)), c.boxEnabled);
    command.commandID = 'not!';
    GetWindowObject(sheet)->ProcessCommand(command, nullptr, result);
  }
  // The sheet's OK renames through the item's group: a bookmark's title.
  const SInt32 bookmark = static_cast<TBookmarkGroup*>(Group(kProjectBookmarkType))->NewBookmark("http://a.example/x");
  Select({bookmark});
  HICommand rename{};
  rename.commandID = 'RENM';
  SInt32 status = eventNotHandledErr;
  project->ProcessCommand(rename, nullptr, status);
  WindowRef sheet = GetNextWindowOfClass(nullptr, kSheetWindowClass, true);
  ASSERT_NE(sheet, nullptr);
  HIViewSetText(HIViewFind(128, 'NAME', sheet), CFSTR("Docs"));
  rename.commandID = 'ok  ';
  GetWindowObject(sheet)->ProcessCommand(rename, nullptr, status);
  IconRef icon = nullptr;
  Str63 title;
  Group(kProjectBookmarkType)->GetDisplay(BrackenrowGetNodeAtIndex(bookmark, project->browserControl), icon, title);
  EXPECT_EQ(title.str(), "Docs");

  // The settings window is another unit's: without it 'pINF' travels on.
  HICommand command{};
  command.commandID = 'pINF';
  SInt32 result = eventNotHandledErr;
  project->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(result, eventNotHandledErr);
}

TEST_F(ProjectBrowserTest, GroupsShowAndTakeTheirItems) {
  Write(folder / "Sources/here.php", "<?php\n");
  TProjectGroup* sources = Group(kProjectSourceType);
  auto* snippets = static_cast<TSnippetGroup*>(Group(kProjectSnippetType));
  auto* bookmarks = static_cast<TBookmarkGroup*>(Group(kProjectBookmarkType));
  auto* commands = static_cast<TCommandGroup*>(Group(kProjectCommandType));
  IconRef unknown = nullptr;
  GetIconRef(kOnSystemDisk, 'macs', 'unfs', &unknown);

  struct Case {
    TProjectGroup* group;
    SInt32 item;
    const char* name;
    bool unknownIcon, noIcon;
  } cases[] = {
      {sources, AddFileItem(sources, "here.php"), "here.php", false, false},
      {sources, AddFileItem(sources, "gone.php"), "gone.php", true, false},
      {snippets, snippets->NewSnippet(), "untitled", false, true},
      {bookmarks, bookmarks->NewBookmark("http://a.example/docs/page.html"), "page.html", false, true},
      {bookmarks, bookmarks->NewBookmark("http://a.example/"), "untitled", false, true},
      {commands, commands->NewCommand("c1"), "untitled", false, true},
  };
  for (const Case& c : cases) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(c.item, project->browserControl);
    IconRef icon = nullptr;
    Str63 name;
    c.group->GetDisplay(node, icon, name);
    EXPECT_EQ(name.str(), c.name);
    if (c.noIcon) EXPECT_EQ(icon, nullptr) << c.name;
    else EXPECT_EQ(icon == unknown, c.unknownIcon) << c.name;
    if (icon) ReleaseIconRef(icon);
    // Every row draws its name, with an icon or without.
    std::vector<UInt8> pixels(200 * 20 * 4, 0xFF);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context =
        CGBitmapContextCreate(pixels.data(), 200, 20, 8, 800, space, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    Browser()->DrawItem(node->DATA, node->DATATYPE, false, DataBrowserItemID(c.item), 'DATA', 0,
                        CGRectMake(30, 0, 170, 20), context);
    CGContextFlush(context);
    CGContextRelease(context);
    bool inked = false;
    for (size_t i = 0; i < pixels.size() && !inked; i += 4) inked = pixels[i] < 100 && pixels[i + 3] > 0;
    EXPECT_TRUE(inked) << c.name;
  }
  if (unknown) ReleaseIconRef(unknown);

  // Dropped text: a snippet named "untitled" holding it; bookmarks take web
  // and file addresses only, named after the last path component.
  Ptr text = TextData("echo 1;");
  EXPECT_TRUE(snippets->AcceptItem(text, nullptr, 'utxt'));
  EXPECT_TRUE(snippets->ReceiveItem(text, nullptr, 'utxt'));
  NodeInfoPtr made = snippets->Items().back();
  EXPECT_EQ(TSnippetGroup::GetName(made->DATA, made->DATALENGTH).str(), "untitled");
  EXPECT_EQ(TSnippetGroup::GetString(made->DATA, made->DATALENGTH).str(), "echo 1;");
  DisposePtr(text);
  struct Drop {
    const char* text;
    bool taken;
  } drops[] = {{"mailto:someone@example.com", false}, {"http://a.example/dir/file.php", true}, {"plain", false}};
  for (const Drop& d : drops) {
    Ptr data = TextData(d.text);
    EXPECT_EQ(bool(bookmarks->AcceptItem(data, nullptr, 'utxt')), d.taken) << d.text;
    DisposePtr(data);
  }
  Ptr url = TextData("http://a.example/dir/file.php");
  EXPECT_TRUE(bookmarks->ReceiveItem(url, nullptr, 'utxt'));
  DisposePtr(url);
  IconRef icon = nullptr;
  Str63 name;
  bookmarks->GetDisplay(bookmarks->Items().back(), icon, name);
  EXPECT_EQ(name.str(), "file.php");
}

TEST_F(ProjectBrowserTest, SourceRowsDrawTheirMarks) {
  const SInt32 item = AddFileItem(Group(kProjectSourceType), "a.php");
  auto* bytes = static_cast<UInt8*>(BrackenrowGetNodeAtIndex(item, project->browserControl)->DATA);
  auto* group = static_cast<TFileGroup*>(Group(kProjectSourceType));
  // Renders the row's marks into a white image; the pixel at (x, y) counted
  // from the top.
  auto render = [&](Boolean selected) {
    std::vector<UInt8> pixels(200 * 40 * 4, 0xFF);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context =
        CGBitmapContextCreate(pixels.data(), 200, 40, 8, 800, space, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    group->DrawItem(bytes, selected, DataBrowserItemID(item), 'DATA', 0, CGRectMake(40, 10, 150, 20), context);
    CGContextFlush(context);
    CGContextRelease(context);
    return pixels;
  };
  auto at = [](const std::vector<UInt8>& pixels, int x, int y) { return &pixels[size_t((y * 200 + x) * 4)]; };
  const std::vector<UInt8> plain = render(false);

  bytes[68] = 1;  // edited: a blue dot left of the row
  std::vector<UInt8> edited = render(false);
  const UInt8* dot = at(edited, 33, 20);
  EXPECT_LT(dot[0], 200);
  EXPECT_GT(dot[2], dot[0]);
  bytes[68] = 0;

  // An error needs both its words: a domain alone draws nothing.
  bytes[72] = 1;
  EXPECT_EQ(render(false), plain);
  bytes[76] = 4;
  EXPECT_NE(render(false), plain);
  std::memset(bytes + 72, 0, 8);

  // The colour label, unless the row is selected.
  SetLabel("a.php", "Red");
  std::vector<UInt8> labelled = render(false);
  EXPECT_NE(labelled, plain);
  EXPECT_EQ(render(true), plain);
  SetLabel("a.php", "None");
  EXPECT_EQ(render(false), plain);
}

TEST(ProjectGlobals, ScriptLanguagesOfFiles) {
  struct Case {
    const char* file;
    const char* language;
  } cases[] = {{"index.php", "php"}, {"tool.pl", "perl"}, {"app.rb", "ruby"}, {"page.html", ""},
               {"site.css", ""},     {"data.xyz", ""},    {"README", ""}};
  for (const Case& c : cases) EXPECT_EQ(GetSupportedScriptLanguage(c.file).str(), c.language) << c.file;
}

TEST_F(ProjectBrowserTest, ResizingThePaneMovesTheTreeUnderTheToolbar) {
  WindowRef window = project->nibWindow;
  HIViewRef toolbar = HIViewFind(129, 'TOOL', window), tree = HIViewFind(128, 'BROW', window);
  ASSERT_TRUE(toolbar && tree);
  HIRect before{}, after{}, bar{};
  HIViewGetFrame(tree, &before);
  ResizeProjectPane(window);
  HIViewGetFrame(tree, &after);
  HIViewGetFrame(toolbar, &bar);
  EXPECT_EQ(bar.size.height, 18);
  EXPECT_EQ(after.origin.y, before.origin.y - 2);
  EXPECT_EQ(after.size.height, before.size.height + 2);
}
