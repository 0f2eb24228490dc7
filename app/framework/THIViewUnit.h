// THIView: the base of every view the program draws itself. A class ID is
// registered as a subclass of the system view class; one dispatcher receives
// the class's events and turns each into a virtual call on the view's object.
#pragma once

#include "CGContext.h"
#include "CarbonEvents.h"
#include "Drag.h"
#include "HIObject.h"
#include "HIView.h"
#include "MacWindows.h"
#include "Menus.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class THIView;
typedef THIView* (*HIViewConstructObjectCallback)();

// The construct data of a registered class: a callback that makes a new
// object for each view, or one object that serves every view of the class.
struct ConstructObjectContext {
  HIViewConstructObjectCallback callback;
  THIView* object;
};

// Draw states answered by GetDrawState.
enum : UInt32 {
  kTHIViewDrawStateInactive = 0,
  kTHIViewDrawStateActive = 1,
  kTHIViewDrawStatePressed = 2,
  kTHIViewDrawStateHover = 6,
  kTHIViewDrawStateDragTarget = 10,
  kTHIViewDrawStateWindowInactive = 11,
};

// Ticks a press must be held before it counts as a long press.
constexpr UInt32 kTHIViewDeepHitTicks = 20;

constexpr OSType kTHIViewPropertyCreator = 'THIV';
constexpr OSType kTHIViewPropertyTag = 'OBJE';

class THIView : public TObject {
 public:
  THIView();

  HIViewRef View = nullptr;
  UInt32 TrackStart = 0;
  UInt32 HoverStart = 0;
  UInt32 DrawState = 0;
  Boolean DragInside = false;
  SInt16 HitPart = 0;
  CGPoint HitPoint = {0, 0};
  HIViewRef ScrollView = nullptr;
  Boolean OwnedByClass = false;
  Boolean DeepHit = false;
  EventHandlerCallRef CallRef = nullptr;
  EventRef CurrentEvent = nullptr;
  EventLoopTimerRef Timer = nullptr;
  Boolean MouseHandlerInstalled = false;
  Boolean DragHandlerInstalled = false;
  HIViewTrackingAreaRef TrackingArea = nullptr;
  // The window mouse handler and the window whose drag-tracking handler this
  // object counts on, kept so that both go with the object.
  EventHandlerRef MouseHandler = nullptr;
  WindowRef DragTrackingWindow = nullptr;

  virtual void InitializeObject(EventRef event);
  virtual void InitializeControl();
  virtual void Hover();
  virtual void BoundsChanged(CGRect bounds);
  virtual void VisibilityChanged(Boolean visible);
  virtual void DrawControl(CGRect bounds, CGContextRef context);
  virtual void ControlHit(SInt16 part);
  virtual void ControlDeepHit();
  virtual SInt16 HitTestControl(CGRect bounds, CGPoint point);
  virtual void ControlHiliteChanged();
  virtual void ControlTrack(CGPoint point);
  virtual void MouseDragged();
  virtual void MouseWheelMoved();
  virtual void ActivationChanged(Boolean active);
  virtual void CallNextHandler();
  virtual void EventTimer();
  virtual void InstallTimer(double interval);
  virtual void RemoveTimer();
  virtual void InstallMouseHandler();
  virtual void InstallDragTrackingHandler();
  virtual void AllocateResources();
  virtual void SendCommand();
  virtual MenuRef GetContextualMenu(CGPoint point);
  virtual void SelectContextualMenu(MenuRef menu, UInt16 item);
  virtual void SimulateContextualMenuClick(CGPoint global);
  virtual SInt32 NewViewDrag(EventRef event);
  virtual void DrawDragImage(CGRect bounds, CGContextRef context);
  virtual void AddDragFlavors(DragRef drag);
  virtual void HandleTrackDrag(SInt16 message, DragRef drag, CGPoint mouse, CGPoint pinnedMouse);
  virtual void HandlePostDrag(DragRef drag);
  virtual void HandleDragLeft(DragRef drag);
  virtual Boolean AcceptDrag(Ptr data, DragRef drag, UInt32 flavorType);
  virtual Boolean ReceiveDrag(Ptr data, DragRef drag, UInt32 flavorType);
  virtual void MakeScrollable();
  virtual void ScrollViewGetInfo(CGSize& imageSize, CGSize& viewSize, CGSize& lineSize, CGPoint& origin);
  virtual void ScrollViewTo(CGPoint origin);
  virtual void ScrollViewChanged();
  virtual UInt32 GetDrawState();
  virtual Boolean GetHoverState();
  virtual Boolean IsActiveDrawState();
  virtual void EventHandler(EventHandlerCallRef callRef, EventRef event, Ptr data, SInt32 value);
  virtual void ProcessCommand(const HICommand& command, EventRef event, SInt32& result);
  // Ends the object: its timer, tracking area and window handlers go first,
  // so nothing calls back into freed memory.
  virtual void Release();

  // Called by the long-press timer: EventTimer, then the long-press check.
  void TimerFired();
};

// The dispatcher of every registered class.
OSStatus THIViewEventHandler(EventHandlerCallRef callRef, EventRef event, void* userData);

extern const EventTypeSpec kTHIViewEvents[24];

void THIViewRegister(const Str255& classID, HIViewConstructObjectCallback callback);
void THIViewRegisterWithObject(const Str255& classID, THIView* object);
THIView* HIViewGetObjectRef(ControlRef control);
THIView* HIViewCreateObject(const Str255& classID);
THIView* HIViewFindObject(SInt16 id, UInt32 signature, WindowRef window);

// A PNG from a folder of the bundle's resources; nil when it is missing or
// unreadable (callers draw without it).
CGImageRef THIViewLoadImage(const char* name, const char* folder);
// Draws an image upright into a view's (y-down) context; nil draws nothing.
void THIViewDrawImage(CGContextRef context, CGRect rect, CGImageRef image);
