// Regular expressions a person types (the books search, find with patterns)
// and those of language files: any pattern, with any options, compiles or is
// refused and then matches any subject without a memory fault or a blow-up
// in time or memory. The first input byte holds the options; the pattern
// runs to the first NUL, the subject follows.
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "GNURegex.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string pattern = rest.substr(0, nul);
  const std::string subject = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

  RegExType handle{};
  NewRegEx(handle, pattern.c_str(), options & 1, options & 2, options & 4);
  if (handle.errortext == nullptr) {
    MatchRegExFrom(handle, subject, options & 8, options & 16, SInt16(1 + (options >> 5)));
    for (SInt16 group = 0; group < 12; ++group) {
      SInt16 start = 0, length = 0;
      GetMatchRegEx(handle, group, start, length);
    }
  }
  DisposeRegEx(&handle);
  RegexSubExpressionsExtended groups;
  RegExWithOptions(pattern, subject, options & 1, options & 2, options & 4, 1 + (options >> 5), groups);
  RegExReplace(pattern, subject, "<$1>");
  return 0;
}
