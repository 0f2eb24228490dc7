// Symbol tables: placement by parent name, searches and walks, the stored
// record, and Flatten/Expand with damaged lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFPropertyList.h"
#include "CFRef.h"
#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"

namespace {

SyntaxStandardData Definition(const char* name, SInt16 style = 6) {
  SyntaxStandardData definition = {};
  definition.definitionName = name;
  definition.styleData.styleIndex = style;
  return definition;
}

// The table's symbols as "name(child child) name".
std::string Shape(CFTreeRef tree) {
  std::string out;
  for (CFTreeRef c = CFTreeGetFirstChild(tree); c != nullptr; c = CFTreeGetNextSibling(c)) {
    if (!out.empty()) out += " ";
    out += static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(c))->symbolName.str();
    if (CFTreeGetChildCount(c) > 0) out += "(" + Shape(c) + ")";
  }
  return out;
}

struct Table {
  TSymbolTable* t = new TSymbolTable();
  explicit Table(SyntaxLibraryPtr library = nullptr) { t->Create(library); }
  ~Table() { t->Release(); }
  TSymbolTable* operator->() { return t; }
  SymbolInfoPtr Add(const char* name, const char* parent = "") {
    return t->Add(name, parent, "file.php", Definition("function"));
  }
};

void CollectNames(SymbolInfoPtr info, CFTreeRef, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(info->symbolName.str());
}

CFMutableArrayRef MutableCopy(CFTypeRef list) {
  return CFArrayCreateMutableCopy(nullptr, 0, static_cast<CFArrayRef>(list));
}

}  // namespace

TEST(SymbolTable, SymbolsHangUnderTheirNearestNamedAncestor) {
  struct Step {
    const char* name;
    const char* parent;
  };
  struct Case {
    std::vector<Step> steps;
    const char* shape;
  };
  const Case cases[] = {
      // Two methods of A: the second finds A as the ancestor of the first.
      {{{"A", ""}, {"m1", "A"}, {"m2", "A"}}, "A(m1 m2)"},
      // A parent name found nowhere on the path: under the latest symbol.
      {{{"A", ""}, {"m1", "A"}, {"x", "Nope"}}, "A(m1(x))"},
      // The first symbol with a parent name goes to the top level; the next
      // one, whose parent is still nowhere, under it.
      {{{"m", "A"}, {"n", "A"}}, "m(n)"},
      // An empty parent name goes to the top level and becomes the insertion point.
      {{{"A", ""}, {"m1", "A"}, {"B", ""}, {"m2", "A"}}, "A(m1) B(m2)"},
      // Names compare exactly.
      {{{"A", ""}, {"a", ""}, {"m", "A "}}, "A a(m)"},
      // Symbols left behind by a parent found higher up are no ancestors
      // of what follows: "y" is not found from "m".
      {{{"A", ""}, {"x", "Nope"}, {"y", "Nope"}, {"m", "A"}, {"z", "y"}}, "A(x(y) m(z))"},
      // Of two ancestors of one name the nearest holds the symbol.
      {{{"A", ""}, {"B", "A"}, {"A", "B"}, {"m", "A"}}, "A(B(A(m)))"},
  };
  for (const Case& c : cases) {
    Table table;
    for (const Step& s : c.steps) table.Add(s.name, s.parent);
    EXPECT_EQ(Shape(table->GetTable()), c.shape) << c.shape;
  }
}

