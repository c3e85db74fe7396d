// Exchanging runs of memory pages: contents change places and the pages
// around them stay, over and over; runs that are not whole pages, or that
// overlap, are refused with both unchanged.
#include "platform/memory_pages.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace vke {
namespace {

class MemoryPages : public ::testing::Test {
 protected:
  void SetUp() override {
    page = MemoryPageBytes();
    void* p = ::mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    base = static_cast<uint8_t*>(p);
    // Each page holds its number in every byte.
    for (size_t i = 0; i < kPages; i++) std::memset(base + i * page, static_cast<int>(i), page);
  }
  void TearDown() override { ::munmap(base, kPages * page); }

  // The page number page i holds; -1 when its bytes differ.
  int Holds(size_t i) const {
    for (size_t k = 1; k < page; k++)
      if (base[i * page + k] != base[i * page]) return -1;
    return base[i * page];
  }
  uint8_t* Page(size_t i) const { return base + i * page; }

  static constexpr size_t kPages = 64;
  size_t page = 0;
  uint8_t* base = nullptr;
};

TEST_F(MemoryPages, RunsChangePlacesAndTheirNeighboursStay) {
  // Pages 2-9 and 20-27, then back, many times over.
  for (int round = 0; round < 50; round++) {
    ASSERT_TRUE(SwapMemoryPages(Page(2), Page(20), 8 * page));
    const bool swapped = round % 2 == 0;
    for (size_t i = 0; i < 8; i++) {
      EXPECT_EQ(Holds(2 + i), static_cast<int>((swapped ? 20 : 2) + i));
      EXPECT_EQ(Holds(20 + i), static_cast<int>((swapped ? 2 : 20) + i));
    }
    for (size_t i : {1, 10, 19, 28}) EXPECT_EQ(Holds(i), static_cast<int>(i));
  }
  // Pages never touched swap as zero pages; both stay writable.
  uint8_t* far = base + (kPages - 4) * page;
  ::madvise(far, 4 * page, MADV_DONTNEED);
  ASSERT_TRUE(SwapMemoryPages(Page(40), far, 4 * page));
  EXPECT_EQ(Holds(40), 0);
  EXPECT_EQ(far[0], 40);
  far[1] = 1;
  base[40 * page] = 1;
}

TEST_F(MemoryPages, PartPagesAndOverlapsAreRefused) {
  EXPECT_FALSE(SwapMemoryPages(Page(2) + 8, Page(20), 4 * page));
  EXPECT_FALSE(SwapMemoryPages(Page(2), Page(20), 4 * page + 8));
  EXPECT_FALSE(SwapMemoryPages(Page(2), Page(4), 4 * page));
  EXPECT_FALSE(SwapMemoryPages(Page(2), Page(20), 0));
  for (size_t i = 0; i < kPages; i++) EXPECT_EQ(Holds(i), static_cast<int>(i));
}

}  // namespace
}  // namespace vke
