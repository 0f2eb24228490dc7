// The toolbar strip of a window: a root of views above the content, one cell
// per item laid out left to right (custom views inside their cells), drawn
// with the platform's own look, and clicks turned into item actions and
// commands. Also the window calls that put a toolbar on a window.
#include <algorithm>
#include <cmath>

#include "CGContext.h"
#include "HITheme.h"
#include "ToolbarInternal.h"
#include "ViewInternal.h"
#include "WindowsRecord.h"

void ToolbarPopulate(HIToolbarRef toolbar);

namespace {

constexpr CGFloat kMargin = 4;       // at the strip's ends and between items
constexpr CGFloat kPadTop = 5;       // above the icons
constexpr CGFloat kLabelHeight = 14;
constexpr OSType kCellKind = 'tbic';

struct Metrics {
  bool icons = true, labels = true;
  CGFloat icon = 32;    // the height of the icon (or view) area
  CGFloat height = 0;   // of the cells; the strip adds a one-point border
};

Metrics MetricsOf(const ToolbarData* d) {
  Metrics m;
  m.icons = d->mode != kHIToolbarDisplayModeLabelOnly;
  m.labels = d->mode != kHIToolbarDisplayModeIconOnly;
  m.icon = d->size == kHIToolbarDisplaySizeSmall ? 24 : 32;
  m.height = kPadTop + (m.icons ? m.icon : 0) + (m.icons && m.labels ? 2 : 0) + (m.labels ? kLabelHeight : 0) + kPadTop;
  return m;
}

ToolbarData* WindowToolbarData(WindowRef w) { return w && w->toolbar ? ToolbarDataOf(w->toolbar) : nullptr; }

CGFloat LabelWidth(CFStringRef label) {
  if (label == nullptr || CFStringGetLength(label) == 0) return 0;
  HIThemeTextInfo info{};
  info.version = 1;
  info.state = kThemeStateActive;
  info.fontID = kThemeSmallSystemFont;
  CGFloat width = 0;
  HIThemeGetTextDimensions(label, 0, &info, &width, nullptr, nullptr);
  return std::ceil(width);
}

bool Selectable(const ToolbarData* d, const ToolbarItemData* i) {
  const std::string id = ToolbarUTF8(i->identifier);
  return std::find(d->selectable.begin(), d->selectable.end(), id) != d->selectable.end();
}

// --- Drawing ------------------------------------------------------------------------------

void DrawStrip(CGContextRef c, CGSize size, bool active) {
  // A light vertical gradient with a border line below.
  const int lines = int(std::ceil(size.height));
  for (int y = 0; y < lines; ++y) {
    const CGFloat t = lines > 1 ? CGFloat(y) / (lines - 1) : 0;
    const CGFloat top = active ? 0.93 : 0.96, bottom = active ? 0.80 : 0.90;
    const CGFloat g = top + (bottom - top) * t;
    CGContextSetRGBFillColor(c, g, g, g, 1);
    CGContextFillRect(c, CGRect{{0, CGFloat(y)}, {size.width, 1}});
  }
  CGContextSetRGBFillColor(c, 0.62, 0.62, 0.62, 1);
  CGContextFillRect(c, CGRect{{0, size.height - 1}, {size.width, 1}});
}

void DrawLabel(CGContextRef c, CFStringRef label, CGRect box, bool enabled) {
  if (label == nullptr || CFStringGetLength(label) == 0) return;
  HIThemeTextInfo info{};
  info.version = 1;
  info.state = enabled ? kThemeStateActive : kThemeStateInactive;
  info.fontID = kThemeSmallSystemFont;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  CGContextSetRGBFillColor(c, 0.1, 0.1, 0.1, enabled ? 1.0 : 0.4);
  HIThemeDrawTextBox(label, &box, &info, c, kHIThemeOrientationNormal);
}

void DrawCell(ToolbarItemData* i, HIViewRef cell, CGContextRef c) {
  HIRect bounds{};
  HIViewGetBounds(cell, &bounds);
  ToolbarData* d = i->toolbar ? ToolbarDataOf(i->toolbar) : nullptr;
  if (d == nullptr) return;
  const Metrics m = MetricsOf(d);
  const bool enabled = (i->attributes & kHIToolbarItemDisabled) == 0;
  switch (i->standard) {
    case StandardItem::Separator: {
      const CGFloat x = std::floor(bounds.size.width / 2);
      CGContextSetRGBFillColor(c, 0.55, 0.55, 0.55, 1);
      for (CGFloat y = kPadTop; y < bounds.size.height - kPadTop; y += 3)
        CGContextFillRect(c, CGRect{{x, y}, {1, 1.5}});
      return;
    }
    case StandardItem::Space:
    case StandardItem::FlexibleSpace: return;
    case StandardItem::None: break;
  }
  if (i->attributes & kHIToolbarItemSelected) {
    CGContextSetRGBFillColor(c, 0, 0, 0, 0.12);
    CGContextFillRect(c, CGRect{{1, 1}, {bounds.size.width - 2, bounds.size.height - 2}});
  }
  const bool custom = i->view != nullptr;
  if (m.icons && !custom) {
    const CGRect iconBox{{std::floor((bounds.size.width - m.icon) / 2), kPadTop}, {m.icon, m.icon}};
    if (GetControlHilite(cell) != kControlNoPart && enabled) {
      CGContextSetRGBFillColor(c, 0, 0, 0, 0.18);
      CGContextFillRect(c, CGRect{{iconBox.origin.x - 3, iconBox.origin.y - 3}, {m.icon + 6, m.icon + 6}});
    }
    CGContextSaveGState(c);
    if (!enabled) CGContextSetAlpha(c, 0.4);
    if (i->image)
      CGContextDrawImage(c, iconBox, i->image);
    else if (i->icon)
      PlotIconRefInContext(c, &iconBox, kAlignNone, kTransformNone, nullptr, kPlotIconRefNormalFlags, i->icon);
    CGContextRestoreGState(c);
  }
  if (m.labels) {
    const CGFloat top = m.icons ? kPadTop + m.icon + 2 : kPadTop;
    DrawLabel(c, i->label, CGRect{{0, top}, {bounds.size.width, kLabelHeight}},
              enabled && !(i->attributes & kHIToolbarItemLabelDisabled));
  }
}

// --- Cells ---------------------------------------------------------------------------------

void Perform(ToolbarItemData* i, HIViewRef cell) {
  ToolbarData* d = i->toolbar ? ToolbarDataOf(i->toolbar) : nullptr;
  if (d == nullptr) return;
  HIToolbarItemRef item = i->self;
  CFRetain(item);
  if (Selectable(d, i)) {
    for (HIToolbarItemRef other : d->items)
      if (other != item) HIToolbarItemChangeAttributes(other, 0, kHIToolbarItemSelected);
    HIToolbarItemChangeAttributes(item, kHIToolbarItemSelected, 0);
  }
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassToolbarItem, kEventToolbarItemPerformAction, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeHIToolbarItemRef, sizeof item, &item);
  OSStatus status = SendEventToEventTarget(e, HIObjectGetEventTarget(item));
  ReleaseEvent(e);
  WindowRef window = d->window;
  if (status == eventNotHandledErr && i->command != 0 && WindowIsLive(window)) {
    HICommandExtended command{};
    command.attributes = kHICommandFromControl;
    command.commandID = i->command;
    command.source.control = cell;
    EventRef process = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &process);
    SetEventParameter(process, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    EventTargetRef target = (i->attributes & kHIToolbarItemSendCmdToUserFocus) ? GetUserFocusEventTarget()
                                                                              : GetWindowEventTarget(window);
    SendEventToEventTarget(process, target);
    ReleaseEvent(process);
  }
  CFRelease(item);
}

