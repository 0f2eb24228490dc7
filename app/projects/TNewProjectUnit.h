// TNewProjectUnit: new projects. A project is made by copying a template of
// the application's "Templates" resources (a whole project folder, or a bare
// bundle), or from an existing folder whose contents become the project's
// sources: imported where they lie, copied, or moved into the new project.
// The import runs on a worker task behind a progress sheet; the sheet that
// asks where and how is the save-project sheet.
#pragma once

#include <string>

#include "CFTree.h"
#include "Files.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "ShortString.h"
#include "TEventHandlerUnit.h"
#include "TNavDialogsUnit.h"
#include "TTaskUnit.h"
#include "TWindowUnit.h"

class TPreferenceHandler;

// How a folder becomes a project's sources: the value of the save sheet's
// radio group 'OPTI'/128.
enum : SInt16 {
  kImportInPlace = 1,  // the folder stays where it is; its absolute path is recorded
  kImportCopy = 2,     // a copy of it becomes the project's "Sources"
  kImportMove = 3,     // it is moved into the project as "Sources"
};

// The names of the two templates in the "Templates" resources folder.
inline constexpr const char* kProjectTemplateName = "(project template)";
inline constexpr const char* kBasicProjectTemplateName = "(project template basic).qvproj";
// The bundle inside the project template, renamed after the new project.
inline constexpr const char* kTemplateBundleName = "(bundle).qvproj";
// Placeholder files that keep the template's empty folders in the source
// tree; a new project never keeps them.
inline constexpr const char* kTemplatePlaceholderName = ".keep";
// Sub-folders deeper than this are listed but not entered.
inline constexpr SInt16 kFolderImportMaximumDepth = 10;

// The state of one folder import, handed by reference to every level; each
// level keeps a copy and restores it on return, all but the last index.
struct FolderTreeInfo {
  CFTreeRef tree = nullptr;   // the node the current folder's items go under
  SInt32 parentIndex = 0;     // its node index, 0 for the root
  Str63 name;                 // the current folder's name
  SInt16 depth = 0;           // 0 for the imported folder's own items
  SInt16 maximumDepth = 0;    // the deepest level entered
  // The last node index handed out; every entry read takes one, skipped
  // ones too. Wide enough that a big folder never wraps around.
  SInt32 lastIndex = 0;
  FSRef baseFolder{};         // the project's "Sources" folder
  Str255 path;                // the current folder as a user path
  SInt16 kind = 0;            // the import mode
  TPreferenceHandler* preferences = nullptr;  // nil: no user paths recorded
};

// 'newP' with "(project template)" and false, 'nwPB' with "" and true: asks
// for a name and a place and makes the project there.
SInt32 HandleNewProjectCommand(const Str63& templateName, Boolean basic);

class TNewProjectDialog : public TNavDialogs {
 public:
  Str63 templateName;
  Boolean basic = false;

  // Makes the project and opens its bundle.
  void HandleNewFile(const FSRef& folder, const std::string& name) override;
};

// The longest file name, in bytes, that a project's bundle takes.
inline constexpr size_t kProjectFileNameLimit = 255;

// A copy of the template named name (UTF-8, whole) in the folder; the bundle
// inside it is named after the project. The new bundle, or all zeros when
// nothing was made (the user has been told why).
FSRef CreateNewProject(const std::string& name, const Str63& templateName, const FSRef& folder);
// A copy of the bare bundle template named name + ".qvproj".
FSRef CreateNewBasicProject(const std::string& name, const FSRef& folder);
// The name of a project's bundle: the UTF-8 name and the extension, the name
// cut (between characters) where the whole would not fit in a file name.
std::string ProjectBundleName(const std::string& name);
// Imports the folder in place as a project in the home folder and opens it.
void CreateTemporaryProject(const FSRef& folder);

// Writes the folder's tree into the bundle's "sources.plist" and records its
// folders as user paths; then, for modes 2 and 3, replaces the project's
// "Sources" by a copy of the folder or by the folder itself. The status of
// the last file operation; nothing is left half done: a failed copy or move
// leaves the folder as it was.
SInt32 ProjectInsertFolderContents(const FSRef& bundle, const FSRef& folder, SInt16 mode);
// The folder's tree, written to the tree file; the caller releases it.
CFTreeRef ConvertFolderToTree(const FSRef& folder, const FSRef& treeFile, const FSRef& sources,
                              const FSRef& bundle, SInt16 mode);
// One level of the walk. Hidden entries, names a project item cannot hold
// and links to folders are left out (each still takes an index).
void IterateContainer(const FSRef& folder, FolderTreeInfo& info, FolderTreeInfo saved);

// A plain window of the interface file, as a sheet of the parent.
TWindow* OpenNewWindow(IBNibRef nib, const Str63& name, WindowRef parent);

class TModeButtonHandler : public TEventHandler {
 public:
  FSRef folder{};
  void HandleEvent(EventRef event, UInt32 eventClass, UInt32 eventKind, SInt32& result) override;
};

// The save-project sheet. command: 0 opens the new project when it is made;
// 1 and 2 close the parent window once it is made.
class TProjectSaveWindow : public TWindow {
 public:
  FSRef folder{};
  UInt32 command = 0;
  Str255 title;
  Str255 message;
  TWindow* parentWindow = nullptr;
  TModeButtonHandler* modeHandler = nullptr;

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  virtual void Save();
  virtual void CloseParent();
  virtual void ChooseFolder();
};

class TChooseFilePathDialog : public TNavDialogs {
 public:
  TWindow* window = nullptr;  // whose 'PATH'/128 receives the folder's path
  void HandleChooseResult(const FSRef& folder) override;
};

// Remote selectors of the import task.
enum : SInt16 {
  kNewProjectTaskFinish = 1,
  kNewProjectTaskShowProgress = 2,
  kNewProjectTaskRemoveProgress = 3,
};

class TNewProjectTask : public TTask {
 public:
  FSRef bundle{};
  SInt16 mode = kImportInPlace;
  UInt32 command = 0;
  TProjectSaveWindow* sheet = nullptr;
  TWindow* progress = nullptr;
  SInt32 status = noErr;  // the import's
  // The folder's name before the save sheet gave it the temporary name
  // (mode 3); empty otherwise. A failed import gives it back.
  Str63 originalName;

  void Run() override;
  void RemoteProcedure(SInt16 selector) override;
};

// Opens the save-project sheet for the folder.
void OpenSaveProjectWindow(const FSRef& folder, UInt32 command, const Str255& title, const Str255& message,
                           TWindow* parent);

