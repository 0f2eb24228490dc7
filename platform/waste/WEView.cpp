// The engine's own view: a plain view that holds one instance, keeps the
// instance's rectangles on its place in the window, draws through WEUpdate,
// takes clicks, keys, text and drags, scrolls within a scroll view, and
// answers its instance as control data 'cref'.
#include <algorithm>
#include <cmath>

#include "HIView.h"
#include "MacWindows.h"
#include "WEInternal.h"

using namespace we;

namespace {

struct ViewRecord {
  WEReference we = nullptr;
  HIViewRef view = nullptr;
  EventHandlerRef handler = nullptr;
  LongRect told{0, 0, 0, 0};  // the destination, against the view, a scroll view last heard of
};

SInt32 Floor(CGFloat v) { return SInt32(std::clamp<double>(std::floor(v), -1e9, 1e9)); }

// The view's bounds in the coordinates of its window's root view (the
// engine's coordinates); the bounds themselves outside a window.
HIRect RootBounds(HIViewRef view) {
  HIRect bounds{};
  HIViewGetBounds(view, &bounds);
  if (WindowRef window = HIViewGetWindow(view)) HIViewConvertRect(&bounds, view, HIViewGetRoot(window));
  return bounds;
}

// Tells a scroll view holding the view that the sizes or the origin changed.
void NotifyScroller(ViewRecord* rec) {
  HIViewRef parent = HIViewGetSuperview(rec->view);
  if (parent == nullptr) return;
  WEGetDestRect(&rec->told, rec->we);
  rec->told.top -= rec->we->view.top;
  rec->told.bottom -= rec->we->view.top;
  rec->told.left -= rec->we->view.left;
  rec->told.right -= rec->we->view.left;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassScrollable, kEventScrollableInfoChanged, 0, 0, &e) != noErr) return;
  SendEventToEventTarget(e, HIViewGetEventTarget(parent));
  ReleaseEvent(e);
}

// Keeps the view rectangle on the view and the text wrapped to its width;
// the scroll position (destination against view) is kept.
void Sync(ViewRecord* rec) {
  WEReference we = rec->we;
  const HIRect b = RootBounds(rec->view);
  const LongRect view{Floor(b.origin.y), Floor(b.origin.x), Floor(b.origin.y + b.size.height),
                      Floor(b.origin.x + b.size.width)};
  const LongRect old = we->view;
  if (view.top == old.top && view.left == old.left && view.bottom == old.bottom && view.right == old.right) return;
  LongRect dest = we->dest;
  const SInt32 dx = view.left - old.left, dy = view.top - old.top;
  dest.left += dx;
  dest.top += dy;
  dest.right = dest.left + std::max<SInt32>(1, view.right - view.left);
  dest.bottom = dest.top;
  WESetViewRect(&view, we);
  WESetDestRect(&dest, we);
  // A view that grew may show past the end: keep the text within reach.
  ScrollBy(we, 0);
}

OSStatus Draw(ViewRecord* rec, EventRef event) {
  CGContextRef context = nullptr;
  if (GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr,
                        &context) != noErr ||
      context == nullptr)
    return eventNotHandledErr;
  Sync(rec);
  HIRect bounds{};
  HIViewGetBounds(rec->view, &bounds);
  const HIRect root = RootBounds(rec->view);
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, bounds.origin.x - root.origin.x, bounds.origin.y - root.origin.y);
  WESetInfo(weCGContextInfo, &context, rec->we);
  WEUpdate(nullptr, rec->we);
  CGContextRef none = nullptr;
  WESetInfo(weCGContextInfo, &none, rec->we);
  CGContextRestoreGState(context);
  // Changes made by calls of the host (puts, loads, scrolls) show here first.
  LongRect dest;
  WEGetDestRect(&dest, rec->we);
  const LongRect& v = rec->we->view;
  if (dest.top - v.top != rec->told.top || dest.bottom - v.top != rec->told.bottom ||
      dest.left - v.left != rec->told.left || dest.right - v.left != rec->told.right)
    NotifyScroller(rec);
  return noErr;
}

