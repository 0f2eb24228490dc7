// Plain-text and RTF codecs of the text engine. The byte encodings of plain
// text are the CF string layer's own, so a file reads the same as a string
// made from its bytes would.
#include "WEFileCodec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "CFStringInternal.h"
#include "LargeBlocks.h"
#include "WASTE.h"

bool WECodecStyle::operator==(const WECodecStyle& o) const {
  return fontName == o.fontName && size == o.size && color.red == o.color.red &&
         color.green == o.color.green && color.blue == o.color.blue && bold == o.bold &&
         italic == o.italic && underline == o.underline;
}

namespace {

constexpr UniChar kCR = 0x0D;
constexpr UniChar kLF = 0x0A;
constexpr UniChar kTab = 0x09;
constexpr UniChar kReplacement = 0xFFFD;

bool IsHighSurrogate(UniChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(UniChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Index of the first surrogate without its partner; count when there is none.
size_t FirstUnpairedSurrogate(const UniChar* t, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (IsHighSurrogate(t[i])) {
      if (i + 1 < n && IsLowSurrogate(t[i + 1])) {
        ++i;
        continue;
      }
      return i;
    }
    if (IsLowSurrogate(t[i])) return i;
  }
  return n;
}

bool IsUTF16Encoding(TextEncoding e) {
  return e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF16BE || e == kCFStringEncodingUTF16LE;
}

// UTF-16 and UTF-32 without a named byte order: written with a mark.
bool IsPlainWideEncoding(TextEncoding e) { return e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF32; }

}  // namespace

// ---------------------------------------------------------------------------
// Plain text

bool WECodecIsEncodingSupported(TextEncoding e) {
  switch (e) {
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingISOLatin1:
    case kCFStringEncodingWindowsLatin1:
    case kCFStringEncodingASCII:
    case kCFStringEncodingUTF8:
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE:
    case kCFStringEncodingUTF32:
    case kCFStringEncodingUTF32BE:
    case kCFStringEncodingUTF32LE:
      return true;
    case kCFStringEncodingNonLossyASCII:
      return false;
    default:
      // The other scripts' encodings, where this machine converts them.
      return CFStringIsEncodingAvailable(e);
  }
}

WELineEnding WEDetectLineEnding(const UniChar* t, size_t n) {
  if (t == nullptr) return weLineEndingKeep;
  for (size_t i = 0; i < n; ++i) {
    if (t[i] == kLF) return weLineEndingLF;
    if (t[i] == kCR) return (i + 1 < n && t[i + 1] == kLF) ? weLineEndingCRLF : weLineEndingCR;
  }
  return weLineEndingKeep;
}

void WEConvertLineEndings(std::vector<UniChar>& t, WELineEnding e) {
  if (e == weLineEndingKeep) return;
  const size_t n = t.size();
  if (e == weLineEndingCRLF) {
    std::vector<UniChar> out;
    out.reserve(n + n / 16);
    for (size_t i = 0; i < n; ++i) {
      UniChar c = t[i];
      if (c == kCR || c == kLF) {
        if (c == kCR && i + 1 < n && t[i + 1] == kLF) ++i;
        out.push_back(kCR);
        out.push_back(kLF);
      } else {
        out.push_back(c);
      }
    }
    t.swap(out);
    return;
  }
  // One unit per ending: the text never grows, so convert in place.
  const UniChar target = (e == weLineEndingCR) ? kCR : kLF;
  size_t w = 0;
  for (size_t r = 0; r < n; ++r) {
    UniChar c = t[r];
    if (c == kCR || c == kLF) {
      if (c == kCR && r + 1 < n && t[r + 1] == kLF) ++r;
      c = target;
    }
    t[w++] = c;
  }
  t.resize(w);
}

OSStatus WEDecodeText(const void* bytes, size_t byteCount, TextEncoding encoding, WELineEnding lineEnding,
                      std::vector<UniChar>& text) {
  text.clear();
  if (bytes == nullptr && byteCount != 0) return paramErr;
  if (!WECodecIsEncodingSupported(encoding)) return kTextUnsupportedEncodingErr;
  std::vector<UniChar> out;
  if (!__CFStringDecodeBytes(static_cast<const UInt8*>(bytes), byteCount, encoding, true, out))
    return kTextMalformedInputErr;
  // The string layer keeps lone surrogates as code units; in a file they are a fault.
  if (IsUTF16Encoding(encoding) && FirstUnpairedSurrogate(out.data(), out.size()) != out.size())
    return kTextMalformedInputErr;
  WEConvertLineEndings(out, lineEnding);
  text.swap(out);
  return noErr;
}

OSStatus WEEncodeText(const UniChar* text, size_t count, TextEncoding encoding, WELineEnding lineEnding,
                      std::string& bytes, size_t* badOffset) {
  bytes.clear();
  if (badOffset) *badOffset = 0;
  if (text == nullptr && count != 0) return paramErr;
  if (!WECodecIsEncodingSupported(encoding)) return kTextUnsupportedEncodingErr;
  size_t bad = FirstUnpairedSurrogate(text, count);
  if (bad != count) {
    if (badOffset) *badOffset = bad;
    return kTECUnmappableElementErr;
  }
  const UniChar* src = text;
  size_t n = count;
  std::vector<UniChar> converted;
  if (lineEnding != weLineEndingKeep) {
    converted.assign(text, text + count);
    WEConvertLineEndings(converted, lineEnding);
    src = converted.data();
    n = converted.size();
  }
  std::string out;
  if (!__CFStringEncodeUnits(src, n, encoding, 0, true, out)) {
    // Line endings convert in every encoding, so the first character that
    // does not is found in the caller's own text.
    if (badOffset) {
      CFStringRef s = CFStringCreateWithCharactersNoCopy(nullptr, text, CFIndex(count), kCFAllocatorNull);
      CFIndex used = 0;
      *badOffset = size_t(CFStringGetBytes(s, CFRangeMake(0, CFIndex(count)), encoding, 0, false, nullptr,
                                           0, &used));
      if (s) CFRelease(s);
    }
    return kTECUnmappableElementErr;
  }
  // Reading skips a leading mark, so a text that begins with U+FEFF is
  // written after one (the plain wide forms always have theirs); any other
  // text is written as before, without.
  if (n > 0 && src[0] == 0xFEFF && !IsPlainWideEncoding(encoding)) {
    const size_t mark = encoding == kCFStringEncodingUTF8 ? 3 : IsUTF16Encoding(encoding) ? 2 : 4;
    out.insert(0, out, 0, mark);
  }
  bytes.swap(out);
  return noErr;
}

// ---------------------------------------------------------------------------
// Text files

namespace {

// Windows Latin 1 from 0x80 to 0x9F as web browsers read it: the five bytes
// the code page leaves unassigned stand for the C1 controls of their value.
constexpr UniChar kWindowsLatin1High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

UniChar WindowsLatin1Unit(UInt8 b) { return b >= 0x80 && b < 0xA0 ? kWindowsLatin1High[b - 0x80] : UniChar(b); }

bool UnitToWindowsLatin1(UniChar c, UInt8* out) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    *out = UInt8(c);
    return true;
  }
  for (int i = 0; i < 32; ++i)
    if (kWindowsLatin1High[i] == c) {
      *out = UInt8(0x80 + i);
      return true;
    }
  return false;
}

