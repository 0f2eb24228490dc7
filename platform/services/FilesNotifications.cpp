// Folder change notifications: one GFileMonitor per subscription, delivered
// on the main event loop (the default GLib context), plus FNNotify for the
// changes this process announces itself.
#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Files.h"
#include "FilesInternal.h"

struct OpaqueFNSubscriptionRef {
  UInt64 serial = 0;  // tells a new subscription from an ended one at the same address
  std::string path;
  FNSubscriptionUPP callback = nullptr;
  void* refcon = nullptr;
  GFileMonitor* monitor = nullptr;
  gulong handler = 0;
  guint pending = 0;  // the source that will tell the burst, 0 when none
};

namespace {

// A burst of changes (a file written and closed, a folder of files copied in)
// reaches the monitor as many events over a short while; the callback hears
// of it once, this long after its first event.
constexpr guint kCoalesceMilliseconds = 100;

// Live subscriptions in the order they were made; a subscription is only ever
// used after it was found here, so an ended one is refused, never touched.
std::vector<FNSubscriptionRef>& Subscriptions() {
  static std::vector<FNSubscriptionRef> list;
  return list;
}

bool IsLive(FNSubscriptionRef s) {
  auto& list = Subscriptions();
  return s != nullptr && std::find(list.begin(), list.end(), s) != list.end();
}

gboolean Deliver(gpointer data) {
  auto s = static_cast<FNSubscriptionRef>(data);
  s->pending = 0;
  // The callback may end this subscription: nothing of it is used after.
  s->callback(kFNDirectoryModifiedMessage, 0, s->refcon, s);
  return G_SOURCE_REMOVE;
}

void Changed(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer data) {
  auto s = static_cast<FNSubscriptionRef>(data);
  if (event == G_FILE_MONITOR_EVENT_PRE_UNMOUNT) return;
  if (s->pending == 0) s->pending = g_timeout_add(kCoalesceMilliseconds, Deliver, s);
}

// The normalised path of an item that exists; the File Manager's status otherwise.
OSStatus ItemPath(const FSRef* ref, std::string* path, struct stat* st) {
  if (ref == nullptr) return paramErr;
  return files::ResolveRef(ref, path, st);
}

}  // namespace

// A UPP is the routine itself here: nothing to make or dispose of.
FNSubscriptionUPP NewFNSubscriptionUPP(FNSubscriptionProcPtr userRoutine) { return userRoutine; }
void DisposeFNSubscriptionUPP(FNSubscriptionUPP) {}

OSStatus FNSubscribe(const FSRef* directoryRef, FNSubscriptionUPP callback, void* refcon, OptionBits,
                     FNSubscriptionRef* subscription) {
  if (subscription == nullptr) return paramErr;
  *subscription = nullptr;
  if (callback == nullptr) return paramErr;
  std::string path;
  struct stat st;
  OSStatus err = ItemPath(directoryRef, &path, &st);
  if (err != noErr) return err;
  if (!S_ISDIR(st.st_mode)) return errFSNotAFolder;

  GFile* folder = g_file_new_for_path(path.c_str());
  GError* error = nullptr;
  GFileMonitor* monitor = g_file_monitor_directory(folder, G_FILE_MONITOR_WATCH_MOVES, nullptr, &error);
  g_object_unref(folder);
  if (monitor == nullptr) {
    // Out of watches, or a folder that cannot be read: the caller goes without.
    err = error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_PERMISSION_DENIED ? permErr : ioErr;
    if (error) g_error_free(error);
    return err;
  }
  static UInt64 serials = 0;
  auto s = new OpaqueFNSubscriptionRef;
  s->serial = ++serials;
  s->path = path;
  s->callback = callback;
  s->refcon = refcon;
  s->monitor = monitor;
  s->handler = g_signal_connect(monitor, "changed", G_CALLBACK(Changed), s);
  Subscriptions().push_back(s);
  *subscription = s;
  return noErr;
}

OSStatus FNUnsubscribe(FNSubscriptionRef subscription) {
  if (!IsLive(subscription)) return paramErr;
  auto& list = Subscriptions();
  list.erase(std::find(list.begin(), list.end(), subscription));
  if (subscription->pending != 0) g_source_remove(subscription->pending);
  g_signal_handler_disconnect(subscription->monitor, subscription->handler);
  g_file_monitor_cancel(subscription->monitor);
  g_object_unref(subscription->monitor);
  delete subscription;
  return noErr;
}

OSStatus FNNotify(const FSRef* ref, FNMessage message, OptionBits flags) {
  std::string path;
  struct stat st;
  OSStatus err = ItemPath(ref, &path, &st);
  if (err != noErr) return err;
  // A callback may end any subscription, or make new ones: go by a copy and
  // call only those still live (new ones hear of later changes).
  std::vector<std::pair<FNSubscriptionRef, UInt64>> targets;
  for (FNSubscriptionRef s : Subscriptions())
    if (s->path == path) targets.emplace_back(s, s->serial);
  for (auto [s, serial] : targets)
    if (IsLive(s) && s->serial == serial) s->callback(message, flags, s->refcon, s);
  return noErr;
}
