#include "TWindowUnit.h"

#include <unordered_set>
#include <vector>

#include "ApplicationFramework.h"
#include "Dialogs.h"
#include "HIView.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"
#include "TControlUnit.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "THIToolbarUnit.h"
#include "TNavDialogsUnit.h"
#include "TPreferencePaneUnit.h"
#include "TPreferencesUnit.h"

namespace {

// Live window objects, so that a reference constant is taken for a TWindow
// only when it is one.
std::unordered_set<TWindow*>& LiveWindows() {
  static auto* windows = new std::unordered_set<TWindow*>;
  return *windows;
}

const Str63 kWindowLayoutPrefix("TWindowLayout.");

UInt32 ActionOfEvent(EventRef event) {
  if (event == nullptr) return kTWindowActionClose;
  Boolean quit = false;
  if (GetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, nullptr, sizeof quit, nullptr, &quit) ==
          noErr &&
      quit)
    return kTWindowActionQuit;
  if (GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowClose)
    return kTWindowActionCloseEvent;
  return kTWindowActionClose;
}

void SendCloseEvent(WindowRef window) {
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event) != noErr) return;
  SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
  Err = SendEventToEventTarget(event, GetWindowEventTarget(window));
  ReleaseEvent(event);
}

}  // namespace

// A sentence a user can act on; never a bare error number.
Str255 SaveFailureReason(SInt32 status) {
  switch (status) {
    case dskFulErr:
      return "The disk is full.";
    case permErr:
    case afpAccessDenied:
      return "You do not have permission to write in this folder.";
    case wrPermErr:
    case fLckdErr:
      return "You do not have permission to change the file.";
    case wPrErr:
    case vLckdErr:
      return "The disk is read-only.";
    case fnfErr:
    case dirNFErr:
      return "The file or its folder could not be found.";
    case bdNamErr:
    case errFSNameTooLong:
      return "The name is too long or not allowed in this folder.";
    case notAFileErr:
      return "A folder has that name.";
    case memFullErr:
      return "There is not enough memory.";
    case kTECUnmappableElementErr:
      return "Some characters cannot be written in the document's text encoding.";
    default:
      return "The disk could not be written.";
  }
}

namespace {

struct PendingSaveReport {
  int depth = 0;
  std::vector<Str255> names;
  SInt32 status = noErr;
};
PendingSaveReport pendingReport;

void ShowFilesNotSaved(const std::vector<Str255>& names, SInt32 status) {
  Str255 list;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += i + 1 == names.size() ? " and " : ", ";
    list += Str255("\"") + names[i] + "\"";
  }
  UserNotificationDialog(Str255(names.size() == 1 ? "The file " : "The files ") + list + " could not be saved. " +
                         SaveFailureReason(status));
}

}  // namespace

void ReportFileNotSaved(const Str255& fileName, SInt32 status) {
  if (status == noErr || status == userCanceledErr) return;
  if (pendingReport.depth == 0) {
    ShowFilesNotSaved({fileName}, status);
    return;
  }
  for (const Str255& name : pendingReport.names)
    if (name == fileName) return;
  pendingReport.names.push_back(fileName);
  if (pendingReport.status == noErr) pendingReport.status = status;
}

void BeginFileSaveReport() { ++pendingReport.depth; }

void EndFileSaveReport() {
  if (pendingReport.depth == 0 || --pendingReport.depth > 0) return;
  std::vector<Str255> names;
  names.swap(pendingReport.names);
  const SInt32 status = pendingReport.status;
  pendingReport.status = noErr;
  if (!names.empty()) ShowFilesNotSaved(names, status);
}

SInt32 SaveDocumentReporting(TDocument* document) {
  // Another program's change to the file is not written over unasked.
  if (FSValidFSRef(document->file) && FileChangedSince(document->file, document->diskStamp)) {
    switch (AskAboutChangedFile(document)) {
      case kChangedFileOverwrite:
        break;
      case kChangedFileReload:
        return Err = document->Open();
      case kChangedFileCancel:
        return Err = userCanceledErr;
    }
  }
  const SInt32 status = document->Save();
  Err = status;
  if (status != noErr) {
    if (!document->modified) document->SetModifiedState(true);
    // The user chose not to save (asked why it could not be as it was): nothing to report.
    if (status == userCanceledErr) return status;
    UserNotificationDialog(Str255("The document \"") + document->name + "\" could not be saved. " +
                           SaveFailureReason(status));
  }
  return status;
}

