// HIView and the Control Manager: the view tree of a window, geometry,
// state, values, properties and control data, keyboard focus, hit testing,
// click tracking, tracking areas, invalidation and drawing, layout bindings,
// and the standard control kinds. A ControlRef is an HIViewRef, and every
// view is an HIObject (CFRetain / CFRelease work on it).
#pragma once

#include <cstdint>

#include "CFBase.h"
#include "CFString.h"
#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "HIObject.h"
#include "MacTypes.h"
#include "Menus.h"

// Typedefs shared with other toolbox headers (identical repeats are allowed).
typedef UInt16 EventModifiers;
typedef unsigned char Style;

typedef CGPoint HIPoint;
typedef CGSize HISize;
typedef CGRect HIRect;

// Drawing contexts and images are made by the Quartz layer.
typedef struct CGContext* CGContextRef;
typedef struct CGImage* CGImageRef;
// Shapes are not offered; the calls that take one accept nil (the whole view).
typedef const struct __HIShape* HIShapeRef;
typedef struct OpaqueRgnHandle* RgnHandle;

typedef SInt16 ControlPartCode;
typedef ControlPartCode HIViewPartCode;
typedef SInt16 ControlFocusPart;
typedef UInt32 ControlKindTag;
typedef UInt16 ControlSize;
typedef UInt64 HIViewFeatures;
typedef UInt32 HIViewZOrderOp;
typedef UInt32 HIViewTrackingAreaID;
typedef struct __CViewTrackingArea* HIViewTrackingAreaRef;
typedef UInt32 ControlActionPart;

struct HIViewID {
  OSType signature;
  SInt32 id;
};
typedef HIViewID ControlID;

struct ControlKind {
  OSType signature;
  OSType kind;
};

// ---------------------------------------------------------------------------
// Parts

enum : ControlPartCode {
  kControlNoPart = 0,
  kControlEntireControl = 0,
  kHIViewEntireView = 0,
  kControlLabelPart = 1,
  kControlMenuPart = 2,
  kControlTrianglePart = 4,
  kControlEditTextPart = 5,
  kControlPicturePart = 6,
  kControlIconPart = 7,
  kControlClockPart = 8,
  kControlListBoxPart = 24,
  kControlListBoxDoubleClickPart = 25,
  kControlImageWellPart = 26,
  kControlButtonPart = 10,
  kControlCheckBoxPart = 11,
  kControlRadioButtonPart = 11,
  kControlUpButtonPart = 20,
  kControlDownButtonPart = 21,
  kControlPageUpPart = 22,
  kControlPageDownPart = 23,
  kControlIndicatorPart = 129,
  kControlDisabledPart = 254,
  kControlInactivePart = 255,
  kHIViewDisabledPart = 254,
  kHIViewInactivePart = 255,
  kControlStructureMetaPart = -1,
  kControlContentMetaPart = -2,
};

// Focus parts given to SetKeyboardFocus and kEventControlSetFocusPart.
enum : ControlFocusPart {
  kControlFocusNoPart = 0,
  kControlFocusNextPart = -1,
  kControlFocusPrevPart = -2,
};

// ---------------------------------------------------------------------------
// Kinds: the signature of the standard controls and their kinds.

enum : OSType {
  kControlKindSignatureApple = 'appl',
  kControlKindPushButton = 'push',
  kControlKindPushIconButton = 'picn',
  kControlKindBevelButton = 'bevl',
  kControlKindCheckBox = 'cbox',
  kControlKindRadioButton = 'rdio',
  kControlKindRadioGroup = 'rgrp',
  kControlKindPopupButton = 'popb',
  kControlKindStaticText = 'stxt',
  kControlKindEditText = 'etxt',
  kControlKindEditUnicodeText = 'eutx',
  kControlKindScrollBar = 'sbar',
  kControlKindSlider = 'sldr',
  kControlKindPlacard = 'plac',
  kControlKindGroupBox = 'grpb',
  kControlKindCheckGroupBox = 'cgrp',
  kControlKindPopupGroupBox = 'pgrp',
  kControlKindSeparator = 'sepa',
  kControlKindUserPane = 'upan',
  kControlKindHIImageView = 'imag',
  kControlKindImageWell = 'well',
  kControlKindHISegmentedView = 'segm',
  kControlKindChasingArrows = 'carr',
  kControlKindProgressBar = 'prgb',
  kControlKindDisclosureTriangle = 'dist',
  kControlKindLittleArrows = 'larr',
  kControlKindTabs = 'tabs',
  kControlKindHIScrollView = 'scrl',
  kControlKindRoot = 'root',
  kControlKindHIView = 'hivw',
};

// ---------------------------------------------------------------------------
// Control data tags (SetControlData / GetControlData)

