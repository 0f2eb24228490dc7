// The window toolbar's objects: the toolbar and item classes, the questions
// put to the delegate, items and their attributes.
#include <algorithm>
#include <cstring>

#include "CFArray.h"
#include "CGImage.h"
#include "EventTargetInternal.h"
#include "ToolbarInternal.h"

const CFStringRef kHIToolbarClassID = CFStringMakeConstantUTF8("com.apple.hitoolbar");
const CFStringRef kHIToolbarItemClassID = CFStringMakeConstantUTF8("com.apple.hitoolbaritem");
const CFStringRef kHIToolbarSeparatorIdentifier = CFStringMakeConstantUTF8("com.apple.hitoolbox.toolbar.separator");
const CFStringRef kHIToolbarSpaceIdentifier = CFStringMakeConstantUTF8("com.apple.hitoolbox.toolbar.space");
const CFStringRef kHIToolbarFlexibleSpaceIdentifier =
    CFStringMakeConstantUTF8("com.apple.hitoolbox.toolbar.flexiblespace");
const CFStringRef kHIToolbarCustomizeIdentifier = CFStringMakeConstantUTF8("com.apple.hitoolbox.toolbar.customize");

namespace {

bool gRegistered = false;

void SetInstance(EventRef event, void* data) {
  SetEventParameter(event, kEventParamHIObjectInstance, typeVoidPtr, sizeof data, &data);
}

HIObjectRef InstanceOf(EventRef event) {
  HIObjectRef object = nullptr;
  GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof object, nullptr, &object);
  return object;
}

CFStringRef CopyStringParam(EventRef event, EventParamName name) {
  CFStringRef s = nullptr;
  if (GetEventParameter(event, name, typeCFStringRef, nullptr, sizeof s, nullptr, &s) != noErr || s == nullptr)
    return nullptr;
  return CFStringCreateCopy(nullptr, s);
}

OSStatus ToolbarClassHandler(EventHandlerCallRef, EventRef event, void* data) {
  if (GetEventClass(event) != kEventClassHIObject) return eventNotHandledErr;
  switch (GetEventKind(event)) {
    case kEventHIObjectConstruct: {
      auto* d = new ToolbarData;
      d->self = InstanceOf(event);
      SetInstance(event, d);
      return noErr;
    }
    case kEventHIObjectInitialize: {
      auto* d = static_cast<ToolbarData*>(data);
      d->identifier = CopyStringParam(event, kEventParamToolbarItemIdentifier);
      UInt32 attributes = 0;
      GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr, &attributes);
      d->attributes = attributes & kHIToolbarValidAttrs;
      return noErr;
    }
    case kEventHIObjectDestruct: {
      auto* d = static_cast<ToolbarData*>(data);
      for (HIToolbarItemRef item : d->items) {
        if (ToolbarItemData* i = ToolbarItemDataOf(item)) i->toolbar = nullptr;
        CFRelease(item);
      }
      if (d->identifier) CFRelease(d->identifier);
      delete d;
      return noErr;
    }
  }
  return eventNotHandledErr;
}

OSStatus ItemClassHandler(EventHandlerCallRef, EventRef event, void* data) {
  if (GetEventClass(event) != kEventClassHIObject) return eventNotHandledErr;
  switch (GetEventKind(event)) {
    case kEventHIObjectConstruct: {
      auto* d = new ToolbarItemData;
      d->self = InstanceOf(event);
      SetInstance(event, d);
      return noErr;
    }
    case kEventHIObjectInitialize: {
      auto* d = static_cast<ToolbarItemData*>(data);
      d->identifier = CopyStringParam(event, kEventParamToolbarItemIdentifier);
      UInt32 attributes = 0;
      GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr, &attributes);
      d->attributes = attributes & kHIToolbarItemValidAttrs;
      if (d->identifier) {
        if (CFEqual(d->identifier, kHIToolbarSeparatorIdentifier)) d->standard = StandardItem::Separator;
        if (CFEqual(d->identifier, kHIToolbarSpaceIdentifier)) d->standard = StandardItem::Space;
        if (CFEqual(d->identifier, kHIToolbarFlexibleSpaceIdentifier)) d->standard = StandardItem::FlexibleSpace;
      }
      return noErr;
    }
    case kEventHIObjectDestruct: {
      auto* d = static_cast<ToolbarItemData*>(data);
      ToolbarStripForgetItem(d);
      for (CFTypeRef s : {CFTypeRef(d->identifier), CFTypeRef(d->label), CFTypeRef(d->help)})
        if (s) CFRelease(s);
      if (d->icon) ReleaseIconRef(d->icon);
      if (d->image) CGImageRelease(d->image);
      if (d->view) CFRelease(d->view);
      delete d;
      return noErr;
    }
  }
  return eventNotHandledErr;
}