bool IsEightBitFileEncoding(TextEncoding e) {
  return e == kCFStringEncodingMacRoman || e == kCFStringEncodingISOLatin1 || e == kCFStringEncodingWindowsLatin1;
}

bool IsOrderedWideEncoding(TextEncoding e) {
  return e == kCFStringEncodingUTF16BE || e == kCFStringEncodingUTF16LE || e == kCFStringEncodingUTF32BE ||
         e == kCFStringEncodingUTF32LE;
}

// The byte-order mark of an encoding, empty for those that have none.
std::string_view MarkOf(TextEncoding e) {
  switch (e) {
    case kCFStringEncodingUTF8: return std::string_view("\xEF\xBB\xBF", 3);
    case kCFStringEncodingUTF16BE: return std::string_view("\xFE\xFF", 2);
    case kCFStringEncodingUTF16LE: return std::string_view("\xFF\xFE", 2);
    case kCFStringEncodingUTF32BE: return std::string_view("\0\0\xFE\xFF", 4);
    case kCFStringEncodingUTF32LE: return std::string_view("\xFF\xFE\0\0", 4);
    default: return std::string_view();
  }
}

bool IsASCII(const UInt8* b, size_t n) { return __CFASCIIRunLength(b, n) == n; }

// Decodes in a Unicode form (the leading mark, when there is one, skipped).
bool DecodeUnicodeFile(const UInt8* b, size_t n, TextEncoding e, std::vector<UniChar>& out) {
  return WEDecodeText(b, n, e, weLineEndingKeep, out) == noErr;
}

// Every eight-bit encoding read here keeps ASCII as it is.
void DecodeEightBit(const UInt8* b, size_t n, TextEncoding e, std::vector<UniChar>& out, bool ascii = false) {
  out.reserve(n);
  AdviseLargeBlock(out.data(), out.capacity() * sizeof(UniChar));
  out.resize(n);
  if (ascii) {
    __CFWidenASCII(b, n, out.data());
  } else if (e == kCFStringEncodingWindowsLatin1) {
    for (size_t i = 0; i < n; ++i) out[i] = WindowsLatin1Unit(b[i]);
  } else if (e == kCFStringEncodingMacRoman) {
    for (size_t i = 0; i < n; ++i) out[i] = __CFMacRomanToUnicode(b[i]);
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = b[i];
  }
}

// The first line ending, whether others follow, and every one made a CR.
// Lines are long next to their ends: the units between are stepped over
// four at a time, and moved only once a CR LF has been folded.
void FoldLineEndings(std::vector<UniChar>& t, WETextFileFormat& format) {
  const WELineEnding first = WEDetectLineEnding(t.data(), t.size());
  format.endOfLine = first == weLineEndingKeep ? weEndOfLineLF : UInt32(first);
  format.mixedLineEndings = false;
  const size_t n = t.size();
  UniChar* p = t.data();
  size_t w = 0, r = 0;
  while (r < n) {
    size_t next = WESkipPlainUnits(p, r, n);
    while (next < n && p[next] != kCR && p[next] != kLF) ++next;
    if (next > r) {
      if (w != r) std::memmove(p + w, p + r, (next - r) * sizeof(UniChar));
      w += next - r;
      r = next;
    }
    if (r >= n) break;
    UInt32 kind = p[r] == kLF ? weEndOfLineLF : weEndOfLineCR;
    if (p[r] == kCR && r + 1 < n && p[r + 1] == kLF) {
      kind = weEndOfLineCRLF;
      ++r;
    }
    if (kind != format.endOfLine) format.mixedLineEndings = true;
    p[w++] = kCR;
    ++r;
  }
  t.resize(w);
}

}  // namespace

