// TEditorWindowUnit: the editor window, in which the user edits. It holds
// the documents of one or more files, each in an editor pane, as its single
// pane or as tabs, and pages in preview panes; it can be bound to a project,
// and an integrated project window also holds a side pane. The window's
// commands, the enabling of its menu items and toolbar items, and the choice
// of run and preview modes are in TEditorWindowUnit+Commands.cpp.
//
// The project, the preview pane, the FTP pane, the symbol panes and the side
// pane come from units built later; the window reaches them through the
// EditorWindowHooks record, whose empty entries mean "not there": commands
// that need them are shown disabled and do nothing.
#pragma once

#include <optional>

#include "ApplicationFramework.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "PreferenceUtilities.h"
#include "ShortString.h"
#include "TEditorTabsUnit.h"
#include "TSourceDocumentUnit.h"

class TEditorPane;
class TEditorTabPane;
class TFileSystem;
class TModePane;
class TPane;
class TSidePane;
class TTabPane;

// Class string, interface resources and preference keys.
extern const Str63 kEditorWindowResource;            // "EditorWindow"
extern const Str63 kEditorWindowIntegratedResource;  // "EditorWindow (Integrated Project)"
extern const Str63 kEditorTabbedPaneResource;        // "Tabbed Pane"
extern const Str63 kEditorPaneResource;              // "Editor Pane"
extern const Str63 kEditorPreviewPaneResource;       // "Preview Pane 2.1"
extern const Str63 kEditorSidePaneResource;          // "Side Pane"
extern const Str63 kEditorSidePaneStandAloneResource;  // "Side Pane (Stand Alone)"

// Toolbar identifiers.
extern const Str255 kEditorToolbarIntegrated;     // "integrated editor"
extern const Str255 kEditorToolbarSimple;         // "simple editor"
extern const Str255 kEditorToolbarRunItem;        // "com.brindlecote.toolbar.editor.run"
extern const Str255 kEditorToolbarPreviewItem;    // "com.brindlecote.toolbar.editor.preview"
extern const Str255 kEditorToolbarSegmentItem;    // "com.brindlecote.view.segmentview.toolbar.item"
extern const Str255 kEditorToolbarSearchItem;     // "com.brindlecote.view.searchfield.toolbar.item"

// Commands of the editor window.
enum : UInt32 {
  kEditorCommandRun = 'EXEC',
  kEditorCommandCheckSyntax = 'EXCS',
  kEditorCommandRunDebug = 'exeD',
  kEditorCommandRunPreview = 'exeP',
  kEditorCommandRunTerminal = 'exeT',
  kEditorCommandPreviewBrowser = 'prvB',
  kEditorCommandPreviewDisk = 'prvD',
  kEditorCommandPreviewLocalhost = 'prvL',
  kEditorCommandPreviewServer = 'prvS',
  kEditorCommandPreviewWith = 'prvf',
  kEditorCommandPreviewWindow = 'prvW',
  kEditorCommandShowError = 'Xerr',
  kEditorCommandFind = 'FIND',
  kEditorCommandReplace = 'REPL',
  kEditorCommandFindInProject = 'FNDP',
  kEditorCommandFindFirst = 'FndS',  // every ID from here ...
  kEditorCommandFindLast = 'FndT',   // ... to here shares one status rule
  kEditorCommandReplaceFind = 'ReFN',
  kEditorCommandReplaceAll = 'RePA',
  kEditorCommandReplaceSelection = 'RePS',
  kEditorCommandFindWindow = 'WFdN',
  kEditorCommandIdleTyping = 'SEIT',
  kEditorCommandFileInfo = 'fINF',
  kEditorCommandProjectInfo = 'pINF',
  kEditorCommandUpload = 'uplo',
  kEditorCommandCompile = 'ECMP',
  kEditorCommandClosePreview = 'cEDT',
  kEditorCommandClosePane = 'cPAN',
  kEditorCommandAbort = '!NTP',
  kEditorCommandTheme = 'REFA',
  kEditorCommandModeSymbols = 'Msym',
  kEditorCommandModeProject = 'Mpro',
  kEditorCommandModeFTP = 'Mftp',
  kEditorCommandConsoleOutput = 'OPCN',
  kEditorCommandMacroErrors = 'shme',
  kEditorCommandNew = 'new ',
  kEditorCommandNewFile = 'newF',
  kEditorCommandShowPage = 'page',
  kEditorCommandDetachProject = 'prDT',
  kEditorCommandSymbolsParsed = 'sptm',
  kEditorCommandUpdateSidePane = 'udsp',
  kEditorCommandRename = 'RENM',
  kEditorCommandPublish = 'pubx',
};
constexpr MenuID kEditorProjectMenuID = 132;
// Parameters of the macro-output commands and of the theme command.
enum : EventParamName {
  kEventParamMacroText = 'CFSR',
  kEventParamMacroName = 'cmnm',
  kEventParamSyntaxTheme = 'synt',
};

// The message of 'Mftp' when the project has no usable server.
extern const char* const kEditorNoFTPMessage;

// ---------------------------------------------------------------------------
// Run and preview modes

