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
extern thread_local constinit OSStatus Err;

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

// ===========================================================================
// File-system helpers. Everything the program does with files and folders
// goes through FSRef values and these helpers. An all-zero FSRef stands for
// no file.
//
// Paths are POSIX paths in short strings (Mac Roman). A path or name that
// cannot be held whole by its short string (too long, or holding a character
// that Mac Roman lacks) is never cut: the helper fails instead (empty string,
// false, all-zero FSRef or an error status), because a cut path names a
// different item.

#include "Files.h"

// The FSRefs of a folder's items, one after another in a handle.
typedef FSRef** FSRefHandle;

// Called for each item of a folder walk; setting stop ends the walk of the
// folder that holds the item (and skips descending into it).
typedef void (*FSIterateContainerCallback)(const FSRef& item, Boolean isFolder, Boolean& stop, void* userData);

// ---------------------------------------------------------------------------
// References, paths and URLs

// The item at the POSIX path; false (and an all-zero FSRef) when no such item
// exists or the path makes no URL.
Boolean FSGetPathRef(const Str255& path, FSRef& ref);
// The same as a function: an all-zero FSRef when the item does not exist.
FSRef FSGetPathRef2(const Str255& path);
// The item a file URL names; false when the text is no URL or no such item exists.
Boolean FSGetURLRef(const Str255& url, FSRef& ref);
// The text of the item's file URL; empty on failure, and empty when it is
// longer than a short string holds (never cut).
Str255 FSGetURL(const FSRef& ref);
// The item's whole file URL (Create rule), of any length; nil on failure.
// Where a URL is made for loading or handing on, this is the form to use.
CFStringRef FSCopyURLString(const FSRef& ref);
// The item's file URL as UTF-8 bytes with white space escaped, in a new
// block exactly as long as the bytes (no NUL); nil on failure. The caller
// frees it with ReleasePtr.
Ptr FSCreateFURL(const FSRef& ref);
// The item's POSIX path; empty on failure.
Str255 FSGetFullPath(const FSRef& ref);
// The POSIX path of the folder that holds the item; empty on failure.
Str255 FSGetParentPath(const FSRef& ref);
// The path split at '/': the first component keeps a leading '/' (/Users for
// /Users/me/file), a trailing '/' adds nothing, two slashes in a row give an
// empty component. A new array of CFStrings owned by the caller; nil when
// fewer than 2 components result.
CFArrayRef FSExplodePath(const Str255& path);
// A search path not beginning with '.' gives path/name. One beginning with
// '.' loses that character (rest) and gives base + rest + "/" + name, or
// rest/name when the base is empty or begins with '#'. Empty when the result
// would not fit in 255 characters.
Str255 FSMergeFilePath(const Str63& name, const Str255& path, const Str255& base);
// Looks for the name along a paths dictionary (key: base path; value: array
// of search paths), key by key in the dictionary's order and path by path in
// array order (FSMergeFilePath); the first candidate that exists wins. Keys
// and values of the wrong type are skipped. False for an empty name.
Boolean FSResolveFile(const Str63& name, FSRef& ref, CFDictionaryRef paths);
// True unless the FSRef is all zeros; Err holds the comparison's status.
Boolean FSValidFSRef(const FSRef& ref);
// True when the item's catalog entry can be read; sets Err.
Boolean FSRefExists(const FSRef& ref);
// True for a folder (never for a symbolic link); sets Err.
Boolean FSIsFolder(const FSRef& ref);

// ---------------------------------------------------------------------------
// Parents, children and named locations

// The folder that holds the item (all zeros for the root or on failure); sets Err.
FSRef FSGetParent(const FSRef& ref);
// The ancestor levels steps up (1 = the parent); levels below 1 give the item
// itself. Sets Err at each step.
FSRef FSGetParentAtIndex(const FSRef& ref, SInt16 levels);
// The item at the name (or a '/'-separated relative path) inside the folder:
// 0 when it exists, fnfErr otherwise. A ".." component never leads out of
// the folder: it gives fnfErr.
OSStatus FSGetSubFolder(const FSRef& folder, const Str255& name, FSRef& ref);
inline OSStatus FSGetSubfolder(const FSRef& folder, const Str255& path, FSRef& ref) {
  return FSGetSubFolder(folder, path, ref);
}
// The named item inside the application bundle's SharedSupport folder; 0 or fnfErr.
OSStatus FSGetSharedSupportFile(const Str255& name, FSRef& ref);
// The bundle resource of that name (with its extension) in that subfolder of
// the application's Resources; 0 or fnfErr.
OSStatus FSGetResourceFile(const Str63& name, const Str63& folder, FSRef& ref);
// The named item inside the system folder of the type ('temp', 'desk', ...),
// found without creating it; Err holds the folder search's status. All zeros
// when the folder or the item does not exist.
FSRef FSGetFileFromFolder(const Str255& name, OSType folderType);
// The item's name on disk; empty (and bdNamErr in Err) when it has more than
// 63 characters or one that Mac Roman lacks. Sets Err.
Str63 FSGetActualName(const FSRef& ref);
// The name as the file manager shows it, for showing and for telling a
// file's language by its extension: a name of more than 63 characters is cut
// in the middle (start and extension kept) and a character Mac Roman lacks
// is shown as '?'. Empty when the item is gone. Sets Err. Never use it to
// reach a file: FSGetFullName gives the whole name.
Str63 FSGetDisplayName(const FSRef& ref);
// The item's whole name in UTF-8, of any length; empty when it is gone. Sets Err.
std::string FSGetFullName(const FSRef& ref);
// The name extension without the dot; empty when there is none or it does
// not fit in 15 characters. Sets Err.
Str15 FSGetExtension(const FSRef& ref);
// The content-modification date in the current locale, long date and long
// time; empty on failure. Sets Err.
Str255 FSGetModifiedFileDate(const FSRef& ref);

