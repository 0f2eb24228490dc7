#include "TApplicationUnit.h"

#include <cfenv>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFPreferenceUtilities.h"
#include "CFPreferences.h"
#include "CFURL.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"
#include "TReviewFilesWindowUnit.h"
#include "TWindowUnit.h"

TApplication* CurrentApplication = nullptr;
TApplicationReviewFilesProc OpenReviewFilesDialog = TReviewFilesWindowUnit::OpenReviewFilesDialog;

namespace {

bool SameFile(const FSRef& a, const FSRef& b) { return FSCompareFSRefs(&a, &b) == noErr; }

// The file a recent-items entry names; false when it no longer resolves.
bool ResolveRecentItem(CFTypeRef entry, FSRef& file) {
  if (entry == nullptr || CFGetTypeID(entry) != CFStringGetTypeID()) return false;
  CFURLRef url = CFURLCreateWithString(nullptr, static_cast<CFStringRef>(entry), nullptr);
  if (url == nullptr) return false;
  const bool resolved = CFURLGetFSRef(url, &file);
  CFRelease(url);
  return resolved;
}

// Visible windows of every class, front to back.
WindowRef NextVisibleWindow(WindowRef window) {
  WindowRef w = window == nullptr ? GetWindowList() : GetNextWindow(window);
  while (w != nullptr && !IsWindowVisible(w)) w = GetNextWindow(w);
  return w;
}

OSErr HandleOpenDocuments(const AppleEvent* event, AppleEvent*, SRefCon refcon) {
  auto* application = reinterpret_cast<TApplication*>(refcon);
  AEDescList list{};
  AEInitializeDesc(&list);
  if (AEGetParamDesc(event, keyDirectObject, typeAEList, &list) != noErr) return noErr;
  long count = 0;
  AECountItems(&list, &count);
  for (long i = 1; i <= count; ++i) {
    FSRef file{};
    AEKeyword keyword = 0;
    DescType type = 0;
    Size size = 0;
    if (AEGetNthPtr(&list, i, typeFSRef, &keyword, &type, &file, sizeof file, &size) != noErr) continue;
    ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
    options.newWindow = true;
    Boolean opened = false;
    application->OpenDocument(file, opened, options);
  }
  AEDisposeDesc(&list);
  return noErr;
}

OSStatus HandleApplicationEvents(EventHandlerCallRef, EventRef event, void* userData) {
  if (GetEventClass(event) == kEventClassApplication && GetEventKind(event) == kEventAppQuit)
    Err = static_cast<TApplication*>(userData)->HandleQuitCommand();
  return eventNotHandledErr;
}

OSStatus HandleApplicationCommands(EventHandlerCallRef, EventRef event, void* userData) {
  auto* application = static_cast<TApplication*>(userData);
  SInt32 result = eventNotHandledErr;
  HICommand command{};
  if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command) !=
      noErr)
    return result;
  UInt32 context = 0;
  GetEventParameter(event, kEventParamMenuContext, typeUInt32, nullptr, sizeof context, nullptr, &context);
  if (GetEventKind(event) == kEventCommandUpdateStatus) {
    application->UpdateCommandStatus(command, event, result);
    return result;
  }
  TDocument* document = nullptr;
  if (GetEventParameter(event, kEventParamDocument, typeVoidPtr, nullptr, sizeof document, nullptr, &document) ==
          noErr &&
      document != nullptr && IsObjectValid(document->owner)) {
    document->owner->ProcessCommand(command, event, result);
    // What the document's view did is not done a second time.
    if (result == noErr) return result;
  }
  switch (command.commandID) {
    case kHICommandOpenDocument:
      result = application->HandleOpenDocumentCommand(event);
      break;
    case kHICommandClearRecentItems:
      application->ClearRecentItems();
      break;
    case kHICommandQuit:
      result = application->HandleQuitCommand();
      break;
    case kHICommandReviewDocuments:
      result = application->HandleReviewFilesCommand(event);
      break;
    default:
      application->ProcessCommand(command, event, result);
  }
  return result;
}

void CopyValuesToPreferences(const void* key, const void* value, void*) {
  CFPreferencesSetAppValue(static_cast<CFStringRef>(key), value, kCFPreferencesCurrentApplication);
}

