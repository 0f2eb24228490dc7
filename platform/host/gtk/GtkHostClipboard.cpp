// The clipboard pasteboard on the desktop's clipboard: what the program puts
// there is offered to other programs as UTF-8 text and file lists, and what
// other programs copy is read into the pasteboard when the program reads it.
#include <string>
#include <vector>

#include "GtkHost.h"
#include "PasteboardInternal.h"

namespace {

const char kClipboardName[] = "com.apple.pasteboard.clipboard";
const char kUTF8Text[] = "public.utf8-plain-text";
const char kUTF16Text[] = "public.utf16-plain-text";
const char kFileURL[] = "public.file-url";

enum : guint { kTargetText = 1, kTargetURIs = 2 };

GObject* gOwner = nullptr;  // stands for the program as the clipboard's owner
bool gForeignChanged = true;  // another program's content not yet read
bool gClaimPending = false;

GtkClipboard* Clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

// The text of a flavour list: UTF-8 as put, or UTF-16 converted; empty when none.
bool ItemText(const std::vector<PasteboardFlavorBytes>& flavors, std::string* out) {
  for (const auto& f : flavors)
    if (f.type == kUTF8Text) {
      if (!g_utf8_validate(reinterpret_cast<const char*>(f.data.data()), gssize(f.data.size()), nullptr)) return false;
      out->assign(f.data.begin(), f.data.end());
      return true;
    }
  for (const auto& f : flavors)
    if (f.type == kUTF16Text && f.data.size() % 2 == 0) {
      std::vector<gunichar2> units(f.data.size() / 2);
      for (size_t i = 0; i < units.size(); ++i) units[i] = gunichar2(f.data[2 * i] | f.data[2 * i + 1] << 8);
      gchar* utf8 = g_utf16_to_utf8(units.data(), glong(units.size()), nullptr, nullptr, nullptr);
      if (utf8 == nullptr) return false;
      *out = utf8;
      g_free(utf8);
      return true;
    }
  return false;
}

bool ItemURI(const std::vector<PasteboardFlavorBytes>& flavors, std::string* out) {
  for (const auto& f : flavors)
    if (f.type == kFileURL && !f.data.empty()) {
      out->assign(f.data.begin(), f.data.end());
      return out->find('\0') == std::string::npos;
    }
  return false;
}

void Get(GtkClipboard*, GtkSelectionData* selection, guint info, gpointer) {
  const PasteboardContents contents = PasteboardStoreCopy(kClipboardName);
  if (info == kTargetURIs) {
    std::vector<std::string> uris;
    for (const auto& item : contents) {
      std::string uri;
      if (ItemURI(item, &uri)) uris.push_back(uri);
    }
    std::vector<gchar*> list;
    for (auto& u : uris) list.push_back(u.data());
    list.push_back(nullptr);
    gtk_selection_data_set_uris(selection, list.data());
    return;
  }
  // Several text items read as lines of one text.
  std::string text;
  bool any = false;
  for (const auto& item : contents) {
    std::string piece;
    if (!ItemText(item, &piece)) continue;
    if (any) text += "\n";
    text += piece;
    any = true;
  }
  if (any) gtk_selection_data_set_text(selection, text.c_str(), gint(text.size()));
}

void Cleared(GtkClipboard*, gpointer) {}

gboolean Claim(gpointer) {
  gClaimPending = false;
  if (!PasteboardStoreIsOwned(kClipboardName)) return G_SOURCE_REMOVE;
  const PasteboardContents contents = PasteboardStoreCopy(kClipboardName);
  bool text = false, uris = false;
  for (const auto& item : contents) {
    std::string unused;
    text = text || ItemText(item, &unused);
    uris = uris || ItemURI(item, &unused);
  }
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  if (text) gtk_target_list_add_text_targets(list, kTargetText);
  if (uris) gtk_target_list_add_uri_targets(list, kTargetURIs);
  gint count = 0;
  GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
  if (count > 0)
    gtk_clipboard_set_with_owner(Clipboard(), targets, guint(count), Get, Cleared, gOwner);
  else if (gtk_clipboard_get_owner(Clipboard()) == gOwner)
    gtk_clipboard_clear(Clipboard());
  gtk_target_table_free(targets, count);
  gtk_target_list_unref(list);
  return G_SOURCE_REMOVE;
}

void Changed(const std::string& name) {
  if (name != kClipboardName || gClaimPending) return;
  gClaimPending = true;
  g_idle_add(Claim, nullptr);  // one claim for a clear and the puts after it
}

void Refresh(const std::string& name) {
  if (name != kClipboardName || !gForeignChanged) return;
  gForeignChanged = false;
  GtkClipboard* clipboard = Clipboard();
  if (gtk_clipboard_get_owner(clipboard) == gOwner) return;
  PasteboardContents contents;
  if (gchar** uris = gtk_clipboard_wait_for_uris(clipboard)) {
    for (gchar** u = uris; *u != nullptr; ++u) {
      std::string uri(*u);
      std::vector<PasteboardFlavorBytes> item;
      item.push_back(PasteboardFlavorBytes{kFileURL, std::vector<UInt8>(uri.begin(), uri.end()), 0});
      contents.push_back(std::move(item));
    }
    g_strfreev(uris);
  } else if (gchar* text = gtk_clipboard_wait_for_text(clipboard)) {
    std::string utf8(text);
    g_free(text);
    contents.push_back({PasteboardFlavorBytes{kUTF8Text, std::vector<UInt8>(utf8.begin(), utf8.end()), 0}});
  }
  PasteboardStoreReplace(kClipboardName, contents);
}

void OwnerChanged(GtkClipboard* clipboard, GdkEvent*, gpointer) {
  if (gtk_clipboard_get_owner(clipboard) == gOwner) return;
  gForeignChanged = true;
  PasteboardStoreDisown(kClipboardName);
}

}  // namespace

void GtkHostClipboardStart() {
  if (gOwner != nullptr) return;
  gOwner = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
  g_signal_connect(Clipboard(), "owner-change", G_CALLBACK(OwnerChanged), nullptr);
  static const PasteboardBridge bridge = {Changed, Refresh};
  PasteboardSetBridge(&bridge);
}
