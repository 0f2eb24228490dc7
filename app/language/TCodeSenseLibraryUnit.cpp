// TCodeSenseLibraryUnit: the libraries, the variables, loading and saving,
// the look-up of a command for the current language, the command menu and
// the editing operations of the macro editor.
#include "TCodeSenseLibraryUnit.h"

#include <climits>
#include <cstring>
#include <string>

#include "CFBundle.h"
#include "CFPascal.h"
#include "CFPreferenceUtilities.h"
#include "CFURL.h"
#include "Folders.h"
#include "MacHelp.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TCodeSenseLibraryUnit+Internal.h"

namespace {

const char* const kStandardLibraries[] = {"common", "html", "javascript", "php", "perl", "ruby", "xml", "pascal"};
const char* const kCodeSenseFolder = "Code Sense";
const char* const kVariablesFile = "variables.plist";
const char* const kLibrarySuffix = ".macros.plist";

// One owned CF reference for a scope.
struct Owned {
  CFTypeRef cf;
  explicit Owned(CFTypeRef ref = nullptr) : cf(ref) {}
  ~Owned() {
    if (cf) CFRelease(cf);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  CFStringRef str() const { return static_cast<CFStringRef>(cf); }
};

CFStringRef CreateFromShort(ConstStringPtr s) {
  return CFStringCreateWithPascalString(nullptr, s, kCFStringEncodingMacRoman);
}

std::string PathOf(const FSRef& ref) {
  char path[PATH_MAX + 1] = {0};
  if (FSRefMakePath(&ref, reinterpret_cast<UInt8*>(path), sizeof path) != noErr) return std::string();
  return path;
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A library file's name is its file name up to its first ".".
CFStringRef CreateLibraryName(const FSRef& file) {
  const std::string path = PathOf(file);
  std::string name = path.substr(path.rfind('/') + 1);
  name = name.substr(0, name.find('.'));
  return CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
}

Boolean IsDictionary(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID(); }
Boolean IsString(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID(); }

// The string under key, or nil when the entry is missing or of another type.
CFStringRef StringValue(CFDictionaryRef dictionary, const char* key) {
  CFTypeRef value = CFDictionaryGetValue(dictionary, CFStringMakeConstantUTF8(key));
  return IsString(value) ? static_cast<CFStringRef>(value) : nullptr;
}

// The application's own "Code Sense" folder, as the file manager names it.
std::string ApplicationFolder() {
  CFURLRef url = CFBundleCopyResourcesDirectoryURL(CFBundleGetMainBundle());
  if (url == nullptr) return std::string();
  char path[PATH_MAX + 1] = {0};
  const Boolean ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), sizeof path);
  CFRelease(url);
  if (!ok) return std::string();
  FSRef folder;
  const std::string named = std::string(path) + "/" + kCodeSenseFolder;
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(named.c_str()), &folder, nullptr) != noErr) return named;
  return PathOf(folder);
}

// The user's "Code Sense" folder; made when create is set. Empty when it
// does not exist (or cannot be made).
std::string UserFolder(bool create, FSRef* ref = nullptr) {
  FSRef support;
  if (FSFindFolder(kUserDomain, kApplicationSupportFolderType, create ? kCreateFolder : kDontCreateFolder,
                   &support) != noErr)
    return std::string();
  FSRef program, folder;
  if (create) {
    if (FSCreateFolder(CFStringMakeConstantUTF8("Quorvel"), support, program) != noErr ||
        FSCreateFolder(CFStringMakeConstantUTF8(kCodeSenseFolder), program, folder) != noErr)
      return std::string();
  } else {
    const std::string path = PathOf(support) + "/Quorvel/" + kCodeSenseFolder;
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &folder, nullptr) != noErr) return std::string();
  }
  if (ref) *ref = folder;
  return PathOf(folder);
}

