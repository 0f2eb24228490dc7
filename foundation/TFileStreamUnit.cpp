// TFileStream: whole-file and chunked reads of a data fork with line endings
// turned into one character in place, asynchronous reads on an event-loop
// timer, and writes that replace the file's contents.
#include "TFileStreamUnit.h"

#include <climits>

#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

constexpr UInt32 kDefaultBufferSize = 8192;
constexpr UInt8 kCR = 13;
constexpr UInt8 kLF = 10;

// The open calls refuse writing to such a file with one of these.
bool RefusedForWriting(OSStatus status) {
  return status == permErr || status == wrPermErr || status == afpAccessDenied || status == fLckdErr ||
         status == wPrErr;
}

}  // namespace

void TFileStream::OpenAsynch(const FSRef& file) {
  if (Open(file) != noErr) return;
  Err = InstallEventLoopTimer(GetCurrentEventLoop(), 0, kEventDurationSecond / 60, ReadLoop, this, &fTimer);
}

OSStatus TFileStream::Open(const FSRef& file) {
  // Opening again lets go of the previous file first.
  if (fFork != 0) FSCloseFork(fFork);
  fFork = 0;
  ReleasePtr(fBuffer);
  fNextByte = -1;
  fPairOpen = false;

  fFile = file;
  fName = FSGetDisplayName(file);
  if (fBufferSize == 0) fBufferSize = kDefaultBufferSize;
  HFSUniStr255 forkName;
  Err = FSGetDataForkName(&forkName);
  Err = FSOpenFork(&fFile, forkName.length, forkName.unicode, fsRdWrPerm, &fFork);
  // A file this user may only read is still opened, for reading.
  if (RefusedForWriting(Err)) Err = FSOpenFork(&fFile, forkName.length, forkName.unicode, fsRdPerm, &fFork);
  if (Err != noErr) {
    fFork = 0;
    return Err;
  }
  fBuffer = NewPtr(Size(fBufferSize));
  if (fBuffer == nullptr) {
    FSCloseFork(fFork);
    fFork = 0;
    return Err = memFullErr;
  }
  fPosition = 0;
  Err = FSGetForkSize(fFork, &fForkSize);
  return Err;
}

void TFileStream::Close() {
  ReleasePtr(fBuffer);
  if (fFork != 0) Err = FSCloseFork(fFork);
  fFork = 0;
  if (fTimer != nullptr) RemoveEventLoopTimer(fTimer);
  fTimer = nullptr;
  Free();
}

void TFileStream::SetLineEndings(const Str15& endings) { fLineEndings = endings; }

void TFileStream::SetBufferSize(UInt32 size) { fBufferSize = size; }

void TFileStream::WriteLn(const Str255& line) {
  UInt8 bytes[256];
  const int length = line.len();
  for (int i = 0; i < length; ++i) bytes[i] = line[i + 1];
  bytes[length] = kCR;
  SInt32 count = length + 1;
  Err = FSWrite(fFork, &count, bytes);
}

void TFileStream::WriteFork(CFStringRef text) {
  if (text == nullptr) {
    Err = paramErr;
    return;
  }
  // The whole text or nothing: a cut text would replace the file's contents
  // with part of them.
  const CFRange all = CFRangeMake(0, CFStringGetLength(text));
  CFIndex needed = 0;
  if (CFStringGetBytes(text, all, kCFStringEncodingMacRoman, 0, false, nullptr, 0, &needed) != all.length) {
    Err = kTECUnmappableElementErr;
    return;
  }
  Ptr bytes = NewPtr(Size(needed));
  if (bytes == nullptr) {
    Err = memFullErr;
    return;
  }
  CFIndex used = 0;
  CFStringGetBytes(text, all, kCFStringEncodingMacRoman, 0, false, reinterpret_cast<UInt8*>(bytes), needed, &used);
  fPosition = 0;
  ByteCount written = 0;
  Err = FSWriteFork(fFork, fsFromStart, 0, ByteCount(used), bytes, &written);
  // A failed write must not cut the file as well.
  if (Err == noErr) Err = FSSetForkSize(fFork, fsFromStart, SInt64(used));
  DisposePtr(bytes);
}

void TFileStream::WriteBytes(const void* block) {
  if (!IsPointerAllocated(block)) {
    Err = paramErr;
    return;
  }
  const Size size = GetPtrSize(static_cast<Ptr>(const_cast<void*>(block)));
  ByteCount written = 0;
  Err = FSWriteFork(fFork, fsFromStart, 0, ByteCount(size), block, &written);
  if (Err == noErr) Err = FSSetForkSize(fFork, fsFromStart, SInt64(size));
}

