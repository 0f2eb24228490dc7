// Memory Manager over the C heap. One registry, shared by every thread and
// every library of the process, records each live block (address -> size and
// kind) and each live handle; validity tests are look-ups in it and never read
// the memory they are asked about.
#include "MacMemory.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

// Larger requests fail as memFullErr without reaching the allocator (which
// may abort on absurd sizes under the sanitizers).
constexpr Size kMaxBlockSize = Size(1) << 40;

enum class Kind : UInt8 { kPointer, kHandleContents };

struct Block {
  Size size;
  Kind kind;
};

struct HandleState {
  SInt8 flags;
};

// Live blocks by address: an open-addressed table, so that listing a block
// costs no allocation of its own (an index makes a few blocks for every
// symbol it finds, hundreds of thousands of them).
class BlockTable {
 public:
  Block& operator[](const void* p) {
    if ((count_ + 1) * 4 > keys_.size() * 3) Grow();
    size_t i = Home(p);
    for (; keys_[i] != nullptr; i = (i + 1) & mask_)
      if (keys_[i] == p) return blocks_[i];
    keys_[i] = p;
    blocks_[i] = Block{};
    ++count_;
    return blocks_[i];
  }
  Block* find(const void* p) {
    if (count_ == 0) return nullptr;
    for (size_t i = Home(p); keys_[i] != nullptr; i = (i + 1) & mask_)
      if (keys_[i] == p) return &blocks_[i];
    return nullptr;
  }
  void erase(const void* p) {
    if (count_ == 0) return;
    size_t i = Home(p);
    for (;; i = (i + 1) & mask_) {
      if (keys_[i] == nullptr) return;
      if (keys_[i] == p) break;
    }
    // Later entries of the run move back, so that no probe stops short.
    keys_[i] = nullptr;
    --count_;
    for (size_t j = (i + 1) & mask_; keys_[j] != nullptr; j = (j + 1) & mask_) {
      const size_t home = Home(keys_[j]);
      const bool stays = (i < j) ? (home > i && home <= j) : (home > i || home <= j);
      if (stays) continue;
      keys_[i] = keys_[j];
      blocks_[i] = blocks_[j];
      keys_[j] = nullptr;
      i = j;
    }
  }

 private:
  size_t Home(const void* p) const {
    const UInt64 h = (UInt64(reinterpret_cast<uintptr_t>(p)) >> 4) * 0x9E3779B97F4A7C15ull;
    return size_t(h >> 20) & mask_;
  }
  void Grow() {
    std::vector<const void*> keys;
    std::vector<Block> blocks;
    keys.swap(keys_);
    blocks.swap(blocks_);
    const size_t size = keys.empty() ? 1024 : keys.size() * 2;
    keys_.assign(size, nullptr);
    blocks_.assign(size, Block{});
    mask_ = size - 1;
    for (size_t k = 0; k < keys.size(); ++k) {
      if (keys[k] == nullptr) continue;
      size_t i = Home(keys[k]);
      while (keys_[i] != nullptr) i = (i + 1) & mask_;
      keys_[i] = keys[k];
      blocks_[i] = blocks[k];
    }
  }
  std::vector<const void*> keys_;
  std::vector<Block> blocks_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

struct Registry {
  std::mutex lock;
  BlockTable blocks;
  std::unordered_map<const void*, HandleState> handles;
};

Registry& TheRegistry() {
  // Never destroyed: blocks may be freed from static destructors of other
  // libraries after this unit's own statics are gone.
  static Registry* registry = new Registry;
  return *registry;
}

thread_local OSErr gMemErr = noErr;

inline void SetMemErr(OSErr err) { gMemErr = err; }

// A heap region of at least one byte, so that a zero-size block still has an
// address of its own.
void* AllocateRaw(Size byteCount, bool clear) {
  size_t n = byteCount > 0 ? size_t(byteCount) : 1;
  return clear ? std::calloc(1, n) : std::malloc(n);
}

OSErr CheckSize(Size byteCount) {
  if (byteCount < 0) return paramErr;
  if (byteCount > kMaxBlockSize) return memFullErr;
  return noErr;
}

Ptr NewBlock(Size byteCount, bool clear, Kind kind) {
  OSErr err = CheckSize(byteCount);
  if (err != noErr) {
    SetMemErr(err);
    return nullptr;
  }
  void* p = AllocateRaw(byteCount, clear);
  if (p == nullptr) {
    SetMemErr(memFullErr);
    return nullptr;
  }
  Registry& reg = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(reg.lock);
    reg.blocks[p] = Block{byteCount, kind};
  }
  SetMemErr(noErr);
  return static_cast<Ptr>(p);
}

