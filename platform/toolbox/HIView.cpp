// HIView: the view tree, geometry, state, values, text, properties and
// control data, and the events that report changes of them.
#include "HIView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "HIViewRecord.h"
#include "NativeViewInternal.h"
#include "ViewInternal.h"

namespace {

std::unordered_set<__CView*>& LiveViews() {
  static auto* views = new std::unordered_set<__CView*>();
  return *views;
}

std::unordered_map<WindowRef, __CView*>& WindowRoots() {
  static auto* roots = new std::unordered_map<WindowRef, __CView*>();
  return *roots;
}

EventTargetRef ViewParentTarget(void* owner) {
  auto* view = static_cast<__CView*>(owner);
  if (view->parent != nullptr) return view->parent->target;
  if (view->isRoot) return view->windowTarget;
  return nullptr;
}

__CView* Live(HIViewRef ref) {
  auto* view = ViewOf(ref);
  if (view == nullptr || LiveViews().count(view) == 0 || view->disposed) return nullptr;
  return view;
}

bool RectEqual(const CGRect& a, const CGRect& b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}

Rect ToQD(const CGRect& r) {
  Rect q;
  q.left = SInt16(std::lround(r.origin.x));
  q.top = SInt16(std::lround(r.origin.y));
  q.right = SInt16(std::lround(r.origin.x + r.size.width));
  q.bottom = SInt16(std::lround(r.origin.y + r.size.height));
  return q;
}

CGRect FromQD(const Rect& q) {
  return CGRect{{CGFloat(q.left), CGFloat(q.top)}, {CGFloat(q.right - q.left), CGFloat(q.bottom - q.top)}};
}

void SendSimple(__CView* view, EventKind kind) {
  EventRef e = ViewMakeEvent(kEventClassControl, kind, view);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
}

void ApplyChildLayouts(__CView* view);

// Records where the view's bound sides are, so that layout keeps them.
void CaptureLayoutDistances(__CView* view) {
  if (view->parent == nullptr) return;
  CGSize ps = view->parent->frame.size;
  const CGRect& f = view->frame;
  view->layoutDistance[0] = f.origin.y;
  view->layoutDistance[1] = f.origin.x;
  view->layoutDistance[2] = ps.height - (f.origin.y + f.size.height);
  view->layoutDistance[3] = ps.width - (f.origin.x + f.size.width);
}

bool HasAnyLayout(const HILayoutInfo& l) {
  return l.binding.top.kind || l.binding.left.kind || l.binding.bottom.kind || l.binding.right.kind ||
         l.position.x.kind || l.position.y.kind || l.scale.x.ratio != 0 || l.scale.y.ratio != 0;
}

CGRect LayoutFrame(__CView* view) {
  CGRect f = view->frame;
  if (view->parent == nullptr || !view->hasLayout) return f;
  CGSize ps = view->parent->frame.size;
  const HILayoutInfo& l = view->layout;
  const CGFloat* d = view->layoutDistance;
  // Scaling: a ratio of the superview's size.
  if (l.scale.x.ratio != 0) f.size.width = ps.width * l.scale.x.ratio;
  if (l.scale.y.ratio != 0) f.size.height = ps.height * l.scale.y.ratio;
  // Horizontal bindings.
  bool left = l.binding.left.kind != kHILayoutBindNone, right = l.binding.right.kind != kHILayoutBindNone;
  if (left && right) {
    f.origin.x = d[1];
    f.size.width = std::max<CGFloat>(0, ps.width - d[1] - d[3]);
  } else if (right) {
    f.origin.x = ps.width - d[3] - f.size.width;
  } else if (left) {
    f.origin.x = d[1];
  }
  bool top = l.binding.top.kind != kHILayoutBindNone, bottom = l.binding.bottom.kind != kHILayoutBindNone;
  if (top && bottom) {
    f.origin.y = d[0];
    f.size.height = std::max<CGFloat>(0, ps.height - d[0] - d[2]);
  } else if (bottom) {
    f.origin.y = ps.height - d[2] - f.size.height;
  } else if (top) {
    f.origin.y = d[0];
  }
  // Positioning.
  switch (l.position.x.kind) {
    case kHILayoutPositionCenter: f.origin.x = (ps.width - f.size.width) / 2 + l.position.x.offset; break;
    case kHILayoutPositionMin: f.origin.x = l.position.x.offset; break;
    case kHILayoutPositionMax: f.origin.x = ps.width - f.size.width - l.position.x.offset; break;
    default: break;
  }
  switch (l.position.y.kind) {
    case kHILayoutPositionCenter: f.origin.y = (ps.height - f.size.height) / 2 + l.position.y.offset; break;
    case kHILayoutPositionMin: f.origin.y = l.position.y.offset; break;
    case kHILayoutPositionMax: f.origin.y = ps.height - f.size.height - l.position.y.offset; break;
    default: break;
  }
  return f;
}

OSStatus SetFrameInternal(__CView* view, const CGRect& rect) {
  CGRect old = view->frame;
  if (RectEqual(old, rect)) return noErr;
  ViewInvalidate(view);
  view->frame = rect;
  ViewInvalidate(view);
  UInt32 attributes = 0;
  bool sized = old.size.width != rect.size.width || old.size.height != rect.size.height;
  if (sized) attributes |= kControlBoundsChangeSizeChanged;
  if (old.origin.x != rect.origin.x || old.origin.y != rect.origin.y) attributes |= kControlBoundsChangePositionChanged;
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlBoundsChanged, view);
  SetEventParameter(e, kEventParamAttributes, typeUInt32, sizeof attributes, &attributes);
  Rect qOld = ToQD(old), qNew = ToQD(rect);
  SetEventParameter(e, kEventParamPreviousBounds, typeHIRect, sizeof old, &old);
  SetEventParameter(e, kEventParamCurrentBounds, typeHIRect, sizeof rect, &rect);
  SetEventParameter(e, kEventParamOriginalBounds, typeHIRect, sizeof old, &old);
  SetEventParameter(e, kEventParamControlPreviousBounds, typeQDRectangle, sizeof qOld, &qOld);
  SetEventParameter(e, kEventParamControlCurrentBounds, typeQDRectangle, sizeof qNew, &qNew);
  SetEventParameter(e, kEventParamControlOriginalBounds, typeQDRectangle, sizeof qOld, &qOld);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  if (sized && Live(view) && view->layoutSuspended == 0) ApplyChildLayouts(view);
  return noErr;
}

void ApplyChildLayouts(__CView* view) {
  std::vector<__CView*> kids = view->children;
  for (auto* child : kids) {
    if (Live(child) == nullptr || child->parent != view || !child->hasLayout) continue;
    SetFrameInternal(child, LayoutFrame(child));
  }
}

