// TSourceEditorUnit: the pane that edits one source file. Over its text view
// it owns a parser driver and the parser controller of its text, and keeps
// the text coloured while it is edited: every change the view reports is
// widened to a small stretch that is re-parsed at once. Whole files (opening,
// refreshing, compiling) go through the driver's queue. The editor chooses the
// language mode of the text, answers the editor commands, fills its in-pane
// toolbar menus (functions, headers, mode, macros) and adds to the text view's
// contextual menu.
#pragma once

#include "CFString.h"
#include "CGContext.h"
#include "Icons.h"
#include "Menus.h"
#include "ShortString.h"
#include "TCodeSenseLibraryUnit.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxParserUnit.h"
#include "TWASTEPaneUnit.h"
#include "fenwicket/Fenwicket.h"

class TCodeCompletionWindow;  // the completion list; made by its own unit

// Options of an editor: element n is bit n.
typedef UInt32 SourceEditorOptions;
enum : UInt32 {
  kSourceEditorAllOptions = 0,
  kSourceEditorCodeCompletion,
  kSourceEditorCodeSense,
  kSourceEditorGutter,
  kSourceEditorLineNumbers,
  kSourceEditorMultipleUndo,
  kSourceEditorWrapLines,
  kSourceEditorHideToolbar,
  kSourceEditorReadOnly,
};
constexpr SourceEditorOptions SourceEditorOption(UInt32 element) { return SourceEditorOptions(1) << element; }

enum : UInt32 {
  kHICommandSetSyntaxMode = 'SMDE',
  kHICommandFindSymbol = 'fSYM',
  kHICommandShowContextualMenu = 'shCM',
  kHICommandCompletion = 'ECMP',
  kHICommandEditorIdleTyping = 'SEIT',
  kHICommandSymbolsParsed = 'sptm',
  kHICommandOpenHeader = 'OPND',
};
// Menu item properties: a whole stored symbol, a header's path.
enum : OSType {
  kSourceEditorPropertyCreator = 'SYMB',
  kSourceEditorSymbolTag = 'DATA',
  kSourceEditorPathTag = 'PATH',
};
constexpr OSType kSourceEditorToolbarSignature = 'TOOL';
constexpr SInt32 kSourceEditorToolbarID = 128;

class TSourceEditor : public TWASTEPane {
 public:
  TSyntaxParser* parser = nullptr;
  SyntaxParserSource source;
  SyntaxParserDestination destination;
  TCodeSenseLibrary* codeSense = nullptr;  // not owned
  TCodeCompletionWindow* completion = nullptr;
  Str63 modeName;
  ControlRef toolbar = nullptr;
  MenuRef functionsMenu = nullptr;
  MenuRef headersMenu = nullptr;
  MenuRef modeMenu = nullptr;
  MenuRef macrosMenu = nullptr;
  SInt16 macrosItem = 0;  // the "Macros" button (a toolbar item reference)
  SourceEditorOptions options = 0;
  CFRange hiliteRange{0, 0};  // start/end offsets of the highlight box

  // Overrides.
  void SelectViewObject() override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void Create(const Str63& name, IBNibRef nib) override;
  void Load() override;

