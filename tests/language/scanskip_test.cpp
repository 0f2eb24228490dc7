// The scan engine steps over the characters at which no definition can start
// or end, many to one call of Run. A parse that watches every character (an
// inspector) still takes them one at a time; both must find exactly the same
// styles, marks and symbols, on whole files and on incremental stretches.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "../support/RecordingSyntaxController.h"

namespace {

namespace fs = std::filesystem;

FSRef MakeRef(const fs::path& p) {
  FSRef ref{};
  const std::string s = p.string();
  FSPathMakeRef(reinterpret_cast<const UInt8*>(s.c_str()), &ref, nullptr);
  return ref;
}

TSyntaxCollection* Collection() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* language : {"php", "perl", "html", "xml", "css", "javascript", "ruby"}) c->LoadLibrary(language);
    return c;
  }();
  return collection;
}

// Everything a parse leaves: the controller's results in order, and the
// symbols with their parents and declaration texts.
struct Outcome {
  std::vector<std::string> results;
  std::vector<std::string> symbols;
  std::vector<std::string> looks;  // the text's runs of one colour afterwards
  int runs = 0;
};

std::string Describe(const RecordingSyntaxController::Call& c) {
  std::string s = std::to_string(c.kind) + "@" + std::to_string(c.span.location) + "-" + std::to_string(c.span.length);
  if (c.kind == RecordingSyntaxController::kStyleRange)
    s += " " + std::to_string(c.style.textColor.red) + "," + std::to_string(c.style.textColor.green) + "," +
         std::to_string(c.style.textColor.blue) + (c.style.bold ? "b" : "");
  if (c.kind == RecordingSyntaxController::kApplyEmbeddedLanguage) s += " " + c.language.str();
  if (c.kind == RecordingSyntaxController::kApplySymbol && c.symbol != nullptr) s += " " + c.symbol->symbolName.str();
  return s;
}

void Keep(const RecordingSyntaxController& controller, Outcome& out) {
  for (const auto& r : controller.StyleRuns())
    out.looks.push_back(std::to_string(r.start) + "-" + std::to_string(r.end) + " " + std::to_string(r.color.red) +
                        "," + std::to_string(r.color.green) + "," + std::to_string(r.color.blue) +
                        (r.bold ? "b" : ""));
  for (const auto& c : controller.calls) {
    switch (c.kind) {
      case RecordingSyntaxController::kStyleRange:
      case RecordingSyntaxController::kProtectRange:
      case RecordingSyntaxController::kApplySymbol:
      case RecordingSyntaxController::kApplyEmbeddedLanguage:
      case RecordingSyntaxController::kResetRange:
        out.results.push_back(Describe(c));
        break;
      default:
        break;
    }
  }
}

int RunAll(TSyntaxParserProcess* process) {
  TSyntaxParserProcess* next = nullptr;
  int runs = 1;
  while (process->Run(next) == 1) ++runs;
  return runs;
}

// Creates the process, runs it to its end and frees it: the runs it took.
// A parse that finds no language fails the test, as it would compare
// nothing with nothing.
int CreateAndRun(TSyntaxParserProcess* process, const SyntaxParserSource& source,
                 const SyntaxParserDestination& destination) {
  int runs = 0;
  if (process->Create(source, destination) == 0)
    runs = RunAll(process);
  else
    ADD_FAILURE() << "the parse found no language";
  process->Free();
  return runs;
}

void Watch(TSyntaxParserProcess*, void*) {}

// A whole-file parse into a fresh index, watched character by character or not.
Outcome ParseFile(const std::string& name, const std::string& text, bool watched) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path folder = fs::path(tmp ? tmp : "/tmp") / ("scanskip-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "index");
  std::ofstream(folder / name, std::ios::binary) << text;
  TFileSystem* index = CreateFileSystem(MakeRef(folder / "index"), Collection(), nullptr);
  index->SetRoot(MakeRef(folder));
  RecordingSyntaxController controller;
  SyntaxParserSource source;
  source.file = MakeRef(folder / name);
  source.controller = &controller;
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = Collection();
  if (watched) destination.inspector = Watch;
  Outcome out;
  out.runs = CreateAndRun(new TSyntaxParserProcess(), source, destination);
  Keep(controller, out);
  if (FileDescriptorPtr d = index->GetDescriptor(Str63(name.c_str())); d != nullptr && d->symbolTable != nullptr) {
    d->symbolTable->ApplyFunction(
        [](SymbolInfoPtr info, CFTreeRef, void* context) {
          static_cast<std::vector<std::string>*>(context)->push_back(
              info->symbolName.str() + "<" + info->parentName.str() + ">:" + info->definitionName.str() + " [" +
              info->source.str() + "]");
        },
        &out.symbols);
  }
  index->Release();
  fs::remove_all(folder);
  return out;
}

