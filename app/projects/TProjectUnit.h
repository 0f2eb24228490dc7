// TProject: one open project. A project is a ".qvproj" folder bundle; beside
// it lie the folders "Sources" and "Resources" its files are copied into.
// The project keeps its preferences (Contents/Resources/Preferences/
// project.plist), its symbol index (FileSystem.plist beside them) and five
// groups of items, each saved in its own tree file in Contents/Resources/Data.
// Files are named by their file name alone and found again on every use
// (ResolveFile).
//
// Everything here runs on the main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFTree.h"
#include "Files.h"
#include "MacTypes.h"
#include "ProjectRecords.h"
#include "ShortString.h"
#include "TModePaneUnit.h"
#include "TPreferencesUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "TGroupBrowserUnit.h"
#include "brackenrow/Brackenrow.h"

class TDocument;
class TFileSystem;
class TSourceDocument;
class TProject;
class TProjectBrowser;
class TCompileWindow;
class TSyntaxParser;
class TWindow;

// ---------------------------------------------------------------------------
// Names and texts

extern const char kProjectPreferencesPath[];    // "Contents/Resources/Preferences/project.plist"
extern const char kProjectPreferencesFolder[];  // "Contents/Resources/Preferences/"
extern const char kProjectDataFolder[];         // "Contents/Resources/Data/"
extern const char kDefaultProjectPrefs[];       // "(default project prefs).plist"
extern const char kProjectPrefsFailedMessage[];  // "The project preferences could not be loaded!"
extern const char kProjectCopyFailedMessage[];   // "The requested file could not be copied."
extern const char kProjectRenameFailedMessage[];  // "There was an error renaming the file."
extern const char kProjectNameTooLongMessage[];   // a name that does not fit its short string
extern const char kProjectBookmarkPlaceholder[];  // the address of a new bookmark
extern const char kProjectNothingToCompileMessage[];  // "There are no files needing to be compiled."
extern const char kProjectSaveTemporaryTitle[];      // "Save project?"
extern const char kProjectSaveTemporaryMessage[];    // the temporary project will be deleted unless saved
constexpr SInt32 kProjectCompileWindowThreshold = 35;

// Project preference keys.
extern const char kProjectServerKey[];        // "ProjectServer"
extern const char kProjectSizeKey[];          // "ProjectSize"
extern const char kProjectModeKey[];          // "ProjectMode"
extern const char kProjectRunModeKey[];       // "ProjectRunMode"
extern const char kUserPathsKey[];            // "UserPaths"
extern const char kProjectPreviewPathsKey[];  // "ProjectPreviewPaths"
// Application preferences read when files are added.
extern const char kGeneralImportAddPathKey[];    // "GeneralImportAddPath"
extern const char kGeneralImportCopyFilesKey[];  // "GeneralImportCopyFiles"

enum : OSType {
  kProjectSourceType = 'TTXT',
  kProjectResourceType = 'RTXT',
  kProjectSnippetType = 'SNIP',
  kProjectBookmarkType = 'BOOK',
  kProjectCommandType = 'COMM',
};

// The row height and the indent per level of row sizes 1 to 4.
struct ProjectRowMetrics {
  UInt16 rowHeight;
  UInt16 indent;
};
// False for sizes outside 1 to 4 (which change neither).
Boolean GetProjectRowMetrics(SInt32 size, ProjectRowMetrics& metrics);

// The full size of the record a row of the type holds: file items, folders,
// bookmarks and commands; 0 for other types.
CFIndex ProjectRecordSize(UInt32 type);
// Makes a row read short from its group file hold its whole record, with
// what the short row showed (an empty name for a name cut off), before
// anything is written into it; true when the row holds its whole record.
// The row then holds a new block: the old payload address is gone.
Boolean MakeProjectRecordWhole(NodeInfoPtr node);


// ---------------------------------------------------------------------------
// Groups
//
// The project's five groups are group-browser groups over the project
// browser's one tree; each keeps its items in its own tree file in the
// bundle's Data folder. TProjectGroup is their common part: the owner and
// the look-ups the project makes.

class TProjectGroup : public TBrowserGroup {
 public:
  TProject* owner = nullptr;  // not owned

