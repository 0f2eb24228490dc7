// The toolbar view: a strip of items laid out from both ends (buttons with
// an icon, a text, a pop-up menu or a pop-up window; embedded views; grips
// that drag a split view; animated items), drawn from images in one of
// seven styles.
#include <algorithm>

#include "HITheme.h"
#include "Icons.h"
#include "plinthora/PlatformGaps.h"
#include "plinthora/ToolbarClass.h"

using namespace plinthora;

namespace {

constexpr EventTypeSpec kClassEvents[] = {
    {kEventClassHIObject, kEventHIObjectConstruct},     {kEventClassHIObject, kEventHIObjectInitialize},
    {kEventClassHIObject, kEventHIObjectDestruct},      {kEventClassControl, kEventControlInitialize},
    {kEventClassControl, kEventControlDraw},            {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlHitTest},         {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlHiliteChanged},   {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},
};

const char* const kStyleNames[kToolbarStyleCount] = {"standard",   "metal",          "gray",   "light-gray",
                                                     "blue-steel", "header-toolbar", "Leopard"};

struct ToolbarImages {
  CGImageRef SLIDER, SEPERATOR, BACKGROUND;
};
ToolbarImages gImages[kToolbarStyleCount];

ToolbarData* Data(ControlRef view) { return RecordOfView<ToolbarData>(view, kToolbarCreatorTag, kToolbarClassID); }

const ToolbarImages& Images(const ToolbarData* d) {
  return gImages[d->STYLE >= 1 && d->STYLE <= kToolbarStyleCount ? d->STYLE - 1 : 0];
}

SInt16 StyleOfName(const Str255& name) {
  for (int i = 0; i < kToolbarStyleCount; ++i)
    if (name == kStyleNames[i]) return SInt16(i + 1);
  return 0;
}

// --- Item records ------------------------------------------------------------------

CFIndex Count(const ToolbarData* d) { return d->ITEMS ? CFArrayGetCount(d->ITEMS) : 0; }

ToolbarItemInfo ItemAt(const ToolbarData* d, CFIndex i) {
  ToolbarItemInfo item{};
  auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(d->ITEMS, i));
  if (data && CFDataGetLength(data) == CFIndex(sizeof item)) CFDataGetBytes(data, CFRange{0, sizeof item}, reinterpret_cast<UInt8*>(&item));
  return item;
}

void StoreAt(ToolbarData* d, CFIndex i, const ToolbarItemInfo& item) {
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&item), sizeof item);
  CFArraySetValueAtIndex(d->ITEMS, i, data);
  CFRelease(data);
}

// The list position of the item with the reference, or -1.
CFIndex Find(const ToolbarData* d, ToolbarItemRef ref) {
  for (CFIndex i = 0; i < Count(d); ++i)
    if (ItemAt(d, i).REF == ref) return i;
  return -1;
}

// The list position of the item with the part code (its INDEX), or -1.
CFIndex FindPart(const ToolbarData* d, ControlPartCode part) {
  if (part <= 0) return -1;
  for (CFIndex i = 0; i < Count(d); ++i)
    if (ItemAt(d, i).INDEX == part) return i;
  return -1;
}

void Redraw(ToolbarData* d) { HIViewSetNeedsDisplay(d->VIEW, true); }

// --- Pop-up windows ------------------------------------------------------------------

void ClosePopupHandler(ToolbarData* d) {
  if (d->POPUPHANDLER) RemoveEventHandler(d->POPUPHANDLER);
  d->POPUPHANDLER = nullptr;
  d->POPUP = nullptr;
}

// While a pop-up window is open: any other window clicked or closed closes
// it, and once it is hidden (by this handler or anyone) the handler goes.
OSStatus PopupHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* d = static_cast<ToolbarData*>(userData);
  WindowRef concerned = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof concerned, nullptr, &concerned);
  WindowRef popup = d->POPUP;
  if (popup == nullptr) return eventNotHandledErr;
  if (GetEventKind(event) == kEventWindowHidden) {
    if (concerned == popup) {
      ClosePopupHandler(d);
      Redraw(d);
    }
    return eventNotHandledErr;
  }
  if (concerned != popup) {
    ClosePopupHandler(d);
    if (IsValidWindowPtr(popup)) HideWindow(popup);
    Redraw(d);
  }
  return eventNotHandledErr;
}

