// Items: filling and emptying a browser, its selection and rows, and the
// focus with its history menu. Each operation keeps the tree and the rows in
// step.
#include <cstring>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "brackenrow/BrowserData.h"

namespace {

// The rows of a container item (0: the top level), in row order.
std::vector<DataBrowserItemID> RowItems(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                        DataBrowserItemState state, OSStatus* status = nullptr) {
  std::vector<DataBrowserItemID> items;
  Handle h = NewHandle(0);
  OSStatus err = GetDataBrowserItems(browser, container, recurse, state, h);
  if (status) *status = err;
  if (err == noErr) {
    Size n = GetHandleSize(h) / Size(sizeof(DataBrowserItemID));
    items.resize(size_t(n));
    if (n > 0) std::memcpy(items.data(), *h, size_t(n) * sizeof(DataBrowserItemID));
  }
  DisposeHandle(h);
  return items;
}

ItemArrayHandle ToHandle(const std::vector<DataBrowserItemID>& items, SInt16& count) {
  count = SInt16(std::min<size_t>(items.size(), 32767));
  if (count == 0) return nullptr;
  Handle h = NewHandle(Size(count) * Size(sizeof(DataBrowserItemID)));
  if (h == nullptr) {
    count = 0;
    return nullptr;
  }
  std::memcpy(*h, items.data(), size_t(count) * sizeof(DataBrowserItemID));
  return reinterpret_cast<ItemArrayHandle>(h);
}

// The row container for rows of items inside `container`: the top level
// when it is the focused item.
DataBrowserItemID RowParentFor(BrowserDataPtr data, SInt32 container) {
  return container == ItemOfNode(data->FOCUS) ? kDataBrowserNoItem : DataBrowserItemID(container);
}

// Adds the row of one node where its tree parent's rows are, and the rows
// inside it when it was open. No row when its parent is not shown.
void AddRowFor(BrowserDataPtr data, CFTreeRef node) {
  NodeInfoPtr record = BrackenrowGetNode(node);
  if (record == nullptr) return;
  CFTreeRef parent = CFTreeGetParent(node);
  DataBrowserItemID container;
  if (parent == data->FOCUS)
    container = kDataBrowserNoItem;
  else if (BrackenrowGetNode(parent) != nullptr)
    container = DataBrowserItemID(ItemOfNode(parent));
  else
    return;  // under the root while a subtree is focused: not shown
  DataBrowserItemID id = DataBrowserItemID(record->INDEX);
  if (AddDataBrowserItems(data->browser, container, 1, &id, 0) == noErr && record->OPEN)
    OpenDataBrowserContainer(data->browser, id);  // its rows come from the opened notification
}

// The focus must stay inside the tree: a node about to be freed that holds it
// gives it back to the whole tree. True when it did.
bool ReleaseFocusInside(BrowserDataPtr data, CFTreeRef node) {
  if (data->FOCUS == data->TREE || !IsInSubtree(data->FOCUS, node)) return false;
  data->FOCUS = data->TREE;
  return true;
}

// The rows of a focus that was given back: the whole tree's top level.
void ShowWholeTree(BrowserDataPtr data) {
  RemoveDataBrowserItems(data->browser, kDataBrowserNoItem, 0, nullptr, 0);
  if (TestBrowserData(data->browser) == data) ExpandTree(data->FOCUS, kDataBrowserNoItem, data->browser);
}

void AppendRecord(CFTreeRef tree, NodeInfoPtr node, void* context) {
  (void)tree;
  CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), node);
}

// An array that holds records without owning them.
CFMutableArrayRef NewRecordArray() { return CFArrayCreateMutable(nullptr, 0, nullptr); }

void Reindent(MenuRef menu) {
  UInt16 n = CountMenuItems(menu);
  for (UInt16 i = 1; i <= n; ++i) {
    SetMenuItemIndent(menu, i, i - 1);
    CheckMenuItem(menu, i, i == 1);
  }
}

