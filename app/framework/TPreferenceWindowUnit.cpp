#include "TPreferenceWindowUnit.h"

#include <algorithm>
#include <cstring>

#include "ApplicationFramework.h"
#include "CFPreferenceUtilities.h"
#include "CFString.h"
#include "CFTree.h"
#include "HIToolbar.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "THIToolbarUnit.h"
#include "TPreferencesUnit.h"

namespace {

// The pane list owns its records.
void ReleasePaneRecord(CFAllocatorRef, const void* value) { delete static_cast<const PaneRecord*>(value); }
const CFArrayCallBacks kPaneRecordCallbacks = {0, nullptr, ReleasePaneRecord, nullptr, nullptr};

PaneRecord* PaneAt(CFArrayRef panes, CFIndex index) {
  return static_cast<PaneRecord*>(const_cast<void*>(CFArrayGetValueAtIndex(panes, index)));
}

// ---------------------------------------------------------------------------
// Input tracking: one procedure for the whole run, the window as its data.

EventHandlerUPP gInputHandler = nullptr;

OSStatus HandleInputTracking(EventHandlerCallRef, EventRef event, void* userData) {
  auto* window = static_cast<TPreferenceWindow*>(userData);
  ControlRef control = nullptr;
  if (GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr, &control) !=
          noErr ||
      control == nullptr)
    return eventNotHandledErr;
  const Str255 key = CFPreferencesGetKey(control);
  if (GetEventClass(event) == kEventClassControl && GetEventKind(event) == kEventControlHit)
    window->HandleMenuPreference(key, control);
  else if (GetEventClass(event) == kEventClassTextField && GetEventKind(event) == kEventTextAccepted)
    window->HandleTextPreference(key, control);
  return eventNotHandledErr;
}

void RemoveTrackingHandler(CFAllocatorRef, const void* value) {
  RemoveEventHandler(static_cast<EventHandlerRef>(const_cast<void*>(value)));
}
const CFArrayCallBacks kTrackingHandlerCallbacks = {0, nullptr, RemoveTrackingHandler, nullptr, nullptr};

}  // namespace

// ---------------------------------------------------------------------------
// TPreferenceWindow

TPreferenceWindow::TPreferenceWindow() { SetClassString("TPreferenceWindow"); }

void TPreferenceWindow::SetToolbarIdentifier(const Str255& identifier) { ToolbarIdentifier = identifier; }

Str255 TPreferenceWindow::GetActivePane() { return ActivePane; }

void TPreferenceWindow::AddPane(UInt32 iconCreator, UInt32 iconType, UInt32 command, const Str63& label,
                                const Str63& paneName) {
  CreateToolbar(ToolbarIdentifier, 0);
  if (Panes == nullptr) Panes = CFArrayCreateMutable(nullptr, 0, &kPaneRecordCallbacks);
  auto* record = new PaneRecord();
  record->command = command;
  record->label = label;
  record->paneName = paneName;
  CFArrayAppendValue(Panes, record);
  if (toolbar != nullptr) toolbar->Append(0, iconCreator, iconType, label, command, true, true);
}

void TPreferenceWindow::Create(const Str63& name, IBNibRef inNib) {
  TWindow::Create(name, inNib);
  SetClassString("TPreferenceWindow");
  if (window == nullptr) return;
  SelectPane(0);
  Show();
}

void TPreferenceWindow::MarkSelectedItem(CFIndex index) {
  if (Panes == nullptr || index < 0 || index >= CFArrayGetCount(Panes) || window == nullptr) return;
  HIToolbarRef bar = nullptr;
  if (GetWindowToolbar(window, &bar) != noErr || bar == nullptr) return;
  CFArrayRef items = nullptr;
  if (HIToolbarCopyItems(bar, &items) != noErr || items == nullptr) return;
  const UInt32 command = PaneAt(Panes, index)->command;
  // One button shows as chosen: the pane's.
  for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
    auto item = static_cast<HIToolbarItemRef>(const_cast<void*>(CFArrayGetValueAtIndex(items, i)));
    MenuCommand own = 0;
    HIToolbarItemGetCommandID(item, &own);
    if (own == command)
      Err = HIToolbarItemChangeAttributes(item, kHIToolbarItemSelected, 0);
    else
      Err = HIToolbarItemChangeAttributes(item, 0, kHIToolbarItemSelected);
  }
  CFRelease(items);
}

void TPreferenceWindow::SelectPane(SInt16 index) {
  if (Panes == nullptr || index < 0 || index >= CFArrayGetCount(Panes)) return;
  MarkSelectedItem(index);
  LoadPane(PaneAt(Panes, index));
}

