// HIObject: the class registry, the construct / initialise / destruct
// protocol and the object record every view builds on.
#include "HIObject.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "../toolbox/EventsInternal.h"
#include "HIViewRecord.h"

namespace {

CFTypeID ObjectTypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("HIObject");
  return id;
}

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return {};
  CFIndex len = CFStringGetLength(s);
  CFIndex max = CFStringGetMaximumSizeForEncoding(len, kCFStringEncodingUTF8) + 1;
  std::string out(size_t(max), '\0');
  if (!CFStringGetCString(s, out.data(), max, kCFStringEncodingUTF8)) return {};
  out.resize(strlen(out.c_str()));
  return out;
}

std::unordered_map<std::string, __CHIObjectClass*>& Registry() {
  static auto* registry = new std::unordered_map<std::string, __CHIObjectClass*>();
  return *registry;
}

__CHIObjectClass* MakeBuiltIn(const char* name, __CHIObjectClass* base, bool isView) {
  auto* cls = new __CHIObjectClass();
  cls->classID = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
  cls->name = name;
  cls->base = base;
  cls->isView = isView;
  cls->builtIn = true;
  Registry()[name] = cls;
  return cls;
}

__CHIObjectClass* RootClass() {
  static __CHIObjectClass* cls = MakeBuiltIn("com.apple.hiobject", nullptr, false);
  return cls;
}

__CHIObjectClass* FindClass(CFStringRef id) {
  RootClass();
  HIObjectClassViewBase();
  ToolbarClassesRegister();
  auto it = Registry().find(Utf8(id));
  return it == Registry().end() ? nullptr : it->second;
}

// Delivers the event to one class's handler alone (construct and destruct
// reach each class of the chain separately), through a target of its own.
OSStatus SendToClass(__CHIObjectClass* cls, void* userData, EventRef event, void* owner) {
  if (cls->proc == nullptr) return eventNotHandledErr;
  EventTargetRef temp = EventTargetCreate(owner, [](void*) -> EventTargetRef { return nullptr; });
  EventTypeSpec spec = {GetEventClass(event), GetEventKind(event)};
  OSStatus status = InstallEventHandler(temp, cls->proc, 1, &spec, userData, nullptr);
  if (status == noErr) status = SendEventToEventTargetWithOptions(event, temp, kEventTargetDontPropagate);
  EventTargetDispose(temp);
  return status;
}

// The instance data a construct handler gave back: 'hioi' or 'hivi' set to
// typeVoidPtr.
bool ReadInstance(EventRef event, void** out) {
  for (EventParamName name : {kEventParamHIObjectInstance, kEventParamHIViewInstance}) {
    EventParamType type = 0;
    ByteCount size = 0;
    if (GetEventParameter(event, name, typeWildCard, &type, 0, &size, nullptr) != noErr) continue;
    if (type != typeVoidPtr || size != sizeof(void*)) continue;
    void* value = nullptr;
    GetEventParameter(event, name, typeVoidPtr, nullptr, sizeof value, nullptr, &value);
    *out = value;
    return true;
  }
  return false;
}

std::vector<__CHIObjectClass*> ChainRootFirst(__CHIObjectClass* cls) {
  std::vector<__CHIObjectClass*> chain;
  for (auto* c = cls; c != nullptr; c = c->base) chain.push_back(c);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

EventTargetRef ObjectParent(void*) { return nullptr; }

}  // namespace

const CFStringRef kHIObjectClassID = CFStringMakeConstantUTF8("com.apple.hiobject");
const CFStringRef kHIViewClassID = CFStringMakeConstantUTF8("com.apple.hiview");

__CHIObjectClass* HIObjectClassViewBase() {
  static __CHIObjectClass* cls = MakeBuiltIn("com.apple.hiview", RootClass(), true);
  return cls;
}

CFTypeID HIObjectGetTypeID() { return ObjectTypeID(); }

__CHIObject::__CHIObject() : __CFRuntimeBase(ObjectTypeID()) {}

__CHIObject::~__CHIObject() { Destruct(); }

