// TWindow: the base of every window of the program. It makes its Carbon
// window from an interface file, binds it to the object through the
// reference constant, keeps the window's documents and answers the close,
// save and revert commands for the active one, remembers its bounds under a
// preference key, saves and restores its own document list, shows and hides
// itself, and takes part in the application's quit sequence.
#pragma once

#include "CFArray.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "ShortString.h"
#include "TViewUnit.h"

class TDocument;
class TDocumentList;
class TPreferenceHandler;
class THIToolbar;
struct ApplicationOpenCommandOptions;

// TWindowOptions: a set; element n is bit n.
typedef UInt32 TWindowOptions;
enum : UInt32 {
  kTWindowOptionsSaveDocumentsPrivate = 1u << 0,
  kTWindowOptionsSaveDocumentsApplication = 1u << 1,
  kTWindowOptionsAutoManagePreferences = 1u << 2,
};

// Commands the window answers.
enum : UInt32 {
  kHICommandTWindowClose = 'clos',
  kHICommandTWindowSave = 'save',
  kHICommandTWindowRevert = 'rvrt',
  kHICommandUpdateWindowToolbar = 'upws',
  kHICommandReviewDocuments = 'revd',
};
// Parameters of the review command sent to the application.
enum : EventParamName {
  kEventParamReviewWindow = 'revp',
  kEventParamReviewEvent = 'reve',
  kEventParamReviewDocuments = 'revd',
  kEventParamDocument = 'TDOC',
};

// The stored layout: the structure bounds (top, left, bottom, right), a
// Boolean written as 0 and a pad byte.
#pragma pack(push, 1)
struct WindowLayoutInfo {
  SInt16 top;
  SInt16 left;
  SInt16 bottom;
  SInt16 right;
  Boolean unused;
  UInt8 pad;
};
#pragma pack(pop)
static_assert(sizeof(WindowLayoutInfo) == 10, "a window layout is stored as 10 bytes");

// What a save-changes question interrupts (the document's save option
// receives it): closing a document or window, quitting, a close event.
enum : UInt32 {
  kTWindowActionClose = 1,
  kTWindowActionQuit = 2,
  kTWindowActionCloseEvent = 3,
};

class TWindow : public TView {
 public:
  IBNibRef nib = nullptr;        // not owned
  WindowRef window = nullptr;    // owned: released by Close
  Str63 preferenceKey;           // empty: no layout kept
  TDocumentList* documents = nullptr;
  float width = 0, height = 0, left = 0, top = 0;
  THIToolbar* toolbar = nullptr;
  TPreferenceHandler* preferences = nullptr;  // not owned
  EventHandlerRef windowHandler = nullptr;
  UInt32 transitionEffect = 0;
  TWindowOptions options = 0;
  SInt16 priority = 0;
  CFArrayRef documentSnapshot = nullptr;
  WindowRef parent = nullptr;
  Str255 toolbarIdentifier;  // kept by CreateToolbar until Create builds it
  UInt32 toolbarValue = 0;
  Boolean closedCalled = false;

  void ReleaseViewObject() override;
  void SelectViewObject() override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Synchronises the preferences, releases the toolbar and the documents,
  // unbinds the window and frees the object. The Carbon window stays.
  void Release() override;

