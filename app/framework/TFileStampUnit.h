// What a document knows of its file as it was last read or written (size,
// modification time, the file's identity), so that a save can tell that
// another program changed the file since and ask before writing over it.
#pragma once

#include "Files.h"
#include "MacTypes.h"

class TDocument;

struct TFileStamp {
  Boolean known = false;  // false: never read or written, or not to be found
  SInt64 size = 0;
  SInt64 seconds = 0;  // modification time
  SInt64 nanoseconds = 0;
  UInt64 device = 0;
  UInt64 inode = 0;
};

// The stamp of the file as it is now (a link's target); unknown when it
// cannot be found.
TFileStamp FileStampOf(const FSRef& file);
// True when the file exists and is not what the stamp saw: written to,
// cut, or replaced by another file. False for an unknown stamp and for a
// file that is gone (a save then only makes it again).
Boolean FileChangedSince(const FSRef& file, const TFileStamp& stamp);

// The answers to the question asked before a save over a changed file.
enum TChangedFileAnswer : SInt16 { kChangedFileOverwrite, kChangedFileCancel, kChangedFileReload };
// Asks whether to write over the file another program changed; "Reload" is
// offered only for a document without changes of its own.
TChangedFileAnswer AskAboutChangedFile(TDocument* document);
