#include "GNURegex.h"

#include <atomic>
#include <climits>
#include <cstdio>

namespace {

std::atomic<bool> gDisplayResults{false};

int32_t ClampedLength(size_t n) { return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n); }

SInt16 ClampTo16(int32_t v) { return SInt16(v < 0 ? 0 : (v > SHRT_MAX ? SHRT_MAX : v)); }

void Compile(RegExType& handle, const std::string& pattern, Boolean extended, Boolean ignoreCase, Boolean newline) {
  CNewRegEx(&handle, pattern.data(), ClampedLength(pattern.size()), extended, ignoreCase, newline);
  handle.errortext = handle.error;
}

// Any start but the first position is not the beginning of a line.
Boolean MatchFrom(RegExType& handle, const std::string& text, Boolean notBOL, Boolean notEOL, int32_t from) {
  return CMatchRegExFrom(&handle, text.data(), ClampedLength(text.size()), notBOL || from != 1, notEOL, from) != 0;
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The shared body of the capture functions; extended may be nil.
Boolean Capture(const std::string& pattern, const std::string& text, Boolean extendedSyntax, Boolean ignoreCase,
                Boolean newline, int32_t from, RegexSubExpressions* plain, RegexSubExpressionsExtended* extended) {
  const Str255 subject{std::string_view(text)};
  if (plain) {
    plain->fill(Str255());
    (*plain)[0] = subject;
  }
  if (extended) {
    extended->fill(RegexExpressionInfo{Str255(), 0, 0});
    (*extended)[0].text = subject;
  }

  RegExType handle;
  Compile(handle, pattern, extendedSyntax, ignoreCase, newline);
  if (handle.errortext != nullptr) {
    DisposeRegEx(&handle);
    return false;
  }
  Boolean matched = MatchFrom(handle, text, false, false, from);
  if (matched) {
    const bool display = gDisplayResults.load(std::memory_order_relaxed);
    if (display) PrintLine("got match");
    // The records hold 11 groups; further groups are dropped.
    const int32_t groups = handle.groups < 11 ? handle.groups : 11;
    for (int32_t i = 1; i <= groups; ++i) {
      int32_t start = 0, length = 0;
      CGetMatchRegEx(&handle, i, &start, &length);
      if (length <= 0) continue;
      const int32_t end = start + length - 1;
      Str255 captured = GNURegex::GetStringRange(subject, start, end);
      if (plain) (*plain)[i] = captured;
      if (extended) (*extended)[i] = RegexExpressionInfo{captured, start, end};
      if (display) {
        PrintLine("got capture: " + captured.str() + " (" + std::to_string(start) + "," + std::to_string(end) + ")");
      }
    }
  }
  DisposeRegEx(&handle);
  return matched;
}

}  // namespace

void NewRegEx(RegExType& handle, const char* pattern, Boolean extended, Boolean ignoreCase, Boolean newline) {
  Compile(handle, pattern ? std::string(pattern) : std::string(), extended, ignoreCase, newline);
}

Boolean MatchRegEx(RegExType& handle, const std::string& text, Boolean notBOL, Boolean notEOL) {
  return MatchFrom(handle, text, notBOL, notEOL, 1);
}

Boolean MatchRegExFrom(RegExType& handle, const std::string& text, Boolean notBOL, Boolean notEOL, SInt16 from) {
  return MatchFrom(handle, text, notBOL, notEOL, from);
}

void GetMatchRegEx(const RegExType& handle, SInt16 index, SInt16& start, SInt16& length) {
  int32_t s = 0, n = 0;
  CGetMatchRegEx(&handle, index, &s, &n);
  start = ClampTo16(s);
  length = ClampTo16(n);
}

SInt16 RegExPosFrom(const std::string& pattern, Boolean extended, Boolean ignoreCase, const std::string& text,
                    SInt32 from) {
  RegExType handle;
  Compile(handle, pattern, extended, ignoreCase, false);
  int32_t start = 0;
  if (handle.errortext == nullptr && MatchFrom(handle, text, false, false, from))
    CGetMatchRegEx(&handle, 0, &start, nullptr);
  DisposeRegEx(&handle);
  return ClampTo16(start);
}

Boolean RegExMatch(const std::string& pattern, const std::string& text) {
  RegExType handle;
  Compile(handle, pattern, true, false, false);
  Boolean matched = handle.errortext == nullptr && MatchFrom(handle, text, false, false, 1);
  DisposeRegEx(&handle);
  return matched;
}

Boolean RegEx(const std::string& pattern, const std::string& text, RegexSubExpressions& result) {
  return Capture(pattern, text, true, false, false, 1, &result, nullptr);
}

Boolean RegExExtended(const std::string& pattern, const std::string& text, RegexSubExpressionsExtended& result) {
  return Capture(pattern, text, true, false, false, 1, nullptr, &result);
}

Boolean RegExWithOptions(const std::string& pattern, const std::string& text, Boolean extended, Boolean ignoreCase,
                         Boolean newline, SInt32 from, RegexSubExpressionsExtended& result) {
  return Capture(pattern, text, extended, ignoreCase, newline, from, nullptr, &result);
}

Str255 RegExReplace(const std::string& pattern, const std::string& text, const std::string& replacement) {
  RegExType handle;
  Compile(handle, pattern, true, false, false);
  int32_t start = 0, length = 0;
  Boolean matched = handle.errortext == nullptr && MatchFrom(handle, text, false, false, 1);
  if (matched) CGetMatchRegEx(&handle, 1, &start, &length);
  DisposeRegEx(&handle);
  if (!matched) return Str255();

  const Str255 subject{std::string_view(text)};
  if (start < 1) return subject;  // group 1 took no part in the match
  // A group past the cut subject lands at its end.
  Str255 result = GNURegex::GetStringRange(subject, 1, start - 1);
  result += Str255(std::string_view(replacement));
  result += GNURegex::GetStringRange(subject, int64_t(start) + length > INT32_MAX ? INT32_MAX : start + length,
                                     subject.len());
  return result;
}

void RegExSetDisplayResults(Boolean on) { gDisplayResults.store(on != 0, std::memory_order_relaxed); }

namespace GNURegex {

void AppendStringCharacter(Str255& s, unsigned char c) {
  if (s.len() < 255) s += c;
}

Str255 GetStringRange(const Str255& s, SInt32 first, SInt32 last) {
  if (first < 1) first = 1;
  if (last > s.len()) last = s.len();
  Str255 r;
  if (first > last) return r;
  r.Assign(reinterpret_cast<const char*>(s.data() + first), size_t(last - first + 1));
  return r;
}

}  // namespace GNURegex
