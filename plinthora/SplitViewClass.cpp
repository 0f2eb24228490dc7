// The split view: two panes separated by a splitter that the user drags,
// that the host moves by number, and that can collapse one pane with an
// animation.
#include <algorithm>
#include <cmath>

#include "HITheme.h"
#include "MouseTracking.h"
#include "plinthora/SplitViewClass.h"

using namespace plinthora;

namespace {

constexpr EventTypeSpec kClassEvents[] = {
    {kEventClassHIObject, kEventHIObjectConstruct},  {kEventClassHIObject, kEventHIObjectInitialize},
    {kEventClassHIObject, kEventHIObjectDestruct},   {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlDraw},         {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlBoundsChanged}, {kEventClassControl, kEventControlInitialize},
};

constexpr float kMoveIncrement = 15;
constexpr EventTimerInterval kAnimationInterval = 1.0 / 30;

// Per style (1-6), index 0 for the vertical and 1 for the horizontal
// orientation. Loaded once, never released.
struct SplitViewImages {
  CGImageRef SLIDER[2];
  CGImageRef BACKGROUND[2];
};
SplitViewImages gImages[kSplitViewStyleCount];
const char* const kStyleNames[kSplitViewStyleCount] = {"standard", "header",  "metal",
                                                      "gray",     "minimal", "external"};

// The create-pane callback of the split view whose pane set-up is running:
// a split view made by it inherits it.
SplitViewCreatePaneCallback gEnclosingFactory = nullptr;

SplitViewData* Data(ControlRef view) {
  return RecordOfView<SplitViewData>(view, kSplitViewCreatorTag, kSplitViewClassID);
}

bool Vertical(const SplitViewData* d) { return d->ORIENTATION != kSplitViewOrientationHorizantal; }
const SplitViewImages& Images(const SplitViewData* d) {
  const int style = d->STYLE >= 1 && d->STYLE <= kSplitViewStyleCount ? d->STYLE : 1;
  return gImages[style - 1];
}
CGImageRef Background(const SplitViewData* d) { return Images(d).BACKGROUND[Vertical(d) ? 0 : 1]; }
CGImageRef Slider(const SplitViewData* d) { return Images(d).SLIDER[Vertical(d) ? 0 : 1]; }
// A missing image counts as one point.
CGFloat WidthOr1(CGImageRef image) { return image ? ImageWidth(image) : 1; }

SInt16 StyleOfName(const Str255& name) {
  if (name == "minimal") return kSplitViewStyleMinimal;
  if (name == "header") return kSplitViewStyleHeader;
  if (name == "metal") return kSplitViewStyleMetal;
  if (name == "gray") return kSplitViewStyleGray;
  if (name == "external") return kSplitViewStyleExternalSlider;
  return 0;
}

CGRect Bounds(ControlRef view) {
  CGRect b{};
  HIViewGetBounds(view, &b);
  return b;
}
CGSize FrameSize(ControlRef view) {
  CGRect f{};
  HIViewGetFrame(view, &f);
  return f.size;
}

void ComputeSplitFrame(SplitViewData* d) {
  const CGRect b = Bounds(d->VIEW);
  const CGFloat thickness = WidthOr1(Background(d));
  const CGFloat grip = WidthOr1(Slider(d));
  if (!Vertical(d)) {
    if (d->STYLE == kSplitViewStyleHeader)
      d->SPLITFRAME = CGRect{{b.size.width - grip, d->POSITION + 1}, {b.size.width, thickness + 1}};
    else
      d->SPLITFRAME = CGRect{{b.origin.x, d->POSITION}, {b.size.width, thickness}};
  } else {
    d->SPLITFRAME = CGRect{{d->POSITION, b.origin.y}, {thickness, b.size.height}};
  }
}

// Keeps the splitter within the limits (and against the far edge while a
// pane is shut); true when the position changed.
bool Clamp(SplitViewData* d) {
  const CGSize f = FrameSize(d->VIEW);
  const bool vertical = Vertical(d);
  const CGFloat s = vertical ? d->SPLITFRAME.size.width : d->SPLITFRAME.size.height;
  const CGFloat far = vertical ? f.width : f.height;
  float p = d->POSITION;
  if ((vertical && d->SHUT == 3) || (!vertical && d->SHUT == 1)) p = float(far - (s + d->LIMIT.length));
  if (d->POSITION < d->LIMIT.location) p = float(d->LIMIT.location);
  if (far - s - d->LIMIT.length < d->POSITION) p = float(far - s - d->LIMIT.length);
  const bool changed = p != d->POSITION;
  d->POSITION = p;
  return changed;
}

void SetPaneFrame(ControlRef pane, CGRect frame) {
  if (pane) HIViewSetFrame(pane, &frame);
}

void Layout(SplitViewData* d, bool constrained) {
  ComputeSplitFrame(d);
  if (constrained && Clamp(d)) ComputeSplitFrame(d);
  const CGSize f = FrameSize(d->VIEW);
  const CGRect& sf = d->SPLITFRAME;
  if (!Vertical(d)) {
    SetPaneFrame(d->PANE1, d->HIDE == kSplitViewBottomPane ? CGRect{{0, 0}, f}
                                                           : CGRect{{0, 0}, {f.width, sf.origin.y}});
    SetPaneFrame(d->PANE2, d->HIDE == kSplitViewTopPane
                               ? CGRect{{0, 0}, f}
                               : CGRect{{0, sf.origin.y + sf.size.height},
                                        {f.width, f.height - sf.origin.y - sf.size.height - d->MARGIN.length}});
  } else {
    const CGFloat margin = d->MARGIN.location;
    SetPaneFrame(d->PANE1, d->HIDE == kSplitViewRightPane ? CGRect{{margin, 0}, f}
                                                          : CGRect{{margin, 0}, {sf.origin.x, f.height}});
    SetPaneFrame(d->PANE2, d->HIDE == kSplitViewLeftPane
                               ? CGRect{{0, 0}, f}
                               : CGRect{{sf.origin.x + sf.size.width, 0},
                                        {f.width - sf.origin.x - sf.size.width, f.height}});
  }
}

void ShowAndHide(SplitViewData* d) {
  const bool vertical = Vertical(d);
  const SInt16 first = vertical ? kSplitViewLeftPane : kSplitViewTopPane;
  const SInt16 second = vertical ? kSplitViewRightPane : kSplitViewBottomPane;
  if (d->PANE1) HIViewSetVisible(d->PANE1, d->HIDE != first);
  if (d->PANE2) HIViewSetVisible(d->PANE2, d->HIDE != second);
}

void SetupPanes(SplitViewData* d) {
  if (d->CREATEPANESCALLBACK) {
    WindowRef window = HIViewGetWindow(d->VIEW);
    SplitViewCreatePaneCallback outer = gEnclosingFactory;
    gEnclosingFactory = d->CREATEPANESCALLBACK;
    d->PANE1 = d->CREATEPANESCALLBACK(window);
    d->PANE2 = d->CREATEPANESCALLBACK(window);
    gEnclosingFactory = outer;
  }
  for (ControlRef pane : {d->PANE1, d->PANE2}) {
    if (pane == nullptr) continue;
    HIViewAddSubview(d->VIEW, pane);
    HIViewSetVisible(pane, true);
  }
  if (d->HIDE != 0) ShowAndHide(d);
  const CGRect b = Bounds(d->VIEW);
  if (b.size.width > 0 && b.size.height > 0) Layout(d, true);
}

// A side that the orientation has: 1 and 2 are horizontal, 3 and 4 vertical.
bool SideFits(const SplitViewData* d, SInt16 side) {
  return Vertical(d) ? (side == kSplitViewLeftPane || side == kSplitViewRightPane)
                     : (side == kSplitViewTopPane || side == kSplitViewBottomPane);
}

void AnimationTick(EventLoopTimerRef, void* userData) {
  auto* d = static_cast<SplitViewData*>(userData);
  HIViewRef view = d->VIEW;
  // The notification may end the view; its record lives until this tick ends.
  CFRetain(view);
  SplitViewAnimation& a = d->ANIMATION;
  if (a.PANE1 != nullptr) {
    const float target = float(a.FRAME.length);
    // Toward the target, never past it: the splitter grows when collapsing
    // the right or bottom pane or expanding the left or top one.
    if (!HIViewIsVisible(view))
      d->POSITION = target;
    else if (d->POSITION < target)
      d->POSITION = std::min(d->POSITION + kMoveIncrement, target);
    else
      d->POSITION = std::max(d->POSITION - kMoveIncrement, target);
    if (d->POSITION == target) {
      if (a.SHOW)
        a.SAVED = 0;  // the saved position is used up
      else
        d->HIDE = a.SIDE;
      a.PANE1 = nullptr;
      a.PANE2 = nullptr;
      if (d->TIMER) RemoveEventLoopTimer(d->TIMER);
      d->TIMER = nullptr;
      if (d->NOTIFICATIONCALLBACK)
        d->NOTIFICATIONCALLBACK(kSplitViewMessageClosedPane, d->PANE2, view, d->CALLBACKCONTEXT);
      HIViewSetNeedsDisplay(view, true);
    }
  } else if (d->TIMER) {
    RemoveEventLoopTimer(d->TIMER);
    d->TIMER = nullptr;
  }
  Layout(d, false);
  ShowAndHide(d);
  CFRelease(view);
}

void StartTimer(SplitViewData* d) {
  Err = InstallEventLoopTimer(GetMainEventLoop(), 0, kAnimationInterval, AnimationTick, d, &d->TIMER);
}

void SetVisible(SplitViewData* d, SInt16 side) {
  SInt16 hidden = 0;
  switch (side) {
    case kSplitViewTopPane: hidden = kSplitViewBottomPane; break;
    case kSplitViewBottomPane: hidden = kSplitViewTopPane; break;
    case kSplitViewLeftPane: hidden = kSplitViewRightPane; break;
    case kSplitViewRightPane: hidden = kSplitViewLeftPane; break;
    default: hidden = 0; break;
  }
  if (!d->ASYNCH) {
    d->HIDE = hidden;
    ShowAndHide(d);
    Layout(d, false);
    HIViewSetNeedsDisplay(d->VIEW, true);
    return;
  }
  // One animation at a time: a call while one runs has nothing to start.
  if (d->TIMER != nullptr) return;
  SplitViewAnimation& a = d->ANIMATION;
  const CGSize v = FrameSize(d->VIEW);
  if (d->HIDE == 0) {
    // Nothing collapsed and nothing asked to collapse, or a side the
    // orientation does not have: nothing to animate.
    if (hidden == 0 || !SideFits(d, hidden)) return;
    a.SIDE = hidden;
    a.PANE1 = d->PANE2;
    a.PANE2 = d->PANE1;
    a.SHOW = false;
    // The collapse starts where the splitter is, and that is where a later
    // expand brings it back.
    const float start = d->POSITION;
    float target = 0;
    if (hidden == kSplitViewRightPane) target = float(v.width);
    if (hidden == kSplitViewBottomPane) target = float(v.height);
    a.FRAME = CFRange{CFIndex(start), CFIndex(target)};
    a.SAVED = SInt16(start);
    if (!HIViewIsVisible(d->VIEW)) {
      d->HIDE = hidden;
      ShowAndHide(d);
      Layout(d, false);
    }
  } else {
    // Whatever side is named, a collapsed view expands.
    a.PANE1 = d->PANE2;
    a.PANE2 = d->PANE1;
    a.SIDE = d->HIDE;
    float start = 0;
    if (d->HIDE == kSplitViewRightPane) start = float(v.width);
    if (d->HIDE == kSplitViewBottomPane) start = float(v.height);
    a.FRAME = CFRange{CFIndex(start), CFIndex(a.SAVED)};
    d->POSITION = start;
    d->HIDE = 0;
    a.SHOW = true;
  }
  // Paneless views still animate: the first pane pointer marks a running
  // animation, so stand the view in for a missing pane.
  if (a.PANE1 == nullptr) a.PANE1 = d->VIEW;
  StartTimer(d);
  Layout(d, false);
}

void SetPosition(SplitViewData* d, SInt16 position) {
  if (!(d->ASYNCH && d->HIDE != 0)) d->POSITION = position;
  d->ANIMATION.SAVED = position;
  if (d->HIDE == 0) Layout(d, false);
  HIViewSetNeedsDisplay(d->VIEW, true);
}

void DrawTitle(SplitViewData* d, CGContextRef context, const CGRect& b) {
  if (d->TITLE.empty()) return;
  CGContextSaveGState(context);
  CGContextSetAlpha(context, 0.6);
  CGContextSetShadow(context, CGSize{2, -2}, 1);
  CGContextSetRGBFillColor(context, 0, 0, 0, 1);
  CFStringRef title = CopyString(d->TITLE);
  HIThemeTextInfo info{};
  info.version = 0;
  info.state = kThemeStateActive;
  info.fontID = kThemeSmallSystemFont;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  const CGRect box{{b.origin.x, d->SPLITFRAME.origin.y}, d->SPLITFRAME.size};
  HIThemeDrawTextBox(title, &box, &info, context, kHIThemeOrientationNormal);
  CFRelease(title);
  CGContextRestoreGState(context);
}

OSStatus Draw(SplitViewData* d, EventRef event) {
  if (d->HIDE != 0) return noErr;
  CGContextRef context = DrawContext(event);
  if (context == nullptr) return noErr;
  const CGRect b = Bounds(d->VIEW);
  if (d->STYLE == kSplitViewStyleExternalSlider) {
    CGContextSetRGBFillColor(context, 0.7, 0.7, 0.7, 1);
    CGContextFillRect(context, Vertical(d) ? CGRect{{d->POSITION, b.origin.y}, {1, b.size.height}}
                                           : CGRect{{b.origin.x, d->POSITION}, {b.size.width, 1}});
    return noErr;
  }
  CGImageRef background = Background(d);
  CGImageRef grip = Slider(d);
  const bool header = d->STYLE == kSplitViewStyleHeader;
  if (!Vertical(d)) {
    const CGFloat y = header ? d->POSITION + 1 : d->POSITION;
    if (ImageWidth(background) > 0)
      for (CGFloat x = b.origin.x; x <= b.size.width; x += ImageWidth(background)) DrawImageAt(context, background, x, y);
    if (header) {
      DrawImageAt(context, grip, b.size.width - ImageWidth(grip), d->POSITION + 1);
      DrawTitle(d, context, b);
    } else {
      const CGFloat x = CGFloat(SInt32(std::lround(b.size.width)) / 2 - SInt32(ImageWidth(grip)) / 2);
      DrawImageAt(context, grip, x, d->POSITION);
    }
  } else {
    if (ImageHeight(background) > 0)
      for (CGFloat y = b.origin.y; y <= b.size.height; y += ImageHeight(background))
        DrawImageAt(context, background, d->POSITION, y);
    const CGFloat y = CGFloat(SInt32(std::lround(b.size.height)) / 2 - SInt32(ImageHeight(grip)) / 2);
    DrawImageAt(context, grip, d->POSITION, y);
  }
  return noErr;
}

void Initialise(SplitViewData* d, EventRef event) {
  d->ORIENTATION = kSplitViewOrientationVertical;
  d->RATIO = 0.5f;
  d->POSITION = 200;
  d->STYLE = kSplitViewStyleStandard;
  d->TITLE.Clear();
  d->HIDE = 0;
  d->PANE1 = d->PANE2 = nullptr;
  d->CREATEPANESCALLBACK = gEnclosingFactory;

  Str255 text;
  if (GetStringParameter(event, kSplitViewKindParameterTag, text)) {
    if (text == "horizantal") d->ORIENTATION = kSplitViewOrientationHorizantal;
    if (text == "vertical") d->ORIENTATION = kSplitViewOrientationVertical;
  }
  Boolean asynch = false;
  if (GetEventParameter(event, kSplitViewAsynchParameterTag, typeBoolean, nullptr, sizeof asynch, nullptr, &asynch) ==
      noErr)
    d->ASYNCH = asynch;
  if (GetStringParameter(event, kSplitViewTitleParameterTag, text)) d->TITLE = text;
  UInt32 size = 0;
  if (GetEventParameter(event, kSplitViewSizeParameterTag, typeUInt32, nullptr, sizeof size, nullptr, &size) == noErr) {
    d->POSITION = float(size);
    d->ANIMATION.SAVED = SInt16(size);
  }
  CFRange range{};
  if (GetEventParameter(event, kSplitViewLimitParameterTag, typeWildCard, nullptr, sizeof range, nullptr, &range) ==
      noErr)
    d->LIMIT = range;
  if (GetEventParameter(event, kSplitViewMarginParameterTag, typeWildCard, nullptr, sizeof range, nullptr, &range) ==
      noErr)
    d->MARGIN = range;
  if (GetStringParameter(event, kSplitViewVisibilityParameterTag, text)) {
    if (text == "top") d->HIDE = kSplitViewTopPane;
    if (text == "bottom") d->HIDE = kSplitViewBottomPane;
    if (text == "left") d->HIDE = kSplitViewLeftPane;
    if (text == "right") d->HIDE = kSplitViewRightPane;
  }
  if (GetStringParameter(event, kSplitViewStyleParameterTag, text)) {
    const SInt16 style = StyleOfName(text);
    d->STYLE = style ? style : SInt16(kSplitViewStyleStandard);
  }
}

OSStatus ClassHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* d = static_cast<SplitViewData*>(userData);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject) {
    switch (kind) {
      case kEventHIObjectConstruct: {
        auto* record = new SplitViewData{};
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
        Initialise(d, event);
        AttachRecord(d->VIEW, kSplitViewCreatorTag, d);
        return noErr;
      }
      case kEventHIObjectDestruct:
        // A running animation must not tick on a freed record.
        if (d->TIMER) RemoveEventLoopTimer(d->TIMER);
        d->TIMER = nullptr;
        d->WINDOWEVENTS = nullptr;
        delete d;
        return noErr;
    }
    return eventNotHandledErr;
  }
  if (cls != kEventClassControl || d == nullptr) return eventNotHandledErr;
  switch (kind) {
    case kEventControlInitialize:
      HIViewChangeFeatures(d->VIEW, kHIViewFeatureAllowsSubviews, 0);
      return noErr;
    case kEventControlHitTest: {
      CGPoint where{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
      ControlPartCode part = RectContains(d->SPLITFRAME, where) ? ControlPartCode(kControlIndicatorPart) : ControlPartCode(kControlNoPart);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlDraw:
      return Draw(d, event);
    case kEventControlTrack: {
      // The event's point is the view's own; the drag loop takes window
      // content coordinates.
      CGPoint where{};
      GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where);
      HIViewConvertPoint(&where, d->VIEW, nullptr);
      SplitViewTrackSlider(where, d->VIEW);
      return eventNotHandledErr;
    }
    case kEventControlBoundsChanged:
      Layout(d, true);
      ComputeSplitFrame(d);
      HIViewSetNeedsDisplay(d->VIEW, true);
      return eventNotHandledErr;
  }
  return eventNotHandledErr;
}

}  // namespace

