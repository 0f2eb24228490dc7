// Length-prefixed byte strings of at most N characters (Mac Roman), the
// working string type of the foundation's interfaces. Byte 0 holds the length;
// characters sit at positions 1..length. Every operation cuts at N.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "MacTypes.h"

template <int N>
struct ShortString {
  static_assert(N > 0 && N <= 255, "short strings hold at most 255 characters");
  static constexpr int kCapacity = N;

  unsigned char s[N + 1] = {0};

  ShortString() = default;
  // Source literals are ASCII: their bytes are taken as they stand.
  ShortString(const char* text) { Assign(text, text ? std::strlen(text) : 0); }
  ShortString(std::string_view text) { Assign(text.data(), text.size()); }
  template <int M>
  ShortString(const ShortString<M>& other) {
    Assign(reinterpret_cast<const char*>(other.s + 1), other.len());
  }
  // From a length-prefixed buffer of any capacity (a system short string).
  static ShortString FromPascal(ConstStringPtr p) {
    ShortString r;
    if (p) r.Assign(reinterpret_cast<const char*>(p + 1), p[0]);
    return r;
  }
  static ShortString FromBytes(const void* bytes, size_t count) {
    ShortString r;
    r.Assign(static_cast<const char*>(bytes), count);
    return r;
  }

  void Assign(const char* bytes, size_t count) {
    size_t n = count > size_t(N) ? size_t(N) : count;
    if (n) std::memmove(s + 1, bytes, n);
    s[0] = static_cast<unsigned char>(n);
  }

  int len() const { return s[0]; }
  bool empty() const { return s[0] == 0; }
  void SetLength(int n) { s[0] = static_cast<unsigned char>(n < 0 ? 0 : (n > N ? N : n)); }
  void Clear() { s[0] = 0; }

  // 1-based character access; [0] is the length byte, as in the stored form.
  unsigned char& operator[](int i) { return s[i]; }
  unsigned char operator[](int i) const { return s[i]; }

  StringPtr data() { return s; }
  ConstStringPtr data() const { return s; }
  operator StringPtr() { return s; }
  operator ConstStringPtr() const { return s; }

  std::string str() const { return std::string(reinterpret_cast<const char*>(s + 1), s[0]); }
  std::string_view view() const { return std::string_view(reinterpret_cast<const char*>(s + 1), s[0]); }

  // Appends, cutting at N.
  ShortString& operator+=(unsigned char c) {
    if (s[0] < N) s[++s[0]] = c;
    return *this;
  }
  template <int M>
  ShortString& operator+=(const ShortString<M>& o) {
    for (int i = 1; i <= o.len() && s[0] < N; ++i) s[++s[0]] = o.s[i];
    return *this;
  }
  ShortString& operator+=(const char* t) { return *this += ShortString<255>(t); }

  template <int M>
  bool operator==(const ShortString<M>& o) const {
    return len() == o.len() && std::memcmp(s + 1, o.s + 1, len()) == 0;
  }
  bool operator==(const char* t) const { return *this == ShortString<255>(t); }
};

using Str255 = ShortString<255>;
using Str63 = ShortString<63>;
using Str31 = ShortString<31>;
using Str15 = ShortString<15>;
using Str4 = ShortString<4>;

// Concatenation as the language's short strings do it: cut at 255.
template <int A, int B>
Str255 operator+(const ShortString<A>& a, const ShortString<B>& b) {
  Str255 r(a);
  r += b;
  return r;
}
template <int A>
Str255 operator+(const ShortString<A>& a, const char* b) {
  return a + Str255(b);
}
template <int B>
Str255 operator+(const char* a, const ShortString<B>& b) {
  return Str255(a) + b;
}
