// TSmartFolderUnit: a live view of a folder on disk in a list. Every listed
// folder is watched; a change in it refills that folder's part of the tree,
// and the folders the user had expanded open again.
#pragma once

#include "CFBase.h"
#include "CFSet.h"
#include "Files.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TFolderIteratorUnit.h"

class TSmartFolderBrowser;

// Node types: a folder (container, SmartFolderInfo payload) and a file (a
// copy of its FSRef).
enum : UInt32 {
  kSmartFolderNodeType = 'SFLD',
  kSmartFolderItemNodeType = 'SFIT',
};
enum : SInt16 {
  kSmartFolderDepthLimit = 20,
  kSmartFolderIterateOptions = 298,
};

// One watched folder; the payload of its node.
struct SmartFolderInfo {
  FSRef folder{};
  UInt32 reserved = 0;
  UInt32 item = 0;               // the browser item its contents go under
  Str63 name;                    // its name on disk
  CFTypeRef object = nullptr;    // released with the record
  SInt16 depthLimit = kSmartFolderDepthLimit;
  SInt16 options = kSmartFolderIterateOptions;
  Str255 text;
  FNSubscriptionRef subscription = nullptr;
  TSmartFolderBrowser* browser = nullptr;
};

class TSmartFolderBrowser : public TBrowser {
 public:
  CFMutableSetRef expanded = nullptr;  // full paths of the folders shown open
  Boolean busy = false;                // a folder is being refilled

  void Create(ControlRef browser) override;
  void Release() override;
};

class TMySmartFolderBrowser : public TSmartFolderBrowser {
 public:
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void ReleaseItem(void* data, UInt32 dataType) override;
};

class TSmartFolderIterator : public TFolderIterator {
 public:
  SmartFolderInfo* info = nullptr;
  TSmartFolderBrowser* browser = nullptr;

  // container: the item the folder goes under. The folder's new item, or
  // kSmartFolderNotListed when it could not be watched (its contents are
  // then left out too).
  SInt32 GotFolder(const FSRef& folder, SInt32 container) override;
  SInt32 GotFile(const FSRef& file, SInt32 container) override;
};
inline constexpr SInt32 kSmartFolderNotListed = -1;

// A record watching the folder; nil when it cannot be watched.
SmartFolderInfo* NewSmartFolder(const FSRef& folder, TSmartFolderBrowser* browser);
// Fills the folder's item with its contents, folders watched in turn.
void UpdateSmartFolder(SmartFolderInfo* info);
// Ends the subscription and frees the record; info becomes nil.
void ReleaseSmartFolder(SmartFolderInfo*& info);
void SmartFolderNotificationCallback(FNMessage message, OptionBits flags, void* refcon,
                                     FNSubscriptionRef subscription);
