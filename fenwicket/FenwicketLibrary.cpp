// The text view class: registration, the class event handler, binding a
// view to its engine instance, layout, focus, clicks, and the exported
// functions that work on a view or a controller.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Appearance.h"
#include "CFPascal.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

constexpr UInt32 kWasteInitialOptions = 0x60;  // both scroll bars
constexpr EventTypeSpec kClassEvents[] = {
    {kEventClassHIObject, kEventHIObjectConstruct},
    {kEventClassHIObject, kEventHIObjectInitialize},
    {kEventClassHIObject, kEventHIObjectDestruct},
    {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlSetFocusPart},
    {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
    {kEventClassControl, kEventControlContextualMenuClick},
    {kEventClassControl, kEventControlClick},
    {kEventClassControl, kEventControlGetClickActivation},
    {kEventClassControl, kEventControlTrackingAreaExited},
    {kEventClassControl, kEventControlBoundsChanged},
    {kEventClassControl, kEventControlVisibilityChanged},
    {kEventClassControl, kEventControlOwningWindowChanged},
};

Point RoundedPoint(CGPoint p) {
  return Point{SInt16(std::clamp<long>(std::lround(p.y), -32768, 32767)),
               SInt16(std::clamp<long>(std::lround(p.x), -32768, 32767))};
}

// Click activation answers.
enum : UInt32 { kActivateAndIgnoreClick = 1, kActivateAndHandleClick = 3 };

void InitialiseRecord(WasteData* data) {
  StandardCallbacks& cb = data->CALLBACKS;
  cb.SCROLLER = ScrollHook;
  cb.ERASEBACKGROUND = EraseHook;
  cb.TEXTFILTER = TextFilterHook;
  cb.FLUX = FluxHook;
  cb.TRANSLATEDRAG = TranslateDragHook;
  cb.SCROLLBAR = ScrollBarAction;
  cb.TRACKINGHANDLER = DragTrackingHandler;
  cb.RECEIVEHANDLER = DragReceiveHandler;
  cb.CUSTOM = CFArrayCreateMutable(nullptr, 0, &kCFArrayPascal);
  data->OPTIONS = kWasteInitialOptions;
  data->FLUXSTATE = true;
  data->WORDTRACKING.USERDELAY = 0.7f;
  data->SCROLLBARWIDTH = kScrollBarNormal;
  data->GUTTERWIDTH = 30;
  data->BACKGROUND = CGRGB{1, 1, 1, 1};
}

void TearDownRecord(WasteData* data) {
  if (data->CALLBACKS.CUSTOM) CFRelease(data->CALLBACKS.CUSTOM);
  data->CALLBACKS.CUSTOM = nullptr;
  if (data->COMMANDHANDLER) RemoveEventHandler(data->COMMANDHANDLER);
  data->COMMANDHANDLER = nullptr;
  if (data->INPUTHANDLER) RemoveEventHandler(data->INPUTHANDLER);
  data->INPUTHANDLER = nullptr;
  if (data->TIMER) RemoveEventLoopTimer(data->TIMER);
  data->TIMER = nullptr;
  if (data->CONTROLLER) {
    WERemoveProperty(kWasteCreatorTag, kWasteDataPropertyTag, data->CONTROLLER);
    WEDispose(data->CONTROLLER);
  }
  data->CONTROLLER = nullptr;
}

// The view's bounds in root-view coordinates.
CGRect BoundsInRoot(HIViewRef view) {
  CGRect bounds{};
  HIViewGetBounds(view, &bounds);
  HIViewConvertRect(&bounds, view, nullptr);
  return bounds;
}

// A move or a change of height keeps every paragraph's layout: only a new
// width lays them out again (the text engine itself drops the layouts an
// edit or a style change spoils). A split view's animation moves the view at
// each tick, and a console updates its view at each line it appends.
OSStatus Layout(WasteData* data) {
  WEReference we = data->CONTROLLER;
  if (we == nullptr) return noErr;
  const CGRect converted = BoundsInRoot(data->VIEW);
  const Rect bounds = HIRectToQD(converted);
  const SInt32 iTop = SInt32(std::trunc(data->CONTENTINSET.origin.y)) + kBaseInset;
  const SInt32 iLeft = SInt32(std::trunc(data->CONTENTINSET.origin.x)) + kBaseInset;
  const SInt32 iRight = SInt32(std::trunc(data->CONTENTINSET.size.width)) + kBaseInset - 1;
  const SInt32 iBottom = SInt32(std::trunc(data->CONTENTINSET.size.height)) + kBaseInset - 1;

  LongRect viewRect{};
  viewRect.top = bounds.top + iTop;
  viewRect.left = bounds.left + iLeft + (HasOption(data, kWasteViewDrawGutter) ? GutterWidth(data) : 0);
  viewRect.right = HasOption(data, kWasteViewVerticalScrollbar) ? bounds.right - data->SCROLLBARWIDTH - iRight
                                                                : bounds.right - (iRight + 1);
  viewRect.bottom = HasOption(data, kWasteViewHorizantalScrollbar) ? bounds.bottom - data->SCROLLBARWIDTH - iBottom
                                                                   : bounds.bottom - (iBottom + 1);

  // The destination keeps its place relative to the view rectangle, so the
  // scroll position survives a move.
  LongRect oldView{}, dest{};
  WEGetViewRect(&oldView, we);
  WEGetDestRect(&dest, we);
  const SInt32 dTop = viewRect.top - oldView.top;
  const SInt32 dLeft = viewRect.left - oldView.left;
  dest.top += dTop;
  dest.bottom += dTop;
  dest.left += dLeft;
  dest.right = HasOption(data, kWasteViewWordWrap)
                   ? SInt32(std::trunc(converted.origin.x + converted.size.width)) - data->SCROLLBARWIDTH
                   : SInt32(kDestRectWidth);
  LongRect oldDest{};
  WEGetDestRect(&oldDest, we);
  const bool newWidth = dest.right - dest.left != oldDest.right - oldDest.left;
  WESetDestRect(&dest, we);
  WESetViewRect(&viewRect, we);
  if (newWidth) Err = WECalText(we);
  FollowText(data);
  return noErr;
}

OSStatus SetFocusPart(WasteData* data, EventRef event) {
  ControlPartCode part = 0;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  WEReference we = data->CONTROLLER;
  if (part == kControlFocusNoPart) {
    if (we && WEIsActive(we)) WEDeactivate(we);
  } else {
    part = kControlFocusNextPart;
    WindowRef window = HIViewGetWindow(data->VIEW);
    if (we && window && IsWindowActive(window)) WEActivate(we);
  }
  SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  HIViewSetNeedsDisplay(data->VIEW, true);
  return noErr;
}

OSStatus Click(WasteData* data, EventRef event) {
  UInt32 modifiers = 0;
  CGPoint where{};
  UInt16 button = 1;
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
  GetEventParameter(event, kEventParamMouseButton, typeMouseButton, nullptr, sizeof button, nullptr, &button);
  if (!IsControlEnabled(data->VIEW)) return noErr;
  // Moving the focus in from another view goes through the window, so that
  // the view that had it hears that it lost it.
  if (HIViewSubtreeContainsFocus(data->VIEW))
    HIViewAdvanceFocus(data->VIEW, EventModifiers(modifiers));
  else if (WindowRef window = HIViewGetWindow(data->VIEW))
    SetKeyboardFocus(window, data->VIEW, kControlFocusNextPart);
  if (data->CONTROLLER == nullptr) return noErr;
  // Window content coordinates are the root view's.
  return ClickInView(data, RoundedPoint(where), button, modifiers, GetEventTime(event));
}

OSStatus ClickActivation(WasteData* data, EventRef event) {
  CGPoint where{};
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
  UInt32 answer = kActivateAndHandleClick;
  if (data->CONTROLLER) {
    RgnHandle hilite = WEGetHiliteRgn(-1, -1, data->CONTROLLER);
    if (hilite && PtInRgn(RoundedPoint(where), hilite)) answer = kActivateAndIgnoreClick;
    DisposeRgn(hilite);
  }
  SetEventParameter(event, kEventParamClickActivation, typeUInt32, sizeof answer, &answer);
  return noErr;
}

OSStatus ContextualClick(WasteData* data, EventRef event) {
  if (!HIViewSubtreeContainsFocus(data->VIEW) || data->CONTROLLER == nullptr) return eventNotHandledErr;
  CGPoint where{};
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
  if (WindowRef window = HIViewGetWindow(data->VIEW)) SetPortWindowPort(window);
  LongPt pt{};
  WEPointToLongPoint(RoundedPoint(where), &pt);
  WEEdge edge = kLeadingEdge;
  const SInt32 offset = WEGetOffset(&pt, &edge, data->CONTROLLER);
  ShowContextualMenu(data, offset);
  return noErr;
}

OSStatus ClassHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* data = static_cast<WasteData*>(userData);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject) {
    switch (kind) {
      case kEventHIObjectConstruct: {
        auto* record = new WasteData{};
        HIObjectRef object = nullptr;
        GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof object, nullptr,
                          &object);
        record->VIEW = reinterpret_cast<ControlRef>(object);
        void* instance = record;
        SetEventParameter(event, kEventParamHIObjectInstance, typeVoidPtr, sizeof instance, &instance);
        return noErr;
      }
      case kEventHIObjectInitialize:
        InitialiseRecord(data);
        return CallNextEventHandler(call, event);
      case kEventHIObjectDestruct:
        TearDownRecord(data);
        delete data;
        return noErr;
    }
    return eventNotHandledErr;
  }
  if (cls != kEventClassControl || data == nullptr) return eventNotHandledErr;
  switch (kind) {
    case kEventControlInitialize: {
      WasteData* address = data;
      Err = SetControlProperty(data->VIEW, kWasteCreatorTag, kWasteDataPropertyTag, sizeof address, &address);
      CreateScrollBars(data);
      return noErr;
    }
    case kEventControlDraw:
      return data->CONTROLLER ? DrawView(data, event) : noErr;
    case kEventControlSetFocusPart:
      return SetFocusPart(data, event);
    case kEventControlActivate:
      if (data->CONTROLLER && HIViewSubtreeContainsFocus(data->VIEW)) {
        WEActivate(data->CONTROLLER);
        HIViewSetNeedsDisplay(data->VIEW, true);
      }
      return noErr;
    case kEventControlDeactivate:
      if (data->CONTROLLER) WEDeactivate(data->CONTROLLER);
      HIViewSetNeedsDisplay(data->VIEW, true);
      return noErr;
    case kEventControlContextualMenuClick:
      return ContextualClick(data, event);
    case kEventControlClick:
      return Click(data, event);
    case kEventControlGetClickActivation:
      return ClickActivation(data, event);
    case kEventControlTrackingAreaExited:
      return SetThemeCursor(kThemeArrowCursor);
    case kEventControlBoundsChanged:
    case kEventControlOwningWindowChanged:
      return Layout(data);
    case kEventControlVisibilityChanged:
      if (data->CONTROLLER)
        WEFeatureFlag(weFInhibitRedraw, HIViewIsVisible(data->VIEW) ? weBitClear : weBitSet, data->CONTROLLER);
      return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

// --- Window handlers -------------------------------------------------------------------

// The text view under the mouse event, when there is one (and, if asked,
// when its subtree holds the focus).
WasteData* ViewForMouseEvent(WindowRef window, EventRef event, bool focusRequired) {
  HIViewRef root = HIViewGetRoot(window);
  HIViewRef hit = nullptr;
  if (root == nullptr || HIViewGetViewForMouseEvent(root, event, &hit) != noErr || hit == nullptr) return nullptr;
  // A scroll bar of a text view stands for its text view.
  WasteData* data = TextViewAtOrAbove(hit);
  if (data == nullptr || data->CONTROLLER == nullptr) return nullptr;
  if (focusRequired && !HIViewSubtreeContainsFocus(data->VIEW)) return nullptr;
  return data;
}

OSStatus WindowMouseHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto window = static_cast<WindowRef>(userData);
  if (GetEventClass(event) == kEventClassMouse && GetEventKind(event) == kEventMouseWheelMoved) {
    WasteData* data = ViewForMouseEvent(window, event, false);
    if (data == nullptr) return eventNotHandledErr;
    UInt16 axis = 1;
    SInt32 delta = 0;
    GetEventParameter(event, kEventParamMouseWheelAxis, typeMouseWheelAxis, nullptr, sizeof axis, nullptr, &axis);
    GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof delta, nullptr, &delta);
    ScrollByWheel(data, axis, delta);
    return noErr;
  }
  if (GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowCursorChange) {
    WasteData* data = ViewForMouseEvent(window, event, true);
    if (data == nullptr) return eventNotHandledErr;
    CGPoint where{};
    GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
    Point global = HIPointToQD(where);
    SetPortWindowPort(window);
    LocalToGlobal(&global);
    if (WEAdjustCursor(global, nullptr, data->CONTROLLER)) return noErr;
    SetThemeCursor(kThemeArrowCursor);
    return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

// The window's mouse handler and its one pair of drag handlers. The drag
// handlers find the text view under the drag themselves, so one pair serves
// every text view of the window and nothing refers to a view that is gone;
// they end with the window.
void InstallWindowHandlers(WasteData* data, WindowRef window) {
  Boolean installed = false;
  const OSStatus status =
      GetWindowProperty(window, kWasteCreatorTag, kWasteWindowMouseHandlerTag, sizeof installed, nullptr, &installed);
  if (status != errWindowPropertyNotFound) return;
  static const EventTypeSpec kTypes[] = {{kEventClassWindow, kEventWindowCursorChange},
                                         {kEventClassMouse, kEventMouseWheelMoved}};
  Err = InstallEventHandler(GetWindowEventTarget(window), WindowMouseHandler, 2, kTypes, window, &data->MOUSEHANDLER);
  installed = true;
  SetWindowProperty(window, kWasteCreatorTag, kWasteWindowMouseHandlerTag, sizeof installed, &installed);
  Err = InstallTrackingHandler(data->CALLBACKS.TRACKINGHANDLER, window, nullptr);
  Err = InstallReceiveHandler(data->CALLBACKS.RECEIVEHANDLER, window, nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------

namespace fenwicket {

WasteData* DataOfView(HIViewRef view) {
  if (view == nullptr) return nullptr;
  WasteData* data = nullptr;
  if (GetControlProperty(view, kWasteCreatorTag, kWasteDataPropertyTag, sizeof data, nullptr, &data) != noErr)
    return nullptr;
  return data;
}

WasteData* DataOfController(WEReference we) {
  if (we == nullptr) return nullptr;
  WasteData* data = nullptr;
  if (WEGetProperty(kWasteCreatorTag, kWasteDataPropertyTag, sizeof data, nullptr, &data, we) != noErr) return nullptr;
  return data;
}

WasteData* TextViewAtOrAbove(HIViewRef view) {
  for (HIViewRef v = view; v != nullptr; v = HIViewGetSuperview(v))
    if (HIObjectIsOfClass(reinterpret_cast<HIObjectRef>(v), kWasteViewClassID)) return DataOfView(v);
  return nullptr;
}

}  // namespace fenwicket

// ---------------------------------------------------------------------------
// Exports

void RegisterWasteClass() {
  Err = HIObjectRegisterSubclass(kWasteViewClassID, kHIViewClassID, 0, ClassHandler,
                                 sizeof kClassEvents / sizeof kClassEvents[0], kClassEvents, nullptr, nullptr);
}

WEReference WasteCreateController(HIViewRef inView, WindowRef inWindow, WasteViewOptions inOptions) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return nullptr;
  // A view has one instance: binding it twice would leak the first and
  // double every handler and notification.
  if (data->CONTROLLER) return data->CONTROLLER;

  const LongRect dest{0, 0, 0, kDestRectWidth};
  const LongRect view{0, 0, 0, 0};
  WEReference we = nullptr;
  Err = WENew(&dest, &view, OptionBits(kWasteStandardFlags) | OptionBits(weDoMultipleUndo), &we);
  if (we == nullptr) return nullptr;
  data->CONTROLLER = we;
  WERegisterCustomAttribute(WEGutterObject, 2, 4, 'void', we);

  const StandardCallbacks& cb = data->CALLBACKS;
  WESetInfo(weTranslateDragHook, &cb.TRANSLATEDRAG, we);
  WESetInfo(weScrollHook, &cb.SCROLLER, we);
  WESetInfo(weCGEraseHook, &cb.ERASEBACKGROUND, we);
  WESetInfo(weTextFilterHook, &cb.TEXTFILTER, we);
  WESetInfo(weFluxHook, &cb.FLUX, we);

  if (inWindow) InstallWindowHandlers(data, inWindow);

  Err = InstallEventLoopTimer(GetMainEventLoop(), 0, 0.05, TrackingTimer, data, &data->TIMER);
  static const EventTypeSpec kCommands[] = {{kEventClassCommand, kEventCommandProcess},
                                            {kEventClassCommand, kEventCommandUpdateStatus}};
  Err = InstallEventHandler(HIViewGetEventTarget(inView), CommandHandler, 2, kCommands, data, &data->COMMANDHANDLER);
  WESetEventTarget(HIViewGetEventTarget(inView), weTextInputEvents | weServiceEvents, we);
  // Installed after the engine's, so it runs first: whether the text takes
  // a key is asked as the key comes, not only as the view last drew (a
  // client may have changed its answer since).
  static const EventTypeSpec kInput[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent}};
  Err = InstallEventHandler(
      HIViewGetEventTarget(inView),
      [](EventHandlerCallRef, EventRef, void* userData) -> OSStatus {
        fenwicket::ApplyClientsReadOnly(static_cast<WasteData*>(userData));
        return eventNotHandledErr;
      },
      1, kInput, data, &data->INPUTHANDLER);

  WasteData* address = data;
  WESetProperty(kWasteCreatorTag, kWasteDataPropertyTag, sizeof address, &address, we);
  WESetSelection(0, 0, we);
  data->OPTIONS = inOptions;
  ShowScrollBarsForOptions(data);
  Layout(data);
  return we;
}

void WasteSetOptions(HIViewRef inView, WasteViewOptions inOptions) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->OPTIONS = inOptions;
  ShowScrollBarsForOptions(data);
}