namespace {

void NavAskSaveChanges(TWindow* window, TDocument* document, UInt32 action) {
  TNavAskSaveChanges(window->window, document, action);
}

void NavSaveDocumentAs(TWindow* window, TDocument* document) { TNavSaveDocumentAs(window->window, document); }

}  // namespace

TWindowAskSaveChangesProc TWindowAskSaveChanges = NavAskSaveChanges;
TWindowSaveAsProc TWindowSaveDocumentAs = NavSaveDocumentAs;
namespace {

// The identifier is known from the start: items appended before the window
// exists derive theirs from it.
THIToolbar* MakeToolbar(const Str255& identifier, UInt32) {
  auto* toolbar = new THIToolbar();
  toolbar->Identifier = identifier;
  return toolbar;
}
void BuildToolbar(THIToolbar* toolbar, WindowRef window, const Str255& identifier, UInt32 value) {
  toolbar->Create(window, identifier, value);
}
void ReleaseToolbar(THIToolbar* toolbar) { toolbar->Release(); }

}  // namespace

TWindowToolbarProcs TWindowToolbar = {MakeToolbar, BuildToolbar, ReleaseToolbar};

void TWindowReleaseDocument(TWindow* window, TDocument* document, UInt32 action) {
  WindowRef w = window->window;
  TView* owner = document->owner;
  RemoveDocumentFromList(document, w);
  if (owner != nullptr && owner != window) {
    owner->ReleaseViewObject();  // its pane closes
  } else {
    // Only the window shows it: it goes now, and the window closes unless
    // other documents still need an answer.
    document->Release();
    if (action == kTWindowActionClose) {
      window->HandleCloseCommand();
      return;
    }
  }
  if ((action == kTWindowActionQuit || action == kTWindowActionCloseEvent) && IsValidWindowPtr(w)) SendCloseEvent(w);
}

// ---------------------------------------------------------------------------

namespace {

OSStatus HandleWindowEvents(EventHandlerCallRef, EventRef event, void* userData) {
  auto* object = static_cast<TWindow*>(userData);
  if (GetEventClass(event) == kEventClassWindow) {
    switch (GetEventKind(event)) {
      case kEventWindowClose:
        return object->HandleCloseEvent(event);
      case kEventWindowClosed:
        if (!object->closedCalled) {
          object->closedCalled = true;
          object->Closed();
        }
        return eventNotHandledErr;
      case kEventWindowDispose:
        object->Release();
        return eventNotHandledErr;
    }
  }
  return object->HandleEvent(event);
}

}  // namespace

