#include "GNURegex.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

TEST(GNURegex, PositionFromStart) {
  struct Case {
    const char* pattern;
    const char* text;
    SInt32 from;
    SInt16 expected;
  };
  const Case cases[] = {
      {"b+", "abba", 1, 2},
      {"b+", "abba", 3, 3},
      {"b+", "abba", 4, 0},
      // A start other than 1 is not the beginning of a line.
      {"^b", "abba", 2, 0},
      {"^a", "abba", 1, 1},
      // Starts outside the text: nothing before position 1, an empty subject past the end.
      {"a", "abba", 0, 0},
      {"a", "abba", -5, 0},
      {"a", "abba", 9, 0},
      {"(", "abba", 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegExPosFrom(c.pattern, true, false, c.text, c.from), c.expected)
        << c.pattern << " in " << c.text << " from " << c.from;
  }
  EXPECT_EQ(RegExPosFrom("B+", true, true, "abba", 1), 2);
}

TEST(GNURegex, GroupsAndPositions) {
  RegexSubExpressions groups;
  ASSERT_TRUE(RegEx("([a-z]+)([0-9]+)", "abc123", groups));
  EXPECT_EQ(groups[0].str(), "abc123");
  EXPECT_EQ(groups[1].str(), "abc");
  EXPECT_EQ(groups[2].str(), "123");
  EXPECT_TRUE(groups[3].empty());

  RegexSubExpressionsExtended info;
  ASSERT_TRUE(RegExExtended("([a-z]+)([0-9]+)", "abc123", info));
  EXPECT_EQ(info[0].text.str(), "abc123");
  EXPECT_EQ(info[0].start, 0);
  EXPECT_EQ(info[1].text.str(), "abc");
  EXPECT_EQ(info[1].start, 1);
  EXPECT_EQ(info[1].end, 3);
  EXPECT_EQ(info[2].text.str(), "123");
  EXPECT_EQ(info[2].start, 4);
  EXPECT_EQ(info[2].end, 6);

  // Positions from a later start count in the whole subject.
  ASSERT_TRUE(RegExWithOptions("([0-9]+)", "12ab34", true, false, false, 3, info));
  EXPECT_EQ(info[1].text.str(), "34");
  EXPECT_EQ(info[1].start, 5);
  EXPECT_EQ(info[1].end, 6);
}

TEST(GNURegex, EmptyAndAbsentGroupsLeaveEntriesEmpty) {
  RegexSubExpressionsExtended info;
  // Group 1 matches the empty string, group 2 takes no part, group 3 matches.
  ASSERT_TRUE(RegExExtended("a(x*)b(y)?(c)", "abc", info));
  EXPECT_TRUE(info[1].text.empty());
  EXPECT_EQ(info[1].start, 0);
  EXPECT_TRUE(info[2].text.empty());
  EXPECT_EQ(info[2].start, 0);
  EXPECT_EQ(info[3].text.str(), "c");
  EXPECT_EQ(info[3].start, 3);

  // Entries left from an earlier call are cleared.
  RegexSubExpressions groups;
  groups[5] = "stale";
  EXPECT_FALSE(RegEx("z", "abc", groups));
  EXPECT_EQ(groups[0].str(), "abc");
  EXPECT_TRUE(groups[5].empty());
}

TEST(GNURegex, UnbalancedParenthesis) {
  EXPECT_FALSE(RegExMatch("(ab", "ab"));
  RegexSubExpressions groups;
  EXPECT_FALSE(RegEx("(ab", "ab", groups));
  EXPECT_EQ(RegExReplace("(ab", "ab", "x").len(), 0);

  RegExType handle;
  NewRegEx(handle, "(ab", true, false, false);
  ASSERT_NE(handle.errortext, nullptr);
  EXPECT_EQ(handle.errortext, handle.error);
  EXPECT_NE(std::string(handle.errortext).find("("), std::string::npos) << handle.errortext;
  EXPECT_EQ(handle.compiled, nullptr);
  EXPECT_FALSE(MatchRegEx(handle, "ab", false, false));
  DisposeRegEx(&handle);
  EXPECT_EQ(handle.error, nullptr);
  EXPECT_EQ(handle.errortext, nullptr);
  EXPECT_EQ(handle.groups, -1);
}

