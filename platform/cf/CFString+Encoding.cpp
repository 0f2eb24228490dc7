// Byte encodings of strings: Mac Roman, Windows Latin 1, ISO Latin 1, ASCII,
// non-lossy ASCII, UTF-8, UTF-16 and UTF-32 in both byte orders from our own
// tables, so that their results are the same on every machine; the other
// scripts' encodings (Central European, Cyrillic, Greek, Japanese, Chinese,
// Korean, ...) through the C library's converters, where installed.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "CFStringInternal.h"
#include "LargeBlocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The upper half of Mac Roman (0x80-0xFF); 0xDB is the euro sign and 0xF0 the
// private-use Apple logo, as current systems map them.
constexpr UniChar kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// Windows Latin 1 differs from ISO Latin 1 only in 0x80-0x9F; 0 marks the
// five bytes that have no character.
constexpr UniChar kWindowsLatin1C1[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x0000, 0x017D, 0x0000, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
};

struct ReverseEntry {
  UniChar ch;
  UInt8 byte;
};

// Sorted character -> byte tables for the encoders.
template <size_t N>
std::array<ReverseEntry, N> MakeReverse(const UniChar (&table)[N], UInt8 firstByte) {
  std::array<ReverseEntry, N> out{};
  size_t used = 0;
  for (size_t i = 0; i < N; ++i)
    if (table[i] != 0) out[used++] = ReverseEntry{table[i], UInt8(firstByte + i)};
  std::sort(out.begin(), out.begin() + used, [](const ReverseEntry& a, const ReverseEntry& b) {
    return a.ch < b.ch;
  });
  for (size_t i = used; i < N; ++i) out[i] = ReverseEntry{0xFFFF, 0};
  return out;
}

template <size_t N>
bool LookUp(const std::array<ReverseEntry, N>& table, UniChar ch, UInt8* byte) {
  auto it = std::lower_bound(table.begin(), table.end(), ch,
                             [](const ReverseEntry& e, UniChar c) { return e.ch < c; });
  if (it == table.end() || it->ch != ch || ch == 0xFFFF) return false;
  *byte = it->byte;
  return true;
}

const std::array<ReverseEntry, 128>& MacRomanReverse() {
  static const auto table = MakeReverse(kMacRomanHigh, 0x80);
  return table;
}

const std::array<ReverseEntry, 32>& WindowsLatin1Reverse() {
  static const auto table = MakeReverse(kWindowsLatin1C1, 0x80);
  return table;
}

