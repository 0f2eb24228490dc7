#include "TReviewFilesWindowUnit.h"

#include <cstring>
#include <vector>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "Folders.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"

namespace {

TDocument* DocumentAt(CFArrayRef documents, CFIndex i) {
  return static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)));
}

CFIndex CountOf(CFArrayRef documents) { return documents != nullptr ? CFArrayGetCount(documents) : 0; }

// Never saved, and shown by a view: the system's question is about these.
bool Untitled(TDocument* document) { return !FSValidFSRef(document->file) && document->owner != nullptr; }

// The close that follows a review: a close command goes on as the window's
// close event, so that whatever is left to ask is asked and the window
// then closes.
UInt32 FollowingAction(UInt32 action) {
  return action == kReviewActionQuit ? UInt32(kTWindowActionQuit) : UInt32(kTWindowActionCloseEvent);
}

// The document leaves the owner's list and its view, as a question's answer
// lets it go: a pane of its own closes (and takes the document with it),
// otherwise the document is released here.
void DropDocument(TWindow* owner, TDocument* document) {
  TView* view = document->owner;
  RemoveDocumentFromList(document, owner->window);
  if (view != nullptr && view != owner)
    view->ReleaseViewObject();
  else
    document->Release();
}

// The rows' documents: the payload is a block holding the reference.
void* NewRowPayload(TDocument* document) {
  Ptr block = NewPtr(sizeof document);
  if (block != nullptr) std::memcpy(block, &document, sizeof document);
  return block;
}

CFStringRef CopyPathString(const FSRef& file) {
  UInt8 path[4096];
  if (FSRefMakePath(&file, path, sizeof path) != noErr) return nullptr;
  return CFStringCreateWithCString(nullptr, reinterpret_cast<const char*>(path), kCFStringEncodingUTF8);
}

// Asks about one document alone through the window's own save-changes
// question; its answer carries the close on, which brings what is left back.
void AskAboutOne(TWindow* owner, TDocument* document, UInt32 action) {
  TWindowAskSaveChanges(owner, document, FollowingAction(action));
}

}  // namespace

// ---------------------------------------------------------------------------
// The list

TDocument* TReviewFilesBrowser::DocumentOf(void* data) {
  if (data == nullptr || GetPtrSize(static_cast<Ptr>(data)) < Size(sizeof(TDocument*))) return nullptr;
  TDocument* document = nullptr;
  std::memcpy(&document, data, sizeof document);
  return document;
}

void TReviewFilesBrowser::Populate() {
  TBrowser::Populate();
  const CFIndex count = CountOf(documents);
  for (CFIndex i = 0; i < count; ++i) {
    TDocument* document = DocumentAt(documents, i);
    if (document == nullptr || !FSValidFSRef(document->file)) continue;
    if (void* payload = NewRowPayload(document)) WriteLn(payload);
  }
  Err = SetDataBrowserSelectedItems(VIEW, 0, nullptr, kDataBrowserItemsAssign);
}

void TReviewFilesBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property,
                                      DataBrowserItemDataRef itemData) {
  TDocument* document = DocumentOf(data);
  if (document == nullptr) return;
  const bool hasFile = FSValidFSRef(document->file);
  switch (property) {
    case kReviewFilesIconColumn: {
      IconRef icon = nullptr;
      if (!hasFile || GetIconRefFromFileInfo(&document->file, 0, nullptr, 0, nullptr, kIconServicesNormalUsageFlag,
                                             &icon, nullptr) != noErr)
        icon = nullptr;
      if (icon == nullptr) Err = GetIconRef(kOnSystemDisk, 'macs', 'unfs', &icon);
      if (icon == nullptr) break;
      // The list view draws it within this request; the registry keeps the
      // icon of a file type alive beyond it.
      Err = SetDataBrowserItemDataIcon(itemData, icon);
      ReleaseIconRef(icon);
      break;
    }
    case kReviewFilesNameColumn: {
      const Str63& name = document->name;
      CFStringRef text = CFStringCreateWithBytes(nullptr, name.data() + 1, name.len(), kCFStringEncodingMacRoman,
                                                 false);
      Err = SetDataBrowserItemDataText(itemData, text);
      if (text != nullptr) CFRelease(text);
      break;
    }
    case kReviewFilesPathColumn:
      if (hasFile) {
        CFStringRef path = CopyPathString(document->file);
        Err = SetDataBrowserItemDataText(itemData, path);
        if (path != nullptr) CFRelease(path);
      }
      break;
  }
}

// ---------------------------------------------------------------------------
// The sheet

Boolean TReviewFilesWindow::OwnerAlive() const {
  return owner != nullptr && ownerWindow != nullptr && GetWindowObject(ownerWindow) == owner;
}

void TReviewFilesWindow::ProcessCommand(const HICommand& command, EventRef, SInt32& result) {
  result = eventNotHandledErr;
  switch (command.commandID) {
    case kHICommandReviewSave:
      result = Save();
      break;
    case kHICommandReviewDontSave:
      result = Shut();
      break;
    case kHICommandReviewCancel:
      ApplicationQuitting = false;  // a pending quit is called off
      Err = HideSheetWindow(window);
      result = noErr;
      Remove();  // frees this object
      break;
  }
}

