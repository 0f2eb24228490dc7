#include "TCustomControlUnit.h"

#include <vector>

#include "Folders.h"
#include "Icons.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"

namespace {

const EventTypeSpec kCustomControlEvents[11] = {
    {kEventClassControl, kEventControlInitialize},      {kEventClassControl, kEventControlDraw},
    {kEventClassControl, kEventControlHit},             {kEventClassControl, kEventControlTrack},
    {kEventClassControl, kEventControlDispose},         {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlContextualMenuClick}, {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlDeactivate},      {kEventClassControl, kEventControlBoundsChanged},
    {kEventClassControl, kEventControlVisibilityChanged},
};

CGPoint ReadPoint(EventRef event, EventParamName name) {
  CGPoint point = {0, 0};
  GetEventParameter(event, name, typeHIPoint, nullptr, sizeof point, nullptr, &point);
  return point;
}

}  // namespace

void TCustomControl::SetIconRef(UInt32 creator, UInt32 type) {
  IconRef icon = nullptr;
  Err = GetIconRef(kOnSystemDisk, creator, type, &icon);
  if (Err != noErr) return;
  ControlButtonContentInfo info{};
  info.contentType = kControlContentIconRef;
  info.u.iconRef = icon;
  // The control keeps the reference as given, so it stays ours to hold.
  Err = SetControlData(Control, 0, kControlBevelButtonContentTag, sizeof info, &info);
}

UInt32 TCustomControl::GetDrawState() {
  if (!IsControlEnabled(Control) || !IsControlActive(Control)) return 0;
  return GetControlHilite(Control) != 0 ? 2 : 1;
}

CGImageRef TCustomControl::GetImageForDrawState(const CustomButtonImageState& state) {
  return GetDrawState() == 2 ? state.pressed : state.normal;
}

SInt16 TCustomControl::GetTransformForDrawState() {
  switch (GetDrawState()) {
    case 0:
      return kTransformDisabled;
    case 2:
      return kTransformSelected;
  }
  return kTransformNone;
}

CGRect TCustomControl::GetBounds() {
  CGRect bounds = {{0, 0}, {0, 0}};
  HIViewGetBounds(Control, &bounds);
  return bounds;
}

void TCustomControl::CallNextHandler() { Err = CallNextEventHandler(CallRef, CurrentEvent); }
void TCustomControl::InitializeControl() {}
void TCustomControl::AllocateResources() {}
void TCustomControl::BoundsChanged(CGRect, OSStatus&) {}
void TCustomControl::VisibilityChanged(Boolean, OSStatus&) {}
void TCustomControl::DrawControl(CGRect, CGContextRef, OSStatus&) {}
void TCustomControl::ControlHit(SInt16, OSStatus&) {}
void TCustomControl::ControlTrack(CGPoint, OSStatus&) {}
SInt16 TCustomControl::HitTestControl(CGRect, CGPoint, OSStatus&) { return 0; }
void TCustomControl::ContextualMenuClick(CGPoint, OSStatus&) {}

void TCustomControl::Release() {
  if (Handler != nullptr) RemoveEventHandler(Handler);
  Handler = nullptr;
  delete this;
}

void TCustomControl::Create(ControlRef control) {
  Control = control;
  AllocateResources();
  InitializeControl();
  Err = InstallEventHandler(GetControlEventTarget(control), CustomControlHandler, 11, kCustomControlEvents, this,
                            &Handler);
}

OSStatus CustomControlHandler(EventHandlerCallRef callRef, EventRef event, void* userData) {
  auto* self = static_cast<TCustomControl*>(userData);
  OSStatus result = eventNotHandledErr;
  if (self == nullptr || GetEventClass(event) != kEventClassControl) return result;
  self->CallRef = callRef;
  self->CurrentEvent = event;
  switch (GetEventKind(event)) {
    case kEventControlHit: {
      ControlPartCode part = 0;
      ControlRef control = nullptr;
      GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
      GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr,
                        &control);
      // Hits on the wrapped control itself reach the object.
      if (control == self->Control) self->ControlHit(part, result);
      break;
    }
    case kEventControlHitTest: {
      ControlPartCode part = self->HitTestControl(self->GetBounds(), ReadPoint(event, kEventParamMouseLocation), result);
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      break;
    }
    case kEventControlDraw: {
      CGContextRef context = nullptr;
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr,
                        &context);
      if (context == nullptr) break;
      CGContextSaveGState(context);
      self->DrawControl(self->GetBounds(), context, result);
      CGContextRestoreGState(context);
      break;
    }
    case kEventControlActivate:
    case kEventControlDeactivate:
      HIViewSetNeedsDisplay(self->Control, true);
      break;
    case kEventControlContextualMenuClick: {
      CGPoint point = ReadPoint(event, kEventParamWindowMouseLocation);
      Rect content = {0, 0, 0, 0};
      if (GetWindowBounds(HIViewGetWindow(self->Control), kWindowContentRgn, &content) == noErr) {
        point.x += content.left;
        point.y += content.top;
      }
      self->ContextualMenuClick(point, result);
      break;
    }
    case kEventControlTrack:
      self->ControlTrack(ReadPoint(event, kEventParamMouseLocation), result);
      break;
    case kEventControlBoundsChanged:
      self->BoundsChanged(self->GetBounds(), result);
      break;
    case kEventControlVisibilityChanged:
      self->VisibilityChanged(HIViewIsVisible(self->Control), result);
      break;
    case kEventControlDispose:
      self->Release();
      break;
  }
  return result;
}

std::string GetCustomControlKind(ControlRef control) {
  ByteCount size = 0;
  if (GetControlPropertySize(control, kCustomControlKindCreator, kCustomControlKindTag, &size) != noErr || size == 0)
    return std::string();
  std::vector<char> buffer(size);
  ByteCount actual = 0;
  if (GetControlProperty(control, kCustomControlKindCreator, kCustomControlKindTag, size, &actual, buffer.data()) !=
      noErr)
    return std::string();
  std::string text(buffer.data(), actual);
  // The text ends with a NUL; a value without one is taken whole.
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void ApplyCustomControlWrapper(ControlRef root, const std::string& kind, TCustomControlApplierFunction applier,
                               void* data) {
  if (root == nullptr || applier == nullptr) return;
  // Iterative depth-first walk: deep trees cost no stack.
  std::vector<ControlRef> matches;
  std::vector<std::pair<ControlRef, CFIndex>> stack;
  if (GetCustomControlKind(root) == kind) matches.push_back(root);
  stack.push_back({root, 1});
  while (!stack.empty()) {
    auto& [parent, next] = stack.back();
    HIViewRef child = nullptr;
    if (CFIndex(HIViewCountSubviews(parent)) < next || HIViewGetIndexedSubview(parent, next, &child) != noErr) {
      stack.pop_back();
      continue;
    }
    ++next;
    if (GetCustomControlKind(child) == kind) matches.push_back(child);
    stack.push_back({child, 1});
  }
  // The tree is walked first so that an applier that changes it cannot
  // disturb the walk.
  for (ControlRef control : matches) applier(control, data);
}
