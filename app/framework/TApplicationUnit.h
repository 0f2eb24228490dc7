// TApplication: the one application object. It loads the main interface file
// and its menu bar, installs the application's event and Apple-event
// handlers, runs the event loop, routes the commands no window consumed,
// opens files (from the desktop, the open command, the recent-items menu and
// the saved document list), keeps the recent-items submenu, copies the
// default preferences on first start and carries out the quit sequence.
#pragma once

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CarbonEvents.h"
#include "Menus.h"
#include "TObjectUnit.h"

class TDocument;
class TPreferenceHandler;
class TWindow;

constexpr MenuID kApplicationFileMenuID = 128;
constexpr UInt32 kHICommandClearRecentItems = 'cler';
constexpr EventParamName kEventParamQuitting = 'aqit';
const char* const kApplicationRecentItemsKey = "RecentItems";
const char* const kApplicationDocumentListKey = "DocumentList";

struct ApplicationRecentItems {
  CFMutableArrayRef items = nullptr;  // URL strings, oldest first; one per file item of the menu
  UInt16 index = 0;                   // the File menu item carrying the submenu; 0: no recent items
  SInt16 limit = 0;                   // 0 or less: no limit
  MenuRef menu = nullptr;
};

class TApplication : public TObject {
 public:
  IBNibRef nib = nullptr;
  OSType creator = 0;
  TPreferenceHandler* preferences = nullptr;  // set by the creator, not owned
  ApplicationRecentItems recentItems;
  EventHandlerRef eventHandler = nullptr;    // ('appl', 3)
  EventHandlerRef commandHandler = nullptr;  // ('cmds', 1) and ('cmds', 2)

  // Takes the handlers Create installed away again.
  ~TApplication() override;

  virtual void Create(OSType inCreator);
  // Runs the event loop; the preferences are written once it returns,
  // however the loop was left.
  virtual void Run();
  virtual void LoadResources() {}
  virtual void SynchronizePreferences();
  virtual void CopyDefaultPreferences(const Str255& fileName);
  virtual void ModifyDefaultPreferences(CFTypeRef) {}
  virtual void OpenDocument(const FSRef& file, Boolean& opened, const ApplicationOpenCommandOptions& options);
  virtual TWindow* FindWindow(const FSRef& file);
  virtual TWindow* GetFrontWindow();
  virtual TWindow* GetFrontWindowOfKind(SInt16 kind);
  virtual TDocument* FindDocument(const FSRef& file);
  virtual void ProcessCommand(const HICommand& command, EventRef event, SInt32& result);
  virtual void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result);
  virtual SInt32 HandleQuitCommand();
  virtual SInt32 HandleOpenDocumentCommand(EventRef event);
  virtual SInt32 HandleReviewFilesCommand(EventRef event);
  virtual IBNibRef GetNibRef() { return nib; }
  virtual OSType GetCreator() { return creator; }
  virtual void SetRecentItemsIndex(UInt16 index) { recentItems.index = index; }
  virtual void SetRecentItemsLimit(SInt16 limit) { recentItems.limit = limit; }
  virtual void AppendRecentItems(const FSRef& file, Boolean addToList);
  virtual void LoadRecentItems();
  virtual void ClearRecentItems();
  virtual Boolean ContainsRecentItem(const FSRef& file);
  virtual Boolean AcceptRecentItem(const FSRef&) { return true; }
  virtual void AppendDocumentList(const FSRef& file);
  // The open documents under "DocumentList": each document window's list, or,
  // when no document window is left (the last one was closed, which quits),
  // what the last document window closed held, so that the next start
  // reopens what the user closed last.
  virtual void SaveDocumentList();
  virtual void RestoreDocumentList();
  // A window's close begins and ends. A document window closed outside a quit
  // starts the closed session: its documents, and what it adds to the list
  // as it closes (a project's bundle), with those of the windows its close
  // takes along.
  void WindowClosing(TWindow* window);
  void WindowClosed();

 private:
  CFMutableArrayRef closedSession = nullptr;  // what the last document window closed held
  SInt16 closingWindows = 0;                  // closes under way, nested

  Boolean quitWalking = false;   // the quit walk is under way
  Boolean quitRequested = false;  // a quit arrived while it was
  SInt32 WalkWindowsForQuit();
};

// The review of several unsaved documents (window, action, documents handed
// over, the close event, the nib): the review sheet of TReviewFilesWindowUnit.
// Set to nil, the window is asked about its first document through its own
// close path, which goes on to the next until none is left.
typedef void (*TApplicationReviewFilesProc)(TWindow* window, UInt32 action, CFArrayRef documents, EventRef event,
                                            IBNibRef nib);
extern TApplicationReviewFilesProc OpenReviewFilesDialog;

extern TApplication* CurrentApplication;
void SetCurrentApplication(TApplication* application);
TWindow* TApplicationGetFrontWindow();
TWindow* TApplicationGetFrontWindowOfKind(SInt16 kind);
TDocument* TApplicationFindDocument(const FSRef& file);
TWindow* TApplicationFindWindow(const FSRef& file);

// Sends ('cmds', 1) with the command and 'TDOC' = the document to the target,
// synchronously.
void SendDocumentCommand(TDocument* document, UInt32 commandID, EventTargetRef target);
// The event goes to every visible document window, once per document of its
// list, with 'TDOC' set to that document.
void SendEventToAllDocuments(EventRef event);
void SendCommandToAllDocuments(UInt32 commandID);
// Every key of the dictionary into the application's preferences, then
// written out.
void CFPreferencesCopyPropertyList(CFDictionaryRef dictionary);
