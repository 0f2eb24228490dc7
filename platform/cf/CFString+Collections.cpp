// Strings to and from arrays and data: splitting, joining, find results and
// the external (byte) representation.
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFStringInternal.h"

CFArrayRef CFStringCreateArrayBySeparatingStrings(CFAllocatorRef alloc, CFStringRef theString,
                                                  CFStringRef separatorString) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(alloc, 0, &kCFTypeArrayCallBacks);
  const CFIndex sepLength = CFStringGetLength(separatorString);
  std::vector<size_t> cuts;
  if (sepLength > 0) cuts = __CFStringFindAll(theString, separatorString, CFRangeMake(0, s->Length()), 0);
  size_t from = 0;
  auto add = [&](size_t to) {
    CFStringRef piece = __CFStringCreateWithUnits(__CFUniChars(s->chars.begin() + from, s->chars.begin() + to));
    CFArrayAppendValue(array, piece);
    CFRelease(piece);
  };
  for (size_t at : cuts) {
    add(at);
    from = at + size_t(sepLength);
  }
  add(s->chars.size());
  return array;
}

CFStringRef CFStringCreateByCombiningStrings(CFAllocatorRef, CFArrayRef theArray, CFStringRef separatorString) {
  if (theArray == nullptr) return nullptr;
  __CFUniChars out;
  const __CFString* sep = __CFStringCast(separatorString);
  const CFIndex count = CFArrayGetCount(theArray);
  for (CFIndex i = 0; i < count; ++i) {
    if (i > 0 && sep) out.insert(out.end(), sep->chars.begin(), sep->chars.end());
    // A value that is not a string adds nothing.
    if (const __CFString* s = __CFStringCast(CFArrayGetValueAtIndex(theArray, i)))
      out.insert(out.end(), s->chars.begin(), s->chars.end());
  }
  return __CFStringCreateWithUnits(std::move(out));
}

CFArrayRef CFStringCreateArrayWithFindResults(CFAllocatorRef alloc, CFStringRef theString, CFStringRef stringToFind,
                                              CFRange rangeToSearch, CFOptionFlags compareOptions) {
  std::vector<size_t> found = __CFStringFindAll(theString, stringToFind, rangeToSearch, compareOptions);
  if (found.empty()) return nullptr;
  CFMutableArrayRef array = CFArrayCreateMutable(alloc, 0, &kCFTypeArrayCallBacks);
  const CFIndex length = CFStringGetLength(stringToFind);
  for (size_t at : found) {
    CFRange r = CFRangeMake(CFIndex(at), length);
    CFDataRef data = CFDataCreate(alloc, reinterpret_cast<const UInt8*>(&r), sizeof r);
    CFArrayAppendValue(array, data);
    CFRelease(data);
  }
  return array;
}

CFDataRef CFStringCreateExternalRepresentation(CFAllocatorRef alloc, CFStringRef theString,
                                               CFStringEncoding encoding, UInt8 lossByte) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr) return nullptr;
  std::string bytes;
  if (!__CFStringEncodeUnits(s->chars.data(), s->chars.size(), encoding, lossByte, true, bytes)) return nullptr;
  return CFDataCreate(alloc, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
}

CFStringRef CFStringCreateFromExternalRepresentation(CFAllocatorRef alloc, CFDataRef data, CFStringEncoding encoding) {
  if (data == nullptr) return nullptr;
  return CFStringCreateWithBytes(alloc, CFDataGetBytePtr(data), CFDataGetLength(data), encoding, true);
}
