#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "CFByteOrder.h"
#include "DecimalConversion.h"
#include "Gestalt.h"
#include "QuickDraw.h"
#include "TextUtils.h"

namespace {

// A short string from a C string (test texts are short).
struct P {
  unsigned char s[256];
  explicit P(const char* t) {
    size_t n = std::strlen(t);
    s[0] = static_cast<unsigned char>(n);
    std::memcpy(s + 1, t, n);
  }
};

std::string FromPascal(const unsigned char* s) { return std::string(reinterpret_cast<const char*>(s + 1), s[0]); }

TEST(Gestalt, AnswersAsTenFive) {
  struct {
    OSType selector;
    SInt32 answer;
  } known[] = {{'sys1', 10}, {'sys2', 5}, {'sys3', 8}, {'sysv', 0x1058}};
  for (auto& k : known) {
    SInt32 r = -1;
    EXPECT_EQ(Gestalt(k.selector, &r), noErr);
    EXPECT_EQ(r, k.answer);
  }
  SInt32 r = 1234;
  EXPECT_EQ(Gestalt('zzzz', &r), gestaltUndefSelectorErr);
  EXPECT_EQ(r, 1234);
  EXPECT_EQ(Gestalt('sys2', nullptr), paramErr);
}

TEST(TextUtils, StringToNum) {
  struct {
    const char* text;
    long value;
  } cases[] = {
      {"", 0},
      {"0", 0},
      {"42", 42},
      {"-17", -17},
      {"+8", 8},
      {"-", 0},
      {"12abc", 12},  // stops at the first non-digit
      {"1 2", 1},
      {" 5", 0},
      {"x9", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483648L},
      {"2147483648", 2147483647},  // clamped to 32 bits
      {"-99999999999999999999999", -2147483648L},
      {"000000000000000000000000000000000000000007", 7},
  };
  for (auto& c : cases) {
    long v = -1;
    StringToNum(P(c.text).s, &v);
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
  }
  long v = -1;
  StringToNum(nullptr, &v);
  EXPECT_EQ(v, 0);
  StringToNum(P("1").s, nullptr);  // no crash
}

TEST(TextUtils, NumToStringRoundTrips) {
  struct {
    long value;
    const char* text;
  } cases[] = {{0, "0"}, {7, "7"}, {-7, "-7"}, {1234567890, "1234567890"},
               {2147483647, "2147483647"}, {-2147483648L, "-2147483648"},
               {LONG_MIN, LONG_MIN == INT32_MIN ? "-2147483648" : "-9223372036854775808"}};
  for (auto& c : cases) {
    unsigned char buf[256];
    std::memset(buf, 0xEE, sizeof buf);
    NumToString(c.value, buf);
    EXPECT_EQ(FromPascal(buf), c.text);
    EXPECT_EQ(buf[buf[0] + 1], 0xEE) << "wrote past the text";
    if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
      long back = 0;
      StringToNum(buf, &back);
      EXPECT_EQ(back, c.value);
    }
  }
}