OSStatus Click(ViewRecord* rec, EventRef event) {
  if (!HIViewIsEnabled(rec->view, nullptr)) return noErr;
  Sync(rec);
  CGPoint where{};
  if (GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where) !=
      noErr) {
    // Without the window's location: the view's own, made root.
    GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
    HIRect bounds{};
    HIViewGetBounds(rec->view, &bounds);
    const HIRect root = RootBounds(rec->view);
    where.x += root.origin.x - bounds.origin.x;
    where.y += root.origin.y - bounds.origin.y;
  }
  UInt32 modifiers = 0;
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  if (WindowRef window = HIViewGetWindow(rec->view)) {
    ControlRef focus = nullptr;
    GetKeyboardFocus(window, &focus);
    if (focus != rec->view) SetKeyboardFocus(window, rec->view, kControlFocusNextPart);
  }
  const Point hit{SInt16(std::clamp<SInt32>(Floor(where.y + 0.5), -32768, 32767)),
                  SInt16(std::clamp<SInt32>(Floor(where.x + 0.5), -32768, 32767))};
  const UInt32 ticks = UInt32(std::max(0.0, GetCurrentEventTime() * 60 + 0.5));
  WEClick(hit, EventModifiers(modifiers & 0xFFFF), ticks, rec->we);
  NotifyScroller(rec);
  return noErr;
}

OSStatus SetFocus(ViewRecord* rec, EventRef event) {
  ControlPartCode part = kControlFocusNoPart;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  ControlPartCode answer = kControlFocusNoPart;
  if (part == kControlFocusNoPart) {
    WEDeactivate(rec->we);
  } else {
    ControlPartCode current = kControlFocusNoPart;
    HIViewGetFocusPart(rec->view, &current);
    // Moving on from the view leaves it; anything else enters it.
    if (current != kControlFocusNoPart && (part == kControlFocusNextPart || part == kControlFocusPrevPart)) {
      WEDeactivate(rec->we);
    } else {
      answer = kControlEditTextPart;
      WindowRef window = HIViewGetWindow(rec->view);
      if (window == nullptr || IsWindowActive(window)) WEActivate(rec->we);
    }
  }
  SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof answer, &answer);
  return noErr;
}

OSStatus GetData(ViewRecord* rec, EventRef event) {
  ResType tag = 0;
  GetEventParameter(event, kEventParamControlDataTag, typeEnumeration, nullptr, sizeof tag, nullptr, &tag);
  if (tag != 'cref') return eventNotHandledErr;
  void* buffer = nullptr;
  SInt32 size = 0;
  GetEventParameter(event, kEventParamControlDataBuffer, typePtr, nullptr, sizeof buffer, nullptr, &buffer);
  GetEventParameter(event, kEventParamControlDataBufferSize, typeSInt32, nullptr, sizeof size, nullptr, &size);
  // The instance is a pointer: the whole of it or nothing.
  if (buffer != nullptr) {
    if (size < SInt32(sizeof(WEReference))) return paramErr;
    *static_cast<WEReference*>(buffer) = rec->we;
  }
  const SInt32 actual = SInt32(sizeof(WEReference));
  SetEventParameter(event, kEventParamControlDataBufferSize, typeSInt32, sizeof actual, &actual);
  return noErr;
}

OSStatus Drag(ViewRecord* rec, EventKind kind, EventRef event) {
  DragRef drag = nullptr;
  if (GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag) != noErr)
    return eventNotHandledErr;
  Sync(rec);
  switch (kind) {
    case kEventControlDragEnter: {
      const Boolean accept = WETrackDrag(kDragTrackingEnterWindow, drag, rec->we) == noErr;
      SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof accept, &accept);
      return noErr;
    }
    case kEventControlDragWithin: WETrackDrag(kDragTrackingInWindow, drag, rec->we); return noErr;
    case kEventControlDragLeave: WETrackDrag(kDragTrackingLeaveWindow, drag, rec->we); return noErr;
    case kEventControlDragReceive: {
      const OSStatus status = WEReceiveDrag(drag, rec->we);
      NotifyScroller(rec);
      return status;
    }
  }
  return eventNotHandledErr;
}

