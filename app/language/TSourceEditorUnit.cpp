#include "TSourceEditorUnit.h"

#include "ApplicationFramework.h"
#include "DynamicParser.h"
#include "PascalCarbonCommon.h"
#include "TCodeCompletionUnit.h"
#include "TDocumentUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "TypingHelpers.h"

// Unit callbacks of the view client (TSourceEditorUnit+Callbacks.cpp).
void RegisterSourceEditorClient(TSourceEditor* editor, HIViewRef view);

namespace {

// The macro library's key filter hands keys to the typing helpers: filled
// once, by the first editor.
void InstallTypingHelpers() {
  static bool done = false;
  if (done) return;
  done = true;
  CodeSenseTypingHelpers helpers{};
  helpers.ValidBracketCharacter = ValidBracketCharacter;
  helpers.ClosingBracketCharacter = ClosingBracketCharacter;
  helpers.AutoExpandLanguageTags = [](UInt8 ch, SInt16 keyCode, WEReference we, Boolean& accept) {
    AutoExpandLanguageTags(ch, UInt32(keyCode), we, accept);
  };
  helpers.AutoCompleteBrackets = [](UInt8 ch, SInt16 keyCode, WEReference we, Boolean& accept) {
    AutoCompleteBrackets(ch, UInt32(keyCode), we, accept);
  };
  helpers.AutoCloseTag = AutoCloseTag;
  helpers.AutoDeleteTag = AutoDeleteTag;
  helpers.InsertForwardLineBreak = InsertForwardLineBreak;
  helpers.AutoIndent = AutoIndent;
  helpers.CurrentKeyCode = &CurrentKeyCode;
  helpers.CurrentKeyModifiers = &CurrentKeyModifiers;
  helpers.DisableFlux = &DisableFlux;
  CodeSenseSetTypingHelpers(&helpers);
}

void HandleParserNotificationCallback(FileDescriptorPtr file, const SyntaxParserSource& src, SInt16 kind, void* data,
                                      void* userData) {
  auto* editor = static_cast<TSourceEditor*>(userData);
  editor->HandleParserNotification(file, src, kind, data);
  if (kind == kSyntaxParserNotifyFinished && file != nullptr) {
    editor->Update(file);
    if (auto* doc = dynamic_cast<TSourceDocumentAbstract*>(editor->document)) {
      doc->SelectQuery();
      doc->SelectDefaultLine();
    }
    if (WindowRef window = editor->GetWindow())
      SendHICommand(GetWindowEventTarget(window), kHICommandSymbolsParsed);
  } else if (kind == kSyntaxParserNotifyEmbeddedLanguage && data != nullptr) {
    const auto* embedded = static_cast<const ParserEmbeddedLanguageData*>(data);
    // The closing text, not the language: that is what the reset looks for.
    ResetLanguageRange(SInt32(embedded->span.location), embedded->close, editor->GetController());
  }
}

void HandleParserInspectorCallback(TSyntaxParserProcess* process, void* userData) {
  auto* editor = static_cast<TSourceEditor*>(userData);
  editor->HandleParserInspector(process);
  // The scan has reached the edit: the macro library learns the context.
  if (process != nullptr && process->state.absoluteOffset == editor->source.unused &&
      editor->codeSense != nullptr)
    editor->codeSense->SetLibraryContext(process->library, Str255(process->TopContext()));
  // The completion list offers the keywords of the context being typed in.
  if (process != nullptr && process->state.absoluteOffset == editor->source.unused && editor->completion != nullptr)
    editor->completion->contextName = Str255(process->TopContext());
}

void HandleParserStateCallback(UniChar ch, const Str63& word, Boolean reserved, SInt32 offset, const Str63& context,
                               void* userData) {
  static_cast<TSourceEditor*>(userData)->HandleParserState(ch, word, reserved, offset, context);
}

// The text takes no input while the file's whole parse streams it in (the
// window draws it meanwhile): a key typed then waits for the parse to end
// and goes in, instead of being refused. Installed after the view's own
// handlers, it runs before them.
OSStatus HandleKeyWhileParsing(EventHandlerCallRef, EventRef, void* userData) {
  auto* editor = static_cast<TSourceEditor*>(userData);
  if (editor->parser != nullptr && editor->parser->busy && editor->view != nullptr) {
    editor->parser->Finish();
  }
  return eventNotHandledErr;
}

}  // namespace

