#include "UnixCommon.h"

#include <cstdio>
#include <cstring>

#include "CFString.h"

namespace {
constexpr size_t kPiece = 24576;
}  // namespace

CFMutableStringRef CreateStringFromProcessOutput(std::string_view bytes) {
  CFMutableStringRef result = CFStringCreateMutable(nullptr, 0);
  if (bytes.empty()) return result;
  CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                             CFIndex(bytes.size()), kCFStringEncodingUTF8, false);
  if (text == nullptr)
    text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()),
                                   kCFStringEncodingMacRoman, false);
  if (text != nullptr) {
    CFStringAppend(result, text);
    CFRelease(text);
  }
  return result;
}

CFMutableStringRef ReadShellOutput(const std::string& command) {
  // Read whole, then decoded once: a character split between two pieces
  // must not turn into two bad bytes. fread keeps NUL bytes, unlike fgets.
  std::string output;
  if (FILE* f = popen(command.c_str(), "re")) {
    char piece[kPiece];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) output.append(piece, n);
    pclose(f);
  }
  return CreateStringFromProcessOutput(output);
}

Str255 ReadShell(const std::string& command) {
  Str255 result;
  FILE* f = popen(command.c_str(), "re");
  if (f == nullptr) return result;
  char bytes[255];
  size_t n = 0, got;
  while (n < sizeof bytes && (got = std::fread(bytes + n, 1, sizeof bytes - n, f)) > 0) n += got;
  pclose(f);
  const void* nul = std::memchr(bytes, 0, n);
  if (nul != nullptr) n = size_t(static_cast<const char*>(nul) - bytes);
  result.Assign(bytes, n);
  return result;
}

void DoShellCommand(const std::string& command) { ReadShell(command); }
