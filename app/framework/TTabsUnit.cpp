#include "TTabsUnit.h"

#include <unordered_set>

#include "PascalCarbonCommon.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

std::unordered_set<const void*>& LivePanes() {
  static auto* panes = new std::unordered_set<const void*>;
  return *panes;
}

TTabPane* LivePane(void* context) {
  return context != nullptr && LivePanes().count(context) ? static_cast<TTabPane*>(context) : nullptr;
}

ControlRef HandleCreateTab(SInt16, const Str63&, void* paneContext, WindowRef window, WindowRef&, void*) {
  TTabPane* pane = LivePane(paneContext);
  if (pane == nullptr) return nullptr;
  pane->PrepareDestination(window);
  pane->Create(pane->Resource, pane->NibRef);
  if (pane->AutoLoad) pane->Load();
  return pane->paneView;
}

void HandleTabEvent(SInt16 message, SInt16 tab, SInt16, const Str63&, void* paneContext, ControlRef, void* context) {
  auto* tabs = static_cast<TTabs*>(context);
  TTabPane* pane = LivePane(paneContext);
  if (pane != nullptr) {
    const SInt16 previous = pane->TabIndex;
    pane->TabIndex = tab;
    if (previous == 0) pane->SetAppearance(pane->Title, pane->Icon, pane->IconType);
  }
  switch (message) {
    case kEventTabClosed:
      if (pane != nullptr) pane->Close();
      break;
    case kEventTabSelected:
      if (pane != nullptr && tabs != nullptr) tabs->Select(pane);
      break;
    case kEventTabRemoved:
      if (tabs != nullptr) tabs->Remove(pane);
      break;
  }
}

Boolean HandleAcceptDrag(Ptr data, UInt32 type, DragRef drag, void* paneContext, void* context) {
  auto* tabs = static_cast<TTabs*>(context);
  return tabs != nullptr && tabs->AcceptDrag(LivePane(paneContext), data, type, drag);
}

Boolean HandleReceiveDrag(Ptr data, UInt32 type, DragRef drag, void* paneContext, void* context) {
  auto* tabs = static_cast<TTabs*>(context);
  return tabs != nullptr && tabs->ReceiveDrag(LivePane(paneContext), data, type, drag);
}

OSStatus TabViewDisposed(EventHandlerCallRef, EventRef, void* data) {
  static_cast<TTabs*>(data)->Release();
  return eventNotHandledErr;
}

}  // namespace

Boolean TTabPaneIsLive(const void* pane) { return pane != nullptr && LivePanes().count(pane) != 0; }

// ---------------------------------------------------------------------------
// TTabs

void TTabs::Create(ControlRef view) {
  TabView = view;
  SetViewObject(reinterpret_cast<HIObjectRef>(view));
  SetClassString("TTabs");
  InstallCommandHandler(HIViewGetWindow(view));
  static const TabCallbacks kCallbacks = {HandleCreateTab, HandleTabEvent, HandleAcceptDrag, HandleReceiveDrag};
  TabViewSetCallbacks(view, kCallbacks, reinterpret_cast<Ptr>(this));
  TabViewAutoReleaseContext(view, false);  // the panes are the framework's
  static const EventTypeSpec kDispose = {kEventClassControl, kEventControlDispose};
  Err = InstallEventHandler(GetControlEventTarget(view), TabViewDisposed, 1, &kDispose, this, &disposeHandler);
}

void TTabs::Append(TTabPane* pane) {
  if (pane == nullptr || TabView == nullptr) return;
  pane->tabs = this;
  TabViewAppend(TabView, kTabViewNewTab, pane->Kind, pane->Title, static_cast<Ptr>(pane->Icon), pane->IconType,
                reinterpret_cast<Ptr>(pane));
  // The new tab is the last; it shows the whole title when there is one.
  if (!pane->FullTitle.empty()) pane->ShowTitle(TabViewGetCount(TabView));
}

void TTabs::Select(TTabPane* pane) {
  if (TWindow* window = GetWindowObject(HIViewGetWindow(TabView))) window->UpdateToolbarStatus();
  if (pane != nullptr) pane->SelectViewObject();
}

TTabPane* TTabs::GetActive() {
  if (TabView == nullptr) return nullptr;
  SInt16 kind = 0;
  return LivePane(TabViewGetContext(TabView, kTabViewActive, kTabViewActive, kind));
}

