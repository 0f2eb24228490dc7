// The error panes: their toolbars and browsers, what a row shows and where
// choosing it leads, the PHP debug log read into a tree, and its windows.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFXMLNode.h"
#include "CFXMLParser.h"
#include "Icons.h"
#include "InterpreterDrivers.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

const char kErrorLogWindowNibName[] = "Error Log Window";

const char* const kPHPLogElements[11] = {
    "debugtrace",        "entry",      "element",        "constants",      "localstack",         "stacktrace",
    "class_description", "class_node", "class_ancestry", "class_methods", "class_instance_vars"};

namespace {

constexpr OSType kSystemCreator = 'macs';
constexpr SInt16 kIconRefKind = 6;
constexpr SInt16 kPlacardButtonKind = 3;
constexpr DataBrowserPropertyID kLogColumn = 'TEXT';
constexpr UInt16 kLogRowHeight = 16;

OSType ApplicationCreator() { return ApplicationSignature != 0 ? ApplicationSignature : OSType('QVRL'); }

// A registered icon; nil when its type is not registered.
IconRef Icon(OSType creator, OSType type) {
  IconRef icon = nullptr;
  if (type == 0 || GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr) icon = nullptr;
  return icon;
}

// The panes' icons from the bundle's own pictures, for every type the
// application has not registered itself.
void RegisterErrorPaneIcons() {
  static bool done = false;
  if (done) return;
  done = true;
  const OSType app = ApplicationCreator();
  const struct {
    OSType creator, type;
    const char* file;
  } icons[] = {
      {app, kErrorWarningIcon, "Warning.png"},        {app, kErrorNoticeIcon, "Notice.png"},
      {app, kErrorUserIcon, "User Error.png"},        {app, kErrorFatalIcon, "Fatal Error.png"},
      {app, kErrorOtherIcon, "Error.png"},            {app, kErrorStackTraceIcon, "Stack Trace.png"},
      {app, kErrorLocalsIcon, "Locals.png"},          {app, kErrorClassesIcon, "Classes.png"},
      {app, kErrorClassTreeIcon, "Class Tree.png"},   {kSystemCreator, kErrorFunctionIcon, "Function.png"},
      {kSystemCreator, kErrorCloseIcon, "Close.png"},
  };
  // A type nobody registered answers the generic document's icon.
  IconRef generic = Icon(kSystemCreator, kGenericDocumentIcon);
  for (const auto& icon : icons) {
    IconRef known = Icon(icon.creator, icon.type);
    const bool registered = known != nullptr && known != generic;
    if (known != nullptr) ReleaseIconRef(known);
    if (registered) continue;
    if (IconRef made = RegisterIconRef(icon.creator, icon.type, icon.file, "Images/Error Pane")) ReleaseIconRef(made);
  }
  if (generic != nullptr) ReleaseIconRef(generic);
}

// A browser goes with its list view; one whose view is still there is let
// go here.
template <class Browser>
void ReleaseBrowser(Browser*& browser) {
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
}

CFStringRef NewString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

SInt32 Number(const Str255& digits) { return SInt32(std::strtol(digits.str().c_str(), nullptr, 10)); }

Str63 FileName(const Str255& path) { return Str63(GetNameOnly(path.str())); }

// The file name of the document the pane's run ran.
Str63 DocumentName(TScriptPane* pane) {
  if (pane == nullptr || pane->script == nullptr) return Str63();
  return FileName(pane->script->path);
}

ControlRef FindView(HIViewRef root, OSType signature) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, kErrorPaneViewID}, &view);
  return view;
}

// The pane's toolbar with its option and no items yet.
ControlRef MakeToolbar(TScriptPane* pane) {
  pane->toolbar = FindView(pane->paneView, kErrorPaneToolbarSignature);
  if (pane->toolbar != nullptr) ToolbarSetOptions(pane->toolbar, ToolbarOption(kToolbarOptionHideSeparators));
  return pane->toolbar;
}

void AddCloseButton(ControlRef toolbar) {
  ToolbarAddButton(toolbar, "", Icon(kSystemCreator, kErrorCloseIcon), kIconRefKind, nullptr, kHICommandClosePane,
                   ToolbarOption(kToolbarItemAnchoredRight), nullptr);
}

// A title button (item 1) and the close button.
void MakeTitledToolbar(TScriptPane* pane) {
  ControlRef toolbar = MakeToolbar(pane);
  if (toolbar == nullptr) return;
  ToolbarAddButton(toolbar, pane->title, nullptr, 0, nullptr, 0, ToolbarOption(kToolbarItemDefaultOptions), nullptr);
  AddCloseButton(toolbar);
}

