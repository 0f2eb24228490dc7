#include "CFData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "CFCollectionInternal.h"

namespace {
const UInt8 kNoBytes[1] = {0};  // what an empty data points at: never nil
}  // namespace

struct __CFData : __CFRuntimeBase {
  explicit __CFData(bool isMutable) : __CFRuntimeBase(kCFTypeIDData), mutableData(isMutable) {}

  ~__CFData() override {
    if (external != nullptr && deallocator != kCFAllocatorNull)
      std::free(const_cast<UInt8*>(external));
  }

  const UInt8* Bytes() const {
    if (external != nullptr) return external;
    return storage.empty() ? kNoBytes : storage.data();
  }
  CFIndex Length() const { return external != nullptr ? externalLength : CFIndex(storage.size()); }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFData*>(other);
    return o->Length() == Length() && std::memcmp(o->Bytes(), Bytes(), size_t(Length())) == 0;
  }

  // FNV-1a over the first bytes and the length: cheap for large data, and
  // equal data hash alike.
  CFHashCode Hash() const override {
    uint64_t h = 1469598103934665603ull;
    CFIndex n = Length() < 80 ? Length() : 80;
    const UInt8* p = Bytes();
    for (CFIndex i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    h = (h ^ uint64_t(Length())) * 1099511628211ull;
    return CFHashCode(h);
  }

  std::string Describe() const override {
    static const char kHex[] = "0123456789abcdef";
    std::string s = "<CFData " + __CFAddressText(this) + " [" + (mutableData ? "mutable" : "immutable") +
                    "]>{length = " + std::to_string(Length()) + ", bytes = 0x";
    const UInt8* p = Bytes();
    CFIndex n = Length();
    auto hex = [&](CFIndex from, CFIndex to) {
      for (CFIndex i = from; i < to; ++i) {
        s += kHex[p[i] >> 4];
        s += kHex[p[i] & 15];
      }
    };
    if (n <= 24) {
      hex(0, n);
    } else {
      hex(0, 16);
      s += " ... ";
      hex(n - 8, n);
    }
    return s + "}";
  }

  bool mutableData;
  std::vector<UInt8> storage;
  // Bytes kept without a copy (immutable data only).
  const UInt8* external = nullptr;
  CFIndex externalLength = 0;
  CFAllocatorRef deallocator = kCFAllocatorNull;
};

namespace {

__CFData* DataOf(CFTypeRef d, const char* fn) { return __CFCheckedCast<__CFData>(d, kCFTypeIDData, fn); }

__CFData* MutableDataOf(CFTypeRef d, const char* fn) {
  __CFData* data = DataOf(d, fn);
  if (data != nullptr && !data->mutableData) {
    __CFCollectionDiag(fn, "immutable data, not changed");
    return nullptr;
  }
  return data;
}

CFMutableDataRef AsRef(__CFData* d) {
  return reinterpret_cast<CFMutableDataRef>(static_cast<__CFRuntimeBase*>(d));
}

// New data holding a copy of the bytes; nil when memory runs out.
__CFData* NewData(bool isMutable, const UInt8* bytes, CFIndex length, CFIndex capacityHint,
                  const char* fn) {
  auto* d = new (std::nothrow) __CFData(isMutable);
  if (d == nullptr) return nullptr;
  try {
    // The hint is bounded: a hostile capacity must not reserve gigabytes.
    CFIndex reserve = capacityHint > length ? capacityHint : length;
    if (reserve > (CFIndex(1) << 20) && reserve > length) reserve = length;
    d->storage.reserve(size_t(reserve > 0 ? reserve : 16));
    if (length > 0) d->storage.assign(bytes, bytes + length);
  } catch (const std::exception&) {
    __CFCollectionDiag(fn, "out of memory");
    delete d;
    return nullptr;
  }
  return d;
}

// Runs a change to the storage; a length that cannot be allocated leaves the
// data as it was.
template <typename F>
void Guarded(const char* fn, F change) {
  try {
    change();
  } catch (const std::exception&) {
    __CFCollectionDiag(fn, "out of memory, not changed");
  }
}

bool Inside(const __CFData* d, const UInt8* p) {
  const UInt8* b = d->storage.data();
  return p != nullptr && b != nullptr && p >= b && p < b + d->storage.size();
}

}  // namespace

CFTypeID CFDataGetTypeID() { return kCFTypeIDData; }

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
  if (length < 0 || (length > 0 && bytes == nullptr)) {
    __CFCollectionDiag("CFDataCreate", "bad bytes or length");
    return nullptr;
  }
  return AsRef(NewData(false, bytes, length, 0, "CFDataCreate"));
}

CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef, const UInt8* bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator) {
  if (length < 0 || (length > 0 && bytes == nullptr)) {
    __CFCollectionDiag("CFDataCreateWithBytesNoCopy", "bad bytes or length");
    return nullptr;
  }
  auto* d = new (std::nothrow) __CFData(false);
  if (d == nullptr) return nullptr;
  if (bytes != nullptr) {
    d->external = bytes;
    d->externalLength = length;
    d->deallocator = bytesDeallocator;
  }
  return AsRef(d);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef, CFDataRef theData) {
  __CFData* src = DataOf(theData, "CFDataCreateCopy");
  if (src == nullptr) return nullptr;
  return AsRef(NewData(false, src->Bytes(), src->Length(), 0, "CFDataCreateCopy"));
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef, CFIndex capacity) {
  if (capacity < 0) {
    __CFCollectionDiag("CFDataCreateMutable", "negative capacity");
    return nullptr;
  }
  return AsRef(NewData(true, nullptr, 0, capacity, "CFDataCreateMutable"));
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFDataRef theData) {
  __CFData* src = DataOf(theData, "CFDataCreateMutableCopy");
  if (src == nullptr || capacity < 0) return nullptr;
  return AsRef(NewData(true, src->Bytes(), src->Length(), capacity, "CFDataCreateMutableCopy"));
}

CFIndex CFDataGetLength(CFDataRef theData) {
  __CFData* d = DataOf(theData, "CFDataGetLength");
  return d ? d->Length() : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData) {
  __CFData* d = DataOf(theData, "CFDataGetBytePtr");
  return d ? d->Bytes() : nullptr;
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData) {
  __CFData* d = MutableDataOf(theData, "CFDataGetMutableBytePtr");
  if (d == nullptr) return nullptr;
  return d->storage.data() ? d->storage.data() : const_cast<UInt8*>(kNoBytes);
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer) {
  __CFData* d = DataOf(theData, "CFDataGetBytes");
  if (d == nullptr || buffer == nullptr || !__CFCheckRange(range, d->Length(), "CFDataGetBytes"))
    return;
  if (range.length > 0) std::memcpy(buffer, d->Bytes() + range.location, size_t(range.length));
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
  __CFData* d = MutableDataOf(theData, "CFDataSetLength");
  if (d == nullptr) return;
  if (length < 0) {
    __CFCollectionDiag("CFDataSetLength", "negative length");
    return;
  }
  Guarded("CFDataSetLength", [&] { d->storage.resize(size_t(length), 0); });
}

void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength) {
  __CFData* d = MutableDataOf(theData, "CFDataIncreaseLength");
  if (d == nullptr) return;
  if (extraLength < 0 || extraLength > PTRDIFF_MAX - d->Length()) {
    __CFCollectionDiag("CFDataIncreaseLength", "bad length");
    return;
  }
  Guarded("CFDataIncreaseLength", [&] { d->storage.resize(d->storage.size() + size_t(extraLength), 0); });
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length) {
  CFDataReplaceBytes(theData, CFRangeMake(CFDataGetLength(theData), 0), bytes, length);
}

void CFDataReplaceBytes(CFMutableDataRef theData, CFRange range, const UInt8* newBytes,
                        CFIndex newLength) {
  __CFData* d = MutableDataOf(theData, "CFDataReplaceBytes");
  if (d == nullptr || !__CFCheckRange(range, d->Length(), "CFDataReplaceBytes")) return;
  if (newLength < 0 || (newLength > 0 && newBytes == nullptr)) {
    __CFCollectionDiag("CFDataReplaceBytes", "bad bytes or length");
    return;
  }
  Guarded("CFDataReplaceBytes", [&] {
    // Bytes taken from the data itself are copied before it moves.
    std::vector<UInt8> copy;
    const UInt8* src = newBytes;
    if (Inside(d, newBytes)) {
      if (newLength > d->storage.data() + d->storage.size() - newBytes) {
        __CFCollectionDiag("CFDataReplaceBytes", "bytes run past the data's own end");
        return;
      }
      copy.assign(newBytes, newBytes + newLength);
      src = copy.data();
    }
    if (range.length == newLength) {
      if (newLength > 0) std::memmove(d->storage.data() + range.location, src, size_t(newLength));
    } else if (range.location == d->Length()) {
      d->storage.insert(d->storage.end(), src, src + newLength);  // appending: amortised
    } else {
      // Built aside and swapped in, so a failed allocation changes nothing.
      std::vector<UInt8> out;
      out.reserve(d->storage.size() - size_t(range.length) + size_t(newLength));
      out.insert(out.end(), d->storage.begin(), d->storage.begin() + range.location);
      out.insert(out.end(), src, src + newLength);
      out.insert(out.end(), d->storage.begin() + range.location + range.length, d->storage.end());
      d->storage.swap(out);
    }
  });
}

void CFDataDeleteBytes(CFMutableDataRef theData, CFRange range) {
  __CFData* d = MutableDataOf(theData, "CFDataDeleteBytes");
  if (d == nullptr || !__CFCheckRange(range, d->Length(), "CFDataDeleteBytes")) return;
  auto first = d->storage.begin() + range.location;
  d->storage.erase(first, first + range.length);
}
