// MachO: loading code bundles and frameworks at run time and finding their
// functions and data by name, so that the program can use code it does not
// link (the web-view bridge, constants of system frameworks).
//
// Statuses: 0 on success; coreFoundationUnknownErr (-4960) when a URL or the
// bundle cannot be made or its executable does not load; cfragNoSymbolErr
// (-2802) when the name is not found; File Manager errors from resolving a
// folder or a bundle's name pass through.
//
// The look-ups whose names end in Ref take the bundle by reference: a nil
// variable is filled with a newly loaded bundle, a bundle already there is
// used as it is. The caller owns the bundle and keeps it while it uses what
// was found in it.
//
// The calls that made callable glue for old-style transition vectors of the
// previous processor family are not offered: they wrote that processor's
// instructions into memory, which means nothing here.
#pragma once

#include "CFBundle.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"

// The bundle named bundleName in the folder (volume, directory ID), created
// and loaded. The variable is nil on every failure.
SInt32 MachOLoadBundle(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName, CFBundleRef& bundlePtr);
// The framework of that name (with its ".framework") in the folder, or, for
// a nil folder, in the Frameworks folder the system's folder search finds.
SInt32 MachOLoadFrameworkBundle(CFStringRef framework, const FSRef* folder, CFBundleRef& bundlePtr);

// The function (or data symbol) of that name in the framework; the names are
// read as Mac Roman. The pointer is nil on every failure; a missing name
// leaves the bundle loaded in the variable.
SInt32 MachOGetFrameworkFunctionRef(const Str255& framework, const FSRef* folder, const Str255& functionName,
                                    CFBundleRef& bundlePtr, void*& functionPtr);
SInt32 MachOGetFrameworkDataRef(const Str255& framework, const FSRef* folder, const Str255& dataName,
                                CFBundleRef& bundlePtr, void*& dataPtr);
// The same for a bundle in a folder given by volume and directory ID.
SInt32 MachOGetBundleFunctionRef(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName,
                                 const Str255& functionName, CFBundleRef& bundlePtr, void*& functionPtr);
SInt32 MachOGetBundleDataRef(SInt16 vRefNum, SInt32 dirID, const Str255& bundleName, const Str255& dataName,
                             CFBundleRef& bundlePtr, void*& dataPtr);
// The function in the named bundle of the application's private Frameworks
// folder. The bundle stays loaded for the life of the program (one per name).
// fnfErr when that folder cannot be resolved.
SInt32 MachOGetPrivateFrameworkFunctionRef(const Str255& bundleName, const Str255& functionName,
                                           void*& functionPtr);