void TWindow::Create(const Str63& name, IBNibRef inNib) {
  nib = inNib;
  Err = CreateWindowFromNib(nib, CFSTR(name), &window);
  if (window == nullptr) {
    SetClassString("TWindow");
    return;  // unusable: nothing to bind
  }
  if (parent != nullptr) {
    Err = SetWindowClass(window, kSheetWindowClass);
    Err = ChangeWindowAttributes(window, kWindowNoTitleBarAttribute, 0);
  }
  Err = SetAutomaticControlDragTrackingEnabledForWindow(window, true);
  SetViewObject(reinterpret_cast<HIObjectRef>(window));
  SetClassString("TWindow");
  InstallCommandHandler(window);
  SetPriority(10);
  SetWRefCon(window, SRefCon(this));
  LiveWindows().insert(this);
  SetPortWindowPort(window);
  documents = new TDocumentList();
  documents->Create();
  TWindowSetProperty(kTWindowDocumentListTag, documents, kObjectReferenceSize, window);
  if (toolbar != nullptr && TWindowToolbar.build != nullptr)
    TWindowToolbar.build(toolbar, window, toolbarIdentifier, toolbarValue);
  static const EventTypeSpec kWindowEvents[] = {{kEventClassWindow, kEventWindowClose},
                                                {kEventClassWindow, kEventWindowClosed},
                                                {kEventClassWindow, kEventWindowDispose}};
  Err = InstallEventHandler(GetWindowEventTarget(window), HandleWindowEvents, 3, kWindowEvents, this, &windowHandler);
  Rect bounds{};
  Err = GetWindowBounds(window, kWindowStructureRgn, &bounds);
  if (left > 0) bounds.left = SInt16(left);
  if (top > 0) bounds.top = SInt16(top);
  if (width > 0) bounds.right = SInt16(bounds.left + SInt32(width));
  if (height > 0) bounds.bottom = SInt16(bounds.top + SInt32(height));
  Err = SetWindowBounds(window, kWindowStructureRgn, &bounds);
  if (preferences != nullptr && !preferenceKey.empty()) RestoreLayout();
  if ((options & kTWindowOptionsAutoManagePreferences) && preferences != nullptr)
    TPreferencePaneApply(HIViewGetRoot(window), preferences);
  Err = SetWindowModified(window, false);
}

void TWindow::SetOptions(TWindowOptions inOptions) { options = inOptions; }
void TWindow::SetPriority(SInt16 inPriority) { priority = inPriority; }
void TWindow::SetParent(WindowRef inParent) { parent = inParent; }
void TWindow::SetPreferences(TPreferenceHandler* handler) { preferences = handler; }
void TWindow::SetPreferenceKey(const Str63& key) { preferenceKey = key; }
void TWindow::SetTransitionEffect(UInt32 effect) { transitionEffect = effect; }
void TWindow::SetLocation(SInt16 inLeft, SInt16 inTop) {
  left = inLeft;
  top = inTop;
}
void TWindow::SetSize(SInt16 inWidth, SInt16 inHeight) {
  width = inWidth;
  height = inHeight;
}

void TWindow::CreateToolbar(const Str255& identifier, UInt32 value) {
  if (toolbar != nullptr || TWindowToolbar.make == nullptr) return;
  toolbarIdentifier = identifier;
  toolbarValue = value;
  toolbar = TWindowToolbar.make(identifier, value);
}

void TWindow::SelectViewObject() { SelectWindow(window); }

void TWindow::ReleaseViewObject() { Remove(); }

void TWindow::Remove() {
  SInt32 status = 0;
  Close(status);
}

namespace {

bool IsSheet(WindowRef window) {
  WindowClass windowClass = 0;
  return GetWindowClass(window, &windowClass) == noErr && windowClass == kSheetWindowClass;
}

TransitionWindowOptions TransitionOptions(WindowRef window) {
  TransitionWindowOptions transition{};
  transition.version = 0;
  transition.duration = kEventDurationSecond / 6;
  transition.window = window;
  transition.userData = nullptr;
  return transition;
}

}  // namespace

void TWindow::Show() {
  if (IsSheet(window)) {
    Err = ShowSheetWindow(window, parent);
  } else if (transitionEffect != 0) {
    TransitionWindowOptions transition = TransitionOptions(window);
    Err = TransitionWindowWithOptions(window, transitionEffect, kWindowShowTransitionAction, nullptr, false,
                                      &transition);
  } else {
    ShowWindow(window);
  }
  Err = HIViewAdvanceFocus(HIViewGetRoot(window), 0);
}

void TWindow::Hide() {
  if (IsSheet(window)) {
    Err = HideSheetWindow(window);
  } else if (transitionEffect != 0) {
    TransitionWindowOptions transition = TransitionOptions(window);
    Err = TransitionWindowWithOptions(window, transitionEffect, kWindowHideTransitionAction, nullptr, false,
                                      &transition);
  } else {
    HideWindow(window);
  }
}

