// Documents from outside: the files of the command line and of later
// launches. The first launch registers a GApplication (HANDLES_OPEN) on the
// session bus; a later launch finds it there, hands it its files through the
// application's "open" call and ends. The running instance keeps the files as
// paths until the program is ready, then sends them to itself as one
// open-documents event per batch, from the event loop.
#include <gio/gio.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "CFBundle.h"
#include "AlertsInternal.h"
#include "CFString.h"
#include "CarbonEvents.h"
#include "Dialogs.h"
#include "Files.h"

namespace {

bool gStarted = false;
bool gPrimary = true;
bool gReady = false;
GApplication* gApplication = nullptr;
// Absolute paths, one batch per launch; a name that is no local file is
// kept as its URI with kNotLocal in front.
std::vector<std::vector<std::string>> gBatches;
const std::string kNotLocal = "\x01";
EventLoopTimerRef gTimer = nullptr;

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return std::string();
  char buf[1024] = {};
  return CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8) ? std::string(buf) : std::string();
}

// The files among the arguments, as GFiles (relative names against the
// current folder, file URIs as well).
std::vector<GFile*> FilesOf(int argc, char* const argv[]) {
  std::vector<GFile*> files;
  bool onlyFiles = false;
  for (int i = 1; i < argc && argv != nullptr; ++i) {
    const char* a = argv[i];
    if (a == nullptr || a[0] == '\0') continue;
    if (!onlyFiles && std::strcmp(a, "--") == 0) {
      onlyFiles = true;
      continue;
    }
    if (!onlyFiles && a[0] == '-') continue;
    files.push_back(g_file_new_for_commandline_arg(a));
  }
  return files;
}

void Deliver(EventLoopTimerRef, void*);

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : slash == 0 ? std::string("/") : path.substr(0, slash);
}

void ReportUnopened(const std::string& path, OSStatus status) {
  if (path.compare(0, kNotLocal.size(), kNotLocal) == 0) {
    const std::string uri = path.substr(kNotLocal.size());
    RunStopAlert("\u201C" + uri + "\u201D could not be opened.", "Only files on this computer can be opened.");
    return;
  }
  const std::string name = "\u201C" + BaseName(path) + "\u201D";
  const std::string folder = "\u201C" + FolderOf(path) + "\u201D";
  if (status == fnfErr || status == dirNFErr)
    RunStopAlert("The file " + name + " could not be opened because it does not exist.",
                    "There is no file of that name in the folder " + folder + ".");
  else if (status == permErr || status == afpAccessDenied)
    RunStopAlert("The file " + name + " could not be opened.",
                    "You do not have permission to open it (in the folder " + folder + ").");
  else
    RunStopAlert("The file " + name + " could not be opened.", "It is in the folder " + folder + ".");
}

void ScheduleDelivery() {
  if (!gReady || gBatches.empty()) return;
  if (gTimer == nullptr)
    InstallEventLoopTimer(GetMainEventLoop(), 0, 0, NewEventLoopTimerUPP(Deliver), nullptr, &gTimer);
  else
    SetEventLoopTimerNextFireTime(gTimer, 0);
}

void Queue(const std::vector<GFile*>& files) {
  std::vector<std::string> paths;
  for (GFile* f : files) {
    gchar* path = g_file_get_path(f);
    if (path != nullptr) {
      paths.push_back(path);
    } else {
      gchar* uri = g_file_get_uri(f);
      std::fprintf(stderr, "Quorvel: cannot open \"%s\": not a local file\n", uri ? uri : "?");
      paths.push_back(kNotLocal + (uri ? uri : "?"));
      g_free(uri);
    }
    g_free(path);
  }
  if (paths.empty()) return;
  gBatches.push_back(std::move(paths));
  ScheduleDelivery();
}

