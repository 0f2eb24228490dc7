// The encodings of other scripts, through the C library's converters (iconv).
// Strings hold UTF-16 code units; the converters are asked for UTF-16LE and
// opened per conversion, so that conversions on several threads never share
// a converter's shift state.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "CFStringInternal.h"

namespace {

bool IsHighSurrogate(UniChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(UniChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One open converter, closed at the end of the scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != iconv_t(-1); }

  // Converts what it can of *in, appending to out; 0 when everything was
  // converted, else the converter's errno (EILSEQ: a character it cannot
  // convert is next; EINVAL: the input ends inside a character).
  int Run(char** in, size_t* inLeft, std::string& out) {
    for (;;) {
      char chunk[4096];
      char* p = chunk;
      size_t room = sizeof chunk;
      const size_t r = iconv(cd_, in, inLeft, &p, &room);
      const int error = r == size_t(-1) ? errno : 0;
      out.append(chunk, size_t(p - chunk));
      if (error != E2BIG) return error;
    }
  }

  // Returns to the initial shift state, appending the bytes that takes, and
  // gives out a character a decoder still holds.
  void Finish(std::string& out) {
    char chunk[64];
    char* p = chunk;
    size_t room = sizeof chunk;
    iconv(cd_, nullptr, nullptr, &p, &room);
    out.append(chunk, size_t(p - chunk));
  }

 private:
  iconv_t cd_;
};

std::vector<char> LittleEndian(const UniChar* units, size_t count) {
  std::vector<char> bytes(count * 2);
  for (size_t i = 0; i < count; ++i) {
    bytes[2 * i] = char(units[i] & 0xFF);
    bytes[2 * i + 1] = char(units[i] >> 8);
  }
  return bytes;
}

// Converts the units up to the first one that has no bytes (lossByte 0) or
// all of them, ending in the initial shift state; answers the units taken.
size_t ConvertPrefix(const char* name, const UniChar* units, size_t count, UInt8 lossByte, std::string& out) {
  out.clear();
  Converter cd(name, "UTF-16LE");
  if (!cd.ok()) return 0;
  std::vector<char> in = LittleEndian(units, count);
  char* next = in.data();
  size_t left = in.size();
  while (left > 0 && cd.Run(&next, &left, out) != 0) {
    if (lossByte == 0) break;
    // The loss byte stands for the character; an ASCII one goes through the
    // converter, so that a shifting encoding first returns to ASCII.
    const size_t at = size_t(next - in.data()) / 2;
    const size_t take = IsHighSurrogate(units[at]) && at + 1 < count && IsLowSurrogate(units[at + 1]) ? 2 : 1;
    char loss[2] = {char(lossByte), 0};
    char* lossNext = loss;
    size_t lossLeft = sizeof loss;
    if (lossByte >= 0x80 || cd.Run(&lossNext, &lossLeft, out) != 0) out.push_back(char(lossByte));
    next += 2 * take;
    left -= 2 * take;
  }
  cd.Finish(out);
  return size_t(next - in.data()) / 2;
}

}  // namespace

bool __CFIconvIsAvailable(const char* iconvName) {
  Converter to(iconvName, "UTF-16LE"), from("UTF-16LE", iconvName);
  return to.ok() && from.ok();
}

bool __CFIconvDecode(const char* iconvName, const UInt8* bytes, size_t count, __CFUniChars& out) {
  Converter cd("UTF-16LE", iconvName);
  if (!cd.ok()) return false;
  std::string wide;
  char* next = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  size_t left = count;
  if (count > 0 && cd.Run(&next, &left, wide) != 0) return false;
  cd.Finish(wide);
  out.reserve(out.size() + wide.size() / 2);
  for (size_t i = 0; i + 1 < wide.size(); i += 2)
    out.push_back(UniChar(UInt8(wide[i]) | (UInt8(wide[i + 1]) << 8)));
  return true;
}

size_t __CFIconvEncode(const char* iconvName, const UniChar* units, size_t count, UInt8 lossByte, UInt8* buffer,
                       size_t maxBytes, size_t* usedBytes) {
  *usedBytes = 0;
  std::string out;
  size_t done = ConvertPrefix(iconvName, units, count, lossByte, out);
  if (buffer != nullptr && out.size() > maxBytes) {
    // The longest prefix whose bytes (with the return to the initial shift
    // state) fit: output only grows with the prefix, so halving finds it.
    size_t low = 0, high = done;
    while (low < high) {
      const size_t mid = low + (high - low + 1) / 2;
      ConvertPrefix(iconvName, units, mid, lossByte, out);
      if (out.size() <= maxBytes)
        low = mid;
      else
        high = mid - 1;
    }
    if (low > 0 && low < count && IsHighSurrogate(units[low - 1]) && IsLowSurrogate(units[low])) --low;
    done = ConvertPrefix(iconvName, units, low, lossByte, out);
  }
  if (buffer != nullptr) std::copy(out.begin(), out.end(), reinterpret_cast<char*>(buffer));
  *usedBytes = out.size();
  return done;
}