Boolean SameFile(const FSRef& a, const FSRef& b) { return FSCompareFSRefs(&a, &b) == noErr; }

}  // namespace

// ---------------------------------------------------------------------------
// MacroData

MacroDataPtr NewMacro(const Str63& name) {
  auto* macro = new MacroData();
  macro->commandName = name;
  macro->text = CFStringCreateMutable(nullptr, 0);
  return macro;
}

void ReleaseMacro(MacroDataPtr& macro) {
  if (macro == nullptr) return;
  if (macro->text) CFRelease(macro->text);
  delete macro;
  macro = nullptr;
}

// ---------------------------------------------------------------------------
// The library object

TCodeSenseLibrary::TCodeSenseLibrary() { SetClassString("TCodeSenseLibrary"); }

TCodeSenseLibrary::~TCodeSenseLibrary() {
  if (libraries) CFRelease(libraries);
  if (variables) CFRelease(variables);
  if (commands) CFRelease(commands);
}

TCodeSenseLibrary* LoadCodeSenseLibrary() {
  auto* library = new TCodeSenseLibrary();
  library->Load();
  return library;
}

void TCodeSenseLibrary::SetLanguage(const Str63& value) { language = value; }
void TCodeSenseLibrary::SetController(WEReference value) { controller = value; }
void TCodeSenseLibrary::SetLibraryContext(SyntaxLibraryPtr library, const Str255& context) {
  syntaxLibrary = library;
  libraryContext = context;
}

void TCodeSenseLibrary::GetStandardLibrary(const Str63& fileName, FSRef& ref) {
  // The user's own copy comes first: the application's folder is not theirs
  // to write, so edits of a standard library live there.
  const std::string user = UserFolder(false);
  if (!user.empty()) {
    const std::string path = user + "/" + fileName.str();
    FSRef found;
    Boolean folder = false;
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &found, &folder) == noErr && !folder) {
      ref = found;
      return;
    }
  }
  FSRef found;
  if (FSGetResourceFile(fileName, kCodeSenseFolder, found) == noErr) ref = found;
}

void TCodeSenseLibrary::AppendStandardLibrary(const Str63& name) {
  FSRef ref = {};
  GetStandardLibrary(Str63(name + kLibrarySuffix), ref);
  AppendLibrary(ref);
}

void TCodeSenseLibrary::AppendLibrary(const FSRef& file) {
  if (libraries == nullptr) libraries = CFArrayCreatePascal();
  if (ContainsLibrary(file)) return;
  CFArrayAppendValue(libraries, NewPtrCopy(const_cast<FSRef*>(&file), sizeof(FSRef)));
}

Boolean TCodeSenseLibrary::ContainsLibrary(const FSRef& file) {
  if (libraries == nullptr) return false;
  for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i)
    if (SameFile(*static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i)), file)) return true;
  return false;
}

Boolean TCodeSenseLibrary::AcceptLibrary(const Str63& name) {
  return name == language || language.empty() || name == "common" || name == "project";
}

CFTypeRef TCodeSenseLibrary::GetPropertyList(const FSRef& file) { return CFPreferencesLoadPropertyList(file); }

void TCodeSenseLibrary::SavePropertyList(CFTypeRef list, const FSRef& file) {
  Err = CFPreferencesSavePropertyList(file, list);
}

void TCodeSenseLibrary::LoadLibrary(const FSRef& file) {
  AppendLibrary(file);
  if (commands == nullptr)
    commands = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  Owned list(GetPropertyList(file));
  if (list.cf == nullptr) return;
  Owned name(CreateLibraryName(file));
  if (name.cf == nullptr || CFDictionaryContainsKey(commands, name.cf)) return;
  if (IsDictionary(list.cf)) {
    CFDictionarySetValue(commands, name.cf, list.cf);
  } else {
    Owned empty(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(commands, name.cf, empty.cf);
  }
}

void TCodeSenseLibrary::UnloadLibrary(const FSRef& file) {
  if (libraries != nullptr) {
    for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i)
      if (SameFile(*static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i)), file)) {
        CFArrayRemoveValueAtIndex(libraries, i);
        break;
      }
  }
  Owned name(CreateLibraryName(file));
  if (commands != nullptr && name.cf != nullptr) CFDictionaryRemoveValue(commands, name.cf);
}

