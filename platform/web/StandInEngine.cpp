// The headless stand-in web engine: loads file URLs itself, from the event
// loop, and tells its client what WebKitGTK would, in WebKitGTK's order.
#include <gio/gio.h>
#include <sys/stat.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "HINativeView.h"
#include "StandIn.h"
#include "WebEngine.h"

namespace web {
namespace {

class StandInEngine;
std::set<StandInEngine*>& Live() {
  static auto* live = new std::set<StandInEngine*>();
  return *live;
}

// The local file a URI names, empty for anything else.
std::string LocalPath(const std::string& uri) {
  gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  if (path == nullptr) return std::string();
  std::string result(path);
  g_free(path);
  return result;
}

bool ReadWhole(const std::string& path, std::string* out) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  gchar* data = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &data, &length, nullptr)) return false;
  out->assign(data, length);
  g_free(data);
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string DecodeEntities(const std::string& s) {
  static const std::pair<const char*, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool done = false;
    for (const auto& [name, c] : kEntities) {
      const size_t n = std::char_traits<char>::length(name);
      if (s.compare(i, n, name) == 0) {
        out += c;
        i += n;
        done = true;
        break;
      }
    }
    if (!done) out += s[i++];
  }
  return out;
}

// The text of the page's title element, blanks collapsed; empty when none.
std::string TitleOf(const std::string& page) {
  const std::string lower = Lower(page);
  size_t open = lower.find("<title");
  if (open == std::string::npos) return std::string();
  open = lower.find('>', open);
  const size_t close = open == std::string::npos ? open : lower.find("</title", open);
  if (close == std::string::npos) return std::string();
  std::string title;
  bool blank = false;
  for (size_t i = open + 1; i < close; ++i) {
    if (std::isspace(static_cast<unsigned char>(page[i]))) {
      blank = !title.empty();
      continue;
    }
    if (blank) title += ' ';
    blank = false;
    title += page[i];
  }
  return DecodeEntities(title);
}

// The src of each img element, as written.
std::vector<std::string> ImagesOf(const std::string& page) {
  std::vector<std::string> sources;
  const std::string lower = Lower(page);
  for (size_t at = lower.find("<img"); at != std::string::npos; at = lower.find("<img", at + 4)) {
    const size_t end = lower.find('>', at);
    size_t src = lower.find("src=", at);
    if (src == std::string::npos || (end != std::string::npos && src > end)) continue;
    src += 4;
    const char quote = page[src];
    if (quote == '"' || quote == '\'') {
      const size_t stop = page.find(quote, src + 1);
      if (stop != std::string::npos) sources.push_back(page.substr(src + 1, stop - src - 1));
    }
  }
  return sources;
}

GError* NotFound(const std::string& uri) {
  return g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "%s cannot be found", uri.c_str());
}

class StandInEngine : public Engine {
 public:
  explicit StandInEngine(EngineClient* client) : client_(client) { Live().insert(this); }
  ~StandInEngine() override {
    Live().erase(this);
    if (idle_ != 0) g_source_remove(idle_);
  }

