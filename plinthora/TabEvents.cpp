// The tab view's selection, adding and removing of tabs and panes, the tab
// commands of its window, and the callbacks to the host.
#include "plinthora/TabEvents.h"

#include "plinthora/TabUtilities.h"

namespace tabs {

namespace {

// The view of a new pane: made by the host, put in the bar's superview just
// below the bar, bound to the superview's edges, hidden until selected.
ControlRef CreatePane(TabData* d, SInt16 kind, const Str63& name, void* paneContext) {
  HIViewRef container = HIViewGetSuperview(d->VIEW);
  CGRect bar{}, bounds{};
  HIViewGetFrame(d->VIEW, &bar);
  if (container) HIViewGetBounds(container, &bounds);
  CGRect frame = bounds;
  frame.origin.y = d->VISIBLE ? bar.size.height : 0;
  frame.size.height -= bar.size.height;
  if (d->CALLBACKS.CREATEPANE == nullptr) return nullptr;
  WindowRef outWindow = nullptr;
  ControlRef view =
      d->CALLBACKS.CREATEPANE(kind, name, paneContext, HIViewGetWindow(d->VIEW), outWindow, d->CONTEXT);
  if (view) {
    if (container) HIViewAddSubview(container, view);
    HIViewSetFrame(view, &frame);
    HIViewSetZOrder(view, kHIViewZOrderBelow, d->VIEW);
    HILayoutInfo layout{};
    layout.version = 0;
    layout.binding.top = HISideBinding{nullptr, kHILayoutBindTop, 0};
    layout.binding.left = HISideBinding{nullptr, kHILayoutBindLeft, 0};
    layout.binding.bottom = HISideBinding{nullptr, kHILayoutBindBottom, 0};
    layout.binding.right = HISideBinding{nullptr, kHILayoutBindRight, 0};
    HIViewSetLayoutInfo(view, &layout);
    HIViewApplyLayout(view);
    HIViewSetVisible(view, false);
  }
  if (outWindow) ReleaseWindow(outWindow);
  return view;
}

OSStatus CommandHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* d = static_cast<TabData*>(userData);
  if (!HIViewIsVisible(d->VIEW)) return eventNotHandledErr;
  HICommand command{};
  if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command) !=
      noErr)
    return eventNotHandledErr;
  switch (command.commandID) {
    case kHICommandAddTab:
      TabViewAppend(d->VIEW, kTabViewNewTab, 0, "Untitled", nullptr, 0, nullptr);
      return noErr;
    case kHICommandNextTab:
      AdvanceTabs(d, kAdvanceTabsForward);
      return noErr;
    case kHICommandPreviousTab:
      AdvanceTabs(d, kAdvanceTabsBackwards);
      return noErr;
    case kHICommandNextPane:
      AdvancePane(d, kAdvanceTabsForward);
      return noErr;
    case kHICommandPreviousPane:
      AdvancePane(d, kAdvanceTabsBackwards);
      return noErr;
    case kHICommandSelectTabPane: {
      // The tab is the one that owns the menu the choice came from, found
      // now: tabs are renumbered as others go.
      if (command.menu.menuRef == nullptr) return eventNotHandledErr;
      for (SInt16 i = 1; i <= TabCount(d); ++i) {
        TabInfo tab{};
        if (!GetTab(d, i, tab) || tab.MENU != command.menu.menuRef) continue;
        SelectPane(d, i, SInt16(command.menu.menuItemIndex));
        SelectTab(d, i);
        return noErr;
      }
      return eventNotHandledErr;
    }
  }
  return eventNotHandledErr;
}

}  // namespace

void Notify(TabData* d, SInt16 message, SInt16 tab, const TabPaneInfo& pane) {
  if (d->CALLBACKS.NOTIFY) d->CALLBACKS.NOTIFY(message, tab, pane.KIND, pane.NAME, pane.CONTEXT, d->VIEW, d->CONTEXT);
}

void UpdateActiveTabVisibility(TabData* d) {
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo tab{};
    if (!GetTab(d, i, tab)) continue;
    for (SInt16 p = 1; p <= PaneCount(tab); ++p) {
      TabPaneInfo pane{};
      if (GetPane(tab, p, pane) && pane.VIEW) HIViewSetVisible(pane.VIEW, false);
    }
  }
  TabPaneInfo shown{};
  if (d->ACTIVE > 0 && ShownPane(d, d->ACTIVE, shown) && shown.VIEW) HIViewSetVisible(shown.VIEW, true);
}

void SelectTab(TabData* d, SInt16 index) {
  if (index == d->ACTIVE || index < 1 || index > TabCount(d)) return;
  d->ACTIVE = index;
  UpdateActiveTabVisibility(d);
  TabPaneInfo pane{};
  ShownPane(d, index, pane);
  Notify(d, kEventTabSelected, index, pane);
  HIViewSetNeedsDisplay(d->VIEW, true);
}

void SelectPane(TabData* d, SInt16 index, SInt16 paneIndex) {
  TabInfo tab{};
  if (!GetTab(d, index, tab) || paneIndex < 1 || paneIndex > PaneCount(tab)) return;
  tab.ACTIVE = paneIndex;
  SetTab(d, index, tab);
  UpdateActiveTabVisibility(d);
  TabPaneInfo pane{};
  GetPane(tab, paneIndex, pane);
  Notify(d, kEventTabSelected, index, pane);
  HIViewSetNeedsDisplay(d->VIEW, true);
}

