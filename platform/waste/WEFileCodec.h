// File formats of the text engine, kept apart from the engine itself: plain
// text in a named encoding, and styled text as RTF. Both work on a neutral
// form (UTF-16 code units plus style runs), so WELoad and WESave only move
// that form in and out of an instance.
//
// Every reader takes hostile input: it answers a status (and leaves its
// output empty) or a best-effort result, never reads past its bytes, and
// never writes a lossy file without saying so.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "MacTypes.h"

// From `from`, stepping over four UTF-16 units at a time while none of them
// is below 14 (so none is a CR or an LF): the first place a line end may
// stand, at most a few units before it; n at the end.
size_t WESkipPlainUnits(const UniChar* t, size_t from, size_t n);

// ---------------------------------------------------------------------------
// The neutral form

// The attributes of one run that RTF can carry. The engine maps its family IDs
// to and from names through its own font table.
struct WECodecStyle {
  std::string fontName;        // family name, UTF-8; empty: none named
  Fixed size = 12 << 16;       // points, 16.16
  RGBColor color = {0, 0, 0};  // 16 bits a channel
  bool bold = false;
  bool italic = false;
  bool underline = false;

  bool operator==(const WECodecStyle& other) const;
  bool operator!=(const WECodecStyle& other) const { return !(*this == other); }
};

struct WECodecRun {
  UInt32 start;  // offset of the run's first code unit
  WECodecStyle style;
};

// Text with its runs. Runs are in ascending order of start; the first starts
// at 0 and each lasts until the next one (the last one until the end).
// The reader always gives at least one run (for empty text, the style in
// force at the end, which the engine can keep as the typing style), never
// two neighbours with the same style, and no empty run except that one.
struct WECodecText {
  std::vector<UniChar> text;
  std::vector<WECodecRun> runs;
};

// ---------------------------------------------------------------------------
// Plain text

// What becomes of line endings while text is decoded or encoded. Keep leaves
// the code units as they are; the others turn every CR, LF and CR LF pair
// into one ending of the kind named.
enum WELineEnding : UInt8 {
  weLineEndingKeep = 0,
  weLineEndingCR = 1,
  weLineEndingLF = 2,
  weLineEndingCRLF = 3,
};

// The encodings the codec converts (TextEncoding and CFStringEncoding share
// their numbers): Mac Roman, ISO Latin 1, Windows Latin 1, ASCII, UTF-8,
// UTF-16 and UTF-32 (plain: byte-order mark honoured, big-endian without one;
// written with a mark), and their BE / LE forms (no mark written; a leading
// mark of the same order is skipped when read, as is one of UTF-8). A text
// that begins with U+FEFF is written after a mark in every Unicode form, so
// that it reads back as it was. Also the other scripts' encodings the
// string layer converts on this machine (CFStringIsEncodingAvailable).
bool WECodecIsEncodingSupported(TextEncoding encoding);

// Decodes a file's bytes into UTF-16 code units (replacing `text`).
//   kTextUnsupportedEncodingErr  the encoding is not one of the above
//   kTextMalformedInputErr       the bytes are not valid in it (invalid UTF-8,
//                                a byte Windows Latin 1 or ASCII has no
//                                character for, odd UTF-16 lengths, unpaired
//                                surrogates)
//   paramErr                     nil bytes with a non-zero count
OSStatus WEDecodeText(const void* bytes, size_t byteCount, TextEncoding encoding, WELineEnding lineEnding,
                      std::vector<UniChar>& text);

// Encodes code units into a file's bytes (replacing `bytes`).
//   kTextUnsupportedEncodingErr  the encoding is not one of the above
//   kTECUnmappableElementErr     a character has no form in the encoding (or
//                                is an unpaired surrogate); *badOffset, when
//                                given, receives its code-unit offset in `text`
//   paramErr                     nil text with a non-zero count
OSStatus WEEncodeText(const UniChar* text, size_t count, TextEncoding encoding, WELineEnding lineEnding,
                      std::string& bytes, size_t* badOffset = nullptr);

// The kind of the first line ending in the text; weLineEndingKeep when it has none.
WELineEnding WEDetectLineEnding(const UniChar* text, size_t count);

// Turns every CR, LF and CR LF pair into the ending named (nothing for Keep).
void WEConvertLineEndings(std::vector<UniChar>& text, WELineEnding lineEnding);

// ---------------------------------------------------------------------------
// RTF

// Reads an RTF document (replacing `out`). Paragraph and line breaks become CR.
//   kTextMalformedInputErr  the bytes do not begin with "{\rtf" (white space
//                           before it allowed), or groups nest deeper than the
//                           reader follows
//   paramErr                nil bytes with a non-zero count
// A document that ends early (missing closing braces, a cut escape) gives
// the text read so far and noErr. Runs name at most 1024 different fonts
// (the engine keeps the names it meets for good); runs in further fonts name
// none.
OSStatus WEReadRTF(const void* bytes, size_t byteCount, WECodecText& out);

// Writes the text and its runs as an RTF document (replacing `rtf`): plain
// ASCII, a font table of the names used, a colour table of the colours used,
// characters outside printable ASCII as \uN with a '?' fallback, every CR,
// LF and CR LF pair as one \par.
//   paramErr  runs out of order, a run past the end of the text, or a first
//             run that does not start at 0
// Without runs the text is written with no character formatting.
OSStatus WEWriteRTF(const WECodecText& in, std::string& rtf);
