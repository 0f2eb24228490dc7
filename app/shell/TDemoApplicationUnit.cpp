#include "TDemoApplicationUnit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "Folders.h"
#include "Icons.h"
#include "PascalCarbonCommon.h"
#include "TCodeSenseLibraryUnit.h"
#include "TFileSystemUnit.h"
#include "LSInfo.h"
#include "TPreferencesUnit.h"
#include "TPropertyListUnit.h"
#include "TSymbolPaneUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TWindowUnit.h"
#include "WASTE.h"

Boolean LeopardGUI = false;
TDemoApplication* MyApplication = nullptr;

namespace {

constexpr const char* kApplicationImages = "Images/Application Images";
constexpr const char* kPreferenceImages = "Images/Preference Images";
constexpr const char* kSymbolicImages = "Images/Symbolic Images";

const ApplicationIconInfo kApplicationIcons[] = {
    {kQuorvelCreator, 'APPL', "", "app.icns"},
    {kQuorvelCreator, 'PROJ', "", "project.icns"},
    {kQuorvelCreator, 'prfG', kPreferenceImages, "General.icns"},
    {kQuorvelCreator, 'prfS', kPreferenceImages, "Styles.icns"},
    {kQuorvelCreator, 'prfP', kPreferenceImages, "Paths.icns"},
    {kQuorvelCreator, 'prfT', kPreferenceImages, "File Types.icns"},
    {kQuorvelCreator, 'prFT', kPreferenceImages, "Connect.icns"},
    {kQuorvelCreator, 'prSC', kPreferenceImages, "Network.icns"},
    {kQuorvelCreator, 'prSV', kApplicationImages, "Web Server.icns"},
    {kQuorvelCreator, 'pfIM', kApplicationImages, "Gear (Alt 2).icns"},
    {kQuorvelCreator, 'pPRV', kApplicationImages, "Preview.icns"},
    {kQuorvelCreator, 'pTRM', kApplicationImages, "Terminal.icns"},
    {kQuorvelCreator, 'fiPF', kApplicationImages, "Import.icns"},
    {kQuorvelCreator, 'fiSA', kApplicationImages, "Checkmark.icns"},
    {kQuorvelCreator, 'fiFT', kApplicationImages, "Connect.icns"},
    {kQuorvelCreator, 'arr^', kApplicationImages, "Up.icns"},
    {kQuorvelCreator, 'arr\\', kApplicationImages, "Down.icns"},
    {kQuorvelCreator, 'BACK', kApplicationImages, "Backward.icns"},
    {kQuorvelCreator, 'bktb', kApplicationImages, "backwards-toolbar.icns"},
    {kQuorvelCreator, 'BAC<', kApplicationImages, "backwards-triangle.icns"},
    {kQuorvelCreator, 'FOR<', kApplicationImages, "forward-triangle.icns"},
    {kQuorvelCreator, 'aOUL', kApplicationImages, "Harddisk (Upload).icns"},
    {kQuorvelCreator, 'aDWN', kApplicationImages, "Harddisk (Download).icns"},
    {kQuorvelCreator, 'ERRu', kApplicationImages, "User Error.icns"},
    {kQuorvelCreator, 'ERRn', kApplicationImages, "Notice.icns"},
    {kQuorvelCreator, 'ERRf', kApplicationImages, "Fatal Error.icns"},
    {kQuorvelCreator, 'ERRr', kApplicationImages, "Error.icns"},
    {kQuorvelCreator, 'LCLV', kApplicationImages, "Local Variables.icns"},
    {kQuorvelCreator, '!NOT', kApplicationImages, "Cancel.icns"},
    {kQuorvelCreator, 'EDIM', kApplicationImages, "Pencil.icns"},
    {kQuorvelCreator, 'MPrj', kApplicationImages, "Harddisk.icns"},
    {kQuorvelCreator, 'MFTP', kApplicationImages, "Web Server.icns"},
    {kQuorvelCreator, 'MREF', kApplicationImages, "Book.icns"},
    {kQuorvelCreator, 'ADDF', kApplicationImages, "Add.icns"},
    {kQuorvelCreator, 'SYBR', kApplicationImages, "symbol browser.icns"},
    {kQuorvelCreator, 'REFR', kApplicationImages, "Refresh.icns"},
    {kQuorvelCreator, 'CLEA', kApplicationImages, "Junk (Full).icns"},
    {kQuorvelCreator, 'SYFL', kApplicationImages, "Chart (Alt 2).icns"},
    {kQuorvelCreator, 'prvD', kApplicationImages, "Harddisk.icns"},
    {kQuorvelCreator, 'prvS', kApplicationImages, "Web Server.icns"},
    {kQuorvelCreator, 'prvL', kApplicationImages, "Network.icns"},
    {kQuorvelCreator, 'exep', kApplicationImages, "Search.icns"},
    {kQuorvelCreator, 'exeD', kApplicationImages, "Light Bulb (On).icns"},
    {kQuorvelCreator, 'exeT', kApplicationImages, "Terminal.icns"},
    {kQuorvelCreator, 'EXCS', kApplicationImages, "Checkmark.icns"},
    {kQuorvelCreator, 'tCMP', kApplicationImages, "Gear.icns"},
    {kQuorvelCreator, 'tFND', kApplicationImages, "Search.icns"},
    {kQuorvelCreator, 'tPRV', kApplicationImages, "Preview.icns"},
    {kQuorvelCreator, 'tUPL', kApplicationImages, "Web Server.icns"},
    {kQuorvelCreator, 'tINF', kApplicationImages, "Information.icns"},
    {kQuorvelCreator, 'tRUN', kApplicationImages, "Terminal.icns"},
    {kQuorvelCreator, 'tSYM', kApplicationImages, "symbol browser.icns"},
    {kQuorvelCreator, 'tPRF', kApplicationImages, "Preferences.icns"},
    {kQuorvelCreator, 'tERR', kApplicationImages, "Warning (Alt 2).icns"},
    {kQuorvelCreator, 'pNTE', kApplicationImages, "Notepad.icns"},
    {kQuorvelCreator, 'errW', kApplicationImages, "Warning.icns"},
    {kQuorvelCreator, 'errS', kApplicationImages, "History.icns"},
    {kQuorvelCreator, 'errL', kApplicationImages, "Database.icns"},
    {kQuorvelCreator, 'errC', kApplicationImages, "Chart.icns"},
    {kQuorvelCreator, 'errT', kApplicationImages, "View.icns"},
    {kQuorvelCreator, 'MSYM', kApplicationImages, "Database.icns"},
    {kQuorvelCreator, 'Conn', kApplicationImages, "Connect.icns"},
    {kQuorvelCreator, 'FLD2', kApplicationImages, "Folder (Alt 2).icns"},
    {kQuorvelCreator, 'ADDD', kApplicationImages, "Document (Add).icns"},
    {kQuorvelCreator, 'pFLD', kApplicationImages, "Documents.icns"},
    {kQuorvelCreator, 'pRSC', kApplicationImages, "Images.icns"},
    {kQuorvelCreator, 'pBOK', kApplicationImages, "Folder (Favorites).icns"},
    {kQuorvelCreator, 'pMRK', kApplicationImages, "Event (Blue).icns"},
    {kQuorvelCreator, 'pCMD', kApplicationImages, "Gear.icns"},
    {kQuorvelCreator, 'pSNP', kApplicationImages, "Paper Clip.icns"},
    {kQuorvelCreator, 'pPAG', kApplicationImages, "Desktop.icns"},
    {kSystemIconsCreator, 'XBUT', kApplicationImages, "close button.icns"},
    {kSystemIconsCreator, 'MBMC', kApplicationImages, "Import.icns"},
    {kSystemIconsCreator, 'iSNP', kApplicationImages, "Paste.icns"},
    {kSystemIconsCreator, 'docu', kApplicationImages, "Document.icns"},
    {kSystemIconsCreator, 'fldr', kApplicationImages, "Folder.icns"},
    {kSystemIconsCreator, 'ADDF', kApplicationImages, "Folder (Add).icns"},
    {kSystemIconsCreator, 'ACTO', kApplicationImages, "Action.icns"},
    {kSystemIconsCreator, 'GADD', kApplicationImages, "Generic Add.icns"},
    {kSystemIconsCreator, 'GREM', kApplicationImages, "Generic Remove.icns"},
    {kSystemIconsCreator, 'gwin', kApplicationImages, "Window.icns"},
    {kSystemIconsCreator, 'webs', kApplicationImages, "Website.icns"},
    {kSystemIconsCreator, 'FOR<', kApplicationImages, "Forward.icns"},
    {kSystemIconsCreator, 'MSYM', kApplicationImages, "Database.icns"},
    {kSystemIconsCreator, 'pRSC', kApplicationImages, "Documents.icns"},
    {kSystemIconsCreator, 'EDIM', kApplicationImages, "Pencil.icns"},
    {kSystemIconsCreator, 'cut ', kApplicationImages, "Cut.icns"},
    {kSystemIconsCreator, 'copy', kApplicationImages, "Copy.icns"},
    {kSystemIconsCreator, 'past', kApplicationImages, "Paste.icns"},
    {kSystemIconsCreator, 'SPEL', kApplicationImages, "Spelling.icns"},
    {kSystemIconsCreator, 'sxLV', kSymbolicImages, "local.icns"},
    {kSystemIconsCreator, 'sxGV', kSymbolicImages, "global.icns"},
    {kSystemIconsCreator, 'sxCS', kSymbolicImages, "constant.icns"},
    {kSystemIconsCreator, 'sxFU', kSymbolicImages, "function.icns"},
    {kSystemIconsCreator, 'sxCL', kSymbolicImages, "class.icns"},
    {kSystemIconsCreator, 'sxMT', kSymbolicImages, "method.icns"},
};

// The libraries every editor may need, in the order they are loaded.
const char* const kLanguageLibraries[] = {"php", "perl", "html", "xml", "css", "javascript", "ruby"};

const char* const kNibNames[] = {"Preferences", "FileInfo",       "ProjectInfo",   "Find",  "MacroEditor",
                                 "BookmarkEditor", "SnippetEditor", "Pages", "CSSEditor", "Books"};

CFStringRef DomainKey(const std::string& domain, const char* name) {
  const std::string key = domain + name;
  return CFStringCreateWithCString(nullptr, key.c_str(), kCFStringEncodingUTF8);
}

// Adds the value under the domain + name unless the defaults hold that key.
void AddDefault(CFMutableDictionaryRef defaults, const std::string& domain, const char* name, CFTypeRef value) {
  CFStringRef key = DomainKey(domain, name);
  if (!CFDictionaryContainsKey(defaults, key)) CFDictionaryAddValue(defaults, key, value);
  CFRelease(key);
}

void AddSInt16Default(CFMutableDictionaryRef defaults, const std::string& domain, const char* name, SInt16 number) {
  CFNumberRef value = CFNumberCreate(nullptr, kCFNumberSInt16Type, &number);
  AddDefault(defaults, domain, name, value);
  CFRelease(value);
}

// The absolute path of the program found first along $PATH; empty when none.
// Relative entries of $PATH are passed over: the run code starts
// interpreters without a search, from wherever the program runs.
std::string FindOnPath(const char* program) {
  const char* path = getenv("PATH");
  if (path == nullptr) return {};
  std::string list(path);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder[0] != '/') continue;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string candidate = (folder == "/" ? "" : folder) + "/" + program;
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

// The interpreters' preferences and the programs they name.
const struct {
  const char* key;
  const char* program;
} kInterpreters[] = {{"CommandLinePHP", "php"}, {"CommandLinePERL", "perl"}, {"CommandLineRuby", "ruby"}};

}  // namespace

