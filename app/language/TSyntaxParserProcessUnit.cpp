// The scan engine: buffer, per-character dispatch, contexts, deferred styles
// and scope spans. The class handlers live in TSyntaxParserProcessUnit+Handlers.cpp.
#include "TSyntaxParserProcessUnit.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CarbonEvents.h"
#include "LargeBlocks.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TSyntaxParserProcessUnit+Internal.h"
#include "TDocumentUnit.h"
#include "TFileStreamUnit.h"
#include "WASTE.h"

namespace SyntaxScan {

const Str63 kContextEmpty("empty");
const Str63 kContextAny("any");
const Str63 kContextProtected("protected");
const Str63 kContextPreprocessor("preprocessor");
const Str63 kLanguageDefault("default");

namespace {
struct MacRomanTables {
  UniChar toUnicode[256];
  unsigned char fromUnicode[65536];
  MacRomanTables() {
    for (int i = 0; i < 128; ++i) toUnicode[i] = UniChar(i);
    std::memset(fromUnicode, '?', sizeof fromUnicode);
    for (int i = 0; i < 128; ++i) fromUnicode[i] = static_cast<unsigned char>(i);
    UInt8 high[128];
    for (int i = 0; i < 128; ++i) high[i] = UInt8(128 + i);
    CFStringRef s = CFStringCreateWithBytes(nullptr, high, 128, kCFStringEncodingMacRoman, false);
    if (s != nullptr && CFStringGetLength(s) == 128) {
      UniChar chars[128];
      CFStringGetCharacters(s, CFRangeMake(0, 128), chars);
      for (int i = 0; i < 128; ++i) {
        toUnicode[128 + i] = chars[i];
        fromUnicode[chars[i]] = static_cast<unsigned char>(128 + i);
      }
    } else {
      for (int i = 128; i < 256; ++i) toUnicode[i] = UniChar(i);
    }
    if (s != nullptr) CFRelease(s);
  }
};
const MacRomanTables& Tables() {
  static const MacRomanTables tables;
  return tables;
}
}  // namespace

unsigned char ToMacRomanHigh(UniChar c) { return Tables().fromUnicode[c]; }
UniChar FromMacRomanHigh(unsigned char c) { return Tables().toUnicode[c]; }

// UTF-16 or UTF-32 after their byte-order marks; UTF-8 (a leading mark
// skipped) when the bytes are valid UTF-8, Mac Roman otherwise. Every line ending (CR LF, CR, LF) becomes one CR, the
// separator of the text engine, so offsets match the text a view shows. No
// sequence makes more units than it has bytes, so the buffer is sized once;
// runs of plain ASCII go eight bytes at a time.
namespace {

inline bool HasByte(UInt64 v, unsigned char c) {
  const UInt64 x = v ^ (0x0101010101010101ull * c);
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// One unit, line endings folded: a LF right after a CR is dropped.
inline void PutUnit(UniChar*& w, UniChar c, bool& afterCR) {
  if (c == '\n') {
    if (!afterCR) *w++ = '\r';
    afterCR = false;
  } else {
    *w++ = c;
    afterCR = c == '\r';
  }
}

}  // namespace

// Text in UTF-16 or UTF-32, known by its byte-order mark.
static bool DecodeWide(const unsigned char* bytes, size_t count, std::vector<UniChar>& out) {
  int width = 0;
  bool big = false;
  if (count >= 4 && bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0) {
    width = 4;
  } else if (count >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF) {
    width = 4;
    big = true;
  } else if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    width = 2;
  } else if (count >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    width = 2;
    big = true;
  } else {
    return false;
  }
  // A mark followed by a broken last unit is not a mark but other text.
  if ((count - size_t(width)) % size_t(width) != 0) return false;
  out.resize(count);  // never more units than bytes
  UniChar* const base = out.data();
  UniChar* w = base;
  bool afterCR = false;
  for (size_t i = size_t(width); i + size_t(width) <= count; i += size_t(width)) {
    UInt32 v = 0;
    for (int k = 0; k < width; ++k) v |= UInt32(bytes[i + size_t(big ? width - 1 - k : k)]) << (8 * k);
    if (width == 4) {
      if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) v = 0xFFFD;
      if (v >= 0x10000) {
        v -= 0x10000;
        *w++ = UniChar(0xD800 + (v >> 10));
        *w++ = UniChar(0xDC00 + (v & 0x3FF));
        afterCR = false;
        continue;
      }
    }
    PutUnit(w, UniChar(v), afterCR);
  }
  out.resize(size_t(w - base));
  return true;
}

void DecodeText(const unsigned char* bytes, size_t count, std::vector<UniChar>& out) {
  if (DecodeWide(bytes, count, out)) return;
  out.resize(count);
  UniChar* const base = out.data();
  UniChar* w = base;
  size_t i = 0;
  if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
  bool valid = true;
  bool afterCR = false;
  while (i < count) {
#if defined(__SSE2__)
    // Sixteen ASCII bytes with no CR are widened at once, each LF made a CR
    // (one right after a CR from before is left to the road below).
    if (i + 16 <= count) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      const __m128i lf = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
      if ((_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')))) == 0 &&
          !(afterCR && bytes[i] == '\n')) {
        const __m128i folded = _mm_add_epi8(v, _mm_and_si128(lf, _mm_set1_epi8('\r' - '\n')));
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_unpacklo_epi8(folded, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8), _mm_unpackhi_epi8(folded, zero));
        w += 16;
        i += 16;
        afterCR = false;
        continue;
      }
    }
#endif
    if (i + 8 <= count) {
      UInt64 v;
      std::memcpy(&v, bytes + i, 8);
      if ((v & 0x8080808080808080ull) == 0) {
        if (!HasByte(v, '\r') && !HasByte(v, '\n')) {
          for (int k = 0; k < 8; ++k) w[k] = bytes[i + size_t(k)];
          w += 8;
          afterCR = false;
        } else {
          // Plain ASCII with a line ending: the eight bytes in place, not
          // one at a time through the slow road.
          for (int k = 0; k < 8; ++k) PutUnit(w, bytes[i + size_t(k)], afterCR);
        }
        i += 8;
        continue;
      }
    }
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      PutUnit(w, b, afterCR);
      ++i;
      continue;
    }
    UInt32 cp = 0;
    int extra = 0;
    UInt32 min = 0;
    if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      extra = 1;
      min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      extra = 2;
      min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      extra = 3;
      min = 0x10000;
    } else {
      valid = false;
      break;
    }
    if (i + size_t(extra) >= count) {
      valid = false;
      break;
    }
    for (int k = 1; k <= extra; ++k) {
      const unsigned char t = bytes[i + size_t(k)];
      if ((t & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!valid || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      valid = false;
      break;
    }
    afterCR = false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *w++ = UniChar(0xD800 + (cp >> 10));
      *w++ = UniChar(0xDC00 + (cp & 0x3FF));
    } else {
      *w++ = UniChar(cp);
    }
    i += size_t(extra) + 1;
  }
  if (!valid) {
    // Not UTF-8: read as an editor reads the file, so that a file parsed
    // from disk and the same file open in an editor hold the same text.
    std::vector<UniChar> text;
    WETextFileFormat format;
    WEReadTextFile(bytes, count, kCFStringEncodingUTF8, &text, &format);
    out.swap(text);
    return;
  }
  out.resize(size_t(w - base));
}

}  // namespace SyntaxScan

using namespace SyntaxScan;

namespace {
// Context names are short: compared in place, without a call.
template <int N, int M>
inline bool SameText(const ShortString<N>& a, const ShortString<M>& b) {
  const int n = a.len();
  if (n != b.len()) return false;
  for (int i = 1; i <= n; ++i)
    if (a.s[i] != b.s[i]) return false;
  return true;
}

// A whole-file read's bytes, and the text of a finished parse, wait here for
// the thread's next file; buffers past this size are given back instead.
constexpr size_t kKeptBufferBytes = size_t(4) << 20;
thread_local std::vector<unsigned char> tFileBytes;
thread_local std::vector<UniChar> tSpareText;
}  // namespace

// ---------------------------------------------------------------------------
// Life cycle

TSyntaxParserProcess::TSyntaxParserProcess() {
  state.styledRanges = &styledRanges_;
  state.scopeRanges = &scopeRanges_;
}

TSyntaxParserProcess::~TSyntaxParserProcess() { Release(); }

