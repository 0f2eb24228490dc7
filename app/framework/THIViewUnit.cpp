#include "THIViewUnit.h"

#include "CFBundle.h"
#include "CGImage.h"
#include "HIScrollView.h"
#include "PascalCarbonCommon.h"
#include "MacMemory.h"
#include "QDRegions.h"

#include <map>

const EventTypeSpec kTHIViewEvents[24] = {
    {kEventClassHIObject, kEventHIObjectConstruct},
    {kEventClassHIObject, kEventHIObjectInitialize},
    {kEventClassHIObject, kEventHIObjectDestruct},
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlContextualMenuClick},
    {kEventClassControl, kEventControlHiliteChanged},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
    {kEventClassControl, kEventControlBoundsChanged},
    {kEventClassControl, kEventControlVisibilityChanged},
    {kEventClassControl, kEventControlTrackingAreaEntered},
    {kEventClassControl, kEventControlTrackingAreaExited},
    {kEventClassControl, kEventControlDragEnter},
    {kEventClassControl, kEventControlDragWithin},
    {kEventClassControl, kEventControlDragLeave},
    {kEventClassControl, kEventControlDragReceive},
    {kEventClassScrollable, kEventScrollableGetInfo},
    {kEventClassScrollable, kEventScrollableInfoChanged},
    {kEventClassScrollable, kEventScrollableScrollTo},
};

namespace {

const EventTypeSpec kMouseEvents[5] = {
    {kEventClassMouse, kEventMouseMoved},   {kEventClassMouse, kEventMouseDragged},
    {kEventClassMouse, kEventMouseWheelMoved}, {kEventClassMouse, kEventMouseUp},
    {kEventClassMouse, kEventMouseDown},
};

void LongPressTimer(EventLoopTimerRef, void* data) { static_cast<THIView*>(data)->TimerFired(); }

void ControlActionProc(ControlRef control, ControlPartCode) {
  if (THIView* object = HIViewGetObjectRef(control)) object->MouseDragged();
}

CGRect BoundsOf(HIViewRef view) {
  CGRect bounds = {{0, 0}, {0, 0}};
  HIViewGetBounds(view, &bounds);
  return bounds;
}

// Window content coordinates to global (screen) coordinates.
CGPoint WindowToGlobal(WindowRef window, CGPoint point) {
  Rect content = {0, 0, 0, 0};
  if (window != nullptr && GetWindowBounds(window, kWindowContentRgn, &content) == noErr) {
    point.x += content.left;
    point.y += content.top;
  }
  return point;
}

// One drag-tracking handler per window serves every view of it; it stays
// while some view of the window counts on it.
std::map<WindowRef, int>& DragTrackingWindows() {
  static auto* windows = new std::map<WindowRef, int>;
  return *windows;
}

OSErr WindowDragTracking(DragTrackingMessage message, WindowRef window, void* refCon, DragRef drag) {
  if (window != static_cast<WindowRef>(refCon)) return noErr;
  Point mouse = {0, 0}, pinned = {0, 0};
  if (GetDragMouse(drag, &mouse, &pinned) != noErr) return noErr;
  Rect content = {0, 0, 0, 0};
  GetWindowBounds(window, kWindowContentRgn, &content);
  HIPoint local = {double(mouse.h - content.left), double(mouse.v - content.top)};
  HIViewRef root = HIViewGetRoot(window);
  HIViewRef hit = nullptr;
  if (root == nullptr || HIViewGetSubviewHit(root, &local, true, &hit) != noErr || hit == nullptr) return noErr;
  THIView* object = HIViewGetObjectRef(hit);
  if (object != nullptr && object->DragInside)
    object->HandleTrackDrag(message, drag, QDPointToHI(mouse), QDPointToHI(pinned));
  return noErr;
}

// The accept and receive walks: each item counts once, at its first
// flavour the view takes, so an item is never received twice and a drag
// counts as taken only when every item was.
bool EveryItemTaken(THIView* self, DragRef drag, bool receive) {
  UInt16 items = 0;
  if (CountDragItems(drag, &items) != noErr || items == 0) return false;
  UInt16 taken = 0;
  for (UInt16 i = 1; i <= items; ++i) {
    DragItemRef ref = 0;
    UInt16 flavors = 0;
    if (GetDragItemReferenceNumber(drag, i, &ref) != noErr || CountDragItemFlavors(drag, ref, &flavors) != noErr)
      continue;
    for (UInt16 f = 1; f <= flavors; ++f) {
      FlavorType type = 0;
      Size size = 0;
      if (GetFlavorType(drag, ref, f, &type) != noErr || GetFlavorDataSize(drag, ref, type, &size) != noErr) continue;
      Ptr data = NewPtr(size);
      if (data == nullptr) continue;
      bool took = false;
      if (GetFlavorData(drag, ref, type, data, &size, 0) == noErr)
        took = receive ? self->ReceiveDrag(data, drag, type) : self->AcceptDrag(data, drag, type);
      DisposePtr(data);
      if (took) {
        ++taken;
        break;
      }
    }
  }
  return taken >= items;
}

void Register(const Str255& classID, ConstructObjectContext context) {
  auto* data = new ConstructObjectContext(context);
  Err = HIObjectRegisterSubclass(CFSTR(classID), kHIViewClassID, 0, THIViewEventHandler, 24, kTHIViewEvents, data,
                                 nullptr);
  if (Err != noErr) delete data;  // never registered: nobody refers to it
}

}  // namespace

