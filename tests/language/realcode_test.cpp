// The shipped languages on small samples shaped like real code: each sample
// names the style every checked stretch of text must have from its first
// character to its last, so a string, comment or literal that ends too early
// or runs on shows up, and the symbols the file declares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "CFData.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "../support/CFRef.h"
#include "../support/RecordingSyntaxController.h"

namespace {

namespace fs = std::filesystem;

const char* const kLanguages[] = {"php", "perl", "html", "xml", "css", "javascript", "ruby"};

// Slots, by what they colour.
enum : SInt16 {
  kPlain = 0, kBuiltin = 1, kClass = 2, kComment = 3, kConstant = 4, kElement = 5, kFunction = 6, kMethod = 7,
  kHTML = 8, kKeyword = 9, kOperator = 10, kString = 11, kVariable = 12, kInstance = 13, kGlobal = 14, kTag = 15,
  kAttribute = 16, kNumber = 17,
};

// A theme in which every slot has a colour of its own, so a colour names its
// slot (the default colours share some).
RGBColor SlotColour(SInt16 slot) { return RGBColor{UInt16(1000 + slot * 911), UInt16(slot * 3), 7}; }

CFDictionaryRef CreateDistinctTheme() {
  CFMutableDictionaryRef theme = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                           &kCFTypeDictionaryValueCallBacks);
  for (SInt16 slot = 1; slot <= kSyntaxStyleUsedSlots; ++slot) {
    ExtendedTextStyle style{};
    style.textColor = SlotColour(slot);
    Ref data(ExtendedTextStyleCreateStoredData(style));
    Ref key(CFStringCreateWithCString(nullptr, GetSyntaxStyleDisplayName(slot), kCFStringEncodingUTF8));
    CFDictionarySetValue(theme, key.get(), data.get());
  }
  return theme;
}

SInt16 SlotOf(const RecordingSyntaxController::Attributes& a) {
  if (!a.styled) return kPlain;
  for (SInt16 slot = 1; slot <= kSyntaxStyleUsedSlots; ++slot)
    if (RecordingSyntaxController::Same(a.color, SlotColour(slot))) return slot;
  return -1;
}

// A stretch of the sample and the slot each of its characters has. Stretches
// are looked for in order, each after the one before.
struct Run {
  const char* text;
  SInt16 slot;
};

struct Sample {
  const char* what;
  const char* file;  // the language follows from its name
  const char* text;  // lines end with "\n"; the scan sees carriage returns
  std::vector<Run> runs;
  const char* symbols;  // "name<parent>:definition" sorted, comma-separated; nil: not checked
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.what; }

struct Parsed {
  std::string text;  // as scanned, lines ending in carriage returns
  std::vector<SInt16> slots;
  std::string symbols;
};

std::string SymbolsOf(FileDescriptorPtr descriptor) {
  std::vector<std::string> out;
  if (descriptor == nullptr || descriptor->symbolTable == nullptr) return "";
  descriptor->symbolTable->ApplyFunction(
      [](SymbolInfoPtr info, CFTreeRef, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(
            info->symbolName.str() + "<" + info->parentName.str() + ">:" + info->definitionName.str());
      },
      &out);
  std::sort(out.begin(), out.end());
  std::string s;
  for (const std::string& x : out) s += (s.empty() ? "" : ",") + x;
  return s;
}

FSRef MakeRef(const fs::path& p) {
  FSRef ref{};
  const std::string s = p.string();
  FSPathMakeRef(reinterpret_cast<const UInt8*>(s.c_str()), &ref, nullptr);
  return ref;
}

class Languages {
 public:
  Languages() {
    Ref theme(CreateDistinctTheme());
    collection_.reset(CreateSyntaxCollection(nullptr));
    for (const char* language : kLanguages) collection_->LoadLibrary(language);
    UpdateSyntaxCollectionStyles(collection_.get(), theme.dict());
  }
  TSyntaxCollection* get() const { return collection_.get(); }

 private:
  std::unique_ptr<TSyntaxCollection> collection_;
};

TSyntaxCollection* Collection() {
  static Languages* languages = new Languages();
  return languages->get();
}

