// The symbol panes over real list views from the program's interface files:
// a PHP file opened in a source editor lists its symbols in the symbol pane
// (methods under their class, in name order), choosing a row moves the
// editor to the symbol's line; the project symbol browser over an index
// compiled from real PHP files lists each kind its filter names, offers the
// indexed files in its files menu and opens a chosen symbol's file at its
// declaration.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../support/CFRef.h"
#include "ApplicationFramework.h"
#include "CFURL.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "TQVEditorUnit.h"
#include "TSymbolPaneUnit.h"
#include "TWASTEDocumentUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;

namespace {

IBNibRef NibFrom(const std::string& folder, CFStringRef name) {
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef made = nullptr;
  EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, name, &made), noErr);
  return made;
}

// The program's own interface files, read through a folder that holds only
// them (the resource folder's other content is not a bundle's layout).
IBNibRef ResourceNib(CFStringRef name) {
  char source[PATH_MAX] = "";
  EXPECT_NE(realpath(QUORVEL_TEST_SOURCE_DIR "/../resources/Interface", source), nullptr);
  const std::string folder = MakeScratch();
  EXPECT_EQ(symlink(source, (folder + "/Interface").c_str()), 0);
  IBNibRef nib = NibFrom(folder, name);
  std::system(("rm -rf '" + folder + "'").c_str());
  return nib;
}

IBNibRef EditorNib() {
  static IBNibRef nib = NibFrom(QUORVEL_TEST_SOURCE_DIR "/language/fixtures", CFSTR("Editor"));
  return nib;
}

TSyntaxCollection* Languages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* language : {"html", "php", "javascript", "css"}) c->LoadLibrary(language);
    return c;
  }();
  return collection;
}

std::string NameOf(ControlRef view, DataBrowserItemID item) {
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), view);
  auto* info = node != nullptr ? static_cast<SymbolInfoPtr>(node->DATA) : nullptr;
  return info != nullptr ? info->symbolName.str() : "?";
}

std::vector<DataBrowserItemID> ItemsIn(ControlRef view, DataBrowserItemID container) {
  Handle h = NewHandle(0);
  GetDataBrowserItems(view, container, false, kDataBrowserItemAnyState, h);
  std::vector<DataBrowserItemID> items(size_t(GetHandleSize(h)) / sizeof(DataBrowserItemID));
  if (!items.empty()) std::memcpy(items.data(), *h, items.size() * sizeof(DataBrowserItemID));
  DisposeHandle(h);
  return items;
}

// The rows as an outline: a row's children follow it, indented; "+" marks
// a row the list shows as a container.
std::string Outline(ControlRef view, DataBrowserItemID container = kDataBrowserNoItem, int depth = 0) {
  std::string out;
  for (DataBrowserItemID item : ItemsIn(view, container)) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), view);
    CFTreeRef tree = BrackenrowGetTree(view);
    CFTreeRef self = node != nullptr ? CFTreeRecurseGetChildAtIndex(tree, node->INDEX) : nullptr;
    const bool container = node != nullptr && (node->CONTAINER || (self != nullptr && self != tree &&
                                                                   CFTreeGetChildCount(self) > 0));
    out += std::string(size_t(depth) * 2, ' ') + (container ? "+" : "") + NameOf(view, item) + "\n";
    out += Outline(view, item, depth + 1);
  }
  return out;
}

DataBrowserItemID ItemNamed(ControlRef view, const std::string& name, DataBrowserItemID container = kDataBrowserNoItem) {
  for (DataBrowserItemID item : ItemsIn(view, container)) {
    if (NameOf(view, item) == name) return item;
    if (DataBrowserItemID inside = ItemNamed(view, name, item)) return inside;
  }
  return 0;
}

void Choose(ControlRef view, DataBrowserItemID item) {
  ASSERT_NE(item, 0u);
  ASSERT_EQ(SetDataBrowserSelectedItems(view, 1, &item, kDataBrowserItemsAssign), noErr);
}

const char* const kCartFile =
    "<?php\n"
    "define('LIMIT', 10);\n"
    "global $total;\n"
    "function zeta() { return 1; }\n"
    "class Cart {\n"
    "  function remove($id) { }\n"
    "  function add($item) { }\n"
    "}\n"
    "function Alpha($x) { return $x; }\n"
    "?>\n";

