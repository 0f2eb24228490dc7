// Per-file information: every file of a project may have its own settings,
// a dictionary in the project preferences under "FileInfo::" + the file's
// display name (files of one name share it). These are the keys, the seeding
// of an entry, the user-path routines that read the stored records, and the
// window in which the user edits an entry.
#pragma once

#include <string>

#include "CFArray.h"
#include "DataBrowser.h"
#include "Files.h"
#include "MacTypes.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "ShortString.h"
#include "TPreferenceWindowUnit.h"
#include "TPreferencesUnit.h"

class TUserPathsBrowser;

extern const char kFileInfoPrefix[];           // "FileInfo::"
extern const char kFileInfoPreviewMode[];      // "FileInfoPreviewMode"
extern const char kFileInfoRunMode[];          // "FileInfoRunMode"
extern const char kFileInfoPreviewExternal[];  // "FileInfoPreviewExternal"
extern const char kFileInfoServer[];           // "FileInfoServer"
extern const char kFileInfoLabel[];            // "FileInfoLabel"
extern const char kFileInfoDirectory[];        // "FileInfoDirectory"
extern const char kFileInfoPath[];             // "FileInfoPath"
extern const char kFileInfoNotes[];            // "FileInfoNotes"
extern const char kFileInfoArguments[];        // "FileInfoArguments"
extern const char kFileInfoPreviewPaths[];     // "FileInfoPreviewPaths"
extern const char kFileInfoGETArguments[];     // "FileInfoGETArguments"

// "FileInfo::" + name.
Str255 FileInfoKey(const Str63& name);

// Seeds the file's entry when it holds nothing: "Default" preview and run
// modes, no external preview, the project's "ProjectServer" of this moment,
// label "None"; then the project file is written. An entry that holds any
// value is left alone.
void SetDefaultFileInfo(const FSRef& file, TPreferenceHandler* prefs);
// The same for a file known by its name.
void SetDefaultFileInfoForName(const Str63& name, TPreferenceHandler* prefs);

// The preview location of the file named name from the user paths under
// key: the first enabled record decides. base is the project bundle (its
// folder is the base of Project paths). Empty when there is no array or no
// enabled record; records of unknown kinds give the empty string.
Str255 GetActiveUserPath(const Str63& name, const FSRef& base, const Str255& key, TPreferenceHandler* prefs);
// Whether a record under key has exactly this path (enabled or not).
Boolean UserPathExists(const Str255& path, const Str255& key, TPreferenceHandler* prefs);
// Whether a record under key has this path and kind (enabled or not).
Boolean UserPathKindExists(const Str255& path, SInt16 kind, const Str255& key, TPreferenceHandler* prefs);
// The records under key as placeholder + path strings ("{src}Sources"),
// disabled ones too; nil when there are none. The caller releases it.
CFArrayRef SerializeUserPaths(const Str255& key, TPreferenceHandler* prefs);

// The editable list of a file's script arguments, bound to
// "FileInfoArguments": check box 'ACTV', texts 'NAME' and 'VALU'. Each row
// holds its record as its 129 stored bytes.
class TArgumentBrowser : public TPreferenceArrayBrowser {
 public:
  void SetItemData(void* data, UInt32 type, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  // An edited name or value, cut to 63 characters.
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;
  void SetItemCheckbox(void* data, DataBrowserItemID item, DataBrowserPropertyID property, Boolean value) override;
};

// ---------------------------------------------------------------------------
// The file information window: panes General, Script, FTP, Preview and
// Notes over the file's entry in its project's preferences. One at most.

class TFileInfo : public TPreferenceWindow {
 public:
  FSRef file{};
  TPreferenceHandler* projectPreferences = nullptr;  // not owned: the project's
  FSRef base{};  // the project bundle: its folder is the base of Project paths
  TArgumentBrowser* arguments = nullptr;      // the Script pane's list, while it shows
  TUserPathsBrowser* previewPaths = nullptr;  // the Preview pane's list, while it shows
  // The file's entry, the window's own preference handler; owned.
  TPreferenceHandlerDictionary* entry = nullptr;

  // The pane commands first; then '+ARG' and '-ARG' add and delete
  // arguments, '+PAT' and '-PAT' preview locations.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void SetupPane(const Str63& paneName, TPane* pane) override;
  void HandleMenuPreference(const Str255&, ControlRef) override {}
  // The lists are written back when their pane stores its values.
  void SetValue(ControlRef control, TPreferenceHandler* prefs, const Str255& key) override;
  // Binds the window to a file of the project whose handler is prefs: its
  // entry (seeded when empty) becomes the window's handler and the base of
  // Project paths that project's bundle. A window that shows already
  // stores the pane it shows into the entry it had, then shows the Script
  // pane of the new file.
  virtual void Load(const FSRef& inFile, TPreferenceHandler* prefs);
};

// Shows the file information window for a file of the project whose
// preference handler is prefs, reloading an open window for another file.
void OpenFileInfo(const FSRef& file, TPreferenceHandler* prefs);
// The window, when one is open.
TFileInfo* GetFileInfoWindow();
// Closes the window (storing its values) when it works on that project.
void CloseFileInfoWindow(TPreferenceHandler* projectPrefs);

// Where a file goes on its server: "ftp://" + the host, the server's root
// folder once when it has one, the file's "FileInfoDirectory" when set, and
// the file's name. Uploads and the General pane both take it from here.
std::string GetFileUploadURL(const FTPServerInfo& server, const Str255& directory, const Str63& name);
// "1.5M"-style size text of a byte count of any size.
Str255 GetFileSizeString(UInt64 bytes);
