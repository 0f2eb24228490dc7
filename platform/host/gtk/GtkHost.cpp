// The desktop host: one GtkWindow per platform window, a drawing area into
// which the view tree draws through a y-down CGContext, GTK pointer and key
// input turned into Carbon events, and alerts as GTK message dialogs.
#include "GtkHost.h"

#include <cmath>
#include <cstdlib>
#include <deque>
#include <unordered_map>
#include <vector>

#include "DesktopHost.h"
#include "EventTargetInternal.h"
#include "QuartzInternal.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

struct HostWindow {
  WindowRef window = nullptr;
  GtkWidget* top = nullptr;
  GtkWidget* box = nullptr;
  GtkWidget* menuBar = nullptr;
  GtkWidget* strip = nullptr;  // the toolbar strip, shown while the window has one
  GtkWidget* area = nullptr;
  GtkWidget* overlay = nullptr;  // holds the area and, above it, the native child views' widgets
  GtkIMContext* im = nullptr;
  int syncing = 0;  // the host is applying the platform's state to GTK
  bool shown = false;
  bool popup = false;  // a GTK pop-up: the window never takes the focus
};

bool gRunning = false;
std::unordered_map<WindowRef, HostWindow*> gWindows;

HostWindow* Find(WindowRef w) {
  auto it = gWindows.find(w);
  return it == gWindows.end() ? nullptr : it->second;
}

// Window positions are known on X11 only; elsewhere windows stay local.
bool IsX11() {
  GdkDisplay* display = gdk_display_get_default();
  return display != nullptr && g_strcmp0(G_OBJECT_TYPE_NAME(display), "GdkX11Display") == 0;
}

Rect ContentOf(WindowRef w) {
  Rect r{};
  GetWindowBounds(w, kWindowContentRgn, &r);
  return r;
}

int MenuBarHeight(HostWindow* hw) {
  if (hw->menuBar == nullptr || !gtk_widget_get_visible(hw->menuBar)) return 0;
  int minimum = 0, natural = 0;
  gtk_widget_get_preferred_height(hw->menuBar, &minimum, &natural);
  return natural;
}

int StripHeight(HostWindow* hw) { return hw->window ? WindowToolbarStripHeight(hw->window) : 0; }

bool Floats(WindowRef w) {
  WindowClass c = 0;
  GetWindowClass(w, &c);
  return c == kFloatingWindowClass || c == kUtilityWindowClass || c == kToolbarWindowClass ||
         c == kHelpWindowClass || c == kOverlayWindowClass;
}

// --- Platform state -> GTK --------------------------------------------------------

GdkWindowTypeHint HintOf(WindowClass c) {
  switch (c) {
    case kAlertWindowClass: case kModalWindowClass: case kMovableModalWindowClass: case kMovableAlertWindowClass:
    case kSheetWindowClass: case kSheetAlertWindowClass:
      return GDK_WINDOW_TYPE_HINT_DIALOG;
    case kFloatingWindowClass: case kUtilityWindowClass: case kToolbarWindowClass:
      return GDK_WINDOW_TYPE_HINT_UTILITY;
    case kHelpWindowClass: return GDK_WINDOW_TYPE_HINT_TOOLTIP;
  }
  return GDK_WINDOW_TYPE_HINT_NORMAL;
}


void ApplyTitle(HostWindow* hw) {
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(hw->window, &title);
  std::string text = title ? GtkHostUTF8(title) : std::string();
  if (title) CFRelease(title);
  // The desktop's way of showing unsaved changes.
  if (IsWindowModified(hw->window)) text = "*" + text;
  gtk_window_set_title(GTK_WINDOW(hw->top), text.c_str());
}

void ApplyBounds(HostWindow* hw) {
  const Rect c = ContentOf(hw->window);
  const int width = std::max(1, c.right - c.left), height = std::max(1, c.bottom - c.top);
  WindowAttributes attributes = 0;
  GetWindowAttributes(hw->window, &attributes);
  ++hw->syncing;
  const bool resizable = (attributes & kWindowResizableAttribute) != 0;
  gtk_window_set_resizable(GTK_WINDOW(hw->top), resizable);
  if (resizable) {
    HISize minimum{0, 0}, maximum{0, 0};
    GetWindowResizeLimits(hw->window, &minimum, &maximum);
    gtk_widget_set_size_request(hw->area, std::max(1, int(minimum.width)), std::max(1, int(minimum.height)));
  } else {
    gtk_widget_set_size_request(hw->area, width, height);
  }
  const int barHeight = MenuBarHeight(hw);
  const int strip = StripHeight(hw);
  gtk_widget_set_size_request(hw->strip, -1, std::max(1, strip));
  gtk_widget_set_visible(hw->strip, strip > 0);
  gtk_window_resize(GTK_WINDOW(hw->top), width, height + barHeight + strip);
  if (IsX11()) {
    gtk_window_move(GTK_WINDOW(hw->top), c.left, c.top - barHeight - strip);
  } else if (hw->popup) {
    // Elsewhere a pop-up is placed against the window it belongs to, whose
    // content's origin is where global coordinates start.
    if (GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(hw->top))) {
      WindowRef owner = GtkHostWindowOf(GTK_WIDGET(parent));
      HostWindow* ph = owner ? Find(owner) : nullptr;
      const Rect pc = owner ? ContentOf(owner) : Rect{};
      const int above = ph ? MenuBarHeight(ph) + StripHeight(ph) : 0;
      gtk_window_move(GTK_WINDOW(hw->top), c.left - pc.left, c.top - pc.top + above);
    }
  }
  --hw->syncing;
}