OSStatus CellHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* i = static_cast<ToolbarItemData*>(data);
  HIViewRef cell = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof cell, nullptr, &cell);
  switch (GetEventKind(event)) {
    case kEventControlDraw: {
      CGContextRef c = nullptr;
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof c, nullptr, &c);
      if (c) DrawCell(i, cell, c);
      return noErr;
    }
    case kEventControlHitTest: {
      const bool clickable = i->standard == StandardItem::None && (i->attributes & kHIToolbarItemDisabled) == 0;
      ControlPartCode part = clickable ? kControlButtonPart : kControlNoPart;
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlHit:
      Perform(i, cell);
      return noErr;
    case kEventControlDispose:
      if (i->cell == cell) i->cell = nullptr;
      return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

const EventTypeSpec kCellEvents[] = {{kEventClassControl, kEventControlDraw},
                                     {kEventClassControl, kEventControlHitTest},
                                     {kEventClassControl, kEventControlHit},
                                     {kEventClassControl, kEventControlDispose}};

OSStatus StripHandler(EventHandlerCallRef, EventRef event, void*) {
  HIViewRef strip = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof strip, nullptr, &strip);
  CGContextRef c = nullptr;
  GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof c, nullptr, &c);
  if (c == nullptr) return eventNotHandledErr;
  HIRect bounds{};
  HIViewGetBounds(strip, &bounds);
  DrawStrip(c, bounds.size, HIViewIsActive(strip, nullptr));
  return noErr;
}

