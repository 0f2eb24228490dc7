// The text view callbacks of the source editor, its toolbar menus and its
// additions to the contextual menu.
#include <algorithm>
#include <vector>

#include "DynamicParser.h"
#include "HITheme.h"
#include "MacHelp.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "TCodeCompletionUnit.h"
#include "TDocumentUnit.h"
#include "TSourceEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "plinthora/Plinthora.h"

namespace {

CFStringRef NewCFString(const Str255& text) {
  const std::string_view v = text.view();
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(v.data()), CFIndex(v.size()),
                                 kCFStringEncodingMacRoman, false);
}

TSourceEditor* EditorOf(void* context) { return static_cast<TSourceEditor*>(context); }

void HandleContextualMenuCallback(MenuRef menu, WEReference we, void* context);

OSStatus HandleReceiveDragCallback(const void* data, FlavorType type, SInt32 offset, DragRef drag, WEReference,
                                   void* context) {
  EditorOf(context)->HandleReceiveDrag(data, type, offset, drag);
  return 0;
}

void HandleTrackCursorCallback(SInt32 offset, WEReference we, void* context) {
  TSourceEditor* editor = EditorOf(context);
  editor->HandleTrackCursor(offset, we);
  if (TWASTEController* controller = editor->GetController()) {
    // The mode follows the embedded language under the insertion point; at
    // the very end of the text, where nothing stands under it, that of the
    // text it types on (a PHP file without a closing tag ends in PHP).
    const SInt32 under = offset > 0 && offset >= WEGetTextLength(we) ? offset - 1 : offset;
    editor->SetSyntaxMode(Str255(controller->GetEmbeddedLanguage(under)), false);
  }
  if (editor->toolbar == nullptr || editor->functionsMenu == nullptr) return;
  Str63 scope;
  UInt8 bytes[kSyntaxMarkSize] = {};
  const UInt16 count = CountMenuItems(editor->functionsMenu);
  UInt16 checked = 0;
  if (WEGetOneAttribute(offset, kSyntaxSymbolTag, bytes, sizeof bytes, we) == noErr && bytes[0] > 0) {
    scope = Str63(std::string_view(reinterpret_cast<const char*>(bytes + 1), std::min<size_t>(bytes[0], 63)));
    checked = editor->FindSymbolMenuItem(scope);
  }
  // Only the marked items change: a large file's menu holds thousands.
  for (MenuItemIndex i = MenuFirstMarkedItem(editor->functionsMenu); i != 0;
       i = MenuFirstMarkedItem(editor->functionsMenu, i))
    if (i != checked) CheckMenuItem(editor->functionsMenu, i, false);
  if (checked != 0 && checked <= count) CheckMenuItem(editor->functionsMenu, checked, true);
  HIViewSetNeedsDisplay(editor->toolbar, true);
}

void HandleTrackWordCallback(CFStringRef word, const CFRange& range, WEReference we, void* context) {
  TSourceEditor* editor = EditorOf(context);
  editor->HandleTrackWord(word, range, we);
  TCodeCompletionWindow* completion = editor->completion;
  TFileSystem* fileSystem = editor->destination.fileSystem;
  if (completion == nullptr || fileSystem == nullptr) return;
  completion->fileSystem = fileSystem;
  completion->wordRange = range;
  completion->controller = we;
  // The keywords of the language at the word: an embedded one, or the file's.
  TWASTEController* controller = editor->GetController();
  const Str63 embedded =
      controller != nullptr ? controller->GetEmbeddedLanguage(SInt32(range.location)) : Str63("default");
  TSyntaxCollection* collection = editor->destination.collection;
  if (embedded == Str63("default")) completion->language = editor->GetDefaultLanguage();
  else completion->language = collection != nullptr ? collection->GetLanguageLibrary(embedded) : nullptr;
  // The context of the last edit, shown where the window has a place for it.
  if (WindowRef active = ActiveNonFloatingWindow()) {
    if (HIViewRef scope = HIViewFind(128, 'SCOP', active)) {
      CFStringRef text = NewCFString(completion->contextName);
      HIViewSetText(scope, text);
      CFRelease(text);
    }
  }
  if (word != nullptr && completion->language != nullptr) {
    if (CFStringGetLength(word) > 1) completion->FindCompletion(CFStringToPascal(word));
    else completion->Hide();
  } else {
    completion->Hide();
  }
}

