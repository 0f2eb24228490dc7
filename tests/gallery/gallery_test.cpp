// The gallery on a real (virtual) display: the split view dragged, collapsed
// with its animation and found where it was left in the next window; a file
// opened through the file chooser into a tab; an edit that marks the tab;
// closing it asks Save / Don't Save / Cancel; Save As onto an existing file
// replaces it; the tree browser discloses a folder, renames a row in place,
// takes a row dragged by the pointer into a folder, and saves and loads its
// tree. Screenshots go to build/gallery-*.png.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Gallery.h"
#include "GtkTestEvents.h"
#include "HIToolbar.h"
#include "Host.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "gtk/GtkHost.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

// Last: the X headers' macros would clash with names above.
#include <gdk/gdkx.h>

namespace {

std::string Output(const std::string& name) { return std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name; }

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The shown dialog of the type, nil when none.
GtkWidget* Shown(GType type) {
  GtkWidget* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* w = all; w; w = w->next)
    if (G_TYPE_CHECK_INSTANCE_TYPE(w->data, type) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
      found = GTK_WIDGET(w->data);
  g_list_free(all);
  return found;
}

void Screenshot(GtkWidget* widget, const std::string& name) {
  const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(surface, Output(name).c_str()));
  cairo_surface_destroy(surface);
}

void Command(WindowRef window, UInt32 command) { SendHICommand(GetWindowEventTarget(window), command); }

std::string TabTitle(ControlRef tabs, SInt16 index) {
  CFArrayRef panes = TabViewGetPanes(tabs, index);
  if (panes == nullptr) return "<none>";
  TabPaneInfo info{};
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(panes, 0)), CFRangeMake(0, sizeof info),
                 reinterpret_cast<UInt8*>(&info));
  CFRelease(panes);
  return info.NAME.str();
}

// Answers the chooser's question about replacing a file with Replace.
gboolean AnswerReplace(gpointer) {
  GtkWidget* question = Shown(GTK_TYPE_MESSAGE_DIALOG);
  if (question == nullptr) return G_SOURCE_CONTINUE;
  gtk_dialog_response(GTK_DIALOG(question), GTK_RESPONSE_ACCEPT);
  return G_SOURCE_REMOVE;
}

class GalleryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr)); }
  void SetUp() override {
    char templ[] = "/tmp/qvgalleryXXXXXX";
    dir_ = g_mkdtemp(templ);
    std::ofstream(dir_ + "/index.php") << "<?php\n// The gallery's page\necho \"Hello\";\n";
    std::ofstream(dir_ + "/old.php") << "old text\n";
    prefs_ = new TPreferenceHandlerApplication();
    prefs_->SetDomain("gallerytest.");
    // Every run starts from the splitter's first place.
    prefs_->RemoveValue("Gallery.TSplitViewPosition.Main");
  }
  void TearDown() override {
    prefs_->Release();
    ASSERT_EQ(0, system(("rm -rf '" + dir_ + "'").c_str()));
  }
  TGalleryWindow* Open() {
    TGalleryWindow* gallery = GalleryOpenWindow(prefs_, false);
    EXPECT_NE(gallery->window, nullptr);
    GtkWidget* top = GtkHostWindowWidget(gallery->window);
    EXPECT_TRUE(PumpUntil([&] { return top && gtk_widget_get_mapped(top); }));
    Pump();
    return gallery;
  }
  std::string dir_;
  TPreferenceHandlerApplication* prefs_ = nullptr;
};

