// HIView events: the standard handler of every view, hit testing, the click
// sequence (click, track, hit, command), system tracking, keyboard focus,
// tracking areas, invalidation and the display hooks of the hosts.
#include <algorithm>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "HIView.h"
#include "HIViewRecord.h"
#include "NativeViewInternal.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

constexpr UInt32 kShiftKeyBit = 1 << 9;
constexpr UInt32 kControlKeyBit = 1 << 12;

bool Contains(const CGRect& r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}

CGRect BoundsOf(__CView* view) { return CGRect{view->boundsOrigin, view->frame.size}; }

bool EffectiveVisible(__CView* view) {
  for (auto* v = view; v; v = v->parent)
    if (!v->visible) return false;
  return true;
}

__CView* DirectObject(EventRef event) {
  HIViewRef ref = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof ref, nullptr, &ref);
  return ViewOf(ref);
}

// The part of the view at a point in its own coordinates, asked through
// kEventControlHitTest so that view classes answer parts of their own.
ControlPartCode HitTest(__CView* view, CGPoint p) {
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlHitTest, view);
  SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
  ControlPartCode part = kControlNoPart;
  if (ViewSendEvent(view, e, true) == noErr)
    GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  ReleaseEvent(e);
  return part;
}

// --- Focus ---------------------------------------------------------------------

struct FocusRecord {
  __CView* view = nullptr;
  ControlPartCode part = kControlFocusNoPart;
};

std::unordered_map<__CView*, FocusRecord>& Focus() {
  static auto* focus = new std::unordered_map<__CView*, FocusRecord>();
  return *focus;
}

// The tree whose focus record a view shares: a toolbar strip's views share
// their window's.
__CView* FocusTop(__CView* view) {
  __CView* top = ViewTop(view);
  if (top->isStripRoot && top->window != nullptr)
    if (HIViewRef root = HIViewGetRoot(top->window)) return ViewOf(root);
  return top;
}

FocusRecord* FocusOf(__CView* view) {
  auto it = Focus().find(FocusTop(view));
  if (it == Focus().end() || it->second.view == nullptr) return nullptr;
  return &it->second;
}

// Sends kEventControlSetFocusPart; answers the part the view took, or
// kControlFocusNoPart when it refused or gave the focus up.
ControlPartCode AskFocus(__CView* view, ControlPartCode part, bool* handled) {
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlSetFocusPart, view);
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  OSStatus status = ViewSendEvent(view, e, true);
  ControlPartCode result = kControlFocusNoPart;
  if (status == noErr)
    GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof result, nullptr, &result);
  ReleaseEvent(e);
  if (handled) *handled = status == noErr;
  return status == noErr ? result : ControlPartCode(kControlFocusNoPart);
}

void LoseFocus(__CView* top) {
  auto it = Focus().find(top);
  if (it == Focus().end() || it->second.view == nullptr) return;
  __CView* old = it->second.view;
  Focus().erase(it);
  if (ViewIsLive(reinterpret_cast<HIViewRef>(old))) {
    AskFocus(old, kControlFocusNoPart, nullptr);
    ViewInvalidate(old);
  }
}

// The text of a field the focus left is accepted once the move is over, so
// that what the acceptance does (a handler may move the focus or close the
// pane) cannot pull the views of the move away under it.
class CommitWhenDone {
 public:
  CommitWhenDone() = default;
  CommitWhenDone(const CommitWhenDone&) = delete;
  CommitWhenDone& operator=(const CommitWhenDone&) = delete;
  ~CommitWhenDone() {
    if (view_ == nullptr) return;
    ControlKindCommitText(view_);
    CFRelease(reinterpret_cast<HIViewRef>(view_));
  }
  void Take(__CView* view) {
    if (view_ != nullptr || view == nullptr) return;
    view_ = view;
    CFRetain(reinterpret_cast<HIViewRef>(view));
  }

 private:
  __CView* view_ = nullptr;
};

OSStatus FocusOn(__CView* top, __CView* view, ControlPartCode part) {
  FocusRecord* current = FocusOf(top);
  if (current && current->view == view && (part == kControlFocusNextPart || part == kControlFocusPrevPart))
    return noErr;
  CommitWhenDone commit;
  if (current && current->view != view) {
    commit.Take(current->view);
    LoseFocus(top);
  }
  if (!EffectiveVisible(view) || !HIViewIsEnabled(reinterpret_cast<HIViewRef>(view), nullptr))
    return errCouldntSetFocus;
  bool handled = false;
  ControlPartCode took = AskFocus(view, part, &handled);
  if (took == kControlFocusNoPart) {
    Focus().erase(top);
    return handled ? errCouldntSetFocus : errControlDoesntSupportFocus;
  }
  Focus()[top] = FocusRecord{view, took};
  ViewInvalidate(view);
  return noErr;
}

