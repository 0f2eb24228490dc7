// Interface files: windows with their views, menus and menu bars described in
// "Interface/NAME.nib.plist" inside a bundle's resources (an XML property
// list; docs/interface-files.md describes the format).
#pragma once

#include "CFBase.h"
#include "CFBundle.h"
#include "CFString.h"
#include "MacTypes.h"
#include "MacWindows.h"
#include "Menus.h"

typedef struct __CIBNibRef* IBNibRef;

enum : OSStatus {
  // The file is not an interface file: unreadable XML, or no dictionary at its top.
  kIBCarbonRuntimeMalformedFile = -1,
  kIBCarbonRuntimeCantFindNibFile = fnfErr,
  // The object named is of another kind, or one of its entries has the
  // wrong type or an impossible value (a negative size, a code that is not
  // four characters).
  kIBCarbonRuntimeObjectNotOfRequestedType = -10961,
  kIBCarbonRuntimeCantFindObject = -10962,
};

// Opens "Interface/<name>.nib.plist" of the main bundle's resources: fnfErr
// when there is none, kIBCarbonRuntimeMalformedFile when it is no interface
// file; paramErr for an empty name or one holding '/'.
OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef);
OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef);
void DisposeNibReference(IBNibRef inNibRef);

// Makes the window hidden, with its views (views of a registered HIObject
// class through HIObjectCreate with their creation parameters). The caller
// owns the window. kIBCarbonRuntimeCantFindObject when the file has no such
// window; errUnknownControl when a view's class is neither standard nor
// registered; the status of the view system when it refuses a view. Nothing
// is left behind on failure.
OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow);
// A new menu (the caller owns it) with its items and submenus.
OSStatus CreateMenuFromNib(IBNibRef inNibRef, CFStringRef inName, MenuRef* outMenuRef);
// A new root menu whose items hold the bar's menus, as a Handle for SetMenuBar.
OSStatus CreateMenuBarFromNib(IBNibRef inNibRef, CFStringRef inName, Handle* outMenuBar);
// Makes the named menu bar the application's and shows it.
OSStatus SetMenuBarFromNib(IBNibRef inNibRef, CFStringRef inName);
// Makes a bar from CreateMenuBarFromNib the application's (and keeps it).
void SetMenuBar(Handle inMenuBar);
// Lets go of a bar from CreateMenuBarFromNib.
void DisposeMenuBar(Handle inMenuBar);
