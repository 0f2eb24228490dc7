#include "THIToolbarUnit.h"

#include <set>
#include <string>

#include "CFString.h"
#include "Folders.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TWindowUnit.h"

namespace {

void ReleaseRecord(CFAllocatorRef, const void* value) {
  delete static_cast<const ToolbarItemRecord*>(value);
}

const CFArrayCallBacks kRecordCallbacks = {0, nullptr, ReleaseRecord, nullptr, nullptr};

ToolbarItemRecord* RecordAt(CFArrayRef items, CFIndex i) {
  return static_cast<ToolbarItemRecord*>(const_cast<void*>(CFArrayGetValueAtIndex(items, i)));
}

// A new CFString of the short string (the caller releases it).
CFStringRef NewString(const Str255& text) { return CFStringCreateCopy(nullptr, CFSTR(text)); }

// Calls each(item) for the toolbar's current items until it answers true.
template <typename Each>
HIToolbarItemRef FindItem(HIToolbarRef toolbar, Each each) {
  if (toolbar == nullptr) return nullptr;
  CFArrayRef items = nullptr;
  if (HIToolbarCopyItems(toolbar, &items) != noErr || items == nullptr) return nullptr;
  HIToolbarItemRef found = nullptr;
  for (CFIndex i = 0; i < CFArrayGetCount(items) && found == nullptr; ++i) {
    auto item = static_cast<HIToolbarItemRef>(const_cast<void*>(CFArrayGetValueAtIndex(items, i)));
    if (each(item)) found = item;
  }
  CFRelease(items);
  return found;
}

// The class IDs registered as toolbar item classes, each once.
std::set<std::string>& RegisteredItemClasses() {
  static auto* classes = new std::set<std::string>;
  return *classes;
}

OSStatus ToolbarItemHandler(EventHandlerCallRef, EventRef, void*) { return eventNotHandledErr; }

OSStatus ToolbarControlHandler(EventHandlerCallRef callRef, EventRef event, void* data) {
  if (GetEventClass(event) != kEventClassControl || GetEventKind(event) != kEventControlGetSizeConstraints)
    return eventNotHandledErr;
  CallNextEventHandler(callRef, event);
  CGSize minimum{}, maximum{};
  GetEventParameter(event, kEventParamMinimumSize, typeHISize, nullptr, sizeof minimum, nullptr, &minimum);
  GetEventParameter(event, kEventParamMaximumSize, typeHISize, nullptr, sizeof maximum, nullptr, &maximum);
  static_cast<THIToolbarItem*>(data)->SetViewConstraints(minimum, maximum);
  SetEventParameter(event, kEventParamMinimumSize, typeHISize, sizeof minimum, &minimum);
  SetEventParameter(event, kEventParamMaximumSize, typeHISize, sizeof maximum, &maximum);
  return noErr;
}

OSStatus ToolbarViewHandler(EventHandlerCallRef callRef, EventRef event, void* data) {
  const UInt32 eventClass = GetEventClass(event), kind = GetEventKind(event);
  if (eventClass == kEventClassHIObject && kind == kEventHIObjectConstruct) {
    auto callback = reinterpret_cast<HIViewConstructObjectCallback>(data);
    auto* item = callback != nullptr ? dynamic_cast<THIToolbarItem*>(callback()) : nullptr;
    if (item == nullptr) return eventNotHandledErr;
    HIObjectRef instance = nullptr;
    GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof instance, nullptr,
                      &instance);
    item->ItemRef = instance;
    item->ConstructCallback = callback;
    void* self = item;
    SetEventParameter(event, kEventParamHIObjectInstance, typeVoidPtr, sizeof self, &self);
    return noErr;
  }
  auto* item = static_cast<THIToolbarItem*>(data);
  if (item == nullptr) return eventNotHandledErr;
  if (eventClass == kEventClassHIObject && kind == kEventHIObjectInitialize) {
    const OSStatus status = CallNextEventHandler(callRef, event);
    if (status != noErr) return eventNotHandledErr;
    if (CFStringRef id = HIObjectCopyClassID(item->ItemRef)) {
      item->ClassID = CFStringToPascal(id);
      CFRelease(id);
    }
    item->Register();
    void* context = nullptr;
    if (GetEventParameter(event, kEventParamToolbarItemConfigData, typeVoidPtr, nullptr, sizeof context, nullptr,
                          &context) == noErr)
      item->SetContext(context);
    item->Initialize();
    return noErr;
  }
  if (eventClass == kEventClassHIObject && kind == kEventHIObjectDestruct) {
    item->Release();
    return noErr;
  }
  if (eventClass == kEventClassToolbarItem && kind == kEventToolbarItemCreateCustomView) {
    item->Create();
    HIViewRef view = item->View;
    if (view != nullptr) {
      CFStringRef viewClass = NewString(item->ViewClassID);
      if (auto* object = static_cast<THIToolbarItem*>(HIObjectDynamicCast(reinterpret_cast<HIObjectRef>(view), viewClass))) {
        object->SetContext(item->Context);
        object->ItemRef = item->ItemRef;
        object->Initialize();
      }
      CFRelease(viewClass);
    }
    item->Toolbar = HIToolbarItemGetToolbar(item->ItemRef);
    if (item->Toolbar != nullptr) {
      HIToolbarGetDisplayMode(item->Toolbar, &item->DisplayMode);
      HIToolbarGetDisplaySize(item->Toolbar, &item->DisplaySize);
    }
    if (view == nullptr) return eventNotHandledErr;
    static const EventTypeSpec kConstraints = {kEventClassControl, kEventControlGetSizeConstraints};
    InstallEventHandler(GetControlEventTarget(view), ToolbarControlHandler, 1, &kConstraints, item, nullptr);
    SetEventParameter(event, kEventParamControlRef, typeControlRef, sizeof view, &view);
    return noErr;
  }
  return eventNotHandledErr;
}

}  // namespace

