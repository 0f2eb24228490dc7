#include "TUserPathsBrowserUnit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "HITheme.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "PathUtilities.h"
#include "TPreferencesUnit.h"

namespace {

constexpr CFIndex kKindOffset = 258;

// The rows' records are kept as the 260 stored bytes.
UserPathInfo RecordOf(const void* data) {
  return DecodeUserPathInfo(static_cast<const UInt8*>(data), kUserPathInfoSize);
}

void StoreRecord(void* data, const UserPathInfo& info) {
  UInt8 bytes[kUserPathInfoSize];
  EncodeUserPathInfo(info, bytes);
  std::memcpy(data, bytes, sizeof bytes);
}

Ptr NewRecordBlock(const UserPathInfo& info) {
  Ptr block = NewPtrClear(kUserPathInfoSize);
  if (block != nullptr) StoreRecord(block, info);
  return block;
}

CFStringRef CreateMacRomanString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

struct KindPresentation {
  const char* label;
  OSType creator;  // 0: the application's signature
  OSType type;
};
constexpr KindPresentation kKinds[] = {
    {"Root", 'macs', 'FNDR'},        {"URL", 'macs', 'ilge'},    {"Project", 0, 'PROJ'},
    {"Application", 'macs', 'APLP'}, {"System", 'macs', 'root'}, {"Localhost", 'macs', 'issf'},
};

const KindPresentation* PresentationOf(SInt16 kind) {
  return kind >= 1 && kind <= SInt16(std::size(kKinds)) ? &kKinds[kind - 1] : nullptr;
}

std::string Trimmed(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

void EncodeUserPathInfo(const UserPathInfo& info, UInt8 (&bytes)[kUserPathInfoSize]) {
  std::memset(bytes, 0, sizeof bytes);
  bytes[0] = info.enabled ? 1 : 0;
  bytes[1] = UInt8(info.path.len());
  std::memcpy(bytes + 2, info.path.data() + 1, info.path.len());
  std::memcpy(bytes + kKindOffset, &info.kind, sizeof info.kind);  // host order
}

UserPathInfo DecodeUserPathInfo(const UInt8* bytes, CFIndex size) {
  UserPathInfo info;
  if (bytes == nullptr || size < kUserPathInfoSize) return info;
  info.enabled = bytes[0] != 0;
  info.path = Str255::FromBytes(bytes + 2, bytes[1]);
  std::memcpy(&info.kind, bytes + kKindOffset, sizeof info.kind);
  return info;
}

CFDataRef NewUserPath(const Str255& path, SInt16 kind, Boolean enabled) {
  UserPathInfo info;
  info.enabled = enabled;
  info.path = path;
  info.kind = kind;
  UInt8 bytes[kUserPathInfoSize];
  EncodeUserPathInfo(info, bytes);
  return CFDataCreate(nullptr, bytes, kUserPathInfoSize);
}

CFArrayRef CopyUserPathsArray(TPreferenceHandler* handler, const Str255& key, UserPathFormatter formatter,
                              void* context) {
  if (handler == nullptr) return nullptr;
  CFTypeRef value = handler->GetTypeValue(key);
  if (value == nullptr) return nullptr;
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (CFGetTypeID(value) == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(value);
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
      CFTypeRef item = CFArrayGetValueAtIndex(array, i);
      if (item == nullptr || CFGetTypeID(item) != CFDataGetTypeID()) continue;
      auto data = static_cast<CFDataRef>(item);
      // A record cut short is no path.
      if (CFDataGetLength(data) < kUserPathInfoSize) continue;
      const UserPathInfo info = DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data));
      if (!info.enabled) continue;
      const Str255 text = formatter != nullptr ? formatter(info.path, info.kind, context) : info.path;
      if (CFStringRef string = CreateMacRomanString(text)) {
        CFArrayAppendValue(result, string);
        CFRelease(string);
      }
    }
  }
  CFRelease(value);
  if (CFArrayGetCount(result) == 0) {
    CFRelease(result);
    return nullptr;
  }
  return result;
}

Str31 UserPathKindLabel(SInt16 kind) {
  const KindPresentation* p = PresentationOf(kind);
  return p != nullptr ? Str31(p->label) : Str31();
}

IconRef CopyUserPathKindIcon(SInt16 kind) {
  const KindPresentation* p = PresentationOf(kind);
  if (p == nullptr) return nullptr;
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, p->creator != 0 ? p->creator : ApplicationSignature, p->type, &icon) != noErr)
    return nullptr;
  return icon;
}