// The owning window of every view of the subtree changed.
void NotifyWindowChanged(__CView* view, WindowRef oldWindow, WindowRef newWindow) {
  if (oldWindow == newWindow) return;
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlOwningWindowChanged, view);
  SetEventParameter(e, kEventParamControlOriginalOwningWindow, typeWindowRef, sizeof oldWindow, &oldWindow);
  SetEventParameter(e, kEventParamControlCurrentOwningWindow, typeWindowRef, sizeof newWindow, &newWindow);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  std::vector<__CView*> kids = view->children;
  for (auto* child : kids)
    if (Live(child)) NotifyWindowChanged(child, oldWindow, newWindow);
}

void Detach(__CView* view, bool notify);

// Ends the subtree: each view is announced to its parent while its own
// subviews are still in it (so the parent's handlers see the whole subtree
// that leaves, as when a view is removed), then the children end before it.
void Teardown(__CView* view) {
  if (view->disposing) return;
  view->disposing = true;
  if (view->parent != nullptr) {
    EventRef e = ViewMakeEvent(kEventClassControl, kEventControlRemovingSubControl, view->parent);
    HIViewRef ref = reinterpret_cast<HIViewRef>(view);
    SetEventParameter(e, kEventParamControlSubControl, typeControlRef, sizeof ref, &ref);
    ViewSendEvent(view->parent, e, true);
    ReleaseEvent(e);
  }
  while (!view->children.empty()) {
    __CView* child = view->children.front();
    if (child->disposing) {
      view->children.erase(view->children.begin());
      continue;
    }
    CFRetain(reinterpret_cast<HIViewRef>(child));
    Teardown(child);
    CFRelease(reinterpret_cast<HIViewRef>(child));
    // The tree held the subview's creation reference.
    CFRelease(reinterpret_cast<HIViewRef>(child));
  }
  SendSimple(view, kEventControlDispose);
  NativeViewForget(view);
  Detach(view, false);
  for (auto* area : view->trackingAreas) {
    area->view = nullptr;
    delete area;
  }
  view->trackingAreas.clear();
  ControlKindReleaseData(view);
  view->disposed = true;
  // Handlers of the view end with it.
  if (view->target) EventTargetDispose(view->target);
  view->target = nullptr;
  if (view->isRoot && !view->isStripRoot && view->window) WindowRoots().erase(view->window);
}

}  // namespace

void ViewFocusForget(__CView* view);

// ---------------------------------------------------------------------------
// Records

__CView::__CView() {
  target = EventTargetCreate(this, ViewParentTarget);
  InstallStandardEventHandler(target, ViewStandardHandler, 0, nullptr, this, nullptr);
  text = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  LiveViews().insert(this);
}

__CView::~__CView() {
  Pin();  // handlers may retain and release the view while it ends
  if (!disposed) {
    ViewFocusForget(this);
    Teardown(this);
  }
  Destruct();
  LiveViews().erase(this);
  if (text) CFRelease(text);
  for (auto& s : segments)
    if (s.label) CFRelease(s.label);
}

bool ViewIsLive(HIViewRef view) { return Live(view) != nullptr; }

__CView* ViewTop(__CView* view) {
  while (view->parent != nullptr) view = view->parent;
  return view;
}

WindowRef ViewWindow(const __CView* view) {
  while (view->parent != nullptr) view = view->parent;
  return view->isRoot ? view->window : nullptr;
}

CGPoint ViewToRoot(__CView* view, CGPoint p) {
  for (auto* v = view; v != nullptr && v->parent != nullptr; v = v->parent) {
    p.x += v->frame.origin.x - v->boundsOrigin.x;
    p.y += v->frame.origin.y - v->boundsOrigin.y;
  }
  __CView* top = ViewTop(view);
  p.x -= top->boundsOrigin.x;
  p.y -= top->boundsOrigin.y;
  if (top->isStripRoot) {
    p.x += top->frame.origin.x;
    p.y += top->frame.origin.y;
  }
  return p;
}

CGPoint ViewFromRoot(__CView* view, CGPoint p) {
  CGPoint zero = ViewToRoot(view, CGPoint{0, 0});
  return CGPoint{p.x - zero.x, p.y - zero.y};
}

EventRef ViewMakeEvent(EventClass cls, EventKind kind, __CView* view) {
  EventRef e = nullptr;
  CreateEvent(nullptr, cls, kind, 0, 0, &e);
  HIViewRef ref = reinterpret_cast<HIViewRef>(view);
  SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof ref, &ref);
  return e;
}

OSStatus ViewSendEvent(__CView* view, EventRef event, bool dontPropagate) {
  if (view == nullptr || view->target == nullptr) return eventNotHandledErr;
  return SendEventToEventTargetWithOptions(event, view->target, dontPropagate ? OptionBits(kEventTargetDontPropagate) : OptionBits(0));
}

// ---------------------------------------------------------------------------
// Windows

HIViewRef ViewCreateRoot(WindowRef window, EventTargetRef windowTarget, CGSize contentSize) {
  __CView* root = ViewCreateStandard(kControlKindRoot, CGRect{{0, 0}, contentSize});
  if (root == nullptr) return nullptr;
  root->isRoot = true;
  root->window = window;
  root->windowTarget = windowTarget;
  root->viewID = kHIViewWindowContentID;
  root->features |= kHIViewFeatureSupportsEmbedding;
  WindowRoots()[window] = root;
  return reinterpret_cast<HIViewRef>(root);
}

HIViewRef ViewCreateStripRoot(WindowRef window, EventTargetRef windowTarget, CGRect frame) {
  __CView* root = ViewCreateStandard(kControlKindRoot, frame);
  if (root == nullptr) return nullptr;
  root->isRoot = true;
  root->isStripRoot = true;
  root->window = window;
  root->windowTarget = windowTarget;
  root->features |= kHIViewFeatureSupportsEmbedding;
  return reinterpret_cast<HIViewRef>(root);
}

void ViewDisposeRoot(HIViewRef rootRef) {
  __CView* root = Live(rootRef);
  if (root == nullptr) return;
  WindowRef window = root->window;
  const bool strip = root->isStripRoot;
  DisposeControl(rootRef);
  if (!strip) WindowRoots().erase(window);
}

void ViewSetRootSize(HIViewRef rootRef, CGSize contentSize) {
  __CView* root = Live(rootRef);
  if (root == nullptr) return;
  SetFrameInternal(root, CGRect{root->frame.origin, contentSize});
}

HIViewRef HIViewGetRoot(WindowRef inWindow) {
  auto it = WindowRoots().find(inWindow);
  return it == WindowRoots().end() ? nullptr : reinterpret_cast<HIViewRef>(it->second);
}

