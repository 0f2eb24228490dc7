#include "TFileInfoUnit.h"

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "PathUtilities.h"
#include "ProjectRecords.h"

const char kFileInfoPrefix[] = "FileInfo::";
const char kFileInfoPreviewMode[] = "FileInfoPreviewMode";
const char kFileInfoRunMode[] = "FileInfoRunMode";
const char kFileInfoPreviewExternal[] = "FileInfoPreviewExternal";
const char kFileInfoServer[] = "FileInfoServer";
const char kFileInfoLabel[] = "FileInfoLabel";
const char kFileInfoDirectory[] = "FileInfoDirectory";
const char kFileInfoPath[] = "FileInfoPath";
const char kFileInfoNotes[] = "FileInfoNotes";
const char kFileInfoArguments[] = "FileInfoArguments";
const char kFileInfoPreviewPaths[] = "FileInfoPreviewPaths";
const char kFileInfoGETArguments[] = "FileInfoGETArguments";

Str255 FileInfoKey(const Str63& name) {
  return Str255(kFileInfoPrefix) + name;
}

void SetDefaultFileInfoForName(const Str63& name, TPreferenceHandler* prefs) {
  if (!prefs || name.empty()) return;
  auto* entry = new TPreferenceHandlerDictionary();
  entry->Create(FileInfoKey(name), prefs);
  if (entry->fValues && CFDictionaryGetCount(entry->fValues) == 0) {
    entry->SetStringValue(kFileInfoPreviewMode, "Default");
    entry->SetStringValue(kFileInfoRunMode, "Default");
    entry->SetBooleanValue(kFileInfoPreviewExternal, false);
    entry->SetStringValue(kFileInfoServer, prefs->GetStringValue("ProjectServer"));
    entry->SetStringValue(kFileInfoLabel, "None");
    entry->Synchronize();
  }
  entry->Release();
}

void SetDefaultFileInfo(const FSRef& file, TPreferenceHandler* prefs) {
  SetDefaultFileInfoForName(FSGetDisplayName(file), prefs);
}

namespace {

// Calls the visitor for every record of the array under key until it
// answers true; false when there is no array.
Boolean EachUserPath(TPreferenceHandler* prefs, const Str255& key,
                     const std::function<bool(const UserPathInfo&)>& visit) {
  if (!prefs) return false;
  CFTypeRef value = prefs->GetTypeValue(key);
  if (!value) return false;
  Boolean isArray = CFGetTypeID(value) == CFArrayGetTypeID();
  if (isArray) {
    auto array = static_cast<CFArrayRef>(value);
    for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i) {
      auto item = static_cast<CFTypeRef>(CFArrayGetValueAtIndex(array, i));
      if (!item || CFGetTypeID(item) != CFDataGetTypeID()) continue;
      auto data = static_cast<CFDataRef>(item);
      UserPathInfo info = DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data));
      if (CFDataGetLength(data) < kUserPathInfoSize) continue;
      if (visit(info)) break;
    }
  }
  CFRelease(value);
  return isArray;
}

// Whether a location already names a file: its last path component has text
// after a ".". Only that component counts, so folders with a dot in their
// name further up ("/home/john.doe/site") still get the file name, and the
// host of an address without a path ("http://127.0.0.1") is no file.
// A local location that is a folder on disk never names a file, whatever its
// name ("/home/john.doe").
Boolean NamesAFile(const Str255& location) {
  std::string_view text = location.view();
  if (text.substr(0, 7) == "file://") {
    struct stat info {};
    const std::string path(text.substr(7));
    if (!path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  }
  if (size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    size_t path = text.find('/', scheme + 3);
    if (path == std::string_view::npos) return false;
    text.remove_prefix(path);
  }
  const size_t slash = text.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? text : text.substr(slash + 1);
  const size_t dot = last.rfind('.');
  return dot != std::string_view::npos && dot + 1 < last.size();
}

}  // namespace

Str255 GetActiveUserPath(const Str63& name, const FSRef& base, const Str255& key, TPreferenceHandler* prefs) {
  Str255 result;
  EachUserPath(prefs, key, [&](const UserPathInfo& info) {
    if (!info.enabled) return false;
    switch (info.kind) {
      case kUserPathRoot: result = Str255("file://") + info.path; break;
      case kUserPathURL: result = info.path; break;
      case kUserPathProject:
        result = Str255("file://") + JoinBaseWithPath(GetBaseFilePath(base), info.path);
        break;
      case kUserPathApplication:
        result = Str255("file://") + JoinBaseWithPath(GetApplicationPath(), info.path);
        break;
      case kUserPathSystem:
        result = Str255("file://") + JoinBaseWithPath(GetSystemPath(), info.path);
        break;
      case kUserPathLocalhost: result = JoinBaseWithPath(GetLocalhostURL(), info.path); break;
      default: result.Clear(); return true;  // an unknown kind names no place
    }
    if (info.kind != kUserPathURL && !NamesAFile(result)) {
      if (result.len() == 0 || result[result.len()] != '/') result += "/";
      result += name;
    }
    return true;  // the first enabled record decides
  });
  return result;
}

Boolean UserPathExists(const Str255& path, const Str255& key, TPreferenceHandler* prefs) {
  Boolean found = false;
  EachUserPath(prefs, key, [&](const UserPathInfo& info) { return found = (info.path == path); });
  return found;
}

Boolean UserPathKindExists(const Str255& path, SInt16 kind, const Str255& key, TPreferenceHandler* prefs) {
  Boolean found = false;
  EachUserPath(prefs, key, [&](const UserPathInfo& info) {
    return found = (info.path == path && info.kind == kind);
  });
  return found;
}

CFArrayRef SerializeUserPaths(const Str255& key, TPreferenceHandler* prefs) {
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  EachUserPath(prefs, key, [&](const UserPathInfo& info) {
    Str255 text = Str255(UserPathPlaceholder(info.kind)) + info.path;
    CFStringRef string = CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
    if (string) {
      CFArrayAppendValue(result, string);
      CFRelease(string);
    }
    return false;
  });
  if (CFArrayGetCount(result) == 0) {
    CFRelease(result);
    return nullptr;
  }
  return result;
}
