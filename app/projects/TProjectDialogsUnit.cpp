#include "TProjectDialogsUnit.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "Appearance.h"
#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "CFString.h"
#include "CFURL.h"
#include "HIView.h"
#include "Icons.h"
#include "LSInfo.h"
#include "LaunchServices.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "ProjectRecords.h"
#include "TApplicationUnit.h"
#include "TFileSystemUnit.h"
#include "TGroupBrowserUnit.h"
#include "TNewProjectUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserUnit.h"
#include "TWASTEViewUnit.h"
#include "UTType.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

const char kNewFileWindowName[] = "New File";
const char kCompileWindowName[] = "Compiling";
const char kRenameItemWindowName[] = "Rename Item";
const char kRenameFileItemWindowName[] = "Rename Item (Files)";
const char kProjectEditorWindowName[] = "MainWindow";
const char kProjectNewFileLocationKey[] = "ProjectNewFileLocation";
const char kNewFileInvalidLocationMessage[] = "The location is not valid.";
const char kNewFileErrorMessageStart[] = "There was a file system error ";
const char kNewFileErrorMessageEnd[] = " while creating the new file";

namespace {

const char kRenameNameUnusableMessage[] = "The name holds characters a project item cannot keep.";
const char kBookmarkAddressRefusedMessage[] =
    "The bookmark keeps its old address: the new one is too long or holds characters a bookmark cannot keep.";

constexpr OSType kFourQuestionMarks = 0x3F3F3F3F;

// Controls of the sheets.
constexpr HIViewID kNameFieldID{'NAME', 128};
constexpr HIViewID kPathFieldID{'PATH', 128};
constexpr HIViewID kTemplatePopupID{'TEMP', 128};
constexpr HIViewID kProgressID{'PROG', 128};
constexpr HIViewID kStatusID{'STAT', 128};
constexpr HIViewID kSnippetTextID{'WAST', 128};
constexpr HIViewID kBookmarkTitleID{'PREF', 128};
constexpr HIViewID kBookmarkURLID{'PREF', 129};
constexpr HIViewID kBookmarkInsideID{'PREF', 130};
constexpr HIViewID kBookmarkApplicationID{'PREF', 131};
constexpr HIViewID kBookmarkDoneID{'DONE', 128};

ControlRef Find(WindowRef window, HIViewID id) {
  return window != nullptr ? HIViewFind(id.id, id.signature, window) : nullptr;
}

// The application's main interface file; its own reference when no
// application has loaded one.
// One of the application's interface files; opened here when the
// application's resources have none.
IBNibRef ResourceNib(IBNibRef loaded, const char* name, IBNibRef& own) {
  if (loaded != nullptr) return loaded;
  if (own == nullptr) Err = CreateNibReference(CFSTR(name), &own);
  return own;
}

// The editor as a sheet of parent, from the window "MainWindow" of its
// interface file; nil (and the object gone) when the file has none.
template <typename Editor>
Editor* OpenEditorSheet(Editor* editor, WindowRef parent, IBNibRef nib) {
  editor->SetParent(parent);
  editor->Create(kProjectEditorWindowName, nib);
  if (editor->window != nullptr) return editor;
  editor->Free();
  return nullptr;
}

std::string UTF8(CFStringRef string) {
  if (string == nullptr) return {};
  const CFIndex length = CFStringGetLength(string);
  const CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!CFStringGetCString(string, bytes.data(), size, kCFStringEncodingUTF8)) return {};
  bytes.resize(std::strlen(bytes.c_str()));
  return bytes;
}

CFStringRef CopyText(ControlRef control) { return control != nullptr ? HIViewCopyText(control) : nullptr; }

void SetText(ControlRef control, const std::string& utf8) {
  if (control == nullptr) return;
  CFStringRef text = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
  if (text == nullptr) return;
  Err = HIViewSetText(control, text);
  CFRelease(text);
}

void SetPascalText(ControlRef control, const Str255& value) {
  if (control == nullptr) return;
  CFStringRef text = CFStringCreateWithPascalString(nullptr, value.data(), kCFStringEncodingMacRoman);
  if (text == nullptr) return;
  Err = HIViewSetText(control, text);
  CFRelease(text);
}

