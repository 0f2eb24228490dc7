// The project's five groups: their files, display, opening, renaming, drags,
// commands and the drawing of source rows.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "CFPascal.h"
#include "CFString.h"
#include "CGContextMore.h"
#include "HITheme.h"
#include "LaunchServices.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TCodeSenseLibraryUnit.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorTabsUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileInfoUnit.h"
#include "TProjectBrowserUnit.h"
#include "TProjectDialogsUnit.h"
#include "TProjectUnit.h"
#include "TWindowUnit.h"
#include "TSourceDocumentUnit.h"
#include "TSourceEditorUnit.h"
#include "brackenrow/Browser.h"
#include "brackenrow/Drawing.h"

namespace {

ProjectDialogHooks gDialogHooks{};

Boolean IsFileItemType(UInt32 type) { return type == kProjectSourceType || type == kProjectResourceType; }


// The group's subtree in the browser's tree; nil before the group is added.
CFTreeRef GroupSubtree(const TBrowserGroup* group) {
  if (group->BROWSER == nullptr || group->ROOTITEM == 0) return nullptr;
  CFTreeRef tree = BrackenrowGetTree(group->BROWSER->VIEW);
  CFTreeRef subtree = tree != nullptr ? CFTreeRecurseGetChildAtIndex(tree, group->ROOTITEM) : nullptr;
  NodeInfoPtr root = BrackenrowGetNode(subtree);
  return root != nullptr && root->INDEX == group->ROOTITEM ? subtree : nullptr;
}

void Collect(CFTreeRef tree, std::vector<NodeInfoPtr>& nodes) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) {
    if (NodeInfoPtr node = BrackenrowGetNode(child)) nodes.push_back(node);
    Collect(child, nodes);
  }
}

void CollectIndexes(CFTreeRef tree, std::set<SInt32>& indexes) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) {
    if (NodeInfoPtr node = BrackenrowGetNode(child)) indexes.insert(node->INDEX);
    CollectIndexes(child, indexes);
  }
}

// Gives every node of the loaded tree whose index is taken a fresh one, its
// children their parent's new index, and a file item its own index.
void Renumber(CFTreeRef tree, SInt32 parentIndex, std::set<SInt32>& taken, SInt32& next, ControlRef view) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) {
    NodeInfoPtr node = BrackenrowGetNode(child);
    if (node == nullptr) continue;
    if (parentIndex != 0) node->PARENT = parentIndex;
    SInt32 newParent = 0;
    if (node->INDEX == 0 || taken.count(node->INDEX) > 0) {
      while (taken.count(next) > 0) ++next;
      node->INDEX = next;
      newParent = next;
      // A record read short has no room for its index.
      if (IsFileItemType(node->DATATYPE) && GroupPayloadLength(node->DATA, node->DATALENGTH) >= kProjectItemDataSize) {
        UInt32 index = UInt32(node->INDEX);
        std::memcpy(static_cast<UInt8*>(node->DATA) + 64, &index, 4);
      }
    }
    taken.insert(node->INDEX);
    // Items read from a file are told to the tree's release hook like new ones.
    BrackenrowAssociateNode(node, view);
    Renumber(child, newParent, taken, next, view);
  }
}

Str63 PayloadName(const NodeInfoPtr node) {
  if (node == nullptr || node->DATA == nullptr) return Str63();
  return DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), GroupPayloadLength(node->DATA, node->DATALENGTH))
      .name;
}

// The short string a payload begins with (its name or title), cut to the
// bytes the payload has.
Str63 ShortName(const void* data) {
  return DecodeProjectFolderName(static_cast<const UInt8*>(data), GroupPayloadLength(data));
}

// A payload's decoded record, read no further than the payload goes.
ProjectItemData ItemOf(const void* data) {
  return DecodeProjectItemData(static_cast<const UInt8*>(data), GroupPayloadLength(data));
}

// A row whose file is not where the project looks: said, never silent.
void TellFileNotFound(const Str63& name) {
  UserNotificationDialog(Str255("The file \"" + name.str() + "\" could not be found in the project's folders."));
}

