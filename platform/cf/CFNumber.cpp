#include "CFNumber.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "CFCollectionInternal.h"

namespace {

// How a number type is held: an integer of some width, or a float.
struct TypeInfo {
  bool isFloat;
  int bytes;
  CFNumberType storage;  // the canonical type reported by CFNumberGetType
};

bool InfoOf(CFNumberType type, TypeInfo* info) {
  switch (type) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType: *info = {false, 1, kCFNumberSInt8Type}; return true;
    case kCFNumberSInt16Type:
    case kCFNumberShortType: *info = {false, 2, kCFNumberSInt16Type}; return true;
    case kCFNumberSInt32Type:
    case kCFNumberIntType: *info = {false, 4, kCFNumberSInt32Type}; return true;
    case kCFNumberSInt64Type:
    case kCFNumberLongLongType: *info = {false, 8, kCFNumberSInt64Type}; return true;
    case kCFNumberLongType:
      *info = {false, int(sizeof(long)), sizeof(long) == 8 ? kCFNumberSInt64Type : kCFNumberSInt32Type};
      return true;
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType:
      *info = {false, int(sizeof(CFIndex)), sizeof(CFIndex) == 8 ? kCFNumberSInt64Type : kCFNumberSInt32Type};
      return true;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType: *info = {true, 4, kCFNumberFloat32Type}; return true;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType: *info = {true, 8, kCFNumberFloat64Type}; return true;
    default: return false;
  }
}

constexpr double kTwo63 = 9223372036854775808.0;  // 2^63, exactly representable

// Compares an integer with a double exactly (no rounding of the integer).
// NaN is below everything.
CFComparisonResult CompareIntDouble(SInt64 i, double d) {
  if (std::isnan(d)) return kCFCompareGreaterThan;
  if (d >= kTwo63) return kCFCompareLessThan;
  if (d < -kTwo63) return kCFCompareGreaterThan;
  double fl = std::floor(d);
  SInt64 di = SInt64(fl);  // in range: -2^63 <= fl < 2^63
  if (i < di) return kCFCompareLessThan;
  if (i > di) return kCFCompareGreaterThan;
  return fl == d ? kCFCompareEqualTo : kCFCompareLessThan;  // i == floor(d) < d
}

CFComparisonResult CompareDoubles(double a, double b) {
  bool an = std::isnan(a), bn = std::isnan(b);
  if (an || bn) return an && bn ? kCFCompareEqualTo : (an ? kCFCompareLessThan : kCFCompareGreaterThan);
  if (a < b) return kCFCompareLessThan;
  if (a > b) return kCFCompareGreaterThan;
  return kCFCompareEqualTo;
}

CFHashCode HashInt(SInt64 i) {
  uint64_t x = uint64_t(i);
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  return CFHashCode(x);
}

}  // namespace

struct __CFNumber : __CFRuntimeBase {
  __CFNumber() : __CFRuntimeBase(kCFTypeIDNumber) {}

  bool Equal(const __CFRuntimeBase* other) const override {
    return Compare(static_cast<const __CFNumber*>(other)) == kCFCompareEqualTo;
  }

  CFComparisonResult Compare(const __CFNumber* o) const {
    if (!info.isFloat && !o->info.isFloat)
      return i < o->i ? kCFCompareLessThan : (i > o->i ? kCFCompareGreaterThan : kCFCompareEqualTo);
    if (info.isFloat && o->info.isFloat) return CompareDoubles(d, o->d);
    if (!info.isFloat) return CompareIntDouble(i, o->d);
    return -CompareIntDouble(o->i, d);
  }

  // Equal numbers hash alike, whatever their types: an integral float hashes
  // as the integer it equals.
  CFHashCode Hash() const override {
    if (!info.isFloat) return HashInt(i);
    if (std::isnan(d)) return CFHashCode(0x7ff8000000000000ull);
    if (d >= -kTwo63 && d < kTwo63 && std::floor(d) == d) return HashInt(SInt64(d));
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return HashInt(SInt64(bits));
  }

  std::string Describe() const override {
    char buf[160];
    const char* typeName = info.storage == kCFNumberSInt8Type    ? "kCFNumberSInt8Type"
                           : info.storage == kCFNumberSInt16Type ? "kCFNumberSInt16Type"
                           : info.storage == kCFNumberSInt32Type ? "kCFNumberSInt32Type"
                           : info.storage == kCFNumberSInt64Type ? "kCFNumberSInt64Type"
                           : info.storage == kCFNumberFloat32Type ? "kCFNumberFloat32Type"
                                                                  : "kCFNumberFloat64Type";
    if (info.isFloat)
      std::snprintf(buf, sizeof buf, "<CFNumber %p [%s]>{value = %+.17g}", static_cast<const void*>(this),
                    typeName, d);
    else
      std::snprintf(buf, sizeof buf, "<CFNumber %p [%s]>{value = %+lld}", static_cast<const void*>(this),
                    typeName, static_cast<long long>(i));
    return buf;
  }

  TypeInfo info{false, 4, kCFNumberSInt32Type};
  SInt64 i = 0;    // integer types
  double d = 0.0;  // float types
};