// What a run command does: nothing, RunScript with a mode (2 run and debug,
// 3 run and preview, 4 check syntax), or RunTerminal.
struct EditorRunChoice {
  enum Action : UInt8 { kNothing, kScript, kTerminal };
  Action action = kNothing;
  SInt16 mode = 0;
  bool operator==(const EditorRunChoice&) const = default;
};
// With a project, 'EXEC' follows the file's run mode (empty counts as
// "Default", which means the project's); other commands and windows without
// a project map the command itself.
EditorRunChoice ResolveRunCommand(UInt32 command, Boolean hasProject, const Str255& fileRunMode,
                                  const Str255& projectRunMode);
// The preview mode of a project file: the file's "FileInfoPreviewMode",
// empty counting as "Default", which means the project's "ProjectMode".
Str255 ResolvePreviewMode(const Str255& fileMode, const Str255& projectMode);

// One preview request: the mode, whether the external application is used,
// the application chosen (all zero: none) and the server.
struct EditorPreviewRequest {
  Str255 mode;
  Boolean external = false;
  FSRef application{};
  FTPServerInfo server{};
};
// The request of a preview command, given what HandlePreviewCommand found:
// the resolved mode, the external flag, the menu's application and server.
EditorPreviewRequest ResolvePreviewCommand(UInt32 command, const Str255& mode, Boolean external,
                                           const FSRef& application, const FTPServerInfo& server);
// The server of a project file: the file's "FileInfoServer" record, with "/"
// and "FileInfoDirectory" appended to its web address when that is not
// empty and its query set to "FileInfoGETArguments"; else the record of the
// project's "ProjectServer". False when neither names a stored server.
Boolean ResolvePreviewServer(CFDictionaryRef fileInfo, const Str63& projectServer, FTPServerInfo& server,
                             Boolean& external);

// ---------------------------------------------------------------------------
// Command status

// What the active pane offers, as the status rules read it.
struct EditorPaneState {
  enum Kind : UInt8 { kNone, kEditor, kPreview };
  Kind kind = kNone;
  Boolean supportsRun = false;
  Boolean findAvailable = false;
  Boolean hasProject = false;       // the pane has a project
  Boolean lowerIsFindPane = false;
  Boolean supportsFTP = false;      // with the file's own server
  Boolean supportsPreview = false;
  Boolean localhostURL = false;     // the document is in a web folder
  Boolean previewInPlace = false;   // a preview shows in the pane's place
  Boolean hasLowerPane = false;
  Boolean projectServer = false;    // the project's "ProjectServer" names a record
  Boolean fileExists = false;       // the document's file is saved
  // Units built later are there: the preview, the file information window.
  Boolean previewUnit = false;
  Boolean fileInfoUnit = false;
};
// Menu status of a command: true and enabled set when the rules decide it.
Boolean EditorCommandStatus(UInt32 command, const EditorPaneState& pane, Boolean& enabled);
// Project-menu status (menu 132).
Boolean EditorProjectMenuStatus(UInt32 command, Boolean hasProject, Boolean browserSelection);

// What the toolbar shows for a pane state: each decided item enabled or
// not; items left undecided keep their look.
struct EditorToolbarState {
  std::optional<bool> run, preview, upload, search, find, info, compile, ftpSegment;
  Boolean redraw = false;
  bool operator==(const EditorToolbarState&) const = default;
};
// windowProject: the window has a project; projectFTP: that project
// supports FTP; paneFTP: the pane supports FTP without a server record.
EditorToolbarState EditorToolbarStatus(const EditorPaneState& pane, Boolean windowProject, Boolean projectFTP,
                                       Boolean paneFTP);

// The mode segments' value: 1 project, 2 FTP, 3 symbols.
class THIToolbar;
void EditorToolbarSetModeSegment(THIToolbar* toolbar, SInt32 segment);

// ---------------------------------------------------------------------------
// Units built later

