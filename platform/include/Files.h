// The File Manager: files and folders named by FSRef values, their catalog
// information, data forks, folder listings, and the classic FSSpec calls.
//
// An FSRef is an 80-byte value that may be copied byte-wise and stored raw
// (preferences keep them from one run to the next). It holds an id into a
// process-wide registry of paths that this layer keeps current through its
// own renames and moves and keeps on disk under $XDG_STATE_HOME/Quorvel/;
// one path always gives the same bytes. All zeros means "no file". Paths are kept as written, made absolute and
// cleaned of "." / ".." / repeated slashes; symbolic links are not resolved,
// so a link is an item of its own (and never a folder).
//
// Statuses are the classic ones (MacTypes.h): fnfErr for a missing item,
// errFSBadFSRef for bytes that are no FSRef (all zeros included), dupFNErr
// for a name that exists, permErr for a permission refused, ...
#pragma once

#include <stddef.h>

#include "CFBase.h"
#include "MacTypes.h"

struct FSRef {
  UInt8 hidden[80];
};
typedef FSRef* FSRefPtr;
static_assert(sizeof(FSRef) == 80, "an FSRef is stored as 80 bytes");

typedef SInt16 FSVolumeRefNum;
typedef SInt16 FSIORefNum;
typedef UInt32 FSCatalogInfoBitmap;
typedef OptionBits FSIteratorFlags;
typedef struct OpaqueFSIterator* FSIterator;

// A file-system name: up to 255 UTF-16 units. File names that are not valid
// UTF-8 carry each stray byte b as the lone unit 0xDC00 + b, so that every
// name read from a folder can be handed back to find the same item.
struct HFSUniStr255 {
  UInt16 length;
  UniChar unicode[255];
};

#pragma pack(push, 2)
// Seconds since 1904-01-01 00:00 UTC in 48 bits, plus 1/65536 fractions.
struct UTCDateTime {
  UInt16 highSeconds;
  UInt32 lowSeconds;
  UInt16 fraction;
};

typedef unsigned char StrFileName[64];  // length byte + up to 63 Mac Roman characters

// The classic file record: a folder (volume and directory ID) and a name.
struct FSSpec {
  FSVolumeRefNum vRefNum;
  SInt32 parID;
  StrFileName name;
};
#pragma pack(pop)
static_assert(sizeof(UTCDateTime) == 8 && sizeof(FSSpec) == 70, "classic record sizes");

// Finder information. In FSCatalogInfo.finderInfo it is in host byte order;
// on disk it is kept big-endian in the extended attribute
// "user.quorvel.finderinfo" (zeros when there is none).
struct FileInfo {
  OSType fileType;
  OSType fileCreator;
  UInt16 finderFlags;
  Point location;
  UInt16 reservedField;
};
struct FolderInfo {
  Rect windowBounds;
  UInt16 finderFlags;
  Point location;
  UInt16 reservedField;
};
static_assert(sizeof(FileInfo) == 16 && sizeof(FolderInfo) == 16, "Finder information is 16 bytes");

enum : UInt16 {
  kIsOnDesk = 0x0001,
  kHasBeenInited = 0x0100,
  kHasCustomIcon = 0x0400,
  kIsStationery = 0x0800,
  kNameLocked = 0x1000,
  kHasBundle = 0x2000,
  kIsInvisible = 0x4000,
  kIsAlias = 0x8000,
};

// The layout of FSCatalogInfo.permissions.
struct FSPermissionInfo {
  UInt32 userID;
  UInt32 groupID;
  UInt8 reserved1;
  UInt8 userAccess;  // the userPrivileges bits
  UInt16 mode;       // st_mode: file type and permission bits
  UInt32 reserved2;
};
static_assert(sizeof(FSPermissionInfo) == 16, "permissions are 16 bytes");

struct FSCatalogInfo {
  UInt16 nodeFlags;
  FSVolumeRefNum volume;
  UInt32 parentDirID;
  UInt32 nodeID;  // the item's inode, 32 bits
  UInt8 sharingFlags;
  UInt8 userPrivileges;
  UInt8 reserved1;
  UInt8 reserved2;
  UTCDateTime createDate;
  UTCDateTime contentModDate;
  UTCDateTime attributeModDate;
  UTCDateTime accessDate;
  UTCDateTime backupDate;
  UInt32 permissions[4];  // an FSPermissionInfo
  alignas(4) UInt8 finderInfo[16];  // a FileInfo or a FolderInfo
  UInt8 extFinderInfo[16];
  UInt64 dataLogicalSize;
  UInt64 dataPhysicalSize;
  UInt64 rsrcLogicalSize;
  UInt64 rsrcPhysicalSize;
  UInt32 valence;  // folders: the number of items inside
  TextEncoding textEncodingHint;
};

