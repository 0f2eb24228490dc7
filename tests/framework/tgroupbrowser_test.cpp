// The group browser over a real list view: groups as container rows with
// their items and folders, each group saved to its own file (compared with a
// stored file byte for byte) and loaded back, contextual commands and
// double-clicks reaching the row's own group, drags between groups, removal,
// and rows without payload passed over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CFPascal.h"
#include "DataBrowser.h"
#include "Drag.h"
#include "Folders.h"
#include "FrameworkTestSupport.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "Menus.h"
#include "TGroupBrowserUnit.h"

namespace {

constexpr DataBrowserPropertyID kName = 'TEXT';
constexpr UInt32 kSource = 'TTXT';
constexpr UInt32 kSnippet = 'SNIP';
constexpr UInt32 kStray = 'STRY';  // a type no group has

std::string Fixture(const std::string& name) {
  return std::string(QUORVEL_TEST_SOURCE_DIR) + "/framework/fixtures/groups/" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// An item payload: its name as a length-prefixed string.
Ptr NamePayload(const char* name) {
  Str63 s(name);
  return NewPtrCopy(s.data(), s.len() + 1);
}

std::string NameOf(const void* data) {
  return data != nullptr ? Str63::FromPascal(static_cast<ConstStringPtr>(data)).str() : "(nil)";
}

std::string TypeName(UInt32 t) { return std::string{char(t >> 24), char(t >> 16), char(t >> 8), char(t)}; }

class RecordingGroup : public TBrowserGroup {
 public:
  std::vector<std::string>* log = nullptr;
  std::string file;  // empty: the group has no file
  Boolean accepts = false;
  Boolean removable = true;
  Boolean icons = true;  // false: the group's rows have names only
  int translatedOut = 0, translatedIn = 0;

  void Note(const std::string& what) {
    if (log) log->push_back(NAME.str() + " " + what);
  }
  void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) override {
    icon = nullptr;
    name.Clear();
    if (node == nullptr || node->DATA == nullptr) return;
    if (icons) GetIconRef(kOnSystemDisk, 'QVRL', 'TEXT', &icon);
    name = Str63::FromPascal(static_cast<ConstStringPtr>(node->DATA));
  }
  void ProcessCommand(void* data, UInt32 type, const HICommand& command) override {
    Note("command " + TypeName(command.commandID) + " " + TypeName(type) + " " + std::to_string(CURRENTNODE->INDEX) +
         (CURRENTNODE->DATA == data ? "" : " ?"));
  }
  void OpenItem(void* data) override { Note("open " + NameOf(data) + " " + std::to_string(CURRENTNODE->INDEX)); }
  Boolean AcceptItem(void* data, DragRef, UInt32 type) override {
    Note("accept? " + TypeName(type));
    return accepts;
  }
  Boolean ReceiveItem(void* data, DragRef, UInt32 type) override {
    Note("receive " + TypeName(type));
    return true;
  }
  void AddItemFlavor(void* data, UInt32, DragRef drag, DragItemRef item) override {
    Note("flavour " + NameOf(data));
    AddDragItemFlavor(drag, item, 'TEST', data, 4, 0);
  }
  Boolean RemoveItem(void* data, UInt32 type) override {
    Note("remove? " + NameOf(data));
    return removable;
  }
  void DrawItem(void* data, Boolean, DataBrowserItemID item, DataBrowserPropertyID, DataBrowserItemState,
                CGRect, CGContextRef) override {
    Note("draw " + std::to_string(item));
  }
  void Load(CFTreeRef tree) override {
    Note("load");
    TBrowserGroup::Load(tree);
  }
  OSStatus GetResourceFile(FSRef& ref) override {
    if (file.empty()) return fnfErr;
    return FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr);
  }
  void* TranslateNode(NodeInfoPtr, SInt16 direction, void*, SInt32&) override {
    ++(direction == 1 ? translatedOut : translatedIn);
    return nullptr;
  }
};