size_t WESkipPlainUnits(const UniChar* t, size_t from, size_t n) {
  // A word of four units holds one below 14 where the subtraction borrows
  // into a lane whose own top bit was clear.
  while (from + 4 <= n) {
    UInt64 word;
    std::memcpy(&word, t + from, sizeof word);
    if (((word - 0x000E000E000E000Eull) & ~word & 0x8000800080008000ull) != 0) break;
    from += 4;
  }
  return from;
}

OSStatus WEReadTextFile(const void* inBytes, ByteCount inByteCount, TextEncoding inHint, std::vector<UniChar>* outText,
                        WETextFileFormat* outFormat) {
  if (outText == nullptr || outFormat == nullptr || (inBytes == nullptr && inByteCount != 0)) return paramErr;
  const auto* b = static_cast<const UInt8*>(inBytes);
  const size_t n = size_t(inByteCount);
  std::vector<UniChar>& text = *outText;
  WETextFileFormat format;
  text.clear();
  bool done = false;
  // A mark names the encoding; UTF-32 LE before UTF-16 LE, whose mark begins it.
  for (TextEncoding e : {kCFStringEncodingUTF8, kCFStringEncodingUTF32LE, kCFStringEncodingUTF32BE,
                         kCFStringEncodingUTF16BE, kCFStringEncodingUTF16LE}) {
    const std::string_view mark = MarkOf(e);
    if (n < mark.size() || std::memcmp(b, mark.data(), mark.size()) != 0) continue;
    if (DecodeUnicodeFile(b, n, e, text)) {
      format.encoding = e;
      format.byteOrderMark = true;
      done = true;
      break;
    }
  }
  if (!done && IsOrderedWideEncoding(inHint) && DecodeUnicodeFile(b, n, inHint, text)) {
    format.encoding = inHint;
    done = true;
  }
  if (!done && n > 0 && IsASCII(b, n) && IsEightBitFileEncoding(inHint)) {
    DecodeEightBit(b, n, inHint, text, true);
    format.encoding = inHint;
    done = true;
  }
  if (!done) {
    text.clear();
    if (__CFDecodeUTF8(b, n, text)) {
      format.encoding = kCFStringEncodingUTF8;
      done = true;
    }
  }
  if (!done) {
    const TextEncoding e = IsEightBitFileEncoding(inHint) ? inHint : weDefaultEightBitEncoding;
    DecodeEightBit(b, n, e, text);
    format.encoding = e;
    // Text has no NUL; with bytes of no Unicode form it is a program or an image.
    format.notText = std::memchr(b, 0, std::min<size_t>(n, 8192)) != nullptr;
  }
  FoldLineEndings(text, format);
  *outFormat = format;
  return noErr;
}

OSStatus WEWriteTextFile(const UniChar* inText, ByteCount inCount, const WETextFileFormat* inFormat,
                         std::string* outBytes, ByteCount* outBadOffset) {
  if (outBytes == nullptr || inFormat == nullptr || (inText == nullptr && inCount != 0)) return paramErr;
  if (outBadOffset != nullptr) *outBadOffset = 0;
  outBytes->clear();
  const TextEncoding e = inFormat->encoding;
  const auto ending = WELineEnding(inFormat->endOfLine & weEndOfLineMask);
  std::string bytes;
  if (e == kCFStringEncodingWindowsLatin1) {
    bytes.reserve(size_t(inCount));
    for (size_t i = 0; i < size_t(inCount); ++i) {
      const UniChar c = inText[i];
      if ((c == kCR || c == kLF) && ending != weLineEndingKeep) {
        if (c == kCR && i + 1 < size_t(inCount) && inText[i + 1] == kLF) ++i;
        if (ending != weLineEndingLF) bytes.push_back('\r');
        if (ending != weLineEndingCR) bytes.push_back('\n');
        continue;
      }
      UInt8 byte = 0;
      if (!UnitToWindowsLatin1(c, &byte)) {
        if (outBadOffset != nullptr) *outBadOffset = i;
        return kTECUnmappableElementErr;
      }
      bytes.push_back(char(byte));
    }
  } else {
    size_t bad = 0;
    const OSStatus status = WEEncodeText(inText, size_t(inCount), e, ending, bytes, &bad);
    if (status != noErr) {
      if (outBadOffset != nullptr) *outBadOffset = bad;
      return status;
    }
  }
  // A text that begins with U+FEFF was written after a mark already.
  const std::string_view mark = MarkOf(e);
  if (inFormat->byteOrderMark && !mark.empty() && !(inCount > 0 && inText[0] == 0xFEFF)) bytes.insert(0, mark);
  outBytes->swap(bytes);
  return noErr;
}

// ---------------------------------------------------------------------------
// RTF: code pages of \'hh escapes and 8-bit bytes

