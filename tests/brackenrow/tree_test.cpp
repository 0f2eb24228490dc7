// The tree model: node records and their ownership, walks, and the
// property-list form (its byte layout, round trips and hostile lists).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFPropertyList.h"
#include "CFRef.h"
#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "brackenrow/Brackenrow.h"

namespace {

CFTreeRef TreeOf(const Ref& r) { return static_cast<CFTreeRef>(const_cast<void*>(r.get())); }

Ptr Payload(const std::string& bytes) { return NewPtrCopy(bytes.data(), Size(bytes.size())); }

// Makes a node for a new record under parent (the parent keeps the only
// reference) and returns it.
CFTreeRef AddNode(CFTreeRef parent, SInt32 index, const std::string* payload = nullptr,
                  UInt32 type = 'TEXT', Boolean container = false) {
  Ptr data = payload ? Payload(*payload) : nullptr;
  SInt32 length = payload ? SInt32(payload->size()) : 0;
  NodeInfoPtr record = BrackenrowNewNode(data, length, type, index, BrackenrowGetNode(parent)
                                                                         ? BrackenrowGetNode(parent)->INDEX
                                                                         : 0,
                                         container);
  CFTreeRef node = BrackenrowCreateTree(record);
  CFTreeAppendChild(parent, node);
  CFRelease(node);
  return node;
}

SInt32 IndexOf(CFTreeRef node) {
  NodeInfoPtr record = BrackenrowGetNode(node);
  return record ? record->INDEX : -1;
}

std::string PayloadOf(CFTreeRef node) {
  NodeInfoPtr record = BrackenrowGetNode(node);
  if (record == nullptr || record->DATA == nullptr) return "<nil>";
  return std::string(static_cast<const char*>(record->DATA), size_t(GetPtrSize(static_cast<Ptr>(record->DATA))));
}

// The tree as text: "index(child child ...)" per node, payloads in brackets.
std::string Shape(CFTreeRef tree) {
  std::string out;
  for (CFTreeRef c = CFTreeGetFirstChild(tree); c != nullptr; c = CFTreeGetNextSibling(c)) {
    if (!out.empty()) out += " ";
    out += std::to_string(IndexOf(c));
    if (CFTreeGetChildCount(c) > 0) out += "(" + Shape(c) + ")";
  }
  return out;
}

// 1 "root-a" (2 "b"(4), 3), 5 "e"(6 "f")
CFTreeRef SampleTree() {
  static const std::string a = "root-a", b = "b", e = "e", f = "f";
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  CFTreeRef n1 = AddNode(root, 1, &a, 'TEXT', true);
  CFTreeRef n2 = AddNode(n1, 2, &b);
  AddNode(n2, 4);
  AddNode(n1, 3);
  CFTreeRef n5 = AddNode(root, 5, &e, 'TEXT', true);
  AddNode(n5, 6, &f);
  return root;
}

CFDataRef MakeElement(SInt32 index, SInt32 parent, const std::string& payload = "", SInt32 length = 0) {
  std::vector<UInt8> bytes(32, 0);
  auto put32 = [&](int at, UInt32 v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = UInt8(v >> (24 - 8 * i));
  };
  put32(0, UInt32(index));
  put32(4, UInt32(parent));
  put32(12, 'TEXT');
  put32(20, UInt32(length));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
}

CFArrayRef MakeList(const std::vector<CFDataRef>& elements) {
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFDataRef e : elements) {
    CFArrayAppendValue(list, e);
    CFRelease(e);
  }
  return list;
}

std::string TempFile(const char* name, const std::string& contents) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir ? dir : "/tmp") + "/brackenrow-" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  return path;
}

