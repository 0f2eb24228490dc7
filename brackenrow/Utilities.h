// Utilities: walking a tree of node records. Every walk runs without
// recursion, so trees of any depth are safe; nodes without a record (roots)
// are never offered.
#pragma once

#include "brackenrow/Brackenrow.h"

extern "C" {

// The node whose record has that INDEX, descendants tested before their
// container (children first), the first hit winning. Index 0, or a miss,
// gives the tree that was passed in.
BRACKENROW_EXPORT CFTreeRef CFTreeRecurseGetChildAtIndex(CFTreeRef tree, SInt32 index);
// The first node, depth first with a container before its children, whose
// record has a payload and that the callback accepts; nil when none.
BRACKENROW_EXPORT CFTreeRef BrackenrowSearch(CFTreeRef tree, TreeCompareCallback compare, void* query,
                                            void* context);
// Calls the applier for each child with a record, in sibling order, and with
// recurse for all descendants (a container before its children). The tree
// itself is never offered. A node the applier detaches from the tree ends the
// walk.
BRACKENROW_EXPORT void CFTreeApplyFunctionToAllChildren(CFTreeRef tree, TreeApplierFunction applier,
                                                        Boolean recurse, void* context);
// An array (the caller owns it) of one CFData copy of every payload block, in
// walk order; with a swapper each copy is converted (direction 1) first. Nil
// when the tree holds no record.
BRACKENROW_EXPORT CFArrayRef CFTreeCreateArrayCopy(CFTreeRef tree, ByteSwapperCallback swapper, void* context);

// The first free ID of the group in the browser's tree, relative to the group
// (1 upward): the append adds group * kGroupIndexShift.
BRACKENROW_EXPORT SInt32 BrackenrowGetUniqueIndex(SInt16 group, ControlRef browser);

}  // extern "C"