OSErr GetRootControl(WindowRef inWindow, ControlRef* outControl) {
  if (outControl == nullptr) return paramErr;
  *outControl = HIViewGetRoot(inWindow);
  return *outControl ? OSErr(noErr) : OSErr(errNoRootControl);
}

void ViewEmbedInWindow(WindowRef window, __CView* view) {
  if (window == nullptr) return;
  HIViewRef root = HIViewGetRoot(window);
  if (root) HIViewAddSubview(root, reinterpret_cast<HIViewRef>(view));
}

// ---------------------------------------------------------------------------
// The tree

namespace {

void ClearFocusIn(__CView* view);

void Detach(__CView* view, bool notify) {
  __CView* parent = view->parent;
  if (parent == nullptr) return;
  if (notify) ClearFocusIn(view);
  ViewInvalidate(view);
  for (auto* area : view->trackingAreas) area->inside = false;
  auto& kids = parent->children;
  kids.erase(std::remove(kids.begin(), kids.end(), view), kids.end());
  view->parent = nullptr;
}

bool IsAncestorOrSelf(__CView* maybeAncestor, __CView* view) {
  for (auto* v = view; v != nullptr; v = v->parent)
    if (v == maybeAncestor) return true;
  return false;
}

}  // namespace

OSStatus HIViewAddSubview(HIViewRef inParent, HIViewRef inNewChild) {
  __CView* parent = Live(inParent);
  __CView* child = Live(inNewChild);
  if (parent == nullptr || child == nullptr) return errUnknownControl;
  if (child->isRoot || IsAncestorOrSelf(child, parent)) return paramErr;
  WindowRef oldWindow = ViewWindow(child);
  if (child->parent != nullptr) {
    if (child->parent == parent) return noErr;
    // Moving away removes the view from its old superview, which hears so.
    EventRef removing = ViewMakeEvent(kEventClassControl, kEventControlRemovingSubControl, child->parent);
    SetEventParameter(removing, kEventParamControlSubControl, typeControlRef, sizeof inNewChild, &inNewChild);
    ViewSendEvent(child->parent, removing, true);
    ReleaseEvent(removing);
    if (Live(inParent) == nullptr || Live(inNewChild) == nullptr) return errUnknownControl;
    if (child->parent == parent) return noErr;
    if (child->parent != nullptr) Detach(child, true);
  }
  child->parent = parent;
  parent->children.push_back(child);
  if (child->hasLayout) CaptureLayoutDistances(child);
  ViewInvalidate(child);
  NotifyWindowChanged(child, oldWindow, ViewWindow(child));
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlAddedSubControl, parent);
  SetEventParameter(e, kEventParamControlSubControl, typeControlRef, sizeof inNewChild, &inNewChild);
  ViewSendEvent(parent, e, true);
  ReleaseEvent(e);
  return noErr;
}

OSStatus HIViewRemoveFromSuperview(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (view->parent == nullptr) return noErr;
  WindowRef oldWindow = ViewWindow(view);
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlRemovingSubControl, view->parent);
  SetEventParameter(e, kEventParamControlSubControl, typeControlRef, sizeof inView, &inView);
  ViewSendEvent(view->parent, e, true);
  ReleaseEvent(e);
  Detach(view, true);
  NotifyWindowChanged(view, oldWindow, nullptr);
  return noErr;
}

OSErr EmbedControl(ControlRef inControl, ControlRef inContainer) {
  return OSErr(HIViewAddSubview(inContainer, inControl));
}

HIViewRef HIViewGetSuperview(HIViewRef inView) {
  __CView* view = Live(inView);
  return view && view->parent ? reinterpret_cast<HIViewRef>(view->parent) : nullptr;
}

OSErr GetSuperControl(ControlRef inControl, ControlRef* outParent) {
  if (outParent == nullptr) return paramErr;
  *outParent = HIViewGetSuperview(inControl);
  return *outParent ? OSErr(noErr) : OSErr(errControlIsNotEmbedder);
}

HIViewRef HIViewGetFirstSubview(HIViewRef inView) {
  __CView* view = Live(inView);
  return view && !view->children.empty() ? reinterpret_cast<HIViewRef>(view->children.front()) : nullptr;
}

HIViewRef HIViewGetLastSubview(HIViewRef inView) {
  __CView* view = Live(inView);
  return view && !view->children.empty() ? reinterpret_cast<HIViewRef>(view->children.back()) : nullptr;
}

static HIViewRef Sibling(HIViewRef inView, int step) {
  __CView* view = Live(inView);
  if (view == nullptr || view->parent == nullptr) return nullptr;
  auto& kids = view->parent->children;
  auto it = std::find(kids.begin(), kids.end(), view);
  if (it == kids.end()) return nullptr;
  long index = long(it - kids.begin()) + step;
  if (index < 0 || index >= long(kids.size())) return nullptr;
  return reinterpret_cast<HIViewRef>(kids[size_t(index)]);
}

HIViewRef HIViewGetNextView(HIViewRef inView) { return Sibling(inView, 1); }
HIViewRef HIViewGetPreviousView(HIViewRef inView) { return Sibling(inView, -1); }

ItemCount HIViewCountSubviews(HIViewRef inView) {
  __CView* view = Live(inView);
  return view ? view->children.size() : 0;
}

OSErr CountSubControls(ControlRef inControl, UInt16* outNumChildren) {
  if (outNumChildren == nullptr) return paramErr;
  __CView* view = Live(inControl);
  if (view == nullptr) return errUnknownControl;
  *outNumChildren = UInt16(std::min<size_t>(view->children.size(), 0xFFFF));
  return noErr;
}

OSStatus HIViewGetIndexedSubview(HIViewRef inView, CFIndex inSubviewIndex, HIViewRef* outSubview) {
  if (outSubview == nullptr) return paramErr;
  *outSubview = nullptr;
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (inSubviewIndex < 1 || inSubviewIndex > CFIndex(view->children.size())) return errUnknownControl;
  *outSubview = reinterpret_cast<HIViewRef>(view->children[size_t(inSubviewIndex - 1)]);
  return noErr;
}

OSErr GetIndexedSubControl(ControlRef inControl, UInt16 inIndex, ControlRef* outSubControl) {
  return OSErr(HIViewGetIndexedSubview(inControl, inIndex, outSubControl));
}