FSRef RefOf(const std::string& path) {
  FSRef ref = {};
  EXPECT_TRUE(FSGetPathRef(Str255(path), ref)) << path;
  return ref;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// ---------------------------------------------------------------------------
// Records and ownership

struct ReleaseLog {
  std::vector<std::string> calls;
};

void LogRelease(void* data, UInt32 type, void* context) {
  auto* log = static_cast<ReleaseLog*>(context);
  log->calls.push_back(std::string(static_cast<const char*>(data), 3) + ":" + std::string(FCCToString(type).view()));
}

TEST(TreeRecords, NodeOwnsRecordAndPayloadAndCallsItsRelease) {
  ReleaseLog log;
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  EXPECT_EQ(BrackenrowGetNode(root), nullptr);

  NodeInfoPtr withRelease = BrackenrowNewNode(Payload("abc"), 3, 'TEXT', 1, 0, true);
  withRelease->RELEASE = LogRelease;
  withRelease->CONTEXT = &log;
  NodeInfoPtr without = BrackenrowNewNode(Payload("xyz"), 3, 'DATA', 2, 1, false);
  void* withoutData = without->DATA;
  EXPECT_EQ(without->PARENT, 1);
  EXPECT_EQ(without->GROUP, 0);
  EXPECT_FALSE(without->OPEN);

  CFTreeRef a = BrackenrowCreateTree(withRelease);
  CFTreeRef b = BrackenrowCreateTree(without);
  CFTreeAppendChild(a, b);
  CFRelease(b);
  CFTreeAppendChild(root, a);
  CFRelease(a);
  EXPECT_EQ(BrackenrowGetNodeData(b), withoutData);

  CFRelease(root);
  EXPECT_EQ(log.calls, std::vector<std::string>{"abc:TEXT"});
  // A nil RELEASE still frees the payload and the record.
  EXPECT_FALSE(IsPointerValid(static_cast<Ptr>(withoutData)));
  EXPECT_FALSE(IsPointerValid(reinterpret_cast<Ptr>(without)));
  EXPECT_FALSE(IsPointerValid(reinterpret_cast<Ptr>(withRelease)));
}

TEST(TreeRecords, ForeignPayloadIsNeitherFreedNorReleased) {
  ReleaseLog log;
  static char foreign[4] = "abc";
  NodeInfoPtr record = BrackenrowNewNode(foreign, 3, 'TEXT', 1, 0, false);
  record->RELEASE = LogRelease;
  record->CONTEXT = &log;
  CFRelease(BrackenrowCreateTree(record));
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(IsPointerValid(reinterpret_cast<Ptr>(record)));
}

// ---------------------------------------------------------------------------
// Walks

TEST(TreeWalks, LookupByIndexTestsChildrenFirstAndMissReturnsTree) {
  Ref tree(SampleTree());
  auto root = TreeOf(tree);
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, 0), root);
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, 99), root);
  EXPECT_EQ(IndexOf(CFTreeRecurseGetChildAtIndex(root, 4)), 4);
  EXPECT_EQ(IndexOf(CFTreeRecurseGetChildAtIndex(root, 6)), 6);

  // A container 7 holding a child 7: the child is found.
  CFTreeRef c7 = AddNode(root, 7);
  CFTreeRef child7 = AddNode(c7, 7);
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, 7), child7);
  // Searching from a subtree never reports the subtree itself.
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(child7, 7), child7);
}

struct Visit {
  std::vector<SInt32> seen;
  SInt32 accept = 0;
};

void RecordVisit(CFTreeRef, NodeInfoPtr node, void* context) {
  static_cast<Visit*>(context)->seen.push_back(node->INDEX);
}

Boolean AcceptIndex(CFTreeRef, void* query, NodeInfoPtr node, void* data, void* context) {
  auto* visit = static_cast<Visit*>(context);
  visit->seen.push_back(node->INDEX);
  EXPECT_EQ(data, node->DATA);
  return node->INDEX == *static_cast<SInt32*>(query);
}

