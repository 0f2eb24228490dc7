// Owning CF collections of memory blocks and objects, and record byte swapping.
#include "CFPascal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFByteOrder.h"
#include "CFString.h"
#include "MacMemory.h"

namespace {

Ptr BlockOf(const std::string& bytes) {
  Ptr block = NewPtr(Size(bytes.size()));
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

std::string BytesOf(const void* block) {
  return std::string(static_cast<const char*>(block), size_t(GetPtrSize(static_cast<Ptr>(const_cast<void*>(block)))));
}

CFStringRef Key(const char* text) { return CFStringMakeConstantUTF8(text); }

}  // namespace

TEST(CFPascalTest, OwningCollectionsDisposeBlocksThatLeave) {
  // Array: remove, replace and the array's own release each dispose.
  CFMutableArrayRef array = CFArrayCreatePascal();
  Ptr removed = BlockOf("one"), replaced = BlockOf("two"), kept = BlockOf("three");
  CFArrayAppendValue(array, removed);
  CFArrayAppendValue(array, replaced);
  EXPECT_EQ(CFArrayGetValueAtIndex(array, 0), removed);  // taken over, not copied
  CFArrayRemoveValueAtIndex(array, 0);
  EXPECT_FALSE(IsPointerValid(removed));
  CFArraySetValueAtIndex(array, 0, kept);
  EXPECT_FALSE(IsPointerValid(replaced));
  EXPECT_TRUE(IsPointerValid(kept));
  CFRelease(array);
  EXPECT_FALSE(IsPointerValid(kept));

  // Set and dictionary (block values under CF keys).
  CFMutableSetRef set = CFSetCreatePascal();
  Ptr member = BlockOf("m");
  CFSetAddValue(set, member);
  CFSetRemoveValue(set, member);
  EXPECT_FALSE(IsPointerValid(member));
  CFRelease(set);

  CFMutableDictionaryRef dictionary = CFDictionaryCreatePascal();
  Ptr first = BlockOf("a"), second = BlockOf("b");
  CFDictionarySetValue(dictionary, Key("k"), first);
  CFDictionarySetValue(dictionary, Key("k"), second);
  EXPECT_FALSE(IsPointerValid(first));
  CFRelease(dictionary);
  EXPECT_FALSE(IsPointerValid(second));

  // Block keys are owned as well.
  CFMutableDictionaryRef byBlock =
      CFDictionaryCreateMutable(nullptr, 0, &kCFDictionaryKeyPascal, &kCFDictionaryValuePascal);
  Ptr key = BlockOf("key"), value = BlockOf("value");
  CFDictionarySetValue(byBlock, key, value);
  CFDictionaryRemoveValue(byBlock, key);
  EXPECT_FALSE(IsPointerValid(key));
  EXPECT_FALSE(IsPointerValid(value));
  CFRelease(byBlock);
}

TEST(CFPascalTest, LookupIsByAddressNeverByContent) {
  CFMutableArrayRef array = CFArrayCreatePascal();
  Ptr a = BlockOf("same"), b = BlockOf("same");
  CFArrayAppendValue(array, a);
  CFArrayAppendValue(array, b);
  const CFRange all = CFRangeMake(0, CFArrayGetCount(array));
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, all, b), 1);
  Ptr outsider = BlockOf("same");
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, all, outsider), kCFNotFound);

  CFMutableSetRef set = CFSetCreatePascal();
  Ptr x = BlockOf("same"), y = BlockOf("same");
  CFSetAddValue(set, x);
  CFSetAddValue(set, y);
  EXPECT_EQ(CFSetGetCount(set), 2);
  CFRelease(set);
  CFRelease(array);

  // With an equal callback of its own the same kind of array finds by content.
  const CFArrayCallBacks byContent =
      PascalCFArrayCallbacks([](const void* l, const void* r) -> Boolean { return BytesOf(l) == BytesOf(r); });
  EXPECT_EQ(byContent.release, kCFArrayPascal.release);
  CFMutableArrayRef owned = CFArrayCreateMutable(nullptr, 0, &byContent);
  CFArrayAppendValue(owned, BlockOf("other"));
  CFArrayAppendValue(owned, BlockOf("same"));
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(owned, CFRangeMake(0, 2), outsider), 1);
  DisposePtr(outsider);
  CFRelease(owned);
}

TEST(CFPascalTest, CopyRetainCallbackKeepsTheCallersBlock) {
  CFArrayCallBacks copying = kCFArrayPascal;
  copying.retain = kCFRetainPointerCopyCallback;
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &copying);
  Ptr original = BlockOf("payload");
  CFArrayAppendValue(array, original);
  const void* stored = CFArrayGetValueAtIndex(array, 0);
  EXPECT_NE(stored, original);
  EXPECT_EQ(BytesOf(stored), "payload");

  // Foreign memory has no known size: an empty block, never a read.
  char local[8] = "abc";
  CFArrayAppendValue(array, local);
  const void* foreign = CFArrayGetValueAtIndex(array, 1);
  EXPECT_TRUE(IsPointerValid(static_cast<Ptr>(const_cast<void*>(foreign))));
  EXPECT_EQ(GetPtrSize(static_cast<Ptr>(const_cast<void*>(foreign))), 0);

  CFRelease(array);
  EXPECT_FALSE(IsPointerValid(static_cast<Ptr>(const_cast<void*>(stored))));
  EXPECT_TRUE(IsPointerValid(original));
  DisposePtr(original);
}

