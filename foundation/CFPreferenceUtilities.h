// CFPreferenceUtilities: whole property-list files named by an FSRef, and
// the application preferences kept for dialog controls under "userprefs."
// followed by the control's key.
//
// This half holds what needs no view: reading and writing property-list
// files, and reading single stored values. The binding of controls and
// preference panes (storing and restoring controls by kind, the view-tree
// walk, loading a pane into a window) is declared further down when the view
// system exists.
#pragma once

#include "CFBase.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"

// Files beyond this size are not read as property lists.
constexpr SInt64 kCFPreferencesMaxPropertyListFileSize = SInt64(256) << 20;

// ---------------------------------------------------------------------------
// Property-list files

// The file's property list with mutable containers and leaves (the caller
// owns it); nil when the FSRef names no readable file (a folder, a device,
// a file beyond kCFPreferencesMaxPropertyListFileSize included) or the data
// is no property list.
CFTypeRef CFPreferencesLoadPropertyList(const FSRef& file);
// The same, with why nothing came in *status: 0 when a list was read; the
// look-up's status for an item that is gone (fnfErr); the read's own error
// code (kCFURLResourceAccessViolationError for a file that may not be read,
// kCFURLImproperArgumentsError for a folder or a device, ...); memFullErr for
// a file beyond the size limit; fnfErr for data that is no property list.
CFTypeRef CFPreferencesLoadPropertyList(const FSRef& file, SInt32* status);
// Writes the list as XML over the file, atomically: on failure the file
// keeps its old contents. The write's File Manager status (0 on success,
// dskFulErr, permErr, ...); -1 when the FSRef names no existing item or the
// list cannot be written as XML.
SInt32 CFPreferencesSavePropertyList(const FSRef& file, CFTypeRef list);

// ---------------------------------------------------------------------------
// Single values of the current application's preferences, stored under
// "userprefs." + key

// The stored text (at most 255 characters, Mac Roman); empty when missing,
// not a string, or not representable.
Str255 CFPreferencesGetStringValue(const Str255& key);
// False only for a stored false; true otherwise, also when missing.
Boolean CFPreferencesGetBooleanValue(const Str255& key);

// ===========================================================================
// Preferences bound to controls. A control's key is its property ('????',
// 'PREF'): the key's text and one NUL. Check boxes, radio buttons and radio
// groups ('cbox', 'rdio', 'rgrp', and 'cgrp' when storing) keep Booleans;
// edit texts ('eutx') and pop-up buttons ('popb', and 'pgrp' when storing)
// keep strings. Other kinds are left alone.

#include "CarbonEvents.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"

// Called for each keyed control of a walk.
typedef void (*CFPreferencesApplierFunction)(ControlRef control, const ControlKind& kind, const Str255& key,
                                             void* userData);

// Store the control's value under "userprefs." + key: its text (nothing when
// it has none), value not 0 as a Boolean, or the text of its selected item.
void SetAppStringValue(const Str255& key, ControlRef control);
void SetAppBooleanValue(const Str255& key, ControlRef control);
void SetAppMenuValue(const Str255& key, ControlRef control);
// Set the control from the stored value: the text when one is stored (Err
// holds the status), value 0 only for a stored false (1 otherwise, also when
// missing), or the item whose text equals the stored one (0 when none has it).
void RestoreAppStringValue(const Str255& key, ControlRef control);
void RestoreAppBooleanValue(const Str255& key, ControlRef control);
void RestoreAppMenuValue(const Str255& key, ControlRef control);

// The control's key; empty when it has none (the status in Err).
Str255 CFPreferencesGetKey(ControlRef control);
// Stores the value of a keyed control by its kind (written to disk when the
// preferences are synchronised).
void CFPreferencesDefaultSynchronize(ControlRef control);
// An applier that restores one control by its kind.
void CFPreferencesDefaultRestore(ControlRef control, const ControlKind& kind, const Str255& key, void* userData);
// Calls the applier for the view and every view below it that has a key,
// parents first, subviews in index order; Err holds the last kind read.
void CFPreferencesApplyFunction(HIViewRef view, CFPreferencesApplierFunction applier, void* userData);

// Loads the pane of the interface file's window named name (view 'PANE' 128)
// into the window's root view in place of its current pane, fills it from
// the preferences when restore is set (and makes it store its controls as
// they are removed and write the preferences when it goes), and makes the
// window's content 54 pixels taller than the pane. Nil when the window or
// its pane cannot be made.
ControlRef CFPreferencesLoadPane(WindowRef window, IBNibRef nib, Boolean restore, const Str63& name);
// Stores each subview as it is removed and writes the preferences when the
// pane goes; never handles the event.
OSStatus PaneEventHandler(EventHandlerCallRef call, EventRef event, void* userData);
// Installs the handler for the pane events (sub-view removed, dispose). The
// first call's handler serves every later call.
void CFPreferencesInstallPaneHandler(HIViewRef view, EventHandlerProcPtr handler, void* userData);