THIView::THIView() { SetClassString("THIView"); }

void THIView::InitializeObject(EventRef) {}
void THIView::Hover() {}
void THIView::BoundsChanged(CGRect) {}
void THIView::VisibilityChanged(Boolean) {}
void THIView::DrawControl(CGRect, CGContextRef) {}
void THIView::ControlHit(SInt16) {}
void THIView::ControlDeepHit() {}
void THIView::ControlTrack(CGPoint) {}
void THIView::MouseDragged() {}
void THIView::MouseWheelMoved() {}
void THIView::ActivationChanged(Boolean) {}
void THIView::EventTimer() {}
void THIView::AllocateResources() {}
MenuRef THIView::GetContextualMenu(CGPoint) { return nullptr; }
void THIView::SelectContextualMenu(MenuRef, UInt16) {}
void THIView::DrawDragImage(CGRect, CGContextRef) {}
void THIView::AddDragFlavors(DragRef) {}
void THIView::HandleTrackDrag(SInt16, DragRef, CGPoint, CGPoint) {}
void THIView::HandlePostDrag(DragRef) {}
void THIView::HandleDragLeft(DragRef) {}
Boolean THIView::AcceptDrag(Ptr, DragRef, UInt32) { return false; }
Boolean THIView::ReceiveDrag(Ptr, DragRef, UInt32) { return false; }
void THIView::ScrollViewGetInfo(CGSize& imageSize, CGSize& viewSize, CGSize& lineSize, CGPoint& origin) {
  imageSize = viewSize = lineSize = CGSize{0, 0};
  origin = CGPoint{0, 0};
}
void THIView::ScrollViewTo(CGPoint) {}
void THIView::EventHandler(EventHandlerCallRef, EventRef, Ptr, SInt32) {}
void THIView::ProcessCommand(const HICommand&, EventRef, SInt32&) {}

SInt16 THIView::HitTestControl(CGRect bounds, CGPoint point) {
  HitPoint = point;
  return point.x >= bounds.origin.x && point.y >= bounds.origin.y &&
                 point.x < bounds.origin.x + bounds.size.width && point.y < bounds.origin.y + bounds.size.height
             ? 1
             : 0;
}

void THIView::ControlHiliteChanged() { HIViewSetNeedsDisplay(View, true); }

void THIView::CallNextHandler() { Err = CallNextEventHandler(CallRef, CurrentEvent); }

void THIView::InitializeControl() {
  AllocateResources();
  SetControlAction(View, ControlActionProc);
  if (WindowRef window = HIViewGetWindow(View)) SetAutomaticControlDragTrackingEnabledForWindow(window, true);
  HIViewChangeFeatures(View, kHIViewFeatureSupportsDragAndDrop, 0);
  HIViewChangeFeatures(View, kHIViewFeatureLiveFeedback, 0);
  HIViewChangeFeatures(View, kHIViewFeatureSupportsEmbedding, 0);
  SetControlDragTrackingEnabled(View, true);
  THIView* self = this;
  Err = SetControlProperty(View, kTHIViewPropertyCreator, kTHIViewPropertyTag, sizeof self, &self);
}

void THIView::InstallTimer(double interval) {
  RemoveTimer();  // one timer per view: a second install replaces the first
  EventLoopTimerRef timer = nullptr;
  Err = InstallEventLoopTimer(GetCurrentEventLoop(), 0, interval, LongPressTimer, this, &timer);
  Timer = Err == noErr ? timer : nullptr;
}