class RecordingGroupBrowser : public TGroupBrowser {
 public:
  std::vector<std::string> log;
  void SetFocus(SInt32 item) override { log.push_back("focus " + std::to_string(item)); }
  Boolean AcceptItem(void*, DragRef, UInt32 type) override {
    log.push_back("browser accept? " + TypeName(type));
    return false;
  }
  Boolean ReceiveItem(void*, DragRef, UInt32 type) override {
    log.push_back("browser receive " + TypeName(type));
    return true;
  }
  void ReleaseItem(void* data, UInt32 type) override {
    log.push_back("release " + TypeName(type) + " " +
                  (type == kGroupBrowserFolderType ? GetFolderName(data).str() : NameOf(data)));
  }
};

class TGroupBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    const char* tmp = std::getenv("TMPDIR");
    folder_ = std::string(tmp != nullptr ? tmp : "/tmp") + "/groupsXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder_.data()));
  }
  void TearDown() override {
    for (auto* b : browsers_) b->Release();
    for (auto* g : groups_) delete g;
    HeadlessUseVirtualClock(false);
  }

  ControlRef NewList() {
    Rect r = {0, 0, 150, 280};
    ControlRef list = nullptr;
    EXPECT_EQ(noErr, CreateDataBrowserControl(window_.window, &r, kDataBrowserListView, &list));
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {kName, kDataBrowserCustomType, kDataBrowserDefaultPropertyFlags};
    EXPECT_EQ(noErr, AddDataBrowserListViewColumn(list, &column, kDataBrowserListViewAppendColumn));
    return list;
  }
  RecordingGroup* Group(const char* name, UInt32 type, const std::string& file = "") {
    auto* g = new RecordingGroup();
    g->Initialize(name, name, type, 'QVRL', 'GRUP');
    g->file = file;
    groups_.push_back(g);
    return g;
  }
  // A browser with the groups Sources, Snippets and (no file) Bookmarks.
  RecordingGroupBrowser* Make(BrackenrowOptions options = kBrackenrowAllocateTree) {
    auto* b = new RecordingGroupBrowser();
    b->SetOptions(options);
    b->Create(NewList());
    b->GROUPS = CFArrayCreateMutable(nullptr, 0, nullptr);
    browsers_.push_back(b);
    sources_ = Group("Sources", kSource, folder_ + "/sources.plist");
    snippets_ = Group("Snippets", kSnippet, folder_ + "/snippets.plist");
    bookmarks_ = Group("Bookmarks", 'BOOK');
    for (RecordingGroup* g : {sources_, snippets_, bookmarks_}) {
      g->log = &b->log;
      b->AddGroup(g);
    }
    return b;
  }
  NodeInfoPtr Node(TGroupBrowser* b, SInt32 item) { return BrackenrowGetNodeAtIndex(item, b->VIEW); }
  std::vector<DataBrowserItemID> Children(TGroupBrowser* b, SInt32 container) {
    SInt16 count = 0;
    ItemArrayHandle items = GetContainerItems(b->VIEW, container, count);
    std::vector<DataBrowserItemID> ids;
    for (SInt16 i = 0; i < count; ++i) ids.push_back((*items)[i]);
    if (items) DisposeHandle(reinterpret_cast<Handle>(items));
    return ids;
  }
  std::vector<DataBrowserItemID> Selection(TGroupBrowser* b) {
    SInt16 count = 0;
    ItemArrayHandle items = GetSelectedBrowserItems(b->VIEW, count);
    std::vector<DataBrowserItemID> ids;
    for (SInt16 i = 0; i < count; ++i) ids.push_back((*items)[i]);
    if (items) DisposeHandle(reinterpret_cast<Handle>(items));
    return ids;
  }
  // Sources: a.js, a folder "lib" holding b.js; Snippets: one snippet.
  void Fill() {
    a_ = sources_->NewItem(NamePayload("a.js"), 5, 0);
    lib_ = sources_->NewFolder("lib", 0);
    b_ = sources_->NewItem(NamePayload("b.js"), 5, lib_);
    snip_ = snippets_->NewItem(NamePayload("loop"), 5, 0);
  }
  void Touch(const std::string& path) { std::ofstream(path, std::ios::binary).flush(); }

  TestWindow window_;
  std::string folder_;
  std::vector<TGroupBrowser*> browsers_;
  std::vector<RecordingGroup*> groups_;
  RecordingGroup *sources_ = nullptr, *snippets_ = nullptr, *bookmarks_ = nullptr;
  SInt32 a_ = 0, lib_ = 0, b_ = 0, snip_ = 0;
};