void TWindow::Close(SInt32& status) {
  status = noErr;
  WindowRef w = window;
  const Boolean quitting = ApplicationQuitting;
  TApplication* application = CurrentApplication;
  if (application != nullptr) application->WindowClosing(this);
  if (w != nullptr && IsWindowVisible(w)) {
    if (quitting)
      HideWindow(w);
    else
      Hide();
  }
  // The closed hook runs here: the handler that would hear the window's
  // closed event goes next.
  if (!closedCalled) {
    closedCalled = true;
    Closed();
  }
  if (windowHandler != nullptr) Err = RemoveEventHandler(windowHandler);
  windowHandler = nullptr;
  if ((options & kTWindowOptionsAutoManagePreferences) && preferences != nullptr && w != nullptr)
    TPreferencePaneRetrieve(HIViewGetRoot(w), preferences);
  if ((options & kTWindowOptionsSaveDocumentsPrivate) && preferences != nullptr) {
    if (documentSnapshot == nullptr && documents != nullptr) documentSnapshot = documents->CopyList();
    SaveDocumentList(documentSnapshot);
    if (documentSnapshot != nullptr) CFRelease(documentSnapshot);
    documentSnapshot = nullptr;
  }
  if (preferences != nullptr && !preferenceKey.empty() && w != nullptr) SaveLayout();
  // The object and everything bound to the window go first; the window
  // itself last, so nothing touches a released window.
  Release();
  if (w != nullptr) ReleaseWindow(w);
  if (application != nullptr && application == CurrentApplication) application->WindowClosed();
  if (quitting) SendHICommand(GetApplicationEventTarget(), kHICommandQuit);
}

SInt32 TWindow::Closing(EventRef event) {
  SInt32 status = eventNotHandledErr;
  // The list as the user asked to close: the save questions may let go of
  // documents before the window goes.
  if ((((options & kTWindowOptionsSaveDocumentsPrivate) && preferences != nullptr) ||
       (options & kTWindowOptionsSaveDocumentsApplication)) &&
      documents != nullptr) {
    if (documentSnapshot != nullptr) CFRelease(documentSnapshot);
    documentSnapshot = documents->CopyList();
  }
  if (documents != nullptr && documents->ContainsDirtyDocuments()) {
    status = noErr;
    AskAboutDirtyDocuments(event);  // may close the window: nothing follows
  }
  return status;
}

void TWindow::AskAboutDirtyDocuments(EventRef event) {
  CFArrayRef dirty = documents->GetDirtyDocuments();
  const CFIndex count = CFArrayGetCount(dirty);
  if (count == 1) {
    auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(dirty, 0)));
    CFRelease(dirty);
    TWindowAskSaveChanges(this, document, ActionOfEvent(event));
    return;
  }
  if (count == 0) {
    CFRelease(dirty);
    return;
  }
  EventRef review = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &review);
  if (review == nullptr) {
    CFRelease(dirty);
    return;
  }
  HICommand command{};
  command.commandID = kHICommandReviewDocuments;
  SetEventParameter(review, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  TWindow* self = this;
  SetEventParameter(review, kEventParamReviewWindow, typeWindowRef, sizeof self, &self);
  if (event != nullptr) SetEventParameter(review, kEventParamReviewEvent, typeEventRef, sizeof event, &event);
  SetEventParameter(review, kEventParamReviewDocuments, typeCFTypeRef, sizeof dirty, &dirty);
  // The application takes the array over when it handles the command.
  const OSStatus status = SendEventToEventTarget(review, GetApplicationEventTarget());
  if (status == eventNotHandledErr) CFRelease(dirty);
  ReleaseEvent(review);
}

void TWindow::SaveLayout() {
  WindowLayoutInfo info{};
  Rect bounds{};
  Err = GetWindowBounds(window, kWindowStructureRgn, &bounds);
  info.top = bounds.top;
  info.left = bounds.left;
  info.bottom = bounds.bottom;
  info.right = bounds.right;
  preferences->SetDataValue(kWindowLayoutPrefix + preferenceKey, &info, sizeof info);
}

void TWindow::RestoreLayout() {
  WindowLayoutInfo info{};
  preferences->CopyDataValue(kWindowLayoutPrefix + preferenceKey, &info, sizeof info);
  if (info.top <= 0) return;
  const Rect bounds = {info.top, info.left, info.bottom, info.right};
  Err = SetWindowBounds(window, kWindowStructureRgn, &bounds);
}

