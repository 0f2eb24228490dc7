// Ordered collections of pointer-sized values. What the array stores and how
// it compares, describes and releases its values is given by a callback
// record; with kCFTypeArrayCallBacks the values are CF objects.
#pragma once

#include "CFBase.h"

typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);

struct CFArrayCallBacks {
  CFIndex version;
  CFArrayRetainCallBack retain;
  CFArrayReleaseCallBack release;
  CFArrayCopyDescriptionCallBack copyDescription;
  CFArrayEqualCallBack equal;
};

// CFRetain / CFRelease / CFCopyDescription / CFEqual.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

typedef void (*CFArrayApplierFunction)(const void* value, void* context);

CFTypeID CFArrayGetTypeID();

// A nil callbacks pointer means no callbacks: values are stored as given and
// compared by identity.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray);
// capacity is only a hint (0: unlimited); the array grows as values are added.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                           CFArrayRef theArray);

CFIndex CFArrayGetCount(CFArrayRef theArray);
CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void* value);
Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value);
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values);
void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier,
                          void* context);
CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value);
CFIndex CFArrayGetLastIndexOfValue(CFArrayRef theArray, CFRange range, const void* value);
// The range must be sorted by the comparator. Returns the index of a value
// equal to the one sought, or the index where it would be inserted (the end of
// the range when it is greater than every value).
CFIndex CFArrayBSearchValues(CFArrayRef theArray, CFRange range, const void* value,
                             CFComparatorFunction comparator, void* context);

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value);
// idx == count appends.
void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value);
void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx);
void CFArrayRemoveAllValues(CFMutableArrayRef theArray);
// Replaces the values in range by newCount new values (newValues may be nil
// when newCount is 0: the range is removed).
void CFArrayReplaceValues(CFMutableArrayRef theArray, CFRange range, const void** newValues,
                          CFIndex newCount);
void CFArrayExchangeValuesAtIndices(CFMutableArrayRef theArray, CFIndex idx1, CFIndex idx2);
// Stable: values the comparator does not order keep their order.
void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator,
                       void* context);
void CFArrayAppendArray(CFMutableArrayRef theArray, CFArrayRef otherArray, CFRange otherRange);