  // New rows stay in the group: a container that is not one of its folders
  // stands for its root, and a selection or drop mark outside the container
  // they go into is let go first (the tree would otherwise place them
  // beside it, in whatever group that lies).
  SInt32 NewItem(void* data, SInt32 length, SInt32 container) override;
  SInt32 NewFolder(const Str63& name, SInt32 container) override;

  // "Contents/Resources/Data/" + the group's file name in the bundle,
  // created empty when missing.
  OSStatus GetResourceFile(FSRef& file) override;
  // A group file that cannot even be made (a folder in its place, no room)
  // is told like a failed write.
  void Save() override;
  // Takes the file's items; indexes another group already uses are given
  // anew, so the groups of one tree never share one.
  void Load(CFTreeRef tree) override;

  // Every item of the group, depth first, containers before their children
  // (not the group row).
  std::vector<NodeInfoPtr> Items() const;
  // An item of this group; nil for any other index.
  NodeInfoPtr GetNode(SInt32 index) const;
  // The first non-folder item whose payload name equals name (Sources and
  // Resources); nil when there is none.
  NodeInfoPtr GetFileItem(const Str63& name) const;
  // The names of the group's file items, in tree order.
  std::vector<Str63> ReturnGroupItems() const;
  // The payload's tree item, when it is one of this group's.
  NodeInfoPtr NodeOfData(const void* data) const;
};

// Sources: files found by name through the project's user paths.
class TFileGroup : public TProjectGroup {
 public:
  // The file's display name and Finder icon; the stored name and the
  // unknown-file icon when the file is not found.
  void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) override;
  // 'fINF', 'opnF', 'opnW', 'revF', 'RENM' for a file that is found.
  void ProcessCommand(void* data, UInt32 type, const HICommand& command) override;
  // With the sheet's 'OPTI'/128 box on, the file on disk is renamed too.
  void RenameItem(void* data, const Str63& name, TWindow* window) override;
  // Marks (edited, upload error, transferring, compiling) and the colour
  // label behind the name.
  void DrawItem(void* data, Boolean selected, DataBrowserItemID item, DataBrowserPropertyID property,
                DataBrowserItemState state, CGRect bounds, CGContextRef context) override;
  Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) override;
  void OpenItem(void* data) override;
  // Finder files ('hfs ') of the group's type, and folders.
  Boolean AcceptItem(void* data, DragRef drag, UInt32 type) override;
  // 'furl' and 'utxt' (the POSIX path) of a file that is found.
  void AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) override;

  // A folder item named like the folder, holding every listed item that a
  // group takes.
  virtual void AddFolderItems(const FSRef& folder, Boolean copy);
};

// Resources: images open in the program, anything else in its application.
class TResourceGroup : public TFileGroup {
 public:
  void OpenItem(void* data) override;
};

class TSnippetGroup : public TProjectGroup {
 public:
  void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) override;
  void ProcessCommand(void* data, UInt32 type, const HICommand& command) override;
  void RenameItem(void* data, const Str63& name, TWindow* window) override;
  // Dropped text becomes a snippet "untitled".
  Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) override;
  void OpenItem(void* data) override;
  Boolean AcceptItem(void* data, DragRef drag, UInt32 type) override;
  void AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) override;

  // A snippet "untitled" with no text at the group's root; the snippet
  // editor opens on it. The item's index.
  virtual SInt32 NewSnippet();
  // A snippet payload: name + ":" in 64 bytes, then the UTF-16 text. The
  // caller disposes of it.
  static Ptr CreateData(const Str63& name, const std::u16string& text, SInt32& length);
  static Str63 GetName(const void* data, SInt32 length);
  static std::u16string GetUnicodeText(const void* data, SInt32 length);
  static Str255 GetString(const void* data, SInt32 length);
};

class TBookmarkGroup : public TProjectGroup {
 public:
  void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) override;
  void ProcessCommand(void* data, UInt32 type, const HICommand& command) override;
  // The rename sheet's name becomes the title.
  void RenameItem(void* data, const Str63& name, TWindow* window) override;
  // Dropped "http", "ftp" or "file" addresses become bookmarks.
  Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) override;
  void OpenItem(void* data) override;
  Boolean AcceptItem(void* data, DragRef drag, UInt32 type) override;
  void AddItemFlavor(void* data, UInt32 type, DragRef drag, DragItemRef item) override;

  // A bookmark of the address that opens inside, named after the
  // address's last path component, at the group's root. The item's index.
  virtual SInt32 NewBookmark(const Str255& url);
};