SInt32 TReviewFilesWindow::Save() {
  if (browser == nullptr || browser->VIEW == nullptr) return noErr;
  ControlRef list = browser->VIEW;
  // Taken first: saving removes rows.
  Handle selected = NewHandle(0);
  Err = GetDataBrowserItems(list, kDataBrowserNoItem, true, kDataBrowserItemIsSelected, selected);
  const size_t count = selected != nullptr ? size_t(GetHandleSize(selected)) / sizeof(DataBrowserItemID) : 0;
  std::vector<DataBrowserItemID> items(count);
  if (count > 0) std::memcpy(items.data(), *selected, count * sizeof(DataBrowserItemID));
  if (selected != nullptr) DisposeHandle(selected);
  for (DataBrowserItemID item : items) {
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), list);
    TDocument* document = node != nullptr ? TReviewFilesBrowser::DocumentOf(node->DATA) : nullptr;
    if (document == nullptr || !FSValidFSRef(document->file)) continue;
    document->saveOption = action;
    // A failure is reported and keeps the row: the sheet stays.
    const SInt32 status = OwnerAlive() ? owner->SaveDocument(document) : SaveDocumentReporting(document);
    if (status == noErr) BrackenrowRemoveItem(list, SInt32(item));
  }
  if (browser->CountItems(0, true) == 0) Shut();
  return noErr;
}

SInt32 TReviewFilesWindow::Shut() {
  if (OwnerAlive()) {
    // The documents the sheet listed go; any other (never saved, shown by no
    // view) stays, to be asked about when the close goes on.
    const CFIndex count = CountOf(reviewDocuments);
    std::vector<TDocument*> listed;
    for (CFIndex i = 0; i < count; ++i) {
      TDocument* document = DocumentAt(reviewDocuments, i);
      if (document != nullptr && FSValidFSRef(document->file)) listed.push_back(document);
    }
    for (TDocument* document : listed) DropDocument(owner, document);
  }
  if (window != nullptr) Err = HideSheetWindow(window);
  ReleaseOwner();
  // Its dispose event frees this object.
  if (window != nullptr) ReleaseWindow(window);
  return noErr;
}

void TReviewFilesWindow::SetActionWithEvent(EventRef event) {
  Boolean quitting = false;
  if (event != nullptr &&
      GetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, nullptr, sizeof quitting, nullptr,
                        &quitting) == noErr &&
      quitting)
    action = kReviewActionQuit;
  else if (event != nullptr && GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowClose)
    action = kReviewActionCloseEvent;
  else
    action = kReviewActionNone;
}

void TReviewFilesWindow::ReleaseOwner() {
  if (!OwnerAlive()) {
    if (action == kReviewActionQuit && ApplicationQuitting)
      SendHICommand(GetApplicationEventTarget(), kHICommandQuit);
    return;
  }
  // The quit is not ended here: the owner closes and asks the application
  // to go on quitting, so the windows not yet visited are still asked.
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event) != noErr) return;
  WindowRef target = ownerWindow;
  SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof target, &target);
  if (action == kReviewActionQuit) {
    Boolean yes = true;
    SetEventParameter(event, kEventParamCloseAllWindows, typeBoolean, sizeof yes, &yes);
  }
  owner = nullptr;  // the owner may be gone once the event is handled
  Err = SendEventToEventTarget(event, GetWindowEventTarget(target));
  ReleaseEvent(event);
}

void TReviewFilesWindow::Release() {
  if (reviewDocuments != nullptr) CFRelease(reviewDocuments);
  reviewDocuments = nullptr;
  TWindow::Release();
}

// ---------------------------------------------------------------------------

