#include "platform/memory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tersify::platform {

namespace {
// Buffers up to this size come from the heap once KeepFreedMemoryForReuse ran.
constexpr std::size_t kHeapBufferLimit = std::size_t{32} << 20;
}  // namespace

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Buffers of up to 32 MB (the most the library allows here) come from the
  // heap, and up to 64 MB of freed heap stays in the process. Larger pages
  // still get mappings of their own, which are returned when freed, so
  // several jobs on huge pages do not leave holes that make the heap grow.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kHeapBufferLimit));
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

constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
// Buffers from this size on are mapped by two threads.
constexpr std::size_t kSplitMapping = std::size_t{16} << 20;

// The part of [data, data + size) made of whole units of `unit` bytes.
std::pair<void*, std::size_t> Inside(void* data, std::size_t size, std::uintptr_t unit) {
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (at + unit - 1) & ~(unit - 1);
  const std::uintptr_t end = (at + size) & ~(unit - 1);
  return {reinterpret_cast<void*>(begin), end > begin ? end - begin : 0};
}

}  // namespace
#endif

LargePageRoom::LargePageRoom(std::size_t bytes) {
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_HUGEPAGE)
  // A block below the mapping threshold grows the heap; freed, it joins the
  // heap's free end, which keeps the mark (the trim threshold keeps it in the
  // process) and is where the next buffers are carved from, once the head
  // before its first large page is taken. One large page more is asked for,
  // which that head takes.
  if (bytes == 0) return;
  bytes = std::min(bytes + kLargePage, kHeapBufferLimit - kLargePage);
  void* block = std::malloc(bytes);
  if (block == nullptr) return;
  const auto [begin, length] = Inside(block, bytes, kLargePage);
  if (length > 0) (void)madvise(begin, length, MADV_HUGEPAGE);
  const std::size_t head = static_cast<std::size_t>(static_cast<char*>(begin) - static_cast<char*>(block));
  std::free(block);
  // The head, less the size field the library puts before the next block.
  if (length > 0 && head > 4 * sizeof(std::size_t)) head_ = std::malloc(head - 2 * sizeof(std::size_t));
#else
  (void)bytes;
#endif
}

LargePageRoom::~LargePageRoom() { std::free(head_); }

void MapForWriting(void* data, std::size_t size, std::size_t mapped) {
#if defined(__linux__)
#if defined(MADV_HUGEPAGE)
  if (const auto [begin, length] = Inside(data, size, kLargePage); length > 0)
    (void)madvise(begin, length, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
  // Before 5.14 the kernel refuses the advice, and the pages come one by one.
  const std::size_t now = std::min(size, mapped);
  const std::pair<void*, std::size_t> pages = Inside(data, now, static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)));
  char* const low = static_cast<char*>(pages.first);
  const std::size_t length = pages.second;
  if (length == 0) return;
  // The kernel clears every new page; on a virtual machine whose host has not
  // backed the memory yet that runs at a few hundred MB/s. A buffer of many
  // megabytes is therefore mapped from both ends at once where a second core
  // can take the upper half (cut on a large page, which is cleared whole).
  const std::size_t half = ((reinterpret_cast<std::uintptr_t>(low) + length / 2) & ~(kLargePage - 1)) -
                           reinterpret_cast<std::uintptr_t>(low);
  if (length >= kSplitMapping && half > 0 && half < length && std::thread::hardware_concurrency() >= 2) {
    try {
      std::thread upper([low, half, length] { (void)madvise(low + half, length - half, MADV_POPULATE_WRITE); });
      (void)madvise(low, half, MADV_POPULATE_WRITE);
      upper.join();
      return;
    } catch (const std::system_error&) {
      // No thread to be had: all of it here.
    }
  }
  (void)madvise(low, length, MADV_POPULATE_WRITE);
#endif
#else
  (void)data;
  (void)size;
  (void)mapped;
#endif
}

}  // namespace tersify::platform