void Flatten(__CView* view, std::vector<__CView*>* out) {
  out->push_back(view);
  for (auto* child : view->children) Flatten(child, out);
}

bool InSubtree(__CView* view, __CView* root) {
  for (auto* v = view; v; v = v->parent)
    if (v == root) return true;
  return false;
}

// --- Tracking input ------------------------------------------------------------

std::deque<ViewTrackEvent>& TrackQueue() {
  static auto* queue = new std::deque<ViewTrackEvent>();
  return *queue;
}

bool QueueSource(WindowRef, ViewTrackEvent* out) {
  if (TrackQueue().empty()) return false;
  *out = TrackQueue().front();
  TrackQueue().pop_front();
  return true;
}

ViewTrackEventSource gTrackSource = QueueSource;
ViewWindowDisplay gDisplay = {nullptr, nullptr};

struct InvalidRecord {
  bool any = false;
  CGRect rect{};
};
std::unordered_map<WindowRef, InvalidRecord>& Invalid() {
  static auto* invalid = new std::unordered_map<WindowRef, InvalidRecord>();
  return *invalid;
}

bool IsIndicatorKind(__CView* view) {
  return view->kind.kind == kControlKindSlider || view->kind.kind == kControlKindScrollBar;
}

// The value of a slider or scroll bar whose thumb is at the point.
SInt32 ValueAtPoint(__CView* view, CGPoint p) {
  const CGRect b = BoundsOf(view);
  bool horizontal = b.size.width >= b.size.height;
  CGFloat length = horizontal ? b.size.width : b.size.height;
  CGFloat pos = horizontal ? p.x - b.origin.x : p.y - b.origin.y;
  if (length <= 0) return view->value;
  double fraction = std::max(0.0, std::min(1.0, double(pos / length)));
  double range = double(view->maximum) - double(view->minimum);
  return SInt32(view->minimum + fraction * range + 0.5);
}

// The system's tracking: follows the pointer until release, highlighting the
// part while the pointer is in it; answers the part released in, or 0.
ControlPartCode SystemTrack(__CView* view, ControlPartCode startPart, CGPoint startRootPoint, ControlActionUPP action) {
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  CFRetain(ref);
  WindowRef window = ViewWindow(view);
  bool indicator = startPart == kControlIndicatorPart && IsIndicatorKind(view);
  HIViewSetHilite(ref, startPart);
  if (action) action(ref, startPart);
  bool inside = true;
  CGPoint last = startRootPoint;
  for (int guard = 0; guard < 1000000; ++guard) {
    ViewTrackEvent ev{};
    if (!gTrackSource(window, &ev)) {
      ev.released = true;
      ev.windowPoint = last;
    }
    last = ev.windowPoint;
    if (!ViewIsLive(ref)) break;
    CGPoint p = ViewFromRoot(view, ev.windowPoint);
    if (indicator) {
      ViewSetValueInternal(view, ValueAtPoint(view, p));
      inside = true;
      if (action) action(ref, startPart);
    } else {
      inside = HitTest(view, p) == startPart;
      HIViewSetHilite(ref, inside ? startPart : ControlPartCode(kControlNoPart));
      if (inside && action && !ev.released) action(ref, startPart);
    }
    if (ev.released) break;
  }
  ControlPartCode result = kControlNoPart;
  if (ViewIsLive(ref)) {
    HIViewSetHilite(ref, kControlNoPart);
    result = inside ? startPart : ControlPartCode(kControlNoPart);
  }
  CFRelease(ref);
  return result;
}