// The payload's text of a dragged 'utxt' flavour, as UTF-8.
std::string DraggedText(const void* data, DragRef drag) {
  (void)drag;
  if (data == nullptr || !IsPointerValid(static_cast<Ptr>(const_cast<void*>(data)))) return std::string();
  const Size size = GetPtrSize(static_cast<Ptr>(const_cast<void*>(data)));
  CFStringRef text = CFStringCreateWithCharacters(nullptr, static_cast<const UniChar*>(data), CFIndex(size / 2));
  if (text == nullptr) return std::string();
  CFIndex length = CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8) + 1;
  std::string result(size_t(length), '\0');
  if (!CFStringGetCString(text, result.data(), length, kCFStringEncodingUTF8)) result.clear();
  result.resize(std::strlen(result.c_str()));
  CFRelease(text);
  return result;
}

void AddTextFlavor(DragRef drag, DragItemRef item, const std::u16string& text) {
  AddDragItemFlavor(drag, item, 'utxt', text.data(), Size(text.size() * 2), 0);
}

std::u16string Utf16(const std::string& utf8) {
  CFStringRef string = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
  std::u16string result;
  if (string) {
    result.resize(size_t(CFStringGetLength(string)));
    CFStringGetCharacters(string, CFRangeMake(0, CFStringGetLength(string)), reinterpret_cast<UniChar*>(result.data()));
    CFRelease(string);
  }
  return result;
}

// The file of a dropped 'hfs ' flavour.
Boolean DroppedFile(const void* data, FSRef& file) {
  if (data == nullptr) return false;
  HFSFlavor flavor;
  std::memcpy(&flavor, data, sizeof flavor);
  return FSpMakeFSRef(&flavor.fileSpec, &file) == noErr;
}

// Exactly the option key is down during the drag: the dropped files are
// copied.
Boolean OptionKeyAlone(DragRef drag) {
  constexpr SInt16 kCommand = 0x0100, kShift = 0x0200, kOption = 0x0800, kControl = 0x1000;
  SInt16 modifiers = 0, down = 0, up = 0;
  if (drag == nullptr || GetDragModifiers(drag, &modifiers, &down, &up) != noErr) return false;
  return (modifiers & (kCommand | kShift | kOption | kControl)) == kOption;
}

}  // namespace

void ProjectSetDialogHooks(const ProjectDialogHooks* hooks) { gDialogHooks = hooks ? *hooks : ProjectDialogHooks{}; }
const ProjectDialogHooks& ProjectGetDialogHooks() { return gDialogHooks; }

// ---------------------------------------------------------------------------
// TProjectGroup

OSStatus TProjectGroup::GetResourceFile(FSRef& file) {
  if (owner == nullptr) return fnfErr;
  OSStatus status = GetProjectResourceFile(owner->bundle, NAME, file);
  if (status != fnfErr) return status;
  // A bundle without its Data folder gets one: the groups are never left
  // without a place to be saved.
  FSRef resources, data;
  if (FSGetSubFolder(owner->bundle, "Contents/Resources", resources) != noErr) return status;
  std::u16string name = u"Data";
  if (FSCreateDirectoryUnicode(&resources, name.size(), reinterpret_cast<const UniChar*>(name.data()), 0, nullptr,
                               &data, nullptr, nullptr) != noErr)
    return status;
  return GetProjectResourceFile(owner->bundle, NAME, file);
}

void TProjectGroup::Save() {
  FSRef file;
  if (owner != nullptr && BROWSER != nullptr && ROOTITEM != 0) {
    const OSStatus status = GetResourceFile(file);
    if (status != noErr) {
      ReportFileNotSaved(NAME, status);
      Err = status;
      return;
    }
  }
  TBrowserGroup::Save();
}