void OpenPopup(ToolbarData* d, const ToolbarItemInfo& item) {
  WindowRef popup = item.WINDOW;
  if (!IsValidWindowPtr(popup) || IsWindowVisible(popup)) return;
  // Below the item's bottom-left corner, in global coordinates.
  CGPoint corner{item.BOUNDS.origin.x + 1, item.BOUNDS.origin.y + item.BOUNDS.size.height};
  HIViewConvertPoint(&corner, d->VIEW, nullptr);
  Point global = HIPointToQD(corner);
  if (WindowRef window = HIViewGetWindow(d->VIEW)) {
    SetPortWindowPort(window);
    LocalToGlobal(&global);
  }
  HIViewSetHilite(d->VIEW, item.INDEX);
  SetWRefCon(popup, reinterpret_cast<SRefCon>(d->VIEW));
  ChangeWindowAttributes(popup, kWindowDoesNotCycleAttribute, 0);
  Rect structure{};
  GetWindowBounds(popup, kWindowStructureRgn, &structure);
  const SInt16 width = structure.right - structure.left, height = structure.bottom - structure.top;
  structure = Rect{global.v, global.h, SInt16(global.v + height), SInt16(global.h + width)};
  SetWindowBounds(popup, kWindowStructureRgn, &structure);
  // One handler per open pop-up; a toolbar has one open at a time.
  if (d->POPUP != popup) {
    ClosePopupHandler(d);
    static const EventTypeSpec kTypes[] = {{kEventClassWindow, kEventWindowGetClickModality},
                                           {kEventClassWindow, kEventWindowDispose},
                                           {kEventClassWindow, kEventWindowHidden}};
    d->POPUP = popup;
    Err = InstallApplicationEventHandler(PopupHandler, 3, kTypes, d, &d->POPUPHANDLER);
  }
  SetWindowModality(popup, kWindowModalityAppModal, nullptr);
  ShowWindow(popup);
}

// --- Items ---------------------------------------------------------------------------

void ReleaseItem(ToolbarData* d, ToolbarItemInfo& item) {
  if (item.TIMER) RemoveEventLoopTimer(item.TIMER);
  item.TIMER = nullptr;
  if (item.KIND == kToolbarItemHIView && item.CONTEXT) DisposeControl(static_cast<ControlRef>(item.CONTEXT));
  // The pop-up window no longer names a toolbar that may go.
  if (item.WINDOW && IsValidWindowPtr(item.WINDOW) && GetWRefCon(item.WINDOW) == reinterpret_cast<SRefCon>(d->VIEW))
    SetWRefCon(item.WINDOW, 0);
  if (item.WINDOW && item.WINDOW == d->POPUP) {
    WindowRef popup = d->POPUP;
    ClosePopupHandler(d);
    if (IsValidWindowPtr(popup)) HideWindow(popup);
  }
  if (item.MENU && !HasElement(d->OPTIONS, kToolbarOptionDontReleaseResources)) ReleaseMenu(item.MENU);
  if (item.ICON && !HasElement(d->OPTIONS, kToolbarOptionDontReleaseIcons))
    ReleaseMenuIcon(item.ICON, UInt8(item.ICONTYPE));
}

void AnimationTimer(EventLoopTimerRef, void* userData) { HIViewSetNeedsDisplay(static_cast<ControlRef>(userData), true); }

ToolbarItemInfo NewItem(ToolbarData* d, SInt16 kind, ToolbarItemOptions options) {
  ToolbarItemInfo item{};
  item.KIND = kind;
  item.REF = ++d->COUNT;
  item.INDEX = SInt16(Count(d) + 1);
  item.VIEW = d->VIEW;
  // The default set (and an empty one, which names no anchor) means a
  // left-anchored item with its menu centred.
  item.OPTIONS = options == ToolbarOption(kToolbarItemDefaultOptions) || options == 0
                     ? ToolbarOption(kToolbarItemAnchoredLeft) | ToolbarOption(kToolbarItemMenuCenter)
                     : options;
  return item;
}

