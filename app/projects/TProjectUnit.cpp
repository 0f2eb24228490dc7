#include "TProjectUnit.h"
#include "TProjectBrowserUnit.h"
#include "TProjectDialogsUnit.h"
#include "TProjectDocumentUnit.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "ApplicationResources.h"
#include "CFString.h"
#include "DataBrowser.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "PathUtilities.h"
#include "PreferenceUtilities.h"
#include "TApplicationUnit.h"
#include "TCodeSenseLibraryUnit.h"
#include "TFileInfoUnit.h"
#include "TFileSystemUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSourceDocumentUnit.h"
#include "TSourceEditorUnit.h"
#include "TSyntaxParserUnit.h"
#include "TWindowUnit.h"
#include "UTType.h"
#include "QVGlobals.h"
#include "TDemoApplicationUnit.h"
#include "TEditorWindowUnit.h"
#include "TNewProjectUnit.h"
#include "TProjectInfoUnit.h"
#include "plinthora/Plinthora.h"
#include "brackenrow/Browser.h"
#include "brackenrow/DiskUtilities.h"

const char kProjectPreferencesPath[] = "Contents/Resources/Preferences/project.plist";
const char kProjectPreferencesFolder[] = "Contents/Resources/Preferences/";
const char kProjectDataFolder[] = "Contents/Resources/Data/";
const char kDefaultProjectPrefs[] = "(default project prefs).plist";
const char kProjectPrefsFailedMessage[] = "The project preferences could not be loaded!";
const char kProjectCopyFailedMessage[] = "The requested file could not be copied.";
const char kProjectRenameFailedMessage[] = "There was an error renaming the file.";
const char kProjectNameTooLongMessage[] = "The name is too long for a project item (at most 63 characters).";

const char kProjectBookmarkPlaceholder[] = "http://www.example.com/";
const char kProjectNothingToCompileMessage[] = "There are no files needing to be compiled.";
const char kProjectSaveTemporaryTitle[] = "Save project?";
const char kProjectSaveTemporaryMessage[] =
    "This project has not been saved. If not saved to a new location it will be deleted.";

const char kProjectServerKey[] = "ProjectServer";
const char kProjectSizeKey[] = "ProjectSize";
const char kProjectModeKey[] = "ProjectMode";
const char kProjectRunModeKey[] = "ProjectRunMode";
const char kUserPathsKey[] = "UserPaths";
const char kProjectPreviewPathsKey[] = "ProjectPreviewPaths";
const char kGeneralImportAddPathKey[] = "GeneralImportAddPath";
const char kGeneralImportCopyFilesKey[] = "GeneralImportCopyFiles";

namespace {

TPreferenceHandler* ApplicationPreferences() {
  if (CurrentApplication != nullptr && CurrentApplication->preferences != nullptr)
    return CurrentApplication->preferences;
  return AppPrefs;
}


Str255 PathOf(const FSRef& ref) { return FSGetFullPath(ref); }

// The folder that holds the bundle.
Str255 ProjectFolderPath(const FSRef& bundle) { return GetBaseFilePath(bundle); }

Boolean IsFileType(OSType type) { return type == kProjectSourceType || type == kProjectResourceType; }

}  // namespace

Boolean GetProjectRowMetrics(SInt32 size, ProjectRowMetrics& metrics) {
  static const ProjectRowMetrics kMetrics[] = {{14, 8}, {18, 14}, {33, 18}, {65, 30}};
  if (size < 1 || size > 4) return false;
  metrics = kMetrics[size - 1];
  return true;
}

// ---------------------------------------------------------------------------
// User paths

Str255 ResolveUserPaths(const Str255& path, SInt16 kind, void* context) {
  switch (kind) {
    case kUserPathProject:
      if (context) return JoinBaseWithPath(ProjectFolderPath(static_cast<TProject*>(context)->bundle), path);
      return path;
    case kUserPathApplication: return JoinBaseWithPath(GetApplicationPath(), path);
    case kUserPathSystem: return JoinBaseWithPath(GetSystemPath(), path);
    case kUserPathLocalhost: return JoinBaseWithPath(GetLocalhostURL(), path);
    default: return path;
  }
}

void SplitPathTemplate(const Str255& value, Str31& placeholder, Str255& path) {
  std::string_view text = value.view();
  size_t brace = text.find('}');
  if (brace == std::string_view::npos) {
    placeholder.Clear();
    path = value;
    return;
  }
  placeholder = Str31(text.substr(0, brace + 1));
  path = Str255(text.substr(brace + 1));
}

// ---------------------------------------------------------------------------
// The project: preferences and files

OSStatus TProject::SetDefaultPreferences() {
  OSStatus result = fnfErr;
  auto* handler = new TPreferenceHandlerFile();
  projectPreferences = handler;
  SetPreferences(handler);
  FSRef file, defaults, folder;
  Boolean ready = FSGetSubFolder(bundle, kProjectPreferencesPath, file) == noErr;
  if (!ready && FSGetResourceFile(kDefaultProjectPrefs, "", defaults) == noErr &&
      FSGetSubFolder(bundle, kProjectPreferencesFolder, folder) == noErr) {
    ready = FSCopyObjectSync(&defaults, &folder, CFSTR("project.plist"), &file, 0) == noErr;
  }
  if (ready) {
    handler->SetFile(file);
    // The defaults are added only when no record of that path and kind is
    // there: a user's disabled or edited default stays as the user left it.
    struct Default {
      const char* path;
      SInt16 kind;
    };
    for (const Default& d : {Default{"Sources", kUserPathProject}, Default{"Resources", kUserPathProject},
                             Default{"/", kUserPathLocalhost}}) {
      if (UserPathKindExists(d.path, d.kind, kUserPathsKey, handler)) continue;
      CFDataRef record = NewUserPath(d.path, d.kind, true);
      handler->SetArrayValue(kUserPathsKey, record);
      CFRelease(record);
    }
    SetSize(2);
    result = noErr;
  } else {
    UserNotificationDialog(kProjectPrefsFailedMessage);
  }
  return result;
}