void OnCreated(WindowRef w);
void Unbuild(HostWindow* hw);

void OnDisposed(WindowRef w) {
  HostWindow* hw = Find(w);
  if (hw == nullptr) return;
  gWindows.erase(w);
  hw->window = nullptr;
  Unbuild(hw);
  // A handler of this very window may still be running: the record goes
  // once the loop is idle.
  g_idle_add(
      [](gpointer data) -> gboolean {
        delete static_cast<HostWindow*>(data);
        return G_SOURCE_REMOVE;
      },
      hw);
}

void OnVisibility(WindowRef w, bool visible) {
  HostWindow* hw = Find(w);
  if (hw == nullptr) return;
  ++hw->syncing;
  if (visible) {
    // A sheet stays with its parent and keeps it from input; a pop-up stays
    // with the window that is active as it shows.
    WindowRef parent = nullptr;
    HostWindow* parentHost = GetSheetWindowParent(w, &parent) == noErr && parent ? Find(parent) : nullptr;
    HostWindow* owner = hw->popup ? Find(ActiveNonFloatingWindow()) : nullptr;
    if (hw->popup) gtk_window_set_transient_for(GTK_WINDOW(hw->top), owner ? GTK_WINDOW(owner->top) : nullptr);
    else gtk_window_set_transient_for(GTK_WINDOW(hw->top), parentHost ? GTK_WINDOW(parentHost->top) : nullptr);
    gtk_window_set_modal(GTK_WINDOW(hw->top), parentHost != nullptr);
    WindowClass windowClass = kDocumentWindowClass;
    GetWindowClass(w, &windowClass);  // a sheet may have changed class since
    if (!gtk_widget_get_mapped(hw->top))
      gtk_window_set_type_hint(GTK_WINDOW(hw->top), hw->popup ? GDK_WINDOW_TYPE_HINT_COMBO : HintOf(windowClass));
    ApplyBounds(hw);
    gtk_widget_show_all(hw->top);
    hw->shown = true;
  } else {
    gtk_widget_hide(hw->top);
    hw->shown = false;
  }
  --hw->syncing;
}

void OnBounds(WindowRef w) {
  HostWindow* hw = Find(w);
  if (hw && hw->syncing == 0) ApplyBounds(hw);
}

void OnTitle(WindowRef w) {
  if (HostWindow* hw = Find(w)) ApplyTitle(hw);
}

void OnOrder(WindowRef w) {
  HostWindow* hw = Find(w);
  if (hw == nullptr || hw->syncing || !hw->shown) return;
  // A pop-up is raised but never presented: presenting gives the focus.
  if (hw->popup) {
    if (GdkWindow* gw = gtk_widget_get_window(hw->top)) gdk_window_raise(gw);
    return;
  }
  // Only the front window is raised; the window manager keeps the rest.
  if (FrontWindow() == w && !gtk_window_is_active(GTK_WINDOW(hw->top))) {
    ++hw->syncing;
    gtk_window_present(GTK_WINDOW(hw->top));
    --hw->syncing;
  }
}

void OnInvalidated(WindowRef w) {
  if (HostWindow* hw = Find(w)) gtk_widget_queue_draw(hw->area);
}

void DisplayRender(WindowRef w) {
  HostWindow* hw = Find(w);
  if (hw == nullptr) return;
  gtk_widget_queue_draw(hw->area);
  if (GdkWindow* gw = gtk_widget_get_window(hw->area)) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(gw, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
}

void DisplayInvalidate(WindowRef w, CGRect r) {
  HostWindow* hw = Find(w);
  if (hw == nullptr) return;
  // Above the content: the toolbar strip.
  if (r.origin.y < 0) {
    gtk_widget_queue_draw(hw->strip);
    if (r.origin.y + r.size.height <= 0) return;
    r.size.height += r.origin.y;
    r.origin.y = 0;
  }
  const int x = int(std::floor(r.origin.x)), y = int(std::floor(r.origin.y));
  const int x1 = int(std::ceil(r.origin.x + r.size.width)), y1 = int(std::ceil(r.origin.y + r.size.height));
  if (x1 <= x || y1 <= y) return;
  gtk_widget_queue_draw_area(hw->area, x, y, x1 - x, y1 - y);
}

// --- Drawing ------------------------------------------------------------------------

void DrawContent(WindowRef w, cairo_t* cr) {
  const RGBColor bg = WindowContentColorOf(w);
  cairo_save(cr);
  cairo_set_source_rgb(cr, bg.red / 65535.0, bg.green / 65535.0, bg.blue / 65535.0);
  cairo_paint(cr);
  cairo_restore(cr);
  if (HIViewRef root = WindowRootView(w)) {
    if (CGContextRef context = QuartzCreateContextForCairo(cr, true)) {
      HIViewDrawInContext(root, context);
      CGContextRelease(context);
    }
  }
  ViewClearInvalid(w);
}

gboolean OnStripDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  HIViewRef strip = hw->window && WindowIsLive(hw->window) ? WindowToolbarStrip(hw->window) : nullptr;
  if (strip == nullptr) return FALSE;
  if (CGContextRef context = QuartzCreateContextForCairo(cr, true)) {
    HIViewDrawInContext(strip, context);
    CGContextRelease(context);
  }
  return FALSE;
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window && WindowIsLive(hw->window)) DrawContent(hw->window, cr);
  return FALSE;
}