// Index order is drawing order: the last subview is on top.
OSStatus HIViewSetZOrder(HIViewRef inView, HIViewZOrderOp inOp, HIViewRef inOther) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (view->parent == nullptr) return errUnknownControl;
  __CView* other = inOther ? Live(inOther) : nullptr;
  if (inOther && (other == nullptr || other->parent != view->parent || other == view)) return paramErr;
  if (inOp != kHIViewZOrderAbove && inOp != kHIViewZOrderBelow) return paramErr;
  auto& kids = view->parent->children;
  kids.erase(std::find(kids.begin(), kids.end(), view));
  if (other == nullptr) {
    if (inOp == kHIViewZOrderAbove) kids.push_back(view);
    else kids.insert(kids.begin(), view);
  } else {
    auto it = std::find(kids.begin(), kids.end(), other);
    kids.insert(inOp == kHIViewZOrderAbove ? it + 1 : it, view);
  }
  ViewInvalidate(view);
  return noErr;
}

OSStatus HIViewSetID(HIViewRef inView, HIViewID inID) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  view->viewID = inID;
  return noErr;
}

OSStatus HIViewGetID(HIViewRef inView, HIViewID* outID) {
  __CView* view = Live(inView);
  if (view == nullptr || outID == nullptr) return view ? paramErr : errUnknownControl;
  *outID = view->viewID;
  return noErr;
}

OSStatus SetControlID(ControlRef inControl, const ControlID* inID) {
  if (inID == nullptr) return paramErr;
  return HIViewSetID(inControl, *inID);
}

OSStatus GetControlID(ControlRef inControl, ControlID* outID) { return HIViewGetID(inControl, outID); }

static __CView* FindByID(__CView* view, const HIViewID& id) {
  if (view->viewID.signature == id.signature && view->viewID.id == id.id) return view;
  for (auto* child : view->children)
    if (auto* found = FindByID(child, id)) return found;
  return nullptr;
}

OSStatus HIViewFindByID(HIViewRef inStartView, HIViewID inID, HIViewRef* outView) {
  if (outView == nullptr) return paramErr;
  *outView = nullptr;
  __CView* start = Live(inStartView);
  if (start == nullptr) return errUnknownControl;
  __CView* found = FindByID(start, inID);
  if (found == nullptr) return errUnknownControl;
  *outView = reinterpret_cast<HIViewRef>(found);
  return noErr;
}

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl) {
  if (outControl == nullptr || inID == nullptr) return paramErr;
  *outControl = nullptr;
  HIViewRef root = HIViewGetRoot(inWindow);
  if (root == nullptr) return errInvalidWindowRef;
  return HIViewFindByID(root, *inID, outControl);
}

WindowRef HIViewGetWindow(HIViewRef inView) {
  __CView* view = Live(inView);
  return view ? ViewWindow(view) : nullptr;
}

WindowRef GetControlOwner(ControlRef inControl) { return HIViewGetWindow(inControl); }

EventTargetRef HIViewGetEventTarget(HIViewRef inView) {
  __CView* view = Live(inView);
  return view ? view->target : nullptr;
}

EventTargetRef GetControlEventTarget(ControlRef inControl) { return HIViewGetEventTarget(inControl); }

void DisposeControl(ControlRef theControl) {
  __CView* view = Live(theControl);
  if (view == nullptr || view->disposing) return;
  ClearFocusIn(view);
  Teardown(view);
  // The tree's reference (the one creation gave) ends now.
  CFRelease(theControl);
}

void KillControls(WindowRef theWindow) {
  __CView* root = Live(HIViewGetRoot(theWindow));
  if (root == nullptr) return;
  while (!root->children.empty()) {
    __CView* child = root->children.back();
    DisposeControl(reinterpret_cast<HIViewRef>(child));
    if (!root->children.empty() && root->children.back() == child) Detach(child, false);
  }
}

OSStatus HIViewChangeFeatures(HIViewRef inView, HIViewFeatures inFeaturesToSet, HIViewFeatures inFeaturesToClear) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  view->features = (view->features | inFeaturesToSet) & ~inFeaturesToClear;
  return noErr;
}

OSStatus HIViewGetFeatures(HIViewRef inView, HIViewFeatures* outFeatures) {
  __CView* view = Live(inView);
  if (view == nullptr || outFeatures == nullptr) return view ? paramErr : errUnknownControl;
  *outFeatures = view->features;
  return noErr;
}

OSErr GetControlFeatures(ControlRef inControl, UInt32* outFeatures) {
  __CView* view = Live(inControl);
  if (view == nullptr || outFeatures == nullptr) return view ? paramErr : errUnknownControl;
  *outFeatures = UInt32(view->features);
  return noErr;
}

// ---------------------------------------------------------------------------
// Geometry

OSStatus HIViewGetFrame(HIViewRef inView, HIRect* outRect) {
  __CView* view = Live(inView);
  if (view == nullptr || outRect == nullptr) return view ? paramErr : errUnknownControl;
  *outRect = view->frame;
  return noErr;
}

OSStatus HIViewSetFrame(HIViewRef inView, const HIRect* inRect) {
  __CView* view = Live(inView);
  if (view == nullptr || inRect == nullptr) return view ? paramErr : errUnknownControl;
  if (!std::isfinite(inRect->origin.x) || !std::isfinite(inRect->origin.y) || !std::isfinite(inRect->size.width) ||
      !std::isfinite(inRect->size.height))
    return paramErr;
  CGRect r = *inRect;
  r.size.width = std::max<CGFloat>(0, r.size.width);
  r.size.height = std::max<CGFloat>(0, r.size.height);
  OSStatus status = SetFrameInternal(view, r);
  if (view->hasLayout) CaptureLayoutDistances(view);
  return status;
}

OSStatus HIViewGetBounds(HIViewRef inView, HIRect* outRect) {
  __CView* view = Live(inView);
  if (view == nullptr || outRect == nullptr) return view ? paramErr : errUnknownControl;
  *outRect = CGRect{view->boundsOrigin, view->frame.size};
  return noErr;
}

OSStatus HIViewSetBoundsOrigin(HIViewRef inView, CGFloat inX, CGFloat inY) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  view->boundsOrigin = CGPoint{inX, inY};
  ViewInvalidate(view);
  return noErr;
}

OSStatus HIViewPlaceInSuperviewAt(HIViewRef inView, CGFloat inX, CGFloat inY) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  CGRect r = view->frame;
  r.origin = CGPoint{inX, inY};
  return HIViewSetFrame(inView, &r);
}

OSStatus HIViewMoveBy(HIViewRef inView, CGFloat inDX, CGFloat inDY) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  CGRect r = view->frame;
  r.origin.x += inDX;
  r.origin.y += inDY;
  return HIViewSetFrame(inView, &r);
}

OSStatus HIViewReshapeStructure(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  ViewInvalidate(view);
  return noErr;
}

