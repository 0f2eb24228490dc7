// The tab view class: registration, its events, clicks, and drags onto the
// bar (a drag resting on a tab selects it).
#include "MacMemory.h"
#include "plinthora/TabDrawing.h"
#include "plinthora/TabEvents.h"
#include "plinthora/TabUtilities.h"

using namespace tabs;

namespace {

// The pointer entering the bar is not listened for: it needs no answer.
constexpr EventTypeSpec kClassEvents[] = {
    {kEventClassHIObject, kEventHIObjectConstruct},
    {kEventClassHIObject, kEventHIObjectInitialize},
    {kEventClassHIObject, kEventHIObjectDestruct},
    {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlContextualMenuClick},
    {kEventClassControl, kEventControlHiliteChanged},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
    {kEventClassControl, kEventControlDragEnter},
    {kEventClassControl, kEventControlDragWithin},
    {kEventClassControl, kEventControlDragLeave},
    {kEventClassControl, kEventControlDragReceive},
};

constexpr EventTimerInterval kDragTimerInterval = 1.0 / 30;

void Redraw(TabData* d) { HIViewSetNeedsDisplay(d->VIEW, true); }

// The part and tab under the point (view coordinates): the first tab drawn
// there; a tab never drawn cannot be hit.
ControlPartCode TrackTab(TabData* d, CGPoint where, SInt16& outTab) {
  outTab = 0;
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo tab{};
    if (!GetTab(d, i, tab) || !plinthora::RectContains(tab.BOUNDS, where)) continue;
    outTab = tab.INDEX;
    return plinthora::RectContains(tab.CLOSEBOXBOUNDS, where) ? ControlPartCode(kTabViewCloseBoxPart)
                                                              : ControlPartCode(kTabViewContentPart);
  }
  return kControlNoPart;
}

void* HoverPaneContext(TabData* d) {
  TabPaneInfo pane{};
  if (d->HOVERITEM > 0 && ShownPane(d, d->HOVERITEM, pane)) return pane.CONTEXT;
  return nullptr;
}

// Offers every flavour of every item to the callback with a copy of its
// data; stops looking at an item's flavours once one is taken when asked.
template <class F>
void ForEachFlavor(DragRef drag, F offer) {
  UInt16 items = 0;
  CountDragItems(drag, &items);
  for (UInt16 i = 1; i <= items; ++i) {
    DragItemRef item = 0;
    if (GetDragItemReferenceNumber(drag, i, &item) != noErr) continue;
    UInt16 flavors = 0;
    CountDragItemFlavors(drag, item, &flavors);
    for (UInt16 f = 1; f <= flavors; ++f) {
      FlavorType type = 0;
      Size size = 0;
      if (GetFlavorType(drag, item, f, &type) != noErr) continue;
      GetFlavorDataSize(drag, item, type, &size);
      Ptr data = NewPtrClear(size > 0 ? size : 1);
      GetFlavorData(drag, item, type, data, &size, 0);
      const bool stop = offer(i, type, data);
      ReleasePtr(data);
      if (stop) break;
    }
  }
}

DragRef DragOf(EventRef event) {
  DragRef drag = nullptr;
  GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
  return drag;
}

OSStatus AcceptDrag(TabData* d, EventRef event) {
  DragRef drag = DragOf(event);
  UInt16 items = 0;
  CountDragItems(drag, &items);
  std::vector<bool> accepted(size_t(items) + 1, d->CALLBACKS.ACCEPTDRAG == nullptr);
  if (d->CALLBACKS.ACCEPTDRAG) {
    ForEachFlavor(drag, [&](UInt16 item, FlavorType type, Ptr data) {
      if (!d->CALLBACKS.ACCEPTDRAG(data, type, drag, HoverPaneContext(d), d->CONTEXT)) return false;
      accepted[item] = true;
      return true;
    });
  }
  bool all = true;
  for (UInt16 i = 1; i <= items; ++i) all = all && accepted[i];
  d->HILITE = all;
  if (all) {
    Boolean yes = true;
    SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof yes, &yes);
  }
  Redraw(d);
  return noErr;
}