namespace {

// The upper halves of the two DOS code pages RTF names (\pc, \pca).
constexpr UniChar kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr UniChar kCodePage850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

typedef std::array<UniChar, 256> ByteTable;

// A byte table from the string layer's own 8-bit encodings.
bool FillFromStringLayer(ByteTable& table, CFStringEncoding e) {
  for (int b = 0; b < 256; ++b) {
    UInt8 byte = UInt8(b);
    __CFUniChars one;
    table[b] = (__CFStringDecodeBytes(&byte, 1, e, false, one) && one.size() == 1) ? one[0] : kReplacement;
  }
  return true;
}

// The single-byte Windows code pages of other scripts, from the C library's
// converters where they are installed.
bool FillFromIconv(ByteTable& table, int codePage) {
  char name[16];
  std::snprintf(name, sizeof name, "CP%d", codePage);
  iconv_t cd = iconv_open("UTF-16LE", name);
  if (cd == iconv_t(-1)) return false;
  for (int b = 0; b < 256; ++b) {
    char in = char(b);
    char outBuf[16];
    char* inPtr = &in;
    size_t inLeft = 1;
    char* outPtr = outBuf;
    size_t outLeft = sizeof outBuf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r != size_t(-1)) iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // flush a held character
    size_t produced = sizeof outBuf - outLeft;
    table[b] = (r != size_t(-1) && produced == 2) ? UniChar(UInt8(outBuf[0]) | (UInt8(outBuf[1]) << 8))
                                                  : kReplacement;
  }
  iconv_close(cd);
  return true;
}

// The table of a Windows code page number; nil for pages that are not
// single-byte or not available (their bytes then read as U+FFFD).
const ByteTable* CodePageTable(int codePage) {
  static std::mutex lock;
  static std::map<int, ByteTable> tables;
  static std::map<int, bool> missing;
  std::lock_guard<std::mutex> guard(lock);
  if (auto it = tables.find(codePage); it != tables.end()) return &it->second;
  if (missing.count(codePage)) return nullptr;
  ByteTable table;
  bool ok = false;
  switch (codePage) {
    case 1252:
      ok = FillFromStringLayer(table, kCFStringEncodingWindowsLatin1);
      break;
    case 10000:
      ok = FillFromStringLayer(table, kCFStringEncodingMacRoman);
      break;
    case 28591:
      ok = FillFromStringLayer(table, kCFStringEncodingISOLatin1);
      break;
    case 437:
    case 850: {
      const UniChar* high = (codePage == 437) ? kCodePage437High : kCodePage850High;
      for (int b = 0; b < 256; ++b) table[b] = b < 0x80 ? UniChar(b) : high[b - 0x80];
      ok = true;
      break;
    }
    case 874:
    case 1250:
    case 1251:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
      ok = FillFromIconv(table, codePage);
      break;
    default:
      break;
  }
  if (!ok) {
    missing[codePage] = true;
    return nullptr;
  }
  return &tables.emplace(codePage, table).first->second;
}

// \fcharsetN -> code page; 0 for "the document's".
int CharsetCodePage(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;  // symbol, default and the double-byte pages
  }
}

// ---------------------------------------------------------------------------
// RTF reader

enum class Dest : UInt8 { Text, Skip, FontTable, ColorTable };

struct GroupState {
  Dest dest = Dest::Text;
  int font = -1;  // font number; -1: none
  int halfPoints = 24;
  int color = 0;  // colour table index; 0: automatic
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int uc = 1;  // fallback characters after \uN
};

struct FontEntry {
  std::vector<UniChar> name;
  bool closed = false;  // its ';' has been read
  int codePage = 0;
  std::string utf8;  // the trimmed name, made when first asked for
  bool converted = false;
};

struct ColorEntry {
  bool automatic = true;
  UInt8 red = 0, green = 0, blue = 0;
};

enum class Kw : UInt8 {
  Rtf, Ansi, Mac, Pc, Pca, AnsiCpg, Deff, FontTable, ColorTable, Fcharset, Cpg, Red, Green, Blue,
  F, Fs, Cf, B, I, Ul, UlNone, Plain, U, Uc, Bin, Par, Line, Tab, Cell, Row, Ud, Upr, SkipDest,
  Char,  // a word that stands for one character (value in the table)
};

struct KwInfo {
  Kw kind;
  UniChar ch;
};