// A file whose parent names are found nowhere nests every symbol under the
// one before: thousands deep, a parent near the top is still found, and a
// cleaned table starts again from the top.
TEST(SymbolTable, ALongLineOfNestedSymbolsStillFindsItsTop) {
  Table table;
  table.Add("Top");
  for (int i = 0; i < 5000; ++i) table.Add(("f" + std::to_string(i)).c_str(), "Nope");
  table.Add("m", "Top");
  table.Add("n", "f4999");  // no longer an ancestor: under "m"
  CFTreeRef top = CFTreeGetFirstChild(table->GetTable());
  ASSERT_NE(top, nullptr);
  ASSERT_EQ(CFTreeGetChildCount(top), 2);
  CFTreeRef m = CFTreeGetChildAtIndex(top, 1);
  EXPECT_EQ(static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(m))->symbolName.str(), "m");
  EXPECT_EQ(Shape(m), "n");
  table->Clean();
  table.Add("p", "Top");
  table.Add("q", "p");
  EXPECT_EQ(Shape(table->GetTable()), "p(q)");
}

TEST(SymbolTable, AddFillsTheRecordAndItsNode) {
  Table table;
  SymbolInfoPtr a = table.Add("A");
  std::string longName(80, 'n');
  SymbolInfoPtr m = table->Add(longName.c_str(), "A", "cart.php",
                               Definition("a-definition-name-longer-than-thirty-one", 7));
  EXPECT_EQ(m->symbolName.len(), 63);
  EXPECT_EQ(m->definitionName.str(), std::string("a-definition-name-longer-than-thirty-one").substr(0, 31));
  EXPECT_EQ(m->styleIndex, 7);
  EXPECT_EQ(m->fileName.str(), "cart.php");
  EXPECT_TRUE(m->source.empty());
  EXPECT_TRUE(table->modified);

  CFTreeRef aNode = CFTreeGetFirstChild(table->GetTable());
  NodeInfoPtr aRecord = BrackenrowGetNode(aNode);
  NodeInfoPtr mRecord = BrackenrowGetNode(CFTreeGetFirstChild(aNode));
  EXPECT_EQ(aRecord->DATA, a);
  EXPECT_EQ(aRecord->INDEX, 1);
  EXPECT_EQ(aRecord->PARENT, 0);
  EXPECT_EQ(mRecord->INDEX, 2);
  EXPECT_EQ(mRecord->PARENT, 1);
  EXPECT_EQ(mRecord->DATATYPE, UInt32('SYMB'));
  EXPECT_EQ(mRecord->DATALENGTH, 360);
  EXPECT_FALSE(mRecord->CONTAINER);
}

TEST(SymbolTable, FindAndApplyVisitChildrenBeforeTheirContainer) {
  Table table;
  SymbolInfoPtr emptyResult = reinterpret_cast<SymbolInfoPtr>(1);
  EXPECT_FALSE(table->Find("f", emptyResult));
  EXPECT_EQ(emptyResult, nullptr);

  SymbolInfoPtr outer = table.Add("f");
  SymbolInfoPtr inner = table.Add("f", "f");
  table.Add("g", "f");
  table.Add("h");
  SymbolInfoPtr found = nullptr;
  EXPECT_TRUE(table->Find("f", found));
  EXPECT_EQ(found, inner);
  EXPECT_NE(found, outer);
  EXPECT_FALSE(table->Find("F", found));
  EXPECT_EQ(found, nullptr);

  std::vector<std::string> names;
  table->ApplyFunction(CollectNames, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"g", "f", "f", "h"}));
}

TEST(SymbolTable, CleanKeepsTheCounterAndExpandCountsNodesRead) {
  Table table;
  table.Add("a");
  table.Add("b", "a");
  Ref list(table->Flatten());
  EXPECT_FALSE(table->modified);
  table->Clean();
  EXPECT_TRUE(table->modified);
  EXPECT_EQ(CFTreeGetChildCount(table->GetTable()), 0);
  EXPECT_EQ(table->insertionPoint, nullptr);
  table.Add("c", "a");  // after Clean a parent name leads to the top level
  EXPECT_EQ(Shape(table->GetTable()), "c");
  EXPECT_EQ(BrackenrowGetNode(CFTreeGetFirstChild(table->GetTable()))->INDEX, 3);

  EXPECT_TRUE(table->Expand(list.get()));
  EXPECT_EQ(table->counter, 5);
  EXPECT_EQ(Shape(table->GetTable()), "a(b)");
  EXPECT_EQ(table->insertionPoint, nullptr);

  Table empty;
  Ref none(empty->Flatten());
  ASSERT_TRUE(none);
  EXPECT_EQ(CFArrayGetCount(none.array()), 0);
}