std::string __CHIObject::Describe() const {
  char buf[96];
  snprintf(buf, sizeof buf, "<HIObject %p>{class = ", static_cast<const void*>(this));
  return std::string(buf) + (cls ? cls->name : std::string("?")) + "}";
}

void __CHIObject::Destruct() {
  if (destructed) return;
  destructed = true;
  // Handlers may retain and release the object while it ends.
  Pin();
  if (constructed) {
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectDestruct, 0, 0, &event) == noErr) {
      for (auto& [cls, data] : instances) SendToClass(cls, data, event, this);
      ReleaseEvent(event);
    }
  }
  if (target != nullptr) EventTargetDispose(target);
  target = nullptr;
  if (cls != nullptr) {
    for (auto* c = cls; c != nullptr; c = c->base) --c->instances;
  }
}

OSStatus HIObjectRegisterSubclass(CFStringRef inClassID, CFStringRef inBaseClassID, HIObjectClassOptions,
                                  EventHandlerUPP inConstructProc, ItemCount inNumEvents,
                                  const EventTypeSpec* inEventList, void* inConstructData,
                                  HIObjectClassRef* outClassRef) {
  if (outClassRef) *outClassRef = nullptr;
  if (inClassID == nullptr || CFStringGetLength(inClassID) == 0 || inConstructProc == nullptr) return paramErr;
  if (inNumEvents > 0 && inEventList == nullptr) return paramErr;
  if (FindClass(inClassID) != nullptr) return hiObjectClassExistsErr;
  __CHIObjectClass* base = inBaseClassID ? FindClass(inBaseClassID) : RootClass();
  if (base == nullptr) return hiObjectClassNotFoundErr;
  auto* cls = new __CHIObjectClass();
  cls->classID = CFStringCreateCopy(nullptr, inClassID);
  cls->name = Utf8(inClassID);
  cls->base = base;
  cls->proc = inConstructProc;
  cls->events.assign(inEventList, inEventList + inNumEvents);
  cls->constructData = inConstructData;
  cls->isView = base->isView;
  ++base->subclasses;
  Registry()[cls->name] = cls;
  if (outClassRef) *outClassRef = cls;
  return noErr;
}

OSStatus HIObjectUnregisterClass(HIObjectClassRef inClassRef) {
  if (inClassRef == nullptr || inClassRef->builtIn) return paramErr;
  auto it = Registry().find(inClassRef->name);
  if (it == Registry().end() || it->second != inClassRef) return paramErr;
  if (inClassRef->instances > 0) return hiObjectClassHasInstancesErr;
  if (inClassRef->subclasses > 0) return hiObjectClassHasSubclassesErr;
  Registry().erase(it);
  --inClassRef->base->subclasses;
  CFRelease(inClassRef->classID);
  delete inClassRef;
  return noErr;
}

