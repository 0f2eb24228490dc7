#include "TFTPBrowserUnit.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "CFData.h"
#include "CFRunLoop.h"
#include "CFString.h"
#include "CFURL.h"
#include "Drag.h"
#include "Files.h"
#include "HIView.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "TFTPInfoUnit.h"
#include "TFTPProcessUnit.h"
#include "plinthora/Plinthora.h"

namespace {

constexpr MenuItemIndex kCancelItem = 3;

std::string Text(const Str255& s) { return s.str(); }
Str255 Cut(const std::string& s) { return Str255::FromBytes(s.data(), std::min<size_t>(s.size(), 255)); }

CFStringRef CreateText(const std::string& s) { return FTPCreateString(Cut(s)); }

FTPDirectoryListingPtr ListingOf(void* data, UInt32 type) {
  return type == kFTPListingType ? static_cast<FTPDirectoryListingPtr>(data) : nullptr;
}

FTPDirectoryListingPtr ListingOf(NodeInfoPtr node) {
  return node != nullptr ? ListingOf(node->DATA, node->DATATYPE) : nullptr;
}

FTPDirectoryListingPtr CopyListing(const FTPDirectoryListing& entry) {
  auto* copy = reinterpret_cast<FTPDirectoryListingPtr>(NewPtrClear(sizeof(FTPDirectoryListing)));
  if (copy != nullptr) memcpy(copy, &entry, sizeof entry);
  return copy;
}

// What a server operation needs when its answer arrives: the key its
// transfer was added under, the folder to list again (empty: the root) and
// a row to remove (a moved entry's).
struct OperationData {
  Str255 key;
  Str255 relist;
  UInt32 removeItem;
  bool relistRoot;
};

void ProcessNotificationCallback(const Str31& action, const Str255& message, TFTPBrowser* browser, void* data) {
  auto* op = static_cast<OperationData*>(data);
  if (browser != nullptr && TBrowser::IsLive(browser)) {
    if (message.empty()) {
      if (action == "move" && op->removeItem != 0) BrackenrowRemoveItem(browser->VIEW, SInt32(op->removeItem));
      FTPDirectoryListingPtr folder = op->relistRoot ? nullptr : browser->FindListingByURL(op->relist, 0);
      if (op->relistRoot || folder != nullptr)
        browser->DownloadDirectory(folder);
      else
        browser->Refresh(nullptr);
    }
    browser->RemoveTransfer(op->key);
    if (!message.empty()) UserNotificationDialog(message);
  } else if (!message.empty()) {
    UserNotificationDialog(message);
  }
  delete op;
}

void DirectoryNotificationCallback(SInt16 kind, float, CFStreamError error, TFTPStream* stream, void* data) {
  auto* browser = static_cast<TFTPBrowser*>(data);
  if (!TBrowser::IsLive(browser)) return;
  // The transfer goes under the key it was added with (empty for the root).
  Str255 key = stream->fConnection.URL;
  for (TransferDataPtr transfer : browser->fTransfers)
    if (transfer->stream == stream->GetHandle()) key = transfer->name;
  switch (kind) {
    case kFTPNotifyOpened: browser->SetStatus("Retrieving directory..."); break;
    case kFTPNotifyFinished:
      browser->fConnected = true;
      browser->OpenDirectory(stream);
      browser->SetStatus("Idle");
      if (browser->fPane != nullptr) browser->fPane->UpdateToolbar(1);
      browser->RemoveTransfer(key);
      break;
    case kFTPNotifyFailed:
      browser->fConnected = false;
      browser->SetStatus("Idle");
      if (browser->fPane != nullptr) {
        browser->fPane->UpdateToolbar(2);
        browser->fPane->DisplayError(GetStreamErrorString(error));
      }
      browser->RemoveTransfer(key);
      break;
    default: break;
  }
}

void UploadNotificationCallback(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream, void* data) {
  auto* browser = static_cast<TFTPBrowser*>(data);
  if (!TBrowser::IsLive(browser)) return;
  switch (kind) {
    case kFTPNotifyOpened: browser->SetStatus("Transfering..."); break;
    case kFTPNotifyProgress: browser->UpdateProgress(stream, ratio); break;
    case kFTPNotifyFinished: {
      TransferDataPtr transfer = browser->GetTransfer(stream->fConnection.URL);
      if (transfer != nullptr && transfer->item != 0)
        if (NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(transfer->item), browser->VIEW))
          if (FTPDirectoryListingPtr entry = ListingOf(node); entry != nullptr && entry->type == -1) {
            entry->type = 8;
            if (!stream->fConnection.upload) entry->size = stream->fTransferred;
            else entry->size = stream->fTotalSize;
          }
      browser->SetStatus("Idle");
      browser->RemoveTransfer(stream->fConnection.URL);
      break;
    }
    case kFTPNotifyFailed: {
      // A failed upload leaves no placeholder row behind.
      TransferDataPtr transfer = browser->GetTransfer(stream->fConnection.URL);
      if (transfer != nullptr && transfer->item != 0)
        if (FTPDirectoryListingPtr entry = ListingOf(BrackenrowGetNodeAtIndex(SInt32(transfer->item), browser->VIEW));
            entry != nullptr && entry->type == -1)
          BrackenrowRemoveItem(browser->VIEW, SInt32(transfer->item));
      browser->SetStatus("Idle");
      browser->RemoveTransfer(stream->fConnection.URL);
      UserNotificationDialog(Str255("FTP Error: " + std::to_string(error.error) + " (" +
                                    Text(GetStreamErrorString(error)) + ")"));
      break;
    }
    default: break;
  }
}

struct SearchContext {
  Str255 url;
};

