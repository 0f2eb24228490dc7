// Internal to the controls library: the tab view's record storage.
#pragma once

#include "plinthora/TabTypes.h"

namespace tabs {

TabData* DataOfView(ControlRef view);
SInt16 TabCount(const TabData* d);
// Tab (1-based) of the view, read out of its CFData; false past the ends.
bool GetTab(const TabData* d, SInt16 index, TabInfo& tab);
void SetTab(TabData* d, SInt16 index, const TabInfo& tab);
SInt16 PaneCount(const TabInfo& tab);
// Pane (1-based) of the tab; false past the ends.
bool GetPane(const TabInfo& tab, SInt16 index, TabPaneInfo& pane);
void SetPane(TabInfo& tab, SInt16 index, const TabPaneInfo& pane);
// The tab index with 0 standing for the selected tab, and the pane index
// with 0 standing for the tab's shown pane.
SInt16 ResolveTab(const TabData* d, SInt32 tab);
SInt16 ResolvePane(const TabInfo& tab, SInt32 pane);
// The shown pane of the tab; false when the tab has none.
// What the pane's tab and menu item show; the caller releases it.
CFStringRef CopyPaneTitle(const TabPaneInfo& pane);
bool ShownPane(const TabData* d, SInt16 index, TabPaneInfo& pane);

}  // namespace tabs