const std::unordered_map<std::string_view, KwInfo>& Keywords() {
  static const std::unordered_map<std::string_view, KwInfo> table = [] {
    std::unordered_map<std::string_view, KwInfo> t;
    auto add = [&](std::string_view w, Kw k, UniChar c = 0) { t.emplace(w, KwInfo{k, c}); };
    add("rtf", Kw::Rtf);
    add("ansi", Kw::Ansi);
    add("mac", Kw::Mac);
    add("pc", Kw::Pc);
    add("pca", Kw::Pca);
    add("ansicpg", Kw::AnsiCpg);
    add("deff", Kw::Deff);
    add("fonttbl", Kw::FontTable);
    add("colortbl", Kw::ColorTable);
    add("fcharset", Kw::Fcharset);
    add("cpg", Kw::Cpg);
    add("red", Kw::Red);
    add("green", Kw::Green);
    add("blue", Kw::Blue);
    add("f", Kw::F);
    add("fs", Kw::Fs);
    add("cf", Kw::Cf);
    add("b", Kw::B);
    add("i", Kw::I);
    add("ul", Kw::Ul);
    for (std::string_view w : {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash",
                               "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash",
                               "ululdbwave", "ulw", "ulwave"})
      add(w, Kw::Ul);
    add("ulnone", Kw::UlNone);
    add("plain", Kw::Plain);
    add("u", Kw::U);
    add("uc", Kw::Uc);
    add("bin", Kw::Bin);
    add("par", Kw::Par);
    add("sect", Kw::Par);
    add("page", Kw::Par);
    add("line", Kw::Line);
    add("tab", Kw::Tab);
    add("cell", Kw::Cell);
    add("nestcell", Kw::Cell);
    add("row", Kw::Row);
    add("nestrow", Kw::Row);
    add("ud", Kw::Ud);
    add("upr", Kw::Upr);
    add("emdash", Kw::Char, 0x2014);
    add("endash", Kw::Char, 0x2013);
    add("bullet", Kw::Char, 0x2022);
    add("lquote", Kw::Char, 0x2018);
    add("rquote", Kw::Char, 0x2019);
    add("ldblquote", Kw::Char, 0x201C);
    add("rdblquote", Kw::Char, 0x201D);
    add("emspace", Kw::Char, 0x2003);
    add("enspace", Kw::Char, 0x2002);
    add("qmspace", Kw::Char, 0x2005);
    add("zwj", Kw::Char, 0x200D);
    add("zwnj", Kw::Char, 0x200C);
    add("ltrmark", Kw::Char, 0x200E);
    add("rtlmark", Kw::Char, 0x200F);
    // Destinations whose content is not part of the text.
    for (std::string_view w :
         {"stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf", "footer",
          "footerl", "footerr", "footerf", "footnote", "annotation", "fldinst", "xe", "tc", "txe", "rxe",
          "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl", "themedata",
          "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "pgdsctbl", "nonshppict", "shp",
          "shpinst", "comment", "template", "docvar", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
          "aftncn", "bkmkstart", "bkmkend", "generator", "mmathPr", "userprops", "operator", "author",
          "title", "subject", "keywords", "doccomm", "company", "creatim", "revtim", "printim", "buptim",
          "hlinkbase", "atnid", "atnauthor", "atnref", "atndate", "atnicn", "pn", "pntxta", "pntxtb"})
      add(w, Kw::SkipDest);
    return t;
  }();
  return table;
}

constexpr size_t kMaxDepth = 512;
constexpr int kMaxWordLength = 32;
// The engine keeps every family name it meets for the life of the process;
// one document may add this many, and its runs in further fonts name none.
constexpr size_t kMaxFontNames = 1024;

class RTFReader {
 public:
  RTFReader(const UInt8* b, size_t n, WECodecText& out) : b_(b), n_(n), out_(out) {}

  OSStatus Run() {
    size_t i = 0;
    while (i < n_ && (b_[i] == ' ' || b_[i] == '\t' || b_[i] == '\r' || b_[i] == '\n')) ++i;
    if (n_ - i < 5 || std::memcmp(b_ + i, "{\\rtf", 5) != 0) return kTextMalformedInputErr;
    stack_.reserve(32);
    stack_.push_back(GroupState{});
    i_ = i + 1;
    while (i_ < n_ && !stack_.empty()) {
      UInt8 c = b_[i_];
      if (c == '{') {
        if (stack_.size() >= kMaxDepth) return kTextMalformedInputErr;
        stack_.push_back(stack_.back());
        skip_ = 0;
        star_ = false;
        ++i_;
      } else if (c == '}') {
        EndGroup();
        skip_ = 0;
        star_ = false;
        ++i_;
      } else if (c == '\\') {
        ++i_;
        Control();
      } else if (c == '\r' || c == '\n' || c == 0) {
        ++i_;  // source line breaks are not text
      } else {
        ++i_;
        star_ = false;
        Byte(c);
      }
    }
    // A document cut short keeps what was read; tables still open are closed.
    while (stack_.size() > 1) EndGroup();
    Finish();
    return noErr;
  }

 private:
  GroupState& State() { return stack_.back(); }

  void EndGroup() {
    GroupState leaving = stack_.back();
    stack_.pop_back();
    if (stack_.empty()) last_ = leaving;  // the style in force at the document's end
    if (leaving.dest == Dest::ColorTable && (stack_.empty() || stack_.back().dest != Dest::ColorTable) &&
        pendingColor_) {
      colors_.push_back(color_);
      pendingColor_ = false;
      color_ = ColorEntry{};
    }
    dirty_ = true;
  }

  // Consumes one fallback character after \uN; true when this one was it.
  bool Skipping() {
    if (skip_ <= 0) return false;
    --skip_;
    return true;
  }

  int CodePageNow() {
    const GroupState& s = State();
    if (s.font >= 0) {
      auto it = fonts_.find(s.font);
      if (it != fonts_.end() && it->second.codePage != 0) return it->second.codePage;
    }
    return docCodePage_;
  }

  void Byte(UInt8 c) {
    if (Skipping()) return;
    if (c < 0x80) {
      if (c == '\t') {
        Emit(kTab);
      } else if (c >= 0x20) {
        Emit(UniChar(c));
      }
      return;
    }
    const ByteTable* table = CodePageTable(CodePageNow());
    Emit(table ? (*table)[c] : kReplacement);
  }

  void Emit(UniChar ch) {
    GroupState& s = State();
    switch (s.dest) {
      case Dest::Skip:
        return;
      case Dest::FontTable: {
        FontEntry& f = fonts_[s.font];
        if (f.closed) return;
        if (ch == ';' && !escapedChar_) {
          f.closed = true;
        } else {
          f.name.push_back(ch);
        }
        return;
      }
      case Dest::ColorTable:
        if (ch == ';' && !escapedChar_) {
          colors_.push_back(color_);
          color_ = ColorEntry{};
          pendingColor_ = false;
        }
        return;
      case Dest::Text:
        break;
    }
    if (dirty_) {
      WECodecStyle style = Resolve();
      auto& runs = out_.runs;
      UInt32 at = UInt32(out_.text.size());
      if (runs.empty()) {
        runs.push_back(WECodecRun{at, std::move(style)});
      } else if (runs.back().style != style) {
        if (runs.back().start == at) {
          runs.back().style = std::move(style);
          if (runs.size() > 1 && runs[runs.size() - 2].style == runs.back().style) runs.pop_back();
        } else {
          runs.push_back(WECodecRun{at, std::move(style)});
        }
      }
      dirty_ = false;
    }
    out_.text.push_back(ch);
  }

