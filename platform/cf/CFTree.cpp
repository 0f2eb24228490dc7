#include "CFTree.h"

#include <new>
#include <vector>

#include "CFCollectionInternal.h"
#include "CFString.h"

namespace {

// Nodes whose parent was freed and whose reference still has to be dropped.
// Freeing a node only queues its children here; the outermost free drains the
// queue, so a tree of any depth is freed without recursion.
thread_local std::vector<__CFTree*> tPendingRelease;
thread_local bool tDraining = false;

const CFTreeContext kEmptyContext = {0, nullptr, nullptr, nullptr, nullptr};

}  // namespace

struct __CFTree : __CFRuntimeBase {
  __CFTree() : __CFRuntimeBase(kCFTypeIDTree) {}

  ~__CFTree() override {
    ReleaseInfo();
    for (__CFTree* c : children) {
      c->parent = nullptr;
      tPendingRelease.push_back(c);
    }
    children.clear();
    if (tDraining) return;
    tDraining = true;
    while (!tPendingRelease.empty()) {
      __CFTree* c = tPendingRelease.back();
      tPendingRelease.pop_back();
      CFRelease(static_cast<__CFRuntimeBase*>(c));
    }
    tDraining = false;
  }

  void ReleaseInfo() {
    CFTreeContext old = context;
    context = kEmptyContext;
    if (old.release) old.release(old.info);
  }

  // Sets the context, retaining the new info before releasing the old.
  void Assign(const CFTreeContext* ctx) {
    CFTreeContext incoming = ctx ? *ctx : kEmptyContext;
    if (incoming.retain) incoming.info = const_cast<void*>(incoming.retain(incoming.info));
    CFTreeContext old = context;
    context = incoming;
    if (old.release) old.release(old.info);
  }

  void Renumber(size_t from) {
    for (size_t i = from; i < children.size(); ++i) children[i]->indexInParent = i;
  }

  // The parent takes its reference to child.
  void Adopt(__CFTree* child, size_t at) {
    CFRetain(static_cast<__CFRuntimeBase*>(child));
    child->parent = this;
    children.insert(children.begin() + CFIndex(at), child);
    Renumber(at);
  }

  std::string Describe() const override {
    std::string s = "<CFTree " + __CFAddressText(this) + ">{children = " +
                    std::to_string(children.size()) + ", context = ";
    if (context.copyDescription != nullptr)
      s += __CFDescribeElement(context.info, context.copyDescription);
    else
      s += "<CFTree context " + __CFAddressText(context.info) + ">";
    return s + "}";
  }

  CFTreeContext context = kEmptyContext;
  __CFTree* parent = nullptr;
  std::vector<__CFTree*> children;
  size_t indexInParent = 0;
};

namespace {

__CFTree* TreeOf(CFTypeRef t, const char* fn) { return __CFCheckedCast<__CFTree>(t, kCFTypeIDTree, fn); }

CFTreeRef AsRef(__CFTree* t) { return t; }

__CFTree* RootOf(__CFTree* t) {
  while (t->parent != nullptr) t = t->parent;
  return t;
}

// A node can be attached under `place` only when it is a root and `place` is
// not inside it (which would make a cycle).
bool CanAttach(__CFTree* place, __CFTree* node, const char* fn) {
  if (node->parent != nullptr) {
    __CFCollectionDiag(fn, "the node already has a parent, not attached");
    return false;
  }
  // A childless node can only be its own ancestor by being `place` itself, so
  // building a deep tree one leaf at a time needs no walk to the root.
  bool cycle = node->children.empty() ? place == node : RootOf(place) == node;
  if (cycle) {
    __CFCollectionDiag(fn, "the node would become its own descendant, not attached");
    return false;
  }
  return true;
}

}  // namespace

CFTypeID CFTreeGetTypeID() { return kCFTypeIDTree; }

CFTreeRef CFTreeCreate(CFAllocatorRef, const CFTreeContext* context) {
  auto* t = new (std::nothrow) __CFTree();
  if (t == nullptr) return nullptr;
  t->Assign(context);
  return AsRef(t);
}

CFTreeRef CFTreeGetParent(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeGetParent");
  return t ? t->parent : nullptr;
}

CFTreeRef CFTreeGetNextSibling(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeGetNextSibling");
  if (t == nullptr || t->parent == nullptr) return nullptr;
  size_t next = t->indexInParent + 1;
  return next < t->parent->children.size() ? t->parent->children[next] : nullptr;
}

CFTreeRef CFTreeGetFirstChild(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeGetFirstChild");
  return t && !t->children.empty() ? t->children.front() : nullptr;
}

CFIndex CFTreeGetChildCount(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeGetChildCount");
  return t ? CFIndex(t->children.size()) : 0;
}