// Caller holds the lock.
Block* FindBlock(Registry& reg, const void* p, Kind kind) {
  Block* b = reg.blocks.find(p);
  if (b == nullptr || b->kind != kind) return nullptr;
  return b;
}

HandleState* FindHandle(Registry& reg, Handle h) {
  auto it = reg.handles.find(h);
  return it == reg.handles.end() ? nullptr : &it->second;
}

inline bool IsLocked(const HandleState& st) { return (UInt8(st.flags) & kHandleLockedMask) != 0; }

}  // namespace

OSErr MemError() { return gMemErr; }

Ptr NewPtr(Size byteCount) { return NewBlock(byteCount, false, Kind::kPointer); }

Ptr NewPtrClear(Size byteCount) { return NewBlock(byteCount, true, Kind::kPointer); }

void DisposePtr(Ptr p) {
  if (p == nullptr) {
    SetMemErr(noErr);
    return;
  }
  Registry& reg = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(reg.lock);
    if (FindBlock(reg, p, Kind::kPointer) == nullptr) {
      SetMemErr(memWZErr);
      return;
    }
    // Leave the registry before the memory goes back to the heap, so that no
    // other thread can be handed the address while it is still listed.
    reg.blocks.erase(p);
  }
  std::free(p);
  SetMemErr(noErr);
}

Size GetPtrSize(Ptr p) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  Block* b = p ? FindBlock(reg, p, Kind::kPointer) : nullptr;
  if (b == nullptr) {
    SetMemErr(memWZErr);
    return 0;
  }
  SetMemErr(noErr);
  return b->size;
}

void SetPtrSize(Ptr p, Size newSize) {
  OSErr err = CheckSize(newSize);
  if (err != noErr) {
    SetMemErr(err);
    return;
  }
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  Block* b = p ? FindBlock(reg, p, Kind::kPointer) : nullptr;
  if (b == nullptr) {
    SetMemErr(memWZErr);
    return;
  }
  // Blocks are nonrelocatable: callers keep their addresses, so a block can
  // only grow into the slack the heap already gave it.
  if (newSize > b->size && size_t(newSize) > malloc_usable_size(p)) {
    SetMemErr(memFullErr);
    return;
  }
  b->size = newSize;
  SetMemErr(noErr);
}

Boolean IsPointerValid(Ptr p) {
  if (p == nullptr) return false;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  return FindBlock(reg, p, Kind::kPointer) != nullptr;
}

void BlockMoveData(const void* srcPtr, void* destPtr, Size byteCount) {
  if (srcPtr == nullptr || destPtr == nullptr || byteCount <= 0) return;
  std::memmove(destPtr, srcPtr, size_t(byteCount));
}

void BlockMove(const void* srcPtr, void* destPtr, Size byteCount) {
  BlockMoveData(srcPtr, destPtr, byteCount);
}

void BlockZero(void* destPtr, Size byteCount) {
  if (destPtr == nullptr || byteCount <= 0) return;
  std::memset(destPtr, 0, size_t(byteCount));
}

// Handles -------------------------------------------------------------------

namespace {

Handle NewHandleWith(Size byteCount, bool clear, bool empty) {
  Ptr contents = nullptr;
  if (!empty) {
    contents = NewBlock(byteCount, clear, Kind::kHandleContents);
    if (contents == nullptr) return nullptr;  // MemError set
  }
  auto* master = static_cast<Handle>(std::malloc(sizeof(Ptr)));
  if (master == nullptr) {
    if (contents) {
      Registry& reg = TheRegistry();
      std::lock_guard<std::mutex> guard(reg.lock);
      reg.blocks.erase(contents);
    }
    std::free(contents);
    SetMemErr(memFullErr);
    return nullptr;
  }
  *master = contents;
  Registry& reg = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(reg.lock);
    reg.handles[master] = HandleState{0};
  }
  SetMemErr(noErr);
  return master;
}

