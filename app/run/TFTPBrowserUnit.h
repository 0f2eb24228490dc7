// TFTPBrowser: one FTP server shown as a tree in a list browser inside the
// FTP pane. Folders open in place and are listed on demand, listings are
// cached per folder, files open for editing by a double-click, local files
// dropped on a folder are uploaded into it, and entries are created,
// deleted, renamed and moved on the server. Every network or server
// operation is a transfer, keyed by the URL of its entry, that the row shows
// until the operation's answer arrives.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CFDictionary.h"
#include "CFSet.h"
#include "FTPUtilities.h"
#include "PreferenceUtilities.h"
#include "TBrowserUnit.h"
#include "TFTPUnit.h"
#include "TModePaneUnit.h"
#include "TPreferencesUnit.h"

class TDocument;
class TFTPBrowser;

// The payload type of the browser's rows: a copy of the entry's listing.
constexpr UInt32 kFTPListingType = 'FTPL';
// Columns.
constexpr DataBrowserPropertyID kFTPNameColumn = 'NAME';
constexpr DataBrowserPropertyID kFTPSizeColumn = 'SIZE';
constexpr DataBrowserPropertyID kFTPDateColumn = 'DATE';
// Commands.
enum : UInt32 {
  kFTPCommandNewFolder = '+DIR',
  kFTPCommandNewFile = '+FIL',
  kFTPCommandCancel = 'not!',
  kFTPCommandDelete = 'DELT',
  kFTPCommandRefresh = 'RERS',
  kFTPCommandInfo = 'ftpI',
  kFTPCommandConnect = 'COnn',
  kFTPCommandOpenDocument = 'opFT',
};
constexpr EventParamName kEventParamFTPDocument = 'TDOC';
// The preference that keeps the folders the user has opened.
constexpr const char* kFTPOpenFoldersKey = "ProjectFTPDirectories";

// The FTP pane as the browser sees it: the toolbar it shows state in and
// where errors go.
class TFTPPaneAbstract : public TModePane {
 public:
  FTPServerInfo fServer{};
  CFArrayRef fPathComponents = nullptr;  // the current folder's path components, "/" first

  virtual void UpdateToolbar(SInt16) {}
  virtual void DisplayError(const Str255&) {}
};

class TFTPBrowserAbstract : public TBrowser {
 public:
  // Renames the entry on the server to the new name (UTF-8).
  virtual void Rename(FTPDirectoryListingPtr, const Str63&) {}
};

enum : SInt16 {
  kFTPTransferDownload = 1,
  kFTPTransferUpload = 2,
  kFTPTransferListing = 3,
  kFTPTransferServer = 4,
};

struct TransferData {
  FTPStreamHandle stream;  // 0 until the transfer has a stream
  Str255 name;             // the URL of the entry: the key of the transfer
  SInt16 kind;
  UInt32 item;             // the row; 0 when the transfer has none
  float ratio;
  SInt16 position;         // the count of transfers after it was appended
};
typedef TransferData* TransferDataPtr;

class TFTPBrowser : public TFTPBrowserAbstract {
 public:
  TFTPPaneAbstract* fPane = nullptr;
  TPreferenceHandler* fPreferences = nullptr;
  Boolean fConnected = false;
  FTPConnection fConnection{};
  ControlRef fToolbar = nullptr;
  SInt16 fStatusItem = 0;
  SInt16 fProgressItem = 0;
  SInt16 fPathItem = 0;
  MenuRef fPathMenu = nullptr;
  Str255 fFocusPath;
  UInt32 fFocusItem = 0;
  Str63 fSelectionName;
  SInt32 fAnimationCounter = 0;
  CFMutableDictionaryRef fDirectoryCache = nullptr;  // folder path -> serialized children
  CFMutableSetRef fOpenFolders = nullptr;            // paths of the folders the user opened
  std::vector<TransferDataPtr> fTransfers;
  std::vector<std::string> fPathMenuPaths;           // the folder path of each path-menu item

  virtual void OpenDirectory(TFTPStream* stream);
  virtual void OpenDocument(TDocument* document);
  virtual void Upload(const Str255& folderURL, UInt32 item, const FSRef& file);
  virtual void Download(FTPDirectoryListingPtr entry);
  virtual void DownloadDirectory(FTPDirectoryListingPtr entry);
  virtual void DownloadPath(const Str255& path);
  virtual void Refresh(NodeInfoPtr node);
  virtual void Move(FTPDirectoryListingPtr entry, FTPDirectoryListingPtr target);
  virtual void Delete(FTPDirectoryListingPtr entry);
  virtual void NewFile(NodeInfoPtr node, Boolean folder);
  virtual FTPDirectoryListingPtr FindListingByURL(const Str255& url, UInt32 item);
  virtual TransferDataPtr AppendTransfer(const Str255& name, SInt16 kind, UInt32 item);
  virtual void RemoveTransfer(const Str255& name);
  virtual void RemoveAllTransfers();
  virtual TransferDataPtr GetTransfer(const Str255& name);
  virtual void UpdateProgress(TFTPStream* stream, float ratio);
  virtual void SetStatus(const Str255& text);
  virtual void SetFocus(UInt32 item, const Str255& path);
  virtual void SetFocusPath(const Str255& path);
  virtual void SetFocusItem(UInt32 item);
  virtual void FocusGoBack();
  virtual void SetSelection(const Str63& name);

  void Release() override;
  void Create(ControlRef browser) override;
  void ProcessSelectionCommand(NodeInfoPtr node, const HICommand& command, EventRef event, SInt32& status) override;
  void ItemNotification(void* data, UInt32 type, DataBrowserItemID item, DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 type, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void ReceiveDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) override;
  Boolean AcceptDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) override;
  Boolean AddDragItem(void* data, UInt32 type, DataBrowserItemID item, DragRef drag, DragItemRef itemRef) override;
  Boolean CompareItem(NodeInfoPtr a, NodeInfoPtr b, DataBrowserPropertyID property) override;
  MenuRef GetContextualMenu(ItemArrayHandle items, SInt16 count) override;
  void SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem) override;
  void EventLoopTimer() override;
  void Rename(FTPDirectoryListingPtr entry, const Str63& name) override;

  // The window the browser lies in.
  WindowRef GetWindowRef();

 private:
  void InsertDirectoryCache(UInt32 item, CFArrayRef children);
  void StartOperation(FTPDirectoryListingPtr entry, const Str255& key, const Str255& relist, UInt32 removeItem,
                      const std::function<void(class TFTPProcess*)>& run);
};

// The first child of a folder name that is free: name, then name.1, name.2 ...
Str63 FTPUniqueName(const Str63& base, const std::vector<std::string>& taken);