const EventTypeSpec kObjectEvents[] = {{kEventClassHIObject, kEventHIObjectConstruct},
                                       {kEventClassHIObject, kEventHIObjectInitialize},
                                       {kEventClassHIObject, kEventHIObjectDestruct}};

OSStatus Tell(HIToolbarRef toolbar, EventKind kind, EventParamName param = 0, CFTypeRef value = nullptr,
              EventRef* keep = nullptr) {
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassToolbar, kind, 0, 0, &e) != noErr) return eventInternalErr;
  SetEventParameter(e, kEventParamToolbar, typeHIToolbarRef, sizeof toolbar, &toolbar);
  if (param) SetEventParameter(e, param, typeCFMutableArrayRef, sizeof value, &value);
  OSStatus status = SendEventToEventTarget(e, HIObjectGetEventTarget(toolbar));
  if (keep)
    *keep = e;
  else
    ReleaseEvent(e);
  return status;
}

// Asks the delegate for a list of identifiers.
std::vector<CFStringRef> AskIdentifiers(HIToolbarRef toolbar, EventKind kind) {
  std::vector<CFStringRef> out;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  Tell(toolbar, kind, kEventParamToolbarMutableArray, array);
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    auto s = static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i));
    if (s && CFGetTypeID(s) == CFStringGetTypeID()) out.push_back(static_cast<CFStringRef>(CFRetain(s)));
  }
  CFRelease(array);
  return out;
}

void Relayout(ToolbarData* d) {
  if (d->window) ToolbarStripRelayout(d->window);
}

}  // namespace

// The toolbar classes exist once anything looks for a class.
void ToolbarClassesRegister() {
  if (gRegistered) return;
  gRegistered = true;
  HIObjectClassRef cls = nullptr;
  if (HIObjectRegisterSubclass(kHIToolbarClassID, nullptr, 0, ToolbarClassHandler, 3, kObjectEvents, nullptr, &cls) ==
      noErr)
    cls->builtIn = true;
  if (HIObjectRegisterSubclass(kHIToolbarItemClassID, nullptr, 0, ItemClassHandler, 3, kObjectEvents, nullptr, &cls) ==
      noErr)
    cls->builtIn = true;
}

bool ToolbarIsItemClass(const __CHIObjectClass* cls) {
  for (auto* c = cls; c != nullptr; c = c->base)
    if (c->name == "com.apple.hitoolbaritem") return true;
  return false;
}

ToolbarData* ToolbarDataOf(HIToolbarRef toolbar) {
  return toolbar ? static_cast<ToolbarData*>(HIObjectDynamicCast(toolbar, kHIToolbarClassID)) : nullptr;
}

ToolbarItemData* ToolbarItemDataOf(HIToolbarItemRef item) {
  return item ? static_cast<ToolbarItemData*>(HIObjectDynamicCast(item, kHIToolbarItemClassID)) : nullptr;
}

std::string ToolbarUTF8(CFStringRef s) {
  if (s == nullptr) return std::string();
  char buffer[1024];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? std::string(buffer) : std::string();
}

void ToolbarItemTell(ToolbarItemData* item, EventKind kind) {
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassToolbarItem, kind, 0, 0, &e) != noErr) return;
  HIToolbarItemRef ref = item->self;
  SetEventParameter(e, kEventParamDirectObject, typeHIToolbarItemRef, sizeof ref, &ref);
  SendEventToEventTarget(e, HIObjectGetEventTarget(item->self));
  ReleaseEvent(e);
}

HIViewRef ToolbarItemCustomView(ToolbarItemData* item) {
  if (item->askedView) return item->view;
  item->askedView = true;
  if (item->standard != StandardItem::None) return nullptr;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassToolbarItem, kEventToolbarItemCreateCustomView, 0, 0, &e) != noErr)
    return nullptr;
  HIToolbarItemRef ref = item->self;
  SetEventParameter(e, kEventParamDirectObject, typeHIToolbarItemRef, sizeof ref, &ref);
  HIViewRef view = nullptr;
  if (SendEventToEventTarget(e, HIObjectGetEventTarget(item->self)) == noErr &&
      GetEventParameter(e, kEventParamControlRef, typeControlRef, nullptr, sizeof view, nullptr, &view) == noErr &&
      view != nullptr)
    item->view = view;  // the handler hands its reference over
  ReleaseEvent(e);
  return item->view;
}

