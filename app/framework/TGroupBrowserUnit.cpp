#include "TGroupBrowserUnit.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "CFPascal.h"
#include "CFString.h"
#include "CGContext.h"
#include "Folders.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TWindowUnit.h"

// ---------------------------------------------------------------------------
// Folder payloads

Boolean StandardGroupBrowserType(UInt32 type) {
  return type == kGroupBrowserGroupType || type == kGroupBrowserFolderType;
}

namespace {

void WriteFolderName(void* payload, const Str63& name) {
  auto* bytes = static_cast<unsigned char*>(payload);
  std::memset(bytes + kGroupFolderNameOffset, 0, 64);
  std::memcpy(bytes + kGroupFolderNameOffset, name.data(), size_t(name.len()) + 1);
}

}  // namespace

Ptr NewGroupFolderData(const Str63& name, UInt32 groupType) {
  Ptr block = NewPtrClear(kGroupFolderDataSize);
  if (block == nullptr) return nullptr;
  WriteFolderName(block, name);
  auto* bytes = reinterpret_cast<unsigned char*>(block) + kGroupFolderTypeOffset;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(groupType >> (8 * i));
  return block;
}

UInt32 GroupFolderType(const void* payload, CFIndex length) {
  if (payload == nullptr || GroupPayloadLength(payload, length) < kGroupFolderTypeOffset + 4) return 0;
  const auto* bytes = static_cast<const unsigned char*>(payload) + kGroupFolderTypeOffset;
  return UInt32(bytes[0]) | UInt32(bytes[1]) << 8 | UInt32(bytes[2]) << 16 | UInt32(bytes[3]) << 24;
}

Str63 GroupFolderName(const void* payload, CFIndex length) {
  length = GroupPayloadLength(payload, length);
  if (payload == nullptr || length <= kGroupFolderNameOffset) return Str63();
  const auto* bytes = static_cast<const unsigned char*>(payload) + kGroupFolderNameOffset;
  const CFIndex count = std::min<CFIndex>({CFIndex(bytes[0]), length - kGroupFolderNameOffset - 1, 63});
  return Str63(std::string_view(reinterpret_cast<const char*>(bytes + 1), size_t(count)));
}

CFIndex GroupPayloadLength(const void* payload, CFIndex length) {
  if (payload == nullptr || length <= 0) return 0;
  Ptr block = static_cast<Ptr>(const_cast<void*>(payload));
  return IsPointerValid(block) ? std::min<CFIndex>(length, GetPtrSize(block)) : length;
}

CFIndex GroupPayloadLength(const void* payload) {
  Ptr block = static_cast<Ptr>(const_cast<void*>(payload));
  return payload != nullptr && IsPointerValid(block) ? CFIndex(GetPtrSize(block)) : 0;
}

Boolean GrowGroupPayload(NodeInfoPtr node, CFIndex size) {
  if (node == nullptr || size <= 0 || size > 0x7fffffff) return false;
  const CFIndex have = GroupPayloadLength(node->DATA, node->DATALENGTH);
  Ptr block = static_cast<Ptr>(node->DATA);
  if (have >= size && IsPointerValid(block) && GetPtrSize(block) >= size) {
    if (node->DATALENGTH < size) node->DATALENGTH = SInt32(size);
    return true;
  }
  Ptr grown = NewPtrClear(Size(size));
  if (grown == nullptr) return false;
  if (have > 0) std::memcpy(grown, node->DATA, size_t(std::min(have, size)));
  if (IsPointerValid(block)) DisposePtr(block);
  node->DATA = grown;
  node->DATALENGTH = SInt32(size);
  return true;
}

void* TranslateBrowserGroupNode(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length, void* context) {
  auto* group = static_cast<TBrowserGroup*>(context);
  return group != nullptr ? group->TranslateNode(node, direction, data, length) : nullptr;
}

