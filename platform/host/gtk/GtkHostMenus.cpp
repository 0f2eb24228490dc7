// Menus of the desktop host: the MenuRef model shown as a GtkMenuBar at the
// top of each document window (rebuilt when the model changes and brought up
// to date by the enable pass each time a menu opens), and pop-up and
// contextual menus as GtkMenu pop-ups run in a nested loop.
#include <cctype>

#include "GtkHost.h"
#include "MenuInternal.h"
#include "WASTE.h"

namespace {

// What a GTK item stands for; owned by the item.
struct Binding {
  MenuRef menu;
  MenuItemIndex item;
  struct Choice* choice;  // nil in the menu bar: the item sends its command
};

struct Choice {
  MenuRef menu = nullptr;
  MenuItemIndex item = 0;
  bool chosen = false;
};

void FreeBinding(gpointer data) {
  auto* b = static_cast<Binding*>(data);
  ReleaseMenu(b->menu);
  delete b;
}

void SendCommand(MenuRef menu, MenuItemIndex item) {
  MenuCommand id = 0;
  GetMenuItemCommandID(menu, item, &id);
  if (id == 0) return;
  HICommandExtended command{};
  command.attributes = kHICommandFromMenu;
  command.commandID = id;
  command.source.menu.menuRef = menu;
  command.source.menu.menuItemIndex = item;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e) != noErr) return;
  UInt32 context = kMenuContextMenuBar | kMenuContextMenuBarTracking;
  SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SetEventParameter(e, kEventParamMenuContext, typeUInt32, sizeof context, &context);
  SendEventToEventTarget(e, GetUserFocusEventTarget());
  ReleaseEvent(e);
}

void OnActivate(GtkMenuItem* widget, gpointer) {
  auto* b = static_cast<Binding*>(g_object_get_data(G_OBJECT(widget), "quorvel-item"));
  if (b == nullptr || !IsValidMenu(b->menu)) return;
  if (b->choice) {
    b->choice->menu = b->menu;
    b->choice->item = b->item;
    b->choice->chosen = true;
    return;
  }
  // The item's own state may have changed since the menu opened.
  RetainMenu(b->menu);
  MenuRef menu = b->menu;
  MenuItemIndex item = b->item;
  if (IsMenuItemEnabled(menu, 0) && IsMenuItemEnabled(menu, item)) SendCommand(menu, item);
  ReleaseMenu(menu);
}

GdkModifierType AccelModifiers(UInt8 modifiers) {
  guint m = 0;
  if (!(modifiers & kMenuNoCommandModifier)) m |= GDK_CONTROL_MASK;
  if (modifiers & kMenuShiftModifier) m |= GDK_SHIFT_MASK;
  if (modifiers & kMenuOptionModifier) m |= GDK_MOD1_MASK;
  if (modifiers & kMenuControlModifier) m |= GDK_SUPER_MASK;
  return GdkModifierType(m);
}

void Clear(GtkWidget* container) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(container));
  for (GList* l = children; l; l = l->next) gtk_widget_destroy(GTK_WIDGET(l->data));
  g_list_free(children);
}

std::string ItemText(MenuRef menu, MenuItemIndex i) {
  CFStringRef text = nullptr;
  CopyMenuItemTextAsCFString(menu, i, &text);
  std::string s = GtkHostUTF8(text);
  if (text) CFRelease(text);
  return s;
}

std::string TitleOf(MenuRef menu) {
  CFStringRef text = nullptr;
  CopyMenuTitleAsCFString(menu, &text);
  std::string s = GtkHostUTF8(text);
  if (text) CFRelease(text);
  return s;
}

