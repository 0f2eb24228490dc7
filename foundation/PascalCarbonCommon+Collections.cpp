// CoreFoundation collection helpers: copies between dictionaries, arrays and
// sets, the alphabetical sort comparator, and records stored as CFData.
#include <cstring>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFSet.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"

void CFDictionaryCreateIndexedCopy(CFDictionaryRef dictionary, CFArrayRef& keys, CFArrayRef& values) {
  const CFIndex count = dictionary != nullptr ? CFDictionaryGetCount(dictionary) : 0;
  CFMutableArrayRef keyArray = CFArrayCreateMutable(nullptr, count, &kCFTypeArrayCallBacks);
  CFMutableArrayRef valueArray = CFArrayCreateMutable(nullptr, count, &kCFTypeArrayCallBacks);
  if (count > 0) {
    std::vector<const void*> k(static_cast<size_t>(count));
    std::vector<const void*> v(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, k.data(), v.data());
    for (CFIndex i = 0; i < count; ++i) {
      CFArrayAppendValue(keyArray, k[size_t(i)]);
      CFArrayAppendValue(valueArray, v[size_t(i)]);
    }
  }
  keys = keyArray;
  values = valueArray;
}

CFMutableArrayRef CFArrayCreateCopyFromSet(CFSetRef set) {
  const CFIndex count = set != nullptr ? CFSetGetCount(set) : 0;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, count, &kCFTypeArrayCallBacks);
  if (count > 0) {
    std::vector<const void*> v(static_cast<size_t>(count));
    CFSetGetValues(set, v.data());
    for (const void* value : v) CFArrayAppendValue(array, value);
  }
  return array;
}

CFMutableSetRef CFSetCreateCopyFromArray(CFArrayRef array) {
  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  CFSetAddArray(set, array);
  return set;
}

void CFSetAddArray(CFMutableSetRef set, CFArrayRef array) {
  if (set == nullptr || array == nullptr) return;
  const CFIndex count = CFArrayGetCount(array);
  for (CFIndex i = 0; i < count; ++i) CFSetAddValue(set, CFArrayGetValueAtIndex(array, i));
}

CFComparisonResult CFArrayCompareAlphaOrder(const void* a, const void* b, void*) {
  auto text = [](const void* value) {
    const CFTypeRef ref = value;
    if (ref == nullptr || CFGetTypeID(ref) != CFStringGetTypeID()) return Str255();
    return PCFSTR(static_cast<CFStringRef>(ref));
  };
  return CompareStringAlphaOrder(text(a), text(b)) ? kCFCompareLessThan : kCFCompareGreaterThan;
}

Boolean CFDataGetPointerValue(CFTypeRef value, void* dest, CFIndex size) {
  if (value == nullptr || dest == nullptr || CFGetTypeID(value) != CFDataGetTypeID()) return false;
  const CFDataRef data = static_cast<CFDataRef>(value);
  if (CFDataGetLength(data) != size) return false;
  if (size > 0) std::memcpy(dest, CFDataGetBytePtr(data), size_t(size));
  return true;
}

Boolean CFDictionaryGetPointerValue(CFDictionaryRef dictionary, const void* key, void* dest, CFIndex size) {
  if (dictionary == nullptr) return false;
  const void* value = nullptr;
  if (!CFDictionaryGetValueIfPresent(dictionary, key, &value)) return false;
  return CFDataGetPointerValue(value, dest, size);
}
