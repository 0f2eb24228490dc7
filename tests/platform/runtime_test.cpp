#include <gtest/gtest.h>

#include "CFRuntime.h"

namespace {

struct Probe : __CFRuntimeBase {
  explicit Probe(int* deaths) : __CFRuntimeBase(kCFTypeIDFirstDynamic), deaths(deaths) {}
  ~Probe() override { ++*deaths; }
  int* deaths;
};

TEST(Runtime, RetainReleaseFreesAtZero) {
  int deaths = 0;
  auto* p = new Probe(&deaths);
  CFTypeRef ref = p;
  EXPECT_EQ(CFGetRetainCount(ref), 1);
  EXPECT_EQ(CFRetain(ref), ref);
  EXPECT_EQ(CFGetRetainCount(ref), 2);
  CFRelease(ref);
  EXPECT_EQ(deaths, 0);
  CFRelease(ref);
  EXPECT_EQ(deaths, 1);
}

TEST(Runtime, NilAndSingletons) {
  EXPECT_EQ(CFRetain(nullptr), nullptr);
  CFRelease(nullptr);
  EXPECT_EQ(CFGetTypeID(kCFNull), CFNullGetTypeID());
  CFRelease(kCFNull);  // pinned: never freed
  EXPECT_TRUE(CFEqual(kCFNull, kCFNull));
  EXPECT_FALSE(CFEqual(kCFNull, nullptr));
}

}  // namespace