TEST_F(TGroupBrowserTest, GroupsAreContainerRowsHoldingTheirItemsAndFolders) {
  RecordingGroupBrowser* b = Make();
  EXPECT_EQ((std::vector<SInt32>{10001, 10002, 10003}),
            (std::vector<SInt32>{sources_->ROOTITEM, snippets_->ROOTITEM, bookmarks_->ROOTITEM}));
  EXPECT_EQ((std::vector<DataBrowserItemID>{10001, 10002, 10003}), Children(b, 0));
  NodeInfoPtr groupRow = Node(b, sources_->ROOTITEM);
  EXPECT_EQ(kGroupBrowserGroupType, groupRow->DATATYPE);
  EXPECT_EQ(sources_, groupRow->DATA);
  EXPECT_EQ(0, groupRow->DATALENGTH);
  EXPECT_TRUE(groupRow->CONTAINER);
  EXPECT_EQ(b, sources_->BROWSER);
  // Also when the browser copies the payloads it is given.
  RecordingGroupBrowser* copying = Make(kBrackenrowAllocateTree | kBrackenrowCopyInfo);
  EXPECT_EQ(sources_, Node(copying, sources_->ROOTITEM)->DATA);
  EXPECT_EQ(sources_, copying->FindGroupByItem(Node(copying, sources_->ROOTITEM)));
  sources_ = static_cast<RecordingGroup*>(b->FindGroupByType(kSource));
  snippets_ = static_cast<RecordingGroup*>(b->FindGroupByType(kSnippet));

  Fill();
  EXPECT_EQ((std::vector<DataBrowserItemID>{DataBrowserItemID(snip_)}), Selection(b));  // the new row alone
  EXPECT_EQ((std::vector<DataBrowserItemID>{DataBrowserItemID(a_), DataBrowserItemID(lib_)}),
            Children(b, sources_->ROOTITEM));
  EXPECT_EQ((std::vector<DataBrowserItemID>{DataBrowserItemID(b_)}), Children(b, lib_));
  EXPECT_EQ(kSource, Node(b, a_)->DATATYPE);
  // The folder payload, as it is stored: name, the group's type, zeros.
  NodeInfoPtr folder = Node(b, lib_);
  ASSERT_EQ(kGroupBrowserFolderType, folder->DATATYPE);
  ASSERT_EQ(kGroupFolderDataSize, folder->DATALENGTH);
  unsigned char expected[72] = {3, 'l', 'i', 'b'};
  expected[64] = 'T', expected[65] = 'X', expected[66] = 'T', expected[67] = 'T';  // 'TTXT', little-endian
  EXPECT_EQ(0, std::memcmp(expected, folder->DATA, 72));
  EXPECT_EQ("lib", b->GetFolderName(folder->DATA).str());
  b->RenameFolder("library", folder->DATA);
  EXPECT_EQ("library", b->GetFolderName(folder->DATA).str());
  EXPECT_EQ(kSource, GroupFolderType(folder->DATA, folder->DATALENGTH));

  // The group owning each kind of row.
  NodeInfo nilFolder{};
  nilFolder.DATATYPE = kGroupBrowserFolderType;
  NodeInfo nilGroup{};
  nilGroup.DATATYPE = kGroupBrowserGroupType;
  NodeInfo stray{};
  stray.DATATYPE = kStray;
  struct Case {
    const char* what;
    NodeInfoPtr node;
    TBrowserGroup* owner;
  };
  for (const Case& c : {Case{"item", Node(b, snip_), snippets_}, Case{"folder", folder, sources_},
                        Case{"nested item", Node(b, b_), sources_}, Case{"group row", Node(b, snippets_->ROOTITEM), snippets_},
                        Case{"unknown type", &stray, nullptr}, Case{"folder without payload", &nilFolder, nullptr},
                        Case{"group row without payload", &nilGroup, nullptr}, Case{"nil", nullptr, nullptr}})
    EXPECT_EQ(c.owner, b->FindGroupByItem(c.node)) << c.what;
  EXPECT_EQ(snippets_, b->FindGroupByType(kSnippet));
  EXPECT_EQ(nullptr, b->FindGroupByType(kStray));

  // The selected group follows the selection anchor.
  const DataBrowserItemID pick = DataBrowserItemID(snip_);
  SetDataBrowserSelectedItems(b->VIEW, 1, &pick, kDataBrowserItemsAssign);
  EXPECT_EQ(snippets_, b->GetSelectedGroup());
  SetDataBrowserSelectedItems(b->VIEW, 0, nullptr, kDataBrowserItemsAssign);
  EXPECT_EQ(nullptr, b->GetSelectedGroup());
}

