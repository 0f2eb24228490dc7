#include "CFArray.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "CFCollectionInternal.h"
#include "CFString.h"

// ---------------------------------------------------------------------------
// Plumbing shared by the collections.

void __CFCollectionDiag(const char* function, const char* what) {
  std::fprintf(stderr, "%s: %s\n", function, what);
}

bool __CFCheckRange(CFRange range, CFIndex count, const char* function) {
  if (range.location < 0 || range.length < 0 || range.location > count ||
      range.length > count - range.location) {
    __CFCollectionDiag(function, "range outside the collection");
    return false;
  }
  return true;
}

std::string __CFAddressText(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  return buf;
}

namespace {

constexpr int kMaxDescribeDepth = 64;
thread_local int gDescribeDepth = 0;

std::string UTF8OfString(CFStringRef s) {
  if (s == nullptr) return std::string();
  CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8);
  if (size < 0) return std::string();
  std::vector<char> buf(size_t(size) + 1);
  if (!CFStringGetCString(s, buf.data(), CFIndex(buf.size()), kCFStringEncodingUTF8))
    return std::string();
  return std::string(buf.data());
}

}  // namespace

__CFDescribeDepth::__CFDescribeDepth() { ++gDescribeDepth; }
__CFDescribeDepth::~__CFDescribeDepth() { --gDescribeDepth; }
bool __CFDescribeDepth::tooDeep() const { return gDescribeDepth > kMaxDescribeDepth; }

std::string __CFDescribeElement(const void* value, __CFCopyDescriptionFn copyDescription) {
  if (copyDescription == nullptr) return "<" + __CFAddressText(value) + ">";
  if (value == nullptr) return "(null)";
  // The standard callbacks describe CF objects: ask the object directly.
  if (copyDescription == CFCopyDescription) return CFObj(value)->Describe();
  CFStringRef text = copyDescription(value);
  std::string result = text ? UTF8OfString(text) : "<" + __CFAddressText(value) + ">";
  if (text) CFRelease(text);
  return result;
}

void __CFMergeSort(const void** values, CFIndex n, CFComparatorFunction comparator,
                   void* context) {
  if (n < 2 || values == nullptr || comparator == nullptr) return;
  std::vector<const void*> buffer(static_cast<size_t>(n));
  const void** from = values;
  const void** to = buffer.data();
  // Bottom-up: runs of width 1, 2, 4, ... are merged from one array into the other.
  for (CFIndex width = 1; width < n; width *= 2) {
    for (CFIndex lo = 0; lo < n; lo += 2 * width) {
      CFIndex mid = lo + width < n ? lo + width : n;
      CFIndex hi = lo + 2 * width < n ? lo + 2 * width : n;
      CFIndex i = lo, j = mid, k = lo;
      while (i < mid && j < hi) {
        // The right-hand value goes first only when strictly before: stable.
        if (comparator(from[j], from[i], context) < 0)
          to[k++] = from[j++];
        else
          to[k++] = from[i++];
      }
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    std::swap(from, to);
  }
  if (from != values)
    for (CFIndex i = 0; i < n; ++i) values[i] = from[i];
}

const void* __CFTypeCollectionRetain(CFAllocatorRef, const void* value) { return CFRetain(value); }
void __CFTypeCollectionRelease(CFAllocatorRef, const void* value) { CFRelease(value); }
const void* __CFStringCollectionCopy(CFAllocatorRef allocator, const void* value) {
  return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
}

// ---------------------------------------------------------------------------
// CFArray

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, __CFTypeCollectionRetain,
                                                __CFTypeCollectionRelease, CFCopyDescription,
                                                CFEqual};

struct __CFArray : __CFRuntimeBase {
  __CFArray(CFAllocatorRef alloc, const CFArrayCallBacks* cb, bool isMutable)
      : __CFRuntimeBase(kCFTypeIDArray), allocator(alloc), mutableArray(isMutable) {
    if (cb != nullptr) callBacks = *cb;
  }

  ~__CFArray() override {
    std::vector<const void*> old;
    old.swap(values);
    for (const void* v : old) Release(v);
  }

  const void* Retain(const void* v) const { return callBacks.retain ? callBacks.retain(allocator, v) : v; }
  void Release(const void* v) const {
    if (callBacks.release) callBacks.release(allocator, v);
  }
  bool ValuesEqual(const void* a, const void* b) const {
    return a == b || (callBacks.equal != nullptr && callBacks.equal(a, b));
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFArray*>(other);
    if (o->values.size() != values.size()) return false;
    for (size_t i = 0; i < values.size(); ++i)
      if (!ValuesEqual(values[i], o->values[i])) return false;
    return true;
  }
  CFHashCode Hash() const override { return CFHashCode(values.size()); }

  std::string Describe() const override {
    __CFDescribeDepth depth;
    std::string s = "<CFArray " + __CFAddressText(this) + " [" +
                    (mutableArray ? "mutable" : "immutable") +
                    "]>{count = " + std::to_string(values.size()) + ", values = (";
    if (depth.tooDeep()) return s + "...)}";
    for (size_t i = 0; i < values.size(); ++i)
      s += "\n\t" + std::to_string(i) + " : " +
           __CFDescribeElement(values[i], callBacks.copyDescription);
    return s + (values.empty() ? ")}" : "\n)}");
  }

