// Navigation dialogs: the dialog records, their runs and callbacks, replies,
// locations, the custom area and the state remembered per preference key.
// The host shows them (NavigationInternal.h).
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "CFStringInternal.h"
#include "EventTargetInternal.h"
#include "NavigationInternal.h"
#include "HIViewRecord.h"

struct __NavDialog {
  int refs = 1;  // the creator's, and one while a run is under way
  bool disposed = false;
  enum State { kCreated, kRunning, kAnswered, kDone } state = kCreated;
  bool sheet = false;
  NavKind kind = NavKind::GetFile;
  NavDialogCreationOptions options{};
  NavEventUPP proc = nullptr;
  void* clientData = nullptr;
  OSType fileType = 0, fileCreator = 0;
  UInt32 documentCount = 0;
  NavAskSaveChangesAction saveChangesAction = kNavSaveChangesOther;
  WindowRef window = nullptr;
  HIViewRef customControl = nullptr;
  CGSize customSize{0, 0};
  std::string location;
  NavAnswer answer;
};

namespace {

const NavPresenter* gPresenter = &kHeadlessNavPresenter;

std::unordered_set<NavDialogRef>& Live() {
  static auto* s = new std::unordered_set<NavDialogRef>;
  return *s;
}

bool IsLive(NavDialogRef d) { return d != nullptr && Live().count(d) != 0 && !d->disposed; }

std::string Text(CFStringRef s) {
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID()) return std::string();
  return __CFStringGetUTF8(s);
}

CFStringRef MakeString(const std::string& utf8) {
  return CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
}

void RetainStrings(NavDialogCreationOptions& o) {
  for (CFStringRef s : {o.clientName, o.windowTitle, o.actionButtonLabel, o.cancelButtonLabel, o.saveFileName,
                        o.message})
    if (s) CFRetain(s);
  if (o.popupExtension) CFRetain(o.popupExtension);
}

void ReleaseStrings(NavDialogCreationOptions& o) {
  for (CFStringRef s : {o.clientName, o.windowTitle, o.actionButtonLabel, o.cancelButtonLabel, o.saveFileName,
                        o.message})
    if (s) CFRelease(s);
  if (o.popupExtension) CFRelease(o.popupExtension);
}

void Unref(NavDialogRef d) {
  if (--d->refs > 0) return;
  Live().erase(d);
  ReleaseStrings(d->options);
  delete d;
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string ParentOf(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : p.substr(0, slash);
}

// --- State per preference key ---------------------------------------------------------

CFStringRef StateKey(UInt32 key) {
  return MakeString("NavDialogState." + std::to_string(key));
}

void LoadState(UInt32 key, std::string* folder, int* width, int* height) {
  if (key == 0) return;
  CFStringRef name = StateKey(key);
  CFPropertyListRef value = CFPreferencesCopyAppValue(name, kCFPreferencesCurrentApplication);
  CFRelease(name);
  if (value == nullptr) return;
  if (CFGetTypeID(value) == CFDictionaryGetTypeID()) {
    auto dict = static_cast<CFDictionaryRef>(value);
    auto folderValue = static_cast<CFStringRef>(CFDictionaryGetValue(dict, CFStringMakeConstantUTF8("Folder")));
    std::string f = Text(folderValue);
    if (IsFolder(f)) *folder = f;
    for (auto [k, out] : {std::pair{CFStringMakeConstantUTF8("Width"), width}, std::pair{CFStringMakeConstantUTF8("Height"), height}}) {
      auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(dict, k));
      SInt32 v = 0;
      if (number && CFGetTypeID(number) == CFNumberGetTypeID() && CFNumberGetValue(number, kCFNumberSInt32Type, &v) &&
          v > 0 && v < 10000)
        *out = int(v);
    }
  }
  CFRelease(value);
}