void MakeCell(WindowRef w, ToolbarItemData* i) {
  if (i->cell != nullptr) return;
  __CView* cell = ViewCreateStandard(kCellKind, CGRect{});
  if (cell == nullptr) return;
  auto ref = reinterpret_cast<HIViewRef>(cell);
  InstallEventHandler(HIViewGetEventTarget(ref), CellHandler, std::size(kCellEvents), kCellEvents, i, nullptr);
  HIViewAddSubview(w->strip, ref);  // the strip holds the creation reference
  i->cell = ref;
  if (HIViewRef view = ToolbarItemCustomView(i)) {
    CFRetain(view);  // the tree's, given back when the view leaves the cell
    HIViewAddSubview(ref, view);
    HIViewSetVisible(view, true);
  }
}

// Takes a custom view out of its cell, keeping it for the item.
void FreeView(ToolbarItemData* i) {
  if (i->view && i->cell && HIViewGetSuperview(i->view) == i->cell) {
    HIViewRemoveFromSuperview(i->view);
    CFRelease(i->view);
  }
}

// The width a custom view asks for, and its height.
CGSize ViewSize(HIViewRef view, CGFloat areaHeight) {
  HIRect frame{};
  HIViewGetFrame(view, &frame);
  HISize minimum = frame.size, maximum = frame.size;
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlGetSizeConstraints, 0, 0, &e);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof view, &view);
  SetEventParameter(e, kEventParamMinimumSize, typeHISize, sizeof minimum, &minimum);
  SetEventParameter(e, kEventParamMaximumSize, typeHISize, sizeof maximum, &maximum);
  if (SendEventToEventTargetWithOptions(e, HIViewGetEventTarget(view), kEventTargetDontPropagate) == noErr) {
    GetEventParameter(e, kEventParamMinimumSize, typeHISize, nullptr, sizeof minimum, nullptr, &minimum);
    GetEventParameter(e, kEventParamMaximumSize, typeHISize, nullptr, sizeof maximum, nullptr, &maximum);
  }
  ReleaseEvent(e);
  const CGFloat width = std::max(minimum.width, maximum.width);
  const CGFloat height = std::clamp(frame.size.height > 0 ? frame.size.height : maximum.height,
                                    std::min(minimum.height, areaHeight), std::min(std::max(maximum.height, minimum.height), areaHeight));
  return CGSize{std::max<CGFloat>(width, 1), std::max<CGFloat>(height, 1)};
}

