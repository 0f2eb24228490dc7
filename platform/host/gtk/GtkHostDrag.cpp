// Drags on the desktop: TrackDrag starts a real pointer drag from the source
// window. Over the program's own windows the drag moves through the same
// session as everywhere (handlers and views hear it directly, no data is
// copied); outside them it offers its text and files to other programs.
// Drags other programs start arrive as drags with text ('utxt', 'utf8',
// 'TEXT') or file items ('furl', and 'hfs ' where the file's record can be
// made) and go through a session of their own.
//
// A drag whose one item is a promised file also offers the direct-save
// target: the source window's "XdndDirectSave0" property holds the file's
// name while the drag runs; a file manager that takes the drop replaces it
// with the URI where the file is to go and asks for the target. The folder
// of that URI becomes the drag's drop location, the sender makes the file
// there, and the answer is "S" (saved), "E" (failed) or "F" (ask for the
// files the usual way instead).
#include <cairo.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include <memory>
#include <string>
#include <vector>

#include "Aliases.h"
#include "CFData.h"
#include "CFString.h"
#include "DragInternal.h"
#include "GtkHost.h"
#include "MacMemory.h"
#include "QuartzInternal.h"
#include "WindowInternal.h"

namespace {

const char kInternalTarget[] = "application/x-quorvel-drag";
const char kDirectSaveTarget[] = "XdndDirectSave0";
enum : guint { kInfoInternal = 1, kInfoText = 2, kInfoURIs = 3, kInfoDirectSave = 4 };

// The drag TrackDrag runs now.
struct Outgoing {
  DragRef drag = nullptr;
  DragSession* session = nullptr;
  GtkWidget* source = nullptr;
  bool ended = false;
  bool failed = false;
  bool dropped = false;
  OSErr dropStatus = userCanceledErr;
  DragItemRef directSave = 0;  // the item offered for direct save (0: none)
  GdkWindow* saveWindow = nullptr;  // the window whose property names it (referenced)
};
Outgoing* gOut = nullptr;

// A drag another program moves over one of the windows.
struct Incoming {
  GdkDragContext* context = nullptr;  // referenced
  GtkWidget* widget = nullptr;
  DragRef drag = nullptr;
  std::unique_ptr<DragSession> session;
  WindowRef window = nullptr;
  CGPoint global{};
  bool requested = false;
  bool dropPending = false;
  guint time = 0;
};
Incoming* gIn = nullptr;

guint gLeaveSource = 0;  // a leave waits: GTK sends one just before each drop

GtkTargetList* DestinationTargets() {
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add(list, gdk_atom_intern_static_string(kInternalTarget), GTK_TARGET_SAME_APP, kInfoInternal);
  gtk_target_list_add_uri_targets(list, kInfoURIs);
  gtk_target_list_add_text_targets(list, kInfoText);
  return list;
}

bool IsOwnDrag(GtkWidget* widget, GdkDragContext* context) {
  if (gOut == nullptr) return false;
  GtkTargetList* own = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add(own, gdk_atom_intern_static_string(kInternalTarget), GTK_TARGET_SAME_APP, kInfoInternal);
  const bool mine = gtk_drag_dest_find_target(widget, context, own) != GDK_NONE;
  gtk_target_list_unref(own);
  return mine;
}

UInt32 CurrentModifiers(GtkWidget* widget) {
  GdkWindow* window = gtk_widget_get_window(widget);
  GdkDisplay* display = gtk_widget_get_display(widget);
  if (window == nullptr || display == nullptr) return 0;
  GdkModifierType state = GdkModifierType(0);
  gdk_window_get_device_position(window, gdk_seat_get_pointer(gdk_display_get_default_seat(display)), nullptr,
                                 nullptr, &state);
  return GtkHostMacModifiers(state);
}

WindowRef WindowOfWidget(GtkWidget* widget) {
  WindowRef window = GtkHostWindowOf(gtk_widget_get_toplevel(widget));
  return WindowIsLive(window) ? window : nullptr;
}

CGPoint Global(WindowRef window, gint x, gint y) {
  const CGPoint origin = window ? DragWindowOrigin(window) : CGPoint{0, 0};
  return CGPoint{origin.x + x, origin.y + y};
}

GdkDragAction Action(GdkDragContext* context) {
  GdkDragAction action = gdk_drag_context_get_suggested_action(context);
  return action != 0 ? action : GDK_ACTION_COPY;
}

// --- Reading the drag's items for other programs ---------------------------------------

std::string FlavorText(DragRef drag, DragItemRef ref) {
  struct Choice {
    FlavorType type;
    CFStringEncoding encoding;
  };
  for (Choice c : {Choice{'utf8', kCFStringEncodingUTF8}, Choice{'utxt', kCFStringEncodingUTF16},
                   Choice{'TEXT', kCFStringEncodingMacRoman}}) {
    DragFlavorRecord* f = DragFindFlavor(drag, ref, c.type);
    if (f == nullptr || (f->flags & flavorSenderOnly) || f->data.empty()) continue;
    CFStringRef s = CFStringCreateWithBytes(nullptr, f->data.data(), CFIndex(f->data.size()), c.encoding, false);
    if (s == nullptr) continue;
    std::string out = GtkHostUTF8(s);
    CFRelease(s);
    return out;
  }
  return std::string();
}

// Whether the item promises a file URL that its sender makes when asked.
bool PromisesURI(DragRef drag, DragItemRef ref) {
  DragFlavorRecord* f = DragFindFlavor(drag, ref, 'furl');
  return f != nullptr && (f->flags & flavorDataPromised) && !(f->flags & flavorSenderOnly) && drag->sendProc != nullptr;
}

std::string FlavorURI(DragRef drag, DragItemRef ref) {
  // A promised file is made now, when the receiver asks for it.
  if (PromisesURI(drag, ref)) DragFulfilFlavor(drag, ref, 'furl');
  if (DragFlavorRecord* f = DragFindFlavor(drag, ref, 'furl'))
    if (!(f->flags & flavorSenderOnly) && !f->data.empty()) {
      std::string uri(f->data.begin(), f->data.end());
      if (uri.find('\0') == std::string::npos) return uri;
    }
  if (DragFlavorRecord* f = DragFindFlavor(drag, ref, 'hfs '))
    if (!(f->flags & flavorSenderOnly) && f->data.size() >= sizeof(HFSFlavor)) {
      HFSFlavor hfs;
      std::memcpy(&hfs, f->data.data(), sizeof hfs);
      FSRef file{};
      UInt8 path[4096] = {};
      if (FSpMakeFSRef(&hfs.fileSpec, &file) == noErr && FSRefMakePath(&file, path, sizeof path) == noErr) {
        gchar* uri = g_filename_to_uri(reinterpret_cast<const char*>(path), nullptr, nullptr);
        if (uri != nullptr) {
          std::string out(uri);
          g_free(uri);
          return out;
        }
      }
    }
  return std::string();
}

// --- Direct save ------------------------------------------------------------------------

GdkAtom DirectSaveAtom() { return gdk_atom_intern_static_string(kDirectSaveTarget); }

// The name the item's file is promised under ('alia': a length byte and
// the name); empty when it has none or the name could leave a folder.
std::string PromisedName(DragRef drag, DragItemRef ref) {
  DragFlavorRecord* f = DragFindFlavor(drag, ref, 'alia');
  if (f == nullptr || f->data.empty()) return std::string();
  const size_t length = std::min<size_t>(f->data[0], f->data.size() - 1);
  std::string name(reinterpret_cast<const char*>(f->data.data()) + 1, length);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return std::string();
  return name;
}

void SetDirectSaveName(GdkWindow* window, const std::string& name) {
  gdk_property_change(window, DirectSaveAtom(), gdk_atom_intern_static_string("text/plain"), 8,
                      GDK_PROP_MODE_REPLACE, reinterpret_cast<const guchar*>(name.data()), gint(name.size()));
}

// What the receiver wrote into the property: a URI.
std::string ReadDirectSaveURI(GdkWindow* window) {
  GdkAtom type = GDK_NONE;
  gint format = 0, length = 0;
  guchar* bytes = nullptr;
  std::string out;
  if (gdk_property_get(window, DirectSaveAtom(), GDK_NONE, 0, 4096, FALSE, &type, &format, &length, &bytes) &&
      bytes != nullptr && format == 8 && length > 0)
    out.assign(reinterpret_cast<const char*>(bytes), size_t(length));
  g_free(bytes);
  return out;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The local folder a direct-save URI names: the URI itself when it is a
// folder, else the folder holding the file it names, which must be the
// promised name (the file is made under that name only). Empty for a URI
// that is no local file or whose folder does not exist.
std::string DirectSaveFolder(const std::string& uri, const std::string& name) {
  if (uri.find('\0') != std::string::npos) return std::string();
  gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  if (path == nullptr) return std::string();
  std::string folder(path);
  g_free(path);
  if (!IsFolder(folder)) {
    gchar* base = g_path_get_basename(folder.c_str());
    gchar* parent = g_path_get_dirname(folder.c_str());
    const bool named = name == base;
    folder = parent;
    g_free(parent);
    g_free(base);
    if (!named || !IsFolder(folder)) return std::string();
  }
  gchar* canonical = g_canonicalize_filename(folder.c_str(), nullptr);
  folder = canonical;
  g_free(canonical);
  return folder;
}

// The drop lands in the folder: the drag's drop location names it.
bool SetDropFolder(DragRef drag, const std::string& folder) {
  FSRef ref{};
  AliasHandle alias = nullptr;
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(folder.c_str()), &ref, nullptr) != noErr ||
      FSNewAlias(nullptr, &ref, &alias) != noErr)
    return false;
  HLock(alias);
  AEDesc desc;
  AEInitializeDesc(&desc);
  const bool ok = AECreateDesc(typeAlias, *alias, GetHandleSize(alias), &desc) == noErr &&
                  SetDropLocation(drag, &desc) == noErr;
  AEDisposeDesc(&desc);
  DisposeHandle(alias);
  return ok;
}

