// Memory-block helpers. Sizes come from the block registry, so no helper
// reads or writes past the end of a block it can recognise.
#include <algorithm>
#include <cstring>

#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

Ptr AsPtr(const void* p) { return static_cast<Ptr>(const_cast<void*>(p)); }

// The bytes that can be read at source + offset: all of count for foreign
// memory, at most what is left of the block for a block.
Size Readable(const void* source, Size offset, Size count) {
  if (!IsPointerValid(AsPtr(source))) return count;
  const Size size = GetPtrSize(AsPtr(source));
  return offset >= size ? 0 : std::min(count, size - offset);
}

// A new block of count bytes holding what can be read at source + offset;
// the rest (past the end of a source block) is zero.
Ptr NewBlockFrom(const void* source, Size offset, Size count) {
  if (count < 0 || offset < 0 || (source == nullptr && count > 0)) return nullptr;
  const Size readable = count > 0 ? Readable(source, offset, count) : 0;
  Ptr block = readable < count ? NewPtrClear(count) : NewPtr(count);
  if (block != nullptr && readable > 0) std::memcpy(block, static_cast<const char*>(source) + offset, readable);
  return block;
}

}  // namespace

Boolean IsPointerAllocated(const void* p) { return p != nullptr && IsPointerValid(AsPtr(p)); }

Boolean IsObjectValid(const void* p) { return p != nullptr; }

Ptr NewPtrCopy(const void* source, Size size) { return NewBlockFrom(source, 0, size); }

Ptr NewPtrCopyRange(const void* source, Size offset, Size count) { return NewBlockFrom(source, offset, count); }

Ptr CopyPointer(const void* block) {
  if (!IsPointerAllocated(block)) return nullptr;
  return NewBlockFrom(block, 0, GetPtrSize(AsPtr(block)));
}

Ptr CloneObject(const void* block) { return CopyPointer(block); }

void SwapPointer(void*& p, Size size) {
  if (p == nullptr || size < 0 || IsPointerValid(AsPtr(p))) return;
  if (Ptr block = NewPtrCopy(p, size)) p = block;
}

void WriteByteRange(void* dest, const void* source, Size offset, Size count) {
  if (dest == nullptr || source == nullptr || count <= 0) return;
  const Size at = offset > 1 ? offset : 0;
  if (IsPointerValid(AsPtr(dest))) {
    const Size size = GetPtrSize(AsPtr(dest));
    if (at >= size) return;
    count = std::min(count, size - at);
  }
  count = Readable(source, 0, count);
  if (count > 0) std::memmove(static_cast<char*>(dest) + at, source, size_t(count));
}

void CopyByteRange(const void* source, Size offset, Size count, void* dest) {
  if (source == nullptr || dest == nullptr || count <= 0 || !IsPointerValid(AsPtr(source))) return;
  const Size at = offset > 1 ? offset : 0;
  count = Readable(source, at, count);
  if (IsPointerValid(AsPtr(dest))) count = std::min(count, GetPtrSize(AsPtr(dest)));
  if (count > 0) std::memmove(dest, static_cast<const char*>(source) + at, size_t(count));
}

void ReleasePtr(void*& p) {
  if (!IsPointerAllocated(p)) return;
  DisposePtr(AsPtr(p));
  p = nullptr;
}

void ReleaseHandle(Handle& h) {
  if (h == nullptr || !IsHandleValid(h)) return;
  DisposeHandle(h);
  h = nullptr;
}
