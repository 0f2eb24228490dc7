// The text engine and the pointer: clicks that follow the mouse while the
// button is down (selecting by characters, words or lines, scrolling when
// the pointer leaves the view), dragging the selected text out, the cursor
// over the text, and the blinking caret.
#include <algorithm>
#include <cstdlib>

#include "Appearance.h"
#include "HIView.h"
#include "MacWindows.h"
#include "MouseTracking.h"
#include "WEInternal.h"

using namespace we;

namespace {

// Clicks closer in time (ticks) and space (pixels) count as one multiple click.
constexpr UInt32 kDoubleClickTicks = 30;
constexpr int kDoubleClickSlop = 4;
// How often a resting pointer outside the view scrolls the text.
constexpr EventTimeout kAutoScrollInterval = 0.05;
// How far the pointer moves in the selection before the text is dragged.
constexpr int kDragSlop = 3;
constexpr EventTimerInterval kBlinkInterval = 0.53;

enum class Unit { kCharacter, kWord, kLine };

bool Editable(WEReference we) { return !we->Feature(weFReadOnly); }

WindowRef WindowOf(WEReference we) { return we->hiView ? HIViewGetWindow(we->hiView) : nullptr; }

// The port whose local coordinates are the engine's (the root view's).
GrafPtr PortOf(WEReference we) {
  WindowRef window = WindowOf(we);
  return window ? GetWindowPort(window) : nullptr;
}

Point LocalToGlobalIn(WEReference we, Point p) {
  if (WindowRef window = WindowOf(we)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    LocalToGlobal(&p);
    SetPort(saved);
  }
  return p;
}

bool InSelection(WEReference we, Point p) {
  if (we->sel.start == we->sel.end) return false;
  RgnHandle rgn = WEGetHiliteRgn(kCurrentSelection, kCurrentSelection, we);
  const bool inside = rgn && PtInRgn(p, rgn);
  if (rgn) DisposeRgn(rgn);
  return inside;
}

// Brings text beyond the view's edge into it while the pointer is there.
void ScrollTowards(WEReference we, Point p) {
  const SInt32 height = we->view.bottom - we->view.top, width = we->view.right - we->view.left;
  if (height <= 0 || width <= 0) return;
  auto step = [](SInt32 distance, SInt32 extent) { return std::clamp<SInt32>(distance, 8, std::max(8, extent / 2)); };
  if (p.v < we->view.top)
    ScrollBy(we, step(we->view.top - p.v, height));
  else if (p.v >= we->view.bottom)
    ScrollBy(we, -step(p.v - we->view.bottom + 1, height));
  SInt32 dh = 0;
  if (p.h < we->view.left && we->dest.left < we->view.left)
    dh = std::min(step(we->view.left - p.h, width), we->view.left - we->dest.left);
  else if (p.h >= we->view.right && we->dest.right > we->view.right)
    dh = -std::min(step(p.h - we->view.right + 1, width), we->dest.right - we->view.right);
  if (dh != 0) WEScroll(dh, 0, we);
}

// The selection from the fixed range a0 .. a1 to the unit under the point.
void ExtendTo(WEReference we, Point p, Unit unit, SInt32 a0, SInt32 a1) {
  LongPt pt{p.v, p.h};
  WEEdge edge = kLeadingEdge;
  const SInt32 offset = WEGetOffset(&pt, &edge, we);
  SInt32 s = offset, e = offset;
  if (unit == Unit::kWord)
    WEFindWord(offset, edge, &s, &e, we);
  else if (unit == Unit::kLine)
    WEGetLineRange(WEOffsetToLine(offset, we), &s, &e, we);
  if (s < a0)
    SetSelectionInternal(we, a1, s);
  else if (e > a1)
    SetSelectionInternal(we, a0, e);
  else
    SetSelectionInternal(we, a0, a1);
}

// Follows the pointer until the button goes up.
void TrackSelection(WEReference we, Unit unit, SInt32 a0, SInt32 a1) {
  const GrafPtr port = PortOf(we);
  bool moved = false;
  for (;;) {
    Point p{0, 0};
    UInt32 modifiers = 0;
    MouseTrackingResult result = kMouseTrackingMouseUp;
    if (TrackMouseLocationWithOptions(port, 0, kAutoScrollInterval, &p, &modifiers, &result) != noErr) break;
    if (result == kMouseTrackingUserCancelled) break;
    if (result == kMouseTrackingMouseDragged) moved = true;
    if (!moved) {
      if (result == kMouseTrackingMouseUp) break;
      continue;  // resting where the click was
    }
    if (result != kMouseTrackingMouseUp) ScrollTowards(we, p);
    ExtendTo(we, p, unit, a0, a1);
    if (result == kMouseTrackingMouseUp) break;
  }
}

// Drags the selection once the pointer leaves the click's neighbourhood;
// false when the button went up first (a plain click).
bool TrackTextDrag(WEReference we, Point hit, EventModifiers modifiers, UInt32 clickTime) {
  const GrafPtr port = PortOf(we);
  for (;;) {
    Point p{0, 0};
    MouseTrackingResult result = kMouseTrackingMouseUp;
    if (TrackMouseLocationWithOptions(port, 0, kEventDurationForever, &p, nullptr, &result) != noErr) return false;
    if (result == kMouseTrackingMouseUp || result == kMouseTrackingUserCancelled) return false;
    if (std::abs(p.h - hit.h) > kDragSlop || std::abs(p.v - hit.v) > kDragSlop) break;
  }
  DragRef drag = nullptr;
  if (NewDrag(&drag) != noErr) return true;
  const SInt32 start = we->sel.start, end = we->sel.end;
  std::u16string chars = Copy(we, start, end);
  for (auto& c : chars)
    if (c == 13) c = 10;  // the desktop's line breaks
  const std::string utf8 = ToUTF8(chars);
  AddDragItemFlavor(drag, 1, kFlavorTypeUnicodeText, chars.data(), Size(chars.size() * sizeof(char16_t)), 0);
  AddDragItemFlavor(drag, 1, kFlavorTypeUTF8Text, utf8.data(), Size(utf8.size()), 0);
  if (RgnHandle rgn = WEGetHiliteRgn(start, end, we)) {
    Rect bounds{};
    GetRegionBounds(rgn, &bounds);
    Point topLeft = LocalToGlobalIn(we, Point{bounds.top, bounds.left});
    Point bottomRight = LocalToGlobalIn(we, Point{bounds.bottom, bounds.right});
    const Rect global{topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};
    SetDragItemBounds(drag, 1, &global);
    DisposeRgn(rgn);
  }
  SetDragAllowableActions(drag, Editable(we) ? kDragActionCopy | kDragActionMove : kDragActionCopy, true);
  SetDragAllowableActions(drag, kDragActionCopy, false);

  EventRecord event{mouseDown, 0, clickTime, LocalToGlobalIn(we, hit), modifiers};
  we->outgoingDrag = drag;
  we->dragStart = start;
  we->dragEnd = end;
  we->droppedInside = false;
  SetThemeCursor(kThemeClosedHandCursor);
  const OSErr status = TrackDrag(drag, &event, nullptr);
  we->outgoingDrag = nullptr;
  if (status == noErr && !we->droppedInside && Editable(we)) {
    // Dropped elsewhere as a move: the text leaves here.
    DragActions action = kDragActionNothing;
    GetDragDropAction(drag, &action);
    SInt16 up = 0;
    GetDragModifiers(drag, nullptr, nullptr, &up);
    if (action == kDragActionMove && (UInt16(up) & kOptionKey) == 0) {
      const SInt32 s = ClampOffset(we, start), e = ClampOffset(we, end);
      if (e > s) {
        CloseTyping(we);
        BeginImplicit(we, weAKDrag);
        Replace(we, s, e, nullptr, 0, nullptr, false);
        SetSelectionInternal(we, s, s);
        EndImplicit(we);
      }
    }
  }
  DisposeDrag(drag);
  SetThemeCursor(kThemeArrowCursor);
  return true;
}

// Only the caret's few pixels are drawn again.
void RedrawCaret(WEReference we) {
  if (we->Feature(weFInhibitRedraw)) {
    const SInt32 line = we->lines.PartitionOf(we->sel.start);
    RedrawParagraphs(we, line, line, false);  // held until drawing is allowed
    return;
  }
  if (we->hiView == nullptr) return;
  LongPt pt{};
  SInt16 lineHeight = 0;
  WEGetPoint(we->sel.start, 1, &pt, &lineHeight, we);
  HIRect r{{double(pt.h) - 1, double(pt.v)}, {3, double(lineHeight)}};
  if (WindowRef window = HIViewGetWindow(we->hiView)) HIViewConvertRect(&r, HIViewGetRoot(window), we->hiView);
  HIViewSetNeedsDisplayInRect(we->hiView, &r, true);
}

void Blink(EventLoopTimerRef, void* userData) {
  auto* we = static_cast<WEReference>(userData);
  we->caretOn = !we->caretOn;
  if (we->sel.start == we->sel.end && !we->Feature(weFReadOnly)) RedrawCaret(we);
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal

namespace we {

void BlinkStart(WEReference we) {
  we->caretOn = true;
  if (we->blinkTimer == nullptr)
    InstallEventLoopTimer(GetMainEventLoop(), kBlinkInterval, kBlinkInterval, Blink, we, &we->blinkTimer);
}

void BlinkStop(WEReference we) {
  if (we->blinkTimer != nullptr) RemoveEventLoopTimer(we->blinkTimer);
  we->blinkTimer = nullptr;
  we->caretOn = true;
}

void BlinkReset(WEReference we) {
  we->caretOn = true;
  if (we->blinkTimer != nullptr) SetEventLoopTimerNextFireTime(we->blinkTimer, kBlinkInterval);
}

}  // namespace we

// ---------------------------------------------------------------------------
// Clicks

void WEClick(Point inHitPoint, EventModifiers inModifiers, UInt32 inClickTime, WEReference we) {
  if (we == nullptr) return;
  LongPt pt{};
  WEPointToLongPoint(inHitPoint, &pt);
  WEEdge edge = kLeadingEdge;
  const SInt32 offset = WEGetOffset(&pt, &edge, we);
  const bool near = std::abs(inHitPoint.h - we->lastClickPoint.h) <= kDoubleClickSlop &&
                    std::abs(inHitPoint.v - we->lastClickPoint.v) <= kDoubleClickSlop;
  if (we->clickCount > 0 && inClickTime >= we->lastClickTime && inClickTime - we->lastClickTime <= kDoubleClickTicks &&
      near)
    we->clickCount = we->clickCount % 3 + 1;
  else
    we->clickCount = 1;
  we->lastClickTime = inClickTime;
  we->lastClickPoint = inHitPoint;
  we->preferredX = -1;
  CloseTyping(we);

  const bool shift = (inModifiers & kShiftKey) != 0;
  if (we->clickCount == 1 && !shift && we->Feature(weFDragAndDrop) && InSelection(we, inHitPoint)) {
    if (!TrackTextDrag(we, inHitPoint, inModifiers, inClickTime)) SetSelectionInternal(we, offset, offset);
    return;
  }

  const bool margin = we->Feature(weFLeftMarginClick) && pt.h < we->dest.left;
  Unit unit = Unit::kCharacter;
  SInt32 start = offset, end = offset;
  if (we->clickCount == 3 || (margin && we->clickCount == 1)) {
    unit = Unit::kLine;
    WEGetLineRange(WEOffsetToLine(offset, we), &start, &end, we);
  } else if (we->clickCount == 2) {
    unit = Unit::kWord;
    WEFindWord(offset, edge, &start, &end, we);
  }
  if (shift) {
    const SInt32 anchor = we->sel.anchor;
    SetSelectionInternal(we, anchor, offset < anchor ? start : end);
    TrackSelection(we, Unit::kCharacter, anchor, anchor);
  } else {
    SetSelectionInternal(we, start, end);
    TrackSelection(we, unit, start, end);
  }
  if (we->Feature(weFAutoScroll)) ScrollToSelection(we);
}

// ---------------------------------------------------------------------------
// The cursor

Boolean WEAdjustCursor(Point inMouseLoc, RgnHandle, WEReference we) {
  if (we == nullptr) return false;
  // The point comes global: the view's window gives the local one.
  Point local = inMouseLoc;
  if (WindowRef window = WindowOf(we)) {
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPortWindowPort(window);
    GlobalToLocal(&local);
    SetPort(saved);
  }
  if (local.h < we->view.left || local.h >= we->view.right || local.v < we->view.top || local.v >= we->view.bottom)
    return false;
  if (we->Feature(weFDragAndDrop) && InSelection(we, local))
    SetThemeCursor(kThemeArrowCursor);
  else
    SetThemeCursor(kThemeIBeamCursor);
  return true;
}
