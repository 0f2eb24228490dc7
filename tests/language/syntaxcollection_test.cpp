// The syntax collection: reading language specifications into libraries,
// style tables and themes, file names to languages, word characters and sets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "CFBundle.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFSet.h"
#include "CFString.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"
#include "TSyntaxCollectionUnit.h"
#include "../support/CFRef.h"

namespace fs = std::filesystem;

namespace {

const char* kFixture = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
 <key>info: display-name</key><string>Fixture</string>
 <key>info: root-language</key><string>html</string>
 <key>info: character-set</key><array><string>$</string><string>@@</string><string>é</string></array>
 <key>info: auto-pair</key><array><string>()</string></array>
 <key>group: Strings</key><string>anything</string>
 <key>class: range</key><dict>
  <key>define: double string</key><dict>
   <key>open</key><string>"</string><key>close</key><string>"</string><key>break</key><string>\x</string>
   <key>style</key><string>string</string><key>apply-context</key><string>string</string>
   <key>nest-styles</key><true/><key>single-line</key><true/><key>unbalanced</key><string>yes</string>
   <key>context</key><string>empty</string>
  </dict>
  <key>define: block</key><dict>
   <key>open</key><string>x{</string><key>close</key><string>}</string><key>anchor</key><true/>
  </dict>
  <key>define: tag</key><dict>
   <key>open</key><string>&amp;lt;</string><key>close</key><string>\n</string>
   <key>apply-context</key><string>a-context-name-of-29-letters</string>
  </dict>
  <key>define: comment</key><dict>
   <key>open</key><string>&lt;!--</string><key>close</key><string>\r</string>
  </dict>
 </dict>
 <key>class: keyword</key><dict>
  <key>define: control</key><dict>
   <key>keywords</key><array><string>echo</string><string>if</string><integer>3</integer><string>caf&#233;</string></array>
   <key>style</key><string>keyword</string><key>reserved</key><true/><key>nest</key><true/>
   <key>auto-complete</key><true/><key>auto-complete-context</key><string>any</string>
   <key>actions</key><array><string>style</string><string>symbol</string><string>bogus</string><string>track</string></array>
   <key>scopes</key><array><string>root</string></array><key>scope-deep</key><true/>
   <key>scope-range</key><dict><key>open</key><string>{{</string><key>close</key><string>}</string></dict>
   <key>precedence</key><integer>5</integer>
   <key>protected</key><true/><key>protect-style</key><true/><key>compile-mode</key><true/>
   <key>allow-overloading</key><true/>
   <key>script</key><string>run</string><key>command</key><string>a-command-longer-than-fifteen</string>
   <key>icon</key><string>sxFU</string><key>context</key><string>any</string>
  </dict>
  <key>define: block</key><dict><key>style</key><string>no-such-style</string></dict>
 </dict>
 <key>class: embedded-language</key><dict>
  <key>define: php</key><dict>
   <key>open</key><string>&lt;?php</string><key>close</key><string>?&gt;</string>
   <key>open-context</key><string>empty</string><key>close-context</key><string>any</string>
   <key>language</key><string>php</string>
  </dict>
 </dict>
 <key>class: prefix</key><dict>
  <key>define: late</key><dict><key>precedence</key><string>10</string>
   <key>prefixes</key><array><string>$</string></array></dict>
  <key>define: early</key><dict><key>precedence</key><string>2</string>
   <key>alt-prefixes</key><array><string>Foo ::</string><string>nospace</string></array>
   <key>leading-words</key><array><string>var</string></array><key>ignore-prefix</key><true/>
   <key>expression</key><string>^([a-z]+)</string><key>line-break</key><string>\r</string>
   <key>token</key><string>2</string></dict>
  <key>define: tie</key><dict><key>precedence</key><string>10</string></dict>
  <key>define: huge</key><dict><key>precedence</key><string>99999999999</string></dict>
  <key>define: neg</key><dict><key>precedence</key><string>-3</string></dict>
 </dict>
 <key>class: expression</key><dict>
  <key>define: func</key><dict>
   <key>keywords</key><array><string>function</string></array>
   <key>expression</key><string>function *(</string><key>expression-gpc</key><string>f([a-z]+)</string>
   <key>numeric</key><true/><key>token</key><string>1</string><key>line-break</key><string>(</string>
   <key>scope-modifiers</key><string>whatever</string>
  </dict>
 </dict>
 <key>class: scope</key><dict>
  <key>define: fn scope</key><dict><key>keywords</key><array><string>function</string></array></dict>
 </dict>
 <key>class: scope-block</key><dict>
  <key>define: def</key><dict>
   <key>open</key><array><string>def</string></array><key>open-newline</key><array><string>if</string></array>
   <key>close</key><array><string>end</string></array><key>inherit-symbol</key><true/>
  </dict>
 </dict>
 <key>class: custom</key><dict>
  <key>define: extra</key><dict>
   <key>list</key><array><string>a</string><string>b</string></array>
   <key>text</key><string>&amp;gt;</string><key>number</key><integer>1</integer>
  </dict>
 </dict>
 <key>class: bogus</key><dict>
  <key>define: ignored</key><dict><key>style</key><string>keyword</string></dict>
 </dict>
</dict></plist>
)";

// Keys in places where the format has none: each is ignored and changes no
// other definition.
const char* kMisplaced = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
 <key>define: at root</key><dict><key>style</key><string>keyword</string></dict>
 <key>class: range</key><dict>
  <key>define: first</key><dict>
   <key>open</key><string>(</string>
   <key>class: keyword</key><dict><key>define: inner</key><dict/></dict>
  </dict>
  <key>open</key><string>[</string>
  <key>style</key><string>comment</string>
 </dict>
 <key>class: keyword</key><dict><key>keywords</key><array><string>x</string></array></dict>
 <key>nocolon</key><string>x</string>
</dict></plist>
)";

class TempFolder {
 public:
  TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/syntaxcollection-XXXXXX";
    char* made = mkdtemp(pattern.data());
    path_ = made ? fs::path(made) : fs::path();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  CFURLRef CreateURL() const {
    std::string p = path_.string();
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(p.data()), CFIndex(p.size()),
                                                   true);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::unique_ptr<TSyntaxCollection> CollectionOver(const TempFolder& folder, CFDictionaryRef styles = nullptr) {
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(styles));
  Ref url(folder.CreateURL());
  collection->SetSpecificationFolder(url.url());
  return collection;
}

template <typename Record>
Record* At(CFArrayRef array, CFIndex i) {
  return static_cast<Record*>(const_cast<void*>(CFArrayGetValueAtIndex(array, i)));
}

bool Same(RGBColor a, RGBColor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

ExtendedTextStyle MakeStyle(RGBColor color, bool bold) {
  ExtendedTextStyle s{};
  s.name = "theme style";
  s.textColor = color;
  s.secondColor = RGBColor{1, 2, 3};
  s.firstNumber = -2;
  s.secondNumber = 300;
  s.bold = bold;
  s.italic = true;
  return s;
}

class SyntaxCollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.Write("fix.plist", kFixture);
    collection = CollectionOver(folder);
    collection->LoadLibrary("fix");
    library = collection->GetLanguageLibrary("fix");
    ASSERT_NE(library, nullptr);
  }
  TempFolder folder;
  std::unique_ptr<TSyntaxCollection> collection;
  SyntaxLibraryPtr library = nullptr;
};

TEST_F(SyntaxCollectionTest, LibraryNamesWordCharactersAndClassCounts) {
  EXPECT_EQ(library->displayName, "Fixture");
  EXPECT_EQ(library->rootLanguage, "html");
  EXPECT_EQ(library->language, "fix");
  EXPECT_EQ(library->collection, collection.get());
  EXPECT_EQ(CFSetGetCount(library->autoPair), 1);

  struct {
    UniChar c;
    bool word;
  } chars[] = {{'a', true}, {'Z', true}, {'7', true}, {'_', true}, {'$', true},  {0xE9, true},
               {'@', false}, {'-', false}, {' ', false}, {0, false}, {0x3042, false}};
  for (auto& t : chars) EXPECT_EQ(SyntaxLibraryIsWordCharacter(library, t.c), t.word) << t.c;
  EXPECT_FALSE(SyntaxLibraryIsWordCharacter(nullptr, '$'));

  struct {
    SyntaxDefinitionClass c;
    CFIndex count;
  } counts[] = {{kSyntaxClassRange, 4},  {kSyntaxClassKeyword, 2}, {kSyntaxClassEmbeddedLanguage, 1},
                {kSyntaxClassPrefix, 5}, {kSyntaxClassExpression, 1}, {kSyntaxClassScope, 1},
                {kSyntaxClassScopeBlock, 1}, {kSyntaxClassCustom, 1}};
  for (auto& t : counts) EXPECT_EQ(CFArrayGetCount(GetSyntaxClassArray(library, t.c)), t.count) << t.c;
  // The unknown class made nothing, not even a registered name.
  EXPECT_EQ(collection->GetDefinition("ignored", library), nullptr);
  EXPECT_EQ(GetSyntaxClassArray(library, kSyntaxClassNone), nullptr);
}

TEST_F(SyntaxCollectionTest, RangesSplitOpenWordsAndConvertValues) {
  struct {
    const char* name;
    const char* open;
    const char* openWord;
    const char* close;
  } rows[] = {
      {"double string", "\"", "", "\""},
      {"block", "{", "x", "}"},
      {"tag", "<", "", "\t"},         // whole-value "&lt;" and backslash-n
      {"comment", "<!--", "", "\\r"},  // a meta close stays two characters
  };
  for (CFIndex i = 0; i < 4; ++i) {
    auto* r = At<SyntaxRangeData>(library->ranges, i);
    EXPECT_EQ(r->definitionName, rows[i].name);
    EXPECT_EQ(r->open, rows[i].open) << rows[i].name;
    EXPECT_EQ(r->openWord, rows[i].openWord) << rows[i].name;
    EXPECT_EQ(r->close, rows[i].close) << rows[i].name;
    EXPECT_EQ(r->definitionClass, kSyntaxClassRange);
  }
  auto* str = At<SyntaxRangeData>(library->ranges, 0);
  EXPECT_EQ(str->breakChar, "\\");
  EXPECT_EQ(str->applyContext, "string");
  EXPECT_EQ(str->context, "empty");
  EXPECT_TRUE(str->nestStyles);
  EXPECT_TRUE(str->singleLine);
  EXPECT_FALSE(str->unbalanced);  // a string where a Boolean belongs is false
  EXPECT_EQ(str->styleData.styleIndex, 11);
  EXPECT_TRUE(At<SyntaxRangeData>(library->ranges, 1)->anchor);
  EXPECT_EQ(At<SyntaxRangeData>(library->ranges, 2)->applyContext, "a-context-name-");  // cut at 15
}

TEST_F(SyntaxCollectionTest, CommonKeysAndKeywordDefinition) {
  auto* k = At<SyntaxKeywordData>(library->keywords, 0);
  EXPECT_EQ(k->definitionName, "control");
  EXPECT_EQ(CFSetGetCount(k->keywords), 3);  // the integer is left out
  EXPECT_TRUE(SyntaxSetContainsWord(k->keywords, Str63("echo")));
  EXPECT_FALSE(SyntaxSetContainsWord(k->keywords, Str63("Echo")));
  EXPECT_TRUE(SyntaxSetContainsWord(k->keywords, "if"));
  EXPECT_FALSE(SyntaxSetContainsWord(k->keywords, ""));
  EXPECT_TRUE(SyntaxSetContainsWord(k->keywords, Str63::FromBytes("caf\x8E", 4)));  // Mac Roman e-acute
  const UniChar ech[] = {'e', 'c', 'h'};
  EXPECT_FALSE(SyntaxSetContainsCharacters(k->keywords, ech, 3));
  EXPECT_FALSE(SyntaxSetContainsWord(nullptr, "echo"));
  EXPECT_TRUE(k->reserved && k->nest && k->autoComplete);
  EXPECT_EQ(k->autoCompleteContext, "any");

  EXPECT_EQ(k->styleData.styleName, "keyword");
  EXPECT_EQ(k->styleData.styleIndex, 9);
  EXPECT_TRUE(Same(k->styleData.style.textColor, RGBColor{0, 34463, 33333}));
  EXPECT_TRUE(k->styleData.protectStyle);
  EXPECT_TRUE(k->protected_ && k->compileMode && k->allowOverloading && k->scopeDeep);
  EXPECT_EQ(k->precedence, 0);  // an integer where digits are expected counts as ""
  EXPECT_EQ(k->actions, (1u << kSyntaxActionStyle) | (1u << kSyntaxActionSymbol) | (1u << kSyntaxActionTrack));
  EXPECT_TRUE(SyntaxActionsContain(k->actions, kSyntaxActionTrack));
  EXPECT_FALSE(SyntaxActionsContain(k->actions, kSyntaxActionMenu));
  EXPECT_TRUE(SyntaxSetContainsWord(k->scopes, "root"));
  EXPECT_EQ(k->scopeRangeOpen, "{");
  EXPECT_EQ(k->scopeRangeClose, "}");
  EXPECT_EQ(k->script, "run");
  EXPECT_EQ(k->command, "a-command-longe");
  EXPECT_EQ(k->icon, "sxFU");
  EXPECT_EQ(k->context, "any");

  // An unknown style name: slot 0, zeros, never applied.
  auto* unknown = At<SyntaxKeywordData>(library->keywords, 1);
  EXPECT_EQ(unknown->styleData.styleIndex, 0);
  EXPECT_TRUE(Same(unknown->styleData.style.textColor, RGBColor{0, 0, 0}));
}

TEST_F(SyntaxCollectionTest, OtherClassesFillTheirRecords) {
  auto* e = At<SyntaxEmbeddedLanguageData>(library->embeddedLanguages, 0);
  EXPECT_EQ(e->open, "<?php");
  EXPECT_EQ(e->close, "?>");
  EXPECT_EQ(e->openContext, "empty");
  EXPECT_EQ(e->closeContext, "any");
  EXPECT_EQ(e->language, "php");

  // Ascending precedence (numbers out of range held at the limit); equal
  // precedences keep the reading order.
  const char* order[] = {"neg", "early", "late", "tie", "huge"};
  for (CFIndex i = 0; i < 5; ++i) EXPECT_EQ(At<SyntaxPrefixData>(library->prefixes, i)->definitionName, order[i]);
  EXPECT_EQ(At<SyntaxPrefixData>(library->prefixes, 4)->precedence, 32767);
  auto* early = At<SyntaxPrefixData>(library->prefixes, 1);
  EXPECT_EQ(early->precedence, 2);
  EXPECT_EQ(CFDictionaryGetCount(early->altPrefixes), 1);
  CFTypeRef alt = CFDictionaryGetValue(early->altPrefixes, CFSTR("::"));
  ASSERT_NE(alt, nullptr);
  EXPECT_EQ(CFStringCompare(static_cast<CFStringRef>(alt), CFSTR("Foo"), 0), kCFCompareEqualTo);
  EXPECT_TRUE(SyntaxSetContainsWord(early->leadingWords, "var"));
  EXPECT_TRUE(early->ignorePrefix);
  EXPECT_EQ(early->expression, "^([a-z]+)");
  EXPECT_EQ(early->lineBreak, "\\r");
  EXPECT_EQ(early->token, 2);
  EXPECT_TRUE(SyntaxSetContainsWord(At<SyntaxPrefixData>(library->prefixes, 2)->prefixes, "$"));

  auto* x = At<SyntaxExpressionData>(library->expressions, 0);
  EXPECT_TRUE(SyntaxSetContainsWord(x->keywords, "function"));
  EXPECT_EQ(x->expression, "function *(");
  EXPECT_EQ(x->expressionGPC, "f([a-z]+)");
  EXPECT_TRUE(x->numeric);
  EXPECT_EQ(x->token, 1);
  EXPECT_EQ(x->lineBreak, "(");

  EXPECT_TRUE(SyntaxSetContainsWord(At<SyntaxScopeData>(library->scopes, 0)->keywords, "function"));
  EXPECT_FALSE(SyntaxSetContainsWord(At<SyntaxScopeData>(library->scopes, 0)->keywords, "Function"));

  auto* b = At<SyntaxScopeBlockData>(library->scopeBlocks, 0);
  EXPECT_TRUE(SyntaxSetContainsWord(b->open, "def"));
  EXPECT_TRUE(SyntaxSetContainsWord(b->openNewline, "if"));
  EXPECT_TRUE(SyntaxSetContainsWord(b->close, "end"));
  EXPECT_TRUE(b->inheritSymbol);

  auto* c = At<SyntaxCustomData>(library->customs, 0);
  EXPECT_EQ(CFDictionaryGetCount(c->values), 2);  // the integer is left out
  CFTypeRef list = CFDictionaryGetValue(c->values, CFSTR("list"));
  ASSERT_TRUE(list != nullptr && CFGetTypeID(list) == CFSetGetTypeID());
  EXPECT_TRUE(SyntaxSetContainsWord(static_cast<CFSetRef>(list), "b"));
  CFTypeRef text = CFDictionaryGetValue(c->values, CFSTR("text"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(CFStringCompare(static_cast<CFStringRef>(text), CFSTR(">"), 0), kCFCompareEqualTo);
}

TEST_F(SyntaxCollectionTest, DefinitionsByNameFirstRegistrationWins) {
  SyntaxStandardDataPtr block = collection->GetDefinition("block", library);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->definitionClass, kSyntaxClassRange);  // the keyword "block" came later
  SyntaxStandardDataPtr control = collection->GetDefinition("control", library);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->styleData.styleIndex, 9);
  EXPECT_NE(control, static_cast<SyntaxStandardDataPtr>(At<SyntaxKeywordData>(library->keywords, 0)));  // a copy
  EXPECT_TRUE(SyntaxSetContainsWord(control->scopes, "root"));
  EXPECT_EQ(collection->GetDefinition("none", library), nullptr);
  EXPECT_EQ(collection->GetDefinition("control", nullptr), nullptr);
}

TEST_F(SyntaxCollectionTest, LookupsByLanguageAndFileName) {
  EXPECT_EQ(collection->GetLanguageLibrary("FIX"), nullptr);
  EXPECT_EQ(collection->GetLanguageLibrary("php"), nullptr);
  EXPECT_EQ(collection->GetLibraryCount(), 1);
  EXPECT_EQ(collection->GetLibraryAtIndex(0), library);
  EXPECT_EQ(collection->GetLibraryAtIndex(1), nullptr);
  EXPECT_EQ(collection->GetLibraryAtIndex(-1), nullptr);

  // A file whose language is known but not loaded has no library.
  EXPECT_EQ(collection->GetFileLibrary("Main.pas"), nullptr);
  folder.Write("pascal.plist", kFixture);
  collection->LoadLibrary("pascal");
  SyntaxLibraryPtr pascal = collection->GetFileLibrary("Main.pas");
  ASSERT_NE(pascal, nullptr);
  EXPECT_EQ(pascal->language, "pascal");
}

// Languages noted with DeferLibrary are read at their first use: one asked
// for by name or by a file's name is read alone, a walk of the libraries
// reads the rest, and a noted language without a file adds nothing.
TEST(SyntaxDeferred, NotedLanguagesAreReadWhenFirstAskedFor) {
  TempFolder folder;
  folder.Write("pascal.plist", kFixture);
  folder.Write("fix.plist", kFixture);
  std::unique_ptr<TSyntaxCollection> collection = CollectionOver(folder);
  collection->LoadLibrary("fix");
  collection->DeferLibrary("fix");  // already read: not read twice
  collection->DeferLibrary("pascal");
  collection->DeferLibrary("missing");
  collection->DeferLibrary("pascal");
  ASSERT_NE(collection->libraries, nullptr);
  EXPECT_EQ(CFArrayGetCount(collection->libraries), 1);
  EXPECT_EQ(collection->GetLanguageLibrary("php"), nullptr);  // never noted
  EXPECT_EQ(CFArrayGetCount(collection->libraries), 1);

  SyntaxLibraryPtr pascal = collection->GetFileLibrary("Main.pas");
  ASSERT_NE(pascal, nullptr);
  EXPECT_EQ(pascal->language, "pascal");
  EXPECT_EQ(CFArrayGetCount(collection->libraries), 2);
  EXPECT_EQ(collection->GetLanguageLibrary("pascal"), pascal);
  EXPECT_EQ(CFArrayGetCount(collection->libraries), 2);

  // Counting reads what is still noted; the missing file adds nothing.
  EXPECT_EQ(collection->GetLibraryCount(), 2);
  EXPECT_EQ(collection->GetLanguageLibrary("missing"), nullptr);
  EXPECT_EQ(collection->GetLibraryAtIndex(0)->language, "fix");
  EXPECT_EQ(collection->GetLibraryAtIndex(1), pascal);
}

TEST(SyntaxFileLanguage, FileNamesMapToLanguages) {
  struct {
    const char* file;
    const char* language;
  } rows[] = {
      {"index.rhtml", "html"}, {"lib.inc", "php"},      {"Tool.pm", "perl"},     {"Info.plist", "xml"},
      {"Main.pas", "pascal"},  {"unit.pp", "pascal"},   {"a.p", "pascal"},       {"app.js", "javascript"},
      {"page.html", "html"},   {"page.htm", "html"},    {"index.php", "php"},    {"script.rb", "ruby"},
      {"style.css", "css"},    {"run.cgi", "perl"},     {"tool.pl", "perl"},     {"feed.xml", "xml"},
      {"README", ""},          {"notes.txt", ""},       {"trailing.", ""},       {"", ""},
      // Upper case: the suffix test fails, the type identifier still conforms.
      {"APP.JS", "javascript"}, {"OLD.PAS", ""},
  };
  for (auto& r : rows) EXPECT_EQ(GetSupportedFileLanguage(r.file), r.language) << r.file;
}

TEST(SyntaxMalformed, BadFilesLeaveTheLanguageOutWithAMessage) {
  TempFolder folder;
  std::string fixture(kFixture);
  std::string deep;
  for (int i = 0; i < 3000; ++i) deep += "<array>";
  struct {
    const char* name;
    std::string content;
  } rows[] = {
      {"garbage", "this is not a property list"},
      {"empty", ""},
      {"truncated", fixture.substr(0, fixture.size() / 2)},
      {"arrayroot", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>"},
      {"stringroot", "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>a</string></plist>"},
      {"binary", std::string("bplist00\0\xff\xfe\x01\x02", 13)},
      {"deep", "<?xml version=\"1.0\"?><plist version=\"1.0\">" + deep},
  };
  auto collection = CollectionOver(folder);
  for (auto& r : rows) {
    folder.Write(std::string(r.name) + ".plist", r.content);
    ::testing::internal::CaptureStderr();
    collection->LoadLibrary(r.name);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(collection->GetLanguageLibrary(r.name), nullptr) << r.name;
    EXPECT_NE(err.find(std::string("Language specification \"") + r.name + "\""), std::string::npos)
        << r.name << ": " << err;
  }
  // A folder where the file should be, keys that leave the folder, a missing file.
  fs::create_directory(folder.path() / "dir.plist");
  for (const char* key : {"dir", "../fix", ""}) {
    ::testing::internal::CaptureStderr();
    collection->LoadLibrary(key);
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty()) << key;
  }
  ::testing::internal::CaptureStderr();
  collection->LoadLibrary("missing");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(collection->GetLibraryCount(), 0);
}

// Patterns whose compiled form would explode (stacked or nested repetitions
// copy what they repeat) are refused when the file is read, not when a parse
// first meets them.
TEST(SyntaxMalformed, PatternsTooLargeToCompileLeaveTheirDefinitionOut) {
  TempFolder folder;
  const std::string stacked = "(a" + std::string(20, '+') + ")";
  struct Row {
    const char* name;
    std::string pattern;
    const char* cls;  // "expression" or "prefix"
    bool kept;
  };
  const Row rows[] = {
      {"stacked", stacked, "expression", false},
      {"nested intervals", "((a{1,100}){1,100}){1,100}(b)", "prefix", false},
      {"plain", "^def[[:space:]]+([a-z]+[?!=]?|\\[\\]=?)", "expression", true},
      {"interval", "^x{1,3}[[:space:]]+([a-z]+)", "prefix", true},
  };
  std::string expressions, prefixes;
  for (const Row& r : rows) {
    std::string& out = std::string(r.cls) == "prefix" ? prefixes : expressions;
    out += std::string("<key>define: ") + r.name + "</key><dict><key>context</key><string>empty</string>" +
           "<key>line-break</key><string>;</string><key>token</key><string>1</string>" +
           (std::string(r.cls) == "prefix" ? "<key>prefixes</key><array><string>x</string></array><key>expression</key>"
                                           : "<key>keywords</key><array><string>def</string></array><key>expression-gpc</key>") +
           "<string>" + r.pattern + "</string></dict>";
  }
  folder.Write("patterns.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                 "<key>class: expression</key><dict>" + expressions + "</dict>"
                                 "<key>class: prefix</key><dict>" + prefixes + "</dict></dict></plist>");
  auto collection = CollectionOver(folder);
  ::testing::internal::CaptureStderr();
  collection->LoadLibrary("patterns");
  const std::string err = ::testing::internal::GetCapturedStderr();
  SyntaxLibraryPtr library = collection->GetLanguageLibrary("patterns");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(CFArrayGetCount(library->expressions), 1);
  EXPECT_EQ(CFArrayGetCount(library->prefixes), 1);
  for (const Row& r : rows) {
    EXPECT_EQ(collection->GetDefinition(r.name, library) != nullptr, r.kept) << r.name;
    EXPECT_EQ(err.find(std::string("\"") + r.name + "\" is too large") == std::string::npos, r.kept) << err;
  }
}

TEST(SyntaxMalformed, MisplacedKeysChangeNothingElse) {
  TempFolder folder;
  folder.Write("odd.plist", kMisplaced);
  auto collection = CollectionOver(folder);
  ::testing::internal::CaptureStderr();
  collection->LoadLibrary("odd");
  std::string err = ::testing::internal::GetCapturedStderr();
  SyntaxLibraryPtr library = collection->GetLanguageLibrary("odd");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(err.find("define: at root"), std::string::npos) << err;
  ASSERT_EQ(CFArrayGetCount(library->ranges), 1);
  auto* first = At<SyntaxRangeData>(library->ranges, 0);
  EXPECT_EQ(first->open, "(");
  EXPECT_EQ(first->styleData.styleIndex, 0);
  EXPECT_EQ(CFArrayGetCount(library->keywords), 0);
  EXPECT_EQ(collection->GetDefinition("inner", library), nullptr);
  EXPECT_EQ(collection->GetDefinition("at root", library), nullptr);
  EXPECT_NE(collection->GetDefinition("first", library), nullptr);

  // A parsed list that is not a dictionary.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(collection->LoadLibraryFromPropertyList("list", CFSTR("text")), nullptr);
  EXPECT_EQ(collection->LoadLibraryFromPropertyList("nil", nullptr), nullptr);
  EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
  EXPECT_EQ(collection->GetLibraryCount(), 1);
}

TEST(SyntaxStyles, StoredStyleRoundTripAndSizeCheck) {
  ExtendedTextStyle style = MakeStyle(RGBColor{0x1234, 0xABCD, 0x00FF}, true);
  Ref data(ExtendedTextStyleCreateStoredData(style));
  ASSERT_EQ(CFDataGetLength(data.data()), 52);
  const UInt8* bytes = CFDataGetBytePtr(data.data());
  EXPECT_EQ(bytes[0], 11);  // "theme style"
  EXPECT_EQ(bytes[32], 0x12);  // big-endian
  EXPECT_EQ(bytes[33], 0x34);
  EXPECT_EQ(bytes[44], 0xFF);  // -2
  EXPECT_EQ(bytes[47], 0x2C);  // 300 = 0x012C
  EXPECT_EQ(bytes[48], 1);
  EXPECT_EQ(bytes[49], 1);
  EXPECT_EQ(bytes[50], 0);

  ExtendedTextStyle back{};
  ASSERT_TRUE(ExtendedTextStyleFromStoredBytes(bytes, 52, back));
  EXPECT_EQ(back.name, "theme style");
  EXPECT_TRUE(Same(back.textColor, style.textColor));
  EXPECT_TRUE(Same(back.secondColor, style.secondColor));
  EXPECT_EQ(back.firstNumber, -2);
  EXPECT_EQ(back.secondNumber, 300);
  EXPECT_TRUE(back.bold && back.italic && !back.underline);

  // The in-place swap agrees with the stored form.
  ExtendedTextStyle raw;
  std::memcpy(&raw, bytes, 52);
  SwapExtendedTextStyleBytes(raw, 2);
  EXPECT_TRUE(Same(raw.textColor, style.textColor));
  EXPECT_EQ(raw.secondNumber, 300);

  ExtendedTextStyle untouched = MakeStyle(RGBColor{7, 7, 7}, false);
  UInt8 hostile[53];
  std::memset(hostile, 0xFF, sizeof(hostile));
  for (CFIndex size : {CFIndex(0), CFIndex(51), CFIndex(53)})
    EXPECT_FALSE(ExtendedTextStyleFromStoredBytes(hostile, size, untouched)) << size;
  EXPECT_FALSE(ExtendedTextStyleFromStoredBytes(nullptr, 52, untouched));
  EXPECT_EQ(untouched.textColor.red, 7);
  ASSERT_TRUE(ExtendedTextStyleFromStoredBytes(hostile, 52, untouched));
  EXPECT_EQ(untouched.name.len(), 31);  // a length byte of 255 is cut to the field
}

TEST(SyntaxStyles, DefaultsThemesAndThemeSwitches) {
  // The slot table itself.
  EXPECT_STREQ(GetSyntaxStyleName(9), "keyword");
  EXPECT_STREQ(GetSyntaxStyleDisplayName(9), "Keywords");
  EXPECT_STREQ(GetSyntaxStyleName(17), "");
  EXPECT_STREQ(GetSyntaxStyleDisplayName(17), "Numbers");
  EXPECT_STREQ(GetSyntaxStyleDisplayName(18), "");
  EXPECT_TRUE(Same(GetSyntaxStyleDefaultColor(2), RGBColor{55555, 0, 34463}));

  TempFolder folder;
  folder.Write("fix.plist", kFixture);

  // A theme with a good entry, one of the wrong size and one of the wrong type.
  Ref red(ExtendedTextStyleCreateStoredData(MakeStyle(RGBColor{65535, 0, 0}, true)));
  Ref green(ExtendedTextStyleCreateStoredData(MakeStyle(RGBColor{0, 65535, 0}, false)));
  UInt8 shortBytes[51] = {0};
  Ref shortData(CFDataCreate(nullptr, shortBytes, sizeof(shortBytes)));
  CFMutableDictionaryRef theme =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  Ref themeRef(theme);
  CFDictionarySetValue(theme, CFSTR("Keywords"), red.get());
  CFDictionarySetValue(theme, CFSTR("Numbers"), shortData.get());
  CFDictionarySetValue(theme, CFSTR("Strings"), CFSTR("not data"));

  ::testing::internal::CaptureStderr();
  auto collection = CollectionOver(folder, theme);
  collection->LoadLibrary("fix");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Numbers"), std::string::npos) << err;
  EXPECT_NE(err.find("Strings"), std::string::npos) << err;
  SyntaxLibraryPtr library = collection->GetLanguageLibrary("fix");
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(Same(library->styles[9].textColor, RGBColor{65535, 0, 0}));
  EXPECT_TRUE(library->styles[9].bold);
  EXPECT_TRUE(Same(library->styles[17].textColor, RGBColor{0, 0, 0}));  // the bad entry is not used
  auto* control = At<SyntaxKeywordData>(library->keywords, 0);
  EXPECT_TRUE(Same(control->styleData.style.textColor, RGBColor{65535, 0, 0}));

  // Another theme: the records and the registered copies follow.
  CFMutableDictionaryRef theme2 =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  Ref theme2Ref(theme2);
  CFDictionarySetValue(theme2, CFSTR("Keywords"), green.get());
  UpdateSyntaxCollectionStyles(collection.get(), theme2);
  EXPECT_EQ(collection->styles, theme2);
  EXPECT_TRUE(Same(control->styleData.style.textColor, RGBColor{0, 65535, 0}));
  EXPECT_FALSE(control->styleData.style.bold);
  EXPECT_TRUE(Same(collection->GetDefinition("control", library)->styleData.style.textColor, RGBColor{0, 65535, 0}));

  // No theme: the defaults, with nothing left over from the themes before.
  UpdateSyntaxCollectionStyles(collection.get(), nullptr);
  EXPECT_TRUE(Same(control->styleData.style.textColor, RGBColor{0, 34463, 33333}));
  EXPECT_FALSE(control->styleData.style.bold);
  EXPECT_FALSE(control->styleData.style.italic);
  EXPECT_TRUE(Same(library->styles[17].textColor, RGBColor{0, 0, 65535}));
  EXPECT_FALSE(library->styles[17].bold);
  for (SInt16 slot = 18; slot <= kSyntaxStyleSlots; ++slot)
    EXPECT_TRUE(Same(library->styles[slot].textColor, RGBColor{0, 0, 0})) << slot;

  SInt16 index = -1;
  ExtendedTextStyle found = GetStyleStringIndex(library, "html-attribute", index);
  EXPECT_EQ(index, 16);
  EXPECT_TRUE(Same(found.textColor, RGBColor{0, 0, 65535}));
  found = GetStyleStringIndex(library, "Numbers", index);
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(Same(found.textColor, RGBColor{0, 0, 0}));
}

TEST(SyntaxSets, SetsNotMadeByTheLoaderAreStillAnswered) {
  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  Ref setRef(set);
  CFSetAddValue(set, CFSTR("while"));
  EXPECT_TRUE(SyntaxSetContainsWord(set, "while"));
  EXPECT_FALSE(SyntaxSetContainsWord(set, "whil"));
  const UniChar w[] = {'w', 'h', 'i', 'l', 'e'};
  EXPECT_TRUE(SyntaxSetContainsCharacters(set, w, 5));
  EXPECT_FALSE(SyntaxSetContainsCharacters(set, nullptr, 3));
}

TEST(SyntaxShipped, EveryShippedSpecificationLoadsCleanly) {
  const char* languages[] = {"php", "perl", "html", "xml", "css", "javascript", "ruby"};
  CFBundleRef bundle = CFBundleGetMainBundle();
  ASSERT_NE(bundle, nullptr);
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  int present = 0;
  for (const char* language : languages) {
    Ref name(CFStringCreateWithCString(nullptr, language, kCFStringEncodingUTF8));
    Ref url(CFBundleCopyResourceURL(bundle, name.str(), CFSTR("plist"), CFSTR("Language Specifications")));
    if (!url) continue;
    ++present;
    ::testing::internal::CaptureStderr();
    collection->LoadLibrary(language);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "") << language;
    SyntaxLibraryPtr library = collection->GetLanguageLibrary(language);
    ASSERT_NE(library, nullptr) << language;
    EXPECT_FALSE(library->displayName.empty()) << language;
    EXPECT_GT(CFDictionaryGetCount(library->definitions), 0) << language;
  }
  if (present == 0) GTEST_SKIP() << "no language specifications in the bundle yet";
}

}  // namespace
