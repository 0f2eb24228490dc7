// Internal to the platform library: the desktop host. Each platform window
// is shown as a GtkWindow holding an optional menu bar and one drawing area
// into which the window's view tree draws; GTK input becomes Carbon events.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "CFString.h"
#include "MacWindows.h"
#include "Menus.h"
#include "Navigation.h"

// Opens the display (gtk_init_check) and installs the host's hooks into the
// window, view, menu and alert layers. False when no display can be opened;
// nothing is installed then.
bool GtkHostStart(int* argc, char*** argv);
bool GtkHostIsRunning();

// The widgets showing a window; nil for a window the host does not show.
GtkWidget* GtkHostWindowWidget(WindowRef window);   // the GtkWindow
GtkWidget* GtkHostContentWidget(WindowRef window);  // the drawing area
GtkWidget* GtkHostMenuBarWidget(WindowRef window);  // nil without a menu bar
GtkWidget* GtkHostToolbarWidget(WindowRef window);  // the toolbar strip's drawing area
// The window a GtkWindow shows, nil for any other widget.
WindowRef GtkHostWindowOf(GtkWidget* toplevel);

// Renders the whole GtkWindow (menu bar and content) into a PNG.
// paramErr for a window the host does not show, ioErr when unwritable.
OSStatus GtkHostWriteScreenshot(WindowRef window, const std::string& path);

// --- Keys ------------------------------------------------------------------------
// Mac modifier bits: Control gives the command key (the shortcut key of this
// desktop), Alt the option key, Super the control key.
enum : UInt32 {
  kGtkHostCmdKey = 1u << 8,
  kGtkHostShiftKey = 1u << 9,
  kGtkHostAlphaLock = 1u << 10,
  kGtkHostOptionKey = 1u << 11,
  kGtkHostControlKey = 1u << 12,
};
UInt32 GtkHostMacModifiers(guint gdkState);

struct GtkHostKey {
  UInt32 keyCode;  // the Mac virtual key code, 0xFFFF when the key has none
  UInt8 charCode;  // the Mac Roman character code ('kchr'), 0 when none
  UniChar unicode; // the key's character ('kuni'), 0 when none
};
// keyval is the key as typed (shift applied); baseKeyval the same key with no
// modifier, which names the physical key for the virtual key code.
GtkHostKey GtkHostMapKey(guint keyval, guint baseKeyval);

// The navigation keys a Linux user types in text, as the Mac gestures that
// mean the same: Home/End the line's start and end (command-arrows),
// Ctrl+Home/End the text's (command-up/down), Ctrl+Left/Right a word
// (option-arrows), Ctrl+Backspace/Delete a word deleted (option), Page Up/Down
// the caret moved with the view (option); Shift stays and extends the
// selection. When keyval with the GDK modifier state is one of them, the key
// (code and characters) and the Mac modifiers become the gesture's and the
// answer is true; otherwise both stay as they are.
bool GtkHostMapNavigation(guint keyval, guint gdkState, GtkHostKey* ioKey, UInt32* ioModifiers);

// --- Helpers shared by the host's files ---------------------------------------------
std::string GtkHostUTF8(CFStringRef string);
// Menus (GtkHostMenus.cpp): installs the presenter and the menu-bar observer;
// builds and refreshes a window's menu bar.
void GtkHostMenusStart();
GtkWidget* GtkHostBuildMenuBar();
void GtkHostFillMenuBar(GtkWidget* bar);
// Rebuilds every window's bar; a window whose bar appears or goes keeps its
// content's size.
void GtkHostRefreshMenuBars();
// The GtkWindow of the active window, nil when none is shown.
GtkWidget* GtkHostActiveWidget(WindowRef* outWindow);

// --- Native child views (GtkHostNative.cpp) -------------------------------------------
// Their widgets show in the window's GtkOverlay, above the drawing area.
void GtkHostNativeStart();
void GtkHostNativeAttachOverlay(GtkWidget* overlay);
// The window's native views are placed again once the loop is idle.
void GtkHostNativeChanged(WindowRef window);
// Takes every native widget out of the overlay (keeping it alive), before the
// GtkWindow goes.
void GtkHostNativeDetachAll(GtkWidget* overlay, GtkWidget* area);
GtkWidget* GtkHostOverlayWidget(WindowRef window);

// --- Clipboard, drags and help tags ------------------------------------------------
// GtkHostClipboard.cpp: the clipboard pasteboard on the desktop's clipboard.
void GtkHostClipboardStart();
// GtkHostDrag.cpp: TrackDrag as a real pointer drag; every window's drawing
// area takes drags of the program and of other programs.
void GtkHostDragStart();
void GtkHostDragAttach(GtkWidget* area);
// GtkHostHelp.cpp: help tags as tooltips of the drawing area and of menu
// items, and the popup of HMDisplayTag.
void GtkHostHelpStart();
void GtkHostHelpAttach(GtkWidget* area);
void GtkHostApplyMenuItemHelp(GtkWidget* item, MenuRef menu, MenuItemIndex index);
// Ends a press the host is tracking (its button went to a drag).
void GtkHostEndPointerTrack();

// --- Colour picker (GtkHostColor.cpp) --------------------------------------------------
void GtkHostColorStart();
// The colour chooser dialog while it is up, else nil.
GtkWidget* GtkHostColorWidget();

// --- Font panel (GtkHostFont.cpp) ---------------------------------------------------------
void GtkHostFontStart();
// The font chooser dialog while the font panel is shown, else nil.
GtkWidget* GtkHostFontWidget();

// --- Navigation dialogs (GtkHostNavigation.cpp) --------------------------------------
void GtkHostNavigationStart();
// The GTK dialog showing a navigation dialog, nil when it is not up.
GtkWidget* GtkHostNavigationWidget(NavDialogRef dialog);