// Makes the promised file where the receiver asked; the answer to give it.
char DirectSave(DragRef drag, DragItemRef ref, GdkWindow* window) {
  // A file made already (or never promised) goes the usual way.
  if (!PromisesURI(drag, ref)) return 'F';
  const std::string folder = DirectSaveFolder(ReadDirectSaveURI(window), PromisedName(drag, ref));
  if (folder.empty() || !SetDropFolder(drag, folder)) return 'E';
  DragFlavorRecord* f = DragFulfilFlavor(drag, ref, 'furl');
  if (f == nullptr || f->data.empty()) return 'E';
  // The file made must be in that folder, under its own name.
  gchar* made = g_filename_from_uri(std::string(f->data.begin(), f->data.end()).c_str(), nullptr, nullptr);
  if (made == nullptr) return 'E';
  gchar* parent = g_path_get_dirname(made);
  gchar* canonical = g_canonicalize_filename(parent, nullptr);
  struct stat st;
  const bool inside = folder == canonical && stat(made, &st) == 0 && S_ISREG(st.st_mode);
  g_free(canonical);
  g_free(parent);
  g_free(made);
  return inside ? 'S' : 'E';
}

void OnDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint info, guint, gpointer) {
  if (gOut == nullptr || !DragIsLive(gOut->drag)) return;
  DragRef drag = gOut->drag;
  if (info == kInfoDirectSave) {
    const char answer = gOut->directSave != 0 && gOut->saveWindow != nullptr
                            ? DirectSave(drag, gOut->directSave, gOut->saveWindow)
                            : 'E';
    gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8, reinterpret_cast<const guchar*>(&answer), 1);
  } else if (info == kInfoURIs) {
    std::vector<std::string> uris;
    for (const DragItemRecord& item : drag->items) {
      std::string uri = FlavorURI(drag, item.ref);
      if (!uri.empty()) uris.push_back(uri);
    }
    std::vector<gchar*> list;
    for (auto& u : uris) list.push_back(u.data());
    list.push_back(nullptr);
    gtk_selection_data_set_uris(data, list.data());
  } else if (info == kInfoText) {
    std::string text;
    bool any = false;
    for (const DragItemRecord& item : drag->items) {
      std::string piece = FlavorText(drag, item.ref);
      if (piece.empty()) continue;
      if (any) text += "\n";
      text += piece;
      any = true;
    }
    if (any) gtk_selection_data_set_text(data, text.c_str(), gint(text.size()));
  } else {
    // The program's own windows read the drag itself; this only answers.
    gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8, reinterpret_cast<const guchar*>(""), 0);
  }
}

