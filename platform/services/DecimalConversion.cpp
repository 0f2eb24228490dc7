// Decimal text <-> decimal record <-> binary floating point. The C locale
// plays no part: the point is always '.', and only plain decimal forms are
// numbers.
#include "DecimalConversion.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SetZero(decimal* d, bool negative) {
  std::memset(d, 0, sizeof *d);
  d->sgn = negative ? 1 : 0;
  d->sig.length = 1;
  d->sig.text[0] = '0';
}

// Exponent digits beyond this add nothing: the value is already 0 or
// infinite in every binary format.
constexpr long kExponentCap = 1000000;

template <typename T>
T DecimalToBinary(const decimal* d) {
  if (d == nullptr) return T(0);
  const bool negative = d->sgn != 0;
  const T sign = negative ? T(-1) : T(1);
  const int len = d->sig.length;
  if (len >= 1 && d->sig.text[0] == 'I') return sign * std::numeric_limits<T>::infinity();
  if (len < 1 || len > SIGDIGLEN || d->sig.text[0] == 'N') return std::numeric_limits<T>::quiet_NaN();

  // "<digits>e<exp>" is at most 36 + 1 + 6 characters.
  char buf[SIGDIGLEN + 16];
  bool allZero = true;
  for (int i = 0; i < len; ++i) {
    char c = char(d->sig.text[i]);
    if (!IsDigit(c)) return std::numeric_limits<T>::quiet_NaN();
    if (c != '0') allZero = false;
    buf[i] = c;
  }
  if (allZero) return sign * T(0);
  char* end = buf + len;
  *end++ = 'e';
  auto [p, ec] = std::to_chars(end, buf + sizeof buf, int(d->exp));
  (void)ec;  // the buffer always has room for a short
  T value{};
  auto res = std::from_chars(buf, p, value);
  if (res.ec == std::errc::result_out_of_range) {
    // Beyond the format: infinite when the magnitude is large, 0 when tiny.
    return long(d->exp) + len > 0 ? sign * std::numeric_limits<T>::infinity() : sign * T(0);
  }
  if (res.ec != std::errc()) return std::numeric_limits<T>::quiet_NaN();
  return negative ? -value : value;
}

}  // namespace

void str2dec(const char* s, short* ix, decimal* d, short* vp) {
  decimal result;
  SetZero(&result, false);
  short valid = 0;
  long start = ix ? *ix : 0;

  // Make sure the start lies within the text before reading there.
  bool inText = s != nullptr && start >= 0;
  for (long k = 0; inText && k < start; ++k) {
    if (s[k] == '\0') inText = false;
  }

  if (inText) {
    // Indexes are shorts: the scan never goes past the largest one.
    auto at = [s](long i) -> char { return i < SHRT_MAX ? s[i] : '\0'; };
    long p = start;
    while (at(p) == ' ' || at(p) == '\t') ++p;
    bool negative = false;
    if (at(p) == '+' || at(p) == '-') {
      negative = at(p) == '-';
      ++p;
    }
    // Mantissa: the significant digits go to the record, the rest shift the
    // exponent.
    unsigned char digits[SIGDIGLEN];
    int count = 0;
    long exponent = 0;
    long mantissaDigits = 0;
    bool nonZeroSeen = false;
    auto take = [&](char c, bool fraction) {
      ++mantissaDigits;
      if (c != '0') nonZeroSeen = true;
      if (!nonZeroSeen) {  // a leading zero
        if (fraction) --exponent;
        return;
      }
      if (count < SIGDIGLEN) {
        digits[count++] = static_cast<unsigned char>(c);
        if (fraction) --exponent;
      } else if (!fraction) {
        ++exponent;  // an integer digit that does not fit
      }
    };
    while (IsDigit(at(p))) take(at(p++), false);
    if (at(p) == '.') {
      long q = p + 1;
      while (IsDigit(at(q))) take(at(q++), true);
      // A lone point ends the number before it unless digits came first.
      if (q > p + 1 || mantissaDigits > 0) p = q;
    }
    if (mantissaDigits > 0) {
      // Exponent: taken only when at least one digit follows the sign.
      if (at(p) == 'e' || at(p) == 'E') {
        long q = p + 1;
        bool expNegative = false;
        if (at(q) == '+' || at(q) == '-') {
          expNegative = at(q) == '-';
          ++q;
        }
        if (IsDigit(at(q))) {
          long e = 0;
          while (IsDigit(at(q))) {
            if (e < kExponentCap) e = e * 10 + (at(q) - '0');
            ++q;
          }
          exponent += expNegative ? -e : e;
          p = q;
        }
      }
      if (count == 0) {
        SetZero(&result, negative);
      } else {
        // Trailing zeros move into the exponent.
        while (count > 1 && digits[count - 1] == '0') {
          --count;
          ++exponent;
        }
        if (exponent > SHRT_MAX) exponent = SHRT_MAX;
        if (exponent < -SHRT_MAX) exponent = -SHRT_MAX;
        result.sgn = negative ? 1 : 0;
        result.exp = short(exponent);
        result.sig.length = static_cast<unsigned char>(count);
        std::memcpy(result.sig.text, digits, size_t(count));
      }
      if (ix) *ix = short(p);
      valid = p < SHRT_MAX && s[p] == '\0' ? 1 : 0;
    }
  }
  if (d) *d = result;
  if (vp) *vp = valid;
}

float dec2f(const decimal* d) { return DecimalToBinary<float>(d); }

double dec2d(const decimal* d) { return DecimalToBinary<double>(d); }