Boolean FindBrowserListing(CFTreeRef, void* query, NodeInfoPtr node, void* data, void*) {
  auto* context = static_cast<SearchContext*>(query);
  FTPDirectoryListingPtr entry = node != nullptr ? ListingOf(data, node->DATATYPE) : nullptr;
  return entry != nullptr && entry->URL == context->url;
}

CFTreeRef SubtreeOfItem(ControlRef view, UInt32 item) {
  CFTreeRef tree = BrackenrowGetTree(view);
  if (item == 0 || tree == nullptr) return tree;
  struct Find {
    SInt32 item;
    CFTreeRef found;
  } find{SInt32(item), nullptr};
  std::function<void(CFTreeRef)> walk = [&](CFTreeRef node) {
    if (find.found != nullptr) return;
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record != nullptr && record->INDEX == find.item) {
      find.found = node;
      return;
    }
    for (CFTreeRef child = CFTreeGetFirstChild(node); child != nullptr; child = CFTreeGetNextSibling(child)) walk(child);
  };
  walk(tree);
  return find.found;
}

// The names of the children of a folder item (0: the top level of the tree).
std::vector<std::string> ChildNames(ControlRef view, UInt32 item) {
  std::vector<std::string> names;
  CFTreeRef folder = SubtreeOfItem(view, item);
  if (folder == nullptr) return names;
  for (CFTreeRef child = CFTreeGetFirstChild(folder); child != nullptr; child = CFTreeGetNextSibling(child))
    if (FTPDirectoryListingPtr entry = ListingOf(BrackenrowGetNode(child))) names.push_back(Text(entry->name));
  return names;
}

// Whether the drag's items come from this browser of this process.
bool DragFromThisBrowser(DragRef drag, ControlRef view) {
  UInt16 count = 0;
  if (CountDragItems(drag, &count) != noErr) return false;
  for (UInt16 i = 1; i <= count; ++i) {
    DragItemRef ref = 0;
    if (GetDragItemReferenceNumber(drag, i, &ref) != noErr) continue;
    BrackenrowDragSource source{};
    Size size = sizeof source;
    if (GetFlavorData(drag, ref, kBrackenrowSourceDragFlavor, &source, &size, 0) == noErr && size == sizeof source &&
        source.process == SInt64(getpid()) && source.browser == view)
      return true;
  }
  return false;
}

CFStringRef CreatePathKey(const Str255& path) { return CreateText(Text(path)); }

}  // namespace

Str63 FTPUniqueName(const Str63& base, const std::vector<std::string>& taken) {
  auto used = [&](const std::string& name) { return std::find(taken.begin(), taken.end(), name) != taken.end(); };
  std::string name = base.str();
  for (int n = 1; used(name); ++n) name = base.str() + "." + std::to_string(n);
  return Str63(name);
}

// --- Life ---------------------------------------------------------------------------------------

void TFTPBrowser::Create(ControlRef browser) {
  SetOptions(kBrackenrowAllocateTree | kBrackenrowSortRows | kBrackenrowColorBackground | kBrackenrowDrawOutlines);
  TFTPBrowserAbstract::Create(browser);
  SetClassString("TFTPBrowser");
  SetDisclosureColumn(kFTPNameColumn);
  BrackenrowSetDragColumn(kFTPNameColumn, VIEW);
  fDirectoryCache = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks);
  fOpenFolders = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  if (fPreferences != nullptr) {
    CFTypeRef stored = fPreferences->GetTypeValue(kFTPOpenFoldersKey);
    if (stored != nullptr && CFGetTypeID(stored) == CFArrayGetTypeID()) {
      auto array = static_cast<CFArrayRef>(stored);
      for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
        CFTypeRef path = CFArrayGetValueAtIndex(array, i);
        if (path != nullptr && CFGetTypeID(path) == CFStringGetTypeID()) CFSetAddValue(fOpenFolders, path);
      }
    }
    if (stored != nullptr) CFRelease(stored);
  }
}

void TFTPBrowser::Release() {
  if (fPreferences != nullptr && fOpenFolders != nullptr) {
    CFIndex count = CFSetGetCount(fOpenFolders);
    std::vector<const void*> values(static_cast<size_t>(count));
    if (count > 0) CFSetGetValues(fOpenFolders, values.data());
    CFArrayRef array = CFArrayCreate(nullptr, values.data(), count, &kCFTypeArrayCallBacks);
    fPreferences->SetTypeValue(kFTPOpenFoldersKey, array);
    CFRelease(array);
  }
  RemoveAllTransfers();
  if (fDirectoryCache != nullptr) CFRelease(fDirectoryCache);
  fDirectoryCache = nullptr;
  if (fOpenFolders != nullptr) CFRelease(fOpenFolders);
  fOpenFolders = nullptr;
  if (fPathMenu != nullptr) ReleaseMenu(fPathMenu);
  fPathMenu = nullptr;
  TFTPBrowserAbstract::Release();
}

WindowRef TFTPBrowser::GetWindowRef() {
  if (VIEW == nullptr) return nullptr;
  WindowRef window = HIViewGetWindow(VIEW);
  if (fPane != nullptr && fPane->GetWindow() != nullptr) window = fPane->GetWindow();
  return window;
}

// --- Transfers -----------------------------------------------------------------------------------

TransferDataPtr TFTPBrowser::AppendTransfer(const Str255& name, SInt16 kind, UInt32 item) {
  auto* transfer = reinterpret_cast<TransferDataPtr>(NewPtrClear(sizeof(TransferData)));
  if (transfer == nullptr) return nullptr;
  transfer->name = name;
  transfer->kind = kind;
  transfer->item = item;
  fTransfers.push_back(transfer);
  transfer->position = SInt16(fTransfers.size());
  return transfer;
}