void TProjectGroup::Load(CFTreeRef tree) {
  if (BROWSER == nullptr || tree == nullptr) return;
  std::set<SInt32> taken;
  if (CFTreeRef whole = BrackenrowGetTree(BROWSER->VIEW)) CollectIndexes(whole, taken);
  SInt32 next = taken.empty() ? 1 : *taken.rbegin() + 1;
  Renumber(tree, 0, taken, next, BROWSER->VIEW);
  TBrowserGroup::Load(tree);
}

namespace {

// Whether a new row placed at the item lands in the container: the item is
// the container itself or one of its direct children.
Boolean PlacesInto(SInt32 item, SInt32 container, ControlRef view) {
  if (item == container) return true;
  NodeInfoPtr parent = BrackenrowGetNodeParent(item, view);
  return parent != nullptr && parent->INDEX == container;
}

void KeepInside(TBrowserGroup* group, SInt32 container) {
  if (group->BROWSER == nullptr) return;
  ControlRef view = group->BROWSER->VIEW;
  const SInt32 target = container != 0 ? container : group->ROOTITEM;
  if (NodeInfoPtr hover = BrackenrowGetHover(view); hover && !PlacesInto(hover->INDEX, target, view))
    BrackenrowClearHover(view);
  if (NodeInfoPtr selected = BrackenrowGetSelection(view); selected && !PlacesInto(selected->INDEX, target, view))
    SetDataBrowserSelectedItems(view, 0, nullptr, kDataBrowserItemsAssign);
}

}  // namespace

// A container that is not a folder of the group (gone, or another group's)
// stands for the group's root.
SInt32 OwnFolder(const TProjectGroup* group, SInt32 container) {
  if (container == 0) return 0;
  NodeInfoPtr node = group->GetNode(container);
  return node != nullptr && node->DATATYPE == kGroupBrowserFolderType ? container : 0;
}

SInt32 TProjectGroup::NewItem(void* data, SInt32 length, SInt32 container) {
  container = OwnFolder(this, container);
  KeepInside(this, container);
  return TBrowserGroup::NewItem(data, length, container);
}

SInt32 TProjectGroup::NewFolder(const Str63& name, SInt32 container) {
  container = OwnFolder(this, container);
  KeepInside(this, container);
  return TBrowserGroup::NewFolder(name, container);
}

std::vector<NodeInfoPtr> TProjectGroup::Items() const {
  std::vector<NodeInfoPtr> nodes;
  if (CFTreeRef subtree = GroupSubtree(this)) Collect(subtree, nodes);
  return nodes;
}

NodeInfoPtr TProjectGroup::GetNode(SInt32 index) const {
  for (NodeInfoPtr node : Items())
    if (node->INDEX == index) return node;
  return nullptr;
}

NodeInfoPtr TProjectGroup::NodeOfData(const void* data) const {
  if (data == nullptr) return nullptr;
  for (NodeInfoPtr node : Items())
    if (node->DATA == data) return node;
  return nullptr;
}

NodeInfoPtr TProjectGroup::GetFileItem(const Str63& name) const {
  for (NodeInfoPtr node : Items()) {
    if (!IsFileItemType(node->DATATYPE) || !node->DATA) continue;
    if (PayloadName(node) == name) return node;
  }
  return nullptr;
}

std::vector<Str63> TProjectGroup::ReturnGroupItems() const {
  std::vector<Str63> names;
  for (NodeInfoPtr node : Items())
    if (IsFileItemType(node->DATATYPE) && node->DATA) names.push_back(PayloadName(node));
  return names;
}

// ---------------------------------------------------------------------------
// Sources and Resources

void TFileGroup::GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) {
  icon = nullptr;
  name = PayloadName(node);
  FSRef file;
  if (owner != nullptr && !name.empty() && owner->ResolveFile(name, file)) {
    Str63 display = FSGetDisplayName(file);
    if (!display.empty()) name = display;
    icon = FSGetIcon(file);
  }
  if (icon == nullptr && GetIconRef(kOnSystemDisk, kSystemIconsCreator, kUnknownFSObjectIcon, &icon) != noErr)
    icon = nullptr;
}

