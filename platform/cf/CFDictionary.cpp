#include "CFDictionary.h"

#include <new>
#include <vector>

#include "CFCollectionInternal.h"
#include "CFString.h"

// ---------------------------------------------------------------------------
// The insertion-ordered hash table shared with sets and bags.

size_t __CFOrderedHash::SlotOf(CFHashCode hash) const {
  // Fibonacci mixing: addresses used as hashes share their low bits.
  uint64_t mixed = uint64_t(hash) * 0x9E3779B97F4A7C15ull;
  mixed ^= mixed >> 29;
  return size_t(mixed) & (slots_.size() - 1);
}

CFIndex __CFOrderedHash::Find(const void* key) const {
  if (slots_.empty() || live_ == 0) return -1;
  CFHashCode h = HashOf(key);
  size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(h);; i = (i + 1) & mask) {
    CFIndex s = slots_[i];
    if (s == -1) return -1;
    if (s >= 0) {
      const Entry& e = entries_[size_t(s)];
      if (e.hash == h && KeysEqual(e.key, key)) return s;
    }
  }
}

void __CFOrderedHash::Rebuild(size_t minSlots) {
  // Drop removed entries, keeping the order of the rest.
  if (CFIndex(entries_.size()) != live_) {
    size_t out = 0;
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].live) entries_[out++] = entries_[i];
    entries_.resize(out);
  }
  size_t size = 16;
  while (size < minSlots || size < 2 * (entries_.size() + 1)) size *= 2;
  slots_.assign(size, -1);
  size_t mask = size - 1;
  for (size_t pos = 0; pos < entries_.size(); ++pos) {
    size_t i = SlotOf(entries_[pos].hash);
    while (slots_[i] != -1) i = (i + 1) & mask;
    slots_[i] = CFIndex(pos);
  }
  usedSlots_ = entries_.size();
}

CFIndex __CFOrderedHash::Insert(const void* key, const void* value, CFHashCode hash,
                                CFIndex count) {
  // At most half the slots in use, so every probe meets an empty slot.
  if ((usedSlots_ + 1) * 2 > slots_.size()) Rebuild(4 * size_t(live_ + 1));
  CFIndex pos = CFIndex(entries_.size());
  entries_.push_back(Entry{key, value, hash, count, true});
  size_t mask = slots_.size() - 1;
  size_t i = SlotOf(hash);
  while (slots_[i] >= 0) i = (i + 1) & mask;
  if (slots_[i] == -1) ++usedSlots_;
  slots_[i] = pos;
  ++live_;
  return pos;
}

void __CFOrderedHash::Rekey(CFIndex pos, const void* key) {
  Entry& e = entries_[size_t(pos)];
  CFHashCode h = HashOf(key);
  if (h == e.hash) {
    e.key = key;
    return;
  }
  // A hash that disagrees with equality: move the entry's slot, keep its position.
  size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(e.hash);; i = (i + 1) & mask) {
    if (slots_[i] == pos) {
      slots_[i] = -2;
      break;
    }
    if (slots_[i] == -1) break;
  }
  e.key = key;
  e.hash = h;
  size_t i = SlotOf(h);
  while (slots_[i] >= 0) i = (i + 1) & mask;
  if (slots_[i] == -1) ++usedSlots_;
  slots_[i] = pos;
  if (usedSlots_ * 2 > slots_.size()) Rebuild(slots_.size() * 2);
}

void __CFOrderedHash::Erase(CFIndex pos) {
  if (pos < 0 || size_t(pos) >= entries_.size() || !entries_[size_t(pos)].live) return;
  size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(entries_[size_t(pos)].hash);; i = (i + 1) & mask) {
    if (slots_[i] == pos) {
      slots_[i] = -2;
      break;
    }
    if (slots_[i] == -1) break;  // not reachable while the table is consistent
  }
  entries_[size_t(pos)].live = false;
  --live_;
  CFIndex removed = CFIndex(entries_.size()) - live_;
  if (live_ == 0) {
    entries_.clear();
    slots_.clear();
    usedSlots_ = 0;
  } else if (removed > 16 && removed > live_) {
    Rebuild(slots_.size());
  }
}

std::vector<__CFOrderedHash::Entry> __CFOrderedHash::TakeAll() {
  std::vector<Entry> out;
  out.reserve(size_t(live_));
  for (const Entry& e : entries_)
    if (e.live) out.push_back(e);
  entries_.clear();
  slots_.clear();
  usedSlots_ = 0;
  live_ = 0;
  return out;
}

// ---------------------------------------------------------------------------
// CFDictionary

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, __CFTypeCollectionRetain, __CFTypeCollectionRelease, CFCopyDescription, CFEqual, CFHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, __CFStringCollectionCopy, __CFTypeCollectionRelease, CFCopyDescription, CFEqual, CFHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
    0, __CFTypeCollectionRetain, __CFTypeCollectionRelease, CFCopyDescription, CFEqual};

