// The scroll view: lays out its scroll bars and its scrollable view, keeps
// the bars in step with what the scrollable view reports, and moves it when
// a bar or the wheel is used.
#include "HIScrollView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "HIViewRecord.h"

namespace {

constexpr CGFloat kBarWidth = 15;

struct ScrollRecord {
  HIScrollViewOptions options = 0;
  __CView* vertical = nullptr;
  __CView* horizontal = nullptr;
  bool autoHide = false;
  bool updating = false;
  CGSize image{}, view{}, line{};
  CGPoint origin{};
};

std::unordered_map<__CView*, ScrollRecord>& Records() {
  static auto* records = new std::unordered_map<__CView*, ScrollRecord>();
  return *records;
}

ScrollRecord* RecordOf(HIViewRef ref) {
  if (!ViewIsLive(ref)) return nullptr;
  auto it = Records().find(ViewOf(ref));
  return it == Records().end() ? nullptr : &it->second;
}

__CView* Content(__CView* scroll, const ScrollRecord& rec) {
  for (auto* child : scroll->children)
    if (child != rec.vertical && child != rec.horizontal) return child;
  return nullptr;
}

void SetIncrement(__CView* bar, CGFloat line) {
  SInt32 step = std::max<SInt32>(1, SInt32(std::lround(line)));
  bar->data['incr'].assign(reinterpret_cast<const UInt8*>(&step), reinterpret_cast<const UInt8*>(&step) + sizeof step);
}

void ConfigureBar(__CView* bar, CGFloat image, CGFloat view, CGFloat line, CGFloat origin, bool autoHide) {
  if (bar == nullptr) return;
  SInt32 maximum = SInt32(std::max<CGFloat>(0, std::ceil(image - view)));
  bar->minimum = 0;
  bar->maximum = maximum;
  bar->viewSize = SInt32(std::max<CGFloat>(0, view));
  SetIncrement(bar, line);
  ViewSetValueInternal(bar, SInt32(std::lround(origin)));
  if (autoHide) HIViewSetVisible(reinterpret_cast<HIViewRef>(bar), maximum > 0);
  ViewInvalidate(bar);
}

// Asks the scrollable view for its sizes and origin and sets the bars.
void Refresh(__CView* scroll) {
  auto it = Records().find(scroll);
  if (it == Records().end()) return;
  ScrollRecord& rec = it->second;
  __CView* content = Content(scroll, rec);
  if (content == nullptr || rec.updating) return;
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassScrollable, kEventScrollableGetInfo, 0, 0, &e);
  if (ViewSendEvent(content, e, true) == noErr) {
    GetEventParameter(e, kEventParamImageSize, typeHISize, nullptr, sizeof rec.image, nullptr, &rec.image);
    GetEventParameter(e, kEventParamViewSize, typeHISize, nullptr, sizeof rec.view, nullptr, &rec.view);
    GetEventParameter(e, kEventParamLineSize, typeHISize, nullptr, sizeof rec.line, nullptr, &rec.line);
    GetEventParameter(e, kEventParamOrigin, typeHIPoint, nullptr, sizeof rec.origin, nullptr, &rec.origin);
  }
  ReleaseEvent(e);
  rec.updating = true;
  ConfigureBar(rec.vertical, rec.image.height, rec.view.height, rec.line.height, rec.origin.y, rec.autoHide);
  ConfigureBar(rec.horizontal, rec.image.width, rec.view.width, rec.line.width, rec.origin.x, rec.autoHide);
  rec.updating = false;
}

void Layout(__CView* scroll) {
  auto it = Records().find(scroll);
  if (it == Records().end()) return;
  ScrollRecord& rec = it->second;
  CGSize size = scroll->frame.size;
  bool v = rec.vertical && rec.vertical->visible, h = rec.horizontal && rec.horizontal->visible;
  CGFloat w = std::max<CGFloat>(0, size.width - (v ? kBarWidth : 0));
  CGFloat ht = std::max<CGFloat>(0, size.height - (h ? kBarWidth : 0));
  // A grow box keeps the corner free when only one bar shows.
  bool grow = rec.options & kHIScrollViewOptionsAllowGrow;
  rec.updating = true;
  if (rec.vertical) {
    HIRect f = {{w, 0}, {kBarWidth, std::max<CGFloat>(0, size.height - ((h || grow) ? kBarWidth : 0))}};
    HIViewSetFrame(reinterpret_cast<HIViewRef>(rec.vertical), &f);
  }
  if (rec.horizontal) {
    HIRect f = {{0, ht}, {std::max<CGFloat>(0, size.width - ((v || grow) ? kBarWidth : 0)), kBarWidth}};
    HIViewSetFrame(reinterpret_cast<HIViewRef>(rec.horizontal), &f);
  }
  if (__CView* content = Content(scroll, rec)) {
    HIRect f = {{0, 0}, {w, ht}};
    HIViewSetFrame(reinterpret_cast<HIViewRef>(content), &f);
  }
  rec.updating = false;
  Refresh(scroll);
}

