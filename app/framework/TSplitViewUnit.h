// TSplitView: the framework's object over one split view an interface file
// made. It holds the panes shown on its two sides (and owns them), lets a
// pane be replaced, swapped in with a way back, or removed with that side
// collapsing, and keeps the splitter's position per window.
#pragma once

#include "ShortString.h"
#include "TControlUnit.h"

class TPane;

class TSplitView : public TControl {
 public:
  Str63 preferenceKey;  // empty: the position is not kept
  TPane* firstPane = nullptr;   // top or left
  TPane* secondPane = nullptr;  // bottom or right
  TPane* previousPane = nullptr;  // the one the last SwapPane replaced
  SInt16 swapSide = 0;
  TPane* closingPane = nullptr;  // closed once the collapse has ended
  SInt16 closingSide = 0;

  void SavePreferences() override;
  void RestorePreferences() override;
  void Create(ControlRef inControl) override;

  virtual void SetPreferenceKey(const Str63& key);
  virtual void SavePosition();
  virtual void RestorePosition();
  virtual void SetPane(SInt16 side, TPane* pane);
  virtual void SetPaneWithHIView(SInt16 side, ControlRef view);
  virtual void SwapPane(SInt16 side, TPane* pane);
  virtual void GoBack();
  virtual void RemovePane(SInt16 side);
  virtual void SetVisible(SInt16 side);
  virtual void SetLimit(CFRange limit);
  virtual void SetPosition(SInt16 position);
  virtual void SetKind(const Str255& kind);
  virtual SInt16 GetPosition();
  // Every notification of the split view, before a closing pane is closed.
  virtual void HandleNotification(SInt16, ControlRef) {}
  virtual TPane* GetPane(SInt16 side);

  // The preference key of the position: the window's key, then this one's.
  Str255 PositionKey();

 private:
  static void Notification(SInt16 message, ControlRef pane, ControlRef view, void* context);
  // A pane off both sides stays a hidden subview, so it ends with the view.
  void Park(TPane* pane);
  // The split view lets go of a pane's view that is about to be disposed.
  void Forget(TPane* pane, SInt16 side);
};