void TFTPBrowser::RemoveTransfer(const Str255& name) {
  for (auto it = fTransfers.begin(); it != fTransfers.end(); ++it) {
    if ((*it)->name == name) {
      TransferDataPtr transfer = *it;
      fTransfers.erase(it);
      if (transfer->item != 0 && VIEW != nullptr) BrackenrowUpdateItem(SInt32(transfer->item), VIEW);
      DisposePtr(reinterpret_cast<Ptr>(transfer));
      break;
    }
  }
  if (fTransfers.empty()) fAnimationCounter = 0;
}

void TFTPBrowser::RemoveAllTransfers() {
  for (TransferDataPtr transfer : fTransfers) {
    // Nothing of a stream that still runs may call back into the browser.
    if (TFTPStream* stream = TFTPStream::FromHandle(transfer->stream)) {
      stream->SetCallback(nullptr, nullptr);
      stream->Terminate();
    }
    DisposePtr(reinterpret_cast<Ptr>(transfer));
  }
  fTransfers.clear();
  fAnimationCounter = 0;
}

TransferDataPtr TFTPBrowser::GetTransfer(const Str255& name) {
  for (TransferDataPtr transfer : fTransfers)
    if (transfer->name == name) return transfer;
  return nullptr;
}

void TFTPBrowser::UpdateProgress(TFTPStream* stream, float ratio) {
  if (stream == nullptr) return;
  if (TransferDataPtr transfer = GetTransfer(stream->fConnection.URL)) {
    transfer->stream = stream->GetHandle();
    transfer->ratio = ratio;
  }
  SetStatus(Str255("Transfering... (" + std::to_string(int(ratio * 100)) + "%)"));
}

void TFTPBrowser::SetStatus(const Str255& text) {
  if (fToolbar != nullptr && fStatusItem > 0) ToolbarSetItemText(fToolbar, fStatusItem, text);
  if (VIEW != nullptr) HIViewSetNeedsDisplay(VIEW, true);
  if (fToolbar != nullptr) HIViewSetNeedsDisplay(fToolbar, true);
}

void TFTPBrowser::EventLoopTimer() {
  if (fTransfers.empty()) return;
  ++fAnimationCounter;
  for (TransferDataPtr transfer : fTransfers)
    if (transfer->item != 0) BrackenrowUpdateItem(SInt32(transfer->item), VIEW);
}

// --- Listing -------------------------------------------------------------------------------------

