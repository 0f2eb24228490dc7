// Launch Services information: display names, extensions and kinds of items,
// and the desktop's applications for them (GIO).
#include "LSInfo.h"

#include <gio/gio.h>
#if __has_include(<gio/gdesktopappinfo.h>)
#include <gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#elif __has_include(<gio-unix-2.0/gio/gdesktopappinfo.h>)
#include <gio-unix-2.0/gio/gdesktopappinfo.h>
#define QUORVEL_HAVE_DESKTOP_APP_INFO 1
#endif
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CFStringInternal.h"
#include "FilesInternal.h"
#include "UTType.h"

namespace {

bool IsURL(CFTypeRef cf) { return cf != nullptr && CFGetTypeID(cf) == CFURLGetTypeID(); }

// The item's path; the File Manager's status when the FSRef does not resolve.
OSStatus PathOfRef(const FSRef* ref, std::string* path) {
  std::vector<UInt8> buffer(PATH_MAX + 1);
  for (;;) {
    OSStatus err = FSRefMakePath(ref, buffer.data(), UInt32(buffer.size()));
    if (err == noErr) {
      *path = reinterpret_cast<const char*>(buffer.data());
      return noErr;
    }
    if (err != paramErr || buffer.size() >= (1u << 20)) return err;
    buffer.resize(buffer.size() * 4);
  }
}

// The local path of a file URL; empty when the URL is none.
std::string PathOfURL(CFURLRef url) {
  std::vector<UInt8> buffer(PATH_MAX * 4);
  if (!IsURL(url) || !CFURLGetFileSystemRepresentation(url, true, buffer.data(), CFIndex(buffer.size())))
    return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

std::string LastComponent(const std::string& path) {
  if (path == "/") return path;
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasSuffix(const std::string& s, const std::string& suffix) {
  return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Text as UTF-8, every byte that is not UTF-8 shown as U+FFFD.
CFStringRef DisplayString(const std::string& bytes) {
  gchar* valid = g_utf8_make_valid(bytes.data(), gssize(bytes.size()));
  CFStringRef result = __CFStringCreateWithUTF8(valid ? valid : "");
  g_free(valid);
  return result;
}

std::string DesktopEntryName(const std::string& path) {
#ifdef QUORVEL_HAVE_DESKTOP_APP_INFO
  GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(path.c_str());
  if (info == nullptr) return std::string();
  const char* name = g_app_info_get_display_name(G_APP_INFO(info));
  std::string result = name ? name : "";
  g_object_unref(info);
  return result;
#else
  return std::string();
#endif
}

// The name of the item at the path, whose lstat data st holds.
OSStatus DisplayNameOfItem(const std::string& path, const struct stat& st, CFStringRef* out) {
  std::string name = LastComponent(path);
  if (S_ISREG(st.st_mode) && HasSuffix(name, ".desktop")) {
    std::string entry = DesktopEntryName(path);
    if (!entry.empty()) name = entry;
  }
  *out = DisplayString(name);
  return *out ? noErr : paramErr;
}

OSStatus DisplayNameOfPath(const std::string& path, CFStringRef* out) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return fnfErr;
  return DisplayNameOfItem(path, st, out);
}

// The extension rule of LSCopyItemInfoForRef.
std::string ExtensionOf(const std::string& name) {
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::string();
  std::string ext = name.substr(dot + 1);
  return ext.find(' ') == std::string::npos ? ext : std::string();
}

bool ExtensionConformsTo(const std::string& ext, CFStringRef type) {
  if (ext.empty()) return false;
  CFStringRef tag = __CFStringCreateWithUTF8(ext);
  if (tag == nullptr) return false;
  CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, tag, nullptr);
  bool result = uti != nullptr && UTTypeConformsTo(uti, type);
  if (uti) CFRelease(uti);
  CFRelease(tag);
  return result;
}

OSStatus ItemInfoOfPath(const std::string& path, const FSRef* ref, LSRequestedInfo which, LSItemInfoRecord* out) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return fnfErr;
  std::string name = LastComponent(path);
  std::string ext = path == "/" ? std::string() : ExtensionOf(name);
  if (which & kLSRequestExtension) {
    out->extension = ext.empty() ? nullptr : DisplayString(ext);
  }
  if (which & kLSRequestTypeCreator) {
    FSRef own;
    if (ref == nullptr && FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &own, nullptr) == noErr)
      ref = &own;
    FSCatalogInfo info{};
    if (ref != nullptr && FSGetCatalogInfo(ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr) == noErr &&
        !S_ISDIR(st.st_mode)) {
      const auto* finder = reinterpret_cast<const FileInfo*>(info.finderInfo);
      out->filetype = finder->fileType;
      out->creator = finder->fileCreator;
    }
  }
  if (which & (kLSRequestBasicFlagsOnly | kLSRequestAppTypeFlags | kLSRequestAllFlags |
               kLSRequestExtensionFlagsOnly)) {
    LSItemInfoFlags flags = 0;
    if (S_ISLNK(st.st_mode)) {
      flags |= kLSItemInfoIsSymlink | kLSItemInfoIsAliasFile;
    } else if (S_ISDIR(st.st_mode)) {
      flags |= kLSItemInfoIsContainer;
      if (ExtensionConformsTo(ext, kUTTypePackage)) flags |= kLSItemInfoIsPackage;
      if (ext == "app") flags |= kLSItemInfoIsApplication | kLSItemInfoIsNativeApp;
      if (path == "/") flags |= kLSItemInfoIsVolume;
    } else {
      flags |= kLSItemInfoIsPlainFile;
      if (S_ISREG(st.st_mode) && (ext == "desktop" || access(path.c_str(), X_OK) == 0))
        flags |= kLSItemInfoIsApplication;
    }
    if (!name.empty() && name[0] == '.' && path != "/") flags |= kLSItemInfoIsInvisible;
    out->flags = flags;
  }
  return noErr;
}