SInt32 TSyntaxParserProcess::Create(const SyntaxParserSource& src, const SyntaxParserDestination& dst) {
  source = src;
  destination = dst;
  options |= src.options;
  fileSystem = dst.fileSystem;
  collection = dst.collection;
  library = src.library;
  state.embeddedLanguage = kLanguageDefault;
  state.wordSpan = CFRangeMake(-1, -1);
  state.previousWordSpan = CFRangeMake(-1, -1);
  state.counter = -1;
  lastNotification = 0;
  TSyntaxParserController* controller = source.controller;

  SInt32 result = 0;
  if (controller != nullptr) {
    tracksNesting_ = controller->KeepsNesting();
    controller->Prepare(false);
    if ((options & kSyntaxParserProcessDontReset) == 0) controller->ResetRange(source.span);
    const SInt32 length = controller->GetTextLength();
    if (!incremental) controller->ResetTracking(CFRangeMake(0, length));
    if (length > 0) fromController = true;
  } else {
    fromController = false;
  }
  streaming = true;

  // The library first: a file that no language reads is not worth reading.
  const Str63 fileName = FSValidFSRef(source.file) ? FSGetDisplayName(source.file) : Str63();
  if (library == nullptr && collection != nullptr && !fileName.empty()) {
    library = collection->GetFileLibrary(fileName);
    // A language embedded in another (php in html) is parsed from its root.
    if (library != nullptr && !incremental && !library->rootLanguage.empty() &&
        !(library->rootLanguage == library->language)) {
      SyntaxLibraryPtr root = collection->GetLanguageLibrary(library->rootLanguage);
      if (root != nullptr) library = root;
    }
  }
  if (library == nullptr) result = -1;

  if (result == 0) {
    if (!fromController) {
      ReadWholeFile(result);
    } else {
      SInt32 start = SInt32(source.span.location);
      SInt32 end = SInt32(source.span.length);
      textEnd = controller->GetTextLength();
      if (start < 0) start = 0;
      if (start > textEnd) start = textEnd;
      if (end < start) end = start;
      chunkStart = start;
      bufferBase = start;
      firstOffset_ = start;
      spanEnd = end;
      loadedEnd_ = start;
      // The span's old styles went above; what lies past it goes as the
      // parse gets there.
      if (incremental && controller != nullptr && (options & kSyntaxParserProcessDontReset) == 0) resetEnd_ = end;
      EnsureLoaded(start + kParserLookahead);
    }
  }

  // The index keys a file by its path below the index's root, so files of one
  // name in different folders keep their own symbols.
  const Str63 indexKey = (fileSystem != nullptr && !fileName.empty()) ? IndexGetFileKey(fileSystem, source.file) : Str63();
  if (result == 0 && fileSystem != nullptr && !indexKey.empty()) {
    descriptor = IndexGetDescriptor(fileSystem, indexKey);
    if (!incremental) {
      if (descriptor == nullptr) {
        collecting = true;
        descriptor = IndexAddDescriptor(fileSystem, indexKey);
      } else {
        // The date is stored when the parse completes, so a parse that is
        // stopped half way leaves the file marked as changed.
        descriptorDate_ = FSGetModifiedFileDate(source.file);
        if (!(IndexGetDescriptorDate(descriptor) == descriptorDate_)) collecting = true;
      }
      if (descriptorDate_.empty()) descriptorDate_ = FSGetModifiedFileDate(source.file);
      if (collecting) IndexCleanFile(fileSystem, indexKey);
    }
  }

  state.contextDepth = 0;
  SetContext(kContextEmpty);
  if (result == 0 && incremental) {
    ResumeEarlierBlock();
    ForgetBlocksOfSpan();
    // A key inside a class is read inside that class, as a whole parse
    // reads it.
    if (controller != nullptr && fromController && firstOffset_ > 0)
      SeedScopes(controller->ScopesAfter(firstOffset_ - 1));
  }
  // A re-parse records the scopes it reads as a whole parse does: the next
  // key starts inside those, and tells from them where it is back in step.
  marksScopes_ = result == 0 && controller != nullptr && tracksNesting_;
  scopeMarkFrom_ = firstOffset_;
  scopePrint_ = ScopePrint();
  scopeMark_ = PackScopes();

  if (result == 0 && !incremental) Notify(kSyntaxParserNotifyStarted, nullptr);
  if (result != 0) {
    if (controller != nullptr) {
      controller->Prepare(true);
      controller->Redraw();
    }
    Release();
    terminated_ = true;
    processState = kParserStateFinished;
  }
  return result;
}

void TSyntaxParserProcess::ReadWholeFile(SInt32& result) {
  if (!FSValidFSRef(source.file)) {
    result = fnfErr;
    return;
  }
  fileStream = new TFileStream();
  fileStream->SetLineEndings(Str15());  // decoded below, ending by ending
  fileStream->SetBufferSize(kParserChunkLength);
  result = fileStream->Open(source.file);
  if (result != noErr) {
    fileStream->Close();
    fileStream = nullptr;
    return;
  }
  // The thread's buffers, warm from the file before: an index reads
  // thousands of files, and fresh memory for each costs more than the read.
  std::vector<unsigned char>& bytes = tFileBytes;
  bytes.clear();
  if (text.empty()) text.swap(tSpareText);
  if (fileStream->fForkSize > 0 && fileStream->fForkSize < SInt64(INT32_MAX)) bytes.reserve(size_t(fileStream->fForkSize));
  SInt32 count = 0;
  while (Ptr chunkBytes = fileStream->Read(count)) {
    if (count <= 0) break;
    bytes.insert(bytes.end(), reinterpret_cast<unsigned char*>(chunkBytes),
                 reinterpret_cast<unsigned char*>(chunkBytes) + count);
  }
  fileStream->Close();
  fileStream = nullptr;
  // The end of the text is its length in characters, not the file's bytes.
  DecodeText(bytes.data(), bytes.size(), text);
  if (bytes.capacity() > kKeptBufferBytes) std::vector<unsigned char>().swap(bytes);
  if (text.size() > size_t(INT32_MAX / 2)) text.resize(size_t(INT32_MAX / 2));
  textEnd = SInt32(text.size());
  bufferBase = 0;
  chunkStart = 0;
  firstOffset_ = 0;
  spanEnd = textEnd;
  loadedEnd_ = textEnd;
  fileInserted_ = 0;
  if (source.controller != nullptr) source.controller->SetDataOffset(0);
  StreamRead();
}

// A file's text reaches the controller chunk by chunk, a little ahead of the
// scan, so that styles never land past the text the view already has.
void TSyntaxParserProcess::StreamRead() {
  TSyntaxParserController* controller = source.controller;
  const SInt32 length = std::min<SInt32>(kParserChunkLength, textEnd - fileInserted_);
  if (length <= 0) return;
  chunkStart = fileInserted_;
  chunkLength = length;
  chunk = CFRangeMake(0, length);
  if (controller != nullptr) {
    controller->InsertText(text.data() + fileInserted_, length);
    if (fileInserted_ == 0) controller->Redraw();
  }
  fileInserted_ += length;
}

// The controller's text comes in chunks, a little ahead of the scan, so that
// words and open or close texts that straddle a chunk seam are read whole.
void TSyntaxParserProcess::StreamText() {
  TSyntaxParserController* controller = source.controller;
  const SInt32 length = std::min<SInt32>(streamChunk_, textEnd - loadedEnd_);
  // An edit's parse, or an embedded block's, mostly ends within a few
  // lines: the text comes in a small piece first, then in pieces twice as
  // large each time.
  streamChunk_ = std::min<SInt32>(streamChunk_ * 2, kParserChunkLength);
  if (controller == nullptr || length <= 0) {
    streaming = false;
    return;
  }
  controller->SetDataOffset(bufferBase);
  Handle buffer = NewHandle(0);
  if (buffer == nullptr) {
    Err = memFullErr;
    textEnd = loadedEnd_;
    streaming = false;
    return;
  }
  controller->StreamText(CFRangeMake(loadedEnd_, loadedEnd_ + length), buffer);
  Size got = GetHandleSize(buffer) / Size(sizeof(UniChar));
  if (got > length) got = length;
  if (got > 0) {
    const UniChar* units = reinterpret_cast<const UniChar*>(*buffer);
    // A parse that has read a megabyte is reading a large text whole: room
    // for the rest is made once rather than again and again.
    constexpr size_t kWholeTextAfter = 1 << 20;
    if (text.size() >= kWholeTextAfter && text.size() + size_t(got) > text.capacity()) {
      text.reserve(std::max(text.size() + size_t(got), size_t(textEnd - bufferBase)));
      AdviseLargeBlock(text.data(), text.capacity() * sizeof(UniChar));
    }
    text.insert(text.end(), units, units + got);
  }
  DisposeHandle(buffer);
  chunkStart = loadedEnd_;
  chunkLength = SInt32(got);
  chunk = CFRangeMake(0, got);
  loadedEnd_ += SInt32(got);
  // A controller that gives less than asked ends the text there.
  if (got < length) {
    textEnd = loadedEnd_;
    if (spanEnd > textEnd) spanEnd = textEnd;
  }
  if (loadedEnd_ >= textEnd) streaming = false;
}

void TSyntaxParserProcess::EnsureLoaded(SInt32 absoluteEnd) {
  if (absoluteEnd > textEnd) absoluteEnd = textEnd;
  if (fromController) {
    while (streaming && loadedEnd_ < absoluteEnd) {
      const SInt32 before = loadedEnd_;
      StreamText();
      if (loadedEnd_ == before) break;
    }
  } else {
    while (fileInserted_ < absoluteEnd && fileInserted_ < textEnd) StreamRead();
    if (fileInserted_ >= textEnd) streaming = false;
  }
}

TSyntaxParserProcess* TSyntaxParserProcess::SpawnProcess(const SyntaxParserSource& childSource) {
  TSyntaxParserProcess* childProcess = new TSyntaxParserProcess();
  Err = childProcess->Create(childSource, destination);
  if (Err != noErr) {
    childProcess->Free();
    return nullptr;
  }
  childProcess->child = true;
  childProcess->SetParent(this);
  return childProcess;
}

void TSyntaxParserProcess::AppendHandler(TSyntaxParserHandler* handler) {
  if (handler == nullptr) return;
  if (handlers == nullptr) handlers = CFArrayCreateMutable(nullptr, 0, &kCFObjectPascal);
  CFArrayAppendValue(handlers, handler);
}

void TSyntaxParserProcess::SetParent(TSyntaxParserProcess* process) { parent = process; }
void TSyntaxParserProcess::SetOptions(SyntaxParserProcessOptions value) { options = value; }

