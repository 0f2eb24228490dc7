// The window model: records, the front-to-back list with its layers,
// activation, bounds, titles, properties, and the close / closed / dispose
// flow with the standard window handler.
#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "EventTargetInternal.h"
#include "WindowsRecord.h"

namespace {

// Views and rendering live in WindowsViews.cpp.
std::unordered_set<WindowRef>& Records() {
  static auto* s = new std::unordered_set<WindowRef>;
  return *s;
}

// Front to back, every window not yet disposed.
std::vector<WindowRef>& List() {
  static auto* v = new std::vector<WindowRef>;
  return *v;
}

WindowHostHooks gHooks{};
Rect gScreen{0, 0, 900, 1440};
SInt16 gMenuBarHeight = 22;
WindowRef gActive = nullptr;  // the active non-floating window
GrafPtr gPort = nullptr;

bool KnownClass(WindowClass c) {
  switch (c) {
    case kAlertWindowClass: case kModalWindowClass: case kMovableModalWindowClass:
    case kMovableAlertWindowClass: case kFloatingWindowClass: case kDocumentWindowClass:
    case kUtilityWindowClass: case kHelpWindowClass: case kSheetWindowClass: case kToolbarWindowClass:
    case kPlainWindowClass: case kOverlayWindowClass: case kSheetAlertWindowClass: case kAltPlainWindowClass:
    case kDrawerWindowClass:
      return true;
  }
  return false;
}

// Higher layers sit in front of lower ones whatever their order of selection.
int LayerOf(WindowClass c) {
  switch (c) {
    case kHelpWindowClass: case kOverlayWindowClass: return 4;
    case kAlertWindowClass: case kModalWindowClass: case kMovableModalWindowClass: case kMovableAlertWindowClass:
      return 3;
    case kFloatingWindowClass: case kUtilityWindowClass: case kToolbarWindowClass: return 2;
  }
  return 1;
}

// Classes that float: never the active non-floating window.
bool Floats(WindowClass c) { return LayerOf(c) == 2 || c == kHelpWindowClass || c == kOverlayWindowClass; }

SInt16 TitleBarHeight(WindowRef w) {
  if (w->attributes & kWindowNoTitleBarAttribute) return 0;
  switch (w->windowClass) {
    case kDocumentWindowClass: case kMovableModalWindowClass: case kMovableAlertWindowClass: return 22;
    case kFloatingWindowClass: case kUtilityWindowClass: return 16;
  }
  return 0;
}

// The frame above the content: the title bar, and the toolbar strip while it shows.
SInt16 FrameTop(WindowRef w) { return SInt16(TitleBarHeight(w) + w->toolbarHeight); }

Rect StructureOf(WindowRef w) {
  Rect r = w->content;
  r.top = SInt16(r.top - FrameTop(w));
  return r;
}

EventTargetRef ParentOfWindow(void*) { return GetApplicationEventTarget(); }

void Notify(void (*hook)(WindowRef), WindowRef w) {
  if (hook) hook(w);
}

OSStatus SendWindowEvent(WindowRef w, EventClass cls, EventKind kind, void (*fill)(EventRef, void*) = nullptr,
                         void* data = nullptr) {
  EventRef e = nullptr;
  if (CreateEvent(nullptr, cls, kind, 0, 0, &e) != noErr) return eventInternalErr;
  SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &w);
  if (fill) fill(e, data);
  OSStatus st = SendEventToEventTarget(e, w->target);
  ReleaseEvent(e);
  return st;
}

// Places the window at the front of its layer (or right behind another).
void Place(WindowRef w, WindowRef behind) {
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
  const int layer = LayerOf(w->windowClass);
  size_t at = 0;
  if (behind != nullptr) {
    auto it = std::find(list.begin(), list.end(), behind);
    at = it == list.end() ? list.size() : size_t(it - list.begin()) + 1;
    // Keep the layers apart.
    while (at < list.size() && LayerOf(list[at]->windowClass) > layer) ++at;
    while (at > 0 && LayerOf(list[at - 1]->windowClass) < layer) --at;
  } else {
    while (at < list.size() && LayerOf(list[at]->windowClass) > layer) ++at;
  }
  list.insert(list.begin() + at, w);
}

void PlaceAtBack(WindowRef w) {
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
  const int layer = LayerOf(w->windowClass);
  size_t at = 0;
  while (at < list.size() && LayerOf(list[at]->windowClass) >= layer) ++at;
  list.insert(list.begin() + at, w);
}

bool CanActivate(WindowRef w) {
  return w->visible && !Floats(w->windowClass) && (w->attributes & kWindowNoActivatesAttribute) == 0 &&
         w->activationScope != kWindowActivationScopeNone;
}

void SetActiveState(WindowRef w, bool active) {
  if (w->active == active) return;
  w->active = active;
  w->hilited = active;
  WindowRootActivationChanged(w, active);
  SendWindowEvent(w, kEventClassWindow, active ? kEventWindowActivated : kEventWindowDeactivated);
  Notify(gHooks.invalidated, w);
}

// The front visible window that may be the active one.
WindowRef FrontActivatable() {
  for (WindowRef w : List())
    if (CanActivate(w)) return w;
  return nullptr;
}

// Makes the window the active non-floating one (nil: none).
void MakeActive(WindowRef w) {
  if (gActive == w) return;
  WindowRef old = gActive;
  gActive = w;
  if (old != nullptr && WindowIsLive(old)) SetActiveState(old, false);
  if (w != nullptr && gActive == w) SetActiveState(w, true);
}