TEST_F(GalleryTest, TheSplitViewDragsCollapsesAndKeepsItsPlaceAcrossWindows) {
  TGalleryWindow* gallery = Open();
  WindowRef window = gallery->window;
  HIToolbarRef toolbar = nullptr;
  GetWindowToolbar(window, &toolbar);
  EXPECT_NE(toolbar, nullptr);
  EXPECT_TRUE(IsWindowToolbarVisible(window));
  EXPECT_EQ(gallery->toolbars.size(), size_t(kToolbarStyleCount));
  ASSERT_EQ(gallery->split->GetPosition(), 300);
  ASSERT_TRUE(GtkHostWriteScreenshot(window, Output("gallery-window.png")) == noErr);

  // A drag of the splitter by the pointer.
  // The pointer itself moves too, as a person's would.
  GtkWidget* area = GtkHostContentWidget(window);
  gint ox = 0, oy = 0;
  gdk_window_get_origin(gtk_widget_get_window(area), &ox, &oy);
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  auto warp = [&](int x, int y) { gdk_device_warp(pointer, gdk_screen_get_default(), ox + x, oy + y); };
  warp(303, 300);
  Pump();
  PutButton(area, GDK_BUTTON_PRESS, 303, 300);
  for (int x = 310; x <= 380; x += 10) {
    warp(x, 300);
    PutMotion(area, x, 300, GDK_BUTTON1_MASK);
  }
  warp(383, 300);
  PutButton(area, GDK_BUTTON_RELEASE, 383, 300, 1, GDK_BUTTON1_MASK);
  Pump();
  const SInt16 dragged = gallery->split->GetPosition();
  EXPECT_EQ(dragged, 380);  // where the pointer let go

  // The sidebar goes with its animation and comes back where it was.
  Command(window, kGalleryCommandSidebar);
  EXPECT_NE(gallery->split->GetPosition(), -1);  // still moving
  ASSERT_TRUE(PumpUntil([&] { return gallery->split->GetPosition() == -1; }));
  Pump();
  ASSERT_TRUE(GtkHostWriteScreenshot(window, Output("gallery-collapsed.png")) == noErr);
  Command(window, kGalleryCommandSidebar);
  ASSERT_TRUE(PumpUntil([&] { return gallery->split->GetPosition() == dragged; }));

  // The next window (the next run) finds the splitter where it was left.
  gallery->Remove();
  Pump();
  TGalleryWindow* again = Open();
  EXPECT_EQ(again->split->GetPosition(), dragged);
  again->Remove();
  Pump();
}

TEST_F(GalleryTest, AFileOpensInATabThatAnEditMarksAndClosingAsksFirst) {
  TGalleryWindow* gallery = Open();
  WindowRef window = gallery->window;
  ControlRef tabView = gallery->tabs->TabView;

  // File > Open: the desktop's file chooser, attached to the window.
  Command(window, kGalleryCommandOpen);
  GtkWidget* chooser = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (chooser = Shown(GTK_TYPE_FILE_CHOOSER_DIALOG)) != nullptr; }));
  EXPECT_EQ(GTK_WINDOW(GtkHostWindowWidget(window)), gtk_window_get_transient_for(GTK_WINDOW(chooser)));
  gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), (dir_ + "/index.php").c_str());
  ASSERT_TRUE(PumpUntil([&] {
    gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    const bool chosen = name != nullptr && dir_ + "/index.php" == name;
    g_free(name);
    return chosen;
  }));
  gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  ASSERT_TRUE(PumpUntil([&] { return TabViewGetCount(tabView) == 1; }));
  auto* document = static_cast<TGalleryDocument*>(gallery->documents->GetActive());
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return document->stream == nullptr; }));  // read in full
  EXPECT_EQ(TabTitle(tabView, 1), "index.php");
  EXPECT_EQ(WEGetTextLength(document->controller), 42);
  Pump();
  ASSERT_TRUE(GtkHostWriteScreenshot(window, Output("gallery-tabs.png")) == noErr);

  // Typing marks the tab.
  PutKey(GtkHostWindowWidget(window), GDK_KEY_x);
  ASSERT_TRUE(PumpUntil([&] { return document->modified; }));
  EXPECT_EQ(TabTitle(tabView, 1), "*index.php");
  EXPECT_TRUE(IsWindowModified(window));
  Pump();
  ASSERT_TRUE(GtkHostWriteScreenshot(window, Output("gallery-modified.png")) == noErr);

  // Closing the tab asks; Cancel keeps it.
  auto* pane = dynamic_cast<TDocumentPane*>(gallery->tabs->GetActive());
  ASSERT_NE(pane, nullptr);
  pane->Close();
  GtkWidget* question = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (question = Shown(GTK_TYPE_MESSAGE_DIALOG)) != nullptr; }));
  Pump();
  Screenshot(question, "gallery-question.png");
  gtk_dialog_response(GTK_DIALOG(question), kNavUserActionCancel);
  ASSERT_TRUE(PumpUntil([&] { return Shown(GTK_TYPE_MESSAGE_DIALOG) == nullptr; }));
  EXPECT_EQ(TabViewGetCount(tabView), 1);
  EXPECT_TRUE(document->modified);

  // Save As onto an existing file replaces it, and the tab takes its name.
  Command(window, kGalleryCommandSaveAs);
  ASSERT_TRUE(PumpUntil([&] { return (chooser = Shown(GTK_TYPE_FILE_CHOOSER_DIALOG)) != nullptr; }));
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), dir_.c_str());
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "old.php");
  Pump();
  g_timeout_add(50, AnswerReplace, nullptr);
  gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  ASSERT_TRUE(PumpUntil([&] { return !document->modified; }));
  const std::string saved = Read(dir_ + "/old.php");
  EXPECT_EQ(saved, "<?php\n// The gallery's page\necho \"Hello\";\nx");
  EXPECT_EQ(Read(dir_ + "/index.php").substr(0, 5), "<?php");  // the file it came from is untouched
  EXPECT_EQ(TabTitle(tabView, 1), "old.php");
  EXPECT_FALSE(IsWindowModified(window));

  // Another edit, then Don't Save: the tab goes, and its document with it.
  PutKey(GtkHostWindowWidget(window), GDK_KEY_y);
  ASSERT_TRUE(PumpUntil([&] { return document->modified; }));
  pane = dynamic_cast<TDocumentPane*>(gallery->tabs->GetActive());
  pane->Close();
  ASSERT_TRUE(PumpUntil([&] { return (question = Shown(GTK_TYPE_MESSAGE_DIALOG)) != nullptr; }));
  gtk_dialog_response(GTK_DIALOG(question), kNavUserActionDontSaveChanges);
  ASSERT_TRUE(PumpUntil([&] { return TabViewGetCount(tabView) == 0; }));
  EXPECT_EQ(gallery->documents->GetCount(), 0);
  EXPECT_EQ(Read(dir_ + "/old.php"), saved);
  gallery->Remove();
  Pump();
}

