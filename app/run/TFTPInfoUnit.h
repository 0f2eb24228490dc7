// The window showing one entry of an FTP browser (where it lives, its size,
// date, owner and mode) in which the entry can be renamed, and the settings
// a file opened from a server starts with.
#pragma once
#include "TEventHandlerUnit.h"
#include "TFTPUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

class TFTPBrowserAbstract;

// The window kind of FTP info windows: a new one cascades on the one in front.
constexpr SInt16 kFTPInfoWindowKind = 8;

// Refuses text with a blank before it reaches a name field.
class TTextFilterHandler : public TEventHandler {
 public:
  void HandleEvent(EventRef event, UInt32 eventClass, UInt32 eventKind, SInt32& result) override;
};

class TFTPInfo : public TWindow {
 public:
  FTPDirectoryListingPtr entry = nullptr;  // the browser's
  TFTPBrowserAbstract* browser = nullptr;  // not owned
  TTextFilterHandler* textFilter = nullptr;

  // The window from the interface file, filled from the entry, then shown.
  void Create(const Str63& name, IBNibRef nib) override;
  // OK renames the entry when its name was changed, then closes the window.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
};

// The message shown when a blank is typed into a file or folder name.
extern const char kNoSpacesInNamesMessage[];

// A new info window for the entry of the browser; nil when the interface file
// has no such window.
TFTPInfo* OpenFTPInfo(TFTPBrowserAbstract* browser, FTPDirectoryListingPtr entry);
// The per-file settings of a file opened from the server's folder (a path
// beginning and ending with "/"): set under "FileInfo::" + name only when
// nothing is stored there yet.
void SetDefaultFTPInfo(const Str63& name, const Str255& folder, TPreferenceHandler* preferences);
