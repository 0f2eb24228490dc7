// Real pointer drags on a (virtual) display, pressed, moved and released by
// the X server's test extension: from one window of the program to a view of
// another (the view hears the control drag events and receives each item
// once), from another program's window into the program (its text arrives
// as a drag item), and from the program to another program (which gets the
// items' text, without what the program keeps to itself).
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "Drag.h"
#include "HIView.h"
#include "Host.h"
#include "MacWindows.h"
#include "gtk/GtkHost.h"

namespace {

std::vector<std::string> gLog;
OSErr gTrackResult = 1;
UInt16 gReceivedItems = 0;

template <typename Condition>
bool PumpUntil(Condition done) {
  for (int turn = 0; turn < 3000; ++turn) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (done()) return true;
    g_usleep(1000);
  }
  return done();
}

std::string gReceivedText;

OSStatus TargetHandler(EventHandlerCallRef, EventRef event, void*) {
  switch (GetEventKind(event)) {
    case kEventControlDragEnter: {
      gLog.push_back("enter");
      Boolean yes = true;
      SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof yes, &yes);
      return noErr;
    }
    case kEventControlDragWithin:
      if (gLog.empty() || gLog.back() != "within") gLog.push_back("within");
      return noErr;
    case kEventControlDragLeave: gLog.push_back("leave"); return noErr;
    case kEventControlDragReceive: {
      gLog.push_back("receive");
      DragRef drag = nullptr;
      GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
      CountDragItems(drag, &gReceivedItems);
      DragItemRef item = 0;
      GetDragItemReferenceNumber(drag, 1, &item);
      char text[64] = {};
      Size size = sizeof text - 1;
      if (GetFlavorData(drag, item, 'utf8', text, &size, 0) == noErr) gReceivedText.assign(text, size_t(size));
      return noErr;
    }
  }
  return eventNotHandledErr;
}

// A press in the source window starts the drag.
OSStatus SourceMouseDown(EventHandlerCallRef, EventRef event, void*) {
  DragRef drag = nullptr;
  NewDrag(&drag);
  for (DragItemRef item : {DragItemRef(1), DragItemRef(2)}) {
    AddDragItemFlavor(drag, item, 'utf8', "text", 4, 0);
    AddDragItemFlavor(drag, item, 'TEXT', "text", 4, 0);
    AddDragItemFlavor(drag, item, 'priv', "mine", 4, flavorSenderOnly);
  }
  EventRecord record;
  ConvertEventRefToEventRecord(event, &record);
  gTrackResult = TrackDrag(drag, &record, nullptr);
  DisposeDrag(drag);
  return noErr;
}

// Real input through the X server's test extension, bound at run time.
struct FakeInput {
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned int, int, unsigned long);
  Motion motion = nullptr;
  Button button = nullptr;
  Display* display = nullptr;
  bool Load() {
    void* lib = dlopen("libXtst.so.6", RTLD_NOW);
    if (lib == nullptr) return false;
    motion = reinterpret_cast<Motion>(dlsym(lib, "XTestFakeMotionEvent"));
    button = reinterpret_cast<Button>(dlsym(lib, "XTestFakeButtonEvent"));
    display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    return motion && button && display;
  }
  void MoveTo(int x, int y) {
    motion(display, -1, x, y, 0);
    gdk_display_flush(gdk_display_get_default());
  }
  void Press(bool down) {
    button(display, 1, down, 0);
    gdk_display_flush(gdk_display_get_default());
  }
} gInput;

struct Step {
  int x, y;
  bool release;
};

gboolean Next(gpointer data) {
  auto* steps = static_cast<std::vector<Step>*>(data);
  if (steps->empty()) return G_SOURCE_REMOVE;
  const Step step = steps->front();
  steps->erase(steps->begin());
  if (step.release)
    gInput.Press(false);
  else
    gInput.MoveTo(step.x, step.y);
  return steps->empty() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

void Settle() {
  for (int i = 0; i < 300; ++i) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(1000);
  }
}

CGPoint Origin(GtkWidget* widget) {
  gint x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
  return CGPoint{double(x), double(y)};
}

// Presses at the start, moves along the path and releases at its end.
void DragAlong(CGPoint start, std::vector<CGPoint> path) {
  static std::vector<Step> steps;
  steps.clear();
  for (CGPoint p : path) steps.push_back(Step{int(p.x), int(p.y), false});
  steps.push_back(Step{int(path.back().x), int(path.back().y), true});
  g_timeout_add(120, Next, &steps);
  gInput.MoveTo(int(start.x), int(start.y));
  gInput.Press(true);
}

class GtkDrag : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default()) || !gInput.Load())
      GTEST_SKIP() << "no X test extension client library";
    gLog.clear();
    gTrackResult = 1;
    gReceivedItems = 0;
    gReceivedText.clear();
    // The program's window with a view that takes every drag.
    Rect b{100, 500, 300, 700};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &b, &target));
    HIRect frame{{20, 20}, {150, 150}};
    HIViewRef view = nullptr;
    ASSERT_EQ(noErr, HIViewCreate(&frame, &view));
    HIViewAddSubview(HIViewGetRoot(target), view);
    HIViewSetVisible(view, true);
    SetAutomaticControlDragTrackingEnabledForWindow(target, true);
    SetControlDragTrackingEnabled(view, true);
    static const EventTypeSpec drags[] = {{kEventClassControl, kEventControlDragEnter},
                                          {kEventClassControl, kEventControlDragWithin},
                                          {kEventClassControl, kEventControlDragLeave},
                                          {kEventClassControl, kEventControlDragReceive}};
    InstallEventHandler(HIViewGetEventTarget(view), TargetHandler, 4, drags, nullptr, nullptr);
    ShowWindow(target);
    targetArea = GtkHostContentWidget(target);
  }
  void TearDown() override {
    if (target) DisposeWindow(target);
    if (other) gtk_widget_destroy(other);
    Settle();
  }
  WindowRef target = nullptr;
  GtkWidget* targetArea = nullptr;
  GtkWidget* other = nullptr;  // a window of "another program"
};