TPreferenceHandlerDictionary* TProject::CopyFileInfo(const Str63& name) {
  auto* entry = new TPreferenceHandlerDictionary();
  entry->Create(FileInfoKey(name), projectPreferences);
  return entry;
}

Boolean TProject::ResolveFile(const Str63& name, FSRef& ref) {
  if (name.empty()) return false;
  if (!searchPaths)
    searchPaths =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  else
    CFDictionaryRemoveAllValues(searchPaths);
  CFArrayRef projectPaths = CopyUserPathsArray(projectPreferences, kUserPathsKey, ResolveUserPaths, this);
  CFArrayRef applicationPaths = CopyUserPathsArray(ApplicationPreferences(), kUserPathsKey, ResolveUserPaths, nullptr);
  if (applicationPaths) CFDictionarySetValue(searchPaths, CFSTR("#application"), applicationPaths);
  if (projectPaths) CFDictionarySetValue(searchPaths, CFSTR("#project"), projectPaths);
  if (fileSystem) fileSystem->SetPaths(CFDictionaryCreateCopy(nullptr, searchPaths));
  if (applicationPaths) CFRelease(applicationPaths);
  if (projectPaths) CFRelease(projectPaths);

  TPreferenceHandlerDictionary* entry = CopyFileInfo(name);
  Str255 value = entry->GetStringValue(kFileInfoPath);
  entry->Release();
  if (!value.empty()) {
    Str31 placeholder;
    Str255 path;
    SplitPathTemplate(value, placeholder, path);
    Str255 joined = path;
    if (placeholder == "{src}") joined = JoinBaseWithPath(ProjectFolderPath(bundle), path);
    else if (placeholder == "{app}") joined = JoinBaseWithPath(GetApplicationPath(), path);
    else if (placeholder == "{sys}") joined = JoinBaseWithPath(GetSystemPath(), path);
    else if (placeholder == "{host}") joined = JoinBaseWithPath(GetLocalhostURL(), path);
    Str255 full = FSMergeFilePath(name, joined, Str255());
    if (!full.empty() && FSGetPathRef(full, ref)) return true;
  }
  return FSResolveFile(name, ref, searchPaths);
}

void TProject::AddUserPath(const Str255& path) {
  if (!projectPreferences) return;
  std::string folder = path.str();
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
  UserPathInfo info;
  info.enabled = true;
  info.kind = kUserPathRoot;
  struct Base {
    std::string path;
    SInt16 kind;
  };
  for (const Base& base : {Base{ProjectFolderPath(bundle).str(), kUserPathProject},
                           Base{GetApplicationPath().str(), kUserPathApplication},
                           Base{GetSystemPath().str(), kUserPathSystem}}) {
    if (base.path.empty() || base.path == "/") continue;
    // Inside the base folder: the folder itself or below it.
    if (folder.compare(0, base.path.size(), base.path) == 0 &&
        (folder.size() == base.path.size() || folder[base.path.size()] == '/')) {
      info.kind = base.kind;
      folder = folder.substr(base.path.size());
      break;
    }
  }
  info.path = Str255(folder);
  if (UserPathExists(info.path, kUserPathsKey, projectPreferences)) return;
  CFDataRef record = NewUserPath(info.path, info.kind, true);
  projectPreferences->SetArrayValue(kUserPathsKey, record);
  CFRelease(record);
}

Boolean TProject::SupportsFTP() {
  if (!projectPreferences) return false;
  FTPServerInfo info;
  return GetFTPServer(Str63(projectPreferences->GetStringValue(kProjectServerKey)), info);
}

void TProject::SetSize(SInt32 newSize) {
  if (newSize < 1) newSize = 2;
  size = newSize;
  // The sizes are the submenu of the action menu's seventh item, when the
  // interface file gives it one.
  MenuRef sizes = nullptr;
  if (actionMenu && CountMenuItems(actionMenu) >= 7 && GetMenuItemHierarchicalMenu(actionMenu, 7, &sizes) == noErr &&
      sizes)
    ToggleMenuItem(MenuItemIndex(newSize), sizes);
  ProjectRowMetrics metrics;
  if (browserControl && GetProjectRowMetrics(newSize, metrics)) {
    SetDataBrowserTableViewRowHeight(browserControl, metrics.rowHeight);
    SetDataBrowserMetric(browserControl, kDataBrowserMetricDisclosureColumnPerDepthGap, false, metrics.indent);
    SetDataBrowserScrollPosition(browserControl, 0, 0);
  }
  if (projectPreferences) projectPreferences->SetIntegerValue(kProjectSizeKey, newSize);
}

TProjectGroup* TProject::FindGroupByType(OSType type) const {
  return browser ? static_cast<TProjectGroup*>(browser->FindGroupByType(type)) : nullptr;
}

