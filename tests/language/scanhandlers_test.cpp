// The scan engine's class handlers: what each definition class styles, marks
// and opens, on the fixture language.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "TFileSystemUnit.h"
#include "fixtures/ScanFixture.h"

using namespace scanfix;

namespace {

// A piece of the text and the style slot it must carry (0: no style).
struct Expect {
  const char* piece;
  SInt16 slot;
  size_t from = 0;  // where to start looking for the piece
};

struct StyleCase {
  const char* name;
  std::string text;
  std::vector<Expect> expected;
  SyntaxParserProcessOptions options = 0;
};

void CheckStyles(const StyleCase& c, RecordingSyntaxController& controller) {
  const std::u16string& text = controller.text;
  for (const Expect& e : c.expected) {
    const std::string piece(e.piece);
    const std::u16string wide(piece.begin(), piece.end());
    const size_t at = text.find(wide, e.from);
    ASSERT_NE(at, std::u16string::npos) << "piece " << piece;
    for (size_t i = at; i < at + wide.size(); ++i) {
      const auto& a = controller.attributes[i];
      if (e.slot == 0) {
        EXPECT_FALSE(a.styled) << "'" << piece << "' character " << i - at << " is styled";
      } else {
        EXPECT_TRUE(a.styled && RecordingSyntaxController::Same(a.color, SlotColor(e.slot)))
            << "'" << piece << "' character " << i - at << " lacks style " << e.slot;
      }
    }
  }
}

class ScanHandlersTest : public ::testing::Test {
 protected:
  Languages languages;
};

TEST_F(ScanHandlersTest, DefinitionsStyleWhatTheyMatch) {
  // Slots: 2 class, 3 comment, 6 function, 9 keyword, 11 string, 12 variable,
  // 13 instance variable, 14 global variable, 17 numbers.
  const std::vector<StyleCase> cases = {
      {"escaped quote stays inside", "a\"b\\\"c\"d", {{"\"b\\\"c\"", 11}, {"a", 0}, {"d", 0}}},
      {"doubled escape closes", "x \"C:\\\\\" echo", {{"\"C:\\\\\"", 11}, {"echo", 9}}},
      {"line comment stops before the break", "x // c\recho", {{"// c", 3}, {"\r", 0}, {"echo", 9}}},
      {"open text read once", "/*/ x */ echo", {{"/*/ x */", 3}, {"echo", 9}}},
      {"close text read once", "/* a *//* b */ echo", {{"/* a *//* b */", 3}, {"echo", 9}}},
      {"end-of-text close", "echo @@ rest echo", {{"echo", 9}, {"@@ rest echo", 3}}},
      {"string open at the end", "echo \"abc", {{"\"abc", 11}}},
      {"anchored at line starts", "=begin\rif x\r=end\recho", {{"=begin\rif x\r=end", 3}, {"echo", 9, 10}}},
      {"anchored elsewhere is text", "x =begin y", {{"x =begin y", 0}}},
      {"keywords fold case", "ECHO Echo echo", {{"ECHO", 9}, {"Echo", 9}, {"echo", 9, 9}}},
      {"numbers in the empty context", "12345 x1", {{"12345", 17}, {"x1", 0}}},
      {"numbers inside a string are the string's", "\"12345\"", {{"\"12345\"", 11}}},
      {"nested styles win over the range", "`a if b`", {{"`a ", 11}, {"if", 9}, {" b`", 11}}},
      {"range word stands right before", "q{abc} echo", {{"q{abc}", 11}, {"echo", 9}}},
      {"range word apart is no range", "q {abc}", {{"q {abc}", 0}}},
      {"character prefix", "$abc x", {{"$abc", 12}, {"x", 0}}},
      {"prefixes keep working after offset 0", "$a $b", {{"$a", 12}, {"$b", 12}}},
      {"ignored prefix", "@ivar", {{"@", 0}, {"ivar", 13}}},
      {"word prefix names the next word", "var foo", {{"var ", 0}, {"foo", 14}}},
      {"expression names a word after blanks", "function  foo(x) {}", {{"function", 9}, {"  ", 0}, {"foo", 6}}},
      {"regular-expression expression", "class Bar {}", {{"class", 9}, {" ", 0}, {"Bar", 2}}},
      {"anonymous function names nothing", "function (x)", {{"function", 9}, {" (x)", 0}}},
      {"unknown embedded language is not entered", "<?missing echo ?>", {{"echo", 9}}},
      {"embedded language uses its own library", "inner <?x inner 'ab' ?> inner",
       {{"inner", 0}, {"inner", 9, 5}, {"'ab'", 11}, {"inner", 0, 20}}},
      {"actions off", "$abc echo", {{"$abc", 0}, {"echo", 9}}, kSyntaxParserProcessDisableActions},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSyntaxController controller(c.text.c_str());
    ASSERT_EQ(ParseText(controller, languages.Get("scanfix"), {}, CFRangeMake(0, 0), false, c.options), 0);
    CheckStyles(c, controller);
  }
}

TEST_F(ScanHandlersTest, APrefixCharacterInsideAWordStylesTheWord) {
  RecordingSyntaxController controller("$name x");
  ASSERT_EQ(ParseText(controller, languages.Get("scandollar")), 0);
  CheckStyles({"", "", {{"$name", 12}, {" x", 0}}}, controller);
}

TEST_F(ScanHandlersTest, AnEmbeddedLanguageIsMarkedFromAfterItsOpeningToBeforeItsClosing) {
  const char* text = "ab <?x inner ?> cd";
  RecordingSyntaxController controller(text);
  ASSERT_EQ(ParseText(controller, languages.Get("scanfix")), 0);
  const auto marks = controller.CallsOf(RecordingSyntaxController::kApplyEmbeddedLanguage);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].span.location, 4);   // the "?" after "<"
  EXPECT_EQ(marks[0].span.length, 14);    // the ">" is not marked
  EXPECT_EQ(marks[0].language.str(), "scaninner");
  EXPECT_EQ(controller.Slice(4, 14), "?x inner ?");

  // Still open at the end of the text: marked to the end.
  RecordingSyntaxController open("ab <?x inner");
  ASSERT_EQ(ParseText(open, languages.Get("scanfix")), 0);
  const auto openMarks = open.CallsOf(RecordingSyntaxController::kApplyEmbeddedLanguage);
  ASSERT_EQ(openMarks.size(), 1u);
  EXPECT_EQ(openMarks[0].span.location, 4);
  EXPECT_LE(openMarks[0].span.length, 12);
}

