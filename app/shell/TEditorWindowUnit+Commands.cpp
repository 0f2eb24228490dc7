// The editor window's toolbar, its window and document commands, the choice
// of run and preview modes, and the enabling of its menu and toolbar items.
#include <string>

#include "ApplicationResources.h"
#include "CFPascal.h"
#include "EditorUtilities.h"
#include "HIViewButtons.h"
#include "PascalCarbonCommon.h"
#include "TCodeSenseLibraryUnit.h"
#include "TDemoApplicationUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TWebKitUnit.h"
#include "TFindPaneUnit.h"
#include "TFindUnit.h"
#include "TModePaneUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TQVEditorUnit.h"
#include "TSidePaneUnit.h"
#include "TSymbolPaneUnit.h"
#include "TSplitViewUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

const Str255 kEditorToolbarIntegrated = "integrated editor";
const Str255 kEditorToolbarSimple = "simple editor";
const Str255 kEditorToolbarRunItem = "com.brindlecote.toolbar.editor.run";
const Str255 kEditorToolbarPreviewItem = "com.brindlecote.toolbar.editor.preview";
const Str255 kEditorToolbarSegmentItem = "com.brindlecote.view.segmentview.toolbar.item";
const Str255 kEditorToolbarSearchItem = "com.brindlecote.view.searchfield.toolbar.item";

const char* const kEditorNoFTPMessage =
    "This project does not supported FTP. Make sure you have selected a valid server in the project preferences.";

// ---------------------------------------------------------------------------
// Run and preview modes

EditorRunChoice ResolveRunCommand(UInt32 command, Boolean hasProject, const Str255& fileRunMode,
                                  const Str255& projectRunMode) {
  using A = EditorRunChoice;
  if (hasProject && command == kEditorCommandRun) {
    Str255 mode = fileRunMode.empty() ? Str255("Default") : fileRunMode;
    if (mode == "Default") mode = projectRunMode;
    if (mode == "Run & Debug") return {A::kScript, 2};
    if (mode == "Run & Preview") return {A::kScript, 3};
    if (mode == "Run in Terminal Mode") return {A::kTerminal, 0};
    if (mode == "Check Syntax") return {A::kScript, 4};
    return {};
  }
  switch (command) {
    case kEditorCommandCheckSyntax:
      return {A::kScript, 4};
    case kEditorCommandRun:
    case kEditorCommandRunDebug:
      return {A::kScript, 2};
    case kEditorCommandRunPreview:
      return {A::kScript, 3};
    case kEditorCommandRunTerminal:
      return {A::kTerminal, 0};
    default:
      return {};
  }
}

Str255 ResolvePreviewMode(const Str255& fileMode, const Str255& projectMode) {
  Str255 mode = fileMode.empty() ? Str255("Default") : fileMode;
  return mode == "Default" ? projectMode : mode;
}

EditorPreviewRequest ResolvePreviewCommand(UInt32 command, const Str255& mode, Boolean external,
                                           const FSRef& application, const FTPServerInfo& server) {
  EditorPreviewRequest request;
  request.server = server;
  request.external = external;
  switch (command) {
    case kEditorCommandPreviewWith:
      request.mode = mode;
      request.application = application;
      break;
    case kEditorCommandPreviewDisk:
      request.mode = "Disk";
      break;
    case kEditorCommandPreviewServer:
      request.mode = "Server";
      break;
    case kEditorCommandPreviewLocalhost:
      request.mode = "Localhost";
      break;
    case kEditorCommandPreviewBrowser:
      request.mode = mode;
      request.external = true;
      break;
    default:
      break;
  }
  return request;
}

namespace {

Str255 InfoString(CFDictionaryRef info, const char* key) {
  if (info == nullptr) return Str255();
  CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(info, name);
  CFRelease(name);
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? CFStringToPascal(static_cast<CFStringRef>(value))
                                                                       : Str255();
}

Boolean InfoBoolean(CFDictionaryRef info, const char* key) {
  if (info == nullptr) return false;
  CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(info, name);
  CFRelease(name);
  return value != nullptr && CFGetTypeID(value) == CFBooleanGetTypeID() && CFBooleanGetValue(static_cast<CFBooleanRef>(value));
}

}  // namespace