enum : ResType {
  kControlFontStyleTag = 'font',
  kControlSizeTag = 'size',
  kControlKeyFilterTag = 'fltr',
  kControlPopupButtonMenuHandleTag = 'mhan',
  kControlPopupButtonMenuRefTag = 'mhan',
  kControlPopupButtonMenuIDTag = 'mnid',
  kControlPopupButtonOwnedMenuRefTag = 'omrf',
  kControlBevelButtonMenuHandleTag = 'mhnd',
  kControlBevelButtonMenuRefTag = 'mhnd',
  kControlBevelButtonMenuValueTag = 'mval',
  kControlBevelButtonContentTag = 'cont',
  kControlBevelButtonKindTag = 'bebk',
  kControlImageWellContentTag = 'cont',
  kControlEditTextTextTag = 'text',
  kControlEditTextCFStringTag = 'cfst',
  kControlEditTextSelectionTag = 'sele',
  kControlEditTextPasswordTag = 'pass',
  kControlEditTextLockedTag = 'lock',
  kControlStaticTextTextTag = 'text',
  kControlStaticTextCFStringTag = 'cfst',
  kControlStaticTextIsMultilineTag = 'stim',
  kControlPushButtonDefaultTag = 'dflt',
  kControlPushButtonCancelTag = 'cncl',
  kControlProgressBarIndeterminateTag = 'inde',
  kControlProgressBarAnimatingTag = 'anim',
  kControlGroupBoxTitleRectTag = 'trec',
  kControlScrollBarShowsArrowsTag = 'arro',
  kControlDisclosureTriangleLastValueTag = 'last',
};

// Control sizes (tag 'size').
enum : ControlSize {
  kControlSizeNormal = 0,
  kControlSizeSmall = 1,
  kControlSizeLarge = 2,
  kControlSizeMini = 3,
  kControlSizeAuto = 0xFFFF,
};

// The edit-text selection record of tag 'sele' (UTF-16 offsets).
struct ControlEditTextSelectionRec {
  SInt16 selStart;
  SInt16 selEnd;
};

// Content of bevel buttons and image wells (tag 'cont').
typedef SInt16 ControlContentType;
enum : ControlContentType {
  kControlContentTextOnly = 0,
  kControlNoContent = 0,
  kControlContentIconRef = 132,
  kControlContentCGImageRef = 134,
};
struct ControlButtonContentInfo {
  ControlContentType contentType;
  union {
    void* iconRef;
    void* imageRef;
    SInt16 resID;
  } u;
};

// Font style record of tag 'font' (kept as given; the theme reads the size).
struct ControlFontStyleRec {
  SInt16 flags;
  SInt16 font;
  SInt16 size;
  SInt16 style;
  SInt16 mode;
  SInt16 just;
  RGBColor foreColor;
  RGBColor backColor;
};

// ---------------------------------------------------------------------------
// Features, z order, attributes of events

enum : HIViewFeatures {
  kHIViewFeatureSupportsEmbedding = 1ULL << 1,
  kHIViewFeatureGetsFocusOnClick = 1ULL << 8,
  kHIViewFeatureAllowsSubviews = 1ULL << 1,
  kHIViewFeatureLiveFeedback = 1ULL << 10,
  kHIViewFeatureSupportsDragAndDrop = 1ULL << 12,
  kHIViewFeatureIgnoresClicks = 1ULL << 14,
  kHIViewFeatureWantsIdle = 1ULL << 15,
  kHIViewFeatureIsOpaque = 1ULL << 24,
  kHIViewFeatureDoesNotDraw = 1ULL << 25,
  kHIViewFeatureDoesNotUseSpecialParts = 1ULL << 26,
};
enum : UInt32 {
  kControlSupportsEmbedding = 1 << 1,
  kControlSupportsFocus = 1 << 2,
  kControlGetsFocusOnClick = 1 << 8,
  kControlSupportsLiveFeedback = 1 << 10,
  kControlSupportsDragAndDrop = 1 << 12,
};

enum : HIViewZOrderOp {
  kHIViewZOrderAbove = 1,
  kHIViewZOrderBelow = 2,
};

// Attributes of kEventControlBoundsChanged ('attr').
enum : UInt32 {
  kControlBoundsChangeSizeChanged = 1 << 2,
  kControlBoundsChangePositionChanged = 1 << 3,
};

// The HIViewID of a window's content view (its root here).
constexpr HIViewID kHIViewWindowContentID = {'wind', 1};

enum : OSStatus {
  errCouldntSetFocus = -30585,
  errControlDoesntSupportFocus = -30586,
  errControlIsNotEmbedder = -30590,
  errNoRootControl = -30600,
};

enum : EventParamType { typePtr = 'ptr ', typeControlActionUPP = 'caup' };

// Parameters of view events.
enum : EventParamName {
  kEventParamControlAction = 'caup',
  kEventParamControlOptimalBounds = 'cobn',
  kEventParamControlOptimalBaselineOffset = 'cobo',
  kEventParamControlPreviousPart = 'copc',
  kEventParamControlCurrentPart = 'cnpc',
  kEventParamBounds = 'boun',
  kEventParamControlWouldAcceptDrop = 'cldg',
  kEventParamClickActivation = 'clac',
  kEventParamControlPartBounds = 'cpbd',
  kEventParamControlValue = 'cval',
  kEventParamControlFeatures = 'cftr',
};

// ---------------------------------------------------------------------------
// Layout

typedef UInt32 HIBindingKind;
typedef UInt32 HIPositionKind;
typedef UInt32 HIScaleKind;
enum : HIBindingKind {
  kHILayoutBindNone = 0,
  kHILayoutBindMin = 1,
  kHILayoutBindMax = 2,
  kHILayoutBindTop = 1,
  kHILayoutBindLeft = 1,
  kHILayoutBindBottom = 2,
  kHILayoutBindRight = 2,
};
enum : HIPositionKind {
  kHILayoutPositionNone = 0,
  kHILayoutPositionCenter = 1,
  kHILayoutPositionMin = 2,
  kHILayoutPositionMax = 3,
  kHILayoutPositionTop = 2,
  kHILayoutPositionLeft = 2,
  kHILayoutPositionBottom = 3,
  kHILayoutPositionRight = 3,
};
enum : HIScaleKind {
  kHILayoutScaleAbsolute = 0,
};
enum : UInt32 { kHILayoutInfoVersionZero = 0 };

