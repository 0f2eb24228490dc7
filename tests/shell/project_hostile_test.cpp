// Group files come with project folders from other people: rows whose
// payload is shorter than the record their type names are read no further
// than they go, shown without stray bytes, and made whole before anything is
// written into them; one such row leaves the others as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFPascal.h"
#include "CGContext.h"
#include "DataBrowser.h"
#include "Files.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TGroupBrowserUnit.h"
#include "TProjectBrowserUnit.h"
#include "TProjectDialogsUnit.h"
#include "TProjectUnit.h"
#include "brackenrow/Brackenrow.h"
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

struct Row {
  UInt32 type;
  std::string payload;
  Boolean container = false;
};

// A group file of the rows, numbered from first, as the program writes one.
void WriteGroupFile(const fs::path& path, const std::vector<Row>& rows, SInt32 first) {
  fs::create_directories(path.parent_path());
  Write(path, "");
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  SInt32 index = first;
  for (const Row& row : rows) {
    Ptr data = NewPtrCopy(row.payload.data(), Size(row.payload.size()));
    NodeInfoPtr record =
        BrackenrowNewNode(data, SInt32(row.payload.size()), row.type, index++, 0, row.container);
    CFTreeRef node = BrackenrowCreateTree(record);
    CFTreeAppendChild(root, node);
    CFRelease(node);
  }
  CFTreeWritePropertyList(Ref(path), root, nullptr, nullptr);
  CFRelease(root);
}

std::string Record(const UInt8* bytes, size_t size) { return std::string(reinterpret_cast<const char*>(bytes), size); }

std::string ItemRecord(const char* name) {
  ProjectItemData item;
  item.name = name;
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  return Record(bytes, sizeof bytes);
}

std::string BookmarkRecord(const char* name, const char* url) {
  ProjectBookmarkData bookmark;
  bookmark.name = name;
  bookmark.url = url;
  UInt8 bytes[kProjectBookmarkDataSize];
  EncodeProjectBookmarkData(bookmark, bytes);
  return Record(bytes, sizeof bytes);
}

std::string CommandRecord(const char* title, const char* command) {
  UInt8 bytes[kCommandDataSize];
  EncodeCommandData(CommandData{title, command}, bytes);
  return Record(bytes, sizeof bytes);
}

HICommand CommandOf(UInt32 id) {
  HICommand command{};
  command.commandID = id;
  return command;
}

class ProjectHostileTest : public ::testing::Test {
 protected:
  fs::path folder, bundle, data;
  TPreferenceHandlerFile* application = nullptr;
  TProject* project = nullptr;

