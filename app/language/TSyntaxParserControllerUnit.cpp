#include "TSyntaxParserControllerUnit.h"

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

void SetSyntaxControllerNilColor(TSyntaxParserController* controller, RGBColor color) {
  if (controller != nullptr) controller->SetNilColor(color);
}
