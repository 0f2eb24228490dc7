// TEditorPaneUnit: the content of one document tab of an editor window. A
// source editor over the document's text sits in one side of a split view
// ('SPLT', 128; side 2), and one interchangeable lower pane in the other
// (side 1): the find pane, a script's error pane, the terminal pane or the
// macro error pane, each made when first asked for and reused after. The
// pane starts script and terminal runs for the window's run commands, shows
// an Abort button in the editor's toolbar while a process runs, and answers
// whether run, upload, preview and find are available.
//
// TTerminalPane is the console pane in which scripts run in terminal mode and
// macro output is printed.
//
// What the editor window, projects and the macro error list lend the pane
// comes through EditorPaneHooks until those units exist.
#pragma once

#include <string>
#include <string_view>

#include "CFDictionary.h"
#include "CFString.h"
#include "Files.h"
#include "ProjectRecords.h"
#include "SCRIPTS.h"
#include "ShortString.h"
#include "PreferenceUtilities.h"
#include "TDocumentTabsUnit.h"

class TQVEditor;
class TSplitView;
class TProject;
class TFileSystem;
class TFindQueryDrawing;
class TFind;
class TWindow;
struct FTPServerInfo;
typedef FTPServerInfo* FTPServerInfoPtr;

// Views the editor pane and the terminal pane look up.
enum : OSType {
  kEditorPaneSplitSignature = 'SPLT',    // 128 in "Editor Pane"
  kEditorPanePlacardSignature = 'PLAC',  // 128 in the editor's window
  kTerminalPaneToolbarSignature = 'TOOL',  // 128 in "Console Pane"
};
constexpr SInt32 kEditorPaneSplitID = 128;
constexpr SInt32 kEditorPanePlacardID = 128;
constexpr SInt32 kTerminalPaneToolbarID = 128;
// The editor's text size when the preferences hold none that can be used.
constexpr SInt32 kEditorDefaultFontSize = 12;

// The split's sides.
enum : SInt16 {
  kEditorPaneLowerSide = 1,
  kEditorPaneEditorSide = 2,
};

// Commands the editor window sends to the pane, and the pane's buttons.
enum : UInt32 {
  kHICommandRunScript = 'EXEC',
  kHICommandRunDebug = 'exeD',
  kHICommandRunPreview = 'exeP',
  kHICommandCheckSyntax = 'EXCS',
  kHICommandRunTerminal = 'exeT',
  kHICommandAbortProcess = '!NTP',  // the Abort button
};

// Icons of the application's creator the pane shows.
enum : OSType {
  kEditorPaneAbortIconType = '!NOT',
  kTerminalPaneCloseIconType = 'XBUT',  // of the system creator 'macs'
};

// Interface names in the application's main interface file and in "Find".
extern const char kEditorPaneNibName[];       // "Editor Pane"
extern const char kEditorPaneSourceNibName[];  // "Source Pane (Alt 1)"
extern const char kConsolePaneNibName[];      // "Console Pane"

// The messages of a run asked for a document no interpreter runs.
extern const char kEditorPaneNoRunMessage[];       // RunScript
extern const char kEditorPaneNoTerminalMessage[];  // RunTerminal (and html)

// The toolbar preference that says whether a language's documents run.
extern const char kEditorToolbarRunKey[];  // "com.brindlecote.toolbar.editor.run"

// One script argument of a project file ("FileInfoArguments", 129 bytes):
// ScriptArgumentInfo of ProjectRecords.h.

// What the pane asks of units built beside it; any entry may be nil.
struct EditorPaneHooks {
  // The project's file information for a file name ("FileInfoArguments",
  // "FileInfoServer", ...): a new dictionary, or nil.
  CFDictionaryRef (*CopyFileInfo)(TProject* project, const Str63& fileName);
  // The project's symbol index, which its editors use instead of the
  // application's.
  TFileSystem* (*ProjectFileSystem)(TProject* project);
  // The owning window shows its project inside (the integrated variant).
  Boolean (*IsIntegratedProjectWindow)(TWindow* window);
  // The window refreshes its side pane after an overlay closed.
  void (*UpdateSidePane)(TWindow* window);
  // The macro error list: make one, hand it a command's title and new
  // error text, tell it apart.
  TPane* (*CreateMacroErrorPane)(const Str255& text, CFStringRef data, TQVEditor* editor);
  void (*SetMacroErrorText)(TPane* pane, const Str255& text, CFStringRef data);
  Boolean (*IsMacroErrorPane)(TPane* pane);
  // The error pane (with its runner) for a script language; nil for none.
  TScriptPane* (*CreateScriptErrorPane)(const Str63& language);
};
// The error pane (with its runner) the program makes for a script
// language; nil for a language without one.
TScriptPane* EditorPaneCreateLanguagePane(const Str63& language);
// Copies the record; nil goes back to none.
void EditorPaneSetHooks(const EditorPaneHooks* hooks);
const EditorPaneHooks& EditorPaneGetHooks();