// The text as the view holds it after a whole parse, then one stretch of it
// parsed again the way the editor does after an edit.
Outcome Reparse(const std::string& text, const char* language, CFRange span, bool watched) {
  std::string scanned = text;
  for (char& c : scanned)
    if (c == '\n') c = '\r';
  RecordingSyntaxController controller(scanned.c_str());
  SyntaxLibraryPtr library = Collection()->GetLanguageLibrary(Str63(language));
  SyntaxLibraryPtr root = Collection()->GetLanguageLibrary(library->rootLanguage);
  Outcome out;
  for (int pass = 0; pass < 2; ++pass) {
    SyntaxParserSource source;
    source.library = pass == 0 && root != nullptr ? root : library;
    source.controller = &controller;
    source.span = pass == 0 ? CFRangeMake(0, 0) : span;
    SyntaxParserDestination destination;
    if (watched) destination.inspector = Watch;
    auto* process = new TSyntaxParserProcess();
    process->incremental = pass == 1;
    process->fromController = pass == 1;
    out.runs = CreateAndRun(process, source, destination);
    if (pass == 0) controller.calls.clear();
  }
  Keep(controller, out);
  return out;
}

// UTF-8 as UTF-16 units, as a view holds the text (line ends as CR).
std::u16string Units(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra && i + size_t(k) < text.size(); ++k) cp = (cp << 6) | (text[i + size_t(k)] & 0x3F);
    i += size_t(extra) + 1;
    if (cp >= 0x10000) {
      out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += cp == '\n' ? u'\r' : char16_t(cp);
    }
  }
  return out;
}

// A whole parse of the text a view holds: the parse brings it in chunk by
// chunk, and the quiet stretches end where the text brought in ends.
Outcome ParseView(const std::u16string& text, const char* language, bool watched) {
  RecordingSyntaxController controller(text);
  SyntaxLibraryPtr library = Collection()->GetLanguageLibrary(Str63(language));
  SyntaxLibraryPtr root = Collection()->GetLanguageLibrary(library->rootLanguage);
  SyntaxParserSource source;
  source.library = root != nullptr ? root : library;
  source.controller = &controller;
  SyntaxParserDestination destination;
  if (watched) destination.inspector = Watch;
  Outcome out;
  out.runs = CreateAndRun(new TSyntaxParserProcess(), source, destination);
  Keep(controller, out);
  return out;
}

struct Sample {
  const char* name;
  const char* language;
  const char* text;
};

