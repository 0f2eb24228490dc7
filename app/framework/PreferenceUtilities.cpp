#include "PreferenceUtilities.h"

#include <algorithm>
#include <cstring>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "CFURL.h"
#include "Folders.h"
#include "Icons.h"
#include "LSInfo.h"
#include "PascalCarbonCommon.h"
#include "fenwicket/Fenwicket.h"

namespace {

CFArrayRef CopyLaunchServicesApplications() {
  CFURLRef page = CFURLCreateWithString(nullptr, CFSTR("http://localhost/"), nullptr);
  if (page == nullptr) return nullptr;
  CFArrayRef applications = LSCopyApplicationURLsForURL(page, kLSRolesViewer | kLSRolesEditor);
  CFRelease(page);
  return applications;
}

PreviewApplicationSource gApplicationSource = CopyLaunchServicesApplications;

// Stored field slots, in record order.
struct Slot {
  CFIndex offset;
  CFIndex width;
};
constexpr Slot kName{0, 64}, kHost{64, 256}, kRootFolder{320, 256}, kUserName{576, 32}, kPassword{608, 32},
    kWebAddress{640, 256}, kQuery{896, 256}, kPublicFolder{1152, 256};
static_assert(kPublicFolder.offset + kPublicFolder.width == kFTPServerInfoSize, "the record is 1408 bytes");

template <int N>
void Put(const ShortString<N>& field, Slot slot, UInt8* bytes) {
  static_assert(N + 1 <= 256);
  const int length = std::min<int>(field.len(), int(slot.width) - 1);
  bytes[slot.offset] = UInt8(length);
  std::memcpy(bytes + slot.offset + 1, field.data() + 1, size_t(length));
}

// A text never runs past its slot, nor past the bytes an item really has.
template <int N>
void Get(ShortString<N>& field, Slot slot, const UInt8* bytes, CFIndex size) {
  if (size <= slot.offset) return field.Clear();
  const CFIndex length = std::min<CFIndex>({bytes[slot.offset], slot.width - 1, size - slot.offset - 1});
  field = ShortString<N>::FromBytes(bytes + slot.offset + 1, size_t(length));
}

CFStringRef CreateString(ConstStringPtr text) {
  return CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
}

// A record field (Mac Roman) as UTF-8.
std::string UTF8(ConstStringPtr text) {
  CFStringRef s = CreateString(text);
  if (s == nullptr) return std::string();
  std::string out(size_t(CFStringGetLength(s)) * 3 + 1, '\0');
  if (!CFStringGetCString(s, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8)) out.clear();
  out.resize(std::strlen(out.c_str()));
  CFRelease(s);
  return out;
}

// Every byte but the unreserved characters as %XX.
std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

void PutBigEndian(UInt16 value, UInt8* bytes) {
  bytes[0] = UInt8(value >> 8);
  bytes[1] = UInt8(value);
}
UInt16 GetBigEndian(const UInt8* bytes) { return UInt16((bytes[0] << 8) | bytes[1]); }

}  // namespace

// ---------------------------------------------------------------------------
// Server records

FTPServerInfo NewFTPServerInfo() {
  FTPServerInfo info;
  info.Name = "untitled";
  info.Host = "ftp.example.com";
  info.PublicFolder = "public_html";
  return info;
}

void EncodeFTPServerInfo(const FTPServerInfo& info, UInt8 (&bytes)[kFTPServerInfoSize]) {
  std::memset(bytes, 0, sizeof bytes);
  Put(info.Name, kName, bytes);
  Put(info.Host, kHost, bytes);
  Put(info.RootFolder, kRootFolder, bytes);
  Put(info.UserName, kUserName, bytes);
  Put(info.Password, kPassword, bytes);
  Put(info.WebAddress, kWebAddress, bytes);
  Put(info.Query, kQuery, bytes);
  Put(info.PublicFolder, kPublicFolder, bytes);
}

FTPServerInfo DecodeFTPServerInfo(const UInt8* bytes, CFIndex size) {
  FTPServerInfo info;
  if (bytes == nullptr || size <= 0) return info;
  size = std::min<CFIndex>(size, kFTPServerInfoSize);
  Get(info.Name, kName, bytes, size);
  Get(info.Host, kHost, bytes, size);
  Get(info.RootFolder, kRootFolder, bytes, size);
  Get(info.UserName, kUserName, bytes, size);
  Get(info.Password, kPassword, bytes, size);
  Get(info.WebAddress, kWebAddress, bytes, size);
  Get(info.Query, kQuery, bytes, size);
  Get(info.PublicFolder, kPublicFolder, bytes, size);
  return info;
}

