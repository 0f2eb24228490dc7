// TFileStream: reads and writes the data fork of one file. It reads the whole
// file at once or in chunks of a fixed size, turns every line ending it reads
// into one chosen character in place (so the text keeps its length), and can
// read asynchronously: an event-loop timer reads one chunk per firing and
// hands it to GotChunk, which subclasses override.
//
// A stream lives on the heap and ends with Close, which frees it. After
// OpenAsynch the stream closes itself once it has delivered GotChunk(nil, 0).
#pragma once

#include "CarbonEvents.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class TFileStream : public TObject {
 public:
  TFileStream() = default;

  // Open, then a timer on the current event loop that fires at once and then
  // every 1/60 second, reading one chunk per firing (ReadLoop).
  virtual void OpenAsynch(const FSRef& file);
  // Opens the data fork for reading and writing, or for reading only when
  // the file may not be written (writes then fail with a status). A buffer
  // size of 0 becomes 8192. Every status goes to Err; returns the last one.
  virtual OSStatus Open(const FSRef& file);
  // Frees the buffer, closes the fork, removes the timer and frees the stream.
  virtual void Close();
  // The first character is what every line ending read becomes; empty: none.
  virtual void SetLineEndings(const Str15& endings);
  virtual void SetBufferSize(UInt32 size);
  // The line and one CR at the fork's mark; status to Err.
  virtual void WriteLn(const Str255& line);
  // Replaces the file's contents with the text in Mac Roman. A text holding
  // a character that Mac Roman lacks writes nothing (kTECUnmappableElementErr
  // in Err) rather than a cut file.
  virtual void WriteFork(CFStringRef text);
  // Replaces the file's contents with the whole memory block.
  virtual void WriteBytes(const void* block);
  // The next chunk of at most the buffer size, count set to its size; the
  // chunk is valid until the next Read. At the end of the file the last
  // chunk comes (count 0 when the size is a multiple of the buffer size),
  // then nil. Nil on a read error.
  virtual Ptr Read(SInt32& count);
  // The whole file from its start in a new buffer owned by the stream; nil
  // when it cannot be read.
  virtual Ptr ReadBytes();
  // One chunk of an asynchronous read; (nil, 0) at the end. Does nothing here.
  virtual void GotChunk(Ptr chunk, SInt32 count);
  // Turns the line endings of buffer bytes first..last (inclusive) into the
  // target character. The first ending met decides the call's style: when it
  // is a CR LF pair, each later pair becomes a space and the target (the text
  // keeps its length); otherwise every CR and LF is an ending of its own.
  virtual void ConvertLineEndings(SInt32 first, SInt32 last);

  FSRef fFile{};
  Str255 fName;
  FSIORefNum fFork = 0;
  Ptr fBuffer = nullptr;
  Str15 fLineEndings;
  SInt64 fPosition = 0;
  SInt64 fForkSize = 0;
  UInt32 fBufferSize = 0;
  EventLoopTimerRef fTimer = nullptr;

 protected:
  ~TFileStream() override = default;

 private:
  // A CR LF pair split between two chunks stays one line ending: the CR that
  // ends a chunk looks at the byte after it (fNextByte, -1 when there is
  // none or it is unknown), and the LF that starts the next chunk finishes
  // the pair (fPairOpen).
  SInt32 fNextByte = -1;
  bool fPairOpen = false;
};

// The timer procedure of OpenAsynch: one Read per firing, handed to GotChunk;
// at the end GotChunk(nil, 0) and Close.
void ReadLoop(EventLoopTimerRef timer, void* stream);
