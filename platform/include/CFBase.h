// The CoreFoundation object model: base types, the opaque references of every
// CF type the program uses, and the polymorphic functions (retain, release,
// equality, hashing, descriptions).
#pragma once

#include "MacTypes.h"

typedef const void* CFTypeRef;
typedef unsigned long CFTypeID;
typedef unsigned long CFHashCode;
typedef unsigned long CFOptionFlags;
typedef signed long CFIndex;

struct CFRange {
  CFIndex location;
  CFIndex length;
};

inline CFRange CFRangeMake(CFIndex loc, CFIndex len) { return CFRange{loc, len}; }

enum : CFIndex { kCFNotFound = -1 };

typedef CFIndex CFComparisonResult;
enum : CFIndex { kCFCompareLessThan = -1, kCFCompareEqualTo = 0, kCFCompareGreaterThan = 1 };

typedef CFComparisonResult (*CFComparatorFunction)(const void* val1, const void* val2, void* context);

// Opaque references. Every CF object starts with the runtime header defined in
// platform/cf/CFRuntime.h; these names only travel as pointers.
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFSet* CFSetRef;
typedef struct __CFSet* CFMutableSetRef;
typedef const struct __CFBag* CFBagRef;
typedef struct __CFBag* CFMutableBagRef;
typedef struct __CFTree* CFTreeRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFData* CFMutableDataRef;
typedef const struct __CFDate* CFDateRef;
typedef const struct __CFURL* CFURLRef;
typedef const struct __CFNull* CFNullRef;
typedef CFTypeRef CFPropertyListRef;

typedef double CFTimeInterval;
typedef CFTimeInterval CFAbsoluteTime;  // seconds since 2001-01-01 00:00:00 GMT

// Allocators: every allocator allocates from the C heap; kCFAllocatorNull is
// the "do not free" deallocator of the no-copy creators.
extern const CFAllocatorRef kCFAllocatorDefault;        // NULL
extern const CFAllocatorRef kCFAllocatorSystemDefault;
extern const CFAllocatorRef kCFAllocatorMalloc;
extern const CFAllocatorRef kCFAllocatorNull;

extern const CFNullRef kCFNull;

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFIndex CFGetRetainCount(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
CFHashCode CFHash(CFTypeRef cf);
CFStringRef CFCopyDescription(CFTypeRef cf);
CFStringRef CFCopyTypeIDDescription(CFTypeID type_id);
CFTypeID CFNullGetTypeID();

// Writes the description of the object to standard error, followed by a new line.
void CFShow(CFTypeRef obj);
