// Preference panes bind controls to preference keys: a control that carries
// a key (its '????'/'PREF' property) shows the value stored under the key in
// a preference handler when the pane is made, and writes its value back when
// it is taken out of the pane. How a value is read and written depends only
// on the control's kind: combo boxes and edit texts keep strings, check boxes
// and radio buttons Booleans, pop-ups the text of the chosen item, radio
// groups and sliders their value.
#pragma once

#include "CarbonEvents.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "ShortString.h"
#include "TPaneUnit.h"

class TPreferenceHandler;

class TPreferencePane : public TPane {
 public:
  TPreferenceHandler* Handler = nullptr;         // not owned; nil: nothing is read or written
  EventHandlerUPP PaneEventHandler = nullptr;    // made by Create, disposed of with the pane view
  EventHandlerRef PaneEventHandlerRef = nullptr;  // the handler installed on the pane view

  TPreferencePane();

  virtual void SetHandler(TPreferenceHandler* handler);
  // Called for every keyed control after its kind's restore or store (also
  // without a handler, and for kinds that keep no value).
  virtual void RestoreValue(ControlRef, const ControlKind&, const Str255&) {}
  virtual void SetValue(ControlRef, const ControlKind&, const Str255&) {}
  // An empty stored text leaves the control's own.
  virtual void RestoreStringValue(const Str255& key, ControlRef control);
  // Selects the item whose text equals the stored one, ignoring case; a text
  // that no item has (or an empty one) keeps the current item.
  virtual void RestoreMenuValue(const Str255& key, ControlRef control);
  virtual void RestoreBooleanValue(const Str255& key, ControlRef control);
  virtual void RestoreIntegerValue(const Str255& key, ControlRef control);
  // Stores the control's text (at most 255 characters) when it has one.
  virtual void SetStringValue(const Str255& key, ControlRef control);
  // Stores the text of the selected item, when one is selected.
  virtual void SetMenuValue(const Str255& key, ControlRef control);
  // True for any value but 0 (a mixed check box too).
  virtual void SetBooleanValue(const Str255& key, ControlRef control);
  virtual void SetIntegerValue(const Str255& key, ControlRef control);

  // Makes the pane from its interface-file window, then shows the handler's
  // values in its keyed controls (a handler set before is used for this
  // first display). From then on each control stores its value as it is
  // taken out of the pane, and the handler is synchronised when the pane
  // view goes.
  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
};

// The appliers of a walk over keyed controls, with the pane as data: the
// kind's operation (only with a handler), then the pane's generic hook.
void ViewRestoreValue(ControlRef control, const ControlKind& kind, const Str255& key, void* pane);
void ViewSetValue(ControlRef control, const ControlKind& kind, const Str255& key, void* pane);

// Every keyed control under the root shows the handler's value.
void TPreferencePaneApply(ControlRef root, TPreferenceHandler* handler);
// The handler receives the values of every keyed control under the root.
void TPreferencePaneRetrieve(ControlRef root, TPreferenceHandler* handler);
