// Drag handlers, the session that takes a drag through the program's
// windows, TrackDrag, and the headless host's scripted drag paths.
#include <algorithm>
#include <deque>
#include <memory>

#include "Aliases.h"
#include "DragInternal.h"
#include "MacMemory.h"
#include "HIViewRecord.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

struct Handler {
  std::uint64_t id = 0;
  bool receive = false;
  DragTrackingHandlerUPP tracking = nullptr;
  DragReceiveHandlerUPP receiver = nullptr;
  WindowRef window = nullptr;  // nil: every window
  void* refCon = nullptr;
  bool removed = false;
};

std::vector<std::shared_ptr<Handler>>& Handlers() {
  static auto* handlers = new std::vector<std::shared_ptr<Handler>>;  // outlives exit-time destructors
  return *handlers;
}
std::uint64_t gNextHandlerId = 1;

// Handlers of windows that are gone go with them.
void PurgeHandlers() {
  auto& list = Handlers();
  for (auto& h : list)
    if (h->window != nullptr && !WindowIsLive(h->window)) h->removed = true;
  list.erase(std::remove_if(list.begin(), list.end(), [](const auto& h) { return h->removed; }), list.end());
}

// The window's own handlers (in the order installed), then those for every window.
std::vector<std::shared_ptr<Handler>> HandlersFor(WindowRef window, bool receive) {
  PurgeHandlers();
  std::vector<std::shared_ptr<Handler>> out;
  if (window == nullptr) return out;
  for (int pass = 0; pass < 2; ++pass)
    for (auto& h : Handlers())
      if (h->receive == receive && !h->removed && (pass == 0 ? h->window == window : h->window == nullptr))
        out.push_back(h);
  return out;
}

OSErr Install(bool receive, void* proc, WindowRef window, void* refCon) {
  if (proc == nullptr) return paramErr;
  if (window != nullptr && !WindowIsLive(window)) return errInvalidWindowRef;
  PurgeHandlers();
  for (auto& h : Handlers())
    if (h->receive == receive && h->window == window &&
        (receive ? reinterpret_cast<void*>(h->receiver) : reinterpret_cast<void*>(h->tracking)) == proc)
      return duplicateHandlerErr;
  auto h = std::make_shared<Handler>();
  h->id = gNextHandlerId++;
  h->receive = receive;
  if (receive)
    h->receiver = reinterpret_cast<DragReceiveHandlerUPP>(proc);
  else
    h->tracking = reinterpret_cast<DragTrackingHandlerUPP>(proc);
  h->window = window;
  h->refCon = refCon;
  Handlers().push_back(std::move(h));
  return noErr;
}

OSErr Remove(bool receive, void* proc, WindowRef window) {
  for (auto& h : Handlers())
    if (!h->removed && h->receive == receive && h->window == window &&
        (receive ? reinterpret_cast<void*>(h->receiver) : reinterpret_cast<void*>(h->tracking)) == proc) {
      h->removed = true;  // a walk in progress skips it from now on
      return noErr;
    }
  return handlerNotFoundErr;
}

// Sends a control drag event to the view; answers its status and, for
// enter, whether the view would accept the drop.
OSStatus SendControlDrag(HIViewRef view, EventKind kind, DragRef drag, bool* wouldAccept) {
  if (!ViewIsLive(view)) return eventNotHandledErr;
  EventRef event = ViewMakeEvent(kEventClassControl, kind, ViewOf(view));
  if (event == nullptr) return eventNotHandledErr;
  SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof drag, &drag);
  if (wouldAccept) {
    Boolean no = false;
    SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof no, &no);
  }
  const OSStatus status = ViewSendEvent(ViewOf(view), event, true);
  if (wouldAccept) {
    Boolean accept = false;
    GetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, nullptr, sizeof accept, nullptr,
                      &accept);
    *wouldAccept = accept != 0;
  }
  ReleaseEvent(event);
  return status;
}

DragSession* gCurrentSession = nullptr;
OSErr HeadlessRun(DragRef drag, DragSession& session);
DragTrackRunner gRunner = HeadlessRun;

struct QueuedDrag {
  std::vector<HeadlessDragPoint> path;
  bool hasFolder = false;
  FSRef folder{};
};
std::deque<QueuedDrag>& Queue() {
  static auto* queue = new std::deque<QueuedDrag>;
  return *queue;
}

OSErr HeadlessRun(DragRef, DragSession& session) {
  if (Queue().empty()) {
    session.Cancel();
    return userCanceledErr;
  }
  QueuedDrag script = Queue().front();
  Queue().pop_front();
  if (script.path.empty()) {
    session.Cancel();
    return userCanceledErr;
  }
  for (const HeadlessDragPoint& point : script.path) {
    WindowRef window = point.window;
    CGPoint global = point.where;
    if (window != nullptr) {
      if (!WindowIsLive(window)) {
        window = nullptr;  // gone meanwhile: the point is nowhere
      } else {
        const CGPoint origin = DragWindowOrigin(window);
        global = CGPoint{origin.x + point.where.x, origin.y + point.where.y};
      }
    } else {
      window = DragWindowAt(global);
    }
    session.MoveTo(window, global, point.modifiers);
    if (point.pause > 0) RunCurrentEventLoop(point.pause);
  }
  return session.Drop(script.hasFolder ? &script.folder : nullptr);
}

}  // namespace