void THIView::RemoveTimer() {
  if (Timer != nullptr) RemoveEventLoopTimer(Timer);
  Timer = nullptr;
}

void THIView::TimerFired() {
  EventTimer();
  if (TrackStart > 0 && TickCount() > TrackStart + kTHIViewDeepHitTicks) {
    ControlDeepHit();
    TrackStart = 0;
    DeepHit = true;
  }
}

void THIView::InstallMouseHandler() {
  if (MouseHandlerInstalled) return;
  WindowRef window = HIViewGetWindow(View);
  if (window == nullptr) return;
  EventHandlerRef handler = nullptr;
  Err = InstallEventHandler(GetWindowEventTarget(window), THIViewEventHandler, 5, kMouseEvents, this, &handler);
  if (Err == noErr) {
    MouseHandler = handler;
    MouseHandlerInstalled = true;
  }
}

void THIView::InstallDragTrackingHandler() {
  if (DragHandlerInstalled) return;
  DragHandlerInstalled = true;
  WindowRef window = HIViewGetWindow(View);
  if (window == nullptr) return;
  int& users = DragTrackingWindows()[window];
  if (users == 0) Err = InstallTrackingHandler(WindowDragTracking, window, window);
  ++users;
  DragTrackingWindow = window;
}

void THIView::SendCommand() {
  WindowRef window = HIViewGetWindow(View);
  if (window == nullptr) return;
  UInt32 commandID = 0;
  GetControlCommandID(View, &commandID);
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event);
  if (Err != noErr) return;
  HICommand command{};
  command.commandID = commandID;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  Err = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
}

void THIView::SimulateContextualMenuClick(CGPoint global) {
  MenuRef menu = GetContextualMenu(global);
  if (menu == nullptr || CountMenuItems(menu) < 2) return;
  UInt32 selectionType = 0;
  MenuID menuID = 0;
  MenuItemIndex item = 0;
  Point where = HIPointToQD(global);
  Err = ContextualMenuSelect(menu, where, false, 3, nullptr, nullptr, &selectionType, &menuID, &item);
  if (Err == noErr && item > 0) {
    SelectContextualMenu(menu, item);
    TrackStart = 0;
    HIViewSetNeedsDisplay(View, true);
  }
}

SInt32 THIView::NewViewDrag(EventRef event) {
  HIPoint mouse = {0, 0};
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof mouse, nullptr, &mouse);
  HIViewConvertPoint(&mouse, nullptr, View);
  DragRef drag = nullptr;
  Err = NewDrag(&drag);
  if (Err != noErr) return 0;
  AddDragFlavors(drag);
  HIRect frame = {{0, 0}, {0, 0}};
  CGImageRef image = nullptr;
  if (HIViewCreateOffscreenImage(View, 0, &frame, &image) == noErr && image != nullptr) {
    // The image keeps its place under the pointer.
    HIPoint offset = {-mouse.x, -mouse.y};
    SetDragImageWithCGImage(drag, image, &offset, 0);
  }
  EventRecord record;
  if (ConvertEventRefToEventRecord(event, &record)) {
    RgnHandle region = NewRgn();
    Err = TrackDrag(drag, &record, region);
    DisposeRgn(region);
  }
  HandlePostDrag(drag);
  DisposeDrag(drag);
  if (image != nullptr) CGImageRelease(image);
  return 0;
}

void THIView::MakeScrollable() {
  CGRect frame = {{0, 0}, {0, 0}};
  HIViewGetFrame(View, &frame);
  HIViewRef superview = HIViewGetSuperview(View);
  HIViewRef scroll = nullptr;
  Err = HIScrollViewCreate(7, &scroll);
  if (Err != noErr || scroll == nullptr) return;
  ScrollView = scroll;
  HIViewAddSubview(ScrollView, View);
  HIViewPlaceInSuperviewAt(View, 0, 0);
  if (superview != nullptr) {
    HIViewAddSubview(superview, ScrollView);
    HIViewSetFrame(ScrollView, &frame);
  }
  HIViewSetVisible(ScrollView, true);
  HIViewSetVisible(View, true);
}

void THIView::ScrollViewChanged() {
  HIViewRef superview = HIViewGetSuperview(View);
  if (superview == nullptr) return;
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassScrollable, kEventScrollableInfoChanged, 0, 0, &event) != noErr) return;
  Err = SendEventToEventTarget(event, GetControlEventTarget(superview));
  ReleaseEvent(event);
}

