// FSFindFolder: the one table that maps the system's folder types to the
// places of a Linux desktop. The environment is read at every call.
#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FilesInternal.h"

using namespace files;

namespace {

enum class Base { Config, Data, State, Desktop, Documents, Temporary, Home, Frameworks };

struct Place {
  OSType type;
  Base base;
  const char* sub;  // a folder inside the base, or ""
  bool mayCreate;
};

constexpr Place kPlaces[] = {
    {kPreferencesFolderType, Base::Config, "Quorvel", true},
    {kApplicationSupportFolderType, Base::Data, "", true},
    {kLogsFolderType, Base::State, "Quorvel", true},
    {kDesktopFolderType, Base::Desktop, "", true},
    {kDocumentsFolderType, Base::Documents, "", true},
    {kTemporaryFolderType, Base::Temporary, "", true},
    {'chew', Base::Temporary, "", true},
    {kInternetSitesFolderType, Base::Home, "public_html", true},
    {kCurrentUserFolderType, Base::Home, "", false},
    {'home', Base::Home, "", false},
    {kFrameworksFolderType, Base::Frameworks, "", false},
};

std::string Absolute(const char* value) {
  std::string clean;
  if (value != nullptr && value[0] == '/' && NormalizePath(value, &clean)) return clean;
  return std::string();
}

std::string Home() {
  std::string home = Absolute(getenv("HOME"));
  if (!home.empty()) return home;
  struct passwd pw, *found = nullptr;
  std::vector<char> buf(16384);
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr)
    home = Absolute(found->pw_dir);
  return home;
}

// An XDG base folder: the variable when it holds an absolute path, else the
// default under the home folder.
std::string XdgBase(const char* variable, const char* fallback) {
  std::string value = Absolute(getenv(variable));
  if (!value.empty()) return value;
  std::string home = Home();
  return home.empty() ? std::string() : JoinPath(home, fallback);
}

// A user folder from "user-dirs.dirs" in the configuration folder: lines such
// as XDG_DESKTOP_DIR="$HOME/Desktop" (the file is read at every call, since
// the place may change while the program runs).
std::string UserDir(const char* key, const char* fallback) {
  std::string home = Home();
  std::string config = XdgBase("XDG_CONFIG_HOME", ".config");
  if (!config.empty()) {
    if (FILE* f = fopen(JoinPath(config, "user-dirs.dirs").c_str(), "re")) {
      std::string result;
      char line[4096];
      size_t keyLength = std::strlen(key);
      while (fgets(line, sizeof line, f) != nullptr) {
        const char* p = line;
        while (*p == ' ' || *p == '\t') ++p;
        if (std::strncmp(p, key, keyLength) != 0 || p[keyLength] != '=' || p[keyLength + 1] != '"') continue;
        p += keyLength + 2;
        std::string value;
        for (; *p != '\0' && *p != '"'; ++p) {
          if (*p == '\\' && p[1] != '\0') ++p;
          value += *p;
        }
        if (*p != '"') continue;
        if (value.compare(0, 6, "$HOME/") == 0 && !home.empty())
          value = home + value.substr(5);
        else if (value == "$HOME" && !home.empty())
          value = home;
        result = Absolute(value.c_str());
      }
      fclose(f);
      if (!result.empty()) return result;
    }
  }
  return home.empty() ? std::string() : JoinPath(home, fallback);
}

// The Frameworks folder of the bundle: that of $QUORVEL_BUNDLE when set,
// otherwise the folder that holds this library (which lives in it).
std::string Frameworks() {
  std::string bundle = Absolute(getenv("QUORVEL_BUNDLE"));
  if (!bundle.empty()) return bundle + "/Contents/Frameworks";
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&FSFindFolder), &info) != 0 && info.dli_fname != nullptr) {
    std::string library;
    if (NormalizePath(info.dli_fname, &library)) return ParentPath(library);
  }
  return std::string();
}

bool MakeFolders(const std::string& path, mode_t mode);

// Whether the folder at path (not followed when it is a link) belongs to this
// user alone: a folder, owned by the user, with no rights for group or others.
bool OwnedPrivately(const std::string& path, struct stat* st) {
  return lstat(path.c_str(), st) == 0 && S_ISDIR(st->st_mode) && st->st_uid == geteuid() &&
         (st->st_mode & 077) == 0;
}

// The user's private folder for temporary items, which holds files of fixed
// names (untitled previews, transfer copies) that other users must neither read
// nor put in place beforehand: "quorvel" in $XDG_RUNTIME_DIR when that is a
// private folder of the user, otherwise "quorvel-<uid>" in $TMPDIR (or /tmp).
// The folder is made with mode 0700 when missing. One that exists is used only
// when it is a real folder owned by the user; wider rights on it are narrowed
// to 0700. A link, a file, or a folder of another owner at that place is never
// used: the place then has no temporary folder (empty path, fnfErr).
std::string PrivateTemporary() {
  std::string base, name;
  struct stat st;
  const std::string runtime = Absolute(getenv("XDG_RUNTIME_DIR"));
  if (!runtime.empty() && OwnedPrivately(runtime, &st)) {
    base = runtime;
    name = "quorvel";
  } else {
    base = Absolute(getenv("TMPDIR"));
    if (base.empty()) base = "/tmp";
    name = "quorvel-" + std::to_string(geteuid());
  }
  const std::string path = JoinPath(base, name);
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    // The base itself is missing: make it as the other places are made.
    if (errno != ENOENT || !MakeFolders(base, 0700) || (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST))
      return std::string();
  }
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return std::string();
  if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) return std::string();
  return path;
}

std::string BasePath(Base base) {
  switch (base) {
    case Base::Config: return XdgBase("XDG_CONFIG_HOME", ".config");
    case Base::Data: return XdgBase("XDG_DATA_HOME", ".local/share");
    case Base::State: return XdgBase("XDG_STATE_HOME", ".local/state");
    case Base::Desktop: return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case Base::Documents: return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case Base::Temporary: return PrivateTemporary();
    case Base::Home: return Home();
    case Base::Frameworks: return Frameworks();
  }
  return std::string();
}

bool MakeFolders(const std::string& path, mode_t mode) {
  if (path.empty() || path == "/") return true;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (!MakeFolders(ParentPath(path), mode)) return false;
  if (mkdir(path.c_str(), mode) == 0) return true;
  return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

OSErr FSFindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef) {
  if (foundRef == nullptr) return paramErr;
  const Place* place = nullptr;
  for (const Place& p : kPlaces)
    if (p.type == folderType) place = &p;
  if (place == nullptr) return fnfErr;
  std::string path = BasePath(place->base);
  if (path.empty()) return fnfErr;
  if (place->sub[0] != '\0') path = JoinPath(path, place->sub);

  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT || !createFolder || !place->mayCreate) return fnfErr;
    // The private places stay private; the web folder must be readable by the web server.
    mode_t mode = place->base == Base::Home ? 0755 : 0700;
    if (!MakeFolders(path, mode)) {
      struct stat blocker;
      return stat(path.c_str(), &blocker) == 0 ? OSErr(errFSNotAFolder) : ErrnoToOSErr(errno);
    }
  } else if (!S_ISDIR(st.st_mode)) {
    return errFSNotAFolder;
  }
  // The place must come back as a folder: a place that is a symbolic link
  // (a web folder linked elsewhere, say) is given as the folder it names.
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      path = real;
      free(real);
    }
  }
  if (lstat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
  MakeRef(path, st, foundRef);
  return noErr;
}
