// TProjectWindowUnit: the window of a project bundle opened on its own. Its
// side shows the project pane (the project's groups) or, switched by the
// mode commands, the project's symbol browser or the FTP browser of the
// project's server. The window keeps its layout and the project's open
// documents in the project's own preferences, and closing it tells every
// window of the project to let go of it ('prDT').
//
// This unit also binds projects to editor windows: it gives the project
// entries of the editor window's hooks and the application's project
// targets, which start-up installs.
#pragma once

#include "CFArray.h"
#include "Files.h"
#include "Menus.h"
#include "ShortString.h"
#include "TWindowUnit.h"

class TModePane;
class TPane;
class TProject;

// Interface resources and preference keys.
extern const Str63 kProjectWindowResource;       // "ProjectWindow"
extern const Str63 kProjectWindowPreferenceKey;  // "ProjectWindow"
extern const char* const kProjectActionsMenu;         // "Actions Menu"
extern const char* const kProjectSymbolActionsMenu;   // "Actions Menu (Symbols)"
extern const char* const kProjectFTPActionsMenu;      // "Actions Menu (FTP)"
// The message of 'Mftp' when the project has no usable server.
extern const char* const kProjectNoFTPMessage;

// Views of the "ProjectWindow" window.
constexpr OSType kProjectWindowToolbarSignature = 'TOOL';
constexpr SInt32 kProjectWindowToolbarID = 128;
constexpr OSType kProjectWindowPaneSignature = 'PANE';
constexpr SInt32 kProjectWindowPaneID = 130;

// Side-pane mode commands and the command that detaches a window from its
// project.
enum : UInt32 {
  kProjectCommandModeProject = 'Mpro',
  kProjectCommandModeSymbols = 'Msym',
  kProjectCommandModeFTP = 'Mftp',
  kProjectCommandModeReference = 'Mref',
  kProjectCommandDetach = 'prDT',
};

class TProjectWindow : public TWindow {
 public:
  FSRef bundle{};
  TProject* project = nullptr;       // owned through its pane view
  TPane* ftpPane = nullptr;          // nil until the project's server is known
  TModePane* symbolPane = nullptr;   // the project's symbol browser
  CFMutableArrayRef closingDocuments = nullptr;  // the project's documents as it closes

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void Create(const Str63& name, IBNibRef inNib) override;
  void Close(SInt32& status) override;
  // A temporary project asks to be saved elsewhere first; its save sheet
  // closes the window afterwards.
  SInt32 HandleCloseCommand() override;
  Boolean SaveDocumentList(CFArrayRef list) override;
  Boolean CompareDocumentRoot(const FSRef& ref) override;
  // Reopens the project's documents bound to this project.
  void RestoreDocumentList() override;

  // The pane shown in the window's side place ('PANE' 130).
  TPane* ShownPane();
  // The FTP pane of the project's "ProjectServer", made once when there is
  // a record of that name; false when there is none.
  Boolean MakeFTPPane();

 private:
  void ShowSidePane(TPane* pane, const char* menuName, SInt32 segment);
};

// Opens the bundle's project in a project window (shown, its documents
// reopened); an open project's window comes to the front instead. Nil when
// the project cannot be made.
TProjectWindow* OpenProjectWindow(const FSRef& bundle);

// Appliers for ApplyFunctionToAllWindows. The context of
// AppendProjectChildrenWindows is a ProjectChildrenContext; that of
// CloseProjectChildrenWindows is the project.
struct ProjectChildrenContext {
  TProject* project;
  CFMutableArrayRef list;  // made when nil
};
void AppendProjectChildrenWindows(TWindow* window, void* context);
void CloseProjectChildrenWindows(TWindow* window, void* project);

// The FTP unit's pane for a project window's server; nil until that unit
// is part of the program, so 'Mftp' reports that the project has none.
struct FTPServerInfo;
extern TPane* (*ProjectWindowMakeFTPPane)(const FTPServerInfo& server, TWindow* window);

// The project of the front project window; nil when there is none.
TProject* FrontProjectWindowProject();

// What the editor window asks of the project it is bound to (opening it,
// its commands, the binding of windows, its panes), and the application's
// look-up of a project file; start-up puts them into their hooks.
class TEditorWindowAbstract;
class TFileSystem;
TProject* ProjectWindowOpenProject(const FSRef& bundle);
void ProjectWindowProjectCommand(TProject* project, const HICommand& command, EventRef event, SInt32& result);
Boolean ProjectWindowBrowserSelection(TProject* project);
void ProjectWindowCompile(TProject* project);
void ProjectWindowAttachWindow(TProject* project, TEditorWindowAbstract* window);
// Writes what the project keeps as its integrated window closes.
void ProjectWindowCloseWindow(TProject* project, TEditorWindowAbstract* window);
TModePane* ProjectWindowProjectPane(TProject* project);
TFileSystem* ProjectWindowFileSystem(TProject* project);
void ProjectWindowSetActionMenu(TProject* project, MenuRef menu);
Boolean ProjectWindowResolveFile(void* project, const Str63& name, FSRef& file);
