// The interface files on a real (virtual) display, put together as the
// program does: the editor window with its editor pane (the source pane below
// a find strip), the integrated window with its side pane and tabs, and the
// find window. The screenshots go to build/interface-*.png for a person to
// look at; the checks pin what a glance at them should find.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <string>

#include "CFBundle.h"
#include "CFString.h"
#include "GtkTestEvents.h"
#include "HIView.h"
#include "Host.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Menus.h"
#include "THIQueryViewUnit.h"
#include "THIViewUnit.h"
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

IBNibRef Nib(CFStringRef name) {
  IBNibRef nib = nullptr;
  EXPECT_EQ(noErr, CreateNibReference(name, &nib));
  return nib;
}

HIViewRef Find(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &view);
  return view;
}

const char kSample[] =
    "<?php\r"
    "// The shop's front page: the latest products, newest first.\r"
    "require_once 'lib/catalogue.php';\r"
    "\r"
    "function latest_products(PDO $db, int $count = 10): array\r"
    "{\r"
    "    $query = $db->prepare('SELECT id, name, price FROM products ORDER BY added DESC LIMIT ?');\r"
    "    $query->execute([$count]);\r"
    "    return $query->fetchAll(PDO::FETCH_ASSOC);\r"
    "}\r"
    "\r"
    "foreach (latest_products(catalogue_connect()) as $product) {\r"
    "    printf(\"<li>%s <em>%.2f</em></li>\\n\", htmlspecialchars($product['name']), $product['price']);\r"
    "}\r";

// The source pane as the editor builds it: its toolbar's menus, the text.
TWASTEPane* SourcePane(IBNibRef nib) {
  auto* pane = new TWASTEPane();
  pane->Create("Source Pane (Alt 1)", nib);
  EXPECT_NE(pane->view, nullptr);
  if (pane->view == nullptr) return pane;
  pane->view->SetStyle("Monospace", 12);
  pane->view->ChangeOptions(WasteOption(kWasteViewDrawLineNumbers) | WasteOption(kWasteViewDrawGutter), false);
  CFStringRef text = CFStringCreateWithCString(nullptr, kSample, kCFStringEncodingUTF8);
  pane->view->SetText(text);
  CFRelease(text);
  if (HIViewRef toolbar = Find(pane->paneView, 'TOOL', 128)) {
    ToolbarAddButton(toolbar, "", nullptr, 7, nullptr, 0, 0, nullptr);
    ToolbarAddButton(toolbar, "< functions >", nullptr, 7, nullptr, 0, 0, nullptr);
    ToolbarAddButton(toolbar, "Macros", nullptr, 7, nullptr, 0, ToolbarOption(kToolbarItemAnchoredRight), nullptr);
    ToolbarAddButton(toolbar, "Mode", nullptr, 7, nullptr, 0, ToolbarOption(kToolbarItemAnchoredRight), nullptr);
  }
  if (HIViewRef scope = Find(pane->paneView, 'SCOP', 128))
    HIViewSetText(scope, CFStringMakeConstantUTF8("php \xE2\x80\x94 latest_products"));
  if (HIViewRef placard = Find(pane->paneView, 'PLAC', 128)) HICustomButtonCreate(3, placard);
  return pane;
}

// The find strip as the editor pane opens it.
TPane* FindStrip(IBNibRef find) {
  auto* pane = new TPane();
  pane->Create("Find Pane (Split)", find);
  for (auto [signature, id] : {std::pair{'PLAC', 128}, {'FIND', 129}, {'REPL', 129}, {'REPA', 129}})
    if (HIViewRef v = Find(pane->paneView, signature, id)) HICustomButtonCreate(2, v);
  if (HIViewRef field = Find(pane->paneView, 'FIND', 128)) HIViewSetText(field, CFSTR("latest_products"));
  if (HIViewRef wrap = Find(pane->paneView, 'OPTI', 130)) SetControl32BitValue(wrap, 1);
  return pane;
}

WindowRef ShowAndWait(TWindow* window) {
  window->Show();
  GtkWidget* top = GtkHostWindowWidget(window->window);
  EXPECT_TRUE(PumpUntil([&] { return top && gtk_widget_get_mapped(top); }));
  Pump();
  return window->window;
}

// The shot's width and height, and whether it holds more than one colour.
struct Shot {
  int width = 0, height = 0;
  bool varied = false;
};

Shot Screenshot(WindowRef window, const std::string& name) {
  Shot shot;
  EXPECT_EQ(noErr, GtkHostWriteScreenshot(window, Output(name)));
  cairo_surface_t* png = cairo_image_surface_create_from_png(Output(name).c_str());
  EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  shot.width = cairo_image_surface_get_width(png);
  shot.height = cairo_image_surface_get_height(png);
  const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(png));
  const int stride = cairo_image_surface_get_stride(png) / 4;
  for (int y = 0; y < shot.height && !shot.varied; y += 7)
    for (int x = 0; x < shot.width; x += 7)
      if (data[y * stride + x] != data[0]) shot.varied = true;
  cairo_surface_destroy(png);
  return shot;
}

class InterfaceScreenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
    RegisterWasteClass();
    RegisterSplitViewClass();
    RegisterToolbarViewClass();
    RegisterTabViewClass();
    HICustomButtonLoadImages();
    THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct);
    main_ = Nib(CFSTR("main"));
    find_ = Nib(CFSTR("Find"));
    ASSERT_EQ(noErr, SetMenuBarFromNib(main_, CFSTR("MenuBar")));
  }
  static inline IBNibRef main_ = nullptr;
  static inline IBNibRef find_ = nullptr;
};

TEST_F(InterfaceScreenTest, TheEditorWindowWithItsEditorPaneAndFindStrip) {
  auto* window = new TWindow();
  window->Create("EditorWindow", main_);
  ASSERT_NE(window->window, nullptr);
  SetWindowTitleWithCFString(window->window, CFSTR("index.php"));
  auto* editorPane = new TPane();
  editorPane->Create("Editor Pane", main_);
  editorPane->Attach(window->window);
  auto* split = new TSplitView();
  split->Create(Find(editorPane->paneView, 'SPLT', 128));
  split->SetPane(2, SourcePane(main_));
  split->SetPane(1, FindStrip(find_));
  split->SetKind("external");
  split->SetLimit(CFRangeMake(-1, 0));
  split->SetPosition(92);
  split->SetVisible(0);
  WindowRef w = ShowAndWait(window);
  // A splitter animates into place: wait for it.
  PumpUntil([&] { return split->GetPosition() == 92; });
  Pump();

  // The window's size is the file's, and every part found its place in it.
  Rect content{};
  GetWindowBounds(w, kWindowContentRgn, &content);
  EXPECT_EQ(960, content.right - content.left);
  EXPECT_EQ(680, content.bottom - content.top);
  HIRect text{}, strip{}, status{};
  HIViewGetFrame(Find(HIViewGetRoot(w), 'WAST', 128), &text);
  HIViewGetFrame(Find(HIViewGetRoot(w), 'PLAC', 128), &strip);  // the find strip's, first in the window
  HIViewGetFrame(Find(HIViewGetRoot(w), 'SCOP', 128), &status);
  EXPECT_EQ(960, strip.size.width);
  EXPECT_GT(text.size.height, 300);
  EXPECT_GT(text.size.width, 900);
  const Shot shot = Screenshot(w, "interface-editor-window.png");
  EXPECT_TRUE(shot.varied);

  // It resizes as a whole: the text takes the new room.
  SizeWindow(w, 760, 480, true);
  Pump();
  HIRect smaller{};
  HIViewGetFrame(Find(HIViewGetRoot(w), 'WAST', 128), &smaller);
  EXPECT_EQ(text.size.width - 200, smaller.size.width);
  EXPECT_EQ(text.size.height - 200, smaller.size.height);
  Screenshot(w, "interface-editor-window-small.png");
  DisposeWindow(w);
  Pump();
}

TEST_F(InterfaceScreenTest, TheEditorPaneWithTheConsolePane) {
  auto* window = new TWindow();
  window->Create("EditorWindow", main_);
  ASSERT_NE(window->window, nullptr);
  SetWindowTitleWithCFString(window->window, CFSTR("index.php"));
  auto* editorPane = new TPane();
  editorPane->Create("Editor Pane", main_);
  editorPane->Attach(window->window);
  auto* split = new TSplitView();
  split->Create(Find(editorPane->paneView, 'SPLT', 128));
  split->SetPane(2, SourcePane(main_));
  auto* console = new TPane();
  console->Create("Console Pane", main_);
  if (HIViewRef toolbar = Find(console->paneView, 'TOOL', 128))
    ToolbarAddButton(toolbar, "/usr/bin/php", nullptr, 7, nullptr, 0, 0, nullptr);
  split->SetPane(1, console);
  split->SetKind("metal");
  split->SetLimit(CFRangeMake(-1, 0));
  split->SetPosition(132);
  split->SetVisible(0);
  WindowRef w = ShowAndWait(window);
  PumpUntil([&] { return split->GetPosition() == 132; });
  Pump();
  HIRect output{};
  HIViewGetFrame(Find(HIViewGetRoot(w), 'OUTP', 128), &output);
  EXPECT_EQ(960, output.size.width);
  EXPECT_EQ(100, output.size.height);
  EXPECT_TRUE(Screenshot(w, "interface-editor-console.png").varied);
  DisposeWindow(w);
  Pump();
}

