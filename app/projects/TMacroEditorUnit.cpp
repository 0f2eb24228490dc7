// The macro editor window, the pane that edits one command, and the command
// editor of a project command.
#include "TMacroEditorUnit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ApplicationResources.h"
#include "CFPascal.h"
#include "Folders.h"
#include "HICommonThemes.h"
#include "HITheme.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TProjectDialogsUnit.h"
#include "TProjectUnit.h"
#include "TWASTEViewUnit.h"
#include "brackenrow/Brackenrow.h"
#include "fenwicket/Fenwicket.h"

const char kMacroEditorNibName[] = "MacroEditor";
const char kMacroEditorWindowName[] = "MainWindow";
const char kCommandEditorWindowName[] = "Command Editor";
const char kMacroPaneName[] = "Macro Pane";
const char kMacroErrorPaneName[] = "Error Pane (Macro)";
const char kProjectLibraryName[] = "project";
const char kMacroNameTakenMessage[] =
    "Another command of this library has that name. Choose a name no other command uses.";
const char kMacroLibraryNotOpenMessage[] =
    "The project's commands can be edited while a window of the project is open.";
const char kProjectCommandNameTooLongMessage[] =
    "A project command's name holds at most 31 characters. The command keeps its old name.";

namespace {

const char kMacroTextFont[] = "Andale Mono";
constexpr SInt16 kMacroTextSize = 12;
constexpr OSType kSystemCreator = 'macs';

// --- Strings ------------------------------------------------------------------------------

CFStringRef NewString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

// The string as Mac Roman, whole: false when it is longer than limit or
// holds a character Mac Roman lacks (a cut or blanked text would be another
// one).
Boolean ShortText(CFStringRef text, CFIndex limit, Str255& value) {
  value = Str255();
  if (text == nullptr) return true;
  const CFIndex length = CFStringGetLength(text);
  if (length > limit || length > 255) return false;
  value = CFStringToPascal(text);
  return value.len() == length;
}

void SetFieldText(ControlRef field, const Str255& text) {
  if (field == nullptr) return;
  CFStringRef string = NewString(text);
  if (string == nullptr) return;
  Err = HIViewSetText(field, string);
  CFRelease(string);
}

CFStringRef CopyFieldText(ControlRef field) { return field != nullptr ? HIViewCopyText(field) : nullptr; }

Str255 Lower(const Str255& text) {
  Str255 lower = text;
  for (int i = 1; i <= lower.len(); ++i)
    if (lower[i] >= 'A' && lower[i] <= 'Z') lower[i] = static_cast<unsigned char>(lower[i] + ('a' - 'A'));
  return lower;
}

// The text of the pop-up's item in lower case; empty for no item.
Str255 PopupItemText(ControlRef popup, MenuItemIndex item) {
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  if (menu == nullptr || item < 1 || item > CountMenuItems(menu)) return Str255();
  CFStringRef text = nullptr;
  if (CopyMenuItemTextAsCFString(menu, item, &text) != noErr || text == nullptr) return Str255();
  const Str255 value = PCFSTR(text);
  CFRelease(text);
  return Lower(value);
}

Str255 PopupText(ControlRef popup) {
  return popup != nullptr ? PopupItemText(popup, MenuItemIndex(GetControl32BitValue(popup))) : Str255();
}

// Shows the item whose text is the value (any case): false when none is.
Boolean SelectPopupText(ControlRef popup, const Str255& value) {
  MenuRef menu = popup != nullptr ? HIViewGetMenu(popup) : nullptr;
  if (menu == nullptr) return false;
  const Str255 wanted = Lower(value);
  for (MenuItemIndex item = 1; item <= CountMenuItems(menu); ++item) {
    if (PopupItemText(popup, item) == wanted) {
      SetControl32BitValue(popup, SInt32(item));
      return true;
    }
  }
  SetControl32BitValue(popup, 1);
  return false;
}

ControlRef FindIn(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &view);
  return view;
}

ControlRef FindInWindow(WindowRef window, OSType signature, SInt32 id) {
  return window != nullptr ? FindIn(HIViewGetRoot(window), signature, id) : nullptr;
}

// --- Records --------------------------------------------------------------------------------

// A copy of the record with its own copy of the text.
MacroData CopyMacro(const MacroData& macro) {
  MacroData copy = macro;
  copy.text = macro.text != nullptr ? CFStringCreateMutableCopy(nullptr, 0, macro.text) : CFStringCreateMutable(nullptr, 0);
  return copy;
}

CFStringRef StringValue(CFDictionaryRef dictionary, const char* key) {
  CFTypeRef value = CFDictionaryGetValue(dictionary, CFStringMakeConstantUTF8(key));
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? static_cast<CFStringRef>(value) : nullptr;
}

Boolean IsDictionary(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID(); }

// Every row's record of a browser, in row order.
template <typename Record>
std::vector<Record*> RowRecords(ControlRef view, UInt32 type) {
  std::vector<Record*> records;
  if (view == nullptr) return records;
  UInt32 count = 0;
  if (GetDataBrowserItemCount(view, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &count) != noErr) return records;
  for (UInt32 row = 0; row < count; ++row) {
    DataBrowserItemID item = kDataBrowserNoItem;
    if (GetDataBrowserTableViewItemID(view, DataBrowserTableViewRowIndex(row), &item) != noErr) continue;
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), view);
    if (node != nullptr && node->DATATYPE == type && node->DATA != nullptr)
      records.push_back(static_cast<Record*>(node->DATA));
  }
  return records;
}

// The selected items, from the top down.
std::vector<SInt32> SelectedItems(ControlRef view) {
  std::vector<SInt32> items;
  SInt16 count = 0;
  ItemArrayHandle selected = view != nullptr ? GetSelectedBrowserItems(view, count) : nullptr;
  for (SInt16 i = 0; selected != nullptr && i < count; ++i) items.push_back(SInt32((*selected)[i]));
  if (selected != nullptr) DisposeHandle(reinterpret_cast<Handle>(selected));
  return items;
}

