#include "Preferences.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFURL.h"
#include "FontPanel.h"
#include "HIViewButtons.h"
#include "Icons.h"
#include "LaunchServices.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentUnit.h"
#include "TEditorWindowUnit.h"
#include "THIViewUnit.h"
#include "TPreferencesUnit.h"
#include "TUserPathsBrowserUnit.h"
#include "TextEncodings.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

namespace {

const PreferencePaneInfo kPanes[] = {
    {"General", 'prfG', 'GENE'}, {"Styles", 'prfS', 'STYL'}, {"Terminal", 'pTRM', 'TERM'},
    {"Paths", 'prfP', 'PATH'},   {"Servers", 'prSV', 'SERV'}, {"Advanced", 'pfIM', 'IMPO'},
};

inline constexpr const char* kToolbarIdentifier = "com.brindlecote.Quorvel.preferences";
constexpr UInt32 kServerRecordType = 'FTPS';
constexpr SInt16 kDefaultFontSize = 12;

TApplicationPreferenceWindow* gWindow = nullptr;

CFStringRef NewString(ConstStringPtr text) {
  return CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
}

// The text of a pop-up's chosen item; empty when none is chosen.
Str255 PopupText(ControlRef popup) {
  MenuRef menu = nullptr;
  if (popup == nullptr ||
      GetControlData(popup, kControlNoPart, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr) != noErr ||
      menu == nullptr)
    return Str255();
  const SInt32 value = GetControl32BitValue(popup);
  if (value < 1 || value > CountMenuItems(menu)) return Str255();
  CFStringRef text = nullptr;
  if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(value), &text) != noErr || text == nullptr) return Str255();
  const Str255 result = CFStringToPascal(text);
  CFRelease(text);
  return result;
}

MenuRef PopupMenu(ControlRef popup) {
  MenuRef menu = nullptr;
  if (popup == nullptr ||
      GetControlData(popup, kControlNoPart, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr) != noErr)
    return nullptr;
  return menu;
}

// Selects the item whose text equals the text (ignoring case); false when
// none does.
Boolean SelectPopupText(ControlRef popup, const Str255& text) {
  MenuRef menu = PopupMenu(popup);
  if (menu == nullptr || text.empty()) return false;
  CFStringRef wanted = NewString(text);
  Boolean found = false;
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu) && !found && wanted != nullptr; ++i) {
    CFStringRef title = nullptr;
    if (CopyMenuItemTextAsCFString(menu, i, &title) != noErr || title == nullptr) continue;
    if (CFStringCompare(title, wanted, kCFCompareCaseInsensitive) == kCFCompareEqualTo) {
      SetControl32BitValue(popup, i);
      found = true;
    }
    CFRelease(title);
  }
  if (wanted != nullptr) CFRelease(wanted);
  return found;
}

// The stored data under the key, copied into a block of exactly size bytes
// (zero when absent or of another size).
void CopyStoredBytes(TPreferenceHandler* handler, const Str255& key, void* bytes, size_t size) {
  std::memset(bytes, 0, size);
  if (handler == nullptr) return;
  CFTypeRef value = handler->GetTypeValue(key);
  if (value == nullptr) return;
  if (CFGetTypeID(value) == CFDataGetTypeID()) {
    auto data = static_cast<CFDataRef>(value);
    std::memcpy(bytes, CFDataGetBytePtr(data), std::min(size, size_t(CFDataGetLength(data))));
  }
  CFRelease(value);
}

void StoreBytes(TPreferenceHandler* handler, const Str255& key, const void* bytes, size_t size) {
  if (handler == nullptr) return;
  CFDataRef data = CFDataCreate(nullptr, static_cast<const UInt8*>(bytes), CFIndex(size));
  if (data == nullptr) return;
  handler->SetTypeValue(key, data);
  CFRelease(data);
}

RGBColor ReadColor(const UInt8* p) {
  return RGBColor{UInt16((p[0] << 8) | p[1]), UInt16((p[2] << 8) | p[3]), UInt16((p[4] << 8) | p[5])};
}

void WriteColor(const RGBColor& c, UInt8* p) {
  const UInt16 parts[3] = {c.red, c.green, c.blue};
  for (int i = 0; i < 3; ++i) {
    p[2 * i] = UInt8(parts[i] >> 8);
    p[2 * i + 1] = UInt8(parts[i]);
  }
}

// A 6-byte stored RGBColor (big-endian components).
RGBColor StoredColor(TPreferenceHandler* handler, const Str255& key) {
  UInt8 bytes[6];
  CopyStoredBytes(handler, key, bytes, sizeof bytes);
  return ReadColor(bytes);
}

void StoreColor(TPreferenceHandler* handler, const Str255& key, const RGBColor& color) {
  UInt8 bytes[6];
  WriteColor(color, bytes);
  StoreBytes(handler, key, bytes, sizeof bytes);
}

// The stored style record, in host order; zero when absent.
ExtendedTextStyle StoredStyle(CFDataRef data) {
  ExtendedTextStyle style{};
  if (data != nullptr && CFGetTypeID(data) == CFDataGetTypeID())
    ExtendedTextStyleFromStoredBytes(CFDataGetBytePtr(data), CFDataGetLength(data), style);
  return style;
}

CFDataRef CreateStoredStyle(const ExtendedTextStyle& host) {
  ExtendedTextStyle stored = host;
  SwapExtendedTextStyleBytes(stored, 1);
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&stored), sizeof stored);
}

