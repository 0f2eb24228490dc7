#include "PascalStringUtilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFSet.h"
#include "CFString.h"
#include "MacMemory.h"

namespace {

using PascalStringUtilities::GetStringRange;

// The strings of an array; {"<nil>"} for nil.
std::vector<std::string> Strings(CFArrayRef array) {
  if (!array) return {"<nil>"};
  std::vector<std::string> out;
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    CFStringRef s = static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i));
    char buffer[512];
    EXPECT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingMacRoman));
    out.push_back(buffer);
  }
  return out;
}

// Takes the array and releases it.
std::vector<std::string> Take(CFArrayRef array) {
  std::vector<std::string> out = Strings(array);
  if (array) CFRelease(array);
  return out;
}

CFArrayRef MakeArray(std::initializer_list<const char*> items) {
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const char* item : items) {
    CFStringRef s = CFStringCreateWithCString(nullptr, item, kCFStringEncodingMacRoman);
    CFArrayAppendValue(array, s);
    CFRelease(s);
  }
  return array;
}

using V = std::vector<std::string>;

TEST(PascalStringUtilities, Components) {
  EXPECT_EQ(Take(ExplodeString("/a//b/", '/')), (V{"a", "b"}));
  EXPECT_EQ(Take(ExplodeString("abc", '/')), (V{"<nil>"}));
  EXPECT_EQ(Take(ExplodeString("abc/", '/')), (V{"<nil>"}));
  EXPECT_EQ(Take(ExplodeString("", '/')), (V{"<nil>"}));

  struct Count {
    const char* text;
    SInt16 count;
  };
  for (const Count& c : {Count{"abc", 0}, Count{"/a", 0}, Count{"a/b", 2}, Count{"//a//b//c//", 3}})
    EXPECT_EQ(CountStringComponents(c.text, '/'), c.count) << c.text;

  struct Index {
    SInt32 index;
    const char* expected;
  };
  for (const Index& c : {Index{1, "a"}, Index{3, "c"}, Index{0, ""}, Index{4, ""}, Index{-1, ""}})
    EXPECT_EQ(GetStringComponentAtIndex("a/b/c", '/', c.index).str(), c.expected) << c.index;
  EXPECT_EQ(GetStringComponentAtIndex("abc", '/', 1).str(), "");

  CFArrayRef abc = MakeArray({"a", "b", "c"});
  struct Implode {
    SInt32 first, last;
    const char* expected;
  };
  for (const Implode& c : {Implode{1, 3, "/a/b/c"}, Implode{2, 2, "/b"}, Implode{2, 9, "/b/c"}, Implode{0, 2, ""},
                           Implode{1, 0, ""}, Implode{3, 2, ""}})
    EXPECT_EQ(ImplodeString(abc, '/', c.first, c.last).str(), c.expected) << c.first << ".." << c.last;
  EXPECT_EQ(GetStringAtIndex(abc, 2).str(), "b");
  EXPECT_EQ(GetStringAtIndex(abc, 4).str(), "");
  EXPECT_EQ(GetStringAtIndex(nullptr, 1).str(), "");
  EXPECT_EQ(ImplodeString(nullptr, '/', 1, 1).str(), "");
  CFRelease(abc);

  struct Pack {
    const char* text;
    SInt32 first, last;
    const char* expected;
  };
  for (const Pack& c : {Pack{"a/b/c", 1, 2, "/a/b"}, Pack{"a/b/c", 2, 7, "/b/c"}, Pack{"a/b/c", -2, 1, "/a"},
                        Pack{"a/b/c", 4, 3, ""}, Pack{"abc", 1, 2, "abc"}}) {
    Str255 s(c.text);
    GetStringDelimiterPack(s, '/', c.first, c.last);
    EXPECT_EQ(s.str(), c.expected) << c.text << " " << c.first << ".." << c.last;
  }

  struct Trim {
    const char* text;
    SInt32 fromStart, fromEnd;
    const char* expected;
  };
  for (const Trim& c : {Trim{"a/b/c/d", 1, 1, "/b/c"}, Trim{"a/b/c/d", 0, 0, "/a/b/c/d"}, Trim{"/a", 1, 0, "/"},
                        Trim{"/a", 0, 0, "/a"}, Trim{"a", 1, 1, "a"}, Trim{"a/b", 2, 2, ""}})
    EXPECT_EQ(TrimStringComponents(c.text, c.fromStart, c.fromEnd, '/').str(), c.expected) << c.text;
}

