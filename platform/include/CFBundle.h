// Bundles: folders that hold code and the resources that go with it, found
// and loaded by URL.
//
// Three layouts are understood:
//   Name.app/, Name.bundle/ ...   Contents/Info.plist, Contents/Resources/,
//                                 Contents/SharedSupport/, Contents/Frameworks/,
//                                 the executable in Contents/Linux/ or
//                                 Contents/MacOS/
//   Name.framework/               Resources/Info.plist, Resources/, the
//                                 executable Name.framework/Name
//   any other folder              resources in its Resources/ folder (or the
//                                 folder itself when it has none)
// The executable is named by the Info.plist key "CFBundleExecutable", else by
// the folder's name without its extension; "<name>", "<name>.so" and
// "lib<name>.so" are tried in that order. Executables are shared objects,
// loaded with dlopen and searched with dlsym.
//
// The main bundle is the running program's: the folder that holds
// Contents/MacOS/<program> (or Contents/Linux/<program>) around it, else the
// folder named by $QUORVEL_BUNDLE, else the program's own folder. Its code is
// the running process, always loaded: look-ups by name search every object
// the process has loaded with global scope.
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFURL.h"

typedef struct __CFBundle* CFBundleRef;

CFTypeID CFBundleGetTypeID();

// Get rule: the process's main bundle, never nil.
CFBundleRef CFBundleGetMainBundle();
// Create rule: the bundle of the folder at the file URL; nil when the URL is
// no file URL or names no folder. Two calls for the same folder give the same
// object while it lives.
CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);
// Get rule: a bundle alive in this process (the main bundle included) whose
// "CFBundleIdentifier" is the identifier; nil when none.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);

// --- Information (Get rule) -------------------------------------------------
// The Info.plist dictionary, read once; an empty dictionary when the bundle
// has none or it is unreadable, malformed or not a dictionary.
CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle);
CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
// "CFBundleIdentifier", nil when absent or not a string.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
// The creator code ("CFBundleSignature") and package type ("CFBundlePackageType");
// '????' for what is missing. Either pointer may be nil.
void CFBundleGetPackageInfo(CFBundleRef bundle, UInt32* packageType, UInt32* packageCreator);

// --- Places (Create rule) ---------------------------------------------------
// Folder URLs end in "/". They are given whether or not the folder exists.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle);
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle);
// The executable file; nil when the bundle has none.
CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);

// --- Resources (Create rule) ------------------------------------------------
// The resource "name.type" (type nil or "": the name as it is; a type may be
// given with or without its dot) in the subfolder of the Resources folder
// (subDirName nil or "": Resources itself). The unlocalized place is searched
// first, then the ".lproj" folder of the bundle's development region,
// "English.lproj", "en.lproj" and "Base.lproj". Nil when nothing is there,
// or when the name or subfolder is absolute or climbs out with "..".
// resourceName nil gives the first item of the type, in name order.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);
// Every item of the unlocalized subfolder whose name ends in ".type" (every
// item for a nil or empty type), in name order; an empty array when none.
CFArrayRef CFBundleCopyResourceURLsOfType(CFBundleRef bundle, CFStringRef resourceType, CFStringRef subDirName);

// --- Code ---------------------------------------------------------------------
// Loads the executable (dlopen, every symbol bound now, kept local). False,
// with the loader's message on standard error, when there is none or it does
// not load. Loading a loaded bundle does nothing and answers true.
Boolean CFBundleLoadExecutable(CFBundleRef bundle);
Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle);
// Closes the executable; pointers found in it must no longer be used. The
// main bundle is never unloaded. Releasing a bundle does not unload it, so
// pointers stay valid for the life of the process unless this is called.
void CFBundleUnloadExecutable(CFBundleRef bundle);
// The address of the exported function or variable of that name (its
// symbol name as the object exports it: C names, or mangled C++ names). The
// executable is loaded first when it is not; nil when it cannot be loaded or
// has no such symbol.
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);
void* CFBundleGetDataPointerForName(CFBundleRef bundle, CFStringRef symbolName);