Rect* GetControlBounds(ControlRef inControl, Rect* outBounds) {
  if (outBounds == nullptr) return nullptr;
  *outBounds = Rect{0, 0, 0, 0};
  __CView* view = Live(inControl);
  if (view == nullptr) return outBounds;
  CGRect r = view->frame;
  if (view->parent) r.origin = ViewToRoot(view->parent, r.origin);
  *outBounds = ToQD(r);
  return outBounds;
}

void SetControlBounds(ControlRef inControl, const Rect* inBounds) {
  __CView* view = Live(inControl);
  if (view == nullptr || inBounds == nullptr) return;
  CGRect r = FromQD(*inBounds);
  if (view->parent) r.origin = ViewFromRoot(view->parent, r.origin);
  HIViewSetFrame(inControl, &r);
}

void MoveControl(ControlRef theControl, SInt16 h, SInt16 v) {
  Rect r;
  GetControlBounds(theControl, &r);
  SInt16 w = SInt16(r.right - r.left), ht = SInt16(r.bottom - r.top);
  Rect n = {v, h, SInt16(v + ht), SInt16(h + w)};
  SetControlBounds(theControl, &n);
}

void SizeControl(ControlRef theControl, SInt16 w, SInt16 h) {
  Rect r;
  GetControlBounds(theControl, &r);
  r.right = SInt16(r.left + w);
  r.bottom = SInt16(r.top + h);
  SetControlBounds(theControl, &r);
}

OSStatus HIViewGetSizeConstraints(HIViewRef inView, HISize* outMinSize, HISize* outMaxSize) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  HISize minSize = {0, 0}, maxSize = {1e9, 1e9};
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlGetSizeConstraints, view);
  if (ViewSendEvent(view, e, true) == noErr) {
    GetEventParameter(e, kEventParamMinimumSize, typeHISize, nullptr, sizeof minSize, nullptr, &minSize);
    GetEventParameter(e, kEventParamMaximumSize, typeHISize, nullptr, sizeof maxSize, nullptr, &maxSize);
  }
  ReleaseEvent(e);
  if (outMinSize) *outMinSize = minSize;
  if (outMaxSize) *outMaxSize = maxSize;
  return noErr;
}

OSStatus HIViewGetOptimalBounds(HIViewRef inView, HIRect* outBounds, float* outBaseLineOffset) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  HIRect bounds = view->frame;
  SInt16 baseline = 0;
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlGetOptimalBounds, view);
  if (ViewSendEvent(view, e, true) == noErr) {
    GetEventParameter(e, kEventParamControlOptimalBounds, typeHIRect, nullptr, sizeof bounds, nullptr, &bounds);
    GetEventParameter(e, kEventParamControlOptimalBaselineOffset, typeSInt16, nullptr, sizeof baseline, nullptr,
                      &baseline);
  }
  ReleaseEvent(e);
  if (outBounds) *outBounds = bounds;
  if (outBaseLineOffset) *outBaseLineOffset = baseline;
  return noErr;
}

OSErr GetBestControlRect(ControlRef inControl, Rect* outRect, SInt16* outBaseLineOffset) {
  HIRect r;
  float baseline = 0;
  OSStatus status = HIViewGetOptimalBounds(inControl, &r, &baseline);
  if (status != noErr) return OSErr(status);
  __CView* view = Live(inControl);
  if (view->parent) r.origin = ViewToRoot(view->parent, r.origin);
  if (outRect) *outRect = ToQD(r);
  if (outBaseLineOffset) *outBaseLineOffset = SInt16(baseline);
  return noErr;
}

OSStatus HIViewConvertPoint(HIPoint* ioPoint, HIViewRef inSourceView, HIViewRef inDestView) {
  if (ioPoint == nullptr) return paramErr;
  __CView* source = inSourceView ? Live(inSourceView) : nullptr;
  __CView* dest = inDestView ? Live(inDestView) : nullptr;
  if ((inSourceView && !source) || (inDestView && !dest)) return errUnknownControl;
  if (source && dest && ViewTop(source) != ViewTop(dest)) return errUnknownControl;
  CGPoint p = *ioPoint;
  if (source) p = ViewToRoot(source, p);
  if (dest) p = ViewFromRoot(dest, p);
  *ioPoint = p;
  return noErr;
}

OSStatus HIViewConvertRect(HIRect* ioRect, HIViewRef inSourceView, HIViewRef inDestView) {
  if (ioRect == nullptr) return paramErr;
  return HIViewConvertPoint(&ioRect->origin, inSourceView, inDestView);
}

OSStatus HIViewGetLayoutInfo(HIViewRef inView, HILayoutInfo* outLayoutInfo) {
  __CView* view = Live(inView);
  if (view == nullptr || outLayoutInfo == nullptr) return view ? paramErr : errUnknownControl;
  *outLayoutInfo = view->layout;
  return noErr;
}

OSStatus HIViewSetLayoutInfo(HIViewRef inView, const HILayoutInfo* inLayoutInfo) {
  __CView* view = Live(inView);
  if (view == nullptr || inLayoutInfo == nullptr) return view ? paramErr : errUnknownControl;
  if (inLayoutInfo->version != kHILayoutInfoVersionZero) return paramErr;
  view->layout = *inLayoutInfo;
  view->hasLayout = HasAnyLayout(view->layout);
  CaptureLayoutDistances(view);
  SendSimple(view, kEventControlLayoutInfoChanged);
  return noErr;
}

OSStatus HIViewApplyLayout(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (view->hasLayout && view->parent) SetFrameInternal(view, LayoutFrame(view));
  return noErr;
}

OSStatus HIViewSuspendLayout(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  ++view->layoutSuspended;
  return noErr;
}

OSStatus HIViewResumeLayout(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (view->layoutSuspended > 0) --view->layoutSuspended;
  return noErr;
}

// ---------------------------------------------------------------------------
// Visibility, enabled and active state, hilite

Boolean HIViewIsVisible(HIViewRef inView) {
  __CView* view = Live(inView);
  if (view == nullptr) return false;
  for (auto* v = view; v != nullptr; v = v->parent)
    if (!v->visible) return false;
  return true;
}

Boolean HIViewIsLatentlyVisible(HIViewRef inView) {
  __CView* view = Live(inView);
  return view && view->visible;
}

Boolean IsControlVisible(ControlRef inControl) { return HIViewIsVisible(inControl); }
void ShowControl(ControlRef theControl) { HIViewSetVisible(theControl, true); }
void HideControl(ControlRef theControl) { HIViewSetVisible(theControl, false); }
OSErr SetControlVisibility(ControlRef inControl, Boolean inIsVisible, Boolean) {
  return OSErr(HIViewSetVisible(inControl, inIsVisible));
}