// ---------------------------------------------------------------------------
// Creating and changing items

// The named sub-folder of the parent, created when missing. dupFNErr when
// the name is taken by something that is not a folder. The result is also in Err.
OSStatus FSCreateFolder(CFStringRef name, const FSRef& parent, FSRef& ref);
// The named file in the parent. A missing file is created and given the type
// and creator codes (those two steps set Err); an existing file keeps its
// codes. notAFileErr when the name is taken by a folder. The result is the
// status of the look-up or of the creation.
OSStatus FSCreateFile(CFStringRef name, const FSRef& parent, OSType type, OSType creator, FSRef& ref);
// Renames the item to the name (Mac Roman) and updates the FSRef. Leaves Err alone.
OSStatus FSRename(FSRef& ref, const Str63& name);
// Copies the item into the folder at the path under the new name; -1 when
// the path names no item. The result is also in Err.
OSStatus FSCopyToPath(const FSRef& source, const Str63& name, const Str255& folderPath, FSRef& newRef);
// Asks the file manager to show the item; the result is also in Err.
OSStatus FSRevealFile(const FSRef& ref);

// ---------------------------------------------------------------------------
// Data forks and folder contents

// The whole data fork in a new block of its size (the caller frees it); nil
// when it cannot be opened or read. Err holds the status of the last call
// (the end of the file counts as success).
Ptr FSReadDataFork(const FSRef& ref);
// Replaces the data fork with the whole memory block, at once: a failed
// write leaves the file as it was (FSWriteFileAtomically). paramErr, with
// nothing touched, when the argument is not a memory block. The result is
// also in Err.
OSStatus FSWriteDataFork(const FSRef& ref, const void* block);
// The FSRefs of the folder's direct items in a new handle, with their count
// and whether the folder changed during the listing. memFullErr when the
// handle cannot be made; on any other error the handle is disposed and nil,
// the count 0, and the error returned.
OSStatus FSGetDirectoryItems(const FSRef& folder, FSRefHandle& items, UInt32& count, Boolean& changed);
// Walks the folder depth-first, calling the callback for each item and
// descending into each sub-folder unless the callback set stop. Symbolic
// links are reported as items and never followed, so the walk ends. 0 when
// it ended normally; an error of any level ends the whole walk and is
// returned.
OSStatus FSIterateContainer(const FSRef& folder, FSIterateContainerCallback callback, void* userData);

// ===========================================================================
// CoreFoundation collection helpers

// Two new mutable arrays of the dictionary's keys and values, the same index
// for the same entry, in the dictionary's order; empty for nil. The caller
// releases both.
void CFDictionaryCreateIndexedCopy(CFDictionaryRef dictionary, CFArrayRef& keys, CFArrayRef& values);
// A new mutable array of the set's values (empty for nil); owned by the caller.
CFMutableArrayRef CFArrayCreateCopyFromSet(CFSetRef set);
// A new mutable set of the array's values (empty for nil); owned by the caller.
CFMutableSetRef CFSetCreateCopyFromArray(CFArrayRef array);
// Adds every value of the array to the set.
void CFSetAddArray(CFMutableSetRef set, CFArrayRef array);
// Sort comparator: CFStrings by CompareStringAlphaOrder, other values as
// empty strings; -1 when a sorts first, otherwise 1 (never 0).
CFComparisonResult CFArrayCompareAlphaOrder(const void* a, const void* b, void* context);
// Copies the bytes of a CFData into a record of size bytes. Stored records
// come from files that other builds or the user may have written, so data of
// any other length, and any value that is not a CFData, copy nothing: false.
Boolean CFDataGetPointerValue(CFTypeRef value, void* dest, CFIndex size);
// CFDataGetPointerValue of the value under the key; false when it is absent.
Boolean CFDictionaryGetPointerValue(CFDictionaryRef dictionary, const void* key, void* dest, CFIndex size);

