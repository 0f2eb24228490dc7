// Preference panes bind controls to preference keys: a control that carries
// a key (its '????'/'PREF' property) shows the value stored under the key in
// a preference handler, and writes its value back. How a value is read and
// written depends only on the control's kind: combo boxes and edit texts
// keep strings, check boxes and radio buttons Booleans, pop-ups the text of
// the chosen item, radio groups and sliders their value.
#pragma once

#include "HIView.h"
#include "ShortString.h"

class TPreferenceHandler;

// The kind's half of the binding for one control; false for a kind that
// keeps no value.
Boolean TPreferencePaneRestoreControl(ControlRef control, const ControlKind& kind, const Str255& key,
                                      TPreferenceHandler* handler);
Boolean TPreferencePaneStoreControl(ControlRef control, const ControlKind& kind, const Str255& key,
                                    TPreferenceHandler* handler);

// Every keyed control under the root shows the handler's value.
void TPreferencePaneApply(ControlRef root, TPreferenceHandler* handler);
// The handler receives the values of every keyed control under the root.
void TPreferencePaneRetrieve(ControlRef root, TPreferenceHandler* handler);