// ---------------------------------------------------------------------------
// The symbol pane

struct SymbolPaneTest : ScratchTest {
  TFileSystem* index = nullptr;
  TWASTEDocument* document = nullptr;
  TQVEditor* editor = nullptr;
  TSymbolPane* pane = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    static bool registered = false;
    if (!registered) {
      HeadlessUseVirtualClock(true);
      RegisterWasteClass();
      RegisterToolbarViewClass();
      registered = true;
    }
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), Languages(), nullptr);
    index->SetRoot(RefOf(scratch));
  }
  void TearDown() override {
    if (pane != nullptr) pane->Release();
    if (editor != nullptr) editor->ReleaseViewObject();
    if (document != nullptr) document->Release();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }
  void Open(const std::string& name, const std::string& text) {
    WriteText(scratch + "/" + name, text);
    document = new TWASTEDocument();
    document->Create(RefOf(scratch + "/" + name));
    editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetFileSystem(index);
    editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
    editor->Create("Source Pane", EditorNib());
    ASSERT_NE(editor->view, nullptr);
    editor->Load();
    for (int i = 0; i < 100000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
  }
  // The line (from 1) of the editor's insertion point.
  int CaretLine() {
    SInt32 start = 0, end = 0;
    WEReference we = editor->GetWE();
    WEGetSelection(&start, &end, we);
    return int(WEOffsetToLine(start, we)) + 1;
  }
};

TEST_F(SymbolPaneTest, ListsTheDocumentsSymbolsAndRevealsTheChosenOne) {
  Open("cart.php", kCartFile);
  static IBNibRef nib = ResourceNib(CFSTR("FileSystemBrowser"));
  pane = CreateSymbolPaneFromNib(nullptr, nib);
  ASSERT_NE(pane->browser, nullptr);
  ControlRef view = pane->browser->VIEW;
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(pane->GetClassString(), Str255("TSymbolPane"));

  FileDescriptorPtr descriptor = index->GetDescriptor("cart.php");
  ASSERT_NE(descriptor, nullptr);
  pane->Load(descriptor, editor);
  // Name order ignoring case; methods under their class; the global
  // variable is left out.
  EXPECT_EQ(Outline(view),
            "Alpha\n"
            "+Cart\n"
            "  add\n"
            "  remove\n"
            "LIMIT\n"
            "zeta\n");

  // Choosing a row moves the editor to the symbol's declaration.
  Choose(view, ItemNamed(view, "add"));
  EXPECT_EQ(CaretLine(), 7);
  Choose(view, ItemNamed(view, "zeta"));
  EXPECT_EQ(CaretLine(), 4);

  // The filter command lists again; the clear command empties the list.
  HICommand command{};
  command.commandID = kSymbolCommandFilter;
  SInt32 result = eventNotHandledErr;
  pane->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(ItemsIn(view, kDataBrowserNoItem).size(), 4u);
  command.commandID = kSymbolCommandClear;
  pane->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(Outline(view), "");
  EXPECT_EQ(pane->browser->TREE, nullptr);
}

// ---------------------------------------------------------------------------
// The project symbol browser

struct OpenRequest {
  std::string fileName, query;
  int count = 0;
};

OSStatus RecordOpen(EventHandlerCallRef, EventRef event, void* context) {
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID != kHICommandOpenDocument) return eventNotHandledErr;
  ApplicationOpenCommandOptions options{};
  if (GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof options, nullptr, &options) !=
      noErr)
    return eventNotHandledErr;
  auto* request = static_cast<OpenRequest*>(context);
  request->fileName = options.fileName.str();
  request->query = Str255(options.queryString).str();
  ++request->count;
  return noErr;
}

struct SymbolBrowserTest : ScratchTest {
  TFileSystem* index = nullptr;
  TSymbolBrowserPane* pane = nullptr;
  EventHandlerRef handler = nullptr;
  OpenRequest opened;