TPane* TPreferenceWindow::GetShownPane() {
  if (window == nullptr) return nullptr;
  auto* pane = static_cast<TPane*>(TWindowGetPane(window));
  return TPaneIsLive(pane) ? pane : nullptr;
}

void TPreferenceWindow::LoadPane(PaneRecord* record) {
  if (record == nullptr || window == nullptr) return;
  if (TPane* shown = GetShownPane()) {
    SetPaneValues(ActivePane, preferences);
    // Closing stores the values of its keyed controls.
    shown->Close();
    TWindowRemoveProperty(kTWindowPaneTag, window);
  }
  ActivePane = record->label;
  auto* pane = new TWindowPreferencePane();
  pane->Window = this;
  pane->SetHandler(preferences);
  pane->Create(record->paneName, nib);
  if (pane->paneView == nullptr) {
    // No such pane in the interface file: nothing to show.
    pane->Release();
    return;
  }
  SetupPane(record->paneName, pane);
  pane->Attach(window);

  // The window takes the pane's height below its own title bar and toolbar,
  // and keeps its width.
  Rect structure{}, content{}, paneBounds{};
  if (GetWindowBounds(window, kWindowStructureRgn, &structure) == noErr &&
      GetWindowBounds(window, kWindowContentRgn, &content) == noErr &&
      GetWindowBounds(pane->nibWindow, kWindowContentRgn, &paneBounds) == noErr) {
    const SInt32 frameAbove = content.top - structure.top;
    Rect bounds = structure;
    bounds.bottom = SInt16(structure.top + frameAbove + (paneBounds.bottom - paneBounds.top));
    // The resize is immediate here, whatever the effect asks.
    Err = TransitionWindow(window, kWindowSlideTransitionEffect, kWindowResizeTransitionAction, &bounds);
    HIRect frame{};
    Err = HIViewGetBounds(HIViewGetRoot(window), &frame);
    Err = HIViewSetFrame(pane->paneView, &frame);
  }
}

void TPreferenceWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  // Looked up first: the window's own commands may close it, and then
  // nothing of it may be touched.
  CFIndex index = -1;
  for (CFIndex i = 0; Panes != nullptr && i < CFArrayGetCount(Panes) && index < 0; ++i)
    if (PaneAt(Panes, i)->command == command.commandID) index = i;
  TWindow::ProcessCommand(command, event, result);
  if (index < 0) return;
  ClosePane(ActivePane);
  MarkSelectedItem(index);
  LoadPane(PaneAt(Panes, index));
}

void TPreferenceWindow::EnableViewInputTracking(ControlRef control) {
  if (control == nullptr) return;
  if (gInputHandler == nullptr) gInputHandler = NewEventHandlerUPP(HandleInputTracking);
  static const EventTypeSpec kInputEvents[] = {{kEventClassTextField, kEventTextAccepted},
                                               {kEventClassControl, kEventControlHit}};
  EventHandlerRef handler = nullptr;
  Err = InstallEventHandler(GetControlEventTarget(control), gInputHandler, 2, kInputEvents, this, &handler);
  if (handler == nullptr) return;
  if (trackingHandlers == nullptr) trackingHandlers = CFArrayCreateMutable(nullptr, 0, &kTrackingHandlerCallbacks);
  CFArrayAppendValue(trackingHandlers, handler);
}

void TPreferenceWindow::StopInputTracking() {
  // A handler whose control went before is no longer live and is skipped.
  if (trackingHandlers != nullptr) CFRelease(trackingHandlers);
  trackingHandlers = nullptr;
}

void TPreferenceWindow::Close(SInt32& status) {
  ClosePane(ActivePane);
  TWindow::Close(status);
}

void TPreferenceWindow::Closed() {
  SetPaneValues(ActivePane, preferences);
  TWindow::Closed();
}

void TPreferenceWindow::Release() {
  // The pane shown goes while this object can still hear its values.
  if (TPane* shown = GetShownPane()) {
    shown->Close();
    if (window != nullptr && IsValidWindowPtr(window)) TWindowRemoveProperty(kTWindowPaneTag, window);
  }
  StopInputTracking();
  if (Panes != nullptr) CFRelease(Panes);
  Panes = nullptr;
  // The pane has written the handler; it may be gone once the window is.
  preferences = nullptr;
  TWindow::Release();
}

// ---------------------------------------------------------------------------
// TWindowPreferencePane

TWindowPreferencePane::TWindowPreferencePane() { SetClassString("TWindowPreferencePane"); }