TProjectGroup* TProject::FindGroupByItem(SInt32 index) const {
  if (!browser || index == 0) return nullptr;
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(index, browserControl);
  return node ? static_cast<TProjectGroup*>(browser->FindGroupByItem(node)) : nullptr;
}

TProjectGroup* TProject::SelectedGroup() const {
  return browser ? static_cast<TProjectGroup*>(browser->GetSelectedGroup()) : nullptr;
}

void TProject::AddFile(const FSRef& file, Boolean copy) {
  Str63 name = FSGetActualName(file);
  Str255 path = PathOf(file);
  if (name.empty()) {
    // The item keeps only a 63-character name: a longer one could never be
    // found again, so it is refused.
    UserNotificationDialog(kProjectNameTooLongMessage);
    return;
  }
  TProjectGroup* group = FindGroupByType(GetDocumentType(file));
  if (!group || !IsFileType(group->ITEMTYPE)) return;
  Err = noErr;
  TPreferenceHandler* application = ApplicationPreferences();
  Boolean copying = copy || (application && application->GetBooleanValue(kGeneralImportCopyFilesKey));
  if (copying) {
    const char* folderName = group->ITEMTYPE == kProjectSourceType ? "Sources" : "Resources";
    FSRef projectFolder = FSGetParent(bundle);
    FSRef target;
    if (FSGetSubFolder(projectFolder, folderName, target) != noErr) {
      // The target folder is made when a copy needs it.
      std::u16string unicode = ProjectNameToUnicode(folderName);
      Err = FSCreateDirectoryUnicode(&projectFolder, unicode.size(), reinterpret_cast<const UniChar*>(unicode.data()),
                                     0, nullptr, &target, nullptr, nullptr);
      if (Err != noErr) {
        UserNotificationDialog(kProjectCopyFailedMessage);
        return;
      }
    }
    FSRef parent = FSGetParent(file);
    // A file already in the target folder is used where it is.
    if (PathOf(parent) != PathOf(target)) {
      FSRef copied;
      Err = FSCopyObjectSync(&file, &target, nullptr, &copied, 0);
      if (Err != noErr) {
        UserNotificationDialog(kProjectCopyFailedMessage);
        return;
      }
    }
  }
  if (application && application->GetBooleanValue(kGeneralImportAddPathKey)) AddUserPath(path);
  // The item keeps only the name: a file that the search paths would not
  // find where it lies keeps its folder in its settings, or its row would
  // lead nowhere.
  if (!copying) RememberFileFolder(name, file);
  ProjectItemData item;
  item.name = name;
  item.needsUpload = true;
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  SInt32 index = group->NewItem(bytes, kProjectItemDataSize, SInt32(insertionContainer));
  if (NodeInfoPtr node = group->GetNode(index)) {
    item.index = static_cast<UInt32>(index);
    EncodeProjectItemData(item, bytes);
    std::memcpy(node->DATA, bytes, kProjectItemDataSize);
  }
}

void TProject::RememberFileFolder(const Str63& name, const FSRef& file) {
  FSRef found{};
  if (!projectPreferences || (ResolveFile(name, found) && FSCompareFSRefs(&found, &file) == noErr)) return;
  std::string folder = PathOf(FSGetParent(file)).str();
  std::string base = ProjectFolderPath(bundle).str();
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  // Inside the project's folder the path stays relative to it, so the
  // project can move as a whole.
  if (!base.empty() && folder.size() >= base.size() && folder.compare(0, base.size(), base) == 0 &&
      (folder.size() == base.size() || folder[base.size()] == '/'))
    folder = "{src}" + folder.substr(base.size());
  if (folder.empty() || folder.size() > 255) return;
  TPreferenceHandlerDictionary* entry = CopyFileInfo(name);
  entry->SetStringValue(kFileInfoPath, Str255(folder));
  SaveSettings(entry);
  entry->Release();
}

void TProject::AddFolder(const Str63& name) {
  TProjectGroup* group = SelectedGroup();
  if (!group) group = FindGroupByType(kProjectSourceType);
  if (!group) return;
  insertionContainer = static_cast<UInt32>(group->NewFolder(name, 0));
}

Boolean TProject::ResolveItem(NodeInfoPtr node, FSRef& file) {
  if (!node || node->DATATYPE == kProjectFolderType || !IsFileType(node->DATATYPE) || !node->DATA) return false;
  return ResolveFile(
      DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), GroupPayloadLength(node->DATA, node->DATALENGTH))
          .name,
      file);
}

