// The small windows and routines through which a project creates and edits
// its items: the new-file sheet and its menu of file templates, the snippet
// and bookmark editors, the progress window of a project compile, the
// rename sheet, the add-files dialog, and the routines for a project's data
// files, the group a file belongs in and the "Open With" menu of a file.
//
// Everything here runs on the main thread.
#pragma once

#include "CFBase.h"
#include "Files.h"
#include "MacTypes.h"
#include "Menus.h"
#include "ProjectRecords.h"
#include "ShortString.h"
#include "TNavDialogsUnit.h"
#include "TWindowUnit.h"
#include "brackenrow/Brackenrow.h"

class TBrowserGroup;
class TGroupBrowser;
class TPreferenceHandler;
class TProjectAbstract;
class TSyntaxParser;
class TWASTEView;
struct FileDescriptor;

// ---------------------------------------------------------------------------
// Names and texts

extern const char kNewFileWindowName[];        // "New File" (the main interface file)
extern const char kCompileWindowName[];        // "Compiling" (the main interface file)
extern const char kRenameItemWindowName[];     // "Rename Item"
extern const char kRenameFileItemWindowName[];  // "Rename Item (Files)"
extern const char kProjectEditorWindowName[];  // "MainWindow" (SnippetEditor, BookmarkEditor)
extern const char kProjectNewFileLocationKey[];  // "ProjectNewFileLocation"
extern const char kNewFileInvalidLocationMessage[];  // "The location is not valid."
// "There was a file system error " + status + " while creating the new file"
extern const char kNewFileErrorMessageStart[];
extern const char kNewFileErrorMessageEnd[];

enum : OSType {
  kProjectDialogsCreator = 0x3F3F3F3F,  // four question marks
  kNewFileTemplateRefTag = 'fsrf',   // a template item's FSRef (creator: the application's signature)
  kOpenWithApplicationTag = 'appR',  // an "Open With" item's application (FSRef)
  kOpenWithDocumentTag = 'docu',     // an "Open With" item's document (FSRef)
  kOpenWithCommand = 'opnA',
  kNewFileAddCommand = 'addf',       // sent to the project's window with the new file as 'FREF'
  kNewFileChooseCommand = 'CHOO',
  kProjectDialogCancelCommand = 'not!',
  kProjectDialogOKCommand = 'ok  ',
};
enum : MenuID { kOpenWithMenuID = 151 };

// ---------------------------------------------------------------------------
// The new-file sheet: a name, a location ('PATH'/128, kept in the project's
// preferences under "ProjectNewFileLocation") and a template ('TEMP'/128).

class TNewFileWindow : public TWindow {
 public:
  FSRef bundle{};

  // 'save' creates the file (the sheet closes once it is made), 'CHOO'
  // chooses the location, 'not!' closes the sheet.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // The new file's status: 0 when it was made and handed to the project.
  // An invalid location is told to the user and gives dirNFErr, so the
  // sheet stays open with what the user typed.
  virtual SInt32 CreateFile();
  virtual void ChooseFolder();
  // The project's own "Templates" folder first (under "Project"), then the
  // application's "Templates/New File": folders become section headers,
  // files items indented under them, each with its FSRef as 'fsrf'.
  virtual void PopulateTemplateMenu();
  // Sends 'addf' with the file as 'FREF' to the parent window.
  virtual void AddFile(const FSRef& ref);
};

// The project's new-file command: the sheet over parent, shown; nil when
// the interface file has no such window.
TNewFileWindow* OpenNewFileWindow(const FSRef& bundle, TPreferenceHandler* prefs, WindowRef parent);

// ---------------------------------------------------------------------------
// Snippets: the payload holds name + ":" in its first 64 bytes, then the
// text as UTF-16.

// The text as a new memory block of UTF-16 characters (empty for a payload
// of 64 bytes or less); the caller disposes of it.
Ptr GetSnippetText(Ptr payload);
Str63 GetSnippetName(Ptr payload);
// A new payload block of 64 + size(text) bytes; text may be nil.
Ptr CreateSnippetData(const Str63& name, Ptr text);

class TSnippetEditor : public TWindow {
 public:
  NodeInfoPtr node = nullptr;  // not owned
  ControlRef nameField = nullptr;
  TWASTEView* textView = nullptr;

  // Shows the node's name and text.
  void Create(const Str63& name, IBNibRef inNib) override;
  // Writes the name and text back into a new payload of the node.
  void Close(SInt32& status) override;
};

TSnippetEditor* OpenSnippetEditor(NodeInfoPtr node, WindowRef parent);

// ---------------------------------------------------------------------------
// Bookmarks: 'PREF'/128 title, 129 URL, 130 open inside, 131 the browser.

class TBookmarkEditor : public TWindow {
 public:
  UInt8* bookmark = nullptr;  // the payload, not owned
  CFIndex length = 0;         // its bytes: the record is written back only when it has room for all 401

  void Create(const Str63& name, IBNibRef inNib) override;
  void Close(SInt32& status) override;
};

TBookmarkEditor* OpenBookmarkEditor(UInt8* bookmark, WindowRef parent, CFIndex length = kProjectBookmarkDataSize);

// ---------------------------------------------------------------------------
// The progress window of a project compile.

class TCompileWindow : public TWindow {
 public:
  TSyntaxParser* parser = nullptr;  // not owned
  Str63 fileName;
  SInt16 count = 0;
  SInt16 total = 0;

  // 'not!' stops the compile.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // One more file done when its name differs from the last one's.
  virtual void Update(FileDescriptor* file, CFRange range);
};

TCompileWindow* OpenCompileWindow(TSyntaxParser* parser, SInt16 total);

// ---------------------------------------------------------------------------
// The rename sheet the project makes ("Rename Item (Files)" for source and
// resource items, else "Rename Item"): the new name in 'NAME'/128; for a
// file item whose file was found, the check box 'OPTI'/128 renames the file
// on disk too (the group reads it and the file from the sheet).

class TRenameItem : public TWindow {
 public:
  TProjectAbstract* project = nullptr;
  void* data = nullptr;  // the item's payload, not owned
  UInt32 type = 0;
  TBrowserGroup* group = nullptr;
  TGroupBrowser* browser = nullptr;
  FSRef file{};  // the item's file; all zeros when it has none
  ControlRef nameField = nullptr;

  // 'not!' closes; 'ok  ' renames ('FOLD' items by the browser, others by
  // their group) and closes.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
};

// ---------------------------------------------------------------------------
// The add-files dialog: each chosen file is added to the project.

class TAddFilesDialog : public TNavDialogs {
 public:
  TProjectAbstract* project = nullptr;
  void HandleSingleResult(const FSRef& file) override;
};

// ---------------------------------------------------------------------------
// Routines

// The file "Contents/Resources/Data/" + name in the bundle: 0; a missing
// file is created there (type 'TEXT', creator '????') and the creation's
// status returned; -43 when the bundle has no such folder.
SInt32 GetProjectResourceFile(const FSRef& bundle, const Str63& name, FSRef& ref);

// The group type of a file: 'TTXT' (sources) for a name of a supported
// language or text, 'RTXT' (resources) for images, PDF, web archives and
// links, four question marks otherwise. Later checks win.
OSType GetDocumentType(const FSRef& file);

// A new menu (ID 151) of the applications that view or edit the file, each
// item with the command 'opnA' and the properties '????'/'appR' (the
// application) and '????'/'docu' (the file). The caller releases it.
MenuRef CreateOpenWithMenu(const FSRef& file);