  void SetUp() override {
    ScratchTest::SetUp();
    HeadlessUseVirtualClock(true);
    static bool registered = false;
    if (!registered) {
      RegisterToolbarViewClass();
      registered = true;
    }
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), Languages(), nullptr);
    index->SetRoot(RefOf(scratch));
    static const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetApplicationEventTarget(), RecordOpen, 1, &kCommand, &opened, &handler);
  }
  void TearDown() override {
    if (handler != nullptr) RemoveEventHandler(handler);
    if (pane != nullptr) pane->Release();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }
  // Compiles the files into the index as a project compile does.
  void Compile(const std::vector<std::pair<std::string, std::string>>& files) {
    auto* parser = new TSyntaxParser();
    SyntaxParserDestination destination;
    destination.fileSystem = index;
    destination.collection = Languages();
    parser->SetDestination(destination);
    for (const auto& [name, text] : files) {
      WriteText(scratch + "/" + name, text);
      SyntaxParserSource source;
      source.file = RefOf(scratch + "/" + name);
      parser->AppendFile(source);
    }
    parser->ParseBatch(kSyntaxParserAsynchMode | kSyntaxParserCompileMode);
    for (int i = 0; i < 100000 && parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(parser->busy);
    parser->Free();
  }
  void Filter(const char* title) {
    MenuItemIndex item = FindMenuItem(title, false, pane->filterMenu);
    ASSERT_NE(item, 0) << title;
    SelectSymbolFilterMenu(pane->filterMenu, SInt16(item), pane);
  }
  std::vector<std::string> FilesMenu() {
    std::vector<std::string> titles;
    for (UInt16 i = 1; i <= CountMenuItems(pane->filesMenu); ++i) {
      CFStringRef text = nullptr;
      CopyMenuItemTextAsCFString(pane->filesMenu, i, &text);
      char buffer[256] = "";
      if (text != nullptr) {
        CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
        CFRelease(text);
      }
      titles.push_back(buffer);
    }
    return titles;
  }
};

TEST_F(SymbolBrowserTest, EachFilterListsItsKindAcrossTheIndexedFiles) {
  Compile({{"cart.php", kCartFile},
           {"shop.php",
            "<?php\n"
            "define('SHOP', 'x');\n"
            "class Empty { }\n"
            "function checkout($cart) { }\n"
            "?>\n"}});
  static IBNibRef nib = ResourceNib(CFSTR("main"));
  pane = CreateSymbolBrowserPaneFromNib(nullptr, nib);
  ASSERT_NE(pane->browser, nullptr);
  ControlRef view = pane->browser->VIEW;
  ASSERT_NE(view, nullptr);
  ASSERT_NE(pane->toolbar, nullptr);
  EXPECT_EQ(pane->GetClassString(), Str255("TSymbolBrowserPane"));
  // The filter starts at its first item.
  EXPECT_EQ(GetSelectedMenuItemText(pane->filterMenu), Str255("Functions"));
  EXPECT_EQ(ToolbarGetItemText(pane->toolbar, 1), Str255("<Symbols>"));

  pane->SetFileSystem(index);
  EXPECT_EQ(Outline(view), "Alpha\ncheckout\nzeta\n");

  Filter("Methods");
  EXPECT_EQ(GetSelectedMenuItemText(pane->filterMenu), Str255("Methods"));
  EXPECT_EQ(Outline(view), "Cart_add\nCart_remove\n");

  // A class with methods is a closed container of them; one without is a
  // plain row.
  Filter("Classes");
  EXPECT_EQ(Outline(view), "+Cart\nEmpty\n");
  DataBrowserPropertyID disclosure = 0;
  GetDataBrowserListViewDisclosureColumn(view, &disclosure, nullptr);
  EXPECT_EQ(disclosure, DataBrowserPropertyID('SYMB'));
  ASSERT_EQ(OpenDataBrowserContainer(view, ItemNamed(view, "Cart")), noErr);
  EXPECT_EQ(Outline(view), "+Cart\n  add\n  remove\nEmpty\n");

  Filter("Constants");
  EXPECT_EQ(Outline(view), "LIMIT\nSHOP\n");
  // The document's pane leaves "global" declarations out; this list has them.
  Filter("Globals");
  EXPECT_EQ(Outline(view), "$total\n");

  // The files menu names every indexed file and opens it by name.
  std::vector<std::string> files = FilesMenu();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"cart.php", "shop.php"}));
  MenuCommand commandID = 0;
  GetMenuItemCommandID(pane->filesMenu, 1, &commandID);
  EXPECT_EQ(commandID, kHICommandOpenDocument);
  ApplicationOpenCommandOptions options{};
  ASSERT_EQ(GetMenuItemProperty(pane->filesMenu, 1, kEventParamOpenOptions, 'void', sizeof options, nullptr, &options),
            noErr);
  EXPECT_EQ(options.fileName.str(), FilesMenu()[0]);
}