// --- Applications (GIO) --------------------------------------------------------

// The MIME type our type table gives the extension; empty when none.
std::string TableMIMEType(const std::string& ext) {
  if (ext.empty()) return std::string();
  CFStringRef tag = __CFStringCreateWithUTF8(ext);
  if (tag == nullptr) return std::string();
  CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, tag, nullptr);
  CFRelease(tag);
  if (uti == nullptr) return std::string();
  CFStringRef mime = UTTypeCopyPreferredTagWithClass(uti, kUTTagClassMIMEType);
  CFRelease(uti);
  std::string result = mime ? __CFStringGetUTF8(mime) : std::string();
  if (mime) CFRelease(mime);
  return result;
}

// The desktop's content type for the URL's item ("x-scheme-handler/<scheme>"
// for URLs that are not files); empty when unknown.
std::string ContentTypeOf(CFURLRef url) {
  std::string path = PathOfURL(url);
  if (path.empty()) {
    CFStringRef scheme = IsURL(url) ? CFURLCopyScheme(url) : nullptr;
    std::string text = scheme ? __CFStringGetUTF8(scheme) : std::string();
    if (scheme) CFRelease(scheme);
    return text.empty() ? std::string() : "x-scheme-handler/" + text;
  }
  // Our own type table names a file's type the same on every machine; the
  // desktop's MIME database only for what the table does not know.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    std::string mime = TableMIMEType(ExtensionOf(LastComponent(path)));
    if (!mime.empty()) return mime;
  }
  GFile* file = g_file_new_for_path(path.c_str());
  GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE,
                                      nullptr, nullptr);
  std::string type;
  if (info != nullptr) {
    const char* ct = g_file_info_get_content_type(info);
    if (ct) type = ct;
    g_object_unref(info);
  }
  g_object_unref(file);
  if (type.empty()) {
    gchar* guess = g_content_type_guess(path.c_str(), nullptr, 0, nullptr);
    if (guess) type = guess;
    g_free(guess);
  }
  return type;
}

// The file URL that names the application: its desktop entry, or its program.
CFURLRef URLOfApplication(GAppInfo* app) {
  std::string path;
#ifdef QUORVEL_HAVE_DESKTOP_APP_INFO
  if (G_IS_DESKTOP_APP_INFO(app)) {
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    if (file) path = file;
  }
#endif
  if (path.empty()) {
    const char* executable = g_app_info_get_executable(app);
    gchar* found = executable ? g_find_program_in_path(executable) : nullptr;
    if (found) path = found;
    g_free(found);
  }
  if (path.empty()) return nullptr;
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                 CFIndex(path.size()), false);
}

OSStatus DefaultApplication(CFURLRef url, FSRef* outAppRef, CFURLRef* outAppURL) {
  if (outAppURL) *outAppURL = nullptr;
  std::string type = ContentTypeOf(url);
  if (type.empty()) return kLSApplicationNotFoundErr;
  GAppInfo* app = g_app_info_get_default_for_type(type.c_str(), FALSE);
  if (app == nullptr) return kLSApplicationNotFoundErr;
  CFURLRef appURL = URLOfApplication(app);
  g_object_unref(app);
  if (appURL == nullptr) return kLSApplicationNotFoundErr;
  if (outAppRef != nullptr && !CFURLGetFSRef(appURL, outAppRef)) {
    CFRelease(appURL);
    return kLSApplicationNotFoundErr;
  }
  if (outAppURL) *outAppURL = appURL;
  else CFRelease(appURL);
  return noErr;
}

}  // namespace