void HIToolbarViewRegister(const Str255& classID, HIViewConstructObjectCallback callback) {
  if (!RegisteredItemClasses().insert(classID.str()).second) return;
  static const EventTypeSpec kEvents[] = {{kEventClassHIObject, kEventHIObjectConstruct},
                                          {kEventClassHIObject, kEventHIObjectInitialize},
                                          {kEventClassHIObject, kEventHIObjectDestruct},
                                          {kEventClassToolbarItem, kEventToolbarItemCreateCustomView}};
  CFStringRef id = NewString(classID);
  Err = HIObjectRegisterSubclass(id, kHIToolbarItemClassID, 0, ToolbarViewHandler, 4, kEvents,
                                 reinterpret_cast<void*>(callback), nullptr);
  CFRelease(id);
}

// ---------------------------------------------------------------------------
// THIToolbar

void THIToolbar::Create(WindowRef window, const Str255& identifier, UInt32 attributes) {
  Window = window;
  Identifier = identifier;
  Attributes = attributes;
  SetClassString("THIToolbar");
  HIToolbarRef toolbar = nullptr;
  CFStringRef id = NewString(identifier);
  Err = HIToolbarCreate(id, attributes, &toolbar);
  CFRelease(id);
  if (toolbar == nullptr) return;
  static const EventTypeSpec kDelegateEvents[] = {
      {kEventClassToolbar, kEventToolbarGetDefaultIdentifiers},  {kEventClassToolbar, kEventToolbarGetAllowedIdentifiers},
      {kEventClassToolbar, kEventToolbarCreateItemWithIdentifier}, {kEventClassToolbar, kEventToolbarCreateItemFromDrag},
      {kEventClassToolbar, kEventToolbarDisplayModeChanged},     {kEventClassToolbar, kEventToolbarDisplaySizeChanged},
      {kEventClassToolbar, kEventToolbarGetSelectableIdentifiers}};
  Err = InstallEventHandler(HIObjectGetEventTarget(toolbar), ToolbarDelegate, 7, kDelegateEvents, this, nullptr);
  Err = HIToolbarSetDisplayMode(toolbar, kHIToolbarDisplayModeDefault);
  Err = SetWindowToolbar(window, toolbar);
  Err = ShowHideWindowToolbar(window, true, false);
  Err = SetAutomaticControlDragTrackingEnabledForWindow(window, true);
  SendHICommand(GetWindowEventTarget(window), kHICommandUpdateWindowToolbar);
  CFRelease(toolbar);  // the window keeps it
}

