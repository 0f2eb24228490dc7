// Reading the name a declaration pattern captures without the regular
// expression library's group search: whenever the reader answers, it answers
// what the library answers; where matching is ambiguous or the pattern is
// beyond it, it defers. And ranges found by the first unit of their open
// text, whatever that unit is.
#include <gtest/gtest.h>

#include <locale.h>
#include <regex.h>

#include <string>
#include <vector>

#include "GNURegex.h"
#include "fixtures/ScanFixture.h"
#include "TSyntaxParserProcessUnit+Internal.h"
#include "WASTE.h"

using namespace SyntaxScan;

namespace {

struct Group {
  bool matched = false;
  int start = -1, end = -1;  // 0-based [start, end); -1 when the group took no part
};

// What the library reports for the group.
Group LibraryGroup(RegExType& handle, const std::string& subject, int token) {
  Group g;
  if (!MatchRegEx(handle, subject, false, false)) return g;
  g.matched = true;
  SInt16 start = 0, length = 0;
  GetMatchRegEx(handle, token, start, length);
  if (length > 0 && start >= 1) {
    g.start = start - 1;
    g.end = start - 1 + length;
  }
  return g;
}

// The reader's answer: 1 when it answers (group set in g), 0 when it defers.
int ReaderGroup(RegExType& handle, const GroupProgram* program, const std::string& subject, Group& g) {
  regmatch_t whole[1];
  whole[0].rm_so = 0;
  whole[0].rm_eo = regoff_t(subject.size());
  const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  const locale_t previous = uselocale(c);
  const int status = regexec(handle.compiled, subject.c_str(), 1, whole, REG_STARTEND);
  uselocale(previous);
  freelocale(c);
  if (status != 0) return 1;  // no match: nothing to read
  g.matched = true;
  int start = -1, end = -1;
  if (RunGroupProgram(program, reinterpret_cast<const unsigned char*>(subject.data()), int(subject.size()),
                      int(whole[0].rm_so), int(whole[0].rm_eo), start, end) != 1)
    return 0;
  if (start >= 0 && end > start) {
    g.start = start;
    g.end = end;
  }
  return 1;
}

struct Case {
  const char* pattern;
  int token;
  std::vector<std::string> subjects;
  bool answered;  // the reader answers every subject that matches
};

TEST(DeclarationPattern, AnswersAsTheLibraryDoesOrDefers) {
  const std::vector<Case> cases = {
      {"^function[[:space:]]+&?[[:space:]]*([A-Za-z_][A-Za-z0-9_]*)", 1,
       {"function priceOf", "function   &  total_2", "function &x", "function", "functionx", " function a"}, true},
      {"^def[[:space:]]+(self\\.)?([A-Za-z_][A-Za-z0-9_]*[?!=]?)", 2,
       {"def self.build", "def total?", "def to_s", "def self", "def =x"}, true},
      {"['\"]([^'\"]*/)?([^/'\"]+)['\"]", 2,
       {"require 'lib/db.php';", "include \"a/b/c.inc\"", "x 'plain'", "'/'", "no quotes"}, true},
      {"^(var|let|const)[[:space:]]+([A-Za-z_$][A-Za-z0-9_$]*)[[:space:]]*=[[:space:]]*(async[[:space:]]*)?"
       "(function|\\([^)]*\\)[[:space:]]*=>|[A-Za-z_$][A-Za-z0-9_$]*[[:space:]]*=>)",
       2, {"const handler = async (e) => {", "let f = function", "var g = x =>", "let n = 1"}, true},
      {"^define[[:space:]]*\\([[:space:]]*['\"]([A-Za-z_][A-Za-z0-9_]*)['\"]", 1,
       {"define('MAX', 10)", "define ( \"A_B\" , 1)", "define(MAX)"}, true},
      {"^a(b)?$", 1, {"a", "ab", "abb"}, true},
      // Unanchored: the leftmost match wins, then the longest from there.
      {":([A-Za-z_][A-Za-z0-9_]*)", 1, {"x = :sym, :other", "a ::b", "no colon", ":", "::", "a:1:b2"}, true},
      {"[iI][dD][[:space:]]*=[[:space:]]*[\"']?([^\"'[:space:]>]+)", 1,
       {"<div id=\"main\" class=x>", "<p ID = 'x y'>", "<a id=>", "idid=1", "hidden = 3"}, true},
      {"(ab|a)(bc|c)?", 2, {"xabc", "abc", "zzz"}, false},
      {"^(a|ab)(c|bcd)$", 1, {"abcd", "abc", "ac"}, true},
      {"x(y*)$", 1, {"axyy", "xyx", "xyxyy", "xz"}, true},
      // The longest match, though a shorter way is tried first.
      {"^x(a|ab)", 1, {"xab", "xa", "xb"}, true},
      {"q(a|ab|abc)", 1, {"zqabcd", "qab", "zqa"}, true},
      {"^\\s*((static|async|get|set)\\s+)*[*#]?(\\w+)\\s*\\(", 3,
       {"  static async run(", "get value (", "#secret(", "*gen_2(x)", "if (x)", "static("}, true},
      // The group's end is not fixed by what follows: the reader defers.
      {"^class[[:space:]]+([A-Z][A-Za-z0-9_:]*)[^;]*$", 1, {"class Cart", "class Error < StandardError"}, false},
      {"^(a*)(a*)$", 1, {"aaa"}, false},
      // A loop whose body may take nothing comes round at the same place.
      {"^((ab)*|x)*(c+)$", 3, {"ababc", "c", "xabxcc", "abab"}, true},
      // Too many ways through: the reader gives up and defers.
      {"^[a-z]*[a-z]*[a-z]*[a-z]*[a-z]*[a-z]*[a-z]*[a-z]*(;)", 1, {std::string(200, 'q') + ";"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    RegExType handle{};
    NewRegEx(handle, c.pattern, true, false, false);
    ASSERT_EQ(handle.errortext, nullptr);
    GroupProgram* program = CompileGroupProgram(c.pattern, c.token);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(GroupProgramGroups(program), handle.groups);
    for (const std::string& subject : c.subjects) {
      SCOPED_TRACE(subject);
      const Group expected = LibraryGroup(handle, subject, c.token);
      Group read;
      const int answered = ReaderGroup(handle, program, subject, read);
      if (expected.matched) {
        EXPECT_EQ(answered, c.answered ? 1 : 0);
      }
      if (answered == 1) {
        EXPECT_EQ(read.matched, expected.matched);
        EXPECT_EQ(read.start, expected.start);
        EXPECT_EQ(read.end, expected.end);
      }
      // Without the library's extent: the reader finds the match itself,
      // and a subject that does not match at all is answered too.
      bool matched = false;
      int start = -1, end = -1;
      const int alone = FindGroupProgram(program, reinterpret_cast<const unsigned char*>(subject.data()),
                                         int(subject.size()), matched, start, end);
      if (!expected.matched || c.answered) {
        EXPECT_EQ(alone, 1);
      }
      if (alone == 1) {
        EXPECT_EQ(matched, expected.matched);
        if (matched && start >= 0 && end > start) {
          EXPECT_EQ(start, expected.start);
          EXPECT_EQ(end, expected.end);
        } else {
          EXPECT_EQ(expected.start, -1);
        }
      }
    }
    DisposeGroupProgram(program);
    DisposeRegEx(&handle);
  }
}

// The shipped languages' declaration patterns on lines near those they are
// for (a real line with a piece put in or a character taken out here and
// there): wherever the reader answers alone, it answers as the library does,
// match or no match.
TEST(DeclarationPattern, ShippedPatternsOnEditedLinesAnswerAsTheLibrary) {
  struct Shipped {
    const char* pattern;
    int token;
    std::vector<std::string> lines;
  };
  const std::vector<Shipped> patterns = {
      {"^function[[:space:]]+&?[[:space:]]*([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*\\($", 1,
       {"function priceOf(", "function &total_2 (", "function  x("}},
      {"^class[[:space:]]+((extends|implements)[[:space:]].*|([A-Za-z_][A-Za-z0-9_]*))", 3,
       {"class Cart extends Base", "class implements X", "class A_1 implements B, C"}},
      {"^const[[:space:]]+([^=[:space:]]+[[:space:]]+)?([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*=$", 2,
       {"const MAX =", "const int LIMIT=", "const ?Type name ="}},
      {"^define[[:space:]]*\\([[:space:]]*['\"]([A-Za-z_][A-Za-z0-9_]*)['\"]", 1,
       {"define('MAX', 10);", "define ( \"A_B\" , 1)"}},
      {"['\"]([^'\"]*/)?([^/'\"]+)['\"]", 2, {"require 'lib/db.php';", "include \"a/b/c.inc\";", "x('plain')"}},
      {"^(var|let|const)[[:space:]]+([A-Za-z_$][A-Za-z0-9_$]*)[[:space:]]*=[[:space:]]*(async[[:space:]]*)?"
       "(function|\\([^)]*\\)[[:space:]]*=>|[A-Za-z_$][A-Za-z0-9_$]*[[:space:]]*=>)",
       2, {"const handler = async (e) => {", "let f = function (a) {", "var g = x => x", "let $h=y=>1"}},
      {"^\\s*((static|async|get|set)\\s+)*[*#]?(\\w+)\\s*\\(", 3,
       {"  static async run(a) {", "get value () {", "#secret(x)", "*gen_2(x) {"}},
      {"^(use|require|do)[[:space:]]*\\(?[[:space:]]*(['\"]([^'\"]*/)?|([A-Za-z_][A-Za-z0-9_]*::)*)"
       "([A-Z][A-Za-z0-9_]*|[A-Za-z0-9_.-]+\\.p[lm])",
       5, {"use Data::Dumper;", "require 'lib/tool.pl';", "do(\"x/y.pm\")", "use strict;"}},
      {"^def[[:space:]]+([A-Za-z_][A-Za-z0-9_]*(\\.|::))?([A-Za-z_][A-Za-z0-9_]*[?!=]?|\\[\\]=?|<=>|===?|=~|![=~]?|<<|>>|"
       "<=|>=|[-+*/%<>~^&|]@?|\\*\\*)",
       3, {"def self.build(x)", "def total?", "def <=>(other)", "def Foo::[]=(k, v)", "def -@"}},
      {"^([A-Z][A-Za-z0-9_]*)[[:space:]]*=([^=~>]|$)", 1, {"MAX = 10", "Limit=", "A_1 == 2"}},
      {":([A-Za-z_][A-Za-z0-9_]*)", 1, {"attr_reader :name, :size", "x = a ? :b : :c", "y = a ? b : 1"}},
      {"[iI][dD][[:space:]]*=[[:space:]]*[\"']?([^\"'[:space:]>]+)", 1, {"<div id=\"main\" class=x>", "<p ID = 'a b'>"}},
      {"^import[[:space:]]*(url\\()?[[:space:]]*['\"]?([^'\"()]*/)?([^/'\"()[:space:];]+)", 3,
       {"import url(\"css/base.css\");", "import 'print.css' print;", "import theme"}},
  };
  const std::vector<std::string> pieces = {" ", "\t", "&", "(", ")", "'", "\"", "/", "=", "=>", ">", ":", "::", ".",
                                           "*", "#", "?", "!", ";", "a", "Zed", "_x1", "9", "$v", "async ", "-"};
  unsigned seed = 2024;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return size_t(seed >> 8);
  };
  for (const Shipped& shipped : patterns) {
    SCOPED_TRACE(shipped.pattern);
    RegExType handle{};
    NewRegEx(handle, shipped.pattern, true, false, false);
    ASSERT_EQ(handle.errortext, nullptr);
    GroupProgram* program = CompileGroupProgram(shipped.pattern, shipped.token);
    ASSERT_NE(program, nullptr);
    int matches = 0, misses = 0;
    for (int n = 0; n < 300; ++n) {
      std::string subject = shipped.lines[next() % shipped.lines.size()];
      for (size_t edits = next() % 3; edits > 0; --edits) {
        const size_t at = next() % (subject.size() + 1);
        if (next() % 2 == 0 && at < subject.size()) subject.erase(at, 1);
        else subject.insert(at, pieces[next() % pieces.size()]);
      }
      SCOPED_TRACE(subject);
      const Group expected = LibraryGroup(handle, subject, shipped.token);
      bool matched = false;
      int start = -1, end = -1;
      if (FindGroupProgram(program, reinterpret_cast<const unsigned char*>(subject.data()), int(subject.size()),
                           matched, start, end) != 1)
        continue;
      ++(matched ? matches : misses);
      EXPECT_EQ(matched, expected.matched);
      if (matched && start >= 0 && end > start) {
        EXPECT_EQ(start, expected.start);
        EXPECT_EQ(end, expected.end);
      } else {
        EXPECT_EQ(expected.start, -1);
      }
    }
    // Both answers came up often.
    EXPECT_GT(matches, 30);
    EXPECT_GT(misses, 5);
    DisposeGroupProgram(program);
    DisposeRegEx(&handle);
  }
}

TEST(DeclarationPattern, LeavesWhatItDoesNotReadToTheLibrary) {
  for (const char* pattern : {"a{2}(b)", "\\d+(x)", "[[.a.]](b)", "()", "^*(a)", "(a)|", "(a))", "[a-(b)",
                              "([a-z])+"}) {
    SCOPED_TRACE(pattern);
    GroupProgram* program = CompileGroupProgram(pattern, 1);
    EXPECT_EQ(program, nullptr);
    DisposeGroupProgram(program);
  }
  // A subject with a zero byte is never read; one with bytes beyond ASCII
  // is not searched without the library, whose reading of them may differ.
  GroupProgram* program = CompileGroupProgram("^a(.)", 1);
  ASSERT_NE(program, nullptr);
  const unsigned char subject[] = {'a', 0, 'b'};
  int start = 0, end = 0;
  bool matched = false;
  EXPECT_EQ(RunGroupProgram(program, subject, 3, 0, 2, start, end), 0);
  EXPECT_EQ(FindGroupProgram(program, subject, 3, matched, start, end), 0);
  const unsigned char accented[] = {'a', 0xE9, 'b'};
  EXPECT_EQ(FindGroupProgram(program, accented, 3, matched, start, end), 0);
  DisposeGroupProgram(program);
  // Nor is a pattern that may begin anywhere on a word searched alone.
  program = CompileGroupProgram("([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*=>", 1);
  ASSERT_NE(program, nullptr);
  const std::string pairs = "(alpha => 1, beta => 2)";
  EXPECT_EQ(FindGroupProgram(program, reinterpret_cast<const unsigned char*>(pairs.data()), int(pairs.size()), matched,
                             start, end),
            0);
  DisposeGroupProgram(program);
}

// Ranges are tried where the first unit of their open text stands: units of
// Mac Roman beyond ASCII, below and above 256, and a range opened by a meta
// text listed before them.
TEST(OpenTexts, RangesOpenOnTheirFirstUnitWhateverItIs) {
  scanfix::TempFolder folder;
  folder.Write("quotes.plist", R"PL(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
 <key>class: range</key><dict>
  <key>define: tab</key><dict>
   <key>open</key><string>\t</string><key>close</key><string>\r</string><key>style</key><string>comment</string>
  </dict>
  <key>define: curly</key><dict>
   <key>open</key><string>“</string><key>close</key><string>”</string><key>style</key><string>string</string>
  </dict>
  <key>define: guillemets</key><dict>
   <key>open</key><string>«</string><key>close</key><string>»</string><key>style</key><string>keyword</string>
  </dict>
 </dict>
</dict></plist>
)PL");
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  const std::string p = folder.path().string();
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(p.data()),
                                                         CFIndex(p.size()), true);
  collection->SetSpecificationFolder(url);
  CFRelease(url);
  collection->LoadLibrary(Str63("quotes"));
  SyntaxLibraryPtr library = collection->GetLanguageLibrary(Str63("quotes"));
  ASSERT_NE(library, nullptr);

  const std::u16string text = u"a \u201cq\u201d b \u00abk\u00bb c\td\re";
  RecordingSyntaxController controller(text);
  ASSERT_EQ(scanfix::ParseText(controller, library), 0);
  auto styledAs = [&](char16_t c, SInt16 slot) {
    const size_t at = text.find(c);
    const auto& a = controller.attributes[at];
    return a.styled && RecordingSyntaxController::Same(a.color, GetSyntaxStyleDefaultColor(slot));
  };
  EXPECT_TRUE(styledAs(u'q', 11));  // string
  EXPECT_TRUE(styledAs(u'k', 9));   // keyword
  EXPECT_TRUE(styledAs(u'd', 3));   // comment
  EXPECT_FALSE(controller.attributes[text.find(u'b')].styled);
  EXPECT_FALSE(controller.attributes[text.find(u'e')].styled);
}

}  // namespace

namespace {

// A file parsed from disk holds the text an editor shows of it, whatever its encoding.
TEST(FileText, AFileParsedFromDiskReadsAsAnEditorReadsIt) {
  const std::string files[] = {
      "caf\xC3\xA9\r\nend\n",         // UTF-8, CR LF and LF
      "caf\xE9\nend",                 // Latin-1
      "\xC3\xA9t\xE9\x80\n",          // UTF-8 with a stray byte
      std::string("\xFF\xFEh\0\n\0", 6),  // UTF-16 LE with its mark
  };
  for (const std::string& bytes : files) {
    SCOPED_TRACE(bytes);
    std::vector<UniChar> parsed;
    DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), parsed);
    std::vector<UniChar> shown;
    WETextFileFormat format;
    ASSERT_EQ(WEReadTextFile(bytes.data(), bytes.size(), kCFStringEncodingUTF8, &shown, &format), noErr);
    EXPECT_EQ(parsed, shown);
  }
}

}  // namespace