void Layout(WindowRef w) {
  ToolbarData* d = WindowToolbarData(w);
  if (d == nullptr || w->strip == nullptr) return;
  const Metrics m = MetricsOf(d);
  HIRect stripBounds{};
  HIViewGetBounds(w->strip, &stripBounds);
  const CGFloat area = m.icons ? m.icon : kLabelHeight;
  std::vector<CGFloat> widths;
  std::vector<CGSize> viewSizes;
  CGFloat used = kMargin;
  int flexible = 0;
  for (HIToolbarItemRef item : d->items) {
    ToolbarItemData* i = ToolbarItemDataOf(item);
    MakeCell(w, i);
    CGFloat width = 0;
    CGSize viewSize{0, 0};
    switch (i->standard) {
      case StandardItem::Separator: width = 12; break;
      case StandardItem::Space: width = d->size == kHIToolbarDisplaySizeSmall ? 24 : 32; break;
      case StandardItem::FlexibleSpace: ++flexible; break;
      case StandardItem::None:
        if (i->view) {
          viewSize = ViewSize(i->view, m.icon);
          width = viewSize.width;
        } else {
          width = m.icons ? m.icon + 8 : 0;
        }
        if (m.labels) width = std::max(width, LabelWidth(i->label) + 10);
        break;
    }
    widths.push_back(width);
    viewSizes.push_back(viewSize);
    used += width + kMargin;
  }
  const CGFloat spare = std::max<CGFloat>(0, stripBounds.size.width - used);
  CGFloat x = kMargin;
  for (size_t k = 0; k < d->items.size(); ++k) {
    ToolbarItemData* i = ToolbarItemDataOf(d->items[k]);
    CGFloat width = widths[k];
    if (i->standard == StandardItem::FlexibleSpace) width = std::floor(spare / flexible);
    if (i->cell == nullptr) continue;
    HIRect frame{{x, 0}, {width, m.height}};
    HIViewSetFrame(i->cell, &frame);
    // What does not fit is not shown.
    HIViewSetVisible(i->cell, x + width <= stripBounds.size.width);
    if (i->view && HIViewGetSuperview(i->view) == i->cell) {
      const CGSize vs = viewSizes[k];
      const CGFloat top = m.icons ? kPadTop + std::floor((area - vs.height) / 2) : kPadTop;
      HIRect viewFrame{{std::floor((width - vs.width) / 2), top}, vs};
      HIViewSetFrame(i->view, &viewFrame);
    }
    x += width + kMargin;
  }
  HIViewSetNeedsDisplay(w->strip, true);
}

}  // namespace

// --- Shared with the toolbar objects ------------------------------------------------------------

SInt16 ToolbarStripHeightFor(const ToolbarData* toolbar) { return SInt16(MetricsOf(toolbar).height + 1); }

void ToolbarStripDrop(WindowRef w) {
  if (w == nullptr || w->strip == nullptr) return;
  if (ToolbarData* d = WindowToolbarData(w))
    for (HIToolbarItemRef item : d->items) FreeView(ToolbarItemDataOf(item));
  HIViewRef strip = w->strip;
  w->strip = nullptr;
  ViewDisposeRoot(strip);
}

void ToolbarStripRebuild(WindowRef w) {
  ToolbarStripDrop(w);
  ToolbarData* d = WindowToolbarData(w);
  if (d == nullptr || !w->toolbarShown) {
    WindowSetToolbarHeight(w, 0);
    return;
  }
  const SInt16 height = ToolbarStripHeightFor(d);
  const CGFloat width = w->content.right - w->content.left;
  w->strip = ViewCreateStripRoot(w, w->target, CGRect{{0, -CGFloat(height)}, {width, CGFloat(height)}});
  if (w->strip == nullptr) return;
  static const EventTypeSpec kDraw = {kEventClassControl, kEventControlDraw};
  InstallEventHandler(HIViewGetEventTarget(w->strip), StripHandler, 1, &kDraw, nullptr, nullptr);
  // Active as the content is.
  HIViewSetActivated(w->strip, w->root == nullptr || HIViewIsActive(w->root, nullptr));
  WindowSetToolbarHeight(w, height);
  Layout(w);
}