OSStatus HIObjectCreateOfClass(__CHIObjectClass* cls, EventRef initEvent, HIObjectRef* outObject) {
  *outObject = nullptr;
  if (cls == RootClass()) return hiObjectClassIsAbstractErr;
  __CHIObject* object = cls->isView ? static_cast<__CHIObject*>(new __CView()) : new __CHIObject();
  object->cls = cls;
  for (auto* c = cls; c != nullptr; c = c->base) ++c->instances;
  if (!cls->isView) object->target = EventTargetCreate(object, ObjectParent);
  // (a view made its target in its constructor)
  HIObjectRef ref = reinterpret_cast<HIObjectRef>(object);

  // Construct, root class first; each class hands back its instance data.
  std::vector<std::pair<__CHIObjectClass*, void*>> made;
  OSStatus status = noErr;
  for (auto* c : ChainRootFirst(cls)) {
    void* data = object;  // the built-in classes' instance is the object itself
    if (c->proc != nullptr) {
      EventRef construct = nullptr;
      status = CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectConstruct, 0, 0, &construct);
      if (status != noErr) break;
      SetEventParameter(construct, kEventParamHIObjectInstance, typeHIObjectRef, sizeof ref, &ref);
      // Toolbar items hear their instance as views do.
      if (cls->isView || ToolbarIsItemClass(cls)) {
        HIViewRef view = reinterpret_cast<HIViewRef>(object);
        SetEventParameter(construct, kEventParamHIViewInstance, typeControlRef, sizeof view, &view);
      }
      status = SendToClass(c, c->constructData, construct, object);
      data = nullptr;
      if (status == noErr && !ReadInstance(construct, &data)) data = nullptr;
      ReleaseEvent(construct);
      if (status != noErr) break;
    }
    made.emplace_back(c, data);
  }
  std::reverse(made.begin(), made.end());
  object->instances = made;
  if (status != noErr) {
    // Classes already constructed hear destruct.
    object->constructed = true;
    CFRelease(ref);
    return status;
  }
  object->constructed = true;

  // Each class's handler on the object's target, root first, so that the
  // subclass runs first and CallNextEventHandler reaches its base.
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    __CHIObjectClass* c = it->first;
    if (c->proc == nullptr) continue;
    InstallEventHandler(object->target, c->proc, c->events.size(), c->events.data(), it->second, nullptr);
  }

  // Initialise with the caller's parameters.
  EventRef init = nullptr;
  CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
  if (initEvent != nullptr) init->params = initEvent->params;
  status = SendEventToEventTargetWithOptions(init, object->target, kEventTargetDontPropagate);
  ReleaseEvent(init);
  if (status == eventNotHandledErr) status = noErr;
  if (status != noErr) {
    CFRelease(ref);
    return status;
  }
  if (cls->isView) {
    auto* view = static_cast<__CView*>(object);
    EventRef event = ViewMakeEvent(kEventClassControl, kEventControlInitialize, view);
    UInt32 features = 0;
    SetEventParameter(event, kEventParamControlFeatures, typeUInt32, sizeof features, &features);
    ViewSendEvent(view, event, true);
    ReleaseEvent(event);
  }
  *outObject = ref;
  return noErr;
}

OSStatus HIObjectCreate(CFStringRef inClassID, EventRef inConstructData, HIObjectRef* outObject) {
  if (outObject == nullptr) return paramErr;
  *outObject = nullptr;
  __CHIObjectClass* cls = FindClass(inClassID);
  if (cls == nullptr) return hiObjectClassNotFoundErr;
  return HIObjectCreateOfClass(cls, inConstructData, outObject);
}

static __CHIObject* LiveObject(HIObjectRef object) {
  auto* base = CFCast<__CHIObject>(object, ObjectTypeID());
  if (base == nullptr || base->destructed) return nullptr;
  return base;
}

EventTargetRef HIObjectGetEventTarget(HIObjectRef inObject) {
  auto* object = LiveObject(inObject);
  return object ? object->target : nullptr;
}

Boolean HIObjectIsOfClass(HIObjectRef inObject, CFStringRef inObjectClassID) {
  auto* object = CFCast<__CHIObject>(inObject, ObjectTypeID());
  if (object == nullptr || inObjectClassID == nullptr) return false;
  std::string name = Utf8(inObjectClassID);
  for (auto* c = object->cls; c != nullptr; c = c->base)
    if (c->name == name) return true;
  return false;
}

void* HIObjectDynamicCast(HIObjectRef inObject, CFStringRef inClassID) {
  auto* object = CFCast<__CHIObject>(inObject, ObjectTypeID());
  if (object == nullptr || inClassID == nullptr) return nullptr;
  std::string name = Utf8(inClassID);
  for (auto& [cls, data] : object->instances)
    if (cls->name == name) return data;
  return nullptr;
}

CFStringRef HIObjectCopyClassID(HIObjectRef inObject) {
  auto* object = CFCast<__CHIObject>(inObject, ObjectTypeID());
  if (object == nullptr || object->cls == nullptr) return nullptr;
  return CFStringCreateCopy(nullptr, object->cls->classID);
}

Boolean HIObjectIsArchivingIgnored(HIObjectRef) { return true; }