namespace {

bool Effective(__CView* view, bool __CView::*flag) {
  for (auto* v = view; v != nullptr; v = v->parent)
    if (!(v->*flag)) return false;
  return true;
}

// Sends the state event to the view and each subview whose effective state
// changed with it.
void AnnounceState(__CView* view, EventKind kind, const std::vector<std::pair<__CView*, bool>>& before,
                   bool __CView::*flag) {
  for (auto& [v, was] : before) {
    if (Live(reinterpret_cast<HIViewRef>(v)) == nullptr) continue;
    bool now = Effective(v, flag);
    if (now == was) continue;
    ViewInvalidate(v);
    EventKind k = kind;
    if (kind == kEventControlActivate && !now) k = kEventControlDeactivate;
    SendSimple(v, k);
  }
  (void)view;
}

void CollectState(__CView* view, bool __CView::*flag, std::vector<std::pair<__CView*, bool>>* out) {
  out->emplace_back(view, Effective(view, flag));
  for (auto* child : view->children) CollectState(child, flag, out);
}

OSStatus SetFlag(HIViewRef ref, bool __CView::*flag, bool value, EventKind kind) {
  __CView* view = Live(ref);
  if (view == nullptr) return errUnknownControl;
  if (view->*flag == value) return noErr;
  std::vector<std::pair<__CView*, bool>> before;
  CollectState(view, flag, &before);
  view->*flag = value;
  AnnounceState(view, kind, before, flag);
  return noErr;
}

}  // namespace

// The view hears its own change; each subview whose effective visibility
// changed with it hears it too (a text view in a tab pane that comes forward
// must learn that it shows).
OSStatus HIViewSetVisible(HIViewRef inView, Boolean inVisible) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  bool visible = inVisible != 0;
  if (view->visible == visible) return noErr;
  if (!visible) ClearFocusIn(view);
  std::vector<std::pair<__CView*, bool>> before;
  CollectState(view, &__CView::visible, &before);
  ViewInvalidate(view);
  view->visible = visible;
  ViewInvalidate(view);
  for (auto& [v, was] : before) {
    if (Live(reinterpret_cast<HIViewRef>(v)) == nullptr) continue;
    const bool now = v == view ? visible : Effective(v, &__CView::visible);
    if (v != view && now == was) continue;
    EventRef e = ViewMakeEvent(kEventClassControl, kEventControlVisibilityChanged, v);
    Boolean flag = now;
    SetEventParameter(e, kEventParamControlIsVisible, typeBoolean, sizeof flag, &flag);
    ViewSendEvent(v, e, true);
    ReleaseEvent(e);
  }
  return noErr;
}

OSStatus HIViewSetEnabled(HIViewRef inView, Boolean inSetEnabled) {
  return SetFlag(inView, &__CView::enabled, inSetEnabled != 0, kEventControlEnabledStateChanged);
}

Boolean HIViewIsEnabled(HIViewRef inView, Boolean* outIsLatentEnabled) {
  __CView* view = Live(inView);
  if (outIsLatentEnabled) *outIsLatentEnabled = view && view->enabled;
  return view && Effective(view, &__CView::enabled);
}

Boolean IsControlEnabled(ControlRef inControl) { return HIViewIsEnabled(inControl, nullptr); }
OSErr EnableControl(ControlRef inControl) { return OSErr(HIViewSetEnabled(inControl, true)); }
OSErr DisableControl(ControlRef inControl) { return OSErr(HIViewSetEnabled(inControl, false)); }

OSStatus HIViewSetActivated(HIViewRef inView, Boolean inSetActivated) {
  return SetFlag(inView, &__CView::active, inSetActivated != 0, kEventControlActivate);
}

Boolean HIViewIsActive(HIViewRef inView, Boolean* outIsLatentActive) {
  __CView* view = Live(inView);
  if (outIsLatentActive) *outIsLatentActive = view && view->active;
  return view && Effective(view, &__CView::active);
}

Boolean IsControlActive(ControlRef inControl) { return HIViewIsActive(inControl, nullptr); }
OSErr ActivateControl(ControlRef inControl) { return OSErr(HIViewSetActivated(inControl, true)); }
OSErr DeactivateControl(ControlRef inControl) { return OSErr(HIViewSetActivated(inControl, false)); }

OSStatus HIViewSetHilite(HIViewRef inView, HIViewPartCode inHilitePart) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  if (view->hilite == inHilitePart) return noErr;
  ControlPartCode old = view->hilite;
  view->hilite = inHilitePart;
  ViewInvalidate(view);
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlHiliteChanged, view);
  SetEventParameter(e, kEventParamControlPreviousPart, typeControlPartCode, sizeof old, &old);
  SetEventParameter(e, kEventParamControlCurrentPart, typeControlPartCode, sizeof inHilitePart, &inHilitePart);
  ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  return noErr;
}

void HiliteControl(ControlRef theControl, ControlPartCode hiliteState) { HIViewSetHilite(theControl, hiliteState); }

ControlPartCode GetControlHilite(ControlRef theControl) {
  __CView* view = Live(theControl);
  if (view == nullptr) return kControlNoPart;
  if (!Effective(view, &__CView::active)) return kControlInactivePart;
  if (!Effective(view, &__CView::enabled)) return kControlDisabledPart;
  return view->hilite;
}

HIViewPartCode HIViewGetHilite(HIViewRef inView) { return GetControlHilite(inView); }

Boolean HIViewIsDrawingEnabled(HIViewRef inView) {
  __CView* view = Live(inView);
  return view && view->drawingEnabled;
}

OSStatus HIViewSetDrawingEnabled(HIViewRef inView, Boolean inEnabled) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  view->drawingEnabled = inEnabled != 0;
  if (view->drawingEnabled) ViewInvalidate(view);
  return noErr;
}

// ---------------------------------------------------------------------------
// Values

void ViewSetValueInternal(__CView* view, SInt32 value) {
  value = std::max(view->minimum, std::min(view->maximum, value));
  if (value == view->value) return;
  view->value = value;
  ViewInvalidate(view);
  SendSimple(view, kEventControlValueFieldChanged);
}

namespace {

void SetLimit(__CView* view, SInt32 SInt32Min, SInt32 SInt32Max) {
  const SInt32 oldMinimum = view->minimum, oldMaximum = view->maximum;
  view->minimum = SInt32Min;
  view->maximum = SInt32Max;
  if (view->maximum < view->minimum) view->maximum = view->minimum;
  ViewSetValueInternal(view, view->value);
  // Scroll bars are told their limits after every scroll: unchanged ones
  // need no drawing.
  if (view->minimum != oldMinimum || view->maximum != oldMaximum) ViewInvalidate(view);
}

SInt16 To16(SInt32 v) { return SInt16(std::max<SInt32>(-32768, std::min<SInt32>(32767, v))); }

}  // namespace