void OnDragEnd(GtkWidget*, GdkDragContext*, gpointer) {
  if (gOut == nullptr) return;
  gOut->ended = true;
  if (gOut->saveWindow != nullptr) gdk_property_delete(gOut->saveWindow, DirectSaveAtom());
}

gboolean OnDragFailed(GtkWidget*, GdkDragContext*, GtkDragResult, gpointer) {
  if (gOut) gOut->failed = true;
  return FALSE;
}

// The image under the pointer, placed as the drag's offset says.
void SetIcon(GdkDragContext* context, DragRef drag) {
  cairo_surface_t* source = drag->image ? QuartzImageGetSurface(drag->image) : nullptr;
  if (source == nullptr) {
    gtk_drag_set_icon_default(context);
    return;
  }
  const int w = cairo_image_surface_get_width(source), h = cairo_image_surface_get_height(source);
  cairo_surface_t* icon = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(icon);
  cairo_set_source_surface(cr, source, 0, 0);
  cairo_paint_with_alpha(cr, 0.75);
  cairo_destroy(cr);
  cairo_surface_set_device_offset(icon, -drag->imageOffset.x, -drag->imageOffset.y);
  gtk_drag_set_icon_surface(context, icon);
  cairo_surface_destroy(icon);
}

OSErr Run(DragRef drag, DragSession& session) {
  WindowRef sourceWindow = drag->sourceWindow;
  GtkWidget* area = sourceWindow ? GtkHostContentWidget(sourceWindow) : nullptr;
  if (area == nullptr || !gtk_widget_get_realized(area)) {
    session.Cancel();
    return userCanceledErr;
  }
  bool text = false, files = false;
  int promised = 0;
  DragItemRef saveItem = 0;
  for (const DragItemRecord& item : drag->items) {
    text = text || !FlavorText(drag, item.ref).empty();
    // A promised file is not made before a receiver asks for it.
    if (PromisesURI(drag, item.ref)) {
      ++promised;
      saveItem = item.ref;
    }
    files = files || PromisesURI(drag, item.ref) || !FlavorURI(drag, item.ref).empty();
  }
  // Direct save names one file.
  const std::string saveName = promised == 1 ? PromisedName(drag, saveItem) : std::string();
  GtkTargetList* targets = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add(targets, gdk_atom_intern_static_string(kInternalTarget), GTK_TARGET_SAME_APP, kInfoInternal);
  if (!saveName.empty()) gtk_target_list_add(targets, DirectSaveAtom(), GTK_TARGET_OTHER_APP, kInfoDirectSave);
  if (files) gtk_target_list_add_uri_targets(targets, kInfoURIs);
  if (text) gtk_target_list_add_text_targets(targets, kInfoText);

  Outgoing out;
  out.drag = drag;
  out.session = &session;
  out.source = area;
  gOut = &out;
  const gulong get = g_signal_connect(area, "drag-data-get", G_CALLBACK(OnDataGet), nullptr);
  const gulong end = g_signal_connect(area, "drag-end", G_CALLBACK(OnDragEnd), nullptr);
  const gulong failed = g_signal_connect(area, "drag-failed", G_CALLBACK(OnDragFailed), nullptr);
  const CGPoint origin = DragWindowOrigin(sourceWindow);
  g_object_ref(area);
  GdkDragContext* context =
      gtk_drag_begin_with_coordinates(area, targets, GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE), 1, nullptr,
                                      int(drag->origin.x - origin.x), int(drag->origin.y - origin.y));
  gtk_target_list_unref(targets);
  if (context != nullptr) {
    SetIcon(context, drag);
    GdkWindow* window = gdk_drag_context_get_source_window(context);
    if (!saveName.empty() && window != nullptr) {
      out.directSave = saveItem;
      out.saveWindow = GDK_WINDOW(g_object_ref(window));
      SetDirectSaveName(window, saveName);
    }
    while (!out.ended) g_main_context_iteration(nullptr, TRUE);
  } else {
    out.failed = true;
  }
  g_signal_handler_disconnect(area, get);
  g_signal_handler_disconnect(area, end);
  g_signal_handler_disconnect(area, failed);
  g_object_unref(area);
  if (out.saveWindow != nullptr) {
    gdk_property_delete(out.saveWindow, DirectSaveAtom());
    g_object_unref(out.saveWindow);
  }
  gOut = nullptr;
  if (gLeaveSource != 0) {
    g_source_remove(gLeaveSource);
    gLeaveSource = 0;
  }
  // The pointer went to the drag: the press that started it is over.
  GtkHostEndPointerTrack();
  OSErr result = userCanceledErr;
  if (out.dropped)
    result = out.dropStatus;
  else if (!out.failed)
    result = noErr;  // another program took it
  session.Cancel();
  return result;
}