bool IsHighSurrogate(UniChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(UniChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendCodePoint(__CFUniChars& out, UInt32 cp) {
  if (cp < 0x10000) {
    out.push_back(UniChar(cp));
  } else {
    cp -= 0x10000;
    out.push_back(UniChar(0xD800 + (cp >> 10)));
    out.push_back(UniChar(0xDC00 + (cp & 0x3FF)));
  }
}

size_t EncodeUTF8CodePoint(UInt32 cp, UInt8* p) {
  if (cp < 0x80) {
    p[0] = UInt8(cp);
    return 1;
  }
  if (cp < 0x800) {
    p[0] = UInt8(0xC0 | (cp >> 6));
    p[1] = UInt8(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    p[0] = UInt8(0xE0 | (cp >> 12));
    p[1] = UInt8(0x80 | ((cp >> 6) & 0x3F));
    p[2] = UInt8(0x80 | (cp & 0x3F));
    return 3;
  }
  p[0] = UInt8(0xF0 | (cp >> 18));
  p[1] = UInt8(0x80 | ((cp >> 12) & 0x3F));
  p[2] = UInt8(0x80 | ((cp >> 6) & 0x3F));
  p[3] = UInt8(0x80 | (cp & 0x3F));
  return 4;
}

void AppendUTF8CodePoint(std::string& out, UInt32 cp) {
  UInt8 tmp[4];
  size_t k = EncodeUTF8CodePoint(cp, tmp);
  out.append(reinterpret_cast<const char*>(tmp), k);
}

constexpr bool kHostIsBigEndian = (std::endian::native == std::endian::big);

enum class ByteOrder { Big, Little };

ByteOrder HostOrder() { return kHostIsBigEndian ? ByteOrder::Big : ByteOrder::Little; }

UInt32 ReadUnit(const UInt8* p, int size, ByteOrder order) {
  UInt32 v = 0;
  if (order == ByteOrder::Big)
    for (int i = 0; i < size; ++i) v = (v << 8) | p[i];
  else
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void WriteUnit(UInt8* p, UInt32 v, int size, ByteOrder order) {
  for (int i = 0; i < size; ++i) {
    int shift = (order == ByteOrder::Big) ? 8 * (size - 1 - i) : 8 * i;
    p[i] = UInt8(v >> shift);
  }
}

// Reads the byte-order mark of plain UTF-16 / UTF-32, and the fixed order of
// the BE / LE forms. *skip receives the bytes the mark takes.
ByteOrder WideOrder(const UInt8* bytes, size_t count, int unitSize, bool plain, bool external,
                    ByteOrder fixed, size_t* skip) {
  *skip = 0;
  if (!plain) {
    // A mark of the same order is not text when the bytes are a file's.
    if (external && count >= size_t(unitSize) && ReadUnit(bytes, unitSize, fixed) == 0xFEFF)
      *skip = unitSize;
    return fixed;
  }
  if (!external) return HostOrder();
  if (count >= size_t(unitSize)) {
    if (ReadUnit(bytes, unitSize, ByteOrder::Big) == 0xFEFF) {
      *skip = unitSize;
      return ByteOrder::Big;
    }
    if (ReadUnit(bytes, unitSize, ByteOrder::Little) == 0xFEFF) {
      *skip = unitSize;
      return ByteOrder::Little;
    }
  }
  return ByteOrder::Big;
}

bool DecodeUTF16(const UInt8* bytes, size_t count, ByteOrder order, __CFUniChars& out) {
  if (count % 2 != 0) return false;
  out.reserve(out.size() + count / 2);
  // Unpaired surrogates are kept: a string is a sequence of code units.
  for (size_t i = 0; i < count; i += 2) out.push_back(UniChar(ReadUnit(bytes + i, 2, order)));
  return true;
}

bool DecodeUTF32(const UInt8* bytes, size_t count, ByteOrder order, __CFUniChars& out) {
  if (count % 4 != 0) return false;
  out.reserve(out.size() + count / 4);
  for (size_t i = 0; i < count; i += 4) {
    UInt32 cp = ReadUnit(bytes + i, 4, order);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendCodePoint(out, cp);
  }
  return true;
}

int HexValue(UInt8 c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// ASCII where "\\" is a backslash, "\uXXXX" a code unit and "\ooo" (three
// octal digits) a Latin-1 character.
bool DecodeNonLossyASCII(const UInt8* bytes, size_t count, __CFUniChars& out) {
  for (size_t i = 0; i < count;) {
    UInt8 b = bytes[i];
    if (b >= 0x80) return false;
    if (b != '\\') {
      out.push_back(b);
      ++i;
      continue;
    }
    if (i + 1 < count && bytes[i + 1] == '\\') {
      out.push_back('\\');
      i += 2;
    } else if (i + 5 < count && bytes[i + 1] == 'u') {
      UInt32 v = 0;
      for (int k = 2; k < 6; ++k) {
        int h = HexValue(bytes[i + k]);
        if (h < 0) return false;
        v = (v << 4) | UInt32(h);
      }
      out.push_back(UniChar(v));
      i += 6;
    } else if (i + 3 < count && bytes[i + 1] >= '0' && bytes[i + 1] <= '3' && bytes[i + 2] >= '0' &&
               bytes[i + 2] <= '7' && bytes[i + 3] >= '0' && bytes[i + 3] <= '7') {
      out.push_back(UniChar((bytes[i + 1] - '0') * 64 + (bytes[i + 2] - '0') * 8 + (bytes[i + 3] - '0')));
      i += 4;
    } else {
      out.push_back('\\');  // a lone backslash stands for itself
      ++i;
    }
  }
  return true;
}

bool IsUTF16Family(CFStringEncoding e) {
  return e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF16BE || e == kCFStringEncodingUTF16LE;
}

bool IsUTF32Family(CFStringEncoding e) {
  return e == kCFStringEncodingUTF32 || e == kCFStringEncodingUTF32BE || e == kCFStringEncodingUTF32LE;
}

ByteOrder FixedOrder(CFStringEncoding e) {
  return (e == kCFStringEncodingUTF16LE || e == kCFStringEncodingUTF32LE) ? ByteOrder::Little
                                                                          : ByteOrder::Big;
}

bool IsPlainWide(CFStringEncoding e) {
  return e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF32;
}

// One character of the 8-bit encodings; false when it has no byte.
bool EightBitByte(UniChar c, CFStringEncoding e, UInt8* byte) {
  switch (e) {
    case kCFStringEncodingMacRoman:
      return __CFUnicodeToMacRoman(c, byte);
    case kCFStringEncodingISOLatin1:
      if (c > 0xFF) return false;
      *byte = UInt8(c);
      return true;
    case kCFStringEncodingWindowsLatin1:
      if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        *byte = UInt8(c);
        return true;
      }
      return LookUp(WindowsLatin1Reverse(), c, byte);
    case kCFStringEncodingASCII:
      if (c > 0x7F) return false;
      *byte = UInt8(c);
      return true;
    default:
      return false;
  }
}

// Every encoding strings convert, in the order a person picks from: the
// built-in ones (our own tables above) and those the C library's converters
// provide (iconv, kept only where this machine has them). Display names group
// by script, as encoding menus do.
struct EncodingInfo {
  CFStringEncoding encoding;
  const char* name;
  const char* iana;
  const char* iconv;  // nil: converted by the tables above
  bool stateful;      // shift sequences: the output may grow by escapes
};

constexpr EncodingInfo kEncodings[] = {
    {kCFStringEncodingUTF8, "Unicode (UTF-8)", "utf-8", nullptr, false},
    {kCFStringEncodingUTF16, "Unicode (UTF-16)", "utf-16", nullptr, false},
    {kCFStringEncodingUTF16BE, "Unicode (UTF-16BE)", "utf-16be", nullptr, false},
    {kCFStringEncodingUTF16LE, "Unicode (UTF-16LE)", "utf-16le", nullptr, false},
    {kCFStringEncodingUTF32, "Unicode (UTF-32)", "utf-32", nullptr, false},
    {kCFStringEncodingUTF32BE, "Unicode (UTF-32BE)", "utf-32be", nullptr, false},
    {kCFStringEncodingUTF32LE, "Unicode (UTF-32LE)", "utf-32le", nullptr, false},
    {kCFStringEncodingMacRoman, "Western (Mac OS Roman)", "macintosh", nullptr, false},
    {kCFStringEncodingWindowsLatin1, "Western (Windows Latin 1)", "windows-1252", nullptr, false},
    {kCFStringEncodingISOLatin1, "Western (ISO Latin 1)", "iso-8859-1", nullptr, false},
    {kCFStringEncodingISOLatin9, "Western (ISO Latin 9)", "iso-8859-15", "ISO-8859-15", false},
    {kCFStringEncodingDOSLatin1, "Western (DOS Latin 1)", "cp850", "CP850", false},
    {kCFStringEncodingDOSLatinUS, "Western (DOS Latin US)", "cp437", "CP437", false},
    {kCFStringEncodingASCII, "Western (ASCII)", "us-ascii", nullptr, false},
    {kCFStringEncodingNonLossyASCII, "Non-lossy ASCII", "x-nonlossy-ascii", nullptr, false},
    {kCFStringEncodingISOLatin2, "Central European (ISO Latin 2)", "iso-8859-2", "ISO-8859-2", false},
    {kCFStringEncodingWindowsLatin2, "Central European (Windows Latin 2)", "windows-1250", "CP1250", false},
    {kCFStringEncodingMacCentralEurRoman, "Central European (Mac OS)", "x-mac-ce", "MAC-CENTRALEUROPE", false},
    {kCFStringEncodingDOSLatin2, "Central European (DOS Latin 2)", "cp852", "CP852", false},
    {kCFStringEncodingISOLatin3, "South European (ISO Latin 3)", "iso-8859-3", "ISO-8859-3", false},
    {kCFStringEncodingISOLatin10, "Romanian (ISO Latin 10)", "iso-8859-16", "ISO-8859-16", false},
    {kCFStringEncodingISOLatinCyrillic, "Cyrillic (ISO 8859-5)", "iso-8859-5", "ISO-8859-5", false},
    {kCFStringEncodingWindowsCyrillic, "Cyrillic (Windows)", "windows-1251", "CP1251", false},
    {kCFStringEncodingMacCyrillic, "Cyrillic (Mac OS)", "x-mac-cyrillic", "MAC-CYRILLIC", false},
    {kCFStringEncodingKOI8_R, "Cyrillic (KOI8-R)", "koi8-r", "KOI8-R", false},
    {kCFStringEncodingKOI8_U, "Ukrainian (KOI8-U)", "koi8-u", "KOI8-U", false},
    {kCFStringEncodingDOSRussian, "Cyrillic (DOS)", "cp866", "CP866", false},
    {kCFStringEncodingISOLatinGreek, "Greek (ISO 8859-7)", "iso-8859-7", "ISO-8859-7", false},
    {kCFStringEncodingWindowsGreek, "Greek (Windows)", "windows-1253", "CP1253", false},
    {kCFStringEncodingISOLatin5, "Turkish (ISO Latin 5)", "iso-8859-9", "ISO-8859-9", false},
    {kCFStringEncodingWindowsLatin5, "Turkish (Windows Latin 5)", "windows-1254", "CP1254", false},
    {kCFStringEncodingISOLatin4, "Baltic (ISO Latin 4)", "iso-8859-4", "ISO-8859-4", false},
    {kCFStringEncodingISOLatin7, "Baltic (ISO Latin 7)", "iso-8859-13", "ISO-8859-13", false},
    {kCFStringEncodingWindowsBalticRim, "Baltic (Windows)", "windows-1257", "CP1257", false},
    {kCFStringEncodingISOLatin6, "Nordic (ISO Latin 6)", "iso-8859-10", "ISO-8859-10", false},
    {kCFStringEncodingISOLatin8, "Celtic (ISO Latin 8)", "iso-8859-14", "ISO-8859-14", false},
    {kCFStringEncodingISOLatinHebrew, "Hebrew (ISO 8859-8)", "iso-8859-8", "ISO-8859-8", false},
    {kCFStringEncodingWindowsHebrew, "Hebrew (Windows)", "windows-1255", "CP1255", false},
    {kCFStringEncodingISOLatinArabic, "Arabic (ISO 8859-6)", "iso-8859-6", "ISO-8859-6", false},
    {kCFStringEncodingWindowsArabic, "Arabic (Windows)", "windows-1256", "CP1256", false},
    {kCFStringEncodingISOLatinThai, "Thai (ISO 8859-11)", "iso-8859-11", "ISO-8859-11", false},
    {kCFStringEncodingDOSThai, "Thai (Windows, DOS)", "windows-874", "CP874", false},
    {kCFStringEncodingWindowsVietnamese, "Vietnamese (Windows)", "windows-1258", "CP1258", false},
    {kCFStringEncodingShiftJIS, "Japanese (Shift JIS)", "shift_jis", "SHIFT_JIS", false},
    {kCFStringEncodingDOSJapanese, "Japanese (Windows, DOS)", "cp932", "CP932", false},
    {kCFStringEncodingEUC_JP, "Japanese (EUC)", "euc-jp", "EUC-JP", false},
    {kCFStringEncodingISO_2022_JP, "Japanese (ISO 2022-JP)", "iso-2022-jp", "ISO-2022-JP", true},
    {kCFStringEncodingGB_18030_2000, "Chinese (GB 18030)", "gb18030", "GB18030", false},
    {kCFStringEncodingDOSChineseSimplif, "Chinese (GBK)", "gbk", "GBK", false},
    {kCFStringEncodingEUC_CN, "Chinese Simplified (GB 2312)", "gb2312", "EUC-CN", false},
    {kCFStringEncodingHZ_GB_2312, "Chinese Simplified (HZ GB 2312)", "hz-gb-2312", "HZ", true},
    {kCFStringEncodingBig5, "Chinese Traditional (Big 5)", "big5", "BIG5", false},
    {kCFStringEncodingBig5_HKSCS_1999, "Chinese Traditional (Big 5 HKSCS)", "big5-hkscs", "BIG5-HKSCS", false},
    {kCFStringEncodingDOSChineseTrad, "Chinese Traditional (Windows, DOS)", "cp950", "CP950", false},
    {kCFStringEncodingEUC_TW, "Chinese Traditional (EUC)", "euc-tw", "EUC-TW", false},
    {kCFStringEncodingEUC_KR, "Korean (EUC)", "euc-kr", "EUC-KR", false},
    {kCFStringEncodingDOSKorean, "Korean (Windows, DOS)", "cp949", "CP949", false},
    {kCFStringEncodingISO_2022_KR, "Korean (ISO 2022-KR)", "iso-2022-kr", "ISO-2022-KR", true},
};

// Whether this machine's converters know entry I, asked once per entry and
// only when that entry is wanted: opening a converter loads its module, and
// a run that only ever converts UTF-8 should load none.
bool Present(size_t i) {
  static std::array<std::atomic<signed char>, std::size(kEncodings)> known{};  // 0: not asked yet
  signed char answer = known[i].load(std::memory_order_acquire);
  if (answer == 0) {
    answer = kEncodings[i].iconv == nullptr || __CFIconvIsAvailable(kEncodings[i].iconv) ? 1 : -1;
    known[i].store(answer, std::memory_order_release);
  }
  return answer > 0;
}

// The entry of an encoding that converts here; nil otherwise.
const EncodingInfo* FindEncoding(CFStringEncoding e) {
  for (size_t i = 0; i < std::size(kEncodings); ++i)
    if (kEncodings[i].encoding == e) return Present(i) ? &kEncodings[i] : nullptr;
  return nullptr;
}

// The entry when the C library converts the encoding.
const EncodingInfo* FindConverted(CFStringEncoding e) {
  const EncodingInfo* info = FindEncoding(e);
  return info && info->iconv ? info : nullptr;
}

// The encoder behind CFStringGetBytes, CFStringGetCString and the external
// representation. Writes at most maxBytes bytes when buffer is given, and
// converts everything it can when it is nil (measuring). Returns the number
// of units converted.
size_t Encode(const UniChar* u, size_t n, CFStringEncoding enc, UInt8 lossByte, bool external,
              UInt8* buffer, size_t maxBytes, size_t* usedBytes) {
  if (const EncodingInfo* info = FindConverted(enc))
    return __CFIconvEncode(info->iconv, u, n, lossByte, buffer, maxBytes, usedBytes);
  size_t used = 0;
  const bool measuring = (buffer == nullptr);
  auto fits = [&](size_t k) { return measuring || used + k <= maxBytes; };
  auto put = [&](const UInt8* bytes, size_t k) {
    if (!measuring) std::memcpy(buffer + used, bytes, k);
    used += k;
  };
  UInt8 tmp[8];

  const bool wide16 = IsUTF16Family(enc), wide32 = IsUTF32Family(enc);
  ByteOrder order = HostOrder();
  if (wide16 || wide32) {
    int size = wide16 ? 2 : 4;
    if (!IsPlainWide(enc)) {
      order = FixedOrder(enc);
    } else if (external) {
      order = ByteOrder::Big;
      if (!fits(size)) {
        *usedBytes = 0;
        return 0;
      }
      WriteUnit(tmp, 0xFEFF, size, order);
      put(tmp, size);
    }
  }

  size_t i = 0;
  while (i < n) {
    UniChar c = u[i];
    bool pair = IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(u[i + 1]);
    size_t take = pair ? 2 : 1;
    bool unpaired = !pair && (IsHighSurrogate(c) || IsLowSurrogate(c));

    if (wide16) {
      if (!fits(2 * take)) break;
      for (size_t k = 0; k < take; ++k) {
        WriteUnit(tmp, u[i + k], 2, order);
        put(tmp, 2);
      }
    } else if (enc == kCFStringEncodingUTF8 || wide32) {
      UInt32 cp;
      if (pair) {
        cp = 0x10000 + ((UInt32(c) - 0xD800) << 10) + (UInt32(u[i + 1]) - 0xDC00);
      } else if (unpaired) {
        if (lossByte == 0) break;
        cp = 0xFFFD;
      } else {
        cp = c;
      }
      if (wide32) {
        if (!fits(4)) break;
        WriteUnit(tmp, cp, 4, order);
        put(tmp, 4);
      } else {
        size_t k = EncodeUTF8CodePoint(cp, tmp);
        if (!fits(k)) break;
        put(tmp, k);
      }
    } else if (enc == kCFStringEncodingNonLossyASCII) {
      if (c < 0x80 && c != '\\') {
        if (!fits(1)) break;
        tmp[0] = UInt8(c);
        put(tmp, 1);
      } else if (c == '\\') {
        if (!fits(2)) break;
        put(reinterpret_cast<const UInt8*>("\\\\"), 2);
      } else {
        if (!fits(6 * take)) break;
        for (size_t k = 0; k < take; ++k) {
          static const char hex[] = "0123456789abcdef";
          UniChar v = u[i + k];
          UInt8 esc[6] = {'\\', 'u', UInt8(hex[v >> 12]), UInt8(hex[(v >> 8) & 15]),
                          UInt8(hex[(v >> 4) & 15]), UInt8(hex[v & 15])};
          put(esc, 6);
        }
      }
    } else {
      UInt8 b;
      // A surrogate pair is one character that no 8-bit encoding holds.
      if (pair || !EightBitByte(c, enc, &b)) {
        if (lossByte == 0) break;
        b = lossByte;
      }
      if (!fits(1)) break;
      put(&b, 1);
    }
    i += take;
  }
  *usedBytes = used;
  return i;
}

// Other IANA names and aliases that name one of our encodings.
struct Alias {
  const char* name;
  CFStringEncoding encoding;
};
constexpr Alias kAliases[] = {
    {"mac", kCFStringEncodingMacRoman},         {"x-mac-roman", kCFStringEncodingMacRoman},
    {"macroman", kCFStringEncodingMacRoman},    {"cp1252", kCFStringEncodingWindowsLatin1},
    {"latin1", kCFStringEncodingISOLatin1},     {"iso_8859-1", kCFStringEncodingISOLatin1},
    {"iso-latin-1", kCFStringEncodingISOLatin1}, {"l1", kCFStringEncodingISOLatin1},
    {"ascii", kCFStringEncodingASCII},          {"us", kCFStringEncodingASCII},
    {"utf8", kCFStringEncodingUTF8},            {"unicode-1-1-utf-8", kCFStringEncodingUTF8},
    {"utf16", kCFStringEncodingUTF16},          {"iso-10646-ucs-2", kCFStringEncodingUTF16},
    {"utf32", kCFStringEncodingUTF32},
    // Names web servers and documents give the other scripts' encodings.
    {"latin2", kCFStringEncodingISOLatin2},     {"latin9", kCFStringEncodingISOLatin9},
    {"cp1250", kCFStringEncodingWindowsLatin2}, {"cp1251", kCFStringEncodingWindowsCyrillic},
    {"koi8r", kCFStringEncodingKOI8_R},         {"sjis", kCFStringEncodingShiftJIS},
    {"shift-jis", kCFStringEncodingShiftJIS},   {"x-sjis", kCFStringEncodingShiftJIS},
    {"windows-31j", kCFStringEncodingDOSJapanese}, {"x-euc-jp", kCFStringEncodingEUC_JP},
    {"cp936", kCFStringEncodingDOSChineseSimplif}, {"euc-cn", kCFStringEncodingEUC_CN},
    {"ks_c_5601-1987", kCFStringEncodingDOSKorean},
    {"windows-949", kCFStringEncodingDOSKorean},
};

}  // namespace

UniChar __CFMacRomanToUnicode(UInt8 byte) { return byte < 0x80 ? UniChar(byte) : kMacRomanHigh[byte - 0x80]; }

bool __CFUnicodeToMacRoman(UniChar ch, UInt8* byte) {
  if (ch < 0x80) {
    *byte = UInt8(ch);
    return true;
  }
  return LookUp(MacRomanReverse(), ch, byte);
}

// Sixteen bytes at a time where the processor has the vector unit every
// x86-64 has; eight at a time through a 64-bit word elsewhere.
size_t __CFASCIIRunLength(const UInt8* b, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
    if (high != 0) return i + size_t(__builtin_ctz(unsigned(high)));
  }
#endif
  for (; i + 8 <= n; i += 8) {
    UInt64 word;
    std::memcpy(&word, b + i, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (i < n && b[i] < 0x80) ++i;
  return i;
}

void __CFWidenASCII(const UInt8* b, size_t n, UniChar* out) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, zero));
  }
#endif
  for (; i < n; ++i) out[i] = b[i];
}

