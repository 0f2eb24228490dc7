#include "TProjectInfoUnit.h"

#include <map>
#include <string>

#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "HIView.h"
#include "Icons.h"
#include "LSInfo.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TApplicationUnit.h"
#include "TFileInfoUnit.h"
#include "TPaneUnit.h"
#include "TPreferencesUnit.h"
#include "TUserPathsBrowserUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

namespace {

TProjectInfo* gProjectInfo = nullptr;  // at most one settings window

constexpr OSType kSystemIconCreator = 'macs';
constexpr SInt16 kBevelToolbarKind = 4;

}  // namespace

// ---------------------------------------------------------------------------
// Pieces the settings and file information windows share

// The application's reference once its resources are loaded; a program
// without them (tools, tests) opens the file itself, once.
IBNibRef ProjectSettingsInterfaceFile(const char* name, IBNibRef loaded) {
  if (loaded != nullptr) return loaded;
  static std::map<std::string, IBNibRef> own;
  IBNibRef& ref = own[name];
  if (ref == nullptr && CreateNibReference(CFSTR(name), &ref) != noErr) ref = nullptr;
  return ref;
}

IBNibRef ProjectInfoInterfaceFile() {
  return ProjectSettingsInterfaceFile("ProjectInfo", AppResources ? AppResources->ProjectInfoNib : nullptr);
}

IBNibRef FileInfoInterfaceFile() {
  return ProjectSettingsInterfaceFile("FileInfo", AppResources ? AppResources->FileInfoNib : nullptr);
}

HIViewRef FindPaneView(TPane* pane, OSType signature, SInt32 id) {
  if (pane == nullptr || pane->paneView == nullptr) return nullptr;
  HIViewRef view = nullptr;
  if (HIViewFindByID(pane->paneView, HIViewID{signature, id}, &view) != noErr) return nullptr;
  return view;
}

void SetPaneIconWell(HIViewRef well, IconRef icon) {
  if (well == nullptr || icon == nullptr) return;
  ControlButtonContentInfo content{};
  content.contentType = kControlContentIconRef;
  content.u.iconRef = icon;
  Err = SetControlData(well, kControlEntireControl, kControlImageWellContentTag, sizeof content, &content);
}

void SetPaneText(HIViewRef view, CFStringRef text) {
  if (view == nullptr || text == nullptr) return;
  Err = HIViewSetText(view, text);
}

void SetPopupItemIcons(HIViewRef popup, MenuItemIndex first, std::initializer_list<OSType> types) {
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  if (menu == nullptr) return;
  MenuItemIndex item = first;
  for (OSType type : types) {
    IconRef icon = nullptr;
    if (item <= CountMenuItems(menu) && GetIconRef(kOnSystemDisk, ApplicationSignature, type, &icon) == noErr &&
        icon != nullptr) {
      SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
      ReleaseIconRef(icon);  // the item keeps its own reference
    }
    ++item;
  }
}

void MakeListButton(TPane* pane, OSType signature, OSType iconType) {
  if (HIViewRef button = FindPaneView(pane, signature, 128))
    HICustomButtonCreateBevel(kBevelToolbarKind, button, kSystemIconCreator, iconType);
}

// ---------------------------------------------------------------------------

void TProjectInfo::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TPreferenceWindow::ProcessCommand(command, event, result);
  if (command.commandID == kHICommandTWindowClose) return;  // the window is gone, and this object
  TUserPathsBrowser* paths = TBrowser::IsLive(userPaths) ? userPaths : nullptr;
  TUserPathsBrowser* previews = TBrowser::IsLive(previewPaths) ? previewPaths : nullptr;
  switch (command.commandID) {
    case '+PAT':
      if (paths == nullptr) return;
      paths->AddPath("/", kUserPathProject);
      break;
    case '-PAT':
      if (paths == nullptr) return;
      BrackenrowClearSelection(true, paths->VIEW);
      break;
    case '+PPT':
      if (previews == nullptr) return;
      previews->AddEmptyPath();
      break;
    case '-PPT':
      if (previews == nullptr) return;
      BrackenrowClearSelection(true, previews->VIEW);
      break;
    default:
      return;
  }
  result = noErr;
}

