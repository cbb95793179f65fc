// Freed page buffers stay in the process for the next page.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
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
// The range asked for large pages is marked for them (VmFlags "hg" in the
// process's map), where the system has them at all.
TEST(PlatformMemory, LargePagesAreAskedForTheWholeLargePagesOfABuffer) {
  std::string setting;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), setting);
  if (setting.empty() || setting.find("[never]") != std::string::npos) GTEST_SKIP() << "no large pages here";
  std::string page;
  page.reserve(8u << 20);
  PreferLargePages(page.data(), page.capacity());
  page.assign(8u << 20, 'p');
  const auto at = reinterpret_cast<std::uintptr_t>(page.data());
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
