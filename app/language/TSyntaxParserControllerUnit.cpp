#include "TSyntaxParserControllerUnit.h"

#include <algorithm>
#include <cstring>

#include "HIView.h"
#include "PascalCarbonCommon.h"
#include "TSymbolTableUnit.h"
#include "WASTE.h"
#include "fenwicket/Fenwicket.h"

void TSyntaxParserController::SetDataOffset(SInt32 offset) { dataOffset = offset; }

void TSyntaxParserController::ApplyDataOffset(CFRange& span) {
  span.location += dataOffset;
  span.length += dataOffset;  // the end offset moves with the start
}

void TSyntaxParserController::Prepare(Boolean) {}
void TSyntaxParserController::Redraw() {}
void TSyntaxParserController::InsertText(const UniChar*, SInt32) {}
void TSyntaxParserController::StreamText(CFRange, Handle&) {}
void TSyntaxParserController::ProtectRange(CFRange) {}
void TSyntaxParserController::StyleRange(CFRange, const ExtendedTextStyle&) {}
void TSyntaxParserController::ResetTracking(CFRange) {}
void TSyntaxParserController::ResetRange(CFRange) {}
void TSyntaxParserController::ApplySymbol(CFRange, SymbolInfoPtr) {}
Str63 TSyntaxParserController::GetEmbeddedLanguage(SInt32) { return Str63(); }
void TSyntaxParserController::ApplyEmbeddedLanguage(CFRange, const Str63&) {}
CFRange TSyntaxParserController::FindSymbol() { return CFRangeMake(0, 0); }
SInt32 TSyntaxParserController::GetTextLength() { return 0; }
void TSyntaxParserController::Initialize() {}
RGBColor TSyntaxParserController::GetOffsetColor(SInt32) { return RGBColor{0, 0, 0}; }
UniChar TSyntaxParserController::GetOffsetChar(SInt32) { return 0; }
void TSyntaxParserController::SetNilColor(RGBColor color) { nilColor = color; }
void TSyntaxParserController::MarkNested(CFRange) {}
SInt16 TSyntaxParserController::NestedAfter(SInt32) { return -1; }
SInt32 TSyntaxParserController::NestedFrom(SInt32 offset) { return offset; }
Boolean TSyntaxParserController::KeepsNesting() { return false; }
void TSyntaxParserController::MarkScopes(CFRange, const Str255&) {}
Str255 TSyntaxParserController::ScopesAfter(SInt32) { return Str255(); }

void SetSyntaxControllerNilColor(TSyntaxParserController* controller, RGBColor color) {
  if (controller != nullptr) controller->SetNilColor(color);
}

// ---------------------------------------------------------------------------
// TWASTEController


namespace {

HIViewRef ViewOf(WEReference we) {
  if (we == nullptr) return nullptr;
  return WasteGetControllerView(we);
}

void SetFluxState(HIViewRef view, Boolean state) {
  if (view != nullptr) WasteSetFluxState(view, state);
}

// A 64-byte mark holding the key with a zeroed tail, so that what is stored
// never carries bytes from past the string.
struct Mark {
  unsigned char bytes[kSyntaxMarkSize] = {0};
  explicit Mark(const Str63& key) {
    const int n = std::min(key.len(), 63);
    bytes[0] = UInt8(n);
    std::memcpy(bytes + 1, key.s + 1, size_t(n));
  }
};
static_assert(sizeof(Str63) == kSyntaxMarkSize, "a mark holds one Str63");

}  // namespace

void TWASTEController::SetWEReference(WEReference we) {
  if (we != weReference) {
    scopeRuns_.clear();
    scopeStep_ = 0;
    scopeShift_ = 0;
    freshRuns_.clear();
    freshStart_ = freshEnd_ = -1;
    scopeStacks_.clear();
    scopeStackIndex_.clear();
  }
  weReference = we;
}

void TWASTEController::Initialize() {
  for (FourCharCode tag : {kSyntaxDeclarationTag, kSyntaxSymbolTag, kSyntaxLanguageTag})
    Err = WERegisterCustomAttribute(tag, 2, kSyntaxMarkSize, 'void', weReference);
}

