// Opening URLs with their default application or with a chosen one. On the
// desktop this goes through GIO; the headless host launches nothing and
// records each request instead (HeadlessHost.h).
#pragma once

#include "CFBase.h"
#include "MacTypes.h"

struct AEDesc;
struct FSRef;

typedef OptionBits LSLaunchFlags;
enum : LSLaunchFlags {
  kLSLaunchDefaults = 0x00000001,
  kLSLaunchAndPrint = 0x00000002,
  kLSLaunchAndDisplayErrors = 0x00000040,
  kLSLaunchDontAddToRecents = 0x00000100,
  kLSLaunchDontSwitch = 0x00000200,
  kLSLaunchAsync = 0x00010000,
  kLSLaunchNewInstance = 0x00080000,
  kLSLaunchAndHide = 0x00100000,
};

struct LSLaunchURLSpec {
  CFURLRef appURL;             // nil: each item's default application
  CFArrayRef itemURLs;         // CFURLs to open, may be nil when appURL is given
  const AEDesc* passThruParams;
  LSLaunchFlags launchFlags;
  void* asyncRefCon;
};

// Opens the URL with its default application. outLaunchedURL (may be nil)
// receives the application's URL when it is known, to be released by the
// caller; otherwise nil.
OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL);
// With an application URL: a .desktop file is launched through its entry, an
// executable file is started with the items as arguments (the path for a
// file URL, the URL text otherwise). kLSApplicationNotFoundErr when the
// application cannot be used.
OSStatus LSOpenFromURLSpec(const LSLaunchURLSpec* inLaunchSpec, CFURLRef* outLaunchedURL);

// The same for items named by FSRef. The application (appRef, nil: each
// item's default) and the items must resolve: kLSApplicationNotFoundErr for
// an application that does not, the File Manager's status for an item.
struct LSLaunchFSRefSpec {
  const FSRef* appRef;
  ItemCount numDocs;
  const FSRef* itemRefs;
  const AEDesc* passThruParams;
  LSLaunchFlags launchFlags;
  void* asyncRefCon;
};
// outLaunchedRef (may be nil) receives the application when it is known,
// otherwise all zeros.
OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef);
OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec* inLaunchSpec, FSRef* outLaunchedRef);

// Linux keeps no per-file "extension hidden" flag: a name always shows its
// extension. This only checks that the item exists (paramErr for nil, the
// File Manager's status for an FSRef that does not resolve).
OSStatus LSSetExtensionHiddenForRef(const FSRef* inRef, Boolean inHide);
