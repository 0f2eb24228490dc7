// Memory Manager: nonrelocatable blocks (Ptr) and relocatable blocks reached
// through a master pointer (Handle). Every live block and handle is known to
// one process-wide registry, so the validity tests answer for any address
// without touching the memory behind it.
#pragma once

#include "MacTypes.h"

// The status of the calling thread's latest Memory Manager call.
OSErr MemError();

// Blocks. A block of size 0 exists, is valid and has an address of its own.
// Negative sizes fail with paramErr, unobtainable ones with memFullErr (nil).
Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
// Disposing of nil does nothing; anything that is not a live block is left
// alone and reported as memWZErr.
void DisposePtr(Ptr p);
// 0 (memWZErr) for anything that is not a live block.
Size GetPtrSize(Ptr p);
// A block never moves: it shrinks in place, and grows only within the room
// it already has (otherwise memFullErr and the block is unchanged).
void SetPtrSize(Ptr p, Size newSize);
// True only for the start of a live block from NewPtr/NewPtrClear; false for
// nil, interior pointers, freed blocks, handle contents and foreign memory.
Boolean IsPointerValid(Ptr p);

// Copies that allow overlap; counts of 0 or less, or a nil side, do nothing.
void BlockMoveData(const void* srcPtr, void* destPtr, Size byteCount);
void BlockMove(const void* srcPtr, void* destPtr, Size byteCount);
void BlockZero(void* destPtr, Size byteCount);

// Handles. The contents may move when the handle grows, unless it is locked.
Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
// A live handle with no contents (*h is nil, size 0).
Handle NewEmptyHandle();
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
void SetHandleSize(Handle h, Size newSize);
// Frees the contents and leaves the handle live and empty.
void EmptyHandle(Handle h);
void HLock(Handle h);
void HUnlock(Handle h);
// State byte: kHandleIsLocked (0x80) when locked.
enum : SInt8 { kHandleIsResourceBit = 5, kHandlePurgeableBit = 6, kHandleLockedBit = 7 };
enum : UInt8 { kHandleIsResourceMask = 0x20, kHandlePurgeableMask = 0x40, kHandleLockedMask = 0x80 };
SInt8 HGetState(Handle h);
void HSetState(Handle h, SInt8 flags);
// True only for a live handle from this registry (empty ones included).
Boolean IsHandleValid(Handle h);

// Handle copies and appends; each returns its status (also left in MemError).
OSErr PtrToHand(const void* srcPtr, Handle* dstHndl, long size);
OSErr PtrAndHand(const void* ptr1, Handle hand2, long size);
OSErr HandToHand(Handle* theHndl);
OSErr HandAndHand(Handle hand1, Handle hand2);
