// PathUtilities: base folders of user paths, on the Linux layout of home
// folders (see the header).
#include "PathUtilities.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "PascalCarbonCommon+FilesInternal.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"

using namespace pcc_files;

namespace {

using Components = std::vector<std::string>;

// The non-empty components of a path.
Components Split(std::string_view path) {
  Components parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// "/" followed by components [0, count) joined by "/"; empty when it does not fit.
Str255 Join(const Components& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count && i < parts.size(); ++i) path += "/" + parts[i];
  if (path.empty()) path = "/";
  return path.size() <= 255 ? Str255(path) : Str255();
}

// The components of $HOME (of the user database's home when it is unset),
// in Mac Roman like every short-string path; false when there is none or it
// cannot be written in a short string.
bool HomeComponents(Components& home) {
  const char* text = getenv("HOME");
  if (text == nullptr || *text == 0) {
    const passwd* entry = getpwuid(getuid());
    text = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (text == nullptr) return false;
  CFStringRef string = CFStringCreateWithFileSystemRepresentation(nullptr, text);
  Str255 path;
  const bool fits = FitPascal(string, 255, path);
  if (string != nullptr) CFRelease(string);
  home = Split(path.view());
  return fits && !home.empty();
}

// True when the path lies in a folder of the folder that holds the home
// folders; that folder (the user's home) is then components [0, homeDepth).
bool InHomeFolders(const Components& path, const Components& home) {
  if (home.size() < 2 || path.size() < home.size()) return false;
  for (size_t i = 0; i + 1 < home.size(); ++i)
    if (path[i] != home[i]) return false;
  return true;
}

// The POSIX path of the application bundle; empty when it does not fit.
Str255 BundlePath() {
  CFURLRef url = CFBundleCopyBundleURL(CFBundleGetMainBundle());
  if (url == nullptr) return Str255();
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFRelease(url);
  Str255 result;
  if (path != nullptr) {
    FitPascal(path, 255, result);
    CFRelease(path);
  }
  return result;
}

// The folder that holds the item at the path.
Str255 ParentPath(const Str255& path) {
  if (path.empty()) return path;
  const Components parts = Split(path.view());
  return Join(parts, parts.empty() ? 0 : parts.size() - 1);
}

}  // namespace

Str255 JoinBaseWithPath(const Str255& base, const Str255& path) {
  std::string joined(base.view());
  if (path.empty() || path[1] != '/') joined += '/';
  joined += path.view();
  return joined.size() <= 255 ? Str255(joined) : Str255();
}

void FormatUserPath(Str255& path) {
  if (!GetStringSuffix(path, '.').empty()) {
    const SInt16 count = CountStringComponents(path, '/');
    GetStringDelimiterPack(path, '/', 1, count - 1);
  }
  Components home;
  if (!HomeComponents(home)) return;
  const Components parts = Split(path.view());
  if (!InHomeFolders(parts, home)) return;
  std::string shortened = ".";
  for (size_t i = home.size(); i < parts.size(); ++i) shortened += "/" + parts[i];
  path = Str255(shortened);
}

Str255 GetBaseFilePath(const FSRef& file) { return ParentPath(FSGetFullPath(file)); }

Str255 GetApplicationPath() { return ParentPath(BundlePath()); }

Str255 GetSystemPath() {
  const Components application = Split(GetApplicationPath().view());
  Components home;
  if (!HomeComponents(home)) return Join(application, 2);
  if (InHomeFolders(application, home)) return Join(application, home.size());
  return Join(home, home.size());
}

Str255 GetLocalhostPath() {
  FSRef folder;
  Err = FSFindFolder(kOnSystemDisk, kInternetSitesFolderType, kDontCreateFolder, &folder);
  return Err == noErr ? FSGetFullPath(folder) : Str255();
}

Str255 GetLocalhostURL() {
  const Components application = Split(GetApplicationPath().view());
  Components home;
  if (!HomeComponents(home)) return Str255();
  const std::string& user = InHomeFolders(application, home) ? application[home.size() - 1] : home.back();
  // The name as it stands in a URL: escaped, as UTF-8.
  CFStringRef name = CreateString(Str255(user));
  CFStringRef escaped = name != nullptr ? CFURLCreateStringByAddingPercentEscapes(
                                              nullptr, name, nullptr, CFSTR("/?#;:@&=+$,"), kCFStringEncodingUTF8)
                                        : nullptr;
  Str255 url;
  Str255 text;
  if (escaped != nullptr && FitPascal(escaped, 255, text)) url = JoinBaseWithPath("http://localhost", "~" + text);
  if (escaped != nullptr) CFRelease(escaped);
  if (name != nullptr) CFRelease(name);
  return url;
}