void HandleClickGutterCallback(SInt32 line, Boolean& handled, WEReference, void* context) {
  EditorOf(context)->HandleClickGutter(line, handled);
}

void HandleClickContentCallback(const CGPoint& point, SInt16 button, UInt32 modifiers, WEReference, void* context) {
  TSourceEditor* editor = EditorOf(context);
  editor->HandleClickContent(point, button, modifiers);
  editor->hiliteRange = CFRangeMake(0, 0);  // any click removes the box
}

void HandleDrawGutterCallback(CGContextRef cg, SInt32 line, const CFRange&, const CGRect& cell, WEReference we,
                              void* context) {
  CGContextSaveGState(cg);
  EditorOf(context)->HandleDrawGutter(cg, line, cell, we);
  CGContextRestoreGState(cg);
}

void AddRoundedRect(CGContextRef cg, CGRect r, CGFloat radius) {
  const CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
  CGContextBeginPath(cg);
  CGContextMoveToPoint(cg, x0 + radius, y0);
  CGContextAddArcToPoint(cg, x1, y0, x1, y1, radius);
  CGContextAddArcToPoint(cg, x1, y1, x0, y1, radius);
  CGContextAddArcToPoint(cg, x0, y1, x0, y0, radius);
  CGContextAddArcToPoint(cg, x0, y0, x1, y0, radius);
  CGContextClosePath(cg);
}

void HandleDrawBackgroundCallback(CGContextRef cg, const CGRect& dirty, WEViewReference weView, WEReference we,
                                  void* context) {
  TSourceEditor* editor = EditorOf(context);
  CGContextSaveGState(cg);
  editor->HandleDrawBackground(cg, dirty, weView, we);
  CGContextRestoreGState(cg);
  const CFRange box = editor->hiliteRange;
  if (box.location <= 0 && box.length <= 0) return;
  // The box around the lines of the range, in the text view's coordinates.
  SInt16 startHeight = 0, endHeight = 0;
  LongPt startPoint{}, endPoint{};
  WEGetPoint(SInt32(box.location), 0, &startPoint, &startHeight, we);
  WEGetPoint(SInt32(box.length), 0, &endPoint, &endHeight, we);
  HIRect frame{};
  if (editor->view != nullptr) HIViewGetFrame(editor->view->control, &frame);
  CGRect rect = CGRectMake(startPoint.h, startPoint.v, frame.size.width - startPoint.h - 20,
                           (endPoint.v - startPoint.v) + endHeight);
  rect = CGRectMake(rect.origin.x - 2, rect.origin.y - 2, rect.size.width + 4, rect.size.height + 4);
  CGContextSaveGState(cg);
  CGContextSetShadow(cg, CGSizeMake(0, -1), 1);
  HIThemeSetFill(kThemeBrushPrimaryHighlightColor, nullptr, cg, kHIThemeOrientationNormal);
  CGContextSetAlpha(cg, 0.2);
  AddRoundedRect(cg, rect, 8);
  CGContextFillPath(cg);
  CGContextSetAlpha(cg, 0.4);
  CGContextSetLineWidth(cg, 2);
  HIThemeSetStroke(kThemeBrushAlternatePrimaryHighlightColor, nullptr, cg, kHIThemeOrientationNormal);
  AddRoundedRect(cg, rect, 8);
  CGContextStrokePath(cg);
  CGContextRestoreGState(cg);
}

void HandleIdleTypingCallback(WEReference, void* context) {
  TSourceEditor* editor = EditorOf(context);
  if (editor->paneView != nullptr) SendHICommand(GetControlEventTarget(editor->paneView), kHICommandEditorIdleTyping);
}