void TSyntaxParserProcess::Release() {
  if (released_) return;
  released_ = true;
  if (handlers != nullptr) CFRelease(handlers);
  handlers = nullptr;
  if (fileStream != nullptr) fileStream->Close();
  fileStream = nullptr;
  // The text's memory goes to the next file's read, unless it is large.
  if (text.capacity() * sizeof(UniChar) <= kKeptBufferBytes && text.capacity() > tSpareText.capacity()) {
    text.clear();
    text.swap(tSpareText);
  }
  std::vector<UniChar>().swap(text);
  std::vector<ParserStyledRange>().swap(styledRanges_);
  std::vector<ParserScopeRange>().swap(scopeRanges_);
}

void TSyntaxParserProcess::Notify(SInt16 kind, void* payload) {
  if (destination.notification != nullptr)
    destination.notification(descriptor, source, kind, payload, destination.userData);
}

// ---------------------------------------------------------------------------
// One character

SInt16 TSyntaxParserProcess::Run(TSyntaxParserProcess*& nextProcess) {
  nextProcess = nullptr;
  if (terminated_) return kParserStateFinished;
  processState = kParserStateRunning;
  if (paused_) {
    // Another parse may have used the controller in between.
    paused_ = false;
    if (source.controller != nullptr) {
      source.controller->Prepare(false);
      source.controller->SetDataOffset(fromController ? bufferBase : 0);
    }
  }
  ParserProcessState& st = state;
  st.lineBreak = false;
  st.atEnd = false;
  st.nonWord = false;
  st.reservedWord = false;

  const SInt32 previous = st.counter < 0 ? -1 : st.absoluteOffset;
  SInt32 position;
  if (st.counter < 0) {
    position = firstOffset_;
  } else {
    position = st.absoluteOffset + 1 + skip_;
    if (position > textEnd) position = textEnd;
  }
  skip_ = 0;
  st.absoluteOffset = position;
  st.offset = position - bufferBase;
  st.counter = st.offset;
  if (position + kParserLookahead > (fromController ? loadedEnd_ : fileInserted_) && streaming)
    EnsureLoaded(position + kParserLookahead);
  st.character = position < textEnd ? At(st.offset) : UniChar(0);

  if (destination.inspector != nullptr) destination.inspector(this, destination.userData);

  if (incremental && source.controller != nullptr) {
    st.languageChanged = false;
    const Str63 language = source.controller->GetEmbeddedLanguage(position);
    if (!(language == st.embeddedLanguage)) st.languageChanged = true;
    st.embeddedLanguage = language;
    // Text read in a language that holds blocks, outside any, is in none:
    // a mark of another language there is what is left of a block an edit
    // closed early or took away.
    const bool stale = !inEmbeddedLanguage && library != nullptr && !(language == kLanguageDefault) &&
                       !(language == library->language) && !Index()->embeddedLanguages.all.empty();
    // What was stepped over since the last character read went the same
    // way, short of the marks of a block that closed there.
    if (stale && staleFrom_ < 0) staleFrom_ = std::max(previous < 0 ? position : previous + 1, closedMarkEnd_);
    if (!stale) ClearStaleMarks(position);
  }

  st.atEnd = position >= textEnd;
  if (st.character == '\n' || st.character == '\r') {
    st.lineBreak = true;
    st.atLineStart = true;
  }

  // The clock is read every few steps only: a progress notice is due a few
  // ticks apart, and a clock read costs as much as a step.
  if (destination.notification != nullptr && !incremental && (!progressSent_ || (++progressSteps_ & 15) == 0)) {
    const UInt32 now = TickCount();
    if (!progressSent_ || now - lastNotification > 5) {
      progressSent_ = true;
      lastNotification = now;
      CFRange progress = textEnd > 0 ? CFRangeMake(CFIndex(SInt64(position) * 100 / textEnd), 100) : CFRangeMake(0, 0);
      Notify(kSyntaxParserNotifyProgress, &progress);
    }
  }

  ProcessOffset();

  if (!incremental) st.languageChanged = false;
  if (destination.stateCallback != nullptr)
    destination.stateCallback(st.character, st.word, st.reservedWord, st.offset, TopContext(), destination.userData);

  // Past its span a re-parse stops in the plain state (no prefix or
  // declaration waiting for the name it colours either), where the earlier
  // parse was plain after the same character too, in the same language:
  // from there on both read the same text the same way. Where the text tells
  // nothing of the earlier parse, it stops unless a range that an edit may
  // have unbalanced was opened (that one goes on to the end). In a block it
  // entered, only where that block is the earlier parse's too. Never in
  // the middle of an open or close text ("*/" read at its "*"): the earlier
  // parse may have read its other characters otherwise; nor inside a word
  // (its style is written at its end, and the old one is reset through
  // here). Nor where the scopes and scope blocks open differ from those the
  // earlier parse had there (an end typed or taken away): what they close
  // further on differs.
  if (marksScopes_) TrackScopes(position);
  if (incremental && position != firstOffset_ && position >= spanEnd && skip_ == 0 && st.word.empty() &&
      st.contextDepth <= 1 && !Waiting() && (!inEmbeddedLanguage || reenteredBlock_)) {
    const SInt16 before = source.controller != nullptr ? source.controller->NestedAfter(position) : SInt16(-1);
    if (before < 0) {
      if (!unbalancedOpen) processState = kParserStateFinished;
    } else if (before == 0 && data.rangeDepth == 0 &&
               // In a block only where the earlier parse was in it too.
               ((!inEmbeddedLanguage && st.embeddedLanguage == kLanguageDefault) ||
                st.embeddedLanguage == library->language)) {
      const bool differed = scopesDiffer_;
      scopesDiffer_ = marksScopes_ && !(source.controller->ScopesAfter(position) == scopeMark_);
      if (!scopesDiffer_) processState = kParserStateFinished;
      // The text reads the same, only what closes where differs: the rest
      // is for the slices, the key has done its part.
      else if (!differed && pauseAt > position) pauseAt = position;
    }
  }
  if (tracksNesting_) TrackNesting(position);
  if (position >= textEnd) processState = kParserStateFinished;

  SInt16 result = processState;
  if (processState == kParserStateFinished) {
    ClearStaleMarks(position + 1);
    MarkBlockRead(position + 1);
    Terminate();
  } else {
    SkipQuietCharacters();
    if (pauseAt >= 0 && position >= pauseAt) {
      ClearStaleMarks(position + 1);
      // The scopes as far as it has read stand for a key meanwhile.
      if (marksScopes_ && position + 1 > scopeMarkFrom_) {
        source.controller->MarkScopes(CFRangeMake(scopeMarkFrom_, position + 1), scopeMark_);
        scopeMarkFrom_ = position + 1;
      }
      paused_ = true;
      if (source.controller != nullptr) source.controller->Prepare(true);
      result = kParserStatePaused;
    }
  }
  nextProcess = next;
  return result;
}

// A re-parse in the language of a block, begun inside one the earlier parse
// marked, goes on as that block: it ends where the block's close text ends
// it, and the language holding the block reads on from there.
void TSyntaxParserProcess::ResumeEarlierBlock() {
  TSyntaxParserController* controller = source.controller;
  if (controller == nullptr || !tracksNesting_ || library == nullptr || library->rootLanguage.empty() ||
      library->rootLanguage == library->language)
    return;
  if (!(controller->GetEmbeddedLanguage(firstOffset_) == library->language)) return;
  TSyntaxCollection* languages = collection != nullptr ? collection : library->collection;
  SyntaxLibraryPtr root = languages != nullptr ? languages->GetLanguageLibrary(library->rootLanguage) : nullptr;
  if (root == nullptr) return;
  // Every definition of the root that opens this language must close alike.
  SyntaxEmbeddedLanguageDataPtr found = nullptr;
  for (SyntaxEmbeddedLanguageDataPtr def : GetLibraryIndex(root)->embeddedLanguages.all) {
    if (def == nullptr || !(def->language == library->language)) continue;
    if (found != nullptr && (!(def->close == found->close) || !(def->closeContext == found->closeContext) ||
                             (def->openContext == kContextAny) != (found->openContext == kContextAny)))
      return;
    if (found == nullptr) found = def;
  }
  if (found == nullptr) return;
  ParserEmbeddedLanguageData& embedded = data.embeddedLanguage;
  embedded.active = true;
  embedded.definition = *found;
  embedded.span = CFRangeMake(firstOffset_ - bufferBase, 0);
  embedded.close = found->close;
  embedded.outerLanguage = root->language;
  inEmbeddedLanguage = true;
  reenteredBlock_ = true;
}

// A re-parse in a language that holds blocks reads its whole span and marks
// again every block it finds there: the earlier parse's marks of the span
// go first, so that those of a block the edit spoilt do not end its ranges.
void TSyntaxParserProcess::ForgetBlocksOfSpan() {
  TSyntaxParserController* controller = source.controller;
  if (controller == nullptr || !tracksNesting_ || inEmbeddedLanguage || library == nullptr ||
      (options & kSyntaxParserProcessDontReset) != 0 || Index()->embeddedLanguages.all.empty())
    return;
  const SInt32 end = std::min(spanEnd, textEnd);
  if (end <= firstOffset_) return;
  controller->SetDataOffset(0);
  controller->ApplyEmbeddedLanguage(CFRangeMake(firstOffset_, end), kLanguageDefault);
  controller->SetDataOffset(bufferBase);
}

// A re-parse that stops inside a block marks what it read of it: text the
// earlier parse read in the outer language may have joined the block.
void TSyntaxParserProcess::MarkBlockRead(SInt32 absoluteEnd) {
  if (!inEmbeddedLanguage || !data.embeddedLanguage.active || source.controller == nullptr || library == nullptr)
    return;
  const SInt32 start = SInt32(data.embeddedLanguage.span.location) + bufferBase;
  const SInt32 end = std::min(absoluteEnd, textEnd);
  if (end <= start) return;
  for (SInt32 i = start; i < end; ++i) {
    if (!(source.controller->GetEmbeddedLanguage(i) == library->language)) {
      source.controller->SetDataOffset(bufferBase);
      source.controller->ApplyEmbeddedLanguage(CFRangeMake(start - bufferBase, end - bufferBase), library->language);
      return;
    }
  }
}