void TFTPBrowser::DownloadDirectory(FTPDirectoryListingPtr entry) {
  auto* stream = new TFTPStream();
  const UInt32 item = entry != nullptr ? entry->node : fFocusItem;
  stream->fConnection.item = item;
  stream->SetCallback(DirectoryNotificationCallback, this);
  const Str255 url = entry != nullptr ? entry->URL : fConnection.URL;
  CFStringRef u = FTPCreateString(url), n = FTPCreateString(fConnection.userName),
              p = FTPCreateString(fConnection.password);
  const FTPStreamHandle handle = stream->GetHandle();
  if (stream->DirectoryListing(u, n, p)) {
    if (TransferDataPtr transfer = AppendTransfer(entry != nullptr ? entry->URL : Str255(), kFTPTransferListing, item))
      transfer->stream = handle;
    SetStatus("Connecting...");
  }
  for (CFTypeRef r : {CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
}

void TFTPBrowser::InsertDirectoryCache(UInt32 item, CFArrayRef children) {
  for (CFIndex i = 0; i < CFArrayGetCount(children); ++i) {
    CFTypeRef value = CFArrayGetValueAtIndex(children, i);
    if (value == nullptr || CFGetTypeID(value) != CFDataGetTypeID()) continue;
    auto data = static_cast<CFDataRef>(value);
    if (CFDataGetLength(data) != CFIndex(sizeof(FTPDirectoryListing))) continue;
    FTPDirectoryListing entry;
    memcpy(&entry, CFDataGetBytePtr(data), sizeof entry);
    FTPDirectoryListingPtr copy = CopyListing(entry);
    if (copy == nullptr) continue;
    SInt32 child = copy->type == 4 ? NewContainer(copy, sizeof entry, kFTPListingType, SInt32(item))
                                   : NewItem(copy, sizeof entry, kFTPListingType, SInt32(item));
    copy->node = UInt32(child);
  }
}

void TFTPBrowser::OpenDirectory(TFTPStream* stream) {
  if (stream == nullptr || stream->fListings == nullptr || VIEW == nullptr) return;
  const UInt32 folder = stream->fConnection.item;
  if (folder == 0) {
    BrackenrowClear(VIEW);
  } else {
    if (UInt32(BrackenrowGetFocusItem(VIEW)) == folder) BrackenrowRemoveAll(VIEW);
    BrackenrowClearContainer(VIEW, SInt32(folder));
  }
  std::vector<DataBrowserItemID> select;
  std::vector<FTPDirectoryListingPtr> toList;
  std::vector<SInt32> toOpen;
  for (CFIndex i = 0; i < CFArrayGetCount(stream->fListings); ++i) {
    auto entry = static_cast<FTPDirectoryListingPtr>(const_cast<void*>(CFArrayGetValueAtIndex(stream->fListings, i)));
    if (entry == nullptr || entry->name.empty() || entry->name.s[1] == '.') continue;
    FTPDirectoryListingPtr copy = CopyListing(*entry);
    if (copy == nullptr) continue;
    const bool isFolder = copy->type == 4;
    SInt32 item = isFolder ? NewContainer(copy, sizeof *copy, kFTPListingType, SInt32(folder))
                           : NewItem(copy, sizeof *copy, kFTPListingType, SInt32(folder));
    copy->node = UInt32(item);
    if (isFolder) {
      CFStringRef path = CreatePathKey(GetListingPath(copy));
      CFTypeRef cached = path != nullptr ? CFDictionaryGetValue(fDirectoryCache, path) : nullptr;
      if (cached != nullptr && CFGetTypeID(cached) == CFArrayGetTypeID()) {
        InsertDirectoryCache(UInt32(item), static_cast<CFArrayRef>(cached));
        if (path != nullptr && CFSetContainsValue(fOpenFolders, path)) toOpen.push_back(item);
      } else if (path != nullptr && CFSetContainsValue(fOpenFolders, path)) {
        toList.push_back(copy);
        toOpen.push_back(item);
      }
      if (path != nullptr) CFRelease(path);
    }
    if (!fSelectionName.empty() && Str63(copy->name) == fSelectionName) select.push_back(DataBrowserItemID(item));
  }
  for (SInt32 item : toOpen) OpenDataBrowserContainer(VIEW, DataBrowserItemID(item));
  for (FTPDirectoryListingPtr entry : toList) DownloadDirectory(entry);
  if (!select.empty()) {
    SetDataBrowserSelectedItems(VIEW, UInt32(select.size()), select.data(), kDataBrowserItemsAssign);
    RevealDataBrowserItem(VIEW, select.front(), kFTPNameColumn, kDataBrowserRevealOnly);
    fSelectionName.Clear();
  }
  if (CFArrayRef children = BrackenrowSerializeContainer(VIEW, SInt32(folder))) {
    if (CFStringRef path = CreatePathKey(GetURLPath(stream->fConnection.URL, true))) {
      CFDictionarySetValue(fDirectoryCache, path, children);
      CFRelease(path);
    }
    CFRelease(children);
  }
  HIViewSetNeedsDisplay(VIEW, true);
}

void TFTPBrowser::Refresh(NodeInfoPtr node) {
  FTPDirectoryListingPtr entry = ListingOf(node);
  if (entry == nullptr) {
    DownloadDirectory(nullptr);
  } else if (entry->type == 4) {
    DownloadDirectory(entry);
  } else if (NodeInfoPtr parent = BrackenrowGetNodeParent(node->INDEX, VIEW); ListingOf(parent) != nullptr) {
    DownloadDirectory(ListingOf(parent));
  } else {
    DownloadDirectory(nullptr);
  }
}

void TFTPBrowser::DownloadPath(const Str255& path) {
  // The path is one on the server: it follows the server's own root.
  std::string url = Text(fConnection.URL);
  if (fPane != nullptr) {
    url = "ftp://" + EncodeFTPServerHost(fPane->fServer.Host) + "/";
  } else if (size_t slash = url.find('/', 6); slash != std::string::npos) {
    url.erase(slash + 1);
  }
  std::string p = Text(path);
  while (!p.empty() && p.front() == '/') p.erase(0, 1);
  if (!p.empty() && p.back() != '/') p += '/';
  fConnection.URL = Cut(url + p);
  BrackenrowClear(VIEW);
  fFocusItem = 0;
  fSelectionName.Clear();
  CFDictionaryRemoveAllValues(fDirectoryCache);
  if (fPane != nullptr) {
    ExplodeURL(fConnection.URL, fPane->fPathComponents);
  }
  DownloadDirectory(nullptr);
}

FTPDirectoryListingPtr TFTPBrowser::FindListingByURL(const Str255& url, UInt32 item) {
  CFTreeRef tree = SubtreeOfItem(VIEW, item);
  if (tree == nullptr) return nullptr;
  SearchContext context{url};
  CFTreeRef found = BrackenrowSearch(tree, FindBrowserListing, &context, nullptr);
  return found != nullptr ? ListingOf(BrackenrowGetNode(found)) : nullptr;
}

// --- Files ----------------------------------------------------------------------------------------

void TFTPBrowser::Download(FTPDirectoryListingPtr entry) {
  if (entry == nullptr) return;
  WindowRef window = GetWindowRef();
  SendFTPOpenCommand(entry->URL, window != nullptr ? GetWindowEventTarget(window) : nullptr);
}

void TFTPBrowser::OpenDocument(TDocument* document) {
  WindowRef window = GetWindowRef();
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, GetCurrentEventTime(), kEventAttributeNone,
                  &event) != noErr)
    return;
  HICommand command{};
  command.commandID = kFTPCommandOpenDocument;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SetEventParameter(event, kEventParamFTPDocument, typeVoidPtr, sizeof document, &document);
  SendEventToEventTarget(event, window != nullptr ? GetWindowEventTarget(window) : GetApplicationEventTarget());
  ReleaseEvent(event);
}