// Case mapping over all 256 Mac Roman bytes.
TEST(TextUtils, RomanCaseMapping) {
  unsigned char lower[256], upper[256];
  for (int i = 0; i < 256; ++i) lower[i] = upper[i] = static_cast<unsigned char>(i);
  LowercaseText(reinterpret_cast<Ptr>(lower), 256, smRoman);
  UppercaseText(reinterpret_cast<Ptr>(upper), 256, smRoman);

  int pairs = 0;
  for (int b = 0; b < 256; ++b) {
    unsigned char l = lower[b], u = upper[b];
    // Mapping is idempotent and each case maps back to the other.
    EXPECT_EQ(lower[l], l) << b;
    EXPECT_EQ(upper[u], u) << b;
    EXPECT_EQ(lower[upper[b]], lower[b]) << b;
    EXPECT_EQ(upper[lower[b]], upper[b]) << b;
    if (l != b) {
      ++pairs;
      EXPECT_EQ(upper[l], b) << b;
    }
    if (b < 128 && !std::isalpha(b)) {
      EXPECT_TRUE(l == b && u == b) << b;
    }
  }
  EXPECT_EQ(pairs, 26 + 29);  // ASCII and the accented Mac Roman pairs

  struct {
    unsigned char upper, lower;
  } known[] = {{'A', 'a'}, {'Z', 'z'}, {0x80, 0x8A} /* A diaeresis */, {0x83, 0x8E} /* E acute */,
               {0xAE, 0xBE} /* AE */, {0xCE, 0xCF} /* OE */, {0xD9, 0xD8} /* Y diaeresis */,
               {0xF4, 0x9D} /* U grave */};
  for (auto& k : known) {
    EXPECT_EQ(lower[k.upper], k.lower);
    EXPECT_EQ(upper[k.lower], k.upper);
  }
  // Letters without a Mac Roman partner stay: sharp s, dotless i, mu, pi.
  for (unsigned char b : {0xA7, 0xF5, 0xB5, 0xB9}) EXPECT_TRUE(lower[b] == b && upper[b] == b) << int(b);

  char text[] = "MiXed \x80";
  UppercaseText(text, 3, smRoman);  // only the first len bytes
  EXPECT_STREQ(text, "MIXed \x80");
  LowercaseText(text, 7, 1);  // another script: unchanged
  EXPECT_STREQ(text, "MIXed \x80");
  LowercaseText(text, 7, smSystemScript);
  EXPECT_STREQ(text, "mixed \x8A");
  LowercaseText(text, -1, smRoman);
  LowercaseText(nullptr, 5, smRoman);
}

struct DecCase {
  const char* text;
  short start;
  double value;
  short end;    // index after the call
  short valid;  // whole rest was a number
};

TEST(DecimalConversion, Str2decTable) {
  DecCase cases[] = {
      {"", 0, 0.0, 0, 0},
      {"3.5kg", 0, 3.5, 3, 0},
      {"-1e3", 0, -1000.0, 4, 1},
      {"1e", 0, 1.0, 1, 0},
      {"1e+", 0, 1.0, 1, 0},
      {"2E-2", 0, 0.02, 4, 1},
      {".5", 0, 0.5, 2, 1},
      {"5.", 0, 5.0, 2, 1},
      {"-.25x", 0, -0.25, 4, 0},
      {".", 0, 0.0, 0, 0},
      {"-", 0, 0.0, 0, 0},
      {"inf", 0, 0.0, 0, 0},
      {"nan", 0, 0.0, 0, 0},
      {"infinity", 0, 0.0, 0, 0},
      {"0x10", 0, 0.0, 1, 0},
      {"  42", 0, 42.0, 4, 1},
      {"1,5", 0, 1.0, 1, 0},  // the point is always '.'
      {"ab12.5", 2, 12.5, 6, 1},
      {"0.000", 0, 0.0, 5, 1},
      {"0012300", 0, 12300.0, 7, 1},
      {"1e400", 0, HUGE_VAL, 5, 1},
      {"-1e400", 0, -HUGE_VAL, 6, 1},
      {"1e-400", 0, 0.0, 6, 1},
      {"1e99999999999999999999", 0, HUGE_VAL, 22, 1},
      {"123456789012345678901234567890123456789012345", 0, 1.2345678901234568e44, 45, 1},
      {"abc", 10, 0.0, 10, 0},  // start past the end of the text
      {"5", -3, 0.0, -3, 0},
  };
  for (const DecCase& c : cases) {
    decimal d;
    short ix = c.start, vp = -1;
    str2dec(c.text, &ix, &d, &vp);
    EXPECT_EQ(ix, c.end) << '"' << c.text << '"';
    EXPECT_EQ(vp, c.valid) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(dec2d(&d), c.value) << '"' << c.text << '"';
    EXPECT_FLOAT_EQ(dec2f(&d), float(c.value)) << '"' << c.text << '"';
  }
}

