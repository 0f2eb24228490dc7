// Navigation dialogs: choosing files and folders to open, a name and folder to
// save under, and asking whether to save changes. A dialog is created with its
// options, an event procedure and client data, then run:
//
// - window-modal with a parent window (a sheet): NavDialogRun returns at once
//   and the event procedure hears the user's action later, from the event loop;
// - otherwise application-modal: NavDialogRun is a nested run of the event
//   loop and returns once the dialog is over, the callbacks made inside it.
//
// The procedure hears kNavCBCustomize and kNavCBStart when the run begins,
// kNavCBUserAction when the user answered, and kNavCBTerminate last; the
// dialog may be disposed from any callback (it goes once the run is over).
//
// The GTK host shows a file chooser transient for the parent window (save
// dialogs ask before replacing a file; that answer is the reply's replacing
// flag) and a message dialog for the save-changes and review questions.
// Headless, every dialog answers from a queue that a test fills
// (HeadlessQueueNavAnswer in HeadlessHost.h); with an empty queue it is
// cancelled. A folder whose name ends in ".qvproj" is a document: open and
// choose-file dialogs pick it as a whole.
//
// A dialog's preference key keeps, per key, the folder last answered in and
// the dialog's size (preference "NavDialogState.<key>" of the application);
// the next dialog with that key opens there unless a location is set. They
// reach the disk when the application synchronises its preferences.
#pragma once

#include "AppleEvents.h"
#include "CFArray.h"
#include "CFString.h"
#include "Files.h"
#include "HIView.h"
#include "MacTypes.h"
#include "MacWindows.h"

typedef struct __NavDialog* NavDialogRef;

typedef SInt32 NavEventCallbackMessage;
enum : NavEventCallbackMessage {
  kNavCBCustomize = 1,   // enlarge customRect to the size the custom area needs
  kNavCBStart = 2,       // the dialog is about to show: add the custom area now
  kNavCBTerminate = 3,   // the dialog is over: dispose of it here
  kNavCBUserAction = 12, // the user answered: NavDialogGetUserAction / GetReply
};

typedef UInt32 NavUserAction;
enum : NavUserAction {
  kNavUserActionNone = 0,
  kNavUserActionCancel = 1,
  kNavUserActionOpen = 2,
  kNavUserActionSaveAs = 3,
  kNavUserActionChoose = 4,
  kNavUserActionNewFolder = 5,
  kNavUserActionSaveChanges = 6,
  kNavUserActionDontSaveChanges = 7,
  kNavUserActionDiscardChanges = 8,
  kNavUserActionReviewDocuments = 9,
  kNavUserActionDiscardDocuments = 10,
};

typedef UInt32 NavDialogOptionFlags;
enum : NavDialogOptionFlags {
  kNavNoTypePopup = 0x0001,
  kNavDontAutoTranslate = 0x0002,
  kNavDontAddTranslateItems = 0x0004,
  kNavAllFilesInPopup = 0x0010,
  kNavAllowStationery = 0x0020,
  kNavAllowPreviews = 0x0040,
  kNavAllowMultipleFiles = 0x0080,   // open dialogs choose several files
  kNavAllowInvisibleFiles = 0x0100,  // hidden files are listed
  kNavDontResolveAliases = 0x0200,
  kNavSelectDefaultLocation = 0x0400,
  kNavSelectAllReadableItem = 0x0800,
  kNavSupportPackages = 0x1000,
  kNavAllowOpenPackages = 0x2000,
  kNavDontAddRecents = 0x4000,
  kNavDontUseCustomFrame = 0x8000,
  kNavDontConfirmReplacement = 0x10000,  // save dialogs replace without asking
  kNavPreserveSaveFileExtension = 0x20000,
};
// The options NavGetDefaultDialogCreationOptions gives.
constexpr NavDialogOptionFlags kNavDefaultNavDlogOptions =
    kNavAllowPreviews | kNavAllowMultipleFiles | kNavAllowStationery | kNavDontAddTranslateItems | kNavNoTypePopup;

typedef UInt32 NavAskSaveChangesAction;
enum : NavAskSaveChangesAction {
  kNavSaveChangesClosingDocument = 1,
  kNavSaveChangesQuittingApplication = 2,
  kNavSaveChangesOther = 0,
};

typedef UInt32 NavCustomControlMessage;
enum : NavCustomControlMessage {
  kNavCtlSetLocation = 8,  // parms: an AEDesc of typeFSRef naming a folder
  kNavCtlAddControl = 18,  // parms: the ControlRef of the custom area
};

typedef UInt32 NavTranslationOptions;
enum : NavTranslationOptions {
  kNavTranslateInPlace = 0,
  kNavTranslateCopy = 1,
};

enum : OSStatus {
  kNavWrongDialogStateErr = -5694,
  kNavWrongDialogClassErr = -5695,
  kNavInvalidSystemConfigErr = -5696,
  kNavCustomControlMessageFailedErr = -5697,
  kNavInvalidCustomControlMessageErr = -5698,
  kNavMissingKindStringErr = -5699,
};

enum : UInt16 {
  kNavDialogCreationOptionsVersion = 0,
  kNavReplyRecordVersion = 2,
  kNavCBRecVersion = 1,
};

