#include "TFindUnit.h"

#include <algorithm>
#include <string>

#include "CFPascal.h"
#include "CGContextMore.h"
#include "CarbonEvents.h"
#include "Dialogs.h"
#include "MacMemory.h"
#include "TDocumentListUnit.h"
#include "THIQueryViewUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWindowUnit.h"

namespace {

FindPaneHooks gPaneHooks{};

struct MatchRange {
  SInt32 start;
  SInt32 end;
};

OSStatus FindText(const Str255& text, OptionBits flags, SInt32 from, SInt32 to, SInt32& start, SInt32& end,
                  WEReference we) {
  const std::string_view key = text.view();
  return WEFind(key.data(), SInt32(key.size()), kTextEncodingUTF8, flags, from, to, &start, &end, we);
}

OSStatus PutText(SInt32 start, SInt32 end, const Str255& text, WEReference we) {
  const std::string_view bytes = text.view();
  return WEPut(start, end, bytes.data(), bytes.size(), kTextEncodingUTF8, wePutIntCutAndPaste, 0, nullptr, nullptr,
               we);
}

// Cuts UTF-8 to 255 bytes without splitting a character.
Str255 Utf8Prefix(std::string text) {
  if (text.size() > 255) {
    size_t cut = 255;
    while (cut > 0 && (UInt8(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return Str255(std::string_view(text));
}

// The query view reads CFRange records; the match list holds offset pairs.
CFArrayRef QueryRanges(CFArrayRef list) {
  CFMutableArrayRef ranges = CFArrayCreatePascal();
  for (CFIndex i = 0; i < CFArrayGetCount(list); ++i) {
    auto* m = static_cast<const MatchRange*>(CFArrayGetValueAtIndex(list, i));
    CFRange r = CFRangeMake(m->start, m->end - m->start);
    CFArrayAppendValue(ranges, NewPtrCopy(&r, sizeof r));
  }
  return ranges;
}

THIQueryView* QueryViewOf(TFindPane* pane) {
  return pane != nullptr && gPaneHooks.GetQueryView != nullptr ? gPaneHooks.GetQueryView(pane) : nullptr;
}

}  // namespace

void FindSetPaneHooks(const FindPaneHooks* hooks) { gPaneHooks = hooks != nullptr ? *hooks : FindPaneHooks{}; }
const FindPaneHooks& FindGetPaneHooks() { return gPaneHooks; }

// ---------------------------------------------------------------------------
// TFind

Boolean TFind::VerifySource() {
  if (instance != nullptr) return true;
  SysBeep(1);
  return false;
}

Boolean TFind::VerifyFindText(const Str255& text) {
  if (!text.view().empty()) return true;
  SysBeep(1);
  return false;
}

void TFind::Focus() {
  if (window != nullptr) window->SelectViewObject();
  if (window != nullptr && window->documents != nullptr) {
    TDocument* active = window->documents->GetActive();
    if (active != nullptr && active->owner != nullptr) active->owner->SelectViewObject();
  }
}

void TFind::Find(const Str255& text) {
  if (!VerifySource()) return;
  options.findText = text;
  if (!VerifyFindText(text)) return;
  SInt32 selStart = 0, selEnd = 0;
  WEGetSelection(&selStart, &selEnd, instance);
  Focus();
  WEBeginAction(instance);
  const SInt32 length = WEGetTextLength(instance);
  SInt32 start = 0, end = 0;
  OSStatus status = FindText(text, options.flags, selEnd, length, start, end, instance);
  if (status != noErr && options.wrap) status = FindText(text, options.flags, 0, length, start, end, instance);
  if (status == noErr)
    WESetSelection(start, end, instance);
  else
    SysBeep(1);
  WEEndAction(weAKPaste, instance);
}

void TFind::FindSelection() {
  if (!VerifySource()) return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, instance);
  Handle h = NewHandle(0);
  std::string text;
  if (WEStreamRange(start, end, 'utf8', 0, h, instance) == noErr) text.assign(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  Find(Utf8Prefix(text));
}

void TFind::FindInNextFile() {
  TDocumentList* list = window != nullptr ? window->documents : nullptr;
  TDocument* next = list != nullptr ? list->GetNext() : nullptr;
  if (next == nullptr) {
    SysBeep(1);
    return;
  }
  list->Select(next);
  if (list->GetActive() != next) list->SetActive(next);
  if (next->owner != nullptr) next->owner->SelectViewObject();
  GetQueryDocument(window);
  Find(options.findText);
}

CFArrayRef TFind::FindAll(const Str255& text) {
  if (!VerifySource()) return nullptr;
  options.findText = text;
  if (!VerifyFindText(text)) return nullptr;
  CFMutableArrayRef list = CFArrayCreatePascal();
  SInt32 selStart = 0, from = 0;
  WEGetSelection(&selStart, &from, instance);
  const SInt32 length = WEGetTextLength(instance);
  MatchRange m{};
  while (FindText(text, options.flags, from, length, m.start, m.end, instance) == noErr) {
    if (CFArrayGetCount(list) == 0) WESetSelection(m.start, m.start, instance);
    CFArrayAppendValue(list, NewPtrCopy(&m, sizeof m));
    from = m.end;
  }
  if (THIQueryView* query = QueryViewOf(controller)) {
    query->SetRange(1, SInt16(std::min<CFIndex>(CFArrayGetCount(list), 32767)));
    query->SetResults(QueryRanges(list));
  }
  return list;
}

void TFind::Replace(const Str255& replacement) {
  if (!VerifySource()) return;
  options.replaceText = replacement;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, instance);
  if (start != end) {
    const SInt32 before = WEGetTextLength(instance);
    if (PutText(start, end, replacement, instance) == noErr) {
      // The replacement's length in characters, whatever its bytes.
      const SInt32 inserted = WEGetTextLength(instance) - before + (end - start);
      WESetSelection(start, start + inserted, instance);
    }
  }
  Focus();
}

void TFind::ReplaceAll(const Str255& find, const Str255& replacement, Boolean inSelection) {
  if (!VerifySource()) return;
  options.findText = find;
  options.replaceText = replacement;
  if (!VerifyFindText(find)) return;
  SInt32 rangeStart = 0, rangeEnd = WEGetTextLength(instance);
  if (inSelection) WEGetSelection(&rangeStart, &rangeEnd, instance);
  SInt32 position = rangeStart;
  Focus();
  WEBeginAction(instance);
  SInt32 count = 0;
  SInt32 start = 0, end = 0;
  while (FindText(find, options.flags, position, rangeEnd, start, end, instance) == noErr) {
    const SInt32 before = WEGetTextLength(instance);
    if (PutText(start, end, replacement, instance) != noErr) break;
    const SInt32 delta = WEGetTextLength(instance) - before;
    const SInt32 inserted = (end - start) + delta;
    WESetSelection(start, start + inserted, instance);
    ++count;
    position = start + inserted;
    rangeEnd += delta;
  }
  if (count == 0) SysBeep(1);
  WEEndAction(weAKPaste, instance);
}

void TFind::SetWindow(TWindow* inWindow) { window = inWindow; }
void TFind::SetOptions(const FindOptions& inOptions) { options = inOptions; }
void TFind::SetController(TFindPane* pane) { controller = pane; }
void TFind::SetDrawing(TFindQueryDrawing* inDrawing) { drawing = inDrawing; }

void TFind::GetQueryDocument(TWindow* inWindow) {
  instance = nullptr;
  if (inWindow == nullptr || inWindow->documents == nullptr) return;
  if (auto* document = dynamic_cast<TWASTEDocument*>(inWindow->documents->GetActive()))
    instance = document->controller;
}

void TFind::ProcessCommand(const HICommand& command, SInt32& result) {
  switch (command.commandID) {
    case 'FndS':
    case 'FndT':
    case 'ReFN':
    case 'RePA':
    case 'RePS':
    case 'WFdN':
      break;
    default:
      return;
  }
  // Without a find pane the request in force stays.
  TFindPane* pane = controller;
  if (pane == nullptr && gPaneHooks.ActiveFindWindowPane != nullptr) pane = gPaneHooks.ActiveFindWindowPane();
  if (pane != nullptr && gPaneHooks.GetUserSettings != nullptr) options = gPaneHooks.GetUserSettings(pane);
  TWindow* front = gPaneHooks.FrontEditorWindow != nullptr ? gPaneHooks.FrontEditorWindow() : window;
  GetQueryDocument(front);
  result = 0;
  switch (command.commandID) {
    case 'FndS': FindSelection(); break;
    case 'FndT': FindInNextFile(); break;
    case 'ReFN':
      Replace(options.replaceText);
      Find(options.findText);
      break;
    case 'RePA': ReplaceAll(options.findText, options.replaceText, false); break;
    case 'RePS': ReplaceAll(options.findText, options.replaceText, true); break;
    case 'WFdN': Find(options.findText); break;
  }
}

void TFind::Release() { delete this; }

// ---------------------------------------------------------------------------
// TFindQueryDrawing

std::vector<CGRect> TFindQueryDrawing::ResultBoxes(WEReference instance) const {
  std::vector<CGRect> boxes;
  if (results == nullptr || instance == nullptr) return boxes;
  const CFIndex count = std::min<CFIndex>(CFArrayGetCount(results), kFindDrawnResultLimit);
  HIViewRef root = view != nullptr ? HIViewGetRoot(HIViewGetWindow(view)) : nullptr;
  for (CFIndex i = 0; i < count; ++i) {
    auto* m = static_cast<const MatchRange*>(CFArrayGetValueAtIndex(results, i));
    LongPt startPoint{}, endPoint{};
    SInt16 startHeight = 0, endHeight = 0;
    WEGetPoint(m->start, 0, &startPoint, &startHeight, instance);
    WEGetPoint(m->end, 0, &endPoint, &endHeight, instance);
    HIPoint converted = {CGFloat(startPoint.h), CGFloat(startPoint.v)};
    if (root != nullptr && view != nullptr) HIViewConvertPoint(&converted, root, view);
    boxes.push_back(CGRectMake(CGFloat(startPoint.h), converted.y, CGFloat(endPoint.h - startPoint.h),
                               CGFloat(endHeight)));
  }
  return boxes;
}

void TFindQueryDrawing::Draw(CGContextRef context, CGRect rect, WEReference instance) {
  if (results == nullptr || CFArrayGetCount(results) == 0 || context == nullptr) return;
  CGContextSetRGBFillColor(context, 0.93, 0.93, 0.93, 0.5);
  CGContextFillRect(context, rect);
  HIRect frame = {{0, 0}, {0, 0}};
  if (view != nullptr) HIViewGetFrame(view, &frame);
  CGContextTranslateCTM(context, 0, frame.size.height);
  CGContextScaleCTM(context, 1, -1);
  const std::vector<CGRect> boxes = ResultBoxes(instance);
  for (size_t i = 0; i < boxes.size(); ++i) {
    CGContextSaveGState(context);
    if (SInt32(i) == selected) {
      const CGRect box = {{boxes[i].origin.x - 2, boxes[i].origin.y - 2},
                          {boxes[i].size.width + 4, boxes[i].size.height + 4}};
      CGContextBeginPath(context);
      CGContextAddRoundedRect(context, box, 7, 7);
      CGContextSetRGBFillColor(context, 1, 0.9, 0, 1);
      CGContextSetShadow(context, CGSize{0, -1}, 3);
      CGContextFillPath(context);
      CGContextBeginPath(context);
      CGContextAddRoundedRect(context, box, 7, 7);
      CGContextSetRGBStrokeColor(context, 1, 1, 1, 1);
      CGContextSetLineWidth(context, 2);
      CGContextStrokePath(context);
    } else {
      const CGRect box = {{boxes[i].origin.x - 1, boxes[i].origin.y - 1},
                          {boxes[i].size.width + 2, boxes[i].size.height + 2}};
      CGContextSetRGBFillColor(context, 1, 1, 1, 1);
      CGContextSetShadow(context, CGSize{0, -1}, 1);
      CGContextFillRect(context, box);
      CGContextSetShouldAntialias(context, false);
      CGContextSetRGBStrokeColor(context, 0, 0, 0, 1);
      CGContextStrokeRectWithWidth(context, box, 1);
      CGContextSetShouldAntialias(context, true);
    }
    CGContextRestoreGState(context);
  }
}

void TFindQueryDrawing::SetResults(CFArrayRef list) {
  selected = 0;
  if (results != nullptr && results != list) CFRelease(results);
  results = list;
  if (view != nullptr) HIViewSetNeedsDisplay(view, true);
}

void TFindQueryDrawing::SetSelected(SInt32 index) { selected = index; }

void TFindQueryDrawing::Clear() {
  // Every edit clears: only results that were shown need the view drawn again.
  const bool shown = results != nullptr;
  if (results != nullptr) CFRelease(results);
  results = nullptr;
  selected = 0;
  if (view != nullptr && shown) HIViewSetNeedsDisplay(view, true);
}

void TFindQueryDrawing::GoForward() {
  if (view != nullptr) HIViewSetNeedsDisplay(view, true);
}

void TFindQueryDrawing::GoBack() {
  if (view != nullptr) HIViewSetNeedsDisplay(view, true);
}

Str255 TFindQueryDrawing::GetResultCount() {
  const CFIndex n = results != nullptr ? CFArrayGetCount(results) : 0;
  if (n > kFindDrawnResultLimit) return Str255("More than " + std::to_string(kFindDrawnResultLimit) + " matches.");
  return Str255("Found " + std::to_string(n) + " matches.");
}

void TFindQueryDrawing::Release() {
  if (results != nullptr) CFRelease(results);
  results = nullptr;
  delete this;
}

// ---------------------------------------------------------------------------
// The source editor's hooks

namespace {

void ClearFindResults(TFind* find) {
  if (THIQueryView* query = QueryViewOf(find->controller)) query->Clear();
  if (find->drawing != nullptr) find->drawing->Clear();
}

void DrawFindResults(TFind* find, CGContextRef context, CGRect rect) {
  if (find->drawing != nullptr) find->drawing->Draw(context, rect, find->instance);
}

}  // namespace

void InstallFindEditorHooks() {
  static const QVEditorFindHooks hooks = {ClearFindResults, DrawFindResults};
  QVEditorSetFindHooks(&hooks);
}

// ---------------------------------------------------------------------------
// Recent strings

namespace {

// The last kFindRecentStringLimit strings of the list, in order.
CFMutableArrayRef CopyLastStrings(CFArrayRef list) {
  CFMutableArrayRef copy = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  const CFIndex count = list != nullptr ? CFArrayGetCount(list) : 0;
  for (CFIndex i = std::max<CFIndex>(0, count - kFindRecentStringLimit); i < count; ++i) {
    CFTypeRef item = CFArrayGetValueAtIndex(list, i);
    if (item != nullptr && CFGetTypeID(item) == CFStringGetTypeID()) CFArrayAppendValue(copy, item);
  }
  return copy;
}

}  // namespace

CFArrayRef FindCopyRecentStrings(CFArrayRef stored) { return CopyLastStrings(stored); }

CFArrayRef FindCopyAddingRecentString(CFArrayRef list, CFStringRef text) {
  CFMutableArrayRef copy = CopyLastStrings(list);
  if (text == nullptr || CFStringGetLength(text) == 0 ||
      CFArrayContainsValue(copy, CFRangeMake(0, CFArrayGetCount(copy)), text))
    return copy;
  CFArrayAppendValue(copy, text);
  if (CFArrayGetCount(copy) > kFindRecentStringLimit) CFArrayRemoveValueAtIndex(copy, 0);
  return copy;
}
