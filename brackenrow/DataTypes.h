// DataTypes: the node record of the tree model and the host callback types.
#pragma once

#include "CFBase.h"
#include "CFTree.h"
#include "MacTypes.h"

// Called when a node's record is freed, to free what the payload refers to
// (never the payload block itself).
typedef void (*BrackenrowNodeReleaseCallback)(void* data, UInt32 dataType, void* context);

// One record per tree node, owned by that node. The stored form of the record
// is a fixed 32-byte big-endian header (DiskUtilities); in memory the
// pointer fields have the host's width.
struct NodeInfo {
  SInt32 INDEX;        // item identifier, unique within one tree; 0 = none
  SInt32 PARENT;       // INDEX of the parent when the node was made; 0 = top level
  SInt16 GROUP;        // group number (identifiers are grouped by 10000)
  Boolean CONTAINER;   // shows a disclosure triangle even when empty
  Boolean OPEN;        // the container was last seen open
  UInt32 DATATYPE;     // four-character type of the payload, the host's choice
  void* DATA;          // the payload: a memory block owned by the node
  SInt32 DATALENGTH;   // payload length as the host gave it
  BrackenrowNodeReleaseCallback RELEASE;  // may be nil
  void* CONTEXT;       // handed to RELEASE
};
typedef NodeInfo* NodeInfoPtr;

// Identifiers of a group g > 0 live in the block g * kGroupIndexShift + 1 ...
enum : SInt32 { kGroupIndexShift = 10000 };

// Byte order conversion of one payload in place; direction 1 converts for
// storage (the same type as the foundation's, redeclared identically here so
// the exported header stands alone).
typedef void (*ByteSwapperCallback)(void* data, SInt16 direction, void* context);

typedef void (*TreeApplierFunction)(CFTreeRef tree, NodeInfoPtr node, void* context);
// data is the node's payload.
typedef Boolean (*TreeCompareCallback)(CFTreeRef tree, void* query, NodeInfoPtr node, void* data, void* context);

// Translates a payload on its way to (direction 1) or from (direction 2) the
// property-list form: returns a new memory block that replaces the bytes and
// sets length to its length, or nil to keep the bytes as they are.
typedef void* (*TreeTranslateCallback)(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length,
                                       void* context);

// The state of one conversion of a tree into its property-list form.
struct ConvertTreeContext {
  CFMutableArrayRef PROPERTYLIST;
  TreeTranslateCallback TRANSLATE;
  void* USERCONTEXT;
};
typedef ConvertTreeContext* ConvertTreeContextPtr;