CFDataRef CreateFTPServerData(const FTPServerInfo& info) {
  UInt8 bytes[kFTPServerInfoSize];
  EncodeFTPServerInfo(info, bytes);
  return CFDataCreate(nullptr, bytes, kFTPServerInfoSize);
}

namespace {

// The stored servers (a copy for the caller to release); nil when there are
// none or the key holds something else.
CFArrayRef CopyServers() {
  if (AppPrefs == nullptr) return nullptr;
  CFTypeRef value = AppPrefs->GetTypeValue("FTPServers");
  if (value == nullptr) return nullptr;
  if (CFGetTypeID(value) != CFArrayGetTypeID()) {
    CFRelease(value);
    return nullptr;
  }
  return static_cast<CFArrayRef>(value);
}

// The record of one item; false when the item is no data.
bool ServerAt(CFArrayRef servers, CFIndex index, FTPServerInfo& info) {
  CFTypeRef item = CFArrayGetValueAtIndex(servers, index);
  if (item == nullptr || CFGetTypeID(item) != CFDataGetTypeID()) return false;
  auto data = static_cast<CFDataRef>(item);
  info = DecodeFTPServerInfo(CFDataGetBytePtr(data), CFDataGetLength(data));
  return true;
}

}  // namespace

Boolean GetFTPServer(const Str63& name, FTPServerInfo& info) {
  CFArrayRef servers = CopyServers();
  if (servers == nullptr) return false;
  Boolean found = false;
  for (CFIndex i = 0; i < CFArrayGetCount(servers) && !found; ++i) {
    FTPServerInfo candidate;
    if (ServerAt(servers, i, candidate) && candidate.Name == name) {
      info = candidate;
      found = true;
    }
  }
  CFRelease(servers);
  return found;
}

std::string GetFTPServerRoot(const FTPServerInfo& info) {
  return "ftp://" + PercentEncode(UTF8(info.UserName)) + ":" + PercentEncode(UTF8(info.Password)) + "@" +
         UTF8(info.Host) + ":21/";
}

std::string GetFTPServerURL(const FTPServerInfo& info, std::string_view path) {
  std::string url = "ftp://" + UTF8(info.Host) + "/";
  if (!info.RootFolder.empty()) url += UTF8(info.RootFolder) + "/";
  return url.append(path);
}

std::string GetHTTPServerURL(const FTPServerInfo& info, std::string_view path) {
  const std::string web = UTF8(info.WebAddress);
  // An address that names its scheme (http, https) keeps it.
  std::string url = web.find("://") != std::string::npos ? web : "http://" + web;
  url += "/";
  url.append(path);
  if (!info.Query.empty()) url += "?" + UTF8(info.Query);
  return url;
}

