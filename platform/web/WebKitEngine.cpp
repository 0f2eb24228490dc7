// The web engine on WebKitGTK 4.1: one WebKitWebView per web view, its
// signals told to the client.
#include <webkit2/webkit2.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Host.h"
#include "WebEngine.h"

namespace web {
namespace {

const char kResourceKey[] = "quorvel-resource";

// What the engine keeps of one resource: the client's identifier and whether
// it failed (WebKitGTK tells "finished" after "failed" too).
struct ResourceState {
  class WebKitEngine* engine;
  const void* id;
  bool failed;
  bool told;
};

class WebKitEngine : public Engine {
 public:
  explicit WebKitEngine(EngineClient* client) : client_(client) {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_object_ref_sink(view_);
    Connect("load-changed", G_CALLBACK(OnLoadChanged));
    Connect("load-failed", G_CALLBACK(OnLoadFailed));
    Connect("notify::title", G_CALLBACK(OnTitle));
    Connect("notify::favicon", G_CALLBACK(OnFavicon));
    Connect("notify::uri", G_CALLBACK(OnURI));
    Connect("resource-load-started", G_CALLBACK(OnResourceStarted));
    Connect("mouse-target-changed", G_CALLBACK(OnMouseTarget));
    Connect("create", G_CALLBACK(OnCreate));
    Connect("script-dialog", G_CALLBACK(OnScriptDialog));
    Connect("run-file-chooser", G_CALLBACK(OnFileChooser));
    Connect("permission-request", G_CALLBACK(OnPermission));
    Connect("web-process-terminated", G_CALLBACK(OnProcessEnded));
    gtk_widget_show(GTK_WIDGET(view_));
  }

  ~WebKitEngine() override {
    g_signal_handlers_disconnect_by_data(view_, this);
    // Resources still loading tell nobody any more.
    for (ResourceState* state : resources_) state->engine = nullptr;
    webkit_web_view_stop_loading(view_);
    g_object_unref(view_);
  }

  void* Widget() override { return view_; }
  void Load(const std::string& uri) override { webkit_web_view_load_uri(view_, uri.c_str()); }
  void Reload() override { webkit_web_view_reload(view_); }
  void Stop() override { webkit_web_view_stop_loading(view_); }
  void GoBack() override { webkit_web_view_go_back(view_); }
  void GoForward() override { webkit_web_view_go_forward(view_); }
  bool CanGoBack() override { return webkit_web_view_can_go_back(view_); }
  bool CanGoForward() override { return webkit_web_view_can_go_forward(view_); }

  void Forget(ResourceState* state) {
    for (auto it = resources_.begin(); it != resources_.end(); ++it)
      if (*it == state) {
        resources_.erase(it);
        break;
      }
  }

 private:
  void Connect(const char* signal, GCallback callback) { g_signal_connect(view_, signal, callback, this); }
  void* DataSource() { return webkit_web_view_get_main_resource(view_); }

  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    switch (event) {
      case WEBKIT_LOAD_STARTED: self->client_->LoadStarted(self->DataSource()); break;
      case WEBKIT_LOAD_REDIRECTED: self->client_->LoadRedirected(self->DataSource()); break;
      case WEBKIT_LOAD_COMMITTED: self->client_->LoadCommitted(self->DataSource()); break;
      case WEBKIT_LOAD_FINISHED: self->client_->LoadFinished(self->DataSource()); break;
    }
  }

  // Handled here: WebKitGTK would otherwise show an error page of its own,
  // which is a second load.
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    self->client_->LoadFailed(self->DataSource(), error);
    return TRUE;
  }

  static void OnTitle(WebKitWebView* view, GParamSpec*, gpointer data) {
    const gchar* title = webkit_web_view_get_title(view);
    if (title != nullptr && *title != '\0') static_cast<WebKitEngine*>(data)->client_->TitleChanged(title);
  }

  static void OnFavicon(WebKitWebView* view, GParamSpec*, gpointer data) {
    if (cairo_surface_t* icon = webkit_web_view_get_favicon(view))
      static_cast<WebKitEngine*>(data)->client_->IconChanged(icon);
  }

  // A new URI while nothing loads is a move within the page (an anchor, the
  // history API).
  static void OnURI(WebKitWebView* view, GParamSpec*, gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    if (!webkit_web_view_is_loading(view)) self->client_->LocationChangedWithinPage(self->DataSource());
  }