// Records the depth of each stack at every position.
struct Depths {
  std::vector<SInt16> scopes, blocks, ranges;
};
void RecordDepths(TSyntaxParserProcess* process, void* userData) {
  auto* d = static_cast<Depths*>(userData);
  d->scopes.push_back(process->data.scopeDepth);
  d->blocks.push_back(process->data.scopeBlockDepth);
  d->ranges.push_back(process->data.rangeDepth);
}

Depths ParseDepths(Languages& languages, const std::string& text) {
  RecordingSyntaxController controller(text.c_str());
  Depths d;
  SyntaxParserDestination destination;
  destination.inspector = RecordDepths;
  destination.userData = &d;
  EXPECT_EQ(ParseText(controller, languages.Get("scanfix"), destination), 0);
  // The inspector runs before each character: shift so that [i] is the depth
  // after character i.
  for (auto* v : {&d.scopes, &d.blocks, &d.ranges})
    if (!v->empty()) v->erase(v->begin());
  return d;
}

TEST_F(ScanHandlersTest, ATrackedScopeEndsAtTheBraceThatBalancesItsFirst) {
  const std::string text = "module { {} {} } z";
  const Depths d = ParseDepths(languages, text);
  const size_t last = text.rfind('}');
  ASSERT_GT(d.scopes.size(), last);
  for (size_t i = 5; i < last; ++i) EXPECT_EQ(d.scopes[i], 1) << "at " << i;
  EXPECT_EQ(d.scopes[last], 0);

  // Scope keywords match in their own case only.
  const Depths upper = ParseDepths(languages, "Module { x }");
  for (SInt16 depth : upper.scopes) EXPECT_EQ(depth, 0);

  // A function opens a scope that its braces close.
  const std::string fn = "function fn() { { } } z";
  const Depths f = ParseDepths(languages, fn);
  const size_t fnEnd = fn.rfind('}');
  EXPECT_EQ(f.scopes[fn.find('{')], 1);
  EXPECT_EQ(f.scopes[fnEnd - 1], 1);
  EXPECT_EQ(f.scopes[fnEnd], 0);
}