void HandleAcceptInputCallback(Boolean& accept, WEReference, void* context) {
  TSourceEditor* editor = EditorOf(context);
  if (editor->options & SourceEditorOption(kSourceEditorReadOnly)) accept = false;
  // A full parse is streaming the text in.
  if (editor->parser != nullptr && editor->parser->busy) accept = false;
  editor->HandleAcceptInput(accept);
}

void AppendSubmenu(MenuRef menu, const char* title, OSType icon, MenuRef submenu) {
  CFStringRef text = CFStringCreateWithCString(nullptr, title, kCFStringEncodingUTF8);
  MenuItemIndex item = 0;
  AppendMenuItemTextWithCFString(menu, text, 0, 0, &item);
  CFRelease(text);
  IconRef iconRef = nullptr;
  if (GetIconRef(kOnSystemDisk, 'macs', icon, &iconRef) == noErr && iconRef != nullptr) {
    SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(iconRef));
    ReleaseIconRef(iconRef);
  }
  SetMenuItemHierarchicalMenu(menu, item, submenu);
  if (submenu == nullptr || CountMenuItems(submenu) == 0) DisableMenuItem(menu, item);
}

void AppendSeparator(MenuRef menu) {
  AppendMenuItemTextWithCFString(menu, nullptr, kMenuItemAttrSeparator, 0, nullptr);
}

void HandleContextualMenuCallback(MenuRef menu, WEReference we, void* context) {
  TSourceEditor* editor = EditorOf(context);
  if (editor->destination.fileSystem == nullptr) return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  if (end > start && editor->view != nullptr) {
    if (CFStringRef selected = editor->view->CopyRange(CFRangeMake(start, end))) {
      editor->UpdateNavigationMenu(CFStringToPascal(selected), menu);
      CFRelease(selected);
    }
  }
  if (editor->codeSense != nullptr) {
    editor->codeSense->SetController(we);
    AppendSeparator(menu);
    MenuRef macros = editor->codeSense->BuildMenu();
    AppendSubmenu(menu, "Macros", 'MBMC', macros);
    if (macros != nullptr) ReleaseMenu(macros);  // the item keeps it
  }
  if (editor->functionsMenu != nullptr) {
    AppendSubmenu(menu, "Functions", 'MSYM', editor->functionsMenu);
    AppendSubmenu(menu, "Headers", 'pRSC', editor->headersMenu);
    AppendSubmenu(menu, "Mode", 'EDIM', editor->modeMenu);
  }
  AppendSeparator(menu);
  editor->HandleContextualMenu(menu, we);
}

}  // namespace

void RegisterSourceEditorClient(TSourceEditor* editor, HIViewRef view) {
  WasteCustomCallbacks client{};
  client.CONTEXTUALMENU = HandleContextualMenuCallback;
  client.RECEIVEDRAG = HandleReceiveDragCallback;
  client.TRACKCURSOR = HandleTrackCursorCallback;
  client.TRACKWORD = HandleTrackWordCallback;
  client.CLICKGUTTER = HandleClickGutterCallback;
  client.CLICKCONTENT = HandleClickContentCallback;
  client.DRAWGUTTER = HandleDrawGutterCallback;
  client.DRAWBACKGROUND = HandleDrawBackgroundCallback;
  client.IDLETYPING = HandleIdleTypingCallback;
  client.ACCEPTINPUT = HandleAcceptInputCallback;
  WasteRegisterCallbackClient(view, client, editor);
}

// ---------------------------------------------------------------------------
// The re-parse of an edit

CFRange SourceEditorEditSpan(SInt32 offset, SInt32 delta) {
  SInt32 end = offset;
  if (delta > 1) end = offset + delta;
  else if (delta < 1) end = offset + 1;
  return CFRangeMake(offset - 1, end);
}