template <class Browser>
Browser* MakeBrowser(TScriptPane* pane, BrackenrowOptions options) {
  ControlRef view = FindView(pane->paneView, kErrorPaneBrowserSignature);
  if (view == nullptr) return nullptr;
  auto* browser = new Browser();
  browser->pane = pane;
  browser->SetOptions(options);
  browser->Create(view);
  return browser;
}

TScriptPane* MakePane(TScriptPane* pane, const char* nibName, TScript* script) {
  RegisterErrorPaneIcons();
  pane->Create(nibName, ApplicationNib);
  script->SetPane(pane);
  return pane;
}

// --- The PHP log as a tree ------------------------------------------------------------------

void ReleaseLogNode(void* data, UInt32, void*) {
  auto* node = static_cast<PHPLogNode*>(data);
  if (node != nullptr && node->attributes != nullptr) CFRelease(node->attributes);
  if (node != nullptr) node->attributes = nullptr;
}

// A node of the log's tree: its record's item ID is unique in the tree.
CFTreeRef NewLogNode(const Str63& name, SInt32 index) {
  auto* payload = reinterpret_cast<PHPLogNode*>(NewPtrClear(sizeof(PHPLogNode)));
  if (payload == nullptr) return nullptr;
  payload->name = name;
  payload->attributes = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                  &kCFTypeDictionaryValueCallBacks);
  NodeInfoPtr record = BrackenrowNewNode(payload, SInt32(sizeof(PHPLogNode)), kScriptErrorDataType, index, 0, false);
  if (record == nullptr) {
    ReleaseLogNode(payload, 0, nullptr);
    DisposePtr(reinterpret_cast<Ptr>(payload));
    return nullptr;
  }
  record->RELEASE = ReleaseLogNode;
  CFTreeRef tree = BrackenrowCreateTree(record);
  return tree;
}

void SetAttribute(CFTreeRef node, const char* key, const Str255& value) {
  PHPLogNode* payload = PHPLogNodeOf(node);
  if (payload == nullptr) return;
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFStringRef v = NewString(value);
  CFDictionarySetValue(payload->attributes, k, v);
  CFRelease(k);
  CFRelease(v);
}

struct LogReader {
  CFTreeRef root = nullptr;
  SInt32 counter = 0;
  // For every open element: the node it made, nil for one not kept.
  std::vector<CFTreeRef> open;

  CFTreeRef Parent() const {
    for (auto it = open.rbegin(); it != open.rend(); ++it)
      if (*it != nullptr) return *it;
    return root;
  }
};

bool Kept(CFStringRef name) {
  for (const char* element : kPHPLogElements) {
    CFStringRef e = CFStringCreateWithCString(nullptr, element, kCFStringEncodingUTF8);
    const bool same = CFStringCompare(e, name, 0) == kCFCompareEqualTo;
    CFRelease(e);
    if (same) return true;
  }
  return false;
}

// Elements come as the structure of their start; others (text, comments) as
// nil, so nothing is added for them.
void* LogCreateStructure(CFXMLParserRef, CFXMLNodeRef node, void* info) {
  auto* reader = static_cast<LogReader*>(info);
  const CFXMLNodeTypeCode type = CFXMLNodeGetTypeCode(node);
  if (type == kCFXMLNodeTypeDocument) return reader;
  if (type != kCFXMLNodeTypeElement) return nullptr;
  CFStringRef name = CFXMLNodeGetString(node);
  CFTreeRef made = nullptr;
  if (name != nullptr && Kept(name)) {
    made = NewLogNode(PCFSTR(name), ++reader->counter);
    if (made != nullptr) {
      auto* element = static_cast<const CFXMLElementInfo*>(CFXMLNodeGetInfoPtr(node));
      PHPLogNode* payload = PHPLogNodeOf(made);
      if (element != nullptr && element->attributes != nullptr) {
        const CFIndex count = CFDictionaryGetCount(element->attributes);
        std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(element->attributes, keys.data(), values.data());
        for (CFIndex i = 0; i < count; ++i) CFDictionarySetValue(payload->attributes, keys[size_t(i)], values[size_t(i)]);
      }
      CFTreeRef parent = reader->Parent();
      if (NodeInfoPtr parentRecord = BrackenrowGetNode(parent)) parentRecord->CONTAINER = true;
      BrackenrowGetNode(made)->PARENT = BrackenrowGetNode(parent) != nullptr ? BrackenrowGetNode(parent)->INDEX : 0;
      CFTreeAppendChild(parent, made);
      CFRelease(made);
    }
  }
  reader->open.push_back(made);
  return reader->open.empty() ? nullptr : reinterpret_cast<void*>(&reader->open.back());
}