enum : FSCatalogInfoBitmap {
  kFSCatInfoNone = 0x00000000,
  kFSCatInfoTextEncoding = 0x00000001,
  kFSCatInfoNodeFlags = 0x00000002,
  kFSCatInfoVolume = 0x00000004,
  kFSCatInfoParentDirID = 0x00000008,
  kFSCatInfoNodeID = 0x00000010,
  kFSCatInfoCreateDate = 0x00000020,
  kFSCatInfoContentMod = 0x00000040,
  kFSCatInfoAttrMod = 0x00000080,
  kFSCatInfoAccessDate = 0x00000100,
  kFSCatInfoBackupDate = 0x00000200,
  kFSCatInfoPermissions = 0x00000400,
  kFSCatInfoFinderInfo = 0x00000800,
  kFSCatInfoFinderXInfo = 0x00001000,
  kFSCatInfoValence = 0x00002000,
  kFSCatInfoDataSizes = 0x00004000,
  kFSCatInfoRsrcSizes = 0x00008000,
  kFSCatInfoSharingFlags = 0x00010000,
  kFSCatInfoUserPrivs = 0x00020000,
  kFSCatInfoUserAccess = 0x00080000,
  kFSCatInfoAllDates = 0x000003E0,
  kFSCatInfoGettableInfo = 0x0003FFFF,
  // What FSSetCatalogInfo changes: the content-modification and access dates,
  // the permission bits and the Finder information. Linux keeps no settable
  // creation, attribute-change or backup date, so those bits are accepted and
  // have no effect; bits outside this set are ignored.
  kFSCatInfoSettableInfo = 0x00001FE0,
};

enum : UInt16 {
  kFSNodeLockedMask = 0x0001,
  kFSNodeIsDirectoryMask = 0x0010,
};

// userPrivileges bits.
enum : UInt8 {
  kioACUserNoSeeFolderMask = 0x01,
  kioACUserNoSeeFilesMask = 0x02,
  kioACUserNoMakeChangesMask = 0x04,
  kioACUserNotOwnerMask = 0x80,
};

enum : SInt32 {
  fsRtParID = 1,  // the parent of a volume's root
  fsRtDirID = 2,
};

enum : FSVolumeRefNum { kFSInvalidVolumeRefNum = 0 };

// ---------------------------------------------------------------------------
// References, paths and comparison

// The FSRef of the item at a UTF-8 (or any byte) path; a relative path is
// taken from the working folder. fnfErr when nothing is there. isDirectory
// (optional) tells whether the item is a folder.
OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory);
// The item's path, NUL-terminated. paramErr when it does not fit in
// maxPathSize bytes (NUL included); fnfErr when the item is gone.
OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);
// noErr when both name the same item, diffRefNumErr when they do not,
// errFSBadFSRef when either is no FSRef (all zeros included).
OSErr FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2);

// ---------------------------------------------------------------------------
// Catalog information

// Reads the information whichInfo asks for (kFSCatInfoNone: only tests that
// the item exists), and optionally the item's name, FSSpec and parent. The
// root has no parent: asking for it gives fnfErr (the rest is filled). An
// FSSpec cannot hold a name past 63 Mac Roman characters: errFSNameTooLong
// (bdNamErr for characters Mac Roman lacks).
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);
// Sets the settable parts that whichInfo names (see kFSCatInfoSettableInfo).
// Finder information is kept best-effort: a file system without extended
// attributes loses it without an error.
OSErr FSSetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo);
// aliasFileFlag is true for a symbolic link; folderFlag for a folder (never
// for a link, even to a folder).
OSErr FSIsAliasFile(const FSRef* fileRef, Boolean* aliasFileFlag, Boolean* folderFlag);

// ---------------------------------------------------------------------------
// Items by name, creation, deletion, renaming, moving and copying. Names are
// UTF-16 (at most 255 units); an empty name, ".", "..", or a name with "/" or
// NUL gives bdNamErr.

