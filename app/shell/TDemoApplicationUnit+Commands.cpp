// The commands no window handles, and where every opened item goes.
#include <unistd.h>

#include <string>

#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TPreferencesUnit.h"
#include "TWindowUnit.h"

namespace {

constexpr EventParamName kEventParamTDocument = 'TDOC';

// The item's name on disk, whatever its length.
std::string ItemName(const FSRef& file) {
  UInt8 path[4096] = {0};
  if (FSRefMakePath(&file, path, sizeof path) != noErr) return {};
  std::string full(reinterpret_cast<char*>(path));
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  return full.substr(full.find_last_of('/') + 1);
}

// A project bundle's name ends, after its last ".", in "qvproj".
bool IsProjectBundleName(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot != std::string::npos && name.compare(dot + 1, std::string::npos, "qvproj") == 0;
}

// What the user is told when the kind of window an item needs is not part
// of the program yet: never a request that does nothing.
void ReportNotAvailable(const std::string& name) {
  UserNotificationDialog(Str255("The item \"") + Str255(name) + "\" cannot be opened: this kind of window is not available.");
}

void OpenInNewEditorWindow(const FSRef& file, const ApplicationOpenCommandOptions& options) {
  if (!options.url.empty()) {
    if (ShellTargets.OpenEditorWindowWithURL != nullptr) return ShellTargets.OpenEditorWindowWithURL(options.url, options);
    return ReportNotAvailable(options.url.str());
  }
  if (ShellTargets.OpenEditorWindowWithFileRef != nullptr) return ShellTargets.OpenEditorWindowWithFileRef(file, options);
  ReportNotAvailable(ItemName(file));
}

void OpenInFrontEditorWindow(TWindow* front, const FSRef& file, const ApplicationOpenCommandOptions& options) {
  if (!options.url.empty()) {
    if (ShellTargets.EditorWindowNewURL != nullptr) return ShellTargets.EditorWindowNewURL(front, options.url);
  } else if (ShellTargets.EditorWindowNewFile != nullptr) {
    return ShellTargets.EditorWindowNewFile(front, file);
  }
  OpenInNewEditorWindow(file, options);
}

bool HasTabs(TWindow* window) {
  return window != nullptr && ShellTargets.EditorWindowHasTabs != nullptr && ShellTargets.EditorWindowHasTabs(window);
}

bool IsIntegrated(TWindow* window) {
  return window != nullptr && ShellTargets.EditorWindowIsIntegrated != nullptr &&
         ShellTargets.EditorWindowIsIntegrated(window);
}

}  // namespace

void TDemoApplication::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  const ApplicationOpenCommandOptions defaults = GetDefaultOpenCommandOptions();
  switch (command.commandID) {
    case 'FIND':
      if (ShellTargets.OpenFindWindow != nullptr) ShellTargets.OpenFindWindow(AppResources ? AppResources->FindNib : nullptr);
      break;
    case 'FNDP':
      if (ShellTargets.OpenBatchFindWindow != nullptr)
        ShellTargets.OpenBatchFindWindow(AppResources ? AppResources->FindNib : nullptr);
      break;
    case 'KILL':
      // At once: no preferences written, no document list saved, nothing asked.
      _exit(0);
    case 'MACR':
      if (ShellTargets.OpenMacroEditor != nullptr) ShellTargets.OpenMacroEditor(AppResources ? AppResources->CodeSense : nullptr);
      break;
    case 'abou':
      OpenAboutWindow();
      result = noErr;  // the system's own about box must not show as well
      break;
    case 'new ':
      result = NewFile();
      break;
    case 'newF':
    case 'newW':
      if (ShellTargets.OpenEditorWindowEmpty != nullptr) ShellTargets.OpenEditorWindowEmpty(defaults);
      break;
    case 'newP':
      if (ShellTargets.HandleNewProjectCommand != nullptr)
        result = ShellTargets.HandleNewProjectCommand("(project template)", false);
      break;
    case 'nwPB':
      if (ShellTargets.HandleNewProjectCommand != nullptr) result = ShellTargets.HandleNewProjectCommand("", true);
      break;
    case 'opFT': {
      TDocument* document = nullptr;
      if (event == nullptr || GetEventParameter(event, kEventParamTDocument, typeVoidPtr, nullptr, sizeof document,
                                                nullptr, &document) != noErr ||
          document == nullptr)
        break;
      TWindow* front = GetFrontWindowOfKind(kEditorWindowKind);
      if (HasTabs(front) && ShellTargets.EditorWindowNewFTPFile != nullptr)
        ShellTargets.EditorWindowNewFTPFile(front, document);
      else if (ShellTargets.OpenEditorWindowWithDocument != nullptr)
        ShellTargets.OpenEditorWindowWithDocument(document, defaults);
      break;
    }
    case 'open': {
      auto* dialog = new TNavDialogs();
      dialog->OpenDialog();
      break;
    }
    case 'pref':
      if (ShellTargets.OpenApplicationPreferences != nullptr) ShellTargets.OpenApplicationPreferences();
      break;
    case 'vsws':
      LSOpenURL(kProductHomePage);
      break;
    default:
      break;
  }
}