// --- Drags of other programs ------------------------------------------------------------------

void EndIncoming() {
  if (gIn == nullptr) return;
  Incoming* in = gIn;
  gIn = nullptr;
  if (in->session) in->session->Cancel();
  in->session.reset();
  if (in->drag) DisposeDrag(in->drag);
  g_object_unref(in->context);
  g_object_unref(in->widget);
  delete in;
}

void AddText(DragRef drag, const std::string& utf8) {
  CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                          kCFStringEncodingUTF8, false);
  if (s == nullptr) return;
  const CFIndex length = CFStringGetLength(s);
  std::vector<UniChar> units(static_cast<size_t>(length));
  CFStringGetCharacters(s, CFRange{0, length}, units.data());
  AddDragItemFlavor(drag, 1, 'utxt', units.data(), Size(units.size() * sizeof(UniChar)), 0);
  AddDragItemFlavor(drag, 1, 'utf8', utf8.data(), Size(utf8.size()), 0);
  if (CFDataRef roman = CFStringCreateExternalRepresentation(nullptr, s, kCFStringEncodingMacRoman, 0)) {
    AddDragItemFlavor(drag, 1, 'TEXT', CFDataGetBytePtr(roman), CFDataGetLength(roman), 0);
    CFRelease(roman);
  }
  CFRelease(s);
}

