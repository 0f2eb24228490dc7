// The styled text engine: one instance holds a styled text with its
// selection, undo history, custom attributes and properties, lays it out in a
// destination rectangle, draws it into a Quartz context within a view
// rectangle, and handles typing, clicks, drags and the edit commands.
//
// Units and coordinates. Offsets count UTF-16 code units. Lines end in a
// carriage return (13); a line's range runs from its first character up to
// the start of the next line (its carriage return included), and the text
// has one line more than it has carriage returns. Lines are numbered from 0.
// Nothing else ends a line: a LF, U+2028 or other break a host puts in, and
// any control character (NUL included), is drawn within its line as a symbol.
// Rectangles and points are 32-bit, in the coordinates of the root view of
// the window the text is shown in (y grows downwards).
//
// The instance is always the last argument.
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFString.h"
#include "CGContext.h"
#include "CarbonEvents.h"
#include "Drag.h"
#include "Files.h"
#include "MacTypes.h"
#include "Pasteboard.h"
#include "QDRegions.h"

#include <string>
#include <vector>

typedef struct WEOpaqueRec* WEReference;
typedef struct WEOpaqueView* WEViewReference;
typedef FourCharCode WESelector;
typedef SInt16 WEActionKind;
typedef SInt16 WEEdge;
typedef OptionBits WEPutOptions;

struct LongPt {
  SInt32 v;
  SInt32 h;
};

struct LongRect {
  SInt32 top;
  SInt32 left;
  SInt32 bottom;
  SInt32 right;
};

// Statuses of the engine.
enum : OSStatus {
  weNotFoundErr = -9474,           // WEFind: no match
  weCantUndoErr = -9475,           // nothing to undo or redo
  weReadOnlyErr = -9476,           // a user edit of a read-only text
  weUnsupportedFlavorErr = -9477,  // a stream or file type the engine does not speak
  weAttributeNotFoundErr = -9478,  // the text holds no such attribute at the offset
  weProtectedTextErr = -9479,      // reserved
};

// An offset of -1 names the current selection (start or end).
enum : SInt32 { kCurrentSelection = -1 };

// Which character an offset stands for: the one after it (leading edge) or
// the one before it (trailing edge).
enum : WEEdge { kLeadingEdge = -1, kTrailingEdge = 0 };

// ---------------------------------------------------------------------------
// Features: feature n is bit n of the feature set given to WENew.
enum : SInt16 {
  weFAutoScroll = 0,      // keep the selection in view after user edits and clicks
  weFOutlineHilite = 2,   // an inactive selection is drawn as an outline
  weFReadOnly = 5,        // the user cannot change the text (host calls still can)
  weFUndo = 6,            // changes are recorded for undo (see WEUndo for changes made without)
  weFIntCutAndPaste = 7,  // recorded; no effect
  weFDragAndDrop = 8,     // text can be dragged out of and dropped into the view
  weFInhibitRecal = 9,    // layout is deferred until the feature is cleared
  weFInhibitRedraw = 12,  // nothing is drawn
  weFMonoStyled = 13,     // recorded; no effect
  weFMultipleUndo = 14,   // keep every step, not only the last one
  weFLeftMarginClick = 16,  // a click left of the text selects the line
};
enum : OptionBits {
  weDoAutoScroll = 1u << weFAutoScroll,
  weDoOutlineHilite = 1u << weFOutlineHilite,
  weDoReadOnly = 1u << weFReadOnly,
  weDoUndo = 1u << weFUndo,
  weDoIntCutAndPaste = 1u << weFIntCutAndPaste,
  weDoDragAndDrop = 1u << weFDragAndDrop,
  weDoInhibitRecal = 1u << weFInhibitRecal,
  weDoInhibitRedraw = 1u << weFInhibitRedraw,
  weDoMonoStyled = 1u << weFMonoStyled,
  weDoMultipleUndo = 1u << weFMultipleUndo,
  weDoLeftMarginClick = 1u << weFLeftMarginClick,
};
// Actions of WEFeatureFlag.
enum : SInt16 { weBitTest = -1, weBitClear = 0, weBitSet = 1, weBitToggle = -2 };

