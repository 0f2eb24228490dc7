// Formatted strings: printf conversions plus %@ for a CF object's description.
//
// The format is parsed first, so that positional arguments (%2$@) can be
// fetched from the va_list in their order; then every conversion is written.
// Numbers go through snprintf under the C locale, so a process locale that
// wants a decimal comma does not change what the program writes.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>

#include "CFStringInternal.h"

namespace {

enum class ArgKind { None, Int, Long, LongLong, IntMax, Size, PtrDiff, Double, LongDouble, Pointer };

struct Arg {
  ArgKind kind = ArgKind::None;
  union {
    long long i;
    intmax_t im;
    size_t z;
    ptrdiff_t t;
    double d;
    long double ld;
    const void* p;
  };
  Arg() : i(0) {}
};

struct Spec {
  bool literal = false;
  size_t litStart = 0, litLen = 0;  // literal text of the format
  std::string flags;
  int width = -1, widthArg = -1;     // widthArg: index of a '*' argument
  int precision = -1, precisionArg = -1;
  std::string length;  // "", "hh", "h", "l", "ll", "q", "j", "z", "t", "L"
  char conv = 0;
  int arg = -1;
};

// Width and precision beyond this are cut: they only come from a caller's
// mistake and must not make us allocate gigabytes.
constexpr int kMaxField = 1 << 20;

ArgKind KindFor(char conv, const std::string& len) {
  switch (conv) {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
      if (len == "l") return ArgKind::Long;
      if (len == "ll" || len == "q") return ArgKind::LongLong;
      if (len == "j") return ArgKind::IntMax;
      if (len == "z") return ArgKind::Size;
      if (len == "t") return ArgKind::PtrDiff;
      return ArgKind::Int;
    case 'c': case 'C':
      return ArgKind::Int;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
      return len == "L" ? ArgKind::LongDouble : ArgKind::Double;
    case 's': case 'S': case '@': case 'p': case 'n':
      return ArgKind::Pointer;
    default:
      return ArgKind::None;
  }
}

bool ParseNumber(const __CFUniChars& f, size_t& i, int& out) {
  if (i >= f.size() || f[i] < '0' || f[i] > '9') return false;
  long v = 0;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    v = v * 10 + (f[i] - '0');
    if (v > kMaxField) v = kMaxField;
    ++i;
  }
  out = int(v);
  return true;
}

// "n$" after a number: a positional index (1-based). Leaves i alone otherwise.
bool ParsePosition(const __CFUniChars& f, size_t& i, int& index) {
  size_t j = i;
  int n;
  if (!ParseNumber(f, j, n) || j >= f.size() || f[j] != '$' || n < 1) return false;
  index = n - 1;
  i = j + 1;
  return true;
}

bool Parse(const __CFUniChars& f, std::vector<Spec>& specs, std::vector<ArgKind>& kinds) {
  int next = 0;
  auto useArg = [&](int index, ArgKind kind) {
    if (index >= int(kinds.size())) kinds.resize(size_t(index) + 1, ArgKind::None);
    kinds[size_t(index)] = kind;
  };
  size_t i = 0;
  while (i < f.size()) {
    if (f[i] != '%') {
      size_t start = i;
      while (i < f.size() && f[i] != '%') ++i;
      Spec lit;
      lit.literal = true, lit.litStart = start, lit.litLen = i - start;
      specs.push_back(lit);
      continue;
    }
    ++i;
    if (i >= f.size()) return false;
    if (f[i] == '%') {
      Spec lit;
      lit.literal = true, lit.litStart = i, lit.litLen = 1;
      specs.push_back(lit);
      ++i;
      continue;
    }
    Spec spec;
    int position;
    bool positional = ParsePosition(f, i, position);
    while (i < f.size() && f[i] < 0x80 && f[i] != 0 && std::strchr("-+ #0'", char(f[i]))) spec.flags.push_back(char(f[i++]));
    if (i < f.size() && f[i] == '*') {
      ++i;
      int idx;
      if (!ParsePosition(f, i, idx)) idx = next++;
      spec.widthArg = idx;
      useArg(idx, ArgKind::Int);
    } else {
      ParseNumber(f, i, spec.width);
    }
    if (i < f.size() && f[i] == '.') {
      ++i;
      if (i < f.size() && f[i] == '*') {
        ++i;
        int idx;
        if (!ParsePosition(f, i, idx)) idx = next++;
        spec.precisionArg = idx;
        useArg(idx, ArgKind::Int);
      } else if (!ParseNumber(f, i, spec.precision)) {
        spec.precision = 0;
      }
    }
    while (i < f.size() && f[i] < 0x80 && f[i] != 0 && std::strchr("hlqjztL", char(f[i])) && spec.length.size() < 2)
      spec.length.push_back(char(f[i++]));
    if (i >= f.size() || f[i] >= 0x80) return false;
    char conv = char(f[i++]);
    // The old capital forms are the long ones.
    if (conv == 'D' || conv == 'U' || conv == 'O') {
      conv = char(conv - 'A' + 'a');
      spec.length = "l";
    }
    static const char* const kLengths[] = {"", "hh", "h", "l", "ll", "q", "j", "z", "t", "L"};
    bool knownLength = false;
    for (const char* l : kLengths) knownLength |= (spec.length == l);
    ArgKind kind = KindFor(conv, spec.length);
    if (!knownLength || kind == ArgKind::None) return false;
    spec.conv = conv;
    spec.arg = positional ? position : next++;
    useArg(spec.arg, kind);
    specs.push_back(spec);
  }
  return true;
}

