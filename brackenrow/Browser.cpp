// Browser: node records and the tree nodes that own them.
#include "brackenrow/Brackenrow.h"

#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

// There is no reference count on a record: the one tree node holding it owns it.
const void* NodeRetainCallback(const void* info) { return info; }

// Runs when the owning tree node is freed.
void NodeReleaseCallback(const void* info) {
  auto* node = static_cast<NodeInfoPtr>(const_cast<void*>(info));
  // A record that is not a live block is nobody's to free, and its fields
  // cannot be trusted.
  if (node == nullptr || !IsPointerValid(reinterpret_cast<Ptr>(node))) return;
  if (node->RELEASE != nullptr && node->DATA != nullptr && IsPointerValid(static_cast<Ptr>(node->DATA)))
    node->RELEASE(node->DATA, node->DATATYPE, node->CONTEXT);
  BrackenrowReleaseNode(node);
}

}  // namespace

NodeInfoPtr BrackenrowNewNode(void* userData, SInt32 length, UInt32 dataType, SInt32 index, SInt32 inContainer,
                              Boolean container) {
  auto node = reinterpret_cast<NodeInfoPtr>(NewPtrClear(sizeof(NodeInfo)));
  if (node == nullptr) return nullptr;
  node->INDEX = index;
  node->PARENT = inContainer;
  node->CONTAINER = container ? 1 : 0;
  node->OPEN = 0;
  node->DATA = userData;
  node->DATALENGTH = length;
  node->DATATYPE = dataType;
  return node;
}

void BrackenrowReleaseNode(NodeInfoPtr node) {
  if (node == nullptr || !IsPointerValid(reinterpret_cast<Ptr>(node))) return;
  ReleasePtr(node->DATA);  // only a live block is freed
  ReleasePtr(node);
}

CFTreeContext BrackenrowContextCallbacks(void* info) {
  CFTreeContext context;
  context.version = 0;
  context.info = info;
  context.retain = NodeRetainCallback;
  context.release = NodeReleaseCallback;
  context.copyDescription = nullptr;
  return context;
}

CFTreeRef BrackenrowCreateTree(void* info) {
  CFTreeContext context = BrackenrowContextCallbacks(info);
  return CFTreeCreate(nullptr, &context);
}

NodeInfoPtr BrackenrowGetNode(CFTreeRef tree) {
  if (tree == nullptr) return nullptr;
  CFTreeContext context = {};
  CFTreeGetContext(tree, &context);
  return static_cast<NodeInfoPtr>(context.info);
}

void* BrackenrowGetNodeData(CFTreeRef tree) {
  NodeInfoPtr node = BrackenrowGetNode(tree);
  return node ? node->DATA : nullptr;
}