// After a hide or a disposal the window in front takes over.
void ActivateFront() { MakeActive(FrontActivatable()); }

void FreeRecord(WindowRef w) {
  Records().erase(w);
  delete w;
}

void BoundsFill(EventRef e, void* data) {
  auto* d = static_cast<std::pair<Rect, Rect>*>(data);
  UInt32 attributes = 0;
  const Rect& a = d->first;
  const Rect& b = d->second;
  if (a.left != b.left || a.top != b.top) attributes |= kWindowBoundsChangeOriginChanged;
  if (a.right - a.left != b.right - b.left || a.bottom - a.top != b.bottom - b.top)
    attributes |= kWindowBoundsChangeSizeChanged;
  SetEventParameter(e, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
  SetEventParameter(e, kEventParamOriginalBounds, typeQDRectangle, sizeof(Rect), &a);
  SetEventParameter(e, kEventParamPreviousBounds, typeQDRectangle, sizeof(Rect), &a);
  SetEventParameter(e, kEventParamCurrentBounds, typeQDRectangle, sizeof(Rect), &b);
}

// Changes the content bounds, lays the views out and tells the handlers.
void SetContent(WindowRef w, Rect content) {
  Rect old = w->content;
  if (std::memcmp(&old, &content, sizeof(Rect)) == 0) return;
  w->content = content;
  WindowRootResized(w);
  std::pair<Rect, Rect> change{old, content};
  SendWindowEvent(w, kEventClassWindow, kEventWindowBoundsChanged, BoundsFill, &change);
  Notify(gHooks.boundsChanged, w);
}

SInt16 Clamp16(long v) { return SInt16(std::clamp<long>(v, -32768, 32767)); }

}  // namespace

void WindowSetToolbarHeight(WindowRef w, SInt16 height) {
  if (!WindowIsLive(w) || w->toolbarHeight == height) return;
  // The structure's top stays; the content keeps its size and moves.
  const SInt16 shift = SInt16(height - w->toolbarHeight);
  Rect c = w->content;
  w->toolbarHeight = height;
  SetContent(w, Rect{Clamp16(long(c.top) + shift), c.left, Clamp16(long(c.bottom) + shift), c.right});
  Notify(gHooks.boundsChanged, w);
}

// --- Internal ---------------------------------------------------------------------

bool WindowIsLive(WindowRef w) { return w != nullptr && Records().count(w) != 0 && !w->disposed; }
EventTargetRef WindowTarget(WindowRef w) { return WindowIsLive(w) ? w->target : nullptr; }
HIViewRef WindowRootView(WindowRef w) { return WindowIsLive(w) ? w->root : nullptr; }
CGRect WindowContentBounds(WindowRef w) {
  if (!WindowIsLive(w)) return CGRect{};
  const Rect& r = w->content;
  return CGRect{{double(r.left), double(r.top)}, {double(r.right - r.left), double(r.bottom - r.top)}};
}
RGBColor WindowContentColorOf(WindowRef w) { return WindowIsLive(w) ? w->contentColor : RGBColor{}; }

void WindowSetScreenBounds(const Rect& screen, SInt16 menuBarHeight) {
  gScreen = screen;
  gMenuBarHeight = menuBarHeight;
}

void WindowSetHostHooks(const WindowHostHooks* hooks) { gHooks = hooks ? *hooks : WindowHostHooks{}; }

// --- Life -----------------------------------------------------------------------------

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* contentBounds,
                         WindowRef* outWindow) {
  if (outWindow == nullptr) return paramErr;
  *outWindow = nullptr;
  if (!EventCoreCheckMainThread("CreateNewWindow")) return eventInternalErr;
  if (!KnownClass(windowClass)) return errUnrecognizedWindowClass;
  if (contentBounds == nullptr || contentBounds->right < contentBounds->left ||
      contentBounds->bottom < contentBounds->top)
    return paramErr;
  auto* w = new (std::nothrow) __CWindow;
  if (w == nullptr) return memFullErr;
  w->windowClass = windowClass;
  w->attributes = attributes;
  w->content = *contentBounds;
  w->contentColor = RGBColor{0xECEC, 0xECEC, 0xECEC};
  w->target = EventTargetCreate(w, ParentOfWindow);
  Records().insert(w);
  Place(w, nullptr);
  if (!WindowMakeRootView(w)) {
    List().erase(std::remove(List().begin(), List().end(), w), List().end());
    EventTargetDispose(w->target);
    FreeRecord(w);
    return memFullErr;
  }
  if (attributes & kWindowStandardHandlerAttribute) InstallStandardEventHandler(w->target);
  Notify(gHooks.created, w);
  *outWindow = w;
  return noErr;
}

