#include "TProjectUnit.h"
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
#include "TSyntaxParserUnit.h"
#include "UTType.h"
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
  return GetServerPreferences();
}

std::u16string ToUnicode(const Str255& name) {
  CFStringRef string = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  std::u16string result;
  if (string) {
    result.resize(static_cast<size_t>(CFStringGetLength(string)));
    CFStringGetCharacters(string, CFRangeMake(0, CFStringGetLength(string)),
                          reinterpret_cast<UniChar*>(result.data()));
    CFRelease(string);
  }
  return result;
}

Str255 PathOf(const FSRef& ref) { return FSGetFullPath(ref); }

// The folder that holds the bundle.
Str255 ProjectFolderPath(const FSRef& bundle) { return GetBaseFilePath(bundle); }

Boolean IsFileType(OSType type) { return type == kProjectSourceType || type == kProjectResourceType; }

// The type of document a file is for the groups: 'TTXT' for sources (a
// language of ours, or text), 'RTXT' for resources (images, PDF, web
// archives, links); '????' otherwise.
OSType DocumentTypeOf(const FSRef& file) {
  OSType type = 0x3F3F3F3F;  // four question marks
  Str63 name = FSGetActualName(file);
  if (!GetSupportedFileLanguage(name).empty()) type = kProjectSourceType;
  if (FSConformsToUTIdentifier(file, "public.text")) type = kProjectSourceType;
  if (FSConformsToUTIdentifier(file, "public.image")) type = kProjectResourceType;
  Str255 extension = GetStringSuffix(name, '.');
  if (!extension.empty()) {
    CFStringRef tag = CFStringCreateWithPascalString(nullptr, extension.data(), kCFStringEncodingMacRoman);
    CFStringRef uti = tag ? UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, tag, nullptr) : nullptr;
    if (uti) {
      for (const char* id : {"com.adobe.pdf", "com.apple.webarchive", "public.url"})
        if (CFStringCompare(uti, CFSTR(id), 0) == kCFCompareEqualTo) type = kProjectResourceType;
      CFRelease(uti);
    }
    if (tag) CFRelease(tag);
  }
  return type;
}

}  // namespace

Boolean GetProjectRowMetrics(SInt32 size, ProjectRowMetrics& metrics) {
  static const ProjectRowMetrics kMetrics[] = {{14, 8}, {18, 14}, {33, 18}, {65, 30}};
  if (size < 1 || size > 4) return false;
  metrics = kMetrics[size - 1];
  return true;
}

// ---------------------------------------------------------------------------
// Groups

TProjectGroup::TProjectGroup(const char* fileName, const char* title, OSType itemType, OSType folderType,
                             TProject* owner)
    : fileName(fileName), title(title), itemType(itemType), folderType(folderType), owner(owner) {
  tree = BrackenrowCreateTree(nullptr);
}

TProjectGroup::~TProjectGroup() {
  if (tree) CFRelease(tree);
}

Boolean TProjectGroup::GetResourceFile(const FSRef& bundle, FSRef& file) {
  Str255 folderPath = PathOf(bundle);
  if (folderPath.empty()) return false;
  std::string path = folderPath.str() + "/" + kProjectDataFolder + fileName.str();
  if (FSGetPathRef(Str255(path), file)) return true;
  std::string folder = folderPath.str() + "/" + kProjectDataFolder;
  // The Data folder and the empty file are made on demand.
  FSRef parent;
  if (!FSGetPathRef(Str255(folder.substr(0, folder.size() - 1)), parent)) {
    FSRef contents;
    if (!FSGetPathRef(Str255(folderPath.str() + "/Contents/Resources"), contents)) return false;
    std::u16string data = u"Data";
    if (FSCreateDirectoryUnicode(&contents, data.size(), reinterpret_cast<const UniChar*>(data.data()), 0,
                                 nullptr, &parent, nullptr, nullptr) != noErr)
      return false;
  }
  std::u16string name = ToUnicode(fileName);
  return FSCreateFileUnicode(&parent, name.size(), reinterpret_cast<const UniChar*>(name.data()), 0, nullptr,
                             &file, nullptr) == noErr;
}

