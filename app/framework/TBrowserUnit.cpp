#include "TBrowserUnit.h"

#include <unordered_set>

#include "HIView.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

std::unordered_set<const TBrowser*>& LiveBrowsers() {
  static auto* browsers = new std::unordered_set<const TBrowser*>;
  return *browsers;
}

// The object a callback carries, when it is still alive.
TBrowser* Target(void* context) {
  auto* browser = static_cast<TBrowser*>(context);
  return browser != nullptr && TBrowser::IsLive(browser) ? browser : nullptr;
}

void BrowserReleaseItem(void* data, UInt32 dataType, void* context) {
  if (TBrowser* b = Target(context)) b->ReleaseItem(data, dataType);
}

Boolean BrowserRemoveItem(void* data, UInt32 dataType, DataBrowserItemID item, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->RemoveItem(data, dataType, item) : true;
}

void BrowserSetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text,
                        void* context) {
  if (TBrowser* b = Target(context)) b->SetItemText(data, item, property, text);
}

void BrowserSetItemCheckbox(void* data, DataBrowserItemID item, DataBrowserPropertyID property, Boolean checked,
                            void* context) {
  if (TBrowser* b = Target(context)) b->SetItemCheckbox(data, item, property, checked);
}

void BrowserSetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                        DataBrowserItemDataRef itemData, void* context) {
  if (TBrowser* b = Target(context)) b->SetItemData(data, dataType, item, property, itemData);
}

Boolean BrowserSetItemProperty(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                               DataBrowserPropertyID question, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->SetItemProperty(data, dataType, item, property, question) : true;
}

void BrowserItemNotification(void* data, UInt32 dataType, ControlRef, DataBrowserItemID item,
                             DataBrowserItemNotification message, void* context) {
  if (TBrowser* b = Target(context)) b->ItemNotification(data, dataType, item, message);
}

// Draws cells and the items of a drag image alike.
void BrowserDrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserPropertyID property,
                     DataBrowserItemID item, DataBrowserItemState state, CGRect bounds, CGContextRef context,
                     ControlRef, void* userContext) {
  if (TBrowser* b = Target(userContext)) b->DrawItem(data, dataType, container, item, property, state, bounds, context);
}

Boolean BrowserHitTest(void* data, UInt32 dataType, ControlRef, CGRect itemRect, CGRect mouseRect, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->HitTest(data, dataType, itemRect, mouseRect) : true;
}

Boolean BrowserCompareItem(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID property, ControlRef,
                           void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->CompareItem(node1, node2, property) : true;
}

void BrowserReceiveDrag(ControlRef, NodeInfoPtr node, DragRef drag, void* data, FlavorType flavor, void* context) {
  if (TBrowser* b = Target(context)) b->ReceiveDrag(node, drag, data, flavor);
}

Boolean BrowserAcceptDrag(ControlRef, NodeInfoPtr node, DragRef drag, void* data, FlavorType flavor, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->AcceptDrag(node, drag, data, flavor) : false;
}

void BrowserPostDrag(ControlRef, DragRef drag, OSStatus result, void* context) {
  if (TBrowser* b = Target(context)) b->PostDrag(drag, result);
}

Boolean BrowserAddDragItem(void* data, UInt32 dataType, DataBrowserItemID item, DragRef drag, DragItemRef itemRef,
                           ControlRef, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->AddDragItem(data, dataType, item, drag, itemRef) : false;
}

MenuRef BrowserGetContextualMenu(ControlRef, ItemArrayHandle items, SInt16 count, void* context) {
  TBrowser* b = Target(context);
  return b != nullptr ? b->GetContextualMenu(items, count) : nullptr;
}

void BrowserSelectContextualMenu(ControlRef, NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem,
                                 void* context) {
  if (TBrowser* b = Target(context)) b->SelectContextualMenu(node, menu, menuID, menuItem);
}

// The list view is being disposed: the object goes with it.
void BrowserRelease(ControlRef, void* context) {
  if (TBrowser* b = Target(context)) b->Release();
}

void BrowserEventLoopTimer(ControlRef, void* context) {
  if (TBrowser* b = Target(context)) b->EventLoopTimer();
}