Str255 TWindow::DocumentListKey() const { return preferenceKey + "." + "DocumentList"; }

void TWindow::AppendDocumentList(CFTypeRef value) {
  if (preferences != nullptr) preferences->SetArrayValue(DocumentListKey(), value);
}

Boolean TWindow::SaveDocumentList(CFArrayRef list) {
  if (preferences == nullptr) return false;
  preferences->RemoveValue(DocumentListKey());
  // No list (an empty window) stores nothing.
  const CFIndex count = list != nullptr ? CFArrayGetCount(list) : 0;
  for (CFIndex i = 0; i < count; ++i) AppendDocumentList(CFArrayGetValueAtIndex(list, i));
  return false;
}

void TWindow::RestoreDocumentList() {
  if (!(options & kTWindowOptionsSaveDocumentsPrivate) || preferences == nullptr) return;
  CFTypeRef list = preferences->GetTypeValue(DocumentListKey());
  if (list == nullptr) return;
  if (CFGetTypeID(list) == CFArrayGetTypeID()) OpenDocumentList(static_cast<CFArrayRef>(list));
  CFRelease(list);
}

void TWindow::SetDocument(TDocument* document) { TWindowSetDocument(document, window); }

void TWindow::AppendDocument(TDocument* document) {
  document->SetOwner(this);
  SetDocument(document);
  documents->Append(document);
}

void TWindow::AddEventType(UInt32 eventClass, UInt32 eventKind) {
  const EventTypeSpec type = {eventClass, eventKind};
  Err = AddEventTypesToHandler(windowHandler, 1, &type);
}

void TWindow::SetProperty(OSType tag, const void* value, ByteCount size) {
  TWindowSetProperty(tag, value, size, window);
}

void TWindow::GetProperty(OSType tag, void*& value) { TWindowGetProperty(tag, value, window); }

void TWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TView::ProcessCommand(command, event, result);
  switch (command.commandID) {
    case kHICommandTWindowClose:
      result = HandleCloseCommand();
      return;
    case kHICommandTWindowSave:
      result = HandleSaveCommand();
      return;
    case kHICommandSaveAs:
      if (TDocument* active = documents != nullptr ? documents->GetActive() : nullptr) {
        TWindowSaveDocumentAs(this, active);
        result = noErr;
      }
      return;
    case kHICommandTWindowRevert:
      result = HandleRevertCommand();
      return;
    case kHICommandUpdateModifiedState:
      UpdateModifiedState();
      return;
    case kHICommandUpdateWindowToolbar:
      UpdateToolbarStatus();
      return;
  }
  TDocument* document = nullptr;
  if (event != nullptr && GetEventParameter(event, kEventParamDocument, typeVoidPtr, nullptr, sizeof document, nullptr,
                                            &document) == noErr) {
    if (document != nullptr && document->owner != nullptr) ProcessDocumentCommand(command, event, document, result);
    return;
  }
  TDocument* active = documents != nullptr ? documents->GetActive() : nullptr;
  if (active != nullptr && active->owner != nullptr) ProcessDocumentCommand(command, event, active, result);
}

void TWindow::UpdateModifiedState() {
  if (documents != nullptr && documents->GetCount() > 0) {
    Err = SetWindowModified(window, documents->ContainsDirtyDocuments());
  } else {
    Err = SetWindowTitleWithCFString(window, CFSTR(""));
    Err = SetWindowModified(window, false);
    Err = RemoveWindowProxy(window);
  }
}

SInt32 TWindow::HandleCloseCommand() {
  TDocument* active = documents != nullptr ? documents->GetActive() : nullptr;
  if (active != nullptr && active->modified) {
    TWindowAskSaveChanges(this, active, kTWindowActionClose);
    return noErr;
  }
  if (active != nullptr && documents->GetCount() > 1 && active->owner != nullptr && active->owner != this) {
    active->owner->ReleaseViewObject();  // only that document's pane closes
    return noErr;
  }
  // The whole window closes: no modified document may go unasked, whether
  // or not it is the active one.
  if (documents != nullptr && documents->ContainsDirtyDocuments()) {
    AskAboutDirtyDocuments(nullptr);
    return noErr;
  }
  Remove();
  return noErr;
}

