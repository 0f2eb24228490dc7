// Numbers, booleans, data and dates.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "CFData.h"
#include "CFDate.h"
#include "CFNumber.h"
#include "CFRuntime.h"

namespace {

template <typename T>
CFNumberRef Num(CFNumberType type, T value) {
  return CFNumberCreate(nullptr, type, &value);
}

TEST(CFScalars, NumbersCompareAndHashByValueAcrossTypes) {
  struct Case {
    CFNumberRef a, b;
    CFComparisonResult order;
  };
  const Case cases[] = {
      {Num<SInt32>(kCFNumberSInt32Type, 42), Num<double>(kCFNumberFloat64Type, 42.0), kCFCompareEqualTo},
      {Num<SInt8>(kCFNumberCharType, -1), Num<float>(kCFNumberFloat32Type, -1.0f), kCFCompareEqualTo},
      {Num<SInt32>(kCFNumberSInt32Type, 42), Num<double>(kCFNumberFloat64Type, 42.5), kCFCompareLessThan},
      {Num<SInt32>(kCFNumberSInt32Type, -3), Num<double>(kCFNumberFloat64Type, -3.5), kCFCompareGreaterThan},
      // 2^53 + 1 has no double; it must not compare equal to 2^53 by rounding.
      {Num<SInt64>(kCFNumberSInt64Type, (SInt64(1) << 53) + 1),
       Num<double>(kCFNumberFloat64Type, 9007199254740992.0), kCFCompareGreaterThan},
      {Num<SInt64>(kCFNumberSInt64Type, INT64_MAX), Num<double>(kCFNumberFloat64Type, 9.3e18), kCFCompareLessThan},
      {Num<double>(kCFNumberFloat64Type, NAN), Num<SInt32>(kCFNumberSInt32Type, INT32_MIN), kCFCompareLessThan},
      {Num<double>(kCFNumberFloat64Type, NAN), Num<double>(kCFNumberDoubleType, NAN), kCFCompareEqualTo},
      {Num<double>(kCFNumberFloat64Type, -0.0), Num<SInt16>(kCFNumberShortType, 0), kCFCompareEqualTo},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(CFNumberCompare(c.a, c.b, nullptr), c.order);
    EXPECT_EQ(CFNumberCompare(c.b, c.a, nullptr), -c.order);
    EXPECT_EQ(bool(CFEqual(c.a, c.b)), c.order == kCFCompareEqualTo);
    if (c.order == kCFCompareEqualTo) {
      EXPECT_EQ(CFHash(c.a), CFHash(c.b));
    }
    CFRelease(c.a);
    CFRelease(c.b);
  }
}

TEST(CFScalars, NumberGetValueReportsLossButStillWrites) {
  struct Case {
    CFNumberRef n;
    CFNumberType as;
    bool exact;
    double written;
  };
  const Case cases[] = {
      {Num<SInt32>(kCFNumberSInt32Type, 300), kCFNumberSInt8Type, false, 127},
      {Num<SInt32>(kCFNumberSInt32Type, -300), kCFNumberCharType, false, -128},
      {Num<SInt8>(kCFNumberSInt8Type, -5), kCFNumberSInt64Type, true, -5},
      {Num<SInt64>(kCFNumberSInt64Type, 1LL << 40), kCFNumberSInt32Type, false, INT32_MAX},
      {Num<double>(kCFNumberFloat64Type, 3.7), kCFNumberSInt32Type, false, 3},
      {Num<double>(kCFNumberFloat64Type, -3.7), kCFNumberIntType, false, -3},
      {Num<double>(kCFNumberFloat64Type, 3.0), kCFNumberSInt32Type, true, 3},
      {Num<double>(kCFNumberFloat64Type, NAN), kCFNumberSInt32Type, false, 0},
      {Num<double>(kCFNumberFloat64Type, 1e300), kCFNumberSInt16Type, false, INT16_MAX},
      {Num<SInt64>(kCFNumberSInt64Type, (1LL << 53) + 1), kCFNumberFloat64Type, false, 9007199254740992.0},
      {Num<double>(kCFNumberFloat64Type, 0.1), kCFNumberFloat32Type, false, double(0.1f)},
      {Num<double>(kCFNumberFloat64Type, 1e300), kCFNumberFloat32Type, false, double(FLT_MAX)},
      {Num<double>(kCFNumberFloat64Type, 0.5), kCFNumberFloat32Type, true, 0.5},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    union {
      SInt8 s8;
      SInt16 s16;
      SInt32 s32;
      SInt64 s64;
      float f;
      double d;
    } out;
    std::memset(&out, 0x5a, sizeof out);
    EXPECT_EQ(bool(CFNumberGetValue(c.n, c.as, &out)), c.exact);
    double got = c.as == kCFNumberSInt8Type || c.as == kCFNumberCharType ? out.s8
                 : c.as == kCFNumberSInt16Type                            ? out.s16
                 : c.as == kCFNumberSInt32Type || c.as == kCFNumberIntType ? out.s32
                 : c.as == kCFNumberSInt64Type                            ? double(out.s64)
                 : c.as == kCFNumberFloat32Type                           ? out.f
                                                                          : out.d;
    EXPECT_EQ(got, c.written);
    CFRelease(c.n);
  }
}

TEST(CFScalars, NumberTypesSizesAndBadInput) {
  CFNumberRef i = Num<int>(kCFNumberIntType, 5);
  CFNumberRef l = Num<long>(kCFNumberLongType, 5);
  CFNumberRef f = Num<float>(kCFNumberFloatType, 5);
  EXPECT_EQ(CFNumberGetType(i), kCFNumberSInt32Type);
  EXPECT_EQ(CFNumberGetByteSize(i), 4);
  EXPECT_EQ(CFNumberGetType(l), kCFNumberSInt64Type);
  EXPECT_EQ(CFNumberGetType(f), kCFNumberFloat32Type);
  EXPECT_TRUE(CFNumberIsFloatType(f));
  EXPECT_FALSE(CFNumberIsFloatType(i));
  EXPECT_EQ(CFGetTypeID(i), CFNumberGetTypeID());
  int v = 1;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CFNumberCreate(nullptr, 0, &v), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, 17, &v), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberIntType, nullptr), nullptr);
  EXPECT_FALSE(CFNumberGetValue(i, 99, &v));
  ::testing::internal::GetCapturedStderr();
  CFRelease(i);
  CFRelease(l);
  CFRelease(f);
}

