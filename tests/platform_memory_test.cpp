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
bool LargePagesOffered() {
  std::string setting;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), setting);
  return !setting.empty() && setting.find("[never]") == std::string::npos;
}

// Whether the mapping that holds `at` is marked for large pages (VmFlags "hg"
// in the process's map).
bool MarkedForLargePages(std::uintptr_t at) {
  std::ifstream maps("/proc/self/smaps");
  std::string line;
  bool inRange = false, marked = false;
  while (std::getline(maps, line)) {
    std::uintptr_t lo = 0, hi = 0;
    if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR, &lo, &hi) == 2) inRange = lo <= at && at < hi;
    if (inRange && line.rfind("VmFlags:", 0) == 0) marked = line.find(" hg") != std::string::npos;
  }
  return marked;
}

constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;

// Before anything is written, every page of the buffer is in memory, and its
// whole large pages are marked for large pages, where the system has them; a
// buffer of 16 MB or more is mapped by two threads, one half each.
TEST(PlatformMemory, ABufferMappedForWritingIsInMemoryAndAskedForLargePages) {
  for (const std::size_t size : {std::size_t{8} << 20, std::size_t{24} << 20}) {
    std::string page;
    page.reserve(size);
    MapForWriting(page.data(), page.capacity());
    const auto at = reinterpret_cast<std::uintptr_t>(page.data());
    const auto small = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (at + small - 1) & ~(small - 1);
    const std::uintptr_t last = (at + page.capacity()) & ~(small - 1);
    std::vector<unsigned char> resident((last - first) / small);
    ASSERT_EQ(mincore(reinterpret_cast<void*>(first), last - first, resident.data()), 0);
    std::size_t in = 0;
    for (unsigned char r : resident) in += r & 1u;
    EXPECT_EQ(in, resident.size()) << size;
    page.assign(size, 'p');
    if (!LargePagesOffered()) GTEST_SKIP() << "no large pages here";
    EXPECT_TRUE(MarkedForLargePages(((at + kLargePage - 1) & ~(kLargePage - 1)) + 4096)) << size;
  }
}
#endif

#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// The buffers of a page taken after the room is made begin in the first
// large page of the room, and all of them lie in memory marked for large
// pages.
TEST(PlatformMemory, APagesBuffersComeFromRoomMarkedForLargePages) {
  if (!LargePagesOffered()) GTEST_SKIP() << "no large pages here";
  KeepFreedMemoryForReuse();
  {
    const LargePageRoom room(9u << 20);
    std::string text, spare;
    text.reserve(3u << 20);
    spare.reserve(3u << 20);
    const auto first = reinterpret_cast<std::uintptr_t>(text.data());
    EXPECT_LT(first % kLargePage, 64u * 1024) << "the text does not begin near a large page's start";
    EXPECT_TRUE(MarkedForLargePages(first));
    EXPECT_TRUE(MarkedForLargePages(reinterpret_cast<std::uintptr_t>(spare.data()) + spare.capacity() - 1));
  }
  ReturnFreedMemory();
}
#endif

TEST(PlatformMemory, ReturningFreedMemoryLeavesLiveBuffersIntact) {
  std::string held(1u << 20, 'x');
  ReturnFreedMemory();
  EXPECT_EQ(held, std::string(1u << 20, 'x'));
}

}  // namespace
}  // namespace tersify::platform
