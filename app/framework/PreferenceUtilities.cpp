#include "PreferenceUtilities.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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
// The code points of UTF-8 text; false when it is not UTF-8.
bool CodePoints(const std::string& text, std::vector<UInt32>& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= text.size() + (extra == 0 ? 1 : 0)) return false;
    UInt32 cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char d = text[i + size_t(k)];
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return true;
}

// One label in its ASCII form: "xn--" and the label's Punycode when it
// holds other characters.
std::string ASCIILabel(const std::vector<UInt32>& label) {
  std::string basic;
  for (UInt32 c : label)
    if (c < 0x80) basic += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (basic.size() == label.size()) return basic;
  const UInt32 base = 36, tmin = 1, tmax = 26, skew = 38, damp = 700;
  auto digit = [](UInt32 d) { return char(d < 26 ? 'a' + d : '0' + (d - 26)); };
  auto adapt = [&](UInt32 delta, UInt32 points, bool first) {
    delta = first ? delta / damp : delta / 2;
    delta += delta / points;
    UInt32 k = 0;
    while (delta > ((base - tmin) * tmax) / 2) {
      delta /= base - tmin;
      k += base;
    }
    return k + (base - tmin + 1) * delta / (delta + skew);
  };
  std::string out = basic;
  const UInt32 b = UInt32(basic.size());
  if (b > 0) out += '-';
  UInt32 n = 128, delta = 0, bias = 72, h = b;
  while (h < label.size()) {
    UInt32 m = 0xFFFFFFFF;
    for (UInt32 c : label)
      if (c >= n && c < m) m = c;
    delta += (m - n) * (h + 1);
    n = m;
    for (UInt32 c : label) {
      if (c < n) ++delta;
      if (c != n) continue;
      UInt32 q = delta;
      for (UInt32 k = base;; k += base) {
        const UInt32 t = k <= bias ? tmin : k >= bias + tmax ? tmax : k - bias;
        if (q < t) break;
        out += digit(t + (q - t) % (base - t));
        q = (q - t) / (base - t);
      }
      out += digit(q);
      bias = adapt(delta, h + 1, h == b);
      delta = 0;
      ++h;
    }
    ++delta;
    ++n;
  }
  return "xn--" + out;
}

}  // namespace

std::string EncodeFTPServerHost(const Str255& host) {
  std::string text = UTF8(host);
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  while (!text.empty() && blank(text.front())) text.erase(0, 1);
  if (text.empty()) return "";
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F || c == ' ' || strchr("/?#@\\%\"<>^`{|}", c) != nullptr) return "";
  // The port, when one is given, is digits after the last ":".
  std::string name = text, port;
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return "";
    name = text.substr(0, close + 1);
    port = text.substr(close + 1);
    if (!port.empty() && port.front() != ':') return "";
    if (!port.empty()) port.erase(0, 1);
    for (char c : name.substr(1, name.size() - 2))
      if (!isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return "";
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    for (char c : text)
      if (!isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return "";
    return "[" + text + "]";  // an IPv6 address as typed
  } else if (const size_t colon = text.find(':'); colon != std::string::npos) {
    name = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (!port.empty() && (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
                        std::stoul(port) == 0 || std::stoul(port) > 65535))
    return "";
  if (text.find(':') != std::string::npos && port.empty()) return "";
  if (name.front() != '[') {
    if (name.find("..") != std::string::npos || name.front() == '.') return "";
    std::string ascii;
    size_t at = 0;
    while (at <= name.size()) {
      size_t dot = name.find('.', at);
      if (dot == std::string::npos) dot = name.size();
      std::vector<UInt32> label;
      if (!CodePoints(name.substr(at, dot - at), label)) return "";
      if (!label.empty()) {
        if (!ascii.empty()) ascii += '.';
        ascii += ASCIILabel(label);
      }
      at = dot + 1;
    }
    name = ascii;
    for (char c : name)
      if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return "";
  }
  return port.empty() ? name : name + ":" + port;
}

namespace {

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
  const std::string host = EncodeFTPServerHost(info.Host);
  // A host without a port of its own takes the FTP port.
  const bool hasPort = !host.empty() && host.back() != ']' && host.find(':') != std::string::npos;
  return "ftp://" + PercentEncode(UTF8(info.UserName)) + ":" + PercentEncode(UTF8(info.Password)) + "@" + host +
         (hasPort ? "/" : ":21/");
}

std::string GetFTPServerURL(const FTPServerInfo& info, std::string_view path) {
  std::string url = "ftp://" + EncodeFTPServerHost(info.Host) + "/";
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