TEST_F(TGroupBrowserTest, GroupItemsAreCopiedAtAnyDepthAndRowsWithoutPayloadArePassedOver) {
  RecordingGroupBrowser* b = Make();
  Fill();
  const SInt32 empty = b->NewItem(nullptr, 0, kSource, lib_);  // a row with no payload
  ASSERT_NE(0, empty);
  CFArrayRef payloads = b->ReturnGroupItems(kSource, true);
  ASSERT_NE(nullptr, payloads);
  std::vector<std::string> names;
  for (CFIndex i = 0; i < CFArrayGetCount(payloads); ++i) {
    const void* block = CFArrayGetValueAtIndex(payloads, i);
    EXPECT_NE(Node(b, a_)->DATA, block);  // copies
    names.push_back(GetPtrSize(Ptr(block)) == 72 ? "folder " + b->GetFolderName(block).str() : NameOf(block));
  }
  EXPECT_EQ((std::vector<std::string>{"a.js", "folder lib", "b.js"}), names);
  CFRelease(payloads);
  CFArrayRef records = b->ReturnGroupItems(kSource, false);
  ASSERT_NE(nullptr, records);
  std::vector<SInt32> indices;
  for (CFIndex i = 0; i < CFArrayGetCount(records); ++i)
    indices.push_back(static_cast<const NodeInfo*>(CFArrayGetValueAtIndex(records, i))->INDEX);
  EXPECT_EQ((std::vector<SInt32>{a_, lib_, b_, empty}), indices);
  CFRelease(records);
  // No group, an empty group, and a group holding only a row without payload.
  EXPECT_EQ(nullptr, b->ReturnGroupItems(kStray, true));
  EXPECT_EQ(nullptr, b->ReturnGroupItems('BOOK', true));
  b->NewItem(nullptr, 0, 'BOOK', bookmarks_->ROOTITEM);
  EXPECT_EQ(nullptr, b->ReturnGroupItems('BOOK', true));

  std::vector<SInt32> visited;
  OpenDataBrowserContainer(b->VIEW, lib_);
  b->ApplyFunction(
      kSource, true,
      [](ControlRef, NodeInfoPtr node, void* context) {
        static_cast<std::vector<SInt32>*>(context)->push_back(node->INDEX);
      },
      &visited);
  EXPECT_EQ((std::vector<SInt32>{a_, lib_, b_, empty}), visited);
  b->ApplyFunction(kStray, true, [](ControlRef, NodeInfoPtr, void*) { FAIL(); }, nullptr);
}

