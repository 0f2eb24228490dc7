#include "TProjectBrowserUnit.h"

#include <cstring>

#include "CFString.h"
#include "HIView.h"
#include "LaunchServices.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TFileInfoUnit.h"
#include "TProjectUnit.h"
#include "brackenrow/Brackenrow.h"

namespace {

constexpr OSType kNodeFlavor = 'NODE';

// The short string a payload begins with, cut to the bytes it has.
Str63 PayloadShortName(const void* data) {
  return DecodeProjectFolderName(static_cast<const UInt8*>(data), GroupPayloadLength(data));
}

void DisableCommand(MenuRef menu, MenuCommand command) {
  MenuItemIndex index = 0;
  if (GetIndMenuItemWithCommandID(menu, command, 1, nullptr, &index) == noErr && index != 0)
    DisableMenuItem(menu, index);
}

void ChangeCommand(MenuRef menu, MenuCommand from, MenuCommand to) {
  MenuItemIndex index = 0;
  if (GetIndMenuItemWithCommandID(menu, from, 1, nullptr, &index) == noErr && index != 0)
    SetMenuItemCommandID(menu, index, to);
}

constexpr MenuItemIndex kOpenWithItem = 5;

}  // namespace

Boolean DragHasFlavor(DragRef drag, FlavorType flavor) {
  UInt16 count = 0;
  if (drag == nullptr || CountDragItems(drag, &count) != noErr) return false;
  for (UInt16 i = 1; i <= count; ++i) {
    DragItemRef ref = 0;
    FlavorFlags flags = 0;
    if (GetDragItemReferenceNumber(drag, i, &ref) == noErr && GetFlavorFlags(drag, ref, flavor, &flags) == noErr)
      return true;
  }
  return false;
}

void TProjectBrowser::Release() {
  SaveGroups();
  if (openWithMenu != nullptr) ReleaseMenu(openWithMenu);
  openWithMenu = nullptr;
  if (project != nullptr && project->browser == this) {
    project->browser = nullptr;
    project->browserControl = nullptr;
  }
  TGroupBrowser::Release();
}

void TProjectBrowser::ItemNotification(void* data, UInt32 type, DataBrowserItemID item,
                                       DataBrowserItemNotification message) {
  if (message == kDataBrowserItemSelected && type == kProjectSourceType && data != nullptr &&
      GroupPayloadLength(data) >= kProjectItemDataSize) {
    // Choosing the file again is taken as having seen its failed upload (a
    // row read short has none to clear).
    std::memset(static_cast<UInt8*>(data) + 76, 0, 4);
    UpdateItem(SInt32(item), 0);
  }
  TGroupBrowser::ItemNotification(data, type, item, message);
}

void TProjectBrowser::ReleaseItem(void* data, UInt32 type) {
  // Closing the project releases every item: settings stay then. Only file
  // items carry settings; the entry goes with the last item of its name.
  if (project == nullptr || project->releasing || project->projectPreferences == nullptr) return;
  if (type != kProjectSourceType && type != kProjectResourceType) return;
  const Str63 name = PayloadShortName(data);
  if (name.empty()) return;
  if (GetItemByName(kProjectSourceType, name) != 0 || GetItemByName(kProjectResourceType, name) != 0) return;
  project->projectPreferences->RemoveValue(FileInfoKey(name));
}

SInt32 TProjectBrowser::GetItemByName(UInt32 type, const Str63& name) {
  auto* group = static_cast<TProjectGroup*>(FindGroupByType(type));
  if (group == nullptr) return 0;
  for (NodeInfoPtr node : group->Items()) {
    if (node->DATATYPE == kGroupBrowserFolderType || node->DATA == nullptr) continue;
    const Str63 itemName = node->DATATYPE == kProjectSnippetType
                               ? TSnippetGroup::GetName(node->DATA, node->DATALENGTH)
                               : PayloadShortName(node->DATA);
    if (itemName == name) return node->INDEX;
  }
  return 0;
}