void LogAddChild(CFXMLParserRef, void*, void*, void*) {}

void LogEndStructure(CFXMLParserRef, void* structure, void* info) {
  auto* reader = static_cast<LogReader*>(info);
  if (structure == reader) return;
  if (!reader->open.empty()) reader->open.pop_back();
}

CFTreeRef FindNodeOfData(CFTreeRef tree, const void* data) {
  if (tree == nullptr) return nullptr;
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    if (BrackenrowGetNodeData(child) == data) return child;
    if (CFTreeRef found = FindNodeOfData(child, data)) return found;
  }
  return nullptr;
}

Str255 Field(const void* data, const char* key) {
  auto* node = static_cast<const PHPLogNode*>(data);
  if (node == nullptr || node->attributes == nullptr) return Str255();
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(node->attributes, k);
  CFRelease(k);
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return Str255();
  return PCFSTR(CFStringRef(value));
}

bool Named(const void* data, const char* name) {
  auto* node = static_cast<const PHPLogNode*>(data);
  return node != nullptr && node->name == name;
}

}  // namespace

// --- The log ------------------------------------------------------------------------------

PHPLogNode* PHPLogNodeOf(CFTreeRef node) { return static_cast<PHPLogNode*>(BrackenrowGetNodeData(node)); }

Str255 GetErrorFieldValue(CFTreeRef node, const char* key) { return Field(PHPLogNodeOf(node), key); }

CFTreeRef ReadPHPErrorLog(const FSRef& file) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return nullptr;
  LogReader reader;
  reader.root = BrackenrowCreateTree(nullptr);
  CFXMLParserCallBacks callbacks{0, LogCreateStructure, LogAddChild, LogEndStructure, nullptr, nullptr};
  CFXMLParserContext context{0, &reader, nullptr, nullptr, nullptr};
  CFXMLParserRef parser = CFXMLParserCreateWithDataFromURL(nullptr, url, kCFXMLParserSkipWhitespace,
                                                           kCFXMLNodeCurrentVersion, &callbacks, &context);
  CFRelease(url);
  if (parser != nullptr) {
    // A log cut short (the script died while it was written) keeps what came.
    CFXMLParserParse(parser);
    CFRelease(parser);
  }
  if (CFTreeGetChildCount(reader.root) == 0) {
    CFRelease(reader.root);
    return nullptr;
  }
  return reader.root;
}

void ShowScriptErrorLine(TScriptPane* pane, const Str63& file, SInt32 line) {
  if (pane == nullptr) return;
  if (file.empty() || file == DocumentName(pane)) {
    if (pane->text == nullptr || line < 1) return;
    SInt32 start = 0, end = 0;
    WEGetLineRange(line - 1, &start, &end, pane->text);
    WESetSelection(start, end, pane->text);
    return;
  }
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.fileName = file;
  options.defaultLine = SInt16(line);
  SendOpenDocumentCommandWithOptions(options);
}

// --- Browsers -----------------------------------------------------------------------------

void TScriptErrorBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property,
                                      DataBrowserItemDataRef itemData) {
  // Only the columns: the list's own questions have small property numbers.
  if (data == nullptr || property < 1024) return;
  const ErrorRowDisplay display = ItemDisplay(data);
  CFStringRef text = NewString(display.text);
  Err = SetDataBrowserItemDataText(itemData, text);
  CFRelease(text);
  if (IconRef icon = Icon(display.creator, display.type)) {
    Err = SetDataBrowserItemDataIcon(itemData, icon);
    ReleaseIconRef(icon);
  }
}

void TScriptErrorBrowser::DrawItem(void* data, UInt32, Boolean container, DataBrowserItemID item,
                                   DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                                   CGContextRef context) {
  if (data == nullptr) return;
  const ErrorRowDisplay display = ItemDisplay(data);
  CFStringRef text = NewString(display.text);
  IconRef icon = Icon(display.creator, display.type);
  StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (icon != nullptr) ReleaseIconRef(icon);
  CFRelease(text);
}

