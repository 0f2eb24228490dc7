// The file information window and its list of script arguments.
#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "HITheme.h"
#include "HIView.h"
#include "LSInfo.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "ProjectRecords.h"
#include "TDemoApplicationUnit.h"
#include "TFileInfoUnit.h"
#include "TPaneUnit.h"
#include "TProjectInfoUnit.h"
#include "TUserPathsBrowserUnit.h"
#include "UTType.h"
#include "brackenrow/Brackenrow.h"

namespace {

TFileInfo* gFileInfo = nullptr;  // at most one file information window

// A stored (Mac Roman) short string as UTF-8.
std::string UTF8(ConstStringPtr text) {
  CFStringRef string = CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
  if (string == nullptr) return {};
  std::string out(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8)) + 1, '\0');
  CFStringGetCString(string, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8);
  CFRelease(string);
  out.resize(std::strlen(out.c_str()));
  return out;
}

CFStringRef CreateUTF8String(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

// The file's kind as people read it ("PHP script"); nil when none is known.
CFStringRef CopyKindString(const FSRef& file) {
  LSItemInfoRecord info{};
  if (LSCopyItemInfoForRef(&file, kLSRequestExtension, &info) != noErr || info.extension == nullptr) return nullptr;
  CFStringRef type = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, info.extension, nullptr);
  CFRelease(info.extension);
  if (type == nullptr) return nullptr;
  CFStringRef kind = UTTypeCopyDescription(type);
  CFRelease(type);
  return kind;
}

// Every user path the project and the application offer, as templates.
CFArrayRef CopyPathTemplates(TPreferenceHandler* project) {
  CFMutableArrayRef all = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (TPreferenceHandler* prefs : {project, AppPrefs}) {
    if (CFArrayRef list = prefs != nullptr ? SerializeUserPaths("UserPaths", prefs) : nullptr) {
      CFArrayAppendArray(all, list, CFRange{0, CFArrayGetCount(list)});
      CFRelease(list);
    }
  }
  return all;
}

}  // namespace

namespace {

ScriptArgumentInfo RowRecord(const void* data) {
  if (data == nullptr) return ScriptArgumentInfo();
  const Size size = GetPtrSize(static_cast<Ptr>(const_cast<void*>(data)));
  return DecodeScriptArgumentInfo(static_cast<const UInt8*>(data), size > 0 ? CFIndex(size) : kScriptArgumentInfoSize);
}

// Rows hold the whole record: written back in place.
void StoreRowRecord(void* data, const ScriptArgumentInfo& info) {
  if (data == nullptr || GetPtrSize(static_cast<Ptr>(data)) < kScriptArgumentInfoSize) return;
  UInt8 bytes[kScriptArgumentInfoSize];
  EncodeScriptArgumentInfo(info, bytes);
  std::memcpy(data, bytes, sizeof bytes);
}

}  // namespace

void TArgumentBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property,
                                   DataBrowserItemDataRef itemData) {
  const ScriptArgumentInfo info = RowRecord(data);
  switch (property) {
    case 'ACTV':
      Err = SetDataBrowserItemDataButtonValue(itemData, info.active ? kThemeButtonOn : kThemeButtonOff);
      break;
    case 'NAME':
    case 'VALU': {
      CFStringRef text =
          CFStringCreateWithPascalString(nullptr, property == 'NAME' ? info.name.data() : info.value.data(),
                                         kCFStringEncodingMacRoman);
      if (text != nullptr) {
        Err = SetDataBrowserItemDataText(itemData, text);
        CFRelease(text);
      }
      break;
    }
    default:
      break;
  }
}

void TArgumentBrowser::SetItemText(void* data, DataBrowserItemID, DataBrowserPropertyID property, CFStringRef text) {
  if (property != 'NAME' && property != 'VALU') return;
  ScriptArgumentInfo info = RowRecord(data);
  const Str63 value(CFStringToPascal(text));  // cut to 63 characters
  (property == 'NAME' ? info.name : info.value) = value;
  StoreRowRecord(data, info);
}

void TArgumentBrowser::SetItemCheckbox(void* data, DataBrowserItemID, DataBrowserPropertyID property, Boolean value) {
  if (property != 'ACTV') return;
  ScriptArgumentInfo info = RowRecord(data);
  info.active = value;
  StoreRowRecord(data, info);
}

// ---------------------------------------------------------------------------
// Locations and sizes

std::string GetFileUploadURL(const FTPServerInfo& server, const Str255& directory, const Str63& name) {
  // The folder is taken inside the root folder whatever slashes it was
  // typed with.
  std::string folder = UTF8(directory.data());
  while (!folder.empty() && folder.front() == '/') folder.erase(folder.begin());
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::string path = folder.empty() ? UTF8(name.data()) : folder + "/" + UTF8(name.data());
  return GetFTPServerURL(server, path);
}