void TCodeSenseLibrary::UnloadLibraryWithName(const Str63& name) {
  Owned key(CreateFromShort(name));
  if (libraries != nullptr) {
    for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i) {
      Owned entry(CreateLibraryName(*static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i))));
      if (entry.cf != nullptr && CFEqual(entry.cf, key.cf)) {
        CFArrayRemoveValueAtIndex(libraries, i);
        break;
      }
    }
  }
  if (commands != nullptr && key.cf != nullptr) CFDictionaryRemoveValue(commands, key.cf);
}

void TCodeSenseLibrary::Load() {
  if (libraries) CFRelease(libraries);
  libraries = CFArrayCreatePascal();
  for (const char* name : kStandardLibraries) AppendStandardLibrary(name);
  if (variables) CFRelease(variables);
  variables = nullptr;
  FSRef file = {};
  GetStandardLibrary(kVariablesFile, file);
  if (FSRefExists(file)) {
    CFTypeRef list = GetPropertyList(file);
    // A root of another kind is no set of variables.
    if (IsDictionary(list))
      variables = static_cast<CFMutableDictionaryRef>(const_cast<void*>(list));
    else if (list != nullptr)
      CFRelease(list);
  }
  if (commands) CFRelease(commands);
  commands = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i) {
    const FSRef entry = *static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i));
    if (FSRefExists(entry)) LoadLibrary(entry);
  }
}

namespace {

// Writes a standard file's list into the user's folder, unless it holds what
// the file it would be read from holds already. Err keeps the status.
void SaveStandardFile(TCodeSenseLibrary* library, const std::string& fileName, CFTypeRef list) {
  FSRef current = {};
  library->GetStandardLibrary(Str63(fileName), current);
  if (FSRefExists(current)) {
    Owned stored(library->GetPropertyList(current));
    if (stored.cf != nullptr && CFEqual(stored.cf, list)) {
      Err = noErr;
      return;
    }
  }
  FSRef folder;
  if (UserFolder(true, &folder).empty()) {
    Err = fnfErr;
    return;
  }
  Owned name(CFStringCreateWithCString(nullptr, fileName.c_str(), kCFStringEncodingUTF8));
  const std::string path = PathOf(folder) + "/" + fileName;
  FSRef file;
  const Boolean existed = FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &file, nullptr) == noErr;
  if (!existed) {
    const OSStatus made = FSCreateFile(name.str(), folder, 0, 0, file);
    if (made != noErr) {
      Err = made;
      return;
    }
  }
  library->SavePropertyList(list, file);
  // A new empty file would hide the application's copy from now on.
  if (Err != noErr && !existed) {
    const OSStatus status = Err;
    FSDeleteObject(&file);
    Err = status;
  }
}

}  // namespace

void TCodeSenseLibrary::Save() {
  OSStatus status = noErr;
  if (variables != nullptr) {
    SaveStandardFile(this, kVariablesFile, variables);
    status = Err;
  }
  if (libraries == nullptr || commands == nullptr) {
    Err = status;
    return;
  }
  const std::string application = ApplicationFolder();
  for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i) {
    const FSRef entry = *static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i));
    if (!FSRefExists(entry)) continue;
    Owned name(CreateLibraryName(entry));
    CFTypeRef dictionary = name.cf ? CFDictionaryGetValue(commands, name.cf) : nullptr;
    if (dictionary == nullptr) continue;
    const std::string path = PathOf(entry);
    if (!application.empty() && Parent(path) == application)
      SaveStandardFile(this, path.substr(path.rfind('/') + 1), dictionary);
    else
      SavePropertyList(dictionary, entry);
    if (Err != noErr) status = Err;
  }
  Err = status;
}