SInt32 ItemOfRecord(ControlRef view, const void* record) {
  if (view == nullptr || record == nullptr) return 0;
  UInt32 count = 0;
  GetDataBrowserItemCount(view, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &count);
  for (UInt32 row = 0; row < count; ++row) {
    DataBrowserItemID item = kDataBrowserNoItem;
    if (GetDataBrowserTableViewItemID(view, DataBrowserTableViewRowIndex(row), &item) != noErr) continue;
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), view);
    if (node != nullptr && node->DATA == record) return SInt32(item);
  }
  return 0;
}

void SelectItem(ControlRef view, SInt32 item) {
  if (view == nullptr || item == 0) return;
  const DataBrowserItemID id = DataBrowserItemID(item);
  Err = SetDataBrowserSelectedItems(view, 1, &id, kDataBrowserItemsAssign);
  Err = RevealDataBrowserItem(view, id, kDataBrowserNoItem, kDataBrowserRevealOnly);
}

// A browser goes with its list view; one whose view is still there is let
// go here.
template <class Browser>
void ReleaseBrowser(Browser*& browser) {
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
}

void PaneTextChanged(SInt32, SInt32, UInt8, WEReference, void* context) {
  auto* pane = static_cast<TMacroEditorPane*>(context);
  if (pane != nullptr && TPaneIsLive(pane)) pane->Changed();
}

OSStatus PaneFieldChanged(EventHandlerCallRef, EventRef, void* userData) {
  auto* pane = static_cast<TMacroEditorPane*>(userData);
  if (pane != nullptr && TPaneIsLive(pane)) pane->Changed();
  return eventNotHandledErr;
}

// The macro pane of the interface file inside the window's container.
TMacroEditorPane* MakeMacroPane(TWindow* window, void (*changed)(void*), void* context) {
  ControlRef container = FindInWindow(window->window, kMacroPaneContainerSignature, kMacroPaneContainerID);
  if (container == nullptr) return nullptr;
  auto* pane = new TMacroEditorPane();
  pane->changed = changed;
  pane->changedContext = context;
  pane->SetOwner(window);
  pane->Create(kMacroPaneName, window->nib);
  if (pane->paneView == nullptr) {
    pane->Release();
    return nullptr;
  }
  pane->AddSubview(container);
  return pane;
}

TMacroEditorWindow* gMacroEditor = nullptr;

// Where the changed libraries go, named for the user.
Str255 SaveFailedMessage() {
  std::string folder = "Quorvel/Code Sense";
  FSRef support{};
  UInt8 path[1024] = {0};
  if (FSFindFolder(kUserDomain, kApplicationSupportFolderType, kDontCreateFolder, &support) == noErr &&
      FSRefMakePath(&support, path, sizeof path) == noErr)
    folder = std::string(reinterpret_cast<char*>(path)) + "/" + folder;
  return Str255("The macros could not be saved: the folder \"" + folder +
                "\" (or the project's Data folder) cannot be written.");
}

void MacroEditorChanged(void* context) {
  auto* editor = static_cast<TMacroEditorWindow*>(context);
  if (editor == nullptr) return;
  editor->SetModified();
  editor->Update();
}

void CommandEditorChanged(void*) {}

IBNibRef MacroEditorNib() {
  if (AppResources != nullptr && AppResources->MacroEditorNib != nullptr) return AppResources->MacroEditorNib;
  static IBNibRef own = nullptr;
  if (own == nullptr) Err = CreateNibReference(CFSTR(kMacroEditorNibName), &own);
  return own;
}

}  // namespace

// ---------------------------------------------------------------------------
// The pane

void TMacroEditorPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TMacroEditorPane");
  if (paneView == nullptr) return;
  titleField = FindIn(paneView, kMacroTitleSignature, kMacroFieldID);
  commandField = FindIn(paneView, kMacroCommandSignature, kMacroFieldID);
  actionPopup = FindIn(paneView, kMacroActionSignature, kMacroFieldID);
  outputPopup = FindIn(paneView, kMacroOutputSignature, kMacroFieldID);
  textControl = FindIn(paneView, kMacroTextSignature, kMacroTextID);
  static const EventTypeSpec kFieldEvents[] = {{kEventClassTextField, kEventTextDidChange}};
  for (ControlRef field : {titleField, commandField})
    if (field != nullptr) Err = InstallEventHandler(GetControlEventTarget(field), PaneFieldChanged, 1, kFieldEvents, this, nullptr);
  if (textControl != nullptr) {
    textView = new TWASTEView();
    textView->options = WasteOption(kWasteViewDrawFrame) | WasteOption(kWasteViewVerticalScrollbar) |
                        WasteOption(kWasteViewHorizantalScrollbar);
    textView->viewWindow = owner != nullptr ? owner->GetViewOwner() : nibWindow;
    textView->Create(textControl);
    textView->SetStyle(kMacroTextFont, kMacroTextSize);
    WasteCustomCallbacks callbacks{};
    callbacks.USERFLUX = PaneTextChanged;
    WasteRegisterCallbackClient(textControl, callbacks, this);
  }
  ShowMacro(nullptr);
}

void TMacroEditorPane::Release() {
  // The text view's object ends with its view, which the pane's view takes.
  textView = nullptr;
  TPane::Release();
}

void TMacroEditorPane::SetEnabled(Boolean enabled) {
  for (ControlRef control : {titleField, commandField, actionPopup, outputPopup, textControl})
    if (control != nullptr) Err = HIViewSetEnabled(control, enabled);
}