TEST(CFScalars, BooleansArePinnedSingletons) {
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
  EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
  for (int i = 0; i < 3; ++i) CFRelease(kCFBooleanTrue);  // never freed
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
  SInt32 one = 1;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &one);
  EXPECT_FALSE(CFEqual(kCFBooleanTrue, n));  // a boolean is not a number
  CFRelease(n);
}

std::string Bytes(CFDataRef d) {
  return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), size_t(CFDataGetLength(d)));
}

TEST(CFScalars, DataMutation) {
  CFMutableDataRef d = CFDataCreateMutable(nullptr, 0);
  ASSERT_NE(CFDataGetBytePtr(d), nullptr);  // even empty
  CFDataAppendBytes(d, reinterpret_cast<const UInt8*>("hello world"), 11);
  CFDataReplaceBytes(d, CFRangeMake(0, 5), reinterpret_cast<const UInt8*>("HOWDY"), 5);  // same size
  EXPECT_EQ(Bytes(d), "HOWDY world");
  CFDataReplaceBytes(d, CFRangeMake(5, 1), reinterpret_cast<const UInt8*>(", "), 2);  // grows
  CFDataReplaceBytes(d, CFRangeMake(0, 5), reinterpret_cast<const UInt8*>("Hi"), 2);  // shrinks
  EXPECT_EQ(Bytes(d), "Hi, world");
  CFDataDeleteBytes(d, CFRangeMake(2, 2));
  EXPECT_EQ(Bytes(d), "Hiworld");
  // Appending the data's own bytes: they are read before the storage moves.
  for (int i = 0; i < 10; ++i) CFDataAppendBytes(d, CFDataGetBytePtr(d), CFDataGetLength(d));
  EXPECT_EQ(CFDataGetLength(d), 7 * 1024);
  EXPECT_EQ(Bytes(d).substr(7 * 1023), "Hiworld");
  CFDataSetLength(d, 2);
  CFDataIncreaseLength(d, 3);
  EXPECT_EQ(Bytes(d), std::string("Hi\0\0\0", 5));  // grown with zeros
  CFDataGetMutableBytePtr(d)[4] = '!';

  UInt8 buf[4] = {9, 9, 9, 9};
  ::testing::internal::CaptureStderr();
  CFDataGetBytes(d, CFRangeMake(3, 3), buf);  // past the end: untouched
  CFDataDeleteBytes(d, CFRangeMake(-1, 2));
  CFDataSetLength(d, -1);
  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 4), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, buf, -1), nullptr);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(buf[0], 9);
  EXPECT_EQ(CFDataGetLength(d), 5);
  CFDataGetBytes(d, CFRangeMake(3, 2), buf);
  EXPECT_EQ(buf[1], '!');

  // Equality by content, whatever the kind of data.
  CFDataRef copy = CFDataCreateCopy(nullptr, d);
  EXPECT_TRUE(CFEqual(copy, d));
  EXPECT_EQ(CFHash(copy), CFHash(d));
  ::testing::internal::CaptureStderr();
  CFDataAppendBytes((CFMutableDataRef)copy, buf, 1);  // immutable: refused
  EXPECT_EQ(CFDataGetMutableBytePtr((CFMutableDataRef)copy), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr().empty(), false);
  EXPECT_EQ(CFDataGetLength(copy), 5);
  CFRelease(copy);
  CFRelease(d);
}