// The menu's own font as label attributes; nil for the theme's font (family
// 0 at size 0). An unknown family keeps the theme's face.
PangoAttrList* MenuFontAttributes(MenuRef menu) {
  SInt16 family = 0;
  UInt16 size = 0;
  if (GetMenuFont(menu, &family, &size) != noErr || (family == 0 && size == 0)) return nullptr;
  PangoAttrList* attrs = pango_attr_list_new();
  unsigned char name[256] = {0};
  if (family != 0 && FMGetFontFamilyName(family, name)) {
    CFStringRef string = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman);
    const std::string utf8 = GtkHostUTF8(string);
    if (string) CFRelease(string);
    if (!utf8.empty()) pango_attr_list_insert(attrs, pango_attr_family_new(utf8.c_str()));
  }
  if (size > 0) pango_attr_list_insert(attrs, pango_attr_size_new(int(size) * PANGO_SCALE));
  return attrs;
}

void Fill(GtkWidget* gtkMenu, MenuRef menu, Choice* choice, int depth);

GtkWidget* MakeItem(MenuRef menu, MenuItemIndex i, Choice* choice, int depth, PangoAttrList* font) {
  MenuItemAttributes attrs = 0;
  GetMenuItemAttributes(menu, i, &attrs);
  if (attrs & kMenuItemAttrHidden) return nullptr;
  std::string text = ItemText(menu, i);
  if ((attrs & kMenuItemAttrSeparator) || text == "-") return gtk_separator_menu_item_new();
  CharParameter mark = noMark;
  GetItemMark(menu, i, &mark);
  GtkWidget* item;
  if (mark != noMark) {
    item = gtk_check_menu_item_new_with_label(text.c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(item), mark == diamondMark);
  } else {
    item = gtk_menu_item_new_with_label(text.c_str());
  }
  if (font) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    if (GTK_IS_LABEL(label)) gtk_label_set_attributes(GTK_LABEL(label), font);
  }
  if (attrs & kMenuItemAttrSectionHeader) {
    gtk_widget_set_sensitive(item, FALSE);
    return item;
  }
  UInt16 key = 0;
  if (!(attrs & kMenuItemAttrUseVirtualKey) && GetMenuItemCommandKey(menu, i, false, &key) == noErr && key > 0x20 &&
      key < 0x7F) {
    UInt8 modifiers = 0;
    GetMenuItemModifiers(menu, i, &modifiers);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    if (GTK_IS_ACCEL_LABEL(label))
      gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), gdk_unicode_to_keyval(std::tolower(key)),
                                AccelModifiers(modifiers));
  }
  const bool enabled = IsMenuItemEnabled(menu, 0) && IsMenuItemEnabled(menu, i);
  gtk_widget_set_sensitive(item, enabled);
  MenuRef sub = nullptr;
  if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub != nullptr && depth < 32) {
    GtkWidget* subMenu = gtk_menu_new();
    Fill(subMenu, sub, choice, depth + 1);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), subMenu);
    return item;
  }
  RetainMenu(menu);
  g_object_set_data_full(G_OBJECT(item), "quorvel-item", new Binding{menu, i, choice}, FreeBinding);
  g_signal_connect(item, "activate", G_CALLBACK(OnActivate), nullptr);
  return item;
}

void Fill(GtkWidget* gtkMenu, MenuRef menu, Choice* choice, int depth) {
  Clear(gtkMenu);
  if (!IsValidMenu(menu)) return;
  PangoAttrList* font = MenuFontAttributes(menu);
  // Counted wider than an item index: a full menu holds the greatest one.
  for (UInt32 i = 1; i <= CountMenuItems(menu); ++i) {
    if (GtkWidget* item = MakeItem(menu, i, choice, depth, font)) {
      GtkHostApplyMenuItemHelp(item, menu, i);
      gtk_menu_shell_append(GTK_MENU_SHELL(gtkMenu), item);
      gtk_widget_show_all(item);
    }
  }
  if (font) pango_attr_list_unref(font);
}