TEST(DecimalConversion, RecordsAndRounding) {
  decimal d;
  short ix = 0, vp = 0;
  str2dec("0.1", &ix, &d, &vp);
  EXPECT_EQ(d.sgn, 0);
  EXPECT_EQ(d.exp, -1);
  ASSERT_EQ(d.sig.length, 1);
  EXPECT_EQ(d.sig.text[0], '1');
  EXPECT_EQ(dec2d(&d), 0.1);  // exact rounding, not merely close
  EXPECT_EQ(dec2f(&d), 0.1f);

  ix = 0;
  str2dec("-0", &ix, &d, &vp);
  EXPECT_TRUE(std::signbit(dec2d(&d)));
  EXPECT_EQ(dec2d(&d), 0.0);

  ix = 0;
  str2dec("3.4028236e38", &ix, &d, &vp);  // past the float range
  EXPECT_TRUE(std::isinf(dec2f(&d)));
  EXPECT_FALSE(std::isinf(dec2d(&d)));

  // Hostile records.
  decimal bad = d;
  bad.sig.length = 200;
  EXPECT_TRUE(std::isnan(dec2d(&bad)));
  bad.sig.length = 0;
  EXPECT_TRUE(std::isnan(dec2f(&bad)));
  bad.sig.length = 2;
  bad.sig.text[0] = '1';
  bad.sig.text[1] = 'x';
  EXPECT_TRUE(std::isnan(dec2d(&bad)));
  bad.sig.text[0] = 'I';
  bad.sgn = 1;
  EXPECT_EQ(dec2d(&bad), -HUGE_VAL);
  EXPECT_EQ(dec2d(nullptr), 0.0);

  // Nil arguments are tolerated.
  str2dec(nullptr, &ix, &d, &vp);
  EXPECT_EQ(vp, 0);
  str2dec("12", nullptr, nullptr, nullptr);

  // A text longer than any short index stops at the largest index.
  std::string longText(40000, '1');
  ix = 0;
  str2dec(longText.c_str(), &ix, &d, &vp);
  EXPECT_EQ(ix, SHRT_MAX);
  EXPECT_EQ(vp, 0);
  EXPECT_TRUE(std::isinf(dec2d(&d)));
}

TEST(QuickDrawRandom, MinimalStandardSequence) {
  SetQDGlobalsRandomSeed(1);
  EXPECT_EQ(GetQDGlobalsRandomSeed(), 1);
  const SInt16 first[] = {16807, 15089, -21287, 3114, -18558, -9528};
  for (SInt16 expected : first) EXPECT_EQ(Random(), expected);
  EXPECT_EQ(GetQDGlobalsRandomSeed(), 470211272);

  // The generator's well-known check value: seed 1043618065 after 10000 steps.
  SetQDGlobalsRandomSeed(1);
  for (int i = 0; i < 10000; ++i) {
    SInt16 v = Random();
    ASSERT_GE(v, -32767);
    ASSERT_LE(v, 32767);
  }
  EXPECT_EQ(GetQDGlobalsRandomSeed(), 1043618065);

  // Degenerate seeds do not stick at 0.
  for (SInt32 seed : {0, 2147483647, INT32_MIN, -1}) {
    SetQDGlobalsRandomSeed(seed);
    Random();
    SInt32 next = GetQDGlobalsRandomSeed();
    EXPECT_GT(next, 0) << seed;
    EXPECT_LT(next, 2147483647) << seed;
  }
}

Rect R(SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) { return Rect{top, left, bottom, right}; }
bool Eq(const Rect& a, const Rect& b) { return EqualRect(&a, &b); }

