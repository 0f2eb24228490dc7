#include "TSidePaneUnit.h"

#include "ApplicationFramework.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"
#include "TSplitViewUnit.h"
#include "TSymbolPaneUnit.h"
#include "plinthora/Plinthora.h"

namespace {

// The split's position is kept per window under this key.
const Str63 kSideSplitViewKey = "SideSplitView";

}  // namespace

void ShowPaneInContainer(TPane* pane, HIViewRef container) {
  if (pane == nullptr || pane->paneView == nullptr || container == nullptr) return;
  for (CFIndex i = 1; i <= CFIndex(HIViewCountSubviews(container)); ++i) {
    HIViewRef shown = nullptr;
    if (HIViewGetIndexedSubview(container, i, &shown) == noErr && shown != nullptr && shown != pane->paneView)
      Err = HIViewSetVisible(shown, false);
  }
  if (HIViewGetSuperview(pane->paneView) != container) Err = HIViewAddSubview(container, pane->paneView);
  HIRect bounds{};
  Err = HIViewGetBounds(container, &bounds);
  Err = HIViewSetFrame(pane->paneView, &bounds);
  Err = HIViewSetVisible(pane->paneView, true);
}

HIViewRef TSidePane::FindPaneView(OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (paneView == nullptr || HIViewFindByID(paneView, HIViewID{signature, id}, &view) != noErr) return nullptr;
  return view;
}

void TSidePane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TSidePane");
  if (paneView == nullptr) return;
  toolbar = FindPaneView(kSidePaneToolbarSignature, kSidePaneToolbarID);
  if (HIViewRef control = FindPaneView(kSidePaneSplitSignature, kSidePaneSplitID)) {
    split = new TSplitView();
    split->SetPreferenceKey(kSideSplitViewKey);
    split->Create(control);
    if (HIViewRef second = FindPaneView(kTPaneViewSignature, kSidePaneSecondPaneID))
      SplitViewSetPane(control, kSplitViewBottomPane, second);
  }
}

void TSidePane::SetModePane(TModePane* pane) {
  if (pane == nullptr) return;
  modePane = pane;
  if ((AppPrefs == nullptr || AppPrefs->GetBooleanValue("GeneralEditorFeaturesSymbolPane")) && split != nullptr) {
    split->SwapPane(kSplitViewTopPane, pane);
  } else {
    pane->SetOwner(this);
    ShowPaneInContainer(pane, FindPaneView(kTPaneViewSignature, kSidePaneLowerPaneID));
  }
  pane->ModeChanged();
}

void TSidePane::SetLowerPane(TPane* pane) {
  if (pane == nullptr) return;
  pane->SetOwner(this);
  ShowPaneInContainer(pane, FindPaneView(kTPaneViewSignature, kSidePaneLowerPaneID));
}

void TSidePane::SetToolbarSlider(TSplitView* splitView) {
  if (toolbar == nullptr || splitView == nullptr || splitView->control == nullptr) return;
  ToolbarAddSlider(toolbar, ToolbarOption(kToolbarItemAnchoredRight), splitView->control);
}

void SelectSymbolMenu(MenuRef menu, MenuItemIndex item, void* context) {
  ToggleMenuItem(item, menu);
  auto* side = static_cast<TSidePane*>(context);
  if (side == nullptr) return;
  if (auto* symbols = dynamic_cast<TSymbolPane*>(side->symbolPane); symbols != nullptr && symbols->browser != nullptr)
    symbols->browser->Populate();
}
