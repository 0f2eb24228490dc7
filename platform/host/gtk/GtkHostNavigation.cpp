// The desktop's navigation dialogs: a GtkFileChooserDialog for the file
// dialogs, a GtkMessageDialog for the save-changes and review questions, each
// transient for its window. Sheets are shown and answer from the "response"
// signal; application-modal dialogs run a nested loop.
#include <sys/stat.h>

#include <string>
#include <unordered_map>

#include "CGContext.h"
#include "GtkHost.h"
#include "NavigationInternal.h"
#include "QuartzInternal.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

struct Shown {
  NavDialogRef dialog = nullptr;
  NavKind kind = NavKind::GetFile;
  GtkWidget* widget = nullptr;
  std::string startFolder;
  std::string package;  // a project folder the user went into: chosen as a whole
  WindowRef dialogWindow = nullptr;
};

std::unordered_map<NavDialogRef, Shown*> gShown;

// The chooser holds back an accepting response while no file is selected;
// going into a project folder answers with a response of its own.
constexpr gint kResponsePackage = 1;

GtkWindow* ParentWidget(WindowRef parent) {
  WindowRef w = parent ? parent : ActiveNonFloatingWindow();
  GtkWidget* top = w ? GtkHostWindowWidget(w) : nullptr;
  return top && gtk_widget_get_visible(top) ? GTK_WINDOW(top) : nullptr;
}

// --- The custom area: the dialog window's views, drawn and clicked ------------------------

gboolean OnCustomDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* shown = static_cast<Shown*>(data);
  HIViewRef root = shown->dialogWindow ? WindowRootView(shown->dialogWindow) : nullptr;
  if (root == nullptr) return FALSE;
  if (CGContextRef context = QuartzCreateContextForCairo(cr, true)) {
    HIViewDrawInContext(root, context);
    CGContextRelease(context);
  }
  return FALSE;
}

gboolean OnCustomPress(GtkWidget* area, GdkEventButton* ev, gpointer data) {
  auto* shown = static_cast<Shown*>(data);
  if (ev->type != GDK_BUTTON_PRESS || shown->dialogWindow == nullptr || !WindowIsLive(shown->dialogWindow))
    return TRUE;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, kEventAttributeUserEvent, &e) != noErr) return TRUE;
  CGPoint where{ev->x, ev->y};
  UInt32 modifiers = GtkHostMacModifiers(ev->state);
  UInt16 button = ev->button == 3 ? 2 : 1;
  SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
  // The press is over before the view tracks it: a click.
  ViewHandleMouseDown(shown->dialogWindow, e);
  ReleaseEvent(e);
  gtk_widget_queue_draw(area);
  return TRUE;
}

GtkWidget* CustomArea(const NavRequest& r, Shown* shown) {
  if (r.customControl == nullptr || r.dialogWindow == nullptr) return nullptr;
  shown->dialogWindow = r.dialogWindow;
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, std::max(1, int(r.customSize.width)), std::max(1, int(r.customSize.height)));
  gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(area, "draw", G_CALLBACK(OnCustomDraw), shown);
  g_signal_connect(area, "button-press-event", G_CALLBACK(OnCustomPress), shown);
  gtk_widget_show(area);
  return area;
}

// --- Building --------------------------------------------------------------------------------

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void OnFolderChanged(GtkFileChooser* chooser, gpointer data) {
  auto* shown = static_cast<Shown*>(data);
  gchar* folder = gtk_file_chooser_get_current_folder(chooser);
  if (folder == nullptr) return;
  const std::string path = folder;
  g_free(folder);
  // A project folder is a document: going into it chooses it.
  if (path != shown->startFolder && NavIsDocumentPackage(path)) {
    shown->package = path;
    gtk_dialog_response(GTK_DIALOG(shown->widget), kResponsePackage);
  }
}

// The chooser's location entry, shown from the start: typing a path goes
// straight into it. Left hidden, the first key typed into the file list
// makes the entry, and the keys that follow reach it before it is realized
// (GTK's criticals on standard error, and characters of the path lost).
void ShowLocationEntry(GtkWidget* dialog) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))));
  for (GList* child = children; child != nullptr; child = child->next)
    if (GTK_IS_FILE_CHOOSER_WIDGET(child->data)) g_signal_emit_by_name(child->data, "location-popup", "");
  g_list_free(children);
}