void TProjectGroup::Load(const FSRef& bundle) {
  FSRef file;
  if (!GetResourceFile(bundle, file)) return;
  CFTreeRef loaded = CFTreeReadPropertyList(file, nullptr, nullptr);
  if (tree) CFRelease(tree);
  tree = loaded ? loaded : BrackenrowCreateTree(nullptr);
  nextIndex = 1;
  for (NodeInfoPtr node : Items())
    if (node->INDEX >= nextIndex) nextIndex = node->INDEX + 1;
}

void TProjectGroup::Save(const FSRef& bundle) {
  FSRef file;
  if (GetResourceFile(bundle, file)) CFTreeWritePropertyList(file, tree, nullptr, nullptr);
}

namespace {

CFTreeRef FindInTree(CFTreeRef tree, SInt32 index) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) {
    NodeInfoPtr node = BrackenrowGetNode(child);
    if (node && node->INDEX == index) return child;
    if (CFTreeRef found = FindInTree(child, index)) return found;
  }
  return nullptr;
}

void Collect(CFTreeRef tree, std::vector<NodeInfoPtr>& nodes) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) {
    if (NodeInfoPtr node = BrackenrowGetNode(child)) nodes.push_back(node);
    Collect(child, nodes);
  }
}

}  // namespace

CFTreeRef TProjectGroup::FindItem(SInt32 index) const {
  return index == 0 ? nullptr : FindInTree(tree, index);
}

NodeInfoPtr TProjectGroup::GetNode(SInt32 index) const {
  CFTreeRef item = FindItem(index);
  return item ? BrackenrowGetNode(item) : nullptr;
}

std::vector<NodeInfoPtr> TProjectGroup::Items() const {
  std::vector<NodeInfoPtr> nodes;
  Collect(tree, nodes);
  return nodes;
}

SInt32 TProjectGroup::NewItem(const void* data, SInt32 length, OSType type, SInt32 container) {
  Ptr block = NewPtr(length);
  if (!block) return 0;
  if (length > 0) std::memcpy(block, data, static_cast<size_t>(length));
  CFTreeRef parent = tree;
  NodeInfoPtr containerNode = GetNode(container);
  if (containerNode && containerNode->DATATYPE == kProjectFolderType) parent = FindItem(container);
  else container = 0;
  Boolean isFolder = type == kProjectFolderType;
  NodeInfoPtr node = BrackenrowNewNode(block, length, type, nextIndex, container, isFolder);
  if (!node) {
    DisposePtr(block);
    return 0;
  }
  CFTreeRef child = BrackenrowCreateTree(node);
  CFTreeAppendChild(parent, child);
  CFRelease(child);
  return nextIndex++;
}

SInt32 TProjectGroup::NewFolder(const Str63& name, SInt32 container) {
  UInt8 bytes[kProjectFolderDataSize];
  EncodeProjectFolder(name, itemType, bytes);
  return NewItem(bytes, kProjectFolderDataSize, kProjectFolderType, container);
}

Boolean TProjectGroup::RemoveItem(SInt32 index) {
  CFTreeRef item = FindItem(index);
  if (!item) return false;
  CFTreeRemove(item);
  return true;
}

SInt32 TProjectGroup::NewSnippet(std::string_view name, const std::u16string& text) {
  std::string data = SnippetCreateData(name, text);
  return NewItem(data.data(), static_cast<SInt32>(data.size()), kProjectSnippetType, 0);
}

SInt32 TProjectGroup::NewBookmark(const Str255& url) {
  UInt8 bytes[kProjectBookmarkDataSize];
  EncodeProjectBookmarkData(NewBookmarkData(url), bytes);
  return NewItem(bytes, kProjectBookmarkDataSize, kProjectBookmarkType, 0);
}

SInt32 TProjectGroup::NewCommand(const Str31& command) {
  UInt8 bytes[kCommandDataSize];
  EncodeCommandData(CommandData{"untitled", command}, bytes);
  return NewItem(bytes, kCommandDataSize, kProjectCommandType, 0);
}

NodeInfoPtr TProjectGroup::GetFileItem(const Str63& name) const {
  for (NodeInfoPtr node : Items()) {
    if (node->DATATYPE == kProjectFolderType || !node->DATA) continue;
    ProjectItemData item = DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH);
    if (item.name == name) return node;
  }
  return nullptr;
}

std::vector<Str63> TProjectGroup::ReturnGroupItems() const {
  std::vector<Str63> names;
  for (NodeInfoPtr node : Items()) {
    if (node->DATATYPE == kProjectFolderType || !node->DATA) continue;
    names.push_back(DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH).name);
  }
  return names;
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

