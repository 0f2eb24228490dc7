// Application references kept in stored records: the desktop-file id of the
// application's entry, which GIO resolves in a later run wherever the entry
// then lies.
//
// Stored slot (80 bytes): "QAPP", the id's length (1 byte), the id in UTF-8,
// zeros after. Anything else in the slot is taken as a plain FSRef.
#include <gio/gio.h>
#if __has_include(<gio/gdesktopappinfo.h>)
#include <gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#elif __has_include(<gio-unix-2.0/gio/gdesktopappinfo.h>)
#include <gio-unix-2.0/gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#endif

#include <cstring>
#include <string>
#include <vector>

#include "CFStringInternal.h"
#include "Files.h"
#include "FilesInternal.h"
#include "LSInfo.h"

namespace {

constexpr UInt8 kMagic[4] = {'Q', 'A', 'P', 'P'};
constexpr size_t kIdAt = 5;
constexpr size_t kMaxId = sizeof(FSRef) - kIdAt;

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsApplication(const FSRef* ref) {
  LSItemInfoRecord info{};
  return LSCopyItemInfoForRef(ref, kLSRequestAllFlags, &info) == noErr && (info.flags & kLSItemInfoIsApplication);
}

#ifdef QUORVEL_HAVE_DESKTOP_APP_INFO
// The path of the entry the desktop finds for the id; empty when none.
std::string EntryForId(const std::string& id) {
  GDesktopAppInfo* info = g_desktop_app_info_new(id.c_str());
  if (info == nullptr) return std::string();
  const char* file = g_desktop_app_info_get_filename(info);
  std::string path = file ? file : "";
  g_object_unref(info);
  return path;
}
#else
std::string EntryForId(const std::string&) { return std::string(); }
#endif

// The id of the entry at path: its place below an "applications" folder of
// the XDG data folders, with "/" as "-"; empty when it lies elsewhere or the
// desktop does not know the id.
std::string DesktopIdOfPath(const std::string& path) {
  if (!EndsWith(path, ".desktop")) return std::string();
  std::vector<std::string> dirs{g_get_user_data_dir()};
  for (const gchar* const* d = g_get_system_data_dirs(); d && *d; ++d) dirs.push_back(*d);
  for (const std::string& dir : dirs) {
    std::string clean;
    if (!files::NormalizePath(dir, &clean)) continue;
    std::string prefix = files::JoinPath(clean, "applications") + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    std::string id = path.substr(prefix.size());
    for (char& c : id)
      if (c == '/') c = '-';
    if (!EntryForId(id).empty()) return id;
  }
  return std::string();
}

// The application's path and desktop-file id (empty when none).
OSStatus ApplicationId(const FSRef* app, std::string* id) {
  if (app == nullptr || !IsApplication(app)) return kLSApplicationNotFoundErr;
  std::string path;
  if (files::RefPath(app, &path) != noErr) return kLSApplicationNotFoundErr;
  *id = DesktopIdOfPath(path);
  return noErr;
}

}  // namespace

OSStatus LSCopyApplicationDesktopID(const FSRef* inAppRef, CFStringRef* outID) {
  if (outID == nullptr) return paramErr;
  *outID = nullptr;
  std::string id;
  OSStatus err = ApplicationId(inAppRef, &id);
  if (err != noErr) return err;
  if (id.empty()) return kLSApplicationNotFoundErr;
  *outID = __CFStringCreateWithUTF8(id);
  return *outID ? noErr : OSStatus(kLSApplicationNotFoundErr);
}

OSStatus LSMakeStoredApplicationReference(const FSRef* inAppRef, FSRef* outStored) {
  if (outStored == nullptr) return paramErr;
  std::memset(outStored, 0, sizeof *outStored);
  std::string id;
  OSStatus err = ApplicationId(inAppRef, &id);
  if (err != noErr) return err;
  if (id.empty() || id.size() > kMaxId) {
    std::memcpy(outStored, inAppRef, sizeof *outStored);
  } else {
    std::memcpy(outStored->hidden, kMagic, sizeof kMagic);
    outStored->hidden[kIdAt - 1] = UInt8(id.size());
    std::memcpy(outStored->hidden + kIdAt, id.data(), id.size());
  }
  return noErr;
}

OSStatus LSResolveStoredApplicationReference(const FSRef* inStored, FSRef* outAppRef) {
  if (inStored == nullptr || outAppRef == nullptr) return paramErr;
  std::memset(outAppRef, 0, sizeof *outAppRef);
  const UInt8* p = inStored->hidden;
  if (std::memcmp(p, kMagic, sizeof kMagic) == 0) {
    size_t length = p[kIdAt - 1];
    if (length == 0 || length > kMaxId) return kLSApplicationNotFoundErr;
    for (size_t i = kIdAt + length; i < sizeof inStored->hidden; ++i)
      if (p[i] != 0) return kLSApplicationNotFoundErr;
    std::string id(reinterpret_cast<const char*>(p + kIdAt), length);
    if (id.find('\0') != std::string::npos) return kLSApplicationNotFoundErr;
    std::string path = EntryForId(id);
    if (path.empty() || FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), outAppRef, nullptr) != noErr) {
      std::memset(outAppRef, 0, sizeof *outAppRef);
      return kLSApplicationNotFoundErr;
    }
    return noErr;
  }
  if (!IsApplication(inStored)) return kLSApplicationNotFoundErr;
  std::memcpy(outAppRef, inStored, sizeof *outAppRef);
  return noErr;
}