void TMacroEditorPane::ShowMacro(MacroDataPtr macro) {
  loading = true;
  if (textControl != nullptr) WasteSetFluxState(textControl, false);
  SetFieldText(titleField, macro != nullptr ? Str255(macro->publicName) : Str255());
  SetFieldText(commandField, macro != nullptr ? Str255(macro->commandName) : Str255());
  keepAction = !SelectPopupText(actionPopup, macro != nullptr ? Str255(macro->action) : Str255("macro"));
  keepOutput = !SelectPopupText(outputPopup, macro != nullptr ? Str255(macro->output) : Str255("default"));
  if (textView != nullptr) {
    // The text view breaks lines with CR; commands keep LF.
    CFMutableStringRef text = CFStringCreateMutable(nullptr, 0);
    if (macro != nullptr && macro->text != nullptr) CFStringAppend(text, macro->text);
    CFStringFindAndReplace(text, CFSTR("\n"), CFSTR("\r"), CFRangeMake(0, CFStringGetLength(text)), 0);
    textView->SetText(text);
    CFRelease(text);
    if (textView->controller != nullptr) {
      WESetSelection(0, 0, textView->controller);
      WEResetModCount(textView->controller);
    }
  }
  if (textControl != nullptr) WasteSetFluxState(textControl, true);
  SetEnabled(macro != nullptr);
  loading = false;
}

void TMacroEditorPane::UpdateMacro(MacroDataPtr macro) {
  if (macro == nullptr) return;
  Str255 title;
  CFStringRef typed = CopyFieldText(titleField);
  // A title the record cannot hold, or none, leaves the one it has.
  if (typed != nullptr && ShortText(typed, 63, title) && !title.empty()) macro->publicName = Str63(title);
  if (typed != nullptr) CFRelease(typed);
  if (!keepAction && actionPopup != nullptr) macro->action = Str31(PopupText(actionPopup));
  if (!keepOutput && outputPopup != nullptr) macro->output = Str31(PopupText(outputPopup));
  // The text only when it was edited: one read back unchanged stays as it
  // was stored, line breaks and all.
  if (textView != nullptr && textView->GetModified()) {
    CFStringRef text = textView->CopyRange(CFRangeMake(0, 0));
    if (text != nullptr) {
      if (macro->text == nullptr) macro->text = CFStringCreateMutable(nullptr, 0);
      CFStringReplaceAll(macro->text, text);
      CFStringFindAndReplace(macro->text, CFSTR("\r"), CFSTR("\n"), CFRangeMake(0, CFStringGetLength(macro->text)), 0);
      CFRelease(text);
    }
  }
}

Boolean TMacroEditorPane::TypedCommandName(Str63& name) {
  CFStringRef typed = CopyFieldText(commandField);
  Str255 value;
  const Boolean usable = typed != nullptr && ShortText(typed, commandLimit, value) && !value.empty();
  if (typed != nullptr) CFRelease(typed);
  if (usable) name = Str63(value);
  return usable;
}

void TMacroEditorPane::PopupChosen(UInt32 command) {
  if (command == kHICommandChooseAction) keepAction = false;
  if (command == kHICommandChooseOutput) keepOutput = false;
  Changed();
}

void TMacroEditorPane::Changed() {
  if (loading || changed == nullptr) return;
  changed(changedContext);
}

// ---------------------------------------------------------------------------
// The command list

SInt32 TMacroBrowser::AddMacro(const MacroData& macro) {
  Ptr block = NewPtr(sizeof(MacroData));
  if (block == nullptr) {
    if (macro.text != nullptr) CFRelease(macro.text);
    return 0;
  }
  std::memcpy(block, &macro, sizeof macro);
  return NewItem(block, SInt32(sizeof(MacroData)), kMacroRowType, 0);
}

std::vector<MacroDataPtr> TMacroBrowser::Macros() { return RowRecords<MacroData>(VIEW, kMacroRowType); }

void TMacroBrowser::Populate() {
  // The rows and their records go: a library shown again is read afresh.
  Clear();
  if (editor == nullptr || editor->library == nullptr || editor->library->commands == nullptr) return;
  CFStringRef name = NewString(editor->ChosenLibrary());
  CFTypeRef commands = name != nullptr ? CFDictionaryGetValue(editor->library->commands, name) : nullptr;
  if (name != nullptr) CFRelease(name);
  if (!IsDictionary(commands)) return;
  auto dictionary = static_cast<CFDictionaryRef>(commands);
  const CFIndex count = CFDictionaryGetCount(dictionary);
  std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
  CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
  for (CFIndex i = 0; i < count; ++i) {
    if (!IsDictionary(values[size_t(i)]) || CFGetTypeID(keys[size_t(i)]) != CFStringGetTypeID()) continue;
    auto command = static_cast<CFDictionaryRef>(values[size_t(i)]);
    MacroData macro{};
    macro.commandName = Str63(PCFSTR(static_cast<CFStringRef>(keys[size_t(i)])));
    if (macro.commandName.empty()) continue;  // a name this editor cannot hold stays as it is
    CFStringRef title = StringValue(command, "public-name");
    macro.publicName = title != nullptr ? Str63(PCFSTR(title)) : macro.commandName;
    if (CFStringRef action = StringValue(command, "action")) macro.action = Str31(PCFSTR(action));
    if (CFStringRef output = StringValue(command, "output")) macro.output = Str31(PCFSTR(output));
    CFStringRef text = StringValue(command, "text");
    macro.text = text != nullptr ? CFStringCreateMutableCopy(nullptr, 0, text) : CFStringCreateMutable(nullptr, 0);
    AddMacro(macro);
  }
}

void TMacroBrowser::ItemNotification(void* data, UInt32 dataType, DataBrowserItemID,
                                     DataBrowserItemNotification message) {
  if (editor == nullptr || dataType != kMacroRowType) return;
  if (message == kDataBrowserItemSelected) editor->ShowMacro(static_cast<MacroDataPtr>(data));
}

void TMacroBrowser::SetItemData(void* data, UInt32 dataType, DataBrowserItemID, DataBrowserPropertyID property,
                                DataBrowserItemDataRef itemData) {
  if (data == nullptr || dataType != kMacroRowType) return;
  auto* macro = static_cast<MacroDataPtr>(data);
  if (property == kMacroTitleColumn) {
    CFStringRef title = NewString(macro->publicName);
    Err = SetDataBrowserItemDataText(itemData, title);
    CFRelease(title);
    IconRef icon = nullptr;
    if (GetIconRef(kOnSystemDisk, kSystemCreator, kMacroRowIcon, &icon) == noErr && icon != nullptr) {
      Err = SetDataBrowserItemDataIcon(itemData, icon);
      ReleaseIconRef(icon);
    }
  }
}