// ---------------------------------------------------------------------------
// Look-up

CFDictionaryRef TCodeSenseLibrary::FindCommand(const Str255& name) {
  if (libraries == nullptr || commands == nullptr) return nullptr;
  Owned key(CreateFromShort(name));
  for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i) {
    const FSRef entry = *static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i));
    if (!FSRefExists(entry)) continue;
    Owned library(CreateLibraryName(entry));
    if (library.cf == nullptr || !AcceptLibrary(Str63(PCFSTR(library.str())))) continue;
    CFTypeRef dictionary = CFDictionaryGetValue(commands, library.cf);
    if (!IsDictionary(dictionary)) continue;
    CFTypeRef command = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dictionary), key.cf);
    if (IsDictionary(command)) return static_cast<CFDictionaryRef>(command);
  }
  return nullptr;
}

MacroDataPtr TCodeSenseLibrary::GetCommandData(const Str63& name) {
  CFDictionaryRef command = FindCommand(name);
  if (command == nullptr) return nullptr;
  auto* macro = new MacroData();
  macro->commandName = name;
  CFStringRef publicName = StringValue(command, "public-name");
  macro->publicName = publicName ? Str63(PCFSTR(publicName)) : name;
  if (CFStringRef action = StringValue(command, "action")) macro->action = Str31(PCFSTR(action));
  if (CFStringRef output = StringValue(command, "output")) macro->output = Str31(PCFSTR(output));
  CFStringRef text = StringValue(command, "text");
  macro->text = text ? CFStringCreateMutableCopy(nullptr, 0, text) : nullptr;
  return macro;
}

Str255 TCodeSenseLibrary::GetUniqueCommand() {
  auto used = [&](const Str255& candidate) {
    if (commands == nullptr) return false;
    Owned key(CreateFromShort(candidate));
    const CFIndex count = CFDictionaryGetCount(commands);
    std::vector<const void*> values(size_t(count > 0 ? count : 0));
    CFDictionaryGetKeysAndValues(commands, nullptr, values.data());
    for (const void* library : values)
      if (IsDictionary(library) && CFDictionaryContainsKey(static_cast<CFDictionaryRef>(library), key.cf))
        return true;
    return false;
  };
  Str255 candidate("????");
  for (SInt32 n = 1; used(candidate); ++n) candidate = Str255("????_") + NStr(n);
  return candidate;
}

void TCodeSenseLibrary::RemoveCommand(const Str63& name, const Str63& library) {
  if (commands == nullptr) return;
  Owned key(CreateFromShort(library));
  CFTypeRef dictionary = CFDictionaryGetValue(commands, key.cf);
  if (!IsDictionary(dictionary)) return;
  Owned command(CreateFromShort(name));
  CFDictionaryRemoveValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(dictionary)), command.cf);
}

void TCodeSenseLibrary::SaveCommand(MacroDataPtr macro, const Str63& library) {
  if (macro == nullptr || commands == nullptr) return;
  Owned key(CreateFromShort(library));
  CFTypeRef dictionary = CFDictionaryGetValue(commands, key.cf);
  if (!IsDictionary(dictionary)) return;
  auto lower = [](ConstStringPtr s) {
    CFMutableStringRef m = CFStringCreateMutable(nullptr, 0);
    CFStringAppendPascalString(m, s, kCFStringEncodingMacRoman);
    CFStringLowercase(m, nullptr);
    return m;
  };
  Owned text(macro->text ? CFStringCreateCopy(nullptr, macro->text) : CFStringCreateWithCString(nullptr, "", 0));
  Owned title(CreateFromShort(macro->publicName));
  Owned action(lower(macro->action));
  Owned output(lower(macro->output));
  Owned command(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  auto* entry = static_cast<CFMutableDictionaryRef>(const_cast<void*>(command.cf));
  CFDictionarySetValue(entry, CFStringMakeConstantUTF8("text"), text.cf);
  CFDictionarySetValue(entry, CFStringMakeConstantUTF8("public-name"), title.cf);
  CFDictionarySetValue(entry, CFStringMakeConstantUTF8("action"), action.cf);
  CFDictionarySetValue(entry, CFStringMakeConstantUTF8("output"), output.cf);
  Owned name(CreateFromShort(macro->commandName));
  CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(dictionary)), name.cf, command.cf);
  Save();
}

