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
#pragma once

#include "CFBase.h"
#include "MacMemory.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TSyntaxCollectionUnit.h"

struct SymbolInfo;  // the stored record of one symbol (the symbol table's)
typedef SymbolInfo* SymbolInfoPtr;

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
};

// SetNilColor on a controller that may be nil.
void SetSyntaxControllerNilColor(TSyntaxParserController* controller, RGBColor color);