Boolean ResolvePreviewServer(CFDictionaryRef fileInfo, const Str63& projectServer, FTPServerInfo& server,
                             Boolean& external) {
  Boolean found = false;
  if (GetFTPServer(Str63(InfoString(fileInfo, "FileInfoServer")), server)) {
    found = true;
    const Str255 directory = InfoString(fileInfo, "FileInfoDirectory");
    if (!directory.empty()) server.WebAddress = server.WebAddress + "/" + directory;
    server.Query = InfoString(fileInfo, "FileInfoGETArguments");
  }
  if (InfoBoolean(fileInfo, "FileInfoPreviewExternal")) external = true;
  if (!found && GetFTPServer(projectServer, server)) found = true;
  return found;
}

// ---------------------------------------------------------------------------
// Command status

Boolean EditorCommandStatus(UInt32 command, const EditorPaneState& pane, Boolean& enabled) {
  const Boolean editor = pane.kind == EditorPaneState::kEditor;
  switch (command) {
    case kEditorCommandRun:
    case kEditorCommandCheckSyntax:
    case kEditorCommandRunDebug:
    case kEditorCommandRunTerminal:
    case kEditorCommandShowError:  // a check whose errors show below the text
      enabled = editor && pane.supportsRun;
      return true;
    case kEditorCommandRunPreview:  // its page shows in the preview
      enabled = editor && pane.supportsRun && pane.previewUnit;
      return true;
    case kEditorCommandFind:
    case kEditorCommandReplace:
      enabled = editor && pane.findAvailable;
      return true;
    case kEditorCommandFindInProject:
      enabled = editor && pane.hasProject;
      return true;
    case kEditorCommandReplaceFind:
    case kEditorCommandReplaceAll:
    case kEditorCommandReplaceSelection:
    case kEditorCommandFindWindow:
      enabled = editor && pane.findAvailable && pane.lowerIsFindPane;
      return true;
    case kEditorCommandUpload:  // a saved project file with its own server
      enabled = editor && pane.hasProject && pane.fileExists && pane.supportsFTP;
      return true;
    case kEditorCommandPreviewDisk:
    case kEditorCommandPreviewWindow:
    case kEditorCommandPreviewWith:
    case kEditorCommandPreviewBrowser:
      enabled = editor && pane.supportsPreview && pane.previewUnit;
      return true;
    case kEditorCommandPreviewServer:
      enabled = editor && pane.supportsFTP && pane.previewUnit;
      return true;
    case kEditorCommandPreviewLocalhost:
      enabled = editor && pane.localhostURL && pane.previewUnit;
      return true;
    case kEditorCommandClosePreview:
      enabled = editor && pane.previewInPlace;
      return true;
    case kEditorCommandClosePane:
      enabled = editor && pane.hasLowerPane;
      return true;
    case kEditorCommandModeFTP:
      enabled = editor && pane.hasProject && pane.projectServer;
      return true;
    case kEditorCommandModeProject:
    case kEditorCommandModeSymbols:
      enabled = editor && pane.hasProject;
      return true;
    case kEditorCommandFileInfo:
      enabled = editor && pane.hasProject && pane.fileExists && pane.fileInfoUnit;
      return true;
    default:
      break;
  }
  if (command >= kEditorCommandFindFirst && command <= kEditorCommandFindLast) {
    enabled = editor && pane.findAvailable && pane.lowerIsFindPane;
    return true;
  }
  return false;
}

Boolean EditorProjectMenuStatus(UInt32 command, Boolean hasProject, Boolean browserSelection) {
  if (!hasProject) return false;
  // Upload sends the selected items; publishing, every changed file.
  if (command == kEditorCommandRename || command == kEditorCommandUpload) return browserSelection;
  if (command == kEditorCommandProjectInfo) return ProjectGetDialogHooks().OpenProjectInfo != nullptr;
  return true;
}

