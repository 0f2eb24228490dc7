// Help tags on the desktop: the help content of the view under the pointer
// (or of an enclosing view, or of the window) shows as the drawing area's
// tooltip; menu items carry theirs as tooltips; HMDisplayTag shows a small
// tooltip-like popup at the place it names.
#include <algorithm>

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

// A shown tag goes at the next key, click or move of the pointer away from
// the place it names, as a help tag does: it never stays over the text.
gulong gTagHook = 0;
bool gInTagHook = false;
Rect gTagHot{};

void HideTag() {
  if (gTagHook != 0 && !gInTagHook) g_signal_remove_emission_hook(g_signal_lookup("event", GTK_TYPE_WIDGET), gTagHook);
  gTagHook = 0;
  if (gTag != nullptr) gtk_widget_destroy(gTag);
  gTag = nullptr;
}

bool AwayFromHot(double x, double y) {
  constexpr double kSlack = 4;
  return x < gTagHot.left - kSlack || x > gTagHot.right + kSlack || y < gTagHot.top - kSlack ||
         y > gTagHot.bottom + kSlack;
}

gboolean OnAnyEvent(GSignalInvocationHint*, guint count, const GValue* values, gpointer) {
  if (count < 2 || gTag == nullptr) return gTag != nullptr;
  auto* event = static_cast<GdkEvent*>(g_value_get_boxed(&values[1]));
  if (event == nullptr) return TRUE;
  bool hide = false;
  switch (event->type) {
    case GDK_KEY_PRESS:
    case GDK_BUTTON_PRESS:
    case GDK_SCROLL:
      hide = true;
      break;
    case GDK_MOTION_NOTIFY:
      hide = AwayFromHot(event->motion.x_root, event->motion.y_root);
      break;
    default:
      break;
  }
  if (!hide) return TRUE;
  gInTagHook = true;
  HMHideTag();
  gInTagHook = false;
  gTagHook = 0;
  return FALSE;  // the hook goes with the tag
}

void ShowTag(CFStringRef text, const Rect& hot, HMTagDisplaySide) {
  HideTag();
  gTag = gtk_window_new(GTK_WINDOW_POPUP);
  gtk_window_set_type_hint(GTK_WINDOW(gTag), GDK_WINDOW_TYPE_HINT_TOOLTIP);
  gtk_style_context_add_class(gtk_widget_get_style_context(gTag), GTK_STYLE_CLASS_TOOLTIP);
  const std::string utf8 = GtkHostUTF8(text);
  GtkWidget* label = gtk_label_new(utf8.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  // Lines of up to 60 characters, shorter text on one line of its own width.
  const int chars = int(std::min<glong>(60, g_utf8_strlen(utf8.c_str(), -1)));
  gtk_label_set_width_chars(GTK_LABEL(label), chars);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_widget_set_margin_start(label, 6);
  gtk_widget_set_margin_end(label, 6);
  gtk_widget_set_margin_top(label, 4);
  gtk_widget_set_margin_bottom(label, 4);
  gtk_container_add(GTK_CONTAINER(gTag), label);
  // Below the hot rectangle, left-aligned with it, as large as its text.
  gtk_window_move(GTK_WINDOW(gTag), hot.left, hot.bottom + 4);
  gtk_widget_show_all(gTag);
  gtk_window_resize(GTK_WINDOW(gTag), 1, 1);
  gTagHot = hot;
  gTagHook = g_signal_add_emission_hook(g_signal_lookup("event", GTK_TYPE_WIDGET), 0, OnAnyEvent, nullptr, nullptr);
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