struct NavDialogCreationOptions {
  UInt16 version;
  NavDialogOptionFlags optionFlags;
  Point location;               // where the dialog opens; (-1, -1): the default place
  CFStringRef clientName;       // the program's name, shown by the question dialogs
  CFStringRef windowTitle;      // nil: the kind's standard title
  CFStringRef actionButtonLabel;
  CFStringRef cancelButtonLabel;
  CFStringRef saveFileName;     // the name a save dialog proposes; the document's name in a question
  CFStringRef message;
  UInt32 preferenceKey;         // 0: nothing is remembered
  CFArrayRef popupExtension;
  WindowModality modality;      // kWindowModalityWindowModal with a parent: a sheet
  WindowRef parentWindow;
  char reserved[16];
};

struct NavReplyRecord {
  UInt16 version;
  Boolean validRecord;          // the user confirmed and the selection names real items
  Boolean replacing;            // a save over an existing file the user agreed to replace
  Boolean isStationery;
  Boolean translationNeeded;
  AEDescList selection;         // typeFSRef items: the files or folders chosen; the folder of a save
  ScriptCode keyScript;
  void* fileTranslation;
  UInt32 reserved1;
  CFStringRef saveFileName;     // the name typed in a save dialog (owned by the reply)
  Boolean saveFileExtensionHidden;
  UInt8 reserved2;
  char reserved[225];
};

struct NavCBRec {
  UInt16 version;
  NavDialogRef context;
  WindowRef window;             // the dialog's window, which holds the custom area
  Rect customRect;              // kNavCBCustomize: the custom area's size, to be enlarged
  Rect previewRect;
  NavUserAction userAction;
  char reserved[218];
};
typedef NavCBRec* NavCBRecPtr;

typedef void (*NavEventProcPtr)(NavEventCallbackMessage callBackSelector, NavCBRecPtr callBackParms,
                                void* callBackUD);
typedef NavEventProcPtr NavEventUPP;
typedef Boolean (*NavObjectFilterProcPtr)(AEDesc* theItem, void* info, void* callBackUD, SInt16 filterMode);
typedef NavObjectFilterProcPtr NavObjectFilterUPP;
typedef Boolean (*NavPreviewProcPtr)(NavCBRecPtr callBackParms, void* callBackUD);
typedef NavPreviewProcPtr NavPreviewUPP;
typedef struct NavTypeList** NavTypeListHandle;

inline NavEventUPP NewNavEventUPP(NavEventProcPtr proc) { return proc; }
inline void DisposeNavEventUPP(NavEventUPP) {}

// Fills the record with the defaults: version 0, kNavDefaultNavDlogOptions,
// location (-1, -1), no strings, no parent, application-modal.
OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions);

// Creation. Each copies the options (strings retained) and makes the dialog's
// window, hidden; paramErr for nil options or a nil result pointer. Type
// lists, previews and filters are not offered: every item is listed.
OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                NavEventUPP inEventProc, NavPreviewUPP inPreviewProc,
                                NavObjectFilterUPP inFilterProc, void* inClientData, NavDialogRef* outDialog);
OSStatus NavCreateChooseFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                   NavEventUPP inEventProc, NavPreviewUPP inPreviewProc,
                                   NavObjectFilterUPP inFilterProc, void* inClientData, NavDialogRef* outDialog);
OSStatus NavCreateChooseFolderDialog(const NavDialogCreationOptions* inOptions, NavEventUPP inEventProc,
                                     NavObjectFilterUPP inFilterProc, void* inClientData, NavDialogRef* outDialog);
// The file type and creator are kept for the caller; the file is not made here.
OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType inFileType, OSType inFileCreator,
                                NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog);
// Save / Don't Save / Cancel about the document named by saveFileName.
OSStatus NavCreateAskSaveChangesDialog(const NavDialogCreationOptions* inOptions, NavAskSaveChangesAction inAction,
                                       NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog);
// Review / Discard / Cancel about inDocumentCount unsaved documents (paramErr
// for none).
OSStatus NavCreateAskReviewDocumentsDialog(const NavDialogCreationOptions* inOptions, UInt32 inDocumentCount,
                                           NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog);

// Runs the dialog once (see above). kNavWrongDialogStateErr for a dialog that
// runs or ran already, paramErr for a disposed one.
OSStatus NavDialogRun(NavDialogRef inDialog);
// Ends the dialog: a dialog still up is taken down without any further
// callback. Safe from inside the dialog's own callbacks.
void NavDialogDispose(NavDialogRef inDialog);
// The action of the answer, kNavUserActionNone before it.
NavUserAction NavDialogGetUserAction(NavDialogRef inDialog);
WindowRef NavDialogGetWindow(NavDialogRef inDialog);
// The reply of an answered file dialog, to be given back to NavDisposeReply.
// kNavWrongDialogStateErr before an answer or for the question dialogs.
OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply);
OSStatus NavDisposeReply(NavReplyRecord* inReply);
// The caller has written the file: nothing is left to translate here, so this
// only checks the reply (paramErr for nil or an invalid one).
OSStatus NavCompleteSave(const NavReplyRecord* inReply, NavTranslationOptions inHowToTranslate);
// kNavCtlSetLocation: the folder the dialog shows (an FSRef that names no
// folder gives kNavCustomControlMessageFailedErr and changes nothing).
// kNavCtlAddControl: the view becomes the custom area, moved into the dialog's
// window (kEventControlRemovingSubControl reaches its old superview).
OSStatus NavCustomControl(NavDialogRef inDialog, NavCustomControlMessage inSelector, void* ioParms);