EditorToolbarState EditorToolbarStatus(const EditorPaneState& pane, Boolean windowProject, Boolean projectFTP,
                                       Boolean paneFTP) {
  EditorToolbarState state;
  if (pane.kind == EditorPaneState::kPreview) {
    state.run = state.preview = state.upload = state.search = state.find = false;
    return state;  // the toolbar keeps its look
  }
  Boolean unsaved = false;
  if (pane.kind == EditorPaneState::kEditor) {
    state.run = bool(pane.supportsRun);
    state.search = state.find = bool(pane.findAvailable);
    state.preview = pane.previewUnit && pane.supportsPreview;
    if (!pane.fileExists) {
      state.run = state.info = state.compile = state.upload = false;
      unsaved = true;
    } else {
      state.info = state.compile = state.upload = true;
    }
  } else {
    // No document at all: nothing to run, find or preview.
    state.run = state.preview = state.search = state.find = false;
    state.info = state.compile = state.upload = false;
    unsaved = true;
  }
  if (!windowProject) {
    state.compile = state.info = state.upload = false;
  } else if (unsaved) {
    // A project compiles its sources, whatever the window shows.
    state.compile = true;
  } else {
    state.compile = true;
    state.info = bool(pane.fileInfoUnit);
    state.upload = true;
    state.ftpSegment = bool(projectFTP);
    if (pane.kind != EditorPaneState::kNone && !paneFTP) state.upload = false;
  }
  state.redraw = true;
  return state;
}

// ---------------------------------------------------------------------------
// Toolbar

namespace {

// The context of the run and preview items: the icon item's, and the project.
struct PopupIconInfo {
  ToolbarIconViewInfo icon;
  TProject* project = nullptr;
};

Str255 ProjectString(TProject* project, const char* key) {
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  TPreferenceHandler* prefs =
      project != nullptr && hooks.ProjectPreferences != nullptr ? hooks.ProjectPreferences(project) : nullptr;
  return prefs != nullptr ? prefs->GetStringValue(key) : Str255();
}

MenuRef MainMenu(const char* name) {
  MenuRef menu = nullptr;
  if (ApplicationNib != nullptr) {
    CFStringRef title = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
    Err = CreateMenuFromNib(ApplicationNib, title, &menu);
    CFRelease(title);
  }
  return menu;
}

void SetItemLabel(HIToolbarItemRef item, const char* label) {
  if (item != nullptr) HIToolbarItemSetLabel(item, CFSTR(label));
}

class TRunPopupIconView : public TPopupIconView {
 public:
  void Initialize() override {
    TPopupIconView::Initialize();
    SetItemLabel(ItemRef, "Run");
    auto* info = static_cast<PopupIconInfo*>(Context);
    PopupMenu = MainMenu("Run Menu");
    if (PopupMenu == nullptr) return;
    if (info != nullptr && info->project != nullptr) {
      const Str255 mode = ProjectString(info->project, "ProjectRunMode");
      SetupRunMenu(PopupMenu, &mode);
    } else {
      SetupRunMenu(PopupMenu, nullptr);
    }
  }
};

class TPreviewPopupIconView : public TPopupIconView {
 public:
  void Initialize() override {
    TPopupIconView::Initialize();
    SetItemLabel(ItemRef, "Preview");
    auto* info = static_cast<PopupIconInfo*>(Context);
    PopupMenu = MainMenu("Preview Menu");
    if (PopupMenu == nullptr) return;
    FSRef application{};
    if (AppPrefs != nullptr)
      if (CFTypeRef data = AppPrefs->GetTypeValue("GeneralPreviewApplication")) {
        if (CFGetTypeID(data) == CFDataGetTypeID() && CFDataGetLength(static_cast<CFDataRef>(data)) == sizeof application)
          CFDataGetBytes(static_cast<CFDataRef>(data), CFRangeMake(0, sizeof application),
                         reinterpret_cast<UInt8*>(&application));
        CFRelease(data);
      }
    if (info != nullptr && info->project != nullptr) {
      const Str255 mode = ProjectString(info->project, "ProjectMode");
      SetupPreviewMenu(PopupMenu, &mode, application);
    } else {
      SetupPreviewMenu(PopupMenu, nullptr, application);
    }
  }
};

THIView* ConstructRunPopupIconView() { return new TRunPopupIconView(); }
THIView* ConstructPreviewPopupIconView() { return new TPreviewPopupIconView(); }

void AppendPopupItem(THIToolbar* toolbar, const Str255& identifier, HIViewConstructObjectCallback construct,
                     UInt32 iconType, UInt32 command, TProject* project) {
  auto* info = new PopupIconInfo{{kEditorApplicationCreator, iconType, "", command}, project};
  toolbar->AppendView(0, identifier, construct, info, true);
  const CFIndex count = toolbar->Items != nullptr ? CFArrayGetCount(toolbar->Items) : 0;
  auto* record =
      count > 0 ? static_cast<ToolbarItemRecord*>(const_cast<void*>(CFArrayGetValueAtIndex(toolbar->Items, count - 1)))
                : nullptr;
  if (record != nullptr && record->Context == info)
    record->ReleaseContext = [](void* context) { delete static_cast<PopupIconInfo*>(context); };
  else
    delete info;
}

// The segments are made without a size; the toolbar gives an item the size
// its view has, so the view is sized for its segments.
HIViewRef MakeModeSegments(THIToolbarSegmentView*) {
  HIViewRef view = CreateModeSegmentView();
  if (view != nullptr) {
    const HIRect frame{{0, 0}, {CGFloat(HISegmentedViewGetSegmentCount(view)) * 27 + 2, 24}};
    Err = HIViewSetFrame(view, &frame);
  }
  return view;
}

// The field's text as the find object takes it: UTF-8, at most 255 bytes
// and never a character cut in two.
Str255 Utf8Query(CFStringRef text) {
  UInt8 bytes[255];
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, CFStringGetLength(text)), kCFStringEncodingUTF8, 0, false, bytes,
                   sizeof bytes, &used);
  return Str255(std::string_view(reinterpret_cast<const char*>(bytes), size_t(used)));
}