TEST(CFScalars, DataWithoutCopyFreesOnlyWhenAsked) {
  static const UInt8 fixed[] = {1, 2, 3};
  CFDataRef kept = CFDataCreateWithBytesNoCopy(nullptr, fixed, 3, kCFAllocatorNull);
  EXPECT_EQ(CFDataGetBytePtr(kept), fixed);
  CFDataRef same = CFDataCreate(nullptr, fixed, 3);
  EXPECT_TRUE(CFEqual(kept, same));
  CFRelease(kept);  // a static buffer: freeing it would crash
  CFRelease(same);
  auto* heap = static_cast<UInt8*>(std::malloc(3));
  std::memcpy(heap, fixed, 3);
  CFDataRef owned = CFDataCreateWithBytesNoCopy(nullptr, heap, 3, kCFAllocatorDefault);
  CFRelease(owned);  // freed with the data (the leak checker sees it)
}

TEST(CFScalars, Dates) {
  EXPECT_EQ(kCFAbsoluteTimeIntervalSince1970, 978307200.0);
  CFDateRef a = CFDateCreate(nullptr, 100.5);
  CFDateRef b = CFDateCreate(nullptr, 40.0);
  CFDateRef a2 = CFDateCreate(nullptr, 100.5);
  EXPECT_EQ(CFDateGetAbsoluteTime(a), 100.5);
  EXPECT_EQ(CFDateCompare(a, b, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFDateCompare(b, a, nullptr), kCFCompareLessThan);
  EXPECT_EQ(CFDateGetTimeIntervalSinceDate(a, b), 60.5);
  EXPECT_TRUE(CFEqual(a, a2));
  EXPECT_EQ(CFHash(a), CFHash(a2));
  EXPECT_NE(CFObj(b)->Describe().find("2001-01-01 00:00:40"), std::string::npos) << CFObj(b)->Describe();
  CFDateRef odd = CFDateCreate(nullptr, NAN);  // described without a crash
  EXPECT_FALSE(CFObj(odd)->Describe().empty());
  // The clock counts from 2001: compare with the C library's clock, loosely.
  double now = double(std::time(nullptr)) - kCFAbsoluteTimeIntervalSince1970;
  EXPECT_NEAR(CFAbsoluteTimeGetCurrent(), now, 120.0);
  for (CFDateRef d : {a, b, a2, odd}) CFRelease(d);
}

}  // namespace