void TProjectInfo::SetupPane(const Str63& paneName, TPane* pane) {
  if (paneName == "General") {
    if (IconRef icon = FSGetIcon(bundle)) {
      SetPaneIconWell(FindPaneView(pane, 'PREF', 128), icon);
      ReleaseIconRef(icon);
    }
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForRef(&bundle, &name) == noErr && name != nullptr) {
      SetPaneText(FindPaneView(pane, 'PREF', 129), name);
      CFRelease(name);
    }
    SetPopupItemIcons(FindPaneView(pane, 'MODE', 129), 1, {'exeD', 'exep', 'exeT', 'EXCS'});
    SetPopupItemIcons(FindPaneView(pane, 'MODE', 128), 1, {'prvD', 'prvS', 'prvL'});
    if (HIViewRef servers = FindPaneView(pane, 'SERV', 128))
      CreateServerMenu(servers, Str63(preferences != nullptr ? preferences->GetStringValue("ProjectServer") : Str255()));
  } else if (paneName == "Paths") {
    userPaths = nullptr;
    if (HIViewRef list = FindPaneView(pane, 'PATH', 128)) {
      userPaths = CreateUserPathsBrowser(list, "UserPaths", preferences);
      // Project paths are relative to the folder that holds the bundle.
      userPaths->BaseFile = bundle;
      userPaths->SetPathOptions(UserPathOptions(kUserPathAllOptions & ~UserPathOption(kUserPathURL)));
    }
    MakeListButton(pane, '+PAT', 'GADD');
    MakeListButton(pane, '-PAT', 'GREM');
  } else if (paneName == "Preview") {
    previewPaths = nullptr;
    if (HIViewRef list = FindPaneView(pane, 'PATH', 128)) {
      previewPaths = CreateUserPathsBrowser(list, "ProjectPreviewPaths", preferences);
      previewPaths->BaseFile = bundle;
      previewPaths->SetPathOptions(kUserPathAllOptions);
    }
    MakeListButton(pane, '+PPT', 'GADD');
    MakeListButton(pane, '-PPT', 'GREM');
  }
}

void TProjectInfo::SetValue(ControlRef control, TPreferenceHandler* prefs, const Str255& key) {
  TPreferenceWindow::SetValue(control, prefs, key);
  if (key == "UserPaths" && TBrowser::IsLive(userPaths)) userPaths->Synchronize();
  if (key == "ProjectPreviewPaths" && TBrowser::IsLive(previewPaths)) previewPaths->Synchronize();
}

void TProjectInfo::Release() {
  if (gProjectInfo == this) gProjectInfo = nullptr;
  // The pane shown still stores its list as it goes; the lists go with
  // their views.
  TPreferenceWindow::Release();
}

TProjectInfo* GetProjectInfoWindow() { return gProjectInfo; }

void OpenProjectInfo(const FSRef& bundle, TPreferenceHandler* prefs) {
  if (prefs == nullptr) return;
  if (TProjectInfo* open = gProjectInfo) {
    // The settings of this project: to the front. Another project's window
    // stores its values and goes, so nobody edits one project thinking it
    // is another.
    if (open->preferences == prefs && FSCompareFSRefs(&open->bundle, &bundle) == noErr) {
      if (open->window != nullptr) SelectWindow(open->window);
      return;
    }
    SInt32 status = 0;
    open->Close(status);
    gProjectInfo = nullptr;
  }
  auto* info = new TProjectInfo();
  gProjectInfo = info;
  info->bundle = bundle;
  info->SetToolbarIdentifier("project prefs");
  info->AddPane(ApplicationSignature, 'prfG', 'GENE', "General", "General");
  info->AddPane(ApplicationSignature, 'prfP', 'PATH', "Paths", "Paths");
  info->AddPane(ApplicationSignature, 'pPRV', 'PREV', "Preview", "Preview");
  info->SetPreferences(prefs);
  info->Create("MainWindow", ProjectInfoInterfaceFile());
  if (info->window == nullptr) {  // no interface file: nothing to show
    info->Release();
    return;
  }
  SetWindowKind(info->window, kProjectInfoWindowKind);
}

void CloseProjectInfoWindows(TPreferenceHandler* projectPrefs) {
  if (projectPrefs == nullptr) return;
  if (TProjectInfo* open = gProjectInfo; open != nullptr && open->preferences == projectPrefs) {
    SInt32 status = 0;
    open->Close(status);
    gProjectInfo = nullptr;
  }
  CloseFileInfoWindow(projectPrefs);
}