namespace {

// Ends the window: out of the list, closed and dispose events, views gone.
// The caller holds a reference across the call, so the record outlives the
// handlers that run here.
void EndWindow(WindowRef w) {
  if (w->disposed) return;
  // A sheet goes with its parent; a parent loses its sheet.
  if (w->sheet && WindowIsLive(w->sheet)) DisposeWindow(w->sheet);
  if (w->sheetParent && Records().count(w->sheetParent) && w->sheetParent->sheet == w)
    w->sheetParent->sheet = nullptr;
  w->modalQuit = true;
  if (w->modalRuns > 0) QuitEventLoop(GetMainEventLoop());  // its modal run ends with it
  const bool wasActive = gActive == w;
  w->visible = false;
  if (wasActive) {
    gActive = nullptr;
    SetActiveState(w, false);
  }
  List().erase(std::remove(List().begin(), List().end(), w), List().end());
  if (wasActive) ActivateFront();
  SendWindowEvent(w, kEventClassWindow, kEventWindowClosed);
  SendWindowEvent(w, kEventClassWindow, kEventWindowDispose);
  w->disposed = true;
  if (gPort == w) gPort = nullptr;
  WindowDropToolbar(w);
  WindowDropRootView(w);
  Notify(gHooks.disposed, w);
  EventTargetDispose(w->target);
  w->target = nullptr;
  if (w->title) CFRelease(w->title);
  w->title = nullptr;
  w->properties.clear();
}

// Ends the window with a guard reference held, then drops the guard; answers
// whether the record is gone (a handler may have let go of references).
bool EndGuarded(WindowRef w) {
  ++w->refs;
  EndWindow(w);
  if (--w->refs <= 0) {
    FreeRecord(w);
    return true;
  }
  return false;
}

}  // namespace

void DisposeWindow(WindowRef window) {
  if (!WindowIsLive(window)) return;
  if (EndGuarded(window)) return;
  // The creator's reference goes with it; others keep the (dead) record.
  if (--window->refs <= 0) FreeRecord(window);
}

OSStatus RetainWindow(WindowRef window) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  ++window->refs;
  return noErr;
}

OSStatus ReleaseWindow(WindowRef window) {
  if (window == nullptr || Records().count(window) == 0 || window->refs <= 0) return errInvalidWindowRef;
  if (window->refs == 1 && !window->disposed) {
    if (EndGuarded(window)) return noErr;
  }
  if (--window->refs <= 0) FreeRecord(window);
  return noErr;
}

ItemCount GetWindowRetainCount(WindowRef window) {
  return window != nullptr && Records().count(window) ? ItemCount(window->refs) : 0;
}

Boolean IsValidWindowPtr(WindowPtr possibleWindow) { return WindowIsLive(possibleWindow); }

// --- Class and attributes ------------------------------------------------------------

OSStatus GetWindowClass(WindowRef window, WindowClass* outClass) {
  if (outClass == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  *outClass = window->windowClass;
  return noErr;
}

OSStatus SetWindowClass(WindowRef window, WindowClass inWindowClass) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  if (!KnownClass(inWindowClass)) return errUnrecognizedWindowClass;
  Rect structure = StructureOf(window);
  window->windowClass = inWindowClass;
  // The structure stays where it was; the content follows the new frame.
  window->content.top = SInt16(structure.top + FrameTop(window));
  Place(window, nullptr);
  if (gActive == window && !CanActivate(window)) ActivateFront();
  return noErr;
}

OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes) {
  if (outAttributes == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  *outAttributes = window->attributes;
  return noErr;
}

OSStatus ChangeWindowAttributes(WindowRef window, WindowAttributes setTheseAttributes,
                                WindowAttributes clearTheseAttributes) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  if (setTheseAttributes & clearTheseAttributes) return windowAttributesConflictErr;
  Rect structure = StructureOf(window);
  const bool hadStandard = window->attributes & kWindowStandardHandlerAttribute;
  window->attributes = (window->attributes | setTheseAttributes) & ~clearTheseAttributes;
  window->content.top = SInt16(structure.top + FrameTop(window));
  if (!hadStandard && (window->attributes & kWindowStandardHandlerAttribute))
    InstallStandardEventHandler(window->target);
  Notify(gHooks.invalidated, window);
  return noErr;
}

OSStatus SetWindowModality(WindowRef inWindow, WindowModality inModalKind, WindowRef inUnavailableWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inModalKind > kWindowModalityWindowModal) return paramErr;
  inWindow->modality = inModalKind;
  inWindow->modalParent = inModalKind == kWindowModalityWindowModal ? inUnavailableWindow : nullptr;
  return noErr;
}

OSStatus GetWindowModality(WindowRef inWindow, WindowModality* outModalKind, WindowRef* outUnavailableWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (outModalKind) *outModalKind = inWindow->modality;
  if (outUnavailableWindow) *outUnavailableWindow = inWindow->modalParent;
  return noErr;
}

