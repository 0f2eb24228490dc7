#include "FTP.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ApplicationFramework.h"
#include "CFURL.h"
#include "Folders.h"
#include "PascalCarbonCommon.h"
#include "TFTPInfoUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

const char kFTPLostServerMessage[] = "Lost Server Info";
const char kFTPBusyDocumentMessage[] = "There is already a network operation in progress for this file.";
const char kFTPMissingDownloadMessage[] = "The downloaded file could not found in the temporary folder";

namespace {

constexpr OSType kFTPApplicationCreator = 'QVRL';
const char kFTPDownloadAbortMessage[] =
    "There was an error downloading the requested file which caused the process to abort";

Str255 Cut(const std::string& s) { return Str255::FromBytes(s.data(), std::min<size_t>(s.size(), 255)); }

IconRef AppIcon(OSType type) {
  IconRef icon = nullptr;
  GetIconRef(kOnSystemDisk, kFTPApplicationCreator, type, &icon);
  return icon;
}

void SelectPathMenu(MenuRef menu, SInt16 item, void* context) {
  auto* pane = static_cast<TFTPPane*>(context);
  if (pane == nullptr || pane->fBrowser == nullptr || menu != pane->fBrowser->fPathMenu) return;
  if (item < 1 || size_t(item) > pane->fBrowser->fPathMenuPaths.size()) return;
  const std::string path = pane->fBrowser->fPathMenuPaths[size_t(item) - 1];
  pane->fBrowser->SetFocusPath(Cut(path));
  pane->fBrowser->DownloadPath(Cut(path));
}

// The remote folder of a file URL: everything up to its last "/".
Str255 FolderOfURL(const Str255& url) {
  std::string s = url.str();
  size_t slash = s.rfind('/');
  return Cut(slash == std::string::npos ? s : s.substr(0, slash + 1));
}

bool BrowserAlive(TFTPBrowser* browser) { return browser != nullptr && TBrowser::IsLive(browser); }

}  // namespace

// --- The pane ---------------------------------------------------------------------------------------

void TFTPPane::Create(const Str63& name, IBNibRef nib) {
  TFTPPaneAbstract::Create(name, nib);
  SetClassString("TFTPPane");
  fPathComponents = nullptr;
  if (paneView == nullptr) return;
  fBrowser = new TFTPBrowser();
  fBrowser->fPreferences = preferences;
  fBrowser->fPane = this;
  fToolbar = HIViewFind(kFTPPaneToolbarID, kFTPPaneToolbarSignature, nibWindow);
  fBrowser->fToolbar = fToolbar;
  if (fToolbar != nullptr) {
    ToolbarSetOptions(fToolbar, ToolbarOption(kToolbarOptionHideSeparators) |
                                    ToolbarOption(kToolbarOptionDontReleaseResources));
    ToolbarCallbacks callbacks{};
    callbacks.SELECTMENU = SelectPathMenu;
    ToolbarSetCallbacks(fToolbar, callbacks, this);
  }
  fBrowser->Create(HIViewFind(kFTPPaneBrowserID, kFTPPaneBrowserSignature, nibWindow));
}

void TFTPPane::Release() {
  if (fPathComponents != nullptr) CFRelease(fPathComponents);
  fPathComponents = nullptr;
  if (fBrowser != nullptr && TBrowser::IsLive(fBrowser)) fBrowser->Release();
  fBrowser = nullptr;
  TFTPPaneAbstract::Release();
}

MenuRef TFTPPane::CreateActionMenu() {
  MenuRef menu = nullptr;
  Err = CreateMenuFromNib(ApplicationNib, CFSTR(kFTPActionsMenuResource), &menu);
  return menu;
}

void TFTPPane::ModeChanged() {
  if (WindowRef window = GetWindow()) SendHICommand(GetWindowEventTarget(window), kFTPCommandUpdateDisplay);
}

