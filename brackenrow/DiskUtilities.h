// DiskUtilities: a tree as a property list, one CFData per record: the
// 32-byte header in big-endian order, then the payload bytes.
//
//   0 INDEX  4 PARENT  8 GROUP (2)  10 CONTAINER (1)  11 OPEN (1)
//  12 DATATYPE  16 DATA  20 DATALENGTH  24 RELEASE  28 CONTEXT  32 payload
//
// The three pointer words carry no meaning in a list: they are written as
// zeros and ignored on reading. The payload length is the element's length
// minus 32.
#pragma once

#include "Files.h"
#include "brackenrow/Brackenrow.h"

enum : CFIndex { kNodeHeaderSize = 32 };

extern "C" {

// The tree's records (depth first, a container before its children; the
// root is not stored) as a new array the caller owns; nil when the tree holds
// no record.
BRACKENROW_EXPORT CFTypeRef CFTreeConvertToProperyList(CFTreeRef tree, TreeTranslateCallback translate,
                                                       void* userContext);
// A new root holding the records of the list. Each record hangs under the
// node read before it whose INDEX equals its PARENT (of several, the one a
// children-first walk of the tree read so far meets first), or under the
// root when no such node was read: a PARENT of 0, of a record that comes
// only later, of none at all or of the record itself.
// A damaged list (numbers repeated, parents pointing forward or nowhere) is
// read as a clean tree in one way: after the records are placed, every
// repeated INDEX after its first one, in the order read, takes a fresh number
// past the largest INDEX and PARENT of the list, and every PARENT becomes the
// INDEX of the node the record hangs under; at the top, a PARENT that is the
// INDEX of a record of the list becomes 0 (any other is kept: the rows of a
// group file name the group's row, which is not stored). Such a tree is
// written and read again in the same shape. Records numbered 0 keep their 0.
// Nil (nothing built) when the list is not an array or an element is not a
// CFData of at least 32 bytes. The caller owns the root.
BRACKENROW_EXPORT CFTreeRef CFTreeCreateFromPropertyList(CFTypeRef propertyList, TreeTranslateCallback translate,
                                                         void* context);
// Writes the tree as an XML property list over the existing file; a tree
// without records empties the file. Err holds the status of the last file
// call, which is also the result (this library's Err is not its callers').
BRACKENROW_EXPORT OSStatus CFTreeWritePropertyList(const FSRef& where, CFTreeRef tree, TreeTranslateCallback translate,
                                               void* context);
// The tree of a file written by CFTreeWritePropertyList; nil when the file
// cannot be read or holds no valid list (an empty file included).
BRACKENROW_EXPORT CFTreeRef CFTreeReadPropertyList(const FSRef& where, TreeTranslateCallback translate,
                                                   void* context);

// The property list of the browser's tree; nil when the control is not a
// browser or has no tree. The caller owns it.
BRACKENROW_EXPORT CFTypeRef BrackenrowGetPropertyList(ControlRef browser, TreeTranslateCallback translate,
                                                      void* context);
// Writes the browser's tree over the file when it was modified since the last
// save; the modification count is reset only when the write succeeded. The
// status of the write (noErr when there was nothing to write).
BRACKENROW_EXPORT OSStatus BrackenrowSave(const FSRef& where, ControlRef browser);
// Replaces the browser's tree with the file's and shows its rows: noErr, or
// -39 (eofErr) and the browser unchanged when nothing could be read.
BRACKENROW_EXPORT OSStatus BrackenrowLoad(const FSRef& where, ControlRef browser);

}  // extern "C"
