#include "platform/memory.h"

#include <climits>
#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
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

void PreferLargePages(void* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (at + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t end = (at + size) & ~(kLarge - 1);
  if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace tersify::platform
