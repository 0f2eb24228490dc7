// Property lists: the entry points, validity, deep copies, and the object
// makers that both readers share. The XML reader and writer live in
// CFPropertyList+XML.cpp, the binary reader in CFPropertyList+Binary.cpp.
#include "CFPropertyList.h"

#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFDate.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFStringInternal.h"

// Shared with the readers and the writer (defined here or in the other two files).
CFStringRef __CFPListMakeString(__CFUniChars&& units, CFOptionFlags options);
CFDataRef __CFPListMakeData(const UInt8* bytes, size_t length, CFOptionFlags options);
CFTypeRef __CFPListMakeArray(std::vector<CFTypeRef>& values, CFOptionFlags options);
CFTypeRef __CFPListMakeDictionary(std::vector<CFTypeRef>& keys, std::vector<CFTypeRef>& values,
                                  CFOptionFlags options);
CFPropertyListRef __CFPListReadXML(const UInt8* bytes, size_t length, CFOptionFlags options, std::string& error);
CFPropertyListRef __CFPListReadBinary(const UInt8* bytes, size_t length, CFOptionFlags options,
                                      std::string& error);
bool __CFPListWriteXML(CFPropertyListRef plist, std::string& out);

namespace {

bool MutableContainers(CFOptionFlags options) { return (options & 3) != 0; }
bool MutableLeaves(CFOptionFlags options) { return (options & 2) != 0; }

void ReleaseAll(std::vector<CFTypeRef>& objects) {
  for (CFTypeRef obj : objects)
    if (obj) CFRelease(obj);
  objects.clear();
}

bool IsValid(CFTypeRef obj, CFPropertyListFormat format, CFIndex depth) {
  if (obj == nullptr) return false;
  CFTypeID type = CFGetTypeID(obj);
  if (type == CFStringGetTypeID() || type == CFDataGetTypeID()) return true;
  bool openStep = format == kCFPropertyListOpenStepFormat;
  if (type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() || type == CFDateGetTypeID()) return !openStep;
  // depth counts the containers down to this one.
  if (depth > kCFPropertyListMaxDepth) return false;
  if (type == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(obj);
    CFIndex count = CFArrayGetCount(array);
    for (CFIndex i = 0; i < count; ++i)
      if (!IsValid(CFArrayGetValueAtIndex(array, i), format, depth + 1)) return false;
    return true;
  }
  if (type == CFDictionaryGetTypeID()) {
    auto dict = static_cast<CFDictionaryRef>(obj);
    CFIndex count = CFDictionaryGetCount(dict);
    std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i) {
      if (keys[size_t(i)] == nullptr || CFGetTypeID(keys[size_t(i)]) != CFStringGetTypeID()) return false;
      if (!IsValid(values[size_t(i)], format, depth + 1)) return false;
    }
    return true;
  }
  return false;
}