void SendBatch(const std::vector<std::string>& paths) {
  AEDescList list;
  AEInitializeDesc(&list);
  if (AECreateList(nullptr, 0, false, &list) != noErr) return;
  long count = 0;
  std::vector<std::pair<std::string, OSStatus>> unopened;
  for (const std::string& p : paths) {
    FSRef ref{};
    OSStatus s = p.compare(0, kNotLocal.size(), kNotLocal) == 0
                     ? OSStatus(paramErr)
                     : FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr);
    if (s != noErr) {
      if (p.compare(0, kNotLocal.size(), kNotLocal) != 0)
        std::fprintf(stderr, "Quorvel: cannot open \"%s\" (error %d)\n", p.c_str(), int(s));
      unopened.emplace_back(p, s);
      continue;
    }
    if (AEPutPtr(&list, 0, typeFSRef, &ref, sizeof ref) == noErr) ++count;
  }
  if (count > 0) {
    ProcessSerialNumber self = {0, kCurrentProcess};
    AEAddressDesc target;
    AEInitializeDesc(&target);
    AECreateDesc(typeProcessSerialNumber, &self, sizeof self, &target);
    AppleEvent event;
    AEInitializeDesc(&event);
    if (AECreateAppleEvent(kCoreEventClass, kAEOpenDocuments, &target, kAutoGenerateReturnID, kAnyTransactionID,
                           &event) == noErr) {
      AEPutParamDesc(&event, keyDirectObject, &list);
      OSErr status = AEDispatchAppleEvent(&event, nullptr);
      if (status != noErr) std::fprintf(stderr, "Quorvel: the open-documents event answered %d\n", int(status));
      AEDisposeDesc(&event);
    }
    AEDisposeDesc(&target);
  }
  AEDisposeDesc(&list);
  // After the files that open, so the alerts come over their windows.
  for (const auto& [path, status] : unopened) ReportUnopened(path, status);
}

void Deliver(EventLoopTimerRef, void*) {
  // A handler may run the loop (a modal alert) and more files may come in:
  // take the batches out first.
  while (!gBatches.empty()) {
    std::vector<std::string> batch = std::move(gBatches.front());
    gBatches.erase(gBatches.begin());
    SendBatch(batch);
  }
}

void OnOpen(GApplication*, GFile** files, gint count, gchar*, gpointer) {
  Queue(std::vector<GFile*>(files, files + count));
}

// A later launch without files: nothing to open; the desktop brings the
// program's windows forward itself.
void OnActivate(GApplication*, gpointer) {}

}  // namespace

Boolean AEStartApplicationInstance(CFStringRef applicationID, int argc, char* const argv[]) {
  if (gStarted) return gPrimary;
  gStarted = true;
  std::vector<GFile*> files = FilesOf(argc, argv);
  std::string id = applicationID ? UTF8(applicationID) : UTF8(CFBundleGetIdentifier(CFBundleGetMainBundle()));
  if (!id.empty() && g_application_id_is_valid(id.c_str())) {
    GApplication* app = g_application_new(id.c_str(), G_APPLICATION_HANDLES_OPEN);
    g_signal_connect(app, "open", G_CALLBACK(OnOpen), nullptr);
    g_signal_connect(app, "activate", G_CALLBACK(OnActivate), nullptr);
    GError* error = nullptr;
    if (!g_application_register(app, nullptr, &error)) {
      // No session bus: this process is the only one that can be reached.
      g_clear_error(&error);
      g_object_unref(app);
    } else if (!g_application_get_is_remote(app)) {
      gApplication = app;  // kept for the life of the process
    } else {
      if (files.empty()) g_application_activate(app);
      else g_application_open(app, files.data(), gint(files.size()), "");
      GDBusConnection* bus = g_application_get_dbus_connection(app);
      const bool sent = bus != nullptr && g_dbus_connection_flush_sync(bus, nullptr, &error);
      if (!sent) {
        std::fprintf(stderr, "Quorvel: could not reach the running instance (%s); opening here\n",
                     error ? error->message : "no connection");
        g_clear_error(&error);
      }
      g_object_unref(app);
      if (sent) {
        gPrimary = false;
        for (GFile* f : files) g_object_unref(f);
        return false;
      }
    }
  }
  Queue(files);
  for (GFile* f : files) g_object_unref(f);
  return true;
}

void AESetOpenDocumentsReady() {
  gReady = true;
  ScheduleDelivery();
}
