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
// Writes the list as XML over the file, atomically: on failure the file
// keeps its old contents. The write's error code (0 on success); -1 when the
// FSRef names no existing item or the list cannot be written as XML.
SInt32 CFPreferencesSavePropertyList(const FSRef& file, CFTypeRef list);

// ---------------------------------------------------------------------------
// Single values of the current application's preferences, stored under
// "userprefs." + key

// The stored text (at most 255 characters, Mac Roman); empty when missing,
// not a string, or not representable.
Str255 CFPreferencesGetStringValue(const Str255& key);
// False only for a stored false; true otherwise, also when missing.
Boolean CFPreferencesGetBooleanValue(const Str255& key);