  CFAllocatorRef allocator;
  CFArrayCallBacks callBacks{0, nullptr, nullptr, nullptr, nullptr};
  bool mutableArray;
  std::vector<const void*> values;
};

namespace {

__CFArray* ArrayOf(CFTypeRef a, const char* fn) { return __CFCheckedCast<__CFArray>(a, kCFTypeIDArray, fn); }

__CFArray* MutableArrayOf(CFTypeRef a, const char* fn) {
  __CFArray* arr = ArrayOf(a, fn);
  if (arr != nullptr && !arr->mutableArray) {
    __CFCollectionDiag(fn, "immutable array, not changed");
    return nullptr;
  }
  return arr;
}

CFIndex CountOf(const __CFArray* a) { return CFIndex(a->values.size()); }

// Replaces the values in range with newCount new ones: the new values are
// retained first, the old ones released last, once the array is consistent.
void Replace(__CFArray* a, CFRange range, const void** newValues, CFIndex newCount) {
  std::vector<const void*> incoming;
  incoming.reserve(size_t(newCount));
  for (CFIndex i = 0; i < newCount; ++i) incoming.push_back(a->Retain(newValues[i]));
  auto first = a->values.begin() + range.location;
  std::vector<const void*> outgoing(first, first + range.length);
  if (range.length == newCount) {
    std::copy(incoming.begin(), incoming.end(), first);
  } else {
    a->values.erase(first, first + range.length);
    a->values.insert(a->values.begin() + range.location, incoming.begin(), incoming.end());
  }
  for (const void* v : outgoing) a->Release(v);
}

CFMutableArrayRef NewArray(CFAllocatorRef allocator, const CFArrayCallBacks* cb, bool isMutable,
                           const void* const* values, CFIndex count) {
  auto* a = new (std::nothrow) __CFArray(allocator, cb, isMutable);
  if (a == nullptr) return nullptr;
  try {
    a->values.reserve(size_t(count));
  } catch (const std::exception&) {
    __CFCollectionDiag("CFArrayCreate", "out of memory");
    delete a;
    return nullptr;
  }
  for (CFIndex i = 0; i < count; ++i) a->values.push_back(a->Retain(values[i]));
  return reinterpret_cast<CFMutableArrayRef>(static_cast<__CFRuntimeBase*>(a));
}

}  // namespace

CFTypeID CFArrayGetTypeID() { return kCFTypeIDArray; }

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks) {
  if (numValues < 0 || (numValues > 0 && values == nullptr)) {
    __CFCollectionDiag("CFArrayCreate", "bad value list");
    return nullptr;
  }
  return NewArray(allocator, callBacks, false, values, numValues);
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray) {
  __CFArray* a = ArrayOf(theArray, "CFArrayCreateCopy");
  if (a == nullptr) return nullptr;
  return NewArray(allocator, &a->callBacks, false, a->values.data(), CountOf(a));
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks) {
  if (capacity < 0) {
    __CFCollectionDiag("CFArrayCreateMutable", "negative capacity");
    return nullptr;
  }
  return NewArray(allocator, callBacks, true, nullptr, 0);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                           CFArrayRef theArray) {
  __CFArray* a = ArrayOf(theArray, "CFArrayCreateMutableCopy");
  if (a == nullptr || capacity < 0) return nullptr;
  return NewArray(allocator, &a->callBacks, true, a->values.data(), CountOf(a));
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetCount");
  return a ? CountOf(a) : 0;
}

CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void* value) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetCountOfValue");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayGetCountOfValue")) return 0;
  CFIndex n = 0;
  for (CFIndex i = range.location; i < range.location + range.length && i < CountOf(a); ++i)
    if (a->ValuesEqual(a->values[size_t(i)], value)) ++n;
  return n;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value) {
  return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetValueAtIndex");
  if (a == nullptr) return nullptr;
  if (idx < 0 || idx >= CountOf(a)) {
    __CFCollectionDiag("CFArrayGetValueAtIndex", "index outside the array");
    return nullptr;
  }
  return a->values[size_t(idx)];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetValues");
  if (a == nullptr || values == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayGetValues"))
    return;
  for (CFIndex i = 0; i < range.length; ++i) values[i] = a->values[size_t(range.location + i)];
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier,
                          void* context) {
  __CFArray* a = ArrayOf(theArray, "CFArrayApplyFunction");
  if (a == nullptr || applier == nullptr ||
      !__CFCheckRange(range, CountOf(a), "CFArrayApplyFunction"))
    return;
  // The count is read again each time: an applier that shrinks the array
  // ends the walk early instead of reading past it.
  for (CFIndex i = range.location; i < range.location + range.length && i < CountOf(a); ++i)
    applier(a->values[size_t(i)], context);
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetFirstIndexOfValue");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayGetFirstIndexOfValue"))
    return kCFNotFound;
  for (CFIndex i = range.location; i < range.location + range.length && i < CountOf(a); ++i)
    if (a->ValuesEqual(a->values[size_t(i)], value)) return i;
  return kCFNotFound;
}

