#include "TCodeCompletionUnit.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "CFBundle.h"
#include "HITheme.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"

namespace {

enum : UInt32 { kReturnKey = 36, kEscapeKey = 53, kDownArrowKey = 125, kUpArrowKey = 126 };
constexpr WEPutOptions kCompletionPutOptions = wePutAddToTypingSequence;  // option 2
const Str255 kContextEmpty("empty");
const Str255 kContextAny("any");

// The list object of a control: the data browser's callbacks name only the control.
std::unordered_map<ControlRef, TCodeCompletionBrowser*>& Browsers() {
  static auto* map = new std::unordered_map<ControlRef, TCodeCompletionBrowser*>;
  return *map;
}

TCodeCompletionBrowser* BrowserOf(ControlRef control) {
  auto it = Browsers().find(control);
  return it == Browsers().end() ? nullptr : it->second;
}

OSStatus ItemDataCallback(ControlRef control, DataBrowserItemID item, DataBrowserPropertyID property,
                          DataBrowserItemDataRef itemData, Boolean setValue) {
  TCodeCompletionBrowser* browser = BrowserOf(control);
  if (browser == nullptr || setValue) return errDataBrowserPropertyNotSupported;
  return browser->DrawItem(item, property, itemData);
}

Boolean CompareCallback(ControlRef control, DataBrowserItemID one, DataBrowserItemID two, DataBrowserPropertyID) {
  TCodeCompletionBrowser* browser = BrowserOf(control);
  return browser != nullptr && browser->CompareItem(one, two);
}

void NotificationCallback(ControlRef control, DataBrowserItemID item, DataBrowserItemNotification message) {
  if (TCodeCompletionBrowser* browser = BrowserOf(control)) browser->ItemNotification(item, message);
}

// The first characters of text equal the prefix, and text is more than it.
bool ExtendsPrefix(std::string_view text, std::string_view prefix) {
  return text.size() > prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// A new string of the Mac Roman bytes; the caller releases it.
CFStringRef NewString(std::string_view text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingMacRoman, false);
}

bool IsWordStart(UInt8 c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Symbols of the index that begin with the query; the sigil ("$") of a
// variable is not part of what is offered.
SInt16 SymbolApplier(SymbolInfoPtr symbol, const FileDescriptor&, const Str255& query, CFTreeRef, void* context) {
  auto* browser = static_cast<TCodeCompletionBrowser*>(context);
  if (symbol == nullptr || symbol->symbolName.empty()) return 2;
  std::string_view name = symbol->symbolName.view();
  if (!IsWordStart(UInt8(name[0]))) name.remove_prefix(1);
  if (!ExtendsPrefix(name, query.view())) return 2;
  if (symbol->symbolName.len() > browser->longest.len()) browser->longest = Str255(symbol->symbolName.view());
  ++browser->count;
  browser->AppendItem(Str63(name), kCodeCompletionSymbolKind);
  return 1;
}

void KeywordApplier(const void* value, void* context) {
  auto* browser = static_cast<TCodeCompletionBrowser*>(context);
  const Str63 keyword = Str63(CFStringToPascal(static_cast<CFStringRef>(value)).view());
  if (!ExtendsPrefix(keyword.view(), browser->prefix.view())) return;
  if (keyword.len() > browser->longest.len()) browser->longest = Str255(keyword.view());
  browser->WriteLn(keyword);
  ++browser->count;
}

}  // namespace

// ---------------------------------------------------------------------------
// The list

TCodeCompletionBrowser::~TCodeCompletionBrowser() {
  if (control != nullptr) Browsers().erase(control);
}

void TCodeCompletionBrowser::Create(ControlRef inControl) {
  control = inControl;
  if (control == nullptr) return;
  Browsers()[control] = this;
  DataBrowserCallbacks callbacks{};
  InitDataBrowserCallbacks(&callbacks);
  callbacks.u.v1.itemDataCallback = NewDataBrowserItemDataUPP(ItemDataCallback);
  callbacks.u.v1.itemCompareCallback = NewDataBrowserItemCompareUPP(CompareCallback);
  callbacks.u.v1.itemNotificationCallback = NewDataBrowserItemNotificationUPP(NotificationCallback);
  Err = SetDataBrowserCallbacks(control, &callbacks);
  // An interface file may leave the column out: the list needs one.
  DataBrowserTableViewColumnIndex position = 0;
  if (GetDataBrowserTableViewColumnPosition(control, kCodeCompletionColumn, &position) != noErr) {
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc.propertyID = kCodeCompletionColumn;
    column.propertyDesc.propertyType = kDataBrowserTextType;
    column.headerBtnDesc.version = kDataBrowserListViewLatestHeaderDesc;
    column.headerBtnDesc.maximumWidth = 0xFFFF;
    Err = AddDataBrowserListViewColumn(control, &column, kDataBrowserListViewAppendColumn);
  }
  Err = SetDataBrowserHasScrollBars(control, false, true);
  Err = SetDataBrowserSortProperty(control, kCodeCompletionColumn);
  Err = SetDataBrowserSortOrder(control, kDataBrowserOrderIncreasing);
  Err = SetDataBrowserSelectionFlags(control, kDataBrowserSelectOnlyOne);
  Err = SetDataBrowserTableViewRowHeight(control, kCodeCompletionRowHeight);
  Err = SetDataBrowserMetric(control, kDataBrowserMetricCellContentInset, false, 1.0);
  Err = SetDataBrowserMetric(control, kDataBrowserMetricDisclosureTriangleAndContentGap, false, 1.0);
  Err = SetDataBrowserMetric(control, kDataBrowserMetricDisclosureColumnEdgeInset, false, 1.0);
  Err = SetDataBrowserMetric(control, kDataBrowserMetricIconAndTextGap, false, 6.0);
}

void TCodeCompletionBrowser::ItemNotification(DataBrowserItemID item, DataBrowserItemNotification message) {
  if (message != kDataBrowserItemDoubleClicked || owner == nullptr) return;
  UInt32 rowCount = CountRows();
  for (UInt32 row = 0; row < rowCount; ++row) {
    DataBrowserItemID id = 0;
    if (GetDataBrowserTableViewItemID(control, row, &id) == noErr && id == item) {
      owner->Hide();
      owner->InsertRow(SInt32(row));
      return;
    }
  }
}

OSStatus TCodeCompletionBrowser::DrawItem(DataBrowserItemID item, DataBrowserPropertyID property,
                                          DataBrowserItemDataRef itemData) {
  auto it = entries_.find(item);
  if (it == entries_.end()) return errDataBrowserItemNotFound;
  if (property != kCodeCompletionColumn) return errDataBrowserPropertyNotSupported;
  CFStringRef text = NewString(it->second.text.view());
  OSStatus status = SetDataBrowserItemDataText(itemData, text);
  CFRelease(text);
  return status;
}

Boolean TCodeCompletionBrowser::CompareItem(DataBrowserItemID itemOne, DataBrowserItemID itemTwo) {
  const Str255 a(GetItemText(itemOne).view()), b(GetItemText(itemTwo).view());
  if (CompareStringAlphaOrder(a, b)) return true;
  if (CompareStringAlphaOrder(b, a)) return false;
  // Equal but for case, or one begins the other: the shorter first, then by
  // the characters, so the order never depends on the order of arrival.
  if (a.len() != b.len()) return a.len() < b.len();
  return a.view() < b.view();
}

void TCodeCompletionBrowser::Clear() {
  if (control != nullptr)
    Err = RemoveDataBrowserItems(control, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty);
  entries_.clear();
}

void TCodeCompletionBrowser::AppendItem(const Str63& text, UInt32 kind) {
  const DataBrowserItemID item = nextItem_++;
  entries_[item] = Entry{text, kind};
  if (control != nullptr) Err = AddDataBrowserItems(control, kDataBrowserNoItem, 1, &item, kCodeCompletionColumn);
}

void TCodeCompletionBrowser::WriteLn(const Str63& text) { AppendItem(text, kCodeCompletionKeywordKind); }

UInt32 TCodeCompletionBrowser::CountRows() {
  UInt32 rows = 0;
  if (control != nullptr) GetDataBrowserItemCount(control, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &rows);
  return rows;
}

void TCodeCompletionBrowser::SelectRow(UInt32 row) {
  DataBrowserItemID item = 0;
  if (control == nullptr || GetDataBrowserTableViewItemID(control, row, &item) != noErr) return;
  Err = SetDataBrowserSelectedItems(control, 1, &item, kDataBrowserItemsAssign);
  Err = RevealDataBrowserItem(control, item, kCodeCompletionColumn, kDataBrowserRevealOnly);
}

SInt32 TCodeCompletionBrowser::GetSelectedRow() {
  const UInt32 rows = CountRows();
  for (UInt32 row = 0; row < rows; ++row) {
    DataBrowserItemID item = 0;
    if (GetDataBrowserTableViewItemID(control, row, &item) == noErr && IsDataBrowserItemSelected(control, item))
      return SInt32(row);
  }
  return -1;
}

Str63 TCodeCompletionBrowser::GetRowText(UInt32 row) {
  DataBrowserItemID item = 0;
  if (control == nullptr || GetDataBrowserTableViewItemID(control, row, &item) != noErr) return Str63();
  return GetItemText(item);
}

Str63 TCodeCompletionBrowser::GetItemText(DataBrowserItemID item) {
  auto it = entries_.find(item);
  return it == entries_.end() ? Str63() : it->second.text;
}

// ---------------------------------------------------------------------------
// The window

void TCodeCompletionWindow::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  if (window == nullptr) {
    // The editor's interface file has no list of its own: the program's,
    // read once and kept for every editor.
    static IBNibRef own = nullptr;
    if (own == nullptr && CreateNibReference(CFStringMakeConstantUTF8(kCodeCompletionNibName), &own) != noErr)
      own = nullptr;
    if (own != nullptr) TWindow::Create(name, own);
  }
  SetClassString("TCodeCompletionWindow");
  if (window == nullptr) return;
  static const EventTypeSpec kEvents[] = {{kEventClassWindow, kEventWindowGetClickModality},
                                          {kEventClassKeyboard, kEventRawKeyDown},
                                          {kEventClassKeyboard, kEventRawKeyRepeat}};
  eventProc = NewEventHandlerUPP(HandleControllerEvents);
  Err = InstallEventHandler(GetApplicationEventTarget(), eventProc, 3, kEvents, this, &handler);
  browser = new TCodeCompletionBrowser();
  browser->owner = this;
  browser->Create(HIViewFind(kCodeCompletionBrowserID, kCodeCompletionBrowserSignature, window));
  Err = SetWindowAlpha(window, 0.89);
  Err = ChangeWindowAttributes(window, kWindowNoTitleBarAttribute, 0);  // bit 512
  Err = SetWindowActivationScope(window, kWindowActivationScopeNone);
  // The list never holds the user up: a click in any other window hides it,
  // which is all a modal state would give here.
  Err = SetWindowModality(window, kWindowModalityNone, nullptr);
}

