// Utilities: walks over a tree of node records. Trees read from files or
// grown by hosts can be thousands of levels deep, so every walk follows the
// parent and sibling links instead of recursing.
#include "brackenrow/Brackenrow.h"

#include "CFArray.h"
#include "CFData.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

CFTreeRef DeepestFirstChild(CFTreeRef node) {
  for (CFTreeRef child = CFTreeGetFirstChild(node); child != nullptr; child = CFTreeGetFirstChild(node))
    node = child;
  return node;
}

// The node after `node` in a walk of top's descendants that visits a
// container before its children; nil at the end. Without descend the
// children of `node` are skipped.
CFTreeRef NextInPreOrder(CFTreeRef node, CFTreeRef top, bool descend) {
  if (descend) {
    if (CFTreeRef child = CFTreeGetFirstChild(node)) return child;
  }
  while (node != nullptr && node != top) {
    if (CFTreeRef sibling = CFTreeGetNextSibling(node)) return sibling;
    node = CFTreeGetParent(node);
  }
  return nullptr;
}

}  // namespace

CFTreeRef CFTreeRecurseGetChildAtIndex(CFTreeRef tree, SInt32 index) {
  if (tree == nullptr || index == 0 || CFTreeGetChildCount(tree) == 0) return tree;
  // Children first: each node is tested after all of its descendants.
  CFTreeRef node = DeepestFirstChild(CFTreeGetFirstChild(tree));
  while (node != nullptr && node != tree) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record != nullptr && record->INDEX == index) return node;
    if (CFTreeRef sibling = CFTreeGetNextSibling(node))
      node = DeepestFirstChild(sibling);
    else
      node = CFTreeGetParent(node);
  }
  return tree;
}

CFTreeRef BrackenrowSearch(CFTreeRef tree, TreeCompareCallback compare, void* query, void* context) {
  if (tree == nullptr || compare == nullptr) return nullptr;
  for (CFTreeRef node = CFTreeGetFirstChild(tree); node != nullptr; node = NextInPreOrder(node, tree, true)) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record != nullptr && record->DATA != nullptr && compare(node, query, record, record->DATA, context))
      return node;
  }
  return nullptr;
}

void CFTreeApplyFunctionToAllChildren(CFTreeRef tree, TreeApplierFunction applier, Boolean recurse,
                                      void* context) {
  if (tree == nullptr || applier == nullptr) return;
  CFTreeRef node = CFTreeGetFirstChild(tree);
  while (node != nullptr) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record != nullptr) {
      // The node stays alive through the call even if the applier removes it;
      // a removed node has no place left to continue from, so the walk ends.
      CFTreeRef parent = CFTreeGetParent(node);
      CFRetain(node);
      applier(node, record, context);
      bool detached = CFTreeGetParent(node) != parent;
      CFTreeRef next = detached ? nullptr : NextInPreOrder(node, tree, recurse);
      CFRelease(node);
      node = next;
    } else {
      node = NextInPreOrder(node, tree, recurse);
    }
  }
}

namespace {

struct ArrayCopyState {
  CFMutableArrayRef array;
  ByteSwapperCallback swapper;
  void* context;
};

void AppendPayloadCopy(CFTreeRef, NodeInfoPtr node, void* context) {
  auto* state = static_cast<ArrayCopyState*>(context);
  Ptr payload = static_cast<Ptr>(node->DATA);
  // Only a live block can be sized; anything else contributes no bytes.
  Size size = IsPointerValid(payload) ? GetPtrSize(payload) : 0;
  CFDataRef data = nullptr;
  if (state->swapper != nullptr && size > 0) {
    Ptr copy = NewPtrCopy(payload, size);
    if (copy == nullptr) return;
    state->swapper(copy, 1, state->context);
    data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(copy), size);
    ReleasePtr(copy);
  } else {
    data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(payload), size);
  }
  if (data == nullptr) return;
  CFArrayAppendValue(state->array, data);
  CFRelease(data);
}

}  // namespace

CFArrayRef CFTreeCreateArrayCopy(CFTreeRef tree, ByteSwapperCallback swapper, void* context) {
  ArrayCopyState state{CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks), swapper, context};
  if (state.array == nullptr) return nullptr;
  CFTreeApplyFunctionToAllChildren(tree, AppendPayloadCopy, true, &state);
  if (CFArrayGetCount(state.array) == 0) {
    CFRelease(state.array);
    return nullptr;
  }
  return state.array;
}
