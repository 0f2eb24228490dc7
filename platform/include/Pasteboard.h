// Pasteboards: named, process-wide stores of items, each item holding typed
// flavours of data (type identifiers such as "public.utf8-plain-text").
// The clipboard is "com.apple.pasteboard.clipboard", the find pasteboard
// "com.apple.pasteboard.find"; under the desktop host the clipboard is the
// desktop's clipboard, shared with other programs (text and file lists).
//
// Writing follows the ownership rule: PasteboardClear makes this program the
// owner; only the owner may put flavours. Readers see the store as it is
// (PasteboardSynchronize tells whether it changed since the reference last
// looked). A PasteboardRef is a CF object: CFRelease ends it.
#pragma once

#include "CFArray.h"
#include "CFBase.h"
#include "CFData.h"
#include "CFString.h"
#include "MacTypes.h"

typedef struct OpaquePasteboardRef* PasteboardRef;
typedef void* PasteboardItemID;
typedef OptionBits PasteboardSyncFlags;
typedef OptionBits PasteboardFlavorFlags;

#define kPasteboardClipboard CFStringMakeConstantUTF8("com.apple.pasteboard.clipboard")
#define kPasteboardFind CFStringMakeConstantUTF8("com.apple.pasteboard.find")
// A nil name gives a new pasteboard of its own, unknown to others.
#define kPasteboardUniqueName ((CFStringRef) nullptr)

enum : OSStatus {
  badPasteboardSyncErr = -25130,
  badPasteboardIndexErr = -25131,
  badPasteboardItemErr = -25132,
  badPasteboardFlavorErr = -25133,
  duplicatePasteboardFlavorErr = -25134,
  notPasteboardOwnerErr = -25135,
  noPasteboardPromiseKeeperErr = -25136,
};

enum : PasteboardSyncFlags {
  kPasteboardModified = 1u << 0,
  kPasteboardClientIsOwner = 1u << 1,
};

enum : PasteboardFlavorFlags {
  kPasteboardFlavorNoFlags = 0,
  kPasteboardFlavorSenderOnly = 1u << 0,
  kPasteboardFlavorSenderTranslated = 1u << 1,
  kPasteboardFlavorNotSaved = 1u << 2,
  kPasteboardFlavorRequestOnly = 1u << 3,
  kPasteboardFlavorSystemTranslated = 1u << 8,
  kPasteboardFlavorPromised = 1u << 9,
};

CFTypeID PasteboardGetTypeID();
// The pasteboard of the name (nil: a unique one). The caller releases it.
OSStatus PasteboardCreate(CFStringRef inName, PasteboardRef* outPasteboard);
// The name; the caller releases it.
OSStatus PasteboardCopyName(PasteboardRef inPasteboard, CFStringRef* outName);
// Empties the store and makes this program its owner.
OSStatus PasteboardClear(PasteboardRef inPasteboard);
// Brings the reference up to date: kPasteboardModified when the store
// changed since it last looked, kPasteboardClientIsOwner when this program
// owns it.
PasteboardSyncFlags PasteboardSynchronize(PasteboardRef inPasteboard);

OSStatus PasteboardGetItemCount(PasteboardRef inPasteboard, ItemCount* outItemCount);
// inIndex is 1-based; badPasteboardIndexErr past the count.
OSStatus PasteboardGetItemIdentifier(PasteboardRef inPasteboard, CFIndex inIndex, PasteboardItemID* outItem);
// The flavour types of the item (CFStrings, in the order put, followed by
// those the system translates from them); the caller releases the array.
OSStatus PasteboardCopyItemFlavors(PasteboardRef inPasteboard, PasteboardItemID inItem, CFArrayRef* outFlavorTypes);
OSStatus PasteboardGetItemFlavorFlags(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                      PasteboardFlavorFlags* outFlags);
// The data of the flavour; the caller releases it. badPasteboardFlavorErr
// when the item has no such flavour and none can be translated: plain text
// is offered as UTF-8 and UTF-16 ("public.utf8-plain-text",
// "public.utf16-plain-text") whichever of them was put.
OSStatus PasteboardCopyItemFlavorData(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                      CFDataRef* outData);
// Adds a flavour to the item (a new item when the ID is new). Only the owner
// may put (notPasteboardOwnerErr); duplicatePasteboardFlavorErr when the item
// has the flavour already. Nil data promises a flavour that is never kept
// here (no promise keeper): noPasteboardPromiseKeeperErr.
OSStatus PasteboardPutItemFlavor(PasteboardRef inPasteboard, PasteboardItemID inItem, CFStringRef inFlavorType,
                                 CFDataRef inData, PasteboardFlavorFlags inFlags);
