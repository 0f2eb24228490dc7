// Internal to the controls library: the helpers every view class shares.
#pragma once

#include "CFString.h"
#include "CGContext.h"
#include "CGImage.h"
#include "HIObject.h"
#include "PascalCarbonCommon.h"
#include "plinthora/Plinthora.h"

namespace plinthora {

// The record a view of the class carries under (creator, 'DATA'); nil for a
// view of another class. Err holds the property look-up's status.
template <class T>
T* RecordOfView(ControlRef view, OSType creator, CFStringRef classID) {
  if (view == nullptr) return nullptr;
  T* record = nullptr;
  Err = GetControlProperty(view, creator, 'DATA', sizeof record, nullptr, &record);
  if (Err != noErr) return nullptr;
  // The split view and the toolbar share a creator: the class tells them apart.
  if (!HIObjectIsOfClass(reinterpret_cast<HIObjectRef>(view), classID)) return nullptr;
  return record;
}

inline void AttachRecord(ControlRef view, OSType creator, void* record) {
  Err = SetControlProperty(view, creator, 'DATA', sizeof record, &record);
}

// Subclasses the base view class under the ID with the class's events.
OSStatus RegisterViewClass(CFStringRef classID, EventHandlerUPP handler, ItemCount count, const EventTypeSpec* events);

// The rectangle holds the point: its minimum edges in, its maximum edges out.
inline bool RectContains(const CGRect& r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width && p.y < r.origin.y + r.size.height;
}

inline bool HasElement(UInt32 set, UInt32 element) { return ((set >> element) & 1) != 0; }

// Image sizes; a missing image has none.
inline CGFloat ImageWidth(CGImageRef image) { return CGFloat(CGImageGetWidth(image)); }
inline CGFloat ImageHeight(CGImageRef image) { return CGFloat(CGImageGetHeight(image)); }
// Draws the image upright at its own size with its top left at the point
// of a view's (y-down) context; nothing for a missing image.
void DrawImageAt(CGContextRef context, CGImageRef image, CGFloat x, CGFloat y);
// Draws it upright into the rectangle, scaled.
void DrawImageIn(CGContextRef context, CGImageRef image, CGRect rect);
// The image file of a folder under the bundle's resources; nil when missing.
CGImageRef LoadImage(const Str255& name, const Str255& folder);

// A new string of the short string's Mac Roman text; the caller releases it.
CFStringRef CopyString(const Str255& text);
// The CFString parameter of an event as a short string cut at N; false when
// the event has none.
bool GetStringParameter(EventRef event, EventParamName name, Str255& out);

// The CGContext and bounds of a draw event.
CGContextRef DrawContext(EventRef event);

}  // namespace plinthora