void TFileGroup::ProcessCommand(void* data, UInt32 type, const HICommand& command) {
  if (owner == nullptr) return;
  if (type == kProjectFolderType) {
    if (command.commandID == 'RENM') owner->RenameItem(data, type, this);
    return;
  }
  if (type != ITEMTYPE) return;
  FSRef file;
  if (!owner->ResolveFile(ShortName(data), file)) {
    if (command.commandID == 'opnF' || command.commandID == 'opnW') TellFileNotFound(ShortName(data));
    return;
  }
  switch (command.commandID) {
    case 'fINF':
      if (EditorWindowGetHooks().OpenFileInfo) EditorWindowGetHooks().OpenFileInfo(owner, file);
      break;
    case 'opnF':
      // The project's sources are this program's documents: they open here,
      // as a double-click opens them.
      OpenItem(data);
      break;
    case 'opnW': {
      ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
      options.file = file;
      options.newWindow = true;
      options.projectMode = 1;
      SendOpenDocumentCommandWithOptions(options);
      break;
    }
    case 'revF': Err = FSRevealFile(file); break;
    case 'RENM': owner->RenameItem(data, type, this); break;
    default: break;
  }
}

void TFileGroup::RenameItem(void* data, const Str63& name, TWindow* window) {
  NodeInfoPtr node = NodeOfData(data);
  if (owner == nullptr || node == nullptr) return;
  Boolean onDisk = false;
  if (window != nullptr && window->window != nullptr) {
    if (HIViewRef box = HIViewFind(128, 'OPTI', window->window)) onDisk = GetControl32BitValue(box) != 0;
  }
  owner->RenameItem(this, node->INDEX, Str255(name), onDisk);
}

void TFileGroup::OpenItem(void* data) {
  FSRef file;
  if (owner == nullptr) return;
  if (!owner->ResolveFile(ShortName(data), file)) {
    TellFileNotFound(ShortName(data));
    return;
  }
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.file = file;
  options.projectMode = 1;
  SendOpenDocumentCommandWithOptions(options);
}

void TResourceGroup::OpenItem(void* data) {
  FSRef file;
  if (owner == nullptr || !owner->ResolveFile(ShortName(data), file)) return;
  if (FSConformsToUTIdentifier(file, "public.image"))
    SendOpenDocumentCommand(file, false);
  else
    Err = LSOpenFSRef(&file, nullptr);
}

Boolean TFileGroup::AcceptItem(void* data, DragRef drag, UInt32 type) {
  if (type != kDragFlavorTypeHFS) return false;
  FSRef file;
  if (!DroppedFile(data, file)) return false;
  SetThemeCursor(OptionKeyAlone(drag) ? kThemeCopyArrowCursor : kThemeArrowCursor);
  return GetDocumentType(file) == ITEMTYPE || FSIsFolder(file);
}

Boolean TFileGroup::ReceiveItem(void* data, DragRef drag, UInt32 type) {
  if (type != kDragFlavorTypeHFS || owner == nullptr) return false;
  FSRef file;
  if (DroppedFile(data, file)) {
    const Boolean copy = OptionKeyAlone(drag);
    if (FSIsFolder(file))
      AddFolderItems(file, copy);
    else
      owner->AddFile(file, copy);
  }
  SetThemeCursor(kThemeArrowCursor);
  return true;
}

void TFileGroup::AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) {
  FSRef file;
  if (type != ITEMTYPE || owner == nullptr || !owner->ResolveFile(ShortName(data), file)) return;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url != nullptr) {
    CFStringRef string = CFURLGetString(url);
    char buffer[1024];
    if (CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8))
      AddDragItemFlavor(drag, item, 'furl', buffer, Size(std::strlen(buffer)), 0);
    CFRelease(url);
  }
  AddTextFlavor(drag, item, Utf16(FSGetFullPath(file).str()));
}