void TMacroBrowser::DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                             DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                             CGContextRef context) {
  if (data == nullptr || dataType != kMacroRowType) return;
  auto* macro = static_cast<MacroDataPtr>(data);
  const Str31 name(macro->commandName);
  // The title keeps clear of the label.
  HIThemeTextInfo info{};
  info.state = kThemeStateActive;
  info.fontID = kThemeSmallSystemFont;
  CFStringRef label = NewString(name);
  CGFloat width = 0;
  Err = HIThemeGetTextDimensions(label, 0, &info, &width, nullptr, nullptr);
  if (label != nullptr) CFRelease(label);
  CGRect view{};
  Err = HIViewGetBounds(VIEW, &view);
  CGRect titleBounds = bounds;
  const CGFloat labelLeft = view.size.width - (width + 12.0 + 18.0) - 4.0;
  if (titleBounds.origin.x + titleBounds.size.width > labelLeft)
    titleBounds.size.width = std::max<CGFloat>(0, labelLeft - titleBounds.origin.x);
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, kSystemCreator, kMacroRowIcon, &icon) != noErr) icon = nullptr;
  CFStringRef title = NewString(macro->publicName);
  // The row's background and selection run under the label too.
  if (titleBounds.size.width < bounds.size.width)
    StandardTextPropertyDrawHandler(nullptr, CFSTR(""), container, property, item, state, bounds, context, VIEW);
  // A long title is cut at the label rather than drawn under it.
  CGContextSaveGState(context);
  CGContextClipToRect(context, titleBounds);
  StandardTextPropertyDrawHandler(icon, title, container, property, item, state, titleBounds, context, VIEW);
  CGContextRestoreGState(context);
  if (title != nullptr) CFRelease(title);
  if (icon != nullptr) ReleaseIconRef(icon);
  // The label is drawn as the text box draws, top down: the row is turned
  // over for it.
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, 0, 2 * bounds.origin.y + bounds.size.height);
  CGContextScaleCTM(context, 1, -1);
  HIThemeDrawLabel(kThemeSmallSystemFont, name, (state & kDataBrowserItemIsSelected) ? 1 : 2, bounds, VIEW, context);
  CGContextRestoreGState(context);
}

void TMacroBrowser::SetItemText(void* data, DataBrowserItemID, DataBrowserPropertyID property, CFStringRef text) {
  if (data == nullptr || property != kMacroTitleColumn || editor == nullptr) return;
  auto* macro = static_cast<MacroDataPtr>(data);
  Str255 title;
  if (!ShortText(text, 63, title)) return;
  macro->publicName = Str63(title);
  editor->SetModified();
  if (macro == editor->current && editor->pane != nullptr) {
    editor->pane->loading = true;
    SetFieldText(editor->pane->titleField, title);
    editor->pane->loading = false;
  }
}

Boolean TMacroBrowser::CompareItem(NodeInfoPtr one, NodeInfoPtr two, DataBrowserPropertyID) {
  if (one == nullptr || two == nullptr || one->DATA == nullptr || two->DATA == nullptr) return false;
  const auto* a = static_cast<const MacroData*>(one->DATA);
  const auto* b = static_cast<const MacroData*>(two->DATA);
  const std::string x = Lower(a->publicName).str(), y = Lower(b->publicName).str();
  if (x != y) return x < y;
  return a->commandName.str() < b->commandName.str();
}

Boolean TMacroBrowser::RemoveItem(void* data, UInt32 dataType, DataBrowserItemID) {
  if (editor == nullptr || dataType != kMacroRowType) return false;
  if (data == editor->current) {
    editor->current = nullptr;
    if (editor->pane != nullptr) editor->pane->ShowMacro(nullptr);
  }
  editor->SetModified();
  return true;
}

void TMacroBrowser::ReleaseItem(void* data, UInt32 dataType) {
  if (data == nullptr || dataType != kMacroRowType) return;
  auto* macro = static_cast<MacroDataPtr>(data);
  if (editor != nullptr && editor->current == macro) editor->current = nullptr;
  if (macro->text != nullptr) CFRelease(macro->text);
  macro->text = nullptr;
}

// The browser is no longer told of its rows once it is being released, so
// the texts its rows hold go first.
void TMacroBrowser::Release() {
  if (VIEW != nullptr)
    for (MacroDataPtr macro : Macros()) ReleaseItem(macro, kMacroRowType);
  TBrowser::Release();
}

// ---------------------------------------------------------------------------
// The variable list

SInt32 TVariableBrowser::AddVariable(const VariableData& variable) {
  Ptr block = NewPtrClear(sizeof(VariableData));
  if (block == nullptr) return 0;
  std::memcpy(block, &variable, sizeof variable);
  return NewItem(block, SInt32(sizeof(VariableData)), kVariableRowType, 0);
}

std::vector<VariableData> TVariableBrowser::Variables() {
  std::vector<VariableData> variables;
  for (VariableData* row : RowRecords<VariableData>(VIEW, kVariableRowType)) variables.push_back(*row);
  return variables;
}

void TVariableBrowser::Populate() {
  Clear();
  CFDictionaryRef variables = editor != nullptr && editor->library != nullptr ? editor->library->variables : nullptr;
  if (variables == nullptr) return;
  const CFIndex count = CFDictionaryGetCount(variables);
  std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
  CFDictionaryGetKeysAndValues(variables, keys.data(), values.data());
  for (CFIndex i = 0; i < count; ++i) {
    if (CFGetTypeID(keys[size_t(i)]) != CFStringGetTypeID()) continue;
    VariableData variable{};
    variable.name = Str63(PCFSTR(static_cast<CFStringRef>(keys[size_t(i)])));
    if (values[size_t(i)] != nullptr && CFGetTypeID(values[size_t(i)]) == CFStringGetTypeID())
      variable.value = Str63(PCFSTR(static_cast<CFStringRef>(values[size_t(i)])));
    AddVariable(variable);
  }
}

