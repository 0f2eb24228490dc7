// The project's small windows over real files: the new-file sheet (its
// template menu, making files from templates or empty, the location checks),
// the snippet and bookmark editors writing back their payloads, the compile
// window's count, the rename sheet's dispatch, the project data files, the
// group type of a file, and the "Open With" menu from desktop entries.
//
// The XDG data folders are this process's own, made before anything asks
// the desktop about applications.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "HeadlessHost.h"
#include "LSInfo.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TFileSystemUnit.h"
#include "TGroupBrowserUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectDialogsUnit.h"
#include "TProjectUnit.h"
#include "TSyntaxParserUnit.h"
#include "TWASTEViewUnit.h"
#include "fenwicket/Fenwicket.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Root() {
  static const fs::path root = fs::path(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") /
                               ("projectdialogs-" + std::to_string(getpid()));
  return root;
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Desktop entries for a browser and a PHP editor, and nothing of the
// machine's own.
class DesktopFixtures : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path root = Root();
    fs::remove_all(root);
    const fs::path data = root / "data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", (root / "system").c_str(), 1);
    auto entry = [](const std::string& name, const std::string& types) {
      return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=/bin/true %f\nMimeType=" + types + "\n";
    };
    Write(data / "applications/quorvel-phpedit.desktop", entry("PHP Editor", "application/x-php;"));
    Write(data / "applications/quorvel-browser.desktop", entry("Page Browser", "text/html;x-scheme-handler/http;"));
    Write(data / "applications/mimeinfo.cache",
          "[MIME Cache]\napplication/x-php=quorvel-phpedit.desktop;\ntext/html=quorvel-browser.desktop;\n"
          "x-scheme-handler/http=quorvel-browser.desktop;\n");
  }
  void TearDown() override { fs::remove_all(Root()); }
};

const auto* const kFixtures = ::testing::AddGlobalTestEnvironment(new DesktopFixtures);

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

std::string Path(const FSRef& ref) {
  UInt8 buffer[4096];
  return FSRefMakePath(&ref, buffer, sizeof buffer) == noErr ? reinterpret_cast<char*>(buffer) : "(none)";
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  char buffer[1024];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "(?)";
}

std::string ControlText(WindowRef window, OSType signature, SInt32 id) {
  ControlRef control = HIViewFind(id, signature, window);
  if (control == nullptr) return "(no control)";
  CFStringRef text = HIViewCopyText(control);
  std::string result = Text(text);
  if (text) CFRelease(text);
  return result;
}

void SetControlText(WindowRef window, OSType signature, SInt32 id, const std::string& utf8) {
  ControlRef control = HIViewFind(id, signature, window);
  ASSERT_NE(control, nullptr);
  CFStringRef text = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
  HIViewSetText(control, text);
  CFRelease(text);
}

std::string ItemText(MenuRef menu, MenuItemIndex item) {
  CFStringRef text = nullptr;
  CopyMenuItemTextAsCFString(menu, item, &text);
  std::string result = Text(text);
  if (text) CFRelease(text);
  return result;
}

bool AlertSaid(const std::string& text) {
  for (const HeadlessAlertRecord& record : HeadlessCopyAlertLog())
    if (record.explanation == text || record.error == text) return true;
  return false;
}

void Command(TWindow* window, UInt32 id) {
  HICommand command{};
  command.commandID = id;
  SInt32 result = eventNotHandledErr;
  window->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(result, noErr);
}

// The 'addf' commands a project window hears, with their files.
struct AddedFiles {
  std::vector<std::string> paths;
  static OSStatus Handle(EventHandlerCallRef, EventRef event, void* data) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID != 'addf') return eventNotHandledErr;
    FSRef file{};
    if (GetEventParameter(event, 'FREF', typeFSRef, nullptr, sizeof file, nullptr, &file) == noErr)
      static_cast<AddedFiles*>(data)->paths.push_back(Path(file));
    return noErr;
  }
};

class ProjectDialogsTest : public ::testing::Test {
 protected:
  fs::path folder;  // the project folder
  fs::path bundle;
  WindowRef parent = nullptr;
  AddedFiles added;
  EventHandlerRef handler = nullptr;
  TPreferenceHandlerFile* prefs = nullptr;