// ---------------------------------------------------------------------------

OSStatus RegisterSplitViewClass() {
  const OSStatus status =
      RegisterViewClass(kSplitViewClassID, ClassHandler, sizeof kClassEvents / sizeof *kClassEvents, kClassEvents);
  if (status != noErr) return status;
  for (int i = 0; i < kSplitViewStyleCount; ++i) {
    const Str255 n = Str255(kStyleNames[i]) + ").png";
    const Str255 folder("Images/SplitView Images");
    gImages[i].SLIDER[0] = LoadImage(Str255("VSlider (") + n, folder);
    gImages[i].SLIDER[1] = LoadImage(Str255("HSlider (") + n, folder);
    gImages[i].BACKGROUND[0] = LoadImage(Str255("VBackground (") + n, folder);
    gImages[i].BACKGROUND[1] = LoadImage(Str255("HBackground (") + n, folder);
  }
  return noErr;
}

void SplitViewSetupPanes(ControlRef inView, ControlRef inPane1, ControlRef inPane2) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  d->PANE1 = inPane1;
  d->PANE2 = inPane2;
  SetupPanes(d);
}

void SplitViewSetPane(ControlRef inView, SInt16 inWhich, ControlRef inPane) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  ControlRef* slot = nullptr;
  if (inWhich == kSplitViewTopPane || inWhich == kSplitViewLeftPane) slot = &d->PANE1;
  if (inWhich == kSplitViewBottomPane || inWhich == kSplitViewRightPane) slot = &d->PANE2;
  if (slot == nullptr) {
    if (inPane) {
      HIViewAddSubview(d->VIEW, inPane);
      HIViewSetVisible(inPane, true);
    }
    return;
  }
  if (*slot != nullptr && *slot != inPane) {
    HIViewSetVisible(*slot, false);
    HIViewRemoveFromSuperview(*slot);
  }
  *slot = inPane;
  if (inPane) {
    CGRect frame{};
    HIViewGetFrame(inPane, &frame);
    HIViewAddSubview(d->VIEW, inPane);
    HIViewSetFrame(inPane, &frame);
    HIViewSetVisible(inPane, true);
  }
  Layout(d, true);
}