WEReference TSourceEditor::GetWE() const { return view != nullptr ? view->controller : nullptr; }

WEReference SourceEditorGetController(TSourceEditor* editor) {
  return editor != nullptr && editor->GetController() != nullptr ? editor->GetController()->weReference : nullptr;
}

// ---------------------------------------------------------------------------
// Setting up

void TSourceEditor::SetDocument(TDocument* inDocument) {
  TWASTEPane::SetDocument(inDocument);
  source.document = document;
}
void TSourceEditor::SetParser(TSyntaxParser* value) { parser = value; }
void TSourceEditor::SetController(TSyntaxParserController* value) {
  controller_ = dynamic_cast<TWASTEController*>(value);
  source.controller = controller_;
}
void TSourceEditor::SetCodeSense(TCodeSenseLibrary* library) {
  codeSense = library;
  menusMode_ = nullptr;
}
void TSourceEditor::SetOptions(SourceEditorOptions value) { options = value; }
void TSourceEditor::ChangeOptions(SourceEditorOptions value, Boolean remove) {
  if (remove) options &= ~value;
  else options |= value;
}
void TSourceEditor::SetFileSystem(TFileSystem* fileSystem) {
  destination.fileSystem = fileSystem;
  if (fileSystem != nullptr) destination.collection = fileSystem->collection;
  if (parser != nullptr) parser->SetDestination(destination);
}
void TSourceEditor::SetCollection(TSyntaxCollection* collection) {
  destination.collection = collection;
  if (parser != nullptr) parser->SetDestination(destination);
}
void TSourceEditor::DetachFileSystem() {
  SetFileSystem(nullptr);
  Refresh();
}
void TSourceEditor::SetCodeCompletionDelay(float delay) {
  if (completion == nullptr) return;
  completion->delay = delay;
  if (view != nullptr) WasteSetWordTrackingDelay(view->control, delay);
}
// Tab stops stay the text view's own.
void TSourceEditor::SetTabWidth(SInt16) {}
void TSourceEditor::SetHiliteRanage(CFRange range) { hiliteRange = range; }

void TSourceEditor::Create(const Str63& name, IBNibRef nib) {
  TWASTEPane::Create(name, nib);
  SetClassString("TSourceEditor");
  if (options == SourceEditorOption(kSourceEditorAllOptions))
    options = SourceEditorOption(kSourceEditorCodeCompletion) | SourceEditorOption(kSourceEditorCodeSense) |
              SourceEditorOption(kSourceEditorGutter) | SourceEditorOption(kSourceEditorLineNumbers) |
              SourceEditorOption(kSourceEditorMultipleUndo) | SourceEditorOption(kSourceEditorWrapLines);
  InstallTypingHelpers();
  if (view != nullptr) {
    HIViewRef textView = view->control;
    RegisterSourceEditorClient(this, textView);
    if (document != nullptr && document->fileType != 'RTF ') view->SetStyle(document->fontName, document->fontSize);
    view->ChangeOptions(WasteOption(kWasteViewMatchPastedStyles), false);
    if (options & SourceEditorOption(kSourceEditorLineNumbers))
      view->ChangeOptions(WasteOption(kWasteViewDrawLineNumbers), false);
    if (options & SourceEditorOption(kSourceEditorGutter)) view->ChangeOptions(WasteOption(kWasteViewDrawGutter), false);
    if (options & SourceEditorOption(kSourceEditorWrapLines)) {
      view->ChangeOptions(WasteOption(kWasteViewWordWrap), false);
      view->ChangeOptions(WasteOption(kWasteViewHorizantalScrollbar), true);
    }
    WEFeatureFlag(weFMultipleUndo, (options & SourceEditorOption(kSourceEditorMultipleUndo)) ? weBitSet : weBitClear,
                  view->controller);
    if (options & SourceEditorOption(kSourceEditorCodeCompletion)) {
      completion = new TCodeCompletionWindow();
      completion->Create("CodeCompletion", nib);
      if (completion->window == nullptr) {
        // No list to show: the editor goes without one.
        completion->Release();
        completion = nullptr;
      } else {
        if (completion->delay == 0) completion->delay = 0.3f;
        WasteSetWordTrackingDelay(textView, completion->delay);
      }
    }
    if ((options & SourceEditorOption(kSourceEditorCodeSense)) && codeSense != nullptr && document != nullptr)
      codeSense->Register(textView, document->file);
  }
  CreateToolbar(HIViewFind(kSourceEditorToolbarID, kSourceEditorToolbarSignature, nibWindow));
  if (view != nullptr) {
    // After the view's own change client, so the document is marked first.
    WasteCustomCallbacks flux{};
    flux.USERFLUX = HandleControllerFluxCallback;
    WasteRegisterCallbackClient(view->control, flux, this);
    static const EventTypeSpec kKeys[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent}};
    Err = InstallEventHandler(HIViewGetEventTarget(view->control), HandleKeyWhileParsing, 1, kKeys, this,
                              &keyHandler_);
  }
  if (parser == nullptr) parser = new TSyntaxParser();
  destination.notification = HandleParserNotificationCallback;
  destination.inspector = HandleParserInspectorCallback;
  destination.stateCallback = HandleParserStateCallback;
  destination.userData = this;
  // The inspector acts at the edit offset only, and the state hook does
  // nothing here: neither needs the scan to go a character at a time.
  destination.quietSkips = true;
  parser->SetDestination(destination);
}