TEST(SymbolTable, StoredImageIsFixedAndLibraryComesFromTheTable) {
  SyntaxLibraryRec libraryA = {}, libraryB = {};
  Table table(&libraryA);
  SymbolInfoPtr s = table->Add("Cart", "", "cart.php", Definition("class", 0x0102));
  s->source = "class Cart extends Base";
  Ref list(table->Flatten());
  ASSERT_EQ(CFArrayGetCount(list.array()), 1);
  auto element = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list.array(), 0));
  ASSERT_EQ(CFDataGetLength(element), 32 + 360);
  const UInt8* image = CFDataGetBytePtr(element) + 32;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image), 5), "\x04" "Cart");
  EXPECT_EQ(image[128], 0x01);
  EXPECT_EQ(image[129], 0x02);
  EXPECT_EQ(image[130], 5);  // "class"
  EXPECT_EQ(image[162], 23);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image + 292), 8), "cart.php");
  for (int i = 355; i < 360; ++i) EXPECT_EQ(image[i], 0) << i;
  EXPECT_EQ(s->styleIndex, 0x0102);  // the live record is untouched

  Table other(&libraryB);
  ASSERT_TRUE(other->Expand(list.get()));
  auto back = static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(CFTreeGetFirstChild(other->GetTable())));
  EXPECT_EQ(back->library, &libraryB);
  EXPECT_EQ(back->styleIndex, 0x0102);
  EXPECT_EQ(back->source.str(), "class Cart extends Base");
  EXPECT_EQ(back->definitionName.str(), "class");
}

TEST(SymbolTable, ExpandLeavesOutRecordsOfTheWrongTypeOrSize) {
  Table table;
  table.Add("keep");
  table.Add("child", "keep");
  Ref good(table->Flatten());
  CFMutableArrayRef list = MutableCopy(good.get());
  Ref holder(list);

  // A record of another type, one cut short, one that is no data, and one
  // whose name claims 200 characters in its 63-character field.
  std::vector<UInt8> bytes(CFDataGetBytePtr(static_cast<CFDataRef>(CFArrayGetValueAtIndex(list, 0))),
                           CFDataGetBytePtr(static_cast<CFDataRef>(CFArrayGetValueAtIndex(list, 0))) + 392);
  std::vector<UInt8> wrongType = bytes;
  wrongType[12] = 'T';  // "TEXT" in place of "SYMB"
  wrongType[13] = 'E';
  wrongType[14] = 'X';
  wrongType[15] = 'T';
  std::vector<UInt8> claims = bytes;
  claims[3] = 9;        // INDEX 9
  claims[32] = 200;     // name length
  Ref a(CFDataCreate(nullptr, wrongType.data(), 392));
  Ref b(CFDataCreate(nullptr, bytes.data(), 391));
  Ref c(CFDataCreate(nullptr, claims.data(), 392));
  CFArrayAppendValue(list, a.get());
  CFArrayAppendValue(list, b.get());
  CFArrayAppendValue(list, CFSTR("text"));
  CFArrayAppendValue(list, c.get());

  Table back;
  EXPECT_FALSE(back->Expand(list));
  EXPECT_EQ(CFTreeGetChildCount(back->GetTable()), 2);
  auto claimed = static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(CFTreeGetChildAtIndex(back->GetTable(), 1)));
  EXPECT_EQ(claimed->symbolName.len(), 63);

  // A list that is not an array leaves an empty, usable table.
  Table refused;
  refused.Add("old");
  EXPECT_FALSE(refused->Expand(CFSTR("not a list")));
  EXPECT_EQ(CFTreeGetChildCount(refused->GetTable()), 0);
  refused.Add("new");
  EXPECT_EQ(Shape(refused->GetTable()), "new");
}