ControlRef SplitViewGetPane(ControlRef inView, SInt16 inWhich) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return nullptr;
  if (inWhich == kSplitViewTopPane || inWhich == kSplitViewLeftPane) return d->PANE1;
  if (inWhich == kSplitViewBottomPane || inWhich == kSplitViewRightPane) return d->PANE2;
  return nullptr;
}

SInt16 SplitViewGetPaneIndex(ControlRef inView, ControlRef inPane) {
  SplitViewData* d = Data(inView);
  if (d == nullptr || inPane == nullptr) return 0;
  if (inPane == d->PANE1) return Vertical(d) ? kSplitViewLeftPane : kSplitViewTopPane;
  if (inPane == d->PANE2) return Vertical(d) ? kSplitViewRightPane : kSplitViewBottomPane;
  return 0;
}

void SplitViewSetPosition(ControlRef inView, SInt16 inPosition) {
  if (SplitViewData* d = Data(inView)) SetPosition(d, inPosition);
}

SInt16 SplitViewGetPosition(ControlRef inView) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return 0;
  if (d->HIDE != 0) return -1;
  return SInt16(std::trunc(d->POSITION));
}

void SplitViewSetLimit(ControlRef inView, CFRange inLimit) {
  if (SplitViewData* d = Data(inView)) d->LIMIT = inLimit;
}