// The end of the text the view shows: a key waits for the re-parse as far
// as that (at least a little way past the edit, at most a tall screen of
// long lines), even where the stretch runs on; the rest goes on in slices
// after it.
SInt32 SourceEditorPauseAt(SInt32 edit, WEReference we) {
  constexpr SInt32 kLeast = 1024, kMost = 16384;
  LongRect view{};
  WEGetViewRect(&view, we);
  const LongPt corner{view.bottom, view.right};
  const SInt32 shown = view.bottom > view.top ? WEGetOffset(&corner, nullptr, we) : 0;
  return std::clamp(shown, edit + kLeast, edit + kMost);
}

void HandleControllerFluxCallback(SInt32 offset, SInt32 delta, UInt8 ch, WEReference we, void* context) {
  TSourceEditor* editor = EditorOf(context);
  editor->HandleControllerFlux(offset, delta, ch, we);
  TWASTEController* controller = editor->controller_;
  if (controller != nullptr) controller->TextChanged(offset, delta);
  if (editor->parser != nullptr) editor->parser->EditChanged(offset, delta);
  if (controller == nullptr || editor->parser == nullptr) return;
  // A full parse streaming the text in owns the driver.
  if (editor->parser->busy) return;
  CFRange span = FindContinuosRange(SourceEditorEditSpan(offset, delta), controller);
  SInt32 start = SInt32(span.location), end = SInt32(span.length);
  if (delta > 1) {
    // Pasted text takes the embedded language of the text before it.
    const Str63 name = controller->GetEmbeddedLanguage(offset - 1);
    if (!(name == Str63("default"))) {
      controller->SetDataOffset(0);
      controller->ApplyEmbeddedLanguage(CFRangeMake(offset, offset + delta), name);
    }
  }
  // The mode follows the caret from a timer: a key typed right after a move
  // is read in the language of the text it goes into, not of where the
  // caret was.
  const Str63 here = controller->GetEmbeddedLanguage(offset);
  if (here == Str63("default")) {
    editor->source.library = editor->GetDefaultLanguage();
  } else if (TSyntaxCollection* collection = editor->destination.collection) {
    if (SyntaxLibraryPtr library = collection->GetLanguageLibrary(here)) editor->source.library = library;
  }
  // No mode before the caret was first followed: the language found here is
  // it, and only an editor without a language re-parses nothing.
  if (editor->source.library == nullptr) return;
  SyntaxLibraryPtr mode = editor->GetSyntaxMode();
  const CFRange lang =
      FindLanguageRange(offset, delta, mode != nullptr ? mode->language : Str63(), controller);
  if (lang.location > 0 && lang.length > 0 &&
      PreParseEmbeddedLanguage(offset, lang, editor->GetDefaultLanguage(), we) == kEmbeddedLanguageReparse) {
    start = FindPlainStart(SInt32(lang.location), controller);
    end = SInt32(lang.length);
    editor->source.library = editor->GetDefaultLanguage();
    // The parse resets the region's styles as it starts (a part the edits'
    // re-parse has settled already is not parsed again).
    controller->ResetTracking(lang);
  }
  if (start == end) return;
  if (start < 0) start = 0;
  editor->source.span = CFRangeMake(start, end);
  editor->source.unused = offset;  // the edit offset
  editor->source.options = 0;
  editor->parser->ParseEdit(editor->source, SourceEditorPauseAt(offset + std::max<SInt32>(delta, 0), we));
}

// ---------------------------------------------------------------------------
// Toolbar and menus