TEST_F(InterfaceScreenTest, TheIntegratedWindowWithItsSidePaneAndTabs) {
  auto* window = new TWindow();
  window->Create("EditorWindow (Integrated Project)", main_);
  ASSERT_NE(window->window, nullptr);
  SetWindowTitleWithCFString(window->window, CFSTR("shop"));
  auto* side = new TPane();
  side->Create("Side Pane", main_);
  auto* sideSplit = new TSplitView();
  sideSplit->Create(Find(side->paneView, 'SPLT', 128));
  sideSplit->SetPaneWithHIView(2, Find(side->paneView, 'PANE', 129));
  if (HIViewRef toolbar = Find(side->paneView, 'TOOL', 128))
    ToolbarAddButton(toolbar, "Project", nullptr, 7, nullptr, 0, 0, nullptr);
  auto* tabs = new TPane();
  tabs->Create("Tabbed Pane", main_);
  auto* mainSplit = new TSplitView();
  mainSplit->Create(Find(HIViewGetRoot(window->window), 'SPLT', 128));
  mainSplit->SetPane(3, side);
  mainSplit->SetPane(4, tabs);
  WindowRef w = ShowAndWait(window);
  HIRect sideFrame{}, tabsFrame{};
  HIViewGetFrame(side->paneView, &sideFrame);
  HIViewGetFrame(tabs->paneView, &tabsFrame);
  EXPECT_EQ(250, sideFrame.size.width);
  EXPECT_GT(tabsFrame.origin.x, sideFrame.size.width - 1);
  EXPECT_GT(tabsFrame.size.width, 800);
  EXPECT_TRUE(Screenshot(w, "interface-integrated-window.png").varied);
  DisposeWindow(w);
  Pump();
}

TEST_F(InterfaceScreenTest, TheFindWindowWithItsFullPane) {
  auto* window = new TWindow();
  window->Create("Find Window", find_);
  ASSERT_NE(window->window, nullptr);
  auto* pane = new TPane();
  pane->Create("Find Pane (Full)", find_);
  pane->Attach(window->window);
  if (HIViewRef field = Find(pane->paneView, 'FIND', 128)) HIViewSetText(field, CFSTR("catalogue_connect"));
  if (HIViewRef field = Find(pane->paneView, 'REPL', 128)) HIViewSetText(field, CFSTR("shop_connect"));
  if (HIViewRef ignore = Find(pane->paneView, 'OPTI', 129)) SetControl32BitValue(ignore, 1);
  WindowRef w = ShowAndWait(window);
  // The buttons keep to the right edge when the window widens.
  HIRect before{}, after{};
  HIViewGetFrame(Find(pane->paneView, 'FIND', 129), &before);
  const Shot shot = Screenshot(w, "interface-find-window.png");
  EXPECT_EQ(620, shot.width);
  EXPECT_TRUE(shot.varied);
  SizeWindow(w, 820, 140, true);
  Pump();
  HIViewGetFrame(Find(pane->paneView, 'FIND', 129), &after);
  EXPECT_EQ(before.origin.x + 200, after.origin.x);
  Screenshot(w, "interface-find-window-wide.png");
  DisposeWindow(w);
  Pump();
}

TEST_F(InterfaceScreenTest, TheBatchFindWindowListsResultsUnderItsFields) {
  auto* window = new TWindow();
  window->Create("Batch Find Window", find_);
  ASSERT_NE(window->window, nullptr);
  auto* pane = new TPane();
  pane->Create("Find Pane (Batch)", find_);
  pane->Attach(window->window);
  if (HIViewRef field = Find(pane->paneView, 'FIND', 128)) HIViewSetText(field, CFSTR("catalogue_connect"));
  if (HIViewRef status = Find(pane->paneView, 'STAT', 128)) HIViewSetText(status, CFSTR("Found 3 matches in 2 files."));
  WindowRef w = ShowAndWait(window);
  // The replace field is read with the options but never offered.
  EXPECT_FALSE(HIViewIsVisible(Find(pane->paneView, 'REPL', 128)));
  EXPECT_FALSE(HIViewIsVisible(Find(pane->paneView, 'PROG', 128)));
  EXPECT_TRUE(Screenshot(w, "interface-batch-find.png").varied);
  DisposeWindow(w);
  Pump();
}

TEST_F(InterfaceScreenTest, TheAboutWindowSaysWhatTheProgramIs) {
  auto* window = new TWindow();
  window->Create("About", main_);
  ASSERT_NE(window->window, nullptr);
  WindowRef w = ShowAndWait(window);
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(w, &title);
  EXPECT_TRUE(title && CFEqual(title, CFSTR("About Quorvel")));
  if (title) CFRelease(title);
  EXPECT_TRUE(Screenshot(w, "interface-about.png").varied);
  DisposeWindow(w);
  Pump();
}

}  // namespace