TEST_F(SymbolBrowserTest, ChoosingASymbolOpensItsFileAtTheDeclaration) {
  Compile({{"cart.php", kCartFile}});
  static IBNibRef nib = ResourceNib(CFSTR("main"));
  pane = CreateSymbolBrowserPaneFromNib(nullptr, nib);
  pane->SetFileSystem(index);
  ControlRef view = pane->browser->VIEW;
  Choose(view, ItemNamed(view, "Alpha"));
  ASSERT_GE(opened.count, 1);
  EXPECT_EQ(opened.fileName, "cart.php");
  EXPECT_NE(opened.query.find("Alpha"), std::string::npos) << opened.query;

  // Refreshing after the file changed shows the index as it is now.
  Compile({{"cart.php", "<?php\nfunction beta() { }\n?>\n"}});
  HICommand command{};
  command.commandID = kSymbolCommandRefresh;
  SInt32 result = eventNotHandledErr;
  pane->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(Outline(view), "beta\n");
}

}  // namespace

namespace {

TEST_F(SymbolBrowserTest, AddedFilesAreCompiledIntoTheIndexAndListed) {
  static IBNibRef nib = ResourceNib(CFSTR("main"));
  pane = CreateSymbolBrowserPaneFromNib(nullptr, nib);
  pane->SetFileSystem(index);
  ControlRef view = pane->browser->VIEW;
  EXPECT_EQ(Outline(view), "");
  WriteText(scratch + "/tools.php", "<?php\nfunction helper() { }\nclass Tool { function run() { } }\n?>\n");
  WriteText(scratch + "/more.php", "<?php\nfunction other() { }\n?>\n");
  HeadlessClearNavAnswers();
  HeadlessNavAnswer answer;
  answer.action = kNavUserActionOpen;
  answer.paths = {scratch + "/tools.php", scratch + "/more.php"};
  HeadlessQueueNavAnswer(answer);
  HICommand command{};
  command.commandID = kSymbolCommandAddFiles;
  SInt32 result = eventNotHandledErr;
  pane->ProcessCommand(command, nullptr, result);
  ASSERT_NE(pane->compiler, nullptr);
  for (int i = 0; i < 100000 && pane->compiler->busy; ++i) HeadlessAdvanceClock(0.001);
  ASSERT_FALSE(pane->compiler->busy);
  // The batch's end shows what it added.
  EXPECT_NE(index->GetDescriptor("tools.php"), nullptr);
  EXPECT_EQ(Outline(view), "helper\nother\n");
  Filter("Classes");
  EXPECT_EQ(Outline(view), "+Tool\n");

  // A cancelled dialog parses nothing and leaves the list as it was.
  HeadlessQueueNavAnswer(HeadlessNavAnswer{});
  pane->ProcessCommand(command, nullptr, result);
  EXPECT_FALSE(pane->compiler->busy);
  EXPECT_EQ(Outline(view), "+Tool\n");
}

TEST_F(SymbolBrowserTest, ALoadOnAWorkerTaskRunsOnTheMainThread) {
  Compile({{"cart.php", kCartFile}});
  static IBNibRef nib = ResourceNib(CFSTR("main"));
  pane = CreateSymbolBrowserPaneFromNib(nullptr, nib);
  pane->fileSystem = index;  // not loaded yet
  ControlRef view = pane->browser->VIEW;
  EXPECT_EQ(Outline(view), "");
  pane->LoadAsynch();
  // Waiting on a queue runs the task's remote call here.
  MPQueueID idle = nullptr;
  ASSERT_EQ(MPCreateQueue(&idle), noErr);
  for (int i = 0; i < 1000 && ItemsIn(view, kDataBrowserNoItem).empty(); ++i)
    MPWaitOnQueue(idle, nullptr, nullptr, nullptr, 10);
  MPDeleteQueue(idle);
  EXPECT_EQ(Outline(view), "Alpha\nzeta\n");
  EXPECT_EQ(CountMenuItems(pane->filesMenu), 1);
}

}  // namespace
