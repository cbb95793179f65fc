#include "platform/memory.h"

#include <climits>

#if defined(__GLIBC__)
#include <malloc.h>
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

}  // namespace tersify::platform