  void SetUp() override {
    static const bool registered = (RegisterWasteClass(), true);  // the snippet editor's text view
    (void)registered;
    folder = Root() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder);
    bundle = folder / "Site.qvproj";
    fs::create_directories(bundle / "Contents/Resources/Data");
    fs::create_directories(folder / "Sources");
    Write(folder / "project.plist", "");
    prefs = new TPreferenceHandlerFile();
    prefs->SetFile(Ref(folder / "project.plist"));
    Rect bounds{100, 100, 500, 700};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute | kWindowCompositingAttribute,
                              &bounds, &parent),
              noErr);
    static const EventTypeSpec kCommands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetWindowEventTarget(parent), AddedFiles::Handle, 1, kCommands, &added, &handler);
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    if (handler) RemoveEventHandler(handler);
    if (parent) ReleaseWindow(parent);
    prefs->Release();
  }
};

// ---------------------------------------------------------------------------
// New-file sheet

TEST_F(ProjectDialogsTest, TemplateMenuListsTheProjectsTemplatesFirstThenTheApplicationsBySection) {
  Write(folder / "Templates/Start.php", "<?php // start");
  Write(folder / "Templates/Mail/Letter.txt", "Dear ...");
  Write(folder / "Templates/.hidden/Secret.txt", "no");
  Write(folder / "Templates/.DS_Store", "no");
  TNewFileWindow* sheet = OpenNewFileWindow(Ref(bundle), prefs, parent);
  ASSERT_NE(sheet, nullptr);
  // Without a stored location the project's Sources folder is offered.
  EXPECT_EQ(ControlText(sheet->window, 'PATH', 128), (folder / "Sources").string());

  ControlRef popup = HIViewFind(128, 'TEMP', sheet->window);
  MenuRef menu = HIViewGetMenu(popup);
  ASSERT_NE(menu, nullptr);
  struct Row {
    std::string text;
    bool header;
    UInt32 indent;
    std::string file;  // the 'fsrf' property's path, empty without one
  };
  std::vector<Row> rows;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(menu, i, &attributes);
    UInt32 indent = 0;
    GetMenuItemIndent(menu, i, &indent);
    FSRef ref{};
    ByteCount size = 0;
    std::string file;
    if (GetMenuItemProperty(menu, i, ApplicationSignature, 'fsrf', sizeof ref, &size, &ref) == noErr) file = Path(ref);
    rows.push_back({ItemText(menu, i), (attributes & kMenuItemAttrSectionHeader) != 0, indent, file});
  }
  ASSERT_GE(rows.size(), 6u);
  EXPECT_EQ(GetControl32BitMaximum(popup), SInt32(rows.size()));
  // The sheet's own first choice, then the project's section as walked.
  const std::vector<std::string> project = {"Empty File", "Project", "Mail", "Letter.txt", "Start.php"};
  for (size_t i = 0; i < project.size(); ++i) EXPECT_EQ(rows[i].text, project[i]) << i;
  EXPECT_TRUE(rows[1].header && rows[2].header);
  EXPECT_TRUE(rows[1].file.empty() && rows[2].file.empty());
  EXPECT_EQ(rows[3].file, (folder / "Templates/Mail/Letter.txt").string());
  EXPECT_EQ(rows[4].indent, 1u);
  EXPECT_FALSE(rows[4].header);

  // Then the application's starters: each language a section holding files.
  std::vector<std::string> sections;
  for (size_t i = project.size(); i < rows.size(); ++i) {
    if (rows[i].header) {
      sections.push_back(rows[i].text);
      ASSERT_LT(i + 1, rows.size());
      EXPECT_FALSE(rows[i + 1].header) << rows[i].text << " holds no template";
    } else {
      EXPECT_EQ(rows[i].indent, 1u);
      EXPECT_TRUE(fs::is_regular_file(rows[i].file)) << rows[i].text;
    }
  }
  for (const char* language : {"PHP", "Perl", "Ruby", "HTML", "CSS", "JavaScript", "XML"})
    EXPECT_NE(std::find(sections.begin(), sections.end(), language), sections.end()) << language;
  for (const Row& row : rows) EXPECT_EQ(row.text.find("Secret"), std::string::npos);
  sheet->Remove();
}

