// The Alias Manager, as far as drops read it: an alias record names a file
// or folder so that it is found again after a rename or a move (through the
// FSRef registry) and, failing that, by its path. An alias record is a
// handle of the bytes an 'alis' descriptor carries.
#pragma once

#include "Files.h"
#include "MacTypes.h"

typedef Handle AliasHandle;

// A new alias record of the target (the caller disposes of the handle).
// fromFile (the item the alias would be relative to) is not used and may be
// nil. paramErr for a nil target or result, fnfErr (or the File Manager's
// status) when the target does not exist.
OSErr FSNewAlias(const FSRef* fromFile, const FSRef* target, AliasHandle* inAlias);
OSErr FSNewAliasMinimal(const FSRef* target, AliasHandle* inAlias);
// The item the alias names. wasChanged is set when it was found by its path
// rather than its recorded identity (the record could be updated). paramErr
// for a handle that holds no alias record (malformed or truncated bytes),
// fnfErr when the item is gone.
OSErr FSResolveAlias(const FSRef* fromFile, AliasHandle alias, FSRef* target, Boolean* wasChanged);