void AddFiles(DragRef drag, gchar** uris) {
  DragItemRef ref = 0;
  for (gchar** u = uris; u && *u; ++u) {
    const std::string uri(*u);
    if (uri.empty()) continue;
    ++ref;
    gchar* path = g_filename_from_uri(*u, nullptr, nullptr);
    if (path != nullptr) {
      FSRef file{};
      FSSpec spec{};
      if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path), &file, nullptr) == noErr &&
          FSGetCatalogInfo(&file, 0, nullptr, nullptr, &spec, nullptr) == noErr) {
        HFSFlavor hfs{};
        hfs.fileSpec = spec;
        AddDragItemFlavor(drag, ref, 'hfs ', &hfs, sizeof hfs, 0);
      }
      g_free(path);
    }
    AddDragItemFlavor(drag, ref, 'furl', uri.data(), Size(uri.size()), 0);
  }
}

void FinishIncomingDrop() {
  Incoming* in = gIn;
  in->session->MoveTo(in->window, in->global, CurrentModifiers(in->widget));
  const OSErr status = in->session->Drop(nullptr);
  gtk_drag_finish(in->context, status == noErr, FALSE, in->time);
  EndIncoming();
}

void StartIncoming(GtkWidget* widget, GdkDragContext* context, guint time) {
  EndIncoming();
  gIn = new Incoming;
  gIn->context = GDK_DRAG_CONTEXT(g_object_ref(context));
  gIn->widget = GTK_WIDGET(g_object_ref(widget));
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_uri_targets(list, kInfoURIs);
  GdkAtom target = gtk_drag_dest_find_target(widget, context, list);
  gtk_target_list_unref(list);
  if (target == GDK_NONE) {
    list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, kInfoText);
    target = gtk_drag_dest_find_target(widget, context, list);
    gtk_target_list_unref(list);
  }
  if (target != GDK_NONE) {
    gIn->requested = true;
    gtk_drag_get_data(widget, context, target, time);
  }
}

