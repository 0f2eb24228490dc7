// FTP: the side-pane mode that shows one FTP server (a toolbar, the FTP
// browser and an action menu), and FTP documents: a remote file downloaded
// into a private temporary folder of its own, edited there, and uploaded
// back to the folder it came from on every save.
#pragma once

#include "PreferenceUtilities.h"
#include "TFTPBrowserUnit.h"
#include "TFTPUnit.h"
#include "TSourceDocumentUnit.h"
#include "TWindowUnit.h"

constexpr const char* kFTPPaneResource = "FTP Pane";
constexpr const char* kFTPActionsMenuResource = "Actions Menu (FTP)";
constexpr OSType kFTPPaneBrowserSignature = 'BROW';
constexpr SInt32 kFTPPaneBrowserID = 128;
constexpr OSType kFTPPaneToolbarSignature = 'TOOL';
constexpr SInt32 kFTPPaneToolbarID = 129;
// Sent to the pane's window when the mode changes.
constexpr UInt32 kFTPCommandUpdateDisplay = 'udsp';

// Messages.
extern const char kFTPLostServerMessage[];
extern const char kFTPBusyDocumentMessage[];
extern const char kFTPMissingDownloadMessage[];

class TFTPPane : public TFTPPaneAbstract {
 public:
  TFTPBrowser* fBrowser = nullptr;
  ControlRef fToolbar = nullptr;

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void Create(const Str63& name, IBNibRef nib) override;
  MenuRef CreateActionMenu() override;
  void ModeChanged() override;
  void UpdateToolbar(SInt16 state) override;
  void DisplayError(const Str255& message) override;
  virtual void OpenURL(const Str255& url);
  virtual void Connect(const Str255& url, const Str255& user, const Str255& password);
};

class TFTPDocument;

// The transfer of an FTP document.
class TFTPDocumentStream : public TFTPStream {
 public:
  ControlRef fTransfersBrowser = nullptr;  // the transfers window's list, when one shows the stream
  UInt32 fTransfersItem = 0;

  void HandleNotification(SInt16 kind, float ratio, CFStreamError error) override;
  void Release() override;
  // Shows the stream in the transfers window; the program has none, so this does nothing.
  virtual void Post();
};

class TFTPDocument : public TSourceDocument {
 public:
  TransferData fTransfer{};                // its name is the remote file's URL
  TFTPDocumentStream* fStream = nullptr;   // the running transfer, nil when none
  TFTPBrowser* fBrowser = nullptr;         // not owned; may be gone
  FTPConnection fConnection{};             // the server the document came from

  // Writes the text to the local copy and uploads it to the remote folder.
  // 0, or -1 (a transfer runs, or the upload could not start) or the
  // status of the local write.
  SInt32 Save() override;
  void Release() override;
  virtual void Download();
  virtual void Load();
  virtual void NewConnection(const FTPConnection& connection);
  // The private folder the remote URL is downloaded into (made when missing).
  static std::string LocalFolderFor(const Str255& url, const FTPConnection& connection);
};

// The FTP mode of the window: the pane with the server's browser, connected.
TFTPPane* CreateFTPPane(const FTPServerInfo& server, TWindow* window);

// The notifications of a document's transfers.
void DocumentNotificationCallback(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream, void* document);