// ===========================================================================
// Type identifiers of files

// The preferred type identifier of the tag, in the tag class whose constant
// is bound by name (for example "kUTTagClassFilenameExtension") from
// "ApplicationServices.framework"; Err holds the binding's status. Nil when
// the constant cannot be bound. The caller releases the result.
CFStringRef UTTypeCreatePreferredIdentifierForTagCFM(const Str255& tagClassName, CFStringRef tag,
                                                     CFStringRef conformingTo);
// The type identifier of the item's name extension; nil when it has none.
// Sets Err. The caller releases the result.
CFStringRef FSGetUTIdentifier(const FSRef& ref, CFStringRef conformingTo);
// True when the type identifier of the item's extension conforms to the given one.
Boolean FSConformsToUTIdentifier(const FSRef& ref, const Str255& identifier);

// ===========================================================================
// Menu, icon and image helpers

#include "CGContext.h"
#include "CGImage.h"
#include "HIView.h"
#include "Icons.h"
#include "MacWindows.h"
#include "Menus.h"

// ---------------------------------------------------------------------------
// Menus (items are 1-based; 0 is no item)

// The first item whose text equals the text ignoring case; 0 when none. The
// Boolean is kept for callers and has no effect.
MenuItemIndex FindMenuItem(const Str255& text, Boolean unused, MenuRef menu);
// The first item that carries a mark; 0 when none.
MenuItemIndex GetSelectedMenuItem(MenuRef menu);
// The text of the marked item; empty when none is marked. Sets Err.
Str255 GetSelectedMenuItemText(MenuRef menu);
// Radio-style marking: unchecks every item, then checks the item unless it is 0.
void ToggleMenuItem(MenuItemIndex item, MenuRef menu);
// The text of the menu item the command came from; empty when the record
// names no menu or the text cannot be copied. Sets Err when it copies.
Str255 GetCommandMenuItemText(const HICommand& command);
// Gives the item the system icon of the creator and type codes; the menu
// keeps its own reference. Sets Err.
void SetMenuItemIconRef(MenuRef menu, MenuItemIndex item, OSType creator, OSType type);
// Kind kMenuIconRefType acquires or releases the icon reference (setting
// Err), kMenuCGImageRefType retains or releases the image; other kinds are
// ignored.
void RetainMenuIcon(void* icon, UInt8 kind);
void ReleaseMenuIcon(void* icon, UInt8 kind);

// ---------------------------------------------------------------------------
// Icons and images from the application bundle or the system

// The icon of the item; nil on failure. Sets Err. The caller releases it.
IconRef FSGetIcon(const FSRef& ref);
// The icon file name (with its extension) in that subfolder of the bundle's
// resources, registered under creator and type '????'; nil when the file is
// not found. Err holds the registration's status.
IconRef LoadIconRef(const Str63& name, const Str63& folder);
// The same, registered under the given codes.
IconRef RegisterIconRef(OSType creator, OSType type, const Str63& name, const Str63& folder);
// The PNG file (with its extension) in that subfolder of the bundle's
// resources; nil when it is missing or no PNG. The caller releases it.
CGImageRef LoadPNGImage(const Str63& name, const Str63& folder);

// ===========================================================================
// View and control helpers

// Called for each view of a walk with its control kind.
typedef void (*HIViewApplierFunction)(HIViewRef view, const ControlKind& kind, void* userData);

