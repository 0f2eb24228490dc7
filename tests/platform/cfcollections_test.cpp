// Collections: ownership through callbacks, identity versus value look-up,
// insertion order, sorting, trees, and refusal of bad calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFBag.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFRuntime.h"
#include "CFSet.h"
#include "CFTree.h"

namespace {

// Callbacks that count, and whose retain stores a different pointer than the
// one handed in (the tag bit), so the test sees that the returned value is kept.
int gRetains = 0;
std::map<const void*, int> gReleased;  // per stored value

const void* TaggingRetain(CFAllocatorRef, const void* v) {
  ++gRetains;
  return reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(v) | 1);
}
void CountingRelease(CFAllocatorRef, const void* v) { ++gReleased[v]; }
const void* Tag(uintptr_t v) { return reinterpret_cast<const void*>(v | 1); }
const void* Raw(uintptr_t v) { return reinterpret_cast<const void*>(v); }

int TotalReleases() {
  int n = 0;
  for (auto& [v, count] : gReleased) n += count;
  return n;
}

class CFCollections : public ::testing::Test {
 protected:
  void SetUp() override {
    gRetains = 0;
    gReleased.clear();
  }
};

const CFArrayCallBacks kCountingArray = {0, TaggingRetain, CountingRelease, nullptr, nullptr};
const CFDictionaryKeyCallBacks kCountingKeys = {0, TaggingRetain, CountingRelease, nullptr, nullptr, nullptr};
const CFDictionaryValueCallBacks kCountingValues = {0, TaggingRetain, CountingRelease, nullptr, nullptr};
const CFSetCallBacks kCountingSet = {0, TaggingRetain, CountingRelease, nullptr, nullptr, nullptr};
const CFBagCallBacks kCountingBag = {0, TaggingRetain, CountingRelease, nullptr, nullptr, nullptr};

TEST_F(CFCollections, ArrayRunsCallbacksOnAddReplaceRemoveAndFree) {
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCountingArray);
  for (uintptr_t v : {0x10, 0x20, 0x30}) CFArrayAppendValue(a, Raw(v));
  EXPECT_EQ(gRetains, 3);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 0), Tag(0x10));  // what retain returned

  CFArraySetValueAtIndex(a, 1, Raw(0x40));  // replaces 0x20
  EXPECT_EQ(gReleased[Tag(0x20)], 1);
  CFArrayRemoveValueAtIndex(a, 0);
  EXPECT_EQ(gReleased[Tag(0x10)], 1);
  const void* two[] = {Raw(0x50), Raw(0x60)};
  CFArrayReplaceValues(a, CFRangeMake(0, 1), two, 2);  // 0x40 out, two in
  EXPECT_EQ(gReleased[Tag(0x40)], 1);
  EXPECT_EQ(gRetains, 6);

  CFMutableArrayRef copy = CFArrayCreateMutableCopy(nullptr, 0, a);  // the copy retains too
  EXPECT_EQ(gRetains, 9);
  CFRelease(copy);
  CFRelease(a);
  EXPECT_EQ(TotalReleases(), 3 + 3 + 3);
  for (uintptr_t v : {0x30, 0x50, 0x60}) EXPECT_EQ(gReleased[Tag(v)], 2) << v;
}