// Escape cancels the dialog at once; the location entry would take the
// first press to hide itself.
gboolean OnChooserKey(GtkWidget* dialog, GdkEventKey* event, gpointer) {
  if (event->keyval != GDK_KEY_Escape || (event->state & gtk_accelerator_get_default_mod_mask()) != 0) return FALSE;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  return TRUE;
}

GtkWidget* BuildQuestion(const NavRequest& r, GtkWindow* parent) {
  std::string primary, secondary;
  if (r.kind == NavKind::AskSaveChanges) {
    const std::string name = r.saveFileName.empty() ? std::string("Untitled") : r.saveFileName;
    primary = "Do you want to save the changes you made in the document \u201C" + name + "\u201D?";
    secondary = "Your changes will be lost if you don't save them.";
  } else {
    primary = r.documentCount == 1
                  ? std::string("You have 1 document with unsaved changes. Do you want to review these changes?")
                  : "You have " + std::to_string(r.documentCount) +
                        " documents with unsaved changes. Do you want to review these changes?";
    secondary = "If you don't review your documents, all your changes will be lost.";
  }
  if (!r.message.empty()) secondary = r.message;
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_WARNING,
                                             GTK_BUTTONS_NONE, "%s", primary.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", secondary.c_str());
  if (!r.clientName.empty()) gtk_window_set_title(GTK_WINDOW(dialog), r.clientName.c_str());
  const std::string cancel = r.cancelLabel.empty() ? std::string("Cancel") : r.cancelLabel;
  if (r.kind == NavKind::AskSaveChanges) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "Don't Save", kNavUserActionDontSaveChanges);
    gtk_dialog_add_button(GTK_DIALOG(dialog), cancel.c_str(), kNavUserActionCancel);
    gtk_dialog_add_button(GTK_DIALOG(dialog), r.actionLabel.empty() ? "Save" : r.actionLabel.c_str(),
                          kNavUserActionSaveChanges);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), kNavUserActionSaveChanges);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "Discard Changes", kNavUserActionDiscardDocuments);
    gtk_dialog_add_button(GTK_DIALOG(dialog), cancel.c_str(), kNavUserActionCancel);
    gtk_dialog_add_button(GTK_DIALOG(dialog), "Review Changes\u2026", kNavUserActionReviewDocuments);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), kNavUserActionReviewDocuments);
  }
  return dialog;
}

GtkWidget* BuildChooser(const NavRequest& r, GtkWindow* parent, Shown* shown) {
  GtkFileChooserAction action = GTK_FILE_CHOOSER_ACTION_OPEN;
  const char* accept = "_Open";
  switch (r.kind) {
    case NavKind::ChooseFile: accept = "_Choose"; break;
    case NavKind::ChooseFolder:
      action = GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
      accept = "_Choose";
      break;
    case NavKind::PutFile:
      action = GTK_FILE_CHOOSER_ACTION_SAVE;
      accept = "_Save";
      break;
    default: break;
  }
  const std::string acceptText = r.actionLabel.empty() ? std::string(accept) : r.actionLabel;
  const std::string cancelText = r.cancelLabel.empty() ? std::string("_Cancel") : r.cancelLabel;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(r.title.c_str(), parent, action, cancelText.c_str(),
                                                  GTK_RESPONSE_CANCEL, acceptText.c_str(), GTK_RESPONSE_ACCEPT,
                                                  nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  if (r.kind == NavKind::GetFile) gtk_file_chooser_set_select_multiple(chooser, (r.optionFlags & kNavAllowMultipleFiles) != 0);
  gtk_file_chooser_set_show_hidden(chooser, (r.optionFlags & kNavAllowInvisibleFiles) != 0);
  if (r.kind == NavKind::PutFile) {
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, (r.optionFlags & kNavDontConfirmReplacement) == 0);
    gtk_file_chooser_set_current_name(chooser, r.saveFileName.c_str());
  }
  if (!r.location.empty() && IsFolder(r.location)) {
    gtk_file_chooser_set_current_folder(chooser, r.location.c_str());
    shown->startFolder = r.location;
  }
  if (r.width > 0 && r.height > 0) gtk_window_set_default_size(GTK_WINDOW(dialog), r.width, r.height);
  if (GtkWidget* area = CustomArea(r, shown)) gtk_file_chooser_set_extra_widget(chooser, area);
  if (r.kind == NavKind::GetFile || r.kind == NavKind::ChooseFile)
    g_signal_connect(dialog, "current-folder-changed", G_CALLBACK(OnFolderChanged), shown);
  if (r.kind != NavKind::PutFile) {
    ShowLocationEntry(dialog);
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnChooserKey), nullptr);
  }
  return dialog;
}