// The field's text as Mac Roman, whole: false when it holds a character
// that Mac Roman lacks or more than limit characters (a cut address or a
// blanked name would be another one).
Boolean FieldText(ControlRef control, CFIndex limit, Str255& value) {
  value = Str255();
  CFStringRef text = CopyText(control);
  if (text == nullptr) return true;
  const CFIndex length = CFStringGetLength(text);
  if (length <= limit) value = CFStringToPascal(text);
  CFRelease(text);
  return length <= limit && value.len() == length;
}

// The item's POSIX path as UTF-8 (Linux paths are not held to 255 bytes of
// Mac Roman); empty on failure.
std::string PathOf(const FSRef& ref) {
  UInt8 buffer[PATH_MAX];
  if (FSRefMakePath(&ref, buffer, sizeof buffer) != noErr) return {};
  return reinterpret_cast<const char*>(buffer);
}

Boolean RefOfPath(const std::string& path, FSRef& ref) {
  ref = FSRef{};
  return !path.empty() && FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr) == noErr;
}

void SetFinderCodes(const FSRef& file, OSType type, OSType creator) {
  FSCatalogInfo info{};
  if (FSGetCatalogInfo(&file, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr) != noErr) return;
  FileInfo finder;
  std::memcpy(&finder, info.finderInfo, sizeof finder);
  finder.fileType = type;
  finder.fileCreator = creator;
  std::memcpy(info.finderInfo, &finder, sizeof finder);
  Err = FSSetCatalogInfo(&file, kFSCatInfoFinderInfo, &info);
}

// --- The template menu ------------------------------------------------------

struct TemplateWalk {
  MenuRef menu;
  std::string root;  // the walked folder's path + "/"
};

void AddTemplateItem(const FSRef& item, Boolean isFolder, Boolean&, void* data) {
  auto* walk = static_cast<TemplateWalk*>(data);
  const std::string path = PathOf(item);
  // Hidden items and whatever lies inside hidden folders are no templates.
  if (path.compare(0, walk->root.size(), walk->root) != 0) return;
  const std::string relative = path.substr(walk->root.size());
  if (relative.empty() || relative[0] == '.' || relative.find("/.") != std::string::npos) return;
  CFStringRef name = nullptr;
  if (LSCopyDisplayNameForRef(&item, &name) != noErr || name == nullptr) return;
  MenuItemIndex index = 0;
  Err = AppendMenuItemTextWithCFString(walk->menu, name, isFolder ? MenuItemAttributes(kMenuItemAttrSectionHeader) : MenuItemAttributes(0), 0, &index);
  CFRelease(name);
  if (index == 0) return;
  // A folder is a heading, not a choice: only files carry their reference.
  if (!isFolder) {
    SetMenuItemIndent(walk->menu, index, 1);
    SetMenuItemProperty(walk->menu, index, ApplicationSignature, kNewFileTemplateRefTag, sizeof item, &item);
  }
}

void WalkTemplates(MenuRef menu, const FSRef& folder) {
  TemplateWalk walk{menu, PathOf(folder) + "/"};
  Err = FSIterateContainer(folder, AddTemplateItem, &walk);
}

}  // namespace

// ---------------------------------------------------------------------------
// New-file sheet

TNewFileWindow* OpenNewFileWindow(const FSRef& bundle, TPreferenceHandler* prefs, WindowRef parent) {
  auto* sheet = new TNewFileWindow();
  sheet->bundle = bundle;
  sheet->SetPreferences(prefs);
  sheet->SetParent(parent);
  sheet->SetOptions(kTWindowOptionsAutoManagePreferences);
  sheet->Create(kNewFileWindowName, ProjectInterfaceFile());
  if (sheet->window == nullptr) {
    sheet->Free();
    return nullptr;
  }
  sheet->SetClassString("TNewFileWindow");
  if (prefs == nullptr || !prefs->ContainsValue(kProjectNewFileLocationKey)) {
    const std::string folder = PathOf(FSGetParent(bundle));
    if (!folder.empty()) SetText(Find(sheet->window, kPathFieldID), folder + "/Sources");
  }
  sheet->PopulateTemplateMenu();
  sheet->Show();
  return sheet;
}

void TNewFileWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kHICommandTWindowSave:
      result = noErr;
      if (CreateFile() == noErr) Remove();  // the object is gone
      return;
    case kNewFileChooseCommand:
      result = noErr;
      ChooseFolder();
      return;
    case kProjectDialogCancelCommand:
      result = noErr;
      Remove();
      return;
  }
  TWindow::ProcessCommand(command, event, result);
}