namespace {

// Whether a new row placed at the item lands in the container: the item is
// the container itself or one of its direct children.
Boolean PlacesInto(SInt32 item, SInt32 container, ControlRef view) {
  if (item == container) return true;
  NodeInfoPtr parent = BrackenrowGetNodeParent(item, view);
  return parent != nullptr && parent->INDEX == container;
}

// A list that arranges its rows puts a new one beside the row under the
// mouse or the selected row: that row may lie in another group or folder.
void KeepNewRowInside(ControlRef view, SInt32 container) {
  if (NodeInfoPtr hover = BrackenrowGetHover(view); hover && !PlacesInto(hover->INDEX, container, view))
    BrackenrowClearHover(view);
  if (NodeInfoPtr selected = BrackenrowGetSelection(view); selected && !PlacesInto(selected->INDEX, container, view))
    Err = SetDataBrowserSelectedItems(view, 0, nullptr, kDataBrowserItemsAssign);
}

// Rows read from a file reach the list's release hook like new ones.
void AssociateAll(CFTreeRef tree, ControlRef view) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    BrackenrowAssociateNode(BrackenrowGetNode(child), view);
    AssociateAll(child, view);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TBrowserGroup

void TBrowserGroup::Initialize(const Str63& name, const Str63& title, UInt32 itemType, OSType iconCreator,
                               OSType iconType) {
  NAME = name;
  TITLE = title;
  ITEMTYPE = itemType;
  ICONCREATOR = iconCreator;
  ICONTYPE = iconType;
  ROOTITEM = 0;
}

SInt32 TBrowserGroup::NewItem(void* data, SInt32 length, SInt32 container) {
  if (BROWSER == nullptr) return 0;
  ControlRef view = BROWSER->VIEW;
  if (container == 0) container = ROOTITEM;
  Err = OpenDataBrowserContainer(view, DataBrowserItemID(container));
  KeepNewRowInside(view, container);
  SwapPointer(data, length);
  const SInt32 item = BROWSER->NewItem(data, length, ITEMTYPE, container);
  const DataBrowserItemID id = DataBrowserItemID(item);
  if (item != 0) Err = SetDataBrowserSelectedItems(view, 1, &id, kDataBrowserItemsAssign);
  return item;
}

SInt32 TBrowserGroup::NewFolder(const Str63& name, SInt32 container) {
  if (BROWSER == nullptr) return 0;
  ControlRef view = BROWSER->VIEW;
  if (container == 0) container = ROOTITEM;
  Err = OpenDataBrowserContainer(view, DataBrowserItemID(container));
  KeepNewRowInside(view, container);
  Err = SetDataBrowserSelectedItems(view, 0, nullptr, kDataBrowserItemsAssign);
  Ptr payload = NewGroupFolderData(name, ITEMTYPE);
  if (payload == nullptr) return 0;
  const SInt32 item = BROWSER->NewContainer(payload, kGroupFolderDataSize, kGroupBrowserFolderType, container);
  const DataBrowserItemID id = DataBrowserItemID(item);
  if (item != 0) Err = SetDataBrowserSelectedItems(view, 1, &id, kDataBrowserItemsAssign);
  return item;
}

void TBrowserGroup::GetDisplay(NodeInfoPtr, IconRef& icon, Str63& name) {
  icon = nullptr;
  name.Clear();
}

void TBrowserGroup::GetStandardDisplay(NodeInfoPtr node, UInt32 type, IconRef& icon, Str63& name) {
  icon = nullptr;
  name.Clear();
  if (type == kGroupBrowserGroupType) {
    if (GetIconRef(kOnSystemDisk, ICONCREATOR, ICONTYPE, &icon) != noErr) icon = nullptr;
    name = TITLE;
  } else if (type == kGroupBrowserFolderType) {
    if (GetIconRef(kOnSystemDisk, kSystemIconsCreator, kGenericFolderIcon, &icon) != noErr) icon = nullptr;
    if (node != nullptr) name = GroupFolderName(node->DATA, node->DATALENGTH);
  }
}

void TBrowserGroup::Save() {
  FSRef file;
  if (BROWSER == nullptr || ROOTITEM == 0 || GetResourceFile(file) != noErr) {
    Err = noErr;
    return;
  }
  CFTreeRef tree = BrackenrowGetTree(BROWSER->VIEW);
  CFTreeRef subtree = tree != nullptr ? CFTreeRecurseGetChildAtIndex(tree, ROOTITEM) : nullptr;
  // A miss answers the whole tree: never write that as this group's file.
  NodeInfoPtr root = BrackenrowGetNode(subtree);
  if (root == nullptr || root->INDEX != ROOTITEM) {
    Err = noErr;
    return;
  }
  const OSStatus status = CFTreeWritePropertyList(file, subtree, TranslateBrowserGroupNode, this);
  // The rows stay as they are: the next save writes them again.
  ReportFileNotSaved(FSGetActualName(file), status);
  Err = status;
}

void TBrowserGroup::Load(CFTreeRef tree) {
  if (BROWSER == nullptr || tree == nullptr || ROOTITEM == 0) return;
  AssociateAll(tree, BROWSER->VIEW);
  BROWSER->CopyTree(tree, ROOTITEM, 0);
}

// ---------------------------------------------------------------------------
// TGroupBrowser

namespace {

TBrowserGroup* GroupAt(CFArrayRef groups, CFIndex i) {
  return static_cast<TBrowserGroup*>(const_cast<void*>(CFArrayGetValueAtIndex(groups, i)));
}

CFIndex GroupCount(CFArrayRef groups) { return groups != nullptr ? CFArrayGetCount(groups) : 0; }

// The group type a row stands for: a folder's stored type, a group row's
// item type, else the row's own type.
UInt32 RowGroupType(UInt32 type, const void* data, CFIndex length) {
  if (type == kGroupBrowserFolderType) return GroupFolderType(data, length);
  if (type == kGroupBrowserGroupType) return data != nullptr ? static_cast<const TBrowserGroup*>(data)->ITEMTYPE : 0;
  return type;
}

Boolean SamePayload(CFTreeRef, void* query, NodeInfoPtr, void* data, void*) { return data == query; }

// The record of a row, when only its payload is known.
NodeInfoPtr NodeOfPayload(ControlRef view, void* data) {
  CFTreeRef tree = BrackenrowGetTree(view);
  if (tree == nullptr || data == nullptr) return nullptr;
  return BrackenrowGetNode(BrackenrowSearch(tree, SamePayload, data, nullptr));
}

// Whether the drag carries rows of this very list view: those are moved by
// the tree library itself.
Boolean DragFromView(DragRef drag, ControlRef view) {
  UInt16 count = 0;
  if (CountDragItems(drag, &count) != noErr) return false;
  for (UInt16 i = 1; i <= count; ++i) {
    DragItemRef ref = 0;
    if (GetDragItemReferenceNumber(drag, i, &ref) != noErr) continue;
    FlavorFlags flags = 0;
    if (GetFlavorFlags(drag, ref, kBrackenrowItemDragFlavor, &flags) != noErr) continue;
    BrackenrowDragSource source{};
    Size size = sizeof source;
    if (GetFlavorData(drag, ref, kBrackenrowSourceDragFlavor, &source, &size, 0) == noErr && size == sizeof source &&
        source.process == SInt64(getpid()) && source.browser == view)
      return true;
  }
  return false;
}

struct CollectContext {
  CFMutableArrayRef items;
  Boolean data;
};

void CollectNode(CFTreeRef, NodeInfoPtr node, void* context) {
  auto* collect = static_cast<CollectContext*>(context);
  Ptr block = nullptr;
  if (collect->data) {
    // A row without payload has nothing to copy.
    if (node->DATA == nullptr || node->DATALENGTH <= 0) return;
    block = NewPtrCopy(node->DATA, node->DATALENGTH);
  } else {
    block = NewPtrCopy(node, sizeof(NodeInfo));
  }
  if (block != nullptr) CFArrayAppendValue(collect->items, block);
}

}  // namespace

void TGroupBrowser::Release() {
  if (GROUPS != nullptr) CFRelease(GROUPS);
  GROUPS = nullptr;
  DROPGROUP = nullptr;
  TBrowser::Release();
}

void TGroupBrowser::AddGroup(TBrowserGroup* group) {
  if (group == nullptr) return;
  if (GROUPS == nullptr) GROUPS = CFArrayCreateMutable(nullptr, 0, nullptr);
  group->BROWSER = this;
  CFArrayAppendValue(GROUPS, group);
  group->ROOTITEM = NewContainer(group, 0, kGroupBrowserGroupType, 0);
  // A browser that copies payloads would have stored an empty block: the
  // group row must hold the object itself.
  NodeInfoPtr row = BrackenrowGetNodeAtIndex(group->ROOTITEM, VIEW);
  if (row != nullptr && row->DATA != group) {
    if (IsPointerAllocated(row->DATA)) DisposePtr(static_cast<Ptr>(row->DATA));
    row->DATA = group;
    row->DATALENGTH = 0;
  }
}

void TGroupBrowser::SaveGroups() {
  BeginFileSaveReport();
  OSStatus status = noErr;
  for (CFIndex i = 0; i < GroupCount(GROUPS); ++i) {
    GroupAt(GROUPS, i)->Save();
    if (status == noErr) status = Err;
  }
  EndFileSaveReport();
  Err = status;
}

void TGroupBrowser::LoadGroups() {
  for (CFIndex i = 0; i < GroupCount(GROUPS); ++i) {
    TBrowserGroup* group = GroupAt(GROUPS, i);
    FSRef file;
    if (group->GetResourceFile(file) != noErr) continue;
    CFTreeRef tree = CFTreeReadPropertyList(file, TranslateBrowserGroupNode, group);
    if (tree == nullptr) continue;
    group->Load(tree);
    CFRelease(tree);
  }
}

TBrowserGroup* TGroupBrowser::FindGroupByType(UInt32 type) {
  for (CFIndex i = 0; i < GroupCount(GROUPS); ++i)
    if (GroupAt(GROUPS, i)->ITEMTYPE == type) return GroupAt(GROUPS, i);
  return nullptr;
}

TBrowserGroup* TGroupBrowser::FindGroupByItem(NodeInfoPtr node) {
  if (node == nullptr) return nullptr;
  if (StandardGroupBrowserType(node->DATATYPE) && node->DATA == nullptr) return nullptr;
  return FindGroupByType(RowGroupType(node->DATATYPE, node->DATA, node->DATALENGTH));
}

TBrowserGroup* TGroupBrowser::GetSelectedGroup() {
  DataBrowserItemID first = kDataBrowserNoItem, last = kDataBrowserNoItem;
  if (GetDataBrowserSelectionAnchor(VIEW, &first, &last) != noErr || first == kDataBrowserNoItem) return nullptr;
  return FindGroupByItem(BrackenrowGetNodeAtIndex(SInt32(first), VIEW));
}

CFArrayRef TGroupBrowser::ReturnGroupItems(UInt32 type, Boolean data) {
  TBrowserGroup* group = FindGroupByType(type);
  CFTreeRef tree = BrackenrowGetTree(VIEW);
  if (group == nullptr || group->ROOTITEM == 0 || tree == nullptr) return nullptr;
  CFTreeRef subtree = CFTreeRecurseGetChildAtIndex(tree, group->ROOTITEM);
  NodeInfoPtr root = BrackenrowGetNode(subtree);
  if (root == nullptr || root->INDEX != group->ROOTITEM) return nullptr;
  CollectContext collect{CFArrayCreatePascal(), data};
  CFTreeApplyFunctionToAllChildren(subtree, CollectNode, true, &collect);
  if (CFArrayGetCount(collect.items) == 0) {
    CFRelease(collect.items);
    return nullptr;
  }
  return collect.items;
}

void TGroupBrowser::ApplyFunction(UInt32 type, Boolean recursive, BrackenrowApplierFunction applier,
                                  void* context) {
  TBrowserGroup* group = FindGroupByType(type);
  if (group == nullptr || group->ROOTITEM == 0 || applier == nullptr) return;
  BrackenrowApplyFunction(VIEW, applier, group->ROOTITEM, kDataBrowserItemAnyState, recursive, context);
}

Str63 TGroupBrowser::GetFolderName(const void* payload) {
  NodeInfoPtr node = NodeOfPayload(VIEW, const_cast<void*>(payload));
  return node != nullptr ? GroupFolderName(node->DATA, node->DATALENGTH)
                         : GroupFolderName(payload, GroupPayloadLength(payload));
}

void TGroupBrowser::RenameFolder(const Str63& name, void* payload) {
  if (payload == nullptr) return;
  // A folder row read short is made whole first; a payload that is no row's
  // is written only when it has room for the name.
  if (NodeInfoPtr node = NodeOfPayload(VIEW, payload)) {
    if (GrowGroupPayload(node, kGroupFolderDataSize)) WriteFolderName(node->DATA, name);
  } else if (GroupPayloadLength(payload) >= kGroupFolderNameOffset + 64) {
    WriteFolderName(payload, name);
  }
}

void TGroupBrowser::ItemNotification(void* data, UInt32 type, DataBrowserItemID item,
                                     DataBrowserItemNotification message) {
  if (message != kDataBrowserItemDoubleClicked) return;
  if (StandardGroupBrowserType(type)) SetFocus(SInt32(item));
  if (TBrowserGroup* group = FindGroupByType(type)) {
    group->CURRENTNODE = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
    group->OpenItem(data);
  }
}

void TGroupBrowser::SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16, UInt16 menuItem) {
  MenuCommand command = 0;
  if (GetMenuItemCommandID(menu, menuItem, &command) != noErr) command = 0;
  if (node == nullptr) return;
  // Every row, folders and group rows included, goes to the group it lies in.
  TBrowserGroup* group = FindGroupByItem(node);
  if (group == nullptr) return;
  group->CURRENTNODE = node;
  HICommand hiCommand{};
  hiCommand.commandID = command;
  hiCommand.menu.menuRef = menu;
  hiCommand.menu.menuItemIndex = menuItem;
  group->ProcessCommand(node->DATA, node->DATATYPE, hiCommand);
}