// --- Geometry ------------------------------------------------------------------------------

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds) {
  if (globalBounds == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  Rect s = StructureOf(window);
  switch (regionCode) {
    case kWindowContentRgn: case kWindowGlobalPortRgn: case kWindowUpdateRgn:
      *globalBounds = window->content;
      return noErr;
    case kWindowStructureRgn: case kWindowOpaqueRgn:
      *globalBounds = s;
      return noErr;
    case kWindowTitleBarRgn: case kWindowDragRgn: case kWindowTitleTextRgn:
      *globalBounds = Rect{s.top, s.left, window->content.top, s.right};
      return noErr;
    case kWindowCloseBoxRgn:
      if (TitleBarHeight(window) == 0 || !(window->attributes & kWindowCloseBoxAttribute)) return paramErr;
      *globalBounds = Rect{SInt16(s.top + 4), SInt16(s.left + 8), SInt16(s.top + 18), SInt16(s.left + 22)};
      return noErr;
    case kWindowGrowRgn:
      if (!(window->attributes & kWindowResizableAttribute)) return paramErr;
      *globalBounds = Rect{SInt16(s.bottom - 15), SInt16(s.right - 15), s.bottom, s.right};
      return noErr;
  }
  return paramErr;
}

OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, const Rect* globalBounds) {
  if (globalBounds == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  if (globalBounds->right < globalBounds->left || globalBounds->bottom < globalBounds->top) return paramErr;
  Rect content = *globalBounds;
  if (regionCode == kWindowStructureRgn) {
    content.top = Clamp16(long(content.top) + FrameTop(window));
    if (content.bottom < content.top) content.bottom = content.top;
  } else if (regionCode != kWindowContentRgn) {
    return paramErr;
  }
  SetContent(window, content);
  return noErr;
}

OSStatus HIWindowGetBounds(WindowRef inWindow, WindowRegionCode inRegion, UInt32, HIRect* outBounds) {
  if (outBounds == nullptr) return paramErr;
  Rect r;
  OSStatus st = GetWindowBounds(inWindow, inRegion, &r);
  if (st != noErr) return st;
  *outBounds = HIRect{{double(r.left), double(r.top)}, {double(r.right - r.left), double(r.bottom - r.top)}};
  return noErr;
}

void MoveWindow(WindowRef window, short hGlobal, short vGlobal, Boolean front) {
  if (!WindowIsLive(window)) return;
  Rect c = window->content;
  Rect moved{vGlobal, hGlobal, Clamp16(long(vGlobal) + (c.bottom - c.top)), Clamp16(long(hGlobal) + (c.right - c.left))};
  SetContent(window, moved);
  if (front) SelectWindow(window);
}

void SizeWindow(WindowRef window, short w, short h, Boolean) {
  if (!WindowIsLive(window) || w < 0 || h < 0) return;
  Rect c = window->content;
  SetContent(window, Rect{c.top, c.left, Clamp16(long(c.top) + h), Clamp16(long(c.left) + w)});
}

Rect* GetWindowPortBounds(WindowRef window, Rect* bounds) {
  if (bounds == nullptr) return nullptr;
  *bounds = Rect{0, 0, 0, 0};
  if (WindowIsLive(window)) {
    const Rect& c = window->content;
    *bounds = Rect{0, 0, SInt16(c.bottom - c.top), SInt16(c.right - c.left)};
  }
  return bounds;
}

OSStatus GetAvailableWindowPositioningBounds(GDHandle, Rect* outAvailableRect) {
  if (outAvailableRect == nullptr) return paramErr;
  *outAvailableRect = gScreen;
  outAvailableRect->top = SInt16(gScreen.top + gMenuBarHeight);
  return noErr;
}

OSStatus HIWindowGetAvailablePositioningBounds(UInt32, UInt32, HIRect* outAvailableRect) {
  if (outAvailableRect == nullptr) return paramErr;
  Rect r;
  GetAvailableWindowPositioningBounds(nullptr, &r);
  *outAvailableRect = HIRect{{double(r.left), double(r.top)}, {double(r.right - r.left), double(r.bottom - r.top)}};
  return noErr;
}

OSStatus RepositionWindow(WindowRef window, WindowRef parentWindow, WindowPositionMethod method) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  const bool onParent = method == kWindowCenterOnParentWindow || method == kWindowCascadeOnParentWindow ||
                        method == kWindowAlertPositionOnParentWindow;
  if (method < kWindowCenterOnMainScreen || method > kWindowCascadeStartAtParentWindowScreen) return paramErr;
  if (onParent && !WindowIsLive(parentWindow)) return paramErr;
  Rect area;
  GetAvailableWindowPositioningBounds(nullptr, &area);
  Rect s = StructureOf(window);
  const long width = s.right - s.left, height = s.bottom - s.top;
  long left = 0, top = 0;
  switch (method) {
    case kWindowCascadeOnMainScreen: case kWindowCascadeOnParentWindow: case kWindowCascadeOnParentWindowScreen:
    case kWindowCascadeStartAtParentWindowScreen: {
      // Down and right of the reference window, wrapping at the screen's edge.
      Rect ref = onParent || WindowIsLive(parentWindow) ? StructureOf(parentWindow) : area;
      left = ref.left + 20;
      top = ref.top + 20;
      if (left + width > area.right) left = area.left;
      if (top + height > area.bottom) top = area.top;
      break;
    }
    default: {
      Rect ref = onParent ? StructureOf(parentWindow) : area;
      left = ref.left + ((ref.right - ref.left) - width) / 2;
      top = ref.top + ((ref.bottom - ref.top) - height) / 2;
      if (method == kWindowAlertPositionOnMainScreen || method == kWindowAlertPositionOnParentWindow ||
          method == kWindowAlertPositionOnParentWindowScreen)
        top = ref.top + ((ref.bottom - ref.top) - height) / 3;  // alerts sit higher than centre
      if (top < area.top) top = area.top;
      break;
    }
  }
  const SInt16 bar = FrameTop(window);
  Rect c = window->content;
  SetContent(window, Rect{Clamp16(top + bar), Clamp16(left), Clamp16(top + bar + (c.bottom - c.top)),
                          Clamp16(left + (c.right - c.left))});
  return noErr;
}