void ScrollTo(__CView* scroll, CGPoint origin) {
  auto it = Records().find(scroll);
  if (it == Records().end()) return;
  ScrollRecord& rec = it->second;
  __CView* content = Content(scroll, rec);
  if (content == nullptr) return;
  origin.x = std::max<CGFloat>(0, std::min(origin.x, std::max<CGFloat>(0, rec.image.width - rec.view.width)));
  origin.y = std::max<CGFloat>(0, std::min(origin.y, std::max<CGFloat>(0, rec.image.height - rec.view.height)));
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassScrollable, kEventScrollableScrollTo, 0, 0, &e);
  SetEventParameter(e, kEventParamOrigin, typeHIPoint, sizeof origin, &origin);
  ViewSendEvent(content, e, true);
  ReleaseEvent(e);
  if (Records().count(scroll)) Refresh(scroll);
}

// A bar moved (while tracked or after a hit): the content follows it.
void FollowBars(__CView* scroll) {
  auto it = Records().find(scroll);
  if (it == Records().end() || it->second.updating) return;
  ScrollRecord& rec = it->second;
  CGPoint origin = rec.origin;
  if (rec.vertical) origin.y = rec.vertical->value;
  if (rec.horizontal) origin.x = rec.horizontal->value;
  ScrollTo(scroll, origin);
}

void BarAction(ControlRef bar, ControlPartCode) {
  if (!ViewIsLive(bar) || ViewOf(bar)->parent == nullptr) return;
  FollowBars(ViewOf(bar)->parent);
}

OSStatus ScrollHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* scroll = static_cast<__CView*>(userData);
  EventClass cls = GetEventClass(event);
  EventKind kind = GetEventKind(event);
  HIViewRef direct = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof direct, nullptr, &direct);
  if (cls == kEventClassScrollable && kind == kEventScrollableInfoChanged) {
    Refresh(scroll);
    return noErr;
  }
  if (cls == kEventClassMouse && kind == kEventMouseWheelMoved) {
    auto it = Records().find(scroll);
    if (it == Records().end()) return eventNotHandledErr;
    UInt16 axis = 1;
    SInt32 delta = 0;
    GetEventParameter(event, kEventParamMouseWheelAxis, typeMouseWheelAxis, nullptr, sizeof axis, nullptr, &axis);
    GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof delta, nullptr, &delta);
    ScrollRecord& rec = it->second;
    CGPoint origin = rec.origin;
    if (axis == 0) origin.x -= delta * std::max<CGFloat>(1, rec.line.width) * 3;
    else origin.y -= delta * std::max<CGFloat>(1, rec.line.height) * 3;
    ScrollTo(scroll, origin);
    return noErr;
  }
  if (cls != kEventClassControl) return eventNotHandledErr;
  switch (kind) {
    case kEventControlBoundsChanged:
      if (ViewOf(direct) == scroll) Layout(scroll);
      return eventNotHandledErr;
    case kEventControlAddedSubControl:
      if (ViewOf(direct) == scroll) Layout(scroll);
      return eventNotHandledErr;
    case kEventControlHit: {
      auto it = Records().find(scroll);
      if (it != Records().end() && (ViewOf(direct) == it->second.vertical || ViewOf(direct) == it->second.horizontal)) {
        FollowBars(scroll);
        return noErr;
      }
      return eventNotHandledErr;
    }
    case kEventControlRemovingSubControl: {
      auto it = Records().find(scroll);
      HIViewRef sub = nullptr;
      GetEventParameter(event, kEventParamControlSubControl, typeControlRef, nullptr, sizeof sub, nullptr, &sub);
      if (it != Records().end() && ViewOf(direct) == scroll) {
        if (ViewOf(sub) == it->second.vertical) it->second.vertical = nullptr;
        if (ViewOf(sub) == it->second.horizontal) it->second.horizontal = nullptr;
      }
      return eventNotHandledErr;
    }
    case kEventControlDispose:
      if (ViewOf(direct) == scroll) Records().erase(scroll);
      return eventNotHandledErr;
    default:
      return eventNotHandledErr;
  }
}