CFArrayRef CopyUserPathsArray(TPreferenceHandler* prefs, const Str255& key, void* context) {
  if (!prefs) return nullptr;
  CFTypeRef value = prefs->GetTypeValue(key);
  if (!value) return nullptr;
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (CFGetTypeID(value) == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(value);
    for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i) {
      auto item = static_cast<CFTypeRef>(CFArrayGetValueAtIndex(array, i));
      if (!item || CFGetTypeID(item) != CFDataGetTypeID()) continue;
      auto data = static_cast<CFDataRef>(item);
      if (CFDataGetLength(data) < kUserPathInfoSize) continue;
      UserPathInfo info = DecodeUserPathInfo(CFDataGetBytePtr(data), CFDataGetLength(data));
      if (!info.enabled) continue;
      Str255 formatted = ResolveUserPaths(info.path, info.kind, context);
      CFStringRef string = CFStringCreateWithPascalString(nullptr, formatted.data(), kCFStringEncodingMacRoman);
      if (string) {
        CFArrayAppendValue(result, string);
        CFRelease(string);
      }
    }
  }
  CFRelease(value);
  if (CFArrayGetCount(result) == 0) {
    CFRelease(result);
    return nullptr;
  }
  return result;
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
  CFArrayRef projectPaths = CopyUserPathsArray(projectPreferences, kUserPathsKey, this);
  CFArrayRef applicationPaths = CopyUserPathsArray(ApplicationPreferences(), kUserPathsKey, nullptr);
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
  ProjectRowMetrics metrics;
  if (browserControl && GetProjectRowMetrics(newSize, metrics)) {
    SetDataBrowserTableViewRowHeight(browserControl, metrics.rowHeight);
    SetDataBrowserMetric(browserControl, kDataBrowserMetricDisclosureColumnPerDepthGap, false, metrics.indent);
    SetDataBrowserScrollPosition(browserControl, 0, 0);
  }
  if (projectPreferences) projectPreferences->SetIntegerValue(kProjectSizeKey, newSize);
}

TProjectGroup* TProject::FindGroupByType(OSType type) const {
  for (TProjectGroup* group : groups)
    if (group->itemType == type) return group;
  return nullptr;
}

