#include "TNewProjectUnit.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ApplicationFramework.h"
#include "Appearance.h"
#include "CFString.h"
#include "Folders.h"
#include "HIView.h"
#include "LaunchServices.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TApplicationUnit.h"
#include "TDemoApplicationUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "brackenrow/Browser.h"
#include "brackenrow/DiskUtilities.h"

namespace {

constexpr char kTemplatesFolder[] = "Templates";
constexpr char kProjectExtension[] = ".qvproj";
constexpr char kSourcesTreeFile[] = "Contents/Resources/Data/sources.plist";
constexpr char kProjectPreferencesFile[] = "Contents/Resources/Preferences/project.plist";
constexpr char kSourcesFolder[] = "Sources";
constexpr char kCreateErrorMessage[] = "There was an error creating the new project";
constexpr char kInvalidLocationMessage[] = "The location is not valid.";
constexpr char kNoNameMessage[] = "The new project needs a name.";
constexpr char kTemporarySuffix[] = ".tmp";

// Views of the save-project and progress sheets.
constexpr OSType kModeSignature = 'OPTI';
constexpr OSType kPathSignature = 'PATH';
constexpr OSType kChooseSignature = 'CHOO';
constexpr OSType kNameSignature = 'NAME';
constexpr OSType kTitleSignature = 'TITL';
constexpr OSType kMessageSignature = 'MESS';
constexpr OSType kDontSignature = 'dont';
constexpr OSType kStatusSignature = 'STAT';
constexpr SInt32 kViewID = 128;

// The folder payload's group type: imported folders belong to Sources.
constexpr OSType kImportedItemType = 'TTXT';

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096] = {0};
  if (FSRefMakePath(&ref, path, sizeof path) != noErr) return std::string();
  return reinterpret_cast<const char*>(path);
}

// A file name as the file system takes it: the UTF-8 text, whole.
CFStringRef NewName(const std::string& name) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(name.data()), CFIndex(name.size()),
                                 kCFStringEncodingUTF8, false);
}

// Renames the item to the UTF-8 name; the reference follows it.
OSStatus RenameItem(FSRef& ref, const std::string& name) {
  CFStringRef string = NewName(name);
  if (string == nullptr) return bdNamErr;
  std::vector<UniChar> chars(size_t(CFStringGetLength(string)));
  CFStringGetCharacters(string, CFRangeMake(0, CFIndex(chars.size())), chars.data());
  CFRelease(string);
  FSRef renamed{};
  const OSStatus status =
      FSRenameUnicode(&ref, UniCharCount(chars.size()), chars.data(), kTextEncodingUnicodeDefault, &renamed);
  if (status == noErr) ref = renamed;
  return status;
}

// The UTF-8 text of a view (the name a person typed).
std::string ViewText(HIViewRef view) {
  CFStringRef text = view != nullptr ? HIViewCopyText(view) : nullptr;
  if (text == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(text);
  std::string utf8(size_t(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)), '\0');
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(utf8.data()), CFIndex(utf8.size()), &used);
  CFRelease(text);
  utf8.resize(size_t(used));
  return utf8;
}