bool Fetch(const std::vector<ArgKind>& kinds, va_list ap, std::vector<Arg>& args) {
  args.resize(kinds.size());
  for (size_t k = 0; k < kinds.size(); ++k) {
    Arg& a = args[k];
    a.kind = kinds[k];
    switch (a.kind) {
      case ArgKind::None: return false;  // a gap in the positions: its type is unknown
      case ArgKind::Int: a.i = va_arg(ap, int); break;
      case ArgKind::Long: a.i = va_arg(ap, long); break;
      case ArgKind::LongLong: a.i = va_arg(ap, long long); break;
      case ArgKind::IntMax: a.im = va_arg(ap, intmax_t); break;
      case ArgKind::Size: a.z = va_arg(ap, size_t); break;
      case ArgKind::PtrDiff: a.t = va_arg(ap, ptrdiff_t); break;
      case ArgKind::Double: a.d = va_arg(ap, double); break;
      case ArgKind::LongDouble: a.ld = va_arg(ap, long double); break;
      case ArgKind::Pointer: a.p = va_arg(ap, const void*); break;
    }
  }
  return true;
}

template <typename T>
std::string Print(const std::string& fmt, T value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, fmt.c_str(), value);
  if (n < 0) return std::string();
  if (size_t(n) < sizeof small) return std::string(small, size_t(n));
  std::string big(size_t(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), fmt.c_str(), value);
  big.resize(size_t(n));
  return big;
}

void AppendAscii(__CFUniChars& out, const std::string& s) {
  for (unsigned char c : s) out.push_back(c);
}

// Bytes of a C string: UTF-8 when valid, Mac Roman otherwise.
void AppendCStringBytes(__CFUniChars& out, const char* s, size_t n) {
  size_t before = out.size();
  if (!__CFDecodeUTF8(reinterpret_cast<const UInt8*>(s), n, out)) {
    out.resize(before);
    for (size_t i = 0; i < n; ++i) out.push_back(__CFMacRomanToUnicode(UInt8(s[i])));
  }
}

void AppendDescription(__CFUniChars& out, CFTypeRef cf) {
  if (cf == nullptr) {
    AppendAscii(out, "(null)");
    return;
  }
  if (__CFString* s = __CFStringCast(cf)) {
    out.insert(out.end(), s->chars.begin(), s->chars.end());
    return;
  }
  std::string text = CFObj(cf)->Describe();
  AppendCStringBytes(out, text.data(), text.size());
}

// Text conversions: precision cuts, width pads with spaces.
void AppendField(__CFUniChars& out, __CFUniChars&& text, const Spec& spec, int width, int precision) {
  if (precision >= 0 && text.size() > size_t(precision)) text.resize(size_t(precision));
  const bool left = spec.flags.find('-') != std::string::npos;
  size_t pad = (width > 0 && size_t(width) > text.size()) ? size_t(width) - text.size() : 0;
  if (!left) out.insert(out.end(), pad, UniChar(' '));
  out.insert(out.end(), text.begin(), text.end());
  if (left) out.insert(out.end(), pad, UniChar(' '));
}