OSStatus SetWindowResizeLimits(WindowRef inWindow, const HISize* inMinLimits, const HISize* inMaxLimits) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inMinLimits) inWindow->minLimits = *inMinLimits;
  if (inMaxLimits) inWindow->maxLimits = *inMaxLimits;
  return noErr;
}

OSStatus GetWindowResizeLimits(WindowRef inWindow, HISize* outMinLimits, HISize* outMaxLimits) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (outMinLimits) *outMinLimits = inWindow->minLimits;
  if (outMaxLimits) *outMaxLimits = inWindow->maxLimits;
  return noErr;
}

// --- Title, modified mark, proxy ---------------------------------------------------------

OSStatus SetWindowTitleWithCFString(WindowRef inWindow, CFStringRef inString) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inString != nullptr && CFGetTypeID(inString) != CFStringGetTypeID()) return paramErr;
  CFStringRef copy = inString ? CFStringCreateCopy(nullptr, inString) : nullptr;
  if (inString && copy == nullptr) return memFullErr;
  if (inWindow->title) CFRelease(inWindow->title);
  inWindow->title = copy;
  Notify(gHooks.titleChanged, inWindow);
  return noErr;
}

OSStatus CopyWindowTitleAsCFString(WindowRef inWindow, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  *outString = nullptr;
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  *outString = inWindow->title ? CFStringRef(CFRetain(inWindow->title)) : CFStringMakeConstantUTF8("");
  if (!inWindow->title) CFRetain(*outString);
  return noErr;
}

OSStatus SetWindowModified(WindowRef window, Boolean modified) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->modified = modified != 0;
  Notify(gHooks.titleChanged, window);
  return noErr;
}

Boolean IsWindowModified(WindowRef window) { return WindowIsLive(window) && window->modified; }

OSStatus SetWindowProxyFSRef(WindowRef window, const FSRef* inRef) {
  if (inRef == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->proxy = *inRef;
  window->hasProxy = true;
  window->proxyByType = false;
  Notify(gHooks.titleChanged, window);
  return noErr;
}

OSStatus HIWindowSetProxyFSRef(WindowRef window, const FSRef* inRef) { return SetWindowProxyFSRef(window, inRef); }

OSStatus GetWindowProxyFSRef(WindowRef window, FSRef* outRef) {
  if (outRef == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  if (!window->hasProxy || window->proxyByType) return errWindowDoesNotHaveProxy;
  *outRef = window->proxy;
  return noErr;
}

OSStatus SetWindowProxyCreatorAndType(WindowRef window, OSType fileCreator, OSType fileType, SInt16) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->hasProxy = true;
  window->proxyByType = true;
  window->proxyCreator = fileCreator;
  window->proxyType = fileType;
  Notify(gHooks.titleChanged, window);
  return noErr;
}

OSStatus RemoveWindowProxy(WindowRef window) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->hasProxy = false;
  window->proxyByType = false;
  Notify(gHooks.titleChanged, window);
  return noErr;
}

// --- Data ----------------------------------------------------------------------------------

OSStatus SetWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag,
                           ByteCount propertySize, const void* propertyBuffer) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  if (propertySize > 0 && propertyBuffer == nullptr) return paramErr;
  try {
    auto* bytes = static_cast<const UInt8*>(propertyBuffer);
    window->properties[{propertyCreator, propertyTag}].assign(bytes, bytes + propertySize);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag,
                           ByteCount bufferSize, ByteCount* actualSize, void* propertyBuffer) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  auto it = window->properties.find({propertyCreator, propertyTag});
  if (it == window->properties.end()) return errWindowPropertyNotFound;
  const ByteCount size = ByteCount(it->second.size());
  if (propertyBuffer != nullptr) {
    if (bufferSize < size) return errInvalidWindowProperty;
    if (size) std::memcpy(propertyBuffer, it->second.data(), size);
  }
  if (actualSize) *actualSize = size;
  return noErr;
}

OSStatus GetWindowPropertySize(WindowRef window, PropertyCreator creator, PropertyTag tag, ByteCount* size) {
  if (size == nullptr) return paramErr;
  return GetWindowProperty(window, creator, tag, 0, size, nullptr);
}

OSStatus RemoveWindowProperty(WindowRef window, PropertyCreator propertyCreator, PropertyTag propertyTag) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  return window->properties.erase({propertyCreator, propertyTag}) ? noErr : OSStatus(errWindowPropertyNotFound);
}

void SetWRefCon(WindowRef window, SRefCon data) {
  if (WindowIsLive(window)) window->refCon = data;
}
SRefCon GetWRefCon(WindowRef window) { return WindowIsLive(window) ? window->refCon : 0; }
void SetWindowKind(WindowRef window, SInt16 kind) {
  if (WindowIsLive(window)) window->kind = kind;
}
SInt16 GetWindowKind(WindowRef window) { return WindowIsLive(window) ? window->kind : 0; }

OSStatus SetAutomaticControlDragTrackingEnabledForWindow(WindowRef inWindow, Boolean inTracks) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  inWindow->dragTracking = inTracks != 0;
  return noErr;
}

OSStatus IsAutomaticControlDragTrackingEnabledForWindow(WindowRef inWindow, Boolean* outTracks) {
  if (outTracks == nullptr) return paramErr;
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  *outTracks = inWindow->dragTracking;
  return noErr;
}