void TCodeCompletionWindow::Release() {
  // The handler and the list go while the object is whole: TWindow.Release frees it.
  if (handler != nullptr) RemoveEventHandler(handler);
  handler = nullptr;
  if (eventProc != nullptr) DisposeEventHandlerUPP(eventProc);
  eventProc = nullptr;
  delete browser;
  browser = nullptr;
  TWindow::Release();
}

SInt16 TCodeCompletionWindow::ListHeight() {
  const UInt32 rows = browser != nullptr ? browser->CountRows() : 0;
  return SInt16(std::min<UInt32>(UInt32(kCodeCompletionRowHeight) * rows, kCodeCompletionMaxHeight));
}

SInt16 TCodeCompletionWindow::ListWidth() {
  Point size{0, 0};
  SInt16 baseline = 0;
  CFStringRef text = NewString(browser != nullptr ? browser->longest.view() : std::string_view());
  GetThemeTextDimensions(text, kThemeViewsFont, kThemeStateActive, false, &size, &baseline);
  CFRelease(text);
  return SInt16(size.h + 24);
}

void TCodeCompletionWindow::Show() {
  if (window == nullptr || browser == nullptr) return;
  LongPt point{};
  SInt16 lineHeight = 0;
  if (controller != nullptr) WEGetPoint(SInt32(wordRange.location), 1, &point, &lineHeight, controller);
  HIPoint where{CGFloat(point.h), CGFloat(point.v)};
  // The text's points are those of its window's root view.
  if (WindowRef active = ActiveNonFloatingWindow())
    HIPointConvert(&where, kHICoordSpaceView, HIViewGetRoot(active), kHICoordSpaceScreenPixel, nullptr);
  Rect bounds{};
  bounds.left = SInt16(where.x);
  bounds.top = SInt16(where.y + lineHeight);
  bounds.right = SInt16(bounds.left + ListWidth());
  bounds.bottom = SInt16(bounds.top + ListHeight());
  // Near the screen's edges the list stays on the screen and off the word:
  // above the line when there is no room below it, moved left at the right.
  Rect screen{};
  if (GetAvailableWindowPositioningBounds(nullptr, &screen) == noErr && screen.bottom > screen.top) {
    const SInt16 height = SInt16(bounds.bottom - bounds.top), width = SInt16(bounds.right - bounds.left);
    if (bounds.bottom > screen.bottom && SInt16(where.y) - height >= screen.top) {
      bounds.bottom = SInt16(where.y);
      bounds.top = SInt16(bounds.bottom - height);
    }
    if (bounds.right > screen.right) {
      bounds.left = SInt16(std::max<int>(screen.left, screen.right - width));
      bounds.right = SInt16(bounds.left + width);
    }
  }
  Err = SetWindowBounds(window, kWindowStructureRgn, &bounds);
  browser->SelectRow(0);
  ShowWindow(window);
  Err = ActivateWindow(window, true);
}

