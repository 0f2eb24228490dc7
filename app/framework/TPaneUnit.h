// TPane: a piece of interface designed as its own interface-file window and
// shown inside another window. The interface window stays hidden and lends
// its content view ('PANE', 128), which the pane attaches to fill a window,
// puts into a container view, moves between windows and closes.
#pragma once

#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "ShortString.h"
#include "TViewUnit.h"

class TPreferenceHandler;

constexpr OSType kTPaneViewSignature = 'PANE';
constexpr SInt32 kTPaneViewID = 128;
constexpr UInt32 kHICommandClosePane = 'cPAN';

class TPane : public TView {
 public:
  HIViewRef paneView = nullptr;
  EventHandlerRef paneHandler = nullptr;
  WindowRef nibWindow = nullptr;  // owned: released by Release
  TView* owner = nullptr;         // not owned
  TPreferenceHandler* preferences = nullptr;  // not owned
  WindowRef destination = nullptr;
  WindowRef commandTarget = nullptr;
  Boolean closable = false;
  Boolean disposing = false;  // the pane view is being disposed

  TPane();
  ~TPane() override;

  // Disposes the pane view (which ends the pane).
  void ReleaseViewObject() override;
  // 'cPAN' closes a closable pane; anything else stays unhandled.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Unbinds the pane from its window and view, releases the interface
  // window, synchronises the preferences and frees the object.
  void Release() override;

  virtual void Create(const Str63& name, IBNibRef nib);
  virtual void SetPreferences(TPreferenceHandler* handler);
  virtual void SetOwner(TView* view);
  virtual void Close();
  // Takes the pane view out of its window and hides it (only with an owner).
  virtual void Detach();
  // Makes the pane fill the window's content, in place of its pane.
  virtual void Attach(WindowRef window);
  // Puts the pane into the container, in place of the one pane it shows.
  virtual void AddSubview(ControlRef container);
  virtual void PrepareDestination(WindowRef window);
  virtual void SetCommandHandlerTarget(WindowRef window);
  // The owner's window, or the interface window without an owner.
  virtual WindowRef GetWindow();

  // Removes the window's pane property when it names this pane.
  void Unpublish(WindowRef window);
};

// Whether the pane still exists: a window that keeps a pane its views may
// already have ended asks before it touches it.
Boolean TPaneIsLive(const TPane* pane);