Boolean TProject::RenameItem(TProjectGroup* group, SInt32 index, const Str255& name, Boolean onDisk) {
  NodeInfoPtr node = group ? group->GetNode(index) : nullptr;
  if (!node || !node->DATA) return false;
  if (node->DATATYPE == kProjectSnippetType) {
    // A snippet's name stops at its first ":".
    if (!GrowGroupPayload(node, kSnippetNameSize)) return false;
    auto* bytes = static_cast<UInt8*>(node->DATA);
    std::string data(reinterpret_cast<const char*>(bytes), size_t(GroupPayloadLength(bytes, node->DATALENGTH)));
    SnippetRename(data, name.view());
    std::memcpy(bytes, data.data(), kSnippetNameSize);
    return true;
  }
  // Names that do not fit their short string are refused, not cut: a cut
  // name would no longer find its file.
  int width = node->DATATYPE == kProjectSourceType || node->DATATYPE == kProjectResourceType ||
                      node->DATATYPE == kProjectFolderType || node->DATATYPE == kProjectBookmarkType ||
                      node->DATATYPE == kProjectCommandType
                  ? 63
                  : 0;
  if (width == 0) return false;
  if (!NameFits(name.view(), width)) {
    UserNotificationDialog(kProjectNameTooLongMessage);
    return false;
  }
  // A row read short from its file is made whole before its record is
  // written into it.
  if (!MakeProjectRecordWhole(node)) return false;
  if (IsFileType(node->DATATYPE)) {
    ProjectItemData item =
        DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), GroupPayloadLength(node->DATA, node->DATALENGTH));
    FSRef file;
    if (onDisk && ResolveItem(node, file)) {
      std::u16string unicode = ProjectNameToUnicode(name);
      if (unicode.empty() ||
          FSRenameUnicode(&file, unicode.size(), reinterpret_cast<const UniChar*>(unicode.data()),
                          kTextEncodingUnicodeDefault, nullptr) != noErr) {
        UserNotificationDialog(kProjectRenameFailedMessage);
        return false;
      }
    }
    item.name = Str63(name);
    UInt8 encoded[kProjectItemDataSize];
    EncodeProjectItemData(item, encoded);
    std::memcpy(node->DATA, encoded, kProjectItemDataSize);
  } else {
    // Folders, bookmarks and commands all begin with their Str63 title.
    auto* bytes = static_cast<UInt8*>(node->DATA);
    Str63 title(name);
    std::memset(bytes, 0, 64);
    std::memcpy(bytes, title.data(), static_cast<size_t>(title.len()) + 1);
  }
  return true;
}

void TProject::RenameItem(void* data, UInt32 type, TProjectGroup* group) {
  if (!data || !group || !browser || type == kGroupBrowserGroupType) return;
  const Boolean fileItem = IsFileType(type);
  auto* sheet = new TRenameItem();
  sheet->project = this;
  sheet->data = data;
  sheet->type = type;
  sheet->group = group;
  sheet->browser = browser;
  WindowRef parent = ActiveNonFloatingWindow();
  if (!parent) parent = GetWindow();
  sheet->SetParent(parent);
  sheet->Create(fileItem ? kRenameFileItemWindowName : kRenameItemWindowName, nib);
  if (!sheet->window) {
    sheet->Free();
    return;
  }
  Str63 name;
  if (type == kProjectFolderType) {
    name = browser->GetFolderName(data);
  } else if (NodeInfoPtr node = group->NodeOfData(data)) {
    IconRef icon = nullptr;
    group->GetDisplay(node, icon, name);
    if (icon) ReleaseIconRef(icon);
  }
  FSRef file;
  if (fileItem &&
      ResolveFile(DecodeProjectItemData(static_cast<const UInt8*>(data), GroupPayloadLength(data)).name, file)) {
    sheet->file = file;
    if (HIViewRef box = HIViewFind(128, 'OPTI', sheet->window)) HIViewSetEnabled(box, true);
  }
  HIViewRef field = HIViewFind(128, 'NAME', sheet->window);
  sheet->nameField = field;
  if (field) {
    CFStringRef text = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
    if (text) {
      HIViewSetText(field, text);
      CFRelease(text);
    }
  }
  sheet->Show();
  if (field) SetKeyboardFocus(sheet->window, field, kControlFocusNextPart);
}

SInt32 TProject::NewFile() {
  Err = noErr;
  OpenNewFileWindow(bundle, projectPreferences, GetWindow());
  return Err;
}

Boolean TProject::RemoveItem(TProjectGroup* group, SInt32 index) {
  NodeInfoPtr node = group ? group->GetNode(index) : nullptr;
  if (!node || !browserControl) return false;
  // The row must exist to go: the folders and group above it are opened.
  if (CFArrayRef parents = BrackenrowCreateParentArray(index, browserControl)) {
    for (CFIndex i = CFArrayGetCount(parents) - 1; i >= 1; --i) {
      auto* parent = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(parents, i)));
      if (parent) OpenDataBrowserContainer(browserControl, DataBrowserItemID(parent->INDEX));
    }
    CFRelease(parents);
  }
  // The browser's release hook takes the per-file settings of the items
  // that go (Sources and Resources share them by name).
  BrackenrowRemoveItem(browserControl, index);
  if (projectPreferences) projectPreferences->SetIntegerValue(kProjectSizeKey, size);  // counts the removal
  return true;
}

void TProject::SetItemEdited(const Str63& name, Boolean edited) {
  for (TProjectGroup* group : groups) {
    if (!IsFileType(group->ITEMTYPE)) continue;
    if (NodeInfoPtr node = group->GetFileItem(name); node && MakeProjectRecordWhole(node)) {
      static_cast<UInt8*>(node->DATA)[68] = edited ? 1 : 0;
      if (browserControl) BrackenrowUpdateItem(node->INDEX, browserControl);
    }
  }
}

void TProject::DocumentClosed(const Str63& name) {
  for (TProjectGroup* group : groups) {
    if (!IsFileType(group->ITEMTYPE)) continue;
    if (NodeInfoPtr node = group->GetFileItem(name); node && MakeProjectRecordWhole(node)) {
      auto* bytes = static_cast<UInt8*>(node->DATA);
      bytes[68] = 0;
      std::memset(bytes + 72, 0, 8);
      if (browserControl) BrackenrowUpdateItem(node->INDEX, browserControl);
    }
  }
}