TEST_F(TGroupBrowserTest, EachGroupIsSavedToItsOwnFileAndLoadedBack) {
  RecordingGroupBrowser* b = Make();
  Fill();
  Touch(sources_->file);
  Touch(snippets_->file);
  b->SaveGroups();
  // The stored form: the group row is not in the file; header big-endian,
  // payloads as they stand.
  EXPECT_EQ(ReadFile(Fixture("sources.plist")), ReadFile(sources_->file));
  EXPECT_EQ(3, sources_->translatedOut);
  EXPECT_NE(std::string::npos, ReadFile(snippets_->file).find("<data>"));
  EXPECT_EQ(std::string::npos, ReadFile(snippets_->file).find("bGli"));  // not Sources' rows
  EXPECT_EQ(0, bookmarks_->translatedOut);  // no file: not saved

  // A new browser reads the stored file back under the same group.
  std::vector<RecordingGroup*> before = {sources_, snippets_, bookmarks_};
  RecordingGroupBrowser* again = Make();
  ASSERT_NE(before[0], sources_);
  sources_->file = Fixture("sources.plist");
  again->LoadGroups();
  EXPECT_EQ((std::vector<std::string>{"Sources load", "Snippets load"}), again->log);
  EXPECT_EQ(3, sources_->translatedIn);
  OpenDataBrowserContainer(again->VIEW, sources_->ROOTITEM);
  OpenDataBrowserContainer(again->VIEW, 10005);
  EXPECT_EQ((std::vector<DataBrowserItemID>{10004, 10005}), Children(again, sources_->ROOTITEM));
  EXPECT_EQ((std::vector<DataBrowserItemID>{10006}), Children(again, 10005));
  EXPECT_EQ("a.js", NameOf(Node(again, 10004)->DATA));
  EXPECT_EQ("lib", again->GetFolderName(Node(again, 10005)->DATA).str());
  EXPECT_EQ(sources_, again->FindGroupByItem(Node(again, 10006)));
  OpenDataBrowserContainer(again->VIEW, snippets_->ROOTITEM);
  EXPECT_EQ((std::vector<DataBrowserItemID>{10007}), Children(again, snippets_->ROOTITEM));
  EXPECT_EQ("loop", NameOf(Node(again, 10007)->DATA));
  // Saving again gives the same bytes.
  sources_->file = folder_ + "/again.plist";
  Touch(sources_->file);
  again->SaveGroups();
  EXPECT_EQ(ReadFile(Fixture("sources.plist")), ReadFile(sources_->file));

  // Rows read from the file are released through the browser, as new ones are.
  again->log.clear();
  const DataBrowserItemID chosen[] = {10004, 10005};
  SetDataBrowserSelectedItems(again->VIEW, 2, chosen, kDataBrowserItemsAssign);
  BrackenrowClearSelection(true, again->VIEW);
  EXPECT_EQ(nullptr, Node(again, 10006));
  std::vector<std::string> released;
  for (const std::string& line : again->log)
    if (line.rfind("release ", 0) == 0) released.push_back(line);
  std::sort(released.begin(), released.end());
  EXPECT_EQ((std::vector<std::string>{"release FOLD lib", "release TTXT a.js", "release TTXT b.js"}), released);
}