// Undo action kinds (WEEndAction, WEGetUndoInfo).
enum : WEActionKind {
  weAKNone = 0,         // nothing to undo
  weAKUnspecified = 1,  // host changes outside an action, or ended with this kind
  weAKTyping = 2,
  weAKCut = 3,
  weAKPaste = 4,
  weAKClear = 5,
  weAKDrag = 6,
  weAKSetStyle = 7,
};

// Put options (WEPut).
enum : WEPutOptions {
  wePutIntCutAndPaste = 1u << 0,      // recorded; no smart spacing is done
  wePutAddToTypingSequence = 1u << 1, // joins the current typing step of undo
};

// Match options (WEFind).
enum : OptionBits {
  weFindWholeWords = 1u << 0,
  weFindCaseInsensitive = 1u << 1,
};

// Event classes the engine handles on its event target (WESetEventTarget).
enum : OptionBits {
  weTextInputEvents = 1u << 0,
  weServiceEvents = 1u << 3,  // there are no services here: accepted, nothing handled
};

// Character properties (WEGetCharacterProperty).
enum : SInt32 { weCharClassProperty = 1 };
enum : SInt32 {
  weCharClassSpace = 1,        // white space, line breaks, control characters
  weCharClassLetter = 2,
  weCharClassDigit = 3,
  weCharClassUnderscore = 4,   // part of words
  weCharClassPunctuation = 12, // everything else
};

// ---------------------------------------------------------------------------
// Hooks (WESetInfo / WEGetInfo: the info points to the procedure pointer).

// Asked before typed text goes in, with the text (UTF-16, host order) in a
// handle that the hook may change or empty. True: the input is consumed and
// nothing is inserted; false: the handle's text is inserted.
typedef Boolean (*WETextFilterProcPtr)(void* inTextInputComponent, Handle ioText, UInt32 inModifiers,
                                       UInt32 inKeyCode, WEReference we);
// After every change of the text, whoever made it: where it happened and
// how the length changed. An insertion is one call (offset, +inserted), a
// removal one call (offset, -removed). A replacement of a range by new text
// is two calls, the new text first: (start, +inserted), then the removal
// right after it, (start + inserted, -removed); both come after the text is
// replaced, the selection set and the undo step recorded, so the first call
// reads as the whole new text (a re-parse colours all of it) and the deltas
// still add up to the change in length. The hook may change the text or the
// selection; the engine sets neither again afterwards, and a change it makes
// during the first call moves the offset of the second with the text.
typedef void (*WEFluxProcPtr)(SInt32 inOffset, SInt32 inDelta, WEReference we);
// After the destination rectangle moved relative to the view rectangle.
typedef void (*WEScrollProcPtr)(WEReference we);
// Before text is drawn: paint the background of the dirty rectangle (root
// coordinates, in the context WEUpdate draws into).
typedef void (*WECGEraseProcPtr)(CGContextRef inContext, const CGRect* inDirtyRect, WEViewReference inView,
                                 WEReference we);
// Asked for a drag item none of whose flavours the engine reads ('utxt',
// 'utf8', 'TEXT', 'RTF '): UTF-16 text it puts in the handle goes in.
typedef OSErr (*WETranslateDragProcPtr)(DragRef inDrag, DragItemRef inItem, FlavorType inRequestedType,
                                        Handle outData, WEReference we);

enum : WESelector {
  weTextFilterHook = 'fltr',
  weFluxHook = 'flux',
  weScrollHook = 'scrl',
  weCGEraseHook = 'cera',
  weTranslateDragHook = 'xdrg',
  // The Quartz context WEUpdate draws into (CGContextRef, not retained):
  // its user space must be the root view's coordinates, y-down.
  weCGContextInfo = 'cgcx',
  weRefConInfo = 'refc',  // a pointer-sized value for the caller
  // The line ending plain text is written with (a UInt32, one of the
  // weEndOfLine values below; others give paramErr). LF in a new instance;
  // WELoad sets it from the file it reads. A host that fills the text itself
  // sets it to the ending of what it read.
  weEndOfLineInfo = 'eol ',
};

// Line endings of plain-text files: weEndOfLineInfo, and the low bits of
// WESave's options (weEndOfLineAsRead: the instance's own).
enum : UInt32 {
  weEndOfLineAsRead = 0,
  weEndOfLineCR = 1,
  weEndOfLineLF = 2,
  weEndOfLineCRLF = 3,
  weEndOfLineMask = 3,
  // WESave of plain text in UTF-8 or a UTF-16 / UTF-32 form of named byte
  // order: the file begins with a byte-order mark.
  weSaveByteOrderMark = 4,
};