void OnDataReceived(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* data, guint, guint time,
                    gpointer) {
  if (gIn == nullptr || gIn->context != context || gIn->drag != nullptr) return;
  DragRef drag = DragCreateIncoming();
  if (drag == nullptr) return;
  if (gchar** uris = gtk_selection_data_get_uris(data)) {
    AddFiles(drag, uris);
    g_strfreev(uris);
  } else if (guchar* text = gtk_selection_data_get_text(data)) {
    AddText(drag, reinterpret_cast<const char*>(text));
    g_free(text);
  }
  gIn->drag = drag;
  gIn->session = std::make_unique<DragSession>(drag);
  if (gIn->dropPending) {
    gIn->time = time;
    FinishIncomingDrop();
    return;
  }
  gIn->session->MoveTo(gIn->window, gIn->global, CurrentModifiers(gIn->widget));
  gdk_drag_status(context, gIn->session->WouldAccept() ? Action(context) : GdkDragAction(0), time);
}

// --- Destination signals of every window ------------------------------------------------------------

gboolean LeaveNow(gpointer) {
  gLeaveSource = 0;
  if (gOut != nullptr)
    gOut->session->MoveTo(nullptr, gOut->drag->mouse, gOut->drag->modifiers);
  else
    EndIncoming();
  return G_SOURCE_REMOVE;
}

void CancelLeave() {
  if (gLeaveSource != 0) g_source_remove(gLeaveSource);
  gLeaveSource = 0;
}

gboolean OnMotion(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time, gpointer) {
  CancelLeave();
  WindowRef window = WindowOfWidget(widget);
  const CGPoint global = Global(window, x, y);
  if (IsOwnDrag(widget, context)) {
    gOut->session->MoveTo(window, global, CurrentModifiers(widget));
    gdk_drag_status(context, gOut->session->WouldAccept() ? Action(context) : GdkDragAction(0), time);
    return TRUE;
  }
  if (gIn == nullptr || gIn->context != context) StartIncoming(widget, context, time);
  gIn->window = window;
  gIn->global = global;
  if (gIn->session) {
    gIn->session->MoveTo(window, global, CurrentModifiers(widget));
    gdk_drag_status(context, gIn->session->WouldAccept() ? Action(context) : GdkDragAction(0), time);
  } else {
    gdk_drag_status(context, GdkDragAction(0), time);
  }
  return TRUE;
}

void OnLeave(GtkWidget*, GdkDragContext*, guint, gpointer) {
  CancelLeave();
  gLeaveSource = g_idle_add(LeaveNow, nullptr);
}

gboolean OnDrop(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time, gpointer) {
  CancelLeave();
  WindowRef window = WindowOfWidget(widget);
  const CGPoint global = Global(window, x, y);
  if (IsOwnDrag(widget, context)) {
    gOut->session->MoveTo(window, global, CurrentModifiers(widget));
    gOut->dropStatus = gOut->session->Drop(nullptr);
    gOut->dropped = true;
    gtk_drag_finish(context, gOut->dropStatus == noErr, FALSE, time);
    return TRUE;
  }
  if (gIn == nullptr || gIn->context != context) StartIncoming(widget, context, time);
  gIn->window = window;
  gIn->global = global;
  gIn->time = time;
  gIn->dropPending = true;
  if (gIn->session) {
    FinishIncomingDrop();
  } else if (!gIn->requested) {
    gtk_drag_finish(context, FALSE, FALSE, time);
    EndIncoming();
  }
  return TRUE;
}

}  // namespace

void GtkHostDragStart() { DragSetTrackRunner(Run); }

void GtkHostDragAttach(GtkWidget* area) {
  gtk_drag_dest_set(area, GtkDestDefaults(0), nullptr, 0,
                    GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
  GtkTargetList* list = DestinationTargets();
  gtk_drag_dest_set_target_list(area, list);
  gtk_target_list_unref(list);
  g_signal_connect(area, "drag-motion", G_CALLBACK(OnMotion), nullptr);
  g_signal_connect(area, "drag-leave", G_CALLBACK(OnLeave), nullptr);
  g_signal_connect(area, "drag-drop", G_CALLBACK(OnDrop), nullptr);
  g_signal_connect(area, "drag-data-received", G_CALLBACK(OnDataReceived), nullptr);
}
