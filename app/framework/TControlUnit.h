// TControl: an object bound to a control that an interface file already
// made. It finds its window's object, saves its settings when the control is
// disposed and restores them when the control moves into a framework window.
#pragma once

#include "HIView.h"
#include "TViewUnit.h"

class TWindow;

// The control property that binds a control to its object.
constexpr OSType kTControlPropertyCreator = 'TCON';
constexpr OSType kTControlPropertyTag = 'DATA';

class TControl : public TView {
 public:
  ControlRef control = nullptr;
  TWindow* window = nullptr;  // the owning window's object; nil outside one
  EventHandlerRef controlHandler = nullptr;

  // Disposes the control (which ends the object too).
  void ReleaseViewObject() override;
  // TView.Release, the control handler and the binding go; frees the object.
  void Release() override;
  virtual void SavePreferences() {}
  virtual void RestorePreferences() {}
  virtual TWindow* GetWindow();
  virtual void Create(ControlRef inControl);
};

// The object bound to the control; nil when it has none.
TControl* GetControlObject(ControlRef control);
// Every control object of the hierarchy saves its settings: the control's
// own first, then its subviews in index order, depth first.
void WindowSaveControlPreferences(ControlRef control);
