// Bags: sets that count how many times each value was added.
#pragma once

#include "CFBase.h"

typedef const void* (*CFBagRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFBagReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFBagCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFBagEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFBagHashCallBack)(const void* value);

struct CFBagCallBacks {
  CFIndex version;
  CFBagRetainCallBack retain;
  CFBagReleaseCallBack release;
  CFBagCopyDescriptionCallBack copyDescription;
  CFBagEqualCallBack equal;
  CFBagHashCallBack hash;
};

extern const CFBagCallBacks kCFTypeBagCallBacks;

typedef void (*CFBagApplierFunction)(const void* value, void* context);

CFTypeID CFBagGetTypeID();

CFBagRef CFBagCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                     const CFBagCallBacks* callBacks);
CFBagRef CFBagCreateCopy(CFAllocatorRef allocator, CFBagRef theBag);
CFMutableBagRef CFBagCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                   const CFBagCallBacks* callBacks);
CFMutableBagRef CFBagCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFBagRef theBag);

// Every occurrence counts.
CFIndex CFBagGetCount(CFBagRef theBag);
CFIndex CFBagGetCountOfValue(CFBagRef theBag, const void* value);
Boolean CFBagContainsValue(CFBagRef theBag, const void* value);
const void* CFBagGetValue(CFBagRef theBag, const void* value);
Boolean CFBagGetValueIfPresent(CFBagRef theBag, const void* candidate, const void** value);
// values must hold GetCount entries: each value as often as it occurs.
void CFBagGetValues(CFBagRef theBag, const void** values);
void CFBagApplyFunction(CFBagRef theBag, CFBagApplierFunction applier, void* context);

// Adds one occurrence. A value equal to one already present only raises its
// count: the stored value is kept and not retained again.
void CFBagAddValue(CFMutableBagRef theBag, const void* value);
// Replaces the stored value of an equal one (keeping its count), only when present.
void CFBagReplaceValue(CFMutableBagRef theBag, const void* value);
// Replaces when present, adds one occurrence otherwise.
void CFBagSetValue(CFMutableBagRef theBag, const void* value);
// Removes one occurrence; the last one releases the stored value.
void CFBagRemoveValue(CFMutableBagRef theBag, const void* value);
void CFBagRemoveAllValues(CFMutableBagRef theBag);