void TWASTEController::Prepare(Boolean done) {
  if (weReference == nullptr) return;
  HIViewRef view = ViewOf(weReference);
  if (!done) {
    parsing_ = true;
    SetFluxState(view, false);
    WEFeatureFlag(weFUndo, weBitClear, weReference);
    WEFeatureFlag(weFAutoScroll, weBitClear, weReference);
    viewWasHidden = view == nullptr || !HIViewIsVisible(view);
    WEFeatureFlag(weFInhibitRedraw, weBitSet, weReference);
  } else {
    parsing_ = false;
    SetFluxState(view, true);
    WEFeatureFlag(weFUndo, weBitSet, weReference);
    WEFeatureFlag(weFAutoScroll, weBitSet, weReference);
    if (!viewWasHidden) WEFeatureFlag(weFInhibitRedraw, weBitClear, weReference);
  }
}

void TWASTEController::Redraw() {
  HIViewRef view = ViewOf(weReference);
  if (view == nullptr) return;
  Err = HIViewSetNeedsDisplay(view, true);
  WasteUpdateView(view);
}

void TWASTEController::InsertText(const UniChar* text, SInt32 length) {
  if (weReference == nullptr || text == nullptr || length <= 0) return;
  // Outside a parse the notifications are switched off here: a load is no
  // user edit.
  HIViewRef view = parsing_ ? nullptr : ViewOf(weReference);
  SetFluxState(view, false);
  const SInt32 before = WEGetTextLength(weReference);
  Err = WEPut(before, before, text, ByteCount(length) * sizeof(UniChar), kTextEncodingUnicodeDefault,
              wePutAddToTypingSequence, 0, nullptr, nullptr, weReference);
  const SInt32 after = WEGetTextLength(weReference);
  SetFluxState(view, true);
  if (after > before) ResetRange(CFRangeMake(before, after));
}

void TWASTEController::StreamText(CFRange span, Handle& buffer) {
  if (weReference == nullptr) return;
  if (buffer == nullptr) buffer = NewHandle(0);
  if (buffer == nullptr) {
    Err = memFullErr;
    return;
  }
  SInt32 start = 0, end = 0;
  Clamp(span, start, end);
  Err = WEStreamRange(start, end, 'utxt', 0, buffer, weReference);
}

Boolean TWASTEController::Clamp(CFRange span, SInt32& start, SInt32& end) {
  const CFIndex length = weReference != nullptr ? WEGetTextLength(weReference) : 0;
  const CFIndex s = std::clamp<CFIndex>(span.location, 0, length);
  const CFIndex e = std::clamp<CFIndex>(span.length, s, length);
  start = SInt32(s);
  end = SInt32(e);
  return e > s;
}

// An empty span would set the style of the next typed text instead.
void TWASTEController::SetAttribute(CFRange span, FourCharCode tag, const void* value, ByteCount size) {
  SInt32 start = 0, end = 0;
  if (!Clamp(span, start, end)) return;
  Err = WESetOneAttribute(start, end, tag, value, size, weReference);
}

// A style's attributes go in one write: the runs are split and merged once.
void TWASTEController::SetAttributes(CFRange span, ItemCount count, const FourCharCode tags[],
                                     const void* const values[], const ByteCount sizes[]) {
  SInt32 start = 0, end = 0;
  if (!Clamp(span, start, end)) return;
  Err = WESetAttributes(start, end, count, tags, values, sizes, weReference);
}

void TWASTEController::ProtectRange(CFRange span) {
  ApplyDataOffset(span);
  SetAttribute(span, kSyntaxProtectedTag, nullptr, 0);
}