struct EditorWindowHooks {
  // Projects.
  TProject* (*OpenProject)(const FSRef& bundle);  // the project pane of a bundle
  TProject* (*FrontProjectWindowProject)();       // the front project window's
  TPreferenceHandler* (*ProjectPreferences)(TProject* project);
  Boolean (*ProjectBundle)(TProject* project, FSRef& bundle);
  // A new dictionary of the project file's information (caller releases).
  CFDictionaryRef (*CopyFileInfo)(TProject* project, const Str63& name);
  void (*ProjectCommand)(TProject* project, const HICommand& command, EventRef event, SInt32& result);
  Boolean (*ProjectSupportsFTP)(TProject* project);
  Boolean (*ProjectBrowserSelection)(TProject* project);
  void (*CompileProject)(TProject* project);
  void (*SetDefaultFileInfo)(TProject* project, const FSRef& file);
  void (*OpenFileInfo)(TProject* project, const FSRef& file);
  // The window joins the project (its commands, its documents), and leaves
  // it when it closes; the project pane is disposed with an integrated one.
  void (*AttachWindow)(TProject* project, TEditorWindowAbstract* window);
  void (*CloseWindow)(TProject* project, TEditorWindowAbstract* window);
  // The editor's documents (project documents); nil makes a source
  // document that follows a new name in its tab.
  TSourceDocument* (*MakeDocument)(TProject* project);
  // Preview panes: a pane (made, or the owner's own reused) that shows the
  // document, loaded with the address; nil leaves the document to the
  // window, which releases it.
  TDocumentPane* (*MakePreviewPane)(TEditorWindowAbstract* window, TDocument* document, const std::string& url,
                                    TDocumentPane* owner);
  Boolean (*IsPreviewPane)(TPane* pane);
  // The project's pane (its groups), its symbol index, and the action menu
  // of its toolbar (the project takes the menu over).
  TModePane* (*ProjectPane)(TProject* project);
  TFileSystem* (*ProjectFileSystem)(TProject* project);
  void (*SetActionMenu)(TProject* project, MenuRef menu);
  // FTP.
  TPane* (*MakeFTPPane)(const FTPServerInfo& server, TEditorWindowAbstract* window);
};
// Copies the record; nil goes back to none.
void EditorWindowSetHooks(const EditorWindowHooks* hooks);
// What the editor panes ask of their window: whether it is the integrated
// variant, and to refresh its side pane. Start-up puts them into the panes'
// hooks.
Boolean EditorWindowIsIntegratedProjectWindow(TWindow* window);
void EditorWindowUpdateSidePane(TWindow* window);
const EditorWindowHooks& EditorWindowGetHooks();

// ---------------------------------------------------------------------------

class TEditorWindow : public TEditorWindowAbstract {
 public:
  TSidePane* SidePane = nullptr;
  TEditorTabPane* Tabs = nullptr;
  TPane* FTPPane = nullptr;
  TModePane* SymbolBrowser = nullptr;
  TPane* BookPane = nullptr;  // books are switched off
  TEditorPane* SinglePane = nullptr;

  void NewFile(const FSRef* file, Ptr text) override;
  void NewURL(const Str255& url, TDocumentPane* owner) override;
  // The same for a URL of any length.
  void NewURLString(const std::string& url, TDocumentPane* owner);
  void NewFTPFile(TDocument* document) override;
  TModePane* GetModePane() override;
  void PreviewNewWindow(const Str255& url) override;
  void UpdateSidePane(TDocumentPane* pane) override;
  void UpdateHTMLViewer() override {}
  void UpdateSymbols() override;

  virtual void SetupToolbar();
  virtual void AttachPane(TEditorPane* pane);
  virtual void DetachProject();
  virtual TEditorPane* GetActiveEditor();
  virtual void HandleRunCommand(UInt32 command, TEditorPane* pane);
  virtual void HandlePreviewCommand(const HICommand& command, TEditorPane* pane);
  virtual void HandleErrorCommand(UInt32 command, TEditorPane* pane);

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void Create(const Str63& name, IBNibRef inNib) override;
  void Close(SInt32& status) override;
  Boolean SaveDocumentList(CFArrayRef list) override;
  void ProcessDocumentCommand(const HICommand& command, EventRef event, TDocument* document,
                              SInt32& result) override;
  void UpdateToolbarStatus() override;
  Boolean CompareDocumentRoot(const FSRef& file) override;
  SInt32 HandleEvent(EventRef event) override;
  // The window has closed: the project's macros go with it.
  void Closed() override;
  // Also brings the toolbar up to date (a save may have named the file).
  void UpdateModifiedState() override;

  // The pane the tab pane shows (or the single pane): an editor or a preview.
  TPane* ActivePane();
  // Whether documents go into tabs (the preference, or an integrated window).
  Boolean UsesTabs();
  // The state the status rules read, for the pane.
  EditorPaneState PaneState(TPane* pane);

 private:
  // The document the toolbar was last brought up to date for, and whether
  // it was modified then.
  TDocument* toolbarDocument = nullptr;
  Boolean toolbarDocumentModified = false;
  void ProjectMacrosEvent(UInt32 kind);
  // The mode pane in front of the side pane, the project's action menu
  // with it (the named menu when the pane has none), the tabs on the right.
  void ShowModePane(TModePane* pane, const char* menuName);
};

// Entry points; project names a project bundle or is nil.
TEditorWindow* CreateEditorWindow(const FSRef* project, const ApplicationOpenCommandOptions& options);
TEditorWindow* OpenEditorWindowWithDocument(const FSRef* project, TDocument* document,
                                            const ApplicationOpenCommandOptions& options);
TEditorWindow* OpenEditorWindowWithFileRef(const FSRef* project, const FSRef& file,
                                           const ApplicationOpenCommandOptions& options);
TEditorWindow* OpenEditorWindowWithURL(const FSRef* project, const Str255& url,
                                       const ApplicationOpenCommandOptions& options);
TEditorWindow* OpenEditorWindowEmpty(const FSRef* project, const ApplicationOpenCommandOptions& options);
TEditorWindow* OpenEditorWindowIntegrated(const FSRef* project, const ApplicationOpenCommandOptions& options);

// Every editor window whose project is the one given (front to back).
void SendCommandToProjectWindows(TProject* project, UInt32 command, TEditorWindowAbstract* except);