// ---------------------------------------------------------------------------
// Instances

// A new empty instance: selection 0, plain 12-pixel monospaced black text.
OSStatus WENew(const LongRect* inDestRect, const LongRect* inViewRect, OptionBits inFeatures, WEReference* outWE);
void WEDispose(WEReference we);
OSStatus WESetInfo(WESelector inSelector, const void* inInfo, WEReference we);
OSStatus WEGetInfo(WESelector inSelector, void* outInfo, WEReference we);
// Returns the state before the call (0 or 1); -1 for an unknown feature.
SInt16 WEFeatureFlag(SInt16 inFeature, SInt16 inAction, WEReference we);

// ---------------------------------------------------------------------------
// Rectangles, layout, drawing

void WEGetDestRect(LongRect* outDestRect, WEReference we);
// The bottom edge is the engine's: it always lies at the end of the text.
void WESetDestRect(const LongRect* inDestRect, WEReference we);
void WEGetViewRect(LongRect* outViewRect, WEReference we);
void WESetViewRect(const LongRect* inViewRect, WEReference we);
// Lays the text out again for the current rectangles.
OSStatus WECalText(WEReference we);
// Moves the destination rectangle by (h, v) and calls the scroll hook.
void WEScroll(SInt32 inHOffset, SInt32 inVOffset, WEReference we);
// Draws the part of the view rectangle within the region (nil: all of it)
// into the context set with weCGContextInfo: background (erase hook or
// white), selection, text, caret.
void WEUpdate(RgnHandle inUpdateRgn, WEReference we);

// ---------------------------------------------------------------------------
// Text

// Replaces start..end (kCurrentSelection: the selection) with the text in
// the encoding: 0 Mac Roman (0xFFF as well), 0x100 UTF-16 in host order,
// or any other encoding CFString converts. A selection within the replaced
// range becomes an insertion point after the new text; other selection ends
// move with the text. Flavours other than text are ignored.
OSStatus WEPut(SInt32 inStart, SInt32 inEnd, const void* inText, ByteCount inTextLength, TextEncoding inEncoding,
               WEPutOptions inPutOptions, ItemCount inFlavorCount, const FlavorType* inFlavorTypes,
               const Handle* inFlavorHandles, WEReference we);
// Deletes the selection.
OSStatus WEDelete(WEReference we);
// The text of start..end into the handle (resized): 'utxt' UTF-16 in host
// order, 'utf8' UTF-8, 'TEXT' one byte per code unit (see WEGetChar).
OSStatus WEStreamRange(SInt32 inStart, SInt32 inEnd, FlavorType inType, OptionBits inOptions, Handle outData,
                       WEReference we);
// The character at the offset as one byte: ASCII as it is, other characters
// as their Mac Roman byte, 0xFF when Mac Roman has none; 0 outside the text.
UInt8 WEGetChar(SInt32 inOffset, WEReference we);
SInt32 WEGetTextLength(WEReference we);
// The run of characters of one kind (a word, white space on one line, a line
// break, one punctuation character) around the character the offset and
// edge name. Offsets outside the text are clamped.
OSStatus WEFindWord(SInt32 inOffset, WEEdge inEdge, SInt32* outStart, SInt32* outEnd, WEReference we);
// Searches rangeStart..rangeEnd for the key (bytes in the encoding);
// weNotFoundErr when it is not there.
OSStatus WEFind(const char* inKey, SInt32 inKeyLength, TextEncoding inEncoding, OptionBits inMatchOptions,
                SInt32 inRangeStart, SInt32 inRangeEnd, SInt32* outMatchStart, SInt32* outMatchEnd, WEReference we);
// Spelling guesses for one word from the English dictionary, best first, in
// a new array the caller releases. A word the dictionary knows, text that is
// not one word (white space, no letter, over 255 units) and a machine without
// a dictionary all give an empty array and noErr.
OSStatus WEGuessSpelling(CFStringRef inWord, OptionBits inOptions, CFArrayRef* outGuesses, WEReference we);
OSStatus WEGetCharacterProperty(SInt32 inOffset, SInt32 inProperty, SInt32* outValue, WEReference we);

// ---------------------------------------------------------------------------
// Selection