// Each side binds to the same side of another view (nil: the superview) and
// keeps its distance from it when that view changes size.
struct HISideBinding {
  HIViewRef toView;
  HIBindingKind kind;
  CGFloat offset;
};
struct HIBinding {
  HISideBinding top;
  HISideBinding left;
  HISideBinding bottom;
  HISideBinding right;
};
// A ratio of 0 means no scaling along the axis.
struct HIAxisScale {
  HIViewRef toView;
  HIScaleKind kind;
  CGFloat ratio;
};
struct HIScaling {
  HIAxisScale x;
  HIAxisScale y;
};
struct HIAxisPosition {
  HIViewRef toView;
  HIPositionKind kind;
  CGFloat offset;
};
struct HIPositioning {
  HIAxisPosition x;
  HIAxisPosition y;
};
struct HILayoutInfo {
  UInt32 version;
  HIBinding binding;
  HIScaling scale;
  HIPositioning position;
};

// ---------------------------------------------------------------------------
// The tree

// The root of the window's tree; nil for an unknown window.
HIViewRef HIViewGetRoot(WindowRef inWindow);
OSErr GetRootControl(WindowRef inWindow, ControlRef* outControl);
// Adds the view as the last subview; a view that has a superview leaves it
// first (its window changes with it). A parent that is the child or one of
// its subviews gives paramErr.
OSStatus HIViewAddSubview(HIViewRef inParent, HIViewRef inNewChild);
OSStatus HIViewRemoveFromSuperview(HIViewRef inView);
OSErr EmbedControl(ControlRef inControl, ControlRef inContainer);
HIViewRef HIViewGetSuperview(HIViewRef inView);
OSErr GetSuperControl(ControlRef inControl, ControlRef* outParent);
HIViewRef HIViewGetFirstSubview(HIViewRef inView);
HIViewRef HIViewGetLastSubview(HIViewRef inView);
HIViewRef HIViewGetNextView(HIViewRef inView);
HIViewRef HIViewGetPreviousView(HIViewRef inView);
ItemCount HIViewCountSubviews(HIViewRef inView);
OSErr CountSubControls(ControlRef inControl, UInt16* outNumChildren);
// 1-based, in index order (first added first); errUnknownControl past the end.
OSStatus HIViewGetIndexedSubview(HIViewRef inView, CFIndex inSubviewIndex, HIViewRef* outSubview);
OSErr GetIndexedSubControl(ControlRef inControl, UInt16 inIndex, ControlRef* outSubControl);
// Moves the view just above or below another subview of its superview (nil:
// to the top or the bottom of all).
OSStatus HIViewSetZOrder(HIViewRef inView, HIViewZOrderOp inOp, HIViewRef inOther);

OSStatus HIViewSetID(HIViewRef inView, HIViewID inID);
OSStatus HIViewGetID(HIViewRef inView, HIViewID* outID);
OSStatus SetControlID(ControlRef inControl, const ControlID* inID);
OSStatus GetControlID(ControlRef inControl, ControlID* outID);
// Searches the start view and its subviews depth-first, parents first.
// errUnknownControl when none has the ID.
OSStatus HIViewFindByID(HIViewRef inStartView, HIViewID inID, HIViewRef* outView);
OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl);

WindowRef HIViewGetWindow(HIViewRef inView);
WindowRef GetControlOwner(ControlRef inControl);
EventTargetRef HIViewGetEventTarget(HIViewRef inView);
EventTargetRef GetControlEventTarget(ControlRef inControl);

// Ends the view and its subviews: each subview goes first (depth-first); the
// superview hears kEventControlRemovingSubControl before a view leaves, then
// the view hears kEventControlDispose. Handlers and tracking areas end with it.
void DisposeControl(ControlRef theControl);
// Every subview, not the view itself.
void KillControls(WindowRef theWindow);

// Features.
OSStatus HIViewChangeFeatures(HIViewRef inView, HIViewFeatures inFeaturesToSet, HIViewFeatures inFeaturesToClear);
OSStatus HIViewGetFeatures(HIViewRef inView, HIViewFeatures* outFeatures);
OSErr GetControlFeatures(ControlRef inControl, UInt32* outFeatures);

// ---------------------------------------------------------------------------
// Geometry. A frame is in the superview's coordinates; bounds have the
// view's own origin (0, 0 unless scrolled) and the frame's size.

OSStatus HIViewGetFrame(HIViewRef inView, HIRect* outRect);
// Sends kEventControlBoundsChanged (previous, current, attributes) when the
// frame changes, then applies the layout bindings of the subviews.
OSStatus HIViewSetFrame(HIViewRef inView, const HIRect* inRect);
OSStatus HIViewGetBounds(HIViewRef inView, HIRect* outRect);
// Scrolls the view's own coordinates: the bounds origin.
OSStatus HIViewSetBoundsOrigin(HIViewRef inView, CGFloat inX, CGFloat inY);
OSStatus HIViewPlaceInSuperviewAt(HIViewRef inView, CGFloat inX, CGFloat inY);
OSStatus HIViewMoveBy(HIViewRef inView, CGFloat inDX, CGFloat inDY);
OSStatus HIViewReshapeStructure(HIViewRef inView);
// QuickDraw rectangles: the frame relative to the window's root view.
Rect* GetControlBounds(ControlRef inControl, Rect* outBounds);
void SetControlBounds(ControlRef inControl, const Rect* inBounds);
void MoveControl(ControlRef theControl, SInt16 h, SInt16 v);
void SizeControl(ControlRef theControl, SInt16 w, SInt16 h);
// The size constraints the view answers to kEventControlGetSizeConstraints
// ('mnsz' / 'mxsz'); unanswered, the minimum is zero and the maximum has no
// practical limit.
OSStatus HIViewGetSizeConstraints(HIViewRef inView, HISize* outMinSize, HISize* outMaxSize);
// kEventControlGetOptimalBounds; unanswered: the frame.
OSStatus HIViewGetOptimalBounds(HIViewRef inView, HIRect* outBounds, float* outBaseLineOffset);
OSErr GetBestControlRect(ControlRef inControl, Rect* outRect, SInt16* outBaseLineOffset);