TEST(TreeWalks, ApplyAndSearchVisitContainersBeforeChildren) {
  Ref tree(SampleTree());
  auto root = TreeOf(tree);

  Visit all;
  CFTreeApplyFunctionToAllChildren(root, RecordVisit, true, &all);
  EXPECT_EQ(all.seen, (std::vector<SInt32>{1, 2, 4, 3, 5, 6}));
  Visit top;
  CFTreeApplyFunctionToAllChildren(root, RecordVisit, false, &top);
  EXPECT_EQ(top.seen, (std::vector<SInt32>{1, 5}));

  // Only nodes with a payload are offered; the first acceptance ends it.
  SInt32 want = 6;
  Visit search;
  EXPECT_EQ(IndexOf(BrackenrowSearch(root, AcceptIndex, &want, &search)), 6);
  EXPECT_EQ(search.seen, (std::vector<SInt32>{1, 2, 5, 6}));
  want = 4;  // node 4 has no payload
  EXPECT_EQ(BrackenrowSearch(root, AcceptIndex, &want, &search), nullptr);
}

void DetachNode(CFTreeRef tree, NodeInfoPtr node, void* context) {
  static_cast<Visit*>(context)->seen.push_back(node->INDEX);
  if (node->INDEX == 2) CFTreeRemove(tree);
}

TEST(TreeWalks, ApplierThatDetachesItsNodeEndsTheWalkSafely) {
  Ref tree(SampleTree());
  Visit visit;
  CFTreeApplyFunctionToAllChildren(TreeOf(tree), DetachNode, true, &visit);
  EXPECT_EQ(visit.seen, (std::vector<SInt32>{1, 2}));
  EXPECT_EQ(Shape(TreeOf(tree)), "1(3) 5(6)");
}

TEST(TreeWalks, VeryDeepTreesAreWalkedWithoutRecursion) {
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  CFTreeRef node = root;
  const SInt32 depth = 200000;
  for (SInt32 i = 1; i <= depth; ++i) node = AddNode(node, i);
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, 1), CFTreeGetFirstChild(root));
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, depth), node);
  Visit visit;
  CFTreeApplyFunctionToAllChildren(root, RecordVisit, true, &visit);
  EXPECT_EQ(visit.seen.size(), size_t(depth));
  EXPECT_EQ(visit.seen.back(), depth);
  Ref list(CFTreeConvertToProperyList(root, nullptr, nullptr));
  Ref back(CFTreeCreateFromPropertyList(list.get(), nullptr, nullptr));
  ASSERT_TRUE(back);
  EXPECT_EQ(IndexOf(CFTreeRecurseGetChildAtIndex(TreeOf(back), depth)), depth);
  CFRelease(root);
}

void SwapFirstTwo(void* data, SInt16 direction, void* context) {
  EXPECT_EQ(direction, 1);
  ++*static_cast<int*>(context);
  auto* p = static_cast<char*>(data);
  if (GetPtrSize(p) >= 2) std::swap(p[0], p[1]);
}

TEST(TreeWalks, ArrayCopyCopiesEveryPayloadAndSwapsOnlyTheCopy) {
  Ref bare(BrackenrowCreateTree(nullptr));
  EXPECT_EQ(CFTreeCreateArrayCopy(TreeOf(bare), nullptr, nullptr), nullptr);

  Ref tree(SampleTree());
  auto root = TreeOf(tree);
  int calls = 0;
  Ref copy(CFTreeCreateArrayCopy(root, SwapFirstTwo, &calls));
  ASSERT_TRUE(copy);
  ASSERT_EQ(CFArrayGetCount(copy.array()), 6);
  auto first = static_cast<CFDataRef>(CFArrayGetValueAtIndex(copy.array(), 0));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(first)), size_t(CFDataGetLength(first))),
            "orot-a");
  EXPECT_EQ(PayloadOf(CFTreeGetFirstChild(root)), "root-a");
  EXPECT_EQ(calls, 4);  // nodes without a payload give empty data, unswapped
}

// ---------------------------------------------------------------------------
// The property-list form

