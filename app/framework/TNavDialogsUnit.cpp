#include "TNavDialogsUnit.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "AppleEvents.h"
#include "ApplicationFramework.h"
#include "CFString.h"
#include "HIView.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TViewUnit.h"
#include "TWindowUnit.h"

namespace {

// The name as typed, in UTF-8: every script and length reaches the file.
std::string CFStringToUTF8(CFStringRef text) {
  if (text == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(text);
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used);
  std::string bytes(size_t(used), '\0');
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(bytes.data()), used, &used);
  return bytes;
}

constexpr NavDialogOptionFlags kTNavOptionFlags = 0x11F4;
constexpr OSType kUnknownType = 0x3F3F3F3F;  // four question marks

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096];
  if (FSRefMakePath(&ref, path, sizeof path) != noErr) return {};
  return reinterpret_cast<const char*>(path);
}

std::string UTF8(CFStringRef text) {
  if (text == nullptr) return {};
  const CFIndex length = CFStringGetLength(text);
  std::string out(size_t(length) * 4 + 1, '\0');
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(out.data()), CFIndex(out.size()), &used);
  out.resize(size_t(used));
  return out;
}

OSStatus StatusOfErrno(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return dskFulErr;
    case EACCES:
    case EPERM:
      return permErr;
    case EROFS:
      return wPrErr;
    case ENOENT:
    case ENOTDIR:
      return dirNFErr;
  }
  return ioErr;
}

void SendCloseEvent(WindowRef window) {
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event) != noErr) return;
  SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
  Err = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
}

// Each 'fsrf' item of the reply's selection that can be read, in order.
template <typename Each>
void ForEachSelected(NavReplyRecord& reply, Each each) {
  long count = 0;
  if (AECountItems(&reply.selection, &count) != noErr) return;
  for (long i = 1; i <= count; ++i) {
    FSRef ref{};
    AEKeyword keyword = 0;
    DescType type = 0;
    Size size = 0;
    if (AEGetNthPtr(&reply.selection, i, typeFSRef, &keyword, &type, &ref, sizeof ref, &size) == noErr) each(ref);
  }
}

}  // namespace

TNavDialogs::TNavDialogs(const TNavDialogs& other)
    : TCloneable<TNavDialogs>(other),
      options(other.options),
      eventProc(other.eventProc),
      parent(other.parent),
      document(other.document),
      documents(other.documents),
      action(other.action),
      defaultLocation(other.defaultLocation),
      customNib(other.customNib),
      customWindowName(other.customWindowName) {
  if (documents != nullptr) CFRetain(documents);
  // The options' strings belong to the dialog that was made from them.
  options.windowTitle = nullptr;
  options.saveFileName = nullptr;
  options.clientName = nullptr;
}

void TNavDialogs::SetParent(WindowRef window) { parent = window; }
void TNavDialogs::SetAction(UInt32 inAction) { action = inAction; }
void TNavDialogs::SetDefaultLocation(const FSRef& location) { defaultLocation = location; }

void TNavDialogs::SetActionWithEvent(EventRef event) {
  Boolean quitting = false;
  if (event != nullptr &&
      GetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, nullptr, sizeof quitting, nullptr,
                        &quitting) == noErr &&
      quitting)
    action = kTNavActionQuit;
  else if (event != nullptr && GetEventKind(event) == kEventWindowClose)
    action = kTNavActionCloseEvent;
  else
    action = kTNavActionClose;
}

void TNavDialogs::GetDefaultDialogCreationOptions() {
  if (eventProc == nullptr) eventProc = NewNavEventUPP(NavEventHandler);
  Err = NavGetDefaultDialogCreationOptions(&options);
  if (parent != nullptr) options.parentWindow = parent;
  options.modality = options.parentWindow != nullptr ? kWindowModalityWindowModal : kWindowModalityAppModal;
  options.optionFlags = kTNavOptionFlags;
}

