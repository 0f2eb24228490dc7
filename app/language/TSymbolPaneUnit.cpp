#include "TSymbolPaneUnit.h"

#include <cstring>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFBundle.h"
#include "CFString.h"
#include "HICommonThemes.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "TSourceEditorUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

const Str63 kSymbolBrowserPaneResource = "Symbol Browser Pane";
const Str63 kSymbolPaneNibName = "FileSystemBrowser";
const Str63 kSymbolActionMenuResource = "Actions Menu (Symbols)";

namespace {

constexpr OSType kSymbolBrowserSignature = 'BROW';
constexpr SInt32 kSymbolPaneBrowserID = 129;
constexpr SInt32 kSymbolBrowserPaneBrowserID = 128;
constexpr OSType kSymbolToolbarSignature = 'TOOL';
constexpr SInt32 kSymbolToolbarID = 129;
constexpr DataBrowserPropertyID kSymbolColumn = 'SYMB';
constexpr UInt16 kSymbolRowHeight = 19;
constexpr OSType kSystemCreator = 'macs';
constexpr OSType kApplicationCreator = 'QVRL';

CGImageRef gSelectionImage = nullptr;

struct FilterItem {
  const char* title;
  OSType kind;
};
constexpr FilterItem kFilterItems[] = {{"Functions", kSymbolKindFunction},
                                       {"Methods", kSymbolKindMethod},
                                       {"Classes", kSymbolKindClass},
                                       {"Constants", kSymbolKindConstant},
                                       {"Globals", kSymbolKindGlobal}};

CFStringRef NewMacRomanString(ConstStringPtr text) {
  return CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
}

// A private copy of a symbol record for a row the browser owns.
SymbolInfoPtr CopySymbol(const SymbolInfo& info) {
  auto copy = reinterpret_cast<SymbolInfoPtr>(NewPtrClear(sizeof(SymbolInfo)));
  if (copy != nullptr) std::memcpy(copy, &info, sizeof(SymbolInfo));
  return copy;
}

void CopyMenuFont(MenuRef menu) {
  // The toolbar's menus use the theme toolbar font: the host's default menu
  // font stands for it, as no other font is registered for toolbars.
  SetMenuFont(menu, 0, 0);
}

}  // namespace

void SymbolPaneSetSelectionImage(CGImageRef image) { gSelectionImage = image; }

OSType GetSymbolKind(SymbolInfoPtr symbol) {
  SyntaxStandardDataPtr definition = symbol != nullptr ? GetSymbolDefinition(symbol) : nullptr;
  if (definition == nullptr) return 0;
  const Str63& icon = definition->icon;
  OSType code = 0;
  for (int i = 1; i <= 4; ++i) code = (code << 8) | (i <= icon.len() ? icon[i] : ' ');
  return code;
}

// ---------------------------------------------------------------------------
// TSymbolBrowser

void TSymbolBrowser::Create(ControlRef browser) {
  TBrowser::Create(browser);
  SetClassString("TSymbolBrowser");
  if (VIEW == nullptr) return;
  Err = SetDataBrowserTableViewRowHeight(VIEW, kSymbolRowHeight);
  if (gSelectionImage != nullptr) BrackenrowSetSelectionImage(VIEW, gSelectionImage);
}

namespace {

bool ShownInSymbolPane(SymbolInfoPtr info) {
  SyntaxStandardDataPtr definition = info != nullptr ? GetSymbolDefinition(info) : nullptr;
  if (definition == nullptr) return false;
  if (definition->definitionName.view() == "global variable") return false;
  const OSType kind = GetSymbolKind(info);
  return kind == kSymbolKindGlobal || kind == kSymbolKindClass || kind == kSymbolKindConstant ||
         kind == kSymbolKindFunction || kind == kSymbolKindMethod;
}

// Parents before their children, so that a container's row is there before
// the rows inside it.
void WalkParentsFirst(CFTreeRef tree, std::vector<CFTreeRef>& out) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    out.push_back(child);
    WalkParentsFirst(child, out);
  }
}

}  // namespace