void TCodeCompletionWindow::Hide() {
  if (window != nullptr) HideWindow(window);
}

OSStatus TCodeCompletionWindow::InsertRow(SInt32 row) {
  if (browser == nullptr || controller == nullptr || row < 0) return paramErr;
  const Str63 text = browser->GetRowText(UInt32(row));
  const std::string_view bytes = text.view();
  return WEPut(SInt32(wordRange.location), SInt32(wordRange.length), bytes.data(), bytes.size(), kTextEncodingMacRoman,
               kCompletionPutOptions, 0, nullptr, nullptr, controller);
}

SInt32 TCodeCompletionWindow::HandleKeys(UInt32 keyCode) {
  if (window == nullptr || browser == nullptr || !IsWindowVisible(window)) return eventNotHandledErr;
  const SInt32 row = browser->GetSelectedRow();
  switch (keyCode) {
    case kReturnKey:
      Hide();
      return InsertRow(row);
    case kDownArrowKey:
      if (row + 1 < SInt32(browser->CountRows())) browser->SelectRow(UInt32(row + 1));
      return noErr;
    case kUpArrowKey:
      if (row > 0) browser->SelectRow(UInt32(row - 1));
      return noErr;
    case kEscapeKey:
      // The way out without a choice, the word left as typed.
      Hide();
      return noErr;
  }
  return eventNotHandledErr;
}