void TWindowPreferencePane::SetValue(ControlRef control, const ControlKind&, const Str255& key) {
  if (Window != nullptr) Window->SetValue(control, Handler, key);
}

void TWindowPreferencePane::RestoreValue(ControlRef control, const ControlKind&, const Str255& key) {
  if (Window != nullptr) Window->RestoreValue(control, key);
}

// ---------------------------------------------------------------------------
// TCFArrayBrowser

namespace {

const void* KeepAsGiven(const void* info) { return info; }

}  // namespace

TCFArrayBrowser::TCFArrayBrowser() { SetClassString("TCFArrayBrowser"); }

void TCFArrayBrowser::SetArray(CFArrayRef strings) { Strings = strings; }

void TCFArrayBrowser::Create(ControlRef control) {
  CFTreeContext context{};
  context.version = 0;
  context.info = nullptr;
  context.retain = KeepAsGiven;
  CFTreeRef tree = CFTreeCreate(nullptr, &context);
  TBrowser::Create(control);
  SetClassString("TCFArrayBrowser");
  SetTree(tree);
  // The browser holds it now.
  if (tree != nullptr) CFRelease(tree);
}

void TCFArrayBrowser::Populate() {
  TBrowser::Populate();
  if (Strings == nullptr) return;
  for (CFIndex i = 0; i < CFArrayGetCount(Strings); ++i)
    NewItem(const_cast<void*>(CFArrayGetValueAtIndex(Strings, i)), 0, kTCFArrayBrowserItemType, 0);
}

void TCFArrayBrowser::SetItemData(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID,
                                  DataBrowserItemDataRef itemData) {
  if (data != nullptr) SetDataBrowserItemDataText(itemData, static_cast<CFStringRef>(data));
}

void TCFArrayBrowser::SetItemText(void* data, DataBrowserItemID, DataBrowserPropertyID, CFStringRef text) {
  if (data == nullptr || text == nullptr) return;
  CFStringReplaceAll(static_cast<CFMutableStringRef>(data), text);
}

// ---------------------------------------------------------------------------
// TPreferenceArrayBrowser

TPreferenceArrayBrowser::TPreferenceArrayBrowser() { SetClassString("TPreferenceArrayBrowser"); }

void TPreferenceArrayBrowser::SetPreferences(TPreferenceHandler* preferences, const Str255& key) {
  Preferences = preferences;
  Key = key;
}

CFArrayRef TPreferenceArrayBrowser::CopyArray() {
  if (Preferences == nullptr) return nullptr;
  CFTypeRef value = Preferences->GetTypeValue(Key);
  if (value == nullptr) return nullptr;
  if (CFGetTypeID(value) != CFArrayGetTypeID()) {
    CFRelease(value);
    return nullptr;
  }
  return static_cast<CFArrayRef>(value);
}

void TPreferenceArrayBrowser::Populate() {
  // The rows and their records both go: a list filled again stores each
  // record once.
  Clear();
  CFArrayRef array = CopyArray();
  if (array == nullptr) return;
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    CFTypeRef item = CFArrayGetValueAtIndex(array, i);
    if (item == nullptr || CFGetTypeID(item) != CFDataGetTypeID()) continue;
    auto data = static_cast<CFDataRef>(item);
    const CFIndex length = CFDataGetLength(data);
    const CFIndex size = std::max<CFIndex>(length, MinimumRecordSize);
    Ptr block = NewPtrClear(Size(std::max<CFIndex>(size, 1)));
    if (block == nullptr) continue;
    if (length > 0) std::memcpy(block, CFDataGetBytePtr(data), size_t(length));
    ByteSwapper(block, 2);
    NewItem(block, SInt32(size), kTPreferenceArrayBrowserItemType, 0);
  }
  CFRelease(array);
}

void TPreferenceArrayBrowser::Synchronize() {
  if (Preferences == nullptr) return;
  CFTreeRef tree = TREE != nullptr ? TREE : (VIEW != nullptr ? BrackenrowGetTree(VIEW) : nullptr);
  // No list to copy: what is stored stays.
  if (tree == nullptr) return;
  CFArrayRef array = CFTreeCreateArrayCopy(tree, TPreferenceArrayBrowserByteSwapper, this);
  // No rows is an empty list, and it is stored so: otherwise the records
  // stored before would come back.
  if (array == nullptr) array = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  Preferences->SetTypeValue(Key, array);
  CFRelease(array);
}

void TPreferenceArrayBrowserByteSwapper(void* data, SInt16 direction, void* context) {
  auto* browser = static_cast<TPreferenceArrayBrowser*>(context);
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->ByteSwapper(static_cast<Ptr>(data), direction);
}
