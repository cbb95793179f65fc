// Freed page buffers stay in the process for the next page; page buffers are
// mapped in one go.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tersify::platform {
namespace {

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
TEST(PlatformMemory, PageBuffersComeFromTheHeapAndAreReusedHugeOnesAreMapped) {
  KeepFreedMemoryForReuse();
  const std::size_t size = 16u << 20;  // above the library's usual mapping threshold
  std::size_t mappedWhileHeld = 0;
  const void* first = nullptr;
  {
    std::string page(size, 'a');
    mappedWhileHeld = mallinfo2().hblkhd;
    first = page.data();
  }
  EXPECT_EQ(mappedWhileHeld, 0u) << "the buffer got a mapping of its own";
  std::string next(size, 'b');
  EXPECT_EQ(static_cast<const void*>(next.data()), first) << "the freed buffer was not reused";
  // A huge page gets a mapping, which goes back to the system when freed.
  {
    std::string huge(48u << 20, 'c');
    EXPECT_GE(mallinfo2().hblkhd, 48u << 20);
  }
  EXPECT_EQ(mallinfo2().hblkhd, 0u);
  ReturnFreedMemory();
}
#endif

#if defined(__linux__)
// Before anything is written, every page of the buffer is in memory, and its
// whole large pages are marked for large pages (VmFlags "hg" in the process's
// map), where the system has them at all.
TEST(PlatformMemory, ABufferMappedForWritingIsInMemoryAndAskedForLargePages) {
  std::string page;
  page.reserve(8u << 20);
  MapForWriting(page.data(), page.capacity());
  const auto at = reinterpret_cast<std::uintptr_t>(page.data());
  const auto small = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = (at + small - 1) & ~(small - 1);
  const std::uintptr_t last = (at + page.capacity()) & ~(small - 1);
  std::vector<unsigned char> resident((last - first) / small);
  ASSERT_EQ(mincore(reinterpret_cast<void*>(first), last - first, resident.data()), 0);
  std::size_t in = 0;
  for (unsigned char r : resident) in += r & 1u;
  EXPECT_EQ(in, resident.size());

  std::string setting;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), setting);
  if (setting.empty() || setting.find("[never]") != std::string::npos) GTEST_SKIP() << "no large pages here";
  page.assign(8u << 20, 'p');
  const std::uintptr_t inside = ((at + (2u << 20) - 1) & ~std::uintptr_t{(2u << 20) - 1}) + 4096;
  std::ifstream maps("/proc/self/smaps");
  std::string line;
  bool inRange = false, marked = false;
  while (std::getline(maps, line)) {
    std::uintptr_t lo = 0, hi = 0;
    if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR, &lo, &hi) == 2) inRange = lo <= inside && inside < hi;
    if (inRange && line.rfind("VmFlags:", 0) == 0) marked = line.find(" hg") != std::string::npos;
  }
  EXPECT_TRUE(marked);
}
#endif

TEST(PlatformMemory, ReturningFreedMemoryLeavesLiveBuffersIntact) {
  std::string held(1u << 20, 'x');
  ReturnFreedMemory();
  EXPECT_EQ(held, std::string(1u << 20, 'x'));
}

}  // namespace
}  // namespace tersify::platform