// The theme's name inside a stored theme record.
Str31 ThemeRecordName(const UInt8 (&record)[kSyntaxThemeSize]) {
  return Str31::FromBytes(record + 1, std::min<size_t>(record[0], 31));
}

// A colour control's hit: the picker (the control's own handler) runs
// first, then the window takes the new colour.
OSStatus ColorControlHit(EventHandlerCallRef call, EventRef event, void* data) {
  const OSStatus status = CallNextEventHandler(call, event);
  auto* window = static_cast<TApplicationPreferenceWindow*>(data);
  if (window == gWindow && window != nullptr) {
    ControlRef control = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr, &control);
    HIViewID id{};
    if (control != nullptr && HIViewGetID(control, &id) == noErr) {
      const Str255 active = window->GetActivePane();
      if (active == "Styles") {
        // The theme and the style shown take the colour at once, and the
        // open editors show it.
        if (id.signature == kPreferencesThemeColorSignature) window->SelectSyntaxTheme(window->ThemeName(), true);
        if (id.signature == kPreferencesColorSignature && !window->currentStyle.empty())
          window->SelectSyntaxStyle(window->currentStyle, true);
        window->UpdateDocumentStyles();
      } else if (active == "Terminal") {
        window->SetPaneValues(active, window->preferences);
      }
    }
  }
  return status;
}

void TrackColorControl(ControlRef control, TApplicationPreferenceWindow* window) {
  if (control == nullptr) return;
  static const EventTypeSpec kHit[] = {{kEventClassControl, kEventControlHit}};
  InstallEventHandler(GetControlEventTarget(control), ColorControlHit, 1, kHit, window, nullptr);
}

// F2 renames the selected server, as in the desktop's file lists (Return
// opens it, as a double-click does).
constexpr UInt32 kRenameKeyCode = 120;

OSStatus ServerListKey(EventHandlerCallRef, EventRef event, void* data) {
  auto* window = static_cast<TApplicationPreferenceWindow*>(data);
  UInt32 code = 0;
  GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
  if (code != kRenameKeyCode || window != gWindow || window->servers == nullptr ||
      !TBrowser::IsLive(window->servers) || window->servers->selected == 0)
    return eventNotHandledErr;
  window->servers->RenameServer(window->servers->selected);
  return noErr;
}

OSStatus HandleFontPanelEvents(EventHandlerCallRef, EventRef event, void* data) {
  auto* window = static_cast<TApplicationPreferenceWindow*>(data);
  if (window == nullptr || window != gWindow) return eventNotHandledErr;
  if (GetEventKind(event) == kEventFontPanelClosed) {
    window->FontPanelClosed();
    return noErr;
  }
  FMFontFamily family = kInvalidFontFamily;
  FMFontStyle style = 0;
  FMFontSize size = 0;
  GetEventParameter(event, kEventParamFMFontFamily, typeFMFontFamily, nullptr, sizeof family, nullptr, &family);
  GetEventParameter(event, kEventParamFMFontStyle, typeFMFontStyle, nullptr, sizeof style, nullptr, &style);
  GetEventParameter(event, kEventParamFMFontSize, typeFMFontSize, nullptr, sizeof size, nullptr, &size);
  window->FontPanelSelection(SInt16(family), SInt16(style), SInt16(size));
  return noErr;
}

}  // namespace

const PreferencePaneInfo* PreferencePanes(size_t* count) {
  if (count != nullptr) *count = sizeof kPanes / sizeof kPanes[0];
  return kPanes;
}

// ---------------------------------------------------------------------------
// Server records

Str255 GetServerField(const FTPServerInfo& info, SInt32 field) {
  switch (field) {
    case kServerHostField:
      return info.Host;
    case kServerRootFolderField:
      return info.RootFolder;
    case kServerUserNameField:
      return info.UserName;
    case kServerPasswordField:
      return info.Password;
    case kServerWebAddressField:
      return info.WebAddress;
    case kServerPublicFolderField:
      return info.PublicFolder;
    default:
      return Str255();
  }
}

Boolean SetServerField(FTPServerInfo& info, SInt32 field, CFStringRef text) {
  const Str255 value = CFStringToPascal(text);
  switch (field) {
    case kServerHostField:
      info.Host = value;
      break;
    case kServerRootFolderField:
      info.RootFolder = value;
      break;
    case kServerUserNameField:
      info.UserName = value;  // the record holds 31 characters
      break;
    case kServerPasswordField:
      info.Password = value;
      break;
    case kServerWebAddressField:
      info.WebAddress = value;
      break;
    case kServerPublicFolderField:
      info.PublicFolder = value;
      break;
    default:
      return false;
  }
  return true;
}

void OpenServerURL(const FTPServerInfo& info) {
  const std::string address = GetFTPServerURL(info, "");
  CFURLRef url = CFURLCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(address.data()), CFIndex(address.size()),
                                      kCFStringEncodingUTF8, nullptr);
  const OSStatus status = url != nullptr ? LSOpenCFURLRef(url, nullptr) : OSStatus(paramErr);
  if (url != nullptr) CFRelease(url);
  if (status == noErr) return;
  UserNotificationDialog(Str255("The server \"") + Str255(info.Name) +
                         "\" cannot be opened: no program on this computer opens ftp addresses.");
}

// ---------------------------------------------------------------------------
// Encodings, colours, the terminal style

