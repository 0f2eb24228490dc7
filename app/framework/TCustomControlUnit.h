// TCustomControl: takes over the drawing and hit handling of an ordinary
// control by installing its own handler on the control, without a view class
// of its own. Which controls are wrapped is chosen by their custom kind.
#pragma once

#include <string>

#include "CGContext.h"
#include "CGImage.h"
#include "CarbonEvents.h"
#include "HIView.h"
#include "ShortString.h"

struct CustomButtonImageState {
  CGImageRef normal;
  CGImageRef pressed;
  CGImageRef unused;
};

struct CustomButtonImages {
  CGImageRef separator;
  CGImageRef unused;
  CustomButtonImageState left;
  CustomButtonImageState right;
  CustomButtonImageState content;
};

constexpr OSType kCustomControlKindCreator = 'crtr';
constexpr OSType kCustomControlKindTag = 'KIND';

class TCustomControl {
 public:
  TCustomControl() = default;
  virtual ~TCustomControl() = default;
  TCustomControl(const TCustomControl&) = delete;
  TCustomControl& operator=(const TCustomControl&) = delete;

  ControlRef Control = nullptr;
  CustomButtonImages Images = {};
  EventHandlerCallRef CallRef = nullptr;
  EventRef CurrentEvent = nullptr;
  EventHandlerRef Handler = nullptr;

  virtual void SetIconRef(UInt32 creator, UInt32 type);
  virtual UInt32 GetDrawState();
  virtual CGImageRef GetImageForDrawState(const CustomButtonImageState& state);
  virtual SInt16 GetTransformForDrawState();
  virtual CGRect GetBounds();
  virtual void CallNextHandler();
  virtual void InitializeControl();
  virtual void AllocateResources();
  virtual void BoundsChanged(CGRect bounds, OSStatus& result);
  virtual void VisibilityChanged(Boolean visible, OSStatus& result);
  virtual void DrawControl(CGRect bounds, CGContextRef context, OSStatus& result);
  virtual void ControlHit(SInt16 part, OSStatus& result);
  virtual void ControlTrack(CGPoint point, OSStatus& result);
  virtual SInt16 HitTestControl(CGRect bounds, CGPoint point, OSStatus& result);
  virtual void ContextualMenuClick(CGPoint global, OSStatus& result);
  // Frees the object; its handler goes with it.
  virtual void Release();
  virtual void Create(ControlRef control);
};

typedef void (*TCustomControlApplierFunction)(ControlRef control, void* data);

OSStatus CustomControlHandler(EventHandlerCallRef callRef, EventRef event, void* userData);
// The control's custom kind without its trailing NUL; empty when it has none.
std::string GetCustomControlKind(ControlRef control);
void ApplyCustomControlWrapper(ControlRef root, const std::string& kind, TCustomControlApplierFunction applier,
                               void* data);