void TScriptErrorBrowser::ItemNotification(void* data, UInt32, DataBrowserItemID,
                                           DataBrowserItemNotification message) {
  if (message == kDataBrowserItemSelected && data != nullptr) ItemChosen(data);
}

void* TScriptErrorBrowser::RowData(SInt16 row) {
  DataBrowserItemID item = kDataBrowserNoItem;
  if (VIEW == nullptr || row < 0 ||
      GetDataBrowserTableViewItemID(VIEW, DataBrowserTableViewRowIndex(row), &item) != noErr ||
      item == kDataBrowserNoItem)
    return nullptr;
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
  return node != nullptr ? node->DATA : nullptr;
}

ErrorRowDisplay TPERLErrorBrowser::ItemDisplay(void* data) {
  auto* error = static_cast<PerlError*>(data);
  ErrorRowDisplay display;
  display.creator = ApplicationCreator();
  display.type = kErrorWarningIcon;
  display.text = error->message;
  if (!error->file.empty() && error->file != DocumentName(pane)) display.text = error->message + " in " + error->file;
  return display;
}

void TPERLErrorBrowser::ItemChosen(void* data) {
  auto* error = static_cast<PerlError*>(data);
  ShowScriptErrorLine(pane, error->file, error->line);
}

ErrorRowDisplay TRubyErrorBrowser::ItemDisplay(void* data) {
  auto* error = static_cast<RubyError*>(data);
  ErrorRowDisplay display;
  display.creator = ApplicationCreator();
  if (!error->message.empty()) {
    display.type = kErrorWarningIcon;
    display.text = error->message;
  } else {
    display.type = kErrorLocalsIcon;
    display.text = error->method;
  }
  return display;
}

void TRubyErrorBrowser::ItemChosen(void* data) {
  auto* error = static_cast<RubyError*>(data);
  ShowScriptErrorLine(pane, error->file, error->line);
}

ErrorRowDisplay TPHPErrorBrowser::ItemDisplay(void* data) {
  ErrorRowDisplay display;
  display.creator = ApplicationCreator();
  const Str255 type = Field(data, "type");
  if (type == "Warning" || type == "Notice")
    display.type = kErrorNoticeIcon;
  else if (type == "User Error" || type == "User Notice")
    display.type = kErrorUserIcon;
  else if (type == "Fatal Error" || type == "Parse Error")
    display.type = kErrorFatalIcon;
  else
    display.type = kErrorOtherIcon;
  display.text = Field(data, "message");
  return display;
}

void TPHPErrorBrowser::ItemChosen(void* data) {
  auto* php = dynamic_cast<TPHPPane*>(pane);
  if (php == nullptr) return;
  if (CFTreeRef frame = FindNodeOfData(php->log, data)) php->ApplyStackFrame(frame);
  ShowScriptErrorLine(pane, FileName(Field(data, "file")), Number(Field(data, "line")));
}

ErrorRowDisplay TPHPErrorLogBrowser::ItemDisplay(void* data) {
  ErrorRowDisplay display;
  if (Named(data, "entry")) {
    display.creator = kSystemCreator;
    display.type = kErrorFunctionIcon;
    display.text = Field(data, "function");
  } else if (Named(data, "class_methods")) {
    display.text = "Methods";
  } else if (Named(data, "class_instance_vars")) {
    display.text = "Instance Variables";
  } else if (Named(data, "class_ancestry")) {
    display.text = "Ancestry";
  } else if (Named(data, "class_node") || Named(data, "class_description")) {
    display.creator = kSystemCreator;
    display.type = kErrorFunctionIcon;
    display.text = Field(data, "name");
  } else if (Named(data, "element")) {
    display.text = "$" + Field(data, "name") + " = \"" + Field(data, "value") + "\"";
  }
  return display;
}

void TPHPErrorLogBrowser::ItemChosen(void* data) {
  if (!Named(data, "entry") || pane == nullptr || pane->text == nullptr) return;
  const SInt32 line = Number(Field(data, "line"));
  if (line < 1) return;
  SInt32 start = 0, end = 0;
  WEGetLineRange(line - 1, &start, &end, pane->text);
  WESetSelection(start, end, pane->text);
}

// --- Log windows --------------------------------------------------------------------------

SInt16 PHPErrorLogWindowHeight(UInt32 rows) {
  const UInt32 height = std::min<UInt32>(rows * kLogRowHeight, 384);
  return SInt16(std::max<UInt32>(height, 144));
}

