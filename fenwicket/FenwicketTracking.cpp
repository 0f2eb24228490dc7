// Drags into text views, the per-view tracking timer (typing pauses,
// selection changes, the status control) and delayed word tracking.
#include <cstdio>
#include <vector>

#include "CFString.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

constexpr ControlID kStatusControlID = {'word', 128};

// The bound text view under the drag in the window, or nil.
WasteData* ViewUnderDrag(WindowRef window, DragRef drag) {
  Point mouse{};
  if (window == nullptr || GetDragMouse(drag, &mouse, nullptr) != noErr) return nullptr;
  SetPortWindowPort(window);
  GlobalToLocal(&mouse);
  HIViewRef root = HIViewGetRoot(window);
  HIViewRef hit = nullptr;
  const CGPoint local{CGFloat(mouse.h), CGFloat(mouse.v)};
  if (root == nullptr || HIViewGetSubviewHit(root, &local, true, &hit) != noErr || hit == nullptr) return nullptr;
  WasteData* data = TextViewAtOrAbove(hit);
  return data && data->CONTROLLER ? data : nullptr;
}

void Focus(WasteData* data) {
  WindowRef window = HIViewGetWindow(data->VIEW);
  if (window && !HIViewSubtreeContainsFocus(data->VIEW)) SetKeyboardFocus(window, data->VIEW, kControlFocusNextPart);
}

void ReportWord(WasteData* data) {
  const CFRange range = data->WORDTRACKING.RANGE;
  CFStringRef word = nullptr;
  Handle h = NewHandle(0);
  if (h && WEStreamRange(SInt32(range.location), SInt32(range.length), kFlavorTypeUnicodeText, 0, h,
                         data->CONTROLLER) == noErr) {
    word = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(*h),
                                        CFIndex(GetHandleSize(h) / Size(sizeof(UniChar))));
  }
  if (h) DisposeHandle(h);
  NotifyTrackWord(data, word, range);
  if (word) CFRelease(word);
}

void ReportEnd(WasteData* data) {
  const CFRange range = data->WORDTRACKING.RANGE;
  NotifyTrackWord(data, nullptr, CFRangeMake(range.location, range.length + 1));
}

// Writes the selection start into the window's status control, only when
// its text changes (the timer runs twenty times a second).
void UpdateStatusControl(SInt32 start) {
  WindowRef window = ActiveNonFloatingWindow();
  ControlRef status = nullptr;
  if (window == nullptr || GetControlByID(window, &kStatusControlID, &status) != noErr || status == nullptr) return;
  char text[16];
  std::snprintf(text, sizeof text, "%d", int(start));
  CFStringRef value = CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII);
  CFStringRef current = HIViewCopyText(status);
  if (value && (current == nullptr || CFStringCompare(current, value, 0) != kCFCompareEqualTo))
    HIViewSetText(status, value);
  if (current) CFRelease(current);
  if (value) CFRelease(value);
}

}  // namespace