void SaveState(UInt32 key, const std::string& folder, int width, int height) {
  if (key == 0 || (folder.empty() && width <= 0)) return;
  std::string oldFolder;
  int oldWidth = 0, oldHeight = 0;
  LoadState(key, &oldFolder, &oldWidth, &oldHeight);
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  const std::string f = folder.empty() ? oldFolder : folder;
  if (!f.empty()) {
    CFStringRef s = MakeString(f);
    CFDictionarySetValue(dict, CFStringMakeConstantUTF8("Folder"), s);
    CFRelease(s);
  }
  const SInt32 w = width > 0 ? width : oldWidth, h = height > 0 ? height : oldHeight;
  if (w > 0 && h > 0) {
    CFNumberRef nw = CFNumberCreate(nullptr, kCFNumberSInt32Type, &w);
    CFNumberRef nh = CFNumberCreate(nullptr, kCFNumberSInt32Type, &h);
    CFDictionarySetValue(dict, CFStringMakeConstantUTF8("Width"), nw);
    CFDictionarySetValue(dict, CFStringMakeConstantUTF8("Height"), nh);
    CFRelease(nw);
    CFRelease(nh);
  }
  CFStringRef name = StateKey(key);
  // Written to disk with the application's other preferences when it
  // synchronises them.
  CFPreferencesSetAppValue(name, dict, kCFPreferencesCurrentApplication);
  CFRelease(name);
  CFRelease(dict);
}

// --- Creation ---------------------------------------------------------------------------

OSStatus Create(NavKind kind, const NavDialogCreationOptions* options, NavEventUPP proc, void* clientData,
                NavDialogRef* outDialog) {
  if (outDialog == nullptr) return paramErr;
  *outDialog = nullptr;
  if (options == nullptr) return paramErr;
  if (!EventCoreCheckMainThread("NavCreateDialog")) return paramErr;
  auto* d = new (std::nothrow) __NavDialog;
  if (d == nullptr) return memFullErr;
  d->kind = kind;
  d->options = *options;
  RetainStrings(d->options);
  d->proc = proc;
  d->clientData = clientData;
  // The dialog's window holds the custom area; the hosts never show it.
  Rect bounds{0, 0, 0, 0};
  if (CreateNewWindow(kMovableModalWindowClass, kWindowNoAttributes, &bounds, &d->window) != noErr)
    d->window = nullptr;
  Live().insert(d);
  *outDialog = d;
  return noErr;
}

const char* StandardTitle(NavKind kind) {
  switch (kind) {
    case NavKind::GetFile: return "Open";
    case NavKind::ChooseFile: return "Choose a File";
    case NavKind::ChooseFolder: return "Choose a Folder";
    case NavKind::PutFile: return "Save";
    case NavKind::AskSaveChanges:
    case NavKind::AskReview: return "";
  }
  return "";
}

void Callback(NavDialogRef d, NavEventCallbackMessage message, NavCBRec* record) {
  if (d->proc == nullptr || d->disposed) return;
  d->proc(message, record, d->clientData);
}

NavCBRec MakeRecord(NavDialogRef d) {
  NavCBRec r{};
  r.version = kNavCBRecVersion;
  r.context = d;
  r.window = d->window;
  return r;
}

NavRequest MakeRequest(NavDialogRef d) {
  NavRequest r;
  const NavDialogCreationOptions& o = d->options;
  r.dialog = d;
  r.kind = d->kind;
  r.title = o.windowTitle ? Text(o.windowTitle) : StandardTitle(d->kind);
  r.clientName = Text(o.clientName);
  r.saveFileName = Text(o.saveFileName);
  r.message = Text(o.message);
  r.actionLabel = Text(o.actionButtonLabel);
  r.cancelLabel = Text(o.cancelButtonLabel);
  r.optionFlags = o.optionFlags;
  r.modality = d->sheet ? kWindowModalityWindowModal : kWindowModalityAppModal;
  r.parent = d->sheet ? o.parentWindow : nullptr;
  r.preferenceKey = o.preferenceKey;
  std::string remembered;
  LoadState(o.preferenceKey, &remembered, &r.width, &r.height);
  r.location = !d->location.empty() ? d->location : remembered;
  r.documentCount = d->documentCount;
  r.saveChangesAction = d->saveChangesAction;
  r.dialogWindow = d->window;
  r.customControl = d->customControl;
  r.customSize = d->customSize;
  return r;
}