void PopulateTextEncodingMenu(ControlRef popup, UInt32 encoding) {
  MenuRef menu = PopupMenu(popup);
  if (menu == nullptr) return;
  DeleteMenuItems(menu, 1, CountMenuItems(menu));
  ItemCount count = 0;
  TECGetAvailableTextEncodings(nullptr, 0, &count);
  std::vector<TextEncoding> encodings(count);
  if (count > 0) TECGetAvailableTextEncodings(encodings.data(), count, &count);
  encodings.resize(count);
  MenuItemIndex chosen = 1;
  for (TextEncoding available : encodings) {
    UInt8 name[512] = {0};
    ByteCount length = 0;
    RegionCode region = 0;
    TextEncoding nameEncoding = 0;
    if (GetTextEncodingName(available, kTextEncodingFullName, 0, kCFStringEncodingUTF8, sizeof name, &length, &region,
                            &nameEncoding, name) != noErr ||
        length == 0)
      continue;
    // The name comes in UTF-8, or else as UTF-16 code units.
    CFStringRef title =
        nameEncoding == kCFStringEncodingUTF8
            ? CFStringCreateWithBytes(nullptr, name, CFIndex(length), kCFStringEncodingUTF8, false)
            : CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(name), CFIndex(length / 2));
    if (title == nullptr) continue;
    MenuItemIndex item = 0;
    AppendMenuItemTextWithCFString(menu, title, 0, 0, &item);
    CFRelease(title);
    const UInt32 value = available;
    SetMenuItemProperty(menu, item, kTextEncodingPropertyCreator, kTextEncodingPropertyTag, sizeof value, &value);
    if (available == encoding) chosen = item;
  }
  SetControl32BitMaximum(popup, CountMenuItems(menu));
  SetControl32BitValue(popup, chosen);
}

Boolean GetTextEncodingMenuValue(ControlRef popup, UInt32& encoding) {
  MenuRef menu = PopupMenu(popup);
  const SInt32 value = popup != nullptr ? GetControl32BitValue(popup) : 0;
  if (menu == nullptr || value < 1 || value > CountMenuItems(menu)) return false;
  UInt32 stored = 0;
  ByteCount size = 0;
  if (GetMenuItemProperty(menu, MenuItemIndex(value), kTextEncodingPropertyCreator, kTextEncodingPropertyTag,
                          sizeof stored, &size, &stored) != noErr ||
      size != sizeof stored)
    return false;
  encoding = stored;
  return true;
}

void BuildTerminalStyle(const RGBColor& text, const RGBColor& second, SInt16 family, SInt16 size,
                        UInt8 (&bytes)[sizeof(ExtendedTextStyle)]) {
  ExtendedTextStyle style{};
  style.textColor = text;
  style.secondColor = second;
  style.firstNumber = family;
  style.secondNumber = size;
  SwapExtendedTextStyleBytes(style, 1);
  std::memcpy(bytes, &style, sizeof style);
}

Boolean GetColorControlValue(ControlRef control, RGBColor& color) {
  auto* well = control != nullptr ? dynamic_cast<TColorPickerView*>(HIViewGetObjectRef(control)) : nullptr;
  if (well == nullptr) return false;
  color = well->Color;
  return true;
}

void SetColorControlValue(ControlRef control, const RGBColor& color) {
  if (auto* well = control != nullptr ? dynamic_cast<TColorPickerView*>(HIViewGetObjectRef(control)) : nullptr)
    well->SetColor(color);
}

// ---------------------------------------------------------------------------
// The server list

Boolean TServersBrowser::GetServer(SInt32 item, FTPServerInfo& info) {
  NodeInfoPtr node = item != 0 && VIEW != nullptr ? BrackenrowGetNodeAtIndex(item, VIEW) : nullptr;
  if (node == nullptr || node->DATA == nullptr) return false;
  info = DecodeFTPServerInfo(static_cast<const UInt8*>(node->DATA), GetPtrSize(static_cast<Ptr>(node->DATA)));
  return true;
}

void TServersBrowser::SetServer(SInt32 item, const FTPServerInfo& info) {
  NodeInfoPtr node = item != 0 && VIEW != nullptr ? BrackenrowGetNodeAtIndex(item, VIEW) : nullptr;
  if (node == nullptr || node->DATA == nullptr || GetPtrSize(static_cast<Ptr>(node->DATA)) < kFTPServerInfoSize)
    return;
  EncodeFTPServerInfo(info, *reinterpret_cast<UInt8(*)[kFTPServerInfoSize]>(node->DATA));
  UpdateItem(item, 0);
}

void TServersBrowser::Populate() {
  TBrowser::Populate();
  selected = 0;
  CFTypeRef value = preferences != nullptr ? preferences->GetTypeValue("FTPServers") : nullptr;
  if (value == nullptr) return;
  if (CFGetTypeID(value) == CFArrayGetTypeID()) {
    auto servers = static_cast<CFArrayRef>(value);
    for (CFIndex i = 0; i < CFArrayGetCount(servers); ++i) {
      CFTypeRef item = CFArrayGetValueAtIndex(servers, i);
      if (item == nullptr || CFGetTypeID(item) != CFDataGetTypeID()) continue;
      auto data = static_cast<CFDataRef>(item);
      // Every record is kept whole, whatever the stored item's length.
      UInt8 bytes[kFTPServerInfoSize];
      EncodeFTPServerInfo(DecodeFTPServerInfo(CFDataGetBytePtr(data), CFDataGetLength(data)), bytes);
      Ptr block = NewPtr(kFTPServerInfoSize);
      if (block == nullptr) continue;
      std::memcpy(block, bytes, kFTPServerInfoSize);
      NewItem(block, kFTPServerInfoSize, kServerRecordType, 0);
    }
  }
  CFRelease(value);
}

