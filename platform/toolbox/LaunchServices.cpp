// Opening URLs: with the desktop's default application or a chosen one
// through GIO, or, under the headless host, recorded and never launched.
#include <gio/gio.h>
#if __has_include(<gio/gdesktopappinfo.h>)
#include <gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#elif __has_include(<gio-unix-2.0/gio/gdesktopappinfo.h>)
#include <gio-unix-2.0/gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFURL.h"
#include "Host.h"
#include "LaunchServices.h"
#include "LaunchServicesInternal.h"
#include "headless/HeadlessInternal.h"

namespace {

bool IsURL(CFTypeRef cf) { return cf != nullptr && CFGetTypeID(cf) == CFURLGetTypeID(); }

std::string URLText(CFURLRef url) {
  CFURLRef absolute = CFURLCopyAbsoluteURL(url);
  std::string text = absolute ? __CFStringGetUTF8(CFURLGetString(absolute)) : __CFStringGetUTF8(CFURLGetString(url));
  if (absolute) CFRelease(absolute);
  return text;
}

// The local path of a file URL; false for other URLs.
bool FilePath(CFURLRef url, std::string* path) {
  std::vector<UInt8> buffer(16384);
  if (!CFURLGetFileSystemRepresentation(url, true, buffer.data(), CFIndex(buffer.size()))) return false;
  *path = reinterpret_cast<const char*>(buffer.data());
  return !path->empty();
}

bool HasSuffix(const std::string& s, const char* suffix) {
  std::string t(suffix);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

void Complain(const char* what, const std::string& subject, GError* error) {
  std::fprintf(stderr, "Quorvel: cannot %s %s: %s\n", what, subject.c_str(), error ? error->message : "unknown error");
  if (error) g_error_free(error);
}

OSStatus OpenDefault(const std::string& uri) {
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
    Complain("open", uri, error);
    return kLSApplicationNotFoundErr;
  }
  return noErr;
}

OSStatus LaunchDesktopEntry(const std::string& path, const std::vector<CFURLRef>& items) {
#ifdef QUORVEL_HAVE_DESKTOP_APP_INFO
  GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(path.c_str());
  if (info == nullptr) return kLSApplicationNotFoundErr;
  GList* uris = nullptr;
  std::vector<std::string> texts;
  texts.reserve(items.size());
  for (CFURLRef item : items) texts.push_back(URLText(item));
  for (auto it = texts.rbegin(); it != texts.rend(); ++it) uris = g_list_prepend(uris, const_cast<char*>(it->c_str()));
  GError* error = nullptr;
  gboolean ok = g_app_info_launch_uris(G_APP_INFO(info), uris, nullptr, &error);
  g_list_free(uris);
  g_object_unref(info);
  if (!ok) {
    Complain("launch", path, error);
    return kLSApplicationNotFoundErr;
  }
  return noErr;
#else
  std::fprintf(stderr, "Quorvel: cannot launch %s: desktop entries are not supported in this build\n", path.c_str());
  return kLSApplicationNotFoundErr;
#endif
}

OSStatus LaunchExecutable(const std::string& path, const std::vector<CFURLRef>& items) {
  std::vector<std::string> args{path};
  for (CFURLRef item : items) {
    std::string local;
    args.push_back(FilePath(item, &local) ? local : URLText(item));
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  GError* error = nullptr;
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself.
  if (!g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error)) {
    Complain("start", path, error);
    return kLSApplicationNotFoundErr;
  }
  return noErr;
}

}  // namespace

OSStatus LSOpenWithDesktop(CFURLRef appURL, const std::vector<CFURLRef>& items) {
  if (appURL == nullptr) {
    OSStatus result = noErr;
    for (CFURLRef item : items) {
      OSStatus st = OpenDefault(URLText(item));
      if (st != noErr) result = st;
    }
    return result;
  }
  std::string path;
  if (!FilePath(appURL, &path)) return kLSApplicationNotFoundErr;
  if (HasSuffix(path, ".desktop")) {
    if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) return kLSApplicationNotFoundErr;
    return LaunchDesktopEntry(path, items);
  }
  if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR) || !g_file_test(path.c_str(), G_FILE_TEST_IS_EXECUTABLE))
    return kLSApplicationNotFoundErr;
  return LaunchExecutable(path, items);
}

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL) {
  if (outLaunchedURL) *outLaunchedURL = nullptr;
  if (!IsURL(inURL)) return paramErr;
  if (HostGetKind() == kHostHeadless) {
    HeadlessRecordLaunch(std::string(), URLText(inURL));
    return noErr;
  }
  return LSOpenWithDesktop(nullptr, {inURL});
}

OSStatus LSOpenFromURLSpec(const LSLaunchURLSpec* inLaunchSpec, CFURLRef* outLaunchedURL) {
  if (outLaunchedURL) *outLaunchedURL = nullptr;
  if (inLaunchSpec == nullptr) return paramErr;
  CFURLRef app = inLaunchSpec->appURL;
  if (app != nullptr && !IsURL(app)) return paramErr;
  std::vector<CFURLRef> items;
  if (CFArrayRef list = inLaunchSpec->itemURLs) {
    if (CFGetTypeID(list) != CFArrayGetTypeID()) return paramErr;
    CFIndex n = CFArrayGetCount(list);
    for (CFIndex i = 0; i < n; ++i) {
      auto item = static_cast<CFURLRef>(CFArrayGetValueAtIndex(list, i));
      if (!IsURL(item)) return paramErr;
      items.push_back(item);
    }
  }
  if (app == nullptr && items.empty()) return paramErr;
  std::string appPath;
  if (app != nullptr && !FilePath(app, &appPath)) return kLSApplicationNotFoundErr;

  OSStatus status;
  if (HostGetKind() == kHostHeadless) {
    std::string appText = app ? URLText(app) : std::string();
    if (items.empty()) HeadlessRecordLaunch(appText, std::string());
    for (CFURLRef item : items) HeadlessRecordLaunch(appText, URLText(item));
    status = noErr;
  } else {
    status = LSOpenWithDesktop(app, items);
  }
  if (status == noErr && app != nullptr && outLaunchedURL) *outLaunchedURL = CFURLRef(CFRetain(app));
  return status;
}