// Converts between views of one window; nil stands for the window's root view
// (window content coordinates).
OSStatus HIViewConvertPoint(HIPoint* ioPoint, HIViewRef inSourceView, HIViewRef inDestView);
OSStatus HIViewConvertRect(HIRect* ioRect, HIViewRef inSourceView, HIViewRef inDestView);

// Coordinate spaces of HIPointConvert. Screen pixels and 72-dpi global
// coordinates are the same here (one screen, scale 1); window space has its
// origin at the window's structure (frame) corner; view space is a view's own.
typedef UInt32 HICoordinateSpace;
enum : HICoordinateSpace {
  kHICoordSpace72DPIGlobal = 1,
  kHICoordSpaceScreenPixel = 2,
  kHICoordSpaceWindow = 3,
  kHICoordSpaceView = 4,
};
// Converts a point between spaces; the object names the window (window
// space) or the view (view space) and is ignored for the global spaces. A
// view outside every window, or a space without its object, leaves the point
// as it is.
void HIPointConvert(HIPoint* ioPoint, HICoordinateSpace inSourceSpace, void* inSourceObject,
                    HICoordinateSpace inDestinationSpace, void* inDestinationObject);

// Layout bindings, applied to a view when its superview's size changes.
OSStatus HIViewGetLayoutInfo(HIViewRef inView, HILayoutInfo* outLayoutInfo);
OSStatus HIViewSetLayoutInfo(HIViewRef inView, const HILayoutInfo* inLayoutInfo);
OSStatus HIViewApplyLayout(HIViewRef inView);
OSStatus HIViewSuspendLayout(HIViewRef inView);
OSStatus HIViewResumeLayout(HIViewRef inView);

// ---------------------------------------------------------------------------
// State

// A view is visible when it and every superview are; setting sends
// kEventControlVisibilityChanged to the view and to each subview whose
// effective visibility changed with it.
OSStatus HIViewSetVisible(HIViewRef inView, Boolean inVisible);
Boolean HIViewIsVisible(HIViewRef inView);
Boolean HIViewIsLatentlyVisible(HIViewRef inView);
Boolean IsControlVisible(ControlRef inControl);
void ShowControl(ControlRef theControl);
void HideControl(ControlRef theControl);
OSErr SetControlVisibility(ControlRef inControl, Boolean inIsVisible, Boolean inDoDraw);

// Enabled and active state are inherited: a view is enabled (active) when it
// and every superview are.
OSStatus HIViewSetEnabled(HIViewRef inView, Boolean inSetEnabled);
Boolean HIViewIsEnabled(HIViewRef inView, Boolean* outIsLatentEnabled);
Boolean IsControlEnabled(ControlRef inControl);
OSErr EnableControl(ControlRef inControl);
OSErr DisableControl(ControlRef inControl);
OSStatus HIViewSetActivated(HIViewRef inView, Boolean inSetActivated);
Boolean HIViewIsActive(HIViewRef inView, Boolean* outIsLatentActive);
Boolean IsControlActive(ControlRef inControl);
OSErr ActivateControl(ControlRef inControl);
OSErr DeactivateControl(ControlRef inControl);

// The highlighted part; kControlInactivePart when inactive,
// kControlDisabledPart when disabled.
void HiliteControl(ControlRef theControl, ControlPartCode hiliteState);
ControlPartCode GetControlHilite(ControlRef theControl);
HIViewPartCode HIViewGetHilite(HIViewRef inView);
OSStatus HIViewSetHilite(HIViewRef inView, HIViewPartCode inHilitePart);

Boolean HIViewIsDrawingEnabled(HIViewRef inView);
OSStatus HIViewSetDrawingEnabled(HIViewRef inView, Boolean inEnabled);

// ---------------------------------------------------------------------------
// Values, text, command, kind, reference constant

