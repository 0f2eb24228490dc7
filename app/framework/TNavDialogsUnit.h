// TNavDialogs: one use of a file dialog (Open, Save As, New File, Choose
// Folder) or of the save-changes question of a modified document. The object
// is made, configured, told to run one dialog, reacts to the answer and frees
// itself when the dialog ends. It runs as a sheet of its parent window, or
// application-modal without one. Subclasses override the result hooks.
#pragma once

#include <string>

#include "CFArray.h"
#include "Files.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Navigation.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class TDocument;

// What a dialog interrupts: the document's save option receives it.
enum : UInt32 {
  kTNavActionNone = 0,
  kTNavActionClose = 1,       // closing a document or a window
  kTNavActionQuit = 2,        // quitting the application
  kTNavActionCloseEvent = 3,  // closing a window through its close event
};

// The custom area a subclass's interface window lends the dialog.
constexpr OSType kTNavCustomAreaSignature = 'NEPA';
constexpr SInt32 kTNavCustomAreaID = 128;

class TNavDialogs : public TCloneable<TNavDialogs> {
 public:
  TNavDialogs() = default;
  // A copy runs a dialog of its own: it shares the documents (retained) and
  // nothing the first object disposes of.
  TNavDialogs(const TNavDialogs& other);

  NavDialogCreationOptions options{};
  NavEventUPP eventProc = nullptr;
  WindowRef parent = nullptr;
  TDocument* document = nullptr;  // not owned
  CFArrayRef documents = nullptr;  // retained
  UInt32 action = kTNavActionNone;
  FSRef defaultLocation{};
  IBNibRef customNib = nullptr;
  Str63 customWindowName;
  WindowRef customWindow = nullptr;
  NavDialogRef dialog = nullptr;  // the dialog under way

  virtual void OpenDialog();
  virtual void SaveDialog(TDocument* inDocument);
  virtual void SaveAsDialog(TDocument* inDocument);
  virtual void NewFileDialog();
  virtual void ChooseFolderDialog();
  // Each file chosen in an Open dialog: opened in a new window here.
  virtual void HandleSingleResult(const FSRef& file);
  // After a Save As or New File dialog was confirmed (and, with a document,
  // it was saved). The name is the whole one typed, in UTF-8.
  virtual void HandleNewFile(const FSRef&, const std::string&) {}
  virtual void HandleChooseResult(const FSRef&) {}
  virtual void GetDefaultDialogCreationOptions();
  virtual void SetParent(WindowRef window);
  virtual void SetAction(UInt32 inAction);
  virtual void SetDefaultLocation(const FSRef& location);
  // 2 for a quit (the event's 'aqit' is true), 3 for a window's close event,
  // else 1.
  virtual void SetActionWithEvent(EventRef event);
  // The document leaves its window and view; a close or quit that was
  // interrupted goes on.
  virtual void ReleaseOwner();
  virtual void Release();

  // Saves the document as the named file in the folder. An existing file of
  // that name is replaced only once the new text is written in full (a
  // temporary file renamed over it). On failure the document keeps its file
  // and stays modified, and the user is told why. The status of the save.
  SInt32 SaveDocumentAs(const FSRef& folder, CFStringRef name);
  // The dialog procedure of every object.
  static void NavEventHandler(NavEventCallbackMessage message, NavCBRecPtr record, void* data);

 private:
  void HandleUserAction(NavDialogRef inDialog);
  // Runs a dialog just created (status in Err); the options' strings go.
  void Run(OSStatus created, Boolean setLocation);
};

// The save-changes sheet of a window's document, and the Save As sheet of
// an untitled one: what a window's close and save commands ask.
void TNavAskSaveChanges(WindowRef window, TDocument* document, UInt32 action);
void TNavSaveDocumentAs(WindowRef window, TDocument* document);
