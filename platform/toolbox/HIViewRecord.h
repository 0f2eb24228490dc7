// Internal to the view system: the records behind HIObjectRef and HIViewRef,
// shared by the object, view, control and drawing sources.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../cf/CFRuntime.h"
#include "EventTargetInternal.h"
#include "HIView.h"

struct __CHIObjectClass {
  CFStringRef classID = nullptr;  // retained
  std::string name;               // UTF-8 of the ID
  __CHIObjectClass* base = nullptr;
  EventHandlerUPP proc = nullptr;  // nil for the built-in classes
  std::vector<EventTypeSpec> events;
  void* constructData = nullptr;
  int instances = 0;
  int subclasses = 0;
  bool isView = false;  // the chain reaches the view base class
  bool builtIn = false;
};

struct __CHIObject : __CFRuntimeBase {
  __CHIObject();
  ~__CHIObject() override;
  std::string Describe() const override;

  // Sends destruct to every class (subclass first) once, then ends the target.
  void Destruct();

  __CHIObjectClass* cls = nullptr;
  EventTargetRef target = nullptr;
  // Instance data per class of the chain (subclass first).
  std::vector<std::pair<__CHIObjectClass*, void*>> instances;
  bool destructed = false;
  bool constructed = false;  // construct ran for every class
};

struct ViewProperty {
  std::vector<UInt8> bytes;
  OptionBits attributes = 0;
};

struct __CViewTrackingArea {
  HIViewRef view = nullptr;
  HIViewTrackingAreaID id = 0;
  bool inside = false;
};

struct SegmentRecord {
  HISegmentBehavior behavior = kHISegmentBehaviorRadio;
  UInt32 command = 0;
  bool enabled = true;
  SInt32 value = 0;
  CFStringRef label = nullptr;  // retained
  bool autoWidth = true;
  float width = 0;
  ControlButtonContentInfo image{};
};

struct __CView : __CHIObject {
  __CView();
  ~__CView() override;

  // Tree.
  __CView* parent = nullptr;
  std::vector<__CView*> children;  // index order; the tree holds no reference
  WindowRef window = nullptr;      // set on the root; read through ViewWindow
  EventTargetRef windowTarget = nullptr;
  bool isRoot = false;
  bool isStripRoot = false;  // a window's toolbar strip: placed by its frame above the content
  bool disposed = false;
  bool disposing = false;

  // Geometry.
  CGRect frame{};
  CGPoint boundsOrigin{};
  HILayoutInfo layout{};
  bool hasLayout = false;
  CGFloat layoutDistance[4] = {0, 0, 0, 0};  // top, left, bottom, right from the superview's edges
  int layoutSuspended = 0;

  // State.
  HIViewID viewID{0, 0};
  ControlKind kind{kControlKindSignatureApple, kControlKindHIView};
  bool visible = true;
  bool enabled = true;
  bool active = true;
  bool drawingEnabled = true;
  bool needsDisplay = false;
  bool dragTracking = false;
  ControlPartCode hilite = 0;
  HIViewFeatures features = 0;

  // Values and text.
  SInt32 value = 0;
  SInt32 minimum = 0;
  SInt32 maximum = 0;
  SInt32 viewSize = 0;
  CFStringRef text = nullptr;  // retained, never nil once created
  UInt32 commandID = 0;
  SRefCon refCon = 0;
  ControlActionUPP action = nullptr;

  // Properties and the stored control data of the standard kinds.
  std::map<std::pair<OSType, OSType>, ViewProperty> properties;
  std::map<ResType, std::vector<UInt8>> data;
  ControlEditTextSelectionRec selection{0, 0};
  bool textEdited = false;  // typed into since the text was last accepted
  MenuRef menu = nullptr;  // retained: pop-up and bevel buttons
  void* image = nullptr;   // image views: retained CF object
  std::vector<SegmentRecord> segments;

  std::vector<__CViewTrackingArea*> trackingAreas;
};

