// TMacroEditorUnit: the editors of the macro library and the list of the
// errors a command reports.
//
// The macro editor window shows the commands of one library (chosen in its
// library pop-up), the shared variables, and a pane that edits the chosen
// command: its title, its name in the library, its action, its output and
// its text. Everything goes back into the library and to disk when the
// window saves: on the Save command, when it is deactivated and when it
// closes.
//
// The command editor edits the one command behind a project command; it
// keeps it in the "project" library.
//
// The macro error pane sits under an editor and lists what a command sent
// to the error list, one "message|line|column|file" line per row; choosing
// a row shows that line.
#pragma once

#include <vector>

#include "CFString.h"
#include "ProjectRecords.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TCodeSenseLibraryUnit.h"
#include "TPaneUnit.h"
#include "TWindowUnit.h"

class TQVEditor;
class TProject;
class TWASTEView;

// ---------------------------------------------------------------------------
// Names, views, commands and texts

extern const char kMacroEditorNibName[];       // "MacroEditor"
extern const char kMacroEditorWindowName[];    // "MainWindow"
extern const char kCommandEditorWindowName[];  // "Command Editor"
extern const char kMacroPaneName[];            // "Macro Pane", shown in both windows
extern const char kMacroErrorPaneName[];       // "Error Pane (Macro)" (the main interface file)
extern const char kProjectLibraryName[];       // "project"
// The refusal of a command name another command of the library has.
extern const char kMacroNameTakenMessage[];
// New commands for a library that is not loaded (the project's, with no
// window of a project open).
extern const char kMacroLibraryNotOpenMessage[];
// The refusal of a project command's name longer than its 31 characters.
extern const char kProjectCommandNameTooLongMessage[];

enum : OSType {
  kMacroLibraryPopupSignature = 'LANG',  // 128
  kMacroListSignature = 'LIST',          // 128 the commands, 129 the variables
  kMacroPaneContainerSignature = 'PANE', // 129: where the macro pane goes
  kMacroTitleSignature = 'MACR',         // 128
  kMacroCommandSignature = 'COMM',       // 128
  kMacroActionSignature = 'ACTI',        // 128
  kMacroOutputSignature = 'OUTP',        // 128
  kMacroTextSignature = 'EDIT',          // 129
  kMacroErrorToolbarSignature = 'TOOL',  // 128
  kMacroErrorListSignature = 'ERRO',     // 128
  kMacroErrorCloseIcon = 'XBUT',         // of the system creator 'macs'
  kMacroRowIcon = 'MBMC',                // of 'macs'
};
enum : SInt32 {
  kMacroCommandListID = 128,
  kMacroVariableListID = 129,
  kMacroPaneContainerID = 129,
  kMacroFieldID = 128,
  kMacroTextID = 129,
  kMacroErrorViewID = 128,
};

enum : UInt32 {
  kHICommandNewMacro = '+MAC',
  kHICommandDuplicateMacro = '++MC',
  kHICommandNewVariable = '+VAR',
  kHICommandDeleteMacro = '-MAC',
  kHICommandDeleteVariable = '-VAR',
  kHICommandChooseLibrary = 'LANG',
  kHICommandChooseAction = 'ACTI',
  kHICommandChooseOutput = 'OUTP',
};

// Columns of the lists.
enum : DataBrowserPropertyID {
  kMacroTitleColumn = 'TEXT',
  kVariableNameColumn = 'NAME',
  kVariableValueColumn = 'VALU',
  kMacroErrorColumn = 'DATA',
};

// Payload types of the rows.
enum : UInt32 {
  kMacroRowType = 'MACR',
  kVariableRowType = 'VARI',
  kMacroErrorRowType = 'MERR',
};

// One variable row (128 bytes).
struct VariableData {
  Str63 name;
  Str63 value;
};
static_assert(sizeof(VariableData) == 128, "a variable row is 128 bytes");

// One row of the error list (520 bytes).
struct MacroErrorData {
  Str255 message;
  SInt16 column;
  SInt32 line;
  Str255 file;
};
static_assert(sizeof(MacroErrorData) == 520, "an error row is 520 bytes");

