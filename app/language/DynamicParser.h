// DynamicParser: after an edit, the source editor re-parses only a stretch
// of the text around it. These procedures choose that stretch from what
// earlier parses left on the text: the colours of styled runs and the
// embedded-language marks ('ELNG').
//
// Offsets are character offsets of the text (UTF-16 units); spans are
// start/end pairs (the CFRange's length field holds the END offset).
// "Blank" means tab, line feed, carriage return or space.
#pragma once

#include "CarbonEvents.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "WASTE.h"

// Answers of PreParseEmbeddedLanguage.
enum : SInt16 {
  kEmbeddedLanguageIntact = 1,   // the region still opens and closes
  kEmbeddedLanguageReparse = 2,  // parse the whole region again
};

// Widens the span to whole styled runs, then on to the next blank, never
// crossing a character of another embedded language than the one at the
// span's start.
CFRange FindContinuosRange(CFRange span, TWASTEController* controller);

// A stretch that begins where the earlier parse had something open or
// waiting (a string, a tag, a declaration waiting for its name) begins
// before what opened it, so that the re-parse reads that again: the start
// moved back to the run of non-blank characters where that began, never
// across a border of the language at the start. FindContinuosRange ends so.
SInt32 FindPlainStart(SInt32 start, TSyntaxParserController* controller);

// The region of one embedded language around an edit at offset (delta < 0:
// a deletion), as a span; (0, 0) when the edit is not at or in such a
// region, or the region is shorter than 3 characters. Unmarked text counts
// as the document's own language.
CFRange FindLanguageRange(SInt32 offset, SInt32 delta, const Str63& language, TWASTEController* controller);

// Whether the region (a span from FindLanguageRange) still begins with the
// opening and ends with the closing of one of the library's embedded
// languages: kEmbeddedLanguageIntact, else kEmbeddedLanguageReparse. An edit
// whose run of non-blank characters holds a closing text always asks for a
// re-parse.
SInt16 PreParseEmbeddedLanguage(SInt32 offset, CFRange span, SyntaxLibraryPtr library, WEReference we);

// Clears the styles and tracking from offset (plus the controller's data
// offset) up to the end of the first closing text after it, or to the end of
// the text when there is none.
void ResetLanguageRange(SInt32 offset, const Str15& close, TWASTEController* controller);

// The run of non-blank characters containing offset, cut at 255 characters;
// empty when the character at offset is blank or outside the text. span
// receives the offsets of the run's FIRST and LAST character ((0, 0) when
// the result is empty).
Str255 WEGetContinousTextString(SInt32 offset, CFRange& span, WEReference we);

// All three components equal.
Boolean CompareRGBColor(const RGBColor& a, const RGBColor& b);

// The 'colr' attribute at the offset; black where there is none and outside
// the text.
RGBColor GetOffsetColor(SInt32 offset, WEReference we);

// The re-parse of each edit in two parts. An edit that opens a string or a
// comment changes how all the text after it reads, possibly to the end of a
// long file; Reparse parses the edit's stretch and on only as far as an
// offset the caller gives (the end of what the view shows), and Continue
// does what is left a slice at a time (from idle time). Without edits in
// between, the result is that of a re-parse run through at once. An edit in
// text the pending part has not reached yet has its stretch widened and
// started from the colours still there, as every edit's stretch is; the
// pending part then reads that text again in the state it really is in.
//
// The caller tells every change of the text (TextChanged, before it parses
// the edit's stretch), and Cancel when the whole text is parsed again or the
// text goes away.
class TDynamicReparse {
 public:
  ~TDynamicReparse();
  void TextChanged(SInt32 offset, SInt32 delta);
  // Parses the source's span (a re-parse, through its controller) as far as
  // pauseAt (which may lie inside the span); true when work is left for
  // Continue. Err holds the parse's Create result.
  Boolean Reparse(const SyntaxParserSource& source, const SyntaxParserDestination& destination, SInt32 pauseAt);
  // At most about count characters more; true while work is left.
  Boolean Continue(SInt32 count);
  Boolean Pending() const { return pending_ != nullptr; }
  // Work is left: a parse pending, or text a parse that could not go on
  // left in older colours.
  Boolean Working() const { return pending_ != nullptr || staleFrom_ >= 0; }
  // What is left goes on from the main loop, count characters a firing,
  // until it is done or cancelled.
  void ContinueLater(SInt32 count);
  // The last position the pending parse has read (-1: none pending).
  SInt32 PendingAt() const { return pending_ != nullptr ? pending_->state.absoluteOffset : -1; }
  // The last position the last Reparse or Continue read (-1: none yet).
  SInt32 Reached() const { return reached_; }
  void Cancel();

 private:
  TSyntaxParserProcess* pending_ = nullptr;
  SyntaxParserSource source_;  // of the last Reparse
  SyntaxParserDestination destination_;
  // A pending parse that could not go on had read the text up to here, from
  // restartAt_: the text after it still has the colours of an older parse.
  SInt32 staleFrom_ = -1;
  SInt32 restartAt_ = -1;
  SInt32 reached_ = -1;
  EventLoopTimerRef timer_ = nullptr;
  SInt32 slice_ = 0;
  static void Fire(EventLoopTimerRef timer, void* reparse);
  void StopTimer();
};