TEST_F(CFCollections, DictionaryRunsCallbacksOnAddReplaceRemoveAndFree) {
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, &kCountingKeys, &kCountingValues);
  CFDictionarySetValue(d, Raw(0x100), Raw(0x10));
  CFDictionarySetValue(d, Raw(0x200), Raw(0x20));
  EXPECT_EQ(gRetains, 4);

  // The stored key is the tagged one; with no equal or hash callback it is
  // found only under that very pointer.
  EXPECT_EQ(CFDictionaryGetValue(d, Tag(0x100)), Tag(0x10));
  EXPECT_EQ(CFDictionaryGetValue(d, Raw(0x100)), nullptr);

  CFDictionarySetValue(d, Tag(0x100), Raw(0x30));  // replace: new value in, old out, key kept
  EXPECT_EQ(gRetains, 5);
  EXPECT_EQ(gReleased[Tag(0x10)], 1);
  EXPECT_EQ(gReleased.count(Tag(0x100)), 0u);

  CFDictionaryAddValue(d, Tag(0x100), Raw(0x70));      // present: nothing happens
  CFDictionaryReplaceValue(d, Raw(0x999), Raw(0x70));  // absent: nothing happens
  EXPECT_EQ(gRetains, 5);
  EXPECT_EQ(CFDictionaryGetCount(d), 2);

  CFDictionaryRemoveValue(d, Tag(0x200));
  EXPECT_EQ(gReleased[Tag(0x200)], 1);
  EXPECT_EQ(gReleased[Tag(0x20)], 1);
  CFRelease(d);
  EXPECT_EQ(gReleased[Tag(0x100)], 1);
  EXPECT_EQ(gReleased[Tag(0x30)], 1);
  EXPECT_EQ(TotalReleases(), 5);
}

TEST_F(CFCollections, SetAndBagRunCallbacksOncePerStoredValue) {
  CFMutableSetRef s = CFSetCreateMutable(nullptr, 0, &kCountingSet);
  CFSetAddValue(s, Raw(0x10));
  CFSetAddValue(s, Tag(0x10));  // equal to the stored value: not added again
  CFSetAddValue(s, Raw(0x20));
  EXPECT_EQ(CFSetGetCount(s), 2);
  EXPECT_EQ(gRetains, 2);
  CFSetSetValue(s, Tag(0x20));  // replaces: retain the new, release the old
  EXPECT_EQ(gRetains, 3);
  EXPECT_EQ(gReleased[Tag(0x20)], 1);
  CFSetRemoveValue(s, Tag(0x10));
  EXPECT_EQ(gReleased[Tag(0x10)], 1);
  CFRelease(s);
  EXPECT_EQ(gReleased[Tag(0x20)], 2);

  gRetains = 0;
  gReleased.clear();
  CFMutableBagRef b = CFBagCreateMutable(nullptr, 0, &kCountingBag);
  CFBagAddValue(b, Raw(0x10));
  CFBagAddValue(b, Tag(0x10));
  CFBagAddValue(b, Raw(0x20));
  EXPECT_EQ(CFBagGetCount(b), 3);
  EXPECT_EQ(CFBagGetCountOfValue(b, Tag(0x10)), 2);
  EXPECT_EQ(gRetains, 2);
  CFBagRemoveValue(b, Tag(0x10));
  EXPECT_EQ(gReleased.count(Tag(0x10)), 0u);  // one occurrence left
  CFBagRemoveValue(b, Tag(0x10));
  EXPECT_EQ(gReleased[Tag(0x10)], 1);
  EXPECT_FALSE(CFBagContainsValue(b, Tag(0x10)));
  CFRelease(b);
  EXPECT_EQ(TotalReleases(), 2);
}

TEST_F(CFCollections, NilEqualMeansIdentityStandardCallbacksMeanValue) {
  char first[] = "same", second[] = "same";
  CFMutableArrayRef raw = CFArrayCreateMutable(nullptr, 0, nullptr);
  CFArrayAppendValue(raw, first);
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(raw, CFRangeMake(0, 1), first), 0);
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(raw, CFRangeMake(0, 1), second), kCFNotFound);
  CFMutableSetRef rawSet = CFSetCreateMutable(nullptr, 0, nullptr);
  CFSetAddValue(rawSet, first);
  EXPECT_FALSE(CFSetContainsValue(rawSet, second));
  CFRelease(raw);
  CFRelease(rawSet);

  // Distinct CF objects of equal value are found through CFEqual / CFHash.
  SInt32 n = 7;
  double d = 7.0;
  CFNumberRef seven = CFNumberCreate(nullptr, kCFNumberSInt32Type, &n);
  CFNumberRef sevenToo = CFNumberCreate(nullptr, kCFNumberFloat64Type, &d);
  CFMutableArrayRef typed = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(typed, seven);
  EXPECT_TRUE(CFArrayContainsValue(typed, CFRangeMake(0, 1), sevenToo));
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, seven, kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(dict, sevenToo), kCFBooleanTrue);
  EXPECT_EQ(CFGetRetainCount(seven), 3);  // ours, the array's, the dictionary's
  CFRelease(typed);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(seven), 1);
  CFRelease(seven);
  CFRelease(sevenToo);
}

