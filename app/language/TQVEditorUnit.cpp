#include "TQVEditorUnit.h"

#include "CFData.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"

namespace {
QVEditorFindHooks gFindHooks{};
}

void QVEditorSetFindHooks(const QVEditorFindHooks* hooks) { gFindHooks = hooks != nullptr ? *hooks : QVEditorFindHooks{}; }
const QVEditorFindHooks& QVEditorGetFindHooks() { return gFindHooks; }

void TQVEditor::HandleControllerFlux(SInt32, SInt32, UInt8, WEReference) {
  // Find results vanish as soon as the text changes.
  if (find != nullptr && gFindHooks.ClearResults != nullptr) gFindHooks.ClearResults(find);
}

void TQVEditor::HandleDrawBackground(CGContextRef context, const CGRect& rect, WEViewReference, WEReference) {
  CGContextSetAlpha(context, 0.2);
  CGContextFillRect(context, rect);
  CGContextSetAlpha(context, 1.0);
  if (find != nullptr && gFindHooks.DrawResults != nullptr) gFindHooks.DrawResults(find, context, rect);
}

SInt32 TQVEditor::CountErrorsOnLine(SInt32 line) {
  if (errors == nullptr || document == nullptr) return 0;
  SInt32 count = 0;
  for (CFIndex i = 0; i < CFArrayGetCount(errors); ++i) {
    auto data = static_cast<CFDataRef>(CFArrayGetValueAtIndex(errors, i));
    if (data == nullptr || CFDataGetLength(data) < CFIndex(sizeof(GenericSyntaxError))) continue;
    const auto* error = reinterpret_cast<const GenericSyntaxError*>(CFDataGetBytePtr(data));
    if (FSCompareFSRefs(&error->file, &document->file) == noErr && error->line == line) ++count;
  }
  return count;
}

void TQVEditor::HandleDrawGutter(CGContextRef context, SInt32 line, const CGRect& bounds, WEReference) {
  for (SInt32 i = CountErrorsOnLine(line); i > 0; --i) CGContextStrokeRect(context, bounds);
}

// The reference look-up belongs to the books, which this program does not
// offer: nothing is added.
void TQVEditor::HandleContextualMenu(MenuRef, WEReference) {}