OSStatus SetWindowContentColor(WindowRef window, const RGBColor* color) {
  if (color == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->contentColor = *color;
  Notify(gHooks.invalidated, window);
  return noErr;
}

OSStatus GetWindowContentColor(WindowRef window, RGBColor* color) {
  if (color == nullptr) return paramErr;
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  *color = window->contentColor;
  return noErr;
}

OSStatus SetThemeWindowBackground(WindowRef inWindow, SInt16 inBrush, Boolean) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  // The theme's window backgrounds: active and inactive dialogs and documents,
  // sheets, utility windows; anything else is the plain light grey.
  RGBColor c{0xECEC, 0xECEC, 0xECEC};
  switch (inBrush) {
    case 2: case 4: c = RGBColor{0xF6F6, 0xF6F6, 0xF6F6}; break;                       // inactive backgrounds
    case 15: case 56: c = RGBColor{0xE8E8, 0xE8E8, 0xE8E8}; break;                      // sheet / drawer
    case -1: c = RGBColor{0xFFFF, 0xFFFF, 0xFFFF}; break;                               // white
    case -2: c = RGBColor{0, 0, 0}; break;                                              // black
  }
  inWindow->contentColor = c;
  Notify(gHooks.invalidated, inWindow);
  return noErr;
}

// --- Visibility, order, activation ----------------------------------------------------------

void ShowWindow(WindowRef window) {
  if (!WindowIsLive(window) || window->visible) return;
  SendWindowEvent(window, kEventClassWindow, kEventWindowShowing);
  if (!WindowIsLive(window)) return;
  window->visible = true;
  if (gHooks.visibilityChanged) gHooks.visibilityChanged(window, true);
  SendWindowEvent(window, kEventClassWindow, kEventWindowShown);
  if (WindowIsLive(window) && CanActivate(window) && FrontActivatable() == window) MakeActive(window);
}

void HideWindow(WindowRef window) {
  if (!WindowIsLive(window) || !window->visible) return;
  SendWindowEvent(window, kEventClassWindow, kEventWindowHiding);
  if (!WindowIsLive(window)) return;
  window->visible = false;
  if (gHooks.visibilityChanged) gHooks.visibilityChanged(window, false);
  if (gActive == window) ActivateFront();
  SendWindowEvent(window, kEventClassWindow, kEventWindowHidden);
}

void ShowHide(WindowRef window, Boolean showFlag) {
  if (showFlag)
    ShowWindow(window);
  else
    HideWindow(window);
}

Boolean IsWindowVisible(WindowRef window) { return WindowIsLive(window) && window->visible; }

void BringToFront(WindowRef window) {
  if (!WindowIsLive(window)) return;
  Place(window, nullptr);
  if (window->sheet && WindowIsLive(window->sheet)) Place(window->sheet, nullptr);
  Notify(gHooks.orderChanged, window);
}

void SelectWindow(WindowRef window) {
  if (!WindowIsLive(window)) return;
  // A parent with a sheet hands the selection to the sheet.
  if (window->sheet && WindowIsLive(window->sheet) && window->sheet->visible) window = window->sheet;
  BringToFront(window);
  if (CanActivate(window)) MakeActive(window);
}

void SendBehind(WindowRef window, WindowRef behindWindow) {
  if (!WindowIsLive(window) || window == behindWindow) return;
  if (behindWindow != nullptr && WindowIsLive(behindWindow))
    Place(window, behindWindow);
  else
    PlaceAtBack(window);
  Notify(gHooks.orderChanged, window);
  if (gActive == window) ActivateFront();
}

OSStatus ActivateWindow(WindowRef inWindow, Boolean inActivate) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inActivate) {
    // A pop-up looks active but leaves the active window as it is.
    if (Floats(inWindow->windowClass) || inWindow->activationScope == kWindowActivationScopeNone)
      SetActiveState(inWindow, true);
    else
      MakeActive(inWindow);
  } else if (gActive == inWindow) {
    gActive = nullptr;
    SetActiveState(inWindow, false);
  } else {
    SetActiveState(inWindow, false);
  }
  return noErr;
}

// --- Look and activation scope -------------------------------------------------------------

OSStatus SetWindowAlpha(WindowRef inWindow, CGFloat inAlpha) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  inWindow->alpha = std::clamp<CGFloat>(inAlpha, 0, 1);
  Notify(gHooks.styleChanged, inWindow);
  return noErr;
}

OSStatus GetWindowAlpha(WindowRef inWindow, CGFloat* outAlpha) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (outAlpha == nullptr) return paramErr;
  *outAlpha = inWindow->alpha;
  return noErr;
}

OSStatus SetWindowActivationScope(WindowRef inWindow, WindowActivationScope inScope) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inScope > kWindowActivationScopeAll) return paramErr;
  inWindow->activationScope = inScope;
  if (gActive == inWindow && !CanActivate(inWindow)) {
    gActive = nullptr;
    SetActiveState(inWindow, false);
    ActivateFront();
  }
  Notify(gHooks.styleChanged, inWindow);
  return noErr;
}

OSStatus GetWindowActivationScope(WindowRef inWindow, WindowActivationScope* outScope) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (outScope == nullptr) return paramErr;
  *outScope = inWindow->activationScope;
  return noErr;
}

Boolean IsWindowActive(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return false;
  // Floating windows look active while they show.
  if (Floats(inWindow->windowClass)) return inWindow->visible || inWindow->active;
  return inWindow->active;
}