  static void OnResourceStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest* request,
                                gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    const gchar* uri = webkit_uri_request_get_uri(request);
    auto* state = new ResourceState{self, nullptr, false, false};
    self->resources_.push_back(state);
    g_object_set_data_full(G_OBJECT(resource), kResourceKey, state, [](gpointer p) {
      auto* s = static_cast<ResourceState*>(p);
      if (s->engine != nullptr) s->engine->Forget(s);
      delete s;
    });
    state->id = self->client_->ResourceStarted(self->DataSource(), uri ? uri : "", request);
    g_signal_connect(resource, "notify::response", G_CALLBACK(OnResourceResponse), nullptr);
    g_signal_connect(resource, "failed", G_CALLBACK(OnResourceFailed), nullptr);
    g_signal_connect(resource, "finished", G_CALLBACK(OnResourceFinished), nullptr);
  }

  static ResourceState* StateOf(WebKitWebResource* resource) {
    auto* state = static_cast<ResourceState*>(g_object_get_data(G_OBJECT(resource), kResourceKey));
    return state != nullptr && state->engine != nullptr ? state : nullptr;
  }

  static void OnResourceResponse(WebKitWebResource* resource, GParamSpec*, gpointer) {
    ResourceState* state = StateOf(resource);
    WebKitURIResponse* response = webkit_web_resource_get_response(resource);
    if (state == nullptr || response == nullptr || state->told) return;
    state->engine->client_->ResourceResponse(state->engine->DataSource(), state->id, response,
                                             webkit_uri_response_get_content_length(response));
  }

  static void OnResourceFailed(WebKitWebResource* resource, GError* error, gpointer) {
    ResourceState* state = StateOf(resource);
    if (state == nullptr || state->told) return;
    state->failed = state->told = true;
    state->engine->client_->ResourceFailed(state->engine->DataSource(), state->id, error);
  }

  static void OnResourceFinished(WebKitWebResource* resource, gpointer) {
    ResourceState* state = StateOf(resource);
    if (state == nullptr || state->told) return;
    state->told = true;
    state->engine->client_->ResourceFinished(state->engine->DataSource(), state->id);
  }

  static void OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer data) {
    const gchar* link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    const gchar* image =
        webkit_hit_test_result_context_is_image(hit) ? webkit_hit_test_result_get_image_uri(hit) : nullptr;
    static_cast<WebKitEngine*>(data)->client_->MouseOverElement(link ? link : "", image ? image : "");
  }

  // The client loads the new window's page where it wants it; WebKitGTK
  // gets no view of its own back.
  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const gchar* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    static_cast<WebKitEngine*>(data)->client_->CreateWindow(uri ? uri : "", request);
    return nullptr;
  }

  static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    const gchar* message = webkit_script_dialog_get_message(dialog);
    const std::string text = message ? message : "";
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
      case WEBKIT_SCRIPT_DIALOG_ALERT: self->client_->ScriptAlert(text); break;
      case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, self->client_->ScriptConfirm(text));
        break;
      case WEBKIT_SCRIPT_DIALOG_PROMPT: break;  // no panel: the script gets null
    }
    return TRUE;
  }

  static gboolean OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer data) {
    g_object_ref(request);
    static_cast<WebKitEngine*>(data)->client_->ChooseFile([request](const std::string* path) {
      if (path != nullptr) {
        const gchar* files[] = {path->c_str(), nullptr};
        webkit_file_chooser_request_select_files(request, files);
      } else {
        webkit_file_chooser_request_cancel(request);
      }
      g_object_unref(request);
    });
    return TRUE;
  }

  // The page's process ended (it crashed, or took too much memory): the page
  // is gone, which the client hears as a failed load.
  static void OnProcessEnded(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    auto* self = static_cast<WebKitEngine*>(data);
    GError* error = g_error_new_literal(WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FAILED, "The page's process ended");
    self->client_->LoadFailed(self->DataSource(), error);
    g_error_free(error);
  }

  // Pages get no camera, location or notifications from the editor.
  static gboolean OnPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
    webkit_permission_request_deny(request);
    return TRUE;
  }

  EngineClient* client_;
  WebKitWebView* view_ = nullptr;
  std::vector<ResourceState*> resources_;
};

}  // namespace

bool WebKitAvailable() { return HostGetKind() == kHostGtk; }

void WebKitInitialize() {
  // The default directory (in the cache folder): pages' icons are kept.
  webkit_web_context_set_favicon_database_directory(webkit_web_context_get_default(), nullptr);
}

std::unique_ptr<Engine> CreateWebKitEngine(EngineClient* client) { return std::make_unique<WebKitEngine>(client); }

void EngineInitialize() {
  static bool done = false;
  if (done) return;
  done = true;
  if (WebKitAvailable()) WebKitInitialize();
}

std::unique_ptr<Engine> CreateEngine(EngineClient* client) {
  return WebKitAvailable() ? CreateWebKitEngine(client) : CreateStandInEngine(client);
}

}  // namespace web