// After a click ends in a part: the kind's own behaviour, the hit event
// (which climbs), and when nobody handled it, the control's command.
void FinishHit(__CView* view, ControlPartCode part, UInt32 modifiers) {
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  CFRetain(ref);
  ControlKindOnHit(view, part);
  if (ViewIsLive(ref)) {
    EventRef hit = ViewMakeEvent(kEventClassControl, kEventControlHit, view);
    SetEventParameter(hit, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(hit, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    OSStatus status = ViewSendEvent(view, hit, false);
    ReleaseEvent(hit);
    if (status == eventNotHandledErr && ViewIsLive(ref) && view->commandID != 0)
      ViewSendCommand(view, view->commandID);
  }
  CFRelease(ref);
}

// The standard answer to kEventControlClick: track, then hit.
ControlPartCode StandardClick(__CView* view, EventRef click, ControlActionUPP action, bool* tookClick) {
  *tookClick = false;
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  if (!HIViewIsEnabled(ref, nullptr) || !HIViewIsActive(ref, nullptr)) return kControlNoPart;
  CGPoint p{};
  GetEventParameter(click, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
  UInt32 modifiers = 0;
  GetEventParameter(click, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  ControlPartCode part = HitTest(view, p);
  if (part <= 0 || part == kControlDisabledPart || part == kControlInactivePart) return kControlNoPart;
  *tookClick = true;
  CFRetain(ref);
  EventRef track = ViewMakeEvent(kEventClassControl, kEventControlTrack, view);
  SetEventParameter(track, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
  SetEventParameter(track, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(track, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  if (action == nullptr) action = view->action;
  ControlActionUPP upp = action;
  SetEventParameter(track, kEventParamControlAction, typeControlActionUPP, sizeof upp, &upp);
  OSStatus status = ViewSendEvent(view, track, true);
  if (status == eventNotHandledErr) {
    ControlPartCode own = kControlNoPart;
    if (ViewIsLive(ref) && ControlKindTrack(view, part, &own)) part = own;
    else if (ViewIsLive(ref)) part = SystemTrack(view, part, ViewToRoot(view, p), action);
  } else {
    GetEventParameter(track, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    if (status != noErr) part = kControlNoPart;
  }
  ReleaseEvent(track);
  if (part > 0 && ViewIsLive(ref)) FinishHit(view, part, modifiers);
  CFRelease(ref);
  return part;
}

thread_local ControlActionUPP gClickAction = nullptr;
thread_local ControlPartCode gClickResult = kControlNoPart;

OSStatus SendClick(__CView* view, CGPoint rootPoint, UInt32 modifiers, EventRef source) {
  EventRef click = ViewMakeEvent(kEventClassControl, kEventControlClick, view);
  if (source) {
    for (EventParamName name : {kEventParamMouseButton, kEventParamClickCount}) {
      UInt8 buffer[16];
      ByteCount size = 0;
      EventParamType type = 0;
      if (GetEventParameter(source, name, typeWildCard, &type, sizeof buffer, &size, buffer) == noErr)
        SetEventParameter(click, name, type, size, buffer);
    }
  }
  CGPoint local = ViewFromRoot(view, rootPoint);
  SetEventParameter(click, kEventParamMouseLocation, typeHIPoint, sizeof local, &local);
  SetEventParameter(click, kEventParamWindowMouseLocation, typeHIPoint, sizeof rootPoint, &rootPoint);
  SetEventParameter(click, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  OSStatus status = ViewSendEvent(view, click, false);
  ReleaseEvent(click);
  return status;
}

}  // namespace

// ---------------------------------------------------------------------------
// The standard handler: the bottom of every view's stack.

OSStatus ViewStandardHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* view = static_cast<__CView*>(userData);
  EventClass cls = GetEventClass(event);
  EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject && kind == kEventHIObjectInitialize) {
    HIRect bounds;
    if (GetEventParameter(event, kEventParamBounds, typeHIRect, nullptr, sizeof bounds, nullptr, &bounds) == noErr)
      HIViewSetFrame(reinterpret_cast<HIViewRef>(view), &bounds);
    return noErr;
  }
  if (cls == kEventClassTextInput || cls == kEventClassKeyboard ||
      (cls == kEventClassCommand && kind == kEventCommandProcess)) {
    FocusRecord* focus = FocusOf(view);
    if (focus == nullptr || focus->view != view) return eventNotHandledErr;
    return ControlKindHandleText(view, event) ? noErr : eventNotHandledErr;
  }
  if (cls != kEventClassControl) return eventNotHandledErr;
  // Events climbing from a subview are not this view's.
  if (DirectObject(event) != view) return eventNotHandledErr;
  switch (kind) {
    case kEventControlClick: {
      bool took = false;
      gClickResult = StandardClick(view, event, gClickAction, &took);
      return took ? noErr : eventNotHandledErr;
    }
    case kEventControlHitTest: {
      CGPoint p{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
      ControlPartCode part = Contains(BoundsOf(view), p) ? ControlKindHitTest(view, p) : ControlPartCode(kControlNoPart);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlSetFocusPart: {
      if (!ControlKindTakesFocus(view)) return eventNotHandledErr;
      ControlPartCode part = kControlFocusNoPart;
      GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
      FocusRecord* focus = FocusOf(view);
      bool focused = focus && focus->view == view;
      ControlPartCode answer = part;
      if (part == kControlFocusNextPart || part == kControlFocusPrevPart)
        answer = focused ? ControlPartCode(kControlFocusNoPart) : ControlPartCode(kControlEditTextPart);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof answer, &answer);
      return noErr;
    }
    case kEventControlGetFocusPart: {
      FocusRecord* focus = FocusOf(view);
      ControlPartCode part = focus && focus->view == view ? focus->part : ControlPartCode(kControlFocusNoPart);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlDraw: {
      CGContextRef context = nullptr;
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr, &context);
      return context && ControlKindDraw(view, context) ? noErr : eventNotHandledErr;
    }
    case kEventControlSetData:
    case kEventControlGetData: {
      ControlPartCode part = 0;
      ResType tag = 0;
      void* buffer = nullptr;
      SInt32 size = 0;
      GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
      GetEventParameter(event, kEventParamControlDataTag, typeEnumeration, nullptr, sizeof tag, nullptr, &tag);
      GetEventParameter(event, kEventParamControlDataBuffer, typePtr, nullptr, sizeof buffer, nullptr, &buffer);
      GetEventParameter(event, kEventParamControlDataBufferSize, typeSInt32, nullptr, sizeof size, nullptr, &size);
      if (kind == kEventControlSetData) return ControlKindSetData(view, part, tag, size, buffer);
      Size actual = 0;
      OSStatus status = ControlKindGetData(view, part, tag, size, buffer, &actual);
      if (status == noErr) {
        SInt32 a = SInt32(actual);
        SetEventParameter(event, kEventParamControlDataBufferSize, typeSInt32, sizeof a, &a);
      }
      return status;
    }
    default:
      return eventNotHandledErr;
  }
}

// ---------------------------------------------------------------------------
// Commands

void ViewSendCommand(__CView* view, UInt32 commandID) {
  HICommandExtended command{};
  command.attributes = kHICommandFromControl;
  command.commandID = commandID;
  command.source.control = reinterpret_cast<ControlRef>(view);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  ViewSendEvent(view, e, false);
  ReleaseEvent(e);
}

// ---------------------------------------------------------------------------
// Hit testing and clicks

ControlPartCode TestControl(ControlRef theControl, Point testPoint) {
  __CView* view = ViewOf(theControl);
  if (!ViewIsLive(theControl)) return kControlNoPart;
  CGPoint p = ViewFromRoot(view, CGPoint{CGFloat(testPoint.h), CGFloat(testPoint.v)});
  return HitTest(view, p);
}

OSStatus HIViewGetPartHit(HIViewRef inView, const HIPoint* inPoint, HIViewPartCode* outPart) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inPoint == nullptr || outPart == nullptr) return paramErr;
  *outPart = HitTest(ViewOf(inView), *inPoint);
  return noErr;
}

static __CView* SubviewHit(__CView* view, CGPoint p, bool deep) {
  for (auto it = view->children.rbegin(); it != view->children.rend(); ++it) {
    __CView* child = *it;
    if (!child->visible || (child->features & kHIViewFeatureIgnoresClicks)) continue;
    CGPoint local{p.x - child->frame.origin.x + child->boundsOrigin.x,
                  p.y - child->frame.origin.y + child->boundsOrigin.y};
    if (!Contains(BoundsOf(child), local)) continue;
    if (deep)
      if (__CView* sub = SubviewHit(child, local, true)) return sub;
    return child;
  }
  return nullptr;
}

OSStatus HIViewGetSubviewHit(HIViewRef inView, const HIPoint* inPoint, Boolean inDeep, HIViewRef* outView) {
  if (outView == nullptr || inPoint == nullptr) return paramErr;
  *outView = nullptr;
  if (!ViewIsLive(inView)) return errUnknownControl;
  *outView = reinterpret_cast<HIViewRef>(SubviewHit(ViewOf(inView), *inPoint, inDeep));
  return noErr;
}

OSStatus HIViewGetViewForMouseEvent(HIViewRef inView, EventRef inEvent, HIViewRef* outView) {
  if (outView == nullptr || inEvent == nullptr) return paramErr;
  *outView = nullptr;
  if (!ViewIsLive(inView)) return errUnknownControl;
  __CView* view = ViewOf(inView);
  CGPoint where{};
  if (GetEventParameter(inEvent, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr,
                        &where) != noErr)
    return eventParameterNotFoundErr;
  CGPoint local = ViewFromRoot(view, where);
  __CView* hit = SubviewHit(view, local, true);
  *outView = reinterpret_cast<HIViewRef>(hit ? hit : view);
  return noErr;
}

ControlRef FindControlUnderMouse(Point inWhere, WindowRef inWindow, ControlPartCode* outPart) {
  if (outPart) *outPart = kControlNoPart;
  HIViewRef root = HIViewGetRoot(inWindow);
  if (root == nullptr) return nullptr;
  CGPoint p{CGFloat(inWhere.h), CGFloat(inWhere.v)};
  __CView* hit = SubviewHit(ViewOf(root), ViewFromRoot(ViewOf(root), p), true);
  if (hit && outPart) *outPart = HitTest(hit, ViewFromRoot(hit, p));
  return reinterpret_cast<ControlRef>(hit);
}

OSStatus HIViewClick(HIViewRef inView, EventRef inEvent) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inEvent == nullptr) return paramErr;
  __CView* view = ViewOf(inView);
  CGPoint where{};
  if (GetEventParameter(inEvent, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr,
                        &where) != noErr)
    return eventParameterNotFoundErr;
  UInt32 modifiers = 0;
  GetEventParameter(inEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  return SendClick(view, where, modifiers, inEvent);
}

ControlPartCode HandleControlClick(ControlRef inControl, Point inWhere, EventModifiers inModifiers,
                                  ControlActionUPP inAction) {
  if (!ViewIsLive(inControl)) return kControlNoPart;
  ControlActionUPP savedAction = gClickAction;
  ControlPartCode savedResult = gClickResult;
  gClickAction = inAction;
  gClickResult = kControlNoPart;
  SendClick(ViewOf(inControl), CGPoint{CGFloat(inWhere.h), CGFloat(inWhere.v)}, inModifiers, nullptr);
  ControlPartCode result = gClickResult;
  gClickAction = savedAction;
  gClickResult = savedResult;
  return result;
}

ControlPartCode TrackControl(ControlRef theControl, Point startPoint, ControlActionUPP actionProc) {
  return HandleControlClick(theControl, startPoint, 0, actionProc);
}

OSStatus HIViewSimulateClick(HIViewRef inView, HIViewPartCode inPartToClick, UInt32 inModifiers,
                             ControlPartCode* outPartClicked) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  __CView* view = ViewOf(inView);
  EventRef simulate = ViewMakeEvent(kEventClassControl, kEventControlSimulateHit, view);
  SetEventParameter(simulate, kEventParamControlPart, typeControlPartCode, sizeof inPartToClick, &inPartToClick);
  SetEventParameter(simulate, kEventParamKeyModifiers, typeUInt32, sizeof inModifiers, &inModifiers);
  ViewSendEvent(view, simulate, true);
  ReleaseEvent(simulate);
  if (inPartToClick > 0 && ViewIsLive(inView)) FinishHit(view, inPartToClick, inModifiers);
  if (outPartClicked) *outPartClicked = inPartToClick;
  return noErr;
}

bool ViewHandleMouseDown(WindowRef window, EventRef mouseDown) {
  HIViewRef rootRef = HIViewGetRoot(window);
  if (rootRef == nullptr || mouseDown == nullptr) return false;
  CGPoint where{};
  if (GetEventParameter(mouseDown, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr,
                        &where) != noErr)
    return false;
  // Above the content lies the toolbar strip.
  if (where.y < 0)
    if (HIViewRef strip = WindowToolbarStrip(window)) rootRef = strip;
  __CView* root = ViewOf(rootRef);
  UInt32 modifiers = 0;
  GetEventParameter(mouseDown, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  UInt16 button = 1;
  GetEventParameter(mouseDown, kEventParamMouseButton, typeMouseButton, nullptr, sizeof button, nullptr, &button);
  __CView* hit = SubviewHit(root, ViewFromRoot(root, where), true);
  if (hit == nullptr) return false;
  HIViewRef ref = reinterpret_cast<HIViewRef>(hit);
  CFRetain(ref);
  bool took = false;
  if (button == 2 || (modifiers & kControlKeyBit)) {
    EventRef e = ViewMakeEvent(kEventClassControl, kEventControlContextualMenuClick, hit);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    CGPoint local = ViewFromRoot(hit, where);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof local, &local);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    took = ViewSendEvent(hit, e, false) == noErr;
    ReleaseEvent(e);
  }
  if (!took && ViewIsLive(ref)) {
    if ((ControlKindTakesFocus(hit) || (hit->features & kHIViewFeatureGetsFocusOnClick)) &&
        HIViewIsEnabled(ref, nullptr)) {
      FocusRecord* focus = FocusOf(hit);
      if (focus == nullptr || focus->view != hit) FocusOn(FocusTop(hit), hit, kControlFocusNextPart);
    }
    if (ViewIsLive(ref)) took = SendClick(hit, where, modifiers, mouseDown) == noErr;
  }
  CFRelease(ref);
  return took;
}

void ViewSetTrackEventSource(ViewTrackEventSource source) { gTrackSource = source ? source : QueueSource; }
void ViewQueueTrackEvent(const ViewTrackEvent& event) { TrackQueue().push_back(event); }
void ViewClearTrackEvents() { TrackQueue().clear(); }

// ---------------------------------------------------------------------------
// Focus

void ViewFocusForget(__CView* view) {
  __CView* top = FocusTop(view);
  auto it = Focus().find(top);
  if (it == Focus().end() || it->second.view == nullptr) return;
  if (!InSubtree(it->second.view, view)) return;
  LoseFocus(top);
}

OSErr SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart) {
  HIViewRef rootRef = HIViewGetRoot(inWindow);
  if (rootRef == nullptr) return errInvalidWindowRef;
  __CView* root = ViewOf(rootRef);
  NativeViewsTouched(inWindow);
  if (inPart == kControlFocusNoPart || inControl == nullptr) {
    CommitWhenDone commit;
    if (FocusRecord* current = FocusOf(root)) commit.Take(current->view);
    LoseFocus(root);
    return noErr;
  }
  if (!ViewIsLive(inControl) || FocusTop(ViewOf(inControl)) != root) return errUnknownControl;
  return OSErr(FocusOn(root, ViewOf(inControl), inPart));
}

OSErr GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl) {
  if (outControl == nullptr) return paramErr;
  *outControl = nullptr;
  HIViewRef rootRef = HIViewGetRoot(inWindow);
  if (rootRef == nullptr) return errInvalidWindowRef;
  if (FocusRecord* focus = FocusOf(ViewOf(rootRef))) *outControl = reinterpret_cast<ControlRef>(focus->view);
  return noErr;
}

OSErr ClearKeyboardFocus(WindowRef inWindow) { return SetKeyboardFocus(inWindow, nullptr, kControlFocusNoPart); }

OSStatus HIViewAdvanceFocus(HIViewRef inRootForFocus, EventModifiers inModifiers) {
  if (!ViewIsLive(inRootForFocus)) return errUnknownControl;
  __CView* root = ViewOf(inRootForFocus);
  __CView* top = FocusTop(root);
  ControlPartCode direction = (inModifiers & kShiftKeyBit) ? kControlFocusPrevPart : kControlFocusNextPart;
  std::vector<__CView*> order;
  Flatten(root, &order);
  long n = long(order.size());
  long start = direction == kControlFocusNextPart ? -1 : n;
  FocusRecord* focus = FocusOf(top);
  CommitWhenDone commit;
  if (focus && InSubtree(focus->view, root)) {
    __CView* current = focus->view;
    // A view with several parts moves among them first.
    ControlPartCode part = AskFocus(current, direction, nullptr);
    if (part != kControlFocusNoPart) {
      Focus()[top] = FocusRecord{current, part};
      ViewInvalidate(current);
      return noErr;
    }
    Focus().erase(top);
    ViewInvalidate(current);
    start = long(std::find(order.begin(), order.end(), current) - order.begin());
    commit.Take(current);
  } else if (focus) {
    // The focus leaves a view outside the root: it hears so, as on any move.
    commit.Take(focus->view);
    LoseFocus(top);
  }
  long step = direction == kControlFocusNextPart ? 1 : -1;
  for (long i = 1; i <= n; ++i) {
    long index = ((start + step * i) % n + n) % n;
    __CView* candidate = order[size_t(index)];
    HIViewRef ref = reinterpret_cast<HIViewRef>(candidate);
    if (!EffectiveVisible(candidate) || !HIViewIsEnabled(ref, nullptr)) continue;
    ControlPartCode part = AskFocus(candidate, direction, nullptr);
    if (part != kControlFocusNoPart) {
      Focus()[top] = FocusRecord{candidate, part};
      ViewInvalidate(candidate);
      return noErr;
    }
  }
  return errCouldntSetFocus;
}

OSErr AdvanceKeyboardFocus(WindowRef inWindow) {
  HIViewRef root = HIViewGetRoot(inWindow);
  return root ? OSErr(HIViewAdvanceFocus(root, 0)) : OSErr(errInvalidWindowRef);
}

OSErr ReverseKeyboardFocus(WindowRef inWindow) {
  HIViewRef root = HIViewGetRoot(inWindow);
  return root ? OSErr(HIViewAdvanceFocus(root, kShiftKeyBit)) : OSErr(errInvalidWindowRef);
}

Boolean HIViewSubtreeContainsFocus(HIViewRef inSubtreeStart) {
  if (!ViewIsLive(inSubtreeStart)) return false;
  __CView* start = ViewOf(inSubtreeStart);
  FocusRecord* focus = FocusOf(start);
  return focus && InSubtree(focus->view, start);
}

OSStatus HIViewGetFocusPart(HIViewRef inView, HIViewPartCode* outFocusPart) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (outFocusPart == nullptr) return paramErr;
  FocusRecord* focus = FocusOf(ViewOf(inView));
  *outFocusPart = focus && focus->view == ViewOf(inView) ? focus->part : ControlPartCode(kControlFocusNoPart);
  return noErr;
}