// Random additions, replacements and removals checked against a simple
// model of an insertion-ordered map: the order and every look-up must agree.
CFHashCode CollidingHash(const void*) { return 42; }

void CheckAgainstModel(const CFDictionaryKeyCallBacks* keys, const char* label) {
  SCOPED_TRACE(label);
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, keys, nullptr);
  std::vector<std::pair<uintptr_t, uintptr_t>> model;
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 600; };
  for (int step = 0; step < 6000; ++step) {
    uintptr_t key = (next() + 1) * 16;
    uintptr_t value = uintptr_t(step + 1);
    auto it = std::find_if(model.begin(), model.end(), [&](auto& p) { return p.first == key; });
    if (step % 3 == 2) {
      CFDictionaryRemoveValue(d, Raw(key));
      if (it != model.end()) model.erase(it);
    } else {
      CFDictionarySetValue(d, Raw(key), Raw(value));
      if (it != model.end())
        it->second = value;
      else
        model.emplace_back(key, value);
    }
  }
  ASSERT_EQ(CFDictionaryGetCount(d), CFIndex(model.size()));
  std::vector<const void*> ks(model.size()), vs(model.size());
  CFDictionaryGetKeysAndValues(d, ks.data(), vs.data());
  for (size_t i = 0; i < model.size(); ++i) {
    EXPECT_EQ(ks[i], Raw(model[i].first)) << i;
    EXPECT_EQ(vs[i], Raw(model[i].second)) << i;
    EXPECT_EQ(CFDictionaryGetValue(d, Raw(model[i].first)), Raw(model[i].second));
  }
  for (uintptr_t k = 1; k <= 600; ++k) {
    bool inModel = std::any_of(model.begin(), model.end(), [&](auto& p) { return p.first == k * 16; });
    EXPECT_EQ(bool(CFDictionaryContainsKey(d, Raw(k * 16))), inModel) << k;
  }
  CFRelease(d);
}

TEST_F(CFCollections, DictionaryKeepsInsertionOrderThroughChurn) {
  CheckAgainstModel(nullptr, "address hash");
  const CFDictionaryKeyCallBacks colliding = {0, nullptr, nullptr, nullptr, nullptr, CollidingHash};
  CheckAgainstModel(&colliding, "every key colliding");
}

TEST_F(CFCollections, SetKeepsInsertionOrderAndReplacesInPlace) {
  CFMutableSetRef s = CFSetCreateMutable(nullptr, 0, nullptr);
  for (uintptr_t v = 1; v <= 50; ++v) CFSetAddValue(s, Raw(v * 8));
  for (uintptr_t v = 1; v <= 50; v += 2) CFSetRemoveValue(s, Raw(v * 8));
  CFSetAddValue(s, Raw(8));       // re-added: goes last
  CFSetReplaceValue(s, Raw(16));  // present: stays where it is
  std::vector<const void*> got(size_t(CFSetGetCount(s)));
  CFSetGetValues(s, got.data());
  std::vector<const void*> want;
  for (uintptr_t v = 2; v <= 50; v += 2) want.push_back(Raw(v * 8));
  want.push_back(Raw(8));
  EXPECT_EQ(got, want);
  CFRelease(s);
}

struct Item {
  int key;
  int seq;
};

// "Before" or "after", never "same", as the program's comparators are.
CFComparisonResult ByKey(const void* a, const void* b, void*) {
  return static_cast<const Item*>(a)->key < static_cast<const Item*>(b)->key ? kCFCompareLessThan
                                                                             : kCFCompareGreaterThan;
}