// Text accepted in the toolbar's search field: the mode pane gets it, and
// the window's find object looks for it in the active document.
OSStatus SearchFieldEventHandler(EventHandlerCallRef, EventRef, void* data) {
  auto field = static_cast<HIViewRef>(data);
  CFStringRef text = nullptr;
  if (field == nullptr || CopyControlTitleAsCFString(field, &text) != noErr || text == nullptr) return eventNotHandledErr;
  const Str255 query = Utf8Query(text);
  CFRelease(text);
  auto* window = dynamic_cast<TEditorWindowAbstract*>(GetWindowObject(HIViewGetWindow(field)));
  if (query.empty() || window == nullptr) return eventNotHandledErr;
  if (TModePane* mode = window->GetModePane()) mode->GotQuery(query);
  if (window->Find != nullptr) {
    window->Find->GetQueryDocument(window);
    FindOptions options;
    options.findText = query;
    options.flags = weFindCaseInsensitive;
    options.wrap = true;
    window->Find->SetOptions(options);
    window->Find->Find(query);
  }
  return eventNotHandledErr;
}

THIToolbarItem* ItemData(THIToolbar* toolbar, const Str255& identifier) {
  return toolbar != nullptr ? toolbar->GetDataByIdentifier(identifier) : nullptr;
}

}  // namespace

void EditorToolbarSetModeSegment(THIToolbar* toolbar, SInt32 segment) {
  if (THIToolbarItem* segments = ItemData(toolbar, kEditorToolbarSegmentItem); segments && segments->View)
    SetControl32BitValue(segments->View, segment);
}

void TEditorWindow::SetupToolbar() {
  CreateToolbar(Integrated ? kEditorToolbarIntegrated : kEditorToolbarSimple,
                kHIToolbarAutoSavesConfig | kHIToolbarIsConfigurable);
  if (toolbar == nullptr) return;
  const UInt32 app = kEditorApplicationCreator;
  if (Integrated) {
    toolbar->AppendView(0, kEditorToolbarSegmentItem, ConstructHIToolbarSegmentView,
                        reinterpret_cast<void*>(MakeModeSegments), true);
    toolbar->AppendStandard(0, kHIToolbarFlexibleSpaceIdentifier, true);
  }
  AppendToolbarIconView(toolbar, 0, app, 'ADDD', "New", kEditorCommandNew, true);
  AppendToolbarIconView(toolbar, 0, app, 'tCMP', "Compile", kEditorCommandCompile, true);
  AppendPopupItem(toolbar, kEditorToolbarRunItem, ConstructRunPopupIconView, 'tRUN', kRunItemCommand, Project);
  AppendPopupItem(toolbar, kEditorToolbarPreviewItem, ConstructPreviewPopupIconView, 'tPRV', kPreviewItemCommand,
                  Project);
  AppendToolbarIconView(toolbar, 0, app, 'aOUL', "Upload", kEditorCommandUpload, true);
  AppendToolbarIconView(toolbar, 0, app, 'tINF', "Info", kEditorCommandFileInfo, true);
  if (Integrated) AppendToolbarIconView(toolbar, 0, app, 'tPRF', "Options", kEditorCommandProjectInfo, true);
  AppendToolbarIconView(toolbar, 0, app, 'tFND', "Find", kEditorCommandFind, true);
  toolbar->AppendStandard(0, kHIToolbarFlexibleSpaceIdentifier, true);
  toolbar->AppendView(0, kEditorToolbarSearchItem, ConstructHIToolbarSearchField,
                      reinterpret_cast<void*>(SearchFieldEventHandler), true);
}