// A list arranging its rows puts a new row beside the selected one: never
// when that row would take it out of the group or folder it was made in.
TEST_F(TGroupBrowserTest, ANewRowStaysInTheContainerItWasMadeIn) {
  RecordingGroupBrowser* b = Make(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder);
  Fill();
  OpenDataBrowserContainer(b->VIEW, snippets_->ROOTITEM);
  OpenDataBrowserContainer(b->VIEW, lib_);
  struct Case {
    const char* what;
    SInt32 selected;   // 0: none
    SInt32 container;  // 0: the group's row
    bool folder;
    SInt32 parent;     // where the new row must be
  };
  const Case cases[] = {
      {"item, a row of another group selected", snip_, 0, false, sources_->ROOTITEM},
      {"folder, a row of another group selected", snip_, 0, true, sources_->ROOTITEM},
      {"item, a row of a folder selected", b_, 0, false, sources_->ROOTITEM},
      {"item into a folder, a row of the root selected", a_, lib_, false, lib_},
      {"item beside a row of its own container", a_, 0, false, sources_->ROOTITEM},
      {"item into a folder, its row selected", lib_, lib_, false, lib_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DataBrowserItemID pick = DataBrowserItemID(c.selected);
    SetDataBrowserSelectedItems(b->VIEW, c.selected ? 1 : 0, c.selected ? &pick : nullptr, kDataBrowserItemsAssign);
    const SInt32 made = c.folder ? sources_->NewFolder("new", c.container)
                                 : sources_->NewItem(NamePayload("new.js"), 7, c.container);
    ASSERT_NE(0, made);
    NodeInfoPtr parent = BrackenrowGetNodeParent(made, b->VIEW);
    ASSERT_NE(nullptr, parent);
    EXPECT_EQ(c.parent, parent->INDEX);
    const std::vector<DataBrowserItemID> rows = Children(b, c.parent);
    EXPECT_NE(rows.end(), std::find(rows.begin(), rows.end(), DataBrowserItemID(made)));
    EXPECT_EQ((std::vector<DataBrowserItemID>{DataBrowserItemID(made)}), Selection(b));
  }
}

TEST_F(TGroupBrowserTest, ContextualCommandsAndDoubleClicksReachTheRowsOwnGroup) {
  RecordingGroupBrowser* b = Make();
  Fill();
  const SInt32 stray = b->NewItem(NamePayload("stray"), 6, kStray, 0);
  MenuRef menu = nullptr;
  ASSERT_EQ(noErr, CreateNewMenu(150, 0, &menu));
  AppendMenuItemTextWithCFString(menu, CFSTR("Rename"), 0, 0, nullptr);
  SetMenuItemCommandID(menu, 1, 'RENM');
  struct Case {
    SInt32 item;
    std::string heard;
  };
  // The folder lies in Sources, the second group: not the first one.
  CFArrayExchangeValuesAtIndices(b->GROUPS, 0, 1);
  for (const Case& c : {Case{snip_, "Snippets command RENM SNIP " + std::to_string(snip_)},
                        Case{lib_, "Sources command RENM FOLD " + std::to_string(lib_)},
                        Case{b_, "Sources command RENM TTXT " + std::to_string(b_)},
                        Case{sources_->ROOTITEM, "Sources command RENM grop 10001"}, Case{stray, ""}}) {
    b->log.clear();
    b->SelectContextualMenu(Node(b, c.item), menu, 150, 1);
    EXPECT_EQ(c.heard, b->log.empty() ? "" : b->log[0]) << c.item;
    EXPECT_LE(b->log.size(), 1u);
  }
  b->log.clear();
  b->SelectContextualMenu(nullptr, menu, 150, 1);
  EXPECT_TRUE(b->log.empty());
  ReleaseMenu(menu);

  // Double-clicks open items in their group; group and folder rows move the
  // focus; an item no group has does nothing.
  b->log.clear();
  for (SInt32 item : {a_, lib_, sources_->ROOTITEM, stray}) {
    NodeInfoPtr node = Node(b, item);
    b->ItemNotification(node->DATA, node->DATATYPE, DataBrowserItemID(item), kDataBrowserItemDoubleClicked);
    b->ItemNotification(node->DATA, node->DATATYPE, DataBrowserItemID(item), kDataBrowserItemSelected);
  }
  EXPECT_EQ((std::vector<std::string>{"Sources open a.js " + std::to_string(a_), "focus " + std::to_string(lib_),
                                      "focus 10001"}),
            b->log);
}

TEST_F(TGroupBrowserTest, DragsBetweenGroupsAskTheTargetsGroup) {
  RecordingGroupBrowser* b = Make();
  Fill();
  const SInt32 lib2 = sources_->NewFolder("lib2", 0);
  snippets_->accepts = true;
  struct Case {
    const char* what;
    SInt32 target;  // 0: no row
    SInt32 dragged;
    Boolean accepted;
    std::vector<std::string> heard;
    TBrowserGroup* dropGroup;
  };
  const std::vector<Case> cases = {
      {"item onto an item of its group", a_, b_, true, {}, sources_},
      {"folder onto a folder of its group", lib2, lib_, true, {}, sources_},
      {"item into a folder of its group", lib_, a_, true, {}, sources_},
      {"item onto another group's row", snippets_->ROOTITEM, a_, true, {"Snippets accept? TTXT"}, snippets_},
      {"folder into another group", snip_, lib_, true, {"Snippets accept? FOLD"}, snippets_},
      {"snippet onto the Sources group refused", sources_->ROOTITEM, snip_, false, {"Sources accept? SNIP"}, nullptr},
      {"onto no row", 0, a_, false, {"browser accept? TTXT"}, nullptr},
  };
  for (const Case& c : cases) {
    b->log.clear();
    NodeInfoPtr dragged = Node(b, c.dragged);
    EXPECT_EQ(c.accepted, b->AcceptDrag(c.target ? Node(b, c.target) : nullptr, nullptr, dragged->DATA,
                                        dragged->DATATYPE))
        << c.what;
    EXPECT_EQ(c.heard, b->log) << c.what;
    EXPECT_EQ(c.dropGroup, b->DROPGROUP) << c.what;
  }

  // A drop from elsewhere goes to the group that accepted it.
  DragRef drag = nullptr;
  ASSERT_EQ(noErr, NewDrag(&drag));
  AddDragItemFlavor(drag, 1, 'utxt', u"x", 2, 0);
  ASSERT_TRUE(b->AcceptDrag(Node(b, snippets_->ROOTITEM), drag, nullptr, 'utxt'));
  b->log.clear();
  b->ReceiveDrag(Node(b, snippets_->ROOTITEM), drag, nullptr, 'utxt');
  b->ReceiveDrag(Node(b, a_), drag, nullptr, 'utxt');  // not a row of the drop group
  b->ReceiveDrag(nullptr, drag, nullptr, 'utxt');
  EXPECT_EQ((std::vector<std::string>{"Snippets receive utxt", "browser receive utxt"}), b->log);
  DisposeDrag(drag);

  // Rows dragged out of this list are moved by the list itself.
  ASSERT_EQ(noErr, NewDrag(&drag));
  SInt32 id = a_;
  AddDragItemFlavor(drag, 1, kBrackenrowItemDragFlavor, &id, sizeof id, 0);
  BrackenrowDragSource source{SInt64(getpid()), b->VIEW};
  AddDragItemFlavor(drag, 1, kBrackenrowSourceDragFlavor, &source, sizeof source, flavorSenderOnly);
  b->log.clear();
  b->ReceiveDrag(Node(b, snippets_->ROOTITEM), drag, &id, kBrackenrowItemDragFlavor);
  b->ReceiveDrag(nullptr, drag, &id, kBrackenrowItemDragFlavor);
  EXPECT_TRUE(b->log.empty());
  DisposeDrag(drag);

  // Drag start: never a group row; items add their group's flavours.
  ASSERT_EQ(noErr, NewDrag(&drag));
  b->log.clear();
  EXPECT_FALSE(b->AddDragItem(sources_, kGroupBrowserGroupType, sources_->ROOTITEM, drag, 1));
  EXPECT_TRUE(b->AddDragItem(Node(b, a_)->DATA, kSource, a_, drag, 1));
  EXPECT_TRUE(b->AddDragItem(Node(b, lib_)->DATA, kGroupBrowserFolderType, lib_, drag, 1));
  EXPECT_EQ((std::vector<std::string>{"Sources flavour a.js"}), b->log);
  DisposeDrag(drag);
}

TEST_F(TGroupBrowserTest, RemovalAskTheOwningGroupAndGroupRowsStay) {
  RecordingGroupBrowser* b = Make();
  Fill();
  const SInt32 stray = b->NewItem(NamePayload("stray"), 6, kStray, 0);
  snippets_->removable = false;
  EXPECT_FALSE(b->RemoveItem(sources_, kGroupBrowserGroupType, sources_->ROOTITEM));
  EXPECT_TRUE(b->RemoveItem(Node(b, stray)->DATA, kStray, stray));
  b->log.clear();
  // Through the list's own delete: the refused snippet stays, the folder goes.
  const DataBrowserItemID chosen[] = {DataBrowserItemID(snip_), DataBrowserItemID(a_),
                                      DataBrowserItemID(snippets_->ROOTITEM)};
  SetDataBrowserSelectedItems(b->VIEW, 3, chosen, kDataBrowserItemsAssign);
  BrackenrowClearSelection(true, b->VIEW);
  EXPECT_NE(nullptr, Node(b, snip_));
  EXPECT_NE(nullptr, Node(b, snippets_->ROOTITEM));
  EXPECT_EQ(nullptr, Node(b, a_));
  // Each group asked once; only the row that went is released.
  EXPECT_EQ((std::vector<std::string>{"Sources remove? a.js", "release TTXT a.js", "Snippets remove? loop"}), b->log);
}

TEST_F(TGroupBrowserTest, RowsAreDrawnFromTheirGroupsDisplay) {
  RecordingGroupBrowser* b = Make();
  Fill();
  struct Case {
    SInt32 item;
    std::string name;
  };
  for (const Case& c : {Case{sources_->ROOTITEM, "SOURCES"}, Case{lib_, "lib"}, Case{a_, "a.js"}}) {
    IconRef icon = nullptr;
    Str63 name;
    TBrowserGroup* group = nullptr;
    ASSERT_TRUE(b->GetRowDisplay(Node(b, c.item), icon, name, group)) << c.item;
    EXPECT_EQ(c.name, name.str());
    EXPECT_EQ(sources_, group);
    ReleaseIconRef(icon);
  }
  const SInt32 empty = b->NewItem(nullptr, 0, kSource, 0);
  IconRef icon = nullptr;
  Str63 name;
  TBrowserGroup* group = nullptr;
  EXPECT_FALSE(b->GetRowDisplay(Node(b, empty), icon, name, group));  // no name: nothing to show
  EXPECT_EQ(nullptr, icon);

  // A row without an icon is shown by its name, in the icon's place.
  snippets_->icons = false;
  ASSERT_TRUE(b->GetRowDisplay(Node(b, snip_), icon, name, group));
  EXPECT_EQ(nullptr, icon);
  EXPECT_EQ("loop", name.str());
  EXPECT_EQ(snippets_, group);
  {
    Bitmap plain(200, 20);
    NodeInfoPtr snip = Node(b, snip_);
    b->DrawItem(snip->DATA, snip->DATATYPE, false, DataBrowserItemID(snip_), kName, 0, CGRectMake(20, 0, 180, 20),
                plain.context);
    EXPECT_GT(plain.Ink(0, 0, 200, 20), 0);
    EXPECT_TRUE(b->HitTest(snip->DATA, kSnippet, CGRectMake(20, 0, 180, 20), CGRectMake(24, 8, 2, 2)));
    EXPECT_FALSE(b->HitTest(snip->DATA, kSnippet, CGRectMake(20, 0, 180, 20), CGRectMake(180, 8, 2, 2)));
  }
  snippets_->icons = true;

  Bitmap bitmap(200, 40);
  b->log.clear();
  const CGRect cell = CGRectMake(0, 0, 200, 20);
  for (SInt32 item : {sources_->ROOTITEM, lib_, a_, empty}) {
    NodeInfoPtr node = Node(b, item);
    b->DrawItem(node->DATA, node->DATATYPE, node->CONTAINER, DataBrowserItemID(item), kName, 0, cell,
                bitmap.context);
  }
  // The group adds its own marks to its items only.
  EXPECT_EQ((std::vector<std::string>{"Sources draw " + std::to_string(a_)}), b->log);
  // Hits: on the name, not beside it.
  NodeInfoPtr a = Node(b, a_);
  EXPECT_TRUE(b->HitTest(a->DATA, kSource, cell, CGRectMake(30, 8, 2, 2)));
  EXPECT_FALSE(b->HitTest(a->DATA, kSource, cell, CGRectMake(180, 8, 2, 2)));
}

}  // namespace
