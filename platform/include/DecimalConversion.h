// Decimal records and the conversions between text, decimal records and
// binary floating point. Independent of the C locale.
#pragma once

#include "MacTypes.h"

enum { SIGDIGLEN = 36, DECSTROUTLEN = 80 };

// value = (-1)^sgn * sig * 10^exp, sig being a string of decimal digits
// ("0" for zero); a sig starting with 'I' is infinity, with 'N' a NaN.
struct decimal {
  char sgn;  // 0 positive, 1 negative
  char unused;
  short exp;
  struct {
    unsigned char length;
    unsigned char text[SIGDIGLEN];
    unsigned char unused;
  } sig;
};

// Reads the longest decimal number that starts at s[*ix] (after blanks and
// tabs): [+|-] digits [. digits] [(e|E) [+|-] digits], or a number starting at
// the point. "inf", "nan" and hex forms are not numbers. *ix is advanced past
// the number (unchanged when there is none, and d is then zero); *vp is true
// when the number ran to the end of s. Any pointer may be nil.
void str2dec(const char* s, short* ix, decimal* d, short* vp);

// Correctly rounded binary values of a decimal record; a malformed record
// gives a NaN, a nil one 0.
float dec2f(const decimal* d);
double dec2d(const decimal* d);