// --- Pointer --------------------------------------------------------------------------

struct PointerState {
  bool buttonDown = false;
  bool tracking = false;
  WindowRef trackWindow = nullptr;
  std::deque<ViewTrackEvent> queue;
  // Click counting.
  guint lastButton = 0;
  guint32 lastTime = 0;
  double lastX = 0, lastY = 0;
  UInt32 clickCount = 0;
};
PointerState gPointer;

UInt16 MacButton(guint gdkButton) {
  switch (gdkButton) {
    case 1: return 1;  // primary
    case 3: return 2;  // secondary
    case 2: return 3;  // middle
  }
  return UInt16(gdkButton);
}

UInt32 CountClick(const GdkEventButton* ev) {
  GtkSettings* settings = gtk_settings_get_default();
  gint interval = 400, distance = 5;
  if (settings) g_object_get(settings, "gtk-double-click-time", &interval, "gtk-double-click-distance", &distance, nullptr);
  const bool again = gPointer.clickCount > 0 && ev->button == gPointer.lastButton &&
                     ev->time - gPointer.lastTime <= guint32(interval) &&
                     std::fabs(ev->x - gPointer.lastX) <= distance && std::fabs(ev->y - gPointer.lastY) <= distance;
  gPointer.clickCount = again ? gPointer.clickCount + 1 : 1;
  gPointer.lastButton = ev->button;
  gPointer.lastTime = ev->time;
  gPointer.lastX = ev->x;
  gPointer.lastY = ev->y;
  return gPointer.clickCount;
}

EventRef MouseEvent(EventKind kind, WindowRef w, double x, double y, UInt32 modifiers) {
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassMouse, kind, 0, kEventAttributeUserEvent, &e) != noErr) return nullptr;
  const Rect c = ContentOf(w);
  CGPoint local{x, y};
  CGPoint global{c.left + x, c.top + y};
  SetEventParameter(e, kEventParamWindowRef, typeWindowRef, sizeof w, &w);
  SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof local, &local);
  SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof global, &global);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  return e;
}

// The tracking loop's input: runs the main loop until the pointer moves or
// the button goes up.
bool TrackSource(WindowRef w, ViewTrackEvent* out) {
  while (gPointer.queue.empty() && gPointer.buttonDown && WindowIsLive(w) && Find(w) != nullptr)
    g_main_context_iteration(nullptr, TRUE);
  if (gPointer.queue.empty()) return false;
  *out = gPointer.queue.front();
  gPointer.queue.pop_front();
  return true;
}

gboolean OnButtonPress(GtkWidget* area, GdkEventButton* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  // GTK repeats a double click as its own event: the press before it counts.
  if (ev->type != GDK_BUTTON_PRESS || hw->window == nullptr || gPointer.tracking) return TRUE;
  WindowRef w = hw->window;
  gtk_widget_grab_focus(area);
  {
    // Every click is announced to the window first (pop-up windows listen on
    // the application for clicks in other windows).
    EventRef modality = nullptr;
    if (CreateEvent(nullptr, kEventClassWindow, kEventWindowGetClickModality, 0, 0, &modality) == noErr) {
      SetEventParameter(modality, kEventParamDirectObject, typeWindowRef, sizeof w, &w);
      SendEventToEventTarget(modality, GetWindowEventTarget(w));
      ReleaseEvent(modality);
    }
  }
  if (!WindowIsLive(w)) return TRUE;
  if (!Floats(w) && ActiveNonFloatingWindow() != w) SelectWindow(w);
  if (!WindowIsLive(w)) return TRUE;
  const UInt32 modifiers = GtkHostMacModifiers(ev->state);
  EventRef e = MouseEvent(kEventMouseDown, w, ev->x, ev->y, modifiers);
  if (e == nullptr) return TRUE;
  UInt16 button = MacButton(ev->button);
  UInt32 clicks = CountClick(ev);
  SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
  SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
  RetainWindow(w);
  gPointer.buttonDown = true;
  gPointer.queue.clear();
  // A handler of the window or the application may take the click itself.
  OSStatus status = SendEventToEventTarget(e, GetWindowEventTarget(w));
  if (status == eventNotHandledErr && WindowIsLive(w)) {
    gPointer.tracking = true;
    gPointer.trackWindow = w;
    ViewHandleMouseDown(w, e);
    gPointer.tracking = false;
    gPointer.trackWindow = nullptr;
    gPointer.queue.clear();
  }
  ReleaseEvent(e);
  ReleaseWindow(w);
  return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  gPointer.buttonDown = false;
  if (hw->window == nullptr) return TRUE;
  if (gPointer.tracking) {
    gPointer.queue.push_back(ViewTrackEvent{true, CGPoint{ev->x, ev->y}, GtkHostMacModifiers(ev->state)});
    return TRUE;
  }
  if (EventRef e = MouseEvent(kEventMouseUp, hw->window, ev->x, ev->y, GtkHostMacModifiers(ev->state))) {
    UInt16 button = MacButton(ev->button);
    SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
    SendEventToEventTarget(e, GetWindowEventTarget(hw->window));
    ReleaseEvent(e);
  }
  return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr) return TRUE;
  const UInt32 modifiers = GtkHostMacModifiers(ev->state);
  if (gPointer.tracking) {
    gPointer.queue.push_back(ViewTrackEvent{false, CGPoint{ev->x, ev->y}, modifiers});
    return TRUE;
  }
  ViewHandlePointerMoved(hw->window, CGPoint{ev->x, ev->y}, modifiers);
  return TRUE;
}