void TFileGroup::AddFolderItems(const FSRef& folder, Boolean copy) {
  if (owner == nullptr) return;
  Str255 path = FSGetFullPath(folder);
  if (path.empty()) return;
  std::error_code error;
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(path.str(), error)) {
    std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] != '.') entries.push_back(entry.path().string());
  }
  if (error) return;  // a folder that cannot be listed adds nothing
  std::sort(entries.begin(), entries.end());
  owner->AddFolder(FSGetDisplayName(folder));
  if (BROWSER != nullptr) BrackenrowClearHover(BROWSER->VIEW);
  for (const std::string& entry : entries) {
    FSRef ref;
    if (FSGetPathRef(Str255(entry), ref)) owner->AddFile(ref, copy);
  }
}

void TFileGroup::DrawItem(void* data, Boolean selected, DataBrowserItemID, DataBrowserPropertyID,
                          DataBrowserItemState, CGRect bounds, CGContextRef context) {
  if (data == nullptr || context == nullptr) return;
  const ProjectItemData item = ItemOf(data);
  const CGFloat midY = bounds.origin.y + bounds.size.height / 2;
  auto plotIcon = [&](OSType type, CGFloat size, CGFloat alpha) {
    IconRef icon = nullptr;
    if (GetIconRef(kOnSystemDisk, kQuorvelCreator, type, &icon) != noErr || icon == nullptr) return;
    CGContextSaveGState(context);
    CGContextSetAlpha(context, alpha);
    CGContextSetShadow(context, CGSizeMake(1, -1), 1);
    CGRect rect = CGRectMake(bounds.origin.x - size - 2, midY - size / 2, size, size);
    PlotIconRefInContext(context, &rect, kAlignNone, kTransformNone, nullptr, kPlotIconRefNormalFlags, icon);
    CGContextRestoreGState(context);
    ReleaseIconRef(icon);
  };
  // 1. edited: a dot left of the row.
  if (item.edited) {
    CGContextSaveGState(context);
    CGContextSetShadow(context, CGSizeMake(1, -1), 1);
    if (selected)
      CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    else
      CGContextSetRGBFillColor(context, 0, 0.3, 0.8, 0.5);
    CGContextFillEllipseInRect(context, CGRectMake(bounds.origin.x - 10, midY - 3, 6, 6));
    CGContextRestoreGState(context);
  }
  // 2. the last upload failed.
  if (HasUploadError(item)) plotIcon('errW', 12, 0.8);
  // 3. an upload runs: the chasing arrows, turned by the browser's timer.
  if (item.transferring) {
    HIThemeChasingArrowsDrawInfo info{};
    info.state = kThemeStateActive;
    info.index = UInt32(owner != nullptr ? owner->animationStep : 0) % kHIThemeChasingArrowsSteps;
    HIRect rect = CGRectMake(bounds.origin.x - 18, midY - 8, 16, 16);
    HIThemeDrawChasingArrows(&rect, &info, context, kHIThemeOrientationNormal);
  }
  // 4. a compile parses the file.
  if (item.compiling) plotIcon('tCMP', 16, 1);
  // 5. the colour label behind the name.
  if (selected || owner == nullptr || owner->projectPreferences == nullptr) return;
  TPreferenceHandlerDictionary* entry = owner->CopyFileInfo(item.name);
  Str255 label = entry->GetStringValue(kFileInfoLabel);
  entry->Release();
  ProjectLabelColor color;
  if (label.empty() || label == "None" || !GetProjectLabelColor(label, color)) return;
  IconRef icon = nullptr;
  Str63 name;
  GetDisplay(NodeOfData(data), icon, name);
  if (icon != nullptr) ReleaseIconRef(icon);
  // The name's own box, as the tree draws it, grown with the row size.
  CFStringRef text = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  if (text == nullptr) return;
  const CGRect box = GetStandardTextBounds(text, bounds, BROWSER != nullptr ? BROWSER->VIEW : nullptr);
  CFRelease(text);
  const SInt32 size = owner->size;
  const CGFloat radius = size >= 3 ? 10 : 6;
  const CGFloat inset = size >= 3 ? 6 : size == 2 ? 4 : 3;
  const CGRect rect = CGRectMake(box.origin.x - inset, box.origin.y - inset / 2, box.size.width + 2 * inset,
                                 box.size.height + inset);
  CGContextSaveGState(context);
  CGContextSetRGBFillColor(context, color.red, color.green, color.blue, color.alpha);
  CGContextBeginPath(context);
  CGContextAddRoundedRect(context, rect, radius, radius);
  CGContextFillPath(context);
  CGContextRestoreGState(context);
}

