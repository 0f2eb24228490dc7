// The browser class over a real list view: items and their IDs, what the
// tree library asks reaching the object's methods, selection commands only
// with the keyboard focus in the list, the tree grafted, replaced and
// walked, and the object's end with its list view. A tree that outlives its
// browser lets its nodes go without reaching the freed object.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DataBrowser.h"
#include "FrameworkTestSupport.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "TBrowserUnit.h"
#include "lists/DataBrowserInternal.h"

namespace {

constexpr DataBrowserPropertyID kName = 'TEXT';
constexpr UInt32 kType = 'TEST';

// What reached a method after the object was gone.
int gLateReleases = 0;
int gEnded = 0;

Ptr Payload(SInt32 value) {
  Ptr block = NewPtr(sizeof value);
  *reinterpret_cast<SInt32*>(block) = value;
  return block;
}

SInt32 ValueOf(void* data) { return data != nullptr ? *static_cast<SInt32*>(data) : -1; }

class RecordingBrowser : public TBrowser {
 public:
  std::vector<std::string> log;
  bool alive = true;

  void ProcessSelectionCommand(NodeInfoPtr node, const HICommand& command, EventRef, SInt32& status) override {
    log.push_back("command " + std::to_string(node->INDEX) + " " + std::to_string(ValueOf(node->DATA)) +
                  " status " + std::to_string(status) + (command.commandID == 'Cmd1' ? "" : " ?"));
  }
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override {
    log.push_back("data " + std::to_string(item) + " " + std::to_string(ValueOf(data)) +
                  (dataType == kType ? "" : " ?") + (property == kName ? "" : " ?"));
    SetDataBrowserItemDataText(itemData, CFStringMakeConstantUTF8("cell"));
  }
  void ItemNotification(void* data, UInt32, DataBrowserItemID item, DataBrowserItemNotification message) override {
    if (message == kDataBrowserItemSelected)
      log.push_back("selected " + std::to_string(item) + " " + std::to_string(ValueOf(data)));
  }
  void ReleaseItem(void* data, UInt32) override {
    if (!alive) ++gLateReleases;
    log.push_back("release " + std::to_string(ValueOf(data)));
  }
  void EventLoopTimer() override { log.push_back("timer"); }
  void Release() override {
    alive = false;
    ++gEnded;
    TBrowser::Release();
  }
};

class TBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessUseVirtualClock(true);
    gLateReleases = 0;
    gEnded = 0;
    Rect r = {0, 0, 150, 280};
    ASSERT_EQ(noErr, CreateDataBrowserControl(window_.window, &r, kDataBrowserListView, &list_));
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {kName, kDataBrowserTextType, kDataBrowserDefaultPropertyFlags};
    ASSERT_EQ(noErr, AddDataBrowserListViewColumn(list_, &column, kDataBrowserListViewAppendColumn));
  }
  void TearDown() override { HeadlessUseVirtualClock(false); }

  RecordingBrowser* Make(BrackenrowOptions options) {
    auto* b = new RecordingBrowser();
    b->SetOptions(options);
    b->Create(list_);
    return b;
  }
  // A cell's value as the list view asks for it.
  std::string Cell(DataBrowserItemID item) {
    DataBrowserCallbacks callbacks{};
    callbacks.version = kDataBrowserLatestCallbacks;
    EXPECT_EQ(noErr, GetDataBrowserCallbacks(list_, &callbacks));
    OpaqueDataBrowserItemDataRef cell{};
    cell.property = kName;
    callbacks.u.v1.itemDataCallback(list_, item, kName, &cell, false);
    char text[64] = "";
    if (cell.text != nullptr) {
      CFStringGetCString(cell.text, text, sizeof text, kCFStringEncodingUTF8);
      CFRelease(cell.text);
    }
    return text;
  }
  std::vector<DataBrowserItemID> Rows() {
    Handle h = NewHandle(0);
    GetDataBrowserItems(list_, kDataBrowserNoItem, true, kDataBrowserItemAnyState, h);
    std::vector<DataBrowserItemID> rows(size_t(GetHandleSize(h)) / sizeof(DataBrowserItemID));
    if (!rows.empty()) std::memcpy(rows.data(), *h, rows.size() * sizeof(DataBrowserItemID));
    DisposeHandle(h);
    return rows;
  }

  TestWindow window_;
  ControlRef list_ = nullptr;
};