TEST_F(GtkDrag, PointerDragBetweenWindowsReachesTheTargetView) {
  Rect a{100, 100, 300, 300};
  WindowRef source = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &a, &source));
  static const EventTypeSpec down[] = {{kEventClassMouse, kEventMouseDown}};
  InstallEventHandler(GetWindowEventTarget(source), SourceMouseDown, 1, down, nullptr, nullptr);
  ShowWindow(source);
  GtkWidget* sourceArea = GtkHostContentWidget(source);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(sourceArea) && gtk_widget_get_mapped(targetArea); }));
  Settle();  // the X server routes input to the windows once it has them
  const CGPoint s = Origin(sourceArea), t = Origin(targetArea);
  DragAlong({s.x + 50, s.y + 50}, {{s.x + 60, s.y + 60}, {t.x + 40, t.y + 40}, {t.x + 60, t.y + 60}, {t.x + 80, t.y + 80}});
  ASSERT_TRUE(PumpUntil([] { return gTrackResult != 1; }));

  EXPECT_EQ(noErr, gTrackResult);
  EXPECT_EQ((std::vector<std::string>{"enter", "within", "leave", "receive"}), gLog);
  EXPECT_EQ(2, gReceivedItems);
  EXPECT_EQ("text", gReceivedText);
  DisposeWindow(source);
}

TEST_F(GtkDrag, TextFromAnotherProgramArrivesAsADragItem) {
  // A plain GTK window standing for another program, dragging text.
  other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_move(GTK_WINDOW(other), 100, 100);
  GtkWidget* box = gtk_event_box_new();
  gtk_widget_set_size_request(box, 200, 200);
  gtk_container_add(GTK_CONTAINER(other), box);
  gtk_drag_source_set(box, GDK_BUTTON1_MASK, nullptr, 0, GDK_ACTION_COPY);
  gtk_drag_source_add_text_targets(box);
  g_signal_connect(box, "drag-data-get", G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint,
                                                        guint, gpointer) {
                     gtk_selection_data_set_text(data, "Gr\xC3\xBC\xC3\x9F" "e", -1);
                   }),
                   nullptr);
  gtk_widget_show_all(other);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(box) && gtk_widget_get_mapped(targetArea); }));
  Settle();
  const CGPoint s = Origin(box), t = Origin(targetArea);
  // GTK starts its drag once the pointer has moved a little.
  DragAlong({s.x + 50, s.y + 50},
            {{s.x + 60, s.y + 60}, {s.x + 80, s.y + 80}, {t.x + 40, t.y + 40}, {t.x + 60, t.y + 60}, {t.x + 80, t.y + 80}});
  ASSERT_TRUE(PumpUntil([] { return !gLog.empty() && gLog.back() == "receive"; }));
  EXPECT_EQ((std::vector<std::string>{"enter", "within", "leave", "receive"}), gLog);
  EXPECT_EQ(1, gReceivedItems);
  EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e", gReceivedText);
}

TEST_F(GtkDrag, AProgramDragOffersItsTextToAnotherProgram) {
  Rect a{100, 100, 300, 300};
  WindowRef source = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &a, &source));
  static const EventTypeSpec down[] = {{kEventClassMouse, kEventMouseDown}};
  InstallEventHandler(GetWindowEventTarget(source), SourceMouseDown, 1, down, nullptr, nullptr);
  ShowWindow(source);
  DisposeWindow(target);
  target = nullptr;
  other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_move(GTK_WINDOW(other), 500, 100);
  GtkWidget* box = gtk_event_box_new();
  gtk_widget_set_size_request(box, 200, 200);
  gtk_container_add(GTK_CONTAINER(other), box);
  gtk_drag_dest_set(box, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
  gtk_drag_dest_add_text_targets(box);
  static std::string dropped;
  dropped.clear();
  g_signal_connect(box, "drag-data-received",
                   G_CALLBACK(+[](GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint,
                                  gpointer) {
                     if (guchar* text = gtk_selection_data_get_text(data)) {
                       dropped = reinterpret_cast<const char*>(text);
                       g_free(text);
                     }
                   }),
                   nullptr);
  gtk_widget_show_all(other);
  GtkWidget* sourceArea = GtkHostContentWidget(source);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(sourceArea) && gtk_widget_get_mapped(box); }));
  Settle();
  const CGPoint s = Origin(sourceArea), t = Origin(box);
  DragAlong({s.x + 50, s.y + 50}, {{s.x + 60, s.y + 60}, {t.x + 40, t.y + 40}, {t.x + 60, t.y + 60}, {t.x + 80, t.y + 80}});
  ASSERT_TRUE(PumpUntil([] { return gTrackResult != 1; }));
  EXPECT_EQ(noErr, gTrackResult);
  ASSERT_TRUE(PumpUntil([] { return !dropped.empty(); }));
  // Both items' text, and nothing of the flavour kept for the program itself.
  EXPECT_EQ("text\ntext", dropped);
  DisposeWindow(source);
}

}  // namespace