// The named item inside a folder; fnfErr when it is not there.
OSErr FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                         TextEncoding textEncodingHint, FSRef* newRef);
// A new empty file (dupFNErr when the name exists); catalogInfo (optional)
// then sets what whichInfo names, as FSSetCatalogInfo does.
OSErr FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo, FSRef* newRef,
                          FSSpec* newSpec);
OSErr FSCreateDirectoryUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo,
                               FSRef* newRef, FSSpec* newSpec, UInt32* newDirID);
// Deletes a file, a link or an empty folder; fBsyErr for a folder with items.
OSErr FSDeleteObject(const FSRef* ref);
// Renames in place (dupFNErr when the name is taken). FSRefs to the item and
// to anything inside it follow it; newRef (optional) names the renamed item.
OSErr FSRenameUnicode(const FSRef* ref, UniCharCount nameLength, const UniChar* name,
                      TextEncoding textEncodingHint, FSRef* newRef);
// Moves into another folder of the same volume under the same name
// (diffVolErr across volumes, badMovErr into the item itself).
OSErr FSMoveObject(const FSRef* ref, const FSRef* destDirectory, FSRef* newRef);
// Exchanges the contents of two files; each FSRef keeps its name.
OSErr FSExchangeObjects(const FSRef* ref, const FSRef* destRef);

enum : OptionBits {
  kFSFileOperationDefaultOptions = 0,
  kFSFileOperationDoNotMoveAcrossVolumes = 0x08,
};
// Copies the item (folders with everything inside, links as links) into
// destDir under destName (nil: the source's name). dupFNErr when the
// destination exists; a failed copy leaves nothing behind.
OSStatus FSCopyObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName, FSRef* target,
                          OptionBits options);
// Moves the item into destDir under destName (nil: its own name); across
// volumes it is copied and the original deleted, unless
// kFSFileOperationDoNotMoveAcrossVolumes is given (diffVolErr then).
OSStatus FSMoveObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName, FSRef* target,
                          OptionBits options);

// ---------------------------------------------------------------------------
// Forks. Only the data fork exists: its name is the empty name.

enum : SInt8 {
  fsCurPerm = 0,  // read and write when allowed, otherwise read only
  fsRdPerm = 1,
  fsWrPerm = 2,
  fsRdWrPerm = 3,
  fsRdWrShPerm = 4,
};

enum : UInt16 {
  fsAtMark = 0,
  fsFromStart = 1,
  fsFromLEOF = 2,
  fsFromMark = 3,
};

OSErr FSGetDataForkName(HFSUniStr255* dataForkName);
// Opens the fork; permErr when the permission asked for is refused (a
// read-only file opens with fsRdPerm but not fsRdWrPerm), notAFileErr for a
// folder, errFSForkNotFound for any fork but the data fork.
OSErr FSOpenFork(const FSRef* ref, UniCharCount forkNameLength, const UniChar* forkName, SInt8 permissions,
                 FSIORefNum* forkRefNum);
// Reads from the position that the mode and offset give and moves the mark
// past what was read. Fewer bytes than asked (the end reached) give eofErr
// with *actualCount the bytes read. posErr before the start.
OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                 void* buffer, ByteCount* actualCount);
// wrPermErr on a fork opened without write permission; dskFulErr when the
// disk is full (*actualCount then tells what was written).
OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                  const void* buffer, ByteCount* actualCount);
OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position);
// A position past the end sets the mark at the end and gives eofErr.
OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize);
// Cuts or extends (with zeros) the fork; a mark past the new end moves to it.
OSErr FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSFlushFork(FSIORefNum forkRefNum);
// rfNumErr for a number that names no open fork.
OSErr FSCloseFork(FSIORefNum forkRefNum);
// Deleting the data fork leaves the file empty.
OSErr FSDeleteFork(const FSRef* ref, UniCharCount forkNameLength, const UniChar* forkName);
// The classic calls: *count bytes at the mark; *count receives the bytes done.
OSErr FSRead(FSIORefNum refNum, SInt32* count, void* buffPtr);
OSErr FSWrite(FSIORefNum refNum, SInt32* count, const void* buffPtr);

// ---------------------------------------------------------------------------
// Whole files replaced at once

