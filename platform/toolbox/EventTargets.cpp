// Event targets, their handler stacks, and synchronous dispatch up the
// containment chain.
//
// Dispatch walks a snapshot of each target's handlers, so handlers may be
// installed or removed (also the running one) while an event is on its way:
// a removed handler is flagged and skipped, and snapshots hold a reference so
// its record outlives the walk. One cursor is shared by the dispatch loop and
// CallNextEventHandler, so no handler runs twice for one send.
#include <algorithm>
#include <cstdio>
#include <thread>
#include <unordered_set>
#include <vector>

#include "EventTargetInternal.h"
#include "EventsInternal.h"

struct __CEventTarget;

struct __CEventHandler {
  int refs = 1;
  EventHandlerUPP proc = nullptr;
  void* userData = nullptr;
  std::vector<EventTypeSpec> types;
  bool allTypes = false;  // standard handlers installed without a list
  bool standard = false;
  bool removed = false;
  __CEventTarget* target = nullptr;

  bool Accepts(EventRef e) const {
    if (allTypes) return true;
    for (const auto& t : types)
      if (t.eventClass == e->eventClass && t.eventKind == e->eventKind) return true;
    return false;
  }
};

struct __CEventTarget {
  int refs = 1;
  void* owner = nullptr;
  EventTargetParentProc getParent = nullptr;
  bool isApplication = false;
  bool disposed = false;
  // Dispatch order: program handlers newest first, then standard handlers
  // newest first.
  std::vector<__CEventHandler*> handlers;
  size_t programCount = 0;
};

struct __CEventHandlerCall {
  EventRef event = nullptr;
  OptionBits options = 0;
  __CEventTarget* target = nullptr;
  std::vector<__CEventHandler*> snapshot;
  size_t cursor = 0;
  bool finished = false;  // the rest of the chain has been run
  bool handled = false;   // with kEventTargetSendToAllHandlers: somebody took it
  OSStatus handledStatus = eventNotHandledErr;
};