  void SetUp() override {
    folder = fs::path(getenv("TMPDIR")) /
             (std::string("hostile-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    bundle = folder / "Site.qvproj";
    data = bundle / "Contents/Resources/Data";
    fs::create_directories(bundle / "Contents/Resources/Preferences");
    Write(folder / "app.plist", "");
    Write(folder / "Sources/good.php", "<?php\n");
    application = new TPreferenceHandlerFile();
    application->SetFile(Ref(folder / "app.plist"));
    application->SetBooleanValue("GeneralImportCopyFiles", false);
    application->SetBooleanValue("GeneralImportAddPath", false);
    AppPrefs = application;
    RegisterToolbarViewClass();
    // Each group has a row of one byte (a length byte that promises 63
    // characters) beside a sound one.
    const std::string one(1, '\x3f');
    WriteGroupFile(data / "sources.plist",
                   {{kProjectSourceType, one}, {kProjectSourceType, ItemRecord("good.php")},
                    {kProjectFolderType, one, true}},
                   1);
    WriteGroupFile(data / "resources.plist", {{kProjectResourceType, one}}, 10);
    WriteGroupFile(data / "snippets.plist", {{kProjectSnippetType, one}}, 20);
    WriteGroupFile(data / "bookmarks.plist",
                   {{kProjectBookmarkType, one}, {kProjectBookmarkType, BookmarkRecord("Docs", "http://a.example/")}},
                   30);
    WriteGroupFile(data / "commands.plist",
                   {{kProjectCommandType, one}, {kProjectCommandType, CommandRecord("Tidy", "tidy")}}, 40);
    project = CreateProjectPane(Ref(bundle));
    ASSERT_NE(project, nullptr);
  }
  void TearDown() override {
    if (project) project->Release();
    AppPrefs = nullptr;
    application->Release();
  }

  TProjectGroup* Group(UInt32 type) { return project->FindGroupByType(type); }
  NodeInfoPtr Short(UInt32 type) {
    for (NodeInfoPtr node : Group(type)->Items())
      if (node->DATALENGTH == 1) return node;
    return nullptr;
  }
  Str63 Display(UInt32 type, NodeInfoPtr node) {
    IconRef icon = nullptr;
    Str63 name;
    if (node->DATATYPE == kProjectFolderType)
      Group(type)->GetStandardDisplay(node, kGroupBrowserFolderType, icon, name);
    else
      Group(type)->GetDisplay(node, icon, name);
    if (icon) ReleaseIconRef(icon);
    return name;
  }
};

}  // namespace

TEST_F(ProjectHostileTest, ShortRowsShowNoStrayBytesAndTheOthersStayWhole) {
  struct Case {
    UInt32 group;
    std::vector<std::string> names;  // in order; the short row shows no name
  };
  const Case cases[] = {
      {kProjectSourceType, {"", "good.php", ""}},
      {kProjectResourceType, {""}},
      {kProjectSnippetType, {"?"}},  // a snippet's name is its bytes up to ":"
      {kProjectBookmarkType, {"", "Docs"}},
      {kProjectCommandType, {"", "Tidy"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (NodeInfoPtr node : Group(c.group)->Items()) names.push_back(Display(c.group, node).str());
    EXPECT_EQ(names, c.names) << FCCToString(c.group).str();
  }
  // The short rows draw (no marks to read) and keep their one byte.
  auto* sources = static_cast<TFileGroup*>(Group(kProjectSourceType));
  std::vector<UInt8> pixels(200 * 20 * 4, 0xFF);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef context = CGBitmapContextCreate(pixels.data(), 200, 20, 8, 800, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  NodeInfoPtr row = Short(kProjectSourceType);
  ASSERT_NE(row, nullptr);
  sources->DrawItem(row->DATA, false, DataBrowserItemID(row->INDEX), 'DATA', 0, CGRectMake(30, 0, 170, 20), context);
  CGContextRelease(context);
  EXPECT_EQ(GetPtrSize(static_cast<Ptr>(row->DATA)), 1);

  // A short folder row belongs to no group: its commands go nowhere.
  NodeInfoPtr folderRow = nullptr;
  for (NodeInfoPtr node : Group(kProjectSourceType)->Items())
    if (node->DATATYPE == kProjectFolderType) folderRow = node;
  ASSERT_NE(folderRow, nullptr);
  EXPECT_EQ(GroupFolderType(folderRow->DATA, folderRow->DATALENGTH), 0u);
  EXPECT_EQ(project->browser->FindGroupByItem(folderRow), nullptr);
  EXPECT_EQ(project->browser->GetFolderName(folderRow->DATA).str(), "");

  // The commands of the short command row run with an empty name.
  auto* commands = Group(kProjectCommandType);
  commands->OpenItem(Short(kProjectCommandType)->DATA);
  EXPECT_TRUE(commands->RemoveItem(Short(kProjectCommandType)->DATA, kProjectCommandType));
}

TEST_F(ProjectHostileTest, WritesGrowAShortRecordToItsFullSizeFirst) {
  // Renaming: the record is made whole, then named.
  struct Case {
    UInt32 group;
    CFIndex size;
  };
  const Case cases[] = {
      {kProjectSourceType, kProjectItemDataSize},   {kProjectResourceType, kProjectItemDataSize},
      {kProjectSnippetType, kSnippetNameSize},      {kProjectBookmarkType, kProjectBookmarkDataSize},
      {kProjectCommandType, kCommandDataSize},
  };
  for (const Case& c : cases) {
    NodeInfoPtr node = Short(c.group);
    ASSERT_NE(node, nullptr) << FCCToString(c.group).str();
    const SInt32 index = node->INDEX;
    EXPECT_TRUE(project->RenameItem(Group(c.group), index, "renamed", false)) << FCCToString(c.group).str();
    node = Group(c.group)->GetNode(index);
    EXPECT_EQ(node->DATALENGTH, c.size);
    EXPECT_GE(GetPtrSize(static_cast<Ptr>(node->DATA)), c.size);
    EXPECT_EQ(Display(c.group, node).str(), "renamed") << FCCToString(c.group).str();
  }

  // The folder row through the browser's rename.
  NodeInfoPtr folderRow = nullptr;
  for (NodeInfoPtr node : Group(kProjectSourceType)->Items())
    if (node->DATATYPE == kProjectFolderType) folderRow = node;
  ASSERT_NE(folderRow, nullptr);
  project->browser->RenameFolder("lib", folderRow->DATA);
  EXPECT_EQ(folderRow->DATALENGTH, kGroupFolderDataSize);
  EXPECT_EQ(project->browser->GetFolderName(folderRow->DATA).str(), "lib");
}

TEST_F(ProjectHostileTest, TheMarksOfAShortFileRowAreWrittenIntoAWholeRecord) {
  // The short source row's name reads as empty: the marks of "" reach it.
  NodeInfoPtr node = Short(kProjectSourceType);
  ASSERT_NE(node, nullptr);
  const SInt32 index = node->INDEX;
  project->SetItemEdited("", true);
  node = Group(kProjectSourceType)->GetNode(index);
  EXPECT_EQ(node->DATALENGTH, kProjectItemDataSize);
  EXPECT_TRUE(DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH).edited);
  // The whole record reads as the short row did: no name, no stray bytes.
  EXPECT_EQ(Display(kProjectSourceType, node).str(), "");
  EXPECT_EQ(Record(static_cast<const UInt8*>(node->DATA), 64), std::string(64, '\0'));

  // Each kind of mark, on a fresh short row.
  struct Case {
    const char* what;
    void (*mark)(TProject*, SInt32);
  };
  const Case cases[] = {
      {"closed", [](TProject* p, SInt32) { p->DocumentClosed(""); }},
      {"upload started", [](TProject* p, SInt32) { p->AppendTransfer(""); }},
      {"upload ended", [](TProject* p, SInt32 at) { p->RemoveTransfer(at); }},
  };
  for (const Case& c : cases) {
    project->Release();  // saves its groups: the file is written after
    fs::remove_all(data);
    WriteGroupFile(data / "sources.plist", {{kProjectSourceType, std::string(1, '\0')}}, 1);
    project = CreateProjectPane(Ref(bundle));
    ASSERT_NE(project, nullptr);
    NodeInfoPtr row = Group(kProjectSourceType)->Items().at(0);
    ASSERT_EQ(row->DATALENGTH, 1) << c.what;
    const SInt32 at = row->INDEX;
    if (std::string(c.what) == "upload ended") project->AppendTransfer("");
    c.mark(project, at);
    row = Group(kProjectSourceType)->GetNode(at);
    EXPECT_EQ(row->DATALENGTH, kProjectItemDataSize) << c.what;
  }
  // Selecting a short row has no upload error to clear and leaves it alone.
  project->Release();
  fs::remove_all(data);
  WriteGroupFile(data / "sources.plist", {{kProjectSourceType, std::string(1, '\0')}}, 1);
  project = CreateProjectPane(Ref(bundle));
  ASSERT_NE(project, nullptr);
  NodeInfoPtr row = Group(kProjectSourceType)->Items().at(0);
  project->browser->ItemNotification(row->DATA, kProjectSourceType, DataBrowserItemID(row->INDEX),
                                     kDataBrowserItemSelected);
  EXPECT_EQ(row->DATALENGTH, 1);
}

TEST_F(ProjectHostileTest, TheBookmarkEditorWritesOnlyIntoAWholeRecord) {
  // Opened from the group, the short row is made whole before the editor
  // takes it.
  NodeInfoPtr node = Short(kProjectBookmarkType);
  ASSERT_NE(node, nullptr);
  const SInt32 index = node->INDEX;
  Group(kProjectBookmarkType)->ProcessCommand(node->DATA, kProjectBookmarkType, CommandOf('gINF'));
  node = Group(kProjectBookmarkType)->GetNode(index);
  EXPECT_EQ(node->DATALENGTH, kProjectBookmarkDataSize);
  EXPECT_EQ(Display(kProjectBookmarkType, node).str(), "");
  EXPECT_EQ(Record(static_cast<const UInt8*>(node->DATA), kProjectBookmarkDataSize),
            BookmarkRecord("", ""));
  if (auto* editor = dynamic_cast<TBookmarkEditor*>(GetWindowObject(FrontNonFloatingWindow()))) {
    SInt32 status = noErr;
    editor->Close(status);
  }

  // Given a payload too short for the record, the editor leaves it alone.
  Ptr shortPayload = NewPtrClear(1);
  shortPayload[0] = 0x3f;
  TBookmarkEditor* editor = OpenBookmarkEditor(reinterpret_cast<UInt8*>(shortPayload), nullptr, 1);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetControl32BitValue(HIViewFind(130, 'PREF', editor->window)), 0);
  SInt32 status = noErr;
  editor->Close(status);
  EXPECT_EQ(GetPtrSize(shortPayload), 1);
  EXPECT_EQ(UInt8(shortPayload[0]), 0x3f);
  DisposePtr(shortPayload);
}