// ---------------------------------------------------------------------------
// Tracking areas

OSStatus HIViewNewTrackingArea(HIViewRef inView, HIShapeRef inShape, HIViewTrackingAreaID inID,
                               HIViewTrackingAreaRef* outRef) {
  if (outRef) *outRef = nullptr;
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inShape != nullptr) return paramErr;  // shapes are not offered
  auto* area = new __CViewTrackingArea();
  area->view = inView;
  area->id = inID;
  ViewOf(inView)->trackingAreas.push_back(area);
  if (outRef) *outRef = area;
  return noErr;
}

static bool AreaIsLive(HIViewTrackingAreaRef area) {
  if (area == nullptr || area->view == nullptr || !ViewIsLive(area->view)) return false;
  auto& list = ViewOf(area->view)->trackingAreas;
  return std::find(list.begin(), list.end(), area) != list.end();
}

OSStatus HIViewChangeTrackingArea(HIViewTrackingAreaRef inArea, HIShapeRef inShape) {
  if (!AreaIsLive(inArea)) return paramErr;
  return inShape == nullptr ? noErr : paramErr;
}

OSStatus HIViewGetTrackingAreaID(HIViewTrackingAreaRef inArea, HIViewTrackingAreaID* outID) {
  if (!AreaIsLive(inArea) || outID == nullptr) return paramErr;
  *outID = inArea->id;
  return noErr;
}