class TCommandGroup : public TProjectGroup {
 public:
  void GetDisplay(NodeInfoPtr node, IconRef& icon, Str63& name) override;
  void ProcessCommand(void* data, UInt32 type, const HICommand& command) override;
  // The rename sheet's name becomes the title (the library command keeps
  // its name).
  void RenameItem(void* data, const Str63& name, TWindow* window) override;
  // Runs the command on the front editor's selection.
  void OpenItem(void* data) override;
  // The command leaves the project's macro library with its item.
  Boolean RemoveItem(void* data, UInt32 type) override;

  // A command "untitled" naming the library command at the group's root.
  // The item's index.
  virtual SInt32 NewCommand(const Str31& command);
};

// The windows of other units the project opens; an entry left nil makes
// its command do nothing (and travel on).
struct ProjectDialogHooks {
  // The command editor of a command item ('gINF').
  void (*OpenCommandEditor)(TProject* project, void* data);
  // The project settings window ('pINF').
  void (*OpenProjectInfo)(TProject* project);
};
void ProjectSetDialogHooks(const ProjectDialogHooks* hooks);
const ProjectDialogHooks& ProjectGetDialogHooks();

// ---------------------------------------------------------------------------
// The project

class TProjectAbstract : public TModePane {
 public:
  SInt32 animationStep = 0;
  // Item indexes of the files being uploaded.
  std::vector<SInt32> transfers;
  FSRef temporaryFolder{};
  ControlRef browserControl = nullptr;
  // Where the next added file or folder goes: 0 = the group's root.
  UInt32 insertionContainer = 0;

  virtual Boolean ResolveFile(const Str63& name, FSRef& ref) = 0;
  virtual void AddFile(const FSRef& file, Boolean copy) = 0;
  virtual void AddFolder(const Str63& name) = 0;
  // Renames an item of the group; onDisk renames a file item's file too.
  // False, with a message shown, when the name does not fit or the file
  // cannot be renamed; the item then keeps its name.
  virtual Boolean RenameItem(TProjectGroup* group, SInt32 index, const Str255& name, Boolean onDisk) = 0;
  // A handler over the file's entry "FileInfo::" + name; the caller
  // releases it.
  virtual TPreferenceHandlerDictionary* CopyFileInfo(const Str63& name) = 0;
};

class TProject : public TProjectAbstract {
 public:
  TProjectBrowser* browser = nullptr;  // owned; the group tree
  FSRef bundle{};
  TDocument* document = nullptr;  // owned; the bundle, as its window's document
  TPreferenceHandlerFile* projectPreferences = nullptr;  // owned
  MenuRef headerMenu = nullptr;     // owned: the "Project" button's pop-up (the focus menu)
  ControlRef headerToolbar = nullptr;
  MenuRef actionMenu = nullptr;     // owned: the lower toolbar's pop-up ("Actions Menu")
  ControlRef toolbar = nullptr;     // the lower toolbar, when the window gave one
  SInt16 actionItem = 0;            // the action menu's button on it
  IBNibRef nib = nullptr;           // the interface file the pane came from; not owned
  TFileSystem* fileSystem = nullptr;                     // owned; nil without a Preferences folder
  CFMutableDictionaryRef searchPaths = nullptr;          // owned
  // Sources, Resources, Snippets, Bookmarks, Commands, in this order;
  // owned (the browser's group list does not own them).
  std::vector<TProjectGroup*> groups;
  SInt32 size = 2;
  // The compile under way; cancelled when the project goes. A finished
  // driver is freed at the next compile or when the project goes (it
  // reports its end from inside its own release).
  TSyntaxParser* parser = nullptr;
  TSyntaxParser* finishedParser = nullptr;
  // Files queued by the last compile, and whether that many asked for the
  // compile window (more than kProjectCompileWindowThreshold).
  SInt32 compileCount = 0;
  Boolean compileWindow = false;
  // The progress window of that compile; it goes when the compile ends.
  TCompileWindow* compiler = nullptr;
  // The streams of running uploads; each is told to forget the project
  // when it goes.
  std::vector<void*> uploads;
  Boolean releasing = false;
  // The project's open documents; told when the project goes.
  std::vector<class TProjectDocument*> documents;

