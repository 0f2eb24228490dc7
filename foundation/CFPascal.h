// CFPascal: CF arrays, sets, dictionaries and trees that hold memory blocks
// or program objects and own them. A block handed to an owning collection is
// taken over without a copy and disposed when it leaves the collection (remove,
// replace, or the collection's release); never add one block to two owning
// collections. Also the block dictionary <-> CFData dictionary conversions and
// the byte swapping of stored QuickDraw records.
#pragma once

#include "ByteSwapping.h"
#include "CFArray.h"
#include "CFBase.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFSet.h"
#include "CFTree.h"
#include "MacTypes.h"

// A class below the run-time root whose instances can live in a
// kCFObjectPascal array: the array calls Release on every element that leaves
// it. Release does nothing here; subclasses that own memory override it.
class TCFObject {
 public:
  virtual ~TCFObject() = default;
  virtual void Release();
};

// ---------------------------------------------------------------------------
// Callbacks

// Hands the value over unchanged: no copy, no count.
const void* CFRetainPointerCallback(CFAllocatorRef allocator, const void* value);
// A new block of the value's size holding a copy of it (nil stays nil).
const void* CFRetainPointerCopyCallback(CFAllocatorRef allocator, const void* value);
// Disposes the block.
void CFReleasePointerCallback(CFAllocatorRef allocator, const void* value);
// Frees memory that came from the C heap (malloc).
void CFReleaseObjectCallback(CFAllocatorRef allocator, const void* value);
// Calls the element's Release (the value is a TCFObject).
void TCFArrayReleaseCallback(CFAllocatorRef allocator, const void* value);
// CFEqual and CFHash of the values, for collections of CF objects.
Boolean CustomEqualCallback(const void* value1, const void* value2);
CFHashCode CustomHashCallback(const void* value);
// Tree info blocks: kept unchanged, disposed with the node, no description.
const void* CustomTreeRetainCallback(const void* info);
void CustomTreeReleaseCallback(const void* info);
CFStringRef CustomTreeCopyDescriptionCallback(const void* info);

extern const CFArrayRetainCallBack kCFRetainPointerCallback;
extern const CFArrayRetainCallBack kCFRetainPointerCopyCallback;
extern const CFArrayReleaseCallBack kCFReleasePointerCallback;
extern const CFArrayReleaseCallBack kCFReleaseObjectCallback;

// Callback sets. Equality is identity (no equal callback) and sets and keys
// hash by address, so a block is found by its address, never by its content.
extern const CFArrayCallBacks kNilArrayCallbacks;                   // nothing at all
extern const CFArrayCallBacks kCFArrayPascal;                       // owns blocks
extern const CFArrayCallBacks kCFObjectPascal;                      // releases TCFObjects
extern const CFSetCallBacks kCFSetPascal;                           // owns blocks
extern const CFDictionaryValueCallBacks kCFDictionaryValuePascal;  // owns block values
extern const CFDictionaryKeyCallBacks kCFDictionaryKeyPascal;      // owns block keys

// ---------------------------------------------------------------------------
// Collections

// New mutable, unlimited collections that own their blocks; the dictionary
// has CF keys (standard callbacks) and block values.
CFMutableArrayRef CFArrayCreatePascal();
CFMutableSetRef CFSetCreatePascal();
CFMutableDictionaryRef CFDictionaryCreatePascal();

// Copies of the sets above with the given equal (and hash) callbacks.
CFArrayCallBacks PascalCFArrayCallbacks(CFArrayEqualCallBack equal);
CFArrayCallBacks TCFArrayCallbacks(CFArrayEqualCallBack equal);
CFSetCallBacks PascalCFSetCallbacks(CFSetEqualCallBack equal, CFSetHashCallBack hash);
CFDictionaryValueCallBacks PascalCFDictionaryValueCallbacks();
CFDictionaryKeyCallBacks PascalCFDictionaryKeyCallbacks();

// Trees whose nodes own their info block (disposed when the node is freed).
CFTreeContext DefaultCFTreeContext(void* info);
CFTreeRef CFTreeCreatePascal(void* info);
// Detaches the node from its parent keeping it alive: the caller then holds
// one reference and releases it (after inserting the node elsewhere). Nil is
// ignored.
void CFTreeRemoveSafe(CFTreeRef tree);

// (0, length of the data); (0, 0) for nil.
CFRange CFDataGetRange(CFDataRef data);

// For saving: a new dictionary (standard CF callbacks) holding, under the same
// keys, CFData copies of the block values (as many bytes as each block's
// size; a value that is not a valid block gives empty data). Owned by the
// caller; nil for nil.
CFMutableDictionaryRef CFDictionaryConvertValuePointers(CFDictionaryRef dictionary);
// For loading: the reverse, a new dictionary with standard CF keys and
// kCFDictionaryValuePascal values, each a new block filled from a CFData
// value. Values that are not CFData are left out. Owned by the caller; nil
// for nil.
CFMutableDictionaryRef CFDictionaryConvertValueData(CFDictionaryRef dictionary);

// ---------------------------------------------------------------------------
// Byte swapping of stored QuickDraw records: the stored form is big-endian.
// Both directions (1 = to storage, others = from storage) swap the same way;
// on a big-endian host nothing changes.

void SwapRGBColorBytes(RGBColor& color, SInt16 direction);
void SwapRectBytes(Rect& rect, SInt16 direction);