gboolean OnLeave(GtkWidget*, GdkEventCrossing* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window && !gPointer.tracking)
    ViewHandlePointerMoved(hw->window, CGPoint{-1e9, -1e9}, GtkHostMacModifiers(ev->state));
  return FALSE;
}

gboolean OnGrabBroken(GtkWidget*, GdkEvent*, gpointer) {
  // A lost grab ends a track where it is.
  if (gPointer.tracking) {
    CGPoint last = gPointer.queue.empty() ? CGPoint{-1e9, -1e9} : gPointer.queue.back().windowPoint;
    gPointer.queue.push_back(ViewTrackEvent{true, last, 0});
  }
  gPointer.buttonDown = false;
  return FALSE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr) return TRUE;
  double dx = 0, dy = 0;
  switch (ev->direction) {
    case GDK_SCROLL_UP: dy = 1; break;
    case GDK_SCROLL_DOWN: dy = -1; break;
    case GDK_SCROLL_LEFT: dx = 1; break;
    case GDK_SCROLL_RIGHT: dx = -1; break;
    case GDK_SCROLL_SMOOTH: dx = -ev->delta_x; dy = -ev->delta_y; break;
  }
  HIViewRef root = WindowRootView(hw->window);
  HIViewRef target = nullptr;
  HIPoint p{ev->x, ev->y};
  if (root == nullptr || HIViewGetSubviewHit(root, &p, true, &target) != noErr || target == nullptr) target = root;
  if (target == nullptr) return TRUE;
  for (int axis = 0; axis < 2; ++axis) {
    const double delta = axis == 0 ? dx : dy;
    const SInt32 steps = SInt32(std::lround(delta));
    if (steps == 0) continue;
    EventRef e = MouseEvent(kEventMouseWheelMoved, hw->window, ev->x, ev->y, GtkHostMacModifiers(ev->state));
    if (e == nullptr) continue;
    UInt16 wheelAxis = axis == 0 ? 0 : 1;  // x, y
    SetEventParameter(e, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof wheelAxis, &wheelAxis);
    SetEventParameter(e, kEventParamMouseWheelDelta, typeSInt32, sizeof steps, &steps);
    SendEventToEventTarget(e, GetControlEventTarget(target));
    ReleaseEvent(e);
  }
  return TRUE;
}

// --- Keys ---------------------------------------------------------------------------------

EventRef gKeyEvent = nullptr;  // the raw key the input method is working on

void SendText(const UniChar* chars, size_t count, EventRef rawKey) {
  if (count == 0) return;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, kEventAttributeUserEvent, &e) !=
      noErr)
    return;
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, count * sizeof(UniChar), chars);
  if (rawKey) SetEventParameter(e, kEventParamTextInputSendKeyboardEvent, typeEventRef, sizeof rawKey, &rawKey);
  SendEventToEventTarget(e, GetUserFocusEventTarget());
  ReleaseEvent(e);
}

void OnCommit(GtkIMContext*, const gchar* text, gpointer) {
  if (text == nullptr) return;
  glong count = 0;
  gunichar2* units = g_utf8_to_utf16(text, -1, nullptr, &count, nullptr);
  if (units == nullptr) return;
  std::vector<UniChar> chars(units, units + count);
  g_free(units);
  SendText(chars.data(), chars.size(), gKeyEvent);
}

guint BaseKeyval(const GdkEventKey* ev) {
  guint base = 0;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(ev->window));
  if (!gdk_keymap_translate_keyboard_state(keymap, ev->hardware_keycode, GdkModifierType(0), 0, &base, nullptr,
                                           nullptr, nullptr))
    base = ev->keyval;
  return base;
}