// The keyboard focus of the view's window is the view or lies inside it.
bool FocusInside(ControlRef view) {
  WindowRef window = view != nullptr ? HIViewGetWindow(view) : nullptr;
  if (window == nullptr) return false;
  ControlRef focus = nullptr;
  if (GetKeyboardFocus(window, &focus) != noErr) return false;
  for (HIViewRef v = focus; v != nullptr; v = HIViewGetSuperview(v))
    if (v == view) return true;
  return false;
}

}  // namespace

Boolean TBrowser::IsLive(const TBrowser* browser) { return LiveBrowsers().count(browser) > 0; }

void TBrowser::Create(ControlRef browser) {
  VIEW = browser;
  SetViewObject(reinterpret_cast<HIObjectRef>(browser));
  SetClassString("TBrowser");
  LiveBrowsers().insert(this);
  if (browser == nullptr) return;
  Err = SetDataBrowserMetric(browser, kDataBrowserMetricCellContentInset, false, 3.0);
  Err = SetDataBrowserMetric(browser, kDataBrowserMetricDisclosureTriangleAndContentGap, false, 2.0);
  Err = SetDataBrowserMetric(browser, kDataBrowserMetricDisclosureColumnEdgeInset, false, 2.0);
  Err = SetDataBrowserMetric(browser, kDataBrowserMetricIconAndTextGap, false, 6.0);
  Err = SetDataBrowserMetric(browser, kDataBrowserMetricDisclosureColumnPerDepthGap, false, 12.0);
  BrackenrowCallbacks callbacks{};
  callbacks.RELEASEITEM = BrowserReleaseItem;
  callbacks.REMOVEITEM = BrowserRemoveItem;
  callbacks.SETITEMTEXT = BrowserSetItemText;
  callbacks.SETITEMCHECKBOX = BrowserSetItemCheckbox;
  callbacks.SETITEMDATA = BrowserSetItemData;
  callbacks.SETITEMPROPERTY = BrowserSetItemProperty;
  callbacks.ITEMNOTIFICATION = BrowserItemNotification;
  callbacks.DRAWITEM = BrowserDrawItem;
  callbacks.DRAWDRAGIMAGE = BrowserDrawItem;
  callbacks.HITTEST = BrowserHitTest;
  callbacks.COMPAREITEM = BrowserCompareItem;
  callbacks.RECEIVEDRAG = BrowserReceiveDrag;
  callbacks.ACCEPTDRAG = BrowserAcceptDrag;
  callbacks.POSTDRAG = BrowserPostDrag;
  callbacks.ADDDRAGITEM = BrowserAddDragItem;
  callbacks.GETCONTEXTUALMENU = BrowserGetContextualMenu;
  callbacks.SELECTCONTEXTUALMENU = BrowserSelectContextualMenu;
  callbacks.RELEASE = BrowserRelease;
  callbacks.TIMER = BrowserEventLoopTimer;
  callbacks.CONTEXT = this;
  BrackenrowInitialize(browser, OPTIONS, callbacks);
  if (OPTIONS & kBrackenrowAllocateTree) TREE = BrackenrowGetTree(browser);
}

void TBrowser::SetOptions(BrackenrowOptions options) { OPTIONS = options; }

void TBrowser::ProcessCommand(const HICommand& command, EventRef event, SInt32& status) {
  if (!FocusInside(VIEW)) return;
  SInt16 count = 0;
  ItemArrayHandle items = GetSelectedBrowserItems(VIEW, count);
  if (items == nullptr) return;
  for (SInt16 i = 0; i < count; ++i) {
    // Looked up one by one: an earlier command may have removed an item.
    if (NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32((*items)[i]), VIEW))
      ProcessSelectionCommand(node, command, event, status);
  }
  DisposeHandle(reinterpret_cast<Handle>(items));
}

void TBrowser::Release() {
  // Gone first, so that nothing the unbinding frees calls back into it.
  LiveBrowsers().erase(this);
  if (VIEW != nullptr) BrackenrowRelease(VIEW);
  VIEW = nullptr;
  TREE = nullptr;
  TView::Release();
  Free();
}