TEST(PascalStringUtilities, SliceResultsArrayAndChunks) {
  CFArrayRef array = MakeArray({"a", "b", "c", "d"});
  SliceResultsArray(array, 2, 3);
  EXPECT_EQ(Strings(array), (V{"a", "d"}));
  SliceResultsArray(array, 0, 99);
  EXPECT_EQ(Strings(array), V{});
  CFRelease(array);

  EXPECT_EQ(Take(ChunkString("abcdefg", 3)), (V{"abc", "def", "g"}));
  EXPECT_EQ(Take(ChunkString("abc", 3)), (V{"<nil>"}));
  EXPECT_EQ(Take(ChunkString("abc", 0)), (V{"<nil>"}));
  EXPECT_EQ(Take(ChunkString("abc", -4)), (V{"<nil>"}));
}

TEST(PascalStringUtilities, PrefixSuffixSlice) {
  struct Case {
    const char* text;
    unsigned char separator;
    const char *prefix, *suffix, *slicePrefix, *sliceSuffix;
  };
  const Case cases[] = {
      {"abc/def", '/', "abc", "def", "/def", "abc"}, {"abc", '/', "", "", "abc", "abc"},
      {"a.b.c", '.', "a", "c", ".b.c", "a.b"},       {"/abc", '/', "", "abc", "/abc", ""},
      {"abc/", '/', "abc", "", "/", "abc/"},         {"", '/', "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetStringPrefix(c.text, c.separator).str(), c.prefix) << c.text;
    EXPECT_EQ(GetStringSuffix(c.text, c.separator).str(), c.suffix) << c.text;
    EXPECT_EQ(SliceStringPrefix(c.text, c.separator).str(), c.slicePrefix) << c.text;
    EXPECT_EQ(SliceStringSuffix(c.text, c.separator).str(), c.sliceSuffix) << c.text;
  }
}

TEST(PascalStringUtilities, RangesStayInsideTheString) {
  struct Case {
    SInt32 first, last;
    const char *range, *slice;
  };
  const Case cases[] = {
      {2, 4, "bcd", "aef"},  {1, 6, "abcdef", ""}, {0, 2, "ab", "cdef"}, {-9, 1, "a", "bcdef"},
      {5, 99, "ef", "abcd"}, {4, 3, "", "abcdef"}, {7, 9, "", "abcdef"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetStringRange("abcdef", c.first, c.last).str(), c.range) << c.first << ".." << c.last;
    EXPECT_EQ(SliceString("abcdef", c.first, c.last).str(), c.slice) << c.first << ".." << c.last;
  }
  EXPECT_EQ(GetRangeAtChar("a=b=c", '=', 3).str(), "c");
  EXPECT_EQ(GetRangeAtChar("a=b", '=', -3).str(), "b");
  EXPECT_EQ(FindStringCharacter("abc", 'x', 1), 0);

  // A memory block is never read past its end.
  Ptr block = NewPtr(4);
  std::memcpy(block, "wxyz", 4);
  EXPECT_EQ(GetExtendedStringRange(reinterpret_cast<PascalExtendedStringPtr>(block), 1, 2).str(), "xy");
  EXPECT_EQ(GetExtendedStringRange(reinterpret_cast<PascalExtendedStringPtr>(block), -1, 1000).str(), "wxyz");
  DisposePtr(block);
  std::string big(400, 'q');
  EXPECT_EQ(GetExtendedStringRange(reinterpret_cast<PascalExtendedStringPtr>(big.data()), 0, 399).len(), 255);
}

TEST(PascalStringUtilities, Trim) {
  struct Case {
    const char* text;
    unsigned char c;
    const char* expected;
  };
  for (const Case& c : {Case{"xxx", 'x', "xxx"}, Case{"xxaxx", 'x', "a"}, Case{"axbx", 'x', "axb"}, Case{"", 'x', ""}})
    EXPECT_EQ(TrimString(c.text, c.c).str(), c.expected) << c.text;

  Str255 s(" \t x \t\r\n");
  TrimWhiteSpace(s);
  EXPECT_EQ(s.str(), " x \t\r");  // one pass per character, in the order space, tab, CR, LF

  struct Bounds {
    const char* text;
    SInt32 n;
    const char* expected;
  };
  for (const Bounds& c : {Bounds{"abcdef", 2, "cd"}, Bounds{"abcdef", 0, "abcdef"}, Bounds{"abcdef", 3, ""},
                          Bounds{"abc", 9, ""}, Bounds{"abc", -1, "abc"}}) {
    Str255 t(c.text);
    TrimStringBounds(t, c.n);
    EXPECT_EQ(t.str(), c.expected) << c.text << " " << c.n;
  }
  EXPECT_EQ(CompactString(" a\tb\nc\rd ").str(), "abcd");
}

TEST(PascalStringUtilities, Words) {
  struct Case {
    const char* text;
    SInt32 position;
    const char *leading, *trailing;
  };
  const Case cases[] = {
      {"  foo bar", 0, "foo", ""}, {"x = foo;  ", 10, "", "foo"}, {"x = foo;  ", 5, "oo", "f"},
      {"abc", 1, "bc", "a"},       {"a_1 b", -3, "a_1", ""},      {"a_1 b", 99, "", "b"},
      {"!!", 1, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetLeadingWord(c.text, c.position).str(), c.leading) << c.text << " @" << c.position;
    EXPECT_EQ(GetTrailingWord(c.text, c.position).str(), c.trailing) << c.text << " @" << c.position;
  }
  EXPECT_EQ(StripWordSymbolCharacters("a-b_c!9").str(), "ab_c9");
  EXPECT_EQ(StripWordAlphaCharacters("a-b_c!9").str(), "-!");
}

TEST(PascalStringUtilities, TruncateAndAppendWithLimit) {
  struct Truncate {
    const char* text;
    SInt32 n, mode;
    const char* expected;
  };
  for (const Truncate& c :
       {Truncate{"abcdef", 2, 0, "ef"}, Truncate{"abcdef", 2, 1, "ab"}, Truncate{"abcdef", 2, 2, ""},
        Truncate{"ab", 5, 0, "ab"}, Truncate{"ab", 5, 1, "ab"}, Truncate{"ab", -1, 0, ""}})
    EXPECT_EQ(TruncateString(c.text, c.n, c.mode).str(), c.expected) << c.n << " mode " << c.mode;

  struct Append {
    const char* text;
    SInt32 limit;
    bool scroll;
    const char* expected;
  };
  for (const Append& c : {Append{"abc", 3, true, "bcd"}, Append{"abc", 3, false, "abc"}, Append{"ab", 3, true, "abd"},
                          Append{"abcde", 3, true, "ded"}, Append{"abc", 1, true, "d"}, Append{"abc", 0, true, "abc"},
                          Append{"abc", -7, false, "abc"}}) {
    Str255 s(c.text);
    AppendStringCharacterWithLimit(s, c.limit, c.scroll, 'd');
    EXPECT_EQ(s.str(), c.expected) << c.text << " limit " << c.limit;
  }
  Str255 full(std::string(255, 'a'));
  AppendStringCharacterWithLimit(full, 1000, true, 'z');
  EXPECT_EQ(full.len(), 255);
  EXPECT_EQ(full[255], 'z');
  EXPECT_EQ(full[1], 'a');
  PascalStringUtilities::AppendStringCharacter(full, 'y');
  EXPECT_EQ(full[255], 'z');
}

TEST(PascalStringUtilities, StringExpression) {
  EXPECT_EQ(Take(GetStringExpression("a*b*c", true, "a1b2c", 1, kIgnoreWhiteSpace)), (V{"1", "2"}));
  EXPECT_EQ(Take(GetStringExpression("a * b * c", true, "a 12 b 3 4c", 1, kIgnoreWhiteSpace)), (V{"12", "34"}));
  EXPECT_EQ(Take(GetStringExpression("class * extends *", false, "class Foo extends Bar", 1, ParseOptions())),
            (V{"Foo", "Bar"}));
  // Word mode, with names of one character and more.
  struct WordCase {
    const char* pattern;
    const char* text;
    V expected;
  };
  for (const WordCase& c : {WordCase{"*", "f", V{"f"}}, WordCase{"*(", "f(", V{"f"}},
                            WordCase{"function *(", "function f(", V{"f"}},
                            WordCase{"function *(", "function foo(", V{"foo"}},
                            WordCase{"class * extends *", "class A extends B", V{"A", "B"}},
                            WordCase{"*(", "(", V{"<nil>"}}}) {
    EXPECT_EQ(Take(GetStringExpression(c.pattern, false, c.text, 1, ParseOptions())), c.expected)
        << c.pattern << " on " << c.text;
  }
  EXPECT_EQ(Take(GetStringExpression("a*b", true, "xyz", 1, ParseOptions())), (V{"<nil>"}));
  EXPECT_EQ(Take(GetStringExpression("a*b", true, "", 1, ParseOptions())), (V{"<nil>"}));
}

TEST(PascalStringUtilities, NestedDelimiters) {
  EXPECT_EQ(Take(GetStringNestedDelimiter("a(b(c)d)e", 1, '(', ')')), (V{"b(c)d", "c"}));
  EXPECT_EQ(Take(GetStringNestedDelimiter("(a)(b)", 1, '(', ')')), (V{"a", "b"}));
  EXPECT_EQ(Take(GetStringNestedDelimiter("a)(b))c(", 1, '(', ')')), (V{"b"}));
  EXPECT_EQ(Take(GetStringNestedDelimiter("(a)(b)", 3, '(', ')')), (V{"b"}));
  EXPECT_EQ(Take(GetStringNestedDelimiter("abc", 1, '(', ')')), (V{"<nil>"}));

  // 40 levels: the outer 32 pairs are reported, the 8 inner ones ignored.
  const std::string deep = std::string(40, '(') + "x" + std::string(40, ')');
  const V pairs = Take(GetStringNestedDelimiter(Str255(deep), 1, '(', ')'));
  ASSERT_EQ(pairs.size(), 32u);
  EXPECT_EQ(pairs[0], deep.substr(1, deep.size() - 2));
  EXPECT_EQ(pairs[31], std::string(8, '(') + "x" + std::string(8, ')'));

  EXPECT_EQ(GetStringDelimiterRange("a(b)c)", 1, '(', ')').location, 2);
  EXPECT_EQ(GetStringDelimiterRange("a(b)c)", 1, '(', ')').length, 6);
  EXPECT_EQ(GetStringDelimiterRange("a(b)c)", 3, '(', ')').location, 0);
}

TEST(PascalStringUtilities, FindStringWord) {
  struct Case {
    const char *text, *word;
    ParseOptions options;
    CFIndex location, end;
  };
  const Case cases[] = {
      {"abc", "abc", ParseOptions(), 1, 4},        {"xabcx", "abc", ParseOptions(), 2, 5},
      {"xxa", "a", ParseOptions(), 3, 4},          {"xabc", "abc", ParseOptions(), 2, 5},  // at the end of the text
      {"aaab", "aab", ParseOptions(), 2, 5},        // overlapping a failed attempt
      {"xab", "abc", ParseOptions(), 0, 0},         // cut off by the end
      {"xab", "abc", kReturnPartialResults, 2, 4},  // ... returned as a partial result
      {"xyz", "abc", ParseOptions(), 0, 0},        {"abc", "", ParseOptions(), 0, 0},
  };
  for (const Case& c : cases) {
    CFRange r = FindStringWord(c.text, c.word, nullptr, c.options);
    EXPECT_EQ(r.location, c.location) << c.word << " in " << c.text;
    EXPECT_EQ(r.length, c.end) << c.word << " in " << c.text;
  }

  // With a set: characters outside it are skipped, or end the search when strict.
  const void* members[3];
  const char* letters[3] = {"a", "b", "c"};
  for (int i = 0; i < 3; ++i) members[i] = CFStringCreateWithCString(nullptr, letters[i], kCFStringEncodingMacRoman);
  CFSetRef set = CFSetCreate(nullptr, members, 3, &kCFTypeSetCallBacks);
  for (int i = 0; i < 3; ++i) CFRelease(members[i]);

  struct SetCase {
    const char* text;
    ParseOptions options;
    CFIndex location, end;
  };
  const SetCase setCases[] = {
      {"x-abc", ParseOptions(), 3, 6},
      {"a-bc", ParseOptions(), 0, 0},  // extent 4 for a word of 3
      {"a-bc", kReturnPartialResults, 1, 5},
      {"x-abc", kStrictCharacterSet, 0, 0},  // the x ends the search
      {"ab-c", kStrictCharacterSet | kReturnPartialResults, 1, 3},
  };
  for (const SetCase& c : setCases) {
    CFRange r = FindStringWord(c.text, "abc", set, c.options);
    EXPECT_EQ(r.location, c.location) << c.text;
    EXPECT_EQ(r.length, c.end) << c.text;
  }
  EXPECT_EQ(StripWordWithCharacterSet("abxcab", set).str(), "abcab");
  EXPECT_EQ(StripWordWithCharacterSet("abc", nullptr).str(), "");
  CFRelease(set);
}

TEST(PascalStringUtilities, CaseAndComparison) {
  // Mac Roman: 0x87 a acute / 0xE7 A acute, 0x8A a diaeresis / 0x80 A diaeresis, 0xBF o slash / 0xAF O slash.
  EXPECT_EQ(UppercaseString("a\x87\x8A\xBFz").str(), "A\xE7\x80\xAFZ");
  EXPECT_EQ(LowercaseString("A\xE7\x80\xAFZ").str(), "a\x87\x8A\xBFz");

  struct Order {
    const char *a, *b;
    bool before;
  };
  for (const Order& c : {Order{"apple", "Banana", true}, Order{"Banana", "apple", false}, Order{"abc", "ABC", false},
                         Order{"ab", "abc", false}, Order{"\x80x", "\x8A y", false}})
    EXPECT_EQ(CompareStringAlphaOrder(c.a, c.b), c.before) << c.a << " < " << c.b;

  EXPECT_EQ(CalculateStringValue("AB"), 131);
  EXPECT_TRUE(StringIsNumber("-1.5"));
  EXPECT_TRUE(StringIsNumber(""));
  EXPECT_FALSE(StringIsNumber("1e5"));
  EXPECT_TRUE(StringIsWrapped("(a)", '(', ')'));
  EXPECT_FALSE(StringIsWrapped("", '(', ')'));
  EXPECT_TRUE(StringStartsWith("abc", ""));
  EXPECT_FALSE(StringStartsWith("ab", "abc"));
  EXPECT_TRUE(IsValidRange(CFRangeMake(2, 5)));
  EXPECT_FALSE(IsValidRange(CFRangeMake(-1, 5)));
  EXPECT_FALSE(IsValidRange(CFRangeMake(5, 5)));
}

TEST(PascalStringUtilities, FindReplaceAndEdits) {
  EXPECT_EQ(StringFind("Hello World", "world", kCFCompareCaseInsensitive).location, 6);
  EXPECT_EQ(StringFind("Hello World", "world", 0).location, kCFNotFound);
  EXPECT_EQ(StringReplace("a.b.c", ".", "::", 0).str(), "a::b::c");
  EXPECT_EQ(StringReplace("caf\x8E", "\x8E", "e", 0).str(), "cafe");
  EXPECT_EQ(StringReplace("abc", "x", "y", 0).str(), "abc");

  EXPECT_EQ(ReplaceStringCharacter("a b c", ' ', "%20").str(), "a%20b%20c");
  EXPECT_EQ(ReplaceStringCharacter(Str255(std::string(200, ' ')), ' ', "xy").len(), 255);

  Str255 joined;
  JoinStrings(joined, "a", "/");
  JoinStrings(joined, "b", ", ");
  EXPECT_EQ(joined.str(), "/a, b");
  EXPECT_EQ(WriteToString("abcdef", "XY", 4).str(), "XYcdef");
  EXPECT_EQ(WriteToString("ab", "WXYZ", 0).str(), "WX");
  EXPECT_EQ(ReverseString("abc").str(), "cba");
}

}  // namespace