Boolean TGroupBrowser::AddDragItem(void* data, UInt32 type, DataBrowserItemID, DragRef drag, DragItemRef itemRef) {
  if (type == kGroupBrowserGroupType) return false;
  if (TBrowserGroup* group = FindGroupByType(type)) group->AddItemFlavor(data, type, drag, itemRef);
  return true;
}

Boolean TGroupBrowser::AcceptDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) {
  DROPGROUP = nullptr;
  if (node == nullptr) return AcceptItem(data, drag, type);
  TBrowserGroup* owner = FindGroupByItem(node);
  if (owner == nullptr) return false;
  const UInt32 targetType = RowGroupType(node->DATATYPE, node->DATA, node->DATALENGTH);
  const UInt32 draggedType = type == kGroupBrowserFolderType ? GroupFolderType(data, GroupPayloadLength(data)) : UInt32(type);
  const Boolean accepted =
      (owner->ITEMTYPE == targetType && owner->ITEMTYPE == draggedType) || owner->AcceptItem(data, drag, type);
  if (accepted) DROPGROUP = owner;
  return accepted;
}

void TGroupBrowser::ReceiveDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) {
  if (DragFromView(drag, VIEW)) return;
  if (node == nullptr) {
    ReceiveItem(data, drag, type);
    return;
  }
  TBrowserGroup* group = DROPGROUP;
  if (group == nullptr) return;
  if (node->DATATYPE == kGroupBrowserGroupType ||
      (node->DATATYPE == kGroupBrowserFolderType && GroupFolderType(node->DATA, node->DATALENGTH) == group->ITEMTYPE) ||
      node->DATATYPE == group->ITEMTYPE)
    group->ReceiveItem(data, drag, type);
}