OSErr InstallTrackingHandler(DragTrackingHandlerUPP trackingHandler, WindowRef theWindow, void* handlerRefCon) {
  return Install(false, reinterpret_cast<void*>(trackingHandler), theWindow, handlerRefCon);
}
OSErr InstallReceiveHandler(DragReceiveHandlerUPP receiveHandler, WindowRef theWindow, void* handlerRefCon) {
  return Install(true, reinterpret_cast<void*>(receiveHandler), theWindow, handlerRefCon);
}
OSErr RemoveTrackingHandler(DragTrackingHandlerUPP trackingHandler, WindowRef theWindow) {
  return Remove(false, reinterpret_cast<void*>(trackingHandler), theWindow);
}
OSErr RemoveReceiveHandler(DragReceiveHandlerUPP receiveHandler, WindowRef theWindow) {
  return Remove(true, reinterpret_cast<void*>(receiveHandler), theWindow);
}

CGPoint DragWindowOrigin(WindowRef window) {
  const CGRect content = WindowContentBounds(window);
  return content.origin;
}

WindowRef DragWindowAt(CGPoint global) {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) {
    if (!WindowIsLive(w) || !IsWindowVisible(w)) continue;
    const CGRect c = WindowContentBounds(w);
    if (global.x >= c.origin.x && global.y >= c.origin.y && global.x < c.origin.x + c.size.width &&
        global.y < c.origin.y + c.size.height)
      return w;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// The session

DragSession::DragSession(DragRef drag) : drag_(drag) {}

DragSession::~DragSession() {
  if (!ended_) Cancel();
}

void DragSession::LeaveControl() {
  if (control_ != nullptr) {
    HIViewRef view = control_;
    control_ = nullptr;
    SendControlDrag(view, kEventControlDragLeave, drag_, nullptr);
    CFRelease(view);
  }
  candidate_ = nullptr;
  targetAccepts_ = false;
}

void DragSession::Leave(bool leaveHandlers, WindowRef next) {
  LeaveControl();
  WindowRef old = window_;
  if (old != nullptr) {
    if (WindowIsLive(old))
      for (auto& h : HandlersFor(old, false))
        if (!h->removed) h->tracking(kDragTrackingLeaveWindow, old, h->refCon, drag_);
    handlerAccepts_ = false;
  }
  if (leaveHandlers) {
    // Handlers that do not serve the next window have seen the last of the drag.
    auto nextHandlers = HandlersFor(next, false);
    auto all = Handlers();  // a handler may install or remove handlers
    for (auto& h : all) {
      if (h->receive || enteredHandlers_.count(h->id) == 0) continue;
      const bool serves = std::any_of(nextHandlers.begin(), nextHandlers.end(),
                                      [&](const auto& n) { return n->id == h->id; });
      if (serves) continue;
      enteredHandlers_.erase(h->id);
      if (!h->removed) h->tracking(kDragTrackingLeaveHandler, WindowIsLive(old) ? old : nullptr, h->refCon, drag_);
    }
  }
  if (old != nullptr) {
    window_ = nullptr;
    ReleaseWindow(old);
  }
}

void DragSession::TrackControl(WindowRef window, CGPoint local) {
  Boolean automatic = false;
  IsAutomaticControlDragTrackingEnabledForWindow(window, &automatic);
  HIViewRef under = nullptr;
  if (automatic) {
    HIViewRef root = WindowRootView(window);
    HIViewRef hit = nullptr;
    if (root != nullptr && HIViewGetSubviewHit(root, &local, true, &hit) == noErr && hit == nullptr) hit = root;
    for (HIViewRef v = hit; v != nullptr; v = HIViewGetSuperview(v)) {
      Boolean tracks = false;
      if (IsControlDragTrackingEnabled(v, &tracks) == noErr && tracks && HIViewIsVisible(v)) {
        under = v;
        break;
      }
    }
  }
  if (under != candidate_) {
    LeaveControl();
    candidate_ = under;
    if (under != nullptr) {
      bool accept = false;
      SendControlDrag(under, kEventControlDragEnter, drag_, &accept);
      if (accept && ViewIsLive(under)) {
        CFRetain(under);
        control_ = under;
        targetAccepts_ = true;
      }
    }
  }
  if (control_ != nullptr) SendControlDrag(control_, kEventControlDragWithin, drag_, nullptr);
}

void DragSession::MoveTo(WindowRef window, CGPoint global, UInt32 modifiers) {
  if (ended_ || !DragIsLive(drag_)) return;
  if (window != nullptr && !WindowIsLive(window)) window = nullptr;
  drag_->mouse = global;
  drag_->modifiers = modifiers;
  if (window != window_) {
    Leave(true, window);
    if (window != nullptr) {
      RetainWindow(window);
      window_ = window;
      for (auto& h : HandlersFor(window, false))
        if (!h->removed && enteredHandlers_.insert(h->id).second)
          h->tracking(kDragTrackingEnterHandler, window, h->refCon, drag_);
      for (auto& h : HandlersFor(window, false))
        if (!h->removed && WindowIsLive(window)) h->tracking(kDragTrackingEnterWindow, window, h->refCon, drag_);
    }
  }
  drag_->currentWindow = window_;
  if (window_ != nullptr && window_ != drag_->sourceWindow) drag_->leftSourceWindow = true;
  if (window_ == nullptr && drag_->sourceWindow != nullptr) drag_->leftSourceWindow = true;
  if (window_ == nullptr || !WindowIsLive(window_)) return;
  handlerAccepts_ = false;
  for (auto& h : HandlersFor(window_, false))
    if (!h->removed && WindowIsLive(window_) &&
        h->tracking(kDragTrackingInWindow, window_, h->refCon, drag_) == noErr)
      handlerAccepts_ = true;
  if (!WindowIsLive(window_)) return;
  const CGPoint origin = DragWindowOrigin(window_);
  TrackControl(window_, CGPoint{global.x - origin.x, global.y - origin.y});
}

OSErr DragSession::Drop(const FSRef* outsideFolder) {
  if (ended_) return userCanceledErr;
  if (!DragIsLive(drag_)) {
    ended_ = true;
    return userCanceledErr;
  }
  drag_->upModifiers = drag_->modifiers;
  WindowRef window = window_;
  if (window != nullptr) RetainWindow(window);
  HIViewRef target = control_;
  if (target != nullptr) CFRetain(target);
  // The place under the pointer hears that the drag leaves it, then the drop.
  Leave(false, nullptr);
  OSErr result = userCanceledErr;
  if (target != nullptr) {
    if (SendControlDrag(target, kEventControlDragReceive, drag_, nullptr) == noErr) result = noErr;
    CFRelease(target);
  }
  if (result != noErr && window != nullptr && WindowIsLive(window)) {
    for (auto& h : HandlersFor(window, true)) {
      if (h->removed || !WindowIsLive(window)) continue;
      if (h->receiver(window, h->refCon, drag_) == noErr) {
        result = noErr;
        break;
      }
    }
  }
  if (window == nullptr && outsideFolder != nullptr) {
    // Dropped into a folder of the desktop's file manager: the drop
    // location names it, for promised files to be written there.
    AliasHandle alias = nullptr;
    if (FSNewAlias(nullptr, outsideFolder, &alias) == noErr) {
      HLock(alias);
      drag_->dropType = typeAlias;
      drag_->dropData.assign(reinterpret_cast<UInt8*>(*alias), reinterpret_cast<UInt8*>(*alias) + GetHandleSize(alias));
      DisposeHandle(alias);
      result = noErr;
    }
  }
  if (window != nullptr) ReleaseWindow(window);
  Cancel();  // the handlers that saw the drag hear that it ended
  return result;
}

void DragSession::Cancel() {
  if (ended_) return;
  Leave(true, nullptr);
  ended_ = true;
  if (DragIsLive(drag_)) drag_->currentWindow = nullptr;
}

DragSession* DragCurrentSession() { return gCurrentSession; }

void DragSetTrackRunner(DragTrackRunner runner) { gRunner = runner != nullptr ? runner : HeadlessRun; }

DragRef GetCurrentDrag() { return gCurrentSession != nullptr ? gCurrentSession->drag() : nullptr; }

OSErr TrackDrag(DragRef theDrag, const EventRecord* theEvent, RgnHandle) {
  if (!DragIsLive(theDrag)) return badDragRefErr;
  if (theDrag->tracking || gCurrentSession != nullptr) return paramErr;
  if (theEvent != nullptr) {
    theDrag->origin = CGPoint{double(theEvent->where.h), double(theEvent->where.v)};
    theDrag->downModifiers = theEvent->modifiers;
    theDrag->modifiers = theEvent->modifiers;
  }
  theDrag->mouse = theDrag->origin;
  theDrag->sourceWindow = theDrag->fromOtherProgram ? nullptr : DragWindowAt(theDrag->origin);
  theDrag->leftSourceWindow = false;
  theDrag->dropType = typeNull;
  theDrag->dropData.clear();
  theDrag->tracking = true;
  OSErr result = userCanceledErr;
  {
    DragSession session(theDrag);
    gCurrentSession = &session;
    result = gRunner(theDrag, session);
    gCurrentSession = nullptr;
  }
  theDrag->tracking = false;
  theDrag->currentWindow = nullptr;
  return result;
}

void HeadlessQueueDrag(const std::vector<HeadlessDragPoint>& path, const FSRef* dropFolder) {
  QueuedDrag q;
  q.path = path;
  if (dropFolder != nullptr) {
    q.hasFolder = true;
    q.folder = *dropFolder;
  }
  Queue().push_back(std::move(q));
}

void HeadlessClearDrags() { Queue().clear(); }