ToolbarItemRef Append(ToolbarData* d, const ToolbarItemInfo& item) {
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&item), sizeof item);
  CFArrayAppendValue(d->ITEMS, data);
  CFRelease(data);
  Redraw(d);
  return item.REF;
}

// The menu's selected item: the one marked.
MenuItemIndex SelectedItem(MenuRef menu) {
  if (!IsValidMenu(menu)) return 0;
  // Counted wider than an item index: a full menu holds the greatest one.
  const UInt32 count = CountMenuItems(menu);
  for (UInt32 i = 1; i <= count; ++i) {
    CharParameter mark = noMark;
    GetItemMark(menu, MenuItemIndex(i), &mark);
    if (mark != noMark) return MenuItemIndex(i);
  }
  return 0;
}

// --- Drawing -------------------------------------------------------------------------

struct DrawState {
  CGContextRef context;
  CGFloat height;
  bool active;
  bool transparent;
};

HIThemeTextInfo TextInfo() {
  HIThemeTextInfo info{};
  info.state = kThemeStateActive;
  info.fontID = kThemeSmallSystemFont;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushLeft;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  return info;
}

void DrawIcon(const DrawState& s, void* icon, SInt16 type, CGFloat x, bool pressed) {
  const CGRect box{{x, (s.height - kToolbarIconSize) / 2}, {kToolbarIconSize, kToolbarIconSize}};
  CGContextSaveGState(s.context);
  if (type == kMenuCGImageRefType) {
    if (!s.active) CGContextSetAlpha(s.context, 0.5);
    DrawImageIn(s.context, static_cast<CGImageRef>(icon), box);
    if (pressed) {
      CGContextSetBlendMode(s.context, kCGBlendModeMultiply);
      DrawImageIn(s.context, static_cast<CGImageRef>(icon), box);
    }
  } else if (type == kMenuIconRefType) {
    CGContextTranslateCTM(s.context, 0, box.origin.y * 2 + box.size.height);
    CGContextScaleCTM(s.context, 1, -1);
    const IconTransformType transform =
        pressed ? kTransformSelected : (!s.active ? kTransformDisabled : kTransformNone);
    PlotIconRefInContext(s.context, &box, kAlignAbsoluteCenter, transform, nullptr, kPlotIconRefNormalFlags,
                         static_cast<IconRef>(icon));
  }
  CGContextRestoreGState(s.context);
}

CGFloat TextWidth(CFStringRef text) {
  HIThemeTextInfo info = TextInfo();
  CGFloat width = 0;
  HIThemeGetTextDimensions(text, 0, &info, &width, nullptr, nullptr);
  return width;
}

void DrawText(const DrawState& s, CFStringRef text, CGFloat x, CGFloat width) {
  CGContextSaveGState(s.context);
  CGContextSetRGBFillColor(s.context, 0, 0, 0, 1);
  CGContextSetAlpha(s.context, 0.6);
  HIThemeTextInfo info = TextInfo();
  const CGRect box{{x, 0}, {width, s.height}};
  HIThemeDrawTextBox(text, &box, &info, s.context, kHIThemeOrientationNormal);
  CGContextRestoreGState(s.context);
}

// Two small arrows (up above, down below the middle) beside a text; one
// larger down arrow alone.
CGFloat DrawArrows(const DrawState& s, bool withText, CGFloat x) {
  CGContextSaveGState(s.context);
  CGContextSetShadow(s.context, CGSize{0, 0}, 1);
  HIThemePopupArrowDrawInfo info{0, s.active ? kThemeStateActive : kThemeStateInactive, kThemeArrowDown,
                                 withText ? kThemeArrow3pt : kThemeArrow5pt};
  CGContextSetRGBFillColor(s.context, 0, 0, 0, s.active ? 0.8 : 0.4);
  const CGFloat width = withText ? 5 : 7;
  const CGFloat middle = s.height / 2;
  if (withText) {
    const CGRect up{{x, middle - 5}, {width, 4}};
    const CGRect down{{x, middle + 1}, {width, 4}};
    HIThemePopupArrowDrawInfo upInfo = info;
    upInfo.orientation = kThemeArrowUp;
    HIThemeDrawPopupArrow(&up, &upInfo, s.context, kHIThemeOrientationNormal);
    HIThemeDrawPopupArrow(&down, &info, s.context, kHIThemeOrientationNormal);
  } else {
    const CGRect down{{x, middle - 3}, {width, 6}};
    HIThemeDrawPopupArrow(&down, &info, s.context, kHIThemeOrientationNormal);
  }
  CGContextRestoreGState(s.context);
  return width;
}