void WEGetSelection(SInt32* outStart, SInt32* outEnd, WEReference we);
// The ends are ordered; the first argument is the anchor.
void WESetSelection(SInt32 inStart, SInt32 inEnd, WEReference we);
// The end of the selection that stays put when it is extended.
SInt32 WEGetSelectionAnchor(WEReference we);
// The area of start..end (-1, -1: the selection) within the view rectangle;
// the caller disposes of it.
RgnHandle WEGetHiliteRgn(SInt32 inStart, SInt32 inEnd, WEReference we);

// ---------------------------------------------------------------------------
// Offsets, points and lines

SInt32 WEGetOffset(const LongPt* inPoint, WEEdge* outEdge, WEReference we);
// The top-left of the insertion point at the offset, and its line height.
// At a wrap, direction 0 names the end of the upper line, 1 the start of the
// lower one.
void WEGetPoint(SInt32 inOffset, SInt16 inDirection, LongPt* outPoint, SInt16* outLineHeight, WEReference we);
SInt32 WEOffsetToLine(SInt32 inOffset, WEReference we);
void WEGetLineRange(SInt32 inLineIndex, SInt32* outLineStart, SInt32* outLineEnd, WEReference we);
SInt32 WECountLines(WEReference we);
void WEPointToLongPoint(Point inPoint, LongPt* outLongPoint);
// Clamped to 16 bits.
void WELongPointToPoint(const LongPt* inLongPoint, Point* outPoint);

// ---------------------------------------------------------------------------
// Undo

// Changes between the outermost begin and end are one undo step.
OSStatus WEBeginAction(WEReference we);
OSStatus WEEndAction(WEActionKind inKind, WEReference we);
// The kind of the step undo would take back (weAKNone when none), and
// whether there is a step to redo.
OSStatus WEGetUndoInfo(Boolean* outRedoFlag, WEActionKind* outActionKind, WEReference we);
// A change made while undo is off (weFUndo) is recorded nowhere and never
// undone, but the history stays: the recorded steps move with it, and a step
// whose text it overlapped puts back, when undone, what it replaced there.
OSStatus WEUndo(WEReference we);
OSStatus WERedo(WEReference we);
// Counts changes to the text: each change adds one, and undoing a step takes
// away as many as it made (typing joined into one step included), so undoing
// everything since the count was reset brings it back to 0.
UInt32 WEGetModCount(WEReference we);
void WEResetModCount(WEReference we);

// ---------------------------------------------------------------------------
// Attributes. Built-in tags and what they do:
//   'font' 2 bytes, font family (FMGetFontFamilyFromName)
//   'ptsz' 4 bytes, size in pixels as 16.16 fixed
//   'colr' 6 bytes, RGBColor of the text
//   'bold', 'ital', 'undl' 1 byte each, Boolean
//   'plan' 1 byte: true clears bold, italic and underline (not stored)
//   'pbcl' 6 bytes, RGBColor behind the text's lines
//   Paragraph attributes, read from the style at a paragraph's start:
//   'lein' 4 bytes, left indent of every row, 16.16 fixed pixels
//   'ledg' 8 bytes, two 16.16 fixed pixel counts: space added between the
//          rows of the paragraph, and after the paragraph
// Any other tag, of any size, is stored and read back as written. Setting
// with a nil value and a size above 0 removes the attribute; nil with size 0
// stores an empty value. Setting over an empty range sets the style the
// next text inserted there takes (of the whole text when it is empty).
OSStatus WEGetOneAttribute(SInt32 inOffset, WESelector inAttributeTag, void* outValue, ByteCount inValueSize,
                           WEReference we);
OSStatus WESetOneAttribute(SInt32 inStart, SInt32 inEnd, WESelector inAttributeTag, const void* inValue,
                           ByteCount inValueSize, WEReference we);
// Several attributes over one range at once, applied in the order given, as
// one change (one undo step when undo is on). The same rules per attribute.
OSStatus WESetAttributes(SInt32 inStart, SInt32 inEnd, ItemCount inAttributeCount, const WESelector inAttributeTags[],
                         const void* const inAttributeValues[], const ByteCount inAttributeValueSizes[],
                         WEReference we);
// The stretch around inOffset (start, end one past the last character) over
// which WEGetOneAttribute reads the same value of the tag, or reads none
// throughout. A walk over style runs, not characters: callers that look for
// where a mark begins or ends use it to pass over long marked text.
OSStatus WEGetAttributeExtent(SInt32 inOffset, WESelector inAttributeTag, SInt32* outStart, SInt32* outEnd,
                              WEReference we);
