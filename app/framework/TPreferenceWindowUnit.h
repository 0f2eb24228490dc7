// Preference windows and list editors. TPreferenceWindow shows one pane at a
// time, chosen by a row of toolbar buttons, and resizes itself to each pane;
// TWindowPreferencePane is the pane it loads, whose keyed controls show and
// store the window's preferences. The window tracks the input of controls
// (menus hit, text accepted) for its subclasses. TCFArrayBrowser edits an
// array of mutable strings in place; TPreferenceArrayBrowser edits an array
// of raw records stored under one key of a preference handler.
#pragma once

#include "CFArray.h"
#include "CarbonEvents.h"
#include "IBCarbonRuntime.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TPreferencePaneUnit.h"
#include "TWindowUnit.h"

class TPreferenceHandler;

// One pane of a preference window, owned by the window's pane list.
struct PaneRecord {
  UInt32 command = 0;  // the command of its toolbar button
  Str63 label;         // the button's label, and the pane's name while it shows
  Str63 paneName;      // the name of the pane's window in the interface file
};

class TPreferenceWindow : public TWindow {
 public:
  CFMutableArrayRef Panes = nullptr;  // of PaneRecord*; nil until the first AddPane
  Str255 ToolbarIdentifier;
  Str255 ActivePane;  // the label of the pane shown; empty at first

  TPreferenceWindow();

  // Adds a pane and its toolbar button (icon of the creator and type, the
  // label, the command). Called before Create, so that the window is made
  // with its toolbar.
  virtual void AddPane(UInt32 iconCreator, UInt32 iconType, UInt32 command, const Str63& label,
                       const Str63& paneName);
  // Marks the button at the index (from 0) as selected and loads its pane.
  virtual void SelectPane(SInt16 index);
  // Called before the shown pane is closed by a button, and when the window closes.
  virtual void ClosePane(const Str255&) {}
  virtual Str255 GetActivePane();
  // Called after a pane is made and before it is attached.
  virtual void SetupPane(const Str63&, TPane*) {}
  // The control's menu hits reach HandleMenuPreference, its accepted text
  // HandleTextPreference, with its preference key.
  virtual void EnableViewInputTracking(ControlRef control);
  virtual void HandleMenuPreference(const Str255&, ControlRef) {}
  virtual void HandleRadioPreference(const Str255&, ControlRef) {}
  virtual void HandleCheckboxPreference(const Str255&, ControlRef) {}
  virtual void HandleTextPreference(const Str255&, ControlRef) {}
  // Called before a pane is closed and when the window has closed: the
  // subclass stores what the pane shows beyond its keyed controls.
  virtual void SetPaneValues(const Str255&, TPreferenceHandler*) {}
  // Called by the loaded pane for every keyed control, after its value was
  // stored or restored.
  virtual void SetValue(ControlRef, TPreferenceHandler*, const Str255&) {}
  virtual void RestoreValue(ControlRef, const Str255&) {}
  virtual void SetToolbarIdentifier(const Str255& identifier);
  // Stores and closes the pane shown, then makes, sets up, attaches the
  // record's pane and resizes the window to it.
  virtual void LoadPane(PaneRecord* record);

  // A command of a pane's button shows that pane (again, when it is the one
  // shown); the result is what the window's own commands left.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Closes the pane shown (its values are stored into the preference
  // handler, which must still be there) and lets go of the handler.
  void Release() override;
  // Makes the window, shows its first pane, then the window.
  void Create(const Str63& name, IBNibRef inNib) override;
  void Close(SInt32& status) override;
  void Closed() override;

  // The pane shown; nil when none.
  TPane* GetShownPane();

 private:
  void MarkSelectedItem(CFIndex index);
  void StopInputTracking();
  CFMutableArrayRef trackingHandlers = nullptr;  // of EventHandlerRef, removed by Release
};

class TWindowPreferencePane : public TPreferencePane {
 public:
  TPreferenceWindow* Window = nullptr;  // not owned; nil once the window is gone

  TWindowPreferencePane();
  // The window's hooks, with this pane's handler.
  void SetValue(ControlRef control, const ControlKind& kind, const Str255& key) override;
  void RestoreValue(ControlRef control, const ControlKind& kind, const Str255& key) override;
};

// The four-character type of the rows the array browsers append.
constexpr UInt32 kTCFArrayBrowserItemType = 'CFST';
constexpr UInt32 kTPreferenceArrayBrowserItemType = 'PREF';

class TCFArrayBrowser : public TBrowser {
 public:
  CFArrayRef Strings = nullptr;  // of CFMutableStringRef; not owned

  TCFArrayBrowser();
  virtual void SetArray(CFArrayRef strings);

  // A tree of its own that keeps its items' data as given.
  void Create(ControlRef control) override;
  // One row per string, in order, with the string as its data.
  void Populate() override;
  // Any text column shows the row's string.
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  // An edit replaces the content of the row's string in place.
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;
};

class TPreferenceArrayBrowser : public TBrowser {
 public:
  TPreferenceHandler* Preferences = nullptr;  // not owned
  Str255 Key;
  // A stored item shorter than this is read as a record of this size, the
  // bytes it lacks zero, so that no row is read or written past its end.
  SInt32 MinimumRecordSize = 0;

  TPreferenceArrayBrowser();
  // The array stored under the key (the caller releases it); nil when none.
  virtual CFArrayRef CopyArray();
  // Converts one record in place: direction 1 into the stored order, 2 into
  // the host's. Records here need no conversion.
  virtual void ByteSwapper(Ptr, SInt16) {}
  // Stores the rows' records, in order, under the key: an empty list as an
  // empty array, so that a list the user emptied stays empty.
  virtual void Synchronize();
  virtual void SetPreferences(TPreferenceHandler* preferences, const Str255& key);

  // One row per data item of the stored array, each a block copy of the
  // item in the host's order, in place of the rows there were.
  void Populate() override;
};

// Hands each record of a Synchronize to the browser's ByteSwapper; the
// context is the browser.
void TPreferenceArrayBrowserByteSwapper(void* data, SInt16 direction, void* context);
