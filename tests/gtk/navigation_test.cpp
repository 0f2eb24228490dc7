// Navigation dialogs on a real (virtual) display: a save sheet as a file
// chooser transient for its window, answered programmatically; an open
// dialog choosing a project folder by going into it; the save-changes
// question as a message dialog run modally. Screenshots go to the build folder.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <glib/gstdio.h>

#include <cairo.h>

#include <fstream>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "CFString.h"
#include "Files.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "MacWindows.h"
#include "Navigation.h"
#include "gtk/GtkHost.h"

namespace {

struct Heard {
  std::vector<NavUserAction> actions;
  std::vector<std::string> paths;
  std::string saveName;
  bool replacing = false;
  bool terminated = false;
};

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096];
  return FSRefMakePath(&ref, path, sizeof path) == noErr ? std::string(reinterpret_cast<char*>(path)) : "";
}

void Proc(NavEventCallbackMessage message, NavCBRecPtr record, void* data) {
  auto* h = static_cast<Heard*>(data);
  if (message == kNavCBUserAction) {
    h->actions.push_back(NavDialogGetUserAction(record->context));
    NavReplyRecord reply;
    if (NavDialogGetReply(record->context, &reply) != noErr) return;
    long count = 0;
    AECountItems(&reply.selection, &count);
    for (long i = 1; i <= count; ++i) {
      FSRef ref{};
      if (AEGetNthPtr(&reply.selection, i, typeFSRef, nullptr, nullptr, &ref, sizeof ref, nullptr) == noErr)
        h->paths.push_back(PathOf(ref));
    }
    h->replacing = reply.replacing;
    if (reply.saveFileName) h->saveName = GtkHostUTF8(reply.saveFileName);
    NavDisposeReply(&reply);
  } else if (message == kNavCBTerminate) {
    h->terminated = true;
    NavDialogDispose(record->context);
  }
}

void Screenshot(GtkWidget* widget, const std::string& name) {
  const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
  ASSERT_GT(width, 1);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name;
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(surface, path.c_str()));
  cairo_surface_destroy(surface);
}

std::string CurrentFolder(GtkWidget* chooser) {
  gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser));
  std::string out = folder ? folder : "";
  g_free(folder);
  return out;
}

class GtkNavigationTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The file chooser keeps its settings; here they stay in memory.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  }
  void SetUp() override {
    char templ[] = "/tmp/qvgnavXXXXXX";
    dir_ = g_mkdtemp(templ);
    g_mkdir((dir_ + "/site.qvproj").c_str(), 0755);
    std::ofstream(dir_ + "/index.php") << "<?php";
    Rect bounds{120, 120, 420, 620};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window_));
    SetWindowTitleWithCFString(window_, CFStringMakeConstantUTF8("index.php"));
    ShowWindow(window_);
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(window_)); }));
    NavGetDefaultDialogCreationOptions(&options_);
    options_.optionFlags = 0x11F4;
  }
  void TearDown() override {
    DisposeWindow(window_);
    Pump();
    ASSERT_EQ(0, system(("rm -rf '" + dir_ + "'").c_str()));
  }

  std::string dir_;
  WindowRef window_ = nullptr;
  NavDialogCreationOptions options_{};
};

TEST_F(GtkNavigationTest, ASaveSheetIsAFileChooserOfItsWindowAndRepliesWhatWasTyped) {
  Heard h;
  options_.parentWindow = window_;
  options_.modality = kWindowModalityWindowModal;
  options_.windowTitle = CFStringMakeConstantUTF8("Save As");
  options_.saveFileName = CFStringMakeConstantUTF8("index.php");
  options_.preferenceKey = 4;
  NavDialogRef dialog = nullptr;
  ASSERT_EQ(noErr, NavCreatePutFileDialog(&options_, '????', '????', Proc, &h, &dialog));
  FSRef folder{};
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(dir_.c_str()), &folder, nullptr));
  AEDesc location;
  AECreateDesc(typeFSRef, &folder, sizeof folder, &location);
  ASSERT_EQ(noErr, NavCustomControl(dialog, kNavCtlSetLocation, &location));
  AEDisposeDesc(&location);
  ASSERT_EQ(noErr, NavDialogRun(dialog));
  GtkWidget* chooser = GtkHostNavigationWidget(dialog);
  ASSERT_NE(nullptr, chooser);
  ASSERT_TRUE(GTK_IS_FILE_CHOOSER_DIALOG(chooser));
  EXPECT_EQ(GTK_WINDOW(GtkHostWindowWidget(window_)), gtk_window_get_transient_for(GTK_WINDOW(chooser)));
  EXPECT_EQ(GTK_FILE_CHOOSER_ACTION_SAVE, gtk_file_chooser_get_action(GTK_FILE_CHOOSER(chooser)));
  EXPECT_STREQ("Save As", gtk_window_get_title(GTK_WINDOW(chooser)));
  EXPECT_TRUE(gtk_file_chooser_get_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser)));
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(chooser) && CurrentFolder(chooser) == dir_; }));
  Pump();
  Screenshot(chooser, "gtk-navigation-save.png");
  EXPECT_TRUE(h.actions.empty());  // a sheet returns before the answer

  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "about.php");
  gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  ASSERT_TRUE(PumpUntil([&] { return h.terminated; }));
  EXPECT_EQ((std::vector<NavUserAction>{kNavUserActionSaveAs}), h.actions);
  EXPECT_EQ((std::vector<std::string>{dir_}), h.paths);
  EXPECT_EQ("about.php", h.saveName);
  EXPECT_FALSE(h.replacing);
}