Str255 GetFileSizeString(UInt64 bytes) {
  if (bytes < 1024) return Str255(std::to_string(bytes) + "b");
  const UInt64 kilobytes = bytes / 1024;
  if (kilobytes > 1024) return Str255(std::to_string(kilobytes / 1024) + "M");
  return Str255(std::to_string(kilobytes) + "k");
}

// ---------------------------------------------------------------------------
// The window

void TFileInfo::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TPreferenceWindow::ProcessCommand(command, event, result);
  if (command.commandID == kHICommandTWindowClose) return;  // the window is gone, and this object
  TArgumentBrowser* list = TBrowser::IsLive(arguments) ? arguments : nullptr;
  TUserPathsBrowser* paths = TBrowser::IsLive(previewPaths) ? previewPaths : nullptr;
  switch (command.commandID) {
    case '+ARG': {
      if (list == nullptr) return;
      UInt8 bytes[kScriptArgumentInfoSize];
      EncodeScriptArgumentInfo(NewScriptArgumentInfo(), bytes);
      Ptr record = NewPtr(kScriptArgumentInfoSize);
      if (record == nullptr) return;
      std::memcpy(record, bytes, sizeof bytes);
      list->WriteLn(record);
      break;
    }
    case '-ARG':
      if (list == nullptr) return;
      BrackenrowClearSelection(true, list->VIEW);
      break;
    case '+PAT':
      if (paths == nullptr) return;
      paths->AddEmptyPath();
      break;
    case '-PAT':
      if (paths == nullptr) return;
      BrackenrowClearSelection(true, paths->VIEW);
      break;
    default:
      return;
  }
  result = noErr;
}

void TFileInfo::Release() {
  if (gFileInfo == this) gFileInfo = nullptr;
  // The pane shown stores into the entry (its lists too) as the window goes;
  // the entry goes after it, written into the project's preferences.
  TPreferenceHandlerDictionary* own = entry;
  entry = nullptr;
  TPreferenceWindow::Release();  // frees the object
  if (own != nullptr) {
    own->Synchronize();
    own->Release();
  }
}

void TFileInfo::SetupPane(const Str63& paneName, TPane* pane) {
  if (paneName == "FTP") {
    if (HIViewRef servers = FindPaneView(pane, 'SERV', 128)) {
      EnableViewInputTracking(servers);
      CreateServerMenu(servers, Str63(entry != nullptr ? entry->GetStringValue(kFileInfoServer) : Str255()));
    }
  } else if (paneName == "Preview") {
    previewPaths = nullptr;
    if (HIViewRef list = FindPaneView(pane, 'PATH', 128)) {
      previewPaths = CreateUserPathsBrowser(list, kFileInfoPreviewPaths, entry);
      previewPaths->BaseFile = base;
      previewPaths->SetPathOptions(kUserPathAllOptions);
    }
    MakeListButton(pane, '+PAT', 'GADD');
    MakeListButton(pane, '-PAT', 'GREM');
  } else if (paneName == "Script") {
    arguments = nullptr;
    if (HIViewRef list = FindPaneView(pane, 'ARGU', 128)) {
      arguments = new TArgumentBrowser();
      arguments->SetPreferences(entry, kFileInfoArguments);
      arguments->SetOptions(kBrackenrowKeyboardRemove | kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
      arguments->Create(list);
      arguments->Populate();
    }
    MakeListButton(pane, '+ARG', 'GADD');
    MakeListButton(pane, '-ARG', 'GREM');
  } else if (paneName == "General") {
    if (IconRef icon = FSGetIcon(file)) {
      SetPaneIconWell(FindPaneView(pane, 'PREF', 128), icon);
      ReleaseIconRef(icon);
    }
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForRef(&file, &name) == noErr && name != nullptr) {
      SetPaneText(FindPaneView(pane, 'PREF', 129), name);
      CFRelease(name);
    }
    if (CFStringRef kind = CopyKindString(file)) {  // else the interface file's text stays
      SetPaneText(FindPaneView(pane, 'PREF', 130), kind);
      CFRelease(kind);
    }
    UInt8 path[4096] = {0};
    if (FSRefMakePath(&file, path, sizeof path) == noErr) {
      CFStringRef text = CreateUTF8String(reinterpret_cast<char*>(path));
      SetPaneText(FindPaneView(pane, 'PREF', 131), text);
      if (text != nullptr) CFRelease(text);
    }
    FSCatalogInfo catalog{};
    if (FSGetCatalogInfo(&file, kFSCatInfoDataSizes, &catalog, nullptr, nullptr, nullptr) == noErr)
      SetPaneText(FindPaneView(pane, 'PREF', 132), CFSTR(GetFileSizeString(catalog.dataPhysicalSize)));
    // Where an upload puts the file; "n/a" without a known server.
    FTPServerInfo server{};
    CFStringRef location =
        entry != nullptr && GetFTPServer(Str63(entry->GetStringValue(kFileInfoServer)), server)
            ? CreateUTF8String(GetFileUploadURL(server, entry->GetStringValue(kFileInfoDirectory), FSGetActualName(file)))
            : CFStringCreateCopy(nullptr, CFSTR("n/a"));
    SetPaneText(FindPaneView(pane, 'PREF', 137), location);
    if (location != nullptr) CFRelease(location);
    if (HIViewRef templates = FindPaneView(pane, 'PATH', 128)) {
      CFArrayRef list = CopyPathTemplates(projectPreferences);
      Err = SetControlData(templates, kControlEntireControl, kHIComboBoxListTag, sizeof list, &list);
      CFRelease(list);
    }
    SetPopupItemIcons(FindPaneView(pane, 'PREF', 135), 3, {'prvD', 'prvS', 'prvL'});
    SetPopupItemIcons(FindPaneView(pane, 'PREF', 136), 3, {'exeD', 'exep', 'exeT', 'EXCS'});
  }
}

