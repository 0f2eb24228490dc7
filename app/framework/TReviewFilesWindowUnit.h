// The review of unsaved files: when a window holding several modified
// documents closes, or the application quits while it is open, the window
// asks the application ('revd') and the review takes over. Documents that
// were never saved are first put to the system's review question (Review /
// Discard / Cancel); documents with files are listed in the sheet "Review
// Dialog", where the user saves the selected ones, drops them all, or
// cancels. When the review is over the window's close, or the quit, goes on.
#pragma once

#include "CFArray.h"
#include "IBCarbonRuntime.h"
#include "Navigation.h"
#include "TBrowserUnit.h"
#include "TWindowUnit.h"

class TDocument;

// The sheet's interface: its window, list and commands.
const char* const kReviewFilesWindowName = "Review Dialog";
// The interface file that holds the sheet when the given one does not.
const char* const kReviewFilesNibName = "ReviewFiles";
constexpr OSType kReviewFilesBrowserSignature = 'FILE';
constexpr SInt32 kReviewFilesBrowserID = 128;
enum : UInt32 {
  kHICommandReviewSave = 'save',      // save the selected documents
  kHICommandReviewDontSave = 'dont',  // drop every listed document
  kHICommandReviewCancel = 'not!',    // keep everything, stop a quit
};
enum : DataBrowserPropertyID {
  kReviewFilesIconColumn = 'ICON',
  kReviewFilesNameColumn = 'FILE',
  kReviewFilesPathColumn = 'PATH',
};
// What follows the review.
enum : UInt32 {
  kReviewActionNone = 1,        // a close command
  kReviewActionQuit = 2,        // the application quits
  kReviewActionCloseEvent = 3,  // the window's close event
};

class TReviewFilesBrowser : public TBrowser {
 public:
  CFArrayRef documents = nullptr;  // the review window's array, not owned

  // One row per document with a file, in array order; nothing selected.
  void Populate() override;
  // The file's icon, the document's name, the file's path.
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  // A row is never deleted from the keyboard: its document would go unsaved
  // and unasked when the rest is saved.
  Boolean RemoveItem(void*, UInt32, DataBrowserItemID) override { return false; }

  // The document a row's payload names.
  static TDocument* DocumentOf(void* data);
};

class TReviewFilesWindow : public TWindow {
 public:
  TWindow* owner = nullptr;                // the window being closed
  TReviewFilesBrowser* browser = nullptr;  // freed with its list view
  UInt32 action = kReviewActionNone;
  CFArrayRef reviewDocuments = nullptr;    // the modified TDocuments; owned
  WindowRef ownerWindow = nullptr;         // tells whether the owner still lives

  // 'save', 'dont' and 'not!'; anything else is left unhandled.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Lets go of the array, then of the window.
  void Release() override;

  // Saves the documents of the selected rows; a saved one leaves the list,
  // and once none is left the review ends (Shut). 0.
  virtual SInt32 Save();
  // Drops every listed document unsaved, takes the sheet down and lets the
  // close or the quit go on. 0.
  virtual SInt32 Shut();
  // 2 for a quit ('aqit' true), 3 for a window close event, else 1.
  virtual void SetActionWithEvent(EventRef event);
  // The close or the quit goes on: the owner window gets a new close event
  // (carrying the quit when quitting), which it now takes without asking
  // about what was reviewed; without an owner a quit goes on directly.
  virtual void ReleaseOwner();

  // The owner window is still the one the review began with.
  Boolean OwnerAlive() const;
};

namespace TReviewFilesWindowUnit {

// Takes the array over (it is released with the review, also when nothing
// can be shown).
void OpenReviewFilesDialog(TWindow* owner, UInt32 action, CFArrayRef documents, EventRef event, IBNibRef nib);
// The review question's procedure; user data: the TReviewFilesWindow.
void NavEventHandler(NavEventCallbackMessage selector, NavCBRecPtr parameters, void* review);

}  // namespace TReviewFilesWindowUnit
