// The GTK host's pointer for TrackMouseLocation (a nested run of the main
// loop that watches the real pointer and its buttons) and the theme cursors
// as the cursors of the program's windows.
#include <gtk/gtk.h>

#include "GtkHost.h"
#include "MouseTrackingInternal.h"
#include "WindowInternal.h"

namespace {

struct LastPointer {
  bool known = false;  // false at the start of a track: the first look only notes the place
  WindowRef window = nullptr;
  double x = 0, y = 0;
  UInt32 modifiers = 0;
};
LastPointer gLast;

constexpr guint kButtons = GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK;

gboolean Wake(gpointer) { return G_SOURCE_CONTINUE; }

// The drawing area's GdkWindow (content coordinates); the root window without one.
GdkWindow* SurfaceOf(WindowRef window) {
  if (window != nullptr) {
    GtkWidget* area = GtkHostContentWidget(window);
    return area != nullptr ? gtk_widget_get_window(area) : nullptr;
  }
  return gdk_get_default_root_window();
}

bool Source(WindowRef window, EventTimeout timeout, MouseTrackInput* out) {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return false;
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  if (pointer == nullptr) return false;
  if (gLast.window != window) gLast.known = false;
  const gint64 start = g_get_monotonic_time();
  // The loop looks at the pointer at least every 10 ms.
  const guint wake = g_timeout_add(10, Wake, nullptr);
  bool answered = false;
  for (;;) {
    if (window != nullptr && !WindowIsLive(window)) break;
    GdkWindow* surface = SurfaceOf(window);
    if (surface == nullptr) break;
    double x = 0, y = 0;
    GdkModifierType mask{};
    gdk_window_get_device_position_double(surface, pointer, &x, &y, &mask);
    const UInt32 modifiers = GtkHostMacModifiers(mask);
    if ((mask & kButtons) == 0) {
      *out = MouseTrackInput{kMouseTrackingMouseUp, CGPoint{x, y}, modifiers};
      gLast.known = false;
      answered = true;
      break;
    }
    if (!gLast.known) {
      gLast = LastPointer{true, window, x, y, modifiers};
    } else if (x != gLast.x || y != gLast.y) {
      gLast = LastPointer{true, window, x, y, modifiers};
      *out = MouseTrackInput{kMouseTrackingMouseDragged, CGPoint{x, y}, modifiers};
      answered = true;
      break;
    } else if (modifiers != gLast.modifiers) {
      gLast.modifiers = modifiers;
      *out = MouseTrackInput{kMouseTrackingKeyModifiersChanged, CGPoint{x, y}, modifiers};
      answered = true;
      break;
    }
    if (timeout >= 0 && double(g_get_monotonic_time() - start) / 1e6 >= timeout) {
      *out = MouseTrackInput{kMouseTrackingTimedOut, CGPoint{gLast.x, gLast.y}, gLast.modifiers};
      answered = true;
      break;
    }
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(wake);
  return answered;
}

const char* CursorName(ThemeCursor cursor) {
  switch (cursor) {
    case kThemeCopyArrowCursor: return "copy";
    case kThemeAliasArrowCursor: return "alias";
    case kThemeContextualMenuArrowCursor: return "context-menu";
    case kThemeIBeamCursor: return "text";
    case kThemeCrossCursor: return "crosshair";
    case kThemePlusCursor: return "cell";
    case kThemeWatchCursor: return "wait";
    case kThemeClosedHandCursor: return "grabbing";
    case kThemeOpenHandCursor: return "grab";
    case kThemePointingHandCursor: return "pointer";
    case kThemeCountingUpHandCursor:
    case kThemeCountingDownHandCursor:
    case kThemeCountingUpAndDownHandCursor:
    case kThemeSpinningCursor: return "progress";
    case kThemeResizeLeftCursor: return "w-resize";
    case kThemeResizeRightCursor: return "e-resize";
    case kThemeResizeLeftRightCursor: return "col-resize";
    case kThemeNotAllowedCursor: return "not-allowed";
    case kThemeResizeUpCursor: return "n-resize";
    case kThemeResizeDownCursor: return "s-resize";
    case kThemeResizeUpDownCursor: return "row-resize";
  }
  return "default";
}

// The cursor shows over every window of the program.
void Present(ThemeCursor cursor, UInt32) {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return;
  GdkCursor* shape = gdk_cursor_new_from_name(display, CursorName(cursor));
  if (shape == nullptr) shape = gdk_cursor_new_from_name(display, "default");
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l != nullptr; l = l->next) {
    WindowRef window = GtkHostWindowOf(GTK_WIDGET(l->data));
    if (window == nullptr) continue;
    GtkWidget* area = GtkHostContentWidget(window);
    if (GdkWindow* surface = area != nullptr ? gtk_widget_get_window(area) : nullptr)
      gdk_window_set_cursor(surface, shape);
  }
  g_list_free(toplevels);
  if (shape != nullptr) g_object_unref(shape);
}

}  // namespace

void GtkHostTrackingStart() {
  MouseTrackingSetSource(Source);
  MouseTrackingSetCursorPresenter(Present);
}