void TSourceEditor::SelectViewObject() { TWASTEPane::SelectViewObject(); }

// ---------------------------------------------------------------------------
// Loading and parsing

void TSourceEditor::Load() {
  if (parser == nullptr || view == nullptr) return;
  if (parser->busy) parser->Terminate();
  if (document != nullptr) source.file = document->file;
  source.document = document;
  WEReference we = view->controller;
  if (controller_ == nullptr) {
    controller_ = new TWASTEController();
    controller_->SetWEReference(we);
    controller_->Initialize();
  }
  source.controller = controller_;
  source.span = CFRangeMake(0, controller_->GetTextLength());
  WasteSetFluxState(view->control, false);
  WESetSelection(0, WEGetTextLength(we), we);
  WEDelete(we);
  WasteSetFluxState(view->control, true);
  if (document != nullptr && document->fileType == 'RTF ') {
    Err = document->Open();
  } else if (document != nullptr && FSValidFSRef(document->file)) {
    // The text comes in through the document's reader, which records how
    // to write it back; the first parse then reads it from the text, and a
    // file that no language claims stays plain text.
    OSStatus status = noErr;
    if (auto* text = dynamic_cast<TWASTEDocument*>(document)) {
      if (text->controller == nullptr) text->controller = we;
      status = text->ReadText();
      UpdateModeMenu();
    }
    Err = status;
    source.span = CFRangeMake(0, controller_->GetTextLength());
    if (status == noErr) parser->ParseSingleFile(source, false);
  }
}

// A whole-text parse covers the whole text: its styles are reset before the
// scan, so colours of an earlier language or an older edit do not survive.
// The language under the caret (which the mode follows) may be a block's;
// the whole text is read in the document's own language.
void TSourceEditor::Refresh() {
  if (parser == nullptr) return;
  if (parser->busy) parser->Terminate();
  if (controller_ != nullptr) source.span = CFRangeMake(0, controller_->GetTextLength());
  parser->ParseSingleFile(WholeTextSource(), false);
}

SyntaxParserSource TSourceEditor::WholeTextSource() {
  SyntaxParserSource whole = source;
  // An untitled text keeps the mode it was given.
  if (document == nullptr || !FSValidFSRef(document->file)) return whole;
  if (SyntaxLibraryPtr language = GetDefaultLanguage()) whole.library = language;
  return whole;
}

void TSourceEditor::RefreshWithOptions(CFRange range, SyntaxParserProcessOptions processOptions) {
  if (parser == nullptr || parser->busy) return;
  source.span = range;
  source.options = processOptions;
  parser->ParseDynamic(source);
}