// ---------------------------------------------------------------------------
// Commands

void TProject::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TModePane::ProcessCommand(command, event, result);
  auto deselect = [this] {
    if (browserControl) SetDataBrowserSelectedItems(browserControl, 0, nullptr, kDataBrowserItemsAssign);
  };
  switch (command.commandID) {
    case 'ABOK':
      deselect();
      if (auto* group = dynamic_cast<TBookmarkGroup*>(FindGroupByType(kProjectBookmarkType)))
        group->NewBookmark(kProjectBookmarkPlaceholder);
      break;
    case 'ACOM': {
      deselect();
      Str31 name("untitled");
      if (AppResources && AppResources->CodeSense) name = Str31(AppResources->CodeSense->GetUniqueCommand());
      if (auto* group = dynamic_cast<TCommandGroup*>(FindGroupByType(kProjectCommandType))) group->NewCommand(name);
      break;
    }
    case 'ASNI':
      deselect();
      if (auto* group = dynamic_cast<TSnippetGroup*>(FindGroupByType(kProjectSnippetType))) group->NewSnippet();
      break;
    case 'ADIR': AddFolder("untitled folder"); break;
    case 'addf': {
      FSRef file{};
      if (!event || GetEventParameter(event, 'FREF', typeFSRef, nullptr, sizeof file, nullptr, &file) != noErr)
        return;
      insertionContainer = 0;  // always at the group's root
      deselect();
      AddFile(file, false);
      break;
    }
    case 'PRJS': SetSize(command.menu.menuItemIndex); break;
    case 'CLEA':
      if (fileSystem) fileSystem->CleanAll();
      if (WindowRef window = GetWindow()) SendHICommand(GetWindowEventTarget(window), 'sbcl');
      break;
    case 'revP': Err = FSRevealFile(bundle); break;
    case 'new ':
    case 'newC': Err = NewFile(); break;
    case 'AFLE': {
      auto* dialog = new TAddFilesDialog();
      dialog->project = this;
      dialog->OpenDialog();  // frees itself
      break;
    }
    case 'pINF':
      if (!ProjectGetDialogHooks().OpenProjectInfo) return;
      ProjectGetDialogHooks().OpenProjectInfo(this);
      break;
    case 'fINF': {
      // Only for the tree's own selection: elsewhere the command is another
      // pane's.
      WindowRef window = browserControl ? HIViewGetWindow(browserControl) : nullptr;
      ControlRef focus = nullptr;
      if (!window || GetKeyboardFocus(window, &focus) != noErr || focus != browserControl) return;
      NodeInfoPtr node = BrackenrowGetSelection(browserControl);
      FSRef file;
      if (!node || node->DATATYPE == kProjectFolderType || !ResolveItem(node, file)) return;
      if (!EditorWindowGetHooks().OpenFileInfo) return;
      EditorWindowGetHooks().OpenFileInfo(this, file);
      break;
    }
    case 'COMP': Compile(); break;
    case 'pubx': Publish(); break;
    case 'uplo': {
      // Only for the tree's own selection, and only with one.
      WindowRef window = browserControl ? HIViewGetWindow(browserControl) : nullptr;
      ControlRef focus = nullptr;
      if (!window || GetKeyboardFocus(window, &focus) != noErr || focus != browserControl) return;
      if (!UploadSelection()) return;
      break;
    }
    case 'FBGB':
      // Back one level of the focus menu.
      if (browserControl) BrackenrowFocusGoBack(browserControl);
      if (headerToolbar) HIViewSetNeedsDisplay(headerToolbar, true);
      break;
    case 'FOCb':
      if (!event || BrackenrowHandleFocusEvent(event) != noErr) return;
      if (headerToolbar) HIViewSetNeedsDisplay(headerToolbar, true);
      break;
    case 'RENM': {
      NodeInfoPtr node = browserControl ? BrackenrowGetSelection(browserControl) : nullptr;
      TProjectGroup* group = node ? FindGroupByItem(node->INDEX) : nullptr;
      if (group) RenameItem(node->DATA, node->DATATYPE, group);
      break;
    }
    default: return;
  }
  result = noErr;
}

// ---------------------------------------------------------------------------
// Compiling

void TProject::Compile() {
  if (finishedParser) {
    finishedParser->Free();
    finishedParser = nullptr;
  }
  if (parser) return;  // one compile at a time
  TProjectGroup* sources = FindGroupByType(kProjectSourceType);
  if (!sources) return;
  std::vector<Str63> names = sources->ReturnGroupItems();
  if (names.empty()) return;
  auto* driver = new TSyntaxParser();
  SyntaxParserDestination destination;
  destination.fileSystem = fileSystem;
  destination.collection = fileSystem ? fileSystem->collection : nullptr;
  destination.notification = HandleCompileNotification;
  destination.userData = this;
  driver->SetDestination(destination);
  compileCount = 0;
  compileWindow = false;
  for (const Str63& name : names) {
    FSRef file;
    if (GetSupportedScriptLanguage(name).empty() || !ResolveFile(name, file)) continue;
    if (!fileSystem || !fileSystem->GetFileModifiedWithFSRef(file)) continue;
    SyntaxParserSource source;
    source.file = file;
    // A file open in one of the project's editors is parsed from its text,
    // unsaved changes and all.
    if (auto* open = dynamic_cast<TProjectDocument*>(TApplicationFindDocument(file));
        open && open->project == this && open->editor) {
      source.document = open;
      source.controller = open->editor->source.controller;
    }
    driver->AppendFile(source);
    ++compileCount;
  }
  compileWindow = compileCount > kProjectCompileWindowThreshold;
  if (compileCount > 0) {
    parser = driver;
    if (compileWindow) compiler = OpenCompileWindow(driver, SInt16(std::min<SInt32>(compileCount, 32767)));
    driver->ParseBatch(kSyntaxParserAsynchMode | kSyntaxParserCompileMode);
  } else {
    UserNotificationDialog(kProjectNothingToCompileMessage);
    driver->destination.notification = nullptr;
    driver->Release();
    driver->Free();
  }
}