TEST_F(ScanHandlersTest, ScopeBlocksOpenOnReservedWordsAndCloseOnTheirEnd) {
  const std::string text = "def a\r  x\rend z";
  const Depths d = ParseDepths(languages, text);
  EXPECT_EQ(d.blocks[text.find("def") + 2], 1);
  EXPECT_EQ(d.blocks[text.find("end") + 2], 0);

  // "if" opens a block only at the start of a line.
  const Depths inline_if = ParseDepths(languages, "x if y");
  for (SInt16 depth : inline_if.blocks) EXPECT_EQ(depth, 0);
  const Depths line_if = ParseDepths(languages, "x\r  if y\rend");
  EXPECT_EQ(line_if.blocks[5], 1);
  EXPECT_EQ(line_if.blocks.back(), 0);

  // The "end" of a close text "=end" is not read again as a keyword.
  const Depths doc = ParseDepths(languages, "def a\r=begin\r=end\rz");
  EXPECT_EQ(doc.blocks.back(), 1);
}

TEST_F(ScanHandlersTest, StacksHoldTenAndRefuseMore) {
  std::string ranges, blocks, scopes;
  for (int i = 0; i < 12; ++i) {
    ranges += "(";
    blocks += "do ";
    scopes += "module { ";
  }
  const Depths r = ParseDepths(languages, ranges + "x");
  const Depths b = ParseDepths(languages, blocks + "x");
  const Depths s = ParseDepths(languages, scopes + "x");
  EXPECT_EQ(*std::max_element(r.ranges.begin(), r.ranges.end()), 10);
  EXPECT_EQ(*std::max_element(b.blocks.begin(), b.blocks.end()), 10);
  EXPECT_EQ(*std::max_element(s.scopes.begin(), s.scopes.end()), 10);
}

// --- Symbols and the project symbol index ----------------------------------

struct IndexedParse {
  SInt32 result;
  int tracked;  // ApplySymbol calls that carried a symbol
};

IndexedParse ParseIntoIndex(Languages& languages, TFileSystem* index, const FSRef& file,
                            RecordingSyntaxController* controller = nullptr, int stopAfter = -1) {
  SyntaxParserSource source;
  source.library = languages.Get("scanfix");
  source.file = file;
  source.controller = controller;
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = languages.collection.get();
  auto* process = new TSyntaxParserProcess();
  IndexedParse r{process->Create(source, destination), 0};
  if (r.result == 0) {
    TSyntaxParserProcess* next = nullptr;
    for (int runs = 0; stopAfter < 0 || runs < stopAfter; ++runs)
      if (process->Run(next) != 1) break;
  }
  process->Free();  // a parse stopped half way is freed the same way
  if (controller != nullptr)
    for (const auto& call : controller->CallsOf(RecordingSyntaxController::kApplySymbol))
      if (call.symbol != nullptr) ++r.tracked;
  return r;
}

std::vector<std::pair<std::string, std::string>> SymbolsOf(FileDescriptorPtr descriptor) {
  std::vector<std::pair<std::string, std::string>> out;
  if (descriptor == nullptr || descriptor->symbolTable == nullptr) return out;
  descriptor->symbolTable->ApplyFunction(
      [](SymbolInfoPtr info, CFTreeRef, void* context) {
        static_cast<std::vector<std::pair<std::string, std::string>>*>(context)->emplace_back(
            info->symbolName.str(), info->parentName.str());
      },
      &out);
  std::sort(out.begin(), out.end());
  return out;
}