CFTypeRef DeepCopy(CFTypeRef obj, CFOptionFlags options, CFIndex depth) {
  if (obj == nullptr) return nullptr;
  CFTypeID type = CFGetTypeID(obj);
  if (type == CFStringGetTypeID()) {
    auto str = static_cast<CFStringRef>(obj);
    return MutableLeaves(options) ? CFStringCreateMutableCopy(nullptr, 0, str) : CFStringCreateCopy(nullptr, str);
  }
  if (type == CFDataGetTypeID()) {
    auto data = static_cast<CFDataRef>(obj);
    return __CFPListMakeData(CFDataGetBytePtr(data), size_t(CFDataGetLength(data)), options);
  }
  if (type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() || type == CFDateGetTypeID())
    return CFRetain(obj);  // values that never change
  if (depth > kCFPropertyListMaxDepth) return nullptr;
  std::vector<CFTypeRef> keys, values;
  bool ok = true;
  if (type == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(obj);
    CFIndex count = CFArrayGetCount(array);
    values.reserve(size_t(count));
    for (CFIndex i = 0; i < count && ok; ++i) {
      values.push_back(DeepCopy(CFArrayGetValueAtIndex(array, i), options, depth + 1));
      ok = values.back() != nullptr;
    }
    if (ok) return __CFPListMakeArray(values, options);
  } else if (type == CFDictionaryGetTypeID()) {
    auto dict = static_cast<CFDictionaryRef>(obj);
    CFIndex count = CFDictionaryGetCount(dict);
    std::vector<const void*> k(static_cast<size_t>(count)), v(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dict, k.data(), v.data());
    for (CFIndex i = 0; i < count && ok; ++i) {
      CFTypeRef key = k[size_t(i)];
      ok = key != nullptr && CFGetTypeID(key) == CFStringGetTypeID();
      if (!ok) break;
      keys.push_back(CFStringCreateCopy(nullptr, static_cast<CFStringRef>(key)));
      values.push_back(DeepCopy(v[size_t(i)], options, depth + 1));
      ok = values.back() != nullptr;
    }
    if (ok) return __CFPListMakeDictionary(keys, values, options);
  }
  ReleaseAll(keys);
  ReleaseAll(values);
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Object makers: they honour the mutability option and take over (release)
// the references they are given.

CFStringRef __CFPListMakeString(__CFUniChars&& units, CFOptionFlags options) {
  if (MutableLeaves(options)) return __CFStringCreateMutableWithUnits(std::move(units));
  return __CFStringCreateWithUnits(std::move(units));
}

CFDataRef __CFPListMakeData(const UInt8* bytes, size_t length, CFOptionFlags options) {
  if (!MutableLeaves(options)) return CFDataCreate(nullptr, bytes, CFIndex(length));
  CFMutableDataRef data = CFDataCreateMutable(nullptr, 0);
  if (data && length > 0) CFDataAppendBytes(data, bytes, CFIndex(length));
  return data;
}

CFTypeRef __CFPListMakeArray(std::vector<CFTypeRef>& values, CFOptionFlags options) {
  CFTypeRef result;
  if (MutableContainers(options)) {
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (CFTypeRef value : values) CFArrayAppendValue(array, value);
    result = array;
  } else {
    result = CFArrayCreate(nullptr, const_cast<const void**>(values.data()), CFIndex(values.size()),
                           &kCFTypeArrayCallBacks);
  }
  ReleaseAll(values);
  return result;
}

CFTypeRef __CFPListMakeDictionary(std::vector<CFTypeRef>& keys, std::vector<CFTypeRef>& values,
                                  CFOptionFlags options) {
  CFTypeRef result;
  if (MutableContainers(options)) {
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (size_t i = 0; i < keys.size(); ++i) CFDictionarySetValue(dict, keys[i], values[i]);
    result = dict;
  } else {
    result = CFDictionaryCreate(nullptr, const_cast<const void**>(keys.data()),
                                const_cast<const void**>(values.data()), CFIndex(keys.size()),
                                &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  }
  ReleaseAll(keys);
  ReleaseAll(values);
  return result;
}

// ---------------------------------------------------------------------------
// Entry points

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef, CFDataRef xmlData, CFOptionFlags mutabilityOption,
                                                  CFStringRef* errorString) {
  if (errorString) *errorString = nullptr;
  std::string error;
  CFPropertyListRef result = nullptr;
  if (xmlData == nullptr || CFGetTypeID(xmlData) != CFDataGetTypeID()) {
    error = "No data to read a property list from";
  } else {
    const UInt8* bytes = CFDataGetBytePtr(xmlData);
    size_t length = size_t(CFDataGetLength(xmlData));
    if (length >= 6 && std::memcmp(bytes, "bplist", 6) == 0)
      result = __CFPListReadBinary(bytes, length, mutabilityOption, error);
    else
      result = __CFPListReadXML(bytes, length, mutabilityOption, error);
  }
  if (result == nullptr && errorString) {
    if (error.empty()) error = "Malformed property list";
    *errorString = __CFStringCreateWithUTF8(error);
  }
  return result;
}

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef, CFPropertyListRef propertyList) {
  if (!IsValid(propertyList, kCFPropertyListXMLFormat_v1_0, 1)) return nullptr;
  std::string out;
  if (!__CFPListWriteXML(propertyList, out)) return nullptr;
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(out.data()), CFIndex(out.size()));
}

CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef, CFPropertyListRef propertyList,
                                               CFOptionFlags mutabilityOption) {
  return DeepCopy(propertyList, mutabilityOption, 1);
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format) {
  if (format != kCFPropertyListOpenStepFormat && format != kCFPropertyListXMLFormat_v1_0 &&
      format != kCFPropertyListBinaryFormat_v1_0)
    return false;
  return IsValid(plist, format, 1);
}
