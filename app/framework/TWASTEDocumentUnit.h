// TWASTEDocument: a document whose text lives in a text engine instance.
// Plain files are read in chunks on the event loop (TWASTEFile), shown as
// they come, and at the end put through the one reader of text files, which
// decides the encoding, byte-order mark and line ending they are written
// back with; RTF files are read whole by the engine. Saving writes through
// the engine.
#pragma once

#include <string>

#include "TDocumentUnit.h"
#include "TFileStreamUnit.h"
#include "WASTE.h"

class TWASTEFile;

class TWASTEDocument : public TDocument {
 public:
  WEReference controller = nullptr;  // set by whoever shows the document
  TWASTEFile* stream = nullptr;      // the read under way, nil when none
  // What the file was read with (encoding, byte-order mark, line ending):
  // the text is written back exactly so.
  WETextFileFormat format;
  // The file is not text (a program, an image): it is shown, never written.
  Boolean readOnly = false;
  // The user was told that a save writes mixed line endings as one.
  Boolean toldOfLineEndings = false;
  // An encoding was set (Mac Roman's number is that of none).
  Boolean encodingSet = false;

  // Empties the text and reads the file: 0 once a chunked read has started,
  // the engine's status for RTF, or the status of a file that cannot be
  // opened.
  SInt32 Open() override;
  // Writes the text; only a write that succeeded clears the modified flag
  // and rewrites the line endings. The engine's status.
  SInt32 Save() override;
  // Stops a read under way and lets go of the view that shows it.
  void Release() override;
  // Clean means the text as it stands is the saved one: undoing back to
  // it later clears the mark again, undoing past it sets it.
  void SetModifiedState(Boolean flag) override;

  // The encoding the text is written in: the one the file was read in.
  UInt32 FileEncoding() const;
  // The encoding the file is read in when it has no byte-order mark and is
  // not UTF-8 (Mac Roman, ISO or Windows Latin 1), or in which plain ASCII
  // is written back; another one leaves the reader to its own rule.
  void SetEncoding(UInt32 textEncoding) override;
  // Puts a file's bytes in as the whole text, through the one reader of text
  // files: records what they were read with, makes the text read-only when
  // they are not text, and leaves nothing modified or to undo.
  void TakeText(const UInt8* bytes, size_t count);
  // Reads the whole file at once through TakeText; the status of the read.
  OSStatus ReadText();
  // A name for the encoding the file was read in ("UTF-8", "UTF-16 LE with
  // mark", "Windows Latin 1"...), with its line ending.
  std::string FormatName() const;
  // Ends a read under way (the stream closes).
  void StopReading();
  // The view that held the engine is gone with it: a read into it stops and
  // the document no longer refers to it.
  void ControllerGone(WEReference gone);
};

// Reads the document's file in chunks and appends each to its text with
// redrawing, change reports and undo off, so a load is neither re-parsed,
// redrawn per character nor undoable. A UTF-8 sequence or a CR LF pair cut
// by a chunk's end is completed from the next chunk.
class TWASTEFile : public TFileStream {
 public:
  TWASTEDocument* document = nullptr;  // not owned

  void GotChunk(Ptr data, SInt32 length) override;

 private:
  void Decode(const UInt8* bytes, size_t count, bool last, std::u16string& out);
  void PutUnit(char16_t unit, std::u16string& out);

  std::string read_;          // every byte read so far, for the reader at the end
  std::string pending_;       // bytes of a character the chunk cut
  bool started_ = false;      // the first chunk (and its byte-order mark) was read
  bool afterCR_ = false;      // the last unit put was a CR
  UInt8 firstEnding_ = 0;     // 0 none yet, 1 CR, 2 LF, 3 CR LF; 4 a CR whose follower is unknown
  UInt32 unitEncoding_ = 0;   // the wide encoding the byte-order mark chose
  bool sawInvalid_ = false;   // bytes that are not UTF-8 (the reader at the end decides)
};