void TFTPBrowser::Upload(const Str255& folderURL, UInt32 item, const FSRef& file) {
  auto* stream = new TFTPStream();
  stream->SetCallback(UploadNotificationCallback, this);
  stream->fConnection.item = item;
  CFURLRef fileURL = CFURLCreateFromFSRef(nullptr, &file);
  CFStringRef u = FTPCreateString(folderURL), n = FTPCreateString(fConnection.userName),
              p = FTPCreateString(fConnection.password);
  const FTPStreamHandle handle = stream->GetHandle();
  const std::string fileName = FSGetFullName(file);
  if (stream->Upload(u, fileURL, n, p)) {
    const Str255 url = stream->fConnection.URL;
    FTPDirectoryListingPtr entry = FindListingByURL(url, item);
    UInt32 row = entry != nullptr ? entry->node : 0;
    if (entry == nullptr) {
      FTPDirectoryListing placeholder{};
      placeholder.URL = url;
      placeholder.name = Cut(fileName);
      placeholder.type = -1;
      placeholder.parentName = Str63("/");
      if (FTPDirectoryListingPtr copy = CopyListing(placeholder)) {
        row = UInt32(NewItem(copy, sizeof *copy, kFTPListingType, SInt32(item)));
        copy->node = row;
      }
    }
    if (TransferDataPtr transfer = AppendTransfer(url, kFTPTransferUpload, row)) transfer->stream = handle;
    SetStatus("Connecting...");
  } else {
    UserNotificationDialog(Str255("There was an error uploading " + fileName + " to " + Text(folderURL)));
  }
  for (CFTypeRef r : {CFTypeRef(fileURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
}

// --- Server operations -----------------------------------------------------------------------------

void TFTPBrowser::StartOperation(FTPDirectoryListingPtr entry, const Str255& key, const Str255& relist,
                                 UInt32 removeItem, const std::function<void(TFTPProcess*)>& run) {
  auto* op = new OperationData{key, relist, removeItem, relist.empty()};
  auto* process = new TFTPProcess();
  process->SetBrowser(this);
  process->SetCallback(ProcessNotificationCallback, op);
  process->SetConnection(fConnection);
  AppendTransfer(key, kFTPTransferServer, entry != nullptr ? entry->node : 0);
  run(process);
}

// The URL of the folder an entry lies in; empty when that is the root.
static Str255 ParentFolderURL(TFTPBrowser* browser, FTPDirectoryListingPtr entry) {
  if (entry == nullptr) return Str255();
  NodeInfoPtr parent = BrackenrowGetNodeParent(SInt32(entry->node), browser->VIEW);
  FTPDirectoryListingPtr folder = ListingOf(parent);
  return folder != nullptr ? folder->URL : Str255();
}

void TFTPBrowser::Delete(FTPDirectoryListingPtr entry) {
  if (entry == nullptr) return;
  const Str255 path = GetListingPath(entry);
  const bool folder = entry->type == 4;
  StartOperation(entry, entry->URL, ParentFolderURL(this, entry), 0, [&](TFTPProcess* p) {
    if (folder)
      p->DeleteDirectory(path);
    else
      p->DeleteFile(path);
  });
}

void TFTPBrowser::Rename(FTPDirectoryListingPtr entry, const Str63& name) {
  if (entry == nullptr || name.empty()) return;
  const Str255 path = GetURLPath(entry->URL, false);
  StartOperation(entry, entry->URL, ParentFolderURL(this, entry), 0,
                 [&](TFTPProcess* p) { p->Rename(path, name); });
}

void TFTPBrowser::Move(FTPDirectoryListingPtr entry, FTPDirectoryListingPtr target) {
  if (entry == nullptr || target == nullptr || target->type != 4 || entry == target) return;
  const Str255 path = GetURLPath(entry->URL, false);
  const Str255 where = GetURLPath(target->URL, false);
  // A folder never goes inside itself.
  if (entry->type == 4 && Text(GetListingPath(target)).rfind(Text(GetListingPath(entry)), 0) == 0) return;
  StartOperation(entry, entry->URL, target->URL, entry->node, [&](TFTPProcess* p) { p->Move(path, where); });
}

void TFTPBrowser::NewFile(NodeInfoPtr node, Boolean folder) {
  FTPDirectoryListingPtr target = ListingOf(node);
  if (target != nullptr && target->type != 4) {
    target = ListingOf(BrackenrowGetNodeParent(node->INDEX, VIEW));
    if (target == nullptr && fFocusItem != 0) target = ListingOf(BrackenrowGetNodeAtIndex(SInt32(fFocusItem), VIEW));
  } else if (target == nullptr && fFocusItem != 0) {
    target = ListingOf(BrackenrowGetNodeAtIndex(SInt32(fFocusItem), VIEW));
  }
  const UInt32 folderItem = target != nullptr ? target->node : 0;
  const Str63 name = FTPUniqueName(folder ? Str63("untitled_folder") : Str63("untitled.txt"), ChildNames(VIEW, folderItem));
  std::string folderPath = target != nullptr ? Text(GetURLPath(target->URL, false)) : Text(GetURLPath(fConnection.URL, false));
  if (!folderPath.empty() && folderPath.back() == '/') folderPath.pop_back();
  const Str255 path = Cut(folderPath + "/" + name.str());
  const Str255 key = Cut(Text(target != nullptr ? target->URL : fConnection.URL) + name.str());
  StartOperation(target, key, target != nullptr ? target->URL : Str255(), 0, [&](TFTPProcess* p) {
    if (folder)
      p->NewDirectory(path);
    else
      p->NewFile(path);
  });
  SetSelection(name);
}

// --- Focus -----------------------------------------------------------------------------------------

void TFTPBrowser::SetFocusPath(const Str255& path) { fFocusPath = path; }
void TFTPBrowser::SetFocusItem(UInt32 item) { fFocusItem = item; }
void TFTPBrowser::SetSelection(const Str63& name) { fSelectionName = name; }

void TFTPBrowser::SetFocus(UInt32 item, const Str255& path) {
  if (!path.empty()) fFocusPath = path;
  fFocusItem = item;
  if (fPathMenu == nullptr) CreateNewMenu(0, 0, &fPathMenu);
  if (fPathMenu == nullptr) return;
  DeleteMenuItems(fPathMenu, 1, CountMenuItems(fPathMenu));
  fPathMenuPaths.clear();
  UInt32 indent = 0;
  auto add = [&](const std::string& title, const std::string& folderPath) {
    MenuItemIndex index = 0;
    CFStringRef text = CreateText(title);
    AppendMenuItemTextWithCFString(fPathMenu, text, 0, kHICommandFocusBrowser, &index);
    if (text != nullptr) CFRelease(text);
    SetMenuItemIconRef(fPathMenu, index, kSystemIconsCreator, kGenericFolderIcon);
    SetMenuItemIndent(fPathMenu, index, indent++);
    fPathMenuPaths.push_back(folderPath);
  };
  // The focused folder and its ancestors inside the tree.
  if (item != 0)
    if (CFArrayRef parents = BrackenrowCreateParentArray(SInt32(item), VIEW)) {
      for (CFIndex i = 0; i < CFArrayGetCount(parents); ++i) {
        auto node = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(parents, i)));
        if (FTPDirectoryListingPtr entry = ListingOf(node)) add(Text(entry->name), Text(GetURLPath(entry->URL, true)));
      }
      CFRelease(parents);
    }
  // Then the folders of the pane's current path, deepest first.
  std::string current = Text(GetURLPath(fConnection.URL, true));
  std::vector<std::string> parts;
  for (size_t at = 1; at < current.size();) {
    size_t next = current.find('/', at);
    if (next == std::string::npos) next = current.size();
    if (next > at) parts.push_back(current.substr(at, next - at));
    at = next + 1;
  }
  for (size_t i = parts.size(); i > 0; --i) {
    std::string p = "/";
    for (size_t j = 0; j < i; ++j) p += parts[j] + "/";
    add(parts[i - 1], p);
  }
  if (fPathMenuPaths.empty() || fPathMenuPaths.back() != "/") add("/", "/");
  CheckMenuItem(fPathMenu, 1, true);
  if (fToolbar != nullptr) HIViewSetNeedsDisplay(fToolbar, true);
}

void TFTPBrowser::FocusGoBack() {
  if (VIEW == nullptr) return;
  // One folder up, never above the server's root folder.
  std::string current = Text(GetURLPath(fConnection.URL, true));
  const std::string root = fPane != nullptr ? Text(GetURLPath(Cut(GetFTPServerURL(fPane->fServer, "")), true)) : "/";
  if (current.size() <= root.size()) return;
  current.pop_back();
  current.erase(current.rfind('/') + 1);
  DownloadPath(Cut(current));
  HIViewSetNeedsDisplay(VIEW, true);
}

// --- Rows ------------------------------------------------------------------------------------------

void TFTPBrowser::SetItemData(void* data, UInt32 type, DataBrowserItemID, DataBrowserPropertyID property,
                              DataBrowserItemDataRef itemData) {
  FTPDirectoryListingPtr entry = ListingOf(data, type);
  if (entry == nullptr) return;
  std::string text;
  switch (property) {
    case kFTPNameColumn: {
      IconRef icon = GetFTPListingIcon(entry);
      if (icon != nullptr) {
        SetDataBrowserItemDataIcon(itemData, icon);
        ReleaseIconRef(icon);
      }
      text = Text(entry->name);
      if (TransferDataPtr transfer = GetTransfer(entry->URL)) {
        if (transfer->kind == kFTPTransferDownload || transfer->kind == kFTPTransferUpload)
          text += " (" + std::to_string(int(transfer->ratio * 100)) + "%)";
        else
          text += " …";
      }
      break;
    }
    case kFTPSizeColumn:
      if (entry->type == 8) text = std::to_string(entry->size);
      break;
    case kFTPDateColumn:
      if (entry->type == 8) text = Text(entry->date);
      break;
    default: return;
  }
  CFStringRef s = CreateText(text);
  if (s != nullptr) {
    SetDataBrowserItemDataText(itemData, s);
    CFRelease(s);
  }
}

Boolean TFTPBrowser::CompareItem(NodeInfoPtr a, NodeInfoPtr b, DataBrowserPropertyID) {
  FTPDirectoryListingPtr one = ListingOf(a), two = ListingOf(b);
  if (one == nullptr || two == nullptr) return false;
  return CompareStringAlphaOrder(one->name, two->name);
}

void TFTPBrowser::ItemNotification(void* data, UInt32 type, DataBrowserItemID item,
                                   DataBrowserItemNotification message) {
  FTPDirectoryListingPtr entry = ListingOf(data, type);
  if (entry == nullptr) return;
  CFStringRef path = CreatePathKey(GetListingPath(entry));
  switch (message) {
    case kDataBrowserItemDoubleClicked:
      if (entry->type == 4) {
        DataBrowserItemState state = 0;
        GetDataBrowserItemState(VIEW, item, &state);
        if (!(state & kDataBrowserContainerIsOpen)) OpenDataBrowserContainer(VIEW, item);
        if (path == nullptr || CFDictionaryGetValue(fDirectoryCache, path) == nullptr) DownloadDirectory(entry);
      } else if (GetTransfer(entry->URL) != nullptr) {
        UserNotificationDialog("The requested file is already queued for download.");
      } else {
        Download(entry);
      }
      break;
    case kDataBrowserContainerOpened:
      if (path != nullptr && entry->type == 4) CFSetAddValue(fOpenFolders, path);
      if (path != nullptr && CFDictionaryGetValue(fDirectoryCache, path) == nullptr && GetTransfer(entry->URL) == nullptr)
        DownloadDirectory(entry);
      break;
    case kDataBrowserContainerClosed:
      if (path != nullptr) CFSetRemoveValue(fOpenFolders, path);
      break;
    default: break;
  }
  if (path != nullptr) CFRelease(path);
}

// --- Commands --------------------------------------------------------------------------------------

void TFTPBrowser::ProcessSelectionCommand(NodeInfoPtr node, const HICommand& command, EventRef, SInt32& status) {
  FTPDirectoryListingPtr entry = ListingOf(node);
  switch (command.commandID) {
    case kFTPCommandNewFolder: NewFile(node, true); break;
    case kFTPCommandNewFile: NewFile(node, false); break;
    case kFTPCommandDelete:
      if (entry == nullptr) return;
      Delete(entry);
      break;
    case kFTPCommandRefresh: Refresh(node); break;
    case kFTPCommandInfo:
      if (entry == nullptr) return;
      OpenFTPInfo(this, entry);
      break;
    case kFTPCommandCancel:
      if (entry == nullptr) return;
      if (TransferDataPtr transfer = GetTransfer(entry->URL)) {
        TFTPStream::TerminateHandle(transfer->stream);
        RemoveTransfer(entry->URL);
        SetStatus("Idle");
      }
      break;
    default: return;
  }
  status = noErr;
}

MenuRef TFTPBrowser::GetContextualMenu(ItemArrayHandle items, SInt16 count) {
  MenuRef menu = nullptr;
  if (CreateMenuFromNib(ApplicationNib, CFSTR("FTP Contextual Menu"), &menu) != noErr || menu == nullptr)
    return nullptr;
  auto setEnabled = [&](MenuCommand command, bool enabled) {
    MenuItemIndex index = 0;
    if (GetIndMenuItemWithCommandID(menu, command, 1, nullptr, &index) != noErr || index == 0) return;
    if (enabled)
      EnableMenuItem(menu, index);
    else
      DisableMenuItem(menu, index);
  };
  setEnabled(kFTPCommandCancel, false);
  NodeInfoPtr node = nullptr;
  if (items != nullptr && count > 0) node = BrackenrowGetNodeAtIndex(SInt32((*items)[count - 1]), VIEW);
  FTPDirectoryListingPtr entry = ListingOf(node);
  if (entry == nullptr) {
    setEnabled(kFTPCommandDelete, false);
    setEnabled(kFTPCommandInfo, false);
  } else if (count == 1) {
    if (TransferDataPtr transfer = GetTransfer(entry->URL)) {
      if (TFTPStream* stream = TFTPStream::FromHandle(transfer->stream)) {
        CFStringRef title = CreateText("Cancel (" + Text(stream->GetFileRatioString()) + ")");
        SetMenuItemTextWithCFString(menu, kCancelItem, title);
        if (title != nullptr) CFRelease(title);
        setEnabled(kFTPCommandCancel, true);
        setEnabled(kFTPCommandDelete, false);
      } else {
        for (MenuCommand c : {kFTPCommandNewFolder, kFTPCommandNewFile, kFTPCommandDelete, kFTPCommandRefresh,
                              kFTPCommandInfo})
          setEnabled(c, false);
        setEnabled(kFTPCommandCancel, true);
      }
    }
  }
  SetContextualMenuFont(menu);
  return menu;
}

void TFTPBrowser::SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16, UInt16 menuItem) {
  MenuCommand command = 0;
  if (GetMenuItemCommandID(menu, menuItem, &command) != noErr) return;
  // The menu's choice also goes out as a command, which the pane hands to
  // the selection; only cancelling a transfer is the browser's own.
  if (command != kFTPCommandCancel) return;
  HICommand hiCommand{};
  hiCommand.commandID = command;
  SInt32 status = eventNotHandledErr;
  ProcessSelectionCommand(node, hiCommand, nullptr, status);
}