// The raw key event of a GTK key; a navigation key of this desktop arrives as
// the Mac gesture that means the same (outNavigation true).
EventRef KeyEvent(EventKind kind, const GdkEventKey* ev, GtkHostKey* outKey, bool* outNavigation = nullptr) {
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassKeyboard, kind, 0, kEventAttributeUserEvent, &e) != noErr) return nullptr;
  GtkHostKey key = GtkHostMapKey(ev->keyval, BaseKeyval(ev));
  UInt32 modifiers = GtkHostMacModifiers(ev->state);
  const bool navigation = GtkHostMapNavigation(ev->keyval, ev->state, &key, &modifiers);
  if (outNavigation) *outNavigation = navigation;
  UInt32 keyboard = 0;
  char charCode = char(key.charCode);
  SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof key.keyCode, &key.keyCode);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, 1, &charCode);
  if (key.unicode != 0) SetEventParameter(e, kEventParamKeyUnicodes, typeUnicodeText, sizeof key.unicode, &key.unicode);
  SetEventParameter(e, kEventParamKeyboardType, typeUInt32, sizeof keyboard, &keyboard);
  if (outKey) *outKey = key;
  return e;
}

bool IsModifierKeyval(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: case GDK_KEY_Control_L: case GDK_KEY_Control_R:
    case GDK_KEY_Alt_L: case GDK_KEY_Alt_R: case GDK_KEY_Meta_L: case GDK_KEY_Meta_R: case GDK_KEY_Super_L:
    case GDK_KEY_Super_R: case GDK_KEY_Caps_Lock: case GDK_KEY_ISO_Level3_Shift: case GDK_KEY_Hyper_L:
    case GDK_KEY_Hyper_R:
      return true;
  }
  return false;
}

// A native child view (a web view) has GTK's focus: keys are its own.
bool NativeHasFocus(HostWindow* hw) {
  GtkWidget* focus = hw->top ? gtk_window_get_focus(GTK_WINDOW(hw->top)) : nullptr;
  return focus != nullptr && focus != hw->area && hw->overlay != nullptr && gtk_widget_is_ancestor(focus, hw->overlay);
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr) return FALSE;
  if (IsModifierKeyval(ev->keyval)) return FALSE;
  WindowRef w = hw->window;
  GtkHostKey key{};
  bool navigation = false;
  EventRef raw = KeyEvent(kEventRawKeyDown, ev, &key, &navigation);
  if (raw == nullptr) return TRUE;
  RetainWindow(w);
  EventLoopNoteUserActivity();
  // Key equivalents of the menu bar first, then the focus, then typing. A
  // native child view with the focus (a web view) types its keys itself.
  if (NativeHasFocus(hw)) {
    const bool taken = MenuEvent(raw) != 0;
    ReleaseEvent(raw);
    ReleaseWindow(w);
    return taken ? TRUE : FALSE;
  }
  if (MenuEvent(raw) == 0 && WindowIsLive(w)) {
    OSStatus status = SendEventToEventTarget(raw, GetUserFocusEventTarget());
    const UInt32 modifiers = GtkHostMacModifiers(ev->state);
    if (status == eventNotHandledErr && navigation) {
      // A movement gesture is text input whatever its modifiers.
      SendText(&key.unicode, 1, raw);
    } else if (status == eventNotHandledErr && (modifiers & kGtkHostCmdKey) == 0) {
      EventRef saved = gKeyEvent;
      gKeyEvent = raw;
      bool consumed = hw->window == w && hw->im && gtk_im_context_filter_keypress(hw->im, ev);
      gKeyEvent = saved;
      if (!consumed && key.unicode != 0 && (key.unicode < 0x20 || key.unicode == 0x7F)) SendText(&key.unicode, 1, raw);
    }
  }
  ReleaseEvent(raw);
  ReleaseWindow(w);
  return TRUE;
}

gboolean OnKeyRelease(GtkWidget*, GdkEventKey* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr || IsModifierKeyval(ev->keyval) || NativeHasFocus(hw)) return FALSE;
  if (hw->im) gtk_im_context_filter_keypress(hw->im, ev);
  if (EventRef raw = KeyEvent(kEventRawKeyUp, ev, nullptr)) {
    SendEventToEventTarget(raw, GetUserFocusEventTarget());
    ReleaseEvent(raw);
  }
  return TRUE;
}

// --- Window life --------------------------------------------------------------------------

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  // The close box asks the window: its handlers decide, the record goes
  // through DisposeWindow and the disposed hook destroys the GtkWindow.
  if (hw->window && WindowIsLive(hw->window)) HIWindowClose(hw->window);
  return TRUE;
}

gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->im) gtk_im_context_focus_in(hw->im);
  if (hw->window && hw->syncing == 0 && !Floats(hw->window) && ActiveNonFloatingWindow() != hw->window) {
    ++hw->syncing;
    SelectWindow(hw->window);
    --hw->syncing;
  }
  return FALSE;
}

gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->im) gtk_im_context_focus_out(hw->im);
  return FALSE;
}

void OnAreaAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr || hw->syncing || !WindowIsLive(hw->window)) return;
  const Rect c = ContentOf(hw->window);
  if (allocation->width == c.right - c.left && allocation->height == c.bottom - c.top) return;
  ++hw->syncing;
  SizeWindow(hw->window, short(allocation->width), short(allocation->height), true);
  --hw->syncing;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->window == nullptr || hw->syncing || !hw->shown || !IsX11()) return FALSE;
  gint x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(hw->top), &x, &y);
  const Rect c = ContentOf(hw->window);
  const int top = y + MenuBarHeight(hw) + StripHeight(hw);
  if (x != c.left || top != c.top) {
    ++hw->syncing;
    MoveWindow(hw->window, short(x), short(top), false);
    --hw->syncing;
  }
  return FALSE;
}

void OnAreaRealize(GtkWidget* area, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  if (hw->im) gtk_im_context_set_client_window(hw->im, gtk_widget_get_window(area));
}


// Pointer input on the toolbar strip is the window's, at negative y above
// the content.
template <typename Event, gboolean (*Handler)(GtkWidget*, Event*, gpointer)>
gboolean OnStripInput(GtkWidget*, Event* ev, gpointer data) {
  auto* hw = static_cast<HostWindow*>(data);
  Event moved = *ev;
  moved.y -= StripHeight(hw);
  return Handler(hw->area, &moved, data);
}