namespace {

// The compile window goes once the event that ended the compile is over:
// its own Stop button may be what ended it.
void CloseCompileWindow(EventLoopTimerRef timer, void* data) {
  RemoveEventLoopTimer(timer);
  auto window = static_cast<WindowRef>(data);
  if (window && IsValidWindowPtr(window))
    if (TWindow* object = GetWindowObject(window)) object->Remove();
}

}  // namespace

void TProject::HandleCompileNotification(FileDescriptorPtr descriptor, const SyntaxParserSource& source,
                                         SInt16 kind, void* data, void* userData) {
  auto* project = static_cast<TProject*>(userData);
  if (!project || project->releasing) return;
  switch (kind) {
    case kSyntaxParserNotifyStarted:
    case kSyntaxParserNotifyFinished: {
      Str63 name = FSGetActualName(source.file);
      TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
      NodeInfoPtr node = sources ? sources->GetFileItem(name) : nullptr;
      if (!node || !node->DATA) break;  // removed while the compile ran
      if (!MakeProjectRecordWhole(node)) break;
      static_cast<UInt8*>(node->DATA)[69] = kind == kSyntaxParserNotifyStarted ? 1 : 0;
      if (project->browserControl) BrackenrowUpdateItem(node->INDEX, project->browserControl);
      // The open document's editor shows the symbols just parsed from it.
      auto* open = dynamic_cast<TSourceDocument*>(source.document);
      // The index keys a file by its place under the project folder.
      if (kind == kSyntaxParserNotifyFinished && open && descriptor && project->fileSystem &&
          project->fileSystem->GetFileKey(open->file) == descriptor->fileName) {
        if (open->editor) {
          // The editor takes an update for a saved text; unsaved changes
          // parsed here are still unsaved.
          const Boolean modified = open->modified;
          open->editor->Update(descriptor);
          if (modified && !open->modified) open->SetModifiedState(true);
        }
        if (WindowRef window = project->browserControl ? HIViewGetWindow(project->browserControl) : nullptr)
          SendDocumentCommand(open, 'sptm', GetWindowEventTarget(window));
      }
      break;
    }
    case kSyntaxParserNotifyProgress:
      if (project->compiler) {
        CFRange range{0, 100};
        if (data) range = *static_cast<const CFRange*>(data);
        project->compiler->Update(descriptor, range);
      }
      break;
    case kSyntaxParserNotifyReleased: {
      // The driver is inside its own release: it is freed later.
      project->finishedParser = project->parser;
      project->parser = nullptr;
      project->compileWindow = false;
      project->SaveIndex();
      if (TCompileWindow* window = project->compiler) {
        project->compiler = nullptr;
        window->parser = nullptr;
        EventLoopTimerRef timer = nullptr;
        InstallEventLoopTimer(GetMainEventLoop(), 0, 0, NewEventLoopTimerUPP(CloseCompileWindow), window->window,
                              &timer);
      }
      if (WindowRef window = project->GetWindow()) SendHICommand(GetWindowEventTarget(window), 'REFR');
      break;
    }
    default: break;
  }
}

void TProject::ForgetDocument(TDocument* document) {
  if (!parser || !document) return;
  if (parser->current && parser->current->source.document == document) {
    // Its text is being read right now: the compile stops.
    CancelCompile();
    return;
  }
  if (parser->queue)
    for (CFIndex i = 0, n = CFArrayGetCount(parser->queue); i < n; ++i) {
      auto* entry = static_cast<SyntaxParserSource*>(const_cast<void*>(CFArrayGetValueAtIndex(parser->queue, i)));
      if (entry && entry->document == document) {
        entry->document = nullptr;
        entry->controller = nullptr;  // read from the file instead
      }
    }
}

void TProject::CancelCompile() {
  if (parser) {
    TSyntaxParser* running = parser;
    parser = nullptr;
    running->destination.notification = nullptr;
    running->Terminate();
    running->Free();
  }
  if (compiler) {
    compiler->parser = nullptr;
    compiler->Remove();
    compiler = nullptr;
  }
  compileWindow = false;
}

// ---------------------------------------------------------------------------
// The project's window

void TProject::AppendDocument(TWindow* window) {
  if (!window) return;
  if (!document) {
    document = new TDocument();
    document->Create(bundle);
  }
  SetOwner(window);
  window->SetDocument(document);
}

SInt32 TProject::SaveTemporary() {
  if (!FSRefExists(temporaryFolder)) return 0;
  OpenSaveProjectWindow(temporaryFolder, 1, kProjectSaveTemporaryTitle, kProjectSaveTemporaryMessage,
                        GetWindowObject(GetWindow()));
  return -1;
}

// ---------------------------------------------------------------------------