UInt32 THIView::GetDrawState() {
  WindowRef window = HIViewGetWindow(View);
  bool windowActive = window != nullptr && IsWindowActive(window);
  UInt32 state = kTHIViewDrawStateActive;
  if (HoverStart > 0 && windowActive) state = kTHIViewDrawStateHover;
  ControlPartCode hilite = GetControlHilite(View);
  if (hilite != 0) state = kTHIViewDrawStatePressed;
  if (hilite == kControlDisabledPart) state = kTHIViewDrawStateInactive;
  if (!windowActive) {
    DragInside = false;
    state = kTHIViewDrawStateWindowInactive;
  }
  if (!IsControlActive(View)) {
    DragInside = false;
    state = kTHIViewDrawStateInactive;
  }
  if (DragInside && state != kTHIViewDrawStateInactive) state = kTHIViewDrawStateDragTarget;
  DrawState = state;
  return state;
}

Boolean THIView::GetHoverState() {
  WindowRef window = HIViewGetWindow(View);
  return HoverStart > 0 && window != nullptr && IsWindowActive(window);
}

Boolean THIView::IsActiveDrawState() {
  UInt32 state = GetDrawState();
  return state != kTHIViewDrawStateInactive && state != kTHIViewDrawStateWindowInactive;
}

void THIView::Release() {
  RemoveTimer();
  if (TrackingArea != nullptr) HIViewDisposeTrackingArea(TrackingArea);
  TrackingArea = nullptr;
  if (MouseHandler != nullptr) RemoveEventHandler(MouseHandler);
  MouseHandler = nullptr;
  MouseHandlerInstalled = false;
  if (DragTrackingWindow != nullptr) {
    auto it = DragTrackingWindows().find(DragTrackingWindow);
    if (it != DragTrackingWindows().end() && --it->second <= 0) {
      RemoveTrackingHandler(WindowDragTracking, DragTrackingWindow);
      DragTrackingWindows().erase(it);
    }
    DragTrackingWindow = nullptr;
  }
  DragHandlerInstalled = false;
  Free();
}

// A PNG from the bundle's resources; nil when it is missing or unreadable.
CGImageRef THIViewLoadImage(const char* name, const char* folder) {
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (bundle == nullptr) return nullptr;
  CFStringRef nameString = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
  CFStringRef folderString = CFStringCreateWithCString(nullptr, folder, kCFStringEncodingUTF8);
  CFURLRef url = CFBundleCopyResourceURL(bundle, nameString, nullptr, folderString);
  CFRelease(nameString);
  CFRelease(folderString);
  if (url == nullptr) return nullptr;
  CGDataProviderRef provider = CGDataProviderCreateWithURL(url);
  CFRelease(url);
  if (provider == nullptr) return nullptr;
  CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, true, kCGRenderingIntentDefault);
  CGDataProviderRelease(provider);
  return image;
}

// Views draw y-down; images keep their top row at the top.
void THIViewDrawImage(CGContextRef context, CGRect rect, CGImageRef image) {
  if (image == nullptr) return;
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, 0, 2 * rect.origin.y + rect.size.height);
  CGContextScaleCTM(context, 1, -1);
  CGContextDrawImage(context, rect, image);
  CGContextRestoreGState(context);
}

// ---------------------------------------------------------------------------
// Dispatch

namespace {

OSStatus Construct(EventRef event, ConstructObjectContext* context) {
  if (context == nullptr) return paramErr;
  THIView* object = nullptr;
  bool owned = false;
  if (context->callback != nullptr) {
    object = context->callback();
    owned = object != nullptr;
  }
  if (context->object != nullptr) {
    if (owned) object->Free();
    object = context->object;
    owned = false;
  }
  if (object == nullptr) return paramErr;
  if (owned) object->OwnedByClass = true;
  HIViewRef view = nullptr;
  GetEventParameter(event, kEventParamHIViewInstance, typeControlRef, nullptr, sizeof view, nullptr, &view);
  object->View = view;
  SetEventParameter(event, kEventParamHIViewInstance, typeVoidPtr, sizeof object, &object);
  return noErr;
}

void Draw(THIView* self, EventRef event) {
  self->GetDrawState();
  CGContextRef context = nullptr;
  GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr, &context);
  CGRect bounds = BoundsOf(self->View);
  if (HIViewGetWindow(self->View) != nullptr) {
    self->InstallDragTrackingHandler();
    self->InstallMouseHandler();
  }
  if (self->TrackingArea == nullptr) {
    HIViewTrackingAreaRef area = nullptr;
    if (HIViewNewTrackingArea(self->View, nullptr, 0, &area) == noErr) self->TrackingArea = area;
  }
  if (context == nullptr) return;
  CGContextSaveGState(context);
  self->DrawControl(bounds, context);
  CGContextRestoreGState(context);
}