SInt32 TBrowser::NewItem(void* userData, SInt32 length, UInt32 dataType, SInt32 inContainer) {
  return BrackenrowAppendItem(userData, length, dataType, 1, 0, inContainer, false, VIEW);
}

SInt32 TBrowser::NewContainer(void* userData, SInt32 length, UInt32 dataType, SInt32 inContainer) {
  return BrackenrowAppendItem(userData, length, dataType, 1, 0, inContainer, true, VIEW);
}

void TBrowser::NewAlias(SInt32 item, SInt32 inContainer, CFTreeRef fromTree) {
  SetTree(fromTree);
  BrackenrowAppendReference(item, inContainer, fromTree, VIEW);
}

void TBrowser::CopyTree(CFTreeRef tree, SInt32 inContainer, SInt16 group) {
  BrackenrowAppendChild(tree, inContainer, 1, kTreeBrowserDontExpand,
                        group > 0 ? kTreeBrowserIncludeRoot : kTreeBrowserDontIncludeRoot, VIEW);
}

SInt32 TBrowser::WriteLn(void* userData) { return BrackenrowWriteLn(userData, VIEW); }

void TBrowser::AppendChildren(CFTreeRef tree, SInt32 inContainer) {
  if (tree == nullptr || VIEW == nullptr) return;
  const CFIndex count = CFTreeGetChildCount(tree);
  for (CFIndex i = 0; i < count; ++i) {
    NodeInfoPtr node = BrackenrowGetNode(CFTreeGetChildAtIndex(tree, i));
    if (node == nullptr) continue;
    const DataBrowserItemID item = DataBrowserItemID(node->INDEX);
    Err = AddDataBrowserItems(VIEW, DataBrowserItemID(inContainer), 1, &item, kDataBrowserItemNoProperty);
  }
}

void TBrowser::Populate() { BrackenrowRemoveAll(VIEW); }

void TBrowser::Clear() { BrackenrowClear(VIEW); }

void TBrowser::UpdateItem(SInt32 item, SInt32 container) {
  const DataBrowserItemID id = DataBrowserItemID(item);
  Err = UpdateDataBrowserItems(VIEW, DataBrowserItemID(container), 1, &id, kDataBrowserItemNoProperty,
                               kDataBrowserNoItem);
}

UInt32 TBrowser::CountItems(SInt32 container, Boolean recurse) {
  UInt32 count = 0;
  Err = GetDataBrowserItemCount(VIEW, DataBrowserItemID(container), recurse, kDataBrowserItemAnyState, &count);
  return count;
}

void TBrowser::ApplyFunction(BrackenrowApplierFunction applier, void* context) {
  BrackenrowApplyFunction(VIEW, applier, 0, kDataBrowserItemAnyState, true, context);
}

void TBrowser::ApplyFunctionToTree(TreeApplierFunction applier, void* context) {
  if (TREE != nullptr) CFTreeApplyFunctionToAllChildren(TREE, applier, true, context);
}

void TBrowser::SetTree(CFTreeRef tree) {
  TREE = tree;
  BrackenrowSetTree(VIEW, tree);
}

void TBrowser::SelectRow(SInt16 row) {
  DataBrowserItemID item = kDataBrowserNoItem;
  if (row < 0 || GetDataBrowserTableViewItemID(VIEW, DataBrowserTableViewRowIndex(row), &item) != noErr ||
      item == kDataBrowserNoItem)
    return;
  Err = SetDataBrowserSelectedItems(VIEW, 1, &item, kDataBrowserItemsAssign);
  Err = RevealDataBrowserItem(VIEW, item, kDataBrowserNoItem, kDataBrowserRevealOnly);
}

void TBrowser::SetDisclosureColumn(DataBrowserPropertyID column) {
  Err = SetDataBrowserListViewDisclosureColumn(VIEW, column, true);
}

void TBrowser::Save(const FSRef& where) { Err = BrackenrowSave(where, VIEW); }

OSStatus TBrowser::Load(const FSRef& where) { return BrackenrowLoad(where, VIEW); }
