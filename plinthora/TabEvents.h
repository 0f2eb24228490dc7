// Internal to the controls library: selection, adding, removing, commands
// and callbacks of the tab view.
#pragma once

#include "plinthora/TabTypes.h"

namespace tabs {

void Notify(TabData* d, SInt16 message, SInt16 tab, const TabPaneInfo& pane);
void SelectTab(TabData* d, SInt16 index);
void UpdateActiveTabVisibility(TabData* d);
void SelectPane(TabData* d, SInt16 tab, SInt16 pane);
void AdvanceTabs(TabData* d, SInt16 direction);
void AdvancePane(TabData* d, SInt16 direction);
void Remove(TabData* d, SInt16 index);
// The tab commands on the view's window: installed once per view, removed
// when the view goes.
void InstallCommandHandler(TabData* d);
void RemoveCommandHandler(TabData* d);

}  // namespace tabs
