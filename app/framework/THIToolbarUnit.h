// THIToolbar gives a window the window toolbar and acts as its delegate: the
// window describes its items once as records (icon buttons, standard items,
// items with a view of their own) and the delegate answers the toolbar's
// questions from them. THIToolbarItem and THIToolbarView are the bases of
// items that carry their own drawn view; each such item is served by two
// objects of the same class, one for the item and one for its view.
#pragma once

#include "CFArray.h"
#include "Drag.h"
#include "HIToolbar.h"
#include "MacWindows.h"
#include "ShortString.h"
#include "THIViewUnit.h"
#include "TObjectUnit.h"

struct ToolbarItemRecord {
  Str255 Identifier;  // empty for icon buttons: theirs is derived from the command
  UInt32 Attributes = 0;
  HIToolbarItemRef Item = nullptr;  // the custom-view item last made for it
  UInt32 IconCreator = 0, IconType = 0;
  Str255 Label;
  UInt32 Command = 0;
  Boolean Selectable = false;
  Boolean IsView = false;
  Boolean IsDefault = false;
  Boolean IsStandard = false;
  void* Context = nullptr;
  // Frees a context the toolbar was given to keep (nil: the caller keeps it).
  void (*ReleaseContext)(void* context) = nullptr;
};

class THIToolbarItem;

class THIToolbar : public TObject {
 public:
  WindowRef Window = nullptr;
  Str255 Identifier;
  CFMutableArrayRef Items = nullptr;  // owns its records
  UInt32 Attributes = 0;

  virtual void Create(WindowRef window, const Str255& identifier, UInt32 attributes);
  virtual void RedrawItemViews();
  virtual void Append(UInt32 attributes, UInt32 iconCreator, UInt32 iconType, const Str255& label, UInt32 command,
                      Boolean isDefault, Boolean selectable);
  virtual void AppendStandard(UInt32 attributes, CFStringRef identifier, Boolean isDefault);
  virtual void AppendView(UInt32 attributes, const Str255& classID, HIViewConstructObjectCallback construct,
                          void* context, Boolean isDefault);
  virtual HIToolbarItemRef CreateIcon(UInt32 attributes, CFStringRef identifier, UInt32 iconCreator, UInt32 iconType,
                                      const Str255& label, UInt32 command);
  virtual HIToolbarItemRef CreateView(UInt32 attributes, CFStringRef identifier, void* context);
  virtual HIToolbarItemRef CreateItemFromDrag(UInt32, Ptr) { return nullptr; }
  virtual void SetItemEnabledByCommand(UInt32 command, Boolean enabled);
  virtual void SetItemEnabledByIdentifier(const Str255& identifier, Boolean enabled);
  virtual HIToolbarItemRef GetItemAtIndex(SInt32 index);
  // Only items with a view of their own are found by identifier.
  virtual HIToolbarItemRef GetItemByIdentifier(const Str255& identifier);
  virtual HIToolbarItemRef GetItemByCommand(UInt32 command);
  virtual THIToolbarItem* GetDataByIdentifier(const Str255& identifier);
  virtual THIToolbarItem* GetDataByCommand(UInt32 command);
  virtual HIToolbarRef GetToolbarRef();
  virtual THIToolbarItem* GetToolbarItemData(HIToolbarItemRef item);
  // Identifier + "." + the command's four characters + ".item".
  virtual Str255 GetIdentifierFromCommandID(UInt32 command);
  virtual void AppendAllowedItems(CFMutableArrayRef array);
  virtual void AppendDefaultItems(CFMutableArrayRef array);
  virtual void AppendSelectableItems(CFMutableArrayRef array);
  virtual OSStatus HandleToolbarDrag(DragRef drag, EventRef event);
  virtual void CreateItem(CFStringRef identifier, HIToolbarItemRef& item);
  virtual Str255 GetItemIdentifier(const ToolbarItemRecord& record);
  virtual void Release();

  // The toolbar's delegate handler; the toolbar object is its data.
  static OSStatus ToolbarDelegate(EventHandlerCallRef callRef, EventRef event, void* data);
};

class THIToolbarItem : public THIView {
 public:
  THIToolbarItem();

  Str255 ClassID;
  void* Context = nullptr;
  HIToolbarRef Toolbar = nullptr;
  HIToolbarItemRef ItemRef = nullptr;
  Str255 ViewClassID;
  UInt32 DisplaySize = 0;
  UInt32 DisplayMode = 0;
  HIViewConstructObjectCallback ConstructCallback = nullptr;

  virtual void Register() {}
  virtual void Create() {}
  virtual void Initialize() {}
  // A nil context is ignored.
  virtual void SetContext(void* context);
  // Both sizes become the view's optimal size.
  virtual void SetViewConstraints(CGSize& minimum, CGSize& maximum);
  virtual void SetCommand(UInt32 command);
  // Normal controls for the normal sizes, small ones for the small size.
  virtual void DisplaySizeChanged();
  virtual void DisplayModeChanged() {}
};

class THIToolbarView : public THIToolbarItem {
 public:
  THIToolbarView();
  // ViewClassID := ClassID + ".HIView", registered as a view class made by
  // the same callback.
  void Register() override;
  // The item's view: an instance of ViewClassID.
  void Create() override;
};

// Registers the class ID as a toolbar item class whose objects the callback makes.
void HIToolbarViewRegister(const Str255& classID, HIViewConstructObjectCallback callback);