void TWASTEController::StyleRange(CFRange span, const ExtendedTextStyle& style) {
  ApplyDataOffset(span);
  const Boolean italic = style.italic != 0, underline = style.underline != 0, bold = style.bold != 0;
  static constexpr FourCharCode kTags[] = {kSyntaxColorTag, kSyntaxItalicTag, kSyntaxUnderlineTag, kSyntaxBoldTag};
  static constexpr ByteCount kSizes[] = {sizeof(RGBColor), 1, 1, 1};
  const void* const values[] = {&style.textColor, &italic, &underline, &bold};
  SetAttributes(span, 4, kTags, values, kSizes);
}

void TWASTEController::ResetTracking(CFRange span) {
  const Boolean tracked = true;
  // A nil value with a size clears the tracking mark.
  static constexpr FourCharCode kTags[] = {kSyntaxTrackingTag, kSyntaxTrackedTag};
  static constexpr ByteCount kSizes[] = {sizeof(RGBColor), 1};
  const void* const values[] = {nullptr, &tracked};
  SetAttributes(span, 2, kTags, values, kSizes);
}

void TWASTEController::ResetRange(CFRange span) {
  const Boolean off = false;
  static constexpr FourCharCode kTags[] = {kSyntaxColorTag, kSyntaxItalicTag, kSyntaxUnderlineTag, kSyntaxBoldTag,
                                           kSyntaxNestedTag};
  static constexpr ByteCount kSizes[] = {sizeof(RGBColor), 1, 1, 1, 1};
  const void* const values[] = {&nilColor, &off, &off, &off, &off};
  SetAttributes(span, 5, kTags, values, kSizes);
}

void TWASTEController::MarkNested(CFRange span) {
  const Boolean on = true;
  SetAttribute(span, kSyntaxNestedTag, &on, 1);
}

Boolean TWASTEController::KeepsNesting() { return true; }

SInt16 TWASTEController::NestedAfter(SInt32 offset) {
  if (weReference == nullptr || offset < 0 || offset >= WEGetTextLength(weReference)) return -1;
  UInt8 nested = 0;
  if (WEGetOneAttribute(offset, kSyntaxNestedTag, &nested, 1, weReference) != noErr) return -1;
  return nested != 0 ? 1 : 0;
}

SInt32 TWASTEController::NestedFrom(SInt32 offset) {
  if (NestedAfter(offset) != 1) return offset;
  SInt32 start = offset, end = offset;
  if (WEGetAttributeExtent(offset, kSyntaxNestedTag, &start, &end, weReference) != noErr) return offset;
  return std::min(start, offset);
}

UInt32 TWASTEController::InternScopes(std::string_view packed) {
  if (auto found = scopeStackIndex_.find(packed); found != scopeStackIndex_.end()) return found->second;
  const UInt32 index = UInt32(scopeStacks_.size());
  scopeStacks_.emplace_back(packed);
  scopeStackIndex_.emplace(scopeStacks_.back(), index);
  return index;
}

void TWASTEController::MarkScopes(CFRange span, const Str255& scopes) {
  SInt32 start = 0, end = 0;
  if (!Clamp(span, start, end)) return;
  // A parse writes its marks one after the other: they gather apart and
  // replace what was in their stretch at once, not a run at a time.
  if (freshStart_ < 0 || start != freshEnd_) {
    FlushScopes();
    freshStart_ = start;
  }
  freshEnd_ = end;
  if (scopes.len() == 0) return;
  const UInt32 stack = InternScopes(std::string_view(reinterpret_cast<const char*>(scopes.s + 1), scopes.len()));
  if (!freshRuns_.empty() && freshRuns_.back().end == start && freshRuns_.back().stack == stack)
    freshRuns_.back().end = end;
  else
    freshRuns_.push_back({start, end, stack});
}

