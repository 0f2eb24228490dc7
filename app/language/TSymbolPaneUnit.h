// TSymbolPaneUnit: the two side panes that list symbols. The symbol pane
// shows the nested symbol tree of the document in the editor; choosing a row
// reveals the symbol there. The project symbol browser lists the symbols of
// every file of a project symbol index, filtered by kind, offers a menu of
// the indexed files and can add files to the index by parsing them; choosing
// a row opens the symbol's file at its declaration. Both lists are one
// browser class over the tree library.
#pragma once

#include "CGImage.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Menus.h"
#include "TBrowserUnit.h"
#include "TFileSystemUnit.h"
#include "TModePaneUnit.h"
#include "TNavDialogsUnit.h"
#include "TPaneUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxParserUnit.h"
#include "TTaskUnit.h"

class TSourceEditor;

// Symbol kinds: the first four characters of a definition's icon name, and
// the icon types (creator 'macs') drawn for each kind.
enum : OSType {
  kSymbolKindFunction = 'sxFU',
  kSymbolKindMethod = 'sxMT',
  kSymbolKindClass = 'sxCL',
  kSymbolKindConstant = 'sxCS',
  kSymbolKindGlobal = 'sxGV',
};

// Commands.
enum : UInt32 {
  kSymbolCommandFilter = 'FILT',
  kSymbolCommandClear = 'sbcl',
  kSymbolCommandAddFiles = 'ADDF',
  kSymbolCommandRefresh = 'REFR',
  kSymbolCommandModeChanged = 'udsp',
};

// Interface resources.
extern const Str63 kSymbolBrowserPaneResource;       // "Symbol Browser Pane"
extern const Str63 kSymbolPaneNibName;               // "FileSystemBrowser"
extern const Str63 kSymbolActionMenuResource;        // "Actions Menu (Symbols)"

// The kind of a symbol (its definition's icon name, cut to four
// characters); 0 when the definition cannot be found.
OSType GetSymbolKind(SymbolInfoPtr symbol);

class TSymbolBrowser : public TBrowser {
 public:
  TSourceEditor* editor = nullptr;       // the symbol pane's; nil in the project browser
  FileDescriptorPtr descriptor = nullptr;  // the file the symbol pane shows

  void Create(ControlRef browser) override;
  void Populate() override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;
  Boolean AddDragItem(void* data, UInt32 dataType, DataBrowserItemID item, DragRef drag,
                      DragItemRef dragItem) override;
  Boolean CompareItem(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID property) override;
};

class TSymbolPane : public TPane {
 public:
  TSymbolBrowser* browser = nullptr;

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  // Shows the descriptor's symbol tree (nil keeps the rows) for the editor.
  virtual void Load(FileDescriptorPtr descriptor, TSourceEditor* editor);
};

class TSymbolBrowserPane : public TModePane {
 public:
  ControlRef toolbar = nullptr;
  MenuRef filterMenu = nullptr;
  MenuRef filesMenu = nullptr;
  TSymbolBrowser* browser = nullptr;
  TFileSystem* fileSystem = nullptr;  // not owned
  TSyntaxParser* compiler = nullptr;  // the latest AddFiles batch; owned

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Create(const Str63& name, IBNibRef nib) override;
  MenuRef CreateActionMenu() override;
  void ModeChanged() override;
  void Release() override;
  virtual void SetFileSystem(TFileSystem* index);
  virtual void AddFiles();
  virtual void Load();
  virtual void LoadAsynch();
  virtual void UpdateFilesMenu();
};

// Hands Load to the main thread and ends.
class TSymbolBrowserTask : public TTask {
 public:
  TSymbolBrowserPane* pane = nullptr;
  void Run() override;
  void RemoteProcedure(SInt16 selector) override;
};

// An open dialog whose chosen files go into the parser's batch; the batch is
// parsed when the dialog ends.
class TCompileDialog : public TNavDialogs {
 public:
  TSyntaxParser* parser = nullptr;  // not owned
  void HandleSingleResult(const FSRef& file) override;
  void Release() override;
};

// Checks the chosen item alone and reloads the pane (the context).
void SelectSymbolFilterMenu(MenuRef menu, SInt16 item, void* pane);

// The panes, attached to the window. CreateSymbolPane reads its interface
// file from the application's bundle (once); CreateSymbolBrowserPane uses
// the application's main interface file.
TSymbolPane* CreateSymbolPane(WindowRef window);
TSymbolBrowserPane* CreateSymbolBrowserPane(WindowRef window);

// The same from given interface files (tests, other bundles).
TSymbolPane* CreateSymbolPaneFromNib(WindowRef window, IBNibRef nib);
TSymbolBrowserPane* CreateSymbolBrowserPaneFromNib(WindowRef window, IBNibRef nib);

// What the editor window needs of these panes, in the shapes its seams
// take: the project's symbol browser over the project's index, the
// document's symbol pane, and the pane brought up to date for the document
// of a file in an editor (the file is looked up in the index by its key).
TModePane* MakeSymbolBrowserPane(WindowRef window, TFileSystem* index);
TPane* MakeSymbolPane(WindowRef window);
void ShowDocumentSymbols(TPane* symbolPane, TFileSystem* index, const FSRef& file, TSourceEditor* editor);

// The image drawn behind selected rows, given at start-up; nil: none.
void SymbolPaneSetSelectionImage(CGImageRef image);