SInt32 GetControl32BitValue(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->value : 0;
}

void SetControl32BitValue(ControlRef theControl, SInt32 newValue) {
  __CView* view = Live(theControl);
  if (view == nullptr) return;
  if (IsRadioGroup(view)) RadioGroupSelectIndex(view, newValue);
  if (IsSegmentedView(view)) SegmentedViewSelectIndex(view, newValue);
  ViewSetValueInternal(view, newValue);
}

SInt32 GetControl32BitMinimum(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->minimum : 0;
}

void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum) {
  if (__CView* view = Live(theControl)) SetLimit(view, newMinimum, std::max(view->maximum, newMinimum));
}

SInt32 GetControl32BitMaximum(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->maximum : 0;
}

void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum) {
  if (__CView* view = Live(theControl)) SetLimit(view, std::min(view->minimum, newMaximum), newMaximum);
}

SInt32 GetControlViewSize(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->viewSize : 0;
}

void SetControlViewSize(ControlRef theControl, SInt32 newViewSize) {
  if (__CView* view = Live(theControl)) {
    if (view->viewSize == newViewSize) return;
    view->viewSize = newViewSize;
    ViewInvalidate(view);
  }
}

SInt16 GetControlValue(ControlRef c) { return To16(GetControl32BitValue(c)); }
void SetControlValue(ControlRef c, SInt16 v) { SetControl32BitValue(c, v); }
SInt16 GetControlMinimum(ControlRef c) { return To16(GetControl32BitMinimum(c)); }
void SetControlMinimum(ControlRef c, SInt16 v) { SetControl32BitMinimum(c, v); }
SInt16 GetControlMaximum(ControlRef c) { return To16(GetControl32BitMaximum(c)); }
void SetControlMaximum(ControlRef c, SInt16 v) { SetControl32BitMaximum(c, v); }
SInt32 HIViewGetValue(HIViewRef v) { return GetControl32BitValue(v); }
OSStatus HIViewSetValue(HIViewRef v, SInt32 value) {
  if (!Live(v)) return errUnknownControl;
  SetControl32BitValue(v, value);
  return noErr;
}
SInt32 HIViewGetMinimum(HIViewRef v) { return GetControl32BitMinimum(v); }
OSStatus HIViewSetMinimum(HIViewRef v, SInt32 value) {
  if (!Live(v)) return errUnknownControl;
  SetControl32BitMinimum(v, value);
  return noErr;
}
SInt32 HIViewGetMaximum(HIViewRef v) { return GetControl32BitMaximum(v); }
OSStatus HIViewSetMaximum(HIViewRef v, SInt32 value) {
  if (!Live(v)) return errUnknownControl;
  SetControl32BitMaximum(v, value);
  return noErr;
}
SInt32 HIViewGetViewSize(HIViewRef v) { return GetControlViewSize(v); }
OSStatus HIViewSetViewSize(HIViewRef v, SInt32 value) {
  if (!Live(v)) return errUnknownControl;
  SetControlViewSize(v, value);
  return noErr;
}

// ---------------------------------------------------------------------------
// Text, command, kind, reference constant, action

OSStatus HIViewSetText(HIViewRef inView, CFStringRef inText) {
  __CView* view = Live(inView);
  if (view == nullptr) return errUnknownControl;
  CFStringRef copy = inText ? CFStringCreateCopy(nullptr, inText) : CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  if (copy == nullptr) return paramErr;
  CFRelease(view->text);
  view->text = copy;
  // The selection stays inside the new text.
  SInt16 len = SInt16(std::min<CFIndex>(CFStringGetLength(copy), 32767));
  view->selection.selStart = std::min(view->selection.selStart, len);
  view->selection.selEnd = std::min(view->selection.selEnd, len);
  ViewInvalidate(view);
  SendSimple(view, kEventControlTitleChanged);
  return noErr;
}

CFStringRef HIViewCopyText(HIViewRef inView) {
  __CView* view = Live(inView);
  return view ? CFStringCreateCopy(nullptr, view->text) : nullptr;
}

OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString) {
  return HIViewSetText(inControl, inString);
}

OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString) {
  if (outString == nullptr) return paramErr;
  *outString = HIViewCopyText(inControl);
  return *outString ? noErr : errUnknownControl;
}

OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID) {
  __CView* view = Live(inControl);
  if (view == nullptr) return errUnknownControl;
  view->commandID = inCommandID;
  return noErr;
}

OSStatus GetControlCommandID(ControlRef inControl, UInt32* outCommandID) {
  __CView* view = Live(inControl);
  if (view == nullptr || outCommandID == nullptr) return view ? paramErr : errUnknownControl;
  *outCommandID = view->commandID;
  return noErr;
}

OSStatus HIViewSetCommandID(HIViewRef v, UInt32 c) { return SetControlCommandID(v, c); }
OSStatus HIViewGetCommandID(HIViewRef v, UInt32* c) { return GetControlCommandID(v, c); }

OSStatus GetControlKind(ControlRef inControl, ControlKind* outControlKind) {
  __CView* view = Live(inControl);
  if (view == nullptr || outControlKind == nullptr) return view ? paramErr : errUnknownControl;
  *outControlKind = view->kind;
  return noErr;
}

HIViewRef HIViewGetKind(HIViewRef inView, ControlKind* outKind) {
  return GetControlKind(inView, outKind) == noErr ? inView : nullptr;
}

void SetControlReference(ControlRef theControl, SRefCon data) {
  if (__CView* view = Live(theControl)) view->refCon = data;
}

SRefCon GetControlReference(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->refCon : 0;
}

void SetControlAction(ControlRef theControl, ControlActionUPP actionProc) {
  if (__CView* view = Live(theControl)) view->action = actionProc;
}

ControlActionUPP GetControlAction(ControlRef theControl) {
  __CView* view = Live(theControl);
  return view ? view->action : nullptr;
}

OSStatus SetControlDragTrackingEnabled(ControlRef inControl, Boolean inTracks) {
  __CView* view = Live(inControl);
  if (view == nullptr) return errUnknownControl;
  view->dragTracking = inTracks != 0;
  return noErr;
}

OSStatus IsControlDragTrackingEnabled(ControlRef inControl, Boolean* outTracks) {
  __CView* view = Live(inControl);
  if (view == nullptr || outTracks == nullptr) return view ? paramErr : errUnknownControl;
  *outTracks = view->dragTracking;
  return noErr;
}

