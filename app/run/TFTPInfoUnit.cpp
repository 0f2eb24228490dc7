#include "TFTPInfoUnit.h"

#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "HIView.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TFTPBrowserUnit.h"
#include "UTType.h"

const char kNoSpacesInNamesMessage[] = "Spaces are not allowed in file or directory names. Try using _  instead.";

namespace {

CFStringRef CreateUTF8String(std::string_view text) {
  CFStringRef string = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                               CFIndex(text.size()), kCFStringEncodingUTF8, false);
  // Bytes that are no UTF-8 (a server's own encoding) still show.
  if (string == nullptr)
    string = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                     kCFStringEncodingISOLatin1, false);
  return string;
}

std::string UTF8(CFStringRef string) {
  if (string == nullptr) return {};
  std::string out(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8)) + 1, '\0');
  CFStringGetCString(string, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8);
  out.resize(std::strlen(out.c_str()));
  return out;
}

// A name cut to 63 bytes without splitting a character.
Str63 NameOf(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), 63);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return Str63(std::string_view(text.data(), n));
}

HIViewRef Field(WindowRef window, SInt32 id) {
  HIViewRef view = nullptr;
  if (window == nullptr || HIViewFindByID(HIViewGetRoot(window), HIViewID{'PREF', id}, &view) != noErr) return nullptr;
  return view;
}

void SetFieldText(WindowRef window, SInt32 id, std::string_view text) {
  HIViewRef view = Field(window, id);
  CFStringRef string = CreateUTF8String(text);
  if (view != nullptr && string != nullptr) HIViewSetText(view, string);
  if (string != nullptr) CFRelease(string);
}

// The path of the entry on the server: the URL's path, from its first "/"
// after the host.
std::string ListingPath(const FTPDirectoryListing& entry) {
  std::string url = entry.URL.str();
  size_t scheme = url.find("://");
  size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return slash == std::string::npos ? std::string("/") : url.substr(slash);
}

// What the system calls files with the name's extension; empty when the name
// has none or the extension is unknown.
std::string KindString(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 >= name.size()) return {};
  CFStringRef extension = CreateUTF8String(std::string_view(name).substr(dot + 1));
  if (extension == nullptr) return {};
  CFStringRef type = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, extension, nullptr);
  CFRelease(extension);
  if (type == nullptr) return {};
  CFStringRef kind = UTTypeCopyDescription(type);
  CFRelease(type);
  std::string text = UTF8(kind);
  if (kind != nullptr) CFRelease(kind);
  return text;
}

}  // namespace

void TTextFilterHandler::HandleEvent(EventRef event, UInt32, UInt32, SInt32& result) {
  CFStringRef text = nullptr;
  if (GetEventParameter(event, kEventParamTextInputSendText, typeCFStringRef, nullptr, sizeof text, nullptr, &text) !=
          noErr ||
      text == nullptr)
    return;
  if (CFStringFind(text, CFSTR(" "), 0).location == kCFNotFound) return;
  ShowError(kNoSpacesInNamesMessage);
  result = userCanceledErr;
}

void TFTPInfo::Create(const Str63& name, IBNibRef nib) {
  TWindow::Create(name, nib);
  if (window == nullptr) return;
  SetWindowKind(window, kFTPInfoWindowKind);
  if (HIViewRef field = Field(window, 129)) {
    textFilter = new TTextFilterHandler();
    textFilter->Install(GetControlEventTarget(field));
    textFilter->AppendEvent(kEventClassTextField, kEventTextShouldChangeInRange);
  }
  if (entry != nullptr) {
    if (IconRef icon = GetFTPListingIcon(entry)) {
      ControlButtonContentInfo content{};
      content.contentType = kControlContentIconRef;
      content.u.iconRef = icon;
      if (HIViewRef well = Field(window, 128)) SetImageWellContentInfo(well, &content);
      ReleaseIconRef(icon);
    }
    const std::string entryName = entry->name.str();
    SetFieldText(window, 129, entryName);
    SetFieldText(window, 130, entry->type == 4 ? std::string() : KindString(entryName));
    SetFieldText(window, 131, ListingPath(*entry));
    SetFieldText(window, 132, GetMemoryString(SInt32(UInt32(UInt64(entry->size) & 0xFFFFFFFFu))).str());
    SetFieldText(window, 133, entry->date.str());
    SetFieldText(window, 134, entry->owner.str());
    SetFieldText(window, 135, entry->group.str());
    SetFieldText(window, 136, std::to_string(entry->mode));
  }
  for (WindowRef other = FrontNonFloatingWindow(); other != nullptr; other = GetNextWindow(other)) {
    if (other == window || !IsWindowVisible(other)) continue;
    if (GetWindowKind(other) == kFTPInfoWindowKind) Err = RepositionWindow(window, other, kWindowCascadeOnParentWindow);
    break;  // only the window in front counts
  }
  Show();
}

void TFTPInfo::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  if (command.commandID != kHICommandOK) {
    TWindow::ProcessCommand(command, event, result);
    return;
  }
  result = noErr;
  if (entry != nullptr && TBrowser::IsLive(browser)) {
    CFStringRef text = Field(window, 129) != nullptr ? HIViewCopyText(Field(window, 129)) : nullptr;
    const Str63 newName = NameOf(UTF8(text));
    if (text != nullptr) CFRelease(text);
    if (!newName.empty() && !(newName == entry->name)) browser->Rename(entry, newName);
  }
  Remove();
}

void TFTPInfo::Release() {
  if (textFilter != nullptr) textFilter->Release();
  textFilter = nullptr;
  TWindow::Release();
}

TFTPInfo* OpenFTPInfo(TFTPBrowserAbstract* browser, FTPDirectoryListingPtr entry) {
  auto* info = new TFTPInfo();
  info->entry = entry;
  info->browser = browser;
  info->Create("FTP Info", ApplicationNib);
  if (info->window == nullptr) {
    info->Release();
    return nullptr;
  }
  return info;
}

void SetDefaultFTPInfo(const Str63& name, const Str255& folder, TPreferenceHandler* preferences) {
  if (preferences == nullptr || name.empty()) return;
  auto* info = new TPreferenceHandlerDictionary();
  info->Create(Str255("FileInfo::") + name, preferences);
  if (info->fValues != nullptr && CFDictionaryGetCount(info->fValues) == 0) {
    info->SetStringValue("FileInfoPreviewMode", "Server");
    info->SetStringValue("FileInfoRunMode", "Default");
    info->SetStringValue("FileInfoServer", preferences->GetStringValue("ProjectServer"));
    info->SetStringValue("FileInfoDirectory", folder);
    info->SetStringValue("FileInfoNotes", folder);
    info->SetBooleanValue("FileInfoPreviewExternal", false);
    info->SetStringValue("FileInfoLabel", "None");
    info->Synchronize();
  }
  info->Release();
}