// Removes an item this unit made, with everything inside it.
void RemoveMadeItem(const FSRef& ref) {
  const std::string path = PathOf(ref);
  if (path.empty() || path == "/") return;
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

// The template's empty folders hold a placeholder so they survive in the
// source tree; the copy of a project never keeps it.
void RemovePlaceholders(const FSRef& copy) {
  const std::string root = PathOf(copy);
  if (root.empty()) return;
  std::error_code error;
  std::filesystem::recursive_directory_iterator walk(root, error), end;
  for (; !error && walk != end; walk.increment(error)) {
    if (walk->is_regular_file(error) && walk->path().filename() == kTemplatePlaceholderName) {
      std::error_code ignored;
      std::filesystem::remove(walk->path(), ignored);
    }
  }
}

// True when inner is the folder outer or lies inside it.
bool IsInside(const std::string& inner, const std::string& outer) {
  if (inner.empty() || outer.empty()) return false;
  if (inner == outer) return true;
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
}

// A link that leads to a folder: never walked, never listed as a file.
bool IsLinkToFolder(const FSRef& ref) {
  const std::string path = PathOf(ref);
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

SInt16 UserPathKindOfMode(SInt16 mode) {
  switch (mode) {
    case kImportInPlace:
      return kUserPathRoot;
    case kImportCopy:
    case kImportMove:
      return kUserPathProject;
    default:
      return 0;
  }
}

HIViewRef SheetView(TWindow* sheet, OSType signature) {
  return sheet != nullptr && sheet->window != nullptr ? HIViewFind(kViewID, signature, sheet->window) : nullptr;
}

void SetViewText(HIViewRef view, const Str255& text) {
  if (view == nullptr) return;
  CFStringRef string = CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
  if (string == nullptr) return;
  HIViewSetText(view, string);
  CFRelease(string);
}

// Shows UTF-8 text (a name or a path of any script) in the view.
void SetViewUTF8(HIViewRef view, const std::string& text) {
  CFStringRef string = view != nullptr ? NewName(text) : nullptr;
  if (string == nullptr) return;
  HIViewSetText(view, string);
  CFRelease(string);
}

// The folder holding the item, as a path.
std::string ParentPathOf(const FSRef& ref) { return std::filesystem::path(PathOf(ref)).parent_path().string(); }

// Every failure of the import is told with its status.
void ShowImportFailure(SInt32 status) {
  UserNotificationDialog(Str255(std::string("There was an error importing the folder into the new project (error ") +
                                std::to_string(status) + ")."));
}

}  // namespace

// ---------------------------------------------------------------------------
// Templates

std::string ProjectBundleName(const std::string& name) {
  std::string cut = name;
  const size_t room = kProjectFileNameLimit - (sizeof kProjectExtension - 1);
  if (cut.size() > room) {
    cut.resize(room);
    // Never half a character: continuation bytes of a cut one go too.
    size_t end = cut.size();
    while (end > 0 && (UInt8(cut[end - 1]) & 0xC0) == 0x80) --end;
    if (end > 0 && UInt8(cut[end - 1]) >= 0xC0) {
      const UInt8 lead = UInt8(cut[end - 1]);
      const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (cut.size() - (end - 1) < length) cut.resize(end - 1);
    }
  }
  return cut + kProjectExtension;
}

SInt32 HandleNewProjectCommand(const Str63& templateName, Boolean basic) {
  auto* dialog = new TNewProjectDialog();
  dialog->templateName = templateName;
  dialog->basic = basic;
  dialog->NewFileDialog();
  return noErr;
}

void TNewProjectDialog::HandleNewFile(const FSRef& folder, const std::string& name) {
  const FSRef bundle = basic ? CreateNewBasicProject(name, folder) : CreateNewProject(name, templateName, folder);
  if (FSRefExists(bundle)) SendOpenDocumentCommand(bundle, true);
}

FSRef CreateNewProject(const std::string& name, const Str63& templateName, const FSRef& folder) {
  FSRef none{};
  FSRef source{};
  if (name.empty()) {
    UserNotificationDialog(kNoNameMessage);
    return none;
  }
  if (FSGetResourceFile(templateName, kTemplatesFolder, source) != noErr) {
    UserNotificationDialog(kCreateErrorMessage);
    return none;
  }
  CFStringRef copyName = NewName(name);
  FSRef copy{};
  const OSStatus copied = FSCopyObjectSync(&source, &folder, copyName, &copy, 0);
  if (copyName != nullptr) CFRelease(copyName);
  if (copied != noErr) {
    UserNotificationDialog(kCreateErrorMessage);
    return none;
  }
  RemovePlaceholders(copy);
  // A template without its bundle, or a bundle that cannot take the
  // project's name, makes nothing: the copy goes again.
  FSRef bundle{};
  if (FSGetSubFolder(copy, kTemplateBundleName, bundle) != noErr ||
      RenameItem(bundle, ProjectBundleName(name)) != noErr) {
    RemoveMadeItem(copy);
    UserNotificationDialog(kCreateErrorMessage);
    return none;
  }
  LSSetExtensionHiddenForRef(&bundle, true);
  return bundle;
}

FSRef CreateNewBasicProject(const std::string& name, const FSRef& folder) {
  FSRef none{};
  FSRef source{};
  if (name.empty()) {
    UserNotificationDialog(kNoNameMessage);
    return none;
  }
  if (FSGetResourceFile(kBasicProjectTemplateName, kTemplatesFolder, source) != noErr) {
    UserNotificationDialog(kCreateErrorMessage);
    return none;
  }
  // Copied straight under the bundle's name: an item named like the project
  // beside it is no obstacle.
  CFStringRef bundleName = NewName(ProjectBundleName(name));
  FSRef bundle{};
  const OSStatus copied = FSCopyObjectSync(&source, &folder, bundleName, &bundle, 0);
  if (bundleName != nullptr) CFRelease(bundleName);
  if (copied != noErr) {
    UserNotificationDialog(kCreateErrorMessage);
    return none;
  }
  RemovePlaceholders(bundle);
  LSSetExtensionHiddenForRef(&bundle, true);
  return bundle;
}

void CreateTemporaryProject(const FSRef& folder) {
  FSRef home{};
  if (FSFindFolder(kOnSystemDisk, kCurrentUserFolderType, false, &home) != noErr) return;
  const FSRef bundle =
      CreateNewProject(std::filesystem::path(PathOf(folder)).filename().string(), kProjectTemplateName, home);
  if (!FSRefExists(bundle)) return;
  const SInt32 status = ProjectInsertFolderContents(bundle, folder, kImportInPlace);
  if (status != noErr) {
    ShowImportFailure(status);
    return;
  }
  SendOpenDocumentCommand(bundle, true);
  TWindow* front = GetWindowObject(FrontNonFloatingWindow());
  if (auto* project = static_cast<TProject*>(GetWindowProject(front))) project->temporaryFolder = FSGetParent(bundle);
}

// ---------------------------------------------------------------------------
// Folder import

void IterateContainer(const FSRef& folder, FolderTreeInfo& info, FolderTreeInfo saved) {
  FSIterator iterator = nullptr;
  if (FSOpenIterator(&folder, kFSIterateFlat, &iterator) != noErr) return;
  for (;;) {
    ItemCount count = 0;
    FSRef item{};
    const OSErr status =
        FSGetCatalogInfoBulk(iterator, 1, &count, nullptr, kFSCatInfoNone, nullptr, &item, nullptr, nullptr);
    if ((status != noErr && status != errFSNoMoreItems) || count == 0) break;
    info.lastIndex++;
    const Str63 name = FSGetActualName(item);
    // An empty name is one a project item cannot hold (too long, or
    // characters the short name lacks): it could never be found again.
    const bool isFolder = FSIsFolder(item);
    if (name.empty() || name[1] == '.' || (!isFolder && IsLinkToFolder(item))) {
      if (status != noErr) break;
      continue;
    }
    const SInt32 index = info.lastIndex;
    NodeInfoPtr node = nullptr;
    if (isFolder) {
      UInt8 bytes[kProjectFolderDataSize];
      EncodeProjectFolder(FSGetDisplayName(item), kImportedItemType, bytes);
      Ptr payload = NewPtr(kProjectFolderDataSize);
      if (payload != nullptr) {
        BlockMoveData(bytes, payload, kProjectFolderDataSize);
        node = BrackenrowNewNode(payload, kProjectFolderDataSize, kProjectFolderType, index, info.parentIndex, true);
        if (node == nullptr) DisposePtr(payload);
      }
    } else {
      ProjectItemData data;
      data.name = name;
      data.index = UInt32(index);
      data.needsUpload = true;
      UInt8 bytes[kProjectItemDataSize];
      EncodeProjectItemData(data, bytes);
      Ptr payload = NewPtr(kProjectItemDataSize);
      if (payload != nullptr) {
        BlockMoveData(bytes, payload, kProjectItemDataSize);
        node = BrackenrowNewNode(payload, kProjectItemDataSize, kImportedItemType, index, info.parentIndex, false);
        if (node == nullptr) DisposePtr(payload);
      }
      // The folder a file lies in is where the project looks for it; the
      // handler adds a record only once.
      if (info.preferences != nullptr && !info.path.empty()) {
        CFDataRef record = NewUserPath(info.path, UserPathKindOfMode(info.kind), true);
        info.preferences->SetArrayValue(kUserPathsKey, record);
        CFRelease(record);
      }
    }
    CFTreeRef child = node != nullptr ? BrackenrowCreateTree(node) : nullptr;
    if (child != nullptr) {
      CFTreeAppendChild(info.tree, child);
      if (isFolder && info.depth <= info.maximumDepth) {
        const FolderTreeInfo kept = info;
        info.name = name;
        info.tree = child;
        info.parentIndex = index;
        info.depth = SInt16(info.depth + 1);
        // A path too long for a user path is not recorded at all, rather
        // than cut into one that names another folder.
        const std::string joined = info.path.str() + "/" + name.str();
        info.path = info.path.empty() || joined.size() > size_t(Str255::kCapacity) ? Str255() : Str255(joined);
        IterateContainer(item, info, kept);
      }
      CFRelease(child);
    }
    if (status != noErr) break;
  }
  const SInt32 lastIndex = info.lastIndex;
  info = saved;
  info.lastIndex = lastIndex;
  FSCloseIterator(iterator);
}

CFTreeRef ConvertFolderToTree(const FSRef& folder, const FSRef& treeFile, const FSRef& sources, const FSRef& bundle,
                              SInt16 mode) {
  FolderTreeInfo info;
  info.tree = BrackenrowCreateTree(nullptr);
  info.parentIndex = 0;
  info.baseFolder = sources;
  info.kind = mode;
  info.maximumDepth = kFolderImportMaximumDepth;
  TPreferenceHandlerFile* preferences = nullptr;
  FSRef preferencesFile{};
  if (FSGetSubFolder(bundle, kProjectPreferencesFile, preferencesFile) == noErr) {
    preferences = new TPreferenceHandlerFile();
    preferences->SetFile(preferencesFile);
    info.preferences = preferences;
  }
  switch (mode) {
    case kImportInPlace:
      info.path = FSGetFullPath(folder);
      break;
    case kImportCopy:
    case kImportMove:
      info.path = kSourcesFolder;
      break;
    default:
      break;
  }
  IterateContainer(folder, info, info);
  OSStatus status = CFTreeWritePropertyList(treeFile, info.tree, nullptr, nullptr);
  if (preferences != nullptr) {
    preferences->Synchronize();
    if (status == noErr) status = Err;
    preferences->Release();
  }
  Err = status;
  return info.tree;
}

SInt32 ProjectInsertFolderContents(const FSRef& bundle, const FSRef& folder, SInt16 mode) {
  FSRef treeFile{};
  OSStatus status = FSGetSubFolder(bundle, kSourcesTreeFile, treeFile);
  if (status != noErr) return status;
  const FSRef projectFolder = FSGetParent(bundle);
  FSRef sources{};
  const bool hasSources = FSGetSubFolder(projectFolder, kSourcesFolder, sources) == noErr;
  // A folder copied or moved into a project inside itself would never end.
  if ((mode == kImportCopy || mode == kImportMove) && IsInside(PathOf(projectFolder), PathOf(folder)))
    return badMovErr;

  CFTreeRef tree = ConvertFolderToTree(folder, treeFile, sources, bundle, mode);
  status = Err;
  if (tree != nullptr) CFRelease(tree);
  if (status != noErr) return status;

  if (mode == kImportCopy || mode == kImportMove) {
    // The template's own "Sources" makes room; it is the fresh copy's,
    // never the user's.
    if (hasSources) {
      RemoveMadeItem(sources);
      if (FSRefExists(sources)) return fBsyErr;
    }
    CFStringRef name = NewName(kSourcesFolder);
    if (mode == kImportCopy)
      status = FSCopyObjectSync(&folder, &projectFolder, name, nullptr, 0);
    else
      status = FSMoveObjectSync(&folder, &projectFolder, name, nullptr, 0);
    CFRelease(name);
  }
  Err = status;
  return status;
}

// ---------------------------------------------------------------------------
// Sheets

TWindow* OpenNewWindow(IBNibRef nib, const Str63& name, WindowRef parent) {
  auto* window = new TWindow();
  window->SetParent(parent);
  window->Create(name, nib);
  return window;
}

void TModeButtonHandler::HandleEvent(EventRef event, UInt32, UInt32, SInt32&) {
  ControlRef control = nullptr;
  if (GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr, &control) !=
          noErr ||
      control == nullptr)
    return;
  HIViewID id{};
  if (GetControlID(control, &id) != noErr || id.signature != kModeSignature || id.id != kViewID) return;
  WindowRef window = GetControlOwner(control);
  if (window == nullptr) return;
  HIViewRef choose = HIViewFind(kViewID, kChooseSignature, window);
  HIViewRef path = HIViewFind(kViewID, kPathSignature, window);
  HIViewRef name = HIViewFind(kViewID, kNameSignature, window);
  const SInt32 mode = GetControl32BitValue(control);
  // The buttons show the group's value, also when it was set in code.
  UInt16 count = 0;
  if (CountSubControls(control, &count) == noErr)
    for (UInt16 i = 1; i <= count; ++i) {
      ControlRef button = nullptr;
      if (GetIndexedSubControl(control, i, &button) == noErr && button != nullptr)
        SetControl32BitValue(button, SInt32(i) == mode ? 1 : 0);
    }
  const bool moving = mode == kImportMove;
  // A moved folder's project is made beside it.
  if (moving) SetViewUTF8(path, ParentPathOf(folder));
  for (HIViewRef view : {choose, path, name})
    if (view != nullptr) HIViewSetEnabled(view, !moving);
}