// --- Toolbars ------------------------------------------------------------------------------

OSStatus HIToolbarCreate(CFStringRef inIdentifier, OptionBits inAttributes, HIToolbarRef* outToolbar) {
  if (outToolbar == nullptr) return paramErr;
  *outToolbar = nullptr;
  if (inIdentifier == nullptr) return paramErr;
  ToolbarClassesRegister();
  EventRef init = nullptr;
  CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
  SetEventParameter(init, kEventParamToolbarItemIdentifier, typeCFStringRef, sizeof inIdentifier, &inIdentifier);
  UInt32 attributes = inAttributes;
  SetEventParameter(init, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
  OSStatus status = HIObjectCreate(kHIToolbarClassID, init, outToolbar);
  ReleaseEvent(init);
  return status;
}

OSStatus HIToolbarGetAttributes(HIToolbarRef inToolbar, OptionBits* outAttributes) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || outAttributes == nullptr) return paramErr;
  *outAttributes = d->attributes;
  return noErr;
}

OSStatus HIToolbarCopyIdentifier(HIToolbarRef inToolbar, CFStringRef* outIdentifier) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || outIdentifier == nullptr) return paramErr;
  *outIdentifier = d->identifier ? CFStringCreateCopy(nullptr, d->identifier) : nullptr;
  return noErr;
}

OSStatus HIToolbarGetDisplayMode(HIToolbarRef inToolbar, HIToolbarDisplayMode* outDisplayMode) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || outDisplayMode == nullptr) return paramErr;
  *outDisplayMode = d->mode;
  return noErr;
}

OSStatus HIToolbarSetDisplayMode(HIToolbarRef inToolbar, HIToolbarDisplayMode inDisplayMode) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || inDisplayMode > kHIToolbarDisplayModeLabelOnly) return paramErr;
  if (d->mode == inDisplayMode) return noErr;
  d->mode = inDisplayMode;
  Relayout(d);
  Tell(inToolbar, kEventToolbarDisplayModeChanged);
  return noErr;
}

OSStatus HIToolbarGetDisplaySize(HIToolbarRef inToolbar, HIToolbarDisplaySize* outSize) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || outSize == nullptr) return paramErr;
  *outSize = d->size;
  return noErr;
}

OSStatus HIToolbarSetDisplaySize(HIToolbarRef inToolbar, HIToolbarDisplaySize inSize) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || inSize > kHIToolbarDisplaySizeSmall) return paramErr;
  if (d->size == inSize) return noErr;
  d->size = inSize;
  Relayout(d);
  Tell(inToolbar, kEventToolbarDisplaySizeChanged);
  return noErr;
}

OSStatus HIToolbarCopyItems(HIToolbarRef inToolbar, CFArrayRef* outItems) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || outItems == nullptr) return paramErr;
  std::vector<const void*> values(d->items.begin(), d->items.end());
  *outItems = CFArrayCreate(nullptr, values.data(), CFIndex(values.size()),
                            &kCFTypeArrayCallBacks);
  return noErr;
}

OSStatus HIToolbarCreateItemWithIdentifier(HIToolbarRef inToolbar, CFStringRef inIdentifier, CFTypeRef inConfigData,
                                           HIToolbarItemRef* outItem) {
  if (outItem == nullptr) return paramErr;
  *outItem = nullptr;
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || inIdentifier == nullptr) return paramErr;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassToolbar, kEventToolbarCreateItemWithIdentifier, 0, 0, &e) != noErr)
    return eventInternalErr;
  SetEventParameter(e, kEventParamToolbar, typeHIToolbarRef, sizeof inToolbar, &inToolbar);
  SetEventParameter(e, kEventParamToolbarItemIdentifier, typeCFStringRef, sizeof inIdentifier, &inIdentifier);
  if (inConfigData) SetEventParameter(e, kEventParamToolbarItemConfigData, typeCFTypeRef, sizeof inConfigData, &inConfigData);
  HIToolbarItemRef item = nullptr;
  if (SendEventToEventTarget(e, HIObjectGetEventTarget(inToolbar)) == noErr)
    GetEventParameter(e, kEventParamToolbarItem, typeHIToolbarItemRef, nullptr, sizeof item, nullptr, &item);
  ReleaseEvent(e);
  if (item != nullptr && ToolbarItemDataOf(item) != nullptr) {
    *outItem = item;  // the delegate's reference passes to the caller
    return noErr;
  }
  const bool standard = CFEqual(inIdentifier, kHIToolbarSeparatorIdentifier) ||
                        CFEqual(inIdentifier, kHIToolbarSpaceIdentifier) ||
                        CFEqual(inIdentifier, kHIToolbarFlexibleSpaceIdentifier);
  if (!standard) return errUnknownControl;
  return HIToolbarItemCreate(inIdentifier, kHIToolbarItemAllowDuplicates | kHIToolbarItemIsSeparator *
                                                                             CFEqual(inIdentifier, kHIToolbarSeparatorIdentifier),
                             outItem);
}