void TSymbolBrowser::Populate() {
  TBrowser::Populate();
  if (VIEW == nullptr || TREE == nullptr) return;
  CFTreeRef root = TREE;
  std::vector<CFTreeRef> nodes;
  WalkParentsFirst(root, nodes);
  std::vector<std::pair<DataBrowserItemID, DataBrowserItemID>> hidden;  // (item, its row's container)
  for (CFTreeRef node : nodes) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record == nullptr) continue;
    CFTreeRef parent = CFTreeGetParent(node);
    NodeInfoPtr parentRecord = parent != root ? BrackenrowGetNode(parent) : nullptr;
    const SInt32 container = parentRecord != nullptr ? parentRecord->INDEX : 0;
    if (!ShownInSymbolPane(static_cast<SymbolInfoPtr>(record->DATA))) {
      hidden.emplace_back(DataBrowserItemID(record->INDEX), DataBrowserItemID(container));
      continue;
    }
    if (container != 0) {
      // Opening the container lists its children from the tree.
      Err = OpenDataBrowserContainer(VIEW, DataBrowserItemID(container));
    } else {
      BrackenrowAppendReference(record->INDEX, 0, root, VIEW);
    }
  }
  // Opening a container lists every child it has: the ones this list leaves
  // out go again.
  for (auto [item, container] : hidden) RemoveDataBrowserItems(VIEW, container, 1, &item, 0);
  Err = OpenDataBrowserContainer(VIEW, kDataBrowserNoItem);
  Draw1Control(VIEW);
}

void TSymbolBrowser::ItemNotification(void* data, UInt32, DataBrowserItemID, DataBrowserItemNotification message) {
  if (message != kDataBrowserItemSelected && message != kDataBrowserSelectionSetChanged) return;
  auto* info = static_cast<SymbolInfoPtr>(data);
  if (message == kDataBrowserSelectionSetChanged) {
    NodeInfoPtr node = VIEW != nullptr ? BrackenrowGetSelection(VIEW) : nullptr;
    info = node != nullptr ? static_cast<SymbolInfoPtr>(node->DATA) : nullptr;
  }
  if (info == nullptr) return;
  if (editor != nullptr) {
    editor->RevealSymbol(*info);
    return;
  }
  ApplicationOpenCommandOptions options{};
  options.fileName = info->fileName;
  options.queryString = Str255(info->source.view());
  SendOpenDocumentCommandWithOptions(options);
}

void TSymbolBrowser::DrawItem(void* data, UInt32, Boolean container, DataBrowserItemID item,
                              DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                              CGContextRef context) {
  auto* info = static_cast<SymbolInfoPtr>(data);
  if (info == nullptr) return;
  IconRef icon = editor != nullptr ? editor->GetSymbolIcon(info) : SourceEditorGetSymbolIcon(info);
  CFStringRef text = NewMacRomanString(info->symbolName);
  StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (text != nullptr) CFRelease(text);
  if (icon != nullptr) ReleaseIconRef(icon);
  // A row with children shows how many in a badge.
  NodeInfoPtr record = VIEW != nullptr ? BrackenrowGetNodeAtIndex(SInt32(item), VIEW) : nullptr;
  if (record == nullptr) return;
  CFIndex children = 0;
  if (TREE != nullptr)
    if (CFTreeRef node = CFTreeRecurseGetChildAtIndex(TREE, record->INDEX); node != nullptr && node != TREE)
      children = CFTreeGetChildCount(node);
  if (children > 0) HIThemeDrawLabel(kThemeSmallSystemFont, Str31(std::to_string(children)), 2, bounds, VIEW, context);
}

