// A real project on a display, the program started in this process: a
// project folder (the bundle and a few PHP sources) opens in a project
// window showing its groups; its files are added, a compile fills the
// project's symbol index and the symbols mode lists its functions and
// classes. Closed and opened again as an integrated editor window, the
// project brings back its groups and per-file settings, shows the project
// beside the tabs and, once a symbol's file is opened from the symbols
// mode or a file is double-clicked in the project's tree, that file's
// symbols below. The windows are photographed to
// build/project-window.png (its groups), build/project-window-symbols.png
// and build/project-integrated-window.png.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "DataBrowser.h"
#include "GtkTestEvents.h"
#include "MacMemory.h"
#include "Host.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TFileSystemUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TProjectWindowUnit.h"
#include "TSidePaneUnit.h"
#include "TSymbolPaneUnit.h"
#include "brackenrow/Brackenrow.h"
#include "gtk/GtkHost.h"

namespace {

namespace fs = std::filesystem;

std::string Output(const std::string& name) { return std::string(QUORVEL_TEST_OUTPUT_DIR) + "/" + name; }

FSRef RefOf(const fs::path& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

const char kCart[] =
    "<?php\n"
    "// The shop's basket.\n"
    "class Cart\n"
    "{\n"
    "    private $lines = array();\n"
    "\n"
    "    function add($product, $count)\n"
    "    {\n"
    "        $this->lines[] = array('product' => $product, 'count' => $count);\n"
    "    }\n"
    "\n"
    "    function total()\n"
    "    {\n"
    "        $sum = 0;\n"
    "        foreach ($this->lines as $line) {\n"
    "            $sum += price_of($line['product']) * $line['count'];\n"
    "        }\n"
    "        return $sum;\n"
    "    }\n"
    "}\n"
    "?>\n";

const char kPrices[] =
    "<?php\n"
    "function price_of($product)\n"
    "{\n"
    "    $prices = array('tea' => 3.5, 'cake' => 2.25);\n"
    "    return isset($prices[$product]) ? $prices[$product] : 0;\n"
    "}\n"
    "\n"
    "function format_price($amount)\n"
    "{\n"
    "    return sprintf('%.2f EUR', $amount);\n"
    "}\n"
    "?>\n";

const char kIndex[] =
    "<?php\n"
    "require 'cart.php';\n"
    "require 'prices.php';\n"
    "$cart = new Cart();\n"
    "$cart->add('tea', 2);\n"
    "echo format_price($cart->total());\n"
    "?>\n";

// The rows of a symbol list, in row order: item and symbol name.
struct SymbolRow {
  DataBrowserItemID item;
  std::string name;
};
std::vector<SymbolRow> SymbolItems(TBrowser* browser) {
  std::vector<SymbolRow> rows;
  if (browser == nullptr || browser->VIEW == nullptr) return rows;
  Handle items = NewHandle(0);
  if (GetDataBrowserItems(browser->VIEW, kDataBrowserNoItem, true, kDataBrowserItemAnyState, items) == noErr) {
    const auto* ids = reinterpret_cast<const UInt32*>(*items);
    for (size_t i = 0; i < size_t(GetHandleSize(items)) / sizeof(UInt32); ++i)
      if (NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(ids[i]), browser->VIEW); node != nullptr && node->DATA)
        rows.push_back({ids[i], static_cast<SymbolInfoPtr>(node->DATA)->symbolName.str()});
  }
  DisposeHandle(items);
  return rows;
}
std::vector<std::string> SymbolRows(TBrowser* browser) {
  std::vector<std::string> names;
  for (const SymbolRow& row : SymbolItems(browser)) names.push_back(row.name);
  return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void Command(TWindow* window, UInt32 command) { SendHICommand(GetWindowEventTarget(window->window), command); }

void Shoot(TWindow* window, const std::string& name) {
  GtkWidget* top = GtkHostWindowWidget(window->window);
  ASSERT_TRUE(PumpUntil([&] { return top != nullptr && gtk_widget_get_mapped(top); }));
  // New tabs fold their empty lower pane away in a short animation.
  for (int i = 0; i < 30; ++i) Pump();
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window->window, Output(name)));
}