class ScanSymbolsTest : public ScanHandlersTest {
 protected:
  void SetUp() override {
    fs::create_directories(languages.folder.path() / "index");
    index = CreateFileSystem(MakeRef(languages.folder.path() / "index"), languages.collection.get(), nullptr);
    ASSERT_NE(index, nullptr);
    index->SetRoot(MakeRef(languages.folder.path()));
  }
  void TearDown() override { index->Release(); }
  TFileSystem* index = nullptr;
};

TEST_F(ScanSymbolsTest, AParseRecordsSymbolsHeadersAndDateOnceForAnUnchangedFile) {
  const std::string text =
      "class Cart {\r  function add(x) {}\r}\rvar total\rconst MAX_ITEMS;\rinclude \"other.sf\";\r";
  const fs::path path = languages.folder.Write("cart.sf", text);
  const FSRef file = MakeRef(path);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Cart", ""}, {"MAX_ITEMS", ""}, {"add", "Cart"}, {"total", ""}};

  RecordingSyntaxController first;
  const IndexedParse one = ParseIntoIndex(languages, index, file, &first);
  ASSERT_EQ(one.result, 0);
  FileDescriptorPtr descriptor = index->GetDescriptor(Str63("cart.sf"));
  ASSERT_NE(descriptor, nullptr);
  EXPECT_EQ(SymbolsOf(descriptor), expected);
  EXPECT_FALSE(descriptor->modifiedDate.empty());
  ASSERT_EQ(CFArrayGetCount(descriptor->headers), 1);
  SymbolInfoPtr global = nullptr;
  ASSERT_TRUE(index->GetSymbol(Str63("Cart"), global));
  EXPECT_EQ(global->styleIndex, 2);
  SymbolInfoPtr add = nullptr;
  ASSERT_TRUE(descriptor->symbolTable->Find(Str63("add"), add));
  EXPECT_EQ(add->source.str(), "function add(");
  // The function's name carries its symbol, and each scope its own over its
  // body, the inner one winning.
  EXPECT_EQ(one.tracked, 3);
  SymbolInfoPtr cart = nullptr;
  ASSERT_TRUE(descriptor->symbolTable->Find(Str63("Cart"), cart));
  EXPECT_EQ(first.attributes[text.find("Cart")].symbol, cart);
  EXPECT_EQ(first.attributes[text.find("add")].symbol, add);
  EXPECT_EQ(first.attributes[text.find("{}")].symbol, add);
  EXPECT_EQ(first.attributes[text.find("var")].symbol, nullptr);

  // The same file again: nothing is collected, the symbols are looked up.
  RecordingSyntaxController second;
  const IndexedParse two = ParseIntoIndex(languages, index, file, &second);
  ASSERT_EQ(two.result, 0);
  EXPECT_EQ(SymbolsOf(index->GetDescriptor(Str63("cart.sf"))), expected);
  EXPECT_EQ(CFArrayGetCount(descriptor->headers), 1);
  EXPECT_EQ(two.tracked, 3);

  // A global symbol styles its uses in other files.
  const FSRef use = MakeRef(languages.folder.Write("use.sf", "x Cart y"));
  RecordingSyntaxController user;
  ASSERT_EQ(ParseIntoIndex(languages, index, use, &user).result, 0);
  CheckStyles({"", "", {{"Cart", 2}, {"x", 0}}}, user);
}