void TPHPErrorLogWindow::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  SetClassString("TPHPErrorLogWindow");
  if (window == nullptr) return;
  HIViewRef root = HIViewGetRoot(window);
  ControlRef view = FindView(root, kErrorLogBrowserSignature);
  if (view == nullptr) return;
  browser = new TPHPErrorLogBrowser();
  browser->SetOptions(kBrackenrowDefaultOptions);
  browser->Create(view);
  Err = SetDataBrowserTableViewRowHeight(view, kLogRowHeight);
  browser->SetDisclosureColumn(kLogColumn);
}

void TPHPErrorLogWindow::Release() {
  ReleaseBrowser(browser);
  TWindow::Release();
}

SInt32 TPHPErrorLogWindow::Closing(EventRef) {
  Hide();
  return noErr;
}

void TPHPErrorLogWindow::FitHeight() {
  if (window == nullptr || browser == nullptr) return;
  Rect bounds{};
  if (GetWindowBounds(window, kWindowStructureRgn, &bounds) != noErr) return;
  bounds.bottom = SInt16(bounds.top + PHPErrorLogWindowHeight(browser->CountItems(0, false)));
  Err = SetWindowBounds(window, kWindowStructureRgn, &bounds);
}

// --- Panes --------------------------------------------------------------------------------

void TPERLPane::Create(const Str63& name, IBNibRef nib) {
  TScriptPane::Create(name, nib);
  SetClassString("TPERLPane");
  title = "PERL";
  browser = MakeBrowser<TPERLErrorBrowser>(this, kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
  MakeTitledToolbar(this);
}

void TPERLPane::Release() {
  ReleaseBrowser(browser);
  TScriptPane::Release();
}

void TPERLPane::Finished() {
  if (browser != nullptr) browser->SelectRow(0);
}

void TPERLPane::Clear() {
  if (browser != nullptr) browser->Clear();
}

void TRubyPane::Create(const Str63& name, IBNibRef nib) {
  TScriptPane::Create(name, nib);
  SetClassString("TRubyPane");
  title = "Ruby";
  browser = MakeBrowser<TRubyErrorBrowser>(this, kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
  MakeTitledToolbar(this);
}

void TRubyPane::Release() {
  ReleaseBrowser(browser);
  TScriptPane::Release();
}

void TRubyPane::Finished() {
  if (browser != nullptr) browser->SelectRow(0);
}

void TRubyPane::Clear() {
  if (browser != nullptr) browser->Clear();
  currentItem = 0;
}

void THTMLPane::Create(const Str63& name, IBNibRef nib) {
  TScriptPane::Create(name, nib);
  SetClassString("THTMLPane");
  title = "HTML";
  MakeTitledToolbar(this);
}

void TPHPPane::Create(const Str63& name, IBNibRef nib) {
  TScriptPane::Create(name, nib);
  SetClassString("TPHPPane");
  title = "0 ";
  if (ControlRef placard = FindView(paneView, kErrorPanePlacardSignature))
    HICustomButtonCreate(kPlacardButtonKind, placard);
  browser = MakeBrowser<TPHPErrorBrowser>(this, kBrackenrowAlternatingRowColors);
  static const char* const kTitles[4] = {"Stack Trace", "Locals", "Classes", "Class Tree"};
  static const OSType kIcons[4] = {kErrorStackTraceIcon, kErrorLocalsIcon, kErrorClassesIcon, kErrorClassTreeIcon};
  for (int i = 0; i < 4; ++i) {
    auto* window = new TPHPErrorLogWindow();
    window->Create(kErrorLogWindowNibName, nib);
    if (window->window != nullptr) {
      CFStringRef windowTitle = CFStringCreateWithCString(nullptr, kTitles[i], kCFStringEncodingUTF8);
      SetWindowTitleWithCFString(window->window, windowTitle);
      CFRelease(windowTitle);
    }
    if (window->browser != nullptr) window->browser->pane = this;
    logWindows[i] = window;
  }
  ControlRef bar = MakeToolbar(this);
  if (bar == nullptr) return;
  ToolbarAddButton(bar, title, Icon(ApplicationCreator(), kErrorWarningIcon), kIconRefKind, nullptr, 0,
                   ToolbarOption(kToolbarItemDefaultOptions), nullptr);
  for (int i = 0; i < 4; ++i)
    ToolbarAddButton(bar, kTitles[i], Icon(ApplicationCreator(), kIcons[i]), kIconRefKind, logWindows[i]->window,
                     kHICommandPrint, ToolbarOption(kToolbarItemDefaultOptions), nullptr);
  AddCloseButton(bar);
}

void TPHPPane::Release() {
  ReleaseBrowser(browser);
  for (TPHPErrorLogWindow*& window : logWindows) {
    if (window == nullptr) continue;
    SInt32 status = noErr;
    window->Close(status);
    window = nullptr;
  }
  if (log != nullptr) CFRelease(log);
  log = nullptr;
  TScriptPane::Release();
}

void TPHPPane::HandleErrorLog() {
  if (script == nullptr) return;
  FSRef file{};
  if (GetSystemLogFile(script->logName, file) != noErr) return;
  CFTreeRef tree = ReadPHPErrorLog(file);
  // A missing or unreadable log leaves the list as it was.
  if (tree != nullptr) SetLog(tree);
}

void TPHPPane::SetLog(CFTreeRef tree) {
  if (tree == nullptr) return;
  CFTreeRef old = log;
  log = tree;
  ApplyErrorLog(tree);
  if (old != nullptr) CFRelease(old);
  if (browser == nullptr) return;
  const UInt32 count = browser->CountItems(0, false);
  if (count > 0) browser->SelectRow(SInt16(count - 1));
  SetTitle(Str255(std::to_string(count)) + " ");
}

void TPHPPane::ApplyErrorLog(CFTreeRef tree) {
  TScriptErrorBrowser* browsers[3] = {browser, logWindows[2] != nullptr ? logWindows[2]->browser : nullptr,
                                      logWindows[3] != nullptr ? logWindows[3]->browser : nullptr};
  static const char* const kShown[3] = {"debugtrace", "class_description", "class_node"};
  for (TScriptErrorBrowser* b : browsers) {
    if (b == nullptr) continue;
    b->SetTree(tree);
    BrackenrowRemoveAll(b->VIEW);
  }
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    NodeInfoPtr record = BrackenrowGetNode(child);
    if (record == nullptr) continue;
    for (int i = 0; i < 3; ++i)
      if (browsers[i] != nullptr && Named(record->DATA, kShown[i])) browsers[i]->NewAlias(record->INDEX, 0, tree);
  }
  for (int i = 2; i < 4; ++i)
    if (logWindows[i] != nullptr) logWindows[i]->FitHeight();
}

void TPHPPane::ApplyStackFrame(CFTreeRef tree) {
  static const char* const kShown[2] = {"stacktrace", "localstack"};
  for (int i = 0; i < 2; ++i) {
    TPHPErrorLogWindow* window = logWindows[i];
    if (window == nullptr || window->browser == nullptr) continue;
    window->browser->SetTree(tree);
    BrackenrowRemoveAll(window->browser->VIEW);
    for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child))
      if (Named(BrackenrowGetNodeData(child), kShown[i])) window->browser->AppendChildren(child, 0);
    window->FitHeight();
  }
}