TEST(CFPascalTest, ConvertValuePointersAndBackKeepsKeysSizesAndBytes) {
  CFMutableDictionaryRef blocks = CFDictionaryCreatePascal();
  const std::vector<std::pair<const char*, std::string>> entries = {
      {"empty", ""}, {"short", "abc"}, {"binary", std::string("\0\x01\xff\x80zz", 6)}, {"long", std::string(1000, 'q')}};
  for (const auto& [key, bytes] : entries) CFDictionarySetValue(blocks, Key(key), BlockOf(bytes));

  CFMutableDictionaryRef stored = CFDictionaryConvertValuePointers(blocks);
  ASSERT_NE(stored, nullptr);
  ASSERT_EQ(CFDictionaryGetCount(stored), CFIndex(entries.size()));
  for (const auto& [key, bytes] : entries) {
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(stored, Key(key)));
    ASSERT_NE(data, nullptr) << key;
    ASSERT_EQ(CFGetTypeID(data), CFDataGetTypeID());
    EXPECT_EQ(CFDataGetRange(data).length, CFIndex(bytes.size()));
  }
  // Stored dictionaries may hold other things: they are left out on loading.
  CFDictionarySetValue(stored, Key("intruder"), Key("not data"));

  CFMutableDictionaryRef loaded = CFDictionaryConvertValueData(stored);
  ASSERT_EQ(CFDictionaryGetCount(loaded), CFIndex(entries.size()));
  std::vector<const void*> keys(entries.size());
  CFDictionaryGetKeysAndValues(loaded, keys.data(), nullptr);
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(CFEqual(keys[i], Key(entries[i].first))) << "order kept";
    const void* block = CFDictionaryGetValue(loaded, Key(entries[i].first));
    ASSERT_TRUE(IsPointerValid(static_cast<Ptr>(const_cast<void*>(block))));
    EXPECT_NE(block, CFDictionaryGetValue(blocks, Key(entries[i].first)));
    EXPECT_EQ(BytesOf(block), entries[i].second);
  }
  CFRelease(loaded);
  CFRelease(stored);
  CFRelease(blocks);
  EXPECT_EQ(CFDictionaryConvertValuePointers(nullptr), nullptr);
  EXPECT_EQ(CFDictionaryConvertValueData(nullptr), nullptr);
  EXPECT_EQ(CFDataGetRange(nullptr).length, 0);
}

TEST(CFPascalTest, TreeNodesOwnTheirInfoAndRemoveSafeKeepsTheNode) {
  Ptr parentInfo = BlockOf("parent"), childInfo = BlockOf("child");
  CFTreeRef parent = CFTreeCreatePascal(parentInfo);
  CFTreeRef child = CFTreeCreatePascal(childInfo);
  CFTreeAppendChild(parent, child);
  CFRelease(child);  // only the parent holds it now

  CFTreeRemoveSafe(child);
  EXPECT_EQ(CFTreeGetParent(child), nullptr);
  EXPECT_EQ(CFTreeGetChildCount(parent), 0);
  EXPECT_EQ(CFGetRetainCount(child), 1);
  CFTreeContext context{};
  CFTreeGetContext(child, &context);
  EXPECT_EQ(context.info, childInfo);
  EXPECT_EQ(BytesOf(childInfo), "child");

  // Moving it elsewhere: insert, then drop the caller's reference.
  CFTreeRef other = CFTreeCreatePascal(BlockOf("other"));
  CFTreeAppendChild(other, child);
  CFRelease(child);
  EXPECT_TRUE(IsPointerValid(childInfo));
  CFRelease(other);
  EXPECT_FALSE(IsPointerValid(childInfo));
  CFRelease(parent);
  EXPECT_FALSE(IsPointerValid(parentInfo));

  CFTreeRemoveSafe(nullptr);
}

namespace {

class TCounted : public TCFObject {
 public:
  explicit TCounted(int* releases) : fReleases(releases) {}
  void Release() override { ++*fReleases; }

 private:
  int* fReleases;
};

}  // namespace

TEST(CFPascalTest, ObjectArrayCallsReleaseOnEveryElementThatLeaves) {
  int releases = 0;
  TCounted a(&releases), b(&releases), c(&releases);
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFObjectPascal);
  for (TCounted* object : {&a, &b, &c}) CFArrayAppendValue(array, object);
  CFArrayRemoveValueAtIndex(array, 1);
  EXPECT_EQ(releases, 1);
  CFRelease(array);
  EXPECT_EQ(releases, 3);

  // The base class's Release leaves the object alone.
  TCFObject plain;
  CFMutableArrayRef plainArray = CFArrayCreateMutable(nullptr, 0, &kCFObjectPascal);
  CFArrayAppendValue(plainArray, &plain);
  CFRelease(plainArray);
}

TEST(CFPascalTest, SwappingTwiceRestoresRecords) {
  const bool little = CFByteOrderGetCurrent() == CFByteOrderLittleEndian;
  for (SInt16 direction : {1, 2}) {
    Rect rect{0x0102, -2, 0x7F00, 0x00FF};
    SwapRectBytes(rect, direction);
    EXPECT_EQ(rect.top, little ? 0x0201 : 0x0102);
    EXPECT_EQ(rect.right, little ? SInt16(0xFF00) : 0x00FF);
    SwapRectBytes(rect, direction);
    EXPECT_EQ(rect.top, 0x0102);
    EXPECT_EQ(rect.left, -2);
    EXPECT_EQ(rect.bottom, 0x7F00);
    EXPECT_EQ(rect.right, 0x00FF);

    RGBColor color{0xFF00, 0x1234, 0x0001};
    SwapRGBColorBytes(color, direction);
    EXPECT_EQ(color.green, little ? 0x3412 : 0x1234);
    SwapRGBColorBytes(color, direction);
    EXPECT_EQ(color.red, 0xFF00);
    EXPECT_EQ(color.green, 0x1234);
    EXPECT_EQ(color.blue, 0x0001);
  }
}