Boolean TSymbolBrowser::AddDragItem(void* data, UInt32, DataBrowserItemID, DragRef drag, DragItemRef dragItem) {
  auto* info = static_cast<SymbolInfoPtr>(data);
  if (info == nullptr) return false;
  CFStringRef text = NewMacRomanString(info->symbolName);
  if (text == nullptr) return false;
  const CFIndex length = CFStringGetLength(text);
  std::vector<UniChar> units(size_t(length > 0 ? length : 1));
  CFStringGetCharacters(text, CFRangeMake(0, length), units.data());
  CFRelease(text);
  return AddDragItemFlavor(drag, dragItem, 'utxt', units.data(), Size(length * sizeof(UniChar)), 0) == noErr;
}

Boolean TSymbolBrowser::CompareItem(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID) {
  auto* a = node1 != nullptr ? static_cast<SymbolInfoPtr>(node1->DATA) : nullptr;
  auto* b = node2 != nullptr ? static_cast<SymbolInfoPtr>(node2->DATA) : nullptr;
  if (a == nullptr || b == nullptr) return a == nullptr && b != nullptr;
  return CompareStringAlphaOrder(Str255(a->symbolName.view()), Str255(b->symbolName.view()));
}

// ---------------------------------------------------------------------------
// TSymbolPane

void TSymbolPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TSymbolPane");
  if (paneView == nullptr) return;
  browser = new TSymbolBrowser();
  browser->SetOptions(kBrackenrowSortRows | kBrackenrowColorBackground);
  browser->Create(HIViewFind(kSymbolPaneBrowserID, kSymbolBrowserSignature, nibWindow));
}

void TSymbolPane::Release() {
  // Torn down with its window, the list's control went first and took its
  // browser object with it.
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  TPane::Release();
}

void TSymbolPane::Load(FileDescriptorPtr descriptor, TSourceEditor* editor) {
  if (browser == nullptr) return;
  browser->descriptor = descriptor;
  browser->editor = editor;
  if (descriptor != nullptr && descriptor->symbolTable != nullptr) {
    browser->SetTree(descriptor->symbolTable->GetTable());
    browser->Populate();
  }
  if (browser->VIEW != nullptr) SetDataBrowserScrollPosition(browser->VIEW, 0, 0);
}

void TSymbolPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kSymbolCommandFilter:
      if (browser != nullptr) browser->Populate();
      break;
    case kSymbolCommandClear:
      if (browser != nullptr) {
        browser->SetTree(nullptr);
        browser->Clear();
      }
      break;
    default:
      TPane::ProcessCommand(command, event, result);
      break;
  }
}

// ---------------------------------------------------------------------------
// TSymbolBrowserPane

void SelectSymbolFilterMenu(MenuRef menu, SInt16 item, void* pane) {
  ToggleMenuItem(MenuItemIndex(item), menu);
  if (pane != nullptr) static_cast<TSymbolBrowserPane*>(pane)->Load();
}

