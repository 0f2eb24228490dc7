// TDemoApplication: the program's application object. It builds the shared
// resources every window reads (AppResources), adds the shell's own default
// preferences on a first run, registers the application's icons, answers the
// commands no window handles and decides where every opened item goes.
//
// The start-up sequence and its helpers (LoadFrameworks, RegisterHelpBook,
// QuorvelUpdates) live here too, so that tests can run it headless.
#pragma once

#include <string>
#include <vector>

#include "ApplicationResources.h"
#include "TApplicationUnit.h"
#include "TEditorTabsUnit.h"
#include "TNavDialogsUnit.h"
#include "UpdateManager.h"

class TCodeSenseLibrary;
class TDocument;
class TPreferenceHandler;
class TWindow;

// Start-up constants.
constexpr OSType kQuorvelCreator = 'QVRL';
inline constexpr const char* kDefaultPreferencesFile = "com.brindlecote.Quorvel.plist";
constexpr UInt16 kRecentItemsMenuIndex = 8;
constexpr SInt16 kRecentItemsMenuLimit = 25;
inline constexpr const char* kApplicationPreferencesDomain = "user.";
// Where 'vsws' goes.
inline constexpr const char* kProductHomePage = "https://quorvel.brindlecote.com/";

// Carbon window kinds of the shell's windows besides the editor windows'
// (kEditorWindowKind).
enum : SInt16 {
  kProjectWindowKind = 2,
  kPreviewWindowKind = 4,
  kFileInfoWindowKind = 5,
  kConsoleWindowKind = 6,
};

// Always false: the shell draws its windows one way on every system.
extern Boolean LeopardGUI;

class TDemoApplication : public TApplication {
 public:
  ApplicationResourceInfo* resources = nullptr;  // also published as AppResources

  void LoadResources() override;
  void ModifyDefaultPreferences(CFTypeRef defaults) override;
  void OpenDocument(const FSRef& file, Boolean& handled, const ApplicationOpenCommandOptions& options) override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) override;
  Boolean AcceptRecentItem(const FSRef& file) override;
};

// The one application object; made at start-up and never released.
extern TDemoApplication* MyApplication;

// The icons of the bundle's resources under their (creator, type) pairs.
struct ApplicationIconInfo {
  OSType creator;
  OSType type;
  const char* folder;  // under the resources; "" for the resources root
  const char* file;
};
// Every registration LoadApplicationIcons makes, in order ('fldr' under
// 'macs' included; it is registered only on systems older than 10.5).
const ApplicationIconInfo* ApplicationIconTable(size_t* count);
void LoadApplicationIcons();

void OpenAboutWindow();
// Asks for a new file's folder and name; always 0.
SInt32 NewFile();

class TNewFileDialog : public TNavDialogs {
 public:
  // Makes an empty text file of that name in the folder and opens it.
  void HandleNewFile(const FSRef& folder, const std::string& name) override;
};

// The places the application object hands its work to. Each is a plain
// function pointer; nil means the part of the program that does the work is
// not there yet, and the commands that need it are shown disabled.
struct ApplicationShellTargets {
  // Editor windows.
  void (*OpenEditorWindowEmpty)(const ApplicationOpenCommandOptions& options) = nullptr;
  void (*OpenEditorWindowIntegrated)(const FSRef& bundle, const ApplicationOpenCommandOptions& options) = nullptr;
  void (*OpenEditorWindowWithURL)(const Str255& url, const ApplicationOpenCommandOptions& options) = nullptr;
  void (*OpenEditorWindowWithFileRef)(const FSRef& file, const ApplicationOpenCommandOptions& options) = nullptr;
  void (*OpenEditorWindowWithDocument)(TDocument* document, const ApplicationOpenCommandOptions& options) = nullptr;
  Boolean (*EditorWindowHasTabs)(TWindow* window) = nullptr;
  Boolean (*EditorWindowIsIntegrated)(TWindow* window) = nullptr;
  void (*EditorWindowNewURL)(TWindow* window, const Str255& url) = nullptr;
  void (*EditorWindowNewFile)(TWindow* window, const FSRef& file) = nullptr;
  void (*EditorWindowNewFTPFile)(TWindow* window, TDocument* document) = nullptr;
  // The text to select and the line to show in an opened source document.
  void (*SetDocumentSelection)(TDocument* document, const Str255& query, SInt16 line) = nullptr;
  // Projects.
  void (*OpenProjectWindow)(const FSRef& bundle) = nullptr;
  void (*OpenSaveProjectWindow)(const FSRef& folder, const Str255& title, const Str255& message) = nullptr;
  Boolean (*ResolveProjectFile)(void* project, const Str63& name, FSRef& file) = nullptr;
  SInt32 (*HandleNewProjectCommand)(const Str255& templateName, Boolean blank) = nullptr;
  // Other windows.
  void (*OpenFindWindow)(IBNibRef nib) = nullptr;
  void (*OpenBatchFindWindow)(IBNibRef nib) = nullptr;
  void (*OpenMacroEditor)(TCodeSenseLibrary* library) = nullptr;
  void (*OpenApplicationPreferences)() = nullptr;
  // The HTML structure viewer's icons, registered last by LoadResources.
  void (*LoadHTMLIcons)() = nullptr;
};
extern ApplicationShellTargets ShellTargets;
// The program's wiring: fills every entry of the units' hook records (the
// editor window's, the editor pane's, the project dialogs', the find
// pane's, the batch find's project files) and of ShellTargets whose unit is
// part of the program. InitializeUnits calls it once.
void InstallProgramWiring();
// Each entry of that wiring by record and name ("EditorWindowHooks.OpenProject"),
// and whether it is set now.
struct ProgramWire {
  std::string name;
  bool set;
};
std::vector<ProgramWire> CopyProgramWiring();
// The entries whose units are not part of the program yet: they stay empty,
// so the commands that need them show disabled.
extern const std::vector<std::string> kProgramWiresAwaitingUnits;

// The project a window holds under 'PROJ' (kEditorWindowProjectTag); nil
// when none.
void* GetWindowProject(TWindow* window);

// --- Start-up ------------------------------------------------------------------

// The update server's host; empty, so no run of the program reaches out
// unless the application preference "UpdateManagerHost" names one.
inline constexpr const char* kUpdateServerHost = "";

// The units' own set-up that the program's start makes: consoles, find.
void InitializeUnits();
void LoadFrameworks();
void RegisterHelpBook();
void QuorvelUpdates();

// Every step of the start-up reports its name here when set (tests record
// the order).
extern void (*StartupStepRecorder)(const char* step);
void RecordStartupStep(const char* step);

// Start-up up to the event loop: view classes, application object,
// preferences, menu bar and resources, update check, saved documents.
void StartApplication();
// The whole program: the platform, the one running instance (files named on
// the command line go to it), start-up, the event loop. The process's exit
// status; 0 when another instance took the files over.
int QuorvelMain(int argc, char** argv);