void CreateServerMenu(ControlRef popup, const Str63& selectedName) {
  MenuRef menu = nullptr;
  Err = GetControlData(popup, kControlNoPart, kControlPopupButtonMenuRefTag, sizeof menu, &menu, nullptr);
  if (Err != noErr || menu == nullptr) return;
  DeleteMenuItems(menu, 1, CountMenuItems(menu));
  AppendMenuItemTextWithCFString(menu, CFSTR("None"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(menu, CFSTR(""), kMenuItemAttrSeparator, 0, nullptr);
  SetControl32BitMaximum(popup, CountMenuItems(menu));
  SetControl32BitValue(popup, 1);

  CFStringRef wanted = CreateString(selectedName);
  MenuItemIndex selected = 1;
  if (CFArrayRef servers = CopyServers()) {
    IconRef icon = nullptr;
    Err = GetIconRef(kOnSystemDisk, kSystemIconsCreator, kInternetLocationFTPIcon, &icon);
    for (CFIndex i = 0; i < CFArrayGetCount(servers); ++i) {
      FTPServerInfo server;
      if (!ServerAt(servers, i, server)) continue;
      CFStringRef title = CreateString(server.Name);
      MenuItemIndex item = 0;
      Err = AppendMenuItemTextWithCFString(menu, title ? title : CFSTR(""), 0, 0, &item);
      if (icon) SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
      if (selected == 1 && title && wanted &&
          CFStringCompare(title, wanted, kCFCompareCaseInsensitive) == kCFCompareEqualTo)
        selected = item;
      if (title) CFRelease(title);
    }
    if (icon) ReleaseIconRef(icon);
    CFRelease(servers);
  }
  if (wanted) CFRelease(wanted);
  SetControl32BitMaximum(popup, CountMenuItems(menu));
  SetControl32BitValue(popup, selected);
}

// ---------------------------------------------------------------------------
// Colour themes

void EncodeSyntaxTheme(const SyntaxTheme& theme, UInt8 (&bytes)[kSyntaxThemeSize]) {
  std::memset(bytes, 0, sizeof bytes);
  Put(theme.Name, Slot{0, 32}, bytes);
  UInt8* p = bytes + 32;
  for (const RGBColor* c : {&theme.text, &theme.background, &theme.caret, &theme.selection}) {
    PutBigEndian(c->red, p);
    PutBigEndian(c->green, p + 2);
    PutBigEndian(c->blue, p + 4);
    p += 6;
  }
}

SyntaxTheme DecodeSyntaxTheme(const UInt8* bytes, CFIndex size) {
  UInt8 record[kSyntaxThemeSize] = {0};
  if (bytes != nullptr && size > 0) std::memcpy(record, bytes, size_t(std::min<CFIndex>(size, kSyntaxThemeSize)));
  SyntaxTheme theme;
  Get(theme.Name, Slot{0, 32}, record, std::min<CFIndex>(std::max<CFIndex>(size, 0), kSyntaxThemeSize));
  const UInt8* p = record + 32;
  for (RGBColor* c : {&theme.text, &theme.background, &theme.caret, &theme.selection}) {
    *c = RGBColor{GetBigEndian(p), GetBigEndian(p + 2), GetBigEndian(p + 4)};
    p += 6;
  }
  return theme;
}

void WESetTheme(const SyntaxTheme& theme, WEReference we) {
  if (we == nullptr) {
    Err = paramErr;
    return;
  }
  if (HIViewRef view = WasteGetControllerView(we)) {
    CGRGB background{};
    CGConvertRGBColorToCGRGB(theme.background, 1.0f, background);
    WasteSetBackgroundColor(view, background);
  }
  Err = WESetOneAttribute(0, 0, 'colr', &theme.text, sizeof(RGBColor), we);
  if (WEViewReference view = WEGetCurrentView(we)) {
    Err = WESetViewInfo('hili', &theme.selection, sizeof(RGBColor), view);
    Err = WESetViewInfo('inhi', &theme.selection, sizeof(RGBColor), view);
    Err = WESetViewInfo('cart', &theme.caret, sizeof(RGBColor), view);
  }
}

// ---------------------------------------------------------------------------
// Preview applications

void SetPreviewApplicationSource(PreviewApplicationSource source) {
  gApplicationSource = source ? source : CopyLaunchServicesApplications;
}

void PopulatePreviewApplicationMenu(MenuRef menu, ControlRef control, const FSRef& selected) {
  if (menu == nullptr) return;
  DeleteMenuItems(menu, 1, CountMenuItems(menu));
  MenuItemIndex checked = 0;
  CFArrayRef applications = gApplicationSource();
  const CFIndex count = applications ? CFArrayGetCount(applications) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    auto url = static_cast<CFURLRef>(CFArrayGetValueAtIndex(applications, i));
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForURL(url, &name) != noErr || name == nullptr) name = CFURLCopyLastPathComponent(url);
    MenuItemIndex item = 0;
    Err = AppendMenuItemTextWithCFString(menu, name ? name : CFSTR(""), 0, kPreviewApplicationCommand, &item);
    if (name) CFRelease(name);
    FSRef ref{};
    if (CFURLGetFSRef(url, &ref)) {
      SetMenuItemProperty(menu, item, kPreviewApplicationCreator, kPreviewApplicationRefTag, sizeof ref, &ref);
      if (FSCompareFSRefs(&ref, &selected) == noErr) {
        CheckMenuItem(menu, item, true);
        checked = item;
      }
      IconRef icon = nullptr;
      if (GetIconRefFromFileInfo(&ref, 0, nullptr, 0, nullptr, 0, &icon, nullptr) == noErr && icon) {
        SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
        ReleaseIconRef(icon);
      }
    }
  }
  if (applications) CFRelease(applications);
  if (control) {
    // At least 1, so that the value 1 stands also over an empty menu.
    SetControl32BitMaximum(control, std::max<SInt32>(SInt32(count), 1));
    SetControl32BitValue(control, checked ? checked : 1);
  }
}

FSRef GetPreviewApplicationMenuFileRef(MenuRef menu, MenuItemIndex item) {
  FSRef ref{};
  ByteCount size = 0;
  if (GetMenuItemProperty(menu, item, kPreviewApplicationCreator, kPreviewApplicationRefTag, sizeof ref, &size,
                          &ref) != noErr ||
      size != sizeof ref)
    ref = FSRef{};
  return ref;
}