CFComparisonResult Erratic(const void*, const void*, void* context) {
  auto* state = static_cast<uint32_t*>(context);
  *state = *state * 1103515245u + 12345u;
  return (*state >> 16) & 1 ? kCFCompareLessThan : kCFCompareGreaterThan;
}

TEST_F(CFCollections, SortIsStableWithComparatorsThatNeverAnswerSame) {
  std::vector<Item> items;
  for (int i = 0; i < 1000; ++i) items.push_back({(i * 7919) % 13, i});
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, nullptr);
  for (auto& it : items) CFArrayAppendValue(a, &it);

  CFArraySortValues(a, CFRangeMake(1, 998), ByKey, nullptr);  // first and last stay
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 0), &items[0]);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 999), &items[999]);
  for (CFIndex i = 2; i < 999; ++i) {
    auto* prev = static_cast<const Item*>(CFArrayGetValueAtIndex(a, i - 1));
    auto* cur = static_cast<const Item*>(CFArrayGetValueAtIndex(a, i));
    ASSERT_TRUE(prev->key < cur->key || (prev->key == cur->key && prev->seq < cur->seq)) << i;
  }

  // Sorted: binary search finds the first slot not before the probe.
  CFArraySortValues(a, CFRangeMake(0, 1000), ByKey, nullptr);
  Item probe{5, -1};
  CFIndex at = CFArrayBSearchValues(a, CFRangeMake(0, 1000), &probe, ByKey, nullptr);
  EXPECT_EQ(static_cast<const Item*>(CFArrayGetValueAtIndex(a, at))->key, 5);
  EXPECT_EQ(static_cast<const Item*>(CFArrayGetValueAtIndex(a, at - 1))->key, 4);

  // A comparator that answers at random leaves a permutation of the values.
  uint32_t state = 1;
  CFArraySortValues(a, CFRangeMake(0, 1000), Erratic, &state);
  std::vector<const void*> after(1000);
  CFArrayGetValues(a, CFRangeMake(0, 1000), after.data());
  std::sort(after.begin(), after.end());
  std::vector<const void*> before;
  for (auto& it : items) before.push_back(&it);
  std::sort(before.begin(), before.end());
  EXPECT_EQ(after, before);
  CFRelease(a);
}

// Tree infos that count their releases.
std::map<const void*, int> gInfoReleases;
void CountInfoRelease(const void* info) { ++gInfoReleases[info]; }

CFTreeRef NewNode(int* info) {
  CFTreeContext ctx = {0, info, nullptr, CountInfoRelease, nullptr};
  return CFTreeCreate(nullptr, &ctx);
}

TEST_F(CFCollections, TreeParentHoldsOneReferenceAndInfoIsReleasedOnce) {
  gInfoReleases.clear();
  int rootInfo = 0, aInfo = 1, bInfo = 2, cInfo = 3;
  CFTreeRef root = NewNode(&rootInfo);
  CFTreeRef a = NewNode(&aInfo);
  CFTreeRef b = NewNode(&bInfo);
  CFTreeRef c = NewNode(&cInfo);
  CFTreeAppendChild(root, a);
  EXPECT_EQ(CFGetRetainCount(a), 2);
  CFRelease(a);
  CFTreePrependChild(root, b);
  CFRelease(b);
  CFTreeInsertSibling(b, c);  // between b and a
  CFRelease(c);
  CFTreeRef order[3];
  CFTreeGetChildren(root, order);
  EXPECT_EQ(order[0], b);
  EXPECT_EQ(order[1], c);
  EXPECT_EQ(order[2], a);
  EXPECT_EQ(CFTreeGetNextSibling(c), a);
  EXPECT_EQ(CFTreeGetNextSibling(a), nullptr);
  EXPECT_EQ(CFTreeGetChildAtIndex(root, 3), nullptr);

  // A move: keep the node alive across its removal, attach it elsewhere.
  CFRetain(a);
  CFTreeRemove(a);
  EXPECT_EQ(CFGetRetainCount(a), 1);
  EXPECT_EQ(CFTreeGetParent(a), nullptr);
  EXPECT_TRUE(gInfoReleases.empty());
  CFTreeAppendChild(c, a);
  CFRelease(a);
  EXPECT_EQ(CFTreeFindRoot(a), root);

  // Cycles and second parents are refused.
  CFTreeAppendChild(a, root);
  CFTreeAppendChild(b, a);
  EXPECT_EQ(CFTreeGetChildCount(a), 0);
  EXPECT_EQ(CFTreeGetParent(a), c);

  CFTreeContext ctx;
  CFTreeGetContext(a, &ctx);
  EXPECT_EQ(ctx.info, &aInfo);
  CFRelease(root);  // frees the whole tree
  for (int* info : {&rootInfo, &aInfo, &bInfo, &cInfo}) EXPECT_EQ(gInfoReleases[info], 1);
  EXPECT_EQ(gInfoReleases.size(), 4u);
}