// Real pointer input through the X server's test extension, bound at run time.
struct FakePointer {
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned int, int, unsigned long);
  Motion motion = nullptr;
  Button button = nullptr;
  Display* display = nullptr;
  bool Load() {
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) return false;
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
};

// The pointer's path of a drag, played from the event loop while the drag runs.
struct PointerPath {
  FakePointer* pointer;
  std::vector<std::pair<int, int>> points;  // the last one is where the button goes up
};

gboolean NextPoint(gpointer data) {
  auto* path = static_cast<PointerPath*>(data);
  if (path->points.empty()) {
    path->pointer->Press(false);
    return G_SOURCE_REMOVE;
  }
  path->pointer->MoveTo(path->points.front().first, path->points.front().second);
  path->points.erase(path->points.begin());
  return G_SOURCE_CONTINUE;
}

std::vector<std::string> TreeRows(TGalleryTree* tree) {
  std::vector<std::string> rows;
  for (DataBrowserTableViewRowIndex r = 0;; ++r) {
    DataBrowserItemID id = 0;
    if (GetDataBrowserTableViewItemID(tree->browser, r, &id) != noErr) return rows;
    rows.push_back(GalleryTreeName(tree, SInt32(id)));
  }
}

SInt32 ItemNamed(TGalleryTree* tree, const std::string& name) {
  for (DataBrowserTableViewRowIndex r = 0;; ++r) {
    DataBrowserItemID id = 0;
    if (GetDataBrowserTableViewItemID(tree->browser, r, &id) != noErr) return 0;
    if (GalleryTreeName(tree, SInt32(id)) == name) return SInt32(id);
  }
}

// The middle of a part of the item's cell, in the window's content.
CGPoint PartMiddle(TGalleryTree* tree, SInt32 item, DataBrowserPropertyID column, DataBrowserPropertyPart part) {
  Rect r{};
  GetDataBrowserItemPartBounds(tree->browser, DataBrowserItemID(item), column, part, &r);
  return CGPoint{CGFloat(r.left + r.right) / 2, CGFloat(r.top + r.bottom) / 2};
}

