// Internal to the File Manager: the registry of FSRef ids and paths, and the
// helpers that the File Manager's source files share.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "Files.h"

namespace files {

// ---------------------------------------------------------------------------
// Paths

// An absolute path without ".", ".." or repeated slashes (a relative path is
// taken from the working folder). False for an empty path or one with NUL.
bool NormalizePath(std::string_view path, std::string* out);
// "/a/b" -> "/a"; "/a" -> "/"; "/" -> "" (the root has no parent).
std::string ParentPath(const std::string& path);
std::string LastComponent(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
// True when path is inside folder (not folder itself).
bool IsInside(const std::string& path, const std::string& folder);

// ---------------------------------------------------------------------------
// Names

// A file-system name from UTF-16 (stray bytes come back from 0xDC80..0xDCFF).
// bdNamErr for an empty name, ".", "..", "/", NUL or an unpaired surrogate;
// errFSNameTooLong past 255 units.
OSErr NameFromUnicode(const UniChar* name, UniCharCount length, std::string* out);
// The reverse; errFSNameTooLong when the name needs more than 255 units.
OSErr NameToUnicode(std::string_view name, HFSUniStr255* out);
// A CFString name (nil gives an empty string and bdNamErr).
OSErr NameFromCFString(CFStringRef name, std::string* out);
// Mac Roman short-string names for FSSpecs (errFSNameTooLong past 63
// characters, bdNamErr for characters Mac Roman lacks).
OSErr NameToMacRoman(const std::string& name, StrFileName out);
OSErr NameFromMacRoman(ConstStr255Param name, std::string* out);

// ---------------------------------------------------------------------------
// Statuses

OSErr ErrnoToOSErr(int err);

// ---------------------------------------------------------------------------
// The registry of ids and paths

// The FSRef of the item at a normalised path.
void MakeRef(const std::string& path, const struct stat& st, FSRef* ref);
// noErr when two FSRefs name the same item, diffRefNumErr when not,
// errFSBadFSRef when either is no FSRef (all zeros too).
OSErr CompareRefs(const FSRef* ref1, const FSRef* ref2);
// The path an FSRef names: errFSBadFSRef for bytes that are no FSRef, fnfErr
// for one whose item cannot be found.
OSErr RefPath(const FSRef* ref, std::string* path);
// RefPath plus lstat of the item: fnfErr when it is gone.
OSErr ResolveRef(const FSRef* ref, std::string* path, struct stat* st);
// Moves the item at `from` (and everything inside it) to `to`: `move`
// changes the file system and says whether it did. It runs under the
// registry file's exclusive lock, so that no other process rewrites the
// file in between and, finding nothing at `from`, forgets where the item's
// id came from.
void RegistryMove(const std::string& from, const std::string& to, const std::function<bool()>& move);
// Writes the records that could not be written yet (a full disk).
void RegistryFlush();
// Drops the in-memory registry; the next use loads it again from its file
// (under the current $XDG_STATE_HOME), as a new run of the program would.
void RegistryReload();
// The registry's file.
std::string RegistryFilePath();
// For tests: the hash of paths and names is hook(text, usual) instead of
// usual, so that collisions can be made; nullptr puts the usual one back.
using RegistryHashHook = UInt64 (*)(std::string_view text, UInt64 usual);
void RegistrySetHashForTesting(RegistryHashHook hook);

// Holds the registry file's shared lock over a folder listing, rather than
// taking it once per item; keep it short.
struct RegistryBatch {
  RegistryBatch();
  RegistryBatch(const RegistryBatch&) = delete;
  ~RegistryBatch();
};

// Volumes and node IDs (inodes, 32 bits) for the FSSpec calls.
FSVolumeRefNum VolumeForDevice(dev_t dev);
void NoteFolder(const std::string& path, const struct stat& st);
bool FolderForNode(FSVolumeRefNum volume, UInt32 nodeID, std::string* path);

// ---------------------------------------------------------------------------
// Catalog

// Fills what whichInfo asks for from the item's lstat data (parentSt, when
// given, is the lstat data of the item's folder).
void FillCatalogInfo(const std::string& path, const struct stat& st, FSCatalogInfoBitmap whichInfo,
                     FSCatalogInfo* info, const struct stat* parentSt = nullptr);
OSErr FillSpec(const std::string& path, const struct stat& st, FSSpec* spec,
               const struct stat* parentSt = nullptr);
// Applies the settable parts of catalog information to an item.
OSErr ApplyCatalogInfo(const std::string& path, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* info);

// Removes a file, link or folder with everything inside (links not followed).
OSErr RemoveTree(const std::string& path);

}  // namespace files
