// Native child views on the desktop: each view's widget is a child of its
// window's GtkOverlay, above the drawing area, at the view's frame. Changes of
// the view tree only mark the window; the widgets are placed once the loop is
// idle, when the tree is in its final state (a view that moves from one
// window to another leaves the first and enters the second in one go).
#include <set>
#include <vector>

#include "GtkHost.h"
#include "HINativeView.h"
#include "NativeViewInternal.h"
#include "WindowInternal.h"

namespace {

const char kFrameKey[] = "quorvel-native-frame";
const char kViewKey[] = "quorvel-native-view";

std::set<WindowRef> gPending;
guint gIdle = 0;

struct Frame {
  int x, y, width, height;
};

// The overlay asks where each of its children goes: at its view's frame.
gboolean OnChildPosition(GtkOverlay*, GtkWidget* widget, GdkRectangle* allocation, gpointer) {
  auto* frame = static_cast<Frame*>(g_object_get_data(G_OBJECT(widget), kFrameKey));
  if (frame == nullptr) return FALSE;
  allocation->x = frame->x;
  allocation->y = frame->y;
  allocation->width = frame->width;
  allocation->height = frame->height;
  return TRUE;
}

// A click into the widget gives it the focus: the view takes the window's.
gboolean OnWidgetFocusIn(GtkWidget* widget, GdkEvent*, gpointer) {
  auto view = static_cast<HIViewRef>(g_object_get_data(G_OBJECT(widget), kViewKey));
  HINativeViewPlacement p{};
  if (view != nullptr && HINativeViewGetPlacement(view, &p) == noErr && p.window != nullptr && !p.focused)
    SetKeyboardFocus(p.window, view, kControlFocusNextPart);
  return FALSE;
}

void Unparent(GtkWidget* widget) {
  if (GtkWidget* parent = gtk_widget_get_parent(widget)) gtk_container_remove(GTK_CONTAINER(parent), widget);
}

void Place(WindowRef window) {
  GtkWidget* overlay = GtkHostOverlayWidget(window);
  GtkWidget* area = GtkHostContentWidget(window);
  if (overlay == nullptr || !WindowIsLive(window)) return;
  std::set<GtkWidget*> present;
  for (HIViewRef view : NativeViewsOfWindow(window)) {
    auto* widget = static_cast<GtkWidget*>(HINativeViewGetWidget(view));
    HINativeViewPlacement p{};
    if (widget == nullptr || HINativeViewGetPlacement(view, &p) != noErr) continue;
    present.insert(widget);
    if (gtk_widget_get_parent(widget) != overlay) {
      Unparent(widget);
      gtk_overlay_add_overlay(GTK_OVERLAY(overlay), widget);
    }
    auto* frame = static_cast<Frame*>(g_object_get_data(G_OBJECT(widget), kFrameKey));
    const Frame now{int(p.frame.origin.x), int(p.frame.origin.y), int(p.frame.size.width), int(p.frame.size.height)};
    if (frame->x != now.x || frame->y != now.y || frame->width != now.width || frame->height != now.height) {
      *frame = now;
      gtk_widget_queue_resize(widget);
    }
    gtk_widget_set_visible(widget, p.visible && now.width > 0 && now.height > 0);
    // Overlay index 0 is the lowest overlay child, above the drawing area.
    // Restacking only when the order changed keeps typing elsewhere in the
    // window from laying the overlay out again.
    int index = -1;
    gtk_container_child_get(GTK_CONTAINER(overlay), widget, "index", &index, nullptr);
    if (index != int(p.order)) gtk_overlay_reorder_overlay(GTK_OVERLAY(overlay), widget, int(p.order));
    const bool hasFocus = gtk_widget_has_focus(widget) ||
                          (GTK_IS_CONTAINER(widget) && gtk_container_get_focus_child(GTK_CONTAINER(widget)));
    if (p.focused && p.visible && !hasFocus) gtk_widget_grab_focus(widget);
    else if (!p.focused && hasFocus && area != nullptr) gtk_widget_grab_focus(area);
  }
  // Widgets whose views left this window.
  GList* children = gtk_container_get_children(GTK_CONTAINER(overlay));
  for (GList* c = children; c != nullptr; c = c->next) {
    auto* child = static_cast<GtkWidget*>(c->data);
    if (child != area && g_object_get_data(G_OBJECT(child), kFrameKey) != nullptr && present.count(child) == 0)
      gtk_container_remove(GTK_CONTAINER(overlay), child);
  }
  g_list_free(children);
}

gboolean PlacePending(gpointer) {
  gIdle = 0;
  const std::set<WindowRef> windows = std::move(gPending);
  gPending.clear();
  for (WindowRef window : windows) Place(window);
  return G_SOURCE_REMOVE;
}

void OnRetain(void* widget, HIViewRef view) {
  GObject* object = G_OBJECT(widget);
  g_object_ref_sink(object);
  g_object_set_data_full(object, kFrameKey, new Frame{0, 0, 0, 0}, [](gpointer f) { delete static_cast<Frame*>(f); });
  g_object_set_data(object, kViewKey, view);
  g_signal_connect(object, "focus-in-event", G_CALLBACK(OnWidgetFocusIn), nullptr);
}

void OnRelease(void* widget) {
  auto* w = static_cast<GtkWidget*>(widget);
  g_signal_handlers_disconnect_by_func(w, reinterpret_cast<gpointer>(OnWidgetFocusIn), nullptr);
  g_object_set_data(G_OBJECT(w), kViewKey, nullptr);
  Unparent(w);
  g_object_set_data(G_OBJECT(w), kFrameKey, nullptr);
  g_object_unref(w);
}

}  // namespace

void GtkHostNativeChanged(WindowRef window) {
  if (window == nullptr) return;
  gPending.insert(window);
  if (gIdle == 0) gIdle = g_idle_add_full(G_PRIORITY_HIGH_IDLE + 20, PlacePending, nullptr, nullptr);
}

void GtkHostNativeAttachOverlay(GtkWidget* overlay) {
  g_signal_connect(overlay, "get-child-position", G_CALLBACK(OnChildPosition), nullptr);
}

void GtkHostNativeDetachAll(GtkWidget* overlay, GtkWidget* area) {
  if (overlay == nullptr) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(overlay));
  for (GList* c = children; c != nullptr; c = c->next)
    if (c->data != area) gtk_container_remove(GTK_CONTAINER(overlay), static_cast<GtkWidget*>(c->data));
  g_list_free(children);
}

void GtkHostNativeStart() {
  static const NativeViewHostHooks hooks = {OnRetain, OnRelease, GtkHostNativeChanged};
  NativeViewSetHostHooks(&hooks);
}