// ---------------------------------------------------------------------------
// The command menu

namespace {

struct MenuBuild {
  MenuRef menu;
};

void MacroMenuApplierFunction(const void* key, const void* value, void* context) {
  if (!IsDictionary(value) || !IsString(key)) return;
  MenuRef menu = static_cast<MenuBuild*>(context)->menu;
  auto name = static_cast<CFStringRef>(key);
  auto command = static_cast<CFDictionaryRef>(value);
  CFStringRef title = StringValue(command, "public-name");
  if (AppendMenuItemTextWithCFString(menu, title ? title : name, 0, kHICommandInsertMacro, nullptr) != noErr) return;
  const MenuItemIndex item = CountMenuItems(menu);
  const Str255 property = PCFSTR(name);
  unsigned char bytes[256] = {0};
  std::memcpy(bytes, property.data(), size_t(property.len()) + 1);
  SetMenuItemProperty(menu, item, 0, 0, sizeof bytes, bytes);
  if (CFStringRef text = StringValue(command, "text")) {
    Owned tag(CFStringCreateWithSubstring(nullptr, text, CFRangeMake(0, std::min<CFIndex>(255, CFStringGetLength(text)))));
    HMHelpContentRec content{};
    content.version = kMacHelpVersion;
    content.tagSide = kHMDefaultSide;
    content.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
    content.content[kHMMinimumContentIndex].u.tagCFString = tag.str();
    content.content[kHMMaximumContentIndex].contentType = kHMNoContent;
    HMSetMenuItemHelpContent(menu, item, &content);
  }
}

CFIndex CountCommands(CFDictionaryRef dictionary) {
  const CFIndex count = CFDictionaryGetCount(dictionary);
  std::vector<const void*> values(size_t(count > 0 ? count : 0));
  CFDictionaryGetKeysAndValues(dictionary, nullptr, values.data());
  CFIndex commands = 0;
  for (const void* value : values) commands += IsDictionary(value) ? 1 : 0;
  return commands;
}

}  // namespace

MenuRef TCodeSenseLibrary::BuildMenu() {
  MenuRef menu = nullptr;
  if (CreateNewMenu(0, 0x20, &menu) != noErr) return nullptr;
  SetContextualMenuFont(menu);
  if (libraries == nullptr || commands == nullptr) return menu;
  for (CFIndex i = 0; i < CFArrayGetCount(libraries); ++i) {
    const FSRef entry = *static_cast<const FSRef*>(CFArrayGetValueAtIndex(libraries, i));
    if (!FSRefExists(entry)) continue;
    Owned library(CreateLibraryName(entry));
    if (library.cf == nullptr || !AcceptLibrary(Str63(PCFSTR(library.str())))) continue;
    CFTypeRef dictionary = CFDictionaryGetValue(commands, library.cf);
    if (!IsDictionary(dictionary) || CountCommands(static_cast<CFDictionaryRef>(dictionary)) == 0) continue;
    AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8(""), kMenuItemAttrSeparator, 0, nullptr);
    AppendMenuItemTextWithCFString(menu, library.str(), kMenuItemAttrSectionHeader, 0, nullptr);
    MenuBuild build{menu};
    CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(dictionary), MacroMenuApplierFunction, &build);
  }
  return menu;
}