MenuRef TProjectBrowser::GetContextualMenu(ItemArrayHandle items, SInt16 count) {
  if (openWithMenu != nullptr) ReleaseMenu(openWithMenu);
  openWithMenu = nullptr;
  if (items == nullptr || count <= 0 || nib == nullptr) return nullptr;
  // The last selected item decides the menu.
  NodeInfoPtr node = nullptr;
  for (SInt16 i = 0; i < count; ++i)
    if (NodeInfoPtr n = BrackenrowGetNodeAtIndex(SInt32((*items)[i]), VIEW)) node = n;
  if (node == nullptr) return nullptr;
  MenuRef menu = nullptr;
  if (CreateMenuFromNib(nib, CFSTR("Project Contextual Menu"), &menu) != noErr || menu == nullptr) return nullptr;
  switch (node->DATATYPE) {
    case kProjectSourceType:
    case kProjectResourceType: {
      FSRef file;
      if (count == 1 && project != nullptr &&
          project->ResolveFile(PayloadShortName(node->DATA), file)) {
        openWithMenu = CreateOpenWithMenu(file);
        if (openWithMenu != nullptr) SetMenuItemHierarchicalMenu(menu, kOpenWithItem, openWithMenu);
      }
      if (count > 1) DisableCommand(menu, 'opnA');
      break;
    }
    case kProjectBookmarkType:
      ChangeCommand(menu, 'fINF', 'gINF');
      for (MenuCommand c : {'RENM', 'revF', 'opnA', 'uplo'}) DisableCommand(menu, c);
      break;
    case kProjectSnippetType:
    case kProjectCommandType:
      ChangeCommand(menu, 'fINF', 'gINF');
      for (MenuCommand c : {'RENM', 'revF', 'opnF', 'opnW', 'opnA', 'uplo'}) DisableCommand(menu, c);
      break;
    default:
      for (MenuCommand c : {'revF', 'opnF', 'opnW', 'opnA', 'fINF', 'uplo'}) DisableCommand(menu, c);
      break;
  }
  SetContextualMenuFont(menu);
  return menu;
}

void TProjectBrowser::SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem) {
  if (menuID == kOpenWithMenuID) {
    // The chosen item names the application and the document; an item
    // without either opens nothing.
    FSRef application{}, document{};
    if (openWithMenu != nullptr &&
        GetMenuItemProperty(openWithMenu, menuItem, kProjectDialogsCreator, kOpenWithApplicationTag,
                            sizeof application, nullptr, &application) == noErr &&
        GetMenuItemProperty(openWithMenu, menuItem, kProjectDialogsCreator, kOpenWithDocumentTag, sizeof document,
                            nullptr, &document) == noErr) {
      LSLaunchFSRefSpec launch{};
      launch.appRef = &application;
      launch.numDocs = 1;
      launch.itemRefs = &document;
      Err = LSOpenFromRefSpec(&launch, nullptr);
    }
  } else {
    TGroupBrowser::SelectContextualMenu(node, menu, menuID, menuItem);
  }
  if (openWithMenu != nullptr) ReleaseMenu(openWithMenu);
  openWithMenu = nullptr;
}

void TProjectBrowser::DrawItem(void* data, UInt32 type, Boolean container, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                               CGContextRef context) {
  if (type != kProjectSnippetType && type != kProjectBookmarkType && type != kProjectCommandType) {
    TGroupBrowser::DrawItem(data, type, container, item, property, state, bounds, context);
    return;
  }
  // The general drawing passes over rows without an icon: these rows have
  // only their names.
  TBrowserGroup* group = FindGroupByType(type);
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
  if (group == nullptr || node == nullptr) return;
  IconRef icon = nullptr;
  Str63 name;
  group->GetDisplay(node, icon, name);
  CFStringRef text = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (text != nullptr) CFRelease(text);
  if (icon != nullptr) ReleaseIconRef(icon);
}

