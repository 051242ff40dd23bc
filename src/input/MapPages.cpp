#include "input/MapPages.h"

#include <sys/mman.h>

#include <cstdint>

namespace korvane {

void MapPagesNow(void* begin, size_t bytes) {
  constexpr size_t kPageBytes = 4096, kSmallestBytes = 2 * kPageBytes;
  if (begin == nullptr || bytes < kSmallestBytes) return;
  const auto from = (reinterpret_cast<uintptr_t>(begin) + kPageBytes - 1) / kPageBytes * kPageBytes;
  const auto to = (reinterpret_cast<uintptr_t>(begin) + bytes) / kPageBytes * kPageBytes;
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}  // namespace korvane
