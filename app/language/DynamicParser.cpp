#include "DynamicParser.h"

#include <algorithm>
#include <cstring>

#include "CFArray.h"
#include "PascalCarbonCommon.h"
#include "fenwicket/Fenwicket.h"

namespace {

bool IsBlank(UniChar c) { return c == 9 || c == 10 || c == 13 || c == 32; }

const Str63 kDefaultLanguage("default");

// The span's ends within 0..length, the end not before the start.
void ClampSpan(SInt32 length, SInt32& start, SInt32& end) {
  start = std::clamp<SInt32>(start, 0, length);
  end = std::clamp<SInt32>(end, start, length);
}

// Character by character, so that a character Mac Roman lacks stands as one
// byte instead of emptying the whole string.
Str255 TextOf(SInt32 start, SInt32 end, SInt32 length, WEReference we) {
  ClampSpan(length, start, end);
  return WERangeToString(start, end, we);
}

bool BeginsWith(const Str255& text, const Str15& prefix) {
  return !prefix.empty() && text.len() >= prefix.len() && std::memcmp(text.data() + 1, prefix.data() + 1, prefix.len()) == 0;
}

bool EndsWith(const Str255& text, const Str15& suffix) {
  return !suffix.empty() && text.len() >= suffix.len() &&
         std::memcmp(text.data() + 1 + text.len() - suffix.len(), suffix.data() + 1, suffix.len()) == 0;
}

bool Contains(const Str255& text, const Str15& part) {
  return !part.empty() && text.view().find(part.view()) != std::string_view::npos;
}

}  // namespace