void OpenSaveProjectWindow(const FSRef& folder, UInt32 command, const Str255& title, const Str255& message,
                           TWindow* parent) {
  auto* sheet = new TProjectSaveWindow();
  sheet->title = title;
  sheet->message = message;
  sheet->SetPreferences(CurrentApplication != nullptr ? CurrentApplication->preferences : nullptr);
  sheet->folder = folder;
  sheet->command = command;
  sheet->parentWindow = parent;
  if (parent != nullptr) sheet->SetParent(parent->window);
  sheet->SetOptions(kTWindowOptionsAutoManagePreferences);
  sheet->Create("Save Project", ProjectInterfaceFile());
  if (sheet->window == nullptr) {
    sheet->Release();
    UserNotificationDialog(kCreateErrorMessage);
    return;
  }
  HIViewRef mode = SheetView(sheet, kModeSignature);
  if (mode != nullptr) {
    sheet->modeHandler = new TModeButtonHandler();
    sheet->modeHandler->folder = folder;
    sheet->modeHandler->Install(GetControlEventTarget(mode));
    sheet->modeHandler->AppendEvent(kEventClassControl, kEventControlValueFieldChanged);
    sheet->modeHandler->AppendEvent(kEventClassControl, kEventControlEnabledStateChanged);
  }
  SetViewUTF8(SheetView(sheet, kPathSignature), ParentPathOf(folder));
  SetViewUTF8(SheetView(sheet, kNameSignature), std::filesystem::path(PathOf(folder)).filename().string() + " Project");
  SetViewText(SheetView(sheet, kTitleSignature), title);
  SetViewText(SheetView(sheet, kMessageSignature), message);
  if (command == 0)
    if (HIViewRef dont = SheetView(sheet, kDontSignature)) HIViewSetVisible(dont, false);
  sheet->Show();
  // Enabling the mode buttons runs their handler once for the mode shown.
  if (mode != nullptr) HIViewSetEnabled(mode, true);
}

