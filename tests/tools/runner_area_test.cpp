// Moving bytes inside the runner's area: remapped pages arrive as memmove
// would leave them, up and down, apart by less than their length or more,
// with unaligned ends, and the place they leave reads as fresh pages.
#include "tools/runner_area.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>

namespace vke {
namespace {

constexpr size_t kPage = 4096;

class AreaMoves : public ::testing::Test {
 protected:
  void SetUp() override {
    void* p = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    base = static_cast<uint8_t*>(p);
  }
  void TearDown() override { ::munmap(base, kBytes); }

  // Fills [at, at + n) with a pattern of the offset from `at`; Holds tells
  // whether [at, at + n) holds that pattern.
  void Fill(size_t at, size_t n) {
    for (size_t i = 0; i < n; i++) base[at + i] = static_cast<uint8_t>(i * 7 + i / 4096);
  }
  bool Holds(size_t at, size_t n) const {
    for (size_t i = 0; i < n; i++)
      if (base[at + i] != static_cast<uint8_t>(i * 7 + i / 4096)) return false;
    return true;
  }

  static constexpr size_t kBytes = 1024 * kPage;
  uint8_t* base = nullptr;
};

TEST_F(AreaMoves, PagesArriveAsMemmoveLeavesThem) {
  // From 100 bytes into a page, 200 pages and 300 bytes long.
  const size_t from = 10 * kPage + 100, n = 200 * kPage + 300;
  struct Case {
    size_t to;
    bool fresh;  // the moved-from pages read as zero afterwards
  };
  // Up by less than the length, up past it, and apart by a distance that is
  // no whole number of pages (copied); then down by less than the length.
  for (Case c : {Case{from + 64 * kPage, false}, Case{from + 400 * kPage, true},
                 Case{from + 3 * kPage + 8, false}}) {
    SCOPED_TRACE(c.to);
    Fill(from, n);
    MoveAreaBytes(base + c.to, base + from, n);
    EXPECT_TRUE(Holds(c.to, n));
    if (c.fresh) {
      EXPECT_EQ(base[from + kPage], 0);
      EXPECT_EQ(base[from + 150 * kPage], 0);
      base[from + kPage] = 1;  // and writable
    }
  }
  Fill(600 * kPage + 8, n);
  MoveAreaBytes(base + 600 * kPage + 8 - 50 * kPage, base + 600 * kPage + 8, n);
  EXPECT_TRUE(Holds(550 * kPage + 8, n));
}

}  // namespace
}  // namespace vke