// The characters between stale marks were stepped over in the same
// language as those around them: they go too.
void TSyntaxParserProcess::ClearStaleMarks(SInt32 absoluteEnd) {
  if (staleFrom_ < 0) return;
  if (source.controller != nullptr && absoluteEnd > staleFrom_) {
    source.controller->SetDataOffset(bufferBase);
    source.controller->ApplyEmbeddedLanguage(CFRangeMake(staleFrom_ - bufferBase, std::min(absoluteEnd, textEnd) - bufferBase),
                                             kLanguageDefault);
  }
  staleFrom_ = -1;
}

Boolean TSyntaxParserProcess::TextChanged(SInt32 offset, SInt32 delta) {
  if (terminated_ || !fromController || source.controller == nullptr) return false;
  // What the handlers looked at around the current character must stand.
  if (offset <= state.absoluteOffset + skip_ + kParserLookahead) return false;
  if (loadedEnd_ > offset) {
    text.resize(size_t(offset - bufferBase));
    loadedEnd_ = offset;
  }
  textEnd = source.controller->GetTextLength();
  if (spanEnd > offset) spanEnd = std::max(offset, spanEnd + delta);
  spanEnd = std::min(spanEnd, textEnd);
  streaming = loadedEnd_ < textEnd;
  return true;
}

inline bool TSyntaxParserProcess::EmbeddedLanguageMayAct() {
  if (!data.embeddedLanguage.active)
    return !inEmbeddedLanguage && library != nullptr && !Index()->embeddedLanguages.Empty(state.character);
  return state.atEnd || MayMatchHere(data.embeddedLanguage.close);
}

inline bool TSyntaxParserProcess::RangeMayAct() {
  if (library == nullptr) return false;
  if (state.atEnd) return true;
  if (!Index()->ranges.Empty(state.character)) return true;
  if (data.rangeDepth == 0) return false;
  if (state.languageChanged) return true;
  const ParserRangeData& entry = data.ranges[data.rangeDepth];
  const SyntaxRangeDataPtr top = entry.definition;
  return ((top->singleLine || top->tag) && state.lineBreak) ||
         (entry.nestOpen != 0 && state.character == entry.nestOpen) ||
         MayMatchHere(entry.close.empty() ? top->close : entry.close);
}

// At a word end with no prefix pending, a prefix acts only on a word that
// begins with a prefix character, is a prefix word, or follows a character
// some alternative prefix is keyed by.
inline bool TSyntaxParserProcess::PrefixMayActOnWord() {
  if (library == nullptr) return false;
  const ParserPrefixData& pending = data.prefix;
  if (pending.active) return pending.definition == nullptr || pending.definition->expression.empty();
  const ParserProcessState& st = state;
  if (st.word.len() <= 1) return true;
  const LibraryIndex* index = Index();
  if (index->prefixCharacters.test(At(st.wordSpan.location))) return true;
  if (index->hasAltPrefixes && fileSystem != nullptr && st.lastNonWordChar < 128 &&
      index->altPrefixKeys.test(st.lastNonWordChar))
    return true;
  const WordEntry* entry = CurrentWordEntry();
  return entry != nullptr && entry->prefix;
}

// Whether the word just ended names an expression (or a scope) definition.
inline bool TSyntaxParserProcess::WordNamesDefinitions(bool scopes) {
  if (library == nullptr || state.word.empty()) return false;
  const WordEntry* entry = CurrentWordEntry();
  return entry != nullptr && (scopes ? !entry->scopes.empty() : !entry->expressions.empty());
}

// Inside a tracked scope only its open and close characters count.
inline bool TSyntaxParserProcess::ScopeMayActOnCharacter() const {
  if (data.scopeDepth == 0) return false;
  const ParserScopeData& top = data.scopes[data.scopeDepth];
  if (!top.tracking) return false;
  const UniChar c = state.character;
  return (!top.trackOpen.empty() && c == FromMacRoman(top.trackOpen[1])) ||
         (!top.trackClose.empty() && c == FromMacRoman(top.trackClose[1]));
}

void TSyntaxParserProcess::ProcessOffset() {
  ParserProcessState& st = state;
  const UniChar c = st.character;
  // The look-ahead of the previous character already tested this one when
  // nothing ran in between.
  const bool known = nextIsWord_ && nextIsWordAt_ == st.absoluteOffset && nextIsWordLibrary_ == library;
  nextIsWord_ = false;
  if (!st.atEnd && (known || ValidWordCharacter(c))) {
    if (st.wordSpan.location == -1) st.wordSpan.location = st.offset;
    st.word += ToMacRoman(c);  // kept to 63 characters
    if (st.absoluteOffset + 1 < textEnd && ValidWordCharacter(At(st.offset + 1))) {
      nextIsWord_ = true;
      nextIsWordAt_ = st.absoluteOffset + 1;
      nextIsWordLibrary_ = library;
      return;
    }
    st.wordSpan.length = st.offset + 1;
    wordEntryIndex_ = nullptr;
    wordHashed_ = preHashAt_ == st.wordSpan.location + bufferBase;
    wordHash_ = preHash_;
    // Each handler is called only where its own first test would let it
    // act; the tests are made here, in order, as each handler may change
    // what the next one sees (a language entered, a prefix taken).
    if (EmbeddedLanguageMayAct()) HandleEmbededLanguage();
    if (PrefixMayActOnWord()) HandlePrefix();
    if (!preprocessor_) {
      HandleKeyword();
      if (data.expression.active || WordNamesDefinitions(false)) HandleExpression();
      if (WordNamesDefinitions(true)) HandleScope();
      if (st.reservedWord) HandleScopeBlock();
    }
    if (handlers != nullptr) HandleCustomClass();
    st.previousWord = st.word;
    st.previousWordSpan = st.wordSpan;
    st.word.Clear();
    st.wordSpan = CFRangeMake(-1, -1);
    st.atLineStart = false;
  } else {
    st.nonWord = true;
    st.lastNonWordChar = c;
    if (EmbeddedLanguageMayAct()) HandleEmbededLanguage();
    if (RangeMayAct()) HandleRange();
    if (data.prefix.active || (c != 0 && library != nullptr && Index()->prefixCharacters.test(c))) HandlePrefix();
    if (!preprocessor_) {
      if (data.expression.active) HandleExpression();
      if (ScopeMayActOnCharacter()) HandleScope();
    }
    if (handlers != nullptr) HandleCustomClass();
    if (c != 9 && c != 10 && c != 13 && c != 32) st.atLineStart = false;
  }
}

namespace {

// The units at which a text (an open or close text, a meta character) may
// match at a non-word character: the few a scan must stop at. A literal text
// of two units or more can only match where its second unit follows too
// ("*/" in a comment of many "*").
struct StopUnits {
  UniChar units[12];
  UniChar seconds[12];  // the unit that must follow, or 0 for any
  int count = 0;
  bool wide = false;  // a unit from 256 on
  void Add(UniChar c, UniChar second = 0) {
    if (count >= int(std::size(units))) return;
    units[count] = c;
    seconds[count++] = second;
    wide = wide || c >= 256;
  }
  bool Full() const { return count >= int(std::size(units)); }
  bool AnyWide() const { return wide; }
  // Whether the scan stops at c, which next follows (0xFFFF: whatever
  // follows).
  bool Has(UniChar c, UniChar next) const {
    for (int i = 0; i < count; ++i)
      if (units[i] == c && (seconds[i] == 0 || next == 0xFFFF || seconds[i] == next)) return true;
    return false;
  }
  // A text compared from the current character on (ValidStringOffset).
  template <int N>
  void AddText(const ShortString<N>& s) {
    if (s.empty()) return;
    switch (MetaCharacterKind(s)) {
      case 'r':
        Add('\r');
        Add('\n');
        return;
      case 't':
        Add('\t');
        return;
      case 'f':
        return;
      default:
        // A literal text is compared unit by unit; a meta text is not.
        Add(FromMacRoman(s[1]), s[1] != '\\' && s.len() >= 2 ? FromMacRoman(s[2]) : UniChar(0));
    }
  }
  // A meta character compared with the current one (ValidOffsetMetaCharacter).
  template <int N>
  void AddMeta(const ShortString<N>& s) {
    if (s.empty()) return;
    switch (MetaCharacterKind(s)) {
      case 'r':
        Add('\r');
        Add('\n');
        return;
      case 't':
        Add('\t');
        return;
      case 'f':
        return;
      default:
        Add(FromMacRoman(s[1]));
    }
  }
};

}  // namespace

// Whether a range may open at a conditional stop (absolute offset q, not the
// first of the text; the previous word ends at wordEnd): the tests its
// definitions need of the units and the word around.
static inline bool ConditionalStopHolds(const LibraryIndex::ConditionalStop& stop, const UniChar* units, SInt32 q,
                                        const Str63& previousWord, SInt32 wordEnd) {
  const UniChar before = units[q - 1];
  const UniChar after = units[q + 1];
  if (wordEnd == q && !stop.openWords.empty())
    for (const Str63& word : stop.openWords)
      if (SameText(word, previousWord)) return true;
  if (after < 256 && stop.next.test(after)) return true;
  return stop.atLineStart && (before == '\r' || before == '\n') &&
         (stop.anyAtLineStart || (after < 256 && stop.nextAtLineStart.test(after)));
}