CFTreeRef CFTreeGetChildAtIndex(CFTreeRef tree, CFIndex idx) {
  __CFTree* t = TreeOf(tree, "CFTreeGetChildAtIndex");
  if (t == nullptr || idx < 0 || size_t(idx) >= t->children.size()) return nullptr;
  return t->children[size_t(idx)];
}

void CFTreeGetChildren(CFTreeRef tree, CFTreeRef* children) {
  __CFTree* t = TreeOf(tree, "CFTreeGetChildren");
  if (t == nullptr || children == nullptr) return;
  for (size_t i = 0; i < t->children.size(); ++i) children[i] = t->children[i];
}

void CFTreeApplyFunctionToChildren(CFTreeRef tree, CFTreeApplierFunction applier, void* context) {
  __CFTree* t = TreeOf(tree, "CFTreeApplyFunctionToChildren");
  if (t == nullptr || applier == nullptr) return;
  // The children as they are now, each kept alive for its call, so an applier
  // may remove or free the child it is given.
  std::vector<__CFTree*> snapshot = t->children;
  for (__CFTree* c : snapshot) CFRetain(static_cast<__CFRuntimeBase*>(c));
  for (__CFTree* c : snapshot) applier(c, context);
  for (__CFTree* c : snapshot) CFRelease(static_cast<__CFRuntimeBase*>(c));
}

CFTreeRef CFTreeFindRoot(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeFindRoot");
  return t ? RootOf(t) : nullptr;
}

void CFTreeGetContext(CFTreeRef tree, CFTreeContext* context) {
  __CFTree* t = TreeOf(tree, "CFTreeGetContext");
  if (t == nullptr || context == nullptr) return;
  *context = t->context;
}

void CFTreeSetContext(CFTreeRef tree, const CFTreeContext* context) {
  __CFTree* t = TreeOf(tree, "CFTreeSetContext");
  if (t) t->Assign(context);
}

void CFTreeAppendChild(CFTreeRef tree, CFTreeRef newChild) {
  __CFTree* t = TreeOf(tree, "CFTreeAppendChild");
  __CFTree* c = TreeOf(newChild, "CFTreeAppendChild");
  if (t == nullptr || c == nullptr || !CanAttach(t, c, "CFTreeAppendChild")) return;
  t->Adopt(c, t->children.size());
}

void CFTreePrependChild(CFTreeRef tree, CFTreeRef newChild) {
  __CFTree* t = TreeOf(tree, "CFTreePrependChild");
  __CFTree* c = TreeOf(newChild, "CFTreePrependChild");
  if (t == nullptr || c == nullptr || !CanAttach(t, c, "CFTreePrependChild")) return;
  t->Adopt(c, 0);
}

void CFTreeInsertSibling(CFTreeRef tree, CFTreeRef newSibling) {
  __CFTree* t = TreeOf(tree, "CFTreeInsertSibling");
  __CFTree* s = TreeOf(newSibling, "CFTreeInsertSibling");
  if (t == nullptr || s == nullptr) return;
  if (t->parent == nullptr) {
    __CFCollectionDiag("CFTreeInsertSibling", "a root has no siblings, not attached");
    return;
  }
  if (!CanAttach(t, s, "CFTreeInsertSibling")) return;
  t->parent->Adopt(s, t->indexInParent + 1);
}

void CFTreeRemove(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeRemove");
  if (t == nullptr || t->parent == nullptr) return;
  __CFTree* p = t->parent;
  size_t at = t->indexInParent;
  p->children.erase(p->children.begin() + CFIndex(at));
  p->Renumber(at);
  t->parent = nullptr;
  t->indexInParent = 0;
  CFRelease(static_cast<__CFRuntimeBase*>(t));
}

void CFTreeRemoveAllChildren(CFTreeRef tree) {
  __CFTree* t = TreeOf(tree, "CFTreeRemoveAllChildren");
  if (t == nullptr) return;
  std::vector<__CFTree*> old;
  old.swap(t->children);
  for (__CFTree* c : old) {
    c->parent = nullptr;
    c->indexInParent = 0;
  }
  for (__CFTree* c : old) CFRelease(static_cast<__CFRuntimeBase*>(c));
}

void CFTreeSortChildren(CFTreeRef tree, CFComparatorFunction comparator, void* context) {
  __CFTree* t = TreeOf(tree, "CFTreeSortChildren");
  if (t == nullptr || comparator == nullptr || t->children.size() < 2) return;
  std::vector<const void*> order(t->children.begin(), t->children.end());
  __CFMergeSort(order.data(), CFIndex(order.size()), comparator, context);
  if (order.size() != t->children.size()) return;  // the comparator changed the tree
  for (size_t i = 0; i < order.size(); ++i)
    t->children[i] = static_cast<__CFTree*>(const_cast<void*>(order[i]));
  t->Renumber(0);
}