// A menu of the bar opens: the enable pass, then its items as they now are.
void OnBarMenuShow(GtkWidget* gtkMenu, gpointer) {
  auto* menu = static_cast<MenuRef>(g_object_get_data(G_OBJECT(gtkMenu), "quorvel-menu"));
  if (menu == nullptr || !IsValidMenu(menu)) return;
  RetainMenu(menu);
  UpdateMenuItemsStatus(menu, kMenuContextMenuBar | kMenuContextPullDown | kMenuContextMenuBarTracking);
  Fill(gtkMenu, menu, nullptr, 0);
  ReleaseMenu(menu);
}

void FillBar(GtkWidget* bar) {
  Clear(bar);
  MenuRef root = AcquireRootMenu();
  bool any = false;
  for (UInt32 i = 1; root && IsValidMenu(root) && i <= CountMenuItems(root); ++i) {
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(root, i, &sub) != noErr || sub == nullptr) continue;
    MenuAttributes attributes = 0;
    GetMenuAttributes(sub, &attributes);
    if (attributes & kMenuAttrHidden) continue;
    std::string title = TitleOf(sub);
    if (title.empty()) title = ItemText(root, i);
    GtkWidget* top = gtk_menu_item_new_with_label(title.c_str());
    GtkWidget* gtkMenu = gtk_menu_new();
    RetainMenu(sub);
    g_object_set_data_full(G_OBJECT(gtkMenu), "quorvel-menu", sub,
                           [](gpointer m) { ReleaseMenu(static_cast<MenuRef>(m)); });
    Fill(gtkMenu, sub, nullptr, 0);
    g_signal_connect(gtkMenu, "show", G_CALLBACK(OnBarMenuShow), nullptr);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), gtkMenu);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    gtk_widget_show_all(top);
    any = true;
  }
  if (root) ReleaseMenu(root);
  gtk_widget_set_no_show_all(bar, !any);
  gtk_widget_set_visible(bar, any);
}

void OnMenuBarChanged() { GtkHostRefreshMenuBars(); }

gboolean QuitLoop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_REMOVE;
}

void OnDeactivate(GtkMenuShell*, gpointer loop) {
  // The chosen item's activate comes right after: quit once it has run.
  g_idle_add(QuitLoop, loop);
}

bool Present(const MenuShowRequest& request, MenuRef* outMenu, MenuItemIndex* outItem) {
  Choice choice;
  GtkWidget* gtkMenu = gtk_menu_new();
  g_object_ref_sink(gtkMenu);
  Fill(gtkMenu, request.menu, &choice, 0);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect(gtkMenu, "deactivate", G_CALLBACK(OnDeactivate), loop);
  WindowRef window = nullptr;
  GtkWidget* area = GtkHostActiveWidget(&window);
  if (area && gtk_widget_get_realized(area)) {
    Rect content{};
    GetWindowBounds(window, kWindowContentRgn, &content);
    GdkRectangle at{request.where.h - content.left, request.where.v - content.top, 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(gtkMenu), gtk_widget_get_window(area), &at, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, nullptr);
  } else {
    gtk_menu_popup_at_pointer(GTK_MENU(gtkMenu), nullptr);
  }
  // A menu that could not take the pointer never shows: dismissed.
  if (gtk_widget_get_visible(gtkMenu)) g_main_loop_run(loop);
  g_signal_handlers_disconnect_by_data(gtkMenu, loop);
  gtk_widget_destroy(gtkMenu);
  g_object_unref(gtkMenu);
  g_main_loop_unref(loop);
  if (!choice.chosen) return false;
  *outMenu = choice.menu;
  *outItem = choice.item;
  return true;
}

}  // namespace

void GtkHostMenusStart() {
  MenuSetPresenter(Present);
  MenuSetMenuBarObserver(OnMenuBarChanged);
}

GtkWidget* GtkHostBuildMenuBar() {
  GtkWidget* bar = gtk_menu_bar_new();
  FillBar(bar);
  return bar;
}

void GtkHostFillMenuBar(GtkWidget* bar) { FillBar(bar); }