// UTF-8 never takes fewer bytes than UTF-16 takes units: room for n units
// is made once and the unused end given back.
bool __CFDecodeUTF8(const UInt8* b, size_t n, __CFUniChars& out) {
  const size_t base = out.size();
  out.reserve(base + n);
  AdviseLargeBlock(out.data(), out.capacity() * sizeof(UniChar));
  out.resize(base + n);
  UniChar* o = out.data() + base;
  size_t i = 0, w = 0;
  while (i < n) {
    UInt8 c = b[i];
    if (c < 0x80) {
      // A run of ASCII goes in at once.
      const size_t run = __CFASCIIRunLength(b + i, n - i);
      __CFWidenASCII(b + i, run, o + w);
      i += run;
      w += run;
      continue;
    }
    UInt32 cp;
    size_t extra;
    UInt32 min;
    if (c >= 0xC2 && c <= 0xDF) {
      cp = c & 0x1F, extra = 1, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      cp = c & 0x0F, extra = 2, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      cp = c & 0x07, extra = 3, min = 0x10000;
    } else {
      out.resize(base + w);
      return false;  // continuation byte, overlong lead (C0, C1) or F5..FF
    }
    bool bad = n - i <= extra;  // truncated sequence
    for (size_t k = 1; !bad && k <= extra; ++k) {
      UInt8 cc = b[i + k];
      if ((cc & 0xC0) != 0x80) bad = true;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (bad || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.resize(base + w);
      return false;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      o[w++] = UniChar(0xD800 + (cp >> 10));
      o[w++] = UniChar(0xDC00 + (cp & 0x3FF));
    } else {
      o[w++] = UniChar(cp);
    }
    i += extra + 1;
  }
  out.resize(base + w);
  return true;
}

void __CFAppendUTF8(std::string& out, const UniChar* u, size_t n) {
  out.reserve(out.size() + n);
  for (size_t i = 0; i < n; ++i) {
    UniChar c = u[i];
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(u[i + 1])) {
      AppendUTF8CodePoint(out, 0x10000 + ((UInt32(c) - 0xD800) << 10) + (UInt32(u[i + 1]) - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUTF8CodePoint(out, 0xFFFD);
    } else {
      AppendUTF8CodePoint(out, c);
    }
  }
}

bool __CFStringDecodeBytes(const UInt8* bytes, size_t count, CFStringEncoding enc, bool external,
                           __CFUniChars& out) {
  if (bytes == nullptr && count != 0) return false;
  switch (enc) {
    case kCFStringEncodingMacRoman:
      out.reserve(out.size() + count);
      for (size_t i = 0; i < count; ++i) out.push_back(__CFMacRomanToUnicode(bytes[i]));
      return true;
    case kCFStringEncodingISOLatin1:
      out.insert(out.end(), bytes, bytes + count);
      return true;
    case kCFStringEncodingWindowsLatin1:
      out.reserve(out.size() + count);
      for (size_t i = 0; i < count; ++i) {
        UInt8 b = bytes[i];
        if (b >= 0x80 && b <= 0x9F) {
          UniChar c = kWindowsLatin1C1[b - 0x80];
          if (c == 0) return false;
          out.push_back(c);
        } else {
          out.push_back(b);
        }
      }
      return true;
    case kCFStringEncodingASCII:
      for (size_t i = 0; i < count; ++i)
        if (bytes[i] >= 0x80) return false;
      out.insert(out.end(), bytes, bytes + count);
      return true;
    case kCFStringEncodingNonLossyASCII:
      return DecodeNonLossyASCII(bytes, count, out);
    case kCFStringEncodingUTF8:
      if (external && count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        count -= 3;
      }
      return __CFDecodeUTF8(bytes, count, out);
    default:
      break;
  }
  if (const EncodingInfo* info = FindConverted(enc)) return __CFIconvDecode(info->iconv, bytes, count, out);
  if (IsUTF16Family(enc) || IsUTF32Family(enc)) {
    int size = IsUTF16Family(enc) ? 2 : 4;
    size_t skip;
    ByteOrder order = WideOrder(bytes, count, size, IsPlainWide(enc), external, FixedOrder(enc), &skip);
    return size == 2 ? DecodeUTF16(bytes + skip, count - skip, order, out)
                     : DecodeUTF32(bytes + skip, count - skip, order, out);
  }
  return false;
}

bool __CFStringEncodeUnits(const UniChar* units, size_t count, CFStringEncoding encoding, UInt8 lossByte,
                           bool external, std::string& out) {
  if (!CFStringIsEncodingAvailable(encoding)) return false;
  size_t bytes = 0;
  size_t converted = Encode(units, count, encoding, lossByte, external, nullptr, 0, &bytes);
  if (converted != count) return false;
  out.resize(bytes);
  Encode(units, count, encoding, lossByte, external, reinterpret_cast<UInt8*>(out.data()), bytes, &bytes);
  return true;
}

CFStringEncoding CFStringGetSystemEncoding() { return kCFStringEncodingMacRoman; }

Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding) { return FindEncoding(encoding) != nullptr; }

const CFStringEncoding* CFStringGetListOfAvailableEncodings() {
  static const auto list = [] {
    std::vector<CFStringEncoding> l;
    for (size_t i = 0; i < std::size(kEncodings); ++i)
      if (Present(i)) l.push_back(kEncodings[i].encoding);
    l.push_back(kCFStringEncodingInvalidId);
    return l;
  }();
  return list.data();
}

CFStringRef CFStringGetNameOfEncoding(CFStringEncoding encoding) {
  const EncodingInfo* info = FindEncoding(encoding);
  return info ? CFStringMakeConstantUTF8(info->name) : nullptr;
}

CFStringRef CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding) {
  const EncodingInfo* info = FindEncoding(encoding);
  return info ? CFStringMakeConstantUTF8(info->iana) : nullptr;
}

