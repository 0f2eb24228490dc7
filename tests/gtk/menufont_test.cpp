// A menu's font (SetMenuFont) reaches the labels of the GTK menu items built
// from it, submenus keeping fonts of their own.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "Host.h"
#include "Menus.h"
#include "WASTE.h"
#include "gtk/GtkHost.h"

namespace {

// The family and size a label is drawn with; "" and 0 where the theme's hold.
struct LabelFont {
  std::string family;
  int points = 0;
  bool operator==(const LabelFont&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LabelFont& f) {
  return out << "'" << f.family << "' " << f.points << "pt";
}

GtkWidget* Child(GtkWidget* container, guint index) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(container));
  auto* child = static_cast<GtkWidget*>(g_list_nth_data(children, index));
  g_list_free(children);
  return child;
}

LabelFont FontOf(GtkWidget* item) {
  LabelFont font;
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
  if (!GTK_IS_LABEL(label)) return font;
  PangoAttrList* attrs = gtk_label_get_attributes(GTK_LABEL(label));
  if (attrs == nullptr) return font;
  PangoAttrIterator* it = pango_attr_list_get_iterator(attrs);
  if (PangoAttribute* family = pango_attr_iterator_get(it, PANGO_ATTR_FAMILY))
    font.family = reinterpret_cast<PangoAttrString*>(family)->value;
  if (PangoAttribute* size = pango_attr_iterator_get(it, PANGO_ATTR_SIZE))
    font.points = reinterpret_cast<PangoAttrInt*>(size)->value / PANGO_SCALE;
  pango_attr_iterator_destroy(it);
  return font;
}

MenuRef MakeMenu(MenuID id, const char* title, std::vector<const char*> items) {
  MenuRef menu = nullptr;
  EXPECT_EQ(noErr, CreateNewMenu(id, 0, &menu));
  CFStringRef t = CFStringCreateWithCString(nullptr, title, kCFStringEncodingUTF8);
  SetMenuTitleWithCFString(menu, t);
  CFRelease(t);
  for (const char* text : items) {
    CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    AppendMenuItemTextWithCFString(menu, s, 0, 0, nullptr);
    CFRelease(s);
  }
  return menu;
}

class MenuFontTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr)); }
  void TearDown() override {
    ClearMenuBar();
    DrawMenuBar();
  }
};

TEST_F(MenuFontTest, ItemLabelsCarryTheMenusFamilyAndSize) {
  const unsigned char kSerif[] = "\x0c" "DejaVu Serif";
  const FMFontFamily serif = FMGetFontFamilyFromName(kSerif);
  ASSERT_NE(kInvalidFontFamily, serif);
  struct Case {
    const char* name;
    SInt16 family;
    UInt16 size;
    LabelFont expected;
  };
  const Case cases[] = {
      {"the theme's font", 0, 0, {"", 0}},
      {"a known family and size", 4, 18, {"Monaco", 18}},
      {"a family named at run time", serif, 11, {"DejaVu Serif", 11}},
      {"a size alone", 0, 14, {"", 14}},
      {"an unknown family keeps the theme's face", 999, 12, {"", 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MenuRef menu = MakeMenu(140, "Format", {"Plain", "Bold"});
    SetItemMark(menu, 2, checkMark);
    ASSERT_EQ(noErr, SetMenuFont(menu, c.family, c.size));
    ClearMenuBar();
    InsertMenu(menu, 0);
    GtkWidget* bar = g_object_ref_sink(GtkHostBuildMenuBar());
    GtkWidget* gtkMenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(Child(bar, 0)));
    ASSERT_NE(nullptr, gtkMenu);
    EXPECT_EQ(c.expected, FontOf(Child(gtkMenu, 0)));
    EXPECT_EQ(c.expected, FontOf(Child(gtkMenu, 1)));  // a checked item too
    gtk_widget_destroy(bar);
    g_object_unref(bar);
    ReleaseMenu(menu);
  }
}

TEST_F(MenuFontTest, ASubmenuShowsItsOwnFont) {
  MenuRef menu = MakeMenu(141, "View", {"Size"});
  MenuRef sizes = MakeMenu(142, "Size", {"9", "10"});
  SetMenuFont(menu, 4, 13);
  SetMenuFont(sizes, 22, 9);
  SetMenuItemHierarchicalMenu(menu, 1, sizes);
  InsertMenu(menu, 0);
  GtkWidget* bar = g_object_ref_sink(GtkHostBuildMenuBar());
  GtkWidget* gtkMenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(Child(bar, 0)));
  ASSERT_NE(nullptr, gtkMenu);
  GtkWidget* sizeItem = Child(gtkMenu, 0);
  EXPECT_EQ((LabelFont{"Monaco", 13}), FontOf(sizeItem));
  GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(sizeItem));
  ASSERT_NE(nullptr, sub);
  EXPECT_EQ((LabelFont{"Courier", 9}), FontOf(Child(sub, 0)));
  EXPECT_EQ((LabelFont{"Courier", 9}), FontOf(Child(sub, 1)));
  gtk_widget_destroy(bar);
  g_object_unref(bar);
  ReleaseMenu(sizes);
  ReleaseMenu(menu);
}

}  // namespace