bool Render(const __CFUniChars& f, const std::vector<Spec>& specs, const std::vector<Arg>& args, __CFUniChars& out) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  locale_t previous = uselocale(cLocale);
  for (const Spec& spec : specs) {
    if (spec.literal) {
      out.insert(out.end(), f.begin() + spec.litStart, f.begin() + spec.litStart + spec.litLen);
      continue;
    }
    std::string flags = spec.flags;
    int width = spec.width, precision = spec.precision;
    if (spec.widthArg >= 0) {
      long long w = args[size_t(spec.widthArg)].i;
      if (w < 0) {
        flags.push_back('-');
        w = -w;
      }
      width = int(std::min<long long>(w, kMaxField));
    }
    if (spec.precisionArg >= 0) {
      long long p = args[size_t(spec.precisionArg)].i;
      precision = p < 0 ? -1 : int(std::min<long long>(p, kMaxField));
    }
    Spec effective = spec;
    effective.flags = flags;
    const Arg& a = args[size_t(spec.arg)];
    std::string fmt = "%" + flags;
    if (width >= 0) fmt += std::to_string(width);
    if (precision >= 0) fmt += "." + std::to_string(precision);
    std::string len = spec.length == "q" ? "ll" : spec.length;
    switch (spec.conv) {
      case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': {
        fmt += len;
        fmt.push_back(spec.conv);
        switch (a.kind) {
          case ArgKind::Int: AppendAscii(out, Print(fmt, int(a.i))); break;
          case ArgKind::Long: AppendAscii(out, Print(fmt, long(a.i))); break;
          case ArgKind::LongLong: AppendAscii(out, Print(fmt, a.i)); break;
          case ArgKind::IntMax: AppendAscii(out, Print(fmt, a.im)); break;
          case ArgKind::Size: AppendAscii(out, Print(fmt, a.z)); break;
          case ArgKind::PtrDiff: AppendAscii(out, Print(fmt, a.t)); break;
          default: break;
        }
        break;
      }
      case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        if (a.kind == ArgKind::LongDouble) {
          AppendAscii(out, Print(fmt + "L" + spec.conv, a.ld));
        } else {
          AppendAscii(out, Print(fmt + spec.conv, a.d));
        }
        break;
      case 'p':
        AppendAscii(out, Print(fmt.substr(0, 1) + "p", a.p));
        break;
      case 'n':
        break;  // writing through an argument pointer is never done
      case 'c': {
        char byte = char(a.i);
        __CFUniChars text;
        AppendCStringBytes(text, &byte, 1);
        AppendField(out, std::move(text), effective, width, -1);
        break;
      }
      case 'C':
        AppendField(out, __CFUniChars{UniChar(a.i)}, effective, width, -1);
        break;
      case 's': {
        __CFUniChars text;
        if (a.p == nullptr) {
          AppendAscii(text, "(null)");
        } else {
          const char* s = static_cast<const char*>(a.p);
          // With a precision the bytes need not end with a NUL.
          size_t n = precision >= 0 ? strnlen(s, size_t(precision)) : std::strlen(s);
          AppendCStringBytes(text, s, n);
        }
        AppendField(out, std::move(text), effective, width, precision);
        break;
      }
      case 'S': {
        __CFUniChars text;
        if (a.p == nullptr) {
          AppendAscii(text, "(null)");
        } else {
          const UniChar* u = static_cast<const UniChar*>(a.p);
          for (size_t k = 0; u[k] != 0 && (precision < 0 || k < size_t(precision)); ++k) text.push_back(u[k]);
        }
        AppendField(out, std::move(text), effective, width, precision);
        break;
      }
      case '@': {
        __CFUniChars text;
        AppendDescription(text, a.p);
        AppendField(out, std::move(text), effective, width, precision);
        break;
      }
      default:
        uselocale(previous);
        return false;
    }
  }
  uselocale(previous);
  return true;
}

bool Format(CFStringRef format, va_list arguments, __CFUniChars& out, const char* function) {
  __CFString* f = __CFStringCast(format);
  if (f == nullptr) return false;
  std::vector<Spec> specs;
  std::vector<ArgKind> kinds;
  std::vector<Arg> args;
  if (!Parse(f->chars, specs, kinds)) {
    __CFStringComplain(function, "malformed format");
    return false;
  }
  va_list ap;
  va_copy(ap, arguments);
  bool fetched = Fetch(kinds, ap, args);
  va_end(ap);
  if (!fetched) {
    __CFStringComplain(function, "malformed format");
    return false;
  }
  return Render(f->chars, specs, args, out);
}

}  // namespace

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format,
                                                 va_list arguments) {
  __CFUniChars out;
  if (!Format(format, arguments, out, "CFStringCreateWithFormat")) return nullptr;
  return __CFStringCreateWithUnits(std::move(out));
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...) {
  va_list ap;
  va_start(ap, format);
  CFStringRef result = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, ap);
  va_end(ap);
  return result;
}

void CFStringAppendFormatAndArguments(CFMutableStringRef theString, CFDictionaryRef, CFStringRef format,
                                      va_list arguments) {
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr || !s->isMutable) {
    __CFStringComplain("CFStringAppendFormat", s ? "the string is not mutable" : "not a string");
    return;
  }
  __CFUniChars out;
  if (!Format(format, arguments, out, "CFStringAppendFormat")) return;
  s->chars.insert(s->chars.end(), out.begin(), out.end());
}

void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format, ...) {
  va_list ap;
  va_start(ap, format);
  CFStringAppendFormatAndArguments(theString, formatOptions, format, ap);
  va_end(ap);
}