// The parts of a button, each advancing the width from the anchor side.
void DrawButton(ToolbarData* d, const DrawState& s, const ToolbarItemInfo& item, CGFloat cursor, bool right,
                CGFloat& width, bool pressed) {
  MenuItemIndex selected = SelectedItem(item.MENU);
  void* icon = item.ICON;
  SInt16 iconType = item.ICONTYPE;
  if (icon == nullptr && selected != 0) {
    UInt8 type = 0;
    Handle handle = nullptr;
    if (GetMenuItemIconHandle(item.MENU, selected, &type, &handle) == noErr && handle) {
      icon = handle;
      iconType = type;
    }
  }
  CFStringRef text = nullptr;
  if (selected != 0) CopyMenuItemTextAsCFString(item.MENU, selected, &text);
  if (text == nullptr && !item.TEXT.empty()) text = CopyString(item.TEXT);
  const bool hasMenu = item.MENU != nullptr || item.WINDOW != nullptr;
  // The x of a part of the width w that comes next.
  auto place = [&](CGFloat w) { return right ? cursor - width - w : cursor + width; };
  auto iconPart = [&] {
    if (icon == nullptr) return;
    DrawIcon(s, icon, iconType, place(kToolbarIconSize), pressed);
    width += kToolbarIconSize;
  };
  auto textPart = [&] {
    if (text == nullptr) return;
    width += kItemMargin;
    const CGFloat w = TextWidth(text);
    DrawText(s, text, place(w), w);
    width += w;
  };
  auto menuPart = [&] {
    if (!hasMenu) return;
    width += kItemMargin;
    width += DrawArrows(s, text != nullptr, place(text != nullptr ? 5 : 7));
  };
  if (right) {
    menuPart();
    textPart();
    iconPart();
  } else {
    iconPart();
    textPart();
    menuPart();
  }
  if (text) CFRelease(text);
  (void)d;
}