void TProject::SaveAll() {
  BeginFileSaveReport();
  if (browser && TBrowser::IsLive(browser)) browser->SaveGroups();
  if (projectPreferences) SaveSettings(projectPreferences);
  SaveIndex();
  EndFileSaveReport();
}

void TProject::SaveSettings(TPreferenceHandler* settings) {
  Err = noErr;
  settings->Synchronize();
  // The settings keep their changes counted, so the next save writes them.
  ReportFileNotSaved("project.plist", Err);
}

void TProject::SaveIndex() {
  if (!fileSystem) return;
  Err = noErr;
  fileSystem->Save();
  ReportFileNotSaved("FileSystem.plist", Err);
}

void TProject::Release() {
  releasing = true;
  // The settings and file information windows of this project store their
  // values while its preferences are still there.
  CloseProjectInfoWindows(projectPreferences);
  // A compile still under way must not report into a freed project.
  CancelCompile();
  EndUploads();
  if (finishedParser) {
    finishedParser->Free();
    finishedParser = nullptr;
  }
  uploads.clear();
  transfers.clear();
  for (TProjectDocument* document : documents) document->project = nullptr;
  documents.clear();
  // The browser saves the groups as it goes (a browser its view let go of
  // saved them then), before the groups it shows.
  if (browser && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  SaveAll();
  if (fileSystem) {
    fileSystem->Release();
    fileSystem = nullptr;
  }
  browserControl = nullptr;
  if (document) {
    document->Release();
    document = nullptr;
  }
  for (TProjectGroup* group : groups) group->Free();
  groups.clear();
  if (headerMenu) ReleaseMenu(headerMenu);
  headerMenu = nullptr;
  if (actionMenu) ReleaseMenu(actionMenu);
  actionMenu = nullptr;
  if (searchPaths) {
    CFRelease(searchPaths);
    searchPaths = nullptr;
  }
  TPreferenceHandlerFile* handler = projectPreferences;
  projectPreferences = nullptr;
  preferences = nullptr;
  if (nibWindow || paneView) {
    TModePane::Release();  // frees the object
    if (handler) handler->Release();
    return;
  }
  if (handler) handler->Release();
  delete this;
}

// ---------------------------------------------------------------------------

namespace {

// The interface file of projects made without an application (tools and
// tests): the bundle's "main", opened once.
}  // namespace

void TProject::SetHeaderToolbar(ControlRef toolbar) {
  headerToolbar = toolbar;
  if (!headerMenu && CreateNewMenu(0, 0, &headerMenu) == noErr) SetContextualMenuFont(headerMenu);
  if (!toolbar) return;
  ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionHideSeparators));
  ToolbarCallbacks callbacks{};
  ToolbarSetCallbacks(toolbar, callbacks, this);
  ToolbarAddButton(toolbar, "Project", nullptr, kMenuIconRefType, headerMenu, 0, kToolbarItemDefaultOptions, this);
  IconRef back = nullptr;
  if (GetIconRef(kOnSystemDisk, kQuorvelCreator, 'bktb', &back) != noErr) back = nullptr;
  ToolbarAddButton(toolbar, "", back, kMenuIconRefType, nullptr, 'FBGB', ToolbarOption(kToolbarItemAnchoredRight), this);
  if (back) ReleaseIconRef(back);
}

void TProject::SetToolbar(ControlRef lower) {
  toolbar = lower;
  if (!toolbar) return;
  IconRef add = nullptr;
  if (GetIconRef(kOnSystemDisk, kSystemIconsCreator, 'GADD', &add) != noErr) add = nullptr;
  ToolbarAddButton(toolbar, "", add, kMenuIconRefType, nullptr, 'ADIR', kToolbarItemDefaultOptions, this);
  if (add) ReleaseIconRef(add);
  if (!actionMenu) actionMenu = CreateActionMenu();
  if (actionMenu) SetContextualMenuFont(actionMenu);
  IconRef action = nullptr;
  if (GetIconRef(kOnSystemDisk, kSystemIconsCreator, 'ACTO', &action) != noErr) action = nullptr;
  actionItem = ToolbarAddButton(toolbar, "", action, kMenuIconRefType, actionMenu, 0, kToolbarItemDefaultOptions, this);
  if (action) ReleaseIconRef(action);
}

void TProject::SetActionMenu(MenuRef menu) {
  if (actionMenu && actionMenu != menu) ReleaseMenu(actionMenu);
  actionMenu = menu;
  if (toolbar && actionItem) ToolbarSetItemMenu(toolbar, actionItem, menu);
}

MenuRef TProject::CreateActionMenu() {
  MenuRef menu = nullptr;
  if (!nib || CreateMenuFromNib(nib, CFSTR("Actions Menu"), &menu) != noErr) return nullptr;
  return menu;
}

void TProject::ModeChanged() {
  if (WindowRef window = GetWindow()) SendHICommand(GetWindowEventTarget(window), 'udsp');
}

CFArrayRef TProject::CopyGroupFSRefs(OSType type) {
  TProjectGroup* group = FindGroupByType(type);
  if (!group) return nullptr;
  CFMutableArrayRef files = CFArrayCreatePascal();
  for (NodeInfoPtr node : group->Items()) {
    FSRef file;
    if (!ResolveItem(node, file)) continue;
    if (Ptr block = NewPtrCopy(&file, sizeof file)) CFArrayAppendValue(files, block);
  }
  if (CFArrayGetCount(files) == 0) {
    CFRelease(files);
    return nullptr;
  }
  return files;
}

