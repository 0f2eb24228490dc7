// TCodeCompletionUnit: the completion list of a source editor. A small
// floating window under the word being typed lists the project's symbols and
// the language's keywords that begin with it; while it shows it takes Return,
// Up and Down before the text does, and Return puts the chosen entry in place
// of the word. The window never takes the keyboard focus from the editor, and
// a click in any other window hides it.
#pragma once

#include <map>

#include "CFString.h"
#include "DataBrowser.h"
#include "ShortString.h"
#include "TFileSystemUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TWindowUnit.h"
#include "WASTE.h"

class TCodeCompletionWindow;

// Where the list lives in the window, and its one column.
constexpr OSType kCodeCompletionBrowserSignature = 'COME';
constexpr SInt32 kCodeCompletionBrowserID = 128;
constexpr DataBrowserPropertyID kCodeCompletionColumn = 'COME';
// Item kinds: a symbol of the project, a keyword of the language.
constexpr UInt32 kCodeCompletionSymbolKind = 'SYMB';
constexpr UInt32 kCodeCompletionKeywordKind = 'TEXT';
constexpr SInt16 kCodeCompletionRowHeight = 16;
constexpr SInt16 kCodeCompletionMaxHeight = 192;  // 12 rows
// The interface file the window comes from when the editor's own has none.
constexpr const char* kCodeCompletionNibName = "Completion";

// The list: one row per entry, kept in case-insensitive alphabetical order.
class TCodeCompletionBrowser {
 public:
  TCodeCompletionWindow* owner = nullptr;  // not owned
  ControlRef control = nullptr;            // the list control, owned by its window
  Str255 longest;   // the longest entry text, for the window's width
  SInt16 count = 0; // entries added
  Str63 prefix;     // the word being completed

  virtual ~TCodeCompletionBrowser();
  virtual void Create(ControlRef inControl);
  // 7 (double click) puts the entry in place of the word.
  virtual void ItemNotification(DataBrowserItemID item, DataBrowserItemNotification message);
  // The entry's text for the list's column.
  virtual OSStatus DrawItem(DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserItemDataRef itemData);
  // True when the first entry sorts before the second.
  virtual Boolean CompareItem(DataBrowserItemID itemOne, DataBrowserItemID itemTwo);

  // Empties the list.
  void Clear();
  // Appends an entry; kind is kCodeCompletionSymbolKind or kCodeCompletionKeywordKind.
  void AppendItem(const Str63& text, UInt32 kind);
  // Appends a keyword entry.
  void WriteLn(const Str63& text);
  // Selects the row (0 is the first) alone and shows it.
  void SelectRow(UInt32 row);
  // The row of the first selected entry; -1 when none is selected.
  SInt32 GetSelectedRow();
  UInt32 CountRows();
  // The text of the row's entry; empty when there is no such row.
  Str63 GetRowText(UInt32 row);
  // The entry text of an item; empty for an unknown item.
  Str63 GetItemText(DataBrowserItemID item);

 private:
  struct Entry {
    Str63 text;
    UInt32 kind;
  };
  std::map<DataBrowserItemID, Entry> entries_;
  DataBrowserItemID nextItem_ = 1;
};

class TCodeCompletionWindow : public TWindow {
 public:
  TCodeCompletionBrowser* browser = nullptr;  // owned
  TFileSystem* fileSystem = nullptr;          // not owned
  EventHandlerUPP eventProc = nullptr;
  CFRange wordRange{0, 0};  // start and end offsets of the word
  WEReference controller = nullptr;
  SyntaxLibraryPtr language = nullptr;
  float delay = 0;  // seconds
  Str255 contextName;  // the parse context at the last edit

  // Overrides.
  void Release() override;
  void Create(const Str63& name, IBNibRef inNib) override;
  void Show() override;
  void Hide() override;
  // Introduced.
  // The key's answer while the list shows: 0 when the list took it,
  // eventNotHandledErr (-9874) when it goes on to the text.
  virtual SInt32 HandleKeys(UInt32 keyCode);
  // Fills the list with what begins with the prefix; shows the window when
  // something matched, hides it otherwise.
  virtual void FindCompletion(const Str255& prefix);

  // The handler on the application's target.
  EventHandlerRef handler = nullptr;
  // Puts the row's entry in place of wordRange; the status of the put.
  OSStatus InsertRow(SInt32 row);
  // The height and width the list asks for (Show sets the bounds to them).
  SInt16 ListHeight();
  SInt16 ListWidth();
};

// The application-level handler of the completion window: clicks in other
// windows hide it, Return, Up and Down go to HandleKeys while it shows.
OSStatus HandleControllerEvents(EventHandlerCallRef call, EventRef event, void* window);