OSStatus Draw(ToolbarData* d, EventRef event) {
  CGContextRef context = DrawContext(event);
  if (context == nullptr) return noErr;
  CGRect b{};
  HIViewGetBounds(d->VIEW, &b);
  CGRect frame{};
  HIViewGetFrame(d->VIEW, &frame);
  const ToolbarImages& images = Images(d);
  // Items are laid out in the view's own height: a style's artwork may be
  // taller than a header toolbar, and is fitted to the view.
  DrawState s{context, b.size.height, HIViewIsActive(d->VIEW, nullptr) != 0,
              HasElement(d->OPTIONS, kToolbarOptionTransparentBackground)};
  if (!s.transparent && ImageWidth(images.BACKGROUND) > 0)
    for (CGFloat x = 0; x < frame.size.width; x += ImageWidth(images.BACKGROUND))
      DrawImageIn(context, images.BACKGROUND, CGRect{{x, 0}, {ImageWidth(images.BACKGROUND), s.height}});

  const ControlPartCode hilite = GetControlHilite(d->VIEW);
  CGFloat leftCursor = 0, rightCursor = b.size.width;
  for (CFIndex i = 0; i < Count(d); ++i) {
    ToolbarItemInfo item = ItemAt(d, i);
    if (item.HIDDEN) continue;
    item.INDEX = SInt16(i + 1);
    const bool right = HasElement(item.OPTIONS, kToolbarItemAnchoredRight);
    const CGFloat cursor = right ? rightCursor : leftCursor;
    CGFloat width = kItemMargin;
    auto boundsFor = [&](CGFloat w) {
      return right ? CGRect{{cursor - w - 2, 0}, {w + 3, s.height}} : CGRect{{cursor - 2, 0}, {w, s.height}};
    };
    const bool pressed = hilite == item.INDEX || (item.WINDOW && IsValidWindowPtr(item.WINDOW) &&
                                                  IsWindowVisible(item.WINDOW));
    switch (item.KIND) {
      case kToolbarItemHIView:
        if (auto view = static_cast<ControlRef>(item.CONTEXT)) {
          CGRect vf{};
          HIViewGetFrame(view, &vf);
          vf.origin.x = right ? cursor - (6 - width) - vf.size.width : cursor + 6 - width;
          vf.origin.y = s.height / 2 - vf.size.height / 2;
          HIViewSetFrame(view, &vf);
          HIViewSetVisible(view, true);
          width += vf.size.width;
        }
        break;
      case kToolbarItemSlider: {
        CGContextSaveGState(context);
        if (s.transparent && !s.active) CGContextSetAlpha(context, 0.5);
        const CGFloat w = ImageWidth(images.SLIDER);
        DrawImageIn(context, images.SLIDER, CGRect{{right ? cursor - width - w : cursor + width, 0}, {w, s.height}});
        CGContextRestoreGState(context);
        width += w;
        break;
      }
      case kToolbarItemButton: {
        Boolean drawn = false;
        if (d->CALLBACKS.DRAW) {
          ToolbarContentsInfo contents{};
          contents.TEXT = item.TEXT;
          contents.ICON = item.ICON;
          contents.ICONTYPE = item.ICONTYPE;
          contents.MENU = item.MENU;
          drawn = d->CALLBACKS.DRAW(item.REF, contents, boundsFor(width), context, d->CALLBACKS.CONTEXT);
        }
        if (!drawn) DrawButton(d, s, item, cursor, right, width, pressed);
        break;
      }
      default:
        break;
    }
    if (item.KIND != kToolbarItemSlider && !HasElement(d->OPTIONS, kToolbarOptionHideSeparators)) {
      CGContextSaveGState(context);
      if (s.transparent && !s.active) CGContextSetAlpha(context, 0.5);
      DrawImageIn(context, images.SEPERATOR,
                  CGRect{{right ? cursor - width - kItemMargin : cursor + width + kItemMargin, 0},
                         {ImageWidth(images.SEPERATOR), s.height}});
      CGContextRestoreGState(context);
    }
    width += kItemMargin;
    item.BOUNDS = boundsFor(width);
    if (right)
      rightCursor = cursor - width - 2;
    else
      leftCursor += width;
    if (pressed) {
      CGContextSaveGState(context);
      CGContextSetBlendMode(context, kCGBlendModeMultiply);
      CGContextSetRGBFillColor(context, 0, 0, 0, 0.1);
      CGContextFillRect(context, item.BOUNDS);
      CGContextRestoreGState(context);
    }
    StoreAt(d, i, item);
  }
  return noErr;
}

// --- Events --------------------------------------------------------------------------

ControlPartCode HitTest(ToolbarData* d, CGPoint where) {
  for (CFIndex i = 0; i < Count(d); ++i) {
    const ToolbarItemInfo item = ItemAt(d, i);
    if (item.HIDDEN || !RectContains(item.BOUNDS, where)) continue;
    if (item.MENU && IsValidMenu(item.MENU) && CountMenuItems(item.MENU) == 0) return kControlNoPart;
    return item.INDEX;
  }
  return kControlNoPart;
}