OSStatus HIToolbarInsertItemAtIndex(HIToolbarRef inToolbar, HIToolbarItemRef inItem, CFIndex inIndex) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (d == nullptr || i == nullptr || i->toolbar != nullptr || inIndex < 0) return paramErr;
  CFRetain(inItem);
  i->toolbar = inToolbar;
  const size_t at = std::min(size_t(inIndex), d->items.size());
  d->items.insert(d->items.begin() + long(at), inItem);
  Relayout(d);
  return noErr;
}

OSStatus HIToolbarAppendItem(HIToolbarRef inToolbar, HIToolbarItemRef inItem) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr) return paramErr;
  return HIToolbarInsertItemAtIndex(inToolbar, inItem, CFIndex(d->items.size()));
}

OSStatus HIToolbarRemoveItemAtIndex(HIToolbarRef inToolbar, CFIndex inIndex) {
  ToolbarData* d = ToolbarDataOf(inToolbar);
  if (d == nullptr || inIndex < 0 || size_t(inIndex) >= d->items.size()) return paramErr;
  HIToolbarItemRef item = d->items[size_t(inIndex)];
  d->items.erase(d->items.begin() + inIndex);
  if (ToolbarItemData* i = ToolbarItemDataOf(item)) {
    ToolbarStripForgetItem(i);
    i->toolbar = nullptr;
  }
  CFRelease(item);
  Relayout(d);
  return noErr;
}

// The delegate's default items, asked for once.
void ToolbarPopulate(HIToolbarRef toolbar) {
  ToolbarData* d = ToolbarDataOf(toolbar);
  if (d == nullptr || d->populated) return;
  d->populated = true;
  for (CFStringRef s : AskIdentifiers(toolbar, kEventToolbarGetSelectableIdentifiers)) {
    d->selectable.push_back(ToolbarUTF8(s));
    CFRelease(s);
  }
  for (CFStringRef s : AskIdentifiers(toolbar, kEventToolbarGetDefaultIdentifiers)) {
    HIToolbarItemRef item = nullptr;
    if (HIToolbarCreateItemWithIdentifier(toolbar, s, nullptr, &item) == noErr && item) {
      HIToolbarAppendItem(toolbar, item);
      CFRelease(item);
    }
    CFRelease(s);
  }
}

// --- Items ---------------------------------------------------------------------------------

OSStatus HIToolbarItemCreate(CFStringRef inIdentifier, OptionBits inOptions, HIToolbarItemRef* outItem) {
  if (outItem == nullptr) return paramErr;
  *outItem = nullptr;
  if (inIdentifier == nullptr) return paramErr;
  ToolbarClassesRegister();
  EventRef init = nullptr;
  CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
  SetEventParameter(init, kEventParamToolbarItemIdentifier, typeCFStringRef, sizeof inIdentifier, &inIdentifier);
  UInt32 attributes = inOptions;
  SetEventParameter(init, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
  OSStatus status = HIObjectCreate(kHIToolbarItemClassID, init, outItem);
  ReleaseEvent(init);
  return status;
}

OSStatus HIToolbarItemCopyIdentifier(HIToolbarItemRef inItem, CFStringRef* outIdentifier) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr || outIdentifier == nullptr) return paramErr;
  *outIdentifier = i->identifier ? CFStringCreateCopy(nullptr, i->identifier) : nullptr;
  return noErr;
}

OSStatus HIToolbarItemGetAttributes(HIToolbarItemRef inItem, OptionBits* outAttributes) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr || outAttributes == nullptr) return paramErr;
  *outAttributes = i->attributes;
  return noErr;
}