SInt32 TServersBrowser::AddServer() {
  UInt8 bytes[kFTPServerInfoSize];
  EncodeFTPServerInfo(NewFTPServerInfo(), bytes);
  Ptr block = NewPtr(kFTPServerInfoSize);
  if (block == nullptr) return 0;
  std::memcpy(block, bytes, kFTPServerInfoSize);
  const SInt32 item = NewItem(block, kFTPServerInfoSize, kServerRecordType, 0);
  if (item != 0) {
    const DataBrowserItemID id = DataBrowserItemID(item);
    SetDataBrowserSelectedItems(VIEW, 1, &id, kDataBrowserItemsAssign);
  }
  return item;
}

void TServersBrowser::RenameServer(SInt32 item) {
  if (item != 0 && VIEW != nullptr) SetDataBrowserEditItem(VIEW, DataBrowserItemID(item), kServerNameColumn);
}

void TServersBrowser::RemoveSelectedServers() {
  SInt16 count = 0;
  ItemArrayHandle items = GetSelectedBrowserItems(VIEW, count);
  if (items == nullptr) return;
  std::vector<SInt32> chosen(*items, *items + count);
  DisposeHandle(reinterpret_cast<Handle>(items));
  if (owner != nullptr) owner->ShowServerFields(0);
  selected = 0;
  for (SInt32 item : chosen) BrackenrowRemoveItem(VIEW, item);
}

CFArrayRef TServersBrowser::CopyServers() {
  CFMutableArrayRef servers = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (VIEW == nullptr) return servers;
  SInt16 count = 0;
  ItemArrayHandle items = GetContainerItems(VIEW, 0, count);
  if (items == nullptr) return servers;
  for (SInt16 i = 0; i < count; ++i) {
    FTPServerInfo info;
    if (!GetServer((*items)[i], info)) continue;
    if (CFDataRef data = CreateFTPServerData(info)) {
      CFArrayAppendValue(servers, data);
      CFRelease(data);
    }
  }
  DisposeHandle(reinterpret_cast<Handle>(items));
  return servers;
}

void TServersBrowser::ItemNotification(void*, UInt32, DataBrowserItemID item, DataBrowserItemNotification message) {
  switch (message) {
    case kDataBrowserItemDeselected:
      // What the fields hold belongs to the server they showed, however the
      // user left them.
      if (owner != nullptr && SInt32(item) == selected) {
        owner->StoreServerFields();
        owner->ShowServerFields(0);
      }
      break;
    case kDataBrowserItemSelected:
      if (owner != nullptr) {
        if (selected != 0 && selected != SInt32(item)) owner->StoreServerFields();
        owner->ShowServerFields(SInt32(item));
      }
      break;
    case kDataBrowserItemDoubleClicked: {
      FTPServerInfo info;
      if (owner != nullptr) owner->StoreServerFields();
      if (GetServer(SInt32(item), info)) OpenServerURL(info);
      break;
    }
    default:
      break;
  }
}

void TServersBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property,
                                  DataBrowserItemDataRef itemData) {
  if (data == nullptr || property != kServerNameColumn) return;
  const FTPServerInfo info = DecodeFTPServerInfo(static_cast<const UInt8*>(data), GetPtrSize(static_cast<Ptr>(data)));
  if (CFStringRef text = NewString(info.Name)) {
    SetDataBrowserItemDataText(itemData, text);
    CFRelease(text);
  }
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, kSystemIconsCreator, kInternetLocationFTPIcon, &icon) == noErr && icon != nullptr) {
    SetDataBrowserItemDataIcon(itemData, icon);
    ReleaseIconRef(icon);
  }
}

void TServersBrowser::SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property,
                                  CFStringRef text) {
  if (data == nullptr || property != kServerNameColumn || text == nullptr) return;
  FTPServerInfo info = DecodeFTPServerInfo(static_cast<const UInt8*>(data), GetPtrSize(static_cast<Ptr>(data)));
  const Str255 name = CFStringToPascal(text);
  if (name.empty()) return;  // a server keeps a name other settings can refer to
  info.Name = name;          // at most 63 characters
  EncodeFTPServerInfo(info, *reinterpret_cast<UInt8(*)[kFTPServerInfoSize]>(data));
  UpdateItem(SInt32(item), 0);
  if (owner != nullptr) owner->SetValue(VIEW, preferences, "FTPServers");
}

// ---------------------------------------------------------------------------
// The window

TApplicationPreferenceWindow::TApplicationPreferenceWindow() { SetClassString("TApplicationPreferenceWindow"); }

Str31 TApplicationPreferenceWindow::ThemeName() const { return themeCurrent ? ThemeRecordName(theme) : Str31(); }

ControlRef TApplicationPreferenceWindow::PaneControl(OSType signature, SInt32 id) const {
  if (shownPane == nullptr || !TPaneIsLive(shownPane) || shownPane->paneView == nullptr) return nullptr;
  HIViewRef control = nullptr;
  if (HIViewFindByID(shownPane->paneView, HIViewID{signature, id}, &control) != noErr) return nullptr;
  return control;
}

void TApplicationPreferenceWindow::Release() {
  if (gWindow == this) gWindow = nullptr;
  if (fontPanelHandler != nullptr) RemoveEventHandler(fontPanelHandler);
  fontPanelHandler = nullptr;
  if (FPIsFontPanelVisible()) FPShowHideFontPanel();
  TPreferenceWindow::Release();
}