Boolean TGroupBrowser::RemoveItem(void* data, UInt32 type, DataBrowserItemID item) {
  if (type == kGroupBrowserGroupType) return false;
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
  NodeInfo probe{};
  if (node == nullptr) {
    probe.DATA = data;
    probe.DATATYPE = type;
    node = &probe;
  }
  TBrowserGroup* group = FindGroupByItem(node);
  return group != nullptr ? group->RemoveItem(data, type) : true;
}

Boolean TGroupBrowser::GetRowDisplay(NodeInfoPtr node, IconRef& icon, Str63& name, TBrowserGroup*& group) {
  icon = nullptr;
  name.Clear();
  group = nullptr;
  if (node == nullptr) return false;
  if (StandardGroupBrowserType(node->DATATYPE)) {
    group = FindGroupByItem(node);
    if (group == nullptr) return false;
    group->GetStandardDisplay(node, node->DATATYPE, icon, name);
    if (node->DATATYPE == kGroupBrowserGroupType && !name.empty()) {
      CFStringRef title = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman);
      if (title != nullptr) {
        CFMutableStringRef upper = CFStringCreateMutableCopy(nullptr, 0, title);
        CFStringUppercase(upper, nullptr);
        Str63 cut = CFStringToPascal(upper);
        if (!cut.empty()) name = cut;
        CFRelease(upper);
        CFRelease(title);
      }
    }
  } else {
    group = FindGroupByType(node->DATATYPE);
    if (group == nullptr) return false;
    group->GetDisplay(node, icon, name);
  }
  // A name is enough: a row without an icon shows its name in the icon's place.
  if (!name.empty()) return true;
  if (icon != nullptr) ReleaseIconRef(icon);
  icon = nullptr;
  return false;
}