OSStatus Track(ToolbarData* d, EventRef event) {
  ControlPartCode part = kControlNoPart;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  CGPoint where{};
  GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
  const CFIndex i = FindPart(d, part);
  if (i < 0) return eventNotHandledErr;
  const ToolbarItemInfo item = ItemAt(d, i);
  // With nothing to show or send, tracking ends here and no hit follows.
  const bool tracked = item.MENU != nullptr || item.WINDOW != nullptr || item.COMMAND != 0;
  const OSStatus status = tracked ? eventNotHandledErr : noErr;
  if (item.KIND == kToolbarItemSlider && item.CONTEXT) {
    CGPoint inWindow = where;
    HIViewConvertPoint(&inWindow, d->VIEW, nullptr);
    SplitViewTrackSlider(inWindow, static_cast<ControlRef>(item.CONTEXT));
  } else if (item.WINDOW) {
    OpenPopup(d, item);
  } else if (item.MENU) {
    CGPoint corner = item.BOUNDS.origin;
    if (HasElement(item.OPTIONS, kToolbarItemMenuCenter)) corner.y -= PlinthoraMenuHeight(item.MENU) / 2;
    if (HasElement(item.OPTIONS, kToolbarItemMenuDropDown))
      corner = CGPoint{item.BOUNDS.origin.x + 1, item.BOUNDS.origin.y + item.BOUNDS.size.height + 4};
    HIViewConvertPoint(&corner, d->VIEW, nullptr);
    Point global = HIPointToQD(corner);
    if (WindowRef window = HIViewGetWindow(d->VIEW)) {
      SetPortWindowPort(window);
      LocalToGlobal(&global);
    }
    UInt32 selection = 0;
    MenuID menuID = 0;
    MenuItemIndex chosen = 0;
    const OSStatus shown = ContextualMenuSelect(item.MENU, global, false, kCMHelpItemRemoveHelp, nullptr, nullptr,
                                                &selection, &menuID, &chosen);
    if (shown == noErr && selection == kCMMenuItemSelected && d->CALLBACKS.SELECTMENU)
      d->CALLBACKS.SELECTMENU(item.MENU, SInt16(chosen), d->CALLBACKS.CONTEXT);
  }
  if (!tracked) part = kControlNoPart;
  SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
  return status;
}

OSStatus Hit(ToolbarData* d, EventRef event) {
  ControlPartCode part = kControlNoPart;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
  const CFIndex i = FindPart(d, part);
  if (i < 0) return eventNotHandledErr;
  const ToolbarItemInfo item = ItemAt(d, i);
  if (d->CALLBACKS.HITBUTTON) d->CALLBACKS.HITBUTTON(item.COMMAND, item.REF, d->CALLBACKS.CONTEXT);
  WindowRef window = HIViewGetWindow(d->VIEW);
  if (item.COMMAND != 0 && window) {
    EventRef command = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &command);
    HICommandExtended hc{};
    hc.attributes = kHICommandFromControl;
    hc.commandID = item.COMMAND;
    hc.source.control = d->VIEW;
    SetEventParameter(command, kEventParamDirectObject, typeHICommand, sizeof hc, &hc);
    SendEventToEventTarget(command, GetWindowEventTarget(window));
    ReleaseEvent(command);
  }
  return noErr;
}

void ReleaseAll(ToolbarData* d) {
  if (d->ITEMS == nullptr) return;
  // Releasing may dispose views; take the items out first.
  const CFIndex n = Count(d);
  std::vector<ToolbarItemInfo> items;
  for (CFIndex i = 0; i < n; ++i) items.push_back(ItemAt(d, i));
  CFArrayRemoveAllValues(d->ITEMS);
  for (auto& item : items) ReleaseItem(d, item);
}