void TSymbolBrowserPane::Create(const Str63& name, IBNibRef nib) {
  TModePane::Create(name, nib);
  SetClassString("TSymbolBrowserPane");
  if (paneView == nullptr) return;
  browser = new TSymbolBrowser();
  browser->SetOptions(kBrackenrowAllocateTree | kBrackenrowSortRows | kBrackenrowColorBackground |
                      kBrackenrowLinearAutoIncrement);
  browser->Create(HIViewFind(kSymbolBrowserPaneBrowserID, kSymbolBrowserSignature, nibWindow));

  toolbar = HIViewFind(kSymbolToolbarID, kSymbolToolbarSignature, nibWindow);
  Err = CreateNewMenu(0, 0, &filterMenu);
  for (const FilterItem& f : kFilterItems) {
    MenuItemIndex index = 0;
    CFStringRef title = CFStringCreateWithCString(nullptr, f.title, kCFStringEncodingUTF8);
    Err = AppendMenuItemTextWithCFString(filterMenu, title, 0, 0, &index);
    CFRelease(title);
    SetMenuItemIconRef(filterMenu, index, kSystemCreator, f.kind);
  }
  CopyMenuFont(filterMenu);
  Err = CreateNewMenu(0, 0, &filesMenu);
  CopyMenuFont(filesMenu);
  if (toolbar == nullptr) return;
  ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionHideSeparators));
  ToolbarCallbacks callbacks{};
  callbacks.SELECTMENU = SelectSymbolFilterMenu;
  ToolbarSetCallbacks(toolbar, callbacks, this);
  IconRef icon = nullptr;
  GetIconRef(kOnSystemDisk, kApplicationCreator, 'SYFL', &icon);
  ToolbarAddButton(toolbar, "<Symbols>", icon, kMenuIconRefType, filterMenu, 0, kToolbarItemDefaultOptions, this);
  icon = nullptr;
  GetIconRef(kOnSystemDisk, kApplicationCreator, 'pFLD', &icon);
  ToolbarAddButton(toolbar, "Files", icon, kMenuIconRefType, filesMenu, 0,
                   ToolbarOption(kToolbarItemAnchoredRight), this);
}

void TSymbolBrowserPane::Release() {
  if (compiler != nullptr) {
    compiler->Terminate();
    compiler->Free();
  }
  compiler = nullptr;
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  if (filterMenu != nullptr) ReleaseMenu(filterMenu);
  if (filesMenu != nullptr) ReleaseMenu(filesMenu);
  filterMenu = filesMenu = nullptr;
  TModePane::Release();
}

MenuRef TSymbolBrowserPane::CreateActionMenu() {
  MenuRef menu = nullptr;
  CFStringRef name = NewMacRomanString(kSymbolActionMenuResource);
  Err = CreateMenuFromNib(ApplicationNib, name, &menu);
  CFRelease(name);
  return menu;
}

void TSymbolBrowserPane::ModeChanged() {
  if (WindowRef window = GetWindow()) SendHICommand(GetWindowEventTarget(window), kSymbolCommandModeChanged);
}

void TSymbolBrowserPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kSymbolCommandAddFiles:
      AddFiles();
      break;
    case kSymbolCommandRefresh:
    case kSymbolCommandClear:
      Load();
      break;
    default:
      TModePane::ProcessCommand(command, event, result);
      break;
  }
}

void TSymbolBrowserPane::SetFileSystem(TFileSystem* index) {
  fileSystem = index;
  Load();
}

namespace {

struct LoadContext {
  TSymbolBrowser* browser;
  OSType kind;  // the filter's kind
};

void LoadSymbol(SymbolInfoPtr info, CFTreeRef node, void* context) {
  auto* c = static_cast<LoadContext*>(context);
  if (info == nullptr || GetSymbolDefinition(info) == nullptr) return;
  const OSType kind = GetSymbolKind(info);
  if (kind != c->kind) return;
  TSymbolBrowser* browser = c->browser;
  switch (kind) {
    case kSymbolKindFunction:
    case kSymbolKindGlobal:
    case kSymbolKindConstant:
      if (SymbolInfoPtr copy = CopySymbol(*info)) browser->NewItem(copy, sizeof(SymbolInfo), kSymbolNodeType, 0);
      break;
    case kSymbolKindClass: {
      SymbolInfoPtr copy = CopySymbol(*info);
      if (copy == nullptr) break;
      const SInt32 container = browser->NewContainer(copy, sizeof(SymbolInfo), kSymbolNodeType, 0);
      SInt32 methods = 0;
      for (CFTreeRef child = CFTreeGetFirstChild(node); child != nullptr; child = CFTreeGetNextSibling(child)) {
        NodeInfoPtr record = BrackenrowGetNode(child);
        auto* member = record != nullptr ? static_cast<SymbolInfoPtr>(record->DATA) : nullptr;
        if (member == nullptr || GetSymbolKind(member) != kSymbolKindMethod) continue;
        if (SymbolInfoPtr memberCopy = CopySymbol(*member)) {
          browser->NewItem(memberCopy, sizeof(SymbolInfo), kSymbolNodeType, container);
          ++methods;
        }
      }
      if (browser->VIEW != nullptr) {
        Err = CloseDataBrowserContainer(browser->VIEW, DataBrowserItemID(container));
        // A class without methods shows no disclosure triangle.
        if (methods == 0)
          if (NodeInfoPtr record = BrackenrowGetNodeAtIndex(container, browser->VIEW)) record->CONTAINER = false;
      }
      break;
    }
    case kSymbolKindMethod:
      if (SymbolInfoPtr copy = CopySymbol(*info)) {
        copy->symbolName = GetSymbolDisplayName(info);
        browser->NewItem(copy, sizeof(SymbolInfo), kSymbolNodeType, 0);
      }
      break;
    default:
      break;
  }
}

void LoadFile(FileDescriptorPtr descriptor, void* context) {
  if (descriptor == nullptr || descriptor->symbolTable == nullptr) return;
  descriptor->symbolTable->ApplyFunction(LoadSymbol, context);
}

}  // namespace