void TProjectSaveWindow::ProcessCommand(const HICommand& inCommand, EventRef event, SInt32& result) {
  switch (inCommand.commandID) {
    case 'save':
      result = noErr;
      Save();
      return;
    case 'CHOO':
      result = noErr;
      ChooseFolder();
      return;
    case 'dont':
      result = noErr;
      CloseParent();
      return;
    case 'not!':
      result = noErr;
      Remove();
      return;
    default:
      TWindow::ProcessCommand(inCommand, event, result);
  }
}

void TProjectSaveWindow::Release() {
  if (modeHandler != nullptr) modeHandler->Release();
  modeHandler = nullptr;
  TWindow::Release();
}

void TProjectSaveWindow::Save() {
  HIViewRef modeView = SheetView(this, kModeSignature);
  const SInt16 mode = modeView != nullptr ? SInt16(GetControl32BitValue(modeView)) : SInt16(kImportInPlace);
  FSRef destination{};
  const std::string place = ViewText(SheetView(this, kPathSignature));
  if (place.empty() || FSPathMakeRef(reinterpret_cast<const UInt8*>(place.c_str()), &destination, nullptr) != noErr ||
      !FSIsFolder(destination)) {
    UserNotificationDialog(kInvalidLocationMessage);
    return;
  }
  const std::string name = ViewText(SheetView(this, kNameSignature));
  if (name.empty()) {
    UserNotificationDialog(kNoNameMessage);
    return;
  }
  Str63 originalName;
  if (mode == kImportMove) {
    destination = FSGetParent(folder);
    // The project folder may take the folder's own name: the folder steps
    // aside until it moves in.
    originalName = FSGetActualName(folder);
    if (originalName.empty() || FSRename(folder, Str63(originalName + kTemporarySuffix)) != noErr) {
      ShowImportFailure(Err != noErr ? SInt32(Err) : SInt32(bdNamErr));
      return;
    }
  }
  const FSRef bundle = CreateNewProject(name, kProjectTemplateName, destination);
  if (!FSRefExists(bundle)) {
    if (!originalName.empty()) FSRename(folder, originalName);
    return;
  }
  auto* task = new TNewProjectTask();
  task->bundle = bundle;
  task->mode = mode;
  task->command = command;
  task->sheet = this;
  task->originalName = originalName;
  task->Start();
  if (Err != noErr) {
    task->Release();
    RemoveMadeItem(FSGetParent(bundle));
    if (!originalName.empty()) FSRename(folder, originalName);
    ShowImportFailure(Err);
  }
}