OSStatus Scrollable(ViewRecord* rec, EventKind kind, EventRef event) {
  WEReference we = rec->we;
  Sync(rec);
  LongRect dest;
  WEGetDestRect(&dest, we);
  if (kind == kEventScrollableGetInfo) {
    const HISize image{CGFloat(dest.right - dest.left), CGFloat(dest.bottom - dest.top)};
    const HISize view{CGFloat(we->view.right - we->view.left), CGFloat(we->view.bottom - we->view.top)};
    LongPt pt{};
    SInt16 lineHeight = 16;
    WEGetPoint(0, 1, &pt, &lineHeight, we);
    const HISize line{CGFloat(lineHeight), CGFloat(lineHeight)};
    const HIPoint origin{CGFloat(we->view.left - dest.left), CGFloat(we->view.top - dest.top)};
    SetEventParameter(event, kEventParamImageSize, typeHISize, sizeof image, &image);
    SetEventParameter(event, kEventParamViewSize, typeHISize, sizeof view, &view);
    SetEventParameter(event, kEventParamLineSize, typeHISize, sizeof line, &line);
    SetEventParameter(event, kEventParamOrigin, typeHIPoint, sizeof origin, &origin);
    return noErr;
  }
  if (kind == kEventScrollableScrollTo) {
    HIPoint origin{};
    if (GetEventParameter(event, kEventParamOrigin, typeHIPoint, nullptr, sizeof origin, nullptr, &origin) != noErr)
      return eventNotHandledErr;
    const SInt32 left = we->view.left - Floor(origin.x), top = we->view.top - Floor(origin.y);
    WEScroll(left - dest.left, top - dest.top, we);
    return noErr;
  }
  return eventNotHandledErr;
}

OSStatus ViewHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* rec = static_cast<ViewRecord*>(userData);
  if (rec->we == nullptr) return eventNotHandledErr;
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassTextInput) {
    // The engine's own handler types the text; the scroll view hears of it.
    const OSStatus status = CallNextEventHandler(call, event);
    NotifyScroller(rec);
    return status;
  }
  if (cls == kEventClassCommand && kind == kEventCommandProcess) {
    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command) !=
        noErr)
      return eventNotHandledErr;
    const OSStatus status = WEProcessHICommand(&command, rec->we);
    if (status == noErr) NotifyScroller(rec);
    return status;
  }
  if (cls == kEventClassScrollable) return Scrollable(rec, kind, event);
  if (cls != kEventClassControl) return eventNotHandledErr;
  HIViewRef direct = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof direct, nullptr, &direct);
  if (direct != nullptr && direct != rec->view) return eventNotHandledErr;
  switch (kind) {
    case kEventControlDraw: return Draw(rec, event);
    case kEventControlHitTest: {
      CGPoint p{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
      HIRect bounds{};
      HIViewGetBounds(rec->view, &bounds);
      const bool inside = p.x >= bounds.origin.x && p.y >= bounds.origin.y && p.x < bounds.origin.x + bounds.size.width &&
                          p.y < bounds.origin.y + bounds.size.height;
      const ControlPartCode part = inside ? kControlEditTextPart : kControlNoPart;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlClick: return Click(rec, event);
    case kEventControlSetFocusPart: return SetFocus(rec, event);
    case kEventControlActivate:
    case kEventControlDeactivate: {
      ControlPartCode part = kControlFocusNoPart;
      HIViewGetFocusPart(rec->view, &part);
      if (kind == kEventControlActivate && part != kControlFocusNoPart)
        WEActivate(rec->we);
      else if (kind == kEventControlDeactivate)
        WEDeactivate(rec->we);
      return eventNotHandledErr;
    }
    case kEventControlGetData: return GetData(rec, event);
    case kEventControlBoundsChanged:
    case kEventControlOwningWindowChanged:
      Sync(rec);
      NotifyScroller(rec);
      return eventNotHandledErr;
    case kEventControlSetCursor: {
      CGPoint p{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof p, nullptr, &p);
      Point global{SInt16(std::clamp<SInt32>(Floor(p.y), -32768, 32767)),
                   SInt16(std::clamp<SInt32>(Floor(p.x), -32768, 32767))};
      return WEAdjustCursor(global, nullptr, rec->we) ? OSStatus(noErr) : OSStatus(eventNotHandledErr);
    }
    case kEventControlDragEnter:
    case kEventControlDragWithin:
    case kEventControlDragLeave:
    case kEventControlDragReceive: return Drag(rec, kind, event);
    case kEventControlDispose: {
      // The instance, its timers and handlers end with the view.
      WEReference we = rec->we;
      rec->we = nullptr;
      WEDispose(we);
      if (rec->handler) RemoveEventHandler(rec->handler);
      rec->handler = nullptr;
      delete rec;
      return eventNotHandledErr;
    }
  }
  return eventNotHandledErr;
}

}  // namespace