void TSymbolBrowserPane::Load() {
  if (fileSystem == nullptr || browser == nullptr || browser->VIEW == nullptr) return;
  browser->Clear();
  const Str255 filter = filterMenu != nullptr ? GetSelectedMenuItemText(filterMenu) : Str255();
  LoadContext context{browser, 0};
  for (const FilterItem& f : kFilterItems)
    if (filter.view() == f.title) context.kind = f.kind;
  browser->SetDisclosureColumn(context.kind == kSymbolKindClass ? kSymbolColumn : kDataBrowserItemNoProperty);
  Err = HIViewSetDrawingEnabled(browser->VIEW, false);
  fileSystem->ExamineFiles(LoadFile, &context);
  Err = HIViewSetDrawingEnabled(browser->VIEW, true);
  Draw1Control(browser->VIEW);
  UpdateFilesMenu();
}

void TSymbolBrowserPane::UpdateFilesMenu() {
  if (filesMenu == nullptr) return;
  if (UInt16 count = CountMenuItems(filesMenu); count > 0) Err = DeleteMenuItems(filesMenu, 1, count);
  if (fileSystem != nullptr) {
    fileSystem->ExamineFiles(
        [](FileDescriptorPtr descriptor, void* context) {
          auto menu = static_cast<MenuRef>(context);
          if (descriptor == nullptr || descriptor->fileName.empty()) return;
          CFStringRef title = NewMacRomanString(descriptor->fileName);
          MenuItemIndex index = 0;
          Err = AppendMenuItemTextWithCFString(menu, title, 0, kHICommandOpenDocument, &index);
          if (title != nullptr) CFRelease(title);
          SetMenuItemIconRef(menu, index, kSystemCreator, 'docu');
          ApplicationOpenCommandOptions options{};
          options.fileName = descriptor->fileName;
          Err = SetMenuItemProperty(menu, index, kEventParamOpenOptions, 'void', sizeof options, &options);
        },
        filesMenu);
  }
  if (toolbar != nullptr) Draw1Control(toolbar);
}

void TSymbolBrowserPane::LoadAsynch() {
  auto* task = new TSymbolBrowserTask();
  task->pane = this;
  task->Start();
  if (Err != noErr) task->Release();
}

void TSymbolBrowserTask::Run() { CallRemote(1); }

void TSymbolBrowserTask::RemoteProcedure(SInt16) {
  if (pane != nullptr) pane->Load();
}

namespace {

// The batch has ended: the list shows what it added.
void CompileNotification(FileDescriptorPtr, const SyntaxParserSource&, SInt16 kind, void*, void* userData) {
  if (kind == kSyntaxParserNotifyReleased && userData != nullptr) static_cast<TSymbolBrowserPane*>(userData)->Load();
}

}  // namespace