namespace {

__CFNumber* NumberOf(CFTypeRef n, const char* fn) {
  return __CFCheckedCast<__CFNumber>(n, kCFTypeIDNumber, fn);
}

// Reads an integer of the given width from unaligned memory.
SInt64 LoadInt(const void* p, int bytes) {
  switch (bytes) {
    case 1: { SInt8 v; std::memcpy(&v, p, 1); return v; }
    case 2: { SInt16 v; std::memcpy(&v, p, 2); return v; }
    case 4: { SInt32 v; std::memcpy(&v, p, 4); return v; }
    default: { SInt64 v; std::memcpy(&v, p, 8); return v; }
  }
}

// Writes v saturated to the width; true when it fits.
bool StoreInt(void* p, int bytes, SInt64 v) {
  SInt64 lo, hi;
  switch (bytes) {
    case 1: lo = INT8_MIN; hi = INT8_MAX; break;
    case 2: lo = INT16_MIN; hi = INT16_MAX; break;
    case 4: lo = INT32_MIN; hi = INT32_MAX; break;
    default: lo = INT64_MIN; hi = INT64_MAX; break;
  }
  bool fits = v >= lo && v <= hi;
  SInt64 s = v < lo ? lo : (v > hi ? hi : v);
  switch (bytes) {
    case 1: { SInt8 w = SInt8(s); std::memcpy(p, &w, 1); break; }
    case 2: { SInt16 w = SInt16(s); std::memcpy(p, &w, 2); break; }
    case 4: { SInt32 w = SInt32(s); std::memcpy(p, &w, 4); break; }
    default: std::memcpy(p, &s, 8); break;
  }
  return fits;
}

}  // namespace

CFTypeID CFNumberGetTypeID() { return kCFTypeIDNumber; }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr) {
  TypeInfo info;
  if (!InfoOf(theType, &info) || valuePtr == nullptr) {
    __CFCollectionDiag("CFNumberCreate", "unknown number type or no value");
    return nullptr;
  }
  auto* n = new (std::nothrow) __CFNumber();
  if (n == nullptr) return nullptr;
  n->info = info;
  if (!info.isFloat) {
    n->i = LoadInt(valuePtr, info.bytes);
  } else if (info.bytes == 4) {
    float f;
    std::memcpy(&f, valuePtr, 4);
    n->d = f;
  } else {
    std::memcpy(&n->d, valuePtr, 8);
  }
  return reinterpret_cast<CFNumberRef>(static_cast<__CFRuntimeBase*>(n));
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
  __CFNumber* n = NumberOf(number, "CFNumberGetValue");
  TypeInfo out;
  if (n == nullptr || valuePtr == nullptr || !InfoOf(theType, &out)) return false;
  if (!out.isFloat) {
    if (!n->info.isFloat) return StoreInt(valuePtr, out.bytes, n->i);
    // Float to integer: truncation toward zero; NaN gives 0.
    double d = n->d;
    if (std::isnan(d)) {
      StoreInt(valuePtr, out.bytes, 0);
      return false;
    }
    SInt64 v = d >= kTwo63 ? INT64_MAX : (d < -kTwo63 ? INT64_MIN : SInt64(std::trunc(d)));
    bool inRange = d < kTwo63 && d >= -kTwo63;
    bool fits = StoreInt(valuePtr, out.bytes, v);
    return fits && inRange && std::trunc(d) == d;
  }
  double d;
  bool exact = true;
  if (n->info.isFloat) {
    d = n->d;
  } else {
    d = double(n->i);
    // Exact when the double converts back to the same integer.
    exact = d < kTwo63 && SInt64(d) == n->i;
  }
  if (out.bytes == 4) {
    // Finite values beyond float's range saturate rather than overflow.
    constexpr double kMaxFloat = std::numeric_limits<float>::max();
    float f = std::isfinite(d) && d > kMaxFloat    ? std::numeric_limits<float>::max()
              : std::isfinite(d) && d < -kMaxFloat ? -std::numeric_limits<float>::max()
                                                   : float(d);
    if (!std::isnan(d) && double(f) != d) exact = false;
    std::memcpy(valuePtr, &f, 4);
  } else {
    std::memcpy(valuePtr, &d, 8);
  }
  return exact;
}

CFNumberType CFNumberGetType(CFNumberRef number) {
  __CFNumber* n = NumberOf(number, "CFNumberGetType");
  return n ? n->info.storage : 0;
}

CFIndex CFNumberGetByteSize(CFNumberRef number) {
  __CFNumber* n = NumberOf(number, "CFNumberGetByteSize");
  return n ? n->info.bytes : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
  __CFNumber* n = NumberOf(number, "CFNumberIsFloatType");
  return n ? n->info.isFloat : false;
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void*) {
  __CFNumber* a = NumberOf(number, "CFNumberCompare");
  __CFNumber* b = NumberOf(otherNumber, "CFNumberCompare");
  if (a == nullptr || b == nullptr)
    return a == b ? kCFCompareEqualTo : (a == nullptr ? kCFCompareLessThan : kCFCompareGreaterThan);
  return a->Compare(b);
}

// ---------------------------------------------------------------------------
// CFBoolean

struct __CFBoolean : __CFRuntimeBase {
  explicit __CFBoolean(bool v) : __CFRuntimeBase(kCFTypeIDBoolean), value(v) { Pin(); }
  CFHashCode Hash() const override { return value ? 1 : 0; }
  std::string Describe() const override {
    return "<CFBoolean " + __CFAddressText(this) + ">{value = " + (value ? "true" : "false") + "}";
  }
  const bool value;
};

namespace {
__CFBoolean gTrue(true), gFalse(false);
}  // namespace

// Plain addresses, so the constants are fixed before any code runs.
const CFBooleanRef kCFBooleanTrue = &gTrue;
const CFBooleanRef kCFBooleanFalse = &gFalse;

CFTypeID CFBooleanGetTypeID() { return kCFTypeIDBoolean; }

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
  __CFBoolean* b = __CFCheckedCast<__CFBoolean>(boolean, kCFTypeIDBoolean, "CFBooleanGetValue");
  return b ? b->value : false;
}
