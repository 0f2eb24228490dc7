// Owning CF collections of memory blocks and program objects.
#include "CFPascal.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "CFByteOrder.h"
#include "MacMemory.h"

namespace {

Ptr AsPtr(const void* p) { return static_cast<Ptr>(const_cast<void*>(p)); }

}  // namespace

void TCFObject::Release() {}

// ---------------------------------------------------------------------------
// Callbacks

const void* CFRetainPointerCallback(CFAllocatorRef, const void* value) { return value; }

const void* CFRetainPointerCopyCallback(CFAllocatorRef, const void* value) {
  if (value == nullptr) return nullptr;
  // Foreign memory has no known size: it gives an empty block, never a read.
  const Size size = IsPointerValid(AsPtr(value)) ? GetPtrSize(AsPtr(value)) : 0;
  Ptr block = NewPtr(size);
  if (block != nullptr && size > 0) std::memcpy(block, value, size_t(size));
  return block;
}

void CFReleasePointerCallback(CFAllocatorRef, const void* value) {
  if (value != nullptr) DisposePtr(AsPtr(value));
}

void CFReleaseObjectCallback(CFAllocatorRef, const void* value) {
  if (value != nullptr) std::free(const_cast<void*>(value));
}

void TCFArrayReleaseCallback(CFAllocatorRef, const void* value) {
  if (value != nullptr) static_cast<TCFObject*>(const_cast<void*>(value))->Release();
}

Boolean CustomEqualCallback(const void* value1, const void* value2) { return CFEqual(value1, value2); }

CFHashCode CustomHashCallback(const void* value) { return CFHash(value); }

const void* CustomTreeRetainCallback(const void* info) { return info; }

void CustomTreeReleaseCallback(const void* info) {
  if (info != nullptr) DisposePtr(AsPtr(info));
}

CFStringRef CustomTreeCopyDescriptionCallback(const void*) { return nullptr; }

const CFArrayRetainCallBack kCFRetainPointerCallback = CFRetainPointerCallback;
const CFArrayRetainCallBack kCFRetainPointerCopyCallback = CFRetainPointerCopyCallback;
const CFArrayReleaseCallBack kCFReleasePointerCallback = CFReleasePointerCallback;
const CFArrayReleaseCallBack kCFReleaseObjectCallback = CFReleaseObjectCallback;

const CFArrayCallBacks kNilArrayCallbacks = {0, nullptr, nullptr, nullptr, nullptr};
const CFArrayCallBacks kCFArrayPascal = {0, CFRetainPointerCallback, CFReleasePointerCallback, nullptr,
                                         nullptr};
const CFArrayCallBacks kCFObjectPascal = {0, CFRetainPointerCallback, TCFArrayReleaseCallback, nullptr,
                                          nullptr};
const CFSetCallBacks kCFSetPascal = {0, CFRetainPointerCallback, CFReleasePointerCallback, nullptr, nullptr,
                                     nullptr};
const CFDictionaryValueCallBacks kCFDictionaryValuePascal = {0, CFRetainPointerCallback,
                                                             CFReleasePointerCallback, nullptr, nullptr};
const CFDictionaryKeyCallBacks kCFDictionaryKeyPascal = {0,       CFRetainPointerCallback,
                                                         CFReleasePointerCallback,
                                                         nullptr, nullptr,
                                                         nullptr};

// ---------------------------------------------------------------------------
// Collections

CFMutableArrayRef CFArrayCreatePascal() { return CFArrayCreateMutable(nullptr, 0, &kCFArrayPascal); }

CFMutableSetRef CFSetCreatePascal() { return CFSetCreateMutable(nullptr, 0, &kCFSetPascal); }

CFMutableDictionaryRef CFDictionaryCreatePascal() {
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFDictionaryValuePascal);
}

CFArrayCallBacks PascalCFArrayCallbacks(CFArrayEqualCallBack equal) {
  CFArrayCallBacks callbacks = kCFArrayPascal;
  callbacks.equal = equal;
  return callbacks;
}