void SetItemEnabled(const HICommand& command, bool enabled) {
  if (command.menu.menuRef == nullptr) return;
  if (enabled)
    EnableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
  else
    DisableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
}

bool OneOf(UInt32 id, std::initializer_list<UInt32> ids) {
  for (UInt32 i : ids)
    if (i == id) return true;
  return false;
}

}  // namespace

TApplication::~TApplication() {
  if (closedSession != nullptr) CFRelease(closedSession);
  if (eventHandler != nullptr) RemoveEventHandler(eventHandler);
  if (commandHandler != nullptr) RemoveEventHandler(commandHandler);
  AEEventHandlerUPP handler = nullptr;
  SRefCon refcon = 0;
  if (AEGetEventHandler(kCoreEventClass, kAEOpenDocuments, &handler, &refcon, false) == noErr &&
      refcon == reinterpret_cast<SRefCon>(this))
    AERemoveEventHandler(kCoreEventClass, kAEOpenDocuments, handler, false);
  if (CurrentApplication == this) CurrentApplication = nullptr;
  if (recentItems.items != nullptr) CFRelease(recentItems.items);
}

void TApplication::Create(OSType inCreator) {
  creator = inCreator;
  ApplicationSignature = inCreator;
  AppPrefs = preferences;
  std::fenv_t environment;
  feholdexcept(&environment);  // no floating-point exception traps
  Err = CreateNibReference(CFStringMakeConstantUTF8("main"), &nib);
  ApplicationNib = nib;
  if (nib != nullptr) Err = SetMenuBarFromNib(nib, CFStringMakeConstantUTF8("MenuBar"));
  if (recentItems.index > 0 && preferences != nullptr) LoadRecentItems();
  Err = AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, NewAEEventHandlerUPP(HandleOpenDocuments),
                              reinterpret_cast<SRefCon>(this), false);
  static const EventTypeSpec kApplicationEvents[] = {{kEventClassApplication, kEventAppQuit}};
  Err = InstallEventHandler(GetApplicationEventTarget(), HandleApplicationEvents, 1, kApplicationEvents, this, &eventHandler);
  static const EventTypeSpec kCommandEvents[] = {{kEventClassCommand, kEventCommandProcess},
                                                 {kEventClassCommand, kEventCommandUpdateStatus}};
  Err = InstallEventHandler(GetApplicationEventTarget(), HandleApplicationCommands, 2, kCommandEvents, this, &commandHandler);
  LoadResources();
}

void TApplication::Run() {
  RunApplicationEventLoop();
  // The loop may have been left from a sheet, past the quit walk's own
  // synchronisation: the recent items must not be lost.
  SynchronizePreferences();
}

void TApplication::SynchronizePreferences() {
  if (preferences == nullptr) return;
  if (recentItems.items != nullptr) preferences->SetTypeValue(kApplicationRecentItemsKey, recentItems.items);
  preferences->Synchronize();
}

void TApplication::CopyDefaultPreferences(const Str255& fileName) {
  const FSRef existing = FSGetFileFromFolder(fileName, kPreferencesFolderType);
  if (FSValidFSRef(existing) && FSRefExists(existing)) return;
  FSRef resource{};
  CFTypeRef defaults = nullptr;
  if (FSGetResourceFile(Str63(fileName), Str63(), resource) == noErr) defaults = CFPreferencesLoadPropertyList(resource);
  if (defaults == nullptr || CFGetTypeID(defaults) != CFDictionaryGetTypeID()) {
    if (defaults != nullptr) CFRelease(defaults);
    Err = fnfErr;
    UserNotificationDialog("There was an error copying the default preferences.");
    return;
  }
  ModifyDefaultPreferences(defaults);
  CFPreferencesCopyPropertyList(static_cast<CFDictionaryRef>(defaults));
  CFRelease(defaults);
}

void TApplication::OpenDocument(const FSRef& file, Boolean& opened, const ApplicationOpenCommandOptions& options) {
  opened = false;
  if (FSRefExists(file) && AcceptRecentItem(file) && !ContainsRecentItem(file)) AppendRecentItems(file, true);
  if (!options.newWindow) {
    if (TWindow* window = FindWindow(file)) {
      opened = true;
      if (!options.keepInBackground) window->SelectViewObject();
    }
    TDocument* document = FindDocument(file);
    if (document != nullptr && document->owner != nullptr) {
      opened = true;
      if (!options.keepInBackground) document->owner->SelectViewObject();
    }
  }
  WindowRef front = GetFrontWindowOfClass(kDocumentWindowClass, true);
  if (TWindow* window = front != nullptr ? GetWindowObject(front) : nullptr) window->OpenDocument(file, opened, options);
}