Boolean UserPathMakeRelative(const Str255& path, const Str255& base, Str255& relative) {
  const std::string b = Trimmed(base.str());
  const std::string p = Trimmed(path.str());
  if (b.empty() || p.empty()) return false;
  if (b == "/") {
    // Every absolute path lies inside the root.
    if (p.front() != '/') return false;
    relative = Str255(p == "/" ? std::string() : p);
    return true;
  }
  if (p == b) {
    relative.Clear();
    return true;
  }
  if (p.size() > b.size() && p.compare(0, b.size(), b) == 0 && p[b.size()] == '/') {
    relative = Str255(p.substr(b.size()));
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// TUserPathsBrowser

TUserPathsBrowser::TUserPathsBrowser() {
  SetClassString("TUserPathsBrowser");
  MinimumRecordSize = kUserPathInfoSize;
}

void TUserPathsBrowser::SetPathOptions(UserPathOptions options) { PathOptions = options; }

void TUserPathsBrowser::AddPath(const Str255& path, SInt16 kind) {
  UserPathInfo info;
  info.enabled = true;
  info.path = path;
  info.kind = kind;
  if (Ptr block = NewRecordBlock(info)) NewItem(block, kUserPathInfoSize, kUserPathItemType, 0);
}

void TUserPathsBrowser::AddEmptyPath() { AddPath("http://", kUserPathURL); }

void TUserPathsBrowser::SelectPath(Ptr record) {
  if (record == nullptr) return;
  auto* dialog = new TChoosePathDialog();
  dialog->Record = record;
  dialog->Browser = this;
  // The row is found again by its item when the answer comes.
  ApplyFunctionToTree(
      [](CFTreeRef, NodeInfoPtr node, void* context) {
        auto* d = static_cast<TChoosePathDialog*>(context);
        if (node != nullptr && node->DATA == d->Record) d->Item = DataBrowserItemID(node->INDEX);
      },
      dialog);
  FSRef start{};
  const Str255 base = GetKindBase(RecordOf(record).kind);
  if (!base.empty() && FSGetPathRef(base, start)) dialog->SetDefaultLocation(start);
  dialog->ChooseFolderDialog();
}

Str255 TUserPathsBrowser::GetKindBase(SInt16 kind) {
  switch (kind) {
    case kUserPathProject:
      return FSValidFSRef(BaseFile) ? GetBaseFilePath(BaseFile) : Str255();
    case kUserPathApplication:
      return GetApplicationPath();
    case kUserPathSystem:
      return GetSystemPath();
    case kUserPathLocalhost:
      return GetLocalhostPath();
  }
  return Str255();
}

void TUserPathsBrowser::RefreshRows() {
  if (VIEW != nullptr)
    Err = UpdateDataBrowserItems(VIEW, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty,
                                 kDataBrowserNoItem);
}

void TUserPathsBrowser::ItemNotification(void* data, UInt32, DataBrowserItemID, DataBrowserItemNotification message) {
  if (message != kDataBrowserItemDoubleClicked || data == nullptr) return;
  if (UserPathKindHasBase(RecordOf(data).kind)) SelectPath(static_cast<Ptr>(data));
}

void TUserPathsBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property,
                                    DataBrowserItemDataRef itemData) {
  if (data == nullptr) return;
  const UserPathInfo info = RecordOf(data);
  switch (property) {
    case kUserPathEnabledColumn:
      SetDataBrowserItemDataButtonValue(itemData, info.enabled ? kThemeButtonOn : kThemeButtonOff);
      break;
    case kUserPathTextColumn:
      if (CFStringRef text = CreateMacRomanString(info.path)) {
        SetDataBrowserItemDataText(itemData, text);
        CFRelease(text);
      }
      break;
  }
}

void TUserPathsBrowser::SetItemCheckbox(void* data, DataBrowserItemID, DataBrowserPropertyID property, Boolean value) {
  if (data == nullptr || property != kUserPathEnabledColumn) return;
  UserPathInfo info = RecordOf(data);
  info.enabled = value;
  StoreRecord(data, info);
}

void TUserPathsBrowser::SetItemText(void* data, DataBrowserItemID, DataBrowserPropertyID property, CFStringRef text) {
  if (data == nullptr || text == nullptr || property != kUserPathTextColumn) return;
  UserPathInfo info = RecordOf(data);
  info.path = PCFSTR(text);  // at most 255 characters
  StoreRecord(data, info);
}

void TUserPathsBrowser::DrawItem(void* data, UInt32, Boolean container, DataBrowserItemID item,
                                 DataBrowserPropertyID property, DataBrowserItemState state, CGRect cell,
                                 CGContextRef context) {
  if (data == nullptr || context == nullptr) return;
  const SInt16 kind = RecordOf(data).kind;
  IconRef icon = CopyUserPathKindIcon(kind);
  CFStringRef label = CreateMacRomanString(Str255(UserPathKindLabel(kind)));
  StandardTextPropertyDrawHandler(icon, label != nullptr ? label : CFSTR(""), container, property, item, state, cell,
                                  context, VIEW);
  if (label != nullptr) CFRelease(label);
  if (icon != nullptr) ReleaseIconRef(icon);
  // The arrow says the kind is a menu: 12 points in from the cell's right
  // edge, a 7-point arrow pointing down, centred on the row.
  HIThemePopupArrowDrawInfo arrow{};
  arrow.version = 0;
  arrow.state = kThemeStateActive;
  arrow.orientation = kThemeArrowDown;
  arrow.size = kThemeArrow7pt;
  const HIRect box = {{cell.origin.x + cell.size.width - 12, cell.origin.y + (cell.size.height - 5) / 2}, {5, 5}};
  // The list draws its cells in a y-up context.
  HIThemeDrawPopupArrow(&box, &arrow, context, kHIThemeOrientationInverted);
}

MenuRef TUserPathsBrowser::CreateKindMenu(SInt16 checkedKind) {
  MenuRef menu = nullptr;
  if (CreateNewMenu(0, 0, &menu) != noErr || menu == nullptr) return nullptr;
  SetContextualMenuFont(menu);
  for (SInt16 kind = kUserPathRoot; kind <= kUserPathLocalhost; ++kind) {
    CFStringRef label = CreateMacRomanString(Str255(UserPathKindLabel(kind)));
    MenuItemIndex at = 0;
    AppendMenuItemTextWithCFString(menu, label, 0, 0, &at);
    if (label != nullptr) CFRelease(label);
    if (PathOptions & UserPathOption(kind))
      EnableMenuItem(menu, at);
    else
      DisableMenuItem(menu, at);
    if (IconRef icon = CopyUserPathKindIcon(kind)) {
      // The item keeps its own reference.
      SetMenuItemIconHandle(menu, at, kMenuIconRefType, reinterpret_cast<Handle>(icon));
      ReleaseIconRef(icon);
    }
    CheckMenuItem(menu, at, kind == checkedKind);
  }
  return menu;
}

Boolean TUserPathsBrowser::HitTest(void* data, UInt32, CGRect itemRect, CGRect) {
  if (data == nullptr || VIEW == nullptr) return true;
  UserPathInfo info = RecordOf(data);
  MenuRef menu = CreateKindMenu(info.kind);
  if (menu == nullptr) return true;
  // Opens over the cell: 2 points to its left and half the menu's height up.
  constexpr CGFloat kMenuItemHeight = 18;
  HIPoint where = {itemRect.origin.x - 2, itemRect.origin.y - CGFloat(SInt32(CountMenuItems(menu) * kMenuItemHeight) / 2)};
  HIPointConvert(&where, kHICoordSpaceView, VIEW, kHICoordSpaceScreenPixel, nullptr);
  const SInt32 chosen = PopUpMenuSelect(menu, short(where.y), short(where.x), 0);
  const MenuItemIndex item = MenuItemIndex(chosen & 0xFFFF);
  if (item >= 1 && item <= kUserPathLocalhost && (PathOptions & UserPathOption(SInt16(item)))) {
    info.kind = SInt16(item);
    StoreRecord(data, info);
    RefreshRows();
  }
  DisposeMenu(menu);
  return true;
}

MenuRef TUserPathsBrowser::GetContextualMenu(ItemArrayHandle, SInt16) {
  MenuRef menu = nullptr;
  if (CreateNewMenu(0, 0, &menu) != noErr || menu == nullptr) return nullptr;
  SetContextualMenuFont(menu);
  AppendMenuItemTextWithCFString(menu, CFSTR("Select Path..."), 0, 0, nullptr);
  return menu;
}

void TUserPathsBrowser::SelectContextualMenu(NodeInfoPtr node, MenuRef, SInt16, UInt16 menuItem) {
  if (menuItem == 0 || node == nullptr || node->DATA == nullptr) return;
  if (UserPathKindHasBase(RecordOf(node->DATA).kind)) SelectPath(static_cast<Ptr>(node->DATA));
}

// ---------------------------------------------------------------------------
// TChoosePathDialog

void TChoosePathDialog::HandleChooseResult(const FSRef& folder) {
  // The row may have gone while the dialog was up.
  if (Browser == nullptr || !TBrowser::IsLive(Browser) || Browser->VIEW == nullptr) return;
  NodeInfoPtr node = Item != 0 ? BrackenrowGetNodeAtIndex(SInt32(Item), Browser->VIEW) : nullptr;
  if (node == nullptr || node->DATA != Record) return;
  UserPathInfo info = RecordOf(Record);
  const Str255 path = FSGetFullPath(folder);
  const Str255 base = Browser->GetKindBase(info.kind);
  Str255 relative;
  if (UserPathMakeRelative(path, base, relative)) {
    info.path = relative;
    StoreRecord(Record, info);
  } else {
    UserNotificationDialog(Str255("The selected path is not relative to the base ") + base +
                           " so it will not resolve correctly.");
  }
  Browser->RefreshRows();
}

// ---------------------------------------------------------------------------

TUserPathsBrowser* CreateUserPathsBrowser(ControlRef control, const Str255& key, TPreferenceHandler* handler) {
  auto* browser = new TUserPathsBrowser();
  browser->SetPreferences(handler, key);
  browser->SetOptions(kBrackenrowKeyboardRemove | kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
  browser->Create(control);
  browser->Populate();
  return browser;
}