OSStatus Hit(THIView* self, EventRef event) {
  ControlPartCode part = 0;
  ControlRef control = nullptr;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr, &control);
  if (control != self->View) return eventNotHandledErr;
  self->ControlHit(part);
  OSStatus redisplay = HIViewSetNeedsDisplay(self->View, true);
  // A long press has been answered already: the click must not count too.
  OSStatus result = self->DeepHit ? redisplay : eventNotHandledErr;
  self->TrackStart = 0;
  self->DeepHit = false;
  return result;
}

OSStatus ControlEvent(THIView* self, EventRef event) {
  switch (GetEventKind(event)) {
    case kEventControlInitialize:
      self->InitializeControl();
      return noErr;
    case kEventControlDraw:
      Draw(self, event);
      return noErr;
    case kEventControlHit:
      return Hit(self, event);
    case kEventControlTrack: {
      self->TrackStart = TickCount();
      // The point comes as a QuickDraw point or, from the view layer, an HIPoint.
      Point qd = {0, 0};
      CGPoint point = {0, 0};
      if (GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof qd, nullptr, &qd) == noErr)
        point = QDPointToHI(qd);
      else
        GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof point, nullptr, &point);
      self->ControlTrack(point);
      return eventNotHandledErr;
    }
    case kEventControlHitTest: {
      CGPoint point = {0, 0};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof point, nullptr, &point);
      self->HitPart = self->HitTestControl(BoundsOf(self->View), point);
      ControlPartCode part = self->HitPart;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlContextualMenuClick: {
      CGPoint point = {0, 0};
      GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof point, nullptr, &point);
      self->SimulateContextualMenuClick(WindowToGlobal(HIViewGetWindow(self->View), point));
      return eventNotHandledErr;
    }
    case kEventControlHiliteChanged:
      self->ControlHiliteChanged();
      return noErr;
    case kEventControlActivate:
    case kEventControlDeactivate:
      self->ActivationChanged(IsControlActive(self->View));
      HIViewSetNeedsDisplay(self->View, true);
      return eventNotHandledErr;
    case kEventControlBoundsChanged:
      self->BoundsChanged(BoundsOf(self->View));
      return eventNotHandledErr;
    case kEventControlVisibilityChanged:
      self->VisibilityChanged(HIViewIsVisible(self->View));
      return eventNotHandledErr;
    case kEventControlTrackingAreaEntered:
      self->HoverStart = TickCount();
      self->Hover();
      HIViewSetNeedsDisplay(self->View, true);
      return eventNotHandledErr;
    case kEventControlTrackingAreaExited:
      self->HoverStart = 0;
      HIViewSetNeedsDisplay(self->View, true);
      return eventNotHandledErr;
    case kEventControlDragEnter: {
      DragRef drag = nullptr;
      GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
      if (EveryItemTaken(self, drag, false)) {
        Boolean accept = true;
        SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof accept, &accept);
      }
      return noErr;
    }
    case kEventControlDragWithin:
      self->DragInside = true;
      HIViewSetNeedsDisplay(self->View, true);
      return eventNotHandledErr;
    case kEventControlDragLeave: {
      DragRef drag = nullptr;
      GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
      self->HandleDragLeft(drag);
      self->DragInside = false;
      HIViewSetNeedsDisplay(self->View, true);
      return eventNotHandledErr;
    }
    case kEventControlDragReceive: {
      DragRef drag = nullptr;
      GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
      return EveryItemTaken(self, drag, true) ? noErr : OSStatus(eventNotHandledErr);
    }
  }
  return eventNotHandledErr;
}