TWindow* TApplication::FindWindow(const FSRef& file) {
  for (WindowRef w = NextVisibleWindow(nullptr); w != nullptr; w = NextVisibleWindow(w)) {
    TWindow* window = GetWindowObject(w);
    if (window == nullptr) continue;
    if (window->CompareDocumentRoot(file)) return window;
    TDocument* active = window->documents != nullptr ? window->documents->active : nullptr;
    if (active != nullptr && SameFile(active->file, file)) return window;
  }
  return nullptr;
}

TWindow* TApplication::GetFrontWindow() {
  WindowRef front = ActiveNonFloatingWindow();
  return front != nullptr ? GetWindowObject(front) : nullptr;
}

TWindow* TApplication::GetFrontWindowOfKind(SInt16 kind) {
  for (WindowRef w = NextVisibleWindow(nullptr); w != nullptr; w = NextVisibleWindow(w)) {
    TWindow* window = GetWindowObject(w);
    if (window != nullptr && GetWindowKind(w) == kind) return window;
  }
  return nullptr;
}

TDocument* TApplication::FindDocument(const FSRef& file) {
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, true)) {
    TWindow* window = GetWindowObject(w);
    if (window == nullptr || window->documents == nullptr) continue;
    if (TDocument* document = window->documents->FindDocument(file)) return document;
  }
  return nullptr;
}

void TApplication::ProcessCommand(const HICommand&, EventRef, SInt32& result) { result = eventNotHandledErr; }

void TApplication::UpdateCommandStatus(const HICommand& command, EventRef, SInt32&) {
  const UInt32 id = command.commandID;
  if (ApplicationQuitting) {
    if (OneOf(id, {'abou', 'clos', 'new ', 'open', 'pref', 'rvrt', 'save', 'svas'})) SetItemEnabled(command, false);
    return;
  }
  WindowRef front = GetFrontWindowOfClass(kDocumentWindowClass, true);
  if (front == nullptr) {
    if (OneOf(id, {'clea', 'clos', 'cut ', 'past', 'redo', 'rvrt', 'sall', 'save', 'svas', 'undo'}))
      SetItemEnabled(command, false);
    return;
  }
  if (id == 'clos') SetItemEnabled(command, true);
  if (OneOf(id, {'rvrt', 'save', 'svas'})) SetItemEnabled(command, IsWindowModified(front));
}

SInt32 TApplication::HandleQuitCommand() {
  // A window closed by the walk asks to go on quitting from inside it: the
  // request is kept, and the walk goes on from the front of the list.
  if (quitWalking) {
    quitRequested = true;
    return noErr;
  }
  if (!ApplicationQuitting && preferences != nullptr) SaveDocumentList();
  ApplicationQuitting = true;
  const SInt32 result = WalkWindowsForQuit();
  if (ApplicationQuitting && ActiveNonFloatingWindow() == nullptr) QuitApplicationEventLoop();
  if (result == eventNotHandledErr) SynchronizePreferences();
  return result;
}

SInt32 TApplication::WalkWindowsForQuit() {
  SInt32 result = eventNotHandledErr;
  quitWalking = true;
  for (SInt16 priority = 1; priority <= 10 && result != noErr && ApplicationQuitting; ++priority) {
    // Every step may close windows, so each starts from the front again,
    // past the windows this pass has already dealt with.
    std::vector<WindowRef> done;
    for (;;) {
      WindowRef w = NextVisibleWindow(nullptr);
      for (; w != nullptr; w = NextVisibleWindow(w)) {
        bool seen = false;
        for (WindowRef d : done) seen = seen || d == w;
        if (seen) continue;
        TWindow* object = GetWindowObject(w);
        if (object == nullptr || object->priority == priority) break;
      }
      if (w == nullptr) break;
      done.push_back(w);
      TWindow* object = GetWindowObject(w);
      if (IsWindowModified(w)) {
        EventRef event = nullptr;
        if (CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event) != noErr)
          continue;
        SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof w, &w);
        Boolean yes = true;
        SetEventParameter(event, kEventParamQuitting, typeBoolean, sizeof yes, &yes);
        quitRequested = false;
        result = object != nullptr ? object->HandleCloseEvent(event)
                                   : SendEventToEventTarget(event, GetWindowEventTarget(w));
        ReleaseEvent(event);
        // A window that took the close over but finished it at once has
        // asked to go on quitting from inside: the walk goes on.
        if (result == noErr && quitRequested) result = eventNotHandledErr;
        if (result == noErr) break;
      } else {
        CloseApplicationWindow(w);
      }
      if (!ApplicationQuitting) break;
    }
  }
  quitWalking = false;
  return result;
}