TEST_F(TBrowserTest, CreateBindsTheListAndItemsAreNumberedFrom10001) {
  RecordingBrowser* b = Make(kBrackenrowAllocateTree);
  EXPECT_EQ(list_, b->VIEW);
  EXPECT_EQ(reinterpret_cast<HIObjectRef>(list_), b->viewObject);
  EXPECT_EQ(Str255("TBrowser"), b->GetClassString());
  ASSERT_NE(nullptr, b->TREE);
  EXPECT_EQ(BrackenrowGetTree(list_), b->TREE);
  struct Metric {
    DataBrowserMetric metric;
    CGFloat value;
  };
  for (Metric m : {Metric{kDataBrowserMetricCellContentInset, 3}, {kDataBrowserMetricDisclosureTriangleAndContentGap, 2},
                   {kDataBrowserMetricDisclosureColumnEdgeInset, 2}, {kDataBrowserMetricIconAndTextGap, 6},
                   {kDataBrowserMetricDisclosureColumnPerDepthGap, 12}}) {
    Boolean byDefault = true;
    CGFloat value = 0;
    EXPECT_EQ(noErr, GetDataBrowserMetric(list_, m.metric, &byDefault, &value));
    EXPECT_FALSE(byDefault) << m.metric;
    EXPECT_EQ(m.value, value) << m.metric;
  }
  EXPECT_EQ(10001, b->NewItem(Payload(1), 4, kType, 0));
  EXPECT_EQ(10002, b->NewItem(Payload(2), 4, kType, 0));
  const SInt32 folder = b->NewContainer(Payload(3), 4, kType, 0);
  EXPECT_EQ(10003, folder);
  EXPECT_TRUE(BrackenrowGetNodeAtIndex(folder, list_)->CONTAINER);
  EXPECT_FALSE(BrackenrowGetNodeAtIndex(10001, list_)->CONTAINER);
  EXPECT_EQ(3u, b->CountItems(0, false));
  EXPECT_EQ(10004, b->WriteLn(Payload(4)));
  EXPECT_EQ((std::vector<DataBrowserItemID>{10001, 10002, 10003, 10004}), Rows());
  b->SelectRow(1);
  EXPECT_TRUE(IsDataBrowserItemSelected(list_, 10002));
  b->SelectRow(3);
  EXPECT_FALSE(IsDataBrowserItemSelected(list_, 10002));
  EXPECT_TRUE(IsDataBrowserItemSelected(list_, 10004));
  b->Populate();  // the base class empties the list; the tree stays
  EXPECT_EQ(0u, b->CountItems(0, true));
  EXPECT_NE(nullptr, BrackenrowGetNodeAtIndex(10002, list_));
  b->Clear();
  EXPECT_EQ(nullptr, BrackenrowGetNodeAtIndex(10002, list_));
  b->Release();
}

TEST_F(TBrowserTest, WhatTheListAsksReachesTheObjectWithThePayload) {
  RecordingBrowser* b = Make(kBrackenrowAllocateTree);
  b->NewItem(Payload(7), 4, kType, 0);
  b->NewItem(Payload(8), 4, kType, 0);
  b->log.clear();
  EXPECT_EQ("cell", Cell(10002));
  const DataBrowserItemID item = 10001;
  SetDataBrowserSelectedItems(list_, 1, &item, kDataBrowserItemsAssign);
  HeadlessAdvanceClock(0.15);
  ASSERT_GE(b->log.size(), 3u);
  EXPECT_EQ("data 10002 8", b->log[0]);
  EXPECT_EQ("selected 10001 7", b->log[1]);
  EXPECT_EQ("timer", b->log[2]);
  b->Release();
}

TEST_F(TBrowserTest, SelectionCommandsNeedTheKeyboardFocusInTheList) {
  RecordingBrowser* b = Make(kBrackenrowAllocateTree);
  for (SInt32 v : {1, 2, 3}) b->NewItem(Payload(v), 4, kType, 0);
  const DataBrowserItemID chosen[] = {10001, 10003};
  SetDataBrowserSelectedItems(list_, 2, chosen, kDataBrowserItemsAssign);
  HICommand command{};
  command.commandID = 'Cmd1';
  b->log.clear();
  SInt32 status = eventNotHandledErr;
  b->ProcessCommand(command, nullptr, status);  // the focus is elsewhere
  EXPECT_TRUE(b->log.empty());
  ASSERT_EQ(noErr, SetKeyboardFocus(window_.window, list_, kControlFocusNextPart));
  b->ProcessCommand(command, nullptr, status);
  EXPECT_EQ((std::vector<std::string>{"command 10001 1 status -9874", "command 10003 3 status -9874"}), b->log);
  EXPECT_EQ(eventNotHandledErr, status);
  // With nothing selected nothing is asked.
  b->log.clear();
  SetDataBrowserSelectedItems(list_, 0, nullptr, kDataBrowserItemsAssign);
  b->ProcessCommand(command, nullptr, status);
  EXPECT_TRUE(b->log.empty());
  b->Release();
}