namespace fenwicket {

OSErr DragTrackingHandler(DragTrackingMessage message, WindowRef window, void*, DragRef drag) {
  WasteData* data = ViewUnderDrag(window, drag);
  if (data == nullptr) return dragNotAcceptedErr;
  Focus(data);
  if (!AcceptsInput(data)) return dragNotAcceptedErr;
  return OSErr(WETrackDrag(message, drag, data->CONTROLLER));
}

OSErr DragReceiveHandler(WindowRef window, void*, DragRef drag) {
  WasteData* data = ViewUnderDrag(window, drag);
  if (data == nullptr || !AcceptsInput(data)) return -1;
  SInt32 accepted = 0;
  bool clientTook = false;
  UInt16 items = 0;
  CountDragItems(drag, &items);
  for (UInt16 i = 1; i <= items; ++i) {
    DragItemRef item = 0;
    if (GetDragItemReferenceNumber(drag, i, &item) != noErr) continue;
    UInt16 flavors = 0;
    CountDragItemFlavors(drag, item, &flavors);
    for (UInt16 f = 1; f <= flavors; ++f) {
      FlavorType type = 0;
      Size size = 0;
      if (GetFlavorType(drag, item, f, &type) != noErr) continue;
      GetFlavorDataSize(drag, item, type, &size);
      if (type == 'RTF ' || type == kFlavorTypeText || type == kFlavorTypeUTF8Text || type == kFlavorTypeUnicodeText)
        ++accepted;
      std::vector<UInt8> block(size_t(size > 0 ? size : 0) + 1, 0);
      if (GetFlavorData(drag, item, type, block.data(), &size, 0) == noErr &&
          AskReceiveDrag(data, block.data(), type, drag) == noErr) {
        ++accepted;
        clientTook = true;
      }
    }
  }
  if (accepted == 0) return dragNotAcceptedErr;
  OSStatus status = WEReceiveDrag(drag, data->CONTROLLER);
  // What a client took is taken, even when the engine found nothing to read.
  if (status != noErr && clientTook) status = noErr;
  if (WindowRef w = HIViewGetWindow(data->VIEW)) SetKeyboardFocus(w, data->VIEW, kControlFocusNextPart);
  return OSErr(status);
}

OSErr TranslateDragHook(DragRef, DragItemRef, FlavorType, Handle, WEReference) { return noErr; }

void TrackingTimer(EventLoopTimerRef, void* userData) {
  auto* data = static_cast<WasteData*>(userData);
  WEReference we = data->CONTROLLER;
  if (we == nullptr || !WEIsActive(we)) return;

  if (data->IDLETIME != 0 && TickCount() > data->IDLETIME + kIdleTypingDelay) {
    data->IDLETIME = 0;
    NotifyIdleTyping(data);
  }

  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  UpdateStatusControl(start);
  if (start != data->LASTSELECTION.location || end != data->LASTSELECTION.length) {
    data->LASTSELECTION = CFRangeMake(start, end);
    NotifyTrackCursor(data, WEGetSelectionAnchor(we));
  }

  WasteWordTracking& wt = data->WORDTRACKING;
  if (wt.DELAY > 0 && GetCurrentEventTime() > wt.DELAY + wt.USERDELAY) {
    wt.SESSION = true;
    wt.DELAY = 0;
    ReportWord(data);
  }
  if (wt.SESSION) {
    const SInt32 anchor = WEGetSelectionAnchor(we);
    if (anchor < wt.RANGE.location || anchor > wt.RANGE.length) {
      wt.SESSION = false;
      wt.DELAY = 0;
      ReportEnd(data);
    }
  }
}

void UpdateWordTracking(WasteData* data, SInt32 offset, SInt32 delta) {
  WasteWordTracking& wt = data->WORDTRACKING;
  WEReference we = data->CONTROLLER;
  wt.DELAY = GetCurrentEventTime();
  if (delta < 0) offset += delta;
  bool found = false;
  SInt32 start = 0, end = 0;
  if (offset >= 0 && offset < WEGetTextLength(we)) {
    WEFindWord(offset + 1, kTrailingEdge, &start, &end, we);
    SInt32 cls = 0;
    found = end > start && WEGetCharacterProperty(offset, weCharClassProperty, &cls, we) == noErr &&
            cls != weCharClassSpace && cls != weCharClassPunctuation;
  }
  if (found) {
    wt.RANGE = CFRangeMake(start, end);
  } else {
    // Nothing to count down for: a pause after a space must not report
    // the word typed before it.
    wt.DELAY = 0;
  }
  if (!found && wt.SESSION) {
    wt.SESSION = false;
    wt.DELAY = 0;
    ReportEnd(data);
  }
  if (wt.SESSION) {
    ReportWord(data);
    wt.DELAY = 0;
  }
}

}  // namespace fenwicket