// ---------------------------------------------------------------------------
// Records read short

CFIndex ProjectRecordSize(UInt32 type) {
  switch (type) {
    case kProjectSourceType:
    case kProjectResourceType: return kProjectItemDataSize;
    case kProjectFolderType: return kProjectFolderDataSize;
    case kProjectBookmarkType: return kProjectBookmarkDataSize;
    case kProjectCommandType: return kCommandDataSize;
    default: return 0;
  }
}

Boolean MakeProjectRecordWhole(NodeInfoPtr node) {
  if (node == nullptr) return false;
  const CFIndex size = ProjectRecordSize(node->DATATYPE);
  const auto* bytes = static_cast<const UInt8*>(node->DATA);
  const CFIndex length = GroupPayloadLength(node->DATA, node->DATALENGTH);
  if (size == 0) return false;
  if (length >= size) return GrowGroupPayload(node, size);
  // The record as the short row reads, written out whole.
  std::string record(size_t(size), '\0');
  auto* out = reinterpret_cast<UInt8*>(record.data());
  switch (node->DATATYPE) {
    case kProjectSourceType:
    case kProjectResourceType: {
      UInt8 encoded[kProjectItemDataSize];
      EncodeProjectItemData(DecodeProjectItemData(bytes, length), encoded);
      std::memcpy(out, encoded, sizeof encoded);
      break;
    }
    case kProjectFolderType: {
      UInt8 encoded[kProjectFolderDataSize];
      EncodeProjectFolder(DecodeProjectFolderName(bytes, length), GroupFolderType(bytes, length), encoded);
      std::memcpy(out, encoded, sizeof encoded);
      break;
    }
    case kProjectBookmarkType: {
      UInt8 encoded[kProjectBookmarkDataSize];
      EncodeProjectBookmarkData(DecodeProjectBookmarkData(bytes, length), encoded);
      std::memcpy(out, encoded, sizeof encoded);
      break;
    }
    default: {
      UInt8 encoded[kCommandDataSize];
      EncodeCommandData(DecodeCommandData(bytes, length), encoded);
      std::memcpy(out, encoded, sizeof encoded);
      break;
    }
  }
  if (!GrowGroupPayload(node, size)) return false;
  std::memcpy(node->DATA, record.data(), record.size());
  return true;
}

// ---------------------------------------------------------------------------
// Snippets

Ptr TSnippetGroup::CreateData(const Str63& name, const std::u16string& text, SInt32& length) {
  std::string data = SnippetCreateData(name.view(), text);
  length = SInt32(data.size());
  return NewPtrCopy(data.data(), length);
}

Str63 TSnippetGroup::GetName(const void* data, SInt32 length) { return SnippetGetName(data, length); }

std::u16string TSnippetGroup::GetUnicodeText(const void* data, SInt32 length) {
  return SnippetGetUnicodeText(data, length);
}

Str255 TSnippetGroup::GetString(const void* data, SInt32 length) {
  std::u16string text = GetUnicodeText(data, length);
  CFStringRef string = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(text.data()),
                                                    CFIndex(text.size()));
  Str255 result;
  if (string) {
    result = CFStringToPascal(string);
    CFRelease(string);
  }
  return result;
}

SInt32 TSnippetGroup::NewSnippet() {
  SInt32 length = 0;
  Ptr data = CreateData("untitled", u"", length);
  SInt32 index = data != nullptr ? NewItem(data, length, 0) : 0;
  if (index != 0 && owner != nullptr) {
    if (NodeInfoPtr node = GetNode(index)) OpenSnippetEditor(node, owner->GetWindow());
  }
  return index;
}

void TSnippetGroup::GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) {
  icon = nullptr;
  name = node != nullptr && node->DATA ? GetName(node->DATA, node->DATALENGTH) : Str63();
}