CFArrayCallBacks TCFArrayCallbacks(CFArrayEqualCallBack equal) {
  CFArrayCallBacks callbacks = kCFObjectPascal;
  callbacks.equal = equal;
  return callbacks;
}

CFSetCallBacks PascalCFSetCallbacks(CFSetEqualCallBack equal, CFSetHashCallBack hash) {
  CFSetCallBacks callbacks = kCFSetPascal;
  callbacks.equal = equal;
  callbacks.hash = hash;
  return callbacks;
}

CFDictionaryValueCallBacks PascalCFDictionaryValueCallbacks() { return kCFDictionaryValuePascal; }

CFDictionaryKeyCallBacks PascalCFDictionaryKeyCallbacks() { return kCFDictionaryKeyPascal; }

CFTreeContext DefaultCFTreeContext(void* info) {
  return CFTreeContext{0, info, nullptr, CustomTreeReleaseCallback, nullptr};
}

CFTreeRef CFTreeCreatePascal(void* info) {
  const CFTreeContext context = DefaultCFTreeContext(info);
  return CFTreeCreate(nullptr, &context);
}

void CFTreeRemoveSafe(CFTreeRef tree) {
  if (tree == nullptr) return;
  CFRetain(tree);
  CFTreeRemove(tree);
}

CFRange CFDataGetRange(CFDataRef data) { return CFRangeMake(0, data != nullptr ? CFDataGetLength(data) : 0); }

namespace {

// The entries of a dictionary, in its order.
struct Entries {
  explicit Entries(CFDictionaryRef dictionary)
      : keys(size_t(CFDictionaryGetCount(dictionary))), values(keys.size()) {
    if (!keys.empty()) CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
  }
  std::vector<const void*> keys;
  std::vector<const void*> values;
};

}  // namespace

CFMutableDictionaryRef CFDictionaryConvertValuePointers(CFDictionaryRef dictionary) {
  if (dictionary == nullptr) return nullptr;
  CFMutableDictionaryRef result = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
  const Entries entries(dictionary);
  for (size_t i = 0; i < entries.keys.size(); ++i) {
    static const UInt8 kNothing = 0;
    const void* block = entries.values[i];
    const bool valid = block != nullptr && IsPointerValid(AsPtr(block));
    CFDataRef data = CFDataCreate(nullptr, valid ? static_cast<const UInt8*>(block) : &kNothing,
                                  valid ? CFIndex(GetPtrSize(AsPtr(block))) : 0);
    if (data == nullptr) continue;
    CFDictionarySetValue(result, entries.keys[i], data);
    CFRelease(data);
  }
  return result;
}

CFMutableDictionaryRef CFDictionaryConvertValueData(CFDictionaryRef dictionary) {
  if (dictionary == nullptr) return nullptr;
  CFMutableDictionaryRef result =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFDictionaryValuePascal);
  const Entries entries(dictionary);
  for (size_t i = 0; i < entries.keys.size(); ++i) {
    auto data = static_cast<CFDataRef>(entries.values[i]);
    // Stored files may hold anything: only data becomes a block.
    if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID()) continue;
    const CFIndex length = CFDataGetLength(data);
    Ptr block = NewPtr(length);
    if (block == nullptr) continue;
    if (length > 0) std::memcpy(block, CFDataGetBytePtr(data), size_t(length));
    CFDictionarySetValue(result, entries.keys[i], block);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Byte swapping

void SwapRGBColorBytes(RGBColor& color, SInt16) {
  color.red = CFSwapInt16BigToHost(color.red);
  color.green = CFSwapInt16BigToHost(color.green);
  color.blue = CFSwapInt16BigToHost(color.blue);
}

void SwapRectBytes(Rect& rect, SInt16) {
  rect.top = SInt16(CFSwapInt16BigToHost(UInt16(rect.top)));
  rect.left = SInt16(CFSwapInt16BigToHost(UInt16(rect.left)));
  rect.bottom = SInt16(CFSwapInt16BigToHost(UInt16(rect.bottom)));
  rect.right = SInt16(CFSwapInt16BigToHost(UInt16(rect.right)));
}