MenuRef FocusMenuOf(ControlRef browser) {
  MenuRef menu = nullptr;
  if (GetControlProperty(browser, kBrowserPropertyCreator, kBrowserPropertyFocusMenuTag, sizeof menu, nullptr,
                         &menu) != noErr)
    return nullptr;
  return menu;
}

// Takes the node (and its subtree) out of the tree, freeing it.
void FreeNode(BrowserDataPtr data, CFTreeRef node) {
  const bool focusLost = ReleaseFocusInside(data, node);
  if (data->HOVERITEM && IsInSubtree(NodeOfItem(data, SInt32(data->HOVERITEM)), node)) data->HOVERITEM = 0;
  CFTreeRemove(node);
  InvalidateIds(data);
  if (focusLost) ShowWholeTree(data);
}

}  // namespace

// --- Shared with the other units ---------------------------------------------------

bool IsInSubtree(CFTreeRef node, CFTreeRef ancestor) {
  if (ancestor == nullptr) return false;
  for (CFTreeRef n = node; n != nullptr; n = CFTreeGetParent(n))
    if (n == ancestor) return true;
  return false;
}

void ExpandTree(CFTreeRef tree, DataBrowserItemID container, ControlRef browser) {
  if (tree == nullptr) return;
  std::vector<CFTreeRef> children;
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child))
    children.push_back(child);
  std::vector<DataBrowserItemID> ids, open;
  for (CFTreeRef child : children)
    if (NodeInfoPtr record = BrackenrowGetNode(child)) {
      ids.push_back(DataBrowserItemID(record->INDEX));
      if (record->OPEN) open.push_back(DataBrowserItemID(record->INDEX));
    }
  if (ids.empty()) return;
  AddDataBrowserItems(browser, container, UInt32(ids.size()), ids.data(), 0);
  // An open container lists its own children from its opened notification.
  for (DataBrowserItemID id : open) OpenDataBrowserContainer(browser, id);
}

void BrackenrowSelectRow(SInt16 row, ControlRef browser) {
  DataBrowserItemID item = 0;
  if (GetDataBrowserTableViewItemID(browser, DataBrowserTableViewRowIndex(row), &item) != noErr || item == 0) return;
  SetDataBrowserSelectedItems(browser, 1, &item, kDataBrowserItemsAssign);
  RevealDataBrowserItem(browser, item, kDataBrowserNoItem, kDataBrowserRevealOnly);
}

void RebuildContainer(DataBrowserItemID container, ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  CFTreeRef node = NodeOfItem(data, SInt32(container));
  if (node == nullptr || node == data->FOCUS) {
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, 0);
    ExpandTree(data->FOCUS, kDataBrowserNoItem, browser);
    return;
  }
  // Rows inside a closed container come when it is opened.
  DataBrowserItemState state = 0;
  if (GetDataBrowserItemState(browser, container, &state) != noErr || !(state & kDataBrowserContainerIsOpen)) return;
  RemoveDataBrowserItems(browser, container, 0, nullptr, 0);
  ExpandTree(node, container, browser);
}

// --- Filling -------------------------------------------------------------------------