void TDemoApplication::OpenDocument(const FSRef& given, Boolean& handled,
                                    const ApplicationOpenCommandOptions& options) {
  FSRef file = given;
  // Folders: project bundles open as projects; any other folder is offered
  // as the start of a new project.
  if (FSIsFolder(file) && !IsProjectBundleName(ItemName(file))) {
    if (ShellTargets.OpenSaveProjectWindow != nullptr)
      ShellTargets.OpenSaveProjectWindow(file, "Create New Project",
                                         "Choose a location and creation method for the new project.");
    else
      ReportNotAvailable(ItemName(file));
    return;
  }
  // A file named relative to the front project.
  if (!options.fileName.empty()) {
    void* project = GetWindowProject(GetFrontWindowOfKind(kEditorWindowKind));
    if (void* windowProject = GetWindowProject(GetFrontWindowOfKind(kProjectWindowKind))) project = windowProject;
    if (project == nullptr) {
      UserNotificationDialog("The file " + options.fileName +
                             " could not be opened becuase there is no project to accept it.");
      return;
    }
    FSRef resolved{};
    if (ShellTargets.ResolveProjectFile == nullptr ||
        !ShellTargets.ResolveProjectFile(project, options.fileName, resolved)) {
      UserNotificationDialog("The file " + options.fileName + " could not be located in the project.");
      return;
    }
    file = resolved;
  }

  TApplication::OpenDocument(file, handled, options);
  if (!handled) {
    TWindow* front = GetFrontWindowOfKind(kEditorWindowKind);
    if (options.url.empty() && IsProjectBundleName(ItemName(file))) {
      const bool integrated = preferences == nullptr || preferences->GetBooleanValue("GeneralEditorFeaturesProject");
      if (integrated && ShellTargets.OpenEditorWindowIntegrated != nullptr)
        ShellTargets.OpenEditorWindowIntegrated(file, options);
      else if (!integrated && ShellTargets.OpenProjectWindow != nullptr)
        ShellTargets.OpenProjectWindow(file);
      else
        ReportNotAvailable(ItemName(file));
    } else if (HasTabs(front) && !(options.newWindow && IsIntegrated(front))) {
      OpenInFrontEditorWindow(front, file, options);
    } else {
      OpenInNewEditorWindow(file, options);
    }
  }

  // The text to select and the line to show, in whatever came to the front.
  if (!options.queryString.empty() || options.defaultLine > 0) {
    TWindow* front = GetFrontWindowOfKind(kEditorWindowKind);
    TDocument* document = front != nullptr && front->documents != nullptr ? front->documents->GetActive() : nullptr;
    if (document != nullptr && ShellTargets.SetDocumentSelection != nullptr)
      ShellTargets.SetDocumentSelection(document, options.queryString, options.defaultLine);
  }
}

Boolean TDemoApplication::AcceptRecentItem(const FSRef& file) {
  return !FSIsFolder(file) || IsProjectBundleName(ItemName(file));
}

void OpenAboutWindow() {
  auto* window = new TWindow();
  window->Create("About", ApplicationNib);
  if (window->window == nullptr) {
    window->Release();
    return;
  }
  window->SetTransitionEffect(kWindowFadeTransitionEffect);
  window->Show();
}

SInt32 NewFile() {
  auto* dialog = new TNewFileDialog();
  dialog->NewFileDialog();
  return 0;
}

void TNewFileDialog::HandleNewFile(const FSRef& folder, const std::string& name) {
  FSRef file{};
  // The whole name typed, whatever its length or script.
  CFStringRef fileName = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(name.data()),
                                                 CFIndex(name.size()), kCFStringEncodingUTF8, false);
  const OSStatus status =
      fileName != nullptr ? FSCreateFile(fileName, folder, 'TEXT', ApplicationSignature, file) : OSStatus(paramErr);
  if (fileName != nullptr) CFRelease(fileName);
  if (status != noErr) {
    UserNotificationDialog("There was a file system error " + NStr(status) + " while creating the new file");
    return;
  }
  SendOpenDocumentCommand(file, false);
}
