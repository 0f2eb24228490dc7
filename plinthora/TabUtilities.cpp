// The tab view's record storage and its smaller exported functions. Tabs
// and panes are fixed records kept by value in CFData objects: reading one
// copies it out, writing one replaces the array element.
#include "plinthora/TabUtilities.h"

#include "plinthora/TabEvents.h"

namespace tabs {

TabData* DataOfView(ControlRef view) { return plinthora::RecordOfView<TabData>(view, kTabViewCreatorTag, kTabViewClassID); }

SInt16 TabCount(const TabData* d) { return d && d->ITEMS ? SInt16(CFArrayGetCount(d->ITEMS)) : 0; }

namespace {

template <class T>
bool ReadRecord(CFArrayRef array, CFIndex i, T& out) {
  out = T{};
  if (array == nullptr || i < 0 || i >= CFArrayGetCount(array)) return false;
  auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(array, i));
  if (data == nullptr || CFDataGetLength(data) != CFIndex(sizeof(T))) return false;
  CFDataGetBytes(data, CFRange{0, sizeof(T)}, reinterpret_cast<UInt8*>(&out));
  return true;
}

template <class T>
void WriteRecord(CFMutableArrayRef array, CFIndex i, const T& record) {
  if (array == nullptr || i < 0 || i >= CFArrayGetCount(array)) return;
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(&record), sizeof(T));
  CFArraySetValueAtIndex(array, i, data);
  CFRelease(data);
}

}  // namespace

bool GetTab(const TabData* d, SInt16 index, TabInfo& tab) { return ReadRecord(d->ITEMS, CFIndex(index) - 1, tab); }
void SetTab(TabData* d, SInt16 index, const TabInfo& tab) { WriteRecord(d->ITEMS, CFIndex(index) - 1, tab); }
SInt16 PaneCount(const TabInfo& tab) { return tab.PANE ? SInt16(CFArrayGetCount(tab.PANE)) : 0; }
bool GetPane(const TabInfo& tab, SInt16 index, TabPaneInfo& pane) {
  return ReadRecord(tab.PANE, CFIndex(index) - 1, pane);
}
void SetPane(TabInfo& tab, SInt16 index, const TabPaneInfo& pane) { WriteRecord(tab.PANE, CFIndex(index) - 1, pane); }

SInt16 ResolveTab(const TabData* d, SInt32 tab) {
  if (tab == kTabViewActive) return d->ACTIVE;
  return tab < 0 || tab > 32767 ? SInt16(0) : SInt16(tab);
}
SInt16 ResolvePane(const TabInfo& tab, SInt32 pane) {
  if (pane == kTabViewActive) return tab.ACTIVE;
  return pane < 0 || pane > 32767 ? SInt16(0) : SInt16(pane);
}

CFStringRef CopyPaneTitle(const TabPaneInfo& pane) {
  if (pane.TITLE) return CFStringCreateCopy(nullptr, pane.TITLE);
  return plinthora::CopyString(pane.NAME);
}

bool ShownPane(const TabData* d, SInt16 index, TabPaneInfo& pane) {
  TabInfo tab{};
  return GetTab(d, index, tab) && GetPane(tab, tab.ACTIVE, pane);
}

}  // namespace tabs

using namespace tabs;

// ---------------------------------------------------------------------------

void TabViewSetCallbacks(ControlRef inView, const TabCallbacks& inCallbacks, Ptr inContext) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return;
  d->CALLBACKS = inCallbacks;
  d->CONTEXT = inContext;
}

void TabViewSelect(ControlRef inTabs, SInt16 inIndex) {
  if (TabData* d = DataOfView(inTabs)) SelectTab(d, inIndex);
}