OSStatus HIViewDisposeTrackingArea(HIViewTrackingAreaRef inArea) {
  if (!AreaIsLive(inArea)) return paramErr;
  auto& list = ViewOf(inArea->view)->trackingAreas;
  list.erase(std::find(list.begin(), list.end(), inArea));
  delete inArea;
  return noErr;
}

static void CollectAreas(__CView* view, std::vector<__CViewTrackingArea*>* out) {
  for (auto* area : view->trackingAreas) out->push_back(area);
  for (auto* child : view->children) CollectAreas(child, out);
}

void ViewHandlePointerMoved(WindowRef window, CGPoint windowPoint, UInt32 modifiers) {
  HIViewRef rootRef = HIViewGetRoot(window);
  if (rootRef == nullptr) return;
  std::vector<__CViewTrackingArea*> areas;
  CollectAreas(ViewOf(rootRef), &areas);
  struct Change {
    __CViewTrackingArea* area;
    HIViewRef view;
    bool entered;
  };
  std::vector<Change> exits, enters;
  for (auto* area : areas) {
    __CView* view = ViewOf(area->view);
    bool inside = EffectiveVisible(view) && Contains(BoundsOf(view), ViewFromRoot(view, windowPoint));
    if (inside == area->inside) continue;
    area->inside = inside;
    (inside ? enters : exits).push_back(Change{area, area->view, inside});
  }
  // Areas left are announced before areas entered.
  for (auto* list : {&exits, &enters}) {
    for (auto& change : *list) {
      if (!AreaIsLive(change.area)) continue;
      __CView* view = ViewOf(change.view);
      EventRef e = ViewMakeEvent(kEventClassControl,
                                 change.entered ? kEventControlTrackingAreaEntered : kEventControlTrackingAreaExited,
                                 view);
      HIViewTrackingAreaRef area = change.area;
      SetEventParameter(e, kEventParamHIViewTrackingArea, typeHIViewTrackingAreaRef, sizeof area, &area);
      SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof windowPoint, &windowPoint);
      CGPoint local = ViewFromRoot(view, windowPoint);
      SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof local, &local);
      SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
      ViewSendEvent(view, e, true);
      ReleaseEvent(e);
    }
  }
}