EditorPaneState TEditorWindow::PaneState(TPane* pane) {
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  EditorPaneState state;
  // Pages show when there is a preview pane and a web view for it (once the
  // web view could not be had, the preview commands stay off).
  state.previewUnit = hooks.MakePreviewPane != nullptr && !WebKitUnavailable();
  state.fileInfoUnit = hooks.OpenFileInfo != nullptr;
  if (pane == nullptr) return state;
  if (hooks.IsPreviewPane != nullptr && hooks.IsPreviewPane(pane)) {
    state.kind = EditorPaneState::kPreview;
    return state;
  }
  auto* editor = dynamic_cast<TEditorPane*>(pane);
  if (editor == nullptr) return state;
  state.kind = EditorPaneState::kEditor;
  state.supportsRun = editor->SupportsRun();
  state.findAvailable = editor->IsFindAvailable();
  state.hasProject = editor->project != nullptr;
  TPane* lower = editor->LowerPane();
  state.hasLowerPane = lower != nullptr;
  state.lowerIsFindPane = dynamic_cast<TFindPane*>(lower) != nullptr;
  state.supportsFTP = editor->SupportsFTP(nullptr);
  state.supportsPreview = editor->SupportsPreview();
  state.previewInPlace = editor->overlay != nullptr;
  TDocument* document = editor->document;
  state.fileExists = document != nullptr && FSRefExists(document->file);
  if (state.fileExists) state.localhostURL = !FormatLocalhostURL(FSGetFullPath(document->file).view()).empty();
  if (editor->project != nullptr) {
    FTPServerInfo server{};
    state.projectServer = GetFTPServer(Str63(ProjectString(editor->project, "ProjectServer")), server);
  }
  return state;
}

void TEditorWindow::UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) {
  TWindow::UpdateCommandStatus(command, event, result);
  MenuRef menu = command.menu.menuRef;
  if (menu == nullptr) return;
  auto enable = [&](Boolean on) {
    if (on) EnableMenuItem(menu, command.menu.menuItemIndex);
    else DisableMenuItem(menu, command.menu.menuItemIndex);
  };
  if (GetMenuID(menu) == kEditorProjectMenuID) {
    const EditorWindowHooks& hooks = EditorWindowGetHooks();
    const Boolean selection = Project != nullptr && hooks.ProjectBrowserSelection != nullptr &&
                              hooks.ProjectBrowserSelection(Project);
    enable(EditorProjectMenuStatus(command.commandID, Project != nullptr, selection));
    return;
  }
  // A project compiles and is searched as a whole, with a file open or not.
  if (Project != nullptr && command.commandID == kEditorCommandCompile) {
    enable(EditorWindowGetHooks().CompileProject != nullptr);
    return;
  }
  if (Project != nullptr && command.commandID == kEditorCommandFindInProject) {
    enable(ShellTargets.OpenBatchFindWindow != nullptr);
    return;
  }
  if (Project != nullptr && SidePane != nullptr &&
      (command.commandID == kEditorCommandModeProject || command.commandID == kEditorCommandModeSymbols)) {
    enable(true);
    return;
  }
  // So is its server, once the project names one.
  if (Project != nullptr && SidePane != nullptr && command.commandID == kEditorCommandModeFTP) {
    FTPServerInfo server{};
    enable(EditorWindowGetHooks().MakeFTPPane != nullptr &&
           GetFTPServer(Str63(ProjectString(Project, "ProjectServer")), server));
    return;
  }
  TEditorPane* pane = GetActiveEditor();
  const EditorPaneState state = PaneState(pane);
  Boolean on = false;
  if (!EditorCommandStatus(command.commandID, state, on)) return;
  enable(on);
  if (command.commandID == kEditorCommandPreviewServer && on && pane != nullptr) {
    FTPServerInfo server{};
    pane->SupportsFTP(&server);
    const std::string title = "Preview On \"" + server.Name.str() + "\"";
    CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(title.data()),
                                               CFIndex(title.size()), kCFStringEncodingMacRoman, false);
    if (text != nullptr) {
      SetMenuItemTextWithCFString(menu, command.menu.menuItemIndex, text);
      CFRelease(text);
    }
  }
}