OSStatus TrackDrag(TabData* d, EventRef event) {
  DragRef drag = DragOf(event);
  Point mouse{};
  GetDragMouse(drag, &mouse, nullptr);
  if (WindowRef window = HIViewGetWindow(d->VIEW)) {
    SetPortWindowPort(window);
    GlobalToLocal(&mouse);
  }
  CGPoint where = QDPointToHI(mouse);
  HIViewConvertPoint(&where, nullptr, d->VIEW);
  SInt16 tab = 0;
  TrackTab(d, where, tab);
  if (tab != d->HOVERITEM) {
    d->HOVERITEM = tab;
    d->HOVERTIME = 0;
  }
  if (d->HOVERTIME == 0) d->HOVERTIME = TickCount();
  // The hover timer runs only while a drag is over the bar.
  if (d->TIMER) SetEventLoopTimerNextFireTime(d->TIMER, kDragTimerInterval);
  Redraw(d);
  return noErr;
}

void EndHover(TabData* d) {
  d->HILITE = false;
  d->HOVERITEM = 0;
  d->HOVERTIME = 0;
  if (d->TIMER) SetEventLoopTimerNextFireTime(d->TIMER, kEventDurationForever);
  Redraw(d);
}

OSStatus ReceiveDrag(TabData* d, EventRef event) {
  DragRef drag = DragOf(event);
  bool taken = false;
  if (d->CALLBACKS.RECEIVEDRAG) {
    ForEachFlavor(drag, [&](UInt16, FlavorType type, Ptr data) {
      if (d->CALLBACKS.RECEIVEDRAG(data, type, drag, HoverPaneContext(d), d->CONTEXT)) taken = true;
      return false;
    });
  }
  return taken ? noErr : eventNotHandledErr;
}

void DragTimer(EventLoopTimerRef, void* userData) {
  auto* d = static_cast<TabData*>(userData);
  if (d->HOVERITEM == 0 || TickCount() <= d->HOVERTIME + UInt32(kSelectTabDelay)) return;
  if (d->HOVERITEM != d->ACTIVE) {
    TabViewSelect(d->VIEW, d->HOVERITEM);
    Redraw(d);
  }
  d->HOVERTIME = TickCount();
}

OSStatus ContextualClick(TabData* d, EventRef event) {
  CGPoint where{};
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
  CGPoint local = where;
  HIViewConvertPoint(&local, nullptr, d->VIEW);
  TrackTab(d, local, d->TRACKING);
  Point global = HIPointToQD(where);
  if (WindowRef window = HIViewGetWindow(d->VIEW)) {
    SetPortWindowPort(window);
    LocalToGlobal(&global);
  }
  TabInfo tab{};
  if (GetTab(d, ResolveTab(d, d->TRACKING), tab) && tab.MENU && CountMenuItems(tab.MENU) > 1) {
    UInt32 selection = 0;
    MenuID menuID = 0;
    MenuItemIndex item = 0;
    ContextualMenuSelect(tab.MENU, global, false, kCMHelpItemRemoveHelp, nullptr, nullptr, &selection, &menuID,
                         &item);
  }
  return eventNotHandledErr;
}

OSStatus Hit(TabData* d, EventRef event) {
  ControlPartCode part = kControlNoPart;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  if (part == kTabViewCloseBoxPart) {
    // The host decides: nothing is removed here.
    TabPaneInfo pane{};
    if (ShownPane(d, d->TRACKING, pane)) Notify(d, kEventTabClosed, d->TRACKING, pane);
  } else {
    SelectTab(d, d->TRACKING);
  }
  d->TRACKING = 0;
  Redraw(d);
  return noErr;
}