void AdvanceTabs(TabData* d, SInt16 direction) {
  const SInt16 count = TabCount(d);
  if (count == 0) return;
  SInt16 next = SInt16(d->ACTIVE + direction);
  if (next > count) next = 1;
  if (next < 1) next = count;
  SelectTab(d, next);
}

void AdvancePane(TabData* d, SInt16 direction) {
  TabInfo tab{};
  if (!GetTab(d, d->ACTIVE, tab)) return;
  const SInt16 count = PaneCount(tab);
  if (count == 0) return;
  SInt16 next = SInt16(tab.ACTIVE + direction);
  if (next > count) next = 1;
  if (next < 1) next = count;
  SelectPane(d, d->ACTIVE, next);
}

void Remove(TabData* d, SInt16 index) {
  TabInfo tab{};
  if (!GetTab(d, index, tab)) return;
  HIViewRef view = d->VIEW;
  CFRetain(view);
  for (SInt16 p = 1; p <= PaneCount(tab); ++p) {
    TabPaneInfo pane{};
    if (!GetPane(tab, p, pane)) continue;
    if (pane.ICON) ReleaseMenuIcon(pane.ICON, UInt8(pane.ICONTYPE));
    if (pane.TITLE) CFRelease(pane.TITLE);
    if (pane.VIEW) DisposeControl(pane.VIEW);
    Notify(d, kEventTabRemoved, tab.INDEX, pane);
  }
  // The host may have changed the tabs while hearing of the removal: the
  // tab is found again by its pane array.
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo now{};
    if (GetTab(d, i, now) && now.PANE == tab.PANE) {
      CFArrayRemoveValueAtIndex(d->ITEMS, i - 1);
      break;
    }
  }
  if (tab.PANE) {
    CFArrayRemoveAllValues(tab.PANE);
    CFRelease(tab.PANE);
  }
  if (tab.MENU) ReleaseMenu(tab.MENU);
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo later{};
    if (!GetTab(d, i, later)) continue;
    later.INDEX = i;
    SetTab(d, i, later);
  }
  // Whichever tab went, the last one left becomes the selected one.
  d->ACTIVE = 0;
  AdvanceTabs(d, kAdvanceTabsBackwards);
  HIViewSetNeedsDisplay(d->VIEW, true);
  CFRelease(view);
}

void InstallCommandHandler(TabData* d) {
  if (d->COMMANDHANDLER) return;
  WindowRef window = HIViewGetWindow(d->VIEW);
  if (window == nullptr) return;
  static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess}};
  Err = InstallEventHandler(GetWindowEventTarget(window), CommandHandler, 1, kTypes, d, &d->COMMANDHANDLER);
}

void RemoveCommandHandler(TabData* d) {
  if (d->COMMANDHANDLER) RemoveEventHandler(d->COMMANDHANDLER);
  d->COMMANDHANDLER = nullptr;
}

}  // namespace tabs

using namespace tabs;

// ---------------------------------------------------------------------------

void TabViewAppend(ControlRef inView, SInt16 inTab, SInt16 inKind, const Str63& inName, Ptr inIcon,
                   SInt16 inIconType, Ptr inContext) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return;
  TabInfo tab{};
  SInt16 index = 0;
  if (inTab != kTabViewNewTab) {
    index = ResolveTab(d, inTab);
    if (!GetTab(d, index, tab)) return;
  }
  if (inIcon) RetainMenuIcon(inIcon, UInt8(inIconType));
  TabPaneInfo pane{};
  pane.KIND = inKind;
  pane.NAME = inName;
  pane.ICON = inIcon;
  pane.ICONTYPE = inIconType;
  pane.CONTEXT = inContext;
  pane.VIEW = CreatePane(d, inKind, inName, inContext);
  if (inTab == kTabViewNewTab) {
    tab.PANE = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    tab.OWNER = inView;
    CreateNewMenu(0, 0, &tab.MENU);
    if (tab.MENU) SetContextualMenuFont(tab.MENU);
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&tab), sizeof tab);
    CFArrayAppendValue(d->ITEMS, data);
    CFRelease(data);
    index = TabCount(d);
    tab.INDEX = index;
  }
  CFDataRef paneData = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&pane), sizeof pane);
  CFArrayAppendValue(tab.PANE, paneData);
  CFRelease(paneData);
  tab.ACTIVE = PaneCount(tab);
  SetTab(d, index, tab);
  if (tab.MENU) {
    CFStringRef text = plinthora::CopyString(inName);
    AppendMenuItemTextWithCFString(tab.MENU, text, 0, kHICommandSelectTabPane, nullptr);
    CFRelease(text);
  }
  if (index == d->ACTIVE) {
    UpdateActiveTabVisibility(d);
    HIViewSetNeedsDisplay(d->VIEW, true);
  } else {
    SelectTab(d, index);
  }
}

void TabViewRemove(SInt16 inIndex, ControlRef inTabs) {
  if (TabData* d = DataOfView(inTabs)) Remove(d, ResolveTab(d, inIndex));
}

void TabViewRemoveByContext(Ptr inContext, ControlRef inTabs) {
  TabData* d = DataOfView(inTabs);
  if (d == nullptr) return;
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabPaneInfo pane{};
    if (ShownPane(d, i, pane) && pane.CONTEXT == inContext) {
      Remove(d, i);
      return;
    }
  }
}