OSStatus ClassHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* d = static_cast<ToolbarData*>(userData);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject) {
    switch (kind) {
      case kEventHIObjectConstruct: {
        auto* record = new ToolbarData{};
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
        d->STYLE = 1;
        d->ITEMS = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
        Str255 name;
        if (GetStringParameter(event, kToolbarStyleParameterTag, name))
          if (const SInt16 style = StyleOfName(name)) d->STYLE = style;
        return noErr;
      }
      case kEventHIObjectDestruct:
        ReleaseAll(d);
        if (d->ITEMS) CFRelease(d->ITEMS);
        d->ITEMS = nullptr;
        ClosePopupHandler(d);
        d->WINDOWEVENTS = nullptr;
        delete d;
        return noErr;
    }
    return eventNotHandledErr;
  }
  if (cls != kEventClassControl || d == nullptr) return eventNotHandledErr;
  switch (kind) {
    case kEventControlInitialize:
      AttachRecord(d->VIEW, kToolbarCreatorTag, d);
      return noErr;
    case kEventControlDraw:
      return Draw(d, event);
    case kEventControlHitTest: {
      CGPoint where{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
      ControlPartCode part = HitTest(d, where);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlTrack:
      return Track(d, event);
    case kEventControlHit:
      return Hit(d, event);
    case kEventControlHiliteChanged:
      Redraw(d);
      return noErr;
    case kEventControlActivate:
    case kEventControlDeactivate:
      Redraw(d);
      return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

// Finds the item and hands it to the change; stores it and redraws.
template <class F>
void Change(ControlRef view, ToolbarItemRef ref, F change) {
  ToolbarData* d = Data(view);
  if (d == nullptr) return;
  const CFIndex i = Find(d, ref);
  if (i < 0) return;
  ToolbarItemInfo item = ItemAt(d, i);
  change(item);
  StoreAt(d, i, item);
  Redraw(d);
}

}  // namespace

// ---------------------------------------------------------------------------

OSStatus RegisterToolbarViewClass() {
  const OSStatus status =
      RegisterViewClass(kToolbarClassID, ClassHandler, sizeof kClassEvents / sizeof *kClassEvents, kClassEvents);
  if (status != noErr) return status;
  const Str255 folder("Images/Toolbar Images");
  for (int i = 0; i < kToolbarStyleCount; ++i) {
    const Str255 n = Str255(kStyleNames[i]) + ").png";
    gImages[i].SLIDER = LoadImage(Str255("Slider (") + n, folder);
    gImages[i].SEPERATOR = LoadImage(Str255("Seperator (") + n, folder);
    gImages[i].BACKGROUND = LoadImage(Str255("Background (") + n, folder);
  }
  return noErr;
}

ToolbarItemRef ToolbarAddButton(ControlRef inView, const Str255& inText, void* inIcon, SInt16 inIconType,
                                 void* inMenu, UInt32 inCommand, ToolbarItemOptions inOptions, void* inContext) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return 0;
  ToolbarItemInfo item = NewItem(d, kToolbarItemButton, inOptions);
  item.TEXT = inText;
  item.ICON = inIcon;
  item.ICONTYPE = inIconType;
  if (inIcon) RetainMenuIcon(inIcon, UInt8(inIconType));
  // One argument carries a menu or a window: the window registry tells.
  if (IsValidWindowPtr(static_cast<WindowRef>(inMenu))) {
    item.WINDOW = static_cast<WindowRef>(inMenu);
  } else if (inMenu && IsValidMenu(static_cast<MenuRef>(inMenu))) {
    item.MENU = static_cast<MenuRef>(inMenu);
    RetainMenu(item.MENU);
  }
  item.COMMAND = inCommand;
  item.CONTEXT = inContext;
  return Append(d, item);
}

ToolbarItemRef ToolbarAddSlider(ControlRef inView, ToolbarItemOptions inOptions, ControlRef inSplitView) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return 0;
  ToolbarItemInfo item = NewItem(d, kToolbarItemSlider, inOptions);
  item.CONTEXT = inSplitView;
  return Append(d, item);
}

ToolbarItemRef ToolbarAddView(ControlRef inView, ToolbarItemOptions inOptions, ControlRef inItemView) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return 0;
  ToolbarItemInfo item = NewItem(d, kToolbarItemHIView, inOptions);
  item.CONTEXT = inItemView;
  if (inItemView) {
    HIViewChangeFeatures(d->VIEW, kHIViewFeatureAllowsSubviews, 0);
    HIViewAddSubview(d->VIEW, inItemView);
    HIViewSetVisible(inItemView, true);
  }
  return Append(d, item);
}

ToolbarItemRef ToolbarAddAnimated(ControlRef inView, ToolbarItemOptions inOptions, void* inData) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return 0;
  ToolbarItemInfo item = NewItem(d, kToolbarItemAnimated, inOptions);
  item.CONTEXT = inData;
  Err = InstallEventLoopTimer(GetCurrentEventLoop(), 0, 1.0 / 30, AnimationTimer, d->VIEW, &item.TIMER);
  return Append(d, item);
}