TEST_F(ScanSymbolsTest, FilesOfOneNameInDifferentFoldersKeepTheirOwnSymbols) {
  fs::create_directories(languages.folder.path() / "admin");
  fs::create_directories(languages.folder.path() / "shop");
  const FSRef admin = MakeRef(languages.folder.Write("admin/index.sf", "class Users {\r}\r"));
  const FSRef shop = MakeRef(languages.folder.Write("shop/index.sf", "class Basket {\r}\r"));
  ASSERT_EQ(ParseIntoIndex(languages, index, admin, nullptr).result, 0);
  ASSERT_EQ(ParseIntoIndex(languages, index, shop, nullptr).result, 0);
  using Symbols = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(SymbolsOf(index->GetDescriptor(Str63("admin/index.sf"))), (Symbols{{"Users", ""}}));
  EXPECT_EQ(SymbolsOf(index->GetDescriptor(Str63("shop/index.sf"))), (Symbols{{"Basket", ""}}));
  SymbolInfoPtr found = nullptr;
  EXPECT_TRUE(index->GetSymbol(Str63("Users"), found));
  EXPECT_TRUE(index->GetSymbol(Str63("Basket"), found));
}

TEST_F(ScanSymbolsTest, AParseStoppedHalfWayLeavesTheFileToBeParsedAgain) {
  const fs::path path = languages.folder.Write("page.sf", "var first\r");
  const FSRef file = MakeRef(path);
  ASSERT_EQ(ParseIntoIndex(languages, index, file).result, 0);
  FileDescriptorPtr descriptor = index->GetDescriptor(Str63("page.sf"));
  ASSERT_NE(descriptor, nullptr);
  const std::string firstDate = descriptor->modifiedDate.str();

  // The file changes; a parse of it is stopped after a few characters.
  languages.folder.Write("page.sf", "var second\r");
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::hours(1));
  ASSERT_EQ(ParseIntoIndex(languages, index, file, nullptr, 3).result, 0);
  EXPECT_EQ(descriptor->modifiedDate.str(), firstDate);

  // So the next parse still sees a changed file and collects its symbols.
  ASSERT_EQ(ParseIntoIndex(languages, index, file).result, 0);
  EXPECT_EQ(SymbolsOf(descriptor), (std::vector<std::pair<std::string, std::string>>{{"second", ""}}));
  EXPECT_NE(descriptor->modifiedDate.str(), firstDate);
}

// --- The shipped languages -----------------------------------------------------
// One small sample per language, parsed from its file as the program parses
// it (language from the file name, root language first), with the index.

struct ShippedCase {
  const char* file;
  std::string text;
  std::vector<Expect> styles;
  std::vector<std::pair<std::string, std::string>> symbols;  // (name, parent) that must be there
  std::vector<const char*> embedded;                            // languages marked, in order
};