void WasteChangeOptions(HIViewRef inView, WasteViewOptions inOptions, Boolean inUnset) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  WasteSetOptions(inView, inUnset ? (data->OPTIONS & ~inOptions) : (data->OPTIONS | inOptions));
}

void WasteSetFluxState(HIViewRef inView, Boolean inState) {
  if (WasteData* data = DataOfView(inView)) data->FLUXSTATE = inState;
}

void WasteUpdateView(HIViewRef inView) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  Layout(data);
  HIViewSetNeedsDisplay(inView, true);
}

void WasteSetGutterWidth(HIViewRef inView, SInt16 inWidth) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->GUTTERWIDTH = inWidth;
  HIViewSetNeedsDisplay(inView, true);
}

void WasteSetWordTrackingDelay(HIViewRef inView, float inDelay) {
  if (WasteData* data = DataOfView(inView)) data->WORDTRACKING.USERDELAY = inDelay;
}

void WasteSetBackgroundColor(HIViewRef inView, CGRGB inColor) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->BACKGROUND = inColor;
  HIViewSetNeedsDisplay(inView, true);
}

void WasteSetBackgroundImage(HIViewRef inView, CGImageRef inImage) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->IMAGE = inImage;
  HIViewSetNeedsDisplay(inView, true);
}

void WasteSetContentInset(HIViewRef inView, CGRect inInset) {
  WasteData* data = DataOfView(inView);
  if (data == nullptr) return;
  data->CONTENTINSET = inInset;
  HIViewSetNeedsDisplay(inView, true);
}

