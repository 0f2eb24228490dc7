// A parser controller for tests: it keeps a text and per-character
// attributes the way the text engine does (colour and flags, protection,
// embedded language, symbol) and records every call in order, so a test can
// check both what a parse did and what the text looks like afterwards.
//
// Offsets follow the real controller: StyleRange, ProtectRange, ApplySymbol
// and ApplyEmbeddedLanguage add the data offset; ResetRange, ResetTracking
// and the readers (GetEmbeddedLanguage, GetOffsetColor, GetOffsetChar) do
// not. Spans are start/end pairs and are clipped to the text.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "MacMemory.h"
#include "TSyntaxParserControllerUnit.h"

class RecordingSyntaxController : public TSyntaxParserController {
 public:
  enum CallKind {
    kPrepare,
    kRedraw,
    kInsertText,
    kStreamText,
    kProtectRange,
    kStyleRange,
    kResetTracking,
    kResetRange,
    kApplySymbol,
    kGetEmbeddedLanguage,
    kApplyEmbeddedLanguage,
    kSetDataOffset,
  };
  struct Call {
    CallKind kind = kPrepare;
    CFRange span{0, 0};              // as the text sees it (offset applied where the controller applies it)
    ExtendedTextStyle style{};  // kStyleRange
    Str63 language;             // kApplyEmbeddedLanguage
    SymbolInfoPtr symbol = nullptr;  // kApplySymbol
    Boolean done = false;       // kPrepare
  };
  // What one character carries.
  struct Attributes {
    RGBColor color{0, 0, 0};
    Boolean bold = false, italic = false, underline = false;
    Boolean isProtected = false;
    Boolean styled = false;     // a StyleRange reached it since the last reset
    Str63 language;             // empty: no mark
    SymbolInfoPtr symbol = nullptr;
  };
  // A run of characters of one colour and set of flags.
  struct Run {
    CFIndex start, end;
    RGBColor color;
    Boolean bold, italic, underline;
  };

  static Call Make(CallKind kind, CFRange span) {
    Call c;
    c.kind = kind;
    c.span = span;
    return c;
  }

  explicit RecordingSyntaxController(std::u16string text = u"") { SetText(std::move(text)); }
  explicit RecordingSyntaxController(const char* ascii) { SetText(std::u16string(ascii, ascii + std::strlen(ascii))); }

  void SetText(std::u16string t) {
    text = std::move(t);
    attributes.assign(text.size(), Attributes{});
  }