namespace {
const CFDictionaryKeyCallBacks kNoKeyCallBacks = {0, nullptr, nullptr, nullptr, nullptr, nullptr};
const CFDictionaryValueCallBacks kNoValueCallBacks = {0, nullptr, nullptr, nullptr, nullptr};
}  // namespace

struct __CFDictionary : __CFRuntimeBase {
  __CFDictionary(CFAllocatorRef alloc, const CFDictionaryKeyCallBacks* kcb,
                 const CFDictionaryValueCallBacks* vcb, bool isMutable)
      : __CFRuntimeBase(kCFTypeIDDictionary),
        allocator(alloc),
        keyCallBacks(kcb ? *kcb : kNoKeyCallBacks),
        valueCallBacks(vcb ? *vcb : kNoValueCallBacks),
        mutableDictionary(isMutable),
        table(keyCallBacks.equal, keyCallBacks.hash) {}

  ~__CFDictionary() override {
    for (const auto& e : table.TakeAll()) ReleasePair(e.key, e.value);
  }

  const void* RetainKey(const void* k) const {
    return keyCallBacks.retain ? keyCallBacks.retain(allocator, k) : k;
  }
  const void* RetainValue(const void* v) const {
    return valueCallBacks.retain ? valueCallBacks.retain(allocator, v) : v;
  }
  void ReleaseValue(const void* v) const {
    if (valueCallBacks.release) valueCallBacks.release(allocator, v);
  }
  void ReleasePair(const void* k, const void* v) const {
    if (keyCallBacks.release) keyCallBacks.release(allocator, k);
    ReleaseValue(v);
  }
  bool ValuesEqual(const void* a, const void* b) const {
    return a == b || (valueCallBacks.equal != nullptr && valueCallBacks.equal(a, b));
  }

  // Adds the pair, or replaces the value of a present key (which keeps its
  // key and its position).
  void Set(const void* key, const void* value, bool mayAdd, bool mayReplace) {
    CFIndex pos = table.Find(key);
    if (pos >= 0) {
      if (!mayReplace) return;
      const void* incoming = RetainValue(value);
      const void* old = table.At(pos).value;
      table.At(pos).value = incoming;
      ReleaseValue(old);
    } else if (mayAdd) {
      const void* k = RetainKey(key);
      const void* v = RetainValue(value);
      table.Insert(k, v, table.HashOf(k));
    }
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFDictionary*>(other);
    if (o->table.Count() != table.Count()) return false;
    for (const auto& e : table.Entries()) {
      if (!e.live) continue;
      CFIndex pos = o->table.Find(e.key);
      if (pos < 0 || !ValuesEqual(e.value, o->table.Entries()[size_t(pos)].value)) return false;
    }
    return true;
  }
  CFHashCode Hash() const override { return CFHashCode(table.Count()); }

  std::string Describe() const override {
    __CFDescribeDepth depth;
    std::string s = "<CFDictionary " + __CFAddressText(this) + " [" +
                    (mutableDictionary ? "mutable" : "immutable") +
                    "]>{count = " + std::to_string(table.Count()) + ", pairs = (";
    if (depth.tooDeep()) return s + "...)}";
    for (const auto& e : table.Entries()) {
      if (!e.live) continue;
      s += "\n\t" + __CFDescribeElement(e.key, keyCallBacks.copyDescription) + " : " +
           __CFDescribeElement(e.value, valueCallBacks.copyDescription);
    }
    return s + (table.Count() == 0 ? ")}" : "\n)}");
  }

  CFAllocatorRef allocator;
  CFDictionaryKeyCallBacks keyCallBacks;
  CFDictionaryValueCallBacks valueCallBacks;
  bool mutableDictionary;
  __CFOrderedHash table;
};

namespace {

__CFDictionary* DictOf(CFTypeRef d, const char* fn) {
  return __CFCheckedCast<__CFDictionary>(d, kCFTypeIDDictionary, fn);
}

__CFDictionary* MutableDictOf(CFTypeRef d, const char* fn) {
  __CFDictionary* dict = DictOf(d, fn);
  if (dict != nullptr && !dict->mutableDictionary) {
    __CFCollectionDiag(fn, "immutable dictionary, not changed");
    return nullptr;
  }
  return dict;
}

CFMutableDictionaryRef AsRef(__CFDictionary* d) {
  return reinterpret_cast<CFMutableDictionaryRef>(static_cast<__CFRuntimeBase*>(d));
}

__CFDictionary* CopyOf(CFAllocatorRef allocator, const __CFDictionary* src, bool isMutable) {
  auto* d = new (std::nothrow)
      __CFDictionary(allocator, &src->keyCallBacks, &src->valueCallBacks, isMutable);
  if (d == nullptr) return nullptr;
  for (const auto& e : src->table.Entries())
    if (e.live) d->Set(e.key, e.value, true, true);
  return d;
}

}  // namespace