void TVariableBrowser::ItemNotification(void*, UInt32 dataType, DataBrowserItemID item,
                                        DataBrowserItemNotification message) {
  if (dataType != kVariableRowType || message != kDataBrowserItemDoubleClicked || VIEW == nullptr) return;
  // The cell under the click opens: the name's column or the value's.
  Rect name{};
  DataBrowserPropertyID column = kVariableValueColumn;
  if (GetDataBrowserItemPartBounds(VIEW, item, kVariableNameColumn, kDataBrowserPropertyContentPart, &name) == noErr &&
      lastClick.x < name.right)
    column = kVariableNameColumn;
  Err = SetDataBrowserEditItem(VIEW, item, column);
}

Boolean TVariableBrowser::RemoveItem(void*, UInt32 dataType, DataBrowserItemID) {
  if (editor == nullptr || dataType != kVariableRowType) return false;
  editor->SetModified();
  return true;
}

void TVariableBrowser::SetItemData(void* data, UInt32 dataType, DataBrowserItemID, DataBrowserPropertyID property,
                                   DataBrowserItemDataRef itemData) {
  if (data == nullptr || dataType != kVariableRowType) return;
  auto* variable = static_cast<VariableData*>(data);
  if (property != kVariableNameColumn && property != kVariableValueColumn) return;
  CFStringRef text = NewString(property == kVariableNameColumn ? Str255(variable->name) : Str255(variable->value));
  Err = SetDataBrowserItemDataText(itemData, text);
  CFRelease(text);
}

void TVariableBrowser::SetItemText(void* data, DataBrowserItemID, DataBrowserPropertyID property, CFStringRef text) {
  if (data == nullptr) return;
  auto* variable = static_cast<VariableData*>(data);
  Str255 value;
  // What a row cannot hold leaves the cell as it was.
  if (!ShortText(text, 63, value)) return;
  if (property == kVariableNameColumn) {
    if (value.empty()) return;
    variable->name = Str63(value);
  } else if (property == kVariableValueColumn) {
    variable->value = Str63(value);
  } else {
    return;
  }
  if (editor != nullptr) editor->SetModified();
}

// ---------------------------------------------------------------------------
// The macro editor window

namespace {

OSStatus VariableListClick(EventHandlerCallRef, EventRef event, void* userData) {
  auto* browser = static_cast<TVariableBrowser*>(userData);
  if (browser == nullptr || !TBrowser::IsLive(browser)) return eventNotHandledErr;
  HIPoint where{};
  if (GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr, &where) ==
      noErr)
    browser->lastClick = where;
  return eventNotHandledErr;
}

}  // namespace

TMacroEditorWindow* FrontMacroEditor() { return gMacroEditor; }

TMacroEditorWindow* OpenMacroEditor(TCodeSenseLibrary* library) {
  if (gMacroEditor != nullptr && gMacroEditor->window != nullptr) {
    gMacroEditor->Show();
    SelectWindow(gMacroEditor->window);
    return gMacroEditor;
  }
  if (library == nullptr) return nullptr;
  auto* editor = new TMacroEditorWindow();
  editor->library = library;
  editor->Create(kMacroEditorWindowName, MacroEditorNib());
  if (editor->window == nullptr) {
    editor->Free();
    return nullptr;
  }
  editor->Show();
  SelectWindow(editor->window);
  return editor;
}

void TMacroEditorWindow::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  SetClassString("TMacroEditorWindow");
  if (window == nullptr) return;
  gMacroEditor = this;
  AddEventType(kEventClassWindow, kEventWindowDeactivated);
  AddEventType(kEventClassWindow, kEventWindowActivated);
  pane = MakeMacroPane(this, MacroEditorChanged, this);
  if (ControlRef list = FindInWindow(window, kMacroListSignature, kMacroCommandListID)) {
    macroBrowser = new TMacroBrowser();
    macroBrowser->editor = this;
    macroBrowser->SetOptions(kBrackenrowAllocateTree | kBrackenrowSortRows | kBrackenrowKeyboardRemove);
    macroBrowser->Create(list);
  }
  if (ControlRef list = FindInWindow(window, kMacroListSignature, kMacroVariableListID)) {
    variableBrowser = new TVariableBrowser();
    variableBrowser->editor = this;
    variableBrowser->SetOptions(kBrackenrowAllocateTree | kBrackenrowKeyboardRemove);
    variableBrowser->Create(list);
    static const EventTypeSpec kClick[] = {{kEventClassMouse, kEventMouseDown}};
    Err = InstallWindowEventHandler(window, VariableListClick, 1, kClick, variableBrowser, nullptr);
  }
  libraryName = PopupText(FindInWindow(window, kMacroLibraryPopupSignature, 128));
  if (macroBrowser != nullptr) macroBrowser->Populate();
  if (variableBrowser != nullptr) variableBrowser->Populate();
  modified = false;
}

void TMacroEditorWindow::Release() {
  if (gMacroEditor == this) gMacroEditor = nullptr;
  current = nullptr;
  ReleaseBrowser(macroBrowser);
  ReleaseBrowser(variableBrowser);
  pane = nullptr;  // ends with its view
  TWindow::Release();
}

void TMacroEditorWindow::Close(SInt32& status) {
  Save();
  TWindow::Close(status);
}

SInt32 TMacroEditorWindow::HandleEvent(EventRef event) {
  if (GetEventClass(event) != kEventClassWindow) return eventNotHandledErr;
  if (GetEventKind(event) == kEventWindowDeactivated) Save();
  if (GetEventKind(event) == kEventWindowActivated) Refresh();
  return eventNotHandledErr;
}

void TMacroEditorWindow::Refresh() {
  // Saved when the window was left: what the library holds now is newer
  // (a command editor's change, another project's library in its place).
  if (modified || macroBrowser == nullptr) return;
  const Str63 shown = current != nullptr ? current->commandName : Str63();
  current = nullptr;
  macroBrowser->Populate();
  if (variableBrowser != nullptr) variableBrowser->Populate();
  MacroDataPtr again = nullptr;
  for (MacroDataPtr macro : macroBrowser->Macros())
    if (!shown.empty() && macro->commandName == shown) again = macro;
  if (again != nullptr)
    SelectItem(macroBrowser->VIEW, ItemOfRecord(macroBrowser->VIEW, again));
  else if (pane != nullptr)
    pane->ShowMacro(nullptr);
  modified = false;
  if (window != nullptr) Err = SetWindowModified(window, false);
}

void TMacroEditorWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kHICommandNewMacro: NewMacro(); break;
    case kHICommandDuplicateMacro: DuplicateMacro(); break;
    case kHICommandNewVariable: NewVariable(); break;
    case kHICommandDeleteMacro: DeleteMacros(); break;
    case kHICommandDeleteVariable: DeleteVariables(); break;
    case kHICommandChooseLibrary: ChooseLibrary(); break;
    case kHICommandChooseAction:
    case kHICommandChooseOutput:
      if (pane != nullptr) pane->PopupChosen(command.commandID);
      break;
    case kHICommandTWindowSave:
      Save();
      break;
    default:
      TWindow::ProcessCommand(command, event, result);
      return;
  }
  result = noErr;
}

Str63 TMacroEditorWindow::ChosenLibrary() { return Str63(Lower(libraryName)); }

// The window shows it, and File > Save is there while it lasts.
void TMacroEditorWindow::SetModified() {
  modified = true;
  if (window != nullptr) Err = SetWindowModified(window, true);
}

Boolean TMacroEditorWindow::RowHasCommandName(const Str63& name, MacroDataPtr except) {
  if (macroBrowser == nullptr) return false;
  for (MacroDataPtr macro : macroBrowser->Macros())
    if (macro != except && macro->commandName == name) return true;
  return false;
}

Str63 TMacroEditorWindow::UniqueCommandName() {
  // The library's own choice, unless a row not saved yet has it; then the
  // next number that neither a row nor a loaded library uses.
  auto libraryUses = [&](const Str63& name) {
    if (library == nullptr || library->commands == nullptr) return false;
    CFStringRef key = NewString(name);
    const CFIndex count = CFDictionaryGetCount(library->commands);
    std::vector<const void*> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(library->commands, nullptr, values.data());
    bool used = false;
    for (const void* commands : values)
      used = used || (IsDictionary(commands) && CFDictionaryContainsKey(static_cast<CFDictionaryRef>(commands), key));
    CFRelease(key);
    return used;
  };
  Str63 name = library != nullptr ? Str63(library->GetUniqueCommand()) : Str63("????");
  for (SInt32 n = 1; RowHasCommandName(name, nullptr) || libraryUses(name); ++n)
    name = Str63(Str255("????_") + NStr(n));
  return name;
}

Boolean TMacroEditorWindow::LibraryLoaded() {
  if (library == nullptr || library->commands == nullptr) return false;
  CFStringRef name = NewString(ChosenLibrary());
  const Boolean loaded = name != nullptr && CFDictionaryContainsKey(library->commands, name);
  if (name != nullptr) CFRelease(name);
  return loaded;
}

Boolean TMacroEditorWindow::CanAddTo() {
  if (LibraryLoaded()) return true;
  // Rows for a library that is not there would be lost at the next save.
  UserNotificationDialog(kMacroLibraryNotOpenMessage);
  return false;
}

void TMacroEditorWindow::NewMacro() {
  if (macroBrowser == nullptr || !CanAddTo()) return;
  Update();
  MacroData macro{};
  macro.publicName = "untitled";
  macro.action = "macro";
  macro.output = "default";
  macro.commandName = UniqueCommandName();
  macro.text = CFStringCreateMutable(nullptr, 0);
  const SInt32 item = macroBrowser->AddMacro(macro);
  SetModified();
  SelectItem(macroBrowser->VIEW, item);
  if (item != 0) Err = SetDataBrowserEditItem(macroBrowser->VIEW, DataBrowserItemID(item), kMacroTitleColumn);
}

void TMacroEditorWindow::DuplicateMacro() {
  if (macroBrowser == nullptr || BrackenrowGetSelection(macroBrowser->VIEW) == nullptr || !CanAddTo()) return;
  Update();
  NodeInfoPtr selected = BrackenrowGetSelection(macroBrowser->VIEW);
  if (selected == nullptr || selected->DATA == nullptr || selected->DATATYPE != kMacroRowType) return;
  MacroData copy = CopyMacro(*static_cast<MacroDataPtr>(selected->DATA));
  // The copy gets a name of its own: two rows of one name would save as one.
  copy.commandName = UniqueCommandName();
  const SInt32 item = macroBrowser->AddMacro(copy);
  SetModified();
  SelectItem(macroBrowser->VIEW, item);
  if (item != 0) Err = SetDataBrowserEditItem(macroBrowser->VIEW, DataBrowserItemID(item), kMacroTitleColumn);
}

void TMacroEditorWindow::NewVariable() {
  if (variableBrowser == nullptr) return;
  VariableData variable{};
  variable.name = "untitled";
  variable.value = "empty";
  const SInt32 item = variableBrowser->AddVariable(variable);
  SetModified();
  SelectItem(variableBrowser->VIEW, item);
  if (item != 0) Err = SetDataBrowserEditItem(variableBrowser->VIEW, DataBrowserItemID(item), kVariableNameColumn);
}

void TMacroEditorWindow::DeleteMacros() {
  if (macroBrowser == nullptr) return;
  current = nullptr;
  if (pane != nullptr) pane->ShowMacro(nullptr);
  const std::vector<SInt32> items = SelectedItems(macroBrowser->VIEW);
  for (SInt32 item : items) BrackenrowRemoveItem(macroBrowser->VIEW, item);
  if (!items.empty()) SetModified();
}

void TMacroEditorWindow::DeleteVariables() {
  if (variableBrowser == nullptr) return;
  const std::vector<SInt32> items = SelectedItems(variableBrowser->VIEW);
  for (SInt32 item : items) BrackenrowRemoveItem(variableBrowser->VIEW, item);
  if (!items.empty()) SetModified();
}

