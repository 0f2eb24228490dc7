// Synthesised GTK input for the desktop tests, and a loop that lets GTK and
// the X server catch up.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Runs the loop until the condition holds or many turns have passed without it.
template <typename Condition>
bool PumpUntil(Condition done) {
  for (int turn = 0; turn < 4000; ++turn) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (done()) return true;
    g_usleep(1000);
  }
  return done();
}

inline void Pump() {
  for (int i = 0; i < 20; ++i) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(1000);
  }
}

inline guint32 gEventTime = 1000;

inline void PutButton(GtkWidget* area, GdkEventType type, double x, double y, guint button = 1,
                      guint state = 0) {
  GdkEvent* ev = gdk_event_new(type);
  ev->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
  ev->button.send_event = TRUE;
  ev->button.time = gEventTime += 10;
  ev->button.x = x;
  ev->button.y = y;
  ev->button.button = button;
  ev->button.state = state;
  gdk_event_set_device(ev, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gdk_event_put(ev);
  gdk_event_free(ev);
}

inline void Click(GtkWidget* area, double x, double y, guint state = 0) {
  PutButton(area, GDK_BUTTON_PRESS, x, y, 1, state);
  PutButton(area, GDK_BUTTON_RELEASE, x, y, 1, state | GDK_BUTTON1_MASK);
  Pump();
}

inline void PutMotion(GtkWidget* area, double x, double y, guint state) {
  GdkEvent* move = gdk_event_new(GDK_MOTION_NOTIFY);
  move->motion.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
  move->motion.x = x;
  move->motion.y = y;
  move->motion.state = state;
  move->motion.time = gEventTime += 10;
  gdk_event_set_device(move, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gdk_event_put(move);
  gdk_event_free(move);
  // Moves wait for the next frame; a real pointer asks for one, a put event not.
  gdk_frame_clock_request_phase(gdk_window_get_frame_clock(gtk_widget_get_window(area)),
                                GDK_FRAME_CLOCK_PHASE_FLUSH_EVENTS);
}

// A press and a release of the key, then the loop runs.
inline void PutKey(GtkWidget* top, guint keyval, guint state = 0) {
  GdkDisplay* display = gdk_display_get_default();
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* ev = gdk_event_new(type);
    ev->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(top)));
    ev->key.send_event = TRUE;
    ev->key.time = gEventTime += 10;
    ev->key.keyval = keyval;
    ev->key.state = state;
    ev->key.string = g_strdup("");
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0) {
      ev->key.hardware_keycode = guint16(keys[0].keycode);
      ev->key.group = guint8(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(ev, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gdk_event_put(ev);
    gdk_event_free(ev);
  }
  Pump();
}

inline void TypeText(GtkWidget* top, const std::string& text) {
  for (char c : text) PutKey(top, c == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(guint32(c)));
}