// Setting a value clamps it to [minimum, maximum]; setting a limit clamps the
// value. A change sends kEventControlValueFieldChanged.
SInt32 GetControl32BitValue(ControlRef theControl);
void SetControl32BitValue(ControlRef theControl, SInt32 newValue);
SInt32 GetControl32BitMinimum(ControlRef theControl);
void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum);
SInt32 GetControl32BitMaximum(ControlRef theControl);
void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum);
SInt32 GetControlViewSize(ControlRef theControl);
void SetControlViewSize(ControlRef theControl, SInt32 newViewSize);
SInt16 GetControlValue(ControlRef theControl);
void SetControlValue(ControlRef theControl, SInt16 newValue);
SInt16 GetControlMinimum(ControlRef theControl);
void SetControlMinimum(ControlRef theControl, SInt16 newMinimum);
SInt16 GetControlMaximum(ControlRef theControl);
void SetControlMaximum(ControlRef theControl, SInt16 newMaximum);
SInt32 HIViewGetValue(HIViewRef inView);
OSStatus HIViewSetValue(HIViewRef inView, SInt32 inValue);
SInt32 HIViewGetMinimum(HIViewRef inView);
OSStatus HIViewSetMinimum(HIViewRef inView, SInt32 inMinimum);
SInt32 HIViewGetMaximum(HIViewRef inView);
OSStatus HIViewSetMaximum(HIViewRef inView, SInt32 inMaximum);
SInt32 HIViewGetViewSize(HIViewRef inView);
OSStatus HIViewSetViewSize(HIViewRef inView, SInt32 inViewSize);

// The text: a title, or the text of a text control. Setting sends
// kEventControlTitleChanged. CopyText never gives nil for a live view.
OSStatus HIViewSetText(HIViewRef inView, CFStringRef inText);
CFStringRef HIViewCopyText(HIViewRef inView);
OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString);
OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString);

OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID);
OSStatus GetControlCommandID(ControlRef inControl, UInt32* outCommandID);
OSStatus HIViewSetCommandID(HIViewRef inView, UInt32 inCommandID);
OSStatus HIViewGetCommandID(HIViewRef inView, UInt32* outCommandID);

OSStatus GetControlKind(ControlRef inControl, ControlKind* outControlKind);
HIViewRef HIViewGetKind(HIViewRef inView, ControlKind* outKind);  // answers the view

void SetControlReference(ControlRef theControl, SRefCon data);
SRefCon GetControlReference(ControlRef theControl);

// Called while the system tracks the mouse, with the part under it.
typedef void (*ControlActionProcPtr)(ControlRef theControl, ControlPartCode partCode);
typedef ControlActionProcPtr ControlActionUPP;
inline ControlActionUPP NewControlActionUPP(ControlActionProcPtr proc) { return proc; }
inline void DisposeControlActionUPP(ControlActionUPP) {}
void SetControlAction(ControlRef theControl, ControlActionUPP actionProc);
ControlActionUPP GetControlAction(ControlRef theControl);

// ---------------------------------------------------------------------------
// Properties by (creator, tag): raw bytes. A missing one gives
// errControlPropertyNotFoundErr; a buffer smaller than the value paramErr.

OSStatus SetControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount propertySize,
                            const void* propertyData);
OSStatus GetControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount bufferSize,
                            ByteCount* actualSize, void* propertyBuffer);
OSStatus GetControlPropertySize(ControlRef control, OSType propertyCreator, OSType propertyTag, ByteCount* size);
OSStatus RemoveControlProperty(ControlRef control, OSType propertyCreator, OSType propertyTag);
OSStatus GetControlPropertyAttributes(ControlRef control, OSType propertyCreator, OSType propertyTag,
                                      OptionBits* attributes);
OSStatus ChangeControlPropertyAttributes(ControlRef control, OSType propertyCreator, OSType propertyTag,
                                         OptionBits attributesToSet, OptionBits attributesToClear);

// Control data by part and tag, answered by the control's handlers
// (kEventControlSetData / GetData). A tag the control does not know gives
// errDataNotSupported. GetControlData copies only when the buffer holds the
// whole value (otherwise paramErr); a nil buffer only measures.
OSErr SetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inSize, const void* inData);
OSErr GetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inBufferSize, void* inBuffer,
                     Size* outActualSize);
OSErr GetControlDataSize(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size* outMaxSize);

// ---------------------------------------------------------------------------
// Keyboard focus (one per window)

// The part kControlFocusNextPart / PrevPart lets the control choose;
// kControlFocusNoPart clears the focus. The old focus hears
// kEventControlSetFocusPart with kControlFocusNoPart first.
OSErr SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart);
OSErr GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl);
OSErr ClearKeyboardFocus(WindowRef inWindow);
// Moves the focus to the next (or, with the shift modifier, the previous)
// view that takes it, within the tree of the given root, wrapping around.
OSStatus HIViewAdvanceFocus(HIViewRef inRootForFocus, EventModifiers inModifiers);
OSErr AdvanceKeyboardFocus(WindowRef inWindow);
OSErr ReverseKeyboardFocus(WindowRef inWindow);
Boolean HIViewSubtreeContainsFocus(HIViewRef inSubtreeStart);
OSStatus HIViewGetFocusPart(HIViewRef inView, HIViewPartCode* outFocusPart);

// ---------------------------------------------------------------------------
// Hit testing, clicks, tracking

// The part of the view under the point (view coordinates), from the view's
// kEventControlHitTest ('mloc' in, 'cprt' out).
ControlPartCode TestControl(ControlRef theControl, Point testPoint);  // window-root coordinates
OSStatus HIViewGetPartHit(HIViewRef inView, const HIPoint* inPoint, HIViewPartCode* outPart);
// The subview (of the view, deepest when asked) whose bounds hold the point
// (view coordinates): visible views that do not ignore clicks, the topmost
// (last) first.
OSStatus HIViewGetSubviewHit(HIViewRef inView, const HIPoint* inPoint, Boolean inDeep, HIViewRef* outView);
// The deepest view under the mouse event's 'wmou' (window content
// coordinates) in the tree of the view.
OSStatus HIViewGetViewForMouseEvent(HIViewRef inView, EventRef inEvent, HIViewRef* outView);
ControlRef FindControlUnderMouse(Point inWhere, WindowRef inWindow, ControlPartCode* outPart);