void TSourceEditor::Compile() {
  if (parser == nullptr) return;
  if (parser->busy) parser->Terminate();
  source.options = 0;
  if (controller_ != nullptr) source.span = CFRangeMake(0, controller_->GetTextLength());
  parser->ParseSingleFile(WholeTextSource(), true);
}

SInt16 TSourceEditor::Save() { return 0; }

void TSourceEditor::Update(FileDescriptorPtr file) {
  // The text was read before the parse began: a parse that ends after it
  // was changed leaves it changed.
  WEReference we = view != nullptr ? view->controller : nullptr;
  if (document != nullptr && (we == nullptr || WEGetModCount(we) == 0)) document->SetModifiedState(false);
  UpdateSymbolMenu(file);
  UpdateHeaderMenu(file);
  if (toolbar != nullptr) HIViewSetNeedsDisplay(toolbar, true);
}

void TSourceEditor::Release() {
  if (keyHandler_ != nullptr) RemoveEventHandler(keyHandler_);
  keyHandler_ = nullptr;
  if (parser != nullptr) {
    if (parser->busy) parser->Terminate();
    parser->Free();
    parser = nullptr;
  }
  if (completion != nullptr) {
    // Its window goes with it (Remove closes and releases both).
    completion->Remove();
    completion = nullptr;
  }
  for (MenuRef* menu : {&functionsMenu, &headersMenu, &modeMenu, &macrosMenu})
    if (*menu != nullptr) {
      ReleaseMenu(*menu);
      *menu = nullptr;
    }
  if (controller_ != nullptr) controller_->Free();
  controller_ = nullptr;
  source.controller = nullptr;
  TWASTEPane::Release();
}

// ---------------------------------------------------------------------------
// Language mode

SyntaxLibraryPtr TSourceEditor::GetDefaultLanguage() {
  TSyntaxCollection* collection = destination.collection;
  if (collection == nullptr) return nullptr;
  const bool hasFile = document != nullptr && FSValidFSRef(document->file);
  if (!modeName.empty()) {
    SyntaxLibraryPtr lib = collection->GetLanguageLibrary(modeName);
    if (!(hasFile && collection->GetFileLibrary(document->name) == lib)) return lib;
  }
  if (hasFile) {
    SyntaxLibraryPtr lib = collection->GetFileLibrary(document->name);
    if (lib == nullptr || lib->rootLanguage.empty()) return lib;
    SyntaxLibraryPtr root = collection->GetLanguageLibrary(lib->rootLanguage);
    return root != nullptr ? root : lib;
  }
  return collection->GetLanguageLibrary("html");
}

SyntaxLibraryPtr TSourceEditor::GetSyntaxMode() {
  TSyntaxCollection* collection = destination.collection;
  if (collection == nullptr) return source.library;
  if (source.library == nullptr)
    return document != nullptr ? collection->GetFileLibrary(document->name) : nullptr;
  if (!source.library->rootLanguage.empty() && !(source.library->rootLanguage == source.library->language)) {
    if (SyntaxLibraryPtr root = collection->GetLanguageLibrary(source.library->rootLanguage)) return root;
  }
  return source.library;
}

void TSourceEditor::SetSyntaxMode(const Str255& name, Boolean reparse) {
  TSyntaxCollection* collection = destination.collection;
  SyntaxLibraryPtr library = nullptr;
  if (name == Str255("default")) library = GetDefaultLanguage();
  else library = collection != nullptr ? collection->GetLanguageLibrary(Str63(name)) : nullptr;
  // The caret's moves ask for the mode in force over and over (a file
  // streaming in moves a caret at its end at every piece): the menus are
  // made again only for another mode.
  if (!reparse && library == source.library && library == menusMode_ && library != nullptr) return;
  source.library = library;
  if (codeSense != nullptr && source.library != nullptr) codeSense->SetLanguage(source.library->language);
  if (controller_ != nullptr && reparse) Refresh();
  UpdateMacroMenu();
  UpdateModeMenu();
  menusMode_ = source.library;
}

// ---------------------------------------------------------------------------
// Symbols across files

