// TSidePaneUnit: the column beside the editor in an integrated project
// window. A pane with its own toolbar ('TOOL', 128) and a vertical split
// view ('SPLT', 128): the current mode pane (project, symbols or FTP) goes
// into the split's first pane, or, when the symbol list is switched off,
// into the place below ('PANE', 130) where the lower pane goes too. The
// split's position is kept under "SideSplitView".
#pragma once

#include "Menus.h"
#include "TModePaneUnit.h"

class TSplitView;

// Views of the side pane's interface file.
constexpr OSType kSidePaneToolbarSignature = 'TOOL';
constexpr SInt32 kSidePaneToolbarID = 128;
constexpr OSType kSidePaneSplitSignature = 'SPLT';
constexpr SInt32 kSidePaneSplitID = 128;
constexpr SInt32 kSidePaneSecondPaneID = 129;
constexpr SInt32 kSidePaneLowerPaneID = 130;

class TSidePane : public TModePane {
 public:
  TSplitView* split = nullptr;    // over 'SPLT' 128; owned by its view
  ControlRef toolbar = nullptr;   // 'TOOL' 128
  TPane* symbolPane = nullptr;    // the document's symbol list, when there is one
  TModePane* modePane = nullptr;  // the pane the mode commands put in front

  void Create(const Str63& name, IBNibRef nib) override;
  // Into the split's first pane with "GeneralEditorFeaturesSymbolPane";
  // else into 'PANE' 130 (the split keeps its first pane). The pane is told
  // that its mode changed.
  virtual void SetModePane(TModePane* pane);
  // Into 'PANE' 130 of this pane.
  void SetLowerPane(TPane* pane) override;
  // A slider for the split, anchored right on the pane's toolbar.
  virtual void SetToolbarSlider(TSplitView* split);

  // The view ('PANE', id) inside this pane, wherever the pane is shown.
  HIViewRef FindPaneView(OSType signature, SInt32 id);
};

// Shows the pane in the container; the pane shown there before is hidden,
// not taken out, so it still ends with the window.
void ShowPaneInContainer(TPane* pane, HIViewRef container);

// The menu callback of symbol filter menus: checks the item alone and, when
// the context (a TSidePane) holds a symbol list, refills it.
void SelectSymbolMenu(MenuRef menu, MenuItemIndex item, void* context);