// The library copies what a repetition repeats and recurses into groups: a
// pattern whose copies or nesting would make its compile explode is refused
// with a message before the library sees it; ordinary repetitions compile.
TEST(GNURegex, PatternsTooBigToCompileAreRefusedWithAMessage) {
  struct Case {
    std::string pattern;
    bool extended;
  };
  const Case refused[] = {
      {"(((a{0,30}){0,30}){0,30})", true},  // nested optional copies
      {"((a?){0,128}){0,128}", true},       // deep enough to overflow the stack
      {"(a*){16000}", true},                // copies of a part that matches empty
      {"a{0,2000}", true},
      {std::string(300, '(') + "a" + std::string(300, ')'), true},
      {"a\\{0,2000\\}", false},
      {"a\\{,2000\\}", false},  // an empty minimum is 0
      {"((a{,30}){,30}){,30}", true},
      // With an assertion, nested unbounded loops that may match empty
      {"^x*{3,}{3,}{3,}", true},
      {"\\<((((x|)+)+)+)+", true},
  };
  for (const Case& c : refused) {
    RegExType handle;
    NewRegEx(handle, c.pattern.c_str(), c.extended, false, false);
    ASSERT_NE(handle.errortext, nullptr) << c.pattern;
    EXPECT_STREQ(handle.errortext, kRegExTooBigMessage) << c.pattern;
    EXPECT_EQ(handle.compiled, nullptr);
    EXPECT_FALSE(MatchRegEx(handle, "aaaa", false, false));
    DisposeRegEx(&handle);
    EXPECT_EQ(RegExPosFrom(c.pattern, c.extended, false, "aaaa", 1), 0) << c.pattern;
  }

  struct Accepted {
    std::string pattern;
    bool extended;
    const char* subject;
    SInt16 at;
  };
  const Accepted accepted[] = {
      {"[0-9]{1,1000}", true, "ab12", 3},
      {"x{3}y{2,5}", true, "axxxyy", 2},
      {"([a-z]+ ){2,200}", true, "1 ab cd ", 3},
      {"a{2}b{1,3}c+d?", true, "xaabbc", 2},
      {"[]+]++", true, "a]+", 2},
      {std::string(200, '(') + "b" + std::string(200, ')'), true, "ab", 2},
      {"a\\{2,100\\}b*", false, "caab", 2},
      {"\\(\\(a*\\)*b\\)*c", false, "xabc", 2},
      {"^(a*)+$", true, "aa", 1},
      {"\\b([a-z]*[0-9]*)+\\b", true, " ab1", 2},
      {"^x*+++$", true, "xx", 1},
  };
  for (const Accepted& c : accepted)
    EXPECT_EQ(RegExPosFrom(c.pattern, c.extended, false, c.subject, 1), c.at) << c.pattern;
}