SInt32 TSourceEditor::HandleFindSymbolCommand(const HICommand& command) {
  if (command.menu.menuRef == nullptr) return 0;
  UInt8 bytes[kSymbolInfoStoredSize] = {};
  ByteCount size = 0;
  if (GetMenuItemProperty(command.menu.menuRef, command.menu.menuItemIndex, kSourceEditorPropertyCreator,
                          kSourceEditorSymbolTag, sizeof bytes, &size, bytes) != noErr)
    return 0;
  SymbolInfo symbol{};
  if (!SymbolInfoFromStoredBytes(bytes, CFIndex(size), symbol)) return 0;
  // The record names its file by the file's key in the symbol index, which
  // for a file of no project is not its name: either one is this document.
  TFileSystem* index = destination.fileSystem;
  const bool here = document != nullptr &&
                    (symbol.fileName == document->name ||
                     (index != nullptr && FSValidFSRef(document->file) &&
                      symbol.fileName == index->GetFileKey(document->file)));
  if (here) RevealSymbol(symbol);
  else Spawn(symbol.fileName, Str255(symbol.source));
  return 0;
}

void TSourceEditor::RevealSymbol(const SymbolInfo& symbol) {
  WEReference we = GetWE();
  // An empty source text matches everywhere and would never end the search.
  if (we == nullptr || symbol.source.empty()) return;
  const std::string text = symbol.source.str();
  SInt32 from = 0;
  for (;;) {
    SInt32 matchStart = 0, matchEnd = 0;
    const OSStatus err = WEFind(text.data(), SInt32(text.size()), kTextEncodingMacRoman, 0, from, WEGetTextLength(we),
                             &matchStart, &matchEnd, we);
    if (err != noErr || matchEnd <= from) break;
    const SInt32 line = WEOffsetToLine(matchStart, we);
    SInt32 lineStart = 0, lineEnd = 0;
    WEGetLineRange(line, &lineStart, &lineEnd, we);
    WESetSelection(lineStart, lineEnd, we);
    from = matchEnd;
  }
}

void TSourceEditor::Spawn(const Str63& fileName, const Str255& query) {
  TFileSystem* fileSystem = destination.fileSystem;
  if (fileSystem == nullptr) return;
  ApplicationOpenCommandOptions open{};
  FSRef found{};
  if (fileSystem->ResolveFile(fileName, found)) open.file = found;
  else open.fileName = fileName;
  open.queryString = query;
  SendOpenDocumentCommandWithOptions(open);
}

// ---------------------------------------------------------------------------
// Commands

void TSourceEditor::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  if (view == nullptr || !HIViewSubtreeContainsFocus(view->control)) return;
  switch (command.commandID) {
    case kHICommandRefreshParse:
      Refresh();
      result = 0;
      break;
    case kHICommandSetSyntaxMode: {
      CFStringRef title = nullptr;
      if (command.menu.menuRef != nullptr &&
          CopyMenuItemTextAsCFString(command.menu.menuRef, command.menu.menuItemIndex, &title) == noErr &&
          title != nullptr) {
        CFMutableStringRef lower = CFStringCreateMutableCopy(nullptr, 0, title);
        CFStringLowercase(lower, nullptr);
        modeName = CFStringToPascal(lower);
        CFRelease(lower);
        CFRelease(title);
      }
      SetSyntaxMode(Str255(modeName), true);
      result = 0;
      break;
    }
    case kHICommandFindSymbol:
      result = HandleFindSymbolCommand(command);
      break;
    case kHICommandInsertMacro:
      if (codeSense != nullptr) {
        codeSense->SetController(GetWE());
        codeSense->ExecuteMenuCommand(command);
        result = 0;
      }
      break;
    case kHICommandRevert:
      // Reread through the load path: one clear, one parse that brings the
      // file's text in, so the text is neither doubled nor left uncoloured.
      modeName = Str63();
      SetSyntaxMode("default", false);
      Load();
      result = 0;
      break;
    case kHICommandShowContextualMenu:
      WasteShowContextualMenu(WEGetSelectionAnchor(GetWE()), view->control);
      result = 0;
      break;
    default:
      break;
  }
}
