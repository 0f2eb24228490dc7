// TSyntaxParserControllerUnit: the one door between a parse and a text. A
// parse reads the text and writes what it finds (styles, protected ranges,
// symbols, embedded-language marks) only through a controller. This base
// class answers every operation with nothing, so a parse of a file that is
// shown nowhere runs with it (or with no controller at all).
//
// Spans: every range crossing this interface is a CFRange holding a START
// and an END offset (one past the last character), not a length. Offsets
// count UTF-16 units of the parser's buffer; the data offset maps them onto
// the text.
//
// TWASTEController keeps the results as attributes of one text engine
// instance, the one behind a source editor's text view.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CFBase.h"
#include "MacMemory.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TSyntaxCollectionUnit.h"

struct SymbolInfo;  // the stored record of one symbol (the symbol table's)
typedef SymbolInfo* SymbolInfoPtr;
typedef struct WEOpaqueRec* WEReference;  // a text engine instance (WASTE.h)

class TSyntaxParserController : public TObject {
 public:
  SInt32 dataOffset = 0;       // added to parser offsets before they reach the text
  RGBColor nilColor = {0, 0, 0};  // the colour of unstyled text

  virtual void SetDataOffset(SInt32 offset);
  virtual void ApplyDataOffset(CFRange& span);
  // False before a parse writes, True after it.
  virtual void Prepare(Boolean done);
  virtual void Redraw();
  // Appends characters at the end of the text (a file filling its view while
  // it is parsed).
  virtual void InsertText(const UniChar* text, SInt32 length);
  // The handle's contents become the span's characters (UTF-16 units); a nil
  // handle is replaced by a new one that the caller then owns.
  virtual void StreamText(CFRange span, Handle& buffer);
  virtual void ProtectRange(CFRange span);
  virtual void StyleRange(CFRange span, const ExtendedTextStyle& style);
  virtual void ResetTracking(CFRange span);
  virtual void ResetRange(CFRange span);
  virtual void ApplySymbol(CFRange span, SymbolInfoPtr symbol);
  virtual Str63 GetEmbeddedLanguage(SInt32 offset);
  virtual void ApplyEmbeddedLanguage(CFRange span, const Str63& language);
  virtual CFRange FindSymbol();
  virtual SInt32 GetTextLength();
  virtual void Initialize();
  virtual RGBColor GetOffsetColor(SInt32 offset);
  virtual UniChar GetOffsetChar(SInt32 offset);
  virtual void SetNilColor(RGBColor color);
  // What a parse leaves about its own state, so that a later re-parse of an
  // edit can tell where it is back in step with the earlier one: the span's
  // characters are each followed by a state inside a range or context of the
  // language in force. ResetRange marks a span as followed by the plain
  // state. Both take text offsets, as ResetRange does (no data offset).
  virtual void MarkNested(CFRange span);
  // The state the last parse was in after the character at the offset: 1
  // inside, 0 plain, -1 unknown (a controller that keeps no marks, text no
  // parse has marked or reset).
  virtual SInt16 NestedAfter(SInt32 offset);
  // The first offset of the marked stretch holding the offset; the offset
  // itself when it is not marked.
  virtual SInt32 NestedFrom(SInt32 offset);
  // Whether MarkNested keeps anything (a parse spares itself the marks
  // otherwise).
  virtual Boolean KeepsNesting();
  // The scopes (class, module, ...) and blocks a parse was in after each of
  // the span's characters, as the parse packs them, so that a re-parse of
  // an edit starts inside the scopes that hold it, and tells where it is
  // back in step with the earlier parse. Text offsets, no data offset.
  // ScopesAfter is empty where there are none or no marks.
  virtual void MarkScopes(CFRange span, const Str255& scopes);
  virtual Str255 ScopesAfter(SInt32 offset);
};

// SetNilColor on a controller that may be nil.
void SetSyntaxControllerNilColor(TSyntaxParserController* controller, RGBColor color);

// The attributes a parse leaves on the text.
enum : FourCharCode {
  kSyntaxColorTag = 'colr',       // RGBColor, 6 bytes
  kSyntaxBoldTag = 'bold',        // Boolean, 1 byte
  kSyntaxItalicTag = 'ital',      // Boolean, 1 byte
  kSyntaxUnderlineTag = 'undl',   // Boolean, 1 byte
  kSyntaxProtectedTag = 'grid',   // no value: text the parse protects
  kSyntaxTrackingTag = 'pbcl',    // cleared by ResetTracking
  kSyntaxTrackedTag = ' -c ',     // Boolean true after ResetTracking
  kSyntaxLanguageTag = 'ELNG',    // Str63 language key, 64 bytes
  kSyntaxSymbolTag = 'SCOP',      // Str63 symbol name, 64 bytes
  kSyntaxDeclarationTag = 'DEC_', // 64 bytes, registered only
  kSyntaxNestedTag = 'NEST',      // Boolean: true after MarkNested, false after ResetRange
};
enum : ByteCount { kSyntaxMarkSize = 64 };

