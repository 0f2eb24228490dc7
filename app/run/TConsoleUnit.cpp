#include "TConsoleUnit.h"

#include "PascalCarbonCommon.h"
#include "WASTE.h"

namespace {

constexpr TextEncoding kMacRomanEncoding = 0;
constexpr TextEncoding kUnicodeEncoding = 256;  // UTF-16, host order
constexpr SInt16 kRedrawLineCount = 32;
constexpr SInt16 kConsoleFontSize = 12;
const CGPoint kEndOfText = {0, 32767};

}  // namespace

void TConsoleView::Create(ControlRef inControl) {
  // The drawing port follows the view's window here; there is none to set.
  TWASTEView::Create(inControl);
  SetClassString("TConsole");
  SetOptions(WasteOption(kWasteViewWordWrap) | WasteOption(kWasteViewVerticalScrollbar));
  SetStyle("Andale Mono", kConsoleFontSize);
  if (controller == nullptr) return;
  WEFeatureFlag(weFReadOnly, weBitSet, controller);
  // Output is not an edit: an undo must not take it away again.
  WEFeatureFlag(weFUndo, weBitClear, controller);
}

void TConsoleView::Clear() {
  lineCount = 0;
  TWASTEView::Clear();
}

void TConsoleView::WriteLn(CFStringRef line) {
  if (controller == nullptr || line == nullptr) return;
  WEFeatureFlag(weFReadOnly, weBitClear, controller);
  if (maximumLines > 0 && lineCount > maximumLines) Clear();
  const Boolean inhibit = lineCount > kRedrawLineCount;
  if (inhibit) WEFeatureFlag(weFInhibitRedraw, weBitSet, controller);
  SInt32 end = WEGetTextLength(controller);
  static const char kLineBreak = '\r';
  Err = WEPut(end, end, &kLineBreak, 1, kMacRomanEncoding, 0, 0, nullptr, nullptr, controller);
  const CFIndex length = CFStringGetLength(line);
  if (length > 0) {
    UniChar* characters = CreateUnicodeString(line);
    if (characters != nullptr) {
      end = WEGetTextLength(controller);
      Err = WEPut(end, end, characters, ByteCount(length) * 2, kUnicodeEncoding, 0, 0, nullptr, nullptr, controller);
      ReleasePtr(characters);
    }
  }
  if (inhibit) WEFeatureFlag(weFInhibitRedraw, weBitClear, controller);
  WEFeatureFlag(weFReadOnly, weBitSet, controller);
  if (autoScroll) {
    WasteUpdateView(control);
    end = WEGetTextLength(controller);
    WESetSelection(end, end, controller);
    WasteSetScrollPosition(control, kEndOfText);
  }
  // A console of 32767 lines without a limit keeps counting at its top.
  if (lineCount < 32767) ++lineCount;
}

void TConsoleView::Redraw() {
  if (control != nullptr) Err = HIViewSetNeedsDisplay(control, true);
}

void TConsoleView::ScrollToEnd() {
  if (control == nullptr) return;
  WasteSetScrollPosition(control, kEndOfText);
  WasteUpdateView(control);
}

Boolean TConsoleView::IsEmpty() { return lineCount < 1; }

void TConsoleView::SetMaximumLines(SInt16 count) { maximumLines = count; }

void TConsoleView::SetAutoScroll(Boolean flag) { autoScroll = flag; }

void TConsoleView::Release() { TWASTEView::Release(); }

TConsole* NewConsoleView() { return new TConsoleView(); }

void RegisterConsoleClass() { SetConsoleFactory(NewConsoleView); }