// --- Drags -----------------------------------------------------------------------------------------

Boolean TFTPBrowser::AcceptDrag(NodeInfoPtr, DragRef, void* data, FlavorType type) {
  if (!fConnected || data == nullptr) return false;
  if (type == kFTPListingType) return true;
  if (type == kDragFlavorTypeHFS) {
    HFSFlavor hfs;
    memcpy(&hfs, data, sizeof hfs);
    FSRef file{};
    return FSpMakeFSRef(&hfs.fileSpec, &file) == noErr;
  }
  return false;
}

void TFTPBrowser::ReceiveDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) {
  if (!fConnected || data == nullptr) return;
  // The folder dropped on: a folder row, the folder of a file row, else the
  // folder the browser shows.
  FTPDirectoryListingPtr target = ListingOf(node);
  if (target != nullptr && target->type != 4) target = ListingOf(BrackenrowGetNodeParent(node->INDEX, VIEW));
  if (type == kBrackenrowItemDragFlavor) {
    // A row of this browser moves into the folder.
    if (!DragFromThisBrowser(drag, VIEW)) return;
    SInt32 item = 0;
    memcpy(&item, data, sizeof item);
    FTPDirectoryListingPtr entry = ListingOf(BrackenrowGetNodeAtIndex(item, VIEW));
    if (entry != nullptr && target != nullptr && entry != target) Move(entry, target);
  } else if (type == kDragFlavorTypeHFS) {
    HFSFlavor hfs;
    memcpy(&hfs, data, sizeof hfs);
    FSRef file{};
    if (FSpMakeFSRef(&hfs.fileSpec, &file) != noErr) return;
    Upload(target != nullptr ? target->URL : fConnection.URL, target != nullptr ? target->node : fFocusItem, file);
  }
}