struct Going {
  NavDialogRef dialog = nullptr;
  std::string dir;
};

// The user opens the project folder in the list, as with a double click.
gboolean GoIntoProject(gpointer data) {
  auto* going = static_cast<Going*>(data);
  GtkWidget* chooser = GtkHostNavigationWidget(going->dialog);
  if (chooser == nullptr || !gtk_widget_get_mapped(chooser) || CurrentFolder(chooser) != going->dir)
    return G_SOURCE_CONTINUE;
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), (going->dir + "/site.qvproj").c_str());
  return G_SOURCE_REMOVE;
}

TEST_F(GtkNavigationTest, AnOpenDialogTakesAProjectFolderAsADocument) {
  Heard h;
  Going going{nullptr, dir_};
  NavDialogRef& dialog = going.dialog;
  ASSERT_EQ(noErr, NavCreateGetFileDialog(&options_, nullptr, Proc, nullptr, nullptr, &h, &dialog));
  FSRef folder{};
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(dir_.c_str()), &folder, nullptr));
  AEDesc location;
  AECreateDesc(typeFSRef, &folder, sizeof folder, &location);
  ASSERT_EQ(noErr, NavCustomControl(dialog, kNavCtlSetLocation, &location));
  AEDisposeDesc(&location);
  g_timeout_add(50, GoIntoProject, &going);
  // Application-modal: the run returns once the dialog is over.
  ASSERT_EQ(noErr, NavDialogRun(dialog));
  g_source_remove_by_user_data(&going);
  EXPECT_TRUE(h.terminated);
  EXPECT_EQ((std::vector<NavUserAction>{kNavUserActionOpen}), h.actions);
  EXPECT_EQ((std::vector<std::string>{dir_ + "/site.qvproj"}), h.paths);
}

struct Question {
  NavDialogRef dialog = nullptr;
  std::string text;
  std::vector<std::string> buttons;
  bool shot = false;
};

gboolean AnswerQuestion(gpointer data) {
  auto* q = static_cast<Question*>(data);
  GtkWidget* widget = GtkHostNavigationWidget(q->dialog);
  if (widget == nullptr || !gtk_widget_get_mapped(widget) || gtk_widget_get_allocated_width(widget) <= 1)
    return G_SOURCE_CONTINUE;
  if (!q->shot) {  // one more turn so that it has drawn once
    q->shot = true;
    return G_SOURCE_CONTINUE;
  }
  gchar* text = nullptr;
  g_object_get(widget, "text", &text, nullptr);
  q->text = text ? text : "";
  g_free(text);
  GList* buttons = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(widget))));
  for (GList* b = buttons; b; b = b->next)
    if (GTK_IS_BUTTON(b->data)) q->buttons.push_back(gtk_button_get_label(GTK_BUTTON(b->data)));
  g_list_free(buttons);
  Screenshot(widget, "gtk-navigation-savechanges.png");
  gtk_dialog_response(GTK_DIALOG(widget), kNavUserActionDontSaveChanges);
  return G_SOURCE_REMOVE;
}

TEST_F(GtkNavigationTest, TheSaveChangesQuestionIsAMessageDialog) {
  Heard h;
  Question q;
  options_.saveFileName = CFStringMakeConstantUTF8("index.php");
  ASSERT_EQ(noErr, NavCreateAskSaveChangesDialog(&options_, kNavSaveChangesClosingDocument, Proc, &h, &q.dialog));
  g_timeout_add(20, AnswerQuestion, &q);
  ASSERT_EQ(noErr, NavDialogRun(q.dialog));
  EXPECT_EQ((std::vector<NavUserAction>{kNavUserActionDontSaveChanges}), h.actions);
  EXPECT_EQ("Do you want to save the changes you made in the document \u201Cindex.php\u201D?", q.text);
  EXPECT_EQ((std::vector<std::string>{"Don't Save", "Cancel", "Save"}), q.buttons);
  EXPECT_TRUE(h.terminated);
}

}  // namespace
