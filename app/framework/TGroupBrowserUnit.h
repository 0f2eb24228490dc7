// TGroupBrowser: a browser whose tree is divided into groups. Each group
// (a TBrowserGroup) is one top-level container row of type 'grop', owns the
// rows of one item type, may hold folders ('FOLD' rows) and keeps its own
// subtree in a tree property-list file of its own. Every row's double-click,
// contextual command, drag, drop, removal, drawing and hit test goes to the
// group that owns it; subclasses of TBrowserGroup give each kind of item its
// behaviour.
#pragma once

#include "CFArray.h"
#include "Icons.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TObjectUnit.h"
#include "TWindowUnit.h"

class TGroupBrowser;

// Row types of the group browser itself.
enum : UInt32 {
  kGroupBrowserGroupType = 'grop',   // a group row: the payload is the TBrowserGroup, length 0
  kGroupBrowserFolderType = 'FOLD',  // a folder row: a 72-byte folder payload
};

// The folder payload, stored in group files byte for byte:
//   0 name (length byte + 63 characters)  64 the owning group's item type
//  68 reserved, zero
// The type is written in the little-endian order of the program's files.
enum : SInt32 {
  kGroupFolderNameOffset = 0,
  kGroupFolderTypeOffset = 64,
  kGroupFolderDataSize = 72,
};

// True for the group browser's own row types, 'grop' and 'FOLD'.
Boolean StandardGroupBrowserType(UInt32 type);

// A new 72-byte folder payload (a memory block the caller owns).
Ptr NewGroupFolderData(const Str63& name, UInt32 groupType);
// The group type stored in a folder payload; 0 for nil or a payload too
// short to hold it.
UInt32 GroupFolderType(const void* payload, CFIndex length);
// A folder payload's name; empty for nil, cut to the bytes the payload has.
Str63 GroupFolderName(const void* payload, CFIndex length);

// Payloads come from group files other people wrote: a row's payload may be
// shorter than the record its type names. These tell how much of it there is
// and make it whole before a record is written into it.
//
// The bytes of a payload that may be read: the length given, never past the
// end of its memory block.
CFIndex GroupPayloadLength(const void* payload, CFIndex length);
// The same for a payload known only by its address: its block's size, 0 for
// memory that is no block.
CFIndex GroupPayloadLength(const void* payload);
// Makes the row's payload at least size bytes long, its own bytes first and
// zeros after them; the row then holds a new block and the old address is
// gone. False (the row unchanged) when there is no memory for it.
Boolean GrowGroupPayload(NodeInfoPtr node, CFIndex size);

class TBrowserGroup : public TObject {
 public:
  SInt32 ROOTITEM = 0;  // the group row's item ID; 0 until the group is added
  Str63 NAME;
  Str63 TITLE;          // shown on the group row
  OSType ICONCREATOR = 0;
  OSType ICONTYPE = 0;
  UInt32 ITEMTYPE = 0;  // the type of the group's items
  TGroupBrowser* BROWSER = nullptr;
  NodeInfoPtr CURRENTNODE = nullptr;  // the row last opened or given a contextual command

