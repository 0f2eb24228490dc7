// Byte buffers, immutable or mutable. Equality is by content.
#pragma once

#include "CFBase.h"

CFTypeID CFDataGetTypeID();

CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
// Keeps the caller's bytes without copying. bytesDeallocator kCFAllocatorNull
// never frees them; any other allocator (nil included) frees them with free()
// when the data is freed.
CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator);
CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData);
// capacity is only a hint (0: unlimited); the data grows as bytes are added.
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                         CFDataRef theData);

CFIndex CFDataGetLength(CFDataRef theData);
// Never nil for a valid data object, even when empty.
const UInt8* CFDataGetBytePtr(CFDataRef theData);
// Nil for immutable data.
UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData);
// Copies the bytes of range into buffer; a range outside the data copies nothing.
void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer);

// Growing fills the new bytes with zeros.
void CFDataSetLength(CFMutableDataRef theData, CFIndex length);
void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength);
void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length);
void CFDataReplaceBytes(CFMutableDataRef theData, CFRange range, const UInt8* newBytes,
                        CFIndex newLength);
void CFDataDeleteBytes(CFMutableDataRef theData, CFRange range);