namespace {

const std::thread::id gMainThread = std::this_thread::get_id();

std::unordered_set<__CEventHandler*>& LiveHandlers() {
  static auto* s = new std::unordered_set<__CEventHandler*>;
  return *s;
}
std::unordered_set<__CEventTarget*>& LiveTargets() {
  static auto* s = new std::unordered_set<__CEventTarget*>;
  return *s;
}
std::vector<__CEventHandlerCall*>& ActiveCalls() {
  static auto* v = new std::vector<__CEventHandlerCall*>;
  return *v;
}

void Retain(__CEventHandler* h) { ++h->refs; }
void Release(__CEventHandler* h) {
  if (--h->refs == 0) delete h;
}
void Retain(__CEventTarget* t) { ++t->refs; }
void Release(__CEventTarget* t) {
  if (--t->refs == 0) delete t;
}

bool IsLive(__CEventTarget* t) { return t != nullptr && LiveTargets().count(t) != 0; }
bool IsLive(__CEventHandler* h) { return h != nullptr && LiveHandlers().count(h) != 0; }

void Detach(__CEventHandler* h) {
  __CEventTarget* t = h->target;
  auto it = std::find(t->handlers.begin(), t->handlers.end(), h);
  if (it != t->handlers.end()) {
    if (size_t(it - t->handlers.begin()) < t->programCount) --t->programCount;
    t->handlers.erase(it);
  }
  h->removed = true;
  LiveHandlers().erase(h);
  Release(h);
}

OSStatus Install(EventTargetRef target, EventHandlerUPP proc, ItemCount numTypes, const EventTypeSpec* list,
                 void* userData, EventHandlerRef* outRef, bool standard) {
  if (outRef) *outRef = nullptr;
  if (!EventCoreCheckMainThread(standard ? "InstallStandardEventHandler" : "InstallEventHandler"))
    return eventInternalErr;
  if (!IsLive(target) || proc == nullptr || (numTypes > 0 && list == nullptr)) return paramErr;
  auto* h = new __CEventHandler;
  h->proc = proc;
  h->userData = userData;
  h->standard = standard;
  h->target = target;
  if (standard && numTypes == 0 && list == nullptr)
    h->allTypes = true;
  else
    h->types.assign(list, list + numTypes);
  if (standard) {
    target->handlers.insert(target->handlers.begin() + target->programCount, h);
  } else {
    target->handlers.insert(target->handlers.begin(), h);
    ++target->programCount;
  }
  LiveHandlers().insert(h);
  if (outRef) *outRef = h;
  return noErr;
}

__CEventTarget* ApplicationTarget() {
  static __CEventTarget* app = [] {
    auto* t = new __CEventTarget;
    t->isApplication = true;
    LiveTargets().insert(t);
    return t;
  }();
  return app;
}

__CEventTarget* ParentOf(__CEventTarget* t) {
  if (t->isApplication || t->disposed) return nullptr;
  if (t->getParent == nullptr) return ApplicationTarget();
  __CEventTarget* p = t->getParent(t->owner);
  return IsLive(p) && p != t ? p : nullptr;
}

void ClearSnapshot(__CEventHandlerCall* call) {
  for (auto* h : call->snapshot) Release(h);
  call->snapshot.clear();
  call->cursor = 0;
}

void LoadTarget(__CEventHandlerCall* call, __CEventTarget* t) {
  ClearSnapshot(call);
  Retain(t);
  if (call->target) Release(call->target);
  call->target = t;
  call->snapshot = t->handlers;
  for (auto* h : call->snapshot) Retain(h);
}

bool IsUserInput(EventRef e) {
  return e->eventClass == kEventClassMouse || e->eventClass == kEventClassKeyboard ||
         e->eventClass == kEventClassTextInput;
}

// Runs the chain from the cursor on: the rest of the current target, then the
// containment parents. Marks the call finished when it returns.
OSStatus RunChain(__CEventHandlerCall* call) {
  const bool toAll = (call->options & kEventTargetSendToAllHandlers) != 0;
  OSStatus result = eventNotHandledErr;
  for (;;) {
    bool stop = false;
    while (call->cursor < call->snapshot.size()) {
      __CEventHandler* h = call->snapshot[call->cursor++];
      if (h->removed || !h->Accepts(call->event)) continue;
      OSStatus st = h->proc(call, call->event, h->userData);
      if (st != eventNotHandledErr) {
        if (!toAll) {
          result = st;
          stop = true;
          break;
        }
        if (!call->handled) {
          call->handled = true;
          call->handledStatus = st;
        }
      }
      // The handler ran the rest of the chain itself.
      if (call->finished) {
        result = toAll && call->handled ? call->handledStatus : st;
        stop = true;
        break;
      }
    }
    if (stop) break;
    if (toAll && call->handled) {
      result = call->handledStatus;
      break;
    }
    if (call->options & kEventTargetDontPropagate) break;
    __CEventTarget* parent = ParentOf(call->target);
    if (parent == nullptr) break;
    LoadTarget(call, parent);
  }
  call->finished = true;
  return result;
}

}  // namespace

bool EventCoreOnMainThread() { return std::this_thread::get_id() == gMainThread; }

bool EventCoreCheckMainThread(const char* function) {
  if (EventCoreOnMainThread()) return true;
  std::fprintf(stderr, "Quorvel: %s called off the main thread; refused\n", function);
  return false;
}

EventTargetRef GetApplicationEventTarget() { return ApplicationTarget(); }
EventTargetRef GetEventDispatcherTarget() { return ApplicationTarget(); }

EventTargetRef EventTargetCreate(void* owner, EventTargetParentProc getParent) {
  ApplicationTarget();
  auto* t = new __CEventTarget;
  t->owner = owner;
  t->getParent = getParent;
  LiveTargets().insert(t);
  return t;
}