// Replaces the contents of the file at path (UTF-8, any bytes) with the
// bytes, so that at every moment the file holds either its old contents or
// the new ones whole: the bytes go into a temporary file in the same folder,
// which is flushed to the disk, given the original's permission bits,
// extended attributes and (when the process may) its owner and group, and
// then renamed over the original. A new file gets 0666 less the umask. A
// symbolic link is written through: its target changes, the link stays.
// What is not a regular file (a device, a pipe) is written in place.
// On failure the original is untouched and no temporary is left. Statuses:
//   dskFulErr   the disk (or the user's quota) is full
//   permErr     the folder may not be written (no new file can be made there)
//   wrPermErr   the file itself is write-protected
//   wPrErr      the disk is read-only
//   dirNFErr    the folder does not exist
//   notAFileErr the path names a folder
//   bdNamErr    the name or path is too long
//   ioErr       anything else the disk refused
// *outErrno (optional) receives the system's error number (0 on success).
OSStatus FSWriteFileAtomically(const char* path, const void* bytes, size_t length, int* outErrno = nullptr);
// The same for the file an FSRef names (it must exist).
OSStatus FSRefWriteFileAtomically(const FSRef* ref, const void* bytes, size_t length);

// ---------------------------------------------------------------------------
// Folder listings, in name order (letters compared without case), without
// "." and "..". Symbolic links are listed with their own flags.

enum : FSIteratorFlags {
  kFSIterateFlat = 0,
  kFSIterateSubtree = 1,  // not offered: errFSBadIteratorFlags
};

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags iteratorFlags, FSIterator* iterator);
OSErr FSCloseIterator(FSIterator iterator);
// Up to maximumObjects items, each output array optional. errFSNoMoreItems
// when the listing ends within this call (together with its last items) and
// for every call after that. *containerChanged is set when the folder
// changed since the listing began.
OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs, HFSUniStr255* names);

// ---------------------------------------------------------------------------
// FSSpec: a folder given by volume and directory ID (the nodeID the catalog
// reported for it) and a Mac Roman name of one component.

// fnfErr (with the FSSpec filled, ready for creation) when the folder holds
// no such item; dirNFErr when the directory ID is unknown.
OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec);
OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef);

// ---------------------------------------------------------------------------
// URLs

// False when the URL is no file URL or names no existing item.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);
// A file URL of the item (Create rule); folders end in "/". Nil when the item is gone.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef);

// ---------------------------------------------------------------------------
// Dates. kUTCUnderflowErr before 1904, kUTCOverflowErr past the 48-bit range.

OSStatus UCConvertUTCDateTimeToCFAbsoluteTime(const UTCDateTime* iUTCDate, CFAbsoluteTime* oCFTime);
OSStatus UCConvertCFAbsoluteTimeToUTCDateTime(CFAbsoluteTime iCFTime, UTCDateTime* oUTCDate);

// ---------------------------------------------------------------------------
// Change notifications for folders. A subscription watches one folder (the
// desktop's file monitor): anything created, deleted, renamed, written or
// changed in it, or the folder itself going away, brings the callback one
// kFNDirectoryModifiedMessage on the main thread's event loop. Changes that
// come in a burst are told once. FNNotify tells the subscribers of a folder
// at once, inside the call, for changes this process made itself.

typedef UInt32 FNMessage;
enum : FNMessage { kFNDirectoryModifiedMessage = 1 };

typedef struct OpaqueFNSubscriptionRef* FNSubscriptionRef;
typedef void (*FNSubscriptionProcPtr)(FNMessage message, OptionBits flags, void* refcon,
                                      FNSubscriptionRef subscription);
typedef FNSubscriptionProcPtr FNSubscriptionUPP;

FNSubscriptionUPP NewFNSubscriptionUPP(FNSubscriptionProcPtr userRoutine);
void DisposeFNSubscriptionUPP(FNSubscriptionUPP userUPP);

// paramErr for a nil callback or result, the File Manager's status for an
// FSRef that does not resolve, errFSNotAFolder for a file. Flags are taken
// and have no effect: delivery is always on the main event loop.
OSStatus FNSubscribe(const FSRef* directoryRef, FNSubscriptionUPP callback, void* refcon, OptionBits flags,
                     FNSubscriptionRef* subscription);
// Ends the subscription: its callback is not called again, not even for
// changes already seen. paramErr for nil or a subscription already ended.
OSStatus FNUnsubscribe(FNSubscriptionRef subscription);
// Calls the callback of every subscription to the folder, in the order they
// were made, before returning; a callback may end subscriptions meanwhile.
OSStatus FNNotify(const FSRef* ref, FNMessage message, OptionBits flags);

#include "Folders.h"