CFStringEncoding CFStringConvertIANACharSetNameToEncoding(CFStringRef theString) {
  std::string name = __CFStringGetUTF8(theString);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  for (const auto& info : kEncodings)
    if (name == info.iana) return FindEncoding(info.encoding) ? info.encoding : kCFStringEncodingInvalidId;
  for (const auto& alias : kAliases)
    if (name == alias.name) return FindEncoding(alias.encoding) ? alias.encoding : kCFStringEncodingInvalidId;
  return kCFStringEncodingInvalidId;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  if (length < 0 || !CFStringIsEncodingAvailable(encoding)) return kCFNotFound;
  CFIndex factor = 1;
  if (encoding == kCFStringEncodingUTF8) factor = 3;  // a pair of units takes 4, a single unit at most 3
  else if (IsUTF16Family(encoding)) factor = 2;
  else if (IsUTF32Family(encoding)) factor = 4;  // a pair takes 4 bytes too
  else if (encoding == kCFStringEncodingNonLossyASCII) factor = 6;
  CFIndex extra = (IsPlainWide(encoding) ? 4 : 0);  // room for a byte-order mark
  if (const EncodingInfo* info = FindConverted(encoding)) {
    // Four bytes hold any character of the multi-byte sets; a shifting
    // encoding may also switch in and out around every character, and
    // returns to its initial state at the end.
    factor = info->stateful ? 8 : 4;
    extra = info->stateful ? 4 : 0;
  }
  if (length > (std::numeric_limits<CFIndex>::max() - extra) / factor) return kCFNotFound;
  return length * factor + extra;
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufLen,
                         CFIndex* usedBufLen) {
  if (usedBufLen) *usedBufLen = 0;
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr) return 0;
  if (range.location < 0 || range.length < 0 || range.location > s->Length() ||
      range.length > s->Length() - range.location) {
    __CFStringComplain("CFStringGetBytes", "range outside the string");
    return 0;
  }
  if (!CFStringIsEncodingAvailable(encoding)) return 0;
  if (buffer != nullptr && maxBufLen <= 0) return 0;
  size_t used = 0;
  size_t done = Encode(s->chars.data() + range.location, size_t(range.length), encoding, lossByte,
                       isExternalRepresentation, buffer, buffer ? size_t(maxBufLen) : 0, &used);
  if (usedBufLen) *usedBufLen = CFIndex(used);
  return CFIndex(done);
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  if (buffer == nullptr || bufferSize <= 0) return false;
  buffer[0] = 0;
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr || !CFStringIsEncodingAvailable(encoding)) return false;
  size_t used = 0;
  size_t done = Encode(s->chars.data(), s->chars.size(), encoding, 0, false, reinterpret_cast<UInt8*>(buffer),
                       size_t(bufferSize - 1), &used);
  if (done != s->chars.size()) {
    buffer[0] = 0;
    return false;
  }
  buffer[used] = 0;
  return true;
}

Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
  if (buffer == nullptr || bufferSize <= 0) return false;
  buffer[0] = 0;
  __CFString* s = __CFStringCast(theString);
  if (s == nullptr || !CFStringIsEncodingAvailable(encoding)) return false;
  size_t room = size_t(std::min<CFIndex>(bufferSize - 1, 255));
  size_t used = 0;
  size_t done = Encode(s->chars.data(), s->chars.size(), encoding, 0, false, buffer + 1, room, &used);
  if (done != s->chars.size()) {
    buffer[0] = 0;
    return false;
  }
  buffer[0] = UInt8(used);
  return true;
}

CFStringRef CFStringCreateWithFileSystemRepresentation(CFAllocatorRef alloc, const char* buffer) {
  return CFStringCreateWithCString(alloc, buffer, kCFStringEncodingUTF8);
}

CFIndex CFStringGetMaximumSizeOfFileSystemRepresentation(CFStringRef string) {
  CFIndex n = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8);
  return n == kCFNotFound ? kCFNotFound : n + 1;
}

Boolean CFStringGetFileSystemRepresentation(CFStringRef string, char* buffer, CFIndex maxBufLen) {
  return CFStringGetCString(string, buffer, maxBufLen, kCFStringEncodingUTF8);
}