void TProjectBrowser::EventLoopTimer() {
  if (project == nullptr) return;
  if (project->transfers.empty())
    project->animationStep = 0;
  else
    ++project->animationStep;
  if (project->animationStep <= 0) return;
  for (SInt32 index : project->transfers) {
    NodeInfoPtr parent = BrackenrowGetNodeParent(index, VIEW);
    const DataBrowserItemID id = DataBrowserItemID(index);
    UpdateDataBrowserItems(VIEW, parent != nullptr ? DataBrowserItemID(parent->INDEX) : kDataBrowserNoItem, 1, &id,
                           kDataBrowserItemNoProperty, kDataBrowserNoItem);
  }
}

Boolean TProjectBrowser::AcceptItem(void*, DragRef drag, UInt32 type) {
  return type == kDragFlavorTypeHFS && !DragHasFlavor(drag, kNodeFlavor);
}

Boolean TProjectBrowser::ReceiveItem(void* data, DragRef drag, UInt32 type) {
  TBrowserGroup* sources = FindGroupByType(kProjectSourceType);
  return sources != nullptr ? sources->ReceiveItem(data, drag, type) : false;
}

void TProjectBrowser::SetFocus(SInt32 index) {
  if (index != 0) BrackenrowFocusAtIndex(index, VIEW);
  if (focusMenu == nullptr) return;
  DeleteMenuItems(focusMenu, 1, CountMenuItems(focusMenu));
  ControlRef control = VIEW;
  UInt32 indent = 0;
  auto append = [&](CFStringRef text, IconRef icon, SInt32 item) {
    MenuItemIndex at = 0;
    AppendMenuItemTextWithCFString(focusMenu, text != nullptr ? text : CFSTR(""), 0, kHICommandFocusBrowser, &at);
    if (text != nullptr) CFRelease(text);
    SetMenuItemProperty(focusMenu, at, kBrowserPropertyCreator, kBrowserMenuItemFocusIndexTag, sizeof item, &item);
    SetMenuItemProperty(focusMenu, at, kBrowserPropertyCreator, kBrowserMenuItemControlTag, sizeof control, &control);
    if (icon != nullptr) SetMenuItemIconHandle(focusMenu, at, kMenuIconRefType, reinterpret_cast<Handle>(icon));
    SetMenuItemIndent(focusMenu, at, indent++);
  };
  if (index != 0) {
    if (CFArrayRef parents = BrackenrowCreateParentArray(index, VIEW)) {
      for (CFIndex i = 0; i < CFArrayGetCount(parents); ++i) {
        auto* node = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(parents, i)));
        if (node == nullptr || !StandardGroupBrowserType(node->DATATYPE)) continue;
        TBrowserGroup* group = FindGroupByItem(node);
        if (group == nullptr) continue;
        IconRef icon = nullptr;
        Str63 name;
        group->GetStandardDisplay(node, node->DATATYPE, icon, name);
        append(CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman), icon, node->INDEX);
        if (icon != nullptr) ReleaseIconRef(icon);
      }
      CFRelease(parents);
    }
  }
  // The project itself: the whole tree (item 0) again.
  IconRef icon = FSGetIcon(bundle);
  // Its name in full, in any script.
  const std::string name = FSGetFullName(bundle);
  append(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(name.data()), CFIndex(name.size()),
                                 kCFStringEncodingUTF8, false),
         icon, 0);
  if (icon != nullptr) ReleaseIconRef(icon);
  CheckMenuItem(focusMenu, 1, true);
  if (WindowRef window = HIViewGetWindow(VIEW)) {
    if (HIViewRef toolbar = HIViewFind(129, 'TOOL', window)) HIViewSetNeedsDisplay(toolbar, true);
  }
  MenuRef menu = focusMenu;
  SetControlProperty(VIEW, kBrowserPropertyCreator, kBrowserPropertyFocusMenuTag, sizeof menu, &menu);
}