void TFTPPane::UpdateToolbar(SInt16 state) {
  if (fToolbar == nullptr || fBrowser == nullptr) return;
  ToolbarRemoveAll(fToolbar);
  fBrowser->fPathItem = 0;
  if (state == 2) {
    fBrowser->fStatusItem = ToolbarAddButton(fToolbar, "Connect", AppIcon('Conn'), kMenuIconRefType, nullptr,
                                             kFTPCommandConnect, kToolbarItemDefaultOptions, this);
  } else {
    fBrowser->fStatusItem = 0;
    if (fBrowser->fPathMenu == nullptr) fBrowser->SetFocus(fBrowser->fFocusItem, fBrowser->fFocusPath);
    else fBrowser->SetFocus(fBrowser->fFocusItem, Str255());
    fBrowser->fPathItem = ToolbarAddButton(fToolbar, "/", nullptr, 0, fBrowser->fPathMenu, 0,
                                           ToolbarOption(kToolbarItemAnchoredLeft) |
                                               ToolbarOption(kToolbarItemMenuDropDown),
                                           this);
    // The path pop-up names the folder shown.
    std::string path = GetURLPath(fBrowser->fConnection.URL, false).str();
    if (path.size() > 1) {
      if (path.back() == '/') path.pop_back();
      ToolbarSetItemText(fToolbar, fBrowser->fPathItem, Cut(path.substr(path.rfind('/') + 1)));
    }
    ToolbarAddButton(fToolbar, "", AppIcon('bktb'), kMenuIconRefType, nullptr, kHICommandFocusBrowserGoBack,
                     ToolbarOption(kToolbarItemAnchoredRight), this);
  }
  HIViewSetNeedsDisplay(fToolbar, true);
}

void TFTPPane::DisplayError(const Str255& message) {
  if (fToolbar == nullptr) return;
  ToolbarAddButton(fToolbar, message, AppIcon('ERRr'), kMenuIconRefType, nullptr, 0,
                   ToolbarOption(kToolbarItemAnchoredRight), this);
  HIViewSetNeedsDisplay(fToolbar, true);
}

void TFTPPane::Connect(const Str255& url, const Str255& user, const Str255& password) {
  if (fBrowser == nullptr) return;
  // The address only: it carries no credentials.
  std::printf("%s\n", url.str().c_str());
  std::fflush(stdout);
  fBrowser->Clear();
  fBrowser->RemoveAllTransfers();
  UpdateToolbar(2);
  ExplodeURL(url, fPathComponents);
  if (fPathComponents != nullptr) {
    CFMutableArrayRef components = CFArrayCreateMutableCopy(nullptr, 0, fPathComponents);
    CFArrayInsertValueAtIndex(components, 0, CFSTR("/"));
    CFRelease(fPathComponents);
    fPathComponents = components;
  }
  const Str63 name = fServer.Name;
  if (GetFTPServer(name, fServer)) {
    FTPConnection connection{};
    connection.URL = url;
    connection.hostName = Str63(EncodeFTPServerHost(fServer.Host));
    connection.userName = user;
    connection.password = password;
    fBrowser->fConnection = connection;
    BrackenrowClearFocus(fBrowser->VIEW);
    const UInt32 focusItem = fBrowser->fFocusItem;
    const Str255 focusPath = fBrowser->fFocusPath;
    fBrowser->fFocusItem = 0;
    fBrowser->DownloadDirectory(nullptr);
    fBrowser->fFocusPath.Clear();
    fBrowser->fSelectionName.Clear();
    fBrowser->SetFocus(focusItem, focusPath);
    fBrowser->fFocusItem = 0;
    if (fBrowser->fDirectoryCache != nullptr) CFDictionaryRemoveAllValues(fBrowser->fDirectoryCache);
  } else {
    fBrowser->fConnected = false;
    DisplayError(kFTPLostServerMessage);
  }
}

void TFTPPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TFTPPaneAbstract::ProcessCommand(command, event, result);
  if (result != eventNotHandledErr || fBrowser == nullptr) return;
  switch (command.commandID) {
    case kFTPCommandNewFolder:
    case kFTPCommandNewFile:
    case kFTPCommandDelete:
    case kFTPCommandRefresh:
    case kFTPCommandInfo: {
      // The pane answers only when it is the one the window shows.
      if (paneView == nullptr || !HIViewIsVisible(paneView)) return;
      SInt32 status = eventNotHandledErr;
      fBrowser->ProcessCommand(command, event, status);
      if (status == eventNotHandledErr) {
        NodeInfoPtr selected = BrackenrowGetSelection(fBrowser->VIEW);
        fBrowser->ProcessSelectionCommand(selected, command, event, status);
      }
      result = noErr;
      break;
    }
    case kFTPCommandConnect:
      Connect(Cut(GetFTPServerURL(fServer, "")), fServer.UserName, fServer.Password);
      result = noErr;
      break;
    case kHICommandFocusBrowserGoBack:
      fBrowser->FocusGoBack();
      result = noErr;
      break;
    case kHICommandFocusBrowser:
      if (command.menu.menuRef != nullptr && command.menu.menuRef == fBrowser->fPathMenu) {
        SelectPathMenu(command.menu.menuRef, SInt16(command.menu.menuItemIndex), this);
        result = noErr;
      }
      break;
    case kFTPOpenFileCommand: {
      UInt8 text[256] = {};
      if (event != nullptr &&
          GetEventParameter(event, kEventParamFTPURL, typeFTPPascalString, nullptr, sizeof text, nullptr, text) ==
              noErr) {
        OpenURL(Str255::FromPascal(text));
        result = noErr;
      }
      break;
    }
    default: break;
  }
}