void TWASTEController::FlushScopes() {
  if (freshStart_ < 0) return;
  const SInt32 start = freshStart_, end = freshEnd_;
  freshStart_ = freshEnd_ = -1;
  // The runs in the stretch are replaced in place: a re-parse mostly writes
  // as many as were there, and the runs after them (thousands in a long
  // file) neither move nor take the shift of an edit before them yet.
  const size_t first = FirstRunWhere(0, [&](size_t i) { return RunEnd(i) <= start; });
  const size_t last = FirstRunWhere(first, [&](size_t i) { return RunStart(i) < end; });
  MoveScopeStep(last);
  // Runs across the stretch's ends keep their parts outside it.
  if (first < last && scopeRuns_[first].start < start)
    freshRuns_.insert(freshRuns_.begin(), {scopeRuns_[first].start, start, scopeRuns_[first].stack});
  if (first < last && scopeRuns_[last - 1].end > end)
    freshRuns_.push_back({end, scopeRuns_[last - 1].end, scopeRuns_[last - 1].stack});
  const size_t count = last - first, common = std::min(count, freshRuns_.size());
  std::copy(freshRuns_.begin(), freshRuns_.begin() + SInt64(common), scopeRuns_.begin() + SInt64(first));
  if (count > common)
    scopeRuns_.erase(scopeRuns_.begin() + SInt64(first + common), scopeRuns_.begin() + SInt64(last));
  else
    scopeRuns_.insert(scopeRuns_.begin() + SInt64(last), freshRuns_.begin() + SInt64(common), freshRuns_.end());
  scopeStep_ = first + freshRuns_.size();
  if (scopeStep_ == scopeRuns_.size()) scopeShift_ = 0;
  freshRuns_.clear();
  // A whole text's marks gathered here once: the room is given back.
  if (freshRuns_.capacity() > 4096) freshRuns_.shrink_to_fit();
  // Stacks no run holds any more are let go of now and then.
  if (scopeStacks_.size() > 1024 && scopeStacks_.size() > 2 * scopeRuns_.size()) {
    std::vector<std::string> kept;
    std::unordered_map<UInt32, UInt32> moved;
    for (ScopeRun& run : scopeRuns_) {
      auto [at, added] = moved.try_emplace(run.stack, UInt32(kept.size()));
      if (added) kept.push_back(std::move(scopeStacks_[run.stack]));
      run.stack = at->second;
    }
    scopeStacks_ = std::move(kept);
    scopeStackIndex_.clear();
    for (UInt32 i = 0; i < scopeStacks_.size(); ++i) scopeStackIndex_.emplace(scopeStacks_[i], i);
  }
}

// The marks a parse is writing answer for their stretch, the older runs
// elsewhere: a re-parse asks as it goes, and the runs are not merged at
// every question.
Str255 TWASTEController::ScopesAfter(SInt32 offset) {
  const std::string* packed = nullptr;
  if (freshStart_ >= 0 && offset >= freshStart_ && offset < freshEnd_) {
    auto run = std::partition_point(freshRuns_.begin(), freshRuns_.end(),
                                    [&](const ScopeRun& r) { return r.end <= offset; });
    if (run != freshRuns_.end() && run->start <= offset) packed = &scopeStacks_[run->stack];
  } else {
    const size_t after = FirstRunWhere(0, [&](size_t i) { return RunStart(i) <= offset; });
    if (after > 0 && offset < RunEnd(after - 1)) packed = &scopeStacks_[scopeRuns_[after - 1].stack];
  }
  if (packed == nullptr) return Str255();
  return Str255::FromBytes(reinterpret_cast<const unsigned char*>(packed->data()), packed->size());
}

void TWASTEController::MoveScopeStep(size_t to) {
  to = std::min(to, scopeRuns_.size());
  if (scopeShift_ == 0) {
    scopeStep_ = to;
    return;
  }
  for (size_t i = scopeStep_; i < to; ++i) scopeRuns_[i].start += scopeShift_, scopeRuns_[i].end += scopeShift_;
  for (size_t i = to; i < scopeStep_ && i < scopeRuns_.size(); ++i)
    scopeRuns_[i].start -= scopeShift_, scopeRuns_[i].end -= scopeShift_;
  scopeStep_ = to;
  if (to == scopeRuns_.size()) scopeShift_ = 0;
}