// A click on the view, in this order: kEventControlClick, which the
// standard handler answers by tracking (kEventControlTrack; the system
// tracks when that is not handled), then kEventControlHit with the part, and
// the control's command (kHICommandFromControl) sent from the control.
// inEvent is a mouse-down with 'wmou' and optionally 'kmod' / 'ccnt'.
OSStatus HIViewClick(HIViewRef inView, EventRef inEvent);
// Starts at the point (window-root coordinates); answers the part released in.
ControlPartCode HandleControlClick(ControlRef inControl, Point inWhere, EventModifiers inModifiers,
                                  ControlActionUPP inAction);
ControlPartCode TrackControl(ControlRef theControl, Point startPoint, ControlActionUPP actionProc);
// Sends kEventControlSimulateHit, kEventControlHit and the command as a click
// on the part would, without tracking.
OSStatus HIViewSimulateClick(HIViewRef inView, HIViewPartCode inPartToClick, UInt32 inModifiers,
                             ControlPartCode* outPartClicked);

// Tracking areas: the view hears kEventControlTrackingAreaEntered / Exited
// ('----' the view, 'ctra' the area, 'wmou', 'kmod') as the pointer moves
// in and out of it. A nil shape covers the whole view.
OSStatus HIViewNewTrackingArea(HIViewRef inView, HIShapeRef inShape, HIViewTrackingAreaID inID,
                               HIViewTrackingAreaRef* outRef);
OSStatus HIViewChangeTrackingArea(HIViewTrackingAreaRef inArea, HIShapeRef inShape);
OSStatus HIViewGetTrackingAreaID(HIViewTrackingAreaRef inArea, HIViewTrackingAreaID* outID);
OSStatus HIViewDisposeTrackingArea(HIViewTrackingAreaRef inArea);
enum : EventParamName { kEventParamHIViewTrackingArea = 'ctra' };
enum : EventParamType { typeHIViewTrackingAreaRef = 'ctra' };

// ---------------------------------------------------------------------------
// Invalidation and drawing

OSStatus HIViewSetNeedsDisplay(HIViewRef inView, Boolean inNeedsDisplay);
OSStatus HIViewSetNeedsDisplayInRect(HIViewRef inView, const HIRect* inRect, Boolean inNeedsDisplay);
// Regions are not offered; a nil region marks the whole view.
OSStatus HIViewSetNeedsDisplayInRegion(HIViewRef inView, RgnHandle inRgn, Boolean inNeedsDisplay);
Boolean HIViewGetNeedsDisplay(HIViewRef inView);
// Draws the view and its subviews now when the window has a drawing surface.
OSStatus HIViewRender(HIViewRef inView);
void Draw1Control(ControlRef theControl);
void DrawOneControl(ControlRef theControl);
// Draws the view tree into a context whose origin is the view's top left
// (y down); the view's own draw event gets the context translated to its
// bounds origin and clipped to it; subviews follow their parent in index
// order; invisible views and their subviews are skipped.
OSStatus HIViewDrawInContext(HIViewRef inView, CGContextRef inContext);
// A picture of the view and its subviews (the caller releases it) and the
// view's frame. paramErr for a view without width or height.
OSStatus HIViewCreateOffscreenImage(HIViewRef inView, OptionBits inOptions, HIRect* outFrame, CGImageRef* outImage);

// Whether the view hears the control drag events ('cntl' 18-21) when its
// window tracks drags for its controls.
OSStatus SetControlDragTrackingEnabled(ControlRef inControl, Boolean inTracks);
OSStatus IsControlDragTrackingEnabled(ControlRef inControl, Boolean* outTracks);

// ---------------------------------------------------------------------------
// Creation of plain views and the standard controls. Each control is made
// into the window's root view when a window is given.

// An empty view of the base class, with the frame.
OSStatus HIViewCreate(const HIRect* inFrame, HIViewRef* outView);

typedef UInt16 ControlPushButtonIconAlignment;
typedef UInt16 ControlBevelThickness;
typedef UInt16 ControlBevelButtonBehavior;
typedef UInt16 ControlBevelButtonMenuBehavior;
typedef UInt16 ControlPopupArrowDirection;
typedef UInt16 ControlPopupArrowSize;
enum : ControlBevelThickness {
  kControlBevelButtonSmallBevel = 0,
  kControlBevelButtonNormalBevel = 1,
  kControlBevelButtonLargeBevel = 2,
};
enum : ControlBevelButtonBehavior {
  kControlBehaviorPushbutton = 0,
  kControlBehaviorToggles = 0x0100,
  kControlBehaviorSticky = 0x0200,
  kControlBehaviorSingleValueMenu = 0,
  kControlBehaviorMultiValueMenu = 0x4000,
  kControlBehaviorOffsetContents = 0x8000,
  kControlBehaviorCommandMenu = 0x2000,
};
enum : SInt32 {
  kControlCheckBoxUncheckedValue = 0,
  kControlCheckBoxCheckedValue = 1,
  kControlCheckBoxMixedValue = 2,
  kControlRadioButtonUncheckedValue = 0,
  kControlRadioButtonCheckedValue = 1,
  kControlRadioButtonMixedValue = 2,
};
enum : UInt16 {
  kControlSeparatorLineProc = 144,
};