void TNavDialogs::Run(OSStatus created, Boolean setLocation) {
  Err = created;
  // The dialog keeps its own copies of the strings.
  for (CFStringRef* s : {&options.windowTitle, &options.saveFileName}) {
    if (*s != nullptr) CFRelease(*s);
    *s = nullptr;
  }
  if (created != noErr || dialog == nullptr) {
    dialog = nullptr;
    Release();  // nothing will call back: the object ends here
    return;
  }
  if (setLocation && FSValidFSRef(defaultLocation)) {
    AEDesc location{};
    if (AECreateDesc(typeFSRef, &defaultLocation, sizeof defaultLocation, &location) == noErr) {
      NavCustomControl(dialog, kNavCtlSetLocation, &location);
      AEDisposeDesc(&location);
    }
  }
  Err = NavDialogRun(dialog);
}

void TNavDialogs::OpenDialog() {
  GetDefaultDialogCreationOptions();
  options.preferenceKey = 3;
  options.windowTitle = CFStringCreateWithCString(nullptr, "Open", kCFStringEncodingUTF8);
  Run(NavCreateGetFileDialog(&options, nullptr, eventProc, nullptr, nullptr, this, &dialog), true);
}

void TNavDialogs::SaveDialog(TDocument* inDocument) {
  GetDefaultDialogCreationOptions();
  options.preferenceKey = 5;
  options.windowTitle = CFStringCreateWithCString(nullptr, "Save", kCFStringEncodingUTF8);
  document = inDocument;
  if (document != nullptr) options.saveFileName = CFStringCreateCopy(nullptr, CFSTR(document->name));
  Run(NavCreateAskSaveChangesDialog(&options, kNavSaveChangesClosingDocument, eventProc, this, &dialog), false);
}

void TNavDialogs::SaveAsDialog(TDocument* inDocument) {
  GetDefaultDialogCreationOptions();
  options.preferenceKey = 4;
  options.windowTitle = CFStringCreateWithCString(nullptr, "Save As", kCFStringEncodingUTF8);
  document = inDocument;
  if (document != nullptr) options.saveFileName = CFStringCreateCopy(nullptr, CFSTR(document->name));
  // A document with a file is saved as another beside it by default.
  const Boolean beside = document != nullptr && FSValidFSRef(document->file);
  if (beside) defaultLocation = FSGetParent(document->file);
  Run(NavCreatePutFileDialog(&options, kUnknownType, kUnknownType, eventProc, this, &dialog), beside);
}

void TNavDialogs::NewFileDialog() {
  GetDefaultDialogCreationOptions();
  options.preferenceKey = 10;
  options.windowTitle = CFStringCreateWithCString(nullptr, "New File", kCFStringEncodingUTF8);
  Run(NavCreatePutFileDialog(&options, kUnknownType, kUnknownType, eventProc, this, &dialog), true);
}

void TNavDialogs::ChooseFolderDialog() {
  GetDefaultDialogCreationOptions();
  options.preferenceKey = 2;
  options.windowTitle = CFStringCreateWithCString(nullptr, "Choose Folder", kCFStringEncodingUTF8);
  Run(NavCreateChooseFolderDialog(&options, eventProc, nullptr, this, &dialog), true);
}

void TNavDialogs::HandleSingleResult(const FSRef& file) { SendOpenDocumentCommand(file, true); }

void TNavDialogs::ReleaseOwner() {
  TWindow* window = parent != nullptr ? GetWindowObject(parent) : nullptr;
  if (document != nullptr && document->owner != nullptr) {
    if (window != nullptr) {
      // Removes it from the window, lets its pane (or the window) go and
      // carries the interrupted close on.
      TWindowReleaseDocument(window, document, action);
      document = nullptr;
      return;
    }
    if (parent != nullptr) RemoveDocumentFromList(document, parent);
    document->owner->ReleaseViewObject();
    document = nullptr;
  }
  if ((action == kTNavActionQuit || action == kTNavActionCloseEvent) && parent != nullptr &&
      IsValidWindowPtr(parent))
    SendCloseEvent(parent);
}