namespace {

CGImageRef ToolbarImage(const char* name) {
  // Loaded once and kept for every later editor.
  static std::vector<std::pair<std::string, CGImageRef>> images;
  for (auto& [n, image] : images)
    if (n == name) return image;
  CGImageRef image = LoadPNGImage(Str63(name), Str63("Images/Application Images"));
  images.emplace_back(name, image);
  return image;
}

MenuRef NewToolbarMenu() {
  MenuRef menu = nullptr;
  CreateNewMenu(0, MenuAttributes(32), &menu);  // separators condensed
  if (menu != nullptr) SetContextualMenuFont(menu);
  return menu;
}

void SetItemIcon(MenuRef menu, MenuItemIndex item, IconRef icon) {
  if (icon == nullptr) return;
  SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
  ReleaseIconRef(icon);
}

void SetItemHelp(MenuRef menu, MenuItemIndex item, const Str255& text) {
  HMHelpContentRec help{};
  help.version = kMacHelpVersion;
  help.tagSide = kHMDefaultSide;
  help.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
  help.content[kHMMinimumContentIndex].u.tagCFString = NewCFString(text);
  help.content[kHMMaximumContentIndex].contentType = kHMNoContent;
  HMSetMenuItemHelpContent(menu, item, &help);
  CFRelease(help.content[kHMMinimumContentIndex].u.tagCFString);
}

MenuItemIndex AppendItem(MenuRef menu, const Str255& text, MenuCommand command) {
  CFStringRef title = NewCFString(text);
  MenuItemIndex item = 0;
  AppendMenuItemTextWithCFString(menu, title, 0, command, &item);
  CFRelease(title);
  return item;
}

void StoreSymbol(MenuRef menu, MenuItemIndex item, const SymbolInfo& symbol) {
  UInt8 bytes[kSymbolInfoStoredSize];
  SymbolInfoToStoredBytes(symbol, bytes);
  SetMenuItemProperty(menu, item, kSourceEditorPropertyCreator, kSourceEditorSymbolTag, sizeof bytes, bytes);
}

}  // namespace

void TSourceEditor::CreateToolbar(ControlRef inView) {
  menusMode_ = nullptr;
  toolbar = inView;
  if (toolbar == nullptr) return;
  ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionDontReleaseIcons));
  functionsMenu = NewToolbarMenu();
  headersMenu = NewToolbarMenu();
  modeMenu = NewToolbarMenu();
  macrosMenu = NewToolbarMenu();
  ToolbarAddButton(toolbar, Str255(), ToolbarImage("Headers.png"), kMenuCGImageRefType, headersMenu, 0,
                   kToolbarItemDefaultOptions, this);
  ToolbarAddButton(toolbar, "< functions >", ToolbarImage("Functions.png"), kMenuCGImageRefType, functionsMenu, 0,
                   kToolbarItemDefaultOptions, this);
  UpdateModeMenu();
}

void TSourceEditor::AddModeMenu() {
  menusMode_ = nullptr;
  if (toolbar == nullptr) return;
  ToolbarAddButton(toolbar, "Mode", ToolbarImage("SyntaxMode.png"), kMenuCGImageRefType, modeMenu, 0,
                   ToolbarOption(kToolbarItemAnchoredRight), this);
}

void TSourceEditor::AddMacroMenu() {
  menusMode_ = nullptr;
  if (toolbar == nullptr) return;
  macrosItem = ToolbarAddButton(toolbar, "Macros", ToolbarImage("Macros.png"), kMenuCGImageRefType, macrosMenu, 0,
                                ToolbarOption(kToolbarItemAnchoredRight), this);
}

void TSourceEditor::UpdateMacroMenu() {
  if (codeSense == nullptr || toolbar == nullptr || macrosItem == 0) return;
  MenuRef menu = codeSense->BuildMenu();
  ToolbarSetItemMenu(toolbar, macrosItem, menu);
  if (menu != nullptr) ReleaseMenu(menu);  // the toolbar keeps its own reference
}