OSStatus HiliteWindow(WindowRef window, Boolean fHilite) {
  if (!WindowIsLive(window)) return errInvalidWindowRef;
  window->hilited = fHilite != 0;
  Notify(gHooks.invalidated, window);
  return noErr;
}

Boolean IsWindowHilited(WindowRef window) { return WindowIsLive(window) && window->hilited; }

WindowRef FrontWindow() {
  for (WindowRef w : List())
    if (w->visible) return w;
  return nullptr;
}

WindowRef FrontNonFloatingWindow() {
  for (WindowRef w : List())
    if (w->visible && !Floats(w->windowClass)) return w;
  return nullptr;
}

WindowRef ActiveNonFloatingWindow() { return gActive; }

WindowRef GetNextWindowOfClass(WindowRef inWindow, WindowClass inWindowClass, Boolean mustBeVisible) {
  auto& list = List();
  size_t start = 0;
  if (inWindow != nullptr) {
    auto it = std::find(list.begin(), list.end(), inWindow);
    if (it == list.end()) return nullptr;
    start = size_t(it - list.begin()) + 1;
  }
  for (size_t i = start; i < list.size(); ++i) {
    WindowRef w = list[i];
    if ((inWindowClass == kAllWindowClasses || w->windowClass == inWindowClass) && (!mustBeVisible || w->visible))
      return w;
  }
  return nullptr;
}

WindowRef GetFrontWindowOfClass(WindowClass inWindowClass, Boolean mustBeVisible) {
  return GetNextWindowOfClass(nullptr, inWindowClass, mustBeVisible);
}

WindowRef GetWindowList() { return List().empty() ? nullptr : List().front(); }

WindowRef GetNextWindow(WindowRef window) {
  auto& list = List();
  auto it = std::find(list.begin(), list.end(), window);
  if (it == list.end() || ++it == list.end()) return nullptr;
  return *it;
}

WindowRef GetUserFocusWindow() { return gActive; }

OSStatus SetUserFocusWindow(WindowRef inWindow) {
  if (inWindow == nullptr) {
    MakeActive(nullptr);
    return noErr;
  }
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (!CanActivate(inWindow)) return windowWrongStateErr;
  MakeActive(inWindow);
  return noErr;
}

EventTargetRef GetWindowEventTarget(WindowRef inWindow) { return WindowTarget(inWindow); }

EventTargetRef GetUserFocusEventTarget() {
  WindowRef w = gActive;
  if (!WindowIsLive(w)) return GetApplicationEventTarget();
  // A window's sheet keeps it from input: what is typed goes to the sheet;
  // a modal dialog shown keeps every window from it.
  if (WindowIsLive(w->sheet) && IsWindowVisible(w->sheet)) w = w->sheet;
  for (WindowClass c : {kAlertWindowClass, kMovableModalWindowClass, kModalWindowClass})
    if (WindowRef modal = GetFrontWindowOfClass(c, true); modal != nullptr && modal != w && modal->sheetParent == nullptr) {
      w = modal;
      break;
    }
  return WindowFocusTarget(w);
}

CGrafPtr GetWindowPort(WindowRef window) { return WindowIsLive(window) ? window : nullptr; }
WindowRef GetWindowFromPort(CGrafPtr port) { return WindowIsLive(port) ? port : nullptr; }
void SetPortWindowPort(WindowRef window) {
  if (WindowIsLive(window)) gPort = window;
}
void SetPort(GrafPtr port) { gPort = WindowIsLive(port) ? port : nullptr; }
void GetPort(GrafPtr* port) {
  if (port) *port = gPort;
}

void LocalToGlobal(Point* pt) {
  if (pt == nullptr || !WindowIsLive(gPort)) return;
  pt->h = Clamp16(long(pt->h) + gPort->content.left);
  pt->v = Clamp16(long(pt->v) + gPort->content.top);
}

void GlobalToLocal(Point* pt) {
  if (pt == nullptr || !WindowIsLive(gPort)) return;
  pt->h = Clamp16(long(pt->h) - gPort->content.left);
  pt->v = Clamp16(long(pt->v) - gPort->content.top);
}

// --- Standard behaviour ---------------------------------------------------------------------