  // Introduced, in slot order.
  void SetDocument(TDocument* inDocument) override;
  virtual SInt16 Save();
  virtual void Refresh();
  virtual void RefreshWithOptions(CFRange range, SyntaxParserProcessOptions processOptions);
  // The source of a whole-text parse: in the document's own language.
  SyntaxParserSource WholeTextSource();
  virtual void Compile();
  virtual void Update(FileDescriptorPtr file);
  virtual void Spawn(const Str63& fileName, const Str255& query);
  virtual void CreateToolbar(ControlRef view);
  virtual void AddModeMenu();
  virtual void AddMacroMenu();
  virtual void SetFileSystem(TFileSystem* fileSystem);
  virtual void SetCollection(TSyntaxCollection* collection);
  virtual void SetController(TSyntaxParserController* controller);
  virtual void SetCodeSense(TCodeSenseLibrary* library);
  virtual void SetOptions(SourceEditorOptions value);
  virtual void SetHiliteRanage(CFRange range);
  virtual void SetParser(TSyntaxParser* value);
  virtual void ChangeOptions(SourceEditorOptions value, Boolean remove);
  virtual void DetachFileSystem();
  virtual void SetTabWidth(SInt16 width);
  virtual void SetCodeCompletionDelay(float delay);
  virtual void SetSyntaxMode(const Str255& name, Boolean reparse);
  virtual SyntaxLibraryPtr GetSyntaxMode();
  virtual SyntaxLibraryPtr GetDefaultLanguage();
  // Hooks for subclasses.
  virtual void HandleControllerFlux(SInt32 offset, SInt32 delta, UInt8 ch, WEReference controller) {}
  virtual void HandleDrawBackground(CGContextRef context, const CGRect& rect, WEViewReference view,
                                    WEReference controller) {}
  virtual void HandleDrawGutter(CGContextRef context, SInt32 line, const CGRect& bounds, WEReference controller) {}
  virtual void HandleClickContent(const CGPoint& point, SInt16 button, UInt32 modifiers) {}
  virtual void HandleClickGutter(SInt32 line, Boolean& handled) {}
  virtual void HandleContextualMenu(MenuRef menu, WEReference controller) {}
  virtual void HandleTrackCursor(SInt32 offset, WEReference controller) {}
  virtual void HandleTrackWord(CFStringRef word, const CFRange& range, WEReference controller) {}
  virtual OSStatus HandleReceiveDrag(const void* data, FlavorType type, SInt32 offset, DragRef drag) { return -1; }
  virtual void HandleAcceptInput(Boolean& accept) {}
  virtual void HandleParserInspector(TSyntaxParserProcess* process) {}
  virtual void HandleParserState(UniChar ch, const Str63& text, Boolean flag, SInt32 value, const Str63& name) {}
  virtual void HandleParserNotification(FileDescriptorPtr file, const SyntaxParserSource& src, SInt16 kind,
                                        void* data) {}
  virtual IconRef GetSymbolIcon(SymbolInfoPtr symbol);
  virtual void RevealSymbol(const SymbolInfo& symbol);
  virtual SInt32 HandleFindSymbolCommand(const HICommand& command);
  virtual void UpdateSymbolMenu(FileDescriptorPtr file);
  virtual void UpdateHeaderMenu(FileDescriptorPtr file);
  virtual void UpdateModeMenu();
  virtual void UpdateMacroMenu();
  virtual void UpdateNavigationMenu(const Str255& text, MenuRef menu);
  virtual UInt16 FindSymbolMenuItem(const Str63& name);

  // The editor's text engine instance (nil before Create).
  WEReference GetWE() const;
  TWASTEController* GetController() const { return controller_; }
  // The current language (the source's), nil until one is chosen.
  SyntaxLibraryPtr CurrentLanguage() const { return source.library; }

 private:
  TWASTEController* controller_ = nullptr;  // owned
  EventHandlerRef keyHandler_ = nullptr;
  SyntaxLibraryPtr menusMode_ = nullptr;  // the mode the macro and mode menus were made for
  friend void HandleControllerFluxCallback(SInt32, SInt32, UInt8, WEReference, void*);
};

// The WASTE instance of the editor's controller.
WEReference SourceEditorGetController(TSourceEditor* editor);
// The icon of a symbol's kind ('macs' creator); the caller releases it.
IconRef SourceEditorGetSymbolIcon(SymbolInfoPtr symbol);

// The change callback that re-parses an edit's stretch.
void HandleControllerFluxCallback(SInt32 offset, SInt32 delta, UInt8 ch, WEReference controller, void* context);
// The re-parse stretch of an edit at offset with the length change delta,
// before widening: (offset - 1, offset) for one character typed, (offset - 1,
// offset + delta) for more, (offset - 1, offset + 1) for a deletion.
CFRange SourceEditorEditSpan(SInt32 offset, SInt32 delta);
