#include <gtest/gtest.h>

#include "ShortString.h"

TEST(ShortString, CutsAtCapacity) {
  std::string long_text(300, 'x');
  Str255 s(long_text);
  EXPECT_EQ(s.len(), 255);
  Str63 t(s);
  EXPECT_EQ(t.len(), 63);
  Str4 code("abcdef");
  EXPECT_EQ(code.str(), "abcd");
}

TEST(ShortString, AppendAndConcatenate) {
  Str255 s("ab");
  s += 'c';
  EXPECT_EQ(s.str(), "abc");
  EXPECT_TRUE((s + "def") == "abcdef");
  Str255 full(std::string(255, 'y'));
  full += 'z';
  EXPECT_EQ(full.len(), 255);
  EXPECT_EQ(full[255], 'y');
}
