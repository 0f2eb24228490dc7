// TTabs binds one tab view to the framework: each tab's content is a
// TTabPane, a pane loaded from an interface file when its tab is added. The
// tab view's callbacks become virtual calls, so subclasses decide what
// selecting, closing, removing and dropping mean. One pane per tab.
#pragma once

#include <string>

#include "Drag.h"
#include "IBCarbonRuntime.h"
#include "ShortString.h"
#include "TPaneUnit.h"
#include "TViewUnit.h"

class TTabPane;

class TTabs : public TView {
 public:
  ControlRef TabView = nullptr;
  EventHandlerRef disposeHandler = nullptr;  // the object ends with its tab view

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Its panes no longer lead back to it; frees the object.
  void Release() override;

  virtual void Create(ControlRef view);
  virtual void Append(TTabPane* pane);
  virtual void Select(TTabPane* pane);
  // The tab of the pane was removed. The pane is nil when it ended with its
  // view (which the removal disposes).
  virtual void Remove(TTabPane*) {}
  virtual Boolean AcceptDrag(TTabPane*, Ptr, UInt32, DragRef) { return false; }
  virtual Boolean ReceiveDrag(TTabPane*, Ptr, UInt32, DragRef) { return false; }
  virtual TTabPane* GetActive();
};

enum : SInt16 {
  kTTabPaneIconRef = 6,
  kTTabPaneCGImage = 7,
};

class TTabPane : public TPane {
 public:
  TTabPane();

  Str63 Title;
  // The whole title in UTF-8 when Title is its short form; empty otherwise.
  std::string FullTitle;
  void* Icon = nullptr;
  SInt16 IconType = 0;
  SInt16 TabIndex = 0;  // as last reported by the tab view
  SInt16 Kind = 0;
  Boolean AutoLoad = false;
  Str63 Resource;
  IBNibRef NibRef = nullptr;
  TTabs* tabs = nullptr;  // the tabs that hold the pane (not owned)

  void ReleaseViewObject() override;
  void SelectViewObject() override;
  // In a tab: the tab goes, and the pane with its view. Else TPane's close.
  void Close() override;
  void Release() override;
  // The pane is on its way out: from here on no tab lookup finds it, so what
  // its release sets off (the window's toolbar, its title) asks the tabs
  // that stay. A subclass whose release tells others calls this first.
  void Retire();

  virtual void SetResource(const Str63& name, IBNibRef nib);
  virtual void SetAppearance(const Str63& title, void* icon, SInt16 iconType);
  // The file's name as the title: whole, in its own characters.
  void SetFileAppearance(const FSRef& file);
  virtual void Load() {}
  virtual void Select();
  virtual void SwapPane(TPane* pane);
  virtual void SetAutoLoad(Boolean autoLoad);

  // The pane's tab now, found from the pane itself (tabs are renumbered
  // when one goes); 0 when it has none.
  SInt16 CurrentTabIndex();
  // Puts the title, whole when there is a whole one, on the given tab.
  void ShowTitle(SInt16 index);
};

// Whether the object is a tab pane that still exists.
Boolean TTabPaneIsLive(const void* pane);
