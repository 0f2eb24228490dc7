// The completion list on a real display: a prefix typed into a source
// editor's window through GTK key events brings up a GTK pop-up under the
// word, which never takes the keyboard from the editor; the keys that reach
// it and a click in the editor window. The screen is written to
// build/completion.png for a person to look at.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <cairo.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "CFBundle.h"
#include "CFURL.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "IBCarbonRuntime.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TCodeCompletionUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "gtk/GtkHost.h"
#include "plinthora/Plinthora.h"

namespace {

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'TEXT', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

FSRef RefOf(const std::string& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

IBNibRef EditorNib() {
  const std::string folder = QUORVEL_TEST_SOURCE_DIR "/language/fixtures";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("Editor"), &nib), noErr);
  return nib;
}

// The part of the screen around the editor window, as the X server shows it.
void WriteScreen(WindowRef editorWindow, const std::string& path) {
  Rect structure{};
  GetWindowBounds(editorWindow, kWindowStructureRgn, &structure);
  GdkWindow* root = gdk_get_default_root_window();
  const int x = std::max(0, structure.left - 10), y = std::max(0, structure.top - 40);
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, x, y, structure.right - structure.left + 20,
                                               structure.bottom - structure.top + 80);
  ASSERT_NE(shot, nullptr);
  ASSERT_TRUE(gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr));
  g_object_unref(shot);
}

TEST(CompletionWindow, APrefixTypedInAnEditorShowsAPopupUnderTheWord) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  RegisterWasteClass();
  RegisterToolbarViewClass();

  const char* tmp = std::getenv("TMPDIR");
  std::string scratch = std::string(tmp ? tmp : "/tmp") + "/completion-XXXXXX";
  ASSERT_NE(mkdtemp(scratch.data()), nullptr);
  mkdir((scratch + "/index").c_str(), 0700);
  std::ofstream(scratch + "/shop.php") << "<?php\n"
                                          "function total_price($items) { return 0; }\n"
                                          "function to_cents($amount) { return 0; }\n"
                                          "global $total;\n"
                                          "\n"
                                          "?>\n";
  TSyntaxCollection* languages = CreateSyntaxCollection(nullptr);
  for (const char* language : {"html", "php", "javascript", "css"}) languages->LoadLibrary(language);
  TFileSystem* index = CreateFileSystem(RefOf(scratch + "/index"), languages, nullptr);
  index->SetRoot(RefOf(scratch));
  auto* document = new TWASTEDocument();
  document->Create(RefOf(scratch + "/shop.php"));
  auto* editor = new TQVEditor();
  editor->SetDocument(document);
  editor->SetFileSystem(index);
  editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
  editor->Create("Source Pane", EditorNib());
  ASSERT_NE(editor->view, nullptr);
  TCodeCompletionWindow* list = editor->completion;
  ASSERT_NE(list, nullptr);
  WEReference we = editor->GetWE();
  editor->Load();
  ASSERT_TRUE(PumpUntil([&] { return !editor->parser->busy; }));
  editor->SetSyntaxMode("default", false);

  WindowRef window = editor->GetWindow();
  MoveWindow(window, 120, 100, false);
  ShowWindow(window);
  SelectWindow(window);
  GtkWidget* top = GtkHostWindowWidget(window);
  GtkWidget* area = GtkHostContentWidget(window);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(area) && gtk_widget_get_allocated_height(area) > 1; }));
  const std::string text = TextOf(we);
  const SInt32 at = SInt32(text.find("\r?>"));
  WESetSelection(at, at, we);
  ASSERT_EQ(SetKeyboardFocus(window, editor->view->control, kControlEditTextPart), noErr);
  Pump();

  // Typed through GTK: the list comes up after the word-tracking pause.
  TypeText(top, "tot");
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(list->window); }));
  GtkWidget* popup = GtkHostWindowWidget(list->window);
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(popup); }));
  Pump();
  EXPECT_EQ(gtk_window_get_window_type(GTK_WINDOW(popup)), GTK_WINDOW_POPUP);
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(popup)), GTK_WINDOW(top));
  EXPECT_FALSE(gtk_window_has_toplevel_focus(GTK_WINDOW(popup)));
  EXPECT_NEAR(gtk_widget_get_opacity(popup), 0.89, 0.01);  // GTK keeps 8 bits
  EXPECT_EQ(ActiveNonFloatingWindow(), window);
  EXPECT_EQ(GetUserFocusWindow(), window);
  ASSERT_EQ(list->browser->CountRows(), 2u);
  EXPECT_EQ(list->browser->GetRowText(0).str(), "total");

  // Under the word: the pop-up's top-left on the screen is the word's start,
  // one line down.
  LongPt point{};
  SInt16 lineHeight = 0;
  WEGetPoint(at, 1, &point, &lineHeight, we);
  gint areaX = 0, areaY = 0, popupX = 0, popupY = 0;
  gdk_window_get_origin(gtk_widget_get_window(area), &areaX, &areaY);
  gdk_window_get_origin(gtk_widget_get_window(popup), &popupX, &popupY);
  EXPECT_EQ(popupX, areaX + point.h);
  EXPECT_EQ(popupY, areaY + point.v + lineHeight);

  // Down goes to the list, not to the text.
  const std::string typed = TextOf(we);
  PutKey(top, GDK_KEY_Down);
  EXPECT_EQ(list->browser->GetSelectedRow(), 1);
  EXPECT_EQ(TextOf(we), typed);
  Pump();
  WriteScreen(window, std::string(QUORVEL_TEST_OUTPUT_DIR) + "/completion.png");

  // Return puts the entry in place of the word.
  PutKey(top, GDK_KEY_Return);
  EXPECT_FALSE(IsWindowVisible(list->window));
  EXPECT_NE(TextOf(we).find("total_price\r?>"), std::string::npos);
  ASSERT_TRUE(PumpUntil([&] { return !gtk_widget_get_visible(popup); }));

  // A double click on an entry puts it in place of the word; the editor
  // keeps the activation throughout.
  TypeText(top, " to");
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(list->window); }));
  ASSERT_EQ(list->browser->GetRowText(1).str(), "total");
  GtkWidget* listArea = GtkHostContentWidget(list->window);
  Click(listArea, 20, 16 + 8);
  EXPECT_TRUE(IsWindowVisible(list->window)) << "a click in the list keeps it";
  EXPECT_EQ(list->browser->GetSelectedRow(), 1);
  Click(listArea, 20, 16 + 8);
  EXPECT_FALSE(IsWindowVisible(list->window));
  EXPECT_NE(TextOf(we).find("total_price total\r?>"), std::string::npos);
  EXPECT_EQ(ActiveNonFloatingWindow(), window);
  EXPECT_EQ(GetUserFocusWindow(), window);

  // A click in the editor window hides the list; the text keeps the focus.
  TypeText(top, " to");
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(list->window); }));
  Click(area, 300, 300);
  EXPECT_FALSE(IsWindowVisible(list->window));
  EXPECT_EQ(GetUserFocusWindow(), window);

  editor->ReleaseViewObject();
  document->Release();
  index->Release();
  std::system(("rm -rf '" + scratch + "'").c_str());
}

}  // namespace