TEST_F(CFCollections, TreeContextReplacementAndChildSorting) {
  gInfoReleases.clear();
  int first = 0, second = 0;
  CFTreeRef node = NewNode(&first);
  CFTreeContext next = {0, &second, nullptr, CountInfoRelease, nullptr};
  CFTreeSetContext(node, &next);
  EXPECT_EQ(gInfoReleases[&first], 1);

  std::vector<Item> items = {{2, 0}, {1, 1}, {2, 2}, {1, 3}};
  for (auto& it : items) {
    CFTreeContext ctx = {0, &it, nullptr, nullptr, nullptr};
    CFTreeRef child = CFTreeCreate(nullptr, &ctx);
    CFTreeAppendChild(node, child);
    CFRelease(child);
  }
  CFTreeSortChildren(
      node,
      [](const void* x, const void* y, void*) {
        CFTreeContext cx, cy;
        CFTreeGetContext(CFTreeRef(const_cast<void*>(x)), &cx);
        CFTreeGetContext(CFTreeRef(const_cast<void*>(y)), &cy);
        return ByKey(cx.info, cy.info, nullptr);
      },
      nullptr);
  std::vector<int> seqs;
  for (CFTreeRef c = CFTreeGetFirstChild(node); c; c = CFTreeGetNextSibling(c)) {
    CFTreeContext ctx;
    CFTreeGetContext(c, &ctx);
    seqs.push_back(static_cast<Item*>(ctx.info)->seq);
  }
  EXPECT_EQ(seqs, (std::vector<int>{1, 3, 0, 2}));
  CFRelease(node);
  EXPECT_EQ(gInfoReleases[&second], 1);
}

TEST_F(CFCollections, DeepTreeIsFreedWithoutRecursion) {
  gInfoReleases.clear();
  static int info = 0;
  CFTreeRef top = NewNode(&info);
  for (int level = 1; level < 100000; ++level) {
    CFTreeRef parent = NewNode(&info);
    CFTreeAppendChild(parent, top);
    CFRelease(top);
    top = parent;
  }
  CFRelease(top);
  EXPECT_EQ(gInfoReleases[&info], 100000);
}