  virtual void Create(const Str63& name, IBNibRef inNib);
  virtual void SetOptions(TWindowOptions inOptions);
  virtual void SetPriority(SInt16 inPriority);
  virtual void SetParent(WindowRef inParent);
  virtual void SetContentBorder(SInt16, SInt16, SInt16, SInt16) {}
  virtual void Remove();
  virtual void Show();
  virtual void Hide();
  virtual void Resize(CGRect) {}
  // Closes the window and frees the object; status is 0.
  virtual void Close(SInt32& status);
  // Asks about modified documents; 0 when a question took the close over.
  virtual SInt32 Closing(EventRef event);
  virtual void Closed() {}
  virtual void SetPreferences(TPreferenceHandler* handler);
  virtual void SetPreferenceKey(const Str63& key);
  virtual void CreateToolbar(const Str255& identifier, UInt32 value);
  virtual void SaveLayout();
  virtual void RestoreLayout();
  virtual void AppendDocumentList(CFTypeRef value);
  virtual Boolean SaveDocumentList(CFArrayRef list);
  virtual void RestoreDocumentList();
  virtual void SetDocument(TDocument* document);
  virtual void AppendDocument(TDocument* document);
  virtual void SetLocation(SInt16 inLeft, SInt16 inTop);
  virtual void SetSize(SInt16 inWidth, SInt16 inHeight);
  virtual void SetTransitionEffect(UInt32 effect);
  virtual void AddEventType(UInt32 eventClass, UInt32 eventKind);
  virtual void SetProperty(OSType tag, const void* value, ByteCount size);
  virtual void GetProperty(OSType tag, void*& value);
  virtual void ProcessDocumentCommand(const HICommand&, EventRef, TDocument*, SInt32&) {}
  virtual void OpenDocument(const FSRef&, Boolean&, const ApplicationOpenCommandOptions&) {}
  virtual void UpdateModifiedState();
  virtual void UpdateToolbarStatus() {}
  virtual SInt32 HandleCloseCommand();
  virtual SInt32 HandleSaveCommand();
  virtual SInt32 HandleRevertCommand();
  virtual SInt32 HandleCloseEvent(EventRef event);
  virtual Boolean CompareDocumentRoot(const FSRef&) { return false; }
  virtual SInt32 HandleEvent(EventRef) { return eventNotHandledErr; }

  // Saves the document; on failure it stays modified and the user is told
  // why. The status of the save.
  SInt32 SaveDocument(TDocument* document);
  // The key of the window's own document list.
  Str255 DocumentListKey() const;
  // The question about unsaved documents: one document asks about itself,
  // several go to the application's review ('revd'). The close event (nil
  // for the close command) says what the answer goes on to.
  void AskAboutDirtyDocuments(EventRef event);
};

// The window's object when the reference constant is a TWindow; else nil.
TWindow* GetWindowObject(WindowRef window);
// The object's Remove when the window has one, else ReleaseWindow.
void CloseApplicationWindow(WindowRef window);
typedef void (*TWindowApplierFunction)(TWindow* window, void* userData);
// The object of every visible window, front to back.
void ApplyFunctionToAllWindows(TWindowApplierFunction function, void* userData);

// Saves the document; on failure it stays modified and the user is told
// why (with the reason SaveFailureReason gives). The status of the save.
SInt32 SaveDocumentReporting(TDocument* document);
Str255 SaveFailureReason(SInt32 status);
// Tells the user that a file the program keeps for them (a project's files,
// its settings, its index) could not be written, naming it, with the reason
// SaveFailureReason gives. Nothing when the status is noErr or a cancel.
// Failures noted between BeginFileSaveReport and EndFileSaveReport (which
// nest) are told in one alert at the outermost end.
void ReportFileNotSaved(const Str255& fileName, SInt32 status);
void BeginFileSaveReport();
void EndFileSaveReport();

// ---------------------------------------------------------------------------
// Seams the later units fill: the navigation dialogs (the save-changes
// question and Save As) and the window toolbar.

// Asks whether to save the document's changes before the action (1 close,
// 2 quit, 3 close event) goes on: the save-changes sheet of the window.
typedef void (*TWindowAskSaveChangesProc)(TWindow* window, TDocument* document, UInt32 action);
extern TWindowAskSaveChangesProc TWindowAskSaveChanges;
// Saves an untitled document under a name the user chooses: the Save As
// sheet of the window.
typedef void (*TWindowSaveAsProc)(TWindow* window, TDocument* document);
extern TWindowSaveAsProc TWindowSaveDocumentAs;

struct TWindowToolbarProcs {
  THIToolbar* (*make)(const Str255& identifier, UInt32 value);
  void (*build)(THIToolbar* toolbar, WindowRef window, const Str255& identifier, UInt32 value);
  void (*release)(THIToolbar* toolbar);
};
// The window toolbar of THIToolbarUnit.
extern TWindowToolbarProcs TWindowToolbar;

// What a question's answer ends with: the document leaves the window (with its
// pane, when another view shows it), and the interrupted close goes on.
void TWindowReleaseDocument(TWindow* window, TDocument* document, UInt32 action);