void SplitViewSetKind(ControlRef inView, const Str255& inKind) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  if (const SInt16 style = StyleOfName(inKind)) d->STYLE = style;
  if (d->HIDE == 0) Layout(d, true);
  HIViewSetNeedsDisplay(d->VIEW, true);
}

void SplitViewSetVisible(ControlRef inView, SInt16 inSide) {
  if (SplitViewData* d = Data(inView)) SetVisible(d, inSide);
}

void SplitViewClose(ControlRef inView, SInt16 inWhich) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  const CGRect b = Bounds(d->VIEW);
  switch (inWhich) {
    case kSplitViewTopPane:
      d->SHUT = 0;
      SetPosition(d, SInt16(b.origin.y));
      break;
    case kSplitViewLeftPane:
      d->SHUT = 0;
      SetPosition(d, SInt16(b.origin.x));
      break;
    case kSplitViewBottomPane:
      d->SHUT = 1;
      SetPosition(d, SInt16(b.size.height));
      break;
    case kSplitViewRightPane:
      d->SHUT = 3;
      SetPosition(d, SInt16(b.size.width));
      break;
  }
}

Boolean SplitViewGetAsynchronous(ControlRef inView) {
  SplitViewData* d = Data(inView);
  return d ? d->ASYNCH : false;
}