// A run of repetition signs on one item means what its one sign means, and
// is compiled as that sign: runs that the library would build level by
// level (each "+" doubling, the empty paths multiplying) compile at once and
// match exactly what the single sign matches.
TEST(GNURegex, RunsOfRepetitionSignsMatchAsTheirOneSign) {
  struct Case {
    std::string run, single;
    bool extended;
  };
  std::string plusses = "a";
  for (int i = 0; i < 20; ++i) plusses += "\\+";
  const Case cases[] = {
      {"a" + std::string(20, '+'), "a+", true},
      {plusses, "a\\+", false},
      {"x+?", "x*", true},
      {"x?+", "x*", true},
      {"x??", "x?", true},
      {"x*+?", "x*", true},
      {"a\\?\\+", "a*", false},
      {"a\\?\\?", "a\\?", false},
      {"$x*+++++", "$x*", true},
      {"^x*\\+\\+\\+\\+\\+", "^x*", false},
      {"\\<(x|)+++++", "\\<(x|)+", true},
      {"\\bx??????+++", "\\bx*", true},
      {"Pa'\\b\\?????????????+++Sd+++++++", "Pa'\\b\\?*Sd+", true},
      {"\\by???????????x????????????++", "\\by?x*", true},
      {"\\ba????b???????????c??????d????++b", "\\ba?b?c?d*b", true},
      {"x????????????++????????++", "x*", true},
      {"\\(\\b\\()\xfc" "Sdi+++++$\x8a*+++++!+", "\\(\\b\\()\xfc" "Sdi+$\x8a*!+", true},
      {"(ab)++c", "(ab)+c", true},
      {"x{2}??", "x{2}?", true},   // a bound ends a run
      {"[+?]??", "[+?]?", true},   // signs in brackets are characters
      {"\\+??", "\\+?", true},  // an escaped sign is a character
      {"^**", "^\\**", false},    // after an anchor the first sign is a character
      {"\\(*a\\)", "\\(\\*a\\)", false},
  };
  const char* subjects[] = {"", "a", "aaa", "x", "xxxx", "  xx y", "Pa' ?Sdd", " abcdb", "ababc", "xxx", "+?", "***a",
                            "*a", "yxx", " ab"};
  for (const Case& c : cases) {
    RegExType run, single;
    NewRegEx(run, c.run.c_str(), c.extended, false, false);
    NewRegEx(single, c.single.c_str(), c.extended, false, false);
    ASSERT_EQ(run.errortext, nullptr) << c.run << ": " << run.errortext;
    ASSERT_EQ(single.errortext, nullptr) << c.single;
    for (const char* subject : subjects) {
      const Boolean a = MatchRegEx(run, subject, false, false);
      const Boolean b = MatchRegEx(single, subject, false, false);
      ASSERT_EQ(a, b) << c.run << " on \"" << subject << "\"";
      if (!a) continue;
      for (SInt16 group = 0; group <= single.groups; ++group) {
        SInt16 s1 = 0, l1 = 0, s2 = 0, l2 = 0;
        GetMatchRegEx(run, group, s1, l1);
        GetMatchRegEx(single, group, s2, l2);
        EXPECT_EQ(s1, s2) << c.run << " on \"" << subject << "\" group " << group;
        EXPECT_EQ(l1, l2) << c.run << " on \"" << subject << "\" group " << group;
      }
    }
    DisposeRegEx(&run);
    DisposeRegEx(&single);
  }
}

TEST(GNURegex, ThirteenGroupsFillElevenEntries) {
  std::string pattern, text;
  for (int i = 0; i < 13; ++i) {
    pattern += "(.)";
    text += char('a' + i);
  }
  RegexSubExpressionsExtended info[2];
  info[1][0].text = "guard";
  ASSERT_TRUE(RegExExtended(pattern, text, info[0]));
  EXPECT_EQ(info[0][11].text.str(), "k");
  EXPECT_EQ(info[0][11].start, 11);
  EXPECT_EQ(info[1][0].text.str(), "guard");

  RegExType handle;
  NewRegEx(handle, pattern.c_str(), true, false, false);
  EXPECT_EQ(handle.groups, 13);
  ASSERT_TRUE(MatchRegEx(handle, text, false, false));
  SInt16 start = 0, length = 0;
  GetMatchRegEx(handle, 13, start, length);
  EXPECT_EQ(start, 13);
  EXPECT_EQ(length, 1);
  GetMatchRegEx(handle, 14, start, length);
  EXPECT_EQ(start, 0);
  DisposeRegEx(&handle);
}

TEST(GNURegex, HandleMatchesRepeatedly) {
  RegExType handle;
  NewRegEx(handle, "b+", true, false, false);
  ASSERT_EQ(handle.errortext, nullptr);
  EXPECT_EQ(handle.groups, 0);
  SInt16 start, length;
  ASSERT_TRUE(MatchRegExFrom(handle, "abba", false, false, 1));
  GetMatchRegEx(handle, 0, start, length);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 2);
  // A failed attempt reports no match, not the bounds of the search.
  EXPECT_FALSE(MatchRegExFrom(handle, "abba", false, false, 4));
  GetMatchRegEx(handle, 0, start, length);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(length, 0);
  DisposeRegEx(&handle);
  DisposeRegEx(&handle);  // a second disposal frees nothing twice
}