SInt32 TNewFileWindow::CreateFile() {
  CFStringRef path = CopyText(Find(window, kPathFieldID));
  FSRef folder{};
  const Boolean located = RefOfPath(UTF8(path), folder) && FSIsFolder(folder);
  if (path != nullptr) CFRelease(path);
  if (!located) {
    // The sheet stays with what the user typed: nothing was made.
    UserNotificationDialog(kNewFileInvalidLocationMessage);
    return dirNFErr;
  }
  CFStringRef name = CopyText(Find(window, kNameFieldID));
  if (name == nullptr) name = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);

  FSRef templateRef{};
  ControlRef popup = Find(window, kTemplatePopupID);
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  const MenuItemIndex chosen = popup != nullptr ? MenuItemIndex(GetControl32BitValue(popup)) : 0;
  ByteCount size = 0;
  const Boolean hasTemplate =
      menu != nullptr && chosen > 0 &&
      GetMenuItemProperty(menu, chosen, ApplicationSignature, kNewFileTemplateRefTag, sizeof templateRef, &size,
                          &templateRef) == noErr &&
      size == sizeof templateRef;

  FSRef file{};
  OSStatus status = noErr;
  if (CFStringGetLength(name) == 0) {
    status = bdNamErr;
  } else if (hasTemplate) {
    status = FSCopyObjectSync(&templateRef, &folder, name, &file, 0);
    if (status == noErr) {
      SetFinderCodes(file, 'TEXT', ApplicationSignature);
      LSSetExtensionHiddenForRef(&file, false);
    }
  } else {
    // A file of that name is never taken over as the "new" one.
    FSRef existing{};
    std::u16string characters(static_cast<size_t>(CFStringGetLength(name)), u'\0');
    CFStringGetCharacters(name, CFRangeMake(0, CFIndex(characters.size())),
                          reinterpret_cast<UniChar*>(characters.data()));
    if (FSMakeFSRefUnicode(&folder, UniCharCount(characters.size()), reinterpret_cast<const UniChar*>(characters.data()),
                           kTextEncodingUnicodeDefault, &existing) == noErr)
      status = dupFNErr;
    else
      status = FSCreateFile(name, folder, 'TEXT', ApplicationSignature, file);
  }
  CFRelease(name);
  if (status == noErr) {
    AddFile(file);
  } else {
    UserNotificationDialog(Str255(kNewFileErrorMessageStart) + NStr(status) + Str255(kNewFileErrorMessageEnd));
  }
  return status;
}

void TNewFileWindow::ChooseFolder() {
  auto* dialog = new TChooseFilePathDialog();
  dialog->window = this;
  dialog->SetParent(window);
  dialog->ChooseFolderDialog();  // frees itself when it ends
}

void TNewFileWindow::PopulateTemplateMenu() {
  ControlRef popup = Find(window, kTemplatePopupID);
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  if (menu == nullptr) return;
  FSRef templates{};
  const FSRef projectFolder = FSGetParent(bundle);
  if (FSValidFSRef(projectFolder) && FSGetSubFolder(projectFolder, "Templates", templates) == noErr &&
      FSIsFolder(templates)) {
    Err = AppendMenuItemTextWithCFString(menu, CFSTR("Project"), kMenuItemAttrSectionHeader, 0, nullptr);
    WalkTemplates(menu, templates);
  }
  FSRef application{};
  if (FSGetResourceFile("New File", "Templates", application) == noErr && FSIsFolder(application))
    WalkTemplates(menu, application);
  SetControl32BitMaximum(popup, CountMenuItems(menu));
}