void TPHPPane::AddCheckError(const Str255& message, const Str255& file, SInt32 line) {
  // The check's error becomes a node of a log of this run's own.
  CFTreeRef tree = BrackenrowCreateTree(nullptr);
  CFTreeRef node = NewLogNode("debugtrace", 1);
  if (node == nullptr) {
    CFRelease(tree);
    return;
  }
  SetAttribute(node, "type", "Parse Error");
  SetAttribute(node, "message", message);
  SetAttribute(node, "file", file);
  SetAttribute(node, "line", Str255(std::to_string(line)));
  CFTreeAppendChild(tree, node);
  CFRelease(node);
  if (script != nullptr) script->IncrementErrorCount();
  SetLog(tree);
}

void TPHPPane::Finished() {
  if (browser != nullptr) browser->SelectRow(0);
}

void TPHPPane::Clear() {
  if (browser != nullptr) BrackenrowRemoveAll(browser->VIEW);
}

// --- Factories ----------------------------------------------------------------------------

TScriptPane* CreatePHPPane() { return MakePane(new TPHPPane(), "Error Pane (PHP)", CreatePHPScript()); }
TScriptPane* CreatePERLPane() { return MakePane(new TPERLPane(), "Error Pane (PERL)", CreatePERLScript()); }
TScriptPane* CreateRubyPane() { return MakePane(new TRubyPane(), "Error Pane (Ruby)", CreateRubyScript()); }
TScriptPane* CreateHTMLPane() { return MakePane(new THTMLPane(), "Error Pane (HTML)", CreateHTMLScript()); }