TEST(TreeList, RecordsAreStoredAsBigEndianHeadersFollowedByPayload) {
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  std::string abc = "abc";
  CFTreeRef container = AddNode(root, 1, &abc, 'TEXT', true);
  BrackenrowGetNode(container)->GROUP = 3;
  BrackenrowGetNode(container)->OPEN = true;
  ReleaseLog log;
  BrackenrowGetNode(container)->RELEASE = LogRelease;  // pointer words are not stored
  BrackenrowGetNode(container)->CONTEXT = &log;
  AddNode(container, 2);

  Ref list(CFTreeConvertToProperyList(root, nullptr, nullptr));
  ASSERT_TRUE(list);
  ASSERT_EQ(CFArrayGetCount(list.array()), 2);
  auto first = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list.array(), 0));
  auto second = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list.array(), 1));
  ASSERT_EQ(CFDataGetLength(first), 35);
  ASSERT_EQ(CFDataGetLength(second), 32);
  const UInt8 expected[35] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 3, 1, 1, 'T', 'E', 'X', 'T', 0, 0,
                              0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(first), expected, 35), 0);
  const UInt8 parent[8] = {0, 0, 0, 2, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(second), parent, 8), 0);

  CFRelease(root);
  EXPECT_EQ(CFTreeConvertToProperyList(nullptr, nullptr, nullptr), nullptr);
}

TEST(TreeList, FileRoundTripKeepsShapeAndFieldsAndClearsPointers) {
  Ref tree(SampleTree());
  auto root = TreeOf(tree);
  BrackenrowGetNode(CFTreeGetFirstChild(root))->GROUP = -2;
  BrackenrowGetNode(CFTreeGetFirstChild(root))->OPEN = true;
  BrackenrowGetNode(CFTreeGetFirstChild(root))->CONTEXT = &tree;
  // A record without a payload keeps the length it was given.
  BrackenrowGetNode(CFTreeRecurseGetChildAtIndex(root, 3))->DATALENGTH = 77;

  std::string path = TempFile("roundtrip.plist", "");
  FSRef ref = RefOf(path);
  CFTreeWritePropertyList(ref, root, nullptr, nullptr);
  EXPECT_NE(ReadFile(path).find("<array>"), std::string::npos);

  Ref back(CFTreeReadPropertyList(ref, nullptr, nullptr));
  ASSERT_TRUE(back);
  auto copy = TreeOf(back);
  EXPECT_EQ(BrackenrowGetNode(copy), nullptr);
  EXPECT_EQ(Shape(copy), "1(2(4) 3) 5(6)");
  NodeInfoPtr first = BrackenrowGetNode(CFTreeGetFirstChild(copy));
  EXPECT_EQ(first->GROUP, -2);
  EXPECT_TRUE(first->OPEN);
  EXPECT_TRUE(first->CONTAINER);
  EXPECT_EQ(first->DATATYPE, UInt32('TEXT'));
  EXPECT_EQ(first->DATALENGTH, 6);
  EXPECT_EQ(first->RELEASE, nullptr);
  EXPECT_EQ(first->CONTEXT, nullptr);
  EXPECT_EQ(PayloadOf(CFTreeGetFirstChild(copy)), "root-a");
  EXPECT_EQ(PayloadOf(CFTreeRecurseGetChildAtIndex(copy, 6)), "f");
  NodeInfoPtr empty = BrackenrowGetNode(CFTreeRecurseGetChildAtIndex(copy, 3));
  EXPECT_EQ(empty->DATA, nullptr);
  EXPECT_EQ(empty->DATALENGTH, 77);
  EXPECT_EQ(empty->PARENT, 1);
}

TEST(TreeList, TreeWithoutRecordsEmptiesTheFileAndReadsAsNil) {
  std::string path = TempFile("empty.plist", "old contents");
  FSRef ref = RefOf(path);
  Ref bare(BrackenrowCreateTree(nullptr));
  CFTreeWritePropertyList(ref, TreeOf(bare), nullptr, nullptr);
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(CFTreeReadPropertyList(ref, nullptr, nullptr), nullptr);
}

namespace {

// Writing: keeps the bytes but asks for only two of them. Reading: replaces
// the payload by an upper-case copy.
void* TranslatePayload(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length, void* context) {
  ++*static_cast<int*>(context);
  if (direction == 1) {
    length = 2;
    return nullptr;
  }
  EXPECT_EQ(length, GetPtrSize(static_cast<Ptr>(data)));
  EXPECT_EQ(node->DATA, data);
  Ptr upper = NewPtr(length + 1);
  for (SInt32 i = 0; i < length; ++i) upper[i] = char(std::toupper(static_cast<char*>(data)[i]));
  upper[length] = '!';
  length = length + 1;
  return upper;
}

}  // namespace