void TSourceEditor::UpdateModeMenu() {
  if (modeMenu == nullptr) return;
  DeleteMenuItems(modeMenu, 1, CountMenuItems(modeMenu));
  TSyntaxCollection* collection = destination.collection;
  if (collection == nullptr) return;
  Str63 key;
  if (source.library == nullptr) {
    const Str63 name = document != nullptr && FSValidFSRef(document->file) ? FSGetDisplayName(document->file)
                                                                            : (document ? document->name : Str63());
    if (SyntaxLibraryPtr lib = collection->GetFileLibrary(name)) key = lib->language;
  } else {
    key = source.library->language;
  }
  for (CFIndex i = 0; i < collection->GetLibraryCount(); ++i) {
    SyntaxLibraryPtr lib = collection->GetLibraryAtIndex(i);
    const MenuItemIndex item = AppendItem(modeMenu, Str255(lib->displayName), kHICommandSetSyntaxMode);
    if (!key.empty() && lib->language == key) ToggleMenuItem(item, modeMenu);
  }
  // What the file was read with, and is written back with.
  auto* text = dynamic_cast<TWASTEDocument*>(document);
  if (text != nullptr && FSValidFSRef(text->file) && text->fileType != 'RTF ') {
    AppendMenuItemTextWithCFString(modeMenu, nullptr, kMenuItemAttrSeparator, 0, nullptr);
    const std::string shown = "Encoding: " + text->FormatName();
    if (CFStringRef title = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(shown.data()),
                                                    CFIndex(shown.size()), kCFStringEncodingUTF8, false)) {
      MenuItemIndex item = 0;
      AppendMenuItemTextWithCFString(modeMenu, title, kMenuItemAttrDisabled, 0, &item);
      CFRelease(title);
    }
  }
  if (toolbar != nullptr) HIViewSetNeedsDisplay(toolbar, true);
}

void TSourceEditor::UpdateSymbolMenu(FileDescriptorPtr file) {
  if (functionsMenu == nullptr) return;
  DeleteMenuItems(functionsMenu, 1, CountMenuItems(functionsMenu));
  if (file == nullptr || file->symbolTable == nullptr) return;
  // The table's own records, not copies: a large file has tens of thousands.
  std::vector<SymbolInfoPtr> symbols;
  file->symbolTable->ApplyFunction(
      [](SymbolInfoPtr info, CFTreeRef, void* context) {
        SyntaxStandardDataPtr definition = GetSymbolDefinition(info);
        if (definition != nullptr && SyntaxActionsContain(definition->actions, kSyntaxActionMenu))
          static_cast<std::vector<SymbolInfoPtr>*>(context)->push_back(info);
      },
      &symbols);
  // Alphabetical; symbols of one name keep the order the file gives them.
  std::stable_sort(symbols.begin(), symbols.end(), [](SymbolInfoPtr a, SymbolInfoPtr b) {
    return CompareStringAlphaOrder(Str255(a->symbolName), Str255(b->symbolName));
  });
  for (SymbolInfoPtr symbol : symbols) {
    const MenuItemIndex item = AppendItem(functionsMenu, Str255(GetSymbolDisplayName(symbol)), kHICommandFindSymbol);
    SetItemIcon(functionsMenu, item, GetSymbolIcon(symbol));
    StoreSymbol(functionsMenu, item, *symbol);
    SetItemHelp(functionsMenu, item, Str255(symbol->source));
  }
}

void TSourceEditor::UpdateHeaderMenu(FileDescriptorPtr file) {
  if (headersMenu == nullptr) return;
  DeleteMenuItems(headersMenu, 1, CountMenuItems(headersMenu));
  if (file == nullptr || file->headers == nullptr) return;
  const CFIndex count = CFArrayGetCount(file->headers);
  CFArraySortValues(file->headers, CFRangeMake(0, count), CFArrayCompareAlphaOrder, nullptr);
  TFileSystem* fileSystem = destination.fileSystem;
  for (CFIndex i = 0; i < count; ++i) {
    auto name = static_cast<CFStringRef>(CFArrayGetValueAtIndex(file->headers, i));
    const Str255 text = CFStringToPascal(name);
    const MenuItemIndex item = AppendItem(headersMenu, text, kHICommandOpenHeader);
    FileDescriptorPtr found = fileSystem != nullptr ? fileSystem->GetDescriptor(Str63(text)) : nullptr;
    IconRef icon = nullptr;
    if (found != nullptr) {
      GetIconRef(kOnSystemDisk, 'macs', 'docu', &icon);
      if (!found->filePath.empty()) {
        SetItemHelp(headersMenu, item, found->filePath);
        SetMenuItemProperty(headersMenu, item, kSourceEditorPropertyCreator, kSourceEditorPathTag, 256,
                            &found->filePath[0]);
      }
    } else {
      GetIconRef(kOnSystemDisk, 'macs', 'unfs', &icon);
      DisableMenuItem(headersMenu, item);
    }
    SetItemIcon(headersMenu, item, icon);
  }
}

