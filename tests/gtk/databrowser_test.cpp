// The list control on a real (virtual) display: folders with disclosure
// triangles, one open, alternating rows, a selected row and an icon-and-text
// column, drawn into the window and written to the build folder.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <map>
#include <string>
#include <vector>

#include "CFString.h"
#include "DataBrowser.h"
#include "GtkTestEvents.h"
#include "Host.h"
#include "Icons.h"
#include "MacWindows.h"
#include "gtk/GtkHost.h"

namespace {

constexpr DataBrowserPropertyID kName = 'NAME', kSize = 'SIZE';

struct Entry {
  const char* name;
  const char* size;
  std::vector<DataBrowserItemID> children;  // a folder when not empty
};
std::map<DataBrowserItemID, Entry> gEntries = {
    {1, {"css", "", {10, 11}}},          {2, {"js", "", {20, 21, 22}}},
    {3, {"templates", "", {30}}},        {4, {"index.php", "4 KB", {}}},
    {5, {"README.md", "1 KB", {}}},      {10, {"site.css", "2 KB", {}}},
    {11, {"print.css", "1 KB", {}}},     {20, {"app.js", "12 KB", {}}},
    {21, {"menu.js", "3 KB", {}}},       {22, {"vendor.js", "88 KB", {}}},
    {30, {"page.html", "5 KB", {}}},
};

OSStatus ItemData(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserItemDataRef data,
                  Boolean setValue) {
  if (setValue) return errDataBrowserPropertyNotSupported;
  const Entry& e = gEntries[item];
  switch (property) {
    case kDataBrowserItemIsContainerProperty: return SetDataBrowserItemDataBooleanValue(data, !e.children.empty());
    case kName: {
      IconRef icon = nullptr;
      GetIconRef(0, 'macs', e.children.empty() ? kGenericDocumentIcon : kGenericFolderIcon, &icon);
      if (icon) {
        SetDataBrowserItemDataIcon(data, icon);
        ReleaseIconRef(icon);
      }
      return SetDataBrowserItemDataText(data, CFStringMakeConstantUTF8(e.name));
    }
    case kSize: return SetDataBrowserItemDataText(data, CFStringMakeConstantUTF8(e.size));
    default: return errDataBrowserPropertyNotFound;
  }
}

void Notify(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
  if (message != kDataBrowserContainerOpened) return;
  auto& kids = gEntries[item].children;
  AddDataBrowserItems(browser, item, UInt32(kids.size()), kids.data(), 0);
}

void AddColumn(ControlRef browser, DataBrowserPropertyID id, DataBrowserPropertyType type, const char* title,
               UInt16 width) {
  DataBrowserListViewColumnDesc column{};
  column.propertyDesc = {id, type, kDataBrowserListViewDefaultColumnFlags};
  column.headerBtnDesc.titleString = CFStringMakeConstantUTF8(title);
  column.headerBtnDesc.minimumWidth = width;
  column.headerBtnDesc.maximumWidth = width;
  ASSERT_EQ(noErr, AddDataBrowserListViewColumn(browser, &column, kDataBrowserListViewAppendColumn));
  SetDataBrowserTableViewNamedColumnWidth(browser, id, width);
}

TEST(GtkDataBrowserTest, AFolderListDrawsOnTheDesktop) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  WindowRef window = nullptr;
  Rect bounds{100, 100, 340, 460};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  SetWindowTitleWithCFString(window, CFStringMakeConstantUTF8("Project"));
  Rect r{0, 0, 240, 360};
  ControlRef browser = nullptr;
  ASSERT_EQ(noErr, CreateDataBrowserControl(window, &r, kDataBrowserListView, &browser));
  AddColumn(browser, kName, kDataBrowserIconAndTextType, "Name", 260);
  AddColumn(browser, kSize, kDataBrowserTextType, "Size", 100);
  SetDataBrowserListViewDisclosureColumn(browser, kName, true);
  SetDataBrowserListViewHeaderBtnHeight(browser, 20);
  DataBrowserChangeAttributes(browser, kDataBrowserAttributeListViewAlternatingRowColors, 0);
  DataBrowserCallbacks callbacks;
  InitDataBrowserCallbacks(&callbacks);
  callbacks.u.v1.itemDataCallback = ItemData;
  callbacks.u.v1.itemNotificationCallback = Notify;
  SetDataBrowserCallbacks(browser, &callbacks);
  const DataBrowserItemID top[] = {1, 2, 3, 4, 5};
  AddDataBrowserItems(browser, kDataBrowserNoItem, 5, top, 0);
  ASSERT_EQ(noErr, OpenDataBrowserContainer(browser, 2));
  const DataBrowserItemID selected = 20;
  SetDataBrowserSelectedItems(browser, 1, &selected, kDataBrowserItemsAssign);
  ShowWindow(window);
  GtkWidget* area = GtkHostContentWidget(window);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(area) && gtk_widget_get_allocated_height(area) == 240; }));
  Pump();

  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/databrowser.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  GtkWidget* bar = GtkHostMenuBarWidget(window);
  const int barHeight = bar && gtk_widget_get_visible(bar) ? gtk_widget_get_allocated_height(bar) : 0;
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  auto pixel = [&](int x, int y) { return data + (barHeight + y) * stride + x * 4; };  // BGRA
  // The selected row (the third, "app.js") is filled with the highlight, a
  // stripe row is darker than a plain one, and the rows carry ink.
  Rect row{};
  ASSERT_EQ(noErr, GetDataBrowserItemPartBounds(browser, selected, 0, kDataBrowserPropertyEnclosingPart, &row));
  const unsigned char* hilite = pixel(330, (row.top + row.bottom) / 2);
  EXPECT_GT(hilite[0], hilite[2] + 40);  // blue above red
  Rect plain{}, stripe{};
  GetDataBrowserItemPartBounds(browser, 1, 0, kDataBrowserPropertyEnclosingPart, &plain);
  GetDataBrowserItemPartBounds(browser, 2, 0, kDataBrowserPropertyEnclosingPart, &stripe);
  EXPECT_GT(pixel(330, plain.top + 3)[1], pixel(330, stripe.top + 3)[1]);
  int ink = 0;
  Rect text{};
  GetDataBrowserItemPartBounds(browser, 4, kName, kDataBrowserPropertyTextPart, &text);
  for (int y = text.top; y < text.bottom; ++y)
    for (int x = text.left; x < text.left + 60; ++x)
      if (pixel(x, y)[1] < 128) ++ink;
  EXPECT_GT(ink, 20);
  cairo_surface_destroy(png);
  DisposeWindow(window);
  Pump();
}

}  // namespace