void TEditorWindow::UpdateToolbarStatus() {
  if (toolbar == nullptr) return;
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  TPane* active = ActivePane();
  const EditorPaneState state = PaneState(active);
  TEditorPane* pane = dynamic_cast<TEditorPane*>(active);
  const Boolean projectFTP = Project != nullptr && hooks.ProjectSupportsFTP != nullptr && hooks.ProjectSupportsFTP(Project);
  const Boolean paneFTP = pane != nullptr && pane->SupportsFTP(nullptr);
  const EditorToolbarState s = EditorToolbarStatus(state, Project != nullptr, projectFTP, paneFTP);
  auto byId = [&](const std::optional<bool>& on, const Str255& identifier) {
    if (on) toolbar->SetItemEnabledByIdentifier(identifier, *on);
  };
  auto byCommand = [&](const std::optional<bool>& on, UInt32 command) {
    if (on) toolbar->SetItemEnabledByCommand(command, *on);
  };
  byId(s.run, kEditorToolbarRunItem);
  byId(s.preview, kEditorToolbarPreviewItem);
  byId(s.search, kEditorToolbarSearchItem);
  byCommand(s.find, kEditorCommandFind);
  byCommand(s.upload, kEditorCommandUpload);
  byCommand(s.info, kEditorCommandFileInfo);
  byCommand(s.compile, kEditorCommandCompile);
  // The project's options need a project, and their window.
  toolbar->SetItemEnabledByCommand(kEditorCommandProjectInfo,
                                   Project != nullptr && ProjectGetDialogHooks().OpenProjectInfo != nullptr);
  if (s.ftpSegment)
    if (THIToolbarItem* segments = ItemData(toolbar, kEditorToolbarSegmentItem); segments && segments->View)
      HISegmentedViewSetSegmentEnabled(segments->View, 2, *s.ftpSegment);
  if (s.redraw) toolbar->RedrawItemViews();
}

// ---------------------------------------------------------------------------
// Commands

namespace {

void SetModeSegment(THIToolbar* toolbar, SInt32 segment) { EditorToolbarSetModeSegment(toolbar, segment); }

// The macro-output parameters: the text (a CFString the handler takes over)
// and the command's title.
CFStringRef MacroOutput(EventRef event, Str255& name) {
  CFStringRef text = nullptr;
  if (event == nullptr) return nullptr;
  GetEventParameter(event, kEventParamMacroText, typeCFStringRef, nullptr, sizeof text, nullptr, &text);
  UInt8 title[256] = {0};
  if (GetEventParameter(event, kEventParamMacroName, typeMacroTitle, nullptr, sizeof title, nullptr, title) == noErr)
    name = Str255::FromPascal(title);
  return text;
}

}  // namespace

void TEditorWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TWindow::ProcessCommand(command, event, result);
  // A window closed by its own command is gone with its object.
  if (command.commandID == kHICommandTWindowClose && result != eventNotHandledErr) return;
  TEditorPane* pane = GetActiveEditor();
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  if (Find != nullptr) Find->ProcessCommand(command, result);
  if (Project != nullptr && hooks.ProjectCommand != nullptr) hooks.ProjectCommand(Project, command, event, result);
  if (result != eventNotHandledErr) return;
  switch (command.commandID) {
    case kEditorCommandCompile:
      // With no file open the project still compiles.
      if (Project != nullptr && hooks.CompileProject != nullptr) {
        hooks.CompileProject(Project);
        result = noErr;
      }
      break;
    case kEditorCommandModeSymbols:
      if (SidePane == nullptr) break;
      SetModeSegment(toolbar, 3);
      ShowModePane(SymbolBrowser, "Actions Menu (Symbols)");
      break;
    case kEditorCommandModeProject:
      if (SidePane == nullptr) break;
      SetModeSegment(toolbar, 1);
      ShowModePane(hooks.ProjectPane != nullptr ? hooks.ProjectPane(Project) : nullptr, "Actions Menu");
      break;
    case kEditorCommandModeFTP: {
      SetModeSegment(toolbar, 2);
      if (FTPPane == nullptr && Project != nullptr && hooks.MakeFTPPane != nullptr) {
        FTPServerInfo server{};
        if (GetFTPServer(Str63(ProjectString(Project, "ProjectServer")), server)) FTPPane = hooks.MakeFTPPane(server, this);
      }
      if (SidePane != nullptr && dynamic_cast<TModePane*>(FTPPane) != nullptr) {
        ShowModePane(static_cast<TModePane*>(FTPPane), "Actions Menu (FTP)");
      } else {
        UserNotificationDialog(kEditorNoFTPMessage);
      }
      break;
    }
    case kEditorCommandConsoleOutput:
    case kEditorCommandMacroErrors: {
      Str255 name;
      CFStringRef text = MacroOutput(event, name);
      if (pane != nullptr) {
        if (command.commandID == kEditorCommandConsoleOutput) pane->PrintTerminal(name, text);
        else pane->ShowMacroErrors(name, text);
      }
      if (text != nullptr) CFRelease(text);
      result = noErr;
      break;
    }
    case kEditorCommandNew:
    case kEditorCommandNewFile:
      if (Tabs != nullptr) {
        NewFile(nullptr, nullptr);
        result = noErr;
      }
      break;
    case kEditorCommandShowPage:
      if (MainSplit != nullptr && Tabs != nullptr) MainSplit->SwapPane(kSplitViewRightPane, Tabs);
      break;
    case kEditorCommandDetachProject:
      DetachProject();
      break;
    case kEditorCommandSymbolsParsed:
      UpdateSymbols();
      break;
    case kSymbolCommandRefresh:
      // A project compile has ended: the symbol browser and the document's
      // symbols show what it found.
      if (SymbolBrowser != nullptr) SymbolBrowser->ProcessCommand(command, event, result);
      UpdateSymbols();
      break;
    case kEditorCommandUpdateSidePane:
      UpdateSidePane(pane);
      break;
    default:
      break;
  }
}

namespace {

// The editor font of the preferences on the whole text of the pane and on
// what is typed next; the text itself and its undo stay as they were.
void ApplyEditorFont(TEditorPane* pane) {
  if (AppPrefs == nullptr || pane->document == nullptr || pane->editor == nullptr) return;
  WEReference we = pane->editor->GetWE();
  if (we == nullptr || pane->document->fileType == 'RTF ') return;
  SInt32 size = AppPrefs->GetIntegerValue("StylesEditorFontSize");
  if (size <= 0 || size > 288) size = kEditorDefaultFontSize;
  pane->document->SetFont(SInt16(AppPrefs->GetIntegerValue("StylesEditorFontFamily")), SInt16(size));
  const FMFontFamily family = FMGetFontFamilyFromName(pane->document->fontName.data());
  const Fixed points = Fixed(size << 16);
  const SInt16 undo = WEFeatureFlag(weFUndo, weBitClear, we);
  for (SInt32 end : {WEGetTextLength(we), SInt32(0)}) {
    WESetOneAttribute(0, end, 'font', &family, sizeof family, we);
    WESetOneAttribute(0, end, 'ptsz', &points, sizeof points, we);
  }
  if (undo == 1) WEFeatureFlag(weFUndo, weBitSet, we);
}

}  // namespace