HIToolbarRef THIToolbar::GetToolbarRef() {
  HIToolbarRef toolbar = nullptr;
  if (Window != nullptr) GetWindowToolbar(Window, &toolbar);
  return toolbar;
}

void THIToolbar::RedrawItemViews() {
  FindItem(GetToolbarRef(), [&](HIToolbarItemRef item) {
    if (THIToolbarItem* data = GetToolbarItemData(item))
      if (data->View != nullptr) HIViewSetNeedsDisplay(data->View, true);
    return false;
  });
}

namespace {

ToolbarItemRecord* AppendRecord(CFMutableArrayRef& items) {
  if (items == nullptr) items = CFArrayCreateMutable(nullptr, 0, &kRecordCallbacks);
  auto* record = new ToolbarItemRecord();
  CFArrayAppendValue(items, record);
  return record;
}

}  // namespace

void THIToolbar::Append(UInt32 attributes, UInt32 iconCreator, UInt32 iconType, const Str255& label, UInt32 command,
                        Boolean isDefault, Boolean selectable) {
  ToolbarItemRecord* r = AppendRecord(Items);
  r->Attributes = attributes;
  r->IconCreator = iconCreator;
  r->IconType = iconType;
  r->Label = label;
  r->Command = command;
  r->IsDefault = isDefault;
  r->Selectable = selectable;
}

void THIToolbar::AppendStandard(UInt32 attributes, CFStringRef identifier, Boolean isDefault) {
  ToolbarItemRecord* r = AppendRecord(Items);
  r->Identifier = CFStringToPascal(identifier);
  r->Attributes = attributes;
  r->IsDefault = isDefault;
  r->IsStandard = true;
}

void THIToolbar::AppendView(UInt32 attributes, const Str255& classID, HIViewConstructObjectCallback construct,
                            void* context, Boolean isDefault) {
  ToolbarItemRecord* r = AppendRecord(Items);
  r->Identifier = classID;
  r->IsDefault = isDefault;
  r->IsView = true;
  r->Context = context;
  r->Attributes = attributes;
  HIToolbarViewRegister(classID, construct);
}

HIToolbarItemRef THIToolbar::CreateIcon(UInt32 attributes, CFStringRef identifier, UInt32 iconCreator,
                                        UInt32 iconType, const Str255& label, UInt32 command) {
  HIToolbarItemRef item = nullptr;
  Err = HIToolbarItemCreate(identifier, attributes, &item);
  if (item == nullptr) return nullptr;
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, iconCreator, iconType, &icon) == noErr && icon != nullptr) {
    HIToolbarItemSetIconRef(item, icon);
    ReleaseIconRef(icon);
  }
  HIToolbarItemSetCommandID(item, command);
  CFStringRef text = NewString(label);
  HIToolbarItemSetLabel(item, text);
  CFRelease(text);
  return item;
}

HIToolbarItemRef THIToolbar::CreateView(UInt32 attributes, CFStringRef identifier, void* context) {
  EventRef init = nullptr;
  if (CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, kEventAttributeNone, &init) != noErr)
    return nullptr;
  SetEventParameter(init, kEventParamToolbarItemIdentifier, typeCFStringRef, sizeof identifier, &identifier);
  SetEventParameter(init, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
  SetEventParameter(init, kEventParamToolbarItemConfigData, typeVoidPtr, sizeof context, &context);
  HIObjectRef item = nullptr;
  Err = HIObjectCreate(identifier, init, &item);
  ReleaseEvent(init);
  return item;
}