// Keeps what the dialog may answer: items of the kind that exist.
void Settle(NavDialogRef d, NavAnswer* a) {
  if (!NavKindOffers(d->kind, a->action)) a->action = kNavUserActionCancel;
  if (a->action == kNavUserActionCancel) {
    a->paths.clear();
    a->saveName.clear();
  }
  std::vector<std::string> kept;
  for (const std::string& p : a->paths) {
    if (!Exists(p)) continue;
    const bool folder = IsFolder(p);
    switch (d->kind) {
      case NavKind::GetFile:
      case NavKind::ChooseFile:
        if (folder && !NavIsDocumentPackage(p)) continue;
        break;
      case NavKind::ChooseFolder:
      case NavKind::PutFile:
        if (!folder) continue;
        break;
      default: continue;
    }
    kept.push_back(p);
  }
  a->paths = kept;
  if (d->kind == NavKind::GetFile && !(d->options.optionFlags & kNavAllowMultipleFiles) && a->paths.size() > 1)
    a->paths.resize(1);
  if (d->kind == NavKind::ChooseFile && a->paths.size() > 1) a->paths.resize(1);
  if (d->kind == NavKind::PutFile) {
    if (a->paths.size() > 1) a->paths.resize(1);
    a->replacing = false;
    if (!a->paths.empty() && !a->saveName.empty()) {
      std::string full = a->paths[0];
      if (full.back() != '/') full += '/';
      a->replacing = Exists(full + a->saveName);
    }
  } else {
    a->replacing = false;
  }
}

// The answer arrived: remember where, tell the client, end the run.
void Finish(NavDialogRef d, NavAnswer answer) {
  Settle(d, &answer);
  d->answer = answer;
  d->state = __NavDialog::kAnswered;
  if (answer.action != kNavUserActionCancel) {
    std::string folder;
    if (!answer.paths.empty())
      folder = d->kind == NavKind::PutFile ? answer.paths[0] : ParentOf(answer.paths[0]);
    SaveState(d->options.preferenceKey, folder, answer.width, answer.height);
  } else {
    SaveState(d->options.preferenceKey, std::string(), answer.width, answer.height);
  }
  NavCBRec record = MakeRecord(d);
  record.userAction = answer.action;
  Callback(d, kNavCBUserAction, &record);
  record = MakeRecord(d);
  record.userAction = answer.action;
  Callback(d, kNavCBTerminate, &record);
  d->state = __NavDialog::kDone;
  Unref(d);  // the run's reference
}

}  // namespace

// --- Shared with the hosts ----------------------------------------------------------------

const char* NavKindName(NavKind kind) {
  switch (kind) {
    case NavKind::GetFile: return "getfile";
    case NavKind::ChooseFile: return "choosefile";
    case NavKind::ChooseFolder: return "choosefolder";
    case NavKind::PutFile: return "putfile";
    case NavKind::AskSaveChanges: return "asksavechanges";
    case NavKind::AskReview: return "askreview";
  }
  return "";
}

bool NavKindOffers(NavKind kind, NavUserAction action) {
  if (action == kNavUserActionCancel) return true;
  switch (kind) {
    case NavKind::GetFile: return action == kNavUserActionOpen;
    case NavKind::ChooseFile:
    case NavKind::ChooseFolder: return action == kNavUserActionChoose;
    case NavKind::PutFile: return action == kNavUserActionSaveAs;
    case NavKind::AskSaveChanges:
      return action == kNavUserActionSaveChanges || action == kNavUserActionDontSaveChanges;
    case NavKind::AskReview:
      return action == kNavUserActionReviewDocuments || action == kNavUserActionDiscardDocuments;
  }
  return false;
}

bool NavIsDocumentPackage(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  static const std::string kSuffix = ".qvproj";
  return p.size() > kSuffix.size() && p.compare(p.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0 &&
         p[p.size() - kSuffix.size() - 1] != '/' && IsFolder(p);
}

void NavigationSetPresenter(const NavPresenter* presenter) {
  gPresenter = presenter ? presenter : &kHeadlessNavPresenter;
}

void NavDialogAnswered(NavDialogRef d, const NavAnswer& answer) {
  if (d == nullptr || Live().count(d) == 0 || d->state != __NavDialog::kRunning) return;
  if (d->disposed) return;
  Finish(d, answer);
}

// --- The calls ------------------------------------------------------------------------------

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions) {
  if (outOptions == nullptr) return paramErr;
  std::memset(outOptions, 0, sizeof *outOptions);
  outOptions->version = kNavDialogCreationOptionsVersion;
  outOptions->optionFlags = kNavDefaultNavDlogOptions;
  outOptions->location = Point{-1, -1};
  outOptions->modality = kWindowModalityAppModal;
  return noErr;
}

OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle, NavEventUPP inEventProc,
                                NavPreviewUPP, NavObjectFilterUPP, void* inClientData, NavDialogRef* outDialog) {
  return Create(NavKind::GetFile, inOptions, inEventProc, inClientData, outDialog);
}

OSStatus NavCreateChooseFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle,
                                   NavEventUPP inEventProc, NavPreviewUPP, NavObjectFilterUPP, void* inClientData,
                                   NavDialogRef* outDialog) {
  return Create(NavKind::ChooseFile, inOptions, inEventProc, inClientData, outDialog);
}

OSStatus NavCreateChooseFolderDialog(const NavDialogCreationOptions* inOptions, NavEventUPP inEventProc,
                                     NavObjectFilterUPP, void* inClientData, NavDialogRef* outDialog) {
  return Create(NavKind::ChooseFolder, inOptions, inEventProc, inClientData, outDialog);
}

OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType inFileType, OSType inFileCreator,
                                NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog) {
  OSStatus status = Create(NavKind::PutFile, inOptions, inEventProc, inClientData, outDialog);
  if (status == noErr) {
    (*outDialog)->fileType = inFileType;
    (*outDialog)->fileCreator = inFileCreator;
  }
  return status;
}

OSStatus NavCreateAskSaveChangesDialog(const NavDialogCreationOptions* inOptions, NavAskSaveChangesAction inAction,
                                       NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog) {
  OSStatus status = Create(NavKind::AskSaveChanges, inOptions, inEventProc, inClientData, outDialog);
  if (status == noErr) (*outDialog)->saveChangesAction = inAction;
  return status;
}

OSStatus NavCreateAskReviewDocumentsDialog(const NavDialogCreationOptions* inOptions, UInt32 inDocumentCount,
                                           NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog) {
  // There is nothing to ask about no documents.
  if (inDocumentCount == 0) {
    if (outDialog != nullptr) *outDialog = nullptr;
    return paramErr;
  }
  OSStatus status = Create(NavKind::AskReview, inOptions, inEventProc, inClientData, outDialog);
  if (status == noErr) (*outDialog)->documentCount = inDocumentCount;
  return status;
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
  if (!IsLive(inDialog)) return paramErr;
  if (!EventCoreCheckMainThread("NavDialogRun")) return paramErr;
  NavDialogRef d = inDialog;
  if (d->state != __NavDialog::kCreated) return kNavWrongDialogStateErr;
  d->state = __NavDialog::kRunning;
  ++d->refs;  // the run's, given back in Finish
  const NavDialogCreationOptions& o = d->options;
  d->sheet = o.modality == kWindowModalityWindowModal && o.parentWindow != nullptr && IsValidWindowPtr(o.parentWindow);

  NavCBRec record = MakeRecord(d);
  Callback(d, kNavCBCustomize, &record);
  const int width = record.customRect.right - record.customRect.left;
  const int height = record.customRect.bottom - record.customRect.top;
  if (width > 0 && height > 0) {
    d->customSize = CGSize{CGFloat(width), CGFloat(height)};
    if (d->window) SizeWindow(d->window, SInt16(width), SInt16(height), false);
  }
  record = MakeRecord(d);
  Callback(d, kNavCBStart, &record);
  if (d->disposed) {
    // Disposed from a callback before it showed: nothing more is heard.
    d->state = __NavDialog::kDone;
    Unref(d);
    return noErr;
  }

  const NavRequest request = MakeRequest(d);
  if (d->sheet) {
    if (gPresenter->showSheet(request)) return noErr;
    d->state = __NavDialog::kDone;
    Unref(d);
    return kNavInvalidSystemConfigErr;
  }
  NavAnswer answer;
  gPresenter->runModal(request, &answer);
  if (d->disposed) {
    d->state = __NavDialog::kDone;
    Unref(d);
    return noErr;
  }
  Finish(d, answer);
  return noErr;
}

void NavDialogDispose(NavDialogRef inDialog) {
  if (!IsLive(inDialog)) return;
  NavDialogRef d = inDialog;
  d->disposed = true;
  if (d->state == __NavDialog::kRunning && d->sheet) {
    gPresenter->dismiss(d);
    d->state = __NavDialog::kDone;
    --d->refs;  // the run ends here, unanswered
  }
  if (d->window) {
    WindowRef w = d->window;
    d->window = nullptr;
    DisposeWindow(w);
  }
  d->customControl = nullptr;
  Unref(d);
}