void TNavDialogs::Release() {
  if (eventProc != nullptr) DisposeNavEventUPP(eventProc);
  eventProc = nullptr;
  if (customWindow != nullptr) ReleaseWindow(customWindow);
  customWindow = nullptr;
  if (documents != nullptr) CFRelease(documents);
  documents = nullptr;
  for (CFStringRef* s : {&options.windowTitle, &options.saveFileName}) {
    if (*s != nullptr) CFRelease(*s);
    *s = nullptr;
  }
  Free();
}

SInt32 TNavDialogs::SaveDocumentAs(const FSRef& folder, CFStringRef name) {
  if (document == nullptr) return paramErr;
  const std::string folderPath = PathOf(folder);
  const std::string leaf = UTF8(name);
  OSStatus status = noErr;
  if (folderPath.empty()) status = dirNFErr;
  else if (leaf.empty() || leaf == "." || leaf == ".." || leaf.find('/') != std::string::npos) status = bdNamErr;
  const std::string target = folderPath + "/" + leaf;
  const FSRef previous = document->file;
  // The document is written over the target at once, as every save is: a
  // file that is replaced keeps its mode and stays whole until the new text
  // is, and a link is written through. A new file is made first (0666 less
  // the umask) and taken away again when the save fails.
  std::string created;
  FSRef ref{};
  if (status == noErr) {
    status = FSPathMakeRef(reinterpret_cast<const UInt8*>(target.c_str()), &ref, nullptr);
    if (status == fnfErr) {
      const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0) {
        status = StatusOfErrno(errno);
      } else {
        close(fd);
        created = target;
        status = FSPathMakeRef(reinterpret_cast<const UInt8*>(target.c_str()), &ref, nullptr);
      }
    }
  }
  if (status == noErr) {
    FSCatalogInfo info{};
    auto* finder = reinterpret_cast<FileInfo*>(info.finderInfo);
    finder->fileType = document->fileType;
    finder->fileCreator = ApplicationSignature;
    FSSetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info);
    document->file = ref;
    document->saveOption = action;
    status = document->Save();
  }
  if (status != noErr && !created.empty()) std::remove(created.c_str());
  if (status != noErr) {
    document->file = previous;
    if (!document->modified) document->SetModifiedState(true);
    Err = status;
    UserNotificationDialog(Str255("The document \"") + document->name + "\" could not be saved. " +
                           SaveFailureReason(status));
    return status;
  }
  return noErr;
}