Shown* Build(const NavRequest& r) {
  auto* shown = new Shown;
  shown->dialog = r.dialog;
  shown->kind = r.kind;
  GtkWindow* parent = ParentWidget(r.parent);
  const bool question = r.kind == NavKind::AskSaveChanges || r.kind == NavKind::AskReview;
  shown->widget = question ? BuildQuestion(r, parent) : BuildChooser(r, parent, shown);
  gtk_window_set_modal(GTK_WINDOW(shown->widget), TRUE);
  gShown[r.dialog] = shown;
  return shown;
}

std::string Folder(GtkFileChooser* chooser) {
  gchar* folder = gtk_file_chooser_get_current_folder(chooser);
  std::string out = folder ? folder : "";
  g_free(folder);
  return out;
}

NavAnswer AnswerOf(Shown* shown, gint response) {
  NavAnswer a;
  gtk_window_get_size(GTK_WINDOW(shown->widget), &a.width, &a.height);
  if (shown->kind == NavKind::AskSaveChanges || shown->kind == NavKind::AskReview) {
    a.width = a.height = 0;  // a question keeps no size
    a.action = response > 0 && NavKindOffers(shown->kind, NavUserAction(response)) ? NavUserAction(response)
                                                                                   : kNavUserActionCancel;
    return a;
  }
  if (response == kResponsePackage && !shown->package.empty()) response = GTK_RESPONSE_ACCEPT;
  if (response != GTK_RESPONSE_ACCEPT) return a;
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(shown->widget);
  switch (shown->kind) {
    case NavKind::GetFile:
    case NavKind::ChooseFile: {
      a.action = shown->kind == NavKind::GetFile ? kNavUserActionOpen : kNavUserActionChoose;
      if (!shown->package.empty()) {
        a.paths.push_back(shown->package);
        break;
      }
      GSList* names = gtk_file_chooser_get_filenames(chooser);
      for (GSList* n = names; n; n = n->next) a.paths.push_back(static_cast<char*>(n->data));
      g_slist_free_full(names, g_free);
      break;
    }
    case NavKind::ChooseFolder: {
      a.action = kNavUserActionChoose;
      gchar* name = gtk_file_chooser_get_filename(chooser);
      if (name) a.paths.push_back(name);
      g_free(name);
      break;
    }
    case NavKind::PutFile: {
      a.action = kNavUserActionSaveAs;
      gchar* name = gtk_file_chooser_get_filename(chooser);
      if (name) {
        gchar* dir = g_path_get_dirname(name);
        gchar* base = g_path_get_basename(name);
        a.paths.push_back(dir);
        a.saveName = base;
        g_free(dir);
        g_free(base);
      } else {
        a.paths.push_back(Folder(chooser));
        gchar* typed = gtk_file_chooser_get_current_name(chooser);
        if (typed) a.saveName = typed;
        g_free(typed);
      }
      g_free(name);
      break;
    }
    default: break;
  }
  return a;
}

void Drop(Shown* shown) {
  gShown.erase(shown->dialog);
  if (shown->widget) gtk_widget_destroy(shown->widget);
  delete shown;
}

void RunModal(const NavRequest& request, NavAnswer* answer) {
  Shown* shown = Build(request);
  const gint response = gtk_dialog_run(GTK_DIALOG(shown->widget));
  *answer = AnswerOf(shown, response);
  Drop(shown);
}

void OnResponse(GtkDialog*, gint response, gpointer data) {
  auto* shown = static_cast<Shown*>(data);
  NavAnswer answer = AnswerOf(shown, response);
  NavDialogRef dialog = shown->dialog;
  Drop(shown);
  NavDialogAnswered(dialog, answer);
}

bool ShowSheet(const NavRequest& request) {
  Shown* shown = Build(request);
  g_signal_connect(shown->widget, "response", G_CALLBACK(OnResponse), shown);
  gtk_widget_show(shown->widget);
  return true;
}

void Dismiss(NavDialogRef dialog) {
  auto it = gShown.find(dialog);
  if (it != gShown.end()) Drop(it->second);
}

const NavPresenter kPresenter = {RunModal, ShowSheet, Dismiss};

}  // namespace

void GtkHostNavigationStart() { NavigationSetPresenter(&kPresenter); }

GtkWidget* GtkHostNavigationWidget(NavDialogRef dialog) {
  auto it = gShown.find(dialog);
  return it == gShown.end() ? nullptr : it->second->widget;
}