void TSnippetGroup::ProcessCommand(void* data, UInt32 type, const HICommand& command) {
  if (owner == nullptr) return;
  if (command.commandID == 'RENM')
    owner->RenameItem(data, type, this);
  else if (command.commandID == 'gINF' && type == ITEMTYPE)
    OpenItem(data);
}

void TSnippetGroup::RenameItem(void* data, const Str63& name, TWindow*) {
  NodeInfoPtr node = NodeOfData(data);
  if (owner != nullptr && node != nullptr) owner->RenameItem(this, node->INDEX, Str255(name), false);
}

void TSnippetGroup::OpenItem(void* data) {
  if (NodeInfoPtr node = NodeOfData(data)) OpenSnippetEditor(node, owner != nullptr ? owner->GetWindow() : nullptr);
}

Boolean TSnippetGroup::AcceptItem(void*, DragRef, UInt32 type) { return type == 'utxt'; }

Boolean TSnippetGroup::ReceiveItem(void* data, DragRef, UInt32 type) {
  if (type != 'utxt' || data == nullptr || !IsPointerValid(static_cast<Ptr>(data))) return false;
  const Size size = GetPtrSize(static_cast<Ptr>(data));
  std::u16string text(static_cast<const char16_t*>(data), size_t(size / 2));
  SInt32 length = 0;
  Ptr payload = CreateData("untitled", text, length);
  if (payload == nullptr) return false;
  NewItem(payload, length, 0);
  return true;
}

void TSnippetGroup::AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) {
  NodeInfoPtr node = NodeOfData(data);
  if (type != ITEMTYPE || node == nullptr) return;
  AddTextFlavor(drag, item, GetUnicodeText(data, node->DATALENGTH));
}

// ---------------------------------------------------------------------------
// Bookmarks

SInt32 TBookmarkGroup::NewBookmark(const Str255& url) {
  UInt8 bytes[kProjectBookmarkDataSize];
  EncodeProjectBookmarkData(NewBookmarkData(url), bytes);
  return NewItem(bytes, kProjectBookmarkDataSize, 0);
}

void TBookmarkGroup::GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) {
  icon = nullptr;
  name = node != nullptr ? ShortName(node->DATA) : Str63();
}

namespace {

ProjectBookmarkData BookmarkOf(const void* data) {
  return DecodeProjectBookmarkData(static_cast<const UInt8*>(data), GroupPayloadLength(data));
}

// The application a bookmark names (a desktop-file ID), when it is installed.
Boolean BookmarkApplication(const std::string& id, FSRef& application) {
  if (id.empty()) return false;
  std::vector<std::string> folders;
  const char* home = getenv("XDG_DATA_HOME");
  if (home && *home) folders.push_back(home);
  const char* dirs = getenv("XDG_DATA_DIRS");
  std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
  for (size_t start = 0; start <= list.size();) {
    size_t colon = list.find(':', start);
    if (colon == std::string::npos) colon = list.size();
    if (colon > start) folders.push_back(list.substr(start, colon - start));
    start = colon + 1;
  }
  for (const std::string& folder : folders)
    if (FSGetPathRef(Str255(folder + "/applications/" + id), application)) return true;
  return false;
}

}  // namespace

void TBookmarkGroup::OpenItem(void* data) {
  if (data == nullptr) return;
  ProjectBookmarkData bookmark = BookmarkOf(data);
  if (bookmark.openInside) {
    ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
    options.url = bookmark.url;
    SendOpenDocumentCommandWithOptions(options);
    return;
  }
  FSRef application;
  if (BookmarkApplication(bookmark.application, application))
    LSOpenURLWithApplication(bookmark.url, application);
  else
    LSOpenURL(bookmark.url);
}