// ---------------------------------------------------------------------------
// Invalidation and display

void ViewSetWindowDisplay(const ViewWindowDisplay& display) { gDisplay = display; }

namespace {

// Adds a rectangle (root coordinates) to what the window must draw.
void InvalidateWindowRect(WindowRef window, const CGRect& r) {
  InvalidRecord& rec = Invalid()[window];
  if (!rec.any) {
    rec.rect = r;
    rec.any = true;
  } else {
    CGFloat x0 = std::min(rec.rect.origin.x, r.origin.x), y0 = std::min(rec.rect.origin.y, r.origin.y);
    CGFloat x1 = std::max(rec.rect.origin.x + rec.rect.size.width, r.origin.x + r.size.width);
    CGFloat y1 = std::max(rec.rect.origin.y + rec.rect.size.height, r.origin.y + r.size.height);
    rec.rect = CGRect{{x0, y0}, {x1 - x0, y1 - y0}};
  }
  if (gDisplay.invalidate) gDisplay.invalidate(window, r);
}

}  // namespace

void ViewInvalidate(__CView* view) {
  view->needsDisplay = true;
  WindowRef window = ViewWindow(view);
  NativeViewsTouched(window);
  if (window == nullptr || !EffectiveVisible(view)) return;
  InvalidateWindowRect(window, CGRect{ViewToRoot(view, view->boundsOrigin), view->frame.size});
}

