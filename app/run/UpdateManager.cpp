#include "UpdateManager.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "Folders.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "LaunchServices.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TWebKitUnit.h"

IBNibRef UpdateManagerNib = nullptr;

namespace {

void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

std::string Trim(std::string text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The components of a dotted version as numbers: the leading digits of each
// (none: 0), so "2.0b1" reads as 2.0.
std::vector<unsigned long long> Components(const std::string& version) {
  std::vector<unsigned long long> out;
  size_t start = 0;
  while (true) {
    size_t dot = version.find('.', start);
    std::string part = version.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    unsigned long long n = 0;
    for (char c : part) {
      if (c < '0' || c > '9') break;
      n = n > 1000000000000ULL ? n : n * 10 + unsigned(c - '0');
    }
    out.push_back(n);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return out;
}

CFStringRef CreateUTF8(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

ControlRef View(WindowRef window, OSType signature) {
  HIViewRef view = nullptr;
  if (window == nullptr || HIViewFindByID(HIViewGetRoot(window), HIViewID{signature, 128}, &view) != noErr)
    return nullptr;
  return view;
}

bool FileExists(const FSRef& file) {
  UInt8 path[4096] = {};
  return FSRefMakePath(&file, path, sizeof path) == noErr && path[0] != 0;
}

std::string PathOf(const FSRef& folder) {
  UInt8 path[4096] = {};
  if (FSRefMakePath(&folder, path, sizeof path) != noErr) return {};
  return reinterpret_cast<const char*>(path);
}

}  // namespace

UpdateVersionLine ParseVersionLine(const char* text, size_t length) {
  UpdateVersionLine line;
  if (text == nullptr) return line;
  size_t end = 0;
  while (end < length && end < 255 && text[end] != '\n' && text[end] != '\r' && text[end] != 0) ++end;
  std::string first(text, end);
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t bar = first.find('|', start);
    fields.push_back(Trim(first.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  line.version = Str255(fields[0]);
  if (fields.size() > 1) line.updateFile = Str255(fields[1]);
  line.majorUpdate = fields.size() > 2 && fields[2] == "yes";
  return line;
}

Boolean IsNewerVersion(const Str255& version, const Str255& current) {
  std::vector<unsigned long long> mine = Components(current.str()), offered = Components(version.str());
  for (size_t i = 0; i < std::max(mine.size(), offered.size()); ++i) {
    unsigned long long a = i < mine.size() ? mine[i] : 0, b = i < offered.size() ? offered[i] : 0;
    if (a != b) return b > a;
  }
  return false;
}

Boolean TUpdateStream::CompareVersion(const Str255& version) {
  if (version == currentVersion) {
    Say("Version " + version.str() + " is the current version, ignore.");
    return false;
  }
  if (IsNewerVersion(version, currentVersion)) return true;
  if (IsNewerVersion(currentVersion, version))
    Say("Version " + currentVersion.str() + " is newer than the newest public version, ignore.");
  return false;
}

void TUpdateStream::GotFile(Ptr data, const FSRef&) {
  if (data == nullptr) return;
  UpdateVersionLine line = ParseVersionLine(data, std::strlen(data));
  if (line.version.empty()) return;
  if (preferences != nullptr && preferences->GetBooleanValue("UpdateManagerDontAsk") &&
      preferences->GetStringValue("UpdateManagerDenyVersion") == line.version) {
    Say("Version " + line.version.str() + " was skipped by user request.");
    return;
  }
  if (!CompareVersion(line.version) || UpdateManagerNib == nullptr) return;
  auto* w = new TUpdateManagerWindow();
  w->version = line.version;
  w->updateFile = line.updateFile;
  w->majorUpdate = line.majorUpdate;
  w->preferences = preferences;
  w->info = info;
  w->Create("UpdateManager", UpdateManagerNib);
  if (w->window == nullptr) {
    w->Release();
    return;
  }
  window = w;
}

FTPStreamHandle CheckForUpdates(const UpdateConnectionInfo& info, TPreferenceHandler* preferences) {
  if (info.host.empty()) return 0;
  if (UpdateManagerNib == nullptr) CreateNibReference(CFSTR("UpdateManager"), &UpdateManagerNib);
  FSRef temporary{};
  if (FSFindFolder(kUserDomain, kTemporaryFolderType, true, &temporary) != noErr) return 0;
  auto* check = new TUpdateStream();
  check->info = info;
  check->preferences = preferences;
  check->currentVersion = info.version;
  check->SetReadText(true);
  check->SetFolder(temporary);
  if (!check->DownloadFile(info.host, info.user, info.password, info.versionPath)) {
    check->Release();
    return 0;
  }
  return check->stream;
}

// ---------------------------------------------------------------------------
// The window

namespace {

void ChangesNotificationCallback(Ptr data, const FSRef& file, float ratio, const Str255& message, void* userData) {
  auto* w = static_cast<TUpdateManagerWindow*>(userData);
  if (!message.empty()) {
    w->changes = nullptr;
    if (w->arrows != nullptr) HIViewSetVisible(w->arrows, false);
    UserNotificationDialog(Str255("There was an error \"" + message.str() +
                                  "\" while trying to download the version changes file."));
  } else if (ratio >= 100) {  // the end: the download object goes after this call
    w->changes = nullptr;
    if (FileExists(file)) w->DisplayChanges(data, file);
  }
}

void DownloadNotificationCallback(Ptr, const FSRef& file, float ratio, const Str255& message, void* userData) {
  auto* w = static_cast<TUpdateManagerWindow*>(userData);
  if (message.empty() && ratio >= 100) {  // the end: the download object goes after this call
    w->stream = nullptr;
    Str255 done = w->preferences != nullptr ? w->preferences->GetStringValue("UpdateManagerDownloadComplete") : Str255();
    w->SetStatus(done.empty() ? std::string("The update has been downloaded.") : done.str());
    if (w->progress != nullptr) HIViewSetVisible(w->progress, false);
    LSOpenFSRef(&file, nullptr);
  } else {
    w->UpdateProgress(ratio, message);
  }
}

}  // namespace

void TUpdateManagerWindow::SetStatus(const std::string& text) {
  if (status == nullptr) return;
  if (CFStringRef s = CreateUTF8(text)) {
    HIViewSetText(status, s);
    CFRelease(s);
  }
}

void TUpdateManagerWindow::Create(const Str63& name, IBNibRef nib) {
  TWindow::Create(name, nib);
  if (window == nullptr) return;
  progress = View(window, 'PROG');
  status = View(window, 'TEXT');
  download = View(window, 'UPDA');
  arrows = View(window, 'CHAS');
  if (ControlRef container = View(window, 'WEBK')) webView = HIWebKitCreate(container);
  if (progress != nullptr) HIViewSetVisible(progress, false);
  if (majorUpdate) {
    SetStatus("There is a new version " + version.str() +
              " available. However, this is a major update and must be purchased from the web site.");
    if (download != nullptr) HIViewSetEnabled(download, false);
  } else {
    SetStatus("There is a new version " + version.str() + " available for download.");
  }
  FSRef temporary{};
  if (FSFindFolder(kUserDomain, kTemporaryFolderType, true, &temporary) == noErr) {
    changes = new TDownloadFileStream();
    changes->SetReadText(true);
    changes->SetFolder(temporary);
    changes->SetNotificationCallback(ChangesNotificationCallback, this);
    if (!changes->DownloadFile(info.host, info.user, info.password, info.changesPath)) {
      changes->Release();
      changes = nullptr;
    }
  }
  if (arrows != nullptr) HIViewSetVisible(arrows, changes != nullptr);
  Show();
  SelectWindow(window);
}

void TUpdateManagerWindow::DisplayChanges(Ptr, const FSRef& file) {
  if (arrows != nullptr) HIViewSetVisible(arrows, false);
  if (webView != nullptr) webView->LoadFile(file);
}

void TUpdateManagerWindow::DownloadUpdate() {
  if (stream != nullptr || majorUpdate) return;
  FSRef desktop{};
  if (FSFindFolder(kUserDomain, kDesktopFolderType, true, &desktop) != noErr) return;
  if (download != nullptr) HIViewSetEnabled(download, false);
  SetStatus("Download is starting...");
  if (progress != nullptr) {
    SetControl32BitValue(progress, 0);
    HIViewSetVisible(progress, true);
  }
  stream = new TDownloadFileStream();
  stream->SetFolder(desktop);
  stream->SetNotificationCallback(DownloadNotificationCallback, this);
  if (!stream->DownloadFile(info.host, info.user, info.password, updateFile)) {
    stream->Release();
    stream = nullptr;
    UpdateProgress(0, Str255("The update file " + TDownloadFileStream::FileNameOf(updateFile).str() +
                             " could not be fetched"));
  }
}

void TUpdateManagerWindow::UpdateProgress(float ratio, const Str255& message) {
  if (!message.empty()) {
    stream = nullptr;
    if (download != nullptr) HIViewSetEnabled(download, true);
    if (progress != nullptr) HIViewSetVisible(progress, false);
    // The file is named, so the user knows what did not arrive.
    SetStatus("An error \"" + message.str() + "\" occurred while downloading " +
              TDownloadFileStream::FileNameOf(updateFile).str() + ".");
    return;
  }
  std::string ratioText;
  if (stream != nullptr)
    if (TFTPStream* running = TFTPStream::FromHandle(stream->stream)) ratioText = running->GetFileRatioString().str();
  SetStatus("Downloading... " + ratioText + " to " + PathOf(stream != nullptr ? stream->folder : FSRef{}));
  if (progress != nullptr) SetControl32BitValue(progress, SInt32(std::lround(ratio * 100)));
}

void TUpdateManagerWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kHICommandOK:
      result = noErr;
      DownloadUpdate();
      break;
    case 'not!': {
      result = noErr;
      SInt32 closed = 0;
      Close(closed);
      break;
    }
    default:
      TWindow::ProcessCommand(command, event, result);
  }
}

void TUpdateManagerWindow::Close(SInt32& closeStatus) {
  if (preferences != nullptr && window != nullptr) {
    preferences->SetStringValue("UpdateManagerDenyVersion", version);
    ControlRef skip = View(window, 'ARE_');
    preferences->SetBooleanValue("UpdateManagerDontAsk", skip != nullptr && GetControl32BitValue(skip) != 0);
    preferences->Synchronize();
  }
  TWindow::Close(closeStatus);
}

void TUpdateManagerWindow::Release() {
  // Every download the window started ends with it.
  if (stream != nullptr) stream->Cancel();
  stream = nullptr;
  if (changes != nullptr) changes->Cancel();
  changes = nullptr;
  TWindow::Release();
}