  const std::string& FontName(int number) {
    static const std::string none;
    auto it = fonts_.find(number);
    if (it == fonts_.end()) return none;
    FontEntry& f = it->second;
    if (!f.converted) {
      size_t a = 0, e = f.name.size();
      while (a < e && (f.name[a] == ' ' || f.name[a] == kTab)) ++a;
      while (e > a && (f.name[e - 1] == ' ' || f.name[e - 1] == kTab)) --e;
      __CFAppendUTF8(f.utf8, f.name.data() + a, e - a);
      f.converted = true;
    }
    return f.utf8;
  }

  WECodecStyle Resolve() {
    const GroupState& s = State();
    WECodecStyle style;
    if (s.font >= 0) {
      const std::string& name = FontName(s.font);
      if (!name.empty() && (fontNamesUsed_.count(name) != 0 ||
                            (fontNamesUsed_.size() < kMaxFontNames && fontNamesUsed_.insert(name).second)))
        style.fontName = name;
    }
    style.size = Fixed(s.halfPoints) * 32768;
    if (s.color > 0 && size_t(s.color) < colors_.size() && !colors_[s.color].automatic) {
      const ColorEntry& c = colors_[s.color];
      style.color = RGBColor{UInt16(c.red * 257), UInt16(c.green * 257), UInt16(c.blue * 257)};
    }
    style.bold = s.bold;
    style.italic = s.italic;
    style.underline = s.underline;
    return style;
  }

  void Finish() {
    if (out_.runs.empty()) {
      if (stack_.empty()) stack_.push_back(last_);
      out_.runs.push_back(WECodecRun{0, Resolve()});
    }
  }