void TFileInfo::SetValue(ControlRef control, TPreferenceHandler* prefs, const Str255& key) {
  TPreferenceWindow::SetValue(control, prefs, key);
  if (key == kFileInfoArguments && TBrowser::IsLive(arguments)) arguments->Synchronize();
  if (key == kFileInfoPreviewPaths && TBrowser::IsLive(previewPaths)) previewPaths->Synchronize();
}

void TFileInfo::Load(const FSRef& inFile, TPreferenceHandler* prefs) {
  file = inFile;
  projectPreferences = prefs;
  // Project paths of this file are relative to its own project: the
  // preferences file lies in Contents/Resources/Preferences of the bundle.
  base = FSRef{};
  if (auto* projectFile = dynamic_cast<TPreferenceHandlerFile*>(prefs))
    base = FSGetParentAtIndex(projectFile->fFile, 4);
  // Seeded before the entry is opened, so that the window shows the seeds.
  SetDefaultFileInfo(file, prefs);
  TPreferenceHandlerDictionary* previous = entry;
  entry = new TPreferenceHandlerDictionary();
  entry->Create(FileInfoKey(FSGetDisplayName(file)), prefs);
  SetPreferences(entry);
  if (window != nullptr) {
    // The pane shown stores into the previous entry as it goes (its own
    // handler); the new file's values show in the Script pane.
    SelectPane(1);
  }
  if (previous != nullptr) {
    previous->Synchronize();
    previous->Release();
  }
}

TFileInfo* GetFileInfoWindow() { return gFileInfo; }

void OpenFileInfo(const FSRef& file, TPreferenceHandler* prefs) {
  if (prefs == nullptr) return;
  if (TFileInfo* open = gFileInfo) {
    if (FSCompareFSRefs(&open->file, &file) != noErr || open->projectPreferences != prefs) open->Load(file, prefs);
    if (open->window != nullptr) SelectWindow(open->window);
    return;
  }
  auto* info = new TFileInfo();
  gFileInfo = info;
  info->Load(file, prefs);
  info->SetToolbarIdentifier("file info");
  const OSType creator = ApplicationSignature;
  info->AddPane(creator, 'prfG', 'GENE', "General", "General");
  info->AddPane(creator, 'prSC', 'SCRI', "Script", "Script");
  info->AddPane(creator, 'prFT', 'FTP_', "FTP", "FTP");
  info->AddPane(creator, 'pPRV', 'PREV', "Preview", "Preview");
  info->AddPane(creator, 'pNTE', 'NOTE', "Notes", "Notes");
  info->Create("MainWindow", FileInfoInterfaceFile());
  if (info->window == nullptr) {  // no interface file: nothing to show
    info->Release();
    return;
  }
  SetWindowKind(info->window, kFileInfoWindowKind);
}

void CloseFileInfoWindow(TPreferenceHandler* projectPrefs) {
  TFileInfo* open = gFileInfo;
  if (open == nullptr || projectPrefs == nullptr || open->projectPreferences != projectPrefs) return;
  SInt32 status = 0;
  open->Close(status);
  gFileInfo = nullptr;
}