TEST(ProjectWindowScreenTest, AProjectOpensCompilesListsItsSymbolsAndReopensIntegrated) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  StartApplication();
  ASSERT_NE(MyApplication, nullptr);
  ASSERT_NE(AppPrefs, nullptr);
  AppPrefs->SetBooleanValue("GeneralEditorFeaturesProject", false);
  AppPrefs->SetBooleanValue("GeneralImportCopyFiles", false);
  AppPrefs->SetBooleanValue("GeneralImportAddPath", false);

  const fs::path folder = fs::path(getenv("TMPDIR")) / "Shop";
  fs::remove_all(folder);
  const fs::path bundle = folder / "Shop.qvproj";
  fs::create_directories(bundle / "Contents/Resources/Preferences");
  fs::create_directories(bundle / "Contents/Resources/Data");
  Write(folder / "Sources/cart.php", kCart);
  Write(folder / "Sources/prices.php", kPrices);
  Write(folder / "Sources/index.php", kIndex);

  // The bundle opens as a project window through the application's open path.
  SendOpenDocumentCommand(RefOf(bundle), false);
  auto* window = dynamic_cast<TProjectWindow*>(TApplicationGetFrontWindowOfKind(kProjectWindowKind));
  ASSERT_NE(window, nullptr);
  TProject* project = window->project;
  ASSERT_NE(project, nullptr);
  for (const char* name : {"cart.php", "prices.php", "index.php"}) project->AddFile(RefOf(folder / "Sources" / name), false);
  EXPECT_EQ(project->FindGroupByType(kProjectSourceType)->ReturnGroupItems().size(), 3u);

  // Compile from the toolbar's command while the symbols show; the parse
  // runs in timer slices, and the list fills as it ends.
  Command(window, 'Msym');
  ASSERT_EQ(window->ShownPane(), window->symbolPane);
  auto* symbols = dynamic_cast<TSymbolBrowserPane*>(window->symbolPane);
  ASSERT_NE(symbols, nullptr);
  EXPECT_TRUE(SymbolRows(symbols->browser).empty());
  Command(window, 'COMP');
  EXPECT_GT(project->compileCount, 0);
  ASSERT_TRUE(PumpUntil([&] { return project->parser == nullptr; }));
  PumpUntil([&] { return !SymbolRows(symbols->browser).empty(); });
  std::vector<std::string> functions = SymbolRows(symbols->browser);
  EXPECT_TRUE(Has(functions, "price_of") && Has(functions, "format_price")) << ::testing::PrintToString(functions);
  // The filter's "Classes" item lists the class.
  ASSERT_NE(symbols->filterMenu, nullptr);
  MenuItemIndex classes = 0;
  for (MenuItemIndex i = 1; i <= CountMenuItems(symbols->filterMenu); ++i) {
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(symbols->filterMenu, i, &text);
    if (text != nullptr && CFStringCompare(text, CFSTR("Classes"), 0) == kCFCompareEqualTo) classes = i;
    if (text != nullptr) CFRelease(text);
  }
  ASSERT_NE(classes, 0);
  SelectSymbolFilterMenu(symbols->filterMenu, classes, symbols);
  EXPECT_TRUE(Has(SymbolRows(symbols->browser), "Cart")) << ::testing::PrintToString(SymbolRows(symbols->browser));
  SelectSymbolFilterMenu(symbols->filterMenu, 1, symbols);
  Shoot(window, "project-window-symbols.png");
  Command(window, 'Mpro');
  EXPECT_EQ(window->ShownPane(), project);
  Shoot(window, "project-window.png");

  // A per-file setting, kept with the project.
  TPreferenceHandlerDictionary* info = project->CopyFileInfo("cart.php");
  info->SetStringValue("FileInfoRunMode", "Check Syntax");
  info->Synchronize();
  info->Release();
  project->projectPreferences->Synchronize();

  // Closed, and opened again as an integrated editor window.
  Command(window, 'clos');
  ASSERT_TRUE(PumpUntil([] { return TApplicationGetFrontWindowOfKind(kProjectWindowKind) == nullptr; }));
  AppPrefs->SetBooleanValue("GeneralEditorFeaturesProject", true);
  SendOpenDocumentCommand(RefOf(bundle), false);
  auto* editor = dynamic_cast<TEditorWindow*>(FrontEditorWindow());
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->Integrated);
  ASSERT_NE(editor->Project, nullptr);
  ASSERT_NE(editor->SidePane, nullptr);
  project = editor->Project;
  EXPECT_EQ(project->FindGroupByType(kProjectSourceType)->ReturnGroupItems(),
            (std::vector<Str63>{"cart.php", "prices.php", "index.php"}));
  info = project->CopyFileInfo("cart.php");
  EXPECT_EQ(info->GetStringValue("FileInfoRunMode").str(), "Check Syntax");
  info->Release();
  EXPECT_EQ(editor->GetModePane(), project);

  // From the symbols mode, a symbol's row opens its file in a tab; the list
  // below shows that file's symbols.
  Command(editor, 'Msym');
  ASSERT_EQ(editor->GetModePane(), editor->SymbolBrowser);
  auto* browserPane = dynamic_cast<TSymbolBrowserPane*>(editor->SymbolBrowser);
  ASSERT_NE(browserPane, nullptr);
  SelectSymbolFilterMenu(browserPane->filterMenu, classes, browserPane);
  std::vector<SymbolRow> rows = SymbolItems(browserPane->browser);
  auto cart = std::find_if(rows.begin(), rows.end(), [](const SymbolRow& row) { return row.name == "Cart"; });
  ASSERT_NE(cart, rows.end());
  DataBrowserItemID item = cart->item;
  SetDataBrowserSelectedItems(browserPane->browser->VIEW, 1, &item, kDataBrowserItemsAssign);
  ASSERT_TRUE(PumpUntil([&] {
    TEditorPane* active = editor->GetActiveEditor();
    return active != nullptr && active->document != nullptr && active->document->name == Str63("cart.php");
  }));
  auto* list = dynamic_cast<TSymbolPane*>(editor->SidePane->symbolPane);
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Has(SymbolRows(list->browser), "Cart"); }))
      << ::testing::PrintToString(SymbolRows(list->browser));
  Command(editor, 'Mpro');
  EXPECT_EQ(editor->GetModePane(), project);

  // A double-click on a file of the project's tree opens it in a tab beside
  // the side pane, whose symbol list follows it.
  ControlRef tree = project->browserControl;
  ASSERT_NE(tree, nullptr);
  Pump();
  DataBrowserItemID prices = 0;
  for (int pass = 0; pass < 2 && prices == 0; ++pass) {
    Handle items = NewHandle(0);
    GetDataBrowserItems(tree, kDataBrowserNoItem, true, kDataBrowserItemAnyState, items);
    const auto* ids = reinterpret_cast<const UInt32*>(*items);
    for (size_t i = 0; i < size_t(GetHandleSize(items)) / sizeof(UInt32); ++i) {
      NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(ids[i]), tree);
      if (node == nullptr || node->DATA == nullptr) continue;
      if (node->DATATYPE == kProjectSourceType &&
          DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH).name == Str63("prices.php"))
        prices = ids[i];
      else if (pass == 0)
        OpenDataBrowserContainer(tree, ids[i]);  // the groups' rows show their files
    }
    DisposeHandle(items);
    Pump();
  }
  ASSERT_NE(prices, 0u);
  Rect row{};
  ASSERT_EQ(noErr, GetDataBrowserItemPartBounds(tree, prices, 'DATA', kDataBrowserPropertyEnclosingPart, &row));
  GtkWidget* area = GtkHostContentWidget(editor->window);
  ASSERT_NE(area, nullptr);
  const double x = row.left + 40, y = (row.top + row.bottom) / 2.0;
  Click(area, x, y);
  Click(area, x, y);
  ASSERT_TRUE(PumpUntil([&] {
    TEditorPane* active = editor->GetActiveEditor();
    return active != nullptr && active->document != nullptr && active->document->name == Str63("prices.php");
  }));
  EXPECT_EQ(FrontEditorWindow(), editor);
  EXPECT_TRUE(PumpUntil([&] { return Has(SymbolRows(list->browser), "price_of"); }))
      << ::testing::PrintToString(SymbolRows(list->browser));
  Shoot(editor, "project-integrated-window.png");
}

}  // namespace