TEST(SymbolTable, IndexesStayUniqueWhenStoredIndexesReachTheTop) {
  Table source;
  source.Add("a");
  Ref list(source->Flatten());
  CFMutableArrayRef changed = MutableCopy(list.get());
  Ref holder(changed);
  std::vector<UInt8> bytes(CFDataGetBytePtr(static_cast<CFDataRef>(CFArrayGetValueAtIndex(changed, 0))),
                           CFDataGetBytePtr(static_cast<CFDataRef>(CFArrayGetValueAtIndex(changed, 0))) + 392);
  bytes[0] = 0x7f;
  bytes[1] = bytes[2] = bytes[3] = 0xff;
  Ref top(CFDataCreate(nullptr, bytes.data(), 392));
  CFArraySetValueAtIndex(changed, 0, top.get());

  Table table;
  ASSERT_TRUE(table->Expand(changed));
  table.Add("b", "a");
  table.Add("c");
  std::vector<SInt32> indexes;
  for (CFTreeRef n = CFTreeGetFirstChild(table->GetTable()); n != nullptr; n = CFTreeGetNextSibling(n)) {
    indexes.push_back(BrackenrowGetNode(n)->INDEX);
    for (CFTreeRef m = CFTreeGetFirstChild(n); m != nullptr; m = CFTreeGetNextSibling(m)) {
      indexes.push_back(BrackenrowGetNode(m)->INDEX);
      EXPECT_EQ(BrackenrowGetNode(m)->PARENT, BrackenrowGetNode(n)->INDEX);
    }
  }
  ASSERT_EQ(indexes.size(), 3u);
  EXPECT_NE(indexes[0], indexes[1]);
  EXPECT_NE(indexes[1], indexes[2]);
  EXPECT_NE(indexes[0], indexes[2]);
  for (SInt32 i : indexes) EXPECT_GT(i, 0);
}

TEST(SymbolTable, DisplayNameOfAMethodNamesItsClass) {
  const char* languageFile =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
      "<key>class: expression</key><dict>"
      "<key>define: method</key><dict><key>icon</key><string>sxMT</string>"
      "<key>expression</key><string>function *(</string></dict>"
      "<key>define: function</key><dict><key>icon</key><string>sxFU</string>"
      "<key>expression</key><string>function *(</string></dict>"
      "</dict></dict></plist>";
  Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(languageFile), CFIndex(std::strlen(languageFile))));
  Ref plist(CFPropertyListCreateFromXMLData(nullptr, data.data(), kCFPropertyListImmutable, nullptr));
  ASSERT_TRUE(plist);
  TSyntaxCollection* collection = CreateSyntaxCollection(nullptr);
  SyntaxLibraryPtr library = collection->LoadLibraryFromPropertyList("fixture", plist.get());
  ASSERT_NE(library, nullptr);

  Table table(library);
  table.Add("Cart");
  SymbolInfoPtr method = table->Add("add", "Cart", "cart.php", Definition("method"));
  SymbolInfoPtr function = table->Add("helper", "", "cart.php", Definition("function"));
  ASSERT_NE(GetSymbolDefinition(method), nullptr);
  EXPECT_EQ(GetSymbolDisplayName(method).str(), "Cart_add");
  EXPECT_EQ(GetSymbolDisplayName(function).str(), "helper");
  method->library = nullptr;
  EXPECT_EQ(GetSymbolDefinition(method), nullptr);
  EXPECT_EQ(GetSymbolDisplayName(method).str(), "add");
  // A long class name is cut with the whole at 63 characters.
  method->library = library;
  method->parentName = std::string(63, 'C').c_str();
  EXPECT_EQ(GetSymbolDisplayName(method).len(), 63);
  TObject::Free(collection);
}