// The GTK side of a window: a pop-up for a window that never takes the focus
// (activation scope none), a toplevel otherwise.
void Build(HostWindow* hw) {
  WindowRef w = hw->window;
  WindowClass windowClass = kDocumentWindowClass;
  GetWindowClass(w, &windowClass);
  WindowAttributes attributes = 0;
  GetWindowAttributes(w, &attributes);
  WindowActivationScope scope = kWindowActivationScopeAll;
  GetWindowActivationScope(w, &scope);
  hw->popup = scope == kWindowActivationScopeNone;
  hw->top = gtk_window_new(hw->popup ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(hw->top);
  // Positions are those of the window itself, not of the frame the window
  // manager puts around it: global coordinates (a pop-up under a word, a
  // menu at the mouse) are the content's screen position plus local ones.
  gtk_window_set_gravity(GTK_WINDOW(hw->top), GDK_GRAVITY_STATIC);
  gtk_window_set_type_hint(GTK_WINDOW(hw->top), HintOf(windowClass));
  if (attributes & kWindowNoTitleBarAttribute) gtk_window_set_decorated(GTK_WINDOW(hw->top), FALSE);
  if (!(attributes & kWindowCloseBoxAttribute) && windowClass != kDocumentWindowClass)
    gtk_window_set_deletable(GTK_WINDOW(hw->top), FALSE);
  hw->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(hw->top), hw->box);
  if (windowClass == kDocumentWindowClass) {
    hw->menuBar = GtkHostBuildMenuBar();
    gtk_box_pack_start(GTK_BOX(hw->box), hw->menuBar, FALSE, FALSE, 0);
  }
  hw->strip = gtk_drawing_area_new();
  gtk_widget_set_no_show_all(hw->strip, TRUE);
  gtk_widget_add_events(hw->strip, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  gtk_box_pack_start(GTK_BOX(hw->box), hw->strip, FALSE, FALSE, 0);
  g_signal_connect(hw->strip, "draw", G_CALLBACK(OnStripDraw), hw);
  g_signal_connect(hw->strip, "button-press-event", G_CALLBACK((OnStripInput<GdkEventButton, OnButtonPress>)), hw);
  g_signal_connect(hw->strip, "button-release-event", G_CALLBACK((OnStripInput<GdkEventButton, OnButtonRelease>)), hw);
  g_signal_connect(hw->strip, "motion-notify-event", G_CALLBACK((OnStripInput<GdkEventMotion, OnMotion>)), hw);
  hw->area = gtk_drawing_area_new();
  gtk_widget_set_can_focus(hw->area, TRUE);
  gtk_widget_add_events(hw->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                      GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                      GDK_KEY_RELEASE_MASK);
  hw->overlay = gtk_overlay_new();
  gtk_container_add(GTK_CONTAINER(hw->overlay), hw->area);
  gtk_box_pack_start(GTK_BOX(hw->box), hw->overlay, TRUE, TRUE, 0);
  GtkHostNativeAttachOverlay(hw->overlay);
  hw->im = gtk_im_multicontext_new();
  g_signal_connect(hw->im, "commit", G_CALLBACK(OnCommit), hw);
  g_signal_connect(hw->area, "draw", G_CALLBACK(OnDraw), hw);
  g_signal_connect(hw->area, "button-press-event", G_CALLBACK(OnButtonPress), hw);
  g_signal_connect(hw->area, "button-release-event", G_CALLBACK(OnButtonRelease), hw);
  g_signal_connect(hw->area, "motion-notify-event", G_CALLBACK(OnMotion), hw);
  g_signal_connect(hw->area, "leave-notify-event", G_CALLBACK(OnLeave), hw);
  g_signal_connect(hw->area, "grab-broken-event", G_CALLBACK(OnGrabBroken), hw);
  g_signal_connect(hw->area, "scroll-event", G_CALLBACK(OnScroll), hw);
  g_signal_connect(hw->area, "size-allocate", G_CALLBACK(OnAreaAllocate), hw);
  g_signal_connect(hw->area, "realize", G_CALLBACK(OnAreaRealize), hw);
  g_signal_connect(hw->top, "key-press-event", G_CALLBACK(OnKeyPress), hw);
  g_signal_connect(hw->top, "key-release-event", G_CALLBACK(OnKeyRelease), hw);
  g_signal_connect(hw->top, "delete-event", G_CALLBACK(OnDelete), hw);
  g_signal_connect(hw->top, "focus-in-event", G_CALLBACK(OnFocusIn), hw);
  g_signal_connect(hw->top, "focus-out-event", G_CALLBACK(OnFocusOut), hw);
  g_signal_connect(hw->top, "configure-event", G_CALLBACK(OnConfigure), hw);
  GtkHostDragAttach(hw->area);
  GtkHostHelpAttach(hw->area);
  CGFloat alpha = 1;
  GetWindowAlpha(w, &alpha);
  gtk_widget_set_opacity(hw->top, alpha);
  ApplyTitle(hw);
  ApplyBounds(hw);
  GtkHostNativeChanged(w);
}

void Unbuild(HostWindow* hw) {
  if (hw->im) {
    gtk_im_context_set_client_window(hw->im, nullptr);
    g_object_unref(hw->im);
    hw->im = nullptr;
  }
  // The native views' widgets outlive this GtkWindow (a rebuilt window gets them back).
  GtkHostNativeDetachAll(hw->overlay, hw->area);
  gtk_widget_destroy(hw->top);
  g_object_unref(hw->top);
  hw->top = hw->box = hw->menuBar = hw->strip = hw->area = hw->overlay = nullptr;
}

void OnCreated(WindowRef w) {
  auto* hw = new HostWindow;
  hw->window = w;
  gWindows[w] = hw;
  Build(hw);
}

// A window that stops or starts taking the focus is shown by a GtkWindow of
// the other type (the type is fixed when GTK makes it); opacity follows.
void OnStyle(WindowRef w) {
  HostWindow* hw = Find(w);
  if (hw == nullptr) return;
  WindowActivationScope scope = kWindowActivationScopeAll;
  GetWindowActivationScope(w, &scope);
  const bool popup = scope == kWindowActivationScopeNone;
  if (popup != hw->popup) {
    const bool shown = hw->shown;
    if (shown) OnVisibility(w, false);
    Unbuild(hw);
    Build(hw);
    if (shown) OnVisibility(w, true);
  }
  CGFloat alpha = 1;
  GetWindowAlpha(w, &alpha);
  gtk_widget_set_opacity(hw->top, alpha);
}

// --- Alerts ---------------------------------------------------------------------------------

GtkWindow* ParentForDialog() {
  WindowRef w = ActiveNonFloatingWindow();
  HostWindow* hw = w ? Find(w) : nullptr;
  return hw && hw->shown ? GTK_WINDOW(hw->top) : nullptr;
}

SInt16 PresentAlert(const AlertRequest& request) {
  GtkMessageType type = GTK_MESSAGE_OTHER;
  switch (request.kind) {
    case kAlertStopAlert: type = GTK_MESSAGE_ERROR; break;
    case kAlertNoteAlert: type = GTK_MESSAGE_INFO; break;
    case kAlertCautionAlert: type = GTK_MESSAGE_WARNING; break;
  }
  GtkWidget* dialog = gtk_message_dialog_new(ParentForDialog(), GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s",
                                             request.error.c_str());
  if (!request.explanation.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", request.explanation.c_str());
  // The desktop's order: help, other, cancel, then the default at the end.
  if (request.helpButton) gtk_dialog_add_button(GTK_DIALOG(dialog), "Help", kAlertStdAlertHelpButton);
  if (!request.otherText.empty())
    gtk_dialog_add_button(GTK_DIALOG(dialog), request.otherText.c_str(), kAlertStdAlertOtherButton);
  if (!request.cancelText.empty())
    gtk_dialog_add_button(GTK_DIALOG(dialog), request.cancelText.c_str(), kAlertStdAlertCancelButton);
  if (!request.okText.empty()) gtk_dialog_add_button(GTK_DIALOG(dialog), request.okText.c_str(), kAlertStdAlertOKButton);
  SInt16 fallback = request.okText.empty() ? SInt16(0) : SInt16(kAlertStdAlertOKButton);
  if (fallback == 0) fallback = !request.cancelText.empty() ? kAlertStdAlertCancelButton
                                : !request.otherText.empty() ? kAlertStdAlertOtherButton
                                                               : kAlertStdAlertOKButton;
  if (gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), request.defaultButton))
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), request.defaultButton);
  gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  if (response >= kAlertStdAlertOKButton && response <= kAlertStdAlertHelpButton) return SInt16(response);
  // Escape or the close box: the cancel button when there is one.
  if (request.cancelButton != 0) return request.cancelButton;
  if (!request.cancelText.empty()) return kAlertStdAlertCancelButton;
  return request.defaultButton != 0 ? request.defaultButton : fallback;
}

