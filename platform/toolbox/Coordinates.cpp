// Points between views, windows and the screen: every space goes through the
// global one (the window's content origin plus the root-view point).
#include "HIView.h"
#include "MacWindows.h"
#include "WindowInternal.h"

namespace {

// The point in global coordinates; false when the space's object is missing.
bool ToGlobal(HIPoint* p, HICoordinateSpace space, void* object) {
  switch (space) {
    case kHICoordSpace72DPIGlobal:
    case kHICoordSpaceScreenPixel:
      return true;
    case kHICoordSpaceWindow: {
      auto window = static_cast<WindowRef>(object);
      if (!WindowIsLive(window)) return false;
      Rect structure{};
      GetWindowBounds(window, kWindowStructureRgn, &structure);
      p->x += structure.left;
      p->y += structure.top;
      return true;
    }
    case kHICoordSpaceView: {
      auto view = static_cast<HIViewRef>(object);
      WindowRef window = view != nullptr ? HIViewGetWindow(view) : nullptr;
      if (!WindowIsLive(window)) return false;
      if (HIViewConvertPoint(p, view, nullptr) != noErr) return false;
      const CGRect content = WindowContentBounds(window);
      p->x += content.origin.x;
      p->y += content.origin.y;
      return true;
    }
  }
  return false;
}

bool FromGlobal(HIPoint* p, HICoordinateSpace space, void* object) {
  switch (space) {
    case kHICoordSpace72DPIGlobal:
    case kHICoordSpaceScreenPixel:
      return true;
    case kHICoordSpaceWindow: {
      auto window = static_cast<WindowRef>(object);
      if (!WindowIsLive(window)) return false;
      Rect structure{};
      GetWindowBounds(window, kWindowStructureRgn, &structure);
      p->x -= structure.left;
      p->y -= structure.top;
      return true;
    }
    case kHICoordSpaceView: {
      auto view = static_cast<HIViewRef>(object);
      WindowRef window = view != nullptr ? HIViewGetWindow(view) : nullptr;
      if (!WindowIsLive(window)) return false;
      const CGRect content = WindowContentBounds(window);
      HIPoint local{p->x - content.origin.x, p->y - content.origin.y};
      if (HIViewConvertPoint(&local, nullptr, view) != noErr) return false;
      *p = local;
      return true;
    }
  }
  return false;
}

}  // namespace

void HIPointConvert(HIPoint* ioPoint, HICoordinateSpace inSourceSpace, void* inSourceObject,
                    HICoordinateSpace inDestinationSpace, void* inDestinationObject) {
  if (ioPoint == nullptr) return;
  HIPoint p = *ioPoint;
  if (!ToGlobal(&p, inSourceSpace, inSourceObject)) return;
  if (!FromGlobal(&p, inDestinationSpace, inDestinationObject)) return;
  *ioPoint = p;
}
