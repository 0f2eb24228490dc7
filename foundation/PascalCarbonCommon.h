// PascalCarbonCommon: the helper unit every deliverable carries. This layer
// holds the status convention (Err), conversions between short strings,
// CFStrings, UTF-16 buffers, numbers and four-character codes, memory-block
// helpers, HICommand events, the two standard alerts, colour and geometry
// makers, URL opening and random numbers.
#pragma once

#include "CFBase.h"
#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "MacTypes.h"
#include "ShortString.h"

// The status of the latest toolbox call made by a helper that sets it (also
// on success); never cleared by the helpers. One per deliverable and per
// thread, so a worker task never races the main thread for it.
extern thread_local OSStatus Err;

// ---------------------------------------------------------------------------
// Status, diagnostics and alerts

// The text on standard error.
void WriteLog(const Str255& text);
// The minor number of the running system version (5 here); sets Err.
SInt32 MacOSVersion();
// Modal stop alert "Alert" with the message as explanation and an OK button;
// sets Err to the alert's status.
void UserNotificationDialog(const Str255& message);
// Modal caution alert with the message as its main text; leaves Err alone.
void ShowError(const Str255& message);

// ---------------------------------------------------------------------------
// Strings, numbers and codes

// The interned constant string of the text (Mac Roman bytes, up to the first
// NUL). The same text always gives the same object; never release it.
// CFSTR("text") works through Str255's conversion from a C string.
CFStringRef CFSTR(const Str255& text);
// The string as a short string in Mac Roman. Nil, or a string of fewer than
// 255 characters holding a character that Mac Roman cannot hold, gives the
// empty string. Longer strings give their first characters up to 254, up to
// the first character Mac Roman cannot hold.
Str255 CFStringToPascal(CFStringRef string);
Str255 PCFSTR(CFStringRef string);
// Characters range.location .. range.length of the string (1-based, the second
// field is an end position, not a length), provided the whole string converts
// and is no longer than range.length characters; otherwise the empty string.
Str255 CFStringToPascalRange(CFStringRef string, CFRange range);
// The characters of a UTF-16 memory block (its size / 2 of them) as a short
// string; empty when the block is not a valid one or cannot be read as text.
Str255 UnicodeStringToPascal(const UniChar* block);
Str255 UStrP(const UniChar* block);
// The string's UTF-16 characters: the string's own buffer when it has one
// (valid while the string lives), otherwise a new block of length * 2 bytes.
// Release the result with ReleasePtr in both cases: it frees only a block.
// Nil for a nil string.
UniChar* CreateUnicodeString(CFStringRef string);
UniChar* UStr(CFStringRef string);
// A new block with the UTF-16 characters of the text read in the encoding;
// nil when the text cannot be read in it.
UniChar* CreateUnicodeStringP(const Str255& text, TextEncoding encoding);
SInt32 StrN(const Str255& text);
Str255 NStr(SInt32 number);
// The longest decimal prefix of the text ("3.5kg" gives 3.5); 0.0 for the
// empty text or when there is no number.
float StringToFloat(const Str31& text);
// A byte count as "1023b", "1k", "1024k", "1M": the megabyte step begins
// above 1024 kilobytes.
Str255 GetMemoryString(SInt32 count);
// (c1 << 24) + (c2 << 16) + (c3 << 8) + c4; missing characters count as 0.
UInt32 FCCToInteger(const Str4& code);
// The four bytes of the code, most significant first (zero bytes included).
Str4 FCCToString(UInt32 code);

// ---------------------------------------------------------------------------
// Memory blocks (Memory Manager pointers). Blocks handed out here belong to
// the caller, who frees them with ReleasePtr.

// True when the pointer is the start of a live block.
Boolean IsPointerAllocated(const void* p);
// True when the reference is non-nil.
Boolean IsObjectValid(const void* p);
// A new block of size bytes copied from the source; nil for a nil source or
// a negative size.
Ptr NewPtrCopy(const void* source, Size size);
// A new block of count bytes copied from source + offset (offset 0 = first
// byte); nil for a nil source, a negative offset or a negative count.
Ptr NewPtrCopyRange(const void* source, Size offset, Size count);
// A new block of the same size holding a copy of the whole block; nil when
// the argument is not a valid block.
Ptr CopyPointer(const void* block);
Ptr CloneObject(const void* block);
// Makes the variable hold a block of its own: a pointer that is not a valid
// block is replaced by a new block holding size bytes copied from it. A valid
// block, and nil, stay as they are.
void SwapPointer(void*& p, Size size);
template <typename T>
void SwapPointer(T*& p, Size size) {
  void* v = const_cast<void*>(static_cast<const void*>(p));
  SwapPointer(v, size);
  p = static_cast<T*>(v);
}
// Copies count bytes from the source into the destination at the offset;
// offsets 0 and 1 both write at the first byte, larger ones at dest + offset.
// When the destination is a valid block the count is cut to what fits in it.
void WriteByteRange(void* dest, const void* source, Size offset, Size count);
// Copies count bytes of the source block from the offset into the destination;
// offsets 0 and 1 both read from the first byte. The count is cut so that the
// copy never reads past the end of the source block; a source that is not a
// valid block copies nothing.
void CopyByteRange(const void* source, Size offset, Size count, void* dest);
// Disposes a valid block and sets the variable to nil; anything else (nil, an
// interior pointer, a CFString's own buffer) is left unchanged.
void ReleasePtr(void*& p);
template <typename T>
void ReleasePtr(T*& p) {
  void* v = const_cast<void*>(static_cast<const void*>(p));
  ReleasePtr(v);
  p = static_cast<T*>(v);
}
// The same for handles.
void ReleaseHandle(Handle& h);

// ---------------------------------------------------------------------------
// Command events

// Sends a process-command event ('cmds', 1) carrying the command with no menu
// synchronously to the target; Err holds the send's status.
void SendHICommand(EventTargetRef target, UInt32 commandID);
// Reads the parameter (name, type, size bytes) from the event; when the event
// lacks it and its HICommand names a menu item, reads that item's property
// with creator = name and tag = type instead. The buffer receives the bytes
// only when a read succeeded. Returns the status of the last read.
OSStatus GetCommandParameter(EventRef event, EventParamName name, EventParamType type, SInt32 size,
                             void* buffer);

// ---------------------------------------------------------------------------
// Colours, geometry, URLs and random numbers

struct CGRGB {
  float red;
  float green;
  float blue;
  float alpha;
};

CGRGB MakeCGRGB(float red, float green, float blue, float alpha);
// A QuickDraw colour of the low 16 bits of each value.
RGBColor SetRGBColor(SInt32 red, SInt32 green, SInt32 blue);
void CGConvertRGBColorToCGRGB(const RGBColor& color, float alpha, CGRGB& result);

CGPoint CGPointMake(CGFloat x, CGFloat y);
CGSize CGSizeMake(CGFloat width, CGFloat height);
CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height);
CGPoint QDPointToHI(Point point);
CGRect QDRectToHI(const Rect& rect);
// Truncates toward zero: top = trunc(y), left = trunc(x), bottom = top +
// trunc(height), right = left + trunc(width). Values beyond the 16-bit range
// are clamped to it; a NaN counts as 0.
Rect HIRectToQD(const CGRect& rect);
Point HIPointToQD(const CGPoint& point);

// Opens the URL with its default application; nothing when the text is no
// URL; otherwise Err holds the status of the open.
void LSOpenURL(const Str255& url);

// low + |second draw mod (high - low + 1)| of the QuickDraw generator, in
// low..high; low when high < low.
SInt32 GetRandomNumber(SInt32 low, SInt32 high);