SInt32 TApplication::HandleOpenDocumentCommand(EventRef event) {
  FSRef file{};
  GetCommandParameter(event, kEventParamOpenFile, typeFSRef, sizeof file, &file);
  ApplicationOpenCommandOptions options{};
  if (GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof options, nullptr, &options) !=
      noErr) {
    options = GetDefaultOpenCommandOptions();
    GetEventParameter(event, kEventParamOpenNewWindow, typeBoolean, nullptr, sizeof options.newWindow, nullptr,
                      &options.newWindow);
  }
  Boolean opened = false;
  OpenDocument(file, opened, options);
  if (options.data != nullptr && IsPointerValid(options.data)) DisposePtr(options.data);
  return noErr;
}

SInt32 TApplication::HandleReviewFilesCommand(EventRef event) {
  TWindow* window = nullptr;
  UInt32 action = 0;
  CFArrayRef documents = nullptr;
  EventRef closeEvent = nullptr;
  GetEventParameter(event, kEventParamReviewWindow, typeWindowRef, nullptr, sizeof window, nullptr, &window);
  GetEventParameter(event, 'reva', typeUInt32, nullptr, sizeof action, nullptr, &action);
  GetEventParameter(event, kEventParamReviewDocuments, typeCFTypeRef, nullptr, sizeof documents, nullptr, &documents);
  GetEventParameter(event, kEventParamReviewEvent, typeEventRef, nullptr, sizeof closeEvent, nullptr, &closeEvent);
  if (OpenReviewFilesDialog != nullptr) {
    OpenReviewFilesDialog(window, action, documents, closeEvent, nib);
    return noErr;
  }
  // No review sheet: the first document is asked about alone; its answer
  // goes on through the window's close path to the others.
  TDocument* first = nullptr;
  if (documents != nullptr && CFArrayGetCount(documents) > 0)
    first = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, 0)));
  if (documents != nullptr) CFRelease(documents);
  if (window == nullptr || first == nullptr) return noErr;
  UInt32 closeAction = kTWindowActionClose;
  if (closeEvent != nullptr) {
    Boolean quit = false;
    GetEventParameter(closeEvent, kEventParamQuitting, typeBoolean, nullptr, sizeof quit, nullptr, &quit);
    closeAction = quit ? kTWindowActionQuit : kTWindowActionCloseEvent;
  }
  TWindowAskSaveChanges(window, first, closeAction);
  return noErr;
}

