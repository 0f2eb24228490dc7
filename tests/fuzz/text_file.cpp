// Text files as documents read and write them: any bytes, with any encoding
// the document may name, are read as text with the format they were found
// in, and writing the text back in that format gives the file's bytes again
// (a text file of mixed line endings comes back with all of them the first,
// and then reads the same). The first input byte picks the encoding named;
// the rest is the file.
#include <vector>

#include "FuzzSupport.h"
#include "WASTE.h"

namespace {

// UTF-8 is what the editor names when the document names none.
const TextEncoding kHints[] = {kCFStringEncodingMacRoman,
                               kCFStringEncodingISOLatin1,
                               kCFStringEncodingWindowsLatin1,
                               kCFStringEncodingUTF8,
                               kCFStringEncodingUTF16BE,
                               kCFStringEncodingUTF16LE,
                               kCFStringEncodingUTF32BE,
                               kCFStringEncodingUTF32LE};

// The encoding a leading byte-order mark names (the longer marks first);
// 0 when the bytes begin with none.
TextEncoding MarkedEncoding(const std::string& bytes) {
  const struct {
    std::string_view mark;
    TextEncoding encoding;
  } kMarks[] = {{std::string_view("\0\0\xFE\xFF", 4), kCFStringEncodingUTF32BE},
                {std::string_view("\xFF\xFE\0\0", 4), kCFStringEncodingUTF32LE},
                {"\xEF\xBB\xBF", kCFStringEncodingUTF8},
                {"\xFE\xFF", kCFStringEncodingUTF16BE},
                {"\xFF\xFE", kCFStringEncodingUTF16LE}};
  for (const auto& m : kMarks)
    if (bytes.compare(0, m.mark.size(), m.mark) == 0) return m.encoding;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const TextEncoding hint = kHints[data[0] % std::size(kHints)];
  const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<UniChar> text;
  WETextFileFormat format;
  if (WEReadTextFile(file.data(), file.size(), hint, &text, &format) != noErr) return 0;
  std::string written;
  ByteCount bad = 0;
  if (WEWriteTextFile(text.data(), text.size(), &format, &written, &bad) != noErr)
    fuzz::Fail("text just read does not write in the format it was read in");
  if (!format.mixedLineEndings) {
    if (written != file) fuzz::Fail("a file read and written back is not byte for byte the same");
    return 0;
  }
  // A file that is not text is never written back; one that is reads back
  // in the encoding it was found in, which the document keeps.
  if (format.notText) return 0;
  // Text whose first bytes spell another encoding's byte-order mark (an
  // 8-bit text beginning with the bytes of one, UTF-16 LE beginning with a
  // NUL) reads back in that encoding once its new length allows it: the mark
  // decides, by the reader's rule.
  const TextEncoding marked = MarkedEncoding(written);
  if (marked != 0 && (!format.byteOrderMark || marked != format.encoding)) return 0;
  std::vector<UniChar> again;
  WETextFileFormat againFormat;
  if (WEReadTextFile(written.data(), written.size(), format.encoding, &again, &againFormat) != noErr || again != text ||
      againFormat.mixedLineEndings || againFormat.encoding != format.encoding ||
      againFormat.byteOrderMark != format.byteOrderMark || againFormat.endOfLine != format.endOfLine)
    fuzz::Fail("a file of mixed line endings, written, reads back otherwise");
  return 0;
}