SInt32 BrackenrowAppendItem(void* userData, SInt32 length, UInt32 dataType, SInt16 group, SInt32 index,
                            SInt32 inContainer, Boolean container, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || data->TREE == nullptr) return 0;
  ++data->MODIFIED;
  NodeInfoPtr record = BrackenrowNewNode(userData, length, dataType, 0, inContainer, container);
  if (record == nullptr) return 0;
  record->GROUP = group;
  if ((data->OPTIONS & kBrackenrowCopyInfo) && userData != nullptr) {
    // A block is copied whole; plain host memory by the length given.
    Ptr block = static_cast<Ptr>(userData);
    Size size = IsPointerValid(block) ? GetPtrSize(block) : Size(std::max<SInt32>(length, 0));
    record->DATA = NewPtrCopy(userData, size);
  }
  BrackenrowAssociateNode(record, browser);
  SInt32 id = index;
  if (id == 0) {
    if (data->OPTIONS & kBrackenrowLinearAutoIncrement)
      id = SInt32(++data->COUNT);
    else
      id = BrackenrowGetUniqueIndex(group, browser);
  }
  if (group > 0) id += SInt32(group) * kGroupIndexShift;
  record->INDEX = id;

  CFTreeRef parent = inContainer == 0 ? data->TREE : CFTreeRecurseGetChildAtIndex(data->TREE, inContainer);
  CFTreeRef node = BrackenrowCreateTree(record);
  CFTreeAppendChild(parent, node);
  CFRelease(node);
  NoteIdAdded(data, id);
  // The row goes where the node went, so rows and tree agree even for a
  // container that does not exist.
  AddRowFor(data, node);
  if ((data = TestBrowserData(browser)) == nullptr) return id;
  if (data->OPTIONS & kBrackenrowArrangeRowOrder) {
    if (data->HOVERITEM != 0) {
      HandleDropLocation(DataBrowserItemID(id), data->HOVERITEM, browser);
    } else {
      auto selected = RowItems(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected);
      if (!selected.empty() && selected.front() != DataBrowserItemID(id))
        HandleDropLocation(DataBrowserItemID(id), selected.front(), browser);
    }
  }
  return id;
}

SInt32 BrackenrowWriteLn(void* userData, ControlRef browser) {
  return BrackenrowAppendItem(userData, 0, 0x3F3F3F3F /* '????' */, 1, 0, 0, false, browser);
}

void BrackenrowAppendChild(CFTreeRef inChild, SInt32 inContainer, SInt16 group, Boolean expand, Boolean includeRoot,
                           ControlRef browser) {
  (void)group;
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || data->TREE == nullptr || inChild == nullptr) return;
  CFTreeRef parent = inContainer == 0 ? data->TREE : CFTreeRecurseGetChildAtIndex(data->TREE, inContainer);
  // A subtree cannot be grafted into itself.
  if (IsInSubtree(parent, inChild)) return;
  ++data->MODIFIED;
  InvalidateIds(data);
  const DataBrowserItemID rowParent = RowParentFor(data, inContainer);
  DataBrowserItemID childRows = rowParent;
  if (NodeInfoPtr record = BrackenrowGetNode(inChild)) {
    if (record->PARENT == 0) record->PARENT = inContainer;
    CFRetain(inChild);
    CFTreeRemove(inChild);
    CFTreeAppendChild(parent, inChild);
    CFRelease(inChild);
    ++data->INDEX;
    if (includeRoot) {
      DataBrowserItemID id = DataBrowserItemID(record->INDEX);
      if (AddDataBrowserItems(browser, rowParent, 1, &id, 0) == noErr) childRows = id;
    }
  } else {
    std::vector<CFTreeRef> children;
    for (CFTreeRef child = CFTreeGetFirstChild(inChild); child != nullptr; child = CFTreeGetNextSibling(child))
      children.push_back(child);
    for (CFTreeRef child : children) {
      CFRetain(child);
      CFTreeRemove(child);
      CFTreeAppendChild(parent, child);
      CFRelease(child);
      NodeInfoPtr moved = BrackenrowGetNode(child);
      if (moved == nullptr) continue;
      ++data->INDEX;
      DataBrowserItemID id = DataBrowserItemID(moved->INDEX);
      if (AddDataBrowserItems(browser, rowParent, 1, &id, 0) == noErr && moved->CONTAINER && moved->OPEN)
        OpenDataBrowserContainer(browser, id);
    }
  }
  if (expand) {
    if (childRows != rowParent)
      OpenDataBrowserContainer(browser, childRows);  // lists inChild's children from the opened notification
    else
      ExpandTree(inChild, childRows, browser);
  }
}