void TApplication::AppendRecentItems(const FSRef& file, Boolean addToList) {
  if (recentItems.index == 0 || preferences == nullptr || recentItems.menu == nullptr) return;
  MenuRef menu = recentItems.menu;
  if (addToList && recentItems.items != nullptr) {
    // The array and the file items go together: the array's first entry is
    // the bottom file item.
    while (recentItems.limit > 0 && CFArrayGetCount(recentItems.items) >= recentItems.limit &&
           CFArrayGetCount(recentItems.items) > 0) {
      DeleteMenuItem(menu, MenuItemIndex(CFArrayGetCount(recentItems.items)));
      CFArrayRemoveValueAtIndex(recentItems.items, 0);
    }
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
    if (url == nullptr) return;
    CFArrayAppendValue(recentItems.items, CFURLGetString(url));
    CFRelease(url);
  }
  // Listed under its whole name, in every script.
  const std::string fullName = FSGetFullName(file);
  CFStringRef title = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(fullName.data()),
                                              CFIndex(fullName.size()), kCFStringEncodingUTF8, false);
  Err = InsertMenuItemTextWithCFString(menu, title != nullptr ? title : CFSTR(FSGetDisplayName(file)), 0, 0,
                                       kHICommandOpenDocument);
  if (title != nullptr) CFRelease(title);
  Err = SetMenuItemProperty(menu, 1, kEventParamOpenFile, typeFSRef, sizeof file, &file);
  IconRef icon = nullptr;
  if (GetIconRefFromFileInfo(&file, 0, nullptr, 0, nullptr, kIconServicesNormalUsageFlag, &icon, nullptr) == noErr &&
      icon != nullptr) {
    SetMenuItemIconHandle(menu, 1, kMenuIconRefType, reinterpret_cast<Handle>(icon));
    ReleaseIconRef(icon);
  }
  if (CountMenuItems(menu) == 1) {
    AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8(""), kMenuItemAttrSeparator, 0, nullptr);
    AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("Clear Menu"), 0, kHICommandClearRecentItems,
                                   nullptr);
    if (MenuRef fileMenu = GetMenuRef(kApplicationFileMenuID)) EnableMenuItem(fileMenu, recentItems.index);
  }
}

void TApplication::LoadRecentItems() {
  if (recentItems.menu == nullptr) {
    Err = CreateNewMenu(0, 0, &recentItems.menu);
    if (recentItems.menu == nullptr) return;
    InsertMenu(recentItems.menu, kInsertHierarchicalMenu);
    if (MenuRef fileMenu = GetMenuRef(kApplicationFileMenuID)) {
      Err = SetMenuItemHierarchicalMenu(fileMenu, recentItems.index, recentItems.menu);
      DisableMenuItem(fileMenu, recentItems.index);
    }
  }
  if (recentItems.items != nullptr) CFRelease(recentItems.items);
  recentItems.items = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFTypeRef stored = preferences != nullptr ? preferences->GetTypeValue(kApplicationRecentItemsKey) : nullptr;
  if (stored == nullptr) return;
  if (CFGetTypeID(stored) == CFArrayGetTypeID()) {
    auto* array = static_cast<CFArrayRef>(stored);
    // Files that no longer resolve leave the list, so that every entry has
    // its menu item.
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
      CFTypeRef entry = CFArrayGetValueAtIndex(array, i);
      FSRef file{};
      if (!ResolveRecentItem(entry, file)) continue;
      CFArrayAppendValue(recentItems.items, entry);
      AppendRecentItems(file, false);
    }
  }
  CFRelease(stored);
}

void TApplication::ClearRecentItems() {
  if (MenuRef fileMenu = GetMenuRef(kApplicationFileMenuID); fileMenu != nullptr && recentItems.index > 0)
    DisableMenuItem(fileMenu, recentItems.index);
  if (recentItems.menu != nullptr && CountMenuItems(recentItems.menu) > 0)
    DeleteMenuItems(recentItems.menu, 1, CountMenuItems(recentItems.menu));
  if (recentItems.items != nullptr) CFArrayRemoveAllValues(recentItems.items);
}

Boolean TApplication::ContainsRecentItem(const FSRef& file) {
  if (recentItems.items == nullptr) return false;
  for (CFIndex i = 0; i < CFArrayGetCount(recentItems.items); ++i) {
    FSRef entry{};
    if (ResolveRecentItem(CFArrayGetValueAtIndex(recentItems.items, i), entry) && SameFile(entry, file)) return true;
  }
  return false;
}

void TApplication::AppendDocumentList(const FSRef& file) {
  if (preferences == nullptr) return;
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&file), sizeof file);
  preferences->SetArrayValue(kApplicationDocumentListKey, data);
  if (closedSession != nullptr && closingWindows > 0 && !ApplicationQuitting) CFArrayAppendValue(closedSession, data);
  CFRelease(data);
}

void TApplication::SaveDocumentList() {
  if (preferences == nullptr) return;
  preferences->RemoveValue(kApplicationDocumentListKey);
  Boolean windowLeft = false;
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, true)) {
    windowLeft = true;
    TWindow* window = GetWindowObject(w);
    if (window == nullptr || !(window->options & kTWindowOptionsSaveDocumentsApplication) ||
        window->documents == nullptr)
      continue;
    CFArrayRef list = window->documents->CopyList();
    if (list == nullptr) continue;
    preferences->SetArrayValue(kApplicationDocumentListKey, list);
    CFRelease(list);
  }
  if (windowLeft || closedSession == nullptr) return;
  for (CFIndex i = 0; i < CFArrayGetCount(closedSession); ++i)
    preferences->SetArrayValue(kApplicationDocumentListKey, CFArrayGetValueAtIndex(closedSession, i));
}