void WasteShowContextualMenu(SInt32 inOffset, HIViewRef inView) {
  WasteData* data = DataOfView(inView);
  if (data && data->CONTROLLER) ShowContextualMenu(data, inOffset);
}

HIViewRef WasteGetControllerView(WEReference inController) {
  WasteData* data = DataOfController(inController);
  return data ? data->VIEW : nullptr;
}

WEReference WasteGetViewController(HIViewRef inView) {
  WasteData* data = DataOfView(inView);
  return data ? data->CONTROLLER : nullptr;
}

CGPoint WEConvertOffsetToScreen(SInt32 inOffset, SInt16& outLineHeight, WEReference inController) {
  LongPt pt{};
  outLineHeight = 0;
  WEGetPoint(inOffset, 1, &pt, &outLineHeight, inController);
  Point qd{};
  WELongPointToPoint(&pt, &qd);
  WasteData* data = DataOfController(inController);
  WindowRef window = data ? HIViewGetWindow(data->VIEW) : nullptr;
  if (window) {
    SetPortWindowPort(window);
    LocalToGlobal(&qd);
  }
  return CGPoint{CGFloat(qd.h), CGFloat(qd.v)};
}

Str255 WEGetStringRange(CFRange inRange, WEReference inController) {
  const SInt32 start = SInt32(inRange.location);
  const SInt32 end = SInt32(inRange.length);  // the END offset
  Str255 result;
  if (inController == nullptr || end <= start) return result;
  Handle h = NewHandle(0);
  if (h == nullptr) return result;
  Err = WEStreamRange(start, end, kFlavorTypeUnicodeText, 0, h, inController);
  if (Err == noErr) {
    const Size size = GetHandleSize(h);
    HLock(h);
    CFStringRef string =
        CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(*h), CFIndex(size / sizeof(UniChar)));
    HUnlock(h);
    if (string) {
      result = CFStringToPascal(string);
      CFRelease(string);
    }
  }
  DisposeHandle(h);
  return result;
}

Str255 WERangeToString(SInt32 inStart, SInt32 inEnd, WEReference inController) {
  Str255 result;
  if (inController == nullptr || inEnd <= inStart) return result;
  const SInt64 count = std::min<SInt64>(SInt64(inEnd) - inStart, 255);
  unsigned char bytes[255];
  for (SInt64 i = 0; i < count; ++i) bytes[i] = WEGetChar(SInt32(inStart + i), inController);
  return Str255::FromBytes(bytes, size_t(count));
}

void WEInvokeUserFluxCallback(SInt32 inOffset, SInt32 inDelta, WEReference inController) {
  if (WasteData* data = DataOfController(inController)) NotifyUserFlux(data, inOffset, inDelta, 0);
}

void WEToggleFluxCallback(WEReference inController) {
  if (WasteData* data = DataOfController(inController)) data->FLUXSTATE = !data->FLUXSTATE;
}

namespace fenwicket {
// Layout for the exports of the other files.
OSStatus LayoutView(WasteData* data) { return Layout(data); }
}  // namespace fenwicket
