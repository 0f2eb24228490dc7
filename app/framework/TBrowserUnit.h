// TBrowser: the base of every list and tree browser of the program. It wraps
// one list view (a Data Browser control from an interface file), binds it to
// the tree library and turns every callback of the library into a virtual
// method, so that a subclass overrides only what it needs. Every callback
// carries the object as its context.
#pragma once

#include "CFTree.h"
#include "DataBrowser.h"
#include "Drag.h"
#include "Files.h"
#include "Menus.h"
#include "TViewUnit.h"
#include "brackenrow/Brackenrow.h"

class TBrowser : public TView {
 public:
  ControlRef VIEW = nullptr;  // the list view
  CFTreeRef TREE = nullptr;   // the model, when set or made by the library
  BrackenrowOptions OPTIONS = kBrackenrowDefaultOptions;

  // Hands the command to ProcessSelectionCommand once for each selected
  // item, when the keyboard focus lies inside the list view. status is left
  // as the caller set it.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& status) override;
  // Unbinds the list view from the library, then frees the object.
  void Release() override;

  // Binds the list view; the options must be set before.
  virtual void Create(ControlRef browser);
  virtual void SetOptions(BrackenrowOptions options);
  virtual void ProcessSelectionCommand(NodeInfoPtr, const HICommand&, EventRef, SInt32&) {}
  // A payload (a memory block the record takes over) as a new item or
  // container inside inContainer (0: the top level); its item ID.
  virtual SInt32 NewItem(void* userData, SInt32 length, UInt32 dataType, SInt32 inContainer);
  virtual SInt32 NewContainer(void* userData, SInt32 length, UInt32 dataType, SInt32 inContainer);
  // Shows fromTree (which becomes the browser's tree) without copying it.
  virtual void NewAlias(SInt32 item, SInt32 inContainer, CFTreeRef fromTree);
  // Grafts the tree in; with group > 0 its root gets a row too.
  virtual void CopyTree(CFTreeRef tree, SInt32 inContainer, SInt16 group);
  // A top-level row for the payload; its item ID.
  virtual SInt32 WriteLn(void* userData);
  // A row under inContainer for every direct child of tree that has a
  // record; the model is not changed.
  virtual void AppendChildren(CFTreeRef tree, SInt32 inContainer);
  // Removes every row; subclasses refill.
  virtual void Populate();
  virtual void Clear();
  virtual void UpdateItem(SInt32 item, SInt32 container);
  // Rows in any state inside container.
  virtual UInt32 CountItems(SInt32 container, Boolean recurse);
  // Every row, in any state, recursively.
  virtual void ApplyFunction(BrackenrowApplierFunction applier, void* context);
  // Every node of the tree, recursively.
  virtual void ApplyFunctionToTree(TreeApplierFunction applier, void* context);
  virtual void SetTree(CFTreeRef tree);
  // Selects the item of that row (0 is the first), alone, and reveals it.
  virtual void SelectRow(SInt16 row);
  virtual void SetDisclosureColumn(DataBrowserPropertyID column);
  virtual void Save(const FSRef& where);
  virtual OSStatus Load(const FSRef& where);

  // What the library asks of the host.
  virtual void ItemNotification(void*, UInt32, DataBrowserItemID, DataBrowserItemNotification) {}
  virtual void SetItemData(void*, UInt32, DataBrowserItemID, DataBrowserPropertyID, DataBrowserItemDataRef) {}
  virtual void DrawItem(void*, UInt32, Boolean, DataBrowserItemID, DataBrowserPropertyID, DataBrowserItemState, CGRect,
                        CGContextRef) {}
  virtual void SetItemText(void*, DataBrowserItemID, DataBrowserPropertyID, CFStringRef) {}
  virtual void SetItemCheckbox(void*, DataBrowserItemID, DataBrowserPropertyID, Boolean) {}
  virtual Boolean SetItemProperty(void*, UInt32, DataBrowserItemID, DataBrowserPropertyID, DataBrowserPropertyID) {
    return true;
  }
  virtual void ReceiveDrag(NodeInfoPtr, DragRef, void*, FlavorType) {}
  virtual Boolean AcceptDrag(NodeInfoPtr, DragRef, void*, FlavorType) { return true; }
  virtual void PostDrag(DragRef, OSStatus) {}
  virtual Boolean AddDragItem(void*, UInt32, DataBrowserItemID, DragRef, DragItemRef) { return false; }
  virtual Boolean HitTest(void*, UInt32, CGRect, CGRect) { return true; }
  virtual Boolean CompareItem(NodeInfoPtr, NodeInfoPtr, DataBrowserPropertyID) { return true; }
  virtual Boolean RemoveItem(void*, UInt32, DataBrowserItemID) { return true; }
  virtual void ReleaseItem(void*, UInt32) {}
  // nil: no contextual menu.
  virtual MenuRef GetContextualMenu(ItemArrayHandle, SInt16) { return nullptr; }
  virtual void SelectContextualMenu(NodeInfoPtr, MenuRef, SInt16, UInt16) {}
  virtual void EventLoopTimer() {}

  // The object is alive: callbacks of records that outlive their browser
  // (a tree the host keeps) must not reach a freed one.
  static Boolean IsLive(const TBrowser* browser);
};
