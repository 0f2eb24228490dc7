// Help tags on the desktop: the help content of the view under the pointer
// (or of an enclosing view, or of the window) shows as the drawing area's
// tooltip; menu items carry theirs as tooltips; HMDisplayTag shows a small
// tooltip-like popup at the place it names.
#include "GtkHost.h"
#include "HelpInternal.h"
#include "WindowInternal.h"

namespace {

GtkWidget* gTag = nullptr;  // the popup of HMDisplayTag

std::string ContentText(const HMHelpContentRec& content) {
  std::string text;
  if (CFStringRef s = HMCopyHelpContentText(&content, false)) {
    text = GtkHostUTF8(s);
    CFRelease(s);
  }
  for (const HMHelpContent& c : content.content)
    if ((c.contentType == kHMCFStringContent || c.contentType == kHMCFStringLocalizedContent) && c.u.tagCFString)
      CFRelease(c.u.tagCFString);
  return text;
}

gboolean OnQueryTooltip(GtkWidget* widget, gint x, gint y, gboolean, GtkTooltip* tooltip, gpointer) {
  if (!HMAreHelpTagsDisplayed()) return FALSE;
  WindowRef window = GtkHostWindowOf(gtk_widget_get_toplevel(widget));
  HIViewRef root = window ? WindowRootView(window) : nullptr;
  if (root == nullptr) return FALSE;
  HIPoint p{double(x), double(y)};
  HIViewRef hit = nullptr;
  if (HIViewGetSubviewHit(root, &p, true, &hit) != noErr || hit == nullptr) hit = root;
  for (HIViewRef v = hit; v != nullptr; v = HIViewGetSuperview(v)) {
    HMHelpContentRec content;
    if (HMGetControlHelpContent(v, &content) != noErr) continue;
    const std::string text = ContentText(content);
    if (text.empty()) continue;
    gtk_tooltip_set_text(tooltip, text.c_str());
    HIRect bounds{};
    HIViewGetBounds(v, &bounds);
    HIViewConvertRect(&bounds, v, nullptr);
    GdkRectangle area{int(bounds.origin.x), int(bounds.origin.y), int(bounds.size.width), int(bounds.size.height)};
    gtk_tooltip_set_tip_area(tooltip, &area);
    return TRUE;
  }
  HMHelpContentRec content;
  if (HMGetWindowHelpContent(window, &content) == noErr) {
    const std::string text = ContentText(content);
    if (!text.empty()) {
      gtk_tooltip_set_text(tooltip, text.c_str());
      return TRUE;
    }
  }
  return FALSE;
}

void HideTag() {
  if (gTag != nullptr) gtk_widget_destroy(gTag);
  gTag = nullptr;
}

void ShowTag(CFStringRef text, const Rect& hot, HMTagDisplaySide) {
  HideTag();
  gTag = gtk_window_new(GTK_WINDOW_POPUP);
  gtk_window_set_type_hint(GTK_WINDOW(gTag), GDK_WINDOW_TYPE_HINT_TOOLTIP);
  gtk_style_context_add_class(gtk_widget_get_style_context(gTag), GTK_STYLE_CLASS_TOOLTIP);
  GtkWidget* label = gtk_label_new(GtkHostUTF8(text).c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_widget_set_margin_start(label, 6);
  gtk_widget_set_margin_end(label, 6);
  gtk_widget_set_margin_top(label, 4);
  gtk_widget_set_margin_bottom(label, 4);
  gtk_container_add(GTK_CONTAINER(gTag), label);
  // Below the hot rectangle, left-aligned with it.
  gtk_window_move(GTK_WINDOW(gTag), hot.left, hot.bottom + 4);
  gtk_widget_show_all(gTag);
}

}  // namespace

void GtkHostHelpStart() {
  static const HelpTagPresenter presenter = {ShowTag, HideTag};
  HelpSetTagPresenter(&presenter);
}

void GtkHostHelpAttach(GtkWidget* area) {
  gtk_widget_set_has_tooltip(area, TRUE);
  g_signal_connect(area, "query-tooltip", G_CALLBACK(OnQueryTooltip), nullptr);
}

void GtkHostApplyMenuItemHelp(GtkWidget* item, MenuRef menu, MenuItemIndex index) {
  HMHelpContentRec content;
  if (HMGetMenuItemHelpContent(menu, index, &content) != noErr) return;
  const std::string text = ContentText(content);
  if (!text.empty()) gtk_widget_set_tooltip_text(item, text.c_str());
}