// Bad calls do nothing and say so on one line of standard error.
TEST_F(CFCollections, ImmutableAndOutOfRangeCallsAreRefused) {
  const void* vals[] = {Raw(0x10), Raw(0x20)};
  CFArrayRef fixed = CFArrayCreate(nullptr, vals, 2, nullptr);
  CFDictionaryRef fixedDict = CFDictionaryCreate(nullptr, vals, vals, 2, nullptr, nullptr);
  CFSetRef fixedSet = CFSetCreate(nullptr, vals, 2, nullptr);
  CFBagRef fixedBag = CFBagCreate(nullptr, vals, 2, nullptr);
  CFMutableArrayRef open = CFArrayCreateMutableCopy(nullptr, 0, fixed);

  struct Case {
    const char* name;
    std::function<void()> call;
    std::function<CFIndex()> count;
  };
  const Case cases[] = {
      {"array append", [&] { CFArrayAppendValue((CFMutableArrayRef)fixed, Raw(0x30)); },
       [&] { return CFArrayGetCount(fixed); }},
      {"array remove all", [&] { CFArrayRemoveAllValues((CFMutableArrayRef)fixed); },
       [&] { return CFArrayGetCount(fixed); }},
      {"dictionary set", [&] { CFDictionarySetValue((CFMutableDictionaryRef)fixedDict, Raw(0x30), Raw(1)); },
       [&] { return CFDictionaryGetCount(fixedDict); }},
      {"set add", [&] { CFSetAddValue((CFMutableSetRef)fixedSet, Raw(0x30)); },
       [&] { return CFSetGetCount(fixedSet); }},
      {"bag remove", [&] { CFBagRemoveValue((CFMutableBagRef)fixedBag, Raw(0x10)); },
       [&] { return CFBagGetCount(fixedBag); }},
      {"remove past the end", [&] { CFArrayRemoveValueAtIndex(open, 2); },
       [&] { return CFArrayGetCount(open); }},
      {"insert before the start", [&] { CFArrayInsertValueAtIndex(open, -1, Raw(0x30)); },
       [&] { return CFArrayGetCount(open); }},
      {"replace a range past the end", [&] { CFArrayReplaceValues(open, CFRangeMake(1, 5), nullptr, 0); },
       [&] { return CFArrayGetCount(open); }},
      {"wrong type", [&] { CFArrayAppendValue((CFMutableArrayRef)fixedSet, Raw(0x30)); },
       [&] { return CFSetGetCount(fixedSet); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CFIndex before = c.count();
    ::testing::internal::CaptureStderr();
    c.call();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.count(), before);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CFArrayGetValueAtIndex(open, 2), nullptr);
  EXPECT_EQ(CFArrayGetValueAtIndex(open, -1), nullptr);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CFArrayGetCount(nullptr), 0);  // nil is quietly empty

  for (CFTypeRef cf : {CFTypeRef(fixed), CFTypeRef(fixedDict), CFTypeRef(fixedSet),
                       CFTypeRef(fixedBag), CFTypeRef(open)})
    CFRelease(cf);
}

TEST_F(CFCollections, EqualityAndDescriptions) {
  SInt32 one = 1, two = 2;
  CFNumberRef n1 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &one);
  CFNumberRef n2 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &two);
  const void* keys[] = {n1, n2};
  const void* values[] = {n2, n1};
  CFDictionaryRef d1 = CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                                          &kCFTypeDictionaryValueCallBacks);
  const void* keysReversed[] = {n2, n1};
  const void* valuesReversed[] = {n1, n2};
  CFDictionaryRef d2 = CFDictionaryCreate(nullptr, keysReversed, valuesReversed, 2,
                                          &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  EXPECT_TRUE(CFEqual(d1, d2));  // order does not matter for equality
  EXPECT_EQ(CFHash(d1), CFHash(d2));
  CFArrayRef a1 = CFArrayCreate(nullptr, keys, 2, &kCFTypeArrayCallBacks);
  CFArrayRef a2 = CFArrayCreate(nullptr, keysReversed, 2, &kCFTypeArrayCallBacks);
  EXPECT_FALSE(CFEqual(a1, a2));  // it does for arrays

  std::string text = CFObj(d1)->Describe();
  EXPECT_NE(text.find("count = 2"), std::string::npos) << text;
  EXPECT_NE(text.find("value = +1"), std::string::npos) << text;
  EXPECT_LT(text.find("value = +1"), text.find("value = +2")) << text;  // insertion order

  for (CFTypeRef cf : {CFTypeRef(d1), CFTypeRef(d2), CFTypeRef(a1), CFTypeRef(a2), CFTypeRef(n1),
                       CFTypeRef(n2)})
    CFRelease(cf);
}

}  // namespace