OSStatus FenwicketCreate(const CGRect* inBounds, OptionBits inFeatures, HIViewRef* outView) {
  if (outView == nullptr) return paramErr;
  *outView = nullptr;
  const HIRect frame = inBounds ? *inBounds : HIRect{};
  HIViewRef view = nullptr;
  if (OSStatus s = HIViewCreate(&frame, &view); s != noErr) return s;
  const LongRect rect{Floor(frame.origin.y), Floor(frame.origin.x), Floor(frame.origin.y + frame.size.height),
                      Floor(frame.origin.x + frame.size.width)};
  LongRect dest = rect;
  dest.right = dest.left + std::max<SInt32>(1, rect.right - rect.left);
  auto* rec = new ViewRecord;
  rec->view = view;
  if (OSStatus s = WENew(&dest, &rect, inFeatures, &rec->we); s != noErr) {
    delete rec;
    CFRelease(view);
    return s;
  }
  EventTargetRef target = HIViewGetEventTarget(view);
  // The engine types into the view; it also redraws the view after changes.
  WESetEventTarget(target, weTextInputEvents, rec->we);
  static const EventTypeSpec kEvents[] = {
      {kEventClassControl, kEventControlDraw},           {kEventClassControl, kEventControlHitTest},
      {kEventClassControl, kEventControlClick},          {kEventClassControl, kEventControlSetFocusPart},
      {kEventClassControl, kEventControlActivate},
      {kEventClassControl, kEventControlDeactivate},     {kEventClassControl, kEventControlGetData},
      {kEventClassControl, kEventControlBoundsChanged},  {kEventClassControl, kEventControlOwningWindowChanged},
      {kEventClassControl, kEventControlSetCursor},      {kEventClassControl, kEventControlDragEnter},
      {kEventClassControl, kEventControlDragWithin},     {kEventClassControl, kEventControlDragLeave},
      {kEventClassControl, kEventControlDragReceive},    {kEventClassControl, kEventControlDispose},
      {kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
      {kEventClassCommand, kEventCommandProcess},
      {kEventClassScrollable, kEventScrollableGetInfo},  {kEventClassScrollable, kEventScrollableScrollTo},
  };
  InstallEventHandler(target, ViewHandler, sizeof kEvents / sizeof kEvents[0], kEvents, rec, &rec->handler);
  HIViewChangeFeatures(view, kHIViewFeatureGetsFocusOnClick | kHIViewFeatureSupportsDragAndDrop, 0);
  SetControlDragTrackingEnabled(view, true);
  *outView = view;
  return noErr;
}