TEST(GNURegex, SubjectWithNulByte) {
  const std::string text("a\0b", 3);
  EXPECT_EQ(RegExPosFrom("b", true, false, text, 1), 3);
  EXPECT_FALSE(RegExMatch("^a$", text));
  RegexSubExpressionsExtended info;
  ASSERT_TRUE(RegExExtended("(b)$", text, info));
  EXPECT_EQ(info[1].start, 3);
}

TEST(GNURegex, MacRomanBytesUnderUtf8Locale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  // 0x8E (e acute) and 0x9A (o diaeresis) are invalid UTF-8 on their own.
  const std::string text = "caf\x8E na\x9Ave";
  RegexSubExpressionsExtended info;
  ASSERT_TRUE(RegExExtended("f(.) n(a.)v", text, info));
  EXPECT_EQ(info[1].text.str(), "\x8E");
  EXPECT_EQ(info[1].start, 4);
  EXPECT_EQ(info[2].text.str(), "a\x9A");
  EXPECT_EQ(info[2].start, 7);
  EXPECT_EQ(info[2].end, 8);
  EXPECT_EQ(RegExPosFrom("[\x80-\xFF]", true, false, text, 1), 4);
  // Case folding covers ASCII only: E acute (0x83) does not fold to 0x8E.
  EXPECT_EQ(RegExPosFrom("\x83", true, true, text, 1), 0);
  EXPECT_EQ(RegExPosFrom("CAF", true, true, text, 1), 1);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(GNURegex, PositionsAbove32767DoNotWrap) {
  std::string text(40000, 'x');
  text += "yz";
  RegexSubExpressionsExtended info;
  ASSERT_TRUE(RegExExtended("(y)", text, info));
  EXPECT_EQ(info[1].start, 40001);
  EXPECT_TRUE(info[1].text.empty());  // beyond the subject cut to 255
  EXPECT_EQ(RegExPosFrom("y", true, false, text, 1), 32767);

  RegExType handle;
  NewRegEx(handle, "y", true, false, false);
  ASSERT_TRUE(MatchRegEx(handle, text, false, false));
  SInt16 start, length;
  GetMatchRegEx(handle, 0, start, length);
  EXPECT_EQ(start, 32767);
  EXPECT_EQ(length, 1);
  DisposeRegEx(&handle);
}

TEST(GNURegex, Replace) {
  struct Case {
    const char* pattern;
    const char* text;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {"a(b+)c", "xabbcy", "Z", "xaZcy"}, {"(^[a-z]+)", "hello world", "bye", "bye world"},
      {"a(x*)b", "ab", "--", "a--b"},  // an empty group 1 receives the replacement
      {"(q)?a", "ab", "Z", "ab"},      // group 1 took no part: unchanged
      {"z(.)", "abc", "Z", ""},        // no match
  };
  for (const Case& c : cases) EXPECT_EQ(RegExReplace(c.pattern, c.text, c.replacement).str(), c.expected) << c.pattern;
}

TEST(GNURegex, DisplayResultsPrintsCaptures) {
  RegExSetDisplayResults(true);
  testing::internal::CaptureStdout();
  RegexSubExpressions groups;
  EXPECT_TRUE(RegEx("([a-z]+)([0-9]+)", "abc123", groups));
  const std::string out = testing::internal::GetCapturedStdout();
  RegExSetDisplayResults(false);
  EXPECT_EQ(out, "got match\ngot capture: abc (1,3)\ngot capture: 123 (4,6)\n");
}

TEST(GNURegex, StringHelpersStayInBounds) {
  Str255 s("abcdef");
  EXPECT_EQ(GNURegex::GetStringRange(s, 2, 4).str(), "bcd");
  EXPECT_EQ(GNURegex::GetStringRange(s, -3, 2).str(), "ab");
  EXPECT_EQ(GNURegex::GetStringRange(s, 5, 300).str(), "ef");
  EXPECT_TRUE(GNURegex::GetStringRange(s, 4, 3).empty());
  Str255 full(std::string(255, 'x'));
  GNURegex::AppendStringCharacter(full, 'y');
  EXPECT_EQ(full.len(), 255);
  EXPECT_EQ(full[255], 'x');
}

}  // namespace