OSStatus CreatePushButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, ControlRef* outControl);
OSStatus CreateBevelButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title,
                                  ControlBevelThickness thickness, ControlBevelButtonBehavior behavior,
                                  const ControlButtonContentInfo* info, SInt16 menuID,
                                  ControlBevelButtonMenuBehavior menuBehavior, UInt16 menuPlacement,
                                  ControlRef* outControl);
OSStatus CreateCheckBoxControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt32 initialValue,
                               Boolean autoToggle, ControlRef* outControl);
OSStatus CreateRadioButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title,
                                  SInt32 initialValue, Boolean autoToggle, ControlRef* outControl);
// A radio group's value is the index (1-based) of its selected radio button
// subview, 0 when none.
OSStatus CreateRadioGroupControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl);
// The menu comes from the menu ID when a menu of that ID is known to the
// control data later ('mhan'); -12345 or any ID without a menu leaves none.
OSStatus CreatePopupButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt16 menuID,
                                  Boolean variableWidth, SInt16 titleWidth, SInt16 titleJustification,
                                  Style titleStyle, ControlRef* outControl);
OSStatus CreateStaticTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text,
                                 const ControlFontStyleRec* style, ControlRef* outControl);
OSStatus CreateEditUnicodeTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text,
                                      Boolean isPassword, const ControlFontStyleRec* style, ControlRef* outControl);
OSStatus CreateEditTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text, Boolean isPassword,
                               Boolean useInlineInput, const ControlFontStyleRec* style, ControlRef* outControl);
OSStatus CreateScrollBarControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                SInt32 maximum, SInt32 viewSize, Boolean liveTracking,
                                ControlActionUPP liveTrackingProc, ControlRef* outControl);
OSStatus CreateSliderControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                             SInt32 maximum, UInt16 orientation, UInt16 numTickMarks, Boolean liveTracking,
                             ControlActionUPP liveTrackingProc, ControlRef* outControl);
OSStatus CreatePlacardControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl);
OSStatus CreateGroupBoxControl(WindowRef window, const Rect* boundsRect, CFStringRef title, Boolean primary,
                               ControlRef* outControl);
OSStatus CreateSeparatorControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl);
OSStatus CreateUserPaneControl(WindowRef window, const Rect* boundsRect, UInt32 features, ControlRef* outControl);
OSStatus CreateChasingArrowsControl(WindowRef window, const Rect* boundsRect, ControlRef* outControl);
OSStatus CreateProgressBarControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                  SInt32 maximum, Boolean indeterminate, ControlRef* outControl);
OSStatus CreateDisclosureTriangleControl(WindowRef window, const Rect* boundsRect, UInt16 orientation,
                                         CFStringRef title, SInt32 initialValue, Boolean drawTitle,
                                         Boolean autoToggles, ControlRef* outControl);
OSStatus CreateLittleArrowsControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                                   SInt32 maximum, SInt32 increment, ControlRef* outControl);
// Image wells: a framed, sunken box showing an icon (content type
// kControlContentIconRef) or a picture (kControlContentCGImageRef) centred
// in it, or nothing (kControlNoContent); an inactive or disabled well shows
// it faded. The well holds its own reference to the content (AcquireIconRef,
// CFRetain) and gives it up when the content changes or the well goes, so
// the caller releases its own. Setting the content through SetControlData
// with kControlImageWellContentTag is the same; reading it gives the record
// without a new reference. info may be nil (no content).
OSStatus CreateImageWellControl(WindowRef window, const Rect* boundsRect, const ControlButtonContentInfo* info,
                                ControlRef* outControl);
OSErr SetImageWellContentInfo(ControlRef inControl, const ControlButtonContentInfo* inContent);
OSErr GetImageWellContentInfo(ControlRef inControl, ControlButtonContentInfo* outContent);

// The image (a CGImageRef, retained) may be nil.
OSStatus HIImageViewCreate(void* inImage, ControlRef* outControl);
OSStatus HIImageViewSetImage(HIViewRef inView, void* inImage);
void* HIImageViewCopyImage(HIViewRef inView);

// Segmented views: segments are 1-based.
typedef UInt32 HISegmentBehavior;
enum : HISegmentBehavior {
  kHISegmentBehaviorMomentary = 1,
  kHISegmentBehaviorRadio = 2,
  kHISegmentBehaviorToggles = 3,
  kHISegmentBehaviorSticky = 4,
};
OSStatus HISegmentedViewCreate(const HIRect* inBounds, HIViewRef* outRef);
OSStatus HISegmentedViewSetSegmentCount(HIViewRef inSegmentedView, UInt32 inSegmentCount);
UInt32 HISegmentedViewGetSegmentCount(HIViewRef inSegmentedView);
OSStatus HISegmentedViewSetSegmentBehavior(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                           HISegmentBehavior inBehavior);
HISegmentBehavior HISegmentedViewGetSegmentBehavior(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased);
OSStatus HISegmentedViewSetSegmentCommand(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                          UInt32 inCommand);
UInt32 HISegmentedViewGetSegmentCommand(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased);
OSStatus HISegmentedViewSetSegmentEnabled(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                          Boolean inEnabled);
Boolean HISegmentedViewIsSegmentEnabled(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased);
OSStatus HISegmentedViewSetSegmentLabel(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                        CFStringRef inLabel);
OSStatus HISegmentedViewCopySegmentLabel(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                         CFStringRef* outLabel);
OSStatus HISegmentedViewSetSegmentValue(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased, SInt32 inValue);
SInt32 HISegmentedViewGetSegmentValue(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased);
OSStatus HISegmentedViewSetSegmentContentWidth(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                               Boolean inAutoCalculateWidth, float inWidth);
float HISegmentedViewGetSegmentContentWidth(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                            Boolean* outAutoCalculated);
// The content record keeps the image or icon reference as given (not retained).
OSStatus HISegmentedViewSetSegmentImage(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                        const ControlButtonContentInfo* inImage);
OSStatus HISegmentedViewCopySegmentImage(HIViewRef inSegmentedView, UInt32 inSegmentIndexOneBased,
                                         ControlButtonContentInfo* ioImage);