void THIToolbar::SetItemEnabledByCommand(UInt32 command, Boolean enabled) {
  if (HIToolbarItemRef item = GetItemByCommand(command)) HIToolbarItemSetEnabled(item, enabled);
}

void THIToolbar::SetItemEnabledByIdentifier(const Str255& identifier, Boolean enabled) {
  if (HIToolbarItemRef item = GetItemByIdentifier(identifier)) HIToolbarItemSetEnabled(item, enabled);
}

HIToolbarItemRef THIToolbar::GetItemAtIndex(SInt32 index) {
  if (Items == nullptr || index < 0 || index >= CFArrayGetCount(Items)) return nullptr;
  return RecordAt(Items, index)->Item;
}

HIToolbarItemRef THIToolbar::GetItemByIdentifier(const Str255& identifier) {
  return FindItem(GetToolbarRef(), [&](HIToolbarItemRef item) {
    THIToolbarItem* data = GetToolbarItemData(item);
    return data != nullptr && data->ClassID == identifier;
  });
}

HIToolbarItemRef THIToolbar::GetItemByCommand(UInt32 command) {
  return FindItem(GetToolbarRef(), [&](HIToolbarItemRef item) {
    MenuCommand own = 0;
    HIToolbarItemGetCommandID(item, &own);
    if (own == 0)
      if (THIToolbarItem* data = GetToolbarItemData(item))
        if (data->View != nullptr) GetControlCommandID(data->View, &own);
    return own == command;
  });
}

THIToolbarItem* THIToolbar::GetDataByIdentifier(const Str255& identifier) {
  HIToolbarItemRef item = GetItemByIdentifier(identifier);
  return item != nullptr ? GetToolbarItemData(item) : nullptr;
}

THIToolbarItem* THIToolbar::GetDataByCommand(UInt32 command) {
  HIToolbarItemRef item = GetItemByCommand(command);
  return item != nullptr ? GetToolbarItemData(item) : nullptr;
}

THIToolbarItem* THIToolbar::GetToolbarItemData(HIToolbarItemRef item) {
  if (item == nullptr) return nullptr;
  CFStringRef identifier = nullptr;
  if (HIToolbarItemCopyIdentifier(item, &identifier) != noErr || identifier == nullptr) return nullptr;
  // Only a registered item class has an object behind it.
  THIToolbarItem* data = nullptr;
  if (RegisteredItemClasses().count(CFStringToPascal(identifier).str()))
    data = static_cast<THIToolbarItem*>(HIObjectDynamicCast(item, identifier));
  CFRelease(identifier);
  return data;
}

Str255 THIToolbar::GetIdentifierFromCommandID(UInt32 command) {
  return Identifier + "." + Str255(FCCToString(command)) + ".item";
}

Str255 THIToolbar::GetItemIdentifier(const ToolbarItemRecord& record) {
  return record.Identifier.empty() ? GetIdentifierFromCommandID(record.Command) : record.Identifier;
}

void THIToolbar::AppendDefaultItems(CFMutableArrayRef array) {
  const CFIndex count = Items != nullptr ? CFArrayGetCount(Items) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    ToolbarItemRecord* r = RecordAt(Items, i);
    if (!r->IsDefault) continue;
    CFStringRef id = NewString(GetItemIdentifier(*r));
    CFArrayAppendValue(array, id);
    CFRelease(id);
  }
}

void THIToolbar::AppendAllowedItems(CFMutableArrayRef array) {
  for (CFStringRef standard : {kHIToolbarSeparatorIdentifier, kHIToolbarSpaceIdentifier,
                               kHIToolbarFlexibleSpaceIdentifier, kHIToolbarCustomizeIdentifier})
    CFArrayAppendValue(array, standard);
  const CFIndex count = Items != nullptr ? CFArrayGetCount(Items) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    ToolbarItemRecord* r = RecordAt(Items, i);
    if (r->IsStandard) continue;
    CFStringRef id = NewString(GetItemIdentifier(*r));
    CFArrayAppendValue(array, id);
    CFRelease(id);
  }
}

