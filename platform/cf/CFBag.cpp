#include "CFBag.h"

#include <new>

#include "CFCollectionInternal.h"
#include "CFString.h"

const CFBagCallBacks kCFTypeBagCallBacks = {
    0, __CFTypeCollectionRetain, __CFTypeCollectionRelease, CFCopyDescription, CFEqual, CFHash};

namespace {
const CFBagCallBacks kNoBagCallBacks = {0, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace

// Each distinct value is one entry of the table, with its number of occurrences.
struct __CFBag : __CFRuntimeBase {
  __CFBag(CFAllocatorRef alloc, const CFBagCallBacks* cb, bool isMutable)
      : __CFRuntimeBase(kCFTypeIDBag),
        allocator(alloc),
        callBacks(cb ? *cb : kNoBagCallBacks),
        mutableBag(isMutable),
        table(callBacks.equal, callBacks.hash) {}

  ~__CFBag() override {
    for (const auto& e : table.TakeAll()) Release(e.key);
  }

  const void* Retain(const void* v) const { return callBacks.retain ? callBacks.retain(allocator, v) : v; }
  void Release(const void* v) const {
    if (callBacks.release) callBacks.release(allocator, v);
  }

  void Add(const void* value, CFIndex count) {
    CFIndex pos = table.Find(value);
    if (pos >= 0) {
      table.At(pos).count += count;
    } else {
      const void* v = Retain(value);
      table.Insert(v, v, table.HashOf(v), count);
    }
    total += count;
  }

  void Replace(CFIndex pos, const void* value) {
    const void* incoming = Retain(value);
    const void* old = table.At(pos).key;
    table.Rekey(pos, incoming);
    Release(old);
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFBag*>(other);
    if (o->total != total || o->table.Count() != table.Count()) return false;
    for (const auto& e : table.Entries()) {
      if (!e.live) continue;
      CFIndex pos = o->table.Find(e.key);
      if (pos < 0 || o->table.Entries()[size_t(pos)].count != e.count) return false;
    }
    return true;
  }
  CFHashCode Hash() const override { return CFHashCode(total); }

  std::string Describe() const override {
    __CFDescribeDepth depth;
    std::string s = "<CFBag " + __CFAddressText(this) + " [" +
                    (mutableBag ? "mutable" : "immutable") +
                    "]>{count = " + std::to_string(total) + ", values = (";
    if (depth.tooDeep()) return s + "...)}";
    for (const auto& e : table.Entries())
      if (e.live)
        s += "\n\t" + __CFDescribeElement(e.key, callBacks.copyDescription) + " (" +
             std::to_string(e.count) + ")";
    return s + (table.Count() == 0 ? ")}" : "\n)}");
  }

  CFAllocatorRef allocator;
  CFBagCallBacks callBacks;
  bool mutableBag;
  __CFOrderedHash table;
  CFIndex total = 0;  // occurrences over all values
};

namespace {

__CFBag* BagOf(CFTypeRef b, const char* fn) { return __CFCheckedCast<__CFBag>(b, kCFTypeIDBag, fn); }

__CFBag* MutableBagOf(CFTypeRef b, const char* fn) {
  __CFBag* bag = BagOf(b, fn);
  if (bag != nullptr && !bag->mutableBag) {
    __CFCollectionDiag(fn, "immutable bag, not changed");
    return nullptr;
  }
  return bag;
}

CFMutableBagRef AsRef(__CFBag* b) {
  return reinterpret_cast<CFMutableBagRef>(static_cast<__CFRuntimeBase*>(b));
}

__CFBag* CopyOf(CFAllocatorRef allocator, const __CFBag* src, bool isMutable) {
  auto* b = new (std::nothrow) __CFBag(allocator, &src->callBacks, isMutable);
  if (b == nullptr) return nullptr;
  for (const auto& e : src->table.Entries())
    if (e.live) b->Add(e.key, e.count);
  return b;
}

}  // namespace

CFTypeID CFBagGetTypeID() { return kCFTypeIDBag; }

CFBagRef CFBagCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                     const CFBagCallBacks* callBacks) {
  if (numValues < 0 || (numValues > 0 && values == nullptr)) {
    __CFCollectionDiag("CFBagCreate", "bad value list");
    return nullptr;
  }
  auto* b = new (std::nothrow) __CFBag(allocator, callBacks, false);
  if (b == nullptr) return nullptr;
  for (CFIndex i = 0; i < numValues; ++i) b->Add(values[i], 1);
  return AsRef(b);
}

CFBagRef CFBagCreateCopy(CFAllocatorRef allocator, CFBagRef theBag) {
  __CFBag* src = BagOf(theBag, "CFBagCreateCopy");
  return src ? AsRef(CopyOf(allocator, src, false)) : nullptr;
}

CFMutableBagRef CFBagCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                   const CFBagCallBacks* callBacks) {
  if (capacity < 0) {
    __CFCollectionDiag("CFBagCreateMutable", "negative capacity");
    return nullptr;
  }
  auto* b = new (std::nothrow) __CFBag(allocator, callBacks, true);
  return b ? AsRef(b) : nullptr;
}

