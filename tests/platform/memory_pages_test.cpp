// Runs of memory pages change places, over and over, their neighbours
// staying; part pages and overlapping runs are refused, both unchanged.
#include "platform/memory_pages.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace vke {
namespace {

TEST(MemoryPages, RunsChangePlacesAndOthersAreRefused) {
  const size_t page = MemoryPageBytes(), pages = 64;
  void* area = ::mmap(nullptr, pages * page, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(area, MAP_FAILED);
  auto at = [&](size_t i) { return static_cast<uint8_t*>(area) + i * page; };
  // Each page holds its number in its first and last byte.
  auto holds = [&](size_t i) { return at(i)[0] == at(i)[page - 1] ? at(i)[0] : -1; };
  for (size_t i = 0; i < pages; i++) std::memset(at(i), static_cast<int>(i), page);
  for (int round = 1; round <= 20; round++) {
    ASSERT_TRUE(SwapMemoryPages(at(2), at(20), 8 * page));
    for (size_t i = 0; i < 8; i++)
      EXPECT_EQ(holds(2 + i), static_cast<int>((round % 2 ? 20 : 2) + i));
    for (size_t i : {1, 10, 19, 28}) EXPECT_EQ(holds(i), static_cast<int>(i));
  }
  EXPECT_FALSE(SwapMemoryPages(at(2) + 8, at(20), 4 * page));
  EXPECT_FALSE(SwapMemoryPages(at(2), at(20), 4 * page + 8));
  EXPECT_FALSE(SwapMemoryPages(at(2), at(4), 4 * page));
  for (size_t i = 0; i < pages; i++) EXPECT_EQ(holds(i), static_cast<int>(i));
  // Pages never touched arrive as zero pages; both places stay writable.
  ::madvise(at(60), 4 * page, MADV_DONTNEED);
  ASSERT_TRUE(SwapMemoryPages(at(40), at(60), 4 * page));
  EXPECT_EQ(holds(40), 0);
  EXPECT_EQ(holds(60), 40);
  at(40)[1] = at(60)[1] = 1;
  ::munmap(area, pages * page);
}

}  // namespace
}  // namespace vke