void TWASTEController::TextChanged(SInt32 offset, SInt32 delta) {
  FlushScopes();
  if (delta == 0 || scopeRuns_.empty()) return;
  // Runs ending before the change stay; the one ending at it takes inserted
  // text, as does the one that holds it. Those after it move.
  const size_t first = FirstRunWhere(0, [&](size_t i) { return RunEnd(i) < offset; });
  if (first == scopeRuns_.size()) return;
  if (delta > 0) {
    MoveScopeStep(first + 1);
    ScopeRun& run = scopeRuns_[first];
    if (run.start >= offset) run.start += delta;
    run.end += delta;
    scopeShift_ += delta;
    if (scopeStep_ == scopeRuns_.size()) scopeShift_ = 0;
    return;
  }
  // Offsets in the removed stretch go to its start.
  const SInt32 removedEnd = offset - delta;
  const size_t last = FirstRunWhere(first, [&](size_t i) { return RunStart(i) < removedEnd; });
  MoveScopeStep(last);
  auto moved = [&](SInt32 at) { return at < offset ? at : std::max(offset, at + delta); };
  size_t kept = first;
  for (size_t i = first; i < last; ++i) {
    const ScopeRun shifted{moved(scopeRuns_[i].start), moved(scopeRuns_[i].end), scopeRuns_[i].stack};
    if (shifted.end > shifted.start) scopeRuns_[kept++] = shifted;
  }
  scopeRuns_.erase(scopeRuns_.begin() + SInt64(kept), scopeRuns_.begin() + SInt64(last));
  scopeStep_ = kept;
  scopeShift_ += delta;
  if (scopeStep_ == scopeRuns_.size()) scopeShift_ = 0;
}

void TWASTEController::ApplySymbol(CFRange span, SymbolInfoPtr symbol) {
  if (symbol == nullptr) return;
  ApplyDataOffset(span);
  const Mark mark(symbol->symbolName);
  SetAttribute(span, kSyntaxSymbolTag, mark.bytes, kSyntaxMarkSize);
}

Str63 TWASTEController::GetEmbeddedLanguage(SInt32 offset) {
  const Str63 none("default");
  if (weReference == nullptr || offset < 0 || offset >= WEGetTextLength(weReference)) return none;
  unsigned char bytes[kSyntaxMarkSize] = {0};
  Err = WEGetOneAttribute(offset, kSyntaxLanguageTag, bytes, sizeof bytes, weReference);
  // A mark of another size or with a length past its capacity is no mark.
  if (Err != noErr || bytes[0] == 0 || bytes[0] > 63) return none;
  return Str63::FromBytes(bytes + 1, bytes[0]);
}

void TWASTEController::ApplyEmbeddedLanguage(CFRange span, const Str63& language) {
  ApplyDataOffset(span);
  const Mark mark(language);
  SetAttribute(span, kSyntaxLanguageTag, mark.bytes, kSyntaxMarkSize);
}

CFRange TWASTEController::FindSymbol() { return CFRangeMake(0, 0); }

SInt32 TWASTEController::GetTextLength() { return WEGetTextLength(weReference); }

RGBColor TWASTEController::GetOffsetColor(SInt32 offset) {
  RGBColor color{0, 0, 0};
  if (weReference == nullptr || offset < 0 || offset >= WEGetTextLength(weReference)) return color;
  Err = WEGetOneAttribute(offset, kSyntaxColorTag, &color, sizeof color, weReference);
  if (Err != noErr) color = RGBColor{0, 0, 0};
  return color;
}

UniChar TWASTEController::GetOffsetChar(SInt32 offset) {
  if (weReference == nullptr || offset < 0 || offset >= WEGetTextLength(weReference)) return 0;
  // ASCII comes back as it is; anything else is read as its UTF-16 unit.
  const UInt8 byte = WEGetChar(offset, weReference);
  if (byte < 0x80) return byte;
  UniChar unit = 0;
  Handle h = NewHandle(0);
  if (h == nullptr) return 0;
  Err = WEStreamRange(offset, offset + 1, 'utxt', 0, h, weReference);
  if (Err == noErr && GetHandleSize(h) >= Size(sizeof unit)) std::memcpy(&unit, *h, sizeof unit);
  DisposeHandle(h);
  return unit;
}