namespace {

struct DragDownload {
  bool done = false;
  bool ok = false;
  CFStreamError error{};
  std::string path;  // the file written
};

void DragDownloadCallback(SInt16 kind, float, CFStreamError error, TFTPStream* stream, void* data) {
  auto* wait = static_cast<DragDownload*>(data);
  if (kind == kFTPNotifyFinished || kind == kFTPNotifyFailed) {
    wait->done = true;
    wait->ok = kind == kFTPNotifyFinished;
    wait->error = error;
    if (stream != nullptr) wait->path = stream->LocalPath();
  }
}

// The folder the drop of the item landed in (ending in "/"); empty when it
// landed in none.
std::string DropFolderOf(DragRef drag, DragItemRef itemRef) {
  UInt16 count = 0;
  CountDragItems(drag, &count);
  for (UInt16 index = 1; index <= count; ++index) {
    DragItemRef ref = 0;
    if (GetDragItemReferenceNumber(drag, index, &ref) != noErr || ref != itemRef) continue;
    Str255 name;
    CFURLRef folder = nullptr;
    std::string out;
    if (FSGetDragFinderLocation(drag, index, name, folder) == noErr && folder != nullptr) {
      UInt8 path[4096] = {};
      if (CFURLGetFileSystemRepresentation(folder, true, path, sizeof path)) out = reinterpret_cast<char*>(path);
    }
    if (folder != nullptr) CFRelease(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    return out;
  }
  return std::string();
}

// Another program asks for a dragged file: it is downloaded now, into the
// folder the drop named when it named one, else into a private folder, and
// handed over as a file URL.
OSErr FTPDragSend(FlavorType type, void* refCon, DragItemRef itemRef, DragRef drag) {
  auto* browser = static_cast<TFTPBrowser*>(refCon);
  if (type != kFlavorTypeFileURL || !TBrowser::IsLive(browser)) return badDragFlavorErr;
  SInt32 item = 0;
  Size size = sizeof item;
  if (GetFlavorData(drag, itemRef, kBrackenrowItemDragFlavor, &item, &size, 0) != noErr || size != sizeof item)
    return badDragFlavorErr;
  FTPDirectoryListingPtr entry = ListingOf(BrackenrowGetNodeAtIndex(item, browser->VIEW));
  if (entry == nullptr || entry->type != 8) return badDragFlavorErr;
  const Str255 url = entry->URL;
  const Str255 name = entry->name;  // the row may go while the download runs
  std::string folder = DropFolderOf(drag, itemRef);
  if (folder.empty()) folder = FTPPrivateFolder(url, browser->fConnection.userName, "Quorvel FTP Drags");
  DragDownload wait;
  auto* stream = new TFTPStream();
  stream->SetCallback(DragDownloadCallback, &wait);
  const FTPStreamHandle handle = stream->GetHandle();
  CFURLRef folderURL = CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>(folder.data()), CFIndex(folder.size()), true);
  CFStringRef u = FTPCreateString(url), n = FTPCreateString(browser->fConnection.userName),
              p = FTPCreateString(browser->fConnection.password);
  const bool started = stream->Download(u, folderURL, n, p);
  for (CFTypeRef r : {CFTypeRef(folderURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
  if (!started) {
    UserNotificationDialog("There was an error downloading the requested file which caused the process to abort");
    return badDragFlavorErr;
  }
  if (TransferDataPtr transfer = browser->AppendTransfer(url, kFTPTransferDownload, entry->node))
    transfer->stream = handle;
  browser->SetStatus("Connecting...");
  // The stream ends by itself (its connect and stall limits included).
  while (!wait.done) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  if (TBrowser::IsLive(browser)) {
    browser->RemoveTransfer(url);
    browser->SetStatus("Idle");
  }
  if (!wait.ok) {
    UserNotificationDialog(Str255("The download of \"" + Text(name) + "\" failed: " +
                                  Text(GetStreamErrorString(wait.error))));
    return badDragFlavorErr;
  }
  // The file as the stream wrote it: the remote name, inside the folder.
  const std::string path = wait.path;
  if (path.empty()) return badDragFlavorErr;
  CFURLRef fileURL = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                             CFIndex(path.size()), false);
  if (fileURL == nullptr) return badDragFlavorErr;
  CFStringRef text = CFURLGetString(fileURL);
  std::string whole(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8) + 1), '\0');
  if (!CFStringGetCString(text, whole.data(), CFIndex(whole.size()), kCFStringEncodingUTF8)) whole.clear();
  whole.resize(strlen(whole.c_str()));
  CFRelease(fileURL);
  return SetDragItemFlavorData(drag, itemRef, kFlavorTypeFileURL, whole.data(), Size(whole.size()), 0);
}

}  // namespace

