#include "TSmartFolderUnit.h"

#include <new>

#include "CFString.h"
#include "Dialogs.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "brackenrow/Browser.h"

namespace {

CFStringRef NewFullPath(const FSRef& ref) {
  UInt8 path[4096] = {0};
  if (FSRefMakePath(&ref, path, sizeof path) != noErr) return nullptr;
  return CFStringCreateWithCString(nullptr, reinterpret_cast<const char*>(path), kCFStringEncodingUTF8);
}

void EndSubscription(SmartFolderInfo* info) {
  if (info == nullptr) return;
  if (info->subscription != nullptr) FNUnsubscribe(info->subscription);
  info->subscription = nullptr;
}

// A browser that goes ends every watch first, so no change reaches it later.
void EndNodeSubscription(CFTreeRef, NodeInfoPtr node, void*) {
  if (node != nullptr && node->DATATYPE == kSmartFolderNodeType)
    EndSubscription(static_cast<SmartFolderInfo*>(node->DATA));
}

}  // namespace

// ---------------------------------------------------------------------------

SmartFolderInfo* NewSmartFolder(const FSRef& folder, TSmartFolderBrowser* browser) {
  Ptr block = NewPtrClear(sizeof(SmartFolderInfo));
  if (block == nullptr) return nullptr;
  // The record is a memory block, since the node that carries it frees it.
  auto* info = new (block) SmartFolderInfo();
  info->folder = folder;
  info->name = FSGetActualName(folder);
  info->depthLimit = kSmartFolderDepthLimit;
  info->options = kSmartFolderIterateOptions;
  info->browser = browser;
  if (FNSubscribe(&folder, SmartFolderNotificationCallback, info, 0, &info->subscription) != noErr) {
    DisposePtr(block);
    return nullptr;
  }
  return info;
}

void UpdateSmartFolder(SmartFolderInfo* info) {
  if (info == nullptr || info->browser == nullptr) return;
  TSmartFolderBrowser* browser = info->browser;
  browser->busy = true;
  IteratorNodeInfo options{};
  options.value = SInt32(info->item);
  options.maximumDepth = info->depthLimit;
  const IteratorNodeInfo restore = options;
  auto* iterator = new TSmartFolderIterator();
  iterator->info = info;
  iterator->browser = browser;
  iterator->RunWithOptions(info->folder, options, restore);
  iterator->Release();
  browser->busy = false;
}

void ReleaseSmartFolder(SmartFolderInfo*& info) {
  if (info == nullptr) return;
  if (info->object != nullptr) CFRelease(info->object);
  info->object = nullptr;
  EndSubscription(info);
  DisposePtr(reinterpret_cast<Ptr>(info));
  info = nullptr;
}

void SmartFolderNotificationCallback(FNMessage, OptionBits, void* refcon, FNSubscriptionRef) {
  auto* info = static_cast<SmartFolderInfo*>(refcon);
  if (info == nullptr || info->browser == nullptr || !TBrowser::IsLive(info->browser)) return;
  SysBeep(1);
  TSmartFolderBrowser* browser = info->browser;
  browser->busy = true;
  BrackenrowClearContainer(browser->VIEW, SInt32(info->item));
  UpdateSmartFolder(info);
}

// ---------------------------------------------------------------------------

SInt32 TSmartFolderIterator::GotFolder(const FSRef& folder, SInt32 container) {
  // A folder left out takes its contents with it.
  if (container == kSmartFolderNotListed || browser == nullptr) return kSmartFolderNotListed;
  SmartFolderInfo* sub = NewSmartFolder(folder, browser);
  if (sub == nullptr) return kSmartFolderNotListed;
  const SInt32 item = browser->NewContainer(sub, sizeof(SmartFolderInfo), kSmartFolderNodeType, container);
  if (item == 0) {
    ReleaseSmartFolder(sub);
    return kSmartFolderNotListed;
  }
  sub->item = UInt32(item);
  bool open = false;
  if (CFStringRef path = NewFullPath(folder)) {
    open = browser->expanded != nullptr && CFSetContainsValue(browser->expanded, path);
    CFRelease(path);
  }
  if (open)
    OpenDataBrowserContainer(browser->VIEW, DataBrowserItemID(item));
  else
    CloseDataBrowserContainer(browser->VIEW, DataBrowserItemID(item));
  return item;
}

SInt32 TSmartFolderIterator::GotFile(const FSRef& file, SInt32 container) {
  if (container == kSmartFolderNotListed || browser == nullptr) return 0;
  Ptr copy = NewPtrClear(sizeof(FSRef));
  if (copy == nullptr) return 0;
  BlockMoveData(&file, copy, sizeof(FSRef));
  return browser->NewItem(copy, sizeof(FSRef), kSmartFolderItemNodeType, container);
}

// ---------------------------------------------------------------------------

void TSmartFolderBrowser::Create(ControlRef control) {
  expanded = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  TBrowser::Create(control);
}

void TSmartFolderBrowser::Release() {
  if (TREE != nullptr) ApplyFunctionToTree(EndNodeSubscription, nullptr);
  if (expanded != nullptr) CFRelease(expanded);
  expanded = nullptr;
  TBrowser::Release();
}

void TMySmartFolderBrowser::ItemNotification(void* data, UInt32 dataType, DataBrowserItemID,
                                             DataBrowserItemNotification message) {
  // Rows that a refill removes and reopens say nothing of the user's wish.
  if (dataType != kSmartFolderNodeType || data == nullptr || busy || expanded == nullptr) return;
  if (message != kDataBrowserContainerOpened && message != kDataBrowserContainerClosed) return;
  CFStringRef path = NewFullPath(static_cast<SmartFolderInfo*>(data)->folder);
  if (path == nullptr) return;
  if (message == kDataBrowserContainerOpened)
    CFSetAddValue(expanded, path);
  else
    CFSetRemoveValue(expanded, path);
  CFRelease(path);
}

void TMySmartFolderBrowser::SetItemData(void* data, UInt32 dataType, DataBrowserItemID, DataBrowserPropertyID,
                                        DataBrowserItemDataRef itemData) {
  if (data == nullptr) return;
  const FSRef* ref = nullptr;
  if (dataType == kSmartFolderNodeType)
    ref = &static_cast<SmartFolderInfo*>(data)->folder;
  else if (dataType == kSmartFolderItemNodeType)
    ref = static_cast<const FSRef*>(data);
  if (ref == nullptr) return;
  const Str63 name = FSGetActualName(*ref);
  if (CFStringRef text = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman)) {
    SetDataBrowserItemDataText(itemData, text);
    CFRelease(text);
  }
  if (IconRef icon = FSGetIcon(*ref)) {
    SetDataBrowserItemDataIcon(itemData, icon);
    ReleaseIconRef(icon);
  }
}

void TMySmartFolderBrowser::ReleaseItem(void* data, UInt32 dataType) {
  if (dataType != kSmartFolderNodeType || data == nullptr) return;
  auto* info = static_cast<SmartFolderInfo*>(data);
  EndSubscription(info);
  // The node frees the record itself; what it refers to goes here.
  if (info->object != nullptr) CFRelease(info->object);
  info->object = nullptr;
}
