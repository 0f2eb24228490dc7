#include "CFSet.h"

#include <new>

#include "CFCollectionInternal.h"
#include "CFString.h"

const CFSetCallBacks kCFTypeSetCallBacks = {
    0, __CFTypeCollectionRetain, __CFTypeCollectionRelease, CFCopyDescription, CFEqual, CFHash};
const CFSetCallBacks kCFCopyStringSetCallBacks = {
    0, __CFStringCollectionCopy, __CFTypeCollectionRelease, CFCopyDescription, CFEqual, CFHash};

namespace {
const CFSetCallBacks kNoSetCallBacks = {0, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace

struct __CFSet : __CFRuntimeBase {
  __CFSet(CFAllocatorRef alloc, const CFSetCallBacks* cb, bool isMutable)
      : __CFRuntimeBase(kCFTypeIDSet),
        allocator(alloc),
        callBacks(cb ? *cb : kNoSetCallBacks),
        mutableSet(isMutable),
        table(callBacks.equal, callBacks.hash) {}

  ~__CFSet() override {
    for (const auto& e : table.TakeAll()) Release(e.key);
  }

  const void* Retain(const void* v) const { return callBacks.retain ? callBacks.retain(allocator, v) : v; }
  void Release(const void* v) const {
    if (callBacks.release) callBacks.release(allocator, v);
  }

  void Put(const void* value, bool mayAdd, bool mayReplace) {
    CFIndex pos = table.Find(value);
    if (pos >= 0) {
      if (!mayReplace) return;
      const void* incoming = Retain(value);
      const void* old = table.At(pos).key;
      table.Rekey(pos, incoming);
      Release(old);
    } else if (mayAdd) {
      const void* v = Retain(value);
      table.Insert(v, v, table.HashOf(v));
    }
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFSet*>(other);
    if (o->table.Count() != table.Count()) return false;
    for (const auto& e : table.Entries())
      if (e.live && o->table.Find(e.key) < 0) return false;
    return true;
  }
  CFHashCode Hash() const override { return CFHashCode(table.Count()); }

  std::string Describe() const override {
    __CFDescribeDepth depth;
    std::string s = "<CFSet " + __CFAddressText(this) + " [" +
                    (mutableSet ? "mutable" : "immutable") +
                    "]>{count = " + std::to_string(table.Count()) + ", values = (";
    if (depth.tooDeep()) return s + "...)}";
    for (const auto& e : table.Entries())
      if (e.live) s += "\n\t" + __CFDescribeElement(e.key, callBacks.copyDescription);
    return s + (table.Count() == 0 ? ")}" : "\n)}");
  }

  CFAllocatorRef allocator;
  CFSetCallBacks callBacks;
  bool mutableSet;
  __CFOrderedHash table;
};

namespace {

__CFSet* SetOf(CFTypeRef s, const char* fn) { return __CFCheckedCast<__CFSet>(s, kCFTypeIDSet, fn); }

__CFSet* MutableSetOf(CFTypeRef s, const char* fn) {
  __CFSet* set = SetOf(s, fn);
  if (set != nullptr && !set->mutableSet) {
    __CFCollectionDiag(fn, "immutable set, not changed");
    return nullptr;
  }
  return set;
}

CFMutableSetRef AsRef(__CFSet* s) {
  return reinterpret_cast<CFMutableSetRef>(static_cast<__CFRuntimeBase*>(s));
}

__CFSet* CopyOf(CFAllocatorRef allocator, const __CFSet* src, bool isMutable) {
  auto* s = new (std::nothrow) __CFSet(allocator, &src->callBacks, isMutable);
  if (s == nullptr) return nullptr;
  for (const auto& e : src->table.Entries())
    if (e.live) s->Put(e.key, true, false);
  return s;
}

}  // namespace

CFTypeID CFSetGetTypeID() { return kCFTypeIDSet; }

CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                     const CFSetCallBacks* callBacks) {
  if (numValues < 0 || (numValues > 0 && values == nullptr)) {
    __CFCollectionDiag("CFSetCreate", "bad value list");
    return nullptr;
  }
  auto* s = new (std::nothrow) __CFSet(allocator, callBacks, false);
  if (s == nullptr) return nullptr;
  for (CFIndex i = 0; i < numValues; ++i) s->Put(values[i], true, false);
  return AsRef(s);
}

CFSetRef CFSetCreateCopy(CFAllocatorRef allocator, CFSetRef theSet) {
  __CFSet* src = SetOf(theSet, "CFSetCreateCopy");
  return src ? AsRef(CopyOf(allocator, src, false)) : nullptr;
}

CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                   const CFSetCallBacks* callBacks) {
  if (capacity < 0) {
    __CFCollectionDiag("CFSetCreateMutable", "negative capacity");
    return nullptr;
  }
  auto* s = new (std::nothrow) __CFSet(allocator, callBacks, true);
  return s ? AsRef(s) : nullptr;
}

