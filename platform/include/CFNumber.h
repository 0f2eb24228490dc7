// Numbers (integers and floating point, compared by value across types) and
// the two boolean singletons.
#pragma once

#include "CFBase.h"

typedef CFIndex CFNumberType;
enum : CFNumberType {
  kCFNumberSInt8Type = 1,
  kCFNumberSInt16Type = 2,
  kCFNumberSInt32Type = 3,
  kCFNumberSInt64Type = 4,
  kCFNumberFloat32Type = 5,
  kCFNumberFloat64Type = 6,
  kCFNumberCharType = 7,
  kCFNumberShortType = 8,
  kCFNumberIntType = 9,
  kCFNumberLongType = 10,
  kCFNumberLongLongType = 11,
  kCFNumberFloatType = 12,
  kCFNumberDoubleType = 13,
  kCFNumberCFIndexType = 14,
  kCFNumberNSIntegerType = 15,
  kCFNumberCGFloatType = 16,
  kCFNumberMaxType = 16
};

CFTypeID CFNumberGetTypeID();
// Reads a value of the given type from valuePtr; nil for an unknown type or a nil pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
// Writes the value converted to theType. False when the conversion loses
// anything (out of range, a fraction dropped); the converted value is written anyway
// (saturated at the type's limits; NaN reads as 0 in integer types).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
// The type the number was created with.
CFNumberType CFNumberGetType(CFNumberRef number);
CFIndex CFNumberGetByteSize(CFNumberRef number);
Boolean CFNumberIsFloatType(CFNumberRef number);
// By value, across integer and float types; NaN sorts below every other number.
CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void* context);

CFTypeID CFBooleanGetTypeID();
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;
Boolean CFBooleanGetValue(CFBooleanRef boolean);