// The view's frame; sets Err.
CGRect HIViewFrame(HIViewRef view);
// True when the view belongs to a window.
Boolean HIViewIsValid(HIViewRef view);
// The view with that ID under the window's root view; nil when none.
HIViewRef HIViewFind(SInt32 id, OSType signature, WindowRef window);
// The text in the view's property (creator, tag), stored with a final NUL;
// empty on failure, with the failure in Err.
Str255 HIViewGetProperty(HIViewRef view, OSType tag, OSType creator);
// The first view of the window's tree (root first, then depth-first in
// subview order) whose property holds exactly the text; nil when none.
HIViewRef HIViewFindByProperty(OSType tag, OSType creator, const Str255& text, WindowRef window);
// Calls the function for the view and every view below it, parents before
// their subviews, subviews in index order. Err holds the last kind read.
void HIViewApplyFunction(HIViewRef view, HIViewApplierFunction function, void* userData);
// A global point in the window's root-view coordinates; sets Err.
void HIViewGlobalToLocal(CGPoint& point, WindowRef window);
// The view's text; empty when it has none.
Str255 HIViewGetText(HIViewRef view);
// Value 1 or 0 (setting sets Err); reading is true for value 1.
void HIViewSetBooleanValue(HIViewRef view, Boolean value);
Boolean HIViewGetBooleanValue(HIViewRef view);
// The same on the 32-bit control value; neither touches Err.
void SetControlBooleanValue(ControlRef control, Boolean value);
Boolean GetControlBooleanValue(ControlRef control);
// Focuses the view (unless its subtree holds the focus) and selects all its
// text; sets Err.
void HIViewFocusEditText(HIViewRef view);
// The menu of a pop-up button ('mhan') or bevel button ('mhnd'); nil for
// other kinds. Sets Err.
MenuRef HIViewGetMenu(HIViewRef view);
// Sets that menu; other kinds stay unchanged. Sets Err.
void HIViewSetMenu(HIViewRef view, MenuRef menu);
// Replaces the items of the view's menu by one item per string of the
// array (command '????'); values that are no string are skipped. Nothing
// when the view has no menu. Sets Err.
void HIViewSetMenuWithArray(HIViewRef view, CFArrayRef strings);
// The first item of the pop-up's menu whose text equals the string ignoring
// case; 0 when none. Sets Err.
MenuItemIndex HIViewGetMenuItem(HIViewRef view, CFStringRef text);
// Sets the maximum to the number of items and selects the item with the
// text (ignoring case), item 1 when none has it. Sets Err.
void HIViewSetMenuItem(HIViewRef view, CFStringRef text);
// The text of the pop-up's selected item (the caller releases it); nil on
// failure. Sets Err.
CFStringRef HIViewCopyMenuText(HIViewRef view);
Str255 HIViewGetMenuText(HIViewRef view);
// Gives the segment the system icon of the codes, the behavior and the
// command. The reference made here lives as long as the view, since the
// segment holds its content without retaining it. Sets Err after each step.
void HISegmentedViewSetContent(HIViewRef view, UInt32 segment, OSType creator, OSType type,
                               HISegmentBehavior behavior, UInt32 command);
// The same with a PNG image of the bundle's resources.
void HISegmentedViewSetContentWithImage(HIViewRef view, UInt32 segment, const Str63& imageName,
                                        const Str63& folder, HISegmentBehavior behavior, UInt32 command);

// ===========================================================================
// Drawing colours and opening with a chosen application

// The context's RGB fill or stroke colour from the styled-text colour.
void CGContextSetATSUFillColor(CGContextRef context, const ATSURGBAlphaColor& color);
void CGContextSetATSUStrokeColor(CGContextRef context, const ATSURGBAlphaColor& color);
// Opens the URL with the application; nothing for an empty text or one that
// is no URL. Sets Err.
void LSOpenURLWithApplication(const Str255& url, const FSRef& application);

// ===========================================================================
// Drags, help tags and the contextual menu font

#include "AppleEvents.h"
#include "CFURL.h"
#include "Drag.h"

// Called for each flavour of each item of a drag with its type, a block
// holding its data (freed after the call) and the user data.
typedef void (*DragReferenceApplierFunction)(FlavorType type, Ptr data, void* userData);

// True when an item of the drag has a flavour of the type (the search stops
// at the first). Sets Err.
Boolean DragContainsFlavor(DragRef drag, FlavorType type);
// The data of the first flavour of the item (1-based index) whose type is
// the given one (any type for 0) and whose data can be read, in a new block
// of its size; nil when none. Sets Err. The caller frees the block.
Ptr DragGetFlavorData(DragRef drag, UInt16 index, FlavorType type);
// For every item and flavour in order: the function with the type and a
// temporary block of the data. Sets Err.
void DragApplyFunction(DragRef drag, DragReferenceApplierFunction function, void* userData);
// Makes the item a file promise for the file manager: 'alia' (the name in
// 256 bytes), 'hfs ' (80 bytes, only the name set) and 'phfs' (14 bytes,
// promising 'hfs '), no flags. Sets Err after each.
void FSAddDragFinderAlias(DragRef drag, DragItemRef item, const Str255& name);
// Where the promised file of the item was dropped: the folder (a new URL
// the caller releases) and the promised name. fnfErr when the drop did not
// land in a folder or the item has no 'alia' flavour; the alias
// resolution's status when that fails. Err ends equal to the result.
OSStatus FSGetDragFinderLocation(DragRef drag, UInt16 index, Str255& name, CFURLRef& folder);

// Gives the menu item a help tag with the text. Sets Err.
void SetMenuItemHelp(MenuRef menu, MenuItemIndex item, const Str255& text);
// The menu shows in the family and size of the theme's toolbar font. Sets
// Err; returns 0.
SInt32 SetContextualMenuFont(MenuRef menu);