Boolean TMacroEditorWindow::RenameMacro(MacroDataPtr macro, const Str63& name) {
  if (macro == nullptr) return false;
  if (macro->commandName == name) return true;
  if (RowHasCommandName(name, macro)) {
    UserNotificationDialog(kMacroNameTakenMessage);
    return false;
  }
  macro->commandName = name;
  return true;
}

void TMacroEditorWindow::Update() {
  if (current == nullptr || pane == nullptr) return;
  pane->UpdateMacro(current);
  // While the user types, a name another row has is only not taken yet: it
  // is refused when the edit ends (CommitCommandName).
  Str63 name;
  if (pane->TypedCommandName(name) && name != current->commandName && !RowHasCommandName(name, current))
    current->commandName = name;
  if (macroBrowser == nullptr || macroBrowser->VIEW == nullptr) return;
  const SInt32 item = ItemOfRecord(macroBrowser->VIEW, current);
  if (item != 0) {
    const DataBrowserItemID id = DataBrowserItemID(item);
    Err = UpdateDataBrowserItems(macroBrowser->VIEW, kDataBrowserNoItem, 1, &id, kDataBrowserItemNoProperty,
                                 kDataBrowserNoItem);
  }
  Err = SortDataBrowserContainer(macroBrowser->VIEW, kDataBrowserNoItem, false);
}

void TMacroEditorWindow::CommitCommandName() {
  if (current == nullptr || pane == nullptr) return;
  Update();
  Str63 name;
  // An empty name, or one a command cannot keep, goes back to the name the
  // command keeps.
  if (!pane->TypedCommandName(name)) {
    ResetCommandField();
    return;
  }
  if (name != current->commandName && !RenameMacro(current, name)) ResetCommandField();
}

void TMacroEditorWindow::ResetCommandField() {
  if (pane == nullptr || current == nullptr) return;
  pane->loading = true;
  SetFieldText(pane->commandField, current->commandName);
  pane->loading = false;
}

void TMacroEditorWindow::ShowMacro(MacroDataPtr macro) {
  if (macro == current) return;
  CommitCommandName();
  current = macro;
  if (pane != nullptr) pane->ShowMacro(macro);
}