CFMutableSetRef CFSetCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFSetRef theSet) {
  __CFSet* src = SetOf(theSet, "CFSetCreateMutableCopy");
  if (src == nullptr || capacity < 0) return nullptr;
  __CFSet* s = CopyOf(allocator, src, true);
  return s ? AsRef(s) : nullptr;
}

CFIndex CFSetGetCount(CFSetRef theSet) {
  __CFSet* s = SetOf(theSet, "CFSetGetCount");
  return s ? s->table.Count() : 0;
}

CFIndex CFSetGetCountOfValue(CFSetRef theSet, const void* value) {
  __CFSet* s = SetOf(theSet, "CFSetGetCountOfValue");
  return s && s->table.Find(value) >= 0 ? 1 : 0;
}

Boolean CFSetContainsValue(CFSetRef theSet, const void* value) {
  return CFSetGetCountOfValue(theSet, value) > 0;
}

const void* CFSetGetValue(CFSetRef theSet, const void* value) {
  const void* stored = nullptr;
  return CFSetGetValueIfPresent(theSet, value, &stored) ? stored : nullptr;
}

Boolean CFSetGetValueIfPresent(CFSetRef theSet, const void* candidate, const void** value) {
  __CFSet* s = SetOf(theSet, "CFSetGetValueIfPresent");
  if (s == nullptr) return false;
  CFIndex pos = s->table.Find(candidate);
  if (pos < 0) return false;
  if (value != nullptr) *value = s->table.Entries()[size_t(pos)].key;
  return true;
}

void CFSetGetValues(CFSetRef theSet, const void** values) {
  __CFSet* s = SetOf(theSet, "CFSetGetValues");
  if (s == nullptr || values == nullptr) return;
  size_t i = 0;
  for (const auto& e : s->table.Entries())
    if (e.live) values[i++] = e.key;
}

void CFSetApplyFunction(CFSetRef theSet, CFSetApplierFunction applier, void* context) {
  __CFSet* s = SetOf(theSet, "CFSetApplyFunction");
  if (s == nullptr || applier == nullptr) return;
  for (size_t i = 0; i < s->table.Entries().size(); ++i) {
    const auto& e = s->table.Entries()[i];
    if (!e.live) continue;
    const void* v = e.key;
    applier(v, context);
  }
}

void CFSetAddValue(CFMutableSetRef theSet, const void* value) {
  __CFSet* s = MutableSetOf(theSet, "CFSetAddValue");
  if (s) s->Put(value, true, false);
}

void CFSetReplaceValue(CFMutableSetRef theSet, const void* value) {
  __CFSet* s = MutableSetOf(theSet, "CFSetReplaceValue");
  if (s) s->Put(value, false, true);
}

void CFSetSetValue(CFMutableSetRef theSet, const void* value) {
  __CFSet* s = MutableSetOf(theSet, "CFSetSetValue");
  if (s) s->Put(value, true, true);
}

void CFSetRemoveValue(CFMutableSetRef theSet, const void* value) {
  __CFSet* s = MutableSetOf(theSet, "CFSetRemoveValue");
  if (s == nullptr) return;
  CFIndex pos = s->table.Find(value);
  if (pos < 0) return;
  const void* old = s->table.At(pos).key;
  s->table.Erase(pos);
  s->Release(old);
}

void CFSetRemoveAllValues(CFMutableSetRef theSet) {
  __CFSet* s = MutableSetOf(theSet, "CFSetRemoveAllValues");
  if (s == nullptr) return;
  for (const auto& e : s->table.TakeAll()) s->Release(e.key);
}