const Sample kSamples[] = {
    {"orders.php", "php", R"(<!DOCTYPE html>
<p class="x">Total: <?php echo htmlspecialchars($sum, ENT_QUOTES); ?> &amp; more</p>
<?php
namespace Shop;
/* A block comment with "quotes", 'ticks' and a $variable */
final class Cart extends Base implements \Countable {
    const LIMIT = 10; // a line comment ?> is not here
    private static array $items = ['a' => "b\"c", 'd' => 'e\'f'];
    public function add(string $sku, int $n = 1): self {
        if (preg_match('/^[A-Z]{2}-\d+$/', $sku) && $n > 0) {
            $this->items[$sku] = ($this->items[$sku] ?? 0) + $n;
        }
        $fn = static fn($x) => $x * 2;
        $sql = <<<SQL
SELECT {$this->table} FROM t WHERE a = '$sku'
SQL;
        $raw = <<<'RAW'
no $interpolation {$here}
RAW;
        return $this;
    }
    function count(): int { return count($this->items); }
}
define('MAX_ITEMS', 250);
# hash comment
?>
<script>var re = /a\/b/g; const t = `x ${a ? `y${b}` : "z"} w`;</script>
<style>p { color: red; /* c */ }</style>
)"},
    {"report.pl", "perl", R"(#!/usr/bin/perl
use strict;
package Report::Builder;
my %h = (a => 1, b => "two\n");
sub render {
    my ($self, @rows) = @_;
    (my $t = $self->{title}) =~ s/\s+$//;
    $t =~ tr/a-z/A-Z/;
    my @w = qw(alpha beta gamma);
    my $re = qr{^(\d+)\s+(\w+)}x;
    print <<"END";
Title: $t @{[ scalar @rows ]}
END
    return join(', ', map { "<$_>" } @rows) if $t =~ m/^R/;
}

=pod

Some documentation with sub fake { } inside.

=cut

1;
)"},
    {"app.js", "javascript", R"('use strict';
import { a, b } from './util.js';
// a comment with "quotes" and /slashes/
export class List extends Base {
  constructor(root, opts = {}) {
    super();
    this.re = /^\/items\/(\d+)\/?$/i;
    this.t = `row ${this.n > 1 ? `${this.n} items` : 'one item'} \` done`;
  }
  render() { return this.items.map((x) => '<li>' + x.replace(/</g, '&lt;') + '</li>').join(''); }
}
function parse(q) { /* block
  comment */ return q.split('&').map(decodeURIComponent); }
const f = async (u) => { const r = await fetch(u); return r.ok ? r.json() : null; };
var x = a / b / 2, y = "a\"b\\", z = 'c\'d';
)"},
    {"style.css", "css", R"(@charset "utf-8";
/* Layout, with a "quoted" word */
:root { --accent: #3366cc; }
.card::before { content: "\201C"; font: italic 2em/1 Georgia, serif; }
a.button:hover, #side .title > li:nth-child(2n + 1) { color: rgba(0, 0, 0, .5); }
@media (max-width: 600px) { .panel { display: none !important; } }
.icon { background: url('img/a.png') no-repeat; }
)"},
    {"stock.rb", "ruby", R"(# frozen_string_literal: true
require 'json'
module Warehouse
  class Inventory
    attr_reader :items
    LIMIT = 1_000
    def add(sku, count = 1)
      raise StockError, "limit of #{@limit} reached" if total + count > @limit
      @items[sku] = (@items[sku] || 0) + count
      words = %w[a b c]
      re = /\A#{sku}\d+\z/
      text = <<~TEXT
        Inventory #{@name} #{lines.join("\n")}
      TEXT
      self
    end
  end
end
)"},
    // Open texts that need their word right before them, a line start or a
    // second character, next to the same characters where they open nothing.
    {"stops.pl", "perl", R"(my $a = 1; my @b = (1, 2); my %c = (x => [3]);
print "=head1 is text here" if $a == 1 && $b[0] != 2;
my $s = q{single {nested} quoted}; my $t = qq(double $a); my @u = qw[x y]; my $v = q {spaced};
if ($a =~ m{^x}) { $a = $a | 2; } $a = $a <=> 2; my $e = $a<1; $a =~ y/a-z/A-Z/;
=head1 NAME

Documentation (with q{ and =cut mid-line).

=cut

$a ={ b => 1 };
=item
 =head2 not at a line start
=cut
__END__ x
__END__
data after the end
)"},
    {"stops.rb", "ruby", R"(x = 1
y = x ==2
=begin
documentation
=end
==b
z = [x, y] << 3 % 2
w = %w[a b] + %i[c d]
puts "#{x}" if x<y
=begin
to the end
)"},
    // Text past ASCII: Latin letters Mac Roman has (in words too, where
    // some languages count them), units from 256 on (that it lacks, some
    // beyond the first plane), in code, strings and comments.
    {"unicode.php", "php", R"(<?php
$café = "naïve € 日本語 😀"; // コメント with ünïcödé and a € sign
$日本 = 'ß' . $café; /* block: ∑ over 𝔸, and * stars * */
function größe_€($wert) { return $wert ?? "Ω"; } # ¶ hash comment
class Ärger extends Ωmega { const MAX = 'µ'; }
echo "{$café} ✓", größe_€(1);
?>
<p title="été">Déjà vu — “quotes” &amp; ✓</p>
)"},
    // Words of 62, 63, 64 and more characters (a word is kept to 63), as
    // names that make symbols and as plain words; a word ends the text.
    {"long.js", "javascript", R"(function aVeryLongFunctionNameOfSixtyTwoCharactersIsStillKeptWhole012() { return 1; }
function aFunctionNameOfExactlySixtyThreeCharactersWhichIsTheLongestKept() {}
function aFunctionNameOfSixtyFourCharactersIsCutToTheFirstSixtyThreeOnes4() {}
var aVariableNameThatGoesOnAndOnForFarMoreThanSixtyThreeCharactersBeforeItEndsAtLast = "a string with aWordThatIsLongerThanSixtyThreeCharactersInsideItButStyledAsTheString";
// a comment with aWordThatIsLongerThanSixtyThreeCharactersInsideItButStyledAsTheComment
class ThisClassNameIsAlsoLongerThanSixtyThreeCharactersSoItsSymbolNameIsCutShort extends Base {}
return aFinalWordThatEndsTheWholeTextWithoutAnyLineBreakAfterItAndIsLongToo)"},
    // Line ends of every kind: CR LF, a lone CR, and LF, where line
    // comments, one-line ranges and line-start texts end or begin.
    {"endings.rb", "ruby", "# comment\r\nx = 1 # another\ry = \"two\"\r\n=begin\r\ndoc\r\n=end\nz = x<<y # last\r\n"
                           "def go(a)\r  a * 2\rend\r\n"},
    // Words that open a block only at the start of a line (after its
    // indent), next to the same words after code on the line.
    {"blocks.rb", "ruby", "def check(x)\n  if x > 1\n    puts 'big'\n  end\n  y = 2 if x\n\t while x < 10\r\n    x += 1\n  end\n"
                          "  y = 3 unless x\n  unless y\r    y = 4\n  end\nend\ndef after(z)\n  z\nend\n"},
    {"endings.pl", "perl", "my $a = 1; # c\r\nmy $b = q{x\r\ny};\r=pod\r\n\r\ndoc\r\n=cut\r\nprint <<EOT;\r\nhere $a\r\nEOT\r\nsub f { 1 }\r"},
    // Words a prefix colours ("$total", "@count", ":sym", "Constant"),
    // long and non-ASCII ones, in code and strings, one at the very end;
    // and prefixed words while a prefix that reads its line waits.
    {"vars.php", "php",
     "<?php\r\n$total = $price * $qty; $pr\xc3\xa9nom = \"Hi $name and {$obj->x}\";\r\n"
     "$aVariableNameThatGoesOnAndOnForFarMoreThanSixtyThreeCharactersBeforeItEnds = 1;\r\n"
     "global $config;\nfunction go($a) { return $a . $this->b; }\necho $total\r\n?>\n$notCode $last"},
    {"prefixes.rb", "ruby",
     "USERINFO = /\\A(?:%\\h\\h|[!$&-.0-;=A-Z_a-z~])*\\z/\n"
     "  opts = { a: /\\A[$&]\\z/, b: :sym, c: $stdout }\r\n@count = $& ? Foo::Bar : @x_\xc3\xa9\n"
     "class Alpha < Beta; CONST = :done; end\r$aGlobalWhoseNameRunsOnForMoreThanSixtyThreeCharactersOfTextInAll\n$last"},
    {"sigils.pl", "perl",
     "my ($x, @y, %h) = (1, (2, 3), ());\r\nprint \"$x @y $h{a}\\n\";\n"
     "$aVariableWhoseNameRunsOnForMoreThanSixtyThreeCharactersOfTextInAll = $y[0] + $#y;\n${x}++ if @y;\r$x"},
    {"feed.xml", "xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- A feed -->
<feed xmlns="http://www.w3.org/2005/Atom">
  <entry id="e1" xml:lang="en"><title type="text">Notes &amp; fixes</title>
    <script><![CDATA[ if (a < b && c > d) { run(); } ]]></script>
  </entry>
</feed>
)"},
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.name; }

class ScanSkip : public ::testing::TestWithParam<Sample> {};

TEST_P(ScanSkip, AWholeParseFindsWhatACharacterByCharacterParseFinds) {
  const Sample& s = GetParam();
  const Outcome one = ParseFile(s.name, s.text, true);
  const Outcome many = ParseFile(s.name, s.text, false);
  // Quiet stretches were stepped over, not read one by one.
  EXPECT_LT(many.runs, one.runs * 3 / 4);
  EXPECT_FALSE(one.results.empty());
  EXPECT_EQ(many.results, one.results);
  EXPECT_EQ(many.symbols, one.symbols);
}

TEST_P(ScanSkip, AnIncrementalStretchIsParsedAlikeWhereverItStarts) {
  const Sample& s = GetParam();
  const std::string text = s.text;
  const CFIndex n = CFIndex(text.size());
  // Stretches in code, in comments and strings, and ones that run to the end.
  for (CFIndex start : {CFIndex(0), n / 7, n / 3, n / 2, 2 * n / 3, n - 5}) {
    for (CFIndex length : {CFIndex(1), CFIndex(12), CFIndex(60)}) {
      const CFRange span = CFRangeMake(start, std::min(n, start + length));
      SCOPED_TRACE(std::to_string(span.location) + ".." + std::to_string(span.length));
      const Outcome one = Reparse(text, s.language, span, true);
      const Outcome many = Reparse(text, s.language, span, false);
      EXPECT_EQ(many.results, one.results);
      EXPECT_LE(many.runs, one.runs);
    }
  }
}

TEST_P(ScanSkip, AWholeParseOfAViewFindsWhatACharacterByCharacterParseFinds) {
  const Sample& s = GetParam();
  const std::u16string text = Units(s.text);
  const Outcome one = ParseView(text, s.language, true);
  const Outcome many = ParseView(text, s.language, false);
  EXPECT_FALSE(one.results.empty());
  EXPECT_EQ(many.results, one.results);
}

// The text of a view, and a file's text on its way to the view, come in
// chunks of 32768 units: words, runs of plain characters, comments and
// strings that straddle the seams, and the scan's quiet stretches, which end
// where the text brought in ends (a view's) or run on past it, colouring
// keywords on the way (a file's).
TEST(ScanSkipSeams, TextAcrossTheChunksIsParsedAlikeCharacterByCharacter) {
  struct Case {
    const char* language;
    const char* file;       // the name it is parsed under as a file
    const char* line;       // repeated up to the seam
    const char* straddler;  // starts a little before the seam
  };
  const Case cases[] = {
      {"php", "seam.php", "<?php $total = compute($a, 'text') + 1; /* note */ ?>\n",
       "<?php function aFunctionWhoseLongNameRunsAcrossTheSeamOfTheViewText_éü(): int { return 1; } ?>"},
      {"javascript", "seam.js", "var total = compute(a, 'text') + 1; // note\n",
       "/* a comment whose words run across the seam of the text: ∑ ★ aLongWordAcrossTheSeamOfTheChunks */"},
      {"css", "seam.css", ".panel > a:hover { color: red; } /* c */\n",
       "                                                      .aClassNameThatRunsAcrossTheSeam { margin: 0; }"},
      {"perl", "seam.pl", "my $total = compute($a, 'text') + 1; # note\n",
       "my $aVariableWhoseLongNameRunsAcrossTheSeamOfTheChunksOfText = \"a string across the seam\";"},
      // Keyword after keyword, long quiet stretches between the stops.
      {"css", "values.css", ".x{background:no-repeat;display:none;float:left;clear:both;font-weight:bold}\n",
       ".y{background-repeat:no-repeat;text-align:center;white-space:nowrap;border-style:solid}"},
      {"javascript", "values.js", "x = typeof y === 'string' ? null : this instanceof Array; z = true || false;\n",
       "a = typeof b === 'undefined' ? null : this; c = false && true; d = new Date instanceof Object;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    for (int before : {1, 8, 40, 63, 70}) {
      SCOPED_TRACE(before);
      std::string text;
      while (text.size() + std::strlen(c.line) < 32768 - size_t(before)) text += c.line;
      text.append(32768 - size_t(before) - text.size(), ' ');
      text += c.straddler;
      text += "\n";
      text += c.line;
      const std::u16string units = Units(text);
      const Outcome one = ParseView(units, c.language, true);
      const Outcome many = ParseView(units, c.language, false);
      EXPECT_FALSE(one.results.empty());
      EXPECT_EQ(many.results, one.results);
      const Outcome fileOne = ParseFile(c.file, text, true);
      const Outcome fileMany = ParseFile(c.file, text, false);
      EXPECT_FALSE(fileOne.results.empty());
      EXPECT_EQ(fileMany.results, fileOne.results);
      EXPECT_EQ(fileMany.looks, fileOne.looks);
      EXPECT_EQ(fileMany.symbols, fileOne.symbols);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ScanSkip, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           // The language, and the file for a language's later samples.
                           std::string name = info.param.language;
                           for (size_t i = 0; i < info.index; ++i)
                             if (name == kSamples[i].language)
                               return name + "_" + fs::path(info.param.name).stem().string();
                           return name;
                         });

}  // namespace