void TSourceEditor::UpdateNavigationMenu(const Str255& text, MenuRef menu) {
  TFileSystem* fileSystem = destination.fileSystem;
  if (fileSystem == nullptr || menu == nullptr) return;
  struct Search {
    Str255 query;
    MenuRef menu;
  } search{text, menu};
  const SInt16 added = fileSystem->SearchSymbolTable(
      [](SymbolInfoPtr info, const FileDescriptor& descriptor, const Str255&, CFTreeRef, void* context) -> SInt16 {
        auto* s = static_cast<Search*>(context);
        SyntaxStandardDataPtr definition = GetSymbolDefinition(info);
        if (definition == nullptr || !SyntaxActionsContain(definition->actions, kSyntaxActionNavigate) ||
            !(Str255(info->symbolName) == s->query))
          return 2;
        Str255 title("Go to ");
        title += info->symbolName;
        title += " declaration in ";
        title += descriptor.fileName;
        const MenuItemIndex item = AppendItem(s->menu, title, kHICommandFindSymbol);
        StoreSymbol(s->menu, item, *info);
        IconRef icon = nullptr;
        GetIconRef(kOnSystemDisk, 'macs', 'FOR<', &icon);
        SetItemIcon(s->menu, item, icon);
        SetItemHelp(s->menu, item, Str255(info->source));
        return 1;
      },
      nullptr, text, &search);
  if (added > 0) AppendSeparator(menu);
}

UInt16 TSourceEditor::FindSymbolMenuItem(const Str63& name) {
  if (functionsMenu == nullptr) return 0;
  const UInt32 count = CountMenuItems(functionsMenu);
  for (UInt32 i = 1; i <= count; ++i) {  // wider than an index: a full menu holds the greatest
    UInt8 bytes[kSymbolInfoStoredSize] = {};
    ByteCount size = 0;
    if (GetMenuItemProperty(functionsMenu, i, kSourceEditorPropertyCreator, kSourceEditorSymbolTag, sizeof bytes,
                            &size, bytes) != noErr)
      continue;
    SymbolInfo symbol{};
    if (SymbolInfoFromStoredBytes(bytes, CFIndex(size), symbol) && symbol.symbolName == name) return UInt16(i);
  }
  return 0;
}

IconRef TSourceEditor::GetSymbolIcon(SymbolInfoPtr symbol) { return SourceEditorGetSymbolIcon(symbol); }

IconRef SourceEditorGetSymbolIcon(SymbolInfoPtr symbol) {
  OSType code = '????';
  if (SyntaxStandardDataPtr definition = symbol != nullptr ? GetSymbolDefinition(symbol) : nullptr) {
    const Str63& icon = definition->icon;
    code = 0;
    for (int i = 1; i <= 4; ++i) code = (code << 8) | (i <= icon.len() ? icon[i] : ' ');
  }
  IconRef ref = nullptr;
  if (code == '????') GetIconRef(kOnSystemDisk, 'macs', 'unfs', &ref);
  else if (code == 'sxFU' || code == 'sxCS' || code == 'sxCL' || code == 'sxGV' || code == 'sxLV' || code == 'sxMT')
    GetIconRef(kOnSystemDisk, 'macs', code, &ref);
  if (ref == nullptr) GetIconRef(kOnSystemDisk, 'macs', 'fldr', &ref);
  return ref;
}