void TNewFileWindow::AddFile(const FSRef& ref) {
  if (parent == nullptr) return;
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  if (event == nullptr) return;
  HICommand command{};
  command.commandID = kNewFileAddCommand;
  Err = SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  Err = SetEventParameter(event, 'FREF', typeFSRef, sizeof ref, &ref);
  Err = SendEventToEventTarget(event, GetWindowEventTarget(parent));
  ReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// Snippets

Ptr GetSnippetText(Ptr payload) {
  const CFIndex size = payload != nullptr ? CFIndex(GetPtrSize(payload)) : 0;
  const std::u16string text = SnippetGetUnicodeText(payload, size);
  Ptr block = NewPtr(Size(text.size() * 2));
  if (block != nullptr && !text.empty()) std::memcpy(block, text.data(), text.size() * 2);
  return block;
}

Str63 GetSnippetName(Ptr payload) {
  return SnippetGetName(payload, payload != nullptr ? CFIndex(GetPtrSize(payload)) : 0);
}

Ptr CreateSnippetData(const Str63& name, Ptr text) {
  std::u16string characters;
  if (text != nullptr) {
    characters.resize(GetPtrSize(text) / 2);
    if (!characters.empty()) std::memcpy(characters.data(), text, characters.size() * 2);
  }
  const std::string data = SnippetCreateData(name.view(), characters);
  Ptr block = NewPtr(Size(data.size()));
  if (block != nullptr) std::memcpy(block, data.data(), data.size());
  return block;
}

void TSnippetEditor::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  if (window == nullptr) return;
  SetClassString("TSnippetEditor");
  nameField = Find(window, kNameFieldID);
  if (ControlRef text = Find(window, kSnippetTextID)) {
    textView = new TWASTEView();
    textView->options = WasteOption(kWasteViewDrawFrame) | WasteOption(kWasteViewMatchPastedStyles);
    textView->viewWindow = window;
    textView->Create(text);
  }
  Ptr payload = node != nullptr ? static_cast<Ptr>(node->DATA) : nullptr;
  if (textView != nullptr && payload != nullptr) {
    Ptr characters = GetSnippetText(payload);
    if (characters != nullptr) {
      CFStringRef string = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(characters),
                                                        CFIndex(GetPtrSize(characters) / 2));
      if (string != nullptr) {
        textView->SetText(string);
        CFRelease(string);
      }
      DisposePtr(characters);
    }
  }
  if (payload != nullptr) SetPascalText(nameField, GetSnippetName(payload));
  Show();
}

void TSnippetEditor::Close(SInt32& status) {
  if (node != nullptr && window != nullptr) {
    Ptr text = textView != nullptr ? textView->CopyText('utxt') : nullptr;
    // Names are cut to their 63 characters; one the record cannot hold at
    // all leaves the old name.
    Str255 typed;
    Str63 name = GetSnippetName(static_cast<Ptr>(node->DATA));
    if (FieldText(nameField, 255, typed) && !typed.empty()) name = Str63(typed);
    Ptr payload = CreateSnippetData(name, text);
    if (text != nullptr) DisposePtr(text);
    if (payload != nullptr) {
      if (node->DATA != nullptr) DisposePtr(static_cast<Ptr>(node->DATA));
      node->DATA = payload;
      node->DATALENGTH = SInt32(GetPtrSize(payload));
    }
  }
  TWindow::Close(status);
}

TSnippetEditor* OpenSnippetEditor(NodeInfoPtr node, WindowRef parent) {
  static IBNibRef own = nullptr;
  auto* editor = new TSnippetEditor();
  editor->node = node;
  return OpenEditorSheet(editor, parent,
                         ResourceNib(AppResources ? AppResources->SnippetEditorNib : nullptr, "SnippetEditor", own));
}

// ---------------------------------------------------------------------------
// Bookmarks

void TBookmarkEditor::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  if (window == nullptr) return;
  SetClassString("TBookmarkEditor");
  ProjectBookmarkData data;
  if (bookmark != nullptr) data = DecodeProjectBookmarkData(bookmark, length);
  SetPascalText(Find(window, kBookmarkTitleID), data.name);
  SetPascalText(Find(window, kBookmarkURLID), data.url);
  if (ControlRef inside = Find(window, kBookmarkInsideID)) SetControl32BitValue(inside, data.openInside ? 1 : 0);
  if (ControlRef popup = Find(window, kBookmarkApplicationID)) {
    MenuRef menu = HIViewGetMenu(popup);
    PopulatePreviewApplicationMenu(menu, popup, FSRef{});
    // The record names its browser by desktop-file id: mark the item of that
    // application.
    for (MenuItemIndex item = 1; menu != nullptr && !data.application.empty() && item <= CountMenuItems(menu);
         ++item) {
      const FSRef application = GetPreviewApplicationMenuFileRef(menu, item);
      CFStringRef id = nullptr;
      if (LSCopyApplicationDesktopID(&application, &id) != noErr || id == nullptr) continue;
      const Boolean same = UTF8(id) == data.application;
      CFRelease(id);
      if (same) {
        ToggleMenuItem(item, menu);
        SetControl32BitValue(popup, item);
        break;
      }
    }
  }
  HICustomButtonCreate(kCustomButtonClassRoundCorner, Find(window, kBookmarkDoneID));
  Show();
}