// ---------------------------------------------------------------------------
// Combo boxes: an edit text with a button at its right end that pops up a
// list of texts; choosing one makes it the field's text. The field takes the
// edit-text tags, the focus and typing; Return sends kEventTextAccepted.

enum : OSType { kControlKindHIComboBox = 'cbbx' };
enum : OptionBits {
  kHIComboBoxNoAttributes = 0,
  // Typing at the end of the text completes it with the first list item
  // that starts with what was typed (ignoring case); the added part is
  // selected, so the next key replaces it.
  kHIComboBoxAutoCompletionAttribute = 1 << 0,
  // Items are kept in the order of their texts (ignoring case).
  kHIComboBoxAutoSortAttribute = 1 << 2,
};
// Control data: kHIComboBoxListTag is a CFArrayRef of CFStrings. Setting it
// replaces the list with copies of the array's strings (other values are
// left out); getting it gives a new array the caller releases.
enum : ResType { kHIComboBoxListTag = 'cbls' };
enum : ControlPartCode {
  kHIComboBoxEditTextPart = 5,
  kHIComboBoxDisclosurePart = 28,
};

// A combo box with the frame (nil: empty), text, list (copied; may be nil)
// and attributes. The style is accepted for the font of the text.
OSStatus HIComboBoxCreate(const HIRect* boundsRect, CFStringRef text, const ControlFontStyleRec* style,
                          CFArrayRef list, OptionBits inAttributes, HIViewRef* outComboBox);
// 0 for a view that is no combo box.
ItemCount HIComboBoxGetItemCount(HIViewRef inComboBox);
// Index from 0; an index past the end appends. With auto-sort the item goes
// to its sorted place instead.
OSStatus HIComboBoxInsertTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex, CFStringRef inText);
// outIndex (may be nil) gets the item's index.
OSStatus HIComboBoxAppendTextItem(HIViewRef inComboBox, CFStringRef inText, CFIndex* outIndex);
// The caller releases the copy; paramErr for an index out of range.
OSStatus HIComboBoxCopyTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex, CFStringRef* outString);
OSStatus HIComboBoxRemoveItemAtIndex(HIViewRef inComboBox, CFIndex inIndex);
OSStatus HIComboBoxChangeAttributes(HIViewRef inComboBox, OptionBits inAttributesToSet,
                                    OptionBits inAttributesToClear);
OSStatus HIComboBoxGetAttributes(HIViewRef inComboBox, OptionBits* outAttributes);

// ---------------------------------------------------------------------------
// Search fields: an edit text with a magnifier at its left end and, with the
// cancel attribute, a button at its right end that clears the text. The field
// takes the edit-text tags, the focus and typing; Return sends
// kEventTextAccepted ('txfd', 1) as an edit text does.

enum : OSType { kControlKindHISearchField = 'srch' };
enum : OptionBits {
  kHISearchFieldNoAttributes = 0,
  kHISearchFieldAttributesCancel = 1 << 0,      // the clear button shows while there is text
  kHISearchFieldAttributesSearchIcon = 1 << 1,  // the magnifier is a button
};
// Parts: the text is kControlEditTextPart.
enum : ControlPartCode {
  kHISearchFieldCancelPart = 30,
  kHISearchFieldSearchPart = 31,
};
// Sent to the field (and on up to its window) after a click on the cancel
// button, which has already cleared the text, and after a click on the
// magnifier button of a field without a menu (with one, the menu pops up and
// its chosen item's command is sent from the field).
enum : EventClass { kEventClassSearchField = 'srfd' };
enum : EventKind {
  kEventSearchFieldCancelClicked = 1,
  kEventSearchFieldSearchClicked = 2,
};

// A field with the frame (nil: empty), attributes, search menu (retained, may
// be nil) and descriptive text, shown in grey while the field is empty and
// not focused (may be nil).
OSStatus HISearchFieldCreate(const HIRect* inBounds, OptionBits inAttributes, MenuRef inSearchMenu,
                             CFStringRef inDescriptiveText, HIViewRef* outRef);
// errDataNotSupported for a view that is no search field.
OSStatus HISearchFieldSetSearchMenu(HIViewRef inSearchField, MenuRef inSearchMenu);
OSStatus HISearchFieldGetSearchMenu(HIViewRef inSearchField, MenuRef* outSearchMenu);
OSStatus HISearchFieldChangeAttributes(HIViewRef inSearchField, OptionBits inAttributesToSet,
                                       OptionBits inAttributesToClear);
OSStatus HISearchFieldGetAttributes(HIViewRef inSearchField, OptionBits* outAttributes);
OSStatus HISearchFieldSetDescriptiveText(HIViewRef inSearchField, CFStringRef inDescription);
// The caller releases the copy; an empty string when none was set.
OSStatus HISearchFieldCopyDescriptiveText(HIViewRef inSearchField, CFStringRef* outDescription);