// --- Shared helpers (HIView.cpp) ---
inline __CView* ViewOf(HIViewRef v) { return static_cast<__CView*>(v); }
bool ViewIsLive(HIViewRef view);
__CView* ViewTop(__CView* view);
WindowRef ViewWindow(const __CView* view);
CGPoint ViewToRoot(__CView* view, CGPoint p);    // view coordinates -> root coordinates
CGPoint ViewFromRoot(__CView* view, CGPoint p);  // root -> view
// Sends an event about the view to its target; dontPropagate for the events
// that stay with the view.
OSStatus ViewSendEvent(__CView* view, EventRef event, bool dontPropagate);
EventRef ViewMakeEvent(EventClass cls, EventKind kind, __CView* view);
void ViewInvalidate(__CView* view);
// The value setter without the range checks of a public caller.
void ViewSetValueInternal(__CView* view, SInt32 value);
void ViewSendCommand(__CView* view, UInt32 commandID);
// Creates a view of a built-in standard kind (class "com.apple.hiview").
__CView* ViewCreateStandard(OSType kind, const CGRect& frame);
void ViewEmbedInWindow(WindowRef window, __CView* view);
OSStatus ViewStandardHandler(EventHandlerCallRef call, EventRef event, void* userData);

// --- toolbar/HIToolbar.cpp: the toolbar classes, registered on first look-up ---
void ToolbarClassesRegister();
bool ToolbarIsItemClass(const __CHIObjectClass* cls);

// --- HIObject.cpp ---
__CHIObjectClass* HIObjectClassViewBase();
// Makes the record of the class chain (view or plain object), runs construct
// and initialise; used by HIObjectCreate and the standard controls.
OSStatus HIObjectCreateOfClass(__CHIObjectClass* cls, EventRef initEvent, HIObjectRef* outObject);

// --- Controls.cpp: standard kinds ---
// The part a click or hit test finds for the kind at a point inside the view.
ControlPartCode ControlKindHitTest(__CView* view, CGPoint viewPoint);
// What a kind does when a click ends in a part, before kEventControlHit.
void ControlKindOnHit(__CView* view, ControlPartCode part);
// A radio group's value set by code selects its index-th radio button (from
// 1; any other value leaves none selected), as a click would.
bool IsRadioGroup(__CView* view);
void RadioGroupSelectIndex(__CView* group, SInt32 index);
// A segmented view's value set by code selects that segment among its radio
// segments, as a click would; other values leave none of them selected.
bool IsSegmentedView(__CView* view);
void SegmentedViewSelectIndex(__CView* view, SInt32 index);
// Control data of the kind. errDataNotSupported for a tag it does not keep.
OSStatus ControlKindSetData(__CView* view, ControlPartCode part, ResType tag, Size size, const void* data);
OSStatus ControlKindGetData(__CView* view, ControlPartCode part, ResType tag, Size bufferSize, void* buffer,
                            Size* actualSize);
bool ControlKindTakesFocus(__CView* view);
// Typing (and the select-all command) reaches a focused edit text; true
// when it took the event.
bool ControlKindHandleText(__CView* view, EventRef event);
void ControlKindReleaseData(__CView* view);
// The user moved the focus out of an edit text (a click elsewhere, Tab, the
// program moving it): text typed since it was last accepted is accepted now,
// as Return accepts it (kEventTextAccepted), so that nothing typed is lost.
// Not called when the field is hidden or disposed of.
void ControlKindCommitText(__CView* view);
// Kinds that track by themselves (a pop-up shows its menu); false for the
// system's tracking.
bool ControlKindTrack(__CView* view, ControlPartCode startPart, ControlPartCode* outPart);
// --- ControlsDraw.cpp ---
// Draws the standard kind through the theme; false for kinds without a look.
bool ControlKindDraw(__CView* view, CGContextRef context);

// --- HIViewDraw.cpp ---
OSStatus ViewDrawTree(__CView* view, CGContextRef context);