void TTabs::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TView::ProcessCommand(command, event, result);
  if (TTabPane* pane = GetActive()) pane->ProcessCommand(command, event, result);
}

void TTabs::Release() {
  if (TabView != nullptr) {
    static const TabCallbacks kNone = {nullptr, nullptr, nullptr, nullptr};
    TabViewSetCallbacks(TabView, kNone, nullptr);
  }
  for (const void* each : LivePanes()) {
    auto* pane = static_cast<TTabPane*>(const_cast<void*>(each));
    if (pane->tabs == this) pane->tabs = nullptr;
  }
  if (disposeHandler != nullptr) RemoveEventHandler(disposeHandler);
  disposeHandler = nullptr;
  TabView = nullptr;
  TView::Release();
  Free();
}

// ---------------------------------------------------------------------------
// TTabPane

TTabPane::TTabPane() { LivePanes().insert(this); }

void TTabPane::Retire() { LivePanes().erase(this); }

void TTabPane::Release() {
  Retire();
  TPane::Release();
}

SInt16 TTabPane::CurrentTabIndex() {
  if (tabs == nullptr || tabs->TabView == nullptr) return 0;
  const SInt16 count = TabViewGetCount(tabs->TabView);
  for (SInt16 i = 1; i <= count; ++i) {
    SInt16 kind = 0;
    if (TabViewGetContext(tabs->TabView, i, kTabViewActive, kind) == reinterpret_cast<Ptr>(this)) return i;
  }
  return 0;
}

void TTabPane::SetResource(const Str63& name, IBNibRef nib) {
  Resource = name;
  NibRef = nib;
  AutoLoad = true;
}

void TTabPane::SetAutoLoad(Boolean autoLoad) { AutoLoad = autoLoad; }

void TTabPane::SetAppearance(const Str63& title, void* icon, SInt16 iconType) {
  if (!title.empty() && title != Title) {
    Title = title;
    FullTitle.clear();
  }
  Kind = 1;
  Icon = icon;
  IconType = iconType;
  if (TabIndex <= 0) return;
  const SInt16 index = CurrentTabIndex();
  if (index <= 0) return;
  TabIndex = index;
  ShowTitle(index);
  // The tab view takes a reference of its own to the icon.
  if (Icon != nullptr) RetainMenuIcon(Icon, UInt8(IconType));
  TabViewSetIcon(tabs->TabView, index, static_cast<Ptr>(Icon), IconType);
}

void TTabPane::SetFileAppearance(const FSRef& file) {
  Title = FSGetDisplayName(file);
  FullTitle = FSValidFSRef(file) ? FSGetFullName(file) : std::string();
  SetAppearance(Title, nullptr, 0);
}

void TTabPane::ShowTitle(SInt16 index) {
  if (tabs == nullptr || index <= 0) return;
  CFStringRef full = nullptr;
  if (!FullTitle.empty())
    full = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(FullTitle.data()), CFIndex(FullTitle.size()),
                                   kCFStringEncodingUTF8, false);
  if (full != nullptr) {
    TabViewSetTitleWithCFString(tabs->TabView, index, full);
    CFRelease(full);
  } else if (!Title.empty()) {
    TabViewSetTitle(tabs->TabView, index, Title);
  }
}

void TTabPane::Select() { SelectViewObject(); }

void TTabPane::SelectViewObject() {
  TView::SelectViewObject();
  if (tabs == nullptr) return;
  const SInt16 index = CurrentTabIndex();
  if (index > 0) {
    TabIndex = index;
    TabViewSelect(tabs->TabView, index);
  }
}

void TTabPane::SwapPane(TPane* pane) {
  const SInt16 index = CurrentTabIndex();
  if (index > 0 && pane != nullptr) TabViewSwapPane(tabs->TabView, index, pane->paneView);
}

void TTabPane::Close() {
  if (tabs != nullptr && CurrentTabIndex() > 0) {
    // The removal disposes the pane's view, which ends the pane.
    TabViewRemoveByContext(reinterpret_cast<Ptr>(this), tabs->TabView);
    return;
  }
  TPane::Close();
}

void TTabPane::ReleaseViewObject() {
  if (tabs != nullptr && CurrentTabIndex() > 0) {
    TabViewRemoveByContext(reinterpret_cast<Ptr>(this), tabs->TabView);
    return;
  }
  // Not in a tab: the view goes as any pane's does.
  TPane::ReleaseViewObject();
}