TEST(ShippedLanguages, SamplesGetTheirStylesAndSymbols) {
  // Slots: 1 built-in function, 2 class, 3 comment, 4 constant, 5 element,
  // 6 function, 7 method, 9 keyword, 11 string, 12 variable, 13 instance
  // variable, 14 global variable, 15 tag title, 16 attribute, 17 numbers.
  const std::vector<ShippedCase> cases = {
      {"cart.php",
       "<html><body>\r<?php\rinclude 'lib.php';\r// note\rclass Cart extends Base {\r  const LIMIT = 10;\r"
       "  public function add($item, $n = 2) {\r    return strlen($item) + 42;\r  }\r}\r"
       "function total() { return null; }\r?>\r<p id=\"x\">hi</p>\r",
       {{"<body", 15}, {"include", 9}, {"'lib.php'", 11}, {"// note", 3}, {"Cart", 2}, {"add", 7},
        {"$item", 12}, {"strlen", 1}, {"42", 17}, {"total", 6}, {"null", 4}, {"<p", 15}},
       {{"Cart", ""}, {"add", "Cart"}, {"total", ""}},
       {"php"}},
      {"tool.pl",
       "#!/usr/bin/perl\ruse strict;\r# comment\rsub greet {\r  my ($name) = @_;\r"
       "  print \"Hello $name\";\r  return length($name) + 3;\r}\r",
       {{"# comment", 3}, {"sub", 9}, {"greet", 6}, {"$name", 12}, {"print", 1}, {"\"Hello ", 11}},
       {{"greet", ""}},
       {}},
      {"Shop.pm", "package Shop::Cart;\rsub add {\r  return 1;\r}\r",
       {{"package", 9}, {"Shop::Cart", 2}, {"add", 7}},
       {{"Shop::Cart", ""}, {"add", "Shop::Cart"}},
       {}},
      {"page.html",
       "<html>\r<!-- c -->\r<head><style>\rbody { color: red; }\r#main { margin: 0 }\r</style>\r"
       "<script>\rfunction go(a) { return \"s\"; }\r</script></head>\r<div id=\"main\">t</div>\r</html>\r",
       {{"<!-- c -->", 3}, {"<head", 15}, {"color", 16}, {"function", 9}, {"go", 6}, {"\"s\"", 11},
        {"<div", 15}},
       {{"go", ""}, {"#main", ""}},
       {"css", "javascript"}},
      {"data.xml", "<?xml version=\"1.0\"?>\r<!-- c -->\r<root a=\"1\"><item>t</item><![CDATA[ x ]]></root>\r",
       {{"<!-- c -->", 3}, {"<root", 15}, {"<![CDATA[ x ]]>", 11}},
       {},
       {}},
      {"site.css", "/* c */\rbody, #main .nav > a { color: #fff; }\r.box { width: 10px; }\r",
       {{"/* c */", 3}, {"body", 5}, {".nav", 2}, {"color", 16}, {"#fff", 4}, {".box", 2}},
       {{".box", ""}, {".nav", ""}},
       {}},
      {"app.js", "// c\rvar x = 1;\rfunction go(a, b) {\r  return 'q' + \"r\";\r}\rclass Shape { }\r",
       {{"// c", 3}, {"var", 9}, {"function", 9}, {"go", 6}, {"'q'", 11}, {"\"r\"", 11}, {"Shape", 2}},
       {{"go", ""}, {"Shape", ""}},
       {}},
      {"app.rb",
       "# c\rmodule Shop\r  class Cart < Base\r    def add(item)\r      @items << item\r    end\r  end\rend\r"
       "$glob = 1\r",
       {{"# c", 3}, {"module", 9}, {"Shop", 2}, {"Cart", 2}, {"def", 9}, {"add", 7}, {"@items", 13},
        {"end", 9}, {"$glob", 14}},
       {{"Shop", ""}, {"Cart", "Shop"}, {"add", "Cart"}},
       {}},
  };
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  for (const char* language : {"php", "perl", "html", "xml", "css", "javascript", "ruby"})
    collection->LoadLibrary(Str63(language));
  for (const ShippedCase& c : cases) {
    SCOPED_TRACE(c.file);
    TempFolder folder;
    fs::create_directories(folder.path() / "index");
    TFileSystem* index = CreateFileSystem(MakeRef(folder.path() / "index"), collection.get(), nullptr);
    index->SetRoot(MakeRef(folder.path()));
    RecordingSyntaxController controller;
    SyntaxParserSource source;
    source.file = MakeRef(folder.Write(c.file, c.text));
    source.controller = &controller;
    SyntaxParserDestination destination;
    destination.collection = collection.get();
    destination.fileSystem = index;
    auto* process = new TSyntaxParserProcess();
    const SInt32 result = process->Create(source, destination);
    if (result == 0) RunToEnd(process);
    process->Free();
    EXPECT_EQ(result, 0);
    if (result == 0) {
      CheckStyles({c.file, c.text, c.styles}, controller);
      const auto symbols = SymbolsOf(index->GetDescriptor(Str63(c.file)));
      std::string found;
      for (const auto& [name, parent] : symbols) found += " " + name + "<" + parent + ">";
      for (const auto& expected : c.symbols)
        EXPECT_NE(std::find(symbols.begin(), symbols.end(), expected), symbols.end())
            << "symbol " << expected.first << " under '" << expected.second << "'; found" << found;
      std::vector<std::string> marked;
      for (const auto& call : controller.CallsOf(RecordingSyntaxController::kApplyEmbeddedLanguage))
        marked.push_back(call.language.str());
      EXPECT_EQ(marked, std::vector<std::string>(c.embedded.begin(), c.embedded.end()));
    }
    index->Release();
  }
}

}  // namespace