void* TProject::GetFileItem(const Str63& name) {
  for (TProjectGroup* group : groups)
    if (NodeInfoPtr node = group->GetFileItem(name)) return node->DATA;
  return nullptr;
}

Boolean TProject::ContainsFile(const FSRef& file) { return GetFileItem(FSGetDisplayName(file)) != nullptr; }

void TProject::AppendTransfer(const Str63& name) {
  TProjectGroup* sources = FindGroupByType(kProjectSourceType);
  NodeInfoPtr node = sources ? sources->GetFileItem(name) : nullptr;
  if (!node) return;
  transfers.push_back(node->INDEX);
  if (!MakeProjectRecordWhole(node)) return;
  static_cast<UInt8*>(node->DATA)[70] = 1;
  if (browserControl) BrackenrowUpdateItem(node->INDEX, browserControl);
}

void TProject::RemoveTransfer(SInt32 index) {
  auto at = std::find(transfers.begin(), transfers.end(), index);
  if (at == transfers.end()) return;
  transfers.erase(at);
  NodeInfoPtr node = browserControl ? BrackenrowGetNodeAtIndex(index, browserControl) : nullptr;
  if (node && IsFileType(node->DATATYPE) && node->DATA && MakeProjectRecordWhole(node)) {
    static_cast<UInt8*>(node->DATA)[70] = 0;
    BrackenrowUpdateItem(index, browserControl);
  }
}

Boolean TProject::IsFileTransfering(SInt32 index) {
  return std::find(transfers.begin(), transfers.end(), index) != transfers.end();
}

void TProject::Create(const Str63& name, IBNibRef nib) {
  this->nib = nib;
  TModePane::Create(name, nib);
  SetClassString("TProject");
  transfers.clear();
  insertionContainer = 0;
  HIViewRef toolbar = nullptr, tree = nullptr;
  if (paneView) {
    if (HIViewFindByID(paneView, HIViewID{'TOOL', 129}, &toolbar) != noErr) toolbar = nullptr;
    if (HIViewFindByID(paneView, HIViewID{'BROW', 128}, &tree) != noErr) tree = nullptr;
  }
  SetHeaderToolbar(toolbar);
  browser = new TProjectBrowser();
  browser->project = this;
  browser->bundle = bundle;
  browser->focusMenu = headerMenu;
  browser->nib = nib;
  browser->SetOptions(kBrackenrowAllocateTree | kBrackenrowColorBackground | kBrackenrowArrangeRowOrder |
                      kBrackenrowDrawOutlines);
  browser->Create(tree);
  browser->SetClassString("TProject");
  browserControl = tree;
  browser->SetFocus(0);
  if (tree) {
    if (AppResources && AppResources->SelectionImage) BrackenrowSetSelectionImage(tree, AppResources->SelectionImage);
    BrackenrowSetDragColumn('DATA', tree);
    SetDataBrowserListViewDisclosureColumn(tree, 'DATA', true);
  }
}

IBNibRef ProjectInterfaceFile() {
  if (ApplicationNib != nullptr) return ApplicationNib;
  if (CurrentApplication != nullptr && CurrentApplication->GetNibRef() != nullptr)
    return CurrentApplication->GetNibRef();
  static IBNibRef own = [] {
    IBNibRef ref = nullptr;
    if (CreateNibReference(CFSTR("main"), &ref) != noErr) ref = nullptr;
    return ref;
  }();
  return own;
}

TProject* CreateProjectPane(const FSRef& bundle, IBNibRef nib) {
  if (!nib) nib = ProjectInterfaceFile();
  // The pane's header toolbar is a view class of its own, which start-up
  // registers; a program that opens a project without it (tools, tests)
  // would get no pane, and no groups, otherwise. Registering again does
  // nothing.
  RegisterToolbarViewClass();
  auto* project = new TProject();
  project->bundle = bundle;
  project->Create("Project Pane", nib);
  struct GroupSpec {
    TProjectGroup* group;
    const char* file;
    const char* title;
    OSType type, folder;
  };
  const GroupSpec specs[] = {
      {new TFileGroup(), "sources.plist", "Sources", kProjectSourceType, 'pFLD'},
      {new TResourceGroup(), "resources.plist", "Resources", kProjectResourceType, 'pRSC'},
      {new TSnippetGroup(), "snippets.plist", "Snippets", kProjectSnippetType, 'pSNP'},
      {new TBookmarkGroup(), "bookmarks.plist", "Bookmarks", kProjectBookmarkType, 'pBOK'},
      {new TCommandGroup(), "commands.plist", "Commands", kProjectCommandType, 'pCMD'},
  };
  for (const GroupSpec& spec : specs) {
    spec.group->owner = project;
    spec.group->Initialize(spec.file, spec.title, spec.type, kQuorvelCreator, spec.folder);
    project->groups.push_back(spec.group);
    if (project->browser) project->browser->AddGroup(spec.group);
  }
  FSRef folder;
  if (FSGetSubFolder(bundle, kProjectPreferencesFolder, folder) == noErr) {
    project->fileSystem =
        CreateFileSystem(folder, AppResources ? AppResources->SyntaxCollection : nullptr, nullptr);
    if (project->fileSystem) project->fileSystem->SetRoot(FSGetParent(bundle));
  }
  Err = project->SetDefaultPreferences();
  OSStatus status = Err;
  if (project->browser) project->browser->LoadGroups();
  Err = status;
  return project;
}