CFMutableBagRef CFBagCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFBagRef theBag) {
  __CFBag* src = BagOf(theBag, "CFBagCreateMutableCopy");
  if (src == nullptr || capacity < 0) return nullptr;
  __CFBag* b = CopyOf(allocator, src, true);
  return b ? AsRef(b) : nullptr;
}

CFIndex CFBagGetCount(CFBagRef theBag) {
  __CFBag* b = BagOf(theBag, "CFBagGetCount");
  return b ? b->total : 0;
}

CFIndex CFBagGetCountOfValue(CFBagRef theBag, const void* value) {
  __CFBag* b = BagOf(theBag, "CFBagGetCountOfValue");
  if (b == nullptr) return 0;
  CFIndex pos = b->table.Find(value);
  return pos >= 0 ? b->table.Entries()[size_t(pos)].count : 0;
}

Boolean CFBagContainsValue(CFBagRef theBag, const void* value) {
  return CFBagGetCountOfValue(theBag, value) > 0;
}

const void* CFBagGetValue(CFBagRef theBag, const void* value) {
  const void* stored = nullptr;
  return CFBagGetValueIfPresent(theBag, value, &stored) ? stored : nullptr;
}

Boolean CFBagGetValueIfPresent(CFBagRef theBag, const void* candidate, const void** value) {
  __CFBag* b = BagOf(theBag, "CFBagGetValueIfPresent");
  if (b == nullptr) return false;
  CFIndex pos = b->table.Find(candidate);
  if (pos < 0) return false;
  if (value != nullptr) *value = b->table.Entries()[size_t(pos)].key;
  return true;
}

void CFBagGetValues(CFBagRef theBag, const void** values) {
  __CFBag* b = BagOf(theBag, "CFBagGetValues");
  if (b == nullptr || values == nullptr) return;
  size_t i = 0;
  for (const auto& e : b->table.Entries())
    if (e.live)
      for (CFIndex n = 0; n < e.count; ++n) values[i++] = e.key;
}

void CFBagApplyFunction(CFBagRef theBag, CFBagApplierFunction applier, void* context) {
  __CFBag* b = BagOf(theBag, "CFBagApplyFunction");
  if (b == nullptr || applier == nullptr) return;
  for (size_t i = 0; i < b->table.Entries().size(); ++i) {
    const auto& e = b->table.Entries()[i];
    if (!e.live) continue;
    const void* v = e.key;
    CFIndex count = e.count;
    for (CFIndex n = 0; n < count; ++n) applier(v, context);
  }
}

void CFBagAddValue(CFMutableBagRef theBag, const void* value) {
  __CFBag* b = MutableBagOf(theBag, "CFBagAddValue");
  if (b) b->Add(value, 1);
}

void CFBagReplaceValue(CFMutableBagRef theBag, const void* value) {
  __CFBag* b = MutableBagOf(theBag, "CFBagReplaceValue");
  if (b == nullptr) return;
  CFIndex pos = b->table.Find(value);
  if (pos >= 0) b->Replace(pos, value);
}

void CFBagSetValue(CFMutableBagRef theBag, const void* value) {
  __CFBag* b = MutableBagOf(theBag, "CFBagSetValue");
  if (b == nullptr) return;
  CFIndex pos = b->table.Find(value);
  if (pos >= 0)
    b->Replace(pos, value);
  else
    b->Add(value, 1);
}

void CFBagRemoveValue(CFMutableBagRef theBag, const void* value) {
  __CFBag* b = MutableBagOf(theBag, "CFBagRemoveValue");
  if (b == nullptr) return;
  CFIndex pos = b->table.Find(value);
  if (pos < 0) return;
  --b->total;
  if (--b->table.At(pos).count > 0) return;
  const void* old = b->table.At(pos).key;
  b->table.Erase(pos);
  b->Release(old);
}

void CFBagRemoveAllValues(CFMutableBagRef theBag) {
  __CFBag* b = MutableBagOf(theBag, "CFBagRemoveAllValues");
  if (b == nullptr) return;
  b->total = 0;
  for (const auto& e : b->table.TakeAll()) b->Release(e.key);
}