void TProjectSaveWindow::CloseParent() {
  Hide();
  if ((command == 1 || command == 2) && parentWindow != nullptr) parentWindow->Remove();
  parentWindow = nullptr;
  Remove();
}

void TProjectSaveWindow::ChooseFolder() {
  auto* dialog = new TChooseFilePathDialog();
  dialog->window = this;
  dialog->SetParent(window);
  dialog->ChooseFolderDialog();
}

void TChooseFilePathDialog::HandleChooseResult(const FSRef& folder) {
  if (window != nullptr && window->window != nullptr && GetWindowObject(window->window) == window)
    SetViewUTF8(HIViewFind(kViewID, kPathSignature, window->window), PathOf(folder));
}

// ---------------------------------------------------------------------------
// The import task

void TNewProjectTask::Run() {
  CallRemote(kNewProjectTaskShowProgress);
  // The sheet stays open while the task runs; its folder is read once.
  const FSRef folder = sheet->folder;
  status = ProjectInsertFolderContents(bundle, folder, mode);
  if (status == noErr) {
    CallRemote(kNewProjectTaskFinish);
  } else {
    // Nothing of the attempt stays: the new project folder goes (unless the
    // folder already lies inside it) and the folder gets its name back.
    const FSRef projectFolder = FSGetParent(bundle);
    FSRef current = folder;
    if (!IsInside(PathOf(current), PathOf(projectFolder))) RemoveMadeItem(projectFolder);
    if (!originalName.empty()) FSRename(current, originalName);
    sheet->folder = current;
  }
  CallRemote(kNewProjectTaskRemoveProgress);
}

void TNewProjectTask::RemoteProcedure(SInt16 selector) {
  switch (selector) {
    case kNewProjectTaskShowProgress:
      SetThemeCursor(kThemeArrowCursor);
      progress = OpenNewWindow(ProjectInterfaceFile(), "Progress Sheet", sheet->window);
      if (progress->window == nullptr) {
        progress->Release();
        progress = nullptr;
        return;
      }
      SetViewText(HIViewFind(kViewID, kStatusSignature, progress->window), "Creating new project...");
      progress->Show();
      break;
    case kNewProjectTaskFinish:
      if (progress != nullptr) progress->Hide();
      sheet->CloseParent();
      sheet = nullptr;
      if (command == 0) SendOpenDocumentCommand(bundle, true);
      break;
    case kNewProjectTaskRemoveProgress:
      if (progress != nullptr) progress->Remove();
      progress = nullptr;
      // A failed import leaves the save sheet open for another try.
      if (status != noErr) ShowImportFailure(status);
      break;
    default:
      break;
  }
}