void TApplicationPreferenceWindow::ShowFont(const Str255& familyKey, const Str255& sizeKey) {
  ControlRef field = PaneControl(kPreferencesFontSignature, 128);
  if (field == nullptr || preferences == nullptr) return;
  Str255 name;
  // A family this machine does not know leaves the documents at their own font.
  if (!FMGetFontFamilyName(FMFontFamily(preferences->GetIntegerValue(familyKey)), name.data()))
    name = kDefaultDocumentFont;
  SInt32 size = preferences->GetIntegerValue(sizeKey);
  if (size <= 0) size = kDefaultFontSize;
  const Str255 text = name + " " + NStr(size) + " pt";
  if (CFStringRef s = NewString(text)) {
    HIViewSetText(field, s);
    CFRelease(s);
  }
}

void TApplicationPreferenceWindow::StoreServerFields() {
  if (servers == nullptr || !TBrowser::IsLive(servers) || servers->selected == 0) return;
  FTPServerInfo info;
  if (!servers->GetServer(servers->selected, info)) return;
  const Str255 oldHost = info.Host;
  for (SInt32 id = kServerHostField; id <= kServerPublicFolderField; ++id) {
    ControlRef field = PaneControl(kPreferencesServerFieldSignature, id);
    if (field == nullptr) continue;
    CFStringRef text = HIViewCopyText(field);
    SetServerField(info, id, text != nullptr ? text : CFSTR(""));
    if (text != nullptr) CFRelease(text);
  }
  servers->SetServer(servers->selected, info);
  SetValue(servers->VIEW, preferences, "FTPServers");
  // What was typed is kept; a host no address can carry is said at once.
  if (!(info.Host == oldHost) && !info.Host.empty() && EncodeFTPServerHost(info.Host).empty())
    UserNotificationDialog(Str255("The host \"") + info.Host + "\" of the server \"" + info.Name +
                           "\" is not a host name: write it as a name or address, with \":\" and a port number "
                           "when the server uses another port.");
}

void TApplicationPreferenceWindow::ShowServerFields(SInt32 item) {
  FTPServerInfo info;
  const Boolean has = servers != nullptr && TBrowser::IsLive(servers) && servers->GetServer(item, info);
  if (servers != nullptr && TBrowser::IsLive(servers)) servers->selected = has ? item : 0;
  for (SInt32 id = kServerHostField; id <= kServerPublicFolderField; ++id) {
    ControlRef field = PaneControl(kPreferencesServerFieldSignature, id);
    if (field == nullptr) continue;
    CFStringRef text = NewString(has ? GetServerField(info, id) : Str255());
    HIViewSetText(field, text != nullptr ? text : CFSTR(""));
    if (text != nullptr) CFRelease(text);
    HIViewSetEnabled(field, has);
  }
}

void TApplicationPreferenceWindow::AddRemoveButtons(OSType add, OSType remove) {
  if (ControlRef button = PaneControl(add, 128))
    HICustomButtonCreateBevel(kCustomButtonClassBevelCorner, button, kSystemIconsCreator, 'GADD');
  if (ControlRef button = PaneControl(remove, 128))
    HICustomButtonCreateBevel(kCustomButtonClassBevelCorner, button, kSystemIconsCreator, 'GREM');
}

void TApplicationPreferenceWindow::SetupPane(const Str63& name, TPane* pane) {
  shownPane = pane;
  if (name == "General") {
    PopulateTextEncodingMenu(PaneControl(kPreferencesEncodingSignature, 128),
                             UInt32(preferences != nullptr ? preferences->GetIntegerValue("GeneralFileEncoding") : 0));
    if (ControlRef preview = PaneControl(kPreferencesPreviewSignature, 128)) {
      FSRef chosen{};
      CopyStoredBytes(preferences, "GeneralPreviewApplication", &chosen, sizeof chosen);
      PopulatePreviewApplicationMenu(PopupMenu(preview), preview, chosen);
    }
  } else if (name == "Styles") {
    currentStyle.Clear();
    themeCurrent = false;
    SelectSyntaxTheme(PopupText(PaneControl(kPreferencesThemeSignature, 128)), false);
    ShowFont("StylesEditorFontFamily", "StylesEditorFontSize");
    for (SInt32 id : kThemeColorControls) TrackColorControl(PaneControl(kPreferencesThemeColorSignature, id), this);
    for (SInt32 id = 128; id <= 129; ++id) TrackColorControl(PaneControl(kPreferencesColorSignature, id), this);
  } else if (name == "Terminal") {
    UInt8 stored[sizeof(ExtendedTextStyle)];
    CopyStoredBytes(preferences, "TerminalStyle", stored, sizeof stored);
    ExtendedTextStyle style{};
    ExtendedTextStyleFromStoredBytes(stored, sizeof stored, style);
    SetColorControlValue(PaneControl(kPreferencesColorSignature, 128), style.textColor);
    SetColorControlValue(PaneControl(kPreferencesColorSignature, 129), style.secondColor);
    SetColorControlValue(PaneControl(kPreferencesColorSignature, 130), StoredColor(preferences, "TerminaHiliteColor"));
    SetColorControlValue(PaneControl(kPreferencesColorSignature, 131), StoredColor(preferences, "TerminalCursorColor"));
    for (SInt32 id = 128; id <= 131; ++id) TrackColorControl(PaneControl(kPreferencesColorSignature, id), this);
    ShowFont("TerminaFontFamily", "TerminaFontSize");
  } else if (name == "Paths") {
    if (ControlRef list = PaneControl(kPreferencesPathsSignature, 128))
      userPaths = CreateUserPathsBrowser(list, "UserPaths", preferences);
    AddRemoveButtons(kPreferencesAddPathCommand, kPreferencesRemovePathCommand);
  } else if (name == "Servers") {
    servers = nullptr;
    if (ControlRef list = PaneControl(kPreferencesServersSignature, 128)) {
      servers = new TServersBrowser();
      servers->preferences = preferences;
      servers->owner = this;
      servers->SetOptions(kBrackenrowAllocateTree);
      servers->Create(list);
      servers->Populate();
      static const EventTypeSpec kKeys[] = {{kEventClassKeyboard, kEventRawKeyDown}};
      InstallEventHandler(GetControlEventTarget(list), ServerListKey, 1, kKeys, this, nullptr);
    }
    ShowServerFields(0);
    for (SInt32 id = kServerHostField; id <= kServerPublicFolderField; ++id)
      if (ControlRef field = PaneControl(kPreferencesServerFieldSignature, id)) EnableViewInputTracking(field);
    AddRemoveButtons(kPreferencesAddServerCommand, kPreferencesRemoveServerCommand);
  }
}

