// Finding the system's special folders. Each folder type maps to one place
// of a Linux desktop (the XDG places), read from the environment at every
// call:
//   'pref' preferences          $XDG_CONFIG_HOME/Quorvel
//   'asup' Application Support  $XDG_DATA_HOME (the program keeps its own
//                               "Quorvel" folder in it)
//   'logs' logs                 $XDG_STATE_HOME/Quorvel
//   'desk' Desktop              the XDG desktop folder ($HOME/Desktop)
//   'docs' Documents            the XDG documents folder ($HOME/Documents)
//   'temp', 'chew' temporary    the user's private folder: $XDG_RUNTIME_DIR/quorvel,
//                               or $TMPDIR/quorvel-<uid> ($TMPDIR defaults to /tmp);
//                               always made, mode 0700; refused (fnfErr) when the
//                               place holds a link or another user's folder
//   'site' the user's web folder  $HOME/public_html
//   'cusr', 'home' the user's home  $HOME
//   'fram' Frameworks           the Frameworks folder of the running bundle
#pragma once

#include "Files.h"

// Where to look. Every domain and disk gives the user's place.
enum : FSVolumeRefNum {
  kOnSystemDisk = -32768,
  kOnAppropriateDisk = -32767,
  kSystemDomain = -32766,
  kLocalDomain = -32764,
  kNetworkDomain = -32765,
  kUserDomain = -32763,
};

enum : Boolean {
  kDontCreateFolder = 0,
  kCreateFolder = 1,
};

enum : OSType {
  kPreferencesFolderType = 'pref',
  kApplicationSupportFolderType = 'asup',
  kLogsFolderType = 'logs',
  kDesktopFolderType = 'desk',
  kDocumentsFolderType = 'docs',
  kTemporaryFolderType = 'temp',
  kInternetSitesFolderType = 'site',
  kCurrentUserFolderType = 'cusr',
  kFrameworksFolderType = 'fram',
};

// The folder of that type. fnfErr for an unknown type, or when the folder is
// missing and createFolder is kDontCreateFolder; with kCreateFolder a missing
// folder is made (with its parents), except the bundle's Frameworks folder
// and the home folder, which are never made.
OSErr FSFindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef);