namespace {

// The enabled, visible push button of the window marked with tag (default
// or cancel), depth first.
HIViewRef MarkedButton(HIViewRef view, ResType tag) {
  for (HIViewRef v = HIViewGetFirstSubview(view); v != nullptr; v = HIViewGetNextView(v)) {
    Boolean marked = false;
    if (GetControlData(v, kControlEntireControl, tag, sizeof marked, &marked, nullptr) == noErr && marked &&
        HIViewIsVisible(v) && IsControlEnabled(v))
      return v;
    if (HIViewRef inner = MarkedButton(v, tag)) return inner;
  }
  return nullptr;
}

// Return and Enter press a dialog's default button, Escape its Cancel
// button, when nothing in the window took the key.
OSStatus PressMarkedButton(WindowRef w, EventRef event) {
  UInt32 code = 0, modifiers = 0;
  GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  constexpr UInt32 kCommandOptionControl = (1u << 8) | (1u << 11) | (1u << 12);
  if ((modifiers & kCommandOptionControl) != 0) return eventNotHandledErr;
  constexpr UInt32 kReturnKey = 36, kEnterKey = 76, kEscapeKey = 53;
  const ResType tag = code == kReturnKey || code == kEnterKey ? kControlPushButtonDefaultTag
                      : code == kEscapeKey                    ? kControlPushButtonCancelTag
                                                              : 0;
  if (tag == 0) return eventNotHandledErr;
  HIViewRef button = MarkedButton(HIViewGetRoot(w), tag);
  if (button == nullptr) return eventNotHandledErr;
  HIViewSimulateClick(button, kControlButtonPart, 0, nullptr);
  return noErr;
}

OSStatus StandardWindowHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* w = static_cast<WindowRef>(userData);
  if (!WindowIsLive(w)) return eventNotHandledErr;
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassKeyboard && kind == kEventRawKeyDown) return PressMarkedButton(w, event);
  if (cls == kEventClassWindow && kind == kEventWindowClose) {
    // Nobody above took the close: the window goes.
    DisposeWindow(w);
    return noErr;
  }
  if (cls == kEventClassCommand) {
    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                          &command) != noErr)
      return eventNotHandledErr;
    const bool closable = (w->attributes & kWindowCloseBoxAttribute) != 0;
    const bool zoomable = (w->attributes & kWindowFullZoomAttribute) != 0;
    if (kind == kEventCommandUpdateStatus && (command.attributes & kHICommandFromMenu)) {
      if (command.commandID == kHICommandClose || command.commandID == kHICommandZoomWindow) {
        const bool on = command.commandID == kHICommandClose ? closable : zoomable;
        if (on)
          EnableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
        else
          DisableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
        return noErr;
      }
      return eventNotHandledErr;
    }
    if (kind == kEventCommandProcess) {
      if (command.commandID == kHICommandClose && closable) return HIWindowClose(w);
      if (command.commandID == kHICommandZoomWindow && zoomable) return ZoomWindowIdeal(w, 8, nullptr);
    }
  }
  return eventNotHandledErr;
}

}  // namespace

OSStatus InstallStandardEventHandler(EventTargetRef inTarget) {
  auto* w = static_cast<WindowRef>(EventTargetGetOwner(inTarget));
  if (w == nullptr || !WindowIsLive(w) || w->target != inTarget) {
    // Only windows have standard handlers of their own here; the
    // application's standard behaviour is always present.
    return inTarget == GetApplicationEventTarget() ? noErr : OSStatus(paramErr);
  }
  if (w->standardHandler != nullptr) return noErr;
  static const EventTypeSpec kTypes[] = {
      {kEventClassWindow, kEventWindowClose},
      {kEventClassCommand, kEventCommandProcess},
      {kEventClassCommand, kEventCommandUpdateStatus},
      {kEventClassKeyboard, kEventRawKeyDown},
  };
  return InstallStandardEventHandler(inTarget, StandardWindowHandler, 4, kTypes, w, &w->standardHandler);
}

OSStatus HIWindowClose(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  // No reference is held across the send: a handler that releases the window
  // ends it there and then (the event core survives its target's end).
  return SendWindowEvent(inWindow, kEventClassWindow, kEventWindowClose);
}

Boolean IsWindowInStandardState(WindowRef inWindow, Point* inIdealSize, Rect* outIdealStandardState) {
  if (!WindowIsLive(inWindow)) return false;
  Rect area;
  GetAvailableWindowPositioningBounds(nullptr, &area);
  const SInt16 bar = FrameTop(inWindow);
  long width = area.right - area.left, height = area.bottom - area.top - bar;
  if (inIdealSize != nullptr) {
    width = std::min<long>(width, inIdealSize->h);
    height = std::min<long>(height, inIdealSize->v);
  }
  const Rect& c = inWindow->content;
  Rect standard{c.top, c.left, Clamp16(c.top + height), Clamp16(c.left + width)};
  if (standard.bottom > area.bottom) {
    standard.top = SInt16(area.top + bar);
    standard.bottom = Clamp16(long(standard.top) + height);
  }
  if (standard.right > area.right) {
    standard.left = area.left;
    standard.right = Clamp16(long(area.left) + width);
  }
  if (outIdealStandardState) *outIdealStandardState = standard;
  return std::memcmp(&standard, &c, sizeof(Rect)) == 0;
}

OSStatus ZoomWindowIdeal(WindowRef inWindow, WindowPartCode inPartCode, Point* ioIdealSize) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  Point ideal{};
  Point* idealPtr = ioIdealSize;
  if (idealPtr == nullptr) {
    // Ask the window for its ideal size ('wind' 80, 'mxsz' as a QuickDraw point).
    EventRef e = nullptr;
    if (CreateEvent(nullptr, kEventClassWindow, kEventWindowGetIdealSize, 0, 0, &e) == noErr) {
      SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &inWindow);
      if (SendEventToEventTarget(e, inWindow->target) == noErr &&
          GetEventParameter(e, kEventParamDimensions, typeQDPoint, nullptr, sizeof ideal, nullptr, &ideal) == noErr)
        idealPtr = &ideal;
      ReleaseEvent(e);
    }
  }
  Rect standard;
  const bool inStandard = IsWindowInStandardState(inWindow, idealPtr, &standard);
  Rect target = standard;
  if (inStandard || inPartCode == 7 /* zoom in */) {
    if (!inWindow->hasUserState) return noErr;
    target = inWindow->userState;
  } else {
    inWindow->userState = inWindow->content;
    inWindow->hasUserState = true;
  }
  SetContent(inWindow, target);
  return noErr;
}