void TSymbolBrowserPane::AddFiles() {
  if (fileSystem == nullptr) return;
  if (compiler != nullptr) {
    if (compiler->busy) return;  // one batch at a time
    compiler->Free();
  }
  compiler = new TSyntaxParser();
  SyntaxParserDestination destination;
  destination.fileSystem = fileSystem;
  destination.collection = fileSystem->collection;
  destination.notification = CompileNotification;
  destination.userData = this;
  compiler->SetDestination(destination);
  auto* dialog = new TCompileDialog();
  dialog->parser = compiler;
  // A sheet on the pane's own hidden interface window would never be seen.
  if (owner != nullptr) dialog->SetParent(GetWindow());
  dialog->OpenDialog();
}

void TCompileDialog::HandleSingleResult(const FSRef& file) {
  if (parser == nullptr) return;
  SyntaxParserSource source{};
  source.file = file;
  parser->AppendFile(source);
}

void TCompileDialog::Release() {
  if (parser != nullptr && parser->GetQueueCount() > 0)
    parser->ParseBatch(kSyntaxParserAsynchMode | kSyntaxParserCompileMode);
  parser = nullptr;
  TNavDialogs::Release();
}

// ---------------------------------------------------------------------------
// Factories

TSymbolPane* CreateSymbolPaneFromNib(WindowRef window, IBNibRef nib) {
  auto* pane = new TSymbolPane();
  pane->Create(kSymbolBrowserPaneResource, nib);
  if (window != nullptr) pane->SetOwner(static_cast<TView*>(TWindowGetObject(window)));
  return pane;
}

TSymbolBrowserPane* CreateSymbolBrowserPaneFromNib(WindowRef window, IBNibRef nib) {
  auto* pane = new TSymbolBrowserPane();
  pane->Create(kSymbolBrowserPaneResource, nib);
  if (window != nullptr) pane->SetOwner(static_cast<TView*>(TWindowGetObject(window)));
  if (pane->filterMenu != nullptr) ToggleMenuItem(1, pane->filterMenu);
  return pane;
}

TSymbolPane* CreateSymbolPane(WindowRef window) {
  // The interface file is opened once and kept for later panes.
  static IBNibRef nib = [] {
    IBNibRef made = nullptr;
    CFStringRef name = NewMacRomanString(kSymbolPaneNibName);
    Err = CreateNibReference(name, &made);
    CFRelease(name);
    return made;
  }();
  return CreateSymbolPaneFromNib(window, nib);
}

TSymbolBrowserPane* CreateSymbolBrowserPane(WindowRef window) {
  return CreateSymbolBrowserPaneFromNib(window, ApplicationNib);
}

// A pane whose interface could not be built has no view to end it with its
// window: it goes at once, and the window goes without it.
TModePane* MakeSymbolBrowserPane(WindowRef window, TFileSystem* index) {
  TSymbolBrowserPane* pane = CreateSymbolBrowserPane(window);
  if (pane->paneView == nullptr) {
    pane->Release();
    return nullptr;
  }
  if (index != nullptr) pane->SetFileSystem(index);
  return pane;
}

TPane* MakeSymbolPane(WindowRef window) {
  TSymbolPane* pane = CreateSymbolPane(window);
  if (pane->paneView == nullptr) {
    pane->Release();
    return nullptr;
  }
  return pane;
}

void ShowDocumentSymbols(TPane* symbolPane, TFileSystem* index, const FSRef& file, TSourceEditor* editor) {
  auto* pane = dynamic_cast<TSymbolPane*>(symbolPane);
  if (pane == nullptr || index == nullptr) return;
  const Str63 key = index->GetFileKey(file);
  // A file the index does not know yet keeps the rows it had until it is parsed.
  if (FileDescriptorPtr descriptor = key.empty() ? nullptr : index->GetDescriptor(key))
    pane->Load(descriptor, editor);
}