void Beep() { gdk_display_beep(gdk_display_get_default()); }

void SetScreen() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  if (monitor == nullptr) return;
  GdkRectangle geometry{}, work{};
  gdk_monitor_get_geometry(monitor, &geometry);
  gdk_monitor_get_workarea(monitor, &work);
  auto clamp = [](int v) { return SInt16(std::max(-32768, std::min(32767, v))); };
  Rect screen{clamp(geometry.y), clamp(geometry.x), clamp(geometry.y + geometry.height),
              clamp(geometry.x + geometry.width)};
  // What the desktop's panels take at the top stands for the menu bar.
  WindowSetScreenBounds(screen, clamp(std::max(0, work.y - geometry.y)));
}

}  // namespace

std::string GtkHostUTF8(CFStringRef string) {
  if (string == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(string);
  const CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
  if (size <= 0) return std::string();
  std::string buffer(size_t(size), '\0');
  if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8)) return std::string();
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

void GtkHostTrackingStart();  // GtkHostTracking.cpp: pointer tracking and cursors

bool GtkHostStart(int* argc, char*** argv) {
  if (gRunning) return true;
  if (!gtk_init_check(argc, argv)) return false;
  gRunning = true;
  SetScreen();
  static const WindowHostHooks hooks = {OnCreated, OnDisposed, OnVisibility, OnBounds, OnTitle, OnOrder,
                                         OnInvalidated, OnStyle};
  WindowSetHostHooks(&hooks);
  ViewSetWindowDisplay(ViewWindowDisplay{DisplayRender, DisplayInvalidate});
  ViewSetTrackEventSource(TrackSource);
  DesktopHostSetAlertPresenter(PresentAlert);
  DesktopHostSetBeepPresenter(Beep);
  GtkHostMenusStart();
  GtkHostClipboardStart();
  GtkHostDragStart();
  GtkHostHelpStart();
  GtkHostTrackingStart();
  GtkHostNavigationStart();
  GtkHostColorStart();
  GtkHostNativeStart();
  GtkHostFontStart();
  return true;
}

void GtkHostEndPointerTrack() {
  if (gPointer.tracking) {
    CGPoint last = gPointer.queue.empty() ? CGPoint{-1e9, -1e9} : gPointer.queue.back().windowPoint;
    gPointer.queue.push_back(ViewTrackEvent{true, last, 0});
  }
  gPointer.buttonDown = false;
}

bool GtkHostIsRunning() { return gRunning; }

GtkWidget* GtkHostWindowWidget(WindowRef window) {
  HostWindow* hw = Find(window);
  return hw ? hw->top : nullptr;
}

GtkWidget* GtkHostOverlayWidget(WindowRef window) {
  HostWindow* hw = Find(window);
  return hw ? hw->overlay : nullptr;
}

GtkWidget* GtkHostContentWidget(WindowRef window) {
  HostWindow* hw = Find(window);
  return hw ? hw->area : nullptr;
}

GtkWidget* GtkHostToolbarWidget(WindowRef window) {
  HostWindow* hw = Find(window);
  return hw ? hw->strip : nullptr;
}

GtkWidget* GtkHostMenuBarWidget(WindowRef window) {
  HostWindow* hw = Find(window);
  return hw ? hw->menuBar : nullptr;
}

WindowRef GtkHostWindowOf(GtkWidget* toplevel) {
  for (auto& [w, hw] : gWindows)
    if (hw->top == toplevel) return w;
  return nullptr;
}

void GtkHostRefreshMenuBars() {
  std::vector<HostWindow*> windows;
  for (auto& [w, hw] : gWindows)
    if (hw->menuBar) windows.push_back(hw);
  for (HostWindow* hw : windows) {
    const bool had = gtk_widget_get_visible(hw->menuBar);
    GtkHostFillMenuBar(hw->menuBar);
    if (had != bool(gtk_widget_get_visible(hw->menuBar))) ApplyBounds(hw);
  }
}

GtkWidget* GtkHostActiveWidget(WindowRef* outWindow) {
  WindowRef w = ActiveNonFloatingWindow();
  if (w == nullptr) w = FrontWindow();
  HostWindow* hw = w ? Find(w) : nullptr;
  if (outWindow) *outWindow = hw && hw->shown ? w : nullptr;
  return hw && hw->shown ? hw->area : nullptr;
}

OSStatus GtkHostWriteScreenshot(WindowRef window, const std::string& path) {
  HostWindow* hw = Find(window);
  if (hw == nullptr || path.empty()) return paramErr;
  GtkAllocation box{};
  gtk_widget_get_allocation(hw->box, &box);
  if (!gtk_widget_get_realized(hw->box) || box.width <= 0 || box.height <= 0) return paramErr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, box.width, box.height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return memFullErr;
  }
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(hw->box, cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const cairo_status_t written = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return written == CAIRO_STATUS_SUCCESS ? noErr : OSStatus(ioErr);
}