// The rows of an error text: every line (ended by LF) that splits at "|"
// into at least two parts: message, line, column, file; missing parts are
// empty or 0.
std::vector<MacroErrorData> ParseMacroErrors(CFStringRef text);

// ---------------------------------------------------------------------------
// The pane that edits one command

class TMacroEditorPane : public TPane {
 public:
  ControlRef titleField = nullptr;    // 'MACR'
  ControlRef commandField = nullptr;  // 'COMM'
  ControlRef actionPopup = nullptr;   // 'ACTI'
  ControlRef outputPopup = nullptr;   // 'OUTP'
  ControlRef textControl = nullptr;   // 'EDIT' 129
  TWASTEView* textView = nullptr;     // ends with its view
  // Told of every change the user makes in the fields and the text.
  void (*changed)(void* context) = nullptr;
  void* changedContext = nullptr;
  // The longest command name the pane hands back.
  SInt16 commandLimit = 63;
  Boolean loading = false;
  // The pop-ups show a value of the record they have no item for: it stays
  // until the user picks another.
  Boolean keepAction = false;
  Boolean keepOutput = false;

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;

  // The record into the fields, the pop-ups and the text (no change is told
  // while it loads); nil empties them and disables them.
  virtual void ShowMacro(MacroDataPtr macro);
  // The fields, pop-ups and text back into the record. The command name
  // given in 'COMM' is left to the caller (see TypedCommandName).
  virtual void UpdateMacro(MacroDataPtr macro);
  virtual void SetEnabled(Boolean enabled);
  // What 'COMM' holds: false when it cannot be a command name (empty, too
  // long, or holding characters a name cannot keep).
  virtual Boolean TypedCommandName(Str63& name);
  // The user picked an action or an output: it goes into the record.
  void PopupChosen(UInt32 command);
  void Changed();
};

// ---------------------------------------------------------------------------
// The macro editor window

class TMacroEditorWindow;

class TMacroBrowser : public TBrowser {
 public:
  TMacroEditorWindow* editor = nullptr;

  // The commands of the window's library, one row each (the rows own their
  // records and the records their texts).
  void Populate() override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;
  Boolean CompareItem(NodeInfoPtr one, NodeInfoPtr two, DataBrowserPropertyID property) override;
  void ReleaseItem(void* data, UInt32 dataType) override;
  void Release() override;
  // The Delete key removes the selected rows as the remove button does.
  Boolean RemoveItem(void* data, UInt32 dataType, DataBrowserItemID item) override;
  // The icon and the title, with the command's name in a rounded label at
  // the right of the row.
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;

  // A row for a copy of the record (the copy takes over the text); its item.
  SInt32 AddMacro(const MacroData& macro);
  // The records of every row, in row order.
  std::vector<MacroDataPtr> Macros();
};

class TVariableBrowser : public TBrowser {
 public:
  TMacroEditorWindow* editor = nullptr;
  HIPoint lastClick{};  // where the last click in the list went (window coordinates)

  // The library's variables, one row each.
  void Populate() override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;
  Boolean RemoveItem(void* data, UInt32 dataType, DataBrowserItemID item) override;

  SInt32 AddVariable(const VariableData& variable);
  std::vector<VariableData> Variables();
};

class TMacroEditorWindow : public TWindow {
 public:
  TMacroBrowser* macroBrowser = nullptr;
  TVariableBrowser* variableBrowser = nullptr;
  MacroDataPtr current = nullptr;  // the row's record the pane shows; not owned
  TMacroEditorPane* pane = nullptr;
  TCodeSenseLibrary* library = nullptr;  // not owned
  Str63 libraryName;  // the library pop-up's text as it was chosen
  Boolean modified = false;  // a list has changes not saved yet

  void Create(const Str63& name, IBNibRef inNib) override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Saves, then closes.
  void Close(SInt32& status) override;
  void Release() override;
  // Saves when the window is deactivated; shows the library afresh when it
  // is activated again.
  SInt32 HandleEvent(EventRef event) override;