bool ViewGetInvalidRect(WindowRef window, CGRect* outRect) {
  auto it = Invalid().find(window);
  if (it == Invalid().end() || !it->second.any) return false;
  if (outRect) *outRect = it->second.rect;
  return true;
}

void ViewClearInvalid(WindowRef window) { Invalid().erase(window); }

OSStatus HIViewSetNeedsDisplay(HIViewRef inView, Boolean inNeedsDisplay) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inNeedsDisplay) ViewInvalidate(ViewOf(inView));
  else ViewOf(inView)->needsDisplay = false;
  return noErr;
}

OSStatus HIViewSetNeedsDisplayInRect(HIViewRef inView, const HIRect* inRect, Boolean inNeedsDisplay) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inRect == nullptr) return paramErr;
  if (!inNeedsDisplay) return noErr;
  __CView* view = ViewOf(inView);
  view->needsDisplay = true;
  WindowRef window = ViewWindow(view);
  if (window == nullptr || !EffectiveVisible(view)) return noErr;
  // Only the rectangle, within the view: a text view marks the lines an edit
  // changed, not the whole of itself.
  const CGRect bounds{view->boundsOrigin, view->frame.size};
  const CGFloat x0 = std::max(bounds.origin.x, inRect->origin.x), y0 = std::max(bounds.origin.y, inRect->origin.y);
  const CGFloat x1 = std::min(bounds.origin.x + bounds.size.width, inRect->origin.x + inRect->size.width);
  const CGFloat y1 = std::min(bounds.origin.y + bounds.size.height, inRect->origin.y + inRect->size.height);
  if (x1 <= x0 || y1 <= y0) return noErr;
  InvalidateWindowRect(window, CGRect{ViewToRoot(view, CGPoint{x0, y0}), CGSize{x1 - x0, y1 - y0}});
  return noErr;
}

OSStatus HIViewSetNeedsDisplayInRegion(HIViewRef inView, RgnHandle inRgn, Boolean inNeedsDisplay) {
  if (inRgn != nullptr) return paramErr;  // regions are not offered
  return HIViewSetNeedsDisplay(inView, inNeedsDisplay);
}

Boolean HIViewGetNeedsDisplay(HIViewRef inView) { return ViewIsLive(inView) && ViewOf(inView)->needsDisplay; }

OSStatus HIViewRender(HIViewRef inView) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  WindowRef window = ViewWindow(ViewOf(inView));
  if (window && gDisplay.render) gDisplay.render(window);
  return noErr;
}

void Draw1Control(ControlRef theControl) { HIViewRender(theControl); }
void DrawOneControl(ControlRef theControl) { HIViewRender(theControl); }

OSStatus HIViewDrawInContext(HIViewRef inView, CGContextRef inContext) {
  if (!ViewIsLive(inView)) return errUnknownControl;
  if (inContext == nullptr) return paramErr;
  return ViewDrawTree(ViewOf(inView), inContext);
}