Boolean CompareRGBColor(const RGBColor& a, const RGBColor& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

RGBColor GetOffsetColor(SInt32 offset, WEReference we) {
  RGBColor color{0, 0, 0};
  if (we == nullptr || offset < 0 || offset >= WEGetTextLength(we)) return color;
  if (WEGetOneAttribute(offset, 'colr', &color, sizeof color, we) != noErr) color = RGBColor{0, 0, 0};
  return color;
}

CFRange FindContinuosRange(CFRange span, TWASTEController* controller) {
  if (controller == nullptr) return span;
  const SInt32 length = controller->GetTextLength();
  SInt32 start = SInt32(span.location), end = SInt32(span.length);
  ClampSpan(length, start, end);
  const Str63 language = controller->GetEmbeddedLanguage(start);
  auto other = [&](SInt32 i) { return !(controller->GetEmbeddedLanguage(i) == language); };
  auto color = [&](SInt32 i) { return controller->GetOffsetColor(i); };
  auto blank = [&](SInt32 i) { return IsBlank(controller->GetOffsetChar(i)); };
  // A string or comment can colour thousands of characters alike: the walks
  // pass over a stretch of one colour and one language mark at once, where
  // every character would answer as the first.
  WEReference we = controller->weReference;
  auto stretch = [&](SInt32 i, SInt32& from, SInt32& to) {
    from = i;
    to = i + 1;
    if (we == nullptr || i < 0 || i >= length) return;
    SInt32 a = i, b = i + 1, c = i, d = i + 1;
    if (WEGetAttributeExtent(i, kSyntaxColorTag, &a, &b, we) != noErr ||
        WEGetAttributeExtent(i, kSyntaxLanguageTag, &c, &d, we) != noErr)
      return;
    from = std::min(std::max(a, c), i);
    to = std::max(std::min(std::min(b, d), length), i + 1);
  };
  // The next character to look at going back (forward) from i, in a walk
  // where i failed for a reason all its stretch shares.
  auto back = [&](SInt32 i) {
    SInt32 from = 0, to = 0;
    stretch(i, from, to);
    return std::max(from, 1);  // the loop steps on to from - 1; 0 is looked at
  };
  auto forward = [&](SInt32 i) {
    SInt32 from = 0, to = 0;
    stretch(i, from, to);
    return to - 1;  // the loop steps on to to
  };

  // Back to the edge of the run, then on to a blank of the colour found there.
  RGBColor c = controller->nilColor;
  bool crossed = false;
  for (SInt32 i = start; i >= 0; --i) {
    if (other(i)) {
      start = i + 2;
      crossed = true;
      break;
    }
    if (CompareRGBColor(color(i), c) || i == 0) {
      start = std::max<SInt32>(i - 1, 0);
      c = color(i);
      break;
    }
    i = back(i);
  }
  if (!crossed) {
    for (SInt32 j = start; j >= 0; --j) {
      if (other(j)) {
        start = j + 2;
        break;
      }
      if (j == 0) {
        start = 0;
        break;
      }
      if (!CompareRGBColor(color(j), c)) {
        j = back(j);
      } else if (blank(j)) {
        start = j;
        break;
      }
    }
  }

  // Forward the same way.
  c = controller->nilColor;
  crossed = false;
  for (SInt32 k = end; k <= length; ++k) {
    if (other(k)) {
      end = k - 1;
      crossed = true;
      break;
    }
    if (CompareRGBColor(color(k), c) || k == length) {
      end = k;
      c = color(k);
      break;
    }
    k = forward(k);
  }
  if (!crossed) {
    for (SInt32 m = end; m <= length; ++m) {
      if (other(m)) {
        end = m - 1;
        break;
      }
      if (!CompareRGBColor(color(m), c)) {
        if (m < length) m = forward(m);
      } else if (m == length || blank(m)) {
        end = m;
        break;
      }
    }
  }
  // From the line break before an indentation: a declaration may be told
  // by the line it begins (a method in a class body).
  for (SInt32 i = start - 1; i >= 0 && !other(i); --i) {
    const UniChar ch = controller->GetOffsetChar(i);
    if (ch == '\r' || ch == '\n') {
      start = i;
      break;
    }
    if (ch != ' ' && ch != '\t') break;
  }
  start = FindPlainStart(start, controller);
  // A border crossing next to the span can leave the ends out of order.
  ClampSpan(length, start, end);
  return CFRangeMake(start, end);
}

SInt32 FindPlainStart(SInt32 start, TSyntaxParserController* controller) {
  if (controller == nullptr) return start;
  const SInt32 length = controller->GetTextLength();
  if (start <= 0 || start > length) return start;
  const Str63 language = controller->GetEmbeddedLanguage(start);
  for (SInt32 guard = 0; guard < 64 && start > 0 && controller->NestedAfter(start - 1) == 1; ++guard) {
    SInt32 from = std::min(controller->NestedFrom(start - 1), start - 1);
    while (from > 0 && !IsBlank(controller->GetOffsetChar(from - 1))) --from;
    SInt32 i = start - 1;
    while (i >= from && controller->GetEmbeddedLanguage(i) == language) --i;
    start = i + 1;
    if (i >= from) break;  // a border of the language
  }
  return start;
}

CFRange FindLanguageRange(SInt32 offset, SInt32 delta, const Str63& language, TWASTEController* controller) {
  const CFRange none = CFRangeMake(0, 0);
  if (controller == nullptr || controller->weReference == nullptr) return none;
  WEReference we = controller->weReference;
  const SInt32 length = WEGetTextLength(we);
  const SInt32 p = std::clamp<SInt32>(delta < 0 ? offset - 1 : offset, 0, length);

  auto languageAt = [&](SInt32 i) {
    Str63 found = controller->GetEmbeddedLanguage(i);
    return found == kDefaultLanguage ? language : found;
  };
  const Str63 after = controller->GetEmbeddedLanguage(p + 1);
  const Str63 before = languageAt(p);
  if (after == kDefaultLanguage && before == language) return none;
  // Before the edit in the document's language and after it in an embedded
  // one: the edit opens that one's region.
  const Str63 target = (after == language || before == language) ? after : before;
  auto inTarget = [&](SInt32 i) { return i >= 0 && i < length && languageAt(i) == target; };

  // A region can run over thousands of lines. Every character of a stretch
  // that carries one mark is in the target when one of them is, so the
  // lines whose first (last) character lies inside such a stretch are passed
  // over at once, to the line of the stretch's first (last) character.
  // The walk over a stretch's style runs is long in a long region: a stretch
  // found once answers for every offset inside it.
  SInt32 knownFrom = 0, knownTo = 0;
  auto markedStretch = [&](SInt32 at, SInt32& from, SInt32& to) {
    if (at >= knownFrom && at < knownTo) {
      from = knownFrom, to = knownTo;
      return true;
    }
    from = to = at;
    if (WEGetAttributeExtent(at, kSyntaxLanguageTag, &from, &to, we) != noErr) return false;
    knownFrom = from, knownTo = to;
    return true;
  };
  const SInt32 firstLine = WEOffsetToLine(p, we);
  SInt32 start = 0;
  for (SInt32 line = firstLine; line >= 0 && start <= 0; --line) {
    SInt32 lineStart = 0, lineEnd = 0;
    WEGetLineRange(line, &lineStart, &lineEnd, we);
    if (lineEnd <= lineStart) continue;
    if (inTarget(lineStart)) {
      SInt32 from = 0, to = 0;
      if (markedStretch(lineStart, from, to)) {
        const SInt32 jump = WEOffsetToLine(std::max<SInt32>(from, 0), we);
        if (jump < line) line = jump + 1;  // the loop steps on to it
      }
      continue;
    }
    for (SInt32 o = lineStart; o < lineEnd; ++o) {
      if (inTarget(o)) {
        start = o - 1;
        break;
      }
    }
  }
  SInt32 end = 0;
  const SInt32 lines = WECountLines(we);
  for (SInt32 line = firstLine; line < lines && end <= 0; ++line) {
    SInt32 lineStart = 0, lineEnd = 0;
    WEGetLineRange(line, &lineStart, &lineEnd, we);
    if (lineEnd <= lineStart) continue;
    if (inTarget(lineEnd - 1) && lineEnd != length) {
      SInt32 from = 0, to = 0;
      if (markedStretch(lineEnd - 1, from, to)) {
        const SInt32 jump = WEOffsetToLine(std::min(to, length) - 1, we);
        if (jump > line) line = jump - 1;  // the loop steps on to it
      }
      continue;
    }
    if (!inTarget(lineEnd - 1)) {
      for (SInt32 o = lineEnd - 1; o >= lineStart; --o) {
        if (inTarget(o)) {
          end = o + 1;
          break;
        }
      }
    } else if (lineEnd == length) {
      end = length;
    }
  }
  if (end - start < 3) return none;
  return CFRangeMake(start, end);
}

SInt16 PreParseEmbeddedLanguage(SInt32 offset, CFRange span, SyntaxLibraryPtr library, WEReference we) {
  if (we == nullptr || library == nullptr || library->embeddedLanguages == nullptr) return kEmbeddedLanguageReparse;
  const SInt32 length = WEGetTextLength(we);
  const SInt32 start = SInt32(span.location), end = SInt32(span.length);
  // Near the ends of the text the windows are cut to it.
  const Str255 head = TextOf(start, start + 16, length, we);
  const Str255 tail = TextOf(end - 16, end + 1, length, we);
  CFRange wordSpan = CFRangeMake(0, 0);
  Str255 word = WEGetContinousTextString(offset, wordSpan, we);
  if (end == SInt32(wordSpan.length)) word.Clear();

  bool opened = false, closed = false;
  const CFIndex count = CFArrayGetCount(library->embeddedLanguages);
  for (CFIndex i = 0; i < count; ++i) {
    auto* definition = static_cast<const SyntaxEmbeddedLanguageData*>(
        CFArrayGetValueAtIndex(library->embeddedLanguages, i));
    if (definition == nullptr) continue;
    if (BeginsWith(head, definition->open)) opened = true;
    if (!closed && EndsWith(tail, definition->close)) closed = true;
    if (Contains(word, definition->close)) {
      closed = false;
      break;
    }
    if (length == end) closed = true;
    if (opened && closed) break;
  }
  return opened && closed ? kEmbeddedLanguageIntact : kEmbeddedLanguageReparse;
}

void ResetLanguageRange(SInt32 offset, const Str15& close, TWASTEController* controller) {
  if (controller == nullptr || controller->weReference == nullptr) return;
  WEReference we = controller->weReference;
  const SInt32 length = WEGetTextLength(we);
  const SInt32 from = std::clamp<SInt32>(offset + controller->dataOffset, 0, length);
  SInt32 to = length;
  if (!close.empty()) {
    SInt32 matchStart = 0, matchEnd = 0;
    Err = WEFind(reinterpret_cast<const char*>(close.data() + 1), close.len(), 0, 0, from, length, &matchStart,
                 &matchEnd, we);
    // Through the closing text, as the not-found case resets through the end.
    if (Err == noErr) to = matchEnd;
  }
  const CFRange span = CFRangeMake(from, to);
  controller->ResetRange(span);
  controller->ResetTracking(span);
}

Str255 WEGetContinousTextString(SInt32 offset, CFRange& span, WEReference we) {
  span = CFRangeMake(0, 0);
  if (we == nullptr) return Str255();
  const SInt32 length = WEGetTextLength(we);
  if (offset < 0 || offset >= length || IsBlank(WEGetChar(offset, we))) return Str255();
  SInt32 first = offset, last = offset;
  while (first > 0 && !IsBlank(WEGetChar(first - 1, we))) --first;
  while (last + 1 < length && !IsBlank(WEGetChar(last + 1, we))) ++last;
  span = CFRangeMake(first, last);
  return TextOf(first, last + 1, length, we);
}

// ---------------------------------------------------------------------------
// TDynamicReparse

namespace {

// Until the parse ends (false) or pauses (true).
bool RunUntilPause(TSyntaxParserProcess* process) {
  TSyntaxParserProcess* next = nullptr;
  for (;;) {
    const SInt16 state = process->Run(next);
    if (state == kParserStateFinished) return false;
    if (state == kParserStatePaused) return true;
  }
}

}  // namespace

TDynamicReparse::~TDynamicReparse() { Cancel(); }

void TDynamicReparse::Cancel() {
  StopTimer();
  if (pending_ != nullptr) pending_->Free();
  pending_ = nullptr;
  staleFrom_ = restartAt_ = -1;
}

void TDynamicReparse::StopTimer() {
  if (timer_ != nullptr) RemoveEventLoopTimer(timer_);
  timer_ = nullptr;
}

void TDynamicReparse::ContinueLater(SInt32 count) {
  slice_ = std::max<SInt32>(count, 1);
  if (!Working()) {
    StopTimer();
    return;
  }
  if (timer_ != nullptr) return;
  static const EventLoopTimerUPP upp = NewEventLoopTimerUPP(Fire);
  // Soon after the key, and a slice a millisecond after that, so that keys
  // and drawing come in between.
  if (InstallEventLoopTimer(GetCurrentEventLoop(), kEventDurationMillisecond, kEventDurationMillisecond, upp, this,
                            &timer_) != noErr)
    timer_ = nullptr;
}

void TDynamicReparse::Fire(EventLoopTimerRef, void* data) {
  auto* self = static_cast<TDynamicReparse*>(data);
  // A controller whose text changed unseen cannot go on: the parse would
  // read what it never heard of (the whole text is parsed again then).
  if (self->pending_ != nullptr && self->pending_->source.controller != nullptr &&
      self->pending_->source.controller->GetTextLength() != self->pending_->textEnd) {
    self->Cancel();
    return;
  }
  if (!self->Continue(self->slice_) && !self->Working()) self->StopTimer();
}

void TDynamicReparse::TextChanged(SInt32 offset, SInt32 delta) {
  // Offsets past the change move with the text; those in a deleted stretch
  // go to its start.
  auto moved = [&](SInt32 at) { return at < offset ? at : std::max(offset, at + delta); };
  if (staleFrom_ >= 0) {
    staleFrom_ = moved(staleFrom_);
    restartAt_ = std::min(moved(restartAt_), staleFrom_);
  }
  if (pending_ == nullptr || pending_->TextChanged(offset, delta)) return;
  // The change lies in what the pending parse has read or looked ahead
  // at: it cannot go on. The next re-parse runs on past where it got and
  // past what it had still to read. What it read before the change stands,
  // marks and all, up to where it last left the plain state: the next
  // re-parse starts there at the latest.
  const SInt32 reached = std::max(moved(pending_->state.absoluteOffset + 1), moved(pending_->spanEnd));
  const SInt32 open = pending_->NestedSince();
  const SInt32 read = std::min(offset, pending_->state.absoluteOffset + 1);
  const SInt32 start = std::max(moved(SInt32(pending_->source.span.location)),
                                moved(open >= 0 ? std::min(open, read) : read));
  staleFrom_ = std::max(staleFrom_, reached);
  restartAt_ = restartAt_ < 0 ? start : std::min(restartAt_, start);
  pending_->Free();
  pending_ = nullptr;
}

Boolean TDynamicReparse::Reparse(const SyntaxParserSource& source, const SyntaxParserDestination& destination,
                                 SInt32 pauseAt) {
  const SInt32 start = SInt32(source.span.location), end = SInt32(source.span.length);
  source_ = source;
  destination_ = destination;
  if (pending_ != nullptr) {
    TSyntaxParserProcess* pending = pending_;
    if (start <= pending->state.absoluteOffset + 1) {
      // The stretch meets what the pending parse has done: it reads the
      // stretch itself, in the state it really is in there.
      pending->spanEnd = std::max(pending->spanEnd, std::min(end, pending->textEnd));
      pending->pauseAt = pauseAt;
      const bool more = RunUntilPause(pending);
      reached_ = pending->state.absoluteOffset;
      if (!more) {
        pending->Free();
        pending_ = nullptr;
      }
      return pending_ != nullptr;
    }
  }
  SyntaxParserSource from = source;
  SInt32 stale = -1;
  if (pending_ == nullptr && staleFrom_ >= 0) {
    from.span.location = std::min(start, restartAt_);
    // From the run of non-blank characters the restart falls in, and before
    // anything open or waiting there.
    if (TSyntaxParserController* controller = source.controller; controller != nullptr) {
      SInt32 at = SInt32(from.span.location);
      const Str63 language = controller->GetEmbeddedLanguage(at);
      while (at > 0 && !IsBlank(controller->GetOffsetChar(at - 1)) && controller->GetEmbeddedLanguage(at - 1) == language)
        --at;
      from.span.location = FindPlainStart(at, controller);
    }
    stale = staleFrom_;
    staleFrom_ = restartAt_ = -1;
  }
  auto* process = new TSyntaxParserProcess();
  process->incremental = true;
  process->fromController = true;
  process->SetOptions(source.options);
  // It may pause inside its own span: the pending part reads the rest of
  // it, which no later parse may take for settled (its old styles are gone).
  process->pauseAt = pauseAt;
  Err = process->Create(from, destination);
  if (Err != noErr) {
    process->Free();
    return pending_ != nullptr;
  }
  if (stale > process->spanEnd) process->spanEnd = std::min(stale, process->textEnd);
  const bool more = RunUntilPause(process);
  reached_ = process->state.absoluteOffset;
  if (!more) {
    process->Free();
    return pending_ != nullptr;
  }
  if (pending_ == nullptr) {
    pending_ = process;
    return true;
  }
  // The pending parse comes through here later, in the state the text is
  // really in: what this one did up to here must not pass for settled, and
  // the pending one reads on past it.
  const SInt32 reached = process->state.absoluteOffset + 1;
  if (source.controller != nullptr) source.controller->MarkNested(CFRangeMake(SInt32(from.span.location), reached));
  pending_->spanEnd = std::max(pending_->spanEnd, std::min(std::max(reached, process->spanEnd), pending_->textEnd));
  process->Free();
  return true;
}

Boolean TDynamicReparse::Continue(SInt32 count) {
  // A parse that could not go on and no edit since: the text after it is
  // parsed again from where it started.
  if (pending_ == nullptr && staleFrom_ >= 0 && source_.controller != nullptr) {
    SyntaxParserSource again = source_;
    again.span = CFRangeMake(restartAt_, restartAt_);
    return Reparse(again, destination_, restartAt_ + std::max<SInt32>(count, 1));
  }
  if (pending_ == nullptr) return false;
  pending_->pauseAt = pending_->state.absoluteOffset + std::max<SInt32>(count, 1);
  const bool more = RunUntilPause(pending_);
  reached_ = pending_->state.absoluteOffset;
  if (!more) {
    pending_->Free();
    pending_ = nullptr;
  }
  return pending_ != nullptr;
}