void TApplication::WindowClosing(TWindow* window) {
  const Boolean outermost = closingWindows++ == 0;
  if (ApplicationQuitting || window == nullptr || window->window == nullptr) return;
  WindowClass windowClass = 0;
  if (GetWindowClass(window->window, &windowClass) != noErr || windowClass != kDocumentWindowClass) return;
  if (outermost || closedSession == nullptr) {
    if (closedSession != nullptr) CFRelease(closedSession);
    closedSession = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  }
  if (!(window->options & kTWindowOptionsSaveDocumentsApplication)) return;
  // The list as the close began: a document let go of at the save question
  // is still one the user had open.
  CFArrayRef list = window->documentSnapshot != nullptr ? CFArrayRef(CFRetain(window->documentSnapshot))
                    : window->documents != nullptr    ? window->documents->CopyList()
                                                      : nullptr;
  if (list == nullptr) return;
  CFArrayAppendValue(closedSession, list);
  CFRelease(list);
}

void TApplication::WindowClosed() {
  if (closingWindows > 0) --closingWindows;
}

void TApplication::RestoreDocumentList() {
  CFTypeRef list = preferences != nullptr ? preferences->GetTypeValue(kApplicationDocumentListKey) : nullptr;
  if (list != nullptr) {
    if (CFGetTypeID(list) == CFArrayGetTypeID()) OpenDocumentList(static_cast<CFArrayRef>(list));
    CFRelease(list);
  }
  // The saved documents are back: files from the command line and from
  // later launches may come in now.
  AESetOpenDocumentsReady();
}

// ---------------------------------------------------------------------------

void SetCurrentApplication(TApplication* application) { CurrentApplication = application; }

TWindow* TApplicationGetFrontWindow() {
  return CurrentApplication != nullptr ? CurrentApplication->GetFrontWindow() : nullptr;
}

TWindow* TApplicationGetFrontWindowOfKind(SInt16 kind) {
  return CurrentApplication != nullptr ? CurrentApplication->GetFrontWindowOfKind(kind) : nullptr;
}

TDocument* TApplicationFindDocument(const FSRef& file) {
  return CurrentApplication != nullptr ? CurrentApplication->FindDocument(file) : nullptr;
}

TWindow* TApplicationFindWindow(const FSRef& file) {
  return CurrentApplication != nullptr ? CurrentApplication->FindWindow(file) : nullptr;
}

void SendDocumentCommand(TDocument* document, UInt32 commandID, EventTargetRef target) {
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  if (event == nullptr) return;
  HICommand command{};
  command.commandID = commandID;
  Err = SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  Err = SetEventParameter(event, kEventParamDocument, typeVoidPtr, sizeof document, &document);
  Err = SendEventToEventTarget(event, target);
  ReleaseEvent(event);
}

void SendEventToAllDocuments(EventRef event) {
  for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr;
       w = GetNextWindowOfClass(w, kDocumentWindowClass, true)) {
    TWindow* window = GetWindowObject(w);
    if (window == nullptr || window->documents == nullptr) continue;
    CFMutableArrayRef documents = window->documents->documents;
    if (documents == nullptr) continue;
    for (CFIndex i = 0; i < CFArrayGetCount(documents); ++i) {
      auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)));
      SetEventParameter(event, kEventParamDocument, typeVoidPtr, sizeof document, &document);
      Err = SendEventToEventTarget(event, GetWindowEventTarget(w));
    }
  }
}

void SendCommandToAllDocuments(UInt32 commandID) {
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  if (event == nullptr) return;
  HICommand command{};
  command.commandID = commandID;
  SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  SendEventToAllDocuments(event);
  ReleaseEvent(event);
}

void CFPreferencesCopyPropertyList(CFDictionaryRef dictionary) {
  if (dictionary == nullptr) return;
  CFDictionaryApplyFunction(dictionary, CopyValuesToPreferences, nullptr);
  CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
}