void Destroy(TabData* d) {
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo tab{};
    if (!GetTab(d, i, tab)) continue;
    for (SInt16 p = 1; p <= PaneCount(tab); ++p) {
      TabPaneInfo pane{};
      if (!GetPane(tab, p, pane)) continue;
      if (d->AUTORELEASE && pane.CONTEXT) ReleasePtr(pane.CONTEXT);
      if (pane.ICON) ReleaseMenuIcon(pane.ICON, UInt8(pane.ICONTYPE));
      if (pane.TITLE) CFRelease(pane.TITLE);
    }
    if (tab.PANE) CFRelease(tab.PANE);
    if (tab.MENU) ReleaseMenu(tab.MENU);
  }
  RemoveCommandHandler(d);
  if (d->TIMER) RemoveEventLoopTimer(d->TIMER);
  d->TIMER = nullptr;
  if (d->ITEMS) CFRelease(d->ITEMS);
  d->ITEMS = nullptr;
}

OSStatus ClassHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* d = static_cast<TabData*>(userData);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject) {
    switch (kind) {
      case kEventHIObjectConstruct: {
        auto* record = new TabData{};
        HIObjectRef object = nullptr;
        GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof object, nullptr,
                          &object);
        record->VIEW = reinterpret_cast<ControlRef>(object);
        void* instance = record;
        SetEventParameter(event, kEventParamHIObjectInstance, typeVoidPtr, sizeof instance, &instance);
        return noErr;
      }
      case kEventHIObjectInitialize: {
        const OSStatus status = CallNextEventHandler(call, event);
        if (status != noErr) return status;
        d->CALLBACKS.CREATEPANE = nullptr;
        d->ACTIVE = 0;
        d->TRACKING = 0;
        d->VISIBLE = true;
        d->HILITE = false;
        d->STYLE = kTabStyleStandard;
        d->ITEMS = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
        Err = InstallEventLoopTimer(GetMainEventLoop(), kEventDurationForever, kDragTimerInterval, DragTimer, d,
                                    &d->TIMER);
        Str255 name;
        if (plinthora::GetStringParameter(event, kTabViewKindParameterTag, name)) d->STYLE = GetTabStyleIndex(name);
        return noErr;
      }
      case kEventHIObjectDestruct:
        Destroy(d);
        delete d;
        return noErr;
    }
    return eventNotHandledErr;
  }
  if (cls != kEventClassControl || d == nullptr) return eventNotHandledErr;
  switch (kind) {
    case kEventControlInitialize: {
      HIViewTrackingAreaRef area = nullptr;
      HIViewNewTrackingArea(d->VIEW, nullptr, 0, &area);
      HIViewChangeFeatures(d->VIEW, kHIViewFeatureAllowsSubviews | kHIViewFeatureSupportsDragAndDrop, 0);
      SetControlDragTrackingEnabled(d->VIEW, true);
      plinthora::AttachRecord(d->VIEW, kTabViewCreatorTag, d);
      return noErr;
    }
    case kEventControlDraw:
      InstallCommandHandler(d);
      if (WindowRef window = HIViewGetWindow(d->VIEW)) SetAutomaticControlDragTrackingEnabledForWindow(window, true);
      return DrawTabView(d, event);
    case kEventControlHitTest: {
      CGPoint where{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
      ControlPartCode part = TrackTab(d, where, d->TRACKING);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlHit:
      return Hit(d, event);
    case kEventControlContextualMenuClick:
      return ContextualClick(d, event);
    case kEventControlHiliteChanged:
      Redraw(d);
      return noErr;
    case kEventControlActivate:
    case kEventControlDeactivate:
      Redraw(d);
      return eventNotHandledErr;
    case kEventControlDragEnter:
      return AcceptDrag(d, event);
    case kEventControlDragWithin:
      return TrackDrag(d, event);
    case kEventControlDragLeave:
      EndHover(d);
      return eventNotHandledErr;
    case kEventControlDragReceive:
      return ReceiveDrag(d, event);
  }
  return eventNotHandledErr;
}

}  // namespace

OSStatus RegisterTabViewClass() {
  const OSStatus status = plinthora::RegisterViewClass(kTabViewClassID, ClassHandler,
                                                       sizeof kClassEvents / sizeof *kClassEvents, kClassEvents);
  if (status != noErr) return status;
  LoadTabImages();
  return noErr;
}