  static int HexValue(UInt8 c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void Control() {
    if (i_ >= n_) return;  // a lone backslash at the end
    UInt8 c = b_[i_];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      size_t start = i_;
      while (i_ < n_ && ((b_[i_] >= 'a' && b_[i_] <= 'z') || (b_[i_] >= 'A' && b_[i_] <= 'Z'))) ++i_;
      std::string_view word(reinterpret_cast<const char*>(b_ + start), i_ - start);
      bool hasParam = false;
      long long value = 0;
      bool negative = false;
      if (i_ + 1 < n_ && b_[i_] == '-' && b_[i_ + 1] >= '0' && b_[i_ + 1] <= '9') {
        negative = true;
        ++i_;
      }
      while (i_ < n_ && b_[i_] >= '0' && b_[i_] <= '9') {
        hasParam = true;
        if (value <= INT_MAX) value = value * 10 + (b_[i_] - '0');  // huge numbers stop growing
        ++i_;
      }
      if (value > INT_MAX) value = INT_MAX;
      if (negative) value = -value;
      if (i_ < n_ && b_[i_] == ' ') ++i_;
      Word(word.size() > size_t(kMaxWordLength) ? std::string_view() : word, hasParam, int(value));
      return;
    }
    ++i_;
    star_ = false;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        if (!Skipping()) Emit(c);
        return;
      case '\'': {
        if (i_ + 2 > n_) {
          i_ = n_;  // cut in the middle of the escape
          return;
        }
        int hi = HexValue(b_[i_]), lo = HexValue(b_[i_ + 1]);
        if (hi < 0 || lo < 0) return;  // not an escape: its characters read as text
        i_ += 2;
        if (Skipping()) return;
        UInt8 byte = UInt8(hi * 16 + lo);
        escapedChar_ = true;
        if (byte < 0x80) {
          Emit(byte == '\t' ? kTab : UniChar(byte));
        } else {
          const ByteTable* table = CodePageTable(CodePageNow());
          Emit(table ? (*table)[byte] : kReplacement);
        }
        escapedChar_ = false;
        return;
      }
      case '~':
        if (!Skipping()) Emit(0x00A0);
        return;
      case '_':
        if (!Skipping()) Emit(0x2011);
        return;
      case '-':
        Skipping();  // an optional hyphen shows nothing
        return;
      case '*':
        star_ = true;
        return;
      case '\r':
      case '\n':
        if (!Skipping()) Emit(kCR);
        return;
      default:
        Skipping();
        return;
    }
  }

  void Word(std::string_view word, bool hasParam, int value) {
    const bool starred = star_;
    star_ = false;
    GroupState& s = State();
    auto it = word.empty() ? Keywords().end() : Keywords().find(word);
    const Kw kind = it == Keywords().end() ? Kw::SkipDest : it->second.kind;
    if (it != Keywords().end() && kind == Kw::Bin) {
      size_t count = (hasParam && value > 0) ? size_t(value) : 0;
      i_ += std::min(count, n_ - i_);
      Skipping();  // binary data counts as one fallback character
      return;
    }
    // A control word also counts as one fallback character after \uN.
    if (Skipping()) return;
    if (it == Keywords().end()) {
      // An unknown destination marked as optional is skipped whole; any
      // other unknown word is ignored.
      if (starred) s.dest = Dest::Skip;
      return;
    }
    if (kind == Kw::Ud) {
      // The Unicode half of a {\upr ...} pair is the one to show.
      if (s.dest == Dest::Skip) s.dest = Dest::Text;
      return;
    }
    if (starred && kind != Kw::FontTable && kind != Kw::ColorTable) {
      s.dest = Dest::Skip;
      return;
    }
    if (s.dest == Dest::Skip) return;
    switch (kind) {
      case Kw::Rtf:
        return;
      case Kw::Ansi:
        docCodePage_ = 1252;
        return;
      case Kw::Mac:
        docCodePage_ = 10000;
        return;
      case Kw::Pc:
        docCodePage_ = 437;
        return;
      case Kw::Pca:
        docCodePage_ = 850;
        return;
      case Kw::AnsiCpg:
        if (hasParam) docCodePage_ = value;
        return;
      case Kw::Deff:
        if (hasParam && value >= 0) {
          defaultFont_ = value;
          if (s.dest == Dest::Text) s.font = value;
          dirty_ = true;
        }
        return;
      case Kw::FontTable:
        s.dest = Dest::FontTable;
        s.font = -1;
        return;
      case Kw::ColorTable:
        s.dest = Dest::ColorTable;
        color_ = ColorEntry{};
        pendingColor_ = false;
        return;
      case Kw::Fcharset:
      case Kw::Cpg:
        if (s.dest == Dest::FontTable && hasParam) {
          int page = kind == Kw::Cpg ? value : CharsetCodePage(value);
          if (page != 0) fonts_[s.font].codePage = page;
        }
        return;
      case Kw::Red:
      case Kw::Green:
      case Kw::Blue:
        if (s.dest == Dest::ColorTable) {
          UInt8 v = UInt8(std::clamp(hasParam ? value : 0, 0, 255));
          (kind == Kw::Red ? color_.red : kind == Kw::Green ? color_.green : color_.blue) = v;
          color_.automatic = false;
          pendingColor_ = true;
        }
        return;
      case Kw::F:
        if (!hasParam) return;
        s.font = value;
        if (s.dest == Dest::FontTable) fonts_[value];  // a new entry
        dirty_ = true;
        return;
      case Kw::Fs:
        if (hasParam && value > 0) {
          s.halfPoints = std::min(value, 65534);
          dirty_ = true;
        }
        return;
      case Kw::Cf:
        s.color = hasParam ? std::max(value, 0) : 0;
        dirty_ = true;
        return;
      case Kw::B:
        s.bold = !hasParam || value != 0;
        dirty_ = true;
        return;
      case Kw::I:
        s.italic = !hasParam || value != 0;
        dirty_ = true;
        return;
      case Kw::Ul:
        s.underline = !hasParam || value != 0;
        dirty_ = true;
        return;
      case Kw::UlNone:
        s.underline = false;
        dirty_ = true;
        return;
      case Kw::Plain:
        s.font = defaultFont_;
        s.halfPoints = 24;
        s.color = 0;
        s.bold = s.italic = s.underline = false;
        dirty_ = true;
        return;
      case Kw::Uc:
        if (hasParam) s.uc = std::max(value, 0);
        return;
      case Kw::U: {
        if (!hasParam) return;
        long v = value;
        if (v < 0) v += 65536;
        if (v >= 0 && v <= 0xFFFF) Emit(UniChar(v));
        skip_ = State().uc;
        return;
      }
      case Kw::Par:
      case Kw::Line:
      case Kw::Row:
        Emit(kCR);
        return;
      case Kw::Tab:
      case Kw::Cell:
        Emit(kTab);
        return;
      case Kw::Char:
        Emit(it->second.ch);
        return;
      case Kw::Upr:
      case Kw::SkipDest:
        s.dest = Dest::Skip;
        return;
      case Kw::Bin:
      case Kw::Ud:
        return;
    }
  }

  const UInt8* b_;
  size_t n_;
  size_t i_ = 0;
  WECodecText& out_;
  std::vector<GroupState> stack_;
  GroupState last_;
  std::map<int, FontEntry> fonts_;
  std::unordered_set<std::string> fontNamesUsed_;
  std::vector<ColorEntry> colors_;
  ColorEntry color_;
  bool pendingColor_ = false;
  int docCodePage_ = 1252;
  int defaultFont_ = -1;
  int skip_ = 0;
  bool star_ = false;
  bool dirty_ = true;
  bool escapedChar_ = false;
};

// ---------------------------------------------------------------------------
// RTF writer

void AppendUnicodeEscape(std::string& out, UniChar c) {
  char buf[16];
  int v = c > 32767 ? int(c) - 65536 : int(c);
  std::snprintf(buf, sizeof buf, "\\u%d?", v);
  out += buf;
}

void AppendFontName(std::string& out, const std::string& utf8) {
  __CFUniChars name;
  if (!__CFDecodeUTF8(reinterpret_cast<const UInt8*>(utf8.data()), utf8.size(), name)) {
    name.clear();  // not UTF-8: keep every byte as the Latin 1 character of its value
    for (unsigned char ch : utf8) name.push_back(ch);
  }
  for (UniChar c : name) {
    if (c == ';') {
      out += "\\'3b";  // a literal ';' would end the entry
    } else if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += char(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      AppendUnicodeEscape(out, c);
    }
  }
}

