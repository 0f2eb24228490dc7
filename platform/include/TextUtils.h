// Text utilities of the toolbox: decimal numbers in short strings and case
// mapping of script text.
#pragma once

#include "MacTypes.h"

enum : ScriptCode { smSystemScript = -1, smCurrentScript = -2, smRoman = 0 };

// An optional sign then decimal digits; the number ends at the first other
// character. Values beyond the 32-bit range are clamped to it. A nil string
// gives 0.
void StringToNum(ConstStr255Param theString, long* theNum);
// Decimal text of the number into a short-string buffer (at least 21 bytes).
void NumToString(long theNum, StringPtr theString);

// Case mapping in place of len bytes. Roman text (smRoman, and the system or
// current script, which are Roman here) maps the Mac Roman letters, accented
// ones included; other scripts are left unchanged.
void LowercaseText(Ptr textPtr, SInt16 len, ScriptCode script);
void UppercaseText(Ptr textPtr, SInt16 len, ScriptCode script);
