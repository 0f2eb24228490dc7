// The update check: at start-up the version file on the update account is
// fetched and, when it names a newer version the user has not skipped, the
// update window shows the change notes and downloads the update file to the
// desktop, opening it when it has arrived.
#pragma once
#include "TDownloadFileStreamUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

class TWebKit;
class TUpdateManagerWindow;

struct UpdateConnectionInfo {
  Str255 host;  // empty: no check is made
  Str255 user;
  Str255 password;
  Str255 version;  // the running program's
  Str255 changesPath;
  Str255 versionPath;
};

// The fields of a version file's first line: version "|" update file "|"
// "yes" for a major update. The line ends at the first line break and is cut
// to 255 bytes; each field is trimmed of blanks.
struct UpdateVersionLine {
  Str255 version;
  Str255 updateFile;
  Boolean majorUpdate = false;
};
UpdateVersionLine ParseVersionLine(const char* text, size_t length);

// True when the dotted decimal version is newer than the current one; the
// components are compared as numbers (a missing one counts as 0), so 2.0.10
// is newer than 2.0.3 and 2.0 is not newer than 2.0.0.
Boolean IsNewerVersion(const Str255& version, const Str255& current);

class TUpdateStream : public TDownloadFileStream {
 public:
  Str255 currentVersion;
  TPreferenceHandler* preferences = nullptr;  // not owned
  TUpdateManagerWindow* window = nullptr;     // the one opened, if any
  UpdateConnectionInfo info;

  void GotFile(Ptr data, const FSRef& file) override;
  void GotError(const Str255&) override {}
  virtual Boolean CompareVersion(const Str255& version);
};

class TUpdateManagerWindow : public TWindow {
 public:
  TPreferenceHandler* preferences = nullptr;  // not owned
  Str255 version;
  Str255 updateFile;
  UpdateConnectionInfo info;
  TDownloadFileStream* stream = nullptr;   // the running update download
  TDownloadFileStream* changes = nullptr;  // the running notes download
  TWebKit* webView = nullptr;
  Boolean majorUpdate = false;
  ControlRef progress = nullptr, status = nullptr, download = nullptr, arrows = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Close(SInt32& status) override;
  void Release() override;
  virtual void DownloadUpdate();
  virtual void DisplayChanges(Ptr data, const FSRef& file);
  virtual void UpdateProgress(float ratio, const Str255& message);
  virtual void SetStatus(const std::string& text);
};

// The interface file the update window comes from.
extern IBNibRef UpdateManagerNib;

// Starts the check and returns at once with the handle of the version file's
// download; nothing happens (0) with an empty host.
FTPStreamHandle CheckForUpdates(const UpdateConnectionInfo& info, TPreferenceHandler* preferences);