const ApplicationIconInfo* ApplicationIconTable(size_t* count) {
  if (count != nullptr) *count = sizeof kApplicationIcons / sizeof kApplicationIcons[0];
  return kApplicationIcons;
}

void LoadApplicationIcons() {
  const bool before105 = MacOSVersion() < 5;
  for (const ApplicationIconInfo& info : kApplicationIcons) {
    if (info.creator == kSystemIconsCreator && info.type == kGenericFolderIcon && !before105) continue;
    // A missing file registers nothing; the type then shows no image.
    IconRef icon = RegisterIconRef(info.creator, info.type, info.file, info.folder);
    if (icon != nullptr) ReleaseIconRef(icon);  // the registry keeps its own
  }
}

void* GetWindowProject(TWindow* window) {
  if (window == nullptr || window->window == nullptr) return nullptr;
  void* project = nullptr;
  TWindowGetProperty(kEditorWindowProjectTag, project, window->window);
  return project;
}

// ---------------------------------------------------------------------------

void TDemoApplication::LoadResources() {
  RecordStartupStep("LoadResources");
  resources = new ApplicationResourceInfo{};
  AppResources = resources;
  resources->CodeSense = LoadCodeSenseLibrary();

  MenuRef menu = nullptr;
  Err = nib != nullptr ? CreateMenuFromNib(nib, CFSTR("Project Contextual Menu"), &menu) : OSStatus(fnfErr);
  resources->ProjectContextualMenu = Err == noErr ? menu : nullptr;

  IBNibRef* const nibFields[] = {&resources->PreferencesNib, &resources->FileInfoNib,    &resources->ProjectInfoNib,
                                 &resources->FindNib,        &resources->MacroEditorNib, &resources->BookmarkEditorNib,
                                 &resources->SnippetEditorNib, &resources->PagesNib,     &resources->CSSEditorNib,
                                 &resources->BooksNib};
  for (size_t i = 0; i < sizeof kNibNames / sizeof kNibNames[0]; ++i) {
    IBNibRef ref = nullptr;
    Err = CreateNibReference(CFSTR(kNibNames[i]), &ref);
    *nibFields[i] = Err == noErr ? ref : nullptr;
  }

  resources->SelectionImage = LoadPNGImage("selection_leopard_blue.png", "Images/Browser Images");
  // Symbol lists highlight their chosen row with it.
  SymbolPaneSetSelectionImage(resources->SelectionImage);

  FSRef toolbarFile{};
  Err = FSGetResourceFile("toolbar preferences.plist", "", toolbarFile);
  const bool haveToolbarFile = Err == noErr;
  resources->ToolbarPreferences = new TPropertyList();
  resources->ToolbarPreferences->Create();
  if (haveToolbarFile) Err = resources->ToolbarPreferences->Load(toolbarFile);

  CFTypeRef styles = nullptr;
  if (preferences != nullptr) {
    const Str255 theme = preferences->GetStringValue("StylesTheme");
    const Str255 key = "SyntaxStyles." + theme;
    styles = preferences->GetTypeValue(key);
  }
  if (styles != nullptr && CFGetTypeID(styles) == CFDictionaryGetTypeID()) {
    resources->SyntaxCollection = CreateSyntaxCollection(static_cast<CFDictionaryRef>(styles));
  } else {
    resources->SyntaxCollection = CreateSyntaxCollection(nullptr);
  }
  if (styles != nullptr) CFRelease(styles);
  for (const char* language : kLanguageLibraries) resources->SyntaxCollection->LoadLibrary(language);

  FSRef support{};
  Err = FSFindFolder(kUserDomain, kApplicationSupportFolderType, kCreateFolder, &support);
  if (Err == noErr) {
    FSRef folder{};
    Err = FSCreateFolder(CFSTR("Quorvel"), support, folder);
    if (Err == noErr) resources->FileSystem = CreateFileSystem(folder, resources->SyntaxCollection, nullptr);
  }

  LoadApplicationIcons();
  if (ShellTargets.LoadHTMLIcons != nullptr) ShellTargets.LoadHTMLIcons();
}

