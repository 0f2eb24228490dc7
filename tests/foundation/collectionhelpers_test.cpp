// The CoreFoundation collection helpers: copies between dictionaries, arrays
// and sets, the alphabetical comparator, and records stored as CFData.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFSet.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"

namespace {

CFStringRef S(const char* text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

std::vector<std::string> Texts(CFArrayRef array) {
  std::vector<std::string> out;
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    CFTypeRef v = CFArrayGetValueAtIndex(array, i);
    out.push_back(CFGetTypeID(v) == CFStringGetTypeID() ? PCFSTR(static_cast<CFStringRef>(v)).str() : "?");
  }
  return out;
}

CFMutableArrayRef ArrayOf(std::initializer_list<const char*> texts) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const char* t : texts) {
    CFStringRef s = S(t);
    CFArrayAppendValue(array, s);
    CFRelease(s);
  }
  return array;
}

TEST(CollectionHelpers, IndexedCopyKeepsEntriesTogetherInOrder) {
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  for (const char* k : {"zeta", "alpha", "mid"}) {
    CFStringRef key = S(k);
    CFStringRef value = S((std::string(k) + "-value").c_str());
    CFDictionarySetValue(dict, key, value);
    CFRelease(key);
    CFRelease(value);
  }
  CFArrayRef keys = nullptr;
  CFArrayRef values = nullptr;
  CFDictionaryCreateIndexedCopy(dict, keys, values);
  EXPECT_EQ(Texts(keys), (std::vector<std::string>{"zeta", "alpha", "mid"}));
  EXPECT_EQ(Texts(values), (std::vector<std::string>{"zeta-value", "alpha-value", "mid-value"}));
  // The copies own their values: they outlive the dictionary.
  CFRelease(dict);
  EXPECT_EQ(Texts(values)[1], "alpha-value");
  CFRelease(keys);
  CFRelease(values);

  CFDictionaryCreateIndexedCopy(nullptr, keys, values);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(CFArrayGetCount(keys), 0);
  EXPECT_EQ(CFArrayGetCount(values), 0);
  CFRelease(keys);
  CFRelease(values);
}

TEST(CollectionHelpers, SetsAndArrays) {
  CFMutableArrayRef array = ArrayOf({"b", "a", "b", "c"});
  CFMutableSetRef set = CFSetCreateCopyFromArray(array);
  EXPECT_EQ(CFSetGetCount(set), 3);

  CFMutableArrayRef more = ArrayOf({"c", "d"});
  CFSetAddArray(set, more);
  EXPECT_EQ(CFSetGetCount(set), 4);
  CFStringRef d = S("d");
  EXPECT_TRUE(CFSetContainsValue(set, d));
  CFRelease(d);

  CFMutableArrayRef back = CFArrayCreateCopyFromSet(set);
  EXPECT_EQ(CFArrayGetCount(back), 4);
  CFArrayAppendValue(back, CFArrayGetValueAtIndex(array, 0));  // mutable
  CFRelease(back);

  // Nil gives empty, new collections; adding nil changes nothing.
  CFSetAddArray(set, nullptr);
  CFSetAddArray(nullptr, array);
  EXPECT_EQ(CFSetGetCount(set), 4);
  CFMutableSetRef emptySet = CFSetCreateCopyFromArray(nullptr);
  CFMutableArrayRef emptyArray = CFArrayCreateCopyFromSet(nullptr);
  EXPECT_EQ(CFSetGetCount(emptySet), 0);
  EXPECT_EQ(CFArrayGetCount(emptyArray), 0);
  CFRelease(emptySet);
  CFRelease(emptyArray);
  CFRelease(set);
  CFRelease(more);
  CFRelease(array);
}

TEST(CollectionHelpers, AlphaOrderComparatorNeverAnswersEqual) {
  CFStringRef apple = S("apple");
  CFStringRef banana = S("Banana");
  CFStringRef apple2 = S("APPLE");
  EXPECT_EQ(CFArrayCompareAlphaOrder(apple, banana, nullptr), kCFCompareLessThan);
  EXPECT_EQ(CFArrayCompareAlphaOrder(banana, apple, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFArrayCompareAlphaOrder(apple, apple2, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFArrayCompareAlphaOrder(apple, apple, nullptr), kCFCompareGreaterThan);
  // Values that are no strings count as the empty string.
  SInt32 n = 7;
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &n);
  EXPECT_EQ(CFArrayCompareAlphaOrder(number, apple, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFArrayCompareAlphaOrder(nullptr, apple, nullptr), kCFCompareGreaterThan);
  CFRelease(number);

  CFMutableArrayRef array = ArrayOf({"pear", "Apple", "fig", "banana", "Cherry"});
  CFArraySortValues(array, CFRangeMake(0, CFArrayGetCount(array)), CFArrayCompareAlphaOrder, nullptr);
  EXPECT_EQ(Texts(array), (std::vector<std::string>{"Apple", "banana", "Cherry", "fig", "pear"}));
  CFRelease(array);
  CFRelease(apple);
  CFRelease(banana);
  CFRelease(apple2);
}

TEST(CollectionHelpers, StoredRecordsAreCopiedOnlyAtTheirExactSize) {
  // A 1408-byte record between guard bytes.
  struct Guarded {
    UInt8 before[16];
    UInt8 record[1408];
    UInt8 after[16];
  } target;
  std::vector<UInt8> bytes(1408);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = UInt8(i % 251 + 1);
  CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
  CFStringRef key = S("FTPServers");
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, key, data);

  std::memset(&target, 0xEE, sizeof target);
  EXPECT_TRUE(CFDictionaryGetPointerValue(dict, key, target.record, sizeof target.record));
  EXPECT_EQ(std::memcmp(target.record, bytes.data(), bytes.size()), 0);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(target.before[i], 0xEE);
    EXPECT_EQ(target.after[i], 0xEE);
  }

  // Data of another size (a record written by another build, a hand-edited
  // file), a value that is no data, a missing key: nothing is copied.
  std::memset(&target, 0xEE, sizeof target);
  EXPECT_FALSE(CFDictionaryGetPointerValue(dict, key, target.record, 1000));
  EXPECT_FALSE(CFDictionaryGetPointerValue(dict, key, target.record, 2000));
  CFStringRef other = S("other");
  EXPECT_FALSE(CFDictionaryGetPointerValue(dict, other, target.record, sizeof target.record));
  CFDictionarySetValue(dict, other, key);
  EXPECT_FALSE(CFDictionaryGetPointerValue(dict, other, target.record, sizeof target.record));
  EXPECT_FALSE(CFDictionaryGetPointerValue(nullptr, key, target.record, sizeof target.record));
  EXPECT_FALSE(CFDataGetPointerValue(nullptr, target.record, sizeof target.record));
  for (UInt8 b : target.record) ASSERT_EQ(b, 0xEE);

  EXPECT_TRUE(CFDataGetPointerValue(data, target.record, sizeof target.record));
  EXPECT_EQ(std::memcmp(target.record, bytes.data(), bytes.size()), 0);
  CFRelease(other);
  CFRelease(dict);
  CFRelease(key);
  CFRelease(data);
}

}  // namespace