// Whether anything may open at a stop of the language where nothing of the
// state waits: a range, an embedded language or a prefix whose context (and
// scope) allows it here. Contexts and scopes change only where a handler
// acts, so the answer holds until the scan stops.
bool TSyntaxParserProcess::MayOpenHere(UniChar c) {
  const LibraryIndex* index = Index();
  for (SyntaxRangeDataPtr def : index->ranges.Candidates(c))
    if (GetContext(*def)) return true;
  if (!data.embeddedLanguage.active && !inEmbeddedLanguage && !index->embeddedLanguages.Empty(c)) {
    const Str63& top = TopContext();
    for (SyntaxEmbeddedLanguageDataPtr def : index->embeddedLanguages.Candidates(c))
      if (def->openContext == top || def->openContext == kContextAny) return true;
  }
  if (!data.prefix.active && index->prefixCharacters.test(c)) {
    for (const PrefixEntry& entry : index->prefixes) {
      const SyntaxPrefixDataPtr def = entry.definition;
      if (def->prefixes == nullptr || !entry.prefixes.ContainsUnit(c)) continue;
      if (def->compileMode && !collecting) continue;
      if (def->scopeBody && !InScopeBody()) continue;
      if (ValidScope(false, *def) && GetContext(*def)) return true;
    }
  }
  return false;
}

namespace {

// What a library's tables say of a word, whatever the state: kept per thread
// for the words met last, so that a word met again costs one look-up.
enum : UInt8 {
  kWordDigits = 1,   // all digits
  kWordHigh = 2,     // a character past ASCII
  kWordKeyword = 4,  // a keyword, in lower case
  kWordNamed = 8,    // names an expression, a scope or a prefix
  kWordColours = 16,  // a keyword with a set that only colours it (not reserved, holds no styles back)
};

struct WordFacts {
  UInt64 hash;
  const std::vector<SyntaxKeywordDataPtr>* keywords;  // the keyword sets of a keyword
  UInt32 serial;  // of the library index; 0: empty
  UInt8 length;
  UInt8 facts;
  unsigned char bytes[64];
};
constexpr size_t kWordFactsSlots = 4096;

// Whether two words of n bytes (at most 63, each buffer 64 bytes) are the
// same, eight bytes at a time.
inline bool SameWordBytes(const unsigned char* a, const unsigned char* b, int n) {
  if constexpr (std::endian::native != std::endian::little) return std::memcmp(a, b, size_t(n)) == 0;
  for (int i = 0; i < n; i += 8) {
    UInt64 x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    UInt64 d = x ^ y;
    if (n - i < 8) d &= ~UInt64(0) >> (64 - 8 * (n - i));
    if (d != 0) return false;
  }
  return true;
}

UInt8 FactsOfWord(const LibraryIndex& index, const unsigned char* bytes, int length, UInt64 hash,
                  const std::vector<SyntaxKeywordDataPtr>*& keywords) {
  UInt8 facts = 0;
  keywords = nullptr;
  bool digits = true, high = false, same = true;
  unsigned char lower[64];
  for (int i = 0; i < length; ++i) {
    const unsigned char c = bytes[i];
    digits = digits && c >= '0' && c <= '9';
    high = high || c >= 128;
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
    same = same && lower[i] == c;
  }
  if (digits) facts |= kWordDigits;
  if (high) facts |= kWordHigh;
  const std::string_view key(reinterpret_cast<const char*>(lower), size_t(length));
  if (!high && !index.keywords.empty()) {
    keywords = index.keywords.Find(key, same ? hash : HashWord(lower, size_t(length)));
    if (keywords != nullptr) {
      facts |= kWordKeyword;
      for (SyntaxKeywordDataPtr def : *keywords)
        if (!def->reserved && !def->nest) facts |= kWordColours;
    }
  }
  if (index.words.Find(std::string_view(reinterpret_cast<const char*>(bytes), size_t(length)), hash) != nullptr)
    facts |= kWordNamed;
  return facts;
}

}  // namespace

// Whether a whole word (Mac Roman, at most 63 bytes in a buffer of 64; its
// last unit; where it starts) is one no handler acts on where it stands: the tests each handler
// makes first at a word end, with a pending prefix that waits for its line
// end and a collecting expression taken as doing nothing with a word, and
// the library's part of the answer kept per word. The caller has tested the
// word's first unit. A word that only a keyword's colour awaits is not
// quiet, but gives that keyword.
bool TSyntaxParserProcess::QuietWord(const LibraryIndex* index, const unsigned char* bytes, int length,
                                     UniChar last, SInt32 at, SyntaxKeywordDataPtr& keyword) {
  keyword = nullptr;
  if (library == nullptr || length == 0) return false;
  if (data.embeddedLanguage.active) {
    const Str15& close = data.embeddedLanguage.close;
    if (!close.empty() && (close[1] == '\\' || close[1] >= 128 || library->wordCharacters.test(close[1]) ||
                           FromMacRoman(close[1]) == last))
      return false;
  } else if (!inEmbeddedLanguage && !index->embeddedLanguages.Empty(last)) {
    return false;
  }
  if (index->hasAltPrefixes && fileSystem != nullptr) return false;
  // Made on a thread's first scan (zeroed: empty), freed with the thread.
  static thread_local std::unique_ptr<WordFacts[]> cache;
  if (cache == nullptr) cache.reset(new WordFacts[kWordFactsSlots]());
  const UInt64 hash = HashWordPadded(bytes, size_t(length));
  // The word's end hashes it again unless it is told.
  preHash_ = hash;
  preHashAt_ = at;
  WordFacts& slot = cache[hash & (kWordFactsSlots - 1)];
  if (!(slot.serial == index->serial && slot.hash == hash && slot.length == length &&
        SameWordBytes(slot.bytes, bytes, length))) {
    slot.serial = index->serial;
    slot.hash = hash;
    slot.length = UInt8(length);
    std::memcpy(slot.bytes, bytes, size_t(length));
    slot.facts = FactsOfWord(*index, bytes, length, hash, slot.keywords);
  }
  const UInt8 facts = slot.facts;
  if (facts & kWordNamed) return false;
  if (!preprocessor_) {
    if (emptyContext_ && (facts & kWordDigits)) return false;
    if (!index->keywords.empty() && (facts & kWordHigh)) return false;
    if ((facts & (kWordKeyword | kWordColours)) == kWordKeyword) return false;
    if (fileSystem != nullptr && emptyContext_ &&
        IndexGetSymbol(fileSystem, std::string_view(reinterpret_cast<const char*>(bytes), size_t(length))) != nullptr)
      return false;
    if (facts & kWordKeyword) {
      keyword = KeywordHere(*slot.keywords);
      return false;
    }
  }
  return true;
}

// The keyword a word is where it stands (the first of its sets that holds in
// the context), when only its colour follows from it: not a reserved word
// (its end opens or closes blocks) nor one that holds back the styles after
// it. Nil otherwise.
SyntaxKeywordDataPtr TSyntaxParserProcess::KeywordHere(const std::vector<SyntaxKeywordDataPtr>& sets) {
  for (SyntaxKeywordDataPtr def : sets) {
    if (!GetContext(*def)) continue;
    return def->reserved || def->nest ? nullptr : def;
  }
  return nullptr;
}

// The prefix a word (Mac Roman, n bytes in a buffer padded to eight more)
// whose first unit c is a prefix character makes at its end, when it only
// colours the word: the first prefix whose tests hold there, as a scan
// stopped there would find it. Nil otherwise; none is true when no prefix
// acts on the word at all.
SyntaxPrefixDataPtr TSyntaxParserProcess::WordPrefixOnTheWay(const LibraryIndex* index, UniChar c,
                                                             const unsigned char* bytes, int n, bool lineStart,
                                                             bool& none) {
  none = false;
  const std::string_view word(reinterpret_cast<const char*>(bytes), size_t(n));
  const UInt64 hash = HashWordPadded(bytes, size_t(n));
  for (const PrefixEntry& entry : index->prefixes) {
    const SyntaxPrefixDataPtr def = entry.definition;
    if (def->compileMode && !collecting) continue;
    if (def->prefixes == nullptr) continue;
    if (def->scopeBody && !InScopeBody()) continue;
    if (entry.prefixes.ContainsUnit(c) && ValidScope(false, *def) && GetContext(*def) &&
        (!def->lineStart || lineStart))
      return def->expression.empty() && (def->actions & ~(UInt32(1) << kSyntaxActionStyle)) == 0 ? def : nullptr;
    // A prefix word waits for the word after it.
    if (entry.prefixes.ContainsWord(word, hash) && ValidScope(false, *def) && GetContext(*def)) return nullptr;
  }
  none = true;
  return nullptr;
}

