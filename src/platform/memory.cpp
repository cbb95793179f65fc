#include "platform/memory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tersify::platform {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Buffers of up to 32 MB (the most the library allows here) come from the
  // heap, and up to 64 MB of freed heap stays in the process. Larger pages
  // still get mappings of their own, which are returned when freed, so
  // several jobs on huge pages do not leave holes that make the heap grow.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

#if defined(__linux__)
namespace {

// The part of [data, data + size) made of whole units of `unit` bytes.
std::pair<void*, std::size_t> Inside(void* data, std::size_t size, std::uintptr_t unit) {
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (at + unit - 1) & ~(unit - 1);
  const std::uintptr_t end = (at + size) & ~(unit - 1);
  return {reinterpret_cast<void*>(begin), end > begin ? end - begin : 0};
}

}  // namespace
#endif

void MapForWriting(void* data, std::size_t size, std::size_t mapped) {
#if defined(__linux__)
#if defined(MADV_HUGEPAGE)
  if (const auto [begin, length] = Inside(data, size, std::uintptr_t{2} << 20); length > 0)
    (void)madvise(begin, length, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
  // Before 5.14 the kernel refuses the advice, and the pages come one by one.
  const std::size_t now = std::min(size, mapped);
  if (const auto [begin, length] = Inside(data, now, static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE))); length > 0)
    (void)madvise(begin, length, MADV_POPULATE_WRITE);
#endif
#else
  (void)data;
  (void)size;
  (void)mapped;
#endif
}

}  // namespace tersify::platform