void TCodeCompletionWindow::FindCompletion(const Str255& query) {
  if (browser == nullptr) return;
  browser->Clear();
  browser->longest = Str255();
  browser->prefix = Str63(query.view());
  browser->count = 0;
  // A word that did not convert would match everything.
  if (browser->prefix.empty()) {
    Hide();
    return;
  }
  // Symbols are offered in every context: the base context of code is named
  // "empty" too, and it is where the project's names are wanted most.
  if (fileSystem != nullptr)
    fileSystem->SearchSymbolTable(SymbolApplier, nullptr, Str255(browser->prefix.view()), browser);
  if (language != nullptr && language->keywords != nullptr) {
    const CFIndex n = CFArrayGetCount(language->keywords);
    for (CFIndex i = 0; i < n; ++i) {
      auto* definition =
          static_cast<SyntaxKeywordDataPtr>(const_cast<void*>(CFArrayGetValueAtIndex(language->keywords, i)));
      if (definition == nullptr || !definition->autoComplete || definition->keywords == nullptr) continue;
      const Str255& wanted = definition->autoCompleteContext;
      if (!(wanted == contextName) && !(wanted == kContextAny)) continue;
      CFSetApplyFunction(definition->keywords, KeywordApplier, browser);
    }
  }
  if (browser->count > 0) Show();
  else Hide();
}

OSStatus HandleControllerEvents(EventHandlerCallRef, EventRef event, void* context) {
  auto* self = static_cast<TCodeCompletionWindow*>(context);
  if (self == nullptr || self->window == nullptr || !IsWindowVisible(self->window)) return eventNotHandledErr;
  if (GetEventClass(event) == kEventClassWindow) {
    WindowRef clicked = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof clicked, nullptr, &clicked);
    if (clicked != self->window) self->Hide();
    return eventNotHandledErr;
  }
  UInt32 keyCode = 0;
  if (GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode) != noErr)
    return eventNotHandledErr;
  return self->HandleKeys(keyCode);
}