  virtual void Initialize(const Str63& name, const Str63& title, UInt32 itemType, OSType iconCreator,
                          OSType iconType);
  // A row of the group's type under container (0: the group row); the new
  // row is the only selection. The data becomes a memory block of its own.
  virtual SInt32 NewItem(void* data, SInt32 length, SInt32 container);
  // A folder row under container (0: the group row), the only selection.
  virtual SInt32 NewFolder(const Str63& name, SInt32 container);
  // The icon (the caller releases it) and name of one of the group's rows.
  virtual void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name);
  // The same for a 'grop' or 'FOLD' row.
  virtual void GetStandardDisplay(NodeInfoPtr node, UInt32 type, IconRef& icon, Str63& name);
  virtual void ProcessCommand(void* data, UInt32 type, const HICommand& command) {}
  virtual void RenameItem(void* data, const Str63& name, TWindow* window) {}
  virtual void DrawItem(void* data, Boolean selected, DataBrowserItemID item, DataBrowserPropertyID property,
                        DataBrowserItemState state, CGRect bounds, CGContextRef context) {}
  virtual Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) { return false; }
  virtual void OpenItem(void* data) {}
  virtual Boolean AcceptItem(void* data, DragRef drag, UInt32 type) { return true; }
  virtual void AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) {}
  virtual Boolean RemoveItem(void* data, UInt32 type) { return true; }
  // Writes the group's rows to its file; nothing without one. Err holds the
  // write's status, and a failure is told to the user naming the file.
  virtual void Save();
  // Takes the rows of tree (a bare root, left empty) under the group row.
  virtual void Load(CFTreeRef tree);
  // The group's file: noErr and the file, or an error when it has none.
  virtual OSStatus GetResourceFile(FSRef& file) { return -1; }
  // A replacement payload on its way to (direction 1) or from (2) the file,
  // with its length; nil keeps the bytes as they are.
  virtual void* TranslateNode(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length) { return nullptr; }
};

class TGroupBrowser : public TBrowser {
 public:
  // The groups in display order; not owning. The concrete browser creates
  // it (AddGroup makes one when it is missing); the browser releases it.
  CFMutableArrayRef GROUPS = nullptr;
  TBrowserGroup* DROPGROUP = nullptr;  // the group that accepted the drag in progress

  void ItemNotification(void* data, UInt32 type, DataBrowserItemID item, DataBrowserItemNotification message) override;
  void DrawItem(void* data, UInt32 type, Boolean container, DataBrowserItemID item, DataBrowserPropertyID property,
                DataBrowserItemState state, CGRect bounds, CGContextRef context) override;
  void ReceiveDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) override;
  Boolean AcceptDrag(NodeInfoPtr node, DragRef drag, void* data, FlavorType type) override;
  Boolean AddDragItem(void* data, UInt32 type, DataBrowserItemID item, DragRef drag, DragItemRef itemRef) override;
  Boolean HitTest(void* data, UInt32 type, CGRect itemRect, CGRect mouseRect) override;
  Boolean RemoveItem(void* data, UInt32 type, DataBrowserItemID item) override;
  void SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem) override;
  // Lets go of the groups array (not the groups) with the browser.
  void Release() override;

  virtual void AddGroup(TBrowserGroup* group);
  // Saves every group; the files that could not be written are told in one
  // alert.
  virtual void SaveGroups();
  virtual void LoadGroups();
  // Drops on no row.
  virtual Boolean AcceptItem(void* data, DragRef drag, UInt32 type) { return false; }
  virtual Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) { return false; }
  // The first group of that item type, or nil.
  virtual TBrowserGroup* FindGroupByType(UInt32 type);
  // The group owning the row, or nil.
  virtual TBrowserGroup* FindGroupByItem(NodeInfoPtr node);
  // The group owning the selection anchor; nil without a selection.
  virtual TBrowserGroup* GetSelectedGroup();
  // Every row under the group of that type, at any depth, as an owning array
  // of memory blocks: copies of the payloads (rows without one are left out)
  // or, without data, of the node records. Nil for a missing or empty group.
  virtual CFArrayRef ReturnGroupItems(UInt32 type, Boolean data);
  // The applier for every row under the group of that type.
  virtual void ApplyFunction(UInt32 type, Boolean recursive, BrackenrowApplierFunction applier, void* context);
  using TBrowser::ApplyFunction;
  virtual Str63 GetFolderName(const void* payload);
  virtual void RenameFolder(const Str63& name, void* payload);
  // A hook for subclasses: a group or folder row was double-clicked.
  virtual void SetFocus(SInt32 item) {}

  // The display of a row from its group (the icon, nil for a row without
  // one, is the caller's to release; group titles upper case); false when
  // no group gives the row a name.
  Boolean GetRowDisplay(NodeInfoPtr node, IconRef& icon, Str63& name, TBrowserGroup*& group);
};

// The payload translator of the group files; context is the TBrowserGroup.
void* TranslateBrowserGroupNode(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length, void* context);
