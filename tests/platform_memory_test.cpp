// Freed page buffers stay in the process for the next page.
#include <gtest/gtest.h>

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

TEST(PlatformMemory, ReturningFreedMemoryLeavesLiveBuffersIntact) {
  std::string held(1u << 20, 'x');
  ReturnFreedMemory();
  EXPECT_EQ(held, std::string(1u << 20, 'x'));
}

}  // namespace
}  // namespace tersify::platform
