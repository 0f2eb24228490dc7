// A window that never takes the focus, on the desktop: it is a GTK pop-up
// kept with the window that was active as it showed, placed where its bounds
// say, translucent as asked, and a click in it leaves the activation where it
// was. Given its focus back, it is a toplevel again.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "GtkTestEvents.h"
#include "Host.h"
#include "MacWindows.h"
#include "gtk/GtkHost.h"

namespace {

TEST(PopupWindow, NeverTakesTheFocusAndSitsWhereItsBoundsSay) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  Rect bounds{100, 100, 400, 500};
  WindowRef main = nullptr, popup = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &main));
  ShowWindow(main);
  SelectWindow(main);
  GtkWidget* mainTop = GtkHostWindowWidget(main);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(mainTop); }));

  Rect popupBounds{220, 160, 300, 320};
  ASSERT_EQ(noErr, CreateNewWindow(kPlainWindowClass, kWindowNoTitleBarAttribute, &popupBounds, &popup));
  ASSERT_EQ(noErr, SetWindowActivationScope(popup, kWindowActivationScopeNone));
  ASSERT_EQ(noErr, SetWindowAlpha(popup, 0.5));
  ShowWindow(popup);
  ActivateWindow(popup, true);
  GtkWidget* top = GtkHostWindowWidget(popup);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(top); }));
  Pump();
  EXPECT_EQ(gtk_window_get_window_type(GTK_WINDOW(top)), GTK_WINDOW_POPUP);
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(top)), GTK_WINDOW(mainTop));
  EXPECT_NEAR(gtk_widget_get_opacity(top), 0.5, 0.01);
  gint x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(GtkHostContentWidget(popup)), &x, &y);
  EXPECT_EQ(x, 160);
  EXPECT_EQ(y, 220);

  // A click in the pop-up: the window that had the activation keeps it.
  Click(GtkHostContentWidget(popup), 20, 20);
  EXPECT_EQ(ActiveNonFloatingWindow(), main);
  EXPECT_EQ(GetUserFocusWindow(), main);
  EXPECT_FALSE(gtk_window_has_toplevel_focus(GTK_WINDOW(top)));

  // Allowed to activate again, the window becomes a toplevel, still shown.
  ASSERT_EQ(noErr, SetWindowActivationScope(popup, kWindowActivationScopeAll));
  GtkWidget* again = GtkHostWindowWidget(popup);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(gtk_window_get_window_type(GTK_WINDOW(again)), GTK_WINDOW_TOPLEVEL);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(again); }));
  EXPECT_TRUE(IsWindowVisible(popup));
  EXPECT_NEAR(gtk_widget_get_opacity(again), 0.5, 0.01);

  DisposeWindow(popup);
  DisposeWindow(main);
  Pump();
}

}  // namespace
