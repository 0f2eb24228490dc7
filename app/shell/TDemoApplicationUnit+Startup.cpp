// The program's start-up, in its fixed order, and its end.
#include "AppleEvents.h"
#include "AppleHelp.h"
#include "CFBundle.h"
#include "CFURL.h"
#include "fenwicket/Fenwicket.h"
#include "HIViewButtons.h"
#include "Host.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "plinthora/Plinthora.h"
#include "TDemoApplicationUnit.h"
#include "TConsoleUnit.h"
#include "TEditorWindowUnit.h"
#include "TProjectUnit.h"
#include "TProjectWindowUnit.h"
#include "TFindPaneUnit.h"
#include "THIQueryViewUnit.h"
#include "THIViewUnit.h"
#include "TNewProjectUnit.h"
#include "TPreferencesUnit.h"

namespace {

bool DocumentWindowShown() { return GetFrontWindowOfClass(kDocumentWindowClass, true) != nullptr; }

// An editor window made for a document that is still being opened is not
// shown yet (an alert about the document may be up meanwhile): it counts.
bool EditorWindowMade() {
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, false))
    if (dynamic_cast<TEditorWindowAbstract*>(GetWindowObject(w)) != nullptr) return true;
  return false;
}

// Menus live in the document windows here, so a run with none shown would
// leave nothing to work with: a run that opened nothing gets an empty editor
// window, and closing the last window ends the run.
void OpenEditorWhenNothingOpened(EventLoopTimerRef timer, void*) {
  RemoveEventLoopTimer(timer);
  if (ApplicationQuitting || DocumentWindowShown() || EditorWindowMade() ||
      ShellTargets.OpenEditorWindowEmpty == nullptr)
    return;
  ShellTargets.OpenEditorWindowEmpty(GetDefaultOpenCommandOptions());
}

void QuitWhenNothingIsLeft(EventLoopTimerRef timer, void*) {
  RemoveEventLoopTimer(timer);
  if (ApplicationQuitting || DocumentWindowShown() || MyApplication == nullptr) return;
  MyApplication->HandleQuitCommand();
}

// The closed window is still in the list while this runs: look once the
// close is over.
OSStatus HandleWindowClosed(EventHandlerCallRef, EventRef, void*) {
  EventLoopTimerRef timer = nullptr;
  InstallEventLoopTimer(GetMainEventLoop(), 0, 0, NewEventLoopTimerUPP(QuitWhenNothingIsLeft), nullptr, &timer);
  return eventNotHandledErr;
}

}  // namespace

void (*StartupStepRecorder)(const char* step) = nullptr;

void RecordStartupStep(const char* step) {
  if (StartupStepRecorder != nullptr) StartupStepRecorder(step);
}

void LoadFrameworks() {
  RecordStartupStep("LoadFrameworks");
  RegisterSplitViewClass();
  RegisterTabViewClass();
  RegisterWasteClass();
  RegisterToolbarViewClass();
  HICustomButtonLoadImages();
}

void RegisterHelpBook() {
  RecordStartupStep("RegisterHelpBook");
  CFURLRef url = CFBundleCopyBundleURL(CFBundleGetMainBundle());
  if (url == nullptr) return;
  FSRef bundle{};
  if (CFURLGetFSRef(url, &bundle)) Err = AHRegisterHelpBook(&bundle);
  CFRelease(url);
}

void QuorvelUpdates() {
  RecordStartupStep("QuorvelUpdates");
  UpdateConnectionInfo info;
  info.host = kUpdateServerHost;
  if (info.host.empty() && MyApplication != nullptr && MyApplication->preferences != nullptr)
    info.host = MyApplication->preferences->GetStringValue("UpdateManagerHost");
  info.user = "qvupdate";
  info.password = "tavi-rune";
  info.version = "2.0.3";
  info.changesPath = "public_html/updates/changes.html";
  info.versionPath = "public_html/updates/updates.txt";
  // No host, no check: a run never reaches out unless a server is named.
  if (info.host.empty()) return;
  CheckForUpdates(info, MyApplication != nullptr ? MyApplication->preferences : nullptr);
}

void InitializeUnits() {
  RecordStartupStep("InitializeUnits");
  // Script output goes into consoles of the text view; find reaches the
  // find window's pane and the front editor window.
  RegisterConsoleClass();
  // How the units reach each other: every hook and target, in one place.
  InstallProgramWiring();
}

void StartApplication() {
  InitializeUnits();
  LoadFrameworks();
  RecordStartupStep("LeopardGUI");
  LeopardGUI = false;
  RecordStartupStep("RegisterColorPicker");
  THIViewRegister(kColorPickerViewClassID, ColorPickerViewConstruct);
  // The find pane's results strip is a view of the program's own too.
  THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct);
  RegisterHelpBook();

  RecordStartupStep("CreateApplication");
  MyApplication = new TDemoApplication();
  SetCurrentApplication(MyApplication);
  RecordStartupStep("CreatePreferences");
  auto* preferences = new TPreferenceHandlerApplication();
  MyApplication->preferences = preferences;
  preferences->SetDomain(kApplicationPreferencesDomain);

  RecordStartupStep("CopyDefaultPreferences");
  MyApplication->CopyDefaultPreferences(kDefaultPreferencesFile);
  RecordStartupStep("SetRecentItems");
  MyApplication->SetRecentItemsIndex(kRecentItemsMenuIndex);
  MyApplication->SetRecentItemsLimit(kRecentItemsMenuLimit);
  RecordStartupStep("CreateApplicationObject");
  MyApplication->Create(kQuorvelCreator);
  QuorvelUpdates();
  RecordStartupStep("RestoreDocumentList");
  MyApplication->RestoreDocumentList();
}

int QuorvelMain(int argc, char** argv) {
  HostInitialize(&argc, &argv);
  // A second launch hands its files to the running instance and ends.
  if (!AEStartApplicationInstance(nullptr, argc, argv)) return 0;
  StartApplication();
  // After the documents handed in at launch, which arrive the same way.
  EventLoopTimerRef timer = nullptr;
  InstallEventLoopTimer(GetMainEventLoop(), 0, 0, NewEventLoopTimerUPP(OpenEditorWhenNothingOpened), nullptr, &timer);
  static const EventTypeSpec kClosed[] = {{kEventClassWindow, kEventWindowClosed}};
  InstallEventHandler(GetApplicationEventTarget(), HandleWindowClosed, 1, kClosed, nullptr, nullptr);
  RecordStartupStep("Run");
  MyApplication->Run();
  return 0;
}