namespace TReviewFilesWindowUnit {

namespace {

// A review that shows nothing of its own ends here.
void Finish(TReviewFilesWindow* review) { review->Release(); }

// The sheet, for the documents with files. With none left at all the close
// goes on. Documents that are left but cannot be listed (never saved, shown
// by no view) are neither dropped nor asked about again and again: the
// window stays open with them, and a quit stops.
void ShowSheet(TReviewFilesWindow* review, IBNibRef nib) {
  CFArrayRef documents = review->reviewDocuments;
  bool listable = false;
  for (CFIndex i = 0; i < CountOf(documents) && !listable; ++i) listable = FSValidFSRef(DocumentAt(documents, i)->file);
  if (!listable) {
    if (CountOf(documents) == 0)
      review->ReleaseOwner();
    else
      ApplicationQuitting = false;
    Finish(review);
    return;
  }
  review->SetParent(review->ownerWindow);
  const Str63 name(kReviewFilesWindowName);
  review->Create(name, nib);
  if (review->window == nullptr) {
    // Not in the given interface file: the sheet's own file holds it.
    static IBNibRef own = nullptr;
    if (own == nullptr) Err = CreateNibReference(CFSTR(kReviewFilesNibName), &own);
    if (own != nullptr) review->Create(name, own);
  }
  if (review->window == nullptr) {
    // Nothing can be shown: nothing is dropped, and a quit stops here.
    ApplicationQuitting = false;
    Finish(review);
    return;
  }
  review->SetClassString("TReviewFilesWindow");
  auto* browser = new TReviewFilesBrowser();
  browser->documents = documents;
  browser->SetOptions(kBrackenrowKeyboardRemove | kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
  browser->Create(HIViewFind(kReviewFilesBrowserID, kReviewFilesBrowserSignature, review->window));
  review->browser = browser;
  browser->Populate();
  Err = ShowSheetWindow(review->window, review->ownerWindow);
}

// The documents of the array that are still there after the untitled ones
// were dropped.
CFArrayRef CopyRemaining(CFArrayRef documents, const std::vector<TDocument*>& dropped) {
  CFMutableArrayRef rest = CFArrayCreateMutable(nullptr, 0, &DocumentListArrayCallbacks);
  for (CFIndex i = 0; i < CountOf(documents); ++i) {
    TDocument* document = DocumentAt(documents, i);
    bool gone = false;
    for (TDocument* d : dropped) gone = gone || d == document;
    if (!gone) CFArrayAppendValue(rest, document);
  }
  return rest;
}

}  // namespace

void OpenReviewFilesDialog(TWindow* owner, UInt32 action, CFArrayRef documents, EventRef event, IBNibRef nib) {
  if (owner == nullptr || owner->window == nullptr || documents == nullptr) {
    if (documents != nullptr) CFRelease(documents);
    return;
  }
  auto* review = new TReviewFilesWindow();
  // A sender that names no action (the close command) means a plain close.
  review->action = action == kReviewActionQuit || action == kReviewActionCloseEvent ? action : kReviewActionNone;
  review->owner = owner;
  review->ownerWindow = owner->window;
  review->reviewDocuments = documents;
  if (event != nullptr) review->SetActionWithEvent(event);
  UInt32 untitled = 0;
  for (CFIndex i = 0; i < CountOf(documents); ++i)
    if (Untitled(DocumentAt(documents, i))) ++untitled;
  if (untitled == 0) {
    ShowSheet(review, nib);
    return;
  }
  NavDialogCreationOptions options{};
  Err = NavGetDefaultDialogCreationOptions(&options);
  options.parentWindow = owner->window;
  options.modality = kWindowModalityWindowModal;
  options.clientName = CFSTR("Review");
  NavDialogRef dialog = nullptr;
  Err = NavCreateAskReviewDocumentsDialog(&options, untitled, NavEventHandler, review, &dialog);
  if (Err == noErr) Err = NavDialogRun(dialog);
  if (Err != noErr) {
    // No question: nothing is dropped, and a quit stops here.
    if (dialog != nullptr) NavDialogDispose(dialog);
    ApplicationQuitting = false;
    Finish(review);
  }
}

void NavEventHandler(NavEventCallbackMessage selector, NavCBRecPtr parameters, void* data) {
  auto* review = static_cast<TReviewFilesWindow*>(data);
  if (review == nullptr || parameters == nullptr) return;
  if (selector == kNavCBTerminate) {
    NavDialogDispose(parameters->context);
    Finish(review);
    return;
  }
  if (selector != kNavCBUserAction) return;
  const NavUserAction answer = NavDialogGetUserAction(parameters->context);
  // The question ends with any answer; nothing more comes from it.
  NavDialogDispose(parameters->context);
  if (!review->OwnerAlive()) {
    Finish(review);
    return;
  }
  CFArrayRef documents = review->reviewDocuments;
  switch (answer) {
    case kNavUserActionDiscardDocuments: {
      std::vector<TDocument*> dropped;
      for (CFIndex i = 0; i < CountOf(documents); ++i)
        if (Untitled(DocumentAt(documents, i))) dropped.push_back(DocumentAt(documents, i));
      CFArrayRef rest = CopyRemaining(documents, dropped);
      for (TDocument* document : dropped) DropDocument(review->owner, document);
      if (CountOf(rest) > 0) {
        OpenReviewFilesDialog(review->owner, review->action, rest, nullptr, ApplicationNib);
      } else {
        CFRelease(rest);
        review->ReleaseOwner();
      }
      break;
    }
    case kNavUserActionReviewDocuments: {
      // One at a time, through the window's own question (Save opens a
      // Save As sheet for a document that has no file).
      for (CFIndex i = 0; i < CountOf(documents); ++i)
        if (Untitled(DocumentAt(documents, i))) {
          AskAboutOne(review->owner, DocumentAt(documents, i), review->action);
          break;
        }
      break;
    }
    default:
      // Cancel: everything stays, and a quit stops; the list the window
      // noted for its close is not the one it will close with.
      ApplicationQuitting = false;
      if (review->owner != nullptr && review->owner->documentSnapshot != nullptr) {
        CFRelease(review->owner->documentSnapshot);
        review->owner->documentSnapshot = nullptr;
      }
      break;
  }
  Finish(review);
}

}  // namespace TReviewFilesWindowUnit
