// Browser: making node records and the trees that own them. (The binding of
// a tree to a list view comes with the view side of the library.)
#pragma once

#include "brackenrow/Brackenrow.h"

extern "C" {

// A new cleared record: INDEX = index, PARENT = inContainer, CONTAINER =
// container, DATA = userData (not copied; it must be a memory block, which
// the record then owns), DATALENGTH = length, DATATYPE = dataType. Nil when
// no memory is left.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowNewNode(void* userData, SInt32 length, UInt32 dataType, SInt32 index,
                                                SInt32 inContainer, Boolean container);
// Frees the payload block and the record (each only when it is a live memory
// block) without calling RELEASE.
BRACKENROW_EXPORT void BrackenrowReleaseNode(NodeInfoPtr node);
// Version 0, the given info, the node retain and release callbacks, no
// description: a node made with it owns its record.
BRACKENROW_EXPORT CFTreeContext BrackenrowContextCallbacks(void* info);
// A tree node owning the record; nil info gives a root.
BRACKENROW_EXPORT CFTreeRef BrackenrowCreateTree(void* info);
// The node's record; nil for a nil node or a root.
BRACKENROW_EXPORT NodeInfoPtr BrackenrowGetNode(CFTreeRef tree);
// The record's payload; nil when there is no record.
BRACKENROW_EXPORT void* BrackenrowGetNodeData(CFTreeRef tree);

}  // extern "C"
