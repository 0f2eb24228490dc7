// Per-file information: every file of a project may have its own settings,
// a dictionary in the project preferences under "FileInfo::" + the file's
// display name (files of one name share it). These are the keys, the seeding
// of an entry and the user-path routines that read the stored records.
#pragma once

#include "CFArray.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TPreferencesUnit.h"

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