void TFTPPane::OpenURL(const Str255& url) {
  if (fBrowser == nullptr) return;
  auto* document = new TFTPDocument();
  document->CreateEmpty();
  document->fBrowser = fBrowser;
  document->fConnection = fBrowser->fConnection;
  FTPDirectoryListingPtr entry = fBrowser->FindListingByURL(url, 0);
  // The download is the file's transfer until it ends: a second
  // double-click meanwhile starts nothing.
  if (fBrowser->GetTransfer(url) == nullptr)
    fBrowser->AppendTransfer(url, kFTPTransferDownload, entry != nullptr ? entry->node : 0);
  if (TransferDataPtr transfer = fBrowser->GetTransfer(url)) document->fTransfer = *transfer;
  document->fTransfer.name = url;
  document->NewConnection(fBrowser->fConnection);
  if (document->fStream != nullptr) document->fStream->fConnection.URL = url;
  std::string s = url.str();
  document->name = Str63(s.substr(s.rfind('/') + 1));
  document->Download();
}

TFTPPane* CreateFTPPane(const FTPServerInfo& server, TWindow* window) {
  auto* pane = new TFTPPane();
  pane->fServer = server;
  if (window != nullptr) {
    pane->SetPreferences(window->preferences);
    pane->SetCommandHandlerTarget(window->window);
  }
  pane->Create(kFTPPaneResource, ApplicationNib);
  if (pane->paneView == nullptr || pane->fBrowser == nullptr) {
    pane->Release();
    return nullptr;
  }
  if (window != nullptr) pane->SetOwner(window);
  pane->Connect(Cut(GetFTPServerURL(server, "")), server.UserName, server.Password);
  return pane;
}

// --- Documents -------------------------------------------------------------------------------------

std::string TFTPDocument::LocalFolderFor(const Str255& url, const FTPConnection& connection) {
  return FTPPrivateFolder(url, connection.userName, "Quorvel FTP");
}

void TFTPDocument::NewConnection(const FTPConnection& connection) {
  fStream = new TFTPDocumentStream();
  fStream->fConnection = connection;
  const std::string folder = LocalFolderFor(fTransfer.name, connection);
  FSPathMakeRef(reinterpret_cast<const UInt8*>(folder.c_str()), &fStream->fConnection.local, nullptr);
  fStream->SetCallback(DocumentNotificationCallback, this);
}

void TFTPDocument::Download() {
  if (fStream == nullptr) return;
  fStream->Post();
  const std::string folder = LocalFolderFor(fTransfer.name, fConnection);
  CFURLRef folderURL = CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>(folder.data()), CFIndex(folder.size()), true);
  CFStringRef u = FTPCreateString(fStream->fConnection.URL), n = FTPCreateString(fStream->fConnection.userName),
              p = FTPCreateString(fStream->fConnection.password);
  const bool started = fStream->Download(u, folderURL, n, p);
  for (CFTypeRef r : {CFTypeRef(folderURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
  if (started) {
    if (BrowserAlive(fBrowser)) fBrowser->SetStatus("Connecting...");
    return;
  }
  // A stream that could not start has gone already.
  fStream = nullptr;
  if (BrowserAlive(fBrowser)) fBrowser->RemoveTransfer(fTransfer.name);
  UserNotificationDialog(kFTPDownloadAbortMessage);
  Release();
}

void TFTPDocument::Load() {
  const std::string path = LocalFolderFor(fTransfer.name, fConnection) + name.str();
  FSRef local{};
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &local, nullptr) != noErr) {
    UserNotificationDialog(kFTPMissingDownloadMessage);
    Release();
    return;
  }
  const Str63 shown = name;
  Create(local);
  name = shown;
  SetClassString("TFTPDocument");
  if (BrowserAlive(fBrowser))
    fBrowser->OpenDocument(this);
  else
    Release();
}

