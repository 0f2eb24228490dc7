#include "FTPUtilities.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CFString.h"
#include "Files.h"
#include "Folders.h"

namespace {

std::vector<std::string> Components(const Str255& url) {
  std::vector<std::string> parts;
  std::string s = url.str();
  size_t at = 0;
  while (at <= s.size()) {
    size_t next = s.find('/', at);
    if (next == std::string::npos) next = s.size();
    if (next > at) parts.push_back(s.substr(at, next - at));
    at = next + 1;
  }
  return parts;
}

Str255 Cut(const std::string& s) { return Str255::FromBytes(s.data(), std::min<size_t>(s.size(), 255)); }

std::string Join(const std::vector<std::string>& parts, size_t first, size_t last) {
  std::string out = "/";
  for (size_t i = first; i < last && i < parts.size(); ++i) {
    if (i > first) out += "/";
    out += parts[i];
  }
  return out;
}

}  // namespace

Str255 GetURLPath(const Str255& url, Boolean trailingSlash) {
  std::vector<std::string> parts = Components(url);
  if (parts.size() < 2) return Str255();
  std::string path = Join(parts, 2, parts.size());
  if (trailingSlash && path.back() != '/') path += "/";
  return Cut(path);
}

Str255 GetURLRoot(const Str255& url) {
  std::vector<std::string> parts = Components(url);
  if (parts.size() < 2) return Str255("/");
  std::string path = Join(parts, 2, parts.size() - 1);
  if (path.back() != '/') path += "/";
  return Cut(path);
}

Str255 GetListingPath(FTPDirectoryListingPtr entry) {
  if (entry == nullptr) return Str255();
  return GetURLPath(entry->URL, entry->type == 4);
}

void ExplodeURL(const Str255& url, CFArrayRef& components) {
  if (components != nullptr) CFRelease(components);
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  std::vector<std::string> parts = Components(url);
  for (size_t i = 2; i < parts.size(); ++i) {
    CFStringRef s = FTPCreateString(Cut(parts[i]));
    if (s == nullptr) continue;
    CFArrayAppendValue(array, s);
    CFRelease(s);
  }
  components = array;
}

std::string FTPPrivateFolder(const Str255& url, const Str255& user, const char* use) {
  FSRef temp{};
  std::string base;
  UInt8 path[4096] = {};
  if (FSFindFolder(kOnSystemDisk, kTemporaryFolderType, kCreateFolder, &temp) == noErr &&
      FSRefMakePath(&temp, path, sizeof path) == noErr)
    base = reinterpret_cast<char*>(path);
  if (base.empty()) base = "/tmp";
  UInt64 hash = 1469598103934665603ULL;
  for (unsigned char c : url.str() + "\n" + user.str()) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  std::string folder = base + "/" + use;
  mkdir(folder.c_str(), 0700);
  folder += "/";
  folder += name;
  mkdir(folder.c_str(), 0700);
  return folder + "/";
}

void SendFTPOpenCommand(const Str255& url, EventTargetRef target) {
  if (target == nullptr) return;
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, GetCurrentEventTime(), kEventAttributeNone,
                  &event) != noErr)
    return;
  HICommand command{};
  command.commandID = kFTPOpenFileCommand;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  UInt8 text[256] = {};
  memcpy(text, url.s, size_t(url.len()) + 1);
  SetEventParameter(event, kEventParamFTPURL, typeFTPPascalString, sizeof text, text);
  SendEventToEventTarget(event, target);
  ReleaseEvent(event);
}