void BrackenrowAppendReference(SInt32 item, SInt32 inContainer, CFTreeRef fromTree, ControlRef browser) {
  BrackenrowSetTree(browser, fromTree);
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  DataBrowserItemID rowParent = RowParentFor(data, inContainer);
  if (item != 0) {
    DataBrowserItemID id = DataBrowserItemID(item);
    AddDataBrowserItems(browser, rowParent, 1, &id, 0);
    return;
  }
  std::vector<DataBrowserItemID> ids;
  for (CFTreeRef child = CFTreeGetFirstChild(fromTree); child != nullptr; child = CFTreeGetNextSibling(child))
    if (NodeInfoPtr record = BrackenrowGetNode(child)) ids.push_back(DataBrowserItemID(record->INDEX));
  if (!ids.empty()) AddDataBrowserItems(browser, rowParent, UInt32(ids.size()), ids.data(), 0);
}

// Replacing the tree: the old rows go with the old tree, and a tree the
// browser owns is released. adopt: the caller's reference becomes the
// browser's own (a tree the library made).
void SetBrowserTree(BrowserDataPtr data, CFTreeRef tree, bool adopt) {
  if (tree == data->TREE) {
    if (adopt && tree) CFRelease(tree);  // the browser holds one already
    data->FOCUS = tree;
    return;
  }
  RemoveDataBrowserItems(data->browser, kDataBrowserNoItem, 0, nullptr, 0);
  CFTreeRef old = data->TREE;
  const bool oldTakenOver = data->treeTakenOver;
  if (tree && !adopt) CFRetain(tree);
  data->TREE = tree;
  data->FOCUS = tree;
  data->HOVERITEM = data->LASTHOVERITEM = 0;
  // kBrackenrowReleaseTree alone hands the host's own reference over.
  data->treeTakenOver = tree && !adopt && (data->OPTIONS & kBrackenrowReleaseTree) &&
                        !(data->OPTIONS & kBrackenrowAllocateTree);
  InvalidateIds(data);
  if (old) {
    if (oldTakenOver) CFRelease(old);
    CFRelease(old);
  }
}

void BrackenrowSetTree(ControlRef browser, CFTreeRef tree) {
  if (BrowserDataPtr data = GetBrowserData(browser)) SetBrowserTree(data, tree, false);
}

// --- Removing ------------------------------------------------------------------------

void BrackenrowRemoveAll(ControlRef browser) {
  if (GetBrowserData(browser) == nullptr) return;
  RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, 0);
}

void BrackenrowClear(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  // Rows first, so no row outlives its node.
  RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, 0);
  if ((data = GetBrowserData(browser)) == nullptr) return;
  if (data->TREE && (data->OPTIONS & kBrackenrowAllocateTree)) {
    data->FOCUS = data->TREE;
    data->HOVERITEM = 0;
    CFTreeRemoveAllChildren(data->TREE);
    InvalidateIds(data);
  }
  data->FOCUS = data->TREE;
  data->COUNT = 0;
  SetDataBrowserScrollPosition(browser, 0, 0);
}

void BrackenrowClearContainer(ControlRef browser, SInt32 item) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || item == 0) return;
  RemoveDataBrowserItems(browser, DataBrowserItemID(item), 0, nullptr, 0);
  if ((data = TestBrowserData(browser)) == nullptr) return;
  CFTreeRef node = NodeOfItem(data, item);
  if (node == nullptr) return;
  ++data->MODIFIED;
  const bool focusLost = data->FOCUS != node && ReleaseFocusInside(data, node);
  if (data->HOVERITEM && data->HOVERITEM != DataBrowserItemID(item) &&
      IsInSubtree(NodeOfItem(data, SInt32(data->HOVERITEM)), node))
    data->HOVERITEM = 0;
  CFTreeRemoveAllChildren(node);
  InvalidateIds(data);
  if (focusLost) ShowWholeTree(data);
}

void BrackenrowRemoveItem(ControlRef browser, SInt32 item) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || item == 0) return;
  DataBrowserItemID id = DataBrowserItemID(item);
  if (RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &id, 0) != noErr) return;
  if ((data = TestBrowserData(browser)) == nullptr) return;
  CFTreeRef node = NodeOfItem(data, item);
  if (node == nullptr) return;
  FreeNode(data, node);
  ++data->MODIFIED;
}