CFIndex CFArrayGetLastIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
  __CFArray* a = ArrayOf(theArray, "CFArrayGetLastIndexOfValue");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayGetLastIndexOfValue"))
    return kCFNotFound;
  for (CFIndex i = range.location + range.length - 1; i >= range.location; --i)
    if (i < CountOf(a) && a->ValuesEqual(a->values[size_t(i)], value)) return i;
  return kCFNotFound;
}

CFIndex CFArrayBSearchValues(CFArrayRef theArray, CFRange range, const void* value,
                             CFComparatorFunction comparator, void* context) {
  __CFArray* a = ArrayOf(theArray, "CFArrayBSearchValues");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayBSearchValues"))
    return range.location;
  if (comparator == nullptr) return range.location;
  // The first position whose value is not before the one sought.
  CFIndex lo = range.location, hi = range.location + range.length;
  while (lo < hi) {
    CFIndex mid = lo + (hi - lo) / 2;
    if (comparator(a->values[size_t(mid)], value, context) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayAppendValue");
  if (a == nullptr) return;
  a->values.push_back(a->Retain(value));
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayInsertValueAtIndex");
  if (a == nullptr) return;
  if (idx < 0 || idx > CountOf(a)) {
    __CFCollectionDiag("CFArrayInsertValueAtIndex", "index outside the array");
    return;
  }
  a->values.insert(a->values.begin() + idx, a->Retain(value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
  __CFArray* a = MutableArrayOf(theArray, "CFArraySetValueAtIndex");
  if (a == nullptr) return;
  if (idx < 0 || idx > CountOf(a)) {
    __CFCollectionDiag("CFArraySetValueAtIndex", "index outside the array");
    return;
  }
  const void* v = value;
  Replace(a, CFRangeMake(idx, idx == CountOf(a) ? 0 : 1), &v, 1);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayRemoveValueAtIndex");
  if (a == nullptr) return;
  if (idx < 0 || idx >= CountOf(a)) {
    __CFCollectionDiag("CFArrayRemoveValueAtIndex", "index outside the array");
    return;
  }
  const void* old = a->values[size_t(idx)];
  a->values.erase(a->values.begin() + idx);
  a->Release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayRemoveAllValues");
  if (a == nullptr) return;
  std::vector<const void*> old;
  old.swap(a->values);
  for (const void* v : old) a->Release(v);
}

void CFArrayReplaceValues(CFMutableArrayRef theArray, CFRange range, const void** newValues,
                          CFIndex newCount) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayReplaceValues");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArrayReplaceValues")) return;
  if (newCount < 0 || (newCount > 0 && newValues == nullptr)) {
    __CFCollectionDiag("CFArrayReplaceValues", "bad value list");
    return;
  }
  Replace(a, range, newValues, newCount);
}

void CFArrayExchangeValuesAtIndices(CFMutableArrayRef theArray, CFIndex idx1, CFIndex idx2) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayExchangeValuesAtIndices");
  if (a == nullptr) return;
  if (idx1 < 0 || idx1 >= CountOf(a) || idx2 < 0 || idx2 >= CountOf(a)) {
    __CFCollectionDiag("CFArrayExchangeValuesAtIndices", "index outside the array");
    return;
  }
  std::swap(a->values[size_t(idx1)], a->values[size_t(idx2)]);
}

void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator,
                       void* context) {
  __CFArray* a = MutableArrayOf(theArray, "CFArraySortValues");
  if (a == nullptr || !__CFCheckRange(range, CountOf(a), "CFArraySortValues")) return;
  if (comparator == nullptr || range.length < 2) return;
  // Sorted in a copy: a comparator that touches the array sees it unchanged.
  std::vector<const void*> part(a->values.begin() + range.location,
                                a->values.begin() + range.location + range.length);
  __CFMergeSort(part.data(), CFIndex(part.size()), comparator, context);
  if (range.location + range.length <= CountOf(a))
    std::copy(part.begin(), part.end(), a->values.begin() + range.location);
}

void CFArrayAppendArray(CFMutableArrayRef theArray, CFArrayRef otherArray, CFRange otherRange) {
  __CFArray* a = MutableArrayOf(theArray, "CFArrayAppendArray");
  __CFArray* other = ArrayOf(otherArray, "CFArrayAppendArray");
  if (a == nullptr || other == nullptr ||
      !__CFCheckRange(otherRange, CountOf(other), "CFArrayAppendArray"))
    return;
  // Copied first, since other may be the array itself.
  std::vector<const void*> incoming(other->values.begin() + otherRange.location,
                                    other->values.begin() + otherRange.location + otherRange.length);
  Replace(a, CFRangeMake(CountOf(a), 0), incoming.data(), CFIndex(incoming.size()));
}
