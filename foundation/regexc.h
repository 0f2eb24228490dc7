/* regexc: the C layer under GNURegex. One handle record owns a compiled POSIX
   pattern, its match array and the compiler's message, and turns the
   library's 0-based offsets into 1-based positions in the whole subject.

   Subjects are counted byte strings (they may hold NUL bytes) of Mac Roman
   text; compiling and matching run under the "C" locale whatever the
   process's locale is, so every byte is one character. */
#ifndef QUORVEL_REGEXC_H
#define QUORVEL_REGEXC_H

#include <regex.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RegExType {
  regex_t* compiled;   /* nil when compiling failed or after disposal */
  regmatch_t* matches; /* groups + 1 records, made after a successful compile */
  char* error;         /* the library's message for a failed compile, else nil */
  int32_t from;        /* 1-based start of the last match attempt */
  int32_t searched;    /* bytes searched by the last attempt */
  int32_t groups;      /* parenthesised groups; -1 after disposal */
  char* errortext;     /* the unit layer's view of error (the same block) */
} RegExType;

/* Compiles length bytes of pattern; the pattern ends early at a NUL byte.
   Flags: extended (REG_EXTENDED), ignoreCase (REG_ICASE), newline
   (REG_NEWLINE). On failure compiled is nil and error holds the message;
   a pattern too big to compile is refused with kRegExTooBigMessage. */
void CNewRegEx(RegExType* handle, const char* pattern, int32_t length, int extended, int ignoreCase, int newline);

/* The message of a pattern refused before compiling: one whose repetitions
   or nesting would make the compiled form too big (too slow to build, or
   deep enough to overflow the stack). */
extern const char kRegExTooBigMessage[];

/* Frees everything the handle owns; every pointer becomes nil, groups -1. */
void DisposeRegEx(RegExType* handle);

/* Searches text[from - 1 .. length - 1] (from is 1-based). A start past the
   end searches an empty subject; a start before the first byte, a nil handle
   or one that did not compile answer no match. Returns nonzero on a match. */
int CMatchRegExFrom(RegExType* handle, const char* text, int32_t length, int notBOL, int notEOL, int32_t from);

/* Group index (0 = the whole match) of the last attempt: its 1-based start in
   the whole subject and its length; both 0 when the group did not take part,
   the index is out of range or the last attempt did not match. Either
   pointer may be nil. */
void CGetMatchRegEx(const RegExType* handle, int32_t index, int32_t* start, int32_t* length);

#ifdef __cplusplus
}
#endif

#endif