void THIToolbar::AppendSelectableItems(CFMutableArrayRef array) {
  const CFIndex count = Items != nullptr ? CFArrayGetCount(Items) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    ToolbarItemRecord* r = RecordAt(Items, i);
    if (!r->Selectable) continue;
    CFStringRef id = NewString(GetItemIdentifier(*r));
    CFArrayAppendValue(array, id);
    CFRelease(id);
  }
  // The item selected in the window stays selected.
  FindItem(GetToolbarRef(), [](HIToolbarItemRef item) {
    OptionBits attributes = 0;
    HIToolbarItemGetAttributes(item, &attributes);
    if (attributes & kHIToolbarItemSelected) HIToolbarItemChangeAttributes(item, kHIToolbarItemSelected, 0);
    return false;
  });
}

OSStatus THIToolbar::HandleToolbarDrag(DragRef drag, EventRef event) {
  UInt16 items = 0;
  if (CountDragItems(drag, &items) != noErr) return eventNotHandledErr;
  for (UInt16 i = 1; i <= items; ++i) {
    DragItemRef itemRef = 0;
    UInt16 flavors = 0;
    if (GetDragItemReferenceNumber(drag, i, &itemRef) != noErr ||
        CountDragItemFlavors(drag, itemRef, &flavors) != noErr)
      continue;
    for (UInt16 f = 1; f <= flavors; ++f) {
      FlavorType type = 0;
      Size size = 0;
      if (GetFlavorType(drag, itemRef, f, &type) != noErr || GetFlavorDataSize(drag, itemRef, type, &size) != noErr)
        continue;
      Ptr data = NewPtr(size);
      if (data == nullptr) continue;
      GetFlavorData(drag, itemRef, type, data, &size, 0);
      HIToolbarItemRef made = CreateItemFromDrag(type, data);
      DisposePtr(data);
      if (made != nullptr) {
        SetEventParameter(event, kEventParamToolbarItem, typeHIToolbarItemRef, sizeof made, &made);
        return noErr;
      }
    }
  }
  return eventNotHandledErr;
}

void THIToolbar::CreateItem(CFStringRef identifier, HIToolbarItemRef& item) {
  item = nullptr;
  const Str255 wanted = CFStringToPascal(identifier);
  const CFIndex count = Items != nullptr ? CFArrayGetCount(Items) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    ToolbarItemRecord* r = RecordAt(Items, i);
    if (r->IsView && r->Identifier == wanted) {
      item = r->Item = CreateView(r->Attributes, identifier, r->Context);
      return;
    }
  }
  for (CFIndex i = 0; i < count; ++i) {
    ToolbarItemRecord* r = RecordAt(Items, i);
    if (r->Identifier.empty() && !r->IsView && GetItemIdentifier(*r) == wanted) {
      item = CreateIcon(r->Attributes, identifier, r->IconCreator, r->IconType, r->Label, r->Command);
      return;
    }
  }
}

void THIToolbar::Release() {
  if (Items != nullptr) {
    for (CFIndex i = 0; i < CFArrayGetCount(Items); ++i) {
      auto* r = static_cast<ToolbarItemRecord*>(const_cast<void*>(CFArrayGetValueAtIndex(Items, i)));
      if (r != nullptr && r->ReleaseContext != nullptr && r->Context != nullptr) r->ReleaseContext(r->Context);
    }
    CFRelease(Items);
  }
  Items = nullptr;
  Free();
}