// Resizes the contents of a live handle; the caller holds the lock.
OSErr ResizeHandleLocked(Registry& reg, Handle h, const HandleState& st, Size newSize) {
  OSErr err = CheckSize(newSize);
  if (err != noErr) return err;
  Ptr old = *h;
  if (old == nullptr) {
    void* p = AllocateRaw(newSize, false);
    if (p == nullptr) return memFullErr;
    reg.blocks[p] = Block{newSize, Kind::kHandleContents};
    *h = static_cast<Ptr>(p);
    return noErr;
  }
  Block* b = FindBlock(reg, old, Kind::kHandleContents);
  if (b == nullptr) return memWZErr;  // the master pointer was overwritten
  if (newSize <= b->size || size_t(newSize) <= malloc_usable_size(old)) {
    b->size = newSize;
    return noErr;
  }
  // Growing past the slack moves the contents, which a locked handle forbids.
  if (IsLocked(st)) return memFullErr;
  // Unlist the old address first: once realloc has run it may be handed out
  // again at any moment.
  const Block saved = *b;
  reg.blocks.erase(old);
  void* p = std::realloc(old, size_t(newSize));
  if (p == nullptr) {
    reg.blocks[old] = saved;
    return memFullErr;
  }
  reg.blocks[p] = Block{newSize, Kind::kHandleContents};
  *h = static_cast<Ptr>(p);
  return noErr;
}

// Size of a live handle's contents; the caller holds the lock.
Size HandleSizeLocked(Registry& reg, Handle h) {
  if (*h == nullptr) return 0;
  Block* b = FindBlock(reg, *h, Kind::kHandleContents);
  return b ? b->size : 0;
}

}  // namespace

Handle NewHandle(Size byteCount) { return NewHandleWith(byteCount, false, false); }

Handle NewHandleClear(Size byteCount) { return NewHandleWith(byteCount, true, false); }

Handle NewEmptyHandle() { return NewHandleWith(0, false, true); }

void DisposeHandle(Handle h) {
  if (h == nullptr) {
    SetMemErr(nilHandleErr);
    return;
  }
  Ptr contents = nullptr;
  Registry& reg = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(reg.lock);
    if (FindHandle(reg, h) == nullptr) {
      SetMemErr(memWZErr);
      return;
    }
    reg.handles.erase(h);
    contents = *h;
    if (contents && FindBlock(reg, contents, Kind::kHandleContents)) {
      reg.blocks.erase(contents);
    } else {
      contents = nullptr;  // not ours to free
    }
  }
  std::free(contents);
  std::free(h);
  SetMemErr(noErr);
}

Size GetHandleSize(Handle h) {
  if (h == nullptr) {
    SetMemErr(nilHandleErr);
    return 0;
  }
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  if (FindHandle(reg, h) == nullptr) {
    SetMemErr(memWZErr);
    return 0;
  }
  if (*h == nullptr) {
    SetMemErr(nilHandleErr);
    return 0;
  }
  SetMemErr(noErr);
  return HandleSizeLocked(reg, h);
}

void SetHandleSize(Handle h, Size newSize) {
  if (h == nullptr) {
    SetMemErr(nilHandleErr);
    return;
  }
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  HandleState* st = FindHandle(reg, h);
  if (st == nullptr) {
    SetMemErr(memWZErr);
    return;
  }
  SetMemErr(ResizeHandleLocked(reg, h, *st, newSize));
}

void EmptyHandle(Handle h) {
  if (h == nullptr) {
    SetMemErr(nilHandleErr);
    return;
  }
  Ptr contents = nullptr;
  Registry& reg = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(reg.lock);
    HandleState* st = FindHandle(reg, h);
    if (st == nullptr) {
      SetMemErr(memWZErr);
      return;
    }
    if (IsLocked(*st)) {
      SetMemErr(memFullErr);  // someone may hold the contents' address
      return;
    }
    contents = *h;
    if (contents && FindBlock(reg, contents, Kind::kHandleContents)) reg.blocks.erase(contents);
    else contents = nullptr;
    *h = nullptr;
  }
  std::free(contents);
  SetMemErr(noErr);
}

SInt8 HGetState(Handle h) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  HandleState* st = h ? FindHandle(reg, h) : nullptr;
  if (st == nullptr) {
    SetMemErr(h ? memWZErr : nilHandleErr);
    return 0;
  }
  SetMemErr(noErr);
  return st->flags;
}

