// TString: an object around one CFMutableString with a text encoding and a
// line-ending character. It edits by positions, finds and replaces, hands out
// pieces as short strings, UTF-16 blocks or byte blocks, finds the line around
// a position, loads and saves a file, and scans its text byte by byte
// (Parse), reporting characters and completed words to overridable methods,
// on the calling thread or on a worker task (TStringParserTask).
//
// Positions are 0-based UTF-16 indexes; (first, end) pairs name first..end-1.
// Positions outside the text are brought inside it, so nothing reads or
// writes outside the string. A text that is nil (a file that read empty)
// reads as empty, and the first edit gives the object an empty string of its
// own.
//
// The encoding (Mac Roman, 0, by default) governs conversions between the
// text and short strings or single characters. Files are read as UTF-8 when
// their bytes are valid UTF-8 and as Mac Roman otherwise, and saved back in
// the encoding they were read in (UTF-8 for text that came from no file).
#pragma once

#include "CFBase.h"
#include "CFString.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TTaskUnit.h"

class TStringParserTask;

class TString {
 public:
  TString() = default;

  // Constructors: each first calls Initialize, and lets go of a text the
  // object owned before.
  // Wraps the string, which stays the caller's (edits go to it).
  virtual void Create(CFMutableStringRef text);
  virtual void CreateCopy(CFStringRef text);
  virtual void CreateEmpty();
  // The short string read in the object's encoding (Mac Roman when its bytes
  // are not valid in it).
  virtual void CreateWithString(const Str255& text);
  // The file's text up to its first NUL byte; an empty result leaves the text
  // nil. Err holds the status of the read.
  virtual void CreateWithFile(const FSRef& file);

  virtual void Append(CFStringRef text);
  // The line, then the line-ending character.
  virtual void AppendLine(const Str255& line);
  virtual void Insert(SInt32 position, const Str255& text);
  virtual void Delete(SInt32 first, SInt32 end);
  // The character at index; at or past the end, the last one (a backspace).
  // Both halves of a surrogate pair go together.
  virtual void DeleteCharacter(SInt32 index);
  virtual void Clear();
  virtual void Replace(SInt32 first, SInt32 end, const Str255& text);
  virtual void ReplaceLong(SInt32 first, SInt32 end, CFStringRef text);
  // Every occurrence, case-sensitive and literal.
  virtual void FindAndReplace(const Str255& find, const Str255& replacement);
  virtual Boolean Find(const Str255& text, CFOptionFlags options);
  // Searches inside range (location, length); on success range becomes
  // (start, END) of the match, the end being the position after it.
  virtual Boolean FindAdvanced(const Str255& text, CFRange& range, CFOptionFlags options);

  // Scans the text as it is now (see RunParser); threaded runs the scan on a
  // worker task (when the task cannot start, Err says why and only
  // ParserTerminated is called, here).
  virtual void Parse(Boolean threaded);
  // Calls ParserState for every character of the text as one byte (Mac Roman;
  // "?" for what it cannot hold), in order, until stop is set: word is the
  // word that the character completes (characters 0-9, A-Z, a-z and "_" make
  // words, at most 255 long; any other completes the current one) or empty.
  // A word open at the end is not reported. Then ParserTerminated, once. On a
  // worker task the scan also ends when the task is asked to stop.
  virtual void RunParser();
  virtual void ParserTerminated();
  virtual void ParserState(SInt32 index, UInt8 character, const Str255& word, Boolean& stop);

  // The whole text in the encoding the file was read in. A text that cannot
  // be written in it is not written at all (the file keeps its contents) and
  // Err is kTECUnmappableElementErr; otherwise Err is the write's status.
  virtual void Save(const FSRef& file);
  // Diagnostics on standard error.
  virtual void Show();
  virtual void ShowIndex(SInt32 index);
  virtual void ShowOffsets();

  virtual SInt32 GetLength();
  // first..end-1 in the object's encoding, at most 254 bytes, up to the first
  // character that does not convert.
  virtual Str255 GetRange(SInt32 first, SInt32 end);
  // A new block as long as the whole text, holding count characters from
  // first in Mac Roman up to the first one Mac Roman cannot hold (the rest of
  // the block is zero); nil when nothing converts. The caller frees it.
  virtual Ptr GetExtendedRange(SInt32 first, SInt32 count);
  // The character at index (at or past the end, the last one) as one byte of
  // the object's encoding; 0 when there is none or it does not fit a byte.
  virtual UInt8 GetCharacter(SInt32 index);
  // The whole text in the encoding; empty when it does not fit or convert.
  virtual Str255 GetPascalString();
  // The string's own UTF-16 storage (valid until the next edit) or a new
  // block; free the result with ReleasePtr, which frees only a block. Nil
  // when the text is nil.
  virtual UniChar* GetUnicodeString();
  // A new block with the UTF-16 units first..end-1; nil when that is empty.
  virtual UniChar* GetUnicodeRange(SInt32 first, SInt32 end);
  // The line around index: range (when given) receives the positions of its
  // first and LAST characters as (location = first, length = last); string
  // (when given) its text in the object's encoding, without the line ending,
  // at most 255 bytes. A CR or LF belongs to the line it ends (CR LF counts as
  // one ending), and an index at or past the end to the last line. An empty
  // line gives (p, p - 1), p being where it starts; an empty text (0, -1).
  virtual void GetLineRange(SInt32 index, CFRange* range, Str255* string);
  virtual void SetLineEndings(UInt8 character);
  virtual void SetEncoding(CFStringEncoding encoding);
  // The line ending becomes CR when it is 0; the encoding stays.
  virtual void Initialize();
  // Releases the text when owned and the bytes block, then frees the object.
  virtual void Release();

  CFMutableStringRef fText = nullptr;
  Ptr fBytes = nullptr;                // the scan's bytes, one per UTF-16 unit
  TStringParserTask* fTask = nullptr;  // the running threaded scan, if any
  Boolean fOwned = false;
  CFStringEncoding fEncoding = kCFStringEncodingMacRoman;
  UInt8 fLineEnding = 0;
  SInt32 fBytesLength = 0;                              // bytes of fBytes scanned
  CFStringEncoding fFileEncoding = kCFStringEncodingUTF8;  // what Save writes

 protected:
  virtual ~TString() = default;
  TString(const TString&) = delete;
  TString& operator=(const TString&) = delete;

  // The text read from a file's bytes (see CreateWithFile); remembers the encoding.
  void SetFileBytes(const UInt8* bytes, Size count);
  // A new block with the whole text in the file encoding; nil (and the
  // status in status) when a character cannot be written in it.
  Ptr CreateFileBytes(OSStatus& status);

 private:
  void ReleaseText();
  CFMutableStringRef EnsureText();
  CFStringRef CreateCFString(const Str255& text);
  CFRange Clamp(SInt32 first, SInt32 end);
};

class TStringParserTask : public TTask {
 public:
  // The string's RunParser.
  void Run() override;
  // ParserTerminated when the scan never got to it (the task ended inside
  // it), then the inherited Release.
  void Release() override;

  TString* fString = nullptr;
  Boolean fFinished = false;
};