void TEditorWindow::ProcessDocumentCommand(const HICommand& command, EventRef event, TDocument* document,
                                           SInt32& result) {
  auto* pane = document != nullptr ? dynamic_cast<TEditorPane*>(document->owner) : nullptr;
  if (pane == nullptr) pane = SinglePane;
  if (pane == nullptr) return;
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  switch (command.commandID) {
    case kEditorCommandRun:
    case kEditorCommandCheckSyntax:
    case kEditorCommandRunDebug:
    case kEditorCommandRunPreview:
    case kEditorCommandRunTerminal:
      HandleRunCommand(command.commandID, pane);
      break;
    case kEditorCommandPreviewBrowser:
    case kEditorCommandPreviewDisk:
    case kEditorCommandPreviewLocalhost:
    case kEditorCommandPreviewServer:
    case kEditorCommandPreviewWith:
      HandlePreviewCommand(command, pane);
      break;
    case kEditorCommandPreviewWindow:
      pane->PreviewNewWindow();
      result = noErr;
      break;
    case kEditorCommandShowError:
      HandleErrorCommand(command.commandID, pane);
      break;
    case kEditorCommandFind:
      pane->SearchDocument();
      result = noErr;
      break;
    case kEditorCommandIdleTyping:
      pane->IdleTyping();
      break;
    case kEditorCommandFileInfo:
      if (Project != nullptr && FSValidFSRef(pane->document != nullptr ? pane->document->file : FSRef{}) &&
          hooks.OpenFileInfo != nullptr)
        hooks.OpenFileInfo(Project, pane->document->file);
      break;
    case kEditorCommandUpload:
      if (Project != nullptr) pane->Upload();
      break;
    case kEditorCommandCompile:
      if (Project != nullptr) {
        if (hooks.CompileProject != nullptr) hooks.CompileProject(Project);
      } else if (pane->editor != nullptr) {
        pane->editor->Compile();
      }
      result = noErr;
      break;
    case kEditorCommandClosePreview:
    case kEditorCommandClosePane:
      result = pane->CloseActivePane();
      break;
    case kEditorCommandAbort:
      if (pane->process != nullptr) pane->process->Terminate();
      break;
    case kEditorCommandTheme: {
      UInt8 bytes[kSyntaxThemeSize] = {0};
      ByteCount size = 0;
      if (event != nullptr &&
          GetEventParameter(event, kEventParamSyntaxTheme, typeVoidPtr, nullptr, sizeof bytes, &size, bytes) == noErr &&
          size == sizeof bytes && pane->editor != nullptr) {
        const SyntaxTheme theme = DecodeSyntaxTheme(bytes, sizeof bytes);
        if (WEReference we = pane->editor->GetWE()) WESetTheme(theme, we);
        if (TWASTEController* controller = pane->editor->GetController()) SetSyntaxControllerNilColor(controller, theme.text);
      }
      ApplyEditorFont(pane);
      if (pane->editor != nullptr) pane->editor->Refresh();
      break;
    }
    default:
      break;
  }
}

void TEditorWindow::HandleRunCommand(UInt32 command, TEditorPane* pane) {
  if (pane == nullptr) return;
  Str255 fileMode, projectMode;
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  if (Project != nullptr && command == kEditorCommandRun) {
    CFDictionaryRef info = hooks.CopyFileInfo != nullptr && pane->document != nullptr
                               ? hooks.CopyFileInfo(Project, pane->document->name)
                               : nullptr;
    fileMode = InfoString(info, "FileInfoRunMode");
    if (info != nullptr) CFRelease(info);
    projectMode = ProjectString(Project, "ProjectRunMode");
  }
  const EditorRunChoice choice = ResolveRunCommand(command, Project != nullptr, fileMode, projectMode);
  if (choice.action == EditorRunChoice::kScript) pane->RunScript(choice.mode);
  else if (choice.action == EditorRunChoice::kTerminal) pane->RunTerminal();
}

void TEditorWindow::HandleErrorCommand(UInt32, TEditorPane* pane) {
  if (pane != nullptr) pane->RunScript(2);
}

void TEditorWindow::HandlePreviewCommand(const HICommand& command, TEditorPane* pane) {
  if (pane == nullptr) return;
  const EditorWindowHooks& hooks = EditorWindowGetHooks();
  Boolean external = AppPrefs != nullptr && AppPrefs->GetBooleanValue("GeneralUsePreviewApplication");
  FTPServerInfo server{};
  const FSRef application = command.menu.menuRef != nullptr
                                ? GetPreviewApplicationMenuFileRef(command.menu.menuRef, command.menu.menuItemIndex)
                                : FSRef{};
  Str255 mode;
  if (Project != nullptr) {
    CFDictionaryRef info = hooks.CopyFileInfo != nullptr && pane->document != nullptr
                               ? hooks.CopyFileInfo(Project, pane->document->name)
                               : nullptr;
    mode = ResolvePreviewMode(InfoString(info, "FileInfoPreviewMode"), ProjectString(Project, "ProjectMode"));
    const Str63 projectServer = Str63(ProjectString(Project, "ProjectServer"));
    if (pane->document != nullptr && FSRefExists(pane->document->file)) {
      ResolvePreviewServer(info, projectServer, server, external);
    } else {
      GetFTPServer(projectServer, server);
    }
    if (info != nullptr) CFRelease(info);
  } else {
    mode = "Disk";
  }
  const EditorPreviewRequest request = ResolvePreviewCommand(command.commandID, mode, external, application, server);
  const FSRef* chosen = FSValidFSRef(request.application) ? &request.application : nullptr;
  pane->PreviewDocument(Str63(request.mode), request.external, chosen, request.server);
}