Ptr TFileStream::Read(SInt32& count) {
  count = 0;
  if (fBufferSize == 0) return nullptr;
  if (fBuffer == nullptr || fFork == 0) {
    Err = rfNumErr;
    return nullptr;
  }
  const UInt32 chunk = fBufferSize > UInt32(INT32_MAX) ? UInt32(INT32_MAX) : fBufferSize;
  // The buffer size may have grown since Open.
  if (GetPtrSize(fBuffer) < Size(chunk)) {
    ReleasePtr(fBuffer);
    fBuffer = NewPtr(Size(chunk));
    if (fBuffer == nullptr) {
      Err = memFullErr;
      return nullptr;
    }
  }
  ByteCount actual = 0;
  Err = FSReadFork(fFork, fsFromMark, fPosition, chunk, fBuffer, &actual);
  if (Err != noErr && Err != eofErr) return nullptr;
  count = SInt32(actual);
  const bool atEnd = Err == eofErr;
  if (atEnd) fBufferSize = 0;
  if (count > 0 && !fLineEndings.empty()) {
    // A chunk that ends in CR looks at the next byte, so that a CR LF pair
    // split between two chunks stays one line ending.
    fNextByte = -1;
    if (!atEnd && UInt8(fBuffer[count - 1]) == kCR) {
      const OSStatus status = Err;
      SInt64 mark = 0;
      UInt8 next = 0;
      ByteCount got = 0;
      if (FSGetForkPosition(fFork, &mark) == noErr) {
        FSReadFork(fFork, fsFromStart, mark, 1, &next, &got);
        // The mark must come back, or the next chunk would lose a byte.
        const OSErr back = FSSetForkPosition(fFork, fsFromStart, mark);
        if (back != noErr) {
          count = 0;
          Err = back;
          return nullptr;
        }
        if (got == 1) fNextByte = next;
      }
      Err = status;
    }
    ConvertLineEndings(0, count - 1);
  }
  return fBuffer;
}

Ptr TFileStream::ReadBytes() {
  if (!FSValidFSRef(fFile)) return nullptr;
  ReleasePtr(fBuffer);
  SInt64 size = 0;
  Err = FSGetForkSize(fFork, &size);
  if (Err != noErr) return nullptr;
  fBuffer = size >= 0 && static_cast<UInt64>(size) <= static_cast<UInt64>(SIZE_MAX / 2) ? NewPtr(Size(size)) : nullptr;
  if (fBuffer == nullptr) {
    Err = memFullErr;
    return nullptr;
  }
  ByteCount actual = 0;
  Err = FSReadFork(fFork, fsFromStart, 0, ByteCount(size), fBuffer, &actual);
  if (Err != noErr && Err != eofErr) {
    ReleasePtr(fBuffer);
    return nullptr;
  }
  if (SInt64(actual) < size) SetPtrSize(fBuffer, Size(actual));
  fNextByte = -1;
  fPairOpen = false;
  if (actual > 0 && !fLineEndings.empty() && actual <= ByteCount(INT32_MAX)) ConvertLineEndings(0, SInt32(actual) - 1);
  return fBuffer;
}

void TFileStream::GotChunk(Ptr, SInt32) {}

void TFileStream::ConvertLineEndings(SInt32 first, SInt32 last) {
  const SInt32 nextByte = fNextByte;
  const bool pairOpen = fPairOpen;
  fNextByte = -1;
  fPairOpen = false;
  if (fLineEndings.empty() || fBuffer == nullptr) return;
  const Size size = GetPtrSize(fBuffer);
  if (first < 0) first = 0;
  if (Size(last) >= size) last = SInt32(size - 1);
  const UInt8 target = fLineEndings[1];
  auto* bytes = reinterpret_cast<UInt8*>(fBuffer);
  enum { kNone, kPairs, kSingles } style = kNone;
  for (SInt32 i = first; i <= last; ++i) {
    const UInt8 c = bytes[i];
    // The LF that finishes a pair begun at the end of the previous chunk.
    if (i == first && pairOpen && c == kLF) {
      bytes[i] = target;
      style = kPairs;
      continue;
    }
    if (c == kCR && style != kSingles) {
      const bool lfFollows = i < last ? bytes[i + 1] == kLF : nextByte == kLF;
      if (lfFollows) {
        bytes[i] = ' ';
        style = kPairs;
        if (i < last) {
          bytes[++i] = target;
        } else {
          fPairOpen = true;
        }
        continue;
      }
    }
    if (c == kCR || c == kLF) {
      bytes[i] = target;
      if (style == kNone) style = kSingles;
    }
  }
}

void ReadLoop(EventLoopTimerRef, void* stream) {
  auto* s = static_cast<TFileStream*>(stream);
  SInt32 count = 0;
  Ptr chunk = s->Read(count);
  if (chunk == nullptr) {
    s->GotChunk(nullptr, 0);
    s->Close();
  } else {
    s->GotChunk(chunk, count);
  }
}