TEST(TreeList, TranslateCallbackShapesPayloadsBothWays) {
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  std::string text = "hello";
  AddNode(root, 1, &text);
  int calls = 0;
  Ref list(CFTreeConvertToProperyList(root, TranslatePayload, &calls));
  CFRelease(root);
  ASSERT_TRUE(list);
  auto element = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list.array(), 0));
  ASSERT_EQ(CFDataGetLength(element), 34);
  EXPECT_EQ(CFDataGetBytePtr(element)[23], 5);  // the header keeps the record's own length

  Ref back(CFTreeCreateFromPropertyList(list.get(), TranslatePayload, &calls));
  ASSERT_TRUE(back);
  CFTreeRef node = CFTreeGetFirstChild(TreeOf(back));
  EXPECT_EQ(PayloadOf(node), "HE!");
  EXPECT_EQ(BrackenrowGetNode(node)->DATALENGTH, 3);
  EXPECT_EQ(calls, 2);
}

TEST(TreeList, LengthBeyondThePayloadBlockIsNotReadPastIt) {
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  std::string text = "xy";
  CFTreeRef node = AddNode(root, 1, &text);
  BrackenrowGetNode(node)->DATALENGTH = 4096;
  Ref list(CFTreeConvertToProperyList(root, nullptr, nullptr));
  CFRelease(root);
  auto element = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list.array(), 0));
  EXPECT_EQ(CFDataGetLength(element), 34);
}

namespace {

// Every node's PARENT is its parent's INDEX (at the top: no record's), and
// no INDEX but 0 repeats.
std::string Unclean(CFTreeRef tree) {
  std::string problems;
  std::multiset<SInt32> numbers;
  std::vector<std::pair<CFTreeRef, NodeInfoPtr>> nodes;  // with their parents' records
  std::vector<CFTreeRef> pending{tree};
  while (!pending.empty()) {
    CFTreeRef at = pending.back();
    pending.pop_back();
    for (CFTreeRef c = CFTreeGetFirstChild(at); c != nullptr; c = CFTreeGetNextSibling(c)) {
      nodes.emplace_back(c, BrackenrowGetNode(at));
      numbers.insert(BrackenrowGetNode(c)->INDEX);
      pending.push_back(c);
    }
  }
  for (auto [node, parent] : nodes) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (parent != nullptr ? record->PARENT != parent->INDEX : record->PARENT != 0 && numbers.count(record->PARENT) > 0)
      problems += " " + std::to_string(record->INDEX) + " names parent " + std::to_string(record->PARENT);
    if (record->INDEX != 0 && numbers.count(record->INDEX) > 1) problems += " " + std::to_string(record->INDEX) + " repeats";
  }
  return problems;
}

}  // namespace