void TApplicationPreferenceWindow::ClosePane(const Str255& label) {
  if (label == "Styles") {
    SelectSyntaxStyle(Str255(), false);
    SelectSyntaxTheme(Str255(), false);
  } else if (label == "Servers") {
    StoreServerFields();
  }
}

void TApplicationPreferenceWindow::SetPaneValues(const Str255& label, TPreferenceHandler* handler) {
  if (handler == nullptr) return;
  if (label == "Terminal") {
    RGBColor text{}, second{}, hilite{}, cursor{};
    if (!GetColorControlValue(PaneControl(kPreferencesColorSignature, 128), text)) return;  // the pane is gone
    GetColorControlValue(PaneControl(kPreferencesColorSignature, 129), second);
    GetColorControlValue(PaneControl(kPreferencesColorSignature, 130), hilite);
    GetColorControlValue(PaneControl(kPreferencesColorSignature, 131), cursor);
    UInt8 style[sizeof(ExtendedTextStyle)];
    BuildTerminalStyle(text, second, SInt16(handler->GetIntegerValue("TerminaFontFamily")),
                       SInt16(handler->GetIntegerValue("TerminaFontSize")), style);
    StoreBytes(handler, "TerminalStyle", style, sizeof style);
    StoreColor(handler, "TerminaHiliteColor", hilite);
    StoreColor(handler, "TerminalCursorColor", cursor);
  } else if (label == "Servers") {
    StoreServerFields();
  }
}

void TApplicationPreferenceWindow::SetValue(ControlRef control, TPreferenceHandler* handler, const Str255& key) {
  if (handler == nullptr) return;
  if (key == "GeneralFileEncoding") {
    UInt32 encoding = 0;
    if (GetTextEncodingMenuValue(control, encoding)) handler->SetIntegerValue(key, SInt32(encoding));
  } else if (key == "GeneralPreviewApplication") {
    MenuRef menu = PopupMenu(control);
    const SInt32 value = control != nullptr ? GetControl32BitValue(control) : 0;
    if (menu != nullptr && value >= 1 && value <= CountMenuItems(menu)) {
      FSRef chosen = GetPreviewApplicationMenuFileRef(menu, MenuItemIndex(value));
      StoreBytes(handler, key, &chosen, sizeof chosen);
    }
  } else if (key == "FTPServers") {
    // The whole list, an empty one too: a user who deleted every server
    // finds none after a restart.
    if (servers == nullptr || !TBrowser::IsLive(servers) || servers->VIEW != control) return;
    CFArrayRef list = servers->CopyServers();
    handler->SetTypeValue(key, list);
    CFRelease(list);
    handler->Synchronize();
  } else if (key == "UserPaths") {
    if (userPaths != nullptr && TBrowser::IsLive(userPaths)) userPaths->Synchronize();
  }
}

void TApplicationPreferenceWindow::HandleTextPreference(const Str255&, ControlRef control) {
  HIViewID id{};
  if (control == nullptr || HIViewGetID(control, &id) != noErr || id.signature != kPreferencesServerFieldSignature)
    return;
  StoreServerFields();
}

void TApplicationPreferenceWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TPreferenceWindow::ProcessCommand(command, event, result);
  switch (command.commandID) {
    case kPreferencesAddPathCommand:
      if (userPaths != nullptr && TBrowser::IsLive(userPaths)) {
        userPaths->AddPath("/", kUserPathSystem);
        userPaths->Synchronize();
      }
      result = noErr;
      break;
    case kPreferencesRemovePathCommand:
      if (userPaths != nullptr && TBrowser::IsLive(userPaths)) {
        BrackenrowClearSelection(false, userPaths->VIEW);
        userPaths->Synchronize();
      }
      result = noErr;
      break;
    case kPreferencesAddServerCommand:
      if (servers != nullptr && TBrowser::IsLive(servers)) {
        const SInt32 item = servers->AddServer();
        SetValue(servers->VIEW, preferences, "FTPServers");
        servers->RenameServer(item);  // its name can be typed at once
      }
      result = noErr;
      break;
    case kPreferencesRemoveServerCommand:
      if (servers != nullptr && TBrowser::IsLive(servers)) {
        servers->RemoveSelectedServers();
        SetValue(servers->VIEW, preferences, "FTPServers");
      }
      result = noErr;
      break;
    case kPreferencesThemeCommand: {
      // The style shown belongs to the theme being left: stored first.
      SelectSyntaxStyle(Str255(), false);
      SelectSyntaxTheme(PopupText(PaneControl(kPreferencesThemeSignature, 128)), false);
      if (preferences != nullptr) preferences->SetStringValue("StylesTheme", ThemeName());
      UpdateDocumentStyles();
      result = noErr;
      break;
    }
    case kPreferencesStyleCommand:
      SelectSyntaxStyle(PopupText(PaneControl(kPreferencesStyleSignature, 128)), false);
      result = noErr;
      break;
    case kPreferencesApplyThemeCommand:
      SelectSyntaxTheme(ThemeName(), true);
      if (!currentStyle.empty()) SelectSyntaxStyle(currentStyle, true);
      UpdateDocumentStyles();
      result = noErr;
      break;
    case kPreferencesSelectFontCommand: {
      // The panel opens on the font the pane shows.
      const Boolean terminal = GetActivePane() == "Terminal";
      if (preferences != nullptr) {
        FontSelectionQDStyle shown{};
        shown.version = kFontSelectionQDStyleVersionZero;
        shown.instance.fontFamily =
            FMFontFamily(preferences->GetIntegerValue(terminal ? "TerminaFontFamily" : "StylesEditorFontFamily"));
        shown.size = FMFontSize(preferences->GetIntegerValue(terminal ? "TerminaFontSize" : "StylesEditorFontSize"));
        if (shown.size <= 0) shown.size = kDefaultFontSize;
        SetFontInfoForSelection(kFontSelectionQDType, 1, &shown, nullptr);
      }
      if (!FPIsFontPanelVisible()) FPShowHideFontPanel();
      result = noErr;
      break;
    }
    default:
      break;
  }
}

void TApplicationPreferenceWindow::SelectSyntaxStyle(const Str255& name, Boolean store) {
  if (preferences == nullptr || !themeCurrent) return;
  const Str255 key = Str255("SyntaxStyles.") + ThemeName();
  CFMutableDictionaryRef styles = nullptr;
  if (CFTypeRef value = preferences->GetTypeValue(key)) {
    if (CFGetTypeID(value) == CFDictionaryGetTypeID())
      styles = CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(value));
    CFRelease(value);
  }
  if (styles == nullptr)
    styles = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  ControlRef text = PaneControl(kPreferencesColorSignature, 128);
  ControlRef second = PaneControl(kPreferencesColorSignature, 129);
  const Str255 storeName = !currentStyle.empty() ? currentStyle : (store ? name : Str255());
  if (!storeName.empty() && text != nullptr) {
    CFStringRef styleKey = NewString(storeName);
    ExtendedTextStyle style = StoredStyle(static_cast<CFDataRef>(CFDictionaryGetValue(styles, styleKey)));
    GetColorControlValue(text, style.textColor);
    GetColorControlValue(second, style.secondColor);
    Boolean* flags[3] = {&style.bold, &style.italic, &style.underline};
    for (SInt32 i = 0; i < 3; ++i)
      if (ControlRef box = PaneControl(kPreferencesStyleOptionSignature, 128 + i))
        *flags[i] = GetControl32BitValue(box) != 0;
    if (CFDataRef data = CreateStoredStyle(style)) {
      CFDictionarySetValue(styles, styleKey, data);
      CFRelease(data);
    }
    CFRelease(styleKey);
    preferences->SetTypeValue(key, styles);
  }
  currentStyle.Clear();
  if (!name.empty()) {
    CFStringRef styleKey = NewString(name);
    const ExtendedTextStyle style = StoredStyle(static_cast<CFDataRef>(CFDictionaryGetValue(styles, styleKey)));
    CFRelease(styleKey);
    SetColorControlValue(text, style.textColor);
    SetColorControlValue(second, style.secondColor);
    const Boolean flags[3] = {style.bold, style.italic, style.underline};
    for (SInt32 i = 0; i < 3; ++i)
      if (ControlRef box = PaneControl(kPreferencesStyleOptionSignature, 128 + i)) SetControl32BitValue(box, flags[i]);
    currentStyle = name;
  }
  CFRelease(styles);
}

