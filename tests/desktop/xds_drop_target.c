/* A drop target that saves dragged files the direct way: at the drop it reads
 * the file name the source put into its window's "XdndDirectSave0" property
 * (printing "name NAME"), replaces it with a URI in the folder given on the
 * command line, asks for the "XdndDirectSave0" target and prints the source's
 * answer ("S", "E" or "F") on a line of its own. The word in the file
 * "control" beside the folder, read at each drop, chooses the URI:
 * "file" the file of the promised name in the folder, "folder" the folder
 * itself, "renamed" a file of another name there, "missing" the promised
 * name in a folder that does not exist. A drag that offers no direct save is
 * refused ("no-direct-save" is printed). */
#include <gtk/gtk.h>
#include <stdio.h>
#include <string.h>

static const char *folder;

static GdkAtom DirectSave(void) { return gdk_atom_intern_static_string("XdndDirectSave0"); }

static gboolean Offers(GdkDragContext *context) {
  for (GList *t = gdk_drag_context_list_targets(context); t != NULL; t = t->next)
    if (GDK_POINTER_TO_ATOM(t->data) == DirectSave()) return TRUE;
  return FALSE;
}

static gboolean OnMotion(GtkWidget *w, GdkDragContext *context, gint x, gint y, guint time, gpointer p) {
  (void)w, (void)x, (void)y, (void)p;
  gdk_drag_status(context, Offers(context) ? GDK_ACTION_COPY : 0, time);
  return TRUE;
}

static gboolean OnDrop(GtkWidget *w, GdkDragContext *context, gint x, gint y, guint time, gpointer p) {
  (void)x, (void)y, (void)p;
  GdkWindow *source = gdk_drag_context_get_source_window(context);
  if (!Offers(context) || source == NULL) {
    printf("no-direct-save\n");
    fflush(stdout);
    gtk_drag_finish(context, FALSE, FALSE, time);
    return TRUE;
  }
  GdkAtom type = GDK_NONE;
  gint format = 0, length = 0;
  guchar *name = NULL;
  if (!gdk_property_get(source, DirectSave(), gdk_atom_intern_static_string("text/plain"), 0, 1024, FALSE, &type,
                        &format, &length, &name) ||
      name == NULL) {
    printf("no-name\n");
    fflush(stdout);
    gtk_drag_finish(context, FALSE, FALSE, time);
    return TRUE;
  }
  gchar *text = g_strndup((const gchar *)name, (gsize)length);
  g_free(name);
  printf("name %s\n", text);
  gchar *mode = NULL;
  gchar *control = g_build_filename(folder, "..", "control", NULL);
  if (!g_file_get_contents(control, &mode, NULL, NULL)) mode = g_strdup("file");
  g_strstrip(mode);
  g_free(control);
  gchar *path = strcmp(mode, "folder") == 0    ? g_strdup(folder)
                : strcmp(mode, "renamed") == 0 ? g_build_filename(folder, "other.txt", NULL)
                : strcmp(mode, "missing") == 0 ? g_build_filename(folder, "missing", text, NULL)
                                               : g_build_filename(folder, text, NULL);
  printf("uri %s\n", mode);
  g_free(mode);
  gchar *uri = g_filename_to_uri(path, NULL, NULL);
  gdk_property_change(source, DirectSave(), gdk_atom_intern_static_string("text/plain"), 8, GDK_PROP_MODE_REPLACE,
                      (const guchar *)uri, (gint)strlen(uri));
  fflush(stdout);
  g_free(uri);
  g_free(path);
  g_free(text);
  gtk_drag_get_data(w, context, DirectSave(), time);
  return TRUE;
}

static void OnReceived(GtkWidget *w, GdkDragContext *context, gint x, gint y, GtkSelectionData *data, guint info,
                       guint time, gpointer p) {
  (void)w, (void)x, (void)y, (void)info, (void)p;
  const guchar *bytes = gtk_selection_data_get_data(data);
  const gint length = gtk_selection_data_get_length(data);
  const char answer = bytes != NULL && length == 1 ? (char)bytes[0] : '?';
  printf("%c\n", answer);
  fflush(stdout);
  gtk_drag_finish(context, answer == 'S', FALSE, time);
}

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  if (argc < 2) return 2;
  folder = argv[1];
  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Direct Save Target");
  gtk_window_move(GTK_WINDOW(window), 1268, 300);
  gtk_window_set_default_size(GTK_WINDOW(window), 128, 200);
  GtkWidget *box = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(box), gtk_label_new("save here"));
  gtk_drag_dest_set(box, 0, NULL, 0, GDK_ACTION_COPY);
  g_signal_connect(box, "drag-motion", G_CALLBACK(OnMotion), NULL);
  g_signal_connect(box, "drag-drop", G_CALLBACK(OnDrop), NULL);
  g_signal_connect(box, "drag-data-received", G_CALLBACK(OnReceived), NULL);
  gtk_container_add(GTK_CONTAINER(window), box);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
