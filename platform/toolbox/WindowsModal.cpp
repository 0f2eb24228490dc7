// Sheets, app-modal runs and transitions. Transitions reach their end state
// at once: the effect is only the look of the change.
#include <algorithm>

#include "EventTargetInternal.h"
#include "WindowsRecord.h"

namespace {

void SendSheetEvent(WindowRef parent, EventKind kind, WindowRef sheet) {
  if (!WindowIsLive(parent)) return;
  EventRef e = nullptr;
  if (CreateEvent(nullptr, kEventClassWindow, kind, 0, 0, &e) != noErr) return;
  SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &sheet);
  SendEventToEventTarget(e, GetWindowEventTarget(sheet));
  ReleaseEvent(e);
}

}  // namespace

OSStatus ShowSheetWindow(WindowRef inSheet, WindowRef inParentWindow) {
  if (!WindowIsLive(inSheet) || !WindowIsLive(inParentWindow) || inSheet == inParentWindow) return paramErr;
  if (inSheet->sheetParent != nullptr) return windowWrongStateErr;  // already shown
  if (inParentWindow->sheet != nullptr && WindowIsLive(inParentWindow->sheet)) return windowWrongStateErr;
  if (inSheet->windowClass != kSheetWindowClass) SetWindowClass(inSheet, kSheetWindowClass);
  inSheet->sheetParent = inParentWindow;
  inParentWindow->sheet = inSheet;
  inSheet->modality = kWindowModalityWindowModal;
  inSheet->modalParent = inParentWindow;
  // Centred on the parent's top edge, below its title bar.
  Rect parent = inParentWindow->content;
  Rect c = inSheet->content;
  const int width = c.right - c.left, height = c.bottom - c.top;
  const int left = parent.left + ((parent.right - parent.left) - width) / 2;
  Rect placed{parent.top, SInt16(left), SInt16(parent.top + height), SInt16(left + width)};
  SetWindowBounds(inSheet, kWindowContentRgn, &placed);
  SendSheetEvent(inParentWindow, kEventWindowSheetOpening, inSheet);
  SelectWindow(inParentWindow);
  ShowWindow(inSheet);
  SelectWindow(inSheet);
  SendSheetEvent(inParentWindow, kEventWindowSheetOpened, inSheet);
  return noErr;
}

OSStatus HideSheetWindow(WindowRef inSheet) {
  if (!WindowIsLive(inSheet)) return errInvalidWindowRef;
  WindowRef parent = inSheet->sheetParent;
  if (parent == nullptr) return windowWrongStateErr;
  SendSheetEvent(parent, kEventWindowSheetClosing, inSheet);
  HideWindow(inSheet);
  inSheet->sheetParent = nullptr;
  inSheet->modality = kWindowModalityNone;
  inSheet->modalParent = nullptr;
  if (WindowIsLive(parent)) {
    if (parent->sheet == inSheet) parent->sheet = nullptr;
    SelectWindow(parent);
  }
  SendSheetEvent(parent, kEventWindowSheetClosed, inSheet);
  return noErr;
}

OSStatus GetSheetWindowParent(WindowRef inSheet, WindowRef* outParentWindow) {
  if (outParentWindow == nullptr) return paramErr;
  *outParentWindow = nullptr;
  if (!WindowIsLive(inSheet)) return errInvalidWindowRef;
  if (inSheet->sheetParent == nullptr) return windowWrongStateErr;
  *outParentWindow = inSheet->sheetParent;
  return noErr;
}

Boolean IsWindowSheet(WindowRef inWindow) { return WindowIsLive(inWindow) && inWindow->sheetParent != nullptr; }

OSStatus GetWindowSheet(WindowRef inParent, WindowRef* outSheet) {
  if (outSheet == nullptr) return paramErr;
  *outSheet = nullptr;
  if (!WindowIsLive(inParent)) return errInvalidWindowRef;
  if (inParent->sheet == nullptr || !WindowIsLive(inParent->sheet)) return errWindowNotFound;
  *outSheet = inParent->sheet;
  return noErr;
}

OSStatus BeginAppModalStateForWindow(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  inWindow->modality = kWindowModalityAppModal;
  return noErr;
}

OSStatus EndAppModalStateForWindow(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inWindow->modality != kWindowModalityAppModal) return windowNoAppModalStateErr;
  inWindow->modality = kWindowModalityNone;
  return noErr;
}

OSStatus RunAppModalLoopForWindow(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (!EventCoreCheckMainThread("RunAppModalLoopForWindow")) return eventInternalErr;
  RetainWindow(inWindow);
  const WindowModality before = inWindow->modality;
  inWindow->modality = kWindowModalityAppModal;
  inWindow->modalQuit = false;
  ++inWindow->modalRuns;
  ShowWindow(inWindow);
  SelectWindow(inWindow);
  // A nested run of the one loop: timers and posted events go on. A window
  // disposed meanwhile ends the run (its record says so).
  while (!inWindow->modalQuit) RunCurrentEventLoop(kEventDurationForever);
  --inWindow->modalRuns;
  inWindow->modalQuit = false;
  if (!inWindow->disposed) inWindow->modality = before == kWindowModalityAppModal ? kWindowModalityNone : before;
  ReleaseWindow(inWindow);
  return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef inWindow) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inWindow->modalRuns == 0) return windowNoAppModalStateErr;
  inWindow->modalQuit = true;
  QuitEventLoop(GetMainEventLoop());
  return noErr;
}

OSStatus TransitionWindow(WindowRef inWindow, WindowTransitionEffect inEffect, WindowTransitionAction inAction,
                          const Rect* inRect) {
  if (!WindowIsLive(inWindow)) return errInvalidWindowRef;
  if (inEffect < kWindowZoomTransitionEffect || inEffect > kWindowGenieTransitionEffect) return paramErr;
  switch (inAction) {
    case kWindowShowTransitionAction:
      ShowWindow(inWindow);
      return noErr;
    case kWindowHideTransitionAction:
      HideWindow(inWindow);
      return noErr;
    case kWindowMoveTransitionAction:
    case kWindowResizeTransitionAction:
      // The rectangle is the structure's end state. The slide (and every
      // other effect) is not animated: the window takes the bounds at once,
      // shown or hidden, and the call returns with it there, as a
      // synchronous transition does once it has run.
      if (inRect == nullptr) return paramErr;
      return SetWindowBounds(inWindow, kWindowStructureRgn, inRect);
  }
  return paramErr;
}

OSStatus TransitionWindowWithOptions(WindowRef inWindow, WindowTransitionEffect inEffect,
                                     WindowTransitionAction inAction, const HIRect* inBounds, Boolean,
                                     TransitionWindowOptions* inOptions) {
  if (inOptions != nullptr && inOptions->version != 0) return paramErr;
  if (inBounds == nullptr) return TransitionWindow(inWindow, inEffect, inAction, nullptr);
  Rect r{SInt16(inBounds->origin.y), SInt16(inBounds->origin.x),
         SInt16(inBounds->origin.y + inBounds->size.height), SInt16(inBounds->origin.x + inBounds->size.width)};
  return TransitionWindow(inWindow, inEffect, inAction, &r);
}