// ---------------------------------------------------------------------------
// Properties

OSStatus SetControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount propertySize,
                            const void* propertyData) {
  __CView* view = Live(control);
  if (view == nullptr) return errUnknownControl;
  if (propertySize > 0 && propertyData == nullptr) return paramErr;
  auto& prop = view->properties[{propertyCreator, propertyTag}];
  const UInt8* bytes = static_cast<const UInt8*>(propertyData);
  prop.bytes.assign(bytes, bytes + propertySize);
  return noErr;
}

OSStatus GetControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount bufferSize,
                            ByteCount* actualSize, void* propertyBuffer) {
  __CView* view = Live(control);
  if (view == nullptr) return errUnknownControl;
  auto it = view->properties.find({propertyCreator, propertyTag});
  if (it == view->properties.end()) return errControlPropertyNotFoundErr;
  ByteCount size = it->second.bytes.size();
  if (actualSize) *actualSize = size;
  if (propertyBuffer == nullptr) return size == 0 ? noErr : paramErr;
  if (bufferSize < size) return paramErr;
  if (size) memcpy(propertyBuffer, it->second.bytes.data(), size);
  return noErr;
}

OSStatus GetControlPropertySize(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount* size) {
  __CView* view = Live(control);
  if (view == nullptr || size == nullptr) return view ? paramErr : errUnknownControl;
  auto it = view->properties.find({propertyCreator, propertyTag});
  if (it == view->properties.end()) return errControlPropertyNotFoundErr;
  *size = it->second.bytes.size();
  return noErr;
}

OSStatus RemoveControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag) {
  __CView* view = Live(control);
  if (view == nullptr) return errUnknownControl;
  return view->properties.erase({propertyCreator, propertyTag}) ? noErr : errControlPropertyNotFoundErr;
}

OSStatus GetControlPropertyAttributes(ControlRef control, OSType propertyCreator, OSType propertyTag,
                                      OptionBits* attributes) {
  __CView* view = Live(control);
  if (view == nullptr || attributes == nullptr) return view ? paramErr : errUnknownControl;
  auto it = view->properties.find({propertyCreator, propertyTag});
  if (it == view->properties.end()) return errControlPropertyNotFoundErr;
  *attributes = it->second.attributes;
  return noErr;
}

OSStatus ChangeControlPropertyAttributes(ControlRef control, OSType propertyCreator, OSType propertyTag,
                                         OptionBits attributesToSet, OptionBits attributesToClear) {
  __CView* view = Live(control);
  if (view == nullptr) return errUnknownControl;
  auto it = view->properties.find({propertyCreator, propertyTag});
  if (it == view->properties.end()) return errControlPropertyNotFoundErr;
  it->second.attributes = (it->second.attributes | attributesToSet) & ~attributesToClear;
  return noErr;
}

// ---------------------------------------------------------------------------
// Control data: through the control's handlers, so that a program's view
// class can answer tags of its own.

OSErr SetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inSize,
                     const void* inData) {
  __CView* view = Live(inControl);
  if (view == nullptr) return errUnknownControl;
  if (inSize < 0 || (inSize > 0 && inData == nullptr)) return paramErr;
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlSetData, view);
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof inPart, &inPart);
  SetEventParameter(e, kEventParamControlDataTag, typeEnumeration, sizeof inTagName, &inTagName);
  const void* ptr = inData;
  SetEventParameter(e, kEventParamControlDataBuffer, typePtr, sizeof ptr, &ptr);
  SInt32 size = SInt32(std::min<Size>(inSize, 0x7FFFFFFF));
  SetEventParameter(e, kEventParamControlDataBufferSize, typeSInt32, sizeof size, &size);
  OSStatus status = ViewSendEvent(view, e, true);
  ReleaseEvent(e);
  if (status == eventNotHandledErr) status = errDataNotSupported;
  return OSErr(status);
}

OSErr GetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inBufferSize,
                     void* inBuffer, Size* outActualSize) {
  __CView* view = Live(inControl);
  if (view == nullptr) return errUnknownControl;
  if (inBufferSize < 0) return paramErr;
  EventRef e = ViewMakeEvent(kEventClassControl, kEventControlGetData, view);
  SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof inPart, &inPart);
  SetEventParameter(e, kEventParamControlDataTag, typeEnumeration, sizeof inTagName, &inTagName);
  void* ptr = inBuffer;
  SetEventParameter(e, kEventParamControlDataBuffer, typePtr, sizeof ptr, &ptr);
  SInt32 size = SInt32(std::min<Size>(inBufferSize, 0x7FFFFFFF));
  SetEventParameter(e, kEventParamControlDataBufferSize, typeSInt32, sizeof size, &size);
  OSStatus status = ViewSendEvent(view, e, true);
  if (status == noErr && outActualSize) {
    SInt32 actual = 0;
    GetEventParameter(e, kEventParamControlDataBufferSize, typeSInt32, nullptr, sizeof actual, nullptr, &actual);
    *outActualSize = actual;
  }
  ReleaseEvent(e);
  if (status == eventNotHandledErr) status = errDataNotSupported;
  return OSErr(status);
}

OSErr GetControlDataSize(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size* outMaxSize) {
  if (outMaxSize == nullptr) return paramErr;
  return GetControlData(inControl, inPart, inTagName, 0, nullptr, outMaxSize);
}

// ---------------------------------------------------------------------------
// Creation of plain views

OSStatus HIViewCreate(const HIRect* inFrame, HIViewRef* outView) {
  if (outView == nullptr) return paramErr;
  *outView = nullptr;
  __CView* view = ViewCreateStandard(kControlKindHIView, inFrame ? *inFrame : CGRect{});
  if (view == nullptr) return paramErr;
  view->features |= kHIViewFeatureSupportsEmbedding;
  *outView = reinterpret_cast<HIViewRef>(view);
  return noErr;
}

__CView* ViewCreateStandard(OSType kind, const CGRect& frame) {
  HIObjectRef object = nullptr;
  if (HIObjectCreateOfClass(HIObjectClassViewBase(), nullptr, &object) != noErr) return nullptr;
  auto* view = reinterpret_cast<__CView*>(object);
  view->kind = ControlKind{kControlKindSignatureApple, kind};
  view->frame = frame;
  view->frame.size.width = std::max<CGFloat>(0, frame.size.width);
  view->frame.size.height = std::max<CGFloat>(0, frame.size.height);
  return view;
}

// ---------------------------------------------------------------------------
// Focus records live in HIViewEvents.cpp; this file only clears them.

void ViewFocusForget(__CView* view);
namespace {
void ClearFocusIn(__CView* view) { ViewFocusForget(view); }
}  // namespace