void TNavDialogs::HandleUserAction(NavDialogRef inDialog) {
  const NavUserAction userAction = NavDialogGetUserAction(inDialog);
  Boolean stopQuit = userAction == kNavUserActionCancel;
  Boolean chained = false;
  switch (userAction) {
    case kNavUserActionOpen:
    case kNavUserActionChoose: {
      NavReplyRecord reply{};
      if (NavDialogGetReply(inDialog, &reply) != noErr) break;
      ForEachSelected(reply, [&](const FSRef& ref) {
        if (userAction == kNavUserActionOpen)
          HandleSingleResult(ref);
        else
          HandleChooseResult(ref);
      });
      NavDisposeReply(&reply);
      break;
    }
    case kNavUserActionSaveAs: {
      NavReplyRecord reply{};
      if (NavDialogGetReply(inDialog, &reply) != noErr) break;
      if (reply.validRecord) {
        FSRef folder{};
        ForEachSelected(reply, [&](const FSRef& ref) {
          if (!FSValidFSRef(folder)) folder = ref;
        });
        SInt32 status = noErr;
        if (document != nullptr) {
          status = SaveDocumentAs(folder, reply.saveFileName);
          if (status == noErr) {
            document->SavedAs();
            // Named as the file now is, whatever its length or script.
            document->name = FSGetDisplayName(document->file);
            // The close that asked goes on now that the document is saved.
            if (action == kTNavActionClose || action == kTNavActionCloseEvent) ReleaseOwner();
          } else {
            stopQuit = true;
          }
        }
        if (status == noErr) HandleNewFile(folder, CFStringToUTF8(reply.saveFileName));
        Err = NavCompleteSave(&reply, kNavTranslateInPlace);
      }
      NavDisposeReply(&reply);
      break;
    }
    case kNavUserActionSaveChanges:
      if (document == nullptr) break;
      if (FSValidFSRef(document->file)) {
        document->saveOption = action;
        if (SaveDocumentReporting(document) == noErr)
          ReleaseOwner();
        else
          stopQuit = true;  // the document stays, unsaved: nothing goes on
      } else if (auto* copy = static_cast<TNavDialogs*>(Clone())) {
        // Untitled: a Save As sheet follows this one, on a copy, since this
        // object ends with its sheet. The copy carries a quit on.
        chained = true;
        copy->SaveAsDialog(document);
      }
      break;
    case kNavUserActionDontSaveChanges:
      ReleaseOwner();
      break;
    case kNavUserActionDiscardDocuments: {
      const CFIndex count = documents != nullptr ? CFArrayGetCount(documents) : 0;
      for (CFIndex i = 0; i < count; ++i) {
        auto* each = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)));
        if (each == nullptr || FSValidFSRef(each->file) || each->owner == nullptr) continue;
        TView* owner = each->owner;
        each->SetOwner(nullptr);
        owner->ReleaseViewObject();
      }
      break;
    }
  }
  if (stopQuit) {
    ApplicationQuitting = false;
    // The window stays: the list it noted for its close is not the one it
    // will close with.
    if (TWindow* window = parent != nullptr && IsValidWindowPtr(parent) ? GetWindowObject(parent) : nullptr;
        window != nullptr && window->documentSnapshot != nullptr) {
      CFRelease(window->documentSnapshot);
      window->documentSnapshot = nullptr;
    }
  } else if (ApplicationQuitting && !chained)
    SendHICommand(GetApplicationEventTarget(), kHICommandQuit);
}

void TNavDialogs::NavEventHandler(NavEventCallbackMessage message, NavCBRecPtr record, void* data) {
  auto* self = static_cast<TNavDialogs*>(data);
  if (self == nullptr || record == nullptr) return;
  switch (message) {
    case kNavCBCustomize: {
      if (self->customWindowName.empty() || self->customNib == nullptr) break;
      if (self->customWindow == nullptr)
        Err = CreateWindowFromNib(self->customNib, CFSTR(self->customWindowName), &self->customWindow);
      HIViewRef area = self->customWindow != nullptr
                           ? HIViewFind(kTNavCustomAreaID, kTNavCustomAreaSignature, self->customWindow)
                           : nullptr;
      if (area == nullptr) break;
      HIRect bounds{};
      HIViewGetBounds(area, &bounds);
      Rect& custom = record->customRect;
      if (custom.right - custom.left < SInt16(bounds.size.width)) custom.right = SInt16(custom.left + bounds.size.width);
      if (custom.bottom - custom.top < SInt16(bounds.size.height))
        custom.bottom = SInt16(custom.top + bounds.size.height);
      break;
    }
    case kNavCBStart:
      if (self->customWindow != nullptr) {
        if (HIViewRef area = HIViewFind(kTNavCustomAreaID, kTNavCustomAreaSignature, self->customWindow)) {
          HIViewAddSubview(HIViewGetRoot(self->customWindow), area);
          Err = NavCustomControl(record->context, kNavCtlAddControl, area);
        }
        ReleaseWindow(self->customWindow);
        self->customWindow = nullptr;
      }
      break;
    case kNavCBTerminate:
      NavDialogDispose(record->context);
      self->dialog = nullptr;
      self->Release();
      break;
    case kNavCBUserAction:
      self->HandleUserAction(record->context);
      break;
  }
}

void TNavAskSaveChanges(WindowRef window, TDocument* document, UInt32 action) {
  auto* dialogs = new TNavDialogs();
  dialogs->SetParent(window);
  dialogs->SetAction(action);
  dialogs->SaveDialog(document);
}

void TNavSaveDocumentAs(WindowRef window, TDocument* document) {
  auto* dialogs = new TNavDialogs();
  dialogs->SetParent(window);
  dialogs->SaveAsDialog(document);
}
