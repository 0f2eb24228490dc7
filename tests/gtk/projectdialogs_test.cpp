// The project's sheets on a real (virtual) display: the new-file sheet over
// a window, its template menu filled from the project's and the
// application's templates, and the bookmark editor. Screenshots go to
// build/new-file-sheet.png and build/bookmark-editor.png.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "GtkTestEvents.h"
#include "Host.h"
#include "ProjectRecords.h"
#include "TProjectDialogsUnit.h"
#include "gtk/GtkHost.h"
#include "plinthora/Plinthora.h"

namespace {

namespace fs = std::filesystem;

FSRef Ref(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

void ExpectScreenshot(WindowRef window, const char* name) {
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name;
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  EXPECT_GT(cairo_image_surface_get_width(png), 300);
  cairo_surface_destroy(png);
}

TEST(GtkProjectDialogsTest, TheNewFileSheetAndTheBookmarkEditorShowOverTheProjectWindow) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  HICustomButtonLoadImages();  // as start-up does
  char templ[] = "/tmp/qvdialogsXXXXXX";
  const fs::path folder = g_mkdtemp(templ);
  fs::create_directories(folder / "Site.qvproj/Contents/Resources/Data");
  fs::create_directories(folder / "Sources");
  fs::create_directories(folder / "Templates");
  std::ofstream(folder / "Templates/Header.php") << "<?php";

  Rect bounds{80, 80, 560, 740};
  WindowRef parent = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass,
                                   kWindowStandardHandlerAttribute | kWindowCompositingAttribute, &bounds, &parent));
  ShowWindow(parent);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(parent)); }));

  TNewFileWindow* sheet = OpenNewFileWindow(Ref(folder / "Site.qvproj"), nullptr, parent);
  ASSERT_NE(nullptr, sheet);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(sheet->window)); }));
  ControlRef popup = HIViewFind(128, 'TEMP', sheet->window);
  const MenuItemIndex chosen = FindMenuItem("Header.php", false, HIViewGetMenu(popup));
  ASSERT_GT(chosen, 0);
  SetControl32BitValue(popup, chosen);
  Pump();
  ExpectScreenshot(sheet->window, "new-file-sheet.png");
  sheet->Remove();
  Pump();

  ProjectBookmarkData data;
  data.name = "Manual";
  data.url = "http://www.example.com/manual/";
  data.openInside = true;
  UInt8 bytes[kProjectBookmarkDataSize];
  EncodeProjectBookmarkData(data, bytes);
  TBookmarkEditor* editor = OpenBookmarkEditor(bytes, parent);
  ASSERT_NE(nullptr, editor);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(editor->window)); }));
  Pump();
  ExpectScreenshot(editor->window, "bookmark-editor.png");
  editor->Remove();
  Pump();
  ReleaseWindow(parent);
  fs::remove_all(folder);
}

}  // namespace