void ToolbarStripRelayout(WindowRef w) {
  if (!WindowIsLive(w) || w->strip == nullptr) return;
  ToolbarData* d = WindowToolbarData(w);
  if (d == nullptr) return;
  const SInt16 height = ToolbarStripHeightFor(d);
  const CGFloat width = w->content.right - w->content.left;
  HIRect frame{{0, -CGFloat(height)}, {width, CGFloat(height)}};
  HIRect old{};
  HIViewGetFrame(w->strip, &old);
  if (old.size.width != frame.size.width || old.size.height != frame.size.height || old.origin.y != frame.origin.y) {
    HIViewSetFrame(w->strip, &frame);
    WindowSetToolbarHeight(w, height);
  }
  Layout(w);
}

void ToolbarStripInvalidate(WindowRef w) {
  if (!WindowIsLive(w) || w->strip == nullptr) return;
  HIViewSetNeedsDisplay(w->strip, true);
  if (ToolbarData* d = WindowToolbarData(w))
    for (HIToolbarItemRef item : d->items)
      if (ToolbarItemData* i = ToolbarItemDataOf(item); i && i->cell) HIViewSetNeedsDisplay(i->cell, true);
}

void ToolbarStripForgetItem(ToolbarItemData* i) {
  if (i == nullptr || i->cell == nullptr) return;
  FreeView(i);
  HIViewRef cell = i->cell;
  i->cell = nullptr;
  DisposeControl(cell);
}

// --- The window's side ------------------------------------------------------------------------

void WindowDropToolbar(WindowRef w) {
  ToolbarStripDrop(w);
  if (HIToolbarRef toolbar = w->toolbar) {
    if (ToolbarData* d = ToolbarDataOf(toolbar)) d->window = nullptr;
    w->toolbar = nullptr;
    CFRelease(toolbar);
  }
  w->toolbarShown = false;
  w->toolbarHeight = 0;
}

HIViewRef WindowToolbarStrip(WindowRef w) { return WindowIsLive(w) && w->toolbarShown ? w->strip : nullptr; }
SInt16 WindowToolbarStripHeight(WindowRef w) { return WindowIsLive(w) ? w->toolbarHeight : 0; }

OSStatus SetWindowToolbar(WindowRef inWindow, HIToolbarRef inToolbar) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  ToolbarData* d = inToolbar ? ToolbarDataOf(inToolbar) : nullptr;
  if (inToolbar != nullptr && d == nullptr) return paramErr;
  if (inWindow->toolbar == inToolbar) return noErr;
  if (d && d->window && d->window != inWindow) SetWindowToolbar(d->window, nullptr);
  if (HIToolbarRef old = inWindow->toolbar) {
    ToolbarStripDrop(inWindow);
    if (ToolbarData* od = ToolbarDataOf(old)) od->window = nullptr;
    inWindow->toolbar = nullptr;
    CFRelease(old);
  }
  if (inToolbar) {
    CFRetain(inToolbar);
    inWindow->toolbar = inToolbar;
    d->window = inWindow;
    ToolbarPopulate(inToolbar);
  } else {
    inWindow->toolbarShown = false;
  }
  ToolbarStripRebuild(inWindow);
  return noErr;
}

OSStatus GetWindowToolbar(WindowRef inWindow, HIToolbarRef* outToolbar) {
  if (outToolbar == nullptr) return paramErr;
  *outToolbar = nullptr;
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  *outToolbar = inWindow->toolbar;
  return noErr;
}

OSStatus ShowHideWindowToolbar(WindowRef inWindow, Boolean inShow, Boolean) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inShow && inWindow->toolbar == nullptr) return paramErr;
  if (bool(inShow) == inWindow->toolbarShown) return noErr;
  inWindow->toolbarShown = inShow;
  ToolbarStripRebuild(inWindow);
  return noErr;
}

Boolean IsWindowToolbarVisible(WindowRef inWindow) {
  return WindowIsLive(inWindow) && inWindow->toolbarShown && inWindow->toolbar != nullptr;
}