NavUserAction NavDialogGetUserAction(NavDialogRef inDialog) {
  if (inDialog == nullptr || Live().count(inDialog) == 0) return kNavUserActionNone;
  return inDialog->state >= __NavDialog::kAnswered ? inDialog->answer.action : kNavUserActionNone;
}

WindowRef NavDialogGetWindow(NavDialogRef inDialog) { return IsLive(inDialog) ? inDialog->window : nullptr; }

OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply) {
  if (outReply == nullptr) return paramErr;
  std::memset(outReply, 0, sizeof *outReply);
  AEInitializeDesc(&outReply->selection);
  if (inDialog == nullptr || Live().count(inDialog) == 0) return paramErr;
  NavDialogRef d = inDialog;
  if (d->state < __NavDialog::kAnswered || d->kind == NavKind::AskSaveChanges || d->kind == NavKind::AskReview)
    return kNavWrongDialogStateErr;
  outReply->version = kNavReplyRecordVersion;
  OSErr err = AECreateList(nullptr, 0, false, &outReply->selection);
  if (err != noErr) return err;
  long index = 0;
  for (const std::string& p : d->answer.paths) {
    FSRef ref{};
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr) != noErr) continue;
    if (AEPutPtr(&outReply->selection, ++index, typeFSRef, &ref, sizeof ref) != noErr) --index;
  }
  const NavUserAction action = d->answer.action;
  if (d->kind == NavKind::PutFile) {
    outReply->saveFileName = MakeString(d->answer.saveName);
    outReply->replacing = d->answer.replacing;
    outReply->validRecord = action == kNavUserActionSaveAs && index == 1 && !d->answer.saveName.empty();
  } else {
    outReply->validRecord = action != kNavUserActionCancel && index > 0;
  }
  return noErr;
}

OSStatus NavDisposeReply(NavReplyRecord* inReply) {
  if (inReply == nullptr) return paramErr;
  AEDisposeDesc(&inReply->selection);
  if (inReply->saveFileName) CFRelease(inReply->saveFileName);
  inReply->saveFileName = nullptr;
  inReply->validRecord = false;
  return noErr;
}

OSStatus NavCompleteSave(const NavReplyRecord* inReply, NavTranslationOptions) {
  if (inReply == nullptr || !inReply->validRecord) return paramErr;
  return noErr;
}

OSStatus NavCustomControl(NavDialogRef inDialog, NavCustomControlMessage inSelector, void* ioParms) {
  if (!IsLive(inDialog)) return paramErr;
  NavDialogRef d = inDialog;
  switch (inSelector) {
    case kNavCtlSetLocation: {
      auto* desc = static_cast<AEDesc*>(ioParms);
      if (desc == nullptr) return paramErr;
      FSRef ref{};
      if (AEGetDescData(desc, &ref, sizeof ref) != noErr) return kNavCustomControlMessageFailedErr;
      UInt8 path[4096];
      if (desc->descriptorType != typeFSRef || FSRefMakePath(&ref, path, sizeof path) != noErr ||
          !IsFolder(reinterpret_cast<char*>(path)))
        return kNavCustomControlMessageFailedErr;
      d->location = reinterpret_cast<char*>(path);
      return noErr;
    }
    case kNavCtlAddControl: {
      auto control = static_cast<HIViewRef>(ioParms);
      if (control == nullptr || !ViewIsLive(control) || d->window == nullptr) return paramErr;
      HIViewRef root = HIViewGetRoot(d->window);
      OSStatus status = HIViewAddSubview(root, control);
      if (status != noErr) return status;
      d->customControl = control;
      HIRect frame{};
      HIViewGetFrame(control, &frame);
      frame.origin = CGPoint{0, 0};
      HIViewSetFrame(control, &frame);
      if (d->customSize.width < frame.size.width || d->customSize.height < frame.size.height) {
        d->customSize.width = std::max(d->customSize.width, frame.size.width);
        d->customSize.height = std::max(d->customSize.height, frame.size.height);
        SizeWindow(d->window, SInt16(d->customSize.width), SInt16(d->customSize.height), false);
      }
      return noErr;
    }
  }
  return kNavInvalidCustomControlMessageErr;
}
