// Sets of distinct values, hashed, enumerated in insertion order.
#pragma once

#include "CFBase.h"

typedef const void* (*CFSetRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFSetReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFSetCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFSetEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFSetHashCallBack)(const void* value);

struct CFSetCallBacks {
  CFIndex version;
  CFSetRetainCallBack retain;
  CFSetReleaseCallBack release;
  CFSetCopyDescriptionCallBack copyDescription;
  CFSetEqualCallBack equal;
  CFSetHashCallBack hash;
};

extern const CFSetCallBacks kCFTypeSetCallBacks;
// String values copied on insertion (CFStringCreateCopy).
extern const CFSetCallBacks kCFCopyStringSetCallBacks;

typedef void (*CFSetApplierFunction)(const void* value, void* context);

CFTypeID CFSetGetTypeID();

// Nil callbacks: identity equality, the address as hash.
CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                     const CFSetCallBacks* callBacks);
CFSetRef CFSetCreateCopy(CFAllocatorRef allocator, CFSetRef theSet);
CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                   const CFSetCallBacks* callBacks);
CFMutableSetRef CFSetCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFSetRef theSet);

CFIndex CFSetGetCount(CFSetRef theSet);
// 1 when present, 0 otherwise.
CFIndex CFSetGetCountOfValue(CFSetRef theSet, const void* value);
Boolean CFSetContainsValue(CFSetRef theSet, const void* value);
// The stored value equal to the candidate, or nil.
const void* CFSetGetValue(CFSetRef theSet, const void* value);
Boolean CFSetGetValueIfPresent(CFSetRef theSet, const void* candidate, const void** value);
// values must hold GetCount entries; insertion order.
void CFSetGetValues(CFSetRef theSet, const void** values);
void CFSetApplyFunction(CFSetRef theSet, CFSetApplierFunction applier, void* context);

// Adds only when absent.
void CFSetAddValue(CFMutableSetRef theSet, const void* value);
// Replaces only when an equal value is present (in place).
void CFSetReplaceValue(CFMutableSetRef theSet, const void* value);
// Adds or replaces.
void CFSetSetValue(CFMutableSetRef theSet, const void* value);
void CFSetRemoveValue(CFMutableSetRef theSet, const void* value);
void CFSetRemoveAllValues(CFMutableSetRef theSet);