CFTypeID CFDictionaryGetTypeID() { return kCFTypeIDDictionary; }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
  if (numValues < 0 || (numValues > 0 && (keys == nullptr || values == nullptr))) {
    __CFCollectionDiag("CFDictionaryCreate", "bad key or value list");
    return nullptr;
  }
  auto* d = new (std::nothrow) __CFDictionary(allocator, keyCallBacks, valueCallBacks, false);
  if (d == nullptr) return nullptr;
  // A repeated key keeps its first position and takes the last value.
  for (CFIndex i = 0; i < numValues; ++i) d->Set(keys[i], values[i], true, true);
  return AsRef(d);
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict) {
  __CFDictionary* src = DictOf(theDict, "CFDictionaryCreateCopy");
  return src ? AsRef(CopyOf(allocator, src, false)) : nullptr;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
  if (capacity < 0) {
    __CFCollectionDiag("CFDictionaryCreateMutable", "negative capacity");
    return nullptr;
  }
  auto* d = new (std::nothrow) __CFDictionary(allocator, keyCallBacks, valueCallBacks, true);
  return d ? AsRef(d) : nullptr;
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
  __CFDictionary* src = DictOf(theDict, "CFDictionaryCreateMutableCopy");
  if (src == nullptr || capacity < 0) return nullptr;
  __CFDictionary* d = CopyOf(allocator, src, true);
  return d ? AsRef(d) : nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryGetCount");
  return d ? d->table.Count() : 0;
}

CFIndex CFDictionaryGetCountOfKey(CFDictionaryRef theDict, const void* key) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryGetCountOfKey");
  return d && d->table.Find(key) >= 0 ? 1 : 0;
}

CFIndex CFDictionaryGetCountOfValue(CFDictionaryRef theDict, const void* value) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryGetCountOfValue");
  if (d == nullptr) return 0;
  CFIndex n = 0;
  for (const auto& e : d->table.Entries())
    if (e.live && d->ValuesEqual(e.value, value)) ++n;
  return n;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key) {
  return CFDictionaryGetCountOfKey(theDict, key) > 0;
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void* value) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryContainsValue");
  if (d == nullptr) return false;
  for (const auto& e : d->table.Entries())
    if (e.live && d->ValuesEqual(e.value, value)) return true;
  return false;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
  const void* value = nullptr;
  return CFDictionaryGetValueIfPresent(theDict, key, &value) ? value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key,
                                      const void** value) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryGetValueIfPresent");
  if (d == nullptr) return false;
  CFIndex pos = d->table.Find(key);
  if (pos < 0) return false;
  if (value != nullptr) *value = d->table.Entries()[size_t(pos)].value;
  return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryGetKeysAndValues");
  if (d == nullptr) return;
  size_t i = 0;
  for (const auto& e : d->table.Entries()) {
    if (!e.live) continue;
    if (keys) keys[i] = e.key;
    if (values) values[i] = e.value;
    ++i;
  }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier,
                               void* context) {
  __CFDictionary* d = DictOf(theDict, "CFDictionaryApplyFunction");
  if (d == nullptr || applier == nullptr) return;
  // By position, checked each time: an applier that changes the dictionary
  // may see an incomplete walk, but nothing is read outside it.
  for (size_t i = 0; i < d->table.Entries().size(); ++i) {
    const auto& e = d->table.Entries()[i];
    if (!e.live) continue;
    const void* k = e.key;
    const void* v = e.value;
    applier(k, v, context);
  }
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  __CFDictionary* d = MutableDictOf(theDict, "CFDictionaryAddValue");
  if (d) d->Set(key, value, true, false);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  __CFDictionary* d = MutableDictOf(theDict, "CFDictionarySetValue");
  if (d) d->Set(key, value, true, true);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  __CFDictionary* d = MutableDictOf(theDict, "CFDictionaryReplaceValue");
  if (d) d->Set(key, value, false, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key) {
  __CFDictionary* d = MutableDictOf(theDict, "CFDictionaryRemoveValue");
  if (d == nullptr) return;
  CFIndex pos = d->table.Find(key);
  if (pos < 0) return;
  const void* k = d->table.At(pos).key;
  const void* v = d->table.At(pos).value;
  d->table.Erase(pos);
  d->ReleasePair(k, v);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
  __CFDictionary* d = MutableDictOf(theDict, "CFDictionaryRemoveAllValues");
  if (d == nullptr) return;
  for (const auto& e : d->table.TakeAll()) d->ReleasePair(e.key, e.value);
}