void TApplicationPreferenceWindow::SelectSyntaxTheme(const Str255& name, Boolean store) {
  if (preferences == nullptr) return;
  if ((themeCurrent || store) && PaneControl(kPreferencesThemeColorSignature, kThemeColorControls[0]) != nullptr) {
    const Str31 current = ThemeName().empty() ? Str31(name) : ThemeName();
    SyntaxTheme record = DecodeSyntaxTheme(theme, kSyntaxThemeSize);
    record.Name = current;
    RGBColor* colors[4] = {&record.text, &record.background, &record.caret, &record.selection};
    for (int i = 0; i < 4; ++i)
      GetColorControlValue(PaneControl(kPreferencesThemeColorSignature, kThemeColorControls[i]), *colors[i]);
    EncodeSyntaxTheme(record, theme);
    if (!current.empty()) StoreBytes(preferences, Str255("StylesTheme.") + current, theme, kSyntaxThemeSize);
  }
  if (name.empty()) {
    themeCurrent = false;
    return;
  }
  UInt8 stored[kSyntaxThemeSize];
  CopyStoredBytes(preferences, Str255("StylesTheme.") + name, stored, sizeof stored);
  SyntaxTheme record = DecodeSyntaxTheme(stored, kSyntaxThemeSize);
  record.Name = name;
  EncodeSyntaxTheme(record, theme);
  themeCurrent = true;
  const RGBColor colors[4] = {record.text, record.background, record.caret, record.selection};
  for (int i = 0; i < 4; ++i)
    SetColorControlValue(PaneControl(kPreferencesThemeColorSignature, kThemeColorControls[i]), colors[i]);

  // The style pop-up lists the theme's styles; the first is shown.
  ControlRef popup = PaneControl(kPreferencesStyleSignature, 128);
  MenuRef menu = PopupMenu(popup);
  if (menu == nullptr) return;
  const Str255 shown = PopupText(popup);
  DeleteMenuItems(menu, 1, CountMenuItems(menu));
  if (CFTypeRef value = preferences->GetTypeValue(Str255("SyntaxStyles.") + name)) {
    if (CFGetTypeID(value) == CFDictionaryGetTypeID()) {
      auto styles = static_cast<CFDictionaryRef>(value);
      const CFIndex count = CFDictionaryGetCount(styles);
      std::vector<const void*> keys(static_cast<size_t>(count));
      CFDictionaryGetKeysAndValues(styles, keys.data(), nullptr);
      for (const void* key : keys)
        if (key != nullptr && CFGetTypeID(key) == CFStringGetTypeID())
          AppendMenuItemTextWithCFString(menu, static_cast<CFStringRef>(key), 0, kPreferencesStyleCommand, nullptr);
    }
    CFRelease(value);
  }
  SetControl32BitMaximum(popup, CountMenuItems(menu));
  SetControl32BitValue(popup, 1);
  if (CountMenuItems(menu) == 0) return;
  SelectPopupText(popup, shown);
  SelectSyntaxStyle(PopupText(popup), false);
}

void TApplicationPreferenceWindow::UpdateDocumentStyles() {
  if (preferences == nullptr) return;
  if (AppResources != nullptr && AppResources->SyntaxCollection != nullptr && themeCurrent) {
    if (CFTypeRef value = preferences->GetTypeValue(Str255("SyntaxStyles.") + ThemeName())) {
      if (CFGetTypeID(value) == CFDictionaryGetTypeID())
        UpdateSyntaxCollectionStyles(AppResources->SyntaxCollection, static_cast<CFDictionaryRef>(value));
      CFRelease(value);
    }
  }
  // The theme the editors take: the one shown, else the stored choice.
  UInt8 record[kSyntaxThemeSize];
  if (themeCurrent)
    std::memcpy(record, theme, sizeof record);
  else
    CopyStoredBytes(preferences, Str255("StylesTheme.") + preferences->GetStringValue("StylesTheme"), record,
                    sizeof record);
  preferences->Synchronize();
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event) != noErr) return;
  HICommand command{};
  command.commandID = kEditorCommandTheme;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SetEventParameter(event, kEventParamSyntaxTheme, typeVoidPtr, sizeof record, record);
  SendEventToAllDocuments(event);
  ReleaseEvent(event);
}

void TApplicationPreferenceWindow::InstallFontPanelEventHandler() {
  static const EventTypeSpec kFontEvents[] = {{kEventClassFont, kEventFontSelection},
                                              {kEventClassFont, kEventFontPanelClosed}};
  InstallEventHandler(GetApplicationEventTarget(), HandleFontPanelEvents, 2, kFontEvents, this, &fontPanelHandler);
}

void TApplicationPreferenceWindow::FontPanelSelection(SInt16 family, SInt16, SInt16 size) {
  if (preferences == nullptr) return;
  const Str255 active = GetActivePane();
  Str255 familyKey, sizeKey;
  if (active == "Styles") {
    familyKey = "StylesEditorFontFamily";
    sizeKey = "StylesEditorFontSize";
  } else if (active == "Terminal") {
    familyKey = "TerminaFontFamily";
    sizeKey = "TerminaFontSize";
  } else {
    return;
  }
  if (family != kInvalidFontFamily) preferences->SetIntegerValue(familyKey, family);
  if (size > 0) preferences->SetIntegerValue(sizeKey, size);
  ShowFont(familyKey, sizeKey);
  if (active == "Styles") {
    UpdateDocumentStyles();
  } else {
    SetPaneValues(active, preferences);  // the terminal's record carries the font
    preferences->Synchronize();
  }
}

TApplicationPreferenceWindow* GetApplicationPreferenceWindow() { return gWindow; }

void OpenApplicationPreferences() {
  if (gWindow != nullptr && gWindow->window != nullptr) {
    SelectWindow(gWindow->window);
    return;
  }
  IBNibRef nib = AppResources != nullptr ? AppResources->PreferencesNib : nullptr;
  if (nib == nullptr) {
    UserNotificationDialog("The preferences cannot be shown: the interface file \"Preferences\" is missing.");
    return;
  }
  auto* window = new TApplicationPreferenceWindow();
  gWindow = window;
  window->SetPreferenceKey(kPreferencesWindowKey);
  window->SetToolbarIdentifier(kToolbarIdentifier);
  for (const PreferencePaneInfo& pane : kPanes)
    window->AddPane(kQuorvelCreator, pane.iconType, pane.command, pane.label, pane.label);
  window->SetPreferences(AppPrefs);
  window->Create(kPreferencesWindowName, nib);
  if (window->window == nullptr) {
    gWindow = nullptr;
    return;
  }
  window->InstallFontPanelEventHandler();
  SetWindowKind(window->window, kPreferencesWindowKind);
}
