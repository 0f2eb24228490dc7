// Trees of nodes. Each node carries an info pointer described by its
// context; a parent holds one reference to each of its children.
#pragma once

#include "CFBase.h"

typedef const void* (*CFTreeRetainCallBack)(const void* info);
typedef void (*CFTreeReleaseCallBack)(const void* info);
typedef CFStringRef (*CFTreeCopyDescriptionCallBack)(const void* info);

struct CFTreeContext {
  CFIndex version;
  void* info;
  CFTreeRetainCallBack retain;
  CFTreeReleaseCallBack release;
  CFTreeCopyDescriptionCallBack copyDescription;
};

// Called with each child node (a CFTreeRef) in sibling order.
typedef void (*CFTreeApplierFunction)(const void* value, void* context);

CFTypeID CFTreeGetTypeID();

// The context's retain runs on its info; a nil context gives a node without info.
CFTreeRef CFTreeCreate(CFAllocatorRef allocator, const CFTreeContext* context);

CFTreeRef CFTreeGetParent(CFTreeRef tree);
CFTreeRef CFTreeGetNextSibling(CFTreeRef tree);
CFTreeRef CFTreeGetFirstChild(CFTreeRef tree);
CFIndex CFTreeGetChildCount(CFTreeRef tree);
// Nil when idx is out of range.
CFTreeRef CFTreeGetChildAtIndex(CFTreeRef tree, CFIndex idx);
// children must hold GetChildCount entries (not retained).
void CFTreeGetChildren(CFTreeRef tree, CFTreeRef* children);
void CFTreeApplyFunctionToChildren(CFTreeRef tree, CFTreeApplierFunction applier, void* context);
CFTreeRef CFTreeFindRoot(CFTreeRef tree);

void CFTreeGetContext(CFTreeRef tree, CFTreeContext* context);
// Retains the new info (new context's retain), then releases the old info
// (old context's release). A nil context clears it.
void CFTreeSetContext(CFTreeRef tree, const CFTreeContext* context);

// The new child must have no parent; the parent retains it.
void CFTreeAppendChild(CFTreeRef tree, CFTreeRef newChild);
void CFTreePrependChild(CFTreeRef tree, CFTreeRef newChild);
// Inserts newSibling right after tree, under tree's parent (tree must have one).
void CFTreeInsertSibling(CFTreeRef tree, CFTreeRef newSibling);
// Detaches the node from its parent; the parent's reference is released, so a
// node nobody else retains is freed here.
void CFTreeRemove(CFTreeRef tree);
void CFTreeRemoveAllChildren(CFTreeRef tree);
// Stable sort of the children; the comparator receives two child CFTreeRefs.
void CFTreeSortChildren(CFTreeRef tree, CFComparatorFunction comparator, void* context);