void ToolbarChangeItem(ControlRef inView, ToolbarItemRef inRef, const Str255& inText, void* inIcon,
                       SInt16 inIconType) {
  Change(inView, inRef, [&](ToolbarItemInfo& item) {
    item.TEXT = inText;
    if (inIcon) {
      if (item.ICON) ReleaseMenuIcon(item.ICON, UInt8(item.ICONTYPE));
      RetainMenuIcon(inIcon, UInt8(inIconType));
      item.ICON = inIcon;
      item.ICONTYPE = inIconType;
    }
  });
}

void ToolbarSetItemText(ControlRef inView, ToolbarItemRef inRef, const Str255& inText) {
  Change(inView, inRef, [&](ToolbarItemInfo& item) { item.TEXT = inText; });
}

Str255 ToolbarGetItemText(ControlRef inView, ToolbarItemRef inRef) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return Str255();
  const CFIndex i = Find(d, inRef);
  return i < 0 ? Str255() : ItemAt(d, i).TEXT;
}

void ToolbarSetItemIcon(ControlRef inView, ToolbarItemRef inRef, void* inIcon, SInt16 inIconType) {
  if (inIcon == nullptr) return;
  Change(inView, inRef, [&](ToolbarItemInfo& item) {
    if (item.ICON) ReleaseMenuIcon(item.ICON, UInt8(item.ICONTYPE));
    RetainMenuIcon(inIcon, UInt8(inIconType));
    item.ICON = inIcon;
    item.ICONTYPE = inIconType;
  });
}

void ToolbarSetItemMenu(ControlRef inView, ToolbarItemRef inRef, MenuRef inMenu) {
  Change(inView, inRef, [&](ToolbarItemInfo& item) {
    if (inMenu) RetainMenu(inMenu);
    if (item.MENU) ReleaseMenu(item.MENU);
    item.MENU = inMenu;
  });
}

MenuRef ToolbarGetItemMenu(ControlRef inView, ToolbarItemRef inRef) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return nullptr;
  const CFIndex i = Find(d, inRef);
  return i < 0 ? nullptr : ItemAt(d, i).MENU;
}

void ToolbarSetItemHidden(ControlRef inView, ToolbarItemRef inRef, Boolean inHidden) {
  Change(inView, inRef, [&](ToolbarItemInfo& item) {
    item.HIDDEN = inHidden;
    // A hidden view item takes its view out of sight too.
    if (item.KIND == kToolbarItemHIView && item.CONTEXT && inHidden)
      HIViewSetVisible(static_cast<ControlRef>(item.CONTEXT), false);
  });
}

void ToolbarRemoveItem(ControlRef inView, ToolbarItemRef inRef) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return;
  const CFIndex i = Find(d, inRef);
  if (i < 0) return;
  ToolbarItemInfo item = ItemAt(d, i);
  CFArrayRemoveValueAtIndex(d->ITEMS, i);
  // Later items keep their part codes current until the next draw.
  for (CFIndex k = i; k < Count(d); ++k) {
    ToolbarItemInfo later = ItemAt(d, k);
    later.INDEX = SInt16(k + 1);
    StoreAt(d, k, later);
  }
  ReleaseItem(d, item);
  Redraw(d);
}

void ToolbarRemoveAll(ControlRef inView) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return;
  ReleaseAll(d);
  d->COUNT = 0;
  Redraw(d);
}

void ToolbarSetOptions(ControlRef inView, ToolbarOptions inOptions) {
  if (ToolbarData* d = Data(inView)) d->OPTIONS = inOptions;
}

void ToolbarSetStyle(ControlRef inView, const Str63& inStyle) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return;
  if (const SInt16 style = StyleOfName(inStyle)) d->STYLE = style;
  Redraw(d);
}

void ToolbarSetCallbacks(ControlRef inView, const ToolbarCallbacks& inCallbacks, void* inContext) {
  ToolbarData* d = Data(inView);
  if (d == nullptr) return;
  d->CALLBACKS = inCallbacks;
  d->CALLBACKS.CONTEXT = inContext;
}