void EventTargetDispose(EventTargetRef target) {
  if (!IsLive(target) || target->isApplication) return;
  target->disposed = true;
  LiveTargets().erase(target);
  while (!target->handlers.empty()) Detach(target->handlers.front());
  Release(target);
}

void* EventTargetGetOwner(EventTargetRef target) { return IsLive(target) ? target->owner : nullptr; }
bool EventTargetIsValid(EventTargetRef target) { return IsLive(target); }

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef) {
  return Install(inTarget, inHandler, inNumTypes, inList, inUserData, outRef, false);
}

OSStatus InstallStandardEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount numTypes,
                                     const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
  return Install(target, handler, numTypes, list, userData, outRef, true);
}

OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef) {
  if (!EventCoreCheckMainThread("RemoveEventHandler")) return eventInternalErr;
  if (!IsLive(inHandlerRef)) return paramErr;
  Detach(inHandlerRef);
  return noErr;
}

OSStatus AddEventTypesToHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes, const EventTypeSpec* inList) {
  if (!EventCoreCheckMainThread("AddEventTypesToHandler")) return eventInternalErr;
  if (!IsLive(inHandlerRef) || (inNumTypes > 0 && inList == nullptr)) return paramErr;
  auto& types = inHandlerRef->types;
  for (ItemCount i = 0; i < inNumTypes; ++i) {
    const EventTypeSpec& s = inList[i];
    bool present = std::any_of(types.begin(), types.end(), [&](const EventTypeSpec& t) {
      return t.eventClass == s.eventClass && t.eventKind == s.eventKind;
    });
    if (!present) types.push_back(s);
  }
  return noErr;
}

OSStatus RemoveEventTypesFromHandler(EventHandlerRef inHandlerRef, ItemCount inNumTypes,
                                     const EventTypeSpec* inList) {
  if (!EventCoreCheckMainThread("RemoveEventTypesFromHandler")) return eventInternalErr;
  if (!IsLive(inHandlerRef) || (inNumTypes > 0 && inList == nullptr)) return paramErr;
  auto& types = inHandlerRef->types;
  for (ItemCount i = 0; i < inNumTypes; ++i) {
    const EventTypeSpec& s = inList[i];
    types.erase(std::remove_if(types.begin(), types.end(),
                               [&](const EventTypeSpec& t) {
                                 return t.eventClass == s.eventClass && t.eventKind == s.eventKind;
                               }),
                types.end());
  }
  return noErr;
}

EventTargetRef GetEventHandlerTarget(EventHandlerRef inHandlerRef) {
  return IsLive(inHandlerRef) ? inHandlerRef->target : nullptr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
  if (!EventCoreCheckMainThread("CallNextEventHandler")) return eventInternalErr;
  auto& active = ActiveCalls();
  if (std::find(active.begin(), active.end(), inCallRef) == active.end()) return paramErr;
  if (inEvent != inCallRef->event) return paramErr;
  if (inCallRef->finished) return eventNotHandledErr;
  return RunChain(inCallRef);
}

OSStatus SendEventToEventTargetWithOptions(EventRef inEvent, EventTargetRef inTarget, OptionBits inOptions) {
  if (!EventCoreCheckMainThread("SendEventToEventTarget")) return eventInternalErr;
  if (inEvent == nullptr || !IsLive(inTarget)) return paramErr;
  if (IsUserInput(inEvent)) EventLoopNoteUserActivity();

  RetainEvent(inEvent);
  __CEventHandlerCall call;
  call.event = inEvent;
  call.options = inOptions;
  LoadTarget(&call, inTarget);
  ActiveCalls().push_back(&call);
  OSStatus status = RunChain(&call);
  auto& active = ActiveCalls();
  active.erase(std::find(active.begin(), active.end(), &call));
  ClearSnapshot(&call);
  Release(call.target);
  ReleaseEvent(inEvent);
  return status;
}

OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget) {
  return SendEventToEventTargetWithOptions(inEvent, inTarget, 0);
}
