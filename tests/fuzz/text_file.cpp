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

bool StartsWithMark(const std::string& bytes) {
  for (const std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFE\xFF"),
                                      std::string_view("\xFF\xFE"), std::string_view("\0\0\xFE\xFF", 4)})
    if (bytes.compare(0, mark.size(), mark) == 0) return true;
  return false;
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
  // An 8-bit text that begins with the bytes of a byte-order mark reads back
  // as Unicode once its new length allows it (the mark decides): left to the
  // reader's rule.
  if (!format.byteOrderMark && StartsWithMark(written)) return 0;
  std::vector<UniChar> again;
  WETextFileFormat againFormat;
  if (WEReadTextFile(written.data(), written.size(), format.encoding, &again, &againFormat) != noErr || again != text ||
      againFormat.mixedLineEndings || againFormat.encoding != format.encoding ||
      againFormat.byteOrderMark != format.byteOrderMark || againFormat.endOfLine != format.endOfLine)
    fuzz::Fail("a file of mixed line endings, written, reads back otherwise");
  return 0;
}
