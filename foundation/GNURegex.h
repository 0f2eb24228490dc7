// GNURegex: one-call POSIX regular expressions over the regexc handle. Each
// call compiles its pattern anew; callers that match one pattern many times
// keep a handle from NewRegEx and call MatchRegExFrom repeatedly (and
// DisposeRegEx it, also when it did not compile).
//
// Positions are 1-based in the subject. Texts are Mac Roman bytes and every
// byte is one character, whatever the process's locale. Captured texts are
// taken from the subject cut to 255 characters, so a capture beyond the
// 255th character keeps its positions but its text is cut or empty.
#pragma once

#include <array>
#include <string>

#include "ShortString.h"
#include "regexc.h"

// Entry 0: the subject (cut to 255); entries 1..11: groups 1..11. Groups
// beyond the 11th are dropped.
using RegexSubExpressions = std::array<Str255, 12>;

struct RegexExpressionInfo {
  Str255 text;
  SInt32 start;  // 1-based; 0 for an empty entry
  SInt32 end;    // start + length - 1
};

// Entry 0: the subject in its text, zero positions; entries 1..11: groups.
using RegexSubExpressionsExtended = std::array<RegexExpressionInfo, 12>;

// Compiles pattern; handle.errortext is the library's message when it did not
// compile (nil otherwise).
void NewRegEx(RegExType& handle, const char* pattern, Boolean extended, Boolean ignoreCase, Boolean newline);
Boolean MatchRegEx(RegExType& handle, const std::string& text, Boolean notBOL, Boolean notEOL);
// A start other than 1 is never the beginning of a line: "^" does not match there.
Boolean MatchRegExFrom(RegExType& handle, const std::string& text, Boolean notBOL, Boolean notEOL, SInt16 from);
// Start and length of a group of the last match, clamped to 0..32767.
void GetMatchRegEx(const RegExType& handle, SInt16 index, SInt16& start, SInt16& length);

// 1-based position of the first match at or after from (clamped to 32767); 0
// when the pattern does not compile or does not match.
SInt16 RegExPosFrom(const std::string& pattern, Boolean extended, Boolean ignoreCase, const std::string& text,
                    SInt32 from);
// Extended, case-sensitive, newline off.
Boolean RegExMatch(const std::string& pattern, const std::string& text);
Boolean RegEx(const std::string& pattern, const std::string& text, RegexSubExpressions& result);
Boolean RegExExtended(const std::string& pattern, const std::string& text, RegexSubExpressionsExtended& result);
Boolean RegExWithOptions(const std::string& pattern, const std::string& text, Boolean extended, Boolean ignoreCase,
                         Boolean newline, SInt32 from, RegexSubExpressionsExtended& result);
// The subject (cut to 255) with the text of group 1 of the first match
// replaced; empty when the pattern does not match; the subject unchanged when
// group 1 took no part in the match.
Str255 RegExReplace(const std::string& pattern, const std::string& text, const std::string& replacement);
// Makes the capture functions print what they found to standard output.
void RegExSetDisplayResults(Boolean on);

namespace GNURegex {
void AppendStringCharacter(Str255& s, unsigned char c);
// Characters first..last (1-based, inclusive), clamped to the string.
Str255 GetStringRange(const Str255& s, SInt32 first, SInt32 last);
}  // namespace GNURegex
