// TModePane: a pane that switches between modes and hosts a lower pane in
// its container ('PANE', 130). Its subclasses fill the hooks.
#pragma once

#include "Menus.h"
#include "TPaneUnit.h"

class TSplitView;

constexpr SInt32 kTModePaneLowerViewID = 130;

class TModePane : public TPane {
 public:
  virtual void SetLowerPane(TPane* pane);
  virtual void SetSplit(TSplitView*) {}
  virtual MenuRef CreateActionMenu() { return nullptr; }
  virtual void ModeChanged() {}
  // Writes the query as one line to standard output; subclasses run it.
  virtual void GotQuery(const Str255& query);
};