  // Attaches the preferences (copying the default file into a bundle that
  // has none) and adds the default user paths: 0, or -43 with the message
  // "The project preferences could not be loaded!".
  virtual OSStatus SetDefaultPreferences();
  Boolean ResolveFile(const Str63& name, FSRef& ref) override;
  void AddFile(const FSRef& file, Boolean copy) override;
  void AddFolder(const Str63& name) override;
  Boolean RenameItem(TProjectGroup* group, SInt32 index, const Str255& name, Boolean onDisk) override;
  // The rename sheet of an item ("Rename Item (Files)" for file items, else
  // "Rename Item") on the active window, holding the item's name; its box
  // 'OPTI'/128 is enabled for a file that is found.
  virtual void RenameItem(void* data, UInt32 type, TProjectGroup* group);
  // The new-file sheet on the pane's window; Err holds the outcome.
  virtual SInt32 NewFile();
  TPreferenceHandlerDictionary* CopyFileInfo(const Str63& name) override;
  // Adds the folder of the file at the POSIX path as a user path, relative
  // to the project, application or system folder when it lies inside one;
  // nothing when a record of that path is stored already.
  virtual void AddUserPath(const Str255& path);
  // Stores the file's folder as its "FileInfoPath" ("{src}" + the path
  // inside the project folder, else the full path) when the project would
  // not find the file by its name; AddFile calls it for files added where
  // they lie.
  void RememberFileFolder(const Str63& name, const FSRef& file);
  virtual Boolean SupportsFTP();
  // Sizes below 1 count as 2; the size is stored as "ProjectSize".
  virtual void SetSize(SInt32 size);

  // Removes an item at the user's request. A file item's per-file settings
  // go with it unless another item of the group has the same name.
  virtual Boolean RemoveItem(TProjectGroup* group, SInt32 index);
  // The item's file for group items of Sources and Resources.
  Boolean ResolveItem(NodeInfoPtr node, FSRef& file);
  // The edited flag of the item named like the file (its document's
  // modified state); an unsaved document's close clears it with the error.
  void SetItemEdited(const Str63& name, Boolean edited);
  void DocumentClosed(const Str63& name);

  // Parses the Sources group's files that changed since their last parse
  // into the symbol index, in timer slices; "There are no files needing to
  // be compiled." when none did.
  virtual void Compile();
  // The parser's reports: the item's compiling mark (skipped when the item
  // is gone), and the end of the batch.
  static void HandleCompileNotification(FileDescriptorPtr descriptor, const SyntaxParserSource& source, SInt16 kind,
                                        void* data, void* userData);
  // A document that goes is no longer read by the compile: its queued
  // files are read from disk, and a compile reading it stops.
  void ForgetDocument(TDocument* document);
  // Stops the compile under way without a report, and its window.
  void CancelCompile();
  void EndUploads();
  TProjectGroup* FindGroupByType(OSType type) const;
  // The group the item belongs to (a contextual command goes to the row's
  // own group); nil when no group holds it.
  TProjectGroup* FindGroupByItem(SInt32 index) const;
  // The group of the selection, nil without one.
  TProjectGroup* SelectedGroup() const;

  // The pane from the interface file: header toolbar, browser over the
  // tree 'BROW'/128.
  void Create(const Str63& name, IBNibRef nib) override;
  // The header toolbar: the "Project" button with the focus menu, and the
  // focus-back button 'FBGB'.
  virtual void SetHeaderToolbar(ControlRef toolbar);
  // The lower toolbar: a new-folder button 'ADIR' and the action menu's
  // button (its item 2).
  virtual void SetToolbar(ControlRef toolbar);
  // Replaces the action menu (the project keeps the new one) and attaches
  // it to the lower toolbar's item 2.
  virtual void SetActionMenu(MenuRef menu);
  // A fresh "Actions Menu" from the interface file; the caller keeps it.
  MenuRef CreateActionMenu() override;
  // Tells the pane's window ('udsp').
  void ModeChanged() override;

