// Large buffers (a file's bytes, its decoded text) asked of the system in
// huge pages where it gives them on request: touched page by page, 20 MB
// stops at five thousand page faults, which on a virtual machine cost more
// than the work done on the text. Advice only; the block works the same
// without it, and small blocks are left alone.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

inline void AdviseLargeBlock(const void* start, size_t bytes) {
  constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
  if (start == nullptr || bytes < 2 * kHugePage) return;
  const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}