UInt8 Channel8(UInt16 v) { return UInt8((UInt32(v) * 255 + 32767) / 65535); }

struct ColorKey {
  UInt8 r, g, b;
  bool operator<(const ColorKey& o) const {
    return std::tie(r, g, b) < std::tie(o.r, o.g, o.b);
  }
};

}  // namespace

OSStatus WEReadRTF(const void* bytes, size_t byteCount, WECodecText& out) {
  out.text.clear();
  out.runs.clear();
  if (bytes == nullptr && byteCount != 0) return paramErr;
  RTFReader reader(static_cast<const UInt8*>(bytes), byteCount, out);
  OSStatus status = reader.Run();
  if (status != noErr) {
    out.text.clear();
    out.runs.clear();
  }
  return status;
}

OSStatus WEWriteRTF(const WECodecText& in, std::string& rtf) {
  rtf.clear();
  const size_t n = in.text.size();
  const auto& runs = in.runs;
  if (!runs.empty() && runs.front().start != 0) return paramErr;
  for (size_t k = 0; k < runs.size(); ++k) {
    if (runs[k].start > n) return paramErr;
    if (k > 0 && runs[k].start < runs[k - 1].start) return paramErr;
  }

  // A write of what was read must read and write the same again, so only
  // runs that write text are written: not an empty one, nor the LF of a CR
  // LF pair whose CR ended the run before. The one style of an empty text
  // is written.
  std::vector<const WECodecRun*> written;
  for (size_t k = 0; k < runs.size(); ++k) {
    const size_t from = runs[k].start;
    const size_t to = (k + 1 < runs.size()) ? runs[k + 1].start : n;
    const bool halfAPair = to == from + 1 && from > 0 && in.text[from] == kLF && in.text[from - 1] == kCR;
    if ((from == to || halfAPair) && !(n == 0 && k + 1 == runs.size())) continue;
    written.push_back(&runs[k]);
  }

  // Tables of the fonts and colours in first-use order.
  std::vector<const std::string*> fonts;
  std::map<std::string, int> fontIndex;
  std::vector<ColorKey> colors;
  std::map<ColorKey, int> colorIndex;
  for (const WECodecRun* run : written) {
    const WECodecStyle& s = run->style;
    if (!s.fontName.empty() && fontIndex.emplace(s.fontName, int(fonts.size())).second)
      fonts.push_back(&s.fontName);
    ColorKey key{Channel8(s.color.red), Channel8(s.color.green), Channel8(s.color.blue)};
    if (colorIndex.emplace(key, int(colors.size()) + 1).second) colors.push_back(key);
  }

  std::string out;
  out.reserve(n + n / 8 + 256);
  out += "{\\rtf1\\ansi\\ansicpg1252\\uc1\n";
  char buf[96];
  if (!fonts.empty()) {
    out += "{\\fonttbl";
    for (size_t k = 0; k < fonts.size(); ++k) {
      std::snprintf(buf, sizeof buf, "{\\f%zu\\fnil\\fcharset0 ", k);
      out += buf;
      AppendFontName(out, *fonts[k]);
      out += ";}";
    }
    out += "}\n";
  }
  if (!colors.empty()) {
    out += "{\\colortbl;";
    for (const ColorKey& c : colors) {
      std::snprintf(buf, sizeof buf, "\\red%d\\green%d\\blue%d;", c.r, c.g, c.b);
      out += buf;
    }
    out += "}\n";
  }
  out += "\\pard";

  auto writeStyle = [&](const WECodecStyle& s) {
    out += "\\plain";
    if (!s.fontName.empty()) {
      std::snprintf(buf, sizeof buf, "\\f%d", fontIndex[s.fontName]);
      out += buf;
    }
    long long half = (static_cast<long long>(s.size) + 16384) / 32768;
    half = std::clamp<long long>(half, 1, 65534);
    ColorKey key{Channel8(s.color.red), Channel8(s.color.green), Channel8(s.color.blue)};
    std::snprintf(buf, sizeof buf, "\\fs%lld\\cf%d", half, colorIndex[key]);
    out += buf;
    if (s.bold) out += "\\b";
    if (s.italic) out += "\\i";
    if (s.underline) out += "\\ul";
    out += ' ';
  };

  bool afterCR = false;
  auto writeText = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      UniChar c = in.text[i];
      if (c == kLF && afterCR) {  // the second half of a CR LF pair
        afterCR = false;
        continue;
      }
      afterCR = (c == kCR);
      if (c == kCR || c == kLF) {
        out += "\\par\n";
      } else if (c == kTab) {
        out += "\\tab ";
      } else if (c == '\\' || c == '{' || c == '}') {
        out += '\\';
        out += char(c);
      } else if (c >= 0x20 && c < 0x7F) {
        out += char(c);
      } else {
        AppendUnicodeEscape(out, c);
      }
    }
  };

  if (runs.empty()) {
    out += ' ';
    writeText(0, n);
  } else {
    // A style already in force is not stated again.
    const WECodecStyle* inForce = nullptr;
    for (size_t k = 0; k < written.size(); ++k) {
      const size_t from = written[k]->start;
      const size_t to = (k + 1 < written.size()) ? written[k + 1]->start : n;
      if (inForce == nullptr || *inForce != written[k]->style) writeStyle(written[k]->style);
      inForce = &written[k]->style;
      writeText(from, to);
    }
  }
  out += "}\n";
  rtf.swap(out);
  return noErr;
}