  virtual void NewMacro();
  // The lists read again from the library (unless they hold changes), the
  // row shown so far selected again.
  virtual void Refresh();
  virtual void DuplicateMacro();
  virtual void NewVariable();
  virtual void DeleteMacros();
  virtual void DeleteVariables();
  // The pane back into the current record, then the list sorted and redrawn.
  virtual void Update();
  // The edit of the command name ends: a name another row has is refused
  // (the user is told) and the field shows the name the command keeps.
  virtual void CommitCommandName();
  // Stores what the pane shows, then shows the record (nil: none).
  virtual void ShowMacro(MacroDataPtr macro);
  // The library pop-up changed: the edits so far are saved, then the list
  // shows the chosen library.
  virtual void ChooseLibrary();
  // When a list has changes: the rows become the library's commands and
  // variables, and the library writes them.
  virtual void Save();
  // Gives the record the command name unless another row has it already
  // (the user is told). True when the record has the name now.
  virtual Boolean RenameMacro(MacroDataPtr macro, const Str63& name);

  // The pop-up's library name in lower case.
  Str63 ChosenLibrary();
  // The chosen library is loaded (its rows have somewhere to go).
  Boolean LibraryLoaded();
  // LibraryLoaded, or the user is told why nothing is added.
  Boolean CanAddTo();
  void SetModified();
  // A command name no row and no loaded library uses.
  Str63 UniqueCommandName();
  Boolean RowHasCommandName(const Str63& name, MacroDataPtr except);
  void ResetCommandField();
};

// The window for the library; the one already open comes to the front.
TMacroEditorWindow* OpenMacroEditor(TCodeSenseLibrary* library);
// The window that is open now; nil when none.
TMacroEditorWindow* FrontMacroEditor();

// ---------------------------------------------------------------------------
// The command editor of a project command

class TCommandEditor : public TWindow {
 public:
  CommandData command;                   // the project command as it was opened
  TCodeSenseLibrary* library = nullptr;  // not owned
  MacroDataPtr macro = nullptr;          // owned
  TMacroEditorPane* pane = nullptr;
  // Takes the command's new title and name when the window closes.
  void (*store)(const CommandData& command, void* context) = nullptr;
  void* storeContext = nullptr;

  void Create(const Str63& name, IBNibRef inNib) override;
  // The pane back into the macro; the macro moves to its new name in the
  // "project" library, and the command takes its title and name.
  void Close(SInt32& status) override;
  void Release() override;
  // Saves the macro into the "project" library when deactivated.
  SInt32 HandleEvent(EventRef event) override;

  // The pane back into the macro, the name included when it is usable;
  // false when the name was refused.
  Boolean CopyBack();
  void SaveCommand();
};

// The command editor of the project command, over the parent window; nil
// when the interface file has no such window. store (may be nil) is told the
// command's new title and name when the window closes.
TCommandEditor* OpenCommandEditor(const CommandData& command, TCodeSenseLibrary* library, WindowRef parent,
                                  void (*store)(const CommandData& command, void* context) = nullptr,
                                  void* context = nullptr);
// The command editor of a project's command item ('gINF'): the item's
// payload is its record. The project's own library is loaded (and made,
// empty, when the project has none) so that the command can be kept there.
void ProjectOpenCommandEditor(TProject* project, void* data);

// ---------------------------------------------------------------------------
// The macro error list

class TMacroErrorPane;

class TMacroErrorBrowser : public TBrowser {
 public:
  TQVEditor* editor = nullptr;   // not owned
  CFStringRef text = nullptr;    // owned

  void Populate() override;
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void Release() override;

  void SetText(CFStringRef newText);
  // Selects the row's line when the row names the editor's document (or
  // "self"), otherwise opens the row's file at that line.
  virtual void ChooseError(const MacroErrorData& error);
};

class TMacroErrorPane : public TPane {
 public:
  TMacroErrorBrowser* browser = nullptr;
  ControlRef toolbar = nullptr;
  Str255 name;  // the command's title, shown in the toolbar

  void Create(const Str63& paneName, IBNibRef nib) override;
  void Release() override;
  // The errors of a new text replace the rows.
  virtual void Load(CFStringRef text);
  // The command's title in the toolbar.
  virtual void SetName(const Str255& title);
};

// The pane from the main interface file, attached to the front editor
// window, listing the text's errors; nil when it cannot be made.
TMacroErrorPane* CreateMacroErrorPane(const Str255& name, CFStringRef text, TQVEditor* editor);
