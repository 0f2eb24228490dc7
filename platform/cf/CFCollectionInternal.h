// Internal to the platform library: what the CF collections share — argument
// checks with their diagnostics, element descriptions, the stable merge sort
// and the insertion-ordered hash table behind dictionaries, sets and bags.
#pragma once

#include <string>
#include <vector>

#include "CFRuntime.h"

// One diagnostic line on standard error: "<function>: <what>".
void __CFCollectionDiag(const char* function, const char* what);

// The object as T when it is of the expected type. Nil gives nil quietly; an
// object of another type gives nil and a diagnostic.
template <typename T>
T* __CFCheckedCast(CFTypeRef cf, CFTypeID type, const char* function) {
  if (cf == nullptr) return nullptr;
  T* obj = CFCast<T>(cf, type);
  if (obj == nullptr) __CFCollectionDiag(function, "object of another type");
  return obj;
}

// True when range lies within [0, count]; writes a diagnostic otherwise.
bool __CFCheckRange(CFRange range, CFIndex count, const char* function);

// The description of one element: through its copy-description callback when
// there is one, the CF object's own description for the standard callbacks,
// the address otherwise. Nesting deeper than a fixed limit is shown as "...",
// so a hostile nest of collections cannot exhaust the stack.
typedef CFStringRef (*__CFCopyDescriptionFn)(const void* value);
std::string __CFDescribeElement(const void* value, __CFCopyDescriptionFn copyDescription);

// Keeps the depth of nested descriptions; false when too deep.
class __CFDescribeDepth {
 public:
  __CFDescribeDepth();
  ~__CFDescribeDepth();
  bool tooDeep() const;
  __CFDescribeDepth(const __CFDescribeDepth&) = delete;
  __CFDescribeDepth& operator=(const __CFDescribeDepth&) = delete;
};

std::string __CFAddressText(const void* p);

// Stable merge sort of n values: a later value moves before an earlier one only
// when comparator(later, earlier, context) < 0. Never reads outside the values,
// whatever the comparator answers.
void __CFMergeSort(const void** values, CFIndex n, CFComparatorFunction comparator, void* context);

// The standard callbacks on CF objects.
const void* __CFTypeCollectionRetain(CFAllocatorRef allocator, const void* value);
void __CFTypeCollectionRelease(CFAllocatorRef allocator, const void* value);
const void* __CFStringCollectionCopy(CFAllocatorRef allocator, const void* value);

// Hash table over entries kept in insertion order. Entries are looked up by
// hash and an equality callback (nil: identity); removal leaves a hole that
// is compacted away later, so enumeration order is never disturbed.
class __CFOrderedHash {
 public:
  typedef Boolean (*EqualFn)(const void*, const void*);
  typedef CFHashCode (*HashFn)(const void*);

  struct Entry {
    const void* key;
    const void* value;
    CFHashCode hash;
    CFIndex count;  // occurrences (bags); 1 otherwise
    bool live;
  };

  __CFOrderedHash(EqualFn equal, HashFn hash) : equal_(equal), hash_(hash) {}

  CFHashCode HashOf(const void* key) const {
    return hash_ ? hash_(key) : CFHashCode(reinterpret_cast<uintptr_t>(key));
  }
  bool KeysEqual(const void* stored, const void* candidate) const {
    return stored == candidate || (equal_ != nullptr && equal_(stored, candidate));
  }

  // Position in Entries() of the live entry whose key equals key, or -1.
  CFIndex Find(const void* key) const;
  // Appends an entry whose key is known to be absent; returns its position.
  CFIndex Insert(const void* key, const void* value, CFHashCode hash, CFIndex count = 1);
  // Gives the entry at pos a new key (an equal one) in place.
  void Rekey(CFIndex pos, const void* key);
  // Marks the entry at pos removed. Positions of other entries may change.
  void Erase(CFIndex pos);
  // Moves the live entries out, in order, and empties the table.
  std::vector<Entry> TakeAll();

  CFIndex Count() const { return live_; }
  const std::vector<Entry>& Entries() const { return entries_; }
  Entry& At(CFIndex pos) { return entries_[size_t(pos)]; }

 private:
  void Rebuild(size_t minSlots);
  size_t SlotOf(CFHashCode hash) const;

  EqualFn equal_;
  HashFn hash_;
  std::vector<Entry> entries_;
  std::vector<CFIndex> slots_;  // -1 empty, -2 removed, else position in entries_
  CFIndex live_ = 0;
  size_t usedSlots_ = 0;  // slots that are not empty (live or removed)
};