OSStatus THIToolbar::ToolbarDelegate(EventHandlerCallRef, EventRef event, void* data) {
  auto* self = static_cast<THIToolbar*>(data);
  CFMutableArrayRef array = nullptr;
  auto readArray = [&] {
    return GetEventParameter(event, kEventParamToolbarMutableArray, typeCFMutableArrayRef, nullptr, sizeof array,
                             nullptr, &array) == noErr &&
           array != nullptr;
  };
  switch (GetEventKind(event)) {
    case kEventToolbarGetDefaultIdentifiers:
      if (readArray()) self->AppendDefaultItems(array);
      return noErr;
    case kEventToolbarGetAllowedIdentifiers:
      if (readArray()) self->AppendAllowedItems(array);
      return noErr;
    case kEventToolbarGetSelectableIdentifiers:
      if (readArray()) self->AppendSelectableItems(array);
      return noErr;
    case kEventToolbarCreateItemWithIdentifier: {
      CFStringRef identifier = nullptr;
      GetEventParameter(event, kEventParamToolbarItemIdentifier, typeCFStringRef, nullptr, sizeof identifier, nullptr,
                        &identifier);
      HIToolbarItemRef item = nullptr;
      if (identifier != nullptr) self->CreateItem(identifier, item);
      if (item != nullptr) {
        static const EventTypeSpec kItemEvents = {kEventClassToolbarItem, kEventToolbarItemEnabledStateChanged};
        InstallEventHandler(HIObjectGetEventTarget(item), ToolbarItemHandler, 1, &kItemEvents, self, nullptr);
        SetEventParameter(event, kEventParamToolbarItem, typeHIToolbarItemRef, sizeof item, &item);
      }
      return noErr;
    }
    case kEventToolbarCreateItemFromDrag: {
      DragRef drag = nullptr;
      if (GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag) != noErr)
        return eventNotHandledErr;
      return self->HandleToolbarDrag(drag, event);
    }
    case kEventToolbarDisplayModeChanged:
    case kEventToolbarDisplaySizeChanged: {
      const bool mode = GetEventKind(event) == kEventToolbarDisplayModeChanged;
      HIToolbarRef toolbar = self->GetToolbarRef();
      FindItem(toolbar, [&](HIToolbarItemRef item) {
        if (THIToolbarItem* object = self->GetToolbarItemData(item)) {
          if (mode) {
            HIToolbarGetDisplayMode(toolbar, &object->DisplayMode);
            object->DisplayModeChanged();
          } else {
            HIToolbarGetDisplaySize(toolbar, &object->DisplaySize);
            object->DisplaySizeChanged();
          }
        }
        return false;
      });
      return noErr;
    }
  }
  return eventNotHandledErr;
}

// ---------------------------------------------------------------------------
// THIToolbarItem and THIToolbarView

THIToolbarItem::THIToolbarItem() { SetClassString("THIToolbarItem"); }

void THIToolbarItem::SetContext(void* context) {
  if (context != nullptr) Context = context;
}

void THIToolbarItem::SetViewConstraints(CGSize& minimum, CGSize& maximum) {
  if (View == nullptr) return;
  HIRect best{};
  float baseline = 0;
  if (HIViewGetOptimalBounds(View, &best, &baseline) != noErr) return;
  minimum = best.size;
  maximum = best.size;
}

void THIToolbarItem::SetCommand(UInt32 command) {
  if (View != nullptr) SetControlCommandID(View, command);
  if (ItemRef != nullptr) HIToolbarItemSetCommandID(ItemRef, command);
}

void THIToolbarItem::DisplaySizeChanged() {
  if (View == nullptr) return;
  const UInt16 size = DisplaySize == kHIToolbarDisplaySizeSmall ? 1 : 0;  // small : normal
  SetControlData(View, 0, kControlSizeTag, sizeof size, &size);
}

THIToolbarView::THIToolbarView() { SetClassString("THIToolbarView"); }

void THIToolbarView::Register() {
  ViewClassID = ClassID + ".HIView";
  THIViewRegister(ViewClassID, ConstructCallback);
}

void THIToolbarView::Create() {
  HIObjectRef view = nullptr;
  CFStringRef id = NewString(ViewClassID);
  Err = HIObjectCreate(id, nullptr, &view);
  CFRelease(id);
  View = reinterpret_cast<HIViewRef>(view);
}