// Damaged lists read as clean trees: each record is placed among those read
// before it (children-first for a repeated number, the top level for a
// parent that comes later or nowhere); then repeated numbers take fresh ones
// past the largest and every PARENT names the node above. What is read is
// written and read again in the same shape.
TEST(TreeList, DamagedListsReadAsCleanTreesThatReadBackTheSame) {
  struct Case {
    const char* what;
    std::vector<std::pair<SInt32, SInt32>> records;  // INDEX, PARENT
    const char* shape;
  };
  const Case cases[] = {
      // 3 names parent 9, which comes only later; 8's parent exists nowhere.
      // The second 7 is a child of the first and, met first by a
      // children-first walk, adopts 10; it is then numbered past the
      // largest number of the list, 12345.
      {"forward and missing parents, a repeated number",
       {{1, 0}, {3, 9}, {9, 1}, {8, 12345}, {7, 0}, {7, 7}, {10, 7}, {11, 1}},
       "1(9 11) 3 8 7(12346(10))"},
      // Two unrelated 5s: 20 goes to the one met first in a children-first
      // walk, the earlier sibling's, though the later one sits deeper.
      {"a number repeated in another branch", {{1, 0}, {5, 1}, {2, 0}, {6, 2}, {5, 6}, {20, 5}}, "1(5(20)) 2(6(21))"},
      {"a record that is its own parent", {{4, 4}, {5, 4}}, "4(5)"},
      {"one number for every record", {{2, 0}, {2, 2}, {2, 2}, {2, 0}}, "2(3(4)) 5"},
      {"records without a number", {{0, 0}, {0, 0}, {1, 0}, {2, 1}}, "0 0 1(2)"},
  };
  for (const Case& c : cases) {
    std::vector<CFDataRef> elements;
    for (auto [index, parent] : c.records) elements.push_back(MakeElement(index, parent));
    Ref list(MakeList(elements));
    Ref tree(CFTreeCreateFromPropertyList(list.get(), nullptr, nullptr));
    ASSERT_TRUE(tree) << c.what;
    EXPECT_EQ(Shape(TreeOf(tree)), c.shape) << c.what;
    EXPECT_EQ(Unclean(TreeOf(tree)), "") << c.what;
    Ref written(CFTreeConvertToProperyList(TreeOf(tree), nullptr, nullptr));
    Ref again(CFTreeCreateFromPropertyList(written.get(), nullptr, nullptr));
    ASSERT_TRUE(again) << c.what;
    EXPECT_EQ(Shape(TreeOf(again)), c.shape) << c.what;
  }
}

TEST(TreeList, DuplicateIndexesFollowTheChildrenFirstRule) {
  Ref list(MakeList({MakeElement(1, 0), MakeElement(5, 1), MakeElement(2, 0), MakeElement(6, 2),
                     MakeElement(5, 6), MakeElement(20, 5)}));
  Ref tree(CFTreeCreateFromPropertyList(list.get(), nullptr, nullptr));
  ASSERT_TRUE(tree);
  auto root = TreeOf(tree);
  // The reader agrees with the lookup walk itself.
  EXPECT_EQ(CFTreeRecurseGetChildAtIndex(root, 5), CFTreeGetFirstChild(CFTreeGetFirstChild(root)));
}

TEST(TreeList, HostileListsGiveNilAndNeverATree) {
  struct Case {
    const char* what;
    CFTypeRef list;
  };
  std::vector<UInt8> shortBytes(31, 0);
  CFMutableArrayRef mixed = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFDataRef good = MakeElement(1, 0, "p", 1);
  CFArrayAppendValue(mixed, good);
  CFRelease(good);
  CFArrayAppendValue(mixed, CFSTR("not data"));
  Case cases[] = {
      {"nil", nullptr},
      {"a string", CFStringCreateWithCString(nullptr, "list", kCFStringEncodingUTF8)},
      {"a dictionary", CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                 &kCFTypeDictionaryValueCallBacks)},
      {"a short element", MakeList({CFDataCreate(nullptr, shortBytes.data(), 31)})},
      {"an element that is no data", mixed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CFTreeCreateFromPropertyList(c.list, nullptr, nullptr), nullptr) << c.what;
    if (c.list) CFRelease(c.list);
  }
  // An empty array is a valid list of no records.
  Ref empty(MakeList({}));
  Ref root(CFTreeCreateFromPropertyList(empty.get(), nullptr, nullptr));
  ASSERT_TRUE(root);
  EXPECT_EQ(CFTreeGetChildCount(TreeOf(root)), 0);
}

TEST(TreeList, DamagedFilesReadAsNil) {
  const char* contents[] = {
      "",
      "this is no property list",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><data>AAAA",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><data>AAAAAQ==</data></array></plist>",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><data>AAAA</data></dict></plist>",
  };
  int n = 0;
  for (const char* text : contents) {
    std::string path = TempFile(("damaged" + std::to_string(n++)).c_str(), text);
    EXPECT_EQ(CFTreeReadPropertyList(RefOf(path), nullptr, nullptr), nullptr) << text;
  }
  FSRef none = {};
  EXPECT_EQ(CFTreeReadPropertyList(none, nullptr, nullptr), nullptr);
}