void HSetState(Handle h, SInt8 flags) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  HandleState* st = h ? FindHandle(reg, h) : nullptr;
  if (st == nullptr) {
    SetMemErr(h ? memWZErr : nilHandleErr);
    return;
  }
  st->flags = flags;
  SetMemErr(noErr);
}

namespace {

void ChangeHandleFlags(Handle h, UInt8 set, UInt8 clear) {
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  HandleState* st = h ? FindHandle(reg, h) : nullptr;
  if (st == nullptr) {
    SetMemErr(h ? memWZErr : nilHandleErr);
    return;
  }
  st->flags = SInt8((UInt8(st->flags) | set) & UInt8(~clear));
  SetMemErr(noErr);
}

}  // namespace

void HLock(Handle h) { ChangeHandleFlags(h, kHandleLockedMask, 0); }

void HUnlock(Handle h) { ChangeHandleFlags(h, 0, kHandleLockedMask); }

Boolean IsHandleValid(Handle h) {
  if (h == nullptr) return false;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  return FindHandle(reg, h) != nullptr;
}

// Copies and appends ---------------------------------------------------------

OSErr PtrToHand(const void* srcPtr, Handle* dstHndl, long size) {
  if (dstHndl == nullptr || (srcPtr == nullptr && size > 0)) {
    SetMemErr(paramErr);
    return paramErr;
  }
  Handle h = NewHandle(size);
  if (h == nullptr) return MemError();
  BlockMoveData(srcPtr, *h, size);
  *dstHndl = h;
  return noErr;
}

OSErr PtrAndHand(const void* ptr1, Handle hand2, long size) {
  if (hand2 == nullptr) {
    SetMemErr(nilHandleErr);
    return nilHandleErr;
  }
  if (size < 0 || (ptr1 == nullptr && size > 0)) {
    SetMemErr(paramErr);
    return paramErr;
  }
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> guard(reg.lock);
  HandleState* st = FindHandle(reg, hand2);
  if (st == nullptr) {
    SetMemErr(memWZErr);
    return memWZErr;
  }
  Size old = HandleSizeLocked(reg, hand2);
  if (size > kMaxBlockSize - old) {
    SetMemErr(memFullErr);
    return memFullErr;
  }
  // The source may lie inside the handle itself and move with it: take its
  // offset first.
  Ptr base = *hand2;
  bool inside = base && ptr1 >= base && static_cast<const char*>(ptr1) < base + old;
  ptrdiff_t offset = inside ? static_cast<const char*>(ptr1) - base : 0;
  OSErr err = ResizeHandleLocked(reg, hand2, *st, old + size);
  if (err == noErr) BlockMoveData(inside ? *hand2 + offset : ptr1, *hand2 + old, size);
  SetMemErr(err);
  return err;
}

OSErr HandToHand(Handle* theHndl) {
  if (theHndl == nullptr || *theHndl == nullptr) {
    SetMemErr(nilHandleErr);
    return nilHandleErr;
  }
  Handle src = *theHndl;
  Handle copy = nullptr;
  {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> guard(reg.lock);
    if (FindHandle(reg, src) == nullptr) {
      SetMemErr(memWZErr);
      return memWZErr;
    }
  }
  Size n = GetHandleSize(src);
  if (*src == nullptr) {
    copy = NewEmptyHandle();
  } else {
    copy = NewHandle(n);
    if (copy) BlockMoveData(*src, *copy, n);
  }
  if (copy == nullptr) return MemError();
  *theHndl = copy;
  return noErr;
}

OSErr HandAndHand(Handle hand1, Handle hand2) {
  if (hand1 == nullptr || hand2 == nullptr) {
    SetMemErr(nilHandleErr);
    return nilHandleErr;
  }
  if (!IsHandleValid(hand1)) {
    SetMemErr(memWZErr);
    return memWZErr;
  }
  Size n = GetHandleSize(hand1);
  if (n == 0) {
    // Nothing to append; still report on the destination.
    if (!IsHandleValid(hand2)) {
      SetMemErr(memWZErr);
      return memWZErr;
    }
    SetMemErr(noErr);
    return noErr;
  }
  // PtrAndHand copes with hand1 == hand2 (the source moving with the target).
  return PtrAndHand(*hand1, hand2, n);
}