TEST_F(GalleryTest, TheTreeBrowserDisclosesRenamesDragsSavesAndLoads) {
  TGalleryTree* tree = GalleryOpenTreeWindow();
  ASSERT_NE(tree, nullptr);
  GtkWidget* top = GtkHostWindowWidget(tree->window);
  GtkWidget* area = GtkHostContentWidget(tree->window);
  ASSERT_TRUE(PumpUntil([&] { return top && gtk_widget_get_mapped(top); }));
  Pump();
  EXPECT_EQ(TreeRows(tree), (std::vector<std::string>{"site", "css", "index.php", "scripts", "README.md",
                                                      "notes.txt"}));

  // A click on a folder's triangle discloses its children.
  CGPoint triangle = PartMiddle(tree, ItemNamed(tree, "scripts"), 'DATA', kDataBrowserPropertyDisclosurePart);
  Click(area, triangle.x, triangle.y);
  ASSERT_TRUE(PumpUntil([&] { return ItemNamed(tree, "app.js") != 0; }));

  // A double-click on a name edits it in place; Return keeps the new name.
  const SInt32 notes = ItemNamed(tree, "notes.txt");
  CGPoint name = PartMiddle(tree, notes, 'TEXT', kDataBrowserPropertyContentPart);
  Click(area, name.x, name.y);
  Click(area, name.x, name.y);
  DataBrowserItemID editing = 0;
  DataBrowserPropertyID property = 0;
  ASSERT_TRUE(PumpUntil([&] {
    GetDataBrowserEditItem(tree->browser, &editing, &property);
    return editing == DataBrowserItemID(notes);
  }));
  SetDataBrowserEditText(tree->browser, CFSTR("todo.txt"));
  PutKey(top, GDK_KEY_Return);
  ASSERT_TRUE(PumpUntil([&] { return GalleryTreeName(tree, notes) == "todo.txt"; }));
  Pump();
  ASSERT_TRUE(GtkHostWriteScreenshot(tree->window, Output("gallery-tree.png")) == noErr);

  // The pointer drags "README.md" onto the open folder "site": it goes in,
  // after the folder's other children.
  FakePointer pointer;
  if (pointer.Load()) {
    Pump();
    gint ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(area), &ox, &oy);
    const SInt32 readme = ItemNamed(tree, "README.md");
    CGPoint from = PartMiddle(tree, readme, 'DATA', kDataBrowserPropertyContentPart);
    CGPoint to = PartMiddle(tree, ItemNamed(tree, "site"), 'DATA', kDataBrowserPropertyContentPart);
    static PointerPath path;
    path.pointer = &pointer;
    path.points.clear();
    // Past the list's slop first, then on towards the folder, resting there.
    path.points.emplace_back(ox + int(from.x) + 8, oy + int(from.y));
    for (int step = 1; step <= 10; ++step)
      path.points.emplace_back(ox + int(from.x + (to.x - from.x) * step / 10),
                               oy + int(from.y + (to.y - from.y) * step / 10));
    for (int rest = 0; rest < 4; ++rest) path.points.emplace_back(ox + int(to.x), oy + int(to.y));
    pointer.MoveTo(ox + int(from.x), oy + int(from.y));
    Pump();
    g_timeout_add(120, NextPoint, &path);
    pointer.Press(true);
    ASSERT_TRUE(PumpUntil([&] { return BrackenrowGetNodeParent(readme, tree->browser) != nullptr; })) << [&] { std::string r; for (auto& n : TreeRows(tree)) r += n + ","; return r; }();
    EXPECT_EQ(GalleryTreeName(tree, BrackenrowGetNodeParent(readme, tree->browser)->INDEX), "site");
    Pump();
    EXPECT_EQ(TreeRows(tree), (std::vector<std::string>{"site", "css", "index.php", "README.md", "scripts",
                                                        "app.js", "todo.txt"}));
    ASSERT_TRUE(GtkHostWriteScreenshot(tree->window, Output("gallery-tree-dragged.png")) == noErr);
  }

  // Saved, changed, and loaded back as it was saved.
  const std::string file = dir_ + "/tree.plist";
  ASSERT_EQ(GalleryTreeSave(tree, file.c_str()), noErr);
  const std::vector<std::string> saved = TreeRows(tree);
  BrackenrowRemoveItem(tree->browser, ItemNamed(tree, "scripts"));
  EXPECT_NE(TreeRows(tree), saved);
  ASSERT_EQ(GalleryTreeLoad(tree, file.c_str()), noErr);
  EXPECT_EQ(TreeRows(tree), saved);
  Pump();
  ASSERT_TRUE(GtkHostWriteScreenshot(tree->window, Output("gallery-tree-loaded.png")) == noErr);
  GalleryCloseTreeWindow(tree);
  Pump();
}

}  // namespace