OSStatus LSCopyDisplayNameForRef(const FSRef* inRef, CFStringRef* outDisplayName) {
  if (outDisplayName == nullptr) return paramErr;
  *outDisplayName = nullptr;
  if (inRef == nullptr) return paramErr;
  // The item is looked at once: the look that finds it tells what it is.
  std::string path;
  struct stat st;
  OSStatus err = files::ResolveRef(inRef, &path, &st);
  return err != noErr ? err : DisplayNameOfItem(path, st, outDisplayName);
}

OSStatus LSCopyDisplayNameForURL(CFURLRef inURL, CFStringRef* outDisplayName) {
  if (outDisplayName == nullptr) return paramErr;
  *outDisplayName = nullptr;
  if (!IsURL(inURL)) return paramErr;
  std::string path = PathOfURL(inURL);
  return path.empty() ? kLSDataUnavailableErr : DisplayNameOfPath(path, outDisplayName);
}

OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo) {
  if (outItemInfo == nullptr) return paramErr;
  *outItemInfo = LSItemInfoRecord{};
  if (inItemRef == nullptr) return paramErr;
  std::string path;
  OSStatus err = PathOfRef(inItemRef, &path);
  return err != noErr ? err : ItemInfoOfPath(path, inItemRef, inWhichInfo, outItemInfo);
}

OSStatus LSCopyItemInfoForURL(CFURLRef inURL, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo) {
  if (outItemInfo == nullptr) return paramErr;
  *outItemInfo = LSItemInfoRecord{};
  if (!IsURL(inURL)) return paramErr;
  std::string path = PathOfURL(inURL);
  if (path.empty()) return kLSDataUnavailableErr;
  // The URL's own path, with any trailing "/" of a folder URL removed.
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return ItemInfoOfPath(path, nullptr, inWhichInfo, outItemInfo);
}

OSStatus LSGetApplicationForItem(const FSRef* inItemRef, LSRolesMask inRoleMask, FSRef* outAppRef,
                                 CFURLRef* outAppURL) {
  if (outAppURL) *outAppURL = nullptr;
  if (inItemRef == nullptr || (outAppRef == nullptr && outAppURL == nullptr)) return paramErr;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, inItemRef);
  if (url == nullptr) return fnfErr;
  OSStatus err = DefaultApplication(url, outAppRef, outAppURL);
  CFRelease(url);
  return err;
}

OSStatus LSGetApplicationForURL(CFURLRef inURL, LSRolesMask inRoleMask, FSRef* outAppRef, CFURLRef* outAppURL) {
  if (outAppURL) *outAppURL = nullptr;
  if (!IsURL(inURL) || (outAppRef == nullptr && outAppURL == nullptr)) return paramErr;
  return DefaultApplication(inURL, outAppRef, outAppURL);
}

CFURLRef LSCopyDefaultApplicationURLForURL(CFURLRef inURL, LSRolesMask inRoleMask, OSStatus* outError) {
  CFURLRef app = nullptr;
  OSStatus err = IsURL(inURL) ? DefaultApplication(inURL, nullptr, &app) : OSStatus(paramErr);
  if (outError) *outError = err;
  return app;
}

CFArrayRef LSCopyApplicationURLsForURL(CFURLRef inURL, LSRolesMask inRoleMask) {
  if (!IsURL(inURL)) return nullptr;
  std::string type = ContentTypeOf(inURL);
  if (type.empty()) return nullptr;
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  auto add = [result](GAppInfo* app) {
    CFURLRef url = URLOfApplication(app);
    if (url == nullptr) return;
    CFIndex n = CFArrayGetCount(result);
    bool seen = false;
    for (CFIndex i = 0; i < n && !seen; ++i) seen = CFEqual(CFArrayGetValueAtIndex(result, i), url);
    if (!seen) CFArrayAppendValue(result, url);
    CFRelease(url);
  };
  if (GAppInfo* preferred = g_app_info_get_default_for_type(type.c_str(), FALSE)) {
    add(preferred);
    g_object_unref(preferred);
  }
  GList* all = g_app_info_get_all_for_type(type.c_str());
  for (GList* item = all; item != nullptr; item = item->next) add(G_APP_INFO(item->data));
  g_list_free_full(all, g_object_unref);
  if (CFArrayGetCount(result) == 0) {
    CFRelease(result);
    return nullptr;
  }
  return result;
}