TProjectGroup* TProject::FindGroupByItem(SInt32 index) const {
  for (TProjectGroup* group : groups)
    if (group->FindItem(index)) return group;
  return nullptr;
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
  TProjectGroup* group = FindGroupByType(DocumentTypeOf(file));
  if (!group || !IsFileType(group->itemType)) return;
  Err = noErr;
  TPreferenceHandler* application = ApplicationPreferences();
  Boolean copying = copy || (application && application->GetBooleanValue(kGeneralImportCopyFilesKey));
  if (copying) {
    const char* folderName = group->itemType == kProjectSourceType ? "Sources" : "Resources";
    FSRef projectFolder = FSGetParent(bundle);
    FSRef target;
    if (FSGetSubFolder(projectFolder, folderName, target) != noErr) {
      // The target folder is made when a copy needs it.
      std::u16string unicode = ToUnicode(folderName);
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
  ProjectItemData item;
  item.name = name;
  item.needsUpload = true;
  UInt8 bytes[kProjectItemDataSize];
  EncodeProjectItemData(item, bytes);
  SInt32 index = group->NewItem(bytes, kProjectItemDataSize, group->itemType, insertionContainer);
  if (NodeInfoPtr node = group->GetNode(index)) {
    item.index = static_cast<UInt32>(index);
    EncodeProjectItemData(item, bytes);
    std::memcpy(node->DATA, bytes, kProjectItemDataSize);
  }
}

void TProject::AddFolder(const Str63& name) {
  TProjectGroup* group = selectedGroup ? selectedGroup : FindGroupByType(kProjectSourceType);
  if (!group) return;
  insertionContainer = static_cast<UInt32>(group->NewFolder(name, 0));
}

Boolean TProject::ResolveItem(NodeInfoPtr node, FSRef& file) {
  if (!node || node->DATATYPE == kProjectFolderType || !IsFileType(node->DATATYPE) || !node->DATA) return false;
  return ResolveFile(DecodeProjectItemData(static_cast<const UInt8*>(node->DATA), node->DATALENGTH).name, file);
}

Boolean TProject::RenameItem(TProjectGroup* group, SInt32 index, const Str255& name, Boolean onDisk) {
  NodeInfoPtr node = group ? group->GetNode(index) : nullptr;
  if (!node || !node->DATA) return false;
  auto* bytes = static_cast<UInt8*>(node->DATA);
  if (node->DATATYPE == kProjectSnippetType) {
    // A snippet's name stops at its first ":".
    std::string data(reinterpret_cast<const char*>(bytes), static_cast<size_t>(node->DATALENGTH));
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
  if (IsFileType(node->DATATYPE)) {
    ProjectItemData item = DecodeProjectItemData(bytes, node->DATALENGTH);
    FSRef file;
    if (onDisk && ResolveItem(node, file)) {
      std::u16string unicode = ToUnicode(name);
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
    std::memcpy(bytes, encoded, kProjectItemDataSize);
  } else {
    // Folders, bookmarks and commands all begin with their Str63 title.
    Str63 title(name);
    std::memset(bytes, 0, 64);
    std::memcpy(bytes, title.data(), static_cast<size_t>(title.len()) + 1);
  }
  return true;
}

Boolean TProject::RemoveItem(TProjectGroup* group, SInt32 index) {
  NodeInfoPtr node = group ? group->GetNode(index) : nullptr;
  if (!node) return false;
  std::vector<Str63> removed;
  if (IsFileType(group->itemType)) {
    // Every file item inside the removed item.
    CFTreeRef item = group->FindItem(index);
    std::vector<NodeInfoPtr> nodes{node};
    Collect(item, nodes);
    for (NodeInfoPtr n : nodes)
      if (n->DATATYPE != kProjectFolderType && n->DATA)
        removed.push_back(DecodeProjectItemData(static_cast<const UInt8*>(n->DATA), n->DATALENGTH).name);
  }
  group->RemoveItem(index);
  // Per-file settings go only with the last item of their name.
  for (const Str63& name : removed) {
    if (group->GetFileItem(name) || !projectPreferences) continue;
    projectPreferences->RemoveValue(FileInfoKey(name));
    projectPreferences->SetIntegerValue(kProjectSizeKey, size);  // counts the removal
  }
  return true;
}

void TProject::SetItemEdited(const Str63& name, Boolean edited) {
  for (TProjectGroup* group : groups) {
    if (!IsFileType(group->itemType)) continue;
    if (NodeInfoPtr node = group->GetFileItem(name)) static_cast<UInt8*>(node->DATA)[68] = edited ? 1 : 0;
  }
}

void TProject::DocumentClosed(const Str63& name) {
  for (TProjectGroup* group : groups) {
    if (!IsFileType(group->itemType)) continue;
    if (NodeInfoPtr node = group->GetFileItem(name)) {
      auto* bytes = static_cast<UInt8*>(node->DATA);
      bytes[68] = 0;
      std::memset(bytes + 72, 0, 8);
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
      if (TProjectGroup* group = FindGroupByType(kProjectBookmarkType)) group->NewBookmark(kProjectBookmarkPlaceholder);
      break;
    case 'ACOM': {
      deselect();
      Str31 name("untitled");
      if (AppResources && AppResources->CodeSense) name = Str31(AppResources->CodeSense->GetUniqueCommand());
      if (TProjectGroup* group = FindGroupByType(kProjectCommandType)) group->NewCommand(name);
      break;
    }
    case 'ASNI':
      deselect();
      if (TProjectGroup* group = FindGroupByType(kProjectSnippetType)) group->NewSnippet("untitled", u"");
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
      break;
    case 'COMP': Compile(); break;
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
    if (GetSupportedFileLanguage(name).empty() || !ResolveFile(name, file)) continue;
    if (!fileSystem || !fileSystem->GetFileModifiedWithFSRef(file)) continue;
    SyntaxParserSource source;
    source.file = file;
    driver->AppendFile(source);
    ++compileCount;
  }
  compileWindow = compileCount > kProjectCompileWindowThreshold;
  if (compileCount > 0) {
    parser = driver;
    driver->ParseBatch(kSyntaxParserAsynchMode | kSyntaxParserCompileMode);
  } else {
    UserNotificationDialog(kProjectNothingToCompileMessage);
    driver->destination.notification = nullptr;
    driver->Release();
    driver->Free();
  }
}

void TProject::HandleCompileNotification(FileDescriptorPtr descriptor, const SyntaxParserSource& source,
                                         SInt16 kind, void*, void* userData) {
  auto* project = static_cast<TProject*>(userData);
  if (!project || project->releasing) return;
  switch (kind) {
    case kSyntaxParserNotifyStarted:
    case kSyntaxParserNotifyFinished: {
      Str63 name = FSGetActualName(source.file);
      TProjectGroup* sources = project->FindGroupByType(kProjectSourceType);
      NodeInfoPtr node = sources ? sources->GetFileItem(name) : nullptr;
      if (!node || !node->DATA) break;  // removed while the compile ran
      static_cast<UInt8*>(node->DATA)[69] = kind == kSyntaxParserNotifyStarted ? 1 : 0;
      if (project->browserControl) BrackenrowUpdateItem(node->INDEX, project->browserControl);
      (void)descriptor;
      break;
    }
    case kSyntaxParserNotifyReleased:
      // The driver is inside its own release: it is freed later.
      project->finishedParser = project->parser;
      project->parser = nullptr;
      project->compileWindow = false;
      if (project->fileSystem) project->fileSystem->Save();
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------

void TProject::AddFolderItems(const FSRef& folder, Boolean copy) {
  Str255 path = PathOf(folder);
  if (path.empty()) return;
  std::error_code error;
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(path.str(), error)) {
    std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] != '.') entries.push_back(entry.path().string());
  }
  if (error) return;  // a folder that cannot be listed adds nothing
  std::sort(entries.begin(), entries.end());
  AddFolder(FSGetDisplayName(folder));
  for (const std::string& entry : entries) {
    FSRef ref;
    if (FSGetPathRef(Str255(entry), ref)) AddFile(ref, copy);
  }
}

void TProject::SaveAll() {
  for (TProjectGroup* group : groups) group->Save(bundle);
  if (projectPreferences) projectPreferences->Synchronize();
  if (fileSystem) fileSystem->Save();
}

void TProject::Release() {
  releasing = true;
  // A compile still under way must not report into a freed project.
  if (parser) {
    TSyntaxParser* running = parser;
    parser = nullptr;
    running->destination.notification = nullptr;
    running->Terminate();
    running->Free();
  }
  if (finishedParser) {
    finishedParser->Free();
    finishedParser = nullptr;
  }
  uploads.clear();
  transfers.clear();
  for (TProjectDocument* document : documents) document->project = nullptr;
  documents.clear();
  SaveAll();
  if (fileSystem) {
    fileSystem->Release();
    fileSystem = nullptr;
  }
  for (TProjectGroup* group : groups) delete group;
  groups.clear();
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

TProject* CreateProjectPane(const FSRef& bundle, IBNibRef nib) {
  auto* project = new TProject();
  project->bundle = bundle;
  if (nib) {
    project->Create("Project Pane", nib);
    project->SetClassString("TProject");
    if (project->paneView) {
      HIViewRef browser = nullptr;
      if (HIViewFindByID(project->paneView, HIViewID{'BROW', 128}, &browser) == noErr)
        project->browserControl = browser;
    }
  }
  project->groups = {
      new TProjectGroup("sources.plist", "Sources", kProjectSourceType, 'pFLD', project),
      new TProjectGroup("resources.plist", "Resources", kProjectResourceType, 'pRSC', project),
      new TProjectGroup("snippets.plist", "Snippets", kProjectSnippetType, 'pSNP', project),
      new TProjectGroup("bookmarks.plist", "Bookmarks", kProjectBookmarkType, 'pBOK', project),
      new TProjectGroup("commands.plist", "Commands", kProjectCommandType, 'pCMD', project),
  };
  FSRef folder;
  if (FSGetSubFolder(bundle, kProjectPreferencesFolder, folder) == noErr) {
    project->fileSystem =
        CreateFileSystem(folder, AppResources ? AppResources->SyntaxCollection : nullptr, nullptr);
    if (project->fileSystem) project->fileSystem->SetRoot(FSGetParent(bundle));
  }
  Err = project->SetDefaultPreferences();
  OSStatus status = Err;
  for (TProjectGroup* group : project->groups) group->Load(bundle);
  Err = status;
  return project;
}