void TDemoApplication::ModifyDefaultPreferences(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID()) return;
  RecordStartupStep("ModifyDefaultPreferences");
  auto defaults = static_cast<CFMutableDictionaryRef>(const_cast<void*>(value));
  // Keys are stored as the application preference handler stores them.
  const std::string domain = preferences != nullptr ? preferences->fDomain.str() : kApplicationPreferencesDomain;
  AddSInt16Default(defaults, domain, "StylesEditorFontSize", 12);
  AddSInt16Default(defaults, domain, "StylesEditorFontFamily", FMGetFontFamilyFromName(Str255("Verdana")));
  // The preview application starts as the desktop's web browser, kept by
  // its desktop entry so that it survives the browser moving.
  FSRef browser{};
  FSRef stored{};
  CFURLRef page = CFURLCreateWithString(nullptr, CFSTR("http://localhost/"), nullptr);
  if (page != nullptr && LSGetApplicationForURL(page, kLSRolesAll, &browser, nullptr) == noErr &&
      LSMakeStoredApplicationReference(&browser, &stored) == noErr) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&stored), sizeof stored);
    AddDefault(defaults, domain, "GeneralPreviewApplication", data);
    CFRelease(data);
  }
  if (page != nullptr) CFRelease(page);
  // Interpreters are started without a search of $PATH, so each is stored
  // as the absolute path found now; where none is found, the usual place,
  // for the user to correct in the preferences.
  for (const auto& interpreter : kInterpreters) {
    std::string path = FindOnPath(interpreter.program);
    if (path.empty()) path = std::string("/usr/bin/") + interpreter.program;
    CFStringRef string = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    if (string == nullptr) continue;
    AddDefault(defaults, domain, interpreter.key, string);
    CFRelease(string);
  }
}

void TDemoApplication::UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) {
  // Save, Revert and Close follow the front window first.
  TApplication::UpdateCommandStatus(command, event, result);
  // The application enables nothing itself; only commands whose window is
  // not part of the program yet are shown disabled, so that none of them
  // is a click that does nothing.
  if (command.menu.menuRef == nullptr) return;
  bool available = true;
  switch (command.commandID) {
    case 'FIND':
      available = ShellTargets.OpenFindWindow != nullptr;
      break;
    case 'FNDP':
      available = ShellTargets.OpenBatchFindWindow != nullptr;
      break;
    case 'MACR':
      available = ShellTargets.OpenMacroEditor != nullptr;
      break;
    case 'pref':
      available = ShellTargets.OpenApplicationPreferences != nullptr;
      break;
    case 'newP':
    case 'nwPB':
      available = ShellTargets.HandleNewProjectCommand != nullptr;
      break;
    case 'newF':
    case 'newW':
      available = ShellTargets.OpenEditorWindowEmpty != nullptr;
      break;
    case 'opFT':
      available = ShellTargets.EditorWindowNewFTPFile != nullptr || ShellTargets.OpenEditorWindowWithDocument != nullptr;
      break;
    default:
      return;
  }
  if (!available) DisableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
}