OSStatus HIToolbarItemChangeAttributes(HIToolbarItemRef inItem, OptionBits inAttrsToSet, OptionBits inAttrsToClear) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  if ((inAttrsToSet | inAttrsToClear) & ~OptionBits(kHIToolbarItemMutableAttrs)) return paramErr;
  const OptionBits old = i->attributes;
  i->attributes = (i->attributes | inAttrsToSet) & ~inAttrsToClear;
  if ((old ^ i->attributes) & kHIToolbarItemDisabled) ToolbarItemTell(i, kEventToolbarItemEnabledStateChanged);
  // Nothing changed, nothing to draw again (windows set their items' states
  // after every command).
  if (old == i->attributes) return noErr;
  if (i->toolbar)
    if (ToolbarData* d = ToolbarDataOf(i->toolbar); d && d->window) ToolbarStripInvalidate(d->window);
  return noErr;
}

namespace {
void Changed(ToolbarItemData* i, EventKind kind, bool relayout) {
  ToolbarItemTell(i, kind);
  if (i->toolbar == nullptr) return;
  ToolbarData* d = ToolbarDataOf(i->toolbar);
  if (d == nullptr || d->window == nullptr) return;
  if (relayout)
    ToolbarStripRelayout(d->window);
  else
    ToolbarStripInvalidate(d->window);
}

void SetString(CFStringRef* slot, CFStringRef value) {
  if (*slot) CFRelease(*slot);
  *slot = value ? CFStringCreateCopy(nullptr, value) : nullptr;
}
}  // namespace

OSStatus HIToolbarItemSetLabel(HIToolbarItemRef inItem, CFStringRef inLabel) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  SetString(&i->label, inLabel);
  Changed(i, kEventToolbarItemLabelChanged, true);
  return noErr;
}

OSStatus HIToolbarItemCopyLabel(HIToolbarItemRef inItem, CFStringRef* outLabel) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr || outLabel == nullptr) return paramErr;
  *outLabel = i->label ? CFStringCreateCopy(nullptr, i->label) : nullptr;
  return noErr;
}

OSStatus HIToolbarItemSetHelpText(HIToolbarItemRef inItem, CFStringRef inShortText, CFStringRef) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  SetString(&i->help, inShortText);
  ToolbarItemTell(i, kEventToolbarItemHelpTextChanged);
  return noErr;
}

OSStatus HIToolbarItemSetIconRef(HIToolbarItemRef inItem, IconRef inIcon) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  if (inIcon) AcquireIconRef(inIcon);
  if (i->icon) ReleaseIconRef(i->icon);
  i->icon = inIcon;
  Changed(i, kEventToolbarItemImageChanged, false);
  return noErr;
}

OSStatus HIToolbarItemSetImage(HIToolbarItemRef inItem, CGImageRef inImage) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  if (inImage) CGImageRetain(inImage);
  if (i->image) CGImageRelease(i->image);
  i->image = inImage;
  Changed(i, kEventToolbarItemImageChanged, false);
  return noErr;
}

OSStatus HIToolbarItemSetCommandID(HIToolbarItemRef inItem, MenuCommand inCommandID) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr) return paramErr;
  i->command = inCommandID;
  ToolbarItemTell(i, kEventToolbarItemCommandIDChanged);
  return noErr;
}

OSStatus HIToolbarItemGetCommandID(HIToolbarItemRef inItem, MenuCommand* outCommandID) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr || outCommandID == nullptr) return paramErr;
  *outCommandID = i->command;
  return noErr;
}

OSStatus HIToolbarItemSetEnabled(HIToolbarItemRef inItem, Boolean inEnabled) {
  return inEnabled ? HIToolbarItemChangeAttributes(inItem, 0, kHIToolbarItemDisabled)
                   : HIToolbarItemChangeAttributes(inItem, kHIToolbarItemDisabled, 0);
}

Boolean HIToolbarItemIsEnabled(HIToolbarItemRef inItem) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  return i != nullptr && (i->attributes & kHIToolbarItemDisabled) == 0;
}

OSStatus HIToolbarItemGetView(HIToolbarItemRef inItem, HIViewRef* outView) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  if (i == nullptr || outView == nullptr) return paramErr;
  HIViewRef view = ToolbarItemCustomView(i);
  *outView = view ? view : i->cell;
  return noErr;
}

HIToolbarRef HIToolbarItemGetToolbar(HIToolbarItemRef inItem) {
  ToolbarItemData* i = ToolbarItemDataOf(inItem);
  return i ? i->toolbar : nullptr;
}