  // FSRef blocks of every item of the group of that type whose file is
  // found, in tree order (an array owning its blocks); nil when none. The
  // caller releases it.
  virtual CFArrayRef CopyGroupFSRefs(OSType type);
  virtual CFArrayRef CopyQueryFiles() { return CopyGroupFSRefs(kProjectSourceType); }
  // The payload of the first file item of the whole tree named name; nil
  // when none.
  virtual void* GetFileItem(const Str63& name);
  // An item of the project is named like the file.
  virtual Boolean ContainsFile(const FSRef& file);
  // Upload bookkeeping: the first source item of that name joins the
  // transfers (its transferring mark set); an index leaves them (the mark
  // cleared when the item is still there).
  virtual void AppendTransfer(const Str63& name);
  virtual void RemoveTransfer(SInt32 index);
  virtual Boolean IsFileTransfering(SInt32 index);
  // Uploads each selected file item (folders recursing) that has a server;
  // false when nothing is selected.
  Boolean UploadSelection();
  // Uploads every source file that changed since its last upload.
  virtual void Publish();
  // The running uploads' stream handles: ended before the project goes.
  std::vector<UInt32> uploadStreams;

  // The window shows the project: it owns the pane and stands for the
  // bundle (title and proxy), through a document the project keeps.
  virtual void AppendDocument(TWindow* window);
  // A temporary project asks to be saved elsewhere before its window goes:
  // -1 when the save sheet opened (the window stays for now), else 0.
  virtual SInt32 SaveTemporary();

  // Saves the groups, the preferences and the symbol index; the files that
  // could not be written are told in one alert, and what they hold stays in
  // memory for the next save.
  void SaveAll();
  // Synchronizes the project's settings (or an entry of them), telling the
  // user when "project.plist" could not be written.
  void SaveSettings(TPreferenceHandler* settings);
  // Writes the symbol index when it changed, telling the user when
  // "FileSystem.plist" could not be written.
  void SaveIndex();
  // Cancels the compile and forgets the uploads, saves and frees.
  void Release() override;

  TFileSystem* GetFileSystem() const { return fileSystem; }

  // The project commands: 'ABOK', 'ACOM', 'ASNI' new items, 'ADIR' a new
  // folder, 'addf' the event's file at a group's root, 'PRJS' the row size
  // of the menu item, 'CLEA' and 'COMP' the symbol index. Handled commands
  // set the result to 0.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
};

// The project of the bundle: the pane "Project Pane" built from the
// interface file (nil: the application's, else the bundle's "main"), the
// five groups in its browser, preferences attached, groups loaded.
TProject* CreateProjectPane(const FSRef& bundle, IBNibRef nib = nullptr);

// The project of the front editor window, else of the front project
// window; nil when neither has one.
TProject* ActiveEditorProject();

// The user-path formatting (the formatter the project hands to
// CopyUserPathsArray): the path joined to the base of its kind (3:
// the project folder of context, when there is one; 4: the application's
// folder; 5: the system path; 6: the localhost URL); kinds 1, 2 and 3
// without a project as they stand.
Str255 ResolveUserPaths(const Str255& path, SInt16 kind, void* context);

// A "FileInfoPath" template: the placeholder up to and including the first
// "}" (at most 31 characters) and the path after it. A value without "}" is
// a plain path with no placeholder.
void SplitPathTemplate(const Str255& value, Str31& placeholder, Str255& path);

// The application's main interface file, where the project's windows and
// menus are; "main" opened once for a program without an application
// (tools, tests).
IBNibRef ProjectInterfaceFile();

// What the editor window and its panes ask of a project; start-up puts
// them into their hooks. Each takes nil for no project.
TPreferenceHandler* ProjectHookPreferences(TProject* project);
Boolean ProjectHookBundle(TProject* project, FSRef& bundle);
// A new dictionary of the file's entry; nil when it holds nothing.
CFDictionaryRef ProjectHookCopyFileInfo(TProject* project, const Str63& name);
Boolean ProjectHookSupportsFTP(TProject* project);
void ProjectHookSetDefaultFileInfo(TProject* project, const FSRef& file);
TSourceDocument* ProjectHookMakeDocument(TProject* project);
TFileSystem* ProjectHookFileSystem(TProject* project);
// The source files of the front window's project, for the batch find.
CFArrayRef CopyActiveProjectSearchFiles();
// The files batch find searches in a project: its sources found on disk, in
// the group's order, as a new array owning FSRef blocks; nil without a project.
CFArrayRef CopyProjectSearchFiles(TProject* project);