void TBookmarkEditor::Close(SInt32& status) {
  // The whole record is written back: a payload without room for it is left
  // alone.
  if (bookmark != nullptr && window != nullptr && length >= kProjectBookmarkDataSize) {
    ProjectBookmarkData data = DecodeProjectBookmarkData(bookmark, length);
    Str255 text;
    if (FieldText(Find(window, kBookmarkTitleID), 255, text)) data.name = Str63(text);
    if (FieldText(Find(window, kBookmarkURLID), 255, text))
      data.url = text;
    else
      UserNotificationDialog(kBookmarkAddressRefusedMessage);
    if (ControlRef inside = Find(window, kBookmarkInsideID)) data.openInside = GetControl32BitValue(inside) != 0;
    if (ControlRef popup = Find(window, kBookmarkApplicationID)) {
      const FSRef application =
          GetPreviewApplicationMenuFileRef(HIViewGetMenu(popup), MenuItemIndex(GetControl32BitValue(popup)));
      CFStringRef id = nullptr;
      if (FSValidFSRef(application) && LSCopyApplicationDesktopID(&application, &id) == noErr && id != nullptr) {
        data.application = UTF8(id);
        CFRelease(id);
      }
    }
    UInt8 bytes[kProjectBookmarkDataSize];
    EncodeProjectBookmarkData(data, bytes);
    std::memcpy(bookmark, bytes, sizeof bytes);
  }
  TWindow::Close(status);
}

TBookmarkEditor* OpenBookmarkEditor(UInt8* bookmark, WindowRef parent, CFIndex length) {
  static IBNibRef own = nullptr;
  auto* editor = new TBookmarkEditor();
  editor->bookmark = bookmark;
  editor->length = bookmark != nullptr ? std::max<CFIndex>(length, 0) : 0;
  return OpenEditorSheet(editor, parent,
                         ResourceNib(AppResources ? AppResources->BookmarkEditorNib : nullptr, "BookmarkEditor", own));
}

// ---------------------------------------------------------------------------
// Compile window

TCompileWindow* OpenCompileWindow(TSyntaxParser* parser, SInt16 total) {
  auto* progress = new TCompileWindow();
  progress->parser = parser;
  progress->total = total;
  progress->Create(kCompileWindowName, ProjectInterfaceFile());
  if (progress->window == nullptr) {
    progress->Free();
    return nullptr;
  }
  progress->SetClassString("TCompileWindow");
  if (ControlRef bar = Find(progress->window, kProgressID)) SetControl32BitMaximum(bar, total);
  SetThemeCursor(kThemeArrowCursor);
  return progress;
}

void TCompileWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  if (command.commandID == kProjectDialogCancelCommand) {
    result = noErr;
    if (parser != nullptr) parser->Terminate();
    return;
  }
  TWindow::ProcessCommand(command, event, result);
}

void TCompileWindow::Update(FileDescriptor* file, CFRange) {
  if (file == nullptr || file->fileName == fileName) return;
  ++count;
  if (ControlRef bar = Find(window, kProgressID)) SetControl32BitValue(bar, count);
  SetPascalText(Find(window, kStatusID), Str255("Compiling ") + file->fileName + Str255(" (") + NStr(count) +
                                             Str255(" of ") + NStr(total) + Str255(")"));
  fileName = file->fileName;
  if (window != nullptr && !IsWindowVisible(window)) Show();
}

// ---------------------------------------------------------------------------
// Rename sheet

