#include "platform/memory.h"

#include <climits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tersify::platform {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Large buffers come from the heap rather than from mappings of their own,
  // and the heap is not shrunk when they are freed.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace tersify::platform