// One call of Run handles one character; the characters after it that no
// definition can start or end on, and that no pending prefix, expression,
// range, scope or embedded language waits for, are stepped over at once,
// with what the handlers would have kept of them (the last non-word
// character, the line-start flag, the word read so far, the text an
// expression collects). A parse that reports every character to a callback
// still takes them one at a time.
void TSyntaxParserProcess::SkipQuietCharacters() {
  ParserProcessState& st = state;
  if (((destination.inspector != nullptr || destination.stateCallback != nullptr) && !destination.quietSkips) ||
      handlers != nullptr || library == nullptr)
    return;
  // Inside a range an incremental parse asks the text at every character
  // whether its language changed.
  if (incremental && data.rangeDepth > 0) return;
  const SInt32 first = st.absoluteOffset + 1 + skip_;
  // The last character is always visited, and a controller's text only as
  // far as it has been brought in (one past for the word look-ahead).
  SInt32 limit = std::min(textEnd - 1, (fromController ? loadedEnd_ : textEnd) - 1);
  // An incremental parse that may stop at the end of its span stops there.
  if (incremental && st.contextDepth <= 1 && !unbalancedOpen && !scopesDiffer_ &&
      (!inEmbeddedLanguage || reenteredBlock_))
    limit = std::min(limit, spanEnd);
  // The callbacks see the edit offset.
  if ((destination.inspector != nullptr || destination.stateCallback != nullptr) && source.unused >= first)
    limit = std::min(limit, source.unused);
  if (first >= limit) return;

  const LibraryIndex* index = Index();
  StopUnits stops;
  if (data.embeddedLanguage.active) stops.AddText(data.embeddedLanguage.close);
  if (data.rangeDepth > 0) {
    const ParserRangeData& top = data.ranges[data.rangeDepth];
    const SyntaxRangeDataPtr def = top.definition;
    stops.AddText(top.close.empty() ? def->close : top.close);
    if (def->singleLine || def->tag) {
      stops.Add('\r');
      stops.Add('\n');
    }
    if (top.nestOpen != 0) stops.Add(top.nestOpen);
  }
  if (data.prefix.active && data.prefix.definition != nullptr && !data.prefix.definition->expression.empty())
    stops.AddMeta(data.prefix.definition->lineBreak);
  const bool collecting = data.expression.active && !preprocessor_;
  if (collecting) {
    stops.AddMeta(data.expression.lineBreak);
    const SyntaxExpressionDataPtr def = data.expression.definition;
    if (def != nullptr && !def->alsoBreak.empty()) stops.Add(FromMacRoman(def->alsoBreak[1]));
  }
  if (data.scopeDepth > 0) {
    const ParserScopeData& top = data.scopes[data.scopeDepth];
    if (top.tracking) {
      if (!top.trackOpen.empty()) stops.Add(FromMacRoman(top.trackOpen[1]));
      if (!top.trackClose.empty()) stops.Add(FromMacRoman(top.trackClose[1]));
    }
  }
  if (stops.Full()) return;

  const UniChar* units = text.data() - bufferBase;  // by absolute offset
  const bool wordsMayWait = !data.prefix.active || (data.prefix.definition != nullptr &&
                                                    !data.prefix.definition->expression.empty());
  // A word being read takes its next characters; at anything else it ends,
  // and its end is handled.
  const bool wordPending = !st.word.empty();
  const bool wordsMayBeQuiet = !wordPending && st.wordSpan.location == -1 && wordsMayWait &&
                               !(index->hasAltPrefixes && fileSystem != nullptr);
  // Keywords, and words a prefix only colours, are coloured on the way
  // unless a callback watches the words.
  const bool actOnTheWay = destination.inspector == nullptr && destination.stateCallback == nullptr;
  // The units below 256 in one table: the library's classes, and the stops
  // of this state (to be tested with the unit after them).
  enum : UInt8 { kHeld = 32 };
  UInt8 kinds[256];
  std::memcpy(kinds, index->unitClass, sizeof kinds);
  for (int i = 0; i < stops.count; ++i)
    if (stops.units[i] < 256) kinds[stops.units[i]] |= kHeld;
  constexpr UInt8 kEvent = LibraryIndex::kWord | LibraryIndex::kStop | kHeld;
  const bool wideStops = stops.AnyWide();
  SInt32 q = first;
  bool lineStart = st.atLineStart;
  UniChar lastNonWord = st.lastNonWordChar;
  for (; q < limit; ++q) {
    const UniChar c = units[q];
    const UInt8 kind = c < 256 ? kinds[c] : UInt8(index->ClassOf(c) | (wideStops && stops.Has(c, 0xFFFF) ? kHeld : 0));
    if (kind & LibraryIndex::kWord) {
      // Inside a word only the word grows; its last character is handled.
      // The run is found first, its first 63 characters taken as the word
      // on the way (Mac Roman, the form words take), then taken whole.
      SInt32 end = q + 1;
      for (; end <= limit; ++end) {
        const UniChar v = units[end];
        if (!(v < 256 ? (kinds[v] & LibraryIndex::kWord) : library->wordCharacters.test(v))) break;
      }
      // Read eight bytes at a time: the bytes past the word are zeros.
      unsigned char bytes[64 + 8];
      const int n = int(std::min<SInt32>(end - q, 63));
      UniChar high = 0;
      for (int i = 0; i < n; ++i) {
        const UniChar u = units[q + i];
        high |= u;
        bytes[i] = static_cast<unsigned char>(u);
      }
      if (high >= 128)
        for (int i = 0; i < n; ++i) bytes[i] = ToMacRoman(units[q + i]);
      std::memset(bytes + n, 0, 8);
      // A whole word no handler acts on is stepped over too, leaving what
      // its end would have left: the previous word, the line start gone.
      // A prefix waiting for the end of its line, and an expression that
      // collects its text, do nothing else with a word: such a word is
      // stepped over too when nothing else acts on it (the expression takes
      // it into its text).
      // A word that begins with a prefix character ("$total") is taken
      // too when the prefix it makes only colours it.
      SyntaxKeywordDataPtr keyword = nullptr;
      SyntaxPrefixDataPtr prefix = nullptr;
      bool prefixQuiet = !(kind & LibraryIndex::kPrefix);
      if (!prefixQuiet && end <= limit && wordsMayBeQuiet && actOnTheWay && !data.prefix.active)
        prefix = WordPrefixOnTheWay(index, c, bytes, n, lineStart, prefixQuiet);
      if (end <= limit && wordsMayBeQuiet && (prefixQuiet || prefix != nullptr) &&
          (QuietWord(index, bytes, n, units[end - 1], q, keyword) || (keyword != nullptr && actOnTheWay))) {
        // The prefix and a keyword colour it as its end would, once a
        // file's text has reached the controller as far as it would have.
        if (prefix != nullptr || keyword != nullptr) {
          if (!fromController && streaming && end - 1 + kParserLookahead > fileInserted_)
            EnsureLoaded(end - 1 + kParserLookahead);
        }
        if (prefix != nullptr)
          ApplyDefinitionAction(Str63::FromBytes(bytes, n), CFRangeMake(q - bufferBase, end - bufferBase),
                                data.scopeDepth, *prefix);
        if (keyword != nullptr) ApplyRangeStyle(keyword->styleData, CFRangeMake(q - bufferBase, end - bufferBase));
        if (collecting) data.expression.collected += Str63::FromBytes(bytes, n);
        st.previousWord.Assign(reinterpret_cast<const char*>(bytes), size_t(n));
        st.previousWordSpan = CFRangeMake(q - bufferBase, end - bufferBase);
        lineStart = false;
        q = end - 1;
        continue;
      }
      const SInt32 last = std::min(end - 1, limit);
      if (last > q && st.wordSpan.location == -1) st.wordSpan.location = q - bufferBase;
      const int had = st.word.len();
      const int take = std::min<int>(int(last - q), 63 - had);
      if (take > 0) {
        std::memcpy(st.word.s + 1 + had, bytes, size_t(take));
        st.word.SetLength(had + take);
      }
      q = last;
      break;
    }
    if (wordPending) break;
    if (!(kind & kEvent) && !collecting) {
      // A run of units that are neither word characters nor stops: only
      // the last of them, and the last that is not a blank, leave a trace.
      SInt32 r = q + 1;
      while (r < limit) {
        const UniChar u = units[r];
        if (u >= 256 || (kinds[u] & kEvent)) break;
        ++r;
      }
      lastNonWord = units[r - 1];
      for (SInt32 k = r - 1; k >= q; --k) {
        const UInt8 t = units[k] < 256 ? kinds[units[k]] : 0;
        if (t & LibraryIndex::kLineBreak) {
          lineStart = true;
          break;
        }
        if (!(t & LibraryIndex::kBlank)) {
          lineStart = false;
          break;
        }
      }
      q = r - 1;
      continue;
    }
    if ((kind & kHeld) && stops.Has(c, units[q + 1])) break;
    if (kind & LibraryIndex::kStop) {
      // A conditional or contextual stop below 256 where its test fails
      // is stepped over like any other character.
      bool quiet = false;
      if (c < 256) {
        if (index->conditional.test(c) &&
            !ConditionalStopHolds(index->conditions[size_t(c)], units, q, st.previousWord,
                                  SInt32(st.previousWordSpan.length) + bufferBase)) {
          quiet = true;
        } else if (index->contextual.test(c) && !(emptyContext_ && index->opensInEmpty.test(c))) {
          st.lastNonWordChar = lastNonWord;
          quiet = !MayOpenHere(c);
        }
      }
      if (!quiet) break;
    }
    lastNonWord = c;
    if (kind & LibraryIndex::kLineBreak) lineStart = true;
    else if (!(kind & LibraryIndex::kBlank)) lineStart = false;
    if (collecting && c != 0) data.expression.collected += ToMacRoman(c);
  }
  st.lastNonWordChar = lastNonWord;
  st.atLineStart = lineStart;
  nextIsWord_ = false;
  skip_ = q - st.absoluteOffset - 1;
}

void TSyntaxParserProcess::SkipCharacters(SInt32 count) {
  if (count <= 0) return;
  // Never past the last character: the end position is always visited.
  const SInt32 room = textEnd - 1 - (state.absoluteOffset + skip_);
  if (count > room) count = room;
  if (count > 0) skip_ += count;
}