void BrackenrowClearSelection(Boolean recurse, ControlRef browser) {
  if (TestBrowserData(browser) == nullptr) return;
  const auto selected = RowItems(browser, kDataBrowserNoItem, recurse, kDataBrowserItemIsSelected);
  for (DataBrowserItemID id : selected) {
    BrowserDataPtr data = TestBrowserData(browser);
    if (data == nullptr) return;
    // An item inside a container deleted before it went with that container.
    CFTreeRef node = NodeOfItem(data, SInt32(id));
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record == nullptr) continue;
    const BrackenrowCallbacks& cb = data->CALLBACKS;
    if (cb.REMOVEITEM && !cb.REMOVEITEM(record->DATA, record->DATATYPE, id, cb.CONTEXT)) continue;
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &id, 0);
    if ((data = TestBrowserData(browser)) == nullptr) return;
    if ((node = NodeOfItem(data, SInt32(id))) == nullptr) continue;
    FreeNode(data, node);
    ++data->MODIFIED;
  }
}

void BrackenrowRemoveSelection(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  data->HOVERITEM = 0;
  SetDataBrowserSelectedItems(browser, 0, nullptr, kDataBrowserItemsAssign);
}

// --- Queries -------------------------------------------------------------------------

ItemArrayHandle GetSelectedBrowserItems(ControlRef browser, SInt16& count) {
  count = 0;
  if (GetBrowserData(browser) == nullptr) return nullptr;
  return ToHandle(RowItems(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected), count);
}

ItemArrayHandle GetContainerItems(ControlRef browser, SInt32 container, SInt16& count) {
  count = 0;
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return nullptr;
  return ToHandle(RowItems(browser, RowParentFor(data, container), false, kDataBrowserItemAnyState), count);
}

NodeInfoPtr BrackenrowGetSelection(ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return nullptr;
  auto selected = RowItems(browser, kDataBrowserNoItem, true, kDataBrowserItemIsSelected);
  return selected.empty() ? nullptr : BrackenrowGetNode(NodeOfItem(data, SInt32(selected.front())));
}

NodeInfoPtr BrackenrowGetNodeAtIndex(SInt32 index, ControlRef browser) {
  return BrackenrowGetNode(NodeOfItem(TestBrowserData(browser), index));
}

NodeInfoPtr BrackenrowGetNodeParent(SInt32 index, ControlRef browser) {
  CFTreeRef node = NodeOfItem(TestBrowserData(browser), index);
  return node ? BrackenrowGetNode(CFTreeGetParent(node)) : nullptr;
}

CFArrayRef BrackenrowCreateParentArray(SInt32 item, ControlRef browser) {
  CFTreeRef node = NodeOfItem(TestBrowserData(browser), item);
  if (node == nullptr) return nullptr;
  CFMutableArrayRef array = NewRecordArray();
  for (CFTreeRef n = node; n != nullptr; n = CFTreeGetParent(n))
    if (NodeInfoPtr record = BrackenrowGetNode(n)) CFArrayAppendValue(array, record);
  return array;
}

CFArrayRef BrackenrowCopyNodes(ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return nullptr;
  CFMutableArrayRef array = NewRecordArray();
  CFTreeApplyFunctionToAllChildren(data->TREE, AppendRecord, true, array);
  if (CFArrayGetCount(array) == 0) {
    CFRelease(array);
    return nullptr;
  }
  return array;
}

CFArrayRef BrackenrowSerializeContainer(ControlRef browser, SInt32 container) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return nullptr;
  OSStatus status = noErr;
  auto items = RowItems(browser, RowParentFor(data, container), false, kDataBrowserItemAnyState, &status);
  if (status != noErr) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (DataBrowserItemID id : items) {
    NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(id)));
    if (record == nullptr) continue;
    Ptr block = static_cast<Ptr>(record->DATA);
    Size size = IsPointerValid(block) ? GetPtrSize(block) : 0;
    CFDataRef copy = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(size ? block : nullptr), CFIndex(size));
    CFArrayAppendValue(array, copy);
    CFRelease(copy);
  }
  return array;
}

