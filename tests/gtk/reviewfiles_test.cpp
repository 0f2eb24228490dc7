// The review sheet on a real (virtual) display: a window closed with two
// modified documents shows the sheet over it, listing both with their
// icons, names and folders; its screenshot goes to build/review-files.png.
// Don't Save then takes the sheet and the window down.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <fstream>
#include <string>

#include "CFBundle.h"
#include "CFURL.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TReviewFilesWindowUnit.h"
#include "TWindowUnit.h"
#include "gtk/GtkHost.h"

namespace {

IBNibRef FrameworkNib() {
  const std::string folder = std::string(QUORVEL_TEST_SOURCE_DIR) + "/framework/fixtures";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  EXPECT_EQ(noErr, CreateNibReferenceWithCFBundle(bundle, CFStringMakeConstantUTF8("Framework"), &nib));
  return nib;
}

TReviewFilesWindow* ShownSheet() {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) {
    WindowClass windowClass = 0;
    GetWindowClass(w, &windowClass);
    if (windowClass == kSheetWindowClass && IsWindowVisible(w))
      return dynamic_cast<TReviewFilesWindow*>(GetWindowObject(w));
  }
  return nullptr;
}

TEST(GtkReviewFilesTest, TheReviewSheetListsTheModifiedDocuments) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  char templ[] = "/tmp/qvreviewXXXXXX";
  const std::string dir = g_mkdtemp(templ);
  auto* owner = new TWindow();
  owner->Create("Document", FrameworkNib());
  ASSERT_NE(nullptr, owner->window);
  for (const char* name : {"index.php", "style.css"}) {
    std::ofstream(dir + "/" + name) << "text";
    auto* document = new TDocument();
    FSRef ref{};
    ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>((dir + "/" + name).c_str()), &ref, nullptr));
    document->Create(ref);
    document->name = name;
    owner->AppendDocument(document);
    document->modified = true;
  }
  SetWindowModified(owner->window, true);
  owner->Show();
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(owner->window)); }));
  WindowRef ownerWindow = owner->window;
  TReviewFilesWindowUnit::OpenReviewFilesDialog(owner, kReviewActionCloseEvent, owner->documents->GetDirtyDocuments(),
                                                nullptr, nullptr);
  TReviewFilesWindow* sheet = ShownSheet();
  ASSERT_NE(nullptr, sheet);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GtkHostWindowWidget(sheet->window)); }));
  const DataBrowserItemID first = 10001;
  SetDataBrowserSelectedItems(sheet->browser->VIEW, 1, &first, kDataBrowserItemsAssign);
  Pump();
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/review-files.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(sheet->window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  EXPECT_GT(cairo_image_surface_get_width(png), 400);
  cairo_surface_destroy(png);

  HICommand command{};
  command.commandID = kHICommandReviewDontSave;
  SInt32 result = eventNotHandledErr;
  sheet->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(noErr, result);
  Pump();
  EXPECT_EQ(nullptr, ShownSheet());
  EXPECT_EQ(nullptr, GetWindowObject(ownerWindow));
  ASSERT_EQ(0, system(("rm -rf '" + dir + "'").c_str()));
}

}  // namespace