// Declares a custom attribute (flags and type are kept for the caller).
OSStatus WERegisterCustomAttribute(WESelector inAttributeTag, OptionBits inFlags, ByteCount inValueSize,
                                   OSType inValueType, WEReference we);

// ---------------------------------------------------------------------------
// The view of an instance: its colours, given as RGBColor (6 bytes) or
// ATSURGBAlphaColor (16 bytes): 'hili' the active selection, 'inhi' the
// inactive selection, 'cart' the caret.
WEViewReference WEGetCurrentView(WEReference we);
OSStatus WESetViewInfo(WESelector inTag, const void* inValue, ByteCount inValueSize, WEViewReference inView);
OSStatus WEGetViewInfo(WESelector inTag, void* outValue, ByteCount inValueSize, WEViewReference inView);

// ---------------------------------------------------------------------------
// Properties: data of the caller's, by creator and tag.
OSStatus WESetProperty(OSType inCreator, OSType inTag, ByteCount inSize, const void* inData, WEReference we);
// errControlPropertyNotFoundErr-like weAttributeNotFoundErr when absent;
// the data is copied only when the buffer holds it all.
OSStatus WEGetProperty(OSType inCreator, OSType inTag, ByteCount inBufferSize, ByteCount* outActualSize,
                       void* outData, WEReference we);
OSStatus WERemoveProperty(OSType inCreator, OSType inTag, WEReference we);

// ---------------------------------------------------------------------------
// Events

OSStatus WEActivate(WEReference we);
OSStatus WEDeactivate(WEReference we);
Boolean WEIsActive(WEReference we);
// A mouse-down at the point (root coordinates): places or extends (shift)
// the selection, selects words on a double click and lines on a triple
// click, follows the mouse while the button is down (scrolling while it is
// beyond the view's edge), and drags the selection when the click lands in
// it and drags are enabled: a drop into the same text moves the text (option
// copies it), a drop into another text moves it there. The caret blinks
// while the instance is active.
void WEClick(Point inHitPoint, EventModifiers inModifiers, UInt32 inClickTime, WEReference we);
// True when the point (global) is over the text and the engine chose the
// cursor for it: the I-beam over the text, the arrow over the selection when
// it can be dragged.
Boolean WEAdjustCursor(Point inMouseLoc, RgnHandle ioMouseRgn, WEReference we);
// 'undo', 'redo', 'cut ', 'copy', 'past', 'clea', 'sall'; eventNotHandledErr
// for any other command.
OSStatus WEProcessHICommand(const HICommand* inCommand, WEReference we);
// Typed text as the host's input method committed it, with the key code and
// modifiers of the key: control characters move the insertion point or
// delete (8 backspace, 127 forward delete, 28-31 arrows, 1 home, 4 end, 11
// and 12 pages); everything else goes through the text filter and in.
OSStatus WETextInput(const UniChar* inText, UniCharCount inCount, UInt32 inKeyCode, UInt32 inModifiers,
                     WEReference we);
// The engine handles these event classes on the target itself (nil removes).
OSStatus WESetEventTarget(EventTargetRef inTarget, OptionBits inEventClasses, WEReference we);

// ---------------------------------------------------------------------------
// Pasteboard and drags

Boolean WECanPaste(WEReference we);
// start..end (kCurrentSelection) as UTF-16 and UTF-8 text.
OSStatus WECopyToPasteboard(SInt32 inStart, SInt32 inEnd, PasteboardRef inPasteboard, WEReference we);
// Replaces the selection with the pasteboard's text (nil: the clipboard).
OSStatus WEPasteFromPasteboard(PasteboardRef inPasteboard, WEReference we);
OSStatus WETrackDrag(DragTrackingMessage inMessage, DragRef inDrag, WEReference we);
OSStatus WEReceiveDrag(DragRef inDrag, WEReference we);