void BrackenrowApplyFunction(ControlRef browser, BrackenrowApplierFunction applier, SInt32 container,
                             DataBrowserItemState state, Boolean recurse, void* context) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || applier == nullptr) return;
  // Collected first: the applier may change the rows.
  auto items = RowItems(browser, RowParentFor(data, container), recurse, state);
  for (DataBrowserItemID id : items) {
    if ((data = TestBrowserData(browser)) == nullptr) return;
    if (NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32(id)))) applier(browser, record, context);
  }
}

void BrackenrowUpdateItem(SInt32 item, ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || item == 0) return;
  NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, item));
  DataBrowserItemID id = DataBrowserItemID(item);
  UpdateDataBrowserItems(browser, record ? RowParentFor(data, record->PARENT) : kDataBrowserNoItem, 1, &id, 0, 0);
}

NodeInfoPtr BrackenrowGetHover(ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  return data ? BrackenrowGetNode(NodeOfItem(data, SInt32(data->HOVERITEM))) : nullptr;
}

void BrackenrowClearHover(ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->HOVERITEM = 0;
}

// --- Focus ---------------------------------------------------------------------------

NodeInfoPtr BrackenrowGetFocus(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? BrackenrowGetNode(data->FOCUS) : nullptr;
}

SInt32 BrackenrowGetFocusItem(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? ItemOfNode(data->FOCUS) : 0;
}

void BrackenrowClearFocus(ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->FOCUS = data->TREE;
}

void BrackenrowFocusAtIndex(SInt32 index, ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  CFTreeRef target = CFTreeRecurseGetChildAtIndex(data->TREE, index);
  if (CFTreeGetChildCount(target) == 0 && CFTreeGetParent(target) != nullptr) target = CFTreeGetParent(target);
  data->FOCUS = target;
  RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, 0);
  if ((data = TestBrowserData(browser)) == nullptr) return;
  ExpandTree(data->FOCUS, kDataBrowserNoItem, browser);
  SetDataBrowserScrollPosition(browser, 0, 0);
  BrackenrowSelectRow(0, browser);
}

SInt32 BrackenrowFocusGoBack(ControlRef browser) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return 0;
  MenuRef menu = FocusMenuOf(browser);
  if (menu == nullptr || CountMenuItems(menu) < 2) return 0;
  SInt32 result = -1;
  if (data->FOCUS != data->TREE) {
    result = ItemOfNode(CFTreeGetParent(data->FOCUS));
    BrackenrowFocusAtIndex(result, browser);
  }
  DeleteMenuItem(menu, 1);
  Reindent(menu);
  return result;
}

OSStatus BrackenrowHandleFocusEvent(EventRef event) {
  HICommand command{};
  if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                        &command) != noErr)
    return eventNotHandledErr;
  if (command.commandID != kHICommandFocusBrowser || command.menu.menuRef == nullptr) return eventNotHandledErr;
  MenuRef menu = command.menu.menuRef;
  MenuItemIndex chosen = command.menu.menuItemIndex;
  SInt32 index = 0;
  ControlRef browser = nullptr;
  if (GetMenuItemProperty(menu, chosen, kBrowserPropertyCreator, kBrowserMenuItemFocusIndexTag, sizeof index,
                          nullptr, &index) != noErr ||
      GetMenuItemProperty(menu, chosen, kBrowserPropertyCreator, kBrowserMenuItemControlTag, sizeof browser, nullptr,
                          &browser) != noErr ||
      browser == nullptr)
    return eventNotHandledErr;
  BrackenrowFocusAtIndex(index, browser);
  if (chosen > 1) DeleteMenuItems(menu, 1, chosen - 1);
  Reindent(menu);
  return noErr;
}