void TSyntaxParserProcess::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  processState = kParserStateFinished;
  TSyntaxParserController* controller = source.controller;
  if (descriptor != nullptr && parent != nullptr && parent->descriptor != nullptr)
    IndexAppendHeaders(parent->descriptor, descriptor);
  // Styles and scope spans still recorded when the text ends are applied,
  // not dropped.
  DumpStyleRanges();
  DumpScopeRanges();
  if (controller != nullptr) {
    ResetThrough(std::min(state.absoluteOffset + 1, textEnd));
    if (nestedSince_ >= 0) controller->MarkNested(CFRangeMake(nestedSince_, textEnd));
    nestedSince_ = -1;
    if (marksScopes_)
      controller->MarkScopes(CFRangeMake(scopeMarkFrom_, std::min(state.absoluteOffset + 1, textEnd)), scopeMark_);
    marksScopes_ = false;
  }
  if (!incremental) {
    FinishDescriptor();
    Notify(kSyntaxParserNotifyFinished, nullptr);
    if (controller != nullptr) controller->Redraw();
    if (source.document != nullptr) source.document->Loaded();
  }
  if (controller != nullptr) controller->Prepare(true);
  Release();
}

void TSyntaxParserProcess::FinishDescriptor() {
  if (descriptor == nullptr || incremental) return;
  IndexSetDescriptorDate(descriptor, descriptorDate_);
}

// ---------------------------------------------------------------------------
// Contexts, tests and character access

void TSyntaxParserProcess::SetContext(const Str63& name) {
  if (state.contextDepth >= kParserStackDepth) state.context[kParserStackDepth] = name;
  else state.context[++state.contextDepth] = name;
  preprocessor_ = TopContext() == kContextPreprocessor;
  emptyContext_ = TopContext() == kContextEmpty;
  protectedContext_ = TopContext() == kContextProtected;
}

void TSyntaxParserProcess::ClearContext() {
  if (state.contextDepth <= 1) return;
  state.context[state.contextDepth] = kContextEmpty;
  --state.contextDepth;
  preprocessor_ = TopContext() == kContextPreprocessor;
  emptyContext_ = TopContext() == kContextEmpty;
  protectedContext_ = TopContext() == kContextProtected;
}

Boolean TSyntaxParserProcess::GetContext(const SyntaxStandardData& definition) {
  if (definition.context.empty() || SameText(definition.context, kContextAny)) return true;
  if (protectedContext_ && !definition.protected_) return true;
  return SameText(definition.context, TopContext());
}

UniChar TSyntaxParserProcess::GetCharacterAtOffset(SInt16 n) {
  const SInt32 absolute = state.absoluteOffset + n;
  if (absolute < 0 || absolute >= textEnd) return 0;
  if (absolute >= bufferBase + SInt32(text.size())) EnsureLoaded(absolute + 1);
  return At(absolute - bufferBase);
}

Boolean TSyntaxParserProcess::ValidWordCharacter(UniChar c) { return SyntaxLibraryIsWordCharacter(library, c); }

bool TSyntaxParserProcess::Matches(SInt32 bufferOffset, const Str15& s) const {
  const int n = s.len();
  if (n == 0) return false;
  if (bufferBase + bufferOffset + n > textEnd) return false;
  if (bufferOffset >= 0 && size_t(bufferOffset) + size_t(n) <= text.size()) {
    const UniChar* here = text.data() + bufferOffset;
    for (int i = 0; i < n; ++i)
      if (here[i] != FromMacRoman(s[i + 1])) return false;
    return true;
  }
  for (int i = 0; i < n; ++i)
    if (At(bufferOffset + i) != FromMacRoman(s[i + 1])) return false;
  return true;
}

UInt64 TSyntaxParserProcess::HashCurrentWord() const { return HashWord(state.word.data() + 1, size_t(state.word.len())); }

Boolean TSyntaxParserProcess::ValidStringOffset(const Str15& s) {
  if (s.empty()) return false;  // an empty text would match everywhere
  if (SameText(s, state.word)) return true;
  if (s[1] != '\\') {
    // A literal text: it starts with the current character (the common
    // miss), and the rest is compared in place.
    if (FromMacRoman(s[1]) != state.character) return false;
    const int n = s.len();
    const SInt32 at = state.offset;
    if (bufferBase + at + n > textEnd) return false;
    if (at < 0 || size_t(at) + size_t(n) > text.size()) return Matches(at, s);
    const UniChar* here = text.data() + at;
    for (int i = 2; i <= n; ++i)
      if (here[i - 1] != FromMacRoman(s[i])) return false;
    return true;
  }
  switch (MetaCharacterKind(s)) {
    case 'r':
      return state.lineBreak;
    case 'f':
      return state.atEnd;
    case 't':
      return state.character == 9;
    default:
      break;
  }
  return Matches(state.offset, s);
}

Boolean TSyntaxParserProcess::ValidOffsetMetaCharacter(const MetaCharacterString& meta) {
  switch (MetaCharacterKind(meta)) {
    case 'r':
      return state.lineBreak;
    case 'f':
      return state.atEnd;
    case 't':
      return state.nonWord && state.character == 9;
    default:
      break;
  }
  return state.nonWord && !meta.empty() && state.character == FromMacRoman(meta[1]);
}

Str255 TSyntaxParserProcess::TextRange(SInt32 first, SInt32 last) const {
  Str255 r;
  if (first < 0) first = 0;
  for (SInt32 i = first; i <= last && r.len() < 255; ++i) {
    if (bufferBase + i >= textEnd) break;
    r += ToMacRoman(At(i));
  }
  return r;
}

// ---------------------------------------------------------------------------
// Styles and scope spans

void TSyntaxParserProcess::ApplyRangeStyle(const SyntaxStyleData& style, CFRange span) {
  TSyntaxParserController* controller = source.controller;
  if (controller == nullptr) return;
  // Spans never reach past the text (a close text assumed at the end).
  const SInt32 limit = textEnd - bufferBase;
  if (span.length > limit) span.length = limit;
  if (span.location < 0) span.location = 0;
  if (span.length < span.location) return;
  if (state.deferStyles) {
    styledRanges_.push_back(ParserStyledRange{span, style});
    return;
  }
  if (style.styleIndex > 0) {
    if (resetEnd_ >= 0) ResetBefore(SInt32(span.location) + bufferBase, SInt32(span.length) + bufferBase);
    controller->StyleRange(span, style.style);
    if (style.protectStyle) controller->ProtectRange(span);
  }
}

// Only the gap before a write is reset: the written characters take their
// new style over the old one.
void TSyntaxParserProcess::ResetBefore(SInt32 absoluteStart, SInt32 absoluteEnd) {
  if (resetEnd_ < 0 || absoluteEnd <= resetEnd_) return;
  ResetThrough(absoluteStart);
  resetEnd_ = std::min(absoluteEnd, textEnd);
}

void TSyntaxParserProcess::ResetThrough(SInt32 absoluteEnd) {
  if (resetEnd_ < 0 || absoluteEnd <= resetEnd_ || source.controller == nullptr) return;
  source.controller->ResetRange(CFRangeMake(resetEnd_, absoluteEnd));
  resetEnd_ = absoluteEnd;
}

// The marks a later re-parse compares its state with. The characters a
// nested stretch covers are reset first, so that no later reset wipes the
// mark.
void TSyntaxParserProcess::TrackNesting(SInt32 position) {
  if (!Plain()) {
    if (nestedSince_ < 0) nestedSince_ = position;
    return;
  }
  if (nestedSince_ < 0) return;
  ResetThrough(position);
  source.controller->MarkNested(CFRangeMake(nestedSince_, position));
  nestedSince_ = -1;
}

// Scopes are told apart by where they opened and how deep their brackets
// are, scope blocks by how many are open and where the innermost opened:
// enough to see the stack change from one character to the next, without
// packing it at every character.
UInt64 TSyntaxParserProcess::ScopePrint() const {
  UInt64 print = UInt64(data.scopeDepth) + 1;
  for (SInt16 level = 1; level <= data.scopeDepth; ++level) {
    const ParserScopeData& scope = data.scopes[level];
    print = (print ^ (UInt64(UInt32(scope.span.location)) << 16 ^ UInt64(UInt16(scope.nesting)))) *
            0x9E3779B97F4A7C15ull;
  }
  if (data.scopeBlockDepth > 0)
    print = (print ^ (UInt64(UInt32(data.scopeBlocks[data.scopeBlockDepth].span.location)) << 16 ^
                      UInt64(UInt16(data.scopeBlockDepth)))) *
            0x9E3779B97F4A7C15ull;
  return print;
}

// The scope blocks first, outermost first: their count, then per block its
// word (a length and the bytes) and the level of the scope it closes. Then
// per scope, outermost first: its name and its symbol's name (each a length
// and the bytes), its bracket depth and the context depth it opened in.
// Scopes that no longer fit are left out, the innermost first.
Str255 TSyntaxParserProcess::PackScopes() const {
  Str255 packed;
  packed += static_cast<unsigned char>(0);
  for (SInt16 level = 1; level <= data.scopeBlockDepth; ++level) {
    const ParserScopeBlockData& block = data.scopeBlocks[level];
    if (packed.len() + 2 + block.blockName.len() > 255) break;
    packed += static_cast<unsigned char>(block.blockName.len());
    packed += block.blockName;
    packed += static_cast<unsigned char>(std::clamp<SInt16>(block.scopeLevel, 0, 255));
    ++packed[1];
  }
  for (SInt16 level = 1; level <= data.scopeDepth; ++level) {
    const ParserScopeData& scope = data.scopes[level];
    const int need = 4 + scope.scopeName.len() + scope.symbolName.len();
    if (packed.len() + need > 255) break;
    packed += static_cast<unsigned char>(scope.scopeName.len());
    packed += scope.scopeName;
    packed += static_cast<unsigned char>(scope.symbolName.len());
    packed += scope.symbolName;
    packed += static_cast<unsigned char>(std::clamp<SInt16>(scope.nesting, 0, 255));
    packed += static_cast<unsigned char>(std::clamp<SInt16>(scope.contextDepth, 0, 255));
  }
  // Nothing open packs as nothing.
  if (packed.len() == 1) packed.Clear();
  return packed;
}