ControlRef TabViewSwapPane(ControlRef inView, SInt16 inTab, ControlRef inPane) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return nullptr;
  const SInt16 index = ResolveTab(d, inTab);
  TabInfo tab{};
  TabPaneInfo pane{};
  if (!GetTab(d, index, tab) || !GetPane(tab, tab.ACTIVE, pane)) return nullptr;
  ControlRef old = pane.VIEW;
  CGRect frame{};
  if (old) {
    HIViewGetFrame(old, &frame);
    HIViewSetVisible(old, false);
    HIViewRemoveFromSuperview(old);
  }
  if (inPane) {
    if (HIViewRef container = HIViewGetSuperview(d->VIEW)) HIViewAddSubview(container, inPane);
    HIViewSetFrame(inPane, &frame);
    HIViewSetVisible(inPane, index == d->ACTIVE);
  }
  pane.VIEW = inPane;
  SetPane(tab, tab.ACTIVE, pane);
  return old;
}

namespace {

// Names the shown pane of a tab: NAME is the short form, TITLE (retained
// here, nullptr for none) the whole one the tab and its menu item show.
void SetShownTitle(ControlRef inView, SInt32 inTab, const Str63& inName, CFStringRef inTitle) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return;
  TabInfo tab{};
  TabPaneInfo pane{};
  if (!GetTab(d, ResolveTab(d, inTab), tab) || !GetPane(tab, tab.ACTIVE, pane)) return;
  if (inTitle) CFRetain(inTitle);
  if (pane.TITLE) CFRelease(pane.TITLE);
  pane.NAME = inName;
  pane.TITLE = inTitle;
  SetPane(tab, tab.ACTIVE, pane);
  // The pane's menu item shows the title it has now.
  if (tab.MENU && tab.ACTIVE <= CountMenuItems(tab.MENU)) {
    CFStringRef title = CopyPaneTitle(pane);
    SetMenuItemTextWithCFString(tab.MENU, MenuItemIndex(tab.ACTIVE), title);
    CFRelease(title);
  }
  HIViewSetNeedsDisplay(d->VIEW, true);
}

// The short form of a whole title: Mac Roman, '?' for a character it lacks,
// cut at 63.
Str63 ShortName(CFStringRef title) {
  UInt8 bytes[63];
  CFIndex used = 0;
  CFStringGetBytes(title, CFRangeMake(0, CFStringGetLength(title)), kCFStringEncodingMacRoman, '?', false, bytes,
                   sizeof bytes, &used);
  return Str63::FromBytes(bytes, size_t(used));
}

}  // namespace

void TabViewSetTitle(ControlRef inView, SInt32 inTab, const Str63& inTitle) {
  SetShownTitle(inView, inTab, inTitle, nullptr);
}

void TabViewSetTitleWithCFString(ControlRef inView, SInt32 inTab, CFStringRef inTitle) {
  if (inTitle == nullptr) return;
  SetShownTitle(inView, inTab, ShortName(inTitle), inTitle);
}

void TabViewSetIcon(ControlRef inView, SInt32 inTab, Ptr inIcon, SInt16 inIconType) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return;
  TabInfo tab{};
  TabPaneInfo pane{};
  if (!GetTab(d, ResolveTab(d, inTab), tab) || !GetPane(tab, tab.ACTIVE, pane)) return;
  if (pane.ICON) ReleaseMenuIcon(pane.ICON, UInt8(pane.ICONTYPE));
  // The view takes over the caller's reference.
  pane.ICON = inIcon;
  pane.ICONTYPE = inIconType;
  SetPane(tab, tab.ACTIVE, pane);
  HIViewSetNeedsDisplay(d->VIEW, true);
}

void TabViewSetVisible(ControlRef inView, Boolean inVisible) {
  TabData* d = DataOfView(inView);
  if (d == nullptr) return;
  // Only a change acts: hiding twice must not grow the superview twice.
  if (bool(d->VISIBLE) == bool(inVisible)) return;
  d->VISIBLE = inVisible;
  HIViewSetVisible(d->VIEW, inVisible);
  if (!inVisible) {
    HIViewRef container = HIViewGetSuperview(d->VIEW);
    if (container == nullptr) return;
    CGRect bar{}, frame{};
    HIViewGetFrame(d->VIEW, &bar);
    HIViewGetFrame(container, &frame);
    frame.size.height += bar.size.height;
    HIViewSetFrame(container, &frame);
  }
}

