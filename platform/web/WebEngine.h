// The web engine behind the Ostrelle bundle's web views (linked only into the
// bundle). Two engines answer the same interface:
// - WebKitGTK 4.1, under the desktop host, or headless when QUORVEL_WEB_ENGINE
//   is "webkit" and a display can be opened (the web view then lives in an
//   off-screen window of its own);
// - headless otherwise, a stand-in that loads file URLs itself and tells its
//   client the same things in the same order as WebKitGTK does: load started,
//   the main resource started, committed, its response, finished, the page's
//   images as resources, the title, load finished; for a missing file or a
//   URL it cannot fetch, started, the resource failed, load failed and then
//   (as WebKitGTK does) load finished. Everything arrives from the event loop,
//   never inside the call that started it. What a page does by itself
//   (hovering, script dialogs, a file chooser, a new window, a title set by a
//   script) is played on a stand-in view with the functions of StandIn.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace web {

// What the engine tells about one web view. Opaque pointers are the engine's
// objects, valid during the call.
class EngineClient {
 public:
  virtual ~EngineClient() = default;
  // The main frame's load: started, redirected by the server, committed,
  // finished; failed with the engine's error (a GError*) before or after the
  // commit. dataSource is the main resource, nil when there is none yet.
  virtual void LoadStarted(void* dataSource) = 0;
  virtual void LoadRedirected(void* dataSource) = 0;
  virtual void LoadCommitted(void* dataSource) = 0;
  virtual void LoadFinished(void* dataSource) = 0;
  virtual void LoadFailed(void* dataSource, void* error) = 0;
  virtual void LocationChangedWithinPage(void* dataSource) = 0;
  // The page's title (UTF-8, never empty) and icon, whenever they change:
  // before or after the load finished.
  virtual void TitleChanged(const std::string& title) = 0;
  virtual void IconChanged(cairo_surface_t* icon) = 0;
  // A resource of the page (the main resource first): its identifier comes
  // from the client and is handed back with the rest of its story.
  virtual const void* ResourceStarted(void* dataSource, const std::string& uri, void* request) = 0;
  virtual void ResourceResponse(void* dataSource, const void* id, void* response, uint64_t contentLength) = 0;
  virtual void ResourceFinished(void* dataSource, const void* id) = 0;
  virtual void ResourceFailed(void* dataSource, const void* id, void* error) = 0;
  // The pointer is over a link and/or an image (UTF-8 URIs, empty when none).
  virtual void MouseOverElement(const std::string& link, const std::string& image) = 0;
  // The page asks for a new window to load uri in. True when the client took
  // it (and loads it itself); false leaves the request unanswered.
  virtual bool CreateWindow(const std::string& uri, void* request) = 0;
  // Script dialogs, run modally; prompt() gets no text.
  virtual void ScriptAlert(const std::string& message) = 0;
  virtual bool ScriptConfirm(const std::string& message) = 0;
  // A file button: choose one file; done gets its whole path, or nil when
  // cancelled. done may be called later, from the event loop.
  virtual void ChooseFile(std::function<void(const std::string* path)> done) = 0;
};

class Engine {
 public:
  virtual ~Engine() = default;
  // The widget a native child view shows: a GtkWidget for WebKitGTK, the
  // engine itself for the stand-in.
  virtual void* Widget() = 0;
  virtual void Load(const std::string& uri) = 0;
  virtual void Reload() = 0;
  virtual void Stop() = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual bool CanGoBack() = 0;
  virtual bool CanGoForward() = 0;
};

// Prepares the engine once per process (WebKitGTK: the favicon database);
// called before the first web view.
void EngineInitialize();
// A new web view's engine, telling client (which outlives it).
std::unique_ptr<Engine> CreateEngine(EngineClient* client);

// The engines (WebKitEngine.cpp, StandInEngine.cpp). WebKitAvailable answers
// whether WebKitGTK can show views in this process (a display is open or can
// be opened).
bool WebKitAvailable();
void WebKitInitialize();
std::unique_ptr<Engine> CreateWebKitEngine(EngineClient* client);
std::unique_ptr<Engine> CreateStandInEngine(EngineClient* client);

}  // namespace web
