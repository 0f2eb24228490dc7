// The clipboard pasteboard on a real (virtual) display: what the program
// puts there is the desktop's clipboard, and what another client puts on the
// desktop's clipboard is what the program reads. Help tags of views show as
// tooltips of the window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "CFData.h"
#include "CFString.h"
#include "HIView.h"
#include "Host.h"
#include "MacHelp.h"
#include "MacWindows.h"
#include "Pasteboard.h"
#include "gtk/GtkHost.h"

namespace {

void Pump() {
  for (int i = 0; i < 20; ++i) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(1000);
  }
}

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

void Put(PasteboardRef pb, uintptr_t item, const char* flavor, const std::string& bytes) {
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
  EXPECT_EQ(noErr, PasteboardPutItemFlavor(pb, PasteboardItemID(item), S(flavor), data, 0));
  CFRelease(data);
}

std::string Read(PasteboardRef pb, CFIndex index, const char* flavor) {
  PasteboardItemID item = nullptr;
  if (PasteboardGetItemIdentifier(pb, index, &item) != noErr) return "(no item)";
  CFDataRef data = nullptr;
  if (PasteboardCopyItemFlavorData(pb, item, S(flavor), &data) != noErr) return "(no flavour)";
  std::string s(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  CFRelease(data);
  return s;
}

class GtkClipboardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr)); }
  GtkClipboard* Clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }
};

TEST_F(GtkClipboardTest, ProgramTextAndFilesReachTheDesktopClipboard) {
  PasteboardRef pb = nullptr;
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardClipboard, &pb));
  ASSERT_EQ(noErr, PasteboardClear(pb));
  Put(pb, 1, "public.utf8-plain-text", "Gr\xC3\xBC\xC3\x9F" "e aus Quorvel");
  Pump();
  gchar* text = gtk_clipboard_wait_for_text(Clipboard());
  ASSERT_NE(nullptr, text);
  EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e aus Quorvel", std::string(text));
  g_free(text);

  // UTF-16 text and two files.
  ASSERT_EQ(noErr, PasteboardClear(pb));
  Put(pb, 1, "public.utf16-plain-text", std::string("h\0i\0", 4));
  Put(pb, 2, "public.file-url", "file:///tmp/one");
  Put(pb, 3, "public.file-url", "file:///tmp/two%20words");
  Pump();
  text = gtk_clipboard_wait_for_text(Clipboard());
  ASSERT_NE(nullptr, text);
  EXPECT_EQ("hi", std::string(text));
  g_free(text);
  gchar** uris = gtk_clipboard_wait_for_uris(Clipboard());
  ASSERT_NE(nullptr, uris);
  ASSERT_EQ(2u, g_strv_length(uris));
  EXPECT_EQ("file:///tmp/one", std::string(uris[0]));
  EXPECT_EQ("file:///tmp/two%20words", std::string(uris[1]));
  g_strfreev(uris);
  CFRelease(pb);
}

TEST_F(GtkClipboardTest, AnotherClientsTextAndFilesReachThePasteboard) {
  PasteboardRef pb = nullptr;
  ASSERT_EQ(noErr, PasteboardCreate(kPasteboardClipboard, &pb));
  PasteboardSynchronize(pb);
  gtk_clipboard_set_text(Clipboard(), "from elsewhere \xE2\x82\xAC", -1);
  Pump();
  const PasteboardSyncFlags flags = PasteboardSynchronize(pb);
  EXPECT_TRUE(flags & kPasteboardModified);
  EXPECT_FALSE(flags & kPasteboardClientIsOwner);
  ItemCount count = 0;
  PasteboardGetItemCount(pb, &count);
  ASSERT_EQ(1u, count);
  EXPECT_EQ("from elsewhere \xE2\x82\xAC", Read(pb, 1, "public.utf8-plain-text"));
  EXPECT_EQ(std::string("f\0r\0o\0m\0", 8), Read(pb, 1, "public.utf16-plain-text").substr(0, 8));

  // A file list copied by a file manager.
  static const GtkTargetEntry targets[] = {{const_cast<gchar*>("text/uri-list"), 0, 0}};
  gtk_clipboard_set_with_data(
      Clipboard(), targets, 1,
      [](GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
        gchar* list[] = {const_cast<gchar*>("file:///srv/a.php"), const_cast<gchar*>("file:///srv/b.css"), nullptr};
        gtk_selection_data_set_uris(data, list);
      },
      nullptr, nullptr);
  Pump();
  PasteboardSynchronize(pb);
  PasteboardGetItemCount(pb, &count);
  ASSERT_EQ(2u, count);
  EXPECT_EQ("file:///srv/b.css", Read(pb, 2, "public.file-url"));
  CFRelease(pb);
}

TEST_F(GtkClipboardTest, ViewHelpShowsAsTheWindowsTooltip) {
  Rect bounds{100, 100, 300, 400};
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
  HIRect frame{{20, 20}, {100, 40}};
  HIViewRef view = nullptr;
  ASSERT_EQ(noErr, HIViewCreate(&frame, &view));
  HIViewAddSubview(HIViewGetRoot(window), view);
  HIViewSetVisible(view, true);
  HMHelpContentRec rec{};
  rec.content[0].contentType = kHMCFStringContent;
  rec.content[0].u.tagCFString = S("Runs the script");
  rec.content[1].contentType = kHMNoContent;
  ASSERT_EQ(noErr, HMSetControlHelpContent(view, &rec));
  ShowWindow(window);
  Pump();
  GtkWidget* area = GtkHostContentWidget(window);
  ASSERT_NE(nullptr, area);
  EXPECT_TRUE(gtk_widget_get_has_tooltip(area));
  GtkTooltip* tooltip = GTK_TOOLTIP(g_object_new(GTK_TYPE_TOOLTIP, nullptr));
  gboolean shown = FALSE;
  g_signal_emit_by_name(area, "query-tooltip", 30, 30, FALSE, tooltip, &shown);
  EXPECT_TRUE(shown);
  shown = TRUE;
  g_signal_emit_by_name(area, "query-tooltip", 250, 150, FALSE, tooltip, &shown);
  EXPECT_FALSE(shown);
  g_object_unref(tooltip);
  DisposeWindow(window);
  Pump();
}

}  // namespace