SInt32 TWindow::SaveDocument(TDocument* document) { return SaveDocumentReporting(document); }

SInt32 TWindow::HandleSaveCommand() {
  TDocument* active = documents != nullptr ? documents->GetActive() : nullptr;
  if (active == nullptr) return noErr;
  if (FSValidFSRef(active->file)) {
    active->saveOption = 0;
    SaveDocument(active);
    UpdateModifiedState();
  } else {
    TWindowSaveDocumentAs(this, active);
  }
  return noErr;
}

SInt32 TWindow::HandleRevertCommand() {
  TDocument* active = documents != nullptr ? documents->GetActive() : nullptr;
  if (active == nullptr || !FSValidFSRef(active->file)) return eventNotHandledErr;
  const SInt32 status = active->Open();
  UpdateModifiedState();
  return status;
}

SInt32 TWindow::HandleCloseEvent(EventRef event) {
  SInt32 status = eventNotHandledErr;
  // Any modified document is asked about, active or not.
  if (documents != nullptr && documents->ContainsDirtyDocuments()) status = Closing(event);
  if (status == eventNotHandledErr) Close(status);
  return status;
}

namespace {

// Controls of the window save their settings while its object can still be
// asked for its preferences, and no longer lead back to it: the views, and
// the controls' own disposal, outlive the object.
void LetGoOfControls(HIViewRef view, TWindow* window) {
  if (view == nullptr) return;
  if (TControl* control = GetControlObject(view); control != nullptr && control->window == window) {
    control->SavePreferences();
    control->window = nullptr;
  }
  const ItemCount count = HIViewCountSubviews(view);
  for (ItemCount i = 1; i <= count; ++i) {
    HIViewRef subview = nullptr;
    if (HIViewGetIndexedSubview(view, CFIndex(i), &subview) == noErr) LetGoOfControls(subview, window);
  }
}

}  // namespace

void TWindow::Release() {
  if (window != nullptr && IsValidWindowPtr(window)) LetGoOfControls(HIViewGetRoot(window), this);
  TView::Release();
  if (windowHandler != nullptr) Err = RemoveEventHandler(windowHandler);
  windowHandler = nullptr;
  if (preferences != nullptr) preferences->Synchronize();
  if (toolbar != nullptr && TWindowToolbar.release != nullptr) TWindowToolbar.release(toolbar);
  toolbar = nullptr;
  if (window != nullptr && documents != nullptr) TWindowRemoveProperty(kTWindowDocumentListTag, window);
  if (documents != nullptr) documents->Release();
  documents = nullptr;
  if (documentSnapshot != nullptr) CFRelease(documentSnapshot);
  documentSnapshot = nullptr;
  if (window != nullptr && GetWRefCon(window) == SRefCon(this)) SetWRefCon(window, 0);
  LiveWindows().erase(this);
  Free();
}

// ---------------------------------------------------------------------------

TWindow* GetWindowObject(WindowRef window) {
  TObject* object = TWindowGetObject(window);
  auto* candidate = reinterpret_cast<TWindow*>(object);
  return object != nullptr && LiveWindows().count(candidate) ? candidate : nullptr;
}

void CloseApplicationWindow(WindowRef window) {
  if (TWindow* object = GetWindowObject(window))
    object->Remove();
  else
    ReleaseWindow(window);
}

void ApplyFunctionToAllWindows(TWindowApplierFunction function, void* userData) {
  if (function == nullptr) return;
  // Taken first: an applier may close windows on the way.
  std::vector<TWindow*> objects;
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
    if (IsWindowVisible(w))
      if (TWindow* object = GetWindowObject(w)) objects.push_back(object);
  for (TWindow* object : objects)
    if (LiveWindows().count(object)) function(object, userData);
}