__CView* MakeBar(__CView* scroll) {
  Rect r = {0, 0, 1, 1};
  ControlRef bar = nullptr;
  if (CreateScrollBarControl(nullptr, &r, 0, 0, 0, 0, true, BarAction, &bar) != noErr) return nullptr;
  HIViewAddSubview(reinterpret_cast<HIViewRef>(scroll), bar);
  // The tree holds the bar.
  return ViewOf(bar);
}

}  // namespace

OSStatus HIScrollViewCreate(HIScrollViewOptions inOptions, HIViewRef* outView) {
  if (outView == nullptr) return paramErr;
  *outView = nullptr;
  if (inOptions & ~kHIScrollViewValidOptions) return paramErr;
  __CView* scroll = ViewCreateStandard(kControlKindHIScrollView, CGRect{});
  if (scroll == nullptr) return memFullErr;
  scroll->features |= kHIViewFeatureSupportsEmbedding;
  ScrollRecord& rec = Records()[scroll];
  rec.options = inOptions;
  EventTypeSpec types[] = {{kEventClassControl, kEventControlBoundsChanged},
                           {kEventClassControl, kEventControlAddedSubControl},
                           {kEventClassControl, kEventControlHit},
                           {kEventClassControl, kEventControlRemovingSubControl},
                           {kEventClassControl, kEventControlDispose},
                           {kEventClassScrollable, kEventScrollableInfoChanged},
                           {kEventClassMouse, kEventMouseWheelMoved}};
  InstallStandardEventHandler(scroll->target, ScrollHandler, sizeof types / sizeof types[0], types, scroll, nullptr);
  if (inOptions & kHIScrollViewOptionsVertScroll) Records()[scroll].vertical = MakeBar(scroll);
  if (inOptions & kHIScrollViewOptionsHorizScroll) Records()[scroll].horizontal = MakeBar(scroll);
  *outView = reinterpret_cast<HIViewRef>(scroll);
  return noErr;
}

OSStatus HIScrollViewSetScrollBarAutoHide(HIViewRef inView, Boolean inAutoHide) {
  ScrollRecord* rec = RecordOf(inView);
  if (rec == nullptr) return errUnknownControl;
  rec->autoHide = inAutoHide != 0;
  if (!rec->autoHide) {
    if (rec->vertical) HIViewSetVisible(reinterpret_cast<HIViewRef>(rec->vertical), true);
    if (rec->horizontal) HIViewSetVisible(reinterpret_cast<HIViewRef>(rec->horizontal), true);
  }
  Refresh(ViewOf(inView));
  Layout(ViewOf(inView));
  return noErr;
}

Boolean HIScrollViewGetScrollBarAutoHide(HIViewRef inView) {
  ScrollRecord* rec = RecordOf(inView);
  return rec && rec->autoHide;
}

static bool Target(ScrollRecord& rec, HIScrollViewAction action, CGPoint* origin) {
  *origin = rec.origin;
  CGFloat maxX = std::max<CGFloat>(0, rec.image.width - rec.view.width);
  CGFloat maxY = std::max<CGFloat>(0, rec.image.height - rec.view.height);
  if (action & kHIScrollViewScrollToTop) origin->y = 0;
  if (action & kHIScrollViewScrollToBottom) origin->y = maxY;
  if (action & kHIScrollViewScrollToLeft) origin->x = 0;
  if (action & kHIScrollViewScrollToRight) origin->x = maxX;
  if (action & kHIScrollViewPageUp) origin->y = std::max<CGFloat>(0, origin->y - rec.view.height);
  if (action & kHIScrollViewPageDown) origin->y = std::min(maxY, origin->y + rec.view.height);
  if (action & kHIScrollViewPageLeft) origin->x = std::max<CGFloat>(0, origin->x - rec.view.width);
  if (action & kHIScrollViewPageRight) origin->x = std::min(maxX, origin->x + rec.view.width);
  return origin->x != rec.origin.x || origin->y != rec.origin.y;
}

OSStatus HIScrollViewNavigate(HIViewRef inView, HIScrollViewAction inAction) {
  ScrollRecord* rec = RecordOf(inView);
  if (rec == nullptr) return errUnknownControl;
  CGPoint origin;
  if (Target(*rec, inAction, &origin)) ScrollTo(ViewOf(inView), origin);
  return noErr;
}

Boolean HIScrollViewCanNavigate(HIViewRef inView, HIScrollViewAction inAction) {
  ScrollRecord* rec = RecordOf(inView);
  CGPoint origin;
  return rec && Target(*rec, inAction, &origin);
}