void TMacroEditorWindow::ChooseLibrary() {
  Save();
  current = nullptr;
  if (pane != nullptr) pane->ShowMacro(nullptr);
  libraryName = PopupText(FindInWindow(window, kMacroLibraryPopupSignature, 128));
  if (macroBrowser != nullptr) {
    macroBrowser->Populate();
    Err = SetDataBrowserSelectedItems(macroBrowser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
  }
}

void TMacroEditorWindow::Save() {
  // The edit of a cell under way counts too.
  for (TBrowser* browser : {static_cast<TBrowser*>(macroBrowser), static_cast<TBrowser*>(variableBrowser)}) {
    DataBrowserItemID item = kDataBrowserNoItem;
    DataBrowserPropertyID property = 0;
    if (browser != nullptr && browser->VIEW != nullptr &&
        GetDataBrowserEditItem(browser->VIEW, &item, &property) == noErr && item != kDataBrowserNoItem)
      Err = SetDataBrowserEditItem(browser->VIEW, kDataBrowserNoItem, 0);
  }
  CommitCommandName();
  if (!modified || library == nullptr) return;
  if (library->commands != nullptr && macroBrowser != nullptr) {
    CFMutableDictionaryRef commands =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (MacroDataPtr macro : macroBrowser->Macros()) {
      CFStringRef key = NewString(macro->commandName);
      // Two rows of one name: the first row wins.
      if (key == nullptr || CFDictionaryContainsKey(commands, key)) {
        if (key != nullptr) CFRelease(key);
        continue;
      }
      CFMutableDictionaryRef entry =
          CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
      CFStringRef title = NewString(macro->publicName);
      CFStringRef action = NewString(Lower(macro->action));
      CFStringRef output = NewString(Lower(macro->output));
      CFStringRef text = macro->text != nullptr ? CFStringCreateCopy(nullptr, macro->text) : NewString(Str255());
      CFDictionarySetValue(entry, CFSTR("text"), text);
      CFDictionarySetValue(entry, CFSTR("public-name"), title);
      CFDictionarySetValue(entry, CFSTR("action"), action);
      CFDictionarySetValue(entry, CFSTR("output"), output);
      for (CFStringRef made : {title, action, output, text}) CFRelease(made);
      CFDictionarySetValue(commands, key, entry);
      CFRelease(entry);
      CFRelease(key);
    }
    CFStringRef name = NewString(ChosenLibrary());
    // Only a library that is loaded takes the rows: another has no file.
    if (name != nullptr && CFDictionaryContainsKey(library->commands, name))
      CFDictionarySetValue(library->commands, name, commands);
    if (name != nullptr) CFRelease(name);
    CFRelease(commands);
  }
  // Variables made where the library had none get a set of their own.
  if (library->variables == nullptr && variableBrowser != nullptr && !variableBrowser->Variables().empty())
    library->variables =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (library->variables != nullptr && variableBrowser != nullptr) {
    CFMutableDictionaryRef old = CFDictionaryCreateMutableCopy(nullptr, 0, library->variables);
    CFDictionaryRemoveAllValues(library->variables);
    for (const VariableData& variable : variableBrowser->Variables()) {
      CFStringRef name = NewString(variable.name);
      CFStringRef value = NewString(variable.value);
      // A value the row shows cut keeps its whole text while it is unchanged.
      CFTypeRef stored = name != nullptr ? CFDictionaryGetValue(old, name) : nullptr;
      if (stored != nullptr && CFGetTypeID(stored) == CFStringGetTypeID() &&
          Str63(PCFSTR(CFStringRef(stored))) == variable.value) {
        CFRelease(value);
        value = CFStringRef(CFRetain(stored));
      }
      if (name != nullptr && value != nullptr) CFDictionarySetValue(library->variables, name, value);
      if (name != nullptr) CFRelease(name);
      if (value != nullptr) CFRelease(value);
    }
    CFRelease(old);
  }
  library->Save();
  const OSStatus status = Err;
  modified = false;
  if (window != nullptr) Err = SetWindowModified(window, false);
  if (status != noErr) UserNotificationDialog(SaveFailedMessage());
}

// ---------------------------------------------------------------------------
// The command editor

TCommandEditor* OpenCommandEditor(const CommandData& command, TCodeSenseLibrary* library, WindowRef parent,
                                  void (*store)(const CommandData&, void*), void* context) {
  if (library == nullptr) return nullptr;
  auto* editor = new TCommandEditor();
  editor->command = command;
  editor->library = library;
  editor->store = store;
  editor->storeContext = context;
  editor->SetParent(parent);
  editor->Create(kCommandEditorWindowName, MacroEditorNib());
  if (editor->window == nullptr) {
    editor->Free();
    return nullptr;
  }
  editor->Show();
  SelectWindow(editor->window);
  return editor;
}

void TCommandEditor::Create(const Str63& name, IBNibRef inNib) {
  // A window of its own beside the parent, not a sheet: the project stays
  // in reach while a command is edited.
  WindowRef over = parent;
  parent = nullptr;
  TWindow::Create(name, inNib);
  parent = over;
  SetClassString("TCommandEditor");
  if (window == nullptr) return;
  AddEventType(kEventClassWindow, kEventWindowDeactivated);
  macro = library->GetCommandData(Str63(command.command));
  if (macro == nullptr) {
    macro = ::NewMacro(Str63(command.command));
    macro->publicName = command.title;
    macro->action = "macro";
    macro->output = "default";
  }
  pane = MakeMacroPane(this, CommandEditorChanged, this);
  if (pane != nullptr) {
    // The project command keeps the name in 31 characters.
    pane->commandLimit = 31;
    pane->ShowMacro(macro);
  }
}

void TCommandEditor::Release() {
  pane = nullptr;  // ends with its view
  ReleaseMacro(macro);
  TWindow::Release();
}

Boolean TCommandEditor::CopyBack() {
  if (pane == nullptr || macro == nullptr) return true;
  pane->UpdateMacro(macro);
  Str63 name;
  if (!pane->TypedCommandName(name)) return false;
  macro->commandName = name;
  return true;
}

void TCommandEditor::SaveCommand() {
  if (macro != nullptr && library != nullptr) library->SaveCommand(macro, kProjectLibraryName);
}

SInt32 TCommandEditor::HandleEvent(EventRef event) {
  if (GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowDeactivated && macro != nullptr &&
      window != nullptr) {
    // Kept under the name it has: the move to a new name is the close's.
    const Str63 name = macro->commandName;
    CopyBack();
    const Str63 typed = macro->commandName;
    macro->commandName = name;
    SaveCommand();
    macro->commandName = typed;
  }
  return eventNotHandledErr;
}

void TCommandEditor::Close(SInt32& status) {
  if (macro != nullptr && window != nullptr && library != nullptr) {
    const Str63 original(command.command);
    if (!CopyBack()) {
      // A name the record cannot hold: the command keeps the one it had.
      UserNotificationDialog(kProjectCommandNameTooLongMessage);
      macro->commandName = original;
    }
    library->RemoveCommand(original, kProjectLibraryName);
    SaveCommand();
    command.title = macro->publicName;
    command.command = Str31(macro->commandName);
    if (store != nullptr) store(command, storeContext);
  }
  TWindow::Close(status);
}

// ---------------------------------------------------------------------------
// The project's command items

namespace {

struct CommandItem {
  TProject* project;
  SInt32 item;
};

// The item's record takes the command, when the project and the item are
// still there.
void StoreProjectCommand(const CommandData& command, void* context) {
  auto* where = static_cast<CommandItem*>(context);
  if (where == nullptr) return;
  if (TPaneIsLive(where->project) && where->project->browserControl != nullptr) {
    ControlRef view = where->project->browserControl;
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(where->item, view);
    if (node != nullptr && node->DATATYPE == kProjectCommandType && MakeProjectRecordWhole(node)) {
      UInt8 bytes[kCommandDataSize];
      EncodeCommandData(command, bytes);
      std::memcpy(node->DATA, bytes, sizeof bytes);
      BrackenrowUpdateItem(where->item, view);
    }
  }
  delete where;
}

}  // namespace

void ProjectOpenCommandEditor(TProject* project, void* data) {
  TCodeSenseLibrary* library = AppResources != nullptr ? AppResources->CodeSense : nullptr;
  if (project == nullptr || data == nullptr || library == nullptr || project->browserControl == nullptr) return;
  SInt32 item = 0;
  if (CFArrayRef nodes = BrackenrowCopyNodes(project->browserControl)) {
    for (CFIndex i = 0; i < CFArrayGetCount(nodes) && item == 0; ++i) {
      auto* node = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(nodes, i)));
      if (node != nullptr && node->DATA == data) item = node->INDEX;
    }
    CFRelease(nodes);
  }
  NodeInfoPtr node = item != 0 ? BrackenrowGetNodeAtIndex(item, project->browserControl) : nullptr;
  if (node == nullptr || !MakeProjectRecordWhole(node)) return;
  // The project's library: loaded when its window has not, made when the
  // project has none yet, so the command has somewhere to go.
  FSRef file{};
  if (GetProjectResourceFile(project->bundle, "project.macros.plist", file) == noErr) {
    if (!library->ContainsLibrary(file)) {
      library->UnloadLibraryWithName(kProjectLibraryName);
      library->LoadLibrary(file);
    }
    if (library->commands != nullptr && !CFDictionaryContainsKey(library->commands, CFSTR(kProjectLibraryName))) {
      CFMutableDictionaryRef empty =
          CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
      CFDictionarySetValue(library->commands, CFSTR(kProjectLibraryName), empty);
      CFRelease(empty);
    }
  }
  const CommandData command = DecodeCommandData(static_cast<const UInt8*>(node->DATA), kCommandDataSize);
  auto* where = new CommandItem{project, item};
  if (OpenCommandEditor(command, library, project->GetWindow(), StoreProjectCommand, where) == nullptr) delete where;
}