  void* Widget() override { return this; }
  void Load(const std::string& uri) override {
    Note("load " + uri);
    if (!history_.empty()) history_.resize(index_ + 1);
    history_.push_back(uri);
    index_ = history_.size() - 1;
    Schedule(uri);
  }
  void Reload() override {
    Note("reload");
    if (!history_.empty()) Schedule(history_[index_]);
  }
  void Stop() override {
    Note("stop");
    if (idle_ == 0) return;
    g_source_remove(idle_);
    idle_ = 0;
    // A load stopped before its page came: it failed as cancelled.
    client_->LoadStarted(nullptr);
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_CANCELLED, "Load cancelled");
    client_->LoadFailed(nullptr, error);
    client_->LoadFinished(nullptr);
    g_error_free(error);
  }
  void GoBack() override {
    if (!CanGoBack()) return;
    --index_;
    Note("back " + history_[index_]);
    Schedule(history_[index_]);
  }
  void GoForward() override {
    if (!CanGoForward()) return;
    ++index_;
    Note("forward " + history_[index_]);
    Schedule(history_[index_]);
  }
  bool CanGoBack() override { return !history_.empty() && index_ > 0; }
  bool CanGoForward() override { return index_ + 1 < history_.size(); }

  // What a page does by itself.
  const std::string& Calls() const { return calls_; }
  EngineClient* Client() { return client_; }
  std::string chosen;
  bool hasChosen = false;

 private:
  void Note(const std::string& line) { calls_ += line + "\n"; }

  void Schedule(const std::string& uri) {
    pending_ = uri;
    if (idle_ == 0) idle_ = g_idle_add(&StandInEngine::Play, this);
  }

  static gboolean Play(gpointer data) {
    auto* self = static_cast<StandInEngine*>(data);
    self->idle_ = 0;
    self->PlayLoad(self->pending_);
    return G_SOURCE_REMOVE;
  }

  // One whole load, as WebKitGTK tells it. The client may do anything in its
  // answers, even load again: the story of this load is told to its end.
  void PlayLoad(const std::string& uri) {
    EngineClient* c = client_;
    void* source = &dataSource_;
    c->LoadStarted(nullptr);
    std::string page;
    const std::string path = LocalPath(uri);
    const void* id = c->ResourceStarted(source, uri, nullptr);
    if (!ReadWhole(path, &page)) {
      GError* error = NotFound(uri);
      c->ResourceFailed(source, id, error);
      c->LoadFailed(nullptr, error);
      c->LoadFinished(nullptr);
      g_error_free(error);
      return;
    }
    c->LoadCommitted(source);
    c->ResourceResponse(source, id, nullptr, page.size());
    c->ResourceFinished(source, id);
    for (const std::string& src : ImagesOf(page)) {
      gchar* resolved = g_uri_resolve_relative(uri.c_str(), src.c_str(), G_URI_FLAGS_NONE, nullptr);
      if (resolved == nullptr) continue;
      const std::string image(resolved);
      g_free(resolved);
      const void* imageID = c->ResourceStarted(source, image, nullptr);
      std::string bytes;
      if (ReadWhole(LocalPath(image), &bytes)) {
        c->ResourceResponse(source, imageID, nullptr, bytes.size());
        c->ResourceFinished(source, imageID);
      } else {
        GError* error = NotFound(image);
        c->ResourceFailed(source, imageID, error);
        g_error_free(error);
      }
    }
    const std::string title = TitleOf(page);
    if (!title.empty()) c->TitleChanged(title);
    c->LoadFinished(source);
  }

  EngineClient* client_;
  std::vector<std::string> history_;
  size_t index_ = 0;
  std::string pending_;
  guint idle_ = 0;
  std::string calls_;
  int dataSource_ = 0;  // the main resource, as far as the client can see
};

StandInEngine* StandInOf(HIViewRef view) {
  auto* engine = static_cast<StandInEngine*>(HINativeViewGetWidget(view));
  return engine != nullptr && Live().count(engine) != 0 ? engine : nullptr;
}

}  // namespace

std::unique_ptr<Engine> CreateStandInEngine(EngineClient* client) {
  return std::make_unique<StandInEngine>(client);
}

}  // namespace web

using web::StandInOf;

const char* OstrelleStandInCalls(HIViewRef view) {
  auto* engine = StandInOf(view);
  return engine ? engine->Calls().c_str() : nullptr;
}

void OstrelleStandInHover(HIViewRef view, const char* link, const char* image) {
  if (auto* engine = StandInOf(view)) engine->Client()->MouseOverElement(link ? link : "", image ? image : "");
}

void OstrelleStandInSetTitle(HIViewRef view, const char* title) {
  if (auto* engine = StandInOf(view); engine != nullptr && title != nullptr && *title != '\0')
    engine->Client()->TitleChanged(title);
}

int OstrelleStandInScriptDialog(HIViewRef view, int type, const char* message) {
  auto* engine = StandInOf(view);
  if (engine == nullptr) return 0;
  const std::string text = message ? message : "";
  switch (type) {
    case 0: engine->Client()->ScriptAlert(text); return 0;
    case 1: return engine->Client()->ScriptConfirm(text) ? 1 : 0;
    default: return 1;  // a prompt gets no text
  }
}

void OstrelleStandInClickFileButton(HIViewRef view) {
  auto* engine = StandInOf(view);
  if (engine == nullptr) return;
  engine->hasChosen = false;
  engine->chosen.clear();
  engine->Client()->ChooseFile([view](const std::string* path) {
    auto* e = StandInOf(view);
    if (e == nullptr) return;
    e->hasChosen = path != nullptr;
    e->chosen = path ? *path : std::string();
  });
}

const char* OstrelleStandInChosenFile(HIViewRef view) {
  auto* engine = StandInOf(view);
  return engine && engine->hasChosen ? engine->chosen.c_str() : nullptr;
}

int OstrelleStandInOpenWindow(HIViewRef view, const char* uri) {
  auto* engine = StandInOf(view);
  return engine && uri ? engine->Client()->CreateWindow(uri, nullptr) : 0;
}