// The stack after the character at position is new: the characters since
// the last change had the old one after them.
void TSyntaxParserProcess::TrackScopes(SInt32 position) {
  const UInt64 print = ScopePrint();
  if (print == scopePrint_) return;
  source.controller->MarkScopes(CFRangeMake(scopeMarkFrom_, position), scopeMark_);
  scopePrint_ = print;
  scopeMark_ = PackScopes();
  scopeMarkFrom_ = position;
}

// The definition that opens scopes of that name in the library in force: a
// scope of its own, else a declaration that opens one.
SyntaxStandardDataPtr TSyntaxParserProcess::FindScopeDefinition(const Str63& scopeName) {
  if (library == nullptr || scopeName.empty()) return nullptr;
  const WordEntry* entry = Index()->words.Find(scopeName.view());
  if (entry == nullptr) return nullptr;
  if (!entry->scopes.empty()) return entry->scopes.front();
  for (SyntaxExpressionDataPtr def : entry->expressions)
    if (SyntaxActionsContain(def->actions, kSyntaxActionScopeBlock) ||
        SyntaxActionsContain(def->actions, kSyntaxActionScope))
      return def;
  return nullptr;
}

void TSyntaxParserProcess::SeedScopes(const Str255& packed) {
  const int n = packed.len();
  if (n == 0) return;
  int i = 1;
  const int blocks = packed[i++];
  const LibraryIndex* index = library != nullptr ? Index() : nullptr;
  // A pack that does not read takes no scopes after its blocks.
  for (int b = 0; b < blocks; ++b) {
    const int nameLength = i <= n ? packed[i++] : 0;
    if (i > n || nameLength > 31 || i + nameLength > n || data.scopeBlockDepth >= kParserStackDepth) {
      i = n + 1;
      break;
    }
    const Str31 name = Str31::FromBytes(packed.s + i, size_t(nameLength));
    i += nameLength;
    const SInt16 scopeLevel = packed[i++];
    // The block closes as the definition that opens it says (the first
    // one when none does any more).
    SyntaxScopeBlockDataPtr definition = nullptr;
    if (index != nullptr && !index->scopeBlocks.empty()) {
      const UInt64 hash = HashWord(name.view());
      definition = index->scopeBlocks.front().definition;
      for (const ScopeBlockEntry& entry : index->scopeBlocks)
        if (entry.open.ContainsWord(name.view(), hash) || entry.openNewline.ContainsWord(name.view(), hash)) {
          definition = entry.definition;
          break;
        }
    }
    ParserScopeBlockData& block = data.scopeBlocks[++data.scopeBlockDepth];
    block = ParserScopeBlockData();
    block.blockName = name;
    block.span = CFRangeMake(-1, 0);
    block.definition = definition;
    block.scopeLevel = scopeLevel;
  }
  while (i <= n) {
    Str63 scopeName, symbolName;
    const int nameLength = packed[i++];
    if (nameLength > 63 || i + nameLength > n + 1) break;
    scopeName = Str63::FromBytes(packed.s + i, size_t(nameLength));
    i += nameLength;
    if (i > n) break;
    const int symbolLength = packed[i++];
    if (symbolLength > 63 || i + symbolLength + 2 > n + 1) break;
    symbolName = Str63::FromBytes(packed.s + i, size_t(symbolLength));
    i += symbolLength;
    const SInt16 nesting = packed[i++];
    const SInt16 contextDepth = packed[i++];
    if (!PushScope()) break;
    ParserScopeData& scope = data.scopes[data.scopeDepth];
    scope.scopeName = scopeName;
    scope.symbolName = symbolName;
    scope.contextDepth = contextDepth;
    scope.definition = FindScopeDefinition(scopeName);
    scope.symbol = fileSystem != nullptr && !symbolName.empty() ? IndexGetSymbol(fileSystem, symbolName.view()) : nullptr;
    if (scope.definition != nullptr) SetScopeRangeTracking(data.scopeDepth, scope.symbol, *scope.definition);
    scope.nesting = nesting;
  }
  // A block ties only to a scope that came along.
  for (SInt16 level = 1; level <= data.scopeBlockDepth; ++level)
    if (data.scopeBlocks[level].scopeLevel > data.scopeDepth) data.scopeBlocks[level].scopeLevel = 0;
}

void TSyntaxParserProcess::DumpStyleRanges() {
  state.deferStyles = false;
  TSyntaxParserController* controller = source.controller;
  if (controller != nullptr) {
    for (auto it = styledRanges_.rbegin(); it != styledRanges_.rend(); ++it) {
      if (it->style.styleIndex <= 0) continue;
      if (resetEnd_ >= 0) ResetBefore(SInt32(it->span.location) + bufferBase, SInt32(it->span.length) + bufferBase);
      controller->StyleRange(it->span, it->style.style);
      if (it->style.protectStyle) controller->ProtectRange(it->span);
    }
  }
  styledRanges_.clear();
}

void TSyntaxParserProcess::AppendScopeDump(SymbolInfoPtr symbol, CFRange span) {
  scopeRanges_.push_back(ParserScopeRange{span, symbol});
}

void TSyntaxParserProcess::DumpScopeRanges() {
  TSyntaxParserController* controller = source.controller;
  if (controller != nullptr) {
    for (auto it = scopeRanges_.rbegin(); it != scopeRanges_.rend(); ++it)
      if (it->symbol != nullptr) controller->ApplySymbol(it->span, it->symbol);
  }
  scopeRanges_.clear();
}

void TSyntaxParserProcess::ClearSpans() {
  DumpStyleRanges();
  DumpScopeRanges();
  state.contextDepth = 0;
  SetContext(kContextEmpty);
  for (SInt16 i = 1; i <= data.rangeDepth; ++i) data.ranges[i] = ParserRangeData();
  data.rangeDepth = 0;
  for (SInt16 i = 1; i <= data.scopeDepth; ++i) data.scopes[i] = ParserScopeData();
  data.scopeDepth = 0;
}

void TSyntaxParserProcess::HandleCustomClass() {
  if (handlers == nullptr) return;
  const CFIndex count = CFArrayGetCount(handlers);
  for (CFIndex i = 0; i < count; ++i) {
    auto* handler = static_cast<TSyntaxParserHandler*>(const_cast<void*>(CFArrayGetValueAtIndex(handlers, i)));
    handler->process = this;
    handler->state = state;
    handler->HandleState();
  }
}

// ---------------------------------------------------------------------------
// Custom-class handlers

Str63 TSyntaxParserHandler::GetContext() {
  if (process == nullptr) return Str63();
  SInt16 depth = state.contextDepth;
  if (depth < 1) depth = 1;
  if (depth > kParserStackDepth) depth = kParserStackDepth;
  return process->state.context[depth];
}

Str63 TSyntaxParserHandler::GetScope() {
  if (process == nullptr || process->data.scopeDepth == 0) return Str63();
  return process->data.scopes[process->data.scopeDepth].scopeName;
}

SyntaxCustomDataPtr TSyntaxParserHandler::GetDefinition(const Str255& name) {
  if (process == nullptr || process->library == nullptr || process->library->customs == nullptr) return nullptr;
  const CFIndex count = CFArrayGetCount(process->library->customs);
  for (CFIndex i = 0; i < count; ++i) {
    auto* def = static_cast<SyntaxCustomDataPtr>(const_cast<void*>(CFArrayGetValueAtIndex(process->library->customs, i)));
    if (def != nullptr && def->definitionName == name) return def;
  }
  return nullptr;
}

Str63 TSyntaxParserHandler::GetScopeBlock() {
  if (process == nullptr || process->data.scopeBlockDepth == 0) return Str63();
  return process->data.scopeBlocks[process->data.scopeBlockDepth].blockName;
}

UniChar TSyntaxParserHandler::GetRelativeCharacter(SInt16 n) {
  return process != nullptr ? process->GetCharacterAtOffset(n) : UniChar(0);
}

void TSyntaxParserHandler::CloseScopeBlock() {
  if (process == nullptr || process->data.scopeBlockDepth == 0) return;
  process->data.scopeBlocks[process->data.scopeBlockDepth--] = ParserScopeBlockData();
}

void TSyntaxParserHandler::CloseScope() {
  if (process == nullptr || process->data.scopeDepth == 0) return;
  process->data.scopes[process->data.scopeDepth--] = ParserScopeData();
}

void TSyntaxParserHandler::OpenScope(const Str63& name, SymbolInfoPtr symbol) {
  if (process == nullptr || process->data.scopeDepth >= kParserStackDepth) return;
  ParserScopeData& scope = process->data.scopes[++process->data.scopeDepth];
  scope = ParserScopeData();
  scope.scopeName = name;
  scope.symbol = symbol;
  scope.contextDepth = process->state.contextDepth;
}

void TSyntaxParserHandler::PrintLocation() {
  if (process == nullptr) return;
  std::fprintf(stderr, "---------- PARSER LOCATION ----------\n");
  std::string around;
  for (SInt16 n = -60; n <= 60; ++n) {
    const UniChar c = process->GetCharacterAtOffset(n);
    around += c == 0 ? ' ' : char(ToMacRoman(c));
  }
  std::fprintf(stderr, "%s\n", around.c_str());
}

void TSyntaxParserHandler::PrintState() {
  std::fprintf(stderr, "---------- PARSER STATE ----------\n");
  std::fprintf(stderr, "word: %s\n", state.word.str().c_str());
  std::fprintf(stderr, "trailing word: %s\n", state.word.str().c_str());
}

SInt16 TSyntaxParserHandler::HandleState() { return 1; }
