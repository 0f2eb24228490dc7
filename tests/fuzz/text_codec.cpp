// The text codec that files are read and written with: any bytes in any of
// its encodings decode without a memory fault; decoded text encodes, and
// what it encodes to decodes to the same text; in an encoding of one byte
// order with no mark in front, a file that decodes is written back byte for
// byte. The first input byte picks the encoding, the second the line ending.
#include <vector>

#include "FuzzSupport.h"
#include "WEFileCodec.h"

namespace {

struct Encoding {
  TextEncoding value;
  size_t markSize;  // the mark that reading skips (0: none is skipped)
  bool exact;       // bytes that decode come back as they were
};

const Encoding kEncodings[] = {
    {kCFStringEncodingMacRoman, 0, true},  {kCFStringEncodingISOLatin1, 0, true},
    {kCFStringEncodingWindowsLatin1, 0, true}, {kCFStringEncodingASCII, 0, true},
    {kCFStringEncodingUTF8, 3, true},      {kCFStringEncodingUTF16, 2, false},
    {kCFStringEncodingUTF16BE, 2, true},   {kCFStringEncodingUTF16LE, 2, true},
    {kCFStringEncodingUTF32, 4, false},    {kCFStringEncodingUTF32BE, 4, true},
    {kCFStringEncodingUTF32LE, 4, true},
};

bool StartsWithMark(const uint8_t* data, size_t size, TextEncoding e) {
  auto is = [&](std::initializer_list<uint8_t> mark) {
    return size >= mark.size() && std::equal(mark.begin(), mark.end(), data);
  };
  switch (e) {
    case kCFStringEncodingUTF8: return is({0xEF, 0xBB, 0xBF});
    case kCFStringEncodingUTF16BE: return is({0xFE, 0xFF});
    case kCFStringEncodingUTF16LE: return is({0xFF, 0xFE});
    case kCFStringEncodingUTF32BE: return is({0, 0, 0xFE, 0xFF});
    case kCFStringEncodingUTF32LE: return is({0xFF, 0xFE, 0, 0});
    default: return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const Encoding& encoding = kEncodings[data[0] % std::size(kEncodings)];
  const auto ending = WELineEnding(data[1] % 4);
  data += 2;
  size -= 2;

  std::vector<UniChar> text;
  if (WEDecodeText(data, size, encoding.value, ending, text) != noErr) {
    if (!text.empty()) fuzz::Fail("a refused decode left text");
    return 0;
  }
  WEDetectLineEnding(text.data(), text.size());
  std::string bytes;
  size_t bad = 0;
  if (WEEncodeText(text.data(), text.size(), encoding.value, weLineEndingKeep, bytes, &bad) != noErr)
    fuzz::Fail("decoded text does not encode in its own encoding");
  std::vector<UniChar> again;
  if (WEDecodeText(bytes.data(), bytes.size(), encoding.value, weLineEndingKeep, again) != noErr || again != text)
    fuzz::Fail("encoded text does not decode to the same text");
  if (ending == weLineEndingKeep && encoding.exact && !StartsWithMark(data, size, encoding.value) &&
      bytes != std::string(reinterpret_cast<const char*>(data), size))
    fuzz::Fail("a file that decodes is not written back byte for byte");
  return 0;
}