TEST_F(TBrowserTest, TreesAreGraftedReplacedAndWalked) {
  RecordingBrowser* b = Make(kBrackenrowAllocateTree);
  struct Case {
    SInt16 group;
    std::vector<DataBrowserItemID> rows;
  };
  for (const Case& c : {Case{0, {}}, Case{1, {501}}}) {
    SCOPED_TRACE(c.group);
    b->Clear();
    CFTreeRef root = BrackenrowCreateTree(BrackenrowNewNode(Payload(50), 4, kType, 501, 0, true));
    CFTreeRef child = BrackenrowCreateTree(BrackenrowNewNode(Payload(51), 4, kType, 502, 501, false));
    CFTreeAppendChild(root, child);
    CFRelease(child);
    b->CopyTree(root, 0, c.group);
    CFRelease(root);  // the browser's tree holds it now
    EXPECT_EQ(c.rows, Rows());
    ASSERT_NE(nullptr, BrackenrowGetNodeAtIndex(502, list_));
  }
  // Rows for a tree's children leave the model as it is.
  b->Clear();
  CFTreeRef other = BrackenrowCreateTree(nullptr);
  for (SInt32 i : {601, 602}) {
    CFTreeRef node = BrackenrowCreateTree(BrackenrowNewNode(Payload(i), 4, kType, i, 0, false));
    CFTreeAppendChild(other, node);
    CFRelease(node);
  }
  b->AppendChildren(other, 0);
  EXPECT_EQ((std::vector<DataBrowserItemID>{601, 602}), Rows());
  EXPECT_EQ(2, CFTreeGetChildCount(other));
  // The browser shows another tree, and walks it.
  b->NewAlias(0, 0, other);
  EXPECT_EQ(other, b->TREE);
  EXPECT_EQ(other, BrackenrowGetTree(list_));
  std::vector<SInt32> walked;
  b->ApplyFunctionToTree(
      [](CFTreeRef, NodeInfoPtr node, void* context) {
        static_cast<std::vector<SInt32>*>(context)->push_back(node->INDEX);
      },
      &walked);
  EXPECT_EQ((std::vector<SInt32>{601, 602}), walked);
  std::vector<SInt32> rows;
  b->ApplyFunction(
      [](ControlRef, NodeInfoPtr node, void* context) {
        static_cast<std::vector<SInt32>*>(context)->push_back(node->INDEX);
      },
      &rows);
  EXPECT_EQ((std::vector<SInt32>{601, 602}), rows);
  b->Release();
  EXPECT_EQ(2, CFTreeGetChildCount(other));  // not the browser's to free
  CFRelease(other);
}

TEST_F(TBrowserTest, TheObjectEndsWithItsListAndATreeThatOutlivesItDoesNotCallIt) {
  RecordingBrowser* b = Make(kBrackenrowDefaultOptions);
  CFTreeRef kept = BrackenrowCreateTree(nullptr);
  b->SetTree(kept);
  b->NewItem(Payload(9), 4, kType, 0);
  ASSERT_EQ(1, CFTreeGetChildCount(kept));
  DisposeControl(list_);  // the list goes, and the object with it
  list_ = nullptr;
  EXPECT_EQ(1, gEnded);
  CFRelease(kept);  // its node still carries the browser's callbacks
  EXPECT_EQ(0, gLateReleases);
}

TEST_F(TBrowserTest, NodesFreedWhileTheBrowserLivesReachReleaseItem) {
  RecordingBrowser* b = Make(kBrackenrowAllocateTree);
  b->NewItem(Payload(5), 4, kType, 0);
  b->log.clear();
  BrackenrowRemoveItem(list_, 10001);
  EXPECT_EQ((std::vector<std::string>{"release 5"}), b->log);
  b->Release();
}

}  // namespace