void SplitViewSetNotificationCallback(ControlRef inView, SplitViewNotificationCallback inCallback, void* inContext) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  d->NOTIFICATIONCALLBACK = inCallback;
  d->CALLBACKCONTEXT = inContext;
}

void SplitViewSetCreatePaneCallback(ControlRef inView, SplitViewCreatePaneCallback inCallback) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  d->CREATEPANESCALLBACK = inCallback;
  if (inCallback) SetupPanes(d);
}

void SplitViewTrackSlider(CGPoint inMouse, ControlRef inView) {
  SplitViewData* d = Data(inView);
  if (d == nullptr) return;
  WindowRef window = HIViewGetWindow(inView);
  if (window == nullptr) return;
  CFRetain(inView);
  CGPoint previous = inMouse;
  HIViewConvertPoint(&previous, nullptr, inView);
  const bool vertical = Vertical(d);
  MouseTrackingResult result = 0;
  do {
    Point pt{};
    if (TrackMouseLocation(window, &pt, &result) != noErr) break;
    CGPoint p = QDPointToHI(pt);
    HIViewConvertPoint(&p, nullptr, inView);
    d->POSITION += float(vertical ? p.x - previous.x : p.y - previous.y);
    previous = p;
    const CGSize f = FrameSize(inView);
    const CGFloat extent = vertical ? f.width : f.height;
    const CGFloat along = vertical ? d->SPLITFRAME.size.width : d->SPLITFRAME.size.height;
    d->SHUT = SInt16(extent == along + d->POSITION + d->LIMIT.length ? (vertical ? 3 : 1) : 0);
    Layout(d, true);
    HIViewSetNeedsDisplay(inView, true);
  } while (result != kMouseTrackingMouseUp);
  CFRelease(inView);
}
