// Property lists: trees of strings, data, numbers (64-bit integers and
// doubles), booleans, dates, arrays and dictionaries with string keys.
// Read from the XML form and the binary ("bplist00") form, written in the
// standard XML form. Dictionaries are filled in document order, so reading
// and writing again keeps the order of the keys.
//
// Readers take hostile input: malformed or truncated data, unknown elements,
// bad base64 or dates, integers out of range, nesting deeper than
// kCFPropertyListMaxDepth, references outside the data or back into
// themselves all give nil (and a message where one is asked for).
#pragma once

#include "CFBase.h"
#include "CFData.h"
#include "CFString.h"

typedef CFOptionFlags CFPropertyListMutabilityOptions;
enum : CFOptionFlags {
  kCFPropertyListImmutable = 0,
  kCFPropertyListMutableContainers = 1,         // arrays and dictionaries mutable
  kCFPropertyListMutableContainersAndLeaves = 2,  // and strings and data too
};

typedef CFIndex CFPropertyListFormat;
enum : CFIndex {
  kCFPropertyListOpenStepFormat = 1,  // recognised as a name; neither read nor written here
  kCFPropertyListXMLFormat_v1_0 = 100,
  kCFPropertyListBinaryFormat_v1_0 = 200,
};

// Containers nested deeper than this are refused by every reader and writer.
enum : CFIndex { kCFPropertyListMaxDepth = 512 };

// Reads an XML or binary property list (Create rule). Nil on failure, with a
// description of the fault in *errorString when errorString is given (the
// caller releases it).
CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef* errorString);
// The standard XML form of the list, UTF-8 (Create rule); nil when the list is
// not valid or holds text XML cannot carry (control characters other than
// tab, line feed and carriage return; unpaired surrogates), or a date that is
// not finite.
CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList);
// A copy of the whole tree with the given mutability (Create rule); nil when
// the list is not valid.
CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                               CFOptionFlags mutabilityOption);
// True when the object is a property list that the format can hold.
Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format);