OSStatus ScrollableEvent(THIView* self, EventRef event) {
  switch (GetEventKind(event)) {
    case kEventScrollableGetInfo: {
      CGSize image = {0, 0}, view = {0, 0}, line = {0, 0};
      CGPoint origin = {0, 0};
      self->ScrollViewGetInfo(image, view, line, origin);
      SetEventParameter(event, kEventParamImageSize, typeHISize, sizeof image, &image);
      SetEventParameter(event, kEventParamViewSize, typeHISize, sizeof view, &view);
      SetEventParameter(event, kEventParamLineSize, typeHISize, sizeof line, &line);
      SetEventParameter(event, kEventParamOrigin, typeHIPoint, sizeof origin, &origin);
      return noErr;
    }
    case kEventScrollableInfoChanged:
      self->ScrollViewChanged();
      return noErr;
    case kEventScrollableScrollTo: {
      CGPoint origin = {0, 0};
      GetEventParameter(event, kEventParamOrigin, typeHIPoint, nullptr, sizeof origin, nullptr, &origin);
      self->ScrollViewTo(origin);
      return noErr;
    }
  }
  return noErr;
}

OSStatus MouseEvent(THIView* self, EventRef event) {
  WindowRef window = HIViewGetWindow(self->View);
  HIViewRef root = window != nullptr ? HIViewGetRoot(window) : nullptr;
  HIViewRef hit = nullptr;
  if (root == nullptr || HIViewGetViewForMouseEvent(root, event, &hit) != noErr || hit == nullptr)
    return eventNotHandledErr;
  if (HIViewGetObjectRef(hit) != self) return eventNotHandledErr;
  if (GetEventKind(event) == kEventMouseWheelMoved) self->MouseWheelMoved();
  return eventNotHandledErr;
}

}  // namespace

OSStatus THIViewEventHandler(EventHandlerCallRef callRef, EventRef event, void* userData) {
  EventClass eventClass = GetEventClass(event);
  EventKind kind = GetEventKind(event);
  if (eventClass == kEventClassHIObject && kind == kEventHIObjectConstruct)
    return Construct(event, static_cast<ConstructObjectContext*>(userData));
  auto* self = static_cast<THIView*>(userData);
  if (self == nullptr) return eventNotHandledErr;
  self->CallRef = callRef;
  self->CurrentEvent = event;
  switch (eventClass) {
    case kEventClassHIObject:
      if (kind == kEventHIObjectInitialize) {
        OSStatus status = CallNextEventHandler(callRef, event);
        self->InitializeObject(event);
        return status;
      }
      if (kind == kEventHIObjectDestruct) {
        // The view's tracking areas ended with it.
        self->TrackingArea = nullptr;
        if (self->OwnedByClass) self->Release();
      }
      return noErr;
    case kEventClassCommand:
      if (kind == kEventCommandProcess) {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        SInt32 result = eventNotHandledErr;
        self->ProcessCommand(command, event, result);
        return result;
      }
      return noErr;
    case kEventClassControl:
      return ControlEvent(self, event);
    case kEventClassScrollable:
      return ScrollableEvent(self, event);
    case kEventClassMouse:
      return MouseEvent(self, event);
  }
  return noErr;
}

void THIViewRegister(const Str255& classID, HIViewConstructObjectCallback callback) {
  Register(classID, ConstructObjectContext{callback, nullptr});
}

void THIViewRegisterWithObject(const Str255& classID, THIView* object) {
  Register(classID, ConstructObjectContext{nullptr, object});
}

THIView* HIViewGetObjectRef(ControlRef control) {
  THIView* object = nullptr;
  ByteCount size = 0;
  Err = GetControlProperty(control, kTHIViewPropertyCreator, kTHIViewPropertyTag, sizeof object, &size, &object);
  if (Err != noErr || size != sizeof object) return nullptr;
  return object;
}

THIView* HIViewCreateObject(const Str255& classID) {
  HIObjectRef instance = nullptr;
  Err = HIObjectCreate(CFSTR(classID), nullptr, &instance);
  if (Err != noErr || instance == nullptr) return nullptr;
  auto* view = reinterpret_cast<HIViewRef>(instance);
  THIView* object = HIViewGetObjectRef(view);
  if (object != nullptr) object->View = view;
  return object;
}

THIView* HIViewFindObject(SInt16 id, UInt32 signature, WindowRef window) {
  HIViewRef root = HIViewGetRoot(window);
  if (root == nullptr) return nullptr;
  HIViewRef view = nullptr;
  if (HIViewFindByID(root, HIViewID{signature, id}, &view) != noErr || view == nullptr) return nullptr;
  return HIViewGetObjectRef(view);
}