// Parses the bytes as a file of that name, with a fresh symbol index.
Parsed ParseFile(const std::string& name, const std::string& bytes) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = fs::path(tmp ? tmp : "/tmp") / ("realcode-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "index");
  const fs::path path = folder / name;
  std::ofstream(path, std::ios::binary) << bytes;

  Parsed parsed;
  TFileSystem* index = CreateFileSystem(MakeRef(folder / "index"), Collection(), nullptr);
  if (index != nullptr) index->SetRoot(MakeRef(folder));
  RecordingSyntaxController controller;
  SyntaxParserSource source;
  source.file = MakeRef(path);
  source.controller = &controller;
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = Collection();
  auto* process = new TSyntaxParserProcess();
  if (process->Create(source, destination) == 0) {
    TSyntaxParserProcess* next = nullptr;
    while (process->Run(next) == 1) {
    }
  }
  process->Free();
  for (char16_t c : controller.text) parsed.text += c < 128 ? char(c) : '?';
  for (const auto& a : controller.attributes) parsed.slots.push_back(SlotOf(a));
  if (index != nullptr) {
    parsed.symbols = SymbolsOf(index->GetDescriptor(Str63(name.c_str())));
    index->Release();
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return parsed;
}

std::string Scanned(std::string s) {
  for (char& c : s)
    if (c == '\n') c = '\r';
  return s;
}

// Every checked stretch, with the slots its characters got where they differ.
void ExpectRuns(const Sample& sample, const Parsed& parsed) {
  size_t from = 0;
  for (const Run& run : sample.runs) {
    const std::string fragment = Scanned(run.text);
    const size_t at = parsed.text.find(fragment, from);
    ASSERT_NE(at, std::string::npos) << sample.what << ": \"" << run.text << "\" not found in order";
    std::string got;
    bool same = true;
    for (size_t i = at; i < at + fragment.size(); ++i) {
      const SInt16 slot = i < parsed.slots.size() ? parsed.slots[i] : -2;
      if (slot != run.slot) same = false;
      got += std::to_string(slot) + (i + 1 < at + fragment.size() ? " " : "");
    }
    EXPECT_TRUE(same) << sample.what << ": \"" << run.text << "\" should be all " << run.slot << ", got " << got;
    from = at + fragment.size();
  }
}

class RealCode : public ::testing::TestWithParam<Sample> {};

TEST_P(RealCode, StylesEndWhereTheLanguageSaysAndSymbolsAreRight) {
  const Sample& sample = GetParam();
  const Parsed parsed = ParseFile(sample.file, sample.text);
  ExpectRuns(sample, parsed);
  if (sample.symbols != nullptr) EXPECT_EQ(parsed.symbols, sample.symbols) << sample.what;
}

const Sample kSamples[] = {
    // --- Regular-expression literals ----------------------------------------------
    {"js regex with a backtick", "a.js",
     "const re = /[`]/;\nconst s = 'x';\n",
     {{"/[`]/", kString}, {";", kPlain}, {"'x'", kString}}, nullptr},
    {"js regex with an escaped slash in minified code", "m.js",
     "function a(s){return s.replace(/\\//g,\"-\")}function b(){return 2/3}\n",
     {{"/\\//", kString}, {"g,", kPlain}, {"\"-\"", kString}, {"b", kFunction}, {"2", kNumber}, {"/", kPlain},
      {"3", kNumber}},
     "a<>:function,b<>:function"},
    {"js minified statements end at their semicolons", "m2.js",
     "import {a} from './a.js';const x=1;class K extends B{m(){return x/2}}const f=function(y){return y};"
     "let g=(z)=>z;function h(){}\n",
     {{"'./a.js'", kString}, {"K", kClass}, {"f", kFunction}, {"g", kFunction}, {"h", kFunction}},
     "K<>:class,f<>:function variable,g<>:function variable,h<>:function,x<>:constant"},
    {"js division after names, numbers and brackets", "d.js",
     "var x = a / b / c, y = (a) / 2 / (b), z = arr[0] / 4; // '\nvar s = \"/\";\n",
     {{" / b / c", kPlain}, {") / ", kPlain}, {"] / ", kPlain}, {"// '", kComment}, {"\"/\"", kString}},
     nullptr},
    {"js regex after operators and keywords", "k.js",
     "if (/^#/.test(s) || !/'/.test(t)) { return /\"/g; }\nx = cond ? /a/ : /b/;\nlet t = typeof /c/;\n",
     {{"/^#/", kString}, {".test(s) || !", kPlain}, {"/'/", kString}, {"return", kKeyword}, {"/\"/", kString},
      {"/a/", kString}, {" : ", kPlain}, {"/b/", kString}, {"/c/", kString}},
     nullptr},
    {"js regex with a slash in a class", "c.js",
     "var p = s.replace(/[^/]+$/, '');\nvar q = \"ok\";\n",
     {{"/[^/]+$/", kString}, {", ", kPlain}, {"''", kString}, {"\"ok\"", kString}}, nullptr},
    {"js regex at the start of a line", "l.js",
     "x = 1\n/'/.test(y)\nvar z = 'ok';\n",
     {{"/'/", kString}, {"'ok'", kString}}, nullptr},
    {"ruby regex literals", "r.rb",
     "s = s.sub(/#/, \"\")\ncase line\nwhen /\\A'(.+)'\\z/ then x\nend\ny = a / b # note\nz = %r{/#'}i\nq = 'ok'\n",
     {{"/#/", kString}, {", ", kPlain}, {"\"\"", kString}, {"/\\A'(.+)'\\z/", kString}, {" / b ", kPlain},
      {"# note", kComment}, {"%r{/#'}", kString}, {"'ok'", kString}},
     nullptr},

    // --- PHP leaves only at a ?> in code -------------------------------------------
    {"php ?> inside strings and block comments", "p.php",
     "<?php\nfunction a($s) { return preg_match(\"#<b.*?>#\", $s); }\n$x = \"<?xml version=\\\"1.0\\\" ?>\";\n"
     "/* ?> */\nfunction b() {}\n?>\n<p>done</p>\n",
     {{"\"#<b.*?>#\"", kString}, {"b", kFunction}, {"<p", kTag}},
     "a<>:function,b<>:function"},
    {"php ?> ends a line comment", "c.php",
     "<?php // note ?>\n<p>x</p>\n",
     {{"// note", kComment}, {"<p", kTag}}, nullptr},

    // --- Heredocs with any tag --------------------------------------------------------
    {"php heredocs and nowdocs", "h.php",
     "<?php\n$a = <<<'PHP'\nit's $raw\nPHP;\n$b = <<<EOHTML\n  <p class='x'>{$v}</p>\n  EOHTML;\nfunction later() {}\n",
     {{"<<<'PHP'\nit's $raw\nPHP", kString}, {";", kPlain}, {"<<<EOHTML\n  <p class='x'>", kString},
      {"{$v}", kVariable}, {"</p>\n  EOHTML", kString}, {";", kPlain}, {"later", kFunction}},
     "later<>:function"},
    {"perl heredocs", "h.pl",
     "print <<WHOA;\nit's here\nWHOA\nmy $t = <<'END_OF_TEXT';\ndon't\nEND_OF_TEXT\nmy $u = <<~EOT;\n  x'\n  EOT\nsub later { 1 }\n",
     {{"<<WHOA;\nit's here\nWHOA", kString}, {"<<'END_OF_TEXT';\ndon't\nEND_OF_TEXT", kString},
      {"<<~EOT;\n  x'\n  EOT", kString}, {"later", kFunction}},
     "later<>:function"},
    {"ruby heredocs", "h.rb",
     "msg = <<~MSG\n  don't\n  MSG\nsql = <<-SQL_QUERY\n  it's\nSQL_QUERY\nt = <<EOR\nEOR is not the end\nEOR\ndef later; end\n",
     {{"<<~MSG\n  don't\n  MSG", kString}, {"<<-SQL_QUERY\n  it's\nSQL_QUERY", kString},
      {"<<EOR\nEOR is not the end\nEOR", kString}, {"later", kFunction}},
     "later<>:function"},

    // --- Perl quote-like operators and pod ---------------------------------------------
    {"perl substitutions", "s.pl",
     "$x =~ s/'/\\\\'/g;\n$y =~ tr/a-z/A-Z/;\n$z =~ s{'}{\"}gx;\n$w =~ y/'//d;\nmy $k = 'ok';\n",
     {{"s/'/\\\\'/", kString}, {"g;", kPlain}, {"tr/a-z/A-Z/", kString}, {"s{'}{\"}", kString}, {"gx;", kPlain},
      {"y/'//", kString}, {"'ok'", kString}},
     nullptr},
    {"perl pod", "p.pl",
     "=head1 NAME\n\nit's\n\n=cut\n\nmy $x = 1;\nmy $y\n= 2;\nsub later { 'ok' }\n",
     {{"=head1 NAME\n\nit's\n\n=cut", kComment}, {"1", kNumber}, {"= ", kPlain}, {"2", kNumber},
      {"'ok'", kString}},
     "later<>:function"},

    // --- Special variables named by a quote ------------------------------------------
    {"ruby variables named by quotes after the sigil", "g.rb",
     "module M\n  s = $' + $\"[0]\n  A = 'ok'\nend\n",
     {{"'ok'", kString}}, "A<M>:constant,M<>:module"},
    {"perl variables named by quotes after the sigil", "g.pl",
     "my $x = $';\nmy $y = \"$\";\nmy $z = 'ok';\nsub later { 1 }\n",
     {{"'ok'", kString}}, "later<>:function"},
    {"js template tagged by a function named $", "g.js",
     "let out = $`ls '${d}'`;\nlet q = 'ok';\nfunction later() {}\n",
     {{"`ls '", kString}, {"'ok'", kString}}, "later<>:function"},

    // --- Nested template literals ------------------------------------------------------
    {"js nested templates", "t.js",
     "const s = `${a ? `${b}` : \"\"}x`;\nfunction later() {}\n",
     {{"`", kString}, {"${a ? ", kVariable}, {"`", kString}, {"${b}", kVariable}, {"`", kString}, {" : ", kVariable},
      {"\"\"", kString}, {"}", kVariable}, {"x`", kString}, {";", kPlain}, {"later", kFunction}},
     "later<>:function,s<>:constant"},

    // --- Ruby percent literals with nested brackets ----------------------------------
    {"ruby percent literals", "p.rb",
     "a = %Q[x [y] z]\nb = %w(a (b) c)\nc = %i[d [e]]\nd = 'ok'\n",
     {{"%Q[x [y] z]", kString}, {"\nb = ", kPlain}, {"%w(a (b) c)", kString}, {"\nc = ", kPlain},
      {"%i[d [e]]", kString}, {"\nd = ", kPlain}, {"'ok'", kString}},
     nullptr},

    // --- Symbols ------------------------------------------------------------------------
    {"php imports, constants, anonymous classes and braces in strings", "cart.php",
     "<?php\nnamespace App;\nuse function strlen;\nuse const PHP_EOL;\nclass Cart {\n    const LIMIT = 5;\n"
     "    const int MAX = 9;\n    public function add($x) { return \"}\"; }\n    /* } */\n"
     "    public function __construct() { $s = '{'; }\n"
     "    public function total() { $o = new class implements Countable { }; return 1; }\n}\n"
     "class Order extends Base implements JsonSerializable {\n    public function __construct() {}\n}\n"
     "function helper() {}\n",
     {{"Cart", kClass}, {"LIMIT", kConstant}, {"MAX", kConstant}, {"add", kMethod}, {"\"}\"", kString},
      {"/* } */", kComment}, {"__construct", kMethod}, {"total", kMethod}, {"Order", kClass}, {"helper", kFunction}},
     "Cart<>:class,LIMIT<Cart>:class constant,MAX<Cart>:class constant,Order<>:class,__construct<Cart>:method,"
     "__construct<Order>:method,add<Cart>:method,helper<>:function,total<Cart>:method"},
    {"js class methods and functions held in variables", "w.js",
     "class Widget extends Base {\n  constructor(a) {\n    this.s = \"}\";\n    if (a) { run(); }\n  }\n"
     "  static async load(id) {\n    for (let i = 0; i < 3; i++) {}\n  }\n  get size() { return 1; }\n"
     "  render() { return `}`; }\n}\nclass Other {\n  render() {}\n}\n"
     "const handler = async (e) => { };\nconst f = function (x) {};\nlet g = x => x * 2;\nfunction top() {}\n",
     {{"constructor", kMethod}, {"load", kMethod}, {"size", kMethod}, {"render", kMethod}, {"render", kMethod},
      {"top", kFunction}},
     "Other<>:class,Widget<>:class,constructor<Widget>:method,f<>:function variable,g<>:function variable,"
     "handler<>:function variable,load<Widget>:method,render<Other>:method,render<Widget>:method,"
     "size<Widget>:method,top<>:function"},
    {"js constants outside classes, exported or not, beside functions held in constants", "c.js",
     "const A = 1;\nexport const B = {x: 1};\nfunction f() {}\nconst g = () => 1;\nclass K {\n"
     "  m() { const z = 1; }\n}\nif (a) {\n  const blk = a === b;\n}\nconst {p, q} = o;\nlet v = 2;\n",
     {{"g", kFunction}, {"m", kMethod}},
     "A<>:constant,B<>:constant,K<>:class,blk<>:constant,f<>:function,g<>:function variable,m<K>:method"},
    {"ruby one-line classes, operator and class methods, accessors", "shop.rb",
     "module Shop\n  class Error < StandardError; end\n  class Cart\n    attr_reader :items, :total\n    MAX = 10\n"
     "    Cart.log(:x) if MAX == 1\n"
     "    def initialize; end\n    def []=(k, v); end\n    def self.build; end\n    def Cart::make; end\n"
     "  end\n  class Order\n    def initialize\n    end\n  end\nend\ndef helper; end\n",
     {{"MAX", kConstant}, {":x", kConstant}, {"MAX", kConstant}},
     "Cart<Shop>:class,Error<Shop>:class,MAX<Cart>:constant,Order<Shop>:class,Shop<>:module,[]=<Cart>:method,"
     "build<Cart>:method,"
     "helper<>:function,initialize<Cart>:method,initialize<Order>:method,items<Cart>:accessor,make<Cart>:method,"
     "total<Cart>:accessor"},
    {"perl packages, constants and a variable named package", "foo.pl",
     "package Foo::Bar;\nuse constant { ALPHA => 1, BETA => 2 };\nuse constant GAMMA => 3;\n"
     "sub new { my $package = shift; if ($package eq \"main\") { return 1; } }\nsub run { }\n"
     "package Other;\nsub new { }\n",
     {{"ALPHA", kConstant}, {"BETA", kConstant}, {"GAMMA", kConstant}},
     "ALPHA<Foo::Bar>:constant,BETA<Foo::Bar>:constant,Foo::Bar<>:package,GAMMA<Foo::Bar>:constant,"
     "Other<>:package,new<Foo::Bar>:method,new<Other>:method,run<Foo::Bar>:method"},
};

// The same page in the wide encodings, known by their byte-order marks.
TEST(RealCodeEncodings, WideTextWithAByteOrderMarkIsDecoded) {
  const std::u32string page = U"<p id=\"x\">caf\u00e9 \U0001F600</p>\r\n<b>y</b>\n";
  struct Encoding {
    const char* name;
    int width;
    bool big;
  };
  for (const Encoding& e : {Encoding{"UTF-16LE", 2, false}, Encoding{"UTF-16BE", 2, true},
                            Encoding{"UTF-32LE", 4, false}, Encoding{"UTF-32BE", 4, true}}) {
    std::u32string units = U"\uFEFF";
    for (char32_t c : page) {
      if (e.width == 2 && c >= 0x10000) {
        units += char32_t(0xD800 + ((c - 0x10000) >> 10));
        units += char32_t(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        units += c;
      }
    }
    std::string bytes;
    for (char32_t u : units)
      for (int k = 0; k < e.width; ++k) bytes += char((u >> (8 * (e.big ? e.width - 1 - k : k))) & 0xFF);
    const Parsed parsed = ParseFile("page.html", bytes);
    // The emoji is two units; the CR LF one.
    EXPECT_EQ(parsed.text, "<p id=\"x\">caf? ??</p>\r<b>y</b>\r") << e.name;
    ASSERT_EQ(parsed.slots.size(), parsed.text.size()) << e.name;
    EXPECT_EQ(parsed.slots[1], kTag) << e.name;
    EXPECT_EQ(parsed.slots[parsed.text.find("<b") + 1], kTag) << e.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, RealCode, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name = info.param.what;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
