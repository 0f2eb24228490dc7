// RTF documents (styled text the editor reads and the clipboard brings): any
// bytes read without a memory fault or endless nesting; what was read writes
// out, and that reads back to the same text and runs.
#include <algorithm>

#include "FuzzSupport.h"
#include "WEFileCodec.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WECodecText read;
  if (WEReadRTF(data, size, read) != noErr) return 0;
  if (read.runs.empty()) fuzz::Fail("text read without a run");
  std::string rtf;
  if (WEWriteRTF(read, rtf) != noErr) fuzz::Fail("text just read does not write");
  WECodecText again;
  if (WEReadRTF(rtf.data(), rtf.size(), again) != noErr) fuzz::Fail("written RTF does not read");
  // The writer makes one paragraph mark of every CR, LF and CR LF, which
  // reads back as CR: a text that held LF (a \'0a escape) compares so.
  if (std::find(read.text.begin(), read.text.end(), UniChar('\n')) != read.text.end()) {
    std::vector<UniChar> expected = read.text;
    WEConvertLineEndings(expected, weLineEndingCR);
    if (again.text != expected) fuzz::Fail("written RTF reads back another text");
    return 0;
  }
  if (again.text != read.text) fuzz::Fail("written RTF reads back another text");
  // Run boundaries may merge where a style could not be written apart; the
  // text under each style must not change.
  auto styleAt = [](const WECodecText& t, size_t i) -> const WECodecStyle& {
    size_t r = 0;
    while (r + 1 < t.runs.size() && t.runs[r + 1].start <= i) ++r;
    return t.runs[r].style;
  };
  for (size_t i = 0; i < read.text.size() && i < 4096; ++i)
    if (styleAt(read, i).bold != styleAt(again, i).bold || styleAt(read, i).italic != styleAt(again, i).italic ||
        styleAt(read, i).underline != styleAt(again, i).underline)
      fuzz::Fail("written RTF reads back with another style");
  return 0;
}