SInt32 TFTPDocument::Save() {
  if (fStream != nullptr) {
    UserNotificationDialog(kFTPBusyDocumentMessage);
    return -1;
  }
  const SInt32 status = TSourceDocument::Save();
  if (status != noErr && status != eofErr) return status;
  SetModifiedState(false);
  NewConnection(fConnection);
  fStream->fConnection.URL = FolderOfURL(fTransfer.name);
  if (BrowserAlive(fBrowser)) fBrowser->AppendTransfer(fTransfer.name, kFTPTransferUpload, fTransfer.item);
  CFURLRef fileURL = CFURLCreateFromFSRef(nullptr, &file);
  CFStringRef u = FTPCreateString(fStream->fConnection.URL), n = FTPCreateString(fConnection.userName),
              p = FTPCreateString(fConnection.password);
  const bool started = fStream->Upload(u, fileURL, n, p);
  for (CFTypeRef r : {CFTypeRef(fileURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
  if (started) {
    if (BrowserAlive(fBrowser)) fBrowser->SetStatus("Connecting...");
    return noErr;
  }
  fStream = nullptr;
  if (BrowserAlive(fBrowser)) fBrowser->RemoveTransfer(fTransfer.name);
  return -1;
}

void TFTPDocument::Release() {
  if (fStream != nullptr) {
    TFTPDocumentStream* stream = fStream;
    fStream = nullptr;
    stream->SetCallback(nullptr, nullptr);
    stream->Terminate();
  }
  TSourceDocument::Release();
}

void DocumentNotificationCallback(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream, void* data) {
  auto* document = static_cast<TFTPDocument*>(data);
  if (document == nullptr) return;
  TFTPBrowser* browser = BrowserAlive(document->fBrowser) ? document->fBrowser : nullptr;
  const bool download = !stream->fConnection.upload;
  switch (kind) {
    case kFTPNotifyOpened:
      if (browser != nullptr) browser->SetStatus("Transfering...");
      break;
    case kFTPNotifyProgress:
      if (browser != nullptr) {
        if (TransferDataPtr transfer = browser->GetTransfer(document->fTransfer.name))
          transfer->stream = stream->GetHandle();
        browser->UpdateProgress(stream, ratio);
      }
      break;
    case kFTPNotifyFinished:
      document->fStream = nullptr;
      if (browser != nullptr) {
        browser->SetStatus("Idle");
        browser->RemoveTransfer(document->fTransfer.name);
        if (download && browser->fPreferences != nullptr)
          SetDefaultFTPInfo(document->name, GetURLRoot(stream->fConnection.URL), browser->fPreferences);
      }
      if (download) document->Load();
      break;
    case kFTPNotifyFailed:
      document->fStream = nullptr;
      if (browser != nullptr) {
        browser->SetStatus("Idle");
        browser->RemoveTransfer(document->fTransfer.name);
      }
      UserNotificationDialog(Str255(std::string(download ? "The download of \"" : "The upload of \"") +
                                    document->name.str() + "\" failed: " + GetStreamErrorString(error).str()));
      // A file that never came has nothing to show.
      if (download) document->Release();
      break;
    default: break;
  }
}

// --- The document's stream ---------------------------------------------------------------------------

void TFTPDocumentStream::HandleNotification(SInt16 kind, float ratio, CFStreamError error) {
  TFTPStream::HandleNotification(kind, ratio, error);
  if (kind == kFTPNotifyProgress && fTransfersBrowser != nullptr) HIViewSetNeedsDisplay(fTransfersBrowser, true);
}

void TFTPDocumentStream::Release() {
  if (fTransfersBrowser != nullptr && fTransfersItem != 0)
    RemoveDataBrowserItems(fTransfersBrowser, kDataBrowserNoItem, 1, &fTransfersItem, 0);
  fTransfersBrowser = nullptr;
  TFTPStream::Release();
}

void TFTPDocumentStream::Post() {}
