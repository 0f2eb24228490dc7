// Launch Services information about items: the names people see, name
// extensions, item kinds, and the applications that open an item.
//
// Applications are desktop entries: an application URL is the file URL of
// its .desktop file, which LSOpenFromURLSpec (LaunchServices.h) launches.
// Answers about applications come from GIO and so depend on the machine.
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "LaunchServices.h"

typedef OptionBits LSRequestedInfo;
enum : LSRequestedInfo {
  kLSRequestExtension = 0x00000001,
  kLSRequestTypeCreator = 0x00000002,
  kLSRequestBasicFlagsOnly = 0x00000004,
  kLSRequestAppTypeFlags = 0x00000008,
  kLSRequestAllFlags = 0x00000010,
  kLSRequestIconAndKind = 0x00000020,  // nothing to give here: ignored
  kLSRequestExtensionFlagsOnly = 0x00000040,
  kLSRequestAllInfo = 0xFFFFFFFF,
};

typedef OptionBits LSItemInfoFlags;
enum : LSItemInfoFlags {
  kLSItemInfoIsPlainFile = 0x00000001,
  kLSItemInfoIsPackage = 0x00000002,
  kLSItemInfoIsApplication = 0x00000004,
  kLSItemInfoIsContainer = 0x00000008,
  kLSItemInfoIsAliasFile = 0x00000010,
  kLSItemInfoIsSymlink = 0x00000020,
  kLSItemInfoIsInvisible = 0x00000040,
  kLSItemInfoIsNativeApp = 0x00000080,
  kLSItemInfoAppPrefersNative = 0x00000200,
  kLSItemInfoAppIsScriptable = 0x00000800,
  kLSItemInfoIsVolume = 0x00001000,
  kLSItemInfoExtensionIsHidden = 0x00100000,
};

struct LSItemInfoRecord {
  LSItemInfoFlags flags;
  OSType filetype;       // Finder information; 0 when the item has none
  OSType creator;
  CFStringRef extension;  // Create rule; nil when not asked for or absent
};

typedef OptionBits LSRolesMask;
enum : LSRolesMask {
  kLSRolesNone = 0x00000001,
  kLSRolesViewer = 0x00000002,
  kLSRolesEditor = 0x00000004,
  kLSRolesShell = 0x00000008,
  kLSRolesAll = 0xFFFFFFFF,
};

// Statuses of this area (beside kLSApplicationNotFoundErr of MacTypes.h).
enum : OSStatus {
  kLSDataUnavailableErr = -10813,
  kLSNotAnApplicationErr = -10811,
};

// --- Names and item information ----------------------------------------------
// The name a person sees: the item's name, its bytes read as UTF-8 (a byte
// that is not UTF-8 shows as U+FFFD); the application's name for a .desktop
// file; "/" for the root. *outDisplayName is nil on failure: paramErr for
// nil arguments, the File Manager's status for a bad or vanished FSRef.
OSStatus LSCopyDisplayNameForRef(const FSRef* inRef, CFStringRef* outDisplayName);
// The same for a file URL; kLSDataUnavailableErr for other URLs.
OSStatus LSCopyDisplayNameForURL(CFURLRef inURL, CFStringRef* outDisplayName);

// Fills what whichInfo asks for:
// - extension: the text after the name's last ".", for files and folders
//   alike; none when the name has no ".", starts with its only ".", ends with
//   "." or the text holds a space;
// - type and creator: the Finder information (zeros when there is none);
// - flags: plain file, folder (container), package (a folder whose extension
//   is a package type: app, bundle, framework, plugin, qvproj, ...),
//   application (an .app folder, a .desktop file, or an executable plain
//   file), symbolic link (also an alias file; a link is never a container),
//   invisible (a name that starts with "."), volume (the root).
// Every field not asked for is zero / nil. A dangling link is an item too.
OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo);
OSStatus LSCopyItemInfoForURL(CFURLRef inURL, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo);

// --- Applications ------------------------------------------------------------
// The default application for the item (its content type's default, or the
// handler of the URL's scheme for other URLs). kLSApplicationNotFoundErr when
// there is none. outAppRef / outAppURL may be nil.
OSStatus LSGetApplicationForItem(const FSRef* inItemRef, LSRolesMask inRoleMask, FSRef* outAppRef,
                                 CFURLRef* outAppURL);
OSStatus LSGetApplicationForURL(CFURLRef inURL, LSRolesMask inRoleMask, FSRef* outAppRef, CFURLRef* outAppURL);
// Create rule; nil when there is none (outError, optional, gets the status).
CFURLRef LSCopyDefaultApplicationURLForURL(CFURLRef inURL, LSRolesMask inRoleMask, OSStatus* outError);
// Create rule: every application that can open the URL's item, the default
// first; nil when none.
CFArrayRef LSCopyApplicationURLsForURL(CFURLRef inURL, LSRolesMask inRoleMask);

// --- Stored application references -------------------------------------------
// Records kept on disk (a bookmark's application, the preview application)
// hold an application in an 80-byte FSRef slot. Written by
// LSMakeStoredApplicationReference, the slot names a desktop entry by its
// desktop-file id ("org.example.Editor.desktop"), which the desktop resolves
// in any later run wherever the entry then lies (a package moving it, the
// user's own copy shadowing it). An application without such an id (an
// executable, an entry outside the application folders, an id too long for
// the slot) is kept as its plain FSRef, which resolves like any other.
// kLSApplicationNotFoundErr when appRef is no application that resolves.
OSStatus LSMakeStoredApplicationReference(const FSRef* inAppRef, FSRef* outStored);
// The application a stored slot names (either form, so slots written as
// plain FSRefs keep working). kLSApplicationNotFoundErr when there is none
// any more, or the slot is empty.
OSStatus LSResolveStoredApplicationReference(const FSRef* inStored, FSRef* outAppRef);
// The desktop-file id of an application's entry (Create rule);
// kLSApplicationNotFoundErr when it has none.
OSStatus LSCopyApplicationDesktopID(const FSRef* inAppRef, CFStringRef* outID);