class TEditorPane : public TDocumentPane {
 public:
  TQVEditor* editor = nullptr;
  TSplitView* split = nullptr;
  TProject* project = nullptr;   // the owning window's ('PROJ'), not owned
  TPane* overlay = nullptr;      // shown in this pane's place; set by the window
  TProcessUtils* process = nullptr;  // the run the Abort button stands for
  Boolean FTPDocument = false;
  TFindQueryDrawing* findDrawing = nullptr;  // owned
  SInt16 abortItem = 0;
  SInt16 uploadItem = 0;
  UInt32 uploadStream = 0;  // the running upload's stream handle; 0 for none
  // The error pane a script run made, until its errors put it under the
  // editor (the split owns it then): owned, and reused by the next run.
  TScriptPane* errorPane = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  void SelectViewObject() override;
  // The window's find object no longer draws over a pane that leaves.
  void Detach() override;

  // Slot order (the toolbar variant of another interface is never built).
  virtual void RunScript(SInt16 mode);
  virtual void RunTerminal();
  virtual void PreviewDocument(const Str63& mode, Boolean useApplication, const FSRef* application,
                               const FTPServerInfo& server);
  virtual void PreviewNewWindow();
  virtual void SearchDocument();
  virtual void Upload();
  virtual Boolean SupportsRun();
  virtual Boolean SupportsFTP(FTPServerInfoPtr server);
  virtual Boolean SupportsPreview();
  virtual Boolean IsFindAvailable();
  virtual void PrintTerminal(const Str255& title, CFStringRef text);
  virtual void ShowMacroErrors(const Str255& text, CFStringRef data);
  virtual void ShowHideProcessStatus(TProcessUtils* inProcess);
  virtual SInt32 CloseActivePane();
  virtual TScriptPane* CreateErrorPane();
  virtual void IdleTyping();
  virtual FSRef UpdateTemporaryFile();
  // Writes the temporary copy afresh (IdleTyping) when one exists already.
  void RefreshTemporaryFile();
  virtual void OpenSplit(TPane* pane);
  virtual void RestoreSplitView();

  // The lower pane (side 1 of the split), nil when only the editor shows.
  TPane* LowerPane();
  // The owning window's object and its find object ('QURY').
  TWindow* OwnerWindow();
  TFind* WindowFind();
  // The script language of the document ("php", "perl", "ruby"; empty for
  // any other).
  Str63 ScriptLanguage();
};

class TTerminalPane : public TConsolePane {
 public:
  void Create(const Str63& name, IBNibRef nib) override;
};

// The notification callbacks of the pane's runs (data is the pane).
void ConsoleNotification(SInt16 code, TScript* script, void* data);
void ScriptProcessNotification(SInt16 code, TScript* script, void* data);
// Appends the project's active script arguments of the document to the
// script, each as one argument element name=value.
void AppendArguments(TDocument* document, TProject* project, TScript* script);

// ---------------------------------------------------------------------------
// Preview

// The name of the temporary copy a preview shows while a document is typed:
// "~" + name for an HTML file, "~" + name + ".html" for another saved file,
// "~untitled.qv.html" (in the private temporary folder) without a file.
std::string PreviewTemporaryName(const std::string& displayName, Boolean html, Boolean hasFile);
// A file URL of the POSIX path, every byte a file URL may not hold as such
// percent-encoded (the escaping the desktop's file URLs use).
std::string PreviewFileURL(const std::string& path);
// The path with each "/"-separated segment percent-encoded for a web
// address (blanks, "#", "%", "?" and the like escaped; "/" kept).
std::string PreviewEncodePath(std::string_view path);

// What a preview of one document opens, by mode: where the document lies,
// the project's preview path for it (empty for none) and the server record.
struct PreviewRequest {
  Str63 mode;
  std::string folder;         // the document's folder (POSIX), empty without a file
  std::string name;           // the document's display name
  std::string userPath;       // the project's preview path, empty for none
  std::string temporaryURL;   // "Disk": the file URL of the temporary copy
  FTPServerInfo server{};
};
// The URL (empty with a message to show when there is none to open).
std::string PreviewDocumentURL(const PreviewRequest& request, std::string& message);

// The editor window's preview panes (EditorWindowHooks).
class TEditorWindowAbstract;
TDocumentPane* EditorPaneMakePreviewPane(TEditorWindowAbstract* window, TDocument* document, const std::string& url,
                                         TDocumentPane* owner);
Boolean EditorPaneIsPreviewPane(TPane* pane);

// "GeneralSymbolCompletionDelay" read as seconds: 0.3 for 0, less, or text
// that is not a number.
float EditorPaneCompletionDelay(const Str255& text);