TEST_F(ProjectDialogsTest, CreatingAFileFromATemplateOrEmptyAndTheFailures) {
  Write(folder / "Templates/Start.php", "<?php echo 'start'; ?>");
  Write(folder / "Sources/taken.php", "keep me");
  fs::create_directories(folder / "Other");
  struct Case {
    const char* name;
    std::string location;
    const char* templateName;  // nil: the first item, no template
    OSStatus status;
    const char* message;  // nil: none
    const char* contents;  // of the file afterwards; nil: no such file
  } cases[] = {
      {"empty.php", (folder / "Sources").string(), nullptr, noErr, nullptr, ""},
      {"copy.php", (folder / "Other").string(), "Start.php", noErr, nullptr, "<?php echo 'start'; ?>"},
      {"nowhere.php", (folder / "Missing").string(), nullptr, dirNFErr, "The location is not valid.", nullptr},
      {"file.php", (folder / "Sources/taken.php").string(), nullptr, dirNFErr, "The location is not valid.",
       nullptr},
      // An existing file is neither emptied nor taken for a new one.
      {"taken.php", (folder / "Sources").string(), nullptr, dupFNErr,
       "There was a file system error -48 while creating the new file", "keep me"},
      {"taken.php", (folder / "Sources").string(), "Start.php", dupFNErr,
       "There was a file system error -48 while creating the new file", "keep me"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in " + c.location);
    HeadlessClearAlertLog();
    added.paths.clear();
    TNewFileWindow* sheet = OpenNewFileWindow(Ref(bundle), prefs, parent);
    ASSERT_NE(sheet, nullptr);
    WindowRef window = sheet->window;
    SetControlText(window, 'NAME', 128, c.name);
    SetControlText(window, 'PATH', 128, c.location);
    if (c.templateName) {
      ControlRef popup = HIViewFind(128, 'TEMP', window);
      MenuItemIndex item = FindMenuItem(c.templateName, false, HIViewGetMenu(popup));
      ASSERT_GT(item, 0);
      SetControl32BitValue(popup, item);
    }
    Command(sheet, 'save');
    const fs::path made = fs::path(c.location) / c.name;
    if (c.status == noErr) {
      // Made, handed to the project window, and the sheet is gone.
      EXPECT_FALSE(IsValidWindowPtr(window));
      EXPECT_EQ(HeadlessCopyAlertLog().size(), 0u);
      ASSERT_EQ(added.paths, std::vector<std::string>{made.string()});
      FSCatalogInfo info{};
      const FSRef madeRef = Ref(made);
      ASSERT_EQ(FSGetCatalogInfo(&madeRef, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
      const auto* finder = reinterpret_cast<const FileInfo*>(info.finderInfo);
      EXPECT_EQ(finder->fileType, OSType('TEXT'));
      EXPECT_EQ(finder->fileCreator, ApplicationSignature);
      // The location is remembered for the next sheet.
      EXPECT_EQ(prefs->GetStringValue("ProjectNewFileLocation").str(), c.location);
    } else {
      // The sheet stays with what the user typed; nothing reaches the project.
      EXPECT_TRUE(IsValidWindowPtr(window));
      EXPECT_EQ(ControlText(window, 'NAME', 128), c.name);
      EXPECT_TRUE(AlertSaid(c.message));
      EXPECT_TRUE(added.paths.empty());
      sheet->Remove();
    }
    if (c.contents) {
      EXPECT_EQ(Read(made), c.contents);
    } else {
      EXPECT_FALSE(fs::exists(made));
    }
  }
}

TEST_F(ProjectDialogsTest, TheStoredLocationIsKeptAndChoosingAFolderFillsIt) {
  fs::create_directories(folder / "Chosen");
  prefs->SetStringValue("ProjectNewFileLocation", (folder / "Other").c_str());
  TNewFileWindow* sheet = OpenNewFileWindow(Ref(bundle), prefs, parent);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(ControlText(sheet->window, 'PATH', 128), (folder / "Other").string());
  HeadlessNavAnswer answer;
  answer.action = kNavUserActionChoose;
  answer.paths = {(folder / "Chosen").string()};
  HeadlessQueueNavAnswer(answer);
  Command(sheet, 'CHOO');
  HeadlessAdvanceClock(0);  // the folder sheet answers from the run loop
  EXPECT_EQ(ControlText(sheet->window, 'PATH', 128), (folder / "Chosen").string());
  WindowRef window = sheet->window;
  Command(sheet, 'not!');
  EXPECT_FALSE(IsValidWindowPtr(window));
  EXPECT_TRUE(added.paths.empty());
}

// ---------------------------------------------------------------------------
// Snippets and bookmarks

std::u16string SnippetText(Ptr payload) {
  Ptr text = GetSnippetText(payload);
  std::u16string result(reinterpret_cast<const char16_t*>(text), GetPtrSize(text) / 2);
  DisposePtr(text);
  return result;
}

Ptr UnicodeBlock(const std::u16string& text) {
  Ptr block = NewPtr(Size(text.size() * 2));
  if (!text.empty()) std::memcpy(block, text.data(), text.size() * 2);
  return block;
}

TEST(SnippetDataTest, NameAndTextComeBackAsWritten) {
  const std::string longest(63, 'n');
  struct {
    std::string name;
    std::u16string text;
  } cases[] = {
      {"untitled", u""},
      {"header", u"<?php\rrequire 'config.php';\r"},
      {longest, u"x"},
      {"unicode", u"caf\u00e9 \U0001F600 \u2014 end"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ptr text = UnicodeBlock(c.text);
    Ptr payload = CreateSnippetData(Str63(c.name), text);
    DisposePtr(text);
    EXPECT_EQ(GetPtrSize(payload), Size(64 + c.text.size() * 2));
    EXPECT_EQ(GetSnippetName(payload).str(), c.name);
    EXPECT_EQ(SnippetText(payload), c.text);
    DisposePtr(payload);
  }
  // No text block at all: the header alone.
  Ptr bare = CreateSnippetData("bare", nullptr);
  EXPECT_EQ(GetPtrSize(bare), Size(64));
  EXPECT_EQ(GetSnippetName(bare).str(), "bare");
  EXPECT_TRUE(SnippetText(bare).empty());
  DisposePtr(bare);
}

TEST_F(ProjectDialogsTest, TheSnippetEditorShowsAndWritesBackItsNode) {
  Ptr text = UnicodeBlock(u"echo 1;");
  NodeInfo node{};
  node.DATA = CreateSnippetData("greeting", text);
  node.DATALENGTH = SInt32(GetPtrSize(static_cast<Ptr>(node.DATA)));
  node.DATATYPE = 'SNIP';
  DisposePtr(text);
  TSnippetEditor* editor = OpenSnippetEditor(&node, parent);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(ControlText(editor->window, 'NAME', 128), "greeting");
  ASSERT_NE(editor->textView, nullptr);
  CFStringRef shown = editor->textView->CopyRange(CFRangeMake(0, 0));
  EXPECT_EQ(Text(shown), "echo 1;");
  if (shown) CFRelease(shown);

  SetControlText(editor->window, 'NAME', 128, "farewell");
  editor->textView->SetText(CFSTR("echo 2;"));
  Command(editor, 'clos');
  EXPECT_EQ(node.DATALENGTH, SInt32(GetPtrSize(static_cast<Ptr>(node.DATA))));
  EXPECT_EQ(GetSnippetName(static_cast<Ptr>(node.DATA)).str(), "farewell");
  EXPECT_EQ(SnippetText(static_cast<Ptr>(node.DATA)), u"echo 2;");
  DisposePtr(static_cast<Ptr>(node.DATA));
}

CFArrayRef TestBrowsers() {
  const fs::path entry = Root() / "data/applications/quorvel-browser.desktop";
  FSRef ref = Ref(entry);
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
  CFArrayRef list = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&url), 1, &kCFTypeArrayCallBacks);
  CFRelease(url);
  return list;
}

TEST_F(ProjectDialogsTest, TheBookmarkEditorShowsAndWritesBackItsRecord) {
  SetPreviewApplicationSource(TestBrowsers);
  ProjectBookmarkData data;
  data.name = "Docs";
  data.url = "http://www.example.com/docs/";
  data.openInside = true;
  data.application = "quorvel-browser.desktop";
  UInt8 bytes[kProjectBookmarkDataSize];
  EncodeProjectBookmarkData(data, bytes);

  TBookmarkEditor* editor = OpenBookmarkEditor(bytes, parent);
  ASSERT_NE(editor, nullptr);
  WindowRef window = editor->window;
  EXPECT_EQ(ControlText(window, 'PREF', 128), "Docs");
  EXPECT_EQ(ControlText(window, 'PREF', 129), "http://www.example.com/docs/");
  EXPECT_EQ(GetControl32BitValue(HIViewFind(130, 'PREF', window)), 1);
  ControlRef browsers = HIViewFind(131, 'PREF', window);
  ASSERT_EQ(CountMenuItems(HIViewGetMenu(browsers)), 1);
  EXPECT_EQ(ItemText(HIViewGetMenu(browsers), 1), "Page Browser");
  EXPECT_EQ(GetControl32BitValue(browsers), 1);

  SetControlText(window, 'PREF', 128, "Manual");
  SetControlText(window, 'PREF', 129, "https://www.example.org/manual");
  SetControl32BitValue(HIViewFind(130, 'PREF', window), 0);
  Command(editor, 'clos');
  const ProjectBookmarkData saved = DecodeProjectBookmarkData(bytes, kProjectBookmarkDataSize);
  EXPECT_EQ(saved.name.str(), "Manual");
  EXPECT_EQ(saved.url.str(), "https://www.example.org/manual");
  EXPECT_FALSE(saved.openInside);
  EXPECT_EQ(saved.application, "quorvel-browser.desktop");
  EXPECT_EQ(HeadlessCopyAlertLog().size(), 0u);

  // An address the record cannot hold whole is refused, not cut or blanked.
  for (const std::string& address : {"http://www.example.org/" + std::string(250, 'p'),
                                     std::string("http://www.example.org/\u540d\u524d")}) {
    HeadlessClearAlertLog();
    editor = OpenBookmarkEditor(bytes, parent);
    ASSERT_NE(editor, nullptr);
    SetControlText(editor->window, 'PREF', 129, address);
    Command(editor, 'clos');
    EXPECT_EQ(DecodeProjectBookmarkData(bytes, kProjectBookmarkDataSize).url.str(), "https://www.example.org/manual");
    EXPECT_TRUE(AlertSaid(
        "The bookmark keeps its old address: the new one is too long or holds characters a bookmark cannot keep."));
  }
  SetPreviewApplicationSource(nullptr);
}

// ---------------------------------------------------------------------------
// Compile window

TEST(CompileWindowTest, EachFileIsCountedOnceAndShownAndStopEndsTheCompile) {
  static std::vector<SInt16> heard;
  auto* parser = new TSyntaxParser();
  SyntaxParserDestination destination{};
  destination.notification = [](FileDescriptorPtr, const SyntaxParserSource&, SInt16 kind, void*, void*) {
    heard.push_back(kind);
  };
  parser->SetDestination(destination);
  TCompileWindow* progress = OpenCompileWindow(parser, 3);
  ASSERT_NE(progress, nullptr);
  WindowRef window = progress->window;
  ControlRef bar = HIViewFind(128, 'PROG', window);
  EXPECT_EQ(GetControl32BitMaximum(bar), 3);
  EXPECT_FALSE(IsWindowVisible(window));  // shown with the first file

  FileDescriptor first{}, second{};
  first.fileName = "index.php";
  second.fileName = "lib.php";
  // Progress reports come many times per file: the count moves once.
  for (FileDescriptor* file : {&first, &first, &first, &second, &second}) progress->Update(file, CFRangeMake(0, 51));
  EXPECT_EQ(progress->count, 2);
  EXPECT_EQ(GetControl32BitValue(bar), 2);
  EXPECT_EQ(ControlText(window, 'STAT', 128), "Compiling lib.php (2 of 3)");
  EXPECT_TRUE(IsWindowVisible(window));

  // Stop: the parser ends its batch and says so to the project.
  Command(progress, 'not!');
  EXPECT_EQ(heard, std::vector<SInt16>{kSyntaxParserNotifyReleased});
  progress->Remove();
  parser->Free();
}

// ---------------------------------------------------------------------------
// Rename sheet

IBNibRef MainNib() {
  static IBNibRef nib = nullptr;
  if (nib == nullptr) {
    EXPECT_EQ(CreateNibReference(CFSTR("main"), &nib), noErr);
  }
  return nib;
}

struct RenameLog {
  std::vector<std::string> calls;
};

class RecordingGroup : public TBrowserGroup {
 public:
  RenameLog* log = nullptr;
  void RenameItem(void* data, const Str63& name, TWindow* window) override {
    // The sheet is still there for the group to read its check box.
    log->calls.push_back("item " + std::string(static_cast<const char*>(data)) + " -> " + name.str() +
                         (window && IsValidWindowPtr(window->window) ? " (sheet)" : ""));
  }
};

class RecordingBrowser : public TGroupBrowser {
 public:
  RenameLog* log = nullptr;
  void RenameFolder(const Str63& name, void* payload) override {
    log->calls.push_back("folder " + std::string(static_cast<const char*>(payload)) + " -> " + name.str());
  }
};

TEST_F(ProjectDialogsTest, TheRenameSheetRenamesFoldersThroughTheBrowserAndItemsThroughTheirGroup) {
  RenameLog log;
  auto* group = new RecordingGroup();
  group->log = &log;
  auto* browser = new RecordingBrowser();
  browser->log = &log;
  char payload[] = "old";
  struct Case {
    const char* window;
    UInt32 type;
    UInt32 command;
    std::string name;
    std::vector<std::string> calls;
    bool closes;
    const char* message;
  } cases[] = {
      {"Rename Item", 'FOLD', 'ok  ', "lib", {"folder old -> lib"}, true, nullptr},
      {"Rename Item", 'SNIP', 'ok  ', "header", {"item old -> header (sheet)"}, true, nullptr},
      {"Rename Item (Files)", 'TTXT', 'ok  ', "index.php", {"item old -> index.php (sheet)"}, true, nullptr},
      {"Rename Item (Files)", 'TTXT', 'not!', "index.php", {}, true, nullptr},
      {"Rename Item (Files)", 'TTXT', 'ok  ', std::string(64, 'x'), {}, false,
       "The name is too long for a project item (at most 63 characters)."},
      {"Rename Item", 'SNIP', 'ok  ', "\u540d\u524d", {}, false,
       "The name holds characters a project item cannot keep."},
      {"Rename Item", 'SNIP', 'ok  ', "", {}, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.window) + " " + c.name);
    log.calls.clear();
    HeadlessClearAlertLog();
    auto* sheet = new TRenameItem();
    sheet->data = payload;
    sheet->type = c.type;
    sheet->group = group;
    sheet->browser = browser;
    sheet->SetParent(parent);
    sheet->Create(c.window, MainNib());
    ASSERT_NE(sheet->window, nullptr);
    WindowRef window = sheet->window;
    EXPECT_EQ(HIViewFind(128, 'OPTI', window) != nullptr, std::string(c.window) == "Rename Item (Files)");
    SetControlText(window, 'NAME', 128, c.name);
    Command(sheet, c.command);
    EXPECT_EQ(log.calls, c.calls);
    EXPECT_EQ(!IsValidWindowPtr(window), c.closes);
    if (c.message) {
      EXPECT_TRUE(AlertSaid(c.message));
    }
    if (!c.closes) sheet->Remove();
  }
  delete browser;
  delete group;
}

// ---------------------------------------------------------------------------
// Add-files dialog

TEST_F(ProjectDialogsTest, EachFileChosenInTheAddFilesDialogJoinsItsGroup) {
  fs::create_directories(folder / "Resources");
  Write(folder / "Elsewhere/index.php", "<?php");
  Write(folder / "Elsewhere/logo.png", "png");
  // The application's import settings: neither copy nor record paths.
  prefs->SetBooleanValue("GeneralImportCopyFiles", false);
  prefs->SetBooleanValue("GeneralImportAddPath", false);
  AppPrefs = prefs;
  TProject* project = CreateProjectPane(Ref(bundle));
  ASSERT_NE(project, nullptr);
  HeadlessQueueNavAnswer(
      {kNavUserActionOpen, {(folder / "Elsewhere/index.php").string(), (folder / "Elsewhere/logo.png").string()}, ""});
  auto* dialog = new TAddFilesDialog();
  dialog->project = project;
  dialog->OpenDialog();  // frees itself
  EXPECT_EQ(project->FindGroupByType('TTXT')->ReturnGroupItems(), std::vector<Str63>{"index.php"});
  EXPECT_EQ(project->FindGroupByType('RTXT')->ReturnGroupItems(), std::vector<Str63>{"logo.png"});
  project->Release();
  AppPrefs = nullptr;
}

// ---------------------------------------------------------------------------
// Routines

TEST_F(ProjectDialogsTest, ProjectResourceFilesAreFoundOrMadeAndNeedTheDataFolder) {
  const fs::path data = bundle / "Contents/Resources/Data";
  Write(data / "sources.plist", "<plist/>");
  FSRef ref{};
  EXPECT_EQ(GetProjectResourceFile(Ref(bundle), "sources.plist", ref), noErr);
  EXPECT_EQ(Path(ref), (data / "sources.plist").string());
  EXPECT_EQ(Read(data / "sources.plist"), "<plist/>");

  EXPECT_EQ(GetProjectResourceFile(Ref(bundle), "snippets.plist", ref), noErr);
  EXPECT_EQ(Path(ref), (data / "snippets.plist").string());
  EXPECT_TRUE(fs::is_regular_file(data / "snippets.plist"));
  FSCatalogInfo info{};
  ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(reinterpret_cast<const FileInfo*>(info.finderInfo)->fileType, OSType('TEXT'));

  fs::remove_all(data);
  EXPECT_EQ(GetProjectResourceFile(Ref(bundle), "bookmarks.plist", ref), fnfErr);
  EXPECT_FALSE(fs::exists(data));
  EXPECT_FALSE(FSValidFSRef(ref));
}

TEST_F(ProjectDialogsTest, DocumentTypesOfFiles) {
  const OSType kUnknown = 0x3F3F3F3F;  // four question marks
  struct {
    const char* name;
    OSType type;
  } cases[] = {
      {"index.php", 'TTXT'}, {"lib.pm", 'TTXT'},   {"notes.txt", 'TTXT'},  {"data.json", 'TTXT'},
      {"logo.png", 'RTXT'},  {"icon.svg", 'RTXT'},  // an image that is also XML text
      {"manual.pdf", 'RTXT'}, {"saved.webarchive", 'RTXT'}, {"site.webloc", 'RTXT'},
      {"archive.zip", kUnknown}, {"Makefile", kUnknown},
  };
  for (const auto& c : cases) {
    Write(folder / "Files" / c.name, "x");
    EXPECT_EQ(FCCToString(GetDocumentType(Ref(folder / "Files" / c.name))).str(), FCCToString(c.type).str())
        << c.name;
  }
}

TEST_F(ProjectDialogsTest, OpenWithListsTheApplicationsOfTheFileWithTheirReferences) {
  Write(folder / "Sources/index.php", "<?php");
  Write(folder / "Sources/page.html", "<html>");
  struct {
    const char* file;
    std::vector<std::string> applications;
  } cases[] = {
      {"index.php", {"PHP Editor"}},
      {"page.html", {"Page Browser"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const FSRef file = Ref(folder / "Sources" / c.file);
    MenuRef menu = CreateOpenWithMenu(file);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuID(menu), 151);
    std::vector<std::string> titles;
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
      titles.push_back(ItemText(menu, i));
      MenuCommand command = 0;
      GetMenuItemCommandID(menu, i, &command);
      EXPECT_EQ(command, MenuCommand('opnA'));
      FSRef application{}, document{};
      ByteCount size = 0;
      // The browser reads the application under 'appR'; nothing is written
      // under another tag.
      ASSERT_EQ(GetMenuItemProperty(menu, i, kProjectDialogsCreator, 'appR', sizeof application, &size, &application), noErr);
      EXPECT_EQ(size, sizeof application);
      EXPECT_NE(Path(application).find("/applications/quorvel-"), std::string::npos);
      EXPECT_NE(GetMenuItemProperty(menu, i, kProjectDialogsCreator, 'appW', sizeof application, &size, &application), noErr);
      ASSERT_EQ(GetMenuItemProperty(menu, i, kProjectDialogsCreator, 'docu', sizeof document, &size, &document), noErr);
      EXPECT_EQ(Path(document), (folder / "Sources" / c.file).string());
    }
    EXPECT_EQ(titles, c.applications);
    ReleaseMenu(menu);
  }
}

}  // namespace