void TabViewAutoReleaseContext(ControlRef inTabs, Boolean inAutoRelease) {
  if (TabData* d = DataOfView(inTabs)) d->AUTORELEASE = inAutoRelease;
}

SInt16 TabViewGetCount(ControlRef inTabs) { return TabCount(DataOfView(inTabs)); }

SInt16 TabViewGetActive(ControlRef inTabs) {
  TabData* d = DataOfView(inTabs);
  return d ? d->ACTIVE : 0;
}

Ptr TabViewGetContext(ControlRef inTabs, SInt32 inTab, SInt32 inPane, SInt16& outKind) {
  outKind = 0;
  TabData* d = DataOfView(inTabs);
  if (d == nullptr) return nullptr;
  const SInt16 index = ResolveTab(d, inTab);
  TabInfo tab{};
  TabPaneInfo pane{};
  if (index <= 0 || !GetTab(d, index, tab) || !GetPane(tab, ResolvePane(tab, inPane), pane)) return nullptr;
  outKind = pane.KIND;
  return static_cast<Ptr>(pane.CONTEXT);
}

Ptr TabViewGetContextAtIndex(CFArrayRef inPaneArray, SInt32 inPane, SInt16& outKind) {
  outKind = 0;
  TabInfo holder{};
  holder.PANE = const_cast<CFMutableArrayRef>(inPaneArray);
  TabPaneInfo pane{};
  if (inPane < 1 || inPane > 32767 || !GetPane(holder, SInt16(inPane), pane)) return nullptr;
  outKind = pane.KIND;
  return static_cast<Ptr>(pane.CONTEXT);
}

ControlRef TabViewGetPane(ControlRef inTabs, SInt32 inTab, SInt32 inPane) {
  TabData* d = DataOfView(inTabs);
  if (d == nullptr) return nullptr;
  TabInfo tab{};
  TabPaneInfo pane{};
  if (!GetTab(d, ResolveTab(d, inTab), tab) || !GetPane(tab, ResolvePane(tab, inPane), pane)) return nullptr;
  return pane.VIEW;
}

CFArrayRef TabViewGetTabArray(ControlRef inTabs) {
  TabData* d = DataOfView(inTabs);
  return d ? d->ITEMS : nullptr;
}

CFArrayRef TabViewGetPanes(ControlRef inTabs, SInt32 inTab) {
  TabData* d = DataOfView(inTabs);
  if (d == nullptr || TabCount(d) == 0) return nullptr;
  if (inTab == kTabViewAll) {
    CFMutableArrayRef all = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (SInt16 i = 1; i <= TabCount(d); ++i) {
      TabInfo tab{};
      if (!GetTab(d, i, tab) || tab.PANE == nullptr) continue;
      CFArrayAppendArray(all, tab.PANE, CFRange{0, CFArrayGetCount(tab.PANE)});
    }
    return all;
  }
  TabInfo tab{};
  if (!GetTab(d, ResolveTab(d, inTab), tab) || tab.PANE == nullptr) return nullptr;
  CFRetain(tab.PANE);
  return tab.PANE;
}

void TabViewForEachPane(ControlRef inTabs, SInt16 inFilterKind, TabViewIteratePaneCallback inCallback, Ptr inContext) {
  TabData* d = DataOfView(inTabs);
  if (d == nullptr || inCallback == nullptr) return;
  for (SInt16 i = 1; i <= TabCount(d); ++i) {
    TabInfo tab{};
    if (!GetTab(d, i, tab)) continue;
    for (SInt16 p = 1; p <= PaneCount(tab); ++p) {
      TabPaneInfo pane{};
      if (!GetPane(tab, p, pane)) continue;
      if (inFilterKind == kTabViewNoKind || pane.KIND == inFilterKind)
        inCallback(pane.KIND, pane.NAME, pane.CONTEXT, inContext);
    }
  }
}