Boolean TFTPBrowser::AddDragItem(void* data, UInt32 type, DataBrowserItemID, DragRef drag, DragItemRef itemRef) {
  FTPDirectoryListingPtr entry = ListingOf(data, type);
  if (entry == nullptr) return false;
  // The entry's URL as text, for any receiver that takes text.
  CFStringRef url = FTPCreateString(entry->URL);
  if (url != nullptr) {
    CFIndex length = CFStringGetLength(url);
    std::vector<UniChar> chars(static_cast<size_t>(length));
    CFStringGetCharacters(url, CFRangeMake(0, length), chars.data());
    AddDragItemFlavor(drag, itemRef, 'utxt', chars.data(), Size(chars.size() * sizeof(UniChar)), 0);
    CFRelease(url);
  }
  // A file goes to another program as a local file, downloaded when it is asked for.
  if (entry->type == 8) {
    // The name the file is promised under (a length byte and the name).
    unsigned char alia[256] = {};
    std::memcpy(alia, entry->name.data(), size_t(entry->name.len()) + 1);
    AddDragItemFlavor(drag, itemRef, 'alia', alia, sizeof alia, flavorSenderOnly);
    AddDragItemFlavor(drag, itemRef, kFlavorTypeFileURL, nullptr, 0, 0);
    SetDragSendProc(drag, FTPDragSend, this);
  }
  return true;
}