void TBookmarkGroup::ProcessCommand(void* data, UInt32 type, const HICommand& command) {
  if (type == kProjectFolderType) {
    if (command.commandID == 'RENM' && owner != nullptr) owner->RenameItem(data, type, this);
    return;
  }
  if (type != ITEMTYPE || data == nullptr) return;
  switch (command.commandID) {
    case 'gINF': {
      // The editor writes a whole record back: a row read short is made
      // whole before the editor is given it.
      NodeInfoPtr node = NodeOfData(data);
      if (node == nullptr || !MakeProjectRecordWhole(node)) break;
      OpenBookmarkEditor(static_cast<UInt8*>(node->DATA), owner != nullptr ? owner->GetWindow() : nullptr,
                         GroupPayloadLength(node->DATA, node->DATALENGTH));
      break;
    }
    case 'opnF': LSOpenURL(BookmarkOf(data).url); break;
    case 'opnW': {
      ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
      options.url = BookmarkOf(data).url;
      options.newWindow = true;
      SendOpenDocumentCommandWithOptions(options);
      break;
    }
    default: break;
  }
}

void TBookmarkGroup::RenameItem(void* data, const Str63& name, TWindow*) {
  NodeInfoPtr node = NodeOfData(data);
  if (owner != nullptr && node != nullptr) owner->RenameItem(this, node->INDEX, Str255(name), false);
}

Boolean TBookmarkGroup::AcceptItem(void* data, DragRef drag, UInt32 type) {
  return type == 'utxt' && IsBookmarkText(DraggedText(data, drag));
}

Boolean TBookmarkGroup::ReceiveItem(void* data, DragRef drag, UInt32 type) {
  if (type != 'utxt') return false;
  std::string text = DraggedText(data, drag);
  if (!IsBookmarkText(text)) return false;
  NewBookmark(Str255(text));
  return true;
}

void TBookmarkGroup::AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) {
  if (type != ITEMTYPE || data == nullptr) return;
  AddTextFlavor(drag, item, ProjectNameToUnicode(BookmarkOf(data).url));
}

// ---------------------------------------------------------------------------
// Commands

SInt32 TCommandGroup::NewCommand(const Str31& command) {
  UInt8 bytes[kCommandDataSize];
  EncodeCommandData(CommandData{"untitled", command}, bytes);
  return NewItem(bytes, kCommandDataSize, 0);
}

void TCommandGroup::GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) {
  icon = nullptr;
  name = node != nullptr ? ShortName(node->DATA) : Str63();
}

void TCommandGroup::RenameItem(void* data, const Str63& name, TWindow*) {
  NodeInfoPtr node = NodeOfData(data);
  if (owner != nullptr && node != nullptr) owner->RenameItem(this, node->INDEX, Str255(name), false);
}

void TCommandGroup::OpenItem(void* data) {
  if (data == nullptr || AppResources == nullptr || AppResources->CodeSense == nullptr) return;
  TEditorWindowAbstract* window = FrontEditorWindow();
  TDocument* document = window && window->documents ? window->documents->GetActive() : nullptr;
  auto* source = dynamic_cast<TSourceDocument*>(document);
  if (source == nullptr || source->editor == nullptr) return;
  const CommandData command = DecodeCommandData(static_cast<const UInt8*>(data), GroupPayloadLength(data));
  AppResources->CodeSense->SetController(source->editor->GetWE());
  AppResources->CodeSense->ExecuteCommandWithSelection(Str63(command.command));
}

Boolean TCommandGroup::RemoveItem(void* data, UInt32 type) {
  if (type == ITEMTYPE && data != nullptr && AppResources != nullptr && AppResources->CodeSense != nullptr) {
    const CommandData command = DecodeCommandData(static_cast<const UInt8*>(data), GroupPayloadLength(data));
    AppResources->CodeSense->RemoveCommand(Str63(command.command), "project");
  }
  return true;
}

void TCommandGroup::ProcessCommand(void* data, UInt32 type, const HICommand& command) {
  if (command.commandID == 'RENM' && owner != nullptr)
    owner->RenameItem(data, type, this);
  else if (command.commandID == 'gINF' && type == ITEMTYPE && gDialogHooks.OpenCommandEditor && owner != nullptr)
    gDialogHooks.OpenCommandEditor(owner, data);
}