// ---------------------------------------------------------------------------
// Files: replaces start..end with the file's text ('TEXT' in the encoding,
// 'RTF ' styled), or writes start..end to the file in that form.
// Plain text is read with every line ending (CR, LF, CR LF) made the
// engine's CR. A WELoad of plain text that replaces the whole text sets
// weEndOfLineInfo to the file's first line ending (LF when it has none), so
// the text is written back as it was read; WESave writes every line break
// (CR, and a LF or CR LF a host put in) as the ending its options name, or
// as weEndOfLineInfo when they name none.
OSStatus WELoad(SInt32 inStart, SInt32 inEnd, const FSRef* inFile, OSType inFileType, TextEncoding inEncoding,
                OptionBits inOptions, WEReference we);
OSStatus WESave(SInt32 inStart, SInt32 inEnd, const FSRef* inFile, OSType inFileType, TextEncoding inEncoding,
                OptionBits inOptions, WEReference we);

// Text files as a document reads and writes them: what a file was read with,
// so that it is written back byte for byte.
struct WETextFileFormat {
  TextEncoding encoding = 0x08000100;     // UTF-8; UTF-16 and UTF-32 always as their BE / LE forms
  Boolean byteOrderMark = false;          // the file begins with one
  UInt32 endOfLine = weEndOfLineLF;       // the file's first line ending; LF when it has none
  Boolean mixedLineEndings = false;       // other endings were read, and are written as the first
  Boolean notText = false;                // NUL bytes near the start among sequences of no encoding
};

// The 8-bit encoding of text that is not UTF-8 when the caller names none:
// Windows Latin 1 as web browsers read it, every byte a character (the five
// bytes it leaves unassigned are U+0081, U+008D, U+008F, U+0090, U+009D).
constexpr TextEncoding weDefaultEightBitEncoding = 0x0500;

// Reads a file's bytes into text whose every line break is a CR, and tells
// what it found. A byte-order mark decides the encoding; else valid UTF-8 is
// UTF-8, and anything else is read in an 8-bit encoding in which every byte
// is a character: `inHint` when it is Mac Roman, ISO Latin 1 or Windows
// Latin 1, else Windows Latin 1. Plain ASCII also takes an 8-bit hint, so
// what is typed into it is written in that encoding. A hint of a UTF-16 or
// UTF-32 form of named byte order is tried first on a file without a mark.
// Writing the text back with the format gives the file's bytes again, except
// that mixed line endings all become the first. paramErr: nil bytes with a
// count.
OSStatus WEReadTextFile(const void* inBytes, ByteCount inByteCount, TextEncoding inHint, std::vector<UniChar>* outText,
                        WETextFileFormat* outFormat);

// The bytes of a text file of that format (line breaks CR, LF or CR LF in
// the text all become its ending).
//   kTECUnmappableElementErr  a character has no form in the encoding; its
//                             code-unit offset goes to *outBadOffset
//   kTextUnsupportedEncodingErr  an encoding the engine does not convert
OSStatus WEWriteTextFile(const UniChar* inText, ByteCount inCount, const WETextFileFormat* inFormat,
                         std::string* outBytes, ByteCount* outBadOffset);

// Replaces the whole text with a text file read by WEReadTextFile (with the
// hint), sets weEndOfLineInfo to its line ending, and gives what was found
// (outFormat may be nil). The file's status when it cannot be read.
OSStatus WELoadTextFile(const FSRef* inFile, TextEncoding inHint, WETextFileFormat* outFormat, WEReference we);

// ---------------------------------------------------------------------------
// Font families: QuickDraw family numbers of the 'font' attribute and their
// names. Known monospaced families are drawn with "DejaVu Sans Mono", the
// others with "DejaVu Sans"; an unknown name gets a number of its own, the
// same in every run (numbers given are kept under $XDG_DATA_HOME/Quorvel/).
typedef SInt16 FMFontFamily;
enum : FMFontFamily { kInvalidFontFamily = -1 };
FMFontFamily FMGetFontFamilyFromName(ConstStr255Param inName);
// The name the family was asked for by (Pascal string); false when unknown.
Boolean FMGetFontFamilyName(FMFontFamily inFamily, StringPtr outName);

// ---------------------------------------------------------------------------
// The engine's own view: a view with the frame that holds a new instance with
// the features, draws it, and takes clicks, keys, text, commands and drags
// (with its focus the instance is active). In a scroll view it scrolls. The
// instance is the view's control data 'cref' (a WEReference; a buffer of
// another size gives paramErr) and ends with the view.
OSStatus FenwicketCreate(const CGRect* inBounds, OptionBits inFeatures, HIViewRef* outView);
