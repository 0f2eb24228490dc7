// Native child views: the record of which views show a toolkit widget, and
// where each is to show. The desktop host does the showing (GtkHost.cpp).
#include <algorithm>
#include <unordered_map>

#include "HINativeView.h"
#include "NativeViewInternal.h"
#include "ViewInternal.h"

namespace {

NativeViewHostHooks gHooks{};

std::unordered_map<const __CView*, void*>& Widgets() {
  static auto* widgets = new std::unordered_map<const __CView*, void*>();
  return *widgets;
}

bool EffectiveVisible(const __CView* view) {
  for (const __CView* v = view; v != nullptr; v = v->parent)
    if (!v->visible) return false;
  return true;
}

void Collect(__CView* view, std::vector<HIViewRef>* out) {
  if (ViewIsNative(view)) out->push_back(reinterpret_cast<HIViewRef>(view));
  for (__CView* child : view->children) Collect(child, out);
}

}  // namespace

void NativeViewSetHostHooks(const NativeViewHostHooks* hooks) { gHooks = hooks ? *hooks : NativeViewHostHooks{}; }

bool ViewIsNative(const __CView* view) { return Widgets().count(view) != 0; }

void NativeViewsTouched(WindowRef window) {
  if (window != nullptr && !Widgets().empty() && gHooks.changed) gHooks.changed(window);
}

void NativeViewForget(__CView* view) {
  auto it = Widgets().find(view);
  if (it == Widgets().end()) return;
  void* widget = it->second;
  WindowRef window = ViewWindow(view);
  Widgets().erase(it);
  if (gHooks.release) gHooks.release(widget);
  if (window != nullptr && gHooks.changed) gHooks.changed(window);
}

std::vector<HIViewRef> NativeViewsOfWindow(WindowRef window) {
  std::vector<HIViewRef> views;
  if (Widgets().empty()) return views;
  if (HIViewRef root = HIViewGetRoot(window)) Collect(ViewOf(root), &views);
  return views;
}

OSStatus HINativeViewCreate(void* inWidget, HIViewRef* outView) {
  if (outView == nullptr) return paramErr;
  *outView = nullptr;
  if (inWidget == nullptr) return paramErr;
  __CView* view = ViewCreateStandard(kControlKindNativeView, CGRect{});
  if (view == nullptr) return memFullErr;
  Widgets()[view] = inWidget;
  if (gHooks.retain) gHooks.retain(inWidget, reinterpret_cast<HIViewRef>(view));
  *outView = reinterpret_cast<HIViewRef>(view);
  return noErr;
}

void* HINativeViewGetWidget(HIViewRef inView) {
  if (!ViewIsLive(inView)) return nullptr;
  auto it = Widgets().find(ViewOf(inView));
  return it == Widgets().end() ? nullptr : it->second;
}

OSStatus HINativeViewGetPlacement(HIViewRef inView, HINativeViewPlacement* outPlacement) {
  if (!ViewIsLive(inView) || !ViewIsNative(ViewOf(inView))) return errUnknownControl;
  if (outPlacement == nullptr) return paramErr;
  __CView* view = ViewOf(inView);
  HINativeViewPlacement p{};
  p.window = ViewWindow(view);
  p.frame = CGRect{ViewToRoot(view, view->boundsOrigin), view->frame.size};
  if (p.window != nullptr && ViewTop(view)->isRoot && !ViewTop(view)->isStripRoot) {
    p.visible = EffectiveVisible(view);
    ControlRef focus = nullptr;
    GetKeyboardFocus(p.window, &focus);
    p.focused = focus == inView;
    const std::vector<HIViewRef> order = NativeViewsOfWindow(p.window);
    p.order = UInt32(std::find(order.begin(), order.end(), inView) - order.begin());
  } else {
    p.window = nullptr;
  }
  *outPlacement = p;
  return noErr;
}