void TGroupBrowser::DrawItem(void* data, UInt32 type, Boolean container, DataBrowserItemID item,
                             DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                             CGContextRef context) {
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
  NodeInfo probe{};
  if (node == nullptr) {
    probe.INDEX = SInt32(item);
    probe.DATA = data;
    probe.DATATYPE = type;
    probe.CONTAINER = container;
    node = &probe;
  }
  IconRef icon = nullptr;
  Str63 name;
  TBrowserGroup* group = nullptr;
  if (!GetRowDisplay(node, icon, name, group)) return;
  CFStringRef text = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman);
  if (type == kGroupBrowserGroupType)
    StandardCaptionPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  else
    StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (text != nullptr) CFRelease(text);
  if (icon != nullptr) ReleaseIconRef(icon);
  // The group's own marks go on its items only: a group or folder row holds
  // no payload of the group's kind.
  if (type == group->ITEMTYPE) {
    CGContextSaveGState(context);
    group->DrawItem(data, (state & kDataBrowserItemIsSelected) != 0, item, property, state, bounds, context);
    CGContextRestoreGState(context);
  }
}

Boolean TGroupBrowser::HitTest(void* data, UInt32 type, CGRect itemRect, CGRect mouseRect) {
  NodeInfoPtr node = StandardGroupBrowserType(type) ? nullptr : NodeOfPayload(VIEW, data);
  NodeInfo probe{};
  if (node == nullptr || node->DATATYPE != type) {
    probe.DATA = data;
    probe.DATATYPE = type;
    node = &probe;
  }
  IconRef icon = nullptr;
  Str63 name;
  TBrowserGroup* group = nullptr;
  if (!GetRowDisplay(node, icon, name, group)) return true;
  const Boolean hit = StandardTextPropertyHitTest(Str255(name), VIEW, itemRect, mouseRect);
  if (icon != nullptr) ReleaseIconRef(icon);
  return hit;
}