// The controller of a text shown in a text view. Spans are clamped to the
// text and empty spans write nothing, so a parse never changes the style the
// next typed text takes. Every engine status lands in Err.
class TWASTEController : public TSyntaxParserController {
 public:
  WEReference weReference = nullptr;  // not owned
  Boolean viewWasHidden = false;      // the view was invisible at Prepare (False)

  void Prepare(Boolean done) override;
  void Redraw() override;
  void InsertText(const UniChar* text, SInt32 length) override;
  void StreamText(CFRange span, Handle& buffer) override;
  void ProtectRange(CFRange span) override;
  void StyleRange(CFRange span, const ExtendedTextStyle& style) override;
  void ResetTracking(CFRange span) override;
  void ResetRange(CFRange span) override;
  void ApplySymbol(CFRange span, SymbolInfoPtr symbol) override;
  // "default" where the text carries no (valid) mark, and outside the text.
  Str63 GetEmbeddedLanguage(SInt32 offset) override;
  void ApplyEmbeddedLanguage(CFRange span, const Str63& language) override;
  CFRange FindSymbol() override;
  SInt32 GetTextLength() override;
  // Registers the custom attributes 'DEC_', 'SCOP' and 'ELNG'.
  void Initialize() override;
  // Black where the text carries no colour, and outside the text.
  RGBColor GetOffsetColor(SInt32 offset) override;
  // The UTF-16 unit at the offset; 0 outside the text.
  UniChar GetOffsetChar(SInt32 offset) override;
  void MarkNested(CFRange span) override;
  SInt16 NestedAfter(SInt32 offset) override;
  SInt32 NestedFrom(SInt32 offset) override;
  Boolean KeepsNesting() override;
  void MarkScopes(CFRange span, const Str255& scopes) override;
  Str255 ScopesAfter(SInt32 offset) override;
  // A new text forgets the scope marks of the old one.
  virtual void SetWEReference(WEReference we);
  // The text changed at the offset by delta units (removed where negative):
  // the scope marks move with it. Inserted text takes the mark of the
  // character before it; removed text takes its marks along.
  void TextChanged(SInt32 offset, SInt32 delta);

 private:
  Boolean parsing_ = false;  // between Prepare (False) and Prepare (True)

  // Scope marks live beside the text, not in its styles: a stack per run
  // would multiply the engine's style combinations with every colour.
  // Sorted runs that do not overlap, each holding the index of its packed
  // stack; text in no scope has no run.
  struct ScopeRun {
    SInt32 start, end;
    UInt32 stack;
  };
  struct StackHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<ScopeRun> scopeRuns_;
  // Edits move the runs after them lazily, as a gap does: the runs from
  // scopeStep_ on lie scopeShift_ further than they say.
  size_t scopeStep_ = 0;
  SInt32 scopeShift_ = 0;
  SInt32 RunStart(size_t i) const { return scopeRuns_[i].start + (i >= scopeStep_ ? scopeShift_ : 0); }
  SInt32 RunEnd(size_t i) const { return scopeRuns_[i].end + (i >= scopeStep_ ? scopeShift_ : 0); }
  void MoveScopeStep(size_t to);
  // The first run for which the test fails (runs sorted by it).
  template <typename Test>
  size_t FirstRunWhere(size_t from, Test test) const {
    size_t low = from, high = scopeRuns_.size();
    while (low < high) {
      const size_t mid = low + (high - low) / 2;
      if (test(mid)) low = mid + 1;
      else high = mid;
    }
    return low;
  }
  // The marks a parse is writing, from freshStart_ to freshEnd_ (-1: none).
  std::vector<ScopeRun> freshRuns_;
  SInt32 freshStart_ = -1, freshEnd_ = -1;
  void FlushScopes();
  std::vector<std::string> scopeStacks_;
  std::unordered_map<std::string, UInt32, StackHash, std::equal_to<>> scopeStackIndex_;
  UInt32 InternScopes(std::string_view packed);

  // The span clamped to the text: false when nothing of it is left.
  Boolean Clamp(CFRange span, SInt32& start, SInt32& end);
  void SetAttribute(CFRange span, FourCharCode tag, const void* value, ByteCount size);
  void SetAttributes(CFRange span, ItemCount count, const FourCharCode tags[], const void* const values[],
                     const ByteCount sizes[]);
};