TEST(QuickDrawGeometry, RectangleHelpers) {
  Rect r;
  SetRect(&r, 10, 20, 30, 40);  // left, top, right, bottom
  EXPECT_TRUE(Eq(r, R(20, 10, 40, 30)));

  Rect a = R(0, 0, 10, 10), b = R(5, 5, 20, 20), c = R(10, 10, 20, 20), out;
  EXPECT_TRUE(SectRect(&a, &b, &out));
  EXPECT_TRUE(Eq(out, R(5, 5, 10, 10)));
  out = R(1, 2, 3, 4);
  EXPECT_FALSE(SectRect(&a, &c, &out));  // touching edges do not overlap
  EXPECT_TRUE(Eq(out, R(0, 0, 0, 0)));
  UnionRect(&a, &c, &out);
  EXPECT_TRUE(Eq(out, R(0, 0, 20, 20)));
  Rect self = a;
  EXPECT_TRUE(SectRect(&self, &b, &self));  // destination is a source
  EXPECT_TRUE(Eq(self, R(5, 5, 10, 10)));

  struct {
    SInt16 h, v;
    bool in;
  } points[] = {{0, 0, true}, {9, 9, true}, {10, 5, false}, {5, 10, false}, {-1, 5, false}};
  for (auto& p : points) EXPECT_EQ(bool(PtInRect(Point{p.v, p.h}, &a)), p.in) << p.h << "," << p.v;

  Rect in = a;
  InsetRect(&in, 2, 3);
  EXPECT_TRUE(Eq(in, R(3, 2, 7, 8)));
  InsetRect(&in, -2, -3);
  EXPECT_TRUE(Eq(in, a));
  InsetRect(&in, 5, 1);  // no width left
  EXPECT_TRUE(Eq(in, R(0, 0, 0, 0)));
  EXPECT_TRUE(EmptyRect(&in));
  EXPECT_FALSE(EmptyRect(&a));

  OffsetRect(&a, 3, -4);
  EXPECT_TRUE(Eq(a, R(-4, 3, 6, 13)));

  Point p{1, 2};
  AddPt(Point{10, 20}, &p);
  EXPECT_TRUE(EqualPt(p, Point{11, 22}));
  SubPt(Point{1, 2}, &p);
  EXPECT_TRUE(EqualPt(p, Point{10, 20}));
}

TEST(ByteOrder, Swaps) {
  EXPECT_EQ(CFSwapInt16(0x1234), 0x3412);
  EXPECT_EQ(CFSwapInt32(0x12345678u), 0x78563412u);
  EXPECT_EQ(CFSwapInt64(0x0102030405060708ull), 0x0807060504030201ull);

  const unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  UInt16 v16;
  UInt32 v32;
  UInt64 v64;
  std::memcpy(&v16, bytes, 2);
  std::memcpy(&v32, bytes, 4);
  std::memcpy(&v64, bytes, 8);
  EXPECT_EQ(CFSwapInt16BigToHost(v16), 0x0102);
  EXPECT_EQ(CFSwapInt32BigToHost(v32), 0x01020304u);
  EXPECT_EQ(CFSwapInt64BigToHost(v64), 0x0102030405060708ull);
  EXPECT_EQ(CFSwapInt16LittleToHost(v16), 0x0201);
  EXPECT_EQ(CFSwapInt32LittleToHost(v32), 0x04030201u);
  EXPECT_EQ(CFSwapInt64LittleToHost(v64), 0x0807060504030201ull);
  EXPECT_EQ(EndianU16_BtoN(v16), 0x0102);
  EXPECT_EQ(EndianS32_BtoN(SInt32(v32)), 0x01020304);

  UInt32 stored = CFSwapInt32HostToBig(0xA1B2C3D4u);
  unsigned char out[4];
  std::memcpy(out, &stored, 4);
  EXPECT_EQ(out[0], 0xA1);
  EXPECT_EQ(out[3], 0xD4);
  EXPECT_EQ(CFSwapInt64HostToLittle(CFSwapInt64LittleToHost(v64)), v64);
  EXPECT_EQ(CFSwapInt16HostToBig(CFSwapInt16BigToHost(v16)), v16);

  UInt16 probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  EXPECT_EQ(CFByteOrderGetCurrent(), first == 1 ? CFByteOrderLittleEndian : CFByteOrderBigEndian);
}

}  // namespace
