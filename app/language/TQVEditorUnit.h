// TQVEditorUnit: the source editor of the application's editor windows. It
// ties the editor to its window's find results (an edit clears them, the
// background shows them) and can mark error lines in the gutter.
#pragma once

#include "CFArray.h"
#include "Files.h"
#include "TSourceEditorUnit.h"

class TFind;  // the window's find object (not owned)

// One error a script run or syntax check reports.
struct GenericSyntaxError {
  SInt16 line;
  SInt16 column;  // where the runner has one
  SInt32 value;
  Str255 message;
  FSRef file;
};

// What the editor asks of the find object; filled by the find unit.
struct QVEditorFindHooks {
  void (*ClearResults)(TFind* find);                                    // query view and drawing
  void (*DrawResults)(TFind* find, CGContextRef context, CGRect rect);  // the boxes around the results
};
// Copies the record; nil goes back to none.
void QVEditorSetFindHooks(const QVEditorFindHooks* hooks);
const QVEditorFindHooks& QVEditorGetFindHooks();

class TQVEditor : public TSourceEditor {
 public:
  TFind* find = nullptr;
  CFArrayRef errors = nullptr;  // GenericSyntaxError records (CFData), not owned

  void HandleControllerFlux(SInt32 offset, SInt32 delta, UInt8 ch, WEReference controller) override;
  void HandleDrawBackground(CGContextRef context, const CGRect& rect, WEViewReference view,
                            WEReference controller) override;
  void HandleDrawGutter(CGContextRef context, SInt32 line, const CGRect& bounds, WEReference controller) override;
  void HandleContextualMenu(MenuRef menu, WEReference controller) override;

  // The errors of the list that belong to this document and this line.
  SInt32 CountErrorsOnLine(SInt32 line);
};