  void SetDataOffset(SInt32 offset) override {
    TSyntaxParserController::SetDataOffset(offset);
    Call c = Make(kSetDataOffset, CFRangeMake(offset, offset));
    calls.push_back(c);
  }
  void Prepare(Boolean done) override {
    Call c = Make(kPrepare, CFRangeMake(0, 0));
    c.done = done;
    calls.push_back(c);
    (done ? preparedAfter : preparedBefore)++;
  }
  void Redraw() override {
    calls.push_back(Make(kRedraw, CFRangeMake(0, 0)));
    ++redraws;
  }
  void InsertText(const UniChar* chars, SInt32 length) override {
    CFIndex start = CFIndex(text.size());
    if (chars != nullptr && length > 0) {
      text.append(reinterpret_cast<const char16_t*>(chars), size_t(length));
      attributes.resize(text.size());
    }
    calls.push_back(Make(kInsertText, CFRangeMake(start, CFIndex(text.size()))));
    for (CFIndex i = start; i < CFIndex(text.size()); ++i) Reset(i);
  }
  void StreamText(CFRange span, Handle& buffer) override {
    CFRange s = Clip(span);
    calls.push_back(Make(kStreamText, s));
    Size bytes = Size((s.length - s.location) * sizeof(UniChar));
    if (buffer == nullptr) buffer = NewHandle(0);
    SetHandleSize(buffer, bytes);
    if (bytes > 0) std::memcpy(*buffer, text.data() + s.location, size_t(bytes));
  }
  void ProtectRange(CFRange span) override {
    ApplyDataOffset(span);
    calls.push_back(Make(kProtectRange, span));
    ForEach(span, [](Attributes& a) { a.isProtected = true; });
  }
  void StyleRange(CFRange span, const ExtendedTextStyle& style) override {
    ApplyDataOffset(span);
    Call c = Make(kStyleRange, span);
    c.style = style;
    calls.push_back(c);
    ForEach(span, [&style](Attributes& a) {
      a.color = style.textColor;
      a.bold = style.bold;
      a.italic = style.italic;
      a.underline = style.underline;
      a.styled = true;
    });
  }
  void ResetTracking(CFRange span) override { calls.push_back(Make(kResetTracking, span)); }
  void ResetRange(CFRange span) override {
    calls.push_back(Make(kResetRange, span));
    CFRange s = Clip(span);
    for (CFIndex i = s.location; i < s.length; ++i) Reset(i);
  }
  void ApplySymbol(CFRange span, SymbolInfoPtr symbol) override {
    ApplyDataOffset(span);
    Call c = Make(kApplySymbol, span);
    c.symbol = symbol;
    calls.push_back(c);
    if (symbol == nullptr) return;  // nothing is marked without a symbol
    ForEach(span, [symbol](Attributes& a) { a.symbol = symbol; });
  }
  Str63 GetEmbeddedLanguage(SInt32 offset) override {
    calls.push_back(Make(kGetEmbeddedLanguage, CFRangeMake(offset, offset)));
    if (offset < 0 || offset >= CFIndex(text.size()) || attributes[size_t(offset)].language.empty())
      return Str63("default");
    return attributes[size_t(offset)].language;
  }
  void ApplyEmbeddedLanguage(CFRange span, const Str63& language) override {
    ApplyDataOffset(span);
    Call c = Make(kApplyEmbeddedLanguage, span);
    c.language = language;
    calls.push_back(c);
    ForEach(span, [&language](Attributes& a) { a.language = language; });
  }
  SInt32 GetTextLength() override { return SInt32(text.size()); }
  RGBColor GetOffsetColor(SInt32 offset) override {
    if (offset < 0 || offset >= CFIndex(text.size())) return RGBColor{0, 0, 0};
    return attributes[size_t(offset)].color;
  }
  UniChar GetOffsetChar(SInt32 offset) override {
    if (offset < 0 || offset >= CFIndex(text.size())) return 0;
    return UniChar(text[size_t(offset)]);
  }

  // --- For the test ---

  std::vector<Call> CallsOf(CallKind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.kind == kind) out.push_back(c);
    return out;
  }
  // The text split into runs of equal colour and flags.
  std::vector<Run> StyleRuns() const {
    std::vector<Run> runs;
    for (size_t i = 0; i < attributes.size(); ++i) {
      const Attributes& a = attributes[i];
      if (!runs.empty()) {
        Run& r = runs.back();
        if (Same(r.color, a.color) && r.bold == a.bold && r.italic == a.italic && r.underline == a.underline) {
          r.end = CFIndex(i) + 1;
          continue;
        }
      }
      runs.push_back(Run{CFIndex(i), CFIndex(i) + 1, a.color, a.bold, a.italic, a.underline});
    }
    return runs;
  }
  // The characters [start, end) as ASCII (others as '?'), for messages.
  std::string Slice(CFIndex start, CFIndex end) const {
    std::string out;
    for (CFIndex i = std::max<CFIndex>(start, 0); i < end && i < CFIndex(text.size()); ++i)
      out += text[size_t(i)] < 128 ? char(text[size_t(i)]) : '?';
    return out;
  }
  static bool Same(RGBColor a, RGBColor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

  std::u16string text;
  std::vector<Attributes> attributes;
  std::vector<Call> calls;
  int preparedBefore = 0, preparedAfter = 0, redraws = 0;

 private:
  CFRange Clip(CFRange span) const {
    CFIndex n = CFIndex(text.size());
    CFIndex start = std::clamp<CFIndex>(span.location, 0, n);
    CFIndex end = std::clamp<CFIndex>(span.length, start, n);
    return CFRangeMake(start, end);
  }
  template <typename F>
  void ForEach(CFRange span, F f) {
    CFRange s = Clip(span);
    for (CFIndex i = s.location; i < s.length; ++i) f(attributes[size_t(i)]);
  }
  void Reset(CFIndex i) {
    Attributes& a = attributes[size_t(i)];
    a.color = nilColor;
    a.bold = a.italic = a.underline = false;
    a.styled = false;
  }
};