void TRenameItem::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kProjectDialogCancelCommand:
      result = noErr;
      Remove();
      return;
    case kProjectDialogOKCommand: {
      result = noErr;
      // Items keep their names as short strings: a name that does not fit
      // is refused, never cut, and the sheet stays for another try.
      ControlRef field = nameField != nullptr ? nameField : Find(window, kNameFieldID);
      Str255 converted;
      if (!FieldText(field, 255, converted)) {
        UserNotificationDialog(kRenameNameUnusableMessage);
        return;
      }
      if (converted.empty()) return;
      if (converted.len() > 63) {
        UserNotificationDialog(kProjectNameTooLongMessage);
        return;
      }
      const Str63 name(converted);
      if (type == kGroupBrowserFolderType) {
        if (browser != nullptr) browser->RenameFolder(name, data);
      } else if (group != nullptr) {
        group->RenameItem(data, name, this);
      }
      Remove();
      return;
    }
  }
  TWindow::ProcessCommand(command, event, result);
}

// ---------------------------------------------------------------------------
// Add-files dialog

void TAddFilesDialog::HandleSingleResult(const FSRef& file) {
  if (project != nullptr) project->AddFile(file, false);
}

// ---------------------------------------------------------------------------
// Routines

SInt32 GetProjectResourceFile(const FSRef& bundle, const Str63& name, FSRef& ref) {
  ref = FSRef{};
  FSRef folder{};
  if (FSGetSubFolder(bundle, "Contents/Resources/Data", folder) != noErr || !FSIsFolder(folder)) return fnfErr;
  CFStringRef fileName = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  if (fileName == nullptr) return bdNamErr;
  const OSStatus status = FSCreateFile(fileName, folder, 'TEXT', kFourQuestionMarks, ref);
  CFRelease(fileName);
  return status;
}

OSType GetDocumentType(const FSRef& file) {
  OSType type = kFourQuestionMarks;
  if (!GetSupportedFileLanguage(FSGetDisplayName(file)).empty()) type = kProjectSourceType;
  LSItemInfoRecord info{};
  if (LSCopyItemInfoForRef(&file, kLSRequestExtension, &info) != noErr || info.extension == nullptr) return type;
  CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, info.extension, nullptr);
  CFRelease(info.extension);
  if (uti == nullptr) return type;
  // Each later match wins: an image that is also text is a resource.
  if (UTTypeConformsTo(uti, CFSTR("public.text"))) type = kProjectSourceType;
  if (UTTypeConformsTo(uti, CFSTR("public.image"))) type = kProjectResourceType;
  for (const char* resource : {"com.adobe.pdf", "com.apple.webarchive", "public.url"})
    if (UTTypeEqual(uti, CFSTR(resource))) type = kProjectResourceType;
  CFRelease(uti);
  return type;
}

MenuRef CreateOpenWithMenu(const FSRef& file) {
  MenuRef menu = nullptr;
  Err = CreateNewMenu(kOpenWithMenuID, 0, &menu);
  if (menu == nullptr) return nullptr;
  SetContextualMenuFont(menu);
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  CFArrayRef applications = url != nullptr ? LSCopyApplicationURLsForURL(url, kLSRolesViewer | kLSRolesEditor) : nullptr;
  if (url != nullptr) CFRelease(url);
  for (CFIndex i = 0, n = applications != nullptr ? CFArrayGetCount(applications) : 0; i < n; ++i) {
    auto application = static_cast<CFURLRef>(CFArrayGetValueAtIndex(applications, i));
    FSRef ref{};
    if (!CFURLGetFSRef(application, &ref)) continue;
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForURL(application, &name) != noErr || name == nullptr)
      name = CFURLCopyLastPathComponent(application);
    MenuItemIndex item = 0;
    Err = AppendMenuItemTextWithCFString(menu, name != nullptr ? name : CFSTR(""), 0, kOpenWithCommand, &item);
    if (name != nullptr) CFRelease(name);
    if (item == 0) continue;
    // The browser reads the application under 'appR': one tag for writer and reader.
    SetMenuItemProperty(menu, item, kProjectDialogsCreator, kOpenWithApplicationTag, sizeof ref, &ref);
    SetMenuItemProperty(menu, item, kProjectDialogsCreator, kOpenWithDocumentTag, sizeof file, &file);
    IconRef icon = nullptr;
    if (GetIconRefFromFileInfo(&ref, 0, nullptr, 0, nullptr, 0, &icon, nullptr) == noErr && icon != nullptr) {
      SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
      ReleaseIconRef(icon);
    }
  }
  if (applications != nullptr) CFRelease(applications);
  return menu;
}
