// The PHP error pane on a real (virtual) display, under the source text as
// the editor pane shows it after a debug run: its toolbar (the error count
// and the log windows' buttons), its rows with their icons, and the stack
// trace window of the chosen error. The screenshots go to
// build/error-pane.png and build/error-log-window.png for a person to look
// at.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <fstream>
#include <string>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "GtkTestEvents.h"
#include "HIView.h"
#include "Host.h"
#include "IBCarbonRuntime.h"
#include "InterpreterDrivers.h"
#include "MacWindows.h"
#include "TPaneUnit.h"
#include "TSplitViewUnit.h"
#include "TWASTEPaneUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"
#include "gtk/GtkHost.h"
#include "plinthora/Plinthora.h"

namespace {

std::string Output(const std::string& name) { return std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name; }

HIViewRef Find(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &view);
  return view;
}

const char kSource[] =
    "<?php\r"
    "// The shop's basket: totals by product.\r"
    "function line_total(array $line)\r"
    "{\r"
    "    return $line['price'] * $line['count'];\r"
    "}\r"
    "\r"
    "$total = 0;\r"
    "foreach ($basket as $line) {\r"
    "    $total += line_total($line);\r"
    "}\r"
    "printf(\"%.2f\\n\", $totl);\r";

const char kLog[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<php_errors>
<debugtrace type="Warning" message="Undefined variable $basket" file="/srv/shop/basket.php" line="9">
<stacktrace><entry function="{main}" file="/srv/shop/basket.php" line="9"/></stacktrace>
<localstack><element name="total" value="0"/></localstack>
</debugtrace>
<debugtrace type="Warning" message="foreach() argument must be of type array|object, null given" file="/srv/shop/basket.php" line="9"/>
<debugtrace type="Notice" message="Undefined variable $totl" file="/srv/shop/basket.php" line="12"/>
<debugtrace type="User Error" message="The basket is empty" file="/srv/shop/lib/checks.php" line="21">
<stacktrace>
<entry function="require_basket" file="/srv/shop/lib/checks.php" line="21"><element name="arg0" value="NULL"/></entry>
<entry function="{main}" file="/srv/shop/basket.php" line="3"/>
</stacktrace>
</debugtrace>
<debugtrace type="Fatal Error" message="Call to undefined function pay()" file="/srv/shop/basket.php" line="13"/>
</php_errors>
)xml";

WindowRef ShowAndWait(TWindow* window) {
  window->Show();
  GtkWidget* top = GtkHostWindowWidget(window->window);
  EXPECT_TRUE(PumpUntil([&] { return top && gtk_widget_get_mapped(top); }));
  Pump();
  return window->window;
}

// Whether the shot holds more than one colour.
bool Varied(const std::string& file) {
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  const int width = cairo_image_surface_get_width(png), height = cairo_image_surface_get_height(png);
  const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(png));
  const int stride = cairo_image_surface_get_stride(png) / 4;
  bool varied = false;
  for (int y = 0; y < height && !varied; y += 5)
    for (int x = 0; x < width; x += 5)
      if (data[y * stride + x] != data[0]) varied = true;
  cairo_surface_destroy(png);
  return varied;
}

TEST(ErrorPaneScreenTest, ThePHPErrorPaneUnderTheSourceWithItsLogWindow) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  RegisterWasteClass();
  RegisterSplitViewClass();
  RegisterToolbarViewClass();
  RegisterTabViewClass();
  HICustomButtonLoadImages();
  IBNibRef main = nullptr;
  ASSERT_EQ(noErr, CreateNibReference(CFSTR("main"), &main));
  ApplicationNib = main;

  auto* window = new TWindow();
  window->Create("EditorWindow", main);
  ASSERT_NE(window->window, nullptr);
  SetWindowTitleWithCFString(window->window, CFSTR("basket.php"));
  auto* editorPane = new TPane();
  editorPane->Create("Editor Pane", main);
  editorPane->Attach(window->window);
  auto* split = new TSplitView();
  split->Create(Find(editorPane->paneView, 'SPLT', 128));
  auto* source = new TWASTEPane();
  source->Create("Source Pane (Alt 1)", main);
  ASSERT_NE(source->view, nullptr);
  source->view->SetStyle("Monospace", 12);
  source->view->ChangeOptions(WasteOption(kWasteViewDrawLineNumbers) | WasteOption(kWasteViewDrawGutter), false);
  CFStringRef text = CFStringCreateWithCString(nullptr, kSource, kCFStringEncodingUTF8);
  source->view->SetText(text);
  CFRelease(text);
  split->SetPane(2, source);

  auto* pane = static_cast<TPHPPane*>(CreatePHPPane());
  ASSERT_NE(pane->paneView, nullptr);
  ASSERT_NE(pane->browser, nullptr);
  pane->text = source->view->controller;
  pane->script->path = "/srv/shop/basket.php";
  const std::string logFile = Output("error-pane-log.xml");
  std::ofstream(logFile) << kLog;
  FSRef ref{};
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(logFile.c_str()), &ref, nullptr));
  pane->SetLog(ReadPHPErrorLog(ref));
  split->SetPane(1, pane);
  split->SetKind("metal");
  split->SetLimit(CFRangeMake(-1, 0));
  split->SetPosition(132);
  split->SetVisible(0);
  WindowRef w = ShowAndWait(window);
  PumpUntil([&] { return split->GetPosition() == 132; });
  // The first error is chosen: its line is selected in the source.
  SetDataBrowserSelectedItems(pane->browser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
  pane->browser->SelectRow(0);
  Pump();

  EXPECT_EQ(ToolbarGetItemText(pane->toolbar, 1), Str255("5 "));
  EXPECT_EQ(ToolbarGetItemText(pane->toolbar, 2), Str255("Stack Trace"));
  HIRect list{};
  HIViewGetFrame(Find(pane->paneView, 'ERRO', 128), &list);
  EXPECT_EQ(960, list.size.width);
  EXPECT_GT(list.size.height, 60);
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(w, Output("error-pane.png")));
  EXPECT_TRUE(Varied(Output("error-pane.png")));

  // The stack trace window of the chosen error, fitted to its rows.
  TPHPErrorLogWindow* stack = pane->logWindows[0];
  ShowAndWait(stack);
  Rect bounds{};
  GetWindowBounds(stack->window, kWindowStructureRgn, &bounds);
  EXPECT_EQ(144, bounds.bottom - bounds.top);
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(stack->window, Output("error-log-window.png")));
  EXPECT_TRUE(Varied(Output("error-log-window.png")));
  stack->Hide();
  DisposeWindow(w);
  Pump();
}

}  // namespace
