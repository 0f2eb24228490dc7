// The errors that script runs find in an interpreter's output: the records
// the error panes list.
#pragma once

#include "Files.h"
#include "MacMemory.h"
#include "ShortString.h"

#pragma pack(push, 1)

// One error of a syntax check, at a line and column of a file. It belongs
// with the application's source editor, which marks such errors inline.
struct GenericSyntaxError {
  SInt16 line;
  SInt16 column;
  SInt32 reserved;
  Str255 message;
  FSRef file;
};

// One Perl error: the file is the last component of the path Perl named.
struct PerlError {
  Str255 message;
  Str63 file;
  SInt32 line;
  UInt8 unused[256];
};
static_assert(sizeof(PerlError) == 580);

// One Ruby error, or (with a method name) one line of its stack.
struct RubyError {
  Str63 method;
  Str255 message;
  Str63 file;
  SInt32 line;
};
static_assert(sizeof(RubyError) == 388);

#pragma pack(pop)
